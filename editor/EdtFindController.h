#pragma once
// The search state of a text view (its last search, the compiled
// expression, the reused buffers and the incremental search).

#include "editor/EdtRegExp.h"
#include "editor/EdtTextBuffer.h"

#include <array>
#include <string>
#include <vector>

struct EdtFindState
{
    ~EdtFindState() { RegExpFree(regex); }

    bool hasLast = false;
    uint32_t lastFlags = 0;
    std::u16string lastText;
    int lastMatchLength = 0;
    bool cancelled = false;
    // The last regular-expression match: the text searched and its groups.
    bool regexMatch = false;
    std::u16string matchedText;
    std::array<int, REGEXP_GROUP_ENTRIES> groups{};
    // The compiled expression, reused while text and flags stay.
    RegExp* regex = nullptr;
    std::u16string regexText;
    bool regexTried = false;
    int regexJoin = 0;  // lines joined after the searched one
    // Reused buffers.
    std::u16string foldText, foldLine, joined;
    std::vector<int> joinedLengths;
    const char16_t* text = nullptr;  // the text of the line being searched
    int textLength = 0;
    std::u16string_view needle;
    uint32_t flags = 0;
    // Incremental search.
    bool incForward = false, incBackward = false, incFound = false;
    std::u16string incText, incPrevText;
    EdtPoint savedSelStart, savedSelEnd, savedCaret, incPos;
};
