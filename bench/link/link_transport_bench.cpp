// Speed of the link transports: UDP over 127.0.0.1 and serial over a
// pseudo-terminal pair paced at 115200 baud.  Targets: UDP with W = 127 at
// least 20 MB/s of payload; serial at least 95 % of the framing ceiling
// (115200 / 11 * 1023 / 1036 = 10 341 payload bytes/s, so 9 824 bytes/s).
#include "bench/BenchSize.h"
#include "link/olnk/olnk_open.h"
#include "tools/linkshim/PtyBridge.h"
#include "tests/support/link_pump/link_pump.h"
#include "tests/support/platform/PtyPair.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

bool Connect(OlnkChannel a, OlnkChannel b)
{
    auto end = Clock::now() + std::chrono::seconds(10);
    while (Clock::now() < end) {
        for (OlnkChannel c : {a, b})
            if (OlnkGetLinkState(c) == OLNK_STATE_RESET_BY_PEER)
                OlnkConnect(c, 0, nullptr);
        int sa = OlnkGetLinkState(a), sb = OlnkGetLinkState(b);
        if ((sa == 0 || sa == 3) && (sb == 0 || sb == 3))
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return false;
}

OlnkStatistics Stats(OlnkChannel c)
{
    OlnkStatistics s{};
    s.size = sizeof s;
    OlnkGetStatistics(c, &s);
    return s;
}

// Sends messages from a to b for at least `seconds`; returns payload bytes
// received and the seconds taken.
void Pump(benchmark::State& state, OlnkChannel a, OlnkChannel b, const std::vector<uint8_t>& msg,
          double seconds, double target)
{
    uint64_t total = 0, messages = 0;
    double elapsed = 0;
    OlnkStatistics a0 = Stats(a);
    for (auto _ : state) {
        std::atomic<bool> done{false};
        std::atomic<uint64_t> received{0};
        std::thread rx([&] {
            std::vector<uint8_t> buf(1023);
            uint16_t len = 0;
            while (!done || OlnkReceive(b, &len, 1023, buf.data(), 0)) {
                if (OlnkReceive(b, &len, 1023, buf.data(), 50))
                    received += len;
            }
        });
        auto t0 = Clock::now();
        uint64_t sent = 0;
        while (std::chrono::duration<double>(Clock::now() - t0).count() < seconds) {
            if (OlnkSend(a, uint16_t(msg.size()), msg.data(), 1, 100) >= 0)
                ++sent;
        }
        // Wait until everything sent has arrived.
        while (received < sent * msg.size()
               && std::chrono::duration<double>(Clock::now() - t0).count() < seconds + 10)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        elapsed += std::chrono::duration<double>(Clock::now() - t0).count();
        done = true;
        rx.join();
        total += received;
        messages += sent;
    }
    OlnkStatistics a1 = Stats(a);
    const double rate = double(total) / elapsed;
    state.counters["payload_bytes_per_s"] = rate;
    if (target > 0) {
        state.counters["target_bytes_per_s"] = target;
        state.counters["meets_target"] = rate >= target ? 1 : 0;
    }
    // Frames transmitted beyond the data frames built (retransmissions and
    // the few empty frames), per 1 000 messages.
    const double extra = double(a1.SendPackets - a0.SendPackets)
                         - double(a1.PutPackets - a0.PutPackets);
    state.counters["retransmitted_per_1000"] = messages ? extra * 1000.0 / double(messages) : 0;
}

void BM_Udp(benchmark::State& state)
{
    const uint8_t w = uint8_t(state.range(0));
    uint16_t pa = testsupport::PickFreeUdpPort(), pb = testsupport::PickFreeUdpPort();
    OlnkChannel a = OlnkOpenUdp(w, OLNK_MODE_CLIENT, {127, 0, 0, 1}, pb, pa, {});
    OlnkChannel b = OlnkOpenUdp(w, OLNK_MODE_CLIENT, {127, 0, 0, 1}, pa, pb, {});
    if (!a || !b || !Connect(a, b)) {
        state.SkipWithError("no UDP link");
    } else {
        linkpump::Rng rng(1);
        Pump(state, a, b, rng.RandomBytes(1023), bench::Size(2.0, 0.2), w == 127 ? 20e6 : 0);
    }
    if (a)
        OlnkCloseChannel(a);
    if (b)
        OlnkCloseChannel(b);
}
BENCHMARK(BM_Udp)->Arg(127)->Arg(20)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

void BM_SerialPaced115200(benchmark::State& state)
{
    linkshim::PtyBridge::Options o;
    o.pacedBaud = 115200;
    linkshim::PtyBridge bridge(o);
    OlnkChannel a = OlnkOpenSerial(20, bridge.PathA().c_str(), 115200, {});
    OlnkChannel b = OlnkOpenSerial(20, bridge.PathB().c_str(), 115200, {});
    if (!a || !b || !Connect(a, b)) {
        state.SkipWithError("no serial link");
    } else {
        linkpump::Rng rng(2);
        std::vector<uint8_t> msg = rng.RandomBytes(1023);
        for (auto& c : msg)
            if (c == 0xF9 || c == 0xFE)
                c = 0x55; // no stuffing: 1036 bytes per frame
        Pump(state, a, b, msg, bench::Size(10.0, 0.2), 0.95 * 115200.0 / 11.0 * 1023.0 / 1036.0);
    }
    if (a)
        OlnkCloseChannel(a);
    if (b)
        OlnkCloseChannel(b);
}
BENCHMARK(BM_SerialPaced115200)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

} // namespace
