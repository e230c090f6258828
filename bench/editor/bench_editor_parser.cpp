// PLC colouring speed: a generated PLC source of 1,000,000 lines coloured
// line by line with one reused block list and the cookie carried from line
// to line (PlcColour), and the cookies alone (PlcCookies).  The counter "MB"
// (shown per second) counts one character as one byte; the target for
// PlcColour is 20 MB/s.

#include "editor/EdtParser.h"

#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

namespace {

constexpr int kLines = 1000000;
constexpr size_t kMaxLine = 80;

const std::vector<std::u16string>& Source()
{
    static const std::vector<std::u16string> lines = [] {
        const char16_t* sections[] = {u"MODULE_MAIN", u"DATA", u"DATA_END", u"PIS_FAST",
                                      u"MECH_BEGIN", u"SYMBOLTAB", u"module_init_end", u"DS"};
        const char16_t* instructions[] = {u"LOD", u"STO", u"MOV_BLOCK", u"ANDB", u"TSET",
                                          u"POS_INIT_X", u"lod", u"CAN_SEND", u"EQ", u"JUM"};
        const char16_t* unknown[] = {u"MOV", u"PUSH", u"xor_ax", u"NOPX"};
        const char16_t* operands[] = {u"M_START", u"AX", u"Motor_1.Run", u"0x1F", u"125",
                                      u"\"text\"", u"'c'", u"T_5*2-B/3", u"[BX+4]", u"čas"};
        std::mt19937 gen(12345);
        std::uniform_int_distribution<int> pct(0, 99);
        auto pick = [&](auto& arr) {
            std::uniform_int_distribution<size_t> d(0, std::size(arr) - 1);
            return arr[d(gen)];
        };
        std::vector<std::u16string> out;
        out.reserve(kLines);
        for (int i = 0; i < kLines; ++i) {
            std::u16string line;
            if (pct(gen) < 10)
                line += u"L" + std::u16string(1, char16_t(u'A' + i % 26)) + u"_" +
                        std::u16string(1, char16_t(u'0' + i % 10)) + u":\t";
            else if (pct(gen) < 50)
                line += u"\t";
            int kind = pct(gen);
            if (kind < 20) {
                line += pick(sections);
            } else if (kind < 70) {
                line += pick(instructions);
                line += u"\t";
                int n = 1 + pct(gen) % 3;
                for (int k = 0; k < n; ++k) {
                    if (k)
                        line += u",";
                    line += pick(operands);
                }
            } else if (kind < 80) {
                line += pick(unknown);
                line += u" ";
                line += pick(operands);
                line += u",";
                line += pick(operands);
            }
            if (pct(gen) < 25)
                line += u"\t; comment about the step /* not a block */";
            if (line.size() > kMaxLine)
                line.resize(kMaxLine);
            out.push_back(std::move(line));
        }
        return out;
    }();
    return lines;
}

size_t TotalChars()
{
    size_t n = 0;
    for (const std::u16string& l : Source())
        n += l.size();
    return n;
}

void PlcColour(benchmark::State& state)
{
    const std::vector<std::u16string>& lines = Source();
    const size_t chars = TotalChars();
    TextBlockList list;
    for (auto _ : state) {
        uint32_t cookie = 0;
        for (const std::u16string& line : lines) {
            list.Reset();
            list.Append(0, EDT_CLR_TEXT);
            cookie = ParseLinePlc(line, cookie, &list);
            benchmark::DoNotOptimize(list.Data());
        }
        benchmark::DoNotOptimize(cookie);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * chars));
    state.counters["MB"] = benchmark::Counter(static_cast<double>(state.iterations()) *
                                                    static_cast<double>(chars) / 1e6,
                                                benchmark::Counter::kIsRate);
}

void PlcCookies(benchmark::State& state)
{
    const std::vector<std::u16string>& lines = Source();
    const size_t chars = TotalChars();
    for (auto _ : state) {
        uint32_t cookie = 0;
        for (const std::u16string& line : lines)
            cookie = ParseLinePlc(line, cookie, nullptr);
        benchmark::DoNotOptimize(cookie);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * chars));
    state.counters["MB"] = benchmark::Counter(static_cast<double>(state.iterations()) *
                                                    static_cast<double>(chars) / 1e6,
                                                benchmark::Counter::kIsRate);
}

} // namespace

BENCHMARK(PlcColour)->Unit(benchmark::kMillisecond);
BENCHMARK(PlcCookies)->Unit(benchmark::kMillisecond);
