// The pure rules of printing: wrapping, page layout, margins and bands.

#include "editor/print/EdtPrintLayout.h"

#include <gtest/gtest.h>

#include <string>

using namespace edt;

namespace {
std::vector<std::u16string> Rows(const std::u16string& text, int width)
{
    std::vector<int> breaks;
    WrapPrintLine(text, width, [](char16_t) { return 10; }, breaks);
    std::vector<std::u16string> rows;
    int from = 0;
    for (int b : breaks) {
        rows.push_back(text.substr(size_t(from), size_t(b - from)));
        from = b;
    }
    rows.push_back(text.substr(size_t(from)));
    return rows;
}
} // namespace

TEST(PrintLayout, WrapsAtWordsAndInsideOverlongWords)
{
    EXPECT_EQ(Rows(u"", 100), std::vector<std::u16string>{u""});
    EXPECT_EQ(Rows(u"short", 100), std::vector<std::u16string>{u"short"});
    // Blanks hang over the edge; the next word starts the next row.
    EXPECT_EQ(Rows(u"aaaa bbbb cccc", 90), (std::vector<std::u16string>{u"aaaa bbbb ", u"cccc"}));
    EXPECT_EQ(Rows(u"aaaa bbbb cccc", 40), (std::vector<std::u16string>{u"aaaa ", u"bbbb ", u"cccc"}));
    // A word wider than the area is broken inside: nothing is lost.
    const std::u16string word(500, u'w');
    const auto rows = Rows(u"x " + word, 100);
    ASSERT_EQ(rows.size(), 51u);
    std::u16string joined;
    for (const auto& r : rows) {
        EXPECT_LE(r.size(), 10u);
        joined += r;
    }
    EXPECT_EQ(joined, u"x " + word);
    // Even a width below one character makes progress.
    EXPECT_EQ(Rows(u"abc", 5).size(), 3u);
}

TEST(PrintLayout, PagesHoldWholeLines)
{
    // Three pages of single-row lines, 10 rows a page.
    EXPECT_EQ(LayoutPrintPages(std::vector<int>(25, 1), 10),
              (std::vector<PageStart>{{0, 0}, {10, 0}, {20, 0}}));
    // An empty text is one page.
    EXPECT_EQ(LayoutPrintPages({}, 10), (std::vector<PageStart>{{0, 0}}));
    EXPECT_EQ(LayoutPrintPages({1}, 0), (std::vector<PageStart>{{0, 0}}));
    // A wrapped line that does not fit moves whole to the next page.
    EXPECT_EQ(LayoutPrintPages({4, 4, 3, 1}, 10), (std::vector<PageStart>{{0, 0}, {2, 0}}));
    // Exactly full.
    EXPECT_EQ(LayoutPrintPages({5, 5, 1}, 10), (std::vector<PageStart>{{0, 0}, {2, 0}}));
}

TEST(PrintLayout, TallLineContinuesOverPages)
{
    // Line 1 has 25 rows on 10-row pages: it starts page 2 and goes on over
    // pages 3 and 4 (rows 10 and 20); line 2 follows its last row.
    EXPECT_EQ(LayoutPrintPages({3, 25, 2, 9}, 10),
              (std::vector<PageStart>{{0, 0}, {1, 0}, {1, 10}, {1, 20}, {3, 0}}));
    // A tall first line.
    EXPECT_EQ(LayoutPrintPages({12, 1}, 10), (std::vector<PageStart>{{0, 0}, {0, 10}}));
}

TEST(PrintLayout, MarginsAndBandsInDevicePixels)
{
    EXPECT_EQ(HimetricToDevice(1000, 300), 118);
    EXPECT_EQ(HimetricToDevice(2540, 1200), 1200);
    EXPECT_EQ(PrintBandHeight(51), 76);
    const QRect a4(0, 0, 2480, 3508);  // 300 DPI
    const QRect area = PrintAreaOf(a4, PageMargins{}, 300, 300, 50, 30, false, true);
    EXPECT_EQ(area.left(), 118);
    EXPECT_EQ(area.top(), 118);
    EXPECT_EQ(area.right(), 2479 - 118);
    EXPECT_EQ(area.bottom(), 3507 - 118 - 75);
    const QRect big(0, 0, 9920, 14032);  // 1200 DPI
    const QRect b = PrintAreaOf(big, PageMargins{2000, 2000, 2000, 2000}, 1200, 1200, 200, 120, true, true);
    EXPECT_EQ(b.left(), 944);
    EXPECT_EQ(b.top(), 944 + 300);
}

TEST(PrintLayout, UnusableMarginsFallBack)
{
    const QRect page(0, 0, 2480, 3508);
    // Margins that leave nothing: the defaults for this job.
    const QRect a = PrintAreaOf(page, PageMargins{100000, 100000, 0, 0}, 300, 300, 50, 30, false, false);
    EXPECT_EQ(a, PrintAreaOf(page, PageMargins{}, 300, 300, 50, 30, false, false));
    const QRect b = PrintAreaOf(page, PageMargins{0, 0, 60000, 60000}, 300, 300, 50, 30, false, false);
    EXPECT_EQ(b.top(), 118);
    // A page too small even for the defaults: no margins.
    const QRect tiny(0, 0, 200, 200);
    EXPECT_EQ(PrintAreaOf(tiny, PageMargins{}, 300, 300, 50, 30, false, false), tiny);
}
