// The simulator program stopped (SIGSTOP) for longer than its stall time and
// continued (SIGCONT): its own pause is not taken for the peer's silence.
// The peer is made of frames, on a UDP socket of 127.0.0.1 or on a
// pseudo-terminal, so the test decides every acknowledgement and sees every
// frame the simulator sends.
#include "cssim_child.h"
#include "cssim_test_util.h"

#include "link/olnk/olnk.h"
#include "platform/sys/UdpSocket.h"
#include "tests/link/link_test_util.h"
#include "tools/linkshim/LinkFrameDecoder.h"

#include <algorithm>
#include <atomic>
#include <csignal>
#include <functional>
#include <memory>
#include <mutex>
#include <poll.h>
#include <sstream>

using namespace cssimtest;
using linkshim::DecodedFrame;
using testsupport::WaitUntil;

namespace {

// How long the simulator stays stopped: the input of these tests, longer
// than its stall time (OLNK_STALL_MS) and than what its transports take for
// a pause of their own (OLNK_PAUSE_MS).
constexpr auto kStop = std::chrono::milliseconds(OLNK_STALL_MS + 500);

uint8_t Seq(int v) { return uint8_t(v & 0x7F); }

// The peer's end of the wire (a UDP socket, or the master of a
// pseudo-terminal pair whose slave the simulator opens), the frames it
// numbers itself, and a thread that logs every frame of the simulator.
// While `acking` it answers each with a new empty frame acknowledging the
// last one received in order, as a link keeping the rules does at once for
// data and within its idle turn for the rest; otherwise it says nothing.
class FramePeer
{
public:
    struct Logged
    {
        DecodedFrame frame;
        bool afterContinue = false;
    };

    // Opens the peer's end: the simulator's arguments to reach it, empty
    // when it failed.
    std::vector<std::string> Open(bool serial)
    {
        m_serial = serial;
        std::vector<std::string> args;
        if (serial) {
            m_pty = std::make_unique<testsupport::PtyPair>();
            if (!m_pty->Ok())
                return {};
            args = {"--serial", m_pty->SlavePath(), "--baud", "115200"};
        } else {
            m_simPort = testsupport::PickFreeUdpPort();
            if (!m_socket.Open(0, sys::kIpv4Loopback))
                return {};
            args = {"--udp", std::to_string(m_simPort), "--peer",
                    "127.0.0.1:" + std::to_string(m_socket.LocalPort())};
        }
        m_thread = std::thread([this] { Read(); });
        return args;
    }
    ~FramePeer()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
    }

    // A new frame of the peer, numbered next, acknowledging what came in
    // order: its number.
    uint8_t Send(const Bytes& data, bool connect = false)
    {
        std::lock_guard<std::mutex> g(m_sendLock);
        const uint8_t seq = m_next;
        m_next = Seq(m_next + 1);
        Write(seq, data, connect);
        return seq;
    }
    // A frame under a number of the peer's choice (out of order, a repeat);
    // the numbering of Send goes on as it was.
    void SendAs(uint8_t seq, const Bytes& data)
    {
        std::lock_guard<std::mutex> g(m_sendLock);
        Write(seq, data, false);
    }
    uint8_t NextSeq()
    {
        std::lock_guard<std::mutex> g(m_sendLock);
        return m_next;
    }

    // While the returned object lives, f is called by the reading thread
    // for every frame, before it is answered.
    class Hook
    {
    public:
        Hook(FramePeer& peer, std::function<void(const DecodedFrame&)> f) : m_peer(peer)
        {
            std::lock_guard<std::mutex> g(peer.m_hookLock);
            peer.m_onFrame = std::move(f);
        }
        ~Hook()
        {
            std::lock_guard<std::mutex> g(m_peer.m_hookLock); // waits for a call under way
            m_peer.m_onFrame = nullptr;
        }
        Hook(const Hook&) = delete;
        Hook& operator=(const Hook&) = delete;

    private:
        FramePeer& m_peer;
    };

    std::vector<Logged> Log()
    {
        std::lock_guard<std::mutex> g(m_logLock);
        return m_log;
    }
    // Whether a frame logged so far matches.
    bool Saw(const std::function<bool(const Logged&)>& pred)
    {
        std::lock_guard<std::mutex> g(m_logLock);
        return std::any_of(m_log.begin(), m_log.end(), pred);
    }
    // Frames logged from now on are marked as coming after the continue.
    void MarkContinue() { m_continued = true; }

    std::atomic<bool> acking{false};

private:
    void Write(uint8_t seq, const Bytes& data, bool connect)
    {
        linktest::FrameSpec f;
        f.seq = seq;
        f.ack = uint8_t(0x80 | m_R.load());
        f.connect = connect;
        f.data = data;
        const Bytes wire = linktest::Encode(f);
        if (m_serial)
            (void)m_pty->WriteMaster(wire.data(), wire.size());
        else
            m_socket.SendTo(wire.data(), wire.size(), sys::kIpv4Loopback, m_simPort);
    }

    // The simulator's frames from the wire; false when nothing came.
    bool ReadFrames(std::vector<DecodedFrame>& out)
    {
        uint8_t buf[4096];
        const int fd = m_serial ? m_pty->MasterFd() : m_socket.Fd();
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 20) <= 0)
            return false;
        if (m_serial) {
            const ssize_t n = ::read(fd, buf, sizeof buf);
            if (n <= 0)
                return false;
            m_decoder.Feed({buf, size_t(n)});
            out = m_decoder.Take();
            return true;
        }
        size_t got = 0;
        sys::Ipv4Address from{};
        uint16_t fromPort = 0;
        if (m_socket.ReceiveFrom(buf, sizeof buf, got, from, fromPort) != sys::IoStatus::Ok ||
            fromPort != m_simPort)
            return false;
        out = linkshim::LinkFrameDecoder::DecodeDatagram({buf, got});
        return true;
    }

    void Read()
    {
        while (!m_stop) {
            std::vector<DecodedFrame> frames;
            if (!ReadFrames(frames))
                continue;
            for (const DecodedFrame& f : frames) {
                if (!f.headerOk || !f.dataOk)
                    continue;
                if (f.connect() && f.seq == 1)
                    m_R = 0; // its reset numbers from 1 again
                if (f.seq == Seq(m_R + 1))
                    m_R = f.seq;
                {
                    std::lock_guard<std::mutex> g(m_logLock);
                    m_log.push_back({f, m_continued.load()});
                }
                {
                    std::lock_guard<std::mutex> g(m_hookLock);
                    if (m_onFrame)
                        m_onFrame(f);
                }
                if (acking)
                    Send({});
            }
        }
    }

    bool m_serial = false;
    std::unique_ptr<testsupport::PtyPair> m_pty;
    linkshim::LinkFrameDecoder m_decoder;
    sys::UdpSocket m_socket;
    uint16_t m_simPort = 0;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_continued{false};
    std::atomic<uint8_t> m_R{0}; // the simulator's last frame received in order
    std::mutex m_sendLock;
    uint8_t m_next = 1;
    std::mutex m_logLock;
    std::vector<Logged> m_log;
    std::mutex m_hookLock;
    std::function<void(const DecodedFrame&)> m_onFrame;
};

bool IsStatusReply(const DecodedFrame& f, uint32_t param)
{
    const Bytes& d = f.data;
    return d.size() >= 8 && d[0] == 1 && d[1] == 1 && d[2] == 0 &&
           (d[3] | d[4] << 8 | d[5] << 16 | uint32_t(d[6]) << 24) == param;
}

Bytes StatusRequest(uint32_t param)
{
    Bytes r{1, 0, 0};
    for (int i = 0; i < 4; ++i)
        r.push_back(uint8_t(param >> (8 * i)));
    return r;
}

bool IsConnectReply(const DecodedFrame& f)
{
    return f.connect() && f.seq == 1 && f.data.size() >= 3 && f.data[0] == 0 && f.data[1] == 1 &&
           f.data[2] == 0;
}

// What tells a reset of the simulator in the log from its connect reply on:
// a connect frame other than that reply sent again (its reset carries its
// connect message), or a frame numbered neither as a repeat of the window
// nor as the next one.  Empty when there is none.
std::string ResetIn(const std::vector<FramePeer::Logged>& log)
{
    int highest = -1;
    Bytes reply;
    for (size_t i = 0; i < log.size(); ++i) {
        const DecodedFrame& f = log[i].frame;
        if (highest < 0) {
            if (IsConnectReply(f)) {
                highest = f.seq;
                reply = f.data;
            }
            continue;
        }
        std::ostringstream what;
        what << "frame " << i << " of the simulator, number " << int(f.seq)
             << (log[i].afterContinue ? " (after the continue)" : " (before the stop)");
        if (f.connect() && f.data != reply)
            return what.str() + ", is a connect frame: it reset the link";
        if (f.seq == Seq(highest + 1))
            highest = f.seq;
        else if (Seq(highest - f.seq) >= 20)
            return what.str() + ", breaks its numbering after " + std::to_string(highest);
    }
    return highest < 0 ? "no connect reply" : "";
}

// The simulator program and the peer, connected over UDP or a
// pseudo-terminal (the parameter: serial): the peer's connect frame
// answered, the sequence numbers wrapped (the link runs, state 0), and a
// request answered.
class CssimPause : public ::testing::TestWithParam<bool>
{
protected:
    void SetUp() override
    {
        const std::vector<std::string> args = peer.Open(GetParam());
        ASSERT_FALSE(args.empty());
        sim = std::make_unique<Child>(args);
        ASSERT_GT(sim->pid, 0);
        ASSERT_NE(sim->ReadUntil(sim->out, "cssim ready\n", 10000).find("cssim ready"), std::string::npos);

        peer.Send(ConnectMessage(), true); // numbered 1: nothing of the peer went before
        ASSERT_TRUE(WaitUntil([&] {
            return peer.Saw([](const FramePeer::Logged& l) { return IsConnectReply(l.frame); });
        })) << "no connect reply";
        peer.acking = true;
        for (int i = 0; i < 128; ++i)
            peer.Send({}); // in order; the one numbered 0 ends the simulator's state 3
        Ask(1);
    }
    void TearDown() override
    {
        if (sim && sim->pid > 0)
            ::kill(sim->pid, SIGCONT); // the destructor's SIGKILL ends it either way
    }

    static Bytes ConnectMessage() { return {0, 0, 0, 0, 0, 0, 0, 4, 0, 1, 0}; }

    // A status request answered: the number of the frame of its reply.
    int Ask(uint32_t param)
    {
        peer.Send(StatusRequest(param));
        int seq = -1;
        const bool answered = WaitUntil([&] {
            return peer.Saw([&](const FramePeer::Logged& l) {
                if (IsStatusReply(l.frame, param))
                    seq = l.frame.seq;
                return seq >= 0;
            });
        });
        EXPECT_TRUE(answered) << "request " << param << " was not answered";
        return seq;
    }

    void Continue()
    {
        peer.MarkContinue();
        ASSERT_EQ(::kill(sim->pid, SIGCONT), 0);
    }

    FramePeer peer;
    std::unique_ptr<Child> sim;
};

INSTANTIATE_TEST_SUITE_P(Udp, CssimPause, ::testing::Values(false));
INSTANTIATE_TEST_SUITE_P(Serial, CssimPause, ::testing::Values(true));

// The simulator's reply is not acknowledged when it stops: it went out and
// came again for two resend rounds (over the serial line, whose idle turns
// resend without pause, more).  Its stall rule wants four rounds and its
// stall time; the time passes while it is stopped, and it must not count:
// after the continue the peer gets its resend rounds, and acknowledges the
// third frame it sees.  (Before, the rounds before the stop and the time of
// the stop together reset the link with the second.)
TEST_P(CssimPause, ItsUnacknowledgedReplyGetsResendRoundsAfterTheStop)
{
    peer.acking = false;
    std::atomic<int> sent{0}, sentAfter{0};
    std::atomic<bool> stopped{false};
    const FramePeer::Hook hook(peer, [&](const DecodedFrame& f) {
        if (!IsStatusReply(f, 2))
            return;
        if (!stopped) {
            // Stopped as soon as the second round is seen: over UDP two
            // rounds (a second) before its stall rule would take the reply
            // for lost.
            if (++sent == 3) {
                ::kill(sim->pid, SIGSTOP);
                stopped = true;
            }
        } else if (++sentAfter == 3) {
            peer.acking = true; // this frame is acknowledged
        }
    });
    peer.Send(StatusRequest(2));
    ASSERT_TRUE(WaitUntil([&] { return stopped.load(); })) << "the reply did not come three times";
    std::this_thread::sleep_for(kStop); // the stop itself: its length is the input
    Continue();
    ASSERT_TRUE(WaitUntil([&] { return peer.acking.load(); }))
        << "the reply did not come three times after the continue; " << ResetIn(peer.Log());

    const int next = Ask(3);
    EXPECT_EQ(ResetIn(peer.Log()), "");
    EXPECT_GT(next, 0);
}

// The peer's frames the simulator cannot place: one out of order (the one
// before it was lost) came before the stop and made it ask for the missing
// one; eight more, sent while it was stopped, it reads at once after the
// continue.  Its rule for frames it cannot place wants eight over its stall
// time; these came over the stop, and the peer, which sends the missing frame
// once it is asked again, is in step.  (Before, that reset the link at once.)
TEST_P(CssimPause, FramesItCouldNotPlaceAcrossTheStopAreNoStall)
{
    peer.acking = false;
    const uint8_t lost = peer.NextSeq();
    std::atomic<bool> stopped{false};
    auto asksForLost = [&](const DecodedFrame& f) { return !f.isAck() && f.ackNumber() == lost; };
    const FramePeer::Hook hook(peer, [&](const DecodedFrame& f) {
        if (!stopped && asksForLost(f)) {
            ::kill(sim->pid, SIGSTOP);
            stopped = true;
        }
    });
    peer.SendAs(Seq(lost + 1), {});
    ASSERT_TRUE(WaitUntil([&] { return stopped.load(); })) << "no NAK of the missing frame";
    for (uint32_t i = 0; i < OLNK_STALL_UNPLACED; ++i)
        peer.SendAs(Seq(lost + 1), {}); // they wait for it on the wire
    std::this_thread::sleep_for(kStop); // the stop itself: its length is the input
    Continue();
    ASSERT_TRUE(WaitUntil([&] {
        return peer.Saw([&](const FramePeer::Logged& l) { return l.afterContinue && asksForLost(l.frame); });
    })) << "the missing frame was not asked for again after the continue; " << ResetIn(peer.Log());
    EXPECT_EQ(peer.Send({}), lost); // the missing frame at last
    peer.acking = true;

    const int next = Ask(4);
    EXPECT_EQ(ResetIn(peer.Log()), "");
    EXPECT_GT(next, 0);
}

} // namespace
