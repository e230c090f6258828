// The simulator as a child process.
#include "cssim_test_util.h"

#include "tests/support/platform/TempDir.h"

#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace cssimtest;

namespace {

struct Child
{
    pid_t pid = -1;
    int out = -1, err = -1;
    explicit Child(const std::vector<std::string>& args)
    {
        int o[2], e[2];
        if (::pipe(o) || ::pipe(e))
            return;
        pid = ::fork();
        if (pid == 0) {
            ::dup2(o[1], 1);
            ::dup2(e[1], 2);
            std::vector<char*> argv;
            std::string prog = std::getenv("CSSIM_PROGRAM");
            argv.push_back(prog.data());
            for (auto& a : args)
                argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            ::execv(prog.c_str(), argv.data());
            ::_exit(127);
        }
        ::close(o[1]);
        ::close(e[1]);
        out = o[0];
        err = e[0];
    }
    std::string ReadUntil(int fd, const std::string& marker, int ms)
    {
        std::string s;
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (s.find(marker) == std::string::npos && std::chrono::steady_clock::now() < end) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 50) > 0) {
                char b[256];
                const ssize_t n = ::read(fd, b, sizeof b);
                if (n <= 0)
                    break;
                s.append(b, size_t(n));
            }
        }
        return s;
    }
    int Wait()
    {
        int st = 0;
        ::waitpid(pid, &st, 0);
        pid = -1;
        return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    }
    ~Child()
    {
        if (pid > 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
        if (out >= 0)
            ::close(out);
        if (err >= 0)
            ::close(err);
    }
};

TEST(CssimCli, ServesASessionAndEndsOnSigterm)
{
    testsupport::TempDir share, local, recDir;
    share.Write("F.TXT", "hello");
    const uint16_t simPort = testsupport::PickFreeUdpPort(), ourPort = testsupport::PickFreeUdpPort();
    Child c({"--udp", std::to_string(simPort), "--peer", "127.0.0.1:" + std::to_string(ourPort),
             "--share", "DATA=" + share.Path(), "--record", recDir / "rec.txt"});
    ASSERT_GT(c.pid, 0);
    const std::string said = c.ReadUntil(c.out, "cssim ready\n", 10000);
    ASSERT_NE(said.find("cssim ready"), std::string::npos);
    // The connection string it shows is the one our side connects with.
    EXPECT_NE(said.find("cssim connection string: " + UdpLoopbackConn(ourPort, simPort) + "\n"), std::string::npos)
        << said;
    Results res;
    OxfrSession s = OxfrOpenSessionA(&res, UdpLoopbackConn(ourPort, simPort).c_str(), 1000);
    ASSERT_TRUE(s);
    res.Install(s);
    OlnkResumeSession(s);
    ASSERT_EQ(OxfrListA(s, 1, nullptr, 0, nullptr, "\\"), 1);
    auto l = res.Transfer(1);
    ASSERT_TRUE(l);
    ASSERT_EQ(l->status, 0);
    std::ifstream f(reinterpret_cast<const char*>(l->data.data()), std::ios::binary);
    const std::string listing((std::istreambuf_iterator<char>(f)), {});
    ::unlink(reinterpret_cast<const char*>(l->data.data()));
    ASSERT_GE(listing.size(), 6u);
    EXPECT_EQ(listing[4], 1); // one record
    EXPECT_EQ(std::string(listing.c_str() + 6 + 28), "DATA");
    ASSERT_EQ(OxfrGetA(s, 2, nullptr, 0, nullptr, "\\DATA\\F.TXT", (local / "f").c_str()), 1);
    auto g = res.Transfer(2);
    ASSERT_TRUE(g);
    EXPECT_EQ(g->status, 0);
    EXPECT_EQ(local.Read("f"), "hello");
    OxfrCloseSession(s);
    ::kill(c.pid, SIGTERM);
    EXPECT_EQ(c.Wait(), 0);
    const std::string rec = recDir.Read("rec.txt");
    EXPECT_NE(rec.find(" < 00 00 00 00 00 00 00 04 00 01 00"), std::string::npos) << rec;
}

TEST(CssimCli, BadArguments)
{
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{}, {"--udp", "x"}, {"--udp", "5000"}, {"--bogus"},
          {"--udp", "5000", "--peer", "127.0.0.1"}, {"--serial", "/dev/null", "--window", "200"},
          {"--udp", "5000", "--peer", "127.0.0.1:1", "--share", "NOEQUALS"}}) {
        Child c(args);
        const std::string err = c.ReadUntil(c.err, "usage:", 5000);
        EXPECT_NE(err.find("usage:"), std::string::npos);
        EXPECT_EQ(c.Wait(), 2);
    }
}

TEST(CssimCli, OpenFailureGivesTheErrorText)
{
    Child c({"--serial", "/nonexistent/tty"});
    const std::string err = c.ReadUntil(c.err, "\n", 5000);
    EXPECT_NE(err.find("cssim:"), std::string::npos);
    EXPECT_EQ(c.Wait(), 1);
}

} // namespace
