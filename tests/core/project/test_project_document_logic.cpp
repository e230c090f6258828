// The project document's logic without Qt: saving and loading a project
// with its workspace file, adding files, and the files it refuses.
#include "core/project/ProjectDocument.h"
#include "platform/sys/FileIO.h"
#include "platform/sys/NativeText.h"
#include "platform/sys/WinPath.h"
#include "res/text/TextTable.h"
#include "tests/support/platform/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <set>
#include <optional>
#include <string>
#include <vector>

#include <sys/stat.h>

namespace {

struct Fault
{
    std::u16string path;
    core::FileFault fault;
    bool saving;
    unsigned textId;
    std::u16string keptAs; // where a file not read whole will be kept
};

// The framework document's side, recorded.
class StubSite : public core::ProjectDocumentSite
{
public:
    std::u16string PathName() override { return path; }
    void SetModified(bool on) override { modified = on; }
    void SettingsModified() override { modified = true; }
    void Changed(long hint) override { hints.push_back(hint); }
    void ReportFileFault(std::u16string_view p, core::FileFault fault, bool saving,
                         unsigned textId, uint32_t, std::u16string_view kept) override
    {
        faults.push_back({std::u16string(p), fault, saving, textId, std::u16string(kept)});
    }
    bool CollectWorkspaceDocuments(std::u16string_view, core::WorkspaceDocuments& docs) override
    {
        if (!open)
            return false;
        docs = *open;
        return true;
    }
    int Ask(std::u16string_view text, std::u16string_view, uint32_t style, core::AskOwner) override
    {
        asked.push_back(std::u16string(text));
        styles.push_back(style);
        return answer;
    }

    std::u16string path;
    bool modified = false;
    std::vector<long> hints;
    std::vector<Fault> faults;
    std::optional<core::WorkspaceDocuments> open; // the open documents, when windows exist
    std::vector<std::u16string> asked;
    std::vector<uint32_t> styles;
    int answer = core::ANSWER_NO;
};

class ProjectDocumentLogic : public ::testing::Test
{
protected:
    void SetUp() override
    {
        folder = sys::WinPath::FromNative(dir.Path());
        sys::WinPath::AddBackslash(folder);
        site.path = folder + u"Lis.kxp";
        doc.SetProjectDefaults();
    }

    // A saved v6 project with one source file, a connection string (kept in
    // the workspace file) and one open text document.
    void SaveProject()
    {
        dir.Write("Notes.txt", "n");
        ASSERT_TRUE(
            doc.AddFile(folder + u"Main.plc", core::ProjectDocument::ListKind::Source, true));
        doc.Data().OlnkConnectionString = u"UDP:127.0.0.1:4711";
        core::WorkspaceDocuments open;
        core::WorkspaceFrame frame;
        frame.placement = {1, -1, -1, -1, -1, 10, 20, 300, 400};
        frame.carets = {{3, 7}};
        open.lists[core::WorkspaceDocuments::Text].push_back({{}, folder + u"Notes.txt", {frame}});
        site.open = open;
        ASSERT_TRUE(doc.Save(site.path));
        site.open.reset();
    }

    testsupport::TempDir dir;
    std::u16string folder;
    StubSite site;
    core::ProjectDocument doc{site};
};

// A project file read again by a document of its own, with its own site.
struct Reread
{
    explicit Reread(const std::u16string& path)
    {
        s.path = path;
        doc.SetProjectDefaults();
        loaded = doc.Load(path, false);
    }
    StubSite s;
    core::ProjectDocument doc{s};
    bool loaded = false;
};

TEST_F(ProjectDocumentLogic, SavedProjectLoadsAndSavesTheSameBytes)
{
    SaveProject();
    EXPECT_TRUE(site.faults.empty());
    EXPECT_FALSE(site.modified);
    EXPECT_EQ(site.hints.back(), core::HINT_ALL);
    const std::string kxp = dir.Read("Lis.kxp");
    const std::string kxw = dir.Read("Lis.kxw");
    ASSERT_FALSE(kxw.empty());

    StubSite site2;
    site2.path = site.path;
    core::ProjectDocument loaded(site2);
    loaded.SetProjectDefaults();
    ASSERT_TRUE(loaded.Load(site2.path, false));
    EXPECT_TRUE(site2.faults.empty());
    EXPECT_TRUE(site2.asked.empty());
    EXPECT_FALSE(site2.modified);
    EXPECT_EQ(loaded.Data().FormatVersion, 6);
    ASSERT_EQ(loaded.Data().SourceFiles.size(), 1u);
    EXPECT_EQ(loaded.Data().SourceFiles[0].FileName, u"Main.plc");
    EXPECT_EQ(loaded.Data().SourceFiles[0].FilePath, u".\\Main.plc");
    EXPECT_EQ(loaded.Data().OlnkConnectionString, u"UDP:127.0.0.1:4711");
    const auto& texts = loaded.WorkspaceSection().lists[core::WorkspaceDocuments::Text];
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].path, folder + u"Notes.txt");
    ASSERT_EQ(texts[0].frames.size(), 1u);
    EXPECT_EQ(texts[0].frames[0].carets, (std::vector<std::pair<int32_t, int32_t>>{{3, 7}}));

    // Without windows the section read is written back: the same bytes.
    ASSERT_TRUE(loaded.Save(site2.path));
    EXPECT_EQ(dir.Read("Lis.kxp"), kxp);
    EXPECT_EQ(dir.Read("Lis.kxw"), kxw);
}

// The bytes of a copy of the unsaved project (kept when a signal ends the
// program): the project file a save would write, in its own format (no
// conversion question, even for an old one), written nowhere.
TEST_F(ProjectDocumentLogic, TheProjectFileBytesAreWhatASaveWritesAndNothingIsWritten)
{
    SaveProject();
    const std::string kxp = dir.Read("Lis.kxp"), kxw = dir.Read("Lis.kxw");
    doc.Data().OlnkConnectionString = u"UDP:127.0.0.1:4712";
    ASSERT_TRUE(doc.AddFile(folder + u"Osy.plc", core::ProjectDocument::ListKind::Source, true));
    const std::optional<std::string> bytes = doc.ProjectFileBytes(site.path);
    ASSERT_TRUE(bytes);
    EXPECT_EQ(dir.Read("Lis.kxp"), kxp);
    EXPECT_EQ(dir.Read("Lis.kxw"), kxw);
    ASSERT_TRUE(doc.Save(site.path));
    EXPECT_EQ(*bytes, dir.Read("Lis.kxp"));

    doc.Data().FormatVersion = 3; // an old format keeps its documents in the project file
    site.asked.clear();
    const std::optional<std::string> old = doc.ProjectFileBytes(site.path);
    ASSERT_TRUE(old);
    EXPECT_TRUE(site.asked.empty());
    EXPECT_NE(old->find("ProjectFormatVersion = 3"), std::string::npos) << *old;
    doc.Data().FormatVersion = 9;
    EXPECT_FALSE(doc.ProjectFileBytes(site.path));
}

TEST_F(ProjectDocumentLogic, LinkedProjectAndWorkspaceFilesAreWrittenWhereTheyLead)
{
    // The user's project and workspace files kept as links (absolute,
    // relative, through a linked folder) stay links and what they name gets
    // the save; a link that names nothing is reported and nothing written.
    namespace fs = std::filesystem;
    SaveProject();
    const std::string kxp = dir.Read("Lis.kxp"), kxw = dir.Read("Lis.kxw");
    testsupport::TempDir outside;
    fs::create_symlink(outside.Path(), dir / "linked");
    const std::pair<std::string, std::string> links[] = {// the link, the file it leads to
                                                         {outside / "a/Lis", outside / "a/Lis"},
                                                         {"shared/Lis", dir / "shared/Lis"},
                                                         {"linked/b/Lis", outside / "b/Lis"}};
    for (const auto& [link, file] : links) {
        SCOPED_TRACE(link);
        for (const char* ext : {".kxp", ".kxw"}) {
            fs::create_directories(fs::path(file).parent_path());
            ASSERT_TRUE(sys::AtomicWriteFile(file + ext, ext == std::string(".kxp") ? kxp : kxw));
            fs::remove(dir / ("Lis" + std::string(ext)));
            fs::create_symlink(link + ext, dir / ("Lis" + std::string(ext)));
        }
        Reread r(site.path);
        ASSERT_TRUE(r.loaded);
        r.doc.Data().OlnkConnectionString = u"UDP:127.0.0.1:4799";
        ASSERT_TRUE(r.doc.Save(site.path));
        EXPECT_TRUE(r.s.faults.empty() && r.s.asked.empty());
        EXPECT_EQ(fs::read_symlink(dir / "Lis.kxp"), link + ".kxp");
        EXPECT_EQ(fs::read_symlink(dir / "Lis.kxw"), link + ".kxw");
        EXPECT_NE(sys::ReadWholeFile(file + ".kxw")->find("4799"), std::string::npos);
        EXPECT_EQ(*sys::ReadWholeFile(file + ".kxp"), kxp);
    }
    fs::remove(dir / "Lis.kxp");
    fs::create_symlink(outside / "gone.kxp", dir / "Lis.kxp");
    const std::string linkedKxw = *sys::ReadWholeFile(outside / "b/Lis.kxw");
    EXPECT_FALSE(doc.Save(site.path));
    ASSERT_EQ(site.faults.size(), 1u);
    EXPECT_TRUE(site.faults[0].saving);
    EXPECT_FALSE(fs::exists(outside / "gone.kxp"));
    EXPECT_EQ(*sys::ReadWholeFile(outside / "b/Lis.kxw"), linkedKxw);

    // A new source file at a link's name replaces the link, once the user
    // agreed to replace it; what it named keeps its bytes.
    outside.Write("s.plc", "source elsewhere");
    fs::create_symlink(outside / "s.plc", dir / "New.plc");
    site.answer = core::ANSWER_YES;
    ASSERT_TRUE(doc.AddFile(folder + u"New.plc", core::ProjectDocument::ListKind::Source, true));
    EXPECT_FALSE(fs::is_symlink(dir / "New.plc"));
    EXPECT_EQ(outside.Read("s.plc"), "source elsewhere");
}

TEST_F(ProjectDocumentLogic, DuplicateFileNameIsRefusedOnceAndCreatesNothing)
{
    ASSERT_TRUE(doc.AddFile(folder + u"Main.plc", core::ProjectDocument::ListKind::Source, true));
    dir.Write("sub/MAIN.plc", "x");
    site.asked.clear();
    site.hints.clear();

    EXPECT_FALSE(
        doc.AddFile(folder + u"sub/MAIN.plc", core::ProjectDocument::ListKind::Source, false));
    ASSERT_EQ(site.asked.size(), 1u);
    EXPECT_EQ(site.asked[0], res::LoadText(core::IDS_PRJ_SOURCE_DUPLICATE));
    EXPECT_EQ(site.styles[0], uint32_t(core::ASK_OK | core::ASK_ICONERROR));
    // A new file of a taken name is neither asked about nor made.
    EXPECT_FALSE(
        doc.AddFile(folder + u"other/main.PLC", core::ProjectDocument::ListKind::Source, true));
    EXPECT_EQ(site.asked.size(), 2u);
    EXPECT_FALSE(sys::FileExists(dir / "other/main.PLC"));
    ASSERT_EQ(doc.Data().SourceFiles.size(), 1u);
    EXPECT_TRUE(site.hints.empty());

    // The same name in another list is fine, relative to the project.
    EXPECT_TRUE(
        doc.AddFile(folder + u"sub/MAIN.plc", core::ProjectDocument::ListKind::Support, false));
    ASSERT_EQ(doc.Data().SupportFiles.size(), 1u);
    EXPECT_EQ(doc.Data().SupportFiles[0].FilePath, u".\\sub\\MAIN.plc");
    EXPECT_EQ(site.hints, std::vector<long>{core::HINT_SUPPORT_LIST});
}

TEST_F(ProjectDocumentLogic, NewerFormatIsRefusedWithItsMessageAndChangesNothing)
{
    SaveProject();
    ASSERT_TRUE(doc.Load(site.path, false));
    const core::ProjectData before = doc.Data();
    const std::string newer = "Strandwork project\r\nProjectFormatVersion = 7\r\nAnything = 1\r\n";
    dir.Write("New.kxp", newer);
    site.asked.clear();
    site.hints.clear();

    EXPECT_FALSE(doc.Load(folder + u"New.kxp", false));
    ASSERT_EQ(site.asked.size(), 1u);
    EXPECT_EQ(site.asked[0], res::LoadText(core::IDS_PRJ_NEWER_VERSION));
    ASSERT_EQ(site.faults.size(), 1u);
    EXPECT_EQ(site.faults[0].fault, core::FileFault::BadFormat);
    EXPECT_EQ(site.faults[0].path, folder + u"New.kxp");
    EXPECT_TRUE(doc.Data() == before);
    EXPECT_EQ(doc.WorkspaceSection().lists[core::WorkspaceDocuments::Text].size(), 1u);
    EXPECT_TRUE(site.hints.empty());
    EXPECT_EQ(dir.Read("New.kxp"), newer);
    EXPECT_FALSE(sys::FileExists(dir / "New.kxw"));
}

TEST_F(ProjectDocumentLogic, MissingOrMalformedWorkspaceIsReportedAndTheProjectLoads)
{
    SaveProject();
    const std::u16string kxw = folder + u"Lis.kxw";
    for (const char* contents : {static_cast<const char*>(nullptr), "Config\r\nnonsense\r\n"}) {
        SCOPED_TRACE(contents ? "malformed" : "missing");
        if (contents)
            dir.Write("Lis.kxw", contents);
        else
            ASSERT_EQ(std::remove((dir / "Lis.kxw").c_str()), 0);
        Reread r(site.path);
        ASSERT_TRUE(r.loaded);
        StubSite& s = r.s;
        core::ProjectDocument& loaded = r.doc;
        ASSERT_EQ(s.faults.size(), 1u);
        EXPECT_EQ(s.faults[0].path, kxw);
        EXPECT_EQ(s.faults[0].fault,
                  contents ? core::FileFault::BadFormat : core::FileFault::NotFound);
        EXPECT_FALSE(s.faults[0].saving);
        EXPECT_EQ(s.faults[0].textId, core::IDS_PRJ_WORKSPACE_LOAD_FAILED);
        ASSERT_EQ(loaded.Data().SourceFiles.size(), 1u);
        EXPECT_EQ(loaded.Data().SourceFiles[0].FileName, u"Main.plc");
        EXPECT_FALSE(s.modified);
    }

    // A template opened for copying may lack its workspace file silently.
    ASSERT_EQ(std::remove((dir / "Lis.kxw").c_str()), 0);
    StubSite s;
    s.path = site.path;
    core::ProjectDocument copied(s);
    ASSERT_TRUE(copied.Load(s.path, true));
    EXPECT_TRUE(s.faults.empty());
}

} // namespace

namespace {
// A file's bytes, nullopt when it is not there.
std::optional<std::string> Bytes(const std::string& path)
{
    if (!sys::FileExists(path))
        return std::nullopt;
    return sys::ReadWholeFile(path);
}
} // namespace

// A workspace file that could not be read whole is not written over before
// its bytes are kept beside it, under a name that says what it is and that
// the report named; an earlier kept copy is never written over.
TEST_F(ProjectDocumentLogic, AWorkspaceFileNotReadWholeIsKeptBeforeItIsWrittenOver)
{
    SaveProject();
    const std::string good = dir.Read("Lis.kxw");
    std::string line4 = good;
    {
        size_t at = 0;
        for (int i = 0; i < 3; ++i)
            at = line4.find("\r\n", at) + 2;
        line4.replace(at, line4.find("\r\n", at) - at, "WatchCount = x");
    }
    const std::string binary("\x7f" "ELF\x02\x01\x01\0\0\0\xff\xfe\r\n\x01", 15);
    const std::pair<const char*, std::string> bad[] = {
        {"bad line 4", line4},
        {"bad first line", "Configuration\r\n" + good.substr(good.find("\r\n") + 2)},
        {"bad last line", good.substr(0, good.rfind("\r\n", good.size() - 3) + 2) + "BINDocumentsCount = -\r\n"},
        {"cut in half", good.substr(0, good.size() / 2)},
        {"binary", binary},
    };
    int n = 0;
    for (const auto& [what, bytes] : bad) {
        SCOPED_TRACE(what);
        ++n;
        dir.Write("Lis.kxw", bytes);
        Reread r(site.path);
        ASSERT_TRUE(r.loaded);
        StubSite& s = r.s;
        core::ProjectDocument& loaded = r.doc;
        ASSERT_EQ(s.faults.size(), 1u);
        EXPECT_EQ(s.faults[0].fault, core::FileFault::BadFormat);
        // The name beside it says what it is; the earlier ones are taken.
        const std::string kept = "Lis.kxw.unreadable" + (n > 1 ? "-" + std::to_string(n) : std::string());
        EXPECT_EQ(s.faults[0].keptAs, folder + sys::WinPath::FromNative(kept));
        EXPECT_EQ(Bytes(dir / kept), std::nullopt) << "kept only before it is written over";

        loaded.SaveWorkspace(s.path);
        EXPECT_EQ(s.faults.size(), 1u) << "the write is no fault";
        EXPECT_EQ(Bytes(dir / kept), bytes);
        EXPECT_NE(dir.Read("Lis.kxw"), bytes) << "written from what was read";
        // The copies of the earlier rounds are as they were.
        EXPECT_EQ(Bytes(dir / "Lis.kxw.unreadable"), bad[0].second);

        // Kept once: a later write only writes the workspace file.
        loaded.SaveWorkspace(s.path);
        EXPECT_FALSE(sys::FileExists(dir / ("Lis.kxw.unreadable-" + std::to_string(n + 1))));
    }

    // A save of the whole project keeps it as well.
    dir.Write("Lis.kxw", line4);
    {
        Reread r(site.path);
        ASSERT_TRUE(r.loaded);
        StubSite& s = r.s;
        core::ProjectDocument& loaded = r.doc;
        ASSERT_TRUE(loaded.Save(s.path));
        EXPECT_EQ(Bytes(dir / "Lis.kxw.unreadable-6"), line4);
    }
    // A workspace file read whole keeps nothing.
    {
        Reread r(site.path);
        ASSERT_TRUE(r.loaded);
        StubSite& s = r.s;
        core::ProjectDocument& loaded = r.doc;
        EXPECT_TRUE(s.faults.empty());
        loaded.SaveWorkspace(s.path);
        EXPECT_FALSE(sys::FileExists(dir / "Lis.kxw.unreadable-7"));
    }
}

// When the copy cannot be made (its name would be longer than a path may
// be), the workspace file stays as it is and the failure is reported.
TEST_F(ProjectDocumentLogic, AWorkspaceFileThatCannotBeKeptIsNotWrittenOver)
{
    // A folder whose project path just fits, so that the kept name does not.
    const size_t room = sys::WinPath::kMaxPath - 1 - (folder.size() + std::string("/Lis.kxp").size());
    ASSERT_GT(room, 20u);
    const std::string sub(room, 'p');
    dir.Write(sub + "/Lis.kxw", "Config = Default\r\nPlaquesCount = x\r\n");
    StubSite s;
    s.path = sys::WinPath::FromNative(dir / sub) + u"/Lis.kxp";
    core::ProjectDocument project(s);
    project.SetProjectDefaults();
    ASSERT_TRUE(project.Save(s.path)) << "the project file alone";
    dir.Write(sub + "/Lis.kxw", "Config = Default\r\nPlaquesCount = x\r\n");
    s.faults.clear();
    ASSERT_TRUE(project.Load(s.path, false));
    ASSERT_EQ(s.faults.size(), 1u);
    EXPECT_TRUE(s.faults[0].keptAs.empty());
    project.SaveWorkspace(s.path);
    ASSERT_EQ(s.faults.size(), 2u);
    EXPECT_TRUE(s.faults[1].saving);
    EXPECT_EQ(dir.Read(sub + "/Lis.kxw"), "Config = Default\r\nPlaquesCount = x\r\n");
}

// A workspace file that cannot be read at all (no permission) gets its
// kept name as a second link before the write replaces it.
TEST_F(ProjectDocumentLogic, AWorkspaceFileThatCannotBeReadIsKeptUnderASecondName)
{
    SaveProject();
    const std::string good = dir.Read("Lis.kxw");
    ASSERT_EQ(::chmod((dir / "Lis.kxw").c_str(), 0), 0);
    if (sys::ReadWholeFile(dir / "Lis.kxw"))
        GTEST_SKIP() << "this user reads files without permission (root)";
    Reread r(site.path);
    ASSERT_TRUE(r.loaded);
    StubSite& s = r.s;
    core::ProjectDocument& loaded = r.doc;
    ASSERT_EQ(s.faults.size(), 1u);
    EXPECT_EQ(s.faults[0].keptAs, folder + u"Lis.kxw.unreadable");
    // (The write itself may fail: the file may not be written either.)
    loaded.SaveWorkspace(s.path);
    ASSERT_EQ(::chmod((dir / "Lis.kxw.unreadable").c_str(), 0600), 0);
    EXPECT_EQ(dir.Read("Lis.kxw.unreadable"), good);
}

// A name with a byte that is no UTF-8 has no form in the project file's
// code page: adding it is refused with a message naming it, and nothing
// is made or listed (it would be stored, and built, as another name).
TEST_F(ProjectDocumentLogic, ANameThatIsNoUtf8IsNotAddedToTheProject)
{
    dir.Write("caf\xE9.plc", "x");
    dir.Write("caf\xEF\xBF\xBD.plc", "look-alike");
    site.asked.clear();
    const std::u16string latin1 = folder + sys::NativeToText("caf\xE9.plc");
    EXPECT_FALSE(doc.AddFile(latin1, core::ProjectDocument::ListKind::Source, false));
    ASSERT_EQ(site.asked.size(), 1u);
    EXPECT_NE(site.asked[0].find(u"caf\\xE9.plc"), std::u16string::npos);
    EXPECT_FALSE(doc.AddFile(folder + sys::NativeToText("new\xE9.plc"), core::ProjectDocument::ListKind::Header, true));
    EXPECT_FALSE(sys::FileExists(dir / "new\xE9.plc"));
    EXPECT_TRUE(doc.Data().SourceFiles.empty());
    EXPECT_TRUE(doc.Data().HeaderFiles.empty());
    // Its look-alike, a valid UTF-8 name, is added as itself.
    EXPECT_TRUE(doc.AddFile(folder + u"caf\uFFFD.plc", core::ProjectDocument::ListKind::Support, false));
}

// A file that changed on disk since the document read or wrote it (a
// damaged workspace file the user repaired among them) is kept beside it
// before the document writes over it, and the user is told where.
TEST_F(ProjectDocumentLogic, AFileChangedOnDiskIsKeptBeforeItIsWrittenOver)
{
    namespace fs = std::filesystem;
    SaveProject();
    const std::string kxp = dir.Read("Lis.kxp"), kxw = dir.Read("Lis.kxw");
    struct Case
    {
        const char* what;
        std::string file;
        std::optional<std::string> read; // what it held when read
        bool save;                       // a save of the project, else the workspace file alone
    };
    const Case cases[] = {{"a damaged workspace file, repaired", "Lis.kxw", "Config\r\nnonsense\r\n", false},
                          {"a workspace file, edited", "Lis.kxw", kxw, false},
                          {"a missing workspace file, made", "Lis.kxw", std::nullopt, true},
                          {"the project file, edited", "Lis.kxp", kxp, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        dir.Write("Lis.kxp", kxp);
        dir.Write("Lis.kxw", kxw);
        if (c.read)
            dir.Write(c.file, *c.read);
        else
            fs::remove(dir / c.file);
        Reread r(site.path);
        ASSERT_TRUE(r.loaded);
        const std::string edited = (c.file == "Lis.kxp" ? kxp : kxw) + "\r\n";
        dir.Write(c.file, edited);
        for (int round = 0; round < 2; ++round) // kept once; the second write keeps nothing
            c.save ? (void)r.doc.Save(site.path) : r.doc.SaveWorkspace(site.path);
        EXPECT_EQ(Bytes(dir / (c.file + ".changed")), edited);
        EXPECT_FALSE(sys::FileExists(dir / (c.file + ".changed-2")));
        ASSERT_EQ(r.s.asked.size(), 1u);
        EXPECT_NE(r.s.asked[0].find(folder + sys::WinPath::FromNative(c.file + ".changed")), std::u16string::npos);
        EXPECT_NE(dir.Read(c.file), edited);
        if (c.read && *c.read != kxw && *c.read != kxp) { // the damaged bytes as read, as the report said
            EXPECT_EQ(Bytes(dir / "Lis.kxw.unreadable"), *c.read);
        }
        fs::remove(dir / (c.file + ".changed"));
    }
}

// A "\" in a name is read as a separator from the project file: refused.
// A new source or a project saved under a name that differs from existing
// files in case is made as given, never written into the others.
TEST_F(ProjectDocumentLogic, ANameWithABackslashIsNotAddedAndANewFileIsMadeAsGiven)
{
    dir.Write("a/b.plc", "other");
    EXPECT_FALSE(doc.AddFile(folder + u"a\\b.plc", core::ProjectDocument::ListKind::Source, false));
    dir.Write("new.plc", "kept");
    dir.Write("lis.kxw", "other workspace");
    EXPECT_TRUE(doc.AddFile(folder + u"NEW.plc", core::ProjectDocument::ListKind::Source, true));
    ASSERT_TRUE(doc.Save(folder + u"LIS.kxp"));
    EXPECT_EQ(doc.Data().SourceFiles.size(), 1u);
    EXPECT_EQ(dir.Read("new.plc") + dir.Read("NEW.plc") + dir.Read("lis.kxw"),
              "keptother workspace");
}

namespace {
// The bytes of the file and of every kept copy of it ("<file>.changed",
// "<file>.changed-2", ...), and how many copies there are.
std::vector<std::string> FileAndKept(const testsupport::TempDir& dir, const std::string& file,
                                     size_t& kept)
{
    std::vector<std::string> all{dir.Read(file)};
    for (const auto& e : std::filesystem::directory_iterator(dir.Path()))
        if (e.path().filename().string().rfind(file + ".changed", 0) == 0)
            all.push_back(dir.Read(e.path().filename().string()));
    kept = all.size() - 1;
    return all;
}
bool AnyHolds(const std::vector<std::string>& files, const std::string& text)
{
    for (const std::string& bytes : files)
        if (bytes.find(text) != std::string::npos)
            return true;
    return false;
}
} // namespace

// Two instances on one project write together (the end of a session
// signals both at once): the check that the file is what each read and
// its write are one step, so the second finds the first one's bytes and
// keeps them (and says so) before it writes.  Two processes, many times.
TEST_F(ProjectDocumentLogic, TwoInstancesWritingTogetherKeepBothFiles)
{
    namespace fs = std::filesystem;
    SaveProject();
    dir.Write("A.txt", "a");
    dir.Write("B.txt", "b");
    const std::string kxp = dir.Read("Lis.kxp"), kxw = dir.Read("Lis.kxw");
    for (const bool save :
         {false, true}) { // the workspace file alone (the end on a signal), a save
        SCOPED_TRACE(save ? "a save of the project" : "the workspace file");
        for (int round = 0; round < 30; ++round) {
            SCOPED_TRACE(round);
            for (const auto& e : fs::directory_iterator(dir.Path()))
                if (e.path().filename().string().find(".changed") != std::string::npos)
                    fs::remove(e.path());
            dir.Write("Lis.kxp", kxp);
            dir.Write("Lis.kxw", kxw);
            Reread a(site.path), b(site.path);
            ASSERT_TRUE(a.loaded && b.loaded);
            for (Reread* r : {&a, &b}) {
                const char16_t* name = r == &a ? u"A" : u"B";
                core::WorkspaceDocuments open;
                open.lists[core::WorkspaceDocuments::Text].push_back(
                    {{}, folder + name + u".txt", {core::WorkspaceFrame{}}});
                r->s.open = open;
                r->doc.Data().PLCComment = name + std::u16string(u" comment");
            }
            int go[2];
            ASSERT_EQ(::pipe(go), 0);
            const pid_t child = ::fork();
            ASSERT_GE(child, 0);
            const auto write = [&](Reread& r) {
                if (save)
                    return r.doc.Save(site.path);
                r.doc.SaveWorkspace(site.path);
                return r.s.faults.empty();
            };
            if (child == 0) {
                char c;
                (void)!::read(go[0], &c, 1);
                const bool ok = write(b);
                ::_exit(ok ? int(b.s.asked.size()) : 100);
            }
            (void)!::write(go[1], "g", 1);
            const bool ok = write(a);
            int status = 0;
            ASSERT_EQ(::waitpid(child, &status, 0), child);
            ::close(go[0]);
            ::close(go[1]);
            ASSERT_TRUE(ok && WIFEXITED(status) && WEXITSTATUS(status) < 100);
            // Each file holds one instance's bytes, its one kept copy the
            // other's, and whoever kept it said so.
            size_t keptKxw = 0, keptKxp = 0;
            const std::vector<std::string> kxws = FileAndKept(dir, "Lis.kxw", keptKxw);
            EXPECT_TRUE(AnyHolds(kxws, "A.txt") && AnyHolds(kxws, "B.txt"));
            EXPECT_EQ(keptKxw, 1u);
            if (save) {
                const std::vector<std::string> kxps = FileAndKept(dir, "Lis.kxp", keptKxp);
                EXPECT_TRUE(AnyHolds(kxps, "A comment") && AnyHolds(kxps, "B comment"));
                EXPECT_EQ(keptKxp, 1u);
            }
            EXPECT_EQ(a.s.asked.size() + size_t(WEXITSTATUS(status)), keptKxw + keptKxp);
            if (HasFailure())
                return;
        }
    }
}

// A kept copy (".changed", ".unreadable") has the permission bits of the
// file it keeps, whatever the umask: a private file stays private.
TEST_F(ProjectDocumentLogic, AKeptCopyHasThePermissionsOfTheFileItKeeps)
{
    SaveProject();
    const std::string kxp = dir.Read("Lis.kxp"), kxw = dir.Read("Lis.kxw");
    const mode_t umask = ::umask(022);
    const auto mode = [&](const std::string& name) {
        struct stat st
        {
        };
        return ::stat((dir / name).c_str(), &st) == 0 ? st.st_mode & 07777 : 0u;
    };
    for (const mode_t perms : {0600, 0640, 0644}) {
        const struct
        {
            const char* what;
            std::string file, kept;
        } cases[] = {{"a workspace file changed outside", "Lis.kxw", "Lis.kxw.changed"},
                     {"a project file changed outside", "Lis.kxp", "Lis.kxp.changed"},
                     {"a workspace file not read whole", "Lis.kxw", "Lis.kxw.unreadable"}};
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(c.what) + " " + std::to_string(perms));
            const bool unreadable = c.kept.find("unreadable") != std::string::npos;
            dir.Write("Lis.kxp", kxp);
            dir.Write("Lis.kxw", unreadable ? "Config\r\nnonsense\r\n" : kxw);
            ASSERT_EQ(::chmod((dir / c.file).c_str(), perms), 0);
            Reread r(site.path);
            ASSERT_TRUE(r.loaded);
            if (!unreadable)
                dir.Write(c.file, dir.Read(c.file) + "\r\n");
            c.file == "Lis.kxp" ? (void)r.doc.Save(site.path) : r.doc.SaveWorkspace(site.path);
            EXPECT_EQ(mode(c.kept), perms);
            std::filesystem::remove(dir / c.kept);
        }
    }
    ::umask(umask);
}

// A link planted at the lock's name is never followed: the write is
// reported with the lock's name and the file stays as it was.
TEST_F(ProjectDocumentLogic, AWriteWhoseLockCannotBeTakenIsReportedAndWritesNothing)
{
    SaveProject();
    const std::string kxw = dir.Read("Lis.kxw");
    dir.Write("elsewhere", "kept");
    std::filesystem::create_symlink(dir / "elsewhere", dir / ".Lis.kxw.swlock");
    doc.Data().OlnkConnectionString = u"changed";
    site.faults.clear();
    doc.SaveWorkspace(site.path);
    ASSERT_EQ(site.faults.size(), 1u);
    EXPECT_EQ(site.faults[0].path, folder + u".Lis.kxw.swlock");
    EXPECT_EQ(dir.Read("Lis.kxw"), kxw);
    EXPECT_EQ(dir.Read("elsewhere"), "kept");
}
