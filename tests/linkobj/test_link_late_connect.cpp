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
// good.  Over a wire that duplicates and reorders frames around the resets,
// no request hangs.
#include "link_test_env.h"
#include "wire_peer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <optional>
#include <thread>
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
template <class Frame> class FaultyWire
{
public:
    FaultyWire(int percent, uint32_t seed) : m_percent(percent), m_rng(seed) {}

    void Pass(const Frame& frame, const std::function<void(const Frame&)>& deliver)
    {
        std::optional<Frame> held;
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
    void Flush(const std::function<void(const Frame&)>& deliver)
    {
        std::optional<Frame> held;
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
    std::optional<Frame> m_held;
};

class RulesPeerLink : public ::testing::Test
{
protected:
    virtual bool Serial() const { return false; }
    // Of the frames in each direction, this percentage is duplicated and as
    // many are reordered (UDP only).
    virtual int FaultPercent() const { return 0; }
    virtual uint8_t Window() const { return 20; }
    // The control system acknowledges a reset by an empty connect frame
    // first, its connect reply numbered 2.
    virtual bool AckFirst() const { return false; }

    void SetUp() override
    {
        App();
        const bool serial = Serial();
        m_conn = m_wire.Open(serial, Window());
        ASSERT_FALSE(m_conn.empty());
        // Over a pseudo-terminal the frames pass as they are.
        const int percent = serial ? 0 : FaultPercent();
        m_toPeer = std::make_unique<FaultyWire<WireFrame>>(percent, 76);
        m_toLink = std::make_unique<FaultyWire<Bytes>>(percent, 67);
        m_peer = std::make_unique<RulesPeer>(Window(), [this](const Bytes& f) {
            m_toLink->Pass(f, [this](const Bytes& b) {
                m_naksToLink += b.size() > 4 && !(b[4] & 0x80);
                m_wire.Write(b);
            });
        }, m_trace);
        m_peer->AcknowledgeResetFirst(AckFirst());
        const auto take = [this](const WireFrame& f) {
            m_naksFromLink += !(f.ack & 0x80);
            if (m_deaf) {
                m_unheardConnects += f.connect();
                m_trace.Frame("prog", f, "lost on the wire");
                return;
            }
            m_peer->Take(f);
        };
        m_wire.Start([this, take](const WireFrame& f) { m_toPeer->Pass(f, take); },
                     [this, take] {
                         m_toPeer->Flush(take);
                         m_toLink->Flush([this](const Bytes& b) { m_wire.Write(b); });
                         m_peer->Idle();
                     });
        ASSERT_TRUE(OpenLink());
        m_pl = static_cast<IOlnkPL*>(m_link->Query(OLNK_IID_PL));
    }
    void TearDown() override
    {
        m_link.reset();
        m_wire.Stop();
        PumpFor(20);
    }

    // Opens the link object (the same one again after a close).
    bool OpenLink()
    {
        if (!m_link)
            m_link = std::make_unique<COlnkLink>(linkui::WindowPoster());
        return OpenAsTheProject(*m_link, m_conn, m_list0.handle) && Pump([&] { return m_link->IsEstablished(); });
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

    std::unique_ptr<FaultyWire<WireFrame>> m_toPeer;
    std::unique_ptr<FaultyWire<Bytes>> m_toLink;
    PeerWire m_wire;
    std::string m_conn;
    WireTrace m_trace;
    std::unique_ptr<RulesPeer> m_peer;
    std::unique_ptr<COlnkLink> m_link;
    IOlnkPL* m_pl = nullptr;
    Target m_list0, m_target;
    size_t m_sent = 0;
    // While set, the link object's frames never reach the control system.
    std::atomic<bool> m_deaf{false};
    std::atomic<int> m_unheardConnects{0};
    // Frames asking again (a NAK in their acknowledgement byte) that reached
    // the link object and the control system.
    std::atomic<int> m_naksToLink{0}, m_naksFromLink{0};
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

// ---- late connect frames of both kinds at the running ends ------------------------------

namespace {

struct LateCase
{
    bool serial;
    uint8_t window;
};

class LateConnectFrames : public RulesPeerLink, public ::testing::WithParamInterface<LateCase>
{
protected:
    bool Serial() const override { return GetParam().serial; }
    uint8_t Window() const override { return GetParam().window; }
    bool AckFirst() const override { return true; }

    struct Calls
    {
        int accepted = 0;
        int answered = 0;    // by the control system (status 0)
        int refused = 0;     // calls that returned 0
        int refusedLate = 0; // of them, more than 2 s after the start
        std::chrono::milliseconds longest{0}; // an accepted call's wait for its result
        // The control system passed a reset of the link object as a repeat
        // in its state 3 (RulesPeer::PassedAResetAsRepeat).
        bool stray = false;
    };

    // Requests one after the other for ms, or until more() fails: every
    // call that is accepted must end with exactly one result, a refused one
    // with none.
    Calls RequestsFor(int ms, std::uintptr_t& param, const std::function<bool()>& more = {})
    {
        using Clock = std::chrono::steady_clock;
        const auto start = Clock::now();
        const size_t before = m_target.Count(WM_LINK_RESULT);
        Calls calls;
        std::vector<std::uintptr_t> accepted, refused;
        bool waiting = false;
        Clock::time_point issued;
        const auto ended = [&] {
            const auto got = m_target.Of(WM_LINK_RESULT);
            if (waiting && got.size() > before && got.back().rec.parameter == param) {
                waiting = false;
                calls.longest = std::max(calls.longest,
                                         std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - issued));
            }
            return !waiting;
        };
        Pump([&] {
            if (!ended())
                return false;
            if (more && !more())
                return true;
            issued = Clock::now();
            if (m_pl->GetStatus(m_target.handle, ++param) == 1) {
                accepted.push_back(param);
                waiting = true;
            } else {
                refused.push_back(param);
                if (Clock::now() - start > std::chrono::seconds(2))
                    ++calls.refusedLate;
            }
            return false;
        }, ms);
        if (!Pump(ended, 3000))
            calls.longest = std::max(calls.longest,
                                     std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - issued));
        const auto got = m_target.Of(WM_LINK_RESULT);
        calls.stray = m_peer->PassedAResetAsRepeat();
        for (std::uintptr_t p : accepted) {
            int results = 0;
            for (size_t i = before; i < got.size(); ++i)
                if (got[i].rec.parameter == p) {
                    ++results;
                    calls.answered += got[i].rec.status == 0;
                }
            // A request sent across such a reset may wait until the control
            // system's state 3 ends; never for two results.
            if (calls.stray)
                EXPECT_LE(results, 1) << "request " << p << m_trace.Text();
            else
                EXPECT_EQ(results, 1) << "request " << p << m_trace.Text();
        }
        // A refused call posts nothing.
        for (std::uintptr_t p : refused)
            for (size_t i = before; i < got.size(); ++i)
                EXPECT_NE(got[i].rec.parameter, p) << "refused request " << p << " got a result" << m_trace.Text();
        calls.accepted = int(accepted.size());
        calls.refused = int(refused.size());
        return calls;
    }
};

std::string LateName(const ::testing::TestParamInfo<LateCase>& info)
{
    return std::string(info.param.serial ? "Serial" : "Udp") + "W" + std::to_string(info.param.window);
}

} // namespace

// The control system takes a late copy of the link object's connect frame
// (a delayed datagram) for its reset, acknowledges it with an empty connect
// frame numbered 1 and answers with its connect reply numbered 2.  The
// link object's channel, running, took that frame for the peer's reset and
// waited in state 1 for a connect frame that never came: every request was
// refused until the program was restarted.  Now it resets on its own and
// the control system answers: requests are answered within 2 s, none is
// refused after, and each has one result.  Twice in a row with W 1.
TEST_P(LateConnectFrames, ACopyOfOurConnectFrameAtTheRunningControlSystem)
{
    ASSERT_TRUE(DriveToRunning()) << "the link never ran" << m_trace.Text();
    ASSERT_TRUE(Pump([&] { return m_target.Count(WM_LINK_RESULT) == m_sent; })) << m_trace.Text();
    const WireFrame ours = m_peer->FirstConnectFrame();
    ASSERT_TRUE(IsConnectMessage(ours.data)) << m_trace.Text();
    std::uintptr_t param = 2000;
    for (int copy = 0; copy < 2; ++copy) {
        m_trace.Note("late copy of the link object's connect frame");
        m_peer->Take(ours);
        (void)m_peer->PassedAResetAsRepeat(); // the copy itself, met in state 3 still
        Calls calls = RequestsFor(3000, param);
        if (calls.stray && calls.answered == 0) {
            // A frame the link object built before the control system's
            // reset (it sends without pause) can acknowledge the control
            // system's new answer by its old numbers: the answer never
            // reaches it, it resets again, and the control system passes
            // that reset as a repeat until its state 3 ends.  No end can
            // tell; a busy machine that holds such a frame back makes it
            // likely.
            m_trace.Note("the control system passed a reset as a repeat in its state 3");
            calls = RequestsFor(OLNK_RESET_WINDOW_MS + 3000, param, [&] {
                const auto got = m_target.Of(WM_LINK_RESULT);
                return got.empty() || got.back().rec.status != 0;
            });
            calls.refusedLate = 0; // refused while the control system passes the reset
        }
        EXPECT_GE(calls.answered, 1) << "copy " << copy << ": no request answered" << m_trace.Text();
        EXPECT_EQ(calls.refusedLate, 0) << "copy " << copy << ": requests refused after 2 s" << m_trace.Text();
        EXPECT_NE(m_peer->State(), 1) << m_trace.Text();
        EXPECT_TRUE(m_link->IsEstablished()) << m_trace.Text();
    }
    for (const Got& g : m_target.Of(WM_LINK_RESULT))
        EXPECT_NE(g.rec.status, OLNK_STATUS_NO_ANSWER) << m_trace.Text();
}

// The control system's connect reply numbered 2 (behind its empty connect
// frame) arrives again late while the link runs: the channel, reset by it,
// found the reply out of order in state 1 and the session never saw it.
TEST_P(LateConnectFrames, ALateReplyNumberedTwoAtTheRunningLink)
{
    const FrameSpec reply = m_peer->LastConnectReply();
    ASSERT_TRUE(IsConnectReply(reply.data)) << m_trace.Text();
    ASSERT_EQ(reply.seq, 2) << m_trace.Text();
    ASSERT_TRUE(DriveToRunning()) << "the link never ran" << m_trace.Text();
    ASSERT_TRUE(Pump([&] { return m_target.Count(WM_LINK_RESULT) == m_sent; })) << m_trace.Text();
    m_peer->Inject(reply, "late copy of the connect reply numbered 2");
    std::uintptr_t param = 3000;
    const Calls calls = RequestsFor(3000, param);
    EXPECT_GE(calls.answered, 1) << "no request answered" << m_trace.Text();
    EXPECT_EQ(calls.refusedLate, 0) << "requests refused after 2 s" << m_trace.Text();
    EXPECT_NE(m_peer->State(), 1) << m_trace.Text();
    for (const Got& g : m_target.Of(WM_LINK_RESULT))
        EXPECT_NE(g.rec.status, OLNK_STATUS_NO_ANSWER) << m_trace.Text();
}

// The control system resets the link (its connect message numbered 1,
// acknowledging nothing), the link object answers and the link runs again,
// both ends numbering from 1 in the ten seconds of state 3.  About 2 s
// after the reset a copy of that connect frame, byte for byte, arrives (a
// datagram held in the network).  The link object's channel took it for a
// new reset and answered; the control system, running, took the answer for
// a frame out of order, and both ends asked for each other's missing frame,
// thousands of frames a second, until the stall rule reset the link: the
// request in flight ended with a reset and the next ones waited for
// seconds.  Now the copy ends nothing: from the copy on, fewer than 1,000
// frames ask again, and every request is answered within 2 s, none
// refused, each with one result.
TEST_P(LateConnectFrames, ALateCopyOfThePeersResetWhileTheLinkRunsAgain)
{
    using Clock = std::chrono::steady_clock;
    // The link runs: requests are answered until the control system has
    // sent more frames than a window holds, so that a connect frame
    // numbered 1 is its reset in every link state.
    std::uintptr_t param = 4000;
    RequestsFor(10000, param, [&] { return m_peer->BuiltSinceReset() <= Window() + 1; });
    ASSERT_GT(m_peer->BuiltSinceReset(), Window() + 1) << m_trace.Text();
    size_t length = 0;
    const uint8_t* message = OxfrConnectData(&length);
    m_trace.Note("the control system resets the link");
    const auto resetAt = Clock::now();
    const FrameSpec connect = m_peer->ResetNow(Bytes(message, message + length));
    ASSERT_TRUE(Pump([&] { return m_peer->State() != 2; })) << "the reset was not answered" << m_trace.Text();
    // Requests answered until the control system has sent more frames than
    // a window holds again (the copy is then neither in order nor a
    // repeat), and the link runs for 2 s after the reset.
    const size_t first = m_target.Count(WM_LINK_RESULT);
    const auto enough = size_t(Window()) + 4;
    const Calls before = RequestsFor(10000, param, [&] {
        const auto got = m_target.Of(WM_LINK_RESULT);
        return size_t(std::count_if(got.begin() + std::ptrdiff_t(first), got.end(),
                                    [](const Got& g) { return g.rec.status == 0; })) < enough;
    });
    ASSERT_GE(size_t(before.answered), enough) << m_trace.Text();
    Pump([&] { return Clock::now() - resetAt >= std::chrono::seconds(2); }, 2000);
    // Still within the link object's ten seconds of state 3: the control
    // system's frames have not reached the number 0.
    const int built = m_peer->BuiltSinceReset();
    ASSERT_LT(built, 120) << m_trace.Text();
    ASSERT_LT(Clock::now() - resetAt, std::chrono::seconds(8)) << m_trace.Text();

    const int naks = m_naksToLink + m_naksFromLink;
    m_peer->Inject(connect, "late copy of the control system's connect frame");
    const Calls after = RequestsFor(3000, param);
    const int asked = m_naksToLink + m_naksFromLink - naks;
    const std::string figures = "\nframes asking again since the copy: " + std::to_string(asked) +
                                ", longest request: " + std::to_string(after.longest.count()) + " ms";
    m_trace.Note(figures);
    EXPECT_LT(asked, 1000) << figures << m_trace.Text();
    EXPECT_LT(after.longest, std::chrono::seconds(2)) << figures << m_trace.Text();
    EXPECT_GE(after.accepted, 1) << m_trace.Text();
    EXPECT_EQ(after.answered, after.accepted) << "requests not answered" << figures << m_trace.Text();
    EXPECT_EQ(after.refused, 0) << "requests refused" << figures << m_trace.Text();
    EXPECT_NE(m_peer->State(), 1) << m_trace.Text();
    EXPECT_TRUE(m_link->IsEstablished()) << m_trace.Text();
}

INSTANTIATE_TEST_SUITE_P(Frames, LateConnectFrames,
                         ::testing::Values(LateCase{false, 20}, LateCase{true, 20}, LateCase{false, 1}),
                         LateName);

namespace {

class OneResultPerRequest : public RulesPeerLink
{
protected:
    uint8_t Window() const override { return 1; }
    bool AckFirst() const override { return true; }
};

} // namespace

// W 1: a request fills the window and the control system hears nothing
// more, so each further request waits in its call for the window slot
// until it gives up, and is refused.  The channel's stall rule resets it
// on its own: the reset ended the waiting request with -123, and the call
// then gave up on the slot and refused it as well, two outcomes of one
// request.  Each call ends with exactly one: accepted with one result, or
// refused (0) with none.
TEST_F(OneResultPerRequest, ARequestWaitingForTheWindowWhileTheChannelResets)
{
    // The control system's ten seconds in its state 3 after a reset pass
    // ten times as fast: the test takes seconds, not tens of them.
    const auto start = std::chrono::steady_clock::now();
    m_peer->SetClock([start] { return start + (std::chrono::steady_clock::now() - start) * 10; });
    m_trace.Note("frames of the link object lost from here");
    m_deaf = true;
    std::uintptr_t param = 5001;
    std::vector<std::pair<std::uintptr_t, int>> calls{{param, m_pl->GetStatus(m_target.handle, param)}};
    // Calls one after the other from a second thread until one began after
    // the channel's own reset (its connect frame on the wire).
    const int resets = m_unheardConnects;
    std::atomic<bool> stop{false};
    std::thread caller([&] {
        while (!stop) {
            const bool afterReset = m_unheardConnects > resets;
            ++param;
            calls.push_back({param, m_pl->GetStatus(m_target.handle, param)});
            if (afterReset)
                stop = true;
        }
    });
    const bool reset = Pump([&] { return stop.load(); }, 15000);
    stop = true;
    caller.join();
    m_deaf = false;
    m_trace.Note("the calls ended");
    ASSERT_TRUE(reset) << "the channel never reset on its own" << m_trace.Text();
    // A request answered once the link runs again: whatever the reset
    // posted came before its result.  One refused or ended by a reset is
    // made again with the next number.
    const std::uintptr_t markers = param + 1;
    bool markerTaken = false;
    ASSERT_TRUE(Pump([&] {
        if (!markerTaken)
            markerTaken = m_pl->GetStatus(m_target.handle, ++param) == 1;
        for (const Got& g : m_target.Of(WM_LINK_RESULT))
            if (g.rec.parameter >= markers && g.rec.parameter == param) {
                if (g.rec.status == 0)
                    return true;
                markerTaken = false;
            }
        return false;
    }, 10000)) << "no request answered after the reset" << m_trace.Text();
    const auto got = m_target.Of(WM_LINK_RESULT);
    for (const auto& [p, taken] : calls) {
        int results = 0;
        std::string statuses;
        for (const Got& g : got)
            if (g.rec.parameter == p) {
                ++results;
                statuses += " " + std::to_string(g.rec.status);
            }
        EXPECT_EQ(results, taken == 1 ? 1 : 0)
            << "request " << p << " returned " << taken << ", results:" << statuses << m_trace.Text();
    }
}
