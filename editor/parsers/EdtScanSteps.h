#pragma once
// The steps the line scans share: the shared C-style scan, the Batch and TeX
// scans and the markup scan (EdtParser.cpp, EdtParserLang.cpp,
// EdtParserMarkup.cpp).  Internal to those files; Qt-free.

#include "editor/parsers/EdtParser.h"

namespace edtscan {

// White space of the scans: U+0009-U+000D and the blank.
inline bool IsScanSpace(char16_t c)
{
    return (c >= 0x09 && c <= 0x0D) || c == 0x20;
}

inline char16_t FoldAscii(char16_t c)
{
    return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 0x20) : c;
}

// The characters of one line.  A position outside the line reads as
// U+0000: neither an identifier character nor any character a scan looks
// for.
struct ScanLine
{
    explicit ScanLine(std::u16string_view t) : text(t), len(static_cast<int>(t.size())) {}

    char16_t operator()(int p) const
    {
        return (p >= 0 && p < len) ? text[static_cast<size_t>(p)] : char16_t(0);
    }
    // The character at i follows a backslash that does not itself follow
    // one.
    bool Escaped(int i) const { return (*this)(i - 1) == u'\\' && (*this)(i - 2) != u'\\'; }

    std::u16string_view text;
    int len;
};

// The pending redefinition: after a state ends or a word closes, the next
// block is due; its colour is chosen by the scan.  An operator block leaves
// the block due one position back, so that the next character redefines it.
struct PendingRun
{
    bool pending = true;
    bool oneBack = false;

    int Position(int i) const { return oneBack ? i - 1 : i; }
    void Lay(TextBlockList& blocks, int p, int colour)
    {
        blocks.Append(p, colour);
        if (colour == EDT_CLR_OPERATOR) {
            oneBack = true;
        } else {
            pending = false;
            oneBack = false;
        }
    }
    // A state ended with the character at i: the block is due at i + 1.
    void AfterStateEnd()
    {
        pending = true;
        oneBack = false;
    }
    // A character that is no word character: the block is due at it.
    void AfterOperator()
    {
        pending = true;
        oneBack = true;
    }
};

// The colour of the block the pending redefinition lays with the cookie
// bits of the C-style scan: an open comment (commentBits), string or
// character constant, or preprocessor line (preprocessorBit) gives its
// colour; else isWord() says text or operator.
template <class IsWord>
inline int RunColour(uint32_t cookie, uint32_t commentBits, uint32_t preprocessorBit,
                     IsWord&& isWord)
{
    if (cookie & commentBits)
        return EDT_CLR_COMMENT;
    if (cookie & (EDT_CK_STRING | EDT_CK_CHAR))
        return EDT_CLR_STRING;
    if (cookie & preprocessorBit)
        return EDT_CLR_PREPROCESSOR;
    return isWord() ? EDT_CLR_TEXT : EDT_CLR_OPERATOR;
}

// The character ch at i inside a string (EDT_CK_STRING) or a character
// constant (EDT_CK_CHAR): its own quote ends it unless escaped (see
// ScanLine::Escaped; with charAfterAnyBackslash a "'" after any backslash
// is).
inline void QuotedStep(const ScanLine& at, int i, char16_t ch, uint32_t& cookie,
                       PendingRun& run, bool charAfterAnyBackslash = false)
{
    const bool dq = (cookie & EDT_CK_STRING) != 0;
    if (ch != (dq ? u'"' : u'\''))
        return;
    const bool escaped = !dq && charAfterAnyBackslash ? at(i - 1) == u'\\' : at.Escaped(i);
    if (!escaped) {
        cookie &= dq ? ~EDT_CK_STRING : ~EDT_CK_CHAR;
        run.AfterStateEnd();
    }
}

// Opens a string at '"' (when dqOpens) or a character constant at "'" that
// follows no identifier character (when sqOpens); true when it did, and the
// caller lays the string colour at i.
inline bool OpenQuote(const ScanLine& at, int i, char16_t ch, uint32_t& cookie,
                      bool dqOpens = true, bool sqOpens = true)
{
    if (ch == u'"' && dqOpens) {
        cookie |= EDT_CK_STRING;
        return true;
    }
    if (ch == u'\'' && sqOpens && (i == 0 || !IsIdentifierChar(at(i - 1)))) {
        cookie |= EDT_CK_CHAR;
        return true;
    }
    return false;
}

// The word step at i: a word character opens or extends the word (true);
// any other character classifies the open word, classify(start, end), and
// makes the block at it due (false).
template <class Classify>
inline bool WordStep(bool isWordChar, int i, int& wordStart, PendingRun& run, Classify&& classify)
{
    if (isWordChar) {
        if (wordStart < 0)
            wordStart = i;
        return true;
    }
    if (wordStart >= 0) {
        classify(wordStart, i);
        wordStart = -1;
    }
    run.AfterOperator();
    return false;
}

} // namespace edtscan
