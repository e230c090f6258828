#include "uilib/KVTMenuBar.h"

#include "platform/ui/App.h"
#include "platform/ui/Beep.h"
#include "platform/ui/Document.h"
#include "platform/ui/Menu.h"
#include "res/StringTable.h"
#include "uilib/KVTMenuButtonCache.h"
#include "uilib/KVTPopupMenu.h"
#include "uilib/KVTRegistryKey.h"
#include "uilib/KVTToolbarMenuButton.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMdiSubWindow>

using ui::CBRS_ALIGN_LEFT;
using ui::CBRS_HIDE_INPLACE;
using ui::LM_HORZ;
using ui::LM_HORZDOCK;
using ui::LM_VERTDOCK;
using ui::WS_CHILD;
using ui::WS_VISIBLE;

namespace {
bool IsChildButton(const CKVTToolbarButton* b)
{
    return dynamic_cast<const CKVTToolbarSystemMenuButton*>(b) ||
           dynamic_cast<const CKVTToolbarMenuButtonsButton*>(b);
}

ui::MainFrameBase* MainFrame()
{
    ui::Application* app = ui::Application::Instance();
    return app ? app->GetMainWnd() : nullptr;
}
} // namespace

CKVTMenuBar::CKVTMenuBar(QWidget* parent) : CKVTToolBar(parent)
{
    SetMenuMode(true);
    m_expandTimer.setSingleShot(true);
    connect(&m_expandTimer, &QTimer::timeout, this, &CKVTMenuBar::OnExpandTimer);
}

CKVTMenuBar::~CKVTMenuBar() = default;

bool CKVTMenuBar::Create(QWidget* frame, uint32_t style, uint32_t id)
{
    const bool ok = CreateEx(frame, 0x800, style, QMargins(1, 1, 1, 1), id);
    setWindowTitle(LoadResString(16006));
    SetBarStyle(GetBarStyle() | CBRS_HIDE_INPLACE);
    return ok;
}

void CKVTMenuBar::CreateFromMenu(ui::Menu* menu, bool isDefault)
{
    if (hasFocus()) {
        if (m_focusBack)
            m_focusBack->setFocus();
        else
            window()->setFocus();
    }
    CKVTMenuButtonCache& cache = CKVTMenuButtonCache::Instance();
    if (m_menu)
        cache.SaveMenuButtons(m_menu, this);
    m_maximizeMode = false;
    m_captionButtons = 0;
    if (!(menu && cache.Contains(menu->Serial()) && cache.LoadMenuButtons(menu, this))) {
        RemoveAllButtons();
        for (int i = 0; menu && i < menu->ItemCount(); ++i) {
            const ui::MenuItem* it = menu->Item(i);
            if (it->flags & ui::MF_SEPARATOR) {
                InsertSeparator();
            } else if (it->popup) {
                InsertButton(
                    std::make_unique<CKVTToolbarMenuButton>(0, it->popup.get(), -1, it->text));
            } else {
                auto b = std::make_unique<CKVTToolbarButton>(it->id, -1, it->text);
                b->m_showText = true;
                b->m_showImage = false;
                InsertButton(std::move(b));
            }
        }
    }
    // Loading removed the child buttons.
    for (int i = Items().Count() - 1; i >= 0; --i)
        if (IsChildButton(GetButton(i)))
            RemoveButton(i);
    m_menu = menu;
    if (isDefault)
        m_defaultMenu = menu;
    if (ui::MainFrameBase* frame = MainFrame())
        if (QMdiSubWindow* child = frame->MDIGetActive(); child && child->isMaximized())
            SetMaximizeMode(true, child);
    Items().RebuildMnemonics();
    AdjustLayout();
}

void CKVTMenuBar::RemoveChildButtons()
{
    for (int i = Items().Count() - 1; i >= 0; --i)
        if (IsChildButton(GetButton(i)))
            RemoveButton(i);
    m_captionButtons = 0;
}

void CKVTMenuBar::AddChildButtons()
{
    if (!m_child)
        return;
    InsertButton(std::make_unique<CKVTToolbarSystemMenuButton>(m_child), 0);
    auto* childFrame = qobject_cast<ui::ChildFrame*>(m_child.data());
    const Qt::WindowFlags f = childFrame ? childFrame->CaptionHints() : m_child->windowFlags();
    m_captionButtons = 0;
    auto add = [this](uint32_t sc, bool disabled) {
        auto b = std::make_unique<CKVTToolbarMenuButtonsButton>(sc);
        if (disabled)
            b->m_style |= TBBS_DISABLED;
        InsertButton(std::move(b));
        ++m_captionButtons;
    };
    if (f & Qt::WindowMinimizeButtonHint)
        add(ui::SC_MINIMIZE, false);
    if (f & Qt::WindowMaximizeButtonHint)
        add(ui::SC_RESTORE, false);
    bool closeGrayed = !(f & Qt::WindowCloseButtonHint);
    if (auto* cf = qobject_cast<ui::ChildFrame*>(m_child.data())) {
        std::unique_ptr<ui::Menu> sys = cf->GetSystemMenu();
        const int i = sys->IndexOf(ui::SC_CLOSE);
        closeGrayed = i >= 0 && (sys->Item(i)->flags & (ui::MF_GRAYED | ui::MF_DISABLED));
    }
    add(ui::SC_CLOSE, closeGrayed);
}

void CKVTMenuBar::SetMaximizeMode(bool maximized, QMdiSubWindow* child)
{
    if (!maximized)
        child = nullptr;
    if (maximized == m_maximizeMode && child == m_child)
        return;
    RemoveChildButtons();
    m_maximizeMode = maximized;
    m_child = child;
    if (maximized && child && !CKVTToolbarShared::IsCustomizeMode())
        AddChildButtons();
    Items().RebuildMnemonics();
    AdjustLayout();
}

void CKVTMenuBar::OnCustomizeMode(bool on)
{
    CKVTToolBar::OnCustomizeMode(on);
    if (on) {
        RemoveChildButtons();
    } else if (m_maximizeMode && m_child) {
        bool present = false;
        for (int i = 0; i < Items().Count(); ++i)
            present = present || IsChildButton(GetButton(i));
        if (!present)
            AddChildButtons();
        AdjustLayout();
    }
}

int CKVTMenuBar::FirstItem() const
{
    return Items().Count() > 0 && dynamic_cast<CKVTToolbarSystemMenuButton*>(GetButton(0)) ? 1 : 0;
}

int CKVTMenuBar::ItemEnd() const
{
    return Items().Count() - m_captionButtons;
}

bool CKVTMenuBar::OnSendCommand(CKVTToolbarButton* button)
{
    if (auto* caption = dynamic_cast<CKVTToolbarMenuButtonsButton*>(button)) {
        const uint32_t sc = caption->m_id;
        ui::MainFrameBase* frame = qobject_cast<ui::MainFrameBase*>(window());
        if (!frame)
            frame = MainFrame();
        if (!frame) {
            ui::MessageBeep(0xFFFFFFFF);
            return true;
        }
        QMetaObject::invokeMethod(
            frame,
            [f = QPointer<ui::MainFrameBase>(frame), sc] {
                if (f)
                    if (ui::ChildFrame* child = f->MDIGetActive())
                        child->SysCommand(sc);
            },
            Qt::QueuedConnection);
        return true;
    }
    return IsChildButton(button);
}

bool CKVTMenuBar::OnToolHitTest(QPoint point, QString& text, QRect& rect)
{
    if (dynamic_cast<CKVTToolbarMenuButton*>(GetButton(HitTest(point))))
        return false; // menu items give no tooltip
    return CKVTToolBar::OnToolHitTest(point, text, rect);
}

bool CKVTMenuBar::SetDefaultButtonText(CKVTToolbarButton* button)
{
    if (button && m_menu)
        if (ui::Menu* m = m_menu->FindMenuOf(button->m_id); m && button->m_id) {
            button->m_text = m->Item(m->IndexOf(button->m_id))->text;
            return true;
        }
    return CKVTToolBar::SetDefaultButtonText(button);
}

void CKVTMenuBar::SetHotButton(int index)
{
    CKVTToolBar::SetHotButton(index);
    m_expandTimer.stop();
    if (GetHotButton() >= 0)
        m_expandTimer.start(5000);
    else
        CKVTPopupMenu::SetShowAll(false);
}

void CKVTMenuBar::OnExpandTimer()
{
    m_expandTimer.stop();
    auto* b = dynamic_cast<CKVTToolbarMenuButton*>(GetButton(GetHotButton()));
    if (b && b->GetPopupMenu() && !b->GetPopupMenu()->GetMenuBar()->AllItemsShown())
        b->GetPopupMenu()->ShowAllCommands();
}

QSize CKVTMenuBar::CalcLayout(uint32_t mode, int length)
{
    QWidget* parent = parentWidget();
    if (IsFloating() || !parent)
        return CKVTToolBar::CalcLayout(mode, length);
    if (IsHorizontal()) {
        const int len = parent->contentsRect().width();
        QSize s = CKVTToolBar::CalcLayout(LM_HORZ | LM_HORZDOCK, len);
        // Menus that do not fit in one row of the site wrap into more rows:
        // none of them is cut off.
        const int room = length > 0 ? length : len;
        if (room > 0 && s.width() > room)
            s = Layout().CalcWrappedLayout(room);
        s.setWidth(len);
        return s;
    }
    QSize s = CKVTToolBar::CalcLayout(LM_VERTDOCK, length);
    s.setHeight(parent->contentsRect().height());
    return s;
}

void CKVTMenuBar::AdjustLayout()
{
    CalcLayout(IsHorizontal() ? LM_HORZ | LM_HORZDOCK : LM_VERTDOCK);
    updateGeometry();
    RepositionButtons();
    update();
}

void CKVTMenuBar::RepositionButtons()
{
    CKVTToolBar::RepositionButtons();
    if (m_captionButtons <= 0 || !IsHorizontal())
        return;
    // The caption buttons stand at the right end of the last row.
    int right = contentsRect().right() - 1;
    for (int i = Items().Count() - 1; i >= ItemEnd(); --i) {
        CKVTToolbarButton* b = GetButton(i);
        QRect r = b->m_rect;
        r.moveRight(right);
        right = r.left() - (i == ItemEnd() + m_captionButtons - 1 && i > 0 ? 2 : 0);
        b->SetRect(r);
    }
}

bool CKVTMenuBar::OpenItem(int index, bool byKeyboard)
{
    CKVTToolbarButton* dropped = GetButton(Items().droppedDown);
    if (dropped && Items().droppedDown != index) {
        dropped->OnCancelMode();
        Items().droppedDown = -1;
    }
    SetHotIndex(index);
    m_expandTimer.start(5000);
    auto* b = dynamic_cast<CKVTToolbarMenuButton*>(GetButton(index));
    if (!b)
        return false;
    if (!b->IsDroppedDown() && b->OpenPopupMenu())
        Items().droppedDown = index;
    if (byKeyboard)
        if (CKVTPopupMenu* popup = b->GetPopupMenu())
            popup->GetMenuBar()->HotFirst();
    return true;
}

bool CKVTMenuBar::DropDownPrevMenu()
{
    const int first = FirstItem(), end = ItemEnd();
    if (end <= first)
        return false;
    int i = Items().droppedDown >= 0 ? Items().droppedDown : GetHotButton();
    for (int k = 0; k < end - first; ++k) {
        i = i <= first ? end - 1 : i - 1;
        if (!GetButton(i)->IsSeparator())
            break;
    }
    const uint32_t anim = CKVTToolbarShared::Options().menuAnimation;
    CKVTToolbarShared::Options().menuAnimation = 0;
    OpenItem(i, true);
    CKVTToolbarShared::Options().menuAnimation = anim;
    return true;
}

bool CKVTMenuBar::DropDownNextMenu()
{
    const int first = FirstItem(), end = ItemEnd();
    if (end <= first)
        return false;
    int i = Items().droppedDown >= 0 ? Items().droppedDown : GetHotButton();
    for (int k = 0; k < end - first; ++k) {
        i = (i < first || i >= end - 1) ? first : i + 1;
        if (!GetButton(i)->IsSeparator())
            break;
    }
    const uint32_t anim = CKVTToolbarShared::Options().menuAnimation;
    CKVTToolbarShared::Options().menuAnimation = 0;
    OpenItem(i, true);
    CKVTToolbarShared::Options().menuAnimation = anim;
    return true;
}

bool CKVTMenuBar::OpenHot(bool byKeyboard)
{
    const int hot = GetHotButton();
    CKVTToolbarButton* b = GetButton(hot);
    if (!b || IsChildButton(b))
        return false;
    if (dynamic_cast<CKVTToolbarMenuButton*>(b))
        return OpenItem(hot, byKeyboard);
    RestoreFocus();
    return SendMenuCommand(b);
}

bool CKVTMenuBar::OnMenuChar(QChar c)
{
    bool several = false;
    CKVTToolbarButton* b = Items().FindMnemonic(c, GetButton(GetHotButton()), &several);
    if (!b)
        return false;
    const int index = Items().IndexOf(b);
    if (several) {
        // The next item of that key is highlighted; Enter or Down opens it.
        if (!hasFocus())
            EnterKeyboardMode();
        SetHotButton(index);
        return true;
    }
    if (dynamic_cast<CKVTToolbarMenuButton*>(b)) {
        if (!hasFocus())
            EnterKeyboardMode();
        OpenItem(index, true);
    } else {
        EndKeyboardMode();
        SendMenuCommand(b);
    }
    return true;
}

void CKVTMenuBar::EnterKeyboardMode()
{
    QWidget* f = QApplication::focusWidget();
    if (f != this)
        m_focusBack = f;
    setFocusPolicy(Qt::ClickFocus);
    setFocus(Qt::ShortcutFocusReason);
    if (GetHotButton() < 0 && FirstItem() < ItemEnd())
        SetHotIndex(FirstItem());
}

void CKVTMenuBar::EndKeyboardMode()
{
    if (hasFocus())
        RestoreFocus();
}

void CKVTMenuBar::RestoreFocus()
{
    CKVTToolBar::RestoreFocus();
    setFocusPolicy(Qt::NoFocus);
    const QPointer<QWidget> back = m_focusBack;
    m_focusBack = nullptr;
    QWidget* now = QApplication::focusWidget();
    if (now && now != this && now->window() == window())
        return; // a click moved it on: it stays there
    QWidget* target = back && back->isVisible() && back->window() == window() ? back.data() : window();
    // With the bar it goes back at once.  With another window (a dialog) or
    // another program, the target becomes the focus child of the frame's
    // window and takes the focus when that window is active again.
    if (now == this || !now || !target->isActiveWindow())
        target->setFocus(Qt::OtherFocusReason);
}

bool CKVTMenuBar::TakesKey(const QKeyEvent& e) const
{
    if (!hasFocus() || CKVTToolbarShared::IsCustomizeMode())
        return false;
    if (const CKVTPopupMenu* open = CKVTPopupMenu::ActivePopup(); open && open->GetChainOrigin() == this)
        return false;
    const Qt::KeyboardModifiers mods = e.modifiers() & ~Qt::KeypadModifier;
    switch (e.key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
        return mods == Qt::NoModifier;
    default:
        break;
    }
    return (mods & ~Qt::ShiftModifier) == Qt::NoModifier && !e.text().isEmpty() &&
           Items().FindMnemonic(e.text().at(0)) != nullptr;
}

void CKVTMenuBar::focusInEvent(QFocusEvent* e)
{
    if (!CKVTToolbarShared::IsCustomizeMode()) {
        ShowCommandMessage(0xFFFFFFFF);
        if (GetHotButton() < 0 && FirstItem() < ItemEnd())
            SetHotIndex(FirstItem());
    }
    CKVTToolBar::focusInEvent(e);
}

void CKVTMenuBar::focusOutEvent(QFocusEvent* e)
{
    CKVTToolBar::focusOutEvent(e);
    if (CKVTToolbarShared::IsCustomizeMode())
        return;
    // Only a popup opened from this bar keeps the keyboard mode; losing the
    // focus to anything else (a widget, a dialog, another program) ends it.
    if (e->reason() == Qt::PopupFocusReason)
        if (const CKVTPopupMenu* open = CKVTPopupMenu::ActivePopup(); open && open->GetChainOrigin() == this)
            return;
    RestoreFocus();
}

void CKVTMenuBar::keyPressEvent(QKeyEvent* e)
{
    const int first = FirstItem(), end = ItemEnd();
    int hot = GetHotButton();
    switch (e->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Down:
        OpenHot(true);
        return;
    case Qt::Key_Escape:
        CKVTPopupMenu::SetShowAll(false);
        RestoreFocus();
        return;
    case Qt::Key_Left:
    case Qt::Key_Right: {
        if (end <= first)
            return;
        const int step = e->key() == Qt::Key_Left ? -1 : 1;
        for (int k = 0; k < end - first; ++k) {
            if (hot < first || hot >= end)
                hot = step > 0 ? first : end - 1;
            else
                hot = hot + step < first ? end - 1 : (hot + step >= end ? first : hot + step);
            if (!GetButton(hot)->IsSeparator())
                break;
        }
        SetHotIndex(hot);
        return;
    }
    default:
        break;
    }
    if (!e->text().isEmpty() && OnMenuChar(e->text().at(0)))
        return;
    CKVTToolBar::keyPressEvent(e);
}

void CKVTMenuBar::mousePressEvent(QMouseEvent* e)
{
    if (HitTest(e->position().toPoint()) < 0)
        if (CKVTToolbarButton* open = GetButton(Items().droppedDown); open && open->IsDroppedDown())
            return;
    CKVTToolBar::mousePressEvent(e);
}

void CKVTMenuBar::mouseDoubleClickEvent(QMouseEvent* e)
{
    const int index = HitTest(e->position().toPoint());
    if (auto* b = dynamic_cast<CKVTToolbarMenuButton*>(GetButton(index)); b && b->GetPopupMenu()) {
        b->GetPopupMenu()->ShowAllCommands();
        return;
    }
    CKVTToolBar::mouseDoubleClickEvent(e);
}

// --- stored state ------------------------------------------------------------

namespace {
QString MenuBarPath(const QString& profile)
{
    return GetRegPath(QStringLiteral("KVTMenuBar"), profile);
}
} // namespace

bool CKVTMenuBar::SaveState(const QString& profile, int index, uint32_t)
{
    const QString path = MenuBarPath(profile);
    const bool maximized = m_maximizeMode;
    QPointer<QMdiSubWindow> child = m_child;
    RemoveChildButtons();
    CKVTMenuButtonCache& cache = CKVTMenuButtonCache::Instance();
    if (m_menu)
        cache.SaveMenuButtons(m_menu, this);
    bool ok = true;
    if (m_saveTemplateMenus)
        if (ui::Application* app = ui::Application::Instance())
            for (int t = 0; t < app->Documents().TemplateCount(); ++t) {
                ui::DocTemplate* tmpl = app->Documents().Template(t);
                ui::Menu* menu = tmpl->GetSharedMenu();
                if (!menu || !cache.Contains(menu->Serial()) || !cache.LoadMenuButtons(menu, this))
                    continue;
                ok = CKVTToolBar::SaveState(path, index, tmpl->ResourceId()) && ok;
            }
    if (m_defaultMenu &&
        (cache.Contains(m_defaultMenu->Serial()) && cache.LoadMenuButtons(m_defaultMenu, this)))
        ok = CKVTToolBar::SaveState(path, index, 0) && ok;
    if (m_menu)
        cache.LoadMenuButtons(m_menu, this);
    m_maximizeMode = false;
    m_child = nullptr;
    if (maximized)
        SetMaximizeMode(true, child);
    Items().RebuildMnemonics();
    AdjustLayout();
    return ok;
}

bool CKVTMenuBar::LoadState(const QString& profile, int index, uint32_t)
{
    const QString path = MenuBarPath(profile);
    const bool maximized = m_maximizeMode;
    QPointer<QMdiSubWindow> child = m_child;
    RemoveChildButtons();
    CKVTMenuButtonCache& cache = CKVTMenuButtonCache::Instance();
    if (m_menu)
        cache.SaveMenuButtons(m_menu, this);
    bool ok = true;
    auto loadOne = [&](ui::Menu* menu, uint32_t id) {
        // A corrupt stored list is ignored: the menu keeps its list.
        if (CKVTToolBar::LoadState(path, index, id))
            cache.SaveMenuButtons(menu, this);
        else
            ok = false;
    };
    if (m_saveTemplateMenus)
        if (ui::Application* app = ui::Application::Instance())
            for (int t = 0; t < app->Documents().TemplateCount(); ++t) {
                ui::DocTemplate* tmpl = app->Documents().Template(t);
                if (ui::Menu* menu = tmpl->GetSharedMenu())
                    loadOne(menu, tmpl->ResourceId());
            }
    if (m_defaultMenu)
        loadOne(m_defaultMenu, 0);
    if (!(m_menu && cache.LoadMenuButtons(m_menu, this)))
        ok = false;
    m_maximizeMode = false;
    m_child = nullptr;
    if (maximized)
        SetMaximizeMode(true, child);
    Items().RebuildMnemonics();
    AdjustLayout();
    return ok;
}

bool CKVTMenuBar::RestoreOriginalState()
{
    CKVTMenuButtonCache& cache = CKVTMenuButtonCache::Instance();
    ui::Menu* current = m_menu;
    if (ui::Application* app = ui::Application::Instance())
        for (int t = 0; t < app->Documents().TemplateCount(); ++t) {
            ui::DocTemplate* tmpl = app->Documents().Template(t);
            if (!tmpl->GetSharedMenu())
                continue;
            if (std::unique_ptr<ui::Menu> fresh = ui::Menu::Load(tmpl->ResourceId())) {
                const bool wasCurrent = current == tmpl->GetSharedMenu();
                cache.Drop(tmpl->GetSharedMenu()->Serial());
                m_menu = nullptr;
                tmpl->SetSharedMenu(std::move(fresh)); // tells the frame: the bar rebuilds
                if (wasCurrent)
                    current = tmpl->GetSharedMenu();
                CreateFromMenu(tmpl->GetSharedMenu(), false);
                cache.SaveMenuButtons(tmpl->GetSharedMenu(), this);
            }
        }
    if (m_defaultMenu) {
        cache.Drop(m_defaultMenu->Serial());
        m_menu = nullptr;
        std::unique_ptr<ui::Menu> fresh = ui::Menu::Load(m_menuResourceId);
        // The default menu is the frame's: rebuild the buttons from its resource.
        ui::Menu* def = m_defaultMenu;
        if (fresh) {
            CreateFromMenu(fresh.get(), false);
            m_menu = nullptr;
            cache.SaveMenuButtons(def, this);
        } else {
            CreateFromMenu(def, true);
        }
        m_defaultMenu = def;
    }
    m_menu = nullptr;
    CreateFromMenu(current, current == m_defaultMenu);
    update();
    return true;
}

int CKVTMenuBar::FindDropIndex(const QPoint& point, QRect& marker)
{
    KvtDropRules rules;
    rules.customizeIndex = Items().IndexOf(Items().Customize());
    rules.minIndex = FirstItem();
    rules.maxIndex = ItemEnd();
    const KvtDropPlace place = Layout().FindDropPlace(point, rules, IsHorizontal());
    marker = place.marker;
    return place.index;
}
