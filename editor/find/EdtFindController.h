#pragma once
// The find of a text view: the search engine over the view's lines, the
// find dialog, find next and previous, the incremental search and the
// progress of long searches; and its state (the last search, the compiled
// expression, the reused buffers).  Part of CEdtTextView; see
// docs/editor-views.md.

#include "editor/regexp/EdtRegExp.h"
#include "editor/view/EdtSelectionState.h"
#include "editor/buffer/EdtTextBuffer.h"
#include "editor/view/EdtTextView.h"
#include "editor/view/EdtViewStyle.h"

#include <array>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct EdtFindState
{
    ~EdtFindState() { RegExpFree(regex); }

    bool hasLast = false;
    uint32_t lastFlags = 0;
    std::u16string lastText;
    int lastMatchLength = 0;
    bool cancelled = false;
    // The last regular-expression match: its text and its groups, counted
    // from its start.
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
    std::u16string_view needle;
    uint32_t flags = 0;
    // Incremental search.
    bool incForward = false, incBackward = false, incFound = false;
    std::u16string incText, incPrevText;
    EdtPoint savedSelStart, savedSelEnd, savedCaret, incPos;
};

class EdtFindController
{
public:
    using FindProgressFn = CEdtTextView::FindProgressFn;
    explicit EdtFindController(CEdtTextView& view);

    // A progress callback that shows the modal progress dialog when the
    // search still runs after the delay; lines is the scope's size.
    FindProgressFn MakeFindProgress(std::u16string_view text);
    int GetLastMatchLength() const;
    // Whether the last search ended cancelled (Storno, or a change of the
    // buffer under it).
    bool LastFindCancelled() const;
    // The text the last regular-expression match was found in and its
    // group entries (false when the last match was not one).
    bool GetLastRegExpMatch(std::u16string_view& text, const int*& groups) const;
    // The last search of the view (text and flags); false when none.
    bool GetLastSearch(std::u16string& text, uint32_t& flags) const;
    void SetLastSearch(std::u16string_view text, uint32_t flags);
    bool FindText(std::u16string_view text, EdtPoint start, uint32_t flags, bool wrap, EdtPoint& found,
                  const FindProgressFn& progress = {});
    // The buffer's line in one lookup (the view's lines when it has none).
    std::u16string_view LineForSearch(int line) const;
    bool MatchLine(int line, int from, int limit, bool last, int& pos, int& len);
    bool FindTextInBlock(std::u16string_view text, EdtPoint start, EdtPoint blockStart, EdtPoint blockEnd,
                         uint32_t flags, bool wrap, EdtPoint& found, const FindProgressFn& progress = {});
    bool HighlightText(EdtPoint pt, int length, bool reverse);
    // The compiled expression of a regular-expression search text, kept
    // for the searches that follow (nullptr when it does not compile), and
    // the lines after the searched one that it joins ("\n" sequences).
    const RegExp* SearchRegExp(std::u16string_view text, int& joinedLines);
    // Shows "Nemohu najít řetězec "%s"".
    void ShowNotFound(std::u16string_view text);
    void MapFindCommands();
    void OnEditFind();
    void OnEditRepeat(bool previous);
    bool IsIncrementalSearch() const;
    bool IsIncrementalFound() const;
    const std::u16string& GetIncrementalText() const;
    void OnIncrementalSearch(bool backward);
    void IncrementalStep(bool next);
    // A typed character and Backspace during the incremental search; false
    // when none runs (the key is then the caller's).
    bool OnIncrementalChar(char16_t c);
    bool OnIncrementalBackspace();
    void EndIncrementalSearch();
    // The incremental status texts, from the position pane's update.
    void UpdateIncrementalStatus();

    // The state (the view and its other parts read it).
    CEdtTextView& m_view;
    EdtSelectionState& m_sel;
    const EdtViewStyle& m_style;
    const EdtScrollPos& m_pos;
    std::unique_ptr<EdtFindState> m_find;
};
