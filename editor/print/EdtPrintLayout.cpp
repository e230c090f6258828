#include "editor/print/EdtPrintLayout.h"

#include <algorithm>

namespace edt {

int HimetricToDevice(int value, int dpi)
{
    return int(int64_t(value) * dpi / 2540);
}

QRect PrintAreaOf(const QRect& page, const PageMargins& margins, int dpiX, int dpiY, int lineHeight,
                  int charWidth, bool header, bool footer)
{
    const int band = PrintBandHeight(lineHeight);
    auto area = [&](const PageMargins& m) {
        QRect r = page.normalized();
        r.setLeft(r.left() + HimetricToDevice(m.left, dpiX));
        r.setRight(r.right() - HimetricToDevice(m.right, dpiX));
        r.setTop(r.top() + HimetricToDevice(m.top, dpiY));
        r.setBottom(r.bottom() - HimetricToDevice(m.bottom, dpiY));
        if (header)
            r.setTop(r.top() + band);
        if (footer)
            r.setBottom(r.bottom() - band);
        return r;
    };
    auto fits = [&](const QRect& r) { return r.height() >= lineHeight && r.width() >= charWidth; };
    QRect r = area(margins);
    if (fits(r))
        return r;
    r = area(PageMargins{});
    if (fits(r))
        return r;
    return area(PageMargins{0, 0, 0, 0});
}

void WrapPrintLine(std::u16string_view text, int width, const std::function<int(char16_t)>& advance,
                   std::vector<int>& breaks)
{
    breaks.clear();
    const int n = int(text.size());
    int rowStart = 0;
    while (rowStart < n) {
        int x = 0;
        int j = rowStart;
        int lastBreak = -1;  // after the last blank of the row
        while (j < n) {
            const char16_t c = text[size_t(j)];
            const int w = advance(c);
            if (c == u' ' || c == u'\t') {
                // Blanks may hang over the right edge; a row may end after them.
                x += w;
                lastBreak = ++j;
                continue;
            }
            if (x + w > width && j > rowStart)
                break;
            x += w;
            ++j;
        }
        if (j >= n)
            break;
        // Character j does not fit: after the last blank, or inside the word
        // when the row holds no blank.
        rowStart = lastBreak > rowStart ? lastBreak : j;
        breaks.push_back(rowStart);
    }
}

std::vector<PageStart> LayoutPrintPages(const std::vector<int>& rowsPerLine, int rowsPerPage)
{
    const int64_t pageRows = std::max(rowsPerPage, 1);
    std::vector<PageStart> pages{{0, 0}};
    int64_t y = 0;
    for (size_t i = 0; i < rowsPerLine.size(); ++i) {
        const int64_t rows = std::max(rowsPerLine[i], 1);
        if (i > 0 && y + rows > pageRows && y > 0) {
            pages.push_back({int(i), 0});
            y = 0;
        }
        if (y + rows <= pageRows) {
            y += rows;
            continue;
        }
        // A line taller than the page (it starts at the top): its rows go on
        // over the following pages.
        int64_t shown = pageRows;
        while (shown < rows) {
            pages.push_back({int(i), int(shown)});
            shown += pageRows;
        }
        y = rows - (shown - pageRows);
    }
    return pages;
}

} // namespace edt
