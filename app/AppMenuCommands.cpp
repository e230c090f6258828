// The application's commands of the File, Project, PLC and Debug menus:
// their map, their rules and the handlers whose work lives here.  See
// docs/application.md.  CAppMenuCommands is owned by the application.
#include "app/AppMenuCommands.h"

#include "app/StrandworkApp.h"

#include "projectui/StrandworkDoc.h"
#include "editor/dialogs/EditFileOpenDlg.h"
#include "editor/buffer/EdtCodePages.h"
#include "link/linkobj/olnk_link.h"
#include "platform/ui/FileDialogs.h"
#include "platform/ui/Print.h"
#include "platform/ui/Prompt.h"
#include "plcviews/BinDoc.h"
#include "plcviews/InspectDlg.h"
#include "plcviews/LinkNotices.h"
#include "plcviews/MechanismsDlg.h"
#include "plcviews/PlcCommandDlg.h"
#include "plcviews/StructuredTextDoc.h"
#include "res/CommandIds.h"
#include "res/StringTable.h"
#include "res/text/StringIds.h"

#include <QDir>
#include <QFileInfo>
#include <QPageSetupDialog>
#include <QPointer>

namespace {

// String-table ids of the commands.
constexpr unsigned IDS_OPEN_FILTER_FIRST = 4146;  // 4146 .. 4151: the File > Open filter
constexpr unsigned IDS_OPEN_FILTER_LAST = IDS_ALL_FILES_FILTER_ENTRY;
constexpr unsigned IDS_STOP_BUILD_QUESTION = 4155;
constexpr unsigned IDS_STOP_BUILD_CAPTION = 4156;
constexpr unsigned IDS_CLEAR_BREAKPOINTS_FAILED = 4176;

// The template orders.
[[maybe_unused]] constexpr int kTextTemplate = 0;  // listed for the order; not used
constexpr int kHeaderTemplate = 2;
constexpr int kSourceTemplate = 3;
constexpr int kProjectTemplate = 4;

// The add-file commands ID_PROJECT_NEW_SOURCE .. ID_PROJECT_ADD_SUPPORT.
struct AddFileCommand
{
    uint32_t id;
    const char* pattern;
    int filterTemplate;  // -1: the filters of all templates
    bool mustExist;
    bool (*add)(CStrandworkDoc&, const QString&);
};
const AddFileCommand kAddFileCommands[] = {
    {ID_PROJECT_NEW_SOURCE, "*.plc", kSourceTemplate, false,
     [](CStrandworkDoc& d, const QString& p) { d.AddNewSourceFile(p); return true; }},
    {ID_PROJECT_NEW_HEADER, "*.inc", kHeaderTemplate, false,
     [](CStrandworkDoc& d, const QString& p) { d.AddNewHeaderFile(p); return true; }},
    {ID_PROJECT_NEW_SUPPORT, "*.*", kSourceTemplate, false,
     [](CStrandworkDoc& d, const QString& p) { d.AddNewSupportFile(p); return true; }},
    {ID_PROJECT_ADD_SOURCE, "*.plc", kSourceTemplate, true,
     [](CStrandworkDoc& d, const QString& p) { return d.AddExistingSourceFile(p); }},
    {ID_PROJECT_ADD_HEADER, "*.inc", kHeaderTemplate, true,
     [](CStrandworkDoc& d, const QString& p) { return d.AddExistingHeaderFile(p); }},
    {ID_PROJECT_ADD_SUPPORT, "*.*", -1, true,
     [](CStrandworkDoc& d, const QString& p) { return d.AddExistingSupportFile(p); }},
};

// The line after a PLC-interface command that succeeded.
constexpr unsigned IDS_PLC_COMMAND_DONE = 4771;

// The ten PLC-interface commands: the dialog's routine and the failure text.
struct PlcCommand
{
    uint32_t id;
    int (*run)(CPlcCommandDlg&, IOlnkPL*);
    unsigned failure;
};
const PlcCommand kPlcCommands[] = {
    {ID_PLC_STATUS, [](CPlcCommandDlg& d, IOlnkPL* pl) { return d.GetStatus(pl, nullptr, 1); }, 4158},
    {ID_PLC_INFO, [](CPlcCommandDlg& d, IOlnkPL* pl) { return d.GetPLCInfo(pl, nullptr, 0, 1); }, 4157},
    {ID_PLC_RESET, [](CPlcCommandDlg& d, IOlnkPL* pl) { return d.ClearPLC(pl); }, 4161},
    {ID_PLC_SLEEP, [](CPlcCommandDlg& d, IOlnkPL* pl) { return d.SleepPLC(pl); }, 4163},
    {ID_PLC_WAKE, [](CPlcCommandDlg& d, IOlnkPL* pl) { return d.WakePLC(pl); }, 4166},
    {ID_PLC_RUN, [](CPlcCommandDlg& d, IOlnkPL* pl) { return d.RunPLC(pl); }, 4162},
    {ID_PLC_STOP, [](CPlcCommandDlg& d, IOlnkPL* pl) { return d.StopPLC(pl); }, 4165},
    {ID_PLC_STEP, [](CPlcCommandDlg& d, IOlnkPL* pl) { return d.StepPLC(pl); }, 4164},
    {ID_PLC_BREAK, [](CPlcCommandDlg& d, IOlnkPL* pl) { return d.BreakPLC(pl); }, 4160},
    {ID_PLC_BACKUP_DATA, [](CPlcCommandDlg& d, IOlnkPL* pl) { return d.BackupPLCData(pl, 0); }, 4159},
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
    EditorDefaultsScope()
        : m_encoding(GetEdtDefaultEncoding()), m_force(GetEdtForceUnicode()), m_forceUtf8(GetEdtForceUtf8())
    {
    }
    ~EditorDefaultsScope()
    {
        SetEdtDefaultEncoding(m_encoding);
        SetEdtForceUnicode(m_force);
        SetEdtForceUtf8(m_forceUtf8);
    }
    EditorDefaultsScope(const EditorDefaultsScope&) = delete;
    EditorDefaultsScope& operator=(const EditorDefaultsScope&) = delete;

private:
    int m_encoding;
    bool m_force;
    bool m_forceUtf8;
};

void AppendOutput(CStrandworkApp& app, unsigned text)
{
    if (core::OutputSink* out = app.GetOutputCtrl())
        out->AppendText(LoadResString(text).toStdU16String());
}

} // namespace

// ------------------------------------------------------------ the map

CAppMenuCommands::CAppMenuCommands(CStrandworkApp& app) : m_app(app) {}

void CAppMenuCommands::Map()
{
    auto map = [this](uint32_t id, void (CAppMenuCommands::*handler)()) {
        m_app.MapCommand(id, [this, handler] { (this->*handler)(); });
    };
    map(ID_FILE_NEW, &CAppMenuCommands::OnFileNew);
    map(ID_FILE_PRINT_SETUP, &CAppMenuCommands::OnFilePrintSetup);
    map(ID_PROJECT_OPEN, &CAppMenuCommands::OnProjectOpen);
    map(ID_PROJECT_NEW_SOURCE, &CAppMenuCommands::OnProjectNewSourceFile);
    map(ID_PROJECT_NEW_HEADER, &CAppMenuCommands::OnProjectNewHeaderFile);
    map(ID_PROJECT_NEW_SUPPORT, &CAppMenuCommands::OnProjectNewSupportFile);
    map(ID_PROJECT_ADD_SOURCE, &CAppMenuCommands::OnProjectAddSourceFile);
    map(ID_PROJECT_ADD_HEADER, &CAppMenuCommands::OnProjectAddHeaderFile);
    map(ID_PROJECT_ADD_SUPPORT, &CAppMenuCommands::OnProjectAddSupportFile);
    map(ID_PROJECT_BUILD, &CAppMenuCommands::OnProjectBuild);
    map(ID_PROJECT_BUILD_IF_CHANGED, &CAppMenuCommands::OnProjectBuildIfChanged);
    map(ID_PROJECT_STOP_BUILD, &CAppMenuCommands::OnProjectStopBuild);
    map(ID_PROJECT_CLEAN, &CAppMenuCommands::OnProjectClean);
    map(ID_PLC_STATUS, &CAppMenuCommands::OnPlcStatus);
    map(ID_PLC_INFO, &CAppMenuCommands::OnPlcInfo);
    map(ID_PLC_RESET, &CAppMenuCommands::OnPlcReset);
    map(ID_PLC_SLEEP, &CAppMenuCommands::OnPlcSleep);
    map(ID_PLC_WAKE, &CAppMenuCommands::OnPlcWake);
    map(ID_PLC_RUN, &CAppMenuCommands::OnPlcRun);
    map(ID_PLC_STOP, &CAppMenuCommands::OnPlcStop);
    map(ID_PLC_STEP, &CAppMenuCommands::OnPlcStep);
    map(ID_PLC_BREAK, &CAppMenuCommands::OnPlcBreak);
    map(ID_PLC_BACKUP_DATA, &CAppMenuCommands::OnPlcBackupData);
    map(ID_DEBUG_CLEAR_ALL_BREAKPOINTS, &CAppMenuCommands::OnDebugClearAllBreakpoints);
    map(ID_VIEW_MECHANISMS, &CAppMenuCommands::OnViewMechanisms);
    map(ID_VIEW_VARIABLE, &CAppMenuCommands::OnViewVariable);
    map(ID_DEBUG_GO_TO_CURRENT_LINE, &CAppMenuCommands::OnDebugGoToCurrentLine);

    // One update handler for every command of the application but the
    // recent lists, also those whose handlers live elsewhere.  ID_PROJECT_SETTINGS keeps
    // no rule while nothing handles it (the framework then disables it).
    auto update = [this](uint32_t id) {
        m_app.MapUpdate(id, [this, id](ui::CmdUI& cmd) {
            const CommandRule rule = EvaluateAppCommand(id, CommandState());
            cmd.Enable(rule.enabled);
            if (rule.check >= 0)
                cmd.SetCheck(rule.check);
        });
    };
    for (uint32_t id : {ID_FILE_NEW, ID_FILE_OPEN, ID_FILE_PRINT_SETUP, ID_APP_ABOUT, ID_HELP_TIPS,
                        ID_FILE_SAVE_ALL, ID_PROJECT_NEW, ID_PROJECT_OPEN, ID_PROJECT_CLOSE,
                        ID_DEBUG_CLEAR_ALL_BREAKPOINTS, ID_VIEW_MECHANISMS, ID_VIEW_VARIABLE,
                        ID_DEBUG_GO_TO_CURRENT_LINE, ID_TOOLS_FILEMANAGER})
        update(id);
    for (uint32_t id = ID_PROJECT_FIRST; id <= ID_PROJECT_LAST; ++id)
        if (id != ID_PROJECT_SETTINGS || m_app.HasCommand(id))
            update(id);
    for (uint32_t id = ID_PLC_FIRST; id <= ID_PLC_LAST; ++id)
        update(id);
}

AppCommandState CAppMenuCommands::CommandState() const
{
    AppCommandState s;
    for (ui::Document* d : m_app.Documents().Documents())
        if (d->IsModified()) {
            s.anyModified = true;
            break;
        }
    CStrandworkDoc* doc = m_app.GetProjectDoc();
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

bool CAppMenuCommands::CommandEnabled(uint32_t id) const { return EvaluateAppCommand(id, CommandState()).enabled; }

// ------------------------------------------------------------ File

void CAppMenuCommands::OnFileNew()
{
    if (CommandEnabled(ID_FILE_NEW))
        m_app.Documents().OnFileNew(m_app.GetMainWnd());
}

void CAppMenuCommands::OnFilePrintSetup()
{
    if (!CommandEnabled(ID_FILE_PRINT_SETUP))
        return;
    QPageSetupDialog dialog(&ui::ApplicationPrinter(), m_app.GetMainWnd());
    dialog.exec();
}

void CAppMenuCommands::OnFileOpen()
{
    if (!CommandEnabled(ID_FILE_OPEN))
        return;
    QString filter;
    for (unsigned id = IDS_OPEN_FILTER_FIRST; id <= IDS_OPEN_FILTER_LAST; ++id)
        filter += LoadResString(id);
    filter += QLatin1Char('|');
    CEditFileOpenDlg dialog(true, {}, {}, ui::OFN_ALLOWMULTISELECT | ui::OFN_FILEMUSTEXIST | ui::OFN_PATHMUSTEXIST,
                            filter, m_app.GetMainWnd());
    dialog.SetInitialFolder(OpenFolder());
    if (dialog.DoModal() != ui::IDOK)
        return;
    const QStringList paths = dialog.GetSelectedPaths();
    if (!paths.isEmpty())
        OpenFolder() = paths.first().left(paths.first().lastIndexOf(QLatin1Char('/')));
    const int codePage = dialog.GetCodePage();
    const bool readOnly = dialog.GetReadOnly();
    const int openAs = dialog.GetOpenAs();
    EditorDefaultsScope restore;
    if (codePage == EDT_CODEPAGE_UNICODE) {
        SetEdtDefaultEncoding(-1);
        SetEdtForceUnicode(true);
        SetEdtForceUtf8(false);
    } else if (codePage == EDT_CODEPAGE_UTF8) {
        SetEdtDefaultEncoding(-1);
        SetEdtForceUnicode(false);
        SetEdtForceUtf8(true);
    } else {
        SetEdtDefaultEncoding(codePage);
        SetEdtForceUnicode(false);
        SetEdtForceUtf8(false);
    }
    for (const QString& path : paths) {
        ui::Document* doc = m_app.OpenDocumentWithTemplate(path, openAs);
        if (!doc || !readOnly)
            continue;
        if (auto* text = qobject_cast<CStructuredTextDoc*>(doc))
            text->SetReadOnly(true);
        else if (auto* bin = qobject_cast<CBinDoc*>(doc))
            bin->SetReadOnly(true);
    }
}

void CAppMenuCommands::OnProjectOpen()
{
    if (!CommandEnabled(ID_PROJECT_OPEN))
        return;
    CKXMultiDocTemplate* project = m_app.Template(kProjectTemplate);
    if (!project)
        return;
    QString path;
    if (ui::PromptFileName(m_app.GetMainWnd(), path, QDir::currentPath(), {project->FileFilter()},
                           QStringLiteral("*.kxp"), true))
        m_app.OpenDocumentFile(path);
}

// ------------------------------------------------------------ Project

void CAppMenuCommands::AddProjectFile(uint32_t id)
{
    if (!CommandEnabled(id) || !m_app.GetProjectDoc())
        return;
    for (const AddFileCommand& c : kAddFileCommands) {
        if (c.id != id)
            continue;
        QStringList filters;
        for (int order = 0; order < 5; ++order)
            if ((c.filterTemplate < 0 || c.filterTemplate == order) && m_app.Template(order))
                filters.append(m_app.Template(order)->FileFilter());
        QString path;
        if (!ui::PromptFileName(m_app.GetMainWnd(), path, m_app.GetProjectDoc()->GetProjectDir(), filters,
                                QString::fromLatin1(c.pattern), c.mustExist))
            return;
        // The dialog's loop may have closed the project.
        if (m_app.GetProjectDoc())
            c.add(*m_app.GetProjectDoc(), path);
        return;
    }
}

void CAppMenuCommands::OnProjectNewSourceFile() { AddProjectFile(ID_PROJECT_NEW_SOURCE); }
void CAppMenuCommands::OnProjectNewHeaderFile() { AddProjectFile(ID_PROJECT_NEW_HEADER); }
void CAppMenuCommands::OnProjectNewSupportFile() { AddProjectFile(ID_PROJECT_NEW_SUPPORT); }
void CAppMenuCommands::OnProjectAddSourceFile() { AddProjectFile(ID_PROJECT_ADD_SOURCE); }
void CAppMenuCommands::OnProjectAddHeaderFile() { AddProjectFile(ID_PROJECT_ADD_HEADER); }
void CAppMenuCommands::OnProjectAddSupportFile() { AddProjectFile(ID_PROJECT_ADD_SUPPORT); }

void CAppMenuCommands::OnProjectBuild()
{
    if (!CommandEnabled(ID_PROJECT_BUILD))
        return;
    if (core::OutputSink* out = m_app.GetOutputCtrl())
        out->ClearAll();
    m_app.GetProjectDoc()->BuildPlc();
}

void CAppMenuCommands::OnProjectBuildIfChanged()
{
    if (!CommandEnabled(ID_PROJECT_BUILD_IF_CHANGED))
        return;
    if (core::OutputSink* out = m_app.GetOutputCtrl())
        out->ClearAll();
    m_app.GetProjectDoc()->BuildIfNeeded();
}

void CAppMenuCommands::OnProjectStopBuild()
{
    if (!CommandEnabled(ID_PROJECT_STOP_BUILD))
        return;
    const int answer = ui::Prompt(LoadResString(IDS_STOP_BUILD_QUESTION), LoadResString(IDS_STOP_BUILD_CAPTION),
                                  ui::MB_YESNO | ui::MB_ICONQUESTION, nullptr);
    // The build may have ended while the question was open.
    if (answer == ui::IDYES && m_app.GetProjectDoc() && m_app.GetProjectDoc()->IsBuilding())
        m_app.GetProjectDoc()->RequestBuildStop();
}

void CAppMenuCommands::OnProjectClean()
{
    if (CommandEnabled(ID_PROJECT_CLEAN))
        m_app.GetProjectDoc()->CleanBuildOutput();
}

// ------------------------------------------------------------ PLC

void CAppMenuCommands::RunPlcCommand(uint32_t id)
{
    if (!CommandEnabled(id) || !m_app.GetProjectDoc())
        return;
    for (const PlcCommand& c : kPlcCommands) {
        if (c.id != id)
            continue;
        int ok = 0;
        uint32_t refusal = 0;
        QString fateUnknown;
        {
            CPlcCommandDlg dialog(nullptr);
            ok = c.run(dialog, &m_app.GetProjectDoc()->Link());
            refusal = dialog.Refusal();
            if (dialog.FateUnknown())
                fateUnknown = dialog.ResultText();
        }
        if (!ok) {
            // A command sent whose reply never came is no failure: the
            // control system may have carried it out.
            core::OutputSink* out = m_app.GetOutputCtrl();
            if (!fateUnknown.isEmpty() && out)
                out->AppendText(fateUnknown.toStdU16String());
            else if (refusal && out)
                out->AppendText(plcviews::RefusalLine(c.failure, refusal).toStdU16String());
            else
                AppendOutput(m_app, c.failure);
        } else if (core::OutputSink* out = m_app.GetOutputCtrl()) {
            // The command's name is the short text of its prompt.
            QString name = LoadResString(id).section(QLatin1Char('\n'), 1);
            while (name.endsWith(QLatin1Char('.')))
                name.chop(1);
            out->AppendText(FormatResString(IDS_PLC_COMMAND_DONE, name).toStdU16String());
        }
        return;
    }
}

void CAppMenuCommands::OnPlcStatus() { RunPlcCommand(ID_PLC_STATUS); }
void CAppMenuCommands::OnPlcInfo() { RunPlcCommand(ID_PLC_INFO); }
void CAppMenuCommands::OnPlcReset() { RunPlcCommand(ID_PLC_RESET); }
void CAppMenuCommands::OnPlcSleep() { RunPlcCommand(ID_PLC_SLEEP); }
void CAppMenuCommands::OnPlcWake() { RunPlcCommand(ID_PLC_WAKE); }
void CAppMenuCommands::OnPlcRun() { RunPlcCommand(ID_PLC_RUN); }
void CAppMenuCommands::OnPlcStop() { RunPlcCommand(ID_PLC_STOP); }
void CAppMenuCommands::OnPlcStep() { RunPlcCommand(ID_PLC_STEP); }
void CAppMenuCommands::OnPlcBreak() { RunPlcCommand(ID_PLC_BREAK); }
void CAppMenuCommands::OnPlcBackupData() { RunPlcCommand(ID_PLC_BACKUP_DATA); }

// ------------------------------------------------------------ Debug

void CAppMenuCommands::OnDebugClearAllBreakpoints()
{
    if (!CommandEnabled(ID_DEBUG_CLEAR_ALL_BREAKPOINTS))
        return;
    CStrandworkDoc* doc = m_app.GetProjectDoc();
    int ok = 0;
    uint32_t refusal = 0;
    QString fateUnknown;
    {
        CPlcCommandDlg dialog(nullptr);
        ok = dialog.ClearAllBreakpoints(&doc->Link());
        refusal = dialog.Refusal();
        if (dialog.FateUnknown())
            fateUnknown = dialog.ResultText();
    }
    // The dialog's loop may have closed the project.
    doc = m_app.GetProjectDoc();
    if (refusal) {
        // Nothing was sent (the control system silent, the link down): the
        // breakpoints stay shown as the control system still holds them.
        if (core::OutputSink* out = m_app.GetOutputCtrl())
            out->AppendText(plcviews::RefusalLine(IDS_CLEAR_BREAKPOINTS_FAILED, refusal).toStdU16String());
        return;
    }
    if (doc) {
        std::vector<uint32_t>& breakpoints = doc->Data().Breakpoints;
        for (uint32_t index : breakpoints)
            if (compout::ListingLine* line = doc->ListingFile().GetLine(index)) // none without a listing
                line->breakpointState = compout::kBreakpointNone;
        breakpoints.clear();
        // The list is stored in the workspace file; the PLC views drop their marks.
        doc->SetModifiedFlag(true);
        doc->BroadcastUpdate(nullptr, 11);
    }
    if (!ok && !fateUnknown.isEmpty()) {
        if (core::OutputSink* out = m_app.GetOutputCtrl())
            out->AppendText(fateUnknown.toStdU16String());
    } else if (!ok) {
        AppendOutput(m_app, IDS_CLEAR_BREAKPOINTS_FAILED);
    }
}

void CAppMenuCommands::OnViewMechanisms()
{
    if (!CommandEnabled(ID_VIEW_MECHANISMS))
        return;
    CMechanismsDlg dialog(nullptr);
    dialog.Run(m_app.GetProjectDoc());
}

void CAppMenuCommands::OnViewVariable()
{
    if (!CommandEnabled(ID_VIEW_VARIABLE))
        return;
    CInspectDlg dialog(nullptr);
    dialog.Run(m_app.GetProjectDoc(), QString());
}

void CAppMenuCommands::OnDebugGoToCurrentLine()
{
    if (CommandEnabled(ID_DEBUG_GO_TO_CURRENT_LINE))
        m_app.GetProjectDoc()->GoToCurrentLine();
}
