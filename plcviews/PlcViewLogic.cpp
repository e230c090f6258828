#include "plcviews/PlcViewLogic.h"

#include "editor/parsers/EdtParser.h"
#include "platform/sys/Format.h"
#include "res/text/TextTable.h"

#include <algorithm>
#include <cstring>

namespace plcview {
namespace {
constexpr unsigned IDS_TYPE_FIRST = 4247;  // 4247-4255: "Byte" ... "Konstanta"
constexpr unsigned IDS_RUNNING = 4256;
constexpr unsigned IDS_NOT_RUNNING = 4257;
constexpr unsigned IDS_MECH_AT_LINE = 4258;  // "%s: %s, %s - ř.%d, %s"

char16_t Lower(char16_t c) { return c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c; }

bool EqualsNoCase(std::u16string_view a, std::u16string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i]))
            return false;
    return true;
}

void Put16(uint8_t* p, uint16_t v)
{
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
void Put32(uint8_t* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = uint8_t(v >> (8 * i));
}
uint64_t GetLE(const uint8_t* p, int n)
{
    uint64_t v = 0;
    for (int i = n - 1; i >= 0; --i)
        v = v << 8 | p[i];
    return v;
}
bool IsWordChar(char16_t c) { return IsIdentifierChar(c) || c == u'.'; }
} // namespace

bool RegisterColumnShown(bool projectOpen, bool debugging, int watchRegsOption, std::u16string_view target,
                         int versionMajor, int versionMinor)
{
    if (!projectOpen || !debugging || watchRegsOption == 0)
        return false;
    if (EqualsNoCase(target, u"Haldor"))
        return true;
    return versionMajor > 6 || (versionMajor == 6 && versionMinor >= 373);
}

void RangeDifference(int oldFirst, int oldCount, int newFirst, int newCount, std::vector<int>& removed,
                     std::vector<int>& added)
{
    removed.clear();
    added.clear();
    for (int i = oldFirst; i < oldFirst + oldCount; ++i)
        if (i < newFirst || i >= newFirst + newCount)
            removed.push_back(i);
    for (int i = newFirst; i < newFirst + newCount; ++i)
        if (i < oldFirst || i >= oldFirst + oldCount)
            added.push_back(i);
}

Colorref BlendColor(Colorref act, Colorref inact, uint8_t activity)
{
    Colorref out = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        const int a = int(act >> shift & 0xFF), b = int(inact >> shift & 0xFF);
        const int c = a + (b - a) * int(activity) / 255;
        out |= Colorref(c & 0xFF) << shift;
    }
    return out;
}

std::u16string TypeName(uint32_t type)
{
    return type <= kConstant ? res::LoadText(IDS_TYPE_FIRST + type) : std::u16string();
}

std::u16string ValueTipText(const ValueTip& tip)
{
    const std::u16string type = TypeName(tip.type);
    if (tip.type == kMechanism) {
        if (!tip.valid)
            return sys::Format(u"%s: %s", tip.name, type);
        if (!tip.running)
            return sys::Format(u"%s: %s, %s", tip.name, type, res::LoadText(IDS_NOT_RUNNING));
        if (tip.currentLine > 0)
            return sys::Format(res::LoadText(IDS_MECH_AT_LINE), tip.name, type, res::LoadText(IDS_RUNNING),
                               tip.currentLine, tip.currentFile);
        return sys::Format(u"%s: %s, %s", tip.name, type, res::LoadText(IDS_RUNNING));
    }
    if (!tip.valid)
        return sys::Format(u"%s: %s", tip.name, type);
    switch (tip.type) {
    case kByte:
        if (tip.hex)
            return sys::Format(u"%s: %s = 0x%x", tip.name, type, uint32_t(uint8_t(tip.value)));
        return sys::Format(u"%s: %s = %d", tip.name, type, int32_t(int8_t(tip.value)));
    case kWord:
        if (tip.hex)
            return sys::Format(u"%s: %s = 0x%x", tip.name, type, uint32_t(uint16_t(tip.value)));
        return sys::Format(u"%s: %s = %d", tip.name, type, int32_t(int16_t(tip.value)));
    case kDWord:
        if (tip.hex)
            return sys::Format(u"%s: %s = 0x%x", tip.name, type, uint32_t(tip.value));
        return sys::Format(u"%s: %s = %d", tip.name, type, int32_t(tip.value));
    case kQWord:
        if (tip.hex)
            return sys::Format(u"%s: %s = 0x%I64x", tip.name, type, uint64_t(tip.value));
        return sys::Format(u"%s: %s = %I64d", tip.name, type, int64_t(tip.value));
    case kReal:
        return sys::Format(u"%s: %s = %lf", tip.name, type, tip.real);
    case kBit:
        return sys::Format(u"%s: %s = %d", tip.name, type, int32_t(tip.value));
    default:  // offset, constant
        if (tip.hex)
            return sys::Format(u"%s: %s = %x", tip.name, type, uint32_t(tip.value));
        return sys::Format(u"%s: %s = %d", tip.name, type, int32_t(tip.value));
    }
}

std::u16string RegisterTipText(uint8_t rlo, int32_t dr, bool hex)
{
    if (hex)
        return sys::Format(u"RLO: %d, DR: 0x%08x", int32_t(rlo), uint32_t(dr));
    return sys::Format(u"RLO: %d, DR: %d", int32_t(rlo), dr);
}

std::u16string WordAt(std::u16string_view line, int pos, bool& negate)
{
    negate = false;
    if (pos < 0 || pos >= int(line.size()) || !IsWordChar(line[size_t(pos)]))
        return {};
    int start = pos, end = pos + 1;
    while (start > 0 && IsWordChar(line[size_t(start - 1)]))
        --start;
    while (end < int(line.size()) && IsWordChar(line[size_t(end)]))
        ++end;
    while (start < end && line[size_t(start)] == u'.')
        ++start;
    while (end > start && line[size_t(end - 1)] == u'.')
        --end;
    if (start >= end || pos < start || pos >= end)
        return {};
    negate = start > 0 && line[size_t(start - 1)] == u'-';
    return std::u16string(line.substr(size_t(start), size_t(end - start)));
}

uint16_t TypeSize(uint32_t type)
{
    switch (type) {
    case kByte:
    case kBit:
        return 1;
    case kWord:
        return 2;
    case kDWord:
        return 4;
    case kQWord:
    case kReal:
        return 8;
    default:
        return 0;
    }
}

std::array<uint8_t, 10> BreakpointRecord(uint32_t index, bool set)
{
    std::array<uint8_t, 10> r{};
    Put16(&r[0], 10);
    Put32(&r[2], index);
    Put32(&r[6], set ? 1 : 0);
    return r;
}

std::array<uint8_t, 10> ReadVariableRecord(uint32_t address, uint16_t area, uint16_t size)
{
    std::array<uint8_t, 10> r{};
    Put16(&r[0], 10);
    Put32(&r[2], address);
    Put16(&r[6], area);
    Put16(&r[8], size);
    return r;
}

std::array<uint8_t, 12> ReadMechanismRecord(uint32_t address, uint16_t number)
{
    std::array<uint8_t, 12> r{};
    Put16(&r[0], 12);
    Put16(&r[2], 0);
    Put16(&r[4], 1);
    Put32(&r[6], address);
    Put16(&r[10], number);
    return r;
}

std::array<uint8_t, 10> ReadLineRegistersRecord(uint32_t index)
{
    std::array<uint8_t, 10> r{};
    Put16(&r[0], 10);
    Put16(&r[2], 0);
    Put16(&r[4], 1);
    Put32(&r[6], index);
    return r;
}

bool ReadVariableReply(const void* data, uint32_t length, uint32_t type, uint8_t bitNumber, bool negate,
                       int64_t& value, double& real)
{
    const uint16_t size = TypeSize(type);
    if (!data || size == 0 || length < 2u + size)
        return false;
    const auto* p = static_cast<const uint8_t*>(data) + 2;
    switch (type) {
    case kByte:
        value = int64_t(p[0]);
        break;
    case kWord:
        value = int64_t(GetLE(p, 2));
        break;
    case kDWord:
        value = int64_t(GetLE(p, 4));
        break;
    case kQWord:
        value = int64_t(GetLE(p, 8));
        break;
    case kReal:
        std::memcpy(&real, p, 8);
        if (negate)
            real = -real;
        return true;
    case kBit:
        value = (p[0] >> (bitNumber & 7)) & 1;
        break;
    default:
        return false;
    }
    if (negate)
        value = int64_t(0 - uint64_t(value));
    return true;
}

bool ReadMechanismReply(const void* data, uint32_t length, bool& running, uint32_t& index)
{
    if (!data || length < 7)
        return false;
    const auto* p = static_cast<const uint8_t*>(data);
    running = p[2] != 0;
    index = uint32_t(GetLE(p + 3, 4));
    return true;
}

bool ReadRegistersReply(const void* data, uint32_t length, uint8_t& rlo, int32_t& dr)
{
    if (!data || length < 7)
        return false;
    const auto* p = static_cast<const uint8_t*>(data);
    rlo = p[2];
    dr = int32_t(uint32_t(GetLE(p + 3, 4)));
    return true;
}

} // namespace plcview
