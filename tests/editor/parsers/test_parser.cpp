// Line parsers: golden files, the shared helpers, the default word wrap, the
// PLC keyword lists and random lines.

#include "ParserGolden.h"
#include "ParserRandom.h"
#include "editor/parsers/EdtParser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <memory>
#include <random>

namespace {

const char16_t* const kListA[] = {u"if", u"return", u"while", nullptr};
const char16_t* const kListB[] = {u"DWORD", nullptr};

uint32_t ParseCStyleTest(std::u16string_view text, uint32_t cookie, TextBlockList* blocks)
{
    EdtCStyleOptions options;
    options.listA = kListA;
    options.listB = kListB;
    return EdtScanCStyle(text, cookie, blocks, options);
}

void ExpectGolden(const char* file, EdtParseLineFn parser)
{
    golden::Result r = golden::CheckFile(file, parser);
    EXPECT_GT(r.cases, 0) << file;
    for (const std::string& f : r.failures)
        ADD_FAILURE() << f;
}

} // namespace

TEST(EditorParserGolden, PlcColours)
{
    ExpectGolden("editor/plc_colours.txt", ParseLinePlc);
}

TEST(EditorParserGolden, CStyleScan)
{
    ExpectGolden("editor/cstyle_colours.txt", ParseCStyleTest);
}

TEST(EditorParserGolden, HarnessRuns)
{
    TextBlockList l;
    l.Append(0, 2);
    l.Append(0, 12);  // hides the first
    l.Append(3, 12);  // same colour: merged
    l.Append(5, 7);
    l.Append(5, 10);  // the empty run at 5 is dropped
    l.Append(4, 2);   // before the last: dropped by the append rule
    l.Append(9, 2);   // past the end: empty
    EXPECT_EQ(l.Count(), 6);
    EXPECT_EQ(golden::RunsToString(golden::BlocksToRuns(l, 8)), "12:5 10:3");
    std::u16string s;
    EXPECT_TRUE(golden::DecodeLine("a\\tb\\\\\\u010D\xc4\x8d", s));
    EXPECT_EQ(s, u"a\tb\\\u010D\u010D");
    EXPECT_FALSE(golden::DecodeLine("a\\q", s));
    EXPECT_FALSE(golden::DecodeLine("a\\u12", s));
}

TEST(EditorParserHelpers, IdentifierChars)
{
    EXPECT_TRUE(IsIdentifierStartChar(u'a'));
    EXPECT_TRUE(IsIdentifierStartChar(u'Z'));
    EXPECT_TRUE(IsIdentifierStartChar(u'_'));
    EXPECT_TRUE(IsIdentifierStartChar(0x80));
    EXPECT_TRUE(IsIdentifierStartChar(0xFFFF));
    EXPECT_FALSE(IsIdentifierStartChar(0x7F));
    EXPECT_FALSE(IsIdentifierStartChar(u'1'));
    EXPECT_FALSE(IsIdentifierStartChar(u'@'));
    EXPECT_TRUE(IsIdentifierChar(u'0'));
    EXPECT_TRUE(IsIdentifierChar(u'9'));
    EXPECT_FALSE(IsIdentifierChar(u'.'));
    EXPECT_FALSE(IsIdentifierChar(0));
}

TEST(EditorParserHelpers, NumberToken)
{
    EXPECT_TRUE(IsNumberToken(u"0x1F"));
    EXPECT_TRUE(IsNumberToken(u"0xab"));
    EXPECT_FALSE(IsNumberToken(u"0x"));
    EXPECT_FALSE(IsNumberToken(u"0X1F"));
    EXPECT_FALSE(IsNumberToken(u"0x1G"));
    EXPECT_TRUE(IsNumberToken(u"1e-5"));
    EXPECT_TRUE(IsNumberToken(u"1.5E+3"));
    EXPECT_TRUE(IsNumberToken(u"7"));
    EXPECT_FALSE(IsNumberToken(u"12a"));
    EXPECT_FALSE(IsNumberToken(u""));
    EXPECT_FALSE(IsNumberToken(u"e5"));
}

TEST(EditorParserHelpers, KeywordLists)
{
    EXPECT_TRUE(IsKeywordInList(kListA, u"while", false));
    EXPECT_FALSE(IsKeywordInList(kListA, u"While", false));
    EXPECT_TRUE(IsKeywordInList(kListA, u"WHILE", true));
    EXPECT_FALSE(IsKeywordInList(kListA, u"whil", true));
    EXPECT_FALSE(IsKeywordInList(kListA, u"whiles", true));
    EXPECT_FALSE(IsKeywordInList(kListA, u"", true));
    EXPECT_FALSE(IsKeywordInList(nullptr, u"if", true));
    // Only A-Z fold: a Latin-1 capital does not meet its small letter.
    const char16_t* const latin[] = {u"\u00e9t", nullptr};
    EXPECT_FALSE(IsKeywordInList(latin, u"\u00c9T", true));
    EXPECT_TRUE(IsKeywordInList(latin, u"\u00e9T", true));
    // "@" and "`" sit beside the capitals and small letters: never folded.
    const char16_t* const signs[] = {u"a@", nullptr};
    EXPECT_FALSE(IsKeywordInList(signs, u"A`", true));
}

TEST(EditorParserHelpers, KeywordIndexAgreesWithLinearSearch)
{
    for (bool ignoreCase : {false, true}) {
        EdtKeywordIndex sections(PlcSectionWords, ignoreCase);
        EdtKeywordIndex instructions(PlcInstructions, ignoreCase);
        std::vector<std::u16string> probes;
        for (const char16_t* const* l : {PlcSectionWords, PlcInstructions})
            for (const char16_t* const* w = l; *w; ++w) {
                std::u16string s(*w);
                probes.push_back(s);
                std::u16string lower = s;
                for (char16_t& c : lower)
                    if (c >= u'A' && c <= u'Z')
                        c = static_cast<char16_t>(c + 32);
                probes.push_back(lower);
                probes.push_back(s.substr(0, s.size() - 1));
                probes.push_back(s + u"X");
            }
        probes.push_back(u"");
        probes.push_back(u"\u00e1");
        for (const std::u16string& p : probes) {
            EXPECT_EQ(sections.Contains(p), IsKeywordInList(PlcSectionWords, p, ignoreCase));
            EXPECT_EQ(instructions.Contains(p), IsKeywordInList(PlcInstructions, p, ignoreCase));
        }
    }
    EdtKeywordIndex empty(nullptr, true);
    EXPECT_FALSE(empty.Contains(u"x"));
}

TEST(EditorParserHelpers, PlcListCounts)
{
    auto measure = [](const char16_t* const* list, int& words, size_t& chars) {
        words = 0;
        chars = 0;
        for (; *list; ++list) {
            ++words;
            chars += std::u16string_view(*list).size();
        }
    };
    int words;
    size_t chars;
    measure(PlcSectionWords, words, chars);
    EXPECT_EQ(words, 79);
    EXPECT_EQ(chars, 845u);
    measure(PlcInstructions, words, chars);
    EXPECT_EQ(words, 207);
    EXPECT_EQ(chars, 1559u);
}

// The README's sample program is PLC code to the colouring: every word is
// an instruction, a section word, a label, an operand or a comment, and no
// line falls to the assembler colour.
TEST(EditorParserPlc, TheReadmeSampleIsColouredAsPlcCode)
{
    std::ifstream f(std::string(std::getenv("SW_SOURCE_DIR")) + "/README.md", std::ios::binary);
    std::ostringstream all;
    all << f.rdbuf();
    const std::string readme = all.str();
    const size_t start = readme.find("   ; axis counter\n");
    ASSERT_NE(start, std::string::npos);
    const size_t end = readme.find("   ```", start);
    ASSERT_NE(end, std::string::npos);
    int instructions = 0, lines = 0;
    for (size_t at = start; at < end; ++lines) {
        const size_t nl = readme.find('\n', at);
        const std::string line = readme.substr(at + 3, nl - at - 3);
        at = nl + 1;
        std::u16string text(line.begin(), line.end());
        TextBlockList blocks;
        ParseLinePlc(text, 0, &blocks);
        for (int i = 0; i < blocks.Count(); ++i) {
            EXPECT_NE(blocks[i].colorIndex, EDT_CLR_ASM) << line;
            instructions += blocks[i].colorIndex == EDT_CLR_PLCINSTR;
        }
    }
    EXPECT_EQ(lines, 9);
    EXPECT_EQ(instructions, 6);
}

TEST(EditorParserHelpers, TextParserLaysNothing)
{
    TextBlockList l;
    l.Append(0, 2);
    EXPECT_EQ(ParseLineText(u"if (x) /* y", 4, &l), 0u);
    EXPECT_EQ(l.Count(), 1);
    EXPECT_EQ(ParseLineText(u"a\\", 0xFFFFFFFF, nullptr), 0u);
}

TEST(EditorParserBlocks, TextBlockAddKeepsOrder)
{
    TextBlockList l;
    CEdtTextBlock b(l);
    b.Add(5, 7);
    b.Add(0, 2);
    b.Add(9, 10);
    b.Add(5, 12);  // replaces the colour at 5
    b.Add(3, 11);
    ASSERT_EQ(l.Count(), 4);
    EXPECT_EQ(l[0].charPos, 0);
    EXPECT_EQ(l[1].charPos, 3);
    EXPECT_EQ(l[1].colorIndex, 11);
    EXPECT_EQ(l[2].charPos, 5);
    EXPECT_EQ(l[2].colorIndex, 12);
    EXPECT_EQ(l[3].charPos, 9);
    l.Reset();
    EXPECT_EQ(l.Count(), 0);
}

TEST(EditorParserBlocks, ResetKeepsCapacity)
{
    TextBlockList l;
    std::u16string line(200, u'+');
    l.Append(0, 2);
    ParseLinePlc(line, 0, &l);
    const TextBlock* data = l.Data();
    int count = l.Count();
    EXPECT_EQ(count, 203);  // the caller's, the pass's first, one per sign, the end
    for (int k = 0; k < 5; ++k) {
        l.Reset();
        l.Append(0, 2);
        ParseLinePlc(line, 0, &l);
        EXPECT_EQ(l.Data(), data);
        EXPECT_EQ(l.Count(), count);
    }
}

// --- Word wrap -------------------------------------------------------------

TEST(EditorParserWrap, NoBlank)
{
    std::u16string line(35, u'x');
    std::vector<int> breaks;
    EXPECT_EQ(EdtWrapLine(line, 4, 10, &breaks), 3);
    EXPECT_EQ(breaks, (std::vector<int>{9, 19, 29}));
    EXPECT_EQ(EdtWrapLine(line, 4, 10, nullptr), 3);
}

TEST(EditorParserWrap, TabAndBlanks)
{
    std::vector<int> breaks;
    EXPECT_EQ(EdtWrapLine(u"abcde\tXYZ", 4, 9, &breaks), 1);
    EXPECT_EQ(breaks, (std::vector<int>{6}));
    breaks.clear();
    EXPECT_EQ(EdtWrapLine(u"aaaa bbbbbbbbbb cc", 4, 10, &breaks), 2);
    EXPECT_EQ(breaks, (std::vector<int>{5, 14}));
    EXPECT_EQ(EdtWrapLine(u"aaaa bbbbbbbbbb cc", 4, 10, nullptr), 2);
    // Appends to what the caller has.
    breaks = {100};
    EdtWrapLine(u"abcde\tXYZ", 4, 9, &breaks);
    EXPECT_EQ(breaks, (std::vector<int>{100, 6}));
}

TEST(EditorParserWrap, BadTabSizeAndWidth)
{
    std::vector<int> breaks;
    EXPECT_EQ(EdtWrapLine(u"a\tb\tc", 0, 3, &breaks), EdtWrapLine(u"a\tb\tc", 1, 3, nullptr));
    EXPECT_EQ(EdtWrapLine(u"a\tb\tc", -5, 3, nullptr), EdtWrapLine(u"a\tb\tc", 1, 3, nullptr));
    EXPECT_EQ(EdtWrapLine(u"abcdef", 4, 0, &breaks), 0);
    EXPECT_EQ(EdtWrapLine(u"abcdef", 4, -1, nullptr), 0);
    EXPECT_EQ(EdtWrapLine(u"", 4, 1, nullptr), 0);
    // Width 1: each character's column reaches the width.
    breaks.clear();
    EXPECT_EQ(EdtWrapLine(u"abc", 4, 1, &breaks), 3);
    EXPECT_EQ(breaks, (std::vector<int>{0, 1, 2}));
}

namespace {
class LinesView : public IEdtParserView
{
public:
    std::vector<std::u16string> lines;
    int tab = 4;
    int GetLineLength(int line) const override
    {
        return static_cast<int>(lines[static_cast<size_t>(line)].size());
    }
    const char16_t* GetLineChars(int line) const override
    {
        return lines[static_cast<size_t>(line)].data();
    }
    int GetTabSize() const override { return tab; }
};
} // namespace

TEST(EditorParserWrap, ParserObjectUsesItsView)
{
    CEdtParser parser;
    std::vector<int> breaks;
    int count = 0;
    parser.WrapLine(0, 10, &breaks, count);  // no view: nothing
    EXPECT_EQ(count, 0);
    TextBlockList l;
    CEdtTextBlock blocks(l);
    EXPECT_EQ(parser.ParseLine(5, 0, &blocks), 0u);
    EXPECT_EQ(l.Count(), 0);

    LinesView view;
    view.lines = {u"abcde\tXYZ", u"", std::u16string(25, u'x')};
    view.tab = 4;
    parser.SetTextView(&view);
    EXPECT_EQ(parser.GetTextView(), &view);
    parser.WrapLine(0, 9, &breaks, count);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(breaks, (std::vector<int>{6}));
    parser.WrapLine(1, 9, &breaks, count);
    EXPECT_EQ(count, 1);
    count = 0;
    parser.WrapLine(2, 10, nullptr, count);
    EXPECT_EQ(count, 2);
    view.tab = 8;  // the view's tab size counts
    count = 0;
    breaks.clear();
    parser.WrapLine(0, 9, &breaks, count);
    EXPECT_EQ(breaks, (std::vector<int>{6}));
}

// --- Random lines ----------------------------------------------------------

namespace {

std::u16string RandomLine(std::mt19937& gen, size_t length)
{
    return parserrandom::RandomLine(gen, length, u"/*\"'\\#;:.( \t\r_@?0129aZxeE+-\u010d", 6);
}

// The properties every parser keeps on any line.
void CheckProperties(EdtParseLineFn parser, const std::u16string& line, uint32_t cookie,
                     TextBlockList& list, const char* name)
{
    const auto [withList, without] = parserrandom::ParseExact(parser, line, cookie, list);
    ASSERT_NE(withList, EDT_COOKIE_UNKNOWN) << name;
    ASSERT_EQ(withList, without) << name << " length " << line.size();
    const int len = static_cast<int>(line.size());
    ASSERT_LE(list.Count(), std::max(4, 3 * len)) << name << " length " << len;
    for (int k = 0; k < list.Count(); ++k) {
        ASSERT_GE(list[k].charPos, 0) << name;
        ASSERT_LE(list[k].charPos, len) << name;
        if (k > 0) {
            ASSERT_LE(list[k - 1].charPos, list[k].charPos) << name;
        }
    }
}

const EdtParseLineFn kParsers[] = {ParseLinePlc, ParseLineText, ParseCStyleTest};
const char* const kNames[] = {"PLC", "Text", "C-style"};

} // namespace

TEST(EditorParserRandom, ShortLines)
{
    std::mt19937 gen(20240611);
    std::uniform_int_distribution<int> len(0, 40);
    std::uniform_int_distribution<uint32_t> cookie(0, 0xFFFFFFFF);
    TextBlockList list;
    for (int n = 0; n < 20000; ++n) {
        std::u16string line = RandomLine(gen, static_cast<size_t>(len(gen)));
        uint32_t c = (n % 4 == 0) ? cookie(gen) : (n % 4 == 1 ? 0xFFFFFFFF : cookie(gen) & 0x1F);
        for (size_t p = 0; p < std::size(kParsers); ++p) {
            // The C-style scan alone is meant for lines of two characters
            // and more; the parsers built on it stop before.
            if (p == 2 && line.size() < 2)
                continue;
            CheckProperties(kParsers[p], line, c, list, kNames[p]);
            if (HasFatalFailure())
                return;
        }
    }
}

TEST(EditorParserRandom, CookiesCarryLineToLine)
{
    std::mt19937 gen(7);
    std::uniform_int_distribution<int> len(0, 30);
    TextBlockList list;
    uint32_t plc = 0, cs = 0;
    for (int n = 0; n < 5000; ++n) {
        std::u16string line = RandomLine(gen, static_cast<size_t>(len(gen)));
        list.Reset();
        list.Append(0, 2);
        uint32_t next = ParseLinePlc(line, plc, &list);
        ASSERT_EQ(next & ~0x1Fu, 0u);
        plc = next;
        if (line.size() >= 2) {
            cs = ParseCStyleTest(line, cs, nullptr);
            ASSERT_EQ(cs & ~0x1Fu, 0u);
        }
    }
}

TEST(EditorParserRandom, MillionCharacterLines)
{
    std::mt19937 gen(99);
    TextBlockList list;
    for (uint32_t cookie : {0u, 4u, 8u, 0xFFFFFFFFu}) {
        std::u16string line = RandomLine(gen, 1000000);
        for (size_t p = 0; p < std::size(kParsers); ++p)
            CheckProperties(kParsers[p], line, cookie, list, kNames[p]);
    }
    // A million-character word, string and comment.
    for (char16_t fill : {u'A', u'"', u';', u'/'}) {
        std::u16string line(1000000, fill);
        for (size_t p = 0; p < std::size(kParsers); ++p)
            CheckProperties(kParsers[p], line, 0, list, kNames[p]);
    }
}
