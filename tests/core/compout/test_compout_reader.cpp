// The line readers of CBufferedFileReader on real files.

#include "core/compout/BufferedFileReader.h"
#include "tests/support/platform/TempDir.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using compout::CBufferedFileReader;

namespace {

struct Read
{
    bool ok = true;
    std::vector<std::string> lines;
    std::vector<uint32_t> numbers;
    std::string error;
    uint32_t errorLine = 0;
};

Read ReadAll(const std::string& bytes, bool map)
{
    testsupport::TempDir dir;
    dir.Write("f.txt", bytes);
    CBufferedFileReader r;
    Read out;
    EXPECT_TRUE(r.OpenNative(dir / "f.txt"));
    std::string line;
    for (int guard = 0; guard < 100000; ++guard) {
        const bool ok = map ? r.ReadMapLine(line) : r.ReadListingLine(line);
        if (!ok) {
            out.ok = false;
            out.error = r.Error();
            out.errorLine = r.LineNumber();
            return out;
        }
        if (r.AtEnd()) {
            EXPECT_TRUE(line.empty());
            return out;
        }
        out.lines.push_back(line);
        out.numbers.push_back(r.LineNumber());
    }
    ADD_FAILURE() << "no end";
    return out;
}

} // namespace

TEST(CompoutReader, MapLinesSkipBlanksCommentsAndEmptyLines)
{
    const Read r = ReadAll("a b\r\n\r\n  \t; comment\r\n \tc d \r\n   \r\nlast", true);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.lines, (std::vector<std::string>{"a b", "c d ", "last"}));
    EXPECT_EQ(r.numbers, (std::vector<uint32_t>{1, 4, 6}));
}

TEST(CompoutReader, ListingLinesKeepBlanksAndSemicolons)
{
    const Read r = ReadAll("  a\r\n\r\n; b\r\n", false);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.lines, (std::vector<std::string>{"  a", "; b"}));
    EXPECT_EQ(r.numbers, (std::vector<uint32_t>{1, 3}));
}

TEST(CompoutReader, ByteFFIsDataAndOnlyTheRealEndEnds)
{
    for (bool map : {true, false}) {
        const Read r = ReadAll("x\xffy\r\n\xff\r\nz", map);
        ASSERT_TRUE(r.ok) << r.error;
        EXPECT_EQ(r.lines, (std::vector<std::string>{"x\xffy", "\xff", "z"}));
    }
}

TEST(CompoutReader, CrWithoutLfIsAnError)
{
    for (bool map : {true, false}) {
        for (const char* text : {"a\r\nb\rc\r\n", "a\r\nb\r", "a\r\n\rx", "a\r\n; note\rx\r\n"}) {
            if (!map && std::string(text).find(';') != std::string::npos)
                continue;
            const Read r = ReadAll(text, map);
            EXPECT_FALSE(r.ok) << text;
            EXPECT_EQ(r.error, "CR not followed by LF") << text;
            EXPECT_EQ(r.errorLine, 2u) << text;
        }
    }
}

TEST(CompoutReader, LineLengthLimit)
{
    const std::string max(999, 'x');
    for (bool map : {true, false}) {
        Read r = ReadAll(max + "\r\n" + max, map);
        ASSERT_TRUE(r.ok) << r.error;
        EXPECT_EQ(r.lines, (std::vector<std::string>{max, max}));
        r = ReadAll("ok\r\n" + max + "y\r\n", map);
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.errorLine, 2u);
        EXPECT_EQ(r.error, "line longer than 999 characters");
    }
    // The map reader counts after the skipped leading blanks.
    const Read r = ReadAll("    \t" + max + "\r\n", true);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.lines.at(0), max);
    EXPECT_FALSE(ReadAll("    \t" + max + "\r\n", false).ok);
}

TEST(CompoutReader, LinesAcrossBufferBoundaries)
{
    std::string bytes;
    std::vector<std::string> expect;
    for (int i = 0; bytes.size() < 3 * CBufferedFileReader::kBufferSize; ++i) {
        std::string line(static_cast<size_t>(i % 997) + 1, static_cast<char>('a' + i % 26));
        bytes += line + "\r\n";
        expect.push_back(line);
    }
    const Read r = ReadAll(bytes, false);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.lines, expect);
    EXPECT_EQ(r.numbers.back(), expect.size());
}

TEST(CompoutReader, EmptyFileAndRewind)
{
    EXPECT_TRUE(ReadAll("", true).lines.empty());
    testsupport::TempDir dir;
    dir.Write("f", "one\r\ntwo\r\n");
    CBufferedFileReader r;
    ASSERT_TRUE(r.OpenNative(dir / "f"));
    std::string line;
    ASSERT_TRUE(r.ReadListingLine(line) && r.ReadListingLine(line) && r.ReadListingLine(line));
    EXPECT_TRUE(r.AtEnd());
    ASSERT_TRUE(r.Rewind());
    ASSERT_TRUE(r.ReadListingLine(line));
    EXPECT_EQ(line, "one");
    EXPECT_EQ(r.LineNumber(), 1u);
    EXPECT_FALSE(r.OpenNative(dir / "missing"));
    EXPECT_FALSE(r.OpenNative(dir.Path()));
}
