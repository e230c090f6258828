// Round trip of GetStatus from the call to the handled WM_LINK_RESULT,
// through the message bridge and a control system over 127.0.0.1 that
// answers at once.  Reports the median and the 99th percentile (target:
// median at most 2 ms).
#include "tests/linkobj/link_test_env.h"

#include <benchmark/benchmark.h>

#include <algorithm>

using namespace linktest;

static void BM_GetStatusRoundTrip(benchmark::State& state)
{
    App();
    const uint16_t ours = testsupport::PickFreeUdpPort();
    const uint16_t theirs = testsupport::PickFreeUdpPort();
    RawPeer peer(theirs, ours);
    COlnkLink link(linkui::WindowPoster());
    link.Open(333, Wide(Conn(ours, theirs)).c_str(), 1000);
    link.InitInterface(0);
    link.Start();
    if (!Pump([&] { return link.IsEstablished(); })) {
        state.SkipWithError("no connection");
        return;
    }
    std::atomic<bool> stop{false};
    std::thread responder([&] {
        Bytes m;
        while (!stop)
            if (peer.Receive(m, 50) && m.size() >= 7 && m[2] == 0)
                peer.Reply(0, U32(m.data() + 3), 0, {10, 0, 2, 0, 0, 0, 0, 0, 0, 0});
    });
    Target target;
    std::vector<double> us;
    for (auto _ : state) {
        const size_t before = target.got.size();
        const auto t0 = std::chrono::steady_clock::now();
        link.GetStatus(target.handle, 1);
        while (target.got.size() == before)
            QCoreApplication::processEvents(QEventLoop::AllEvents);
        us.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0).count());
    }
    stop = true;
    responder.join();
    std::sort(us.begin(), us.end());
    if (!us.empty()) {
        state.counters["median_us"] = us[us.size() / 2];
        state.counters["p99_us"] = us[std::min(us.size() - 1, us.size() * 99 / 100)];
    }
}
BENCHMARK(BM_GetStatusRoundTrip)->Iterations(2000)->Unit(benchmark::kMicrosecond);
