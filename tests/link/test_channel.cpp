// Channel behaviour through the pump harness: window, acknowledgements,
// NAKs, ring, resets, wrap, statistics and the numbered decisions of
// docs/link-protocol.md.

#include "link/olnk/olnk_internal.h"
#include "link_test_util.h"
#include "tests/support/link_pump/link_pump.h"

#include "platform/sys/LastError.h"

#include <gtest/gtest.h>

using namespace linktest;
using linkpump::Pump;
using linkpump::Side;

namespace {

struct Guard
{
    OlnkChannel ch;
    explicit Guard(OlnkChannel c) : ch(c) {}
    ~Guard() { OlnkDestroyChannel(ch); }
    operator OlnkChannel() const { return ch; }
};

uint8_t SeqOf(const Bytes& f) { return f.size() > 7 ? f[7] : 0xFF; }

// A frame from the peer that carries only an acknowledgement byte.
Bytes PeerAck(uint8_t ack, uint8_t seq = 1)
{
    FrameSpec s;
    s.ack = ack;
    s.seq = seq;
    s.reliable = false;
    return Encode(s);
}

void SendN(OlnkChannel ch, int n)
{
    for (int i = 0; i < n; ++i) {
        const uint8_t b = static_cast<uint8_t>(i);
        ASSERT_GE(OlnkSend(ch, 1, &b, 1, 0), 0);
    }
}

} // namespace

TEST(LinkChannel, TwoFreshPeersConnectAndExchange)
{
    linkpump::Config cfg;
    cfg.connectA = Str("hello from A");
    Pump p(cfg);
    EXPECT_EQ(p.linkState(Side::A), OLNK_STATE_RESET_BY_US);
    ASSERT_TRUE(p.runUntil([&] { return p.connected(); }, 50));
    EXPECT_EQ(p.linkState(Side::A), OLNK_STATE_RESET_DONE);
    EXPECT_EQ(p.linkState(Side::B), OLNK_STATE_RESET_DONE);
    p.send(Side::A, Str("one"));
    p.send(Side::B, Str("two"));
    std::vector<Bytes> atA, atB;
    ASSERT_TRUE(p.runUntil(
        [&] {
            for (auto& m : p.received(Side::A))
                atA.push_back(m);
            for (auto& m : p.received(Side::B))
                atB.push_back(m);
            return atA.size() == 1 && atB.size() == 2;
        },
        50));
    EXPECT_EQ(atB[0], Str("hello from A")); // the connect message
    EXPECT_EQ(atB[1], Str("one"));
    EXPECT_EQ(atA[0], Str("two"));
}

TEST(LinkChannel, PassivePeerAnswersTheReset)
{
    linkpump::Config cfg;
    cfg.passiveB = true;
    cfg.connectA = Str("CONN");
    cfg.autoConnect = false;
    Pump p(cfg);
    EXPECT_EQ(p.linkState(Side::B), OLNK_STATE_RUNNING);
    ASSERT_TRUE(p.runUntil([&] { return p.linkState(Side::B) == OLNK_STATE_RESET_BY_PEER; }, 5));
    // In state 1 sending fails until the upper layer connects.
    const uint8_t x = 1;
    sys::SetLastError(0);
    EXPECT_EQ(OlnkSend(p.b(), 1, &x, 1, 0), -1);
    EXPECT_EQ(sys::GetLastError(), OLNK_E_RESET);
    OlnkSendRequest req;
    req.length = 1;
    req.data = &x;
    EXPECT_EQ(OlnkSendAsync(p.b(), &req, 0), 0);
    EXPECT_EQ(sys::GetLastError(), OLNK_E_RESET);
    EXPECT_EQ(p.received(Side::B), std::vector<Bytes>{Str("CONN")});
    ASSERT_EQ(OlnkConnect(p.b(), 0, nullptr), 1);
    EXPECT_EQ(p.linkState(Side::B), OLNK_STATE_RESET_DONE);
    ASSERT_TRUE(p.runUntil([&] { return p.linkState(Side::A) == OLNK_STATE_RESET_DONE; }, 10));
    // A second connect while our own reset runs fails.
    Guard fresh(OlnkCreateChannel(4, {}));
    EXPECT_EQ(OlnkConnect(fresh, 0, nullptr), 0);
    EXPECT_EQ(sys::GetLastError(), OLNK_E_SECOND_RESET);
}

TEST(LinkChannel, ReceiveTellsConnectFramesFromOrdinaryOnes)
{
    linkpump::Config cfg;
    cfg.passiveB = true;
    cfg.connectA = Str("CONN");
    cfg.autoConnect = false;
    Pump p(cfg);
    uint8_t buf[16];
    uint16_t len = 0;
    bool connect = false;
    auto take = [&](OlnkChannel ch) { return OlnkReceiveEx(ch, &len, sizeof buf, buf, 0, &connect) == 1; };
    ASSERT_TRUE(p.runUntil([&] { return take(p.b()); }, 5));
    EXPECT_EQ(Bytes(buf, buf + len), Str("CONN"));
    EXPECT_TRUE(connect);
    ASSERT_EQ(OlnkConnect(p.b(), 3, "ANS"), 1);
    ASSERT_TRUE(p.runUntil([&] { return take(p.a()); }, 10));
    EXPECT_EQ(Bytes(buf, buf + len), Str("ANS"));
    EXPECT_TRUE(connect);
    // Every later message came in an ordinary frame, even one that looks
    // like the connect message.
    p.send(Side::A, Str("CONN"));
    ASSERT_TRUE(p.runUntil([&] { return take(p.b()); }, 10));
    EXPECT_EQ(Bytes(buf, buf + len), Str("CONN"));
    EXPECT_FALSE(connect);
    // The plain receive and a null flag pointer still work.
    p.send(Side::A, Str("x"));
    ASSERT_TRUE(p.runUntil([&] { return OlnkReceiveEx(p.b(), &len, sizeof buf, buf, 0, nullptr) == 1; }, 10));
    EXPECT_EQ(len, 1);
}

TEST(LinkChannel, ConnectInStateZeroFailsWaitingRequestsAndDropsFrames)
{
    linkpump::Config cfg;
    cfg.passiveA = cfg.passiveB = true;
    cfg.autoConnect = false;
    Pump p(cfg);
    uint8_t buf[8];
    sys::Event ev(true, false);
    OlnkReceiveRequest rx;
    rx.capacity = sizeof buf;
    rx.buffer = buf;
    rx.event = &ev;
    EXPECT_EQ(OlnkReceiveAsync(p.b(), &rx), 0);
    EXPECT_EQ(sys::GetLastError(), OLNK_E_PENDING);
    OlnkReceiveRequest second = rx;
    EXPECT_EQ(OlnkReceiveAsync(p.b(), &second), 0);
    EXPECT_EQ(sys::GetLastError(), OLNK_E_TOO_MANY_ASYNC);

    // (A connect frame with a message for the session: an empty one would
    // give it nothing to answer, and the channel would reset on its own.)
    const Bytes hello = Str("hello");
    ASSERT_EQ(OlnkConnect(p.a(), uint16_t(hello.size()), hello.data()), 1);
    p.transfer(Side::A, OlnkFrameMode::None);
    EXPECT_EQ(p.linkState(Side::B), OLNK_STATE_RESET_BY_PEER);
    EXPECT_TRUE(ev.IsSet());
    EXPECT_EQ(rx.status, OLNK_STATUS_RESET);
    // Every other frame is dropped until OlnkConnect.
    FrameSpec s;
    s.seq = 2;
    s.data = Str("dropped");
    Feed(p.b(), Encode(s));
    EXPECT_EQ(Drain(p.b()), std::vector<Bytes>{hello}); // the connect frame's only
    ASSERT_EQ(OlnkConnect(p.b(), 0, nullptr), 1);
    ASSERT_TRUE(p.runUntil([&] { return p.connected(); }, 10));
}

TEST(LinkChannel, WindowOfOneServesTheNormalQueueOnlyWhenEmpty)
{
    Guard ch(Passive(1));
    const uint8_t x = 7;
    OlnkSendRequest r1, r2;
    r1.length = r2.length = 1;
    r1.data = r2.data = &x;
    EXPECT_EQ(OlnkSendAsync(ch, &r1, 0), 0); // W - 1 = 0 frames: queued
    EXPECT_EQ(sys::GetLastError(), OLNK_E_PENDING);
    EXPECT_EQ(OlnkSendAsync(ch, &r2, 0), 0);
    Bytes f = Next(ch);
    EXPECT_EQ(SeqOf(f), 1);
    EXPECT_EQ(r1.result, 1);
    EXPECT_TRUE(Next(ch).empty()); // r2 waits for the empty window
    Feed(ch, PeerAck(0x81));
    EXPECT_EQ(SeqOf(Next(ch)), 2);
    EXPECT_EQ(r2.result, 2);
}

TEST(LinkChannel, WindowOf127TakesEveryOtherNumberAsARepeat)
{
    for (uint8_t w : {uint8_t(20), uint8_t(127)}) {
        Guard ch(Passive(w));
        FrameSpec s;
        s.seq = 30; // R is 0: 30 is neither R + 1 nor within W behind R for W = 20
        s.data = Str("late");
        Feed(ch, Encode(s));
        const OlnkStatistics st = Stats(ch);
        EXPECT_EQ(st.HeaderErr, w == 127 ? 0u : 1u);
        EXPECT_EQ(OlnkTakeAckNeeded(ch), w != 127);
        EXPECT_TRUE(Drain(ch).empty());
        s.seq = 1;
        s.data = Str("in order");
        Feed(ch, Encode(s));
        EXPECT_EQ(Drain(ch), std::vector<Bytes>{Str("in order")});
    }
}

TEST(LinkChannel, NakFreesEarlierFramesAndResendsFromIt)
{
    Guard ch(Passive());
    SendN(ch, 5);
    for (int i = 1; i <= 5; ++i)
        EXPECT_EQ(SeqOf(Next(ch)), i);
    Feed(ch, PeerAck(0x03)); // NAK 3: 1 and 2 arrived
    EXPECT_EQ(Stats(ch).NAKs, 1u);
    EXPECT_EQ(ch.ch->count, 3);
    EXPECT_EQ(SeqOf(Next(ch)), 3);
    EXPECT_EQ(SeqOf(Next(ch)), 4);
    Feed(ch, PeerAck(0x03, 2)); // NAK of the first frame: everything again
    EXPECT_EQ(ch.ch->count, 3);
    EXPECT_EQ(SeqOf(Next(ch)), 3);
    // A NAK with an empty window changes nothing.
    Guard empty(Passive());
    Feed(empty, PeerAck(0x05));
    EXPECT_EQ(Stats(empty).NAKs, 1u);
    EXPECT_TRUE(Next(empty).empty());
}

TEST(LinkChannel, BadDataCheckNaksReliableAndDropsUnreliable)
{
    Guard ch(Passive());
    FrameSpec s;
    s.data = Str("abc");
    s.badDataCheck = true;
    Feed(ch, Encode(s));
    EXPECT_TRUE(OlnkTakeAckNeeded(ch));
    Bytes f = Next(ch, OlnkFrameMode::Idle);
    EXPECT_EQ(f[4], 0x01); // NAK 1: asked for again
    s.badDataCheck = false;
    Feed(ch, Encode(s));
    EXPECT_EQ(Drain(ch), std::vector<Bytes>{Str("abc")});

    s.seq = 2;
    s.reliable = false;
    s.badDataCheck = true;
    OlnkTakeAckNeeded(ch);
    Feed(ch, Encode(s));
    EXPECT_FALSE(OlnkTakeAckNeeded(ch));
    EXPECT_EQ(Next(ch, OlnkFrameMode::Idle)[4], 0x82); // acknowledged, data lost
    EXPECT_TRUE(Drain(ch).empty());
    EXPECT_EQ(Stats(ch).DataErr, 2u);
}

TEST(LinkChannel, FullRingNaksAndDeliversLater)
{
    linkpump::Config cfg;
    Pump p(cfg);
    ASSERT_TRUE(p.runUntil([&] { return p.connected(); }, 50));
    for (int i = 0; i < 15; ++i)
        p.send(Side::A, Bytes{uint8_t(i)});
    for (int i = 0; i < 60; ++i)
        p.turn();
    EXPECT_EQ(p.b()->ringCount, OLNK_RING_SIZE);
    std::vector<Bytes> got = p.received(Side::B);
    ASSERT_TRUE(p.runUntil(
        [&] {
            for (auto& m : p.received(Side::B))
                got.push_back(m);
            return got.size() == 15;
        },
        200));
    for (int i = 0; i < 15; ++i)
        EXPECT_EQ(got[i], Bytes{uint8_t(i)});
}

TEST(LinkChannel, SequenceWrapsAndFrameZeroEndsState3)
{
    Pump p;
    ASSERT_TRUE(p.runUntil([&] { return p.connected(); }, 50));
    for (int i = 0; i < 300; ++i)
        p.send(Side::A, Bytes{uint8_t(i), uint8_t(i >> 8)});
    std::vector<Bytes> got;
    bool sawZero = false;
    p.onFrame = [&](Side from, const Bytes& f) { sawZero |= from == Side::A && f[7] == 0; };
    ASSERT_TRUE(p.runUntil(
        [&] {
            for (auto& m : p.received(Side::B))
                got.push_back(m);
            return got.size() == 300;
        },
        2000));
    EXPECT_TRUE(sawZero);
    EXPECT_LT(p.now() - 1000, OLNK_RESET_WINDOW_MS); // not the time-out
    EXPECT_EQ(p.linkState(Side::B), OLNK_STATE_RUNNING);
    for (int i = 0; i < 300; ++i)
        EXPECT_EQ(got[i], (Bytes{uint8_t(i), uint8_t(i >> 8)}));
}

TEST(LinkChannel, State3EndsAfterTheResetWindow)
{
    Pump p;
    ASSERT_TRUE(p.runUntil([&] { return p.connected(); }, 50));
    p.faults(Side::A).hold = p.faults(Side::B).hold = true;
    const uint32_t entered = p.a()->stateTick;
    p.advance(entered + OLNK_RESET_WINDOW_MS - p.now());
    OlnkCheckConnectTimeout(p.a());
    EXPECT_EQ(p.linkState(Side::A), OLNK_STATE_RESET_DONE);
    p.advance(1);
    OlnkCheckConnectTimeout(p.a());
    EXPECT_EQ(p.linkState(Side::A), OLNK_STATE_RUNNING);
}

TEST(LinkChannel, MessageCutToCapacityReportsFullLength)
{
    Guard ch(Passive());
    FrameSpec s;
    s.data = Bytes(100, 0x42);
    Feed(ch, Encode(s));
    uint8_t buf[10];
    uint16_t len = 0;
    ASSERT_EQ(OlnkReceive(ch, &len, sizeof buf, buf, 0), 1);
    EXPECT_EQ(len, 100);
    EXPECT_EQ(buf[9], 0x42);
    // The same through a waiting asynchronous receive.
    OlnkReceiveRequest r;
    r.capacity = 5;
    r.buffer = buf;
    EXPECT_EQ(OlnkReceiveAsync(ch, &r), 0);
    s.seq = 2;
    Feed(ch, Encode(s));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.length, 100);
    // Decision 8: both hand-overs count.
    const OlnkStatistics st = Stats(ch);
    EXPECT_EQ(st.GetPackets, 2u);
    EXPECT_EQ(st.GetBytes, 15u);
}

// Decision 3: an acknowledgement for frames never transmitted is ignored.
TEST(LinkChannel, ForgedAckDoesNotFreeUnsentFrames)
{
    Guard ch(Passive());
    SendN(ch, 5);
    EXPECT_EQ(SeqOf(Next(ch)), 1);
    EXPECT_EQ(SeqOf(Next(ch)), 2);
    Feed(ch, PeerAck(0x85)); // ACK 5: 3 to 5 were never sent
    EXPECT_EQ(ch.ch->count, 5);
    Feed(ch, PeerAck(0x04, 2)); // NAK 4: beyond the frame after the sent ones
    EXPECT_EQ(ch.ch->count, 5);
    Feed(ch, PeerAck(0x82, 3)); // ACK 2: counts
    EXPECT_EQ(ch.ch->count, 3);
    EXPECT_EQ(SeqOf(Next(ch)), 3);
}

// Decision 4: an ACK alone never causes a retransmission; Ack mode carries
// the acknowledgement on the first frame without going back.
TEST(LinkChannel, AckDoesNotRewindTheTransmitPosition)
{
    Guard ch(Passive());
    SendN(ch, 3);
    for (int i = 1; i <= 3; ++i)
        EXPECT_EQ(SeqOf(Next(ch)), i);
    Feed(ch, PeerAck(0x81));
    EXPECT_TRUE(Next(ch).empty());
    EXPECT_EQ(SeqOf(Next(ch, OlnkFrameMode::Ack)), 2); // carrier
    EXPECT_TRUE(Next(ch).empty());
    EXPECT_EQ(SeqOf(Next(ch, OlnkFrameMode::Idle)), 2); // go back N
    EXPECT_EQ(SeqOf(Next(ch)), 3);
    // Ack mode with an empty window builds an empty frame.
    Feed(ch, PeerAck(0x83, 2));
    const Bytes e = Next(ch, OlnkFrameMode::Ack);
    EXPECT_EQ(e.size(), 13u);
    EXPECT_EQ(SeqOf(e), 4);
}

// Decision 5: a peer reset that meets a full ring still completes.
TEST(LinkChannel, PeerResetWithAFullRingCompletes)
{
    linkpump::Config cfg;
    cfg.passiveA = cfg.passiveB = true;
    cfg.autoConnect = false;
    Pump p(cfg);
    for (int i = 0; i < 10; ++i)
        p.send(Side::A, Bytes{uint8_t(i)});
    for (int i = 0; i < 30; ++i)
        p.turn();
    ASSERT_EQ(p.b()->ringCount, OLNK_RING_SIZE);
    ASSERT_EQ(OlnkConnect(p.a(), 4, "CONN"), 1);
    for (int i = 0; i < 10; ++i)
        p.turn();
    EXPECT_EQ(p.linkState(Side::B), OLNK_STATE_RESET_BY_PEER);
    std::vector<Bytes> got = p.received(Side::B);
    EXPECT_EQ(got.size(), 10u);
    ASSERT_TRUE(p.runUntil(
        [&] {
            for (auto& m : p.received(Side::B))
                got.push_back(m);
            return got.size() == 11;
        },
        20));
    EXPECT_EQ(got.back(), Str("CONN"));
    ASSERT_EQ(OlnkConnect(p.b(), 0, nullptr), 1);
    ASSERT_TRUE(p.runUntil([&] { return p.connected(); }, 10));
}

// Decision 6: this side in state 3 starts a new reset while the peer runs
// in state 0; the reset must come through with sequence number 1.
TEST(LinkChannel, ResetFromState3ReachesARunningPeer)
{
    linkpump::Config cfg;
    cfg.passiveA = true;
    cfg.connectB = Str("first");
    Pump p(cfg);
    // B resets, A answers: A built its connect frame last.
    ASSERT_TRUE(p.runUntil([&] { return p.connected(); }, 20));
    EXPECT_EQ(p.received(Side::A), std::vector<Bytes>{Str("first")});
    // B's state 3 ends first (the peer's clock runs its own course).
    p.faults(Side::A).hold = p.faults(Side::B).hold = true;
    p.advance(OLNK_RESET_WINDOW_MS + 1);
    OlnkCheckConnectTimeout(p.b());
    p.faults(Side::A).hold = p.faults(Side::B).hold = false;
    ASSERT_EQ(p.linkState(Side::B), OLNK_STATE_RUNNING);
    ASSERT_EQ(p.linkState(Side::A), OLNK_STATE_RESET_DONE);
    ASSERT_EQ(OlnkConnect(p.a(), 6, "second"), 1);
    EXPECT_EQ(p.linkState(Side::A), OLNK_STATE_RESET_BY_US);
    std::vector<Bytes> got;
    ASSERT_TRUE(p.runUntil(
        [&] {
            for (auto& m : p.received(Side::B))
                got.push_back(m);
            return !got.empty() && got.back() == Str("second") && p.connected();
        },
        100));

    // Answering a peer's connect frame in state 3 builds ours without a reset.
    Pump q;
    ASSERT_TRUE(q.runUntil([&] { return q.connected(); }, 20));
    ASSERT_TRUE(q.a()->peerConnectSeen);
    ASSERT_EQ(OlnkConnect(q.a(), 0, nullptr), 1);
    EXPECT_EQ(q.linkState(Side::A), OLNK_STATE_RESET_DONE);
}

// Decision 9: an over-long message is refused, not cut.
TEST(LinkChannel, OverLongMessagesAreRefused)
{
    Guard ch(Passive());
    const Bytes big(1024, 1);
    sys::SetLastError(0);
    EXPECT_EQ(OlnkSend(ch, 1024, big.data(), 1, 0), -1);
    EXPECT_EQ(sys::GetLastError(), OLNK_E_INVALIDARG);
    OlnkSendRequest r;
    r.length = 1024;
    r.data = big.data();
    EXPECT_EQ(OlnkSendAsync(ch, &r, 0), 0);
    EXPECT_EQ(sys::GetLastError(), OLNK_E_INVALIDARG);
    EXPECT_EQ(OlnkSend(ch, 1023, big.data(), 1, 0), 1);
}

TEST(LinkChannel, NullHandles)
{
    uint16_t len;
    uint8_t buf[4];
    OlnkStatistics st{};
    sys::SetLastError(0);
    EXPECT_EQ(OlnkSend(nullptr, 1, buf, 1, 0), -1);
    EXPECT_EQ(sys::GetLastError(), OLNK_E_HANDLE);
    sys::SetLastError(0);
    EXPECT_EQ(OlnkReceive(nullptr, &len, 4, buf, 0), 0);
    EXPECT_EQ(sys::GetLastError(), OLNK_E_HANDLE);
    EXPECT_EQ(OlnkConnect(nullptr, 0, nullptr), 0);
    EXPECT_EQ(OlnkGetStatistics(nullptr, &st), 0);
    EXPECT_EQ(OlnkCancelAsync(nullptr), 0);
    EXPECT_EQ(OlnkCheckConnectTimeout(nullptr), 0);
    EXPECT_EQ(OlnkCloseChannel(nullptr), 0);
    EXPECT_EQ(OlnkGetLinkState(nullptr), -1);
    EXPECT_EQ(sys::GetLastError(), OLNK_E_HANDLE);
    COlnkChannel holder;
    EXPECT_FALSE(holder.Attach(nullptr));
    EXPECT_TRUE(holder.Attach(Passive()));
    EXPECT_FALSE(holder.Attach(holder.Handle()));
    EXPECT_EQ(holder.Send(1, buf, 1, 0), 1);
}

// The check cannot see a flipped bit before the last 14 data bits: such a
// message arrives changed.  A change that claims to detect it must change
// this test on purpose.
TEST(LinkChannel, DocumentedLimitOfTheDataCheck)
{
    Guard tx(Passive());
    Guard rx(Passive());
    const Bytes msg(20, 0x41);
    ASSERT_EQ(OlnkSend(tx, 20, msg.data(), 1, 0), 1);
    Bytes f = Next(tx);
    f[10 + 9] ^= 0x01;
    Feed(rx, f);
    Bytes expect = msg;
    expect[9] = 0x40;
    EXPECT_EQ(Drain(rx), std::vector<Bytes>{expect});
    EXPECT_EQ(Stats(rx).DataErr, 0u);
    EXPECT_EQ(Stats(rx).HeaderErr, 0u);
    ASSERT_EQ(OlnkSend(tx, 3, "xyz", 1, 0), 2);
    Feed(rx, Next(tx));
    EXPECT_EQ(Drain(rx), std::vector<Bytes>{Str("xyz")});
}

TEST(LinkChannel, StatisticsAddUp)
{
    linkpump::Config cfg;
    cfg.seed = 5;
    Pump p(cfg);
    p.faults(Side::A).drop = 0.1;
    p.faults(Side::A).corrupt = 0.1;
    p.faults(Side::B).corrupt = 0.1;
    ASSERT_TRUE(p.runUntil([&] { return p.connected(); }, 200));
    linkpump::Rng rng(1);
    for (int i = 0; i < 200; ++i)
        p.send(Side::A, rng.RandomBytes(1 + rng.Below(300)));
    size_t got = 0;
    uint64_t frames = 0, bytes = 0;
    p.onFrame = [&](Side from, const Bytes& f) {
        if (from == Side::A) {
            ++frames;
            bytes += f.size();
        }
    };
    ASSERT_TRUE(p.runUntil(
        [&] {
            got += p.received(Side::B).size();
            return got == 200;
        },
        5000));
    const OlnkStatistics a = Stats(p.a());
    const OlnkStatistics b = Stats(p.b());
    EXPECT_EQ(a.size, 120u);
    EXPECT_EQ(a.PutPackets, 200u);     // messages built with data
    EXPECT_EQ(b.GetPackets, 200u);     // messages handed over
    EXPECT_GE(a.SendPackets, frames);  // every frame taken counts
    EXPECT_GT(b.HeaderErr + b.DataErr, 0u);
    EXPECT_GT(b.RecPackets, 0u);
    EXPECT_GE(b.RecBytes, a.SendBytes - bytes); // bytes of dropped frames are missing
    // A short copy copies only what the caller's record holds.
    OlnkStatistics part{};
    part.size = 24;
    part.SendBytes = 77;
    ASSERT_EQ(OlnkGetStatistics(p.a(), &part), 1);
    EXPECT_EQ(part.size, 120u);
    EXPECT_EQ(part.SendBytes, 77u);
    EXPECT_EQ(part.start.dwHighDateTime, a.start.dwHighDateTime);
}

TEST(LinkChannel, CancelAndCloseEndEveryRequest)
{
    OlnkChannel ch = Passive(2);
    const uint8_t x = 1;
    sys::Event e1(true, false), e2(true, false), e3(true, false);
    OlnkSendRequest urgent[3], normal;
    for (auto& r : urgent) {
        r.length = 1;
        r.data = &x;
        r.event = &e1;
    }
    EXPECT_EQ(OlnkSendAsync(ch, &urgent[0], -1), 1);
    EXPECT_EQ(OlnkSendAsync(ch, &urgent[1], -1), 1);
    EXPECT_EQ(OlnkSendAsync(ch, &urgent[2], -1), 0); // window full: queued
    normal.length = 1;
    normal.data = &x;
    normal.event = &e2;
    EXPECT_EQ(OlnkSendAsync(ch, &normal, 0), 0);
    // Urgent requests are served after a received frame frees a slot.
    Next(ch);
    Feed(ch, PeerAck(0x81));
    EXPECT_TRUE(e1.IsSet());
    EXPECT_EQ(urgent[2].result, 3);
    EXPECT_FALSE(e2.IsSet());
    EXPECT_EQ(OlnkCancelAsync(ch), 1);
    EXPECT_EQ(normal.result, OLNK_STATUS_CANCELLED);
    uint8_t buf[4];
    OlnkReceiveRequest rx;
    rx.capacity = 4;
    rx.buffer = buf;
    rx.event = &e3;
    EXPECT_EQ(OlnkReceiveAsync(ch, &rx), 0);
    EXPECT_EQ(OlnkCloseChannel(ch), 1);
    EXPECT_TRUE(e3.IsSet());
    EXPECT_EQ(rx.status, OLNK_STATUS_CLOSED);
}

// ---- Out of step: the channel resets itself ---------------------------------------

namespace {

// A passive channel on a manual clock that holds `connect` for its own reset.
OlnkChannel PassiveAt(const uint32_t* now, const Bytes& connect)
{
    OlnkChannelOptions o;
    o.passive = true;
    o.clock = [now] { return *now; };
    return OlnkCreateChannel(20, connect, o);
}

Bytes DataFrame(uint8_t seq, uint8_t ack = 0x80)
{
    FrameSpec s;
    s.seq = seq;
    s.ack = ack;
    s.data = Str("x");
    return Encode(s);
}

} // namespace

// The state a lying peer leaves behind: the peer's window holds frames this
// side will never place, and this side's acknowledgements name frames the
// peer never sent.  An acknowledgement for a frame never sent changes
// nothing, not even the count of resend rounds.
TEST(LinkChannel, AckForAFrameNeverSentChangesNothing)
{
    uint32_t now = 1000;
    Guard ch(PassiveAt(&now, Str("hello")));
    SendN(ch, 3);
    EXPECT_EQ(SeqOf(Next(ch)), 1);
    now += 600;
    EXPECT_EQ(SeqOf(Next(ch, OlnkFrameMode::Idle)), 2);
    EXPECT_EQ(SeqOf(Next(ch, OlnkFrameMode::Idle)), 3);
    EXPECT_EQ(SeqOf(Next(ch, OlnkFrameMode::Idle)), 1); // a resend round
    const uint8_t rounds = ch.ch->resendRounds;
    const uint32_t since = ch.ch->progressTick;
    for (uint8_t ack : {uint8_t(0x80 | 44), uint8_t(0x80 | 4), uint8_t(44), uint8_t(5)}) {
        Feed(ch, PeerAck(ack, 1));
        EXPECT_EQ(ch.ch->count, 3) << int(ack);
        EXPECT_EQ(ch.ch->sentCount, 3) << int(ack);
        EXPECT_EQ(ch.ch->txOffset, 1) << int(ack);
        EXPECT_EQ(ch.ch->resendRounds, rounds) << int(ack);
        EXPECT_EQ(ch.ch->progressTick, since) << int(ack);
    }
    EXPECT_EQ(OlnkGetLinkState(ch), OLNK_STATE_RUNNING);
}

// Frames sent and never acknowledged through the resend rounds: the
// channel resets itself with its connect frame, once the rounds and the time
// have both passed, and says so once.
TEST(LinkChannel, UnacknowledgedWindowResetsAfterItsResendRounds)
{
    uint32_t now = 1000;
    Guard ch(PassiveAt(&now, Str("hello")));
    SendN(ch, 2);
    EXPECT_EQ(SeqOf(Next(ch)), 1);
    EXPECT_EQ(SeqOf(Next(ch)), 2);
    // Rounds without the time (a fast serial line) do not reset...
    for (int i = 0; i < 2 * OLNK_STALL_ROUNDS; ++i)
        Next(ch, OlnkFrameMode::Idle);
    EXPECT_EQ(OlnkCheckStall(ch), 0);
    // ...nor the time without the rounds (a slow one).
    Guard slow(PassiveAt(&now, Str("hello")));
    SendN(slow, 1);
    Next(slow);
    now += 10 * OLNK_STALL_MS;
    EXPECT_EQ(OlnkCheckStall(slow), 0);
    // An acknowledgement of a sent frame starts the count again.
    Feed(ch, PeerAck(0x81, 1));
    EXPECT_EQ(ch.ch->count, 1);
    EXPECT_EQ(OlnkCheckStall(ch), 0);
    // So does a NAK of the first frame: a peer whose receive ring is full
    // asks for it again and again, in step.
    for (int i = 0; i < 2 * OLNK_STALL_ROUNDS; ++i) {
        now += OLNK_STALL_MS;
        Next(ch, OlnkFrameMode::Idle);
        Feed(ch, PeerAck(0x02, 2));
        EXPECT_EQ(OlnkCheckStall(ch), 0);
    }
    EXPECT_EQ(ch.ch->count, 1);
    // (the NAK moved the transmission back: the first turn is no round)
    for (int i = 0; i <= OLNK_STALL_ROUNDS; ++i) {
        EXPECT_EQ(OlnkCheckStall(ch), 0);
        now += OLNK_STALL_MS / OLNK_STALL_ROUNDS;
        EXPECT_EQ(SeqOf(Next(ch, OlnkFrameMode::Idle)), 2);
    }
    EXPECT_FALSE(OlnkTakeSelfReset(ch));
    ASSERT_EQ(OlnkCheckStall(ch), 1);
    EXPECT_EQ(OlnkGetLinkState(ch), OLNK_STATE_RESET_BY_US);
    EXPECT_TRUE(OlnkTakeSelfReset(ch));
    EXPECT_FALSE(OlnkTakeSelfReset(ch));
    // The connect frame, numbered 1, with the channel's connect data.
    FrameSpec connect;
    connect.seq = 1;
    connect.connect = true;
    connect.data = Str("hello");
    connect.ack = 0x80;
    EXPECT_EQ(Next(ch, OlnkFrameMode::Idle), Encode(connect));
    // Waiting for the peer's connect frame is no stall.
    now += 10 * OLNK_STALL_MS;
    for (int i = 0; i < 2 * OLNK_STALL_ROUNDS; ++i)
        Next(ch, OlnkFrameMode::Idle);
    EXPECT_EQ(OlnkCheckStall(ch), 0);
    // The peer's answer completes the handshake; messages flow again.
    FrameSpec answer = connect;
    answer.ack = 0x81;
    answer.data = Str("reply");
    Feed(ch, Encode(answer));
    EXPECT_EQ(OlnkGetLinkState(ch), OLNK_STATE_RESET_DONE);
    EXPECT_EQ(Drain(ch), std::vector<Bytes>{Str("reply")});
    EXPECT_EQ(ch.ch->count, 0);
}

// A peer that fell silent: the idle empty frame goes round without an
// acknowledgement (a peer need not answer an empty frame at once).  A
// message sent then has resend rounds and time of its own before the
// channel resets itself: OLNK_STALL_MS after it was sent, not at once.
// (The empty frame's rounds counted against it: once the silence was older
// than OLNK_STALL_MS, the channel reset itself within a tenth of a second
// of the send.)
TEST(LinkChannel, AMessageSentIntoASilentChannelHasItsOwnStallTime)
{
    uint32_t now = 1000;
    Guard ch(PassiveAt(&now, Str("hello")));
    for (int i = 0; i < 4 * OLNK_STALL_ROUNDS; ++i) {
        now += 500;
        EXPECT_EQ(SeqOf(Next(ch, OlnkFrameMode::Idle)), 1); // the empty frame, again and again
    }
    EXPECT_EQ(OlnkCheckStall(ch), 0); // no message waits: no stall
    SendN(ch, 1);
    EXPECT_EQ(SeqOf(Next(ch, OlnkFrameMode::Idle)), 2);
    EXPECT_EQ(OlnkCheckStall(ch), 0) << "reset at once";
    const uint32_t sent = now;
    while (OlnkCheckStall(ch) == 0 && now - sent < 10 * OLNK_STALL_MS) {
        now += 100;
        Next(ch, OlnkFrameMode::Idle);
    }
    EXPECT_EQ(OlnkGetLinkState(ch), OLNK_STATE_RESET_BY_US);
    EXPECT_GE(now - sent, OLNK_STALL_MS);
    EXPECT_LE(now - sent, OLNK_STALL_MS + 1000);
}

// Only frames it cannot place, for the stall time: the channel resets
// itself.  A short run of repeats (a peer going back N) does not.
TEST(LinkChannel, OnlyUnplaceableFramesReset)
{
    uint32_t now = 1000;
    Guard ch(PassiveAt(&now, Str("hello")));
    for (uint8_t s = 1; s <= 20; ++s) {
        Feed(ch, DataFrame(s));
        Drain(ch);
    }
    for (uint8_t s = 1; s <= 20; ++s)
        Feed(ch, DataFrame(s)); // repeats
    now += 10;
    Feed(ch, DataFrame(21));
    now += 10 * OLNK_STALL_MS;
    EXPECT_EQ(OlnkCheckStall(ch), 0);
    Drain(ch);
    // A peer whose numbers are out of step: every frame out of order.
    const uint64_t headerErr = Stats(ch).HeaderErr;
    for (uint32_t i = 0; i < OLNK_STALL_UNPLACED; ++i) {
        Feed(ch, DataFrame(uint8_t(60 + i)));
        EXPECT_EQ(OlnkCheckStall(ch), 0);
        now += OLNK_STALL_MS / OLNK_STALL_UNPLACED;
    }
    EXPECT_EQ(Stats(ch).HeaderErr, headerErr + OLNK_STALL_UNPLACED); // counted as dropped
    EXPECT_EQ(OlnkCheckStall(ch), 1);
    EXPECT_EQ(OlnkGetLinkState(ch), OLNK_STATE_RESET_BY_US);
    EXPECT_TRUE(OlnkTakeSelfReset(ch));
}

// In state 3 (the ten seconds after a handshake) a connect frame numbered 1
// that is neither the next frame nor a repeat of the one answered is the
// peer's new reset, met as in state 0: reset by the peer, the connect
// message taken for the session to answer.  (A peer reconnecting within
// those seconds met a reset of this side instead, which crossed its own.)
// The peer's answer to this side's own reset is told apart from it.
TEST(LinkChannel, NewResetOfThePeerInState3IsMetAsInState0)
{
    uint32_t now = 1000;
    OlnkChannelOptions o;
    o.clock = [&now] { return now; };
    Guard ch(OlnkCreateChannel(20, Str("hello"), o));
    Next(ch, OlnkFrameMode::Idle);
    FrameSpec answer;
    answer.seq = 1;
    answer.connect = true;
    answer.ack = 0x81;
    answer.data = Str("reply");
    Feed(ch, Encode(answer));
    ASSERT_EQ(OlnkGetLinkState(ch), OLNK_STATE_RESET_DONE);
    uint8_t buf[64];
    uint16_t len = 0;
    bool connect = false, metOwnReset = false;
    ASSERT_EQ(OlnkReceiveEx(ch, &len, sizeof buf, buf, 0, &connect, &metOwnReset), 1);
    EXPECT_TRUE(connect && metOwnReset); // the answer to ours
    Feed(ch, DataFrame(1)); // the answer again: a repeat
    for (uint8_t s = 2; s <= 40; ++s) {
        Feed(ch, DataFrame(s));
        Drain(ch);
    }
    FrameSpec reset = answer;
    reset.ack = 0x80; // a reset acknowledges nothing
    reset.data = Str("again");
    Feed(ch, Encode(reset)); // number 1 now cannot be a repeat
    EXPECT_EQ(OlnkGetLinkState(ch), OLNK_STATE_RESET_BY_PEER);
    ASSERT_EQ(OlnkReceiveEx(ch, &len, sizeof buf, buf, 0, &connect, &metOwnReset), 1);
    EXPECT_EQ(Bytes(buf, buf + len), Str("again"));
    EXPECT_TRUE(connect);
    EXPECT_FALSE(metOwnReset); // a reset of the peer's own
    now += 10 * OLNK_STALL_MS;
    EXPECT_EQ(OlnkCheckStall(ch), 0);
    EXPECT_FALSE(OlnkTakeSelfReset(ch));
    // Answered, the link runs on the new numbers.
    ASSERT_EQ(OlnkConnect(ch, 0, nullptr), 1);
    EXPECT_EQ(OlnkGetLinkState(ch), OLNK_STATE_RESET_DONE);
    Feed(ch, DataFrame(2));
    EXPECT_EQ(Drain(ch).size(), 1u);
}

// A peer with a larger window sends its connect reply again (the
// acknowledgement of its first copy was lost) after more frames than this
// side's window, or the network delivers a late copy of it: numbered 1, out
// of order and no repeat, but it acknowledges this side's connect frame.  A
// new reset acknowledges nothing (0x80); every other acknowledgement byte
// leaves the link as it is: the frame is NAKed, a waiting request stays and
// the session gets nothing.
TEST(LinkChannel, LateCopyOfTheConnectReplyIsNoNewReset)
{
    for (int ackByte = 0; ackByte < 256; ++ackByte) {
        SCOPED_TRACE(ackByte);
        Guard ch(OlnkCreateChannel(20, Str("hello"), {}));
        Next(ch, OlnkFrameMode::Idle);
        FrameSpec reply;
        reply.connect = true;
        reply.ack = 0x81;
        reply.data = Str("reply");
        Feed(ch, Encode(reply));
        ASSERT_EQ(Drain(ch), std::vector<Bytes>{Str("reply")});
        for (uint8_t s = 2; s <= 26; ++s) // 25 frames: beyond this side's window
            Feed(ch, PeerAck(0x81, s));
        ASSERT_EQ(ch.ch->R, 26);
        const uint8_t x = 7;
        OlnkSendRequest waiting;
        waiting.length = 1;
        waiting.data = &x;
        waiting.result = 0;
        while (ch.ch->count + 1 < ch.ch->W)
            ASSERT_GE(OlnkSend(ch, 1, &x, 1, 0), 0);
        ASSERT_EQ(OlnkSendAsync(ch, &waiting, 0), 0); // queued
        reply.ack = uint8_t(ackByte);
        Feed(ch, Encode(reply));
        if (ackByte == 0x80) {
            // The peer's new reset.
            EXPECT_EQ(OlnkGetLinkState(ch), OLNK_STATE_RESET_BY_PEER);
            EXPECT_EQ(waiting.result, OLNK_STATUS_RESET);
            continue;
        }
        EXPECT_EQ(OlnkGetLinkState(ch), OLNK_STATE_RESET_DONE);
        EXPECT_EQ(waiting.result, 0);
        EXPECT_TRUE(Drain(ch).empty());
        EXPECT_EQ(ch.ch->R, 26);
        OlnkCancelAsync(ch);
    }
}

// The peer answers this side's reset with an empty frame, dropped in state
// 2, and its connect reply numbered 2, which acknowledges this side's frames
// and is NAKed; then it resets again.  Its connect frame numbered 1 comes in
// order, but the peer had taken (and acknowledged) what this side sent since
// its reset: a reset of the peer, no crossing, so the session ends what is
// lost at once.  Before the peer acknowledged anything, the same frame is
// its reset that crossed ours.
TEST(LinkChannel, ResetAfterThePeerAcknowledgedOurFramesIsNoCrossing)
{
    for (const bool acknowledged : {true, false}) {
        SCOPED_TRACE(acknowledged);
        Guard ch(OlnkCreateChannel(20, Str("hello"), {}));
        ASSERT_GE(OlnkSend(ch, 3, "req", 1, 0), 0);
        EXPECT_EQ(SeqOf(Next(ch, OlnkFrameMode::Idle)), 1);
        EXPECT_EQ(SeqOf(Next(ch)), 2);
        Feed(ch, PeerAck(0x81, 1)); // dropped in state 2
        FrameSpec reply;
        reply.seq = 2;
        reply.connect = true;
        reply.ack = acknowledged ? 0x82 : 0x01; // frees both, or a NAK of 1
        reply.data = Str("reply");
        Feed(ch, Encode(reply));
        ASSERT_EQ(OlnkGetLinkState(ch), OLNK_STATE_RESET_DONE);
        ASSERT_EQ(ch.ch->count, acknowledged ? 0 : 2);
        FrameSpec reset;
        reset.connect = true;
        reset.data = Str("again");
        Feed(ch, Encode(reset));
        uint8_t buf[64];
        uint16_t len = 0;
        bool connect = false, metOwnReset = false;
        ASSERT_EQ(OlnkReceiveEx(ch, &len, sizeof buf, buf, 0, &connect, &metOwnReset), 1);
        EXPECT_EQ(Bytes(buf, buf + len), Str("again"));
        EXPECT_TRUE(connect);
        EXPECT_EQ(metOwnReset, !acknowledged);
        EXPECT_EQ(OlnkGetLinkState(ch),
                  acknowledged ? OLNK_STATE_RESET_BY_PEER : OLNK_STATE_RESET_DONE);
        if (acknowledged) {
            // Answered, the reply is numbered 1 for the peer's new numbers.
            ASSERT_EQ(OlnkConnect(ch, 0, nullptr), 1);
            const Bytes answer = Next(ch, OlnkFrameMode::Idle);
            EXPECT_EQ(SeqOf(answer), 1);
            EXPECT_EQ(answer[4], 0x81);
        }
    }
}

// Both ends reset at once; the peer's answer (its connect frame numbered 2,
// acknowledging ours) comes before its own connect frame numbered 1, which
// acknowledges nothing: no empty frame 1 of the peer came, so that frame is
// the crossing it is, taken in order after the peer acknowledged our frames,
// and no new reset.
TEST(LinkChannel, CrossingConnectFrameAfterThePeersAnswerIsNoNewReset)
{
    Guard ch(OlnkCreateChannel(20, Str("hello"), {}));
    ASSERT_GE(OlnkSend(ch, 3, "req", 1, 0), 0);
    EXPECT_EQ(SeqOf(Next(ch, OlnkFrameMode::Idle)), 1);
    EXPECT_EQ(SeqOf(Next(ch)), 2);
    FrameSpec answer;
    answer.seq = 2;
    answer.connect = true;
    answer.ack = 0x82;
    answer.data = Str("reply");
    Feed(ch, Encode(answer));
    FrameSpec own;
    own.connect = true;
    own.data = Str("crossing");
    Feed(ch, Encode(own));
    Feed(ch, Encode(answer));
    EXPECT_EQ(OlnkGetLinkState(ch), OLNK_STATE_RESET_DONE);
    uint8_t buf[64];
    uint16_t len = 0;
    bool connect = false, metOwnReset = false;
    ASSERT_EQ(OlnkReceiveEx(ch, &len, sizeof buf, buf, 0, &connect, &metOwnReset), 1);
    EXPECT_EQ(Bytes(buf, buf + len), Str("crossing"));
    EXPECT_TRUE(connect && metOwnReset);
    ASSERT_EQ(OlnkReceiveEx(ch, &len, sizeof buf, buf, 0, &connect, &metOwnReset), 1);
    EXPECT_EQ(Bytes(buf, buf + len), Str("reply"));
    // Our numbering goes on.
    ASSERT_GE(OlnkSend(ch, 3, "two", 1, 0), 0);
    EXPECT_EQ(SeqOf(Next(ch)), 3);
}

// OlnkRestart starts this side's own reset as a new channel does, from any
// state but 2: the connect frame numbered 1 with the connect data, ACK 0.
TEST(LinkChannel, RestartSendsTheConnectFrameAsANewChannel)
{
    OlnkChannelOptions o;
    o.passive = true;
    Guard ch(OlnkCreateChannel(20, Str("hello"), o));
    FrameSpec late;
    late.connect = true;
    late.ack = 0x81;
    late.data = Str("reply");
    Feed(ch, Encode(late)); // running: a reset by the peer
    ASSERT_EQ(OlnkGetLinkState(ch), OLNK_STATE_RESET_BY_PEER);
    ASSERT_EQ(OlnkRestart(ch), 1);
    EXPECT_EQ(OlnkGetLinkState(ch), OLNK_STATE_RESET_BY_US);
    const Bytes f = Next(ch, OlnkFrameMode::Idle);
    EXPECT_EQ(SeqOf(f), 1);
    EXPECT_EQ(f[4], 0x80);
    EXPECT_EQ(Bytes(f.begin() + 10, f.begin() + 15), Str("hello"));
    EXPECT_EQ(OlnkRestart(ch), 0);
    EXPECT_EQ(sys::GetLastError(), OLNK_E_SECOND_RESET);
}

// A peer that acknowledges this side's connect frame with an empty frame
// before its connect reply numbers the reply 2.  In state 2 the empty frame
// is dropped, so the reply arrives out of order just after this side's
// reset: it is NAKed like any frame, and the frames sent again complete the
// handshake without a new reset of this side.  (Taken for the peer's new
// reset, it made both ends reset each other for ever.)
TEST(LinkChannel, ConnectReplyBehindThePeersAcknowledgementCompletesTheHandshake)
{
    uint32_t now = 1000;
    OlnkChannelOptions o;
    o.clock = [&now] { return now; };
    Guard ch(OlnkCreateChannel(20, Str("hello"), o));
    Feed(ch, PeerAck(0x80, 1)); // the peer's idle frame from before the reset
    EXPECT_EQ(SeqOf(Next(ch, OlnkFrameMode::Idle)), 1);
    FrameSpec reply;
    reply.seq = 2;
    reply.connect = true;
    reply.ack = 0x81;
    reply.data = Str("reply");
    for (int round = 0; round < 2; ++round) {
        Feed(ch, PeerAck(0x81, 1));
        Feed(ch, Encode(reply));
        EXPECT_EQ(OlnkCheckStall(ch), 0);
        EXPECT_EQ(OlnkGetLinkState(ch), OLNK_STATE_RESET_DONE);
        if (round == 0) {
            EXPECT_TRUE(Drain(ch).empty());
            const Bytes nak = Next(ch, OlnkFrameMode::Ack);
            ASSERT_GT(nak.size(), 7u);
            EXPECT_EQ(nak[4], 0x01); // NAK 1
            EXPECT_EQ(nak[6] & 0x08, 0); // no connect frame of ours
        }
    }
    EXPECT_EQ(Drain(ch), std::vector<Bytes>{Str("reply")});
    EXPECT_EQ(ch.ch->R, 2);
    now += 10 * OLNK_STALL_MS;
    EXPECT_EQ(OlnkCheckStall(ch), 0);
    EXPECT_FALSE(OlnkTakeSelfReset(ch));
}

// A forged frame of valid shape numbered R + 1 is taken; the peer's own
// frame under that number then looks like a repeat, and this side's
// acknowledgement frees it at the peer: dropped, it would be lost for good
// with both ends in step.  A frame numbered R that differs from the one
// taken under R is delivered; a true resend of what was taken is not.
TEST(LinkChannel, FrameThatDiffersFromTheOneTakenUnderItsNumberIsDelivered)
{
    Guard ch(Passive());
    auto frame = [](uint8_t seq, const std::string& text) {
        FrameSpec s;
        s.seq = seq;
        s.data = Str(text);
        return Encode(s);
    };
    Feed(ch, frame(1, "one"));
    Feed(ch, frame(2, "forged"));
    Feed(ch, frame(2, "forged")); // a resend of the frame taken: a repeat
    EXPECT_EQ(Drain(ch), (std::vector<Bytes>{Str("one"), Str("forged")}));
    Feed(ch, frame(2, "reply"));
    Feed(ch, frame(2, "reply"));
    Feed(ch, frame(1, "other")); // only the frame numbered R is taken again
    EXPECT_EQ(Drain(ch), std::vector<Bytes>{Str("reply")});
    EXPECT_EQ(ch.ch->R, 2);
    Feed(ch, frame(3, "three"));
    EXPECT_EQ(Drain(ch), std::vector<Bytes>{Str("three")});
    // A reset forgets what was taken: the numbers start again.
    FrameSpec connect;
    connect.seq = 1;
    connect.connect = true;
    connect.data = Str("c");
    Feed(ch, Encode(connect));
    ASSERT_EQ(OlnkGetLinkState(ch), OLNK_STATE_RESET_BY_PEER);
    Drain(ch);
    EXPECT_EQ(ch.ch->taken[2], 0u);
    EXPECT_EQ(ch.ch->taken[3], 0u);
}

// A send bound to the connection its sender checked (a request that changes
// the peer) is refused once the channel reset since, even after the new
// handshake completes, and is never built behind the connect frame; an
// unbound send (a read) waits through the reset and goes to the new peer.
TEST(LinkChannel, SendBoundToAConnectionIsRefusedAfterAReset)
{
    uint32_t now = 1000;
    Guard ch(PassiveAt(&now, Str("hello")));
    const uint32_t checked = OlnkGetConnection(ch);
    EXPECT_NE(checked, 0u);
    // The channel resets itself: only frames it cannot place, for the stall time.
    for (uint32_t i = 0; i < OLNK_STALL_UNPLACED; ++i) {
        Feed(ch, DataFrame(uint8_t(60 + i)));
        now += OLNK_STALL_MS / OLNK_STALL_UNPLACED;
    }
    ASSERT_EQ(OlnkCheckStall(ch), 1);
    ASSERT_EQ(OlnkGetLinkState(ch), OLNK_STATE_RESET_BY_US);
    EXPECT_EQ(OlnkGetConnection(ch), 0u);
    const Bytes write = Str("write"), read = Str("read");
    OlnkSendRequest async;
    async.length = uint16_t(write.size());
    async.data = write.data();
    {
        OlnkSendBinding bound(ch, checked);
        sys::SetLastError(0);
        EXPECT_EQ(OlnkSend(ch, uint16_t(write.size()), write.data(), 1, 1000), -1);
        EXPECT_EQ(sys::GetLastError(), OLNK_E_RESET);
        sys::SetLastError(0);
        EXPECT_EQ(OlnkSendAsync(ch, &async, 0), 0);
        EXPECT_EQ(sys::GetLastError(), OLNK_E_RESET);
    }
    {
        OlnkSendBinding none(ch, OlnkGetConnection(ch)); // no connection while the reset is open
        EXPECT_EQ(OlnkSend(ch, uint16_t(write.size()), write.data(), 1, 0), -1);
        EXPECT_EQ(sys::GetLastError(), OLNK_E_RESET);
    }
    EXPECT_EQ(OlnkSend(ch, uint16_t(read.size()), read.data(), 1, 0), 2); // behind the connect frame
    EXPECT_EQ(ch.ch->count, 2);
    // The peer answers; the handshake is complete, on a new connection.
    FrameSpec answer;
    answer.seq = 1;
    answer.connect = true;
    answer.ack = 0x81;
    Feed(ch, Encode(answer));
    ASSERT_EQ(OlnkGetLinkState(ch), OLNK_STATE_RESET_DONE);
    const uint32_t fresh = OlnkGetConnection(ch);
    EXPECT_NE(fresh, 0u);
    EXPECT_NE(fresh, checked);
    {
        OlnkSendBinding bound(ch, checked);
        EXPECT_EQ(OlnkSend(ch, uint16_t(write.size()), write.data(), 1, 0), -1);
        EXPECT_EQ(sys::GetLastError(), OLNK_E_RESET);
        EXPECT_EQ(OlnkSendAsync(ch, &async, -1), 0);
        EXPECT_EQ(sys::GetLastError(), OLNK_E_RESET);
    }
    // What the new peer gets: the read, never the write.
    std::vector<Bytes> data;
    for (int i = 0; i < 4; ++i) {
        const Bytes f = Next(ch, OlnkFrameMode::Idle);
        if (f.size() > 13)
            data.emplace_back(f.begin() + 10, f.end() - 3);
    }
    EXPECT_EQ(data, (std::vector<Bytes>{Str("hello"), read, Str("hello"), read}));
    // Bound to the connection it carries now, a send goes out.
    OlnkSendBinding bound(ch, fresh);
    EXPECT_EQ(OlnkSend(ch, uint16_t(write.size()), write.data(), 1, 0), 3);
}

// A frame out of order asks for the missing frame at once (the ack-needed
// flag) once per resend round: two ends that each miss the other's frame
// otherwise answered every such frame with one more, thousands a second.
TEST(LinkChannel, AFrameOutOfOrderAsksAtOnceOncePerRound)
{
    uint32_t now = 1000;
    Guard ch(PassiveAt(&now, Str("hello")));
    Feed(ch, DataFrame(1));
    EXPECT_TRUE(OlnkTakeAckNeeded(ch));
    Feed(ch, DataFrame(3)); // 2 is missing
    EXPECT_TRUE(OlnkTakeAckNeeded(ch));
    for (int i = 0; i < 20; ++i) {
        now += 10;
        Feed(ch, DataFrame(uint8_t(4 + i % 5)));
        EXPECT_FALSE(OlnkTakeAckNeeded(ch)) << i;
    }
    // Its own frames still carry the NAK.
    EXPECT_EQ(Next(ch, OlnkFrameMode::Idle)[4], 2);
    now += OLNK_RESEND_ROUND_MS;
    Feed(ch, DataFrame(5));
    EXPECT_TRUE(OlnkTakeAckNeeded(ch));
    // Another missing frame asks at once.
    Feed(ch, DataFrame(2));
    Drain(ch);
    OlnkTakeAckNeeded(ch);
    Feed(ch, DataFrame(4)); // 3 is missing now
    EXPECT_TRUE(OlnkTakeAckNeeded(ch));
}

// After a pause of this side (a stopped process: the transport's turns far
// apart) the peer's silence meanwhile is no stall: the counts start again,
// and the peer gets its resend rounds and the time before a reset.
TEST(LinkChannel, APauseOfThisSideIsNoStall)
{
    uint32_t now = 1000;
    Guard ch(PassiveAt(&now, Str("hello")));
    SendN(ch, 1);
    for (int i = 0; i < OLNK_STALL_ROUNDS + 1; ++i)
        Next(ch, OlnkFrameMode::Idle);
    now += 30000; // stopped, then continued
    ASSERT_EQ(OlnkResumedAfterPause(ch), 1);
    EXPECT_EQ(OlnkCheckStall(ch), 0);
    for (int i = 0; i < OLNK_STALL_ROUNDS + 1; ++i) {
        now += OLNK_STALL_MS / OLNK_STALL_ROUNDS;
        Next(ch, OlnkFrameMode::Idle);
    }
    EXPECT_EQ(OlnkCheckStall(ch), 1); // still unanswered after a round and the time
    EXPECT_EQ(OlnkResumedAfterPause(nullptr), 0);
}

// No NAK is due once the frame asked for is taken.  The NAK request stayed
// at its old value while the numbers went on (0 from the reset, say): when
// they wrapped it named the next frame again, and a frame of this side
// asked for one that was not missing, once every 128 frames, for as long
// as the link ran.
TEST(LinkChannel, FramesTakenInOrderAreAcknowledgedAfterTheNumbersWrap)
{
    uint32_t now = 1000;
    Guard ch(PassiveAt(&now, Str("hello")));
    uint8_t ours = 0x80; // the peer's acknowledgement of our frames
    for (int i = 1; i <= 300; ++i) {
        const uint8_t s = uint8_t(i & 0x7F);
        if (i == 140)
            Feed(ch, DataFrame(uint8_t(s + 1), ours)); // out of order: asks for s
        Feed(ch, DataFrame(s, ours));
        ASSERT_EQ(Drain(ch).size(), 1u) << i;
        const Bytes f = Next(ch, OlnkFrameMode::Idle);
        ASSERT_FALSE(f.empty()) << i;
        EXPECT_EQ(f[4], s | 0x80) << "frame " << i;
        ours = uint8_t(SeqOf(f) | 0x80);
    }
}

namespace {

// The peer's connect frame numbered 1.
Bytes PeerConnect(uint8_t ack, const char* data)
{
    FrameSpec f;
    f.connect = true;
    f.ack = ack;
    f.data = Str(data);
    return Encode(f);
}

// Both ends reset at once: the peer's connect frame numbered 1,
// acknowledging nothing, is taken as its reset crossing ours.
void CrossResets(OlnkChannel ch)
{
    EXPECT_EQ(SeqOf(Next(ch, OlnkFrameMode::Idle)), 1);
    Feed(ch, PeerConnect(0x80, "crossing"));
    ASSERT_EQ(Drain(ch), std::vector<Bytes>{Str("crossing")});
    ASSERT_EQ(OlnkGetLinkState(ch), OLNK_STATE_RESET_DONE);
}

} // namespace

// The frame taken as the peer's reset crossing ours was a late copy of an
// earlier reset of the peer, which numbers its frames from its answer to
// ours: that answer, numbered 1, differs from the frame taken as 1 and
// acknowledges our connect frame.  The session gets it (dropped as a
// repeat, the session waited for its answer for ever); the numbers go on
// from it.
TEST(LinkChannel, TheAnswerBehindACrossingThatWasALateCopyIsDelivered)
{
    Guard ch(OlnkCreateChannel(20, Str("hello"), {}));
    CrossResets(ch);
    FrameSpec empty;
    empty.seq = 2;
    empty.ack = 0x81;
    empty.reliable = false;
    Feed(ch, Encode(empty)); // a frame of the old numbers, in order by chance
    Feed(ch, PeerConnect(0x81, "reply"));
    EXPECT_EQ(Drain(ch), std::vector<Bytes>{Str("reply")});
    FrameSpec next;
    next.seq = 2;
    next.ack = 0x81;
    next.data = Str("two");
    Feed(ch, Encode(next));
    EXPECT_EQ(Drain(ch), std::vector<Bytes>{Str("two")});
    // Once the peer answered, a connect frame numbered 1 that differs is a
    // late copy of something else: a repeat, not delivered again.
    Feed(ch, PeerConnect(0x81, "reply"));
    Feed(ch, PeerConnect(0x81, "other"));
    EXPECT_TRUE(Drain(ch).empty());
}

// A late copy of the peer's reset that crossed ours, after the peer
// acknowledged frames of ours, ends nothing; a second copy after a frame
// of ours went out unacknowledged is its new reset.
TEST(LinkChannel, ALateCopyOfTheCrossingResetIsNoNewReset)
{
    Guard ch(OlnkCreateChannel(20, Str("hello"), {}));
    CrossResets(ch);
    ASSERT_GE(OlnkSend(ch, 3, "req", 1, 0), 0);
    EXPECT_EQ(SeqOf(Next(ch)), 2);
    Feed(ch, PeerAck(0x82, 2)); // our connect frame and request acknowledged
    const Bytes copy = PeerConnect(0x80, "crossing");
    Feed(ch, copy);
    EXPECT_EQ(OlnkGetLinkState(ch), OLNK_STATE_RESET_DONE);
    EXPECT_TRUE(Drain(ch).empty());
    ASSERT_GE(OlnkSend(ch, 3, "two", 1, 0), 0);
    EXPECT_EQ(SeqOf(Next(ch)), 3); // unacknowledged
    Feed(ch, copy);
    EXPECT_EQ(OlnkGetLinkState(ch), OLNK_STATE_RESET_BY_PEER);
}

// With this side's window starting at frame 1 (its numbers gone round), a
// resetting peer's ACK 0 reads as the acknowledgement of the frame before
// it, which is no sign that the peer runs: its second copy after a frame of
// ours went out unacknowledged is still its reset.
TEST(LinkChannel, ASecondCopyIsTheResetAlsoWithTheWindowAtFrameOne)
{
    Guard ch(OlnkCreateChannel(20, Str("hello"), {}));
    CrossResets(ch);
    for (int i = 2; i <= 128; ++i) { // frames 2 to 127 and 0, each acknowledged
        ASSERT_GE(OlnkSend(ch, 1, "x", 1, 0), 0);
        const uint8_t s = SeqOf(Next(ch));
        ASSERT_EQ(s, uint8_t(i & 0x7F));
        Feed(ch, PeerAck(uint8_t(0x80 | s)));
    }
    const Bytes copy = PeerConnect(0x80, "crossing");
    Feed(ch, copy);
    EXPECT_EQ(OlnkGetLinkState(ch), OLNK_STATE_RESET_DONE);
    ASSERT_GE(OlnkSend(ch, 1, "y", 1, 0), 0);
    EXPECT_EQ(SeqOf(Next(ch)), 1); // unacknowledged
    Feed(ch, PeerAck(0x80));       // the resetting peer acknowledges nothing
    Feed(ch, copy);
    EXPECT_EQ(OlnkGetLinkState(ch), OLNK_STATE_RESET_BY_PEER);
}

// W 1: the answer to the peer's connect frame waits for the slot; a second
// OlnkConnect meanwhile (the simulator resetting itself) is this side's own
// reset, not a second answer in the place of the first.
TEST(LinkChannel, AnAnswerWaitingForTheSlotIsNotReplaced)
{
    Guard ch(OlnkCreateChannel(1, Str("hello"), {}));
    CrossResets(ch); // our connect frame still unacknowledged: the slot is taken
    ASSERT_EQ(OlnkConnect(ch, 5, "reply"), 1);
    EXPECT_EQ(OlnkGetLinkState(ch), OLNK_STATE_RESET_DONE);
    ASSERT_EQ(OlnkConnect(ch, 5, "again"), 1);
    EXPECT_EQ(OlnkGetLinkState(ch), OLNK_STATE_RESET_BY_US);
}
