// The simulator as a child process.
#include "cssim_child.h"
#include "cssim_test_util.h"

#include "tests/support/platform/TempDir.h"

#include <csignal>
#include <fstream>

using namespace cssimtest;

namespace {

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
         {std::vector<std::string>{},
          {"--udp", "x"},
          {"--udp", "5000"},
          {"--bogus"},
          {"--udp", "5000", "--peer", "127.0.0.1"},
          {"--serial", "/dev/null", "--window", "200"},
          {"--udp", "5000", "--peer", "127.0.0.1:1", "--share", "NOEQUALS"},
          {"--udp", "5000", "--peer", "127.0.0.1:1", "--answer", "12"},
          {"--udp", "5000", "--peer", "127.0.0.1:1", "--answer", "12=-129"},
          {"--udp", "5000", "--peer", "127.0.0.1:1", "--answer", "12=nonex0"},
          {"--udp", "5000", "--peer", "127.0.0.1:1", "--cut", "7000x"},
          {"--serial", "/dev/null", "--cut", "7000"}}) {
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
