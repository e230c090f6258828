// The binary editor on a file at the size limit (64 MiB) and on one of
// 64 KiB: opening (warm cache; memory growth as a counter), one full paint
// of a 1280 x 800 view at the start, middle and end, inserting a byte and
// deleting a 1 MiB selection in the middle, copying 1 MiB from the hex
// area, and Ctrl+End followed by Page Up steps.  Targets: open 150 ms and
// growth at most 1.1 times the file, paint 3 ms (64 MiB within 20 % of
// 64 KiB), insert and delete 50 ms each, copy 40 ms, 1 ms a Page Up.
#include "bench/BenchSize.h"
#include "editor/EdtSettings.h"
#include "plcviews/BinDoc.h"
#include "plcviews/HexEditView.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <fstream>
#include <memory>

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

// The generated files, made once.
const QString& FileOf(qsizetype size)
{
    static QTemporaryDir dir;
    static std::map<qsizetype, QString> files;
    auto it = files.find(size);
    if (it != files.end())
        return it->second;
    const QString path = dir.filePath(QStringLiteral("data%1.bin").arg(size));
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    QByteArray chunk(1 << 20, '\0');
    for (int i = 0; i < chunk.size(); ++i)
        chunk[i] = char((i * 131 + i / 7) & 0xFF);
    for (qsizetype done = 0; done < size; done += chunk.size())
        f.write(chunk.constData(), std::min<qsizetype>(chunk.size(), size - done));
    f.close();
    return files.emplace(size, path).first->second;
}

long RssKiB()
{
    std::ifstream statm("/proc/self/statm");
    long pages = 0, rss = 0;
    statm >> pages >> rss;
    return rss * 4;
}

struct Editor
{
    CBinDoc doc;
    std::unique_ptr<CHexEditView> view;
    explicit Editor(qsizetype size)
    {
        App();
        SetEdtGeneralFlags(0);
        doc.OnOpenDocument(FileOf(size));
        view = std::make_unique<CHexEditView>();
        view->resize(1280, 800);
        view->SetData(&doc.Block());
        view->Model().SetMetrics(view->Model().CharWidth(), view->Model().LineHeight(), 800);
    }
};

const qsizetype kBig = 64 * 1024 * 1024;
const qsizetype kSmall = 64 * 1024;

void BM_Open(benchmark::State& state)
{
    App();
    SetEdtGeneralFlags(0);
    const qsizetype size = state.range(0);
    FileOf(size);
    double growth = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto doc = std::make_unique<CBinDoc>();
        const long before = RssKiB();
        state.ResumeTiming();
        doc->OnOpenDocument(FileOf(size));
        state.PauseTiming();
        growth = double(RssKiB() - before) * 1024.0 / double(size);
        doc.reset();
        state.ResumeTiming();
    }
    state.counters["growth_x_size"] = growth;
}
BENCHMARK(BM_Open)->Arg(kSmall)->Arg(kBig)->Unit(benchmark::kMillisecond)->Iterations(bench::Size(5, 1));

void BM_Paint(benchmark::State& state)
{
    Editor e(state.range(0));
    QImage img(1280, 800, QImage::Format_RGB32);
    const qsizetype size = e.doc.Block().size();
    const qsizetype where[3] = {0, size / 2, size - 1};
    for (auto _ : state) {
        for (qsizetype at : where) {
            e.view->Model().SetCaret(at);
            QPainter p(&img);
            e.view->PaintTo(p, img.rect());
        }
    }
    state.counters["paints"] = 3;
}
BENCHMARK(BM_Paint)->Arg(kSmall)->Arg(kBig)->Unit(benchmark::kMicrosecond)->Iterations(bench::Size(100, 1));

void BM_InsertByteInTheMiddle(benchmark::State& state)
{
    Editor e(kBig);
    e.doc.Block().chop(64);  // room below the limit for the inserted bytes
    e.view->Model().Clamp();
    const qsizetype before = e.doc.Block().size();
    for (auto _ : state)
        e.view->Model().Insert(kBig / 2, QByteArray(1, 'x'));
    if (e.doc.Block().size() != before + qsizetype(state.iterations()))
        state.SkipWithError("the insert was refused");
}
BENCHMARK(BM_InsertByteInTheMiddle)->Unit(benchmark::kMillisecond)->Iterations(bench::Size(10, 1));

void BM_DeleteMiBInTheMiddle(benchmark::State& state)
{
    Editor e(kBig);
    for (auto _ : state) {
        e.view->Model().SetSelection(kBig / 4, kBig / 4 + (1 << 20));
        e.view->Model().DeleteSelection();
    }
}
BENCHMARK(BM_DeleteMiBInTheMiddle)->Unit(benchmark::kMillisecond)->Iterations(bench::Size(10, 1));

void BM_CopyMiBAsHex(benchmark::State& state)
{
    Editor e(kBig);
    e.view->Model().SetSelection(kBig / 2, kBig / 2 + (1 << 20));
    qsizetype chars = 0;
    for (auto _ : state) {
        const QByteArray bytes = e.view->Model().CopyBinary();
        const QString text = e.view->Model().CopyText();
        chars = text.size() + bytes.size() * 0;
        benchmark::DoNotOptimize(text.constData());
    }
    state.counters["chars"] = double(chars);
}
BENCHMARK(BM_CopyMiBAsHex)->Unit(benchmark::kMillisecond)->Iterations(bench::Size(10, 1));

void BM_CtrlEndThenPageUp(benchmark::State& state)
{
    Editor e(kBig);
    HexEditModel& m = e.view->Model();
    for (auto _ : state) {
        m.KeyPress(Qt::Key_End, false, true);
        for (int i = 0; i < 100; ++i) {
            m.SetFlag(HX_LAYOUT, true);  // with the layout computed again
            m.KeyPress(Qt::Key_PageUp, false, false);
        }
    }
    state.counters["steps"] = 101;
}
BENCHMARK(BM_CtrlEndThenPageUp)->Unit(benchmark::kMicrosecond)->Iterations(bench::Size(100, 1));

} // namespace
