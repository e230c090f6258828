// The simulator over a pseudo-terminal bridge against our session.
#include "cssim_test_util.h"

#include "tests/support/platform/TempDir.h"

#include <fstream>
#include <unistd.h>

using namespace cssimtest;

TEST(CssimSerial, StatusListingAndGet)
{
    testsupport::TempDir share, local;
    share.Write("S.TXT", std::string(3000, 's'));
    cssim::Config cfg;
    cfg.serialShim = true;
    cfg.baud = 115200;
    cfg.shares = {{"DATA", share.Path()}};
    cssim::Simulator sim(cfg);
    ASSERT_TRUE(sim.start());
    Results res;
    const std::string conn = "P = " + sim.serialPeerDevice() + "; B = 115200; W = 20;";
    OxfrSession s = OxfrOpenSessionA(&res, conn.c_str(), 1000);
    ASSERT_TRUE(s);
    res.Install(s);
    OlnkResumeSession(s);
    sim.plc().setFlags(cssim::FLAG_LOADED);
    ASSERT_EQ(OlnkRequestGetStatus(s, 1), 1);
    auto st = res.Reply(0, 1);
    ASSERT_TRUE(st);
    EXPECT_EQ(HexText(st->data), "0A 00 02 00 00 00 00 00 00 00");
    ASSERT_EQ(OxfrListA(s, 2, nullptr, 0, nullptr, "\\DATA\\"), 1);
    auto l = res.Transfer(2);
    ASSERT_TRUE(l);
    EXPECT_EQ(l->status, 0);
    if (!l->data.empty())
        ::unlink(reinterpret_cast<const char*>(l->data.data()));
    ASSERT_EQ(OxfrGetA(s, 3, nullptr, 0, nullptr, "\\DATA\\S.TXT", (local / "s").c_str()), 1);
    auto g = res.Transfer(3);
    ASSERT_TRUE(g);
    EXPECT_EQ(g->status, 0);
    EXPECT_EQ(local.Read("s"), std::string(3000, 's'));
    OxfrCloseSession(s);
}
