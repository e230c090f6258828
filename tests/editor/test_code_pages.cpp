// Code-page tables, the load and save maps and the user's conversion.

#include "editor/EdtCodePages.h"

#include <QApplication>
#include <QComboBox>
#include <gtest/gtest.h>

#include <set>

using edt::CodePageMap;

TEST(EdtCodePages, TablesAreTranscribedExactly)
{
    long src = 0, tgt = 0;
    for (int r = 0; r < EDT_CODEPAGE_ROWS; ++r)
        for (int p = 0; p < EDT_CODEPAGE_ENTRIES; ++p) {
            src += kEdtCodePageSource[r][p];
            tgt += kEdtCodePageTarget[r][p];
        }
    EXPECT_EQ(src, 107391);
    EXPECT_EQ(tgt, 127176);
    EXPECT_STREQ(GetEdtCodePageRowName(4), "CP852");
    EXPECT_STREQ(GetEdtCodePageRowName(12), "CORK");
    EXPECT_EQ(GetEdtCodePageRowName(13), nullptr);
}

TEST(EdtCodePages, LoadMapVectors)
{
    const CodePageMap& row4 = CodePageMap::Get(4);
    EXPECT_EQ(row4.Load(0x41), u'A');
    EXPECT_EQ(row4.Load(0xAC), u'\u010C');
    EXPECT_EQ(row4.Load(0x9F), u'\u010D');
    EXPECT_EQ(row4.Load(0xC8), u'\uF7C8');
    EXPECT_EQ(row4.Load(0x80), u'\u20AC');
    EXPECT_EQ(row4.Load(0xF5), u'\u00A7');
    const CodePageMap& row1 = CodePageMap::Get(1);
    EXPECT_EQ(row1.Load(0x99), u'\u2122');
    EXPECT_EQ(row1.Load(0xC8), u'\u010C');
    const CodePageMap& row2 = CodePageMap::Get(2);
    EXPECT_EQ(row2.Load(0xBD), u'\u00BD');
    EXPECT_EQ(row2.Load(0xD8), u'\u00D8');
}

namespace {
std::string SaveBytes(int codePage, std::u16string_view text, int& counted)
{
    const CodePageMap& m = CodePageMap::Get(codePage);
    std::string out;
    counted = 0;
    for (char16_t c : text) {
        uint16_t s = m.Save(c);
        out += static_cast<char>(s & 0xFF);
        if (s & CodePageMap::kReplaced)
            ++counted;
    }
    return out;
}
} // namespace

TEST(EdtCodePages, SaveMapVectors)
{
    int n = 0;
    EXPECT_EQ(SaveBytes(0, u"Žluťoučký kůň", n), "Zlutoucky kun");
    EXPECT_EQ(n, 6);
    EXPECT_EQ(SaveBytes(4, u"Žluťoučký kůň", n),
              "\xA6\x6C\x75\x9C\x6F\x75\x9F\x6B\xEC\x20\x6B\x85\xE5");
    EXPECT_EQ(n, 0);
    EXPECT_EQ(SaveBytes(2, u"ÁČ½", n), "\xC1\x43\xBD");
    EXPECT_EQ(n, 1);
    EXPECT_EQ(SaveBytes(4, u"A\u010C\u010D\uF7C8\u20AC\u00A7", n), "\x41\xAC\x9F\xC8\x80\xF5");
    EXPECT_EQ(n, 0);
    // Characters that neither the row nor the table know: ".".
    EXPECT_EQ(SaveBytes(4, u"\u4E00", n), ".");
    EXPECT_EQ(n, 1);
    EXPECT_EQ(SaveBytes(-1, u"\u4E00\u0160", n), ".\x8A");
    EXPECT_EQ(n, 1);
}

TEST(EdtCodePages, EveryByteRoundTripsInEveryCodePage)
{
    for (int cp = -1; cp < EDT_CODEPAGE_ROWS; ++cp) {
        const CodePageMap& m = CodePageMap::Get(cp);
        std::set<char16_t> seen;
        for (int b = 0; b < 256; ++b) {
            char16_t c = m.Load(static_cast<unsigned char>(b));
            EXPECT_TRUE(seen.insert(c).second) << "code page " << cp << " byte " << b;
            EXPECT_EQ(m.Save(c), b) << "code page " << cp << " byte " << b;
        }
    }
}

TEST(EdtCodePages, UserConversion)
{
    std::u16string r;
    EXPECT_EQ(ConvertCodePageString(u"\u00AC\u017A\u0107\u00E7", r, 4, 1, false), 0);
    EXPECT_EQ(r, u"ČčŠš");
    EXPECT_EQ(ConvertCodePageString(u"Žluťoučký", r, 1, 0, false), 0);
    EXPECT_EQ(r, u"Zlutoucky");
    // Length-based: U+0000 is kept; characters CP1250 lacks stay.
    std::u16string t{u'\u010C', u'\0', u'\u4E00', u'x'};
    EXPECT_EQ(ConvertCodePageBuffer(t, 1, 0, true), 0);
    EXPECT_EQ(t, (std::u16string{u'C', u'\0', u'\u4E00', u'x'}));
    // Letters only: the symbols (positions 44-65) stay.
    EXPECT_EQ(ConvertCodePageString(u"§Č", r, 1, 0, true), 0);
    EXPECT_EQ(r, u"§C");
    EXPECT_EQ(ConvertCodePageString(u"§Č", r, 1, 0, false), 0);
    EXPECT_EQ(r, u"SC");
    std::u16string keep = u"Č";
    EXPECT_EQ(ConvertCodePageBuffer(keep, 13, 1, false), -2);
    EXPECT_EQ(ConvertCodePageBuffer(keep, 1, -1, false), -2);
    EXPECT_EQ(keep, u"Č");
}

TEST(EdtCodePages, NamesAndDefaults)
{
    QStringList names = GetCodePageNames();
    ASSERT_EQ(names.size(), 14);
    EXPECT_EQ(names[8], QString::fromUtf8("Kód Kamenických"));
    EXPECT_EQ(names[13], QStringLiteral("Unicode"));
    int argc = 1;
    char arg0[] = "test";
    char* argv[] = {arg0, nullptr};
    QApplication app(argc, argv);
    QComboBox combo;
    combo.addItem("old");
    FillCodePageCombo(&combo, names);
    EXPECT_EQ(combo.count(), 14);
    EXPECT_EQ(combo.itemText(1), QStringLiteral("MS-Windows CP 1250"));
    EXPECT_EQ(std::u16string(GetCRLFModeName(2)), u"MAC");
    EXPECT_EQ(std::u16string(GetCRLFModeName(3)), u"");
    EXPECT_EQ(GetEdtDefaultEncoding(), -1);
    EXPECT_FALSE(GetEdtDefaultUnicode());
    EXPECT_FALSE(GetEdtForceUnicode());
}
