// The byte receiver: reassembles frames from any chunks of bytes.  Its state
// is touched only by the thread that feeds bytes; the channel mutex is taken
// only to deliver a completed frame.  See docs/link-protocol.md.

#include "link/olnk/olnk_internal.h"

#include "platform/sys/LastError.h"

namespace {

enum : uint8_t {
    kHunt = 0,
    kSecondStart = 1,
    kHeaderLength = 2,
    kHeader = 3,
    kHeaderCheckHigh = 4,
    kData = 5,
    kAfterF9 = 6,
    kAfterFE = 7,
    kDataCheckHigh = 8,
};

inline void HeaderError(OlnkChannelImpl* c)
{
    c->rxHeaderErr.fetch_add(1, std::memory_order_relaxed);
    c->rxCrc = 0;
    c->rxState = kHunt;
}

// A header rejected at this byte; an F9 there may start the next frame.
inline void RejectHeader(OlnkChannelImpl* c, uint8_t b)
{
    HeaderError(c);
    if (b == 0xF9) {
        c->rxCrc = OlnkCrcUpdate(0, 0xF9);
        c->rxState = kSecondStart;
    }
}

inline void StoreData(OlnkChannelImpl* c, uint8_t b)
{
    c->rxData[c->rxDataCount++] = b;
    c->rxCrc = OlnkCrcUpdate(c->rxCrc, b);
}

void Step(OlnkChannelImpl* c, uint8_t b)
{
    switch (c->rxState) {
    case kHunt:
        if (b == 0xF9) {
            c->rxCrc = OlnkCrcUpdate(c->rxCrc, b);
            c->rxState = kSecondStart;
        }
        break;
    case kSecondStart:
        if (b == 0xFD) {
            c->rxCrc = OlnkCrcUpdate(c->rxCrc, b);
            c->rxState = kHeaderLength;
        } else {
            c->rxCrc = 0;
            c->rxState = kHunt;
        }
        break;
    case kHeaderLength:
        if (b >= 0x80) {
            c->rxCrc = 0;
            c->rxState = kHunt;
        } else if (b < OLNK_HEADER_SIZE) {
            RejectHeader(c, b); // its fields would never be read
        } else {
            c->rxHeaderLength = b;
            c->rxHeader[2] = b;
            c->rxHeaderCount = 3;
            c->rxCrc = OlnkCrcUpdate(c->rxCrc, b);
            c->rxState = kHeader;
        }
        break;
    case kHeader:
        if (c->rxHeaderCount < c->rxHeaderLength - 2) {
            if (c->rxHeaderCount == 3 && b != 0x01) {
                RejectHeader(c, b);
                break;
            }
            if (c->rxHeaderCount < OLNK_HEADER_SIZE)
                c->rxHeader[c->rxHeaderCount] = b;
            ++c->rxHeaderCount;
            c->rxCrc = OlnkCrcUpdate(c->rxCrc, b);
        } else if (b == (c->rxCrc & 0xFF)) {
            c->rxState = kHeaderCheckHigh;
        } else {
            HeaderError(c);
        }
        break;
    case kHeaderCheckHigh:
        if (b == (c->rxCrc >> 8)) {
            c->rxCrc = 0;
            c->rxDataCount = 0;
            c->rxDataLength = static_cast<uint16_t>((c->rxHeader[5] | (c->rxHeader[6] << 8)) & 0x3FF);
            c->rxState = kData;
        } else {
            HeaderError(c);
        }
        break;
    case kData:
        if (b == 0xF9) {
            c->rxState = kAfterF9;
        } else if (b == 0xFE) {
            c->rxState = kAfterFE;
        } else if (c->rxDataCount < c->rxDataLength) {
            StoreData(c, b);
        } else {
            HeaderError(c);
        }
        break;
    case kAfterF9:
        if (b == 0xF9) {
            if (c->rxDataCount < c->rxDataLength) {
                StoreData(c, b);
                c->rxState = kData;
            } else {
                HeaderError(c);
            }
        } else if (b == 0xFD) {
            HeaderError(c); // a new frame begins inside the data
            c->rxCrc = OlnkCrcUpdate(OlnkCrcUpdate(0, 0xF9), 0xFD);
            c->rxState = kHeaderLength;
        } else {
            HeaderError(c);
        }
        break;
    case kAfterFE:
        // The end of the data is tested before a stuffed FE.
        if (b == (c->rxCrc & 0xFF) && c->rxDataCount == c->rxDataLength) {
            c->rxState = kDataCheckHigh;
        } else if (b == 0xFE && c->rxDataCount < c->rxDataLength) {
            StoreData(c, b);
            c->rxState = kData;
        } else {
            c->rxCrc = 0;
            c->rxState = kHunt;
            OlnkDeliverFrame(c, false);
        }
        break;
    case kDataCheckHigh: {
        const bool good = b == (c->rxCrc >> 8);
        c->rxCrc = 0;
        c->rxState = kHunt;
        OlnkDeliverFrame(c, good);
        break;
    }
    default:
        c->rxProgramErr.fetch_add(1, std::memory_order_relaxed);
        c->rxState = kHunt;
        break;
    }
}

} // namespace

int OlnkReceiveByte(OlnkChannel c, uint8_t byte)
{
    if (!c) {
        sys::SetLastError(OLNK_E_HANDLE);
        return 0;
    }
    Step(c, byte);
    return 1;
}

int OlnkReceiveBytes(OlnkChannel c, std::span<const uint8_t> bytes)
{
    if (!c) {
        sys::SetLastError(OLNK_E_HANDLE);
        return 0;
    }
    const uint8_t* p = bytes.data();
    const size_t n = bytes.size();
    size_t i = 0;
    while (i < n) {
        if (c->rxState == kData) {
            // The run of plain data bytes, without the per-byte dispatch.
            uint16_t count = c->rxDataCount;
            const uint16_t length = c->rxDataLength;
            uint16_t crc = c->rxCrc;
            while (i < n && count < length) {
                const uint8_t b = p[i];
                if (b == 0xF9 || b == 0xFE)
                    break;
                c->rxData[count++] = b;
                crc = OlnkCrcUpdate(crc, b);
                ++i;
            }
            c->rxDataCount = count;
            c->rxCrc = crc;
            if (i == n)
                break;
        }
        Step(c, p[i++]);
    }
    return 1;
}

int OlnkReceiveDatagram(OlnkChannel c, std::span<const uint8_t> bytes, bool truncated)
{
    if (!c) {
        sys::SetLastError(OLNK_E_HANDLE);
        return 0;
    }
    if (truncated) {
        c->rxHeaderErr.fetch_add(1, std::memory_order_relaxed);
        return 1;
    }
    OlnkReceiveBytes(c, bytes);
    if (c->rxState != kHunt)
        HeaderError(c); // the rest of the frame cannot come in another datagram
    return 1;
}
