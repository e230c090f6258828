#include "uilib/dock/DockState.h"

#include <algorithm>
#include <set>
#include <tuple>
#include <type_traits>

namespace dock {

std::string SummarySection(const std::string& base)
{
    return base + "-Summary";
}

std::string BarSection(const std::string& base, int index)
{
    return base + "-Bar" + std::to_string(index);
}

std::optional<DockState> ReadDockState(const std::string& base, const IntReader& read, bool* corrupt)
{
    if (corrupt)
        *corrupt = false;
    const std::optional<int> count = read(SummarySection(base), "Bars");
    if (!count || *count <= 0)
        return std::nullopt;
    auto fail = [&] {
        if (corrupt)
            *corrupt = true;
        return std::nullopt;
    };
    if (*count > 4096)
        return fail();
    DockState state;
    std::set<uint32_t> ids;
    for (int i = 0; i < *count; ++i) {
        const std::string s = BarSection(base, i);
        BarState b;
        bool ok = true;
        auto get = [&](const char* key, auto& target) {
            const std::optional<int> v = read(s, key);
            if (!v)
                ok = false;
            else
                target = static_cast<std::remove_reference_t<decltype(target)>>(*v);
        };
        int visible = 0, floating = 0, horz = 0;
        get("BarID", b.barId);
        get("Visible", visible);
        get("Floating", floating);
        get("DockID", b.dockId);
        get("Row", b.row);
        get("Pos", b.pos);
        get("XPos", b.xPos);
        get("YPos", b.yPos);
        get("MRUWidth", b.mruWidth);
        get("Horz", horz);
        get("MRUDockID", b.mruDockId);
        get("MRUDockRow", b.mruDockRow);
        get("MRUDockPos", b.mruDockPos);
        get("MRUFloatX", b.mruFloatX);
        get("MRUFloatY", b.mruFloatY);
        if (!ok || b.barId == 0 || !ids.insert(b.barId).second)
            return fail();
        b.visible = visible != 0;
        b.floating = floating != 0;
        b.horz = horz != 0;
        if (b.floating)
            b.dockId = 0;
        state.bars.push_back(b);
    }
    return state;
}

void WriteDockState(const std::string& base, const DockState& state, const IntWriter& write)
{
    write(SummarySection(base), "Bars", int(state.bars.size()));
    for (size_t i = 0; i < state.bars.size(); ++i) {
        const BarState& b = state.bars[i];
        const std::string s = BarSection(base, int(i));
        write(s, "BarID", int(b.barId));
        write(s, "Visible", b.visible ? 1 : 0);
        write(s, "Floating", b.floating ? 1 : 0);
        write(s, "DockID", b.floating ? 0 : int(b.dockId));
        write(s, "Row", b.row);
        write(s, "Pos", b.pos);
        write(s, "XPos", b.xPos);
        write(s, "YPos", b.yPos);
        write(s, "MRUWidth", b.mruWidth);
        write(s, "Horz", b.horz ? 1 : 0);
        write(s, "MRUDockID", int(b.mruDockId));
        write(s, "MRUDockRow", b.mruDockRow);
        write(s, "MRUDockPos", b.mruDockPos);
        write(s, "MRUFloatX", b.mruFloatX);
        write(s, "MRUFloatY", b.mruFloatY);
    }
}

bool IsDockStateValid(const DockState& state, const std::function<bool(uint32_t)>& barExists,
                      const std::function<bool(uint32_t)>& siteExists)
{
    for (const BarState& b : state.bars) {
        if (b.floating)
            continue;
        if (!barExists(b.barId) || !siteExists(b.dockId))
            return false;
    }
    return true;
}

DockPlan MakeDockPlan(const DockState& state, const std::function<bool(uint32_t)>& barExists)
{
    DockPlan plan;
    // Docked entries sorted by (site, row, pos), record order breaking ties.
    std::vector<std::tuple<uint32_t, int, int, size_t>> docked;
    for (size_t i = 0; i < state.bars.size(); ++i) {
        const BarState& b = state.bars[i];
        if (!barExists(b.barId))
            continue;
        plan.all.push_back(b);
        if (b.floating)
            plan.floating.push_back(b);
        else
            docked.emplace_back(b.dockId, b.row, b.pos, i);
    }
    std::sort(docked.begin(), docked.end());
    uint32_t lastSite = 0;
    int lastRow = 0;
    for (const auto& [site, row, pos, index] : docked) {
        auto& rows = plan.rows[site];
        if (rows.empty() || site != lastSite || row != lastRow)
            rows.emplace_back();
        rows.back().push_back({state.bars[index].barId, pos});
        lastSite = site;
        lastRow = row;
    }
    return plan;
}

} // namespace dock
