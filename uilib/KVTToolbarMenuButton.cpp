#include "uilib/KVTToolbarMenuButton.h"

#include "platform/ui/Accel.h"
#include "platform/ui/Document.h"
#include "platform/ui/Menu.h"
#include "res/StringTable.h"
#include "res/text/StringIds.h"
#include "uilib/KVTDrawingData.h"
#include "uilib/KVTKeyNameFormatter.h"
#include "uilib/KVTMenuImages.h"
#include "uilib/KVTPopupMenu.h"
#include "uilib/KVTToolBar.h"
#include "uilib/KVTWorkspace.h"
#include "uilib/KVTFrameHooks.h"

#include <QApplication>
#include <QMdiSubWindow>
#include <QPainter>
#include <QStyle>

namespace {
constexpr int kMaxText = 1024;

bool IsMenuBar(const CKVTToolBar* bar)
{
    return bar && bar->inherits("CKVTMenuBar");
}

void Frame3D(QPainter& p, const QRect& r, const QColor& topLeft, const QColor& bottomRight)
{
    p.fillRect(QRect(r.left(), r.top(), r.width() - 1, 1), topLeft);
    p.fillRect(QRect(r.left(), r.top(), 1, r.height() - 1), topLeft);
    p.fillRect(QRect(r.right(), r.top(), 1, r.height()), bottomRight);
    p.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), bottomRight);
}

void DrawGlyphCentred(QPainter& p, const QRect& r, int glyph)
{
    const QSize g = CKVTMenuImages::GetImageSize();
    CKVTMenuImages::DrawMenuImage(
        p, glyph,
        QPoint(r.left() + (r.width() - g.width()) / 2, r.top() + (r.height() - g.height()) / 2));
}
} // namespace

int CaptionGlyph(uint32_t sc, bool disabled)
{
    switch (sc) {
    case ui::SC_MINIMIZE:
        return disabled ? 11 : 10;
    case ui::SC_RESTORE:
        return disabled ? 13 : 12;
    case ui::SC_CLOSE:
        return disabled ? 15 : 20;
    default:
        return -1;
    }
}

void DrawCaptionButton(QPainter& p, const QRect& rect, uint32_t sc, bool pressed, bool disabled)
{
    const CKVTDrawingData& dd = CKVTDrawingData::Instance();
    p.fillRect(rect, dd.Face());
    if (pressed)
        Frame3D(p, rect, dd.Shadow(), dd.Highlight());
    else {
        Frame3D(p, rect, dd.Highlight(), dd.Color(CKVTDrawingData::COLOR_3DDKSHADOW));
        Frame3D(p, rect.adjusted(1, 1, -1, -1), dd.Face(), dd.Shadow());
    }
    const int glyph = CaptionGlyph(sc, disabled);
    if (glyph >= 0)
        DrawGlyphCentred(p, rect.translated(pressed ? 1 : 0, pressed ? 1 : 0), glyph);
}

// --- CKVTToolbarMenuButton ---------------------------------------------------

CKVTToolbarMenuButton::CKVTToolbarMenuButton() = default;

CKVTToolbarMenuButton::CKVTToolbarMenuButton(uint32_t command, const ui::Menu* menu, int image,
                                             const QString& text, bool userImage)
    : CKVTToolbarButton(command, image, text, userImage)
{
    if (menu)
        CreateFromMenu(menu);
}

CKVTToolbarMenuButton::CKVTToolbarMenuButton(const CKVTToolbarMenuButton& src) : CKVTToolbarButton()
{
    CopyFrom(src);
}

CKVTToolbarMenuButton::~CKVTToolbarMenuButton()
{
    if (m_popup) {
        m_popup->SetParentButton(nullptr);
        m_popup->CloseLevel();
    }
}

void CKVTToolbarMenuButton::Serialize(sys::ObjectArchive& ar)
{
    CKVTToolbarButton::Serialize(ar);
    if (ar.IsStoring()) {
        ar.WriteCount(uint32_t(m_subItems.size()));
        for (const auto& sub : m_subItems)
            ar.WriteObject(sub.get());
        return;
    }
    std::vector<std::unique_ptr<CKVTToolbarMenuButton>> items;
    const uint32_t n = ar.ReadCount(2);
    for (uint32_t i = 0; i < n; ++i) {
        auto sub = ar.ReadObjectOf<CKVTToolbarMenuButton>();
        if (!sub)
            throw sys::ArchiveError("null menu item");
        items.push_back(std::move(sub));
    }
    m_subItems = std::move(items);
}

void CKVTToolbarMenuButton::CopyFrom(const CKVTToolbarButton& src)
{
    CKVTToolbarButton::CopyFrom(src);
    auto* m = dynamic_cast<const CKVTToolbarMenuButton*>(&src);
    if (!m || m == this)
        return;
    m_arrow = m->m_arrow;
    m_popupItem = m->m_popupItem;
    m_default = m->m_default;
    m_subItems.clear();
    for (const auto& sub : m->m_subItems) {
        auto copy = std::make_unique<CKVTToolbarMenuButton>();
        copy->CopyFrom(*sub);
        m_subItems.push_back(std::move(copy));
    }
}

void CKVTToolbarMenuButton::CreateFromMenu(const ui::Menu* menu)
{
    m_subItems.clear();
    if (!menu)
        return;
    for (int i = 0; i < menu->ItemCount(); ++i) {
        const ui::MenuItem* it = menu->Item(i);
        auto b = std::make_unique<CKVTToolbarMenuButton>();
        if (it->flags & ui::MF_SEPARATOR) {
            b->m_style = TBBS_SEPARATOR;
        } else {
            b->m_id = it->popup ? KVT_POPUP_ID : it->id;
            b->m_text = it->text.left(kMaxText);
            b->m_showText = true;
            b->m_showImage = false;
            b->SetImage(-1);
            if (it->popup)
                b->CreateFromMenu(it->popup.get());
            b->m_default = (it->flags & ui::MF_DEFAULT) != 0;
            if (it->flags & ui::MF_MENUBREAK)
                b->m_style |= TBBS_BREAK;
        }
        m_subItems.push_back(std::move(b));
    }
}

std::unique_ptr<ui::Menu> CKVTToolbarMenuButton::CreateMenu() const
{
    if (m_subItems.empty() && m_id != KVT_POPUP_ID)
        return nullptr;
    auto menu = std::make_unique<ui::Menu>();
    for (const auto& sub : m_subItems) {
        if (sub->m_id == 0 || sub->IsSeparator()) {
            menu->AppendSeparator();
        } else if (sub->m_id == KVT_POPUP_ID) {
            std::unique_ptr<ui::Menu> popup = sub->CreateMenu();
            if (!popup)
                return nullptr;
            menu->AppendPopup(sub->m_text, std::move(popup));
        } else {
            uint32_t flags = 0;
            if (sub->m_style & TBBS_BREAK)
                flags |= ui::MF_MENUBREAK;
            if (sub->m_default)
                flags |= ui::MF_DEFAULT;
            menu->AppendItem(sub->m_id, sub->m_text, flags);
        }
    }
    return menu;
}

CKVTPopupMenu* CKVTToolbarMenuButton::CreatePopupMenu()
{
    return new CKVTPopupMenu;
}

QSize CKVTToolbarMenuButton::ArrowSize()
{
    return QSize(CKVTToolbarShared::GetMenuImageSize().width() > 0
                     ? CKVTToolbarShared::GetMenuImageSize().width() / 2 + 3
                     : CKVTToolbarShared::GetDefaultImageSize().width() / 2 + 3,
                 CKVTMenuImages::GetImageSize().height());
}

void CKVTToolbarMenuButton::SetPopupMenu(CKVTPopupMenu* popup)
{
    m_popup = popup;
}

bool CKVTToolbarMenuButton::OpenPopupMenu(QWidget* parent)
{
    if (m_popup)
        return false;
    CKVTToolBar* bar = m_parentBar;
    if (!bar)
        return false;
    QPoint pos;
    if (m_popupItem) {
        const QRect win = bar->window()->frameGeometry();
        pos = QPoint(win.right() + 1, bar->mapToGlobal(m_rect.topLeft()).y() - 2);
    } else if (IsMenuBar(bar) && !bar->IsHorizontal()) {
        pos = bar->mapToGlobal(QPoint(m_rect.right() + 1, m_rect.top()));
    } else {
        pos = bar->mapToGlobal(QPoint(m_rect.left() - 1, m_rect.bottom() + 1));
    }
    std::unique_ptr<ui::Menu> menu = CreateMenu();
    if (!menu) {
        if (!IsEmptyMenuAllowed())
            return false;
        menu = std::make_unique<ui::Menu>();
    }
    CKVTPopupMenu* popup = CreatePopupMenu();
    if (!popup)
        return false;
    popup->SetParentButton(this);
    m_popup = popup;
    if (!popup->Create(parent ? parent : bar, pos.x(), pos.y(), menu.release())) {
        m_popup = nullptr;
        popup->SetParentButton(nullptr);
        popup->deleteLater();
        return false;
    }
    return true;
}

bool CKVTToolbarMenuButton::OnClick(CKVTToolBar* bar, bool delay)
{
    m_clickedArrow = false;
    if (!bar)
        return false;
    if (!bar->IsPopupMenuBar() && m_id != 0 && m_id != KVT_POPUP_ID && m_arrow) {
        const int arrow = ArrowSize().width() + 2;
        const QPoint pt = bar->LastPressPos();
        const bool inArrow =
            m_horz ? pt.x() >= m_rect.right() + 1 - arrow : pt.y() >= m_rect.bottom() + 1 - arrow;
        if (!inArrow)
            return false;
        m_clickedArrow = true;
    }
    if (m_popup) {
        m_popup->CloseLevel();
        bar->Items().droppedDown = -1;
    } else if (bar->IsPopupMenuBar() && delay && !CKVTToolbarShared::IsCustomizeMode()) {
        static_cast<CKVTPopupMenuBar*>(bar)->StartSubmenuTimer(this);
    } else {
        if (CKVTToolbarButton* other = bar->GetButton(bar->Items().droppedDown);
            other && other != this)
            other->OnCancelMode();
        const int index = bar->Items().IndexOf(this);
        if (OpenPopupMenu())
            bar->Items().droppedDown = index;
    }
    bar->InvalidateButton(bar->Items().IndexOf(this));
    return true;
}

void CKVTToolbarMenuButton::OnParentChanged(CKVTToolBar* bar)
{
    if (IsMenuBar(bar)) {
        m_arrow = false;
        m_showText = true;
        m_showImage = false;
    } else if (bar) {
        m_arrow = m_id == 0 || !m_subItems.empty();
        if (bar->IsPopupMenuBar()) {
            m_popupItem = true;
            m_showText = true;
            m_showImage = false;
        }
    }
    m_parentBar = bar;
}

void CKVTToolbarMenuButton::OnCancelMode()
{
    if (m_popup)
        m_popup->CloseLevel();
}

bool CKVTToolbarMenuButton::OnBeforeDrag()
{
    OnCancelMode();
    return true;
}

bool CKVTToolbarMenuButton::OnContextHelp(CKVTToolBar* bar)
{
    return OnClick(bar, false);
}

void CKVTToolbarMenuButton::NotifyTopLevelMenu() {}

void CKVTToolbarMenuButton::SetSubItemsFrom(const CKVTToolBar* bar)
{
    m_subItems.clear();
    for (int i = 0; i < bar->Items().Count(); ++i) {
        const CKVTToolbarButton* b = bar->GetButton(i);
        if (dynamic_cast<const CKVTShowAllButton*>(b) || !b->CanBeStored())
            continue;
        auto copy = std::make_unique<CKVTToolbarMenuButton>();
        copy->CopyFrom(*b);
        m_subItems.push_back(std::move(copy));
    }
}

QSize CKVTToolbarMenuButton::CalculateSize(QSize def, bool horz)
{
    m_horz = horz;
    if (!m_popupItem) {
        QSize size = CKVTToolbarButton::CalculateSize(def, horz);
        if (m_arrow) {
            if (horz)
                size.rwidth() += ArrowSize().width() + 2;
            else
                size.rheight() += ArrowSize().width() + 2;
        }
        return size;
    }
    if (IsSeparator())
        return QSize(def.width(), 8);
    // A popup item: image column, text, shortcut, submenu arrow.
    m_shortcutText.clear();
    QString text = m_text;
    if (m_id != 0 && m_id != KVT_POPUP_ID && !ui::IsSystemCommand(m_id))
        if (CKVTKeyboardManager* km = CKVTKeyboardManager::Instance()) {
            QString key;
            if (km->FindDefaultAccelerator(m_id, key,
                                           m_parentBar ? m_parentBar->window() : nullptr)) {
                const int tab = text.indexOf(QLatin1Char('\t'));
                m_text = (tab >= 0 ? text.left(tab) : text) + QLatin1Char('\t') + key;
            }
        }
    const CKVTDrawingData& dd = CKVTDrawingData::Instance();
    const QFontMetrics fm(m_default ? dd.BoldFont() : dd.HorzFont());
    const QString label = StripMnemonic(m_text.section(QLatin1Char('\t'), 0, 0));
    const QString keys = m_text.section(QLatin1Char('\t'), 1);
    int w = CKVTToolbarShared::GetDefaultButtonSize().width() + 6 + fm.horizontalAdvance(label) + 12;
    if (!keys.isEmpty())
        w += fm.horizontalAdvance(keys) + 16;
    w += ArrowSize().width() + 4;
    return QSize(w, def.height());
}

void CKVTToolbarMenuButton::Draw(QPainter& p, const QRect& rect, CKVTToolbarImageList* images,
                                 bool horz, bool customizeMode, bool highlighted, bool drawBorder,
                                 bool grayDisabled)
{
    const CKVTDrawingData& dd = CKVTDrawingData::Instance();
    if (m_popupItem) {
        const bool disabled = !customizeMode && (m_style & TBBS_DISABLED);
        const bool checked = (m_style & TBBS_CHECKED) != 0;
        const int column = CKVTToolbarShared::GetDefaultButtonSize().width() + 6;
        const QRect imageRect(rect.left(), rect.top(), column, rect.height());
        if (CKVTToolbarShared::Options().recentlyUsedMenus && !customizeMode &&
            CKVTToolbarShared::IsCommandRarelyUsed(m_id))
            p.fillRect(rect, dd.Color(CKVTDrawingData::COLOR_3DLIGHT));
        if (highlighted)
            p.fillRect(rect.adjusted(column, 0, 0, 0), dd.Color(CKVTDrawingData::COLOR_HIGHLIGHT));
        // The image column.
        const int glyph = ui::IsSystemCommand(m_id) ? CaptionGlyph(m_id, disabled) : -1;
        KvtFrameHooks* hooks = KvtFrameHooks::FromWidget(m_parentBar);
        if (glyph >= 0) {
            DrawGlyphCentred(p, imageRect, glyph);
        } else if (hooks && hooks->OnDrawMenuImage(p, this, imageRect)) {
            // The frame drew the image.
        } else if (images && HasImage()) {
            const QSize isz = images->GetDrawSize();
            const int ix = imageRect.left() + (imageRect.width() - isz.width()) / 2;
            const int iy = imageRect.top() + (imageRect.height() - isz.height()) / 2;
            if (checked) {
                // Framed as a pressed button: the sunken frame around the
                // checked dither, so that it shows beside unchecked items.
                const QRect box(ix - 2, iy - 2, isz.width() + 4, isz.height() + 4);
                p.fillRect(box.adjusted(1, 1, -1, -1), dd.Face());
                p.fillRect(box.adjusted(1, 1, -1, -1), QBrush(dd.Highlight(), Qt::Dense4Pattern));
                Frame3D(p, box, dd.Shadow(), dd.Highlight());
            }
            uint32_t state = CKVTToolbarImageList::STATE_NORMAL;
            if (disabled && grayDisabled)
                state = CKVTToolbarImageList::STATE_DISABLED;
            images->Draw(p, ix, iy, GetImage(), state);
        } else if (checked) {
            DrawGlyphCentred(p, imageRect,
                             disabled ? CKVTMenuImages::IdCheckDisabled : CKVTMenuImages::IdCheck);
        }
        // The text and its shortcut part.
        const QRect textRect = rect.adjusted(column + 6, 0, -(ArrowSize().width() + 6), 0);
        const QString label = m_text.section(QLatin1Char('\t'), 0, 0);
        const QString keys = m_text.section(QLatin1Char('\t'), 1);
        p.save();
        p.setFont(m_default ? dd.BoldFont() : dd.HorzFont());
        const int flags = Qt::AlignVCenter | Qt::TextShowMnemonic;
        auto drawTexts = [&](const QRect& r, const QColor& c) {
            p.setPen(c);
            p.drawText(r, flags | Qt::AlignLeft, label);
            if (!keys.isEmpty())
                p.drawText(r, flags | Qt::AlignRight, keys);
        };
        if (disabled) {
            if (!highlighted)
                drawTexts(textRect.translated(1, 1), dd.Highlight());
            drawTexts(textRect, dd.Shadow());
        } else {
            drawTexts(textRect, highlighted ? dd.Color(CKVTDrawingData::COLOR_HIGHLIGHTTEXT)
                                            : dd.Color(CKVTDrawingData::COLOR_MENUTEXT));
        }
        p.restore();
        if (m_id == KVT_POPUP_ID || !m_subItems.empty())
            DrawGlyphCentred(p,
                             QRect(rect.right() - ArrowSize().width() - 2, rect.top(),
                                   ArrowSize().width(), rect.height()),
                             disabled ? CKVTMenuImages::IdArrowRightDisabled
                                      : CKVTMenuImages::IdArrowRight);
        return;
    }
    // A button on a bar: the main part and the arrow part.
    const bool open = m_popup != nullptr;
    const bool checked = (m_style & (TBBS_CHECKED | TBBS_INDETERMINATE)) != 0;
    p.fillRect(rect, dd.Face());
    if ((m_style & (TBBS_CHECKED | TBBS_INDETERMINATE)) && !highlighted && !customizeMode)
        p.fillRect(rect.adjusted(2, 2, -2, -2), QBrush(dd.Highlight(), Qt::Dense4Pattern));
    QRect main = rect, arrow;
    const int aw = ArrowSize().width() + 2;
    if (m_arrow) {
        if (horz) {
            arrow = QRect(rect.right() + 1 - aw, rect.top(), aw, rect.height());
            main.setRight(arrow.left() - 1);
            arrow.adjust(-1, 0, 0, 0);
        } else {
            arrow = QRect(rect.left(), rect.bottom() + 1 - aw, rect.width(), aw);
            main.setBottom(arrow.top() - 1);
            arrow.adjust(0, -1, 0, 0);
        }
    }
    const uint32_t style = m_style;
    if (m_clickedArrow && m_id != 0)
        m_style &= ~TBBS_PRESSED;
    else if (open)
        m_style |= TBBS_PRESSED;
    const bool menuBarItem = IsMenuBar(m_parentBar);
    if (menuBarItem && (open || highlighted) && !customizeMode) {
        // A menu-bar item: raised while hot, sunken while open.
        if (open)
            Frame3D(p, main, dd.Shadow(), dd.Highlight());
        else
            Frame3D(p, main, dd.Highlight(), dd.Shadow());
    }
    CKVTToolbarButton::Draw(p, main, images, horz, customizeMode, highlighted, drawBorder,
                            grayDisabled);
    m_style = style;
    if (!m_arrow)
        return;
    const bool pressed = (m_style & TBBS_PRESSED) || checked || open;
    if (pressed)
        arrow.translate(1, 1);
    if (m_id != 0 && (highlighted || pressed)) {
        if (horz) {
            p.fillRect(QRect(arrow.left(), rect.top() + 2, 1, rect.height() - 4), dd.Shadow());
            p.fillRect(QRect(arrow.left() + 1, rect.top() + 2, 1, rect.height() - 4),
                       dd.Highlight());
        } else {
            p.fillRect(QRect(rect.left() + 2, arrow.top(), rect.width() - 4, 1), dd.Shadow());
            p.fillRect(QRect(rect.left() + 2, arrow.top() + 1, rect.width() - 4, 1),
                       dd.Highlight());
        }
    }
    const bool disabled = customizeMode ? !IsEditable() : (m_style & TBBS_DISABLED) != 0;
    const int glyph =
        horz ? (disabled ? CKVTMenuImages::IdArrowDownDisabled : CKVTMenuImages::IdArrowDown)
             : (disabled ? CKVTMenuImages::IdArrowRightDisabled : CKVTMenuImages::IdArrowRight);
    DrawGlyphCentred(p, arrow, glyph);
}

// --- CCustomizeButton --------------------------------------------------------

CCustomizeButton::CCustomizeButton()
{
    m_text = LoadResString(IDS_MORE_BUTTONS);
}

CCustomizeButton::CCustomizeButton(uint32_t customizeId, const QString& customizeText)
    : m_customizeId(customizeId), m_customizeText(customizeText)
{
    m_text = LoadResString(IDS_MORE_BUTTONS);
}

void CCustomizeButton::CopyFrom(const CKVTToolbarButton& src)
{
    CKVTToolbarMenuButton::CopyFrom(src);
    if (auto* c = dynamic_cast<const CCustomizeButton*>(&src)) {
        m_customizeId = c->m_customizeId;
        m_customizeText = c->m_customizeText;
    }
}

void CCustomizeButton::OnParentChanged(CKVTToolBar* bar)
{
    m_parentBar = bar;
    m_toolbar = bar;
    m_arrow = false;
    m_showText = false;
}

QSize CCustomizeButton::CalculateSize(QSize def, bool horz)
{
    m_horz = horz;
    if (m_toolbar && m_toolbar->IsFloating())
        return QSize(0, 0);
    const int along = CKVTMenuImages::GetImageSize().width() + 4;
    return horz ? QSize(along, def.height()) : QSize(def.width(), along);
}

void CCustomizeButton::Draw(QPainter& p, const QRect& rect, CKVTToolbarImageList*, bool horz,
                            bool customizeMode, bool highlighted, bool, bool)
{
    const CKVTDrawingData& dd = CKVTDrawingData::Instance();
    p.fillRect(rect, dd.Face());
    const bool open = m_popup != nullptr;
    if (!customizeMode && (open || highlighted)) {
        if (open)
            Frame3D(p, rect, dd.Shadow(), dd.Highlight());
        else
            Frame3D(p, rect, dd.Highlight(), dd.Shadow());
    }
    DrawGlyphCentred(p, rect.translated(open ? 1 : 0, open ? 1 : 0),
                     horz ? CKVTMenuImages::IdMoreButtons : CKVTMenuImages::IdArrowShowAll);
}

std::unique_ptr<ui::Menu> CCustomizeButton::CreateMenu() const
{
    auto menu = std::make_unique<ui::Menu>();
    bool lastSeparator = true;
    for (CKVTToolbarButton* b : m_hiddenButtons) {
        if (b->IsSeparator()) {
            if (!lastSeparator)
                menu->AppendSeparator();
            lastSeparator = true;
            continue;
        }
        lastSeparator = false;
        if (auto* mb = dynamic_cast<CKVTToolbarMenuButton*>(b); mb && !mb->SubItems().empty()) {
            if (std::unique_ptr<ui::Menu> sub = mb->CreateMenu())
                menu->AppendPopup(mb->m_text, std::move(sub));
            continue;
        }
        QString text = b->m_text;
        if (text.isEmpty() || b->GetHwnd()) {
            const QString s = LoadResString(b->m_id);
            const int nl = s.indexOf(QLatin1Char('\n'));
            text = nl >= 0 ? s.mid(nl + 1) : QString();
        }
        menu->AppendItem(b->m_id, text);
    }
    // No separator last.
    if (menu->ItemCount() > 0 && (menu->Item(menu->ItemCount() - 1)->flags & ui::MF_SEPARATOR))
        menu->RemoveItem(menu->ItemCount() - 1);
    if (m_customizeId) {
        if (menu->ItemCount() > 0)
            menu->AppendSeparator();
        menu->AppendItem(m_customizeId, m_customizeText);
    }
    return menu;
}

CKVTPopupMenu* CCustomizeButton::CreatePopupMenu()
{
    return new CKVTPopupMenu;
}

// --- CKVTShowAllButton -------------------------------------------------------

CKVTShowAllButton::CKVTShowAllButton()
{
    m_id = 0;
    m_showText = false;
}

QSize CKVTShowAllButton::CalculateSize(QSize def, bool)
{
    return QSize(def.width(), 15);
}

void CKVTShowAllButton::Draw(QPainter& p, const QRect& rect, CKVTToolbarImageList*, bool, bool,
                             bool highlighted, bool, bool)
{
    const CKVTDrawingData& dd = CKVTDrawingData::Instance();
    if (highlighted)
        Frame3D(p, rect.adjusted(rect.width() / 2 - 12, 1, -(rect.width() / 2 - 12), -1),
                dd.Highlight(), dd.Shadow());
    DrawGlyphCentred(p, rect, CKVTMenuImages::IdArrowShowAll);
}

bool CKVTShowAllButton::OnClick(CKVTToolBar* bar, bool)
{
    auto* pb = qobject_cast<CKVTPopupMenuBar*>(bar);
    if (CKVTPopupMenu* popup = pb ? pb->GetPopup() : nullptr) {
        QMetaObject::invokeMethod(
            popup,
            [p = QPointer<CKVTPopupMenu>(popup)] {
                if (p)
                    p->ShowAllCommands();
            },
            Qt::QueuedConnection);
        return true;
    }
    return false;
}

bool CKVTShowAllButton::GetCustomToolTipText(QWidget*, QString& text)
{
    // Ctrl+Down expands the popup.
    text = LoadResString(4528).replace(QStringLiteral("%s"),
                                       CKVTKeyNameFormatter::Format(ui::FVIRTKEY | ui::FCONTROL, 0x28));
    return true;
}

// --- CKVTToolbarSystemMenuButton ---------------------------------------------

CKVTToolbarSystemMenuButton::CKVTToolbarSystemMenuButton(QMdiSubWindow* child) : m_child(child)
{
    m_id = 0;
    m_showText = false;
}

QSize CKVTToolbarSystemMenuButton::CalculateSize(QSize def, bool horz)
{
    m_horz = horz;
    return horz ? QSize(16, def.height()) : QSize(def.width(), 16);
}

void CKVTToolbarSystemMenuButton::Draw(QPainter& p, const QRect& rect, CKVTToolbarImageList*, bool,
                                       bool, bool, bool, bool)
{
    p.fillRect(rect, CKVTDrawingData::Instance().Face());
    if (!m_child)
        return;
    QIcon icon = m_child->windowIcon();
    if (icon.isNull())
        icon = QApplication::windowIcon();
    if (icon.isNull())
        icon = m_child->style()->standardIcon(QStyle::SP_TitleBarMenuButton, nullptr, m_child);
    const QPixmap pm = icon.pixmap(QSize(16, 16));
    p.drawPixmap(rect.left() + (rect.width() - 16) / 2, rect.top() + (rect.height() - 16) / 2, pm);
}

void CKVTToolbarSystemMenuButton::OnParentChanged(CKVTToolBar* bar)
{
    m_parentBar = bar;
    m_arrow = false;
    m_showText = false;
    m_showImage = false;
}

std::unique_ptr<ui::Menu> CKVTToolbarSystemMenuButton::CreateMenu() const
{
    if (auto* child = qobject_cast<ui::ChildFrame*>(m_child.data()))
        return child->GetSystemMenu();
    return nullptr;
}

void CKVTToolbarSystemMenuButton::OnDblClick(CKVTToolBar*)
{
    OnCancelMode();
    if (auto* child = qobject_cast<ui::ChildFrame*>(m_child.data()))
        QMetaObject::invokeMethod(
            child,
            [c = QPointer<ui::ChildFrame>(child)] {
                if (c)
                    c->SysCommand(ui::SC_CLOSE);
            },
            Qt::QueuedConnection);
}

// --- CKVTToolbarMenuButtonsButton --------------------------------------------

CKVTToolbarMenuButtonsButton::CKVTToolbarMenuButtonsButton(uint32_t sysCommand)
{
    m_id = sysCommand;
    m_showText = false;
    m_showImage = false;
}

QSize CKVTToolbarMenuButtonsButton::CalculateSize(QSize def, bool horz)
{
    const QSize c = CaptionButtonSize();
    return horz ? QSize(c.width(), def.height()) : QSize(def.width(), c.height());
}

void CKVTToolbarMenuButtonsButton::Draw(QPainter& p, const QRect& rect, CKVTToolbarImageList*, bool,
                                        bool, bool, bool, bool)
{
    const QSize c = CaptionButtonSize();
    const QRect r(rect.left() + (rect.width() - c.width()) / 2,
                  rect.top() + (rect.height() - c.height()) / 2, c.width(), c.height());
    DrawCaptionButton(p, r, m_id, (m_style & TBBS_PRESSED) != 0, (m_style & TBBS_DISABLED) != 0);
}
