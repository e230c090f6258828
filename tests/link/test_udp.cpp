// The UDP transport on 127.0.0.1, directly and through the fault relay.
#include "link/olnk/olnk_open.h"
#include "platform/sys/LastError.h"
#include "platform/sys/Sync.h"
#include "platform/sys/UdpSocket.h"
#include "tools/linkshim/LinkFrameDecoder.h"
#include "tools/linkshim/UdpFaultRelay.h"
#include "tests/support/platform/PtyPair.h"
#include "transport_util.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <dirent.h>
#include <string>

using namespace transport_test;
using testsupport::PickFreeUdpPort;
using linkshim::UdpFaultRelay;

namespace {

constexpr std::array<uint8_t, 4> kLoop = {127, 0, 0, 1};

int ThreadCount()
{
    int n = 0;
    if (DIR* d = opendir("/proc/self/task")) {
        while (dirent* e = readdir(d))
            n += e->d_name[0] != '.';
        closedir(d);
    }
    return n;
}

struct Pair
{
    OlnkChannel a = nullptr, b = nullptr;
    ~Pair()
    {
        if (a)
            OlnkCloseChannel(a);
        if (b)
            OlnkCloseChannel(b);
    }
};

} // namespace

TEST(Udp, FreshPeersAndAPassivePeerConnect)
{
    for (bool passiveB : {false, true}) {
        uint16_t pa = PickFreeUdpPort(), pb = PickFreeUdpPort();
        OlnkOpenOptions ob;
        ob.passive = passiveB;
        Pair p;
        p.a = OlnkOpenUdp(20, OLNK_MODE_CLIENT, kLoop, pb, pa, {});
        p.b = OlnkOpenUdp(20, OLNK_MODE_SERVER, kLoop, pa, pb, {}, ob);
        ASSERT_TRUE(p.a && p.b) << sys::ErrorText(sys::GetLastError());
        EXPECT_EQ(OlnkGetTransportKind(p.a), 1);
        EXPECT_EQ(OlnkGetUdpMode(p.b), OLNK_MODE_SERVER);
        ASSERT_TRUE(Handshake(p.a, p.b)) << "passive " << passiveB;
        EXPECT_TRUE(WaitUntil([&] { return OlnkGetLinkState(p.a) == OLNK_STATE_RESET_DONE; }, 5000));
        ExchangeBothWays(p.a, p.b, 5, 7);
    }
}

TEST(Udp, ThousandMessagesEachWayInOrder)
{
    uint16_t pa = PickFreeUdpPort(), pb = PickFreeUdpPort();
    Pair p;
    p.a = OlnkOpenUdp(20, OLNK_MODE_CLIENT, kLoop, pb, pa, {});
    p.b = OlnkOpenUdp(20, OLNK_MODE_CLIENT, kLoop, pa, pb, {});
    ASSERT_TRUE(p.a && p.b);
    ASSERT_TRUE(Handshake(p.a, p.b));
    ExchangeBothWays(p.a, p.b, 1000, 11);
    OlnkStatistics sa = Stats(p.a);
    EXPECT_GT(sa.SendBytes, 0u);
    EXPECT_GT(sa.RecBytes, 0u);
    EXPECT_EQ(sa.ProgramErr, 0u);
}

TEST(Udp, ThousandMessagesThroughLossDuplicationAndReordering)
{
    uint16_t pa = PickFreeUdpPort(), pb = PickFreeUdpPort();
    UdpFaultRelay relay(pa, pb, 42);
    ASSERT_TRUE(relay.Ok());
    UdpFaultRelay::Faults f;
    f.drop = 0.05;
    f.duplicate = 0.05;
    f.reorder = 0.05;
    relay.SetFaults(0, f);
    relay.SetFaults(1, f);
    Pair p;
    p.a = OlnkOpenUdp(20, OLNK_MODE_CLIENT, kLoop, relay.PortFacingA(), pa, {});
    p.b = OlnkOpenUdp(20, OLNK_MODE_CLIENT, kLoop, relay.PortFacingB(), pb, {});
    ASSERT_TRUE(p.a && p.b);
    ASSERT_TRUE(Handshake(p.a, p.b, 20000));
    ExchangeBothWays(p.a, p.b, 1000, 13, 120000);

    // The wire as captured: every datagram one well-formed frame.
    size_t frames = 0;
    for (const auto& d : relay.Capture()) {
        auto fs = linkshim::LinkFrameDecoder::DecodeDatagram(d.bytes);
        ASSERT_EQ(fs.size(), 1u);
        EXPECT_TRUE(fs[0].headerOk && fs[0].dataOk);
        ++frames;
    }
    EXPECT_GT(frames, 2000u);
}

TEST(Udp, CorruptedDatagramsAreCountedNotDelivered)
{
    uint16_t pa = PickFreeUdpPort(), pb = PickFreeUdpPort();
    UdpFaultRelay relay(pa, pb, 5);
    ASSERT_TRUE(relay.Ok());
    Pair p;
    p.a = OlnkOpenUdp(20, OLNK_MODE_CLIENT, kLoop, relay.PortFacingA(), pa, {});
    p.b = OlnkOpenUdp(20, OLNK_MODE_CLIENT, kLoop, relay.PortFacingB(), pb, {});
    ASSERT_TRUE(p.a && p.b);
    ASSERT_TRUE(Handshake(p.a, p.b));
    UdpFaultRelay::Faults f;
    f.corrupt = 0.1;
    f.corruptDetectable = true;
    relay.SetFaults(0, f);
    relay.SetFaults(1, f);
    // Detectable flips only (the acknowledgement byte is covered by no check,
    // see UdpFaultRelay::Faults): every message arrives once, in order.
    std::vector<int> got;
    std::thread reader([&] {
        uint8_t buf[1023];
        uint16_t len = 0;
        while (OlnkReceive(p.b, &len, sizeof buf, buf, 3000)) {
            EXPECT_EQ(len, 1);
            got.push_back(buf[0]);
            if (buf[0] == 199)
                break;
        }
    });
    for (int i = 0; i < 200; ++i) {
        uint8_t m = uint8_t(i);
        ASSERT_GE(OlnkSend(p.a, 1, &m, 1, 10000), 0)
            << i << " " << std::hex << sys::GetLastError() << " state " << OlnkGetLinkState(p.a);
    }
    reader.join();
    ASSERT_EQ(got.size(), 200u);
    for (size_t i = 0; i < got.size(); ++i)
        EXPECT_EQ(got[i], int(i));
    OlnkStatistics sb = Stats(p.b), sa = Stats(p.a);
    EXPECT_GT(sb.HeaderErr + sb.DataErr + sa.HeaderErr + sa.DataErr, 0u);
    EXPECT_EQ(sa.ProgramErr + sb.ProgramErr, 0u);
}

TEST(Udp, ForeignDatagramsAreIgnoredAndNotCounted)
{
    uint16_t pa = PickFreeUdpPort(), pb = PickFreeUdpPort();
    UdpFaultRelay relay(pa, pb);
    ASSERT_TRUE(relay.Ok());
    UdpFaultRelay::Faults hold;
    hold.hold = true;
    relay.SetFaults(0, hold);
    relay.SetFaults(1, hold);
    Pair p;
    p.b = OlnkOpenUdp(20, OLNK_MODE_CLIENT, kLoop, relay.PortFacingB(), pb, {});
    ASSERT_TRUE(p.b);
    // A well-formed connect frame, but from a foreign port.
    const Bytes connect = {0xF9, 0xFD, 0x0A, 0x01, 0x80, 0x00, 0x0C, 0x01, 0x04, 0xB0, 0xFE, 0x00, 0x00};
    for (int i = 0; i < 5; ++i)
        relay.SendForeign(pb, connect);
    // Then a few bytes from the peer's address (the relay's port facing b):
    // queued behind the foreign datagrams, they must be the first counted.
    const Bytes fromPeer = {0x00, 0x11, 0x22};
    relay.Inject(0, fromPeer);
    ASSERT_TRUE(WaitUntil([&] { return Stats(p.b).RecBytes > 0; }));
    OlnkStatistics s = Stats(p.b);
    EXPECT_EQ(s.RecBytes, fromPeer.size());
    EXPECT_EQ(s.RecPackets, 0u);
    EXPECT_EQ(s.ProgramErr, 0u);
    EXPECT_EQ(OlnkGetLinkState(p.b), OLNK_STATE_RESET_BY_US);
}

TEST(Udp, BothIdleSidesKeepSendingAndReceiving)
{
    uint16_t pa = PickFreeUdpPort(), pb = PickFreeUdpPort();
    Pair p;
    p.a = OlnkOpenUdp(20, OLNK_MODE_CLIENT, kLoop, pb, pa, {});
    p.b = OlnkOpenUdp(20, OLNK_MODE_CLIENT, kLoop, pa, pb, {});
    ASSERT_TRUE(p.a && p.b);
    ASSERT_TRUE(Handshake(p.a, p.b));
    sys::Sleep(200);
    OlnkStatistics a0 = Stats(p.a), b0 = Stats(p.b);
    sys::Sleep(3000);
    OlnkStatistics a1 = Stats(p.a), b1 = Stats(p.b);
    EXPECT_GE(a1.SendPackets - a0.SendPackets, 4u);
    EXPECT_GE(b1.SendPackets - b0.SendPackets, 4u);
    EXPECT_GE(a1.RecPackets - a0.RecPackets, 4u);
    EXPECT_GE(b1.RecPackets - b0.RecPackets, 4u);
    // Idle, not flooding.
    EXPECT_LE(a1.SendPackets - a0.SendPackets, 100u);
}

// A datagram that can never go (here: to the broadcast address without
// permission) counts in ProgramErr; the thread keeps its idle cadence
// instead of retrying at full speed.
TEST(Udp, FailingSendsAreCountedWithoutSpinning)
{
    uint16_t pa = PickFreeUdpPort();
    Pair p;
    p.a = OlnkOpenUdp(20, OLNK_MODE_CLIENT, {255, 255, 255, 255}, 5000, pa, {});
    ASSERT_TRUE(p.a);
    ASSERT_TRUE(WaitUntil([&] { return Stats(p.a).ProgramErr >= 2; }, 10000));
    sys::Sleep(1000);
    const OlnkStatistics s = Stats(p.a);
    EXPECT_EQ(s.SendBytes, 0u);
    // About two failed sends a second; a retry loop would make millions.
    EXPECT_LE(s.ProgramErr, 200u);
    EXPECT_EQ(OlnkGetLinkState(p.a), OLNK_STATE_RESET_BY_US);
}

TEST(Udp, PortInUseFailsAndLeavesNoThread)
{
    uint16_t pa = PickFreeUdpPort();
    sys::UdpSocket squatter;
    ASSERT_TRUE(squatter.Open(pa));
    const int before = ThreadCount();
    EXPECT_EQ(OlnkOpenUdp(20, OLNK_MODE_CLIENT, kLoop, 5000, pa, {}), nullptr);
    EXPECT_EQ(sys::GetLastError(), uint32_t(EADDRINUSE));
    char text[128];
    OlnkGetErrorTextA(sys::GetLastError(), OLNK_LANG_ENGLISH, text, sizeof text);
    EXPECT_STREQ(text, "Address already in use");
    EXPECT_EQ(ThreadCount(), before);
}

TEST(Udp, BadStringsOpenNothing)
{
    uint16_t pa = PickFreeUdpPort();
    const std::string port = std::to_string(pa);
    for (std::string s : {"Type = UDP; RemoteIP = 127.0.0.1; RemotePort = 0; LocalPort = " + port + ";",
                          "Type = UDP; RemoteIP = 0.0.0.0; LocalPort = " + port + ";",
                          "Type = UDP; RemoteIP = 127.0.0.1; W = 128; LocalPort = " + port + ";",
                          "Type = UDP; RemoteIP = 127.0.0.1; Baud = 1; LocalPort = " + port + ";",
                          std::string()}) {
        sys::SetLastError(0);
        EXPECT_EQ(OlnkOpenChannelA(s.c_str(), {}), nullptr) << s;
        EXPECT_EQ(sys::GetLastError(), OLNK_E_INVALIDARG) << s;
        sys::UdpSocket probe;
        EXPECT_TRUE(probe.Open(pa)) << "the port stays free: " << s;
    }
    EXPECT_EQ(OlnkOpenChannelW(nullptr, {}), nullptr);
    EXPECT_EQ(sys::GetLastError(), OLNK_E_INVALIDARG);
}

TEST(Udp, ConnectionStringsOpenBothFormsAndTheHolder)
{
    uint16_t pa = PickFreeUdpPort(), pb = PickFreeUdpPort();
    std::string sa = "Type = UDP; RemoteIP = 127.0.0.1; RemotePort = " + std::to_string(pb)
                     + "; LocalPort = " + std::to_string(pa) + "; W = 5;";
    std::u16string sb = u"type = udp;remoteip = 127.0.0.1;remoteport = ";
    for (char c : std::to_string(pa))
        sb += char16_t(c);
    sb += u";localport = ";
    for (char c : std::to_string(pb))
        sb += char16_t(c);
    sb += u"; w = 5; ";
    const uint8_t hello[] = {'h', 'i'};
    Pair p;
    p.a = OlnkOpenChannelA(sa.c_str(), hello);
    ASSERT_TRUE(p.a) << sys::ErrorText(sys::GetLastError());
    EXPECT_EQ(OlnkGetWindow(p.a), 5);
    COlnkChannel holder;
    ASSERT_TRUE(holder.Open(sb.c_str()));
    EXPECT_FALSE(holder.Open(sb.c_str()));
    EXPECT_EQ(sys::GetLastError(), OLNK_E_HANDLE);
    ASSERT_TRUE(Handshake(p.a, holder.Handle()));
    // The connect data arrives as the first message of the peer's reset.
    uint8_t buf[16];
    uint16_t len = 0;
    ASSERT_TRUE(holder.Receive(&len, sizeof buf, buf, 5000));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buf), len), "hi");
}

TEST(Udp, CloseUnderTrafficCompletesWaitingRequests)
{
    uint16_t pa = PickFreeUdpPort(), pb = PickFreeUdpPort();
    UdpFaultRelay relay(pa, pb);
    ASSERT_TRUE(relay.Ok());
    OlnkChannel a = OlnkOpenUdp(2, OLNK_MODE_CLIENT, kLoop, relay.PortFacingA(), pa, {});
    OlnkChannel b = OlnkOpenUdp(2, OLNK_MODE_CLIENT, kLoop, relay.PortFacingB(), pb, {});
    ASSERT_TRUE(a && b);
    ASSERT_TRUE(Handshake(a, b));
    UdpFaultRelay::Faults hold;
    hold.hold = true;
    relay.SetFaults(1, hold); // acknowledgements never come back: a's window fills
    Bytes m(100, 0x55);
    std::vector<std::unique_ptr<sys::Event>> events;
    std::vector<OlnkSendRequest> reqs(10);
    std::vector<int> queued;
    for (auto& r : reqs) {
        events.push_back(std::make_unique<sys::Event>(true, false));
        r.length = uint16_t(m.size());
        r.data = m.data();
        r.event = events.back().get();
        queued.push_back(OlnkSendAsync(a, &r, 0) == 0);
    }
    sys::Event recvDone(true, false);
    uint8_t buf[64];
    OlnkReceiveRequest rr;
    rr.capacity = sizeof buf;
    rr.buffer = buf;
    rr.event = &recvDone;
    ASSERT_EQ(OlnkReceiveAsync(a, &rr), 0);
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(OlnkCloseChannel(a), 1);
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(5));
    EXPECT_EQ(rr.status, OLNK_STATUS_CLOSED);
    EXPECT_TRUE(recvDone.IsSet());
    int closed = 0;
    for (size_t i = 0; i < reqs.size(); ++i) {
        if (!queued[i])
            continue; // built at once
        EXPECT_TRUE(events[i]->IsSet()); // built later, or failed with 254
        closed += reqs[i].result == OLNK_STATUS_CLOSED;
    }
    EXPECT_GT(closed, 0);
    OlnkCloseChannel(b);
}
