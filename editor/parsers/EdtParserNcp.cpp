// The NC part-program parser: address letters with their values,
// R-parameters, operators, quoted text and ";" comments, and directive lines
// ("#", "$" or "&" first) that a backslash continues over the line end.
// See docs/editor-sourcetypes.md.

#include "editor/parsers/EdtKeywords.h"
#include "editor/parsers/EdtParser.h"

#include <array>

namespace {

constexpr uint32_t kContinues = 1;

inline bool IsDigit(char16_t c)
{
    return c >= u'0' && c <= u'9';
}

inline bool IsAsciiLetter(char16_t c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

// The one-character entries of NcpAddressLetters, looked up in either case.
bool IsNcpAddressLetter(char16_t c)
{
    static const std::array<bool, 128> table = [] {
        std::array<bool, 128> t{};
        for (const char16_t* const* w = NcpAddressLetters; *w; ++w) {
            char16_t l = (*w)[0];
            if (l != 0 && (*w)[1] == 0 && l < 128) {
                t[l] = true;
                if (l >= u'A' && l <= u'Z')
                    t[l + 0x20] = true;
                else if (l >= u'a' && l <= u'z')
                    t[l - 0x20] = true;
            }
        }
        return t;
    }();
    return c < 128 && table[c];
}

class NcpLine
{
public:
    explicit NcpLine(std::u16string_view text) : m_text(text), m_len(text.size()) {}

    // Outside the line: U+0000, which no test here looks for.
    char16_t At(size_t p) const { return p < m_len ? m_text[p] : char16_t(0); }

    size_t SkipBlanks(size_t p) const
    {
        while (p < m_len && m_text[p] <= 0x20)
            ++p;
        return p;
    }

    bool IsNcpValueAhead(size_t p) const
    {
        p = SkipBlanks(p);
        if (p >= m_len)
            return false;
        char16_t c = m_text[p];
        return c == u'+' || c == u'-' || c == u'.' || IsDigit(c);
    }

    bool IsNcpRParameterAhead(size_t p) const
    {
        p = SkipBlanks(p);
        if (p >= m_len || (m_text[p] != u'r' && m_text[p] != u'R'))
            return false;
        return IsNcpValueAhead(p + 1);
    }

    // Digits and at most one point from p on.
    size_t SkipNumber(size_t p) const
    {
        bool point = false;
        while (p < m_len) {
            char16_t c = m_text[p];
            if (c == u'.' && !point)
                point = true;
            else if (!IsDigit(c))
                break;
            ++p;
        }
        return p;
    }

    // Up to and including the next quote q from p on, else to the line end;
    // with escapes a backslash takes the character after it along.
    size_t SkipQuoted(size_t p, char16_t q, bool escapes) const
    {
        while (p < m_len) {
            char16_t c = m_text[p];
            if (escapes && c == u'\\') {
                p += 2;
                continue;
            }
            ++p;
            if (c == q)
                return p;
        }
        return m_len;
    }

    size_t Length() const { return m_len; }
    std::u16string_view Sub(size_t from, size_t to) const { return m_text.substr(from, to - from); }

private:
    std::u16string_view m_text;
    size_t m_len;
};

void DirectiveTokens(const NcpLine& line, size_t i, TextBlockList& blocks)
{
    static const EdtKeywordIndex directiveWords(NcpDirectiveWords, true);
    const size_t len = line.Length();
    for (;;) {
        i = line.SkipBlanks(i);
        if (i >= len)
            return;
        const char16_t c = line.At(i);
        size_t j = i + 1;
        int colour = EDT_CLR_PREPROCESSOR;
        if (IsAsciiLetter(c)) {
            while (j < len && IsAsciiLetter(line.At(j)))
                ++j;
            if (directiveWords.Contains(line.Sub(i, j)))
                colour = EDT_CLR_KEYWORD;
        } else if (c == u'"') {
            j = line.SkipQuoted(i + 1, u'"', false);
            colour = EDT_CLR_COMMENT;
        } else if (c == u'\'') {
            j = line.SkipQuoted(i + 1, u'\'', true);
            colour = EDT_CLR_STRING;
        }
        blocks.Append(static_cast<int>(i), colour);
        i = j < len ? j : len;
    }
}

void ProgramTokens(const NcpLine& line, size_t i, TextBlockList& blocks)
{
    const size_t len = line.Length();
    for (;;) {
        i = line.SkipBlanks(i);
        if (i >= len)
            return;
        const char16_t c = line.At(i);
        size_t j = i + 1;
        int colour;
        if (c == u'"') {
            j = line.SkipQuoted(i + 1, u'"', false);
            colour = EDT_CLR_COMMENT;
        } else if (c == u'%' || c == u'@' || c == u'=' || c == u'*') {
            colour = EDT_CLR_OPERATOR;
        } else if (IsDigit(c) || c == u'+' || c == u'-') {
            j = line.SkipNumber(i + 1);
            colour = EDT_CLR_NUMBER;
        } else if ((c == u'r' || c == u'R') &&
                   (line.IsNcpValueAhead(i + 1) || line.At(i + 1) == u'@')) {
            j = i + 2;
            if (!(i > 0 && line.At(i - 1) == u'@'))
                j = line.SkipNumber(j);
            colour = EDT_CLR_FUNCNAME;
        } else if (c == u'/' || c == u'!') {
            colour = EDT_CLR_NCADDR;
        } else if (IsNcpAddressLetter(c) &&
                   (i + 1 >= len || line.At(i + 1) <= 0x22 || line.IsNcpValueAhead(i + 1) ||
                    line.IsNcpRParameterAhead(i + 1))) {
            colour = EDT_CLR_NCADDR;
        } else if (c == u'\'') {
            j = line.SkipQuoted(i + 1, u'\'', false);
            colour = EDT_CLR_STRING;
        } else if (c == u';') {
            j = len;
            colour = EDT_CLR_COMMENT;
        } else {
            colour = EDT_CLR_TEXT;
        }
        blocks.Append(static_cast<int>(i), colour);
        i = j < len ? j : len;
    }
}

} // namespace

uint32_t ParseLineNcp(std::u16string_view text, uint32_t cookie, TextBlockList* blocks)
{
    cookie &= kContinues;
    if (text.empty())
        return cookie;
    const NcpLine line(text);
    bool directive = (cookie & kContinues) != 0;
    const size_t first = line.SkipBlanks(0);
    const char16_t c = line.At(first);
    if (!directive && first < text.size() && (c == u'#' || c == u'$' || c == u'&'))
        directive = true;
    if (blocks) {
        blocks->Append(0, directive ? EDT_CLR_PREPROCESSOR : EDT_CLR_TEXT);
        if (directive)
            DirectiveTokens(line, first, *blocks);
        else
            ProgramTokens(line, first, *blocks);
    }
    if (!directive)
        return 0;
    size_t last = text.size();
    while (last > 0 && text[last - 1] <= 0x20)
        --last;
    return (last > 0 && text[last - 1] == u'\\') ? kContinues : 0;
}
