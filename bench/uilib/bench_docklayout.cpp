// Docking figures (pure core, no windows): the layout pass of four sites
// with 24 bars in 6 rows (a menu bar, 13 toolbars, 8 sizing bars, 2 of them
// hidden), run on every resize: target under 50 us; building and applying
// a 30-bar dock-state plan: target under 200 us.

#include "platform/ui/BarStyle.h"
#include "uilib/dock/DockRows.h"
#include "uilib/dock/DockState.h"

#include <benchmark/benchmark.h>

#include <map>

namespace {

struct Site
{
    bool horizontal = true;
    dock::RowModel model;
    std::map<int, dock::LayoutBar> bars;
    std::map<int, dock::Size> sizes;
};

// Top: menu bar row, two rows of toolbars; left: one row of toolbars;
// bottom: one row of 5 sizing bars; right: one row of 3 sizing bars.
std::vector<Site> Sites()
{
    std::vector<Site> sites(4);
    int key = 0;
    auto add = [&](Site& s, dock::BarKind kind, dock::Size size, int row, bool visible = true) {
        s.bars[key] = {kind, visible, 0};
        s.sizes[key] = size;
        s.model.Insert(key++, row, 1 << 20);
    };
    Site& top = sites[0];
    add(top, dock::BarKind::MenuBar, {1200, 20}, 0);
    for (int i = 0; i < 10; ++i)
        add(top, dock::BarKind::Toolbar, {180, 26}, 1 + i / 5, i != 9);
    Site& left = sites[1];
    left.horizontal = false;
    for (int i = 0; i < 3; ++i)
        add(left, dock::BarKind::Toolbar, {26, 200}, 0);
    Site& bottom = sites[2];
    for (int i = 0; i < 5; ++i)
        add(bottom, dock::BarKind::LibrarySizingBar, {240, 150}, 0, i != 4);
    Site& right = sites[3];
    right.horizontal = false;
    for (int i = 0; i < 3; ++i)
        add(right, dock::BarKind::Other, {200, 250}, 0);
    return sites;
}

void BM_LayoutFourSites(benchmark::State& state)
{
    std::vector<Site> sites = Sites();
    int width = 1200;
    for (auto _ : state) {
        width = width == 1200 ? 1199 : 1200;   // a resize
        int thickness = 0;
        for (Site& s : sites) {
            dock::SiteLayoutInput in;
            in.horizontal = s.horizontal;
            in.rowLength = s.horizontal ? width : 800;
            in.bar = [&s](int k) { return s.bars[k]; };
            in.measure = [&s](int k, uint32_t, int, bool*) { return s.sizes[k]; };
            thickness += dock::LayoutSite(s.model, in).thickness;
        }
        benchmark::DoNotOptimize(thickness);
    }
}
BENCHMARK(BM_LayoutFourSites);

void BM_DockStatePlan30(benchmark::State& state)
{
    dock::DockState record;
    for (int i = 0; i < 30; ++i) {
        dock::BarState b;
        b.barId = 59392 + uint32_t(i);
        b.floating = i % 10 == 9;
        b.dockId = b.floating ? 0 : ui::DOCKBAR_TOP + uint32_t(i % 4);
        b.row = i % 3;
        b.pos = i * 10;
        record.bars.push_back(b);
    }
    for (auto _ : state) {
        const dock::DockPlan plan = dock::MakeDockPlan(record, [](uint32_t id) { return id != 59400; });
        std::map<uint32_t, dock::RowModel> rows;
        for (const auto& [site, siteRows] : plan.rows) {
            dock::RowModel& m = rows[site];
            for (const auto& row : siteRows) {
                const int r = m.RowCount();
                for (const auto& placed : row)
                    m.Insert(int(placed.barId), r, 1 << 20);
            }
        }
        benchmark::DoNotOptimize(rows);
    }
}
BENCHMARK(BM_DockStatePlan30);

} // namespace
