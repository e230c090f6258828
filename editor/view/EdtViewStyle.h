#pragma once
// The display settings of a text view and its scroll position, as values
// the view owns and hands to its parts by reference (the renderer reads
// them, the scroller and the layout cache move the scroll position).

#include <cstdint>

// What the view shows and how (the source type's flags and the options).
struct EdtViewStyle
{
    uint32_t flags = 0; // the source type's flags word (EDT_TT_*)
    int tabSize = 4;
    bool showTabs = false;
    bool selMargin = true;
    bool wordWrap = false;
    bool showInactiveSelection = true;
    bool focused = false; // the selection is drawn in the active colours
};

// The first line and sub-line shown and the first column shown.
struct EdtScrollPos
{
    int topLine = 0;
    int topSubLine = 0;
    int offsetChar = 0;
};
