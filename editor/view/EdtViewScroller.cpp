// The text view's scrolling: screen size, scroll bars (own or the
// splitter's), scrolling by sub-lines and columns, panes that scroll
// together, resizing and the wheel.

#include "editor/view/EdtViewScroller.h"

#include "editor/view/EdtCaretModel.h"
#include "editor/view/EdtLayoutCache.h"
#include "editor/view/EdtTextView.h"
#include "editor/view/EdtViewRenderer.h"

#include "platform/ui/Splitter.h"

#include <QElapsedTimer>
#include <QResizeEvent>
#include <QScrollBar>
#include <QStyle>
#include <QTimer>
#include <QWheelEvent>

#include <algorithm>

EdtViewScroller::EdtViewScroller(CEdtTextView& view) : m_view(view), m_style(view.Style()), m_pos(view.ScrollPos())
{
    m_vbar = new QScrollBar(Qt::Vertical, &view);
    m_hbar = new QScrollBar(Qt::Horizontal, &view);
    QObject::connect(m_vbar, &QScrollBar::valueChanged, &view, [this](int v) { OnVScroll(v); });
    QObject::connect(m_hbar, &QScrollBar::valueChanged, &view, [this](int v) { OnHScroll(v); });
    KeepOneLineOnPageSteps(m_vbar, &view);
    KeepOneLineOnPageSteps(m_hbar, &view);
}

// ------------------------------------------------------------ geometry

QRect EdtViewScroller::ClientRect() const
{
    QRect r = m_view.rect();
    if (m_vbar->isVisible())
        r.setRight(r.right() - m_vbar->width());
    if (m_hbar->isVisible())
        r.setBottom(r.bottom() - m_hbar->height());
    return r;
}

int EdtViewScroller::GetScreenLines()
{
    if (m_screenLines < 0)
        m_screenLines = std::max(ClientRect().height() / m_view.Renderer().GetLineHeight(), 0);
    return m_screenLines;
}

int EdtViewScroller::GetScreenChars()
{
    if (m_screenChars < 0) {
        const int textWidth = ClientRect().width() - m_view.GetMarginWidth();
        m_screenChars = std::max(textWidth / m_view.Renderer().GetCharWidth(), 0);
    }
    return m_screenChars;
}

// A page step moves by one less than the page, so that a line stays in
// view; the thumb keeps the page's size.
void EdtViewScroller::KeepOneLineOnPageSteps(QScrollBar* bar, QObject* context)
{
    QObject::connect(bar, &QAbstractSlider::actionTriggered, context, [bar](int action) {
        const int step = std::max(bar->pageStep() - 1, 1);
        if (action == QAbstractSlider::SliderPageStepAdd)
            bar->setSliderPosition(std::min(bar->value() + step, bar->maximum()));
        else if (action == QAbstractSlider::SliderPageStepSub)
            bar->setSliderPosition(std::max(bar->value() - step, bar->minimum()));
    });
}

void EdtViewScroller::ConnectScrollBars()
{
    m_splitter = nullptr;
    for (QWidget* w = m_view.parentWidget(); w; w = w->parentWidget())
        if (auto* s = qobject_cast<ui::SplitterWnd*>(w)) {
            if (s->PaneId(&m_view) >= 0)
                m_splitter = s;
            break;
        }
    if (!m_splitter)
        return;
    const int id = m_splitter->PaneId(&m_view);
    QScrollBar* v = m_splitter->RowScrollBar(ui::SplitterWnd::RowFromId(id));
    QScrollBar* h = m_splitter->ColumnScrollBar(ui::SplitterWnd::ColFromId(id));
    if (v != m_sharedV) {
        if (m_sharedV)
            QObject::disconnect(m_sharedV, nullptr, &m_view, nullptr);
        m_sharedV = v;
        if (v) {
            QObject::connect(v, &QScrollBar::valueChanged, &m_view,
                             [this](int x) { OnVScroll(x); });
            KeepOneLineOnPageSteps(v, &m_view);
        }
    }
    if (h != m_sharedH) {
        if (m_sharedH)
            QObject::disconnect(m_sharedH, nullptr, &m_view, nullptr);
        m_sharedH = h;
        if (h) {
            QObject::connect(h, &QScrollBar::valueChanged, &m_view,
                             [this](int x) { OnHScroll(x); });
            KeepOneLineOnPageSteps(h, &m_view);
        }
    }
    LayoutScrollBars();
}

void EdtViewScroller::LayoutScrollBars()
{
    const bool own = m_splitter == nullptr;
    const int ext = m_view.style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, &m_view);
    m_vbar->setVisible(own);
    m_hbar->setVisible(own && !m_style.wordWrap);
    if (own) {
        const int hb = m_style.wordWrap ? 0 : ext;
        m_vbar->setGeometry(m_view.width() - ext, 0, ext, std::max(m_view.height() - hb, 0));
        if (!m_style.wordWrap)
            m_hbar->setGeometry(0, m_view.height() - ext, std::max(m_view.width() - ext, 0), ext);
    }
    m_screenLines = m_screenChars = -1;
}

namespace {
// A scroll bar over `count` units with `page` of them on screen, at `pos`;
// without the range when only the position changed.
void SetScrollBar(QScrollBar* bar, int count, int page, int pos, bool positionOnly)
{
    if (!bar)
        return;
    const QSignalBlocker block(bar);
    if (!positionOnly) {
        bar->setRange(0, std::max(count - 1, 0));
        bar->setPageStep(page);
        bar->setSingleStep(1);
        bar->setEnabled(count > page || pos > 0);
    }
    bar->setValue(pos);
}
} // namespace

void EdtViewScroller::RecalcVertScrollBar(bool positionOnly)
{
    QScrollBar* bar = m_splitter ? m_sharedV.data() : m_vbar;
    const int count = m_view.GetSubLineCount();
    const int page = std::max(GetScreenLines(), 1);
    if (!positionOnly) {
        if (count <= page && m_pos.topSubLine > 0) {
            m_pos.topSubLine = 0;
            m_pos.topLine = 0;
            m_view.update();
            m_view.Caret().UpdateCaret();
        }
    }
    SetScrollBar(bar, count, page, m_pos.topSubLine, positionOnly);
}

void EdtViewScroller::RecalcHorzScrollBar(bool positionOnly)
{
    QScrollBar* bar = m_splitter ? m_sharedH.data() : m_hbar;
    if (m_style.wordWrap) {
        if (bar && !m_splitter)
            bar->setEnabled(false);
        return;
    }
    const int maxLen = m_view.Cache().GetMaxLineLength();
    const int page = std::max(GetScreenChars(), 1);
    if (!positionOnly && maxLen <= page && m_pos.offsetChar > 0) {
        m_pos.offsetChar = 0;
        m_view.update();
        m_view.Caret().UpdateCaret();
    }
    SetScrollBar(bar, maxLen, page, m_pos.offsetChar, positionOnly);
}

void EdtViewScroller::OnVScroll(int value)
{
    value = std::clamp(value, 0, std::max(m_view.GetSubLineCount() - 1, 0));
    ScrollToSubLine(value, false, false);
}

void EdtViewScroller::OnHScroll(int value)
{
    if (!m_style.wordWrap)
        ScrollToChar(std::max(value, 0), false, false);
}

void EdtViewScroller::ScrollToSubLine(int subLine, bool, bool trackScrollBar)
{
    subLine = std::clamp(subLine, 0, std::max(m_view.GetSubLineCount() - 1, 0));
    if (subLine == m_pos.topSubLine)
        return;
    m_pos.topSubLine = subLine;
    int sub = 0;
    m_view.GetLineBySubLineIndex(subLine, m_pos.topLine, sub);
    m_view.update();
    m_view.Caret().UpdateCaret();
    if (trackScrollBar)
        RecalcVertScrollBar(true);
    m_view.UpdateSiblingScrollPos(false);
}

void EdtViewScroller::ScrollToChar(int column, bool, bool trackScrollBar)
{
    if (m_style.wordWrap)
        return;
    column = std::max(column, 0);
    if (column == m_pos.offsetChar)
        return;
    m_pos.offsetChar = column;
    m_view.update();
    m_view.Caret().UpdateCaret();
    if (trackScrollBar)
        RecalcHorzScrollBar(true);
    m_view.UpdateSiblingScrollPos(true);
}

void EdtViewScroller::ScrollToLine(int line, bool noSmooth, bool trackScrollBar)
{
    ScrollToSubLine(m_view.GetSubLineIndex(line), noSmooth, trackScrollBar);
}

void EdtViewScroller::UpdateSiblingScrollPos(bool horz)
{
    if (m_syncingSiblings || !m_splitter)
        return;
    int row = 0, col = 0;
    if (!m_splitter->IsChildPane(&m_view, &row, &col))
        return;
    m_syncingSiblings = true;
    for (int r = 0; r < m_splitter->GetRowCount(); ++r)
        for (int c = 0; c < m_splitter->GetColumnCount(); ++c) {
            if ((horz ? c != col : r != row) || (r == row && c == col))
                continue;
            if (auto* v = qobject_cast<CEdtTextView*>(m_splitter->GetPane(r, c)))
                v->OnUpdateSibling(&m_view, horz);
        }
    m_syncingSiblings = false;
}

void EdtViewScroller::OnUpdateSibling(CEdtTextView* updater, bool horz)
{
    if (!updater || updater == &m_view || m_syncingSiblings)
        return;
    m_syncingSiblings = true;
    if (horz)
        ScrollToChar(updater->ScrollPos().offsetChar, true, false);
    else
        ScrollToSubLine(m_view.GetSubLineIndex(updater->ScrollPos().topLine), true, false);
    m_syncingSiblings = false;
}

// ------------------------------------------------------------ Qt events

void EdtViewScroller::Resize(QResizeEvent*)
{
    // The character at the top stays at the top.
    int topSub = 0, topLine = 0;
    m_view.GetLineBySubLineIndex(m_pos.topSubLine, topLine, topSub);
    std::vector<int> breaks;
    m_view.Cache().GetLineBreaks(topLine, breaks);
    const int topChar = topSub == 0 || breaks.empty() ? 0 : breaks[size_t(std::min<int>(topSub, int(breaks.size()))) - 1];
    LayoutScrollBars();
    if (m_style.wordWrap) {
        m_view.Cache().EnsureCacheSize();
        m_view.Cache().m_subLines.Fill(0, m_view.Cache().m_subLines.Size(), -1);
        m_view.Cache().m_wrapScan = 0;
        m_view.Cache().m_wrapWidth = -1;
        m_view.Cache().GetLineBreaks(topLine, breaks);
        const edt::SubLinePos p = edt::SubLineOf(breaks, m_view.GetLineLength(topLine), topChar);
        m_pos.topLine = topLine;
        m_pos.topSubLine = m_view.GetSubLineIndex(topLine) + p.sub;
        m_view.Cache().StartFiller();
    }
    m_view.Caret().UpdateCaret();
    RecalcVertScrollBar();
    RecalcHorzScrollBar();
    m_view.ExecuteCommand(ID_EDT_REDRAW);
}

void EdtViewScroller::Wheel(QWheelEvent* e)
{
    const QPoint d = e->angleDelta();
    if (d.y() != 0) {
        m_wheelRest += d.y();
        const int lines = m_wheelRest / 40;
        m_wheelRest -= lines * 40;
        if (lines != 0)
            ScrollToSubLine(std::clamp(m_pos.topSubLine - lines, 0,
                                       std::max(m_view.GetSubLineCount() - 1, 0)));
    }
    if (d.x() != 0 && !m_style.wordWrap) {
        m_hwheelRest += d.x();
        const int cols = m_hwheelRest / 40;
        m_hwheelRest -= cols * 40;
        if (cols != 0)
            ScrollToChar(std::clamp(m_pos.offsetChar - cols, 0,
                                    std::max(m_view.Cache().GetMaxLineLength() - 1, 0)));
    }
    e->accept();
}

// ------------------------------------------------------------ the view's functions that hand on to this part

int CEdtTextView::GetScreenLines()
{
    return m_scroller->GetScreenLines();
}

int CEdtTextView::GetScreenChars()
{
    return m_scroller->GetScreenChars();
}

void CEdtTextView::ScrollToSubLine(int subLine, bool noSmooth, bool trackScrollBar)
{
    m_scroller->ScrollToSubLine(subLine, noSmooth, trackScrollBar);
}

void CEdtTextView::ScrollToChar(int column, bool noSmooth, bool trackScrollBar)
{
    m_scroller->ScrollToChar(column, noSmooth, trackScrollBar);
}

void CEdtTextView::UpdateSiblingScrollPos(bool horz)
{
    m_scroller->UpdateSiblingScrollPos(horz);
}

void CEdtTextView::OnUpdateSibling(CEdtTextView* updater, bool horz)
{
    m_scroller->OnUpdateSibling(updater, horz);
}

void CEdtTextView::resizeEvent(QResizeEvent* e)
{
    ui::View::resizeEvent(e);
    m_scroller->Resize(e);
}

void CEdtTextView::wheelEvent(QWheelEvent* e)
{
    m_scroller->Wheel(e);
}
