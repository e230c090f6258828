#pragma once
// The system colours by index, taken from the application palette, and the
// conversion between stored colour values (0x00BBGGRR) and QColor.

#include <QColor>

#include <cstdint>

namespace ui {

using COLORREF = uint32_t; // 0x00BBGGRR

constexpr int COLOR_WINDOW = 5;          // QPalette::Base
constexpr int COLOR_WINDOWTEXT = 8;      // QPalette::Text
constexpr int COLOR_HIGHLIGHT = 13;      // QPalette::Highlight
constexpr int COLOR_HIGHLIGHTTEXT = 14;  // QPalette::HighlightedText
constexpr int COLOR_3DFACE = 15;         // QPalette::Button
constexpr int COLOR_BTNFACE = COLOR_3DFACE;

constexpr COLORREF RGB(int r, int g, int b)
{
    return COLORREF(r & 0xFF) | (COLORREF(g & 0xFF) << 8) | (COLORREF(b & 0xFF) << 16);
}

QColor ColorFromRef(COLORREF c);
COLORREF RefFromColor(const QColor& c);
// The colour of index from the application palette (active group); black
// for an unknown index.
COLORREF GetSysColor(int index);

} // namespace ui
