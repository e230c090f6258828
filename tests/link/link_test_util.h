#pragma once
// Helpers of the link tests: an encoder written apart from the library's,
// and a passive channel that takes crafted frames.

#include "link/olnk/olnk_transport.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace linktest {

using Bytes = std::vector<uint8_t>;

inline Bytes Str(const std::string& s) { return Bytes(s.begin(), s.end()); }

inline uint16_t Check(const Bytes& b, size_t from = 0, size_t to = SIZE_MAX)
{
    uint16_t reg = 0;
    for (size_t i = from; i < std::min(to, b.size()); ++i)
        for (int bit = 7; bit >= 0; --bit)
            reg = static_cast<uint16_t>((reg << 1) ^ (((b[i] >> bit) & 1) ? 0x8004 : 0));
    return reg;
}

struct FrameSpec
{
    uint8_t ack = 0x80;
    uint8_t seq = 1;
    bool reliable = true;
    bool connect = false;
    Bytes data;
    uint8_t headerLength = 10;
    uint8_t byte3 = 0x01;
    bool badDataCheck = false;
    uint8_t extra = 0x55; // value of header bytes beyond the tenth
};

inline Bytes Encode(const FrameSpec& s)
{
    const uint16_t control = static_cast<uint16_t>(s.data.size() | (s.reliable ? 0x400 : 0) |
                                                   (s.connect ? 0x800 : 0));
    Bytes f = {0xF9, 0xFD, s.headerLength, s.byte3, s.ack, uint8_t(control & 0xFF),
               uint8_t(control >> 8), s.seq};
    while (f.size() + 2 < s.headerLength)
        f.push_back(s.extra); // extra header bytes
    const uint16_t hc = Check(f);
    f.push_back(uint8_t(hc & 0xFF));
    f.push_back(uint8_t(hc >> 8));
    for (uint8_t b : s.data) {
        f.push_back(b);
        if (b == 0xF9 || b == 0xFE)
            f.push_back(b);
    }
    uint16_t dc = Check(s.data);
    if (s.badDataCheck)
        dc ^= 0x0100;
    f.push_back(0xFE);
    f.push_back(uint8_t(dc & 0xFF));
    f.push_back(uint8_t(dc >> 8));
    return f;
}

inline void Feed(OlnkChannel ch, const Bytes& b) { OlnkReceiveBytes(ch, b); }

inline OlnkChannel Passive(uint8_t window = 20)
{
    OlnkChannelOptions o;
    o.passive = true;
    return OlnkCreateChannel(window, {}, o);
}

inline std::vector<Bytes> Drain(OlnkChannel ch)
{
    std::vector<Bytes> out;
    Bytes buf(1023);
    uint16_t len = 0;
    while (OlnkReceive(ch, &len, 1023, buf.data(), 0))
        out.emplace_back(buf.begin(), buf.begin() + std::min<size_t>(len, 1023));
    return out;
}

inline Bytes Next(OlnkChannel ch, OlnkFrameMode mode = OlnkFrameMode::None)
{
    Bytes f(OLNK_MAX_FRAME);
    uint16_t len = 0;
    OlnkNextFrame(ch, f.data(), &len, mode);
    f.resize(len);
    return f;
}

inline OlnkStatistics Stats(OlnkChannel ch)
{
    OlnkStatistics s{};
    s.size = sizeof s;
    OlnkGetStatistics(ch, &s);
    return s;
}

} // namespace linktest
