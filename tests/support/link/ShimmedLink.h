#pragma once
// A link object opened to the control-system simulator behind its fault
// shim, for the tests that feed the link object faults from the
// simulator's side (sim->shim().inject(...), sim->sendRaw(...)): over UDP
// on 127.0.0.1 through the shim's relay, or over a 115200-baud
// pseudo-terminal pair through its bridge.  The simulator shares `theirs`
// as DATA; the link object has the interfaces 0, 1, 2 and 258, is started
// and established, and shares `ours` as DATA.  A test fixture derives from
// it besides ::testing::Test and writes the files it needs into the two
// folders before OpenShimmedLink.  Header-only: include it only where the
// link object, its message bridge and the simulator are linked.

#include "link/linkobj/olnk_link.h"
#include "link/ui/LinkMessages.h"
#include "tests/support/link/SimulatorStart.h"
#include "tests/support/platform/TempDir.h"
#include "tests/support/platform/Wait.h"
#include "tools/cssim/cssim.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace testsupport {

class ShimmedLink
{
public:
    ShimmedLink() = default;
    ShimmedLink(const ShimmedLink&) = delete;
    ShimmedLink& operator=(const ShimmedLink&) = delete;
    ~ShimmedLink() { CloseShimmedLink(); }

    // Starts the simulator with cfg's other settings (seed, time-outs) and
    // opens the link object to it.  A step that fails fails the test: call
    // it through ASSERT_NO_FATAL_FAILURE.
    void OpenShimmedLink(cssim::Config cfg, bool serial)
    {
        cfg.shares = {{"DATA", theirs.Path()}};
        cfg.shim = !serial; // a serial link gets the pseudo-terminal bridge
        std::string conn;
        sim = StartSimulator(cfg, serial, conn);
        ASSERT_NE(sim, nullptr) << "the simulator did not start";
        link = std::make_unique<COlnkLink>(linkui::WindowPoster());
        ASSERT_EQ(link->Open(333, std::u16string(conn.begin(), conn.end()).c_str(), 1000), 1);
        for (uint16_t id : {0, 1, 2, 258})
            ASSERT_EQ(link->InitInterface(id), 1);
        ASSERT_EQ(link->Start(), 1);
        ASSERT_TRUE(WaitUntil([&] { return link->IsEstablished(); })) << "the link not established";
        auto* shares = static_cast<IOxfrS*>(link->Query(OLNK_IID_OXFRS));
        const std::string path = ours.Path();
        ASSERT_EQ(shares->AddShare(std::u16string(path.begin(), path.end()).c_str(), u"DATA", 0), 1);
        pl = static_cast<IOlnkPL*>(link->Query(OLNK_IID_PL));
    }
    // The link object first (its threads still talk to the simulator), then
    // the simulator.
    void CloseShimmedLink()
    {
        pl = nullptr;
        link.reset();
        sim.reset();
    }
    OlnkStatistics Stats()
    {
        OlnkStatistics s{};
        s.size = sizeof s;
        EXPECT_TRUE(link->GetStatistics(&s));
        return s;
    }

    TempDir theirs, ours;
    std::unique_ptr<cssim::Simulator> sim;
    std::unique_ptr<COlnkLink> link;
    IOlnkPL* pl = nullptr;
};

} // namespace testsupport
