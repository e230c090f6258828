// The session: handshakes, link events, pushed messages, the reply queue,
// close and reset while jobs run, the channel's own reset.

#include "oxfr_test_util.h"

#include "link/oxfr/oxfr_messages.h"
#include "tests/link/link_test_util.h"

#include "platform/sys/Sync.h"
#include "tests/support/platform/TempDir.h"

#include <dirent.h>
#include <gtest/gtest.h>

using namespace oxfrtest;

TEST(OxfrSession, HandshakeAgainstAPassivePeerAndBetweenTwoSessions)
{
    {
        SessionAndPeer sp;
        ASSERT_TRUE(sp.established);
        EXPECT_EQ(sp.rec.peerResets, 0);
        EXPECT_EQ(sp.peer->connects.load(), 1);
        EXPECT_EQ(OlnkResumeSession(sp.s), 1); // a second call does nothing
    }
    // Two fresh sessions: their resets cross, each takes the other's connect
    // message after its own reset, and nothing either sent is lost: neither
    // reports a reset of its peer.
    UdpSessionPair p;
    ASSERT_TRUE(p.established);
    EXPECT_EQ(p.recA.peerResets, 0);
    EXPECT_EQ(p.recB.peerResets, 0);
    EXPECT_EQ(OxfrCloseSession(nullptr), 0);
    EXPECT_EQ(sys::GetLastError(), OLNK_E_HANDLE);
}

TEST(OxfrSession, EventsPushedMessagesRepliesAndMalformedInput)
{
    SessionAndPeer sp;
    ASSERT_TRUE(sp.established);
    ASSERT_TRUE(sp.peer->Send({0, 3, 7, 0, 0, 0, 0}));
    ASSERT_TRUE(sp.peer->Send({1, 2, 16, 9, 0, 0, 0, 0xAA, 0xBB}));
    ASSERT_TRUE(sp.peer->Send({1, 3, 21, 9, 0, 0, 0}));
    ASSERT_TRUE(sp.peer->Send({1, 1, 0, 4, 0, 0, 0, 0, 1, 2, 3}));
    ASSERT_TRUE(sp.peer->Send({2, 1, 2, 5, 0, 0, 0, 0xF4, 9, 0})); // length beyond the message
    ASSERT_TRUE(sp.peer->Send({1, 1, 0}));                         // short
    ASSERT_TRUE(sp.peer->Send({0, 4, 0, 0x85, 0, 0, 0, 0, 0, 1}));  // short job message
    ASSERT_TRUE(sp.peer->Send({0, 5, 0, 0x05, 1, 0, 0, 0, 0, 0x80, 0})); // no such job
    Recorder& r = sp.rec;
    ASSERT_TRUE(r.WaitFor([&] { return r.transfers.size() == 1; }));
    // The last three messages come after the transfer result; wait until the
    // session thread has counted them too.
    OxfrCounters c;
    for (int i = 0; i < 500; ++i) {
        OxfrGetCounters(sp.s, &c);
        if (c.malformed >= 2 && c.unknownJob >= 1)
            break;
        sys::Sleep(10);
    }
    std::lock_guard<std::mutex> g(r.m);
    EXPECT_EQ(r.events, std::vector<uint8_t>{7});
    ASSERT_EQ(r.pushed2.size(), 1u);
    EXPECT_EQ(r.pushed2[0].data, (Bytes{0xAA, 0xBB}));
    ASSERT_EQ(r.pushed3.size(), 1u);
    EXPECT_TRUE(r.pushed3[0].data.empty());
    ASSERT_EQ(r.replies.size(), 1u);
    EXPECT_EQ(r.replies[0].data, (Bytes{1, 2, 3}));
    EXPECT_EQ(r.transfers[0].status, -12);
    EXPECT_TRUE(r.transfers[0].data.empty()); // cut to the message
    EXPECT_EQ(c.malformed, 2u);
    EXPECT_EQ(c.unknownJob, 1u);
}

TEST(OxfrSession, RepliesThatCannotLeaveAtOnceKeepTheirOrder)
{
    SessionAndPeer sp;
    ASSERT_TRUE(sp.established);
    // Many requests at once: more answers than the window holds.
    for (uint8_t i = 0; i < 60; ++i)
        ASSERT_TRUE(sp.peer->Send({1, 0, 7, i, 0, 0, 0}));
    for (uint8_t i = 0; i < 60; ++i) {
        Bytes m;
        ASSERT_TRUE(sp.peer->Receive(m));
        EXPECT_EQ(HexText(m), HexText({1, 1, 7, i, 0, 0, 0, 0x81}));
    }
}

TEST(OxfrSession, CloseAndResetWhileJobsRun)
{
    testsupport::TempDir local;
    local.Write("f.bin", std::string(100000, 'x'));
    {
        SessionAndPeer sp;
        ASSERT_TRUE(sp.established);
        ASSERT_EQ(OxfrGetA(sp.s, 1, nullptr, 0, nullptr, "\\D\\f", (local / "got").c_str()), 1);
        ASSERT_EQ(OxfrPutA(sp.s, 2, nullptr, 0, nullptr, (local / "f.bin").c_str(), "\\D\\f"), 1);
        Bytes m;
        ASSERT_TRUE(sp.peer->Receive(m));
        ASSERT_TRUE(sp.peer->Receive(m));
        // The peer resets: both jobs end with 133, no partial files.
        OlnkConnect(sp.peer->Channel(), 11, OxfrConnectData(nullptr));
        ASSERT_TRUE(sp.rec.WaitFor([&] { return sp.rec.transfers.size() == 2; }));
        for (auto& t : sp.rec.Transfers())
            EXPECT_EQ(uint8_t(t.status), OXFR_RESET);
        EXPECT_EQ(sp.rec.peerResets, 1);
        // The session answers the reset after it has ended the jobs; until
        // then its channel is reset by the peer and requests fail with
        // 0xE0020007.  Wait for the answer, not for time.
        ASSERT_TRUE(WaitUntil([&] {
            return OlnkGetLinkState(OxfrGetChannel(sp.s)) != OLNK_STATE_RESET_BY_PEER;
        }));
        // New jobs, then close: 132 each.
        ASSERT_EQ(OxfrGetA(sp.s, 3, nullptr, 0, nullptr, "\\D\\f", (local / "got").c_str()), 1);
        OxfrCloseSession(sp.s);
        sp.s = nullptr;
        ASSERT_EQ(sp.rec.Transfers().size(), 3u);
        EXPECT_EQ(uint8_t(sp.rec.Transfers()[2].status), OXFR_CLOSED);
    }
    int n = 0;
    DIR* d = ::opendir(local.Path().c_str());
    while (dirent* e = ::readdir(d))
        n += e->d_name[0] != '.';
    ::closedir(d);
    EXPECT_EQ(n, 1);
}

// The channel resets itself (out of step with its peer) while the session
// thread waits for a message, and the peer's connect reply follows at once,
// before the session has looked for the reset: the session takes the reset
// first and reads established again on the reply.  The other way round, the
// reply set it established and the reset taken after it cleared that for
// good, while messages passed again in both directions.
TEST(OxfrSession, EstablishedAgainWhenTheReplyToItsOwnResetComesAtOnce)
{
    using linktest::Encode;
    using linktest::FrameSpec;
    using linktest::Next;
    std::atomic<uint32_t> now{1000};
    OlnkChannelOptions o;
    o.clock = [&now] { return now.load(); };
    size_t n = 0;
    const uint8_t* connect = OxfrConnectData(&n);
    OlnkChannel ch = OlnkCreateChannel(20, std::span<const uint8_t>(connect, n), o);
    Recorder rec;
    OxfrSession s = OxfrOpenSessionOnChannel(&rec, ch, 1000); // owns the channel
    ASSERT_NE(s, nullptr);
    const std::unique_ptr<void, void (*)(void*)> closing(s, [](void* p) {
        OxfrCloseSession(static_cast<OxfrSession>(p));
    });
    Recorder::Install(s);
    OlnkResumeSession(s);
    // The peer's connect frame: number 1, acknowledging ours, the reply.
    FrameSpec reply;
    reply.connect = true;
    reply.ack = 0x81;
    reply.data = oxfr::ConnectReply(0, 0);
    // The handshake: our connect frame, the peer's answer.
    FrameSpec ours;
    ours.connect = true;
    ours.data.assign(connect, connect + n);
    EXPECT_EQ(Next(ch, OlnkFrameMode::Idle), Encode(ours));
    linktest::Feed(ch, Encode(reply));
    ASSERT_TRUE(WaitUntil([&] { return OxfrIsEstablished(s); }));

    // Only frames it cannot place for the stall time: the channel resets
    // itself and sends its connect frame again, which the peer answers.
    for (uint32_t i = 0; i < OLNK_STALL_UNPLACED; ++i) {
        FrameSpec f;
        f.seq = uint8_t(60 + i);
        f.ack = 0x81;
        f.data = {1, 2, 0, 0, 0, 0, 0};
        linktest::Feed(ch, Encode(f));
        now += OLNK_STALL_MS / OLNK_STALL_UNPLACED;
    }
    ASSERT_EQ(OlnkCheckStall(ch), 1);
    ours.ack = 0x80;
    EXPECT_EQ(Next(ch, OlnkFrameMode::Idle), Encode(ours));
    linktest::Feed(ch, Encode(reply));
    int linkResets = 0;
    EXPECT_TRUE(WaitUntil([&] {
        std::lock_guard<std::mutex> g(rec.m);
        linkResets = rec.linkResets;
        return linkResets == 1 && OxfrIsEstablished(s);
    }, 5000)) << "link resets " << linkResets << ", established " << OxfrIsEstablished(s);
}
