// The connection string parser: defaults, the lenient forms, ranges and the
// reason texts.
#include "link/olnk/olnk_connstr.h"

#include <gtest/gtest.h>

#include <array>

namespace {

using Addr = std::array<uint8_t, 4>;

OlnkConnectionParams Ok(std::string_view s)
{
    OlnkConnectionParams p;
    std::string reason = "unset";
    EXPECT_TRUE(OlnkParseConnectionStringA(s, p, &reason)) << s << ": " << reason;
    EXPECT_EQ(reason, "");
    return p;
}

std::string Bad(std::string_view s)
{
    OlnkConnectionParams p;
    p.port = "untouched";
    std::string reason;
    EXPECT_FALSE(OlnkParseConnectionStringA(s, p, &reason)) << s;
    EXPECT_EQ(p.port, "untouched") << "a failed parse leaves the output alone";
    EXPECT_FALSE(reason.empty()) << s;
    return reason;
}

} // namespace

TEST(ConnStr, PortAloneGivesSerialDefaults)
{
    OlnkConnectionParams p = Ok("P = Com1;");
    EXPECT_EQ(p.type, OlnkLinkType::Serial);
    EXPECT_EQ(p.port, "Com1");
    EXPECT_EQ(p.baud, 115200);
    EXPECT_EQ(p.window, 20);
    EXPECT_EQ(p.mode, OLNK_MODE_CLIENT);
    EXPECT_EQ(p.remoteAddress, (Addr{0, 0, 0, 0}));
    EXPECT_EQ(p.remotePort, 61234);
    EXPECT_EQ(p.localPort, 61234);
}

TEST(ConnStr, SettingsPageStringsAndTheDefault)
{
    OlnkConnectionParams p = Ok("P = Com3; B = 9600; W = 5;");
    EXPECT_EQ(p.port, "Com3");
    EXPECT_EQ(p.baud, 9600);
    EXPECT_EQ(p.window, 5);
    p = Ok("P = Com1; B = 115200; W = 20;");
    EXPECT_EQ(p.baud, 115200);
    p = Ok("Type = UDP; RemoteIP = 10.0.0.2; RemotePort = 5000; LocalPort = 5001; Mode = Both; W = 127;");
    EXPECT_EQ(p.type, OlnkLinkType::Udp);
    EXPECT_EQ(p.remoteAddress, (Addr{10, 0, 0, 2}));
    EXPECT_EQ(p.remotePort, 5000);
    EXPECT_EQ(p.localPort, 5001);
    EXPECT_EQ(p.mode, OLNK_MODE_BOTH);
    EXPECT_EQ(p.window, 127);
}

TEST(ConnStr, LowerCaseUdpWithDefaultPorts)
{
    OlnkConnectionParams p = Ok("type = udp; remoteip = 192.168.1.10;");
    EXPECT_EQ(p.type, OlnkLinkType::Udp);
    EXPECT_EQ(p.remoteAddress, (Addr{192, 168, 1, 10}));
    EXPECT_EQ(p.remotePort, 61234);
    EXPECT_EQ(p.localPort, 61234);
    p = Ok("TYPE = Udp; MODE = server; REMOTEIP = 1.2.3.4; p = x; b = 1;");
    EXPECT_EQ(p.mode, OLNK_MODE_SERVER);
    EXPECT_EQ(p.port, "x");
}

TEST(ConnStr, BlanksInsideAndAtTheEndOfAValueBelongToIt)
{
    EXPECT_EQ(Ok("P = Com1 ;").port, "Com1 ");
    EXPECT_EQ(Ok("P = /dev/my port;").port, "/dev/my port");
    EXPECT_EQ(Ok("P =Com2").port, "Com2"); // no blank, no final ";"
    EXPECT_EQ(Bad("Type = UDP ; RemoteIP = 1.2.3.4;"), "Type \"UDP \" is neither Serial nor UDP");
}

TEST(ConnStr, LenientSeparators)
{
    OlnkConnectionParams p = Ok("Type = UDP;RemoteIP = 10.0.0.2;");
    EXPECT_EQ(p.type, OlnkLinkType::Udp);
    EXPECT_EQ(p.remoteAddress, (Addr{10, 0, 0, 2}));
    EXPECT_EQ(Ok("P = Com4; ").port, "Com4");
    EXPECT_EQ(Ok("  \t P = Com4;\r\n").port, "Com4");
    EXPECT_EQ(Ok("P=Com5;B=9600;").baud, 9600);
}

TEST(ConnStr, EmptyAndBlankStringsNameNoLink)
{
    EXPECT_EQ(Bad(""), "empty connection string");
    EXPECT_EQ(Bad("   \t "), "empty connection string");
}

TEST(ConnStr, WindowModeAndKeyErrors)
{
    EXPECT_EQ(Bad("P = Com1; W = 128;"), "W = 128 outside 1..127");
    EXPECT_EQ(Bad("P = Com1; W = 0;"), "W = 0 outside 1..127");
    EXPECT_EQ(Bad("Type = UDP; RemoteIP = 1.2.3.4; W = 0;"), "W = 0 outside 1..127");
    EXPECT_EQ(Bad("P = Com1; Mode = Master;"), "Mode \"Master\" is none of Server, Client, Both");
    EXPECT_EQ(Bad("P = Com1; Baud = 9600;"), "unknown key \"Baud\"");
    EXPECT_EQ(Bad("= 5;"), "unknown key \"\"");
    EXPECT_EQ(Bad("P = Com1; W"), "key \"W\" has no \"=\"");
    EXPECT_EQ(Bad("P = Com1; W = fast;"), "W \"fast\" is no number");
    EXPECT_EQ(Bad("B = 99999999999;"), "B \"99999999999\" is too large");
}

TEST(ConnStr, NumbersReadLikeScanf)
{
    EXPECT_EQ(Ok("B = 9600 baud;").baud, 9600);
    EXPECT_EQ(Ok("B = +4800;").baud, 4800);
    EXPECT_EQ(Ok("W = 7x;").window, 7);
    EXPECT_EQ(Bad("B = -9600;"), "B = -9600 must be positive for a serial link");
    EXPECT_EQ(Bad("B = 0;"), "B = 0 must be positive for a serial link");
    // A baud rate does not matter for UDP, as long as it is a number.
    EXPECT_EQ(Ok("Type = UDP; RemoteIP = 1.2.3.4; B = 0;").baud, 0);
    EXPECT_EQ(Bad("Type = UDP; RemoteIP = 1.2.3.4; B = ;"), "B \"\" is no number");
}

TEST(ConnStr, AddressesAndPorts)
{
    EXPECT_EQ(Bad("P = Com1; RemoteIP = 1.2.3;"), "RemoteIP \"1.2.3\" needs four numbers");
    EXPECT_EQ(Bad("RemoteIP = 1.2.3.256;"), "RemoteIP \"1.2.3.256\": each number must be 0..255");
    EXPECT_EQ(Bad("RemoteIP = 1.-2.3.4;"), "RemoteIP \"1.-2.3.4\": each number must be 0..255");
    EXPECT_EQ(Bad("RemoteIP = 1. 2.3;"), "RemoteIP \"1. 2.3\" needs four numbers");
    EXPECT_EQ(Ok("Type = UDP; RemoteIP = 1.2.3.4.5;").remoteAddress, (Addr{1, 2, 3, 4}));
    EXPECT_EQ(Ok("Type = UDP; RemoteIP = 1. 2. 3. 4;").remoteAddress, (Addr{1, 2, 3, 4}));
    EXPECT_EQ(Bad("Type = UDP;"), "UDP needs a RemoteIP other than 0.0.0.0");
    EXPECT_EQ(Bad("Type = UDP; RemoteIP = 0.0.0.0;"), "UDP needs a RemoteIP other than 0.0.0.0");
    EXPECT_EQ(Bad("P = Com1; RemotePort = 65536;"), "RemotePort = 65536 outside 0..65535");
    EXPECT_EQ(Bad("P = Com1; LocalPort = -1;"), "LocalPort = -1 outside 0..65535");
    EXPECT_EQ(Bad("Type = UDP; RemoteIP = 1.2.3.4; RemotePort = 0;"),
              "RemotePort 0 is not allowed for UDP");
    EXPECT_EQ(Bad("Type = UDP; RemoteIP = 1.2.3.4; LocalPort = 0;"),
              "LocalPort 0 is not allowed for UDP");
    OlnkConnectionParams p = Ok("P = Com1; RemotePort = 0; LocalPort = 65535;");
    EXPECT_EQ(p.remotePort, 0); // fine for a serial link
    EXPECT_EQ(p.localPort, 65535);
}

TEST(ConnStr, DuplicatesLastWinsAndFirstErrorIsReported)
{
    OlnkConnectionParams p = Ok("P = Com1; P = Com2; W = 3; W = 4; Type = UDP; Type = Serial;");
    EXPECT_EQ(p.port, "Com2");
    EXPECT_EQ(p.window, 4);
    EXPECT_EQ(p.type, OlnkLinkType::Serial);
    EXPECT_EQ(Bad("Foo = 1; W = 999;"), "unknown key \"Foo\"");
    // An error is not undone by a later good value of the same key.
    Bad("W = 999; W = 5;");
}

TEST(ConnStr, OverLongKeysAndValuesAreErrorsNotCut)
{
    std::string v255(255, 'x'), v256(256, 'x');
    EXPECT_EQ(Ok("P = " + v255 + ";").port, v255);
    EXPECT_EQ(Bad("P = " + v256 + ";"), "value of P longer than 255 characters");
    std::string key(256, 'K');
    EXPECT_EQ(Bad(key + " = 1;"), "key \"" + std::string(40, 'K') + "...\" longer than 255 characters");
}

TEST(ConnStr, WideFormScansUtf16AndConvertsThePortName)
{
    OlnkConnectionParams p;
    std::string reason;
    ASSERT_TRUE(OlnkParseConnectionStringW(u"type = udp; remoteip = 192.168.1.10; W = 3;", p, &reason));
    EXPECT_EQ(p.type, OlnkLinkType::Udp);
    EXPECT_EQ(p.window, 3);
    // "Š" is 0x8A in the ANSI code page.
    ASSERT_TRUE(OlnkParseConnectionStringW(u"P = /dev/tty\u0160;", p, &reason));
    EXPECT_EQ(p.port, "/dev/tty\x8A");
    EXPECT_FALSE(p.portUnrepresentable);
    // A character the code page lacks: parsed, but the port cannot exist.
    ASSERT_TRUE(OlnkParseConnectionStringW(u"P = Com\u4E00;", p, &reason));
    EXPECT_TRUE(p.portUnrepresentable);
    EXPECT_FALSE(OlnkParseConnectionStringW(u"P = Com1; \u0160 = 1;", p, &reason));
    EXPECT_EQ(reason, "unknown key \"\u0160\"");
    EXPECT_FALSE(OlnkParseConnectionStringW(u"W = 128;", p, &reason));
    EXPECT_EQ(reason, "W = 128 outside 1..127");
    EXPECT_FALSE(OlnkParseConnectionStringW(u"", p, &reason));
    // Characters above 255 are not blanks: U+0120 ends nothing.
    EXPECT_FALSE(OlnkParseConnectionStringW(u"P\u0120= Com1;", p, &reason));
    EXPECT_EQ(reason, "unknown key \"P\u0120\"");
}
