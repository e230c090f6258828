// The text view's caret, selection and navigation through real keys and
// mouse events: caret keys, mouse selection, automatic scrolling, copy,
// the drag source, bookmarks, go to line, brackets and the header switch.

#include "TextViewTest.h"

#include "editor/dialogs/EdtGoToLineDlg.h"
#include "editor/view/EdtCaretModel.h"
#include "editor/view/EdtMouseController.h"
#include "editor/view/EdtViewJumps.h"
#include "editor/view/EdtViewRenderer.h"
#include "platform/ui/App.h"
#include "platform/ui/Command.h"
#include "tests/support/platform/TempDir.h"

#include <QClipboard>
#include <QDrag>
#include <QLineEdit>
#include <QMdiArea>
#include <QMimeData>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

using namespace testsupport::ui;

namespace {

void Key(CEdtTextView* v, Qt::Key k, Qt::KeyboardModifiers m = {})
{
    PressKey(v, k, m);
}

QPoint At(CEdtTextView& v, int col, int row)
{
    const int cw = v.Renderer().GetCharWidth(), lh = v.Renderer().GetLineHeight();
    return {v.GetMarginWidth() + col * cw + 1, row * lh + lh / 2};
}

} // namespace

TEST(TextViewNav, CaretKeysOfABareView)
{
    auto v = MakeView(u"abc\r\nab\r\n    x\r\nabcdefgh");
    CEdtTextView* p = v.get();
    // Left at (0, 0) and Right at the very end only collapse the selection.
    v->SetSelection({0, 0}, {2, 0});
    Key(p, Qt::Key_Left);
    EXPECT_EQ(v->GetCursorPos(), (EdtPoint{0, 0}));
    EXPECT_FALSE(v->IsSelection());
    Key(p, Qt::Key_Left);
    EXPECT_EQ(v->GetCursorPos(), (EdtPoint{0, 0}));
    Key(p, Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(v->GetCursorPos(), (EdtPoint{8, 3}));
    Key(p, Qt::Key_Right);
    EXPECT_EQ(v->GetCursorPos(), (EdtPoint{8, 3}));
    // Shift+Down beyond the next line's end, then Down at the remembered column.
    v->SetCursorPos({3, 0});
    v->SetAnchor({3, 0});
    Key(p, Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(v->GetCursorPos(), (EdtPoint{2, 1}));
    EXPECT_EQ(SelectedText(*v), QStringLiteral("\r\nab"));
    Key(p, Qt::Key_Down);  // with a selection: from its end
    Key(p, Qt::Key_Down);
    EXPECT_EQ(v->GetCursorPos(), (EdtPoint{3, 3}));
    // Smart Home toggles.
    v->SetCursorPos({5, 2});
    Key(p, Qt::Key_Home);
    EXPECT_EQ(v->GetCursorPos().ch, 4);
    Key(p, Qt::Key_Home);
    EXPECT_EQ(v->GetCursorPos().ch, 0);
    Key(p, Qt::Key_Home);
    EXPECT_EQ(v->GetCursorPos().ch, 4);
    // Right at a line end goes to the next line; word moves.
    v->SetCursorPos({3, 0});
    v->SetAnchor({3, 0});
    v->SetSelection({3, 0}, {3, 0});
    Key(p, Qt::Key_Right);
    EXPECT_EQ(v->GetCursorPos(), (EdtPoint{0, 1}));
    Key(p, Qt::Key_Right, Qt::ControlModifier);
    EXPECT_EQ(v->GetCursorPos(), (EdtPoint{2, 1}));
    Key(p, Qt::Key_Left, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(SelectedText(*v), QStringLiteral("ab"));
    // Keyboard selection mode: plain keys extend.
    v->Sel().SetKeyboardSelection(true);
    Key(p, Qt::Key_Home, Qt::ControlModifier);
    EXPECT_TRUE(v->IsSelection());
    v->Sel().SetKeyboardSelection(false);
    // Ctrl+Down scrolls without moving the caret; Tab stays in the view.
    auto big = MakeView(std::u16string(u"x\r\n").append(std::u16string(u"y\r\n")).append(u"z\r\n") +
                        std::u16string(200, u'w'));
    Key(big.get(), Qt::Key_Down, Qt::ControlModifier);
    EXPECT_EQ(big->ScrollPos().topSubLine, 1);
    EXPECT_EQ(big->GetCursorPos(), (EdtPoint{0, 0}));
    Key(big.get(), Qt::Key_Tab);
    Key(big.get(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(big->GetCursorPos(), (EdtPoint{200, 3}));
}

TEST(TextViewNav, KeysInsideAMainFrame)
{
    ui::Application app;
    ui::MainFrameBase frame;
    app.SetMainWnd(&frame);
    ResetSourceTypes();
    auto* child = new ui::ChildFrame;
    auto* view = new TestView;
    SetText(view->buffer, u"one\r\ntwo\r\nthree");
    child->setWidget(view);
    frame.MdiArea()->addSubWindow(child);
    frame.resize(600, 400);
    frame.show();
    child->show();
    view->AttachToBuffer();
    view->SetFont(TestFont());
    frame.activateWindow();
    view->setFocus();
    ASSERT_TRUE(WaitFor([&] { return view->hasFocus(); }, 5000, "the view's focus"));
    ASSERT_EQ(ui::FocusedView(), view);
    Key(view, Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(view->GetCursorPos(), (EdtPoint{5, 2}));
    Key(view, Qt::Key_3, Qt::ControlModifier);
    EXPECT_TRUE(view->buffer.GetLineFlags(2) & EDT_LF_BOOKMARK(3));
    Key(view, Qt::Key_Home, Qt::ControlModifier);
    Key(view, Qt::Key_3, Qt::AltModifier);
    EXPECT_EQ(view->GetCursorPos(), (EdtPoint{0, 2}));
    // The caret is drawn while the view has the focus.
    EXPECT_TRUE(view->Caret().IsCaretShown() ||
                WaitFor([&] { return view->Caret().IsCaretShown(); }, 2000, "the caret"));
    EXPECT_EQ(view->inputMethodQuery(Qt::ImCursorRectangle).toRect().topLeft(),
              view->TextToClient(view->GetCursorPos()));
    // Without a focused editor view its menu items are disabled.
    ui::CmdUI copy(ID_EDIT_COPY);
    view->DetachFromBuffer();
    delete child;
    ui::UpdateCommandUI(copy);
    EXPECT_FALSE(copy.Enabled());
}

TEST(TextViewNav, MouseSelection)
{
    auto v = MakeView(u"alpha beta gamma\r\nsecond line\r\nthird");
    const int cw = v->Renderer().GetCharWidth();
    Click(v.get(), At(*v, 6, 0));
    EXPECT_EQ(v->GetCursorPos(), (EdtPoint{6, 0}));
    // The right half of a character puts the caret after it.
    Click(v.get(), At(*v, 6, 0) + QPoint(cw * 2 / 3, 0));
    EXPECT_EQ(v->GetCursorPos(), (EdtPoint{7, 0}));
    Click(v.get(), At(*v, 3, 1), Qt::LeftButton, Qt::ShiftModifier);
    EXPECT_EQ(SelectedText(*v), QStringLiteral("eta gamma\r\nsec"));
    Click(v.get(), At(*v, 7, 0), Qt::LeftButton);  // inside the selection: a drag that never started
    EXPECT_FALSE(v->IsSelection());
    Click(v.get(), At(*v, 7, 0), Qt::LeftButton, Qt::ControlModifier);  // whole words
    EXPECT_EQ(SelectedText(*v), QStringLiteral("beta"));
    DoubleClick(v.get(), At(*v, 13, 0));
    EXPECT_EQ(SelectedText(*v), QStringLiteral("gamma"));
    // The margin selects screen lines; with Ctrl everything.
    Click(v.get(), QPoint(5, v->Renderer().GetLineHeight() + 2));
    EXPECT_EQ(SelectedText(*v), QStringLiteral("second line\r\n"));
    Click(v.get(), QPoint(5, 2), Qt::LeftButton, Qt::ControlModifier);
    EXPECT_EQ(SelectedText(*v), QStringLiteral("alpha beta gamma\r\nsecond line\r\nthird"));
    // Right button inside the selection keeps it; outside it moves the caret.
    Click(v.get(), At(*v, 2, 1), Qt::RightButton);
    EXPECT_TRUE(v->IsSelection());
    v->SetSelection({0, 0}, {3, 0});
    Click(v.get(), At(*v, 2, 2), Qt::RightButton);
    EXPECT_FALSE(v->IsSelection());
    EXPECT_EQ(v->GetCursorPos(), (EdtPoint{2, 2}));
}

TEST(TextViewNav, HeldButtonBelowTheViewScrollsByTimer)
{
    std::u16string text;
    for (int i = 0; i < 200; ++i)
        text += u"row\r\n";
    auto v = MakeView(text, 300, 150);
    const QPoint start = At(*v, 1, 1);
    QTest::mousePress(v.get(), Qt::LeftButton, {}, start);
    QMouseEvent move(QEvent::MouseMove, QPointF(start.x(), v->height() + 40), v->mapToGlobal(QPointF(start.x(), v->height() + 40)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(v.get(), &move);
    ASSERT_TRUE(WaitFor([&] { return v->ScrollPos().topSubLine >= 6; }, 3000, "the automatic scrolling"));
    QTest::mouseRelease(v.get(), Qt::LeftButton, {}, QPoint(start.x(), v->height() + 40));
    const int top = v->ScrollPos().topSubLine;
    EXPECT_TRUE(v->IsSelection());
    EXPECT_GT(v->GetCursorPos().line, 6);
    // Time is the subject: the scroll timer, had it gone on, would have
    // moved the top within 250 ms.
    PumpEvents(250);
    EXPECT_EQ(v->ScrollPos().topSubLine, top);  // the timer stopped
}

TEST(TextViewNav, CopyAndDragSource)
{
    auto v = MakeView(u"first\r\nsecond\r\nthird");
    v->SetSelection({2, 0}, {3, 1});
    Key(v.get(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("rst\nsec"));
    EXPECT_TRUE(v->TextInClipboard());
    std::u16string got;
    QGuiApplication::clipboard()->setText(QStringLiteral("a\nb\rc\r\nd"));
    ASSERT_TRUE(v->GetFromClipboard(got));
    EXPECT_EQ(got, u"a\r\nb\r\nc\r\nd");
    EXPECT_FALSE(v->PutToClipboard(u""));

    // A press in the selection starts a drag once the pointer moved.
    Qt::DropActions offered;
    QString dragged;
    int undoOpenDuringDrag = -1;
    edt::SetDragExecHook([&](QDrag* d, Qt::DropActions allowed) {
        offered = allowed;
        dragged = d->mimeData()->text();
        undoOpenDuringDrag = EdtMouseController::CurrentDragSource() == v.get() ? 1 : 0;
        return Qt::CopyAction;
    });
    v->SetSelection({0, 1}, {6, 1});
    const QPoint in = At(*v, 2, 1);
    QTest::mousePress(v.get(), Qt::LeftButton, {}, in);
    QTest::mouseMove(v.get(), in + QPoint(QApplication::startDragDistance() + 5, 0));
    QTest::mouseRelease(v.get(), Qt::LeftButton, {}, in + QPoint(QApplication::startDragDistance() + 5, 0));
    edt::SetDragExecHook(nullptr);
    EXPECT_EQ(dragged, QStringLiteral("second"));
    EXPECT_EQ(offered, Qt::DropActions(Qt::CopyAction));
    EXPECT_EQ(undoOpenDuringDrag, 1);
    EXPECT_EQ(EdtMouseController::CurrentDragSource(), nullptr);
    EXPECT_TRUE(v->IsSelection());

    // A press in the selection and no move: the caret goes there.
    QTest::mouseClick(v.get(), Qt::LeftButton, {}, in);
    EXPECT_FALSE(v->IsSelection());
    EXPECT_EQ(v->GetCursorPos(), (EdtPoint{2, 1}));
    // With drag and drop disabled a press in the selection starts a new one.
    v->SetDisableDragAndDrop(true);
    v->SetSelection({0, 1}, {6, 1});
    Drag(v.get(), At(*v, 1, 1), At(*v, 4, 2));
    EXPECT_EQ(SelectedText(*v), QStringLiteral("econd\r\nthir"));
}

TEST(TextViewNav, Bookmarks)
{
    std::u16string text;
    for (int i = 0; i < 30; ++i)
        text += u"line\r\n";
    auto v = MakeView(text);
    CEdtTextView* p = v.get();
    v->SetCursorPos({0, 10});
    Key(p, Qt::Key_3, Qt::ControlModifier);
    v->SetCursorPos({2, 20});
    Key(p, Qt::Key_3, Qt::ControlModifier);
    EXPECT_EQ(v->buffer.GetLineFlags(10) & EDT_LF_BOOKMARK(3), 0u);
    EXPECT_NE(v->buffer.GetLineFlags(20) & EDT_LF_BOOKMARK(3), 0u);
    v->SetCursorPos({0, 0});
    Key(p, Qt::Key_3, Qt::AltModifier);
    EXPECT_EQ(v->GetCursorPos(), (EdtPoint{0, 20}));
    // One unnamed bookmark on the caret line: F2 stays there.
    ui::CmdUI next(ID_EDT_NEXT_BOOKMARK);
    v->UpdateCommand(next);
    EXPECT_FALSE(next.Enabled());
    v->SetCursorPos({3, 5});
    Key(p, Qt::Key_F2, Qt::ControlModifier);
    EXPECT_TRUE(v->Jumps().HasUnnamedBookmarks());
    Key(p, Qt::Key_F2);
    EXPECT_EQ(v->GetCursorPos(), (EdtPoint{0, 5}));
    v->SetCursorPos({0, 25});
    Key(p, Qt::Key_F2, Qt::ControlModifier);
    Key(p, Qt::Key_F2);
    EXPECT_EQ(v->GetCursorPos().line, 5);  // wraps around
    Key(p, Qt::Key_F2, Qt::ShiftModifier);
    EXPECT_EQ(v->GetCursorPos().line, 25);
    Key(p, Qt::Key_F2, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_FALSE(v->Jumps().HasUnnamedBookmarks());
    EXPECT_EQ(v->buffer.FindLineWithFlag(EDT_LF_BOOKMARK_UNNAMED), -1);
    v->ExecuteCommand(ID_EDT_CLEAR_BOOKMARKS);
    EXPECT_EQ(v->buffer.FindLineWithFlag(EDT_LF_BOOKMARK(3)), -1);
    // A bookmark command switches the keyboard selection mode off.
    v->Sel().SetKeyboardSelection(true);
    Key(p, Qt::Key_2, Qt::AltModifier);
    EXPECT_FALSE(v->Sel().KeyboardSelection());
}

TEST(TextViewNav, GoToLineDialogAndBrackets)
{
    std::u16string text;
    for (int i = 0; i < 20; ++i)
        text += u"0123456789\r\n";
    auto v = MakeView(text);
    v->SetCursorPos({4, 10});
    auto go = [&](const QString& typed, bool expectOk = true) {
        OnNextModal<CGoToLineDlg>([&](CGoToLineDlg* d) {
            auto* edit = FindChild<QLineEdit>(d, QStringLiteral("c1005"));
            auto* ok = FindChild<QPushButton>(d, QStringLiteral("c1"));
            ASSERT_TRUE(edit && ok);
            EXPECT_FALSE(ok->isEnabled());
            TypeText(edit, typed);
            EXPECT_EQ(ok->isEnabled(), expectOk);
            if (expectOk)
                ok->click();
            else
                d->reject();
        });
        Key(v.get(), Qt::Key_G, Qt::ControlModifier);
    };
    go(QStringLiteral("+1"));
    EXPECT_EQ(v->GetCursorPos(), (EdtPoint{4, 11}));
    go(QStringLiteral("-1"));
    EXPECT_EQ(v->GetCursorPos(), (EdtPoint{4, 10}));
    go(QStringLiteral("0"));
    EXPECT_EQ(v->GetCursorPos().line, 0);
    go(QStringLiteral("999"));
    EXPECT_EQ(v->GetCursorPos().line, 20);
    go(QStringLiteral("-"), false);  // no digit: OK stays disabled
    EXPECT_EQ(v->GetCursorPos().line, 20);
    // An error jump keeps its meaning.
    v->GoToLine(3, false);
    EXPECT_EQ(v->GetCursorPos().line, 2);

    // Ctrl+E in a C file with a "//" comment.
    SetText(v->buffer, u"f(a, // )\r\n  b)\r\n");
    v->SetTextType(std::u16string_view(u"c"));
    v->SetCursorPos({1, 0});
    Key(v.get(), Qt::Key_E, Qt::ControlModifier);
    EXPECT_EQ(v->GetCursorPos(), (EdtPoint{3, 1}));
    Key(v.get(), Qt::Key_E, Qt::ControlModifier);
    EXPECT_EQ(v->GetCursorPos(), (EdtPoint{1, 0}));
}

TEST(TextViewNav, SourceHeaderSwitchOpensTheCounterpart)
{
    testsupport::TempDir dir;
    dir.Write("Unit.C", "int x;\r\n");
    dir.Write("Unit.h", "extern int x;\r\n");
    ui::Application app;
    class Doc : public ui::Document
    {
    public:
        bool OnOpenDocument(const QString& p) override { return QFileInfo::exists(p); }
    };
    app.AddDocTemplate(std::make_unique<ui::DocTemplate>(
        1, QStringLiteral("\nText\nText\nTexty (*.h)\n.h\n\n"), [] { return new Doc; }, nullptr,
        [] { return new TestView; }));
    class SrcView : public TestView
    {
    };
    Doc src;
    src.SetPathName(QString::fromStdString(dir / "Unit.C"), false);
    auto* view = new TestView;
    src.AddView(view);
    view->SetTextType(std::u16string_view(u"c"));
    ui::CmdUI sw(ID_EDT_SWITCH_HEADER);
    view->UpdateCommand(sw);
    EXPECT_TRUE(sw.Enabled());
    view->ExecuteCommand(ID_EDT_SWITCH_HEADER);
    ASSERT_EQ(app.Documents().Template(0)->GetDocumentCount(), 1);
    EXPECT_TRUE(app.Documents().Template(0)->Documents().front()->GetPathName().endsWith(QStringLiteral("Unit.h")));
    // Another source type: disabled.
    view->SetTextTypeById(0);
    view->UpdateCommand(sw);
    EXPECT_FALSE(sw.Enabled());
    src.RemoveView(view);
    delete view;
}
