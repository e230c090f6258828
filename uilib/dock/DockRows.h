#pragma once
// The rows of a dock site: an ordered list of entries, each a bar (a key of
// the caller's) or a row break; the toolbar row layout over it and the
// insertion of a dragged bar at a rectangle.

#include "uilib/dock/DockGeom.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace dock {

constexpr int kRowBreak = -1;

struct RowBounds
{
    int index = -1;   // the bar's entry
    int first = -1;   // its row's first entry
    int last = -1;    // its row's last bar entry (before the break)
};

// The entry list.  Every row ends with a break; there are no empty rows and
// no doubled breaks.  Bars are keys >= 0, each at most once.
class RowModel
{
public:
    const std::vector<int>& Entries() const { return m_entries; }
    bool IsEmpty() const { return m_entries.empty(); }
    bool Contains(int bar) const { return Find(bar) >= 0; }
    int Find(int bar) const;
    int RowCount() const;
    // The bars of row r (hidden ones included), in order.
    std::vector<int> Row(int r) const;
    // The row of a bar, -1 when it is not here.
    int RowOf(int bar) const;
    RowBounds GetRowBounds(int bar) const;
    // The bars of the bar's row that the predicate takes, in row order.
    std::vector<int> GetRowSizingBars(int bar, const std::function<bool(int)>& isSizing) const;

    // Inserts bar into row r at position pos (clamped); r == RowCount() or
    // beyond makes a new last row, r < 0 a new first row.
    void Insert(int bar, int r, int pos);
    // Inserts bar as a new row before row r (r >= RowCount(): at the end).
    void InsertRow(int bar, int r);
    bool Remove(int bar);
    // A break before bar unless it is first in its row.
    void InsertBreakBefore(int bar);
    // A break after bar unless it is last in its row.
    void InsertBreakAfter(int bar);
    // Moves bar into a new row right after its own row.
    void MoveToNewRowAfter(int bar);
    void Clear() { m_entries.clear(); }
    // Restores the invariants (drops empty rows and doubled breaks, ends the
    // list with a break).
    void Normalize();

private:
    int RowStart(int r) const;
    std::vector<int> m_entries;
};

// True when now holds the bars of before in the same order and keeps
// every row break of before: only breaks were added (the layout wrapped
// bars that no longer fitted), so before may be given back.
bool RowsOnlyWrapped(const RowModel& before, const RowModel& now);

// What the layout knows of a bar.
enum class BarKind { Toolbar, MenuBar, LibrarySizingBar, Other };

struct LayoutBar
{
    BarKind kind = BarKind::Toolbar;
    bool visible = true;
    int pos = 0;   // remembered position along the row
};

struct SiteLayoutInput
{
    bool horizontal = true;   // top and bottom sites
    int rowLength = 0;
    // The bar record of a key.
    std::function<LayoutBar(int bar)> bar;
    // The bar's size (width, height) in the given LM_ mode with the given
    // length.  It may change the row model (a sizing bar fitting its row);
    // it then sets *changed.
    std::function<Size(int bar, uint32_t mode, int length, bool* changed)> measure;
};

struct PlacedBar
{
    int bar = 0;
    Rect rect;     // in site coordinates
    int pos = 0;   // the position it remembers along the row
};

struct PlacedRow
{
    int firstEntry = 0;   // entry index of the row's first entry
    int start = 0;        // across the rows
    int thickness = 0;
};

struct SiteLayout
{
    std::vector<PlacedBar> bars;
    std::vector<PlacedRow> rows;
    int thickness = 0;
    const PlacedBar* Find(int bar) const;
};

// Lays the rows out; wraps bars into new rows in the model where they do
// not fit.
SiteLayout LayoutSite(RowModel& model, const SiteLayoutInput& in);

// Inserts bar at the rectangle (site coordinates) as a drag drop does: the
// row whose band holds its top (left on vertical sites), before the first
// bar starting after its left edge.  Returns the position the bar remembers.
int InsertAtRect(RowModel& model, const SiteLayout& layout, bool horizontal, int bar,
                 const Rect& rect);

// What a row offers a dropped toolbar.
enum class RowUse {
    Toolbars,   // only bars that keep their size: a toolbar may join it
    Menu,       // holds the menu bar: a toolbar goes in a row of its own inside it
    Other,      // holds bars that give way (sizing bars), or nothing shown
};

// Inserts a bar that keeps its size (a toolbar) as a drop does, never into
// a row of sizing bars: into the row the rectangle points at when it holds
// toolbars only, else into the nearest such row toward the frame's edge
// (outer: the site's first row when outerIsFirst, its last otherwise), or
// a new row at that edge, just inside the menu bar's row when one is met
// on the way.  Returns the position the bar remembers.
int InsertToolbarAtRect(RowModel& model, const SiteLayout& layout, bool horizontal, bool outerIsFirst,
                        int bar, const Rect& rect, const std::function<RowUse(int row)>& rowUse);

// Where InsertToolbarAtRect puts a toolbar: into row `row`, or a new row
// before row `row` (the rows' count: a new last row).
struct ToolbarDrop
{
    int row = 0;
    bool newRow = false;
};
ToolbarDrop FindToolbarDrop(const SiteLayout& layout, bool horizontal, bool outerIsFirst, const Rect& rect,
                            const std::function<RowUse(int row)>& rowUse);
// The rectangle to show while the toolbar is dragged there: rect moved
// across the rows to the row it joins, or to the site's edge where its new
// row will lie.
Rect ToolbarDropRect(const SiteLayout& layout, bool horizontal, bool outerIsFirst, const Rect& rect,
                     const std::function<RowUse(int row)>& rowUse);

} // namespace dock
