#pragma once
// The drop target of a library toolbar: buttons dragged in customisation
// mode (the data that a button's CopyToClipboard fills) reach the toolbar;
// any other data, or any data outside customisation mode, is refused.  The
// in-process drag of the customisation calls it; there is no platform drag
// and drop here.

#include <QPoint>

#include <cstdint>

class CKVTToolBar;
class QMimeData;

enum KvtDropEffect : int { DROPEFFECT_NONE = 0, DROPEFFECT_COPY = 1, DROPEFFECT_MOVE = 2 };

class CKVTToolbarDropTarget
{
public:
    void Register(CKVTToolBar* bar) { m_bar = bar; }
    CKVTToolBar* Bar() const { return m_bar; }
    // Whether the data may go to the toolbar at all.
    static bool Accepts(const QMimeData* data);
    int OnDragEnter(const QMimeData* data, int effect, const QPoint& point);
    int OnDragOver(const QMimeData* data, int effect, const QPoint& point);
    int OnDropEx(const QMimeData* data, int effect, const QPoint& point);
    void OnDragLeave();

private:
    CKVTToolBar* m_bar = nullptr;
};
