// Commands and their routing, update handlers, menus, accelerators and the
// status bar, with a real main frame, MDI child and view.
#include "platform/ui/Accel.h"
#include "platform/ui/App.h"
#include "platform/ui/Menu.h"
#include "platform/ui/StatusBar.h"
#include "res/CommandIds.h"
#include "tests/support/ui/LayoutKeys.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QStatusTipEvent>
#include <QTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

using namespace ui;

namespace {


// Every target of the route records what reached it.
std::vector<std::string> g_log;

class TestDoc : public Document
{
public:
    TestDoc() { MapCommand(ID_FILE_SAVE, [] { g_log.push_back("doc"); }); }
};

class TestView : public View
{
public:
    TestView() { MapCommand(ID_PROJECT_BUILD, [] { g_log.push_back("view"); }); }
};

class TestFrame : public ChildFrame
{
public:
    TestFrame() { MapCommand(ID_FILE_SAVE, [] { g_log.push_back("frame"); }); }
};

class TestMain : public MainFrameBase
{
public:
    TestMain() { MapCommand(ID_FILE_OPEN, [] { g_log.push_back("main"); }); }
};

class TestApp : public Application
{
public:
    TestApp()
    {
        MapCommand(ID_PROJECT_BUILD, [] { g_log.push_back("app"); });
        MapCommand(ID_FILE_OPEN, [] { g_log.push_back("app"); });
        MapCommandRange(100, 199, [](uint32_t id) { g_log.push_back("range" + std::to_string(id)); });
    }
};

struct World
{
    TestApp app;
    TestMain main;
    Document* doc = nullptr;
    World()
    {
        app.AddDocTemplate(std::make_unique<DocTemplate>(
            5, QStringLiteral("\nPLC\nZdrojový soubor PLC\nZdrojové soubory PLC (*.plc)\n.plc\nPLCfile\n"),
            [] { return new TestDoc; }, [] { return new TestFrame; }, [] { return new TestView; }));
        main.resize(800, 600);
        main.show();
        doc = app.Documents().Template(0)->OpenDocumentFile({});
        QApplication::processEvents();
        g_log.clear();
    }
    ~World() { g_log.clear(); }
};

} // namespace

TEST(Commands, RoutingReachesViewDocumentFrameMainFrameApplicationInOrder)
{
    World w;
    ASSERT_NE(w.doc, nullptr);
    std::vector<CommandTarget*> route = CurrentRoute();
    ASSERT_EQ(route.size(), 5u);
    EXPECT_NE(dynamic_cast<TestView*>(route[0]), nullptr);
    EXPECT_EQ(route[1], w.doc);
    EXPECT_NE(dynamic_cast<TestFrame*>(route[2]), nullptr);
    EXPECT_EQ(route[3], &w.main);
    EXPECT_EQ(route[4], &w.app);

    // The first that handles a command wins.
    EXPECT_TRUE(SendCommand(ID_PROJECT_BUILD)); // view before the application
    EXPECT_TRUE(SendCommand(ID_FILE_SAVE));  // document before the frame
    EXPECT_TRUE(SendCommand(ID_FILE_OPEN));  // main frame before the application
    EXPECT_TRUE(SendCommand(150));      // a range of the application
    EXPECT_FALSE(SendCommand(40001));   // nobody
    EXPECT_EQ(g_log, (std::vector<std::string>{"view", "doc", "main", "range150"}));
}

TEST(Commands, UnhandledCommandIsDisabledAndUpdateHandlerWins)
{
    World w;
    CmdUI none(40001);
    UpdateCommandUI(none);
    EXPECT_FALSE(none.Enabled());

    CmdUI handled(ID_FILE_SAVE);
    UpdateCommandUI(handled);
    EXPECT_TRUE(handled.Enabled());

    // An update handler further down the route decides over a command
    // handler of the view.
    w.app.MapUpdate(ID_PROJECT_BUILD, [](CmdUI& ui) { ui.Enable(false); });
    CmdUI build(ID_PROJECT_BUILD);
    EXPECT_TRUE(UpdateCommandUI(build));
    EXPECT_FALSE(build.Enabled());
}

TEST(Commands, UpdateHandlerReachesTheMenuItem)
{
    World w;
    ASSERT_TRUE(w.main.LoadFrame(9001));
    Menu* model = w.main.GetDefaultMenu();
    ASSERT_NE(model, nullptr);
    ASSERT_EQ(model->ItemCount(), 2);
    Menu* file = model->SubMenu(0);
    Menu* project = model->SubMenu(1);

    int seenIndex = -1;
    Menu* seenMenu = nullptr;
    w.app.MapUpdate(ID_FILE_OPEN, [&](CmdUI& ui) {
        seenIndex = ui.Index();
        seenMenu = ui.GetMenu();
        ui.Enable(false);
        ui.SetCheck(1);
        ui.SetText(QStringLiteral("&Otevřít projekt...\tCtrl+O"));
    });
    // An update handler may rebuild its menu: here it adds an item after itself.
    w.app.MapUpdate(ID_FILE_MRU_FIRST, [](CmdUI& ui) {
        if (ui.GetMenu()->ItemCount() == 1)
            ui.GetMenu()->AppendItem(ID_FILE_MRU_FIRST + 1, QStringLiteral("Soubor 2"));
        ui.SetIndex(ui.GetMenu()->ItemCount() - 1);
        ui.Enable(true);
    });

    UpdateMenuItems(*file);
    EXPECT_EQ(seenMenu, file);
    EXPECT_EQ(seenIndex, 0);
    EXPECT_TRUE(file->Item(0)->flags & MF_GRAYED);
    EXPECT_TRUE(file->Item(0)->flags & MF_CHECKED);
    EXPECT_EQ(file->Item(0)->text, QStringLiteral("&Otevřít projekt...\tCtrl+O"));
    EXPECT_FALSE(file->Item(1)->flags & MF_GRAYED); // the document handles save
    EXPECT_TRUE(file->Item(1)->flags & MF_DEFAULT);
    EXPECT_TRUE(file->Item(4)->flags & MF_GRAYED);  // 40001: no handler
    // The popup's own items only: the submenu is updated when it opens.
    EXPECT_EQ(file->SubMenu(3)->ItemCount(), 1);
    UpdateMenuItems(*file->SubMenu(3));
    EXPECT_EQ(file->SubMenu(3)->ItemCount(), 2);

    UpdateMenuItems(*project);
    EXPECT_FALSE(project->Item(0)->flags & MF_GRAYED); // the view handles build
    EXPECT_TRUE(project->Item(1)->flags & MF_GRAYED);
}

TEST(Commands, PostedCommandRunsAfterTheCurrentHandlerReturns)
{
    World w;
    w.app.MapCommand(120, [] {
        g_log.push_back("first begins");
        PostCommand(121);
        g_log.push_back("first ends");
    });
    w.app.MapCommand(121, [] { g_log.push_back("posted"); });
    SendCommand(120);
    EXPECT_EQ(g_log, (std::vector<std::string>{"first begins", "first ends"}));
    QApplication::processEvents();
    EXPECT_EQ(g_log, (std::vector<std::string>{"first begins", "first ends", "posted"}));
}

TEST(Menus, SerialNumbersAreNeverReusedAndBadResourcesFailClearly)
{
    uint64_t first;
    {
        auto a = Menu::Load(9001);
        ASSERT_NE(a, nullptr);
        first = a->Serial();
        EXPECT_NE(a->SubMenu(0)->Serial(), first);
    }
    auto b = Menu::Load(9001);
    EXPECT_GT(b->Serial(), first);
    auto clone = b->Clone();
    EXPECT_NE(clone->Serial(), b->Serial());
    EXPECT_EQ(clone->SubMenu(0)->ItemCount(), b->SubMenu(0)->ItemCount());

    QString error;
    EXPECT_EQ(Menu::Load(4242, &error), nullptr);
    EXPECT_TRUE(error.contains(QLatin1String("4242")));
    EXPECT_EQ(Menu::Load(9002, &error), nullptr);
    EXPECT_TRUE(error.contains(QLatin1String("END")));
    EXPECT_EQ(Menu::Parse("POPUP \"x\" MENUITEM abc \"y\" END", &error), nullptr);
    EXPECT_EQ(Menu::Parse("MENUITEM 5 \"unterminated", &error), nullptr);
    EXPECT_EQ(Menu::Parse("END", &error), nullptr);

    auto m = Menu::Parse("MENUITEM 7 \"A \\\"q\\\"\\tF1\" CHECKED GRAYED\nSEPARATOR\n");
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->ItemCount(), 2);
    EXPECT_EQ(m->Item(0)->text, QStringLiteral("A \"q\"\tF1"));
    EXPECT_EQ(m->Item(0)->flags, uint32_t(MF_CHECKED | MF_GRAYED));
    EXPECT_TRUE(m->Item(1)->flags & MF_SEPARATOR);
    EXPECT_EQ(m->ItemId(5), 0u);
    EXPECT_FALSE(m->RemoveItem(5));
    EXPECT_EQ(PlainMenuText(QStringLiteral("&Save && close\tCtrl+S")), QStringLiteral("Save & close"));
}

TEST(Accelerators, TableMapsQtKeysToCommandsViewFirst)
{
    auto table = AccelTable::Load(9001);
    ASSERT_NE(table, nullptr);
    ASSERT_EQ(table->Entries().size(), 3u);
    EXPECT_EQ(table->Entries()[0].flags, 0x0D);
    EXPECT_EQ(table->Entries()[0].key, 0x74);

    QKeyEvent ctrlShiftF5(QEvent::KeyPress, Qt::Key_F5, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(table->Translate(ctrlShiftF5), ID_PROJECT_BUILD);
    QKeyEvent ctrlF5(QEvent::KeyPress, Qt::Key_F5, Qt::ControlModifier);
    EXPECT_EQ(table->Translate(ctrlF5), 0);
    QKeyEvent ctrlO(QEvent::KeyPress, Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(table->Translate(ctrlO), ID_FILE_OPEN);

    EXPECT_EQ(VirtualKeyFromQt(Qt::Key_A), 'A');
    EXPECT_EQ(VirtualKeyFromQt(Qt::Key_7), '7');
    EXPECT_EQ(VirtualKeyFromQt(Qt::Key_F24), 0x87);
    EXPECT_EQ(VirtualKeyFromQt(Qt::Key_Home), 0x24);
    EXPECT_EQ(VirtualKeyFromQt(Qt::Key_Delete), 0x2E);
    EXPECT_EQ(VirtualKeyFromQt(Qt::Key_5, true), 0x65);
    EXPECT_EQ(VirtualKeyFromQt(Qt::Key_Plus, true), 0x6B);
    EXPECT_EQ(VirtualKeyFromQt(Qt::Key_Exclam), '1');
    EXPECT_EQ(VirtualKeyFromQt(Qt::Key_Comma), 0xBC);
    EXPECT_EQ(VirtualKeyFromQt(Qt::Key_BraceLeft), 0xDB);
    EXPECT_EQ(VirtualKeyFromQt(Qt::Key_unknown), 0);
    EXPECT_EQ(VirtualKeyFromName(QStringLiteral("f5")), 0x74);

    QString error;
    EXPECT_EQ(AccelTable::Load(4242, &error), nullptr);
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(AccelTable::Parse("0x0D 0x74", &error), nullptr);
    EXPECT_EQ(AccelTable::Parse("1 NoSuchKey 5", &error), nullptr);
    EXPECT_EQ(AccelTable::Parse("1 0x74 70000", &error), nullptr);

    // The view's own table comes before its frame's.
    AccelTable view({{FVIRTKEY | FCONTROL, 0x41, 1}});
    AccelTable frame({{FVIRTKEY | FCONTROL, 0x41, 2}, {FVIRTKEY, 0x70, 3}});
    QKeyEvent ctrlA(QEvent::KeyPress, Qt::Key_A, Qt::ControlModifier);
    QKeyEvent f1(QEvent::KeyPress, Qt::Key_F1, Qt::NoModifier);
    EXPECT_EQ(TranslateAccelerator(ctrlA, {&view, &frame}), 1);
    EXPECT_EQ(TranslateAccelerator(f1, {&view, nullptr, &frame}), 3);
}

TEST(Accelerators, AKeyOfTheNumberRowIsItsDigitWhateverTheLayoutTypesWithIt)
{
    using testsupport::ui::CzechNumberRow;
    using testsupport::ui::LayoutKeyEvent;
    // Ctrl+digit and Alt+digit as the editor's bookmarks, Ctrl+Shift+2 and a
    // character entry for "ě" besides.
    auto table = AccelTable::Parse(
        "0x09 0x32 102\n0x11 0x32 112\n0x09 0x30 100\n0x11 0x30 110\n0x0D 0x32 202\n"
        "0x09 0x62 302\n0x00 0x11B 400\n");
    ASSERT_NE(table, nullptr);

    // The Czech number row: ě is the 2 key, é the 0 key, with Ctrl and Alt.
    const auto ecaron = CzechNumberRow(2);
    EXPECT_EQ(table->Translate(LayoutKeyEvent(ecaron, Qt::ControlModifier)), 102);
    EXPECT_EQ(table->Translate(LayoutKeyEvent(ecaron, Qt::AltModifier)), 112);
    EXPECT_EQ(table->Translate(LayoutKeyEvent(CzechNumberRow(0), Qt::ControlModifier)), 100);
    EXPECT_EQ(table->Translate(LayoutKeyEvent(CzechNumberRow(0), Qt::AltModifier)), 110);
    EXPECT_EQ(table->Translate(LayoutKeyEvent(ecaron, Qt::ControlModifier | Qt::ShiftModifier)),
              202);
    for (int digit = 0; digit <= 9; ++digit) {
        const QKeyEvent e = LayoutKeyEvent(CzechNumberRow(digit), Qt::ControlModifier);
        EXPECT_EQ(VirtualKeyOf(e), '0' + digit) << "the key of " << digit;
    }
    // Without a modifier nothing fits, and the key still types its letter:
    // the character entry "ě" takes it, as on the US layout "2" is no key.
    EXPECT_EQ(table->Translate(LayoutKeyEvent(ecaron)), 400);
    EXPECT_EQ(AccelTable().Translate(LayoutKeyEvent(ecaron)), 0);
    // A letter outside the number row with Alt names nothing.
    EXPECT_EQ(table->Translate(LayoutKeyEvent(testsupport::ui::CzechURing(), Qt::AltModifier)), 0);
    EXPECT_EQ(VirtualKeyOf(LayoutKeyEvent(testsupport::ui::CzechURing(), Qt::AltModifier)), 0);

    // Only the keycodes of the number row count; an event without a scan
    // code (synthesised) keeps its Qt key, and the numeric pad stays itself.
    EXPECT_EQ(NumberRowDigit(0), 0);
    EXPECT_EQ(NumberRowDigit(9), 0);
    EXPECT_EQ(NumberRowDigit(10), '1');
    EXPECT_EQ(NumberRowDigit(19), '0');
    EXPECT_EQ(NumberRowDigit(20), 0);
    EXPECT_EQ(table->Translate(
                  QKeyEvent(QEvent::KeyPress, 0x11A, Qt::ControlModifier, QStringLiteral("ě"))),
              0);
    EXPECT_EQ(table->Translate(QKeyEvent(QEvent::KeyPress, Qt::Key_2, Qt::ControlModifier)), 102);
    const QKeyEvent num2(QEvent::KeyPress, Qt::Key_2, Qt::ControlModifier | Qt::KeypadModifier, 88,
                         0xffb2, 4, QStringLiteral("2"));
    EXPECT_EQ(table->Translate(num2), 302);
    // The US layout's 2 key gives the same.
    const QKeyEvent us2(QEvent::KeyPress, Qt::Key_2, Qt::AltModifier, 11, 0x32, 8,
                        QStringLiteral("2"));
    EXPECT_EQ(table->Translate(us2), 112);
}

TEST(Accelerators, KeyPressInTheMainFrameRunsTheCommand)
{
    World w;
    w.main.LoadFrame(9001);
    w.main.activateWindow();
    View* v = w.main.GetActiveView();
    ASSERT_NE(v, nullptr);
    QKeyEvent press(QEvent::KeyPress, Qt::Key_F5, Qt::ControlModifier | Qt::ShiftModifier);
    QApplication::sendEvent(v, &press);
    EXPECT_EQ(g_log, std::vector<std::string>{"view"});
}

TEST(StatusBar, PanesTakeTheirTextFromUpdateHandlersAndTheMessagePaneShowsPrompts)
{
    World w;
    StatusBar* bar = w.main.CreateStatusBar({0, ID_INDICATOR_CAPS, ID_INDICATOR_NUM});
    EXPECT_EQ(bar->CommandToIndex(ID_INDICATOR_NUM), 2);
    EXPECT_EQ(bar->CommandToIndex(5), -1);
    int caret = 1;
    w.app.MapUpdate(ID_INDICATOR_CAPS, [&](CmdUI& ui) { ui.SetText(QStringLiteral("ř. %1").arg(caret)); });
    IdleUpdater::Instance().RunPass();
    EXPECT_EQ(bar->GetPaneText(1), QStringLiteral("ř. 1"));
    caret = 12;
    IdleUpdater::Instance().Invalidate();
    // The idle updater runs by itself once the queue is idle: the loop
    // waits for events, the tick ends each wait.
    const int passes = IdleUpdater::Instance().PassCount();
    QElapsedTimer waited;
    waited.start();
    QTimer tick;
    tick.start(5);
    while (IdleUpdater::Instance().PassCount() == passes && waited.elapsed() < 2000)
        QApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    EXPECT_EQ(bar->GetPaneText(1), QStringLiteral("ř. 12"));
    EXPECT_TRUE(bar->GetPaneText(2).isEmpty());

    EXPECT_EQ(bar->MessageText(), bar->IdleText());
    SetCommandPromptSource([](uint32_t id) {
        return id == ID_FILE_OPEN ? QStringLiteral("Otevře existující dokument\nOtevřít") : QString();
    });
    w.main.LoadFrame(9001);
    w.main.SetMessageText(ID_FILE_OPEN);
    EXPECT_EQ(bar->MessageText(), QStringLiteral("Otevře existující dokument"));
    w.main.SetMessageText(0xE001);
    EXPECT_EQ(bar->MessageText(), bar->IdleText());
    SetCommandPromptSource({});
}

// A status bar narrower than its panes: the panes are shortened (their
// texts end with an ellipsis) and the message keeps room of its own; no
// pane lies over another or over the message, none reaches past the bar.
TEST(StatusBar, PanesThatDoNotFitAreShortenedAndNeverOverlap)
{
    World w;
    StatusBar* bar = w.main.CreateStatusBar({0, 37903, ID_INDICATOR_OVR, ID_INDICATOR_CAPS, ID_INDICATOR_NUM, 59139});
    const QString pos = QStringLiteral("ř. 1, sl. 1");
    bar->SetPaneWidthText(1, QStringLiteral("ř. 99999, sl. 99999"));
    w.app.MapUpdate(37903, [&](CmdUI& ui) { ui.SetText(pos); });
    w.app.MapUpdate(ID_INDICATOR_CAPS, [&](CmdUI& ui) { ui.SetText(QStringLiteral("CAP")); });
    IdleUpdater::Instance().RunPass();
    ASSERT_EQ(bar->GetPaneText(1), pos);
    for (int width : {800, 420, 300, 200}) {
        SCOPED_TRACE(width);
        w.main.resize(width, 300);
        QApplication::processEvents();
        const QRect message = bar->MessageRect();
        EXPECT_GE(message.left(), 0);
        if (width >= 300) {
            // Room for the idle text.
            EXPECT_GE(message.width(), bar->fontMetrics().horizontalAdvance(bar->IdleText()));
        }
        std::vector<QRect> taken{message};
        for (int i = 1; i < bar->PaneCount(); ++i) {
            const auto* pane = bar->findChild<QWidget*>(QStringLiteral("pane%1").arg(bar->GetItemID(i)));
            ASSERT_NE(pane, nullptr);
            const QRect r = pane->geometry();
            EXPECT_TRUE(bar->rect().contains(r)) << i;
            for (const QRect& o : taken)
                EXPECT_FALSE(r.intersects(o)) << i;
            taken.push_back(r);
        }
        // What a pane shows: its whole text when it fits, else its start
        // and an ellipsis.
        const QString shown = bar->PaneTextShown(1);
        EXPECT_TRUE(shown == pos || (shown.endsWith(QChar(0x2026)) && pos.startsWith(shown.chopped(1)))) << shown.toStdString();
        if (width == 800) {
            EXPECT_EQ(shown, pos);
        }
    }
}
