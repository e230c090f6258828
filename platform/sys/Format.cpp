#include "platform/sys/Format.h"

#include "platform/sys/CodePage.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

namespace sys {

namespace {

// Keeps an absurd width or precision from asking for gigabytes.
constexpr int kMaxField = 32767;

enum class Size { None, Char, Short, Int32, Int64, Wide, Narrow, Long };

struct Conversion
{
    bool left = false, plus = false, space = false, alt = false, zero = false;
    int width = 0;
    int precision = -1;
    Size size = Size::None;
    char conv = 0;
};

unsigned SizeBytes(Size s)
{
    switch (s) {
    case Size::Char: return 1;
    case Size::Short: return 2;
    case Size::Int32: return 4;
    case Size::Int64: return 8;
    default: return 0;
    }
}

// The bits of an argument as an integer of `bytes` width, sign-extended or
// zero-extended to 64 bits according to `asSigned`.
uint64_t IntegerBits(const FmtArg& a, unsigned bytes, bool asSigned, bool* negative)
{
    uint64_t bits = 0;
    unsigned natural = 4;
    switch (a.GetKind()) {
    case FmtArg::Kind::Int:
        bits = static_cast<uint64_t>(a.Int());
        natural = std::max(4u, a.Bytes());
        break;
    case FmtArg::Kind::UInt:
        bits = a.UInt();
        natural = std::max(4u, a.Bytes());
        break;
    case FmtArg::Kind::Char16:
    case FmtArg::Kind::Char8:
        bits = a.UInt();
        break;
    case FmtArg::Kind::Double: {
        double d = a.Double();
        natural = 8;
        if (std::isnan(d))
            bits = 0;
        else if (d <= -9223372036854775808.0)
            bits = static_cast<uint64_t>(std::numeric_limits<int64_t>::min());
        else if (d < 0)
            bits = static_cast<uint64_t>(static_cast<int64_t>(d));
        else if (d >= 18446744073709551616.0)
            bits = std::numeric_limits<uint64_t>::max();
        else
            bits = static_cast<uint64_t>(d);
        break;
    }
    default: break;
    }
    if (bytes == 0)
        bytes = natural;
    if (bytes < 8) {
        unsigned shift = 64 - bytes * 8;
        if (asSigned)
            bits = static_cast<uint64_t>(static_cast<int64_t>(bits << shift) >> shift);
        else
            bits = (bits << shift) >> shift;
    }
    *negative = asSigned && static_cast<int64_t>(bits) < 0;
    return bits;
}

template <class Ch>
class Formatter
{
public:
    using Str = std::basic_string<Ch>;
    using View = std::basic_string_view<Ch>;

    Formatter(std::span<const FmtArg> args) : m_args(args) {}

    Str Run(View fmt)
    {
        size_t i = 0;
        while (i < fmt.size()) {
            Ch c = fmt[i];
            if (c != Ch('%')) {
                size_t next = fmt.find(Ch('%'), i);
                if (next == View::npos)
                    next = fmt.size();
                m_out.append(fmt.substr(i, next - i));
                i = next;
                continue;
            }
            size_t start = i++;
            Conversion conv;
            if (!Parse(fmt, i, conv)) {
                // An unknown or unfinished directive is kept as it is.
                m_out.append(fmt.substr(start, i - start));
                continue;
            }
            Convert(conv);
        }
        return std::move(m_out);
    }

    static void AppendUnits(Str& out, std::u16string_view s)
    {
        if constexpr (std::is_same_v<Ch, char16_t>) {
            out.append(s);
        } else {
            out.append(WideToAnsi(s));
        }
    }
    static void AppendBytes(Str& out, std::string_view s)
    {
        if constexpr (std::is_same_v<Ch, char>) {
            out.append(s);
        } else {
            out.append(AnsiToWide(s));
        }
    }

private:
    const FmtArg* Next()
    {
        if (m_next < m_args.size())
            return &m_args[m_next++];
        ++m_next;
        return nullptr;
    }

    int NextInt()
    {
        const FmtArg* a = Next();
        if (!a)
            return 0;
        bool neg = false;
        int64_t v = static_cast<int64_t>(IntegerBits(*a, 0, true, &neg));
        if (a->GetKind() == FmtArg::Kind::UInt && a->UInt() > uint64_t(kMaxField))
            v = kMaxField;
        return static_cast<int>(std::clamp<int64_t>(v, -kMaxField, kMaxField));
    }

    static bool IsDigit(Ch c) { return c >= Ch('0') && c <= Ch('9'); }

    // Parses what follows "%"; i ends after the directive.  False for an
    // unknown conversion.
    bool Parse(View f, size_t& i, Conversion& s)
    {
        for (; i < f.size(); ++i) {
            Ch c = f[i];
            if (c == Ch('-'))
                s.left = true;
            else if (c == Ch('+'))
                s.plus = true;
            else if (c == Ch(' '))
                s.space = true;
            else if (c == Ch('#'))
                s.alt = true;
            else if (c == Ch('0'))
                s.zero = true;
            else
                break;
        }
        if (i < f.size() && f[i] == Ch('*')) {
            ++i;
            int w = NextInt();
            if (w < 0) {
                s.left = true;
                w = -w;
            }
            s.width = w;
        } else {
            while (i < f.size() && IsDigit(f[i]))
                s.width = std::min(kMaxField, s.width * 10 + int(f[i++] - Ch('0')));
        }
        if (i < f.size() && f[i] == Ch('.')) {
            ++i;
            s.precision = 0;
            if (i < f.size() && f[i] == Ch('*')) {
                ++i;
                int p = NextInt();
                s.precision = p < 0 ? -1 : p;
            } else {
                while (i < f.size() && IsDigit(f[i]))
                    s.precision = std::min(kMaxField, s.precision * 10 + int(f[i++] - Ch('0')));
            }
        }
        auto at = [&](size_t k) { return i + k < f.size() ? f[i + k] : Ch(0); };
        if (at(0) == Ch('I') && at(1) == Ch('6') && at(2) == Ch('4')) {
            s.size = Size::Int64;
            i += 3;
        } else if (at(0) == Ch('I') && at(1) == Ch('3') && at(2) == Ch('2')) {
            s.size = Size::Int32;
            i += 3;
        } else if (at(0) == Ch('h') && at(1) == Ch('h')) {
            s.size = Size::Char;
            i += 2;
        } else if (at(0) == Ch('l') && at(1) == Ch('l')) {
            s.size = Size::Int64;
            i += 2;
        } else if (at(0) == Ch('h')) {
            s.size = Size::Short;
            ++i;
        } else if (at(0) == Ch('l')) {
            s.size = Size::Long;
            ++i;
        } else if (at(0) == Ch('w')) {
            s.size = Size::Wide;
            ++i;
        } else if (at(0) == Ch('I') || at(0) == Ch('z') || at(0) == Ch('j') || at(0) == Ch('t') ||
                   at(0) == Ch('L')) {
            s.size = Size::Int64;
            ++i;
        }
        if (i >= f.size())
            return false;
        Ch c = f[i];
        static constexpr std::string_view kConversions = "diouxXcCsSeEfFgGaApnZ%";
        if (c > 0x7F || kConversions.find(static_cast<char>(c)) == std::string_view::npos)
            return false;
        s.conv = static_cast<char>(c);
        ++i;
        return true;
    }

    // Pads body (holding a prefix of prefixLen units that zeros go after) to
    // the field width.
    void Emit(const Conversion& s, Str body, size_t prefixLen = 0)
    {
        size_t width = static_cast<size_t>(s.width);
        if (body.size() < width) {
            size_t pad = width - body.size();
            if (s.left)
                body.append(pad, Ch(' '));
            else if (s.zero)
                body.insert(prefixLen, pad, Ch('0'));
            else
                body.insert(0, pad, Ch(' '));
        }
        m_out.append(body);
    }

    static Str Ascii(std::string_view s) { return Str(s.begin(), s.end()); }

    // The text of a string argument (or a char) in the output's encoding.
    Str Text(const FmtArg& a)
    {
        Str t;
        switch (a.GetKind()) {
        case FmtArg::Kind::Str16: AppendUnits(t, a.Str16()); break;
        case FmtArg::Kind::Str8: AppendBytes(t, a.Str8()); break;
        case FmtArg::Kind::Char16: AppendUnits(t, std::u16string(1, char16_t(a.UInt()))); break;
        case FmtArg::Kind::Char8:
            AppendBytes(t, std::string(1, static_cast<char>(a.UInt())));
            break;
        case FmtArg::Kind::Int:
        case FmtArg::Kind::UInt: {
            bool neg = false;
            uint64_t v = IntegerBits(a, 0, a.GetKind() == FmtArg::Kind::Int, &neg);
            t = v == 0 ? Ascii("0") : Ascii(Digits(neg ? 0 - v : v, 10, false));
            if (neg)
                t.insert(t.begin(), Ch('-'));
            break;
        }
        case FmtArg::Kind::Double: {
            char buf[64];
            std::snprintf(buf, sizeof buf, "%g", a.Double());
            t = Ascii(buf);
            break;
        }
        }
        return t;
    }

    static std::string Digits(uint64_t v, unsigned base, bool upper)
    {
        const char* dig = upper ? "0123456789ABCDEF" : "0123456789abcdef";
        char buf[72];
        char* p = buf + sizeof buf;
        while (v) { // 0 gives no digits at all
            *--p = dig[v % base];
            v /= base;
        }
        return std::string(p, buf + sizeof buf);
    }

    void Convert(Conversion s)
    {
        if (s.conv == '%') {
            m_out.push_back(Ch('%'));
            return;
        }
        const FmtArg* a = Next();
        if (!a || s.conv == 'n')
            return; // a missing argument formats as nothing; %n writes nothing
        bool isString = a->GetKind() == FmtArg::Kind::Str16 || a->GetKind() == FmtArg::Kind::Str8;
        switch (s.conv) {
        case 's':
        case 'S':
        case 'Z': {
            Str t = Text(*a);
            if (s.precision >= 0 && t.size() > size_t(s.precision))
                t.resize(size_t(s.precision));
            Emit(s, std::move(t));
            return;
        }
        case 'c':
        case 'C': {
            Str t;
            bool narrow = s.size == Size::Short || s.size == Size::Char ||
                          (s.conv == 'C' && s.size == Size::None);
            if constexpr (std::is_same_v<Ch, char>)
                narrow = !(s.size == Size::Long || s.size == Size::Wide ||
                           (s.conv == 'C' && s.size == Size::None));
            if (!isString && (a->GetKind() == FmtArg::Kind::Int ||
                              a->GetKind() == FmtArg::Kind::UInt ||
                              a->GetKind() == FmtArg::Kind::Double)) {
                bool neg;
                uint64_t v = IntegerBits(*a, 0, false, &neg);
                if (narrow)
                    AppendBytes(t, std::string(1, static_cast<char>(v & 0xFF)));
                else
                    AppendUnits(t, std::u16string(1, static_cast<char16_t>(v & 0xFFFF)));
            } else {
                t = Text(*a);
            }
            Emit(s, std::move(t));
            return;
        }
        default: break;
        }
        if (isString) {
            // A string given to a numeric conversion: the string itself.
            Emit(s, Text(*a));
            return;
        }
        switch (s.conv) {
        case 'e':
        case 'E':
        case 'f':
        case 'F':
        case 'g':
        case 'G':
        case 'a':
        case 'A': {
            double d;
            if (a->GetKind() == FmtArg::Kind::Double)
                d = a->Double();
            else if (a->GetKind() == FmtArg::Kind::Int)
                d = static_cast<double>(a->Int());
            else
                d = static_cast<double>(a->UInt());
            std::string f = "%";
            if (s.left)
                f += '-';
            if (s.plus)
                f += '+';
            if (s.space)
                f += ' ';
            if (s.alt)
                f += '#';
            if (s.zero)
                f += '0';
            f += '*';
            if (s.precision >= 0)
                f += ".*";
            f += s.conv;
            int n = s.precision >= 0 ? std::snprintf(nullptr, 0, f.c_str(), s.width, s.precision, d)
                                     : std::snprintf(nullptr, 0, f.c_str(), s.width, d);
            if (n <= 0)
                return;
            std::string buf(size_t(n) + 1, '\0');
            if (s.precision >= 0)
                std::snprintf(buf.data(), buf.size(), f.c_str(), s.width, s.precision, d);
            else
                std::snprintf(buf.data(), buf.size(), f.c_str(), s.width, d);
            buf.resize(size_t(n));
            m_out.append(Ascii(buf));
            return;
        }
        default: break;
        }

        // Integers.
        bool isSigned = s.conv == 'd' || s.conv == 'i';
        unsigned bytes = SizeBytes(s.size);
        if (s.size == Size::Long)
            bytes = 4; // long is 32 bits in the Windows C library
        unsigned base = 10;
        bool upper = false;
        std::string prefix;
        if (s.conv == 'p') {
            bytes = 8;
            base = 16;
            upper = true;
            if (s.precision < 0)
                s.precision = 16;
        } else if (s.conv == 'o') {
            base = 8;
        } else if (s.conv == 'x' || s.conv == 'X') {
            base = 16;
            upper = s.conv == 'X';
        }
        bool neg = false;
        uint64_t bits = IntegerBits(*a, bytes, isSigned, &neg);
        uint64_t mag = neg ? 0 - bits : bits;
        std::string digits = Digits(mag, base, upper);
        if (mag == 0 && s.precision != 0)
            digits.assign(1, '0');
        if (s.precision >= 0 && digits.size() < size_t(s.precision))
            digits.insert(0, size_t(s.precision) - digits.size(), '0');
        if (isSigned) {
            if (neg)
                prefix.push_back('-');
            else if (s.plus)
                prefix.push_back('+');
            else if (s.space)
                prefix.push_back(' ');
        }
        if (s.alt && mag != 0 && base == 16 && s.conv != 'p')
            prefix.append(1, '0').append(1, upper ? 'X' : 'x');
        if (s.alt && base == 8 && (digits.empty() || digits[0] != '0'))
            digits.insert(0, 1, '0');
        if (s.precision >= 0)
            s.zero = false; // a precision turns off zero padding of integers
        Emit(s, Ascii(prefix + digits), prefix.size());
    }

    std::span<const FmtArg> m_args;
    size_t m_next = 0;
    Str m_out;
};

} // namespace

FmtArg::FmtArg(char32_t v) : m_kind(Kind::Char16), m_bytes(2)
{
    // Outside the BMP there is no single UTF-16 unit; give U+FFFD.
    m_u = v <= 0xFFFF ? v : 0xFFFD;
}

FmtArg::FmtArg(const char16_t* s) : m_kind(Kind::Str16)
{
    m_s16 = s ? std::u16string_view(s) : std::u16string_view(u"(null)");
}

FmtArg::FmtArg(const char* s) : m_kind(Kind::Str8)
{
    m_s8 = s ? std::string_view(s) : std::string_view("(null)");
}

std::u16string FormatV(std::u16string_view fmt, std::span<const FmtArg> args)
{
    return Formatter<char16_t>(args).Run(fmt);
}

std::string FormatAV(std::string_view fmt, std::span<const FmtArg> args)
{
    return Formatter<char>(args).Run(fmt);
}

std::u16string FormatMessageV(std::u16string_view fmt, std::span<const FmtArg> args)
{
    std::u16string out;
    size_t i = 0;
    while (i < fmt.size()) {
        char16_t c = fmt[i];
        if (c != u'%' || i + 1 >= fmt.size()) {
            out.push_back(c);
            ++i;
            continue;
        }
        char16_t d = fmt[i + 1];
        if (d == u'%') {
            out.push_back(u'%');
            i += 2;
            continue;
        }
        if (d < u'1' || d > u'9') {
            out.push_back(c);
            ++i;
            continue;
        }
        size_t index = size_t(d - u'1');
        i += 2;
        std::u16string conv = u"%s";
        if (i < fmt.size() && fmt[i] == u'!') {
            size_t close = fmt.find(u'!', i + 1);
            if (close != std::u16string_view::npos) {
                conv = u"%";
                conv.append(fmt.substr(i + 1, close - i - 1));
                i = close + 1;
            }
        }
        if (index < args.size())
            out += FormatV(conv, args.subspan(index));
    }
    return out;
}

} // namespace sys
