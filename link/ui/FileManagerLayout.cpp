#include "link/ui/FileManagerLayout.h"

#include <algorithm>

namespace linkui {

ManagerLayout ComputeManagerLayout(const QRect& client, const QRect& toolbar, int splitterWidth, double ratio)
{
    ManagerLayout l;
    const int margin = toolbar.left() - client.left();
    l.toolbar = QRect(toolbar.left(), toolbar.top(), std::max(0, client.width() - 2 * margin), toolbar.height());
    const int usable = std::max(0, client.width() - 2 * margin - splitterWidth);
    const int top = toolbar.top() + toolbar.height() + margin;
    const int bottom = client.top() + client.height() - margin;
    const int height = std::max(0, bottom - top);
    ratio = std::clamp(ratio, 0.0, 1.0);
    const int leftW = std::clamp(int(usable * ratio), 0, usable);
    const int rightW = std::clamp(int(usable * (1.0 - ratio)), 0, usable - leftW);
    l.left = QRect(client.left() + margin, top, leftW, height);
    l.right = QRect(client.left() + margin + leftW + splitterWidth, top, rightW, height);
    l.splitter = QRect(client.left() + margin + leftW, top + 58, splitterWidth, std::max(0, height - 58));
    return l;
}

double RatioAfterMove(int leftWidth, int rightWidth, int offset, double oldRatio)
{
    const int total = leftWidth + rightWidth;
    if (total <= 0)
        return oldRatio;
    return std::clamp(double(leftWidth + offset) / double(total), 0.0, 1.0);
}

int ClampDrag(int offset, int maxLeft, int maxRight) { return std::clamp(offset, -std::max(0, maxLeft), std::max(0, maxRight)); }

} // namespace linkui
