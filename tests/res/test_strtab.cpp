// The string-table compiler run by the build: escapes, comments, errors and
// duplicate ids across files.
#include "res/StringTable.h"

#include "tests/support/platform/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

struct Result
{
    int exitCode;
    std::string errors;
};

class Strtab : public ::testing::Test
{
protected:
    Result Run(const std::vector<std::string>& files)
    {
        const char* bin = std::getenv("SW_BIN_DIR");
        std::string cmd = std::string(bin ? bin : ".") + "/strtab -o '" + Out() + "'";
        for (const std::string& f : files)
            cmd += " '" + (m_dir / f) + "'";
        cmd += " 2>'" + (m_dir / "errors.txt") + "'";
        int rc = std::system(cmd.c_str());
        return {WIFEXITED(rc) ? WEXITSTATUS(rc) : -1, m_dir.Read("errors.txt")};
    }
    std::string Out() const { return m_dir / "strings.tab"; }
    QHash<unsigned, QString> Table()
    {
        QHash<unsigned, QString> t;
        std::string bytes = m_dir.Read("strings.tab");
        EXPECT_TRUE(res::ParseStringTable(QByteArray::fromStdString(bytes), t));
        return t;
    }
    // Expects a failure that names the place and says what is wrong.
    void ExpectFails(const std::string& content, const std::string& place, const std::string& what)
    {
        m_dir.Write("bad.strings", content);
        Result r = Run({"bad.strings"});
        EXPECT_EQ(r.exitCode, 1) << content;
        EXPECT_NE(r.errors.find(place), std::string::npos) << r.errors;
        EXPECT_NE(r.errors.find(what), std::string::npos) << r.errors;
        EXPECT_FALSE(std::filesystem::exists(Out())) << content;
    }

    testsupport::TempDir m_dir;
};

} // namespace

TEST_F(Strtab, TextsEscapesAndComments)
{
    m_dir.Write("a.strings", "\xEF\xBB\xBF# comment\r\n"
                             "1\tA\\tB\\r\\n\\\\\\\"\r\n"
                             "\r\n"
                             "2\t  lead and trail  \n"
                             "3\t\n"
                             "4\tx\ty\n"
                             "4316\tVytváří se spojení s řídícím systémem...\\r\\n\n"
                             "  # not a comment line is an error only when it has no tab\n");
    Result r = Run({"a.strings"});
    EXPECT_EQ(r.exitCode, 1); // the last line has no tab
    EXPECT_NE(r.errors.find("a.strings:8: error:"), std::string::npos) << r.errors;

    m_dir.Write("a.strings", m_dir.Read("a.strings").substr(0, m_dir.Read("a.strings").rfind("  #")));
    m_dir.Write("b.strings", "# only comments\n");
    r = Run({"a.strings", "b.strings"});
    ASSERT_EQ(r.exitCode, 0) << r.errors;
    QHash<unsigned, QString> t = Table();
    EXPECT_EQ(t.size(), 5);
    EXPECT_EQ(t.value(1), QStringLiteral("A\tB\r\n\\\""));
    EXPECT_EQ(t.value(2), QStringLiteral("  lead and trail  "));
    EXPECT_TRUE(t.contains(3));
    EXPECT_EQ(t.value(3), QString());
    EXPECT_EQ(t.value(4), QStringLiteral("x\ty"));
    EXPECT_EQ(t.value(4316), QStringLiteral("Vytváří se spojení s řídícím systémem...\r\n"));
}

TEST_F(Strtab, DuplicateIdsFailNamingBothFiles)
{
    m_dir.Write("core.strings", "# c\n4316\tVytváří se spojení\n");
    m_dir.Write("link.strings", "4000\tx\n4316\tjiný text\n");
    Result ok = Run({"core.strings"});
    ASSERT_EQ(ok.exitCode, 0);
    ASSERT_TRUE(std::filesystem::exists(Out()));

    Result r = Run({"core.strings", "link.strings"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.errors.find("link.strings:2: error: string id 4316 is defined twice"),
              std::string::npos)
        << r.errors;
    EXPECT_NE(r.errors.find("core.strings:2"), std::string::npos) << r.errors;
    // The table of an earlier build is removed, so the build cannot go on with it.
    EXPECT_FALSE(std::filesystem::exists(Out()));

    ExpectFails("5\ta\n6\tb\n5\tc\n", "bad.strings:3", "bad.strings:1");
}

TEST_F(Strtab, BadLinesAreReportedWithTheirPlace)
{
    ExpectFails("1\tok\nno tab here\n", "bad.strings:2: error:", "id<TAB>text");
    ExpectFails("abc\ttext\n", "bad.strings:1: error:", "\"abc\" is not a number");
    ExpectFails("0\ttext\n", "bad.strings:1:", "from 1 to 65535");
    ExpectFails("65536\ttext\n", "bad.strings:1:", "from 1 to 65535");
    ExpectFails("\ttext\n", "bad.strings:1:", "not a number");
    ExpectFails("7\tbad \\q escape\n", "bad.strings:1:", "unknown escape \\q");
    ExpectFails("7\tends in \\\n", "bad.strings:1:", "backslash ends the line");
    ExpectFails("7\t\xC3\x28 broken\n", "bad.strings:1:", "not valid UTF-8");
    ExpectFails("7\t\xED\xA0\x80 surrogate\n", "bad.strings:1:", "not valid UTF-8");

    Result r = Run({"missing.strings"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.errors.find("missing.strings: error: cannot open"), std::string::npos) << r.errors;
}
