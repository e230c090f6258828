// The compiler files: fetched from "\Install\Tarvane" into "Pelmar%04u" of
// the compiler folder, visible only when complete.
#include "TransferTest.h"

#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <set>

using namespace transfertest;

namespace {
const char k7[] = "Nepodařilo se získat informace o revizi systému (Haldor)...\r\n";
const char k9[] = "Při přenosu souborů překladače Tarvane došlo k chybě...\r\n";
const char kEmpty[] = "Složka \\Install\\Tarvane řídícího systému je prázdná: žádný překladač nebyl přenesen, "
                      "dosavadní soubory překladače zůstaly beze změny.\r\n";
const char kIncomplete[] = "V souborech překladače Tarvane ze složky \\Install\\Tarvane řídícího systému chybí "
                           "program překladače System\\Tarv.exe: žádný překladač nebyl přenesen, dosavadní soubory "
                           "překladače zůstaly beze změny.\r\n";

// The entries of a folder, and of the whole tree below it.
std::set<std::string> Names(const std::string& folder)
{
    std::set<std::string> out;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        out.insert(e.path().filename().string());
    return out;
}
std::set<std::string> Tree(const std::string& folder)
{
    std::set<std::string> out;
    for (const auto& e : std::filesystem::recursive_directory_iterator(folder))
        out.insert(std::filesystem::relative(e.path(), folder).string());
    return out;
}
} // namespace

struct CompilerTest : TransferTest
{
    testsupport::TempDir compilers;
    void SetUp() override
    {
        StartSimulator();
        Open("ok");
        host.settings.PathTarvane = sys::Utf8ToUtf16Lenient(compilers.Path() + "/");
    }
    void Revision(uint32_t r)
    {
        cssim::PlcInfoEx ex = sim->plc().infoEx();
        ex.csRevision = r;
        sim->plc().setInfoEx(ex);
    }
};

TEST_F(CompilerTest, FetchedIntoTheOptionsFolder)
{
    EXPECT_TRUE(doc->TransferCompilerFiles()) << Out();
    EXPECT_EQ(ReadAll(compilers / "Pelmar0632/System/Tarv"), "compiler");
    EXPECT_EQ(ReadAll(compilers / "Pelmar0632/Include/plc.inc"), "header");
    EXPECT_EQ(Names(compilers.Path()), std::set<std::string>{"Pelmar0632"});
    EXPECT_TRUE(Has("Soubory překladače Tarvane byly přeneseny z řídícího systému.\r\n")) << Out();
    Revision(12345);
    EXPECT_TRUE(doc->TransferCompilerFiles()) << Out();
    EXPECT_EQ(ReadAll(compilers / "Pelmar12345/System/Tarv"), "compiler");
}

TEST_F(CompilerTest, AnAbortedCopyLeavesTheOldFolder)
{
    compilers.Write("Pelmar0632/System/Tarv", "installed");
    cssim::JobScript abort;
    abort.abortAfter = 0;
    sim->scriptJobs(abort);
    EXPECT_FALSE(doc->TransferCompilerFiles());
    EXPECT_TRUE(Has(k9)) << Out();
    EXPECT_EQ(ReadAll(compilers / "Pelmar0632/System/Tarv"), "installed");
    EXPECT_FALSE(sys::FileExists(compilers / "Pelmar0632.part"));
    // A complete copy replaces it.
    sim->clearJobScript();
    EXPECT_TRUE(doc->TransferCompilerFiles()) << Out();
    EXPECT_EQ(ReadAll(compilers / "Pelmar0632/System/Tarv"), "compiler");
    EXPECT_FALSE(sys::FileExists(compilers / "Pelmar0632.old"));
}

TEST_F(CompilerTest, RefusedWithoutRevisionOrFolder)
{
    // Only the basic information: string 8.
    cssim::PlcInfoEx ex = sim->plc().infoEx();
    ex.answer = 129;
    sim->plc().setInfoEx(ex);
    EXPECT_FALSE(doc->TransferCompilerFiles());
    EXPECT_TRUE(Has("Z připojeného systému není možné získat soubory překladače Tarvane...\r\n")) << Out();
    // An extended reply cut below the revision: string 7.
    ex.answer = 0;
    sim->plc().setInfoEx(ex);
    cssim::RequestScript cut;
    cut.data = Bytes{12, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    sim->scriptRequest(30, cut);
    host.sink.entries.clear();
    EXPECT_FALSE(doc->TransferCompilerFiles());
    EXPECT_EQ(Out(), k7);
    sim->clearRequestScript(30);
    // No compiler folder at all: string 9 and nothing copied.
    host.settings.PathTarvane.clear();
    host.sink.entries.clear();
    EXPECT_FALSE(doc->TransferCompilerFiles());
    EXPECT_EQ(Out(), k9);
    EXPECT_TRUE(std::filesystem::is_empty(compilers.Path()));
}

TEST_F(CompilerTest, ClimbingNamesInTheListingWriteNothingAndTheCopyFails)
{
    // The compiler folder lies three levels down; files of the same name
    // wait where the climbing names of the listing lead.
    const std::string base = compilers / "a/b/c";
    host.settings.PathTarvane = sys::Utf8ToUtf16Lenient(base + "/");
    compilers.Write("a/b/x", "keep 1");
    compilers.Write("a/home/user/.profile", "keep 2");
    compilers.Write("a/b/c/Pelmar0632/System/Tarv", "installed");
    cssim::FileScript fsc;
    std::vector<cssim::ListedEntry> entries;
    for (const std::string& name : {std::string("../../x"), std::string("/../../../home/user/.profile"),
                                    std::string("a\\..\\..\\x"), std::string("ctl\x01"), std::string("", 0)}) {
        const std::string evil = "EVIL " + name;
        entries.push_back({name, false, Bytes(evil.begin(), evil.end())});
    }
    entries.push_back({"Readme.txt", false, Bytes{'o', 'k'}});
    entries.push_back({"System", true, {}});
    fsc.listing = entries;
    sim->scriptFile(3, "\\Install\\Tarvane\\*.*", fsc);

    EXPECT_FALSE(doc->TransferCompilerFiles());
    // The engine's lines reach the output, then string 9.
    for (const char* shown : {"../../x", "/../../../home/user/.profile", "a\\..\\..\\x", "ctl?", ""})
        EXPECT_TRUE(Has(std::string("Neplatné jméno souboru ze systému: ") + shown + "\r\n")) << shown << Out();
    EXPECT_TRUE(Has(k9)) << Out();
    // Nothing outside, no half-copied compiler, the installed one as it was.
    EXPECT_EQ(ReadAll(compilers / "a/b/x"), "keep 1");
    EXPECT_EQ(ReadAll(compilers / "a/home/user/.profile"), "keep 2");
    EXPECT_EQ(ReadAll(base + "/Pelmar0632/System/Tarv"), "installed");
    EXPECT_FALSE(sys::FileExists(base + "/Pelmar0632.part"));
    EXPECT_FALSE(sys::FileExists(base + "/Pelmar0632.old"));
    std::set<std::string> now;
    for (const auto& e : std::filesystem::recursive_directory_iterator(compilers.Path()))
        now.insert(std::filesystem::relative(e.path(), compilers.Path()).string());
    EXPECT_EQ(now, (std::set<std::string>{"a", "a/b", "a/b/x", "a/home", "a/home/user", "a/home/user/.profile",
                                          "a/b/c", "a/b/c/Pelmar0632", "a/b/c/Pelmar0632/System",
                                          "a/b/c/Pelmar0632/System/Tarv"}));
}

TEST_F(CompilerTest, LinksInTheCompilerFolderAreReplacedNeverFollowed)
{
    // A link at the compiler's own name is replaced itself, and what it
    // names stays as it was; links at the names an earlier version used
    // for its work (".part", ".old") are the user's and stay too.
    testsupport::TempDir outside;
    outside.Write("folder/System/Tarv", "elsewhere");
    outside.Write("part/keep.txt", "part");
    outside.Write("old.txt", "old");
    namespace fs = std::filesystem;
    fs::create_symlink(outside / "folder", compilers / "Pelmar0632");
    fs::create_symlink(outside / "part", compilers / "Pelmar0632.part");
    fs::create_symlink(outside / "old.txt", compilers / "Pelmar0632.old");
    EXPECT_TRUE(doc->TransferCompilerFiles()) << Out();
    EXPECT_FALSE(fs::is_symlink(compilers / "Pelmar0632"));
    EXPECT_EQ(ReadAll(compilers / "Pelmar0632/System/Tarv"), "compiler");
    EXPECT_EQ(fs::read_symlink(compilers / "Pelmar0632.part"), outside / "part");
    EXPECT_EQ(fs::read_symlink(compilers / "Pelmar0632.old"), outside / "old.txt");
    EXPECT_EQ(ReadAll(outside / "folder/System/Tarv"), "elsewhere");
    EXPECT_EQ(ReadAll(outside / "part/keep.txt"), "part");
    EXPECT_EQ(ReadAll(outside / "old.txt"), "old");
    EXPECT_FALSE(fs::exists(outside / "folder/Include"));
    EXPECT_EQ(Names(compilers.Path()),
              (std::set<std::string>{"Pelmar0632", "Pelmar0632.part", "Pelmar0632.old"}));
}

TEST_F(CompilerTest, AFetchWithoutTheCompilerProgramReplacesNothing)
{
    // The installed compiler, and folders of the user at the names an
    // earlier version used for its work.
    compilers.Write("Pelmar0632/System/Tarv", "installed");
    compilers.Write("Pelmar0632/Include/plc.inc", "installed header");
    compilers.Write("Pelmar0632.part/mine.txt", "mine 1");
    compilers.Write("Pelmar0632.old/mine.txt", "mine 2");
    const std::set<std::string> before = Tree(compilers.Path());
    struct Case
    {
        const char* what;
        std::function<void()> prepare;
        const char* says;
    };
    const Case cases[] = {
        {"empty", [&] { fs::remove_all(remote / "Install/Tarvane/System"); fs::remove_all(remote / "Install/Tarvane/Include"); },
         kEmpty},
        {"partial", [&] { remote.Write("Install/Tarvane/Include/plc.inc", "header"); }, kIncomplete},
        {"a folder named Tarv", [&] { fs::create_directories(remote / "Install/Tarvane/System/Tarv"); }, kIncomplete},
        {"the program elsewhere", [&] { remote.Write("Install/Tarvane/Tarv.exe", "compiler"); }, kIncomplete},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        c.prepare();
        host.sink.entries.clear();
        bool noCompiler = false;
        EXPECT_FALSE(doc->TransferCompilerFiles(&noCompiler));
        EXPECT_TRUE(noCompiler);
        EXPECT_TRUE(Has(c.says)) << Out();
        EXPECT_FALSE(Has("byly přeneseny")) << Out();
        EXPECT_EQ(Tree(compilers.Path()), before);
        EXPECT_EQ(ReadAll(compilers / "Pelmar0632/System/Tarv"), "installed");
        EXPECT_EQ(ReadAll(compilers / "Pelmar0632/Include/plc.inc"), "installed header");
    }
    // With the program in it the set is copied over the installed one
    // (what it does not bring stays, the build finds Tarv.exe first); the
    // user's folders are still there.
    fs::remove_all(remote / "Install/Tarvane/System");
    remote.Write("Install/Tarvane/System/Tarv.exe", "compiler.exe");
    host.sink.entries.clear();
    bool noCompiler = true;
    EXPECT_TRUE(doc->TransferCompilerFiles(&noCompiler)) << Out();
    EXPECT_FALSE(noCompiler);
    EXPECT_EQ(ReadAll(compilers / "Pelmar0632/System/Tarv.exe"), "compiler.exe");
    EXPECT_EQ(ReadAll(compilers / "Pelmar0632/System/Tarv"), "installed");
    EXPECT_EQ(ReadAll(compilers / "Pelmar0632.part/mine.txt"), "mine 1");
    EXPECT_EQ(ReadAll(compilers / "Pelmar0632.old/mine.txt"), "mine 2");
    EXPECT_EQ(Names(compilers.Path()),
              (std::set<std::string>{"Pelmar0632", "Pelmar0632.part", "Pelmar0632.old"}));
}

TEST_F(CompilerTest, TheFetchNeverTakesAFolderOfTheUserForItsWork)
{
    // Folders of the user at every name the fetch might think its own: a
    // successful fetch and a failed one leave them as they were.
    compilers.Write("Pelmar0632/System/Tarv", "installed");
    for (const char* name : {"Pelmar0632.part", "Pelmar0632.old", "Pelmar0632.fetch-", "Pelmar0632.fetch-AAAAAA"})
        compilers.Write(std::string(name) + "/mine.txt", name);
    EXPECT_TRUE(doc->TransferCompilerFiles()) << Out();
    cssim::JobScript abort;
    abort.abortAfter = 0;
    sim->scriptJobs(abort);
    EXPECT_FALSE(doc->TransferCompilerFiles());
    EXPECT_TRUE(Has(k9)) << Out();
    EXPECT_EQ(ReadAll(compilers / "Pelmar0632/System/Tarv"), "compiler");
    for (const char* name : {"Pelmar0632.part", "Pelmar0632.old", "Pelmar0632.fetch-", "Pelmar0632.fetch-AAAAAA"})
        EXPECT_EQ(ReadAll(compilers / (std::string(name) + "/mine.txt")), name);
    EXPECT_EQ(Names(compilers.Path()),
              (std::set<std::string>{"Pelmar0632", "Pelmar0632.part", "Pelmar0632.old", "Pelmar0632.fetch-",
                                     "Pelmar0632.fetch-AAAAAA"}));
}

// The fetched files are new ones: they take the execute permission of the
// installed files they replace, and the compiler's program runs after every
// fetch; a cut or partial set leaves the installed compiler as it was.
TEST_F(CompilerTest, AFetchedCompilerRuns)
{
    auto mode = [](const std::string& path) {
        struct stat st{};
        return ::lstat(path.c_str(), &st) == 0 ? uint32_t(st.st_mode & 07777) : 0u;
    };
    const std::string tarv = compilers / "Pelmar0632/System/Tarv", helper = compilers / "Pelmar0632/System/Helper",
                      inc = compilers / "Pelmar0632/Include/plc.inc";
    remote.Write("Install/Tarvane/System/Helper", "helper");
    const struct
    {
        const char* what;
        std::function<void()> prepare;
        uint32_t helperRuns; // the execute bits the helper has after the fetch
        const char* says;
    } cases[] = {
        {"nothing installed", [] {}, 0, "byly přeneseny"},
        {"an installed compiler", [&] { ::chmod(helper.c_str(), 0750); ::chmod(tarv.c_str(), 0700); }, 0110,
         "byly přeneseny"},
        {"a cut copy", [&] {
             cssim::JobScript cut;
             cut.abortAfter = 0;
             sim->scriptJobs(cut);
         }, 0110, k9},
        {"a partial set", [&] { sim->clearJobScript(); fs::remove(remote / "Install/Tarvane/System/Tarv"); }, 0110,
         kIncomplete},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        c.prepare();
        host.sink.entries.clear();
        doc->TransferCompilerFiles();
        EXPECT_TRUE(Has(c.says)) << Out();
        EXPECT_EQ(ReadAll(tarv), "compiler");
        EXPECT_EQ(::access(tarv.c_str(), X_OK), 0);
        EXPECT_EQ(mode(tarv) & 0111, (mode(tarv) & 0444) >> 2 | 0100);
        EXPECT_EQ(mode(helper) & 0111, c.helperRuns);
        EXPECT_EQ(mode(inc) & 0111, 0u);
    }
}

// A fetch copies the folder over the installed one: the fetched files
// replace their namesakes, and what the user keeps there that the fetch
// does not bring stays as it was (bytes, mode, a link as a link); a cut
// fetch replaces nothing.
TEST_F(CompilerTest, AFetchKeepsTheFilesOfTheUserItDoesNotBring)
{
    const std::string installed = compilers / "Pelmar0632";
    const struct
    {
        const char* what;
        std::function<void()> prepare;
        const char* header; // Include/plc.inc after the fetch
        const char* says;
    } cases[] = {
        {"a complete fetch", [] {}, "header", "byly přeneseny"},
        {"a cut fetch",
         [&] {
             cssim::JobScript cut;
             cut.abortAfter = 0;
             sim->scriptJobs(cut);
         },
         "installed header", k9},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(installed);
        compilers.Write("Pelmar0632/System/Tarv", "installed");
        compilers.Write("Pelmar0632/Include/plc.inc", "installed header");
        compilers.Write("Pelmar0632/Include/mine.inc", "mine");
        compilers.Write("Pelmar0632/Mine/deep/notes.txt", "notes");
        fs::create_symlink("mine.inc", installed + "/Include/link.inc");
        ::chmod((installed + "/Include/mine.inc").c_str(), 0600);
        ::chmod((installed + "/Mine").c_str(), 0705);
        c.prepare();
        host.sink.entries.clear();
        doc->TransferCompilerFiles();
        EXPECT_TRUE(Has(c.says)) << Out();
        EXPECT_EQ(ReadAll(installed + "/Include/plc.inc"), c.header);
        EXPECT_EQ(ReadAll(installed + "/Include/mine.inc"), "mine");
        EXPECT_EQ(ReadAll(installed + "/Mine/deep/notes.txt"), "notes");
        EXPECT_EQ(fs::read_symlink(installed + "/Include/link.inc"), "mine.inc");
        EXPECT_EQ(fs::status(installed + "/Include/mine.inc").permissions(), fs::perms(0600));
        EXPECT_EQ(fs::status(installed + "/Mine").permissions(), fs::perms(0705));
        EXPECT_EQ(Names(compilers.Path()), std::set<std::string>{"Pelmar0632"});
    }
}
