#pragma once
// The PLC image the build produces, as the transfer of the PLC interface
// reads it: the chain of module records and the little-endian fields of
// the image and of the control system's replies.  No Qt.

#include <cstddef>
#include <cstdint>

namespace core {

inline uint16_t LeU16(const uint8_t* p, size_t at) { return uint16_t(p[at] | p[at + 1] << 8); }

inline uint32_t LeU32(const uint8_t* p, size_t at)
{
    return uint32_t(p[at]) | uint32_t(p[at + 1]) << 8 | uint32_t(p[at + 2]) << 16 |
           uint32_t(p[at + 3]) << 24;
}

// Walks the chain of module records of a PLC image; true when it ends in a
// well-formed end record.  Both sums hold the walked modules.
bool CheckPlcImage(const uint8_t* image, uint32_t size, uint32_t& lengthSum, uint16_t& checksumSum);

} // namespace core
