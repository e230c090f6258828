// The edit view through real keys, the clipboard and drop events: typing
// and its undo groups, overwrite, deletion at the text's ends, Tab and
// Shift+Tab, automatic indentation, cut and paste, undo and redo texts,
// drag and drop, a read-only buffer, the status panes and the number row
// of a Czech keyboard.

#include "EditViewTest.h"

#include "editor/view/EdtViewRenderer.h"
#include "platform/ui/Command.h"
#include "platform/ui/Menu.h"

#include <QClipboard>
#include <QDrag>
#include <QDropEvent>
#include <QMimeData>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

using namespace testsupport::ui;

namespace {

QPoint At(CEdtTextView& v, int col, int row)
{
    const int cw = v.Renderer().GetCharWidth(), lh = v.Renderer().GetLineHeight();
    return {v.GetMarginWidth() + col * cw + 1, row * lh + lh / 2};
}

// Sends a drop of text at a text position with the modifiers.
Qt::DropAction DropText(CEdtTextView& v, const QString& text, int col, int row,
                        Qt::KeyboardModifiers m = {}, const QMimeData* data = nullptr)
{
    QMimeData own;
    own.setText(text);
    const QMimeData* d = data ? data : &own;
    const QPointF pos = At(v, col, row);
    const Qt::DropActions allowed = Qt::CopyAction | Qt::MoveAction;
    QDragEnterEvent enter(pos.toPoint(), allowed, d, Qt::LeftButton, m);
    QApplication::sendEvent(&v, &enter);
    if (!enter.isAccepted())
        return Qt::IgnoreAction;
    QDragMoveEvent move(pos.toPoint(), allowed, d, Qt::LeftButton, m);
    QApplication::sendEvent(&v, &move);
    if (!move.isAccepted())
        return Qt::IgnoreAction;
    QDropEvent drop(pos, allowed, d, Qt::LeftButton, m);
    QApplication::sendEvent(&v, &drop);
    return drop.isAccepted() ? drop.dropAction() : Qt::IgnoreAction;
}

} // namespace

TEST(EditView, TypingFormsWordGroupsAndMergesOnlyWithItsOwnTyping)
{
    auto v = MakeEditView(u"");
    TypeText(v.get(), QStringLiteral("abc def"));
    EXPECT_EQ(AllText(*v), u"abc def");
    EdtPoint caret;
    ASSERT_TRUE(v->buffer.Undo(caret));
    EXPECT_EQ(AllText(*v), u"abc");
    ASSERT_TRUE(v->buffer.Undo(caret));
    EXPECT_EQ(AllText(*v), u"");

    // Typing right after a paste starts its own group.
    auto w = MakeEditView(u"x");
    QGuiApplication::clipboard()->setText(QStringLiteral("pasted"));
    w->SetCursorPos({1, 0});
    PressKey(w.get(), Qt::Key_V, Qt::ControlModifier);
    TypeText(w.get(), QStringLiteral("yz"));
    EXPECT_EQ(AllText(*w), u"xpastedyz");
    PressKey(w.get(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(AllText(*w), u"xpasted");
    // A word typed elsewhere does not merge with the one before.
    w->SetCursorPos({0, 0});
    TypeText(w.get(), QStringLiteral("q"));
    w->SetCursorPos({8, 0});
    TypeText(w.get(), QStringLiteral("r"));
    PressKey(w.get(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(AllText(*w), u"qxpasted");

    // Alt with a letter types nothing; Ctrl+Y redoes.
    PressKey(w.get(), Qt::Key_A, Qt::AltModifier);
    EXPECT_EQ(AllText(*w), u"qxpasted");
    PressKey(w.get(), Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(AllText(*w), u"qxpastedr");
}

TEST(EditView, OverwriteEnterAndDeletionAtTheEnds)
{
    auto v = MakeEditView(u"abc\r\nxy");
    PressKey(v.get(), Qt::Key_Insert);
    EXPECT_TRUE(v->GetOverwrite());
    v->SetCursorPos({1, 0});
    TypeText(v.get(), QStringLiteral("ZZZ"));  // overwrites b, c, then appends
    EXPECT_EQ(AllText(*v), u"aZZZ\r\nxy");
    // Enter in overwrite mode only moves to the next line; on the last line it breaks.
    PressKey(v.get(), Qt::Key_Return);
    EXPECT_EQ(v->GetCursorPos(), (EdtPoint{0, 1}));
    EXPECT_EQ(v->GetLineCount(), 2);
    v->SetCursorPos({2, 1});
    PressKey(v.get(), Qt::Key_Return);
    EXPECT_EQ(v->GetLineCount(), 3);
    PressKey(v.get(), Qt::Key_Insert);
    EXPECT_FALSE(v->GetOverwrite());
    // Del at the very end and Backspace at the very start change nothing.
    PressKey(v.get(), Qt::Key_End, Qt::ControlModifier);
    PressKey(v.get(), Qt::Key_Delete);
    v->SetCursorPos({0, 0});
    PressKey(v.get(), Qt::Key_Backspace);
    EXPECT_EQ(AllText(*v), u"aZZZ\r\nxy\r\n");
    // Del at a line end joins; Backspace at char 0 joins unless the row forbids it.
    v->SetCursorPos({4, 0});
    PressKey(v.get(), Qt::Key_Delete);
    EXPECT_EQ(AllText(*v), u"aZZZxy\r\n");
    v->SetCursorPos({0, 1});
    v->SetDisableBSAtSOL(true);
    PressKey(v.get(), Qt::Key_Backspace);
    EXPECT_EQ(v->GetLineCount(), 2);
    v->SetDisableBSAtSOL(false);
    PressKey(v.get(), Qt::Key_Backspace);
    EXPECT_EQ(AllText(*v), u"aZZZxy");
    // Ctrl+Backspace and Ctrl+Del remove words.
    v->buffer.FreeAll();
    SetText(v->buffer, u"one two three");
    v->SetCursorPos({7, 0});
    PressKey(v.get(), Qt::Key_Backspace, Qt::ControlModifier);
    EXPECT_EQ(AllText(*v), u"one  three");
    PressKey(v.get(), Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(AllText(*v), u"one three");
}

TEST(EditView, TabIndentsBlocksAndStopsAndShiftTabReturns)
{
    auto v = MakeEditView(u"l0\r\nl1\r\nl2\r\nl3\r\nl4\r\nl5");
    v->SetInsertTabs(true);
    // (3, 2) to (0, 5): lines 2, 3 and 4 only.
    v->SetSelection({1, 2}, {0, 5});
    v->SetCursorPos({0, 5});
    PressKey(v.get(), Qt::Key_Tab);
    EXPECT_EQ(AllText(*v), u"l0\r\nl1\r\n\tl2\r\n\tl3\r\n\tl4\r\nl5");
    EdtPoint a, b;
    v->GetSelection(a, b);
    EXPECT_EQ(a, (EdtPoint{0, 2}));
    EXPECT_EQ(b, (EdtPoint{0, 5}));
    PressKey(v.get(), Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(AllText(*v), u"l0\r\nl1\r\nl2\r\nl3\r\nl4\r\nl5");
    // Insert tabs off, tab size 4: at char 6 two blanks.
    auto w = MakeEditView(u"abcdef");
    w->SetInsertTabs(false);
    w->SetCursorPos({6, 0});
    PressKey(w.get(), Qt::Key_Tab);
    EXPECT_EQ(AllText(*w), u"abcdef  ");
    // Counted in screen columns: after a tab at char 1 (column 4) four more.
    SetText(w->buffer, u"\tx");
    w->SetInsertTabs(false);  // the reset applied the row again
    w->SetCursorPos({2, 0});
    PressKey(w.get(), Qt::Key_Tab);
    EXPECT_EQ(AllText(*w), u"\tx   ");
    // Shift+Tab moves back to the previous stop without changing the text.
    w->SetCursorPos({5, 0});
    PressKey(w.get(), Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(w->GetCursorPos(), (EdtPoint{1, 0}));
    EXPECT_EQ(AllText(*w), u"\tx   ");
}

TEST(EditView, AutomaticIndentation)
{
    auto v = MakeEditView(u"    if {");
    TextTypeDef* row = GetTextTypeDef(0);
    row->flags |= 0x10 | 0x40 | 0x1;
    v->SetTextType(row);
    ASSERT_TRUE(v->GetAutoIndent());
    v->SetCursorPos({8, 0});
    PressKey(v.get(), Qt::Key_Return);
    EXPECT_EQ(std::u16string(v->GetLineChars(1), size_t(v->GetLineLength(1))), u"    \t");
    // A lone "}" un-indents; ")" never does.
    TypeText(v.get(), QStringLiteral("}"));
    EXPECT_EQ(std::u16string(v->GetLineChars(1), size_t(v->GetLineLength(1))), u"    }");
    // After a lone closing bracket the next line starts one level back.
    PressKey(v.get(), Qt::Key_Return);
    EXPECT_EQ(v->GetLineLength(2), 0);
    TypeText(v.get(), QStringLiteral("    )"));
    EXPECT_EQ(std::u16string(v->GetLineChars(2), size_t(v->GetLineLength(2))), u"    )");
    ResetSourceTypes();
}

// The README's sample program typed key by key, line by line as printed,
// into a PLC source with automatic indentation on comes out as printed.
// (An indented sample would not: the leading blanks typed add to the
// indent that Enter already gave the line.)
TEST(EditView, TheReadmeSampleTypedAsPrintedComesOutAsPrinted)
{
    std::ifstream f(std::string(std::getenv("SW_SOURCE_DIR")) + "/README.md", std::ios::binary);
    std::ostringstream all;
    all << f.rdbuf();
    const std::string readme = all.str();
    const size_t start = readme.find("   ; axis counter\n");
    ASSERT_NE(start, std::string::npos);
    const size_t end = readme.find("   ```", start);
    ASSERT_NE(end, std::string::npos);
    std::vector<std::string> lines;
    for (size_t at = start; at < end;) {
        const size_t nl = readme.find('\n', at);
        lines.push_back(readme.substr(at + 3, nl - at - 3));
        at = nl + 1;
    }
    ASSERT_GE(lines.size(), 9u);

    auto v = MakeEditView(u"");
    TextTypeDef* plc = FindTextTypeByExtension(u"plc");
    ASSERT_NE(plc, nullptr);
    v->SetTextType(plc);
    ASSERT_TRUE(v->GetAutoIndent());
    std::u16string printed;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i > 0) {
            PressKey(v.get(), Qt::Key_Return);
            printed += u"\r\n";
        }
        TypeText(v.get(), QString::fromStdString(lines[i]));
        printed += QString::fromStdString(lines[i]).toStdU16String();
    }
    EXPECT_EQ(AllText(*v), printed);

    // The reason: after Enter the new line already has the indent above.
    auto w = MakeEditView(u"");
    w->SetTextType(plc);
    TypeText(w.get(), QStringLiteral("  LOD A"));
    PressKey(w.get(), Qt::Key_Return);
    TypeText(w.get(), QStringLiteral("  INR"));
    EXPECT_EQ(AllText(*w), u"  LOD A\r\n    INR");
    ResetSourceTypes();
}

TEST(EditView, CutPasteAndTheirRefusals)
{
    auto v = MakeEditView(u"hello world");
    v->SetSelection({0, 0}, {6, 0});
    v->SetCursorPos({6, 0});
    PressKey(v.get(), Qt::Key_Delete, Qt::ShiftModifier);
    EXPECT_EQ(AllText(*v), u"world");
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("hello "));
    // Text from another program carries LF: each becomes a line break.
    QGuiApplication::clipboard()->setText(QStringLiteral("a\nb\rc\r\nd"));
    v->SetCursorPos({5, 0});
    PressKey(v.get(), Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(v->GetLineCount(), 4);
    EXPECT_EQ(AllText(*v), u"worlda\r\nb\r\nc\r\nd");
    // A clipboard without text: Paste is disabled and does nothing.
    auto* data = new QMimeData;
    data->setData(QStringLiteral("application/octet-stream"), "x");
    QGuiApplication::clipboard()->setMimeData(data);
    ui::CmdUI probe(ID_EDIT_PASTE);
    v->UpdateCommand(probe);
    EXPECT_FALSE(probe.Enabled());
    RunCmd(*v, ID_EDIT_PASTE);
    EXPECT_EQ(v->GetLineCount(), 4);
}

namespace {
// A view whose clipboard refuses every text.
class RefusingView : public TestEditView
{
public:
    bool PutToClipboard(const std::u16string&) override { return false; }
};
} // namespace

TEST(EditView, CutKeepsTheTextWhenTheClipboardRefusesIt)
{
    ResetSourceTypes();
    RefusingView v;
    SetText(v.buffer, u"keep me");
    v.resize(400, 300);
    v.AttachToBuffer();
    v.SetSelection({0, 0}, {4, 0});
    RunCmd(v, ID_EDIT_CUT);
    EXPECT_EQ(AllText(v), u"keep me");
}

TEST(EditView, UndoAndRedoMenuTexts)
{
    auto v = MakeEditView(u"");
    TypeText(v.get(), QStringLiteral("ab"));
    ui::Menu menu;
    ui::CmdUI probe(ID_EDIT_UNDO);
    probe.SetMenuItem(&menu, 0);
    v->UpdateCommand(probe);
    EXPECT_EQ(probe.Text(), QStringLiteral("&Zpět psaní\tCtrl+Z"));
    ui::CmdUI redo(ID_EDIT_REDO);
    redo.SetMenuItem(&menu, 1);
    v->UpdateCommand(redo);
    EXPECT_FALSE(redo.Enabled());
    EXPECT_EQ(redo.Text(), QStringLiteral("Znov&u\tCtrl+Y"));
    PressKey(v.get(), Qt::Key_Z, Qt::ControlModifier);
    v->UpdateCommand(redo);
    EXPECT_EQ(redo.Text(), QStringLiteral("Znov&u psaní\tCtrl+Y"));
}

TEST(EditView, DropsFromOtherViewsAndInsideTheSameView)
{
    auto target = MakeEditView(u"0123456789");
    // Text from another program with Ctrl: copied, selected.
    EXPECT_EQ(DropText(*target, QStringLiteral("ab"), 2, 0, Qt::ControlModifier), Qt::CopyAction);
    EXPECT_EQ(AllText(*target), u"01ab23456789");
    EXPECT_EQ(SelectedText(*target), QStringLiteral("ab"));
    // Data that is not text is refused.
    QMimeData other;
    other.setData(QStringLiteral("image/png"), "x");
    EXPECT_EQ(DropText(*target, {}, 0, 0, {}, &other), Qt::IgnoreAction);

    // A drag out of another edit view without Ctrl moves the text: one
    // group in each buffer.
    auto source = MakeEditView(u"move THIS");
    source->SetSelection({5, 0}, {9, 0});
    source->SetCursorPos({9, 0});
    edt::SetDragExecHook([&](QDrag* drag, Qt::DropActions) {
        return DropText(*target, drag->mimeData()->text(), 0, 0);
    });
    QTest::mousePress(source.get(), Qt::LeftButton, {}, At(*source, 6, 0));
    QTest::mouseMove(source.get(), At(*source, 6, 0) + QPoint(30, 0));
    QTest::mouseRelease(source.get(), Qt::LeftButton, {}, At(*source, 8, 0));
    EXPECT_EQ(AllText(*target), u"THIS01ab23456789");
    EXPECT_EQ(AllText(*source), u"move ");

    // Inside one view: moved to the drop point in one undo group; a drop
    // inside the dragged text does nothing.
    auto one = MakeEditView(u"abc XYZ def");
    one->SetSelection({4, 0}, {7, 0});
    edt::SetDragExecHook([&](QDrag* drag, Qt::DropActions) {
        EXPECT_EQ(DropText(*one, drag->mimeData()->text(), 5, 0), Qt::IgnoreAction);
        return DropText(*one, drag->mimeData()->text(), 11, 0);
    });
    QTest::mousePress(one.get(), Qt::LeftButton, {}, At(*one, 5, 0));
    QTest::mouseMove(one.get(), At(*one, 5, 0) + QPoint(30, 0));
    QTest::mouseRelease(one.get(), Qt::LeftButton, {}, At(*one, 8, 0));
    edt::SetDragExecHook(nullptr);
    EXPECT_EQ(AllText(*one), u"abc  defXYZ");
    EdtPoint caret;
    ASSERT_TRUE(one->buffer.Undo(caret));
    EXPECT_EQ(AllText(*one), u"abc XYZ def");
}

TEST(EditView, ReadOnlyBufferRefusesEveryEditAndShowsThePanes)
{
    auto v = MakeEditView(u"fixed\r\ntext");
    v->buffer.SetReadOnly(true);
    v->SetCursorPos({2, 0});
    TypeText(v.get(), QStringLiteral("xy"));
    for (Qt::Key k : {Qt::Key_Delete, Qt::Key_Backspace, Qt::Key_Tab, Qt::Key_Return})
        PressKey(v.get(), k);
    RunCmd(*v, ID_EDIT_PASTE);
    RunCmd(*v, ID_EDT_AUTO_COMPLETE);
    EXPECT_EQ(AllText(*v), u"fixed\r\ntext");
    EXPECT_EQ(v->GetCursorPos(), (EdtPoint{2, 0}));
    for (uint32_t id : {ID_EDT_DELETE, ID_EDT_TAB, ID_EDIT_PASTE, ID_EDIT_UNDO, ID_EDIT_REPLACE}) {
        ui::CmdUI probe(id);
        v->UpdateCommand(probe);
        EXPECT_FALSE(probe.Enabled()) << id;
    }
    ui::CmdUI ro(ID_EDT_INDICATOR_READONLY);
    v->UpdateCommand(ro);
    EXPECT_TRUE(ro.Enabled());
    ui::CmdUI ovr(ID_INDICATOR_OVR);
    v->UpdateCommand(ovr);
    EXPECT_FALSE(ovr.Enabled());
    PressKey(v.get(), Qt::Key_Insert);
    v->UpdateCommand(ovr);
    EXPECT_TRUE(ovr.Enabled());
}

TEST(EditView, ControlCharactersAndLoneSurrogates)
{
    auto v = MakeEditView(u"");
    v->OnChar(0);
    v->OnChar(7);
    v->OnChar(0xD800);  // a lone surrogate is kept as it is
    v->OnChar(u'a');
    EXPECT_EQ(AllText(*v), std::u16string(u"\xD800" u"a"));
}

TEST(EditView, TheNumberRowOfACzechKeyboardKeepsTheBookmarkKeysAndTypesItsLetters)
{
    auto v = MakeEditView(u"one\r\ntwo\r\nthree\r\nfour\r\nfive");
    auto key = [&v](const LayoutKey& k, Qt::KeyboardModifiers m = {}) {
        QKeyEvent press = LayoutKeyEvent(k, m);
        QApplication::sendEvent(v.get(), &press);
        QKeyEvent release = LayoutKeyEvent(k, m, QEvent::KeyRelease);
        QApplication::sendEvent(v.get(), &release);
    };
    const LayoutKey ecaron = CzechNumberRow(2);
    // Ctrl with the ě/2 key on line 3 sets bookmark 2, Alt with it goes there.
    v->SetCursorPos({2, 2});
    key(ecaron, Qt::ControlModifier);
    EXPECT_EQ(v->buffer.FindLineWithFlag(EDT_LF_BOOKMARK(2)), 2);
    EXPECT_EQ(AllText(*v), u"one\r\ntwo\r\nthree\r\nfour\r\nfive");
    PressKey(v.get(), Qt::Key_End, Qt::ControlModifier);
    key(ecaron, Qt::AltModifier);
    EXPECT_EQ(v->GetCursorPos(), (EdtPoint{0, 2}));
    // The same with the é/0 key; Ctrl again on its line takes it off.
    key(CzechNumberRow(0), Qt::ControlModifier);
    EXPECT_EQ(v->buffer.FindLineWithFlag(EDT_LF_BOOKMARK(0)), 2);
    key(CzechNumberRow(0), Qt::ControlModifier);
    EXPECT_EQ(v->buffer.FindLineWithFlag(EDT_LF_BOOKMARK(0)), -1);

    // Without a modifier the keys type the layout's letters.
    key(ecaron);
    key(CzechNumberRow(8));
    EXPECT_EQ(AllText(*v), u"one\r\ntwo\r\něáthree\r\nfour\r\nfive");
    // A letter with Alt that names nothing types nothing, nor does Alt with
    // a key of the number row that no entry names (Alt+Shift+2).
    key(CzechURing(), Qt::AltModifier);
    key(ecaron, Qt::AltModifier | Qt::ShiftModifier);
    EXPECT_EQ(AllText(*v), u"one\r\ntwo\r\něáthree\r\nfour\r\nfive");
    EXPECT_EQ(v->GetCursorPos(), (EdtPoint{2, 2}));
}
