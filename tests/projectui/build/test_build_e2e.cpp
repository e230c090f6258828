// BuildPlc, BuildIfNeeded, CheckDependencies, CleanBuildOutput and
// UpdateToNewestCompilerVersion on copies of the fixture projects, with
// the real Pilvex and the stand-in compiler Tarv.
#include "projectui/StrandworkDoc.h"
#include "platform/sys/FileIO.h"
#include "platform/ui/Prompt.h"
#include "tests/support/build/CaptureSink.h"
#include "tests/support/build/StubProjectHost.h"
#include "tests/support/platform/TempDir.h"

#include <QDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <set>

using namespace core;
namespace fs = std::filesystem;

namespace {

class BuildHost : public testsupport::StubProjectHost
{
public:
    BuildHost()
    {
        settings.PathTarvane =
            sys::Utf8ToUtf16Lenient(std::string(std::getenv("SW_TARVANE")) + "/");
        programFolder = QString::fromUtf8(std::getenv("SW_BIN_DIR")) + "/";
        output = &sink;
    }
    bool OnFileSaveAll() override
    {
        ++saves;
        return saveResult;
    }
    bool PumpMessages() override { return onPump ? onPump(pumps++) : (++pumps, true); }

    testsupport::CaptureSink sink;
    std::function<bool(int)> onPump;
    int pumps = 0;
    int saves = 0;
    bool saveResult = true;
};

struct E2E : ::testing::Test
{
    testsupport::TempDir dir;
    BuildHost host;
    std::unique_ptr<CStrandworkDoc> doc;
    QString savedCwd = QDir::currentPath();
    ~E2E() override { QDir::setCurrent(savedCwd); }

    // Copies a fixture project and opens it.
    void Open(const std::string& fixture)
    {
        fs::copy(std::string(std::getenv("SW_FIXTURES")) + "/build/" + fixture, dir.Path(),
                 fs::copy_options::recursive);
        doc = std::make_unique<CStrandworkDoc>();
        doc->SetAutoDelete(false);
        ASSERT_TRUE(doc->OnOpenDocument(QString::fromStdString(dir / "Lis.kxp")));
        host.sink.entries.clear();
    }
    std::string Out() const { return host.sink.All(); }
    bool Exists(const std::string& rel) const { return sys::IsRegularFile(dir / rel); }
    std::string Line(const std::string& key) const
    {
        const std::string make = dir.Read("Temp/Make.knf");
        size_t at = make.find("  " + key + "\t");
        if (at == std::string::npos)
            return {};
        at = make.find("= ", at) + 2;
        return make.substr(at, make.find('\t', at) - at);
    }
    void SetTime(const std::string& rel, int64_t unixSeconds)
    {
        timespec t[2] = {{unixSeconds, 0}, {unixSeconds, 0}};
        ASSERT_EQ(utimensat(AT_FDCWD, (dir / rel).c_str(), t, 0), 0);
    }
};

const char kSuccess[] = "\r\nTvorba PLC skončila bez chyb. \r\n";
const char kFailure[] = "\r\nPři tvorbě PLC došlo k chybám.\r\n";

bool EndsWith(const std::string& s, const std::string& tail)
{
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

std::set<std::string> Names(const std::string& folder)
{
    std::set<std::string> out;
    for (const auto& e : fs::directory_iterator(folder))
        out.insert(e.path().filename().string());
    return out;
}

} // namespace

TEST_F(E2E, OkBuildsAndAFollowingConditionalBuildDoesNotRunTheCompiler)
{
    Open("ok");
    ASSERT_TRUE(doc->BuildPlc()) << Out();
    const std::string out = Out();
    EXPECT_EQ(
        out.rfind(
            "-------------------- Tvorba PLC: " + dir / "Lis.kxp" +
                " --------------------\r\n"
                "Make.knf\r\nSpouštím Tarv.exe (=> Make.bat)...\r\nTarv: překládám 2 souborů\r\n",
            0),
        0u)
        << out;
    EXPECT_NE(out.find("Spouštím Make.bat ...\r\nSpojuji PLC...\r\n"), std::string::npos) << out;
    EXPECT_TRUE(EndsWith(out, kSuccess)) << out;
    EXPECT_FALSE(doc->IsBuilding());
    EXPECT_TRUE(EndsWith(Line("PathBin"), "Pelmar0632/System/")) << Line("PathBin");
    for (const char* f : {"Output/PLC.BIN", "Output/LOD_KAP.exe", "Output/PLCBIN.txt",
                          "Temp/LOD_KAP.MP2", "Temp/LOD_KAP.MAP", "Temp/Main.LS1", "Temp/Make.bat"})
        EXPECT_TRUE(Exists(f)) << f;
    EXPECT_EQ(dir.Read("Temp/LOD_KAP.MP2").substr(0, 39),
              "$MP2 02\r\n[SYMBOL_TABLE 3]\r\n1H 100H BYTE");

    host.sink.entries.clear();
    EXPECT_TRUE(doc->BuildIfNeeded());
    EXPECT_EQ(Out(), "Kontrola závislostí...\r\nOK\r\n");

    // A source saved after the build makes it build again.
    SetTime("src/Io.plc", time(nullptr) + 100);
    host.sink.entries.clear();
    EXPECT_TRUE(doc->BuildIfNeeded());
    EXPECT_NE(Out().find("Tarv: překládám"), std::string::npos);
}

TEST_F(E2E, FailingSourceGivesATaggedLineAndTheFailureLine)
{
    Open("fail");
    EXPECT_FALSE(doc->BuildPlc());
    const std::string out = Out();
    EXPECT_TRUE(EndsWith(out, kFailure)) << out;
    EXPECT_EQ(out.find("Spouštím Make.bat"), std::string::npos);
    ASSERT_EQ(host.sink.Tagged(), 1u) << out;
    for (const auto& e : host.sink.entries) {
        if (e.tagged) {
            EXPECT_EQ(e.file, sys::Utf8ToUtf16Lenient(dir / "Main.plc"));
            EXPECT_EQ(e.line, 3);
            EXPECT_EQ(e.message, sys::Utf8ToUtf16Lenient("neznámý symbol vstupp"));
        }
    }
    EXPECT_FALSE(doc->IsBuilding());
}

TEST_F(E2E, DosTargetUsesItsFolderAndTheOutputList)
{
    Open("dos");
    ASSERT_TRUE(doc->BuildPlc()) << Out();
    EXPECT_TRUE(EndsWith(Line("PathBin"), "PLC6349/System/")) << Line("PathBin");
    EXPECT_EQ(Line("FileExe"), "");
    EXPECT_TRUE(doc->CheckDependencies());

    dir.Write("Output/PLCBIN.txt", "PLC.BIN\r\n\"Chybí.bin\" x\r\n");
    EXPECT_FALSE(doc->CheckDependencies());
    dir.Write("Output/PLCBIN.txt", "");
    EXPECT_TRUE(doc->CheckDependencies());
    fs::remove(dir / "Output/PLCBIN.txt");
    EXPECT_FALSE(doc->CheckDependencies());

    // A list that cannot be read whole reports it and rebuilds.
    fs::create_directory(dir / "Output/PLCBIN.txt");
    host.sink.entries.clear();
    EXPECT_FALSE(doc->CheckDependencies());
    EXPECT_EQ(Out(), "Chyba při čtení souboru " + dir / "Output/PLCBIN.txt" + " ...\r\n");
}

TEST_F(E2E, DependencyCheckEdges)
{
    Open("ok");
    ASSERT_TRUE(doc->BuildPlc()) << Out();
    ASSERT_TRUE(doc->CheckDependencies());
    const int64_t now = time(nullptr);

    // A header saved after the build rebuilds; adding a support file alone
    // does not, saving it later does.
    dir.Write("Defs.inc", "x");
    SetTime("Defs.inc", now - 1000);
    doc->Data().HeaderFiles.push_back({u"Defs.inc", u"Defs.inc"});
    EXPECT_TRUE(doc->CheckDependencies());
    SetTime("Defs.inc", now + 1000);
    EXPECT_FALSE(doc->CheckDependencies());
    SetTime("Defs.inc", now - 1000);
    dir.Write("data/a.bin", "x");
    SetTime("data/a.bin", now - 1000);
    doc->Data().SupportFiles.push_back({u"a.bin", u"data\\a.bin", u"\\a.bin", 0, 0, 0});
    EXPECT_TRUE(doc->CheckDependencies());
    SetTime("data/a.bin", now + 1000);
    EXPECT_FALSE(doc->CheckDependencies());
    SetTime("data/a.bin", now - 1000);

    // Settings changed in the same second as the outputs were written: rebuild.
    const int64_t imageTime = sys::FileTimeToUnix(*sys::GetFileWriteTime(dir / "Output/PLC.BIN"));
    doc->Data().SettingsModificationTime = imageTime;
    EXPECT_FALSE(doc->CheckDependencies());
    doc->Data().SettingsModificationTime = imageTime - 1;
    EXPECT_TRUE(doc->CheckDependencies());

    // A missing input or output rebuilds.
    fs::remove(dir / "Temp/Main.LS1");
    EXPECT_FALSE(doc->CheckDependencies());
    doc->Data().SourceFiles.clear();
    EXPECT_FALSE(doc->CheckDependencies());
}

TEST_F(E2E, MissingHelperCompilerFolderAndMakeFile)
{
    Open("ok");
    testsupport::TempDir empty;
    host.programFolder = QString::fromStdString(empty.Path() + "/");
    EXPECT_FALSE(doc->BuildPlc());
    EXPECT_NE(Out().find("Chyba: Soubor Pilvex.exe nebyl nalezen! (\"" + empty.Path() +
                         "/Pilvex.exe\")" + std::string(kFailure)),
              std::string::npos)
        << Out();
    EXPECT_EQ(Out().find("Spouštím Make.bat"), std::string::npos);
    host.programFolder = QString::fromUtf8(std::getenv("SW_BIN_DIR")) + "/";

    host.settings.PathTarvane = sys::Utf8ToUtf16Lenient(empty.Path() + "/");
    host.sink.entries.clear();
    EXPECT_FALSE(doc->BuildPlc());
    EXPECT_NE(Out().find("Chyba: Adresář překladače Tarvane nebyl nalezen! (" + empty.Path() +
                         "/Pelmar0632/System)\r\n"),
              std::string::npos)
        << Out();

    fs::remove_all(dir / "Temp");
    fs::create_directories(dir / "Temp/Make.knf");
    host.sink.entries.clear();
    EXPECT_FALSE(doc->BuildPlc());
    EXPECT_NE(Out().find("Chyba: Soubor " + dir / "Temp/Make.knf" +
                         " se nepodařilo vytvořit (Is a directory)\r\n" + kFailure),
              std::string::npos)
        << Out();
}

TEST_F(E2E, OutputFolderNamingAFileAndAFailedSave)
{
    Open("ok");
    dir.Write("Output", "a file");
    EXPECT_FALSE(doc->BuildPlc());
    EXPECT_NE(Out().find("Chyba: Nepodařilo se vytvořit adresář pro výstupní soubory (" +
                         dir / "Output" + ")\r\n"),
              std::string::npos)
        << Out();
    host.saveResult = false;
    host.sink.entries.clear();
    EXPECT_FALSE(doc->BuildIfNeeded());
    EXPECT_EQ(Out(), "Chyba: Nepodařilo se uložit některé soubory.\r\n");
    host.sink.entries.clear();
    EXPECT_FALSE(doc->BuildPlc());
    EXPECT_TRUE(EndsWith(Out(), std::string("Chyba: Nepodařilo se uložit některé soubory.\r\n") +
                                    kFailure));
}

TEST_F(E2E, CancelDuringTheCompilerRunAndReentryThroughThePump)
{
    Open("ok");
    {
        std::string main = dir.Read("Main.plc");
        dir.Write("Main.plc", main + "#tarv-sleep 20000\r\n");
    }
    ui::ScriptedPrompts prompts;
    int reentered = 0;
    host.onPump = [&](int n) {
        if (n == 0) {
            // Re-entry while the build runs: nothing happens.
            const size_t before = host.sink.entries.size();
            EXPECT_FALSE(doc->BuildPlc());
            EXPECT_FALSE(doc->BuildIfNeeded());
            doc->CleanBuildOutput();
            EXPECT_EQ(host.sink.entries.size(), before);
            ++reentered;
            return false; // a quit request: refused with a message
        }
        if (n == 3)
            doc->RequestBuildStop();
        return true;
    };
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(doc->BuildPlc());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    EXPECT_EQ(reentered, 1);
    ASSERT_EQ(prompts.Asked().size(), 1u);
    EXPECT_EQ(prompts.Asked()[0].text,
              QStringLiteral("Strandwork nemůže být ukončen, neboť probíhá překlad PLC!"));
    EXPECT_EQ(prompts.Asked()[0].style, uint32_t(ui::MB_OK | ui::MB_ICONEXCLAMATION));
    EXPECT_NE(Out().find("Překlad projektu byl přerušen...\r\n"), std::string::npos);
    EXPECT_TRUE(EndsWith(Out(), kFailure)) << Out();
    EXPECT_FALSE(doc->IsBuildStopRequested());
}

TEST_F(E2E, CleanAsksOnceAndReportsWhatItCouldNotDelete)
{
    Open("ok");
    ASSERT_TRUE(doc->BuildPlc());
    fs::create_directory(dir / "Temp/sub");
    dir.Write(".keep-outside", "target");
    fs::create_symlink(dir / ".keep-outside", dir / "Output/link");
    dir.Write("Output/.hidden", "h");
    {
        ui::ScriptedPrompts no({ui::IDNO});
        doc->CleanBuildOutput();
        EXPECT_EQ(no.Asked().size(), 1u);
        EXPECT_TRUE(Exists("Output/PLC.BIN"));
    }
    ui::ScriptedPrompts yes({ui::IDYES});
    host.sink.entries.clear();
    doc->CleanBuildOutput();
    ASSERT_EQ(yes.Asked().size(), 1u);
    EXPECT_EQ(yes.Asked()[0].text,
              QString::fromStdString("Vymazat obsah adresářů \r\n" + dir / "Temp" + "\r\na\r\n" +
                                     dir / "Output" + "?"));
    EXPECT_EQ(Out(), "Nepodařilo se smazat soubor " + dir / "Temp/sub" + "\r\n");
    EXPECT_FALSE(Exists("Output/PLC.BIN"));
    EXPECT_FALSE(Exists("Temp/Make.knf"));
    EXPECT_FALSE(fs::is_symlink(dir / "Output/link"));
    EXPECT_TRUE(Exists(".keep-outside"));
    EXPECT_TRUE(Exists("Output/.hidden"));
    EXPECT_TRUE(Exists("Main.plc"));
}

TEST_F(E2E, CleanRefusesTheProjectFolderItsAncestorsAndRoots)
{
    Open("ok");
    ui::ScriptedPrompts prompts({ui::IDYES, ui::IDYES, ui::IDYES, ui::IDYES});
    for (const char16_t* temp : {u"", u".", u"..", u"/", u"Temp\\.."}) {
        doc->Data().PathTemp = temp;
        host.sink.entries.clear();
        doc->CleanBuildOutput();
        EXPECT_EQ(Out(), "Neplatná cesta k adresáři dočasných souborů (" +
                             sys::Utf16ToUtf8Lenient(temp) + ")!\r\n");
    }
    doc->Data().PathTemp = u"Temp";
    doc->Data().PathOutput = u".";
    host.sink.entries.clear();
    doc->CleanBuildOutput();
    EXPECT_EQ(Out(), "Neplatná cesta k adresáři výstupních souborů (.)!\r\n");
    EXPECT_TRUE(prompts.Asked().empty());
    EXPECT_TRUE(Exists("Main.plc"));
}

TEST_F(E2E, CompilerVersionUpdateTakesTheNewestFolderAndTheBuildUsesIt)
{
    Open("ok");
    testsupport::TempDir tarvane;
    tarvane.Write("Pelmar0632/System/x", "");
    tarvane.Write("Pelmar0700/System/x", "");
    tarvane.Write("Pelmar0800", "a file");
    doc->Data().PathTarvane = sys::Utf8ToUtf16Lenient(tarvane.Path());
    doc->SetModifiedFlag(false);
    doc->UpdateToNewestCompilerVersion();
    EXPECT_EQ(doc->Data().TarvaneVer, u"700");
    EXPECT_EQ(doc->Data().PelmarVer, 700);
    EXPECT_TRUE(doc->IsModified());
    EXPECT_FALSE(doc->BuildPlc());
    EXPECT_NE(Out().find("Pelmar0700/System/Tarv.exe nelze spustit"), std::string::npos)
        << Out(); // no Tarv there

    doc->Data().Target = u"DOS";
    doc->Data().TarvaneVer = u"6.349";
    RecomputeCompilerVersion(doc->Data());
    tarvane.Write("PLC5120/x", "");
    tarvane.Write("PLC6349/x", "");
    tarvane.Write("PLC6400/x", "");
    doc->UpdateToNewestCompilerVersion();
    EXPECT_EQ(doc->Data().TarvaneVer, u"6.400");
    EXPECT_EQ(doc->Data().TarvaneVerMajor, 6);
    EXPECT_EQ(doc->Data().TarvaneVerMinor, 400);
    doc->SetModifiedFlag(false);
    doc->UpdateToNewestCompilerVersion(); // nothing newer: no change
    EXPECT_FALSE(doc->IsModified());
}

TEST_F(E2E, LinksAtTheMakeAndBatchFileNamesAreReplacedNeverWrittenThrough)
{
    // The project's temporary folder holds Make.knf and Make.bat as links:
    // to files outside the project, to nothing, to a folder, and as hard
    // links.  The build writes its own files at those names and what the
    // links named keeps its bytes (a dangling link's target never comes
    // to be).
    Open("ok");
    testsupport::TempDir outside;
    outside.Write("notes.txt", "the user's notes\n");
    const std::string script = "echo ran >'" + outside / "ran" + "'\n";
    outside.Write("script.sh", script);
    outside.Write("folder/keep", "k");
    struct Case
    {
        const char* what;
        std::function<void(const std::string& at, const std::string& file)> plant;
    };
    const Case cases[] = {
        {"a link to a file outside",
         [&](const std::string& at, const std::string& file) { fs::create_symlink(outside / file, at); }},
        {"a dangling link", [&](const std::string& at, const std::string&) { fs::create_symlink(outside / "gone", at); }},
        {"a link to a folder",
         [&](const std::string& at, const std::string&) { fs::create_symlink(outside / "folder", at); }},
        {"a hard link", [&](const std::string& at, const std::string& file) { fs::create_hard_link(outside / file, at); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(dir / "Temp");
        fs::create_directories(dir / "Temp");
        c.plant(dir / "Temp/Make.knf", "notes.txt");
        c.plant(dir / "Temp/Make.bat", "script.sh");
        host.sink.entries.clear();
        EXPECT_TRUE(doc->BuildPlc()) << Out();
        EXPECT_TRUE(EndsWith(Out(), kSuccess)) << Out();
        for (const char* name : {"Temp/Make.knf", "Temp/Make.bat"}) {
            EXPECT_FALSE(fs::is_symlink(dir / name)) << name;
            EXPECT_TRUE(fs::is_regular_file(dir / name)) << name;
            EXPECT_EQ(fs::hard_link_count(dir / name), 1u) << name;
        }
        EXPECT_EQ(dir.Read("Temp/Make.knf").substr(0, 8), ";*******");
        EXPECT_NE(dir.Read("Temp/Make.bat").find("Spojuji PLC"), std::string::npos);
        EXPECT_EQ(outside.Read("notes.txt"), "the user's notes\n");
        EXPECT_EQ(outside.Read("script.sh"), script);
        EXPECT_EQ(Names(outside.Path()), (std::set<std::string>{"folder", "notes.txt", "script.sh"}));
        EXPECT_EQ(Names(outside / "folder"), std::set<std::string>{"keep"});
    }
}

TEST_F(E2E, ABatchFileThatIsALinkIsNotRun)
{
    // A compiler that leaves a link at the batch file's name: the build
    // refuses to run it, and what it names is not run.
    Open("ok");
    testsupport::TempDir compilers, outside;
    const std::string script = "echo ran >'" + outside / "ran" + "'\n";
    outside.Write("script.sh", script);
    compilers.Write("Pelmar0632/System/Tarv", "#!/bin/sh\nln -s '" + outside / "script.sh" + "' \"$2\"\n");
    ASSERT_EQ(::chmod((compilers / "Pelmar0632/System/Tarv").c_str(), 0755), 0);
    host.settings.PathTarvane = sys::Utf8ToUtf16Lenient(compilers.Path() + "/");
    EXPECT_FALSE(doc->BuildPlc());
    EXPECT_NE(Out().find("Chyba: Dávkový soubor " + dir / "Temp/Make.bat" +
                         " není obyčejný soubor (je to symbolický odkaz nebo jiná položka), a proto nebyl "
                         "spuštěn.\r\n" + kFailure),
              std::string::npos)
        << Out();
    EXPECT_EQ(Out().find("Spouštím Make.bat"), std::string::npos) << Out();
    EXPECT_FALSE(fs::exists(outside / "ran"));
    EXPECT_EQ(outside.Read("script.sh"), script);
}

TEST_F(E2E, ABatchFileOfAnEarlierBuildIsNeverRunAgain)
{
    // The compiler ends with 0 but writes no batch file: the one of the
    // earlier build is gone and nothing is run.
    Open("ok");
    ASSERT_TRUE(doc->BuildPlc()) << Out();
    testsupport::TempDir compilers;
    compilers.Write("Pelmar0632/System/Tarv", "#!/bin/sh\nexit 0\n");
    ASSERT_EQ(::chmod((compilers / "Pelmar0632/System/Tarv").c_str(), 0755), 0);
    host.settings.PathTarvane = sys::Utf8ToUtf16Lenient(compilers.Path() + "/");
    host.sink.entries.clear();
    EXPECT_FALSE(doc->BuildPlc());
    EXPECT_TRUE(EndsWith(Out(), kFailure)) << Out();
    EXPECT_EQ(Out().find("Spojuji PLC"), std::string::npos) << Out();
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir / "Temp/Make.bat")));
}

// The compiler folder typed in the options is the folder of exactly that
// name: beside tarvane/ the option ".../Tarvane/" finds no compiler (and no
// newer version), never tarvane/.  The project's own PathTarvane is a stored
// path and finds it in any case; the make file names the folder and the
// sources (stored as ".\MAIN.plc" and ".\SRC\Io.PLC") as the disk spells
// them, so the compiler, which names files exactly, builds without errors.
TEST_F(E2E, TheOptionsNameTheCompilerFolderExactlyAndTheMakeFileNamesFilesAsTheDiskDoes)
{
    Open("ok");
    testsupport::TempDir compilers;
    fs::copy(std::getenv("SW_TARVANE"), compilers / "tarvane", fs::copy_options::recursive);
    fs::create_directories(compilers / "tarvane/Pelmar0700/System");
    doc->Data().SourceFiles[0].FilePath = u".\\MAIN.plc";
    doc->Data().SourceFiles[1].FilePath = u".\\SRC\\Io.PLC";

    host.settings.PathTarvane = sys::Utf8ToUtf16Lenient(compilers / "Tarvane/");
    doc->UpdateToNewestCompilerVersion();
    EXPECT_EQ(doc->Data().PelmarVer, 632);
    EXPECT_FALSE(doc->BuildPlc());
    EXPECT_NE(Out().find("Chyba: Adresář překladače Tarvane nebyl nalezen! (" +
                         compilers / "Tarvane" + "/Pelmar0632/System)\r\n"),
              std::string::npos)
        << Out();

    doc->Data().PathTarvane = sys::Utf8ToUtf16Lenient(compilers / "TARVANE");
    host.sink.entries.clear();
    EXPECT_TRUE(doc->BuildPlc()) << Out();
    EXPECT_TRUE(EndsWith(Out(), kSuccess)) << Out();
    EXPECT_EQ(Line("FilePlc"), ".\\Main.plc");
    EXPECT_EQ(Line("FilePlcExt"), ".\\src\\Io.plc");
    EXPECT_EQ(Line("PathBin"), compilers / "tarvane/Pelmar0632/System/");
    EXPECT_EQ(fs::exists(compilers / "Tarvane"), false);
}
