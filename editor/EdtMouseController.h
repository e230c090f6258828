#pragma once
// The mouse of a text view: selection by chars, words and screen lines,
// automatic scrolling while a button is held outside, the clipboard and
// the drag source.  Part of CEdtTextView; see docs/editor-views.md.

#include "editor/buffer/EdtTextBuffer.h"

#include <QString>

#include <string>

class CEdtTextView;
class QMouseEvent;
class QTimer;

class EdtMouseController
{
public:
    explicit EdtMouseController(CEdtTextView& view);

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

    // The state (the view and its other parts read it).
    CEdtTextView& m_view;
    QTimer* m_autoScroll = nullptr;
};
