#include "core/compout/Scan.h"

#include "platform/sys/HexDigit.h"

namespace compout {

bool Scan::Word(std::string_view& word)
{
    SkipSpace();
    const size_t start = m_i;
    while (m_i < m_s.size() && !IsSpace(m_s[m_i]))
        ++m_i;
    word = m_s.substr(start, m_i - start);
    return !word.empty();
}

bool Scan::Hex(uint32_t max, uint32_t& value)
{
    SkipSpace();
    if (m_i < m_s.size() && m_s[m_i] == '+')
        ++m_i;
    if (m_i + 2 < m_s.size() && m_s[m_i] == '0' && (m_s[m_i + 1] == 'x' || m_s[m_i + 1] == 'X') &&
        sys::HexDigitValue(m_s[m_i + 2]) >= 0)
        m_i += 2;
    uint64_t v = 0;
    size_t digits = 0;
    for (; m_i < m_s.size(); ++m_i, ++digits) {
        const int d = sys::HexDigitValue(m_s[m_i]);
        if (d < 0)
            break;
        v = v * 16 + static_cast<uint64_t>(d);
        if (v > max)
            return false;
    }
    if (digits == 0)
        return false;
    value = static_cast<uint32_t>(v);
    return true;
}

bool Scan::Unsigned(uint32_t& value)
{
    SkipSpace();
    if (m_i < m_s.size() && m_s[m_i] == '+')
        ++m_i;
    uint64_t v = 0;
    size_t digits = 0;
    for (; m_i < m_s.size() && m_s[m_i] >= '0' && m_s[m_i] <= '9'; ++m_i, ++digits) {
        v = v * 10 + static_cast<uint64_t>(m_s[m_i] - '0');
        if (v > 0xFFFFFFFFu)
            return false;
    }
    if (digits == 0)
        return false;
    value = static_cast<uint32_t>(v);
    return true;
}

bool Scan::Int(int32_t& value, unsigned width)
{
    SkipSpace();
    size_t left = width ? width : static_cast<size_t>(-1);
    bool negative = false;
    if (left && m_i < m_s.size() && (m_s[m_i] == '+' || m_s[m_i] == '-')) {
        negative = m_s[m_i] == '-';
        ++m_i;
        --left;
    }
    int64_t v = 0;
    size_t digits = 0;
    for (; left && m_i < m_s.size() && m_s[m_i] >= '0' && m_s[m_i] <= '9'; ++m_i, ++digits, --left) {
        v = v * 10 + (m_s[m_i] - '0');
        if (v > (negative ? 0x80000000LL : 0x7FFFFFFFLL))
            return false;
    }
    if (digits == 0)
        return false;
    value = static_cast<int32_t>(negative ? -v : v);
    return true;
}

} // namespace compout
