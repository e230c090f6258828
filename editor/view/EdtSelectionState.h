#pragma once
// The caret and selection of a text view as a value: the caret, the
// anchor, the selection's bounds (as set and as drawn, start before end),
// the position kept by "save position", the column the caret keys aim at
// and the keyboard selection mode.  The view owns one and hands it out by
// reference; its parts and the derived views change it through these
// functions.  Repainting is the caller's (EdtCaretModel).

#include "editor/buffer/EdtTextBuffer.h"

class EdtSelectionState
{
public:
    EdtPoint Cursor() const { return m_cursor; }
    void SetCursor(EdtPoint pt) { m_cursor = pt; }
    EdtPoint Anchor() const { return m_anchor; }
    void SetAnchor(EdtPoint pt) { m_anchor = pt; }
    // Caret and anchor at one point (no selection left by the caret).
    void PlaceAt(EdtPoint pt) { m_cursor = m_anchor = pt; }

    // The selection as set (either order).
    EdtPoint SelStart() const { return m_selStart; }
    EdtPoint SelEnd() const { return m_selEnd; }
    void SetSelStart(EdtPoint pt) { m_selStart = pt; }
    void SetSelEnd(EdtPoint pt) { m_selEnd = pt; }

    // The selection as drawn and edited (start before end).
    EdtPoint DrawSelStart() const { return m_drawSelStart; }
    EdtPoint DrawSelEnd() const { return m_drawSelEnd; }
    void SetDrawSelStart(EdtPoint pt) { m_drawSelStart = pt; }
    void SetDrawSelEnd(EdtPoint pt) { m_drawSelEnd = pt; }
    // The drawn bounds from the selection as set.
    void PrepareSelBounds()
    {
        const bool reversed = m_selEnd.line < m_selStart.line ||
                              (m_selEnd.line == m_selStart.line && m_selEnd.ch < m_selStart.ch);
        m_drawSelStart = reversed ? m_selEnd : m_selStart;
        m_drawSelEnd = reversed ? m_selStart : m_selEnd;
    }

    EdtPoint SavedPos() const { return m_savedPos; }
    void SetSavedPos(EdtPoint pt) { m_savedPos = pt; }

    // The column the vertical caret keys keep (-1: the caret's own).
    int IdealChar() const { return m_idealChar; }
    void SetIdealChar(int ch) { m_idealChar = ch; }

    bool KeyboardSelection() const { return m_keyboardSelection; }
    void SetKeyboardSelection(bool on) { m_keyboardSelection = on; }

    // Applies f (EdtPoint&) to the points a buffer change moves: the caret,
    // the anchor and the selection as set.
    template <class F> void MovePoints(F&& f)
    {
        f(m_cursor);
        f(m_selStart);
        f(m_selEnd);
        f(m_anchor);
    }

private:
    EdtPoint m_cursor;
    EdtPoint m_anchor;
    EdtPoint m_selStart, m_selEnd;
    EdtPoint m_drawSelStart, m_drawSelEnd;
    EdtPoint m_savedPos;
    int m_idealChar = -1;
    bool m_keyboardSelection = false;
};
