#pragma once
// printf-style formatting with the conventions of the Windows C library, and
// FormatMessage-style %1 .. %9 inserts.  See docs/formatting.md.
//
// The arguments are typesafe: each one is turned into a FmtArg that knows its
// own type, so a conversion never reads memory it was not given.  A
// conversion without an argument formats as nothing at all; an argument of
// another type than the conversion expects is converted sensibly (a number
// given to %s gives its decimal text, a string given to %d gives the string).

#include <concepts>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>

namespace sys {

class FmtArg
{
public:
    enum class Kind : uint8_t {
        Int,    // signed integer; Bytes() tells its width
        UInt,   // unsigned integer (also pointers and bool)
        Double,
        Char16, // one UTF-16 unit (char16_t, wchar_t within the BMP)
        Char8,  // one 8-bit character in the ANSI code page
        Str16,
        Str8,   // 8-bit string in the ANSI code page
    };

    template <std::signed_integral T>
        requires(!std::is_same_v<T, char> && !std::is_same_v<T, wchar_t>)
    FmtArg(T v) : m_kind(Kind::Int), m_bytes(sizeof(T)), m_i(v)
    {
    }
    template <std::unsigned_integral T>
        requires(!std::is_same_v<T, char16_t> && !std::is_same_v<T, char> &&
                 !std::is_same_v<T, char32_t> && !std::is_same_v<T, wchar_t> &&
                 !std::is_same_v<T, char8_t> && !std::is_same_v<T, bool>)
    FmtArg(T v) : m_kind(Kind::UInt), m_bytes(sizeof(T)), m_u(v)
    {
    }
    template <class E>
        requires std::is_enum_v<E>
    FmtArg(E v) : FmtArg(static_cast<std::underlying_type_t<E>>(v))
    {
    }
    FmtArg(bool v) : m_kind(Kind::UInt), m_bytes(4), m_u(v ? 1 : 0) {}
    FmtArg(double v) : m_kind(Kind::Double), m_bytes(8), m_d(v) {}
    FmtArg(float v) : m_kind(Kind::Double), m_bytes(8), m_d(v) {}
    FmtArg(long double v) : m_kind(Kind::Double), m_bytes(8), m_d(static_cast<double>(v)) {}
    FmtArg(char16_t v) : m_kind(Kind::Char16), m_bytes(2), m_u(v) {}
    FmtArg(char32_t v);
    FmtArg(wchar_t v) : FmtArg(static_cast<char32_t>(v)) {}
    FmtArg(char v) : m_kind(Kind::Char8), m_bytes(1), m_u(static_cast<unsigned char>(v)) {}
    // A null pointer formats as "(null)", as the Windows C library does.
    FmtArg(const char16_t* s);
    FmtArg(const char* s);
    FmtArg(std::u16string_view s) : m_kind(Kind::Str16), m_s16(s) {}
    FmtArg(const std::u16string& s) : m_kind(Kind::Str16), m_s16(s) {}
    FmtArg(std::string_view s) : m_kind(Kind::Str8), m_s8(s) {}
    FmtArg(const std::string& s) : m_kind(Kind::Str8), m_s8(s) {}
    // Any other pointer: its address, for %p.
    FmtArg(const void* p)
        : m_kind(Kind::UInt), m_bytes(sizeof(void*)), m_u(reinterpret_cast<uintptr_t>(p))
    {
    }
    FmtArg(std::nullptr_t) : FmtArg(static_cast<const void*>(nullptr)) {}

    Kind GetKind() const { return m_kind; }
    unsigned Bytes() const { return m_bytes; }
    int64_t Int() const { return m_i; }
    uint64_t UInt() const { return m_u; }
    double Double() const { return m_d; }
    std::u16string_view Str16() const { return m_s16; }
    std::string_view Str8() const { return m_s8; }

private:
    Kind m_kind;
    uint8_t m_bytes = 0;
    union {
        int64_t m_i;
        uint64_t m_u = 0;
        double m_d;
    };
    std::u16string_view m_s16;
    std::string_view m_s8;
};

// printf-style formatting of a UTF-16 text.
std::u16string FormatV(std::u16string_view fmt, std::span<const FmtArg> args);

template <class... Args>
std::u16string Format(std::u16string_view fmt, const Args&... args)
{
    if constexpr (sizeof...(Args) == 0) {
        return FormatV(fmt, {});
    } else {
        const FmtArg list[] = {FmtArg(args)...};
        return FormatV(fmt, list);
    }
}

// The same for 8-bit text in the ANSI code page (project and make files):
// 8-bit strings are copied as they are, UTF-16 strings are written in the
// ANSI code page with "?" for what it cannot hold.
std::string FormatAV(std::string_view fmt, std::span<const FmtArg> args);

template <class... Args>
std::string FormatA(std::string_view fmt, const Args&... args)
{
    if constexpr (sizeof...(Args) == 0) {
        return FormatAV(fmt, {});
    } else {
        const FmtArg list[] = {FmtArg(args)...};
        return FormatAV(fmt, list);
    }
}

// FormatMessage-style inserts: %1 .. %9 is the argument of that number (a
// string as it is, a number as its decimal text), %1!fmt! formats it with
// the printf conversion ("%1!04d!"), %% is "%".  A missing argument
// gives nothing; any other "%" sequence is kept as it is.
std::u16string FormatMessageV(std::u16string_view fmt, std::span<const FmtArg> args);

template <class... Args>
std::u16string FormatMessage(std::u16string_view fmt, const Args&... args)
{
    if constexpr (sizeof...(Args) == 0) {
        return FormatMessageV(fmt, {});
    } else {
        const FmtArg list[] = {FmtArg(args)...};
        return FormatMessageV(fmt, list);
    }
}

} // namespace sys
