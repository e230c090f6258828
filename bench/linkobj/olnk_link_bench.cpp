// Round trip of GetStatus from the call to the handled WM_LINK_RESULT,
// through the message bridge and the control-system simulator (tools/cssim)
// over UDP on 127.0.0.1.  Reports the median and the 99th percentile
// (target: median at most 2 ms).
#include "bench/BenchSize.h"
#include "tests/linkobj/link_test_env.h"
#include "tools/cssim/cssim.h"

#include <benchmark/benchmark.h>

#include <algorithm>

using namespace linktest;

static void BM_GetStatusRoundTrip(benchmark::State& state)
{
    App();
    const uint16_t ours = testsupport::PickFreeUdpPort();
    cssim::Config cfg;
    cfg.udpLocalPort = testsupport::PickFreeUdpPort();
    cfg.peerPort = ours;
    cfg.recording = false;
    cssim::Simulator sim(cfg);
    if (!sim.start()) {
        state.SkipWithError("the simulator does not start");
        return;
    }
    sim.plc().setFlags(cssim::FLAG_LOADED);
    COlnkLink link(linkui::WindowPoster());
    link.Open(333, Wide(UdpLoopbackConn(ours, sim.publicPort())).c_str(), 1000);
    link.InitInterface(0);
    link.Start();
    if (!Pump([&] { return link.IsEstablished(); })) {
        state.SkipWithError("no connection");
        return;
    }
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
    link.Close();
    std::sort(us.begin(), us.end());
    if (!us.empty()) {
        state.counters["median_us"] = us[us.size() / 2];
        state.counters["p99_us"] = us[std::min(us.size() - 1, us.size() * 99 / 100)];
    }
}
BENCHMARK(BM_GetStatusRoundTrip)->Iterations(bench::Size(2000, 1))->Unit(benchmark::kMicrosecond);
