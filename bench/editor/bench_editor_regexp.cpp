// Speed of the editor's regular expressions against other engines.
//
// The text: 100,000,000 bytes of generated PLC-like lines in code page
// 1250 with CR LF (SW_BENCH_SMALL: 200,000), written into a temporary
// folder and loaded with CEdtTextBuffer::LoadFromFile as the editor does.
// Every job finds the lines that hold a match ("find all"):
//   ours           the editor's search over the line store: the scan of the
//                  lines' memory for the literals every match contains
//                  (edt::LineScan), the engine on the lines it names, or on
//                  every line when the expression has no such literals;
//   pcre2          PCRE2 with its JIT on the same UTF-16 text as one buffer
//                  (after a match, on from the next line), and line by line;
//   ours lines     (for information) the engine alone on every line;
//   QRegularExpression line by line;
//   hyperscan      (amd64 only, for information) the file's 8-bit text.
// The peers get equivalent patterns; all counts of matching lines are
// printed and must agree.  Jobs: a literal-led expression, a
// case-insensitive literal, four literals in alternation, a class-led
// expression; and every match of one line of 1,000,000 characters, each
// search from the end of the match before.
// Pathological: expressions that explode in backtracking matchers, on one
// line of 10,000 and one of 20,000 "a" (without and with the character that
// completes a match); the time must roughly double.
//
// Times are CPU seconds of the calling thread (the machine may be shared),
// the best of a few runs.  At the end one line per target:
//   target <name> <measured> <limit> ok|miss
// regex_literal_vs_pcre2_jit, regex_nocase_vs_pcre2_jit,
// regex_alternation_vs_pcre2_jit: ours / PCRE2 whole buffer, at most 2;
// regex_class_vs_pcre2_jit_lines: ours / PCRE2 line by line, at most 1.5;
// regex_longline_all_matches_s: seconds, at most 0.01.

#include "bench/BenchDir.h"
#include "bench/BenchLongLine.h"
#include "bench/BenchSize.h"
#include "editor/regexp/EdtLineScan.h"
#include "editor/regexp/EdtRegExp.h"
#include "editor/buffer/EdtTextBuffer.h"

#define PCRE2_CODE_UNIT_WIDTH 16
#include <pcre2.h>

#if defined(SW_HAVE_HYPERSCAN)
#include <hs/hs.h>
#endif

#include <QRegularExpression>
#include <QString>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include <stdlib.h>

namespace fs = std::filesystem;

namespace {

const size_t kFileSize = bench::Size<size_t>(100u * 1000 * 1000, 200u * 1000);
const int kLongLine = bench::Size(1'000'000, 20'000);
const int kRuns = bench::Size(3, 1);

double ThreadSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

// The best CPU time of kRuns runs of job, which returns its count.
template <class Job> double Best(Job&& job, int64_t& count)
{
    double best = 1e30;
    for (int r = 0; r < kRuns; ++r) {
        const double t0 = ThreadSeconds();
        count = job();
        best = std::min(best, ThreadSeconds() - t0);
    }
    return best;
}

// A fresh temporary folder, removed at exit.
const std::string& BenchDir()
{
    return bench::ProgramTempDir("sw-bench-regexp-");
}

// The PLC-like text: instruction lists, assignments, comments with Czech
// words (code page 1250), about one line in 10,000 with a "Motor_<n>:"
// label and one in 5,000 with one of four alarm names.
std::string MakeFile()
{
    static const char* const words[] = {
        "LD",    "LDN",      "ST",     "AND",    "ANDN",  "OR",     "XOR",    "MOV",
        "CALL",  "JMP",      "IF",     "THEN",   "ELSE",  "END_IF", "Axis_X", "Spindle",
        "Timer", "TON",      "CTU",    "Valve_", "Pump",  "%MW100", "%I0.0",  "%Q4.2",
        "DB10",  "M10.1",    "motion", "Feed",   "Clamp", "Door",   "Lube",   "Coolant",
        "Tool_", "Magazine", "Home",   "Ready",  "Error", "Reset",  ":=",     ";",
    };
    // "zapnutí", "čerpadlo", "vřeteno", "ochrana" in code page 1250.
    static const char* const czech[] = {"zapnut\xED",
                                        "\xE8"
                                        "erpadlo",
                                        "v\xF8"
                                        "eteno",
                                        "ochrana"};
    static const char* const alarms[] = {"Estop", "Overtemp", "Homing_Err", "Drive_Fault"};
    std::mt19937 rng(1234567);
    std::string data;
    data.reserve(kFileSize + 256);
    while (data.size() < kFileSize) {
        const int target = int(rng() % 121);
        std::string line;
        if (rng() % 10000 == 0)
            line += "  Motor_" + std::to_string(rng() % 100) + ": ";
        if (rng() % 5000 == 0)
            line += std::string(" ") + alarms[rng() % 4] + " ";
        if (rng() % 20 == 0) {
            line += "// ";
            line += czech[rng() % 4];
            line += ' ';
        }
        while (int(line.size()) < target) {
            switch (rng() % 4) {
            case 0:
                line += ' ';
                break;
            case 1:
                line += char('0' + rng() % 10);
                break;
            default:
                line += words[rng() % (sizeof words / sizeof words[0])];
                line += ' ';
                break;
            }
        }
        data += line;
        data += "\r\n";
    }
    return data;
}

// The file, the editor's buffer loaded from it, and the same text as
// UTF-16 in one piece with its lines (for the peers).
struct Corpus
{
    std::string bytes;
    CEdtTextBuffer buffer;
    std::u16string text;
    std::vector<std::pair<size_t, int>> lines; // offset, length
};

Corpus& TheCorpus()
{
    static Corpus* corpus = [] {
        auto* c = new Corpus;
        c->bytes = MakeFile();
        const std::string path = BenchDir() + "/plc.txt";
        std::ofstream(path, std::ios::binary)
            .write(c->bytes.data(), std::streamsize(c->bytes.size()));
        if (!c->buffer.LoadFromFile(std::u16string(path.begin(), path.end())))
            std::abort();
        const int n = c->buffer.GetLineCount();
        c->text.reserve(c->bytes.size());
        for (int l = 0; l < n; ++l) {
            const std::u16string_view v = c->buffer.GetLineView(l);
            c->lines.emplace_back(c->text.size(), int(v.size()));
            c->text += v;
            if (l + 1 < n)
                c->text += u"\r\n";
        }
        return c;
    }();
    return *corpus;
}

// Our \d is any decimal digit, \w a letter or decimal digit (no "_"); the
// peers' patterns say the same in their terms (the text's identifiers are
// ASCII, so the 8-bit patterns agree on it).
struct Job
{
    const char* name;
    const char16_t* ours;
    uint32_t flags;
    const char* pcre; // also QRegularExpression's
    bool caseless;
    const char* hyperscan;
};

const Job kJobs[] = {
    {"literal", u"Motor_\\d+:", REGEXP_CASE_SENSITIVE, "Motor_\\p{Nd}+:", false, "Motor_[0-9]+:"},
    {"nocase", u"coolant 7", 0, "coolant 7", true, "coolant 7"},
    {"alternation", u"{Estop}|{Overtemp}|{Homing_Err}|{Drive_Fault}", REGEXP_CASE_SENSITIVE,
     "Estop|Overtemp|Homing_Err|Drive_Fault", false, "Estop|Overtemp|Homing_Err|Drive_Fault"},
    {"class", u"[A-Z]\\w*_\\d+:", REGEXP_CASE_SENSITIVE, "[A-Z][\\p{L}\\p{Nd}]*_\\p{Nd}+:", false,
     "[A-Z][A-Za-z0-9]*_[0-9]+:"},
};

struct Figures
{
    double ours = -1, oursLines = -1, pcreWhole = -1, pcreLines = -1, qt = -1, hs = -1;
    int64_t oursCount = -1, oursLinesCount = -1, pcreWholeCount = -1, pcreLinesCount = -1,
            qtCount = -1, hsCount = -1;
};

std::map<std::string, Figures>& Results()
{
    static std::map<std::string, Figures> r;
    return r;
}

// ---- ours

int64_t OursFindAll(const RegExp* re, uint32_t flags)
{
    const Corpus& c = TheCorpus();
    const edt::LineStore& store = c.buffer.GetLineStore();
    const int n = store.Size();
    edt::LineScan scan(&store, re, flags);
    int groups[REGEXP_GROUP_ENTRIES];
    int64_t count = 0;
    for (int l = 0; l < n; ++l) {
        if (scan.Active()) {
            int passed = 0;
            const int next = scan.Next(l, 0, n - 1, passed);
            if (next < 0) {
                l += passed - 1;
                continue;
            }
            l = next;
        }
        const edt::LineText& t = store.At(l).text;
        count += RegExpSearch(re, t.data(), int(t.size()), 0, groups, flags);
    }
    return count;
}

void Ours(benchmark::State& state, int job)
{
    const Job& j = kJobs[job];
    RegExp* re = RegExpCompile(j.ours);
    if (!re) {
        state.SkipWithError("does not compile");
        return;
    }
    TheCorpus();
    Figures& f = Results()[j.name];
    for (auto _ : state)
        f.ours = Best([&] { return OursFindAll(re, j.flags); }, f.oursCount);
    state.counters["cpu_seconds"] = f.ours;
    state.counters["lines"] = double(f.oursCount);
    RegExpFree(re);
}

// The engine alone on every line, one call per line (for information: the
// path of expressions without literals to scan for).
void OursLines(benchmark::State& state, int job)
{
    const Job& j = kJobs[job];
    RegExp* re = RegExpCompile(j.ours);
    const Corpus& c = TheCorpus();
    const edt::LineStore& store = c.buffer.GetLineStore();
    Figures& f = Results()[j.name];
    for (auto _ : state)
        f.oursLines = Best(
            [&] {
                int64_t count = 0;
                int groups[REGEXP_GROUP_ENTRIES];
                for (int l = 0; l < store.Size(); ++l) {
                    const edt::LineText& t = store.At(l).text;
                    count += RegExpSearch(re, t.data(), int(t.size()), 0, groups, j.flags);
                }
                return count;
            },
            f.oursLinesCount);
    state.counters["cpu_seconds"] = f.oursLines;
    state.counters["lines"] = double(f.oursLinesCount);
    RegExpFree(re);
}

// ---- PCRE2

struct Pcre
{
    explicit Pcre(const char* pattern, bool caseless)
    {
        int error = 0;
        PCRE2_SIZE offset = 0;
        const std::u16string p(pattern, pattern + std::strlen(pattern));
        code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(p.data()), p.size(),
                             PCRE2_UTF | PCRE2_UCP | (caseless ? PCRE2_CASELESS : 0), &error,
                             &offset, nullptr);
        if (code) {
            pcre2_jit_compile(code, PCRE2_JIT_COMPLETE);
            data = pcre2_match_data_create_from_pattern(code, nullptr);
        }
    }
    ~Pcre()
    {
        pcre2_match_data_free(data);
        pcre2_code_free(code);
    }
    // The match from start on: its start and end, false for none.
    bool Match(const char16_t* text, size_t length, size_t start, size_t& s, size_t& e) const
    {
        const int rc = pcre2_jit_match(code, reinterpret_cast<PCRE2_SPTR>(text), length, start,
                                       PCRE2_NO_UTF_CHECK, data, nullptr);
        if (rc < 0)
            return false;
        const PCRE2_SIZE* ov = pcre2_get_ovector_pointer(data);
        s = ov[0];
        e = ov[1];
        return true;
    }
    pcre2_code* code = nullptr;
    pcre2_match_data* data = nullptr;
};

void PcreWhole(benchmark::State& state, int job)
{
    const Job& j = kJobs[job];
    const Corpus& c = TheCorpus();
    const Pcre re(j.pcre, j.caseless);
    if (!re.code) {
        state.SkipWithError("does not compile");
        return;
    }
    Figures& f = Results()[j.name];
    const std::u16string_view text(c.text);
    for (auto _ : state)
        f.pcreWhole = Best(
            [&] {
                int64_t count = 0;
                size_t at = 0, s = 0, e = 0;
                while (at <= text.size() && re.Match(text.data(), text.size(), at, s, e)) {
                    ++count;
                    const size_t lf = text.find(u'\n', e);
                    if (lf == std::u16string_view::npos)
                        break;
                    at = lf + 1;
                }
                return count;
            },
            f.pcreWholeCount);
    state.counters["cpu_seconds"] = f.pcreWhole;
    state.counters["lines"] = double(f.pcreWholeCount);
}

void PcreLines(benchmark::State& state, int job)
{
    const Job& j = kJobs[job];
    const Corpus& c = TheCorpus();
    const Pcre re(j.pcre, j.caseless);
    if (!re.code) {
        state.SkipWithError("does not compile");
        return;
    }
    Figures& f = Results()[j.name];
    for (auto _ : state)
        f.pcreLines = Best(
            [&] {
                int64_t count = 0;
                size_t s = 0, e = 0;
                for (const auto& [offset, length] : c.lines)
                    count += re.Match(c.text.data() + offset, size_t(length), 0, s, e);
                return count;
            },
            f.pcreLinesCount);
    state.counters["cpu_seconds"] = f.pcreLines;
    state.counters["lines"] = double(f.pcreLinesCount);
}

// ---- QRegularExpression

void QRegExp(benchmark::State& state, int job)
{
    const Job& j = kJobs[job];
    const Corpus& c = TheCorpus();
    const QRegularExpression re(QString::fromLatin1(j.pcre),
                                j.caseless ? QRegularExpression::CaseInsensitiveOption
                                           : QRegularExpression::NoPatternOption);
    if (!re.isValid()) {
        state.SkipWithError("does not compile");
        return;
    }
    re.optimize();
    Figures& f = Results()[j.name];
    for (auto _ : state)
        f.qt = Best(
            [&] {
                int64_t count = 0;
                for (const auto& [offset, length] : c.lines)
                    count += re.match(QStringView(c.text.data() + offset, length)).hasMatch();
                return count;
            },
            f.qtCount);
    state.counters["cpu_seconds"] = f.qt;
    state.counters["lines"] = double(f.qtCount);
}

// ---- Hyperscan

#if defined(SW_HAVE_HYPERSCAN)
struct HsLines
{
    const char* bytes;
    size_t size;
    size_t lineEnd; // the end of the line counted last
    int64_t count;
};

int OnHsMatch(unsigned, unsigned long long, unsigned long long to, unsigned, void* context)
{
    auto* h = static_cast<HsLines*>(context);
    if (h->count > 0 && to <= h->lineEnd)
        return 0; // a further match in a counted line
    ++h->count;
    const void* lf = std::memchr(h->bytes + to, '\n', h->size - to);
    h->lineEnd = lf ? size_t(static_cast<const char*>(lf) - h->bytes) : h->size;
    return 0;
}

void Hyperscan(benchmark::State& state, int job)
{
    const Job& j = kJobs[job];
    const Corpus& c = TheCorpus();
    hs_database_t* db = nullptr;
    hs_compile_error_t* error = nullptr;
    if (hs_compile(j.hyperscan, j.caseless ? HS_FLAG_CASELESS : 0, HS_MODE_BLOCK, nullptr, &db,
                   &error) != HS_SUCCESS) {
        hs_free_compile_error(error);
        state.SkipWithError("does not compile");
        return;
    }
    hs_scratch_t* scratch = nullptr;
    hs_alloc_scratch(db, &scratch);
    Figures& f = Results()[j.name];
    for (auto _ : state)
        f.hs = Best(
            [&] {
                HsLines h{c.bytes.data(), c.bytes.size(), 0, 0};
                hs_scan(db, c.bytes.data(), unsigned(c.bytes.size()), 0, scratch, OnHsMatch, &h);
                return h.count;
            },
            f.hsCount);
    state.counters["cpu_seconds"] = f.hs;
    state.counters["lines"] = double(f.hsCount);
    hs_free_scratch(scratch);
    hs_free_database(db);
}
#endif

// ---- every match of one long line

struct LongLine
{
    double ours = -1, pcre = -1;
    int64_t oursCount = -1, pcreCount = -1;
} g_longLine;

const std::u16string& TheLongLine()
{
    static const std::u16string line = bench::PlcLongLine(
        kLongLine, [](std::mt19937& rng, std::u16string& s) { s += rng() % 2 ? u"Feed" : u"Door"; });
    return line;
}

void LongLineOurs(benchmark::State& state)
{
    const std::u16string& line = TheLongLine();
    RegExp* re = RegExpCompile(u"Motor_\\d+:");
    const int n = int(line.size());
    for (auto _ : state)
        g_longLine.ours = Best(
            [&] {
                int64_t count = 0;
                int groups[REGEXP_GROUP_ENTRIES];
                int at = 0;
                while (at <= n &&
                       RegExpSearch(re, line.data(), n, at, groups, REGEXP_CASE_SENSITIVE)) {
                    ++count;
                    const int s = groups[0], e = groups[REGEXP_MAX_GROUPS];
                    at = e > s ? e : e + 1;
                }
                return count;
            },
            g_longLine.oursCount);
    state.counters["cpu_seconds"] = g_longLine.ours;
    state.counters["matches"] = double(g_longLine.oursCount);
    RegExpFree(re);
}

void LongLinePcre(benchmark::State& state)
{
    const std::u16string& line = TheLongLine();
    const Pcre re("Motor_\\p{Nd}+:", false);
    for (auto _ : state)
        g_longLine.pcre = Best(
            [&] {
                int64_t count = 0;
                size_t at = 0, s = 0, e = 0;
                while (at <= line.size() && re.Match(line.data(), line.size(), at, s, e)) {
                    ++count;
                    at = e > s ? e : e + 1;
                }
                return count;
            },
            g_longLine.pcreCount);
    state.counters["cpu_seconds"] = g_longLine.pcre;
    state.counters["matches"] = double(g_longLine.pcreCount);
}

void Target(const char* name, double measured, double limit)
{
    std::printf("target %s %.4f %.4f %s\n", name, measured, limit,
                measured >= 0 && measured <= limit ? "ok" : "miss");
}

double Ratio(double a, double b)
{
    return a >= 0 && b > 0 ? a / b : -1;
}

void PrintSummary()
{
    std::printf("\nCPU seconds (best of %d), lines with a match:\n", kRuns);
    std::printf("%-12s %10s %10s %10s %10s %10s %10s  %s\n", "job", "ours", "ours lines", "pcre2",
                "pcre2 lines", "QRegExp", "hyperscan",
                "lines (ours ours-lines pcre2 pcre2-lines QRegExp hyperscan)");
    bool agree = true;
    for (const Job& j : kJobs) {
        const Figures& f = Results()[j.name];
        std::printf(
            "%-12s %10.4f %10.4f %10.4f %10.4f %10.4f %10.4f  %lld %lld %lld %lld %lld %lld\n",
            j.name, f.ours, f.oursLines, f.pcreWhole, f.pcreLines, f.qt, f.hs,
            (long long)f.oursCount, (long long)f.oursLinesCount, (long long)f.pcreWholeCount,
            (long long)f.pcreLinesCount, (long long)f.qtCount, (long long)f.hsCount);
        for (int64_t other :
             {f.oursLinesCount, f.pcreWholeCount, f.pcreLinesCount, f.qtCount, f.hsCount})
            agree = agree && (other < 0 || other == f.oursCount);
    }
    std::printf("long line (%d characters): ours %.4f s, pcre2 %.4f s, matches %lld %lld\n",
                kLongLine, g_longLine.ours, g_longLine.pcre, (long long)g_longLine.oursCount,
                (long long)g_longLine.pcreCount);
    agree = agree && g_longLine.oursCount == g_longLine.pcreCount;
    if (!agree)
        std::printf("THE COUNTS DIFFER\n");
    std::printf("\nFor information, ours / QRegularExpression and ours / Hyperscan:\n");
    for (const Job& j : kJobs) {
        const Figures& f = Results()[j.name];
        std::printf("info %s_vs_qregularexpression %.3f\n", j.name, Ratio(f.ours, f.qt));
        std::printf("info %s_vs_hyperscan %.3f\n", j.name, Ratio(f.ours, f.hs));
    }
    std::printf("\n");
    const auto& r = Results();
    Target("regex_literal_vs_pcre2_jit", Ratio(r.at("literal").ours, r.at("literal").pcreWhole), 2);
    Target("regex_nocase_vs_pcre2_jit", Ratio(r.at("nocase").ours, r.at("nocase").pcreWhole), 2);
    Target("regex_alternation_vs_pcre2_jit",
           Ratio(r.at("alternation").ours, r.at("alternation").pcreWhole), 2);
    Target("regex_class_vs_pcre2_jit_lines", Ratio(r.at("class").ours, r.at("class").pcreLines),
           1.5);
    Target("regex_longline_all_matches_s", g_longLine.ours, 0.01);
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

} // namespace

BENCHMARK_CAPTURE(Ours, literal, 0)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(OursLines, literal, 0)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(PcreWhole, literal, 0)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(PcreLines, literal, 0)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(QRegExp, literal, 0)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Ours, nocase, 1)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(OursLines, nocase, 1)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(PcreWhole, nocase, 1)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(PcreLines, nocase, 1)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(QRegExp, nocase, 1)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Ours, alternation, 2)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(OursLines, alternation, 2)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(PcreWhole, alternation, 2)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(PcreLines, alternation, 2)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(QRegExp, alternation, 2)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Ours, class, 3)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(OursLines, class, 3)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(PcreWhole, class, 3)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(PcreLines, class, 3)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(QRegExp, class, 3)->Iterations(1)->Unit(benchmark::kMillisecond);
#if defined(SW_HAVE_HYPERSCAN)
BENCHMARK_CAPTURE(Hyperscan, literal, 0)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Hyperscan, nocase, 1)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Hyperscan, alternation, 2)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Hyperscan, class, 3)->Iterations(1)->Unit(benchmark::kMillisecond);
#endif
BENCHMARK(LongLineOurs)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(LongLinePcre)->Iterations(1)->Unit(benchmark::kMillisecond);
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

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    // The summary needs every job; a filtered run prints none.
    bool all = g_longLine.ours >= 0;
    for (const Job& j : kJobs)
        all = all && Results()[j.name].ours >= 0 && Results()[j.name].pcreWhole >= 0 &&
              Results()[j.name].pcreLines >= 0;
    if (all)
        PrintSummary();
    return 0;
}
