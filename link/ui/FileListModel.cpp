#include "link/ui/FileListModel.h"

#include "link/linkobj/olnk_link_logic.h"
#include "link/olnk/olnk.h"
#include "link/ui/LinkMessages.h"
#include "platform/sys/CodePage.h"
#include "platform/sys/LastError.h"
#include "platform/sys/NativeText.h"

#include <QFileIconProvider>
#include <QMimeDatabase>

#include <algorithm>
#include <unistd.h>

namespace linkui {

namespace {
const char16_t* const kColumns[4] = {u"název", u"velikost", u"typ", u"změněno"};

QFileIconProvider& Icons()
{
    static QFileIconProvider p;
    return p;
}
QMimeDatabase& Mimes()
{
    static QMimeDatabase db;
    return db;
}
} // namespace

FileListModel::FileListModel(QObject* parent) : QAbstractTableModel(parent) {}
FileListModel::~FileListModel() = default;

int FileListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : int(m_rows.size()); }
int FileListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 4; }

const FileListModel::TypeInfo& FileListModel::Type(const FileListRecord& r) const
{
    if (IsFolder(r)) {
        if (!m_folderType) {
            ++m_lookups;
            const QMimeType t = Mimes().mimeTypeForName(QStringLiteral("inode/directory"));
            m_folderType = std::make_unique<TypeInfo>(TypeInfo{t.comment().toStdU16String(),
                                                               Icons().icon(QFileIconProvider::Folder)});
        }
        return *m_folderType;
    }
    const QString name = QString::fromStdU16String(NameOf(r));
    const qsizetype dot = name.lastIndexOf(u'.');
    const QString ext = dot > 0 ? name.mid(dot + 1).toLower() : QString();
    auto it = m_types.find(ext);
    if (it == m_types.end()) {
        ++m_lookups;
        const QMimeType t = ext.isEmpty() ? Mimes().mimeTypeForName(QStringLiteral("application/octet-stream"))
                                          : Mimes().mimeTypeForFile(QStringLiteral("x.") + ext,
                                                                    QMimeDatabase::MatchExtension);
        QIcon icon = QIcon::fromTheme(t.iconName());
        if (icon.isNull())
            icon = QIcon::fromTheme(t.genericIconName());
        if (icon.isNull())
            icon = Icons().icon(QFileIconProvider::File);
        it = m_types.insert(ext, TypeInfo{t.comment().toStdU16String(), icon});
    }
    return *it;
}

const std::u16string& FileListModel::TypeName(const FileListRecord& r) const { return Type(r).name; }

QVariant FileListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || size_t(index.row()) >= m_rows.size())
        return {};
    const FileListRecord& r = m_rows[size_t(index.row())];
    if (role == Qt::DisplayRole) {
        switch (index.column()) {
        case 0: return QString::fromStdU16String(ShownName(r));
        case 1: return QString::fromStdU16String(SizeText(r));
        case 2: return QString::fromStdU16String(Type(r).name);
        case 3: return QString::fromStdU16String(DateText(r.dosDate, r.dosTime));
        default: return {};
        }
    }
    if (role == Qt::DecorationRole && index.column() == 0)
        return Type(r).icon;
    return {};
}

QVariant FileListModel::headerData(int section, Qt::Orientation o, int role) const
{
    if (o == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < 4)
        return QString::fromStdU16String(kColumns[section]);
    if (o == Qt::Horizontal && role == Qt::TextAlignmentRole)
        return int(Qt::AlignLeft | Qt::AlignVCenter);
    return {};
}

void FileListModel::Clear()
{
    beginResetModel();
    m_rows.clear();
    endResetModel();
}

void FileListModel::SetRecords(std::vector<FileListRecord> records)
{
    beginResetModel();
    m_rows = std::move(records);
    endResetModel();
}

void FileListModel::Sort(const SortOrder& order)
{
    beginResetModel();
    // Indices are sorted (records are large); type names are looked up once
    // per entry when the type key takes part.
    const size_t n = m_rows.size();
    std::vector<const std::u16string*> types;
    if (std::find(order.keys.begin(), order.keys.end(), int(kKeyType)) != order.keys.end()) {
        types.resize(n);
        for (size_t i = 0; i < n; ++i)
            types[i] = &TypeName(m_rows[i]);
    }
    const FileListRecord* base = m_rows.data();
    const TypeNameOf type = [&](const FileListRecord& r) -> const std::u16string& {
        return *types[size_t(&r - base)];
    };
    std::vector<uint32_t> index(n);
    for (size_t i = 0; i < n; ++i)
        index[i] = uint32_t(i);
    std::stable_sort(index.begin(), index.end(), [&](uint32_t a, uint32_t b) {
        return CompareRecords(base[a], base[b], order, type) < 0;
    });
    std::vector<FileListRecord> sorted;
    sorted.reserve(n);
    for (uint32_t i : index)
        sorted.push_back(base[i]);
    m_rows = std::move(sorted);
    endResetModel();
}

// ------------------------------------------------------------ RemoteListing

QString LastLinkErrorText()
{
    char16_t buffer[1001] = {};
    OlnkGetErrorTextW(sys::GetLastError(), 0, buffer, 1000);
    return QString::fromStdU16String(buffer);
}

RemoteListing::RemoteListing(QObject* parent) : QObject(parent)
{
    m_target = ui::RegisterMessageTarget(this, [this](uint32_t msg, uintptr_t w, intptr_t l, ui::MessageRecord*) {
        return OnMessage(msg, w, l);
    });
}

RemoteListing::~RemoteListing()
{
    Cancel();
    SetLink(nullptr);
    ui::UnregisterMessageTarget(m_target);
}

void RemoteListing::SetLink(IOxfrC* link)
{
    if (link == m_link)
        return;
    Cancel();
    if (m_control && m_registered)
        m_control->UnregisterWindow(m_target, 0);
    m_registered = false;
    m_link = link;
    m_control = ControlOf(link);
    if (m_control)
        m_registered = m_control->RegisterWindow(m_target, OLNK_LIST_LINK_STATE) != 0;
}

bool RemoteListing::Start(const std::u16string& pattern, QString* error)
{
    records.clear();
    if (!m_link)
        return false;
    ++m_sequence;
    m_job = 0;
    m_busy = true;
    if (!m_link->List(m_target, ProgressParam(m_target, m_sequence), &PostProgress, &m_job, pattern.c_str())) {
        m_busy = false;
        if (error)
            *error = LastLinkErrorText();
        return false;
    }
    return true;
}

void RemoteListing::Cancel()
{
    if (m_busy && m_job && m_control)
        m_control->CancelJob(m_job);
    m_busy = false;
    m_job = 0;
    ++m_sequence; // a late answer is not ours any more
}

intptr_t RemoteListing::OnMessage(uint32_t msg, uintptr_t wParam, intptr_t lParam)
{
    if (msg == WM_XFER_PROGRESS) {
        if (m_busy && wParam == m_sequence)
            emit progress(uint32_t(uint64_t(lParam) & 0xFFFFFFFFu), uint32_t(uint64_t(lParam) >> 32));
    } else if (msg == ui::WM_XFER_RESULT && lParam) {
        const LinkResultRecord& r = *ResultOf(lParam);
        if (r.kind != 3 || !m_busy || ValueOfParam(r.parameter) != m_sequence)
            return 0;
        m_answer.start();
        m_busy = false;
        m_job = 0;
        records.clear();
        bool ok = false;
        if (r.status >= 0 && r.data) {
            std::string native;
            if (sys::TextToNative(static_cast<const char16_t*>(r.data), native) && !native.empty()) {
                ok = linkobj::ReadListingFile(native, records) == linkobj::ListingResult::Ok;
                ::unlink(native.c_str());
            }
        }
        emit finished(ok);
    } else if (msg == ui::WM_LINK_STATE) {
        emit linkStateChanged();
    }
    return 0;
}

} // namespace linkui
