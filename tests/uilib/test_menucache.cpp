// The menu-button cache, the rebar state and the menu glyphs.

#include "uilib/KVTMenuButtonCache.h"
#include "uilib/KVTMenuImages.h"
#include "uilib/KVTRegistryKey.h"
#include "uilib/KVTToolBar.h"
#include "uilib/KVTRebar.h"

#include "platform/ui/Menu.h"
#include "tests/support/platform/TempDir.h"

#include <QPainter>
#include <gtest/gtest.h>

namespace {

TEST(MenuButtonCache, KeyedBySerialReplacedAndDropped)
{
    auto& cache = CKVTMenuButtonCache::Instance();
    auto menu = std::make_unique<ui::Menu>();
    const uint64_t serial = menu->Serial();
    CKVTToolBar bar;
    bar.InsertButton(std::make_unique<CKVTToolbarButton>(10, 0));
    bar.InsertButton(std::make_unique<CKVTToolbarButton>(11, 1));

    CKVTToolBar target;
    target.InsertButton(std::make_unique<CKVTToolbarButton>(99, 0));
    EXPECT_FALSE(cache.LoadMenuButtons(menu.get(), &target)); // never seen
    EXPECT_EQ(target.Items().Count(), 1);

    EXPECT_TRUE(cache.SaveMenuButtons(menu.get(), &bar));
    bar.RemoveButton(0);
    EXPECT_TRUE(cache.SaveMenuButtons(menu.get(), &bar)); // replaces
    EXPECT_TRUE(cache.LoadMenuButtons(menu.get(), &target));
    ASSERT_EQ(target.Items().Count(), 1);
    EXPECT_EQ(target.Items().ItemID(0), 11u);

    bar.RemoveAllButtons();
    EXPECT_TRUE(cache.SaveMenuButtons(menu.get(), &bar)); // an emptied list stays empty
    EXPECT_TRUE(cache.LoadMenuButtons(menu.get(), &target));
    EXPECT_EQ(target.Items().Count(), 0);

    // A damaged entry does not load and leaves the bar as it was.
    target.InsertButton(std::make_unique<CKVTToolbarButton>(98, 0));
    cache.Entry(serial)->assign({0x05, 0x00, 0xFF, 0xFF});
    EXPECT_FALSE(cache.LoadMenuButtons(menu.get(), &target));
    EXPECT_EQ(target.Items().Count(), 1);

    menu.reset();
    EXPECT_FALSE(cache.Contains(serial));
}

class Rebar : public ::testing::Test
{
protected:
    testsupport::ScopedConfigHome home;
    QWidget frame;
    const QString path = GetRegPath(QStringLiteral("KVTWorkspace"));

    CKVTToolBar* Bar(uint32_t id)
    {
        auto* b = new CKVTToolBar;
        b->Create(nullptr, ui::CBRS_ALIGN_TOP, id);
        return b;
    }
    KvtRebar* MakeRebar(std::vector<uint32_t> ids)
    {
        auto* r = new KvtRebar(&frame, 7);
        for (uint32_t id : ids) {
            KvtRebar::Band band;
            band.child = Bar(id);
            band.width = 50;
            band.minChild = QSize(20, 22);
            r->InsertBand(band);
        }
        return r;
    }
};

TEST_F(Rebar, OrderAndSizesComeBack)
{
    KvtRebar* r = MakeRebar({1, 2});
    r->MoveBand(1, 0); // B, A
    KvtRebar::BandRecord rec = r->GetBandInfo(0);
    rec[44] = 77; // width of B
    r->SetBandInfo(0, rec);
    const KvtRebar::BandRecord stored = r->GetBandInfo(0);
    EXPECT_EQ(stored[0], 80);
    EXPECT_EQ(stored[4], 0x61);
    EXPECT_EQ(stored[5], 0x03);
    ASSERT_TRUE(SaveRebarsState(&frame, path));
    delete r;

    KvtRebar* again = MakeRebar({1, 2});
    ASSERT_TRUE(LoadRebarsState(&frame, path));
    EXPECT_EQ(again->ChildId(0), 2u);
    EXPECT_EQ(again->ChildId(1), 1u);
    EXPECT_EQ(again->GetBand(0).width, 77);
    delete again;

    // Four bands now: nothing changes.
    KvtRebar* four = MakeRebar({1, 2, 3, 4});
    LoadRebarsState(&frame, path);
    EXPECT_EQ(four->ChildId(0), 1u);
    delete four;

    // "RBI" of the wrong size is refused.
    KvtRebar* two = MakeRebar({1, 2});
    {
        CKVTRegistryKey k;
        ASSERT_TRUE(k.Open(path + QStringLiteral("KVTRebar-7")));
        k.Write(QStringLiteral("RBI"), std::vector<uint8_t>(100, 0));
    }
    LoadRebarsState(&frame, path);
    EXPECT_EQ(two->ChildId(0), 1u);
    EXPECT_EQ(two->GetBand(0).width, 50);
}

TEST_F(Rebar, UnknownIdsAreSkippedAndToolbarsUpdateTheirBand)
{
    KvtRebar* r = MakeRebar({1, 2});
    ASSERT_TRUE(SaveRebarsState(&frame, path));
    delete r;
    KvtRebar* other = MakeRebar({5, 2});
    LoadRebarsState(&frame, path);
    EXPECT_EQ(other->ChildId(0), 5u);
    EXPECT_EQ(other->ChildId(1), 2u);

    auto* bar = static_cast<CKVTToolBar*>(other->GetBand(1).child);
    bar->InsertButton(std::make_unique<CKVTToolbarButton>(10, 0));
    bar->InsertButton(std::make_unique<CKVTToolbarButton>(11, 1));
    bar->AdjustLayout();
    EXPECT_EQ(other->GetBand(1).minChild.width(), 2 * CKVTToolbarShared::GetCurrentButtonSize().width() + 1 + 1); // and the borders
}

TEST(MenuImages, GlyphsDraw)
{
    CKVTToolbarImageList* list = CKVTMenuImages::Images();
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->GetImageCount(), 21);
    EXPECT_EQ(CKVTMenuImages::GetCaptionButtonSize(), QSize(13, 13));
    QImage img(20, 20, QImage::Format_ARGB32);
    img.fill(Qt::white);
    {
        QPainter p(&img);
        CKVTMenuImages::DrawMenuImage(p, CKVTMenuImages::IdCheck, QPoint(5, 5));
    }
    int dark = 0;
    for (int y = 5; y < 14; ++y)
        for (int x = 5; x < 14; ++x)
            dark += qGray(img.pixel(x, y)) < 128;
    EXPECT_GT(dark, 5);
}

} // namespace
