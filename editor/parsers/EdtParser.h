#pragma once
// Line parsers: the colour blocks of one line and the cookie that carries a
// parser's state from one line to the next, the shared C-style scan, the
// default word wrap, the PLC parser and the parsers of the other rows.  Qt-free; see docs/editor-sourcetypes.md.
//
// Contract: to colour a line, Reset one reused TextBlockList, Append(0,
// EDT_CLR_TEXT) and call the parser with the line's characters and the
// cookie after the previous line (0 for the first line); for the cookie
// alone pass no list.  A run reaches from its block's position to the next
// block's position, the last one to the line end.  No parser returns
// EDT_COOKIE_UNKNOWN, reads outside the given text, allocates once the list
// has grown, or lays more than three blocks per character (with the caller's
// first block the list holds at most max(4, 3 * length) blocks).

#include <cstdint>
#include <string_view>
#include <vector>

// Colour indices.
enum : int {
    EDT_CLR_WHITESPACE = 0,
    EDT_CLR_BACKGROUND = 1,
    EDT_CLR_TEXT = 2,
    EDT_CLR_MARGIN_TEXT = 3,
    EDT_CLR_MARGIN_BACK = 4,
    EDT_CLR_SEL_BACK = 5,
    EDT_CLR_SEL_TEXT = 6,
    EDT_CLR_KEYWORD = 7,
    EDT_CLR_FUNCNAME = 8,
    EDT_CLR_LABEL = 9,
    EDT_CLR_COMMENT = 10,
    EDT_CLR_NUMBER = 11,
    EDT_CLR_OPERATOR = 12,
    EDT_CLR_STRING = 13,
    EDT_CLR_PREPROCESSOR = 14,
    EDT_CLR_PLCINSTR = 15,
    EDT_CLR_ASM = 16,
    EDT_CLR_NCADDR = 17,
    EDT_CLR_KEYWORD2 = 18,
    EDT_CLR_KEYWORD3 = 19,
};

// A cookie cache entry not yet computed; never returned by a parser.
constexpr uint32_t EDT_COOKIE_UNKNOWN = 0xFFFFFFFF;

// Cookie bits of the shared C-style scan.
constexpr uint32_t EDT_CK_LINE_COMMENT = 1;
constexpr uint32_t EDT_CK_PREPROCESSOR = 2;
constexpr uint32_t EDT_CK_BLOCK_COMMENT = 4;
constexpr uint32_t EDT_CK_STRING = 8;
constexpr uint32_t EDT_CK_CHAR = 16;

// One run of a line: its first character and its colour index.
struct TextBlock
{
    int32_t charPos;
    int32_t colorIndex;
};

// The caller-owned block list.  It grows as needed, so no parser can write
// past it; Reset keeps the capacity, so a reused list stops allocating.
class TextBlockList
{
public:
    void Reset() { m_blocks.clear(); }
    // The append rule: dropped when charPos is below the last block's
    // position; a block at the last position hides the earlier one.
    void Append(int charPos, int colorIndex)
    {
        if (m_blocks.empty() || m_blocks.back().charPos <= charPos)
            m_blocks.push_back(TextBlock{charPos, colorIndex});
    }
    int Count() const { return static_cast<int>(m_blocks.size()); }
    const TextBlock& operator[](int i) const { return m_blocks[static_cast<size_t>(i)]; }
    const TextBlock* Data() const { return m_blocks.data(); }

private:
    friend class CEdtTextBlock;
    std::vector<TextBlock> m_blocks;
};

using EdtParseLineFn = uint32_t (*)(std::u16string_view text, uint32_t cookie,
                                    TextBlockList* blocks);

// A block list seen through the parser object: Add keeps it sorted.
class CEdtTextBlock
{
public:
    explicit CEdtTextBlock(TextBlockList& list) : m_list(list) {}
    // Inserts in position order; an equal position replaces that block's
    // colour.
    void Add(int charPos, int colorIndex);
    TextBlockList& List() { return m_list; }

private:
    TextBlockList& m_list;
};

// What a parser object reads of its view (implemented by the text view).
class IEdtParserView
{
public:
    virtual int GetLineLength(int line) const = 0;
    virtual const char16_t* GetLineChars(int line) const = 0;
    virtual int GetTabSize() const = 0;

protected:
    ~IEdtParserView() = default;
};

// The parser object a view attaches; the base gives the default word wrap.
class CEdtParser
{
public:
    CEdtParser() = default;
    virtual ~CEdtParser();
    CEdtParser(const CEdtParser&) = delete;
    CEdtParser& operator=(const CEdtParser&) = delete;

    // The base lays nothing and returns 0.
    virtual uint32_t ParseLine(uint32_t cookie, int line, CEdtTextBlock* blocks);
    // Appends the wrap points of the line (the caller sets count to 0 first);
    // without a view there are none.
    virtual void WrapLine(int line, int width, std::vector<int>* breaks, int& count);

    void SetTextView(IEdtParserView* view) { m_view = view; }
    IEdtParserView* GetTextView() const { return m_view; }

private:
    IEdtParserView* m_view = nullptr;
};

// The default word wrap: character indices at which a new screen line
// starts, appended to breaks when given; returns their number.  A tab size
// below 1 counts as 1, a width below 1 gives no breaks.
int EdtWrapLine(std::u16string_view text, int tabSize, int width, std::vector<int>* breaks);

// ASCII letters, "_" and every character from U+0080 on.
inline bool IsIdentifierStartChar(char16_t c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'_' || c >= 0x80;
}
// The same and the digits.
inline bool IsIdentifierChar(char16_t c)
{
    return IsIdentifierStartChar(c) || (c >= u'0' && c <= u'9');
}

// A null-terminated list of words; true when one equals word (ignoreCase:
// letters A-Z and a-z compare equal, nothing else is folded).
bool IsKeywordInList(const char16_t* const* list, std::u16string_view word, bool ignoreCase);

// A keyword list looked up by hash; every answer equals IsKeywordInList's.
class EdtKeywordIndex
{
public:
    EdtKeywordIndex(const char16_t* const* list, bool ignoreCase);
    bool Contains(std::u16string_view word) const;

private:
    static uint32_t Hash(std::u16string_view word, bool ignoreCase);
    std::vector<const char16_t*> m_slots;  // open addressing, nullptr = empty
    std::vector<uint16_t> m_lengths;
    uint32_t m_mask = 0;
    size_t m_maxLength = 0;
    bool m_ignoreCase;
};

// "0x" and at least one hexadecimal digit (lower-case x only), or a digit
// followed by digits, "+", "-", ".", "e" and "E".
bool IsNumberToken(std::u16string_view token);

// How a word that matches no list and is no number becomes a function
// name (colour 8).
enum class EdtFuncNameRule {
    ParenAfter,  // the first non-blank character after it is "("
    None,        // never
    Dcl,         // "{" or ":" after it, else ":" before it
    Lisp,        // "(" before it outside defun mode, or "(" directly after it
};

// What the scan is given.  The defaults are the C row; each field widens or
// narrows one step for another language.
struct EdtCStyleOptions
{
    const char16_t* const* listA = nullptr;  // colour 7
    const char16_t* const* listB = nullptr;  // colour 18
    const char16_t* const* listC = nullptr;  // colour 19
    bool ignoreCase = false;
    bool (*isNumber)(std::u16string_view) = IsNumberToken;
    // Indexes of the lists; when given they answer instead of a walk over
    // the list (same answers, much faster for long lists).
    const EdtKeywordIndex* indexA = nullptr;
    const EdtKeywordIndex* indexB = nullptr;
    const EdtKeywordIndex* indexC = nullptr;
    // The cookie bits the language sets; the others are cleared on entry.
    uint32_t ownBits = EDT_CK_LINE_COMMENT | EDT_CK_PREPROCESSOR | EDT_CK_BLOCK_COMMENT |
                       EDT_CK_STRING | EDT_CK_CHAR;
    bool preprocessor = true;       // "#" as the first non-blank character
    bool slashComments = true;      // "//" and "/*" ... "*/"
    bool hashComments = false;      // "#" to the line end
    bool bangComments = false;      // "!" to the line end
    bool column1Comment = false;    // "C" or "c" at position 0: a comment line
    bool remComments = false;       // REM before a non-identifier character
    bool pascalComments = false;    // "{" ... "}" (bit 1) and "(*" ... "*)" (bit 4)
    bool lispComments = false;      // ";" to the line end and ";|" ... "|;" (bit 4)
    bool quoteAfterBackslashStays = false;  // a quote after any backslash never closes
    bool pointsInWords = false;     // every "." is a word character
    EdtFuncNameRule funcName = EdtFuncNameRule::ParenAfter;
    bool blockCommentOnly = false;  // return bit 4 only, backslash or not
};

// The shared C-style scan: comments, strings, character constants,
// preprocessor lines, keywords of three lists, numbers and function names.
// Clears the cookie bits outside options.ownBits first.  Returns the cookie
// bits it knows: all of them after a line that ends in a backslash (unless
// blockCommentOnly), else only EDT_CK_BLOCK_COMMENT.
uint32_t EdtScanCStyle(std::u16string_view text, uint32_t cookie, TextBlockList* blocks,
                       const EdtCStyleOptions& options);

// The "Text" row: returns 0 and lays no blocks.
uint32_t ParseLineText(std::u16string_view text, uint32_t cookie, TextBlockList* blocks);

// The PLC row (EdtParserPlc.cpp).
uint32_t ParseLinePlc(std::u16string_view text, uint32_t cookie, TextBlockList* blocks);
extern const char16_t* const PlcSectionWords[];   // colour 7, null-terminated
extern const char16_t* const PlcInstructions[];   // colour 15, null-terminated

// The NC part-program row (EdtParserNcp.cpp): cookie 1 carries a directive
// line that ends in a backslash.
uint32_t ParseLineNcp(std::u16string_view text, uint32_t cookie, TextBlockList* blocks);

// The programming-language rows (EdtParserLang.cpp).
uint32_t ParseLineC(std::u16string_view text, uint32_t cookie, TextBlockList* blocks);
uint32_t ParseLineJava(std::u16string_view text, uint32_t cookie, TextBlockList* blocks);
uint32_t ParseLineInstallShield(std::u16string_view text, uint32_t cookie, TextBlockList* blocks);
uint32_t ParseLineResources(std::u16string_view text, uint32_t cookie, TextBlockList* blocks);
uint32_t ParseLineRexx(std::u16string_view text, uint32_t cookie, TextBlockList* blocks);
uint32_t ParseLineSql(std::u16string_view text, uint32_t cookie, TextBlockList* blocks);
uint32_t ParseLinePython(std::u16string_view text, uint32_t cookie, TextBlockList* blocks);
uint32_t ParseLineShell(std::u16string_view text, uint32_t cookie, TextBlockList* blocks);
uint32_t ParseLinePerl(std::u16string_view text, uint32_t cookie, TextBlockList* blocks);
uint32_t ParseLineTcl(std::u16string_view text, uint32_t cookie, TextBlockList* blocks);
uint32_t ParseLinePascal(std::u16string_view text, uint32_t cookie, TextBlockList* blocks);
uint32_t ParseLineBasic(std::u16string_view text, uint32_t cookie, TextBlockList* blocks);
uint32_t ParseLineFortran(std::u16string_view text, uint32_t cookie, TextBlockList* blocks);
uint32_t ParseLineDcl(std::u16string_view text, uint32_t cookie, TextBlockList* blocks);
uint32_t ParseLineAutoLisp(std::u16string_view text, uint32_t cookie, TextBlockList* blocks);
uint32_t ParseLineSiod(std::u16string_view text, uint32_t cookie, TextBlockList* blocks);
uint32_t ParseLineBatch(std::u16string_view text, uint32_t cookie, TextBlockList* blocks);

// The markup and TeX rows (EdtParserMarkup.cpp).
uint32_t ParseLineHtml(std::u16string_view text, uint32_t cookie, TextBlockList* blocks);
uint32_t ParseLineSgml(std::u16string_view text, uint32_t cookie, TextBlockList* blocks);
uint32_t ParseLinePhp(std::u16string_view text, uint32_t cookie, TextBlockList* blocks);
uint32_t ParseLineAsp(std::u16string_view text, uint32_t cookie, TextBlockList* blocks);
uint32_t ParseLineTex(std::u16string_view text, uint32_t cookie, TextBlockList* blocks);
