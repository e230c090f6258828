// The link object against a control system written from the wire rules
// alone, frame by frame, over UDP on 127.0.0.1 and over a pseudo-terminal
// pair: whether the peer acknowledges the connect frame with an empty frame
// before its connect reply (the reply then carries number 2), sends the
// reply first, or had reset itself just before (its connect message crosses
// ours), the handshake completes at once, with no reset of either end, and
// a request sent before it completed is answered.
#include "link_test_env.h"
#include "wire_peer.h"

#include "link/olnk/olnk.h"

#include <gtest/gtest.h>

#include <chrono>
#include <deque>
#include <optional>

using namespace linktest;

namespace {

enum class Order { AckFirst, ReplyFirst, Crossing };

// A passive control system of its own design: every frame it builds takes
// a number, empty ones included, and stays until acknowledged; a NAK or a
// quiet spell sends the unacknowledged frames again.  It answers the
// connect frame and GetStatus, and counts connect frames that come after
// its reply was acknowledged: each one is a reset of the link object.  In
// the ten seconds after it answered a reset, a repeat of the connect frame
// it took is a repeat, as any frame (a real control system's reset window).
class WirePeer
{
public:
    WirePeer(Order order, std::function<void(const Bytes&)> write)
        : m_order(order), m_write(std::move(write))
    {
    }

    // The idle frame of a peer that ran before the link object came.
    void SendIdleFrame() { Build({}, false); }

    void Take(const WireFrame& f)
    {
        std::lock_guard<std::mutex> g(m_m);
        const bool connectMessage = f.connect() && f.data.size() >= 7 && f.data[0] == 0 && f.data[1] == 0;
        if (connectMessage && m_order == Order::Crossing && !m_crossed) {
            // It reset itself a moment ago and waits for its own handshake:
            // it takes nothing of ours before the link object's next frame,
            // which finds its connect frame already under way.
            m_connect = f;
            return;
        }
        // Within the ten seconds after it answered a reset, a connect frame
        // numbered at or just behind the last one it took is a repeat, the
        // link object's go-back resend of the connect frame it took (a
        // serial line resends the window at once when idle, and may resend
        // it after a request built behind it): only its acknowledgement byte
        // counts.  Taken as a new reset, it would throw away the reply to
        // that request, which the link object had already seen acknowledged.
        const bool repeat = m_answered && std::chrono::steady_clock::now() - m_answeredAt < kResetWindow &&
                            uint8_t((m_R - f.seq) & 0x7F) < kWindow;
        if (connectMessage && !repeat) {
            m_answered = true;
            m_answeredAt = std::chrono::steady_clock::now();
            if (m_replyAcknowledged)
                ++m_resets;
            m_replyAcknowledged = false;
            m_R = f.seq;
            m_next = 1;
            m_sent.clear();
            const Bytes reply = ConnectReply(f);
            if (m_order == Order::AckFirst) {
                Build({}, false);
                m_replySeq = Build(reply, true);
            } else {
                m_replySeq = Build(reply, true);
                Build({}, false);
            }
            return;
        }
        if (m_order == Order::Crossing && !m_crossed) {
            if (!m_connect.connect())
                return;
            // Its own connect frame, built before it took ours (ACK 0); then
            // it takes ours and answers it.  This frame of ours it dropped.
            m_crossed = true;
            m_answered = true;
            m_answeredAt = std::chrono::steady_clock::now();
            m_next = 1;
            m_sent.clear();
            Build({0, 0, 0, 0, 0, 0, 0, 4, 0, 1, 0}, true);
            m_replyAcknowledged = false;
            m_R = m_connect.seq;
            m_replySeq = Build(ConnectReply(m_connect), true);
            return;
        }
        Acknowledged(f.ack);
        if (f.seq == uint8_t((m_R + 1) & 0x7F)) {
            m_R = f.seq;
            if (f.data.size() >= 7 && f.data[0] == 1 && f.data[1] == 0 && f.data[2] == 0) {
                // GetStatus: the status record {10, flags 2, position 0, 0}.
                Bytes reply{1, 1, 0};
                reply.insert(reply.end(), f.data.begin() + 3, f.data.begin() + 7);
                reply.insert(reply.end(), {0, 10, 0, 2, 0, 0, 0, 0, 0, 0, 0});
                Build(reply, false);
            } else if (!f.data.empty()) {
                Build({}, false); // an empty frame carries the acknowledgement
            }
        } else if (!f.data.empty()) {
            // A repeat or a frame out of order: acknowledged again.
            if (m_sent.empty())
                Build({}, false);
            else
                Send(m_sent.front().first);
        }
    }

    // A quiet spell: everything unacknowledged goes again.
    void Idle()
    {
        std::lock_guard<std::mutex> g(m_m);
        for (const auto& s : m_sent)
            Send(s.first);
    }

    int Resets()
    {
        std::lock_guard<std::mutex> g(m_m);
        return m_resets;
    }

private:
    // The connect reply: 0, 1, 0, the request's parameter, status 0, u16 4, u16 1.
    static Bytes ConnectReply(const WireFrame& connect)
    {
        Bytes reply{0, 1, 0};
        reply.insert(reply.end(), connect.data.begin() + 3, connect.data.begin() + 7);
        reply.insert(reply.end(), {0, 4, 0, 1, 0});
        return reply;
    }

    uint8_t Build(const Bytes& data, bool connect)
    {
        const uint8_t seq = m_next;
        m_next = uint8_t((m_next + 1) & 0x7F);
        FrameSpec s;
        s.seq = seq;
        s.connect = connect;
        s.reliable = connect || !data.empty();
        s.data = data;
        m_sent.emplace_back(seq, s);
        Send(seq);
        return seq;
    }

    void Send(uint8_t seq)
    {
        for (auto& s : m_sent) {
            if (s.first != seq)
                continue;
            s.second.ack = uint8_t(m_R | 0x80);
            m_write(Encode(s.second));
            return;
        }
    }

    void Acknowledged(uint8_t ack)
    {
        const bool isAck = ack & 0x80;
        const uint8_t n = ack & 0x7F;
        auto named = std::find_if(m_sent.begin(), m_sent.end(), [&](auto& s) { return s.first == n; });
        if (named == m_sent.end())
            return;
        if (isAck) {
            for (auto i = m_sent.begin(); i != std::next(named); ++i)
                m_replyAcknowledged |= i->first == m_replySeq;
            m_sent.erase(m_sent.begin(), std::next(named));
        } else {
            m_sent.erase(m_sent.begin(), named);
            for (const auto& s : m_sent)
                Send(s.first); // go back to the NAKed frame
        }
    }

    const Order m_order;
    const std::function<void(const Bytes&)> m_write;
    std::mutex m_m;
    uint8_t m_R = 0;
    uint8_t m_next = 1;
    uint8_t m_replySeq = 0;
    bool m_replyAcknowledged = false;
    WireFrame m_connect;  // crossing: the link object's connect frame, not yet taken
    bool m_crossed = false;
    int m_resets = 0;
    // Its window, as the link object's (W is not negotiated), and its
    // reset window: after it answered a reset, until kResetWindow passed.
    static constexpr uint8_t kWindow = 20;
    static constexpr std::chrono::milliseconds kResetWindow{10000};
    bool m_answered = false;
    std::chrono::steady_clock::time_point m_answeredAt;
    std::deque<std::pair<uint8_t, FrameSpec>> m_sent;
};

struct Case
{
    bool serial;
    Order order;
};

void PrintTo(const Case& c, std::ostream* os)
{
    *os << (c.serial ? "serial" : "UDP")
        << (c.order == Order::AckFirst ? ", ack first" : c.order == Order::ReplyFirst ? ", reply first" : ", crossing");
}

class WireHandshake : public ::testing::TestWithParam<Case>
{
protected:
    void SetUp() override
    {
        App();
        const Case c = GetParam();
        const std::string conn = m_wire.Open(c.serial);
        ASSERT_FALSE(conn.empty());
        m_peer = std::make_unique<WirePeer>(c.order, [this](const Bytes& f) { m_wire.Write(f); });
        m_peer->SendIdleFrame(); // into the void: nobody listens yet
        m_wire.Start([this](const WireFrame& f) { m_peer->Take(f); }, [this] { m_peer->Idle(); });
        m_link = std::make_unique<COlnkLink>(linkui::WindowPoster());
        ASSERT_TRUE(OpenAsTheProject(*m_link, conn, m_list0.handle));
    }
    void TearDown() override
    {
        m_link.reset();
        m_wire.Stop();
        PumpFor(20);
    }

    PeerWire m_wire;
    std::unique_ptr<WirePeer> m_peer;
    std::unique_ptr<COlnkLink> m_link;
    Target m_list0, m_target;
};

} // namespace

TEST_P(WireHandshake, EstablishedAtOnceAndARequestIsAnswered)
{
    // Sent at once, as a debug start does, before the handshake completes.
    auto* pl = static_cast<IOlnkPL*>(m_link->Query(OLNK_IID_PL));
    ASSERT_EQ(pl->GetStatus(m_target.handle, 7), 1);
    ASSERT_TRUE(Pump([&] { return m_link->IsEstablished(); }, 10000)) << "never established";
    ASSERT_TRUE(Pump([&] { return m_target.Count(WM_LINK_RESULT) == 1; }, 10000)) << "no reply";
    EXPECT_EQ(m_target.Of(WM_LINK_RESULT)[0].rec.status, 0);
    EXPECT_TRUE(m_link->IsEstablished());
    // Neither end reset the link again on the way, and no reset was reported.
    EXPECT_EQ(m_peer->Resets(), 0);
    EXPECT_EQ(m_list0.Count(WM_LINK_STATE), 0u);
}

INSTANTIATE_TEST_SUITE_P(Peers, WireHandshake,
                         ::testing::Values(Case{false, Order::AckFirst}, Case{false, Order::ReplyFirst},
                                           Case{false, Order::Crossing}, Case{true, Order::AckFirst},
                                           Case{true, Order::ReplyFirst}, Case{true, Order::Crossing}),
                         [](const auto& info) {
                             const Order o = info.param.order;
                             return std::string(info.param.serial ? "Serial" : "Udp") +
                                    (o == Order::AckFirst ? "AckFirst" : o == Order::ReplyFirst ? "ReplyFirst" : "Crossing");
                         });

namespace {

// A control system of which the test writes every frame, over UDP: it sees
// the link object's frames as they come and acknowledges, in every frame it
// writes, the last one it took in order (its connect frame included).
class ScriptedPeer : public ::testing::Test
{
protected:
    // The window of the link object's channel.
    virtual int Window() const { return 20; }

    void SetUp() override
    {
        App();
        const std::string conn = m_wire.Open(false, Window());
        ASSERT_FALSE(conn.empty());
        m_wire.Start([this](const WireFrame& f) {
            std::optional<FrameSpec> again;
            {
                std::lock_guard<std::mutex> g(m_m);
                m_trace.Frame("prog", f);
                if (f.connect() && f.seq == 1 && f.ack == 0x80)
                    m_R = 0; // the link object's reset
                if (f.seq == uint8_t((m_R + 1) & 0x7F)) {
                    m_R = f.seq;
                    if (f.data.empty() && !f.connect() && m_ackEmpty)
                        again = m_ackEmpty;
                }
                m_frames.push_back(f);
            }
            if (again)
                Write(*again);
        });
        m_link = std::make_unique<COlnkLink>(linkui::WindowPoster());
        ASSERT_TRUE(OpenAsTheProject(*m_link, conn, m_list0.handle));
        m_pl = static_cast<IOlnkPL*>(m_link->Query(OLNK_IID_PL));
    }
    void TearDown() override
    {
        m_link.reset();
        m_wire.Stop();
        PumpFor(20);
    }

    // The first frame of the link object since the last call that matches.
    bool Await(const std::function<bool(const WireFrame&)>& match, WireFrame* found = nullptr)
    {
        return Pump([&] {
            std::lock_guard<std::mutex> g(m_m);
            for (; m_seen < m_frames.size(); ++m_seen)
                if (match(m_frames[m_seen])) {
                    if (found)
                        *found = m_frames[m_seen++];
                    return true;
                }
            return false;
        });
    }
    // A frame of the peer; ack 0 means "acknowledge the last frame taken".
    void Write(FrameSpec s, uint8_t ack = 0)
    {
        {
            std::lock_guard<std::mutex> g(m_m);
            s.ack = ack ? ack : uint8_t(m_R | 0x80);
        }
        m_trace.Frame("peer", s.seq, s.ack, s.connect, s.data);
        m_wire.Write(Encode(s));
    }
    // The peer's own reset: it has taken nothing of the new count yet.
    void ForgetTaken()
    {
        std::lock_guard<std::mutex> g(m_m);
        m_R = 0;
    }
    static FrameSpec Frame(uint8_t seq, Bytes data = {}, bool connect = false)
    {
        FrameSpec s;
        s.seq = seq;
        s.connect = connect;
        s.reliable = connect || !data.empty();
        s.data = std::move(data);
        return s;
    }
    // The connect reply to the link object's connect message, status 0.
    static Bytes ConnectReply(const WireFrame& connect)
    {
        Bytes reply{0, 1, 0};
        reply.insert(reply.end(), connect.data.begin() + 3, connect.data.begin() + 7);
        reply.insert(reply.end(), {0, 4, 0, 1, 0});
        return reply;
    }
    static bool IsGetStatus(const WireFrame& f)
    {
        return f.data.size() >= 7 && f.data[0] == 1 && f.data[1] == 0 && f.data[2] == 0;
    }
    // The status record {10, flags 2, position 0, 0} for a GetStatus.
    static Bytes StatusReply(const WireFrame& request)
    {
        Bytes reply{1, 1, 0};
        reply.insert(reply.end(), request.data.begin() + 3, request.data.begin() + 7);
        reply.insert(reply.end(), {0, 10, 0, 2, 0, 0, 0, 0, 0, 0, 0});
        return reply;
    }

    PeerWire m_wire;
    std::mutex m_m;
    std::deque<WireFrame> m_frames;
    size_t m_seen = 0;
    uint8_t m_R = 0;
    // When set, an empty frame of the link object in order is acknowledged
    // at once by this frame of the peer's, sent again (a repeat for the
    // link object): with W 1 the link object's acknowledging empty frame
    // holds its only slot until then.
    std::optional<FrameSpec> m_ackEmpty;
    std::unique_ptr<COlnkLink> m_link;
    IOlnkPL* m_pl = nullptr;
    Target m_list0, m_target;
    WireTrace m_trace;
};

} // namespace

// A control system with a larger window than the link object's sends its
// connect reply again, numbered 1, after 25 frames (more than the link
// object's window of 20): the acknowledgement of its first copy was lost,
// or the network delivers a late copy.  It acknowledges the link object's
// connect frame, so it is no new reset: the request in flight is answered
// and no reset is reported.
TEST_F(ScriptedPeer, LateCopyOfTheConnectReplyEndsNothing)
{
    WireFrame connect, request;
    ASSERT_TRUE(Await([](const WireFrame& f) { return f.connect() && f.seq == 1; }, &connect));
    const FrameSpec reply = Frame(1, ConnectReply(connect), true);
    Write(reply);
    ASSERT_TRUE(Pump([&] { return m_link->IsEstablished(); })) << "never established";
    for (uint8_t s = 2; s <= 26; ++s)
        Write(Frame(s));
    ASSERT_EQ(m_pl->GetStatus(m_target.handle, 7), 1);
    ASSERT_TRUE(Await(IsGetStatus, &request)) << "no request";
    Write(reply, 0x81); // its first copy, late
    // Behind it, the answer.
    Write(Frame(27, StatusReply(request)));
    ASSERT_TRUE(Pump([&] { return m_target.Count(WM_LINK_RESULT) == 1; })) << "no result";
    EXPECT_EQ(m_target.Of(WM_LINK_RESULT)[0].rec.status, 0);
    EXPECT_EQ(m_list0.Count(WM_LINK_STATE), 0u);
    EXPECT_TRUE(m_link->IsEstablished());
}

// The control system answers the link object's reset with an empty frame
// (dropped: the link object waits for a connect frame) and its connect reply
// numbered 2, which acknowledges the request sent at once and is NAKed; then
// it resets itself.  Its connect frame numbered 1 comes in order, but the
// request it had taken is lost with its reset: the request ends at once with
// the reset's status, not after the job time-out, the reset is reported, the
// link object's answer carries number 1 of the new count, and the next
// request is answered.
TEST_F(ScriptedPeer, ResetAfterItAcknowledgedTheRequestEndsItAtOnce)
{
    ASSERT_EQ(m_pl->GetStatus(m_target.handle, 7), 1);
    WireFrame connect, request;
    ASSERT_TRUE(Await([](const WireFrame& f) { return f.connect() && f.seq == 1; }, &connect));
    ASSERT_TRUE(Await(IsGetStatus, &request)) << "no request";
    ASSERT_EQ(request.seq, 2);
    Write(Frame(1));
    Write(Frame(2, ConnectReply(connect), true), 0x82);
    ASSERT_TRUE(Await([](const WireFrame& f) { return f.ack == 0x01; })) << "no NAK";
    ForgetTaken();
    Write(Frame(1, {0, 0, 0, 0, 0, 0, 0, 4, 0, 1, 0}, true), 0x80); // its new reset
    WireFrame answer;
    ASSERT_TRUE(Await([](const WireFrame& f) { return f.connect() && f.data.size() >= 2 && f.data[1] == 1; },
                      &answer))
        << "no answer";
    EXPECT_EQ(answer.seq, 1);
    EXPECT_EQ(answer.ack, 0x81);
    Write(Frame(2)); // acknowledges the answer
    ASSERT_TRUE(Pump([&] { return m_target.Count(WM_LINK_RESULT) == 1; }, 15000))
        << "the request waits for the job time-out";
    EXPECT_EQ(m_target.Of(WM_LINK_RESULT)[0].rec.status, OLNK_STATUS_LINK_RESET);
    ASSERT_TRUE(Pump([&] { return m_list0.Count(WM_LINK_STATE) == 1; }));
    EXPECT_EQ(m_list0.Of(WM_LINK_STATE)[0].lParam, 0);
    // The link runs on the new numbers.
    ASSERT_EQ(m_pl->GetStatus(m_target.handle, 8), 1);
    ASSERT_TRUE(Await(IsGetStatus, &request)) << "no request after the reset";
    EXPECT_EQ(request.seq, 2);
    Write(Frame(3, StatusReply(request)));
    ASSERT_TRUE(Pump([&] { return m_target.Count(WM_LINK_RESULT) == 2; })) << "no answer after the reset";
    EXPECT_EQ(m_target.Of(WM_LINK_RESULT)[1].rec.status, 0);
}

namespace {

class ScriptedCrossing : public ScriptedPeer, public ::testing::WithParamInterface<int>
{
protected:
    int Window() const override { return GetParam(); }

    // Writes the control system's next frame in its count, which from now
    // on acknowledges the link object's empty frames.
    void WriteNext(const FrameSpec& s, uint8_t ack = 0)
    {
        {
            std::lock_guard<std::mutex> g(m_m);
            m_ackEmpty = s;
        }
        Write(s, ack);
    }
};

} // namespace

// Both ends reset at once.  The control system's own connect frame (number
// 1, its connect message, acknowledging nothing) is delayed, its copy that
// acknowledges the link object's connect frame is lost, and its reply in
// the connect frame numbered 2 comes first.  The link object's first
// request goes out; then the delayed frame comes (as it was, and
// acknowledging the request), and the frames behind it again.  Once the
// control system has answered the link object's connect message, that frame
// is the crossing it was, no new reset: the link object neither numbers its
// frames anew nor ends the request, which is answered, and the next request
// goes on in the same count.
TEST_P(ScriptedCrossing, TheFirstFrameComingLastRenumbersNothing)
{
    WireFrame connect, request, answer, next;
    ASSERT_TRUE(Await([](const WireFrame& f) { return f.connect() && f.seq == 1; }, &connect)) << m_trace.Text();
    const FrameSpec own = Frame(1, {0, 0, 0, 0, 0, 0, 0, 4, 0, 1, 0}, true);
    const FrameSpec reply = Frame(2, ConnectReply(connect), true);
    WriteNext(reply, 0x81);
    ASSERT_EQ(m_pl->GetStatus(m_target.handle, 7), 1) << m_trace.Text();
    ASSERT_TRUE(Await(IsGetStatus, &request)) << "no request" << m_trace.Text();
    const uint8_t requestAck = uint8_t(request.seq | 0x80);
    for (const uint8_t ack : {uint8_t(0x80), requestAck}) {
        // The delayed frame, then the control system's go-back resend.
        Write(own, ack);
        Write(own, requestAck);
        Write(reply, requestAck);
    }
    WriteNext(Frame(3, StatusReply(request)));
    ASSERT_TRUE(Pump([&] { return m_target.Count(WM_LINK_RESULT) == 1; }, 5000)) << "no result" << m_trace.Text();
    EXPECT_EQ(m_target.Of(WM_LINK_RESULT)[0].rec.status, 0) << m_trace.Text();
    // The crossing connect message is answered in the same count.
    ASSERT_TRUE(Await([](const WireFrame& f) { return f.connect() && IsConnectReply(f.data); }, &answer))
        << "no answer" << m_trace.Text();
    EXPECT_GT(answer.seq, request.seq) << "numbered anew" << m_trace.Text();
    WriteNext(Frame(4)); // acknowledges it
    ASSERT_EQ(m_pl->GetStatus(m_target.handle, 8), 1) << m_trace.Text();
    ASSERT_TRUE(Await(IsGetStatus, &next)) << "no second request" << m_trace.Text();
    EXPECT_GT(next.seq, answer.seq) << m_trace.Text();
    WriteNext(Frame(5, StatusReply(next)));
    ASSERT_TRUE(Pump([&] { return m_target.Count(WM_LINK_RESULT) == 2; }, 5000))
        << "no answer to the next request" << m_trace.Text();
    EXPECT_EQ(m_target.Of(WM_LINK_RESULT)[1].rec.status, 0) << m_trace.Text();
    EXPECT_EQ(m_list0.Count(WM_LINK_STATE), 0u) << m_trace.Text();
    EXPECT_TRUE(m_link->IsEstablished()) << m_trace.Text();
}

INSTANTIATE_TEST_SUITE_P(Windows, ScriptedCrossing, ::testing::Values(1, 20, 127),
                         [](const auto& info) { return "W" + std::to_string(info.param); });
