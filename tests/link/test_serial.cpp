// The serial transport on pseudo-terminal pairs joined by the bridge.
#include "link/olnk/olnk_open.h"
#include "platform/sys/LastError.h"
#include "platform/sys/SerialPort.h"
#include "platform/sys/Sync.h"
#include "tests/support/platform/PtyPair.h"
#include "tools/linkshim/LinkFrameDecoder.h"
#include "tools/linkshim/PtyBridge.h"
#include "transport_util.h"

#include <gtest/gtest.h>

#include <chrono>

#include <cerrno>

using namespace transport_test;
using linkshim::PtyBridge;
using testsupport::PtyPair;

namespace {

std::string Conn(const std::string& path, int baud, int w = 20)
{
    return "P = " + path + "; B = " + std::to_string(baud) + "; W = " + std::to_string(w) + ";";
}

} // namespace

TEST(Serial, TwoChannelsOverTheBridgeExchangeThousandMessagesEachWay)
{
    PtyBridge bridge;
    OlnkChannel a = OlnkOpenChannelA(Conn(bridge.PathA(), 4000000).c_str(), {});
    OlnkChannel b = OlnkOpenChannelA(Conn(bridge.PathB(), 4000000).c_str(), {});
    ASSERT_TRUE(a && b) << sys::ErrorText(sys::GetLastError());
    EXPECT_EQ(OlnkGetTransportKind(a), 0);
    ASSERT_TRUE(Handshake(a, b));
    ExchangeBothWays(a, b, 1000, 21, 120000);
    OlnkStatistics sa = Stats(a);
    EXPECT_GT(sa.SendBytes, 0u);
    EXPECT_EQ(sa.ProgramErr, 0u);
    OlnkCloseChannel(a);
    OlnkCloseChannel(b);
}

TEST(Serial, LineNoiseIsCountedAndTheLinkGoesOn)
{
    PtyBridge::Options o;
    o.faults[0].flipBit = 0.0005;
    o.faults[0].insertByte = 0.0005;
    o.seed = 3;
    PtyBridge bridge(o);
    OlnkChannel a = OlnkOpenSerial(20, bridge.PathA().c_str(), 4000000, {});
    OlnkChannel b = OlnkOpenSerial(20, bridge.PathB().c_str(), 4000000, {});
    ASSERT_TRUE(a && b);
    ASSERT_TRUE(Handshake(a, b, 20000));
    // Noise only in a -> b, and only data that the checks cover (the last
    // bytes of short messages): whatever arrives arrives in order.
    std::vector<int> got;
    std::thread reader([&] {
        uint8_t buf[1023];
        uint16_t len = 0;
        while (got.size() < 100 && OlnkReceive(b, &len, sizeof buf, buf, 5000))
            got.push_back(buf[0]);
    });
    for (int i = 0; i < 100; ++i) {
        uint8_t m = uint8_t(i);
        (void)OlnkSend(a, 1, &m, 1, 5000); // what arrives is checked
    }
    reader.join();
    for (size_t i = 1; i < got.size(); ++i)
        EXPECT_LT(got[i - 1], got[i]);
    EXPECT_GT(got.size(), 50u);
    // Idle frames keep the line busy; the noise keeps hitting them.
    EXPECT_TRUE(WaitUntil([&] { return Stats(b).HeaderErr + Stats(b).DataErr > 0; }, 5000));
    EXPECT_TRUE(Connected(a) && Connected(b));
    OlnkStatistics sb = Stats(b);
    EXPECT_GT(sb.HeaderErr + sb.DataErr, 0u);
    OlnkCloseChannel(a);
    OlnkCloseChannel(b);
}

TEST(Serial, PortSettingsAfterTheOpen)
{
    PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    OlnkChannel ch = OlnkOpenSerial(20, pty.SlavePath().c_str(), 115200, {});
    ASSERT_TRUE(ch) << sys::ErrorText(sys::GetLastError());
    sys::SerialLineState st;
    ASSERT_TRUE(sys::SerialPort::QueryLineState(pty.SlaveFd(), st));
    EXPECT_EQ(st.baud, 115200u);
    EXPECT_EQ(st.dataBits, 8);
    EXPECT_EQ(st.stopBits, 2);
    EXPECT_EQ(st.parity, sys::Parity::None);
    EXPECT_FALSE(st.hardwareFlow);
    EXPECT_FALSE(st.softwareFlow);
    EXPECT_TRUE(st.raw);
    EXPECT_TRUE(st.receiverOn);
    EXPECT_TRUE(st.modemLinesIgnored);
    // The connect frame is the first thing on the line.
    std::string line = pty.ReadMaster(13, 2000);
    linkshim::LinkFrameDecoder dec;
    dec.Feed({reinterpret_cast<const uint8_t*>(line.data()), line.size()});
    auto frames = dec.Take();
    ASSERT_FALSE(frames.empty());
    EXPECT_TRUE(frames[0].connect());
    EXPECT_EQ(frames[0].seq, 1);
    OlnkCloseChannel(ch);

    // B = 56000 goes through the arbitrary-rate interface.
    ch = OlnkOpenChannelA(Conn(pty.SlavePath(), 56000).c_str(), {});
    ASSERT_TRUE(ch);
    ASSERT_TRUE(sys::SerialPort::QueryLineState(pty.SlaveFd(), st));
    EXPECT_TRUE(st.arbitraryRate);
    EXPECT_EQ(st.baud, 56000u);
    OlnkCloseChannel(ch);
}

TEST(Serial, ExclusiveOpenMissingDevicesAndComNames)
{
    PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    // DTR and RTS fail on a pseudo-terminal; the open does not.
    OlnkChannel ch = OlnkOpenSerial(20, pty.SlavePath().c_str(), 9600, {});
    ASSERT_TRUE(ch);
    EXPECT_EQ(OlnkOpenSerial(20, pty.SlavePath().c_str(), 9600, {}), nullptr);
    EXPECT_EQ(sys::GetLastError(), uint32_t(EBUSY));
    char text[128];
    OlnkGetErrorTextA(sys::GetLastError(), OLNK_LANG_ENGLISH, text, sizeof text);
    EXPECT_STREQ(text, "Device or resource busy");
    OlnkCloseChannel(ch);

    EXPECT_EQ(OlnkOpenChannelA("P = Com200;", {}), nullptr);
    EXPECT_EQ(sys::GetLastError(), uint32_t(ENOENT)); // /dev/ttyS199, not a string error
    EXPECT_EQ(OlnkOpenChannelA("P = Com1 ;", {}), nullptr);
    EXPECT_EQ(sys::GetLastError(), uint32_t(ENOENT));
    EXPECT_EQ(OlnkOpenChannelW(u"P = Com\u4E00;", {}), nullptr);
    EXPECT_EQ(sys::GetLastError(), uint32_t(ENOENT));
    EXPECT_EQ(OlnkOpenChannelA("P = Com1; W = 128;", {}), nullptr);
    EXPECT_EQ(sys::GetLastError(), OLNK_E_INVALIDARG);
    EXPECT_EQ(OlnkOpenChannelA("P = Com1; RemoteIP = 1.2.3;", {}), nullptr);
    EXPECT_EQ(sys::GetLastError(), OLNK_E_INVALIDARG);
    EXPECT_EQ(OlnkOpenSerial(20, "/dev/null", 9600, {}), nullptr);
    EXPECT_EQ(sys::GetLastError(), uint32_t(ENOTTY));
    EXPECT_EQ(OlnkOpenSerial(0, pty.SlavePath().c_str(), 9600, {}), nullptr);
    EXPECT_EQ(sys::GetLastError(), OLNK_E_INVALIDARG);
    // Nothing was left open: the port can be opened again.
    ch = OlnkOpenSerial(20, pty.SlavePath().c_str(), 9600, {});
    EXPECT_TRUE(ch);
    OlnkCloseChannel(ch);
}

TEST(Serial, HangUpBacksOffAndTheChannelStillClosesPromptly)
{
    PtyBridge bridge;
    OlnkChannel a = OlnkOpenSerial(20, bridge.PathA().c_str(), 115200, {});
    ASSERT_TRUE(a);
    // Running (its idle frames go out), then hung up: the failure is seen.
    ASSERT_TRUE(WaitUntil([&] { return Stats(a).SendBytes > 0; }));
    const uint64_t before = Stats(a).ProgramErr;
    bridge.CloseMaster(0);
    ASSERT_TRUE(WaitUntil([&] { return Stats(a).ProgramErr > before; }));
    // It keeps trying, a pause after each failure: from one failure to the
    // fourth after it, over the time that really passed.
    const uint64_t e0 = Stats(a).ProgramErr;
    ASSERT_TRUE(WaitUntil([&] { return Stats(a).ProgramErr > e0; }));
    const auto m0 = std::chrono::steady_clock::now();
    const uint64_t e1 = Stats(a).ProgramErr;
    ASSERT_TRUE(WaitUntil([&] { return Stats(a).ProgramErr >= e1 + 4; })) << "it stopped trying";
    const uint64_t failures = Stats(a).ProgramErr - e1;
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - m0).count();
    EXPECT_LE(double(failures) / seconds, 15.0) << "a few per second at most";
    auto t0 = std::chrono::steady_clock::now();
    OlnkCloseChannel(a);
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(2));
}

TEST(Serial, IdleChannelWritesAtLineRate)
{
    PtyBridge bridge; // unpaced: the channel's own pacing sets the rate
    OlnkChannel a = OlnkOpenSerial(20, bridge.PathA().c_str(), 9600, {});
    ASSERT_TRUE(a);
    sys::Sleep(200);
    // Rates over the time that really passed (a loaded machine may sleep
    // longer than asked); the bounds stay loose.
    auto m0 = std::chrono::steady_clock::now();
    OlnkStatistics s0 = Stats(a);
    sys::Sleep(1000);
    OlnkStatistics s1 = Stats(a);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - m0).count();
    const double bytesPerSecond = double(s1.SendBytes - s0.SendBytes) / seconds; // about 873
    EXPECT_GE(bytesPerSecond, 400.0);
    EXPECT_LE(bytesPerSecond, 1300.0);
    // Idle: empty frames that carry the acknowledgement.
    EXPECT_GE(double(s1.SendPackets - s0.SendPackets) / seconds, 30.0);
    OlnkCloseChannel(a);
}
