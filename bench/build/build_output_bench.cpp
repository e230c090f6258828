// Lines per second of the build output parser (999-byte chunks, a sink
// that discards) and of the whole tool runner through Pilvex.
#include "bench/BenchSize.h"
#include "core/build/BuildOutput.h"
#include "core/build/BuildRunner.h"
#include "tests/support/build/CaptureSink.h"
#include "tests/support/platform/TempDir.h"

#include <benchmark/benchmark.h>

#include <cstdlib>

namespace {

const size_t kLines = bench::Size<size_t>(100000, 1000);

// About 60 bytes per line; every tenth a compiler diagnostic naming an
// existing file when diagnostics is set.
std::string Output(const std::string& file, bool diagnostics)
{
    std::string out;
    for (size_t i = 0; i < kLines; ++i) {
        if (diagnostics && i % 10 == 0)
            out +=
                file + "(" + std::to_string(i % 5000 + 1) + ") : error e1001: unknown symbol\r\n";
        else
            out += "Tarv: prekladam modul " + std::to_string(i) + " a kontroluji symboly ...\r\n";
    }
    return out;
}

void Parse(benchmark::State& state, bool diagnostics)
{
    testsupport::TempDir dir;
    dir.Write("Main.plc", "x");
    const std::string text = Output(dir / "Main.plc", diagnostics);
    testsupport::NullSink sink;
    for (auto _ : state) {
        std::string pending;
        for (size_t pos = 0; pos < text.size(); pos += 999) {
            const size_t n = std::min<size_t>(999, text.size() - pos);
            benchmark::DoNotOptimize(
                core::ParseBuildOutputLine(text.data() + pos, n, pending, &sink));
        }
        core::ParseBuildOutputLine(nullptr, 0, pending, &sink);
    }
    state.SetItemsProcessed(int64_t(state.iterations() * kLines));
    state.counters["lines/s"] =
        benchmark::Counter(double(state.iterations() * kLines), benchmark::Counter::kIsRate);
}

void BM_ParsePlainLines(benchmark::State& state)
{
    Parse(state, false);
}
BENCHMARK(BM_ParsePlainLines)->Unit(benchmark::kMillisecond);

void BM_ParseWithTenPercentDiagnostics(benchmark::State& state)
{
    Parse(state, true);
}
BENCHMARK(BM_ParseWithTenPercentDiagnostics)->Unit(benchmark::kMillisecond);

// A tool that writes 1,000,000 lines, run through Pilvex with a pump that
// does nothing.
void BM_RunnerThroughPilvex(benchmark::State& state)
{
    const int64_t kToolLines = bench::Size<int64_t>(1000000, 1000);
    testsupport::TempDir dir;
    dir.Write(
        "Many.bat",
        "yes \"$(printf 'Tarv: radek vystupu prekladace s nejakym textem navic\\r')\" | head -n " +
            std::to_string(kToolLines) + "\n");
    const char* env = std::getenv("SW_BIN_DIR");
    const std::string bin = std::string(env ? env : SW_BENCH_BIN_DIR) + "/";
    testsupport::NullSink sink;
    for (auto _ : state) {
        core::BuildPipes pipes;
        if (!pipes.Create()) {
            state.SkipWithError("no pipes");
            return;
        }
        sys::Process process;
        if (!core::StartBuildProcess({sys::Utf8ToUtf16Lenient(dir / "Many.bat")},
                                     sys::Utf8ToUtf16Lenient(dir.Path()), pipes,
                                     sys::Utf8ToUtf16Lenient(bin), &sink, process)) {
            state.SkipWithError("Pilvex did not start");
            return;
        }
        bool cancel = false;
        const int code = core::RunBuildProcess(
            pipes, process, cancel, [] { return true; }, {}, &sink);
        if (code != 0) {
            state.SkipWithError("the tool failed");
            return;
        }
    }
    state.SetItemsProcessed(state.iterations() * kToolLines);
    state.counters["lines/s"] =
        benchmark::Counter(double(state.iterations() * kToolLines), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_RunnerThroughPilvex)->Unit(benchmark::kMillisecond)->Iterations(bench::Size(3, 1))->UseRealTime();

} // namespace
