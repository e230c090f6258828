// The line engine: line input and output in code page 1250, string lines
// and number lines.
#include "core/projfile/LineEngine.h"

#include <gtest/gtest.h>

#include <optional>

using namespace core;

namespace {

std::vector<std::u16string> AllLines(const std::string& bytes)
{
    KxpArchive ar(false, u"/p/x.kxp", bytes);
    std::vector<std::u16string> lines;
    std::u16string line;
    while (ReadLine(ar, line))
        lines.push_back(line);
    EXPECT_TRUE(line.empty());
    return lines;
}

std::u16string Value(std::u16string_view line)
{
    std::u16string_view k, v;
    EXPECT_TRUE(SplitStringLine(line, k, v));
    return std::u16string(v);
}

} // namespace

TEST(ProjfileLines, LineEnds)
{
    using V = std::vector<std::u16string>;
    EXPECT_EQ(AllLines("a\r\nb\r\n"), (V{u"a", u"b"}));
    EXPECT_EQ(AllLines("a\nb"), (V{u"a", u"b"}));
    // A lone CR ends a line; the byte after it starts the next one.
    EXPECT_EQ(AllLines("a\rb\rc"), (V{u"a", u"b", u"c"}));
    EXPECT_EQ(AllLines("a\r\r\nb"), (V{u"a", u"", u"b"}));
    EXPECT_EQ(AllLines("\r\n\r\n"), (V{u"", u""}));
    EXPECT_EQ(AllLines(""), V{});
    // Czech letters decode from code page 1250.
    EXPECT_EQ(AllLines("P\xF8\xEDli\x9A\r\n"), (V{u"Příliš"}));
}

TEST(ProjfileLines, WriteLineEncodesAndRecordsLoss)
{
    KxpArchive ar(true, u"/p/x.kxp");
    WriteStringLine(ar, "PLCComment", u"Příliš žluťoučký");
    EXPECT_FALSE(ar.HadLossyCharacter());
    WriteStringLine(ar, "CPU", u"a\u20ACb\u4E2D"); // euro exists in 1250, the CJK sign not
    WriteStringLine(ar, "Clock", u"\u4E00");
    EXPECT_TRUE(ar.HadLossyCharacter());
    EXPECT_EQ(ar.FirstLossyValue(), u"a\u20ACb\u4E2D");
    EXPECT_EQ(ar.Bytes(), "PLCComment = P\xF8\xEDli\x9A \x9Elu\x9Dou\xE8k\xFD\r\n"
                          "CPU = a\x80"
                          "b?\r\nClock = ?\r\n");
}

TEST(ProjfileLines, ValuesWithLineBreaksStayOneLine)
{
    KxpArchive ar(true, u"/p/x.kxp");
    WriteStringLine(ar, "PLCComment", u"one\r\ntwo\nthree\r");
    EXPECT_EQ(ar.Bytes(), "PLCComment = one  two three \r\n");
    KxpArchive in(false, u"/p/x.kxp", ar.Bytes());
    EXPECT_EQ(ReadStringLine(in, "PLCComment"), u"one  two three ");
    EXPECT_TRUE(in.AtEnd());
}

TEST(ProjfileLines, StringLines)
{
    EXPECT_EQ(Value(u"PathTemp = Temp"), u"Temp");
    EXPECT_EQ(Value(u"  PathTemp\t=\t  Temp  "), u"Temp  ");
    EXPECT_EQ(Value(u"PathTemp ="), u"");
    EXPECT_EQ(Value(u"PathTemp"), u"");
    EXPECT_EQ(Value(u"PathTemp Temp"), u"");
    EXPECT_EQ(Value(u"PathTemp == x"), u"= x");
    std::u16string_view k, v;
    EXPECT_FALSE(SplitStringLine(u"   \t ", k, v));
    EXPECT_FALSE(SplitStringLine(u"", k, v));
    ASSERT_TRUE(SplitStringLine(u"PathTemp= Temp", k, v));
    EXPECT_EQ(k, u"PathTemp=");

    auto read = [](const std::string& bytes, const char* key) {
        KxpArchive ar(false, u"/p/x.kxp", bytes);
        return ReadStringLine(ar, key);
    };
    EXPECT_EQ(read("pathtemp = a\r\n", "PathTemp"), u"a");
    EXPECT_EQ(read("PATHTEMP = a", "PathTemp"), u"a");
    EXPECT_THROW(read("PathTemp= Temp\r\n", "PathTemp"), ProjectFormatError);
    EXPECT_THROW(read("PathOutput = x\r\n", "PathTemp"), ProjectFormatError);
    EXPECT_THROW(read("\r\n", "PathTemp"), ProjectFormatError);
    EXPECT_THROW(read("", "PathTemp"), ProjectFormatError);
    try {
        read("x", "PathTemp");
        FAIL();
    } catch (const ProjectFormatError& e) {
        EXPECT_EQ(e.Path(), u"/p/x.kxp");
    }
}

TEST(ProjfileLines, LongValuesAreReadWhole)
{
    std::u16string big(100000, u'x');
    KxpArchive ar(true, u"/p/x.kxp");
    WriteStringLine(ar, "FilePath", big);
    KxpArchive in(false, u"/p/x.kxp", ar.Bytes());
    EXPECT_EQ(ReadStringLine(in, "FilePath"), big);
}

TEST(ProjfileLines, NumberLines)
{
    std::vector<int64_t> v;
    EXPECT_EQ(ScanNumbers(u"FileType = 5", "FileType = %d", v), 1u);
    EXPECT_EQ(v[0], 5);
    EXPECT_EQ(ScanNumbers(u"FileType=-7xyz", "FileType = %d", v), 1u);
    EXPECT_EQ(v[0], -7);
    EXPECT_EQ(ScanNumbers(u"FileType   =   +12 trailing", "FileType = %d", v), 1u);
    EXPECT_EQ(v[0], 12);
    EXPECT_EQ(ScanNumbers(u"filetype = 5", "FileType = %d", v), 0u);
    EXPECT_EQ(ScanNumbers(u" FileType = 5", "FileType = %d", v), 0u);
    EXPECT_EQ(ScanNumbers(u"FileType = ", "FileType = %d", v), 0u);
    EXPECT_EQ(ScanNumbers(u"FileType = -", "FileType = %d", v), 0u);
    EXPECT_EQ(ScanNumbers(u"FileType = x1", "FileType = %d", v), 0u);
    EXPECT_EQ(ScanNumbers(u"FileType = 2147483647", "FileType = %d", v), 1u);
    EXPECT_EQ(v[0], 2147483647);
    EXPECT_EQ(ScanNumbers(u"FileType = -2147483648", "FileType = %d", v), 1u);
    EXPECT_EQ(v[0], -2147483648LL);
    EXPECT_EQ(ScanNumbers(u"FileType = 2147483648", "FileType = %d", v), 0u);
    EXPECT_EQ(ScanNumbers(u"FileType = 99999999999999999999999", "FileType = %d", v), 0u);
    EXPECT_EQ(ScanNumbers(u"W = -1", "W = %hd", v), 1u);
    EXPECT_EQ(v[0], 65535);
    EXPECT_EQ(ScanNumbers(u"W = 40000", "W = %hd", v), 1u);
    EXPECT_EQ(v[0], 40000);
    EXPECT_EQ(ScanNumbers(u"W = 65537", "W = %hd", v), 1u);
    EXPECT_EQ(v[0], 1);

    const char* time = "ProjectSettingsModificationTime = %d. %d. %d, %d:%d:%d";
    EXPECT_EQ(ScanNumbers(u"ProjectSettingsModificationTime = 1. 2. 2003, 4:5:6", time, v), 6u);
    EXPECT_EQ(v, (std::vector<int64_t>{1, 2, 2003, 4, 5, 6}));
    EXPECT_EQ(ScanNumbers(u"ProjectSettingsModificationTime = 0. 0. 0, -1:-1:-1", time, v), 6u);
    EXPECT_EQ(ScanNumbers(u"ProjectSettingsModificationTime=1.2.2003,4:5:6", time, v), 6u);
    EXPECT_EQ(ScanNumbers(u"ProjectSettingsModificationTime = 1. 2. 2003 4:5:6", time, v), 3u);

    KxpArchive ar(false, u"/p/x.kxp", "FramePlacement = 1, 2\r\nA = 1\r\n");
    EXPECT_THROW(ReadNumberLine(ar, "FramePlacement = %d, %d, %d"), ProjectFormatError);
    EXPECT_EQ(ReadNumber(ar, "A = %d"), 1);
    EXPECT_THROW(ReadNumber(ar, "A = %d"), ProjectFormatError); // end of the file
}

TEST(ProjfileLines, MatcherTable)
{
    // String lines: {line, key, value or nullptr for a format error}.
    struct StringCase
    {
        const char* line;
        const char* key;
        const char16_t* value;
    };
    const StringCase strings[] = {
        {"PLCComment =  ab  ", "PLCComment", u"ab  "},
        {"plccomment = x", "PLCComment", u"x"},
        {"\t PathTemp \t = \t", "PathTemp", u""},
        {"PathTemp Temp", "PathTemp", u""},
        {"PathTemp= Temp", "PathTemp", nullptr},
        {"PathTemps = Temp", "PathTemp", nullptr},
        {"", "PathTemp", nullptr},
        {"\xA0PathTemp = x", "PathTemp", nullptr}, // a no-break space is no white space
    };
    for (const StringCase& c : strings) {
        KxpArchive ar(false, u"/p/x.kxp", c.line);
        if (c.value)
            EXPECT_EQ(ReadStringLine(ar, c.key), c.value) << c.line;
        else
            EXPECT_THROW(ReadStringLine(ar, c.key), ProjectFormatError) << c.line;
    }

    // Number lines: {line, pattern, value or nothing for a format error}.
    struct NumberCase
    {
        const char* line;
        const char* pattern;
        std::optional<int64_t> value;
    };
    const NumberCase numbers[] = {
        {"FileType = 3abc", "FileType = %d", 3},
        {"filetype = 3", "FileType = %d", std::nullopt},
        {"FileType=3", "FileType = %d", 3},
        {"FileType = \t -3", "FileType = %d", -3},
        {"FileType = - 3", "FileType = %d", std::nullopt},
        {"FileType = 0x10", "FileType = %d", 0},
        {"FileType = -2147483649", "FileType = %d", std::nullopt},
        {"FileType : 3", "FileType = %d", std::nullopt},
        {"WatchInterval = 40000", "WatchInterval = %hd", 40000},
        {"WatchInterval = -1", "WatchInterval = %hd", 65535},
        {"PLCSourceFilesCount = -3", "PLCSourceFilesCount = %d", -3},
    };
    for (const NumberCase& c : numbers) {
        KxpArchive ar(false, u"/p/x.kxp", c.line);
        if (c.value)
            EXPECT_EQ(ReadNumber(ar, c.pattern), *c.value) << c.line;
        else
            EXPECT_THROW(ReadNumber(ar, c.pattern), ProjectFormatError) << c.line;
    }

    // A lone CR ends the line; the next byte begins the next line.
    KxpArchive ar(false, u"/p/x.kxp", "FileType = 3\rPathTemp = \nx\r\n");
    EXPECT_EQ(ReadNumber(ar, "FileType = %d"), 3);
    EXPECT_EQ(ReadStringLine(ar, "PathTemp"), u"");
    EXPECT_EQ(ReadStringLine(ar, "x"), u"");
    EXPECT_TRUE(ar.AtEnd());
}
