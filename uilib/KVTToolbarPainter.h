#pragma once
// The drawing of a toolbar: the face, the borders and the gripper, each
// button with the image strip that fits its state, the separators and row
// lines, and in customisation mode the selection, the drop marker and the
// width drag.  The bar's virtual drawing operations land here unless a
// derived bar replaces them.

#include <QRect>

class CKVTToolBar;
class CKVTToolbarButton;
class CKVTToolbarImageList;
class QPainter;
class QPaintEvent;

class CKVTToolbarPainter
{
public:
    explicit CKVTToolbarPainter(CKVTToolBar& bar) : m_bar(bar) {}

    void Paint(QPaintEvent* e);
    void PaintNonClient(QPainter& p);
    void DrawBarGripper(QPainter& p, QRect band, bool horz);
    void DrawSeparator(QPainter& p, CKVTToolbarButton* button, bool horz);
    void DrawButton(QPainter& p, CKVTToolbarButton* button, CKVTToolbarImageList* images, bool highlighted,
                    bool grayDisabled);
    void DrawDragMarker(QPainter& p, QRect marker);
    // The bar's own strip of a kind when it is locked, else the shared one.
    CKVTToolbarImageList* ImageList(int kind);

private:
    CKVTToolBar& m_bar;
};
