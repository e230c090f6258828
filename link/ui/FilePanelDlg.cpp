#include "link/ui/FilePanelDlg.h"

#include "platform/sys/CodePage.h"
#include "platform/sys/LocalFiles.h"
#include "platform/sys/NativeText.h"
#include "platform/ui/Dialog.h"
#include "platform/ui/Prompt.h"
#include "res/Resources.h"
#include "res/StringTable.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QProgressBar>
#include <QStorageInfo>
#include <QStyle>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>

namespace linkui {

namespace {
constexpr unsigned IDS_HOME = 4652; // "Domovská složka (%s)"

QIcon Bitmap(int id) { return QIcon(res::Path(QStringLiteral("icons/%1.svg").arg(id))); }

bool PseudoFileSystem(const QByteArray& type)
{
    static const char* const kPseudo[] = {"proc", "sysfs", "devpts", "devtmpfs", "tmpfs", "cgroup", "cgroup2",
                                          "securityfs", "pstore", "debugfs", "tracefs", "configfs", "fusectl",
                                          "mqueue", "hugetlbfs", "bpf", "autofs", "binfmt_misc", "efivarfs",
                                          "nsfs", "rpc_pipefs", "selinuxfs", "ramfs", "overlay", "squashfs",
                                          "fuse.portal", "fuse.gvfsd-fuse"};
    for (const char* p : kPseudo)
        if (type == p)
            return true;
    return false;
}

struct WaitCursor
{
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
};
} // namespace

std::vector<LocationEntry> LocationEntries(int* selected, std::u16string_view start)
{
    std::vector<LocationEntry> out;
    out.push_back({QStringLiteral("Systém (\\)"), u"\\"});
    QString home = QDir::homePath();
    if (!home.endsWith(u'/'))
        home += u'/';
    out.push_back({FormatResString(IDS_HOME, home), home.toStdU16String()});
    out.push_back({QStringLiteral("/"), u"/"});
    for (const QStorageInfo& v : QStorageInfo::mountedVolumes()) {
        if (!v.isValid() || !v.isReady() || PseudoFileSystem(v.fileSystemType()) || v.rootPath() == u"/")
            continue;
        QString root = v.rootPath();
        if (!root.endsWith(u'/'))
            root += u'/';
        QString text;
        if (v.device().startsWith("/dev/sr"))
            text = QStringLiteral("CD-ROM (%1)").arg(root);
        else
            text = v.displayName().isEmpty() ? root : v.displayName();
        out.push_back({text, root.toStdU16String()});
    }
    if (selected) {
        *selected = -1;
        size_t best = 0;
        for (size_t i = 0; i < out.size(); ++i) {
            const std::u16string& p = out[i].path;
            if (start.substr(0, p.size()) == p && (*selected < 0 || p.size() > best)) {
                *selected = int(i);
                best = p.size();
            }
        }
    }
    return out;
}

CFilePanelDlg::CFilePanelDlg()
{
    m_listing = new RemoteListing(this);
    m_model = new FileListModel(this);
    connect(m_listing, &RemoteListing::finished, this, [this] { OnRemoteFinished(); });
    connect(m_listing, &RemoteListing::progress, this, [this](uint32_t done, uint32_t total) {
        m_bar->setRange(0, int(std::min<uint32_t>(total, INT32_MAX)));
        m_bar->setValue(int(std::min<uint32_t>(done, INT32_MAX)));
    });
    connect(m_listing, &RemoteListing::linkStateChanged, this, [this] { Refresh(); });
}

int CFilePanelDlg::DateColumnWidth(const QTreeView& view)
{
    // "hh:mm:ss dd.mm.yyyy" at its longest: fourteen of the widest digit.
    const QFontMetrics fm(view.font());
    int digit = 0;
    for (char16_t d = u'0'; d <= u'9'; ++d)
        digit = std::max(digit, fm.horizontalAdvance(QChar(d)));
    const int text = 14 * digit + fm.horizontalAdvance(QStringLiteral("::.. "));
    // The item's text margins on both sides, and a pixel of air each.
    const int margin = view.style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &view) + 2;
    const int header = view.header() ? view.header()->sectionSizeHint(3) : 0;
    return std::max(text + 2 * margin, header);
}

int CFilePanelDlg::DetailsWidthNeeded() const
{
    if (!m_details)
        return 0;
    return m_details->header()->length() + 2 * m_details->frameWidth() +
           m_details->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, m_details);
}

CFilePanelDlg::~CFilePanelDlg()
{
    m_listing->Cancel();
}

bool CFilePanelDlg::Create(IOxfrC* link, std::u16string_view path, std::u16string_view mask, QWidget* parent)
{
    setParent(parent);
    QWidget* form = ui::LoadForm(11005, this);
    if (!form)
        return false;
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(form);
    m_locations = form->findChild<QComboBox*>(QStringLiteral("c11053"));
    m_up = form->findChild<QToolButton*>(QStringLiteral("c1093"));
    m_refresh = form->findChild<QToolButton*>(QStringLiteral("c1095"));
    m_listButton = form->findChild<QToolButton*>(QStringLiteral("c1096"));
    m_detailsButton = form->findChild<QToolButton*>(QStringLiteral("c1094"));
    m_pathEdit = form->findChild<QLineEdit*>(QStringLiteral("c11058"));
    m_bar = form->findChild<QProgressBar*>(QStringLiteral("c1008"));
    m_details = form->findChild<QTreeView*>(QStringLiteral("c1073"));
    m_list = form->findChild<QListView*>(QStringLiteral("c1073list"));
    m_info = form->findChild<QLabel*>(QStringLiteral("c11073"));
    if (!m_locations || !m_up || !m_refresh || !m_listButton || !m_detailsButton || !m_pathEdit || !m_bar ||
        !m_details || !m_list || !m_info)
        return false;

    m_up->setIcon(Bitmap(142));
    m_refresh->setIcon(Bitmap(145));
    m_listButton->setIcon(Bitmap(144));
    m_detailsButton->setIcon(Bitmap(143));

    m_details->setModel(m_model);
    m_list->setModel(m_model);
    m_selection = m_details->selectionModel();
    m_list->setSelectionModel(m_selection);
    for (QAbstractItemView* v : {static_cast<QAbstractItemView*>(m_details), static_cast<QAbstractItemView*>(m_list)}) {
        v->setSelectionMode(QAbstractItemView::ExtendedSelection);
        v->setEditTriggers(QAbstractItemView::NoEditTriggers);
        v->installEventFilter(this);
        v->viewport()->installEventFilter(this);
        connect(v, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& i) {
            if (i.column() == 0)
                OnActivated(i);
        });
    }
    m_details->setRootIsDecorated(false);
    m_details->setItemsExpandable(false);
    m_details->setUniformRowHeights(true);
    m_details->setAllColumnsShowFocus(true);
    m_details->header()->setSectionsClickable(true);
    m_details->header()->setStretchLastSection(false);
    const int widths[4] = {140, 55, 120, 125};
    for (int c = 0; c < 4; ++c)
        m_details->setColumnWidth(c, widths[c]);
    // The date column is as wide as the longest date in the list's font
    // (at its default width that font cut the year off).
    m_details->setColumnWidth(3, std::max(widths[3], DateColumnWidth(*m_details)));
    m_list->setViewMode(QListView::ListMode);
    m_list->setFlow(QListView::TopToBottom);
    m_list->setWrapping(true);
    m_list->setResizeMode(QListView::Adjust);
    m_list->setUniformItemSizes(true);
    connect(m_details->header(), &QHeaderView::sectionClicked, this, [this](int c) { HeaderClicked(c); });
    connect(m_selection, &QItemSelectionModel::selectionChanged, this, [this] { UpdateSummary(); });

    auto notify = [this] { emit focusNotified(m_id); };
    connect(m_up, &QToolButton::clicked, this, [this, notify] {
        notify();
        Enter(u"..");
    });
    connect(m_refresh, &QToolButton::clicked, this, [this, notify] {
        notify();
        if (!m_busy)
            Refresh();
    });
    connect(m_listButton, &QToolButton::clicked, this, [this, notify] {
        notify();
        SetDetails(false);
    });
    connect(m_detailsButton, &QToolButton::clicked, this, [this, notify] {
        notify();
        SetDetails(true);
    });
    // Every control of the pane, its lists' viewports, header and scroll
    // bars included: a press or a key in any of them makes the pane the
    // active one, whether or not it already had the focus.
    installEventFilter(this);
    for (QWidget* w : findChildren<QWidget*>())
        w->installEventFilter(this);
    connect(m_locations, &QComboBox::activated, this, [this](int i) {
        if (m_busy || i < 0)
            return;
        m_path = m_locations->itemData(i).toString().toStdU16String();
        Refresh();
    });

    m_listing->SetLink(link);
    m_mask = std::u16string(mask);
    m_path = std::u16string(path);
    FillLocations();
    SetActive(m_active);
    show();
    Refresh();
    return true;
}

void CFilePanelDlg::FillLocations()
{
    int selected = -1;
    const auto entries = LocationEntries(&selected, m_path);
    m_locations->clear();
    for (const auto& e : entries)
        m_locations->addItem(e.text, QString::fromStdU16String(e.path));
    m_locations->setCurrentIndex(selected);
}

void CFilePanelDlg::SetDetails(bool details)
{
    // The view that is shown takes the focus from the one that is hidden,
    // so that the focus never leaves the pane for the next control.
    QAbstractItemView* hidden = details ? static_cast<QAbstractItemView*>(m_list) : m_details;
    QAbstractItemView* shown = details ? static_cast<QAbstractItemView*>(m_details) : m_list;
    if (hidden->hasFocus()) {
        shown->setVisible(true);
        shown->setFocus(Qt::OtherFocusReason);
    }
    m_details->setVisible(details);
    m_list->setVisible(!details);
    m_detailsButton->setChecked(details);
    m_listButton->setChecked(!details);
}

void CFilePanelDlg::SetActive(bool active)
{
    m_active = active;
    if (!m_pathEdit)
        return;
    QPalette p = m_pathEdit->palette();
    const QPalette& app = QApplication::palette();
    p.setColor(QPalette::Base, active ? app.color(QPalette::Highlight) : app.color(QPalette::Mid));
    p.setColor(QPalette::Text, active ? app.color(QPalette::HighlightedText) : app.color(QPalette::WindowText));
    m_pathEdit->setPalette(p);
    m_pathEdit->update();
}

void CFilePanelDlg::SetPath(std::u16string_view path)
{
    m_path = IsRemotePath(path) ? std::u16string(path.substr(0, std::min<size_t>(path.size(), 259)))
                                : std::u16string(path);
    Refresh();
}

void CFilePanelDlg::SetMask(std::u16string_view mask)
{
    m_mask = IsRemotePath(m_path) ? std::u16string(mask.substr(0, std::min<size_t>(mask.size(), 259)))
                                  : std::u16string(mask);
    Refresh();
}

void CFilePanelDlg::Refresh()
{
    if (!m_model || !m_pathEdit)
        return;
    if (m_busy) {
        m_pending = true;
        return;
    }
    m_pending = false;
    if (IsRemotePath(m_path))
        ListRemote();
    else
        ListLocal();
}

void CFilePanelDlg::ListRemote()
{
    if (!m_listing->Link())
        return;
    m_busy = true;
    m_pathEdit->hide();
    m_bar->setRange(0, 100);
    m_bar->setValue(0);
    m_bar->show();
    m_model->Clear();
    UpdateSummary();
    m_pathEdit->setText(QString::fromStdU16String(m_path + m_mask));
    QString error;
    if (!m_listing->Start(m_path + m_mask, &error)) {
        m_busy = false;
        m_bar->hide();
        m_pathEdit->show();
        ui::Prompt(error, {}, ui::MB_ICONERROR, this);
        emit listed();
        if (m_pending)
            Refresh();
    }
}

void CFilePanelDlg::OnRemoteFinished()
{
    m_busy = false;
    m_bar->hide();
    m_pathEdit->show();
    {
        WaitCursor wait;
        m_model->SetRecords(std::move(m_listing->records));
        m_listing->records.clear();
        m_model->Sort(m_order);
    }
    UpdateSummary();
    m_lastAnswerNs = m_listing->SinceAnswerNs();
    Finish();
}

void CFilePanelDlg::ListLocal()
{
    WaitCursor wait;
    m_busy = true;
    m_model->Clear();
    m_pathEdit->setText(QString::fromStdU16String(sys::ShownNativeText(m_path + m_mask)));
    std::vector<FileListRecord> records;
    std::vector<sys::LocalEntry> entries;
    // Names keep their bytes (sys::NativeToText): the row chosen is the
    // entry a command acts on.
    std::string native;
    if (sys::TextToNative(m_path, native) && sys::ListLocalFolder(native.empty() ? "." : native, entries)) {
        if (m_path != u"/") {
            sys::LocalEntry self;
            uint16_t d = 0, t = 0;
            if (sys::StatLocalEntry(native, self))
                LocalDosStamp(self.writeTime, d, t);
            records.push_back(MakeRecord(u".", true, 0, d, t));
            sys::LocalEntry up;
            d = t = 0;
            if (sys::StatLocalEntry(native + "/..", up))
                LocalDosStamp(up.writeTime, d, t);
            records.push_back(MakeRecord(u"..", true, 0, d, t));
        }
        records.reserve(entries.size() + 2);
        for (const auto& e : entries) {
            const std::u16string name = sys::NativeToText(e.name);
            if (!MatchMask(m_mask, name))
                continue;
            uint16_t d = 0, t = 0;
            LocalDosStamp(e.writeTime, d, t);
            records.push_back(MakeRecord(name, e.folder, uint32_t(e.size), d, t));
        }
    }
    m_model->SetRecords(std::move(records));
    m_model->Sort(m_order);
    m_busy = false;
    Finish();
}

void CFilePanelDlg::Finish()
{
    UpdateSummary();
    emit listed();
    if (m_pending)
        Refresh();
}

void CFilePanelDlg::UpdateSummary()
{
    std::vector<const FileListRecord*> selected;
    if (m_selection)
        for (const QModelIndex& i : m_selection->selectedRows())
            selected.push_back(&m_model->Record(i.row()));
    m_info->setText(QString::fromStdU16String(SummaryText(selected)));
}

std::vector<FileListRecord> CFilePanelDlg::SelectedRecords() const
{
    std::vector<FileListRecord> out;
    if (!m_selection)
        return out;
    QModelIndexList rows = m_selection->selectedRows();
    std::sort(rows.begin(), rows.end(), [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    const bool remote = IsRemotePath(m_path);
    for (const QModelIndex& i : rows) {
        const FileListRecord& r = m_model->Record(i.row());
        // A name of the control system that is no plain name is never
        // offered as a path.
        if (remote && !UsableRemoteName(NameOf(r)))
            continue;
        out.push_back(r);
    }
    return out;
}

void CFilePanelDlg::ClearSelection()
{
    if (m_selection)
        m_selection->clearSelection();
}

void CFilePanelDlg::Enter(std::u16string_view name)
{
    if (m_busy)
        return;
    if (EnterEntry(m_path, name))
        Refresh();
}

void CFilePanelDlg::OnActivated(const QModelIndex& index)
{
    if (m_busy || !index.isValid())
        return;
    const FileListRecord& r = m_model->Record(index.row());
    if (IsFolder(r) && (!IsRemotePath(m_path) || UsableRemoteName(NameOf(r))))
        Enter(NameOf(r));
}

void CFilePanelDlg::HeaderClicked(int column)
{
    m_order.HeaderClick(column);
    WaitCursor wait;
    m_model->Sort(m_order);
    UpdateSummary();
}

bool CFilePanelDlg::eventFilter(QObject* watched, QEvent* event)
{
    const bool view = watched == m_details || watched == m_list;
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
        // The user clicked or typed here.
        emit focusNotified(m_id);
        break;
    case QEvent::FocusIn:
        // The focus moved here by the keyboard or the program; the window
        // getting active again (a question answered, another window left)
        // or a popup closing gives back the focus it had and changes no pane.
        switch (static_cast<QFocusEvent*>(event)->reason()) {
        case Qt::ActiveWindowFocusReason:
        case Qt::PopupFocusReason:
        case Qt::MenuBarFocusReason:
            break;
        default:
            emit focusNotified(m_id);
            break;
        }
        break;
    default:
        break;
    }
    if (event->type() == QEvent::KeyPress && view) {
        auto* k = static_cast<QKeyEvent*>(event);
        if (k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) {
            const QModelIndexList rows = m_selection->selectedRows();
            if (rows.size() == 1 && IsFolder(m_model->Record(rows[0].row())))
                OnActivated(rows[0]);
            return true;
        }
        if (k->key() == Qt::Key_Backspace) {
            Enter(u"..");
            return true;
        }
        // Escape goes on to the window that holds the pane (the file
        // manager closes as with its Cancel); the pane itself never closes.
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace linkui
