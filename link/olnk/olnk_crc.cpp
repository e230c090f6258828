#include "link/olnk/olnk.h"

#include <array>

namespace {

constexpr uint16_t BitwiseUpdate(uint16_t reg, uint8_t byte)
{
    for (int bit = 7; bit >= 0; --bit) {
        const bool set = (byte >> bit) & 1;
        reg = static_cast<uint16_t>((reg << 1) ^ (set ? 0x8004 : 0));
    }
    return reg;
}

// The check is linear: the register after one byte is the register shifted
// by eight bits XOR the check of that byte alone.
constexpr std::array<uint16_t, 256> MakeTable()
{
    std::array<uint16_t, 256> t{};
    for (int b = 0; b < 256; ++b)
        t[b] = BitwiseUpdate(0, static_cast<uint8_t>(b));
    return t;
}

constexpr std::array<uint16_t, 256> kTable = MakeTable();

static_assert(BitwiseUpdate(0, 'a') == 0x8184);

} // namespace

uint16_t OlnkCrcUpdate(uint16_t reg, uint8_t byte)
{
    return static_cast<uint16_t>((reg << 8) ^ kTable[byte]);
}

uint16_t OlnkCrcUpdateBuffer(uint16_t reg, const void* data, size_t length)
{
    const auto* p = static_cast<const uint8_t*>(data);
    for (size_t i = 0; i < length; ++i)
        reg = static_cast<uint16_t>((reg << 8) ^ kTable[p[i]]);
    return reg;
}

uint16_t OlnkCrc(const void* data, size_t length) { return OlnkCrcUpdateBuffer(0, data, length); }
