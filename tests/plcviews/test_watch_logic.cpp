// The watch view's rules without widgets: value texts with their markers
// in both displays, the link's answers, register input, plaque names and
// selection, the breakpoint record, marker runs, pasted names and the
// layout of the controls.
#include "plcviews/WatchLogic.h"

#include <QString>

#include <gtest/gtest.h>

#include <cstring>

using namespace watchview;

namespace {

const std::u16string V(1, kValueMark);
const std::u16string T(1, kTextMark);

ValueInput In(uint32_t type, uint64_t raw, bool hex, bool negate = false)
{
    ValueInput in;
    in.type = type;
    for (size_t i = 0; i < 8; ++i)
        in.bytes[i] = uint8_t(raw >> (8 * i));
    in.hex = hex;
    in.negate = negate;
    in.name.assign(1, u'x');
    return in;
}

std::u16string Real(double d, bool negate)
{
    ValueInput in = In(4, 0, false, negate);
    std::memcpy(in.bytes.data(), &d, 8);
    return ValueText(in);
}

} // namespace

TEST(WatchLogic, ByteListsItsBitsFromSevenDown)
{
    const std::u16string bits = u" (x 7:" + V + u"1" + T + u", x 6:" + V + u"0" + T + u", x 5:" + V + u"1" + T +
                                u", x 4:" + V + u"0" + T + u", x 3:" + V + u"0" + T + u", x 2:" + V + u"1" + T +
                                u", x 1:" + V + u"0" + T + u", x 0:" + V + u"1" + T + u")";
    EXPECT_EQ(ValueText(In(0, 0xA5, true)), V + u"0xa5" + T + bits);
    // Decimal is signed; a named bit keeps its own name.
    ValueInput named = In(0, 0xA5, false);
    named.bitNames[3] = u"BITX";
    const std::u16string dec = ValueText(named);
    EXPECT_EQ(dec.substr(0, 6), V + u"-91" + T + u" ");
    EXPECT_NE(dec.find(u"BITX:" + V + u"0" + T), std::u16string::npos);
    EXPECT_EQ(dec.find(u"x 3:"), std::u16string::npos);
    // Negated: the number changes, the bits stay those stored.
    EXPECT_EQ(ValueText(In(0, 0x05, true, true)).substr(0, 6), V + u"0xfb" + T);
    EXPECT_EQ(ValueText(In(0, 0x80, false, true)).substr(0, 5), V + u"128" + T);
    EXPECT_NE(ValueText(In(0, 0x05, true, true)).find(u"x 0:" + V + u"1"), std::u16string::npos);
}

TEST(WatchLogic, EveryTypeInBothDisplays)
{
    struct Case
    {
        uint32_t type;
        uint64_t raw;
        bool hex, negate;
        std::u16string text;
    } cases[] = {
        {1, 0x1234, true, false, u"0x1234"},
        {1, 0x1234, false, false, u"4660"},
        {1, 0xFFFF, false, false, u"-1"},
        {1, 0x1234, false, true, u"-4660"},
        {1, 0x1234, true, true, u"0xedcc"},
        {2, 0x80000000, false, false, u"-2147483648"},
        {2, 0x80000000, false, true, u"2147483648"},
        {2, 0x1F, true, false, u"0x0000001f"},
        {3, 0xFFFFFFFFFFFFFFFEull, false, false, u"-2"},
        {3, 0xFFFFFFFFFFFFFFFEull, true, false, u"0xfffffffffffffffe"},
        {3, 2, true, true, u"0xfffffffffffffffe"},
        {6, 0x08, false, false, u"0"},
        {7, 0, true, false, u"0x4"},
        {8, 0, false, false, u"42"},
    };
    for (const Case& c : cases) {
        ValueInput in = In(c.type, c.raw, c.hex, c.negate);
        in.constant = c.type == 7 ? 4 : 42;
        EXPECT_EQ(ValueText(in), V + c.text) << c.type << " " << c.raw;
    }
    ValueInput bit = In(6, 0x08, false);
    bit.bitNumber = 3;
    EXPECT_EQ(ValueText(bit), V + u"1");
    bit.negate = true;
    EXPECT_EQ(ValueText(bit), V + u"-1");
    EXPECT_EQ(Real(1.5, false), V + u"1.500000");
    EXPECT_EQ(Real(1.5, true), V + u"-1.500000");
    EXPECT_EQ(WatchSize(5), 5u);
    EXPECT_EQ(WatchSize(7), 0u);
    EXPECT_EQ(WatchSize(8), 0u);
    EXPECT_EQ(TypeName(6), u"Bit");
    EXPECT_EQ(TypeName(3), u"QWord");
    EXPECT_EQ(TypeName(4), u"Real");
    EXPECT_EQ(TypeName(0), u"Byte");
    EXPECT_EQ(TypeName(5), u"Mechanizmus");
    EXPECT_EQ(TypeName(8), u"Konstanta");
}

TEST(WatchLogic, AnswersAndMechanisms)
{
    EXPECT_EQ(UnavailableText(-1), u"Hodnotu se nepodařilo získat.");
    EXPECT_EQ(UnavailableText(-2), u"Proměnná leží mimo oblast, kterou je možno sledovat.");
    EXPECT_EQ(UnavailableText(-3), u"Je zadáno příliš mnoho proměnných pro sledování.");
    EXPECT_EQ(UnavailableText(-4), u"Souhrnná velikost sledovaných proměnných je příliš velká.");
    EXPECT_EQ(UnavailableText(-7), u"Hodnotu se nepodařilo získat z neznámého důvodu.");
    EXPECT_EQ(UnavailableText(-128), UnavailableText(-7));
    EXPECT_EQ(UnavailableText(-122), u"Řídicí systém neodpovídá."); // the control system fell silent
    EXPECT_EQ(MechanismText(true, 17, u"Main.plc"),
              V + u"Rozpracován" + T + u": řádek " + V + u"17" + T + u", modul " + V + u"Main.plc" + T);
    EXPECT_EQ(MechanismText(true, 0, u""), V + u"Rozpracován");
    EXPECT_EQ(MechanismText(false, 17, u"Main.plc"), V + u"Neaktivní");
}

TEST(WatchLogic, RegisterInputIsParsedStrictly)
{
    uint8_t rlo = 9;
    EXPECT_TRUE(ParseRlo(u"0", rlo));
    EXPECT_EQ(rlo, 0);
    EXPECT_TRUE(ParseRlo(u" 5 ", rlo));
    EXPECT_EQ(rlo, 1);
    EXPECT_TRUE(ParseRlo(u"-1", rlo));
    EXPECT_EQ(rlo, 1);
    for (const char16_t* bad : {u"", u"x", u"1x", u"0x1", u"1 2", u"-"})
        EXPECT_FALSE(ParseRlo(bad, rlo)) << QString::fromUtf16(bad).toStdString();

    struct Case
    {
        const char16_t* text;
        bool ok;
        int32_t dr;
    } cases[] = {
        {u"0x1F", true, 31},          {u"0X1f", true, 31},         {u"0xFFFFFFFF", true, -1},
        {u"0x80000000", true, INT32_MIN}, {u"31", true, 31},       {u"-2147483648", true, INT32_MIN},
        {u"2147483647", true, INT32_MAX}, {u" 7\t", true, 7},      {u"abc", false, 0},
        {u"0x", false, 0},            {u"0x123456789", false, 0},   {u"0x1G", false, 0},
        {u"2147483648", false, 0},    {u"-2147483649", false, 0},   {u"12x", false, 0},
        {u"", false, 0},              {u"99999999999999999999", false, 0},
    };
    for (const Case& c : cases) {
        int32_t dr = 12345;
        EXPECT_EQ(ParseDr(c.text, dr), c.ok) << QString::fromUtf16(c.text).toStdString();
        if (c.ok) {
            EXPECT_EQ(dr, c.dr) << QString::fromUtf16(c.text).toStdString();
        }
    }
}

TEST(WatchLogic, PlaquesRecordsRunsAndNames)
{
    EXPECT_EQ(NewPlaqueName(0), u"Plaketa 0");
    EXPECT_EQ(NewPlaqueName(2), u"Plaketa 2");
    EXPECT_EQ(SelectionAfterDelete(1, 3), 1);   // the next
    EXPECT_EQ(SelectionAfterDelete(2, 2), 1);   // the last went: the previous
    EXPECT_EQ(SelectionAfterDelete(0, 0), -1);  // none left

    EXPECT_EQ(BreakpointsRecord({3, 0x01020304}, false),
              (std::vector<uint8_t>{12, 0, 2, 0, 3, 0, 0, 0, 4, 3, 2, 1}));
    EXPECT_EQ(BreakpointsRecord({3, 4}, true), (std::vector<uint8_t>{4, 0, 0, 0}));
    std::vector<uint32_t> many(300);
    const std::vector<uint8_t> cut = BreakpointsRecord(many, false);
    EXPECT_EQ(cut.size(), 4u + 4u * 253u);
    EXPECT_EQ(cut[0] | cut[1] << 8, 4 + 4 * 253);
    EXPECT_EQ(cut[2], 253);

    const auto runs = SplitRuns(V + u"0x12" + T + u" (a:" + V + u"1" + T + u")");
    ASSERT_EQ(runs.size(), 4u);
    EXPECT_EQ(runs[0].text, u"0x12");
    EXPECT_TRUE(runs[0].value);
    EXPECT_EQ(runs[1].text, u" (a:");
    EXPECT_FALSE(runs[1].value);
    EXPECT_EQ(runs[3].text, u")");
    EXPECT_EQ(SplitRuns(u"plain").size(), 1u);

    EXPECT_EQ(SplitNames(u"VARB\r\n\r\n  VARW \nVARD\rVARQ\r\n"),
              (std::vector<std::u16string>{u"VARB", u"VARW", u"VARD", u"VARQ"}));
    EXPECT_TRUE(SplitNames(u" \r\n\t").empty());

    EXPECT_EQ(ValueColumnWidth(600, 150, 100), 350);
    EXPECT_EQ(ValueColumnWidth(250, 150, 100), 300);
    EXPECT_EQ(ValueColumnWidth(100, 150, 100), 300);
}

TEST(WatchLogic, LayoutAt800And300Pixels)
{
    WatchLayout form;
    form.list = {0, 32, 514, 198};
    form.combo = {57, 4, 142, 24};
    form.newButton = {204, 4, 24, 24};
    form.delButton = {233, 4, 24, 24};
    form.rloLabel = {285, 7, 30, 18};
    form.rloEdit = {315, 4, 40, 24};
    form.drLabel = {365, 7, 26, 18};
    form.drEdit = {391, 4, 89, 24};
    form.writeButton = {485, 4, 24, 24};

    const WatchLayout wide = LayoutControls(800, 400, form);
    EXPECT_EQ(wide.list, (Rect{0, 32, 800, 368}));
    EXPECT_EQ(wide.writeButton, (Rect{771, 4, 24, 24}));
    EXPECT_EQ(wide.drEdit, (Rect{677, 4, 89, 24}));
    EXPECT_EQ(wide.drLabel, (Rect{651, 7, 26, 18}));
    EXPECT_EQ(wide.rloEdit, (Rect{601, 4, 40, 24}));
    EXPECT_EQ(wide.rloLabel, (Rect{571, 7, 30, 18}));
    EXPECT_EQ(wide.delButton, (Rect{519, 4, 24, 24}));
    EXPECT_EQ(wide.newButton, (Rect{490, 4, 24, 24}));
    EXPECT_EQ(wide.combo, (Rect{57, 4, 428, 24}));

    // Narrow: the write button stops at 350 and the row runs past the edge.
    const WatchLayout narrow = LayoutControls(300, 120, wide);
    EXPECT_EQ(narrow.list, (Rect{0, 32, 300, 88}));
    EXPECT_EQ(narrow.writeButton.x, 350);
    EXPECT_GT(narrow.writeButton.Right(), 300);
    EXPECT_EQ(narrow.drEdit.x, 256);
    EXPECT_EQ(narrow.newButton.x, 69);
    EXPECT_EQ(narrow.combo, (Rect{57, 4, 7, 24}));
    // Laying out again at the same size changes nothing.
    EXPECT_EQ(LayoutControls(300, 120, narrow), narrow);
    // Narrower still: only the list follows.
    EXPECT_EQ(LayoutControls(100, 10, narrow).combo.w, 7);
    EXPECT_EQ(LayoutControls(100, 10, narrow).list.h, 0);
}
