#include "uilib/KVTToolbarCustomizer.h"

#include "res/CommandIds.h"

#include "platform/ui/Beep.h"
#include "platform/ui/Cursor.h"
#include "platform/ui/Menu.h"
#include "uilib/KVTButtonAppearanceDlg.h"
#include "uilib/KVTButtonDragController.h"
#include "uilib/KVTFrameHooks.h"
#include "uilib/KVTPopupMenu.h"
#include "uilib/KVTToolBar.h"
#include "uilib/KVTToolbarMenuButton.h"
#include "uilib/KVTToolbarShared.h"

#include <QApplication>
#include <QClipboard>
#include <QMdiSubWindow>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>

#include <algorithm>

using namespace ui;

// --- the press, the width drag and the button drag ----------------------------

bool CKVTToolbarCustomizer::OnCustomizePress(QMouseEvent* e)
{
    CKVTToolbarItems& items = m_bar.m_items;
    const bool temporary = !CKVTToolbarShared::IsCustomizeMode();
    if (temporary && !(CKVTToolbarShared::IsAltCustomization() && (e->modifiers() & Qt::AltModifier)))
        return false;
    if (m_bar.m_locked || CKVTButtonDragController::Instance().IsArmed())
        return !temporary; // a locked bar selects nothing
    const QPoint pt = e->position().toPoint();
    const int index = m_bar.HitTest(pt);
    CKVTToolbarButton* b = items.At(index);
    if (!b) {
        // A click outside the buttons clears the selection (and may dock the bar).
        if (!temporary) {
            m_bar.InvalidateButton(items.selected);
            items.selected = -1;
        }
        return false;
    }
    // 1. The selection and the copy flag.
    m_bar.InvalidateButton(items.selected);
    items.selected = index;
    m_bar.InvalidateButton(index);
    m_copy = (e->modifiers() & Qt::ControlModifier) != 0;
    // 2. A button that cannot be edited.
    if (!b->IsEditable()) {
        items.selected = -1;
        m_bar.InvalidateButton(index);
        return true;
    }
    // 3. The width drag of a stretchable button (its right edge).
    const int right = b->m_rect.left() + b->m_rect.width();
    if (!temporary && b->CanBeStretched() && right - pt.x() < 7 && right - pt.x() >= 0) {
        m_resizing = true;
        m_resizeButton = b;
        m_resizeRect = b->GetHwnd() ? b->m_rect.adjusted(-2, -2, 2, 2) : b->m_rect;
        m_bar.setCursor(ui::LoadCursor(30980, Qt::SizeHorCursor));
        m_bar.grabMouse();
        m_bar.grabKeyboard();
        m_bar.update(m_resizeRect.adjusted(-2, -2, 2, 2));
        return true;
    }
    // 4. The drag.
    if (b->CanBeStored() && b->OnBeforeDrag())
        StartButtonDrag(index, e, temporary);
    return true;
}

void CKVTToolbarCustomizer::StartButtonDrag(int index, QMouseEvent* e, bool temporary)
{
    CKVTToolbarButton* b = m_bar.m_items.At(index);
    auto data = std::make_unique<QMimeData>();
    if (!b || !b->CopyToClipboard(data.get()))
        return;
    m_bar.ShowCommandMessage(b->m_id);
    m_dragButton = b;
    m_dragStart = e->position().toPoint();
    if (temporary) {
        // An Alt-drag: the customisation-mode flag is on for the drag only.
        CKVTToolbarShared::SetCustomizeFlags(true, true);
    }
    QPointer<CKVTToolBar> self(&m_bar);
    auto done = [self, temporary](const CKVTButtonDragController::Result& r) {
        if (self)
            self->m_customizer.OnDragDone(r.effect, r.started, r.escape, r.deleted, r.releasePos);
        if (temporary && CKVTToolbarShared::IsTempCustomizeMode()) {
            // A temporary customisation always ends, whatever became of the drag.
            CKVTToolbarShared::SetCustomizeFlags(CKVTToolbarShared::IsCustomizeMode(), false);
            CKVTToolbarShared::SetCustomizeMode(false);
            CKVTToolbarShared::SetCustomizeFlags(false, false);
        }
        if (self)
            self->update();
    };
    const QRect start = CKVTButtonDragController::StartRectAround(e->globalPosition().toPoint());
    if (!CKVTButtonDragController::Instance().Start(&m_bar, std::move(data), DROPEFFECT_COPY | DROPEFFECT_MOVE, start,
                                                    done)) {
        CKVTButtonDragController::Result none;
        done(none);
    }
}

void CKVTToolbarCustomizer::OnDragDone(int effect, bool started, bool escape, bool deleted, QPoint releasePos)
{
    CKVTToolbarItems& items = m_bar.m_items;
    CKVTToolbarButton* b = m_dragButton;
    const int index = items.IndexOf(b);
    m_dragButton = nullptr;
    const QRect start = CKVTButtonDragController::StartRectAround(m_bar.mapToGlobal(m_dragStart));
    m_dragStart = QPoint(-1, -1);
    if (index < 0)
        return;
    if (started) {
        // Only a move, or a release where the delete cursor showed, takes the
        // button away; a drop that failed after an accepting drag-over keeps it.
        const bool remove = !escape && !start.contains(releasePos) && effect != DROPEFFECT_COPY &&
                            (effect == DROPEFFECT_MOVE || deleted);
        if (remove) {
            m_bar.RemoveButton(index);
            m_bar.AdjustLayout();
            m_bar.update();
        } else {
            m_bar.InvalidateButton(index);
        }
        return;
    }
    // A plain click: the button becomes hot (a menu button opens for editing).
    if (CKVTToolbarShared::IsCustomizeMode() && !CKVTToolbarShared::IsTempCustomizeMode()) {
        auto* menu = dynamic_cast<CKVTToolbarMenuButton*>(b);
        if (menu && !dynamic_cast<CKVTToolbarSystemMenuButton*>(menu) && !dynamic_cast<CCustomizeButton*>(menu)) {
            items.selected = index;
            menu->OnClick(&m_bar, false);
            m_bar.InvalidateButton(index);
            return;
        }
        m_bar.SetHotButton(index);
    }
}

void CKVTToolbarCustomizer::TrackResize(QPoint point)
{
    const int x = std::max(m_resizeRect.left() + 1, point.x());
    m_bar.update(m_resizeRect.adjusted(-2, -2, 2, 2));
    m_resizeRect.setRight(x);
    m_bar.update(m_resizeRect.adjusted(-2, -2, 2, 2));
}

void CKVTToolbarCustomizer::EndResize(bool apply, QPoint point)
{
    CKVTToolbarButton* b = m_bar.m_items.IndexOf(m_resizeButton) >= 0 ? m_resizeButton : nullptr;
    const QRect old = m_resizeRect;
    m_resizing = false;
    m_resizeRect = QRect();
    m_resizeButton = nullptr;
    if (QWidget::mouseGrabber() == &m_bar)
        m_bar.releaseMouse();
    if (QWidget::keyboardGrabber() == &m_bar)
        m_bar.releaseKeyboard();
    m_bar.unsetCursor();
    if (apply && b) {
        const int left = b->m_rect.left();
        const int right = left + b->m_rect.width();
        if (point.x() > left + 4 && std::abs(point.x() - right) > 6) {
            b->OnWidthChanged(point.x() - left);
            m_bar.AdjustLayout();
        }
    }
    m_bar.update(old.adjusted(-2, -2, 2, 2));
    m_bar.update();
}

void CKVTToolbarCustomizer::OnCustomizeMode(bool on)
{
    CKVTToolbarItems& items = m_bar.m_items;
    items.pressed = items.hot = items.selected = -1;
    if (m_resizing)
        EndResize(false, QPoint());
    for (auto& b : items) {
        b->OnCancelMode();
        if (QWidget* w = b->GetHwnd()) {
            w->setEnabled(!on);
            // The disabled control of an unlocked bar keeps its normal colours.
            QPalette pal = w->palette();
            if (on && !m_bar.m_locked && b->OnCtlColor(pal))
                w->setPalette(pal);
            else if (!on)
                w->setPalette(QPalette());
        }
    }
}

// --- drops -------------------------------------------------------------------

int CKVTToolbarCustomizer::FindDropIndex(const QPoint& point, QRect& marker)
{
    KvtDropRules rules;
    rules.customizeIndex = m_bar.m_items.IndexOf(m_bar.m_items.Customize());
    const KvtDropPlace place = m_bar.m_layout.FindDropPlace(point, rules, m_bar.IsHorizontal());
    marker = place.marker;
    return place.index;
}

int CKVTToolbarCustomizer::OnDragEnter(const QMimeData* data, int keyState, const QPoint& point)
{
    m_dropIndex = -1;
    CKVTButtonDragController::Instance().SetOutside(false);
    return m_bar.OnDragOver(data, keyState, point);
}

int CKVTToolbarCustomizer::OnDragOver(const QMimeData* data, int keyState, const QPoint& point)
{
    CKVTToolbarItems& items = m_bar.m_items;
    if (m_bar.m_locked)
        return DROPEFFECT_NONE;
    {
        std::unique_ptr<CKVTToolbarButton> probe = CKVTToolbarButton::CreateFromClipboard(data);
        if (!probe || !probe->CanBeDropped(&m_bar))
            return DROPEFFECT_NONE;
    }
    m_copy = (keyState & MK_CONTROL) != 0;
    if (!m_dragButton && items.selected >= 0) {
        m_bar.InvalidateButton(items.selected);
        items.selected = -1;
    }
    QRect marker;
    const int index = m_bar.FindDropIndex(point, marker);
    if (marker != m_dropMarker) {
        m_bar.update(m_dropMarker.adjusted(-2, -2, 2, 2));
        m_bar.update(marker.adjusted(-2, -2, 2, 2));
        m_dropMarker = marker;
    }
    m_dropIndex = index;
    // The hot button follows the point (a menu button opens, so that a
    // button can be dropped into its menu); never the dragged one's menu.
    const int hot = m_bar.HitTest(point);
    if (hot >= 0 && items.At(hot) == m_dragButton)
        m_bar.SetHotIndex(hot);
    else
        m_bar.SetHotButton(hot);
    return m_copy ? DROPEFFECT_COPY : DROPEFFECT_MOVE;
}

void CKVTToolbarCustomizer::OnDragLeave()
{
    m_bar.update(m_dropMarker.adjusted(-2, -2, 2, 2));
    m_dropMarker = QRect();
    m_dropIndex = -1;
    CKVTButtonDragController::Instance().SetOutside(true);
}

bool CKVTToolbarCustomizer::OnDrop(const QMimeData* data, int effect, const QPoint& point)
{
    int index = m_dropIndex;
    m_bar.update(m_dropMarker.adjusted(-2, -2, 2, 2));
    m_dropMarker = QRect();
    m_dropIndex = -1;
    if (index < 0)
        return false;
    QPointer<CKVTToolBar> self(&m_bar);
    std::unique_ptr<CKVTToolbarButton> button = m_bar.CreateDroppedButton(data);
    if (!self || !button)
        return false;
    if (!CKVTToolbarShared::IsCommandPermitted(button->m_id))
        return false; // refused before anything moves
    const int dragged = m_bar.m_items.IndexOf(m_dragButton);
    if (dragged >= 0 && effect != DROPEFFECT_COPY) {
        if (index == dragged || index == dragged + 1) {
            // Just before or after itself: the separator before it.
            CKVTToolbarButton* b = m_dragButton;
            m_dragButton = nullptr;
            AddRemoveSeparator(b, m_dragStart, point);
            return true;
        }
        m_bar.RemoveButton(dragged);
        m_dragButton = nullptr;
        if (dragged < index)
            --index;
    }
    if (m_bar.InsertButton(std::move(button), std::min(index, m_bar.Items().Count())) < 0)
        return false;
    m_bar.AdjustLayout();
    m_bar.m_items.selected = -1;
    m_bar.update();
    return true;
}

std::unique_ptr<CKVTToolbarButton> CKVTToolbarCustomizer::CreateDroppedButton(const QMimeData* data)
{
    std::unique_ptr<CKVTToolbarButton> b = CKVTToolbarButton::CreateFromClipboard(data);
    if (!b)
        return nullptr;
    const int tab = b->m_text.indexOf(QLatin1Char('\t'));
    if (tab >= 0)
        b->m_text.truncate(tab);
    b->m_showText = false;
    b->m_showImage = true;
    if (b->m_extra && !b->HasImage() && b->m_text.isEmpty()) {
        // A command of the command list without image or text: it gets them now.
        CKVTButtonAppearanceDlg dlg(b.get(), CKVTToolbarShared::GetUserImages(), &m_bar);
        if (dlg.DoModal() != ui::IDOK_BUTTON)
            return nullptr;
    }
    if (!b->HasImage()) {
        b->m_showImage = false;
        b->m_showText = true;
    }
    return b;
}

void CKVTToolbarCustomizer::AddRemoveSeparator(CKVTToolbarButton* button, QPoint start, QPoint end)
{
    const int index = m_bar.m_items.IndexOf(button);
    if (index < 0)
        return;
    const int delta = m_bar.IsHorizontal() ? end.x() - start.x() : end.y() - start.y();
    if (std::abs(delta) < 6)
        return;
    CKVTToolbarButton* prev = m_bar.m_items.At(index - 1);
    if (delta > 0) {
        if (index > 0 && prev && !prev->IsSeparator())
            m_bar.InsertSeparator(index);
    } else if (prev && prev->IsSeparator()) {
        m_bar.RemoveButton(index - 1);
    }
    m_bar.AdjustLayout();
    m_bar.m_items.selected = -1;
    m_bar.update();
}

// --- menus -------------------------------------------------------------------

void CKVTToolbarCustomizer::OnContextMenu(QPoint pt)
{
    CKVTToolbarItems& items = m_bar.m_items;
    const bool customizeMode = CKVTToolbarShared::IsCustomizeMode();
    if (m_bar.m_locked && customizeMode) {
        MessageBeep(0xFFFFFFFF);
        return;
    }
    m_bar.SetHotButton(-1);
    if (!customizeMode) {
        if (KvtFrameHooks* hooks =
                KvtFrameHooks::FromWidget(m_bar.GetOwner() ? m_bar.GetOwner() : m_bar.parentWidget()))
            hooks->OnToolbarPopupMenu(&m_bar, pt);
        return;
    }
    const bool keyboard = pt == QPoint(-1, -1);
    int index = keyboard ? items.selected : m_bar.HitTest(m_bar.mapFromGlobal(pt));
    m_bar.InvalidateButton(items.selected);
    items.selected = index;
    m_bar.InvalidateButton(index);
    CKVTToolbarButton* b = items.At(index);
    if (!b)
        return;
    if (!b->IsEditable()) {
        items.selected = -1;
        m_bar.InvalidateButton(index);
        return;
    }
    if (!b->CanBeStored())
        return;
    if (keyboard)
        pt = m_bar.mapToGlobal(m_bar.contentsRect().topLeft() + QPoint(5, 5));
    std::unique_ptr<Menu> res = Menu::Load(16102);
    Menu* sub = res ? res->SubMenu(0) : nullptr;
    if (!sub)
        return;
    std::unique_ptr<Menu> menu = sub->Clone();
    PrepareCustomizeMenu(b, *menu);
    // A library popup whose commands come back to this bar.
    auto* popup = new CKVTPopupMenu;
    QPointer<CKVTToolBar> self(&m_bar);
    popup->SetCommandHandler([self](uint32_t id) {
        if (self)
            self->Customizer().OnCustomizeCommand(id);
    });
    if (!popup->Create(&m_bar, pt.x(), pt.y(), menu.release(), true))
        popup->deleteLater();
}

void CKVTToolbarCustomizer::PrepareCustomizeMenu(CKVTToolbarButton* b, Menu& menu)
{
    auto set = [&menu](uint32_t id, bool grayed, int check) {
        const int i = menu.IndexOf(id);
        if (i < 0)
            return;
        menu.EnableItem(i, !grayed);
        if (check >= 0)
            menu.CheckItem(i, check != 0);
    };
    const bool horz = m_bar.IsHorizontal();
    const bool textBelow = b->m_textBelow && horz;
    set(ID_BUTTON_COPY_IMAGE, !(b->m_showImage && b->HasImage()), -1);
    set(ID_BUTTON_RESET, b->m_id == 0 || b->m_id == 0xFFFFFFFF, -1);
    int which;
    if (!b->m_showText && !textBelow)
        which = ID_BUTTON_IMAGE;
    else
        which = b->m_showImage ? ID_BUTTON_IMAGE_TEXT : ID_BUTTON_TEXT;
    for (uint32_t id : {ID_BUTTON_IMAGE, ID_BUTTON_TEXT, ID_BUTTON_IMAGE_TEXT})
        set(id, false, id == uint32_t(which) ? 1 : 0);
    if (textBelow)
        set(ID_BUTTON_IMAGE, true, -1);
    const int index = m_bar.m_items.IndexOf(b);
    const CKVTToolbarButton* prev = m_bar.m_items.At(index - 1);
    set(ID_BUTTON_BEGIN_GROUP, index <= 0, prev && prev->IsSeparator() ? 1 : 0);
}

bool CKVTToolbarCustomizer::RunAppearanceDialog(CKVTToolbarButton* button)
{
    CKVTButtonAppearanceDlg dlg(button, CKVTToolbarShared::GetUserImages(), &m_bar);
    return dlg.DoModal() == ui::IDOK_BUTTON;
}

void CKVTToolbarCustomizer::OnCustomizeCommand(uint32_t id)
{
    CKVTToolbarItems& items = m_bar.m_items;
    if (id == ID_BUTTON_NEW_MENU) {
        // A new, empty menu at the selection.
        auto menu = std::make_unique<CKVTToolbarMenuButton>();
        menu->m_id = KVT_POPUP_ID; // a popup of its own, empty for now
        menu->m_showText = true;
        menu->m_showImage = false;
        QPointer<CKVTToolBar> self(&m_bar);
        if (!RunAppearanceDialog(menu.get()) || !self)
            return;
        CKVTToolbarMenuButton* raw = menu.get();
        const int at = m_bar.InsertButton(std::move(menu), items.selected >= 0 ? items.selected : -1);
        if (at < 0)
            return;
        items.selected = at;
        m_bar.AdjustLayout();
        m_bar.update();
        raw->OnClick(&m_bar, false);
        return;
    }
    CKVTToolbarButton* b = items.At(items.selected);
    if (!b)
        return;
    QPointer<CKVTToolBar> self(&m_bar);
    // Runs the appearance dialog for a button without an image; cancelling
    // restores the flags it had.
    auto imageFirst = [this, &items, b, &self]() {
        if (b->HasImage())
            return true;
        const bool showText = b->m_showText, showImage = b->m_showImage, user = b->m_userImage;
        const bool ok = RunAppearanceDialog(b);
        if (!self)
            return false;
        if (!ok || items.IndexOf(b) < 0) {
            if (items.IndexOf(b) >= 0) {
                b->m_showText = showText;
                b->m_showImage = showImage;
                b->m_userImage = user;
            }
            return false;
        }
        return true;
    };
    switch (id) {
    case ID_BUTTON_RESET: {
        const int image = CKVTCommandImageMap::Instance().GetImage(b->m_id, false);
        if (image >= 0) {
            b->m_userImage = false;
            b->SetImage(image);
            b->m_showImage = true;
        } else {
            b->m_showImage = false;
        }
        if (m_bar.m_menuMode || !b->m_showImage)
            b->m_showText = true;
        m_bar.SetDefaultButtonText(b);
        break;
    }
    case ID_BUTTON_COPY_IMAGE: {
        CKVTToolbarImageList* list = b->m_userImage ? CKVTToolbarShared::GetUserImages()
                                                    : CKVTToolbarShared::GetSharedImages(CKVTToolBar::IMAGES_NORMAL);
        if (!list || !b->HasImage())
            return;
        const QSize sz = list->GetImageSize();
        QImage img(sz, QImage::Format_ARGB32);
        img.fill(Qt::transparent);
        {
            QPainter p(&img);
            list->PrepareDrawImage(sz);
            list->Draw(p, 0, 0, b->GetImage(), CKVTToolbarImageList::STATE_NORMAL);
            list->EndDrawImage();
        }
        QApplication::clipboard()->setImage(img);
        return;
    }
    case ID_BUTTON_DELETE:
        m_bar.RemoveButton(items.selected);
        items.selected = -1;
        break;
    case ID_BUTTON_APPEARANCE:
        if (!RunAppearanceDialog(b) || !self)
            return;
        break;
    case ID_BUTTON_IMAGE:
        if (!imageFirst())
            return;
        b->m_showImage = true;
        b->m_showText = false;
        break;
    case ID_BUTTON_TEXT:
    case ID_BUTTON_IMAGE_TEXT:
        if (id == ID_BUTTON_IMAGE_TEXT && !imageFirst())
            return;
        if (b->m_text.isEmpty() && !m_bar.SetDefaultButtonText(b)) {
            MessageBeep();
            b->m_showText = false;
            b->m_showImage = true;
            break;
        }
        b->m_showText = true;
        b->m_showImage = id == ID_BUTTON_IMAGE_TEXT;
        break;
    case ID_BUTTON_BEGIN_GROUP: {
        CKVTToolbarButton* prev = items.At(items.selected - 1);
        if (items.selected <= 0)
            return;
        if (prev && prev->IsSeparator())
            m_bar.RemoveButton(items.selected - 1);
        else
            m_bar.InsertSeparator(items.selected);
        break;
    }
    default:
        return;
    }
    m_bar.AdjustLayout();
    m_bar.update();
}
