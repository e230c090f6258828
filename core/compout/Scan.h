#pragma once
// Field scanning of 8-bit record lines with the C library's scanf rules: a
// blank of the pattern matches any run of white space (also none), numeric
// and word fields skip white space first, and a value too wide for its
// field does not parse.  Overflow is never undefined.

#include <cstdint>
#include <string_view>

namespace compout {

class Scan
{
public:
    explicit Scan(std::string_view text) : m_s(text) {}

    static bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

    void SkipSpace()
    {
        while (m_i < m_s.size() && IsSpace(m_s[m_i]))
            ++m_i;
    }
    // Matches literal text exactly.
    bool Literal(std::string_view lit)
    {
        if (m_s.substr(m_i, lit.size()) != lit)
            return false;
        m_i += lit.size();
        return true;
    }
    // %s: a whole run of non-white-space characters, at least one.
    bool Word(std::string_view& word);
    // %x: hexadecimal (an optional "+" and "0x" are taken); fails above max.
    bool Hex(uint32_t max, uint32_t& value);
    // %u: decimal without sign (an optional "+"); fails above 0xFFFFFFFF.
    bool Unsigned(uint32_t& value);
    // %d, or %<width>d with width > 0; fails outside int32.
    bool Int(int32_t& value, unsigned width = 0);

    size_t Position() const { return m_i; }

private:
    std::string_view m_s;
    size_t m_i = 0;
};

} // namespace compout
