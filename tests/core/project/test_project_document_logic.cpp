// The project document's logic without Qt: saving and loading a project
// with its workspace file, adding files, and the files it refuses.
#include "core/project/ProjectDocument.h"
#include "platform/sys/FileIO.h"
#include "platform/sys/NativeText.h"
#include "platform/sys/WinPath.h"
#include "res/text/TextTable.h"
#include "tests/support/platform/TempDir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace {

struct Fault
{
    std::u16string path;
    core::FileFault fault;
    bool saving;
    unsigned textId;
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
                         unsigned textId, uint32_t) override
    {
        faults.push_back({std::u16string(p), fault, saving, textId});
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
        return core::ANSWER_NO;
    }

    std::u16string path;
    bool modified = false;
    std::vector<long> hints;
    std::vector<Fault> faults;
    std::optional<core::WorkspaceDocuments> open; // the open documents, when windows exist
    std::vector<std::u16string> asked;
    std::vector<uint32_t> styles;
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

TEST_F(ProjectDocumentLogic, DuplicateFileNameIsRefusedOnceAndCreatesNothing)
{
    ASSERT_TRUE(doc.AddFile(folder + u"Main.plc", core::ProjectDocument::ListKind::Source, true));
    dir.Write("sub/MAIN.plc", "x");
    site.asked.clear();
    site.hints.clear();

    EXPECT_FALSE(
        doc.AddFile(folder + u"sub\\MAIN.plc", core::ProjectDocument::ListKind::Source, false));
    ASSERT_EQ(site.asked.size(), 1u);
    EXPECT_EQ(site.asked[0], res::LoadText(core::IDS_PRJ_SOURCE_DUPLICATE));
    EXPECT_EQ(site.styles[0], uint32_t(core::ASK_OK | core::ASK_ICONERROR));
    // A new file of a taken name is neither asked about nor made.
    EXPECT_FALSE(
        doc.AddFile(folder + u"other\\main.PLC", core::ProjectDocument::ListKind::Source, true));
    EXPECT_EQ(site.asked.size(), 2u);
    EXPECT_FALSE(sys::FileExists(dir / "other/main.PLC"));
    ASSERT_EQ(doc.Data().SourceFiles.size(), 1u);
    EXPECT_TRUE(site.hints.empty());

    // The same name in another list is fine, relative to the project.
    EXPECT_TRUE(
        doc.AddFile(folder + u"sub\\MAIN.plc", core::ProjectDocument::ListKind::Support, false));
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
        StubSite s;
        s.path = site.path;
        core::ProjectDocument loaded(s);
        loaded.SetProjectDefaults();
        ASSERT_TRUE(loaded.Load(s.path, false));
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
