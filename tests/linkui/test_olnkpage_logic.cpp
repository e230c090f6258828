// The link settings page's core: parsing, building and the refresh
// decisions, checked against the link's own parser.
#include "link/olnk/olnk_connstr.h"
#include "link/ui/OlnkPageModel.h"

#include <gtest/gtest.h>

using linkui::OlnkItem;
using linkui::OlnkPageModel;
using linkui::PortEntry;

namespace {
std::vector<PortEntry> Ports()
{
    return {{u"Com1 (Volný)", u"Com1"}, {u"Com3 (Obsazen)", u"Com3"}, {u"/dev/ttyUSB0 (Volný)", u"/dev/ttyUSB0"}};
}
} // namespace

TEST(OlnkPageModel, TheFiveCasesOfTheSerialSettings)
{
    OlnkPageModel m;
    m.Parse(u"P = Com3; B = 9600; W = 5;");
    EXPECT_EQ(m.port, u"Com3");
    EXPECT_EQ(OlnkPageModel::FindPortEntry(m.port, Ports()), 1); // present though busy
    EXPECT_EQ(OlnkPageModel::FindBaudEntry(m.baud), 6);          // "9 600 Bd"
    EXPECT_EQ(m.window, 5);

    OlnkPageModel lower;
    lower.Parse(u"p=COM2;b=19200");
    EXPECT_EQ(lower.port, u"COM2");
    EXPECT_EQ(OlnkPageModel::ComNumber(lower.port), -1);
    EXPECT_EQ(OlnkPageModel::FindPortEntry(lower.port, Ports()), -1); // typed text shown
    EXPECT_EQ(lower.Build(), u"P = COM2; B = 19200; W = 20;");

    OlnkPageModel odd;
    odd.Parse(u"B = 12345;");
    EXPECT_EQ(odd.baud, 12345);
    EXPECT_EQ(OlnkPageModel::FindBaudEntry(odd.baud), -1);

    OlnkPageModel spaced;
    spaced.Parse(u"P = Com 1;");
    EXPECT_EQ(spaced.port, u"Com1");
    EXPECT_EQ(OlnkPageModel::FindPortEntry(spaced.port, Ports()), 0);
    EXPECT_EQ(OlnkPageModel::FindPortEntry(u"/dev/ttyUSB0", Ports()), 2);
}

TEST(OlnkPageModel, OtherItemsSurviveWholeAndTheStringStaysValid)
{
    OlnkPageModel m;
    m.Parse(u"Type = UDP; RemoteIP = 127.0.0.1; RemotePort = 61234; LocalPort = 61235; W = 20;");
    ASSERT_EQ(m.others.size(), 4u);
    EXPECT_EQ(m.others[0], (OlnkItem{u"Type", u"UDP"}));
    EXPECT_EQ(m.others[3], (OlnkItem{u"LocalPort", u"61235"}));
    m.baud = 9600; // a baud change on the page
    const std::u16string built = m.Build();
    EXPECT_EQ(built, u"P = Com1; B = 9600; W = 20; Type = UDP; RemoteIP = 127.0.0.1; RemotePort = 61234; "
                     u"LocalPort = 61235;");
    OlnkConnectionParams p;
    std::string why;
    ASSERT_TRUE(OlnkParseConnectionStringW(built, p, &why)) << why;
    EXPECT_EQ(p.remotePort, 61234);
    EXPECT_EQ(p.localPort, 61235);

    // Keys are whole: "Baud" is no B, "PP" no P.
    OlnkPageModel k;
    k.Parse(u"Baud = 5; PP = x; w = 7");
    EXPECT_EQ(k.baud, 115200);
    EXPECT_EQ(k.port, u"Com1");
    EXPECT_EQ(k.window, 7);
    EXPECT_EQ(k.others.size(), 2u);
}

TEST(OlnkPageModel, BadNumbersAndSizesKeepTheLastValue)
{
    OlnkPageModel m;
    m.Parse(u"B = fast; W = 128; X; P = ; = 3;");
    EXPECT_EQ(m.baud, 115200);
    EXPECT_EQ(m.window, 20);
    EXPECT_EQ(m.port, u"");
    m.Parse(u"W = 0;");
    EXPECT_EQ(m.window, 20);
    m.Parse(u"W = 127; B = 99999999999;");
    EXPECT_EQ(m.window, 127);
    EXPECT_EQ(m.baud, 115200);
    int32_t v = 0;
    EXPECT_TRUE(OlnkPageModel::ReadDecimal(u" 42x", v));
    EXPECT_EQ(v, 42);
    EXPECT_FALSE(OlnkPageModel::ReadDecimal(u"x42", v));
    EXPECT_EQ(OlnkPageModel::ComNumber(u"Com12"), 12);
    EXPECT_EQ(OlnkPageModel::ComNumber(u"COM12"), -1);
    EXPECT_EQ(OlnkPageModel::ComNumber(u"Com"), -1);
}
