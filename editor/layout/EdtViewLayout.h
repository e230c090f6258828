#pragma once
// The arithmetic of the text view without Qt: tab expansion and the
// char/column mapping, the text drawn for a column range, the sub-line
// index of word wrap, client/text conversion, the caret targets (words,
// smart Home, End, Up and Down), bracket matching, the go-to arithmetic,
// the header candidates and what a line's flags show.  It reads the text
// through ILayoutLines, so the view and the tests run the same code.
// See docs/editor-views.md.

#include "editor/buffer/EdtTextBuffer.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace edt {

// What the layout reads of a text.
class ILayoutLines
{
public:
    virtual int LayoutLineCount() const = 0;  // at least 1
    virtual std::u16string_view LayoutLine(int line) const = 0;
    virtual int LayoutTabSize() const = 0;
    // The character indices at which the line's second and later sub-lines
    // start; empty without word wrap.
    virtual void LayoutBreaks(int line, std::vector<int>& breaks) const = 0;

protected:
    ~ILayoutLines() = default;
};

// ------------------------------------------------------------ columns

// The line's width in screen columns, each tab to the next multiple of the
// tab size (below 1 counts as 1).
int ExpandedLength(std::u16string_view line, int tabSize);
// The screen column at which character ch starts (ch clamped to the line).
int CharToColumn(std::u16string_view line, int ch, int tabSize);
// The first character of [from, to) whose columns reach past column, or to
// when none does.
int ColumnToChar(std::u16string_view line, int column, int tabSize, int from = 0, int to = -1);

// The cells of characters [begin, end) of a line (whose first character is
// at column startColumn) that fall into the columns [visFirst, visLast):
// one UTF-16 unit per cell, tabs expanded (with showTabs the tab's first
// cell is U+00BB and a blank is U+2022), controls and lone surrogates
// U+FFFD; a surrogate pair keeps its two units in two cells (cut in half,
// a U+FFFD).  Returns the column of out[0] (out empty when nothing is
// visible).
int ExpandCells(std::u16string_view line, int begin, int end, int startColumn, int tabSize,
                bool showTabs, int visFirst, int visLast, std::u16string& out);

// ------------------------------------------------------------ sub-lines

// Per-line integers kept in blocks of a few thousand, with each block's sum
// of the values (a negative value, "unknown", counts as 1), so that
// inserting or removing lines shifts one block and the sums stay cheap.
class BlockedCounts
{
public:
    static constexpr int kBlock = 4096;

    void Reset(int count, int32_t value);
    int Size() const { return m_size; }
    int32_t Get(int i) const;
    void Set(int i, int32_t value);
    void Insert(int at, int n, int32_t value);
    void Remove(int at, int n);
    // Sets [from, to) to value.
    void Fill(int from, int to, int32_t value);
    int64_t Total() const { return m_total; }
    // The sum of the entries before i.
    int64_t SumBefore(int i) const;
    // The entry whose running sum passes s (s clamped to the total), and s
    // less the sum before it.
    void Find(int64_t s, int& index, int& rest) const;
    size_t MemoryBytes() const;

private:
    static int64_t Eff(int32_t v) { return v < 1 ? 1 : v; }
    struct Block
    {
        std::vector<int32_t> v;
        int64_t sum = 0;
    };
    void Locate(int i, size_t& block, int& offset) const;
    void SplitIfLarge(size_t block);
    std::vector<Block> m_blocks;
    // The block found last and its first index: sequential access is cheap.
    mutable size_t m_hintBlock = 0;
    mutable int m_hintStart = 0;
    int m_size = 0;
    int64_t m_total = 0;
};

// The sub-line of a point: the index of the break it lies after (0 for
// the first sub-line) and the character at which that sub-line starts.
struct SubLinePos
{
    int sub = 0;
    int start = 0;
    int end = 0;  // the character after the sub-line's last one
};
SubLinePos SubLineOf(const std::vector<int>& breaks, int lineLength, int ch);

// ------------------------------------------------------------ client <-> text

struct ViewMetrics
{
    int lineHeight = 1;
    int charWidth = 1;
    int marginWidth = 0;
    int topSubLine = 0;
    int offsetChar = 0;
};

// The text point under a client pixel (x already moved by any half-char
// shift): the screen line y / lineHeight + topSubLine clamped to the text,
// then the first character whose columns reach past the target column, or
// the end of its sub-line.  subLineIndex: the first sub-line of each line.
EdtPoint ClientToTextPoint(const ILayoutLines& lines, const BlockedCounts& subLines,
                           const ViewMetrics& m, int x, int y);
// The client pixel of a text point (the top left corner of its cell).
void TextPointToClient(const ILayoutLines& lines, const BlockedCounts& subLines,
                       const ViewMetrics& m, EdtPoint pt, int& x, int& y);
// The same for character ch of a line already at hand: its text, breaks,
// the sub-lines above it and the tab size.
void LinePointToClient(std::u16string_view text, const std::vector<int>& breaks, int64_t subLinesBefore,
                       int tabSize, const ViewMetrics& m, int ch, int& x, int& y);
// The screen column of a point within its sub-line.
int ScreenColumnOf(const ILayoutLines& lines, EdtPoint pt);
// The point of a screen column on the sub-line sub of line (past the end:
// the sub-line's end).
EdtPoint PointAtScreenColumn(const ILayoutLines& lines, int line, int sub, int column);

// ------------------------------------------------------------ caret targets

EdtPoint WordLeftTarget(const ILayoutLines& lines, EdtPoint pt);
EdtPoint WordRightTarget(const ILayoutLines& lines, EdtPoint pt);
// The word around pt: [start, end) on its line (both pt.ch when none).
void WordAround(const ILayoutLines& lines, EdtPoint pt, int& start, int& end);
// Smart Home: the first non-blank of the screen line, or its start when
// the caret is already there (or the rest is blank).
EdtPoint SmartHomeTarget(const ILayoutLines& lines, EdtPoint pt);
// End of the screen line.
EdtPoint LineEndTarget(const ILayoutLines& lines, EdtPoint pt);
// Start of the screen line.
EdtPoint LineStartTarget(const ILayoutLines& lines, EdtPoint pt);
// delta screen lines up (negative) or down from pt at the ideal column,
// not past the first or last screen line.
EdtPoint VerticalTarget(const ILayoutLines& lines, EdtPoint pt, int idealColumn, int delta);

// ------------------------------------------------------------ brackets

// The matching bracket of the bracket at pt (or just before it).  found:
// the point before the partner, moved after it when the starting bracket
// was the character before pt.  False when there is no bracket or no
// partner.  Comments: text between open and close (nesting counted) is
// skipped; outside a block comment the line comment ends the line.
bool FindMatchingBracket(const ILayoutLines& lines, EdtPoint pt, std::u16string_view openComment,
                         std::u16string_view closeComment, std::u16string_view lineComment,
                         EdtPoint& found);
// Whether there is a bracket at pt or just before it.
bool HasBracketAt(const ILayoutLines& lines, EdtPoint pt);

// ------------------------------------------------------------ go to line

// An optional "+" or "-" and one to nine digits.
bool IsGoToTextValid(std::u16string_view text);
// Whether OK of the dialog is enabled: the text holds a digit.
bool GoToTextHasDigit(std::u16string_view text);
// Parses a valid text: relative when it starts with a sign.
bool ParseGoToText(std::u16string_view text, int& n, bool& relative);
// The caret's target of GoToLine: relative "+n"/"-n" move from caretLine,
// an absolute n goes to line n - 1 (0 and 1: the first); past the last
// line: the last; before the first: false.  The char stays unless beyond
// the line's last character.
bool GoToLineTarget(const ILayoutLines& lines, int n, bool relative, EdtPoint caret,
                    EdtPoint& target);

// ------------------------------------------------------------ source/header

// The names to try, in order, for the file's counterpart (empty for other
// endings).
std::vector<std::u16string> HeaderCandidates(std::u16string_view path);

// ------------------------------------------------------------ line flags

// The margin icon of a flags word (0-13), or -1 for none.
int MarginIconOfFlags(uint32_t flags);
// The line background of a flags word as 0xRRGGBB, or -1 for none (the
// text of such a line is white).
int32_t LineColourOfFlags(uint32_t flags);

} // namespace edt
