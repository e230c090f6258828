// The build output parser over real files in a temporary folder.
#include "core/build/BuildOutput.h"
#include "tests/support/build/CaptureSink.h"
#include "tests/support/platform/TempDir.h"

#include <gtest/gtest.h>

#include <unistd.h>

using core::ParseBuildOutputLine;
using testsupport::CaptureSink;

namespace {

std::u16string U(const std::string& utf8)
{
    return sys::Utf8ToUtf16Lenient(utf8);
}

// Feeds a whole output in one chunk and makes the final call.
int Feed(const std::string& bytes, CaptureSink& sink)
{
    std::string pending;
    int r = ParseBuildOutputLine(bytes.data(), bytes.size(), pending, &sink);
    if (int f = ParseBuildOutputLine(nullptr, 0, pending, &sink))
        r = f;
    return r;
}

class Parser : public ::testing::Test
{
protected:
    void SetUp() override
    {
        dir.Write("Main.plc", "x");
        main = dir / "Main.plc"; // mixed-case temporary folder
    }
    testsupport::TempDir dir;
    std::string main;
};

} // namespace

TEST_F(Parser, CompilerLineNamingAnExistingFileIsTagged)
{
    CaptureSink sink;
    EXPECT_EQ(Feed(main + "(12) : error e1001: unknown symbol\r\n", sink), 0);
    ASSERT_EQ(sink.entries.size(), 1u);
    const auto& e = sink.entries[0];
    EXPECT_TRUE(e.tagged);
    EXPECT_EQ(e.text, U(main + "(12) : error e1001: unknown symbol\r\n"));
    EXPECT_EQ(e.file, U(main)); // its own letters, not the lower-case copy
    EXPECT_EQ(e.line, 12);
    EXPECT_EQ(e.column, 1);
    EXPECT_EQ(e.message, u"unknown symbol");
}

TEST_F(Parser, UpperCaseKindWordGivesTheMessageFromTheLowerCaseCopy)
{
    CaptureSink sink;
    Feed(sys::WideToAnsi(U(main + "(3) : ERROR T1001: Neznámý Symbol\r\n")), sink);
    ASSERT_EQ(sink.Tagged(), 1u);
    EXPECT_EQ(sink.entries[0].message, U("neznámý symbol"));
    EXPECT_EQ(sink.entries[0].line, 3);
}

TEST_F(Parser, AbsentFilesOtherKindWordsAndShortLinesArePlain)
{
    CaptureSink sink;
    const std::string lines = dir.Path() + "/Missing.plc(12) : error e1001: unknown symbol\r\n" +
                              main + "(4) : note n1: see here\r\n" + main +
                              "(5) : fatal f1: stop\r\n" + main + "(6) : error\r\n" +
                              "(7) : error e1: no file\r\n" + "\r\n";
    Feed(lines, sink);
    EXPECT_EQ(sink.Tagged(), 0u);
    EXPECT_EQ(sink.entries.size(), 6u);
    EXPECT_EQ(sink.All(), lines);
}

TEST_F(Parser, MarkerFormsAreTaggedWithTheTextAfterTheParenthesis)
{
    CaptureSink sink;
    Feed("**ERROR** " + main + "(7) bad operand\r\n", sink);
    Feed("Tarv *Warning* " + main + "(8)\r\n", sink);
    Feed("**error** " + main + "(x) no number\r\n", sink);
    ASSERT_EQ(sink.Tagged(), 3u);
    EXPECT_EQ(sink.entries[0].file, U(main));
    EXPECT_EQ(sink.entries[0].line, 7);
    EXPECT_EQ(sink.entries[0].message, u" bad operand\r\n");
    EXPECT_EQ(sink.entries[1].line, 8);
    EXPECT_EQ(sink.entries[1].message, u"\r\n");
    EXPECT_EQ(sink.entries[2].line, 0); // no digits after "(": line 0, still tagged
}

TEST_F(Parser, MarkerAtTheLineEndOrWithoutFileIsPlain)
{
    CaptureSink sink;
    Feed("fatal **ERROR**\r\n**ERROR** no file here\r\n**ERROR** " + dir.Path() +
             "/nope(1) x\r\nend **error**",
         sink);
    EXPECT_EQ(sink.Tagged(), 0u);
    EXPECT_EQ(sink.entries.size(), 4u);
    EXPECT_EQ(sink.entries[3].text, u"end **error**"); // the last line lacks its line end
}

TEST_F(Parser, ResultLinesAreNotShownAndTheLastNonzeroValueCounts)
{
    CaptureSink sink;
    EXPECT_EQ(Feed("$ReturnVal 3$\r\n", sink), 3);
    EXPECT_TRUE(sink.entries.empty());
    EXPECT_EQ(Feed("$ReturnVal 2$\r\n$ReturnVal 0$\r\n", sink), 2);
    EXPECT_EQ(Feed("$ReturnVal -1$\r\n", sink), -1);
    EXPECT_EQ(Feed("$ReturnVal 0$\r\n", sink), 0);
    EXPECT_TRUE(sink.entries.empty());
    EXPECT_EQ(Feed(" $ReturnVal 4$\r\n$ReturnVal x$\r\n", sink),
              0); // not from the first character: shown
    EXPECT_EQ(sink.entries.size(), 2u);
}

TEST_F(Parser, EverySplitPositionGivesTheSameLines)
{
    const std::string input =
        "Tarv: řádek 1\r\n" + main + "(2) : warning w2: pozor\r\n$ReturnVal 5$\r\nkonec\r\n";
    const std::string ansi = sys::WideToAnsi(U(input));
    CaptureSink whole;
    ASSERT_EQ(Feed(ansi, whole), 5);
    for (size_t a = 0; a <= ansi.size(); ++a) {
        for (size_t b = a; b <= ansi.size(); b += 7) {
            CaptureSink sink;
            std::string pending;
            int r = 0;
            for (auto [from, to] : {std::pair{size_t(0), a}, {a, b}, {b, ansi.size()}})
                if (int v = ParseBuildOutputLine(ansi.data() + from, to - from, pending, &sink))
                    r = v;
            if (int v = ParseBuildOutputLine(nullptr, 0, pending, &sink))
                r = v;
            ASSERT_EQ(r, 5) << a << "," << b;
            ASSERT_EQ(sink.All(), whole.All()) << a << "," << b;
            ASSERT_EQ(sink.Tagged(), 1u) << a << "," << b;
        }
    }
}

TEST_F(Parser, LineEndSplitBetweenCrAndLfIsFound)
{
    CaptureSink sink;
    std::string pending;
    ParseBuildOutputLine("ab\r", 3, pending, &sink);
    EXPECT_TRUE(sink.entries.empty());
    ParseBuildOutputLine("\ncd", 3, pending, &sink);
    ASSERT_EQ(sink.entries.size(), 1u);
    EXPECT_EQ(sink.entries[0].text, u"ab\r\n");
    EXPECT_EQ(pending, "cd");
}

TEST_F(Parser, ResultValueDoesNotDependOnChunking)
{
    // A nonzero value followed by a zero one in a later chunk of the same
    // call sequence: the runner keeps the nonzero one.
    CaptureSink sink;
    std::string pending;
    EXPECT_EQ(ParseBuildOutputLine("$ReturnVal 1$\r\n$Ret", 19, pending, &sink), 1);
    EXPECT_EQ(ParseBuildOutputLine("urnVal 0$\r\n", 11, pending, &sink), 0);
}

TEST_F(Parser, LfOnlyLinesAndNulBytes)
{
    CaptureSink sink;
    const std::string bytes("a\nb\0c\r\n\0\n", 9);
    std::string pending;
    ParseBuildOutputLine(bytes.data(), bytes.size(), pending, &sink);
    ASSERT_EQ(sink.entries.size(), 3u);
    EXPECT_EQ(sink.entries[0].text, u"a\r\n");
    EXPECT_EQ(sink.entries[1].text, u"b c\r\n");
    EXPECT_EQ(sink.entries[2].text, u" \r\n");
}

TEST_F(Parser, RelativeNamesAreFoundAgainstTheCurrentFolder)
{
    char old[4096];
    ASSERT_TRUE(getcwd(old, sizeof old));
    ASSERT_EQ(chdir(dir.Path().c_str()), 0);
    CaptureSink sink;
    Feed("Main.plc(9) : error e9: rel\r\nmain.PLC(9) : error e9: any case\r\n", sink);
    EXPECT_EQ(sink.Tagged(), 2u);
    EXPECT_EQ(sink.entries[1].file, u"main.PLC");
    EXPECT_EQ(chdir(old), 0);
}

TEST_F(Parser, NullSinkShowsNothingButStillReturns)
{
    std::string pending;
    EXPECT_EQ(ParseBuildOutputLine("x\r\n$ReturnVal 7$\r\n", 18, pending, nullptr), 7);
}
