#pragma once
// The state of one print job of the text view (between OnBeginPrinting and
// OnEndPrinting).

#include "editor/EdtPrintLayout.h"

#include <QFont>
#include <QRect>

#include <array>
#include <string>
#include <vector>

struct EdtPrintJob
{
    // The text, tab-expanded as the view draws it, copied when the job
    // begins: the pages are laid out and drawn from this copy.
    std::vector<std::u16string> lines;
    QFont font;
    int lineHeight = 0;
    int ascent = 0;
    int charWidth = 1;
    QRect area;
    bool laidOut = false;
    std::vector<edt::PageStart> pages;
    std::array<int, 128> asciiAdvance{};  // 0: not measured
};
