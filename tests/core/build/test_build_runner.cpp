// The tool runner with real children over real pipes: Pilvex, sh and the
// input recorder.
#include "core/build/BuildRunner.h"
#include "platform/sys/FileIO.h"
#include "tests/support/build/CaptureSink.h"
#include "tests/support/platform/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>

using namespace core;
using testsupport::CaptureSink;

namespace {

std::u16string U(const std::string& s)
{
    return sys::Utf8ToUtf16Lenient(s);
}

std::u16string BinDir()
{
    return U(std::string(std::getenv("SW_BIN_DIR")) + "/");
}

// A tool script in the folder.
std::u16string Tool(const testsupport::TempDir& dir, const std::string& name,
                    const std::string& body)
{
    dir.Write(name, "#!/bin/sh\n" + body);
    chmod((dir / name).c_str(), 0755);
    return U(dir / name);
}

struct Result
{
    bool started = false;
    int code = -1;
    int quitRefusals = 0;
};

Result RunTool(const std::vector<std::u16string>& argv, const testsupport::TempDir& dir,
               CaptureSink& sink, std::function<bool(int turn)> pump = {}, bool* cancel = nullptr)
{
    Result r;
    BuildPipes pipes;
    EXPECT_TRUE(pipes.Create());
    sys::Process process;
    r.started = StartBuildProcess(argv, U(dir.Path()), pipes, BinDir(), &sink, process);
    if (!r.started)
        return r;
    bool localCancel = false;
    int turn = 0;
    r.code = RunBuildProcess(
        pipes, process, cancel ? *cancel : localCancel, [&] { return pump ? pump(turn++) : true; },
        [&] { ++r.quitRefusals; }, &sink);
    return r;
}

} // namespace

TEST(Runner, ExitZeroWithNonzeroResultFailsAndNoResultLineSucceeds)
{
    testsupport::TempDir dir;
    CaptureSink sink;
    EXPECT_EQ(RunTool({Tool(dir, "a", "printf 'hi\\r\\n$ReturnVal 1$\\r\\n'\n")}, dir, sink).code,
              1);
    EXPECT_EQ(sink.All(), "hi\r\n");
    EXPECT_EQ(RunTool({Tool(dir, "b", "printf 'no result\\r\\n'\n")}, dir, sink).code, 0);
    EXPECT_EQ(RunTool({Tool(dir, "c", "printf '$ReturnVal 0$\\r\\n'; exit 3\n")}, dir, sink).code,
              3);
    // A later zero result does not clear an earlier failure.
    EXPECT_EQ(
        RunTool({Tool(dir, "d",
                      "printf '$ReturnVal 2$\\r\\n'; sleep 0.3; printf '$ReturnVal 0$\\r\\n'\n")},
                dir, sink)
            .code,
        2);
    // The last line without a line end is flushed at the end.
    sink.entries.clear();
    EXPECT_EQ(RunTool({Tool(dir, "e", "printf 'tail'\n")}, dir, sink).code, 0);
    EXPECT_EQ(sink.All(), "tail");
}

TEST(Runner, ManyLinesArriveInOrderAndTheQuitRequestIsRefused)
{
    testsupport::TempDir dir;
    CaptureSink sink;
    const Result r = RunTool(
        {Tool(dir, "many", "i=0; while [ $i -lt 20000 ]; do echo \"line $i\"; i=$((i+1)); done\n")},
        dir, sink, [](int turn) { return turn != 0; });
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.quitRefusals, 1);
    ASSERT_EQ(sink.entries.size(), 20000u);
    EXPECT_EQ(sink.entries[0].text, u"line 0\r\n");
    EXPECT_EQ(sink.entries[19999].text, u"line 19999\r\n");
}

TEST(Runner, MissingHelperAndFailedStart)
{
    testsupport::TempDir dir;
    CaptureSink sink;
    BuildPipes pipes;
    ASSERT_TRUE(pipes.Create());
    sys::Process process;
    EXPECT_FALSE(
        StartBuildProcess({u"x"}, U(dir.Path()), pipes, U(dir.Path() + "/"), &sink, process));
    EXPECT_EQ(sink.All(),
              "Chyba: Soubor Pilvex.exe nebyl nalezen! (\"" + dir.Path() + "/Pilvex.exe\")");

    sink.entries.clear();
    EXPECT_FALSE(StartBuildProcess({u"x y"}, U(dir.Path() + "/missing folder"), pipes, BinDir(),
                                   &sink, process));
    EXPECT_EQ(sink.All(),
              "Chyba: Příkaz \"" + std::string(std::getenv("SW_BIN_DIR")) +
                  "/Pilvex \"x y\"\" se nepodařilo provést (No such file or directory)\r\n");
}

TEST(Runner, TwoCancelsWriteExactlyTwoStopRequests)
{
    testsupport::TempDir dir;
    const std::string record = dir / "stdin.bin";
    BuildPipes pipes;
    ASSERT_TRUE(pipes.Create());
    sys::Process process;
    sys::SpawnOptions o;
    o.argv = {std::string(std::getenv("SW_SUPPORT_BIN")) + "/stdin_recorder", record, "300"};
    o.stdinFd = pipes.input.read;
    o.stdoutFd = pipes.output.write;
    o.stderrFd = pipes.output.write;
    ASSERT_TRUE(process.Spawn(o));
    CaptureSink sink;
    bool cancel = false;
    int turn = 0;
    const int code = RunBuildProcess(
        pipes, process, cancel,
        [&] {
            if (turn == 0 || turn == 2)
                cancel = true;
            ++turn;
            return true;
        },
        {}, &sink);
    EXPECT_EQ(code, 0);
    EXPECT_FALSE(cancel);
    const std::string stop(kStopRequest, sizeof kStopRequest);
    EXPECT_EQ(*sys::ReadWholeFile(record), stop + stop);
    EXPECT_EQ(sink.All(),
              "Překlad projektu byl přerušen...\r\nPřeklad projektu byl přerušen...\r\n");
}

TEST(Runner, CancelStopsAToolThroughPilvex)
{
    testsupport::TempDir dir;
    CaptureSink sink;
    bool cancel = false;
    const Result r = RunTool(
        {Tool(dir, "slow", "echo start; sleep 30\n")}, dir, sink,
        [&](int turn) {
            if (turn == 1)
                cancel = true;
            return true;
        },
        &cancel);
    EXPECT_EQ(r.code, 130);
    EXPECT_EQ(sink.All(), "start\r\nPřeklad projektu byl přerušen...\r\n");
}

TEST(Runner, JoinedCommandLineQuotesElementsWithBlanks)
{
    EXPECT_EQ(JoinCommandLine({u"/a/Pilvex", u"/x y/Tarv.exe", u"m"}),
              u"/a/Pilvex \"/x y/Tarv.exe\" m");
}
