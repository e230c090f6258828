#include "uilib/KVTToolbarPainter.h"

#include "platform/ui/ControlBar.h"
#include "uilib/KVTDrawingData.h"
#include "uilib/KVTToolBar.h"
#include "uilib/KVTToolbarShared.h"

#include <QPaintEvent>
#include <QPainter>

using namespace ui;

CKVTToolbarImageList* CKVTToolbarPainter::ImageList(int kind)
{
    return m_bar.m_locked ? &m_bar.m_ownImages[size_t(kind)] : CKVTToolbarShared::GetSharedImages(kind);
}

void CKVTToolbarPainter::DrawSeparator(QPainter& p, CKVTToolbarButton* button, bool horz)
{
    const CKVTDrawingData& dd = CKVTDrawingData::Instance();
    const QRect r = button->m_rect;
    if (horz) {
        const int x = r.left() + r.width() / 2 - 1;
        p.fillRect(QRect(x, r.top(), 1, r.height()), dd.Shadow());
        p.fillRect(QRect(x + 1, r.top(), 1, r.height()), dd.Highlight());
    } else {
        const int y = r.top() + r.height() / 2 - 1;
        p.fillRect(QRect(r.left(), y, r.width(), 1), dd.Shadow());
        p.fillRect(QRect(r.left(), y + 1, r.width(), 1), dd.Highlight());
    }
}

void CKVTToolbarPainter::DrawButton(QPainter& p, CKVTToolbarButton* button, CKVTToolbarImageList* images,
                                    bool highlighted, bool grayDisabled)
{
    if (button->m_hidden || button->m_rect.isEmpty())
        return;
    button->Draw(p, button->m_rect, images, m_bar.IsHorizontal(), m_bar.InCustomizeMode() && !m_bar.m_locked,
                 highlighted, m_bar.m_drawBorder, grayDisabled);
}

void CKVTToolbarPainter::Paint(QPaintEvent* e)
{
    CKVTToolbarItems& items = m_bar.m_items;
    QPainter p(&m_bar);
    const CKVTDrawingData& dd = CKVTDrawingData::Instance();
    const bool transparent = (m_bar.m_ctrlStyle & 0x8000) != 0;
    if (!transparent)
        p.fillRect(m_bar.rect(), dd.Face());
    PaintNonClient(p);
    p.setClipRect(m_bar.contentsRect());
    m_bar.OnFillBackground(p);
    p.setPen(dd.Text());

    const bool horz = m_bar.IsHorizontal();
    CKVTToolbarImageList* lists[CKVTToolBar::IMAGES_COUNT];
    for (int k = 0; k < CKVTToolBar::IMAGES_COUNT; ++k)
        lists[k] = ImageList(k);
    QSize imageSize = m_bar.m_layout.ImageSize();
    if (m_bar.m_menuMode && CKVTToolbarShared::GetMenuImageSize().width() > 0)
        imageSize = CKVTToolbarShared::GetMenuImageSize();
    for (auto* l : lists)
        if (l->HasImages() && !l->PrepareDrawImage(imageSize))
            return;
    CKVTToolbarImageList* userImages = CKVTToolbarShared::GetUserImages();
    if (userImages)
        userImages->PrepareDrawImage(imageSize);
    p.setFont(horz ? dd.HorzFont() : dd.VertFont());

    const bool customize = m_bar.InCustomizeMode() && !m_bar.m_locked;
    const QRegion region = e->region();
    for (int i = 0; i < items.Count(); ++i) {
        CKVTToolbarButton* b = items[size_t(i)].get();
        if (b->IsSeparator()) {
            if (b->m_wrap && horz) {
                const QRect cr = m_bar.contentsRect();
                const QRect band(cr.left(), b->m_rect.bottom() + 1, cr.width(), 5);
                if (region.intersects(band)) {
                    p.fillRect(QRect(band.left(), band.top() + 1, band.width(), 1), dd.Shadow());
                    p.fillRect(QRect(band.left(), band.top() + 2, band.width(), 1), dd.Highlight());
                }
            } else if (!b->m_hidden && !b->m_rect.isEmpty() && region.intersects(b->m_rect)) {
                m_bar.DrawSeparator(p, b, horz);
            }
            continue;
        }
        if (b->m_hidden || !region.intersects(b->m_rect))
            continue;
        const bool disabled = (b->m_style & TBBS_DISABLED) && !m_bar.InCustomizeMode();
        bool highlighted;
        if (m_bar.m_menuMode)
            highlighted = i == items.hot;
        else
            highlighted = !customize && (i == items.pressed || (i == items.hot && items.pressed < 0));
        CKVTToolbarImageList* list;
        bool gray = m_bar.m_grayDisabled;
        if (b->m_userImage && userImages) {
            list = userImages;
        } else if (m_bar.m_menuMode) {
            if (disabled && lists[CKVTToolBar::IMAGES_DISABLED_MENU]->HasImages())
                list = lists[CKVTToolBar::IMAGES_DISABLED_MENU];
            else if (lists[CKVTToolBar::IMAGES_MENU]->HasImages())
                list = lists[CKVTToolBar::IMAGES_MENU];
            else if (disabled && lists[CKVTToolBar::IMAGES_DISABLED]->HasImages())
                list = lists[CKVTToolBar::IMAGES_DISABLED];
            else
                list = lists[CKVTToolBar::IMAGES_NORMAL];
        } else {
            const bool pressed = (b->m_style & TBBS_PRESSED) || i == items.droppedDown;
            if (disabled && lists[CKVTToolBar::IMAGES_DISABLED]->HasImages())
                list = lists[CKVTToolBar::IMAGES_DISABLED];
            else if (lists[CKVTToolBar::IMAGES_COLD]->HasImages() && !highlighted && !pressed)
                list = lists[CKVTToolBar::IMAGES_COLD];
            else
                list = lists[CKVTToolBar::IMAGES_NORMAL];
        }
        if (list == lists[CKVTToolBar::IMAGES_DISABLED] || list == lists[CKVTToolBar::IMAGES_DISABLED_MENU])
            gray = false;
        DrawButton(p, b, list, highlighted, gray);
    }
    if (customize) {
        if (items.selected >= items.Count())
            items.selected = -1;
        if (CKVTToolbarButton* sel = items.At(items.selected); sel && sel->CanBeStored()) {
            QRect r = sel->m_rect;
            if (sel->GetHwnd())
                r.adjust(0, -1, 0, 1);
            p.setPen(QPen(dd.Text(), 2));
            p.setBrush(Qt::NoBrush);
            p.drawRect(r.adjusted(1, 1, -1, -1));
        }
        if (m_bar.m_customizer.DropIndex() >= 0)
            m_bar.DrawDragMarker(p);
        if (m_bar.m_customizer.IsResizing()) {
            p.setPen(QPen(dd.Text(), 1, Qt::DotLine));
            p.setBrush(Qt::NoBrush);
            p.drawRect(m_bar.m_customizer.ResizeRect().adjusted(0, 0, -1, -1));
        }
    }
    for (auto* l : lists)
        l->EndDrawImage();
    if (userImages)
        userImages->EndDrawImage();
}

void CKVTToolbarPainter::PaintNonClient(QPainter& p)
{
    const CKVTDrawingData& dd = CKVTDrawingData::Instance();
    const uint32_t style = m_bar.GetBarStyle();
    QRect r = m_bar.rect();
    if (style & CBRS_BORDER_ANY) {
        const QColor hiOrShadow = (style & CBRS_BORDER_3D) ? dd.Highlight() : dd.Shadow();
        if (style & CBRS_BORDER_LEFT)
            p.fillRect(QRect(0, 0, 1, r.height() - 1), hiOrShadow);
        if (style & CBRS_BORDER_TOP)
            p.fillRect(QRect(0, 0, r.width() - 1, 1), hiOrShadow);
        if (style & CBRS_BORDER_RIGHT)
            p.fillRect(QRect(r.width() - 1, 1, 1, r.height() - 1), dd.Shadow());
        if (style & CBRS_BORDER_BOTTOM)
            p.fillRect(QRect(0, r.height() - 1, r.width() - 1, 1), dd.Shadow());
        if (!m_bar.HasDockContext()) {
            // The etched line over the whole width of a bar that never docks.
            p.fillRect(QRect(0, 0, r.width(), 1), dd.Shadow());
            p.fillRect(QRect(0, 1, r.width(), 1), dd.Highlight());
        }
        r.adjust(style & CBRS_BORDER_LEFT ? 1 : 0, style & CBRS_BORDER_TOP ? 1 : 0,
                 style & CBRS_BORDER_RIGHT ? -1 : 0, style & CBRS_BORDER_BOTTOM ? -1 : 0);
    }
    if ((style & CBRS_GRIPPER) && !(style & CBRS_FLOATING)) {
        const QRect cr = m_bar.contentsRect();
        const bool horz = m_bar.IsHorizontal();
        const QRect band = horz ? QRect(QPoint(r.left(), r.top()), QPoint(cr.left() - 2, r.bottom()))
                                : QRect(QPoint(r.left(), r.top()), QPoint(r.right(), cr.top() - 2));
        DrawBarGripper(p, band, horz);
    }
}

void CKVTToolbarPainter::DrawBarGripper(QPainter& p, QRect band, bool horz)
{
    const CKVTDrawingData& dd = CKVTDrawingData::Instance();
    const bool look2000 = CKVTToolbarShared::Options().look2000;
    const int lines = look2000 ? 1 : 2;
    const int shorten = look2000 ? 3 : 2;
    const int first = look2000 ? 1 : 2;
    auto line3d = [&](QRect r) {
        p.fillRect(r, dd.Face());
        p.fillRect(QRect(r.left(), r.top(), r.width(), 1), dd.Highlight());
        p.fillRect(QRect(r.left(), r.top(), 1, r.height()), dd.Highlight());
        p.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), dd.Shadow());
        p.fillRect(QRect(r.right(), r.top(), 1, r.height()), dd.Shadow());
    };
    if (horz) {
        band.adjust(0, shorten, 0, -shorten);
        const int mid = band.left() + band.width() / 2;
        for (int i = 0; i < lines; ++i) {
            const QRect l(mid - first + 4 * i, band.top(), 3, band.height());
            line3d(l);
            if (!look2000)
                p.fillRect(QRect(l.left(), l.bottom(), 1, 1), dd.Highlight());
        }
    } else {
        if (!look2000)
            band.adjust(0, 1, 0, 0);
        band.adjust(shorten, 0, -shorten, 0);
        const int mid = band.top() + band.height() / 2;
        for (int i = 0; i < lines; ++i) {
            const QRect l(band.left(), mid - first + 4 * i, band.width(), 3);
            line3d(l);
            if (!look2000)
                p.fillRect(QRect(l.right(), l.top(), 1, 1), dd.Highlight());
        }
    }
}

void CKVTToolbarPainter::DrawDragMarker(QPainter& p, QRect r)
{
    if (r.isEmpty())
        return;
    const CKVTDrawingData& dd = CKVTDrawingData::Instance();
    p.save();
    p.setPen(Qt::NoPen);
    p.setBrush(dd.Text());
    if (m_bar.IsHorizontal()) {
        // An I-beam across the bar.
        const int x = r.left() + r.width() / 2 - 1;
        p.drawRect(QRect(x, r.top(), 2, r.height()));
        p.drawRect(QRect(x - 2, r.top(), 6, 2));
        p.drawRect(QRect(x - 2, r.bottom() - 1, 6, 2));
    } else {
        const int y = r.top() + r.height() / 2 - 1;
        p.drawRect(QRect(r.left(), y, r.width(), 2));
        p.drawRect(QRect(r.left(), y - 2, 2, 6));
        p.drawRect(QRect(r.right() - 1, y - 2, 2, 6));
    }
    p.restore();
}
