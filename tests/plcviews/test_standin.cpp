// The text, header and PLC documents show their files in the editor's edit
// view, edit them and save them in their code page and line ends.

#include "editor/settings/EdtTextTypes.h"
#include "editor/view/EdtViewRenderer.h"
#include "editor/view/EdtViewScroller.h"
#include "plcviews/PLCDoc.h"
#include "platform/ui/Prompt.h"
#include "platform/ui/StatusBar.h"
#include "res/CommandIds.h"
#include "tests/support/ui/StandInApp.h"
#include "tests/support/ui/UiTest.h"

#include <QApplication>
#include <QInputMethodEvent>

#include <gtest/gtest.h>

#include <filesystem>

using namespace testsupport::ui;

TEST(PlcViewsStandIn, PlcSourceShowsColouredAndEditable)
{
    StandInApp s;
    // Code page 1250: "č" is 0xE8.
    ASSERT_TRUE(s.Start("DATA\r\nLOOP: LOD X ; \xE8\x61s\r\n"));
    s.Frame()->show();
    CPLCView* v = s.View();
    ASSERT_NE(v, nullptr);
    ASSERT_TRUE(WaitFor([&] { return v->isVisible(); }, 5000, "the PLC view"));
    EXPECT_FALSE(s.doc->Buffer().GetReadOnly());
    EXPECT_EQ(v->GetCurrentTextType(), GetTextTypeDef(23));
    EXPECT_EQ(v->GetLineCount(), 3);
    EXPECT_EQ(std::u16string(v->GetLineChars(1), size_t(v->GetLineLength(1))), u"LOOP: LOD X ; \u010Das");
    const QImage img = Render(v);
    const int lh = v->Renderer().GetLineHeight();
    const QRect row0(v->GetMarginWidth(), 0, v->Scroller().ClientRect().width() - v->GetMarginWidth(), lh);
    const QRect row1(row0.translated(0, lh));
    EXPECT_TRUE(RectHasColor(img, row0, QColor(0, 0, 0xFF), 5, 30));     // section word
    EXPECT_TRUE(RectHasColor(img, row1, QColor(0, 0, 0x80), 5, 30));     // instruction
    EXPECT_TRUE(RectHasColor(img, row1, QColor(0, 0x80, 0), 5, 30));     // comment
    // Read-only: typing changes nothing.
    s.doc->SetReadOnly(true);
    v->setFocus();
    TypeText(v, QStringLiteral("xyz"));
    EXPECT_EQ(v->GetLineLength(0), 4);
    EXPECT_FALSE(s.doc->IsModified());
    // The main frame shows the caret of the focused view (the editor's panes).
    ui::StatusBar* bar = s.Frame()->GetStatusBar();
    ASSERT_NE(bar, nullptr);
    const int pos = bar->CommandToIndex(ID_EDT_INDICATOR_POSITION);
    ASSERT_GE(pos, 0);
    v->setFocus();
    PressKey(v, Qt::Key_Down);
    ui::IdleUpdater::Instance().RunPass();
    EXPECT_EQ(bar->GetPaneText(pos), QStringLiteral("ř. 2,  sl. 1"));
    // The read-only and overwrite panes.
    const int ro = bar->CommandToIndex(ID_EDT_INDICATOR_READONLY), ovr = bar->CommandToIndex(ID_INDICATOR_OVR);
    ASSERT_GE(ro, 0);
    ASSERT_GE(ovr, 0);
    EXPECT_EQ(bar->GetPaneText(ro), QStringLiteral("Jen číst"));
    EXPECT_EQ(bar->GetPaneText(ovr), QString());
    s.doc->SetReadOnly(false);
    PressKey(v, Qt::Key_Insert);
    ui::IdleUpdater::Instance().RunPass();
    EXPECT_EQ(bar->GetPaneText(ro), QString());
    EXPECT_EQ(bar->GetPaneText(ovr), QStringLiteral("Přes"));
}

TEST(PlcViewsStandIn, AnEditedSourceSavesInItsCodePageAndLineEnds)
{
    StandInApp s;
    // Code page 1250 and LF line ends.
    ASSERT_TRUE(s.Start("DATA\nLOOP: LOD X ; \xE8\x61s\n"));
    s.Frame()->show();
    CPLCView* v = s.View();
    ASSERT_NE(v, nullptr);
    ASSERT_TRUE(WaitFor([&] { return v->isVisible(); }, 5000, "the PLC view"));
    v->setFocus();
    v->SetCursorPos({4, 0});
    TypeText(v, QStringLiteral(" "));
    // An input method's commit: "š" is 0x9A in code page 1250.
    QInputMethodEvent commit;
    commit.setCommitString(QStringLiteral("\u0161"));
    QApplication::sendEvent(v, &commit);
    EXPECT_TRUE(s.doc->IsModified());
    EXPECT_EQ(v->GetLineLength(0), 6);
    ASSERT_TRUE(s.doc->DoSave(s.doc->GetPathName()));
    EXPECT_FALSE(s.doc->IsModified());
    EXPECT_FALSE(s.doc->Buffer().IsModified());
    EXPECT_EQ(s.dir.Read("Main.plc"), std::string("DATA \x9A\nLOOP: LOD X ; \xE8\x61s\n"));
    // Undo makes the document modified again.
    PressKey(v, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_TRUE(s.doc->IsModified());
}

TEST(PlcViewsStandIn, AFileThatCannotBeLoadedOpensNoWindow)
{
    StandInApp s;
    ASSERT_TRUE(s.Start());
    // A folder with the name of a source cannot be read as one.
    const std::string locked = s.dir / "Locked.plc";
    ASSERT_TRUE(std::filesystem::create_directory(locked));
    PromptScript prompts({ui::IDOK});
    EXPECT_EQ(s.app->OpenDocumentFile(QString::fromStdString(locked)), nullptr);
    ASSERT_EQ(prompts.Texts().size(), 1u);
    EXPECT_EQ(s.app->Template(3)->GetDocumentCount(), 1);  // Main.plc only
}
