// The settings pages of the project sheet other than the file lists.
#include "projectui/ProjectSettingsPages.h"
#include "projectui/QtText.h"
#include "projectui/StrandworkDoc.h"
#include "core/projfile/ProjectSettingsRules.h"
#include "link/linkobj/olnk_link.h"
#include "platform/sys/FileIO.h"
#include "platform/sys/WinPath.h"
#include "platform/ui/Beep.h"
#include "platform/ui/FileDialogs.h"
#include "platform/ui/Prompt.h"
#include "res/Resources.h"
#include "res/StringTable.h"
#include "res/text/StringIds.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include "platform/ui/LocalPath.h"
#include <QFileInfo>
#include <QIcon>
#include <QLineEdit>
#include <QListWidget>

using namespace projtext;

namespace {

constexpr unsigned IDS_EXE_FILTER = 4192;      // "Spustitelné soubory (*.exe)|*.exe|"
constexpr unsigned IDS_ADD_KEYWORD = 4194;     // "Přidat klíčové slovo"
constexpr unsigned IDS_DELETE_KEYWORD = 4195;  // "Odstranit klíčové slovo"
constexpr unsigned IDS_NEW_KEYWORD = 4196;     // "KlíčovéSlovo"
constexpr unsigned IDS_NEW_VALUE = 4197;       // "Hodnota"
constexpr unsigned IDS_RESERVED_KEYWORD = 4690;

core::AppSettings HostSettings()
{
    ProjectHost* host = GetProjectHost();
    return host ? host->GetAppSettings() : core::AppSettings();
}

QString Text(QComboBox* c) { return c ? c->currentText() : QString(); }
QString Text(QLineEdit* e) { return e ? e->text() : QString(); }

// Puts a stored value into an editable combo box.
void SetText(QComboBox* c, const std::u16string& value)
{
    if (c)
        c->setEditText(Q(value));
}
void SetText(QLineEdit* e, const std::u16string& value)
{
    if (e)
        e->setText(Q(value));
}

// Folders compare without regard to case and to a trailing separator.
bool SameFolder(const QString& a, const QString& b)
{
    auto strip = [](QString s) {
        while (s.size() > 1 && (s.endsWith(QLatin1Char('/')) || s.endsWith(QLatin1Char('\\'))))
            s.chop(1);
        return s;
    };
    return strip(a).compare(strip(b), Qt::CaseInsensitive) == 0;
}

// A folder combo's text for a stored value: the list entry when empty.
void ShowFolder(QComboBox* c, const std::u16string& value)
{
    if (!c)
        return;
    if (value.empty()) {
        c->setCurrentIndex(0);
        c->setEditText(Q(core::kAppFolderPlaceholder));
    } else {
        c->setEditText(Q(value));
    }
}

QIcon PageIcon(int id) { return QIcon(res::Path(QStringLiteral("icons/%1.svg").arg(id))); }

} // namespace

// ------------------------------------------------------------------ General

CPPProjectGeneral::CPPProjectGeneral() : CProjectSettingsPage(IDD)
{
    OnEdited(2104); // the configuration alone leaves the settings time
    for (int id : {2100, 2101, 2102})
        OnEdited(id, [this] { m_settingsChanged = true; });
    OnComboEdited(2105, [this] { m_settingsChanged = true; });
    OnComboEdited(2103, [this] { m_settingsChanged = true; });
}

void CPPProjectGeneral::Reload()
{
    const core::ProjectData& d = m_doc->Data();
    SetText(Edit(2104), d.Config);
    SetText(Combo(2105), d.Target);
    SetText(Edit(2100), d.PLCComment);
    SetText(Edit(2101), d.PathTemp);
    SetText(Edit(2102), d.PathOutput);
    if (QComboBox* c = Combo(2103))
        c->setCurrentIndex(d.FormatVersion - 1);
    m_settingsChanged = false;
}

void CPPProjectGeneral::Write()
{
    core::ProjectData& d = m_doc->Data();
    d.PLCComment = U16(Text(Edit(2100)));
    d.Config = U16(Text(Edit(2104)));
    d.Target = U16(Text(Combo(2105)));
    d.PathOutput = U16(Text(Edit(2102)));
    d.PathTemp = U16(Text(Edit(2101)));
    if (QComboBox* c = Combo(2103); c && c->currentIndex() >= 0)
        d.FormatVersion = c->currentIndex() + 1;
    // The version numbers follow the target's form at once.
    core::RecomputeCompilerVersion(d);
    if (m_settingsChanged)
        m_doc->SetSettingsModified();
    else
        m_doc->SetModifiedFlag(true);
    m_settingsChanged = false;
    m_doc->BroadcastUpdate(nullptr, HINT_GENERAL);
}

// ----------------------------------------------------------------- Hardware

namespace {
constexpr int kHardwareIds[] = {2160, 2161, 2162, 2163, 2164, 2165, 2166};
std::u16string core::ProjectData::* const kHardwareFields[] = {
    &core::ProjectData::CPU,  &core::ProjectData::Clock,  &core::ProjectData::Machine, &core::ProjectData::DifCount,
    &core::ProjectData::Axis, &core::ProjectData::IOType, &core::ProjectData::Protocol};
} // namespace

CPPProjectHardware::CPPProjectHardware() : CProjectSettingsPage(IDD)
{
    for (int id : kHardwareIds)
        OnComboEdited(id);
}

void CPPProjectHardware::Reload()
{
    for (size_t i = 0; i < std::size(kHardwareIds); ++i)
        SetText(Combo(kHardwareIds[i]), m_doc->Data().*kHardwareFields[i]);
}

void CPPProjectHardware::Write()
{
    for (size_t i = 0; i < std::size(kHardwareIds); ++i)
        m_doc->Data().*kHardwareFields[i] = U16(Text(Combo(kHardwareIds[i])));
    m_doc->SetSettingsModified();
    m_doc->BroadcastUpdate(nullptr, HINT_HARDWARE);
}

// ----------------------------------------------------------------- Compiler

namespace {
constexpr int kCompilerEdits[] = {2181, 2182, 2183, 2184, 2185, 2186};
std::u16string core::ProjectData::* const kCompilerFields[] = {
    &core::ProjectData::FileExe, &core::ProjectData::PLCOutputName, &core::ProjectData::FileMap,
    &core::ProjectData::FileMP2, &core::ProjectData::NameCreateMap, &core::ProjectData::NameJoin};
} // namespace

CPPProjectCompiler::CPPProjectCompiler() : CProjectSettingsPage(IDD)
{
    OnComboEdited(2187, [this] { Rescan(); });
    if (QComboBox* c = Combo(2180)) {
        connect(c, &QComboBox::activated, this, [this, c](int index) { OnVersion(c->itemText(index)); });
        if (QLineEdit* e = c->lineEdit())
            connect(e, &QLineEdit::textEdited, this, [this](const QString& t) { OnVersion(t); });
    }
    for (int id : kCompilerEdits)
        OnEdited(id);
    OnComboEdited(2188);
    if (auto* b = Item<QAbstractButton>(2083))
        connect(b, &QAbstractButton::clicked, this, [this] { OnBrowse(); });
}

std::u16string CPPProjectCompiler::EffectiveFolder() const
{
    const std::u16string text = U16(Text(Combo(2187)));
    return text == core::kAppFolderPlaceholder ? m_app.PathTarvane : text;
}

void CPPProjectCompiler::Rescan()
{
    QComboBox* c = Combo(2180);
    if (!c || !m_doc)
        return;
    // Emptying the list empties the text too: the text stays as it was.
    const QString text = c->currentText();
    c->clear();
    const bool haldor = core::EqualsNoCase(m_doc->Data().Target, u"Haldor");
    const bool option = U16(Text(Combo(2187))) == core::kAppFolderPlaceholder;
    for (const std::u16string& v : core::ScanCompilerVersions(EffectiveFolder(), haldor, option))
        c->addItem(Q(v));
    c->setEditText(text);
}

void CPPProjectCompiler::ApplyExeRule()
{
    if (QLineEdit* e = Edit(2181))
        e->setEnabled(core::ExeNameEnabled(m_doc->Data().Target, m_doc->PendingTarvaneVer()));
}

void CPPProjectCompiler::OnVersion(const QString& text)
{
    Changed();
    m_doc->SetPendingTarvaneVer(U16(text));
    ApplyExeRule();
}

void CPPProjectCompiler::OnBrowse()
{
    QString chosen;
    if (!BrowseFolder(EffectiveFolder(), chosen))
        return;
    if (chosen.compare(Text(Combo(2187)), Qt::CaseInsensitive) == 0)
        return;
    Combo(2187)->setEditText(chosen);
    Changed();
    Rescan();
}

void CPPProjectCompiler::Reload()
{
    m_app = HostSettings();
    const core::ProjectData& d = m_doc->Data();
    ShowFolder(Combo(2187), d.PathTarvane);
    SetText(Combo(2180), d.TarvaneVer);
    for (size_t i = 0; i < std::size(kCompilerEdits); ++i)
        SetText(Edit(kCompilerEdits[i]), d.*kCompilerFields[i]);
    SetText(Combo(2188), d.AllowDebug);
}

void CPPProjectCompiler::Activated(bool first)
{
    if (!first)
        return;
    Rescan();
    ApplyExeRule();
}

void CPPProjectCompiler::Write()
{
    core::ProjectData& d = m_doc->Data();
    // A placeholder typed by hand is the application's folder as well.
    d.PathTarvane = core::FolderSettingFromText(U16(Text(Combo(2187))));
    d.TarvaneVer = U16(Text(Combo(2180)));
    core::RecomputeCompilerVersion(d);
    for (size_t i = 0; i < std::size(kCompilerEdits); ++i)
        d.*kCompilerFields[i] = U16(Text(Edit(kCompilerEdits[i])));
    d.AllowDebug = U16(Text(Combo(2188)));
    m_doc->SetSettingsModified();
    m_doc->BroadcastUpdate(nullptr, HINT_COMPILER);
}

// --------------------------------------------------------- Assembler/Linker

namespace {
constexpr int kBorlandIds[] = {2120, 2134, 2121, 2122, 2123, 2124, 2125, 2126,
                               2127, 2128, 2129, 2130, 2131, 2132, 2135, 2133};
constexpr int kDriverKitIds[] = {2136, 2137, 2089, 2138, 2139, 2140, 2141};
constexpr int kAsmEdits[] = {2123, 2126, 2128, 2131, 2138, 2141};
std::u16string core::ProjectData::* const kAsmFields[] = {
    &core::ProjectData::NameTasm,  &core::ProjectData::TasmParams, &core::ProjectData::NameTlink,
    &core::ProjectData::TlinkParams, &core::ProjectData::AsmFlags,  &core::ProjectData::LinkFlags};
} // namespace

CPPProjectAsmLinker::CPPProjectAsmLinker() : CProjectSettingsPage(IDD)
{
    for (int id : kAsmEdits)
        OnEdited(id);
    for (int id : {2134, 2135, 2137})
        OnComboEdited(id);
    auto button = [this](int id, std::function<void()> f) {
        if (auto* b = Item<QAbstractButton>(id))
            connect(b, &QAbstractButton::clicked, this, std::move(f));
    };
    button(2121, [this] { BrowseFolderInto(2134, m_app.PathBorlandBin, {2134, 2135}); });
    button(2133, [this] { BrowseFolderInto(2135, m_app.PathBorlandLib, {2134, 2135}); });
    button(2089, [this] { BrowseFolderInto(2137, m_app.PathWinXPDDK, {2137, 2135}); });
    button(2124, [this] { BrowseTool(2123); });
    button(2129, [this] { BrowseTool(2128); });
}

std::u16string CPPProjectAsmLinker::Effective(int comboId, const std::u16string& appFolder) const
{
    const std::u16string text = U16(Text(Combo(comboId)));
    return text == core::kAppFolderPlaceholder ? appFolder : text;
}

void CPPProjectAsmLinker::ApplyToolSetRule()
{
    const bool driverKit = core::UsesDriverKitTools(m_doc->PendingTarvaneVer());
    for (int id : kBorlandIds)
        if (QWidget* w = GetDlgItem(id))
            w->setVisible(!driverKit);
    for (int id : kDriverKitIds)
        if (QWidget* w = GetDlgItem(id))
            w->setVisible(driverKit);
}

void CPPProjectAsmLinker::Reselect(std::initializer_list<int> combos)
{
    for (int id : combos)
        if (QComboBox* c = Combo(id); c && c->currentText().isEmpty())
            ShowFolder(c, {});
}

void CPPProjectAsmLinker::BrowseFolderInto(int comboId, const std::u16string& appFolder,
                                           std::initializer_list<int> reselect)
{
    QString chosen;
    if (!BrowseFolder(Effective(comboId, appFolder), chosen))
        return;
    if (chosen.compare(Text(Combo(comboId)), Qt::CaseInsensitive) == 0)
        return;
    Combo(comboId)->setEditText(chosen);
    Reselect(reselect);
    Changed();
}

void CPPProjectAsmLinker::BrowseTool(int editId)
{
    const std::u16string folder = Effective(2134, m_app.PathBorlandBin);
    QString from = ProjectDir();
    if (const auto native = sys::WinPath::ToNative(folder); native && !folder.empty() && sys::IsDirectory(*native))
        from = ui::LocalPathOfNative(*native);
    ui::ExactFileDialog dlg(this);
    dlg.setFileMode(QFileDialog::ExistingFile);
    dlg.setNameFilter(ui::ConvertFileFilter(LoadResString(IDS_EXE_FILTER) + LoadResString(IDS_ALL_FILES_FILTER_ENTRY) +
                                            QLatin1Char('|')));
    dlg.setDirectory(from);
    dlg.selectFile(Text(Edit(editId)));
    if (dlg.exec() != QDialog::Accepted || dlg.ExactFiles().isEmpty())
        return;
    const QFileInfo chosen(dlg.ExactFiles().first()); // its names, from the text alone
    bool changed = false;
    if (chosen.fileName().compare(Text(Edit(editId)), Qt::CaseInsensitive) != 0) {
        Edit(editId)->setText(chosen.fileName());
        changed = true;
    }
    const QString dir = chosen.absolutePath() + QLatin1Char('/');
    if (!SameFolder(dir, Q(folder))) {
        if (SameFolder(dir, Q(m_app.PathBorlandBin)))
            ShowFolder(Combo(2134), {});
        else
            Combo(2134)->setEditText(dir);
        changed = true;
    }
    if (!changed)
        return;
    Reselect({2134, 2135});
    Changed();
}

void CPPProjectAsmLinker::Reload()
{
    m_app = HostSettings();
    const core::ProjectData& d = m_doc->Data();
    ShowFolder(Combo(2134), d.PathBorland);
    ShowFolder(Combo(2135), d.PathLib);
    ShowFolder(Combo(2137), d.PathXPDDK);
    for (size_t i = 0; i < std::size(kAsmEdits); ++i)
        SetText(Edit(kAsmEdits[i]), d.*kAsmFields[i]);
}

void CPPProjectAsmLinker::Activated(bool) { ApplyToolSetRule(); }

void CPPProjectAsmLinker::Write()
{
    core::ProjectData& d = m_doc->Data();
    d.PathBorland = core::FolderSettingFromText(U16(Text(Combo(2134))));
    d.NameTasm = U16(Text(Edit(2123)));
    d.TasmParams = U16(Text(Edit(2126)));
    d.NameTlink = U16(Text(Edit(2128)));
    d.TlinkParams = U16(Text(Edit(2131)));
    d.PathLib = core::FolderSettingFromText(U16(Text(Combo(2135))));
    d.PathXPDDK = core::FolderSettingFromText(U16(Text(Combo(2137))));
    d.AsmFlags = U16(Text(Edit(2138)));
    d.LinkFlags = U16(Text(Edit(2141)));
    m_doc->SetSettingsModified();
    m_doc->BroadcastUpdate(nullptr, HINT_ASM_LINK);
}

// -------------------------------------------------------------------- Debug

CPPProjectDebug::CPPProjectDebug() : CProjectSettingsPage(IDD)
{
    for (int id : {2250, 2251, 2252})
        OnEdited(id);
    for (int id : {2253, 2254})
        if (auto* b = Item<QAbstractButton>(id))
            connect(b, &QAbstractButton::clicked, this, [this] { Changed(); });
}

void CPPProjectDebug::DoDataExchange(ui::DataExchange& dx)
{
    dx.UInt(2250, m_periods[0], 65535);
    dx.UInt(2251, m_periods[1], 65535);
    dx.UInt(2252, m_periods[2], 65535);
    dx.Check(2253, m_hex);
    dx.Check(2254, m_regsInSource);
}

void CPPProjectDebug::Reload()
{
    const core::ProjectData& d = m_doc->Data();
    m_periods[0] = d.WatchInterval;
    m_periods[1] = d.WatchMechInterval;
    m_periods[2] = d.WatchRegsOnLineInterval;
    m_hex = d.DisplayAsHex;
    m_regsInSource = d.WatchPLCRegsInSrc;
    UpdateData(false);
}

void CPPProjectDebug::Write()
{
    if (!UpdateData(true))
        return;
    core::ProjectData& d = m_doc->Data();
    const bool debugging = m_doc->IsDebugging();
    // No reply window: the page is gone before a reply could arrive.
    d.WatchInterval = uint16_t(m_periods[0]);
    if (debugging)
        m_doc->Link().SetWatchPeriod(0, 0, d.WatchInterval, 1);
    d.WatchMechInterval = uint16_t(m_periods[1]);
    if (debugging)
        m_doc->Link().SetWatchMechPeriod(0, 0, d.WatchMechInterval, 1);
    d.WatchRegsOnLineInterval = uint16_t(m_periods[2]);
    if (debugging)
        m_doc->Link().SetWatchRegsOnLinePeriod(0, 0, d.WatchRegsOnLineInterval, 1);
    d.DisplayAsHex = m_hex;
    d.WatchPLCRegsInSrc = m_regsInSource;
    m_doc->SetModifiedFlag(true);
    m_doc->BroadcastUpdate(nullptr, HINT_DEBUG_DISPLAY);
}

// ----------------------------------------------------------------- Make.knf

CPPProjectMakeKnf::CPPProjectMakeKnf() : CProjectSettingsPage(IDD), m_list(Item<QListWidget>(2270))
{
    if (m_list)
        connect(m_list, &QListWidget::currentRowChanged, this, [this] { ApplySelection(); });
    for (int id : {2273, 2274})
        if (QLineEdit* e = Edit(id))
            connect(e, &QLineEdit::textEdited, this, [this] { OnTyped(); });
    if (auto* b = Item<QAbstractButton>(2271))
        connect(b, &QAbstractButton::clicked, this, [this] { OnAdd(); });
    if (auto* b = Item<QAbstractButton>(2272))
        connect(b, &QAbstractButton::clicked, this, [this] { OnDelete(); });
}

QString CPPProjectMakeKnf::Line(const core::KeywordPair& p)
{
    return Q(p.KeyWord) + QStringLiteral(" = ") + Q(p.Value);
}

void CPPProjectMakeKnf::Activated(bool first)
{
    if (!first)
        return;
    if (auto* b = Item<QAbstractButton>(2271)) {
        b->setIcon(PageIcon(549));
        b->setToolTip(LoadResString(IDS_ADD_KEYWORD));
    }
    if (auto* b = Item<QAbstractButton>(2272)) {
        b->setIcon(PageIcon(550));
        b->setToolTip(LoadResString(IDS_DELETE_KEYWORD));
    }
}

void CPPProjectMakeKnf::Reload()
{
    m_pairs = m_doc->Data().ExtraKeywords;
    if (!m_list)
        return;
    QSignalBlocker block(m_list);
    m_list->clear();
    for (const core::KeywordPair& p : m_pairs)
        m_list->addItem(Line(p));
    m_list->setCurrentRow(m_pairs.empty() ? -1 : 0);
    block.unblock();
    ApplySelection();
}

void CPPProjectMakeKnf::ApplySelection()
{
    const int row = m_list ? m_list->currentRow() : -1;
    const bool on = row >= 0 && size_t(row) < m_pairs.size();
    QLineEdit* key = Edit(2273);
    QLineEdit* value = Edit(2274);
    if (!key || !value)
        return;
    key->setText(on ? Q(m_pairs[size_t(row)].KeyWord) : QString());
    value->setText(on ? Q(m_pairs[size_t(row)].Value) : QString());
    key->setEnabled(on);
    value->setEnabled(on);
}

void CPPProjectMakeKnf::OnTyped()
{
    const int row = m_list ? m_list->currentRow() : -1;
    if (row < 0 || size_t(row) >= m_pairs.size())
        return;
    core::KeywordPair& p = m_pairs[size_t(row)];
    p.KeyWord = U16(Text(Edit(2273)));
    p.Value = U16(Text(Edit(2274)));
    m_list->item(row)->setText(Line(p));
    Changed();
}

void CPPProjectMakeKnf::OnAdd()
{
    m_pairs.push_back({U16(LoadResString(IDS_NEW_KEYWORD)), U16(LoadResString(IDS_NEW_VALUE))});
    m_list->addItem(Line(m_pairs.back()));
    m_list->setCurrentRow(m_list->count() - 1);
    ApplySelection();
    Changed();
}

void CPPProjectMakeKnf::OnDelete()
{
    const int row = m_list ? m_list->currentRow() : -1;
    if (row < 0 || size_t(row) >= m_pairs.size()) {
        ui::MessageBeep();
        return;
    }
    m_pairs.erase(m_pairs.begin() + row);
    {
        QSignalBlocker block(m_list);
        delete m_list->takeItem(row);
        m_list->setCurrentRow(-1);
    }
    ApplySelection();
    Changed();
}

bool CPPProjectMakeKnf::CheckReserved()
{
    for (size_t i = 0; i < m_pairs.size(); ++i) {
        if (!core::IsReservedKeyword(m_pairs[i].KeyWord))
            continue;
        ui::Prompt(FormatResString(IDS_RESERVED_KEYWORD, m_pairs[i].KeyWord), {}, ui::MB_OK | ui::MB_ICONERROR,
                   this);
        m_list->setCurrentRow(int(i));
        ApplySelection();
        if (QLineEdit* key = Edit(2273))
            key->setFocus();
        return false;
    }
    return true;
}

bool CPPProjectMakeKnf::OnKillActive()
{
    return CheckReserved() && CProjectSettingsPage::OnKillActive();
}

void CPPProjectMakeKnf::Write()
{
    m_doc->Data().ExtraKeywords = m_pairs;
    m_doc->SetSettingsModified();
    m_doc->BroadcastUpdate(nullptr, HINT_SOURCE_LIST);
}

// --------------------------------------------------------------------- Link

void CPPProjectLink::Construct(CStrandworkDoc* doc)
{
    m_doc = doc;
    ConstructBound(&doc->Data().OlnkConnectionString);
}

void CPPProjectLink::OnOK()
{
    const bool modified = IsModified();
    linkui::COlnkPropPage::OnOK(); // writes the string, clears the flag
    if (modified && m_doc) {
        m_doc->SetModifiedFlag(true);
        m_doc->BroadcastUpdate(nullptr, HINT_LINK);
    }
}
