#include "uilib/dock/DockRoom.h"

#include <algorithm>

namespace dock {

Size LeastCenterSize(Size client)
{
    const auto least = [](int extent) { return std::min(std::max(extent, 0), std::max(100, extent / 4)); };
    return {least(client.cx), least(client.cy)};
}

namespace {

// What a cap takes off the rows.
long Taken(const std::vector<RowRoom>& rows, int cap)
{
    long taken = 0;
    for (const RowRoom& r : rows)
        taken += std::max(0, r.thickness - std::max(cap, r.least));
    return taken;
}

} // namespace

int ThicknessCap(const std::vector<RowRoom>& rows, int excess)
{
    int thickest = 0;
    for (const RowRoom& r : rows)
        thickest = std::max(thickest, r.thickness);
    if (excess <= 0)
        return thickest;
    // Taken() falls as the cap grows: the largest cap that still takes
    // enough.
    int lo = 0, hi = thickest;
    if (Taken(rows, lo) < excess)
        return 0;
    while (lo < hi) {
        const int mid = lo + (hi - lo + 1) / 2;
        if (Taken(rows, mid) >= excess)
            lo = mid;
        else
            hi = mid - 1;
    }
    return lo;
}

} // namespace dock
