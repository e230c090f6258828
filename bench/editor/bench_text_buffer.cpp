// Text buffer speed: loading and saving a file of 1,000,000 lines, and
// adding and removing lines in the middle of such a text.

#include "editor/EdtTextBuffer.h"

#include <benchmark/benchmark.h>

#include <QString>

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace {

std::string BigFile()
{
    static std::string path = [] {
        std::string p = (std::filesystem::temp_directory_path() / "sw_bench_big.txt").string();
        std::ofstream f(p, std::ios::binary);
        for (int i = 0; i < 1000000; ++i)
            f << "    LD   MERKER_" << i << "   ; Žluťoučký kůň\r\n";
        return p;
    }();
    return path;
}

std::u16string U16(const std::string& s)
{
    return QString::fromStdString(s).toStdU16String();
}

void BM_LoadMillionLines(benchmark::State& state)
{
    std::u16string path = U16(BigFile());
    for (auto _ : state) {
        CEdtTextBuffer b;
        b.SetCodePage(static_cast<int>(state.range(0)));
        if (!b.LoadFromFile(path))
            state.SkipWithError("load failed");
        benchmark::DoNotOptimize(b.GetLineCount());
    }
}
BENCHMARK(BM_LoadMillionLines)->Arg(-1)->Arg(4)->Unit(benchmark::kMillisecond);

void BM_SaveMillionLines(benchmark::State& state)
{
    CEdtTextBuffer b;
    b.LoadFromFile(U16(BigFile()));
    std::u16string out = U16(BigFile() + ".out");
    for (auto _ : state)
        if (!b.SaveToFile(out))
            state.SkipWithError("save failed");
    std::remove((BigFile() + ".out").c_str());
}
BENCHMARK(BM_SaveMillionLines)->Unit(benchmark::kMillisecond);

void BM_InsertDeleteLineInMiddle(benchmark::State& state)
{
    CEdtTextBuffer b;
    b.LoadFromFile(U16(BigFile()));
    int el = 0, ec = 0;
    for (auto _ : state) {
        b.InsertText(nullptr, 500000, 0, u"new line\r\n", el, ec, EDT_ACTION_TYPING);
        b.DeleteText(nullptr, 500000, 0, 501000, 0, EDT_ACTION_DELETE);
        EdtPoint caret;
        b.Undo(caret);
    }
}
BENCHMARK(BM_InsertDeleteLineInMiddle)->Unit(benchmark::kMicrosecond);

void BM_LineAccess(benchmark::State& state)
{
    CEdtTextBuffer b;
    b.LoadFromFile(U16(BigFile()));
    int line = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(b.GetLineChars(line));
        benchmark::DoNotOptimize(b.GetLineLength(line));
        line = (line + 7919) % 1000000;
    }
}
BENCHMARK(BM_LineAccess);

} // namespace
