#pragma once
// The layout of a toolbar's buttons, as a pure core over Qt Core value
// types: wrapping into rows, sizing to a length, the size part of the
// layout calculation, placing the buttons (rows, hidden separators, centred
// label rows, overflow) and hit testing.  The toolbar feeds it the buttons'
// sizes and flags and its own numbers.
//
// A horizontal bar lays its buttons out in rows from left to right, rows
// going down with a pitch of the row height + 5.  A vertical bar lays them
// out in columns from top to bottom, columns going right by the column width.

#include <QPoint>
#include <QRect>
#include <QSize>

#include <cstdint>
#include <vector>

struct KvtLayoutButton
{
    QSize size;            // from the button's CalculateSize for the bar's orientation
    bool separator = false;
    bool wrap = false;     // a new row (column) starts after this button
    bool hidden = false;   // no room: in the overflow
    bool textBelow = false;
    QRect rect;            // set by Reposition
};

struct KvtLayoutBar
{
    bool horizontal = true;
    int rowHeight = 22;     // GetRowHeight
    int columnWidth = 23;   // GetColumnWidth
    int availableLength = 0; // along the bar: the fixed length, or the client width / height
    QPoint origin;          // the client area's top-left
    int clientAcross = 0;   // the client height (horizontal) or width (vertical)
    bool textLabels = false;
    int overflowLength = 0; // the customize button's length; 0: no overflow
    // The size part of the layout calculation.
    uint32_t barStyle = 0;
    int borderAlong = 0;    // the inside-rect insets along the bar (both ends)
    int borderAcross = 0;   // and across it
    int mruWidth = 32767;   // the last floating width
};

// Where a dragged button would go: the insertion index and the rectangle
// of the insertion marker (an edge of a button, 6 pixels across it).
struct KvtDropPlace
{
    int index = -1; // -1: no place
    QRect marker;
};

// What a bar allows a drop to take.
struct KvtDropRules
{
    int customizeIndex = -1; // the overflow button: never a drop place
    int minIndex = 0;        // the first index a drop may take
    int maxIndex = -1;       // the last index a drop may take (-1: the count)
};

class KvtToolbarLayout
{
public:
    // Sets the wrap flags for a row length; the number of rows.
    static int Wrap(std::vector<KvtLayoutButton>& buttons, int length, bool horizontal = true);
    // The size of the buttons as wrapped.
    static QSize CalcSize(const std::vector<KvtLayoutButton>& buttons, const KvtLayoutBar& bar);
    // Wraps for a length: vertical means the length is the height the
    // (horizontal) rows may take; else the width to wrap at, bisected for the
    // narrowest width with the same number of rows.
    static void SizeToolBar(std::vector<KvtLayoutButton>& buttons, int length, bool vertical,
                            const KvtLayoutBar& bar);
    // The size part of CalcLayout for the layout-mode flags and a length
    // (-1: none); also updates bar.mruWidth for LM_COMMIT.
    static QSize CalcLayout(std::vector<KvtLayoutButton>& buttons, uint32_t mode, int length, KvtLayoutBar& bar);
    // Places every button; returns the indices hidden for lack of room.
    static std::vector<int> Reposition(std::vector<KvtLayoutButton>& buttons, const KvtLayoutBar& bar);
    // The first visible, non-hidden button holding the point; -1 for none
    // and for a separator.
    static int HitTest(const std::vector<KvtLayoutButton>& buttons, QPoint point);
    // The drop place for a point.  A bar without buttons (or with only the
    // customize button) gives 0 and the client rectangle.  A vertical bar
    // walks its buttons: above a button's top the place is that button's;
    // within it the nearer edge wins (the button's or the next one's);
    // below all, after the last.  A horizontal bar takes the row under the
    // point from the row height and walks that row along x the same way.
    // A point on the customize button gives -1 and an empty marker; the
    // rules keep the index within [minIndex, maxIndex].
    static KvtDropPlace FindDropIndex(const std::vector<KvtLayoutButton>& buttons, QPoint point,
                                      const KvtLayoutBar& bar, const QRect& client, const KvtDropRules& rules = {});

private:
    static int Along(const KvtLayoutButton& b, bool horizontal)
    {
        return horizontal ? b.size.width() : b.size.height();
    }
};
