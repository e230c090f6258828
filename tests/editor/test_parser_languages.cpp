// The parsers of every source-type row: golden files, keyword lists, random
// lines and the sample sources.

#include "editor/parsers/EdtKeywords.h"
#include "editor/parsers/EdtParser.h"
#include "editor/settings/EdtTextTypes.h"
#include "tests/editor/parsers/ParserGolden.h"
#include "tests/editor/parsers/ParserRandom.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <random>
#include <string>

namespace {

// A row, its golden file and the cookie bits its parser may return.
struct RowCase
{
    const char16_t* row;
    const char* golden;  // nullptr: none
    uint32_t bits;
    const char* sample;  // file name below samples/
};

constexpr uint32_t kAll5 = 0x1F;
const RowCase kRows[] = {
    {u"Text", nullptr, 0, nullptr},
    {u"ASP", "asp", 0x7F, "sample.asp"},
    {u"Basic", "basic", 0x19, "sample.bas"},
    {u"Batch", "batch", 0x1B, "sample.bat"},
    {u"C", "c", kAll5, "sample.c"},
    {u"DCL", "dcl", 0x1D, "sample.dcl"},
    {u"Fortran", "fortran", 0x19, "sample.f"},
    {u"HTML", "html", 0x7E, "sample.html"},
    {u"InstallShield", "installshield", kAll5, "sample.rul"},
    {u"Java", "java", kAll5, "sample.java"},
    {u"AutoLISP", "autolisp", 0x1D, "sample.lsp"},
    {u"Pascal", "pascal", 0x1D, "sample.pas"},
    {u"Perl", "perl", 0x19, "sample.pl"},
    {u"PHP", "php", 0xFF, "sample.php"},
    {u"Python", "python", 0x19, "sample.py"},
    {u"REXX", "rexx", 0x1D, "sample.rex"},
    {u"Resources", "resources", kAll5, "sample.rc"},
    {u"Sgml", "sgml", 0x3E, "sample.sgml"},
    {u"Shell", "shell", 0x19, "sample.sh"},
    {u"SIOD", "siod", 0x1D, "sample.scm"},
    {u"SQL", "sql", 0x1D, "sample.sql"},
    {u"TCL", "tcl", 0x19, "sample.tcl"},
    {u"TEX", "tex", 0x19, "sample.tex"},
    {u"PLC", "plc", kAll5, nullptr},
    {u"NCP", "ncp", 0x1, "sample.ncp"},
};

const TextTypeDef* Row(const char16_t* name)
{
    for (int id = 0; id < GetSourceTypeCount(); ++id)
        if (GetTextTypeDef(id)->name == name)
            return GetTextTypeDef(id);
    return nullptr;
}

std::string Narrow(const char16_t* s)
{
    std::string out;
    for (; *s; ++s)
        out += static_cast<char>(*s);
    return out;
}

} // namespace

TEST(EditorParserLanguages, EveryRowColoursItsGoldenFile)
{
    ResetSourceTypes();
    for (const RowCase& rc : kRows) {
        const TextTypeDef* row = Row(rc.row);
        ASSERT_NE(row, nullptr) << Narrow(rc.row);
        if (!rc.golden)
            continue;
        golden::Result r =
            golden::CheckFile(std::string("editor/") + rc.golden + "_colours.txt", row->parser);
        EXPECT_GT(r.cases, 0) << rc.golden;
        for (const std::string& f : r.failures)
            ADD_FAILURE() << f;
    }
}

TEST(EditorParserLanguages, ListCountsAndCharacters)
{
    struct Count
    {
        const char* name;
        const char16_t* const* list;
        int words;
        size_t chars;
    };
    const Count counts[] = {
        {"NcpDirectiveWords", NcpDirectiveWords, 9, 64},
        {"NcpAddressLetters", NcpAddressLetters, 23, 23},
        {"CWordsA", CWordsA, 109, 759},
        {"CWordsB", CWordsB, 21, 112},
        {"JavaWordsA", JavaWordsA, 50, 287},
        {"InstallShieldWordsA", InstallShieldWordsA, 44, 229},
        {"InstallShieldWordsB", InstallShieldWordsB, 30, 183},
        {"InstallShieldWordsC", InstallShieldWordsC, 15, 126},
        {"ResourcesWordsA", ResourcesWordsA, 6, 34},
        {"ResourcesWordsB", ResourcesWordsB, 2, 10},
        {"RexxWordsA", RexxWordsA, 57, 289},
        {"RexxWordsB", RexxWordsB, 10, 59},
        {"SqlWordsA", SqlWordsA, 17, 73},
        {"SqlWordsB", SqlWordsB, 10, 48},
        {"PythonWordsA", PythonWordsA, 28, 122},
        {"PythonWordsB", PythonWordsB, 37, 353},
        {"PythonWordsC", PythonWordsC, 53, 371},
        {"ShellWordsA", ShellWordsA, 28, 123},
        {"ShellWordsB", ShellWordsB, 8, 33},
        {"PerlWordsA", PerlWordsA, 222, 1297},
        {"TclWordsA", TclWordsA, 14, 53},
        {"PascalWordsA", PascalWordsA, 51, 257},
        {"BasicWordsA", BasicWordsA, 159, 964},
        {"FortranWordsA", FortranWordsA, 205, 1258},
        {"DclWordsA", DclWordsA, 20, 171},
        {"DclWordsB", DclWordsB, 18, 215},
        {"DclWordsC", DclWordsC, 31, 308},
        {"AutoLispWordsA", AutoLispWordsA, 226, 1407},
        {"SiodWordsA", SiodWordsA, 70, 382},
        {"SiodWordsB", SiodWordsB, 9, 31},
        {"SiodWordsC", SiodWordsC, 203, 1650},
        {"BatchWordsA", BatchWordsA, 93, 452},
        {"BatchWordsB", BatchWordsB, 66, 394},
        {"HtmlTags", HtmlTags, 77, 304},
        {"HtmlAttributes", HtmlAttributes, 57, 350},
        {"HtmlEntities", HtmlEntities, 101, 496},
        {"SgmlTags", SgmlTags, 55, 293},
        {"SgmlAttributes", SgmlAttributes, 4, 20},
        {"PhpKeywords", PhpKeywords, 51, 280},
        {"PhpOperatorWords", PhpOperatorWords, 3, 8},
        {"PhpConstants", PhpConstants, 2, 16},
        {"TexWords", TexWords, 521, 3431},
        {"LatexWords", LatexWords, 291, 3064},
    };
    for (const Count& c : counts) {
        int words = 0;
        size_t chars = 0;
        for (const char16_t* const* w = c.list; *w; ++w) {
            ++words;
            chars += std::u16string_view(*w).size();
        }
        EXPECT_EQ(words, c.words) << c.name;
        EXPECT_EQ(chars, c.chars) << c.name;

        // The index answers as the linear walk does, in both case rules.
        for (bool ignoreCase : {false, true}) {
            EdtKeywordIndex index(c.list, ignoreCase);
            for (const char16_t* const* w = c.list; *w; ++w) {
                std::u16string s(*w), flipped(*w);
                for (char16_t& ch : flipped)
                    if ((ch >= u'a' && ch <= u'z') || (ch >= u'A' && ch <= u'Z'))
                        ch = static_cast<char16_t>(ch ^ 0x20);
                for (const std::u16string& probe : {s, flipped, s + u"x", s.substr(1)})
                    ASSERT_EQ(index.Contains(probe), IsKeywordInList(c.list, probe, ignoreCase))
                        << c.name;
            }
        }
    }
}

// --- Random lines ----------------------------------------------------------

namespace {

std::u16string RandomLine(std::mt19937& gen, size_t length)
{
    return parserrandom::RandomLine(gen, length,
                                    u"/*\"'\\#;:.(){}<>?%!&$=@|- \t\r_09aZxeERrNnCcm+\u010d", 7);
}

// The properties every row keeps on any line.
void CheckLine(const RowCase& rc, EdtParseLineFn parser, const std::u16string& line,
               uint32_t cookie, TextBlockList& list)
{
    const auto [withList, without] = parserrandom::ParseExact(parser, line, cookie, list);
    const std::string name = Narrow(rc.row);
    ASSERT_NE(withList, EDT_COOKIE_UNKNOWN) << name;
    ASSERT_EQ(withList & ~rc.bits, 0u) << name << " cookie " << withList;
    ASSERT_EQ(withList, without) << name << " length " << line.size() << " cookie " << cookie;
    const int len = static_cast<int>(line.size());
    ASSERT_LE(list.Count(), std::max(4, 3 * len)) << name << " length " << len;
    ASSERT_EQ(list[0].charPos, 0) << name;
    for (int k = 1; k < list.Count(); ++k)
        ASSERT_LE(list[k - 1].charPos, list[k].charPos) << name;
    ASSERT_LE(list[list.Count() - 1].charPos, len) << name;
}

} // namespace

TEST(EditorParserLanguages, RandomLinesEveryRow)
{
    ResetSourceTypes();
    std::mt19937 gen(20261207);
    std::uniform_int_distribution<int> len(0, 40);
    std::uniform_int_distribution<uint32_t> cookie(0, 0xFFFFFFFF);
    TextBlockList list;
    for (int n = 0; n < 3000; ++n) {
        std::u16string line = RandomLine(gen, static_cast<size_t>(len(gen)));
        uint32_t c = (n % 4 == 0) ? cookie(gen) : (n % 4 == 1 ? 0xFFFFFFFF : cookie(gen) & 0xFF);
        for (const RowCase& rc : kRows) {
            CheckLine(rc, Row(rc.row)->parser, line, c, list);
            if (HasFatalFailure())
                return;
        }
    }
}

TEST(EditorParserLanguages, MillionCharacterLinesEveryRow)
{
    ResetSourceTypes();
    std::mt19937 gen(4);
    TextBlockList list;
    const std::u16string random = RandomLine(gen, 1000000);
    const uint32_t cookies[] = {0u, 0x84u, 0xFFFFFFFFu};
    size_t n = 0;
    for (const RowCase& rc : kRows) {
        EdtParseLineFn parser = Row(rc.row)->parser;
        CheckLine(rc, parser, random, cookies[n++ % std::size(cookies)], list);
        // A long word, string, tag and comment.
        for (char16_t fill : {u'A', u'"', u'<', u'/'})
            CheckLine(rc, parser, std::u16string(100000, fill), 0, list);
        if (HasFatalFailure())
            return;
    }
}

// --- Sample sources ----------------------------------------------------------

namespace {

// Reads a UTF-8 (ASCII) sample into lines; false when it cannot be read.
bool ReadSample(const std::string& name, std::vector<std::u16string>& lines)
{
    const char* root = std::getenv("SW_FIXTURES");
    std::ifstream file(std::string(root ? root : "tests/fixtures") + "/editor/samples/" + name,
                       std::ios::binary);
    if (!file)
        return false;
    std::string raw;
    while (std::getline(file, raw)) {
        if (!raw.empty() && raw.back() == '\r')
            raw.pop_back();
        lines.emplace_back(raw.begin(), raw.end());
    }
    return true;
}

} // namespace

TEST(EditorParserLanguages, SamplesCarryTheSameCookies)
{
    ResetSourceTypes();
    TextBlockList list;
    for (const RowCase& rc : kRows) {
        if (!rc.sample)
            continue;
        std::vector<std::u16string> lines;
        ASSERT_TRUE(ReadSample(rc.sample, lines)) << rc.sample;
        EXPECT_GE(lines.size(), 20u) << rc.sample;
        EXPECT_LE(lines.size(), 60u) << rc.sample;
        // The row is found by the sample's extension, as a view finds it.
        std::string ext = std::string(rc.sample).substr(7);
        const TextTypeDef* row = FindTextTypeByExtension(std::u16string(ext.begin(), ext.end()));
        ASSERT_NE(row, nullptr) << rc.sample;
        EXPECT_EQ(row->name, rc.row) << rc.sample;
        uint32_t drawn = 0, filled = 0;
        bool coloured = false;
        for (size_t n = 0; n < lines.size(); ++n) {
            list.Reset();
            list.Append(0, EDT_CLR_TEXT);
            drawn = row->parser(lines[n], drawn, &list);
            filled = row->parser(lines[n], filled, nullptr);
            ASSERT_EQ(drawn, filled) << rc.sample << ":" << n + 1;
            for (int k = 0; k < list.Count(); ++k)
                coloured = coloured || list[k].colorIndex != EDT_CLR_TEXT;
        }
        EXPECT_TRUE(coloured) << rc.sample;
    }
}

// Every line of up to three characters (four with SW_PARSER_EXHAUSTIVE set) over the characters the scans look
// for, under every cookie a parser can receive: the bounds hold and the
// cookie is the same without a list.
TEST(EditorParserLanguages, ShortLinesExhaustive)
{
    ResetSourceTypes();
    static const char16_t kChars[] = u"a1.<>?%/*\"'#;|&${}(:!\\ -R";
    const size_t n = std::size(kChars) - 1;
    const uint32_t maxLen = std::getenv("SW_PARSER_EXHAUSTIVE") ? 4 : 3;
    TextBlockList list;
    std::u16string line;
    for (uint32_t len = 0; len <= maxLen; ++len) {
        size_t total = 1;
        for (uint32_t k = 0; k < len; ++k)
            total *= n;
        line.assign(len, u' ');
        for (size_t code = 0; code < total; ++code) {
            size_t c = code;
            for (uint32_t k = 0; k < len; ++k, c /= n)
                line[k] = kChars[c % n];
            for (const RowCase& rc : kRows) {
                for (uint32_t cookie : {0u, rc.bits}) {
                    CheckLine(rc, Row(rc.row)->parser, line, cookie, list);
                    if (HasFatalFailure())
                        return;
                }
            }
        }
    }
}

// Long lines that repeat a short pattern: the block bound is tightest there.
TEST(EditorParserLanguages, RepeatedPatterns)
{
    ResetSourceTypes();
    static const char16_t kChars[] = u"a1.<>?%/*\"'#;|&${}(:!\\ -R";
    const size_t n = std::size(kChars) - 1;
    const uint32_t maxPattern = std::getenv("SW_PARSER_EXHAUSTIVE") ? 3 : 2;
    TextBlockList list;
    for (uint32_t plen = 1; plen <= maxPattern; ++plen) {
        size_t total = 1;
        for (uint32_t k = 0; k < plen; ++k)
            total *= n;
        std::u16string pattern(plen, u' ');
        for (size_t code = 0; code < total; ++code) {
            size_t c = code;
            for (uint32_t k = 0; k < plen; ++k, c /= n)
                pattern[k] = kChars[c % n];
            std::u16string line;
            while (line.size() < 60)
                line += pattern;
            for (const RowCase& rc : kRows) {
                CheckLine(rc, Row(rc.row)->parser, line, 0, list);
                if (HasFatalFailure())
                    return;
            }
        }
    }
}
