#include "uilib/KVTToolBar.h"

#include "platform/ui/App.h"
#include "platform/ui/Command.h"
#include "platform/ui/ToolbarResource.h"
#include "res/StringTable.h"
#include "uilib/KVTArchiveClasses.h"
#include "uilib/KVTButtonDragController.h"
#include "uilib/KVTCommandUsage.h"
#include "uilib/KVTDrawingData.h"
#include "uilib/KVTFrameHooks.h"
#include "uilib/KVTPopupMenu.h"
#include "uilib/KVTToolbarMenuButton.h"
#include "uilib/KVTWorkspace.h"

#include <QContextMenuEvent>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QToolTip>

#include <algorithm>
#include <cstdio>

using namespace ui;

// The bar's own command-update object.
class CKVTToolBar::ToolCmdUI : public CmdUI
{
public:
    ToolCmdUI(CKVTToolBar* bar, int index)
        : CmdUI(bar->m_items.ItemID(index)), m_bar(bar), m_index(index)
    {
    }
    void Enable(bool on) override
    {
        CmdUI::Enable(on);
        const uint32_t style = m_bar->m_items.Style(m_index);
        m_bar->SetButtonStyle(m_index, on ? style & ~TBBS_DISABLED : style | TBBS_DISABLED);
    }
    void SetCheck(int check) override
    {
        CmdUI::SetCheck(check);
        uint32_t style = m_bar->m_items.Style(m_index) & ~(TBBS_CHECKED | TBBS_INDETERMINATE);
        if (check == 1)
            style |= TBBS_CHECKED;
        else if (check == 2)
            style |= TBBS_INDETERMINATE;
        m_bar->SetButtonStyle(m_index, style | TBBS_CHECKBOX);
    }
    void SetText(const QString& text) override
    {
        CmdUI::SetText(text);
        if (m_bar->m_items.Text(m_index) != text) {
            m_bar->m_items.SetText(m_index, text);
            m_bar->AdjustLayout();
        }
    }

private:
    CKVTToolBar* m_bar;
    int m_index;
};

CKVTToolBar::CKVTToolBar(QWidget* parent) : ControlBar(parent)
{
    RegisterKVTArchiveClasses();
    setFocusPolicy(Qt::NoFocus);
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent, false);
}

CKVTToolBar::~CKVTToolBar()
{
    // A drag from this bar ends while the bar is still whole.
    if (CKVTButtonDragController::Instance().Source() == this)
        CKVTButtonDragController::Instance().Cancel();
    CKVTToolbarShared::RemoveBar(this);
}

bool CKVTToolBar::Create(QWidget* parent, uint32_t style, uint32_t id)
{
    return CreateEx(parent, 0x800, style, QMargins(1, 1, 1, 1), id);
}

bool CKVTToolBar::CreateEx(QWidget* parent, uint32_t ctrlStyle, uint32_t style, const QMargins& borders, uint32_t id)
{
    m_ctrlStyle = ctrlStyle;
    setAutoFillBackground(false);
    SetBorders(borders.left(), borders.top(), borders.right(), borders.bottom());
    CKVTDrawingData::Instance(); // the shared cursors and fonts
    CKVTToolbarShared::AddBar(this);
    m_customizer.DropTarget().Register(this);
    setAcceptDrops(true);
    return ControlBar::Create(parent, style, id);
}

// --- the button list ---------------------------------------------------------

int CKVTToolBar::InsertButton(std::unique_ptr<CKVTToolbarButton> button, int index)
{
    if (!button || !CKVTToolbarShared::IsCommandPermitted(button->m_id) || index < -1 ||
        index > m_items.Count())
        return -1;
    if (index == -1 || index == m_items.Count())
        index = m_items.Customize() ? m_items.Count() - 1 : m_items.Count();
    CKVTToolbarButton* b = button.get();
    m_items.Insert(std::move(button), index);
    b->OnParentChanged(this);
    return index;
}

int CKVTToolBar::InsertSeparator(int index)
{
    auto sep = std::make_unique<CKVTToolbarButton>();
    sep->m_style = TBBS_SEPARATOR;
    return InsertButton(std::move(sep), index);
}

void CKVTToolBar::RemoveAllButtons()
{
    // The customize button stays, last.
    CKVTToolbarItems::List old = m_items.TakeAll();
    for (auto& b : old)
        if (b)
            b->OnCancelMode();
}

void CKVTToolBar::InvalidateButton(int index)
{
    if (GetButton(index))
        update(GetInvalidateItemRect(index).adjusted(-3, -3, 3, 3));
}

QRect CKVTToolBar::GetItemRect(int index) const
{
    const CKVTToolbarButton* b = GetButton(index);
    return b ? b->GetButtonRect() : QRect();
}

void CKVTToolBar::SetButtonStyle(int index, uint32_t style)
{
    CKVTToolbarButton* b = GetButton(index);
    if (!b || b->m_style == style)
        return;
    b->m_style = style;
    InvalidateButton(index);
}

void CKVTToolBar::SetButtons(const uint32_t* ids, int count)
{
    RemoveAllButtons();
    int image = m_firstImage;
    for (int i = 0; i < count; ++i) {
        if (!ids || ids[i] == 0) {
            InsertSeparator();
            continue;
        }
        InsertButton(std::make_unique<CKVTToolbarButton>(ids[i], image++, QString(), false, m_locked));
    }
    if (IsCreated()) {
        OnReset();
        if (KvtFrameHooks* hooks = KvtFrameHooks::FromWidget(GetOwner() ? GetOwner() : parentWidget()))
            hooks->OnToolbarReset(this, m_resourceId);
    }
}

bool CKVTToolBar::LoadToolBar(uint32_t resourceId, uint32_t coldId, uint32_t menuId, uint32_t disabledId,
                              bool locked)
{
    QString error;
    auto res = ToolbarResource::Load(resourceId, &error);
    if (!res) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return false;
    }
    m_locked = locked;
    const QSize image(res->width, res->height);
    const QSize button = image + QSize(6, 6);
    if (locked)
        m_layout.SetOwnSizes(button, image);
    else
        CKVTToolbarShared::SetDefaultSizes(button, image);
    auto list = [this](ImageKind k) { return m_locked ? &m_ownImages[k] : CKVTToolbarShared::GetSharedImages(k); };
    CKVTToolbarImageList* normal = list(IMAGES_NORMAL);
    if (normal->FirstIndexOf(resourceId) < 0) {
        if (!normal->HasImages())
            normal->SetImageSize(image);
        if (!normal->Load(resourceId))
            return false;
        const std::pair<ImageKind, uint32_t> extra[] = {
            {IMAGES_COLD, coldId}, {IMAGES_MENU, menuId}, {IMAGES_DISABLED, disabledId}};
        for (const auto& [kind, id] : extra)
            if (id) {
                list(kind)->SetImageSize(image);
                list(kind)->Load(id);
            }
    }
    m_firstImage = normal->FirstIndexOf(resourceId);
    if (!m_locked) {
        int index = m_firstImage;
        for (uint32_t id : res->ids)
            if (id)
                CKVTCommandImageMap::Instance().SetImage(id, index++, false);
    }
    m_resourceId = resourceId;
    SetButtons(res->ids.data(), int(res->ids.size()));
    if (IsCreated())
        AdjustLayout();
    return true;
}

bool CKVTToolBar::RestoreOriginalState()
{
    if (!m_resourceId)
        return false;
    const bool ok = LoadToolBar(m_resourceId, 0, 0, 0, m_locked);
    update();
    return ok;
}

bool CKVTToolBar::ReplaceButton(uint32_t command, const CKVTToolbarButton& button)
{
    const int index = m_items.CommandToIndex(command);
    if (index < 0)
        return false;
    RemoveButton(index);
    return InsertButton(button.Clone(), std::min(index, m_items.Count())) >= 0;
}

bool CKVTToolBar::SendMenuCommand(CKVTToolbarButton* button)
{
    if (!button || button->m_id == 0 || button->m_id == 0xFFFFFFFF)
        return false;
    CKVTToolbarShared::PlaySystemSound("MenuCommand");
    CKVTCommandUsage::Instance().AddCommand(button->m_id);
    PostCommand(button->m_id);
    return true;
}

bool CKVTToolBar::SetDefaultButtonText(CKVTToolbarButton* button)
{
    if (!button || button->m_id == 0 || button->m_id == 0xFFFFFFFF)
        return false;
    const QString s = LoadResString(button->m_id);
    const int nl = s.indexOf(QLatin1Char('\n'));
    if (nl < 0 || nl + 1 >= s.size())
        return false;
    button->m_text = s.mid(nl + 1).trimmed();
    return true;
}

void CKVTToolBar::SetTextLabels(bool on)
{
    m_textLabels = on;
    if (IsCreated())
        AdjustLayout();
}

void CKVTToolBar::resizeEvent(QResizeEvent* e)
{
    ControlBar::resizeEvent(e);
    RepositionButtons();
}

// --- state of the hot and pressed buttons and commands -----------------------

void CKVTToolBar::SetHotButton(int index)
{
    if (index == m_items.hot)
        return;
    if (index < 0 || index >= m_items.Count()) {
        // No button: in customisation mode (not during an Alt-drag) an open popup closes.
        if (CKVTToolbarShared::IsCustomizeMode() && !CKVTToolbarShared::IsTempCustomizeMode())
            if (CKVTToolbarButton* open = GetButton(m_items.droppedDown)) {
                open->OnCancelMode();
                m_items.droppedDown = -1;
            }
        index = -1;
    } else {
        CKVTToolbarButton* dropped = GetButton(m_items.droppedDown);
        const bool isDropped = dropped && dropped->IsDroppedDown();
        if (isDropped || CKVTToolbarShared::IsCustomizeMode()) {
            CKVTToolbarButton* b = GetButton(index);
            if (index != m_items.droppedDown) {
                if (dropped)
                    dropped->OnCancelMode();
                m_items.droppedDown = -1;
                auto* menu = dynamic_cast<CKVTToolbarMenuButton*>(b);
                const bool isSystem = dynamic_cast<CKVTToolbarSystemMenuButton*>(b) != nullptr;
                const bool opens = menu && (!IsPopupMenuBar() || menu->m_id == KVT_POPUP_ID || !menu->SubItems().empty());
                if (opens && !(CKVTToolbarShared::IsCustomizeMode() && isSystem))
                    menu->OnClick(this, true);
            } else if (CKVTToolbarShared::IsCustomizeMode() && dropped) {
                dropped->OnCancelMode();
                m_items.droppedDown = -1;
            }
        }
        if (CKVTToolbarShared::IsCustomizeMode() && !CKVTToolbarShared::IsTempCustomizeMode() && !CKVTButtonDragController::Instance().IsDragging()) {
            CKVTToolbarButton* b = GetButton(index);
            if (b && !b->IsSeparator() && m_items.selected != index) {
                InvalidateButton(m_items.selected);
                m_items.selected = index;
            }
        }
    }
    const int old = m_items.hot;
    m_items.hot = index;
    InvalidateButton(old);
    InvalidateButton(index);
    ShowCommandMessage(index >= 0 ? m_items.ItemID(index) : 0xFFFFFFFF);
}

void CKVTToolBar::SetHotIndex(int index)
{
    if (index == m_items.hot)
        return;
    const int old = m_items.hot;
    m_items.hot = index;
    InvalidateButton(old);
    InvalidateButton(index);
    ShowCommandMessage(index >= 0 ? m_items.ItemID(index) : 0xFFFFFFFF);
}

void CKVTToolBar::EnableCustomizeButton(bool on, uint32_t customizeId, const QString& text)
{
    m_items.SetCustomize(nullptr);
    if (on) {
        m_items.SetCustomize(std::make_unique<CCustomizeButton>(customizeId, text));
        m_items.Customize()->OnParentChanged(this);
    }
    if (IsCreated())
        AdjustLayout();
}

namespace {
// The previous or next menu button of a bar from index, wrapping; -1 for none.
int NeighbourMenu(const CKVTToolBar* bar, int index, int step)
{
    const int n = bar->Items().Count();
    for (int k = 0, i = index; k < n; ++k) {
        i = (i + step + n) % n;
        if (dynamic_cast<CKVTToolbarMenuButton*>(bar->GetButton(i)) && !bar->GetButton(i)->IsSeparator() &&
            !dynamic_cast<CCustomizeButton*>(bar->GetButton(i)))
            return i;
    }
    return -1;
}

bool DropDownNeighbour(CKVTToolBar* bar, int step)
{
    const int open = bar->Items().droppedDown;
    auto* current = dynamic_cast<CKVTToolbarMenuButton*>(bar->GetButton(open));
    if (!current || !current->IsDroppedDown())
        return false;
    const int next = NeighbourMenu(bar, open, step);
    if (next < 0)
        return false;
    const uint32_t anim = CKVTToolbarShared::Options().menuAnimation;
    CKVTToolbarShared::Options().menuAnimation = 0;
    current->OnCancelMode();
    bar->Items().droppedDown = -1;
    bar->SetHotButton(-1);
    auto* b = static_cast<CKVTToolbarMenuButton*>(bar->GetButton(next));
    if (b->OpenPopupMenu())
        bar->Items().droppedDown = next;
    CKVTToolbarShared::Options().menuAnimation = anim;
    if (CKVTPopupMenu* popup = b->GetPopupMenu())
        popup->GetMenuBar()->HotFirst();
    bar->InvalidateButton(next);
    return true;
}
} // namespace

bool CKVTToolBar::DropDownPrevMenu() { return DropDownNeighbour(this, -1); }
bool CKVTToolBar::DropDownNextMenu() { return DropDownNeighbour(this, 1); }

void CKVTToolBar::OnCancelMode()
{
    if (m_customizer.IsResizing())
        m_customizer.EndResize(false, QPoint());
    if (CKVTToolbarButton* b = GetButton(m_items.pressed))
        SetButtonStyle(m_items.pressed, b->m_style & ~TBBS_PRESSED);
    m_items.pressed = -1;
    SetHotButton(-1);
    for (auto& b : m_items)
        b->OnCancelMode();
    m_items.droppedDown = -1;
    update();
}

void CKVTToolBar::leaveEvent(QEvent* e)
{
    ControlBar::leaveEvent(e);
    if (CKVTToolbarShared::IsMouseHook())
        return;
    if (!CKVTToolbarShared::IsCustomizeMode())
        if (CKVTToolbarButton* d = GetButton(m_items.droppedDown); d && d->IsDroppedDown())
            return;
    if (m_items.pressed >= 0)
        return;
    if (m_items.hot >= 0 && !hasFocus()) {
        SetHotButton(-1);
        ShowCommandMessage(0xFFFFFFFF);
    } else if (m_items.hot < 0) {
        ShowCommandMessage(0xFFFFFFFF);
    }
}

void CKVTToolBar::TrackMouse(QPoint point)
{
    int index = HitTest(point);
    if (index >= 0 && (m_items.Style(index) & TBBS_DISABLED) && !IsMenuMode())
        index = -1;
    SetHotButton(index);
}

bool CKVTToolBar::OnToolHitTest(QPoint point, QString& text, QRect& rect)
{
    if (!CKVTToolbarShared::Options().tooltips || !(GetBarStyle() & CBRS_TOOLTIPS))
        return false;
    const int index = HitTest(point);
    CKVTToolbarButton* b = GetButton(index);
    if (!b)
        return false;
    if (b->GetCustomToolTipText(this, text)) {
        rect = b->m_rect;
        return !text.isEmpty();
    }
    if (KvtFrameHooks* hooks = KvtFrameHooks::FromWidget(GetOwner() ? GetOwner() : this))
        if (hooks->OnGetButtonToolTipText(b, text)) {
            rect = b->m_rect;
            return !text.isEmpty();
        }
    if (b->m_id == 0 || b->m_id == KVT_POPUP_ID || (b->m_userImage && !b->m_text.isEmpty())) {
        text = StripMnemonic(b->m_text);
    } else {
        const QString s = LoadResString(b->m_id).left(256);
        text = s.section(QLatin1Char('\n'), 1, 1);
    }
    if (text.isEmpty())
        return false;
    if (CKVTToolbarShared::Options().shortcutKeys && b->m_id != 0 && b->m_id != KVT_POPUP_ID)
        if (CKVTKeyboardManager* km = CKVTKeyboardManager::Instance()) {
            QString key;
            if (km->FindDefaultAccelerator(b->m_id, key, window()))
                text += QStringLiteral(" (") + key + QLatin1Char(')');
        }
    rect = b->m_rect;
    return true;
}

bool CKVTToolBar::event(QEvent* e)
{
    switch (e->type()) {
    case QEvent::DragEnter: // taken, so that the frame never sees it
        e->accept();
        return true;
    case QEvent::DragMove: // no drop effect
    case QEvent::Drop:
        e->ignore();
        return true;
    default:
        break;
    }
    if (m_customizer.IsResizing() && (e->type() == QEvent::KeyPress || e->type() == QEvent::ShortcutOverride)) {
        if (static_cast<QKeyEvent*>(e)->key() == Qt::Key_Escape && e->type() == QEvent::KeyPress)
            m_customizer.EndResize(false, QPoint());
        e->accept();
        return true;
    }
    if (e->type() == QEvent::ToolTip) {
        auto* he = static_cast<QHelpEvent*>(e);
        QString text;
        QRect r;
        if (OnToolHitTest(he->pos(), text, r))
            QToolTip::showText(he->globalPos(), text, this, r);
        else
            QToolTip::hideText();
        return true;
    }
    return ControlBar::event(e);
}

void CKVTToolBar::contextMenuEvent(QContextMenuEvent* e)
{
    m_customizer.OnContextMenu(e->reason() == QContextMenuEvent::Keyboard ? QPoint(-1, -1) : e->globalPos());
    e->accept();
}

void CKVTToolBar::RestoreFocus()
{
    SetHotButton(-1);
    ShowCommandMessage(0xFFFFFFFF);
}

void CKVTToolBar::ShowCommandMessage(uint32_t id)
{
    if (CKVTToolbarShared::IsMouseHook())
        return;
    QWidget* owner = GetOwner() ? GetOwner() : window();
    if (auto* frame = qobject_cast<MainFrameBase*>(owner))
        frame->SetMessageText(CKVTToolbarShared::MapMessageId(id));
}

void CKVTToolBar::OnUpdateCmdUI()
{
    const std::vector<CommandTarget*> route = CurrentRoute();
    for (int i = 0; i < m_items.Count(); ++i) {
        const CKVTToolbarButton* b = m_items[size_t(i)].get();
        const uint32_t id = b->m_id;
        if (b->IsSeparator() || id == 0 || (id >= 0xF000 && id <= 0xF1EF) || id >= 0xFF00)
            continue;
        ToolCmdUI cmd(this, i);
        UpdateCommandUITo(route, cmd, true);
    }
    // The hosted controls follow their commands (customisation mode keeps them disabled).
    for (auto& b : m_items)
        if (QWidget* w = b->GetHwnd(); w && !w->isHidden())
            w->setEnabled(!CKVTToolbarShared::IsCustomizeMode() && !(b->m_style & TBBS_DISABLED));
}

void CKVTToolBar::OnButtonNotify(CKVTToolbarButton* button, int code)
{
    const int index = m_items.IndexOf(button);
    if (index < 0 || !button->NotifyCommand(code))
        return;
    const uint32_t id = button->m_id;
    if (OnSendCommand(button) || id == 0 || id == 0xFFFFFFFF)
        return;
    CKVTCommandUsage::Instance().AddCommand(id);
    SendCommand(id);
}

void CKVTToolBar::mousePressEvent(QMouseEvent* e)
{
    m_lastPress = e->position().toPoint();
    if (e->button() == Qt::LeftButton && m_customizer.OnCustomizePress(e))
        return;
    if (e->button() != Qt::LeftButton || CKVTToolbarShared::IsCustomizeMode()) {
        ControlBar::mousePressEvent(e);
        return;
    }
    const int index = HitTest(e->position().toPoint());
    if (index < 0) {
        m_items.pressed = -1;
        ControlBar::mousePressEvent(e);
        return;
    }
    CKVTToolbarButton* b = GetButton(index);
    if (b->m_style & TBBS_DISABLED)
        return;
    m_items.pressed = index;
    b->m_style |= TBBS_PRESSED;
    InvalidateButton(index);
    ShowCommandMessage(b->m_id);
    QPointer<CKVTToolBar> self(this);
    if (b->OnClick(this)) {
        if (!self)
            return;
        if (CKVTToolbarButton* again = GetButton(index))
            again->m_style &= ~TBBS_PRESSED;
        m_items.pressed = m_items.hot = -1;
        InvalidateButton(index);
    }
}

void CKVTToolBar::mouseDoubleClickEvent(QMouseEvent* e)
{
    if (e->button() == Qt::LeftButton && !CKVTToolbarShared::IsCustomizeMode())
        if (CKVTToolbarButton* b = GetButton(HitTest(e->position().toPoint()))) {
            b->OnDblClick(this);
            return;
        }
    mousePressEvent(e);
}

void CKVTToolBar::mouseReleaseEvent(QMouseEvent* e)
{
    if (m_customizer.IsResizing() && e->button() == Qt::LeftButton) {
        m_customizer.EndResize(true, e->position().toPoint());
        return;
    }
    if (m_items.pressed < 0 || e->button() != Qt::LeftButton) {
        ControlBar::mouseReleaseEvent(e);
        return;
    }
    const int index = m_items.pressed;
    CKVTToolbarButton* b = GetButton(index);
    if (!b) {
        m_items.pressed = -1;
        return;
    }
    const QPoint pos = e->position().toPoint();
    const bool over = HitTest(pos) == index;
    uint32_t style = b->m_style & ~TBBS_PRESSED;
    if (over && !(style & TBBS_DISABLED) && (style & TBBS_CHECKBOX)) {
        style ^= TBBS_CHECKED;
        style &= ~TBBS_INDETERMINATE;
    }
    ShowCommandMessage(0xFFFFFFFF);
    m_items.pressed = -1;
    m_items.hot = -1;
    const uint32_t id = b->m_id;
    QPointer<CKVTToolBar> self(this);
    if (over && !OnSendCommand(b) && id != 0 && id != 0xFFFFFFFF) {
        InvalidateButton(index);
        CKVTCommandUsage::Instance().AddCommand(id);
        SendCommand(id);
    }
    if (!self)
        return; // the command destroyed the bar
    if (GetButton(index) == b) {
        b->m_style = ~style; // force the repaint of SetButtonStyle
        SetButtonStyle(index, style);
    }
    const int hot = HitTest(pos);
    if (hot >= 0 && !(m_items.Style(hot) & TBBS_DISABLED))
        SetHotButton(hot);
}

void CKVTToolBar::mouseMoveEvent(QMouseEvent* e)
{
    if (m_customizer.IsResizing()) {
        m_customizer.TrackResize(e->position().toPoint());
        return;
    }
    if (m_items.pressed >= 0 || CKVTToolbarShared::IsCustomizeMode()) {
        ControlBar::mouseMoveEvent(e);
        return;
    }
    TrackMouse(e->position().toPoint());
}
