// The connection watch as tables of ticks, and the text of the PLC state
// pane.
#include "mainwnd/ConnectionWatch.h"

#include <gtest/gtest.h>

using mainwnd::ConnectionWatch;
using Icon = ConnectionWatch::Icon;
using Dialog = ConnectionWatch::Dialog;

namespace {

// A record whose packet counters (send, receive, put, get) are given.
OlnkStatistics Stats(uint64_t send, uint64_t rec, uint64_t put = 0, uint64_t get = 0)
{
    OlnkStatistics s{};
    s.size = sizeof s;
    s.SendPackets = send;
    s.RecPackets = rec;
    s.PutPackets = put;
    s.GetPackets = get;
    return s;
}

struct Tick
{
    bool open;
    bool readOk;
    OlnkStatistics stats;
    Icon icon;
    int iconId;
    Dialog dialog;
};

void RunTicks(ConnectionWatch& w, const std::vector<Tick>& ticks)
{
    for (size_t i = 0; i < ticks.size(); ++i) {
        const Tick& t = ticks[i];
        const ConnectionWatch::Result r = w.Tick(t.open, t.readOk, t.stats);
        EXPECT_EQ(r.icon, t.icon) << "tick " << i;
        EXPECT_EQ(r.iconId, t.iconId) << "tick " << i;
        EXPECT_EQ(r.dialog, t.dialog) << "tick " << i;
    }
}

} // namespace

TEST(ConnectionWatch, FirstTickSamplesThenIdleIsSteadyAndBusyAnimates)
{
    ConnectionWatch w;
    w.Reset();
    RunTicks(w, {
               {true, true, Stats(10, 10), Icon::Unchanged, 0, Dialog::Leave},        // sample only
               {true, true, Stats(12, 11), Icon::Steady, 556, Dialog::Hide},          // alive, idle
               {true, true, Stats(13, 12, 1), Icon::Traffic, 536, Dialog::Hide},      // busy: frames advance first
               {true, true, Stats(14, 13, 1, 1), Icon::Traffic, 537, Dialog::Hide},
               {true, true, Stats(15, 14, 2, 1), Icon::Traffic, 538, Dialog::Hide},
               {true, true, Stats(16, 15, 2, 1), Icon::Steady, 556, Dialog::Hide},
           });
    // The traffic frames wrap after 15.
    ConnectionWatch busy;
    uint64_t n = 1;
    busy.Tick(true, true, Stats(n, n, n));
    int last = 0;
    for (int i = 0; i < 15; ++i) {
        ++n;
        last = busy.Tick(true, true, Stats(n, n, n)).frame;
    }
    EXPECT_EQ(last, 0);
}

TEST(ConnectionWatch, FourStalledTicksShowTheDialogAndOneAliveTickHidesIt)
{
    ConnectionWatch w;
    RunTicks(w, {
               {true, true, Stats(5, 5), Icon::Unchanged, 0, Dialog::Leave},
               {true, true, Stats(5, 5), Icon::Stall, 554, Dialog::Leave},
               {true, true, Stats(6, 5), Icon::Stall, 553, Dialog::Leave},   // only one direction rose
               {true, false, Stats(0, 0), Icon::Stall, 552, Dialog::Leave},  // a failed read stalls too
               {true, true, Stats(6, 5), Icon::Stall, 551, Dialog::Show},    // the fourth
               {true, true, Stats(6, 5), Icon::Stall, 552, Dialog::Show},
               {true, true, Stats(7, 6), Icon::Steady, 556, Dialog::Hide},
           });
    EXPECT_EQ(w.StallCount(), 0);
}

TEST(ConnectionWatch, AFailedReadKeepsThePreviousRecord)
{
    ConnectionWatch w;
    w.Tick(true, true, Stats(100, 100));
    // The unfilled record of a failed read would make the next good one look
    // like a rise from zero; the previous record stays instead.
    w.Tick(true, false, Stats(0, 0));
    EXPECT_EQ(w.Previous().SendPackets, 100u);
    const auto r = w.Tick(true, true, Stats(100, 100));
    EXPECT_EQ(r.icon, Icon::Stall);
}

TEST(ConnectionWatch, AClosedLinkClearsTheIconAndStartsANewSampleLater)
{
    ConnectionWatch w;
    w.Tick(true, true, Stats(1, 1));
    w.Tick(true, true, Stats(1, 1));
    RunTicks(w, {
               {false, false, Stats(0, 0), Icon::None, 0, Dialog::Hide},
               // The new session's counters start low again: sampled afresh,
               // not compared with the old session's.
               {true, true, Stats(2, 2), Icon::Unchanged, 0, Dialog::Leave},
               {true, true, Stats(3, 3), Icon::Steady, 556, Dialog::Hide},
           });
    // A first read that fails leaves the watch unsampled.
    ConnectionWatch fresh;
    EXPECT_EQ(fresh.Tick(true, false, Stats(0, 0)).icon, Icon::Unchanged);
    EXPECT_FALSE(fresh.Sampled());
}

TEST(PlcStateText, FlagsGiveTheStateAndTheSleepSuffix)
{
    auto text = [](uint16_t flags, uint16_t length = 10) {
        PlcStatusRecord r{};
        r.length = length;
        r.flags = flags;
        return mainwnd::PlcStateText(true, &r);
    };
    EXPECT_EQ(text(0x05), QStringLiteral("PLC: načítá se"));
    EXPECT_EQ(text(0x0C), QStringLiteral("PLC: přerušen"));
    EXPECT_EQ(text(0x08), QStringLiteral("PLC: neběží"));
    EXPECT_EQ(text(0x04), QStringLiteral("PLC: běží"));
    EXPECT_EQ(text(0x14), QStringLiteral("PLC: běží, spánkový režim"));
    EXPECT_EQ(text(0x04, 9), QStringLiteral("PLC: ?"));
    PlcStatusRecord r{10, 0x04, 0, 0};
    EXPECT_TRUE(mainwnd::PlcStateText(false, &r).isEmpty());
    EXPECT_TRUE(mainwnd::PlcStateText(true, nullptr).isEmpty());
}

// Frames still go both ways, but the link object no longer calls the link
// established (every request failed past the job time-out): the icon
// stalls instead of showing a steady link, and comes back with it.
TEST(ConnectionWatch, LinkThatIsNotEstablishedStalls)
{
    ConnectionWatch w;
    w.Reset();
    EXPECT_EQ(w.Tick(true, true, Stats(10, 10), false).icon, Icon::Unchanged);
    EXPECT_EQ(w.Tick(true, true, Stats(12, 12), false).icon, Icon::Stall);
    EXPECT_EQ(w.Tick(true, true, Stats(14, 14), false).icon, Icon::Stall);
    EXPECT_EQ(w.Tick(true, true, Stats(16, 16), true).icon, Icon::Steady);
}
