// The simulator's fault shim: each targeted fault moves the counter it
// should on our side.
#include "cssim_test_util.h"

using namespace cssimtest;

namespace {

struct ShimFixture : ::testing::Test
{
    uint16_t ourPort = testsupport::PickFreeUdpPort();
    std::unique_ptr<cssim::Simulator> sim;
    std::unique_ptr<RawLinkPeer> peer;
    void SetUp() override
    {
        cssim::Config cfg;
        cfg.udpLocalPort = testsupport::PickFreeUdpPort();
        cfg.peerPort = ourPort;
        cfg.shim = true;
        sim = std::make_unique<cssim::Simulator>(cfg);
        ASSERT_TRUE(sim->start());
        ASSERT_TRUE(sim->shim().ok());
        peer = std::make_unique<RawLinkPeer>(UdpLoopbackConn(ourPort, sim->publicPort()));
        ASSERT_TRUE(peer->Ok());
        ASSERT_TRUE(peer->Next([](const Bytes& b) { return b.size() >= 2 && b[0] == 0 && b[1] == 1; }));
    }
    OlnkStatistics Stats()
    {
        OlnkStatistics s{};
        s.size = sizeof s;
        OlnkGetStatistics(peer->Channel(), &s);
        return s;
    }
    bool WaitStat(uint64_t OlnkStatistics::*field, uint64_t above)
    {
        return testsupport::WaitUntil([&] { return Stats().*field > above; }, 5000);
    }
    cssim::TargetedFault XorNext(int offset, int dataOffset = -1)
    {
        cssim::TargetedFault f;
        f.match.direction = 1;
        f.match.cls = 0x41;
        f.action = cssim::FrameAction::Xor;
        f.offset = offset;
        f.dataOffset = dataOffset;
        f.mask = 0x01;
        return f;
    }
};

const Bytes k41(20, 0x41);

TEST_F(ShimFixture, HeaderFaultsCountAsHeaderErrors)
{
    for (int offset : {7, 6}) {
        const uint64_t before = Stats().HeaderErr;
        sim->shim().addTargeted(XorNext(offset));
        sim->sendRaw(k41);
        EXPECT_TRUE(WaitStat(&OlnkStatistics::HeaderErr, before)) << offset;
        // The frame comes again and arrives intact.
        auto m = peer->Next([](const Bytes& b) { return b.size() == 20 && b[0] == 0x41; });
        ASSERT_TRUE(m);
        EXPECT_EQ(*m, k41);
    }
    EXPECT_EQ(sim->shim().matched(), 2u);
    uint64_t before = Stats().HeaderErr;
    sim->shim().inject(cssim::Shim::BadFrame({1, 2, 3}, 10, 0x02, 100));
    EXPECT_TRUE(WaitStat(&OlnkStatistics::HeaderErr, before));
    before = Stats().HeaderErr;
    sim->shim().inject(cssim::Shim::BadFrame({1, 2, 3}, 5, 0x01, 100));
    EXPECT_TRUE(WaitStat(&OlnkStatistics::HeaderErr, before));
    ASSERT_EQ(Stats().HeaderErr, before + 1);
    // A datagram from a foreign port is ignored without counting.  It is
    // sent before the frame that follows, and our side reads its socket in
    // order: once that frame has arrived, the foreign one has been seen.
    sim->shim().sendForeign(cssim::Shim::BadFrame({1, 2, 3}, 10, 0x02, 100));
    sim->sendRaw(k41);
    ASSERT_TRUE(peer->Next([](const Bytes& b) { return b.size() == 20 && b[0] == 0x41; }));
    EXPECT_EQ(Stats().HeaderErr, before + 1);
}

TEST_F(ShimFixture, DataCheckCatchesTheLastByteOnly)
{
    const uint64_t before = Stats().DataErr;
    sim->shim().addTargeted(XorNext(0, 19));
    sim->sendRaw(k41);
    EXPECT_TRUE(WaitStat(&OlnkStatistics::DataErr, before));
    auto m = peer->Next([](const Bytes& b) { return b.size() == 20 && b[0] == 0x41; });
    ASSERT_TRUE(m);
    EXPECT_EQ(*m, k41); // resent intact
    // The 10th data byte is outside the last 14 bits: delivered as 0x40.
    const uint64_t dataErr = Stats().DataErr;
    sim->shim().addTargeted(XorNext(0, 9));
    sim->sendRaw(k41);
    auto w = peer->Next([](const Bytes& b) { return b.size() == 20 && b[0] == 0x41; });
    ASSERT_TRUE(w);
    Bytes expected = k41;
    expected[9] = 0x40;
    EXPECT_EQ(*w, expected);
    EXPECT_EQ(Stats().DataErr, dataErr);
}

TEST_F(ShimFixture, DropDuplicateAndSilence)
{
    cssim::TargetedFault f;
    f.match.direction = 0;
    f.match.cls = 1;
    f.match.code = 0;
    f.action = cssim::FrameAction::Drop;
    sim->shim().addTargeted(f);
    ASSERT_TRUE(peer->Send(Hex("01 00 00 01 00 00 00")));
    // The dropped request is resent by our side's window and answered once.
    ASSERT_TRUE(peer->Reply(0));
    EXPECT_EQ(sim->shim().matched(), 1u);
    f.action = cssim::FrameAction::Duplicate;
    sim->shim().addTargeted(f);
    ASSERT_TRUE(peer->Send(Hex("01 00 00 02 00 00 00")));
    ASSERT_TRUE(peer->Reply(0));
    EXPECT_FALSE(peer->Reply(0, 300)); // a duplicate frame is a repeat, not a new request
    sim->shim().silence(-1, true);
    ASSERT_TRUE(peer->Send(Hex("01 00 00 03 00 00 00")));
    EXPECT_FALSE(peer->Reply(0, 700));
    sim->shim().silence(-1, false);
    EXPECT_TRUE(peer->Reply(0, 5000));
}

} // namespace
