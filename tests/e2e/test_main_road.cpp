// The main road through the running program: a new project from a
// template, a source added and edited, the build with the stand-in
// compiler, the connection and the PLC interface transfer to the simulator,
// debugging, and the same project built unattended by the program itself.
// Every step goes through the program's own commands, sent along the
// command route as the menu and the toolbars send them, and checks the
// state the user sees (documents, views, the output, the status bar) and
// the simulator's model and recorder.
#include "app/StrandworkApp.h"
#include "editor/view/EdtViewRenderer.h"
#include "editor/view/EdtViewScroller.h"
#include "projectui/NewProjectDlg.h"
#include "projectui/StrandworkDoc.h"
#include "link/linkobj/olnk_link.h"
#include "mainwnd/MainFrame.h"
#include "mainwnd/OutputCtrl.h"
#include "platform/sys/CodePage.h"
#include "platform/sys/Registry.h"
#include "platform/ui/Command.h"
#include "platform/ui/Dialog.h"
#include "platform/ui/Prompt.h"
#include "platform/ui/StatusBar.h"
#include "plcviews/PLCDoc.h"
#include "plcviews/PlcCommandDlg.h"
#include "link/ui/ConnectionErrorDlg.h"
#include "plcviews/WatchView.h"
#include "plcviews/InspectDlg.h"
#include "plcviews/MechanismsDlg.h"
#include "res/CommandIds.h"
#include "tests/plcviews/ModalSteps.h"
#include "mainwnd/AppBar.h"
#include "tests/support/link/LinkTestText.h"
#include "tests/support/platform/PtyPair.h"
#include "tests/support/platform/TempDir.h"
#include "tests/support/plcviews/DebugSetup.h"
#include "tests/support/ui/UiTest.h"
#include "tools/cssim/cssim.h"
#include "uilib/KVTMenuBar.h"
#include "uilib/KVTPopupMenu.h"

#include <QDir>
#include <QElapsedTimer>
#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QFileDialog>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

using namespace testsupport::ui;
namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<uint8_t>;

// Besides the commands named in StrandworkApp.h:

// The listing numbers every line through the build: Main.plc (5 lines)
// and Io.plc (2) of the template come before Osa.plc, whose fourth line
// "LOD Poloha" is the first with code; "INR" and "STO Poloha" follow.
// They are the program's only lines: the simulator's run mode adds 1 to
// variable i mod 3 (Vstup, Vystup, Poloha in map order) for its i-th line.
constexpr uint32_t kOsaFirstCode = 5 + 2 + 4;
constexpr uint32_t kOsaLastCode = kOsaFirstCode + 2;

const char kSuccess[] = "Tvorba PLC skončila bez chyb.";
const char kCurrent[] = "Na řídícím systému je aktuální verze PLC interfacu.";

std::string ReadFile(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

// Sends a command as a menu item or a toolbar button does: only when its
// update rule shows it enabled, along the command route.
::testing::AssertionResult Command(uint32_t id)
{
    ui::CmdUI state(id);
    ui::UpdateCommandUI(state);
    if (!state.Enabled())
        return ::testing::AssertionFailure() << "command " << id << " is disabled";
    if (!ui::SendCommand(id))
        return ::testing::AssertionFailure() << "command " << id << " was not handled";
    return ::testing::AssertionSuccess();
}

// Types a name into a file dialog's name box and presses Enter.
void Choose(QFileDialog* d, const QString& name)
{
    auto* edit = FindChild<QLineEdit>(d, QStringLiteral("fileNameEdit"));
    ASSERT_NE(edit, nullptr);
    edit->setText(name);
    PressKey(edit, Qt::Key_Return);
}

struct MainRoad : ::testing::Test
{
    testsupport::TempDir dir;
    std::unique_ptr<cssim::Simulator> sim;
    std::unique_ptr<CStrandworkApp> app;
    QString savedCwd = QDir::currentPath();

    ~MainRoad() override
    {
        if (app && app->GetProjectDoc())
            app->GetProjectDoc()->Link().Close();
        app.reset();
        sim.reset();
        PumpEvents(10);
        QDir::setCurrent(savedCwd);
    }

    QString Path(const std::string& rel) const { return QString::fromStdString(dir / rel); }
    CStrandworkDoc* Project() const { return app ? app->GetProjectDoc() : nullptr; }
    std::string Out() const { return app->OutputControl()->Text().toStdString(); }
    bool OutHas(const std::string& text) const { return Out().find(text) != std::string::npos; }

    // The options name the build tree's stand-in compiler and a template
    // folder holding a copy of the "ok" build fixture (Haldor, 632).
    void WriteOptions()
    {
        fs::create_directories(dir / "Templates/ok");
        fs::copy(std::string(std::getenv("SW_FIXTURES")) + "/build/ok", dir / "Templates/ok",
                 fs::copy_options::recursive);
        sys::Profile::WriteString(u"Options", u"PathTarvane",
                                  sys::Utf8ToUtf16Lenient(std::string(std::getenv("SW_TARVANE")) + "/"));
        sys::Profile::WriteString(u"Options", u"PathTemplates", sys::Utf8ToUtf16Lenient(dir / "Templates"));
    }

    // Step 1: the application, a new project "Lis" from the template, a new
    // source "Osa.plc" and a new header "Osa.inc".
    void StartAndCreateProject()
    {
        WriteOptions();
        app = std::make_unique<CStrandworkApp>();
        app->SetArguments({});
        ASSERT_TRUE(app->InitInstance());
        app->MainFrame()->show();
        ASSERT_TRUE(WaitFor([&] { return app->MainFrame()->isVisible(); }, 5000, "the main window"));

        QString templateName;
        OnNextModal<CNewProjectDlg>([&](CNewProjectDlg* dlg) {
            auto* tree = FindChild<QTreeWidget>(dlg, QStringLiteral("c1236"));
            auto* name = FindChild<QLineEdit>(dlg, QStringLiteral("c1232"));
            auto* loc = FindChild<QLineEdit>(dlg, QStringLiteral("c1234"));
            if (!tree || !name || !loc || tree->topLevelItemCount() != 3)
                return dlg->reject();
            // Empty project, import, then the template.
            tree->setCurrentItem(tree->topLevelItem(2));
            templateName = tree->topLevelItem(2)->text(0);
            TypeText(name, QStringLiteral("Lis"));
            loc->clear();
            TypeText(loc, Path("Lis"));
            Click(FindChild<QPushButton>(dlg, QStringLiteral("c1")));
        });
        // The new project ends in its settings sheet: closed as it is.
        OnNextModal<ui::PropertySheet>([](ui::PropertySheet* sheet) { sheet->reject(); });
        {
            PromptScript prompts;
            ASSERT_TRUE(Command(ID_PROJECT_NEW));
            EXPECT_TRUE(prompts.Texts().empty());
        }
        EXPECT_EQ(templateName, QStringLiteral("Lis č. 5"));
        CStrandworkDoc* doc = Project();
        ASSERT_NE(doc, nullptr);
        EXPECT_EQ(doc->GetPathName(), Path("Lis/Lis.kxp"));
        EXPECT_EQ(doc->Data().Target, u"Haldor");
        EXPECT_EQ(doc->Data().TarvaneVer, u"632");
        ASSERT_EQ(doc->Data().SourceFiles.size(), 2u);
        EXPECT_EQ(ReadFile(dir / "Lis/Io.plc"), ReadFile(dir / "Templates/ok/src/Io.plc"));

        OnNextModal<QFileDialog>([](QFileDialog* d) { Choose(d, QStringLiteral("Osa.plc")); });
        ASSERT_TRUE(Command(ID_PROJECT_NEW_SOURCE));
        OnNextModal<QFileDialog>([](QFileDialog* d) { Choose(d, QStringLiteral("Osa.inc")); });
        ASSERT_TRUE(Command(ID_PROJECT_NEW_HEADER));
        ASSERT_EQ(doc->Data().SourceFiles.size(), 3u);
        EXPECT_EQ(doc->Data().SourceFiles[2].FileName, u"Osa.plc");
        ASSERT_EQ(doc->Data().HeaderFiles.size(), 1u);
        EXPECT_EQ(doc->Data().HeaderFiles[0].FileName, u"Osa.inc");
        EXPECT_TRUE(fs::exists(dir / "Lis/Osa.plc"));
        EXPECT_TRUE(fs::exists(dir / "Lis/Osa.inc"));
    }

    // Step 2: the source in its view; lines typed, one change undone, saved.
    CPLCView* EditSource()
    {
        auto* view = qobject_cast<CPLCView*>(app->OpenDocumentFile(Path("Lis/Osa.plc"))->FirstView());
        if (!view) {
            ADD_FAILURE() << "no PLC view";
            return nullptr;
        }
        if (!WaitFor([view] { return view->isVisible(); }, 5000, "the source view"))
            return nullptr;
        view->setFocus();
        auto* doc = qobject_cast<CPLCDoc*>(view->GetDocument());
        const QString lines[] = {QStringLiteral("; osa"), QStringLiteral("#tarv-symbol Poloha WORD"),
                                 QStringLiteral("#tarv-warning Pozor na osu"), QStringLiteral("LOD Poloha"),
                                 QStringLiteral("INR"), QStringLiteral("STO Poloha")};
        for (const QString& line : lines) {
            TypeText(view, line);
            PressKey(view, Qt::Key_Return);
        }
        const QString typed = doc->Text();
        EXPECT_TRUE(typed.startsWith(QStringLiteral("; osa\n#tarv-symbol Poloha WORD\n#tarv-warning Pozor na osu\n")))
            << typed.toStdString();
        // One more change, taken back.
        PressKey(view, Qt::Key_Up);
        PressKey(view, Qt::Key_End);
        TypeText(view, QStringLiteral("!"));
        EXPECT_NE(doc->Text(), typed);
        EXPECT_TRUE(Command(ID_EDIT_UNDO));
        EXPECT_EQ(doc->Text(), typed);
        EXPECT_TRUE(doc->IsModified());
        EXPECT_TRUE(Command(ID_FILE_SAVE));
        EXPECT_FALSE(doc->IsModified());
        EXPECT_EQ(ReadFile(dir / "Lis/Osa.plc"), "; osa\r\n#tarv-symbol Poloha WORD\r\n#tarv-warning Pozor na osu\r\n"
                                                 "LOD Poloha\r\nINR\r\nSTO Poloha\r\n");
        return view;
    }

    // Step 3: the build with its warning, the jump to it, success.
    void Build(CPLCView* source)
    {
        ASSERT_TRUE(Command(ID_PROJECT_BUILD));
        EXPECT_TRUE(OutHas("warning T2001: Pozor na osu")) << Out();
        EXPECT_TRUE(OutHas(kSuccess)) << Out();
        EXPECT_TRUE(fs::exists(dir / "Lis/Output/PLC.BIN"));
        COutputCtrl* out = app->OutputControl();
        ASSERT_EQ(out->TagCount(), 1);
        // Next error, from elsewhere in the source: the caret goes to the
        // warning's line in the source view.
        source->SetCursorPos({0, 0});
        ASSERT_TRUE(Command(ID_NEXT_ERROR));
        EXPECT_EQ(out->CurrentTag(), 0);
        EXPECT_TRUE(WaitFor([&] { return source->GetCursorPos().line == 2; }, 5000, "the caret on the warning"));
        EXPECT_EQ(app->MainFrame()->GetActiveView(), source);
    }

    // The simulator (recording) over UDP on 127.0.0.1, or over a
    // pseudo-terminal pair at 115200 Bd, and the project's connection
    // string pointing at it.
    void StartSimulator(bool serial = false, double loss = 0)
    {
        cssim::Config cfg;
        cfg.recording = true;
        cfg.shim = loss > 0;
        cfg.seed = 1;
        cfg.runRate = 200;
        std::string conn;
        sim = plcviewsdemo::StartSimulator(cfg, serial, conn);
        ASSERT_NE(sim, nullptr);
        if (loss > 0) {
            sim->shim().setRandom(0, loss, 0, 0, 0);
            sim->shim().setRandom(1, loss, 0, 0, 0);
        }
        // As the project settings' link page stores it.
        Project()->Data().OlnkConnectionString = sys::Utf8ToUtf16Lenient(conn);
        Project()->SetModifiedFlag(true);
    }

    // PLC transfers the simulator was asked for (class 1, code 2).
    size_t Transfers() const
    {
        size_t n = 0;
        for (const cssim::Record& r : sim->recorder().all())
            n += r.direction == 0 && r.cls() == 1 && r.type() == 0 && r.code() == 2;
        return n;
    }

    // Blocks of a transfer job that reached the simulator (class 0, type 4,
    // code 0).
    size_t BlocksReceived() const
    {
        size_t n = 0;
        for (const cssim::Record& r : sim->recorder().all())
            n += r.direction == 0 && r.cls() == 0 && r.type() == 4 && r.code() == 0;
        return n;
    }

    // Every file of the project's folder with its bytes.
    std::map<std::string, std::string> ProjectFiles() const
    {
        std::map<std::string, std::string> files;
        for (const auto& e : fs::recursive_directory_iterator(dir / "Lis"))
            if (e.is_regular_file())
                files[e.path().string()] = ReadFile(e.path().string());
        return files;
    }

    // The PLC command dialog while it runs.
    static CPlcCommandDlg* CommandDialog()
    {
        return qobject_cast<CPlcCommandDlg*>(QApplication::activeModalWidget());
    }

    // The new source typed in its view and saved.
    CPLCView* TypeSource(std::initializer_list<QString> lines)
    {
        auto* view = qobject_cast<CPLCView*>(app->OpenDocumentFile(Path("Lis/Osa.plc"))->FirstView());
        if (!view || !WaitFor([view] { return view->isVisible(); }, 5000, "the source view"))
            return nullptr;
        view->setFocus();
        for (const QString& line : lines) {
            TypeText(view, line);
            PressKey(view, Qt::Key_Return);
        }
        EXPECT_TRUE(Command(ID_FILE_SAVE));
        return view;
    }

    // A build that "build when needed" finds current: outputs written in
    // the second of the latest settings change count as older than it, so
    // the build waits for the next second.
    void BuildCurrent()
    {
        const int64_t settings = Project()->Data().SettingsModificationTime;
        ASSERT_TRUE(WaitFor([&] { return int64_t(std::time(nullptr)) > settings; }, 5000, "the next second"));
        ASSERT_TRUE(Command(ID_PROJECT_BUILD));
        ASSERT_TRUE(OutHas(kSuccess)) << Out();
        ASSERT_TRUE(Project()->CheckDependencies());
    }

    // The status bar's pane of the connection watch.
    int LinkPane() const
    {
        return app->MainFrame()->GetStatusBar()->CommandToIndex(CMainFrame::ID_INDICATOR_LINK);
    }

    // Step 4: connect, the connection state in the status bar, the PLC
    // interface transferred twice, the debug start finds it current.
    void ConnectAndTransfer()
    {
        CStrandworkDoc* doc = Project();
        ASSERT_TRUE(Command(ID_CONNECT_TOGGLE));
        EXPECT_TRUE(doc->Link().IsConnected()) << Out();
        ui::StatusBar* status = app->MainFrame()->GetStatusBar();
        const int pane = status->CommandToIndex(CMainFrame::ID_INDICATOR_LINK);
        ASSERT_GE(pane, 0);
        EXPECT_TRUE(app->MainFrame()->IsWatchRunning());
        EXPECT_TRUE(WaitFor([&] { return status->HasPaneIcon(pane); }, 20000, "the connection icon"));

        const std::string built = ReadFile(dir / "Lis/Output/PLC.BIN");
        PromptScript prompts;
        ASSERT_TRUE(Command(ID_TRANSFER_PLC));
        EXPECT_EQ(sim->plc().image(), Bytes(built.begin(), built.end())) << Out();
        EXPECT_EQ(Transfers(), 1u);
        // The command always transfers, also an image already there.
        ASSERT_TRUE(Command(ID_TRANSFER_PLC));
        EXPECT_EQ(Transfers(), 2u) << Out();
        EXPECT_EQ(sim->plc().image(), Bytes(built.begin(), built.end()));
        EXPECT_TRUE(prompts.Texts().empty());

        ASSERT_TRUE(Command(ID_DEBUG_START));
        EXPECT_TRUE(doc->IsDebugging()) << Out();
        EXPECT_TRUE(OutHas(kCurrent)) << Out();
        EXPECT_EQ(Transfers(), 2u);
        EXPECT_GT(doc->ListingFile().GetLineCount(), 0u);
        ASSERT_TRUE(Command(ID_DEBUG_STOP));
        EXPECT_FALSE(doc->IsDebugging());
        EXPECT_TRUE(doc->Link().IsConnected());
    }

    // The watch view of the debug bar.
    CKXPWatchView* Watch() const
    {
        return qobject_cast<CKXPWatchView*>(app->MainFrame()->DebugBar()->View());
    }
    static QString Value(CKXPWatchView* w, int row)
    {
        QString t = w->CellText(row, 2);
        t.remove(QChar(1));
        t.remove(QChar(3));
        return t;
    }

    // A name typed into the entry row of the watch view: the first letter
    // starts the editor, Enter ends it.
    static void TypeWatchName(CKXPWatchView* w, const QString& name)
    {
        const int rows = w->RowCount();
        w->List()->setFocus();
        w->List()->setCurrentIndex(w->List()->model()->index(rows - 1, 0));
        TypeText(w->List(), name.left(1));
        auto* editor = w->List()->viewport()->findChild<QLineEdit*>();
        ASSERT_NE(editor, nullptr);
        TypeText(editor, name.mid(1));
        PressKey(editor, Qt::Key_Return);
        ASSERT_TRUE(WaitFor([&] { return w->RowCount() == rows + 1; }, 5000, "the typed row"));
    }

    // A new plaque in the watch view with two variables typed in, watched
    // while debugging.
    void WatchTwoVariables()
    {
        CKXPWatchView* w = Watch();
        ASSERT_NE(w, nullptr);
        ASSERT_TRUE(WaitFor([&] { return w->isVisible(); }, 5000, "the watch view"));
        const core::ProjectData& d = Project()->Data();
        const size_t plaque = d.WatchPlaques.size();
        Click(FindChild<QAbstractButton>(w, QStringLiteral("c2062")));
        ASSERT_EQ(d.WatchPlaques.size(), plaque + 1);
        EXPECT_EQ(d.SelectedPlaque, int(plaque));
        EXPECT_EQ(w->RowCount(), 1);
        for (const QString& name : {QStringLiteral("Vstup"), QStringLiteral("Poloha")})
            ASSERT_NO_FATAL_FAILURE(TypeWatchName(w, name));
        EXPECT_EQ(d.WatchPlaques[plaque].VarNames, (std::vector<std::u16string>{u"Vstup", u"Poloha"}));
        // The template shows values in hexadecimal; a byte lists its bits.
        EXPECT_TRUE(WaitFor([&] { return Value(w, 0).startsWith(QStringLiteral("0x00 (Vstup 7:0,")) &&
                                         Value(w, 1) == QStringLiteral("0x0000"); },
                            10000, "the watched values"))
            << Value(w, 0).toStdString() << " / " << Value(w, 1).toStdString();
    }

    // The variable window on the word at the caret and the mechanisms
    // window with the template's mechanism "Osa", both with their values.
    void VariableAndMechanismWindows(CPLCView* source)
    {
        using testsupport::plcviews::ModalSteps;
        source->setFocus();
        source->ClampTextPos(EdtPoint{6, 3}); // in "LOD Poloha"
        auto inspect = [] { return qobject_cast<CInspectDlg*>(QApplication::activeModalWidget()); };
        auto text = [](CInspectDlg* d, int id) {
            return d->Item<QLabel>(id) ? d->Item<QLabel>(id)->text() : d->Item<QLineEdit>(id)->text();
        };
        ModalSteps variable;
        variable.Then([&] { return inspect() && text(inspect(), CInspectDlg::IDC_DECIMAL) == QStringLiteral("1"); },
                      [&] {
                          EXPECT_EQ(text(inspect(), CInspectDlg::IDC_TYPE), QStringLiteral("Word"));
                          inspect()->Item<QPushButton>(1)->click();
                      },
                      "the variable window with the value of Poloha", 10000);
        variable.Start();
        ASSERT_TRUE(Command(ID_VIEW_VARIABLE));
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);

        CStrandworkDoc* doc = Project();
        auto mechs = [] { return qobject_cast<CMechanismsDlg*>(QApplication::activeModalWidget()); };
        ModalSteps mechanisms;
        mechanisms.Then([&] { return mechs() != nullptr; }, [&] {
            ASSERT_EQ(mechs()->Rows().size(), 1u);
            EXPECT_EQ(mechs()->RowText(0, 0), QStringLiteral("Osa"));
            mechs()->SelectRows({0});
            mechs()->Item<QPushButton>(CMechanismsDlg::IDC_WATCH)->click();
        }, "the mechanisms window", 10000);
        mechanisms.Then([&] { return sim->plc().watchMech().count == 1; }, [&] {
            ASSERT_EQ(doc->MechanismWatchSet().size(), 1u);
            const MechanismWatch m = doc->MechanismWatchSet()[0];
            sim->plc().setMechanism(m.address, m.number, 1, 1);
        }, "Osa watched", 10000);
        mechanisms.Then([&] { return mechs()->RowText(0, 1) == QStringLiteral("Běží"); },
                        [&] { mechs()->Item<QPushButton>(1)->click(); }, "the state of Osa", 10000);
        mechanisms.Start();
        ASSERT_TRUE(Command(ID_VIEW_MECHANISMS));
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
        EXPECT_EQ(doc->Data().WatchedMechanisms, std::vector<std::u16string>{u"Osa"});
    }

    // Whether the margin of a line of the view shows the colour of a mark.
    static bool MarginShows(CPLCView* v, int line, int item)
    {
        const int lh = v->Renderer().GetLineHeight();
        const int y = (v->GetSubLineIndex(line) - v->ScrollPos().topSubLine) * lh;
        const QRect client = v->Scroller().ClientRect();
        const QRect margin(client.left(), client.top() + y, v->GetMarginWidth(), lh);
        return RectHasColor(Render(v), margin, ui::ColorFromRef(v->PlcItemAt(item).textColor), 5);
    }

    // The breakpoint of the caret's line in the source view toggled while
    // debugging: the project's list, the simulator's set, the glyph.
    void ToggleBreakpoint(CPLCView* source, int line, std::vector<uint32_t> expected)
    {
        source->setFocus();
        source->ClampTextPos(EdtPoint{0, line});
        ASSERT_TRUE(Command(ID_DEBUG_TOGGLE_BREAKPOINT));
        EXPECT_EQ(Project()->Data().Breakpoints, expected);
        EXPECT_TRUE(WaitFor([&] { return sim->plc().breakpoints() == expected; }, 5000,
                            "the simulator's breakpoints"));
        const bool set = !expected.empty();
        EXPECT_TRUE(WaitFor([&] { return MarginShows(source, line, CPLCView::EnabledBreakpoint) == set; }, 5000,
                            "the breakpoint glyph"));
    }

    // A PLC command of the Ladění menu; true once the simulator reports
    // the PLC stopped at index.
    void PlcCommandStopsAt(uint32_t id, uint32_t index)
    {
        ASSERT_TRUE(Command(id));
        EXPECT_TRUE(WaitFor([&] {
            return (sim->plc().flags() & cssim::FLAG_AT_POSITION) && sim->plc().position() == index;
        }, 10000, "the PLC stopped at its line")) << sim->plc().flags() << " " << sim->plc().position();
    }

    // Step 5: a breakpoint, run to it, the current line marked; watched
    // values that move with steps; the variable and mechanisms windows;
    // the breakpoint moved and the run continued to it.
    void DebugTheProgram(CPLCView* source)
    {
        EXPECT_NE(source->PlcItemAt(CPLCView::Current).textColor,
                  source->PlcItemAt(CPLCView::EnabledBreakpoint).textColor);
        ASSERT_NO_FATAL_FAILURE(ToggleBreakpoint(source, 3, {kOsaFirstCode}));
        ASSERT_NO_FATAL_FAILURE(PlcCommandStopsAt(ID_PLC_RUN, kOsaFirstCode));
        EXPECT_TRUE(WaitFor([&] { return MarginShows(source, 3, CPLCView::Current); }, 5000, "the current line"));
        ASSERT_NO_FATAL_FAILURE(WatchTwoVariables());
        // Three steps go round the program once: each variable grows by 1.
        ASSERT_NO_FATAL_FAILURE(PlcCommandStopsAt(ID_PLC_STEP, kOsaFirstCode + 1));
        EXPECT_TRUE(WaitFor([&] { return MarginShows(source, 4, CPLCView::Current); }, 5000, "the next line"));
        ASSERT_NO_FATAL_FAILURE(PlcCommandStopsAt(ID_PLC_STEP, kOsaLastCode));
        ASSERT_NO_FATAL_FAILURE(PlcCommandStopsAt(ID_PLC_STEP, kOsaFirstCode));
        CKXPWatchView* w = Watch();
        EXPECT_TRUE(WaitFor([&] { return Value(w, 0).startsWith(QStringLiteral("0x01 (Vstup 7:0,")) &&
                                         Value(w, 1) == QStringLiteral("0x0001"); },
                            10000, "the values after the steps"))
            << Value(w, 0).toStdString() << " / " << Value(w, 1).toStdString();
        ASSERT_NO_FATAL_FAILURE(VariableAndMechanismWindows(source));
        // The breakpoint moves to the last line; the run goes on to it.
        ASSERT_NO_FATAL_FAILURE(ToggleBreakpoint(source, 3, {}));
        ASSERT_NO_FATAL_FAILURE(ToggleBreakpoint(source, 5, {kOsaLastCode}));
        ASSERT_NO_FATAL_FAILURE(PlcCommandStopsAt(ID_PLC_RUN, kOsaLastCode));
        EXPECT_TRUE(WaitFor([&] { return MarginShows(source, 5, CPLCView::Current); }, 5000, "the new current line"));
        EXPECT_FALSE(MarginShows(source, 3, CPLCView::EnabledBreakpoint));
        EXPECT_TRUE(WaitFor([&] { return Value(w, 0).startsWith(QStringLiteral("0x02 (Vstup 7:0,")); }, 10000,
                            "Vstup after the run"))
            << Value(w, 0).toStdString();
        EXPECT_EQ(Value(w, 1), QStringLiteral("0x0001"));
    }

    // Step 6: the workspace saved, the project closed and opened again:
    // the open documents, the watch pages and the connection string are
    // back.
    void SaveCloseReopen()
    {
        CStrandworkDoc* doc = Project();
        const core::ProjectData before = doc->Data();
        ASSERT_TRUE(Command(ID_FILE_SAVE_ALL));
        ASSERT_TRUE(Command(ID_PROJECT_CLOSE));
        ASSERT_EQ(Project(), nullptr);
        EXPECT_TRUE(app->Template(3)->Documents().empty());

        OnNextModal<QFileDialog>([&](QFileDialog* d) { Choose(d, Path("Lis/Lis.kxp")); });
        ASSERT_TRUE(Command(ID_PROJECT_OPEN));
        doc = Project();
        ASSERT_NE(doc, nullptr);
        const core::ProjectData& after = doc->Data();
        EXPECT_EQ(after.OlnkConnectionString, before.OlnkConnectionString);
        EXPECT_EQ(after.WatchPlaques, before.WatchPlaques);
        EXPECT_EQ(after.SelectedPlaque, before.SelectedPlaque);
        EXPECT_EQ(after.Breakpoints, before.Breakpoints);
        ASSERT_EQ(app->Template(3)->Documents().size(), 1u);
        EXPECT_EQ(app->Template(3)->Documents()[0]->GetPathName(), Path("Lis/Osa.plc"));
        CKXPWatchView* w = Watch();
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->CellText(0, 0), QStringLiteral("Vstup"));
        EXPECT_EQ(w->CellText(1, 0), QStringLiteral("Poloha"));
    }

    // The whole road.
    void Road(double loss)
    {
        ASSERT_NO_FATAL_FAILURE(StartAndCreateProject());
        CPLCView* source = EditSource();
        ASSERT_NE(source, nullptr);
        ASSERT_NO_FATAL_FAILURE(Build(source));
        ASSERT_NO_FATAL_FAILURE(StartSimulator(false, loss));
        ASSERT_NO_FATAL_FAILURE(ConnectAndTransfer());

        ASSERT_TRUE(Command(ID_DEBUG_START));
        ASSERT_NO_FATAL_FAILURE(DebugTheProgram(source));
        ASSERT_TRUE(Command(ID_DEBUG_STOP));
        if (loss > 0) {
            // Frames were lost on the way, in either direction, and sent
            // again (hundreds of frames have passed by now).
            OlnkStatistics ours{}, theirs = sim->statistics();
            ours.size = sizeof ours;
            ASSERT_TRUE(Project()->Link().GetStatistics(&ours));
            const int64_t lost = (int64_t(theirs.SendPackets) - int64_t(ours.RecPackets)) +
                                 (int64_t(ours.SendPackets) - int64_t(theirs.RecPackets));
            EXPECT_GT(lost, 0);
        }
        ASSERT_NO_FATAL_FAILURE(SaveCloseReopen());
        EXPECT_EQ(Project()->Data().Breakpoints, std::vector<uint32_t>{kOsaLastCode});
        // The next debug start empties the stored list and the control system's.
        ASSERT_TRUE(Command(ID_DEBUG_START));
        EXPECT_TRUE(Project()->IsDebugging()) << Out();
        EXPECT_TRUE(Project()->Data().Breakpoints.empty());
        EXPECT_TRUE(WaitFor([&] { return sim->plc().breakpoints().empty(); }, 5000, "the simulator's set emptied"));
        ASSERT_TRUE(Command(ID_DEBUG_STOP));
    }
};

} // namespace

TEST_F(MainRoad, NewProjectEditBuildConnectTransfer)
{
    Road(0);
}

// The same road with 5 % of the frames lost in each direction.
TEST_F(MainRoad, WithLostFrames)
{
    Road(0.05);
}

// A compile error on the road: the build fails, the jump finds the line,
// and "Přenést PLC" transfers nothing.
TEST_F(MainRoad, CompileErrorStopsBeforeTheTransfer)
{
    ASSERT_NO_FATAL_FAILURE(StartAndCreateProject());
    auto* view = qobject_cast<CPLCView*>(app->OpenDocumentFile(Path("Lis/Osa.plc"))->FirstView());
    ASSERT_NE(view, nullptr);
    ASSERT_TRUE(WaitFor([view] { return view->isVisible(); }, 5000, "the source view"));
    view->setFocus();
    TypeText(view, QStringLiteral("; osa"));
    PressKey(view, Qt::Key_Return);
    TypeText(view, QStringLiteral("#tarv-error Chybi operand"));
    ASSERT_TRUE(Command(ID_FILE_SAVE));
    ASSERT_TRUE(Command(ID_PROJECT_BUILD));
    EXPECT_TRUE(OutHas("error T1001: Chybi operand")) << Out();
    EXPECT_TRUE(OutHas("Při tvorbě PLC došlo k chybám.")) << Out();
    EXPECT_FALSE(OutHas(kSuccess));
    view->SetCursorPos({0, 0});
    ASSERT_TRUE(Command(ID_NEXT_ERROR));
    EXPECT_TRUE(WaitFor([&] { return view->GetCursorPos().line == 1; }, 5000, "the caret on the error"));

    ASSERT_NO_FATAL_FAILURE(StartSimulator());
    PromptScript prompts({ui::IDOK});
    ASSERT_TRUE(Command(ID_TRANSFER_PLC));
    EXPECT_EQ(prompts.Texts(),
              std::vector<QString>{QStringLiteral("Při překladu došlo k chybám. PLC není možné přenést.\r\n")});
    EXPECT_FALSE(Project()->Link().IsOpen());
    EXPECT_EQ(Transfers(), 0u);
    EXPECT_TRUE(sim->plc().image().empty());
}

namespace {
const char kTransferFailed[] = "Při přenosu PLC došlo k chybě.\r\n";
const char kNotTransferred[] = "PLC interface nebyl přenesen do systému...";
} // namespace

// The control system switched off in the middle of "Přenést PLC": the
// transfer ends by itself with the link's error, the status bar shows the
// connection stalled and, once the boxes have gone, its dialog offers to
// disconnect; the project and its files stay as they were.
TEST_F(MainRoad, SimulatorStoppedDuringTheTransfer)
{
    using testsupport::plcviews::ModalSteps;
    ASSERT_NO_FATAL_FAILURE(StartAndCreateProject());
    // An image of about a hundred blocks.
    ASSERT_NE(TypeSource({QStringLiteral("; osa"), QStringLiteral("#tarv-image-size 100000")}), nullptr);
    ASSERT_NO_FATAL_FAILURE(BuildCurrent());
    ASSERT_NO_FATAL_FAILURE(StartSimulator());
    // The control system takes five blocks, grants no more and is switched
    // off: the cut lands inside the transfer whatever the load.
    cssim::JobScript stall;
    stall.creditsStopAfter = 5;
    sim->scriptJobs(stall);
    ASSERT_TRUE(Command(ID_CONNECT_TOGGLE));
    ui::StatusBar* status = app->MainFrame()->GetStatusBar();
    ASSERT_TRUE(WaitFor([&] { return status->HasPaneIcon(LinkPane()); }, 20000, "the connection icon"));
    ASSERT_TRUE(Command(ID_FILE_SAVE_ALL));
    ASSERT_FALSE(Project()->IsModified());
    const auto files = ProjectFiles();
    linkui::CConnectionErrorDlg* lost = app->MainFrame()->ConnectionErrorDlg();
    auto lostShown = [&] { return lost->Window() && lost->Window()->isVisible(); };
    ASSERT_FALSE(lostShown());

    ModalSteps cut;
    cut.Then([&] { return CommandDialog() && CommandDialog()->TransferRunning() && BlocksReceived() >= 5; },
             [&] { sim->stop(); }, "the transfer under way", 30000);
    // While the transfer waits, the connection watch sees no traffic; its
    // dialog waits until no box stands in its way.
    cut.Then([&] { return app->MainFrame()->ConnectionErrorPending(); },
             [&] {
                 EXPECT_TRUE(status->HasPaneIcon(LinkPane()));
                 EXPECT_FALSE(lostShown());
             },
             "the connection-error dialog due", 20000);
    // The link gives the transfer up after its job time-out, or, when a
    // frame of ours was still unacknowledged as the control system went,
    // the channel resets itself first (nothing answers its resends): either
    // way the transfer ends with the failure of the connection.
    cut.Then([&] { return CommandDialog() && CommandDialog()->ShowsResult(); },
             [&] {
                 const std::string head = "Při přenosu PLC interfacu došlo k chybě:\r\n\t";
                 const std::string text = CommandDialog()->ResultText().toStdString();
                 EXPECT_TRUE(text == head + "Jiná chyba spojení v průběhu přenosu pomocí streamu." ||
                             text == head + "Spojení bylo resetováno v průběhu přenosu pomocí streamu.")
                     << text;
                 Click(CommandDialog()->Item<QPushButton>(ui::IDOK));
             },
             "the transfer's error", 90000);
    cut.Start();
    {
        PromptScript prompts({ui::IDOK});
        ASSERT_TRUE(Command(ID_TRANSFER_PLC));
        EXPECT_EQ(prompts.Texts(), std::vector<QString>{QString::fromUtf8(kTransferFailed)});
    }
    EXPECT_TRUE(OutHas(kNotTransferred)) << Out();
    EXPECT_TRUE(sim->plc().image().empty());
    EXPECT_TRUE(WaitFor(lostShown, 5000, "the connection-error dialog"));
    EXPECT_TRUE(Project()->Link().IsOpen());

    // "Odpojit" closes the link; the pane's icon goes with it.
    Click(lost->Window()->Item<QPushButton>(ui::IDOK));
    EXPECT_FALSE(Project()->Link().IsOpen());
    EXPECT_FALSE(lostShown());
    EXPECT_TRUE(WaitFor([&] { return !status->HasPaneIcon(LinkPane()); }, 5000, "the connection icon gone"));
    EXPECT_FALSE(Project()->IsModified());
    EXPECT_EQ(ProjectFiles(), files);
}

// A built image spoilt on disk: "Přenést PLC" sends it as it always does,
// the control system's check refuses it and says why, and nothing is
// stored there or changed here.
TEST_F(MainRoad, AnImageThatFailsTheCheck)
{
    using testsupport::plcviews::ModalSteps;
    ASSERT_NO_FATAL_FAILURE(StartAndCreateProject());
    ASSERT_NO_FATAL_FAILURE(BuildCurrent());
    ASSERT_NO_FATAL_FAILURE(StartSimulator());
    ASSERT_TRUE(Command(ID_FILE_SAVE_ALL));
    // The second mark of the first module loses a bit.
    const std::string image = dir / "Lis/Output/PLC.BIN";
    std::string bytes = ReadFile(image);
    ASSERT_GT(bytes.size(), 40u);
    bytes[2] = char(bytes[2] ^ 0x01);
    std::ofstream(image, std::ios::binary | std::ios::trunc) << bytes;
    uint32_t length = 0;
    uint16_t sum = 0;
    EXPECT_FALSE(CStrandworkDoc::CheckPlcImage(reinterpret_cast<const uint8_t*>(bytes.data()),
                                               uint32_t(bytes.size()), length, sum));
    const auto files = ProjectFiles();

    ModalSteps refused;
    refused.Then([&] { return CommandDialog() && CommandDialog()->ShowsResult(); },
                 [&] {
                     EXPECT_EQ(CommandDialog()->ResultText().toStdString(),
                               "Při přenosu PLC interfacu došlo k chybě:\r\n\t"
                               "Chyba kontrolního součtu hlavičky.\r\n");
                     Click(CommandDialog()->Item<QPushButton>(ui::IDOK));
                 },
                 "the control system's verdict", 20000);
    refused.Start();
    {
        PromptScript prompts({ui::IDOK});
        ASSERT_TRUE(Command(ID_TRANSFER_PLC));
        EXPECT_EQ(prompts.Texts(), std::vector<QString>{QString::fromUtf8(kTransferFailed)});
    }
    EXPECT_TRUE(OutHas(kNotTransferred)) << Out();
    EXPECT_EQ(Transfers(), 1u);
    EXPECT_TRUE(sim->plc().image().empty());
    EXPECT_EQ(sim->plc().plcLength(), 0u);
    EXPECT_TRUE(Project()->Link().IsConnected());
    EXPECT_FALSE(Project()->IsModified());
    EXPECT_EQ(ProjectFiles(), files);
}

// A name the map does not know, typed into the watch view while
// debugging: the row keeps it and shows neither type nor value, the
// control system is asked to watch nothing new, and the other rows go on
// showing their values as the program steps.
TEST_F(MainRoad, WatchOnANameNotInTheMap)
{
    ASSERT_NO_FATAL_FAILURE(StartAndCreateProject());
    CPLCView* source = EditSource();
    ASSERT_NE(source, nullptr);
    ASSERT_NO_FATAL_FAILURE(Build(source));
    ASSERT_NO_FATAL_FAILURE(StartSimulator());
    ASSERT_NO_FATAL_FAILURE(ConnectAndTransfer());
    ASSERT_TRUE(Command(ID_DEBUG_START));
    ASSERT_NO_FATAL_FAILURE(ToggleBreakpoint(source, 3, {kOsaFirstCode}));
    ASSERT_NO_FATAL_FAILURE(PlcCommandStopsAt(ID_PLC_RUN, kOsaFirstCode));
    ASSERT_NO_FATAL_FAILURE(WatchTwoVariables());
    auto watchRequests = [&] {
        size_t n = 0;
        for (const cssim::Record& r : sim->recorder().all())
            n += r.direction == 0 && r.cls() == 1 && r.type() == 0 && r.code() == 16;
        return n;
    };
    const size_t requests = watchRequests();
    const cssim::Plc::WatchList watched = sim->plc().watch();
    ASSERT_GT(watched.count, 0);

    CKXPWatchView* w = Watch();
    ASSERT_NO_FATAL_FAILURE(TypeWatchName(w, QStringLiteral("Neznama")));
    const core::ProjectData& d = Project()->Data();
    EXPECT_EQ(d.WatchPlaques[size_t(d.SelectedPlaque)].VarNames,
              (std::vector<std::u16string>{u"Vstup", u"Poloha", u"Neznama"}));
    EXPECT_EQ(w->CellText(2, 0), QStringLiteral("Neznama"));
    EXPECT_EQ(w->CellText(2, 1), QString());
    EXPECT_EQ(Value(w, 2), QString());
    // Three steps round the program; the requests travel in order, so a
    // watch sent for the name would be there before the last step's.
    ASSERT_NO_FATAL_FAILURE(PlcCommandStopsAt(ID_PLC_STEP, kOsaFirstCode + 1));
    ASSERT_NO_FATAL_FAILURE(PlcCommandStopsAt(ID_PLC_STEP, kOsaLastCode));
    ASSERT_NO_FATAL_FAILURE(PlcCommandStopsAt(ID_PLC_STEP, kOsaFirstCode));
    EXPECT_EQ(watchRequests(), requests);
    EXPECT_EQ(sim->plc().watch().entries, watched.entries);
    EXPECT_TRUE(WaitFor([&] { return Value(w, 0).startsWith(QStringLiteral("0x01 (Vstup 7:0,")) &&
                                     Value(w, 1) == QStringLiteral("0x0001"); },
                        10000, "the values after the steps"))
        << Value(w, 0).toStdString() << " / " << Value(w, 1).toStdString();
    EXPECT_EQ(w->CellText(2, 1), QString());
    EXPECT_EQ(Value(w, 2), QString());
    EXPECT_FALSE(OutHas("Chyba příkazu Watch")) << Out();
    // The next debug start resolves the plaque afresh and watches the same
    // two variables.
    ASSERT_TRUE(Command(ID_DEBUG_STOP));
    ASSERT_TRUE(Command(ID_DEBUG_START));
    EXPECT_TRUE(WaitFor([&] { return watchRequests() > requests && sim->plc().watch().entries == watched.entries; },
                        10000, "the same two variables watched again"));
    EXPECT_EQ(Value(w, 2), QString());
    ASSERT_TRUE(Command(ID_DEBUG_STOP));
}

// The slower case: the same road to the transfer over a pseudo-terminal
// serial pair.
TEST_F(MainRoad, OverASerialLinkToTheTransfer)
{
    ASSERT_NO_FATAL_FAILURE(StartAndCreateProject());
    CPLCView* source = EditSource();
    ASSERT_NE(source, nullptr);
    ASSERT_NO_FATAL_FAILURE(Build(source));
    ASSERT_NO_FATAL_FAILURE(StartSimulator(true));
    ASSERT_NO_FATAL_FAILURE(ConnectAndTransfer());
}

namespace {

// The program itself, unattended, with its own settings folder whose
// options name the stand-in compiler.
struct Unattended
{
    explicit Unattended(const testsupport::TempDir& dir)
    {
        fs::create_directories(dir / "child/config/ORNA");
        std::ofstream reg(dir / "child/config/ORNA/Strandwork.reg", std::ios::binary);
        reg << "Windows Registry Editor Version 5.00\r\n\r\n"
               "[HKEY_CURRENT_USER\\Software\\ORNA\\Strandwork\\Options]\r\n"
               "\"PathTarvane\"=\""
            << std::getenv("SW_TARVANE") << "/\"\r\n";
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), QString::fromStdString(dir / "child/config"));
        env.insert(QStringLiteral("XDG_STATE_HOME"), QString::fromStdString(dir / "child/state"));
        env.insert(QStringLiteral("XDG_DATA_HOME"), QString::fromStdString(dir / "child/data"));
        for (const char* v : {"LC_ALL", "LC_MESSAGES", "LANG"})
            env.remove(QString::fromLatin1(v));
        process.setProcessEnvironment(env);
        process.setStandardInputFile(QProcess::nullDevice());
    }
    ~Unattended()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(5000);
        }
    }
    void Start(const QString& project)
    {
        process.start(QStringLiteral(SW_STRANDWORK_PROGRAM), {QStringLiteral("-Build"), project});
    }
    // Standard output so far (the program writes UTF-8).
    QString Out()
    {
        out += QString::fromUtf8(process.readAllStandardOutput());
        return out;
    }

    QProcess process;
    QString out;
};

} // namespace

// Section 4 of the road: the project that the New project dialog made,
// built by the program run unattended.
TEST_F(MainRoad, UnattendedBuildOfANewProject)
{
    ASSERT_NO_FATAL_FAILURE(StartAndCreateProject());
    ASSERT_TRUE(Command(ID_PROJECT_CLOSE));
    ASSERT_EQ(Project(), nullptr);
    const QString project = Path("Lis/Lis.kxp");

    // A clean build ends the program with status 0 and writes the outputs.
    {
        Unattended run(dir);
        run.Start(project);
        ASSERT_TRUE(run.process.waitForFinished(120000)) << run.Out().toStdString();
        EXPECT_EQ(run.process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(run.process.exitCode(), 0) << run.Out().toStdString();
        EXPECT_TRUE(run.Out().contains(QString::fromUtf8(kSuccess))) << run.Out().toStdString();
        EXPECT_TRUE(run.Out().contains(QStringLiteral("Tarv: překládám 3 souborů"))) << run.Out().toStdString();
        for (const char* f : {"Output/PLC.BIN", "Output/PLCBIN.txt", "Temp/LOD_KAP.MP2", "Temp/Main.LS1"})
            EXPECT_TRUE(fs::exists(dir / (std::string("Lis/") + f))) << f;
    }

    // A source with an error, and no display: the message and the failure
    // on standard output, no success, and the program ends by itself at
    // once with status 1 (a window nobody sees would never be closed).
    {
        std::ofstream(dir / "Lis/Osa.plc", std::ios::binary) << "; osa\r\n#tarv-error Chybi operand\r\n";
        Unattended run(dir);
        run.Start(project);
        ASSERT_TRUE(run.process.waitForFinished(120000)) << run.Out().toStdString();
        EXPECT_TRUE(run.Out().contains(QStringLiteral("Při tvorbě PLC došlo k chybám."))) << run.Out().toStdString();
        EXPECT_TRUE(run.Out().contains(QStringLiteral("Osa.plc(2) : error T1001: Chybi operand")))
            << run.Out().toStdString();
        EXPECT_FALSE(run.Out().contains(QString::fromUtf8(kSuccess)));
        EXPECT_EQ(run.process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(run.process.exitCode(), kExitBuildFailed);
    }
}

// Alt+letter opens the menu bar's item of that mnemonic even though a form
// in a docking bar (the watch view's "&Plaketa:") has the same one; with the
// focus in that form, the form's mnemonic wins.
TEST_F(MainRoad, MenuMnemonicsComeBeforeTheBarsForms)
{
    ASSERT_NO_FATAL_FAILURE(StartAndCreateProject());
    CMainFrame* frame = app->MainFrame();
    frame->activateWindow();
    QApplication::setActiveWindow(frame);
    ASSERT_TRUE(WaitFor([&] { return frame->isActiveWindow() && Watch() && Watch()->isVisible(); }, 5000,
                        "the active frame with its watch view"));
    auto altP = [](QWidget* w) {
        QTest::keyPress(w, Qt::Key_Alt, Qt::AltModifier);
        QTest::keyClick(w, Qt::Key_P, Qt::AltModifier);
        QTest::keyRelease(w, Qt::Key_Alt, Qt::NoModifier);
        PumpEvents(20);
    };
    auto* view = qobject_cast<CPLCView*>(app->OpenDocumentFile(Path("Lis/Osa.plc"))->FirstView());
    ASSERT_TRUE(WaitFor([view] { return view->isVisible(); }, 5000, "the source view"));
    view->setFocus();
    altP(view);
    CKVTPopupMenu* popup = CKVTPopupMenu::ActivePopup();
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(frame->GetMenuBar()->GetButton(frame->GetMenuBar()->GetHotButton())->m_text,
              QStringLiteral("&Projekt"));
    popup->CloseChain();
    PumpEvents(20);
    Watch()->List()->setFocus();
    altP(Watch()->List());
    EXPECT_EQ(CKVTPopupMenu::ActivePopup(), nullptr);
    QWidget* plaque = FindChild<QWidget>(Watch(), QStringLiteral("c2061"));
    ASSERT_NE(plaque, nullptr);
    EXPECT_TRUE(plaque->isAncestorOf(QApplication::focusWidget()) || QApplication::focusWidget() == plaque)
        << (QApplication::focusWidget() ? QApplication::focusWidget()->metaObject()->className() : "none");
}
