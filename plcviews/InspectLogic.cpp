#include "plcviews/InspectLogic.h"

#include "platform/sys/Format.h"
#include "plcviews/PlcViewLogic.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

namespace inspect {

namespace {

void Put16(uint8_t* p, uint32_t v)
{
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
void Put32(uint8_t* p, uint32_t v)
{
    Put16(p, v & 0xFFFF);
    Put16(p + 2, v >> 16);
}

bool Blank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\v' || c == u'\f'; }

int Digit(char16_t c, int base)
{
    int d = -1;
    if (c >= u'0' && c <= u'9')
        d = c - u'0';
    else if (c >= u'a' && c <= u'f')
        d = c - u'a' + 10;
    else if (c >= u'A' && c <= u'F')
        d = c - u'A' + 10;
    return d >= 0 && d < base ? d : -1;
}

// Digits only, to the end; false on overflow of 64 bits or no digit.
bool ParseDigits(std::u16string_view s, int base, uint64_t& out)
{
    if (s.empty())
        return false;
    uint64_t v = 0;
    for (char16_t c : s) {
        const int d = Digit(c, base);
        if (d < 0 || v > (std::numeric_limits<uint64_t>::max() - uint64_t(d)) / uint64_t(base))
            return false;
        v = v * uint64_t(base) + uint64_t(d);
    }
    out = v;
    return true;
}

// The integer forms: "0x" + hexadecimal digits (never negative), or an
// optionally signed decimal.  negative tells the sign of a decimal.
bool ParseInteger(std::u16string_view s, bool& negative, uint64_t& magnitude)
{
    while (!s.empty() && Blank(s.front()))
        s.remove_prefix(1);
    negative = false;
    if (s.size() >= 2 && s[0] == u'0' && s[1] == u'x')
        return ParseDigits(s.substr(2), 16, magnitude);
    if (!s.empty() && (s[0] == u'+' || s[0] == u'-')) {
        negative = s[0] == u'-';
        s.remove_prefix(1);
    }
    return ParseDigits(s, 10, magnitude);
}


uint64_t Mask(uint32_t type, int64_t value)
{
    switch (type) {
    case plcview::kByte: return uint8_t(value);
    case plcview::kWord: return uint16_t(value);
    case plcview::kDWord: return uint32_t(value);
    default: return uint64_t(value);
    }
}

} // namespace

bool ParseNewValue(uint32_t type, std::u16string_view text, NewValue& out)
{
    if (type == plcview::kReal) {
        std::u16string_view s = text;
        while (!s.empty() && Blank(s.front()))
            s.remove_prefix(1);
        std::string ascii;
        for (char16_t c : s) {
            if (c > 0x7F)
                return false;
            ascii.push_back(char(c));
        }
        if (ascii.empty())
            return false;
        char* end = nullptr;
        const double v = std::strtod(ascii.c_str(), &end);
        if (end != ascii.c_str() + ascii.size() || !std::isfinite(v))
            return false;
        out.real = v;
        std::memcpy(&out.bits, &v, 8);
        return true;
    }
    bool negative = false;
    uint64_t m = 0;
    if (!ParseInteger(text, negative, m))
        return false;
    int64_t low = 0;
    uint64_t high = 0;  // the magnitude limits of the negative and the positive side
    switch (type) {
    case plcview::kByte: low = 128, high = 255; break;
    case plcview::kWord: low = 32768, high = 65535; break;
    case plcview::kDWord: low = 2147483648LL, high = 4294967295ULL; break;
    case plcview::kQWord: low = 0, high = std::numeric_limits<uint64_t>::max(); break;
    case plcview::kBit: low = 0, high = 1; break;
    default: return false;
    }
    if (negative) {
        const uint64_t lim = type == plcview::kQWord ? uint64_t(1) << 63 : uint64_t(low);
        if (m > lim)
            return false;
        out.bits = 0 - m;
    } else {
        if (m > high)
            return false;
        out.bits = m;
    }
    out.real = 0;
    return true;
}

unsigned InvalidValueMessage(uint32_t type)
{
    switch (type) {
    case plcview::kByte: return 4008;
    case plcview::kWord: return 4009;
    case plcview::kDWord: return 4010;
    case plcview::kQWord: return 4446;
    case plcview::kReal: return 4447;
    case plcview::kBit: return 4013;
    default: return 0;
    }
}

std::u16string DecimalText(uint32_t type, int64_t value, double real)
{
    if (type == plcview::kReal)
        return sys::Format(u"%lf", real);
    if (type == plcview::kQWord)
        return sys::Format(u"%I64d", value);
    // "%d" of the value as read: a Byte (u8) and a Word (u16) show unsigned,
    // a DWord (u32) as its signed 32-bit pattern.
    return sys::Format(u"%d", int32_t(uint32_t(Mask(type, value))));
}

std::u16string HexText(uint32_t type, int64_t value, double real)
{
    if (type == plcview::kReal) {
        uint64_t bits = 0;
        std::memcpy(&bits, &real, 8);
        return sys::Format(u"0x%I64x", bits);
    }
    if (type == plcview::kQWord)
        return sys::Format(u"0x%I64x", uint64_t(value));
    return sys::Format(u"0x%x", uint32_t(Mask(type, value)));
}

std::u16string BitText(int64_t value, int bit) { return sys::Format(u"%d", int((value >> bit) & 1)); }

bool WriteStaysInVariable(const compout::CMapFile& map, uint16_t selector, uint32_t address, uint32_t size)
{
    for (const compout::MapEntry& e : map.GetSymbols().entries)
        if (e.type != compout::kTypeMech && e.selector == selector && e.address > address &&
            e.address - address < size)
            return false;
    return true;
}

std::vector<uint8_t> WriteVariableRecord(uint32_t address, uint16_t area, uint16_t size, uint64_t bits)
{
    std::vector<uint8_t> r(10u + size, 0);
    Put16(&r[0], 10u + size);
    Put32(&r[2], address);
    Put16(&r[6], area);
    Put16(&r[8], size);
    for (uint16_t i = 0; i < size && i < 8; ++i)
        r[10u + i] = uint8_t(bits >> (8 * i));
    return r;
}

std::array<uint8_t, 8> WriteBitsRecord(uint32_t address, uint16_t area, uint8_t values, uint8_t mask)
{
    std::array<uint8_t, 8> r{};
    Put32(&r[0], address);
    Put16(&r[4], area);
    r[6] = values;
    r[7] = mask;
    return r;
}

std::array<uint8_t, 9> SetMechanismRecord(uint32_t address, uint16_t number, bool run)
{
    std::array<uint8_t, 9> r{};
    Put16(&r[0], 9);
    Put32(&r[2], address);
    Put16(&r[6], number);
    r[8] = run ? 1 : 0;
    return r;
}

std::vector<std::vector<uint8_t>> ReadMechanismBlocks(const std::vector<MechKey>& rows)
{
    std::vector<std::vector<uint8_t>> blocks;
    for (size_t first = 0; first < rows.size(); first += kMechBlock) {
        const size_t n = std::min(kMechBlock, rows.size() - first);
        std::vector<uint8_t> b(6 + 6 * n, 0);
        Put16(&b[0], uint32_t(6 + 6 * n));
        Put16(&b[2], 0);  // the u16 the control system ignores
        Put16(&b[4], uint32_t(n));
        for (size_t i = 0; i < n; ++i) {
            Put32(&b[6 + 6 * i], rows[first + i].address);
            Put16(&b[10 + 6 * i], rows[first + i].number);
        }
        blocks.push_back(std::move(b));
    }
    return blocks;
}

std::vector<MechState> ReadMechanismStates(const void* data, uint32_t length, size_t expected)
{
    std::vector<MechState> out;
    const auto* p = static_cast<const uint8_t*>(data);
    if (!p || length < 2)
        return out;
    const uint32_t own = uint32_t(p[0] | p[1] << 8);
    const size_t n = std::min({expected, size_t(own >= 2 ? (own - 2) / 5 : 0), size_t((length - 2) / 5)});
    for (size_t i = 0; i < n; ++i) {
        const uint8_t* e = p + 2 + 5 * i;
        MechState s;
        s.running = e[0] != 0;
        s.index = uint32_t(e[1]) | uint32_t(e[2]) << 8 | uint32_t(e[3]) << 16 | uint32_t(e[4]) << 24;
        out.push_back(s);
    }
    return out;
}

} // namespace inspect
