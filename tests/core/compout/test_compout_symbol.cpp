// CMapFile::FindSymbol: the watch-expression language.

#include "CompoutTest.h"
#include "core/compout/MapFile.h"
#include "tests/support/platform/TempDir.h"

#include <gtest/gtest.h>

#include <optional>

using namespace compout;
using compouttest::Wide;

namespace {

// VAR byte 10H:100H with bits BIT (3) and BIT2 (5); W word 10H:200H;
// M mechanism 20H:10H; LONE a single-bit byte; OFFS offset 4; CONST 1AH;
// BIG constant 0FFFFFFF0H; WORD a symbol hidden by the type word.
const char* const kMap =
    "$MP2 02\r\n"
    "[SYMBOL_TABLE 5]\r\n10H 100H BYTE VAR\r\n10H 200H WORD W\r\n20H 10H MECH M\r\n"
    "10H 300H BYTE LONE\r\n10H 400H DWORD WORD\r\n"
    "[BIT_FIELDS 2]\r\nBIT VAR\r\nBIT2 VAR\r\n"
    "[STRUCTURE_OFFSETS 1]\r\nOFFS 4H\r\n"
    "[BIT_WEIGHTS 3]\r\nBIT 3\r\nBIT2 5\r\nLONE 1\r\n"
    "[CONSTANTS 2]\r\nCONST 1AH\r\nBIG 0FFFFFFF0H\r\n";

struct Expect
{
    uint32_t type;
    uint16_t selector;
    uint32_t address;
    uint8_t bitNumber = 0;
    const char16_t* parent = nullptr;
    uint32_t negate = 0;
};

class CompoutSymbol : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_dir.Write("m.map", kMap);
        ASSERT_TRUE(m_map.Load(Wide(m_dir / "m.map"))) << m_map.GetLoadError().reason;
    }
    std::optional<SymbolInfo> Find(const char16_t* text)
    {
        SymbolInfo info;
        info.address = 12345;  // must be zeroed
        if (!m_map.FindSymbol(text, &info))
            return std::nullopt;
        return info;
    }
    void Check(const char16_t* text, const Expect& e)
    {
        SCOPED_TRACE(std::string(text, text + std::char_traits<char16_t>::length(text)));
        const auto info = Find(text);
        ASSERT_TRUE(info.has_value());
        EXPECT_EQ(info->type, e.type);
        EXPECT_EQ(info->selector, e.selector);
        EXPECT_EQ(info->address, e.address);
        EXPECT_EQ(info->bitNumber, e.bitNumber);
        EXPECT_EQ(info->parent, e.parent ? m_map.FindName(e.parent) : nullptr);
        EXPECT_EQ(info->negate, e.negate);
        EXPECT_TRUE(info->name.empty());
    }

    testsupport::TempDir m_dir;
    CMapFile m_map;
};

} // namespace

TEST_F(CompoutSymbol, Names)
{
    Check(u"VAR", {kTypeByte, 0x10, 0x100});
    Check(u"var", {kTypeByte, 0x10, 0x100});
    Check(u"  W\t", {kTypeWord, 0x10, 0x200});
    Check(u"M", {kTypeMech, 0x20, 0x10});
    Check(u"BIT", {kTypeBit, 0x10, 0x100, 3, u"VAR"});
    Check(u"LONE", {kTypeBit, 0x10, 0x300, 1});
    Check(u"OFFS", {kTypeOffset, 0, 4});
    Check(u"CONST", {kTypeConstant, 0, 0x1A});
    // A byte carries its named bits.
    const auto var = Find(u"VAR");
    ASSERT_TRUE(var);
    EXPECT_EQ(var->bitSlots[3], m_map.FindName(u"BIT"));
    EXPECT_EQ(var->bitSlots[5], m_map.FindName(u"BIT2"));
    EXPECT_EQ(var->bitSlots[0], nullptr);
    EXPECT_EQ(Find(u"W")->bitSlots[3], nullptr);
}

TEST_F(CompoutSymbol, OffsetsAndBits)
{
    Check(u"VAR+4", {kTypeByte, 0x10, 0x104});
    Check(u"VAR.OFFS", {kTypeByte, 0x10, 0x104});
    Check(u"VAR . 4 + CONST", {kTypeByte, 0x10, 0x11E});
    Check(u"VAR.BIT", {kTypeBit, 0x10, 0x100, 3, u"VAR"});
    Check(u"VAR+2.BIT", {kTypeBit, 0x10, 0x102, 3, u"VAR"});
    Check(u"W.OFFS.BIT2", {kTypeBit, 0x10, 0x204, 5, u"VAR"});
    Check(u"CONST.BIT", {kTypeBit, 0, 0x1A, 3, u"VAR"});
    Check(u"$+10H.BIT", {kTypeBit, 0x10, 0x110, 3, u"VAR"});
    Check(u"$+CONST.BIT2", {kTypeBit, 0x10, 0x11A, 5, u"VAR"});
    EXPECT_FALSE(Find(u"VAR.BIT+1"));   // nothing follows the bit
    EXPECT_FALSE(Find(u"VAR+BIT"));     // a bit only after a dot
    EXPECT_FALSE(Find(u"VAR.W"));       // a variable is no offset
    EXPECT_FALSE(Find(u"VAR+"));
    EXPECT_FALSE(Find(u"$+OFFS.BIT"));  // only a constant after "$+"
    EXPECT_FALSE(Find(u"$10H.BIT"));
    EXPECT_FALSE(Find(u"$+10H.VAR"));
    EXPECT_FALSE(Find(u"OFFS+4"));
}

TEST_F(CompoutSymbol, TypeWords)
{
    Check(u"WORD.VAR", {kTypeWord, 0x10, 0x100});
    Check(u"high.VAR", {kTypeByte, 0x10, 0x101});
    Check(u"DWRD.W", {kTypeDword, 0x10, 0x200});
    Check(u"QWRD.(W+OFFS)", {kTypeQword, 0x10, 0x204});
    Check(u"REAL.M", {kTypeReal, 0x20, 0x10});
    Check(u"BYTE.(4+VAR)", {kTypeByte, 0x10, 0x104});
    Check(u"BYTE.4+CONST+VAR", {kTypeByte, 0x10, 0x11E});
    // A type word keeps the other fields of what it changes.
    Check(u"WORD.BIT", {kTypeWord, 0x10, 0x100, 3, u"VAR"});
    EXPECT_EQ(Find(u"BYTE.VAR")->bitSlots[3], m_map.FindName(u"BIT"));
    EXPECT_FALSE(Find(u"WORD.4"));
    EXPECT_FALSE(Find(u"WORD.OFFS"));
    EXPECT_FALSE(Find(u"WORD.(VAR"));
    EXPECT_FALSE(Find(u"WORD VAR"));
    EXPECT_FALSE(Find(u"WORD.VAR.BIT"));
    // Type words shadow names: the symbol "WORD" cannot be reached.
    EXPECT_FALSE(Find(u"WORD"));
    Check(u"CNST.1AH", {kTypeConstant, 0, 26});
    Check(u"cnst.17O", {kTypeConstant, 0, 15});
    EXPECT_FALSE(Find(u"CNST.CONST"));
    EXPECT_FALSE(Find(u"CNST"));
}

TEST_F(CompoutSymbol, Negation)
{
    Check(u"-CONST", {kTypeConstant, 0, 0u - 0x1Au, 0, nullptr, 1});
    Check(u"-BIG", {kTypeConstant, 0, 0x10, 0, nullptr, 1});
    Check(u"-OFFS", {kTypeOffset, 0, 0u - 4u, 0, nullptr, 1});
    Check(u"-VAR", {kTypeByte, 0x10, 0x100, 0, nullptr, 1});
    Check(u"-CNST.1", {kTypeConstant, 0, 0xFFFFFFFF, 0, nullptr, 1});
    EXPECT_FALSE(Find(u"-M"));
    EXPECT_FALSE(Find(u"--VAR"));
    EXPECT_FALSE(Find(u"VAR-4"));
}

TEST_F(CompoutSymbol, NumbersAndBadText)
{
    Check(u"CNST.12AB", {kTypeConstant, 0, 12});  // decimal: the leading decimal digits
    Check(u"CNST.0FFFFFFFFH", {kTypeConstant, 0, 0xFFFFFFFF});
    Check(u"CNST.4294967295", {kTypeConstant, 0, 0xFFFFFFFF});
    EXPECT_FALSE(Find(u"CNST.19O"));  // not octal
    EXPECT_FALSE(Find(u"CNST.100000000H"));
    EXPECT_FALSE(Find(u"CNST.4294967296"));
    EXPECT_FALSE(Find(u"12AB"));  // a number alone is no expression
    EXPECT_FALSE(Find(u"4"));
    EXPECT_FALSE(Find(u"VAR X"));  // trailing text
    EXPECT_FALSE(Find(u"VAR)"));
    EXPECT_FALSE(Find(u"NOSUCH"));
    EXPECT_FALSE(Find(u""));
    EXPECT_FALSE(Find(u"(VAR)"));
    SymbolInfo info;
    EXPECT_FALSE(m_map.FindSymbol(static_cast<const char16_t*>(nullptr), &info));
    EXPECT_FALSE(m_map.FindSymbol(u"VAR", nullptr));
    // The text is resolved against the loaded map only.
    m_map.Clear();
    EXPECT_FALSE(Find(u"VAR"));
    Check(u"CNST.5", {kTypeConstant, 0, 5});
}
