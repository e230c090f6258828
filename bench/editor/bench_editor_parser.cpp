// Colouring speed.  PLC: a generated PLC source of 1,000,000 lines coloured
// line by line with one reused block list and the cookie carried from line
// to line (PlcColour), and the cookies alone (PlcCookies).  Every other row
// (NcpColour, CColour, ... TexColour): 1,000,000 lines drawn in a fixed-seed
// order from that language's sample source, coloured the same way; C, HTML
// and TeX also compute the cookies alone (CCookies, HtmlCookies,
// TexCookies).  The counter "MB" (shown per second) counts one character as
// one byte; the targets are 20 MB/s for PlcColour and 50 MB/s for the others.

#include "bench/BenchSize.h"
#include "editor/parsers/EdtParser.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

const int kLines = bench::Size(1000000, 2000);
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
                line.append(u"L").append(1, char16_t(u'A' + i % 26)).append(u"_")
                    .append(1, char16_t(u'0' + i % 10)).append(u":\t");
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

// --- The other rows -----------------------------------------------------------

// 1,000,000 lines drawn from a sample source in a fixed-seed order.
struct SampleText
{
    std::vector<std::u16string> lines;
    size_t chars = 0;
};

std::unique_ptr<SampleText> LoadSample(const char* name)
{
    const char* env = std::getenv("SW_FIXTURES");
    std::string dir = env ? std::string(env) + "/editor/samples" : std::string(SW_SAMPLES_DIR);
    std::ifstream file(dir + "/" + name, std::ios::binary);
    std::vector<std::u16string> source;
    std::string raw;
    while (std::getline(file, raw)) {
        if (!raw.empty() && raw.back() == '\r')
            raw.pop_back();
        source.emplace_back(raw.begin(), raw.end());
    }
    auto text = std::make_unique<SampleText>();
    if (source.empty())
        return text;
    std::mt19937 gen(4711);
    std::uniform_int_distribution<size_t> pick(0, source.size() - 1);
    text->lines.reserve(kLines);
    for (int i = 0; i < kLines; ++i) {
        text->lines.push_back(source[pick(gen)]);
        text->chars += text->lines.back().size();
    }
    return text;
}

void SetRate(benchmark::State& state, size_t chars)
{
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * chars));
    state.counters["MB"] = benchmark::Counter(static_cast<double>(state.iterations()) *
                                                    static_cast<double>(chars) / 1e6,
                                                benchmark::Counter::kIsRate);
}

void LanguageColour(benchmark::State& state, EdtParseLineFn parser, const char* sample)
{
    std::unique_ptr<SampleText> text = LoadSample(sample);
    if (text->lines.empty()) {
        state.SkipWithError("sample source not found");
        return;
    }
    TextBlockList list;
    for (auto _ : state) {
        uint32_t cookie = 0;
        for (const std::u16string& line : text->lines) {
            list.Reset();
            list.Append(0, EDT_CLR_TEXT);
            cookie = parser(line, cookie, &list);
            benchmark::DoNotOptimize(list.Data());
        }
        benchmark::DoNotOptimize(cookie);
    }
    SetRate(state, text->chars);
}

void LanguageCookies(benchmark::State& state, EdtParseLineFn parser, const char* sample)
{
    std::unique_ptr<SampleText> text = LoadSample(sample);
    if (text->lines.empty()) {
        state.SkipWithError("sample source not found");
        return;
    }
    for (auto _ : state) {
        uint32_t cookie = 0;
        for (const std::u16string& line : text->lines)
            cookie = parser(line, cookie, nullptr);
        benchmark::DoNotOptimize(cookie);
    }
    SetRate(state, text->chars);
}

struct LanguageBench
{
    const char* name;  // the row's name in the benchmark's name
    EdtParseLineFn parser;
    const char* sample;
    bool cookies;      // also the cookies alone
};

const LanguageBench kLanguages[] = {
    {"Ncp", ParseLineNcp, "sample.ncp", false},
    {"C", ParseLineC, "sample.c", true},
    {"Java", ParseLineJava, "sample.java", false},
    {"InstallShield", ParseLineInstallShield, "sample.rul", false},
    {"Resources", ParseLineResources, "sample.rc", false},
    {"Rexx", ParseLineRexx, "sample.rex", false},
    {"Sql", ParseLineSql, "sample.sql", false},
    {"Python", ParseLinePython, "sample.py", false},
    {"Shell", ParseLineShell, "sample.sh", false},
    {"Perl", ParseLinePerl, "sample.pl", false},
    {"Tcl", ParseLineTcl, "sample.tcl", false},
    {"Pascal", ParseLinePascal, "sample.pas", false},
    {"Basic", ParseLineBasic, "sample.bas", false},
    {"Fortran", ParseLineFortran, "sample.f", false},
    {"Dcl", ParseLineDcl, "sample.dcl", false},
    {"AutoLisp", ParseLineAutoLisp, "sample.lsp", false},
    {"Siod", ParseLineSiod, "sample.scm", false},
    {"Batch", ParseLineBatch, "sample.bat", false},
    {"Html", ParseLineHtml, "sample.html", true},
    {"Sgml", ParseLineSgml, "sample.sgml", false},
    {"Php", ParseLinePhp, "sample.php", false},
    {"Asp", ParseLineAsp, "sample.asp", false},
    {"Tex", ParseLineTex, "sample.tex", true},
};

[[maybe_unused]] const bool kRegistered = [] {
    for (const LanguageBench& l : kLanguages) {
        benchmark::RegisterBenchmark((std::string(l.name) + "Colour").c_str(), LanguageColour,
                                     l.parser, l.sample)
            ->Unit(benchmark::kMillisecond);
        if (l.cookies)
            benchmark::RegisterBenchmark((std::string(l.name) + "Cookies").c_str(),
                                         LanguageCookies, l.parser, l.sample)
                ->Unit(benchmark::kMillisecond);
    }
    return true;
}();

} // namespace

BENCHMARK(PlcColour)->Unit(benchmark::kMillisecond);
BENCHMARK(PlcCookies)->Unit(benchmark::kMillisecond);
