// The project's build without Qt: its questions go to the host, and the
// clean acts on the answer.
#include "core/project/ProjectBuild.h"
#include "core/build/BuildStrings.h"
#include "core/projfile/ProjectData.h"
#include "platform/sys/FileIO.h"
#include "platform/sys/Format.h"
#include "platform/sys/WinPath.h"
#include "res/text/TextTable.h"
#include "tests/support/platform/TempDir.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Question
{
    std::u16string text;
    std::u16string caption;
    uint32_t style = 0;
    core::AskOwner owner = core::AskOwner::MainWindow;
};

class FakeHost : public core::DocumentHost, public core::ProjectBuildSite
{
public:
    // DocumentHost
    core::OutputSink* GetOutputCtrl() override { return nullptr; }
    const core::AppSettings& GetAppSettings() override { return settings; }
    bool PumpMessages() override { return true; }
    bool OnFileSaveAll() override { return true; }
    std::u16string ProgramFolder() override { return {}; }
    int Ask(std::u16string_view text, std::u16string_view caption, uint32_t style,
            core::AskOwner owner) override
    {
        asked.push_back({std::u16string(text), std::u16string(caption), style, owner});
        return answer;
    }

    // ProjectBuildSite: the questions go on to the host.
    core::DocumentHost* Host() override { return this; }
    std::u16string ProjectPath() override { return folder + u"Lis.kxp"; }
    std::u16string ProjectFolder() override { return folder; }
    void SettingsModified() override { ++modified; }

    core::AppSettings settings;
    std::u16string folder;
    std::vector<Question> asked;
    int answer = core::ANSWER_NO;
    int modified = 0;
};

class ProjectBuildLogic : public ::testing::Test
{
protected:
    void SetUp() override
    {
        host.folder = sys::WinPath::FromNative(dir.Path());
        sys::WinPath::AddBackslash(host.folder);
        data.PathOutput = u"Output";
        data.PathTemp = u"Temp";
        dir.Write("Output/Lis.bin", "image");
        dir.Write("Temp/Make.knf", "make");
    }

    testsupport::TempDir dir;
    FakeHost host;
    core::ProjectData data;
};

TEST_F(ProjectBuildLogic, CleanAsksTheHostAndKeepsTheFilesOnNo)
{
    core::ProjectBuild build(data, host);
    host.answer = core::ANSWER_NO;
    build.Clean();
    ASSERT_EQ(host.asked.size(), 1u);
    const Question& q = host.asked[0];
    EXPECT_EQ(q.style, uint32_t(core::ASK_YESNO | core::ASK_ICONQUESTION));
    EXPECT_EQ(q.owner, core::AskOwner::None);
    EXPECT_TRUE(q.caption.empty());
    EXPECT_EQ(q.text, sys::Format(res::LoadText(core::IDS_CLEAN_ASK), host.folder + u"Temp", host.folder + u"Output"));
    EXPECT_TRUE(sys::FileExists(dir / "Output/Lis.bin"));
    EXPECT_TRUE(sys::FileExists(dir / "Temp/Make.knf"));
}

TEST_F(ProjectBuildLogic, CleanEmptiesBothFoldersOnYes)
{
    core::ProjectBuild build(data, host);
    host.answer = core::ANSWER_YES;
    build.Clean();
    EXPECT_EQ(host.asked.size(), 1u);
    EXPECT_FALSE(sys::FileExists(dir / "Output/Lis.bin"));
    EXPECT_FALSE(sys::FileExists(dir / "Temp/Make.knf"));
    EXPECT_TRUE(sys::IsDirectory(dir / "Output"));
}

TEST_F(ProjectBuildLogic, NothingIsAskedWhileABuildRuns)
{
    core::ProjectBuild build(data, host);
    build.SetBuilding(true);
    build.Clean();
    EXPECT_TRUE(host.asked.empty());
    EXPECT_FALSE(build.Build());
    EXPECT_FALSE(build.BuildIfNeeded());
}

} // namespace
