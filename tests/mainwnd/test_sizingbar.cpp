// The application's sizing bars: the row engine over plain records, the
// insets and edges of a docked bar, an edge drag between two bars of the
// bottom row in a library frame, the limits, and the stored sizes.
#include "mainwnd/SizingControlBar.h"
#include "platform/sys/Registry.h"
#include "platform/ui/App.h"
#include "tests/mainwnd/mainwnd_env.h"
#include "tests/support/ui/UiTest.h"
#include "uilib/KVTDocking.h"
#include "uilib/KVTFrameWnd.h"
#include "uilib/KVTMenuBar.h"

#include <QListWidget>
#include <QTest>

#include <gtest/gtest.h>

using namespace mainwndtest;
using namespace testsupport::ui;
using sizing::RowBar;

namespace {

RowBar Bar(int length, int thickness = 100, int minLength = 33)
{
    RowBar b;
    b.minLength = minLength;
    b.length = length;
    b.thickness = thickness;
    return b;
}

class SizingBars : public RegistryTest
{
protected:
    std::unique_ptr<ui::Application> app = std::make_unique<ui::Application>();
    std::unique_ptr<CKVTMDIFrameWnd> frame;
    CSizingControlBarCF* a = nullptr;
    CSizingControlBarCF* b = nullptr;

    CSizingControlBarCF* Make(uint32_t id, const QString& title)
    {
        auto* bar = new CSizingControlBarCF(frame.get());
        EXPECT_TRUE(bar->Create(title, frame.get(), 300, 150, true, id, 0x50000000 | 0x10034 | 0x8000));
        bar->SetStateWord(bar->State() | CSizingControlBar::EdgesTakeRoom);
        auto* content = new QListWidget(bar);
        content->setGeometry(bar->contentsRect());
        bar->EnableDocking(ui::CBRS_ALIGN_ANY);
        return bar;
    }
    void Build()
    {
        frame = std::make_unique<CKVTMDIFrameWnd>();
        frame->setGeometry(100, 100, 1000, 600);
        ASSERT_TRUE(frame->LoadFrame(1, 0));
        frame->EnableDocking(ui::CBRS_ALIGN_ANY);
        frame->show();
        a = Make(0xE822, QStringLiteral("Výstup"));
        b = Make(0xE821, QStringLiteral("Sledování"));
        frame->DockControlBar(a, ui::DOCKBAR_BOTTOM);
        frame->DockControlBarLeftOf(b, a);
        frame->RecalcLayout();
        frame->RecalcLayout();
        QApplication::processEvents();
    }
    void TearDown() override
    {
        frame.reset();
        app.reset();
        RegistryTest::TearDown();
    }
    // A drag by the given amount in screen coordinates (the bar may move
    // meanwhile, as the row grows).
    void DragEdge(CSizingControlBar* bar, int hit, QPoint by)
    {
        const QPoint from = bar->EdgeRect(hit).center();
        ASSERT_EQ(bar->HitTest(from), hit);
        const QPoint g0 = bar->mapToGlobal(from);
        QTest::mousePress(bar, Qt::LeftButton, {}, from);
        ASSERT_TRUE(bar->IsTracking());
        for (int i = 1; i <= 3; ++i) {
            const QPoint g = g0 + by * i / 3;
            QMouseEvent move(QEvent::MouseMove, bar->mapFromGlobal(g), g, Qt::NoButton, Qt::LeftButton, {});
            QApplication::sendEvent(bar, &move);
        }
        const QPoint end = g0 + by;
        QMouseEvent up(QEvent::MouseButtonRelease, bar->mapFromGlobal(end), end, Qt::LeftButton, Qt::NoButton, {});
        QApplication::sendEvent(bar, &up);
        EXPECT_FALSE(bar->IsTracking());
    }
};

} // namespace

TEST(RowEngine, TheDifferenceIsSharedPixelByPixel)
{
    std::vector<RowBar> row{Bar(300, 100), Bar(200, 140)};
    const sizing::RowAdjust r = sizing::AdjustRowSizes(row, 600);
    EXPECT_TRUE(r.ok);
    EXPECT_TRUE(r.changed);
    EXPECT_EQ(row[0].length, 352);
    EXPECT_EQ(row[1].length, 252);
    EXPECT_EQ(row[0].thickness, 140);   // the common thickness
    EXPECT_EQ(row[1].thickness, 140);

    // Shrinking stops at the minimum; a bar just docked keeps its length.
    std::vector<RowBar> shrink{Bar(300, 100, 290), Bar(300), Bar(100)};
    shrink[2].justDocked = true;
    sizing::AdjustRowSizes(shrink, 500);
    EXPECT_EQ(shrink[0].length, 290);
    EXPECT_EQ(shrink[1].length, 116);   // 194 to give up: 10 by the first, the rest by the second
    EXPECT_EQ(shrink[2].length, 100);
    EXPECT_FALSE(shrink[2].justDocked);
    // Once the others are at their minimum, the bar just docked gives way
    // too: the row ends at its length.
    std::vector<RowBar> newcomer{Bar(300, 100, 290), Bar(400)};
    newcomer[1].justDocked = true;
    sizing::AdjustRowSizes(newcomer, 500);
    EXPECT_EQ(newcomer[0].length, 290);
    EXPECT_EQ(newcomer[1].length, 214);

    // Another kind of bar keeps its length and takes room.
    std::vector<RowBar> mixed{Bar(100), Bar(50)};
    mixed[1].sizing = false;
    mixed[1].minLength = 50;
    sizing::AdjustRowSizes(mixed, 400);
    EXPECT_EQ(mixed[0].length, 354);   // 400 - (50 - 2) - (100 - 2) more
    EXPECT_EQ(mixed[1].length, 50);
}

// The reported side: two bars, then a long one docked beside them.  It
// takes no more than an equal share, and the others keep a usable body
// instead of shrinking to their captions.
TEST(RowEngine, ABarDockedBesideOthersTakesAtMostAnEqualShare)
{
    std::vector<RowBar> row{Bar(500, 200, 32), Bar(200, 200, 32), Bar(500, 200, 32)};
    row[2].justDocked = true;
    sizing::AdjustRowSizes(row, 540);
    EXPECT_LE(row[2].length, 540 / 3 + 2);
    int total = 0;
    for (const RowBar& b : row) {
        EXPECT_GE(b.length, 32 + sizing::kUsableBody);
        total += b.length - 2;
    }
    EXPECT_EQ(total, 540);
    // A row too short for usable bodies: equal shares, never below the minimum.
    std::vector<RowBar> tight{Bar(300, 200, 32), Bar(300, 200, 32), Bar(300, 200, 32)};
    tight[0].justDocked = true;
    sizing::AdjustRowSizes(tight, 150);
    for (const RowBar& b : tight)
        EXPECT_EQ(b.length, 52);
}

TEST(RowEngine, ATooLongRowBreaksAndALoneBarGetsItsMinimum)
{
    std::vector<RowBar> row{Bar(300, 100, 250), Bar(300, 100, 250), Bar(300, 100, 250)};
    const sizing::RowAdjust r = sizing::AdjustRowSizes(row, 600);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.breakBefore, 2);

    std::vector<RowBar> lone{Bar(300, 100, 250)};
    const sizing::RowAdjust l = sizing::AdjustRowSizes(lone, 100);
    EXPECT_TRUE(l.ok);
    EXPECT_EQ(lone[0].length, 250);
}

TEST_F(SizingBars, TwoBottomBarsShareTheRowAndHaveTheirEdgesAndInsets)
{
    Build();
    CKVTToolDockBar* bottom = frame->Helper().Site(ui::DOCKBAR_BOTTOM);
    ASSERT_NE(bottom, nullptr);
    EXPECT_EQ(a->DockBarId(), ui::DOCKBAR_BOTTOM);
    EXPECT_EQ(b->geometry().top(), a->geometry().top());
    EXPECT_LT(a->geometry().left(), b->geometry().left());
    // The row is fitted to the whole length.
    EXPECT_EQ(a->width() + b->width(), bottom->width());
    EXPECT_EQ(a->height(), b->height());
    // Bottom: the top edge; the first bar the trailing edge, the second the
    // leading one.
    EXPECT_EQ(a->State() & 0xF, uint32_t(CSizingControlBar::EdgeTop | CSizingControlBar::EdgeRight));
    EXPECT_EQ(b->State() & 0xF, uint32_t(CSizingControlBar::EdgeTop | CSizingControlBar::EdgeLeft));
    // 3 + 2 + the caption on the left; 5 + the edge at the top; 3 + 2 (+ 5
    // for the trailing edge) right; 3 + 2 at the bottom.
    EXPECT_EQ(a->Insets(), QMargins(3 + 2 + 12, 5 + 5, 3 + 2 + 5, 3 + 2));
    EXPECT_EQ(b->Insets(), QMargins(3 + 2 + 12 + 5, 5 + 5, 3 + 2, 3 + 2));
    EXPECT_EQ(a->HitTest(a->CloseButtonRect().center()), sizing::HitClose);
}

TEST_F(SizingBars, DraggingTheEdgeBetweenThemMovesLengthAndKeepsTheHeightsEqual)
{
    Build();
    const int wa = a->width(), wb = b->width();
    DragEdge(a, sizing::HitRight, QPoint(30, 0));
    EXPECT_EQ(a->width(), wa + 30);
    EXPECT_EQ(b->width(), wb - 30);
    EXPECT_EQ(a->height(), b->height());

    // The top edge sets the row's thickness for both.
    const int h = a->height();
    DragEdge(b, sizing::HitTop, QPoint(0, -40));
    EXPECT_EQ(a->height(), h + 40);
    EXPECT_EQ(b->height(), h + 40);

    // Nothing goes below the minimum.
    DragEdge(a, sizing::HitRight, QPoint(-2000, 0));
    EXPECT_EQ(a->HorzSize().width(), 33);
    DragEdge(a, sizing::HitTop, QPoint(0, 2000));
    EXPECT_EQ(a->HorzSize().height(), 32);
    EXPECT_EQ(b->HorzSize().height(), 32);
}

TEST_F(SizingBars, AFloatingBarHasNoSizingEdgesAndTheCloseButtonHides)
{
    Build();
    frame->FloatControlBar(a, frame->mapToGlobal(QPoint(200, 200)));
    EXPECT_TRUE(a->IsFloating());
    EXPECT_EQ(a->State() & 0xF, 0u);
    for (int hit : {sizing::HitLeft, sizing::HitTop, sizing::HitRight, sizing::HitBottom})
        EXPECT_TRUE(a->EdgeRect(hit).isEmpty());
    EXPECT_EQ(a->Insets(), QMargins(3, 5, 3, 3));
    // b is alone in the row now: it has only the edge towards the client.
    frame->RecalcLayout();
    EXPECT_EQ(b->State() & 0xF, uint32_t(CSizingControlBar::EdgeTop));
    const QPoint close = b->CloseButtonRect().center();
    QTest::mouseClick(b, Qt::LeftButton, {}, close);
    EXPECT_FALSE(b->IsVisible());
}

TEST_F(SizingBars, TheBarsOwnStateRoundTrips)
{
    Build();
    a->SetHorzSize(QSize(410, 120));
    a->SetVertSize(QSize(150, 300));
    a->SetFloatSize(QSize(250, 260));
    ASSERT_TRUE(a->SaveState(QStringLiteral("Bars")));
    EXPECT_EQ(sys::Profile::GetInt(u"Bars-SCBar-59426", u"sizeHorzCX", 0), 410);
    sys::Profile::WriteInt(u"Bars-SCBar-59426", u"sizeVertCX", 5);   // below the minimum
    a->SetHorzSize(QSize(1, 1));
    a->SetFloatSize(QSize(1, 1));
    ASSERT_TRUE(a->LoadState(QStringLiteral("Bars")));
    EXPECT_EQ(a->HorzSize(), QSize(410, 120));
    EXPECT_EQ(a->VertSize(), QSize(33, 300));
    EXPECT_EQ(a->FloatSize(), QSize(250, 260));
    // Nothing stored: the sizes stay.
    ASSERT_TRUE(b->LoadState(QStringLiteral("Bars")));
    EXPECT_EQ(b->FloatSize(), QSize(300, 150));
}
