#pragma once
// The file manager's layout and divider arithmetic, without widgets.

#include <QRect>

namespace linkui {

struct ManagerLayout
{
    QRect toolbar, left, right, splitter;
};

// The toolbar area keeps its left, top and height and leaves the same
// margin at the right; the usable width (client - 2 margins - splitter) is
// shared by the ratio; the splitter starts 58 pixels below the panes'
// top.  No width is negative.
ManagerLayout ComputeManagerLayout(const QRect& client, const QRect& toolbar, int splitterWidth, double ratio);

// The ratio after the divider moved by offset pixels; the old one when
// both panes are 0 wide.
double RatioAfterMove(int leftWidth, int rightWidth, int offset, double oldRatio);

// A drag offset clamped to the largest moves to the left and right.
int ClampDrag(int offset, int maxLeft, int maxRight);

} // namespace linkui
