// Throughput of file operations against the control-system simulator in
// process over UDP on 127.0.0.1 (W = 20), offscreen:
// - the raw session (OxfrGetA / OxfrPutA of 16 MiB, waiting only for the
//   transfer result), the link object (Get / Put, waiting for
//   WM_XFER_RESULT) and CFileOpDlg::Copy in both directions, with the
//   largest gap between ticks of a 10 ms timer on the UI thread;
// - a local copy of 16 MiB through the engine;
// - 100 files of 16 KiB through CTransferProgressDlg against the same 100
//   puts one at a time through the link object;
// - 1,000 files of 1 KiB in 10 folders copied local -> remote.
#include "bench/BenchSize.h"
#include "link/linkobj/olnk_link.h"
#include "link/oxfr/oxfr.h"
#include "link/ui/FileOpDlg.h"
#include "link/ui/LinkMessages.h"
#include "link/ui/TransferProgressDlg.h"
#include "platform/sys/CodePage.h"
#include "tests/support/build/CaptureSink.h"
#include "tests/support/link/LinkTestText.h"
#include "tests/support/platform/PtyPair.h"
#include "tests/support/platform/TempDir.h"
#include "tools/cssim/cssim.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <thread>

namespace {

namespace fs = std::filesystem;
const size_t kBig = bench::Size<size_t>(16u << 20, 64u << 10);

QApplication* App()
{
    static int argc = 1;
    static char name[] = "bench_fileop";
    static char* argv[] = {name, nullptr};
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication* app = new QApplication(argc, argv);
    return app;
}

void WriteFile(const std::string& path, size_t size, char c)
{
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream f(path, std::ios::binary);
    const std::string block(1 << 16, c);
    for (size_t done = 0; done < size; done += block.size())
        f.write(block.data(), std::streamsize(std::min(block.size(), size - done)));
}

bool Pump(const std::function<bool()>& pred, int ms = 600000)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!pred()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

// The largest gap between ticks of a 10 ms timer while it runs.
class GapMeter
{
public:
    GapMeter()
    {
        m_clock.start();
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const qint64 now = m_clock.elapsed();
            m_max = std::max(m_max, now - m_last);
            m_last = now;
        });
        m_timer.start(10);
    }
    qint64 MaxGapMs() const { return m_max; }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0, m_max = 0;
};

// The simulator with a share DATA and the connection string of our side.
struct Sim
{
    testsupport::TempDir share, local;
    std::unique_ptr<cssim::Simulator> sim;
    std::string conn;
    Sim()
    {
        const uint16_t ours = testsupport::PickFreeUdpPort();
        cssim::Config cfg;
        cfg.udpLocalPort = testsupport::PickFreeUdpPort();
        cfg.peerPort = ours;
        cfg.shares = {{"DATA", share.Path()}};
        cfg.recording = false;
        sim = std::make_unique<cssim::Simulator>(cfg);
        if (!sim->start())
            sim.reset();
        else
            conn = testsupport::UdpLoopbackConn(ours, sim->publicPort());
    }
};

struct LinkEnv : Sim
{
    std::unique_ptr<COlnkLink> link;
    IOxfrC* fc = nullptr;
    LinkEnv()
    {
        App();
        if (!sim)
            return;
        link = std::make_unique<COlnkLink>(linkui::WindowPoster());
        if (!link->Open(333, sys::Utf8ToUtf16Lenient(conn).c_str(), 1000))
            return;
        for (uint16_t id : {0, 1, 2, 258})
            link->InitInterface(id);
        link->Start();
        if (Pump([&] { return link->IsEstablished(); }, 10000))
            fc = static_cast<IOxfrC*>(link->Query(OLNK_IID_OXFRC));
    }
};

// ---- raw session -------------------------------------------------------------------------

struct RawWaiter
{
    std::mutex m;
    std::condition_variable cv;
    int results = 0;
    int8_t status = 0;
};

void BM_RawSession(benchmark::State& state)
{
    const bool put = state.range(0) != 0;
    Sim env;
    if (!env.sim) {
        state.SkipWithError("no simulator");
        return;
    }
    WriteFile(env.share / "big.bin", kBig, 'r');
    WriteFile(env.local / "big.bin", kBig, 'l');
    RawWaiter w;
    OxfrSession s = OxfrOpenSessionA(&w, env.conn.c_str(), 1000);
    if (!s) {
        state.SkipWithError("no session");
        return;
    }
    OxfrTransferCallbacks tc;
    tc.result = [](void* u, uint8_t, int8_t st, uint32_t, const uint8_t*, size_t) {
        auto* rw = static_cast<RawWaiter*>(u);
        std::lock_guard<std::mutex> g(rw->m);
        ++rw->results;
        rw->status = st;
        rw->cv.notify_all();
    };
    OxfrSetTransferCallbacks(s, &tc);
    OlnkResumeSession(s);
    for (int i = 0; i < 2000 && !OxfrIsEstablished(s); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    int n = 0;
    for (auto _ : state) {
        ++n;
        uint32_t job = 0;
        const int ok = put ? OxfrPutA(s, 1, nullptr, 0, &job, (env.local / "big.bin").c_str(), "\\DATA\\put.bin")
                           : OxfrGetA(s, 1, nullptr, 0, &job, "\\DATA\\big.bin", (env.local / "got.bin").c_str());
        std::unique_lock<std::mutex> lk(w.m);
        if (!ok || !w.cv.wait_for(lk, std::chrono::minutes(5), [&] { return w.results >= n; }) || w.status != 0) {
            state.SkipWithError("transfer failed");
            break;
        }
    }
    OxfrCloseSession(s);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kBig));
}

// ---- link object ---------------------------------------------------------------------------

void BM_LinkObject(benchmark::State& state)
{
    const bool put = state.range(0) != 0;
    LinkEnv env;
    if (!env.fc) {
        state.SkipWithError("no link");
        return;
    }
    WriteFile(env.share / "big.bin", kBig, 'r');
    WriteFile(env.local / "big.bin", kBig, 'l');
    QObject obj;
    int results = 0;
    int status = 0;
    const auto h = ui::RegisterMessageTarget(&obj, [&](uint32_t msg, uintptr_t, intptr_t l, ui::MessageRecord*) {
        if (msg == WM_XFER_RESULT) {
            ++results;
            status = linkui::ResultOf(l)->status;
        }
        return intptr_t(0);
    });
    const std::u16string local = sys::Utf8ToUtf16Lenient(env.local / "big.bin");
    const std::u16string got = sys::Utf8ToUtf16Lenient(env.local / "got.bin");
    int n = 0;
    for (auto _ : state) {
        ++n;
        uint32_t job = 0;
        const int ok = put ? env.fc->Put(h, 1, nullptr, &job, local.c_str(), u"\\DATA\\put.bin")
                           : env.fc->Get(h, 1, nullptr, &job, u"\\DATA\\big.bin", got.c_str());
        if (!ok || !Pump([&] { return results >= n; }) || status != 0) {
            state.SkipWithError("transfer failed");
            break;
        }
    }
    ui::UnregisterMessageTarget(h);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kBig));
}

// ---- the file-operation dialog ---------------------------------------------------------------

void BM_FileOpCopy(benchmark::State& state)
{
    const int dir = int(state.range(0)); // 0 remote -> local, 1 local -> remote, 2 local -> local
    LinkEnv env;
    if (!env.fc) {
        state.SkipWithError("no link");
        return;
    }
    WriteFile(env.share / "big.bin", kBig, 'r');
    WriteFile(env.local / "src/big.bin", kBig, 'l');
    fs::create_directories(env.local / "dst");
    std::u16string names[] = {u"big.bin"};
    const std::u16string src = sys::Utf8ToUtf16Lenient(env.local / "src");
    const std::u16string dst = sys::Utf8ToUtf16Lenient(env.local / "dst");
    qint64 gap = 0;
    for (auto _ : state) {
        GapMeter meter;
        linkui::CFileOpDlg dlg;
        bool ok = false;
        if (dir == 0)
            ok = dlg.Copy(env.fc, u"\\DATA\\", dst, names, nullptr, 1, nullptr, nullptr);
        else if (dir == 1)
            ok = dlg.Copy(env.fc, src, u"\\DATA\\", names, nullptr, 1, nullptr, nullptr);
        else
            ok = dlg.Copy(env.fc, src, dst, names, nullptr, 1, nullptr, nullptr);
        gap = std::max(gap, meter.MaxGapMs());
        if (!ok) {
            state.SkipWithError("copy failed");
            break;
        }
    }
    state.counters["max_gap_ms"] = double(gap);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kBig));
}

// ---- the transfer progress dialog --------------------------------------------------------------

void BM_TransferDialog(benchmark::State& state)
{
    const bool dialog = state.range(0) != 0;
    const int kFiles = bench::Size(100, 10);
    LinkEnv env;
    if (!env.fc) {
        state.SkipWithError("no link");
        return;
    }
    std::vector<std::u16string> locals;
    for (int i = 0; i < kFiles; ++i) {
        const std::string name = std::string("f").append(std::to_string(i));
        WriteFile(env.local / name, 16 << 10, char('a' + i % 26));
        locals.push_back(sys::Utf8ToUtf16Lenient(env.local / name));
    }
    QObject obj;
    int results = 0;
    const auto h = ui::RegisterMessageTarget(&obj, [&](uint32_t msg, uintptr_t, intptr_t, ui::MessageRecord*) {
        results += msg == WM_XFER_RESULT;
        return intptr_t(0);
    });
    for (auto _ : state) {
        if (dialog) {
            std::vector<linkui::XferFileItem> items(static_cast<size_t>(kFiles));
            for (int i = 0; i < kFiles; ++i) {
                items[size_t(i)].localPath = locals[size_t(i)];
                items[size_t(i)].remotePath = u"\\DATA\\F" + sys::Utf8ToUtf16Lenient(std::to_string(i));
                items[size_t(i)].type = 5;
            }
            testsupport::NullSink out;
            linkui::CTransferProgressDlg dlg(nullptr, &out);
            if (!dlg.Setup(env.fc, items.data(), kFiles)) {
                state.SkipWithError("transfer failed");
                break;
            }
        } else {
            for (int i = 0; i < kFiles; ++i) {
                const int before = results;
                uint32_t job = 0;
                const std::u16string remote = u"\\DATA\\F" + sys::Utf8ToUtf16Lenient(std::to_string(i));
                if (!env.fc->Put(h, 1, nullptr, &job, locals[size_t(i)].c_str(), remote.c_str()) ||
                    !Pump([&] { return results > before; })) {
                    state.SkipWithError("put failed");
                    break;
                }
            }
        }
    }
    ui::UnregisterMessageTarget(h);
}

void BM_ManySmallFiles(benchmark::State& state)
{
    LinkEnv env;
    if (!env.fc) {
        state.SkipWithError("no link");
        return;
    }
    const int folders = bench::Size(10, 2), files = bench::Size(100, 10);
    for (int d = 0; d < folders; ++d)
        for (int f = 0; f < files; ++f)
            WriteFile(env.local / ("tree/d" + std::to_string(d) + "/f" + std::to_string(f)), 1024, 'x');
    std::u16string names[] = {u"tree"};
    int n = 0;
    for (auto _ : state) {
        fs::create_directories(env.share / std::string("t").append(std::to_string(n)));
        const std::u16string target = u"\\DATA\\t" + sys::Utf8ToUtf16Lenient(std::to_string(n++));
        linkui::CFileOpDlg dlg;
        if (!dlg.Copy(env.fc, sys::Utf8ToUtf16Lenient(env.local.Path()), target, names, nullptr, 1, nullptr, nullptr)) {
            state.SkipWithError("copy failed");
            break;
        }
    }
    state.counters["files_per_s"] = benchmark::Counter(double(folders * files) * double(state.iterations()), benchmark::Counter::kIsRate);
}

} // namespace

BENCHMARK(BM_RawSession)->ArgName("put")->Arg(0)->Arg(1)->Iterations(bench::Size(2, 1))->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LinkObject)->ArgName("put")->Arg(0)->Arg(1)->Iterations(bench::Size(2, 1))->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FileOpCopy)->ArgName("dir")->Arg(0)->Arg(1)->Arg(2)->Iterations(bench::Size(2, 1))->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_TransferDialog)->ArgName("dialog")->Arg(0)->Arg(1)->Iterations(bench::Size(2, 1))->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ManySmallFiles)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
