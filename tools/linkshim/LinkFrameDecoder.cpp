#include "tools/linkshim/LinkFrameDecoder.h"

namespace linkshim {

uint16_t LinkFrameDecoder::Check(std::span<const uint8_t> bytes)
{
    uint32_t reg = 0;
    for (uint8_t b : bytes) {
        for (int bit = 7; bit >= 0; --bit)
            reg = ((reg << 1) ^ (((b >> bit) & 1) ? 0x8004u : 0u)) & 0xFFFF;
    }
    return static_cast<uint16_t>(reg);
}

void LinkFrameDecoder::Feed(std::span<const uint8_t> bytes)
{
    m_buf.insert(m_buf.end(), bytes.begin(), bytes.end());
    for (;;) {
        // Hunt for F9 FD.
        size_t start = 0;
        while (start + 1 < m_buf.size() && !(m_buf[start] == 0xF9 && m_buf[start + 1] == 0xFD))
            ++start;
        if (start + 1 >= m_buf.size() && !(m_buf.size() == start + 1 && m_buf[start] == 0xF9))
            start = m_buf.size();
        m_skipped += start;
        m_buf.erase(m_buf.begin(), m_buf.begin() + long(start));
        if (m_buf.size() < 2)
            return;
        DecodedFrame f;
        bool isFrame = false;
        size_t used = TryDecode(f, isFrame);
        if (used == 0)
            return;
        if (isFrame)
            m_frames.push_back(std::move(f));
        else
            ++m_skipped; // a false start: skip its F9
        m_buf.erase(m_buf.begin(), m_buf.begin() + long(isFrame ? used : 1));
    }
}

size_t LinkFrameDecoder::TryDecode(DecodedFrame& f, bool& isFrame)
{
    const auto& b = m_buf;
    isFrame = false;
    if (b.size() < 10)
        return 0;
    const size_t hlen = b[2];
    if (hlen < 10 || hlen > 127 || b[3] != 0x01)
        return 1;
    if (b.size() < hlen)
        return 0;
    f.ack = b[4];
    f.control = static_cast<uint16_t>(b[5] | (b[6] << 8));
    f.seq = b[7];
    const uint16_t hc = static_cast<uint16_t>(b[hlen - 2] | (b[hlen - 1] << 8));
    f.headerOk = Check({b.data(), hlen - 2}) == hc;
    if (!f.headerOk)
        return 1;
    const size_t n = f.control & 0x3FF;
    size_t pos = hlen;
    while (f.data.size() < n) {
        if (pos >= b.size())
            return 0;
        uint8_t c = b[pos];
        if (c == 0xF9 || c == 0xFE) {
            if (pos + 1 >= b.size())
                return 0;
            if (b[pos + 1] != c)
                return 1; // broken stuffing
            pos += 2;
        } else {
            pos += 1;
        }
        f.data.push_back(c);
    }
    if (pos + 3 > b.size())
        return 0;
    if (b[pos] != 0xFE)
        return 1;
    const uint16_t dc = static_cast<uint16_t>(b[pos + 1] | (b[pos + 2] << 8));
    f.dataOk = Check(f.data) == dc;
    isFrame = true;
    return pos + 3;
}

std::vector<DecodedFrame> LinkFrameDecoder::Take()
{
    std::vector<DecodedFrame> out;
    out.swap(m_frames);
    return out;
}

std::vector<DecodedFrame> LinkFrameDecoder::DecodeDatagram(std::span<const uint8_t> bytes)
{
    LinkFrameDecoder d;
    d.Feed(bytes);
    return d.Take();
}

} // namespace linkshim
