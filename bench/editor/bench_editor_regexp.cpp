// Speed of the editor's regular expressions.
//  SearchLines: 100,000,000 characters of generated PLC-like text in lines
//    of 0-120 characters, about one line in 10,000 holding "Motor_<digits>:";
//    every line is searched once from position 0, as the find command does.
//    Target: at most 0.5 s for Motor_\d+: with either case mode.
//  Pathological: expressions that explode in backtracking matchers, on one
//    line of 10,000 and one of 20,000 "a"; the time must roughly double.

#include "editor/EdtRegExp.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <random>
#include <string>
#include <vector>

namespace {

struct Corpus
{
    std::u16string text;
    std::vector<std::pair<int64_t, int>> lines; // offset, length
};

const Corpus& TheCorpus()
{
    static const Corpus corpus = [] {
        Corpus c;
        constexpr int64_t kTotal = 100'000'000;
        c.text.reserve(size_t(kTotal));
        std::mt19937 rng(1234567);
        static const char* const words[] = {
            "LD",     "LDN",   "ST",     "AND",    "ANDN",   "OR",      "XOR",    "MOV",
            "CALL",   "JMP",   "IF",     "THEN",   "ELSE",   "END_IF",  "Axis_X", "Spindle",
            "Timer",  "TON",   "CTU",    "Valve_", "Pump",   "%MW100",  "%I0.0",  "%Q4.2",
            "DB10",   "M10.1", "motion", "Feed",   "Clamp",  "Door",    "Lube",   "Coolant",
            "Tool_",  "Magazine", "Home", "Ready",  "Error",  "Reset",   ":=",     ";",
        };
        const int nWords = int(sizeof words / sizeof words[0]);
        while (int64_t(c.text.size()) < kTotal) {
            const int target = int(rng() % 121);
            const int64_t offset = int64_t(c.text.size());
            std::u16string line;
            size_t keep = 0;
            if (rng() % 10000 == 0) {
                line += u"  Motor_";
                line += std::u16string(1, char16_t(u'0' + rng() % 10)) +
                        std::u16string(1, char16_t(u'0' + rng() % 10));
                line += u": ";
                keep = line.size();
            }
            while (int(line.size()) < target) {
                switch (rng() % 4) {
                case 0: line += u' '; break;
                case 1: line += std::u16string(size_t(1), u'0' + char16_t(rng() % 10)); break;
                default:
                    for (const char* w = words[rng() % unsigned(nWords)]; *w; ++w)
                        line += char16_t(*w);
                    line += u' ';
                    break;
                }
            }
            line.resize(std::max(size_t(target), keep));
            c.text += line;
            c.lines.emplace_back(offset, int(line.size()));
        }
        return c;
    }();
    return corpus;
}

void SearchLines(benchmark::State& state, const char16_t* expression, uint32_t flags)
{
    const Corpus& c = TheCorpus();
    RegExp* re = RegExpCompile(expression);
    if (!re) {
        state.SkipWithError("does not compile");
        return;
    }
    int64_t matched = 0;
    double seconds = 0;
    for (auto _ : state) {
        matched = 0;
        const auto t0 = std::chrono::steady_clock::now();
        int groups[REGEXP_GROUP_ENTRIES];
        for (const auto& [offset, length] : c.lines)
            matched += RegExpSearch(re, c.text.data() + offset, length, 0, groups, flags);
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        benchmark::DoNotOptimize(matched);
    }
    RegExpFree(re);
    state.counters["seconds"] = seconds;
    state.counters["matched_lines"] = double(matched);
    state.counters["lines"] = double(c.lines.size());
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(c.text.size()) * 2);
}

void Pathological(benchmark::State& state, const char16_t* expression)
{
    const std::u16string line(size_t(state.range(0)), u'a');
    RegExp* re = RegExpCompile(expression);
    bool found = false;
    for (auto _ : state) {
        int groups[REGEXP_GROUP_ENTRIES];
        found = RegExpSearch(re, line.data(), int(line.size()), 0, groups, 0);
        benchmark::DoNotOptimize(found);
    }
    RegExpFree(re);
    state.counters["matched"] = found;
}

} // namespace

BENCHMARK_CAPTURE(SearchLines, literal_flags0, u"Motor_\\d+:", 0)
    ->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(SearchLines, literal_flags1, u"Motor_\\d+:", 1)
    ->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(SearchLines, class_led, u"[A-Z]\\w*_\\d+:", 0)
    ->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Pathological, star_star, u"(a*)*b")
    ->Arg(10000)->Arg(20000)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Pathological, alternative_loop, u"{{a}|{aa}}*c")
    ->Arg(10000)->Arg(20000)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Pathological, empty_loop, u"(x?)*y")
    ->Arg(10000)->Arg(20000)->Unit(benchmark::kMillisecond);
