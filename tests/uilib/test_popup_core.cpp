// The pure cores of the popup menus: placement, animation steps, the menu
// delay and the build filter.

#include "uilib/KVTPopupCore.h"

#include "platform/sys/Registry.h"
#include "platform/ui/Menu.h"
#include "uilib/KVTCommandUsage.h"
#include "uilib/KVTToolBar.h"

#include <gtest/gtest.h>

namespace {
const QRect kWork(0, 0, 1000, 700);

KvtPopupPlacementInput Input(QPoint origin, QSize size)
{
    KvtPopupPlacementInput in;
    in.origin = origin;
    in.size = size;
    in.workArea = kWork;
    return in;
}
} // namespace

TEST(PopupPlacement, EdgesMoveOrFlipThePopupAndTallMenusScroll)
{
    // Room enough: right of and below the origin.
    KvtPopupPlacementResult r = KvtPopupPlacement::Compute(Input({100, 50}, {200, 300}));
    EXPECT_EQ(r.rect, QRect(100, 50, 200, 300));
    EXPECT_TRUE(r.dropRight && r.dropDown && !r.scroll);

    // A submenu near the right edge opens left of its parent popup.
    KvtPopupPlacementInput sub = Input({900, 100}, {200, 100});
    sub.parentPopup = QRect(750, 80, 150, 300);
    sub.parentItem = QRect(752, 102, 146, 20);
    r = KvtPopupPlacement::Compute(sub);
    EXPECT_EQ(r.rect.left(), 550);
    EXPECT_FALSE(r.dropRight);

    // A menu-bar popup moves inside the work area, one pixel in.
    KvtPopupPlacementInput top = Input({900, 20}, {200, 100});
    top.parentItem = QRect(900, 0, 40, 20);
    top.barSide = KvtMenuBarSide::Top;
    r = KvtPopupPlacement::Compute(top);
    EXPECT_EQ(r.rect.right(), 998);
    EXPECT_FALSE(r.dropRight);

    // A popup of a menu bar docked at the right opens left of the bar; never
    // further left than the work area.
    KvtPopupPlacementInput side = Input({980, 100}, {200, 100});
    side.barSide = KvtMenuBarSide::Right;
    side.menuBar = QRect(970, 0, 30, 700);
    EXPECT_EQ(KvtPopupPlacement::Compute(side).rect.left(), 770);
    side.size = QSize(1200, 100);
    EXPECT_EQ(KvtPopupPlacement::Compute(side).rect.left(), 0);

    // Near the bottom: upwards from the origin, above the parent item.
    KvtPopupPlacementInput low = Input({100, 650}, {200, 300});
    low.parentItem = QRect(100, 630, 40, 20);
    low.barSide = KvtMenuBarSide::Top;
    r = KvtPopupPlacement::Compute(low);
    EXPECT_EQ(r.rect, QRect(100, 330, 200, 300));
    EXPECT_FALSE(r.dropDown);
    // Not room enough above either: from the top edge.
    low.size = QSize(200, 680);
    EXPECT_EQ(KvtPopupPlacement::Compute(low).rect.top(), 0);

    // Taller than the work area: cut, and the scroll areas show.
    r = KvtPopupPlacement::Compute(Input({100, 50}, {200, 2000}));
    EXPECT_EQ(r.rect, QRect(100, 0, 200, 700));
    EXPECT_TRUE(r.scroll);
}

TEST(PopupAnimation, KindsGrowFromTheCornerNearestTheOrigin)
{
    const QRect final(100, 100, 200, 100);
    const QSize item(30, 20);
    // 0: at once.
    EXPECT_EQ(KvtPopupAnimation::Step(0, final, item, true, true, 0), final);
    // 1, unfold: width and height grow from the top-left.
    EXPECT_EQ(KvtPopupAnimation::Step(1, final, item, true, true, 0), QRect(100, 100, 30, 20));
    EXPECT_EQ(KvtPopupAnimation::Step(1, final, item, true, true, 2), QRect(100, 100, 90, 60));
    // Opened leftwards and upwards: from the bottom-right corner.
    EXPECT_EQ(KvtPopupAnimation::Step(1, final, item, false, false, 0), QRect(270, 180, 30, 20));
    // 2 (slide): only the height grows, the full width at once.
    EXPECT_EQ(KvtPopupAnimation::Step(2, final, item, true, true, 1), QRect(100, 100, 200, 40));
    EXPECT_EQ(KvtPopupAnimation::Step(2, final, item, true, false, 1), QRect(100, 160, 200, 40));
    // Reached or passed: the final rectangle.
    EXPECT_EQ(KvtPopupAnimation::Step(2, final, item, true, true, 4), final);
    EXPECT_TRUE(KvtPopupAnimation::Finished(1, final, item, true, true, 6));
    EXPECT_FALSE(KvtPopupAnimation::Finished(1, final, item, true, true, 5));
}

TEST(MenuDelay, ValuesAreClampedAndGarbageGivesTheDefault)
{
    EXPECT_EQ(KvtMenuDelay::Parse(QStringLiteral("0")), 0);
    EXPECT_EQ(KvtMenuDelay::Parse(QStringLiteral("9999")), 5000);
    EXPECT_EQ(KvtMenuDelay::Parse(std::nullopt), 500);
    EXPECT_EQ(KvtMenuDelay::Parse(QStringLiteral("-5")), 0);
    EXPECT_EQ(KvtMenuDelay::Parse(QStringLiteral("abc")), 500);
    EXPECT_EQ(KvtMenuDelay::Parse(QStringLiteral("400")), 400);

    // Read once from the registry store.
    KvtMenuDelay::Reset();
    EXPECT_EQ(KvtMenuDelay::Get(), 500);
    sys::HKEY key = nullptr;
    ASSERT_EQ(sys::RegCreateKeyEx(sys::HKEY_CURRENT_USER, u"Control Panel\\Desktop",
                                  sys::KEY_ALL_ACCESS, &key),
              sys::ERROR_SUCCESS);
    sys::RegSetString(key, u"MenuShowDelay", u"120");
    sys::RegCloseKey(key);
    EXPECT_EQ(KvtMenuDelay::Get(), 500);
    KvtMenuDelay::Reset();
    EXPECT_EQ(KvtMenuDelay::Get(), 120);
    KvtMenuDelay::Reset();
}

TEST(PopupBuild, SeparatorsRarelyUsedItemsAndStyles)
{
    auto menu = ui::Menu::Parse("POPUP \"x\"\n"
                                "  SEPARATOR\n"
                                "  MENUITEM 100 \"&Pět\" GRAYED\n"
                                "  SEPARATOR\n"
                                "  SEPARATOR\n"
                                "  MENUITEM 101 \"Š&est\" CHECKED\n"
                                "  MENUITEM 102 \"&Často\" DEFAULT\n"
                                "  MENUITEM 103 \"&Jiný\" MENUBREAK\n"
                                "  SEPARATOR\n"
                                "END\n");
    ASSERT_NE(menu, nullptr);
    const ui::Menu& m = *menu->SubMenu(0);
    auto rare = [](uint32_t id) { return CKVTToolbarShared::IsCommandRarelyUsed(id); };
    auto permitted = [](uint32_t id) { return id != 103; };

    KvtPopupBuildResult all = KvtPopupBuild::Filter(m, true, rare, permitted);
    ASSERT_EQ(all.entries.size(), 5u); // no separator first, last or doubled
    EXPECT_EQ(all.entries[0].id, 100u);
    EXPECT_TRUE(all.entries[0].style & TBBS_DISABLED);
    EXPECT_TRUE(all.entries[1].separator);
    EXPECT_TRUE(all.entries[2].style & TBBS_CHECKED);
    EXPECT_TRUE(all.entries[3].isDefault);
    EXPECT_TRUE(all.entries[4].style & 0x20000000);
    EXPECT_TRUE(all.allShown);

    // A command at 5 percent is rarely used and left out; 6 percent shows.
    CKVTCommandUsage& usage = CKVTCommandUsage::Instance();
    usage.Reset();
    CKVTToolbarShared::SetBasicCommands({1});
    for (int i = 0; i < 5; ++i)
        usage.AddCommand(100);
    for (int i = 0; i < 6; ++i)
        usage.AddCommand(101);
    for (int i = 0; i < 89; ++i)
        usage.AddCommand(102);
    KvtPopupBuildResult some = KvtPopupBuild::Filter(m, false, rare, permitted);
    std::vector<uint32_t> ids;
    for (const auto& e : some.entries)
        ids.push_back(e.separator ? 0 : e.id);
    EXPECT_EQ(ids, (std::vector<uint32_t>{101, 102}));
    EXPECT_FALSE(some.allShown);
    // The hidden items keep their mnemonics when permitted.
    EXPECT_EQ(some.hiddenMnemonics.at(QChar(u'P')), 100u);
    EXPECT_EQ(some.hiddenMnemonics.count(QChar(u'J')), 0u);
    // A basic command always shows.
    CKVTToolbarShared::SetBasicCommands({1, 100});
    EXPECT_EQ(KvtPopupBuild::Filter(m, false, rare, permitted).entries.front().id, 100u);
    CKVTToolbarShared::SetBasicCommands({});
    usage.Reset();
}
