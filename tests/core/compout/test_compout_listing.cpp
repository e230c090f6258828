// CListingFile: loading real listing files and the lookups.

#include "CompoutTest.h"
#include "core/compout/ListingFile.h"
#include "tests/support/platform/TempDir.h"

#include <gtest/gtest.h>

#include <cstdio>

using namespace compout;
using compouttest::Fixture;
using compouttest::Wide;

namespace {

// A numbered line: number, kind in column 10, text from column 15.
std::string L(unsigned n, char kind, const std::string& text)
{
    char head[32];
    std::snprintf(head, sizeof head, "%8u %c    ", n, kind);
    return head + text + "\r\n";
}

class CompoutListing : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_map.Load(Fixture("maps/v2.map"))) << m_map.GetLoadError().reason; }

    bool LoadText(const std::string& body)
    {
        m_dir.Write("l.ls1", "$LS1 01\r\n" + body);
        return m_listing.Load(m_map, Wide(m_dir / "l.ls1"));
    }
    void ExpectEmpty()
    {
        EXPECT_EQ(m_listing.GetLineCount(), 0u);
        EXPECT_EQ(m_listing.GetMechanismCount(), 0u);
        EXPECT_EQ(m_listing.GetSourceFileCount(), 0u);
        EXPECT_EQ(m_listing.GetLine(1), nullptr);
        EXPECT_EQ(m_listing.GetMechanism(0), nullptr);
        EXPECT_EQ(m_listing.GetSourceFile(0), nullptr);
    }

    testsupport::TempDir m_dir;
    CMapFile m_map;
    CListingFile m_listing;
};

} // namespace

TEST_F(CompoutListing, ThreeFilesWithMechanismsAndKinds)
{
    ASSERT_TRUE(m_listing.Load(m_map, Fixture("listings/good.ls1"))) << m_listing.GetLoadError().reason;
    EXPECT_EQ(m_listing.GetLineCount(), 14u);
    EXPECT_EQ(m_listing.GetSourceFileCount(), 3u);
    EXPECT_EQ(m_listing.GetMechanismCount(), 2u);

    const uint32_t kinds[] = {0, 2, 2, 1, 2, 1, 0, 2, 2, 2, 2, 0, 2, 2};
    for (uint32_t n = 1; n <= 14; ++n) {
        const ListingLine* line = m_listing.GetLine(n);
        ASSERT_NE(line, nullptr);
        EXPECT_EQ(line->kind, kinds[n - 1]) << n;
        EXPECT_EQ(line->breakpointState, kBreakpointNone);
    }
    EXPECT_EQ(m_listing.GetLine(0), nullptr);
    EXPECT_EQ(m_listing.GetLine(15), nullptr);

    const ListingSourceFile* main = m_listing.GetSourceFile(0);
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(main->name, u"MAIN.PLC");
    EXPECT_EQ(main->firstLine, 1u);
    EXPECT_EQ(m_listing.GetSourceFile(1)->firstLine, 8u);
    EXPECT_EQ(m_listing.GetSourceFile(2)->firstLine, 12u);
    EXPECT_EQ(m_listing.GetSourceFile(3), nullptr);
    EXPECT_EQ(m_listing.FindSourceFile(u"main.plc"), main);
    EXPECT_EQ(m_listing.FindSourceFile(u"MAIN"), nullptr);
    EXPECT_EQ(m_listing.GetLine(7)->sourceFile, main);
    EXPECT_EQ(m_listing.GetLine(8)->sourceFile, m_listing.GetSourceFile(1));

    // Mechanisms: copied from the map, lines from MECH_BEGIN to MECH_END;
    // "MECH_ENDING" is ordinary text and "MECH_END POSUV;" closes "posuv".
    ListingMechanism* lis = m_listing.FindMechanism(u"lis");
    ASSERT_NE(lis, nullptr);
    EXPECT_EQ(lis->name, u"LIS");
    EXPECT_EQ(lis->selector, 0x20);
    EXPECT_EQ(lis->address, 0x10u);
    EXPECT_EQ(lis->firstLine, 3u);
    EXPECT_EQ(lis->lastLine, 6u);
    EXPECT_EQ(lis->state, 0u);
    ListingMechanism* posuv = m_listing.FindMechanism(u"POSUV");
    ASSERT_NE(posuv, nullptr);
    EXPECT_EQ(posuv->name, u"Posuv");
    EXPECT_EQ(posuv->firstLine, 8u);
    EXPECT_EQ(posuv->lastLine, 11u);
    EXPECT_EQ(m_listing.GetMechanism(0), lis);
    EXPECT_EQ(m_listing.GetMechanism(1), posuv);
    EXPECT_EQ(m_listing.GetMechanism(2), nullptr);
    EXPECT_EQ(m_listing.FindMechanism(u"VAR"), nullptr);
    const ListingMechanism* expect[] = {nullptr, nullptr, lis, lis, lis, lis, nullptr,
                                        posuv, posuv, posuv, posuv, nullptr, nullptr, nullptr};
    for (uint32_t n = 1; n <= 14; ++n)
        EXPECT_EQ(m_listing.GetLine(n)->mechanism, expect[n - 1]) << n;

    // The listing keeps its mechanisms when the map is cleared.
    m_map.Clear();
    EXPECT_EQ(m_listing.FindMechanism(u"LIS")->name, u"LIS");
    EXPECT_EQ(m_listing.GetLine(4)->mechanism->selector, 0x20);
}

TEST_F(CompoutListing, LineOfFileStopsAtTheFileBoundary)
{
    ASSERT_TRUE(m_listing.Load(m_map, Fixture("listings/good.ls1")));
    EXPECT_EQ(m_listing.GetLineOfFile(1, u"main.plc"), m_listing.GetLine(1));
    EXPECT_EQ(m_listing.GetLineOfFile(7, u"MAIN.PLC"), m_listing.GetLine(7));
    EXPECT_EQ(m_listing.GetLineOfFile(8, u"MAIN.PLC"), nullptr);  // not line 1 of Posuv.plc
    EXPECT_EQ(m_listing.GetLineOfFile(0, u"MAIN.PLC"), nullptr);
    EXPECT_EQ(m_listing.GetLineOfFile(1, u"POSUV.PLC"), m_listing.GetLine(8));
    EXPECT_EQ(m_listing.GetLineOfFile(3, u"third.plc"), m_listing.GetLine(14));
    EXPECT_EQ(m_listing.GetLineOfFile(4, u"third.plc"), nullptr);
    EXPECT_EQ(m_listing.GetLineOfFile(0xFFFFFFFF, u"third.plc"), nullptr);
    EXPECT_EQ(m_listing.GetLineOfFile(1, u"other.plc"), nullptr);
    EXPECT_EQ(m_listing.GetLineOfFileIndex(4, 1), m_listing.GetLine(11));
    EXPECT_EQ(m_listing.GetLineOfFileIndex(5, 1), nullptr);
    EXPECT_EQ(m_listing.GetLineOfFileIndex(1, 3), nullptr);

    // A file without lines of its own has none.
    ASSERT_TRUE(LoadText("[A.PLC]\r\n[B.PLC]\r\n" + L(1, 'D', "x")));
    EXPECT_EQ(m_listing.GetLineOfFile(1, u"A.PLC"), nullptr);
    EXPECT_EQ(m_listing.GetLineOfFile(1, u"B.PLC"), m_listing.GetLine(1));
}

TEST_F(CompoutListing, BadFixturesFailAndFreeEverything)
{
    struct Case
    {
        const char* file;
        uint32_t line;
        const char* reason;
    };
    const Case cases[] = {
        {"listings/bad-gap.ls1", 6, "line number 5 where 4 was expected"},
        {"listings/bad-missing-mechanism.ls1", 4, "mechanism \"NIKDE\" is not in the map file"},
        {"listings/bad-header-after-last.ls1", 5, "text after the last numbered line"},
        {"listings/bad-no-lines.ls1", 4, "no numbered lines"},
        {"listings/none.ls1", 0, "cannot open"},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(m_listing.Load(m_map, Fixture("listings/good.ls1")));
        EXPECT_FALSE(m_listing.Load(m_map, Fixture(c.file))) << c.file;
        EXPECT_EQ(m_listing.GetLoadError().line, c.line) << c.file;
        EXPECT_EQ(m_listing.GetLoadError().reason.rfind(c.reason, 0), 0u)
            << c.file << ": " << m_listing.GetLoadError().reason;
        ExpectEmpty();
        EXPECT_TRUE(m_listing.Load(m_map, Fixture("listings/good.ls1")));
    }
    // Without the map the first mechanism fails.
    CMapFile empty;
    EXPECT_FALSE(m_listing.Load(empty, Fixture("listings/good.ls1")));
    EXPECT_EQ(m_listing.GetLoadError().line, 5u);
    CListingFile noPath;
    EXPECT_FALSE(noPath.Load(m_map));
    EXPECT_EQ(noPath.GetLoadError().reason, "no path");
}

TEST_F(CompoutListing, BadLines)
{
    const std::string a = "[A.PLC]\r\n";
    struct Case
    {
        std::string body;
        uint32_t line;
        const char* reason;
    };
    const Case cases[] = {
        {L(1, 'D', "x"), 2, "numbered line before the first source file header"},
        {a + L(1, 'X', "x"), 3, "bad kind character"},
        {a + L(1, 'D', "x") + "  two\r\n", 4, "line without a valid line number"},
        {a + L(1, 'D', "x") + L(1, 'D', "y"), 4, "line number 1 where 2 was expected"},
        {a + "99999999999 D    x\r\n", 3, "line without a valid line number"},
        {a + "[B.PLC\r\n" + L(1, 'D', "x"), 3, "source file header without"},
        {a + L(1, 'D', "MECH_BEGIN LIS") + L(2, 'D', "MECH_BEGIN Posuv"), 4, "MECH_BEGIN inside"},
        {a + L(1, 'D', "MECH_END LIS"), 3, "MECH_END outside"},
        {a + L(1, 'D', "MECH_BEGIN LIS") + L(2, 'D', "MECH_END Posuv"), 4, "MECH_END names another"},
        {a + L(1, 'D', "MECH_BEGIN LIS"), 4, "MECH_BEGIN without MECH_END"},
        {a + L(1, 'D', "MECH_BEGIN"), 3, "mechanism \"\" is not in the map file"},
        {a + L(1, 'D', "x") + "\r", 4, "CR not followed by LF"},
        {a + L(1, 'D', std::string(986, 'x')), 3, "line longer than 999 characters"},
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(LoadText(c.body)) << c.body;
        EXPECT_EQ(m_listing.GetLoadError().line, c.line) << c.body;
        EXPECT_EQ(m_listing.GetLoadError().reason.rfind(c.reason, 0), 0u)
            << c.body << ": " << m_listing.GetLoadError().reason;
        ExpectEmpty();
    }
    EXPECT_FALSE(LoadText(""));  // only the header
    m_dir.Write("v.ls1", "$LS1 02\r\n[A]\r\n" + L(1, 'D', "x"));
    EXPECT_FALSE(m_listing.Load(m_map, Wide(m_dir / "v.ls1")));
    EXPECT_EQ(m_listing.GetLoadError().reason, "bad listing version 2");
}

TEST_F(CompoutListing, ShortLinesKeywordsAndSemicolons)
{
    ASSERT_TRUE(LoadText("[A.PLC]\r\n"
                         "1\r\n"
                         "       2 D\r\n"
                         "       3 D  \r\n" +
                         L(4, 'D', "\t MeCh_BeGiN\tLIS;feed") + L(5, ' ', "MECH_ENDx;") +
                         L(6, ' ', "MECH_END lis ; end") + L(7, 'd', "MECH_BEGIN_X := 1") +
                         L(8, 'D', "MECH_BEGIN posuv;") + L(9, 'D', "MECH_END POSUV") +
                         L(10, 'D', std::string(985, 'x'))))
        << m_listing.GetLoadError().reason;
    EXPECT_EQ(m_listing.GetLine(1)->kind, kLineBlank);
    EXPECT_EQ(m_listing.GetLine(2)->kind, kLineD);
    EXPECT_EQ(m_listing.GetLine(3)->kind, kLineD);
    EXPECT_EQ(m_listing.GetMechanismCount(), 2u);
    EXPECT_EQ(m_listing.FindMechanism(u"LIS")->firstLine, 4u);
    EXPECT_EQ(m_listing.FindMechanism(u"LIS")->lastLine, 6u);
    EXPECT_EQ(m_listing.GetLine(5)->mechanism, m_listing.FindMechanism(u"LIS"));
    EXPECT_EQ(m_listing.GetLine(7)->mechanism, nullptr);
}

TEST_F(CompoutListing, HeaderNamesMatchByTheirLastComponent)
{
    ASSERT_TRUE(LoadText("[SRC\\SUB\\MAIN.PLC]\r\n       1 D    a\r\n[other/Dva.plc]\r\n       2 D    b\r\n"))
        << m_listing.GetLoadError().reason;
    EXPECT_EQ(m_listing.FindSourceFile(u"main.plc"), m_listing.GetSourceFile(0));
    EXPECT_EQ(m_listing.FindSourceFile(u"C:\\x\\Main.PLC"), m_listing.GetSourceFile(0));
    EXPECT_EQ(m_listing.FindSourceFile(u"DVA.PLC"), m_listing.GetSourceFile(1));
    EXPECT_EQ(m_listing.FindSourceFile(u"SUB"), nullptr);
    EXPECT_EQ(m_listing.GetLineOfFile(1, u"dva.plc"), m_listing.GetLine(2));
}
