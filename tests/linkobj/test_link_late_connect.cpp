// The link object against a control system that keeps the link rules, frame
// by frame, over UDP on 127.0.0.1 and over a pseudo-terminal pair: a late
// copy of the control system's connect reply (a connect frame numbered 1
// that carries a reply, not a connect message) reaches the link object
// running, just after its handshake, or after it was closed and opened
// again, with any acknowledgement byte.  When it resets the link object's
// channel, the link object meets it with its own reset, which the control
// system answers: the request in flight ends at once, new requests are
// answered within 2 s of the copy, and the control system runs again.
// Answered with a connect reply instead, the control system took the reply
// for a reset by its peer that it never answers and dropped every frame for
// good.
#include "link_test_env.h"
#include "wire_peer.h"

#include "tests/support/platform/PtyPair.h"

#include <gtest/gtest.h>

#include <poll.h>

#include <optional>
#include <random>

using namespace linktest;

namespace {

enum class When { Running, AfterHandshake, AfterReopen };

struct Case
{
    bool serial;
    When when;
    uint8_t ack; // of the late copy
};

void PrintTo(const Case& c, std::ostream* os)
{
    *os << (c.serial ? "serial" : "UDP") << ", ack " << int(c.ack);
}

// Frames of one direction of the wire, some of them (a percentage, seeded)
// duplicated and some held back behind the next one.
class FaultyWire
{
public:
    FaultyWire(int percent, uint32_t seed) : m_percent(percent), m_rng(seed) {}

    void Pass(const Bytes& frame, const std::function<void(const Bytes&)>& deliver)
    {
        std::optional<Bytes> held;
        int roll;
        {
            std::lock_guard<std::mutex> g(m_m);
            roll = int(m_rng() % 100);
            if (roll >= m_percent && roll < 2 * m_percent && !m_held) {
                m_held = frame;
                return;
            }
            held.swap(m_held);
        }
        deliver(frame);
        if (roll < m_percent)
            deliver(frame);
        if (held)
            deliver(*held);
    }
    // A frame held back goes after a quiet spell at the latest.
    void Flush(const std::function<void(const Bytes&)>& deliver)
    {
        std::optional<Bytes> held;
        {
            std::lock_guard<std::mutex> g(m_m);
            held.swap(m_held);
        }
        if (held)
            deliver(*held);
    }

private:
    const int m_percent;
    std::mutex m_m;
    std::mt19937 m_rng;
    std::optional<Bytes> m_held;
};

class RulesPeerLink : public ::testing::Test
{
protected:
    virtual bool Serial() const { return false; }
    // Of the frames in each direction, this percentage is duplicated and as
    // many are reordered (UDP only).
    virtual int FaultPercent() const { return 0; }

    void SetUp() override
    {
        App();
        const bool serial = Serial();
        m_toPeer = std::make_unique<FaultyWire>(FaultPercent(), 76);
        m_toLink = std::make_unique<FaultyWire>(FaultPercent(), 67);
        if (serial) {
            ASSERT_TRUE(m_pty.Ok());
            m_fd = m_pty.MasterFd();
            m_conn = "P = " + m_pty.SlavePath() + "; B = 115200; W = 20;";
        } else {
            const uint16_t ours = testsupport::PickFreeUdpPort();
            const uint16_t theirs = testsupport::PickFreeUdpPort();
            m_fd = BindPeerSocket(theirs, ours, m_to);
            ASSERT_GE(m_fd, 0);
            m_own = true;
            m_conn = UdpLoopbackConn(ours, theirs);
        }
        m_peer = std::make_unique<RulesPeer>(20, [this, serial](const Bytes& f) {
            if (serial)
                (void)m_pty.WriteMaster(f.data(), f.size());
            else
                m_toLink->Pass(f, [this](const Bytes& b) { Send(b); });
        }, m_trace);
        m_thread = std::thread([this] { Loop(); });
        ASSERT_TRUE(OpenLink());
        m_pl = static_cast<IOlnkPL*>(m_link->Query(OLNK_IID_PL));
    }
    void TearDown() override
    {
        m_link.reset();
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
        if (m_own)
            ::close(m_fd);
        PumpFor(20);
    }

    // Opens the link object (the same one again after a close).
    bool OpenLink()
    {
        if (!m_link)
            m_link = std::make_unique<COlnkLink>(linkui::WindowPoster());
        const std::u16string cs = Wide(m_conn);
        if (m_link->Open(333, cs.c_str(), 1000) != 1)
            return false;
        for (uint16_t id : {0, 1, 2, 258})
            m_link->InitInterface(id);
        m_link->RegisterWindow(m_list0.handle, 0);
        return m_link->Start() == 1 && Pump([&] { return m_link->IsEstablished(); });
    }

    void Send(const Bytes& b)
    {
        ::sendto(m_fd, b.data(), b.size(), 0, reinterpret_cast<const sockaddr*>(&m_to), sizeof m_to);
    }

    void Loop()
    {
        const auto take = [this](const Bytes& b) {
            FrameReader one;
            std::vector<WireFrame> frames;
            one.Feed(b.data(), b.size(), frames);
            for (const WireFrame& f : frames)
                m_peer->Take(f);
        };
        FrameReader reader;
        uint8_t buf[4096];
        auto idle = std::chrono::steady_clock::now();
        while (!m_stop) {
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, 20) > 0) {
                const ssize_t n = ::read(m_fd, buf, sizeof buf);
                std::vector<WireFrame> frames;
                if (n > 0)
                    reader.Feed(buf, size_t(n), frames);
                for (const WireFrame& f : frames)
                    m_toPeer->Pass(Encode(Spec(f)), take);
            }
            if (std::chrono::steady_clock::now() - idle > std::chrono::milliseconds(200)) {
                m_toPeer->Flush(take);
                m_toLink->Flush([this](const Bytes& b) { Send(b); });
                m_peer->Idle();
                idle = std::chrono::steady_clock::now();
            }
        }
    }

    // Requests answered until both ends left the state 3 of the handshake
    // on the frames numbered 0: the link is running (state 0).
    bool DriveToRunning()
    {
        return Pump([&] {
            if (m_target.Count(WM_LINK_RESULT) == m_sent)
                for (int i = 0; i < 8; ++i)
                    m_sent += m_pl->GetStatus(m_target.handle, 1000 + m_sent);
            return m_peer->BothRunning();
        }, 20000);
    }

    static FrameSpec Spec(const WireFrame& f)
    {
        FrameSpec s;
        s.seq = f.seq;
        s.ack = f.ack;
        s.connect = f.connect();
        s.reliable = (f.control & 0x400) != 0;
        s.data = f.data;
        return s;
    }

    testsupport::PtyPair m_pty;
    std::unique_ptr<FaultyWire> m_toPeer, m_toLink;
    int m_fd = -1;
    bool m_own = false;
    sockaddr_in m_to{};
    std::string m_conn;
    WireTrace m_trace;
    std::unique_ptr<RulesPeer> m_peer;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::unique_ptr<COlnkLink> m_link;
    IOlnkPL* m_pl = nullptr;
    Target m_list0, m_target;
    size_t m_sent = 0;
};

class LateConnectReply : public RulesPeerLink, public ::testing::WithParamInterface<Case>
{
protected:
    bool Serial() const override { return GetParam().serial; }
};

} // namespace

TEST_P(LateConnectReply, NewRequestsAreAnsweredWithinTwoSecondsAndThePeerRunsAgain)
{
    const Case c = GetParam();
    if (c.when != When::AfterHandshake) {
        ASSERT_TRUE(DriveToRunning()) << "the link never ran" << m_trace.Text();
    }
    FrameSpec late = m_peer->LastConnectReply();
    if (c.when == When::AfterReopen) {
        m_trace.Note("the link object closes and opens again");
        ASSERT_EQ(m_link->Close(), 1);
        ASSERT_TRUE(OpenLink()) << "not established again" << m_trace.Text();
    }
    ASSERT_TRUE(IsConnectReply(late.data)) << m_trace.Text();
    // A request the control system takes and has not answered yet, once
    // every request before it was answered.
    ASSERT_TRUE(Pump([&] { return m_target.Count(WM_LINK_RESULT) == m_sent; })) << m_trace.Text();
    const size_t results = m_target.Count(WM_LINK_RESULT);
    const int taken = m_peer->Requests();
    m_peer->HoldAnswers(true);
    ASSERT_EQ(m_pl->GetStatus(m_target.handle, 7), 1);
    ASSERT_TRUE(Pump([&] { return m_peer->Requests() > taken; })) << m_trace.Text();
    m_peer->HoldAnswers(false);

    late.ack = c.ack;
    const auto copied = std::chrono::steady_clock::now();
    m_peer->Inject(late, "late copy of the connect reply");
    // Requests one after the other; a call refused while the channel is
    // reset by the copy is made again.
    int answered = 0;
    std::uintptr_t param = 100;
    bool waiting = false;
    Pump([&] {
        const auto got = m_target.Of(WM_LINK_RESULT);
        for (size_t i = results; i < got.size(); ++i)
            if (got[i].rec.parameter == param)
                waiting = false;
        if (!waiting) {
            answered = 0;
            for (size_t i = results; i < got.size(); ++i)
                answered += got[i].rec.parameter > 100 && got[i].rec.parameter < 1000 && got[i].rec.status == 0;
            if (answered < 3)
                waiting = m_pl->GetStatus(m_target.handle, ++param) == 1;
        }
        return answered >= 3;
    }, 2000);
    EXPECT_EQ(answered, 3) << "new requests not answered within 2 s of the late copy" << m_trace.Text();
    EXPECT_LT(std::chrono::steady_clock::now() - copied, std::chrono::milliseconds(2500)) << m_trace.Text();
    for (const Got& g : m_target.Of(WM_LINK_RESULT))
        EXPECT_NE(g.rec.status, OLNK_STATUS_NO_ANSWER) << "request " << g.rec.parameter << m_trace.Text();
    // The request in flight ended at once when the copy reset the link; it
    // is not answered in the new count.
    const auto got = m_target.Of(WM_LINK_RESULT);
    const auto held = std::find_if(got.begin(), got.end(), [](const Got& g) { return g.rec.parameter == 7; });
    if (c.when == When::Running) {
        ASSERT_TRUE(held != got.end()) << "the request in flight did not end" << m_trace.Text();
        EXPECT_EQ(held->rec.status, OLNK_STATUS_LINK_RESET) << m_trace.Text();
    } else if (held != got.end()) {
        EXPECT_EQ(held->rec.status, OLNK_STATUS_LINK_RESET) << m_trace.Text();
    }
    EXPECT_NE(m_peer->State(), 1) << "the control system is left reset" << m_trace.Text();
    EXPECT_TRUE(m_link->IsEstablished()) << m_trace.Text();
}

INSTANTIATE_TEST_SUITE_P(
    Copies, LateConnectReply,
    ::testing::Values(Case{false, When::Running, 0x81}, Case{true, When::Running, 0x81},
                      Case{false, When::Running, 0x80}, Case{false, When::Running, 0x01},
                      Case{false, When::Running, 0xFF}, Case{false, When::AfterHandshake, 0x81},
                      Case{false, When::AfterHandshake, 0x80}, Case{false, When::AfterHandshake, 0x01},
                      Case{false, When::AfterReopen, 0x81}, Case{false, When::AfterReopen, 0x80},
                      Case{false, When::AfterReopen, 0x00}),
    [](const auto& info) {
        const Case& c = info.param;
        char ack[8];
        std::snprintf(ack, sizeof ack, "%02X", c.ack);
        return std::string(c.serial ? "Serial" : "Udp") +
               (c.when == When::Running ? "Running" : c.when == When::AfterHandshake ? "AfterHandshake" : "AfterReopen") +
               "Ack" + ack;
    });

namespace {

class LateConnectReplyOnAFaultyWire : public RulesPeerLink
{
protected:
    int FaultPercent() const override { return 5; }
};

} // namespace

// Over UDP with 5 % of the frames duplicated and as many reordered in each
// direction, the link runs, a late copy of the connect reply resets it, and
// so on, three times: every request ends within seconds, none for want of
// an answer, each copy is followed by answered requests, and the control
// system is never left reset.
TEST_F(LateConnectReplyOnAFaultyWire, NoRequestHangsAroundTheResets)
{
    for (int round = 0; round < 3; ++round) {
        ASSERT_TRUE(DriveToRunning()) << "round " << round << ": the link never ran" << m_trace.Text();
        ASSERT_TRUE(Pump([&] { return m_target.Count(WM_LINK_RESULT) == m_sent; }))
            << "round " << round << ": a request hangs" << m_trace.Text();
        FrameSpec late = m_peer->LastConnectReply();
        ASSERT_TRUE(IsConnectReply(late.data)) << m_trace.Text();
        m_peer->Inject(late, "late copy of the connect reply");
        const size_t before = m_target.Count(WM_LINK_RESULT);
        for (int i = 0; i < 10; ++i)
            m_sent += m_pl->GetStatus(m_target.handle, 500 + i);
        ASSERT_TRUE(Pump([&] { return m_target.Count(WM_LINK_RESULT) == m_sent; }, 5000))
            << "round " << round << ": a request hangs" << m_trace.Text();
        const auto got = m_target.Of(WM_LINK_RESULT);
        for (size_t i = before; i < got.size(); ++i)
            EXPECT_TRUE(got[i].rec.status == 0 || got[i].rec.status == OLNK_STATUS_LINK_RESET)
                << "round " << round << ": status " << int(got[i].rec.status) << m_trace.Text();
        // Requests after the copy are answered.
        ASSERT_TRUE(Pump([&] {
            if (m_target.Count(WM_LINK_RESULT) == m_sent)
                m_sent += m_pl->GetStatus(m_target.handle, 600);
            const auto now = m_target.Of(WM_LINK_RESULT);
            return !now.empty() && now.back().rec.parameter == 600 && now.back().rec.status == 0;
        }, 5000)) << "round " << round << ": no answer after the copy" << m_trace.Text();
        EXPECT_NE(m_peer->State(), 1) << m_trace.Text();
    }
    for (const Got& g : m_target.Of(WM_LINK_RESULT))
        EXPECT_NE(g.rec.status, OLNK_STATUS_NO_ANSWER) << m_trace.Text();
}
