// The rules of the project settings sheet that need no window.
#include "core/projfile/ProjectSettingsRules.h"
#include "platform/sys/CodePage.h"
#include "tests/support/platform/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace core;

namespace {
std::u16string sys_u16(const std::string& s) { return sys::Utf8ToUtf16Lenient(s); }
} // namespace

TEST(ProjectSettingsRules, ReadsVersionsLikeTwoUnsignedNumbers)
{
    EXPECT_EQ(ReadVersionPair(u"6.300"), (VersionPair{6, 300}));
    EXPECT_EQ(ReadVersionPair(u"6.32"), (VersionPair{6, 32}));
    EXPECT_EQ(ReadVersionPair(u"632"), (VersionPair{632, 0}));
    EXPECT_EQ(ReadVersionPair(u""), (VersionPair{0, 0}));
    EXPECT_EQ(ReadVersionPair(u"7.0"), (VersionPair{7, 0}));
    EXPECT_EQ(ReadVersionPair(u"  6. 5x"), (VersionPair{6, 5}));
    EXPECT_EQ(ReadVersionPair(u"6.x"), (VersionPair{6, 0}));
    EXPECT_EQ(ReadVersionPair(u"x6.3"), (VersionPair{0, 0}));
}

TEST(ProjectSettingsRules, ExeNameAndToolSet)
{
    EXPECT_TRUE(ExeNameEnabled(u"DOS", u"6.348"));
    EXPECT_FALSE(ExeNameEnabled(u"DOS", u"6.349"));
    EXPECT_FALSE(ExeNameEnabled(u"DOS", u"7.0"));
    EXPECT_FALSE(ExeNameEnabled(u"haldor", u"6.100"));
    EXPECT_TRUE(ExeNameEnabled(u"DOS", u""));
    EXPECT_FALSE(ExeNameEnabled(u"DOS", u"632"));

    EXPECT_FALSE(UsesDriverKitTools(u"6.299"));
    EXPECT_TRUE(UsesDriverKitTools(u"6.300"));
    EXPECT_TRUE(UsesDriverKitTools(u"7.0"));
    EXPECT_TRUE(UsesDriverKitTools(u"632"));
    EXPECT_FALSE(UsesDriverKitTools(u""));
}

TEST(ProjectSettingsRules, ScansTheInstalledVersions)
{
    testsupport::TempDir dir;
    for (const char* f : {"PLC5100", "PLC6031", "PLC6032", "PLC6300", "Pelmar0631", "Pelmar0632", "pelmar0700",
                          "Pelmar12345", "PLC7000", "PLC63000", "PLC6x30"})
        ::mkdir((dir / f).c_str(), 0755);
    dir.Write("PLC6310", "a file counts too");
    const std::u16string folder = sys_u16(dir.Path() + "/");

    EXPECT_EQ(ScanCompilerVersions(folder, false),
              (std::vector<std::u16string>{u"6.300", u"6.310", u"6.32", u"7.0"}));
    EXPECT_EQ(ScanCompilerVersions(folder, true), (std::vector<std::u16string>{u"12345", u"632", u"700"}));

    // The examples of a folder with only the PLC forms, and only the Pelmar forms.
    testsupport::TempDir plc;
    for (const char* f : {"PLC5100", "PLC6031", "PLC6032", "PLC6300"})
        ::mkdir((plc / f).c_str(), 0755);
    EXPECT_EQ(ScanCompilerVersions(sys_u16(plc.Path()), false), (std::vector<std::u16string>{u"6.300", u"6.32"}));
    testsupport::TempDir pel;
    for (const char* f : {"Pelmar0631", "pelmar0632"})
        ::mkdir((pel / f).c_str(), 0755);
    EXPECT_EQ(ScanCompilerVersions(sys_u16(pel.Path()), true), (std::vector<std::u16string>{u"632"}));

    // Missing or unmappable folders give nothing.
    EXPECT_TRUE(ScanCompilerVersions(sys_u16(dir / "missing"), false).empty());
    EXPECT_TRUE(ScanCompilerVersions(u"C:\\Tarvane\\", false).empty());
    EXPECT_TRUE(ScanCompilerVersions(u"", true).empty());
    // A folder typed in the options is that folder, never another spelling;
    // a stored one is found in any case.
    testsupport::TempDir typed;
    ::mkdir((typed / "tarvane").c_str(), 0755);
    ::mkdir((typed / "tarvane/Pelmar0632").c_str(), 0755);
    EXPECT_TRUE(ScanCompilerVersions(sys_u16(typed / "Tarvane/"), true, true).empty());
    EXPECT_EQ(ScanCompilerVersions(sys_u16(typed / "Tarvane/"), true),
              std::vector<std::u16string>{u"632"});
}

TEST(ProjectSettingsRules, SortedInsertAndPlaceholder)
{
    std::vector<std::u16string> list{u"6.32"};
    EXPECT_TRUE(InsertVersionSorted(list, u"6.300"));
    EXPECT_FALSE(InsertVersionSorted(list, u"6.32"));
    EXPECT_TRUE(InsertVersionSorted(list, u"7.0"));
    EXPECT_EQ(list, (std::vector<std::u16string>{u"6.300", u"6.32", u"7.0"}));

    EXPECT_EQ(FolderSettingFromText(u"<Nastavení Strandworku>"), u"");
    EXPECT_EQ(FolderSettingFromText(u"<nastavení Strandworku>"), u"<nastavení Strandworku>");
    EXPECT_EQ(FolderSettingFromText(u"C:\\Tarvane\\"), u"C:\\Tarvane\\");
}

TEST(ProjectSettingsRules, ReservedKeywords)
{
    for (std::u16string_view k : {u"PathXPDDK", u"asmflags", u"LINKFLAGS", u"Debug", u"Config", u" target", u"\tTarget"})
        EXPECT_TRUE(IsReservedKeyword(k)) << std::string(k.begin(), k.end());
    for (std::u16string_view k : {u"Optimize", u"Define", u"Targets", u"", u"Target2", u"KlíčovéSlovo"})
        EXPECT_FALSE(IsReservedKeyword(k));
}
