// The binary editor on a real file of 1 GiB (8 MiB with SW_BENCH_SMALL),
// written into a temporary folder, warm in the system's cache: opening the
// document (memory growth and pages read as counters), the first paint of a
// 1280 x 800 hex view after the open (at the start, and at the end, whose
// pages are read then), typing over a byte near the end, inserting a byte
// and deleting a 1 MiB selection in the middle, copying 1 MiB from the hex
// area, Ctrl+End followed by Page Up steps, and saving the edited file.
// Targets (printed at the end as "target <name> <seconds> <limit> ok|miss",
// each the median of its runs): the open 0.05 s, the first paint 0.01 s.
#include "bench/BenchSize.h"
#include "editor/settings/EdtSettings.h"
#include "plcviews/BinDoc.h"
#include "plcviews/HexEditView.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <vector>

namespace {

QApplication* App()
{
    static int argc = 1;
    static char name[] = "bench_hexview";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        return new QApplication(argc, argv);
    }();
    return app;
}

const qsizetype kFileSize = bench::Size<qsizetype>(qsizetype(1) << 30, 8 << 20);

// The file, written once with real bytes (not sparse).
QTemporaryDir& Folder()
{
    static QTemporaryDir dir;
    return dir;
}

const QString& BigFile()
{
    static const QString path = [] {
        const QString p = Folder().filePath(QStringLiteral("data.bin"));
        QFile f(p);
        if (!f.open(QIODevice::WriteOnly))
            std::abort();
        QByteArray chunk(1 << 20, '\0');
        for (int i = 0; i < chunk.size(); ++i)
            chunk[i] = char((i * 131 + i / 7) & 0xFF);
        for (qsizetype done = 0; done < kFileSize; done += chunk.size())
            if (f.write(chunk.constData(), std::min<qsizetype>(chunk.size(), kFileSize - done)) < 0)
                std::abort();
        f.close();
        return p;
    }();
    return path;
}

long RssKiB()
{
    std::ifstream statm("/proc/self/statm");
    long pages = 0, rss = 0;
    statm >> pages >> rss;
    return rss * 4;
}

using Clock = std::chrono::steady_clock;
double Seconds(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); }

// The runs of each target, in seconds.
std::map<std::string, std::vector<double>>& Runs()
{
    static std::map<std::string, std::vector<double>> runs;
    return runs;
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

std::unique_ptr<CBinDoc> OpenDoc()
{
    App();
    SetEdtGeneralFlags(0);
    auto doc = std::make_unique<CBinDoc>();
    if (!doc->OnOpenDocument(BigFile()))
        std::abort();
    return doc;
}

std::unique_ptr<CHexEditView> MakeView()
{
    auto view = std::make_unique<CHexEditView>();
    view->resize(1280, 800);
    return view;
}

struct Editor
{
    std::unique_ptr<CBinDoc> doc = OpenDoc();
    std::unique_ptr<CHexEditView> view = MakeView();
    Editor()
    {
        view->SetData(&doc->Data());
        view->Model().SetMetrics(view->Model().CharWidth(), view->Model().LineHeight(), 800);
    }
    HexEditModel& M() { return view->Model(); }
};

void BM_Open(benchmark::State& state)
{
    BigFile();
    double growth = 0, pages = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto doc = std::make_unique<CBinDoc>();
        SetEdtGeneralFlags(0);
        const long before = RssKiB();
        state.ResumeTiming();
        const Clock::time_point t0 = Clock::now();
        const bool ok = doc->OnOpenDocument(BigFile());
        const Clock::time_point t1 = Clock::now();
        state.PauseTiming();
        if (!ok)
            state.SkipWithError("the open failed");
        Runs()["hexview_open_1gib_s"].push_back(Seconds(t0, t1));
        growth = double(RssKiB() - before) * 1024.0 / double(kFileSize);
        pages = double(doc->Data().PagesRead());
        doc.reset();
        state.ResumeTiming();
    }
    state.counters["growth_x_size"] = growth;
    state.counters["pages_read"] = pages;
}
BENCHMARK(BM_Open)->Unit(benchmark::kMillisecond)->Iterations(bench::Size(20, 2));

// The first paint after the open: the view takes the document's bytes and
// draws the whole client once (arg 1: after Ctrl+End, whose pages are not
// read yet).
void BM_FirstPaint(benchmark::State& state)
{
    const bool atEnd = state.range(0) == 1;
    QImage img(1280, 800, QImage::Format_RGB32);
    for (auto _ : state) {
        state.PauseTiming();
        std::unique_ptr<CBinDoc> doc = OpenDoc();
        std::unique_ptr<CHexEditView> view = MakeView();
        state.ResumeTiming();
        const Clock::time_point t0 = Clock::now();
        view->SetData(&doc->Data());
        view->Model().SetMetrics(view->Model().CharWidth(), view->Model().LineHeight(), 800);
        if (atEnd)
            view->Model().KeyPress(Qt::Key_End, false, true);
        {
            QPainter p(&img);
            view->PaintTo(p, img.rect());
        }
        const Clock::time_point t1 = Clock::now();
        state.PauseTiming();
        if (!atEnd)
            Runs()["hexview_first_paint_s"].push_back(Seconds(t0, t1));
        view.reset();
        doc.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_FirstPaint)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond)->Iterations(bench::Size(20, 2));

void BM_TypeOverNearTheEnd(benchmark::State& state)
{
    Editor e;
    e.M().SetCaret(kFileSize - 100);
    for (auto _ : state) {
        e.M().SetCaret(kFileSize - 100);
        e.M().TypeChar(QLatin1Char('a'));
        e.M().TypeChar(QLatin1Char('b'));
    }
    state.counters["pieces"] = double(e.doc->Data().PieceCount());
}
BENCHMARK(BM_TypeOverNearTheEnd)->Unit(benchmark::kMicrosecond)->Iterations(bench::Size(100, 2));

void BM_InsertByteInTheMiddle(benchmark::State& state)
{
    Editor e;
    const qsizetype before = e.doc->Data().Size();
    for (auto _ : state)
        e.M().Insert(kFileSize / 2, QByteArray(1, 'x'));
    if (e.doc->Data().Size() != before + qsizetype(state.iterations()))
        state.SkipWithError("the insert was refused");
}
BENCHMARK(BM_InsertByteInTheMiddle)->Unit(benchmark::kMicrosecond)->Iterations(bench::Size(100, 2));

void BM_DeleteMiBInTheMiddle(benchmark::State& state)
{
    Editor e;
    for (auto _ : state) {
        e.M().SetSelection(kFileSize / 4, kFileSize / 4 + (1 << 20));
        e.M().DeleteSelection();
    }
}
BENCHMARK(BM_DeleteMiBInTheMiddle)->Unit(benchmark::kMicrosecond)->Iterations(bench::Size(10, 2));

void BM_CopyMiBAsHex(benchmark::State& state)
{
    Editor e;
    e.M().SetSelection(kFileSize / 2, kFileSize / 2 + (1 << 20));
    for (auto _ : state) {
        const QByteArray bytes = e.M().CopyBinary();
        const QString text = e.M().CopyText();
        benchmark::DoNotOptimize(bytes.constData());
        benchmark::DoNotOptimize(text.constData());
    }
}
BENCHMARK(BM_CopyMiBAsHex)->Unit(benchmark::kMillisecond)->Iterations(bench::Size(10, 1));

void BM_CtrlEndThenPageUp(benchmark::State& state)
{
    Editor e;
    for (auto _ : state) {
        e.M().KeyPress(Qt::Key_End, false, true);
        for (int i = 0; i < 100; ++i) {
            e.M().SetFlag(HX_LAYOUT, true);  // with the layout computed again
            e.M().KeyPress(Qt::Key_PageUp, false, false);
        }
    }
    state.counters["steps"] = 101;
}
BENCHMARK(BM_CtrlEndThenPageUp)->Unit(benchmark::kMicrosecond)->Iterations(bench::Size(100, 1));

// Saving the whole file after a byte near its end was changed (to another
// name, so the source stays as written).
void BM_SaveAfterOneEdit(benchmark::State& state)
{
    const QString out = Folder().filePath(QStringLiteral("saved.bin"));
    for (auto _ : state) {
        state.PauseTiming();
        Editor e;
        e.M().SetCaret(kFileSize - 10);
        e.M().TypeChar(QLatin1Char('f'));
        const long before = RssKiB();
        state.ResumeTiming();
        if (!e.doc->OnSaveDocument(out))
            state.SkipWithError("the save failed");
        state.PauseTiming();
        state.counters["growth_x_size"] = double(RssKiB() - before) * 1024.0 / double(kFileSize);
        QFile::remove(out);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_SaveAfterOneEdit)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    const std::pair<const char*, double> targets[] = {{"hexview_open_1gib_s", 0.05}, {"hexview_first_paint_s", 0.01}};
    for (const auto& [name, limit] : targets) {
        const auto it = Runs().find(name);
        if (it == Runs().end())
            continue;
        const double measured = Median(it->second);
        std::printf("target %s %.6f %g %s\n", name, measured, limit, measured <= limit ? "ok" : "miss");
    }
    return 0;
}
