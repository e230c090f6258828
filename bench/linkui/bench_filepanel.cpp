// The file panel and the connection monitor's graph, offscreen, against the
// control-system simulator in process over UDP on 127.0.0.1 (W = 20):
// - a remote folder of 10,000 files: from Refresh to the list filled and
//   sorted by name, and the user-interface thread's share of it (reading
//   the listing file, filling the model, sorting);
// - a local folder of 10,000 files: Refresh;
// - a header click that sorts the 10,000 entries again;
// - painting the graph page with 1,000 samples in all eight series at
//   1280 x 400.
#include "bench/BenchSize.h"
#include "link/linkobj/olnk_link.h"
#include "link/ui/ConInfoDlg.h"
#include "link/ui/FilePanelDlg.h"
#include "link/ui/LinkMessages.h"
#include "platform/sys/CodePage.h"
#include "tests/support/link/LinkTestText.h"
#include "tests/support/platform/PtyPair.h"
#include "tests/support/platform/TempDir.h"
#include "tools/cssim/cssim.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <fstream>
#include <memory>

namespace {

const int kFiles = bench::Size(10000, 100);

QApplication* App()
{
    static int argc = 1;
    static char name[] = "bench_filepanel";
    static char* argv[] = {name, nullptr};
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication* app = new QApplication(argc, argv);
    return app;
}

void Fill(const std::string& folder)
{
    for (int i = 0; i < kFiles; ++i) {
        std::ofstream f(folder + "/soubor" + std::to_string(i) + (i % 3 == 0 ? ".txt" : i % 3 == 1 ? ".bin" : ".plc"));
        f << std::string(size_t(i % 97), 'x');
    }
}


struct Remote
{
    testsupport::TempDir share;
    std::unique_ptr<cssim::Simulator> sim;
    std::unique_ptr<COlnkLink> link;
    IOxfrC* fc = nullptr;
    bool Start()
    {
        App();
        Fill(share.Path());
        const uint16_t ours = testsupport::PickFreeUdpPort();
        cssim::Config cfg;
        cfg.udpLocalPort = testsupport::PickFreeUdpPort();
        cfg.peerPort = ours;
        cfg.shares = {{"DATA", share.Path()}};
        sim = std::make_unique<cssim::Simulator>(cfg);
        if (!sim->start())
            return false;
        link = std::make_unique<COlnkLink>(linkui::WindowPoster());
        const std::u16string conn = sys::Utf8ToUtf16Lenient(testsupport::UdpLoopbackConn(ours, sim->publicPort()));
        if (!link->Open(333, conn.c_str(), 1000))
            return false;
        for (uint16_t id : {0, 1, 2, 258})
            link->InitInterface(id);
        link->Start();
        QElapsedTimer t;
        t.start();
        while (!link->IsEstablished() && t.elapsed() < 10000)
            QApplication::processEvents(QEventLoop::AllEvents, 5);
        fc = static_cast<IOxfrC*>(link->Query(OLNK_IID_OXFRC));
        return link->IsEstablished();
    }
};

bool WaitListed(linkui::CFilePanelDlg& p)
{
    QElapsedTimer t;
    t.start();
    while (p.IsBusy() && t.elapsed() < 60000)
        QApplication::processEvents(QEventLoop::AllEvents, 1);
    return !p.IsBusy();
}

void BM_RemoteFolder10000(benchmark::State& state)
{
    Remote r;
    if (!r.Start()) {
        state.SkipWithError("the simulator or the link did not start");
        return;
    }
    QWidget host;
    auto* panel = new linkui::CFilePanelDlg;
    panel->Create(r.fc, u"\\DATA\\", u"*.*", &host);
    WaitListed(*panel);
    double ui = 0;
    for (auto _ : state) {
        panel->Refresh();
        if (!WaitListed(*panel) || panel->Model()->rowCount() != kFiles + 2) {
            state.SkipWithError("the listing did not complete");
            break;
        }
        ui += double(panel->LastAnswerNs()) / 1e6;
    }
    state.counters["ui_thread_ms"] = benchmark::Counter(ui / double(std::max<int64_t>(1, state.iterations())));
    state.counters["entries"] = panel->Model()->rowCount();
}
BENCHMARK(BM_RemoteFolder10000)->Unit(benchmark::kMillisecond)->Iterations(bench::Size(5, 1))->UseRealTime();

void BM_LocalFolder10000(benchmark::State& state)
{
    App();
    testsupport::TempDir dir;
    Fill(dir.Path());
    QWidget host;
    auto* panel = new linkui::CFilePanelDlg;
    panel->Create(nullptr, sys::Utf8ToUtf16Lenient(dir.Path() + "/"), u"*.*", &host);
    for (auto _ : state)
        panel->Refresh();
    state.counters["entries"] = panel->Model()->rowCount();
}
BENCHMARK(BM_LocalFolder10000)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_HeaderClickSort10000(benchmark::State& state)
{
    App();
    testsupport::TempDir dir;
    Fill(dir.Path());
    QWidget host;
    auto* panel = new linkui::CFilePanelDlg;
    panel->Create(nullptr, sys::Utf8ToUtf16Lenient(dir.Path() + "/"), u"*.*", &host);
    int column = 0;
    for (auto _ : state) {
        column = (column + 1) % 4; // size, type, date, name, ...
        linkui::SortOrder order = panel->Order();
        order.HeaderClick(column);
        panel->Model()->Sort(order);
    }
}
BENCHMARK(BM_HeaderClickSort10000)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_GraphPaint1000Samples(benchmark::State& state)
{
    App();
    linkui::ConInfoModel model;
    for (int slot = 0; slot < linkui::kSeries; ++slot)
        model.settings.series[size_t(slot)].shown = 1;
    linkui::Rates r;
    for (int i = 0; i < 1000; ++i) {
        for (int slot = 0; slot < linkui::kSeries; ++slot)
            r.bySlot[size_t(slot)] = int32_t((i * (slot + 3) * 37) % 20000);
        model.AddSample(r);
    }
    QImage image(1280, 400, QImage::Format_RGB32);
    for (auto _ : state) {
        QPainter p(&image);
        linkui::CConInfoGraphPage::Paint(p, model, 1280, 400);
    }
}
BENCHMARK(BM_GraphPaint1000Samples)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
