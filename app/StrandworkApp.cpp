#include "app/StrandworkApp.h"

#include "app/AppTransferCommands.h"
#include "app/AppWorkspaceDocuments.h"
#include "app/DesktopRegistration.h"
#include "app/RecoveryCopies.h"
#include "app/PlcCommandDialog.h"
#include "core/common/StartupTrace.h"
#include "projectui/KXPExplorerView.h"
#include "projectui/StrandworkDoc.h"
#include "projectui/StrandworkView.h"
#include "platform/ui/Modal.h"
#include "editor/dialogs/EditFileOpenDlg.h"
#include "editor/buffer/EdtCodePages.h"
#include "editor/settings/EdtSettings.h"
#include "link/linkobj/olnk_link.h"
#include "link/ui/FileManagerDlg.h"
#include "link/ui/LinkMessages.h"
#include "mainwnd/AppBar.h"
#include "mainwnd/MainFrame.h"
#include "mainwnd/OutputCtrl.h"
#include "fontcolor/FontColorPage.h"
#include "mainwnd/SplashWnd.h"
#include "mainwnd/TipDlg.h"
#include "mainwnd/AboutDlg.h"
#include "platform/sys/CodePage.h"
#include "platform/sys/Registry.h"
#include "platform/ui/FileDialogs.h"
#include "platform/ui/Prompt.h"
#include "plcviews/BinDoc.h"
#include "plcviews/HexEditView.h"
#include "plcviews/PLCDoc.h"
#include "plcviews/StructuredTextDoc.h"
#include "res/Resources.h"
#include "res/StringTable.h"
#include "res/text/StringIds.h"

#include <QApplication>
#include <QDialog>
#include "platform/ui/LocalPath.h"
#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QMdiArea>
#include <QRegularExpression>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>
#include <QTranslator>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <thread>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

CStrandworkApp* g_theApp = nullptr;

const char16_t kCrashAddress[] = u"crash-reports@strandwork.invalid";
const char16_t kCrashTitle[] = u"Strandwork crash report";
// "Registrace typů souborů v prostředí pracovní plochy přeskočena: %s nelze
// zapsat (%s)." (the folder or file, why)
constexpr unsigned kDesktopRegistrationSkipped = 4755;

const char kOleFailed[] =
    "OLE 2.0 initialization failed.  Make sure that the OLE libraries are the correct version.";

void Trace(const std::string& step) { core::TraceStartup(step); }

void WriteStderr(const QString& text)
{
    std::fprintf(stderr, "%s\n", text.toUtf8().constData());
    std::fflush(stderr);
}

// The wide-character binding layer, control containment and OLE of the
// original platform have nothing to do here; they succeed.
bool AfxOleInit() { return true; }

// A project file by its name: the project template's extension, any case.
bool IsProjectFileName(const QString& path)
{
    QString p = path;
    if (p.startsWith(QLatin1Char('"')) && p.endsWith(QLatin1Char('"')) && p.size() >= 2)
        p = p.mid(1, p.size() - 2);
    return p.endsWith(QLatin1String(".kxp"), Qt::CaseInsensitive);
}

// SIGTERM, SIGINT and SIGHUP reach the event loop through a pipe.
int g_signalPipe[2] = {-1, -1};

void OnCloseSignal(int)
{
    const int saved = errno;
    const char c = 1;
    [[maybe_unused]] ssize_t n = ::write(g_signalPipe[1], &c, 1);
    errno = saved;
}

} // namespace

// Copies every text of the output window to standard output as UTF-8, CR LF
// written as LF, flushed after each text.
class CStrandworkApp::UnattendedOutput : public core::OutputSink
{
public:
    core::OutputSink* target = nullptr;

    void AppendText(std::u16string_view text) override
    {
        if (target)
            target->AppendText(text);
        Echo(text);
    }
    void AppendTaggedLine(std::u16string_view lineText, std::u16string_view filePath, int lineNumber, int column,
                          std::u16string_view text1, std::u16string_view text2,
                          std::u16string_view message) override
    {
        if (target)
            target->AppendTaggedLine(lineText, filePath, lineNumber, column, text1, text2, message);
        Echo(lineText);
    }
    void ClearAll() override
    {
        if (target)
            target->ClearAll();
    }

private:
    static void Echo(std::u16string_view text)
    {
        std::string utf8 = sys::Utf16ToUtf8Lenient(text);
        std::string out;
        out.reserve(utf8.size());
        for (size_t i = 0; i < utf8.size(); ++i) {
            if (utf8[i] == '\r' && i + 1 < utf8.size() && utf8[i + 1] == '\n')
                continue;
            out += utf8[i];
        }
        std::fwrite(out.data(), 1, out.size(), stdout);
        std::fflush(stdout);
    }
};

CStrandworkApp::CStrandworkApp()
    : m_unattendedOutput(std::make_unique<UnattendedOutput>()), m_menuCommands(std::make_unique<CAppMenuCommands>(*this)),
      m_transferCommands(std::make_unique<CAppTransferCommands>(*this))
{
    g_theApp = this;
    SetProjectHost(this);
    MainFrameHost::Register(this);
    Documents().SetRecentFileHook([this](const QString& path) {
        if (m_pRecentFileList)
            m_pRecentFileList->Add(path);
    });
    MapCommandRange(ID_PROJECT_MRU_FIRST, ID_PROJECT_MRU_LAST, [this](uint32_t id) { OnOpenRecentProject(id); });
    MapUpdateRange(ID_PROJECT_MRU_FIRST, ID_PROJECT_MRU_LAST, [this](ui::CmdUI& cmd) {
        if (m_pRecentFileList)
            m_pRecentFileList->UpdateMenu(cmd);
        else
            cmd.Enable(false);
    });
    MapCommandRange(ID_FILE_MRU_FIRST, ID_FILE_MRU_LAST, [this](uint32_t id) { OnOpenRecentFile(id); });
    MapUpdateRange(ID_FILE_MRU_FIRST, ID_FILE_MRU_LAST, [this](ui::CmdUI& cmd) {
        if (m_pRecentFileList)
            m_pRecentFileList->UpdateMenu(cmd);
        else
            cmd.Enable(false);
    });
    MapCommand(ID_FILE_OPEN, [this] { OnFileOpen(); });
    MapCommand(ID_FILE_SAVE_ALL, [this] { SaveAll(); });
    // Save saves the active document (its own handler comes first on the
    // route); with no document window active it saves a modified project.
    MapCommand(ID_FILE_SAVE, [this] {
        if (CStrandworkDoc* project = ProjectToSave())
            project->DoFileSave();
    });
    MapUpdate(ID_FILE_SAVE, [this](ui::CmdUI& cmd) { cmd.Enable(ProjectToSave() != nullptr); });
    MapCommand(ID_PROJECT_NEW, [this] { OnProjectNew(); });
    MapCommand(ID_TOOLS_FILEMANAGER, [this] { OnFileManager(); });
    m_transferCommands->Map();
    MapCommand(ID_PROJECT_CLOSE, [this] { CloseProject(false); });
    MapCommand(ID_PROJECT_SETTINGS, [this] { OnProjectSettings(); });
    MapCommand(ID_APP_ABOUT, [this] { OnAppAbout(); });
    MapCommand(ID_HELP_TIPS, [this] { OnHelpTips(); });
    // The rest of the map and every update rule (AppMenuCommands.cpp).
    m_menuCommands->Map();
}

void CStrandworkApp::OnAppAbout()
{
    CAboutDlg about(GetMainWnd());
    about.DoModal();
}

void CStrandworkApp::OnHelpTips()
{
    CTipDlg tips(GetMainWnd());
    tips.DoModal();
}

CStrandworkApp::~CStrandworkApp()
{
    if (GetProjectHost() == this)
        SetProjectHost(nullptr);
    MainFrameHost::Unregister(this);
    if (m_unattended || m_endingOnSignal)
        ui::SetUnattended(false);
    delete GetMainWnd();
    if (g_theApp == this)
        g_theApp = nullptr;
}

CStrandworkApp* CStrandworkApp::Instance() { return g_theApp; }

void CStrandworkApp::OnProjectSettings()
{
    if (m_pProjectDoc)
        m_pProjectDoc->EditProjectSettings(GetMainWnd());
}

void CStrandworkApp::OnFileManager()
{
    if (m_pProjectDoc) {
        m_pProjectDoc->ShowFileManager();
        return;
    }
    QWidget* owner = GetMainWnd();
    auto fail = [owner](unsigned id) { ui::Prompt(LoadResString(id), {}, ui::MB_OK, owner); };
    COlnkLink link(linkui::WindowPoster());
    if (!link.Open(333, GetAppSettings().OlnkConnectionString.c_str(), 1000)) {
        fail(4170); // "Nepodařilo se vytvořit spojení"
        return;
    }
    static constexpr struct
    {
        uint16_t id;
        unsigned text;
    } kInterfaces[] = {{0, 4171}, {1, 4172}, {2, 4173}, {258, 4174}};
    for (const auto& i : kInterfaces) {
        if (!link.InitInterface(i.id)) {
            fail(i.text);
            link.Close();
            return;
        }
    }
    if (!link.Start()) {
        fail(4175); // "Nepodařilo se spustit komunikaci"
        link.Close();
        return;
    }
    {
        linkui::CFileManagerDlg dlg(static_cast<IOxfrC*>(link.Query(OLNK_IID_OXFRC)));
        dlg.DoModal();
    }
    link.Close();
}

int CStrandworkApp::CrashCallback() { return 1; }

// ------------------------------------------------------------------ start-up

bool CStrandworkApp::InitInstance()
{
    // 1. The profile lives in the registry store under "Software\ORNA\Strandwork".
    Trace("SetRegistryKey");
    // 2.
    const QString language = GetLongProfileString(QStringLiteral("Options"), QStringLiteral("Language"), {});
    Trace("ReadLanguage");
    // 3.
    m_hCrashReporter = crashreport::Install(&CrashCallback, kCrashAddress, kCrashTitle, language.toStdU16String());
    Trace("CrashReporter");
    // 4.
    LoadLanguageDll(ProgramPath());
    InstallToolkitTranslation();
    Trace("LoadLanguageDll");
    // 5.
    m_cmdInfo.Parse(m_ownArguments ? m_arguments : QCoreApplication::arguments().mid(1));
    if (m_cmdInfo.m_nShellCommand == CAppCommandLineInfo::FileNew)
        m_cmdInfo.m_nShellCommand = CAppCommandLineInfo::FileNothing;
    Trace("ParseCommandLine");
    if (m_cmdInfo.Build || m_cmdInfo.Make) {
        m_unattended = true;
        ui::SetUnattended(true);
        Trace("Unattended");
        // Only a project can be built: without one the run ends here with
        // status 3, instead of waiting for a window nobody may see.
        const QString file = m_cmdInfo.m_strFileName;
        if (m_cmdInfo.m_nShellCommand != CAppCommandLineInfo::FileOpen || file.isEmpty())
            return EndUnattendedWithoutProject(QStringLiteral("no project (.kxp) given"),
                                               LoadResString(IDS_UNATTENDED_NO_PROJECT));
        if (!IsProjectFileName(file))
            return EndUnattendedWithoutProject(QStringLiteral("\"%1\" is not a project (.kxp)").arg(file),
                                               FormatResString(IDS_UNATTENDED_NOT_PROJECT, file));
    }
    // 6.
    if (m_cmdInfo.m_nShellCommand == CAppCommandLineInfo::FileNothing && !m_unattended) {
        CSplashWnd splash(nullptr);
        splash.ShowSplash();
        Trace("Splash");
    }
    // 7.
    if (!AfxOleInit()) {
        ui::Prompt(QString::fromLatin1(kOleFailed), {}, ui::MB_OK | ui::MB_ICONERROR);
        return false;
    }
    Trace("OleInit");
    // 8.
    const QString folder = GetProgramFolder();
    if (folder.isEmpty())
        return false;
    m_helpPaths[0] = folder + QStringLiteral("PLC.hlp");
    m_helpPaths[1] = folder + QStringLiteral("StrojniKonstanty.hlp");
    m_helpPaths[2] = folder + QStringLiteral("SystemovaKonfigurace.hlp");
    Trace("HelpPaths");
    // 9.
    InitContextMenuManager();
    Trace("InitContextMenuManager");
    static const std::pair<unsigned, uint32_t> kMenus[] = {
        {IDS_CTXMENU_EDITOR_PLC, 1029}, {IDS_CTXMENU_EDITOR, 1031}, {IDS_CTXMENU_BIN_EDITOR, 1033},
        {IDS_CTXMENU_OUTPUT, 555},      {IDS_CTXMENU_EXPLORER, 543}, {IDS_CTXMENU_WATCH, 1027}};
    for (const auto& [name, menu] : kMenus) {
        GetContextMenuManager()->AddMenu(LoadResString(name), menu);
        Trace("AddMenu " + std::to_string(name) + "/" + std::to_string(menu));
    }
    InitKeyboardManager();
    Trace("InitKeyboardManager");
    // 10.
    LoadStdProfileSettings(10);
    Trace("LoadStdProfileSettings");
    // 11.
    LoadEditorSettings();
    // 12.
    SetEdtDefaultUnicode(false);
    Trace("SetEdtDefaultUnicode");
    // 13.
    CreateTemplates();
    // 14.
    auto* frame = new CMainFrame;
    SetMainWnd(frame);
    if (!frame->LoadFrame(1, 0x00CF8000)) {
        delete frame;
        return false;
    }
    for (int i = 0; i < Documents().TemplateCount(); ++i)
        Documents().Template(i)->SetMdiArea(frame->MdiArea());
    Trace("MainFrame");
    // 15. Dropped files are opened by the frame; the file types are
    // registered with the user's desktop (not by an unattended run).
    frame->setAcceptDrops(true);
    Trace("DragAcceptFiles");
    if (!m_unattended)
        RegisterFileTypes();
    // 16.
    if (!ProcessShellCommand()) {
        if (m_unattended)
            return EndUnattendedWithoutProject(
                QStringLiteral("the project \"%1\" could not be opened").arg(m_cmdInfo.m_strFileName),
                FormatResString(IDS_UNATTENDED_OPEN_FAILED, m_cmdInfo.m_strFileName));
        return false;
    }
    Trace("ProcessShellCommand");
    if (m_unattended && !m_pProjectDoc)
        return EndUnattendedWithoutProject(
            QStringLiteral("\"%1\" is not a project (.kxp)").arg(m_cmdInfo.m_strFileName),
            FormatResString(IDS_UNATTENDED_NOT_PROJECT, m_cmdInfo.m_strFileName));
    // 17.
    frame->show();
    Trace("ShowWindow");
    // What the window stands with once it has come up (bars, menus, keys,
    // as the settings gave them or by default) is this instance's start:
    // the same written at its end changes nothing another instance wrote.
    QTimer::singleShot(0, frame, [frame] { frame->WriteStartState(); });
    TellKeptChanges();
    TellSettingsProblem();
    // 18.
    if (m_cmdInfo.m_nShellCommand == CAppCommandLineInfo::FileNothing && !m_unattended) {
        CTipDlg tips(nullptr);
        if (tips.m_bStartup)
            tips.DoModal();
        Trace("Tips");
    }
    // 19, 20.
    RunStartupSwitches();
    // 21.
    return true;
}

void CStrandworkApp::RegisterFileTypes()
{
    const desktop::Outcome r = desktop::Register(QCoreApplication::applicationFilePath(), desktop::UserDataHome(),
                                                 desktop::SystemDataDirs());
    if (r.kind == desktop::Outcome::Failed) {
        if (core::OutputSink* out = GetOutputCtrl())
            out->AppendText(FormatResString(kDesktopRegistrationSkipped, r.path, r.error).toStdU16String());
        Trace("RegisterFileTypes skipped");
        return;
    }
    Trace("RegisterFileTypes");
}

void CStrandworkApp::LoadStdProfileSettings(int count)
{
    m_pRecentFileList = std::make_unique<CRecentProjectList>(0, QStringLiteral("Recent File List"),
                                                             QStringLiteral("File%d"), QStringLiteral("Project%d"),
                                                             count);
    m_pRecentFileList->ReadList();
    m_nPreviewPages = sys::Profile::GetInt(u"Settings", u"PreviewPages", 0);
}

void CStrandworkApp::LoadEditorSettings()
{
    EdtLoadSettings();
    Trace("EdtLoadSettings");
}

void CStrandworkApp::CreateTemplates()
{
    auto add = [this](int order, uint32_t id, ui::DocTemplate::DocFactory doc,
                      ui::DocTemplate::FrameFactory frame, ui::DocTemplate::ViewFactory view) {
        auto tmpl = std::make_unique<CKXMultiDocTemplate>(id, LoadResString(id), std::move(doc), std::move(frame),
                                                          std::move(view));
        m_templates[order] = tmpl.get();
        AddDocTemplate(std::move(tmpl));
        Trace("Template " + std::to_string(id));
    };
    add(0, 2, [] { return new CStructuredTextDoc; }, [] { return new CChildFrame; },
        [] { return new CStructuredTextView; });
    add(1, 3, [] { return new CBinDoc; }, [] { return new CBinChildFrame; }, [] { return new CBinView; });
    add(2, 4, [] { return new CStructuredTextDoc; }, [] { return new CChildFrame; },
        [] { return new CStructuredTextView; });
    add(3, 5, [] { return new CPLCDoc; }, [] { return new CChildFrame; }, [] { return new CPLCView; });
    // The header and PLC source frames start with the text frames' keys
    // (accel/2.accel); the keyboard manager replaces each template's table
    // on its own.
    for (int order : {2, 3}) {
        m_templates[order]->SetAccelTable(m_templates[0]->GetAccelTable());
        m_templates[order]->SetAccelResourceId(2);
    }
    // The project has no window of its own (no frame class; its form closes
    // any frame made for it); the project explorer in its bar shows it.
    add(4, 6, [] { return new CStrandworkDoc; }, nullptr, [] { return new CStrandworkView; });
    CProjectExplorerBar::SetViewClass([] { return new CKXPExplorerView; });
    // The workspace file's documents: text, PLC source, PLC header, binary.
    m_workspaceDocuments = std::make_unique<CAppWorkspaceDocuments>(
        std::array<ui::DocTemplate*, 4>{m_templates[0], m_templates[3], m_templates[2], m_templates[1]});
}

WorkspaceDocumentsPort* CStrandworkApp::GetWorkspaceDocumentsPort() { return m_workspaceDocuments.get(); }

bool CStrandworkApp::ProcessShellCommand()
{
    if (m_cmdInfo.m_nShellCommand != CAppCommandLineInfo::FileOpen)
        return true;
    return OpenDocumentFile(m_cmdInfo.m_strFileName) != nullptr;
}

bool CStrandworkApp::EndUnattendedWithoutProject(const QString& reason, const QString& message)
{
    WriteStderr(QStringLiteral("strandwork: -%1: %2: nothing built, ending with status %3")
                    .arg(m_cmdInfo.Build ? QStringLiteral("Build") : QStringLiteral("Make"), reason)
                    .arg(kExitInitFailed));
    Trace("UnattendedWithoutProject");
    if (!NoDisplay()) {
        // With a display the user sees why (the unattended prompt service
        // would only write it to standard error).
        ui::SetUnattended(false);
        ui::Prompt(message, {}, ui::MB_OK | ui::MB_ICONERROR);
        ui::SetUnattended(true);
    }
    return false;
}

void CStrandworkApp::RunStartupSwitches()
{
    if (!m_pProjectDoc)
        return;
    if (m_cmdInfo.CheckTarvaneVer) {
        Trace("CheckTarvaneVer");
        m_pProjectDoc->UpdateToNewestCompilerVersion();
    }
    if (m_cmdInfo.Build || m_cmdInfo.Make) {
        const bool conditional = !m_cmdInfo.Build;
        Trace(conditional ? "Make" : "Build");
        if (core::OutputSink* out = GetOutputCtrl())
            out->ClearAll();
        if (StartupBuild(conditional)) {
            PostCloseMainWindow();
        } else {
            m_startupBuildFailed = true;
            if (NoDisplay()) {
                // Nobody can see the window or close it: the messages went
                // to standard output, and the run ends now with status 1.
                std::fputs("strandwork: the build failed and there is no display to show it: ending\n", stderr);
                std::fflush(stderr);
                Trace("EndWithoutDisplay");
                PostCloseMainWindow();
            }
        }
    }
}

bool CStrandworkApp::StartupBuild(bool conditional)
{
    if (!m_pProjectDoc)
        return false;
    return conditional ? m_pProjectDoc->BuildIfNeeded() : m_pProjectDoc->BuildPlc();
}

void CStrandworkApp::PostCloseMainWindow()
{
    if (QWidget* w = GetMainWnd())
        QMetaObject::invokeMethod(w, "close", Qt::QueuedConnection);
}

void CStrandworkApp::InstallCloseOnSignal()
{
    if (g_signalPipe[0] >= 0)
        return;
    if (::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [] {
        char buf[16];
        while (::read(g_signalPipe[0], buf, sizeof buf) > 0) {
        }
        if (CStrandworkApp* app = CStrandworkApp::Instance())
            app->EndOnSignal();
        else
            ui::Application::EndEventLoop(0);
    });
    struct sigaction sa{};
    sa.sa_handler = OnCloseSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    // A hang-up (the terminal that started the program was closed) ends
    // the program as a terminate does: without a handler it would end at
    // once, and the settings and the workspace of the session were lost.
    // A signal the program was started with ignored (nohup ignores the
    // hang-up, a shell the interrupt of a program it started in the
    // background) stays ignored: only what would end the program gets the
    // orderly end.
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
        struct sigaction inherited{};
        if (::sigaction(sig, nullptr, &inherited) == 0 && inherited.sa_handler == SIG_IGN)
            continue;
        ::sigaction(sig, &sa, nullptr);
    }
}

namespace {
// Rejects the open modal windows (a message, the tip of the day, a
// transfer's progress): each would keep its own loop running.
void RejectModalWindows()
{
    for (int i = 0; i < 32; ++i) {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal)
            break;
        if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->reject();
        else
            modal->close();
        if (QApplication::activeModalWidget() == modal)
            modal->hide();
    }
}
} // namespace

void CStrandworkApp::KeepUnsavedChanges()
{
    std::vector<ui::Document*> modified;
    for (ui::Document* d : Documents().Documents()) {
        // A document that its template is still reading (its error may be
        // on the screen) holds nothing of the user's.
        if (!d->IsModified() || d->Opening())
            continue;
        if (auto* project = qobject_cast<CStrandworkDoc*>(d); project && !project->IsOpened())
            continue;
        modified.push_back(d);
    }
    for (const QString& line : recovery::KeepUnsaved(recovery::StateFolder(), modified).lines)
        WriteStderr(line);
}

void CStrandworkApp::TellKeptChanges()
{
    const QString state = recovery::StateFolder();
    if (m_unattended) {
        // The list stays for the next start with a window.
        if (const QStringList folders = recovery::Untold(state); !folders.isEmpty())
            WriteStderr(QStringLiteral("strandwork: ") + recovery::TellText(folders, true, state));
        return;
    }
    // Said once: forgotten before it shows (a signal may end the program
    // while it does).
    const QStringList folders = recovery::TakeUntold(state);
    if (folders.isEmpty())
        return;
    ui::Prompt(recovery::TellText(folders, false, state), {}, ui::MB_OK | ui::MB_ICONINFORMATION, GetMainWnd());
}

void CStrandworkApp::TellSettingsProblem()
{
    const std::optional<sys::RegistryStore::LoadProblem> problem = sys::RegistryStore::TakeLoadProblem();
    // An unattended run has it on standard error already.
    if (!problem || m_unattended)
        return;
    const QString file = ui::ShownLocalPath(ui::LocalPathOfNative(problem->file));
    const QString cause = QString::fromStdString(problem->cause);
    const QString text =
        problem->keptAs.empty()
            ? FormatResString(IDS_SETTINGS_UNREAD, file, cause)
            : FormatResString(IDS_SETTINGS_KEPT, file, cause, ui::ShownLocalPath(ui::LocalPathOfNative(problem->keptAs)));
    ui::Prompt(text, {}, ui::MB_OK | ui::MB_ICONWARNING, GetMainWnd());
}

void CStrandworkApp::EndOnSignal()
{
    const bool first = !m_endingOnSignal;
    m_endingOnSignal = true;
    if (first) {
        // Whatever still runs then (a handler that blocks, a loop that
        // never ends, a copy that hangs on its folder), the process ends
        // within the time a script gives it.  The time is ample for a close
        // on a machine busy with other work, where 1.5 s cut it short while
        // it was still under way.
        std::thread([] {
            std::this_thread::sleep_for(std::chrono::milliseconds(kSignalLimitMs));
            (void)sys::RegistryStore::Flush();
            std::fputs("strandwork: still busy after the signal: ending now\n", stderr);
            std::_Exit(CStrandworkApp::Instance() && CStrandworkApp::Instance()->StartupBuildFailed()
                           ? kExitBuildFailed
                           : 0);
        }).detach();
        // Nobody may be there to answer a question: what the user typed is
        // kept in copies before anything closes, the originals as they are.
        KeepUnsavedChanges();
    }
    // From now on no message box waits for an answer: whatever still has
    // something to say (a file that cannot be written) says it on standard
    // error.
    ui::SetUnattended(true);
    RejectModalWindows();
    if (m_pProjectDoc && m_pProjectDoc->IsBuilding())
        m_pProjectDoc->RequestBuildStop();
    if (!first)
        return;
    // The settings and the workspace file are written now, whatever runs at
    // this moment (during a build the close writes the workspace file once
    // the build has stopped).
    if (CMainFrame* frame = MainFrame(); frame && !MainWindowClosed())
        frame->SaveWindowState();
    if (m_pRecentFileList)
        m_pRecentFileList->WriteList();
    if (m_pProjectDoc && !m_pProjectDoc->IsBuilding()) {
        m_pProjectDoc->SaveWorkspace();
        m_workspaceSavedOnSignal = true;
    }
    (void)sys::RegistryStore::Flush();
    FinishEndOnSignal();
}

void CStrandworkApp::FinishEndOnSignal()
{
    // Loops that run inside handlers (a modal window, a build, a transfer
    // waiting for its reply) end first: the windows and documents they use
    // stay until then.
    if (ui::NestingDepth() > 0 || QApplication::activeModalWidget()) {
        RejectModalWindows();
        QTimer::singleShot(20, this, [this] { FinishEndOnSignal(); });
        return;
    }
    QWidget* frame = GetMainWnd();
    if (frame && !MainWindowClosed() && frame->close())
        return; // the close ended the loop
    // No main window, or one that could not close: the program ends all
    // the same (its settings were written when the signal came).
    OnMainWindowClosed();
}

// ---------------------------------------------------------------------- exit

int CStrandworkApp::ExitInstance()
{
    if (m_bResetWorkspace) {
        sys::HKEY app = nullptr;
        if (sys::RegOpenKeyEx(sys::HKEY_CURRENT_USER, sys::Profile::AppKeyPath(), sys::KEY_ALL_ACCESS, &app) ==
            sys::ERROR_SUCCESS) {
            sys::RegDeleteTree(app, u"KVTWorkspace");
            sys::RegCloseKey(app);
        }
    }
    if (m_pRecentFileList)
        m_pRecentFileList->WriteList();
    const int result = ui::Application::ExitInstance();
    // A write that fails here leaves the store changed; the store writes it
    // once more when the process exits.
    (void)sys::RegistryStore::Flush();
    return result;
}

bool CStrandworkApp::OnIdle(long count) { return ui::Application::OnIdle(count); }

// ----------------------------------------------------------- the project

bool CStrandworkApp::SetProjectDoc(CStrandworkDoc* doc)
{
    if (m_pProjectDoc || !doc)
        return false;
    m_pProjectDoc = doc;
    CMainFrame* frame = MainFrame();
    if (frame && !frame->AttachProject(doc)) {
        frame->DetachProject();
        m_pProjectDoc = nullptr;
        return false;
    }
    return true;
}

bool CStrandworkApp::ClearProjectDoc()
{
    if (!m_pProjectDoc)
        return false;
    if (CMainFrame* frame = MainFrame())
        frame->DetachProject();
    m_pProjectDoc = nullptr;
    return true;
}

CStrandworkDoc* CStrandworkApp::ProjectToSave() const
{
    // A view on the route (a document window, or the project explorer)
    // decides through its document; a document without a save handler of
    // its own is not saved by saving the project instead.
    if (ui::FocusedView() || !m_pProjectDoc || !m_pProjectDoc->IsModified())
        return nullptr;
    return m_pProjectDoc;
}

bool CStrandworkApp::SaveAll()
{
    bool all = true;
    static const int kOrder[] = {4, 3, 2, 1, 0};
    for (int order : kOrder) {
        CKXMultiDocTemplate* t = m_templates[order];
        if (!t)
            continue;
        const std::vector<ui::Document*> docs = t->Documents();
        for (ui::Document* d : docs) {
            if (!d->IsModified())
                continue;
            if (!d->DoFileSave()) {
                ui::Prompt(FormatResString(IDS_SAVE_FAILED, d->GetPathName()), {}, ui::MB_OK | ui::MB_ICONERROR);
                all = false;
            }
        }
    }
    return all;
}

bool CStrandworkApp::CloseProject(bool ending)
{
    if (m_endingOnSignal) {
        // A signal ends the program: no question and no document saved,
        // loose or in the project (each stays as it is on disk, the project
        // file too); the project's workspace file is written as a normal
        // close writes it.  A build is asked to stop first.
        if (m_pProjectDoc && m_pProjectDoc->IsBuilding()) {
            m_pProjectDoc->RequestBuildStop();
            return false;
        }
        if (m_pProjectDoc && !m_workspaceSavedOnSignal)
            m_pProjectDoc->SaveWorkspace();
        for (ui::Document* d : Documents().Documents())
            d->SetModifiedFlag(false);
        if (!m_pProjectDoc)
            return true; // the frame's close closes the documents
    } else if (!m_pProjectDoc) {
        return true;
    } else if (m_pProjectDoc->IsBuilding()) {
        ui::Prompt(LoadResString(ending ? IDS_CANNOT_END_BUILDING : IDS_CANNOT_CLOSE_BUILDING), {},
                   ui::MB_OK | ui::MB_ICONWARNING, GetMainWnd());
        return false;
    } else if (m_unattended) {
        // Nothing stops the close of an unattended run: a failed save is
        // written to standard error and the document is closed as it is on
        // disk (otherwise the framework's save question would fail again
        // and keep the program open for ever).
        auto giveUp = [](ui::Document* d) {
            WriteStderr(FormatResString(IDS_SAVE_FAILED, d->GetPathName()));
            d->SetModifiedFlag(false);
        };
        if (!SaveProjectOnClose())
            giveUp(m_pProjectDoc);
        for (ui::Document* d : Documents().Documents())
            if (!d->SaveModified())
                giveUp(d);
    } else if (!SaveProjectOnClose() || !Documents().SaveAllModified()) {
        return false;
    }
    // Every modified document was saved or its edits given up just now:
    // close them all without asking a second time.
    for (ui::Document* d : Documents().Documents()) {
        const std::vector<ui::Document*> now = Documents().Documents();
        if (std::find(now.begin(), now.end(), d) != now.end())
            d->OnCloseDocument();
    }
    if (core::OutputSink* out = GetOutputCtrl())
        out->ClearAll();
    return true;
}

bool CStrandworkApp::SaveProjectOnClose()
{
    if (m_pProjectDoc->IsModified() || m_pProjectDoc->Data().FormatVersion < 5)
        return m_pProjectDoc->DoFileSave();
    // Nothing of the project changed: the project file stays as it is on
    // disk, and only the workspace file records what is open.  A project
    // on a folder that cannot be written closes without asking for another
    // name; a workspace file that cannot be written is reported (the file
    // and the cause) and does not hold the close.
    m_pProjectDoc->SaveWorkspace();
    return true;
}

void CStrandworkApp::UpdatePlcViews(ui::View* sender, long hint, QObject* object)
{
    CKXMultiDocTemplate* plc = m_templates[3];
    if (!plc)
        return;
    const std::vector<ui::Document*> docs = plc->Documents();
    for (ui::Document* d : docs)
        for (ui::View* v : d->Views())
            if (auto* pv = qobject_cast<CPLCView*>(v))
                pv->OnProjectUpdate(sender, hint, object);
}

bool CStrandworkApp::ShowPlcSourceLine(const QString& path, int line)
{
    ui::Document* doc = nullptr;
    if (CKXMultiDocTemplate* plc = m_templates[3]) {
        const QString wanted = ui::AbsoluteLocalPath(path);
        for (ui::Document* d : plc->Documents())
            if (!d->GetPathName().isEmpty() && ui::AbsoluteLocalPath(d->GetPathName()) == wanted) {
                doc = d;
                break;
            }
    }
    if (!doc)
        doc = OpenDocumentFile(path);
    if (!doc) {
        ui::Prompt(FormatResString(IDS_FILE_OPEN_FAILED, ui::ShownLocalPath(path)), {},
                   ui::MB_OK | ui::MB_ICONERROR, GetMainWnd());
        return false;
    }
    ui::View* view = nullptr;
    for (ui::View* v : doc->Views())
        if (auto* pv = qobject_cast<CPLCView*>(v); pv && pv->m_bActive) {
            view = v;
            break;
        }
    if (!view)
        view = doc->FirstView();
    auto* text = qobject_cast<CEdtTextView*>(view);
    if (!text)
        return true;
    text->GoToLine(line, false);
    if (ui::ChildFrame* frame = text->GetParentFrame()) {
        frame->SetActiveView(text);
        if (QMdiArea* area = frame->mdiArea())
            area->setActiveSubWindow(frame);
    }
    text->setFocus();
    return true;
}

QString CStrandworkApp::GetHelpPath(int index) { return index >= 0 && index < 3 ? m_helpPaths[index] : QString(); }

CMainFrame* CStrandworkApp::MainFrame() const { return qobject_cast<CMainFrame*>(GetMainWnd()); }

COutputCtrl* CStrandworkApp::OutputControl() const
{
    if (QThread::currentThread() != thread())
        return nullptr;
    CMainFrame* frame = MainFrame();
    return frame ? frame->GetOutputCtrl() : nullptr;
}

core::OutputSink* CStrandworkApp::GetOutputCtrl()
{
    COutputCtrl* ctrl = OutputControl();
    if (!ctrl)
        return nullptr;
    if (m_unattended) {
        m_unattendedOutput->target = ctrl;
        return m_unattendedOutput.get();
    }
    return ctrl;
}

const core::AppSettings& CStrandworkApp::GetAppSettings()
{
    if (CMainFrame* frame = MainFrame())
        return frame->Settings();
    static const core::AppSettings empty;
    return empty;
}

QString CStrandworkApp::GetProgramFolder()
{
    QString dir = QCoreApplication::applicationDirPath();
    if (dir.isEmpty())
        return dir;
    if (!dir.endsWith(QLatin1Char('/')))
        dir += QLatin1Char('/');
    return dir;
}

// ------------------------------------------------------------ the profile

QString CStrandworkApp::GetLongProfileString(const QString& section, const QString& entry,
                                             const QString& defaultValue)
{
    sys::HKEY key = nullptr;
    const std::u16string path = sys::Profile::AppKeyPath() + u"\\" + section.toStdU16String();
    if (sys::RegOpenKeyEx(sys::HKEY_CURRENT_USER, path, sys::KEY_READ, &key) != sys::ERROR_SUCCESS)
        return defaultValue;
    const std::u16string name = entry.toStdU16String();
    uint32_t type = 0, size = 0;
    QString result = defaultValue;
    if (sys::RegQueryValueEx(key, name, &type, nullptr, &size) == sys::ERROR_SUCCESS &&
        (type == sys::REG_SZ || type == sys::REG_EXPAND_SZ)) {
        std::u16string buf(size / 2 + 1, u'\0');
        if (sys::RegQueryValueEx(key, name, &type, buf.data(), &size) == sys::ERROR_SUCCESS) {
            buf.resize(size / 2);
            while (!buf.empty() && buf.back() == u'\0')
                buf.pop_back();
            result = QString::fromStdU16String(buf);
        }
    }
    sys::RegCloseKey(key);
    return result;
}

QString CStrandworkApp::LanguageFileName(const QString& programPath, const QString& code)
{
    const qsizetype slash = programPath.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = programPath.lastIndexOf(QLatin1Char('.'));
    const QString stem = dot > slash + 1 ? programPath.left(dot) : programPath;
    return stem + code + QStringLiteral(".rcc");
}

QString CStrandworkApp::ProgramPath() const
{
    return m_programPath.isEmpty() ? QCoreApplication::applicationFilePath() : m_programPath;
}

bool CStrandworkApp::HasLanguageFile(const QString& code) const
{
    return QFileInfo(LanguageFileName(ProgramPath(), code)).isFile();
}

bool CStrandworkApp::LoadLanguageDll(const QString& programPath)
{
    auto load = [&](const QString& code) {
        const QFileInfo file(LanguageFileName(programPath, code));
        if (!file.isFile())
            return false;
        const QString name = file.fileName();
        return res::LoadLanguage(file.absolutePath(), name.left(name.size() - code.size() - 4), code);
    };
    const QString value = GetLongProfileString(QStringLiteral("Options"), QStringLiteral("Language"),
                                               QStringLiteral("Default"));
    if (value.size() == 3 && load(value))
        return true;
    // The fallback search: the language of the locale.
    QString locale;
    for (const char* var : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const QByteArray v = qgetenv(var);
        if (!v.isEmpty()) {
            locale = QString::fromLocal8Bit(v);
            break;
        }
    }
    const qsizetype cut = locale.indexOf(QRegularExpression(QStringLiteral("[_.@]")));
    const QString lang = cut >= 0 ? locale.left(cut) : locale;
    QString code;
    if (lang == QLatin1String("cs"))
        code = QStringLiteral("CSY");
    else if (lang == QLatin1String("en"))
        code = QStringLiteral("ENU");
    return !code.isEmpty() && load(code);
}

bool CStrandworkApp::InstallToolkitTranslation()
{
    // The resources name their own language ("cs" built in; a language
    // file gives its own).
    static QTranslator* installed = nullptr;
    const QString lang = LoadResString(IDS_TOOLKIT_LANGUAGE).trimmed();
    if (installed) {
        QCoreApplication::removeTranslator(installed);
        delete installed;
        installed = nullptr;
    }
    if (lang.isEmpty())
        return false;
    // Every widget made from now on (file dialogs, spin boxes, the type
    // names of files) speaks the language of the interface, whatever the
    // environment's locale is.
    QLocale::setDefault(QLocale(lang));
    auto* translator = new QTranslator;
    if (!translator->load(QStringLiteral("qtbase_") + lang, QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(translator);
    installed = translator;
    return true;
}

// -------------------------------------------------------- opening files

ui::Document* CStrandworkApp::OpenDocumentFile(const QString& path)
{
    return Documents().OpenDocumentFile(path);
}

ui::Document* CStrandworkApp::OpenDocumentWithTemplate(const QString& path, int templateIndex)
{
    QString p = path;
    if (p.startsWith(QLatin1Char('"'))) {
        p.remove(0, 1);
        const qsizetype close = p.indexOf(QLatin1Char('"'));
        if (close >= 0)
            p.truncate(close);
    }
    if (p.isEmpty())
        return nullptr;
    p = ui::AbsoluteLocalPath(p);
    ui::DocManager& docs = Documents();
    // A document that is open already is never opened a second time,
    // whatever template is asked for.
    for (int i = 0; i < docs.TemplateCount(); ++i) {
        ui::Document* open = nullptr;
        if (docs.Template(i)->MatchDocType(p, open) == ui::DocTemplate::yesAlreadyOpen && open) {
            if (ui::View* v = open->FirstView())
                if (ui::ChildFrame* f = v->GetParentFrame())
                    if (QMdiArea* area = f->mdiArea())
                        area->setActiveSubWindow(f);
            if (QWidget* w = GetMainWnd())
                w->activateWindow();
            return open;
        }
    }
    ui::DocTemplate* chosen = nullptr;
    if (templateIndex >= 0) {
        chosen = docs.Template(templateIndex);
    } else {
        auto best = ui::DocTemplate::noAttempt;
        for (int i = 0; i < docs.TemplateCount(); ++i) {
            ui::Document* open = nullptr;
            const auto conf = docs.Template(i)->MatchDocType(p, open);
            if (conf > best) {
                best = conf;
                chosen = docs.Template(i);
            }
        }
    }
    if (!chosen) {
        ui::Prompt(ui::FrameworkText(ui::IDS_FAILED_TO_OPEN), {}, ui::MB_OK | ui::MB_ICONEXCLAMATION);
        return nullptr;
    }
    return chosen->OpenDocumentFile(p, true);
}

// ------------------------------------------------------- recent lists

void CStrandworkApp::OnProjectNew()
{
    if (CKXMultiDocTemplate* project = m_templates[4])
        project->OpenDocumentFile(QString(), true, true);
}

bool CStrandworkApp::OnOpenRecentProject(uint32_t id)
{
    if (!m_pRecentFileList)
        return false;
    const int index = int(id - ID_PROJECT_MRU_FIRST);
    if (index < 0 || index >= m_pRecentFileList->GetSize())
        return false;
    const QString path = m_pRecentFileList->Projects()[index];
    if (path.isEmpty())
        return false;
    if (!ui::IsLocalFile(path)) {
        ui::Prompt(FormatResString(IDS_PROJECT_MISSING, ui::ShownLocalPath(path)), {}, ui::MB_OK | ui::MB_ICONERROR, GetMainWnd());
        m_pRecentFileList->RemoveByPath(path, true);
        return false;
    }
    if (!OpenDocumentFile(path))
        m_pRecentFileList->RemoveByPath(path, true);
    return true;
}

bool CStrandworkApp::OnOpenRecentFile(uint32_t id)
{
    if (!m_pRecentFileList)
        return false;
    const int index = int(id - ID_FILE_MRU_FIRST);
    if (index < 0 || index >= m_pRecentFileList->GetSize())
        return false;
    const QString path = m_pRecentFileList->Files()[index];
    if (path.isEmpty())
        return false;
    if (!OpenDocumentFile(path))
        m_pRecentFileList->RemoveByPath(path, false);
    return true;
}

// ----------------------------------------------------- free accessors

CStrandworkDoc* GetProjectDoc() { return g_theApp ? g_theApp->GetProjectDoc() : nullptr; }

const core::AppSettings* GetAppSettings() { return g_theApp ? &g_theApp->GetAppSettings() : nullptr; }

CFontColorPage* CStrandworkApp::GetFontColorPage() { return ::GetFontColorPage(); }

std::unique_ptr<PlcCommandDialog> CStrandworkApp::CreatePlcCommandDialog()
{
    return std::make_unique<CPlcCommandDialogPort>();
}

void CStrandworkApp::ShowConnectionError(CStrandworkDoc* doc)
{
    CMainFrame* frame = MainFrame();
    if (frame && doc && doc == m_pProjectDoc && frame->AttachedProject() == doc)
        frame->ShowConnectionError(true);
}
