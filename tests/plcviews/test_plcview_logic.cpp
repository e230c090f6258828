// The widget-free rules of the PLC view's debugging display.
#include "plcviews/PlcViewLogic.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace plcview;

TEST(PlcViewLogic, RegisterColumnRule)
{
    EXPECT_TRUE(RegisterColumnShown(true, true, 1, u"Haldor", 0, 0));
    EXPECT_TRUE(RegisterColumnShown(true, true, 1, u"hALDOR", 0, 0));
    EXPECT_TRUE(RegisterColumnShown(true, true, 1, u"Other", 6, 373));
    EXPECT_TRUE(RegisterColumnShown(true, true, 1, u"Other", 7, 0));
    EXPECT_FALSE(RegisterColumnShown(true, true, 1, u"Other", 6, 372));
    EXPECT_FALSE(RegisterColumnShown(true, true, 0, u"Haldor", 7, 0));  // option off
    EXPECT_FALSE(RegisterColumnShown(true, false, 1, u"Haldor", 7, 0)); // not debugging
    EXPECT_FALSE(RegisterColumnShown(false, true, 1, u"Haldor", 7, 0)); // no project
}

TEST(PlcViewLogic, RangeDifference)
{
    std::vector<int> removed, added;
    RangeDifference(2, 8, 3, 8, removed, added);
    EXPECT_EQ(removed, std::vector<int>{2});
    EXPECT_EQ(added, std::vector<int>{10});
    RangeDifference(0, 0, 5, 3, removed, added);
    EXPECT_TRUE(removed.empty());
    EXPECT_EQ(added, (std::vector<int>{5, 6, 7}));
    RangeDifference(5, 3, 5, 3, removed, added);
    EXPECT_TRUE(removed.empty() && added.empty());
    RangeDifference(0, 2, 10, 2, removed, added);
    EXPECT_EQ(removed, (std::vector<int>{0, 1}));
    EXPECT_EQ(added, (std::vector<int>{10, 11}));
}

TEST(PlcViewLogic, Blend)
{
    EXPECT_EQ(BlendColor(0x0000FF, 0xC8FFFF, 0), 0x0000FFu);
    EXPECT_EQ(BlendColor(0x0000FF, 0xC8FFFF, 255), 0xC8FFFFu);
    // 0xFF + (0xFF - 0xFF)...; 0 + 0xFF * 128 / 255 = 128; 0 + 0xC8 * 128 / 255 = 100.
    EXPECT_EQ(BlendColor(0x0000FF, 0xC8FFFF, 128), 0x6480FFu);
    EXPECT_EQ(BlendColor(0xFFFFFF, 0x000000, 128), 0x7F7F7Fu);  // 255 - 255 * 128 / 255 = 127
}

TEST(PlcViewLogic, TipTexts)
{
    ValueTip t;
    t.name = u"VARB";
    t.type = kByte;
    EXPECT_EQ(ValueTipText(t), u"VARB: Byte");  // no value yet
    t.valid = true;
    t.value = 0xFF;
    EXPECT_EQ(ValueTipText(t), u"VARB: Byte = -1");
    t.hex = true;
    EXPECT_EQ(ValueTipText(t), u"VARB: Byte = 0xff");
    t.value = -1;  // a negated value is cut to the type's width
    EXPECT_EQ(ValueTipText(t), u"VARB: Byte = 0xff");
    t.type = kWord;
    t.value = 0xFFFE;
    t.hex = false;
    EXPECT_EQ(ValueTipText(t), u"VARB: Word = -2");
    t.type = kDWord;
    t.value = 0xFFFFFFFF;
    EXPECT_EQ(ValueTipText(t), u"VARB: DWord = -1");
    t.hex = true;
    EXPECT_EQ(ValueTipText(t), u"VARB: DWord = 0xffffffff");
    t.type = kQWord;
    t.value = -2;
    EXPECT_EQ(ValueTipText(t), u"VARB: QWord = 0xfffffffffffffffe");
    t.hex = false;
    EXPECT_EQ(ValueTipText(t), u"VARB: QWord = -2");
    t.type = kReal;
    t.real = 1.5;
    EXPECT_EQ(ValueTipText(t), u"VARB: Real = 1.500000");
    t.type = kBit;
    t.value = 1;
    EXPECT_EQ(ValueTipText(t), u"VARB: Bit = 1");
    t.type = kOffset;
    t.value = 42;
    EXPECT_EQ(ValueTipText(t), u"VARB: Offset = 42");
    t.hex = true;
    t.type = kConstant;
    EXPECT_EQ(ValueTipText(t), u"VARB: Konstanta = 2a");

    ValueTip m;
    m.name = u"name";
    m.type = kMechanism;
    m.valid = true;
    m.running = true;
    m.currentLine = 17;
    m.currentFile = u"Main.plc";
    EXPECT_EQ(ValueTipText(m), u"name: Mechanismus, Běží - ř.17, Main.plc");
    m.currentLine = 0;
    EXPECT_EQ(ValueTipText(m), u"name: Mechanismus, Běží");
    m.running = false;
    EXPECT_EQ(ValueTipText(m), u"name: Mechanismus, Neběží");

    EXPECT_EQ(RegisterTipText(1, 1234, false), u"RLO: 1, DR: 1234");
    EXPECT_EQ(RegisterTipText(0, -1, true), u"RLO: 0, DR: 0xffffffff");
}

TEST(PlcViewLogic, WordUnderTheMouse)
{
    bool negate = true;
    const std::u16string line = u"  LD -VAR.B.X + .A. x";
    EXPECT_EQ(WordAt(line, 6, negate), u"VAR.B.X");
    EXPECT_TRUE(negate);
    EXPECT_EQ(WordAt(line, 12, negate), u"VAR.B.X");
    EXPECT_EQ(WordAt(line, 17, negate), u"A");  // dots at both ends dropped
    EXPECT_FALSE(negate);
    EXPECT_EQ(WordAt(line, 16, negate), u"");  // on a leading dot
    EXPECT_EQ(WordAt(line, 1, negate), u"");   // blank
    EXPECT_EQ(WordAt(line, 2, negate), u"LD");
    EXPECT_EQ(WordAt(line, 99, negate), u"");
    EXPECT_EQ(WordAt(line, 20, negate), u"x");
}

TEST(PlcViewLogic, RequestRecords)
{
    const auto b = BreakpointRecord(0x01020304, true);
    EXPECT_EQ(std::vector<uint8_t>(b.begin(), b.end()), (std::vector<uint8_t>{10, 0, 4, 3, 2, 1, 1, 0, 0, 0}));
    const auto c = BreakpointRecord(7, false);
    EXPECT_EQ(std::vector<uint8_t>(c.begin(), c.end()), (std::vector<uint8_t>{10, 0, 7, 0, 0, 0, 0, 0, 0, 0}));
    const auto v = ReadVariableRecord(0x10, 2, TypeSize(kReal));
    EXPECT_EQ(std::vector<uint8_t>(v.begin(), v.end()), (std::vector<uint8_t>{10, 0, 0x10, 0, 0, 0, 2, 0, 8, 0}));
    const auto m = ReadMechanismRecord(0x100, 3);
    EXPECT_EQ(std::vector<uint8_t>(m.begin(), m.end()),
              (std::vector<uint8_t>{12, 0, 0, 0, 1, 0, 0, 1, 0, 0, 3, 0}));
    const auto r = ReadLineRegistersRecord(41);
    EXPECT_EQ(std::vector<uint8_t>(r.begin(), r.end()), (std::vector<uint8_t>{10, 0, 0, 0, 1, 0, 41, 0, 0, 0}));
    EXPECT_EQ(TypeSize(kByte), 1);
    EXPECT_EQ(TypeSize(kBit), 1);
    EXPECT_EQ(TypeSize(kWord), 2);
    EXPECT_EQ(TypeSize(kDWord), 4);
    EXPECT_EQ(TypeSize(kQWord), 8);
    EXPECT_EQ(TypeSize(kMechanism), 0);
}

TEST(PlcViewLogic, RepliesAreReadWithinTheirLength)
{
    int64_t value = 0;
    double real = 0;
    const uint8_t byte[] = {3, 0, 0xFF};
    EXPECT_TRUE(ReadVariableReply(byte, 3, kByte, 0, false, value, real));
    EXPECT_EQ(value, 0xFF);
    EXPECT_TRUE(ReadVariableReply(byte, 3, kByte, 0, true, value, real));
    EXPECT_EQ(value, -0xFF);
    EXPECT_FALSE(ReadVariableReply(byte, 2, kByte, 0, false, value, real));  // cut short
    const uint8_t word[] = {4, 0, 0x34, 0x12};
    EXPECT_TRUE(ReadVariableReply(word, 4, kWord, 0, false, value, real));
    EXPECT_EQ(value, 0x1234);
    EXPECT_FALSE(ReadVariableReply(word, 3, kWord, 0, false, value, real));
    EXPECT_TRUE(ReadVariableReply(byte, 3, kBit, 3, false, value, real));  // 0xFF >> 3 & 1
    EXPECT_EQ(value, 1);
    uint8_t r8[10] = {10, 0};
    const double d = 2.25;
    std::memcpy(r8 + 2, &d, 8);
    EXPECT_TRUE(ReadVariableReply(r8, 10, kReal, 0, true, value, real));
    EXPECT_EQ(real, -2.25);

    bool running = false;
    uint32_t index = 0;
    const uint8_t mech[] = {7, 0, 1, 17, 0, 0, 0};
    EXPECT_TRUE(ReadMechanismReply(mech, 7, running, index));
    EXPECT_TRUE(running);
    EXPECT_EQ(index, 17u);
    EXPECT_FALSE(ReadMechanismReply(mech, 6, running, index));
    uint8_t rlo = 0;
    int32_t dr = 0;
    const uint8_t regs[] = {7, 0, 1, 0xFE, 0xFF, 0xFF, 0xFF};
    EXPECT_TRUE(ReadRegistersReply(regs, 7, rlo, dr));
    EXPECT_EQ(rlo, 1);
    EXPECT_EQ(dr, -2);
    EXPECT_FALSE(ReadRegistersReply(regs, 5, rlo, dr));
    EXPECT_FALSE(ReadRegistersReply(nullptr, 7, rlo, dr));
}
