#pragma once
// The sizing bars of a dock row over plain records: fitting a row to its
// length, laying it end to end, edge tracking, expansion and the clamping of
// stored sizes.

#include "uilib/dock/DockGeom.h"
#include "uilib/dock/DockRows.h"

#include <functional>
#include <vector>

namespace dock {

// Hit codes of a sizing bar.
enum SizingHit : int {
    HitClient = 1,
    HitCaption = 2,
    HitMaxButton = 9,
    HitLeft = 10,
    HitRight = 11,
    HitTop = 12,
    HitBottom = 15,
    HitClose = 20,
};

struct SizingRecord
{
    bool sizing = true;       // false: another bar of the row
    bool visible = true;
    int extent = 0;           // another bar's extent along the row
    Size horz{200, 200};
    Size vert{200, 200};
    Size floating{200, 200};
    Size minSize{33, 32};
    Size saved;
    Size lower;               // tracking limits
    Size upper;
    bool hold = false;
    bool expanded = false;
    bool cannotExpand = false;
};

using SizingLookup = std::function<SizingRecord*(int bar)>;

Size& DockedSize(SizingRecord& r, bool horzRow);
inline int AlongOf(Size s, bool horzRow) { return horzRow ? s.cx : s.cy; }
inline int AcrossOf(Size s, bool horzRow) { return horzRow ? s.cy : s.cx; }
// The one row length of fitting and expansion: the layout rectangle's width
// in a horizontal row, its height - 2 in a vertical one.
inline int SizingRowLength(int width, int height, bool horzRow) { return horzRow ? width : height - 2; }

// The visible sizing bars of bar's row, in row order.
std::vector<int> RowSizingBars(const RowModel& model, const SizingLookup& lookup, int bar);

// Fits the row of bar (its first sizing bar) to the available length; false
// when the row may not be repositioned (a bar moved to a new row, or a lone
// bar does not fit).
bool FitRowLength(RowModel& model, const SizingLookup& lookup, int bar, int available, bool horzRow);

// The bars of bar's row laid end to end from 0: each visible bar's position
// along the row (sizing bars at their docked length, others at their extent).
std::vector<std::pair<int, int>> RepositionRow(const RowModel& model, const SizingLookup& lookup,
                                               int bar, bool horzRow);

// Whether an edge faces the frame's client area (across the row).
inline bool FacesClient(int edge, bool horzRow)
{
    return horzRow ? (edge == HitTop || edge == HitBottom) : (edge == HitLeft || edge == HitRight);
}

// Tracking start: saves the docked size and sets the limits.  clientFree is
// the free extent of the frame's client area.
void StartTracking(const RowModel& model, const SizingLookup& lookup, int bar, int edge,
                   bool horzRow, Size clientFree);
// A move by (dx, dy) from the press point.
void OnTrackUpdateSize(const RowModel& model, const SizingLookup& lookup, int bar, int edge,
                       bool horzRow, Point delta);
// The expansion rule when the left button ends tracking.
void EndTracking(const RowModel& model, const SizingLookup& lookup, int bar, bool horzRow);

// Flips the expansion of a docked bar; rowLength as SizingRowLength.
// False when nothing changed (floating, or fewer than two sizing bars).
bool ToggleExpanded(const RowModel& model, const SizingLookup& lookup, int bar, bool horzRow,
                    int rowLength, bool floating);

// A stored size raised to the minimum.
Size ClampStoredSize(Size stored, Size minSize);
// The docked size written for an orientation (the saved one while expanded
// in the current orientation).
Size SizeToSave(const SizingRecord& r, bool horzRow, bool currentHorz, bool floating);

} // namespace dock
