#pragma once
// Where a flipped bit of a wire frame is detected: by the frame structure
// (start, stuffing and end bytes) or by one of the two checks.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace linkshim {

// Wire positions and bit masks whose flip the frame structure or a check
// detects.
struct BitSpot
{
    size_t index;
    uint8_t mask;
};
std::vector<BitSpot> DetectableSpots(const std::vector<uint8_t>& frame);
// Offset of the first data byte and of the end byte FE of a wire frame.
size_t DataEnd(const std::vector<uint8_t>& frame);

} // namespace linkshim
