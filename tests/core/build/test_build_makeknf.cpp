// The make file writer against the hand-written goldens, and its failures.
#include "core/build/MakeKnf.h"
#include "platform/sys/CodePage.h"
#include "platform/sys/FileIO.h"
#include "tests/support/build/CaptureSink.h"
#include "tests/support/platform/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>

using namespace core;
using testsupport::CaptureSink;

namespace {

std::string Golden(const std::string& name)
{
    return *sys::ReadWholeFile(std::string(std::getenv("SW_FIXTURES")) + "/build/" + name);
}

AppSettings Options()
{
    AppSettings a;
    a.PathBorlandBin = u"C:\\Tasm\\Bin\\";
    a.PathBorlandLib = u"C:\\Tasm\\Lib\\";
    a.PathTarvane = u"C:\\Tarvane\\";
    a.PathWinXPDDK = u"C:\\WINDDK\\2600\\";
    return a;
}

ProjectData Defaults()
{
    ProjectData d;
    SetProjectDefaults(d, 1'700'000'000);
    RecomputeCompilerVersion(d);
    return d;
}

const std::u16string kProject = u"C:\\Projekty\\Lis\\Lis.kxp";

std::u16string Make(const testsupport::TempDir& dir)
{
    return sys::Utf8ToUtf16Lenient(dir / "Make.knf");
}

} // namespace

TEST(MakeKnf, HaldorGoldenByteForByte)
{
    testsupport::TempDir dir;
    ProjectData d = Defaults();
    d.PLCComment = u"Lis č. 5";
    d.SourceFiles = {
        {u"Main.plc", u"Main.plc"}, {u"Io.plc", u"src\\Io.plc"}, {u"Osy.plc", u"src\\Osy.plc"}};
    d.ExtraKeywords = {{u"Opt", u"3"}, {u"Ladit", u"\"ano\""}};
    CaptureSink sink;
    ASSERT_TRUE(WriteMakeKnf(d, kProject, Options(), Make(dir), &sink));
    EXPECT_TRUE(sink.entries.empty());
    EXPECT_EQ(dir.Read("Make.knf"), Golden("make-haldor.knf"));
}

TEST(MakeKnf, DosGoldenByteForByte)
{
    testsupport::TempDir dir;
    ProjectData d = Defaults();
    d.Target = u"DOS";
    d.TarvaneVer = u"6.348";
    d.PathTarvane = u"D:\\Kompilatory\\Tarvane";
    d.SourceFiles = {{u"Main.plc", u"Main.plc"}};
    RecomputeCompilerVersion(d);
    ASSERT_TRUE(WriteMakeKnf(d, kProject, Options(), Make(dir), nullptr));
    EXPECT_EQ(dir.Read("Make.knf"), Golden("make-dos.knf"));
    EXPECT_EQ(CompilerFolder(d, Options()), u"D:\\Kompilatory\\Tarvane\\PLC6348");

    // 6.349 and later have no linked program line; neither has any Haldor.
    d.TarvaneVer = u"6.349";
    RecomputeCompilerVersion(d);
    ASSERT_TRUE(WriteMakeKnf(d, kProject, Options(), Make(dir), nullptr));
    EXPECT_EQ(dir.Read("Make.knf").find("FileExe"), std::string::npos);
    d.TarvaneVer = u"5.999";
    RecomputeCompilerVersion(d);
    ASSERT_TRUE(WriteMakeKnf(d, kProject, Options(), Make(dir), nullptr));
    EXPECT_NE(dir.Read("Make.knf").find("  FileExe\t= LOD_KAP.exe"), std::string::npos);
    d.Target = u"hALDOR";
    d.TarvaneVer = u"100";
    RecomputeCompilerVersion(d);
    ASSERT_TRUE(WriteMakeKnf(d, kProject, Options(), Make(dir), nullptr));
    EXPECT_EQ(dir.Read("Make.knf").find("FileExe"), std::string::npos);
    EXPECT_EQ(CompilerFolder(d, Options()), u"D:\\Kompilatory\\Tarvane\\Pelmar0100");
}

TEST(MakeKnf, ExistingFileIsReplaced)
{
    testsupport::TempDir dir;
    dir.Write("Make.knf", std::string(10000, 'x'));
    ProjectData d = Defaults();
    d.SourceFiles = {{u"Main.plc", u"Main.plc"}};
    ASSERT_TRUE(WriteMakeKnf(d, kProject, Options(), Make(dir), nullptr));
    EXPECT_EQ(dir.Read("Make.knf").find('x' + std::string(20, 'x')), std::string::npos);
    EXPECT_EQ(dir.Read("Make.knf").compare(0, 4, ";***"), 0);
}

TEST(MakeKnf, ProjectWithoutSourcesIsRefused)
{
    testsupport::TempDir dir;
    CaptureSink sink;
    EXPECT_FALSE(WriteMakeKnf(Defaults(), kProject, Options(), Make(dir), &sink));
    EXPECT_EQ(sink.All(), "Chyba: Projekt neobsahuje žádný zdrojový soubor PLC.\r\n");
    EXPECT_FALSE(sys::FileExists(dir / "Make.knf"));
}

TEST(MakeKnf, PathsOutsideTheCodePageAreRefusedButCommentsAreNot)
{
    testsupport::TempDir dir;
    ProjectData d = Defaults();
    d.SourceFiles = {{u"Main.plc", u"Main.plc"}};
    d.PLCComment = u"Lis ✓";
    CaptureSink sink;
    EXPECT_TRUE(WriteMakeKnf(d, kProject, Options(), Make(dir), &sink));
    EXPECT_NE(dir.Read("Make.knf").find("Lis ?"), std::string::npos);

    d.SourceFiles.push_back({u"Ωmega.plc", u"Ωmega.plc"});
    std::remove((dir / "Make.knf").c_str());
    EXPECT_FALSE(WriteMakeKnf(d, kProject, Options(), Make(dir), &sink));
    EXPECT_EQ(
        sink.All(),
        "Chyba: Cesta Ωmega.plc obsahuje znaky, které nelze zapsat v kódové stránce 1250.\r\n");
    EXPECT_FALSE(sys::FileExists(dir / "Make.knf"));

    d.SourceFiles.pop_back();
    d.PathOutput = u"Výstup★";
    sink.entries.clear();
    EXPECT_FALSE(WriteMakeKnf(d, kProject, Options(), Make(dir), &sink));
    EXPECT_EQ(
        sink.All(),
        "Chyba: Cesta C:\\Projekty\\Lis\\Výstup★\\ obsahuje znaky, které nelze zapsat v kódové "
        "stránce 1250.\r\n");

    d.PathOutput = u"Output";
    sink.entries.clear();
    EXPECT_FALSE(WriteMakeKnf(d, u"C:\\Projekty\\Lis★\\Lis.kxp", Options(), Make(dir), &sink));
    EXPECT_NE(sink.All().find("Lis★\\Lis.kxp obsahuje"), std::string::npos);
}

TEST(MakeKnf, FileThatCannotBeCreatedNamesTheSystemReason)
{
    testsupport::TempDir dir;
    ASSERT_EQ(mkdir((dir / "Make.knf").c_str(), 0777), 0);
    ProjectData d = Defaults();
    d.SourceFiles = {{u"Main.plc", u"Main.plc"}};
    CaptureSink sink;
    EXPECT_FALSE(WriteMakeKnf(d, kProject, Options(), Make(dir), &sink));
    EXPECT_EQ(sink.All(),
              "Chyba: Soubor " + dir / "Make.knf" + " se nepodařilo vytvořit (Is a directory)\r\n");
}

// Sources listed in another case than the disk has them are named as on
// the disk (the compiler names files exactly); a missing one as listed.
TEST(MakeKnf, SourcesAreNamedAsOnTheDisk)
{
    testsupport::TempDir dir;
    dir.Write("src/io.plc", "x");
    ProjectData d = Defaults();
    d.SourceFiles = {{u"io.plc", u"SRC\\IO.PLC"}, {u"Chybi.plc", u"Chybi.plc"}};
    ASSERT_TRUE(
        WriteMakeKnf(d, sys::Utf8ToUtf16Lenient(dir / "Lis.kxp"), Options(), Make(dir), nullptr));
    const std::string make = dir.Read("Make.knf");
    EXPECT_TRUE(make.find("FilePlc\t= src\\io.plc\t") + make.find("FilePlcExt\t= Chybi.plc\t") <
                make.size())
        << make;
}

// A source whose name begins or ends with a blank, or holds a tab, would be
// read by the compiler as another file: refused, naming it, nothing written.
TEST(MakeKnf, NamesTheCompilerWouldReadAsAnotherFileAreRefused)
{
    testsupport::TempDir dir;
    for (const std::u16string name : {u"b.plc ", u" b.plc", u"b\t.plc"}) {
        ProjectData d = Defaults();
        d.SourceFiles = {{u"Main.plc", u"Main.plc"}, {name, name}};
        CaptureSink sink;
        EXPECT_FALSE(WriteMakeKnf(d, kProject, Options(), Make(dir), &sink));
        EXPECT_NE(sink.All().find("Chyba: Název zdrojového souboru " +
                                  sys::Utf16ToUtf8Lenient(name) + " začíná"),
                  std::string::npos)
            << sink.All();
        EXPECT_FALSE(sys::FileExists(dir / "Make.knf"));
    }
}
