#include "uilib/KVTToolbarLayouter.h"

#include "platform/ui/ControlBar.h"
#include "uilib/KVTDocking.h"
#include "uilib/KVTDrawingData.h"
#include "uilib/KVTPopupMenu.h"
#include "uilib/KVTRebar.h"
#include "uilib/KVTToolBar.h"
#include "uilib/KVTToolbarMenuButton.h"
#include "uilib/KVTToolbarShared.h"

#include <QMdiSubWindow>

#include <algorithm>

using namespace ui;

void CKVTToolbarLayouter::SetOwnSizes(QSize button, QSize image)
{
    m_ownButton = button;
    m_ownImage = image;
    UpdateOwnCurrentSizes();
}

void CKVTToolbarLayouter::UpdateOwnCurrentSizes()
{
    m_curOwnButton = m_ownButton * CKVTToolbarShared::Scale();
    m_curOwnImage = m_ownImage * CKVTToolbarShared::Scale();
}

QSize CKVTToolbarLayouter::ButtonSize() const
{
    if (!m_bar.m_locked)
        return m_largeIcons ? CKVTToolbarShared::GetCurrentButtonSize()
                                  : CKVTToolbarShared::GetDefaultButtonSize();
    return m_largeIcons ? m_curOwnButton : m_ownButton;
}

QSize CKVTToolbarLayouter::ImageSize() const
{
    if (!m_bar.m_locked)
        return m_largeIcons ? CKVTToolbarShared::GetCurrentImageSize() : CKVTToolbarShared::GetDefaultImageSize();
    return m_largeIcons ? m_curOwnImage : m_ownImage;
}

int CKVTToolbarLayouter::ColumnWidth() const
{
    if (m_bar.m_menuMode) {
        const QSize menu = CKVTToolbarShared::GetMenuButtonSize();
        return menu.width() > 0 ? menu.width() : CKVTToolbarShared::GetDefaultButtonSize().width();
    }
    return ButtonSize().width();
}

int CKVTToolbarLayouter::RowHeight() const
{
    if (m_labelsTaller)
        return m_labelHeight;
    int base;
    if (m_bar.m_menuMode) {
        const QSize menu = CKVTToolbarShared::GetMenuButtonSize();
        base = menu.height() > 0 ? menu.height() : CKVTToolbarShared::GetDefaultButtonSize().height();
    } else {
        base = ButtonSize().height();
    }
    const CKVTDrawingData& dd = CKVTDrawingData::Instance();
    const int text = m_bar.IsHorizontal() ? dd.HorzTextHeight() : dd.VertTextHeight();
    return std::max(text, base);
}

void CKVTToolbarLayouter::CalcMaxLabelHeight()
{
    m_labelHeight = 0;
    m_labelsTaller = false;
    if (!m_bar.m_textLabels || !m_bar.IsHorizontal())
        return;
    const QSize def(ColumnWidth(), ButtonSize().height());
    for (auto& b : m_bar.m_items) {
        if (!b->m_textBelow)
            continue;
        if (b->m_text.isEmpty())
            m_bar.SetDefaultButtonText(b.get());
        m_labelHeight = std::max(m_labelHeight, b->CalculateSize(def, true).height());
    }
    m_labelsTaller = m_labelHeight > ButtonSize().height();
}

std::vector<KvtLayoutButton> CKVTToolbarLayouter::Items(bool horz)
{
    std::vector<KvtLayoutButton> items;
    items.reserve(m_bar.m_items.size());
    const QSize def(ColumnWidth(), RowHeight());
    for (auto& b : m_bar.m_items) {
        KvtLayoutButton it;
        it.size = b->CalculateSize(def, horz);
        it.separator = b->IsSeparator();
        it.wrap = b->m_wrap;
        it.hidden = b->m_hidden;
        it.textBelow = b->m_textBelow;
        it.rect = b->m_rect;
        items.push_back(it);
    }
    return items;
}

KvtLayoutBar CKVTToolbarLayouter::Bar(bool horz) const
{
    KvtLayoutBar bar;
    bar.horizontal = horz;
    bar.rowHeight = RowHeight();
    bar.columnWidth = ColumnWidth();
    const QRect cr = m_bar.contentsRect();
    bar.origin = cr.topLeft();
    bar.availableLength = m_fixedLength != -1 ? m_fixedLength : (horz ? cr.width() : cr.height());
    bar.clientAcross = horz ? cr.height() : cr.width();
    bar.textLabels = m_bar.m_textLabels;
    bar.barStyle = m_bar.GetBarStyle();
    const QRect in = m_bar.CalcInsideRect(QRect(0, 0, 1000, 1000), horz);
    const int dx = 1000 - in.width(), dy = 1000 - in.height();
    bar.borderAlong = horz ? dx : dy;
    bar.borderAcross = horz ? dy : dx;
    bar.mruWidth = m_bar.LastFloatingWidth();
    return bar;
}

QSize CKVTToolbarLayouter::CalcSize(bool vertical)
{
    const std::vector<KvtLayoutButton> items = Items(!vertical);
    return KvtToolbarLayout::CalcSize(items, Bar(!vertical));
}

QSize CKVTToolbarLayouter::CalcLayout(uint32_t mode, int length)
{
    const bool horz = (mode & LM_HORZ) != 0;
    CalcMaxLabelHeight();
    std::vector<KvtLayoutButton> items = Items(horz);
    KvtLayoutBar bar = Bar(horz);
    const QSize size = KvtToolbarLayout::CalcLayout(items, mode, length, bar);
    if (bar.mruWidth != m_bar.LastFloatingWidth())
        m_bar.SetLastFloatingWidth(bar.mruWidth);
    for (size_t i = 0; i < items.size(); ++i)
        m_bar.m_items[i]->m_wrap = items[i].wrap;
    m_bar.m_items.RebuildMnemonics();
    return size;
}

QSize CKVTToolbarLayouter::CalcWrappedLayout(int length)
{
    CalcMaxLabelHeight();
    std::vector<KvtLayoutButton> items = Items(true);
    KvtLayoutBar bar = Bar(true);
    bar.horizontal = true;
    KvtToolbarLayout::Wrap(items, std::max(1, length - bar.borderAlong), true);
    const QSize size = KvtToolbarLayout::CalcSize(items, bar) + QSize(bar.borderAlong, bar.borderAcross);
    for (size_t i = 0; i < items.size(); ++i)
        m_bar.m_items[i]->m_wrap = items[i].wrap;
    m_bar.m_items.RebuildMnemonics();
    return size;
}

QSize CKVTToolbarLayouter::CalcFixedLayout(bool stretch, bool horz)
{
    return m_bar.CalcLayout((stretch ? LM_STRETCH : 0) | (horz ? LM_HORZ | LM_HORZDOCK : LM_VERTDOCK));
}

QSize CKVTToolbarLayouter::CalcDynamicLayout(int length, uint32_t mode)
{
    if (m_bar.IsHorizontal())
        mode |= LM_HORZ;
    return m_bar.CalcLayout(mode, length);
}

void CKVTToolbarLayouter::RepositionButtons()
{
    CKVTToolbarItems& buttons = m_bar.m_items;
    if (buttons.empty())
        return;
    CCustomizeButton* customize = buttons.Customize();
    const bool horz = m_bar.IsHorizontal();
    std::vector<KvtLayoutButton> items = Items(horz);
    KvtLayoutBar bar = Bar(horz);
    const bool overflow = customize && !m_bar.IsFloating() && !CKVTToolbarShared::IsCustomizeMode();
    QSize customizeSize;
    if (customize) {
        items.pop_back(); // placed on its own below
        customize->ClearHiddenButtons();
        customizeSize = customize->CalculateSize(QSize(ColumnWidth(), RowHeight()), horz);
        if (overflow)
            bar.overflowLength = horz ? customizeSize.width() : customizeSize.height();
    }
    const std::vector<int> hidden = KvtToolbarLayout::Reposition(items, bar);
    for (size_t i = 0; i < items.size(); ++i) {
        CKVTToolbarButton* b = buttons[i].get();
        if (b->m_hidden != items[i].hidden) {
            b->m_hidden = items[i].hidden;
            b->OnShow(!b->m_hidden);
        }
        b->SetRect(items[i].rect);
    }
    if (!customize)
        return;
    if (overflow)
        for (int i : hidden)
            customize->AddHiddenButton(buttons[size_t(i)].get());
    const bool show = overflow && (customize->GetCustomizeId() != 0 || !customize->HiddenButtons().empty());
    if (show) {
        const QRect cr = m_bar.contentsRect();
        const QRect r = horz ? QRect(cr.right() + 1 - customizeSize.width(), cr.top() + 1, customizeSize.width(),
                                     customizeSize.height())
                             : QRect(cr.left() + 1, cr.bottom() + 1 - customizeSize.height(), customizeSize.width(),
                                     customizeSize.height());
        customize->m_hidden = false;
        customize->SetRect(r);
    } else {
        customize->m_hidden = true;
        customize->SetRect(QRect());
    }
}

void CKVTToolbarLayouter::AdjustLayout()
{
    const bool horz = m_bar.IsHorizontal();
    for (auto& b : m_bar.m_items)
        b->m_textBelow = !b->IsSeparator() && m_bar.m_textLabels && horz;
    if (auto* rebar = qobject_cast<KvtRebar*>(m_bar.parentWidget())) {
        CalcMaxLabelHeight();
        rebar->SetChildMinSize(&m_bar, m_bar.CalcDynamicLayout(-1, LM_HORZ | LM_HORZDOCK));
    } else {
        // What the frame's layout recalculation does: the size and the wraps.
        m_bar.CalcDynamicLayout(-1, horz ? LM_HORZ | LM_HORZDOCK : LM_VERTDOCK);
        m_bar.updateGeometry();
        // The bar's size may have changed (other image sizes, text labels):
        // its dock site lays its rows out again, a floating frame takes the
        // new size, at once.
        QWidget* parent = m_bar.parentWidget();
        if (auto* site = qobject_cast<CKVTToolDockBar*>(parent)) {
            if (auto* client = qobject_cast<KvtFrameClient*>(site->parentWidget()))
                client->RecalcLayout();
        } else if (auto* mini = qobject_cast<CKVTMiniDockFrameWnd*>(parent)) {
            mini->RecalcLayout();
        }
    }
    m_bar.RepositionButtons();
    m_bar.update();
}

int CKVTToolbarLayouter::HitTest(QPoint point) const
{
    for (int i = 0; i < m_bar.m_items.Count(); ++i) {
        const CKVTToolbarButton* b = m_bar.m_items[size_t(i)].get();
        if (b->m_hidden || b->m_rect.isEmpty() || !b->m_rect.contains(point))
            continue;
        return b->IsSeparator() ? -1 : i;
    }
    return -1;
}

KvtDropPlace CKVTToolbarLayouter::FindDropPlace(const QPoint& point, const KvtDropRules& rules, bool horz)
{
    std::vector<KvtLayoutButton> items = Items(horz);
    return KvtToolbarLayout::FindDropIndex(items, point, Bar(horz), m_bar.contentsRect(), rules);
}
