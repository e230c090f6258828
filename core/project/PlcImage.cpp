#include "core/project/PlcImage.h"

namespace core {

bool CheckPlcImage(const uint8_t* image, uint32_t size, uint32_t& lengthSum, uint16_t& checksumSum)
{
    lengthSum = 0;
    checksumSum = 0;
    if (!image)
        return false;
    size_t pos = 0;
    const size_t end = size;
    while (pos + 32 < end) {
        const uint8_t* r = image + pos;
        if (r[6] != 6)
            break;
        const uint16_t type = LeU16(r, 4);
        if (LeU16(r, 0) != 0xFEFA || LeU16(r, 2) != 0xF9FF || (type != 0xA520 && type != 0xA500) ||
            r[7] != 0xF9)
            return false;
        lengthSum += LeU16(r, 24);
        checksumSum = uint16_t(checksumSum + LeU16(r, 26));
        const uint16_t distance = LeU16(r, 12);
        if (distance < 32) // would never leave its own head
            return false;
        pos += distance;
    }
    if (pos + 8 > end)
        return false;
    const uint8_t* r = image + pos;
    return LeU16(r, 0) == 0xFEFA && LeU16(r, 2) == 0xF9FF && LeU16(r, 4) == 0xA500 && r[6] == 7 &&
           r[7] == 0xF8;
}

} // namespace core
