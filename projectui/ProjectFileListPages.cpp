// The three file-list pages of the project settings sheet: PLC sources,
// PLC headers and support files.  One class, configured by a table of
// their differences.
#include "projectui/ProjectSettingsPages.h"
#include "projectui/QtText.h"
#include "projectui/StrandworkDoc.h"
#include "link/linkobj/olnk_link.h"
#include "link/ui/OxfrFileDialog.h"
#include "platform/sys/FileIO.h"
#include "platform/sys/NativeText.h"
#include "platform/sys/WinPath.h"
#include "platform/ui/Beep.h"
#include "platform/ui/Document.h"
#include "platform/ui/LocalPath.h"
#include "platform/ui/FileDialogs.h"
#include "platform/ui/Prompt.h"
#include "res/Resources.h"
#include "res/StringTable.h"
#include "res/text/StringIds.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QIcon>
#include <QLineEdit>
#include <QListWidget>

using namespace projtext;

namespace {
constexpr unsigned IDS_DEST_DUPLICATE = 4228;
constexpr unsigned IDS_TRANSFER_FIRST = 4229; // "Nikdy" .. 4235 "Vždy přijmout"
constexpr unsigned IDS_PATH_TOO_LONG = 4691;
constexpr size_t kMaxPathChars = 259;
constexpr uint32_t kRemoteFlags = ui::OFN_OVERWRITEPROMPT | ui::OFN_HIDEREADONLY | ui::OFN_PATHMUSTEXIST; // 2054
} // namespace

struct CPPProjectFileList::Config
{
    uint32_t templateId;
    int list, create, add, remove, up, down, location, locate;
    unsigned tips[5];
    unsigned duplicate, overwrite, overwriteCaption, createFailed, missing;
    const char* pattern;
    const char* templateExt; // the document type of the filter; null: all types
    long hint;
    bool settingsModified;
};

namespace {

const CPPProjectFileList::Config kConfigs[] = {
    {2090, 2200, 2201, 2202, 2203, 2204, 2205, 2206, 1164, {4208, 4209, 4210, 4211, 4212}, 4213, 4214, 4215, 4216,
     4217, "*.plc", ".plc", HINT_SOURCE_LIST, true},
    {2100, 2200, 2201, 2202, 2203, 2204, 2205, 2207, 1164, {4198, 4199, 4200, 4201, 4202}, 4203, 4204, 4205, 4206,
     4207, "*.inc", ".inc", HINT_HEADER_LIST, true},
    {2110, 2220, 2221, 2222, 2223, 2224, 2225, 2226, 2227, {4218, 4219, 4220, 4221, 4222}, 4223, 4224, 4225, 4226,
     4227, "*.*", nullptr, HINT_SUPPORT_LIST, false},
};

const CPPProjectFileList::Config& ConfigOf(CPPProjectFileList::Kind kind) { return kConfigs[int(kind)]; }

// The filters of the page's document type, or of every type.
QStringList TemplateFilters(const char* ext)
{
    QStringList out;
    ui::DocManager* mgr = ui::DocManager::Current();
    if (!mgr)
        return out;
    for (int i = 0; i < mgr->TemplateCount(); ++i) {
        ui::DocTemplate* t = mgr->Template(i);
        QString e;
        if (!t || !t->GetDocString(e, ui::DocTemplate::filterExt) || e.isEmpty())
            continue;
        if (ext && e.compare(QLatin1String(ext), Qt::CaseInsensitive) != 0)
            continue;
        const QString f = t->FileFilter();
        if (!f.isEmpty())
            out.append(f);
    }
    return out;
}

std::u16string LastComponent(const std::u16string& path)
{
    const size_t cut = path.find_last_of(u"\\/");
    return cut == std::u16string::npos ? path : path.substr(cut + 1);
}

// The file the user chose is the file of exactly that name: no lookup
// without regard to case (the project's own add does the same).
// Creates it empty in place of whatever stands at the name (a link is
// replaced, what it names keeps its bytes); false when it cannot.
bool CreateEmpty(const std::u16string& full)
{
    const std::optional<std::string> native = sys::LocalNativePath(full);
    return native && sys::AtomicReplaceFile(*native, {});
}

bool Exists(const std::u16string& full)
{
    const std::optional<std::string> native = sys::LocalNativePath(full);
    return native && sys::FileExists(*native);
}

} // namespace

CPPProjectFileList::CPPProjectFileList(Kind kind)
    : CProjectSettingsPage(ConfigOf(kind).templateId), m_kind(kind), m_cfg(ConfigOf(kind)),
      m_list(Item<QListWidget>(m_cfg.list))
{
    if (m_list)
        connect(m_list, &QListWidget::currentRowChanged, this, [this] { ApplySelection(); });
    auto button = [this](int id, void (CPPProjectFileList::*f)()) {
        if (auto* b = Item<QAbstractButton>(id))
            connect(b, &QAbstractButton::clicked, this, [this, f] { (this->*f)(); });
    };
    button(m_cfg.create, &CPPProjectFileList::OnNew);
    button(m_cfg.add, &CPPProjectFileList::OnAdd);
    button(m_cfg.remove, &CPPProjectFileList::OnRemove);
    button(m_cfg.up, &CPPProjectFileList::OnUp);
    button(m_cfg.down, &CPPProjectFileList::OnDown);
    button(m_cfg.locate, &CPPProjectFileList::OnLocate);
    if (QLineEdit* e = Edit(m_cfg.location)) {
        e->setMaxLength(int(kMaxPathChars));
        connect(e, &QLineEdit::textEdited, this, [this](const QString& text) {
            const int row = Row();
            if (row < 0)
                return;
            m_records[size_t(row)].FilePath = U16(text);
            m_records[size_t(row)].FileName = LastComponent(m_records[size_t(row)].FilePath);
            ReplaceLine(row);
            Changed();
        });
    }
    if (m_kind != Kind::Support)
        return;
    button(2229, &CPPProjectFileList::OnRemoteLocate);
    if (QLineEdit* e = Edit(2228)) {
        e->setMaxLength(int(kMaxPathChars));
        connect(e, &QLineEdit::textEdited, this, [this](const QString& text) {
            if (const int row = Row(); row >= 0) {
                m_records[size_t(row)].DestPath = U16(text);
                Changed();
            }
        });
    }
    if (QComboBox* c = Combo(2231)) {
        for (int v = 0; v <= 6; ++v)
            c->addItem(LoadResString(IDS_TRANSFER_FIRST + unsigned(v)), v);
        connect(c, &QComboBox::activated, this, [this, c](int index) {
            if (const int row = Row(); row >= 0 && index >= 0) {
                m_records[size_t(row)].TransferType = c->itemData(index).toInt();
                Changed();
            }
        });
    }
}

int CPPProjectFileList::Row() const
{
    const int row = m_list ? m_list->currentRow() : -1;
    return row >= 0 && size_t(row) < m_records.size() ? row : -1;
}

void CPPProjectFileList::Activated(bool first)
{
    if (!first)
        return;
    const int ids[] = {m_cfg.create, m_cfg.add, m_cfg.remove, m_cfg.up, m_cfg.down};
    const int icons[] = {549, 542, 550, 1040, 1043};
    for (int i = 0; i < 5; ++i)
        if (auto* b = Item<QAbstractButton>(ids[i])) {
            b->setIcon(QIcon(res::Path(QStringLiteral("icons/%1.svg").arg(icons[i]))));
            b->setToolTip(LoadResString(m_cfg.tips[i]));
        }
}

void CPPProjectFileList::Reload()
{
    m_records.clear();
    const core::ProjectData& d = m_doc->Data();
    if (m_kind == Kind::Support)
        m_records = d.SupportFiles;
    else
        for (const core::ProjectFileEntry& e : m_kind == Kind::Sources ? d.SourceFiles : d.HeaderFiles)
            m_records.push_back({e.FileName, e.FilePath, {}, 0, 0, 0});
    if (!m_list)
        return;
    {
        QSignalBlocker block(m_list);
        m_list->clear();
        for (const core::SupportFileEntry& r : m_records)
            m_list->addItem(Q(r.FileName));
        m_list->setCurrentRow(m_records.empty() ? -1 : 0);
    }
    ApplySelection();
}

void CPPProjectFileList::ApplySelection()
{
    const int row = Row();
    const bool on = row >= 0;
    auto show = [&](int id, const std::u16string& text) {
        if (QLineEdit* e = Edit(id)) {
            e->setText(on ? Q(text) : QString());
            e->setEnabled(on);
        }
    };
    auto enable = [&](int id) {
        if (QWidget* w = GetDlgItem(id))
            w->setEnabled(on);
    };
    static const core::SupportFileEntry none;
    const core::SupportFileEntry& r = on ? m_records[size_t(row)] : none;
    show(m_cfg.location, r.FilePath);
    enable(m_cfg.locate);
    if (m_kind != Kind::Support)
        return;
    show(2228, r.DestPath);
    enable(2229);
    enable(2231);
    if (QComboBox* c = Combo(2231); c && on)
        if (const int index = c->findData(r.TransferType); index >= 0)
            c->setCurrentIndex(index);
}

void CPPProjectFileList::ReplaceLine(int row)
{
    if (QListWidgetItem* item = m_list->item(row))
        item->setText(Q(m_records[size_t(row)].FileName));
}

bool CPPProjectFileList::Choose(bool mustExist, const QString& start, int skipRow, QString& full,
                                core::SupportFileEntry& rec)
{
    QStringList filters = TemplateFilters(m_cfg.templateExt);
    if (!ui::PromptFileName(this, full, start, filters, QString::fromLatin1(m_cfg.pattern), mustExist))
        return false;
    const std::u16string chosen = U16(full);
    std::optional<std::u16string> canonical = sys::WinPath::Canonicalize(chosen);
    const std::u16string fullPath = canonical ? *canonical : U16(full);
    full = Q(fullPath);
    rec = {};
    rec.FilePath = core::ProjectRelativePath(U16(ProjectDir()), fullPath);
    if (rec.FilePath.size() > kMaxPathChars) {
        ui::Prompt(FormatResString(IDS_PATH_TOO_LONG, fullPath), {}, ui::MB_OK | ui::MB_ICONERROR, this);
        return false;
    }
    // The project file would read another name back.
    if (!sys::WinPath::IsStorable(chosen, rec.FilePath)) {
        ui::Prompt(FormatResString(core::IDS_PRJ_NAME_NOT_STORABLE, ui::ShownLocalPath(Q(chosen))),
                   {}, ui::MB_OK | ui::MB_ICONERROR, this);
        return false;
    }
    rec.FileName = LastComponent(rec.FilePath);
    for (size_t i = 0; i < m_records.size(); ++i) {
        if (int(i) == skipRow)
            continue;
        if (core::EqualsFileNameNoCase(m_records[i].FileName, rec.FileName)) {
            ui::Prompt(LoadResString(m_cfg.duplicate), {}, ui::MB_OK | ui::MB_ICONERROR, this);
            return false;
        }
    }
    return true;
}

void CPPProjectFileList::OnNew()
{
    QString full;
    core::SupportFileEntry rec;
    if (!Choose(false, ProjectDir(), -1, full, rec))
        return;
    const std::u16string path = U16(full);
    if (Exists(path) && ui::Prompt(FormatResString(m_cfg.overwrite, path), LoadResString(m_cfg.overwriteCaption),
                                   ui::MB_YESNO | ui::MB_ICONQUESTION, this) != ui::IDYES)
        return;
    if (!CreateEmpty(path)) {
        ui::Prompt(FormatResString(m_cfg.createFailed, path), {}, ui::MB_OK | ui::MB_ICONERROR, this);
        return;
    }
    m_records.push_back(rec);
    m_list->addItem(Q(rec.FileName));
    m_list->setCurrentRow(m_list->count() - 1);
    ApplySelection();
    Changed();
}

void CPPProjectFileList::OnAdd()
{
    QString full;
    core::SupportFileEntry rec;
    if (!Choose(true, ProjectDir(), -1, full, rec))
        return;
    m_records.push_back(rec);
    m_list->addItem(Q(rec.FileName));
    m_list->setCurrentRow(m_list->count() - 1);
    ApplySelection();
    Changed();
}

void CPPProjectFileList::OnLocate()
{
    const int row = Row();
    if (row < 0)
        return;
    QString start = ProjectDir();
    const std::u16string current = core::ProjectFullPath(U16(ProjectDir()), m_records[size_t(row)].FilePath);
    if (const auto native = sys::WinPath::ToNative(current); native && !current.empty())
        start = ui::LocalPathOfNative(*native);
    QString full;
    core::SupportFileEntry rec;
    if (!Choose(false, start, row, full, rec))
        return;
    const std::u16string path = U16(full);
    if (!Exists(path) && !CreateEmpty(path)) {
        ui::Prompt(FormatResString(m_cfg.missing, path), {}, ui::MB_OK | ui::MB_ICONERROR, this);
        return;
    }
    m_records[size_t(row)].FilePath = rec.FilePath;
    m_records[size_t(row)].FileName = rec.FileName;
    ReplaceLine(row);
    ApplySelection();
    Changed();
}

void CPPProjectFileList::OnRemove()
{
    const int row = Row();
    if (row < 0) {
        ui::MessageBeep();
        return;
    }
    m_records.erase(m_records.begin() + row);
    {
        QSignalBlocker block(m_list);
        delete m_list->takeItem(row);
        m_list->setCurrentRow(-1);
    }
    ApplySelection();
    Changed();
}

void CPPProjectFileList::OnUp()
{
    const int row = Row();
    if (row <= 0) {
        ui::MessageBeep();
        return;
    }
    std::swap(m_records[size_t(row)], m_records[size_t(row - 1)]);
    ReplaceLine(row);
    ReplaceLine(row - 1);
    m_list->setCurrentRow(row - 1);
    Changed();
}

void CPPProjectFileList::OnDown()
{
    const int row = Row();
    if (row < 0 || size_t(row) + 1 >= m_records.size()) {
        ui::MessageBeep();
        return;
    }
    std::swap(m_records[size_t(row)], m_records[size_t(row + 1)]);
    ReplaceLine(row);
    ReplaceLine(row + 1);
    m_list->setCurrentRow(row + 1);
    Changed();
}

void CPPProjectFileList::OnRemoteLocate()
{
    const int row = Row();
    if (row < 0 || !m_doc)
        return;
    // Without a connection the project's communication starts first; a
    // failure was reported by it.
    if (!m_doc->Link().IsConnected() && !m_doc->StartCommunication())
        return;
    const QString filter = LoadResString(IDS_ALL_FILES_FILTER_ENTRY) + QLatin1Char('|');
    const std::u16string filterText = U16(filter);
    const std::u16string initial = m_records[size_t(row)].DestPath;
    linkui::COxfrFileDialog dlg(static_cast<IOxfrC*>(&m_doc->Link()), true, nullptr, initial.c_str(), kRemoteFlags,
                                filterText.c_str(), this);
    if (dlg.DoModal() != QDialog::Accepted)
        return;
    const std::u16string chosen = dlg.GetPathName();
    for (size_t i = 0; i < m_records.size(); ++i)
        if (int(i) != row && core::EqualsFileNameNoCase(m_records[i].DestPath, chosen)) {
            ui::Prompt(LoadResString(IDS_DEST_DUPLICATE), {}, ui::MB_OK | ui::MB_ICONERROR, this);
            return;
        }
    m_records[size_t(row)].DestPath = chosen;
    ApplySelection();
    Changed();
}

void CPPProjectFileList::Write()
{
    core::ProjectData& d = m_doc->Data();
    if (m_kind == Kind::Support) {
        d.SupportFiles = m_records;
    } else {
        std::vector<core::ProjectFileEntry>& list = m_kind == Kind::Sources ? d.SourceFiles : d.HeaderFiles;
        list.clear();
        for (const core::SupportFileEntry& r : m_records)
            list.push_back({r.FileName, r.FilePath});
    }
    if (m_cfg.settingsModified)
        m_doc->SetSettingsModified();
    else
        m_doc->SetModifiedFlag(true);
    m_doc->BroadcastUpdate(nullptr, m_cfg.hint);
}
