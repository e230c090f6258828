#pragma once
// The application object: start-up, exit, the open project, the recent
// lists and the services every part reaches through it (output window,
// options record, PLC views, message pumping).  See docs/application.md.

#include "app/AppCommandLineInfo.h"
#include "app/AppCommandRules.h"
#include "app/AppMenuCommands.h"
#include "app/AppTransferCommands.h"
#include "app/CrashReporter.h"
#include "app/RecentProjectList.h"
#include "projectui/ProjectHost.h"
#include "mainwnd/MainFrameHost.h"
#include "platform/ui/App.h"
#include "res/CommandIds.h"
#include "res/text/StringIds.h"
#include "uilib/KVTWorkspace.h"

#include <QString>

#include <memory>

class CAppWorkspaceDocuments;
class CFontColorPage;
class CMainFrame;
class COutputCtrl;
class CStrandworkDoc;
namespace ui {
class Document;
}

// String-table ids of the application object.
constexpr unsigned IDS_CTXMENU_EDITOR_PLC = 4140;
constexpr unsigned IDS_CTXMENU_EDITOR = 4141;
constexpr unsigned IDS_CTXMENU_BIN_EDITOR = 4142;
constexpr unsigned IDS_CTXMENU_OUTPUT = 4143;
constexpr unsigned IDS_CTXMENU_EXPLORER = 4144;
constexpr unsigned IDS_CTXMENU_WATCH = 4145;
constexpr unsigned IDS_SAVE_FAILED = 4152;
constexpr unsigned IDS_CANNOT_END_BUILDING = 4153;
constexpr unsigned IDS_CANNOT_CLOSE_BUILDING = 4154;
constexpr unsigned IDS_PROJECT_MISSING = 4177;
// A -Build or -Make run without a project: none given, not a project, or
// one that could not be opened.
constexpr unsigned IDS_UNATTENDED_NO_PROJECT = 4780;
constexpr unsigned IDS_UNATTENDED_NOT_PROJECT = 4781;
constexpr unsigned IDS_UNATTENDED_OPEN_FAILED = 4782;
constexpr unsigned IDS_SETTINGS_KEPT = 4960;  // "Soubor nastavení %s nebylo možné přečíst (%s). ... uschován jako %s ..."
constexpr unsigned IDS_SETTINGS_UNREAD = 4962; // "Soubor nastavení %s nebylo možné přečíst (%s). ... neukládá."
constexpr unsigned IDS_TOOLKIT_LANGUAGE = 4506; // "cs": the language of the resources for Qt's own texts

// Commands handled here.

// The exit status of a start-up that failed.
constexpr int kExitInitFailed = 3;
// The exit status of a run whose unattended build failed (with a display
// the window stayed open with the output until it was closed; without one
// the run ended at once).
constexpr int kExitBuildFailed = 1;
// How long the program may take to end after SIGTERM, SIGINT or SIGHUP.
constexpr int kSignalLimitMs = 5000;

// The framework's multi-document template with the number of its documents.
class CKXMultiDocTemplate : public ui::DocTemplate
{
public:
    using ui::DocTemplate::DocTemplate;
    int GetDocumentCount() const override { return int(Documents().size()); }
};

class CStrandworkApp : public ui::Application, public CKVTWorkspace, public ProjectHost, public MainFrameHost
{
    Q_OBJECT
public:
    CStrandworkApp();
    ~CStrandworkApp() override;
    static CStrandworkApp* Instance();

    bool InitInstance() override;
    int ExitInstance() override;
    bool OnIdle(long count) override;

    // --- ProjectHost -------------------------------------------------------
    CStrandworkDoc* GetProjectDoc() override { return m_pProjectDoc; }
    bool SetProjectDoc(CStrandworkDoc* doc) override;
    bool ClearProjectDoc() override;
    bool CloseProject(bool ending) override;
    bool OnFileSaveAll() override { return SaveAll(); }
    void UpdatePlcViews(ui::View* sender, long hint, QObject* object) override;
    core::OutputSink* GetOutputCtrl() override;
    const core::AppSettings& GetAppSettings() override;
    bool PumpMessages() override { return ui::Application::PumpMessages(); }
    QString GetProgramFolder() override;
    // The documents of the workspace file, once the templates exist.
    WorkspaceDocumentsPort* GetWorkspaceDocumentsPort() override;
    bool ShowPlcSourceLine(const QString& path, int line) override;
    QString GetHelpPath(int index) override;
    // The wait dialog of the PLC requests, constructed without a parent.
    std::unique_ptr<PlcCommandDialog> CreatePlcCommandDialog() override;
    // The main frame's connection-error dialog for the open project, in
    // front once no waiting box is open.
    void ShowConnectionError(CStrandworkDoc* doc) override;

    // Saves every modified document (project, PLC sources, headers, binary,
    // text); true when every save succeeded.
    bool SaveAll();
    // The project that the save command saves: open, modified, and no
    // document window active.
    CStrandworkDoc* ProjectToSave() const;

    // The main frame's font and colour registry (the process-wide one).
    CFontColorPage* GetFontColorPage();
    CMainFrame* MainFrame() const;
    // The output control itself, without the copy to standard output.
    COutputCtrl* OutputControl() const;

    // Reads a string value of any length from "Software\ORNA\Strandwork\<section>".
    QString GetLongProfileString(const QString& section, const QString& entry, const QString& defaultValue);
    // Loads the language resource file for "Options"/"Language" (see
    // docs/application.md); true when one was loaded.
    bool LoadLanguageDll(const QString& programPath);
    // Qt's own windows and buttons (file dialogs, message-box buttons) in the
    // language of the resources in use, which also becomes the default
    // locale (dates, numbers, file type names); false when Qt has no
    // translation.
    static bool InstallToolkitTranslation();
    // "<program path without its extension><code>.rcc".
    static QString LanguageFileName(const QString& programPath, const QString& code);
    // The program whose language files the start-up and the language
    // commands look for; the running executable unless set.
    void SetProgramPath(const QString& path) { m_programPath = path; }
    QString ProgramPath() const;

    // Opens path with the template of index (or the best match for -1);
    // a document open already is activated and returned.
    ui::Document* OpenDocumentWithTemplate(const QString& path, int templateIndex);
    ui::Document* OpenDocumentFile(const QString& path) override;

    static int CrashCallback();

    void SetResetWorkspace(bool on) override { m_bResetWorkspace = on; }
    bool HasLanguageFile(const QString& code) const override;
    bool ResetWorkspace() const { return m_bResetWorkspace; }

    CRecentProjectList* RecentList() const { return m_pRecentFileList.get(); }
    // The recent-list commands; false when nothing was opened.
    bool OnOpenRecentProject(uint32_t id);
    // A new document of the project template: the new-project dialog.
    void OnProjectNew();
    // Tools > "Správce souborů...": without a project, the file manager
    // runs modally on a link object of its own, opened with the options'
    // connection string and closed afterwards.
    void OnFileManager();
    // Projekt > "Nastavení...": the open project's settings sheet.
    void OnProjectSettings();
    // ID_APP_ABOUT: the about box; ID_HELP_TIPS: the tip of the day (both modal).
    void OnAppAbout();
    void OnHelpTips();
    // Projekt > transfers, debugging and the connection: CAppTransferCommands.
    bool OnOpenRecentFile(uint32_t id);
    // File > Open (CAppMenuCommands).
    void OnFileOpen() { m_menuCommands->OnFileOpen(); }

    // The commands of the File, Project, PLC and Debug menus and the update
    // rules of every command live in CAppMenuCommands (AppMenuCommands.cpp;
    // docs/application.md).
    // The project state the commands' rules read.
    AppCommandState CommandState() const { return m_menuCommands->CommandState(); }
    // Whether the rule of id enables it now.
    bool CommandEnabled(uint32_t id) const { return m_menuCommands->CommandEnabled(id); }

    const CAppCommandLineInfo& CommandLine() const { return m_cmdInfo; }
    // The parameters InitInstance parses instead of the process's own
    // (tests).
    void SetArguments(const QStringList& params) { m_arguments = params; m_ownArguments = true; }
    bool IsUnattended() const { return m_unattended; }
    // Whether the build that -Build or -Make started failed.
    bool StartupBuildFailed() const { return m_startupBuildFailed; }
    // Without a display (ui::Application::NoDisplay) a failed -Build or
    // -Make cannot be seen or closed, so it ends the run at once (its
    // messages are on standard output).
    CKXMultiDocTemplate* Template(int order) const { return m_templates[order]; }
    const QString& HelpPath(int index) const { return m_helpPaths[index]; }
    int PreviewPages() const { return m_nPreviewPages; }
    // The exit status the run ends with (see main).
    int ExitStatus() const { return m_exitStatus; }

    // Makes SIGTERM, SIGINT and SIGHUP end the program (EndOnSignal).
    static void InstallCloseOnSignal();
    // SIGTERM, SIGINT or SIGHUP: the program ends whatever its windows show.  Open
    // modal windows are rejected, a build is asked to stop, the settings
    // (placement, workspace, bars, recent lists) and the project's workspace
    // file are written at once, and no message box waits for an answer any
    // more; then, once no nested loop runs, the main window closes without
    // a question and with no document saved (every document, loose or in
    // the project, stays as it is on disk), and the event loop ends.
    // Whatever still runs after kSignalLimitMs, the process ends then.
    void EndOnSignal();
    bool EndingOnSignal() const { return m_endingOnSignal; }

private:
    class UnattendedOutput;
    void LoadStdProfileSettings(int count);
    void LoadEditorSettings();
    // Start-up step 15: the desktop entry, MIME types and icon for this
    // user (app/DesktopRegistration.h); a folder that cannot be written
    // gives a line in the output window, and start-up goes on.
    void RegisterFileTypes();
    void CreateTemplates();
    bool ProcessShellCommand();
    void RunStartupSwitches();
    bool StartupBuild(bool conditional);
    // A -Build or -Make run that has no project to build ends: the reason
    // on standard error (and in a message box with a display); false.
    bool EndUnattendedWithoutProject(const QString& reason, const QString& message);
    void PostCloseMainWindow();
    void FinishEndOnSignal();
    // The first signal: every modified document (and a modified project
    // file) gets a copy in the state folder (app/RecoveryCopies.h), named
    // on standard error.
    void KeepUnsavedChanges();
    // Start-up: the folders where earlier endings kept unsaved changes, said
    // once in a message (an unattended run prints the text alone and
    // leaves the telling to the next interactive start).
    void TellKeptChanges();
    // A settings file that the start could not read: said once, in a box
    // over the main window.
    void TellSettingsProblem();
    // The project's part of a close: a modified project (or one of a format
    // that keeps its open documents in the project file) is saved as the
    // framework saves a document; otherwise only its workspace file is
    // written.  False when the save was refused or failed.
    bool SaveProjectOnClose();

    crashreport::Handle* m_hCrashReporter = nullptr;
    QString m_helpPaths[3];
    CKXMultiDocTemplate* m_templates[5] = {};
    CStrandworkDoc* m_pProjectDoc = nullptr;
    bool m_bResetWorkspace = false;
    QString m_programPath;
    std::unique_ptr<CRecentProjectList> m_pRecentFileList;
    int m_nPreviewPages = 0;
    CAppCommandLineInfo m_cmdInfo;
    QStringList m_arguments;
    bool m_ownArguments = false;
    bool m_unattended = false;
    bool m_startupBuildFailed = false;
    bool m_endingOnSignal = false;
    bool m_workspaceSavedOnSignal = false; // written when the signal came
    std::unique_ptr<UnattendedOutput> m_unattendedOutput;
    int m_exitStatus = 0;
    std::unique_ptr<CAppWorkspaceDocuments> m_workspaceDocuments;
    std::unique_ptr<CAppMenuCommands> m_menuCommands;
    std::unique_ptr<CAppTransferCommands> m_transferCommands;
};

// The application's open project (null when none).
CStrandworkDoc* GetProjectDoc();
const core::AppSettings* GetAppSettings();
