// The split child frame of the text windows and the text view's colours,
// help keyword and help command.
#include "editor/settings/EdtSettings.h"
#include "mainwnd/MainFrame.h"
#include "mainwnd/OutputCtrl.h"
#include "platform/ui/Accel.h"
#include "platform/ui/Command.h"
#include "platform/ui/Help.h"
#include "platform/ui/Prompt.h"
#include "res/StringTable.h"
#include "tests/support/plcviews/PlcViewsTest.h"
#include "tests/support/ui/UiTest.h"

#include <QKeyEvent>
#include <QScrollBar>

#include <gtest/gtest.h>

using namespace testsupport::ui;
using testsupport::plcviews::DebugSession;

TEST(TextFrame, TitleRule)
{
    EXPECT_EQ(MakeFrameTitle(QStringLiteral("a.plc"), 2, true), QStringLiteral("a.plc:2 *"));
    EXPECT_EQ(MakeFrameTitle(QStringLiteral("a.plc"), 0, false), QStringLiteral("a.plc"));
    const QString long510(510, QLatin1Char('x'));
    EXPECT_EQ(MakeFrameTitle(long510, 2, true), long510 + QStringLiteral(":2 *"));  // 514
    const QString long512(512, QLatin1Char('x'));
    EXPECT_EQ(MakeFrameTitle(long512, 2, true), long512 + QStringLiteral(":2"));   // " *" would reach 516
    const QString long514(514, QLatin1Char('x'));
    EXPECT_EQ(MakeFrameTitle(long514, 2, true), long514);
}

TEST(TextFrame, PanesSplitScrollAndSwitch)
{
    DebugSession s;
    ASSERT_TRUE(s.StartApp());
    std::string text;
    for (int i = 0; i < 60; ++i)
        text += std::string(200, char('a' + i % 26)) + "\r\n";
    s.dir.Write("a.plc", text);
    CPLCView* v = s.Open("a.plc");
    ASSERT_NE(v, nullptr);
    auto* frame = qobject_cast<CChildFrame*>(v->GetParentFrame());
    ASSERT_NE(frame, nullptr);
    frame->showNormal();
    frame->resize(500, 400);
    EXPECT_FALSE(frame->CanActivateNextPane());
    ASSERT_TRUE(frame->Splitter()->SplitRow(150));
    PumpEvents(20);
    auto* lower = qobject_cast<CPLCView*>(frame->Splitter()->GetPane(1, 0));
    ASSERT_NE(lower, nullptr);
    // One column: both panes scroll by the column's bar.
    frame->Splitter()->ColumnScrollBar(0)->setValue(7);
    PumpEvents(10);
    EXPECT_EQ(v->ScrollPos().offsetChar, 7);
    EXPECT_EQ(lower->ScrollPos().offsetChar, 7);
    // Alt+F6 / Alt+Shift+F6.
    frame->SetActiveView(v);
    EXPECT_TRUE(frame->CanActivateNextPane());
    EXPECT_TRUE(frame->ExecuteCommand(ID_NEXT_PANE));
    EXPECT_EQ(frame->GetActiveView(), lower);
    EXPECT_TRUE(frame->ExecuteCommand(ID_NEXT_PANE));
    EXPECT_EQ(frame->GetActiveView(), v);
    EXPECT_TRUE(frame->ExecuteCommand(ID_PREV_PANE));
    EXPECT_EQ(frame->GetActiveView(), lower);
    ASSERT_NE(frame->Accelerators(), nullptr);
    EXPECT_EQ(frame->Accelerators()->Translate(QKeyEvent(QEvent::KeyPress, Qt::Key_F6, Qt::AltModifier)), ID_NEXT_PANE);
    EXPECT_EQ(frame->Accelerators()->Translate(
                  QKeyEvent(QEvent::KeyPress, Qt::Key_F6, Qt::AltModifier | Qt::ShiftModifier)),
              ID_PREV_PANE);
    EXPECT_EQ(frame->Accelerators()->Translate(QKeyEvent(QEvent::KeyPress, Qt::Key_F1, Qt::NoModifier)),
              ID_HELP);
}

TEST(TextFrame, MaximisedOnFirstShowWithTheOption)
{
    DebugSession s;
    ASSERT_TRUE(s.StartApp());
    const uint32_t old = GetEdtGeneralFlags();
    SetEdtGeneralFlags(old | 0x10);
    s.dir.Write("a.txt", "x\r\n");
    ui::Document* doc = s.App()->OpenDocumentFile(s.Path("a.txt"));
    ASSERT_NE(doc, nullptr);
    s.App()->MainFrame()->show();
    ui::ChildFrame* f = doc->FirstView()->GetParentFrame();
    ASSERT_TRUE(WaitFor([&] { return f->isMaximized(); }, 2000, "maximised"));
    SetEdtGeneralFlags(old);
}

TEST(TextView, ColourTable)
{
    CStructuredTextView v;
    auto text = [&](int item) { return ui::ColorFromRef(v.ItemAt(item).textColor); };
    auto back = [&](int item) { return ui::ColorFromRef(v.ItemAt(item).backColor); };
    EXPECT_EQ(v.GetColor(0), back(CStructuredTextView::ItemText));
    EXPECT_EQ(v.GetColor(1), back(CStructuredTextView::ItemText));
    EXPECT_EQ(v.GetColor(2), text(CStructuredTextView::ItemText));
    EXPECT_EQ(v.GetColor(3), text(CStructuredTextView::ItemSelMargin1));
    EXPECT_EQ(v.GetColor(4), back(CStructuredTextView::ItemSelMargin1));
    EXPECT_EQ(v.GetColor(5), back(CStructuredTextView::ItemSelText));
    EXPECT_EQ(v.GetColor(6), text(CStructuredTextView::ItemSelText));
    EXPECT_EQ(v.GetColor(7), ui::ColorFromRef(0xFF0000));   // KeyWord
    EXPECT_EQ(v.GetColor(10), ui::ColorFromRef(0x008000));  // Comment
    EXPECT_EQ(v.GetColor(15), ui::ColorFromRef(0x800000));  // PLCInstr
    EXPECT_EQ(v.GetColor(16), ui::ColorFromRef(0x808080));  // Asm
    EXPECT_EQ(v.GetColor(18), ui::ColorFromRef(0x800000));
    EXPECT_EQ(v.GetColor(19), ui::ColorFromRef(0xC08000));
    EXPECT_EQ(v.GetColor(20), ui::ColorFromRef(0x000080));
    EXPECT_TRUE(v.GetBold(7));    // KeyWord
    EXPECT_TRUE(v.GetBold(9));    // Label
    EXPECT_FALSE(v.GetBold(10));  // Comment
    EXPECT_FALSE(v.GetBold(2));
    EXPECT_FALSE(v.GetBold(18));
    EXPECT_FALSE(v.GetItalic(7));
}

TEST(TextView, HelpKeywordAndHelp)
{
    DebugSession s;
    ASSERT_TRUE(s.StartApp());
    s.dir.Write("a.txt", "  LD VAR_1 + x\r\nsecond line\r\n");
    ui::Document* doc = s.App()->OpenDocumentFile(s.Path("a.txt"));
    auto* v = qobject_cast<CStructuredTextView*>(doc->FirstView());
    ASSERT_NE(v, nullptr);
    v->ClampTextPos(EdtPoint{7, 0});
    EXPECT_EQ(v->HelpKeyword(), u"VAR_1");
    v->ClampTextPos(EdtPoint{1, 0});
    EXPECT_EQ(v->HelpKeyword(), u"");
    v->SetSelection(EdtPoint{2, 0}, EdtPoint{4, 0});
    EXPECT_EQ(v->HelpKeyword(), u"LD");
    v->SetSelection(EdtPoint{2, 0}, EdtPoint{2, 1});
    EXPECT_EQ(v->HelpKeyword(), u"");
    // F1: the PLC help is missing here, so its message names PLC.hlp.
    PromptScript prompts({ui::IDOK});
    v->ExecuteCommand(ID_HELP);
    ASSERT_EQ(prompts.Texts().size(), 1u);
    EXPECT_TRUE(prompts.Texts()[0].contains(QStringLiteral("PLC.hlp"))) << prompts.Texts()[0].toStdString();
}

// Two windows of one text are told apart from the moment the second opens,
// modified or not; closing one gives the other the plain title again.
TEST(TextFrame, TwoWindowsOfATextAreNumberedFromTheStart)
{
    DebugSession s;
    ASSERT_TRUE(s.StartApp());
    s.dir.Write("poznamky.txt", "one\r\ntwo\r\n");
    ui::Document* doc = s.App()->OpenDocumentFile(QString::fromStdString(s.dir / "poznamky.txt"));
    ASSERT_NE(doc, nullptr);
    ASSERT_EQ(doc->Frames().size(), 1u);
    ui::ChildFrame* first = doc->Frames().front();
    EXPECT_EQ(first->windowTitle(), QStringLiteral("poznamky.txt"));
    ui::SendCommand(ID_WINDOW_NEW);
    PumpEvents(5);
    ASSERT_EQ(doc->Frames().size(), 2u);
    ui::ChildFrame* second = doc->Frames().back();
    EXPECT_EQ(first->windowTitle(), QStringLiteral("poznamky.txt:1"));
    EXPECT_EQ(second->windowTitle(), QStringLiteral("poznamky.txt:2"));
    doc->SetModifiedFlag(true);
    EXPECT_EQ(first->windowTitle(), QStringLiteral("poznamky.txt:1 *"));
    EXPECT_EQ(second->windowTitle(), QStringLiteral("poznamky.txt:2 *"));
    doc->SetModifiedFlag(false);
    delete second;
    PumpEvents(5);
    ASSERT_EQ(doc->Frames().size(), 1u);
    EXPECT_EQ(first->windowTitle(), QStringLiteral("poznamky.txt"));
}
