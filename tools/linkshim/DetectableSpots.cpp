#include "tools/linkshim/DetectableSpots.h"

#include "link/olnk/olnk_transport.h"

#include <algorithm>

namespace linkshim {

using Bytes = std::vector<uint8_t>;

size_t DataEnd(const Bytes& f)
{
    if (f.size() < OLNK_HEADER_SIZE)
        return f.size();
    const size_t n = static_cast<size_t>((f[5] | (f[6] << 8)) & 0x3FF);
    size_t i = OLNK_HEADER_SIZE;
    for (size_t k = 0; k < n && i < f.size(); ++k)
        i += (f[i] == 0xF9 || f[i] == 0xFE) ? 2 : 1;
    return std::min(i, f.size());
}

std::vector<BitSpot> DetectableSpots(const Bytes& f)
{
    std::vector<BitSpot> spots;
    if (f.size() < 13)
        return spots;
    spots.push_back({0, 0xFF});
    spots.push_back({1, 0xFF});
    spots.push_back({6, 0x3F});
    spots.push_back({7, 0xFF});
    spots.push_back({8, 0xFF});
    spots.push_back({9, 0xFF});
    // Walk the data: positions of each (unstuffed) data byte on the wire.
    std::vector<size_t> dataPos;
    size_t i = OLNK_HEADER_SIZE;
    const size_t n = static_cast<size_t>((f[5] | (f[6] << 8)) & 0x3FF);
    while (dataPos.size() < n && i < f.size()) {
        dataPos.push_back(i);
        if (f[i] == 0xF9 || f[i] == 0xFE) {
            spots.push_back({i + 1, 0xFF}); // the stuffing byte
            i += 2;
        } else {
            ++i;
        }
    }
    if (!dataPos.empty())
        spots.push_back({dataPos.back(), 0xFF});
    if (dataPos.size() >= 2)
        spots.push_back({dataPos[dataPos.size() - 2], 0x3F});
    if (i + 2 < f.size()) {
        spots.push_back({i, 0xFF});     // end byte
        spots.push_back({i + 1, 0xFF}); // data check
        spots.push_back({i + 2, 0xFF});
    }
    return spots;
}

} // namespace linkshim
