#pragma once
// The caret and the selection of a text view: text positions and client
// points, the caret's place and blinking, the selection and its repaint,
// keeping a point visible and the caret commands.  Part of CEdtTextView;
// see docs/editor-views.md.

#include "editor/view/EdtSelectionState.h"
#include "editor/buffer/EdtTextBuffer.h"
#include "editor/view/EdtViewStyle.h"

#include <QPoint>
#include <QRect>

#include <cstdint>

class CEdtTextView;
class QTimer;

class EdtCaretModel
{
public:
    explicit EdtCaretModel(CEdtTextView& view);

    int CalculateActualOffset(int line, int ch) const;
    bool IsValidTextPos(EdtPoint pt) const;
    bool IsValidTextPosY(EdtPoint pt) const;
    EdtPoint ClientToText(QPoint p);
    QPoint TextToClient(EdtPoint pt);
    void EnsureVisible(EdtPoint pt);
    void SetCursorPos(EdtPoint pt);
    void SetAnchor(EdtPoint pt);
    void SetAnchorAtCursor();
    void GoToAnchor();
    void SetSelection(EdtPoint start, EdtPoint end);
    // SetSelection for points already inside the text.
    void SetSelectionInText(EdtPoint start, EdtPoint end);
    void GetSelection(EdtPoint& start, EdtPoint& end);
    bool IsSelection() const;
    bool IsInsideSelection(EdtPoint pt);
    void InvalidateLines(int first, int last);
    void InvalidateFromLine(int line);
    QRect CaretRect();
    bool IsCaretShown() const;
    void UpdateCaret();
    void UpdateCaretBlink();
    // The caret keeps the anchor and sets the selection (extend) or moves
    // both (no extend); the common end of every caret command.
    void FinishCaretMove(bool extend, bool keepIdeal);
    void OnCaretCommand(uint32_t id);

    // The state (the view and its other parts read it).
    CEdtTextView& m_view;
    EdtSelectionState& m_sel;
    const EdtViewStyle& m_style;
    const EdtScrollPos& m_pos;
    QTimer* m_caretTimer = nullptr;
    bool m_caretOn = true;
    QRect m_caretRect;
};
