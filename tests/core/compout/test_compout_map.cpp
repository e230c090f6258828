// CMapFile: loading real map files and looking names up.

#include "CompoutTest.h"
#include "core/compout/MapFile.h"
#include "core/compout/NameCompare.h"

#include <algorithm>
#include "tests/support/platform/TempDir.h"

#include <gtest/gtest.h>

using namespace compout;
using compouttest::Fixture;
using compouttest::Wide;

namespace {

void ExpectEmpty(const CMapFile& map)
{
    EXPECT_TRUE(map.GetIndex().empty());
    for (const CMapFile::Table* t : {&map.GetSymbols(), &map.GetBitFields(), &map.GetStructureOffsets(),
                                     &map.GetConstants()}) {
        EXPECT_EQ(t->declared, 0u);
        EXPECT_EQ(t->Loaded(), 0u);
    }
}

} // namespace

TEST(CompoutMap, Version1)
{
    CMapFile map(Fixture("maps/v1.map"));
    ASSERT_TRUE(map.Load()) << map.GetLoadError().reason;
    EXPECT_EQ(map.GetVersion(), 1);
    EXPECT_EQ(map.GetSymbols().Loaded(), 4u);
    EXPECT_EQ(map.GetBitFields().Loaded(), 2u);
    EXPECT_EQ(map.GetStructureOffsets().Loaded(), 0u);
    EXPECT_EQ(map.GetConstants().Loaded(), 0u);
    EXPECT_EQ(map.GetIndex().size(), 6u);

    const MapEntry* stav = map.FindName(u"stav");
    ASSERT_NE(stav, nullptr);
    EXPECT_EQ(stav->name, u"STAV");
    EXPECT_EQ(stav->type, kTypeByte);
    EXPECT_EQ(stav->selector, 0x10);
    EXPECT_EQ(stav->address, 0x100u);
    const MapEntry* stop = map.FindName(u"STOP");
    ASSERT_NE(stop, nullptr);
    EXPECT_EQ(stop->type, kTypeBit);
    EXPECT_EQ(stop->parent, stav);
    EXPECT_EQ(stop->bitNumber, 7);
    EXPECT_EQ(stop->address, 0x100u);
    EXPECT_EQ(stav->bitSlots[7], stop);
    EXPECT_EQ(stav->bitSlots[0], map.FindName(u"START"));
    EXPECT_EQ(stav->bitSlots[1], nullptr);
    EXPECT_EQ(map.FindName(u"POCET")->type, kTypeWord);
    EXPECT_EQ(map.FindName(u"LIS")->type, kTypeMech);
    // A byte named in the bit weights becomes a single-bit byte; the type
    // word is compared without regard to case.
    const MapEntry* rizeni = map.FindName(u"ŘÍZENÍ");
    ASSERT_NE(rizeni, nullptr);
    EXPECT_EQ(rizeni->name, u"Řízení");
    EXPECT_EQ(rizeni->type, kTypeBit);
    EXPECT_EQ(rizeni->bitNumber, 3);
    EXPECT_EQ(rizeni->parent, nullptr);
}

TEST(CompoutMap, Version2WithCommentsCzechNamesAndDuplicates)
{
    CMapFile map;
    ASSERT_TRUE(map.Load(Fixture("maps/v2.map"))) << map.GetLoadError().reason;
    EXPECT_EQ(map.GetVersion(), 2);
    EXPECT_EQ(map.GetSymbols().declared, 9u);
    EXPECT_EQ(map.GetSymbols().Loaded(), 9u);
    // The bit of an unknown variable is skipped but counted.
    EXPECT_EQ(map.GetBitFields().declared, 4u);
    EXPECT_EQ(map.GetBitFields().Loaded(), 3u);
    EXPECT_EQ(map.FindName(u"SIROTEK"), nullptr);
    EXPECT_EQ(map.GetStructureOffsets().Loaded(), 2u);
    EXPECT_EQ(map.GetConstants().Loaded(), 3u);
    EXPECT_EQ(map.GetIndex().size(), 17u);

    // Names that differ only in case: the first in the file wins, and each
    // keeps its own spelling.
    const MapEntry* upper = map.FindName(u"čerpadlo");
    ASSERT_NE(upper, nullptr);
    EXPECT_EQ(upper->name, u"Čerpadlo");
    EXPECT_EQ(upper->type, kTypeDword);
    EXPECT_EQ(map.GetIndex()[static_cast<size_t>(std::find(map.GetIndex().begin(), map.GetIndex().end(), upper) -
                                                  map.GetIndex().begin()) + 1]->name,
              u"čerpadlo");
    const MapEntry* soupe = map.FindName(u"šoupě");
    ASSERT_NE(soupe, nullptr);
    // The holder is looked up without regard to case too.
    EXPECT_EQ(soupe->parent, upper);
    EXPECT_EQ(soupe->selector, 0x10);
    EXPECT_EQ(soupe->parent->bitSlots[0], soupe);

    // Equal names across tables: constant, offset, then symbol.
    const MapEntry* max = map.FindName(u"max");
    ASSERT_NE(max, nullptr);
    EXPECT_EQ(max->type, kTypeConstant);
    EXPECT_EQ(max->address, 0x20u);
    std::vector<uint32_t> order;
    for (const MapEntry* e : map.GetIndex())
        if (e->name == u"MAX")
            order.push_back(e->type);
    EXPECT_EQ(order, (std::vector<uint32_t>{kTypeConstant, kTypeOffset, kTypeReal}));

    // The index is sorted without regard to case.
    for (size_t i = 1; i < map.GetIndex().size(); ++i)
        EXPECT_LE(CompareNames(map.GetIndex()[i - 1]->name, map.GetIndex()[i]->name), 0);

    EXPECT_EQ(map.FindName(u"LIS")->bitNumber, 2);
    EXPECT_EQ(map.FindName(u"LIS")->type, kTypeMech);  // a mechanism keeps its type
    EXPECT_EQ(map.FindName(u"JEDEN")->type, kTypeBit);
    EXPECT_EQ(map.FindName(u"LIMIT")->address, 0xFFFFFFFFu);
    // A byte 0xFF inside a name is a character of the name.
    const MapEntry* xy = map.FindName(u"X\u02D9Y");
    ASSERT_NE(xy, nullptr);
    EXPECT_EQ(xy->type, kTypeQword);
    EXPECT_EQ(map.FindName(u"NEZNÁMÝ"), nullptr);
    EXPECT_EQ(map.FindName(u""), nullptr);
    EXPECT_EQ(map.FindName(u"ZZZ"), nullptr);
}

TEST(CompoutMap, Version7ReadsAsVersion2AndConstantsMayBeMissing)
{
    CMapFile map;
    ASSERT_TRUE(map.Load(Fixture("maps/v7.map"))) << map.GetLoadError().reason;
    EXPECT_EQ(map.GetVersion(), 2);
    EXPECT_EQ(map.GetConstants().Loaded(), 3u);

    ASSERT_TRUE(map.Load(Fixture("maps/v2-no-constants.map"))) << map.GetLoadError().reason;
    EXPECT_EQ(map.GetConstants().Loaded(), 0u);
    EXPECT_EQ(map.GetStructureOffsets().Loaded(), 2u);
    EXPECT_EQ(map.FindName(u"MAX")->type, kTypeOffset);

    ASSERT_TRUE(map.Load(Fixture("maps/long-999.map"))) << map.GetLoadError().reason;
}

TEST(CompoutMap, BadFilesFailWithTheirLine)
{
    struct Case
    {
        const char* file;
        uint32_t line;
        const char* reason;
    };
    const Case cases[] = {
        {"maps/missing.map", 0, "cannot open"},
        {"maps/bad-header.map", 1, "missing or bad header"},
        {"maps/bad-version0.map", 1, "bad map version 0"},
        {"maps/bad-version-negative.map", 1, "bad map version -1"},
        {"maps/bad-section-header.map", 5, "expected the section header [BIT_FIELDS n]"},
        {"maps/bad-record.map", 3, "bad symbol record"},
        {"maps/bad-selector-too-wide.map", 3, "bad symbol record"},
        {"maps/bad-short-section.map", 5, "fewer records than announced (2 of 3)"},
        {"maps/bad-short-at-end.map", 10, "fewer records than announced (1 of 2)"},
        {"maps/bad-bit-number-8.map", 9, "bit number outside 0 to 7"},
        {"maps/bad-huge-count.map", 5, "fewer records than announced (2 of 4000000000)"},
        {"maps/bad-long-line.map", 3, "line longer than 999 characters"},
        {"maps/bad-cr-without-lf.map", 3, "CR not followed by LF"},
        {"maps/bad-no-offsets.map", 21, "the file ends before [STRUCTURE_OFFSETS]"},
    };
    CMapFile map;
    for (const Case& c : cases) {
        ASSERT_TRUE(map.Load(Fixture("maps/v2.map")));
        EXPECT_FALSE(map.Load(Fixture(c.file))) << c.file;
        EXPECT_EQ(map.GetLoadError().line, c.line) << c.file;
        EXPECT_EQ(map.GetLoadError().reason.rfind(c.reason, 0), 0u)
            << c.file << ": " << map.GetLoadError().reason;
        ExpectEmpty(map);
        EXPECT_EQ(map.FindName(u"VAR"), nullptr);
        // A failed load followed by a good one works.
        ASSERT_TRUE(map.Load(Fixture("maps/v1.map"))) << c.file;
        EXPECT_EQ(map.GetLoadError().reason, "");
    }
}

TEST(CompoutMap, RecordParsingFollowsScanfRules)
{
    testsupport::TempDir dir;
    auto load = [&](const std::string& body, CMapFile& map) {
        dir.Write("m.map", "$MP2 1\r\n" + body);
        return map.Load(Wide(dir / "m.map"));
    };
    CMapFile map;
    // No blanks between fields, a "0x" prefix, text after the last field
    // and a missing "]" after the count are all accepted.
    ASSERT_TRUE(load("[SYMBOL_TABLE2\r\n10H0x20H  word  V1 tail\r\n+0fH  FFFFFFFFH REAL V2\r\n"
                     "[BIT_FIELDS 1]\r\nB V1 x\r\n[BIT_WEIGHTS 1]\r\nB +6 x\r\n",
                     map))
        << map.GetLoadError().reason;
    EXPECT_EQ(map.FindName(u"V1")->address, 0x20u);
    EXPECT_EQ(map.FindName(u"V1")->type, kTypeWord);
    EXPECT_EQ(map.FindName(u"V2")->selector, 0x0F);
    EXPECT_EQ(map.FindName(u"V2")->address, 0xFFFFFFFFu);
    EXPECT_EQ(map.FindName(u"B")->bitNumber, 6);
    // Another type word gives a byte.
    ASSERT_TRUE(load("[SYMBOL_TABLE 1]\r\n1H 2H BOOL V\r\n[BIT_FIELDS 0]\r\n[BIT_WEIGHTS 0]\r\n", map));
    EXPECT_EQ(map.FindName(u"V")->type, kTypeByte);

    // Every field is required; values too wide for their field and
    // overflowing numbers do not parse.
    for (const char* bad : {"1H 2H BYTE\r\n", "1H 100000000H BYTE V\r\n", "1H -2H BYTE V\r\n", "1 2H BYTE V\r\n"}) {
        EXPECT_FALSE(load(std::string("[SYMBOL_TABLE 1]\r\n") + bad + "[BIT_FIELDS 0]\r\n[BIT_WEIGHTS 0]\r\n", map))
            << bad;
        EXPECT_EQ(map.GetLoadError().line, 3u);
    }
    EXPECT_FALSE(load("[SYMBOL_TABLE 99999999999]\r\n", map));
    EXPECT_EQ(map.GetLoadError().line, 2u);
    EXPECT_FALSE(load("[SYMBOL_TABLE 0]\r\n[BIT_FIELDS 0]\r\n[BIT_WEIGHTS 1]\r\nV 99999999999\r\n", map));
    EXPECT_EQ(map.GetLoadError().reason, "bad bit weight record");
    EXPECT_FALSE(load("[SYMBOL_TABLE 0]\r\n[BIT_FIELDS 0]\r\n[BIT_WEIGHTS 1]\r\nV -1\r\n", map));
    EXPECT_EQ(map.GetLoadError().reason, "bit number outside 0 to 7");
}

TEST(CompoutMap, UnknownHoldersAndWeightsAreSkippedEvenWithNoSymbols)
{
    testsupport::TempDir dir;
    dir.Write("m.map", "$MP2 02\r\n[SYMBOL_TABLE 0]\r\n[BIT_FIELDS 2]\r\nB1 V\r\nB2 V\r\n"
                       "[STRUCTURE_OFFSETS 0]\r\n[BIT_WEIGHTS 1]\r\nB1 3\r\n[CONSTANTS 1]\r\nC 5H\r\n");
    CMapFile map(Wide(dir / "m.map"));
    ASSERT_TRUE(map.Load()) << map.GetLoadError().reason;
    EXPECT_EQ(map.GetBitFields().declared, 2u);
    EXPECT_EQ(map.GetBitFields().Loaded(), 0u);
    EXPECT_EQ(map.GetIndex().size(), 1u);
    EXPECT_EQ(map.FindName(u"C")->address, 5u);
}

TEST(CompoutMap, NoPathAndClear)
{
    CMapFile map;
    EXPECT_FALSE(map.Load());
    EXPECT_EQ(map.GetLoadError().reason, "no path");
    ASSERT_TRUE(map.Load(Fixture("maps/v1.map")));
    EXPECT_TRUE(map.Load());  // the stored path
    EXPECT_TRUE(map.Clear());
    ExpectEmpty(map);
    EXPECT_EQ(map.FindName(u"STAV"), nullptr);
}

TEST(CompoutMap, NameComparison)
{
    EXPECT_EQ(CompareNames(u"ŠKODA", u"škoda"), 0);
    EXPECT_EQ(CompareNames(u"ŘÍZENÍ", u"řízení"), 0);
    EXPECT_EQ(CompareNames(u"ĽŤŽŹŻĄŁŞĂĹĆČĘĚĎĐŃŇŐŔŮŰŢÁÂÄÇÉËÍÎÓÔÖÚÜÝ",
                           u"ľťžźżąłşăĺćčęěďđńňőŕůűţáâäçéëíîóôöúüý"),
              0);
    // Letters outside code page 1250 are left alone, and so is "ß".
    EXPECT_NE(CompareNames(u"À", u"à"), 0);
    EXPECT_NE(CompareNames(u"ß", u"SS"), 0);
    EXPECT_LT(CompareNames(u"AB", u"abc"), 0);
    EXPECT_LT(CompareNames(u"Z", u"č"), 0);  // units compare as numbers
    EXPECT_LT(CompareNames(u"_", u"a"), 0);  // "_" (0x5F) < "a" (0x61), even against "A"
    EXPECT_LT(CompareNames(u"_", u"A"), 0);
}
