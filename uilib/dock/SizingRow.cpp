#include "uilib/dock/SizingRow.h"

#include <algorithm>
#include <cstdlib>

namespace dock {

Size& DockedSize(SizingRecord& r, bool horzRow)
{
    return horzRow ? r.horz : r.vert;
}

namespace {

int& AlongRef(Size& s, bool horzRow)
{
    return horzRow ? s.cx : s.cy;
}

int& AcrossRef(Size& s, bool horzRow)
{
    return horzRow ? s.cy : s.cx;
}

} // namespace

std::vector<int> RowSizingBars(const RowModel& model, const SizingLookup& lookup, int bar)
{
    return model.GetRowSizingBars(bar, [&](int key) {
        const SizingRecord* r = lookup(key);
        return r && r->sizing && r->visible;
    });
}

bool FitRowLength(RowModel& model, const SizingLookup& lookup, int bar, int available, bool horzRow)
{
    const RowBounds b = model.GetRowBounds(bar);
    if (b.index < 0)
        return true;
    for (int i = b.first; i <= b.last; ++i) {
        const SizingRecord* r = lookup(model.Entries()[size_t(i)]);
        if (r && r->visible && !r->sizing)
            available -= r->extent;
    }
    const std::vector<int> bars = RowSizingBars(model, lookup, bar);
    if (bars.empty())
        return true;
    int sum = 0, minSum = 2, thick = 0;
    for (int key : bars) {
        SizingRecord& r = *lookup(key);
        sum += AlongOf(DockedSize(r, horzRow), horzRow);
        minSum += AlongOf(r.minSize, horzRow);
        thick = std::max(thick, AcrossOf(DockedSize(r, horzRow), horzRow));
    }
    if (minSum > available) {
        if (b.first != b.last)
            model.MoveToNewRowAfter(bar);
        return false;
    }
    for (int key : bars)
        AcrossRef(DockedSize(*lookup(key), horzRow), horzRow) = thick;
    int diff = available - sum;
    if (diff == 0)
        return true;
    const int step = diff > 0 ? 1 : -1;
    bool holdsCleared = false;
    // Each pass moves every bar by at most one pixel; the cap is generous.
    for (int pass = 0; diff != 0 && pass < std::abs(diff) + available + 2; ++pass) {
        bool changed = false;
        for (int key : bars) {
            if (diff == 0)
                break;
            SizingRecord& r = *lookup(key);
            if (r.hold)
                continue;
            int& len = AlongRef(DockedSize(r, horzRow), horzRow);
            if (step < 0 && len <= AlongOf(r.minSize, horzRow))
                continue;
            len += step;
            diff -= step;
            changed = true;
        }
        if (!changed || diff == 0) {
            if (!holdsCleared) {
                for (int key : bars)
                    lookup(key)->hold = false;
                holdsCleared = true;
            } else if (!changed) {
                break;
            }
        }
    }
    for (int key : bars)
        lookup(key)->hold = false;
    return true;
}

std::vector<std::pair<int, int>> RepositionRow(const RowModel& model, const SizingLookup& lookup,
                                               int bar, bool horzRow)
{
    std::vector<std::pair<int, int>> out;
    const RowBounds b = model.GetRowBounds(bar);
    if (b.index < 0)
        return out;
    int running = 0;
    for (int i = b.first; i <= b.last; ++i) {
        const int key = model.Entries()[size_t(i)];
        SizingRecord* r = lookup(key);
        if (!r || !r->visible)
            continue;
        out.emplace_back(key, running);
        running += r->sizing ? AlongOf(DockedSize(*r, horzRow), horzRow) : r->extent;
    }
    return out;
}

void StartTracking(const RowModel& model, const SizingLookup& lookup, int bar, int edge, bool horzRow,
                   Size clientFree)
{
    SizingRecord& self = *lookup(bar);
    self.saved = DockedSize(self, horzRow);
    const std::vector<int> bars = RowSizingBars(model, lookup, bar);
    self.lower = self.minSize;
    for (int key : bars)
        AcrossRef(self.lower, horzRow) =
            std::max(AcrossOf(self.lower, horzRow), AcrossOf(lookup(key)->minSize, horzRow));
    if (FacesClient(edge, horzRow)) {
        self.upper = {self.saved.cx + clientFree.cx - 4, self.saved.cy + clientFree.cy - 4};
        return;
    }
    const auto it = std::find(bars.begin(), bars.end(), bar);
    const bool previous = edge == HitLeft || edge == HitTop;
    int neighbour = -1;
    if (it != bars.end()) {
        if (previous && it != bars.begin())
            neighbour = *(it - 1);
        else if (!previous && it + 1 != bars.end())
            neighbour = *(it + 1);
    }
    if (neighbour < 0) {
        self.upper = self.saved;
        return;
    }
    SizingRecord& n = *lookup(neighbour);
    const Size nd = DockedSize(n, horzRow);
    self.upper = {self.saved.cx + nd.cx - n.minSize.cx, self.saved.cy + nd.cy - n.minSize.cy};
}

void OnTrackUpdateSize(const RowModel& model, const SizingLookup& lookup, int bar, int edge,
                       bool horzRow, Point delta)
{
    if (delta.x == 0 && delta.y == 0)
        return;
    SizingRecord& self = *lookup(bar);
    Size s = self.saved;
    if (edge == HitLeft)
        s.cx -= delta.x;
    else if (edge == HitRight)
        s.cx += delta.x;
    else if (edge == HitTop)
        s.cy -= delta.y;
    else if (edge == HitBottom)
        s.cy += delta.y;
    s.cx = std::max(std::min(s.cx, self.upper.cx), self.lower.cx);
    s.cy = std::max(std::min(s.cy, self.upper.cy), self.lower.cy);
    Size& docked = DockedSize(self, horzRow);
    const int gained = AlongOf(s, horzRow) - AlongOf(docked, horzRow);
    docked = s;
    const std::vector<int> bars = RowSizingBars(model, lookup, bar);
    if (FacesClient(edge, horzRow)) {
        for (int key : bars)
            AcrossRef(DockedSize(*lookup(key), horzRow), horzRow) = AcrossOf(s, horzRow);
        return;
    }
    const auto it = std::find(bars.begin(), bars.end(), bar);
    const bool previous = edge == HitLeft || edge == HitTop;
    if (it == bars.end())
        return;
    int neighbour = -1;
    if (previous && it != bars.begin())
        neighbour = *(it - 1);
    else if (!previous && it + 1 != bars.end())
        neighbour = *(it + 1);
    if (neighbour >= 0)
        AlongRef(DockedSize(*lookup(neighbour), horzRow), horzRow) -= gained;
}

void EndTracking(const RowModel& model, const SizingLookup& lookup, int bar, bool horzRow)
{
    const std::vector<int> bars = RowSizingBars(model, lookup, bar);
    const int limit = AlongOf(lookup(bar)->upper, horzRow);
    for (int key : bars) {
        SizingRecord& r = *lookup(key);
        const int len = AlongOf(DockedSize(r, horzRow), horzRow);
        if (len == limit) {
            r.expanded = true;
            if (AlongOf(r.saved, horzRow) == len)
                AlongRef(r.saved, horzRow) = len / int(bars.size());
        } else {
            r.expanded = false;
        }
    }
}

bool ToggleExpanded(const RowModel& model, const SizingLookup& lookup, int bar, bool horzRow,
                    int rowLength, bool floating)
{
    const std::vector<int> bars = RowSizingBars(model, lookup, bar);
    SizingRecord& self = *lookup(bar);
    self.cannotExpand = bars.size() < 2;
    if (floating || self.cannotExpand)
        return false;
    self.expanded = !self.expanded;
    for (int key : bars) {
        SizingRecord& r = *lookup(key);
        Size& docked = DockedSize(r, horzRow);
        if (self.expanded) {
            r.saved = docked;
            AlongRef(docked, horzRow) = key == bar ? rowLength : AlongOf(r.minSize, horzRow);
        } else {
            docked = r.saved;
        }
    }
    return true;
}

Size ClampStoredSize(Size stored, Size minSize)
{
    return {std::max(stored.cx, minSize.cx), std::max(stored.cy, minSize.cy)};
}

Size SizeToSave(const SizingRecord& r, bool horzRow, bool currentHorz, bool floating)
{
    const Size docked = horzRow ? r.horz : r.vert;
    if (r.expanded && !floating && horzRow == currentHorz)
        return r.saved;
    return docked;
}

} // namespace dock
