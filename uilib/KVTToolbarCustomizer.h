#pragma once
// The customisation of a toolbar by mouse: selecting a button, dragging its
// width, dragging it away or within the bar (also with Alt outside
// customisation mode), drops of dragged buttons with their insertion
// marker, the bar's context menus and the commands of the button context
// menu (ID_BUTTON_RESET .. ID_BUTTON_NEW_MENU).  The bar's virtual drop operations land here unless a
// derived bar replaces them.

#include "uilib/KVTToolbarDropTarget.h"

#include <QPoint>
#include <QRect>

#include <cstdint>
#include <memory>

class CKVTToolBar;
class CKVTToolbarButton;
class QMimeData;
class QMouseEvent;
namespace ui {
class Menu;
}

class CKVTToolbarCustomizer
{
public:
    explicit CKVTToolbarCustomizer(CKVTToolBar& bar) : m_bar(bar) {}

    // The press of customisation mode (and of an Alt-drag); FALSE when it is not one.
    bool OnCustomizePress(QMouseEvent* e);
    // The width drag: the moving edge, and its end (applied or not).
    bool IsResizing() const { return m_resizing; }
    QRect ResizeRect() const { return m_resizeRect; }
    void TrackResize(QPoint point);
    void EndResize(bool apply, QPoint point);
    void OnCustomizeMode(bool on);
    // Keeps the bar out of the customisation sheet's list of toolbars.
    void SetHideInCustomizeList(bool on) { m_hideInCustomizeList = on; }
    bool IsHiddenInCustomizeList() const { return m_hideInCustomizeList; }

    // The bar's drop target (registered when the bar is created); the
    // button drag hands it what is dragged over the bar.
    CKVTToolbarDropTarget& DropTarget() { return m_dropTarget; }
    // Drops (the drop target calls them through the bar).
    int OnDragEnter(const QMimeData* data, int keyState, const QPoint& point);
    int OnDragOver(const QMimeData* data, int keyState, const QPoint& point);
    void OnDragLeave();
    bool OnDrop(const QMimeData* data, int effect, const QPoint& point);
    int FindDropIndex(const QPoint& point, QRect& marker);
    std::unique_ptr<CKVTToolbarButton> CreateDroppedButton(const QMimeData* data);
    void AddRemoveSeparator(CKVTToolbarButton* button, QPoint start, QPoint end);
    int DropIndex() const { return m_dropIndex; }
    QRect DropMarker() const { return m_dropMarker; }
    CKVTToolbarButton* DragButton() const { return m_dragButton; }

    // Menus.
    void OnContextMenu(QPoint screenPoint);
    void PrepareCustomizeMenu(CKVTToolbarButton* button, ui::Menu& menu);
    void OnCustomizeCommand(uint32_t id);
    bool RunAppearanceDialog(CKVTToolbarButton* button);

private:
    void StartButtonDrag(int index, QMouseEvent* e, bool temporary);
    void OnDragDone(int effect, bool started, bool escape, bool deleted, QPoint releasePos);

    CKVTToolBar& m_bar;
    CKVTToolbarDropTarget m_dropTarget;
    int m_dropIndex = -1;
    QRect m_dropMarker;
    CKVTToolbarButton* m_dragButton = nullptr;
    QPoint m_dragStart{-1, -1};
    bool m_copy = false;
    bool m_resizing = false;
    QRect m_resizeRect;
    CKVTToolbarButton* m_resizeButton = nullptr;
    bool m_hideInCustomizeList = false;
};
