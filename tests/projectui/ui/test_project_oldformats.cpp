// The document with project files of formats 1 to 4: the documents of
// formats 3 and 4 reach the views' port, formats 1 and 2 bring none, and
// no workspace file is read or written beside them.
#include "platform/sys/CodePage.h"
#include "tests/projectui/ProjectTest.h"
#include "tests/support/ui/UiTest.h"

using namespace doctest;

TEST_F(DocTest, Format3DocumentsReachThePortDuringTheOpen)
{
    dir.Write("Lis.kxp", ReadFixture("v3", "Lis.kxp"));
    RecordingPort port;
    host.port = &port;
    testsupport::ui::PromptScript prompts;
    auto doc = NewDoc();
    ASSERT_TRUE(doc->OnOpenDocument(Q(dir / "Lis.kxp")));
    ASSERT_EQ(port.applied.size(), 1u);
    const auto& text = port.applied[0].lists[WorkspaceDocuments::Text];
    ASSERT_EQ(text.size(), 1u);
    EXPECT_EQ(text[0].path, sys::AnsiToWide(dir / "poznamky.txt"));
    EXPECT_EQ(doc->Data().FormatVersion, 3);
    EXPECT_EQ(doc->Data().WatchRegsOnLineInterval, 1000);
    doc->OnCloseDocument();
}

TEST_F(DocTest, Formats1And2BringNoDocumentsAndLeaveAWorkspaceFileAlone)
{
    for (const char* sub : {"v1", "v2"}) {
        const std::string decoy = "not a workspace file\r\n";
        dir.Write("Lis.kxp", ReadFixture(sub, "Lis.kxp"));
        dir.Write("Lis.kxw", decoy);
        RecordingPort port;
        host.port = &port;
        testsupport::ui::PromptScript prompts({ui::IDNO}); // keep the format
        auto doc = NewDoc();
        ASSERT_TRUE(doc->OnOpenDocument(Q(dir / "Lis.kxp"))) << sub;
        for (const WorkspaceDocuments& d : port.applied)
            EXPECT_EQ(d, WorkspaceDocuments{}) << sub;
        ASSERT_TRUE(doc->OnSaveDocument(doc->GetPathName()));
        EXPECT_EQ(prompts.Texts().size(), 1u); // the conversion question only
        EXPECT_EQ(dir.Read("Lis.kxp"), ReadFixture(sub, "Lis.kxp")) << sub;
        EXPECT_EQ(dir.Read("Lis.kxw"), decoy) << sub;
        doc->OnCloseDocument();
        host.port = nullptr;
    }
}

TEST_F(DocTest, Format4ConvertedWritesTheFormat6Files)
{
    dir.Write("Lis.kxp", ReadFixture("v4", "Lis.kxp"));
    testsupport::ui::PromptScript prompts({ui::IDYES});
    auto doc = NewDoc();
    ASSERT_TRUE(doc->OnOpenDocument(Q(dir / "Lis.kxp")));
    ASSERT_TRUE(doc->OnSaveDocument(doc->GetPathName()));
    EXPECT_EQ(doc->Data().FormatVersion, 6);
    EXPECT_EQ(dir.Read("Lis.kxp"), ReadFixture("v6", "Lis.kxp"));
    EXPECT_EQ(dir.Read("Lis.kxw"), ReadFixture("v6", "Lis.kxw"));
    doc->OnCloseDocument();
}
