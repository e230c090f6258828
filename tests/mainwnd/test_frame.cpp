// The main frame in the started application: creation and the default
// layout, the two pane layouts, the bar commands, the language, the stored
// placement, full screen, attaching a project with its rollback, the
// connection watch on a closed link and on a link to the simulator,
// flashing from another thread, the menu loop, the closing order and the
// next start.
#include "app/StrandworkApp.h"
#include "link/linkobj/olnk_link.h"
#include "link/ui/ConnectionErrorDlg.h"
#include "mainwnd/AppBar.h"
#include "mainwnd/MainFrame.h"
#include "platform/sys/CodePage.h"
#include "platform/sys/Registry.h"
#include "platform/ui/Menu.h"
#include "platform/ui/Messages.h"
#include "platform/ui/Prompt.h"
#include "platform/ui/StatusBar.h"
#include "projectui/KXPExplorerView.h"
#include "projectui/StrandworkDoc.h"
#include "res/CommandIds.h"
#include "res/Resources.h"
#include "tests/mainwnd/mainwnd_env.h"
#include "tests/support/link/LinkTestText.h"
#include "tests/support/platform/PtyPair.h"
#include "tests/support/ui/UiTest.h"
#include "tools/cssim/cssim.h"
#include "uilib/KVTDocking.h"
#include "uilib/KVTDrawingData.h"
#include "uilib/KVTFrameHelper.h"
#include "uilib/KVTMenuBar.h"
#include "uilib/KVTPopupMenu.h"
#include "uilib/KVTToolBar.h"
#include "uilib/KVTToolbarButton.h"
#include "uilib/KVTToolbarCustomize.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScreen>

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

using namespace mainwndtest;
using namespace testsupport::ui;

namespace {

const char16_t kAppWindow[] = u"AppWindow";

class Frame : public RegistryTest
{
protected:
    std::unique_ptr<CStrandworkApp> app;

    void SetUp() override { ::setenv("XDG_STATE_HOME", (dir / "state").c_str(), 1); }
    void TearDown() override
    {
        CProjectExplorerBar::SetViewClass(nullptr);
        app.reset();
        res::UnloadLanguage();
        ::unsetenv("XDG_STATE_HOME");
        RegistryTest::TearDown();
    }
    // Starts the application on a copy of the build fixture's project.
    bool Start(bool withProject = true)
    {
        const std::filesystem::path src = std::filesystem::path(std::getenv("SW_FIXTURES")) / "build" / "ok";
        std::filesystem::copy(src, dir.Path(), std::filesystem::copy_options::recursive);
        dir.Write("a.txt", "one\r\n");
        app = std::make_unique<CStrandworkApp>();
        app->SetArguments({QString::fromStdString(withProject ? dir / "Lis.kxp" : dir / "a.txt")});
        if (!app->InitInstance())
            return false;
        QApplication::processEvents();
        return frame() != nullptr;
    }
    CMainFrame* frame() const { return app->MainFrame(); }
    std::pair<uint32_t, int> Where(ui::ControlBar* bar) const
    {
        const uint32_t site = bar->GetDockSiteId();
        CKVTToolDockBar* s = frame()->Helper().Site(site);
        return {site, s ? s->RowAndPos(bar).first : -1};
    }
};

} // namespace

TEST_F(Frame, AnEmptyStoreGivesTheDefaultLayoutAndTheNormalPanes)
{
    ASSERT_TRUE(Start());
    CMainFrame* f = frame();
    ASSERT_NE(f->GetMenuBar(), nullptr);
    // Wide enough for both toolbars in one row.
    f->resize(1200, 800);
    QApplication::processEvents();
    ui::SendCommand(ID_VIEW_DEFAULT_LAYOUT);
    // The menu bar's row, then the toolbars' row.
    const auto menu = Where(f->GetMenuBar());
    const auto mainBar = Where(f->GetMainToolBar());
    EXPECT_EQ(menu.first, uint32_t(ui::DOCKBAR_TOP));
    EXPECT_EQ(mainBar.first, uint32_t(ui::DOCKBAR_TOP));
    EXPECT_EQ(mainBar.second, menu.second + 1);
    EXPECT_EQ(Where(f->GetDebugToolBar()), mainBar);
    EXPECT_EQ(f->GetMainToolBar()->windowTitle(), QStringLiteral("Hlavní"));
    EXPECT_EQ(f->GetDebugToolBar()->windowTitle(), QStringLiteral("Ladění"));
    // Explorer left, output and debug bar in one bottom row, the connection
    // bar hidden.
    EXPECT_EQ(Where(f->ExplorerBar()).first, uint32_t(ui::DOCKBAR_LEFT));
    EXPECT_EQ(Where(f->OutputBar()).first, uint32_t(ui::DOCKBAR_BOTTOM));
    EXPECT_EQ(Where(f->DebugBar()), Where(f->OutputBar()));
    EXPECT_FALSE(f->ConInfoBar()->IsVisible());
    for (CAppBar* bar : std::initializer_list<CAppBar*>{f->ExplorerBar(), f->DebugBar(), f->OutputBar(), f->ConInfoBar()})
        EXPECT_TRUE(bar->IsDockable());
    ASSERT_NE(f->GetOutputCtrl(), nullptr);
    // The explorer shows the project.
    EXPECT_EQ(f->AttachedProject(), app->GetProjectDoc());
    EXPECT_NE(f->ExplorerBar()->View(), nullptr);
    EXPECT_TRUE(f->IsWatchRunning());

    // The panes: the normal layout, the editor layout, and back; every
    // switch clears the icons.
    ui::StatusBar* status = f->GetStatusBar();
    ASSERT_NE(status, nullptr);
    EXPECT_EQ(status->PaneCount(), 6);
    EXPECT_EQ(status->GetItemID(5), 0xE707u);
    status->SetPaneIcon(5, QIcon(res::Path(QStringLiteral("icons/556.svg"))));
    EXPECT_TRUE(status->HasPaneIcon(5));
    f->SetEditorIndicators(true);
    EXPECT_EQ(status->PaneCount(), 11);
    EXPECT_EQ(status->GetItemID(1), 0x940Fu);
    EXPECT_EQ(status->GetItemID(4), ID_EDT_INDICATOR_CRLF);
    EXPECT_EQ(status->GetItemID(5), ID_EDT_INDICATOR_ENCODING);
    EXPECT_EQ(status->GetItemID(10), 0xE707u);
    status->SetPaneIcon(10, QIcon(res::Path(QStringLiteral("icons/556.svg"))));
    f->SetEditorIndicators(true);
    EXPECT_FALSE(status->HasPaneIcon(10));
    f->SetEditorIndicators(false);
    EXPECT_EQ(status->PaneCount(), 6);
    // A pane is as wide as its text: the PLC pane's 30 characters.
    auto* plc = status->findChild<QWidget*>(QStringLiteral("pane59144"));
    ASSERT_NE(plc, nullptr);
    EXPECT_GE(plc->sizeHint().width(), plc->fontMetrics().horizontalAdvance(QStringLiteral("PLC: -")) + 20);
}

TEST_F(Frame, TheViewCommandsToggleTheirBars)
{
    ASSERT_TRUE(Start());
    CMainFrame* f = frame();
    f->show();
    const std::pair<uint32_t, ui::ControlBar*> bars[] = {{ID_VIEW_EXPLORER, f->ExplorerBar()},
                                                         {ID_VIEW_DEBUG_TOOLBAR, f->GetDebugToolBar()},
                                                         {ID_VIEW_OUTPUT, f->OutputBar()},
                                                         {ID_VIEW_WATCH, f->DebugBar()},
                                                         {ID_VIEW_CONINFO, f->ConInfoBar()}};
    for (const auto& [id, bar] : bars) {
        const bool before = bar->IsVisible();
        ui::SendCommand(id);
        EXPECT_NE(bar->IsVisible(), before) << id;
        ui::SendCommand(id);
        EXPECT_EQ(bar->IsVisible(), before) << id;
    }
    // The toolbar context menu: both toolbars, the four bar commands, and
    // the checks follow the bars.
    auto items = f->ToolbarMenuItems();
    ASSERT_EQ(items.size(), 6u);
    EXPECT_EQ(items[0].id, 0xE800u);
    EXPECT_EQ(items[1].id, 0xE824u);
    EXPECT_EQ(items[2].id, ID_VIEW_EXPLORER);
    EXPECT_EQ(items[5].id, ID_VIEW_CONINFO);
    EXPECT_FALSE(items[5].checked);
    ui::SendCommand(0xE824);
    EXPECT_FALSE(f->GetDebugToolBar()->IsVisible());
    EXPECT_FALSE(f->ToolbarMenuItems()[1].checked);
    // The default layout shows nothing hidden but puts the bars back.
    f->FloatControlBar(f->ExplorerBar(), QPoint(300, 300), ui::CBRS_ALIGN_TOP);
    ui::SendCommand(ID_VIEW_DEFAULT_LAYOUT);
    EXPECT_EQ(Where(f->ExplorerBar()).first, uint32_t(ui::DOCKBAR_LEFT));
}

namespace {
// The state of a language command after its update handler.
std::pair<bool, int> CommandState(uint32_t id)
{
    ui::CmdUI cmd(id);
    ui::UpdateCommandUI(cmd);
    return {cmd.Enabled(), cmd.Checked()};
}
} // namespace

TEST_F(Frame, ALanguageIsOfferedOnlyWithItsLanguageFile)
{
    ASSERT_TRUE(Start(false));
    app->SetProgramPath(QString::fromStdString(dir / "bin/strandwork"));
    // No language file: the default only, and a command delivered anyway
    // asks nothing and changes nothing.
    EXPECT_EQ(CommandState(ID_LANGUAGE_DEFAULT), std::make_pair(true, 1));
    EXPECT_EQ(CommandState(ID_LANGUAGE_CSY), std::make_pair(false, 0));
    EXPECT_EQ(CommandState(ID_LANGUAGE_ENU), std::make_pair(false, 0));
    {
        ui::ScriptedPrompts none;
        ui::SendCommand(ID_LANGUAGE_ENU);
        EXPECT_TRUE(none.Asked().empty());
    }
    EXPECT_FALSE(app->ResetWorkspace());
    // A file of that name where the start-up looks for it offers the
    // language; a folder of that name does not.
    dir.Write("bin/strandworkENU.rcc", "dummy");
    std::filesystem::create_directories(dir / "bin/strandworkCSY.rcc");
    EXPECT_EQ(CommandState(ID_LANGUAGE_ENU), std::make_pair(true, 0));
    EXPECT_EQ(CommandState(ID_LANGUAGE_CSY), std::make_pair(false, 0));
    {
        ui::ScriptedPrompts yes({ui::IDYES, ui::IDOK});
        ui::SendCommand(ID_LANGUAGE_ENU);
        EXPECT_EQ(yes.Asked().size(), 2u);
    }
    EXPECT_EQ(CommandState(ID_LANGUAGE_ENU), std::make_pair(true, 1));
    EXPECT_EQ(CommandState(ID_LANGUAGE_DEFAULT), std::make_pair(true, 0));
    EXPECT_TRUE(app->ResetWorkspace());
}

TEST_F(Frame, TheLanguageIsStoredOnlyOnYes)
{
    ASSERT_TRUE(Start(false));
    app->SetProgramPath(QString::fromStdString(dir / "strandwork"));
    dir.Write("strandworkCSY.rcc", "dummy");
    {
        ui::ScriptedPrompts no({ui::IDNO});
        ui::SendCommand(ID_LANGUAGE_CSY);
        ASSERT_EQ(no.Asked().size(), 1u);
    }
    EXPECT_TRUE(frame()->Settings().Language.empty() || frame()->Settings().Language == u"Default");
    EXPECT_FALSE(app->ResetWorkspace());
    {
        ui::ScriptedPrompts yes({ui::IDYES, ui::IDOK});
        ui::SendCommand(ID_LANGUAGE_CSY);
        EXPECT_EQ(yes.Asked().size(), 2u);
    }
    EXPECT_EQ(frame()->Settings().Language, u"CSY");
    EXPECT_EQ(sys::Profile::GetString(u"Options", u"Language"), u"CSY");
    // In the settings file at once, as another instance reads it.
    {
        QFile f(QString::fromStdString(sys::RegistryStore::FilePath()));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << "the settings file was not written";
        const QByteArray bytes = f.readAll();
        EXPECT_TRUE(QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData()), bytes.size() / 2)
                        .contains(QStringLiteral("\"Language\"=\"CSY\"")));
    }
    EXPECT_TRUE(app->ResetWorkspace());
    {
        // Czech again asks nothing; the default asks.
        ui::ScriptedPrompts again({ui::IDNO});
        ui::SendCommand(ID_LANGUAGE_CSY);
        EXPECT_TRUE(again.Asked().empty());
        ui::SendCommand(ID_LANGUAGE_DEFAULT);
        EXPECT_EQ(again.Asked().size(), 1u);
    }
}

TEST_F(Frame, AStoredPlacementOpensShownAndClippedAndIsWrittenOnClose)
{
    QScreen* screen = QGuiApplication::primaryScreen();
    ASSERT_NE(screen, nullptr);
    const QRect avail = screen->availableGeometry();
    sys::Profile::WriteInt(kAppWindow, u"ShowCmd", 2);
    sys::Profile::WriteInt(kAppWindow, u"Left", avail.left() + 50);
    sys::Profile::WriteInt(kAppWindow, u"Top", avail.top() + 40);
    sys::Profile::WriteInt(kAppWindow, u"Right", avail.right() + 500); // beyond the screen
    sys::Profile::WriteInt(kAppWindow, u"Bottom", avail.top() + 440);
    ASSERT_TRUE(Start(false));
    CMainFrame* f = frame();
    EXPECT_FALSE(f->isMinimized());
    EXPECT_EQ(f->geometry().topLeft(), QPoint(avail.left() + 50, avail.top() + 40));
    EXPECT_EQ(f->geometry().height(), 400);
    EXPECT_LE(f->geometry().right(), avail.right());

    f->setGeometry(avail.left() + 60, avail.top() + 70, 640, 480);
    QApplication::processEvents();
    EXPECT_TRUE(f->close());
    EXPECT_EQ(sys::Profile::GetInt(kAppWindow, u"ShowCmd", -1), 1);
    EXPECT_EQ(sys::Profile::GetInt(kAppWindow, u"Left", -1), avail.left() + 60);
    EXPECT_EQ(sys::Profile::GetInt(kAppWindow, u"Bottom", -1), avail.top() + 70 + 480);
    // The docking bars' own state was saved too.
    EXPECT_NE(sys::Profile::GetInt(u"EdtLib\\IDE\\OutputBar", u"status", 0), 0);
}

TEST_F(Frame, APlacementStoredOnALargerScreenOpensWithTheWholeWindowOnTheScreen)
{
    // Saved on a screen larger than this one: clipped to the screen, the
    // window's inside would fill it and its frame would run off it.
    const QRect avail = QGuiApplication::primaryScreen()->availableGeometry();
    sys::Profile::WriteInt(kAppWindow, u"ShowCmd", 1);
    sys::Profile::WriteInt(kAppWindow, u"Left", avail.left());
    sys::Profile::WriteInt(kAppWindow, u"Top", avail.top());
    sys::Profile::WriteInt(kAppWindow, u"Right", avail.left() + avail.width() + 480);
    sys::Profile::WriteInt(kAppWindow, u"Bottom", avail.top() + avail.height() + 200);
    ASSERT_TRUE(Start());
    CMainFrame* f = frame();
    f->SetEditorIndicators(true);
    EXPECT_TRUE(WaitFor([&] { return avail.contains(f->frameGeometry()); }))
        << "frame " << f->frameGeometry().width() << "x" << f->frameGeometry().height() << " on " << avail.width() << "x"
        << avail.height();
    EXPECT_GT(f->frameGeometry().width(), f->width()); // the window has a frame here
    // Nothing the frame lays out asks for more than the screen.
    EXPECT_LE(f->minimumSizeHint().width(), avail.width());
    EXPECT_LE(f->minimumSizeHint().height(), avail.height());

    // Narrower than the menus: they wrap into more rows, every one whole
    // inside the menu bar, none over another.
    CKVTMenuBar* menu = f->GetMenuBar();
    ASSERT_NE(menu, nullptr);
    const int oneRow = menu->height();
    f->resize(220, 400);
    QApplication::processEvents();
    EXPECT_TRUE(WaitFor([&] { return menu->height() >= 2 * oneRow; })) << menu->height();
    std::vector<QRect> placed;
    for (int i = menu->FirstItem(); i < menu->ItemEnd(); ++i) {
        const QRect r = menu->GetButton(i)->GetButtonRect();
        if (menu->GetButton(i)->IsSeparator())
            continue;
        EXPECT_TRUE(menu->rect().contains(r)) << i;
        for (const QRect& other : placed)
            EXPECT_FALSE(other.intersects(r)) << i;
        placed.push_back(r);
    }
}

TEST_F(Frame, APlacementWhollyOffScreenKeepsTheDefault)
{
    sys::Profile::WriteInt(kAppWindow, u"ShowCmd", 1);
    sys::Profile::WriteInt(kAppWindow, u"Left", -30000);
    sys::Profile::WriteInt(kAppWindow, u"Top", -30000);
    sys::Profile::WriteInt(kAppWindow, u"Right", -29000);
    sys::Profile::WriteInt(kAppWindow, u"Bottom", -29000);
    sys::Profile::WriteString(u"KVTWorkspace\\ControlBars-Summary", u"Bars", u"garbage");
    ASSERT_TRUE(Start(false));
    const QRect avail = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_TRUE(avail.intersects(frame()->geometry()));
    // The garbage count gives the default layout.
    EXPECT_EQ(Where(frame()->ExplorerBar()).first, uint32_t(ui::DOCKBAR_LEFT));
}

TEST_F(Frame, FullScreenNeedsAChildAndClosingLeavesIt)
{
    ASSERT_TRUE(Start(false));
    CMainFrame* f = frame();
    f->show();
    // Without a document window nothing happens.
    const auto children = f->MdiArea()->subWindowList();
    ASSERT_EQ(children.size(), 1);
    children.front()->hide();
    f->MdiArea()->setActiveSubWindow(nullptr);
    children.front()->close();
    QApplication::processEvents();
    if (f->MdiArea()->subWindowList().isEmpty()) {
        ui::SendCommand(ID_VIEW_FULLSCREEN);
        EXPECT_FALSE(f->IsFullScreenMode());
    }
    // With one it toggles; the full-screen toolbar has its own id.
    ASSERT_NE(app->OpenDocumentFile(QString::fromStdString(dir / "a.txt")), nullptr);
    QApplication::processEvents();
    ui::SendCommand(ID_VIEW_FULLSCREEN);
    ASSERT_TRUE(f->IsFullScreenMode());
    ASSERT_NE(f->GetFullScreenToolBar(), nullptr);
    EXPECT_EQ(f->GetFullScreenToolBar()->GetDlgCtrlID(), 0xE825u);
    EXPECT_TRUE(f->GetFullScreenToolBar()->IsLocked());
    EXPECT_FALSE(f->GetStatusBar()->isVisible());
    // Closing in full screen leaves it first; the main toolbar keeps its
    // own buttons.
    const int mainButtons = f->GetMainToolBar()->Items().Count();
    EXPECT_TRUE(f->close());
    EXPECT_FALSE(f->IsFullScreenMode());
    EXPECT_EQ(f->GetFullScreenToolBar(), nullptr);
    EXPECT_EQ(f->GetMainToolBar()->Items().Count(), mainButtons);
}

TEST_F(Frame, AFailingExplorerRollsTheAttachBack)
{
    ASSERT_TRUE(Start(false));
    CMainFrame* f = frame();
    CProjectExplorerBar::SetViewClass([]() -> ui::View* { return nullptr; });
    CStrandworkDoc doc;
    EXPECT_FALSE(f->AttachProject(&doc));
    EXPECT_EQ(f->AttachedProject(), nullptr);
    EXPECT_EQ(f->DebugBar()->View(), nullptr);
    EXPECT_FALSE(f->IsWatchRunning());
    CProjectExplorerBar::SetViewClass([] { return new CKXPExplorerView; });
    // Attached with a closed link, a tick clears the icon and hides the
    // dialog; detaching stops the watch.
    ASSERT_TRUE(f->AttachProject(&doc));
    EXPECT_NE(f->DebugBar()->View(), nullptr);
    ui::StatusBar* status = f->GetStatusBar();
    const int link = status->CommandToIndex(0xE707);
    status->SetPaneIcon(link, QIcon(res::Path(QStringLiteral("icons/556.svg"))));
    f->OnTimerTick();
    EXPECT_FALSE(status->HasPaneIcon(link));
    EXPECT_TRUE(f->DetachProject());
    EXPECT_FALSE(f->IsWatchRunning());
    EXPECT_EQ(f->DebugBar()->View(), nullptr);
}

TEST_F(Frame, FlashingFromAnotherThreadNeverBlocksAndTheSheetClosesFirst)
{
    ASSERT_TRUE(Start(false));
    CMainFrame* f = frame();
    f->show();
    std::thread worker([f] { f->FlashUntilFocus(); });
    worker.join(); // returns at once, whatever the focus
    QApplication::processEvents();
    f->FlashUntilFocus();

    // In the menu loop while a popup of the frame is open.
    EXPECT_FALSE(f->IsInMenuLoop());
    auto* menu = new ui::Menu;
    menu->AppendItem(ID_VIEW_EXPLORER, QStringLiteral("&Projekt"));
    auto* popup = new CKVTPopupMenu;
    ASSERT_TRUE(popup->Create(f, 100, 100, menu));
    QApplication::processEvents();
    EXPECT_TRUE(f->IsInMenuLoop());
    popup->CloseChain();
    QApplication::processEvents();
    EXPECT_FALSE(f->IsInMenuLoop());

    // The customisation sheet is closed before the workspace is saved.
    ui::SendCommand(ID_VIEW_CUSTOMIZE);
    ASSERT_NE(CKVTFrameHelper::CustomizeSheet(), nullptr);
    EXPECT_TRUE(f->close());
    QApplication::processEvents();
    EXPECT_EQ(CKVTFrameHelper::CustomizeSheet(), nullptr);
    EXPECT_FALSE(CKVTToolbarShared::IsCustomizeMode());
}

TEST_F(Frame, TheNextStartFindsTheBarsWhereTheyWereLeft)
{
    ASSERT_TRUE(Start(false));
    CMainFrame* f = frame();
    f->show();
    ui::SendCommand(ID_VIEW_DEBUG_TOOLBAR); // the debug toolbar hidden
    ui::SendCommand(ID_VIEW_CONINFO); // the connection bar shown
    f->DockControlBar(f->ConInfoBar(), ui::DOCKBAR_RIGHT);
    ASSERT_TRUE(f->close());
    app.reset();
    EXPECT_NE(sys::Profile::GetInt(u"KVTWorkspace\\ControlBars-Summary", u"Bars", 0), 0);

    app = std::make_unique<CStrandworkApp>();
    app->SetArguments({QString::fromStdString(dir / "a.txt")});
    ASSERT_TRUE(app->InitInstance());
    QApplication::processEvents();
    f = frame();
    EXPECT_FALSE(f->GetDebugToolBar()->IsVisible());
    EXPECT_TRUE(f->ConInfoBar()->IsVisible());
    EXPECT_EQ(f->ConInfoBar()->GetDockSiteId(), uint32_t(ui::DOCKBAR_RIGHT));
    EXPECT_EQ(Where(f->ExplorerBar()).first, uint32_t(ui::DOCKBAR_LEFT));
    EXPECT_EQ(Where(f->GetMainToolBar()).first, uint32_t(ui::DOCKBAR_TOP));
}

TEST_F(Frame, TheWatchOfAProjectLinkedToTheSimulator)
{
    ASSERT_TRUE(Start(false));
    CMainFrame* f = frame();
    f->show();
    cssim::Config cfg;
    const uint16_t ours = testsupport::PickFreeUdpPort();
    cfg.udpLocalPort = testsupport::PickFreeUdpPort();
    cfg.peerPort = ours;
    cssim::Simulator sim(cfg);
    ASSERT_TRUE(sim.start());
    sim.plc().setFlags(0x06);
    {
        CStrandworkDoc doc;
        ASSERT_TRUE(f->AttachProject(&doc));
        COlnkLink& link = doc.Link();
        const std::string conn = testsupport::UdpLoopbackConn(ours, sim.publicPort());
        ASSERT_EQ(link.Open(333, sys::Utf8ToUtf16Lenient(conn).c_str(), 1000), 1);
        for (uint16_t id : {0, 1, 2, 258})
            ASSERT_EQ(link.InitInterface(id), 1);
        ASSERT_EQ(link.Start(), 1);
        ASSERT_TRUE(WaitFor([&] { return link.IsEstablished(); }, 20000, "the link established"));
        ui::StatusBar* status = f->GetStatusBar();
        const int pane = status->CommandToIndex(0xE707);
        // The first tick samples; an idle link then shows its icon.
        f->OnTimerTick();
        EXPECT_FALSE(status->HasPaneIcon(pane));
        for (int i = 0; i < 4 && !status->HasPaneIcon(pane); ++i) {
            // Time is the subject: the ticks judge the link by what
            // changed between them, as the frame's timer does.
            PumpEvents(600);
            f->OnTimerTick();
        }
        EXPECT_TRUE(status->HasPaneIcon(pane));
        EXPECT_TRUE(!f->ConnectionErrorDlg()->Window() || !f->ConnectionErrorDlg()->Window()->isVisible());
        // The PLC pane once the link holds a status.
        auto* pl = static_cast<IOlnkPL*>(link.Query(OLNK_IID_PL));
        ASSERT_NE(pl, nullptr);
        QObject target;
        const auto h = ui::RegisterMessageTarget(&target, [](uint32_t, uintptr_t, intptr_t, ui::MessageRecord*) {
            return intptr_t(0);
        });
        EXPECT_EQ(pl->GetStatus(h, 0), 1);
        ASSERT_TRUE(WaitFor(
            [&] {
                PlcStatusRecord rec{};
                return link.GetLastStatus(&rec) && rec.length >= 10;
            },
            10000, "a status"));
        ui::IdleUpdater::Instance().RunPass();
        EXPECT_EQ(status->GetPaneText(status->CommandToIndex(0xE708)), QStringLiteral("PLC: běží"));
        ui::UnregisterMessageTarget(h);
        EXPECT_TRUE(f->DetachProject());
        EXPECT_FALSE(status->HasPaneIcon(pane));
        link.Close();
    }
    PumpEvents(20);
}

namespace {
// Where a bar is and how big it shows: the site, row and position docked,
// or the floating frame's rectangle.
struct BarPlace
{
    bool visible = false;
    uint32_t site = 0;
    int row = -1, pos = -1;
    QRect floating;
    QSize size;
    bool operator==(const BarPlace&) const = default;
};

std::ostream& operator<<(std::ostream& os, const BarPlace& p)
{
    return os << "visible " << p.visible << " site " << p.site << " row " << p.row << " pos "
              << p.pos << " floating " << p.floating.x() << "," << p.floating.y() << " "
              << p.floating.width() << "x" << p.floating.height() << " size " << p.size.width()
              << "x" << p.size.height();
}

BarPlace PlaceOf(CMainFrame* f, ui::ControlBar* bar)
{
    BarPlace p;
    p.visible = bar->IsVisible();
    if (CKVTMiniDockFrameWnd* mini = f->Helper().MiniFrameOf(bar)) {
        p.floating = mini->geometry();
    } else {
        p.site = bar->GetDockSiteId();
        if (CKVTToolDockBar* s = f->Helper().Site(p.site)) {
            const auto [row, pos] = s->RowAndPos(bar);
            p.row = row;
            p.pos = pos;
        }
    }
    p.size = bar->size();
    return p;
}
} // namespace

// The layout shown at exit comes back: docked bars in their rows, floating
// bars at their places with their sizes; a floating bar left off every
// screen comes back onto one.
TEST_F(Frame, TheDockLayoutShownAtExitComesBack)
{
    ASSERT_TRUE(Start(false));
    CMainFrame* f = frame();
    f->setGeometry(20, 20, 760, 540);
    f->show();
    QApplication::processEvents();
    // The output bar floats with a size of its own, the debug bar docks on
    // the right, the connection bar floats far off the screens.
    f->FloatControlBar(f->OutputBar(), QPoint(300, 250), ui::CBRS_ALIGN_TOP);
    f->OutputBar()->CalcDynamicLayout(420, 0);
    f->OutputBar()->CalcDynamicLayout(170, ui::LM_LENGTHY);
    f->Helper().MiniFrameOf(f->OutputBar())->RecalcLayout();
    if (!f->DebugBar()->IsVisible())
        ui::SendCommand(ID_VIEW_WATCH);
    f->DockControlBar(f->DebugBar(), ui::DOCKBAR_RIGHT);
    if (!f->ConInfoBar()->IsVisible())
        ui::SendCommand(ID_VIEW_CONINFO);
    f->FloatControlBar(f->ConInfoBar(), QPoint(-20000, -20000), ui::CBRS_ALIGN_TOP);
    QApplication::processEvents();
    ui::ControlBar* const before[] = {f->GetMenuBar(),  f->GetMainToolBar(), f->GetDebugToolBar(),
                                      f->ExplorerBar(), f->OutputBar(),      f->DebugBar()};
    std::vector<BarPlace> shown;
    for (ui::ControlBar* bar : before)
        shown.push_back(PlaceOf(f, bar));
    const QSize conInfoSize = PlaceOf(f, f->ConInfoBar()).floating.size();
    ASSERT_FALSE(shown[4].floating.isEmpty());
    ASSERT_TRUE(f->close());
    app.reset();

    app = std::make_unique<CStrandworkApp>();
    app->SetArguments({QString::fromStdString(dir / "a.txt")});
    ASSERT_TRUE(app->InitInstance());
    f = frame();
    f->show();
    QApplication::processEvents();
    ui::ControlBar* const after[] = {f->GetMenuBar(),  f->GetMainToolBar(), f->GetDebugToolBar(),
                                     f->ExplorerBar(), f->OutputBar(),      f->DebugBar()};
    for (size_t i = 0; i < shown.size(); ++i)
        EXPECT_EQ(PlaceOf(f, after[i]), shown[i]) << i;
    const BarPlace conInfo = PlaceOf(f, f->ConInfoBar());
    EXPECT_TRUE(conInfo.visible);
    EXPECT_EQ(conInfo.floating.size(), conInfoSize);
    bool onScreen = false;
    for (QScreen* s : QGuiApplication::screens())
        onScreen = onScreen || s->availableGeometry().contains(conInfo.floating);
    EXPECT_TRUE(onScreen) << conInfo;
}

// Sizes changed in the rows and a floating toolbar come back too.
TEST_F(Frame, DockedSizesAndAFloatingToolbarComeBack)
{
    ASSERT_TRUE(Start(false));
    CMainFrame* f = frame();
    f->showMaximized();
    QApplication::processEvents();
    if (!f->DebugBar()->IsVisible())
        ui::SendCommand(ID_VIEW_WATCH);
    f->ExplorerBar()->SetVertSize(QSize(260, 300));
    f->OutputBar()->SetHorzSize(QSize(420, 150));
    f->DebugBar()->SetHorzSize(QSize(300, 150));
    f->FloatControlBar(f->GetDebugToolBar(), QPoint(200, 300), ui::CBRS_ALIGN_TOP);
    f->RecalcLayout();
    QApplication::processEvents();
    ui::ControlBar* const before[] = {f->GetMainToolBar(), f->GetDebugToolBar(), f->ExplorerBar(),
                                      f->OutputBar(), f->DebugBar()};
    std::vector<BarPlace> shown;
    for (ui::ControlBar* bar : before)
        shown.push_back(PlaceOf(f, bar));
    ASSERT_TRUE(f->close());
    app.reset();

    app = std::make_unique<CStrandworkApp>();
    app->SetArguments({QString::fromStdString(dir / "a.txt")});
    ASSERT_TRUE(app->InitInstance());
    f = frame();
    f->show();
    QApplication::processEvents();
    ui::ControlBar* const after[] = {f->GetMainToolBar(), f->GetDebugToolBar(), f->ExplorerBar(),
                                     f->OutputBar(), f->DebugBar()};
    for (size_t i = 0; i < shown.size(); ++i)
        EXPECT_EQ(PlaceOf(f, after[i]), shown[i]) << i;
}

// Floating bars left where their caption cannot be grabbed (only a 48 x 20
// corner of the output bar's frame on the screen, the debug toolbar at a
// place of a wider screen, the connection bar half off the left edge) come
// back with the whole caption on a screen and their size kept.
TEST_F(Frame, FloatingBarsLeftOffScreenComeBackWithTheirWholeCaptionOnAScreen)
{
    ASSERT_TRUE(Start(false));
    CMainFrame* f = frame();
    f->setGeometry(20, 20, 760, 540);
    f->show();
    QApplication::processEvents();
    const QRect avail = QGuiApplication::primaryScreen()->availableGeometry();
    if (!f->ConInfoBar()->IsVisible())
        ui::SendCommand(ID_VIEW_CONINFO);
    f->FloatControlBar(f->OutputBar(), avail.bottomRight() - QPoint(47, 19), ui::CBRS_ALIGN_TOP);
    f->FloatControlBar(f->GetDebugToolBar(), QPoint(avail.right() - 60, avail.top() + 100), ui::CBRS_ALIGN_TOP);
    f->FloatControlBar(f->ConInfoBar(), QPoint(avail.left() - 150, avail.top() + 200), ui::CBRS_ALIGN_TOP);
    QApplication::processEvents();
    ui::ControlBar* const bars[] = {f->OutputBar(), f->GetDebugToolBar(), f->ConInfoBar()};
    std::vector<QSize> sizes;
    for (ui::ControlBar* bar : bars) {
        CKVTMiniDockFrameWnd* mini = f->Helper().MiniFrameOf(bar);
        ASSERT_NE(mini, nullptr);
        sizes.push_back(mini->size());
    }
    ASSERT_EQ(f->Helper().MiniFrameOf(f->OutputBar())->geometry().intersected(avail).size(), QSize(48, 20));
    ASSERT_TRUE(f->close());
    app.reset();

    app = std::make_unique<CStrandworkApp>();
    app->SetArguments({QString::fromStdString(dir / "a.txt")});
    ASSERT_TRUE(app->InitInstance());
    f = frame();
    f->show();
    QApplication::processEvents();
    ui::ControlBar* const again[] = {f->OutputBar(), f->GetDebugToolBar(), f->ConInfoBar()};
    for (size_t i = 0; i < std::size(again); ++i) {
        CKVTMiniDockFrameWnd* mini = f->Helper().MiniFrameOf(again[i]);
        ASSERT_NE(mini, nullptr) << i;
        EXPECT_TRUE(mini->isVisible()) << i;
        EXPECT_EQ(mini->size(), sizes[i]) << i;
        const QRect caption(mini->pos(), QSize(mini->width(), CKVTMiniDockFrameWnd::kBorder + CKVTMiniDockFrameWnd::kCaption));
        bool whole = false;
        for (QScreen* screen : QGuiApplication::screens())
            whole = whole || screen->availableGeometry().contains(caption);
        EXPECT_TRUE(whole) << i << ": caption at " << caption.x() << "," << caption.y() << " " << caption.width()
                           << "x" << caption.height();
    }
}

// Large icons wrap the debug toolbar into a row of its own in a frame too
// narrow for both toolbars at twice their size; switched off again, both
// toolbars are back in the row and at the places they had.
TEST_F(Frame, LargeIconsSwitchedOffGiveTheToolbarsTheirRowsBack)
{
    ASSERT_TRUE(Start(false));
    CMainFrame* f = frame();
    f->setGeometry(20, 20, 1200, 700);
    f->show();
    QApplication::processEvents();
    ui::SendCommand(ID_VIEW_DEFAULT_LAYOUT);
    QApplication::processEvents();
    const int both = f->GetMainToolBar()->width() + f->GetDebugToolBar()->width();
    f->resize(both + 60, 700);
    QApplication::processEvents();
    CKVTToolDockBar* top = f->Helper().Site(ui::DOCKBAR_TOP);
    ASSERT_NE(top, nullptr);
    const int rows = top->Rows().RowCount();
    const BarPlace mainBefore = PlaceOf(f, f->GetMainToolBar());
    const BarPlace debugBefore = PlaceOf(f, f->GetDebugToolBar());
    ASSERT_EQ(debugBefore.row, mainBefore.row);
    const int siteHeight = top->height();

    CKVTToolbarShared::SetLargeIcons(true);
    QApplication::processEvents();
    EXPECT_EQ(top->Rows().RowCount(), rows + 1);
    EXPECT_EQ(PlaceOf(f, f->GetDebugToolBar()).row, mainBefore.row + 1);
    CKVTToolbarShared::SetLargeIcons(false);
    QApplication::processEvents();
    EXPECT_EQ(top->Rows().RowCount(), rows);
    EXPECT_EQ(PlaceOf(f, f->GetMainToolBar()), mainBefore);
    EXPECT_EQ(PlaceOf(f, f->GetDebugToolBar()), debugBefore);
    EXPECT_EQ(top->height(), siteHeight);
}

// The bar commands of the Zobrazit menu carry images: a shown bar's item
// (checked) draws its image framed on the checked dither, so that it
// stands out from the same item unchecked.
TEST_F(Frame, ACheckedMenuItemWithAnImageShowsItFramed)
{
    ASSERT_TRUE(Start(false));
    CMainFrame* f = frame();
    f->show();
    QApplication::processEvents();
    const QColor light = CKVTDrawingData::Instance().Highlight();
    // The number of pixels of the light colour in the item's image column.
    auto lightPixels = [&](bool shown, bool& checked) {
        if (f->ExplorerBar()->IsVisible() != shown)
            ui::SendCommand(ID_VIEW_EXPLORER);
        auto* menu = new ui::Menu;
        menu->AppendItem(ID_VIEW_EXPLORER, QStringLiteral("&Projekt"));
        auto* popup = new CKVTPopupMenu;
        EXPECT_TRUE(popup->Create(f, 100, 100, menu));
        QApplication::processEvents();
        CKVTPopupMenuBar* bar = popup->GetMenuBar();
        checked = (bar->Items().Style(0) & TBBS_CHECKED) != 0;
        const QRect item = bar->GetItemRect(0);
        const QImage shot = bar->grab().toImage();
        const int column = CKVTToolbarShared::GetDefaultButtonSize().width() + 6;
        int n = 0;
        for (int y = item.top(); y <= item.bottom(); ++y)
            for (int x = item.left(); x < item.left() + column; ++x)
                n += QColor(shot.pixel(x, y)).rgb() == light.rgb();
        popup->CloseChain();
        QApplication::processEvents();
        return n;
    };
    bool checked = false, unchecked = true;
    const int on = lightPixels(true, checked);
    const int off = lightPixels(false, unchecked);
    EXPECT_TRUE(checked);
    EXPECT_FALSE(unchecked);
    EXPECT_GE(on, off + 80) << on << " " << off;
}
