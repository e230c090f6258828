// The hex view in real split frames: typing, mouse selection, the wheel,
// split panes, read-only through the menu command, font changes and the
// context menu's enable rules, and the size limit of a copy.

#include "BinWorld.h"

#include "platform/ui/Beep.h"
#include "platform/ui/Command.h"
#include "platform/ui/Menu.h"
#include "platform/ui/Prompt.h"
#include "res/CommandIds.h"
#include "uilib/KVTPopupMenu.h"
#include "uilib/KVTWorkspace.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QMimeData>
#include <QWheelEvent>

#include <unistd.h>

using namespace testsupport::ui;

namespace {
QByteArray Count(int n)
{
    QByteArray b;
    for (int i = 0; i < n; ++i)
        b.append(char(i & 0xFF));
    return b;
}

struct HexView : ::testing::Test
{
    BinWorld w{0};
    CBinDoc* doc = nullptr;
    CBinView* view = nullptr;
    void SetUp() override
    {
        w.dir.Write("a.bin", Count(1000).toStdString());
        doc = w.Open("a.bin");
        ASSERT_NE(doc, nullptr);
        view = BinWorld::ViewOf(doc);
        BinWorld::FrameOf(doc)->resize(700, 400);
        ASSERT_TRUE(WaitFor([&] { return view->isVisible() && view->height() > 100; }, 5000, "the view"));
        view->setFocus();
        PumpEvents(10);
    }
    QPoint HexCell(qsizetype offset)
    {
        HexEditModel& m = view->Model();
        const qsizetype rel = offset - m.Top();
        return {m.HexX() + int(rel % 16) * 3 * m.CharWidth() + 2, int(rel / 16) * m.LineHeight() + 2};
    }
    bool Enabled(ui::CommandTarget* t, uint32_t id)
    {
        ui::CmdUI c(id);
        t->UpdateCommand(c);
        return c.Enabled();
    }
};
} // namespace

TEST_F(HexView, TypingMarksModifiedAndUpdatesTheOtherPane)
{
    ui::SplitterWnd* split = BinWorld::FrameOf(doc)->Splitter();
    ASSERT_TRUE(split->SplitRow(150));
    auto* other = qobject_cast<CBinView*>(split->GetPane(1, 0));
    ASSERT_NE(other, nullptr);
    PumpEvents(10);
    const QImage before = Render(other);
    Click(view, HexCell(0));
    TypeText(view, QStringLiteral("41"));
    EXPECT_EQ(uchar(doc->Data().At(0)), 0x41);
    EXPECT_TRUE(doc->IsModified());
    EXPECT_TRUE(BinWorld::FrameOf(doc)->windowTitle().endsWith(QStringLiteral(" *")));
    EXPECT_NE(Render(other), before);
    EXPECT_EQ(view->GetCaretPos(), 1);

    // The panes of one row share its scroll bar; the view has none of its own.
    EXPECT_NE(split->RowScrollBar(0), nullptr);
    EXPECT_EQ(view->ClientRect().width(), view->width());

    // Read-only from one pane: both follow, typing beeps.
    view->setFocus();
    ASSERT_TRUE(ui::SendCommand(ID_EDT_READ_ONLY));
    EXPECT_TRUE(doc->IsReadOnly());
    EXPECT_TRUE(view->Model().IsReadOnly());
    EXPECT_TRUE(other->Model().IsReadOnly());
    ui::CmdUI check(ID_EDT_READ_ONLY);
    ui::UpdateCommandUI(check);
    EXPECT_EQ(check.Checked(), 1);
    const int beeps = ui::BeepCount();
    TypeText(view, QStringLiteral("f"));
    PressKey(view, Qt::Key_Delete);
    EXPECT_EQ(ui::BeepCount(), beeps + 2);
    EXPECT_EQ(doc->Data().Size(), 1000);
    EXPECT_EQ(uchar(doc->Data().At(1)), 0x01);
}

TEST_F(HexView, TheKeysOfItsMenuDoWhatTheItemsDo)
{
    // "Vybrat vše\tCtrl+A" of the binary windows' Editace menu.
    ASSERT_TRUE(WaitFor([&] { return QApplication::focusWidget() == view; }));
    PressKey(view, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(view->Model().SelectionLength(), 1000);
}

TEST_F(HexView, MouseDragSelectsAndTheWheelScrolls)
{
    Drag(view, HexCell(1), HexCell(20));
    HexEditModel& m = view->Model();
    EXPECT_EQ(m.SelStart(), 1);
    EXPECT_EQ(m.SelEnd(), 21);
    EXPECT_TRUE(Enabled(view, ID_EDIT_COPY));
    ui::SendCommand(ID_EDIT_COPY);
    const QMimeData* mime = QApplication::clipboard()->mimeData();
    ASSERT_NE(mime, nullptr);
    EXPECT_EQ(mime->data(kBinaryDataMime), Count(21).mid(1));
    EXPECT_TRUE(mime->text().startsWith(QStringLiteral("01 02 03 ")));

    QWheelEvent down(QPointF(50, 50), view->mapToGlobal(QPointF(50, 50)), {}, QPoint(0, -120), Qt::NoButton,
                     Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(view, &down);
    EXPECT_EQ(m.Top(), 3 * 16);
}

TEST_F(HexView, ContextMenuEnableRules)
{
    EXPECT_FALSE(Enabled(view, ID_EDIT_UNDO));  // no undo
    EXPECT_FALSE(Enabled(view, ID_EDIT_CLEAR));
    EXPECT_FALSE(Enabled(view, ID_EDIT_CUT));
    EXPECT_FALSE(Enabled(view, ID_EDIT_COPY));
    view->SetSelection(2, 5);
    EXPECT_TRUE(Enabled(view, ID_EDIT_CLEAR));
    EXPECT_TRUE(Enabled(view, ID_EDIT_CUT));
    EXPECT_TRUE(Enabled(view, ID_EDIT_SELECT_ALL));

    auto* unknown = new QMimeData;
    unknown->setData(QStringLiteral("application/x-something-else"), "zz");
    QApplication::clipboard()->setMimeData(unknown);
    EXPECT_FALSE(Enabled(view, ID_EDIT_PASTE));
    QApplication::clipboard()->setText(QStringLiteral("\u20ACx"));
    EXPECT_TRUE(Enabled(view, ID_EDIT_PASTE));
    ASSERT_TRUE(view->ExecuteCommand(ID_EDIT_PASTE));  // replaces the selection
    EXPECT_EQ(doc->Data().Size(), 999);
    EXPECT_EQ(doc->Data().Mid(1, 4), QByteArray("\x01\x80x\x05", 4));

    // Bytes per row through the menu range; 0 and 17 do nothing.
    ASSERT_TRUE(view->ExecuteCommand(40019));
    EXPECT_EQ(view->Model().BytesPerRow(), 8);
    view->ExecuteCommand(ID_HEX_BPR_FIRST);
    view->ExecuteCommand(ID_HEX_BPR_LAST);
    EXPECT_EQ(view->Model().BytesPerRow(), 8);
    ui::CmdUI radio(40019);
    view->UpdateCommand(radio);
    EXPECT_EQ(radio.Checked(), 1);
}

TEST_F(HexView, ContextMenusAreLibraryPopups)
{
    // The binary view's registered menu 1033, from the context-menu key.
    CKVTWorkspace workspace;
    ASSERT_TRUE(workspace.GetContextMenuManager()->AddMenu(QStringLiteral("Binární editor"), 1033));
    QContextMenuEvent key(QContextMenuEvent::Keyboard, QPoint(0, 0), view->mapToGlobal(QPoint(0, 0)));
    QApplication::sendEvent(view, &key);
    CKVTPopupMenu* popup = CKVTPopupMenu::ActivePopup();
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(popup->GetMenu(), workspace.GetContextMenuManager()->GetMenuById(1033)->SubMenu(0));
    EXPECT_FALSE(popup->GetDestroyMenu());
    popup->CloseChain();
    PumpEvents(5);

    EXPECT_EQ(CKVTPopupMenu::ActivePopup(), nullptr);
}

TEST_F(HexView, FontChangesFromTheRegistryReachTheLayout)
{
    const int before = view->Model().CharWidth();
    std::vector<FontColorCategory> edit = w.registry.Current();
    for (FontColorCategory& c : edit)
        if (c.name == CBinView::kCategory) {
            c.size = 20;
            c.items[0].backColor = 0x0000FF;  // red
        }
    w.registry.ApplyEdit(edit);
    EXPECT_GT(view->Model().CharWidth(), before);
    view->clearFocus();
    EXPECT_TRUE(RectHasColor(Render(view), QRect(0, 0, 40, 40), QColor(255, 0, 0), 100));

    // A registry without the category: the view keeps its initial font.
    CFontColorPage empty;
    SetFontColorPage(&empty);
    w.dir.Write("b.bin", "xyz");
    CBinDoc* b = w.Open("b.bin");
    SetFontColorPage(&w.registry);
    ASSERT_NE(b, nullptr);
    const QFont font = BinWorld::ViewOf(b)->ViewFont();
    EXPECT_EQ(font.family(), QStringLiteral("Courier New"));
    EXPECT_EQ(font.pixelSize(), 12);
    b->OnCloseDocument();
    BinWorld::Pump();
}

TEST(HexViewCopy, ASelectionOverTheLimitIsRefusedWithAMessage)
{
    BinWorld w(0);
    const qsizetype size = HexEditModel::kCopyLimit + 2 * BinData::kPageSize;
    w.dir.Write("big.bin", "");
    ASSERT_EQ(::truncate((w.dir / "big.bin").c_str(), size), 0);
    CBinDoc* doc = w.Open("big.bin");
    ASSERT_NE(doc, nullptr);
    CBinView* view = BinWorld::ViewOf(doc);
    view->setFocus();
    QApplication::clipboard()->setText(QStringLiteral("before"));
    view->SetSelection(1, HexEditModel::kCopyLimit + 2);
    {
        PromptScript prompts({ui::IDOK, ui::IDOK});
        ASSERT_TRUE(view->ExecuteCommand(ID_EDIT_COPY));
        ASSERT_TRUE(view->ExecuteCommand(ID_EDIT_CUT));
        ASSERT_EQ(prompts.Texts().size(), 2u);
        EXPECT_EQ(prompts.Texts()[0], FormatResString(4798, int(HexEditModel::kCopyLimit >> 20)));
        EXPECT_TRUE(prompts.Texts()[0].contains(QStringLiteral("16 MB")));
    }
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("before"));
    EXPECT_EQ(doc->Data().Size(), size);
    EXPECT_FALSE(doc->IsModified());

    // At the limit it is copied (the raw bytes and their text).
    view->SetSelection(0, HexEditModel::kCopyLimit);
    ASSERT_TRUE(view->ExecuteCommand(ID_EDIT_COPY));
    const QMimeData* mime = QApplication::clipboard()->mimeData();
    ASSERT_NE(mime, nullptr);
    EXPECT_EQ(mime->data(kBinaryDataMime).size(), HexEditModel::kCopyLimit);
    EXPECT_EQ(mime->text().size(), 3 * HexEditModel::kCopyLimit);
}

TEST_F(HexView, ANarrowPaneFollowsItsCaretIntoTheTextColumn)
{
    // A pane too narrow for the text column, with the caret there (as a
    // reopened workspace may give it): the caret and the selection are seen.
    const QColor green(0, 200, 0);
    std::vector<FontColorCategory> edit = w.registry.Current();
    for (FontColorCategory& c : edit)
        if (c.name == CBinView::kCategory)
            for (auto& item : c.items)
                if (item.name == QStringLiteral("SelText"))
                    item.backColor = 0x00C800;  // green
    w.registry.ApplyEdit(edit);
    BinWorld::FrameOf(doc)->resize(260, 400);
    ASSERT_TRUE(WaitFor([&] { return view->width() < 250; }, 5000, "the narrow view"));
    view->SetCaretArea(HA_ASCII);
    view->SetCaretPos(16);
    PressKey(view, Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_EQ(view->Model().SelectionLength(), 1);
    EXPECT_TRUE(RectHasColor(Render(view), view->ClientRect(), green, 20));
    // Tab to the hex column: the pane scrolls back and shows it.
    PressKey(view, Qt::Key_Tab);
    EXPECT_NE(view->Model().Area(), HA_ASCII);
    PressKey(view, Qt::Key_Right, Qt::ShiftModifier);
    PressKey(view, Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_GT(view->Model().SelectionLength(), 0);
    EXPECT_TRUE(RectHasColor(Render(view), view->ClientRect(), green, 20));
    // Shift+Tab back to the text column, and a click at the pane's left
    // edge: it hits the column drawn there, not the address scrolled off.
    PressKey(view, Qt::Key_Backtab, Qt::ShiftModifier);
    ASSERT_EQ(view->Model().Area(), HA_ASCII);
    Click(view, QPoint(2, 2));
    EXPECT_NE(view->Model().Area(), HA_ADDRESS);
}
