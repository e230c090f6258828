#include "editor/EdtParser.h"

#include <algorithm>

namespace {

// White space of the C-style scan: U+0009-U+000D and the blank.
inline bool IsScanSpace(char16_t c)
{
    return (c >= 0x09 && c <= 0x0D) || c == 0x20;
}

inline char16_t FoldAscii(char16_t c)
{
    return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 0x20) : c;
}

// Equal words; with ignoreCase only A-Z/a-z fold.
bool WordEquals(const char16_t* listWord, std::u16string_view word, bool ignoreCase)
{
    for (size_t i = 0; i < word.size(); ++i) {
        char16_t a = listWord[i];
        if (a == 0)
            return false;
        char16_t b = word[i];
        if (ignoreCase ? FoldAscii(a) != FoldAscii(b) : a != b)
            return false;
    }
    return listWord[word.size()] == 0;
}

size_t WordLength(const char16_t* w)
{
    size_t n = 0;
    while (w[n] != 0)
        ++n;
    return n;
}

} // namespace

// --- Block lists and the parser object ------------------------------------

void CEdtTextBlock::Add(int charPos, int colorIndex)
{
    std::vector<TextBlock>& v = m_list.m_blocks;
    auto it = std::lower_bound(v.begin(), v.end(), charPos,
                               [](const TextBlock& b, int pos) { return b.charPos < pos; });
    if (it != v.end() && it->charPos == charPos)
        it->colorIndex = colorIndex;
    else
        v.insert(it, TextBlock{charPos, colorIndex});
}

CEdtParser::~CEdtParser() = default;

uint32_t CEdtParser::ParseLine(uint32_t cookie, int line, CEdtTextBlock* blocks)
{
    (void)cookie;
    (void)line;
    (void)blocks;
    return 0;
}

void CEdtParser::WrapLine(int line, int width, std::vector<int>* breaks, int& count)
{
    if (!m_view)
        return;
    int length = m_view->GetLineLength(line);
    const char16_t* chars = m_view->GetLineChars(line);
    if (length <= 0 || !chars)
        return;
    count += EdtWrapLine(std::u16string_view(chars, static_cast<size_t>(length)),
                         m_view->GetTabSize(), width, breaks);
}

int EdtWrapLine(std::u16string_view text, int tabSize, int width, std::vector<int>* breaks)
{
    if (width < 1)
        return 0;
    const int t = std::max(tabSize, 1);
    int c = 0;      // columns since the last break
    int k = 0;      // column of the current character
    int p = 0;      // last break position (a character index)
    int q = 0;      // column at p
    bool breakable = false;
    int count = 0;
    int lastBreak = 0;
    const int length = static_cast<int>(text.size());
    for (int i = 0; i < length; ++i) {
        if (breakable) {
            p = i;
            q = k;
            breakable = false;
        }
        char16_t ch = text[static_cast<size_t>(i)];
        int n = ch == u'\t' ? t - (k % t) : 1;
        c += n;
        k += n;
        if (ch == u'\t' || ch == u' ')
            breakable = true;
        if (c >= width) {
            if ((count == 0 && p == 0) || (count > 0 && lastBreak == p)) {
                p = i;
                q = k;
            }
            if (breaks)
                breaks->push_back(p);
            lastBreak = p;
            ++count;
            c = k - q;
        }
    }
    return count;
}

// --- Keywords and numbers ------------------------------------------------

bool IsKeywordInList(const char16_t* const* list, std::u16string_view word, bool ignoreCase)
{
    if (!list)
        return false;
    for (; *list; ++list)
        if (WordEquals(*list, word, ignoreCase))
            return true;
    return false;
}

uint32_t EdtKeywordIndex::Hash(std::u16string_view word, bool ignoreCase)
{
    uint32_t h = 2166136261u;
    for (char16_t c : word) {
        h ^= ignoreCase ? FoldAscii(c) : c;
        h *= 16777619u;
    }
    return h ^ static_cast<uint32_t>(word.size());
}

EdtKeywordIndex::EdtKeywordIndex(const char16_t* const* list, bool ignoreCase)
    : m_ignoreCase(ignoreCase)
{
    size_t n = 0;
    for (const char16_t* const* w = list; w && *w; ++w)
        ++n;
    size_t size = 8;
    while (size < 2 * n + 1)
        size *= 2;
    m_slots.assign(size, nullptr);
    m_lengths.assign(size, 0);
    m_mask = static_cast<uint32_t>(size - 1);
    for (const char16_t* const* w = list; w && *w; ++w) {
        size_t len = WordLength(*w);
        std::u16string_view word(*w, len);
        if (Contains(word))
            continue;  // a list may hold a word twice
        m_maxLength = std::max(m_maxLength, len);
        uint32_t slot = Hash(word, ignoreCase) & m_mask;
        while (m_slots[slot])
            slot = (slot + 1) & m_mask;
        m_slots[slot] = *w;
        m_lengths[slot] = static_cast<uint16_t>(len);
    }
}

bool EdtKeywordIndex::Contains(std::u16string_view word) const
{
    if (word.size() > m_maxLength || m_slots.empty())
        return false;
    uint32_t slot = Hash(word, m_ignoreCase) & m_mask;
    while (const char16_t* w = m_slots[slot]) {
        if (m_lengths[slot] == word.size() && WordEquals(w, word, m_ignoreCase))
            return true;
        slot = (slot + 1) & m_mask;
    }
    return false;
}

bool IsNumberToken(std::u16string_view t)
{
    auto isDigit = [](char16_t c) { return c >= u'0' && c <= u'9'; };
    if (t.size() > 2 && t[0] == u'0' && t[1] == u'x') {
        bool hex = true;
        for (size_t i = 2; i < t.size() && hex; ++i) {
            char16_t c = t[i];
            hex = isDigit(c) || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
        }
        if (hex)
            return true;
    }
    if (t.empty() || !isDigit(t[0]))
        return false;
    for (size_t i = 1; i < t.size(); ++i) {
        char16_t c = t[i];
        if (!isDigit(c) && c != u'+' && c != u'-' && c != u'.' && c != u'e' && c != u'E')
            return false;
    }
    return true;
}

// --- The shared C-style scan ---------------------------------------------

uint32_t EdtScanCStyle(std::u16string_view text, uint32_t cookie, TextBlockList* blocks,
                       const EdtCStyleOptions& options)
{
    const int len = static_cast<int>(text.size());
    // A position outside the line reads as U+0000: neither an identifier
    // character nor a point nor any character the scan looks for.
    auto at = [&](int p) -> char16_t {
        return (p >= 0 && p < len) ? text[static_cast<size_t>(p)] : char16_t(0);
    };
    auto isolatedPoint = [&](int p) {
        return at(p) == u'.' && p > 0 && !IsIdentifierStartChar(at(p - 1)) &&
               !IsIdentifierStartChar(at(p + 1));
    };
    auto classify = [&](int start, int end, bool lookAhead) {
        std::u16string_view word = text.substr(static_cast<size_t>(start),
                                               static_cast<size_t>(end - start));
        if (options.listA && IsKeywordInList(options.listA, word, options.ignoreCase))
            blocks->Append(start, EDT_CLR_KEYWORD);
        else if (options.listB && IsKeywordInList(options.listB, word, options.ignoreCase))
            blocks->Append(start, EDT_CLR_KEYWORD2);
        else if (options.listC && IsKeywordInList(options.listC, word, options.ignoreCase))
            blocks->Append(start, EDT_CLR_KEYWORD3);
        else if (options.isNumber && options.isNumber(word))
            blocks->Append(start, EDT_CLR_NUMBER);
        else if (lookAhead) {
            int j = end;
            while (j < len && IsScanSpace(text[static_cast<size_t>(j)]))
                ++j;
            if (at(j) == u'(' && j < len)
                blocks->Append(start, EDT_CLR_FUNCNAME);
        }
    };

    bool firstChar = (cookie & ~EDT_CK_BLOCK_COMMENT) == 0;
    bool pending = true;
    bool oneBack = false;
    bool justOpened = false;
    int wordStart = -1;

    for (int i = 0;; ++i) {
        // 1. The pending redefinition.
        if (pending && blocks) {
            int p = oneBack ? i - 1 : i;
            int colour;
            if (cookie & (EDT_CK_LINE_COMMENT | EDT_CK_BLOCK_COMMENT))
                colour = EDT_CLR_COMMENT;
            else if (cookie & (EDT_CK_STRING | EDT_CK_CHAR))
                colour = EDT_CLR_STRING;
            else if (cookie & EDT_CK_PREPROCESSOR)
                colour = EDT_CLR_PREPROCESSOR;
            else if (IsIdentifierChar(at(p)) || isolatedPoint(p))
                colour = EDT_CLR_TEXT;
            else
                colour = EDT_CLR_OPERATOR;
            blocks->Append(p, colour);
            if (colour == EDT_CLR_OPERATOR) {
                oneBack = true;
            } else {
                pending = false;
                oneBack = false;
            }
        }
        // 2.
        if (i == len)
            break;
        const char16_t ch = text[static_cast<size_t>(i)];
        // 3. Line comment.
        if (cookie & EDT_CK_LINE_COMMENT) {
            if (blocks)
                blocks->Append(i, EDT_CLR_COMMENT);
            break;
        }
        // 4. Strings and character constants.
        if (cookie & (EDT_CK_STRING | EDT_CK_CHAR)) {
            char16_t quote = (cookie & EDT_CK_STRING) ? u'"' : u'\'';
            if (ch == quote && !(at(i - 1) == u'\\' && at(i - 2) != u'\\')) {
                cookie &= (cookie & EDT_CK_STRING) ? ~EDT_CK_STRING : ~EDT_CK_CHAR;
                pending = true;
                oneBack = false;
            }
            continue;
        }
        // 5. Block comment.
        if (cookie & EDT_CK_BLOCK_COMMENT) {
            if (ch == u'/' && at(i - 1) == u'*' && !justOpened) {
                cookie &= ~EDT_CK_BLOCK_COMMENT;
                pending = true;
                oneBack = false;
            }
            justOpened = false;
            continue;
        }
        // 6. "//".
        if (ch == u'/' && at(i - 1) == u'/') {
            if (blocks)
                blocks->Append(i - 1, EDT_CLR_COMMENT);
            cookie |= EDT_CK_LINE_COMMENT;
            break;
        }
        // 7. "/*" on a preprocessor line.
        if ((cookie & EDT_CK_PREPROCESSOR) && ch == u'*' && at(i - 1) == u'/') {
            if (blocks)
                blocks->Append(i - 1, EDT_CLR_COMMENT);
            cookie |= EDT_CK_BLOCK_COMMENT;
            continue;
        }
        // 8. Openings.
        if (ch == u'"') {
            if (blocks)
                blocks->Append(i, EDT_CLR_STRING);
            cookie |= EDT_CK_STRING;
            continue;
        }
        if (ch == u'\'' && (i == 0 || !IsIdentifierChar(at(i - 1)))) {
            if (blocks)
                blocks->Append(i, EDT_CLR_STRING);
            cookie |= EDT_CK_CHAR;
            continue;
        }
        if (ch == u'*' && at(i - 1) == u'/') {
            if (blocks)
                blocks->Append(i - 1, EDT_CLR_COMMENT);
            cookie |= EDT_CK_BLOCK_COMMENT;
            justOpened = true;
            continue;
        }
        justOpened = false;
        // 9. Preprocessor at the first non-blank character.
        if (firstChar) {
            if (ch == u'#') {
                if (blocks)
                    blocks->Append(i, EDT_CLR_PREPROCESSOR);
                cookie |= EDT_CK_PREPROCESSOR;
                continue;
            }
            if (!IsScanSpace(ch))
                firstChar = false;
        }
        // 10. Words.
        if (!blocks)
            continue;
        if (IsIdentifierChar(ch) || isolatedPoint(i)) {
            if (wordStart < 0)
                wordStart = i;
            continue;
        }
        if (wordStart >= 0) {
            classify(wordStart, i, true);
            wordStart = -1;
        }
        pending = true;
        oneBack = true;
    }
    if (blocks && wordStart >= 0)
        classify(wordStart, len, false);

    // Only the scan's own bits go on, so the result is never
    // EDT_COOKIE_UNKNOWN whatever came in.
    constexpr uint32_t kScanBits = EDT_CK_LINE_COMMENT | EDT_CK_PREPROCESSOR |
                                   EDT_CK_BLOCK_COMMENT | EDT_CK_STRING | EDT_CK_CHAR;
    if (len > 0 && text[static_cast<size_t>(len - 1)] == u'\\')
        return cookie & kScanBits;
    return cookie & EDT_CK_BLOCK_COMMENT;
}

uint32_t ParseLineText(std::u16string_view text, uint32_t cookie, TextBlockList* blocks)
{
    (void)text;
    (void)cookie;
    (void)blocks;
    return 0;
}
