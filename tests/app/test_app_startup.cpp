// Start-up order, the project pointer, opening documents, closing the
// project, the language file and the exit.

#include "AppTest.h"

#include "projectui/StrandworkDoc.h"
#include "mainwnd/MainFrame.h"
#include "mainwnd/OutputCtrl.h"
#include "plcviews/PLCDoc.h"
#include "platform/ui/StatusBar.h"
#include "res/CommandIds.h"
#include "res/StringTable.h"
#include "uilib/KVTMenuBar.h"
#include "uilib/KVTPopupMenu.h"
#include "tests/support/ui/CancelSaveAs.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>

#include <QDir>
#include <QFile>
#include <QLocale>

namespace {

std::vector<std::string> Expected(bool withFile)
{
    std::vector<std::string> t = {"SetRegistryKey", "ReadLanguage", "CrashReporter", "LoadLanguageDll",
                                  "ParseCommandLine"};
    if (!withFile)
        t.push_back("Splash");
    for (const char* s : {"OleInit", "HelpPaths", "InitContextMenuManager", "AddMenu 4140/1029", "AddMenu 4141/1031",
                          "AddMenu 4142/1033", "AddMenu 4143/555", "AddMenu 4144/543", "AddMenu 4145/1027",
                          "InitKeyboardManager", "LoadStdProfileSettings", "EdtLoadSettings", "SetEdtDefaultUnicode", "Template 2",
                          "Template 3", "Template 4", "Template 5", "Template 6", "MainFrame", "DragAcceptFiles", "RegisterFileTypes",
                          "ProcessShellCommand", "ShowWindow"})
        t.push_back(s);
    if (!withFile)
        t.push_back("Tips");
    return t;
}

TEST_F(AppTest, StartupOrderWithoutFile)
{
    ASSERT_TRUE(Start({}));
    EXPECT_EQ(core::StartupTrace(), Expected(false));
    // The six context menus were registered under their names.
    QStringList names;
    app->GetContextMenuManager()->GetMenuNames(names);
    ASSERT_EQ(names.size(), 6);
    EXPECT_EQ(names[0], QStringLiteral("Editor PLC"));
    EXPECT_EQ(names[5], QStringLiteral("Sledování proměnných"));
    EXPECT_EQ(app->GetContextMenuManager()->GetMenuByName(names[5]),
              app->GetContextMenuManager()->GetMenuById(1027));
    // A second creation of either manager is refused.
    EXPECT_FALSE(app->InitContextMenuManager());
    EXPECT_FALSE(app->InitKeyboardManager());
    // Help paths, templates, main frame and its options.
    EXPECT_EQ(app->HelpPath(1), app->GetProgramFolder() + QStringLiteral("StrojniKonstanty.hlp"));
    EXPECT_TRUE(app->GetProgramFolder().endsWith(QLatin1Char('/')));
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(app->Template(i)->ResourceId(), uint32_t(i + 2));
    ASSERT_NE(app->MainFrame(), nullptr);
    EXPECT_EQ(app->MainFrame()->windowTitle(), QStringLiteral("Strandwork"));
    EXPECT_EQ(app->GetAppSettings().OlnkConnectionString, u"P = Com1; B = 115200; W = 20;");
    EXPECT_EQ(app->GetAppSettings().PathBorlandBin, u"");
    EXPECT_EQ(app->GetAppSettings().Language, u"Default");
    EXPECT_TRUE(app->GetAppSettings().PathTarvane.ends_with(u"/Tarvane/"));
    EXPECT_NE(app->GetOutputCtrl(), nullptr);
    EXPECT_EQ(app->GetProjectDoc(), nullptr);
    // The main frame's font and colour registry, with the output window's
    // category.
    ASSERT_NE(app->GetFontColorPage(), nullptr);
    EXPECT_EQ(app->GetFontColorPage(), GetFontColorPage());
    EXPECT_NE(app->GetFontColorPage()->FindCategory(QStringLiteral("OutputWindow")), nullptr);
}

TEST_F(AppTest, StartupWithFileShowsNoSplashOrTips)
{
    dir.Write("a.txt", "Příliš\r\n");
    ASSERT_TRUE(Start({Q(dir / "a.txt")}));
    EXPECT_EQ(core::StartupTrace(), Expected(true));
    ASSERT_EQ(app->Template(0)->GetDocumentCount(), 1);
    EXPECT_EQ(app->MainFrame()->windowTitle(), QStringLiteral("Strandwork - a.txt"));
}

TEST_F(AppTest, MissingOrFolderProjectFailsStartup)
{
    ui::ScriptedPrompts prompts;
    EXPECT_FALSE(Start({QStringLiteral("-Build"), Q(dir / "missing.kxp")}));
    app.reset();
    ui::SetUnattended(false);
    EXPECT_FALSE(Start({Q(dir.Path() + "/")}));
    // The framework's message for each, and for the -Build run (with a
    // display) the reason why nothing was built.
    EXPECT_EQ(prompts.Asked().size(), 3u);
}

// A -Build or -Make run has nothing to build without a project: it ends
// its start-up (status 3) instead of becoming a run nobody may see; with a
// display the reason shows in a message box, without one only on standard
// error.
TEST_F(AppTest, SwitchesWithoutAProjectEndTheStartUp)
{
    dir.Write("notes.txt", "notes\r\n");
    const std::string kxp = WriteProject();
    const QString notes = Q(dir / "notes.txt"), plc = Q(dir / "Main.plc"), none = Q(dir / "none.kxp");
    struct Case
    {
        QStringList params;
        QString reason;
    };
    const Case cases[] = {
        {{QStringLiteral("-Build")}, LoadResString(IDS_UNATTENDED_NO_PROJECT)},
        {{QStringLiteral("-Build"), notes}, FormatResString(IDS_UNATTENDED_NOT_PROJECT, notes)},
        {{QStringLiteral("-Make"), plc}, FormatResString(IDS_UNATTENDED_NOT_PROJECT, plc)},
        {{QStringLiteral("-Build"), notes, Q(kxp)}, FormatResString(IDS_UNATTENDED_NOT_PROJECT, notes)},
        {{QStringLiteral("-Make"), none}, FormatResString(IDS_UNATTENDED_OPEN_FAILED, none)}};
    for (const Case& c : cases) {
        for (bool display : {true, false}) {
            SCOPED_TRACE(c.params.join(u' ').toStdString() + (display ? " with a display" : " without one"));
            core::ClearStartupTrace();
            ui::ScriptedPrompts prompts({ui::IDOK, ui::IDOK});
            app = std::make_unique<CStrandworkApp>();
            app->SetArguments(c.params);
            app->SetNoDisplay(!display);
            EXPECT_FALSE(app->InitInstance());
            const auto& t = core::StartupTrace();
            EXPECT_NE(std::find(t.begin(), t.end(), "UnattendedWithoutProject"), t.end());
            EXPECT_EQ(std::find(t.begin(), t.end(), "Tips"), t.end());
            EXPECT_EQ(app->GetProjectDoc(), nullptr);
            // The reason shows last (a project that cannot be opened also
            // has the framework's own message first).
            const bool shown = !prompts.Asked().empty() && prompts.Asked().back().text == c.reason;
            EXPECT_EQ(shown, display);
            app.reset();
            ui::SetUnattended(false);
        }
    }
}

TEST_F(AppTest, ProjectPointerAndClose)
{
    const std::string kxp = WriteProject();
    ASSERT_TRUE(Start({QStringLiteral("-Make"), Q(kxp)}));
    CStrandworkDoc* doc = app->GetProjectDoc();
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(app->MainFrame()->AttachedProject(), doc);
    EXPECT_TRUE(app->IsUnattended());
    const auto& t = core::StartupTrace();
    EXPECT_NE(std::find(t.begin(), t.end(), "Make"), t.end());

    // A second project is refused and the first kept.
    CStrandworkDoc other;
    EXPECT_FALSE(app->SetProjectDoc(&other));
    EXPECT_EQ(app->GetProjectDoc(), doc);

    // Closing during a build is refused with the matching message.
    ui::SetUnattended(false);
    {
        ui::ScriptedPrompts prompts;
        doc->SetBuilding(true);
        EXPECT_FALSE(app->CloseProject(false));
        EXPECT_FALSE(app->CloseProject(true));
        ASSERT_EQ(prompts.Asked().size(), 2u);
        EXPECT_EQ(prompts.Asked()[0].text, LoadResString(IDS_CANNOT_CLOSE_BUILDING));
        EXPECT_EQ(prompts.Asked()[1].text, LoadResString(IDS_CANNOT_END_BUILDING));
        doc->SetBuilding(false);
    }
    EXPECT_EQ(app->GetProjectDoc(), doc);

    // The output pane shows the text with its line ends.
    app->OutputControl()->ClearAll();
    app->GetOutputCtrl()->AppendText(u"Řádek\r\n");
    EXPECT_EQ(app->OutputControl()->Text(), QStringLiteral("Řádek\n"));

    EXPECT_TRUE(app->CloseProject(true));
    EXPECT_EQ(app->GetProjectDoc(), nullptr);
    EXPECT_EQ(app->MainFrame()->AttachedProject(), nullptr);
    EXPECT_TRUE(app->OutputControl()->Text().isEmpty());
    EXPECT_FALSE(app->ClearProjectDoc());
}

TEST_F(AppTest, OpenWithTemplateFindsOpenDocumentFirst)
{
    ASSERT_TRUE(Start({}));
    dir.Write("x.plc", "A\r\n");
    ui::Document* d = app->OpenDocumentWithTemplate(QStringLiteral("\"") + Q(dir / "x.plc") + "\"", -1);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(app->Template(3)->GetDocumentCount(), 1);
    // Forcing the text template does not open the same file a second time.
    EXPECT_EQ(app->OpenDocumentWithTemplate(Q(dir / "x.plc"), 0), d);
    EXPECT_EQ(app->Template(0)->GetDocumentCount(), 0);
    // A forced template opens a file that is not open.
    dir.Write("y.plc", "B\r\n");
    ui::Document* y = app->OpenDocumentWithTemplate(Q(dir / "y.plc"), 0);
    ASSERT_NE(y, nullptr);
    EXPECT_EQ(y->GetDocTemplate(), app->Template(0));
    // The project's hints reach every PLC view.
    app->UpdatePlcViews(nullptr, 10, nullptr);
    auto* view = qobject_cast<CPLCView*>(d->FirstView());
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->ProjectUpdates(), 1);
}

TEST_F(AppTest, ExitResetsOnlyTheWorkspaceAndWritesTheLists)
{
    sys::Profile::WriteString(u"KVTWorkspace\\Toolbars", u"Bar1", u"x");
    sys::Profile::WriteString(u"Options", u"Language", u"ENU");
    ASSERT_TRUE(Start({}));
    app->RecentList()->Add(Q(dir / "p.kxp"));
    app->RecentList()->Add(Q(dir / "f.txt"));
    app->SetResetWorkspace(true);
    app->ExitInstance();
    sys::HKEY key = nullptr;
    EXPECT_NE(sys::RegOpenKeyEx(sys::HKEY_CURRENT_USER, sys::Profile::AppKeyPath() + u"\\KVTWorkspace",
                                sys::KEY_READ, &key),
              sys::ERROR_SUCCESS);
    EXPECT_EQ(sys::Profile::GetString(u"Options", u"Language"), u"ENU");
    EXPECT_EQ(sys::Profile::GetString(u"Recent File List", u"Project1"), Q(dir / "p.kxp").toStdU16String());
    EXPECT_EQ(sys::Profile::GetString(u"Recent File List", u"File1"), Q(dir / "f.txt").toStdU16String());
    // The store reached its file.
    QFile reg(QString::fromStdString(sys::RegistryStore::FilePath()));
    ASSERT_TRUE(reg.open(QIODevice::ReadOnly));
    const QByteArray bytes = reg.readAll();
    const QString text = QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData()), bytes.size() / 2);
    EXPECT_TRUE(text.contains(QStringLiteral("\"Project1\"")));
    EXPECT_FALSE(text.contains(QStringLiteral("KVTWorkspace")));
}

TEST_F(AppTest, ExitWithoutResetKeepsTheWorkspace)
{
    sys::Profile::WriteString(u"KVTWorkspace", u"Bar1", u"x");
    ASSERT_TRUE(Start({}));
    app->ExitInstance();
    EXPECT_EQ(sys::Profile::GetString(u"KVTWorkspace", u"Bar1"), u"x");
}

TEST_F(AppTest, LongProfileString)
{
    const std::u16string longValue(5000, u'a');
    sys::Profile::WriteString(u"Options", u"Long", longValue);
    CStrandworkApp a;
    EXPECT_EQ(a.GetLongProfileString("Options", "Long", "d").toStdU16String(), longValue);
    EXPECT_EQ(a.GetLongProfileString("Options", "Missing", "d"), QStringLiteral("d"));
    EXPECT_EQ(a.GetLongProfileString("NoSection", "Missing", "d"), QStringLiteral("d"));
}

// ------------------------------------------------------------ language

class LanguageTest : public AppTest
{
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        for (const char* v : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
            if (const char* old = std::getenv(v))
                saved.emplace_back(v, old);
            ::unsetenv(v);
        }
        ASSERT_TRUE(QFile::copy(QString::fromLocal8Bit(std::getenv("SW_TEST_CSY_RCC")), Q(dir / "ProgCSY.rcc")));
        builtin = LoadResString(4140);
    }
    void TearDown() override
    {
        for (const auto& [k, v] : saved)
            ::setenv(k.c_str(), v.c_str(), 1);
        AppTest::TearDown();
    }
    bool LoadWith(const char16_t* value)
    {
        res::UnloadLanguage();
        sys::Profile::WriteString(u"Options", u"Language", value);
        CStrandworkApp a;
        return a.LoadLanguageDll(Q(dir / "Prog"));
    }
    std::vector<std::pair<std::string, std::string>> saved;
    QString builtin;
};

TEST_F(LanguageTest, FileNameRule)
{
    EXPECT_EQ(CStrandworkApp::LanguageFileName("/x/Prog", "CSY"), QStringLiteral("/x/ProgCSY.rcc"));
    EXPECT_EQ(CStrandworkApp::LanguageFileName("/x/Prog.exe", "CSY"), QStringLiteral("/x/ProgCSY.rcc"));
    EXPECT_EQ(CStrandworkApp::LanguageFileName("/x.d/Prog", "ENU"), QStringLiteral("/x.d/ProgENU.rcc"));
    EXPECT_EQ(CStrandworkApp::LanguageFileName("/x/.hidden", "ENU"), QStringLiteral("/x/.hiddenENU.rcc"));
}

TEST_F(LanguageTest, ThreeLetterCodeLoadsItsFile)
{
    EXPECT_EQ(builtin, QStringLiteral("Editor PLC"));
    EXPECT_TRUE(LoadWith(u"CSY"));
    EXPECT_EQ(LoadResString(4140), QStringLiteral("PLC editor (test language)"));
    // Ids the file lacks keep their built-in texts.
    EXPECT_EQ(LoadResString(4141), QStringLiteral("Editor"));
}

TEST_F(LanguageTest, QtsOwnTextsFollowTheResources)
{
    auto cancel = [] { return QCoreApplication::translate("QPlatformTheme", "Cancel"); };
    ASSERT_TRUE(CStrandworkApp::InstallToolkitTranslation());
    EXPECT_EQ(cancel(), QStringLiteral("Zrušit"));
    // The default locale follows too, whatever the environment says.
    EXPECT_EQ(QLocale().language(), QLocale::Czech);
    EXPECT_EQ(QLocale().territory(), QLocale::Czechia);
    // The test language file says its texts are English.
    EXPECT_TRUE(LoadWith(u"CSY"));
    CStrandworkApp::InstallToolkitTranslation();
    EXPECT_EQ(cancel(), QStringLiteral("Cancel"));
    EXPECT_EQ(QLocale().language(), QLocale::English);
    res::UnloadLanguage();
    CStrandworkApp::InstallToolkitTranslation();
}

TEST_F(LanguageTest, OtherValuesKeepTheBuiltins)
{
    for (const char16_t* v : {u"Default", u"CS", u"CSYX", u"ENU", u""}) {
        EXPECT_FALSE(LoadWith(v));
        EXPECT_EQ(LoadResString(4140), builtin);
    }
}

TEST_F(LanguageTest, LocaleFallback)
{
    ::setenv("LANG", "cs_CZ.UTF-8", 1);
    EXPECT_TRUE(LoadWith(u"Default"));
    EXPECT_EQ(LoadResString(4140), QStringLiteral("PLC editor (test language)"));
    // LC_ALL wins over LANG; "de" is not mapped.
    ::setenv("LC_ALL", "de_DE", 1);
    EXPECT_FALSE(LoadWith(u"Default"));
    ::setenv("LC_ALL", "cs@euro", 1);
    EXPECT_TRUE(LoadWith(u"XY"));
}

} // namespace

namespace {

// A main frame whose bars refuse the project.
class RefusingFrame : public CMainFrame
{
public:
    bool AttachProject(CStrandworkDoc*) override { return false; }
    bool DetachProject() override
    {
        ++detaches;
        return false;
    }
    int detaches = 0;
};

TEST_F(AppTest, RefusedAttachLeavesNoProject)
{
    app = std::make_unique<CStrandworkApp>();
    auto* frame = new RefusingFrame;
    app->SetMainWnd(frame);
    CStrandworkDoc doc;
    EXPECT_FALSE(app->SetProjectDoc(&doc));
    EXPECT_EQ(app->GetProjectDoc(), nullptr);
    EXPECT_EQ(frame->detaches, 1);
}

TEST_F(AppTest, ClearForgetsTheProjectWhateverTheFrameSays)
{
    app = std::make_unique<CStrandworkApp>();
    CStrandworkDoc doc;
    ASSERT_TRUE(app->SetProjectDoc(&doc)); // no main frame: nothing refuses
    auto* frame = new RefusingFrame;
    app->SetMainWnd(frame);
    EXPECT_TRUE(app->ClearProjectDoc());
    EXPECT_EQ(app->GetProjectDoc(), nullptr);
    EXPECT_EQ(frame->detaches, 1);
}

} // namespace

namespace {

// An unattended run never stops at a failed save while it closes: the
// failure goes to standard error and the project closes.
TEST_F(AppTest, UnattendedCloseGoesOnAfterAFailedSave)
{
    const std::string kxp = WriteProject();
    ASSERT_TRUE(Start({QStringLiteral("-Make"), Q(kxp)}));
    CStrandworkDoc* doc = app->GetProjectDoc();
    ASSERT_NE(doc, nullptr);
    ASSERT_TRUE(app->IsUnattended());
    doc->SetModifiedFlag(true);
    // The project's folder goes: no save can succeed.
    ASSERT_TRUE(QDir(QString::fromStdString(dir.Path())).removeRecursively());
    ::testing::internal::CaptureStderr();
    const bool closed = app->CloseProject(true);
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_TRUE(closed);
    EXPECT_EQ(app->GetProjectDoc(), nullptr);
    EXPECT_NE(err.find(FormatResString(IDS_SAVE_FAILED, Q(kxp)).toStdString()), std::string::npos) << err;
}

// Save all: a document that cannot be written gets message 4152 with its
// path, and the command reports the failure.
TEST_F(AppTest, SaveAllNamesTheFileThatCouldNotBeSaved)
{
    const std::string kxp = WriteProject();
    ui::ScriptedPrompts prompts; // the project opens without its workspace file
    ASSERT_TRUE(Start({Q(kxp)}));
    CStrandworkDoc* doc = app->GetProjectDoc();
    ASSERT_NE(doc, nullptr);
    const size_t before = prompts.Asked().size();
    EXPECT_TRUE(app->SaveAll()); // nothing modified: nothing asked
    EXPECT_EQ(prompts.Asked().size(), before);
    doc->SetModifiedFlag(true);
    ASSERT_TRUE(QDir(QString::fromStdString(dir.Path())).removeRecursively());
    testsupport::ui::CancelSaveAs saveAs; // another place is offered, and cancelled
    EXPECT_FALSE(app->SaveAll());
    EXPECT_EQ(saveAs.Count(), 1);
    ASSERT_FALSE(prompts.Asked().empty());
    EXPECT_EQ(prompts.Asked().back().text, FormatResString(IDS_SAVE_FAILED, Q(kxp)));
    EXPECT_TRUE(doc->IsModified());
}

} // namespace

TEST_F(AppTest, OutputCommandsThroughTheRoute)
{
    dir.Write("a.txt", "one\r\ntwo\r\nthree\r\n");
    ASSERT_TRUE(Start({}));
    COutputCtrl* out = app->OutputControl();
    ASSERT_NE(out, nullptr);
    ui::CmdUI next(ID_NEXT_ERROR);
    ui::UpdateCommandUI(next);
    EXPECT_FALSE(next.Enabled()); // no tags yet
    ui::CmdUI clear(ID_CLEAR_OUTPUT);
    ui::UpdateCommandUI(clear);
    EXPECT_TRUE(clear.Enabled());

    const std::u16string path = Q(dir / "a.txt").toStdU16String();
    out->AppendTaggedLine(u"a.txt(2) : error\r\n", path, 2, 1, u"", u"", u"M1");
    out->AppendTaggedLine(u"a.txt(3) : error\r\n", path, 3, 2, u"", u"", u"M2");
    EXPECT_TRUE(ui::SendCommand(ID_NEXT_ERROR));
    EXPECT_EQ(out->CurrentTag(), 0);
    EXPECT_EQ(app->Template(0)->GetDocumentCount(), 1);
    ASSERT_NE(app->MainFrame()->GetStatusBar(), nullptr);
    EXPECT_EQ(app->MainFrame()->GetStatusBar()->MessageText(), QStringLiteral("M1"));
    EXPECT_TRUE(ui::SendCommand(ID_PREV_ERROR)); // wraps to the last
    EXPECT_EQ(out->CurrentTag(), 1);
    EXPECT_EQ(app->MainFrame()->GetStatusBar()->MessageText(), QStringLiteral("M2"));
    EXPECT_TRUE(ui::SendCommand(ID_CLEAR_OUTPUT));
    EXPECT_EQ(out->Text(), QString());
    EXPECT_FALSE(out->HasTags());

    // A category registered after the settings were loaded joins current;
    // an apply then reaches the output window.  Deleting the frame with the
    // output window and an MDI child open leaves nothing behind.
    CFontColorPage* registry = app->GetFontColorPage();
    ASSERT_TRUE(registry->AddCategory(QStringLiteral("Late"), QStringLiteral("L"), QStringLiteral("Mono"), 9, 0, 1));
    ASSERT_NE(registry->FindCategory(QStringLiteral("Late")), nullptr);
    std::vector<FontColorCategory> edit = registry->Current();
    edit[0].size = 15;
    registry->ApplyEdit(edit);
    EXPECT_EQ(out->TextFormat().font().pointSize(), 15);
    app.reset();
    EXPECT_EQ(GetFontColorPage(), nullptr);
}

TEST_F(AppTest, TheMainFrameShowsTheLibraryMenuBarAndTheViewsTheirContextMenus)
{
    dir.Write("a.txt", "one\r\n");
    ASSERT_TRUE(Start({Q(dir / "a.txt")}));
    CMainFrame* frame = app->MainFrame();
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->findChild<QMenuBar*>(), nullptr);
    CKVTMenuBar* bar = frame->GetMenuBar();
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->GetDlgCtrlID(), 0xE806u);
    ASSERT_GE(bar->Items().Count(), 6);
    EXPECT_EQ(bar->GetButton(0)->m_text, QStringLiteral("&Soubor"));
    ASSERT_NE(frame->GetMainToolBar()->Items().Customize(), nullptr);

    // Maximising the document window puts its buttons into the menu bar.
    ASSERT_EQ(frame->MdiArea()->subWindowList().size(), 1);
    auto* child = qobject_cast<ui::ChildFrame*>(frame->MdiArea()->subWindowList().front());
    ASSERT_NE(child, nullptr);
    frame->MdiArea()->setActiveSubWindow(child);
    child->showMaximized();
    QApplication::processEvents();
    EXPECT_TRUE(bar->IsMaximizeMode());
    EXPECT_EQ(bar->CaptionButtonCount(), 3);
    EXPECT_TRUE(child->windowFlags() & Qt::FramelessWindowHint);
    child->showNormal();
    QApplication::processEvents();
    EXPECT_FALSE(bar->IsMaximizeMode());
    EXPECT_FALSE(child->windowFlags() & Qt::FramelessWindowHint);

    // The text view's context menu from the context-menu key.
    ui::View* view = child->GetActiveView();
    ASSERT_NE(view, nullptr);
    QContextMenuEvent key(QContextMenuEvent::Keyboard, QPoint(0, 0), view->mapToGlobal(QPoint(0, 0)));
    QApplication::sendEvent(view, &key);
    CKVTPopupMenu* popup = CKVTPopupMenu::ActivePopup();
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(popup->pos(), view->mapToGlobal(QPoint(5, 5)));
    CKVTPopupMenuBar* items = popup->GetMenuBar();
    ASSERT_EQ(items->Items().Count(), 5);
    EXPECT_EQ(items->GetButton(0)->m_text, QStringLiteral("&Vyjmout"));
    EXPECT_EQ(items->GetButton(4)->m_text, QStringLiteral("Vybrat vš&e"));
    popup->CloseChain();
    QApplication::processEvents();
}
