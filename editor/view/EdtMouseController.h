#pragma once
// The mouse of a text view: selection by chars, words and screen lines,
// automatic scrolling while a button is held outside, the clipboard and
// the drag source.  Part of CEdtTextView; see docs/editor-views.md.

#include "editor/view/EdtSelectionState.h"
#include "editor/buffer/EdtTextBuffer.h"
#include "editor/view/EdtViewStyle.h"

#include <QPoint>
#include <QString>

#include <string>

class CEdtTextView;
class QMouseEvent;
class QTimer;

class EdtMouseController
{
public:
    explicit EdtMouseController(CEdtTextView& view);

    // The text view whose drag runs now (nullptr when none).
    static CEdtTextView* CurrentDragSource();
    void DragSelectionTo(EdtPoint pt);
    void SelectWordsBetween(EdtPoint a, EdtPoint b);
    void SelectScreenLines(EdtPoint a, EdtPoint b);
    void EndMouseSelection();
    void MousePress(QMouseEvent* e);
    void MouseMove(QMouseEvent* e);
    void MouseRelease(QMouseEvent* e);
    void MouseDoubleClick(QMouseEvent* e);
    void OnAutoScrollTimer();
    void OnEditCopy();
    void OnEditSelectAll();
    bool TextInClipboard();
    bool PutToClipboard(const std::u16string& text);
    // Puts text that already has LF line ends; false for an empty text.
    bool SetClipboardText(const QString& lfText);
    bool GetFromClipboard(std::u16string& text);
    bool PrepareDragData(std::u16string& text);
    Qt::DropActions GetDropEffect();
    void OnDropSource(Qt::DropAction effect);
    void StartDrag();

    bool GetDisableDragAndDrop() const { return m_disableDragAndDrop; }
    void SetDisableDragAndDrop(bool on) { m_disableDragAndDrop = on; }
    // The dragged text's bounds (the drag source's).
    EdtPoint DragStart() const { return m_dragStart; }
    EdtPoint DragEnd() const { return m_dragEnd; }
    // Forgets a pending or running drag (the view was reset).
    void CancelDrag() { m_preparingToDrag = m_draggingText = false; }
    // Moves the points of a pending or running drag with a buffer change.
    void MoveDragPoints(const UpdateContext& context);

private:
    CEdtTextView& m_view;
    EdtSelectionState& m_sel;
    const EdtViewStyle& m_style;
    const EdtScrollPos& m_pos;
    QTimer* m_autoScroll = nullptr;
    bool m_dragSelection = false;
    bool m_wordSelection = false;
    bool m_lineSelection = false;
    bool m_preparingToDrag = false;
    bool m_draggingText = false;
    bool m_disableDragAndDrop = false;
    QPoint m_pressPos;
    QPoint m_lastMousePos;
    EdtPoint m_dragStart, m_dragEnd;
};
