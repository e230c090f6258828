// The connection watch and the PLC state text against the control-system
// simulator over UDP on 127.0.0.1, with a link object opened as the project
// opens it; ticks between real waits, since the link's idle traffic rises
// twice a second.
#include "link/linkobj/olnk_link.h"
#include "link/ui/LinkMessages.h"
#include "mainwnd/ConnectionWatch.h"
#include "platform/sys/CodePage.h"
#include "platform/ui/Messages.h"
#include "tests/support/link/LinkTestText.h"
#include "tests/support/platform/PtyPair.h"
#include "tests/support/ui/UiTest.h"
#include "tools/cssim/cssim.h"

#include <QObject>

#include <gtest/gtest.h>

using namespace testsupport::ui;
using mainwnd::ConnectionWatch;

namespace {

class WatchLink : public ::testing::Test
{
protected:
    void SetUp() override
    {
        cssim::Config cfg;
        const uint16_t ours = testsupport::PickFreeUdpPort();
        cfg.udpLocalPort = testsupport::PickFreeUdpPort();
        cfg.peerPort = ours;
        sim = std::make_unique<cssim::Simulator>(cfg);
        ASSERT_TRUE(sim->start());
        const std::string conn = testsupport::UdpLoopbackConn(ours, sim->publicPort());
        link = std::make_unique<COlnkLink>(linkui::WindowPoster());
        ASSERT_EQ(link->Open(333, sys::Utf8ToUtf16Lenient(conn).c_str(), 1000), 1);
        for (uint16_t id : {0, 1, 2, 258})
            ASSERT_EQ(link->InitInterface(id), 1);
        ASSERT_EQ(link->Start(), 1);
        ASSERT_TRUE(WaitFor([&] { return link->IsEstablished(); }, 20000, "the link established"));
    }
    void TearDown() override
    {
        link.reset();
        sim.reset();
        PumpEvents(20);
    }
    // One tick as the frame runs it, after a real wait.
    ConnectionWatch::Result Tick()
    {
        // Time is the subject: the watch judges the link by what changed
        // between two ticks of the frame's timer, 600 ms apart here.
        PumpEvents(600);
        OlnkStatistics s{};
        s.size = sizeof s;
        const bool ok = link->GetStatistics(&s);
        return watch.Tick(link->IsOpen(), ok, s);
    }

    std::unique_ptr<cssim::Simulator> sim;
    std::unique_ptr<COlnkLink> link;
    ConnectionWatch watch;
};

} // namespace

TEST_F(WatchLink, AnIdleLinkIsSteadyAndAStoppedSimulatorShowsTheDialog)
{
    EXPECT_EQ(Tick().icon, ConnectionWatch::Icon::Unchanged);   // the first sample
    ConnectionWatch::Result r = Tick();
    for (int i = 0; i < 3 && r.icon != ConnectionWatch::Icon::Steady; ++i)
        r = Tick();   // a tick may fall between two idle exchanges
    EXPECT_EQ(r.icon, ConnectionWatch::Icon::Steady);
    EXPECT_EQ(r.iconId, 556);
    EXPECT_EQ(r.dialog, ConnectionWatch::Dialog::Hide);

    sim->stop();
    bool shown = false;
    for (int i = 0; i < 12 && !shown; ++i) {
        r = Tick();
        if (!link->IsOpen())
            break;
        shown = r.dialog == ConnectionWatch::Dialog::Show;
        if (!shown) {
            EXPECT_TRUE(r.icon == ConnectionWatch::Icon::Stall || r.icon == ConnectionWatch::Icon::Steady);
        }
    }
    EXPECT_TRUE(shown || !link->IsOpen());
    if (shown) {
        EXPECT_GT(watch.StallCount(), ConnectionWatch::kStallLimit);
    }
}

TEST_F(WatchLink, ThePaneTextFollowsTheSimulatorsPlcFlags)
{
    auto* pl = static_cast<IOlnkPL*>(link->Query(OLNK_IID_PL));
    ASSERT_NE(pl, nullptr);
    QObject target;
    int replies = 0;
    const auto h = ui::RegisterMessageTarget(&target, [&](uint32_t msg, uintptr_t, intptr_t, ui::MessageRecord*) {
        if (msg == ui::WM_LINK_RESULT)
            ++replies;
        return intptr_t(0);
    });
    auto textFor = [&](uint16_t flags) {
        sim->plc().setFlags(flags);
        const int before = replies;
        EXPECT_EQ(pl->GetStatus(h, 0), 1);
        EXPECT_TRUE(WaitFor([&] { return replies > before; }, 10000, "the status reply"));
        PlcStatusRecord status{};
        const bool known = link->GetLastStatus(&status);
        return mainwnd::PlcStateText(link->IsConnected(), known ? &status : nullptr);
    };
    EXPECT_EQ(textFor(0x06), QStringLiteral("PLC: běží"));
    EXPECT_EQ(textFor(0x0E), QStringLiteral("PLC: přerušen"));
    EXPECT_EQ(textFor(0x12), QStringLiteral("PLC: neběží, spánkový režim"));
    ui::UnregisterMessageTarget(h);
    link->Close();
    EXPECT_TRUE(mainwnd::PlcStateText(link->IsConnected(), nullptr).isEmpty());
}
