// The PLC view while debugging: a full repaint of a 60-line view with
// breakpoints, registers and a running mechanism on screen (target: median
// at most 8 ms), and the value tip's round trip from the poll request to
// the refreshed tip text through the link and the simulator over
// 127.0.0.1 (target: median at most 5 ms).
#include "bench/BenchSize.h"
#include "editor/view/EdtViewRenderer.h"
#include "mainwnd/MainFrame.h"
#include "mainwnd/OutputCtrl.h"
#include "plcviews/PLCDoc.h"
#include "tests/support/plcviews/DebugSetup.h"

#include <cstdlib>
#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

struct Session
{
    QTemporaryDir temp;
    std::string folder;
    std::unique_ptr<CStrandworkApp> app;
    std::unique_ptr<cssim::Simulator> sim;
    CPLCView* view = nullptr;
    bool ok = false;

    Session()
    {
        folder = temp.path().toStdString() + "/Lis";
        const QString project = plcviewsdemo::WriteProject(SW_BENCH_FIXTURE, folder);
        app = std::make_unique<CStrandworkApp>();
        app->SetArguments({project});
        if (project.isEmpty() || !app->InitInstance() || !app->GetProjectDoc())
            return;
        CStrandworkDoc* doc = app->GetProjectDoc();
        sim = plcviewsdemo::Connect(doc);
        if (!sim || !plcviewsdemo::EnterDebugging(doc, folder))
            return;
        ui::Document* d = app->OpenDocumentFile(QString::fromStdString(folder + "/Main.plc"));
        view = d ? qobject_cast<CPLCView*>(d->FirstView()) : nullptr;
        if (!view)
            return;
        app->MainFrame()->show();
        view->GetParentFrame()->showNormal();
        view->GetParentFrame()->resize(900, 64 * view->Renderer().GetLineHeight());
        for (int line : {3, 10}) {
            view->ClampTextPos(EdtPoint{0, line});
            view->ExecuteCommand(ID_DEBUG_TOGGLE_BREAKPOINT);
        }
        view->ClampTextPos(EdtPoint{0, 14});
        view->ExecuteCommand(ID_DEBUG_TOGGLE_MECH_WATCH);
        sim->plc().setMechanism(0x100, 3, 1, 16);
        for (uint32_t index = 1; index <= 40; ++index)
            sim->plc().executeLine(index, index % 2, int32_t(index * 1000));
        sim->plc().hitBreakpoint(7);
        plcviewsdemo::Pump([] { return false; }, 500);
        ok = true;
    }
    ~Session()
    {
        if (app && app->GetProjectDoc())
            app->GetProjectDoc()->Link().Close();
        view = nullptr;
        app.reset();
        sim.reset();
    }
};

Session& Shared()
{
    static int argc = 1;
    static char name[] = "bench_plcview";
    static char* argv[] = {name, nullptr};
    static QApplication* qapp = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        return new QApplication(argc, argv);
    }();
    (void)qapp;
    static Session* s = [] {
        auto* made = new Session;
        // The link and the simulator stop before the process's statics go
        // (after the link's own, which the session made first): their
        // threads must not run on into destroyed objects.
        std::atexit([] {
            delete s;
            s = nullptr;
        });
        return made;
    }();
    return *s;
}

void BM_FullRepaint(benchmark::State& state)
{
    Session& s = Shared();
    if (!s.ok) {
        state.SkipWithError("debugging did not start");
        return;
    }
    QImage img(s.view->size(), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        QPainter p(&img);
        s.view->render(&p);
    }
    state.counters["lines"] = s.view->GetScreenLines();
}
BENCHMARK(BM_FullRepaint)->Unit(benchmark::kMillisecond)->Repetitions(bench::Size(5, 1))->ReportAggregatesOnly(true);

void BM_ValueTipRoundTrip(benchmark::State& state)
{
    Session& s = Shared();
    if (!s.ok) {
        state.SkipWithError("debugging did not start");
        return;
    }
    const QPoint at = s.view->TextToClient(EdtPoint{17, 2}) + QPoint(2, s.view->Renderer().GetLineHeight() / 2);
    uint8_t value = 0;
    for (auto _ : state) {
        s.sim->plc().writeMemory(1, 0x10, {++value});
        // A move to another word and back starts a new read at once.
        s.view->HandleMouseAt(QPoint(0, 0));
        s.view->HandleMouseAt(at);
        const QString want = QStringLiteral("VARB: Byte = %1").arg(int(int8_t(value)));
        if (!plcviewsdemo::Pump([&] { return s.view->TipText() == want; }, 2000)) {
            state.SkipWithError("no tip");
            return;
        }
    }
}
BENCHMARK(BM_ValueTipRoundTrip)->Unit(benchmark::kMillisecond)->Iterations(bench::Size(200, 1))->Repetitions(bench::Size(3, 1))
    ->ReportAggregatesOnly(true);

} // namespace
