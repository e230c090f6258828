#include "uilib/dock/DockPlace.h"

#include "uilib/dock/DockSites.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

namespace dock {

Rect MoveToContain(Rect rect, Point p)
{
    if (p.x < rect.x)
        rect.x = p.x;
    else if (p.x >= rect.Right())
        rect.x = p.x - rect.w + 1;
    if (p.y < rect.y)
        rect.y = p.y;
    else if (p.y >= rect.Bottom())
        rect.y = p.y - rect.h + 1;
    return rect;
}

Rect SiteZoneRect(const SiteZone& site)
{
    if (!site.empty)
        return site.rect;
    const bool horz = IsHorizontalSite(site.id);
    Rect r = site.rect;
    if (horz) {
        const int edge = site.id == SITE_TOP ? r.y : r.Bottom();
        return {r.x, edge - 8, std::max(r.w, 1), 16};
    }
    const int edge = site.id == SITE_LEFT ? r.x : r.Right();
    return {edge - 8, r.y, 16, std::max(r.h, 1)};
}

namespace {

// The squared distance from a point to a rectangle (0 inside).
long DistanceSquared(const Rect& r, Point p)
{
    const long dx = std::max({0, r.x - p.x, p.x - (r.Right() - 1)});
    const long dy = std::max({0, r.y - p.y, p.y - (r.Bottom() - 1)});
    return dx * dx + dy * dy;
}

} // namespace

DragTarget FindDragTarget(const DragInput& in)
{
    DragTarget out{0, MoveToContain(in.floating, in.pointer)};
    if (in.ctrl)
        return out;
    const Rect horz = MoveToContain(in.horz, in.pointer);
    const Rect vert = MoveToContain(in.vert, in.pointer);
    // The pointer decides, not the bar's rectangle: a tall bar's rectangle
    // reaches a site from nearly anywhere in the documents' area.  Of the
    // sites the pointer lies in or near, the nearest; a tie goes to the
    // first of top, bottom, left, right.
    const uint32_t order[] = {SITE_TOP, SITE_BOTTOM, SITE_LEFT, SITE_RIGHT};
    long nearest = -1;
    for (uint32_t id : order) {
        if (!(in.allowed & SiteAlignment(id)))
            continue;
        for (const SiteZone& site : in.sites) {
            if (site.id != id)
                continue;
            const Rect zone = SiteZoneRect(site);
            const Rect reach = site.empty ? zone
                                          : Rect{zone.x - kDockReach, zone.y - kDockReach,
                                                 zone.w + 2 * kDockReach, zone.h + 2 * kDockReach};
            if (!reach.Contains(in.pointer))
                continue;
            const long d = DistanceSquared(zone, in.pointer);
            if (nearest < 0 || d < nearest) {
                nearest = d;
                out = {id, IsHorizontalSite(id) ? horz : vert};
            }
        }
    }
    return out;
}

namespace {

Rect Bounding(const std::vector<Rect>& rects)
{
    Rect out;
    for (const Rect& r : rects)
        out = out.United(r);
    return out;
}

} // namespace

std::optional<Rect> ClipToScreens(const Rect& rect, const std::vector<Rect>& available)
{
    const Rect cut = rect.Intersected(Bounding(available));
    if (cut.IsEmpty())
        return std::nullopt;
    for (const Rect& s : available) {
        if (cut.Intersects(s))
            return cut;
    }
    return std::nullopt;
}

Rect MoveOntoScreens(const Rect& rect, int caption, const std::vector<Rect>& available)
{
    if (available.empty())
        return rect;
    // A corner of the caption on a screen is not enough: the rest of it may
    // lie where nobody can grab it.
    const Rect band{rect.x, rect.y, rect.w, std::clamp(caption, 1, std::max(rect.h, 1))};
    for (const Rect& s : available) {
        if (s.Contains(band))
            return rect;
    }
    long best = LONG_MAX;
    Rect out = rect;
    for (const Rect& s : available) {
        // The least move that puts the rectangle inside (or at the top-left
        // of, when larger) this screen.
        Rect moved = rect;
        moved.x = std::max(s.x, std::min(rect.x, s.Right() - rect.w));
        moved.y = std::max(s.y, std::min(rect.y, s.Bottom() - rect.h));
        const long d = std::labs(long(moved.x) - rect.x) + std::labs(long(moved.y) - rect.y);
        if (d < best) {
            best = d;
            out = moved;
        }
    }
    return out;
}

bool StretchApplies(const Rect& frame, const std::vector<Rect>& screens)
{
    return frame.Intersects(Bounding(screens));
}

Placement PlaceFrame(const PlacementInput& in)
{
    Placement out{in.current, in.appShowCmd};
    if (in.storedRect) {
        out.rect = *in.storedRect;
        const int stored = in.storedShowCmd == 3 ? 3 : 1;
        if (in.appShowCmd != 3 && in.appShowCmd != 6)
            out.appShowCmd = stored;
    }
    if (const auto clipped = ClipToScreens(out.rect, in.screens))
        out.rect = *clipped;
    else
        out.rect = in.current;
    return out;
}

} // namespace dock
