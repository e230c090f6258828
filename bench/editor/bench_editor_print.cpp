// The text view's print layout: 100,000 generated lines (0-120 characters,
// some of 600) measured, wrapped and laid out into pages on a 1200-DPI PDF
// printer, without drawing.  Target: at most 2 s.

#include "bench/BenchSize.h"
#include "editor/buffer/EdtTextBuffer.h"
#include "editor/settings/EdtTextTypes.h"
#include "editor/view/EdtTextView.h"
#include "platform/ui/Print.h"

#include <QApplication>
#include <QPainter>
#include <QPrinter>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <memory>
#include <random>

namespace {

// The application ends in main(), before the exit-time destructors.
std::unique_ptr<QApplication> g_app;

QApplication& App()
{
    static int argc = 1;
    static char name[] = "bench_editor_print";
    static char* argv[] = {name, nullptr};
    if (!g_app) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        g_app = std::make_unique<QApplication>(argc, argv);
    }
    return *g_app;
}

class BenchView : public CEdtTextView
{
public:
    ~BenchView() override { DetachFromBuffer(); }
    CEdtTextBuffer* LocateTextBuffer() override { return &buffer; }
    CEdtTextBuffer buffer;
};

std::u16string Generated(int lines)
{
    std::mt19937 gen(30);
    const char16_t* words[] = {u"motor", u"stav", u"chyba", u"výstup", u"kontrola", u"\t", u"x", u"0x1F",
                               u"počítadlo"};
    std::u16string text;
    for (int i = 0; i < lines; ++i) {
        if (i)
            text += u"\r\n";
        const size_t len = gen() % 50 == 0 ? 600 : gen() % 121;
        std::u16string line;
        while (line.size() < len) {
            line += words[gen() % std::size(words)];
            line += u' ';
        }
        line.resize(len);
        text += line;
    }
    return text;
}

void BM_PrintLayout100k(benchmark::State& state)
{
    App();
    ResetSourceTypes();
    BenchView view;
    view.buffer.InitNew();
    int el, ec;
    view.buffer.InsertText(nullptr, 0, 0, Generated(bench::Size(100000, 1000)), el, ec, 0);
    view.AttachToBuffer();
    QTemporaryDir dir;
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dir.filePath("bench.pdf"));
    printer.setResolution(1200);
    ui::ResetPrinterMargins(printer);
    QPainter painter(&printer);
    int pages = 0;
    for (auto _ : state) {
        ui::PrintInfo info;
        info.drawRect = QRect(QPoint(0, 0), printer.pageLayout().paintRectPixels(printer.resolution()).size());
        info.draw = false;  // lay out only
        view.OnBeginPrinting(painter, info);
        view.OnPrint(painter, info);
        pages = info.maxPage;
        view.OnEndPrinting(painter, info);
    }
    painter.end();
    state.counters["pages"] = pages;
}
BENCHMARK(BM_PrintLayout100k)->Unit(benchmark::kMillisecond)->Iterations(bench::Size(3, 1));

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    g_app.reset();
    return 0;
}
