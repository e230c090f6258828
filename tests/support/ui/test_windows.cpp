// Finding, input, waiting, scripted prompts and rendering against the main
// frame stand-in and its document window.
#include "StandInApp.h"

#include "editor/view/EdtViewRenderer.h"
#include "editor/view/EdtViewScroller.h"
#include "platform/ui/Document.h"
#include "platform/ui/Prompt.h"
#include "tests/support/ui/UiTest.h"

#include <QDir>

#include "mainwnd/AppBar.h"

#include <QScrollBar>
#include <gtest/gtest-spi.h>

#include <cerrno>

using namespace testsupport::ui;

TEST(UiHelpers, FindsChildrenByIdAndClass)
{
    StandInApp s;
    ASSERT_TRUE(s.Start());
    EXPECT_NE(FindChild<COutputBar>(s.Frame(), QStringLiteral("OutputBar")), nullptr);
    ASSERT_NE(s.View(), nullptr);
    EXPECT_NE(FindChildOfClass<QScrollBar>(s.View()), nullptr);
    EXPECT_NONFATAL_FAILURE(FindChild<COutputBar>(s.Frame(), QStringLiteral("c9999")),
                            "no COutputBar named \"c9999\" in CMainFrame");
    EXPECT_EQ(FindChildOfClass<QScrollBar>(nullptr), nullptr);
}

namespace {
QString Selected(CEdtTextView* v)
{
    EdtPoint a, b;
    v->GetSelection(a, b);
    return QString::fromStdU16String(v->GetText(a, b));
}
} // namespace

TEST(UiHelpers, MouseAndKeysReachTheDocumentWindow)
{
    StandInApp s;
    ASSERT_TRUE(s.Start());
    s.Frame()->show();
    CPLCView* v = s.View();
    ASSERT_TRUE(WaitFor([&] { return v->isVisible(); }, 5000, "the document window"));
    const int lh = v->Renderer().GetLineHeight(), cw = v->Renderer().GetCharWidth(), margin = v->GetMarginWidth();
    const int y2 = lh + lh / 2;

    // A double click on "LD" in the second line selects the word.
    DoubleClick(v, QPoint(margin + 2 * cw + cw / 4, y2));
    EXPECT_EQ(Selected(v), QStringLiteral("LD"));

    // A click puts the caret, a shift-click extends the selection from it,
    // a drag selects, Ctrl+A selects everything.
    Click(v, QPoint(margin + 1, y2));
    EXPECT_FALSE(v->IsSelection());
    EXPECT_EQ(v->GetCursorPos().line, 1);
    Click(v, QPoint(margin + 1, y2 + lh), Qt::LeftButton, Qt::ShiftModifier);
    EXPECT_EQ(Selected(v), QStringLiteral("  LD I0.0\r\n"));
    Click(v, QPoint(margin + 1, 2));
    Drag(v, QPoint(margin + 1, y2), QPoint(v->Scroller().ClientRect().width() - 4, y2));
    EXPECT_EQ(Selected(v), QStringLiteral("  LD I0.0"));
    PressKey(v, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(Selected(v), QStringLiteral("PROGRAM\r\n  LD I0.0\r\n  ST Q0.0\r\nEND_PROGRAM\r\n"));

    // Typed text replaces the selection.
    TypeText(v, QStringLiteral("xyz"));
    EXPECT_EQ(v->GetLineCount(), 1);
    EXPECT_EQ(v->GetLineLength(0), 3);

    EXPECT_NONFATAL_FAILURE(WaitFor([] { return false; }, 30, "the moon"),
                            "timed out after 30 ms waiting for the moon");
}

TEST(UiHelpers, RenderTellsWhereTheSelectionIsMarked)
{
    StandInApp s;
    ASSERT_TRUE(s.Start());
    s.Frame()->show();
    CPLCView* v = s.View();
    ASSERT_TRUE(WaitFor([&] { return v->isVisible(); }, 5000, "the document window"));
    const QColor mark = v->GetColor(5);
    const int lh = v->Renderer().GetLineHeight();
    const QRect row2(v->GetMarginWidth(), lh, v->Scroller().ClientRect().width() - v->GetMarginWidth(), lh);
    const QRect row4(v->GetMarginWidth(), 3 * lh, row2.width(), lh);

    QImage img = Render(v);
    EXPECT_EQ(img.devicePixelRatio(), 1.0);
    EXPECT_EQ(img.size(), v->size());
    // The selection's background is black like the text: count it.
    const int before2 = CountColor(img, row2, mark, 2), before4 = CountColor(img, row4, mark, 2);

    v->SetSelection({0, 1}, {9, 1});
    v->setFocus();
    img = Render(v);
    EXPECT_GT(CountColor(img, row2, mark, 2), before2 + 9 * v->Renderer().GetCharWidth() * lh / 2);
    EXPECT_EQ(CountColor(img, row4, mark, 2), before4);
    EXPECT_EQ(CountColor(img, QRect(-50, -50, 10, 10), mark), 0); // outside: nothing
}

TEST(UiHelpers, PromptScriptAnswersAndRecordsTheTexts)
{
    StandInApp s;
    ASSERT_TRUE(s.Start());
    // A folder where the file should be: the open fails with a message.
    const QString missing = QString::fromStdString(s.dir / "Missing.plc");
    ASSERT_TRUE(QDir().mkpath(missing));
    {
        PromptScript prompts({ui::IDOK});
        EXPECT_EQ(s.app->OpenDocumentFile(missing), nullptr);
        ASSERT_EQ(prompts.Texts().size(), 1u);
        EXPECT_EQ(prompts.Texts()[0], ui::WithFileCause(ui::FrameworkText(ui::IDS_FAILED_TO_OPEN), missing, EISDIR));
        EXPECT_EQ(prompts.Remaining(), 0);
        // One more prompt than answers fails the test ...
        EXPECT_NONFATAL_FAILURE(s.app->OpenDocumentFile(missing), "unexpected prompt: \"");
        EXPECT_EQ(prompts.Texts().size(), 2u);
        // ... unless allowed; it then gets the default answer.
        prompts.AllowUnexpected(true);
        EXPECT_EQ(ui::Prompt(QStringLiteral("Pokračovat?"), {}, ui::MB_YESNO | ui::MB_DEFBUTTON2), ui::IDNO);
        prompts.Add(ui::IDYES);
        EXPECT_EQ(ui::Prompt(QStringLiteral("Pokračovat?"), {}, ui::MB_YESNO), ui::IDYES);
        EXPECT_EQ(prompts.Texts().back(), QStringLiteral("Pokračovat?"));
    }
    // The outer handler is back: a script the test made itself answers.
    ui::ScriptedPrompts outer({ui::IDCANCEL});
    {
        PromptScript inner({ui::IDYES});
        EXPECT_EQ(ui::Prompt(QStringLiteral("a"), {}, ui::MB_YESNOCANCEL), ui::IDYES);
    }
    EXPECT_EQ(ui::Prompt(QStringLiteral("b"), {}, ui::MB_YESNOCANCEL), ui::IDCANCEL);
    ASSERT_EQ(outer.Asked().size(), 1u);
}
