// The UDP socket wrapper on 127.0.0.1.
#include "platform/sys/LastError.h"
#include "platform/sys/UdpSocket.h"

#include "tests/support/platform/PtyPair.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <poll.h>
#include <set>

using namespace sys;

namespace {

IoStatus ReceiveWithin(UdpSocket& s, void* buf, size_t cap, size_t& got, Ipv4Address& from,
                       uint16_t& port, int timeoutMs = 2000)
{
    pollfd pfd{s.Fd(), POLLIN, 0};
    ::poll(&pfd, 1, timeoutMs);
    return s.ReceiveFrom(buf, cap, got, from, port);
}

} // namespace

TEST(UdpSocket, PickFreeUdpPortGivesDistinctBindablePorts)
{
    std::set<uint16_t> ports;
    for (int i = 0; i < 5; ++i)
        ports.insert(testsupport::PickFreeUdpPort());
    EXPECT_EQ(ports.size(), 5u);
    EXPECT_EQ(ports.count(0), 0u);
    UdpSocket s;
    EXPECT_TRUE(s.Open(*ports.begin()));
}

TEST(UdpSocket, DatagramsCarryTheSenderAddressAndPort)
{
    uint16_t pa = testsupport::PickFreeUdpPort(), pb = testsupport::PickFreeUdpPort();
    UdpSocket a, b;
    ASSERT_TRUE(a.Open(pa)) << ErrorText(GetLastError());
    ASSERT_TRUE(b.Open(pb)) << ErrorText(GetLastError());
    EXPECT_EQ(a.LocalPort(), pa);
    EXPECT_TRUE(a.SetBufferSizes(1 << 20, 1 << 20));

    char buf[2176];
    size_t got = 0;
    Ipv4Address from{};
    uint16_t fromPort = 0;
    EXPECT_EQ(b.ReceiveFrom(buf, sizeof buf, got, from, fromPort), IoStatus::WouldBlock);

    ASSERT_EQ(a.SendTo("abc", 3, kIpv4Loopback, pb), IoStatus::Ok);
    ASSERT_EQ(a.SendTo("", 0, kIpv4Loopback, pb), IoStatus::Ok);
    ASSERT_EQ(ReceiveWithin(b, buf, sizeof buf, got, from, fromPort), IoStatus::Ok);
    EXPECT_EQ(std::string(buf, got), "abc");
    EXPECT_EQ(from, kIpv4Loopback);
    EXPECT_EQ(fromPort, pa);
    // An empty datagram is a datagram, not "nothing there".
    ASSERT_EQ(ReceiveWithin(b, buf, sizeof buf, got, from, fromPort), IoStatus::Ok);
    EXPECT_EQ(got, 0u);

    // A datagram longer than the buffer is cut to it.
    std::string big(3000, 'x');
    ASSERT_EQ(b.SendTo(big.data(), big.size(), kIpv4Loopback, pa), IoStatus::Ok);
    ASSERT_EQ(ReceiveWithin(a, buf, 100, got, from, fromPort), IoStatus::Ok);
    EXPECT_EQ(got, 100u);
    EXPECT_EQ(fromPort, pb);
}

TEST(UdpSocket, BoundPortIsInUseWithoutReuse)
{
    uint16_t p = testsupport::PickFreeUdpPort();
    UdpSocket a, b;
    ASSERT_TRUE(a.Open(p));
    EXPECT_FALSE(b.Open(p));
    EXPECT_EQ(GetLastError(), uint32_t(EADDRINUSE));
    EXPECT_FALSE(b.IsOpen());
    a.Close();
    EXPECT_TRUE(b.Open(p)) << ErrorText(GetLastError());
}

TEST(UdpSocket, PortZeroLetsTheSystemChoose)
{
    UdpSocket s;
    ASSERT_TRUE(s.Open(0, kIpv4Loopback));
    EXPECT_NE(s.LocalPort(), 0);
    s.Close();
    EXPECT_EQ(s.LocalPort(), 0);
}
