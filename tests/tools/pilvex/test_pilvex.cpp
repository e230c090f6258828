// The console-spawn helper Pilvex, run as a real child over real pipes.
#include "platform/sys/FileIO.h"
#include "platform/sys/Process.h"
#include "tests/support/platform/TempDir.h"
#include "tests/support/platform/Wait.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

using namespace sys;

namespace {

std::string PilvexPath()
{
    const char* bin = std::getenv("SW_BIN_DIR");
    return std::string(bin ? bin : ".") + "/Pilvex";
}

struct PilvexRun
{
    Process process;
    PipeEnds in, out;
    std::string output;

    explicit PilvexRun(std::vector<std::string> args, const std::string& folder = {})
    {
        EXPECT_TRUE(CreatePipe(in));
        EXPECT_TRUE(CreatePipe(out));
        SpawnOptions o;
        o.argv = {PilvexPath()};
        o.argv.insert(o.argv.end(), args.begin(), args.end());
        o.stdinFd = in.read;
        o.stdoutFd = out.write;
        o.stderrFd = out.write;
        o.workingFolder = folder;
        EXPECT_TRUE(process.Spawn(o));
        CloseFd(in.read);
        CloseFd(out.write);
    }
    ~PilvexRun() { ClosePipe(in), ClosePipe(out); }

    void Send(const std::string& bytes)
    {
        EXPECT_TRUE(WriteAll(in.write, bytes.data(), bytes.size()));
    }

    // Reads until the first line is complete.
    std::string FirstLine()
    {
        char buf[256];
        while (output.find('\n') == std::string::npos) {
            if (WaitReadable(out.read, 5000) != 1)
                break;
            const long n = ReadNonBlocking(out.read, buf, sizeof buf);
            if (n <= 0)
                break;
            output.append(buf, size_t(n));
        }
        return output.substr(0, output.find('\n'));
    }

    // Reads to the end and returns the exit code.
    int Finish()
    {
        char buf[4096];
        for (;;) {
            if (WaitReadable(out.read, 20000) != 1)
                break;
            const long n = ReadNonBlocking(out.read, buf, sizeof buf);
            if (n == 0)
                break;
            if (n > 0)
                output.append(buf, size_t(n));
        }
        EXPECT_TRUE(process.Wait(20000));
        return process.ExitCode();
    }
};

// True while a process that is not a zombie is in the group.
bool GroupAlive(pid_t group)
{
    bool alive = false;
    if (DIR* d = opendir("/proc")) {
        while (dirent* e = readdir(d)) {
            std::ifstream f(std::string("/proc/") + e->d_name + "/stat");
            std::string stat;
            if (!f || !std::getline(f, stat))
                continue;
            const size_t close = stat.rfind(')');
            if (close == std::string::npos)
                continue;
            char state = 0;
            int ppid = 0, pgrp = 0;
            if (sscanf(stat.c_str() + close + 1, " %c %d %d", &state, &ppid, &pgrp) == 3 &&
                pgrp == group && state != 'Z')
                alive = true;
        }
        closedir(d);
    }
    return alive;
}

bool GroupGone(pid_t group)
{
    return testsupport::WaitUntil([group] { return !GroupAlive(group); }, 2000);
}

const std::string kStop("k\0i\0l\0l\0\r\0\n\0\0\0", 14);

} // namespace

TEST(Pilvex, WithoutAToolItSaysSoAndEndsWithTwo)
{
    PilvexRun r({});
    EXPECT_EQ(r.Finish(), 2);
    EXPECT_EQ(r.output, "Pilvex: nebyl zad\xE1n p\xF8\xEDkaz\r\n");
}

TEST(Pilvex, FindsTheToolWithoutExeAndInPath)
{
    testsupport::TempDir dir;
    dir.Write("tool", "#!/bin/sh\necho \"tool $1\"\n");
    chmod((dir / "tool").c_str(), 0755);
    {
        PilvexRun r({"tool.EXE", "a b"}, dir.Path());
        EXPECT_EQ(r.Finish(), 0);
        EXPECT_EQ(r.output, "tool a b\n");
    }
    {
        PilvexRun r({dir / "tool.exe", "x"});
        EXPECT_EQ(r.Finish(), 0);
        EXPECT_EQ(r.output, "tool x\n");
    }
    {
        PilvexRun r({"sh.exe", "-c", "echo from path"}, dir.Path());
        EXPECT_EQ(r.Finish(), 0);
        EXPECT_EQ(r.output, "from path\n");
    }
}

TEST(Pilvex, RunsBatchFilesThroughShAndKeepsTheOrderOfOutputAndError)
{
    testsupport::TempDir dir;
    dir.Write("Make.BAT",
              "echo one $1\necho two >&2\necho three\nread x || echo stdin-empty\nexit 4\n");
    PilvexRun r({"Make.BAT", "arg"}, dir.Path());
    EXPECT_EQ(r.Finish(), 4);
    EXPECT_EQ(r.output, "one arg\ntwo\nthree\nstdin-empty\n");
}

TEST(Pilvex, ToolThatCannotStartGivesOneHundredTwentySeven)
{
    testsupport::TempDir dir;
    PilvexRun r({"nope.exe"}, dir.Path());
    EXPECT_EQ(r.Finish(), 127);
    EXPECT_EQ(r.output,
              "Pilvex: p\xF8\xEDkaz nope.exe nelze spustit (No such file or directory)\r\n");
}

TEST(Pilvex, SignalEndedToolGivesOneHundredTwentyEightPlusN)
{
    PilvexRun r({"/bin/sh", "-c", "kill -9 $$"});
    EXPECT_EQ(r.Finish(), 128 + 9);
}

TEST(Pilvex, EndOfInputAndOtherInputLeaveTheToolRunning)
{
    PilvexRun r({"/bin/sh", "-c", "sleep 0.3; exit 5"});
    r.Send(std::string("ki\0ll\0\r\n", 8)); // not the request
    CloseFd(r.in.write);
    EXPECT_EQ(r.Finish(), 5);
}

TEST(Pilvex, StopRequestSplitAcrossWritesEndsTheGroupWithOneHundredThirty)
{
    const auto start = std::chrono::steady_clock::now();
    PilvexRun r({"/bin/sh", "-c", "echo $$; sleep 30; echo survived"});
    const pid_t group = std::atoi(r.FirstLine().c_str());
    ASSERT_GT(group, 0);
    r.Send("noise" + kStop.substr(0, 3));
    // Time is the subject: the pause lets the tool read the first part on
    // its own, so that the request reaches it split across two reads.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    r.Send(kStop.substr(3));
    EXPECT_EQ(r.Finish(), 130);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    EXPECT_EQ(r.output.find("survived"), std::string::npos);
    EXPECT_TRUE(GroupGone(group));
}

TEST(Pilvex, ToolIgnoringTermIsKilledThreeSecondsLater)
{
    const auto start = std::chrono::steady_clock::now();
    PilvexRun r({"/bin/sh", "-c", "trap '' TERM; echo $$; sleep 30; exit 0"});
    const pid_t group = std::atoi(r.FirstLine().c_str());
    ASSERT_GT(group, 0);
    r.Send(kStop);
    EXPECT_EQ(r.Finish(), 130);
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, std::chrono::milliseconds(2900));
    EXPECT_LT(took, std::chrono::seconds(10));
    EXPECT_TRUE(GroupGone(group));
}

TEST(Pilvex, SignalsToPilvexArePassedToTheGroup)
{
    PilvexRun r({"/bin/sh", "-c", "echo $$; sleep 30; exit 0"});
    const pid_t group = std::atoi(r.FirstLine().c_str());
    ASSERT_GT(group, 0);
    ASSERT_TRUE(r.process.Signal(SIGHUP));
    EXPECT_EQ(r.Finish(), 130);
    EXPECT_TRUE(GroupGone(group));
}
