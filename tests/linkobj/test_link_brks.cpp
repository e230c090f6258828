// The breakpoints the control system holds are the ones the user sees: the
// link object sends the wanted set until the simulator confirmed it (status
// 0), whatever the link does meanwhile.  The simulator runs a program
// (listing lines 3, 5, 7, 9, each counting its own variable) behind its
// fault shim, whose relay cuts the link as a breakpoint request passes.
#include "sim_link.h"

#include "platform/sys/LastError.h"

using namespace linktest;

namespace {

enum class End
{
    UserStop,     // the user ends debugging: the link's set emptied, the empty list sent
    LinkLoss,     // the link is lost while debugging, which ends it
    ProjectClosed // the project closed (its link ended), the next one opened
};
enum class Answer
{
    Zero,
    BusyOnce,    // -1, then 0
    OwnCodeOnce, // 5 (the control system's own failure code), then 0
    NoneOnce     // no reply, then 0
};
struct Row
{
    End end;
    uint32_t cuts; // the relay cuts the link at that many breakpoint requests in a row
    Answer answer;
};

std::string Name(const ::testing::TestParamInfo<Row>& info)
{
    const char* ends[] = {"UserStop", "LinkLoss", "ProjectClosed"};
    const char* answers[] = {"Zero", "BusyOnce", "OwnCodeOnce", "NoneOnce"};
    return std::string(ends[int(info.param.end)]) + "Cut" + std::to_string(info.param.cuts) +
           answers[int(info.param.answer)];
}

constexpr uint16_t kArea = 1;
constexpr uint32_t kVarOfLine7 = 0x102; // the third listed line counts the third variable

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
            {3, 5, 7, 9},
            {{kArea, 0x100, 1}, {kArea, 0x101, 1}, {kArea, 0x102, 1}, {kArea, 0x103, 1}})));
        sim->plc().setFlags(cssim::FLAG_LOADED);
    }
    void Reopen()
    {
        link = std::make_unique<COlnkLink>(linkui::WindowPoster());
        ASSERT_NO_FATAL_FAILURE(OpenLink());
        link->SetJobTimeout(1500);
        pl = static_cast<IOlnkPL*>(link->Query(OLNK_IID_PL));
    }
    Bytes List(std::initializer_list<uint32_t> indices)
    {
        Bytes b{uint8_t(4 + 4 * indices.size()), 0, uint8_t(indices.size()), 0};
        for (uint32_t i : indices)
            Put32(b, i);
        return b;
    }
    void Script(std::optional<int8_t> status, bool drop, uint32_t times)
    {
        cssim::RequestScript s;
        s.status = status;
        s.drop = drop;
        s.times = times;
        for (uint8_t code : {12, 13})
            sim->scriptRequest(code, s);
    }
    uint8_t Counted() { return sim->plc().readMemory(kArea, kVarOfLine7, 1).at(0); }
    // Runs the PLC from the start and waits until it stands at a line or
    // ran line 7 twice: the line it stands at, 0 when it ran through.
    uint32_t RunUntilHaltOrTwiceThrough7()
    {
        sim->plc().setFlags(cssim::FLAG_LOADED);
        const uint8_t before = Counted();
        EXPECT_EQ(pl->RunPLC(target.handle, 0), 1) << std::hex << sys::GetLastError();
        uint32_t at = 0;
        EXPECT_TRUE(Pump([&] {
            if (sim->plc().flags() & cssim::FLAG_AT_POSITION) {
                at = sim->plc().position();
                return true;
            }
            return uint8_t(Counted() - before) >= 2;
        }));
        sim->plc().setFlags(cssim::FLAG_LOADED);
        return at;
    }
};

class BrksTable : public Brks, public ::testing::WithParamInterface<Row>
{
};

// Debugging with breakpoints 5 and 7, ended by each road, with the link cut
// at the breakpoint request and the simulator answering it in each way:
// once the link settles, the simulator holds no breakpoint and a run goes
// through line 7; a breakpoint the user sets after it (7) is held by the
// simulator when the run starts, which halts there.  (A clear cut off, an
// empty list refused or cut off, and a clear answered with a positive
// status left breakpoints behind; an owed clear sent ahead of a run emptied
// a set confirmed after it.)
TEST_P(BrksTable, TheControlSystemEndsWithTheWantedSet)
{
    const Row row = GetParam();
    Wrap();
    const Bytes both = List({5, 7}), none = List({});
    ASSERT_EQ(pl->SetBrksAtLine(target.handle, 1, both.data()), 1);
    ASSERT_TRUE(Pump([&] { return link->BreakpointsConfirmed(); }));
    ASSERT_EQ(sim->plc().breakpoints(), (std::vector<uint32_t>{5, 7}));

    switch (row.answer) {
    case Answer::Zero:
        break;
    case Answer::BusyOnce:
        Script(int8_t(-1), false, 1);
        break;
    case Answer::OwnCodeOnce:
        Script(int8_t(5), false, 1);
        break;
    case Answer::NoneOnce:
        Script(std::nullopt, true, 1);
        break;
    }
    // The relay cuts the link at the next breakpoint request, as it passes
    // (armed again only once the link is down: no breakpoint frame moves
    // then, and the next one is the link's own, at its return).
    const uint64_t matched = sim->shim().matched();
    auto cutAt = [&](int first, int last) {
        cssim::TargetedFault cut;
        cut.match = {0, 1, 0, first};
        cut.match.codeLast = last;
        cut.action = cssim::FrameAction::Cut;
        sim->shim().addTargeted(cut);
    };
    if (row.cuts)
        cutAt(12, 13);
    // Debugging ends by the watch view's empty list (the user's stop), the
    // document's clear while the link is down (a loss), or both (the
    // project closed).
    auto emptyList = [&] { pl->SetBrksAtLine(target.handle, 2, none.data()); };
    auto clear = [&] { link->ClearBrks(0, 0); };
    switch (row.end) {
    case End::UserStop:
        emptyList();
        break;
    case End::LinkLoss: {
        // Cut at a read while debugging: the link resets itself, and the
        // watch view ends debugging while it is down.
        const uint64_t before = sim->shim().matched();
        cutAt(0, 0);
        ASSERT_EQ(pl->GetStatus(target.handle, 0), 1);
        ASSERT_TRUE(
            Pump([&] { return sim->shim().matched() > before && link->LinkDown(); }, 20000));
        clear();
        EXPECT_EQ(sys::GetLastError(), OLNK_LINK_E_NOT_ESTABLISHED);
        sim->shim().silence(-1, false);
        break;
    }
    case End::ProjectClosed:
        clear();
        emptyList();
        link->EndWatches(300);
        ASSERT_EQ(link->Close(), 1);
        break;
    }
    const uint64_t lossCut = row.end == End::LinkLoss ? 1 : 0;
    for (uint32_t i = 1; i <= row.cuts; ++i) {
        // Down (the channel reset itself), or closed with the project.
        ASSERT_TRUE(Pump(
            [&] {
                return sim->shim().matched() == matched + lossCut + i &&
                       (link->LinkDown() || !link->IsOpen());
            },
            20000))
            << "cut " << i;
        if (i < row.cuts)
            cutAt(12, 13);
        sim->shim().silence(-1, false);
        if (row.end == End::ProjectClosed && i == 1) {
            ASSERT_NO_FATAL_FAILURE(Reopen());
        }
    }
    if (row.end == End::ProjectClosed && row.cuts == 0) {
        ASSERT_NO_FATAL_FAILURE(Reopen());
    }

    ASSERT_TRUE(Pump(
        [&] { return link->BreakpointsConfirmed() && sim->plc().breakpoints().empty(); }, 20000))
        << "the simulator holds " << sim->plc().breakpoints().size();
    EXPECT_EQ(RunUntilHaltOrTwiceThrough7(), 0u);

    ASSERT_EQ(pl->SetBrkAtLine(target.handle, 3, Brk(7, 1).data()), 1);
    ASSERT_TRUE(Pump([&] { return link->BreakpointsConfirmed(); }));
    EXPECT_EQ(RunUntilHaltOrTwiceThrough7(), 7u);
    EXPECT_EQ(sim->plc().breakpoints(), (std::vector<uint32_t>{7}));
}

std::vector<Row> Rows()
{
    std::vector<Row> rows;
    for (End end : {End::UserStop, End::LinkLoss, End::ProjectClosed})
        for (uint32_t cuts : {0u, 1u, 2u})
            for (Answer a : {Answer::Zero, Answer::BusyOnce, Answer::OwnCodeOnce, Answer::NoneOnce})
                rows.push_back({end, cuts, a});
    return rows;
}
INSTANTIATE_TEST_SUITE_P(Roads, BrksTable, ::testing::ValuesIn(Rows()), Name);

// A control system that never confirms the empty set (busy, its own failure
// code, no answer): the first run, step or wake is refused with the reason,
// the next one goes, so that the user is never left without a way to run.
TEST_F(Brks, AControlSystemThatNeverConfirmsIsToldOnceThenRunsGo)
{
    using Command = int (IOlnkPL::*)(uint32_t, std::uintptr_t);
    struct Case
    {
        Answer answer;
        Command command;
        uint8_t code;
    };
    const Bytes both = List({5, 7}), none = List({});
    for (const Case c : {Case{Answer::BusyOnce, &IOlnkPL::RunPLC, 6},
                         Case{Answer::OwnCodeOnce, &IOlnkPL::StepPLC, 9},
                         Case{Answer::NoneOnce, &IOlnkPL::WakePLC, 5}}) {
        SCOPED_TRACE(int(c.code));
        const size_t n = target.Count(WM_LINK_RESULT);
        ASSERT_EQ(pl->SetBrksAtLine(target.handle, 1, both.data()), 1);
        ASSERT_EQ(Wait(WM_LINK_RESULT, n + 1).rec.status, 0);
        ASSERT_TRUE(link->BreakpointsConfirmed());
        const bool drop = c.answer == Answer::NoneOnce;
        Script(drop ? std::nullopt : std::optional<int8_t>(c.answer == Answer::BusyOnce ? -1 : 5),
               drop, 0);
        ASSERT_EQ(pl->SetBrksAtLine(target.handle, 2, none.data()), 1);
        EXPECT_NE(Wait(WM_LINK_RESULT, n + 2).rec.status, 0);
        EXPECT_FALSE(link->BreakpointsConfirmed());
        const size_t sent = Requests(c.code);
        EXPECT_EQ((pl->*c.command)(target.handle, 0), 0);
        EXPECT_EQ(sys::GetLastError(), OLNK_LINK_E_BRKS_NOT_CONFIRMED);
        EXPECT_EQ((pl->*c.command)(target.handle, 0), 1);
        ASSERT_TRUE(Pump([&] { return Requests(c.code) == sent + 1; }));
        sim->plc().setFlags(cssim::FLAG_LOADED);
        for (uint8_t code : {12, 13})
            sim->clearRequestScript(code);
        ASSERT_TRUE(Pump([&] { return link->IsEstablished(); }, 20000));
    }
}

} // namespace
