// Messages from a peer that does not behave: every field is checked against
// the session's own state before it is used, a message that fails is
// dropped and counted (also in the channel's ProgramErr), and the jobs and
// the link go on as if it had never come.

#include "oxfr_test_util.h"

#include "tests/support/platform/TempDir.h"

#include <fstream>
#include <gtest/gtest.h>

using namespace oxfrtest;
using oxfr::AckMessage;
using oxfr::DataMessage;
using oxfr::SizeMessage;

namespace {

OxfrCounters Counters(OxfrSession s)
{
    OxfrCounters c;
    OxfrGetCounters(s, &c);
    return c;
}

uint64_t ProgramErr(OxfrSession s)
{
    OlnkStatistics st{};
    st.size = sizeof st;
    OlnkGetStatistics(OxfrGetChannel(s), &st);
    return st.ProgramErr;
}

uint64_t Rejected(OxfrSession s)
{
    const OxfrCounters c = Counters(s);
    return c.malformed + c.unknownJob;
}

std::string ReadFile(const std::string& p)
{
    std::ifstream f(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
}

// A GetStatus sent now reaches the peer: the link carries requests.  Earlier
// messages still on their way (connect replies, requests) are passed over.
void ExpectRequestArrives(SessionAndPeer& sp, uint32_t param)
{
    ASSERT_EQ(OlnkRequestGetStatus(sp.s, param), 1);
    const std::string want = HexText(oxfr::Header(1, 0, 0, param));
    Bytes m;
    do
        ASSERT_TRUE(sp.peer->Receive(m)) << "no request " << param;
    while (HexText(m) != want);
}

} // namespace

TEST(OxfrUntrusted, ConnectMessagesOutsideAConnectFrameAndOddLinkEventsChangeNothing)
{
    SessionAndPeer sp;
    ASSERT_TRUE(sp.established);
    const uint64_t errs = ProgramErr(sp.s);
    // A connect message and a connect reply in ordinary frames: taking the
    // first for a reset would reset our channel towards a peer that never
    // asked and will not answer.
    ASSERT_TRUE(sp.peer->Send(oxfr::ConnectMessage()));
    ASSERT_TRUE(sp.peer->Send(oxfr::ConnectReply(0, 0)));
    ASSERT_TRUE(sp.peer->Send({0, 0, 0, 0, 0, 0, 0})); // short, still "connect"
    ASSERT_TRUE(WaitUntil([&] { return Counters(sp.s).malformed == 3; }));
    EXPECT_EQ(ProgramErr(sp.s), errs + 3);
    EXPECT_EQ(sp.rec.peerResets, 0);
    // Link events other than exactly `0, 3, code, u32 0`.
    ASSERT_TRUE(sp.peer->Send({0, 3, 7, 1, 0, 0, 0}));
    ASSERT_TRUE(sp.peer->Send({0, 3, 7, 0, 0, 0, 0, 0}));
    ASSERT_TRUE(sp.peer->Send({0, 3, 8, 0, 0, 0, 0}));
    ASSERT_TRUE(sp.rec.WaitFor([&] { return sp.rec.events.size() == 1; }));
    EXPECT_EQ(sp.rec.events, std::vector<uint8_t>{8});
    EXPECT_EQ(Counters(sp.s).malformed, 5u);
    EXPECT_EQ(ProgramErr(sp.s), errs + 5);
    EXPECT_EQ(OlnkGetLinkState(OxfrGetChannel(sp.s)), OlnkGetLinkState(sp.peer->Channel()));
    EXPECT_NE(OlnkGetLinkState(OxfrGetChannel(sp.s)), OLNK_STATE_RESET_BY_US);
    ExpectRequestArrives(sp, 7);
}

TEST(OxfrUntrusted, AConnectFrameCarryingAnythingElseIsMetWithOurOwnReset)
{
    SessionAndPeer sp;
    ASSERT_TRUE(sp.established);
    // The peer resets with a connect frame whose data is not a connect
    // message (garbage, or a connect reply nobody asked for).  The channel
    // waits for our answer whatever the data, but a reply would be taken for
    // a reset by its peer that a peer keeping the rules never answers: the
    // session meets it with its own reset, the connect message, which the
    // peer answers.
    for (const Bytes& data : {Bytes{1, 2, 3}, oxfr::ConnectReply(9, 0)}) {
        const int resets = sp.rec.linkResets;
        // Both channels leave link state 3 of the previous reset first (on a
        // frame numbered 0), or the connect frame would be taken as a repeat.
        for (int i = 0; i < 130; ++i) {
            ASSERT_TRUE(sp.peer->Send({1, 2, 9, 0, 0, 0, 0}));
            ASSERT_EQ(OlnkRequestGetStatus(sp.s, 0), 1);
        }
        ASSERT_TRUE(WaitUntil([&] {
            return OlnkGetLinkState(OxfrGetChannel(sp.s)) == OLNK_STATE_RUNNING &&
                   OlnkGetLinkState(sp.peer->Channel()) == OLNK_STATE_RUNNING;
        }));
        const int connects = sp.peer->connects;
        ASSERT_EQ(OlnkConnect(sp.peer->Channel(), uint16_t(data.size()), data.data()), 1);
        ASSERT_TRUE(sp.rec.WaitFor([&] { return sp.rec.linkResets == resets + 1; }));
        // The peer's thread counts our connect message when it reads it,
        // which may come after both channels took their connect frames.
        ASSERT_TRUE(WaitUntil([&] {
            return OlnkGetLinkState(sp.peer->Channel()) == OLNK_STATE_RESET_DONE &&
                   OlnkGetLinkState(OxfrGetChannel(sp.s)) == OLNK_STATE_RESET_DONE && OxfrIsEstablished(sp.s) &&
                   sp.peer->connects > connects;
        }));
        EXPECT_EQ(sp.peer->connects, connects + 1);
        EXPECT_EQ(sp.rec.peerResets, 0);
        ExpectRequestArrives(sp, 20 + uint32_t(data.size()));
    }
}

TEST(OxfrUntrusted, JobMessagesThatFailTheirChecksLeaveAReceiveJobAlone)
{
    testsupport::TempDir local;
    SessionAndPeer sp;
    ASSERT_TRUE(sp.established);
    ASSERT_EQ(OxfrGetA(sp.s, 1, nullptr, 0, nullptr, "\\D\\f", (local / "got").c_str()), 1);
    Bytes req;
    ASSERT_TRUE(sp.peer->Receive(req));
    ASSERT_EQ(req.size(), 12u + 5u);
    const uint8_t job = req[7];
    const uint8_t peerJob = 5;
    const uint64_t errs = ProgramErr(sp.s), before = Rejected(sp.s);
    const Bytes a(512, 'a'), b(488, 'b');
    Bytes tooLong = SizeMessage(job, peerJob, 1000, 0, 0);
    tooLong.push_back(0);
    const std::vector<Bytes> early = {
        DataMessage(job, 0, 0, a.data(), a.size()), // before the size message
        SizeMessage(job, 200, 1000, 0, 0),          // a receive job as the sender
        tooLong,                                    // length and size disagree
        SizeMessage(uint8_t(job ^ 1), peerJob, 1000, 0, 0), // no such job
    };
    for (const Bytes& m : early)
        ASSERT_TRUE(sp.peer->Send(m));
    ASSERT_TRUE(sp.peer->Send(SizeMessage(job, peerJob, 1000, 0, 0)));
    Bytes ack;
    ASSERT_TRUE(sp.peer->Receive(ack));
    EXPECT_EQ(HexText(ack), HexText(AckMessage(peerJob, 20, 0, job)));
    Bytes cut = DataMessage(job, 0, 0, a.data(), a.size());
    cut.pop_back();
    const Bytes big(1001, 'x');
    const std::vector<Bytes> late = {
        SizeMessage(job, peerJob, 5, 0, 0),           // a second size message
        DataMessage(job, 0, 1, a.data(), a.size()),   // not the next block
        cut,                                          // shorter than its length
        DataMessage(job, 7, 0, a.data(), a.size()),   // data with a status
        DataMessage(job, 0, 0, big.data(), big.size()), // beyond the file's size
        DataMessage(job, 0, 5, nullptr, 0),           // success naming blocks never sent
        AckMessage(job, 1, 0, peerJob),               // an acknowledgement to a receive job
    };
    for (const Bytes& m : late)
        ASSERT_TRUE(sp.peer->Send(m));
    ASSERT_TRUE(sp.peer->Send(DataMessage(job, 0, 0, a.data(), a.size())));
    ASSERT_TRUE(sp.peer->Send(DataMessage(job, 0, 1, b.data(), b.size())));
    ASSERT_TRUE(sp.peer->Send(DataMessage(job, 0, 2, nullptr, 0)));
    ASSERT_TRUE(sp.rec.WaitFor([&] { return sp.rec.transfers.size() == 1; }));
    EXPECT_EQ(sp.rec.Transfers()[0].status, 0);
    EXPECT_EQ(ReadFile(local / "got"), std::string(512, 'a') + std::string(488, 'b'));
    const size_t bad = early.size() + late.size();
    EXPECT_EQ(Rejected(sp.s), before + bad);
    EXPECT_EQ(ProgramErr(sp.s), errs + bad);
}

TEST(OxfrUntrusted, JobMessagesThatFailTheirChecksLeaveASendJobAlone)
{
    testsupport::TempDir local;
    local.Write("up", std::string(1000, 'u'));
    SessionAndPeer sp;
    ASSERT_TRUE(sp.established);
    ASSERT_EQ(OxfrPutA(sp.s, 2, nullptr, 0, nullptr, (local / "up").c_str(), "\\D\\u"), 1);
    Bytes req;
    ASSERT_TRUE(sp.peer->Receive(req));
    const uint8_t job = req[7];
    const uint8_t peerJob = 0x90;
    const uint64_t errs = ProgramErr(sp.s), before = Rejected(sp.s);
    Bytes longer = AckMessage(job, 20, 0, peerJob);
    longer.push_back(0);
    const std::vector<Bytes> early = {
        AckMessage(job, 20, 0, 5),        // a send job as the receiver
        AckMessage(job, 20, 1, peerJob),  // not the first acknowledgement
        AckMessage(job, 21, 0, peerJob),  // more than the receiver's ring holds
        longer,                           // not 11 bytes
        DataMessage(job, 0, 0, nullptr, 0), // data to a send job
    };
    for (const Bytes& m : early)
        ASSERT_TRUE(sp.peer->Send(m));
    ASSERT_TRUE(sp.peer->Send(AckMessage(job, 20, 0, peerJob)));
    Bytes m;
    ASSERT_TRUE(sp.peer->Receive(m));
    EXPECT_EQ(HexText(Bytes(m.begin(), m.begin() + 13)), HexText({0, 4, 1, peerJob, 0, 0, 0, 0, 0, 10, 0, job, 0}));
    const std::vector<Bytes> late = {
        AckMessage(job, 0, 1, 0x91),     // another receiver's final word
        AckMessage(job, 1, 0, peerJob),  // a number already taken
    };
    for (const Bytes& x : late)
        ASSERT_TRUE(sp.peer->Send(x));
    std::string got;
    for (;;) {
        ASSERT_TRUE(sp.peer->Receive(m));
        ASSERT_GE(m.size(), 11u);
        if (oxfr::U16(m.data() + 9) == 0)
            break;
        got.append(m.begin() + 11, m.end());
    }
    EXPECT_EQ(got, std::string(1000, 'u'));
    EXPECT_EQ(m[4], 0); // the final message: success
    ASSERT_TRUE(sp.peer->Send(AckMessage(job, 0, 1, peerJob)));
    ASSERT_TRUE(sp.rec.WaitFor([&] { return sp.rec.transfers.size() == 1; }));
    EXPECT_EQ(sp.rec.Transfers()[0].status, 0);
    const size_t bad = early.size() + late.size();
    EXPECT_EQ(Rejected(sp.s), before + bad);
    EXPECT_EQ(ProgramErr(sp.s), errs + bad);
}

TEST(OxfrUntrusted, RequestedJobsThePeerNeverSpeaksToGiveWayWhenTheTableIsFull)
{
    testsupport::TempDir share;
    share.Write("f.txt", "content");
    SessionAndPeer sp;
    ASSERT_TRUE(sp.established);
    ASSERT_EQ(OxfrAddShareA(sp.s, share.Path().c_str(), "D", 0), 1);
    // 128 read requests that nobody follows up: every send id is taken.
    auto read = [&](uint32_t param, uint8_t peerJob) {
        EXPECT_TRUE(sp.peer->Send(oxfr::FileJobRequest(OXFR_CODE_GET, param, peerJob, "\\D\\f.txt")));
    };
    auto isSize = [](const Bytes& m) { return m.size() == 21 && m[0] == 0 && m[1] == 4 && m[2] == 1; };
    for (uint32_t i = 0; i < 128; ++i)
        read(i, uint8_t(0x80 + i));
    for (int i = 0; i < 128; ++i) {
        Bytes m;
        ASSERT_TRUE(sp.peer->Receive(m));
        ASSERT_TRUE(isSize(m)) << HexText(m);
    }
    // A new request: refused while the silent jobs are young, then served
    // by ending the oldest of them (it tells its peer job 134).
    Bytes m;
    uint32_t param = 1000;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (;;) {
        read(param, 0xF0);
        ASSERT_TRUE(sp.peer->Receive(m));
        if (!(m.size() == 10 && m[0] == 2 && m[1] == 1))
            break;
        EXPECT_EQ(m[7], OXFR_NO_STREAM);
        ++param;
        ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "never served";
        // Time is the subject: a silent job gives way only once it is a
        // second old, so the request is asked again at this pace until then.
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    std::vector<Bytes> got{m};
    ASSERT_TRUE(sp.peer->Receive(m));
    got.push_back(m);
    const Bytes fin = DataMessage(0x80, OXFR_CONNECTION_ERROR, 0, nullptr, 0);
    const bool finFirst = HexText(got[0]) == HexText(fin);
    EXPECT_EQ(HexText(got[finFirst ? 0 : 1]), HexText(fin));
    const Bytes& size = got[finFirst ? 1 : 0];
    ASSERT_TRUE(isSize(size)) << HexText(size);
    EXPECT_EQ(size[3], 0xF0);
    EXPECT_EQ(Counters(sp.s).evictedJobs, 1u);
}
