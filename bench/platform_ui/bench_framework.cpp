// Delivery rate of thread messages (1,000,000 posts from 8 threads to one
// target) and the time of one idle update pass over 100 commands.
#include "bench/BenchSize.h"
#include "platform/ui/App.h"
#include "platform/ui/Messages.h"

#include <QAction>
#include <QApplication>
#include <QToolBar>

#include <benchmark/benchmark.h>

#include <thread>
#include <vector>

namespace {

QApplication* App()
{
    static int argc = 1;
    static char name[] = "bench_framework";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        return new QApplication(argc, argv);
    }();
    return app;
}

void BM_PostFromEightThreads(benchmark::State& state)
{
    App();
    constexpr int kThreads = 8;
    constexpr int kTotal = 1000000;
    for (auto _ : state) {
        QObject target;
        int delivered = 0;
        ui::MessageHandle h = ui::RegisterMessageTarget(&target, [&](uint32_t, uintptr_t, intptr_t, ui::MessageRecord*) {
            ++delivered;
            return 0;
        });
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t)
            threads.emplace_back([h] {
                for (int i = 0; i < kTotal / kThreads; ++i)
                    ui::PostMessageTo(h, ui::WM_LINK_NOTIFY, uintptr_t(i), 0);
            });
        while (delivered < kTotal)
            QCoreApplication::processEvents();
        for (auto& t : threads)
            t.join();
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * kTotal);
}
BENCHMARK(BM_PostFromEightThreads)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(bench::Size(3, 1));

class BenchApp : public ui::Application
{
public:
    int64_t updates = 0;
    BenchApp()
    {
        for (uint32_t id = 1000; id < 1100; ++id) {
            if (id % 2)
                MapUpdate(id, [this](ui::CmdUI& ui) {
                    ++updates;
                    ui.Enable(true);
                    ui.SetCheck(0);
                });
            else
                MapCommand(id, [] {});
        }
    }
};

void BM_IdleUpdatePass100Commands(benchmark::State& state)
{
    App();
    BenchApp app;
    ui::MainFrameBase frame;
    auto* bar = frame.addToolBar(QStringLiteral("bench"));
    for (uint32_t id = 1000; id < 1100; ++id)
        ui::IdleUpdater::Instance().AddAction(bar->addAction(QString::number(id)), id);
    frame.show();
    QCoreApplication::processEvents();
    for (auto _ : state)
        ui::IdleUpdater::Instance().RunPass();
    // Half of the commands have update handlers: 50 per pass.
    state.counters["handlers_per_pass"] = double(app.updates) / double(state.iterations());
    for (QAction* a : bar->actions())
        ui::IdleUpdater::Instance().RemoveAction(a);
}
BENCHMARK(BM_IdleUpdatePass100Commands)->Unit(benchmark::kMicrosecond);

} // namespace
