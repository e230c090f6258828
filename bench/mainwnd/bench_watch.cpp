// One tick of the main frame's connection watch (target: at most 50 µs),
// alternating busy, idle and stalled records so that every branch runs.
#include "mainwnd/ConnectionWatch.h"

#include <benchmark/benchmark.h>

static void BM_ConnectionWatchTick(benchmark::State& state)
{
    mainwnd::ConnectionWatch watch;
    OlnkStatistics s{};
    s.size = sizeof s;
    uint64_t n = 0;
    for (auto _ : state) {
        ++n;
        if (n % 7 != 0) {   // alive; busy every other tick
            ++s.SendPackets;
            ++s.RecPackets;
            if (n % 2)
                ++s.PutPackets;
        }
        benchmark::DoNotOptimize(watch.Tick(true, n % 11 != 0, s));
    }
}
BENCHMARK(BM_ConnectionWatchTick);

BENCHMARK_MAIN();
