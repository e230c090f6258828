// The binary editor on a real file of 1 GiB (8 MiB with SW_BENCH_SMALL),
// written into a temporary folder, warm in the system's cache: paging
// through the whole file in a 1280 x 800 view (the resident memory of the
// process afterwards, in MB, and the pages read as counters), opening the
// document (memory growth and pages read as counters), the first paint of a
// 1280 x 800 hex view after the open (at the start, and at the end, whose
// pages are read then), typing over a byte near the end, inserting a byte
// and deleting a 1 MiB selection in the middle, copying 1 MiB from the hex
// area, copying the largest selection allowed (16 MiB) onto the clipboard
// (its peak memory as a counter), Ctrl+End followed by Page Up steps, and
// saving the edited file.
// Targets (printed at the end as "target <name> <value> <limit> ok|miss",
// each the median of its runs): the resident memory after paging through
// the file 200 MB, the open 0.05 s, the first paint 0.01 s.
#include "bench/BenchSize.h"
#include "editor/settings/EdtSettings.h"
#include "plcviews/BinDoc.h"
#include "plcviews/HexEditView.h"
#include "res/CommandIds.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <fstream>
#include <map>
#include <string>
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

// The peak of resident memory since the last ResetPeak (VmHWM), in KiB.
long PeakKiB()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::atol(line.c_str() + 6);
    return 0;
}

void ResetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

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

// Paging through the whole file from its start to its end: one paint per
// page of the file (64 KiB), so that every page is read; then the process's
// resident memory.  Registered first, so that no other benchmark's memory
// is counted.
void BM_ScrollWholeFile(benchmark::State& state)
{
    BigFile();
    constexpr qsizetype kStep = 64 * 1024;
    QImage img(1280, 800, QImage::Format_RGB32);
    double rssMb = 0, pagesRead = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto e = std::make_unique<Editor>();
        state.ResumeTiming();
        const qsizetype bpr = e->M().BytesPerRow();
        for (qsizetype at = 0; at < kFileSize; at += kStep) {
            e->M().SetTopRow(at / bpr);
            QPainter p(&img);
            e->view->PaintTo(p, img.rect());
        }
        e->M().KeyPress(Qt::Key_End, false, true);
        {
            QPainter p(&img);
            e->view->PaintTo(p, img.rect());
        }
        state.PauseTiming();
        rssMb = double(RssKiB()) / 1024.0;
        pagesRead = double(e->doc->Data().PagesRead());
        Runs()["hexview_scroll_1gib_rss_mb"].push_back(rssMb);
        e.reset();
        state.ResumeTiming();
    }
    state.counters["rss_mb"] = rssMb;
    state.counters["pages_read"] = pagesRead;
}
BENCHMARK(BM_ScrollWholeFile)->Unit(benchmark::kMillisecond)->Iterations(1);

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

// The largest copy the view takes (HexEditModel::kCopyLimit) through its
// command onto the clipboard: the time and the peak of resident memory
// above the level before, in MB.
void BM_CopyAtTheLimit(benchmark::State& state)
{
    Editor e;
    const qsizetype n = std::min(kFileSize, HexEditModel::kCopyLimit);
    e.M().SetSelection(kFileSize - n, kFileSize);
    double peakMb = 0;
    for (auto _ : state) {
        state.PauseTiming();
        QApplication::clipboard()->clear();
        ResetPeak();
        const long before = RssKiB();
        state.ResumeTiming();
        if (!e.view->ExecuteCommand(ID_EDIT_COPY))
            state.SkipWithError("the copy was refused");
        state.PauseTiming();
        peakMb = double(PeakKiB() - before) / 1024.0;
        state.ResumeTiming();
    }
    QApplication::clipboard()->clear();
    state.counters["bytes"] = double(n);
    state.counters["peak_extra_mb"] = peakMb;
}
BENCHMARK(BM_CopyAtTheLimit)->Unit(benchmark::kMillisecond)->Iterations(bench::Size(3, 1));

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
    const std::pair<const char*, double> targets[] = {
        {"hexview_scroll_1gib_rss_mb", 200}, {"hexview_open_1gib_s", 0.05}, {"hexview_first_paint_s", 0.01}};
    for (const auto& [name, limit] : targets) {
        const auto it = Runs().find(name);
        if (it == Runs().end())
            continue;
        const double measured = Median(it->second);
        std::printf("target %s %.6f %g %s\n", name, measured, limit, measured <= limit ? "ok" : "miss");
    }
    return 0;
}
