// Finding, input, waiting, scripted prompts and rendering against the main
// frame stand-in and its document window.
#include "StandInApp.h"

#include "platform/ui/Document.h"
#include "platform/ui/Prompt.h"
#include "tests/support/ui/UiTest.h"

#include <QDockWidget>
#include <QScrollBar>
#include <QTextBlock>
#include <gtest/gtest-spi.h>

using namespace testsupport::ui;

TEST(UiHelpers, FindsChildrenByIdAndClass)
{
    StandInApp s;
    ASSERT_TRUE(s.Start());
    EXPECT_NE(FindChild<QDockWidget>(s.Frame(), QStringLiteral("OutputBar")), nullptr);
    EXPECT_EQ(FindChildOfClass<QPlainTextEdit>(s.doc->FirstView()), s.Edit());
    EXPECT_NONFATAL_FAILURE(FindChild<QDockWidget>(s.Frame(), QStringLiteral("c9999")),
                            "no QDockWidget named \"c9999\" in CMainFrame");
    EXPECT_EQ(FindChildOfClass<QScrollBar>(nullptr), nullptr);
}

TEST(UiHelpers, MouseAndKeysReachTheDocumentWindow)
{
    StandInApp s;
    ASSERT_TRUE(s.Start());
    s.Frame()->show();
    QPlainTextEdit* edit = s.Edit();
    QWidget* vp = edit->viewport();
    ASSERT_TRUE(WaitFor([&] { return vp->isVisible(); }, 5000, "the document window"));

    // A double click on "LD" in the second line selects the word.
    const QRect line2 = edit->cursorRect(QTextCursor(edit->document()->findBlockByNumber(1)));
    const QFontMetrics fm(edit->font());
    DoubleClick(vp, QPoint(line2.left() + fm.horizontalAdvance(QStringLiteral("  L")), line2.center().y()));
    EXPECT_EQ(edit->textCursor().selectedText(), QStringLiteral("LD"));

    // A click puts the cursor, a shift-click extends the selection from
    // it, a drag selects, Ctrl+A selects everything.
    Click(vp, QPoint(2, line2.center().y()));
    EXPECT_FALSE(edit->textCursor().hasSelection());
    EXPECT_EQ(edit->textCursor().blockNumber(), 1);
    Click(vp, QPoint(2, line2.center().y() + line2.height()), Qt::LeftButton, Qt::ShiftModifier);
    EXPECT_EQ(edit->textCursor().selectedText(), QStringLiteral("  LD I0.0") + QChar(0x2029));
    Click(vp, QPoint(2, 2));
    Drag(vp, QPoint(2, line2.center().y()), QPoint(vp->width() - 4, line2.center().y()));
    EXPECT_EQ(edit->textCursor().selectedText(), QStringLiteral("  LD I0.0"));
    PressKey(edit, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(edit->textCursor().selectedText().size(), edit->document()->characterCount() - 1);

    // The view is read-only: typed text changes nothing.
    TypeText(edit, QStringLiteral("xyz"));
    EXPECT_FALSE(edit->toPlainText().contains(QLatin1String("xyz")));

    EXPECT_NONFATAL_FAILURE(WaitFor([] { return false; }, 30, "the moon"),
                            "timed out after 30 ms waiting for the moon");
}

TEST(UiHelpers, RenderTellsWhereTheSelectionIsMarked)
{
    StandInApp s;
    ASSERT_TRUE(s.Start());
    s.Frame()->show();
    QPlainTextEdit* edit = s.Edit();
    ASSERT_TRUE(WaitFor([&] { return edit->isVisible(); }, 5000, "the document window"));
    const QColor mark = edit->palette().color(QPalette::Active, QPalette::Highlight);
    const QRect line2 = edit->cursorRect(QTextCursor(edit->document()->findBlockByNumber(1)));
    const QRect line4 = edit->cursorRect(QTextCursor(edit->document()->findBlockByNumber(3)));
    const QRect row2(0, line2.top(), edit->viewport()->width(), line2.height());
    const QRect row4(0, line4.top(), edit->viewport()->width(), line4.height());

    QImage img = Render(edit->viewport());
    EXPECT_EQ(img.devicePixelRatio(), 1.0);
    EXPECT_EQ(img.size(), edit->viewport()->size());
    EXPECT_FALSE(RectHasColor(img, row2, mark, 1, 2));

    QTextCursor c(edit->document()->findBlockByNumber(1));
    c.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    edit->setTextCursor(c);
    edit->setFocus();
    img = Render(edit->viewport());
    EXPECT_TRUE(RectHasColor(img, row2, mark, 20, 2));
    EXPECT_EQ(CountColor(img, row4, mark, 2), 0);
    EXPECT_EQ(CountColor(img, QRect(-50, -50, 10, 10), mark), 0); // outside: nothing
}

TEST(UiHelpers, PromptScriptAnswersAndRecordsTheTexts)
{
    StandInApp s;
    ASSERT_TRUE(s.Start());
    const QString missing = QString::fromStdString(s.dir / "Missing.plc");
    {
        PromptScript prompts({ui::IDOK});
        EXPECT_EQ(s.app->OpenDocumentFile(missing), nullptr);
        ASSERT_EQ(prompts.Texts().size(), 1u);
        EXPECT_TRUE(prompts.Texts()[0].contains(QStringLiteral("Missing.plc"))) << prompts.Texts()[0].toStdString();
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
