// Get and Put of a 16 MiB file and a 300-entry listing between two sessions
// over UDP on 127.0.0.1 (W = 20), without loss and with 2 % loss.

#include "bench/BenchSize.h"
#include "oxfr_test_util.h"

#include "tests/support/platform/TempDir.h"

#include <benchmark/benchmark.h>
#include <unistd.h>

using namespace oxfrtest;

namespace {

void Transfer(benchmark::State& state, int kind, double loss)
{
    testsupport::TempDir server, local;
    const size_t size = bench::Size<size_t>(16u << 20, 64u << 10);
    server.Write("big.bin", std::string(size, 'b'));
    for (int i = 0; i < 300; ++i)
        server.Write("many/f" + std::to_string(i), "x");
    local.Write("big.bin", std::string(size, 'l'));
    UdpSessionPair p(loss, 7);
    if (!p.established) {
        state.SkipWithError("no connection");
        return;
    }
    OxfrAddShareA(p.b, server.Path().c_str(), "DATA", 0);
    size_t n = 0;
    for (auto _ : state) {
        ++n;
        int ok = 0;
        if (kind == 0)
            ok = OxfrGetA(p.a, 1, nullptr, 0, nullptr, "\\DATA\\big.bin", (local / "got.bin").c_str());
        else if (kind == 1)
            ok = OxfrPutA(p.a, 1, nullptr, 0, nullptr, (local / "big.bin").c_str(), "\\DATA\\put.bin");
        else
            ok = OxfrListA(p.a, 1, nullptr, 0, nullptr, "\\DATA\\many\\*.*");
        if (!ok || !p.recA.WaitFor([&] { return p.recA.transfers.size() >= n; }, 600000)) {
            state.SkipWithError("transfer failed");
            return;
        }
        auto r = p.recA.Transfers().back();
        if (r.status != 0) {
            state.SkipWithError("transfer status");
            return;
        }
        if (kind == 2)
            ::unlink(reinterpret_cast<const char*>(r.data.data()));
    }
    if (kind != 2)
        state.SetBytesProcessed(int64_t(state.iterations() * size));
}

void BM_Get16MiB(benchmark::State& s) { Transfer(s, 0, 0); }
void BM_Put16MiB(benchmark::State& s) { Transfer(s, 1, 0); }
void BM_Get16MiBLoss2(benchmark::State& s) { Transfer(s, 0, 0.02); }
void BM_Put16MiBLoss2(benchmark::State& s) { Transfer(s, 1, 0.02); }
void BM_List300(benchmark::State& s) { Transfer(s, 2, 0); }

} // namespace

BENCHMARK(BM_Get16MiB)->Unit(benchmark::kMillisecond)->Iterations(bench::Size(2, 1))->UseRealTime();
BENCHMARK(BM_Put16MiB)->Unit(benchmark::kMillisecond)->Iterations(bench::Size(2, 1))->UseRealTime();
BENCHMARK(BM_Get16MiBLoss2)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_Put16MiBLoss2)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_List300)->Unit(benchmark::kMillisecond)->Iterations(bench::Size(5, 1))->UseRealTime();
