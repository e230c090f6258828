// Toolbar library figures: the layout of a 300-button bar (target under
// 0.2 ms), storing and loading the state of a 100-button bar through the
// archive (under 1 ms), and rendering every toolbar image of the program at
// 16 x 15 (a start-up cost; under 50 ms).

#include "platform/ui/ToolbarResource.h"
#include "uilib/KVTToolBar.h"
#include "uilib/KVTToolbarImageList.h"
#include "uilib/KVTToolbarLayout.h"

#include <QApplication>
#include <benchmark/benchmark.h>

namespace {

// The application the bars and images need, made once.
void App()
{
    static QApplication* app = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "bench_toolbar";
        static char* argv[] = {name, nullptr};
        return new QApplication(argc, argv);
    }();
    (void)app;
}

void BM_Layout300(benchmark::State& state)
{
    std::vector<KvtLayoutButton> buttons(300);
    for (size_t i = 0; i < buttons.size(); ++i) {
        buttons[i].separator = i % 7 == 6;
        buttons[i].size = buttons[i].separator ? QSize(8, 22) : QSize(23, 22);
    }
    KvtLayoutBar bar;
    bar.availableLength = 800;
    for (auto _ : state) {
        KvtToolbarLayout::Wrap(buttons, 800);
        benchmark::DoNotOptimize(KvtToolbarLayout::Reposition(buttons, bar));
    }
}
BENCHMARK(BM_Layout300)->Unit(benchmark::kMicrosecond);

void BM_StoreLoad100(benchmark::State& state)
{
    App();
    CKVTToolBar bar;
    for (int i = 0; i < 100; ++i)
        bar.InsertButton(std::make_unique<CKVTToolbarButton>(33000 + i, i, QStringLiteral("Button %1").arg(i)));
    CKVTToolBar target;
    for (auto _ : state) {
        const std::vector<uint8_t> bytes = bar.Store().StoreButtons();
        benchmark::DoNotOptimize(target.Store().LoadButtons(bytes));
    }
}
BENCHMARK(BM_StoreLoad100)->Unit(benchmark::kMicrosecond);

void BM_RenderAllImages(benchmark::State& state)
{
    App();
    int count = 0;
    for (auto _ : state) {
        CKVTToolbarImageList list;
        for (uint32_t id : {1u, 1017u, 1019u, 556u})
            list.Load(id);
        count = list.GetImageCount();
        benchmark::DoNotOptimize(count);
    }
    state.counters["images"] = count;
}
BENCHMARK(BM_RenderAllImages)->Unit(benchmark::kMillisecond);

} // namespace
