// The project's jumps from a listing line to its source line.
#include "link/linkobj/olnk_link.h"
#include "platform/ui/Beep.h"
#include "platform/ui/Prompt.h"
#include "res/StringTable.h"
#include "res/text/StringIds.h"
#include "tests/support/plcviews/PlcViewsTest.h"
#include "tests/support/ui/UiTest.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

using namespace testsupport::ui;
using namespace testsupport::plcviews;

namespace {
// Map and listing loaded, without a link.
bool StartOffline(DebugSession& s)
{
    return s.StartApp() && s.EnterDebugging();
}

CPLCView* ActiveView(DebugSession& s)
{
    return qobject_cast<CPLCView*>(s.App()->GetMainWnd()->GetActiveView());
}
} // namespace

TEST(PlcJump, OpensTheFileAndPutsTheCaretOnTheLine)
{
    DebugSession s;
    ASSERT_TRUE(StartOffline(s));
    s.App()->MainFrame();
    // Second.plc lives in src/ and its listing header carries the folder.
    s.Project()->GoToListingLine(SecondIndex(7));
    ASSERT_EQ(s.App()->Template(3)->GetDocumentCount(), 1);
    ui::Document* doc = s.App()->Template(3)->Documents().front();
    EXPECT_EQ(QFileInfo(doc->GetPathName()).canonicalFilePath(), QFileInfo(s.Path("src/Second.plc")).canonicalFilePath());
    auto* v = qobject_cast<CPLCView*>(doc->FirstView());
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->GetCursorPos().line, 6);
    // Main.plc next, then back: the open document is reused.
    s.Project()->GoToListingLine(MainIndex(12));
    EXPECT_EQ(s.App()->Template(3)->GetDocumentCount(), 2);
    s.Project()->GoToListingLine(SecondIndex(3));
    EXPECT_EQ(s.App()->Template(3)->GetDocumentCount(), 2);
    EXPECT_EQ(v->GetCursorPos().line, 2);
}

TEST(PlcJump, UsesTheViewActivatedLast)
{
    DebugSession s;
    ASSERT_TRUE(StartOffline(s));
    CPLCView* first = s.Open("Main.plc");
    ASSERT_NE(first, nullptr);
    auto* frame = qobject_cast<CChildFrame*>(first->GetParentFrame());
    ASSERT_NE(frame, nullptr);
    ASSERT_TRUE(frame->Splitter()->SplitRow(100));
    auto* second = qobject_cast<CPLCView*>(frame->Splitter()->GetPane(1, 0));
    ASSERT_NE(second, nullptr);
    PumpEvents(20);
    ASSERT_EQ(second->GetLineCount(), first->GetLineCount());  // the split pane shows the text
    frame->SetActiveView(second);
    EXPECT_TRUE(second->m_bActive);
    EXPECT_FALSE(first->m_bActive);
    s.Project()->GoToListingLine(MainIndex(20));
    EXPECT_EQ(second->GetCursorPos().line, 19) << first->m_bActive << second->m_bActive << " docs "
                                               << s.App()->Template(3)->GetDocumentCount() << " views "
                                               << first->GetDocument()->Views().size();
    EXPECT_EQ(first->GetCursorPos().line, 0);
}

TEST(PlcJump, UnknownLinesBeepOrDoNothing)
{
    DebugSession s;
    ASSERT_TRUE(StartOffline(s));
    int beeps = ui::BeepCount();
    s.Project()->GoToListingLine(0);
    EXPECT_EQ(ui::BeepCount(), beeps + 1);
    s.Project()->GoToListingLine(81);
    EXPECT_EQ(ui::BeepCount(), beeps + 2);
    // A file the project does not list: nothing opens.
    s.Project()->Data().SourceFiles.pop_back();
    s.Project()->GoToListingLine(SecondIndex(1));
    EXPECT_EQ(s.App()->Template(3)->GetDocumentCount(), 0);
    // Without a complete status GoToCurrentLine does nothing.
    s.Project()->GoToCurrentLine();
    EXPECT_EQ(s.App()->Template(3)->GetDocumentCount(), 0);
}

TEST(PlcJump, AFileThatCannotBeOpenedShowsTheMessage)
{
    DebugSession s;
    ASSERT_TRUE(StartOffline(s));
    // A folder where Main.plc should be.
    ASSERT_TRUE(QFile::remove(s.Path("Main.plc")));
    ASSERT_TRUE(QDir().mkpath(s.Path("Main.plc")));
    PromptScript prompts({ui::IDOK, ui::IDOK});
    s.Project()->GoToListingLine(MainIndex(3));
    ASSERT_EQ(prompts.Texts().size(), 2u);
    EXPECT_EQ(prompts.Texts()[1], FormatResString(IDS_FILE_OPEN_FAILED, QDir::toNativeSeparators(s.Path("Main.plc"))));
    EXPECT_EQ(s.App()->Template(3)->GetDocumentCount(), 0);
}

TEST(PlcJump, GoToCurrentLineFollowsTheStatus)
{
    DebugSession s;
    ASSERT_TRUE(s.Start());
    s.Sim().plc().hitBreakpoint(MainIndex(9));
    ASSERT_TRUE(WaitFor([&] {
        PlcStatusRecord st{};
        return s.Project()->GetPlcStatus(st) && (st.flags & 0x08);
    }, 5000, "the status"));
    s.Project()->GoToCurrentLine();
    ASSERT_EQ(s.App()->Template(3)->GetDocumentCount(), 1);
    auto* v = qobject_cast<CPLCView*>(s.App()->Template(3)->Documents().front()->FirstView());
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->GetCursorPos().line, 8);
    EXPECT_EQ(ActiveView(s), v); // the jump shows the line in front
}
