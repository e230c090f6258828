// The serial port wrapper on pseudo-terminals.
#include "platform/sys/LastError.h"
#include "platform/sys/SerialPort.h"

#include "tests/support/platform/PtyPair.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <poll.h>
#include <string>

using namespace sys;
using testsupport::PtyPair;

TEST(SerialPort, ComNamesMapToTtySAndOtherNamesStayAsGiven)
{
    EXPECT_EQ(SerialPort::DevicePath("COM1"), "/dev/ttyS0");
    EXPECT_EQ(SerialPort::DevicePath("com12"), "/dev/ttyS11");
    EXPECT_EQ(SerialPort::DevicePath("Com200"), "/dev/ttyS199");
    EXPECT_EQ(SerialPort::DevicePath("Com1 "), "Com1 ");
    EXPECT_EQ(SerialPort::DevicePath("COM0"), "COM0");
    EXPECT_EQ(SerialPort::DevicePath("COM"), "COM");
    EXPECT_EQ(SerialPort::DevicePath("COM-1"), "COM-1");
    EXPECT_EQ(SerialPort::DevicePath("COM1x"), "COM1x");
    EXPECT_EQ(SerialPort::DevicePath("/dev/ttyUSB0"), "/dev/ttyUSB0");
}

TEST(SerialPort, MissingDeviceAndNonTerminalFailWithTheSystemCode)
{
    SerialPort port;
    EXPECT_FALSE(port.Open("/nonexistent/tty"));
    EXPECT_EQ(GetLastError(), uint32_t(ENOENT));
    EXPECT_FALSE(port.Open("Com1 "));
    EXPECT_EQ(GetLastError(), uint32_t(ENOENT));
    EXPECT_FALSE(port.Open("/dev/null"));
    EXPECT_EQ(GetLastError(), uint32_t(ENOTTY));
    EXPECT_FALSE(port.IsOpen());
}

TEST(SerialPort, RawLineSettingsTwoStopBitsNoFlowControl)
{
    PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    SerialPort port;
    ASSERT_TRUE(port.Open(pty.SlavePath())) << ErrorText(GetLastError());
    ASSERT_TRUE(port.Configure({115200, 8, Parity::None, 2}));
    SerialLineState st;
    ASSERT_TRUE(SerialPort::QueryLineState(pty.SlaveFd(), st));
    EXPECT_EQ(st.baud, 115200u);
    EXPECT_FALSE(st.arbitraryRate);
    EXPECT_EQ(st.dataBits, 8);
    EXPECT_EQ(st.parity, Parity::None);
    EXPECT_EQ(st.stopBits, 2);
    EXPECT_FALSE(st.hardwareFlow);
    EXPECT_FALSE(st.softwareFlow);
    EXPECT_TRUE(st.raw);
    EXPECT_TRUE(st.receiverOn);
    EXPECT_TRUE(st.modemLinesIgnored);
    EXPECT_EQ(st.vmin, 0);
    EXPECT_EQ(st.vtime, 0);

    // (A pseudo-terminal keeps 8 data bits and no parity whatever is asked.)
    ASSERT_TRUE(port.Configure({9600, 8, Parity::None, 1}));
    ASSERT_TRUE(SerialPort::QueryLineState(pty.SlaveFd(), st));
    EXPECT_EQ(st.baud, 9600u);
    EXPECT_EQ(st.stopBits, 1);

    EXPECT_FALSE(port.Configure({0, 8, Parity::None, 1}));
    EXPECT_EQ(GetLastError(), uint32_t(EINVAL));
    EXPECT_FALSE(port.Configure({9600, 9, Parity::None, 1}));
    EXPECT_FALSE(port.Configure({9600, 8, Parity::None, 3}));
}

TEST(SerialPort, NonStandardRatesUseTheArbitraryRateInterface)
{
    PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    SerialPort port;
    ASSERT_TRUE(port.Open(pty.SlavePath()));
    for (uint32_t rate : {14400u, 56000u, 128000u, 256000u, 12345u}) {
        ASSERT_TRUE(port.Configure({rate, 8, Parity::None, 2})) << rate;
        SerialLineState st;
        ASSERT_TRUE(SerialPort::QueryLineState(pty.SlaveFd(), st));
        EXPECT_TRUE(st.arbitraryRate) << rate;
        EXPECT_EQ(st.baud, rate);
    }
}

TEST(SerialPort, SecondOpenIsBusyUntilTheFirstCloses)
{
    PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    SerialPort first, second;
    ASSERT_TRUE(first.Open(pty.SlavePath()));
    EXPECT_FALSE(second.Open(pty.SlavePath()));
    EXPECT_EQ(GetLastError(), uint32_t(EBUSY));
    first.Close();
    EXPECT_TRUE(second.Open(pty.SlavePath())) << ErrorText(GetLastError());
}

TEST(SerialPort, ReadWriteNonBlockingAndHangUp)
{
    PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    SerialPort port;
    ASSERT_TRUE(port.Open(pty.SlavePath()));
    ASSERT_TRUE(port.Configure({115200, 8, Parity::None, 2}));
    // Modem lines: a pseudo-terminal may refuse them; either way nothing breaks.
    port.SetDtr(true);
    port.SetRts(false);
    EXPECT_GE(port.Fd(), 0);

    char buf[64];
    size_t got = 99;
    EXPECT_EQ(port.Read(buf, sizeof buf, got), IoStatus::WouldBlock);
    EXPECT_EQ(got, 0u);

    size_t written = 0;
    ASSERT_EQ(port.Write("\xF9\xFD\x00hello", 8, written), IoStatus::Ok);
    EXPECT_EQ(written, 8u);
    EXPECT_EQ(pty.ReadMaster(8, 2000), std::string("\xF9\xFD\x00hello", 8));

    ASSERT_TRUE(pty.WriteMaster("\x00\xFE\r\n", 4));
    pollfd pfd{port.Fd(), POLLIN, 0};
    ASSERT_EQ(::poll(&pfd, 1, 2000), 1);
    std::string in;
    while (in.size() < 4) {
        IoStatus s = port.Read(buf, sizeof buf, got);
        ASSERT_NE(s, IoStatus::Failed);
        in.append(buf, got);
        if (s == IoStatus::WouldBlock)
            ::poll(&pfd, 1, 100);
    }
    EXPECT_EQ(in, std::string("\x00\xFE\r\n", 4)); // raw: no CR/LF translation

    // The output queue is reported or -1; never a failure.
    EXPECT_GE(port.OutputQueue(), -1);
    EXPECT_TRUE(port.Flush());

    pty.CloseMaster();
    pfd = {port.Fd(), POLLIN, 0};
    ASSERT_EQ(::poll(&pfd, 1, 2000), 1);
    EXPECT_NE(pfd.revents & (POLLHUP | POLLERR | POLLIN), 0);
    EXPECT_EQ(port.Read(buf, sizeof buf, got), IoStatus::Failed);
    EXPECT_EQ(GetLastError(), uint32_t(EIO));
}

TEST(SerialPortProbe, FreeBusyAndMissingPorts)
{
    PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    EXPECT_EQ(ProbeSerialPort(pty.SlavePath()), PortProbe::Free);
    {
        SerialPort held;
        ASSERT_TRUE(held.Open(pty.SlavePath()));
        EXPECT_EQ(ProbeSerialPort(pty.SlavePath()), PortProbe::Busy);
        // The probe leaves the holder's port as it was.
        SerialLineState st;
        ASSERT_TRUE(SerialPort::QueryLineState(held.Fd(), st));
    }
    EXPECT_EQ(ProbeSerialPort(pty.SlavePath()), PortProbe::Free);
    EXPECT_EQ(ProbeSerialPort("/dev/no-such-port"), PortProbe::Absent);
    EXPECT_EQ(ProbeSerialPort("/dev/null"), PortProbe::Absent); // not a terminal

    const auto all = SerialPortCandidates();
    ASSERT_GE(all.size(), 16u);
    EXPECT_EQ(all[0].name, "Com1");
    EXPECT_EQ(all[0].path, "/dev/ttyS0");
    EXPECT_EQ(all[15].path, "/dev/ttyS15");
    for (size_t i = 17; i < all.size(); ++i)
        EXPECT_LT(all[i - 1].path, all[i].path);
}
