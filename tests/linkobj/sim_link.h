#pragma once
// The link object opened as the project opens it against a fresh
// control-system simulator (tools/cssim) over UDP on 127.0.0.1, with the
// real message bridge under QCoreApplication.
#include "link_test_env.h"

#include "tests/support/platform/TempDir.h"
#include "tools/cssim/cssim.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>

namespace linktest {

// A breakpoint record {u16 10, u32 index, u32 set}.
inline Bytes Brk(uint32_t index, uint32_t set)
{
    Bytes b{10, 0};
    Put32(b, index);
    Put32(b, set);
    return b;
}

class SimLink : public ::testing::Test
{
protected:
    void SetUp() override
    {
        App();
        const uint16_t ours = testsupport::PickFreeUdpPort();
        cfg.udpLocalPort = testsupport::PickFreeUdpPort();
        cfg.peerPort = ours;
        cfg.shares = {{"DATA", share.Path()}};
        // A fresh simulator per test, each in the state a control system
        // starts in.
        sim = std::make_unique<cssim::Simulator>(cfg);
        ASSERT_TRUE(sim->start());
        link = std::make_unique<COlnkLink>(linkui::WindowPoster());
        conn = Wide(UdpLoopbackConn(ours, sim->publicPort()));
        ASSERT_NO_FATAL_FAILURE(OpenLink());
        ASSERT_TRUE(Pump([&] { return link->IsEstablished(); }));
        // The breakpoints the link wants (none) confirmed by the simulator.
        ASSERT_TRUE(Pump([&] { return link->BreakpointsConfirmed(); }));
        ASSERT_EQ(link->RegisterWindow(list0.handle, 0), 1);
        ASSERT_EQ(link->RegisterWindow(list1.handle, 1), 1);
        pl = static_cast<IOlnkPL*>(link->Query(OLNK_IID_PL));
        fc = static_cast<IOxfrC*>(link->Query(OLNK_IID_OXFRC));
    }
    void TearDown() override
    {
        link.reset();
        sim.reset();
        PumpFor(20);
    }
    // Opens and starts the link as the project does.
    void OpenLink()
    {
        ASSERT_EQ(link->Open(333, conn.c_str(), 1000), 1);
        for (uint16_t id : {0, 1, 2, 258})
            ASSERT_EQ(link->InitInterface(id), 1);
        ASSERT_EQ(link->Start(), 1);
    }
    std::u16string conn;
    // The n-th (1-based) result of `msg` that `target` received.
    Got Wait(uint32_t msg, size_t n, int ms = 20000)
    {
        EXPECT_TRUE(Pump([&] { return target.Count(msg) >= n; }, ms)) << "result " << n;
        auto r = target.Of(msg);
        return r.size() >= n ? r[n - 1] : Got{};
    }
    Got Result(size_t n) { return Wait(WM_LINK_RESULT, n); }
    // The latest class-1 request of `code` the simulator received.
    cssim::Record Request(uint8_t code)
    {
        std::optional<cssim::Record> last;
        EXPECT_TRUE(Pump([&] {
            for (const auto& r : sim->recorder().all())
                if (r.direction == 0 && r.cls() == 1 && r.type() == 0 && r.code() == code)
                    last = r;
            return last.has_value();
        })) << "no request "
            << int(code);
        return last ? *last : cssim::Record{};
    }
    size_t Requests(uint8_t code)
    {
        size_t n = 0;
        for (const auto& r : sim->recorder().all())
            n += r.direction == 0 && r.cls() == 1 && r.type() == 0 && r.code() == code;
        return n;
    }
    // Moves the sequence numbers past 0 in both directions, so that either
    // channel takes a new connect frame as a reset (see docs/cssim.md).
    void Wrap()
    {
        const uint64_t before = link->IgnoredReplies();
        for (int i = 0; i < 130; ++i)
            sim->push(9, 0, {});
        ASSERT_TRUE(Pump([&] { return link->IgnoredReplies() >= before + 130; }));
        const size_t n = target.Count(WM_LINK_RESULT);
        for (int i = 0; i < 130; ++i)
            ASSERT_EQ(pl->GetStatus(target.handle, 0), 1);
        ASSERT_TRUE(Pump([&] { return target.Count(WM_LINK_RESULT) == n + 130; }));
    }

    testsupport::TempDir share, local;
    cssim::Config cfg; // the simulator's, kept for one started again
    std::unique_ptr<cssim::Simulator> sim;
    std::unique_ptr<COlnkLink> link;
    IOlnkPL* pl = nullptr;
    IOxfrC* fc = nullptr;
    Target target, list0, list1;
};

} // namespace linktest
