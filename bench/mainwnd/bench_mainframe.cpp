// The main frame (Release, offscreen): loading it with an empty store, the
// toolbar images rendered from their drawings each time (target: at most
// 400 ms); one idle update pass over the whole frame, its status panes,
// both toolbars and the four bars (target: at most 2 ms); one tick of the
// connection watch with a project attached (target: at most 50 µs).
#include "bench/BenchSize.h"
#include "app/StrandworkApp.h"
#include "projectui/StrandworkDoc.h"
#include "mainwnd/MainFrame.h"
#include "platform/sys/Registry.h"
#include "platform/ui/Command.h"
#include "platform/ui/StatusBar.h"
#include "uilib/KVTToolBar.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdlib>

namespace {

// A fresh configuration folder and the application object the frame
// expects (its workspace and project host).
struct World
{
    QTemporaryDir config;
    std::unique_ptr<CStrandworkApp> app;
    World()
    {
        ::setenv("XDG_CONFIG_HOME", config.path().toLocal8Bit().constData(), 1);
        sys::RegistryStore::Reset();
        app = std::make_unique<CStrandworkApp>();
        app->InitContextMenuManager();
        app->InitKeyboardManager();
    }
};

} // namespace

static void BM_LoadFrameEmptyStore(benchmark::State& state)
{
    World w;
    for (auto _ : state) {
        state.PauseTiming();
        CKVTToolbarShared::CleanUp(); // the images are rendered again
        sys::RegistryStore::Reset();
        state.ResumeTiming();
        auto* frame = new CMainFrame;
        w.app->SetMainWnd(frame);
        const bool ok = frame->LoadFrame(1);
        benchmark::DoNotOptimize(ok);
        state.PauseTiming();
        w.app->SetMainWnd(nullptr);
        delete frame;
        QApplication::processEvents();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_LoadFrameEmptyStore)->Unit(benchmark::kMillisecond)->Iterations(bench::Size(10, 1));

static void BM_IdleUpdatePass(benchmark::State& state)
{
    World w;
    auto* frame = new CMainFrame;
    w.app->SetMainWnd(frame);
    frame->LoadFrame(1);
    frame->show();
    frame->ShowControlBar(frame->ConInfoBar(), true, false);
    QApplication::processEvents();
    // Everything that updates is shown.
    if (!frame->isVisible() || !frame->GetMainToolBar()->isVisible() || !frame->GetStatusBar()->isVisible() ||
        !frame->ConInfoBar()->isVisible())
        state.SkipWithError("the frame is not shown");
    for (auto _ : state)
        ui::IdleUpdater::Instance().RunPass();
    w.app->SetMainWnd(nullptr);
    delete frame;
}
BENCHMARK(BM_IdleUpdatePass)->Unit(benchmark::kMicrosecond);

static void BM_ConnectionWatchTickInFrame(benchmark::State& state)
{
    World w;
    auto* frame = new CMainFrame;
    w.app->SetMainWnd(frame);
    frame->LoadFrame(1);
    frame->show();
    CStrandworkDoc doc;
    frame->AttachProject(&doc);
    QApplication::processEvents();
    for (auto _ : state)
        frame->OnTimerTick();
    frame->DetachProject();
    w.app->SetMainWnd(nullptr);
    delete frame;
}
BENCHMARK(BM_ConnectionWatchTickInFrame)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication qapp(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
