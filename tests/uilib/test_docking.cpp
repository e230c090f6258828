// Docking of the library's bars: drags between the sites and floating,
// the floating frame, the drop target and the toolbar context menu.

#include "DockWorld.h"
#include "res/CommandIds.h"
#include "uilib/KVTPopupMenu.h"

#include <QMimeData>
#include <QTimer>
#include <QUrl>

using namespace docktest;

TEST_F(DockWorld, MenuBarTakesTheFirstRowAndTheToolbarsShareTheNext)
{
    Build();
    EXPECT_EQ(menuBar->parentWidget(), Site(ui::DOCKBAR_TOP));
    EXPECT_EQ(menuBar->geometry().top(), 0);
    EXPECT_EQ(menuBar->width(), Site(ui::DOCKBAR_TOP)->width());
    EXPECT_EQ(mainBar->geometry().top(), menuBar->geometry().bottom() + 1);
    EXPECT_EQ(debugBar->geometry().top(), mainBar->geometry().top());
    EXPECT_EQ(debugBar->geometry().left(), mainBar->geometry().right() + 1);
    // The centre lies below the sites.
    EXPECT_EQ(frame->MdiArea()->geometry().top(), Site(ui::DOCKBAR_TOP)->height());
}

TEST_F(DockWorld, GripperDragFloatsAndDroppingOnTheLeftDocksVertically)
{
    Build();
    const int debugLeft = debugBar->geometry().left();
    const QPoint grip(3, mainBar->height() / 2);
    DragTo(mainBar, grip, Global(frame->MdiArea(), QPoint(300, 250)));
    ASSERT_TRUE(mainBar->IsFloating());
    auto* mini = frame->Helper().MiniFrameOf(mainBar);
    ASSERT_NE(mini, nullptr);
    EXPECT_TRUE(mini->isVisible());
    EXPECT_EQ(mainBar->GetDockSiteId(), ui::DOCKBAR_FLOAT);
    // The debug bar keeps its place (the gap stays).
    EXPECT_EQ(debugBar->geometry().left(), debugLeft);

    // The caption dragged to the frame's left edge docks it there, upright.
    const QPoint caption(10, CKVTMiniDockFrameWnd::kBorder + 4);
    DragTo(mini, caption, Global(frame->MdiArea(), QPoint(2, 150)));
    EXPECT_FALSE(mainBar->IsFloating());
    EXPECT_EQ(mainBar->parentWidget(), Site(ui::DOCKBAR_LEFT));
    EXPECT_TRUE(mainBar->GetBarStyle() & ui::CBRS_ALIGN_LEFT);
    EXPECT_FALSE(mainBar->IsHorizontal());
    EXPECT_GT(mainBar->height(), mainBar->width());
    EXPECT_EQ(Site(ui::DOCKBAR_LEFT)->width(), mainBar->width());
}

TEST_F(DockWorld, EscapeCancelsAndCtrlFloats)
{
    Build();
    const QRect before = mainBar->geometry();
    const QPoint grip(3, mainBar->height() / 2);
    DragTo(mainBar, grip, Global(frame->MdiArea(), QPoint(300, 250)), {}, false);
    auto* ctx = static_cast<KvtDockContext*>(mainBar->GetDockContext());
    ASSERT_TRUE(ctx->IsTracking());
    EXPECT_EQ(ctx->TargetSite(), 0u);
    QTest::keyClick(mainBar, Qt::Key_Escape);
    EXPECT_FALSE(ctx->IsTracking());
    EXPECT_FALSE(mainBar->IsFloating());
    EXPECT_EQ(mainBar->geometry(), before);
    EXPECT_EQ(QWidget::mouseGrabber(), nullptr);

    // Over the top site the target is the site; with Ctrl it floats.
    const QPoint overTop = Global(Site(ui::DOCKBAR_TOP), QPoint(400, before.center().y()));
    DragTo(mainBar, grip, overTop, {}, false);
    EXPECT_EQ(ctx->TargetSite(), ui::DOCKBAR_TOP);
    QKeyEvent ctrl(QEvent::KeyPress, Qt::Key_Control, Qt::ControlModifier);
    QApplication::sendEvent(mainBar, &ctrl);
    EXPECT_EQ(ctx->TargetSite(), 0u);
    QMouseEvent up(QEvent::MouseButtonRelease, mainBar->mapFromGlobal(overTop), overTop, Qt::LeftButton,
                   Qt::NoButton, Qt::ControlModifier);
    QApplication::sendEvent(mainBar, &up);
    EXPECT_TRUE(mainBar->IsFloating());
}

TEST_F(DockWorld, FloatingToolbarResizesInWholeWrappedLayoutsAndTheCloseButtonHidesIt)
{
    Build();
    frame->FloatControlBar(mainBar, Global(frame->MdiArea(), QPoint(100, 100)), ui::CBRS_ALIGN_TOP);
    auto* mini = frame->Helper().MiniFrameOf(mainBar);
    ASSERT_NE(mini, nullptr);
    const QSize wide = mainBar->size();
    // Pull the right border far to the left: the bar wraps into more rows.
    const QPoint border(mini->width() - 1, mini->height() / 2);
    DragTo(mini, border, Global(mini, border) - QPoint(wide.width() / 2, 0));
    const QSize narrow = mainBar->size();
    EXPECT_LT(narrow.width(), wide.width());
    EXPECT_GT(narrow.height(), wide.height());
    // The size is one of the bar's own layouts.
    EXPECT_EQ(mainBar->CalcDynamicLayout(narrow.width(), ui::LM_HORZ), narrow);
    EXPECT_EQ(mini->size(), CKVTMiniDockFrameWnd::FrameSizeFor(narrow));

    // The caption follows the bar's text; the close button hides the bar.
    mainBar->setWindowTitle(QStringLiteral("Renamed"));
    ASSERT_TRUE(mini->CloseButtonShown());
    QTest::mouseClick(mini, Qt::LeftButton, {}, mini->CloseButtonRect().center());
    EXPECT_FALSE(mainBar->IsVisible());
    EXPECT_FALSE(mini->isVisible());
    // A double-click on the caption docks it where it was.
    frame->ShowControlBar(mainBar, true, false);
    QTest::mouseDClick(mini, Qt::LeftButton, {}, QPoint(10, CKVTMiniDockFrameWnd::kBorder + 4));
    EXPECT_FALSE(mainBar->IsFloating());
    EXPECT_EQ(mainBar->parentWidget(), Site(ui::DOCKBAR_TOP));
}

TEST_F(DockWorld, OutsideFileDragIsRefusedAndOnlyButtonsInCustomisationReachTheBar)
{
    Build();
    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(QStringLiteral("/tmp/a.plc"))});
    const QPoint at = mainBar->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &files, Qt::LeftButton, {});
    QApplication::sendEvent(mainBar, &enter);
    EXPECT_TRUE(enter.isAccepted());   // the frame never sees it
    QDragMoveEvent move(at, Qt::CopyAction, &files, Qt::LeftButton, {});
    QApplication::sendEvent(mainBar, &move);
    EXPECT_FALSE(move.isAccepted());

    EXPECT_FALSE(CKVTToolbarDropTarget::Accepts(&files));
    QMimeData button;
    button.setData(QString::fromLatin1(kKvtButtonClipboardFormat), QByteArray("x"));
    EXPECT_FALSE(CKVTToolbarDropTarget::Accepts(&button));
    CKVTToolbarShared::SetCustomizeMode(true);
    EXPECT_TRUE(CKVTToolbarDropTarget::Accepts(&button));
    EXPECT_FALSE(CKVTToolbarDropTarget::Accepts(&files));
    EXPECT_EQ(mainBar->Customizer().DropTarget().OnDropEx(&files, DROPEFFECT_COPY, at),
              DROPEFFECT_NONE);
}

TEST_F(DockWorld, ToolbarContextMenuTogglesBars)
{
    Build();
    frame->SetCustomizeCommand(ID_VIEW_CUSTOMIZE, QStringLiteral("Customize..."));
    const auto items = frame->Helper().ToolbarMenuItems();
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0].bar, menuBar);
    EXPECT_FALSE(items[0].enabled);
    EXPECT_EQ(items[1].bar, mainBar);
    EXPECT_TRUE(items[1].checked);

    // A right release on the site's empty area opens it (a library popup).
    CKVTToolDockBar* top = Site(ui::DOCKBAR_TOP);
    const QPoint empty(top->width() - 5, debugBar->geometry().center().y());
    QTest::mouseRelease(top, Qt::RightButton, {}, empty);
    CKVTPopupMenu* popup = CKVTPopupMenu::ActivePopup();
    ASSERT_NE(popup, nullptr);
    CKVTPopupMenuBar* pb = popup->GetMenuBar();
    QStringList texts;
    for (int i = 0; i < pb->Items().Count(); ++i)
        texts << (pb->GetButton(i)->IsSeparator() ? QString() : pb->GetButton(i)->m_text);
    EXPECT_EQ(texts, (QStringList{"Menu", "Standard", "Debug", "", "Customize..."}));
    ui::IdleUpdater::Instance().RunPass(); // no update handler touches its items
    EXPECT_TRUE(pb->Items().Style(0) & TBBS_DISABLED); // the menu bar cannot be closed
    EXPECT_TRUE(pb->Items().Style(2) & TBBS_CHECKED);
    popup->ChooseCommand(pb->Items().ItemID(2));
    QApplication::processEvents();
    EXPECT_EQ(CKVTPopupMenu::ActivePopup(), nullptr);
    EXPECT_FALSE(debugBar->IsVisible());
    // The show/hide commands of the bar ids.
    EXPECT_TRUE(frame->ExecuteCommand(0xE824));
    EXPECT_TRUE(debugBar->IsVisible());
    EXPECT_TRUE(frame->ExecuteCommand(0xE8F0));   // no such bar: nothing happens
}

TEST_F(DockWorld, LargeIconsGrowTheToolbarRowsAndTheDockLayoutAtOnce)
{
    Build();
    const int rowBefore = mainBar->height();
    const int siteBefore = Site(ui::DOCKBAR_TOP)->height();
    const int centreBefore = frame->MdiArea()->geometry().top();
    CKVTToolbarShared::SetLargeIcons(true);
    // Without a pass of the event loop: the bars, the site and the centre
    // already have their new places.
    const int button = mainBar->Layout().ButtonSize().height();
    EXPECT_GE(mainBar->height(), button);
    EXPECT_GE(mainBar->contentsRect().height(), button);
    EXPECT_GT(mainBar->height(), rowBefore);
    EXPECT_GE(debugBar->contentsRect().height(), debugBar->Layout().ButtonSize().height());
    EXPECT_GT(Site(ui::DOCKBAR_TOP)->height(), siteBefore);
    EXPECT_EQ(frame->MdiArea()->geometry().top(), Site(ui::DOCKBAR_TOP)->height());
    EXPECT_GT(frame->MdiArea()->geometry().top(), centreBefore);
    // Every visible button lies whole inside its bar.
    for (CKVTToolBar* bar : {mainBar, debugBar})
        for (int i = 0; i < bar->Items().Count(); ++i) {
            const QRect r = bar->GetItemRect(i);
            EXPECT_TRUE(r.isEmpty() || bar->rect().contains(r))
                << "button " << i << " of " << bar->windowTitle().toStdString();
        }

    // A floating bar's frame follows too; off gives the old sizes back.
    frame->FloatControlBar(debugBar, Global(frame->MdiArea(), QPoint(100, 100)), ui::CBRS_ALIGN_TOP);
    auto* mini = frame->Helper().MiniFrameOf(debugBar);
    ASSERT_NE(mini, nullptr);
    const QSize largeFloat = debugBar->size();
    CKVTToolbarShared::SetLargeIcons(false);
    EXPECT_LT(debugBar->height(), largeFloat.height());
    EXPECT_EQ(mini->size(), CKVTMiniDockFrameWnd::FrameSizeFor(debugBar->size()));
    EXPECT_EQ(mainBar->height(), rowBefore);
    EXPECT_EQ(Site(ui::DOCKBAR_TOP)->height(), siteBefore);
}
