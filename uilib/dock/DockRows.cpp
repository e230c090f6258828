#include "uilib/dock/DockRows.h"

#include "uilib/dock/DockSites.h"

#include <algorithm>

namespace dock {

int RowModel::Find(int bar) const
{
    const auto it = std::find(m_entries.begin(), m_entries.end(), bar);
    return bar >= 0 && it != m_entries.end() ? int(it - m_entries.begin()) : -1;
}

int RowModel::RowCount() const
{
    return int(std::count(m_entries.begin(), m_entries.end(), kRowBreak)) +
           (!m_entries.empty() && m_entries.back() != kRowBreak ? 1 : 0);
}

int RowModel::RowStart(int r) const
{
    if (r <= 0)
        return 0;
    int row = 0;
    for (int i = 0; i < int(m_entries.size()); ++i) {
        if (m_entries[size_t(i)] == kRowBreak && ++row == r)
            return i + 1;
    }
    return int(m_entries.size());
}

std::vector<int> RowModel::Row(int r) const
{
    std::vector<int> out;
    for (int i = RowStart(r); i < int(m_entries.size()) && m_entries[size_t(i)] != kRowBreak; ++i)
        out.push_back(m_entries[size_t(i)]);
    return out;
}

int RowModel::RowOf(int bar) const
{
    const int index = Find(bar);
    if (index < 0)
        return -1;
    return int(std::count(m_entries.begin(), m_entries.begin() + index, kRowBreak));
}

RowBounds RowModel::GetRowBounds(int bar) const
{
    RowBounds b;
    b.index = Find(bar);
    if (b.index < 0)
        return b;
    b.first = b.index;
    while (b.first > 0 && m_entries[size_t(b.first - 1)] != kRowBreak)
        --b.first;
    b.last = b.index;
    while (b.last + 1 < int(m_entries.size()) && m_entries[size_t(b.last + 1)] != kRowBreak)
        ++b.last;
    return b;
}

std::vector<int> RowModel::GetRowSizingBars(int bar, const std::function<bool(int)>& isSizing) const
{
    std::vector<int> out;
    const RowBounds b = GetRowBounds(bar);
    if (b.index < 0)
        return out;
    for (int i = b.first; i <= b.last; ++i) {
        if (isSizing(m_entries[size_t(i)]))
            out.push_back(m_entries[size_t(i)]);
    }
    return out;
}

void RowModel::Insert(int bar, int r, int pos)
{
    if (bar < 0)
        return;
    Remove(bar);
    if (r < 0) {
        InsertRow(bar, 0);
        return;
    }
    if (r >= RowCount()) {
        InsertRow(bar, r);
        return;
    }
    const int start = RowStart(r);
    int end = start;
    while (end < int(m_entries.size()) && m_entries[size_t(end)] != kRowBreak)
        ++end;
    const int at = start + std::clamp(pos, 0, end - start);
    m_entries.insert(m_entries.begin() + at, bar);
}

void RowModel::InsertRow(int bar, int r)
{
    if (bar < 0)
        return;
    Remove(bar);
    Normalize();
    const int at = r >= RowCount() ? int(m_entries.size()) : RowStart(std::max(r, 0));
    m_entries.insert(m_entries.begin() + at, {bar, kRowBreak});
}

bool RowModel::Remove(int bar)
{
    const int index = Find(bar);
    if (index < 0)
        return false;
    m_entries.erase(m_entries.begin() + index);
    Normalize();
    return true;
}

void RowModel::InsertBreakBefore(int bar)
{
    const int index = Find(bar);
    if (index > 0 && m_entries[size_t(index - 1)] != kRowBreak)
        m_entries.insert(m_entries.begin() + index, kRowBreak);
}

void RowModel::InsertBreakAfter(int bar)
{
    const int index = Find(bar);
    if (index >= 0 && index + 1 < int(m_entries.size()) && m_entries[size_t(index + 1)] != kRowBreak)
        m_entries.insert(m_entries.begin() + index + 1, kRowBreak);
}

void RowModel::MoveToNewRowAfter(int bar)
{
    const RowBounds b = GetRowBounds(bar);
    if (b.index < 0)
        return;
    if (b.first == b.last)
        return;   // alone in its row already
    // The entry after the row's break.
    const int after = b.last + 2;
    m_entries.insert(m_entries.begin() + std::min(after, int(m_entries.size())), {bar, kRowBreak});
    m_entries.erase(m_entries.begin() + b.index);
    Normalize();
}

void RowModel::Normalize()
{
    std::vector<int> out;
    out.reserve(m_entries.size() + 1);
    for (int e : m_entries) {
        if (e == kRowBreak && (out.empty() || out.back() == kRowBreak))
            continue;
        out.push_back(e);
    }
    if (!out.empty() && out.back() != kRowBreak)
        out.push_back(kRowBreak);
    m_entries.swap(out);
}

bool RowsOnlyWrapped(const RowModel& before, const RowModel& now)
{
    // Each bar with whether a row starts at it.
    const auto starts = [](const RowModel& m) {
        std::vector<std::pair<int, bool>> out;
        bool first = true;
        for (int e : m.Entries()) {
            if (e == kRowBreak) {
                first = true;
                continue;
            }
            out.emplace_back(e, first);
            first = false;
        }
        return out;
    };
    const auto a = starts(before);
    const auto b = starts(now);
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i].first != b[i].first || (a[i].second && !b[i].second))
            return false;
    }
    return true;
}

const PlacedBar* SiteLayout::Find(int bar) const
{
    for (const PlacedBar& p : bars) {
        if (p.bar == bar)
            return &p;
    }
    return nullptr;
}

namespace {

// One pass; false when a size query changed the model and the pass must
// start again.
bool LayoutPass(RowModel& model, const SiteLayoutInput& in, SiteLayout& out)
{
    out = {};
    const uint32_t mode = in.horizontal ? (LM_HORZ | LM_HORZDOCK) : LM_VERTDOCK;
    int across = 0;
    int running = 0;
    int rowThick = 0;
    bool firstInRow = true;
    int rowFirst = 0;
    auto closeRow = [&](int nextFirst) {
        out.rows.push_back({rowFirst, across, rowThick});
        across += rowThick;
        running = 0;
        rowThick = 0;
        firstInRow = true;
        rowFirst = nextFirst;
    };
    for (int i = 0; i < int(model.Entries().size()); ++i) {
        const int e = model.Entries()[size_t(i)];
        if (e == kRowBreak) {
            closeRow(i + 1);
            continue;
        }
        const LayoutBar b = in.bar(e);
        if (!b.visible)
            continue;
        const bool menu = b.kind == BarKind::MenuBar;
        // A row without length (a site not laid out yet) wraps nothing.
        const bool wraps = in.rowLength > 0;
        if (menu && !firstInRow && wraps) {
            model.InsertBreakBefore(e);
            --i;   // the new break comes next
            continue;
        }
        bool changed = false;
        const Size sz = in.measure(e, mode, menu ? in.rowLength : -1, &changed);
        if (changed)
            return false;
        const int inset = b.kind == BarKind::Other ? 2 : 0;
        const int along = menu ? in.rowLength : (in.horizontal ? sz.cx : sz.cy);
        const int thick = in.horizontal ? sz.cy : sz.cx;
        const int countAlong = along - inset;
        int start = std::max(running, b.pos);
        if (start + countAlong > in.rowLength) {
            start = std::max(running, in.rowLength - countAlong);
            if (start + countAlong > in.rowLength && !firstInRow && wraps) {
                model.InsertBreakBefore(e);
                --i;
                continue;
            }
        }
        int drawn = along;
        if (wraps && start + countAlong > in.rowLength)   // a too-long first bar is cut
            drawn = std::max(0, in.rowLength - start + inset);
        PlacedBar p;
        p.bar = e;
        p.pos = start;
        p.rect = in.horizontal ? Rect{start - inset, across - inset, drawn, thick}
                               : Rect{across - inset, start - inset, thick, drawn};
        out.bars.push_back(p);
        running = start + countAlong;
        rowThick = std::max(rowThick, thick - inset);
        firstInRow = false;
        if (menu && wraps)
            model.InsertBreakAfter(e);
    }
    if (rowFirst < int(model.Entries().size()))
        closeRow(int(model.Entries().size()));
    out.thickness = across;
    return true;
}

} // namespace

SiteLayout LayoutSite(RowModel& model, const SiteLayoutInput& in)
{
    SiteLayout out;
    const int maxPasses = int(model.Entries().size()) + 1;
    for (int pass = 0; pass < maxPasses; ++pass) {
        // A bar wrapped during the pass left its row shorter than the sizes
        // asked before the wrap: those rows are measured again.
        const std::vector<int> before = model.Entries();
        if (LayoutPass(model, in, out) && model.Entries() == before)
            return out;
    }
    // The size queries keep changing the rows: lay out what there is now
    // without asking again for changes.
    SiteLayoutInput fixed = in;
    fixed.measure = [&in](int bar, uint32_t mode, int length, bool* changed) {
        bool ignored = false;
        const Size s = in.measure(bar, mode, length, &ignored);
        *changed = false;
        return s;
    };
    LayoutPass(model, fixed, out);
    return out;
}

int InsertAtRect(RowModel& model, const SiteLayout& layout, bool horizontal, int bar, const Rect& rect)
{
    const int across = horizontal ? rect.y : rect.x;
    const int along = std::max(0, horizontal ? rect.x : rect.y);
    int row = -1;   // -1: new first row, rows.size(): new last row
    if (layout.rows.empty() || across < layout.rows.front().start) {
        row = -1;
    } else {
        row = int(layout.rows.size());
        for (int r = 0; r < int(layout.rows.size()); ++r) {
            const PlacedRow& pr = layout.rows[size_t(r)];
            if (across >= pr.start && across < pr.start + pr.thickness) {
                row = r;
                break;
            }
        }
    }
    if (row < 0) {
        model.InsertRow(bar, 0);
        return along;
    }
    if (row >= int(layout.rows.size())) {
        model.InsertRow(bar, model.RowCount() + 1);
        return along;
    }
    // The bar to insert before, and a bar of the row to append after.
    int before = -1;
    int anchor = -1;
    for (int key : model.Row(row)) {
        if (key == bar)
            continue;
        anchor = key;
        const PlacedBar* p = layout.Find(key);
        if (before < 0 && p && p->pos > along)
            before = key;
    }
    if (anchor < 0) {   // the bar's own row, alone
        model.Insert(bar, row, 0);
        return along;
    }
    model.Remove(bar);
    const int at = before >= 0 ? model.Find(before) : model.GetRowBounds(anchor).last + 1;
    const int r = model.RowOf(before >= 0 ? before : anchor);
    const RowBounds rb = model.GetRowBounds(before >= 0 ? before : anchor);
    model.Insert(bar, r, at - rb.first);
    return along;
}

ToolbarDrop FindToolbarDrop(const SiteLayout& layout, bool horizontal, bool outerIsFirst, const Rect& rect,
                            const std::function<RowUse(int row)>& rowUse)
{
    const int rows = int(layout.rows.size());
    const int across = horizontal ? rect.y : rect.x;
    // The row under the rectangle's leading edge, or the nearest one.
    int r = 0;
    while (r + 1 < rows && across >= layout.rows[size_t(r)].start + layout.rows[size_t(r)].thickness)
        ++r;
    const int step = outerIsFirst ? -1 : 1;
    for (int i = r; rows > 0 && i >= 0 && i < rows; i += step) {
        switch (rowUse(i)) {
        case RowUse::Toolbars:
            return {i, false};
        case RowUse::Menu:
            return {outerIsFirst ? i + 1 : i, true};
        case RowUse::Other:
            break;
        }
    }
    return {outerIsFirst ? 0 : rows, true};
}

Rect ToolbarDropRect(const SiteLayout& layout, bool horizontal, bool outerIsFirst, const Rect& rect,
                     const std::function<RowUse(int row)>& rowUse)
{
    const ToolbarDrop d = FindToolbarDrop(layout, horizontal, outerIsFirst, rect, rowUse);
    const int rows = int(layout.rows.size());
    const int thick = horizontal ? rect.h : rect.w;
    // A row that is there, or where a new row starts: before row d.row, or
    // past the last row (the frame's edge on a bottom or right site, where
    // the band lies over the edge of the last row).
    const int across = d.row < rows   ? layout.rows[size_t(d.row)].start
                       : outerIsFirst ? layout.thickness
                                      : std::max(0, layout.thickness - thick);
    Rect out = rect;
    (horizontal ? out.y : out.x) = across;
    return out;
}

int InsertToolbarAtRect(RowModel& model, const SiteLayout& layout, bool horizontal, bool outerIsFirst,
                        int bar, const Rect& rect, const std::function<RowUse(int row)>& rowUse)
{
    if (model.Contains(bar) || int(layout.rows.size()) != model.RowCount())
        return InsertAtRect(model, layout, horizontal, bar, rect);
    const ToolbarDrop d = FindToolbarDrop(layout, horizontal, outerIsFirst, rect, rowUse);
    if (!d.newRow) {
        Rect in = rect;
        (horizontal ? in.y : in.x) = layout.rows[size_t(d.row)].start;
        return InsertAtRect(model, layout, horizontal, bar, in);
    }
    model.InsertRow(bar, d.row >= model.RowCount() ? model.RowCount() + 1 : d.row);
    return std::max(0, horizontal ? rect.x : rect.y);
}

} // namespace dock
