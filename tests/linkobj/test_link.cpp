// The link object with the real message bridge under QCoreApplication,
// opened as the project opens it, against a raw control system (a passive
// channel over UDP on 127.0.0.1 whose replies and pushes the test writes)
// and against a second session that serves files.
#include "link_test_env.h"

#include "platform/sys/LastError.h"
#include "tests/support/platform/TempDir.h"
#include "tests/support/platform/Wait.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace linktest;

namespace {

class LinkPeer : public ::testing::Test
{
protected:
    void SetUp() override
    {
        App();
        const uint16_t ours = testsupport::PickFreeUdpPort();
        const uint16_t theirs = testsupport::PickFreeUdpPort();
        peer = std::make_unique<RawPeer>(theirs, ours);
        ASSERT_TRUE(peer->Ok());
        link = std::make_unique<COlnkLink>(linkui::WindowPoster());
        const std::u16string cs = Wide(UdpLoopbackConn(ours, theirs));
        ASSERT_EQ(link->Open(333, cs.c_str(), 1000), 1);
        for (uint16_t id : {0, 1, 2, 258})
            ASSERT_EQ(link->InitInterface(id), 1);
        ASSERT_EQ(link->Start(), 1);
        ASSERT_TRUE(Pump([&] { return link->IsEstablished(); }));
        ASSERT_EQ(link->RegisterWindow(list0.handle, 0), 1);
        ASSERT_EQ(link->RegisterWindow(list1.handle, 1), 1);
        pl = static_cast<IOlnkPL*>(link->Query(OLNK_IID_PL));
        // Once up, the link sends the breakpoints it wants (none), as the
        // control system's are unknown; confirmed, they ask nothing more.
        Bytes m;
        peer->Reply(12, Next(m, 12), 0, {0, 0});
        EXPECT_EQ(HexText(m, 7), "04 00 00 00");
        ASSERT_TRUE(Pump([&] { return link->BreakpointsConfirmed(); }));
    }
    void TearDown() override
    {
        link.reset();
        peer.reset();
        PumpFor(20);
    }
    // The next request the peer receives; its wire parameter.
    uint32_t Next(Bytes& m, uint8_t code)
    {
        EXPECT_TRUE(peer->Receive(m));
        EXPECT_GE(m.size(), 7u);
        if (m.size() < 7)
            return 0;
        EXPECT_EQ(m[0], 1);
        EXPECT_EQ(m[1], 0);
        EXPECT_EQ(m[2], code);
        return U32(m.data() + 3);
    }
    std::unique_ptr<RawPeer> peer;
    std::unique_ptr<COlnkLink> link;
    IOlnkPL* pl = nullptr;
    Target target, list0, list1;
};

} // namespace

TEST_F(LinkPeer, ControlOperations)
{
    EXPECT_EQ(link->Query(OLNK_IID_PL), static_cast<void*>(static_cast<IOlnkPL*>(link.get())));
    EXPECT_EQ(link->Query(OLNK_IID_DBGPLCC), static_cast<void*>(static_cast<IDbgPLCC*>(link.get())));
    EXPECT_EQ(link->Query(OLNK_IID_OXFRC), static_cast<void*>(static_cast<IOxfrC*>(link.get())));
    EXPECT_EQ(link->Query(OLNK_IID_OXFRS), static_cast<void*>(static_cast<IOxfrS*>(link.get())));
    EXPECT_EQ(link->Query(3), nullptr);
    EXPECT_TRUE(link->IsOpen());
    EXPECT_TRUE(link->IsConnected());
    EXPECT_EQ(link->GetLinkId(), 333u);
    EXPECT_EQ(link->Start(), 1); // a second Start
    EXPECT_EQ(link->Open(1, u"Type = UDP; RemoteIP = 127.0.0.1; RemotePort = 1; LocalPort = 0;", 1000), 0);
    EXPECT_EQ(sys::GetLastError(), 0xE0020003u);
    EXPECT_EQ(link->RegisterWindow(target.handle, 2), 0);
    EXPECT_EQ(link->RegisterWindow(list0.handle, 0), 1); // at most once per list
    linkui::LinkWindow w(list0.handle);
    EXPECT_EQ(link->UnregisterWindow(&w, 0), 1);
    EXPECT_EQ(link->UnregisterWindow(&w, 0), 0);
    EXPECT_EQ(link->RegisterWindow(&w, 0), 1);

    COlnkLink idle(linkui::WindowPoster());
    EXPECT_EQ(idle.GetStatus(target.handle, 1), 0);
    EXPECT_EQ(sys::GetLastError(), 0xE0020005u);
    EXPECT_EQ(idle.Start(), 0);
    EXPECT_EQ(sys::GetLastError(), 0xE0020005u);
    EXPECT_EQ(idle.Close(), 0);
    EXPECT_FALSE(idle.IsOpen());
    EXPECT_FALSE(idle.IsConnected());
    OlnkStatistics st{};
    st.size = sizeof st;
    EXPECT_FALSE(idle.GetStatistics(&st));
    // A session that cannot be opened leaves its last error.
    EXPECT_EQ(idle.Open(5, u"Type = UDP; RemoteIP = 0.0.0.0;", 100), 0);
    EXPECT_EQ(sys::GetLastError(), 0xE0020003u);
    EXPECT_FALSE(idle.IsOpen());
}

TEST_F(LinkPeer, RepliesReachTheRequestingTargetWithCopies)
{
    ASSERT_EQ(pl->GetStatus(target.handle, 77), 1);
    Bytes m;
    uint32_t wire = Next(m, 0);
    EXPECT_EQ(wire % 256 + 256 * (wire / 256), wire);
    peer->Reply(0, wire, 0, {10, 0, 0x0E, 0, 57, 0, 0, 0, 0, 0});
    ASSERT_TRUE(Pump([&] { return target.Count(WM_LINK_RESULT) == 1 && list1.Count(WM_LINK_NOTIFY) == 1; }));
    Got g = target.Of(WM_LINK_RESULT)[0];
    EXPECT_EQ(g.msg, 0x800Au);
    EXPECT_EQ(g.wParam, 333u);
    EXPECT_EQ(g.rec.linkId, 333u);
    EXPECT_EQ(g.rec.kind, 0);
    EXPECT_EQ(g.rec.status, 0);
    EXPECT_EQ(g.rec.parameter, 77u);
    EXPECT_EQ(g.rec.extra, nullptr);
    EXPECT_EQ(HexText(g.data), "0A 00 0E 00 39 00 00 00 00 00");
    EXPECT_EQ(list1.Of(WM_LINK_NOTIFY)[0].msg, 0x800Bu);
    EXPECT_EQ(list1.Of(WM_LINK_NOTIFY)[0].lParam, 0);
    EXPECT_EQ(list0.Count(WM_LINK_NOTIFY), 0u);
    PlcStatusRecord s{};
    ASSERT_TRUE(pl->GetLastStatus(&s));
    EXPECT_EQ(uint16_t{s.flags}, 0x0E);
    EXPECT_EQ(uint32_t{s.index}, 57u);

    // A pointer-sized parameter comes back whole; short data is padded.
    const std::uintptr_t item = reinterpret_cast<std::uintptr_t>(&target);
    ASSERT_EQ(pl->GetRegs(target.handle, item), 1);
    wire = Next(m, 26);
    peer->Reply(26, wire, 0, {1, 0xFE});
    // Kind 1 without data and a refused kind 30.
    ASSERT_EQ(pl->GetPLCInfo(target.handle, 2), 1);
    peer->Reply(1, Next(m, 1), 0);
    ASSERT_EQ(pl->GetPLCInfoEx(target.handle, 3), 1);
    peer->Reply(30, Next(m, 30), int8_t(129));
    ASSERT_TRUE(Pump([&] { return target.Count(WM_LINK_RESULT) == 4; }));
    auto r = target.Of(WM_LINK_RESULT);
    EXPECT_EQ(r[1].rec.parameter, item);
    EXPECT_EQ(r[1].rec.kind, 26);
    EXPECT_EQ(r[1].rec.dataLength, 2u);
    EXPECT_EQ(r[2].rec.kind, 1);
    EXPECT_NE(r[2].rec.data, nullptr); // padded to 50 bytes of zero
    EXPECT_EQ(r[3].rec.kind, 30);
    EXPECT_EQ(r[3].rec.status, -127);
    EXPECT_EQ(r[3].rec.data, nullptr);
    uint8_t info[64];
    uint32_t len = 0;
    EXPECT_TRUE(pl->GetLastPLCInfo(false, info, sizeof info, &len));
    EXPECT_EQ(len, 0u);
    EXPECT_FALSE(pl->GetLastPLCInfo(true, info, sizeof info, &len));

    // The word-and-byte form of SetRegs; the byte of BackupPLC.
    ASSERT_EQ(pl->SetRegs(target.handle, 0, 1, 0x12345678), 1);
    Next(m, 27);
    EXPECT_EQ(HexText(m, 7), "78 56 34 12 01");
    EXPECT_EQ(pl->BackupPLC(target.handle, 0, 256), 0);
    EXPECT_EQ(sys::GetLastError(), 0xE0020003u);
    ASSERT_EQ(pl->BackupPLC(target.handle, 0, 1), 1);
    Next(m, 10);
    EXPECT_EQ(HexText(m, 7), "01");

    // Bad blocks are refused and nothing is sent.
    const uint8_t getVar11[12] = {11, 0};
    EXPECT_EQ(pl->GetVar(target.handle, 0, getVar11), 0);
    EXPECT_EQ(sys::GetLastError(), 0xE0020003u);
    const uint8_t getMech[6] = {6, 0, 0, 0, 0, 0};
    EXPECT_EQ(pl->GetMech(target.handle, 0, getMech), 0);
    PumpFor(50);
    EXPECT_EQ(peer->Pending(), 0u);

    // GetVar with its reply copied.
    const uint8_t getVar[10] = {10, 0, 0, 2, 0, 0, 3, 0, 2, 0};
    ASSERT_EQ(pl->GetVar(target.handle, 9, getVar), 1);
    wire = Next(m, 22);
    EXPECT_EQ(HexText(m, 7), "0A 00 00 02 00 00 03 00 02 00");
    peer->Reply(22, wire, 0, {4, 0, 0x34, 0x12});
    ASSERT_TRUE(Pump([&] { return target.Count(WM_LINK_RESULT) == 5; }));
    EXPECT_EQ(HexText(target.Of(WM_LINK_RESULT)[4].data), "04 00 34 12");
}

TEST_F(LinkPeer, UntrustedRepliesAreIgnoredAndCounted)
{
    ASSERT_EQ(pl->StopPLC(target.handle, 5), 1);
    Bytes m;
    const uint32_t wire = Next(m, 7);
    const uint64_t before = link->IgnoredReplies();
    peer->Reply(7, wire + 256, 0);  // a later use of the same slot
    peer->Reply(7, wire + 1, 0);    // another slot
    peer->Reply(6, wire, 0);        // another code
    peer->Reply(7, 0xFFFFFFFF, 0);  // nonsense
    peer->Reply(7, wire, -2);
    peer->Reply(7, wire, 0);        // a duplicate
    ASSERT_TRUE(Pump([&] { return link->IgnoredReplies() >= before + 5; }));
    PumpFor(50);
    ASSERT_EQ(target.Count(WM_LINK_RESULT), 1u);
    EXPECT_EQ(target.Of(WM_LINK_RESULT)[0].rec.status, -2);
    EXPECT_EQ(target.Of(WM_LINK_RESULT)[0].rec.parameter, 5u);
}

TEST_F(LinkPeer, WatchListMergedAndPushesPaired)
{
    ASSERT_EQ(pl->SetWatchPeriod(target.handle, 0, 200, 0), 1);
    ASSERT_EQ(pl->AddWatch(target.handle, 0, 1, 100, 4, 0), 1);
    ASSERT_EQ(pl->AddWatch(target.handle, 0, 1, 104, 2, 0), 1);
    ASSERT_EQ(pl->AddWatch(target.handle, 0, 1, 102, 2, 0), 1);
    ASSERT_EQ(pl->AddWatch(target.handle, 0, 2, 0, 1, 0), 1);
    EXPECT_EQ(pl->GetWatchValue(1, 100, 1, nullptr, 0), -1);
    ASSERT_EQ(pl->CommitWatch(target.handle, 0), 1);
    Bytes m;
    const uint32_t wire = Next(m, 16);
    EXPECT_EQ(HexText(m, 7), "16 00 C8 00 02 00 64 00 00 00 01 00 06 00 00 00 00 00 02 00 01 00");
    peer->Reply(16, wire, 0);
    uint8_t v[8] = {};
    ASSERT_TRUE(Pump([&] { return target.Count(WM_LINK_RESULT) == 1; }));
    EXPECT_EQ(target.Of(WM_LINK_RESULT)[0].rec.kind, 16);
    EXPECT_EQ(pl->GetWatchValue(1, 104, 1, v, 8), -1); // no push yet
    peer->Push(1, wire, {2, 0, 0, 1, 2, 3, 4, 5, 6, 0xFE, 0});
    ASSERT_TRUE(Pump([&] { return list1.Count(WM_LINK_NOTIFY) == 1; }));
    EXPECT_EQ(list1.Of(WM_LINK_NOTIFY)[0].lParam, 1);
    EXPECT_EQ(list0.Count(WM_LINK_NOTIFY), 0u);
    EXPECT_EQ(pl->GetWatchValue(1, 102, 1, v, 8), 0);
    EXPECT_EQ(v[0], 3);
    EXPECT_EQ(v[1], 4);
    EXPECT_EQ(pl->GetWatchValue(2, 0, 1, v, 8), -2);

    // A new list; a late push of the old one is ignored.
    ASSERT_EQ(pl->RemoveWatch(target.handle, 0, 2, 0, 1, 1), 1);
    const uint32_t wire2 = Next(m, 16);
    EXPECT_NE(wire2, wire);
    const uint64_t before = link->IgnoredReplies();
    peer->Push(1, wire, {1, 0, 0, 9, 9, 9, 9, 9, 9});
    ASSERT_TRUE(Pump([&] { return link->IgnoredReplies() == before + 1; }));
    EXPECT_EQ(list1.Count(WM_LINK_NOTIFY), 1u);
    peer->Reply(16, wire2, -4);
    ASSERT_TRUE(Pump([&] { return target.Count(WM_LINK_RESULT) == 2; }));
    EXPECT_EQ(pl->GetWatchValue(1, 100, 1, v, 8), -4);

    // Pushes of the other kinds.
    peer->Push(2, 0, {});
    peer->Push(3, 0, {});
    peer->Push(0, 0, {10, 0, 0x04, 0, 0, 0, 0, 0, 0, 0});
    peer->Push(9, 0, {}); // not a kind
    ASSERT_TRUE(Pump([&] { return list1.Count(WM_LINK_NOTIFY) == 4; }));
    auto n = list1.Of(WM_LINK_NOTIFY);
    EXPECT_EQ(n[1].lParam, 2);
    EXPECT_EQ(n[2].lParam, 3);
    EXPECT_EQ(n[3].lParam, 0);
    PlcStatusRecord s{};
    pl->GetLastStatus(&s);
    EXPECT_EQ(uint16_t{s.flags}, 0x04);
}

// Watch values pushed faster than the window handles them: one notice waits
// for the window at most, and the pushes that came meanwhile bring one more
// once it was handled.  (A notice for each push queued up without end on a
// busy machine, and the window's thread handled nothing else.)
TEST_F(LinkPeer, PushesFasterThanTheWindowWaitAsOneNotice)
{
    ASSERT_EQ(pl->SetWatchPeriod(target.handle, 0, 200, 0), 1);
    ASSERT_EQ(pl->AddWatch(target.handle, 0, 1, 100, 1, 1), 1);
    Bytes m;
    const uint32_t wire = Next(m, 16);
    peer->Reply(16, wire, 0);
    ASSERT_TRUE(Pump([&] { return target.Count(WM_LINK_RESULT) == 1; }));
    uint8_t v = 0;
    auto value = [&] { return pl->GetWatchValue(1, 100, 1, &v, 1) == 0 ? int(v) : -1; };
    // The user-interface thread is busy: nothing is handled meanwhile.
    for (uint8_t i = 1; i <= 100; ++i)
        peer->Push(1, wire, {1, 0, 0, i});
    ASSERT_TRUE(testsupport::WaitUntil([&] { return value() == 100; }));
    ASSERT_TRUE(Pump([&] { return list1.Count(WM_LINK_NOTIFY) == 2; }));
    peer->Push(1, wire, {1, 0, 0, 101});
    ASSERT_TRUE(Pump([&] { return list1.Count(WM_LINK_NOTIFY) == 3 && value() == 101; }));
    for (const Got& g : list1.Of(WM_LINK_NOTIFY))
        EXPECT_EQ(g.lParam, 1);
}

TEST_F(LinkPeer, MechanismsAndLines)
{
    ASSERT_EQ(pl->SetWatchMechPeriod(target.handle, 0, 500, 0), 1);
    ASSERT_EQ(pl->AddWatchMech(target.handle, 0, 3, 0x40, 0), 1);
    ASSERT_EQ(pl->AddWatchMech(target.handle, 0, 3, 0x40, 1), 1);
    Bytes m;
    const uint32_t mw = Next(m, 21);
    EXPECT_EQ(HexText(m, 7), "0C 00 F4 01 01 00 40 00 00 00 03 00");
    peer->Reply(21, mw, 0);
    peer->Push(5, mw, {1, 0, 1, 57, 0, 0, 0});
    ASSERT_TRUE(Pump([&] { return list1.Count(WM_LINK_NOTIFY) == 1; }));
    MechStateRecord ms{};
    EXPECT_EQ(pl->GetWatchMechState(3, 0x40, &ms), 0);
    EXPECT_EQ(ms.running, 1);
    EXPECT_EQ(uint32_t{ms.index}, 57u);

    ASSERT_EQ(pl->SetWatchRegsOnLinePeriod(target.handle, 0, 250, 0), 1);
    ASSERT_EQ(pl->AddWatchRegsOnLine(target.handle, 0, 57, 0), 1);
    ASSERT_EQ(pl->AddWatchRegsOnLine(target.handle, 0, 57, 0), 1);
    ASSERT_EQ(pl->RemoveWatchRegsOnLine(target.handle, 0, 57, 1), 1); // another view's line stays
    const uint32_t lw = Next(m, 19);
    EXPECT_EQ(HexText(m, 7), "0A 00 FA 00 01 00 39 00 00 00");
    peer->Push(4, lw, {1, 0, 0, 1, 5, 0, 0, 0});
    ASSERT_TRUE(Pump([&] { return list1.Count(WM_LINK_NOTIFY) == 2; }));
    LineRegsRecord lr{};
    EXPECT_EQ(pl->GetWatchRegsOnLine(57, &lr), 0);
    EXPECT_EQ(lr.rlo, 1);
    EXPECT_EQ(int32_t{lr.dr}, 5);
    EXPECT_EQ(pl->GetWatchRegsOnLine(58, &lr), -1);
}

TEST_F(LinkPeer, Breakpoints)
{
    auto rec = [](uint32_t index, uint32_t set) {
        Bytes b{10, 0};
        Put32(b, index);
        Put32(b, set);
        return b;
    };
    ASSERT_EQ(pl->SetBrkAtLine(target.handle, 0, rec(99, 1).data()), 1);
    Bytes m;
    Next(m, 12);
    EXPECT_EQ(HexText(m, 7), "08 00 01 00 63 00 00 00");
    ASSERT_EQ(pl->SetBrkAtLine(target.handle, 0, rec(17, 1).data()), 1);
    const uint32_t wire = Next(m, 12);
    EXPECT_EQ(HexText(m, 7), "0C 00 02 00 11 00 00 00 63 00 00 00");
    // Unchanged: nothing sent.
    ASSERT_EQ(pl->SetBrkAtLine(target.handle, 0, rec(17, 1).data()), 1);
    ASSERT_EQ(pl->SetBrkAtLine(target.handle, 0, rec(5, 0).data()), 1);
    PumpFor(50);
    EXPECT_EQ(peer->Pending(), 0u);
    EXPECT_EQ(pl->GetBrkState(17), -1); // no reply yet
    peer->Reply(12, wire, -2, {2, 0, 0, 0xFF});
    ASSERT_TRUE(Pump([&] { return target.Count(WM_LINK_RESULT) >= 1; }));
    ASSERT_TRUE(Pump([&] { return pl->GetBrkState(17) == 0; }));
    EXPECT_EQ(pl->GetBrkState(99), -1);
    EXPECT_EQ(pl->GetBrkState(5), -1);

    // 253 at most.
    Bytes block{uint8_t((4 + 4 * 253) & 0xFF), uint8_t((4 + 4 * 253) >> 8), 253, 0};
    for (uint32_t i = 1; i <= 253; ++i)
        Put32(block, i);
    ASSERT_EQ(pl->SetBrksAtLine(target.handle, 0, block.data()), 1);
    Next(m, 12);
    EXPECT_EQ(m.size(), 7u + 4 + 4 * 253);
    EXPECT_EQ(pl->SetBrkAtLine(target.handle, 0, rec(1000, 1).data()), 0);
    EXPECT_EQ(sys::GetLastError(), 0xE0020003u);
    block[2] = 254;
    EXPECT_EQ(pl->SetBrksAtLine(target.handle, 0, block.data()), 0);
    ASSERT_EQ(pl->ClearBrks(target.handle, 0), 1);
    Next(m, 13);
    EXPECT_EQ(m.size(), 7u);
    ASSERT_EQ(pl->SetBrkAtLine(target.handle, 0, rec(3, 1).data()), 1);
    Next(m, 12);
    EXPECT_EQ(HexText(m, 7), "08 00 01 00 03 00 00 00");
}

TEST_F(LinkPeer, PeerResetLinkEventAndClose)
{
    ASSERT_EQ(pl->RunPLC(target.handle, 41), 1);
    Bytes m;
    Next(m, 6);
    const uint64_t ignored = link->IgnoredReplies();
    peer->ResetNow([&](uint64_t n) { return link->IgnoredReplies() >= ignored + n; });
    ASSERT_TRUE(Pump([&] { return target.Count(WM_LINK_RESULT) == 1; }));
    ASSERT_EQ(list0.Count(WM_LINK_STATE), 1u);
    EXPECT_EQ(list0.Of(WM_LINK_STATE)[0].lParam, 0);
    EXPECT_EQ(list0.Of(WM_LINK_STATE)[0].wParam, 333u);
    EXPECT_EQ(list1.Count(WM_LINK_STATE), 0u);
    EXPECT_EQ(target.Of(WM_LINK_RESULT)[0].rec.status, -123);
    EXPECT_EQ(target.Of(WM_LINK_RESULT)[0].rec.parameter, 41u);

    ASSERT_TRUE(Pump([&] { return link->IsEstablished(); }));
    // The reset made the control system's breakpoints unknown: the link
    // sends the ones it wants (none) once it is up; and the status, which
    // it reads again (when that request came after the next one, the next
    // one was not found where it was looked for).
    peer->Reply(12, Next(m, 12), 0, {0, 0});
    Next(m, 0);
    peer->Send({0, 3, 7, 0, 0, 0, 0});
    ASSERT_TRUE(Pump([&] { return list0.Count(WM_LINK_STATE) == 2; }));
    EXPECT_EQ(list0.Of(WM_LINK_STATE)[1].lParam, 7);

    OlnkStatistics a{}, b{};
    a.size = b.size = sizeof a;
    ASSERT_TRUE(link->GetStatistics(&a));
    EXPECT_EQ(a.size, 120u);
    ASSERT_EQ(pl->WakePLC(target.handle, 42), 1);
    Next(m, 5);
    ASSERT_TRUE(link->GetStatistics(&b));
    EXPECT_GT(b.SendPackets, a.SendPackets);
    OlnkStatistics small{};
    small.size = 8;
    small.SendPackets = 12345;
    ASSERT_TRUE(link->GetStatistics(&small));
    EXPECT_EQ(small.SendPackets, 12345);

    // Close completes the pending request with -124.
    ASSERT_EQ(link->Close(), 1);
    EXPECT_FALSE(link->IsOpen());
    EXPECT_FALSE(link->IsConnected());
    EXPECT_FALSE(link->GetStatistics(&a));
    ASSERT_TRUE(Pump([&] { return target.Count(WM_LINK_RESULT) == 2; }));
    EXPECT_EQ(target.Of(WM_LINK_RESULT)[1].rec.status, -124);
    EXPECT_EQ(target.Of(WM_LINK_RESULT)[1].rec.parameter, 42u);
    EXPECT_EQ(pl->GetStatus(target.handle, 0), 0);
    EXPECT_EQ(sys::GetLastError(), 0xE0020005u);
}

TEST_F(LinkPeer, SlotsRunOutAndGoneTargetsGetNothing)
{
    const int live = ui::LiveMessageRecords();
    for (int i = 0; i < 256; ++i)
        ASSERT_EQ(pl->StepPLC(target.handle, i), 1) << i;
    EXPECT_EQ(pl->StepPLC(target.handle, 256), 0);
    EXPECT_EQ(sys::GetLastError(), 0xE002000Au);
    // The target goes before its replies are delivered.
    auto gone = std::make_unique<Target>();
    Bytes m;
    std::vector<uint32_t> wires;
    for (int i = 0; i < 256; ++i)
        wires.push_back(Next(m, 9));
    ui::UnregisterMessageTarget(target.handle);
    for (uint32_t w : wires)
        peer->Reply(9, w, 0);
    // Slots come back: a request to a target that is destroyed before delivery.
    ASSERT_TRUE(Pump([&] { return pl->GetStatus(gone->handle, 1) == 1; }));
    peer->Reply(0, Next(m, 0), 0, {10, 0, 2, 0, 0, 0, 0, 0, 0, 0});
    PumpFor(100);
    gone.reset();
    PumpFor(100);
    EXPECT_TRUE(target.got.empty());
    EXPECT_EQ(ui::LiveMessageRecords(), live);
}

// ---- Files, against a second session's server ----------------------------------------

namespace {
struct FilePeer : ::testing::Test
{
    void SetUp() override
    {
        App();
        const uint16_t ours = testsupport::PickFreeUdpPort();
        const uint16_t theirs = testsupport::PickFreeUdpPort();
        server = OxfrOpenSessionA(nullptr, UdpLoopbackConn(theirs, ours).c_str(), 1000);
        ASSERT_NE(server, nullptr);
        ASSERT_EQ(OxfrAddShareA(server, share.Path().c_str(), "DATA", 0), 1);
        OlnkResumeSession(server);
        link = std::make_unique<COlnkLink>(linkui::WindowPoster());
        ASSERT_EQ(link->Open(333, Wide(UdpLoopbackConn(ours, theirs)).c_str(), 1000), 1);
        ASSERT_EQ(link->Start(), 1);
        ASSERT_TRUE(Pump([&] { return link->IsEstablished(); }, 20000));
        fc = static_cast<IOxfrC*>(link->Query(OLNK_IID_OXFRC));
    }
    void TearDown() override
    {
        link.reset();
        if (server)
            OxfrCloseSession(server);
        PumpFor(20);
    }
    Got Wait(size_t n)
    {
        EXPECT_TRUE(Pump([&] { return target.Count(WM_XFER_RESULT) >= n; }, 20000));
        auto r = target.Of(WM_XFER_RESULT);
        return r.size() >= n ? r[n - 1] : Got{};
    }
    testsupport::TempDir share, local;
    OxfrSession server = nullptr;
    std::unique_ptr<COlnkLink> link;
    IOxfrC* fc = nullptr;
    Target target;
};

std::atomic<int> g_progressCalls{0};
int Progress(uint32_t, std::uintptr_t ctx, uint32_t, uint32_t)
{
    EXPECT_EQ(ctx, 21u);
    ++g_progressCalls;
    return 0;
}
} // namespace

TEST_F(FilePeer, EveryFileOperationGivesOneResult)
{
    {
        std::ofstream f(local / "a.txt", std::ios::binary);
        f << std::string(3000, 'x');
    }
    const std::u16string la = Wide(local / "a.txt");
    size_t n = 0;
    ASSERT_EQ(fc->CreateDir(target.handle, 11, u"\\DATA\\SUB"), 1);
    Got g = Wait(++n);
    EXPECT_EQ(g.msg, 0x801Eu);
    EXPECT_EQ(g.wParam, 333u);
    EXPECT_EQ(g.rec.kind, 1);
    EXPECT_EQ(g.rec.status, 0);
    EXPECT_EQ(g.rec.parameter, 11u);
    EXPECT_TRUE(std::filesystem::is_directory(share / "SUB"));

    uint32_t job = 0;
    ASSERT_EQ(fc->Put(target.handle, 21, Progress, &job, la.c_str(), u"\\DATA\\SUB\\\u0161.TXT"), 1);
    EXPECT_NE(job, 0u);
    g = Wait(++n);
    EXPECT_EQ(g.rec.kind, 6);
    EXPECT_EQ(g.rec.status, 0);
    EXPECT_GT(g_progressCalls.load(), 0);
    EXPECT_TRUE(std::filesystem::exists(share / "SUB/\u0161.TXT"));

    ASSERT_EQ(fc->GetFileInfo(target.handle, 12, u"\\DATA\\SUB\\\u0161.TXT"), 1);
    g = Wait(++n);
    EXPECT_EQ(g.rec.kind, 5);
    ASSERT_EQ(g.data.size(), sizeof(FileListRecord));
    FileListRecord fl;
    std::memcpy(&fl, g.data.data(), sizeof fl);
    EXPECT_EQ(uint16_t{fl.length}, 554);
    EXPECT_EQ(uint32_t{fl.size}, 3000u);
    EXPECT_EQ(uint32_t{fl.folder}, 0u);
    EXPECT_EQ(std::u16string(fl.name), u"\u0161.TXT");

    // The listing file exists during the handler and is gone afterwards.
    ASSERT_EQ(fc->List(target.handle, 13, nullptr, &job, u"\\DATA\\SUB\\*.*"), 1);
    g = Wait(++n);
    EXPECT_EQ(g.rec.kind, 3);
    EXPECT_EQ(g.rec.status, 0);
    EXPECT_EQ(g.rec.dataLength, (g.listing.size() + 1) * 2);
    EXPECT_TRUE(g.listingExisted);
    EXPECT_FALSE(std::filesystem::exists(std::string(g.listing.begin(), g.listing.end())));

    const std::u16string lb = Wide(local / "b.txt");
    ASSERT_EQ(fc->Get(target.handle, 14, nullptr, &job, u"\\DATA\\SUB\\\u0161.TXT", lb.c_str()), 1);
    g = Wait(++n);
    EXPECT_EQ(g.rec.kind, 4);
    EXPECT_EQ(g.rec.status, 0);
    EXPECT_EQ(std::filesystem::file_size(local / "b.txt"), 3000u);

    ASSERT_EQ(fc->Copy(target.handle, 15, u"\\DATA\\SUB\\\u0161.TXT", u"\\DATA\\C.TXT"), 1);
    EXPECT_EQ(Wait(++n).rec.status, 0);
    ASSERT_EQ(fc->Move(target.handle, 16, u"\\DATA\\C.TXT", u"\\DATA\\D.TXT"), 1);
    EXPECT_EQ(Wait(++n).rec.kind, 8);
    EXPECT_TRUE(std::filesystem::exists(share / "D.TXT"));
    ASSERT_EQ(fc->Delete(target.handle, 17, u"\\DATA\\D.TXT"), 1);
    EXPECT_EQ(Wait(++n).rec.status, 0);
    ASSERT_EQ(fc->Delete(target.handle, 18, u"\\DATA\\SUB\\\u0161.TXT"), 1);
    Wait(++n);
    ASSERT_EQ(fc->RemoveDir(target.handle, 19, u"\\DATA\\SUB"), 1);
    g = Wait(++n);
    EXPECT_EQ(g.rec.kind, 7);
    EXPECT_EQ(g.rec.status, 0);
    EXPECT_FALSE(std::filesystem::exists(share / "SUB"));

    // Failures: a refused path, a missing file, an over-long path.
    ASSERT_EQ(fc->GetFileInfo(target.handle, 20, u"\\DATA\\NONE.TXT"), 1);
    g = Wait(++n);
    EXPECT_LT(g.rec.status, 0);
    EXPECT_EQ(g.rec.data, nullptr);
    const std::u16string longPath = u"\\DATA\\" + std::u16string(260, u'a');
    EXPECT_EQ(fc->Delete(target.handle, 0, longPath.c_str()), 0);
    EXPECT_EQ(sys::GetLastError(), 555u);
    EXPECT_EQ(fc->Get(target.handle, 0, nullptr, &job, u"\\DATA\\x", u"C:\\x"), 0);
    PumpFor(50);
    EXPECT_EQ(target.Count(WM_XFER_RESULT), n);

    // A listing without a window: its file is deleted at once.
    const auto tmpBefore = std::distance(std::filesystem::directory_iterator(std::filesystem::temp_directory_path()),
                                         std::filesystem::directory_iterator());
    ASSERT_EQ(fc->List(0, 0, nullptr, &job, u"\\DATA\\*.*"), 1);
    ASSERT_TRUE(Pump([&] {
        return std::distance(std::filesystem::directory_iterator(std::filesystem::temp_directory_path()),
                             std::filesystem::directory_iterator()) <= tmpBefore;
    }));

    // Shares of this side.
    auto* shares = static_cast<IOxfrS*>(link->Query(OLNK_IID_OXFRS));
    EXPECT_EQ(shares->GetShareCount(), 0);
    ASSERT_EQ(shares->AddShare(Wide(local.Path()).c_str(), u"LOC", 0), 1);
    EXPECT_EQ(shares->GetShareCount(), 1);
    OxfrShareW list[2];
    ASSERT_EQ(shares->GetShares(list, 2), 1);
    EXPECT_EQ(std::u16string(list[0].name), u"LOC");
    EXPECT_EQ(shares->RemoveShare(u"LOC"), 1);
    EXPECT_EQ(shares->GetShareCount(), 0);
}

TEST_F(FilePeer, PlcTransferToASessionThatDoesNotKnowItAndCloseDuringAGet)
{
    auto* pl = static_cast<IOlnkPL*>(link->Query(OLNK_IID_PL));
    uint32_t job = 0;
    {
        auto image = std::make_unique<std::vector<uint8_t>>(5000, 0x5A);
        ASSERT_EQ(pl->TransferPLC(target.handle, 8, nullptr, &job, uint32_t(image->size()), image->data()), 1);
    } // the caller's buffer is freed at once
    ASSERT_TRUE(Pump([&] { return target.Count(WM_LINK_RESULT) == 1; }, 20000));
    EXPECT_EQ(target.Of(WM_LINK_RESULT)[0].rec.kind, 2);
    EXPECT_EQ(target.Of(WM_LINK_RESULT)[0].rec.status, -127);
    EXPECT_EQ(target.Of(WM_LINK_RESULT)[0].rec.parameter, 8u);

    // A big file; Close while it runs ends the job with -124.
    {
        std::ofstream f(share / "BIG.BIN", std::ios::binary);
        f << std::string(8 << 20, 'b');
    }
    const std::u16string lb = Wide(local / "big.bin");
    ASSERT_EQ(static_cast<IOxfrC*>(link->Query(OLNK_IID_OXFRC))
                  ->Get(target.handle, 3, nullptr, &job, u"\\DATA\\BIG.BIN", lb.c_str()),
              1);
    PumpFor(30);
    ASSERT_EQ(link->Close(), 1);
    const Got g = Wait(1);
    EXPECT_EQ(g.rec.kind, 4);
    EXPECT_EQ(g.rec.status, -124);
    EXPECT_FALSE(std::filesystem::exists(local / "big.bin"));
}

TEST_F(LinkPeer, MalformedStatusAndRepliesToNobodyCountAsErrorsAndChangeNothing)
{
    auto errors = [&] {
        OlnkStatistics st{};
        st.size = sizeof st;
        EXPECT_TRUE(link->GetStatistics(&st));
        return st.ProgramErr;
    };
    const uint64_t before = errors();
    peer->Push(0, 0, {10, 0, 0x04, 0, 0, 0, 0, 0, 0, 0});
    ASSERT_TRUE(Pump([&] { return list1.Count(WM_LINK_NOTIFY) == 1; }));
    // Status pushes that are no status record: one byte short, one byte
    // over, a record whose own length is not 10.
    peer->Push(0, 0, {10, 0, 0x08, 0, 0, 0, 0, 0, 0});
    peer->Push(0, 0, {10, 0, 0x08, 0, 0, 0, 0, 0, 0, 0, 0});
    peer->Push(0, 0, {12, 0, 0x08, 0, 0, 0, 0, 0, 0, 0});
    // Replies and results nobody asked for.
    peer->Reply(0, 0x12345, 0, {10, 0, 0x08, 0, 0, 0, 0, 0, 0, 0});
    Bytes xfer{2, 1, 5};
    Put32(xfer, 0x777);
    xfer.insert(xfer.end(), {0, 0, 0});
    peer->Send(xfer);
    ASSERT_TRUE(Pump([&] { return errors() == before + 5; }));
    // A reply to a request whose status record is malformed: the request
    // ends as malformed (-120), the stored status stays.
    ASSERT_EQ(pl->GetStatus(target.handle, 5), 1);
    Bytes m;
    peer->Reply(0, Next(m, 0), 0, {10, 0, 0x08, 0});
    ASSERT_TRUE(Pump([&] { return target.Count(WM_LINK_RESULT) == 1; }));
    EXPECT_EQ(target.Of(WM_LINK_RESULT)[0].rec.status, -120);
    EXPECT_EQ(target.Of(WM_LINK_RESULT)[0].rec.parameter, 5u);
    EXPECT_EQ(errors(), before + 6);
    PlcStatusRecord s{};
    pl->GetLastStatus(&s);
    EXPECT_EQ(uint16_t{s.flags}, 0x04);
    EXPECT_EQ(list1.Count(WM_LINK_NOTIFY), 1u);
}
