#include "plcviews/WatchLogic.h"

#include "link/linkobj/olnk_link.h"
#include "plcviews/PlcViewLogic.h"

#include "platform/sys/Format.h"
#include "res/text/TextTable.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace watchview {
namespace {
constexpr unsigned IDS_BIT = 4407;
constexpr unsigned IDS_MECH_AT_LINE = 4408;  // "%cRozpracován%c: řádek %c%d%c, modul %c%s%c"
constexpr unsigned IDS_MECH_RUNNING = 4409;  // "%cRozpracován"
constexpr unsigned IDS_MECH_IDLE = 4410;     // "%cNeaktivní"
constexpr unsigned IDS_NO_VALUE = 4411;      // 4411-4414 for -1 .. -4
constexpr unsigned IDS_UNKNOWN_REASON = 4415;
constexpr unsigned IDS_NO_ANSWER = 4890;     // "Řídicí systém neodpovídá."
constexpr unsigned IDS_PLAQUE = 4416;        // "Plaketa"
constexpr unsigned IDS_BYTE = 4432;          // 4432 Byte, 4433 Word, 4434 DWord, 4435 Mechanizmus,
                                             // 4436 Offset, 4437 Konstanta
constexpr unsigned IDS_QWORD = 4448;
constexpr unsigned IDS_REAL = 4449;

// The map's symbol types.
using plcview::kBit;
using plcview::kByte;
using plcview::kConstant;
using plcview::kDWord;
using plcview::kMechanism;
using plcview::kOffset;
using plcview::kQWord;
using plcview::kReal;
using plcview::kWord;

uint64_t Raw(const std::array<uint8_t, 8>& b, int n)
{
    uint64_t v = 0;
    for (int i = n - 1; i >= 0; --i)
        v = v << 8 | b[size_t(i)];
    return v;
}

// The signed value of an n-byte integer.
int64_t Signed(uint64_t v, int n)
{
    if (n >= 8)
        return int64_t(v);
    const uint64_t sign = uint64_t(1) << (8 * n - 1);
    return int64_t((v ^ sign) - sign);
}

uint64_t Mask(uint64_t v, int n) { return n >= 8 ? v : v & ((uint64_t(1) << (8 * n)) - 1); }

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

std::u16string_view Trim(std::u16string_view t)
{
    while (!t.empty() && IsBlank(t.front()))
        t.remove_prefix(1);
    while (!t.empty() && IsBlank(t.back()))
        t.remove_suffix(1);
    return t;
}

// An optional sign and decimal digits, the whole text; false on overflow
// beyond the 64-bit range.
bool ParseDecimal(std::u16string_view t, int64_t& out)
{
    bool negative = false;
    if (!t.empty() && (t.front() == u'-' || t.front() == u'+')) {
        negative = t.front() == u'-';
        t.remove_prefix(1);
    }
    if (t.empty() || t.size() > 18)
        return false;
    int64_t v = 0;
    for (char16_t c : t) {
        if (c < u'0' || c > u'9')
            return false;
        v = v * 10 + (c - u'0');
    }
    out = negative ? -v : v;
    return true;
}

int HexDigit(char16_t c)
{
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    return -1;
}

void Put16(std::vector<uint8_t>& r, uint16_t v)
{
    r.push_back(uint8_t(v));
    r.push_back(uint8_t(v >> 8));
}
} // namespace

uint32_t WatchSize(uint32_t type)
{
    // A mechanism's state is five bytes; the rest read as the PLC view does.
    return type == kMechanism ? 5 : plcview::TypeSize(type);
}

std::u16string TypeName(uint32_t type)
{
    switch (type) {
    case kByte:
    case kWord:
    case kDWord:
        return res::LoadText(IDS_BYTE + type);
    case kQWord:
        return res::LoadText(IDS_QWORD);
    case kReal:
        return res::LoadText(IDS_REAL);
    case kMechanism:
        return res::LoadText(IDS_BYTE + 3);
    case kBit:
        return res::LoadText(IDS_BIT);
    case kOffset:
        return res::LoadText(IDS_BYTE + 4);
    case kConstant:
        return res::LoadText(IDS_BYTE + 5);
    default:
        return {};
    }
}

std::u16string ValueText(const ValueInput& in)
{
    const char16_t v = kValueMark;
    switch (in.type) {
    case kByte: {
        int64_t s = Signed(Raw(in.bytes, 1), 1);
        if (in.negate)
            s = -s;
        std::u16string out = in.hex ? sys::Format(u"%c0x%02x%c (", v, uint32_t(Mask(uint64_t(s), 1)), kTextMark)
                                    : sys::Format(u"%c%I64d%c (", v, s, kTextMark);
        for (int bit = 7; bit >= 0; --bit) {
            const std::u16string& named = in.bitNames[size_t(bit)];
            const std::u16string label = named.empty() ? sys::Format(u"%s %d", in.name, bit) : named;
            out += sys::Format(u"%s:%c%s%c", label, v, (in.bytes[0] >> bit & 1) ? u"1" : u"0", kTextMark);
            out += bit ? u", " : u")";
        }
        return out;
    }
    case kWord:
    case kDWord:
    case kQWord: {
        const int n = int(WatchSize(in.type));
        int64_t s = Signed(Raw(in.bytes, n), n);
        if (in.negate)
            s = int64_t(0 - uint64_t(s));
        if (in.hex) {
            const uint64_t u = Mask(uint64_t(s), n);
            if (n == 2)
                return sys::Format(u"%c0x%04x", v, uint32_t(u));
            if (n == 4)
                return sys::Format(u"%c0x%08x", v, uint32_t(u));
            return sys::Format(u"%c0x%016I64x", v, u);
        }
        return sys::Format(u"%c%I64d", v, s);
    }
    case kReal: {
        double d = 0;
        std::memcpy(&d, in.bytes.data(), 8);
        if (in.negate)
            d = -d;
        return sys::Format(u"%c%lf", v, d);
    }
    case kBit: {
        int bit = (in.bytes[0] >> (in.bitNumber & 7)) & 1;
        if (in.negate)
            bit = -bit;
        return sys::Format(u"%c%d", v, bit);
    }
    case kOffset:
    case kConstant:
        // The map's resolver already negated a "-" expression.
        if (in.hex)
            return sys::Format(u"%c0x%x", v, in.constant);
        return sys::Format(u"%c%d", v, int32_t(in.constant));
    default:
        return {};
    }
}

std::u16string UnavailableText(int answer)
{
    if (answer <= -1 && answer >= -4)
        return res::LoadText(unsigned(int(IDS_NO_VALUE) - 1 - answer));
    if (answer == OLNK_STATUS_NO_ANSWER)
        return res::LoadText(IDS_NO_ANSWER);
    return res::LoadText(IDS_UNKNOWN_REASON);
}

std::u16string MechanismText(bool running, int line, std::u16string_view file)
{
    if (!running)
        return sys::Format(res::LoadText(IDS_MECH_IDLE), kValueMark);
    if (line > 0)
        return sys::Format(res::LoadText(IDS_MECH_AT_LINE), kValueMark, kTextMark, kValueMark, line, kTextMark,
                           kValueMark, std::u16string(file), kTextMark);
    return sys::Format(res::LoadText(IDS_MECH_RUNNING), kValueMark);
}

bool ParseRlo(std::u16string_view text, uint8_t& rlo)
{
    int64_t v = 0;
    if (!ParseDecimal(Trim(text), v))
        return false;
    rlo = v != 0 ? 1 : 0;
    return true;
}

bool ParseDr(std::u16string_view text, int32_t& dr)
{
    const std::u16string_view t = Trim(text);
    if (t.size() >= 2 && t[0] == u'0' && (t[1] == u'x' || t[1] == u'X')) {
        const std::u16string_view digits = t.substr(2);
        if (digits.empty() || digits.size() > 8)
            return false;
        uint32_t v = 0;
        for (char16_t c : digits) {
            const int d = HexDigit(c);
            if (d < 0)
                return false;
            v = v << 4 | uint32_t(d);
        }
        dr = int32_t(v);
        return true;
    }
    int64_t v = 0;
    if (!ParseDecimal(t, v) || v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max())
        return false;
    dr = int32_t(v);
    return true;
}

std::vector<uint8_t> BreakpointsRecord(const std::vector<uint32_t>& breakpoints, bool clear)
{
    const size_t n = clear ? 0 : std::min<size_t>(breakpoints.size(), 253);
    std::vector<uint8_t> r;
    r.reserve(4 + 4 * n);
    Put16(r, uint16_t(4 + 4 * n));
    Put16(r, uint16_t(n));
    for (size_t i = 0; i < n; ++i)
        for (int b = 0; b < 4; ++b)
            r.push_back(uint8_t(breakpoints[i] >> (8 * b)));
    return r;
}

std::u16string NewPlaqueName(size_t count)
{
    return sys::Format(u"%s %d", res::LoadText(IDS_PLAQUE), int(count));
}

int SelectionAfterDelete(int index, int remaining)
{
    if (remaining <= 0)
        return -1;
    return index < remaining ? index : remaining - 1;
}

int ValueColumnWidth(int listClientWidth, int column0, int column1)
{
    const int w = listClientWidth - column0 - column1;
    return w > 0 ? w : 300;
}

std::vector<Run> SplitRuns(std::u16string_view text)
{
    std::vector<Run> runs;
    Run cur;
    for (char16_t c : text) {
        if (c == kValueMark || c == kTextMark) {
            const bool value = c == kValueMark;
            if (value != cur.value) {
                if (!cur.text.empty())
                    runs.push_back(cur);
                cur = Run{{}, value};
            }
            continue;
        }
        cur.text += c;
    }
    if (!cur.text.empty())
        runs.push_back(cur);
    return runs;
}

std::vector<std::u16string> SplitNames(std::u16string_view text)
{
    std::vector<std::u16string> out;
    size_t start = 0;
    for (size_t i = 0; i <= text.size(); ++i) {
        if (i < text.size() && text[i] != u'\r' && text[i] != u'\n')
            continue;
        const std::u16string_view line = Trim(text.substr(start, i - start));
        if (!line.empty())
            out.emplace_back(line);
        start = i + 1;
    }
    return out;
}

WatchLayout LayoutControls(int clientWidth, int clientHeight, const WatchLayout& c)
{
    WatchLayout l = c;
    l.list.w = std::max(0, clientWidth - c.list.x);
    l.list.h = std::max(0, clientHeight - c.list.y);
    l.writeButton.x = std::max(350, clientWidth - 5 - c.writeButton.w);
    l.drEdit.x = l.writeButton.x - 5 - c.drEdit.w;
    l.drLabel.x = l.drEdit.x - c.drLabel.w;
    l.rloEdit.x = l.drLabel.x - 10 - c.rloEdit.w;
    l.rloLabel.x = l.rloEdit.x - c.rloLabel.w;
    l.delButton.x = l.rloLabel.x - 28 - c.delButton.w;
    l.newButton.x = l.delButton.x - 5 - c.newButton.w;
    l.combo.w = std::max(0, l.newButton.x - 5 - c.combo.x);
    return l;
}

} // namespace watchview
