// Closing the main window ends the program's event loop whatever floats:
// each kind of bar (output, project explorer, watch bar, connection
// monitor, a library toolbar) floats, the main window closes, the loop
// ends, and the store holds the floating place, which the next start
// shows again.
#include "app/StrandworkApp.h"
#include "mainwnd/AppBar.h"
#include "mainwnd/MainFrame.h"
#include "platform/sys/Registry.h"
#include "platform/ui/Command.h"
#include "projectui/KXPExplorerView.h"
#include "res/CommandIds.h"
#include "res/Resources.h"
#include "tests/mainwnd/mainwnd_env.h"
#include "tests/support/ui/UiTest.h"
#include "uilib/KVTDocking.h"
#include "uilib/KVTFrameHelper.h"
#include "uilib/KVTToolBar.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>

using namespace mainwndtest;
using namespace testsupport::ui;

namespace {

enum class Kind { Output, Explorer, Watch, ConInfo, Toolbar, MenuBar };

const char* Name(Kind k)
{
    switch (k) {
    case Kind::Output:
        return "output";
    case Kind::Explorer:
        return "explorer";
    case Kind::Watch:
        return "watch";
    case Kind::ConInfo:
        return "connection monitor";
    case Kind::Toolbar:
        return "debug toolbar";
    case Kind::MenuBar:
        return "menu bar";
    }
    return "?";
}

class Exit : public RegistryTest
{
protected:
    std::unique_ptr<CStrandworkApp> app;

    void SetUp() override
    {
        ::setenv("XDG_STATE_HOME", (dir / "state").c_str(), 1);
        const std::filesystem::path src = std::filesystem::path(std::getenv("SW_FIXTURES")) / "build" / "ok";
        std::filesystem::copy(src, dir.Path(), std::filesystem::copy_options::recursive);
    }
    void TearDown() override
    {
        CProjectExplorerBar::SetViewClass(nullptr);
        app.reset();
        res::UnloadLanguage();
        ::unsetenv("XDG_STATE_HOME");
        RegistryTest::TearDown();
    }
    CMainFrame* Start()
    {
        app = std::make_unique<CStrandworkApp>();
        app->SetArguments({QString::fromStdString(dir / "Lis.kxp")});
        if (!app->InitInstance())
            return nullptr;
        CMainFrame* f = app->MainFrame();
        f->setGeometry(20, 20, 900, 640);
        f->show();
        QApplication::processEvents();
        return f;
    }
    static ui::ControlBar* BarOf(CMainFrame* f, Kind k)
    {
        switch (k) {
        case Kind::Output:
            return f->OutputBar();
        case Kind::Explorer:
            return f->ExplorerBar();
        case Kind::Watch:
            return f->DebugBar();
        case Kind::ConInfo:
            return f->ConInfoBar();
        case Kind::Toolbar:
            return f->GetDebugToolBar();
        case Kind::MenuBar:
            return f->GetMenuBar();
        }
        return nullptr;
    }
    // Runs the program's event loop until it ends; -1 when it was still
    // running after 10 s (then it is ended from here).
    static int RunLoop(const std::function<void()>& first)
    {
        bool timedOut = false;
        QTimer::singleShot(0, first);
        QTimer watchdog;
        watchdog.setSingleShot(true);
        QObject::connect(&watchdog, &QTimer::timeout, [&timedOut] {
            timedOut = true;
            QCoreApplication::exit(-1);
        });
        watchdog.start(10000);
        const int rc = QApplication::exec();
        return timedOut ? -1 : rc;
    }
};

class ExitTest : public Exit, public ::testing::WithParamInterface<Kind>
{
};

} // namespace

TEST_P(ExitTest, ClosingTheMainWindowEndsTheLoopAndKeepsTheFloatingPlace)
{
    const Kind kind = GetParam();
    CMainFrame* f = Start();
    ASSERT_NE(f, nullptr);
    ui::ControlBar* bar = BarOf(f, kind);
    if (!bar->IsVisible())
        f->ShowControlBar(bar, true, false);
    const QPoint at(30, 50);
    f->FloatControlBar(bar, at, ui::CBRS_ALIGN_TOP);
    QApplication::processEvents();
    CKVTMiniDockFrameWnd* mini = f->Helper().MiniFrameOf(bar);
    ASSERT_NE(mini, nullptr);
    ASSERT_TRUE(mini->isVisible());
    const QPoint placed = mini->pos();

    EXPECT_EQ(RunLoop([f] { f->close(); }), 0) << Name(kind);
    EXPECT_FALSE(f->isVisible());
    app->ExitInstance();

    // The store holds the floating place ...
    if (auto* appBar = dynamic_cast<CAppBar*>(bar)) {
        const std::u16string section = u"EdtLib\\IDE\\" + appBar->GetProfileName().toStdU16String();
        EXPECT_EQ(sys::Profile::GetInt(section, u"floatLeft", -2), placed.x()) << Name(kind);
        EXPECT_EQ(sys::Profile::GetInt(section, u"floatTop", -2), placed.y()) << Name(kind);
        EXPECT_EQ(sys::Profile::GetInt(section, u"status", 0) & 0xE81F, 0) << Name(kind);
    }
    // ... and the next start shows the bar floating there.
    const uint32_t id = bar->GetDlgCtrlID();
    app.reset();
    f = Start();
    ASSERT_NE(f, nullptr);
    bar = f->Helper().GetControlBar(id);
    ASSERT_NE(bar, nullptr);
    mini = f->Helper().MiniFrameOf(bar);
    ASSERT_NE(mini, nullptr) << Name(kind) << " docked at the next start";
    EXPECT_TRUE(mini->isVisible()) << Name(kind);
    EXPECT_EQ(mini->pos(), placed) << Name(kind);
    EXPECT_TRUE(f->close());
}

INSTANTIATE_TEST_SUITE_P(EachBar, ExitTest,
                         ::testing::Values(Kind::Output, Kind::Explorer, Kind::Watch, Kind::ConInfo, Kind::Toolbar,
                                           Kind::MenuBar));

// Several frames floating at once (each refuses its own close and hides
// its bar instead): the loop still ends, and both places are kept.
TEST_F(Exit, TwoFloatingBarsAndTheLoopStillEnds)
{
    CMainFrame* f = Start();
    ASSERT_NE(f, nullptr);
    f->ShowControlBar(f->ConInfoBar(), true, false);
    f->FloatControlBar(f->OutputBar(), QPoint(20, 40), ui::CBRS_ALIGN_TOP);
    f->FloatControlBar(f->ConInfoBar(), QPoint(60, 200), ui::CBRS_ALIGN_TOP);
    QApplication::processEvents();
    const QPoint output = f->Helper().MiniFrameOf(f->OutputBar())->pos();
    const QPoint conInfo = f->Helper().MiniFrameOf(f->ConInfoBar())->pos();
    EXPECT_EQ(RunLoop([f] { f->close(); }), 0);
    app->ExitInstance();
    EXPECT_EQ(sys::Profile::GetInt(u"EdtLib\\IDE\\OutputBar", u"floatLeft", -2), output.x());
    EXPECT_EQ(sys::Profile::GetInt(u"EdtLib\\IDE\\ConInfoBar", u"floatTop", -2), conInfo.y());
}
