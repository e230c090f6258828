#pragma once
// The pure rules of the text view's printing: margins and bands in device
// pixels, the wrapping of a line into rows and the page layout.  Measuring
// and drawing use the same wrapping, so they always agree.
// See docs/editor-printing.md.

#include <QRect>

#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

namespace edt {

// Page margins in hundredths of a millimetre.
struct PageMargins
{
    int left = 1000, right = 1000, top = 1000, bottom = 1000;
};
constexpr int PAGE_MARGIN_DEFAULT = 1000;

// Hundredths of a millimetre to device pixels: value × dpi / 2540.
int HimetricToDevice(int value, int dpi);

// The height of the header and the footer band: 1.5 print lines.
inline int PrintBandHeight(int lineHeight) { return lineHeight + lineHeight / 2; }

// The print area: the page less the margins and the enabled bands.  When the
// margins leave an area lower than one line or narrower than one character
// the default margins are used, and when even those do not fit none.
QRect PrintAreaOf(const QRect& page, const PageMargins& margins, int dpiX, int dpiY, int lineHeight,
                  int charWidth, bool header, bool footer);

// Where a row of a line starts: the rows of text are [0, breaks[0]),
// [breaks[0], breaks[1]), ...  The text is cut at word boundaries (after
// blanks) so that each row fits width, and inside a word when the word
// alone is wider.  advance gives a character's width.  An empty text is
// one row.
void WrapPrintLine(std::u16string_view text, int width, const std::function<int(char16_t)>& advance,
                   std::vector<int>& breaks);

// The start of a page: its first line and that line's first row.
struct PageStart
{
    int line = 0;
    int row = 0;
    bool operator==(const PageStart&) const = default;
};

// Lays out pages: the rows of each line (below 1 counts as 1) and the rows
// a page holds (below 1 counts as 1).  A line that does not fit below the
// previous ones starts a page; a line taller than a page goes on over as
// many following pages as it needs, and the next line follows its last row.
// At least one page.
std::vector<PageStart> LayoutPrintPages(const std::vector<int>& rowsPerLine, int rowsPerPage);

} // namespace edt
