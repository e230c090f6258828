// The simulator must not be the bottleneck where it serves as a peer:
// GetStatus round trip (median and 99th percentile) and a 16 MiB get from
// a share, both sent by our session over 127.0.0.1.  No targets.
#include "bench/BenchSize.h"
#include "cssim_test_util.h"

#include "tests/support/platform/TempDir.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <unistd.h>

using namespace cssimtest;

static void BM_GetStatusRoundTrip(benchmark::State& state)
{
    SimAndSession p;
    if (!p.established) {
        state.SkipWithError("no session");
        return;
    }
    std::vector<double> us;
    uint32_t prm = 0;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        OlnkRequestGetStatus(p.s, ++prm);
        if (!p.res.Reply(0, prm, 5000)) {
            state.SkipWithError("no reply");
            return;
        }
        us.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0).count());
    }
    std::sort(us.begin(), us.end());
    state.counters["median_us"] = us[us.size() / 2];
    state.counters["p99_us"] = us[std::min(us.size() - 1, us.size() * 99 / 100)];
}
BENCHMARK(BM_GetStatusRoundTrip)->Iterations(bench::Size(1000, 1))->UseRealTime();

static void BM_Get16MiB(benchmark::State& state)
{
    testsupport::TempDir share, local;
    const int size = bench::Size(16 << 20, 64 << 10);
    share.Write("BIG.BIN", std::string(size_t(size), 'b'));
    cssim::Config cfg;
    cfg.shares = {{"DATA", share.Path()}};
    SimAndSession p(cfg);
    if (!p.established) {
        state.SkipWithError("no session");
        return;
    }
    uint32_t prm = 0;
    for (auto _ : state) {
        OxfrGetA(p.s, ++prm, nullptr, 0, nullptr, "\\DATA\\BIG.BIN", (local / "big").c_str());
        auto r = p.res.Transfer(prm, 120000);
        if (!r || r->status != 0) {
            state.SkipWithError("get failed");
            return;
        }
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * size);
}
BENCHMARK(BM_Get16MiB)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);
