#pragma once
// The jumps of a text view: numbered and unnamed bookmarks, the matching
// bracket, go to line and the switch between a source and its header.
// Part of CEdtTextView; see docs/editor-views.md.

#include "editor/view/EdtSelectionState.h"

class CEdtTextView;

class EdtViewJumps
{
public:
    explicit EdtViewJumps(CEdtTextView& view);

    void OnToggleBookmark(int n);
    void OnGoBookmark(int n);
    void OnClearBookmarks();
    void OnToggleBookmark();
    void OnNextBookmark();
    void OnPrevBookmark();
    void OnClearAllBookmarks();
    void OnMatchBrace();
    void GoToLine(int n, bool relative);
    void OnGoToLine();
    void OnSwitchHeader();

    bool HasUnnamedBookmarks() const { return m_hasUnnamedBookmarks; }
    void SetHasUnnamedBookmarks(bool on) { m_hasUnnamedBookmarks = on; }

private:
    CEdtTextView& m_view;
    EdtSelectionState& m_sel;
    bool m_hasUnnamedBookmarks = false;
};
