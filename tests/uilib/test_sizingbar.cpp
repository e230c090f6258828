// The library's sizing bars in a frame: two bars sharing the bottom row,
// an edge drag, hide, expand and the stored sizes; the dialog bar.

#include "DockWorld.h"

#include "platform/sys/Registry.h"
#include "uilib/KVTSizingControlBar.h"

#include <QCheckBox>
#include <QListWidget>
#include <QPushButton>

using namespace docktest;

namespace {

class SizingWorld : public DockWorld
{
protected:
    std::unique_ptr<ui::Application> app = std::make_unique<ui::Application>();
    CKVTSizingControlBar* a = nullptr;
    CKVTSizingControlBar* b = nullptr;

    CKVTSizingControlBar* Make(uint32_t id, const QString& title)
    {
        auto* bar = new CKVTSizingControlBar(frame.get());
        EXPECT_TRUE(bar->Create(title, frame.get(), QSize(200, 120), true, id));
        bar->SetContent(new QListWidget);
        bar->EnableDocking(ui::CBRS_ALIGN_ANY);
        return bar;
    }
    void BuildBars()
    {
        Build();
        a = Make(9410, QStringLiteral("Seznam A"));
        b = Make(9411, QStringLiteral("Seznam B"));
        frame->DockControlBar(a, ui::DOCKBAR_BOTTOM);
        frame->DockControlBarLeftOf(b, a);
        frame->RecalcLayout();
        frame->RecalcLayout();
    }
    void TearDown() override
    {
        DockWorld::TearDown();
        app.reset();
    }
};

} // namespace

TEST_F(SizingWorld, TwoBarsShareTheRowAndAnEdgeDragMovesLengthBetweenThem)
{
    BuildBars();
    CKVTToolDockBar* bottom = Site(ui::DOCKBAR_BOTTOM);
    EXPECT_EQ(b->geometry().top(), a->geometry().top());
    EXPECT_EQ(b->geometry().left(), a->geometry().right() + 1);
    // The row is fitted to the whole length.
    EXPECT_EQ(a->width() + b->width(), bottom->width());
    EXPECT_EQ(a->height(), 120);
    EXPECT_TRUE(a->EdgeMask() & 2);   // towards the next bar
    EXPECT_TRUE(b->EdgeMask() & 1);
    EXPECT_TRUE(a->EdgeMask() & 4);   // towards the client area

    const int wa = a->width(), wb = b->width();
    const QPoint edge = a->EdgeRect(dock::HitRight).center();
    ASSERT_EQ(a->HitTest(edge), dock::HitRight);
    QTest::mousePress(a, Qt::LeftButton, {}, edge);
    QMouseEvent move(QEvent::MouseMove, edge + QPoint(30, 0), a->mapToGlobal(edge + QPoint(30, 0)), Qt::NoButton,
                     Qt::LeftButton, {});
    QApplication::sendEvent(a, &move);
    EXPECT_TRUE(a->IsTracking());
    QTest::mouseRelease(a, Qt::LeftButton, {}, edge + QPoint(30, 0));
    EXPECT_FALSE(a->IsTracking());
    EXPECT_EQ(a->width(), wa + 30);
    EXPECT_EQ(b->width(), wb - 30);

    // The top edge (facing the client) sets the whole row's height.
    const QPoint top = a->EdgeRect(dock::HitTop).center();
    QTest::mousePress(a, Qt::LeftButton, {}, top);
    QMouseEvent up(QEvent::MouseMove, top - QPoint(0, 40), a->mapToGlobal(top - QPoint(0, 40)), Qt::NoButton,
                   Qt::LeftButton, {});
    QApplication::sendEvent(a, &up);
    QTest::mouseRelease(a, Qt::LeftButton, {}, top - QPoint(0, 40));
    EXPECT_EQ(a->height(), 160);
    EXPECT_EQ(b->height(), 160);
}

TEST_F(SizingWorld, HideExpandAndTheStoredSizes)
{
    BuildBars();
    // Expand: the bar takes the row, the other its minimum.
    QTest::mouseClick(a, Qt::LeftButton, {}, a->ButtonRect(1).center());
    frame->RecalcLayout();
    EXPECT_TRUE(a->IsExpanded());
    EXPECT_EQ(b->width(), 33);
    const int expandedWidth = a->width();

    // Saving while expanded writes the size before the expansion.
    a->SaveState(QStringLiteral("KVTWorkspace\\SizingBars"));
    EXPECT_EQ(sys::Profile::GetInt(u"KVTWorkspace\\SizingBars-SCBar-9410", u"Expanded", 0), 1);
    EXPECT_LT(sys::Profile::GetInt(u"KVTWorkspace\\SizingBars-SCBar-9410", u"sizeHorzCX", 0), expandedWidth);
    sys::Profile::WriteInt(u"KVTWorkspace\\SizingBars-SCBar-9411", u"sizeHorzCY", 0);
    sys::Profile::WriteInt(u"KVTWorkspace\\SizingBars-SCBar-9411", u"sizeVertCX", 10);
    b->LoadState(QStringLiteral("KVTWorkspace\\SizingBars"));
    EXPECT_EQ(b->Record().horz.cy, 32);
    EXPECT_EQ(b->Record().vert.cx, 33);
    // Without a path the base section is the class's.
    a->SaveState(QString());
    EXPECT_EQ(sys::Profile::GetInt(u"KVTSizingControlBar-SCBar-9410", u"Expanded", 0), 1);

    // Collapse, then hide through the caption button.
    QTest::mouseClick(a, Qt::LeftButton, {}, a->ButtonRect(1).center());
    EXPECT_FALSE(a->IsExpanded());
    QTest::mouseClick(b, Qt::LeftButton, {}, b->ButtonRect(0).center());
    EXPECT_FALSE(b->IsVisible());
    frame->RecalcLayout();
    EXPECT_TRUE(a->CannotExpand());
    // The registry of live bars forgets a destroyed one.
    const size_t live = CKVTSizingControlBar::AllBars().size();
    delete b;
    EXPECT_EQ(CKVTSizingControlBar::AllBars().size(), live - 1);
    CKVTSizingControlBar::SaveAllStates(QStringLiteral("KVTWorkspace\\SizingBars"));
}

TEST_F(SizingWorld, FittingAndExpansionUseOneRowLengthSoTheNextFitKeepsTheExpansion)
{
    // A vertical row, where the length is the layout height - 2.
    Build();
    a = Make(9410, QStringLiteral("Seznam A"));
    b = Make(9411, QStringLiteral("Seznam B"));
    frame->DockControlBar(a, ui::DOCKBAR_LEFT);
    frame->DockControlBarLeftOf(b, a);
    frame->RecalcLayout();
    frame->RecalcLayout();
    ASSERT_EQ(a->geometry().left(), b->geometry().left());
    const int length = Site(ui::DOCKBAR_LEFT)->LayoutRect().height() - 2;
    EXPECT_EQ(a->Record().vert.cy + b->Record().vert.cy, length);

    a->ToggleExpanded();
    frame->RecalcLayout();
    ASSERT_TRUE(a->IsExpanded());
    EXPECT_EQ(b->Record().vert.cy, 32);
    EXPECT_EQ(a->Record().vert.cy, length - 32);
    const int ha = a->height(), hb = b->height();
    for (int i = 0; i < 3; ++i)
        frame->RecalcLayout();
    EXPECT_TRUE(a->IsExpanded());
    EXPECT_EQ(a->Record().vert.cy, length - 32);
    EXPECT_EQ(a->height(), ha);
    EXPECT_EQ(b->height(), hb);
}

TEST_F(SizingWorld, AStoredExpansionIsAppliedAtTheFirstLayoutInARow)
{
    Build();
    sys::Profile::WriteInt(u"P-SCBar-9410", u"Expanded", 1);
    a = Make(9410, QStringLiteral("Seznam A"));
    a->LoadState(QStringLiteral("P"));
    EXPECT_FALSE(a->IsExpanded());   // not while its row is about to change
    b = Make(9411, QStringLiteral("Seznam B"));
    frame->DockControlBar(a, ui::DOCKBAR_BOTTOM);
    frame->DockControlBarLeftOf(b, a);
    frame->RecalcLayout();
    EXPECT_TRUE(a->IsExpanded());
    EXPECT_EQ(b->width(), 33);
}

TEST_F(SizingWorld, DialogBarButtonsFollowTheirUpdateHandlers)
{
    Build();
    bool enable = false;
    frame->MapCommand(9401, [] {});
    frame->MapUpdate(9401, [&](ui::CmdUI& cmd) { cmd.Enable(enable); });
    frame->MapUpdate(9402, [](ui::CmdUI& cmd) { cmd.SetCheck(1); });
    app->SetMainWnd(frame.get());
    auto* bar = new CKVTDialogBar(frame.get());
    ASSERT_TRUE(bar->Create(QStringLiteral("Dialog"), frame.get(), true, 9400,
                            ui::WS_CHILD | ui::WS_VISIBLE | ui::CBRS_ALIGN_LEFT, 9420));
    frame->DockControlBar(bar, ui::DOCKBAR_LEFT);
    EXPECT_TRUE(bar->SetOccDialogInfo(nullptr));
    auto* build = FindChild<QPushButton>(bar, "c9401");
    auto* debug = FindChild<QCheckBox>(bar, "c9402");
    auto* none = FindChild<QPushButton>(bar, "c9403");
    ASSERT_TRUE(build && debug && none);
    bar->OnUpdateCmdUI();
    EXPECT_FALSE(build->isEnabled());
    EXPECT_TRUE(debug->isChecked());
    EXPECT_FALSE(none->isEnabled());   // no handler
    enable = true;
    bar->OnUpdateCmdUI();
    EXPECT_TRUE(build->isEnabled());
    // Without CBRS_SIZE_DYNAMIC the bar keeps the form's size.
    EXPECT_EQ(bar->CalcFixedLayout(false, false).height(),
              bar->TemplateSize().height() + bar->contentsMargins().top() + bar->contentsMargins().bottom());
}
