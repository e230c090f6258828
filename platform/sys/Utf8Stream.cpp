#include "platform/sys/Utf8Stream.h"

#include <cstdint>
#include <cstring>

namespace sys {

namespace {

// Whether the 8 bytes at p are all below 0x80.
bool EightAscii(const unsigned char* p)
{
    uint64_t w;
    std::memcpy(&w, p, sizeof w);
    return (w & 0x8080808080808080ULL) == 0;
}

// The continuation bytes a lead byte needs and the range of the first one;
// false for a byte that cannot begin a character.
bool LeadByte(unsigned char b, int& need, unsigned char& lo, unsigned char& hi)
{
    lo = 0x80;
    hi = 0xBF;
    if (b >= 0xC2 && b <= 0xDF) {
        need = 1;
    } else if (b >= 0xE0 && b <= 0xEF) {
        need = 2;
        if (b == 0xE0)
            lo = 0xA0; // no overlong forms
        else if (b == 0xED)
            hi = 0x9F; // no surrogates
    } else if (b >= 0xF0 && b <= 0xF4) {
        need = 3;
        if (b == 0xF0)
            lo = 0x90;
        else if (b == 0xF4)
            hi = 0x8F; // not above U+10FFFF
    } else {
        return false;
    }
    return true;
}

constexpr size_t kNeedMore = static_cast<size_t>(-1);

// Decodes the character at p[i] (size bytes given) into o: the position
// after it, or kNeedMore when it is cut off by the end and more may come.
// An invalid byte is written as its escape and passed alone.
size_t DecodeAt(const unsigned char* p, size_t i, size_t size, bool last, char16_t*& o,
                bool& escaped, bool& multiByte)
{
    const unsigned char b0 = p[i];
    if (b0 < 0x80) {
        *o++ = b0;
        return i + 1;
    }
    int need = 0;
    unsigned char lo, hi;
    bool ok = LeadByte(b0, need, lo, hi);
    uint32_t cp = b0 & (need == 1 ? 0x1F : need == 2 ? 0x0F : 0x07);
    for (int k = 1; ok && k <= need; ++k) {
        if (i + static_cast<size_t>(k) >= size) {
            if (!last)
                return kNeedMore;
            ok = false;
            break;
        }
        const unsigned char b = p[i + static_cast<size_t>(k)];
        if (b < lo || b > hi)
            ok = false;
        cp = (cp << 6) | (b & 0x3F);
        lo = 0x80;
        hi = 0xBF;
    }
    if (!ok) {
        *o++ = static_cast<char16_t>(kUtf8ByteEscape + b0);
        escaped = true;
        return i + 1;
    }
    multiByte = true;
    if (cp >= 0x10000) {
        cp -= 0x10000;
        *o++ = static_cast<char16_t>(0xD800 + (cp >> 10));
        *o++ = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
        *o++ = static_cast<char16_t>(cp);
    }
    return i + 1 + static_cast<size_t>(need);
}

void PutUtf8(std::string& out, uint32_t cp)
{
    if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    }
    out += static_cast<char>(0x80 | (cp & 0x3F));
}

} // namespace

bool Utf8Check::Feed(const unsigned char* bytes, size_t n)
{
    size_t i = 0;
    while (i < n && !m_bad) {
        if (m_need == 0) {
            while (i + 8 <= n && EightAscii(bytes + i))
                i += 8;
            if (i == n)
                break;
            const unsigned char b = bytes[i];
            if (b < 0x80) {
                ++i;
                continue;
            }
            m_multiByte = true;
            // Two bytes, the commonest case, at once.
            if (b >= 0xC2 && b <= 0xDF && i + 1 < n && (bytes[i + 1] & 0xC0) == 0x80) {
                i += 2;
                continue;
            }
            ++i;
            if (!LeadByte(b, m_need, m_lo, m_hi))
                m_bad = true;
        } else {
            const unsigned char b = bytes[i++];
            if (b < m_lo || b > m_hi)
                m_bad = true;
            m_lo = 0x80;
            m_hi = 0xBF;
            --m_need;
        }
    }
    return !m_bad;
}

size_t Utf8StreamDecoder::Decode(const unsigned char* bytes, size_t n, bool last, char16_t* out)
{
    char16_t* o = out;
    size_t i = 0;
    if (m_count > 0) {
        // The characters that began in the last piece, from a copy of its
        // bytes and the first bytes of this one.
        unsigned char joined[8];
        const size_t take = n < 4 ? n : 4;
        std::memcpy(joined, m_pending, m_count);
        std::memcpy(joined + m_count, bytes, take);
        const size_t size = m_count + take;
        const bool joinedLast = last && take == n;
        size_t pos = 0;
        while (pos < m_count) {
            size_t next = DecodeAt(joined, pos, size, joinedLast, o, m_escaped, m_multiByte);
            if (next == kNeedMore) { // this piece was too short to finish it
                std::memmove(m_pending, joined + pos, size - pos);
                m_count = size - pos;
                return static_cast<size_t>(o - out);
            }
            pos = next;
        }
        i = pos - m_count;
        m_count = 0;
    }
    while (i < n) {
        while (i + 8 <= n && EightAscii(bytes + i)) {
            for (int k = 0; k < 8; ++k)
                o[k] = bytes[i + static_cast<size_t>(k)];
            o += 8;
            i += 8;
        }
        if (i == n)
            break;
        const unsigned char b = bytes[i];
        if (b < 0x80) {
            *o++ = b;
            ++i;
            continue;
        }
        if (b >= 0xC2 && b <= 0xDF && i + 1 < n && (bytes[i + 1] & 0xC0) == 0x80) {
            *o++ = static_cast<char16_t>(((b & 0x1F) << 6) | (bytes[i + 1] & 0x3F));
            m_multiByte = true;
            i += 2;
            continue;
        }
        size_t next = DecodeAt(bytes, i, n, last, o, m_escaped, m_multiByte);
        if (next == kNeedMore) {
            m_count = n - i;
            std::memcpy(m_pending, bytes + i, m_count);
            break;
        }
        i = next;
    }
    return static_cast<size_t>(o - out);
}

void AppendUtf8Escaped(std::u16string_view text, std::string& out, int* replaced)
{
    const size_t n = text.size();
    for (size_t i = 0; i < n; ++i) {
        const char16_t c = text[i];
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0xD800 || c > 0xDFFF) {
            PutUtf8(out, c);
        } else if (c <= 0xDBFF && i + 1 < n && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            PutUtf8(out,
                    0x10000 + ((uint32_t(c) - 0xD800) << 10) + (uint32_t(text[i + 1]) - 0xDC00));
            ++i;
        } else if (IsUtf8ByteEscape(c)) {
            out += static_cast<char>(c - kUtf8ByteEscape);
        } else {
            PutUtf8(out, 0xFFFD);
            if (replaced)
                ++*replaced;
        }
    }
}

} // namespace sys
