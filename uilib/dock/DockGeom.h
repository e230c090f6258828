#pragma once
// Plain geometry of the docking core: points, sizes and rectangles with an
// exclusive right and bottom edge.

#include <algorithm>

namespace dock {

struct Point
{
    int x = 0;
    int y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

struct Size
{
    int cx = 0;
    int cy = 0;
    friend bool operator==(const Size&, const Size&) = default;
};

struct Rect
{
    int x = 0;
    int y = 0;
    int w = 0;
    int h = 0;

    int Right() const { return x + w; }
    int Bottom() const { return y + h; }
    bool IsEmpty() const { return w <= 0 || h <= 0; }
    bool Contains(Point p) const { return p.x >= x && p.x < Right() && p.y >= y && p.y < Bottom(); }
    bool Contains(const Rect& o) const
    {
        return !o.IsEmpty() && o.x >= x && o.Right() <= Right() && o.y >= y && o.Bottom() <= Bottom();
    }
    bool Intersects(const Rect& o) const
    {
        return !IsEmpty() && !o.IsEmpty() && x < o.Right() && o.x < Right() && y < o.Bottom() &&
               o.y < Bottom();
    }
    Rect Intersected(const Rect& o) const
    {
        const int l = std::max(x, o.x), t = std::max(y, o.y);
        const int r = std::min(Right(), o.Right()), b = std::min(Bottom(), o.Bottom());
        if (r <= l || b <= t)
            return {};
        return {l, t, r - l, b - t};
    }
    Rect United(const Rect& o) const
    {
        if (IsEmpty())
            return o;
        if (o.IsEmpty())
            return *this;
        const int l = std::min(x, o.x), t = std::min(y, o.y);
        const int r = std::max(Right(), o.Right()), b = std::max(Bottom(), o.Bottom());
        return {l, t, r - l, b - t};
    }
    Rect Translated(int dx, int dy) const { return {x + dx, y + dy, w, h}; }
    friend bool operator==(const Rect&, const Rect&) = default;
};

} // namespace dock
