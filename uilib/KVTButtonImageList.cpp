#include "uilib/KVTButtonImageList.h"

#include "uilib/KVTDrawingData.h"
#include "uilib/KVTToolBar.h"
#include "uilib/KVTToolbarButton.h"
#include "uilib/KVTToolbarImageList.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <QWheelEvent>

#include <algorithm>

CKVTButtonImageList::Layout CKVTButtonImageList::ComputeLayout(QSize client, int scrollBarExtent,
                                                               const std::vector<QSize>& buttonSizes)
{
    Layout out;
    const int left = 4;
    const int right = std::max(left + 1, client.width() - scrollBarExtent - 4);
    const int top = 5;
    const int visibleHeight = std::max(0, client.height() - 10);
    int rowHeight = 0;
    for (const QSize& s : buttonSizes)
        rowHeight = std::max(rowHeight, s.height());
    out.pitch = std::max(1, rowHeight + 5);
    int x = left;
    int row = 0;
    for (const QSize& s : buttonSizes) {
        if (x + s.width() > right && x > left) {
            x = left;
            ++row;
        }
        out.rects.emplace_back(x, top + row * out.pitch, s.width(), s.height());
        x += s.width() + 4;
    }
    out.rows = buttonSizes.empty() ? 0 : row + 1;
    // A row fits when its button fits; the gap below the last one needs no room.
    out.visibleRows = (visibleHeight + 5) / out.pitch;
    out.scrollLimit = std::max(0, out.rows - out.visibleRows) * out.pitch;
    out.pageStep = std::max(1, out.visibleRows) * out.pitch;
    return out;
}

CKVTButtonImageList::CKVTButtonImageList(QWidget* parent) : QWidget(parent), m_scroll(new QScrollBar(Qt::Vertical, this))
{
    setFocusPolicy(Qt::StrongFocus);
    connect(m_scroll, &QScrollBar::valueChanged, this, &CKVTButtonImageList::OnScroll);
    connect(m_scroll, &QScrollBar::sliderMoved, this, [this](int value) {
        // The thumb position rounds to a row.
        const int pitch = std::max(1, m_layout.pitch);
        m_scroll->setValue(std::clamp((value + pitch / 2) / pitch * pitch, 0, m_layout.scrollLimit));
    });
    Relayout();
}

CKVTButtonImageList::~CKVTButtonImageList() = default;

void CKVTButtonImageList::SetImages(CKVTToolbarImageList* images)
{
    m_images = images;
    if (images)
        m_buttonSize = images->GetImageSize() + QSize(6, 7);
    RemoveButtons();
}

void CKVTButtonImageList::AddButton(std::unique_ptr<CKVTToolbarButton> button)
{
    if (!button)
        return;
    m_buttons.push_back(std::move(button));
    Relayout();
}

void CKVTButtonImageList::RemoveButtons()
{
    m_selected = -1;
    m_buttons.clear();
    m_offset = 0;
    Relayout();
}

CKVTToolbarButton* CKVTButtonImageList::GetButton(int index) const
{
    return index >= 0 && index < GetCount() ? m_buttons[size_t(index)].get() : nullptr;
}

int CKVTButtonImageList::GetSelectedImage() const
{
    const CKVTToolbarButton* b = GetButton(m_selected);
    return b ? b->GetImage() : -1;
}

bool CKVTButtonImageList::SelectButton(int imageIndex)
{
    if (imageIndex < 0) {
        Select(-1);
        return true;
    }
    for (int i = 0; i < GetCount(); ++i)
        if (m_buttons[size_t(i)]->GetImage() == imageIndex) {
            Select(i);
            return true;
        }
    return false;
}

QRect CKVTButtonImageList::ButtonRect(int index) const
{
    if (index < 0 || index >= int(m_layout.rects.size()))
        return {};
    return m_layout.rects[size_t(index)].translated(0, -m_offset);
}

void CKVTButtonImageList::Relayout()
{
    const int extent = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    std::vector<QSize> sizes(m_buttons.size(), m_buttonSize);
    m_layout = ComputeLayout(size(), extent, sizes);
    m_scroll->setGeometry(width() - extent, 0, extent, height());
    m_settingScroll = true;
    m_scroll->setRange(0, m_layout.scrollLimit);
    m_scroll->setSingleStep(m_layout.pitch);
    m_scroll->setPageStep(m_layout.pageStep);
    m_scroll->setEnabled(m_layout.scrollLimit > 0);
    m_offset = std::clamp(m_offset, 0, m_layout.scrollLimit);
    m_scroll->setValue(m_offset);
    m_settingScroll = false;
    update();
}

void CKVTButtonImageList::OnScroll(int value)
{
    if (m_settingScroll)
        return;
    m_offset = std::clamp(value, 0, m_layout.scrollLimit);
    update(QRect(0, 0, m_scroll->x(), height()));
}

void CKVTButtonImageList::Select(int index)
{
    if (index == m_selected && index >= 0)
        return;
    m_selected = index;
    if (index >= 0) {
        // Scroll a hidden row into view.
        const QRect r = m_layout.rects[size_t(index)];
        const int top = 5;
        const int visible = std::max(1, m_layout.visibleRows) * m_layout.pitch;
        int offset = m_offset;
        if (r.top() - top < offset)
            offset = r.top() - top;
        else if (r.top() - top >= offset + visible)
            offset = r.top() - top - visible + m_layout.pitch;
        offset = std::clamp(offset, 0, m_layout.scrollLimit);
        if (offset != m_offset)
            m_scroll->setValue(offset);
    }
    update();
    emit selectionChanged(GetSelectedImage());
}

void CKVTButtonImageList::resizeEvent(QResizeEvent*) { Relayout(); }

void CKVTButtonImageList::changeEvent(QEvent* e)
{
    if (e->type() == QEvent::EnabledChange || e->type() == QEvent::PaletteChange)
        update();
    QWidget::changeEvent(e);
}

void CKVTButtonImageList::wheelEvent(QWheelEvent* e)
{
    const int steps = e->angleDelta().y() / 120;
    if (steps)
        m_scroll->setValue(m_scroll->value() - steps * m_layout.pitch);
    e->accept();
}

void CKVTButtonImageList::mousePressEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton || !isEnabled())
        return;
    const QPoint pos = e->position().toPoint();
    for (int i = 0; i < GetCount(); ++i)
        if (ButtonRect(i).contains(pos)) {
            Select(i);
            return;
        }
}

void CKVTButtonImageList::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const CKVTDrawingData& dd = CKVTDrawingData::Instance();
    const QRect area(0, 0, m_scroll->x(), height());
    p.fillRect(area, dd.Face());
    p.setClipRect(area.adjusted(1, 1, -1, -1));
    if (m_images)
        for (int i = 0; i < GetCount(); ++i) {
            const QRect r = ButtonRect(i);
            if (!r.intersects(area))
                continue;
            CKVTToolbarButton* b = m_buttons[size_t(i)].get();
            const uint32_t style = b->m_style;
            if (i == m_selected)
                b->m_style |= TBBS_PRESSED;
            if (!isEnabled())
                b->m_style |= TBBS_DISABLED;
            b->SetRect(r);
            b->Draw(p, r, m_images, true, false, false, true, true);
            b->m_style = style;
            if (i == m_selected) {
                p.setPen(QPen(palette().color(QPalette::WindowText), 1, Qt::DotLine));
                p.drawRect(r.adjusted(-2, -2, 1, 1));
                p.drawRect(r.adjusted(-3, -3, 2, 2));
            }
        }
    p.setClipping(false);
    p.setPen(dd.Shadow());
    p.drawLine(area.topLeft(), area.topRight());
    p.drawLine(area.topLeft(), area.bottomLeft());
    p.setPen(dd.Highlight());
    p.drawLine(area.bottomLeft(), area.bottomRight());
    p.drawLine(area.topRight(), area.bottomRight());
}
