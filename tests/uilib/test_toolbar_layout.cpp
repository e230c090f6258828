// The layout core of the toolbar: wrapping, sizing, placing and hit testing.

#include "platform/ui/BarStyle.h"
#include "uilib/KVTToolbarLayout.h"

#include <gtest/gtest.h>

namespace {

std::vector<KvtLayoutButton> Buttons(const char* pattern, QSize button = {23, 22})
{
    std::vector<KvtLayoutButton> out;
    for (const char* p = pattern; *p; ++p) {
        KvtLayoutButton b;
        b.separator = *p == '|';
        b.size = b.separator ? QSize(8, button.height()) : button;
        out.push_back(b);
    }
    return out;
}

KvtLayoutBar Bar(int length)
{
    KvtLayoutBar bar;
    bar.availableLength = length;
    return bar;
}

TEST(ToolbarLayout, WrapsAt100AndSeparatorsAtRowStartTakeNoRoom)
{
    auto b = Buttons("BBBBBBBB|B");
    EXPECT_EQ(KvtToolbarLayout::Wrap(b, 100), 3);
    EXPECT_TRUE(b[3].wrap); // 4 × 23 = 92: the fifth button starts a row
    EXPECT_TRUE(b[8].wrap); // the separator fits; the next button wraps it
    EXPECT_FALSE(b[7].wrap);
    EXPECT_EQ(KvtToolbarLayout::CalcSize(b, Bar(100)), QSize(92, 3 * 22 + 2 * 5));

    // A separator that starts a row (wrap flags as stored) takes no room.
    auto c = Buttons("BBBB|BB");
    for (auto& x : c)
        x.wrap = false;
    c[3].wrap = true;
    auto items = KvtToolbarLayout::Reposition(c, Bar(92));
    EXPECT_TRUE(items.empty());
    EXPECT_TRUE(c[4].hidden);             // the separator at the start of the second row
    EXPECT_EQ(c[4].rect.width(), 0);
    EXPECT_EQ(c[5].rect.left(), 0);
    EXPECT_EQ(c[5].rect.top(), 1 + 22 + 5); // the row pitch
    EXPECT_EQ(KvtToolbarLayout::CalcSize(c, Bar(92)), QSize(92, 22 + 5 + 22));
    EXPECT_EQ(KvtToolbarLayout::HitTest(c, QPoint(0, 1 + 27)), 5);

    auto d = Buttons("B||B");
    KvtToolbarLayout::Wrap(d, 1000);
    KvtToolbarLayout::Reposition(d, Bar(1000));
    EXPECT_FALSE(d[1].hidden);
    EXPECT_TRUE(d[2].hidden); // a separator after a separator
    EXPECT_EQ(d[3].rect.left(), 23 + 8);
}

TEST(ToolbarLayout, SizeToolBarHorizontalAndVertical)
{
    auto b = Buttons("BBBBBBBBBB");
    // Width 100 gives three rows; the narrowest width with three rows is 4 buttons.
    KvtToolbarLayout::SizeToolBar(b, 100, false, Bar(0));
    EXPECT_EQ(KvtToolbarLayout::CalcSize(b, Bar(0)).width(), 92);
    // A height of two rows: five buttons a row.
    KvtToolbarLayout::SizeToolBar(b, 22 + 5 + 22, true, Bar(0));
    EXPECT_EQ(KvtToolbarLayout::CalcSize(b, Bar(0)), QSize(115, 49));

    KvtLayoutBar vert = Bar(0);
    vert.horizontal = false;
    auto v = Buttons("BB|B");
    v[2].size = QSize(23, 8);
    KvtToolbarLayout::Wrap(v, 32767, false);
    KvtToolbarLayout::Reposition(v, vert);
    EXPECT_EQ(v[3].rect, QRect(1, 22 + 22 + 8, 23, 22));
    EXPECT_EQ(KvtToolbarLayout::CalcSize(v, vert), QSize(23, 74));
}

TEST(ToolbarLayout, OverflowAndHitTest)
{
    auto b = Buttons("BBB|BB");
    KvtLayoutBar bar = Bar(100);
    bar.overflowLength = 11;
    KvtToolbarLayout::Wrap(b, 32767);
    // 89 pixels are left: three buttons (69) and the separator (77) fit, the fourth button does not.
    EXPECT_EQ(KvtToolbarLayout::Reposition(b, bar), (std::vector<int>{4, 5}));
    EXPECT_EQ(KvtToolbarLayout::HitTest(b, QPoint(5, 5)), 0);
    EXPECT_EQ(KvtToolbarLayout::HitTest(b, QPoint(72, 5)), -1); // the separator
    EXPECT_EQ(KvtToolbarLayout::HitTest(b, b[4].rect.center()), -1); // hidden
    EXPECT_EQ(KvtToolbarLayout::HitTest(b, QPoint(500, 5)), -1);
}

TEST(ToolbarLayout, LabelRowsAreCentredAndLayoutModes)
{
    auto b = Buttons("BB");
    KvtLayoutBar bar = Bar(100);
    bar.textLabels = true;
    b[0].textBelow = b[1].textBelow = true;
    b[0].size.setHeight(40);
    KvtToolbarLayout::Wrap(b, 32767);
    KvtToolbarLayout::Reposition(b, bar);
    EXPECT_EQ(b[0].rect.left(), (100 - 46) / 2);
    EXPECT_EQ(b[0].rect.height(), 22); // the row height

    auto c = Buttons("BBBB");
    KvtLayoutBar dyn = Bar(0);
    dyn.barStyle = ui::CBRS_SIZE_DYNAMIC;
    dyn.borderAlong = 10;
    dyn.borderAcross = 4;
    EXPECT_EQ(KvtToolbarLayout::CalcLayout(c, ui::LM_HORZ | ui::LM_HORZDOCK, -1, dyn), QSize(102, 26));
    EXPECT_EQ(KvtToolbarLayout::CalcLayout(c, ui::LM_HORZ | ui::LM_HORZDOCK | ui::LM_STRETCH, -1, dyn),
              QSize(32767, 26));
    EXPECT_EQ(KvtToolbarLayout::CalcLayout(c, ui::LM_HORZ, 56, dyn), QSize(56, 22 + 5 + 22 + 4));
    dyn.barStyle |= ui::CBRS_FLOATING;
    KvtToolbarLayout::CalcLayout(c, ui::LM_HORZ | ui::LM_COMMIT, 56, dyn);
    EXPECT_EQ(dyn.mruWidth, 46);
}

} // namespace
