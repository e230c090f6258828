#pragma once
// The room of a frame's centre: the dock sites around it may take only what
// leaves the centre its least size, and the rows of sizing bars give way
// when they take more.

#include "uilib/dock/DockGeom.h"

#include <vector>

namespace dock {

// The least size of the centre of a frame client of the given size: a
// quarter of each dimension, at least 100 pixels, at most the client.
Size LeastCenterSize(Size client);

// A dock row across which the frame lacks room.
struct RowRoom
{
    int thickness = 0;   // what the row takes now
    int least = 0;       // what it takes at the least (bars that keep their
                         // size, the sizing bars' minimum)
};

// The largest cap on the rows' thickness that takes `excess` pixels off
// their sum (a row then takes min(thickness, max(cap, least))); 0 when even
// every row at its least is not enough, and the thickest row's when nothing
// need go.
int ThicknessCap(const std::vector<RowRoom>& rows, int excess);

} // namespace dock
