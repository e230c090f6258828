#include "res/Resources.h"
#include "res/StringTable.h"

#include "tests/support/platform/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

constexpr unsigned kTitle = 4455;      // built in: "Strandwork"
constexpr unsigned kLanguageOnly = 4999; // only in the test language file (outside the program's ids)

std::string LanguageRcc()
{
    const char* p = std::getenv("SW_TEST_LANGUAGE_RCC");
    return p ? p : "";
}

std::string ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

class StringTable : public ::testing::Test
{
protected:
    void TearDown() override { res::UnloadLanguage(); }

    // Copies the test language file into the temporary folder as
    // strandwork<code>.rcc.
    void PutLanguageFile(const std::string& code)
    {
        std::filesystem::copy_file(LanguageRcc(), m_dir / ("strandwork" + code + ".rcc"),
                                   std::filesystem::copy_options::overwrite_existing);
    }
    QString Folder() const { return QString::fromStdString(m_dir.Path()); }

    testsupport::TempDir m_dir;
};

void ExpectBuiltins()
{
    EXPECT_FALSE(res::LanguageLoaded());
    EXPECT_EQ(LoadResString(kTitle), QStringLiteral("Strandwork"));
    EXPECT_EQ(LoadResString(kLanguageOnly), QString());
    EXPECT_EQ(res::Path(QStringLiteral("strings.tab")), QStringLiteral(":/res/strings.tab"));
    EXPECT_EQ(res::Path(QStringLiteral("dialogs/d4455.ui")), QString());
}

} // namespace

TEST_F(StringTable, BuiltinTextsAndMissingIds)
{
    ExpectBuiltins();
    EXPECT_EQ(LoadResString(0), QString());
    EXPECT_EQ(LoadResString(65535), QString());
    EXPECT_EQ(LoadResString(4456), QString());
    bool ok = true;
    EXPECT_TRUE(res::Data(QStringLiteral("no/such.file"), &ok).isEmpty());
    EXPECT_FALSE(ok);
    EXPECT_FALSE(res::Data(QStringLiteral("strings.tab"), &ok).isEmpty());
    EXPECT_TRUE(ok);
}

TEST_F(StringTable, FormatResString)
{
    EXPECT_EQ(FormatResString(kTitle, 1, 2), QStringLiteral("Strandwork"));
    EXPECT_EQ(FormatResString(60000, QStringLiteral("x")), QString()); // missing id: empty
    PutLanguageFile("ENU");
    ASSERT_TRUE(res::LoadLanguage(Folder(), QStringLiteral("strandwork"), QStringLiteral("ENU")));
    const QString expected = QStringLiteral("Only in the language file: 7 \"Příliš\"\r\n");
    EXPECT_EQ(FormatResString(kLanguageOnly, 7, QStringLiteral("Příliš")), expected);
    EXPECT_EQ(FormatResString(kLanguageOnly, 7, u"Příliš"), expected);
    EXPECT_EQ(FormatResString(kLanguageOnly, 7, std::u16string(u"Příliš")), expected);
    EXPECT_EQ(FormatResString(kLanguageOnly, 7, QStringView(u"Příliš")), expected);
    EXPECT_EQ(FormatResString(kLanguageOnly, 7, QByteArray("P\xF8\xED\x6C\x69\x9A")), expected);
    EXPECT_EQ(FormatResString(kLanguageOnly, 7), QStringLiteral("Only in the language file: 7 \"\"\r\n"));
    EXPECT_EQ(FormatResString(kLanguageOnly, QChar(u'ř'), 1.5),
              QStringLiteral("Only in the language file: 345 \"1.5\"\r\n"));
}

TEST_F(StringTable, LanguageFileReplacesAndUnloadRestores)
{
    ASSERT_FALSE(LanguageRcc().empty());
    PutLanguageFile("ENU");
    ASSERT_TRUE(res::LoadLanguage(Folder(), QStringLiteral("strandwork"), QStringLiteral("ENU")));
    EXPECT_TRUE(res::LanguageLoaded());
    EXPECT_EQ(res::LanguageFile(), QString::fromStdString(m_dir / "strandworkENU.rcc"));
    EXPECT_EQ(LoadResString(kTitle), QStringLiteral("Strandwork (English)"));
    EXPECT_EQ(LoadResString(kLanguageOnly).left(26), QStringLiteral("Only in the language file:"));
    EXPECT_EQ(res::Path(QStringLiteral("strings.tab")), QStringLiteral(":/lang/strings.tab"));
    EXPECT_EQ(res::Path(QStringLiteral("dialogs/d4455.ui")), QStringLiteral(":/lang/dialogs/d4455.ui"));
    EXPECT_TRUE(res::Data(QStringLiteral("dialogs/d4455.ui")).contains("Language test"));

    res::UnloadLanguage();
    ExpectBuiltins();

    // Loading again after unloading works the same.
    ASSERT_TRUE(res::LoadLanguage(Folder(), QStringLiteral("strandwork"), QStringLiteral("ENU")));
    EXPECT_EQ(LoadResString(kTitle), QStringLiteral("Strandwork (English)"));
}

TEST_F(StringTable, MissingOrCorruptFileKeepsWhatIsInUse)
{
    EXPECT_FALSE(res::LoadLanguage(Folder(), QStringLiteral("strandwork"), QStringLiteral("DEU")));
    ExpectBuiltins();

    m_dir.Write("strandworkCSY.rcc", "this is not a resource file at all, just text");
    EXPECT_FALSE(res::LoadLanguage(Folder(), QStringLiteral("strandwork"), QStringLiteral("CSY")));
    ExpectBuiltins();
    m_dir.Write("strandworkSKY.rcc", "");
    EXPECT_FALSE(res::LoadLanguage(Folder(), QStringLiteral("strandwork"), QStringLiteral("SKY")));
    ExpectBuiltins();
    // A resource file cut short.
    std::string real = ReadBytes(LanguageRcc());
    ASSERT_GT(real.size(), 40u);
    for (size_t cut : {size_t(4), size_t(20), real.size() / 2, real.size() - 1}) {
        m_dir.Write("strandworkHUN.rcc", real.substr(0, cut));
        EXPECT_FALSE(res::LoadLanguage(Folder(), QStringLiteral("strandwork"), QStringLiteral("HUN")))
            << cut;
        ExpectBuiltins();
    }
    std::filesystem::create_directory(m_dir / "strandworkPLK.rcc");
    EXPECT_FALSE(res::LoadLanguage(Folder(), QStringLiteral("strandwork"), QStringLiteral("PLK")));
    ExpectBuiltins();

    // A failed load while a language is in use keeps that language.
    PutLanguageFile("ENU");
    ASSERT_TRUE(res::LoadLanguage(Folder(), QStringLiteral("strandwork"), QStringLiteral("ENU")));
    EXPECT_FALSE(res::LoadLanguage(Folder(), QStringLiteral("strandwork"), QStringLiteral("CSY")));
    EXPECT_TRUE(res::LanguageLoaded());
    EXPECT_EQ(LoadResString(kTitle), QStringLiteral("Strandwork (English)"));
}

TEST(StringTableParse, RejectsDamagedTables)
{
    QHash<unsigned, QString> t;
    QByteArray good = QByteArray::fromStdString(ReadBytes(LanguageRcc())); // not a table
    EXPECT_FALSE(res::ParseStringTable(good, t));

    // "SWST", version 1, one entry (id 7, offset 0, length 2), "ab".
    QByteArray table("SWST\x01\0\0\0\x01\0\0\0\x07\0\0\0\0\0\0\0\x02\0\0\0a\0b\0", 28);
    ASSERT_TRUE(res::ParseStringTable(table, t));
    EXPECT_EQ(t.value(7), QStringLiteral("ab"));

    EXPECT_FALSE(res::ParseStringTable(table.left(27), t)); // odd text size
    EXPECT_TRUE(t.isEmpty());
    EXPECT_FALSE(res::ParseStringTable(table.left(26), t)); // text shorter than the entry
    EXPECT_FALSE(res::ParseStringTable(table.left(20), t)); // entry cut
    EXPECT_FALSE(res::ParseStringTable(table.left(8), t));  // header cut
    QByteArray bad = table;
    bad[0] = 'X';
    EXPECT_FALSE(res::ParseStringTable(bad, t)); // magic
    bad = table;
    bad[4] = 2;
    EXPECT_FALSE(res::ParseStringTable(bad, t)); // version
    bad = table;
    bad[8] = '\xFF';
    bad[11] = '\x7F';
    EXPECT_FALSE(res::ParseStringTable(bad, t)); // huge count
    bad = table;
    bad[16] = '\xFF';
    bad[19] = '\xFF';
    EXPECT_FALSE(res::ParseStringTable(bad, t)); // offset far beyond the text
}
