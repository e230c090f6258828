#pragma once
// The control-system simulator in process for a test or a benchmark, over
// UDP on 127.0.0.1 or a 115200-baud pseudo-terminal pair.  Header-only:
// include it only where the simulator library is linked.

#include "tests/support/link/LinkTestText.h"
#include "tests/support/platform/PtyPair.h"
#include "tools/cssim/cssim.h"

#include <memory>
#include <string>

namespace testsupport {

// Starts a simulator with cfg's other settings, over UDP on 127.0.0.1 (free
// ports for both sides) or, with serial, over a 115200-baud pseudo-terminal
// pair; conn is then the connection string of our side, as the project
// settings' link page stores it.  Null when it does not start.
inline std::unique_ptr<cssim::Simulator> StartSimulator(cssim::Config cfg, bool serial, std::string& conn)
{
    uint16_t ours = 0;
    if (serial) {
        cfg.serialShim = true;
        cfg.baud = 115200;
    } else {
        ours = PickFreeUdpPort();
        cfg.udpLocalPort = PickFreeUdpPort();
        cfg.peerPort = ours;
    }
    auto sim = std::make_unique<cssim::Simulator>(cfg);
    if (!sim->start())
        return nullptr;
    conn = serial ? "P = " + sim->serialPeerDevice() + "; B = 115200; W = 20;" : UdpLoopbackConn(ours, sim->publicPort());
    return sim;
}

} // namespace testsupport
