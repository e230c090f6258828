// Customisation by mouse: the drop place of the layout core, button drags
// between bars through the drag controller (move, copy, delete, separators,
// locked bars, popups, the menu bar of a maximised child), the width drag of
// a combo box button and the drop source's flags.

#include "uilib/KVTButtonDragController.h"

#include "platform/ui/App.h"
#include "platform/ui/Beep.h"
#include "res/CommandIds.h"
#include "uilib/KVTToolBar.h"
#include "uilib/KVTToolbarComboBoxButton.h"
#include "uilib/KVTToolbarLayout.h"

#include "MenuWorld.h"
#include "tests/support/ui/UiTest.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMimeData>
#include <QMouseEvent>
#include <QTest>
#include <gtest/gtest.h>

using namespace testsupport::ui;

namespace {

// --- the drop place of the layout core --------------------------------------

KvtLayoutButton At(int x, int y, int w, int h, bool hidden = false)
{
    KvtLayoutButton b;
    b.rect = QRect(x, y, w, h);
    b.size = b.rect.size();
    b.hidden = hidden;
    return b;
}

TEST(DropPlace, EmptyBarsTakeTheClientRectangle)
{
    KvtLayoutBar bar;
    const QRect client(0, 0, 200, 26);
    KvtDropPlace p = KvtToolbarLayout::FindDropIndex({}, QPoint(50, 10), bar, client);
    EXPECT_EQ(p.index, 0);
    EXPECT_EQ(p.marker, client);
    // Only the customize button (hidden in customisation mode).
    KvtDropRules rules;
    rules.customizeIndex = 0;
    p = KvtToolbarLayout::FindDropIndex({At(0, 0, 0, 0, true)}, QPoint(50, 10), bar, client, rules);
    EXPECT_EQ(p.index, 0);
    EXPECT_EQ(p.marker, client);
}

TEST(DropPlace, AVerticalBarWalksItsButtons)
{
    KvtLayoutBar bar;
    bar.horizontal = false;
    const std::vector<KvtLayoutButton> b = {At(1, 4, 23, 22), At(1, 26, 23, 22), At(1, 48, 23, 22)};
    const QRect client(0, 0, 26, 100);
    auto find = [&](int y) { return KvtToolbarLayout::FindDropIndex(b, QPoint(10, y), bar, client); };
    EXPECT_EQ(find(1).index, 0);       // above the first
    EXPECT_EQ(find(1).marker, QRect(1, 1, 23, 6));
    EXPECT_EQ(find(30).index, 1);      // nearer the top of the second
    EXPECT_EQ(find(30).marker.center().y(), 25);
    EXPECT_EQ(find(45).index, 2);      // nearer its bottom
    EXPECT_EQ(find(95).index, 3);      // below all
    EXPECT_EQ(find(95).marker, QRect(1, 67, 23, 6));
}

TEST(DropPlace, AHorizontalBarTakesTheRowFromTheRowHeight)
{
    KvtLayoutBar bar;
    bar.rowHeight = 22;
    bar.origin = QPoint(0, 0);
    // Row 0 at y = 1, row 1 at y = 1 + 27.
    const std::vector<KvtLayoutButton> b = {At(0, 1, 23, 22), At(23, 1, 23, 22), At(0, 28, 23, 22),
                                            At(23, 28, 23, 22)};
    const QRect client(0, 0, 100, 60);
    auto find = [&](QPoint pt, KvtDropRules r = {}) { return KvtToolbarLayout::FindDropIndex(b, pt, bar, client, r); };
    EXPECT_EQ(find(QPoint(30, 5)).index, 1);   // nearer the left edge of button 1
    EXPECT_EQ(find(QPoint(40, 5)).index, 2);   // nearer its right edge
    EXPECT_EQ(find(QPoint(90, 5)).index, 2);   // right of row 0: after its last
    EXPECT_EQ(find(QPoint(90, 35)).index, 4);  // row 1
    EXPECT_EQ(find(QPoint(5, 35)).index, 2);   // row 1, its first button
    EXPECT_EQ(find(QPoint(90, 55)).index, 4);  // below the last row: the last row
    EXPECT_EQ(find(QPoint(40, 5)).marker, QRect(43, 1, 6, 22));

    // The customize button is never a place; the rules keep the index in range.
    std::vector<KvtLayoutButton> withCustomize = b;
    withCustomize.push_back(At(80, 1, 13, 22));
    KvtDropRules rules;
    rules.customizeIndex = 4;
    const KvtDropPlace onCustomize =
        KvtToolbarLayout::FindDropIndex(withCustomize, QPoint(85, 5), bar, client, rules);
    EXPECT_EQ(onCustomize.index, -1);
    EXPECT_TRUE(onCustomize.marker.isEmpty());
    KvtDropRules menu;
    menu.minIndex = 1; // a system-menu button at 0
    menu.maxIndex = 1; // caption buttons from 1 on
    EXPECT_EQ(find(QPoint(2, 5), menu).index, 1);
    EXPECT_EQ(find(QPoint(40, 5), menu).index, 1);
}

// --- drags between bars ---------------------------------------------------------

class Customize : public ::testing::Test, public ui::CommandTarget
{
protected:
    void SetUp() override
    {
        ui::SetRouteProvider([this] { return std::vector<ui::CommandTarget*>{this}; });
        frame = new ui::MainFrameBase;
        auto* host = new QWidget;
        frame->setCentralWidget(host);
        a = MakeBar(host, 0xE800, QRect(0, 0, 500, 30));
        b = MakeBar(host, 0xE801, QRect(0, 80, 500, 30));
        frame->resize(520, 200);
        frame->move(0, 0);
        frame->show();
        for (CKVTToolBar* bar : {a, b}) {
            bar->SetButtons(std::vector<uint32_t>{ID_FILE_NEW, ID_FILE_OPEN, ID_FILE_SAVE, 0, ID_EDIT_CUT}.data(), 5);
            bar->AdjustLayout();
        }
        b->RemoveButton(4);
        b->RemoveButton(3);
        b->AdjustLayout();
        CKVTToolbarShared::SetCustomizeMode(true);
    }
    void TearDown() override
    {
        CKVTButtonDragController::Instance().Cancel();
        CKVTToolbarShared::SetCustomizeMode(false);
        CKVTToolbarShared::SetAltCustomization(false);
        CKVTToolbarShared::SetNonPermittedCommands({});
        delete frame;
        ui::SetRouteProvider(nullptr);
    }
    static CKVTToolBar* MakeBar(QWidget* host, uint32_t id, QRect r)
    {
        auto* bar = new CKVTToolBar(host);
        bar->CreateEx(host, 0x830, 0x50402834, QMargins(1, 1, 1, 1), id);
        bar->setGeometry(r);
        return bar;
    }
    static QPoint Centre(CKVTToolBar* bar, int i) { return bar->GetItemRect(i).center(); }
    static QString N(uint32_t id) { return QString::number(id); }
    static QStringList Ids(CKVTToolBar* bar)
    {
        QStringList out;
        for (int i = 0; i < bar->Items().Count(); ++i)
            out << (bar->GetButton(i)->IsSeparator() ? QStringLiteral("-")
                                                     : QString::number(bar->Items().ItemID(i)));
        return out;
    }
    // Mouse input while the source holds the grab: the held button rides along.
    static void Move(QWidget* source, QPoint global, Qt::KeyboardModifiers m = {})
    {
        QMouseEvent me(QEvent::MouseMove, source->mapFromGlobal(global), global, Qt::NoButton, Qt::LeftButton, m);
        QApplication::sendEvent(source, &me);
    }
    static void Release(QWidget* source, QPoint global, Qt::KeyboardModifiers m = {})
    {
        QMouseEvent me(QEvent::MouseButtonRelease, source->mapFromGlobal(global), global, Qt::LeftButton,
                       Qt::NoButton, m);
        QApplication::sendEvent(source, &me);
    }
    // Presses on from at fromPt, drags to (to, toPt) and releases there.
    static void DragTo(CKVTToolBar* from, QPoint fromPt, QWidget* to, QPoint toPt, Qt::KeyboardModifiers m = {})
    {
        QTest::mousePress(from, Qt::LeftButton, m, fromPt);
        const QPoint target = to->mapToGlobal(toPt);
        Move(from, from->mapToGlobal(fromPt) + QPoint(0, 20), m);
        Move(from, target, m);
        Release(from, target, m);
    }
    ui::MainFrameBase* frame = nullptr;
    CKVTToolBar* a = nullptr;
    CKVTToolBar* b = nullptr;
};

TEST_F(Customize, MoveCopyAndDelete)
{
    // Moved to the other bar: it leaves its own.
    DragTo(a, Centre(a, 1), b, Centre(b, 2) + QPoint(8, 0));
    EXPECT_EQ(Ids(a), (QStringList{N(ID_FILE_NEW), N(ID_FILE_SAVE), "-", N(ID_EDIT_CUT)}));
    EXPECT_EQ(Ids(b), (QStringList{N(ID_FILE_NEW), N(ID_FILE_OPEN), N(ID_FILE_SAVE), N(ID_FILE_OPEN)}));
    EXPECT_FALSE(CKVTButtonDragController::Instance().IsArmed());
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);

    // With Ctrl it is copied.
    DragTo(a, Centre(a, 0), b, Centre(b, 0) - QPoint(8, 0), Qt::ControlModifier);
    EXPECT_EQ(Ids(a), (QStringList{N(ID_FILE_NEW), N(ID_FILE_SAVE), "-", N(ID_EDIT_CUT)}));
    EXPECT_EQ(Ids(b), (QStringList{N(ID_FILE_NEW), N(ID_FILE_NEW), N(ID_FILE_OPEN), N(ID_FILE_SAVE), N(ID_FILE_OPEN)}));

    // Off every bar it goes.
    DragTo(a, Centre(a, 3), frame, QPoint(250, 150));
    EXPECT_EQ(Ids(a), (QStringList{N(ID_FILE_NEW), N(ID_FILE_SAVE), "-"}));
}

TEST_F(Customize, SmallDragsOnTheSameBarMoveTheSeparator)
{
    // One place right of itself: a separator before it.
    const QRect r1 = a->GetItemRect(1);
    DragTo(a, r1.center(), a, QPoint(r1.right() - 2, r1.center().y()));
    EXPECT_EQ(Ids(a), (QStringList{N(ID_FILE_NEW), "-", N(ID_FILE_OPEN), N(ID_FILE_SAVE), "-", N(ID_EDIT_CUT)}));
    // One place left of itself: the separator goes again.
    const QRect r2 = a->GetItemRect(2);
    DragTo(a, r2.center(), a, QPoint(r2.left() + 1, r2.center().y()));
    EXPECT_EQ(Ids(a), (QStringList{N(ID_FILE_NEW), N(ID_FILE_OPEN), N(ID_FILE_SAVE), "-", N(ID_EDIT_CUT)}));
    // Just before or after itself with no move along the bar: nothing doubles.
    DragTo(a, Centre(a, 2), a, Centre(a, 2) + QPoint(3, 0));
    EXPECT_EQ(Ids(a), (QStringList{N(ID_FILE_NEW), N(ID_FILE_OPEN), N(ID_FILE_SAVE), "-", N(ID_EDIT_CUT)}));
    // Further along: it moves.
    DragTo(a, Centre(a, 0), a, Centre(a, 4) + QPoint(8, 0));
    EXPECT_EQ(Ids(a), (QStringList{N(ID_FILE_OPEN), N(ID_FILE_SAVE), "-", N(ID_EDIT_CUT), N(ID_FILE_NEW)}));
}

TEST_F(Customize, ALockedBarRefusesDropsAndSelectsNothing)
{
    b->SetLocked(true);
    QTest::mousePress(b, Qt::LeftButton, {}, Centre(b, 1));
    QTest::mouseRelease(b, Qt::LeftButton, {}, Centre(b, 1));
    EXPECT_EQ(b->Items().selected, -1);
    QTest::mousePress(a, Qt::LeftButton, {}, Centre(a, 0));
    Move(a, a->mapToGlobal(Centre(a, 0)) + QPoint(0, 20));
    Move(a, b->mapToGlobal(Centre(b, 1)));
    EXPECT_EQ(CKVTButtonDragController::Instance().CurrentTarget(), b);
    EXPECT_EQ(CKVTButtonDragController::Instance().CurrentEffect(), int(DROPEFFECT_NONE));
    EXPECT_EQ(CKVTButtonDragController::Instance().CurrentCursor(), CKVTButtonDragController::IDC_DELETE);
    PressKey(a, Qt::Key_Escape);
    EXPECT_EQ(Ids(b), (QStringList{N(ID_FILE_NEW), N(ID_FILE_OPEN), N(ID_FILE_SAVE)}));
    EXPECT_EQ(Ids(a).size(), 5); // Escape keeps it
}

TEST_F(Customize, TheDropSourceFlagsStartAfreshAndTheCursorsFollow)
{
    auto& drag = CKVTButtonDragController::Instance();
    QTest::mousePress(a, Qt::LeftButton, {}, Centre(a, 0));
    EXPECT_TRUE(drag.IsOutside());
    EXPECT_FALSE(drag.DragStarted());
    Move(a, a->mapToGlobal(Centre(a, 0)) + QPoint(0, 20));
    EXPECT_TRUE(drag.DragStarted());
    EXPECT_EQ(drag.CurrentCursor(), CKVTButtonDragController::IDC_DELETE);
    Move(a, b->mapToGlobal(Centre(b, 1)));
    EXPECT_FALSE(drag.IsOutside());
    EXPECT_EQ(drag.CurrentCursor(), CKVTButtonDragController::IDC_MOVE);
    QKeyEvent ctrl(QEvent::KeyPress, Qt::Key_Control, Qt::ControlModifier);
    QApplication::sendEvent(a, &ctrl);
    EXPECT_EQ(drag.CurrentCursor(), CKVTButtonDragController::IDC_COPY);
    PressKey(a, Qt::Key_Escape);
    EXPECT_TRUE(drag.EscapePressed());
    // The next drag starts with the flags reset, whatever the last one left.
    QTest::mousePress(a, Qt::LeftButton, {}, Centre(a, 1));
    EXPECT_TRUE(drag.IsOutside());
    EXPECT_FALSE(drag.EscapePressed());
    EXPECT_FALSE(drag.DragStarted());
    QTest::mouseRelease(a, Qt::LeftButton, {}, Centre(a, 1));
    EXPECT_FALSE(drag.IsArmed());
    EXPECT_EQ(a->Items().selected, 1); // a plain click selects
}

TEST_F(Customize, AFailedDropKeepsTheButton)
{
    // The drag-over accepts; the insert then refuses the command.
    QTest::mousePress(a, Qt::LeftButton, {}, Centre(a, 1));
    Move(a, a->mapToGlobal(Centre(a, 1)) + QPoint(0, 20));
    Move(a, b->mapToGlobal(Centre(b, 1)));
    EXPECT_EQ(CKVTButtonDragController::Instance().CurrentEffect(), int(DROPEFFECT_MOVE));
    CKVTToolbarShared::SetNonPermittedCommands({ID_FILE_OPEN});
    Release(a, b->mapToGlobal(Centre(b, 1)));
    CKVTToolbarShared::SetNonPermittedCommands({});
    EXPECT_EQ(Ids(a), (QStringList{N(ID_FILE_NEW), N(ID_FILE_OPEN), N(ID_FILE_SAVE), "-", N(ID_EDIT_CUT)}));
    EXPECT_EQ(Ids(b), (QStringList{N(ID_FILE_NEW), N(ID_FILE_OPEN), N(ID_FILE_SAVE)}));
}

TEST_F(Customize, TheAltDragAlwaysEndsItsCustomisation)
{
    CKVTToolbarShared::SetCustomizeMode(false);
    CKVTToolbarShared::SetAltCustomization(true);
    // Cancelled.
    QTest::mousePress(a, Qt::LeftButton, Qt::AltModifier, Centre(a, 0));
    Move(a, a->mapToGlobal(Centre(a, 0)) + QPoint(0, 20), Qt::AltModifier);
    EXPECT_TRUE(CKVTToolbarShared::IsCustomizeMode());
    EXPECT_TRUE(CKVTToolbarShared::IsTempCustomizeMode());
    PressKey(a, Qt::Key_Escape);
    EXPECT_FALSE(CKVTToolbarShared::IsCustomizeMode());
    EXPECT_FALSE(CKVTToolbarShared::IsTempCustomizeMode());
    // The grab lost.
    QTest::mousePress(a, Qt::LeftButton, Qt::AltModifier, Centre(a, 0));
    Move(a, a->mapToGlobal(Centre(a, 0)) + QPoint(0, 20), Qt::AltModifier);
    b->grabMouse();
    Move(a, b->mapToGlobal(Centre(b, 0)), Qt::AltModifier);
    b->releaseMouse();
    EXPECT_FALSE(CKVTButtonDragController::Instance().IsArmed());
    EXPECT_FALSE(CKVTToolbarShared::IsCustomizeMode());
    // The source bar destroyed meanwhile.
    QTest::mousePress(a, Qt::LeftButton, Qt::AltModifier, Centre(a, 0));
    Move(a, a->mapToGlobal(Centre(a, 0)) + QPoint(0, 20), Qt::AltModifier);
    delete a;
    a = nullptr;
    EXPECT_FALSE(CKVTButtonDragController::Instance().IsArmed());
    EXPECT_FALSE(CKVTToolbarShared::IsCustomizeMode());
    EXPECT_FALSE(CKVTToolbarShared::IsTempCustomizeMode());
    // A finished Alt-drag moves the button and leaves the mode off.
    DragTo(b, Centre(b, 0), b, Centre(b, 2) + QPoint(8, 0), Qt::AltModifier);
    EXPECT_EQ(Ids(b), (QStringList{N(ID_FILE_OPEN), N(ID_FILE_SAVE), N(ID_FILE_NEW)}));
    EXPECT_FALSE(CKVTToolbarShared::IsCustomizeMode());
}

TEST_F(Customize, TheWidthDragOfAComboBox)
{
    auto combo = std::make_unique<CKVTToolbarComboBoxButton>(40001, -1, CKVTToolbarComboBoxButton::DefaultStyle, 100);
    CKVTToolbarComboBoxButton* c = combo.get();
    ASSERT_EQ(a->InsertButton(std::move(combo), 0), 0);
    a->AdjustLayout();
    const QRect r = a->GetItemRect(0);
    EXPECT_EQ(r.width(), 100);
    const QPoint edge(r.left() + r.width() - 3, r.center().y());
    // Escape cancels.
    QTest::mousePress(a, Qt::LeftButton, {}, edge);
    EXPECT_TRUE(a->Customizer().IsResizing());
    QMouseEvent move(QEvent::MouseMove, QPointF(edge + QPoint(40, 0)), a->mapToGlobal(QPointF(edge + QPoint(40, 0))),
                     Qt::NoButton, Qt::LeftButton, {});
    QApplication::sendEvent(a, &move);
    PressKey(a, Qt::Key_Escape);
    EXPECT_FALSE(a->Customizer().IsResizing());
    QTest::mouseRelease(a, Qt::LeftButton, {}, edge + QPoint(40, 0));
    EXPECT_EQ(c->GetWidth(), 100);
    // Past the release rule: the new width.
    QTest::mousePress(a, Qt::LeftButton, {}, edge);
    QTest::mouseRelease(a, Qt::LeftButton, {}, QPoint(r.left() + 150, edge.y()));
    EXPECT_EQ(c->GetWidth(), 150);
    EXPECT_EQ(a->GetItemRect(0).width(), 150);
    // Within 6 pixels of the old edge: no change.
    QTest::mousePress(a, Qt::LeftButton, {}, QPoint(r.left() + 148, edge.y()));
    QTest::mouseRelease(a, Qt::LeftButton, {}, QPoint(r.left() + 154, edge.y()));
    EXPECT_EQ(c->GetWidth(), 150);
}

TEST_F(Customize, ACommandListButtonWithoutImageOrTextAsksForThemAndCancelDiscardsIt)
{
    QWidget list(frame);
    list.setGeometry(0, 150, 100, 40);
    list.show();
    CKVTToolbarButton button(40010, -1);
    button.m_extra = true;
    auto data = std::make_unique<QMimeData>();
    ASSERT_TRUE(button.CopyToClipboard(data.get()));
    bool done = false;
    auto& drag = CKVTButtonDragController::Instance();
    const QPoint start = list.mapToGlobal(QPoint(10, 10));
    ASSERT_TRUE(drag.Start(&list, std::move(data), DROPEFFECT_COPY | DROPEFFECT_MOVE,
                           CKVTButtonDragController::StartRectAround(start),
                           [&done](const CKVTButtonDragController::Result& r) {
                               done = true;
                               EXPECT_EQ(r.effect, int(DROPEFFECT_NONE));
                           }));
    Move(&list, start + QPoint(0, 20));
    Move(&list, b->mapToGlobal(Centre(b, 2) + QPoint(8, 0)));
    bool asked = false;
    OnNextModal<QDialog>([&asked](QDialog* d) {
        asked = d->objectName() == QStringLiteral("D16132") || d->windowTitle() == QStringLiteral("Vzhled tlačítka");
        d->reject();
    });
    Release(&list, b->mapToGlobal(Centre(b, 2) + QPoint(8, 0)));
    EXPECT_TRUE(done);
    EXPECT_TRUE(asked);
    EXPECT_EQ(Ids(b), (QStringList{N(ID_FILE_NEW), N(ID_FILE_OPEN), N(ID_FILE_SAVE)}));
}

// --- popups and the menu bar -------------------------------------------------------

class CustomizeMenus : public menutest::MenuWorld
{
protected:
    static void Move(QWidget* source, QPoint global, Qt::KeyboardModifiers m = {})
    {
        QMouseEvent me(QEvent::MouseMove, source->mapFromGlobal(global), global, Qt::NoButton, Qt::LeftButton, m);
        QApplication::sendEvent(source, &me);
    }
    static void Release(QWidget* source, QPoint global, Qt::KeyboardModifiers m = {})
    {
        QMouseEvent me(QEvent::MouseButtonRelease, source->mapFromGlobal(global), global, Qt::LeftButton,
                       Qt::NoButton, m);
        QApplication::sendEvent(source, &me);
    }
};

TEST_F(CustomizeMenus, ADropOntoAnOpenPopupMakesAMenuItem)
{
    auto* tools = new CKVTToolBar(frame->centralWidget());
    tools->CreateEx(frame->centralWidget(), 0x830, 0x50402834, QMargins(1, 1, 1, 1), 0xE800);
    tools->setGeometry(300, 300, 200, 30);
    tools->show();
    tools->SetButtons(std::vector<uint32_t>{ID_EDIT_UNDO}.data(), 1);
    tools->AdjustLayout();
    CKVTToolbarShared::SetCustomizeMode(true);
    auto* file = static_cast<CKVTToolbarMenuButton*>(bar->GetButton(0));
    file->OnClick(bar, false);
    CKVTPopupMenu* popup = file->GetPopupMenu();
    ASSERT_NE(popup, nullptr);
    CKVTPopupMenuBar* pb = popup->GetMenuBar();
    const int count = pb->Items().Count();
    const QPoint from = tools->GetItemRect(0).center();
    QTest::mousePress(tools, Qt::LeftButton, {}, from);
    Move(tools, tools->mapToGlobal(from) + QPoint(0, -20));
    const QPoint into = pb->mapToGlobal(pb->GetItemRect(0).center() + QPoint(0, 6));
    Move(tools, into);
    EXPECT_EQ(CKVTButtonDragController::Instance().CurrentTarget(), pb);
    Release(tools, into);
    ASSERT_EQ(pb->Items().Count(), count + 1);
    auto* item = dynamic_cast<CKVTToolbarMenuButton*>(pb->GetButton(1));
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->m_id, ID_EDIT_UNDO);
    EXPECT_TRUE(item->m_showText);
    EXPECT_EQ(tools->Items().Count(), 0); // moved
}

TEST_F(CustomizeMenus, AnAltDragOntoTheMenuBarOfAMaximisedChildStaysInTheMenuPart)
{
    auto* child = new QMdiSubWindow;
    child->setWidget(new QWidget);
    frame->MdiArea()->addSubWindow(child);
    child->showMaximized();
    bar->SetMaximizeMode(true, child);
    bar->AdjustLayout();
    ASSERT_EQ(bar->CaptionButtonCount(), 3);
    CKVTToolbarShared::SetAltCustomization(true);
    const int items = bar->ItemEnd() - bar->FirstItem();
    // Onto the system-menu button: it lands after it.
    const QPoint second = bar->GetItemRect(2).center();
    QTest::mousePress(bar, Qt::LeftButton, Qt::AltModifier, second);
    Move(bar, bar->mapToGlobal(second) + QPoint(0, 30), Qt::AltModifier);
    const QPoint onSystem = bar->mapToGlobal(bar->GetItemRect(0).center());
    Move(bar, onSystem, Qt::AltModifier);
    Release(bar, onSystem, Qt::AltModifier);
    EXPECT_NE(dynamic_cast<CKVTToolbarSystemMenuButton*>(bar->GetButton(0)), nullptr);
    EXPECT_EQ(bar->ItemEnd() - bar->FirstItem(), items);
    // Onto the caption buttons: it lands before them.
    const QPoint first = bar->GetItemRect(1).center();
    QTest::mousePress(bar, Qt::LeftButton, Qt::AltModifier, first);
    Move(bar, bar->mapToGlobal(first) + QPoint(0, 30), Qt::AltModifier);
    const QPoint onClose = bar->mapToGlobal(bar->GetItemRect(bar->Items().Count() - 1).center());
    Move(bar, onClose, Qt::AltModifier);
    Release(bar, onClose, Qt::AltModifier);
    EXPECT_EQ(bar->ItemEnd() - bar->FirstItem(), items);
    EXPECT_NE(dynamic_cast<CKVTToolbarMenuButtonsButton*>(bar->GetButton(bar->Items().Count() - 1)),
              nullptr);
    EXPECT_EQ(bar->CaptionButtonCount(), 3);
    for (int i = bar->FirstItem(); i < bar->ItemEnd(); ++i)
        EXPECT_EQ(dynamic_cast<CKVTToolbarMenuButtonsButton*>(bar->GetButton(i)), nullptr);
    EXPECT_FALSE(CKVTToolbarShared::IsCustomizeMode());
    CKVTToolbarShared::SetAltCustomization(false);
}

} // namespace
