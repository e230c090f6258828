#pragma once
// "Editor tlačítek" (dialog 16133): draws one toolbar button image pixel by
// pixel on a private copy.  The zoomed paint area, the palette of the 20
// default colours, the preview at the real size and a small strip of tool
// commands (pen, fill, colour pick, line, rectangle, ellipse, copy, paste,
// clear).

#include "platform/ui/Dialog.h"
#include "res/CommandIds.h"

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QWidget>

#include <array>
#include <vector>

class QActionGroup;
class QAction;
class QToolBar;
class CKVTImageEditDlg;

// The pure rules of the editor.
namespace KvtImageEdit {
// The face colour of the strip's standard colours.
constexpr QRgb kFaceColor = 0xFFC0C0C0;
// The 20 colours of the default palette.
const std::array<QRgb, 20>& DefaultPalette();
// Cell size: (client size - 2) / image size, at least 1.
QSize CellSize(QSize client, QSize image);
// The cell of a client point, clamped to the image.
QPoint PointToCell(QPoint point, QSize cell, QSize image);
// The palette's square cell and the 20 cell rectangles in a client area.
int PaletteCellSize(QSize client);
std::vector<QRect> PaletteLayout(QSize client);
// The cells of the shapes, start and end cells included.
std::vector<QPoint> LineCells(QPoint a, QPoint b);
std::vector<QPoint> RectangleCells(QPoint a, QPoint b);
std::vector<QPoint> EllipseCells(QPoint a, QPoint b);
// 4-connected fill over pixels of exactly the start pixel's colour.
void FloodFill(QImage& image, QPoint start, QRgb color);
// Pixels with alpha below 128 become the face colour, the others opaque.
QImage MakeOpaque(const QImage& image, QRgb face = kFaceColor);
} // namespace KvtImageEdit

class CKVTImagePaintArea : public QWidget
{
    Q_OBJECT
public:
    enum Tool { TOOL_PEN = 0, TOOL_FILL, TOOL_LINE, TOOL_RECT, TOOL_ELLIPSE, TOOL_PICK };

    CKVTImagePaintArea(CKVTImageEditDlg* owner, QImage* image, QWidget* parent = nullptr);
    int GetTool() const { return m_tool; }
    void SetTool(int tool);
    QRgb GetColor() const { return m_color; }
    void SetColor(QRgb color) { m_color = color; }
    QSize CellSize() const;
    QPoint CellAt(QPoint clientPoint) const;
    QSize sizeHint() const override { return m_image->size() * 10 + QSize(2, 2); }
    // The cells a release at the current cell would paint (the drag preview).
    std::vector<QPoint> PreviewCells() const;

signals:
    void imageChanged();
    void colorPicked(QRgb color);

protected:
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    void SetPixel(QPoint cell);
    CKVTImageEditDlg* m_owner;
    QImage* m_image;
    int m_tool = TOOL_PEN;
    QRgb m_color = 0xFF000000;
    bool m_dragging = false;
    QPoint m_start;
    QPoint m_current;
};

class CKVTImagePalette : public QWidget
{
    Q_OBJECT
public:
    explicit CKVTImagePalette(QWidget* parent = nullptr);
    int GetSelected() const { return m_selected; }
    QRgb GetColor(int index) const;
    // Selects the cell of a colour; false (selection kept) when it is not one of the 20.
    bool SelectColor(QRgb color);
    void SetSelected(int index);
    int CellAt(QPoint point) const;
    QSize sizeHint() const override { return {110, 90}; }

signals:
    void colorSelected(QRgb color);

protected:
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;

private:
    int m_selected = 0;
};

// The image at its real size, centred, as a bar draws it.
class CKVTImagePreview : public QWidget
{
    Q_OBJECT
public:
    CKVTImagePreview(const QImage* image, QWidget* parent = nullptr);
    QSize sizeHint() const override { return m_image->size() + QSize(8, 8); }

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    const QImage* m_image;
};

// The small frame of the tool commands ID_IMAGE_FILL .. ID_IMAGE_CLEAR.
class CPaletteCommandFrameWnd : public QWidget
{
    Q_OBJECT
public:
    explicit CPaletteCommandFrameWnd(CKVTImageEditDlg* dialog, QWidget* parent = nullptr);
    QAction* Action(uint32_t id) const;
    QToolBar* ToolBar() const { return m_bar; }
    // The tool actions follow the dialog's tool; paste follows the clipboard.
    void UpdateCommands();

private:
    CKVTImageEditDlg* m_dialog;
    QToolBar* m_bar;
    QActionGroup* m_tools;
    std::vector<QAction*> m_actions;
};

class CKVTImageEditDlg : public ui::Dialog
{
    Q_OBJECT
public:
    enum Command : uint32_t {
        ID_FILL = ID_IMAGE_FILL,
        ID_PEN = ID_IMAGE_PEN,
        ID_PICK = ID_IMAGE_PICK,
        ID_LINE = ID_IMAGE_LINE,
        ID_RECT = ID_IMAGE_RECT,
        ID_ELLIPSE = ID_IMAGE_ELLIPSE,
        ID_COPY = ID_IMAGE_COPY,
        ID_PASTE = ID_IMAGE_PASTE,
        ID_CLEAR = ID_IMAGE_CLEAR,
    };

    // The image in the strip's form (standard colours); its size is the image size.
    explicit CKVTImageEditDlg(const QImage& image, QWidget* parent = nullptr);
    const QImage& GetImage() const { return m_image; }
    int GetTool() const { return m_tool; }
    void SetTool(int tool);
    QRgb GetColor() const { return m_color; }
    void OnCommand(uint32_t id);
    bool CanPaste() const;

    CKVTImagePaintArea* PaintArea() const { return m_area; }
    CKVTImagePalette* Palette() const { return m_palette; }
    CKVTImagePreview* Preview() const { return m_preview; }
    CPaletteCommandFrameWnd* ToolFrame() const { return m_tools; }

private:
    void OnColorPicked(QRgb color);
    void Copy();
    void Paste();
    void Changed();

    QImage m_image;
    QRgb m_color = 0xFF000000;
    int m_tool = CKVTImagePaintArea::TOOL_PEN;
    CKVTImagePaintArea* m_area = nullptr;
    CKVTImagePalette* m_palette = nullptr;
    CKVTImagePreview* m_preview = nullptr;
    CPaletteCommandFrameWnd* m_tools = nullptr;
};
