// The watch view on the project's link to the simulator.  A refresh is one
// handled kind-1 notice, after which every row (not only the visible ones)
// has been read and formatted.
// - 200 variables (100 Words at consecutive addresses in area 1; 60 DWords
//   and 40 Bytes apart in area 2: 101 merged ranges, a 583-byte push):
//   refreshes per second over UDP on 127.0.0.1 at a 50 ms period (target
//   at least 10) and over a 115200-baud serial link on a pseudo-terminal
//   pair at 100 ms (target at least 2);
// - the cost of one refresh of the 200 rows, median (target at most 5 ms);
// - 691 Bytes in 100 contiguous runs of area 3, serial, 100 ms: time from
//   selecting their plaque to every row showing a value (target at most 2 s);
// - latency from a memory write in the simulator to its value in the last
//   row, median, UDP and serial (reported).
#include "bench/BenchSize.h"
#include "mainwnd/MainFrame.h"
#include "mainwnd/OutputCtrl.h"
#include "plcviews/WatchView.h"
#include "tests/support/plcviews/DebugSetup.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

// Area 3: 91 runs of 7 bytes and 9 of 6 (691 bytes), or the first 10 runs.
const int kRuns = bench::Size(100, 10);
const int kRunBytes = 7 * std::min(kRuns, 91) + 6 * std::max(kRuns - 91, 0);

// The fixture's map with the benchmark's variables added.
std::string MapText()
{
    std::string symbols = "0001H 0010H BYTE VARB\r\n0001H 0012H WORD VARW\r\n0001H 0014H DWORD VARD\r\n"
                          "0002H 0020H QWORD VARQ\r\n0002H 0030H REAL VARR\r\n0003H 0100H MECH MECHA\r\n"
                          "0004H 0200H MECH MECHB\r\n";
    int count = 7;
    char line[64];
    auto add = [&](int area, uint32_t address, const char* type, const char* name) {
        std::snprintf(line, sizeof line, "%04XH %04XH %s %s\r\n", area, address, type, name);
        symbols += line;
        ++count;
    };
    char name[16];
    for (int i = 0; i < 100; ++i) {
        std::snprintf(name, sizeof name, "W%03d", i);
        add(1, 0x1000 + 2 * i, "WORD", name);
    }
    for (int i = 0; i < 60; ++i) {
        std::snprintf(name, sizeof name, "D%03d", i);
        add(2, 0x1000 + 16 * i, "DWORD", name);
    }
    for (int i = 0; i < 40; ++i) {
        std::snprintf(name, sizeof name, "B%03d", i);
        add(2, 0x2000 + 4 * i, "BYTE", name);
    }
    uint32_t address = 0x100;
    int n = 0;
    for (int run = 0; run < kRuns; ++run) {
        const int len = run < 91 ? 7 : 6;
        for (int k = 0; k < len; ++k) {
            std::snprintf(name, sizeof name, "C%03d", n++);
            add(3, address + uint32_t(k), "BYTE", name);
        }
        address += uint32_t(len) + 3;  // a gap between runs
    }
    return "$MP2 02\r\n[SYMBOL_TABLE " + std::to_string(count) + "]\r\n" + symbols +
           "[BIT_FIELDS 2]\r\nBITX VARB\r\nBITY VARB\r\n[STRUCTURE_OFFSETS 1]\r\nOFFS 0004H\r\n"
           "[BIT_WEIGHTS 2]\r\nBITX 3\r\nBITY 5\r\n[CONSTANTS 1]\r\nKONST 002AH\r\n";
}

struct Session
{
    QTemporaryDir temp;
    std::string folder;
    std::unique_ptr<CStrandworkApp> app;
    std::unique_ptr<cssim::Simulator> sim;
    std::unique_ptr<CKXPWatchView> view;
    bool ok = false;

    explicit Session(bool serial)
    {
        folder = temp.path().toStdString() + "/Lis";
        const QString project = plcviewsdemo::WriteProject(SW_BENCH_FIXTURE, folder);
        QFile map(QString::fromStdString(folder + "/Main.map"));
        const std::string text = MapText();
        if (project.isEmpty() || !map.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            map.write(text.data(), qint64(text.size())) != qint64(text.size()))
            return;
        map.close();
        app = std::make_unique<CStrandworkApp>();
        app->SetArguments({project});
        if (!app->InitInstance() || !app->GetProjectDoc())
            return;
        CStrandworkDoc* doc = app->GetProjectDoc();
        core::ProjectData& d = doc->Data();
        core::WatchPlaque vars{u"Plaketa 0", {}}, bytes{u"Plaketa 1", {}};
        char name[16];
        for (int i = 0; i < 100; ++i) {
            std::snprintf(name, sizeof name, "W%03d", i);
            vars.VarNames.push_back(QString::fromLatin1(name).toStdU16String());
        }
        for (int i = 0; i < 60; ++i) {
            std::snprintf(name, sizeof name, "D%03d", i);
            vars.VarNames.push_back(QString::fromLatin1(name).toStdU16String());
        }
        for (int i = 0; i < 40; ++i) {
            std::snprintf(name, sizeof name, "B%03d", i);
            vars.VarNames.push_back(QString::fromLatin1(name).toStdU16String());
        }
        for (int i = 0; i < kRunBytes; ++i) {
            std::snprintf(name, sizeof name, "C%03d", i);
            bytes.VarNames.push_back(QString::fromLatin1(name).toStdU16String());
        }
        d.WatchPlaques = {vars, bytes};
        d.SelectedPlaque = 0;
        d.WatchInterval = serial ? 100 : 50;
        sim = plcviewsdemo::Connect(doc, serial);
        if (!sim || !plcviewsdemo::EnterDebugging(doc, folder))
            return;
        view = std::make_unique<CKXPWatchView>();
        doc->AddView(view.get());
        view->OnInitialUpdate();
        view->ApplyFontsAndColors(GetFontColorPage(), QStringLiteral("WatchWindow"));
        view->resize(700, 400);
        view->show();
        ok = plcviewsdemo::Pump([&] { return AllValues(); }, 10000);
    }
    ~Session()
    {
        view.reset();
        if (app && app->GetProjectDoc())
            app->GetProjectDoc()->Link().Close();
        app.reset();
        sim.reset();
    }
    // Every row shows a value read from the link.
    bool AllValues() const
    {
        for (int row = 0; row + 1 < view->RowCount(); ++row) {
            const QString v = view->CellText(row, 2);
            if (v.size() < 2 || v[0] != QChar(3) || !(v[1].isDigit() || v[1] == u'-'))
                return false;
        }
        return true;
    }
};

QApplication* App()
{
    static int argc = 1;
    static char name[] = "bench_watch_refresh";
    static char* argv[] = {name, nullptr};
    static QApplication* qapp = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        return new QApplication(argc, argv);
    }();
    return qapp;
}

Session* g_udp = nullptr;
Session* g_serial = nullptr;

Session& Shared(bool serial)
{
    App();
    Session*& s = serial ? g_serial : g_udp;
    if (!s) {
        s = new Session(serial);
        // The links close before the process's statics go (after the link's
        // own, which the session made first).
        static const bool cleanup = [] {
            std::atexit([] {
                delete g_udp;
                delete g_serial;
                g_udp = g_serial = nullptr;
            });
            return true;
        }();
        (void)cleanup;
    }
    return *s;
}

void RefreshesPerSecond(benchmark::State& state, bool serial)
{
    Session& s = Shared(serial);
    if (!s.ok) {
        state.SkipWithError("the watch did not start");
        return;
    }
    double perSecond = 0;
    for (auto _ : state) {
        const int before = s.view->Refreshes();
        QElapsedTimer t;
        t.start();
        plcviewsdemo::Pump([] { return false; }, bench::Size(3000, 300));
        perSecond = (s.view->Refreshes() - before) * 1000.0 / double(t.elapsed());
        state.SetIterationTime(double(t.elapsed()) / 1000.0);
    }
    state.counters["refreshes_per_s"] = perSecond;
    state.counters["rows"] = s.view->RowCount() - 1;
}
void BM_RefreshesPerSecondUdp(benchmark::State& state) { RefreshesPerSecond(state, false); }
void BM_RefreshesPerSecondSerial(benchmark::State& state) { RefreshesPerSecond(state, true); }
BENCHMARK(BM_RefreshesPerSecondUdp)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RefreshesPerSecondSerial)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_RefreshCost200Rows(benchmark::State& state)
{
    Session& s = Shared(false);
    if (!s.ok) {
        state.SkipWithError("the watch did not start");
        return;
    }
    for (auto _ : state)
        s.view->OnLinkNotify(1);
    if (!s.AllValues())
        state.SkipWithError("rows without values");
}
BENCHMARK(BM_RefreshCost200Rows)->Unit(benchmark::kMillisecond)->Repetitions(bench::Size(5, 1))->ReportAggregatesOnly(true);

void BM_PlaqueToValues691Serial(benchmark::State& state)
{
    Session& s = Shared(true);
    if (!s.ok) {
        state.SkipWithError("the watch did not start");
        return;
    }
    for (auto _ : state) {
        QElapsedTimer t;
        t.start();
        s.view->OnSelchangePlaque(1);
        if (!plcviewsdemo::Pump([&] { return s.AllValues(); }, 10000)) {
            state.SkipWithError("rows without values");
            return;
        }
        state.SetIterationTime(double(t.nsecsElapsed()) / 1e9);
        state.PauseTiming();
        s.view->OnSelchangePlaque(0);
        plcviewsdemo::Pump([&] { return s.AllValues(); }, 10000);
        state.ResumeTiming();
    }
    state.counters["rows"] = kRunBytes;
}
BENCHMARK(BM_PlaqueToValues691Serial)->UseManualTime()->Iterations(bench::Size(5, 1))->Unit(benchmark::kMillisecond);

void WriteToLastRow(benchmark::State& state, bool serial)
{
    Session& s = Shared(serial);
    if (!s.ok) {
        state.SkipWithError("the watch did not start");
        return;
    }
    const int last = s.view->RowCount() - 2;  // B039 at area 2, 0x2000 + 4 * 39
    std::vector<double> samples;
    uint8_t value = 0;
    const int period = serial ? 100 : 50;
    for (auto _ : state) {
        value = uint8_t(value % 100 + 1);
        // The write falls anywhere in the push period, not just after a push.
        state.PauseTiming();
        plcviewsdemo::Pump([] { return false; }, (value * 37) % period);
        state.ResumeTiming();
        const QString want = QString(QChar(3)) + QString::number(value) + QChar(1);
        QElapsedTimer t;
        t.start();
        s.sim->plc().writeMemory(2, 0x2000 + 4 * 39, {value});
        if (!plcviewsdemo::Pump([&] { return s.view->CellText(last, 2).startsWith(want); }, 5000)) {
            state.SkipWithError("the value did not arrive");
            return;
        }
        const double ms = double(t.nsecsElapsed()) / 1e6;
        samples.push_back(ms);
        state.SetIterationTime(ms / 1000.0);
    }
    std::sort(samples.begin(), samples.end());
    state.counters["median_ms"] = samples.empty() ? 0 : samples[samples.size() / 2];
    state.counters["max_ms"] = samples.empty() ? 0 : samples.back();
}
void BM_WriteToLastRowUdp(benchmark::State& state) { WriteToLastRow(state, false); }
void BM_WriteToLastRowSerial(benchmark::State& state) { WriteToLastRow(state, true); }
BENCHMARK(BM_WriteToLastRowUdp)->UseManualTime()->Iterations(bench::Size(40, 1))->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteToLastRowSerial)->UseManualTime()->Iterations(bench::Size(20, 1))->Unit(benchmark::kMillisecond);

} // namespace
