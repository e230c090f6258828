// The PLC interface transfer against the simulator in process over UDP on
// 127.0.0.1 (W = 20), in one run:
// - raw_ms: COlnkLink::TransferPLC of a 4 MiB image alone, to its result;
// - doc_ms and ratio: TransferPlcInterface(false) of the same image
//   (information, status, the transfer through the wait dialog), target
//   ratio <= 1.25 (medians of five runs each);
// - max_gap_ms: the largest gap between ticks of a 10 ms timer on the UI
//   thread during it, target <= 100;
// - debug_start_ms: a debug start with everything current (no build, the
//   image found current, 20 support files of type 3 needing no transfer),
//   target <= 1000 (the slowest of three).
// Run in the release build, offscreen: ./build/bench/bench_transfer
#include "bench/BenchSize.h"
#include "app/PlcCommandDialog.h"
#include "projectui/StrandworkDoc.h"
#include "link/linkobj/olnk_link.h"
#include "link/ui/LinkMessages.h"
#include "platform/sys/CodePage.h"
#include "platform/ui/Messages.h"
#include "tests/support/build/CaptureSink.h"
#include "tests/support/build/StubProjectHost.h"
#include "tests/support/link/LinkTestText.h"
#include "tests/support/platform/PtyPair.h"
#include "tests/support/platform/TempDir.h"
#include "tests/support/plcviews/DebugSetup.h"
#include "tools/cssim/cssim.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

std::string g_buildDir; // the build folder (bench/ is below it)

class BenchHost : public testsupport::StubProjectHost
{
public:
    BenchHost()
    {
        settings.PathTarvane = sys::Utf8ToUtf16Lenient(g_buildDir + "/tests/support/Tarvane/");
        programFolder = QString::fromStdString(g_buildDir + "/bin/");
        output = &sink;
    }
    std::unique_ptr<PlcCommandDialog> CreatePlcCommandDialog() override
    {
        return std::make_unique<CPlcCommandDialogPort>();
    }
    testsupport::NullSink sink;
};

// A well-formed image of about `size` bytes: modules of at most 65,000
// payload bytes, then the end record.
Bytes MakeImage(size_t size)
{
    Bytes image;
    while (image.size() + 32 + 8 < size) {
        const size_t n = std::min<size_t>(65000, size - image.size() - 32 - 8);
        Bytes head(32, 0);
        const uint8_t marks[8] = {0xFA, 0xFE, 0xFF, 0xF9, 0x20, 0xA5, 0x06, 0xF9};
        std::copy(marks, marks + 8, head.begin());
        head[12] = uint8_t(32 + n);
        head[13] = uint8_t((32 + n) >> 8);
        head[24] = uint8_t(n);
        head[25] = uint8_t(n >> 8);
        image.insert(image.end(), head.begin(), head.end());
        for (size_t i = 0; i < n; ++i)
            image.push_back(uint8_t(i * 7));
        uint16_t sum = 0;
        for (size_t i = image.size() - n; i < image.size(); ++i)
            sum = uint16_t(sum + image[i]);
        image[image.size() - n - 32 + 26] = uint8_t(sum);
        image[image.size() - n - 32 + 27] = uint8_t(sum >> 8);
    }
    const uint8_t end[8] = {0xFA, 0xFE, 0xFF, 0xF9, 0x00, 0xA5, 0x07, 0xF8};
    image.insert(image.end(), end, end + 8);
    return image;
}

struct Env
{
    testsupport::ScopedConfigHome config;
    testsupport::TempDir dir, remote;
    BenchHost host;
    std::unique_ptr<cssim::Simulator> sim;
    std::unique_ptr<CStrandworkDoc> doc;

    bool Start()
    {
        remote.Write("DATA/.keep", "");
        cssim::Config cfg;
        cfg.recording = false;
        cfg.shares = {{"DATA", remote / "DATA"}};
        std::string conn;
        sim = plcviewsdemo::StartSimulator(cfg, false, conn);
        if (!sim)
            return false;
        const char* fixtures = std::getenv("SW_FIXTURES");
        const std::string from = fixtures ? fixtures : SW_SOURCE_DIR "/tests/fixtures";
        fs::copy(from + "/build/ok", dir.Path(), fs::copy_options::recursive);
        doc = std::make_unique<CStrandworkDoc>();
        doc->SetAutoDelete(false);
        if (!doc->OnOpenDocument(QString::fromStdString(dir / "Lis.kxp")))
            return false;
        doc->Data().OlnkConnectionString.assign(conn.begin(), conn.end());
        return doc->StartCommunication() && plcviewsdemo::Pump([&] { return doc->Link().IsEstablished(); }, 20000);
    }
    ~Env()
    {
        if (doc)
            doc->Link().Close();
    }
};

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// Raw and document transfers of the same 4 MiB image alternate on one link,
// so that both see the same load of the machine; medians of each.
void BM_Transfer4MiB(benchmark::State& state)
{
    Env env;
    if (!env.Start())
        return state.SkipWithError("no simulator");
    const Bytes image = MakeImage(bench::Size(4 << 20, 64 << 10));
    env.dir.Write("Output/PLC.BIN", std::string(image.begin(), image.end()));
    QElapsedTimer ticks;
    qint64 maxGap = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { maxGap = std::max(maxGap, ticks.restart()); });
    std::vector<double> raw, doc;
    qint64 worstGap = 0;
    auto since = [](auto t0) {
        return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    };
    for (auto _ : state) {
        const double rawMs = plcviewsdemo::RawTransferPlc(env.doc->Link(), image, 60000);
        if (rawMs < 0)
            return state.SkipWithError("the raw transfer failed");
        raw.push_back(rawMs);

        maxGap = 0;
        ticks.start();
        timer.start(10);
        const auto t0 = std::chrono::steady_clock::now();
        const bool ok = env.doc->TransferPlcInterface(false);
        doc.push_back(since(t0));
        timer.stop();
        if (!ok)
            return state.SkipWithError("the document's transfer failed");
        worstGap = std::max(worstGap, maxGap);
    }
    const double r = Median(raw), d = Median(doc);
    state.counters["raw_ms"] = r;
    state.counters["doc_ms"] = d;
    state.counters["ratio"] = r > 0 ? d / r : 0;
    state.counters["max_gap_ms"] = double(worstGap);
}
BENCHMARK(BM_Transfer4MiB)->Iterations(bench::Size(7, 1))->Unit(benchmark::kMillisecond);

void BM_DebugStartCurrent(benchmark::State& state)
{
    Env env;
    if (!env.Start())
        return state.SkipWithError("no simulator");
    if (!env.doc->BuildPlc())
        return state.SkipWithError("the build failed");
    auto& supports = env.doc->Data().SupportFiles;
    for (int i = 0; i < 20; ++i) {
        const std::u16string name = u"s" + sys::Utf8ToUtf16Lenient(std::to_string(i)) + u".txt";
        env.dir.Write(sys::Utf16ToUtf8Lenient(name), "support " + std::to_string(i));
        supports.push_back({name, name, u"\\DATA\\" + name, 0, 3, 0});
    }
    // The first start sends the image and the files; the measured ones find
    // everything current.
    if (!env.doc->StartDebugging())
        return state.SkipWithError("the first debug start failed");
    env.doc->StopDebugging();
    std::vector<double> times;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        const bool ok = env.doc->StartDebugging();
        times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
        env.doc->StopDebugging();
        if (!ok)
            return state.SkipWithError("the debug start failed");
    }
    state.counters["debug_start_ms"] = *std::max_element(times.begin(), times.end());
}
BENCHMARK(BM_DebugStartCurrent)->Iterations(bench::Size(3, 1))->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Strandwork"));
    g_buildDir = fs::path(QCoreApplication::applicationDirPath().toStdString()).parent_path().string();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
