#include "platform/ui/ControlBar.h"

#include <QMouseEvent>

namespace ui {

ControlBar::ControlBar(QWidget* parent) : QWidget(parent) {}

ControlBar::~ControlBar()
{
    m_dockContext.reset();
    if (m_client)
        IdleUpdater::Instance().RemoveClient(this);
}

bool ControlBar::Create(QWidget* parent, uint32_t style, uint32_t id)
{
    if (parent && parent != parentWidget())
        setParent(parent);
    m_owner = parent ? parent->window() : nullptr;
    m_id = id;
    m_barStyle = style & CBRS_ALL;
    m_created = true;
    UpdateInsets();
    if (auto* frame = dynamic_cast<DockingFrame*>(m_owner.data()); frame && RegistersWithFrame())
        frame->AddControlBar(this);
    setVisible((style & WS_VISIBLE) != 0);
    return true;
}

void ControlBar::EnableDocking(uint32_t sides)
{
    m_dockSides = sides & CBRS_ALIGN_ANY;
    if (!m_dockSides) {
        m_dockContext.reset();
        return;
    }
    if (!m_dockContext)
        if (auto* frame = dynamic_cast<DockingFrame*>(m_owner.data()))
            m_dockContext = frame->CreateDockContext(this);
}

void ControlBar::SetDockContext(std::unique_ptr<DockContext> context)
{
    m_dockContext = std::move(context);
}

void ControlBar::SetDockSiteId(uint32_t id)
{
    m_siteId = id;
    OnDockSiteChanged(id);
}

void ControlBar::mousePressEvent(QMouseEvent* e)
{
    if (e->type() == QEvent::MouseButtonDblClick) {
        ControlBar::mouseDoubleClickEvent(e);
        return;
    }
    if (e->button() == Qt::LeftButton && m_dockContext) {
        m_dockContext->StartDrag(e->globalPosition().toPoint());
        return;
    }
    QWidget::mousePressEvent(e);
}

void ControlBar::mouseDoubleClickEvent(QMouseEvent* e)
{
    if (e->button() == Qt::LeftButton && m_dockContext) {
        m_dockContext->ToggleDocking();
        return;
    }
    QWidget::mouseDoubleClickEvent(e);
}

void ControlBar::SetBarStyle(uint32_t style)
{
    m_barStyle = style & CBRS_ALL;
    UpdateInsets();
}

void ControlBar::SetBorders(int left, int top, int right, int bottom)
{
    m_borders = QMargins(left, top, right, bottom);
    UpdateInsets();
}

QRect ControlBar::CalcInsideRect(QRect r, bool horz) const
{
    const uint32_t s = m_barStyle;
    int l = 0, t = 0, rt = 0, b = 0;
    if (s & CBRS_BORDER_LEFT)
        l += 2;
    if (s & CBRS_BORDER_TOP)
        t += 2;
    if (s & CBRS_BORDER_RIGHT)
        rt += 2;
    if (s & CBRS_BORDER_BOTTOM)
        b += 2;
    if (horz) {
        l += m_borders.left();
        t += m_borders.top();
        rt += m_borders.right();
        b += m_borders.bottom();
    } else {
        l += m_borders.top();
        t += m_borders.left();
        rt += m_borders.bottom();
        b += m_borders.right();
    }
    if ((s & CBRS_GRIPPER) && !(s & CBRS_FLOATING)) {
        if (horz)
            l += 7;
        else
            t += 7;
    }
    return r.adjusted(l, t, -rt, -b);
}

void ControlBar::UpdateInsets()
{
    const QRect in = CalcInsideRect(QRect(0, 0, 1000, 1000), IsHorizontal());
    setContentsMargins(in.left(), in.top(), 1000 - 1 - in.right(), 1000 - 1 - in.bottom());
}

QSize ControlBar::CalcFixedLayout(bool stretch, bool horz)
{
    return QSize(stretch && horz ? 32767 : 0, stretch && !horz ? 32767 : 0);
}

QSize ControlBar::CalcDynamicLayout(int, uint32_t mode)
{
    return CalcFixedLayout((mode & LM_STRETCH) != 0, (mode & LM_HORZ) != 0);
}

QSize ControlBar::sizeHint() const
{
    auto* self = const_cast<ControlBar*>(this);
    if (IsHorizontal())
        return self->CalcDynamicLayout(-1, LM_HORZ | LM_HORZDOCK);
    return self->CalcDynamicLayout(-1, LM_VERTDOCK);
}

void ControlBar::showEvent(QShowEvent* e)
{
    if (!m_client) {
        IdleUpdater::Instance().AddClient(this);
        m_client = true;
    }
    QWidget::showEvent(e);
}

void ControlBar::hideEvent(QHideEvent* e)
{
    if (m_client) {
        IdleUpdater::Instance().RemoveClient(this);
        m_client = false;
    }
    QWidget::hideEvent(e);
}

} // namespace ui
