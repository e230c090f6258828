// The application's commands of the File, Project, PLC and Debug menus:
// their map, their rules and the handlers whose work lives here.  See
// docs/application.md.
#include "app/StrandworkApp.h"

#include "projectui/StrandworkDoc.h"
#include "editor/EditFileOpenDlg.h"
#include "editor/EdtCodePages.h"
#include "link/linkobj/olnk_link.h"
#include "platform/ui/FileDialogs.h"
#include "platform/ui/Print.h"
#include "platform/ui/Prompt.h"
#include "plcviews/BinDoc.h"
#include "plcviews/InspectDlg.h"
#include "plcviews/MechanismsDlg.h"
#include "plcviews/PlcCommandDlg.h"
#include "plcviews/StructuredTextDoc.h"
#include "res/StringTable.h"

#include <QDir>
#include <QFileInfo>
#include <QPageSetupDialog>
#include <QPointer>

namespace {

// String-table ids of the commands.
constexpr unsigned IDS_OPEN_FILTER_FIRST = 4146;  // 4146 .. 4151: the File > Open filter
constexpr unsigned IDS_OPEN_FILTER_LAST = 4151;
constexpr unsigned IDS_STOP_BUILD_QUESTION = 4155;
constexpr unsigned IDS_STOP_BUILD_CAPTION = 4156;
constexpr unsigned IDS_CLEAR_BREAKPOINTS_FAILED = 4176;

constexpr uint32_t ID_FILE_NEW = 57600;
constexpr uint32_t ID_FILE_PRINT_SETUP = 57606;
constexpr uint32_t ID_PROJECT_OPEN = 33773;
constexpr uint32_t ID_PROJECT_BUILD = 33846;
constexpr uint32_t ID_PROJECT_BUILD_IF_CHANGED = 33847;
constexpr uint32_t ID_PROJECT_STOP_BUILD = 33848;
constexpr uint32_t ID_PROJECT_CLEAN = 33849;
constexpr uint32_t ID_DEBUG_CLEAR_ALL_BREAKPOINTS = 33821;
constexpr uint32_t ID_VIEW_MECHANISMS = 33823;
constexpr uint32_t ID_VIEW_VARIABLE = 33824;
constexpr uint32_t ID_DEBUG_GO_TO_CURRENT_LINE = 33825;

// The template orders.
constexpr int kTextTemplate = 0;
constexpr int kHeaderTemplate = 2;
constexpr int kSourceTemplate = 3;
constexpr int kProjectTemplate = 4;

// The add-file commands 33840 .. 33845.
struct AddFileCommand
{
    uint32_t id;
    const char* pattern;
    int filterTemplate;  // -1: the filters of all templates
    bool mustExist;
    bool (*add)(CStrandworkDoc&, const QString&);
};
const AddFileCommand kAddFileCommands[] = {
    {33840, "*.plc", kSourceTemplate, false,
     [](CStrandworkDoc& d, const QString& p) { d.AddNewSourceFile(p); return true; }},
    {33841, "*.inc", kHeaderTemplate, false,
     [](CStrandworkDoc& d, const QString& p) { d.AddNewHeaderFile(p); return true; }},
    {33842, "*.*", kSourceTemplate, false,
     [](CStrandworkDoc& d, const QString& p) { d.AddNewSupportFile(p); return true; }},
    {33843, "*.plc", kSourceTemplate, true,
     [](CStrandworkDoc& d, const QString& p) { return d.AddExistingSourceFile(p); }},
    {33844, "*.inc", kHeaderTemplate, true,
     [](CStrandworkDoc& d, const QString& p) { return d.AddExistingHeaderFile(p); }},
    {33845, "*.*", -1, true, [](CStrandworkDoc& d, const QString& p) { return d.AddExistingSupportFile(p); }},
};

// The ten PLC-interface commands: the dialog's routine and the failure text.
struct PlcCommand
{
    uint32_t id;
    int (*run)(CPlcCommandDlg&, IOlnkPL*);
    unsigned failure;
};
const PlcCommand kPlcCommands[] = {
    {33890, [](CPlcCommandDlg& d, IOlnkPL* pl) { return d.GetStatus(pl, nullptr, 1); }, 4158},
    {33891, [](CPlcCommandDlg& d, IOlnkPL* pl) { return d.GetPLCInfo(pl, nullptr, 0, 1); }, 4157},
    {33892, [](CPlcCommandDlg& d, IOlnkPL* pl) { return d.ClearPLC(pl); }, 4161},
    {33893, [](CPlcCommandDlg& d, IOlnkPL* pl) { return d.SleepPLC(pl); }, 4163},
    {33894, [](CPlcCommandDlg& d, IOlnkPL* pl) { return d.WakePLC(pl); }, 4166},
    {33895, [](CPlcCommandDlg& d, IOlnkPL* pl) { return d.RunPLC(pl); }, 4162},
    {33896, [](CPlcCommandDlg& d, IOlnkPL* pl) { return d.StopPLC(pl); }, 4165},
    {33897, [](CPlcCommandDlg& d, IOlnkPL* pl) { return d.StepPLC(pl); }, 4164},
    {33898, [](CPlcCommandDlg& d, IOlnkPL* pl) { return d.BreakPLC(pl); }, 4160},
    {33899, [](CPlcCommandDlg& d, IOlnkPL* pl) { return d.BackupPLCData(pl, 0); }, 4159},
};

// The folder File > Open starts in; empty (the current folder) at start,
// then the folder of the first file chosen last time.
QString& OpenFolder()
{
    static QString folder;
    return folder;
}

// Restores the editor's load defaults when the openings end.
class EditorDefaultsScope
{
public:
    EditorDefaultsScope() : m_encoding(GetEdtDefaultEncoding()), m_force(GetEdtForceUnicode()) {}
    ~EditorDefaultsScope()
    {
        SetEdtDefaultEncoding(m_encoding);
        SetEdtForceUnicode(m_force);
    }
    EditorDefaultsScope(const EditorDefaultsScope&) = delete;
    EditorDefaultsScope& operator=(const EditorDefaultsScope&) = delete;

private:
    int m_encoding;
    bool m_force;
};

void AppendOutput(CStrandworkApp& app, unsigned text)
{
    if (core::OutputSink* out = app.GetOutputCtrl())
        out->AppendText(LoadResString(text).toStdU16String());
}

} // namespace

// ------------------------------------------------------------ the map

void CStrandworkApp::MapAppCommands()
{
    auto map = [this](uint32_t id, void (CStrandworkApp::*handler)()) {
        MapCommand(id, [this, handler] { (this->*handler)(); });
    };
    map(ID_FILE_NEW, &CStrandworkApp::OnFileNew);
    map(ID_FILE_PRINT_SETUP, &CStrandworkApp::OnFilePrintSetup);
    map(ID_PROJECT_OPEN, &CStrandworkApp::OnProjectOpen);
    map(33840, &CStrandworkApp::OnProjectNewSourceFile);
    map(33841, &CStrandworkApp::OnProjectNewHeaderFile);
    map(33842, &CStrandworkApp::OnProjectNewSupportFile);
    map(33843, &CStrandworkApp::OnProjectAddSourceFile);
    map(33844, &CStrandworkApp::OnProjectAddHeaderFile);
    map(33845, &CStrandworkApp::OnProjectAddSupportFile);
    map(ID_PROJECT_BUILD, &CStrandworkApp::OnProjectBuild);
    map(ID_PROJECT_BUILD_IF_CHANGED, &CStrandworkApp::OnProjectBuildIfChanged);
    map(ID_PROJECT_STOP_BUILD, &CStrandworkApp::OnProjectStopBuild);
    map(ID_PROJECT_CLEAN, &CStrandworkApp::OnProjectClean);
    map(33890, &CStrandworkApp::OnPlcStatus);
    map(33891, &CStrandworkApp::OnPlcInfo);
    map(33892, &CStrandworkApp::OnPlcReset);
    map(33893, &CStrandworkApp::OnPlcSleep);
    map(33894, &CStrandworkApp::OnPlcWake);
    map(33895, &CStrandworkApp::OnPlcRun);
    map(33896, &CStrandworkApp::OnPlcStop);
    map(33897, &CStrandworkApp::OnPlcStep);
    map(33898, &CStrandworkApp::OnPlcBreak);
    map(33899, &CStrandworkApp::OnPlcBackupData);
    map(ID_DEBUG_CLEAR_ALL_BREAKPOINTS, &CStrandworkApp::OnDebugClearAllBreakpoints);
    map(ID_VIEW_MECHANISMS, &CStrandworkApp::OnViewMechanisms);
    map(ID_VIEW_VARIABLE, &CStrandworkApp::OnViewVariable);
    map(ID_DEBUG_GO_TO_CURRENT_LINE, &CStrandworkApp::OnDebugGoToCurrentLine);

    // One update handler for every command of the application but the
    // recent lists, also those whose handlers live elsewhere.  33856 keeps
    // no rule while nothing handles it (the framework then disables it).
    auto update = [this](uint32_t id) {
        MapUpdate(id, [this, id](ui::CmdUI& cmd) {
            const CommandRule rule = EvaluateAppCommand(id, CommandState());
            cmd.Enable(rule.enabled);
            if (rule.check >= 0)
                cmd.SetCheck(rule.check);
        });
    };
    for (uint32_t id : {57600u, 57601u, 57606u, 57664u, 33981u, 33771u, 33772u, 33773u, 33774u, 33821u, 33823u,
                        33824u, 33825u, 33912u})
        update(id);
    for (uint32_t id = 33840; id <= 33858; ++id)
        if (id != ID_PROJECT_SETTINGS || HasCommand(id))
            update(id);
    for (uint32_t id = 33890; id <= 33899; ++id)
        update(id);
}

AppCommandState CStrandworkApp::CommandState() const
{
    AppCommandState s;
    for (ui::Document* d : const_cast<CStrandworkApp*>(this)->Documents().Documents())
        if (d->IsModified()) {
            s.anyModified = true;
            break;
        }
    CStrandworkDoc* doc = m_pProjectDoc;
    if (!doc)
        return s;
    s.projectOpen = true;
    s.building = doc->IsBuilding();
    s.debugging = doc->IsDebugging();
    s.connected = doc->Link().IsConnected();
    const core::ProjectData& data = doc->Data();
    s.sources = int(data.SourceFiles.size());
    s.supports = int(data.SupportFiles.size());
    s.breakpoints = int(data.Breakpoints.size());
    s.target = data.Target;
    PlcStatusRecord status{};
    doc->GetPlcStatus(status);
    s.statusLength = status.length;
    s.statusFlags = status.flags;
    return s;
}

bool CStrandworkApp::CommandEnabled(uint32_t id) const { return EvaluateAppCommand(id, CommandState()).enabled; }

// ------------------------------------------------------------ File

void CStrandworkApp::OnFileNew()
{
    if (CommandEnabled(ID_FILE_NEW))
        Documents().OnFileNew(GetMainWnd());
}

void CStrandworkApp::OnFilePrintSetup()
{
    if (!CommandEnabled(ID_FILE_PRINT_SETUP))
        return;
    QPageSetupDialog dialog(&ui::ApplicationPrinter(), GetMainWnd());
    dialog.exec();
}

void CStrandworkApp::OnFileOpen()
{
    if (!CommandEnabled(ID_FILE_OPEN))
        return;
    QString filter;
    for (unsigned id = IDS_OPEN_FILTER_FIRST; id <= IDS_OPEN_FILTER_LAST; ++id)
        filter += LoadResString(id);
    filter += QLatin1Char('|');
    CEditFileOpenDlg dialog(true, {}, {}, ui::OFN_ALLOWMULTISELECT | ui::OFN_FILEMUSTEXIST | ui::OFN_PATHMUSTEXIST,
                            filter, GetMainWnd());
    dialog.SetInitialFolder(OpenFolder());
    if (dialog.DoModal() != ui::IDOK)
        return;
    const QStringList paths = dialog.GetSelectedPaths();
    if (!paths.isEmpty())
        OpenFolder() = QFileInfo(paths.first()).absolutePath();
    const int codePage = dialog.GetCodePage();
    const bool readOnly = dialog.GetReadOnly();
    const int openAs = dialog.GetOpenAs();
    EditorDefaultsScope restore;
    if (codePage == 13) { // "Unicode"
        SetEdtDefaultEncoding(-1);
        SetEdtForceUnicode(true);
    } else {
        SetEdtDefaultEncoding(codePage);
        SetEdtForceUnicode(false);
    }
    for (const QString& path : paths) {
        ui::Document* doc = OpenDocumentWithTemplate(path, openAs);
        if (!doc || !readOnly)
            continue;
        if (auto* text = qobject_cast<CStructuredTextDoc*>(doc))
            text->SetReadOnly(true);
        else if (auto* bin = qobject_cast<CBinDoc*>(doc))
            bin->SetReadOnly(true);
    }
}

void CStrandworkApp::OnProjectOpen()
{
    if (!CommandEnabled(ID_PROJECT_OPEN))
        return;
    CKXMultiDocTemplate* project = Template(kProjectTemplate);
    if (!project)
        return;
    QString path;
    if (ui::PromptFileName(GetMainWnd(), path, QDir::currentPath(), {project->FileFilter()},
                           QStringLiteral("*.kxp"), true))
        OpenDocumentFile(path);
}

// ------------------------------------------------------------ Project

void CStrandworkApp::AddProjectFile(uint32_t id)
{
    if (!CommandEnabled(id) || !m_pProjectDoc)
        return;
    for (const AddFileCommand& c : kAddFileCommands) {
        if (c.id != id)
            continue;
        QStringList filters;
        for (int order = 0; order < 5; ++order)
            if ((c.filterTemplate < 0 || c.filterTemplate == order) && Template(order))
                filters.append(Template(order)->FileFilter());
        QString path;
        if (!ui::PromptFileName(GetMainWnd(), path, m_pProjectDoc->GetProjectDir(), filters,
                                QString::fromLatin1(c.pattern), c.mustExist))
            return;
        // The dialog's loop may have closed the project.
        if (m_pProjectDoc)
            c.add(*m_pProjectDoc, path);
        return;
    }
}

void CStrandworkApp::OnProjectNewSourceFile() { AddProjectFile(33840); }
void CStrandworkApp::OnProjectNewHeaderFile() { AddProjectFile(33841); }
void CStrandworkApp::OnProjectNewSupportFile() { AddProjectFile(33842); }
void CStrandworkApp::OnProjectAddSourceFile() { AddProjectFile(33843); }
void CStrandworkApp::OnProjectAddHeaderFile() { AddProjectFile(33844); }
void CStrandworkApp::OnProjectAddSupportFile() { AddProjectFile(33845); }

void CStrandworkApp::OnProjectBuild()
{
    if (!CommandEnabled(ID_PROJECT_BUILD))
        return;
    if (core::OutputSink* out = GetOutputCtrl())
        out->ClearAll();
    m_pProjectDoc->BuildPlc();
}

void CStrandworkApp::OnProjectBuildIfChanged()
{
    if (!CommandEnabled(ID_PROJECT_BUILD_IF_CHANGED))
        return;
    if (core::OutputSink* out = GetOutputCtrl())
        out->ClearAll();
    m_pProjectDoc->BuildIfNeeded();
}

void CStrandworkApp::OnProjectStopBuild()
{
    if (!CommandEnabled(ID_PROJECT_STOP_BUILD))
        return;
    const int answer = ui::Prompt(LoadResString(IDS_STOP_BUILD_QUESTION), LoadResString(IDS_STOP_BUILD_CAPTION),
                                  ui::MB_YESNO | ui::MB_ICONQUESTION, nullptr);
    // The build may have ended while the question was open.
    if (answer == ui::IDYES && m_pProjectDoc && m_pProjectDoc->IsBuilding())
        m_pProjectDoc->RequestBuildStop();
}

void CStrandworkApp::OnProjectClean()
{
    if (CommandEnabled(ID_PROJECT_CLEAN))
        m_pProjectDoc->CleanBuildOutput();
}

// ------------------------------------------------------------ PLC

void CStrandworkApp::RunPlcCommand(uint32_t id)
{
    if (!CommandEnabled(id) || !m_pProjectDoc)
        return;
    for (const PlcCommand& c : kPlcCommands) {
        if (c.id != id)
            continue;
        int ok = 0;
        {
            CPlcCommandDlg dialog(nullptr);
            ok = c.run(dialog, &m_pProjectDoc->Link());
        }
        if (!ok)
            AppendOutput(*this, c.failure);
        return;
    }
}

void CStrandworkApp::OnPlcStatus() { RunPlcCommand(33890); }
void CStrandworkApp::OnPlcInfo() { RunPlcCommand(33891); }
void CStrandworkApp::OnPlcReset() { RunPlcCommand(33892); }
void CStrandworkApp::OnPlcSleep() { RunPlcCommand(33893); }
void CStrandworkApp::OnPlcWake() { RunPlcCommand(33894); }
void CStrandworkApp::OnPlcRun() { RunPlcCommand(33895); }
void CStrandworkApp::OnPlcStop() { RunPlcCommand(33896); }
void CStrandworkApp::OnPlcStep() { RunPlcCommand(33897); }
void CStrandworkApp::OnPlcBreak() { RunPlcCommand(33898); }
void CStrandworkApp::OnPlcBackupData() { RunPlcCommand(33899); }

// ------------------------------------------------------------ Debug

void CStrandworkApp::OnDebugClearAllBreakpoints()
{
    if (!CommandEnabled(ID_DEBUG_CLEAR_ALL_BREAKPOINTS))
        return;
    CStrandworkDoc* doc = m_pProjectDoc;
    std::vector<uint32_t>& breakpoints = doc->Data().Breakpoints;
    for (uint32_t index : breakpoints)
        if (compout::ListingLine* line = doc->ListingFile().GetLine(index)) // none without a listing
            line->breakpointState = compout::kBreakpointNone;
    breakpoints.clear();
    // The list is stored in the workspace file; the PLC views drop their marks.
    doc->SetModifiedFlag(true);
    doc->BroadcastUpdate(nullptr, 11);
    int ok = 0;
    {
        CPlcCommandDlg dialog(nullptr);
        ok = dialog.ClearAllBreakpoints(&doc->Link());
    }
    if (!ok)
        AppendOutput(*this, IDS_CLEAR_BREAKPOINTS_FAILED);
}

void CStrandworkApp::OnViewMechanisms()
{
    if (!CommandEnabled(ID_VIEW_MECHANISMS))
        return;
    CMechanismsDlg dialog(nullptr);
    dialog.Run(m_pProjectDoc);
}

void CStrandworkApp::OnViewVariable()
{
    if (!CommandEnabled(ID_VIEW_VARIABLE))
        return;
    CInspectDlg dialog(nullptr);
    dialog.Run(m_pProjectDoc, QString());
}

void CStrandworkApp::OnDebugGoToCurrentLine()
{
    if (CommandEnabled(ID_DEBUG_GO_TO_CURRENT_LINE))
        m_pProjectDoc->GoToCurrentLine();
}
