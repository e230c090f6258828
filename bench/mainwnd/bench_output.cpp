// The output window under a build's load: 20,000 plain lines of 80
// characters with 500 tagged lines among them (the average and the slowest
// append), re-applying the formats after a font change over that text, and
// clearing it.  Targets: at most 30 µs a line and 5 ms for one append,
// 100 ms for the re-application, 50 ms for ClearAll.
#include "bench/BenchSize.h"
#include "mainwnd/OutputCtrl.h"

#include <QApplication>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <memory>

namespace {

using Clock = std::chrono::steady_clock;
const QString kCat = QStringLiteral("OutputWindow");
const int kPlain = bench::Size(20000, 200);
const int kTagged = bench::Size(500, 5);

QApplication* App()
{
    static int argc = 1;
    static char name[] = "bench_output";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        return new QApplication(argc, argv);
    }();
    return app;
}

struct Output
{
    struct AppFirst
    {
        AppFirst() { App(); }
    } appFirst; // the QApplication exists before the widgets
    CFontColorPage registry;
    QWidget host;
    COutputCtrl* ctrl = new COutputCtrl;
    Output()
    {
        COutputCtrl::RegisterFonts(kCat, QStringLiteral("Okno výstupu"), &registry);
        registry.LoadSettings(QStringLiteral("Formats"));
        host.resize(800, 300);
        ctrl->Create(0, QRect(0, 0, 800, 300), &host, 1, &registry, kCat);
        host.show();
        QApplication::processEvents();
    }
    // Appends the build's lines; returns the slowest single append.
    Clock::duration Fill()
    {
        const std::u16string plain = std::u16string(78, u'x') + u"\r\n";
        const std::u16string tagged = u"Main.plc(12) : error T1001: " + std::u16string(50, u'y') + u"\r\n";
        Clock::duration slowest{};
        const int every = kPlain / kTagged;
        for (int i = 0; i < kPlain; ++i) {
            auto t0 = Clock::now();
            ctrl->AppendText(plain);
            if (i % every == every - 1)
                ctrl->AppendTaggedLine(tagged, u"/tmp/Main.plc", 12, 1, u"", u"", u"neznámý symbol");
            slowest = std::max(slowest, Clock::now() - t0);
        }
        return slowest;
    }
};

void BM_Append20000LinesWith500Tags(benchmark::State& state)
{
    double slowestMs = 0;
    Clock::duration total{};
    for (auto _ : state) {
        state.PauseTiming();
        auto out = std::make_unique<Output>();
        state.ResumeTiming();
        auto t0 = Clock::now();
        slowestMs = std::max(slowestMs, std::chrono::duration<double, std::milli>(out->Fill()).count());
        total += Clock::now() - t0;
        state.PauseTiming();
        out.reset();
        state.ResumeTiming();
    }
    state.counters["us_per_line"] = std::chrono::duration<double, std::micro>(total).count() /
                                    (double(state.iterations()) * (kPlain + kTagged));
    state.counters["slowest_append_ms"] = slowestMs;
}
BENCHMARK(BM_Append20000LinesWith500Tags)->Unit(benchmark::kMillisecond)->Iterations(bench::Size(3, 1));

void BM_ReapplyFormatsAfterFontChange(benchmark::State& state)
{
    Output out;
    out.Fill();
    out.ctrl->SelectTag(250);
    std::vector<FontColorCategory> edit = out.registry.Current();
    int size = 10;
    for (auto _ : state) {
        edit[0].size = size = size == 10 ? 11 : 10;
        out.registry.ApplyEdit(edit);
    }
}
BENCHMARK(BM_ReapplyFormatsAfterFontChange)->Unit(benchmark::kMillisecond)->Iterations(bench::Size(5, 1));

void BM_ClearAll(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        auto out = std::make_unique<Output>();
        out->Fill();
        state.ResumeTiming();
        out->ctrl->ClearAll();
        state.PauseTiming();
        out.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ClearAll)->Unit(benchmark::kMillisecond)->Iterations(bench::Size(3, 1));

} // namespace
