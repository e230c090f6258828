// The simulator as a child process, reached by the link object the windows
// use, over UDP on 127.0.0.1 and over a pseudo-terminal pair.
#include "link/linkobj/olnk_link.h"
#include "link/ui/LinkMessages.h"
#include "tests/support/ui/UiTest.h"

#include <QFileInfo>
#include <gtest/gtest-spi.h>

using namespace testsupport::ui;

namespace {

// Opens the link object on the simulator and waits until it is connected.
void Connect(const Simulator& sim)
{
    COlnkLink link(linkui::WindowPoster());
    const std::string conn = sim.ConnectionString();
    ASSERT_EQ(link.Open(7, std::u16string(conn.begin(), conn.end()).c_str(), 1000), 1) << conn;
    ASSERT_EQ(link.InitInterface(0), 1);
    ASSERT_EQ(link.Start(), 1);
    EXPECT_TRUE(WaitFor([&] { return link.IsEstablished(); }, 10000, "the link to the simulator"));
}

} // namespace

TEST(UiSimulator, UdpOnLoopback)
{
    ASSERT_TRUE(QFileInfo(SimulatorProgram()).isExecutable()) << SimulatorProgram().toStdString();
    auto sim = Simulator::StartUdp();
    ASSERT_NE(sim, nullptr);
    EXPECT_EQ(sim->ConnectionString().rfind("Type = UDP; RemoteIP = 127.0.0.1; RemotePort = ", 0), 0u);
    Connect(*sim);
    EXPECT_TRUE(sim->Running());
    EXPECT_EQ(sim->Stop(), 0); // SIGTERM ends it cleanly
    EXPECT_FALSE(sim->Running());
}

TEST(UiSimulator, SerialOverAPseudoTerminalPair)
{
    auto sim = Simulator::StartSerial();
    ASSERT_NE(sim, nullptr);
    EXPECT_NE(sim->ConnectionString().find("; B = 115200; W = 20;"), std::string::npos);
    Connect(*sim);
}

TEST(UiSimulator, BadArgumentsFailTheStart)
{
    std::unique_ptr<Simulator> sim;
    EXPECT_NONFATAL_FAILURE(sim = Simulator::StartUdp({QStringLiteral("--window"), QStringLiteral("999")}),
                            "the simulator did not get ready");
    EXPECT_EQ(sim, nullptr);
}
