// The link object against the control-system simulator (tools/cssim), in
// process over UDP on 127.0.0.1, with the real message bridge under
// QCoreApplication.  The link is opened as the project opens it.  Request
// and reply layouts are those of docs/link-protocol.md, "PLC requests,
// replies and pushed data"; the simulator plays them from that document.
#include "link_test_env.h"

#include "platform/sys/LastError.h"
#include "tests/support/platform/TempDir.h"
#include "tools/cssim/cssim.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <map>

using namespace linktest;

namespace {

using testsupport::PlcImageModule;

// A PLC image that passes the simulator's chain walk, with `opaque` bytes
// after its last module.
Bytes Image(size_t opaque = 0)
{
    Bytes img = PlcImageModule(0xA520, 1000, 0xFFFF, 2000);
    Bytes b = PlcImageModule(0xA500, 234, 0x0002, 3000);
    img.insert(img.end(), b.begin(), b.end());
    img.insert(img.end(), opaque, 0);
    img.insert(img.end(), {0xFA, 0xFE, 0xFF, 0xF9, 0x00, 0xA5, 0x07, 0xF8});
    return img;
}

// A breakpoint record {u16 10, u32 index, u32 set}.
Bytes Brk(uint32_t index, uint32_t set)
{
    Bytes b{10, 0};
    Put32(b, index);
    Put32(b, set);
    return b;
}

class SimLink : public ::testing::Test
{
protected:
    void SetUp() override
    {
        App();
        const uint16_t ours = testsupport::PickFreeUdpPort();
        cfg.udpLocalPort = testsupport::PickFreeUdpPort();
        cfg.peerPort = ours;
        cfg.shares = {{"DATA", share.Path()}};
        // A fresh simulator per test, each in the state a control system
        // starts in.
        sim = std::make_unique<cssim::Simulator>(cfg);
        ASSERT_TRUE(sim->start());
        link = std::make_unique<COlnkLink>(linkui::WindowPoster());
        conn = Wide(UdpLoopbackConn(ours, sim->publicPort()));
        ASSERT_NO_FATAL_FAILURE(OpenLink());
        ASSERT_TRUE(Pump([&] { return link->IsEstablished(); }));
        // The breakpoints the link wants (none) confirmed by the simulator.
        ASSERT_TRUE(Pump([&] { return link->BreakpointsConfirmed(); }));
        ASSERT_EQ(link->RegisterWindow(list0.handle, 0), 1);
        ASSERT_EQ(link->RegisterWindow(list1.handle, 1), 1);
        pl = static_cast<IOlnkPL*>(link->Query(OLNK_IID_PL));
        fc = static_cast<IOxfrC*>(link->Query(OLNK_IID_OXFRC));
    }
    void TearDown() override
    {
        link.reset();
        sim.reset();
        PumpFor(20);
    }
    // Opens and starts the link as the project does.
    void OpenLink()
    {
        ASSERT_EQ(link->Open(333, conn.c_str(), 1000), 1);
        for (uint16_t id : {0, 1, 2, 258})
            ASSERT_EQ(link->InitInterface(id), 1);
        ASSERT_EQ(link->Start(), 1);
    }
    std::u16string conn;
    // The n-th (1-based) result of `msg` that `target` received.
    Got Wait(uint32_t msg, size_t n, int ms = 20000)
    {
        EXPECT_TRUE(Pump([&] { return target.Count(msg) >= n; }, ms)) << "result " << n;
        auto r = target.Of(msg);
        return r.size() >= n ? r[n - 1] : Got{};
    }
    Got Result(size_t n) { return Wait(WM_LINK_RESULT, n); }
    // The latest class-1 request of `code` the simulator received.
    cssim::Record Request(uint8_t code)
    {
        std::optional<cssim::Record> last;
        EXPECT_TRUE(Pump([&] {
            for (const auto& r : sim->recorder().all())
                if (r.direction == 0 && r.cls() == 1 && r.type() == 0 && r.code() == code)
                    last = r;
            return last.has_value();
        })) << "no request "
            << int(code);
        return last ? *last : cssim::Record{};
    }
    size_t Requests(uint8_t code)
    {
        size_t n = 0;
        for (const auto& r : sim->recorder().all())
            n += r.direction == 0 && r.cls() == 1 && r.type() == 0 && r.code() == code;
        return n;
    }
    // Moves the sequence numbers past 0 in both directions, so that either
    // channel takes a new connect frame as a reset (see docs/cssim.md).
    void Wrap()
    {
        const uint64_t before = link->IgnoredReplies();
        for (int i = 0; i < 130; ++i)
            sim->push(9, 0, {});
        ASSERT_TRUE(Pump([&] { return link->IgnoredReplies() >= before + 130; }));
        const size_t n = target.Count(WM_LINK_RESULT);
        for (int i = 0; i < 130; ++i)
            ASSERT_EQ(pl->GetStatus(target.handle, 0), 1);
        ASSERT_TRUE(Pump([&] { return target.Count(WM_LINK_RESULT) == n + 130; }));
    }

    testsupport::TempDir share, local;
    cssim::Config cfg; // the simulator's, kept for one started again
    std::unique_ptr<cssim::Simulator> sim;
    std::unique_ptr<COlnkLink> link;
    IOlnkPL* pl = nullptr;
    IOxfrC* fc = nullptr;
    Target target, list0, list1;
};

} // namespace

// ---- PLC requests ------------------------------------------------------------------------

TEST_F(SimLink, PlcRequestsGiveOneResultEachWithTheirData)
{
    sim->plc().setFlags(0x000E);
    sim->plc().setPosition(57);
    size_t n = 0;
    ASSERT_EQ(pl->GetStatus(target.handle, 77), 1);
    Got g = Result(++n);
    EXPECT_EQ(g.msg, 0x800Au);
    EXPECT_EQ(g.wParam, 333u);
    EXPECT_EQ(g.rec.linkId, 333u);
    EXPECT_EQ(g.rec.kind, 0);
    EXPECT_EQ(g.rec.status, 0);
    EXPECT_EQ(g.rec.parameter, 77u);
    EXPECT_EQ(g.rec.extra, nullptr);
    EXPECT_EQ(HexText(g.data), "0A 00 0E 00 39 00 00 00 00 00");
    PlcStatusRecord s{};
    ASSERT_TRUE(pl->GetLastStatus(&s));
    EXPECT_EQ(uint16_t{s.flags}, 0x0E);
    EXPECT_EQ(uint32_t{s.index}, 57u);

    // The basic and the extended information record.
    ASSERT_EQ(pl->GetPLCInfo(target.handle, 1), 1);
    g = Result(++n);
    EXPECT_EQ(g.rec.kind, 1);
    ASSERT_EQ(g.data.size(), 50u);
    EXPECT_EQ(g.data[0], 50);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(g.data.data() + 10)), "cssim");
    EXPECT_EQ(g.data[48] | g.data[49] << 8, 632);
    ASSERT_EQ(pl->GetPLCInfoEx(target.handle, 2), 1);
    g = Result(++n);
    EXPECT_EQ(g.rec.kind, 30);
    EXPECT_EQ(g.rec.status, 0);
    ASSERT_GE(g.data.size(), 92u);
    EXPECT_EQ(U32(g.data.data() + 8), 6u);
    EXPECT_EQ(U32(g.data.data() + 16), 632u);
    const uint32_t nameAt = U32(g.data.data() + 72);
    ASSERT_LT(nameAt, g.data.size());
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(g.data.data() + nameAt)), "cssim");
    std::vector<uint8_t> info(1024);
    uint32_t len = 0;
    ASSERT_TRUE(pl->GetLastPLCInfo(true, info.data(), uint32_t(info.size()), &len));
    EXPECT_EQ(len, g.data.size());
    ASSERT_TRUE(pl->GetLastPLCInfo(false, info.data(), uint32_t(info.size()), &len));
    EXPECT_EQ(len, 50u);

    // The operations on the PLC's state.
    sim->plc().setFlags(0);
    ASSERT_EQ(pl->RunPLC(target.handle, 3), 1);
    g = Result(++n);
    EXPECT_EQ(g.rec.kind, 6);
    EXPECT_EQ(g.rec.status, -1); // nothing loaded
    sim->plc().setImage(Image());
    sim->plc().setFlags(cssim::FLAG_LOADED);
    ASSERT_EQ(pl->RunPLC(target.handle, 4), 1);
    EXPECT_EQ(Result(++n).rec.status, 0);
    EXPECT_EQ(sim->plc().flags(), cssim::FLAG_LOADED | cssim::FLAG_RUNNING);
    sim->plc().setBreakpoints({30, 20});
    ASSERT_EQ(pl->BreakPLC(target.handle, 5), 1);
    g = Result(++n);
    EXPECT_EQ(g.rec.kind, 8);
    EXPECT_EQ(g.rec.status, 0);
    EXPECT_EQ(sim->plc().position(), 20u);
    ASSERT_EQ(pl->StepPLC(target.handle, 6), 1);
    EXPECT_EQ(Result(++n).rec.kind, 9);
    EXPECT_EQ(sim->plc().position(), 21u);
    ASSERT_EQ(pl->StopPLC(target.handle, 7), 1);
    EXPECT_EQ(Result(++n).rec.kind, 7);
    EXPECT_EQ(sim->plc().flags(), cssim::FLAG_LOADED);
    ASSERT_EQ(pl->BreakPLC(target.handle, 8), 1);
    EXPECT_EQ(Result(++n).rec.status, -2); // not running
    ASSERT_EQ(pl->SleepPLC(target.handle, 9), 1);
    EXPECT_EQ(Result(++n).rec.kind, 4);
    EXPECT_EQ(sim->plc().flags(), cssim::FLAG_LOADED | cssim::FLAG_ASLEEP);
    ASSERT_EQ(pl->WakePLC(target.handle, 10), 1);
    EXPECT_EQ(Result(++n).rec.kind, 5);
    EXPECT_EQ(sim->plc().flags(), cssim::FLAG_LOADED);
    ASSERT_EQ(pl->BackupPLC(target.handle, 11, 1), 1);
    g = Result(++n);
    EXPECT_EQ(g.rec.kind, 10);
    EXPECT_EQ(g.rec.status, 0);
    ASSERT_EQ(pl->BackupPLC(target.handle, 12, 7), 1);
    EXPECT_EQ(Result(++n).rec.status, -2);
    EXPECT_EQ(HexText(Request(10).payload()), "07");
    ASSERT_EQ(pl->ClearPLC(target.handle, 13), 1);
    g = Result(++n);
    EXPECT_EQ(g.rec.kind, 3);
    EXPECT_EQ(g.rec.status, 0);
    EXPECT_TRUE(sim->plc().image().empty());
    EXPECT_EQ(sim->plc().flags(), 0);

    // Memory: GetVar, SetVar, SetVarBits.
    sim->plc().writeMemory(3, 0x200, {0x34, 0x12});
    const uint8_t getVar[10] = {10, 0, 0, 2, 0, 0, 3, 0, 2, 0};
    ASSERT_EQ(pl->GetVar(target.handle, 14, getVar), 1);
    g = Result(++n);
    EXPECT_EQ(g.rec.kind, 22);
    EXPECT_EQ(g.rec.parameter, 14u);
    EXPECT_EQ(HexText(g.data), "04 00 34 12");
    const uint8_t setVar[12] = {12, 0, 0x10, 0, 0, 0, 3, 0, 2, 0, 0xCD, 0xAB};
    ASSERT_EQ(pl->SetVar(target.handle, 15, setVar), 1);
    g = Result(++n);
    EXPECT_EQ(g.rec.kind, 23);
    EXPECT_EQ(g.rec.status, 0);
    EXPECT_EQ(HexText(sim->plc().readMemory(3, 0x10, 2)), "CD AB");
    const uint8_t bits[8] = {0, 2, 0, 0, 3, 0, 0x08, 0x08};
    ASSERT_EQ(pl->SetVarBits(target.handle, 16, bits), 1);
    g = Result(++n);
    EXPECT_EQ(g.rec.kind, 28);
    EXPECT_EQ(HexText(Request(28).payload()), "00 02 00 00 03 00 08 08");
    EXPECT_EQ(HexText(sim->plc().readMemory(3, 0x200, 1)), "3C");
    const uint8_t outside[10] = {10, 0, 0xFF, 0xFF, 0, 0, 3, 0, 2, 0};
    ASSERT_EQ(pl->GetVar(target.handle, 17, outside), 1);
    g = Result(++n);
    EXPECT_EQ(g.rec.status, -1);
    EXPECT_EQ(g.rec.data, nullptr);

    // Mechanisms and registers.
    sim->plc().setMechanism(0x40, 3, 1, 57);
    const uint8_t getMech[12] = {12, 0, 0, 0, 1, 0, 0x40, 0, 0, 0, 3, 0};
    ASSERT_EQ(pl->GetMech(target.handle, 18, getMech), 1);
    g = Result(++n);
    EXPECT_EQ(g.rec.kind, 24);
    EXPECT_EQ(HexText(g.data), "07 00 01 39 00 00 00");
    const uint8_t setMech[9] = {9, 0, 0x40, 0, 0, 0, 3, 0, 0};
    ASSERT_EQ(pl->SetMech(target.handle, 19, setMech), 1);
    EXPECT_EQ(Result(++n).rec.kind, 25);
    EXPECT_EQ(sim->plc().mechanism(0x40, 3).running, 0);
    sim->plc().setRegs(1, -2);
    const std::uintptr_t item = reinterpret_cast<std::uintptr_t>(&target);
    ASSERT_EQ(pl->GetRegs(target.handle, item), 1);
    g = Result(++n);
    EXPECT_EQ(g.rec.kind, 26);
    EXPECT_EQ(g.rec.parameter, item); // pointer-sized, back whole
    EXPECT_EQ(HexText(g.data), "01 FE FF FF FF");
    ASSERT_EQ(pl->SetRegs(target.handle, 20, 1, 0x12345678), 1);
    EXPECT_EQ(Result(++n).rec.kind, 27);
    EXPECT_EQ(HexText(Request(27).payload()), "78 56 34 12 01");
    EXPECT_EQ(sim->plc().rlo(), 1);
    EXPECT_EQ(sim->plc().dr(), 0x12345678);
    sim->plc().executeLine(57, 1, 5);
    const uint8_t lines[10] = {10, 0, 0, 0, 1, 0, 57, 0, 0, 0};
    ASSERT_EQ(pl->GetRegsOnLine(target.handle, 21, lines), 1);
    g = Result(++n);
    EXPECT_EQ(g.rec.kind, 29);
    EXPECT_EQ(HexText(g.data), "07 00 01 05 00 00 00");

    // Forced statuses, and an older control system without the extended record.
    cssim::RequestScript forced;
    forced.status = -3;
    sim->scriptRequest(0, forced);
    ASSERT_EQ(pl->GetStatus(target.handle, 22), 1);
    g = Result(++n);
    EXPECT_EQ(g.rec.status, -3);
    EXPECT_EQ(g.rec.data, nullptr);
    sim->clearRequestScript(0);
    auto ex = sim->plc().infoEx();
    ex.answer = 129;
    sim->plc().setInfoEx(ex);
    ASSERT_EQ(pl->GetPLCInfoEx(target.handle, 23), 1);
    g = Result(++n);
    EXPECT_EQ(g.rec.kind, 30);
    EXPECT_EQ(g.rec.status, -127);
    EXPECT_EQ(g.rec.data, nullptr);

    // Exactly one result per request.
    PumpFor(50);
    EXPECT_EQ(target.Count(WM_LINK_RESULT), n);
    EXPECT_EQ(list0.Count(WM_LINK_RESULT) + list1.Count(WM_LINK_RESULT), 0u);
}

// ---- Status and pushes ---------------------------------------------------------------------

TEST_F(SimLink, StatusPushesReachListOneOnly)
{
    sim->plc().setFlags(cssim::FLAG_LOADED | cssim::FLAG_RUNNING);
    ASSERT_TRUE(Pump([&] { return list1.Count(WM_LINK_NOTIFY) == 1; }));
    Got g = list1.Of(WM_LINK_NOTIFY)[0];
    EXPECT_EQ(g.msg, 0x800Bu);
    EXPECT_EQ(g.wParam, 333u);
    EXPECT_EQ(g.lParam, 0);
    PlcStatusRecord s{};
    ASSERT_TRUE(pl->GetLastStatus(&s));
    EXPECT_EQ(uint16_t{s.length}, 10);
    EXPECT_EQ(uint16_t{s.flags}, 0x06);
    sim->plc().hitBreakpoint(99);
    ASSERT_TRUE(Pump([&] { return pl->GetLastStatus(&s) && s.flags == 0x0E && s.index == 99; }));
    ASSERT_TRUE(Pump([&] { return list1.Count(WM_LINK_NOTIFY) >= 2; }));
    PumpFor(50);
    EXPECT_EQ(list0.Count(WM_LINK_NOTIFY), 0u);
    EXPECT_EQ(target.got.size(), 0u);
}

TEST_F(SimLink, WatchMergedByTheLinkAndPushedBySimulator)
{
    sim->plc().writeMemory(1, 100, {1, 2, 3, 4, 5, 6});
    ASSERT_EQ(pl->SetWatchPeriod(target.handle, 0, 200, 0), 1);
    ASSERT_EQ(pl->AddWatch(target.handle, 0, 1, 100, 4, 0), 1);
    ASSERT_EQ(pl->AddWatch(target.handle, 0, 1, 104, 2, 0), 1);
    ASSERT_EQ(pl->AddWatch(target.handle, 0, 1, 102, 2, 0), 1);
    ASSERT_EQ(pl->CommitWatch(target.handle, 5), 1);
    Got g = Result(1);
    EXPECT_EQ(g.rec.kind, 16);
    EXPECT_EQ(g.rec.status, 0);
    EXPECT_EQ(g.rec.parameter, 5u);
    EXPECT_EQ(g.rec.data, nullptr);
    const cssim::Record req = Request(16);
    const uint32_t wire = req.parameter();
    Bytes expected{0x01, 0x00, 0x10};
    Put32(expected, wire);
    for (uint8_t b : {0x0E, 0x00, 0xC8, 0x00, 0x01, 0x00, 0x64, 0x00, 0x00, 0x00, 0x01, 0x00, 0x06, 0x00})
        expected.push_back(b);
    EXPECT_EQ(HexText(req.bytes), HexText(expected));
    EXPECT_EQ(sim->plc().watch().interval, 200);
    EXPECT_EQ(sim->plc().watch().parameter, wire);

    ASSERT_TRUE(Pump([&] { return list1.Count(WM_LINK_NOTIFY) >= 1; }));
    EXPECT_EQ(list1.Of(WM_LINK_NOTIFY)[0].lParam, 1);
    EXPECT_EQ(list0.Count(WM_LINK_NOTIFY), 0u);
    uint8_t v[8] = {};
    EXPECT_EQ(pl->GetWatchValue(1, 102, 1, v, 8), 0);
    EXPECT_EQ(HexText(Bytes(v, v + 2)), "03 04");
    EXPECT_EQ(pl->GetWatchValue(1, 100, 1, v, 8), 0);
    EXPECT_EQ(HexText(Bytes(v, v + 4)), "01 02 03 04");
    EXPECT_EQ(pl->GetWatchValue(1, 100, 3, v, 8), -1); // 12 bytes do not fit
    EXPECT_EQ(pl->GetWatchValue(1, 101, 1, v, 8), -1); // not in the list
    // The simulator's memory changes: the next push carries it.
    sim->plc().writeMemory(1, 104, {0x55, 0x66});
    ASSERT_TRUE(Pump([&] { return pl->GetWatchValue(1, 104, 1, v, 8) == 0 && v[0] == 0x55 && v[1] == 0x66; }));

    // An entry outside memory: -2 for it, the others still read.
    ASSERT_EQ(pl->AddWatch(target.handle, 6, 1, 65535, 2, 1), 1);
    EXPECT_EQ(Result(2).rec.status, 0);
    const uint32_t wire2 = Request(16).parameter();
    EXPECT_NE(wire2, wire);
    ASSERT_TRUE(Pump([&] { return pl->GetWatchValue(1, 65535, 1, v, 8) == -2; }));
    EXPECT_EQ(pl->GetWatchValue(1, 100, 1, v, 8), 0);

    // A refused Watch (its push would be too long): -4 for every entry.
    ASSERT_EQ(pl->AddWatch(target.handle, 7, 2, 0, 1100, 1), 1);
    g = Result(3);
    EXPECT_EQ(g.rec.status, -4);
    EXPECT_EQ(pl->GetWatchValue(1, 100, 1, v, 8), -4);
    EXPECT_EQ(sim->plc().watch().interval, 0);

    // A late push of an older list is ignored.
    const size_t notes = list1.Count(WM_LINK_NOTIFY);
    const uint64_t ignored = link->IgnoredReplies();
    sim->push(1, wire2, {1, 0, 0, 9, 9});
    ASSERT_TRUE(Pump([&] { return link->IgnoredReplies() == ignored + 1; }));
    PumpFor(50);
    EXPECT_EQ(list1.Count(WM_LINK_NOTIFY), notes);
    EXPECT_EQ(pl->GetWatchValue(1, 100, 1, v, 8), -4);
}

TEST_F(SimLink, WatchBeyondTheEntriesSentReadsMinusThree)
{
    // 127 separate ranges: the first 126 are sent.
    ASSERT_EQ(pl->SetWatchPeriod(target.handle, 0, 100, 0), 1);
    for (uint32_t i = 0; i < 127; ++i)
        ASSERT_EQ(pl->AddWatch(target.handle, 0, 2, 10 * i, 1, 0), 1);
    sim->plc().writeMemory(2, 1250, {0x77});
    ASSERT_EQ(pl->CommitWatch(target.handle, 0), 1);
    EXPECT_EQ(Result(1).rec.status, 0);
    const cssim::Record req = Request(16);
    EXPECT_EQ(req.bytes.size(), 7u + 6 + 8 * 126);
    EXPECT_EQ(sim->plc().watch().count, 126);
    uint8_t v[2] = {};
    ASSERT_TRUE(Pump([&] { return pl->GetWatchValue(2, 1250, 1, v, 2) == 0; }));
    EXPECT_EQ(v[0], 0x77);
    EXPECT_EQ(pl->GetWatchValue(2, 1260, 1, v, 2), -3);
}

TEST_F(SimLink, MechanismsAndLineRegistersFromPushes)
{
    sim->plc().setMechanism(0x40, 3, 1, 57);
    ASSERT_EQ(pl->SetWatchMechPeriod(target.handle, 0, 500, 0), 1);
    ASSERT_EQ(pl->AddWatchMech(target.handle, 0, 3, 0x40, 0), 1);
    ASSERT_EQ(pl->AddWatchMech(target.handle, 0, 3, 0x40, 1), 1);
    EXPECT_EQ(Result(1).rec.kind, 21);
    EXPECT_EQ(HexText(Request(21).payload()), "0C 00 F4 01 01 00 40 00 00 00 03 00");
    EXPECT_EQ(sim->plc().watchMech().interval, 500);
    MechStateRecord ms{};
    ASSERT_TRUE(Pump([&] { return pl->GetWatchMechState(3, 0x40, &ms) == 0; }));
    EXPECT_EQ(ms.running, 1);
    EXPECT_EQ(uint32_t{ms.index}, 57u);
    // The state is read on the link's thread; its notice comes through the
    // window's queue, possibly a little later.
    ASSERT_TRUE(Pump([&] { return list1.Count(WM_LINK_NOTIFY) >= 1; }));
    EXPECT_EQ(list1.Of(WM_LINK_NOTIFY).back().lParam, 5);
    EXPECT_EQ(pl->GetWatchMechState(4, 0x40, &ms), -1);
    sim->plc().setMechanism(0x40, 3, 0, 58);
    ASSERT_TRUE(Pump([&] { return pl->GetWatchMechState(3, 0x40, &ms) == 0 && ms.running == 0; }));
    EXPECT_EQ(uint32_t{ms.index}, 58u);

    sim->plc().executeLine(57, 1, 5);
    ASSERT_EQ(pl->SetWatchRegsOnLinePeriod(target.handle, 0, 250, 0), 1);
    ASSERT_EQ(pl->AddWatchRegsOnLine(target.handle, 0, 57, 0), 1);
    ASSERT_EQ(pl->AddWatchRegsOnLine(target.handle, 0, 57, 0), 1);
    // Another view's line stays.
    ASSERT_EQ(pl->RemoveWatchRegsOnLine(target.handle, 0, 57, 1), 1);
    EXPECT_EQ(Result(2).rec.kind, 19);
    EXPECT_EQ(HexText(Request(19).payload()), "0A 00 FA 00 01 00 39 00 00 00");
    LineRegsRecord lr{};
    ASSERT_TRUE(Pump([&] { return pl->GetWatchRegsOnLine(57, &lr) == 0; }));
    EXPECT_EQ(lr.rlo, 1);
    EXPECT_EQ(int32_t{lr.dr}, 5);
    EXPECT_EQ(pl->GetWatchRegsOnLine(58, &lr), -1);
    ASSERT_TRUE(Pump([&] {
        for (const auto& n : list1.Of(WM_LINK_NOTIFY))
            if (n.lParam == 4)
                return true;
        return false;
    }));

    // A refused list (scripted): its status is what the reads give.
    cssim::RequestScript refused;
    refused.status = -3;
    sim->scriptRequest(19, refused);
    ASSERT_EQ(pl->CommitWatchRegsOnLine(target.handle, 0), 1);
    EXPECT_EQ(Result(3).rec.status, -3);
    EXPECT_EQ(pl->GetWatchRegsOnLine(57, &lr), -3);
}

// ---- Breakpoints -------------------------------------------------------------------------

TEST_F(SimLink, BreakpointsFollowTheSimulator)
{
    ASSERT_EQ(pl->SetBrkAtLine(target.handle, 1, Brk(99, 1).data()), 1);
    EXPECT_EQ(Result(1).rec.kind, 12);
    ASSERT_EQ(pl->SetBrkAtLine(target.handle, 2, Brk(17, 1).data()), 1);
    Got g = Result(2);
    EXPECT_EQ(g.rec.status, 0);
    EXPECT_EQ(g.rec.parameter, 2u);
    EXPECT_EQ(HexText(Request(12).payload()), "0C 00 02 00 11 00 00 00 63 00 00 00");
    EXPECT_EQ(sim->plc().breakpoints(), (std::vector<uint32_t>{17, 99}));
    EXPECT_EQ(pl->GetBrkState(17), 0);
    EXPECT_EQ(pl->GetBrkState(99), 0);
    EXPECT_EQ(pl->GetBrkState(5), -1);

    // Unchanged states send nothing.
    const size_t sent = Requests(12);
    ASSERT_EQ(pl->SetBrkAtLine(target.handle, 3, Brk(17, 1).data()), 1);
    ASSERT_EQ(pl->SetBrkAtLine(target.handle, 4, Brk(5, 0).data()), 1);
    PumpFor(100);
    EXPECT_EQ(Requests(12), sent);
    EXPECT_EQ(target.Count(WM_LINK_RESULT), 2u);

    // An index the control system refuses: status -2, its state -1.
    ASSERT_EQ(pl->SetBrkAtLine(target.handle, 5, Brk(99999999, 1).data()), 1);
    g = Result(3);
    EXPECT_EQ(g.rec.status, -2);
    EXPECT_EQ(pl->GetBrkState(17), 0);
    EXPECT_EQ(pl->GetBrkState(99999999), -1);
    EXPECT_EQ(sim->plc().breakpoints(), (std::vector<uint32_t>{17, 99}));
    ASSERT_EQ(pl->SetBrkAtLine(target.handle, 6, Brk(99999999, 0).data()), 1);
    EXPECT_EQ(Result(4).rec.status, 0);

    // SetBrksAtLine replaces the set, 253 at most; the 254th is refused.
    Bytes block{uint8_t((4 + 4 * 253) & 0xFF), uint8_t((4 + 4 * 253) >> 8), 253, 0};
    for (uint32_t i = 1; i <= 253; ++i)
        Put32(block, 1000 + i);
    ASSERT_EQ(pl->SetBrksAtLine(target.handle, 7, block.data()), 1);
    g = Result(5);
    EXPECT_EQ(g.rec.status, 0);
    EXPECT_EQ(sim->plc().breakpoints().size(), 253u);
    EXPECT_EQ(sim->plc().breakpoints().front(), 1001u);
    EXPECT_EQ(pl->GetBrkState(1253), 0);
    EXPECT_EQ(pl->GetBrkState(17), -1);
    EXPECT_EQ(pl->SetBrkAtLine(target.handle, 8, Brk(17, 1).data()), 0);
    EXPECT_EQ(sys::GetLastError(), 0xE0020003u);

    // ClearBrks empties both sides.
    ASSERT_EQ(pl->ClearBrks(target.handle, 9), 1);
    g = Result(6);
    EXPECT_EQ(g.rec.kind, 13);
    EXPECT_TRUE(sim->plc().breakpoints().empty());
    ASSERT_EQ(pl->SetBrkAtLine(target.handle, 10, Brk(3, 1).data()), 1);
    EXPECT_EQ(Result(7).rec.status, 0);
    EXPECT_EQ(sim->plc().breakpoints(), (std::vector<uint32_t>{3}));
    EXPECT_EQ(pl->GetBrkState(3), 0);
}

// ---- PLC transfer ------------------------------------------------------------------------

namespace {
struct Progress
{
    std::atomic<int> calls{0};
    std::atomic<uint32_t> last{0};
    std::atomic<bool> monotonic{true};
    std::atomic<bool> cancelReturned{false};
    std::atomic<int> afterCancel{0};
    std::atomic<uint32_t> job{0};
};
int OnProgress(uint32_t job, std::uintptr_t context, uint32_t done, uint32_t total)
{
    auto* p = reinterpret_cast<Progress*>(context);
    if (p->cancelReturned)
        ++p->afterCancel;
    if (done < p->last || done > total)
        p->monotonic = false;
    p->last = done;
    p->job = job;
    ++p->calls;
    return 0;
}
} // namespace

TEST_F(SimLink, PlcTransferStoresTheImageAndEndsOnce)
{
    const Bytes image = Image();
    Progress prog;
    uint32_t job = 0;
    {
        auto copy = std::make_unique<Bytes>(image);
        ASSERT_EQ(pl->TransferPLC(target.handle, reinterpret_cast<std::uintptr_t>(&prog), OnProgress, &job,
                                  uint32_t(copy->size()), copy->data()),
                  1);
    } // the caller's buffer goes at once
    EXPECT_NE(job, 0u);
    Got g = Result(1);
    EXPECT_EQ(g.rec.kind, 2);
    EXPECT_EQ(g.rec.status, 0);
    EXPECT_EQ(g.rec.parameter, reinterpret_cast<std::uintptr_t>(&prog));
    EXPECT_TRUE(sim->plc().image() == image);
    EXPECT_EQ(sim->plc().plcLength(), 1234u);
    EXPECT_EQ(sim->plc().flags(), cssim::FLAG_LOADED);
    EXPECT_GT(prog.calls.load(), 0);
    EXPECT_TRUE(prog.monotonic.load());
    EXPECT_EQ(prog.last.load(), image.size());
    EXPECT_EQ(prog.job.load(), job);
    link->CancelJob(job); // an ended job does nothing

    // A scripted verdict; a refusal while the PLC runs.
    cssim::JobScript js;
    js.verdict = -3;
    sim->scriptJobs(js);
    ASSERT_EQ(pl->TransferPLC(target.handle, 2, nullptr, &job, uint32_t(image.size()), image.data()), 1);
    g = Result(2);
    EXPECT_EQ(g.rec.kind, 2);
    EXPECT_EQ(g.rec.status, -3);
    sim->clearJobScript();
    sim->plc().setFlags(cssim::FLAG_LOADED | cssim::FLAG_RUNNING);
    ASSERT_EQ(pl->TransferPLC(target.handle, 3, nullptr, &job, uint32_t(image.size()), image.data()), 1);
    g = Result(3);
    EXPECT_EQ(g.rec.status, -1);
    sim->plc().setFlags(cssim::FLAG_LOADED);

    // A cancel: -125, and no progress after CancelJob returned.
    js = {};
    js.creditsStopAfter = 2;
    sim->scriptJobs(js);
    Progress p2;
    const Bytes big = Image(60000);
    ASSERT_EQ(pl->TransferPLC(target.handle, reinterpret_cast<std::uintptr_t>(&p2), OnProgress, &job,
                              uint32_t(big.size()), big.data()),
              1);
    ASSERT_TRUE(Pump([&] { return p2.calls > 0; }));
    EXPECT_EQ(link->CancelJob(job), 1);
    p2.cancelReturned = true;
    g = Result(4);
    EXPECT_EQ(g.rec.kind, 2);
    EXPECT_EQ(g.rec.status, -125);
    PumpFor(100);
    EXPECT_EQ(p2.afterCancel.load(), 0);
    EXPECT_EQ(target.Count(WM_LINK_RESULT), 4u);
}

// ---- Files -------------------------------------------------------------------------------

TEST_F(SimLink, EveryFileOperationAgainstSimulatorShares)
{
    {
        std::ofstream f(local / "a.txt", std::ios::binary);
        f << std::string(3000, 'x');
    }
    const std::u16string la = Wide(local / "a.txt");
    size_t n = 0;
    auto wait = [&] { return Wait(WM_XFER_RESULT, ++n); };
    ASSERT_EQ(fc->CreateDir(target.handle, 11, u"\\DATA\\SUB"), 1);
    Got g = wait();
    EXPECT_EQ(g.msg, 0x801Eu);
    EXPECT_EQ(g.wParam, 333u);
    EXPECT_EQ(g.rec.kind, 1);
    EXPECT_EQ(g.rec.status, 0);
    EXPECT_EQ(g.rec.parameter, 11u);
    EXPECT_TRUE(std::filesystem::is_directory(share / "SUB"));

    Progress prog;
    uint32_t job = 0;
    ASSERT_EQ(fc->Put(target.handle, reinterpret_cast<std::uintptr_t>(&prog), OnProgress, &job, la.c_str(),
                      u"\\DATA\\SUB\\\u0161.TXT"),
              1);
    g = wait();
    EXPECT_EQ(g.rec.kind, 6);
    EXPECT_EQ(g.rec.status, 0);
    EXPECT_GT(prog.calls.load(), 0);
    EXPECT_TRUE(prog.monotonic.load());
    EXPECT_EQ(std::filesystem::file_size(share / "SUB/\u0161.TXT"), 3000u);

    ASSERT_EQ(fc->GetFileInfo(target.handle, 12, u"\\DATA\\SUB\\\u0161.TXT"), 1);
    g = wait();
    EXPECT_EQ(g.rec.kind, 5);
    EXPECT_EQ(g.rec.status, 0);
    ASSERT_EQ(g.data.size(), sizeof(FileListRecord));
    FileListRecord fl;
    std::memcpy(&fl, g.data.data(), sizeof fl);
    EXPECT_EQ(uint16_t{fl.length}, 554);
    EXPECT_EQ(uint32_t{fl.size}, 3000u);
    EXPECT_EQ(uint32_t{fl.folder}, 0u);
    EXPECT_NE(uint16_t{fl.dosDate}, 0);
    EXPECT_EQ(std::u16string(fl.name), u"\u0161.TXT");
    EXPECT_FALSE(std::u16string(fl.shortName).empty());
    EXPECT_LE(std::u16string(fl.shortName).size(), 13u);
    ASSERT_EQ(fc->GetFileInfo(target.handle, 12, u"\\DATA\\SUB"), 1);
    g = wait();
    ASSERT_EQ(g.data.size(), sizeof(FileListRecord));
    std::memcpy(&fl, g.data.data(), sizeof fl);
    EXPECT_EQ(uint32_t{fl.folder}, 0x10u);

    // The listing file exists during the handler and is gone afterwards,
    // though the handler leaves it.
    ASSERT_EQ(fc->List(target.handle, 13, nullptr, &job, u"\\DATA\\SUB\\*.*"), 1);
    g = wait();
    EXPECT_EQ(g.rec.kind, 3);
    EXPECT_EQ(g.rec.status, 0);
    EXPECT_EQ(g.rec.dataLength, (g.listing.size() + 1) * 2);
    EXPECT_TRUE(g.listingExisted);
    EXPECT_FALSE(std::filesystem::exists(std::string(g.listing.begin(), g.listing.end())));

    const std::u16string lb = Wide(local / "b.txt");
    ASSERT_EQ(fc->Get(target.handle, 14, nullptr, &job, u"\\DATA\\SUB\\\u0161.TXT", lb.c_str()), 1);
    g = wait();
    EXPECT_EQ(g.rec.kind, 4);
    EXPECT_EQ(g.rec.status, 0);
    EXPECT_EQ(std::filesystem::file_size(local / "b.txt"), 3000u);

    ASSERT_EQ(fc->Copy(target.handle, 15, u"\\DATA\\SUB\\\u0161.TXT", u"\\DATA\\C.TXT"), 1);
    g = wait();
    EXPECT_EQ(g.rec.kind, 0);
    EXPECT_EQ(g.rec.status, 0);
    EXPECT_TRUE(std::filesystem::exists(share / "C.TXT"));
    ASSERT_EQ(fc->Move(target.handle, 16, u"\\DATA\\C.TXT", u"\\DATA\\D.TXT"), 1);
    g = wait();
    EXPECT_EQ(g.rec.kind, 8);
    EXPECT_EQ(g.rec.status, 0);
    EXPECT_FALSE(std::filesystem::exists(share / "C.TXT"));
    EXPECT_TRUE(std::filesystem::exists(share / "D.TXT"));
    ASSERT_EQ(fc->Delete(target.handle, 17, u"\\DATA\\D.TXT"), 1);
    g = wait();
    EXPECT_EQ(g.rec.kind, 2);
    EXPECT_EQ(g.rec.status, 0);
    EXPECT_FALSE(std::filesystem::exists(share / "D.TXT"));
    ASSERT_EQ(fc->Delete(target.handle, 18, u"\\DATA\\SUB\\\u0161.TXT"), 1);
    EXPECT_EQ(wait().rec.status, 0);
    ASSERT_EQ(fc->RemoveDir(target.handle, 19, u"\\DATA\\SUB"), 1);
    g = wait();
    EXPECT_EQ(g.rec.kind, 7);
    EXPECT_EQ(g.rec.status, 0);
    EXPECT_FALSE(std::filesystem::exists(share / "SUB"));

    // Failures: a missing file, a scripted status, an over-long path.
    ASSERT_EQ(fc->GetFileInfo(target.handle, 20, u"\\DATA\\NONE.TXT"), 1);
    g = wait();
    EXPECT_LT(g.rec.status, 0);
    EXPECT_EQ(g.rec.data, nullptr);
    cssim::FileScript fs;
    fs.status = 140;
    sim->scriptFile(2, "", fs);
    ASSERT_EQ(fc->Delete(target.handle, 21, u"\\DATA\\X.TXT"), 1);
    g = wait();
    EXPECT_EQ(g.rec.kind, 2);
    EXPECT_EQ(g.rec.status, int8_t(140));
    sim->clearFileScripts();
    const std::u16string longPath = u"\\DATA\\" + std::u16string(260, u'a');
    EXPECT_EQ(fc->Delete(target.handle, 0, longPath.c_str()), 0);
    EXPECT_EQ(sys::GetLastError(), 555u);
    PumpFor(50);
    EXPECT_EQ(target.Count(WM_XFER_RESULT), n);
    EXPECT_EQ(target.Count(WM_LINK_RESULT), 0u);
}

// ---- Reset and close ---------------------------------------------------------------------

TEST_F(SimLink, PeerResetLinkEventAndCloseCompletePendingRequests)
{
    Wrap();
    const size_t before = target.Count(WM_LINK_RESULT);
    cssim::RequestScript drop;
    drop.drop = true;
    sim->scriptRequest(6, drop);
    ASSERT_EQ(pl->RunPLC(target.handle, 41), 1);
    Request(6);
    sim->resetNow();
    ASSERT_TRUE(Pump([&] { return target.Count(WM_LINK_RESULT) == before + 1; }));
    ASSERT_EQ(list0.Count(WM_LINK_STATE), 1u);
    Got s = list0.Of(WM_LINK_STATE)[0];
    EXPECT_EQ(s.msg, 0x8000u);
    EXPECT_EQ(s.wParam, 333u);
    EXPECT_EQ(s.lParam, 0);
    EXPECT_EQ(list1.Count(WM_LINK_STATE), 0u);
    Got g = target.Of(WM_LINK_RESULT).back();
    EXPECT_EQ(g.rec.kind, 6);
    EXPECT_EQ(g.rec.status, -123);
    EXPECT_EQ(g.rec.parameter, 41u);

    // The link carries on after the reset, where it first sends the
    // breakpoints it wants (the simulator's are unknown after a reset).
    ASSERT_TRUE(Pump([&] { return link->IsEstablished() && link->BreakpointsConfirmed(); }));
    ASSERT_EQ(pl->GetStatus(target.handle, 42), 1);
    EXPECT_EQ(Result(before + 2).rec.status, 0);

    sim->linkEvent(7);
    ASSERT_TRUE(Pump([&] { return list0.Count(WM_LINK_STATE) == 2; }));
    EXPECT_EQ(list0.Of(WM_LINK_STATE)[1].lParam, 7);
    EXPECT_EQ(list1.Count(WM_LINK_STATE), 0u);

    // Close with a dropped reply pending: -124.
    ASSERT_EQ(pl->RunPLC(target.handle, 43), 1);
    ASSERT_TRUE(Pump([&] { return Requests(6) == 2; }));
    ASSERT_EQ(link->Close(), 1);
    EXPECT_FALSE(link->IsOpen());
    EXPECT_FALSE(link->IsConnected());
    g = Result(before + 3);
    EXPECT_EQ(g.rec.status, -124);
    EXPECT_EQ(g.rec.parameter, 43u);
    EXPECT_EQ(pl->GetStatus(target.handle, 0), 0);
    EXPECT_EQ(sys::GetLastError(), 0xE0020005u);
}

// The project closed and opened again at once: the simulator's channel is
// still in the ten seconds after the first handshake when the new connect
// frame comes (more than a window of frames later, so that it is no
// repeat).  It takes it for the new reset it is and answers it, and the
// first request, sent before the handshake completed, is answered.  (The
// simulator reset itself instead; its connect message crossed ours, and the
// link took it for a reset of the control system that ended the request:
// "Nepodařilo se získat informace o PLC".)
TEST_F(SimLink, ReopenedAtOnceTheFirstRequestIsAnswered)
{
    for (int i = 0; i < 30; ++i)
        ASSERT_EQ(pl->GetStatus(target.handle, 0), 1);
    ASSERT_TRUE(Pump([&] { return target.Count(WM_LINK_RESULT) == 30; }));
    ASSERT_EQ(link->Close(), 1);
    ASSERT_NO_FATAL_FAILURE(OpenLink());
    ASSERT_EQ(pl->GetPLCInfoEx(target.handle, 5), 1);
    const Got g = Wait(WM_LINK_RESULT, 31);
    EXPECT_EQ(g.rec.kind, 30);
    EXPECT_EQ(g.rec.status, 0);
    EXPECT_EQ(list0.Count(WM_LINK_STATE), 0u);
    EXPECT_TRUE(link->IsEstablished());
    // The simulator never reset the link itself.
    for (const auto& r : sim->recorder().all())
        EXPECT_FALSE(r.direction == 1 && r.cls() == 0 && r.type() == 0 && r.code() == 0) << "a reset of its own";
}

// A control system that stays silent: every request not carried by a job
// ends after the job time-out with its own result, the watch's local reads
// take the status, list 1 hears of it once per sweep, and a reply that comes
// later finds nobody.  A reply within the time-out still counts.
TEST_F(SimLink, RequestsWithoutAReplyEndAfterTheJobTimeout)
{
    EXPECT_EQ(link->JobTimeout(), OLNK_DEFAULT_JOB_TIMEOUT_MS);
    link->SetJobTimeout(700);
    EXPECT_EQ(link->JobTimeout(), 700u);
    cssim::RequestScript drop;
    drop.drop = true;
    sim->scriptRequest(0, drop);  // GetStatus
    sim->scriptRequest(16, drop); // the watch request
    cssim::FileScript late;
    late.delayMs = 1500;
    sim->scriptFile(OXFR_CODE_INFO, "", late);
    cssim::RequestScript slow;
    slow.delayMs = 300;
    sim->scriptRequest(3, slow); // ClearPLC: answered within the time-out
    std::ofstream(share / "A.TXT") << "a";

    const auto t0 = std::chrono::steady_clock::now();
    ASSERT_EQ(pl->GetStatus(target.handle, 11), 1);
    ASSERT_EQ(pl->ClearPLC(target.handle, 12), 1);
    ASSERT_EQ(fc->GetFileInfo(target.handle, 13, u"\\DATA\\A.TXT"), 1);
    ASSERT_EQ(pl->AddWatch(0, 0, 1, 100, 4, 0), 1);
    ASSERT_EQ(pl->CommitWatch(0, 0), 1); // nobody is told but list 1

    ASSERT_TRUE(Pump([&] { return target.Count(WM_LINK_RESULT) == 2 && target.Count(WM_XFER_RESULT) == 1; }, 10000));
    EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(700));
    std::map<std::uintptr_t, int> status;
    for (const Got& g : target.got)
        if (g.msg == WM_LINK_RESULT || g.msg == WM_XFER_RESULT)
            status[g.rec.parameter] = g.rec.status;
    EXPECT_EQ(status[11], OLNK_STATUS_NO_ANSWER);
    EXPECT_EQ(status[11], -122);
    EXPECT_EQ(status[12], 0);
    EXPECT_EQ(status[13], OLNK_STATUS_NO_ANSWER);
    ASSERT_TRUE(Pump([&] { return link->UnansweredRequests() == 3; }));
    uint8_t v[4] = {};
    EXPECT_EQ(pl->GetWatchValue(1, 100, 1, v, 4), OLNK_STATUS_NO_ANSWER);
    ASSERT_TRUE(Pump([&] {
        for (const Got& g : list1.Of(WM_LINK_NOTIFY))
            if (g.lParam == OLNK_NOTIFY_NO_ANSWER)
                return true;
        return false;
    }));
    EXPECT_EQ(list0.Count(WM_LINK_STATE), 0u);

    // The late file information is ignored; the link carries on.
    const uint64_t ignored = link->IgnoredReplies();
    ASSERT_TRUE(Pump([&] { return link->IgnoredReplies() > ignored; }, 5000));
    EXPECT_EQ(target.Count(WM_XFER_RESULT), 1u);
    sim->clearRequestScript(0);
    ASSERT_EQ(pl->GetStatus(target.handle, 14), 1);
    EXPECT_EQ(Result(3).rec.status, 0);
    EXPECT_EQ(link->UnansweredRequests(), 3u);
}

TEST_F(SimLink, CloseDuringABigGetAndASlowListing)
{
    {
        std::ofstream f(share / "BIG.BIN", std::ios::binary);
        f << std::string(16u << 20, 'b');
        f << "x";
    }
    for (int i = 0; i < 20; ++i)
        std::ofstream(share / std::string("F").append(std::to_string(i)).append(".TXT")) << i;
    cssim::FileScript slow;
    slow.blockDelayMs = 200;
    sim->scriptFile(3, "", slow);
    Progress pg, pl2;
    uint32_t j1 = 0, j2 = 0;
    const std::u16string lb = Wide(local / "big.bin");
    ASSERT_EQ(fc->Get(target.handle, reinterpret_cast<std::uintptr_t>(&pg), OnProgress, &j1, u"\\DATA\\BIG.BIN",
                      lb.c_str()),
              1);
    ASSERT_EQ(fc->List(target.handle, reinterpret_cast<std::uintptr_t>(&pl2), OnProgress, &j2, u"\\DATA\\*.*"), 1);
    ASSERT_TRUE(Pump([&] { return pg.calls > 0; }));
    const auto t0 = std::chrono::steady_clock::now();
    ASSERT_EQ(link->Close(), 1);
    // A deadlock guard, not a speed figure.
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(10));
    Got a = Wait(WM_XFER_RESULT, 1);
    Got b = Wait(WM_XFER_RESULT, 2);
    EXPECT_EQ(a.rec.status, -124);
    EXPECT_EQ(b.rec.status, -124);
    EXPECT_EQ(a.rec.kind + b.rec.kind, 3 + 4);
    PumpFor(50);
    EXPECT_EQ(target.Count(WM_XFER_RESULT), 2u);
}

// ---- Untrusted input -----------------------------------------------------------------------

TEST_F(SimLink, DuplicateLateAndForeignRepliesAreIgnoredAndCounted)
{
    cssim::RequestScript twice;
    twice.twice = true;
    sim->scriptRequest(7, twice);
    uint64_t ignored = link->IgnoredReplies();
    ASSERT_EQ(pl->StopPLC(target.handle, 5), 1);
    EXPECT_EQ(Result(1).rec.parameter, 5u);
    ASSERT_TRUE(Pump([&] { return link->IgnoredReplies() == ignored + 1; }));
    const uint32_t old = Request(7).parameter();

    cssim::RequestScript wrong;
    wrong.wrongParameter = true;
    sim->scriptRequest(3, wrong);
    ASSERT_EQ(pl->ClearPLC(target.handle, 6), 1);
    ASSERT_TRUE(Pump([&] { return link->IgnoredReplies() == ignored + 2; }));

    // A late reply to a finished request, a reply of another code.
    Bytes late{1, 1, 7};
    Put32(late, old);
    late.push_back(0);
    sim->sendRaw(late);
    Bytes other{1, 1, 4};
    Put32(other, old);
    other.push_back(0);
    sim->sendRaw(other);
    ASSERT_TRUE(Pump([&] { return link->IgnoredReplies() == ignored + 4; }));
    PumpFor(50);
    EXPECT_EQ(target.Count(WM_LINK_RESULT), 1u);

    // The wrongly answered request is still pending: Close ends it.
    ASSERT_EQ(link->Close(), 1);
    Got g = Result(2);
    EXPECT_EQ(g.rec.kind, 3);
    EXPECT_EQ(g.rec.status, -124);
    EXPECT_EQ(g.rec.parameter, 6u);
}

// ---- Gone targets and statistics ----------------------------------------------------------

TEST_F(SimLink, GoneTargetsGetNothingAndLeakNothing)
{
    const int live = ui::LiveMessageRecords();
    cssim::RequestScript slow;
    slow.delayMs = 100;
    sim->scriptRequest(0, slow);
    sim->scriptRequest(1, slow);
    auto gone = std::make_unique<Target>();
    Target unregistered;
    ASSERT_EQ(pl->GetStatus(gone->handle, 1), 1);
    ASSERT_EQ(pl->GetPLCInfo(unregistered.handle, 2), 1);
    gone.reset();
    ui::UnregisterMessageTarget(unregistered.handle);
    ASSERT_TRUE(Pump([&] { return sim->recorder().waitFor([](const cssim::Record& r) {
                                       return r.direction == 1 && r.cls() == 1 && r.type() == 1 && r.code() == 1;
                                   }, std::chrono::milliseconds(0)).has_value(); }));
    PumpFor(200);
    EXPECT_TRUE(unregistered.got.empty());
    EXPECT_EQ(ui::LiveMessageRecords(), live);
    // The slots came back.
    ASSERT_EQ(pl->GetRegs(target.handle, 3), 1);
    EXPECT_EQ(Result(1).rec.kind, 26);
}

TEST_F(SimLink, StatisticsRiseAndEndWithClose)
{
    OlnkStatistics a{}, b{};
    a.size = b.size = sizeof a;
    ASSERT_TRUE(link->GetStatistics(&a));
    EXPECT_EQ(a.size, 120u);
    for (int i = 0; i < 5; ++i)
        ASSERT_EQ(pl->GetStatus(target.handle, i), 1);
    Result(5);
    ASSERT_TRUE(link->GetStatistics(&b));
    EXPECT_GE(b.SendPackets, a.SendPackets + 5);
    EXPECT_GE(b.RecPackets, a.RecPackets + 5);
    ASSERT_EQ(link->Close(), 1);
    EXPECT_FALSE(link->GetStatistics(&a));
}

// ---- The control system ended and started again ---------------------------------------------

namespace {

Bytes SetVarRecord(uint16_t area, uint32_t address, uint8_t value)
{
    Bytes r{11, 0};
    Put32(r, address);
    r.insert(r.end(), {uint8_t(area), 0, 1, 0, value});
    return r;
}

// Whether a request record changes the control system (the PLC requests
// other than reads, the file operations other than list, get and info).
bool Changing(const cssim::Record& r)
{
    if (r.direction != 0 || r.type() != 0)
        return false;
    if (r.cls() == 1)
        return !(r.code() == 0 || r.code() == 1 || r.code() == 22 || r.code() == 24 || r.code() == 26 ||
                 r.code() == 29 || r.code() == 30);
    if (r.cls() == 2)
        return !(r.code() == OXFR_CODE_LIST || r.code() == OXFR_CODE_GET || r.code() == OXFR_CODE_INFO);
    return false;
}

} // namespace

// The simulator ends: the link resets itself once a request finds no peer.
// From then until it is established again every request that changes the
// control system is refused at once (nothing ends later, nothing is held),
// while a read waits for the link.  A simulator started again on the same
// ports gets none of them.  (The channel held them and the new control
// system received the write asked while the link was down.)  What the link
// kept from the lost connection is no longer current: the status reads
// unknown and list 1 hears so, watched values read the reset's status; once
// established again the link reads the new control system's status itself.
TEST_F(SimLink, ChangesAskedWhileTheLinkIsDownAreRefusedAndNeverReachALaterControlSystem)
{
    // A write, a watch and the status of the first control system.
    ASSERT_EQ(pl->SetVar(target.handle, 1, SetVarRecord(1, 0x20, 7).data()), 1);
    ASSERT_EQ(Result(1).rec.status, 0);
    ASSERT_EQ(sim->plc().readMemory(1, 0x20, 1)[0], 7);
    ASSERT_EQ(pl->SetWatchPeriod(target.handle, 0, 100, 0), 1);
    ASSERT_EQ(pl->AddWatch(target.handle, 2, 1, 0x20, 1, 1), 1);
    uint8_t v[8] = {};
    ASSERT_TRUE(Pump([&] { return pl->GetWatchValue(1, 0x20, 1, v, 1) == 0 && v[0] == 7; }));
    // A running mechanism and the registers of a line, pushed.
    sim->plc().setMechanism(0x40, 1, 1, 12);
    sim->plc().executeLine(12, 1, 5);
    ASSERT_EQ(pl->SetWatchMechPeriod(target.handle, 0, 100, 0), 1);
    ASSERT_EQ(pl->SetWatchRegsOnLinePeriod(target.handle, 0, 100, 0), 1);
    ASSERT_EQ(pl->AddWatchMech(0, 0, 1, 0x40, 1), 1);
    ASSERT_EQ(pl->AddWatchRegsOnLine(0, 0, 12, 1), 1);
    MechStateRecord mech{};
    LineRegsRecord regs{};
    ASSERT_TRUE(Pump([&] {
        return pl->GetWatchMechState(1, 0x40, &mech) == 0 && mech.running == 1 &&
               pl->GetWatchRegsOnLine(12, &regs) == 0 && regs.dr == 5;
    }));
    sim->plc().setFlags(0x000E);
    ASSERT_EQ(pl->GetStatus(target.handle, 3), 1);
    Wait(WM_LINK_RESULT, 3);
    PlcStatusRecord st{};
    ASSERT_TRUE(pl->GetLastStatus(&st) && st.length == 10);

    sim.reset();
    const size_t before = target.Count(WM_LINK_RESULT);
    ASSERT_EQ(pl->GetStatus(target.handle, 4), 1);
    ASSERT_TRUE(Pump([&] { return list0.Count(WM_LINK_STATE) >= 1; }, 30000)) << "the link never reset";
    EXPECT_EQ(Wait(WM_LINK_RESULT, before + 1).rec.status, OLNK_STATUS_LINK_RESET);
    const size_t statusNotices = list1.got.size();
    PumpFor(100);

    // Nothing of the lost connection reads as current.
    ASSERT_TRUE(pl->GetLastStatus(&st));
    EXPECT_EQ(st.length, 0);
    bool told = false;
    for (const Got& g : list1.got)
        told = told || (g.msg == WM_LINK_NOTIFY && g.lParam == 0);
    EXPECT_TRUE(told) << "list 1 never heard that the status is unknown";
    EXPECT_GE(statusNotices, 1u);
    EXPECT_EQ(pl->GetWatchValue(1, 0x20, 1, v, 1), OLNK_STATUS_LINK_RESET);
    EXPECT_EQ(pl->GetWatchMechState(1, 0x40, &mech), OLNK_STATUS_LINK_RESET);
    EXPECT_EQ(pl->GetWatchRegsOnLine(12, &regs), OLNK_STATUS_LINK_RESET);

    // Refused at once, with the link's error, and no result follows.
    ASSERT_FALSE(link->IsEstablished());
    const size_t results = target.Count(WM_LINK_RESULT), xfers = target.Count(WM_XFER_RESULT);
    auto refused = [&](int r, const char* what) {
        EXPECT_EQ(r, 0) << what;
        EXPECT_EQ(sys::GetLastError(), OLNK_LINK_E_NOT_ESTABLISHED) << what;
    };
    const Bytes bits{0x20, 0, 0, 0, 1, 0, 0x01, 0x01};
    const Bytes setMech{9, 0, 0x40, 0, 0, 0, 1, 0, 1};
    const Bytes image = Image();
    uint32_t job = 0;
    refused(pl->SetVar(target.handle, 10, SetVarRecord(1, 0x20, 200).data()), "SetVar");
    refused(pl->SetVarBits(target.handle, 11, bits.data()), "SetVarBits");
    refused(pl->SetMech(target.handle, 12, setMech.data()), "SetMech");
    refused(pl->SetRegs(target.handle, 13, 1, 5), "SetRegs");
    refused(pl->RunPLC(target.handle, 14), "RunPLC");
    refused(pl->StopPLC(target.handle, 15), "StopPLC");
    refused(pl->ClearPLC(target.handle, 16), "ClearPLC");
    refused(pl->TransferPLC(target.handle, 17, nullptr, &job, uint32_t(image.size()), image.data()), "TransferPLC");
    refused(pl->SetBrkAtLine(target.handle, 18, Brk(5, 1).data()), "SetBrkAtLine");
    refused(pl->ClearBrks(target.handle, 19), "ClearBrks");
    refused(pl->CommitWatch(target.handle, 20), "CommitWatch");
    refused(pl->AddWatchMech(target.handle, 21, 1, 0x40, 1), "AddWatchMech");
    refused(fc->Delete(target.handle, 22, u"\\DATA\\X.TXT"), "Delete");
    refused(fc->CreateDir(target.handle, 23, u"\\DATA\\NEW"), "CreateDir");
    refused(fc->Move(target.handle, 24, u"\\DATA\\A.TXT", u"\\DATA\\B.TXT"), "Move");
    refused(fc->RemoveDir(target.handle, 25, u"\\DATA\\OLD"), "RemoveDir");
    EXPECT_EQ(pl->GetBrkState(5), -1);
    // A read waits for the link.
    ASSERT_EQ(pl->GetVar(target.handle, 26, Bytes{10, 0, 0x20, 0, 0, 0, 1, 0, 1, 0}.data()), 1);
    PumpFor(50);
    EXPECT_EQ(target.Count(WM_LINK_RESULT), results);
    EXPECT_EQ(target.Count(WM_XFER_RESULT), xfers);

    // A control system started again on the same ports, without a program.
    sim = std::make_unique<cssim::Simulator>(cfg);
    ASSERT_TRUE(sim->start());
    ASSERT_TRUE(Pump([&] { return link->IsEstablished(); }, 30000)) << "never established again";
    const Got read = Wait(WM_LINK_RESULT, results + 1, 30000);
    EXPECT_EQ(read.rec.kind, 22);
    EXPECT_EQ(read.rec.status, 0);
    // Its status, read by the link itself.
    ASSERT_TRUE(Pump([&] { return pl->GetLastStatus(&st) && st.length == 10; }, 20000)) << "the status was not read again";
    EXPECT_EQ(uint16_t{st.flags}, sim->plc().flags());
    EXPECT_EQ(Requests(0), 1u);
    PumpFor(300);
    // Only the breakpoints the user wants reach it: none, as the latest
    // choice (the refused clear) says; the refused writes never do.
    for (const cssim::Record& r : sim->recorder().all()) {
        const bool wanted = r.cls() == 1 && r.code() == 12 && HexText(r.payload()) == "04 00 00 00";
        EXPECT_TRUE(wanted || !Changing(r))
            << "class " << int(r.cls()) << " code " << int(r.code()) << " reached it";
    }
    EXPECT_EQ(sim->plc().readMemory(1, 0x20, 1)[0], 0);
    EXPECT_TRUE(sim->plc().breakpoints().empty());

    // Established again, a write goes out.
    ASSERT_EQ(pl->SetVar(target.handle, 27, SetVarRecord(1, 0x20, 9).data()), 1);
    ASSERT_TRUE(Pump([&] { return sim->plc().readMemory(1, 0x20, 1)[0] == 9; }));
}

// Before the link ends for good, the watch lists it set are ended at the
// control system (empty lists), and the link waits for their replies: the
// control system pushes nothing more to a port nobody reads.  (Closing
// left them set.)  A list the link never set sends nothing.
TEST_F(SimLink, EndWatchesEndsTheListsSetBeforeTheLinkCloses)
{
    ASSERT_EQ(pl->AddWatch(target.handle, 1, 1, 0x20, 2, 1), 1);
    ASSERT_EQ(pl->AddWatchMech(target.handle, 2, 1, 0x40, 1), 1);
    ASSERT_TRUE(Pump([&] { return sim->plc().watch().count == 1 && sim->plc().watchMech().count == 1; }));
    const size_t lineRequests = Requests(19);
    ASSERT_EQ(link->EndWatches(2000), 2);
    // Answered before it returned.
    EXPECT_EQ(sim->plc().watch().count, 0);
    EXPECT_EQ(sim->plc().watchMech().count, 0);
    EXPECT_EQ(Requests(19), lineRequests);
    EXPECT_EQ(HexText(Request(16).payload()).substr(0, 5), "06 00");
    // The link's own lists stay: a commit sends them again.
    ASSERT_EQ(pl->CommitWatch(target.handle, 3), 1);
    ASSERT_TRUE(Pump([&] { return sim->plc().watch().count == 1; }));
    // Nothing set: nothing sent.
    ASSERT_EQ(link->EndWatches(2000), 1);
    EXPECT_EQ(link->EndWatches(2000), 0);
    ASSERT_EQ(link->Close(), 1);
    EXPECT_EQ(link->EndWatches(2000), 0);
}

// The control system restarted between two requests, its end unnoticed:
// its connect resets the link, and the status the link held ("interrupted")
// gives way to the new control system's, read by the link itself.  (The
// stale status stayed until someone asked for it.)
TEST_F(SimLink, AControlSystemRestartedUnnoticedHasItsStatusReadAgain)
{
    Wrap();
    sim->plc().setFlags(cssim::FLAG_LOADED | cssim::FLAG_RUNNING | 0x08);
    const size_t n = target.Count(WM_LINK_RESULT);
    ASSERT_EQ(pl->GetStatus(target.handle, 1), 1);
    Wait(WM_LINK_RESULT, n + 1);
    PlcStatusRecord st{};
    ASSERT_TRUE(pl->GetLastStatus(&st) && (st.flags & 0x0C) == 0x0C);
    sim.reset();
    sim = std::make_unique<cssim::Simulator>(cfg);
    ASSERT_TRUE(sim->start());
    sim->resetNow();
    ASSERT_TRUE(Pump([&] { return list0.Count(WM_LINK_STATE) >= 1; }, 20000)) << "no reset";
    ASSERT_TRUE(Pump([&] { return pl->GetLastStatus(&st) && st.length == 10; }, 20000)) << "not read again";
    EXPECT_EQ(uint16_t{st.flags}, sim->plc().flags());
    EXPECT_EQ(target.Count(WM_LINK_RESULT), n + 1);
}

// ---- The wanted breakpoints ----------------------------------------------------------------

namespace {

// How debugging ends; how the simulator answers the breakpoint requests
// (a forced status or no reply, once: the next answer is 0; `times` 0 for
// every request, below).
enum End
{
    UserStop,     // the watch view's empty list
    LinkLoss,     // a loss of the link, which the document's clear meets while it is down
    ProjectClosed // the clear and the empty list, the link closed, the next one opened
};
struct Answer
{
    const char* name;
    std::optional<int8_t> status;
    bool drop;
};
const Answer kZero{"Zero", std::nullopt, false}, kBusy{"Busy", int8_t(-1), false},
    kOwnCode{"OwnCode", int8_t(5), false}, kNone{"None", std::nullopt, true};
struct Row
{
    End end;
    uint32_t cuts; // the relay cuts the link at that many breakpoint requests in a row
    Answer answer;
};

// The simulator runs a program (listing lines 3, 5, 7, 9, each counting a
// variable of its own) behind its fault shim.
class Brks : public SimLink
{
protected:
    void SetUp() override
    {
        cfg.shim = true;
        cfg.runRate = 2000;
        SimLink::SetUp();
        if (HasFatalFailure())
            return;
        link->SetJobTimeout(1500);
        sim->plc().setImage(testsupport::PlcProgramImage(testsupport::PlcProgramModule(
            {3, 5, 7, 9}, {{1, 0x100, 1}, {1, 0x101, 1}, {1, 0x102, 1}, {1, 0x103, 1}})));
    }
    // The next project's link, opened to the same simulator.
    void Reopen()
    {
        link = std::make_unique<COlnkLink>(linkui::WindowPoster());
        ASSERT_NO_FATAL_FAILURE(OpenLink());
        link->SetJobTimeout(1500);
        pl = static_cast<IOlnkPL*>(link->Query(OLNK_IID_PL));
    }
    void Script(const Answer& a, uint32_t times)
    {
        cssim::RequestScript s;
        s.status = a.status;
        s.drop = a.drop;
        s.times = times;
        for (uint8_t code : {12, 13})
            sim->scriptRequest(code, s);
    }
    uint8_t RunsOf7() { return sim->plc().readMemory(1, 0x102, 1).at(0); }
    // Runs the PLC until it stands at a line (returned) or ran line 7 twice (0).
    uint32_t Run()
    {
        sim->plc().setFlags(cssim::FLAG_LOADED);
        const uint8_t before = RunsOf7();
        EXPECT_EQ(pl->RunPLC(target.handle, 0), 1) << std::hex << sys::GetLastError();
        uint32_t at = 0;
        EXPECT_TRUE(Pump([&] {
            at = sim->plc().flags() & cssim::FLAG_AT_POSITION ? sim->plc().position() : 0;
            return at || uint8_t(RunsOf7() - before) >= 2;
        }));
        sim->plc().setFlags(cssim::FLAG_LOADED);
        return at;
    }
    // The relay cuts the link as the next breakpoint request (codes first
    // to last) passes.
    void CutAt(int first, int last)
    {
        cssim::TargetedFault cut;
        cut.match = {0, 1, 0, first};
        cut.match.codeLast = last;
        cut.action = cssim::FrameAction::Cut;
        sim->shim().addTargeted(cut);
    }
    const Bytes both = Bytes{12, 0, 2, 0, 5, 0, 0, 0, 7, 0, 0, 0}, none = Bytes{4, 0, 0, 0};
};

class BrksTable : public Brks, public ::testing::WithParamInterface<Row>
{
};

// Debugging with breakpoints 5 and 7 ends by each road, the link cut at the
// breakpoint request, the simulator answering it in each way: once the link
// settles the simulator holds none and a run goes through line 7; a
// breakpoint set after it (7) is held when the run starts, which halts
// there.  (An empty list cut off or refused, a clear answered with a
// positive status, left breakpoints behind; an owed clear sent ahead of a
// run emptied a set confirmed after it.)
TEST_P(BrksTable, TheControlSystemEndsWithTheWantedSet)
{
    const Row row = GetParam();
    Wrap();
    ASSERT_EQ(pl->SetBrksAtLine(target.handle, 1, both.data()), 1);
    ASSERT_TRUE(Pump([&] { return link->BreakpointsConfirmed(); }));
    ASSERT_EQ(sim->plc().breakpoints(), (std::vector<uint32_t>{5, 7}));
    Script(row.answer, 1);
    const uint64_t matched = sim->shim().matched() + (row.end == LinkLoss);
    if (row.cuts)
        CutAt(12, 13);
    if (row.end == LinkLoss) {
        // Cut at a read: the link resets itself; the clear is refused.
        CutAt(0, 0);
        ASSERT_EQ(pl->GetStatus(target.handle, 0), 1);
        ASSERT_TRUE(
            Pump([&] { return sim->shim().matched() == matched && link->LinkDown(); }, 20000));
        EXPECT_EQ(link->ClearBrks(0, 0), 0);
        sim->shim().silence(-1, false);
    } else {
        if (row.end == ProjectClosed)
            link->ClearBrks(0, 0);
        pl->SetBrksAtLine(target.handle, 2, none.data());
    }
    if (row.end == ProjectClosed) {
        link->EndWatches(300);
        ASSERT_EQ(link->Close(), 1);
    }
    for (uint32_t i = 1; i <= row.cuts; ++i) {
        // Down (the channel reset itself), or closed with the project; armed
        // again then, so that the next cut is at the link's own request.
        ASSERT_TRUE(Pump(
            [&] {
                return sim->shim().matched() == matched + i &&
                       (link->LinkDown() || !link->IsOpen());
            },
            20000))
            << "cut " << i;
        if (i < row.cuts)
            CutAt(12, 13);
        sim->shim().silence(-1, false);
        if (!link->IsOpen()) {
            ASSERT_NO_FATAL_FAILURE(Reopen());
        }
    }
    if (!link->IsOpen()) {
        ASSERT_NO_FATAL_FAILURE(Reopen());
    }
    ASSERT_TRUE(Pump(
        [&] { return link->BreakpointsConfirmed() && sim->plc().breakpoints().empty(); }, 20000));
    EXPECT_EQ(Run(), 0u);
    ASSERT_EQ(pl->SetBrkAtLine(target.handle, 3, Brk(7, 1).data()), 1);
    ASSERT_TRUE(Pump([&] { return link->BreakpointsConfirmed(); }));
    EXPECT_EQ(Run(), 7u);
}

std::vector<Row> Rows()
{
    std::vector<Row> rows;
    for (End end : {UserStop, LinkLoss, ProjectClosed})
        for (uint32_t cuts : {0u, 1u, 2u})
            for (const Answer& a : {kZero, kBusy, kOwnCode, kNone})
                rows.push_back({end, cuts, a});
    return rows;
}
std::string RowName(const ::testing::TestParamInfo<Row>& info)
{
    static const char* const ends[] = {"UserStop", "LinkLoss", "ProjectClosed"};
    return ends[info.param.end] + ("Cut" + std::to_string(info.param.cuts)) +
           info.param.answer.name;
}
INSTANTIATE_TEST_SUITE_P(Roads, BrksTable, ::testing::ValuesIn(Rows()), RowName);

// A control system that never confirms the empty set: the first run, step
// or wake is refused with the reason, the next one goes, so that the user
// is never left without a way to run.
TEST_F(Brks, AControlSystemThatNeverConfirmsIsToldOnceThenRunsGo)
{
    using Command = int (IOlnkPL::*)(uint32_t, std::uintptr_t);
    const std::tuple<Answer, Command, uint8_t> cases[] = {{kBusy, &IOlnkPL::RunPLC, 6},
                                                          {kOwnCode, &IOlnkPL::StepPLC, 9},
                                                          {kNone, &IOlnkPL::WakePLC, 5}};
    for (const auto& [answer, command, code] : cases) {
        SCOPED_TRACE(answer.name);
        const size_t n = target.Count(WM_LINK_RESULT);
        ASSERT_EQ(pl->SetBrksAtLine(target.handle, 1, both.data()), 1);
        ASSERT_EQ(Wait(WM_LINK_RESULT, n + 1).rec.status, 0);
        Script(answer, 0);
        ASSERT_EQ(pl->SetBrksAtLine(target.handle, 2, none.data()), 1);
        EXPECT_NE(Wait(WM_LINK_RESULT, n + 2).rec.status, 0);
        EXPECT_FALSE(link->BreakpointsConfirmed());
        EXPECT_EQ((pl->*command)(target.handle, 0), 0);
        EXPECT_EQ(sys::GetLastError(), OLNK_LINK_E_BRKS_NOT_CONFIRMED);
        EXPECT_EQ((pl->*command)(target.handle, 0), 1);
        EXPECT_EQ(Wait(WM_LINK_RESULT, n + 3).rec.kind, code); // it went
        for (uint8_t c : {12, 13})
            sim->clearRequestScript(c);
        ASSERT_TRUE(Pump([&] { return link->IsEstablished(); }, 20000));
    }
}

} // namespace
