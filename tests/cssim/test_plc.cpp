// The fake PLC against a raw peer: every request's reply byte for byte with
// the vectors of docs/link-protocol.md, forced statuses, pushes.
#include "cssim_test_util.h"
#include "tests/support/platform/Wait.h"

using namespace cssimtest;

namespace {

struct PlcFixture : ::testing::Test
{
    uint16_t ourPort = testsupport::PickFreeUdpPort();
    std::unique_ptr<cssim::Simulator> sim;
    std::unique_ptr<RawLinkPeer> peer;

    void SetUp() override
    {
        cssim::Config cfg;
        cfg.udpLocalPort = testsupport::PickFreeUdpPort();
        cfg.peerPort = ourPort;
        sim = std::make_unique<cssim::Simulator>(cfg);
        ASSERT_TRUE(sim->start());
        peer = std::make_unique<RawLinkPeer>(UdpLoopbackConn(ourPort, sim->publicPort()));
        ASSERT_TRUE(peer->Ok());
        // The simulator answers our connect message with the connect reply.
        auto r = peer->Next([](const Bytes& b) { return b.size() >= 2 && b[0] == 0 && b[1] == 1; });
        ASSERT_TRUE(r);
        EXPECT_EQ(HexText(*r), "00 01 00 00 00 00 00 00 04 00 01 00");
    }
    void TearDown() override
    {
        peer.reset();
        sim.reset();
    }
    Bytes Ask(const std::string& request)
    {
        const Bytes q = Hex(request);
        EXPECT_TRUE(peer->Send(q));
        auto r = peer->Reply(q[2]);
        EXPECT_TRUE(r) << "no reply to " << request;
        return r ? *r : Bytes{};
    }
};

TEST_F(PlcFixture, DocumentVectors)
{
    sim->plc().setFlags(0x000E);
    sim->plc().setPosition(57);
    EXPECT_EQ(HexText(Ask("01 00 00 03 00 00 00")), "01 01 00 03 00 00 00 00 0A 00 0E 00 39 00 00 00 00 00");
    // The same record pushed after a change.
    peer->Clear();
    sim->plc().setFlags(0x0006);
    sim->plc().setFlags(0x000E);
    auto pushed = peer->Next([](const Bytes& b) {
        return b.size() == 17 && b[1] == 2 && b[2] == 0 && b[9] == 0x0E;
    });
    ASSERT_TRUE(pushed);
    EXPECT_EQ(HexText(*pushed), "01 02 00 00 00 00 00 0A 00 0E 00 39 00 00 00 00 00");

    // GetVar of 0x1234 at 0x200 in area 3.
    sim->plc().writeMemory(3, 0x200, {0x34, 0x12});
    EXPECT_EQ(HexText(Ask("01 00 16 09 00 00 00 0A 00 00 02 00 00 03 00 02 00")),
              "01 01 16 09 00 00 00 00 04 00 34 12");
    EXPECT_EQ(HexText(Ask("01 00 0C 04 00 00 00 0C 00 02 00 11 00 00 00 FF E0 F5 05")),
              "01 01 0C 04 00 00 00 FE 02 00 00 FF");
    EXPECT_EQ(sim->plc().breakpoints(), std::vector<uint32_t>{17});

    sim->plc().setRegs(1, -2);
    EXPECT_EQ(HexText(Ask("01 00 1A 00 00 00 00")), "01 01 1A 00 00 00 00 00 01 FE FF FF FF");
    EXPECT_EQ(HexText(Ask("01 00 1B 00 00 00 00 78 56 34 12 01")), "01 01 1B 00 00 00 00 00");
    EXPECT_EQ(sim->plc().dr(), 0x12345678);
    EXPECT_EQ(sim->plc().rlo(), 1);

    sim->plc().writeMemory(3, 0x200, {0xF0});
    EXPECT_EQ(HexText(Ask("01 00 1C 00 00 00 00 00 02 00 00 03 00 08 08")), "01 01 1C 00 00 00 00 00");
    EXPECT_EQ(sim->plc().readMemory(3, 0x200, 1), Bytes{0xF8});

    EXPECT_EQ(HexText(Ask("01 00 19 00 00 00 00 09 00 40 00 00 00 03 00 01")), "01 01 19 00 00 00 00 00");
    sim->plc().setMechanism(0x40, 3, 1, 57);
    EXPECT_EQ(HexText(Ask("01 00 18 06 00 00 00 0C 00 00 00 01 00 40 00 00 00 03 00")),
              "01 01 18 06 00 00 00 00 07 00 01 39 00 00 00");

    sim->plc().executeLine(57, 1, 5);
    EXPECT_EQ(HexText(Ask("01 00 1D 08 00 00 00 0A 00 00 00 01 00 39 00 00 00")),
              "01 01 1D 08 00 00 00 00 07 00 01 05 00 00 00");
}

TEST_F(PlcFixture, WatchPushesCarryTheirParameterAndLayout)
{
    sim->plc().writeMemory(1, 100, {1, 2, 3, 4, 5, 6});
    EXPECT_EQ(HexText(Ask("01 00 10 05 01 00 00 0E 00 C8 00 01 00 64 00 00 00 01 00 06 00")),
              "01 01 10 05 01 00 00 00");
    auto p1 = peer->Push(1);
    ASSERT_TRUE(p1);
    EXPECT_EQ(HexText(*p1), "01 02 01 05 01 00 00 01 00 00 01 02 03 04 05 06");

    sim->plc().setMechanism(0x40, 3, 1, 57);
    EXPECT_EQ(HexText(Ask("01 00 15 06 02 00 00 0C 00 F4 01 01 00 40 00 00 00 03 00")),
              "01 01 15 06 02 00 00 00");
    auto p5 = peer->Push(5);
    ASSERT_TRUE(p5);
    EXPECT_EQ(HexText(*p5), "01 02 05 06 02 00 00 01 00 01 39 00 00 00");

    sim->plc().executeLine(57, 1, 5);
    EXPECT_EQ(HexText(Ask("01 00 13 07 03 00 00 0A 00 FA 00 01 00 39 00 00 00")),
              "01 01 13 07 03 00 00 00");
    auto p4 = peer->Push(4);
    ASSERT_TRUE(p4);
    EXPECT_EQ(HexText(*p4), "01 02 04 07 03 00 00 01 00 00 01 05 00 00 00");
    // Each push ages the line by 16.
    auto p4b = peer->Push(4);
    ASSERT_TRUE(p4b);
    EXPECT_EQ((*p4b)[9], 16);

    // A replaced watch stops the old push: after the reply to the new list,
    // only pushes with the new parameter come.
    EXPECT_EQ(HexText(Ask("01 00 10 06 01 00 00 0E 00 32 00 01 00 64 00 00 00 01 00 06 00")),
              "01 01 10 06 01 00 00 00");
    peer->Clear();
    for (int i = 0; i < 4; ++i) {
        auto p = peer->Push(1);
        ASSERT_TRUE(p);
        EXPECT_EQ((*p)[3], 6) << "a push of the replaced list";
    }
    // Interval 0 stops the push.  The pushes sent before the reply come
    // before it on the link, so once it is here they are all in.
    Ask("01 00 10 07 01 00 00 0E 00 00 00 01 00 64 00 00 00 01 00 06 00");
    peer->Clear();
    EXPECT_FALSE(peer->Push(1, 400));
}

TEST_F(PlcFixture, PushIntervalWithinLooseBounds)
{
    Ask("01 00 10 05 01 00 00 0E 00 64 00 01 00 64 00 00 00 01 00 06 00");
    ASSERT_TRUE(peer->Push(1));
    const auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < 10; ++i)
        ASSERT_TRUE(peer->Push(1));
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count();
    EXPECT_GE(ms, 700); // 10 intervals of 100 ms, loosely
    EXPECT_LE(ms, 3000);
}

TEST_F(PlcFixture, CommandsAndTheirStatuses)
{
    EXPECT_EQ(HexText(Ask("01 00 06 01 00 00 00")), "01 01 06 01 00 00 00 FF"); // not loaded
    EXPECT_EQ(HexText(Ask("01 00 08 01 00 00 00")), "01 01 08 01 00 00 00 FE"); // not running
    EXPECT_EQ(HexText(Ask("01 00 09 01 00 00 00")), "01 01 09 01 00 00 00 FE"); // not loaded
    sim->plc().setFlags(cssim::FLAG_LOADED);
    EXPECT_EQ(Ask("01 00 06 01 00 00 00")[7], 0);
    EXPECT_EQ(sim->plc().flags(), cssim::FLAG_LOADED | cssim::FLAG_RUNNING);
    EXPECT_EQ(Ask("01 00 09 01 00 00 00")[7], 0xFF); // running without a position
    Ask("01 00 0B 01 00 00 00 0A 00 2A 00 00 00 01 00 00 00"); // breakpoint 42
    EXPECT_EQ(Ask("01 00 08 01 00 00 00")[7], 0);
    EXPECT_EQ(sim->plc().position(), 42u);
    EXPECT_EQ(Ask("01 00 09 01 00 00 00")[7], 0);
    EXPECT_EQ(sim->plc().position(), 43u);
    EXPECT_EQ(Ask("01 00 0D 01 00 00 00")[7], 0);
    EXPECT_TRUE(sim->plc().breakpoints().empty());
    Ask("01 00 04 01 00 00 00");
    EXPECT_TRUE(sim->plc().flags() & cssim::FLAG_ASLEEP);
    Ask("01 00 05 01 00 00 00");
    EXPECT_FALSE(sim->plc().flags() & cssim::FLAG_ASLEEP);
    Ask("01 00 07 01 00 00 00");
    EXPECT_EQ(sim->plc().flags(), cssim::FLAG_LOADED);
    EXPECT_EQ(Ask("01 00 0A 01 00 00 00 01")[7], 0);
    EXPECT_EQ(Ask("01 00 0A 01 00 00 00 05")[7], 0xFE);
    EXPECT_EQ(Ask("01 00 03 01 00 00 00")[7], 0);
    EXPECT_EQ(sim->plc().flags(), 0);
    for (const char* q : {"01 00 0E 01 00 00 00 02 00", "01 00 0F 01 00 00 00", "01 00 14 01 00 00 00 00"})
        EXPECT_EQ(Ask(q)[7], 0x80) << q;
    EXPECT_EQ(HexText(Ask("01 00 1F 01 00 00 00")), "01 01 1F 01 00 00 00 81");
    EXPECT_EQ(HexText(Ask("01 00 FF 01 00 00 00")), "01 01 FF 01 00 00 00 81");
}

TEST_F(PlcFixture, BadBlocksAndLimits)
{
    // A block whose own length disagrees with the message.
    EXPECT_EQ(Ask("01 00 16 01 00 00 00 0B 00 00 02 00 00 03 00 02 00")[7], 0xFF);
    // Its count disagrees with its length.
    EXPECT_EQ(Ask("01 00 10 01 00 00 00 0E 00 C8 00 02 00 64 00 00 00 01 00 06 00")[7], 0xFF);
    // Outside the area.
    EXPECT_EQ(Ask("01 00 16 01 00 00 00 0A 00 FF FF 00 00 03 00 02 00")[7], 0xFF);
    EXPECT_EQ(Ask("01 00 16 01 00 00 00 0A 00 00 00 00 00 10 00 02 00")[7], 0xFF);
    // A watch whose push would exceed 1015 bytes: two entries of 600 bytes.
    EXPECT_EQ(Ask("01 00 10 01 00 00 00 16 00 C8 00 02 00 00 00 00 00 01 00 58 02 00 00 00 00 02 00 58 02")[7], 0xFC);
    EXPECT_EQ(sim->plc().watch().interval, 0); // a refused one leaves none in force
    // Too many entries: 169 line registers.
    Bytes w = Hex("01 00 13 01 00 00 00");
    const uint16_t len = 6 + 4 * 169;
    w.push_back(uint8_t(len));
    w.push_back(uint8_t(len >> 8));
    w.insert(w.end(), {0xC8, 0, 169, 0});
    for (int i = 0; i < 169; ++i)
        w.insert(w.end(), {1, 0, 0, 0});
    ASSERT_TRUE(peer->Send(w));
    auto r = peer->Reply(19);
    ASSERT_TRUE(r);
    EXPECT_EQ((*r)[7], 0xFD);
    // A truncated message (under 7 bytes) is dropped and recorded.
    ASSERT_TRUE(peer->Send(Hex("01 00 00")));
    EXPECT_TRUE(sim->recorder().waitFor([](const cssim::Record& x) { return x.bytes.size() == 3; }, 3s));
    // Unknown class: 130; class-0 request with a code: 129.
    EXPECT_TRUE(peer->Send(Hex("05 00 09 07 00 00 00")));
    auto u = peer->Next([](const Bytes& b) { return b[0] == 5; });
    ASSERT_TRUE(u);
    EXPECT_EQ(HexText(*u), "05 01 09 07 00 00 00 82");
}

TEST_F(PlcFixture, InformationRecords)
{
    cssim::PlcInfo info; // the default cassette version reads "6.349"
    info.comment = "PLC";
    sim->plc().setInfo(info);
    sim->plc().setSums(0x1234, 0xBEEF);
    Bytes r = Ask("01 00 01 02 00 00 00");
    ASSERT_EQ(r.size(), 58u);
    EXPECT_EQ(r[8], 50);
    EXPECT_EQ(r[8 + 6] | r[8 + 7] << 8, 0x6349);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&r[8 + 10])), "PLC");
    EXPECT_EQ(r[8 + 42] | r[8 + 43] << 8, 0xBEEF);
    EXPECT_EQ(r[8 + 44] | r[8 + 45] << 8, 0x1234);
    Bytes x = Ask("01 00 1E 02 00 00 00");
    ASSERT_GT(x.size(), 8u + 92);
    const uint8_t* d = x.data() + 8;
    EXPECT_EQ(size_t(d[0] | d[1] << 8), x.size() - 8);
    EXPECT_EQ(d[2] | d[3] << 8, 0xBEEF);
    const uint32_t nameAt = d[72] | d[73] << 8;
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(d + nameAt)), "cssim");
    auto ex = sim->plc().infoEx();
    ex.answer = 129;
    sim->plc().setInfoEx(ex);
    EXPECT_EQ(HexText(Ask("01 00 1E 02 00 00 00")), "01 01 1E 02 00 00 00 81");
}

TEST_F(PlcFixture, ScriptedReplies)
{
    cssim::RequestScript s;
    s.status = -3;
    sim->scriptRequest(0, s);
    EXPECT_EQ(Ask("01 00 00 01 00 00 00")[7], 0xFD);
    s = {};
    s.wrongParameter = true;
    s.twice = true;
    s.extra = {0xAA};
    sim->scriptRequest(26, s);
    EXPECT_EQ(HexText(Ask("01 00 1A 01 00 00 00")), "01 01 1A 02 00 00 00 00 00 00 00 00 00 AA");
    EXPECT_TRUE(peer->Reply(26));
    s = {};
    s.cut = 3;
    sim->scriptRequest(26, s);
    EXPECT_EQ(HexText(Ask("01 00 1A 01 00 00 00")), "01 01 1A 01 00 00 00 00 00 00");
    s = {};
    s.drop = true;
    sim->scriptRequest(26, s);
    peer->Send(Hex("01 00 1A 01 00 00 00"));
    EXPECT_FALSE(peer->Reply(26, 300));
    sim->clearRequestScript(26);
    s = {};
    s.data = Bytes{1, 2, 3};
    sim->scriptRequest(7, s);
    EXPECT_EQ(HexText(Ask("01 00 07 01 00 00 00")), "01 01 07 01 00 00 00 00 01 02 03");
    // Pushes by script.
    sim->push(2, 9, {7, 7});
    auto p = peer->Push(2);
    ASSERT_TRUE(p);
    EXPECT_EQ(HexText(*p), "01 02 02 09 00 00 00 07 07");
    sim->pushType3(4, 1, {});
    EXPECT_TRUE(peer->Next([](const Bytes& b) { return b[0] == 1 && b[1] == 3 && b[2] == 4; }));
    peer->Clear();
    sim->plc().hitBreakpoint(12);
    auto st = peer->Push(0);
    ASSERT_TRUE(st);
    EXPECT_EQ(HexText(*st), "01 02 00 00 00 00 00 0A 00 08 00 0C 00 00 00 00 00");
}

} // namespace

TEST_F(PlcFixture, ResetsTravelOnlyInConnectFrames)
{
    const uint64_t connects = sim->connectsReceived();
    const uint64_t bad = sim->recorder().malformed();
    // A connect message in an ordinary frame resets nothing.
    ASSERT_TRUE(peer->Send(Hex("00 00 00 00 00 00 00 04 00 01 00")));
    EXPECT_EQ(Ask("01 00 00 01 00 00 00").size(), 18u);
    EXPECT_EQ(sim->connectsReceived(), connects);
    EXPECT_EQ(sim->recorder().malformed(), bad + 1);
    EXPECT_NE(sim->linkState(), OLNK_STATE_RESET_BY_US);

    // A connect frame that carries something else is still the peer's
    // reset; the simulator meets it with its own reset, its connect message
    // in frame 1, as the program does (a reply would leave a peer that
    // keeps the rules reset for good).  First both channels leave link
    // state 3 of the first connect (frames numbered 0 in both directions).
    for (int i = 0; i < 130; ++i)
        ASSERT_TRUE(peer->Send(Hex("01 00 00 02 00 00 00")));
    testsupport::WaitUntil([&] {
        return sim->linkState() == OLNK_STATE_RUNNING && OlnkGetLinkState(peer->Channel()) == OLNK_STATE_RUNNING;
    });
    ASSERT_EQ(sim->linkState(), OLNK_STATE_RUNNING);
    peer->Clear();
    const uint8_t junk[] = {1, 2, 3};
    ASSERT_EQ(OlnkConnect(peer->Channel(), 3, junk), 1);
    auto r = peer->Next([](const Bytes& b) { return b.size() >= 3 && b[0] == 0 && b[1] == 0 && b[2] == 0; });
    ASSERT_TRUE(r);
    EXPECT_EQ(OlnkGetLinkState(peer->Channel()), OLNK_STATE_RESET_DONE);
    EXPECT_EQ(Ask("01 00 00 03 00 00 00").size(), 18u);
    EXPECT_GE(sim->recorder().malformed(), bad + 2);
}
