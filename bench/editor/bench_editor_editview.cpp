// Edit view speed on a generated PLC source of 1,000,000 lines and about
// 100,000,000 bytes (the generator of bench_editor_textview, with about
// 100,000 lines holding "zapnuto" and a "Motor_<n>:" label and about
// 200,000 holding "vypnuto"), loaded with LoadFromFile into an attached
// 1280 x 1024 edit view (offscreen, no painting unless stated).  Each
// figure stands beside its baseline of the same run:
//   TypeChars: mean <= 100 us a keystroke, none over 2 ms (counters)
//   TypeAndPaint <= PaintAlone + 0.5 ms;  UndoTyping: mean <= 100 us
//   FindEveryMatch/plain, /nocase <= 1.5 x, /word <= 2 x, /regex <= 1.3 x
//   their Baseline*;  ReplaceAll <= FindEveryMatch of the same text (arg 0,
//   arg 4 for the expression with groups) + 10 us
//   a replacement;  ReplaceAllLinear (200,000) <= 2.2 x ReplaceAll
//   (100,000);  UndoReplaceAll <= ReplaceAll

#include "bench/BenchSize.h"
#include "editor/view/EdtEditView.h"
#include "editor/find/EdtFindController.h"
#include "editor/view/EdtLayoutCache.h"
#include "editor/regexp/EdtRegExp.h"
#include "editor/settings/EdtSettings.h"
#include "editor/settings/EdtTextTypes.h"
#include "editor/view/EdtViewScroller.h"
#include "platform/ui/Prompt.h"

#include <QApplication>
#include <QImage>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <random>
#include <string>

#include <unistd.h>

namespace {

const int kLines = bench::Size(1000000, 2000);

// The application and the shared view go in main(), in that order after
// the view: left to the exit-time destructors, the view would outlive
// parts of Qt it uses.
std::unique_ptr<QApplication> g_app;

QApplication& App()
{
    static int argc = 1;
    static char name[] = "bench_editor_editview";
    static char* argv[] = {name, nullptr};
    if (!g_app) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        g_app = std::make_unique<QApplication>(argc, argv);
        ui::SetPromptHandler([](const ui::PromptQuestion&) { return int(ui::IDOK); });
        edt::SetSearchProgressDelay(INT_MAX);
    }
    return *g_app;
}

const std::string& SourcePath()
{
    static const std::string path = [] {
        const std::string p = "/tmp/bench_editor_editview_" + std::to_string(::getpid()) + ".plc";
        const char* sections[] = {"MODULE_MAIN", "DATA", "DATA_END", "PIS_FAST", "SYMBOLTAB", "module_init_end"};
        const char* instr[] = {"LOD", "STO", "ANDB", "TSET", "POS_INIT_X", "lod", "CAN_SEND", "EQ", "JUM", "MOV"};
        const char* operands[] = {"M_START", "AX", "Motor_1.Run", "0x1F", "125", "\"text\"", "T_5*2-B/3",
                                  "[BX+4]", "\xE8\x61s_\xE8\x61st\xED"};
        const char* words[] = {"po\xE8\xEDt\xE1", "motor", "b\xECh", "stav", "chyba", "v\xFDstup", "kontrola"};
        std::mt19937 gen(4242);
        auto pick = [&](auto& arr) { return arr[gen() % std::size(arr)]; };
        std::string out;
        out.reserve(104u << 20);
        std::string line;
        for (int i = 0; i < kLines; ++i) {
            const size_t target = gen() % 199;
            line.clear();
            const int kind = int(gen() % 100);
            if (i % 10 == 3)
                line += "Motor_" + std::to_string(i % 977) + ":\tzapnuto ";
            else if (kind < 8)
                line.append("L").append(std::to_string(i % 977)).append(":\t");
            else if (kind < 60)
                line += "\t";
            if (i % 5 == 1)
                line += "vypnuto ";
            if (kind < 5)
                line += pick(sections);
            else if (kind < 80) {
                line += pick(instr);
                line += "\t";
                line += pick(operands);
                while (line.size() + 12 < target) {
                    line += ", ";
                    line += pick(operands);
                }
            }
            if (line.size() < target) {
                line += " ; ";
                while (line.size() < target) {
                    line += pick(words);
                    line += ' ';
                }
            }
            out += line;
            out += "\r\n";
        }
        std::ofstream(p, std::ios::binary).write(out.data(), std::streamsize(out.size()));
        // Removed at exit through a copy: the exit handler runs after the
        // static string has been destroyed.
        static char name[512];
        std::snprintf(name, sizeof name, "%s", p.c_str());
        std::atexit([] { std::remove(name); });
        return p;
    }();
    return path;
}

class BenchView : public CEdtEditView
{
public:
    BenchView() { setAttribute(Qt::WA_DontShowOnScreen); }
    ~BenchView() override { DetachFromBuffer(); }
    CEdtTextBuffer* LocateTextBuffer() override { return &buffer; }
    CEdtTextBuffer buffer;
    QImage image{1280, 1024, QImage::Format_RGB32};
    void PaintAll() { render(&image); }
};

std::unique_ptr<BenchView> g_view;

// Shown for the figures that paint, hidden for the others ("no painting":
// a hidden view queues no repaints).
BenchView& Shared(bool shown = false);

BenchView& Shared(bool shown)
{
    std::unique_ptr<BenchView>& v = g_view;
    if (!v) v = [] {
        App();
        EdtLoadSettings();
        auto view = std::make_unique<BenchView>();
        view->resize(1280, 1024);
        view->show();
        if (!view->buffer.LoadFromFile(std::u16string(SourcePath().begin(), SourcePath().end())))
            std::abort(); // no figures of an empty buffer
        view->SetTextType(std::u16string_view(u"plc"));
        view->AttachToBuffer();
        view->SetTextType(std::u16string_view(u"plc"));
        view->SetFont(GetEdtEditorFont());
        view->Cache().FinishFiller();
        return view;
    }();
    v->setVisible(shown);
    return *v;
}

using Clock = std::chrono::steady_clock;
double Us(Clock::duration d)
{
    return std::chrono::duration<double, std::micro>(d).count();
}

// 1,000 keystrokes at 100 places: letters, blanks, a tenth Enter (the view
// shown, as while typing).
const char16_t kKeys[10] = {u'a', u'b', u'c', u' ', u'd', u'e', 13, u'f', u' ', u'g'};

void BM_TypeChars(benchmark::State& state)
{
    BenchView& v = Shared(true);
    double total = 0, worst = 0;
    int n = 0;
    for (auto _ : state) {
        for (int place = 0; place < 100; ++place) {
            v.SetCursorPos({3, 7 + place * 9973});
            for (char16_t c : kKeys) {
                const auto t0 = Clock::now();
                v.OnChar(c);
                const double us = Us(Clock::now() - t0);
                total += us;
                worst = std::max(worst, us);
                ++n;
            }
        }
        state.PauseTiming();
        EdtPoint caret;
        while (v.buffer.CanUndo())
            v.buffer.Undo(caret);
        state.ResumeTiming();
    }
    state.counters["mean_us"] = total / std::max(n, 1);
    state.counters["max_us"] = worst;
}
BENCHMARK(BM_TypeChars)->Unit(benchmark::kMillisecond)->Iterations(bench::Size(3, 1));

void BM_UndoTyping(benchmark::State& state)
{
    BenchView& v = Shared(true);
    double total = 0;
    int n = 0;
    for (auto _ : state) {
        state.PauseTiming();
        for (int place = 0; place < 100; ++place) {
            v.SetCursorPos({3, 7 + place * 9973});
            for (char16_t c : kKeys)
                v.OnChar(c);
        }
        state.ResumeTiming();
        while (v.buffer.CanUndo()) {
            const auto t0 = Clock::now();
            v.ExecuteCommand(ID_EDIT_UNDO);
            total += Us(Clock::now() - t0);
            ++n;
        }
    }
    state.counters["mean_us"] = total / std::max(n, 1);
}
BENCHMARK(BM_UndoTyping)->Unit(benchmark::kMillisecond)->Iterations(bench::Size(3, 1));

void BM_PaintAlone(benchmark::State& state)
{
    BenchView& v = Shared(true);
    v.SetCursorPos({3, 500000});
    v.Scroller().ScrollToLine(499990);
    for (auto _ : state)
        v.PaintAll();
}
BENCHMARK(BM_PaintAlone)->Unit(benchmark::kMillisecond);

void BM_TypeAndPaint(benchmark::State& state)
{
    BenchView& v = Shared(true);
    v.SetCursorPos({3, 500000});
    v.Scroller().ScrollToLine(499990);
    int i = 0;
    for (auto _ : state) {
        const char16_t c = kKeys[i++ % 10];
        v.OnChar(c == 13 ? u'x' : c);
        v.PaintAll();
    }
    EdtPoint caret;
    while (v.buffer.CanUndo())
        v.buffer.Undo(caret);
}
BENCHMARK(BM_TypeAndPaint)->Unit(benchmark::kMillisecond);

// ---- find

int FindEvery(BenchView& v, std::u16string_view text, uint32_t flags)
{
    EdtPoint pos{0, 0}, found;
    int n = 0;
    while (v.FindText(text, pos, flags, false, found)) {
        v.HighlightText(found, v.Finder().GetLastMatchLength(), false);
        pos = v.GetCursorPos();
        if (v.Finder().GetLastMatchLength() == 0) {
            if (pos.line + 1 >= v.GetLineCount())
                break;
            pos = {0, pos.line + 1};
        }
        ++n;
    }
    return n;
}

void BM_FindEveryMatch(benchmark::State& state)
{
    BenchView& v = Shared();
    static const std::u16string texts[] = {u"zapnuto", u"ZAPNUTO", u"zapnuto", u"Motor_\\d+:",
                                           u"(Motor)_(\\d+):"};
    const uint32_t flags[] = {EDT_FIND_MATCH_CASE, 0, EDT_FIND_MATCH_CASE | EDT_FIND_WHOLE_WORD,
                              EDT_FIND_MATCH_CASE | EDT_FIND_REGEXP, EDT_FIND_MATCH_CASE | EDT_FIND_REGEXP};
    const int k = int(state.range(0));
    int n = 0;
    for (auto _ : state)
        n = FindEvery(v, texts[k], flags[k]);
    state.counters["matches"] = n;
}
BENCHMARK(BM_FindEveryMatch)->Arg(0)->Arg(1)->Arg(2)->Arg(3)->Arg(4)->ArgNames({"plain_nocase_word_regex_groups"})->Unit(benchmark::kMillisecond);

void BM_BaselineFindPlain(benchmark::State& state)
{
    BenchView& v = Shared();
    const std::u16string_view text = u"zapnuto";
    int n = 0;
    for (auto _ : state) {
        n = 0;
        for (int l = 0; l < v.GetLineCount(); ++l) {
            const std::u16string_view line(v.GetLineChars(l), size_t(v.GetLineLength(l)));
            for (size_t p = line.find(text); p != line.npos; p = line.find(text, p + text.size()))
                ++n;
        }
        benchmark::DoNotOptimize(n);
    }
    state.counters["matches"] = n;
}
BENCHMARK(BM_BaselineFindPlain)->Unit(benchmark::kMillisecond);

void BM_BaselineFindFolded(benchmark::State& state)
{
    BenchView& v = Shared();
    const std::u16string_view text = u"zapnuto";
    std::u16string buf;
    int n = 0;
    for (auto _ : state) {
        n = 0;
        for (int l = 0; l < v.GetLineCount(); ++l) {
            const char16_t* s = v.GetLineChars(l);
            const size_t len = size_t(v.GetLineLength(l));
            buf.resize(len);
            for (size_t i = 0; i < len; ++i)
                buf[i] = QChar::toLower(s[i]);
            const std::u16string_view line(buf);
            for (size_t p = line.find(text); p != line.npos; p = line.find(text, p + text.size()))
                ++n;
        }
        benchmark::DoNotOptimize(n);
    }
    state.counters["matches"] = n;
}
BENCHMARK(BM_BaselineFindFolded)->Unit(benchmark::kMillisecond);

void BM_BaselineRegExpSearch(benchmark::State& state)
{
    BenchView& v = Shared();
    RegExp* re = RegExpCompile(state.range(0) == 0 ? u"Motor_\\d+:" : u"(Motor)_(\\d+):");
    int groups[REGEXP_GROUP_ENTRIES];
    int n = 0;
    for (auto _ : state) {
        n = 0;
        for (int l = 0; l < v.GetLineCount(); ++l) {
            const int len = v.GetLineLength(l);
            int at = 0;
            while (at <= len && RegExpSearch(re, v.GetLineChars(l), len, at, groups, REGEXP_CASE_SENSITIVE)) {
                ++n;
                at = std::max(groups[REGEXP_MAX_GROUPS], groups[0] + 1);
            }
        }
        benchmark::DoNotOptimize(n);
    }
    RegExpFree(re);
    state.counters["matches"] = n;
}
BENCHMARK(BM_BaselineRegExpSearch)->Arg(0)->Arg(1)->ArgNames({"plain_groups"})->Unit(benchmark::kMillisecond);

// ---- replace

int ReplaceEvery(BenchView& v, std::u16string_view text, std::u16string_view by, uint32_t flags)
{
    CEdtEditView::ReplaceState& r = v.Replace();
    r = {};
    r.scope = 1;
    return v.ReplaceAll(text, by, flags);
}

void RestoreAll(BenchView& v)
{
    EdtPoint caret;
    while (v.buffer.CanUndo())
        v.buffer.Undo(caret);
}

void BM_ReplaceAll(benchmark::State& state)
{
    BenchView& v = Shared();
    const bool regex = state.range(0) == 1;
    int n = 0;
    for (auto _ : state) {
        n = regex ? ReplaceEvery(v, u"(Motor)_(\\d+):", u"\\1-\\2:", EDT_FIND_MATCH_CASE | EDT_FIND_REGEXP)
                  : ReplaceEvery(v, u"zapnuto", u"vypnuto!", EDT_FIND_MATCH_CASE);
        state.PauseTiming();
        RestoreAll(v);
        state.ResumeTiming();
    }
    state.counters["replacements"] = n;
}
BENCHMARK(BM_ReplaceAll)->Arg(0)->Arg(1)->ArgNames({"plain_regex"})->Unit(benchmark::kMillisecond)->Iterations(bench::Size(3, 1));

// 200,000 replacements ("vypnuto") against the 100,000 of ReplaceAll/plain.
void BM_ReplaceAllLinear(benchmark::State& state)
{
    BenchView& v = Shared();
    int n = 0;
    for (auto _ : state) {
        n = ReplaceEvery(v, u"vypnuto", u"zapnuto!", EDT_FIND_MATCH_CASE);
        state.PauseTiming();
        RestoreAll(v);
        state.ResumeTiming();
    }
    state.counters["replacements"] = n;
}
BENCHMARK(BM_ReplaceAllLinear)->Unit(benchmark::kMillisecond)->Iterations(bench::Size(3, 1));

void BM_UndoReplaceAll(benchmark::State& state)
{
    BenchView& v = Shared();
    for (auto _ : state) {
        state.PauseTiming();
        ReplaceEvery(v, u"zapnuto", u"vypnuto!", EDT_FIND_MATCH_CASE);
        state.ResumeTiming();
        v.ExecuteCommand(ID_EDIT_UNDO);
    }
}
BENCHMARK(BM_UndoReplaceAll)->Unit(benchmark::kMillisecond)->Iterations(bench::Size(3, 1));

// ---- Replace all of many matches: a file of its own (50 MB, 3.2 million
// matches of "Motor" on 500,000 lines of 98 characters), and 80,000
// matches on one line.

struct Target
{
    double measured = -1, limit = 0;
};
Target g_replaceSeconds, g_replaceExtraMb;

const std::string& ManyMatchesPath()
{
    static const std::string path = [] {
        const std::string p = "/tmp/bench_editor_replace_" + std::to_string(::getpid()) + ".txt";
        const int lines = bench::Size(500000, 500);
        std::string out;
        out.reserve(size_t(lines) * 100);
        for (int i = 0; i < lines; ++i) {
            std::string line;
            const int hits = i % 5 < 2 ? 7 : 6;  // 6.4 a line
            for (int h = 0; h < hits; ++h)
                line += "x_Motor ";
            while (line.size() < 98)
                line += char('a' + line.size() % 26);
            out += line;
            out += "\r\n";
        }
        std::ofstream(p, std::ios::binary).write(out.data(), std::streamsize(out.size()));
        static char name[512];
        std::snprintf(name, sizeof name, "%s", p.c_str());
        std::atexit([] { std::remove(name); });
        return p;
    }();
    return path;
}

// The resident set and its peak (kB) from /proc/self/status.
long StatusKb(const char* key)
{
    std::ifstream f("/proc/self/status");
    std::string line;
    const size_t n = std::strlen(key);
    while (std::getline(f, line))
        if (line.compare(0, n, key) == 0)
            return std::atol(line.c_str() + n + 1);
    return 0;
}

void ResetPeak()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

void BM_ReplaceAllManyMatches(benchmark::State& state)
{
    App();
    EdtLoadSettings();
    for (auto _ : state) {
        state.PauseTiming();
        auto v = std::make_unique<BenchView>();
        v->resize(1280, 1024);
        const std::string& path = ManyMatchesPath();
        if (!v->buffer.LoadFromFile(std::u16string(path.begin(), path.end())))
            std::abort();
        v->AttachToBuffer();
        v->Cache().FinishFiller();
        v->setVisible(false);
        ResetPeak();
        const long before = StatusKb("VmRSS:");
        state.ResumeTiming();
        const auto t0 = Clock::now();
        const int n = ReplaceEvery(*v, u"Motor", u"Antrieb", EDT_FIND_MATCH_CASE);
        const double seconds = std::chrono::duration<double>(Clock::now() - t0).count();
        state.PauseTiming();
        const long after = std::max(StatusKb("VmHWM:"), StatusKb("VmRSS:"));
        int64_t changed = 0;  // UTF-16 bytes of the changed lines
        for (int l = 0; l < v->GetLineCount(); ++l)
            if (v->GetLineLength(l) > 0)
                changed += int64_t(v->GetLineLength(l)) * 2;
        state.counters["replacements"] = n;
        state.counters["extra_MB"] = double(after - before) / 1024.0;
        g_replaceSeconds = {seconds, 1.0};
        g_replaceExtraMb = {double(after - before) / 1024.0, 2.0 * double(changed) / (1024.0 * 1024.0)};
        v.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ReplaceAllManyMatches)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_ReplaceAllOneLine(benchmark::State& state)
{
    App();
    std::u16string line;
    for (int i = 0; i < bench::Size(80000, 800); ++i)
        line += u"ab Motor ";
    for (auto _ : state) {
        state.PauseTiming();
        auto v = std::make_unique<BenchView>();
        v->resize(1280, 1024);
        v->buffer.InitNew();
        int el = 0, ec = 0;
        v->buffer.InsertText(nullptr, 0, 0, line, el, ec, 0);
        v->AttachToBuffer();
        v->setVisible(false);
        state.ResumeTiming();
        state.counters["replacements"] =
            state.range(0) == 1 ? ReplaceEvery(*v, u"M(o)tor", u"\\1", EDT_FIND_REGEXP)
                                : ReplaceEvery(*v, u"Motor", u"Antrieb", EDT_FIND_MATCH_CASE);
        state.PauseTiming();
        v.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ReplaceAllOneLine)->Arg(0)->Arg(1)->ArgNames({"plain_regex"})->Unit(benchmark::kMillisecond)->Iterations(1);

void PrintTarget(const char* name, const Target& t)
{
    if (t.measured >= 0)
        std::printf("target %s %.3f %.3f %s\n", name, t.measured, t.limit,
                    t.measured <= t.limit ? "ok" : "miss");
}

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    PrintTarget("replace_all_s", g_replaceSeconds);
    PrintTarget("replace_all_extra_mb", g_replaceExtraMb);
    g_view.reset();
    g_app.reset();
    return 0;
}
