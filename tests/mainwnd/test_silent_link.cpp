// A control system that falls silent while nothing waits for its reply:
// the simulator program, over UDP on 127.0.0.1 and over a pseudo-terminal
// pair, stopped (SIGSTOP), continued (SIGCONT) and killed (SIGKILL) while
// its PLC runs and a variable is watched.  Within 10 s the PLC state pane
// reads "PLC: ?" and the watched value no longer reads as live, without a
// reset of the link; once the simulator goes on, the status is read anew
// and the value comes back with the next push.  Nothing is written to it
// because of the silence (its record).
#include "link/linkobj/olnk_link.h"
#include "link/ui/LinkMessages.h"
#include "mainwnd/ConnectionWatch.h"
#include "platform/sys/CodePage.h"
#include "platform/sys/LastError.h"
#include "tests/support/link/LinkTestText.h"
#include "tests/support/platform/TempDir.h"
#include "tests/support/ui/UiTest.h"

#include <QElapsedTimer>
#include <QFile>
#include <QObject>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>

using namespace testsupport::ui;

namespace {

// A PLC image the simulator takes (its chain walk passes).
std::vector<uint8_t> Image()
{
    std::vector<uint8_t> img = testsupport::PlcImageModule(0xA520, 1000, 0xFFFF, 2000);
    const std::vector<uint8_t> b = testsupport::PlcImageModule(0xA500, 234, 0x0002, 3000);
    img.insert(img.end(), b.begin(), b.end());
    img.insert(img.end(), {0xFA, 0xFE, 0xFF, 0xF9, 0x00, 0xA5, 0x07, 0xF8});
    return img;
}

class SilentLink : public ::testing::TestWithParam<bool>
{
protected:
    void SetUp() override
    {
        const QStringList args = {QStringLiteral("--record"), QString::fromStdString(dir / "record.txt")};
        sim = GetParam() ? Simulator::StartSerial(args) : Simulator::StartUdp(args);
        ASSERT_TRUE(sim);
        link = std::make_unique<COlnkLink>(linkui::WindowPoster());
        ASSERT_EQ(link->Open(333, sys::Utf8ToUtf16Lenient(sim->ConnectionString()).c_str(), 1000), 1);
        for (uint16_t id : {0, 1, 2, 258})
            ASSERT_EQ(link->InitInterface(id), 1);
        ASSERT_EQ(link->Start(), 1);
        ASSERT_TRUE(WaitFor([&] { return link->IsEstablished(); }, 20000, "the link established"));
        // The breakpoints it wants (none) sent once up, and confirmed.
        ASSERT_TRUE(WaitFor([&] { return link->BreakpointsConfirmed(); }, 20000,
                            "the breakpoints confirmed"));
        window = std::make_unique<linkui::LinkWindow>(&holder, [this](uint32_t msg, uintptr_t, intptr_t lParam,
                                                                      ui::MessageRecord*) {
            if (msg == WM_LINK_STATE)
                ++states;
            else if (msg == WM_LINK_NOTIFY && lParam == OLNK_NOTIFY_SILENT)
                ++silentNotices;
            else if (msg == WM_LINK_NOTIFY && lParam == 1)
                ++valueNotices;
            else if (msg == WM_LINK_RESULT)
                lastResult = linkui::ResultOf(lParam)->status;
            return intptr_t(0);
        });
        ASSERT_EQ(link->RegisterWindow(window.get(), 0), 1);
        ASSERT_EQ(link->RegisterWindow(window.get(), 1), 1);
    }
    void TearDown() override
    {
        link.reset();
        sim.reset();
        PumpEvents(20);
    }
    QString PaneText()
    {
        PlcStatusRecord status{};
        const bool known = link->GetLastStatus(&status);
        return mainwnd::PlcStateText(link->IsConnected(), known ? &status : nullptr);
    }
    int8_t Value()
    {
        uint8_t v = 0;
        return link->GetWatchValue(1, 0x10, 1, &v, 1);
    }
    // The simulator answers: the status the pane shows and a pushed value.
    void ExpectLive(const char* what)
    {
        EXPECT_TRUE(WaitFor([&] { return PaneText() == QStringLiteral("PLC: běží") && Value() == 0; }, 20000, what));
        EXPECT_FALSE(link->ControlSystemSilent());
    }
    // The simulator went silent: within 10 s nothing reads as live.  True
    // when the link noticed the silence; false when the channel reset
    // itself first, which only the serial link may do: there the simulator
    // resends unacknowledged frames back to back, and when the last eight
    // or more frames before it stopped were such repeats, the channel's
    // own out-of-step rule ("Out of step" in link-protocol.md) resets it
    // two seconds after the first of them.
    bool ExpectNotLiveWithin10s(const char* what)
    {
        QElapsedTimer t;
        t.start();
        const int notices = silentNotices;
        EXPECT_TRUE(WaitFor([&] { return link->ControlSystemSilent() || states > 0; }, 10000, what));
        EXPECT_TRUE(WaitFor([&] { return PaneText() == QStringLiteral("PLC: ?") && Value() < 0; }, 2000, what));
        if (states > 0) {
            EXPECT_TRUE(GetParam()) << "a reset over UDP";
            EXPECT_EQ(Value(), OLNK_STATUS_LINK_RESET);
            return false;
        }
        // Not before the limit: the last frame came at most an idle turn
        // (500 ms) before the signal.
        EXPECT_GE(t.elapsed(), 4000);
        EXPECT_TRUE(WaitFor([&] { return silentNotices > notices; }, 2000, "the notice"));
        EXPECT_EQ(Value(), OLNK_STATUS_NO_ANSWER);
        EXPECT_TRUE(link->IsOpen());
        return true;
    }

    // The PLC runs a transferred program (transfer 2, run 6); a Byte is
    // watched every 100 ms (16).
    void RunAndWatch()
    {
        const std::vector<uint8_t> image = Image();
        uint32_t job = 0;
        ASSERT_EQ(link->TransferPLC(window->MessageTarget(), 0, nullptr, &job, uint32_t(image.size()), image.data()),
                  1);
        ASSERT_TRUE(WaitFor([&] { return lastResult == 0; }, 20000, "the transfer"));
        lastResult = 1;
        ASSERT_EQ(link->RunPLC(window->MessageTarget(), 0), 1);
        ASSERT_TRUE(WaitFor([&] { return lastResult == 0; }, 10000, "run"));
        ASSERT_EQ(link->AddWatch(0, 0, 1, 0x10, 1, 0), 1);
        ASSERT_EQ(link->SetWatchPeriod(0, 0, 100, 0), 1);
        ASSERT_EQ(link->CommitWatch(window->MessageTarget(), 0), 1);
    }

    // The codes of the PLC requests the simulator received, in order (its
    // record: "<ms> < <class> <type> <code> ...").
    std::vector<int> RequestCodes()
    {
        std::vector<int> codes;
        QFile f(QString::fromStdString(dir / "record.txt"));
        if (!f.open(QIODevice::ReadOnly))
            return codes;
        for (const QByteArray& line : f.readAll().split('\n')) {
            const QList<QByteArray> w = line.split(' ');
            if (w.size() > 4 && w[1] == "<" && w[2] == "01" && w[3] == "00")
                codes.push_back(w[4].toInt(nullptr, 16));
        }
        return codes;
    }

    testsupport::TempDir dir;
    std::unique_ptr<Simulator> sim;
    std::unique_ptr<COlnkLink> link;
    QObject holder;
    std::unique_ptr<linkui::LinkWindow> window;
    int states = 0, silentNotices = 0, valueNotices = 0;
    int lastResult = 1;
};

} // namespace

TEST_P(SilentLink, StoppedContinuedAndKilledWhileNothingIsPending)
{
    RunAndWatch();
    if (HasFatalFailure())
        return;
    ASSERT_EQ(link->GetStatus(0, 0), 1);
    ExpectLive("running and watched");

    // Stopped: silent within 10 s, however long the pushes kept coming.
    ASSERT_TRUE(sim->Signal(SIGSTOP)) << sim->Output().toStdString();
    if (!ExpectNotLiveWithin10s("silent after SIGSTOP"))
        return;
    // Continued: live again with the status read anew and the next push.
    const int pushes = valueNotices;
    ASSERT_TRUE(sim->Signal(SIGCONT));
    ExpectLive("live again after SIGCONT");
    EXPECT_GT(valueNotices, pushes);
    EXPECT_EQ(states, 0);
    // The silence wrote nothing: besides the link's breakpoints once up
    // (12, none), the test's own transfer (2), run (6), watch (16) and
    // status read (0), the simulator got only the link's own status read.
    std::vector<int> codes;
    EXPECT_TRUE(WaitFor([&] {
        codes = RequestCodes();
        return std::count(codes.begin(), codes.end(), 0) == 2;
    }, 10000, "the status read anew in the record"));
    EXPECT_EQ(codes, (std::vector<int>{12, 2, 6, 16, 0, 0}));

    // Killed: silent again.
    ASSERT_TRUE(sim->Signal(SIGKILL));
    ExpectNotLiveWithin10s("silent after SIGKILL");
}

// Once the silence is known, every request that changes the control
// system is refused at once with the silence's error, and nothing is sent:
// no result follows, the link is not reset, and the simulator, continued,
// receives none of them.  (They went out, waited in the stopped
// simulator's input, made the channel reset itself, were reported failed
// with -123, and the simulator carried them out when it went on: a
// breakpoint nobody saw halted the PLC.)
TEST_P(SilentLink, ChangesAskedWhileSilentAreRefusedAndNeverReachIt)
{
    RunAndWatch();
    if (HasFatalFailure())
        return;
    const std::vector<uint8_t> image = Image();
    uint32_t job = 0;
    // A breakpoint set and cleared while the simulator answers.
    const uint8_t set[10] = {10, 0, 7, 0, 0, 0, 1, 0, 0, 0};
    const uint8_t clear[10] = {10, 0, 7, 0, 0, 0, 0, 0, 0, 0};
    lastResult = 1;
    ASSERT_EQ(link->SetBrkAtLine(window->MessageTarget(), 0, set), 1);
    ASSERT_TRUE(WaitFor([&] { return lastResult == 0; }, 10000, "breakpoint set"));
    lastResult = 1;
    ASSERT_EQ(link->SetBrkAtLine(window->MessageTarget(), 0, clear), 1);
    ASSERT_TRUE(WaitFor([&] { return lastResult == 0; }, 10000, "breakpoint cleared"));
    ASSERT_EQ(link->GetStatus(0, 0), 1);
    ExpectLive("running and watched");

    ASSERT_TRUE(sim->Signal(SIGSTOP)) << sim->Output().toStdString();
    if (!ExpectNotLiveWithin10s("silent after SIGSTOP"))
        return;
    ASSERT_EQ(PaneText(), QStringLiteral("PLC: ?"));
    lastResult = 1;
    auto refused = [&](int r, const char* what) {
        EXPECT_EQ(r, 0) << what;
        EXPECT_EQ(sys::GetLastError(), OLNK_LINK_E_SILENT) << what;
    };
    const uint8_t setVar[11] = {11, 0, 0x10, 0, 0, 0, 1, 0, 1, 0, 9};
    const uint8_t bits[8] = {0x10, 0, 0, 0, 1, 0, 0x01, 0x01};
    const uint8_t setMech[9] = {9, 0, 0x40, 0, 0, 0, 1, 0, 1};
    const uint32_t w = window->MessageTarget();
    refused(link->SetBrkAtLine(w, 0, set), "SetBrkAtLine");
    refused(link->ClearBrks(w, 0), "ClearBrks");
    refused(link->SetVar(w, 0, setVar), "SetVar");
    refused(link->SetVarBits(w, 0, bits), "SetVarBits");
    refused(link->SetMech(w, 0, setMech), "SetMech");
    refused(link->SetRegs(w, 0, 1, 5), "SetRegs");
    refused(link->AddWatchMech(w, 0, 1, 0x40, 1), "AddWatchMech");
    refused(link->AddWatch(w, 0, 1, 0x20, 1, 1), "AddWatch");
    refused(link->RunPLC(w, 0), "RunPLC");
    refused(link->StopPLC(w, 0), "StopPLC");
    refused(link->StepPLC(w, 0), "StepPLC");
    refused(link->BreakPLC(w, 0), "BreakPLC");
    refused(link->ClearPLC(w, 0), "ClearPLC");
    refused(link->SleepPLC(w, 0), "SleepPLC");
    refused(link->BackupPLC(w, 0, 0), "BackupPLC");
    refused(link->TransferPLC(w, 0, nullptr, &job, uint32_t(image.size()), image.data()), "TransferPLC");
    refused(link->Delete(w, 0, u"\\DATA\\X.TXT"), "Delete");
    EXPECT_EQ(link->GetBrkState(7), -1);
    PumpEvents(300);
    EXPECT_EQ(lastResult, 1) << "a result came";
    // Nothing was sent, so nothing makes the channel reset itself; over the
    // serial link its out-of-step rule may still do so for the repeats the
    // simulator sent last (see ExpectNotLiveWithin10s), late on a busy
    // machine.
    EXPECT_TRUE(states == 0 || GetParam()) << "the link reset";

    // Continued: live again, and it got none of them.
    ASSERT_TRUE(sim->Signal(SIGCONT));
    EXPECT_TRUE(WaitFor([&] { return PaneText() == QStringLiteral("PLC: běží"); }, 20000, "live again"));
    EXPECT_TRUE(states == 0 || GetParam());
    std::vector<int> codes;
    EXPECT_TRUE(WaitFor([&] {
        codes = RequestCodes();
        return std::count(codes.begin(), codes.end(), 0) == 2;
    }, 10000, "the status read anew in the record"));
    PumpEvents(500);
    // The link's breakpoints once up (12), transfer (2), run (6), watch
    // (16), the two breakpoint requests (12) and the status reads (0): the
    // test's own, then the link's once it answered again.
    EXPECT_EQ(RequestCodes(), (std::vector<int>{12, 2, 6, 16, 12, 12, 0, 0}));
    // Running, not halted at a breakpoint ("PLC: přerušeno").
    EXPECT_EQ(PaneText(), QStringLiteral("PLC: běží"));
}

INSTANTIATE_TEST_SUITE_P(Transports, SilentLink, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& i) { return i.param ? "Serial" : "Udp"; });
