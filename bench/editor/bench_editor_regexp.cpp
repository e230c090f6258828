// Speed of the editor's regular expressions.
//  SearchLines: 100,000,000 characters of generated PLC-like text in lines
//    of 0-120 characters, about one line in 10,000 holding "Motor_<digits>:";
//    every line is searched once from position 0, as the find command does,
//    by our engine and by QRegularExpression (with its JIT) with an
//    equivalent pattern.  Both counts of matching lines are printed and
//    must be equal; the ratio ours / QRegularExpression of the CPU times
//    (the machine may be shared) is printed at the
//    end as a table.  Targets: every ratio at most 1.0; the class-led
//    pattern at most 0.15 s, the literal-led one at most 0.05 s.
//  Pathological: expressions that explode in backtracking matchers, on one
//    line of 10,000 and one of 20,000 "a" (without and with the character
//    that completes a match); the time must roughly double.

#include "bench/BenchSize.h"
#include "editor/EdtRegExp.h"
#include "editor/EdtRegExpTesting.h"

#include <QRegularExpression>
#include <QString>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <cstdlib>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

// CPU time of the calling thread: the machine may be shared, and both
// engines are measured alike.
double ThreadSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

struct Corpus
{
    std::u16string text;
    std::vector<std::pair<int64_t, int>> lines; // offset, length
};

const Corpus& TheCorpus()
{
    static const Corpus corpus = [] {
        Corpus c;
        const int64_t kTotal = bench::Size<int64_t>(100'000'000, 100'000);
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

// Our < and > in the other engine's terms: ASCII letters and digits; <
// also at the start of a non-empty text, > at its end.
#define WORD_START "(?:\\A(?=[\\s\\S])|(?<![A-Za-z0-9])(?=[A-Za-z0-9]))"
#define WORD_END "(?:(?<=[\\s\\S])\\z|(?<=[A-Za-z0-9])(?![A-Za-z0-9]))"

struct Pair
{
    const char* name;
    const char16_t* ours;
    uint32_t flags;
    const char* theirs;
    QRegularExpression::PatternOptions options;
};

// Each row names both patterns and their options side by side; they
// match the same lines of the corpus.  Our \d is any decimal digit and our
// \w a letter or decimal digit (without "_").
const Pair kPairs[] = {
    {"literal_led", u"Motor_\\d+:", REGEXP_CASE_SENSITIVE, "Motor_\\p{Nd}+:", {}},
    {"class_led", u"[A-Z]\\w*_\\d+:", REGEXP_CASE_SENSITIVE, "[A-Z][\\p{L}\\p{Nd}]*_\\p{Nd}+:",
     {}},
    {"literal_nocase", u"coolant 7", 0, "coolant 7", QRegularExpression::CaseInsensitiveOption},
    {"word_bounds", u"<Lube \\d\\d\\d>", REGEXP_CASE_SENSITIVE,
     WORD_START "Lube \\p{Nd}\\p{Nd}\\p{Nd}" WORD_END, {}},
    {"alternatives", u"{{Pump}|{Door}|{Lube}|{Home}|{Reset}|{Ready}|{DB}|{MW}}\\d",
     REGEXP_CASE_SENSITIVE, "(?:Pump|Door|Lube|Home|Reset|Ready|DB|MW)\\p{Nd}", {}},
};

struct Row
{
    double ours = -1;
    double theirs = -1;
    int64_t oursCount = -1;
    int64_t theirsCount = -1;
};

std::map<std::string, Row>& Rows()
{
    static std::map<std::string, Row> rows;
    return rows;
}

void Ours(benchmark::State& state, int pair)
{
    const Pair& p = kPairs[pair];
    const Corpus& c = TheCorpus();
    RegExp* re = RegExpCompile(p.ours);
    if (!re) {
        state.SkipWithError("does not compile");
        return;
    }
    int64_t matched = 0;
    double seconds = 0;
    double cpu = 0;
    for (auto _ : state) {
        matched = 0;
        const auto t0 = std::chrono::steady_clock::now();
        const double c0 = ThreadSeconds();
        int groups[REGEXP_GROUP_ENTRIES];
        for (const auto& [offset, length] : c.lines)
            matched += RegExpSearch(re, c.text.data() + offset, length, 0, groups, p.flags);
        cpu = ThreadSeconds() - c0;
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        benchmark::DoNotOptimize(matched);
    }
    state.counters["seconds"] = seconds;
    state.counters["cpu_seconds"] = cpu;
    state.counters["matched_lines"] = double(matched);
    state.counters["cache_bytes"] = double(RegExpAutomatonMemory(re));
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(c.text.size()) * 2);
    state.SetLabel(QString::fromUtf16(p.ours).toStdString() +
                   (p.flags & REGEXP_CASE_SENSITIVE ? " (case-sensitive)" : " (case-insensitive)"));
    RegExpFree(re);
    Rows()[p.name].ours = cpu;
    Rows()[p.name].oursCount = matched;
}

void Theirs(benchmark::State& state, int pair)
{
    const Pair& p = kPairs[pair];
    const Corpus& c = TheCorpus();
    const QRegularExpression re(QString::fromLatin1(p.theirs), p.options);
    if (!re.isValid()) {
        state.SkipWithError("does not compile");
        return;
    }
    re.optimize();
    int64_t matched = 0;
    double seconds = 0;
    double cpu = 0;
    for (auto _ : state) {
        matched = 0;
        const auto t0 = std::chrono::steady_clock::now();
        const double c0 = ThreadSeconds();
        for (const auto& [offset, length] : c.lines) {
            const QStringView line(c.text.data() + offset, length);
            matched += re.match(line).hasMatch();
        }
        cpu = ThreadSeconds() - c0;
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        benchmark::DoNotOptimize(matched);
    }
    state.counters["seconds"] = seconds;
    state.counters["cpu_seconds"] = cpu;
    state.counters["matched_lines"] = double(matched);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(c.text.size()) * 2);
    state.SetLabel(std::string(p.theirs) +
                   (p.options & QRegularExpression::CaseInsensitiveOption ? " (case-insensitive)"
                                                                          : ""));
    Rows()[p.name].theirs = cpu;
    Rows()[p.name].theirsCount = matched;
}

// tail: appended to the "a" run; the literal the expression needs, so that
// the prefilters pass and the automata and the simulation cross the line.
void Pathological(benchmark::State& state, const char16_t* expression, const char16_t* tail)
{
    const std::u16string line = std::u16string(size_t(state.range(0)), u'a') + tail;
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

// The table of ratios, printed when the program ends.
struct Table
{
    // The rows are made first, so that they are destroyed after the table
    // that prints them.
    Table() { Rows(); }
    ~Table()
    {
        if (Rows().empty())
            return;
        std::printf("\nCPU seconds per 100,000,000 characters, one search per line:\n");
        std::printf("%-16s %12s %12s %8s %14s %14s\n", "pattern", "ours [s]", "QRegExp [s]",
                    "ratio", "ours lines", "QRegExp lines");
        bool countsAgree = true;
        for (const Pair& p : kPairs) {
            const auto it = Rows().find(p.name);
            if (it == Rows().end())
                continue;
            const Row& r = it->second;
            if (r.ours < 0 || r.theirs < 0)
                continue; // only one side ran
            const double ratio = r.ours >= 0 && r.theirs > 0 ? r.ours / r.theirs : -1;
            std::printf("%-16s %12.4f %12.4f %8.3f %14lld %14lld%s\n", p.name, r.ours, r.theirs,
                        ratio, static_cast<long long>(r.oursCount),
                        static_cast<long long>(r.theirsCount),
                        r.oursCount == r.theirsCount ? "" : "  COUNTS DIFFER");
            if (r.oursCount != r.theirsCount)
                countsAgree = false;
        }
        if (!countsAgree)
            std::printf("The counts of matching lines differ.\n");
    }
} g_table;

} // namespace

BENCHMARK_CAPTURE(Ours, literal_led, 0)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Theirs, literal_led, 0)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Ours, class_led, 1)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Theirs, class_led, 1)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Ours, literal_nocase, 2)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Theirs, literal_nocase, 2)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Ours, word_bounds, 3)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Theirs, word_bounds, 3)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Ours, alternatives, 4)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Theirs, alternatives, 4)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Pathological, star_star, u"(a*)*b", u"")
    ->Arg(10000)->Arg(20000)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Pathological, alternative_loop, u"{{a}|{aa}}*c", u"")
    ->Arg(10000)->Arg(20000)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Pathological, empty_loop, u"(x?)*y", u"")
    ->Arg(10000)->Arg(20000)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Pathological, star_star_matching, u"(a*)*b", u"b")
    ->Arg(10000)->Arg(20000)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Pathological, alternative_loop_matching, u"{{a}|{aa}}*c", u"c")
    ->Arg(10000)->Arg(20000)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Pathological, empty_loop_matching, u"(x?)*y", u"xy")
    ->Arg(10000)->Arg(20000)->Unit(benchmark::kMillisecond);
