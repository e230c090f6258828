#pragma once
// Where a dragged bar goes, and where windows may lie on the screens.

#include "uilib/dock/DockGeom.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace dock {

// The least move of rect that puts p inside it.
Rect MoveToContain(Rect rect, Point p);

struct SiteZone
{
    uint32_t id = 0;    // DOCKBAR_TOP ... DOCKBAR_BOTTOM
    Rect rect;          // global; for an empty site the client edge line
    bool empty = false;
};

struct DragInput
{
    Point pointer;
    Rect horz;          // docked horizontally
    Rect vert;          // docked vertically
    Rect floating;
    std::vector<SiteZone> sites;
    uint32_t allowed = 0;   // CBRS_ALIGN_ bits
    bool ctrl = false;
};

struct DragTarget
{
    uint32_t siteId = 0;   // 0: floats
    Rect rect;             // the rectangle shown (and docked or floated at)
};

// How far outside a site holding bars the pointer still docks there.
constexpr int kDockReach = 8;

// The zone of a site: its rectangle, or for an empty site a strip of 16
// pixels centred on its client edge.
Rect SiteZoneRect(const SiteZone& site);
// Floating with Ctrl; else, of the allowed sites whose zone holds the
// pointer (a site with bars: its rectangle grown by kDockReach), the one
// nearest to the pointer, with the bar's rectangle of that orientation
// moved to hold the pointer; floating when the pointer is near no site,
// whatever the size of the bar.
DragTarget FindDragTarget(const DragInput& in);

// The rectangle cut to the screens' bounding rectangle; none when the rest
// overlaps no screen's available geometry.
std::optional<Rect> ClipToScreens(const Rect& rect, const std::vector<Rect>& available);
// A floating frame's rectangle, unchanged when its caption (the band of its
// top `caption` pixels, the whole width) lies wholly inside one screen;
// otherwise moved (not resized) by the least distance that puts it inside
// a screen (its top-left corner at the screen's when it is larger), so that
// the caption can be grabbed.
Rect MoveOntoScreens(const Rect& rect, int caption, const std::vector<Rect>& available);
// A frame stretched by a floating resize is applied only when it meets the
// desktop (the bounding rectangle of the screens).
bool StretchApplies(const Rect& frame, const std::vector<Rect>& screens);

// The frame's placement before it is created.
struct PlacementInput
{
    Rect current;                    // the frame's geometry
    int appShowCmd = 1;              // the application's show command
    std::optional<Rect> storedRect;  // the stored placement, when it loaded
    int storedShowCmd = 1;
    std::vector<Rect> screens;       // available geometries
};

struct Placement
{
    Rect rect;
    int appShowCmd = 1;
};

Placement PlaceFrame(const PlacementInput& in);

} // namespace dock
