#pragma once
// The scrollable grid of button images in the button appearance dialog:
// each image of the user strip as a small toolbar button; a press selects
// one and tells the dialog.

#include <QSize>
#include <QWidget>

#include <memory>
#include <vector>

class CKVTToolbarButton;
class CKVTToolbarImageList;
class QScrollBar;

class CKVTButtonImageList : public QWidget
{
    Q_OBJECT
public:
    // The layout of the grid: the rectangles of the buttons (unscrolled),
    // the row pitch, the rows, the rows that fit and the scroll limit.
    struct Layout
    {
        std::vector<QRect> rects;
        int pitch = 0;
        int rows = 0;
        int visibleRows = 0;
        int scrollLimit = 0;
        int pageStep = 0;
    };
    static Layout ComputeLayout(QSize client, int scrollBarExtent, const std::vector<QSize>& buttonSizes);

    explicit CKVTButtonImageList(QWidget* parent = nullptr);
    ~CKVTButtonImageList() override;

    void SetImages(CKVTToolbarImageList* images);
    CKVTToolbarImageList* Images() const { return m_images; }
    QSize ButtonSize() const { return m_buttonSize; }
    void AddButton(std::unique_ptr<CKVTToolbarButton> button);
    void RemoveButtons();
    int GetCount() const { return int(m_buttons.size()); }
    CKVTToolbarButton* GetButton(int index) const;
    // -1 clears the selection; false when no button has that image.
    bool SelectButton(int imageIndex);
    int GetSelected() const { return m_selected; }
    int GetSelectedImage() const;
    int ScrollOffset() const { return m_offset; }
    QScrollBar* ScrollBar() const { return m_scroll; }
    const Layout& CurrentLayout() const { return m_layout; }
    // The button's rectangle in client coordinates (scrolled).
    QRect ButtonRect(int index) const;

signals:
    void selectionChanged(int imageIndex);

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void changeEvent(QEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;

private:
    void Relayout();
    void Select(int index);
    void OnScroll(int value);

    std::vector<std::unique_ptr<CKVTToolbarButton>> m_buttons;
    CKVTToolbarImageList* m_images = nullptr;
    int m_selected = -1;
    int m_offset = 0;
    QScrollBar* m_scroll;
    QSize m_buttonSize{22, 22};
    Layout m_layout;
    bool m_settingScroll = false;
};
