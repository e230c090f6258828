// The docking core: rows, the toolbar row layout, insertion, sizing rows,
// drag targets, screens, placement and the stored dock layout.

#include "platform/ui/BarStyle.h"
#include "uilib/dock/DockPlace.h"
#include "uilib/dock/DockRoom.h"
#include "uilib/dock/DockRows.h"
#include "uilib/dock/DockState.h"
#include "uilib/dock/SizingRow.h"

#include <gtest/gtest.h>

#include <map>

using namespace dock;

namespace {

struct World
{
    std::map<int, LayoutBar> bars;
    std::map<int, Size> sizes;
    RowModel model;
    SiteLayoutInput Input(bool horizontal, int length)
    {
        SiteLayoutInput in;
        in.horizontal = horizontal;
        in.rowLength = length;
        in.bar = [this](int b) { return bars[b]; };
        in.measure = [this](int b, uint32_t, int, bool*) { return sizes[b]; };
        return in;
    }
    void Add(int key, BarKind kind, Size size, int row, bool visible = true)
    {
        bars[key] = {kind, visible, 0};
        sizes[key] = size;
        model.Insert(key, row, 1000);
    }
};

} // namespace

TEST(DockRows, ModelKeepsRowsWellFormed)
{
    RowModel m;
    m.Insert(1, 0, 0);
    m.Insert(2, 0, 5);
    m.InsertRow(3, 5);
    EXPECT_EQ(m.Entries(), (std::vector<int>{1, 2, kRowBreak, 3, kRowBreak}));
    const RowBounds b = m.GetRowBounds(2);
    EXPECT_EQ(b.index, 1);
    EXPECT_EQ(b.first, 0);
    EXPECT_EQ(b.last, 1);
    m.MoveToNewRowAfter(1);
    EXPECT_EQ(m.Entries(), (std::vector<int>{2, kRowBreak, 1, kRowBreak, 3, kRowBreak}));
    m.Remove(1);
    EXPECT_EQ(m.Entries(), (std::vector<int>{2, kRowBreak, 3, kRowBreak}));
    m.InsertBreakBefore(2);   // first in its row: nothing
    EXPECT_EQ(m.RowCount(), 2);
    m.Insert(4, -1, 0);
    EXPECT_EQ(m.Row(0), std::vector<int>{4});
}

// Rows that only a wrap changed may be given back; a bar moved, added or
// taken away, or a row merged, keeps the rows as they are.
TEST(DockRows, RowsThatOnlyWrapsChangedAreRecognised)
{
    World w;
    w.Add(1, BarKind::MenuBar, {300, 20}, 0);
    w.Add(2, BarKind::Toolbar, {200, 26}, 1);
    w.Add(3, BarKind::Toolbar, {200, 26}, 1);
    const RowModel before = w.model;
    // Twice the size: the second toolbar wraps.
    w.sizes[2] = w.sizes[3] = {400, 52};
    LayoutSite(w.model, w.Input(true, 500));
    EXPECT_EQ(w.model.RowCount(), 3);
    EXPECT_TRUE(RowsOnlyWrapped(before, w.model));
    EXPECT_TRUE(RowsOnlyWrapped(before, before));
    RowModel moved = w.model;
    moved.Insert(3, 0, 0);   // before the menu bar's row's bar
    EXPECT_FALSE(RowsOnlyWrapped(before, moved));
    RowModel merged = before;
    merged.Remove(2);
    merged.Insert(2, 0, 1);   // into the menu bar's row
    EXPECT_FALSE(RowsOnlyWrapped(before, merged));
    RowModel added = w.model;
    added.InsertRow(4, 9);
    EXPECT_FALSE(RowsOnlyWrapped(before, added));
}

TEST(DockRows, MenuBarTakesItsRowAndTheNextToolbarWraps)
{
    World w;
    w.Add(1, BarKind::MenuBar, {300, 20}, 0);
    w.Add(2, BarKind::Toolbar, {100, 26}, 0);
    w.Add(3, BarKind::Toolbar, {100, 26}, 0);
    const SiteLayout l = LayoutSite(w.model, w.Input(true, 500));
    EXPECT_EQ(w.model.Entries(), (std::vector<int>{1, kRowBreak, 2, 3, kRowBreak}));
    EXPECT_EQ(l.Find(1)->rect, (Rect{0, 0, 500, 20}));
    EXPECT_EQ(l.Find(2)->rect, (Rect{0, 20, 100, 26}));
    EXPECT_EQ(l.Find(3)->rect, (Rect{100, 20, 100, 26}));
    EXPECT_EQ(l.thickness, 46);
}

TEST(DockRows, StickingOutBarMovesBackOrWrapsAndTooLongFirstStays)
{
    World w;
    w.Add(1, BarKind::Toolbar, {100, 26}, 0);
    w.Add(2, BarKind::Toolbar, {100, 26}, 0);
    w.bars[2].pos = 350;   // would end at 450 > 400
    SiteLayout l = LayoutSite(w.model, w.Input(true, 400));
    EXPECT_EQ(l.Find(2)->rect.x, 300);
    EXPECT_EQ(w.model.RowCount(), 1);
    // A gap stays.
    w.bars[2].pos = 150;
    l = LayoutSite(w.model, w.Input(true, 400));
    EXPECT_EQ(l.Find(2)->rect.x, 150);
    // Not enough room: a new row.
    l = LayoutSite(w.model, w.Input(true, 180));
    EXPECT_EQ(w.model.RowCount(), 2);
    EXPECT_EQ(l.Find(2)->rect, (Rect{80, 26, 100, 26}));
    // A first bar longer than the row stays and is cut.
    l = LayoutSite(w.model, w.Input(true, 60));
    EXPECT_EQ(l.Find(1)->rect, (Rect{0, 0, 60, 26}));
}

TEST(DockRows, HiddenBarsTakeNoRoomAndOtherBarsOverlap)
{
    World w;
    w.Add(1, BarKind::Toolbar, {100, 26}, 0);
    w.Add(2, BarKind::Toolbar, {100, 40}, 0, false);
    w.Add(3, BarKind::Other, {50, 30}, 0);
    w.Add(4, BarKind::Other, {50, 30}, 0);
    const SiteLayout l = LayoutSite(w.model, w.Input(true, 500));
    EXPECT_EQ(l.Find(2), nullptr);
    EXPECT_EQ(l.Find(3)->rect, (Rect{98, -2, 50, 30}));
    EXPECT_EQ(l.Find(4)->rect, (Rect{146, -2, 50, 30}));
    EXPECT_EQ(l.thickness, 28);
    EXPECT_TRUE(w.model.Contains(2));
}

TEST(DockRows, VerticalSitesMirror)
{
    World w;
    w.Add(1, BarKind::Toolbar, {26, 100}, 0);
    w.Add(2, BarKind::Toolbar, {26, 100}, 0);
    const SiteLayout l = LayoutSite(w.model, w.Input(false, 150));
    EXPECT_EQ(l.Find(1)->rect, (Rect{0, 0, 26, 100}));
    EXPECT_EQ(l.Find(2)->rect, (Rect{26, 0, 26, 100}));
    EXPECT_EQ(l.thickness, 52);
}

TEST(DockRows, SizeQueryChangingTheRowsRestartsThePassAtMostOncePerEntry)
{
    World w;
    w.Add(1, BarKind::Toolbar, {100, 26}, 0);
    w.Add(2, BarKind::Toolbar, {100, 26}, 0);
    int calls = 0;
    SiteLayoutInput in = w.Input(true, 500);
    in.measure = [&](int b, uint32_t, int, bool* changed) {
        ++calls;
        *changed = true;   // never settles
        return w.sizes[b];
    };
    const SiteLayout l = LayoutSite(w.model, in);
    EXPECT_EQ(l.bars.size(), 2u);
    EXPECT_LT(calls, 20);
}

TEST(DockRows, InsertionAtARectangleAndLeftOf)
{
    World w;
    w.Add(1, BarKind::Toolbar, {100, 26}, 0);
    w.Add(2, BarKind::Toolbar, {100, 26}, 0);
    w.Add(3, BarKind::Toolbar, {100, 26}, 1);
    w.bars[4] = {BarKind::Toolbar, true, 0};
    w.sizes[4] = {80, 26};
    SiteLayout l = LayoutSite(w.model, w.Input(true, 800));
    // Left of bar 1: its rectangle moved by (1, 1).
    const Rect n = l.Find(1)->rect.Translated(1, 1);
    EXPECT_EQ(InsertAtRect(w.model, l, true, 4, n), 1);
    EXPECT_EQ(w.model.Row(0), (std::vector<int>{1, 4, 2}));
    // Above the first row: a new first row; below the last: a new last row.
    l = LayoutSite(w.model, w.Input(true, 800));
    InsertAtRect(w.model, l, true, 4, {10, -5, 80, 26});
    EXPECT_EQ(w.model.Row(0), std::vector<int>{4});
    l = LayoutSite(w.model, w.Input(true, 800));
    InsertAtRect(w.model, l, true, 4, {10, l.thickness + 3, 80, 26});
    EXPECT_EQ(w.model.Row(w.model.RowCount() - 1), std::vector<int>{4});
    EXPECT_EQ(w.model.RowCount(), 3);
}

// A toolbar dropped on a row of sizing bars goes to the nearest toolbar
// row toward the frame's edge, or a new row at the edge (inside the menu
// bar's row).
TEST(DockRows, AToolbarNeverJoinsARowOfSizingBars)
{
    World w;
    w.Add(1, BarKind::MenuBar, {800, 20}, 0);
    w.Add(2, BarKind::Toolbar, {100, 26}, 1);
    w.Add(3, BarKind::LibrarySizingBar, {800, 200}, 2);
    w.bars[4] = {BarKind::Toolbar, true, 0};
    w.sizes[4] = {80, 26};
    const auto use = [&w](int row) {
        RowUse u = RowUse::Other;
        for (int k : w.model.Row(row)) {
            if (w.bars[k].kind == BarKind::MenuBar)
                return RowUse::Menu;
            if (w.bars[k].kind == BarKind::LibrarySizingBar)
                return RowUse::Other;
            u = RowUse::Toolbars;
        }
        return u;
    };
    // The top site: onto the sizing row and just below it, it joins the toolbar row.
    SiteLayout l = LayoutSite(w.model, w.Input(true, 800));
    for (int y : {100, l.thickness + 5}) {
        EXPECT_EQ(InsertToolbarAtRect(w.model, l, true, true, 4, {300, y, 80, 26}, use), 300);
        EXPECT_EQ(w.model.Row(1), (std::vector<int>{2, 4}));
        w.model.Remove(4);
    }
    // Without the toolbar row: a new row just inside the menu bar's.
    w.model.Remove(2);
    l = LayoutSite(w.model, w.Input(true, 800));
    InsertToolbarAtRect(w.model, l, true, true, 4, {300, 100, 80, 26}, use);
    EXPECT_EQ(w.model.Row(1), std::vector<int>{4});
    EXPECT_EQ(w.model.Row(2), std::vector<int>{3});
    // The bottom site (outer edge last): a new last row.
    World b;
    b.Add(1, BarKind::LibrarySizingBar, {800, 200}, 0);
    b.bars[4] = {BarKind::Toolbar, true, 0};
    b.sizes[4] = {80, 26};
    l = LayoutSite(b.model, b.Input(true, 800));
    InsertToolbarAtRect(b.model, l, true, false, 4, {300, -5, 80, 26},
                        [&b](int row) { return b.bars[b.model.Row(row).front()].kind == BarKind::Toolbar ? RowUse::Toolbars : RowUse::Other; });
    EXPECT_EQ(b.model.Row(1), std::vector<int>{4});
}

// The pointer decides: a tall bar whose rectangle reaches the bottom site
// from the middle of the documents floats there.
TEST(DockPlace, ATallBarFloatsWithThePointerInTheMiddle)
{
    DragInput in;
    in.allowed = ui::CBRS_ALIGN_ANY;
    in.sites = {{ui::DOCKBAR_TOP, {0, 0, 800, 30}, false},
                {ui::DOCKBAR_BOTTOM, {0, 400, 800, 150}, false},
                {ui::DOCKBAR_LEFT, {0, 30, 200, 370}, false},
                {ui::DOCKBAR_RIGHT, {800, 30, 0, 370}, true}};
    in.pointer = {500, 200};
    in.horz = {480, 190, 600, 500};
    in.vert = {480, 190, 200, 500};
    in.floating = {480, 190, 200, 500};
    EXPECT_EQ(FindDragTarget(in).siteId, 0u);
    // Within reach of a site's edge it docks there.
    in.pointer = {500, 395};
    EXPECT_EQ(FindDragTarget(in).siteId, ui::DOCKBAR_BOTTOM);
    in.pointer = {205, 200};
    EXPECT_EQ(FindDragTarget(in).siteId, ui::DOCKBAR_LEFT);
}

namespace {

struct SizingWorld
{
    std::map<int, SizingRecord> recs;
    RowModel model;
    SizingLookup Lookup()
    {
        return [this](int k) { return recs.count(k) ? &recs[k] : nullptr; };
    }
};

} // namespace

TEST(SizingRow, StoredSizesAreClampedAndSavingWhileExpandedWritesTheSavedSize)
{
    EXPECT_EQ(ClampStoredSize({10, 0}, {33, 32}), (Size{33, 32}));
    EXPECT_EQ(ClampStoredSize({-5, 100}, {33, 32}), (Size{33, 100}));
    SizingWorld w;
    w.recs[1].horz = {300, 100};
    w.recs[2].horz = {200, 100};
    w.model.Insert(1, 0, 0);
    w.model.Insert(2, 0, 1);
    ASSERT_TRUE(ToggleExpanded(w.model, w.Lookup(), 1, true, 600, false));
    EXPECT_EQ(w.recs[1].horz.cx, 600);
    EXPECT_EQ(w.recs[2].horz.cx, 33);
    EXPECT_EQ(SizeToSave(w.recs[1], true, true, false), (Size{300, 100}));
    ASSERT_TRUE(ToggleExpanded(w.model, w.Lookup(), 1, true, 600, false));
    EXPECT_EQ(w.recs[1].horz.cx, 300);
    EXPECT_EQ(w.recs[2].horz.cx, 200);
    // A lone bar cannot expand.
    w.model.MoveToNewRowAfter(1);
    EXPECT_FALSE(ToggleExpanded(w.model, w.Lookup(), 1, true, 600, false));
    EXPECT_TRUE(w.recs[1].cannotExpand);
}

TEST(SizingRow, EdgeDragBetweenNeighboursAndFacingTheClient)
{
    SizingWorld w;
    w.recs[1].horz = {200, 100};
    w.recs[2].horz = {200, 120};
    w.model.Insert(1, 0, 0);
    w.model.Insert(2, 0, 1);
    StartTracking(w.model, w.Lookup(), 1, HitRight, true, {400, 300});
    OnTrackUpdateSize(w.model, w.Lookup(), 1, HitRight, true, {30, 0});
    EXPECT_EQ(w.recs[1].horz.cx, 230);
    EXPECT_EQ(w.recs[2].horz.cx, 170);
    // Never below the neighbour's minimum.
    OnTrackUpdateSize(w.model, w.Lookup(), 1, HitRight, true, {500, 0});
    EXPECT_EQ(w.recs[2].horz.cx, 33);
    EXPECT_EQ(w.recs[1].horz.cx, 367);
    EndTracking(w.model, w.Lookup(), 1, true);
    EXPECT_TRUE(w.recs[1].expanded);
    // The bottom edge of a top-docked bar sets the whole row's height.
    StartTracking(w.model, w.Lookup(), 1, HitBottom, true, {400, 300});
    OnTrackUpdateSize(w.model, w.Lookup(), 1, HitBottom, true, {0, 25});
    EXPECT_EQ(w.recs[1].horz.cy, 125);
    EXPECT_EQ(w.recs[2].horz.cy, 125);
}

TEST(SizingRow, FittingMovesTheFirstBarOrSpreadsThePixels)
{
    SizingWorld w;
    w.recs[1].horz = {100, 50};
    w.recs[2].horz = {100, 60};
    w.model.Insert(1, 0, 0);
    w.model.Insert(2, 0, 1);
    // 33 + 33 + 2 > 60: the first moves to a row of its own.
    EXPECT_FALSE(FitRowLength(w.model, w.Lookup(), 1, 60, true));
    EXPECT_EQ(w.model.RowCount(), 2);
    EXPECT_EQ(w.model.Row(0), std::vector<int>{2});

    SizingWorld t;
    t.recs[1].horz = {100, 50};
    t.recs[2].horz = {33, 50};
    t.recs[3].horz = {100, 50};
    for (int k = 1; k <= 3; ++k)
        t.model.Insert(k, 0, k);
    EXPECT_TRUE(FitRowLength(t.model, t.Lookup(), 1, 223, true));
    EXPECT_EQ(t.recs[1].horz.cx, 95);
    EXPECT_EQ(t.recs[2].horz.cx, 33);
    EXPECT_EQ(t.recs[3].horz.cx, 95);
    // A held bar takes nothing until a pass changes nothing.
    t.recs[1].hold = true;
    EXPECT_TRUE(FitRowLength(t.model, t.Lookup(), 1, 213, true));
    EXPECT_EQ(t.recs[1].horz.cx, 95);
    EXPECT_EQ(t.recs[3].horz.cx, 85);
    EXPECT_FALSE(t.recs[1].hold);
    const auto pos = RepositionRow(t.model, t.Lookup(), 1, true);
    ASSERT_EQ(pos.size(), 3u);
    EXPECT_EQ(pos[2].second, 128);
}

TEST(DockPlace, DragTargetWithAndWithoutCtrl)
{
    DragInput in;
    in.pointer = {300, 15};
    in.horz = {250, 5, 120, 26};
    in.vert = {290, 0, 26, 120};
    in.floating = {280, 0, 130, 40};
    in.sites = {{ui::DOCKBAR_TOP, {0, 0, 800, 30}, false},
                {ui::DOCKBAR_LEFT, {0, 30, 0, 500}, true},
                {ui::DOCKBAR_BOTTOM, {0, 530, 800, 0}, true}};
    in.allowed = ui::CBRS_ALIGN_ANY;
    EXPECT_EQ(FindDragTarget(in).siteId, ui::DOCKBAR_TOP);
    in.ctrl = true;
    EXPECT_EQ(FindDragTarget(in).siteId, 0u);
    in.ctrl = false;
    in.allowed = ui::CBRS_ALIGN_LEFT;
    EXPECT_EQ(FindDragTarget(in).siteId, 0u);
    // Near the empty left site: its 16-pixel strip.
    in.pointer = {5, 200};
    in.vert = {0, 150, 26, 120};
    EXPECT_EQ(FindDragTarget(in).siteId, ui::DOCKBAR_LEFT);
    in.pointer = {60, 200};
    in.vert = {40, 150, 26, 120};
    EXPECT_EQ(FindDragTarget(in).siteId, 0u);
    EXPECT_EQ(MoveToContain({0, 0, 10, 10}, {25, 5}), (Rect{16, 0, 10, 10}));
    // A large bar reaching the bottom site too docks at the edge the
    // pointer is at.
    in.allowed = ui::CBRS_ALIGN_ANY;
    in.pointer = {5, 420};
    in.horz = {0, 410, 200, 200};
    in.vert = {0, 410, 200, 500};
    EXPECT_EQ(FindDragTarget(in).siteId, ui::DOCKBAR_LEFT);
    in.pointer = {100, 525};
    EXPECT_EQ(FindDragTarget(in).siteId, ui::DOCKBAR_BOTTOM);
}

TEST(DockRoom, TheCentreKeepsAQuarterAndTheThickestRowsGiveWayFirst)
{
    EXPECT_EQ(LeastCenterSize({1024, 660}), (Size{256, 165}));
    EXPECT_EQ(LeastCenterSize({300, 80}), (Size{100, 80}));
    // Rows of 370 and 200 (a toolbar row of 26 cannot give way) must give
    // 250: the thick one goes to 220 first, then both.
    const std::vector<RowRoom> rows{{370, 32}, {200, 32}, {26, 26}};
    EXPECT_EQ(ThicknessCap(rows, 0), 370);
    EXPECT_EQ(ThicknessCap(rows, 150), 220);
    EXPECT_EQ(ThicknessCap(rows, 250), 160);
    // More than the rows can give: every row at its least.
    EXPECT_EQ(ThicknessCap(rows, 600), 0);
}

TEST(DockPlace, ScreensPlacementAndStretch)
{
    const std::vector<Rect> screens = {{0, 0, 1000, 800}, {1000, 0, 800, 600}};
    EXPECT_EQ(*ClipToScreens({900, 100, 300, 200}, screens), (Rect{900, 100, 300, 200}));
    EXPECT_EQ(*ClipToScreens({-50, -50, 200, 200}, screens), (Rect{0, 0, 150, 150}));
    EXPECT_FALSE(ClipToScreens({3000, 0, 100, 100}, screens));
    EXPECT_FALSE(ClipToScreens({1100, 700, 100, 50}, screens));   // in the gap below screen 2
    EXPECT_EQ(MoveOntoScreens({3000, 10, 100, 100}, 17, screens), (Rect{1700, 10, 100, 100}));

    PlacementInput p;
    p.current = {0, 0, 640, 480};
    p.screens = screens;
    p.storedRect = Rect{10, 20, 800, 600};
    p.storedShowCmd = 3;
    EXPECT_EQ(PlaceFrame(p).appShowCmd, 3);
    EXPECT_EQ(PlaceFrame(p).rect, (Rect{10, 20, 800, 600}));
    p.appShowCmd = 6;
    EXPECT_EQ(PlaceFrame(p).appShowCmd, 6);
    p.appShowCmd = 1;
    p.storedShowCmd = 2;
    EXPECT_EQ(PlaceFrame(p).appShowCmd, 1);
    p.storedRect = Rect{5000, 5000, 100, 100};
    EXPECT_EQ(PlaceFrame(p).rect, p.current);

    EXPECT_TRUE(StretchApplies({1700, 500, 200, 200}, screens));
    EXPECT_FALSE(StretchApplies({1800, 0, 50, 50}, screens));
}

namespace {

using Store = std::map<std::pair<std::string, std::string>, int>;

IntReader Reader(const Store& s)
{
    return [&s](const std::string& sec, const char* key) -> std::optional<int> {
        const auto it = s.find({sec, key});
        if (it == s.end())
            return std::nullopt;
        return it->second;
    };
}

Store Written(const DockState& state)
{
    Store s;
    WriteDockState("W\\ControlBars", state,
                   [&](const std::string& sec, const char* key, int v) { s[{sec, key}] = v; });
    return s;
}

} // namespace

TEST(DockState, RoundTripAndEveryCorruption)
{
    DockState state;
    BarState a;
    a.barId = 59392;
    a.dockId = ui::DOCKBAR_TOP;
    a.row = 1;
    a.pos = 40;
    BarState b;
    b.barId = 59432;
    b.floating = true;
    b.xPos = 300;
    b.yPos = 200;
    state.bars = {a, b};
    Store s = Written(state);
    EXPECT_EQ((s[{"W\\ControlBars-Summary", "Bars"}]), 2);
    EXPECT_EQ((s[{"W\\ControlBars-Bar1", "BarID"}]), 59432);
    bool corrupt = true;
    auto back = ReadDockState("W\\ControlBars", Reader(s), &corrupt);
    ASSERT_TRUE(back);
    EXPECT_FALSE(corrupt);
    EXPECT_EQ(back->bars[0], a);
    EXPECT_EQ(back->bars[1], b);

    Store missing = s;
    missing.erase({"W\\ControlBars-Bar1", "MRUFloatY"});
    EXPECT_FALSE(ReadDockState("W\\ControlBars", Reader(missing), &corrupt));
    EXPECT_TRUE(corrupt);
    Store count = s;
    count[{"W\\ControlBars-Summary", "Bars"}] = 3;
    EXPECT_FALSE(ReadDockState("W\\ControlBars", Reader(count), &corrupt));
    EXPECT_TRUE(corrupt);
    Store dup = s;
    dup[{"W\\ControlBars-Bar1", "BarID"}] = 59392;
    EXPECT_FALSE(ReadDockState("W\\ControlBars", Reader(dup), &corrupt));
    EXPECT_TRUE(corrupt);
    EXPECT_FALSE(ReadDockState("W\\ControlBars", Reader(Store{}), &corrupt));
    EXPECT_FALSE(corrupt);

    // An unknown site or a vanished docked bar is invalid; a vanished
    // floating bar is skipped.
    auto bars = [](uint32_t id) { return id == 59392; };
    auto sites = [](uint32_t id) { return ui::IsDockSiteId(id); };
    EXPECT_TRUE(IsDockStateValid(state, bars, sites));
    DockState bad = state;
    bad.bars[0].dockId = 12345;
    EXPECT_FALSE(IsDockStateValid(bad, bars, sites));
    const DockPlan plan = MakeDockPlan(state, bars);
    EXPECT_TRUE(plan.floating.empty());
    ASSERT_EQ(plan.rows.at(ui::DOCKBAR_TOP).size(), 1u);
    EXPECT_EQ(plan.rows.at(ui::DOCKBAR_TOP)[0][0].pos, 40);
}

// A floating frame comes back with its whole caption on one screen: a
// corner of it on the screen is not enough, and a screen that became
// smaller moves it again; a caption that is whole stays where it was, even
// with the frame's body below the screen's edge.
TEST(DockPlace, AFloatingFramesCaptionComesBackWholeOnAScreen)
{
    const std::vector<Rect> big = {{0, 0, 1400, 900}};
    // Only 48 x 17 pixels of the caption (and 48 x 20 of the frame) inside.
    const Rect corner{1352, 880, 300, 200};
    const Rect back = MoveOntoScreens(corner, 17, big);
    EXPECT_EQ(back, (Rect{1100, 700, 300, 200}));
    EXPECT_TRUE(big[0].Contains(Rect{back.x, back.y, back.w, 17}));
    // Above and left of the screen, by a few pixels.
    EXPECT_EQ(MoveOntoScreens({-5, -3, 300, 200}, 17, big), (Rect{0, 0, 300, 200}));
    // The same place after the screen became 1024 x 768.
    const std::vector<Rect> small = {{0, 0, 1024, 768}};
    EXPECT_EQ(MoveOntoScreens(back, 17, small), (Rect{724, 568, 300, 200}));
    // A whole caption stays; a frame wider than the screen goes to its left edge.
    EXPECT_EQ(MoveOntoScreens({100, 850, 300, 200}, 17, big), (Rect{100, 850, 300, 200}));
    EXPECT_EQ(MoveOntoScreens({100, 100, 1500, 200}, 17, big), (Rect{0, 100, 1500, 200}));
    // Two screens: a caption across their border goes onto the nearer one.
    const std::vector<Rect> two = {{0, 0, 1000, 800}, {1000, 0, 800, 600}};
    EXPECT_EQ(MoveOntoScreens({950, 100, 300, 200}, 17, two), (Rect{1000, 100, 300, 200}));
    EXPECT_EQ(MoveOntoScreens({1100, 700, 100, 50}, 17, two), (Rect{1100, 550, 100, 50}));
    EXPECT_EQ(MoveOntoScreens({5, 5, 10, 10}, 17, {}), (Rect{5, 5, 10, 10}));
}
