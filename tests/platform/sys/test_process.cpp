#include "platform/sys/LastError.h"
#include "platform/sys/Process.h"
#include "tests/support/platform/TempDir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

using namespace sys;

namespace {

// Everything the child writes, until the end of the pipe.
std::string ReadAll(Process& p, int fd)
{
    std::string out;
    char buf[999];
    for (;;) {
        const int w = p.WaitEndOrReadable(fd, 1000);
        if (w < 0)
            break;
        long n;
        while ((n = ReadNonBlocking(fd, buf, sizeof buf)) > 0)
            out.append(buf, size_t(n));
        if (n == 0)
            break;
    }
    return out;
}

} // namespace

TEST(Process, PipesAreCloseOnExecAndReportAvailableBytes)
{
    PipeEnds p;
    ASSERT_TRUE(CreatePipe(p));
    EXPECT_TRUE(fcntl(p.read, F_GETFD) & FD_CLOEXEC);
    EXPECT_TRUE(fcntl(p.write, F_GETFD) & FD_CLOEXEC);
    EXPECT_EQ(BytesAvailable(p.read), 0);
    EXPECT_EQ(WaitReadable(p.read, 10), 0);
    char buf[8];
    EXPECT_EQ(ReadNonBlocking(p.read, buf, sizeof buf), -1);
    EXPECT_EQ(GetLastError(), uint32_t(EAGAIN));
    ASSERT_TRUE(WriteAll(p.write, "abcdef", 6));
    EXPECT_EQ(BytesAvailable(p.read), 6);
    EXPECT_EQ(WaitReadable(p.read, 0), 1);
    EXPECT_EQ(ReadNonBlocking(p.read, buf, 4), 4);
    EXPECT_EQ(std::string(buf, 4), "abcd");
    EXPECT_EQ(ReadNonBlocking(p.read, buf, sizeof buf), 2);
    CloseFd(p.write);
    EXPECT_EQ(p.write, -1);
    EXPECT_EQ(ReadNonBlocking(p.read, buf, sizeof buf), 0); // end of data
    ClosePipe(p);
}

TEST(Process, RedirectsStandardHandlesWithOneEndForOutputAndError)
{
    testsupport::TempDir dir;
    PipeEnds in, out;
    ASSERT_TRUE(CreatePipe(in));
    ASSERT_TRUE(CreatePipe(out));
    SpawnOptions o;
    o.argv = {"/bin/sh", "-c",
              "read x; echo \"got $x in $(pwd) $SW_PROC_TEST\"; echo err >&2; exit 3"};
    o.stdinFd = in.read;
    o.stdoutFd = out.write;
    o.stderrFd = out.write;
    o.workingFolder = dir.Path();
    o.useEnvironment = true;
    o.environment = {"SW_PROC_TEST=yes", "PATH=/usr/bin:/bin"};
    Process p;
    ASSERT_TRUE(p.Spawn(o));
    CloseFd(in.read);
    CloseFd(out.write);
    ASSERT_TRUE(WriteAll(in.write, "hello\n", 6));
    const std::string got = ReadAll(p, out.read);
    EXPECT_TRUE(p.Wait(5000));
    EXPECT_EQ(p.ExitCode(), 3);
    char real[4096];
    ASSERT_TRUE(realpath(dir.Path().c_str(), real));
    EXPECT_EQ(got, "got hello in " + std::string(real) + " yes\nerr\n");
    ClosePipe(in);
    ClosePipe(out);
}

TEST(Process, ArgumentsAreNeverSeenByAShell)
{
    PipeEnds out;
    ASSERT_TRUE(CreatePipe(out));
    SpawnOptions o;
    o.argv = {"printf", "%s|", "a b", "$(echo no)", "*", ";"};
    o.stdoutFd = out.write;
    Process p;
    ASSERT_TRUE(p.Spawn(o));
    CloseFd(out.write);
    EXPECT_EQ(ReadAll(p, out.read), "a b|$(echo no)|*|;|");
    EXPECT_TRUE(p.Wait(5000));
    EXPECT_EQ(p.ExitCode(), 0);
    ClosePipe(out);
}

TEST(Process, FailedSpawnReportsTheSystemError)
{
    Process p;
    SpawnOptions o;
    o.argv = {"/nonexistent/tool"};
    EXPECT_FALSE(p.Spawn(o));
    EXPECT_EQ(GetLastError(), uint32_t(ENOENT));
    EXPECT_EQ(ErrorText(GetLastError()), std::strerror(ENOENT));
    EXPECT_FALSE(p.IsStarted());

    o.argv = {"/bin/true"};
    o.workingFolder = "/nonexistent/folder";
    EXPECT_FALSE(p.Spawn(o));
    EXPECT_EQ(GetLastError(), uint32_t(ENOENT));

    o.argv = {};
    EXPECT_FALSE(p.Spawn(o));
}

TEST(Process, WaitTimesOutAndSignalsGiveOneHundredTwentyEightPlusN)
{
    Process p;
    SpawnOptions o;
    o.argv = {"sleep", "30"};
    o.newProcessGroup = true;
    ASSERT_TRUE(p.Spawn(o));
    EXPECT_EQ(getpgid(p.Pid()), p.Pid());
    EXPECT_FALSE(p.Wait(50));
    EXPECT_FALSE(p.HasEnded());
    EXPECT_EQ(p.ExitCode(), -1);
    ASSERT_TRUE(p.Signal(SIGTERM, true));
    EXPECT_TRUE(p.Wait(5000));
    EXPECT_EQ(p.ExitCode(), 128 + SIGTERM);
    EXPECT_FALSE(p.Signal(SIGTERM));
}

TEST(Process, WaitEndOrReadableTellsWhichCameFirst)
{
    PipeEnds out;
    ASSERT_TRUE(CreatePipe(out));
    SpawnOptions o;
    o.argv = {"/bin/sh", "-c", "echo x; sleep 0.2"};
    o.stdoutFd = out.write;
    Process p;
    ASSERT_TRUE(p.Spawn(o));
    CloseFd(out.write);
    EXPECT_EQ(p.WaitEndOrReadable(out.read, 5000), 1);
    char buf[4];
    EXPECT_EQ(ReadNonBlocking(out.read, buf, sizeof buf), 2);
    int w;
    do {
        w = p.WaitEndOrReadable(out.read, 5000);
        if (w == 1) {
            EXPECT_EQ(ReadNonBlocking(out.read, buf, sizeof buf), 0);
        }
    } while (w == 1 && !p.HasEnded());
    EXPECT_TRUE(p.Wait(5000));
    EXPECT_EQ(p.ExitCode(), 0);
    ClosePipe(out);
}

TEST(Process, DestroyingARunningChildKillsIt)
{
    pid_t pid;
    {
        Process p;
        SpawnOptions o;
        o.argv = {"sleep", "30"};
        ASSERT_TRUE(p.Spawn(o));
        pid = p.Pid();
    }
    EXPECT_EQ(kill(pid, 0), -1);
    EXPECT_EQ(errno, ESRCH);
}
