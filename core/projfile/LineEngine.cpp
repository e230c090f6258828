#include "core/projfile/LineEngine.h"

#include "platform/sys/CodePage.h"

#include <limits>

namespace core {

namespace {

char16_t AsciiLower(char16_t c)
{
    return (c >= u'A' && c <= u'Z') ? char16_t(c - u'A' + u'a') : c;
}

bool KeyMatches(std::u16string_view token, std::string_view key)
{
    if (token.size() != key.size())
        return false;
    for (size_t i = 0; i < key.size(); ++i) {
        if (AsciiLower(token[i]) != AsciiLower(char16_t(static_cast<unsigned char>(key[i]))))
            return false;
    }
    return true;
}

size_t CountConversions(std::string_view pattern)
{
    size_t n = 0;
    for (size_t i = 0; i + 1 < pattern.size(); ++i) {
        if (pattern[i] == '%') {
            ++n;
            ++i;
        }
    }
    return n;
}

} // namespace

bool ReadLine(KxpArchive& ar, std::u16string& line)
{
    line.clear();
    const std::string& b = ar.m_bytes;
    size_t start = ar.m_pos;
    ar.m_lastReadAtEnd = start >= b.size();
    if (ar.m_lastReadAtEnd)
        return false;
    ar.m_lastLineStart = start;
    size_t i = start;
    while (i < b.size() && b[i] != '\n' && b[i] != '\r')
        ++i;
    std::string_view bytes(b.data() + start, i - start);
    if (i < b.size()) {
        if (b[i] == '\r' && i + 1 < b.size() && b[i + 1] == '\n')
            ++i;
        ++i;
    }
    ar.m_pos = i;
    line = sys::AnsiToWide(bytes);
    return true;
}

void WriteLine(KxpArchive& ar, std::u16string_view text)
{
    bool lossy = false;
    ar.m_bytes += sys::WideToAnsi(text, &lossy);
    if (lossy && !ar.m_lossy) {
        ar.m_lossy = true;
        std::u16string_view v = text;
        while (!v.empty() && (v.back() == u'\n' || v.back() == u'\r'))
            v.remove_suffix(1);
        size_t eq = v.find(u" = ");
        if (eq != std::u16string_view::npos)
            v.remove_prefix(eq + 3);
        ar.m_firstLossyValue.assign(v);
    }
}

bool IsLineSpace(char16_t c)
{
    return c == u' ' || (c >= 0x09 && c <= 0x0D);
}

bool SplitStringLine(std::u16string_view line, std::u16string_view& key, std::u16string_view& value)
{
    size_t i = 0;
    const size_t n = line.size();
    while (i < n && IsLineSpace(line[i]))
        ++i;
    size_t keyStart = i;
    while (i < n && !IsLineSpace(line[i]))
        ++i;
    if (i == keyStart)
        return false;
    key = line.substr(keyStart, i - keyStart);
    while (i < n && IsLineSpace(line[i]))
        ++i;
    if (i >= n || line[i] != u'=') {
        value = {};
        return true;
    }
    ++i;
    while (i < n && IsLineSpace(line[i]))
        ++i;
    value = line.substr(i);
    return true;
}

size_t ScanNumbers(std::u16string_view line, std::string_view pattern, std::vector<int64_t>& out)
{
    out.clear();
    size_t li = 0;
    const size_t ln = line.size();
    for (size_t pi = 0; pi < pattern.size(); ++pi) {
        char pc = pattern[pi];
        if (pc == ' ') {
            while (li < ln && IsLineSpace(line[li]))
                ++li;
            continue;
        }
        if (pc == '%' && pi + 1 < pattern.size()) {
            bool half = false;
            if (pattern[pi + 1] == 'h' && pi + 2 < pattern.size() && pattern[pi + 2] == 'd') {
                half = true;
                pi += 2;
            } else if (pattern[pi + 1] == 'd') {
                pi += 1;
            } else {
                return out.size(); // unsupported conversion
            }
            while (li < ln && IsLineSpace(line[li]))
                ++li;
            bool negative = false;
            if (li < ln && (line[li] == u'+' || line[li] == u'-')) {
                negative = line[li] == u'-';
                ++li;
            }
            if (li >= ln || line[li] < u'0' || line[li] > u'9')
                return out.size();
            // Accumulate as a negative number so that INT32_MIN fits.
            int64_t v = 0;
            const int64_t limit = negative ? -int64_t(std::numeric_limits<int32_t>::min())
                                           : int64_t(std::numeric_limits<int32_t>::max());
            bool overflow = false;
            while (li < ln && line[li] >= u'0' && line[li] <= u'9') {
                if (!overflow) {
                    v = v * 10 + (line[li] - u'0');
                    if (v > limit)
                        overflow = true;
                }
                ++li;
            }
            if (overflow)
                return out.size();
            if (negative)
                v = -v;
            if (half)
                v = static_cast<uint16_t>(static_cast<uint32_t>(static_cast<int32_t>(v)) & 0xFFFFu);
            out.push_back(v);
            continue;
        }
        if (li >= ln || line[li] != char16_t(static_cast<unsigned char>(pc)))
            return out.size();
        ++li;
    }
    return out.size();
}

int KxpArchive::LastLineNumber() const
{
    if (m_lastReadAtEnd)
        return 0;
    // Line ends as ReadLine takes them: LF, CR LF or a lone CR.
    int number = 1;
    for (size_t i = 0; i < m_lastLineStart && i < m_bytes.size(); ++i)
        if (m_bytes[i] == '\n' || (m_bytes[i] == '\r' && (i + 1 >= m_bytes.size() || m_bytes[i + 1] != '\n')))
            ++number;
    return number;
}

void ThrowFormatError(const KxpArchive& ar)
{
    throw ProjectFormatError(ar.GetPath(), ar.LastLineNumber());
}

std::u16string ReadStringLine(KxpArchive& ar, std::string_view key)
{
    std::u16string line;
    ReadLine(ar, line);
    std::u16string_view k, v;
    if (!SplitStringLine(line, k, v) || !KeyMatches(k, key))
        ThrowFormatError(ar);
    return std::u16string(v);
}

std::vector<int64_t> ReadNumberLine(KxpArchive& ar, std::string_view pattern)
{
    std::u16string line;
    ReadLine(ar, line);
    std::vector<int64_t> values;
    if (ScanNumbers(line, pattern, values) != CountConversions(pattern))
        ThrowFormatError(ar);
    return values;
}

int64_t ReadNumber(KxpArchive& ar, std::string_view pattern)
{
    return ReadNumberLine(ar, pattern).at(0);
}

std::u16string Widen(std::string_view ascii)
{
    std::u16string s;
    s.reserve(ascii.size());
    for (char c : ascii)
        s.push_back(char16_t(static_cast<unsigned char>(c)));
    return s;
}

std::u16string NumberText(int64_t n)
{
    return Widen(std::to_string(n));
}

void WriteStringLine(KxpArchive& ar, std::string_view key, std::u16string_view value)
{
    std::u16string text = Widen(key);
    text += u" = ";
    size_t at = text.size();
    text += value;
    for (size_t i = at; i < text.size(); ++i) {
        if (text[i] == u'\r' || text[i] == u'\n')
            text[i] = u' ';
    }
    text += u"\r\n";
    WriteLine(ar, text);
}

std::u16string StringLineValue(std::u16string_view value)
{
    size_t b = 0;
    while (b < value.size() && IsLineSpace(value[b]))
        ++b;
    std::u16string s(value.substr(b));
    for (char16_t& c : s) {
        if (c == u'\r' || c == u'\n')
            c = u' ';
    }
    return s;
}

void WriteNumberLine(KxpArchive& ar, std::string_view key, int64_t n)
{
    WriteNumbersLine(ar, key, {n});
}

void WriteNumbersLine(KxpArchive& ar, std::string_view key, const std::vector<int64_t>& numbers)
{
    std::u16string text = Widen(key);
    text += u" = ";
    for (size_t i = 0; i < numbers.size(); ++i) {
        if (i)
            text += u", ";
        text += NumberText(numbers[i]);
    }
    text += u"\r\n";
    WriteLine(ar, text);
}

} // namespace core
