// The simulator's run mode: the program modules of a transferred image
// (written here from docs/build.md) drive breakpoints, steps and variables.
#include "cssim_test_util.h"

using namespace cssimtest;

namespace {

using testsupport::PlcProgramModule;
Bytes ProgramModule(const std::vector<uint32_t>& lines,
                    const std::vector<testsupport::ProgramModuleVar>& vars, long lineCount = -1)
{
    return PlcProgramModule(lines, vars, lineCount);
}
Bytes Image(const Bytes& program)
{
    return testsupport::PlcProgramImage(program);
}

struct RunFixture : ::testing::Test
{
    std::unique_ptr<SimAndSession> p;
    uint32_t prm = 1;

    void Start(uint32_t rate)
    {
        cssim::Config cfg;
        cfg.runRate = rate;
        p = std::make_unique<SimAndSession>(cfg);
        ASSERT_TRUE(p->established);
    }
    void Transfer(const Bytes& img)
    {
        uint32_t job = 0;
        const uint32_t q = prm++;
        ASSERT_EQ(OlnkRequestTransferPLC(p->s, q, img.data(), uint32_t(img.size()), nullptr, 0, &job), 1);
        auto r = p->res.Reply(2, q);
        ASSERT_TRUE(r);
        ASSERT_EQ(r->status, 0);
    }
    int8_t Command(int (*req)(OxfrSession, uint32_t), uint8_t code)
    {
        const uint32_t q = prm++;
        EXPECT_EQ(req(p->s, q), 1);
        auto r = p->res.Reply(code, q);
        return r ? r->status : int8_t(99);
    }
    cssim::Plc& Plc() { return p->sim->plc(); }
    // Waits for a status push that reports the PLC at `pos`.
    // Forgets the pushes so far (the session's thread adds to them).
    void ClearPushes()
    {
        std::lock_guard<std::mutex> g(p->res.m);
        p->res.pushes.clear();
    }
    bool PushedAt(uint32_t pos)
    {
        return p->res.WaitFor(
            [&] {
                for (auto& r : p->res.pushes)
                    if (r.code == 0 && r.data.size() >= 8 && (r.data[2] & cssim::FLAG_AT_POSITION) &&
                        r.data[4] == pos)
                        return true;
                return false;
            },
            5000);
    }
    unsigned Var(uint16_t area, uint32_t address, uint32_t size)
    {
        const Bytes b = Plc().readMemory(area, address, size);
        unsigned v = 0;
        for (size_t i = b.size(); i-- > 0;)
            v = v << 8 | b[i];
        return v;
    }
};

TEST_F(RunFixture, RunStopsAtBreakpointsStepsAndMovesVariables)
{
    Start(2000);
    Transfer(Image(ProgramModule({3, 5, 9}, {{1, 0x100, 1}, {2, 0x10, 2}})));
    ASSERT_TRUE(Plc().hasProgram()) << Plc().programNote();
    EXPECT_EQ(Plc().program().lines, (std::vector<uint32_t>{3, 5, 9}));
    Plc().setBreakpoints({9});

    // The first cycle executes 3 and 5, then stops before 9 (pushed).
    ASSERT_EQ(Command(OlnkRequestRunPLC, 6), 0);
    ASSERT_TRUE(PushedAt(9));
    EXPECT_EQ(Plc().flags(), cssim::FLAG_LOADED | cssim::FLAG_RUNNING | cssim::FLAG_AT_POSITION);
    EXPECT_EQ(Plc().position(), 9u);
    EXPECT_EQ(Var(1, 0x100, 1), 1u);
    EXPECT_EQ(Var(2, 0x10, 2), 1u);
    EXPECT_EQ(Plc().lineRegs(5).activity, 0);
    EXPECT_EQ(Plc().lineRegs(5).dr, 1);
    EXPECT_EQ(Plc().lineRegs(9).activity, 255); // not executed yet

    // Step executes the line at the position and stops at the next listed
    // line, the first again after the last.
    ASSERT_EQ(Command(OlnkRequestStepPLC, 9), 0);
    EXPECT_EQ(Plc().position(), 3u);
    EXPECT_EQ(Var(1, 0x100, 1), 2u); // line 9 is the third: variable 2 mod 2
    EXPECT_EQ(Plc().lineRegs(9).rlo, 0);
    EXPECT_EQ(Plc().lineRegs(9).dr, 2);
    ASSERT_EQ(Command(OlnkRequestStepPLC, 9), 0);
    EXPECT_EQ(Plc().position(), 5u);
    EXPECT_EQ(Var(1, 0x100, 1), 3u);
    EXPECT_EQ(Plc().lineRegs(3).rlo, 1);

    // Run continues from 5 and stops at 9 again; run from the breakpoint
    // executes it and goes round.
    ClearPushes();
    ASSERT_EQ(Command(OlnkRequestRunPLC, 6), 0);
    ASSERT_TRUE(PushedAt(9));
    EXPECT_EQ(Var(2, 0x10, 2), 2u);
    ClearPushes();
    ASSERT_EQ(Command(OlnkRequestRunPLC, 6), 0);
    ASSERT_TRUE(PushedAt(9));
    EXPECT_EQ(Var(1, 0x100, 1), 5u); // 9, then 3
    EXPECT_EQ(Var(2, 0x10, 2), 3u);

    // Without breakpoints it runs on; break stops at the next line to run.
    Plc().setBreakpoints({});
    ASSERT_EQ(Command(OlnkRequestRunPLC, 6), 0);
    ASSERT_TRUE(testsupport::WaitUntil([&] { return Var(2, 0x10, 2) > 40; }, 5000));
    ASSERT_EQ(Command(OlnkRequestBreakPLC, 8), 0);
    EXPECT_TRUE(Plc().flags() & cssim::FLAG_AT_POSITION);
    const uint32_t at = Plc().position();
    EXPECT_TRUE(at == 3 || at == 5 || at == 9) << at;
    const unsigned frozen = Var(1, 0x100, 1);
    // Time is the subject: running on at 2000 lines a second, it would
    // move the variable within these 50 ms.
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(Var(1, 0x100, 1), frozen);
}

TEST_F(RunFixture, BadOrMissingModuleLeavesRunModeIdle)
{
    Start(2000);
    Transfer(Image(ProgramModule({3, 5}, {{1, 0x100, 1}}, 5))); // counts beyond the payload
    EXPECT_FALSE(Plc().hasProgram());
    EXPECT_NE(Plc().programNote().find("does not fit"), std::string::npos) << Plc().programNote();
    Plc().setBreakpoints({3});
    ASSERT_EQ(Command(OlnkRequestRunPLC, 6), 0);
    // Time is the subject: with a program, 100 ms at 2000 lines a second
    // would have reached the breakpoint.
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(Plc().flags(), cssim::FLAG_LOADED | cssim::FLAG_RUNNING);
    EXPECT_EQ(Var(1, 0x100, 1), 0u);
    ASSERT_EQ(Command(OlnkRequestBreakPLC, 8), 0);
    EXPECT_EQ(Plc().position(), 3u); // the model's own behaviour
    ASSERT_EQ(Command(OlnkRequestStopPLC, 7), 0);

    Transfer(Image({}));
    EXPECT_FALSE(Plc().hasProgram());
    EXPECT_EQ(Plc().programNote(), "the image has no program module");
}

TEST(CssimProgram, JoinsModulesInImageOrder)
{
    Bytes mods = ProgramModule({2, 4}, {{0, 0, 8}});
    const Bytes second = ProgramModule({7}, {{15, 65534, 2}});
    mods.insert(mods.end(), second.begin(), second.end());
    cssim::Program prg;
    std::string why;
    ASSERT_TRUE(cssim::ReadProgram(Image(mods), prg, why)) << why;
    EXPECT_EQ(prg.lines, (std::vector<uint32_t>{2, 4, 7}));
    EXPECT_EQ(prg.vars, (std::vector<cssim::ProgramVar>{{0, 0, 8}, {15, 65534, 2}}));
    // Lines out of order, a variable beyond its area: refused.
    mods = ProgramModule({4}, {});
    const Bytes back = ProgramModule({2}, {});
    mods.insert(mods.end(), back.begin(), back.end());
    EXPECT_FALSE(cssim::ReadProgram(Image(mods), prg, why));
    EXPECT_FALSE(cssim::ReadProgram(Image(ProgramModule({1}, {{1, 65535, 2}})), prg, why));
    EXPECT_TRUE(prg.lines.empty());
}

} // namespace
