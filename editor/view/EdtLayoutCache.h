#pragma once
// The per-line caches of a text view (parse cookies, expanded lengths,
// sub-line counts of word wrap, the longest line) and the idle filler that
// completes them in small slices.  Part of CEdtTextView; see
// docs/editor-views.md.

#include "editor/parsers/EdtParser.h"
#include "editor/layout/EdtViewLayout.h"
#include "editor/view/EdtViewStyle.h"

#include <climits>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class CEdtTextView;
class EdtViewLines;
class QObject;

class EdtLayoutCache
{
public:
    explicit EdtLayoutCache(CEdtTextView& view);
    ~EdtLayoutCache();  // drops a slice still on its way

    // The view's text as the layout code reads it (lines, tab size, breaks).
    const edt::ILayoutLines& Lines() const;

    // Forgets everything (a new text or a reset view).
    void ResetCaches();
    // Follows the line count of the text.
    void EnsureCacheSize();
    int WrapWidth();
    // The break positions of the line (empty without word wrap).
    void GetLineBreaks(int line, std::vector<int>& breaks);
    int GetSubLines(int line);
    void ComputeSubLines(int line);
    int GetSubLineCount();
    int GetSubLineIndex(int line);
    void GetLineBySubLineIndex(int subLine, int& line, int& subInLine);
    void InvalidateLineCache(int from, int to);
    uint32_t ParseLine(uint32_t cookie, int line, TextBlockList* blocks);
    uint32_t GetParseCookie(int line);
    void StartFiller();
    // Whether the idle filler still has work (cookies, lengths, wrap).
    bool IsFillerBusy() const;
    void OnFillerSlice();
    // Runs the idle filler to its end (tests and benchmarks).
    void FinishFiller();
    bool RunFillerSlice(int budgetMs);
    // Bytes held by the per-line caches.
    size_t CacheMemoryBytes() const;
    int GetMaxLineLength();
    // Whether every line is drawn in its exact colours (all cookies known,
    // nothing drawn provisionally waits).
    bool AreColoursExact() const;

    // The state (the view and its other parts read it).
    CEdtTextView& m_view;
    const EdtViewStyle& m_style;
    EdtScrollPos& m_pos;
    std::unique_ptr<EdtViewLines> m_lines;
    CEdtParser* m_parser = nullptr;   // gives the break points of word wrap
    std::vector<uint32_t> m_cookies;  // valid below m_cookiesKnown
    int m_cookiesKnown = 0;
    edt::BlockedCounts m_lengths;     // expanded lengths, -1 unknown
    edt::BlockedCounts m_subLines;    // sub-lines per line, -1 unknown (counts 1)
    int m_maxLength = -1;             // -1 unknown
    int m_maxKnown = 0;               // max over the lengths computed so far
    int m_lengthScan = 0;             // the filler's next line for lengths
    int m_wrapScan = 0;               // the filler's next line for sub-lines
    int m_wrapWidth = -1;
    int m_provisionalFrom = INT_MAX;  // first line drawn with a guessed cookie
    std::unique_ptr<QObject> m_slicer; // receives the filler's slices (posted events)
    bool m_slicePosted = false;       // a slice is on its way
};
