// The main road's figures in one run: the application object with its main
// frame on a generated project of 50 sources (Haldor, 632), built with the
// stand-in compiler through Pilvex, against the simulator in process in run
// mode, over UDP on 127.0.0.1 and over a 115200-baud pseudo-terminal pair.
// - build_ms: the build command on the 50 sources, median (reported);
// - transfer: "Přenést PLC" against the same image pushed through the link
//   object alone (raw), alternating, medians; ratio = the command's
//   throughput / the raw one, target at least 0.8;
// - breakpoint: from the simulator stopping at a breakpoint (the flag seen
//   set) to the painted margin of the source view holding the current-line
//   mark, median and largest, target under 100 ms over UDP;
// - watch: refreshes a second of the debug bar's watch view with 200
//   variables and the watch interval 50 ms while the program runs, target
//   at least 10 over UDP and 2 over the serial link.
// Run in the release build, offscreen: ./build/bench/bench_main_road
// (docs/testing.md).
#include "bench/BenchSize.h"
#include "app/StrandworkApp.h"
#include "editor/view/EdtViewRenderer.h"
#include "editor/view/EdtViewScroller.h"
#include "projectui/StrandworkDoc.h"
#include "link/linkobj/olnk_link.h"
#include "mainwnd/AppBar.h"
#include "mainwnd/MainFrame.h"
#include "mainwnd/OutputCtrl.h"
#include "platform/sys/CodePage.h"
#include "platform/sys/Registry.h"
#include "platform/ui/Command.h"
#include "plcviews/PLCDoc.h"
#include "plcviews/WatchView.h"
#include "res/CommandIds.h"
#include "tests/support/platform/TempDir.h"
#include "tests/support/plcviews/DebugSetup.h"
#include "tools/cssim/cssim.h"

#include <QApplication>
#include <QDir>
#include <QPaintEvent>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <optional>
#include <thread>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using Bytes = std::vector<uint8_t>;

constexpr int kSources = 50;
constexpr int kBreakLine = 8;       // "STO A00" of M00.plc (code on the lines 6 to 11)
constexpr uint32_t kRunRate = 3000; // lines a second: 300 lines, a round of 100 ms
const char kSuccess[] = "Tvorba PLC skončila bez chyb.";

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// Sends a command as a menu item or a toolbar button does: only when its
// update rule shows it enabled, along the command route.
bool Command(uint32_t id)
{
    ui::CmdUI state(id);
    ui::UpdateCommandUI(state);
    return state.Enabled() && ui::SendCommand(id);
}

std::string Name(const char* format, int k)
{
    char name[16];
    std::snprintf(name, sizeof name, format, k);
    return name;
}

// 50 sources M00.plc … M49.plc, each declaring four variables (200 in all,
// in areas 1 and 2) and six code lines, with `imageBytes` bytes of its own
// in the PLC image; the project Road.kxp lists them and its workspace
// watches all 200 variables on one page every 50 ms.
QString WriteRoadProject(const std::string& folder, const std::string& conn, int imageBytes)
{
    fs::create_directories(folder);
    core::ProjectData d;
    core::SetProjectDefaults(d, 1'100'000'000);
    core::WatchPlaque page{u"Plaketa 0", {}};
    for (int k = 0; k < kSources; ++k) {
        const std::string a = Name("A%02d", k), b = Name("B%02d", k), c = Name("C%02d", k), e = Name("E%02d", k);
        std::ofstream(folder + "/" + Name("M%02d.plc", k), std::ios::binary)
            << "; modul " << k << "\r\n#tarv-image-size " << imageBytes << "\r\n"
            << "#tarv-symbol " << a << " WORD\r\n#tarv-symbol " << b << " DWORD\r\n"
            << "#tarv-symbol " << c << " BYTE 2\r\n#tarv-symbol " << e << " WORD 2\r\n"
            << "LOD " << a << "\r\nADD 1\r\nSTO " << a << "\r\nLOD " << b << "\r\nAND " << c
            << "\r\nSTO " << e << "\r\n";
        const std::u16string file = sys::Utf8ToUtf16Lenient(Name("M%02d.plc", k));
        d.SourceFiles.push_back({file, file});
        for (const std::string& v : {a, b, c, e})
            page.VarNames.push_back(sys::Utf8ToUtf16Lenient(v));
    }
    d.WatchPlaques = {page};
    d.SelectedPlaque = 0;
    d.WatchInterval = 50;
    d.OlnkConnectionString = sys::Utf8ToUtf16Lenient(conn);
    return plcviewsdemo::WriteProjectFiles(folder, "Road", d);
}

// Notes the time of every stop of the simulator's PLC (flag 0x08 rising),
// polling its model from a thread of its own.
class StopWatch
{
public:
    explicit StopWatch(cssim::Simulator& sim)
        : m_thread([this, &sim] {
              bool was = (sim.plc().flags() & cssim::FLAG_AT_POSITION) != 0;
              m_ready = true;
              while (!m_end) {
                  const bool at = (sim.plc().flags() & cssim::FLAG_AT_POSITION) != 0;
                  if (at && !was) {
                      m_last = Clock::now().time_since_epoch().count();
                      ++m_stops;
                  }
                  was = at;
                  std::this_thread::sleep_for(std::chrono::microseconds(100));
              }
          })
    {
        while (!m_ready)
            std::this_thread::yield();
    }
    ~StopWatch()
    {
        m_end = true;
        m_thread.join();
    }
    int Stops() const { return m_stops; }
    Clock::time_point Last() const { return Clock::time_point(Clock::duration(m_last.load())); }

private:
    std::atomic<bool> m_end{false}, m_ready{false};
    std::atomic<int> m_stops{0};
    std::atomic<Clock::rep> m_last{0};
    std::thread m_thread;
};

// Notes the first time the view paints the margin of a line while the
// project's status holds the PLC stopped at that line's listing index (the
// moment the current-line mark shows), once armed and once the project has
// seen the PLC leave that stop.
class MarkWatch : public QObject
{
public:
    MarkWatch(CPLCView* view, CStrandworkDoc* doc, int line) : m_view(view), m_doc(doc), m_line(line)
    {
        view->ListingLineOf(line, &m_index);
        view->installEventFilter(this);
    }
    ~MarkWatch() override { m_view->removeEventFilter(this); }
    void Arm()
    {
        m_left = false;
        m_marked.reset();
        StoppedThere();
    }
    // Whether the project holds the PLC stopped at the line; notes that it
    // left the stop.
    bool StoppedThere()
    {
        PlcStatusRecord status{};
        const bool there = m_doc->GetPlcStatus(status) && (status.flags & 0x08) && status.index == m_index;
        m_left = m_left || !there;
        return there;
    }
    std::optional<Clock::time_point> Marked() const { return m_marked; }

protected:
    bool eventFilter(QObject* o, QEvent* e) override
    {
        if (o == m_view && e->type() == QEvent::Paint && !m_marked) {
            const int lh = m_view->Renderer().GetLineHeight();
            const int y = (m_view->GetSubLineIndex(m_line) - m_view->ScrollPos().topSubLine) * lh;
            const QRect client = m_view->Scroller().ClientRect();
            const QRect margin(client.left(), client.top() + y, m_view->GetMarginWidth(), lh);
            if (static_cast<QPaintEvent*>(e)->region().intersects(margin) && StoppedThere() && m_left)
                m_marked = Clock::now();
        }
        return false;
    }

private:
    CPLCView* m_view;
    CStrandworkDoc* m_doc;
    int m_line;
    uint32_t m_index = 0;
    bool m_left = false;
    std::optional<Clock::time_point> m_marked;
};

// The road on one link: the project written and opened in the application
// (main frame shown), built, connected.
struct Road
{
    testsupport::TempDir dir;
    std::string folder = dir / "Road";
    std::unique_ptr<cssim::Simulator> sim;
    std::unique_ptr<CStrandworkApp> app;
    CPLCView* source = nullptr;
    std::string error;

    explicit Road(bool serial)
    {
        cssim::Config cfg;
        cfg.recording = false;
        cfg.runRate = kRunRate;
        std::string conn;
        sim = plcviewsdemo::StartSimulator(cfg, serial, conn);
        if (!sim) {
            error = "the simulator does not start";
            return;
        }
        // UDP: about 4 MB of image; serial: about 60 KB (six seconds).
        const QString project = WriteRoadProject(folder, conn, serial ? bench::Size(1200, 100) : bench::Size(80000, 1000));
        app = std::make_unique<CStrandworkApp>();
        app->SetArguments({project});
        if (project.isEmpty() || !app->InitInstance() || !Project()) {
            error = "the project does not open";
            return;
        }
        app->MainFrame()->show();
        if (!Build()) {
            error = "the build failed";
            return;
        }
        if (!Command(ID_CONNECT_TOGGLE) ||
            !plcviewsdemo::Pump([&] { return Project()->Link().IsEstablished(); }, 20000))
            error = "no connection";
    }
    ~Road()
    {
        if (Project()) {
            if (Project()->IsDebugging())
                Command(ID_DEBUG_STOP);
            Project()->Link().Close();
        }
        app.reset();
        sim.reset();
    }
    CStrandworkDoc* Project() const { return app ? app->GetProjectDoc() : nullptr; }
    bool Build()
    {
        app->OutputControl()->ClearAll();
        const QString all = QStringLiteral("Tarv: překládám %1 souborů").arg(kSources);
        return Command(ID_PROJECT_BUILD) && app->OutputControl()->Text().contains(all) &&
               app->OutputControl()->Text().contains(QString::fromUtf8(kSuccess));
    }
    Bytes Image() const
    {
        std::ifstream f(folder + "/Output/PLC.BIN", std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(f), {});
    }
    // Debugging with M00.plc open in its view and the program running.
    bool Debugging()
    {
        if (!Project()->IsDebugging() && !Command(ID_DEBUG_START))
            return false;
        if (!source) {
            ui::Document* d = app->OpenDocumentFile(QString::fromStdString(folder + "/M00.plc"));
            source = d ? qobject_cast<CPLCView*>(d->FirstView()) : nullptr;
            if (!source || !plcviewsdemo::Pump([&] { return source->isVisible(); }, 5000))
                return false;
        }
        return Project()->IsDebugging();
    }
    bool Running() const
    {
        return (sim->plc().flags() & (cssim::FLAG_RUNNING | cssim::FLAG_AT_POSITION)) == cssim::FLAG_RUNNING;
    }
};

std::unique_ptr<Road> g_roads[2];

Road* Shared(benchmark::State& state, bool serial)
{
    std::unique_ptr<Road>& road = g_roads[serial];
    if (!road) {
        g_roads[!serial].reset(); // one application object at a time
        road = std::make_unique<Road>(serial);
    }
    if (!road->error.empty()) {
        state.SkipWithError(road->error.c_str());
        return nullptr;
    }
    return road.get();
}

void BM_Build50Sources(benchmark::State& state)
{
    Road* road = Shared(state, false);
    if (!road)
        return;
    std::vector<double> times;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        if (!road->Build())
            return state.SkipWithError("the build failed");
        times.push_back(Ms(Clock::now() - t0));
        state.SetIterationTime(times.back() / 1000);
    }
    state.counters["sources"] = kSources;
    state.counters["build_ms"] = Median(times);
}
BENCHMARK(BM_Build50Sources)->UseManualTime()->Iterations(bench::Size(3, 1))->Unit(benchmark::kMillisecond);

// "Přenést PLC" and the raw transfer of the same image alternate, so that
// both see the same load of the machine.
void Transfer(benchmark::State& state, bool serial)
{
    Road* road = Shared(state, serial);
    if (!road)
        return;
    if (road->Project()->IsDebugging())
        Command(ID_DEBUG_STOP);
    const Bytes image = road->Image();
    std::vector<double> raw, doc;
    for (auto _ : state) {
        const double r = plcviewsdemo::RawTransferPlc(road->Project()->Link(), image, 120000);
        if (r < 0)
            return state.SkipWithError("the raw transfer failed");
        raw.push_back(r);
        const auto t0 = Clock::now();
        if (!Command(ID_TRANSFER_PLC) || road->sim->plc().image() != image)
            return state.SkipWithError("Přenést PLC failed");
        doc.push_back(Ms(Clock::now() - t0));
        state.SetIterationTime((raw.back() + doc.back()) / 1000);
    }
    const double r = Median(raw), d = Median(doc);
    state.counters["bytes"] = double(image.size());
    state.counters["raw_ms"] = r;
    state.counters["doc_ms"] = d;
    state.counters["raw_bytes_per_s"] = r > 0 ? double(image.size()) * 1000 / r : 0;
    state.counters["doc_bytes_per_s"] = d > 0 ? double(image.size()) * 1000 / d : 0;
    state.counters["ratio"] = d > 0 ? r / d : 0;
}

// The breakpoint on "STO A00" of M00.plc, set in the source view; each
// iteration runs on (the program goes round once) to the next stop there.
void BreakpointToMark(benchmark::State& state, bool serial)
{
    Road* road = Shared(state, serial);
    if (!road)
        return;
    if (!road->Debugging())
        return state.SkipWithError("the debug start failed");
    CPLCView* view = road->source;
    uint32_t index = 0;
    if (!view->ListingLineOf(kBreakLine, &index))
        return state.SkipWithError("no listing line");
    view->setFocus();
    view->ClampTextPos(EdtPoint{0, kBreakLine});
    if (!Command(ID_DEBUG_TOGGLE_BREAKPOINT) ||
        !plcviewsdemo::Pump([&] { return road->sim->plc().breakpoints() == std::vector<uint32_t>{index}; }, 10000))
        return state.SkipWithError("the breakpoint was not set");
    StopWatch stops(*road->sim);
    MarkWatch marks(view, road->Project(), kBreakLine);
    // Run to the breakpoint once: from there each run goes round the whole
    // program before it stops there again.
    auto runToMark = [&] {
        const int s0 = stops.Stops();
        marks.Arm();
        return Command(ID_PLC_RUN) &&
               plcviewsdemo::Pump([&] { return marks.StoppedThere(), stops.Stops() > s0 && marks.Marked(); }, 20000) &&
               road->sim->plc().position() == index;
    };
    if (!runToMark())
        return state.SkipWithError("no stop at the breakpoint");
    std::vector<double> latency;
    for (auto _ : state) {
        if (!runToMark())
            return state.SkipWithError("no stop at the breakpoint");
        latency.push_back(Ms(*marks.Marked() - stops.Last()));
        state.SetIterationTime(latency.back() / 1000);
    }
    view->ClampTextPos(EdtPoint{0, kBreakLine});
    Command(ID_DEBUG_TOGGLE_BREAKPOINT);
    std::sort(latency.begin(), latency.end());
    state.counters["median_ms"] = Median(latency);
    state.counters["max_ms"] = latency.empty() ? 0 : latency.back();
}

// Refreshes of the debug bar's watch view in five seconds while the
// program runs without breakpoints.
void WatchRefresh(benchmark::State& state, bool serial)
{
    Road* road = Shared(state, serial);
    if (!road)
        return;
    if (!road->Debugging())
        return state.SkipWithError("the debug start failed");
    auto* watch = qobject_cast<CKXPWatchView*>(road->app->MainFrame()->DebugBar()->View());
    if (!watch || !plcviewsdemo::Pump([&] { return watch->isVisible(); }, 5000))
        return state.SkipWithError("no watch view");
    if (!road->Running() && !Command(ID_PLC_RUN))
        return state.SkipWithError("Run was refused");
    if (!plcviewsdemo::Pump([&] { return road->Running() && watch->Refreshes() > 0; }, 20000))
        return state.SkipWithError("the program does not run or the watch stays empty");
    double perSecond = 0;
    for (auto _ : state) {
        const int before = watch->Refreshes();
        const auto t0 = Clock::now();
        plcviewsdemo::Pump([] { return false; }, bench::Size(5000, 300));
        const double ms = Ms(Clock::now() - t0);
        perSecond = (watch->Refreshes() - before) * 1000.0 / ms;
        state.SetIterationTime(ms / 1000);
    }
    if (!road->Running())
        return state.SkipWithError("the program stopped");
    state.counters["rows"] = watch->RowCount() - 1;
    state.counters["refreshes_per_s"] = perSecond;
}

void BM_TransferUdp(benchmark::State& state) { Transfer(state, false); }
void BM_BreakpointToMarkUdp(benchmark::State& state) { BreakpointToMark(state, false); }
void BM_WatchRefreshUdp(benchmark::State& state) { WatchRefresh(state, false); }
void BM_TransferSerial(benchmark::State& state) { Transfer(state, true); }
void BM_BreakpointToMarkSerial(benchmark::State& state) { BreakpointToMark(state, true); }
void BM_WatchRefreshSerial(benchmark::State& state) { WatchRefresh(state, true); }
BENCHMARK(BM_TransferUdp)->UseManualTime()->Iterations(bench::Size(5, 1))->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BreakpointToMarkUdp)->UseManualTime()->Iterations(bench::Size(20, 1))->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WatchRefreshUdp)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TransferSerial)->UseManualTime()->Iterations(bench::Size(2, 1))->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BreakpointToMarkSerial)->UseManualTime()->Iterations(bench::Size(10, 1))->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WatchRefreshSerial)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

// Drops the offscreen platform's notes on window calls it does not support.
QtMessageHandler g_previousHandler = nullptr;
void QuietOffscreen(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (type == QtWarningMsg && text.startsWith(QLatin1String("This plugin does not support")))
        return;
    if (g_previousHandler)
        g_previousHandler(type, context, text);
}

} // namespace

int main(int argc, char** argv)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    // Settings and state of the program in a folder of the run's own.
    testsupport::TempDir home;
    ::setenv("XDG_CONFIG_HOME", (home / "config").c_str(), 1);
    ::setenv("XDG_STATE_HOME", (home / "state").c_str(), 1);
    QDir().mkpath(QString::fromStdString(home / "config"));
    QDir().mkpath(QString::fromStdString(home / "state"));
    g_previousHandler = qInstallMessageHandler(QuietOffscreen);
    QApplication qapp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Strandwork"));
    QApplication::setOrganizationName(QStringLiteral("ORNA"));
    sys::RegistryStore::Reset();
    // The stand-in compiler of the build tree; Pilvex lies beside this program.
    sys::Profile::WriteString(u"Options", u"PathTarvane", sys::Utf8ToUtf16Lenient(SW_TARVANE "/"));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    g_roads[0].reset();
    g_roads[1].reset();
    sys::RegistryStore::Reset();
    return 0;
}
