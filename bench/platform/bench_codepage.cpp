// Code-page decoding and encoding of a 100 MB buffer in code page 1250
// (target: at least 1 GB/s each way).

#include "bench/BenchSize.h"
#include "platform/sys/CodePage.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

namespace {

const size_t kSize = bench::Size<size_t>(100u * 1000 * 1000, 100u * 1000);

// Mostly ASCII text with Czech letters, like PLC sources.
const std::string& Bytes()
{
    static const std::string bytes = [] {
        std::string s(kSize, ' ');
        const std::string line = "    LD  \x8A" "ipka_\xE8\xED" "slo ; \xF8" "ad\xEC \xF9" "\r\n";
        for (size_t i = 0; i < kSize; ++i)
            s[i] = line[i % line.size()];
        return s;
    }();
    return bytes;
}

const std::u16string& Text()
{
    static const std::u16string text = [] {
        std::u16string t;
        sys::DecodeCodePage(1250, Bytes(), t);
        return t;
    }();
    return text;
}

void BM_Decode1250(benchmark::State& state)
{
    const std::string& in = Bytes();
    std::u16string out(in.size(), u' '); // the target's pages are in place
    for (auto _ : state) {
        sys::DecodeCodePage(1250, in, out);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(in.size()));
}
BENCHMARK(BM_Decode1250)->Unit(benchmark::kMillisecond);

void BM_Encode1250(benchmark::State& state)
{
    const std::u16string& in = Text();
    std::string out(in.size(), ' ');
    bool lossy = false;
    for (auto _ : state) {
        sys::EncodeCodePage(1250, in, out, &lossy);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(in.size()));
}
BENCHMARK(BM_Encode1250)->Unit(benchmark::kMillisecond);

} // namespace
