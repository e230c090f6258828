#include "editor/parsers/EdtParser.h"

#include "editor/parsers/EdtScanSteps.h"

#include <algorithm>

using edtscan::FoldAscii;
using edtscan::IsScanSpace;

namespace {

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

static bool EdtListContains(const EdtKeywordIndex* index, const char16_t* const* list,
                     std::u16string_view word, bool ignoreCase)
{
    if (index)
        return index->Contains(word);
    return list && IsKeywordInList(list, word, ignoreCase);
}

uint32_t EdtScanCStyle(std::u16string_view text, uint32_t cookie, TextBlockList* blocks,
                       const EdtCStyleOptions& options)
{
    const EdtCStyleOptions& o = options;
    cookie &= o.ownBits;
    const edtscan::ScanLine at(text);
    const int len = at.len;
    auto wordPoint = [&](int p) {
        if (at(p) != u'.')
            return false;
        if (o.pointsInWords)
            return true;
        return p > 0 && !IsIdentifierStartChar(at(p - 1)) && !IsIdentifierStartChar(at(p + 1));
    };
    auto isWordChar = [&](int p) { return IsIdentifierChar(at(p)) || wordPoint(p); };
    bool defunMode = false;
    auto classify = [&](int start, int end, bool atLineEnd) {
        std::u16string_view word = text.substr(static_cast<size_t>(start),
                                               static_cast<size_t>(end - start));
        if (EdtListContains(o.indexA, o.listA, word, o.ignoreCase)) {
            blocks->Append(start, EDT_CLR_KEYWORD);
            if (o.funcName == EdtFuncNameRule::Lisp && word.size() >= 5) {
                static constexpr char16_t kDefun[] = u"defun";
                bool defun = true;
                for (size_t k = 0; k < 5 && defun; ++k)
                    defun = FoldAscii(word[k]) == kDefun[k];
                defunMode = defunMode || defun;
            }
            return;
        }
        if (EdtListContains(o.indexB, o.listB, word, o.ignoreCase)) {
            blocks->Append(start, EDT_CLR_KEYWORD2);
            return;
        }
        if (EdtListContains(o.indexC, o.listC, word, o.ignoreCase)) {
            blocks->Append(start, EDT_CLR_KEYWORD3);
            return;
        }
        if (o.isNumber && o.isNumber(word)) {
            blocks->Append(start, EDT_CLR_NUMBER);
            return;
        }
        int after = end;
        while (after < len && IsScanSpace(text[static_cast<size_t>(after)]))
            ++after;
        int before = start - 1;
        while (before >= 0 && IsScanSpace(text[static_cast<size_t>(before)]))
            --before;
        bool func = false;
        switch (o.funcName) {
        case EdtFuncNameRule::ParenAfter:
            func = !atLineEnd && at(after) == u'(';
            break;
        case EdtFuncNameRule::None:
            break;
        case EdtFuncNameRule::Dcl:
            func = at(after) == u'{' || at(after) == u':' || at(before) == u':';
            break;
        case EdtFuncNameRule::Lisp:
            func = (!defunMode && at(before) == u'(') || (!atLineEnd && at(end) == u'(');
            break;
        }
        if (func)
            blocks->Append(start, EDT_CLR_FUNCNAME);
    };
    auto comment = [&](int p) {
        if (blocks)
            blocks->Append(p, EDT_CLR_COMMENT);
    };

    bool firstChar = (cookie & ~EDT_CK_BLOCK_COMMENT) == 0;
    edtscan::PendingRun run;
    bool justOpened = false;
    int wordStart = -1;

    for (int i = 0;; ++i) {
        // 1. The pending redefinition.
        if (run.pending && blocks) {
            const int p = run.Position(i);
            run.Lay(*blocks, p,
                    edtscan::RunColour(cookie, EDT_CK_LINE_COMMENT | EDT_CK_BLOCK_COMMENT,
                                       EDT_CK_PREPROCESSOR, [&] { return isWordChar(p); }));
        }
        // 2.
        if (i == len)
            break;
        const char16_t ch = text[static_cast<size_t>(i)];
        // 3. Line comment; in Pascal the "{" comment, which "}" ends.
        if (cookie & EDT_CK_LINE_COMMENT) {
            if (o.pascalComments) {
                if (ch == u'}') {
                    cookie &= ~EDT_CK_LINE_COMMENT;
                    run.AfterStateEnd();
                }
                continue;
            }
            comment(i);
            break;
        }
        // 4. Strings and character constants.
        if (cookie & (EDT_CK_STRING | EDT_CK_CHAR)) {
            edtscan::QuotedStep(at, i, ch, cookie, run, o.quoteAfterBackslashStays);
            continue;
        }
        // 5. Block comment.
        if (cookie & EDT_CK_BLOCK_COMMENT) {
            bool closes = false;
            if (o.slashComments)
                closes = ch == u'/' && at(i - 1) == u'*';
            else if (o.pascalComments)
                closes = ch == u')' && at(i - 1) == u'*';
            else if (o.lispComments)
                closes = ch == u';' && at(i - 1) == u'|';
            if (closes && !justOpened) {
                cookie &= ~EDT_CK_BLOCK_COMMENT;
                run.AfterStateEnd();
            }
            justOpened = false;
            continue;
        }
        // 6. Comments to the line end; an open word is left unclassified.
        int lineComment = -1;
        if (o.slashComments && ch == u'/' && at(i - 1) == u'/')
            lineComment = i - 1;
        else if ((o.hashComments && ch == u'#') || (o.bangComments && ch == u'!'))
            lineComment = i;
        else if (o.column1Comment && i == 0 && (ch == u'C' || ch == u'c'))
            lineComment = 0;
        else if (o.lispComments && ch == u';' && i + 1 < len && at(i + 1) != u'|')
            lineComment = i;
        else if (o.remComments && i >= 3 && !IsIdentifierChar(ch) &&
                 FoldAscii(at(i - 3)) == u'r' && FoldAscii(at(i - 2)) == u'e' &&
                 FoldAscii(at(i - 1)) == u'm')
            lineComment = i - 3;
        if (lineComment >= 0) {
            comment(lineComment);
            cookie |= EDT_CK_LINE_COMMENT;
            wordStart = -1;
            break;
        }
        // 7. A preprocessor line: only comments are looked for.
        if (cookie & EDT_CK_PREPROCESSOR) {
            if (o.slashComments && ch == u'*' && at(i - 1) == u'/') {
                comment(i - 1);
                cookie |= EDT_CK_BLOCK_COMMENT;
            }
            continue;
        }
        // 8. Openings.
        if (edtscan::OpenQuote(at, i, ch, cookie)) {
            if (blocks)
                blocks->Append(i, EDT_CLR_STRING);
            continue;
        }
        if ((o.slashComments && ch == u'*' && at(i - 1) == u'/') ||
            (o.pascalComments && ch == u'*' && at(i - 1) == u'(') ||
            (o.lispComments && ch == u'|' && at(i - 1) == u';')) {
            comment(i - 1);
            cookie |= EDT_CK_BLOCK_COMMENT;
            justOpened = true;
            continue;
        }
        if (o.pascalComments && ch == u'{') {
            comment(i);
            cookie |= EDT_CK_LINE_COMMENT;
            continue;
        }
        justOpened = false;
        // 9. Preprocessor at the first non-blank character.
        if (firstChar) {
            if (o.preprocessor && ch == u'#') {
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
        edtscan::WordStep(isWordChar(i), i, wordStart, run,
                          [&](int start, int end) { classify(start, end, false); });
    }
    if (blocks && wordStart >= 0)
        classify(wordStart, len, true);

    if (!o.blockCommentOnly && len > 0 && text[static_cast<size_t>(len - 1)] == u'\\')
        return cookie;
    return cookie & EDT_CK_BLOCK_COMMENT;
}

uint32_t ParseLineText(std::u16string_view text, uint32_t cookie, TextBlockList* blocks)
{
    (void)text;
    (void)cookie;
    (void)blocks;
    return 0;
}
