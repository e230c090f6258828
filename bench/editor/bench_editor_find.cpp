// Find next and previous along one long line, searched as the find
// command searches (FindText of an attached, hidden edit view from the
// caret, with wrap and the progress of long searches), against the
// engine's own loop over the same line:
//   find_previous_vs_next_longline: stepping back through every match of
//     `[A-Z]\w*_\d+:` on a line of 1,000,000 characters (about 11,000
//     matches) over stepping forward through them, at most 2
//   find_next_longline_vs_engine: stepping forward through them over the
//     engine's loop (each search from the end of the match before), at
//     most 3; find_next_longline_ms_per_1000: at most 10 ms a 1,000 finds
//   find_previous_longword_s: one find previous of `\w+` from the end of a
//     word of 1,000,000 characters, at most 0.05 s
// The figures are medians of seven rounds, each round measuring the
// engine, stepping forward and stepping back one after the other; the
// ratios are the medians of each round's ratio.  Stepping back must visit the
// matches stepping forward visited, in reverse order, and the whole
// commands (with the selection and the scroll) must find the first and
// the last.

#include "bench/BenchLongLine.h"
#include "bench/BenchSize.h"
#include "editor/view/EdtEditView.h"
#include "editor/find/EdtFindController.h"
#include "editor/regexp/EdtRegExp.h"
#include "editor/settings/EdtSettings.h"
#include "editor/settings/EdtTextTypes.h"
#include "platform/ui/Prompt.h"
#include "res/CommandIds.h"

#include <QApplication>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

const int kLongLine = bench::Size(1'000'000, 20'000);
const int kRuns = bench::Size(3, 1);

std::unique_ptr<QApplication> g_app;

void App()
{
    static int argc = 1;
    static char name[] = "bench_editor_find";
    static char* argv[] = {name, nullptr};
    if (!g_app) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        g_app = std::make_unique<QApplication>(argc, argv);
        ui::SetPromptHandler([](const ui::PromptQuestion&) { return int(ui::IDOK); });
        edt::SetSearchProgressDelay(INT_MAX);
        EdtLoadSettings();
    }
}

class BenchView : public CEdtEditView
{
public:
    explicit BenchView(std::u16string_view text)
    {
        setAttribute(Qt::WA_DontShowOnScreen);
        resize(1280, 1024);
        buffer.InitNew();
        int el = 0, ec = 0;
        buffer.InsertText(nullptr, 0, 0, text, el, ec, 0);
        AttachToBuffer();
        setVisible(false);
    }
    ~BenchView() override { DetachFromBuffer(); }
    CEdtTextBuffer* LocateTextBuffer() override { return &buffer; }
    CEdtTextBuffer buffer;
};

// PLC words with a "Motor_<n>:" label in every piece of about 90
// characters.
const std::u16string& TheLongLine()
{
    static const std::u16string line = bench::PlcLongLine(kLongLine, [](std::mt19937& rng, std::u16string& s) {
        s += rng() % 2 ? u"Feed Ready" : u"Door Home";
        s += rng() % 3 ? u" Lube_ok" : u" Clamp";
    });
    return line;
}

using Clock = std::chrono::steady_clock;
double Seconds(Clock::time_point t0)
{
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

template <class Job> double Best(Job&& job)
{
    double best = 1e30;
    for (int r = 0; r < kRuns; ++r)
        best = std::min(best, job());
    return best;
}

const char16_t kExpression[] = u"[A-Z]\\w*_\\d+:";
constexpr uint32_t kFlags = EDT_FIND_REGEXP | EDT_FIND_MATCH_CASE;

struct Figures
{
    double engine = -1, next = -1, previous = -1, longWord = -1;
    int matches = 0;
    bool agree = true;
} g;

// The engine's loop: every match, each search from the end of the one
// before.
std::vector<int> EngineStarts(const RegExp* re, const std::u16string& line, double& seconds)
{
    const int n = int(line.size());
    std::vector<int> starts;
    const auto t0 = Clock::now();
    int groups[REGEXP_GROUP_ENTRIES];
    int at = 0;
    while (at <= n && RegExpSearch(re, line.data(), n, at, groups, REGEXP_CASE_SENSITIVE)) {
        starts.push_back(groups[0]);
        const int s = groups[0], e = groups[REGEXP_MAX_GROUPS];
        at = e > s ? e : e + 1;
    }
    seconds = Seconds(t0);
    return starts;
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Paired runs (the engine, stepping forward, stepping back, one after the
// other in each round): the medians of the times and of each round's
// ratios, less disturbed by other work on the machine than separate bests.
const int kRounds = bench::Size(7, 1);
double g_backOverNext = -1, g_nextOverEngine = -1;

void BM_FindNextAndPreviousLongLine(benchmark::State& state)
{
    App();
    const std::u16string& line = TheLongLine();
    for (auto _ : state) {
        RegExp* re = RegExpCompile(kExpression);
        BenchView v(line);
        v.Finder().SetLastSearch(kExpression, kFlags);
        // As Find next and Find previous search: from the caret (the
        // selection's start upwards), with wrap and the progress of long
        // searches.
        const auto progress = v.Finder().MakeFindProgress(kExpression);
        std::vector<double> engine, next, previous, backOverNext, nextOverEngine;
        std::vector<int> starts, forward, backward;
        for (int round = 0; round < kRounds; ++round) {
            double e = 0;
            starts = EngineStarts(re, line, e);
            forward.clear();
            EdtPoint at{0, 0}, found;
            auto t0 = Clock::now();
            for (size_t i = 0; i < starts.size(); ++i) {
                if (!v.FindText(kExpression, at, kFlags, true, found, progress))
                    break;
                forward.push_back(found.ch);
                at = {found.ch + v.Finder().GetLastMatchLength(), 0};
            }
            const double n = Seconds(t0);
            backward.clear();
            at = {int(line.size()), 0};
            t0 = Clock::now();
            for (size_t i = 0; i < starts.size(); ++i) {
                if (!v.FindText(kExpression, at, kFlags | EDT_FIND_UP, true, found, progress))
                    break;
                backward.push_back(found.ch);
                at = found;
            }
            const double p = Seconds(t0);
            engine.push_back(e);
            next.push_back(n);
            previous.push_back(p);
            backOverNext.push_back(p / n);
            nextOverEngine.push_back(n / e);
            std::reverse(backward.begin(), backward.end());
            g.agree = g.agree && forward == starts && backward == starts;
        }
        g.engine = Median(engine);
        g.next = Median(next);
        g.previous = Median(previous);
        g_backOverNext = Median(backOverNext);
        g_nextOverEngine = Median(nextOverEngine);
        g.matches = int(starts.size());
        // The whole command once each way (the selection and the scroll
        // too), for the sight of it.
        v.SetSelection({0, 0}, {0, 0});
        v.SetCursorPos({0, 0});
        v.ExecuteCommand(ID_EDIT_REPEAT);
        g.agree = g.agree && v.GetCursorPos().ch == starts[0] + v.Finder().GetLastMatchLength();
        v.ExecuteCommand(ID_EDT_FIND_PREVIOUS);
        g.agree = g.agree && v.GetCursorPos().ch == starts.back();
        RegExpFree(re);
    }
    state.counters["matches"] = g.matches;
    state.counters["next_s"] = g.next;
    state.counters["previous_s"] = g.previous;
    state.counters["engine_s"] = g.engine;
}
BENCHMARK(BM_FindNextAndPreviousLongLine)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_FindPreviousLongWord(benchmark::State& state)
{
    App();
    std::u16string word;
    std::mt19937 rng(7);
    for (int i = 0; i < kLongLine; ++i)
        word.push_back(char16_t(u'a' + rng() % 26));
    for (auto _ : state) {
        BenchView v(word);
        v.Finder().SetLastSearch(u"\\w+", EDT_FIND_REGEXP);
        const auto progress = v.Finder().MakeFindProgress(u"\\w+");
        g.longWord = Best([&] {
            EdtPoint found;
            const auto t0 = Clock::now();
            const bool ok = v.FindText(u"\\w+", {kLongLine, 0}, EDT_FIND_REGEXP | EDT_FIND_UP,
                                       true, found, progress);
            const double s = Seconds(t0);
            // The last match before the end: the last character.
            g.agree = g.agree && ok && found.ch == kLongLine - 1 && v.Finder().GetLastMatchLength() == 1;
            return s;
        });
    }
    state.counters["seconds"] = g.longWord;
}
BENCHMARK(BM_FindPreviousLongWord)->Iterations(1)->Unit(benchmark::kMillisecond);

void Target(const char* name, double measured, double limit)
{
    std::printf("target %s %.4f %.4f %s\n", name, measured, limit,
                g.agree && measured >= 0 && measured <= limit ? "ok" : "miss");
}

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::printf("long line (%d characters, %d matches): find next %.4f s, find previous %.4f s, "
                "engine %.4f s; the same matches both ways: %s\n",
                kLongLine, g.matches, g.next, g.previous, g.engine, g.agree ? "yes" : "NO");
    if (g.next > 0 && g.engine > 0) {
        Target("find_previous_vs_next_longline", g_backOverNext, 2.0);
        Target("find_next_longline_vs_engine", g_nextOverEngine, 3.0);
        Target("find_next_longline_ms_per_1000", g.next * 1000.0 / std::max(g.matches, 1) * 1000.0,
               10.0);
    }
    std::printf("long word (%d characters): one find previous %.6f s\n", kLongLine, g.longWord);
    Target("find_previous_longword_s", g.longWord, 0.05);
    g_app.reset();
    return 0;
}
