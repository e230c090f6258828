#include "uilib/KVTPopupMenu.h"

#include "platform/ui/App.h"
#include "platform/ui/Command.h"
#include "platform/ui/Document.h"
#include "platform/ui/Menu.h"
#include "uilib/KVTCommandUsage.h"
#include "uilib/KVTDrawingData.h"
#include "uilib/KVTMenuBar.h"
#include "uilib/KVTMenuButtonCache.h"
#include "uilib/KVTMenuImages.h"
#include "uilib/KVTToolbarMenuButton.h"
#include "uilib/KVTFrameHooks.h"

#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMdiArea>
#include <QPainter>
#include <QScreen>

#include <algorithm>
#include <typeinfo>

bool CKVTPopupMenu::s_showAll = false;

using ui::CBRS_ALIGN_LEFT;
using ui::CBRS_HIDE_INPLACE;
using ui::LM_HORZ;
using ui::LM_HORZDOCK;
using ui::LM_VERTDOCK;
using ui::WS_CHILD;
using ui::WS_VISIBLE;

namespace {
std::vector<CKVTPopupMenu*>& OpenPopups()
{
    static std::vector<CKVTPopupMenu*> list;
    return list;
}

bool IsSubmenuItem(const CKVTToolbarButton* b)
{
    auto* m = dynamic_cast<const CKVTToolbarMenuButton*>(b);
    return m && !m->IsSeparator() && (m->m_id == KVT_POPUP_ID || !m->SubItems().empty());
}

bool IsShowAllButton(const CKVTToolbarButton* b)
{
    return dynamic_cast<const CKVTShowAllButton*>(b) != nullptr;
}

ui::MainFrameBase* FrameOf(QWidget* w)
{
    if (w)
        if (auto* f = qobject_cast<ui::MainFrameBase*>(w->window()))
            return f;
    ui::Application* app = ui::Application::Instance();
    return app ? app->GetMainWnd() : nullptr;
}

void RunSystemCommand(uint32_t id)
{
    ui::Application* app = ui::Application::Instance();
    ui::MainFrameBase* frame = app ? app->GetMainWnd() : nullptr;
    if (!frame)
        return;
    QMetaObject::invokeMethod(
        frame,
        [f = QPointer<ui::MainFrameBase>(frame), id] {
            if (f)
                if (ui::ChildFrame* child = f->MDIGetActive())
                    child->SysCommand(id);
        },
        Qt::QueuedConnection);
}
} // namespace

// --- the popup bar -----------------------------------------------------------

CKVTPopupMenuBar::CKVTPopupMenuBar(QWidget* parent) : CKVTToolBar(parent)
{
    SetMenuMode(true);
    SetBarStyle(CBRS_ALIGN_LEFT);
    SetBorders(0, 0, 0, 0);
    m_submenuTimer.setSingleShot(true);
    connect(&m_submenuTimer, &QTimer::timeout, this, &CKVTPopupMenuBar::FireSubmenuTimer);
}

CKVTPopupMenuBar::~CKVTPopupMenuBar() = default;

CKVTPopupMenu* CKVTPopupMenuBar::GetPopup() const
{
    return qobject_cast<CKVTPopupMenu*>(parentWidget());
}

bool CKVTPopupMenuBar::CreateFromMenu(const ui::Menu* menu, bool allItems)
{
    if (!menu)
        return false;
    RemoveAllButtons();
    m_first = 0;
    m_hiddenMnemonics.clear();
    const bool all = allItems || CKVTPopupMenu::IsShowAll() || !CKVTToolbarShared::Options().recentlyUsedMenus;
    KvtPopupBuildResult r = KvtPopupBuild::Filter(
        *menu, all, [](uint32_t id) { return CKVTToolbarShared::IsCommandRarelyUsed(id); },
        [](uint32_t id) { return CKVTToolbarShared::IsCommandPermitted(id); });
    for (const KvtPopupEntry& e : r.entries) {
        if (e.separator) {
            auto sep = std::make_unique<CKVTToolbarMenuButton>();
            sep->m_style = TBBS_SEPARATOR;
            InsertButton(std::move(sep));
            continue;
        }
        const ui::MenuItem* it = menu->Item(e.index);
        // The image the command has in the command-image map (-1 looks it up).
        auto b = std::make_unique<CKVTToolbarMenuButton>(e.id, it->popup.get(), -1, it->text);
        b->m_style = e.style;
        b->m_default = e.isDefault;
        InsertButton(std::move(b));
    }
    m_allShown = r.allShown;
    m_hiddenMnemonics = r.hiddenMnemonics;
    return true;
}

QSize CKVTPopupMenuBar::CalcPopupSize()
{
    const QSize def(Layout().ColumnWidth(), Layout().RowHeight());
    int width = 0, height = 0, colWidth = 0, colHeight = 0;
    for (int i = 0; i < Items().Count(); ++i) {
        CKVTToolbarButton* b = GetButton(i);
        if (i > 0 && (b->m_style & TBBS_BREAK)) {
            width += colWidth;
            height = std::max(height, colHeight);
            colWidth = colHeight = 0;
        }
        const QSize sz = b->CalculateSize(def, false);
        colWidth = std::max(colWidth, sz.width());
        colHeight += sz.height();
    }
    width += colWidth;
    height = std::max(height, colHeight);
    // An empty menu (a new one in customisation mode) keeps room for a drop.
    return QSize(std::max(width, 40), std::max(height, Items().Count() == 0 ? def.height() : 4));
}

void CKVTPopupMenuBar::RepositionButtons()
{
    Items().RebuildMnemonics();
    const QSize def(Layout().ColumnWidth(), Layout().RowHeight());
    const int clientHeight =
        height() > 0 && isVisible() ? height() : (m_clientHeight > 0 ? m_clientHeight : 1 << 20);
    // Column widths first.
    std::vector<QSize> sizes(static_cast<size_t>(Items().Count()));
    std::vector<int> colOf(static_cast<size_t>(Items().Count()));
    std::vector<int> colWidths{0};
    for (int i = 0; i < Items().Count(); ++i) {
        CKVTToolbarButton* b = GetButton(i);
        if (i > 0 && (b->m_style & TBBS_BREAK))
            colWidths.push_back(0);
        sizes[size_t(i)] = b->CalculateSize(def, false);
        colOf[size_t(i)] = int(colWidths.size()) - 1;
        colWidths.back() = std::max(colWidths.back(), sizes[size_t(i)].width());
    }
    m_hiddenBelow = false;
    int x = 0, y = 0, col = 0;
    for (int i = 0; i < Items().Count(); ++i) {
        CKVTToolbarButton* b = GetButton(i);
        if (colOf[size_t(i)] != col) {
            x += colWidths[size_t(col)];
            col = colOf[size_t(i)];
            y = 0;
        }
        if (i < m_first) {
            b->m_hidden = true;
            b->SetRect(QRect());
            continue;
        }
        const QRect r(x, y, colWidths[size_t(col)], sizes[size_t(i)].height());
        y += r.height();
        const bool below = r.bottom() >= clientHeight;
        if (below)
            m_hiddenBelow = true;
        b->m_hidden = below;
        b->SetRect(below ? QRect() : r);
    }
}

void CKVTPopupMenuBar::SetFirstVisible(int index)
{
    m_first = std::clamp(index, 0, std::max(0, Items().Count() - 1));
    RepositionButtons();
    update();
}

void CKVTPopupMenuBar::AdjustLayout()
{
    RepositionButtons();
    update();
}

bool CKVTPopupMenuBar::Customizing() const
{
    CKVTPopupMenu* popup = GetPopup();
    return popup ? popup->Customizing() : CKVTToolbarShared::IsCustomizeMode();
}

void CKVTPopupMenuBar::OnUpdateCmdUI()
{
    if (Customizing() || (GetPopup() && GetPopup()->HasCommandHandler()))
        return; // the popup's items stay the menu's own
    CKVTToolBar::OnUpdateCmdUI();
}

void CKVTPopupMenuBar::SetButtonStyle(int index, uint32_t style)
{
    CKVTToolBar::SetButtonStyle(index, style);
}

bool CKVTPopupMenuBar::SetDefaultButtonText(CKVTToolbarButton* button)
{
    return CKVTToolBar::SetDefaultButtonText(button);
}

void CKVTPopupMenuBar::OnFillBackground(QPainter&) {}

void CKVTPopupMenuBar::DrawSeparator(QPainter& p, CKVTToolbarButton* button, bool)
{
    const CKVTDrawingData& dd = CKVTDrawingData::Instance();
    const QRect r = button->m_rect;
    const int y = r.top() + r.height() / 2 - 1;
    p.fillRect(QRect(r.left() + 1, y, r.width() - 2, 1), dd.Shadow());
    p.fillRect(QRect(r.left() + 1, y + 1, r.width() - 2, 1), dd.Highlight());
}

bool CKVTPopupMenuBar::OnSendCommand(CKVTToolbarButton* button)
{
    if (CKVTPopupMenu* popup = GetPopup())
        popup->ChooseCommand(button->m_id);
    return true;
}

void CKVTPopupMenuBar::SetHotButton(int index)
{
    MakeHot(index, true);
}

void CKVTPopupMenuBar::SelectItem(int index)
{
    MakeHot(index, false);
}

void CKVTPopupMenuBar::MakeHot(int index, bool byMouse)
{
    if (index < 0 || index >= Items().Count())
        index = -1;
    if (index == GetHotButton())
        return;
    if (Customizing()) {
        CKVTToolBar::SetHotButton(index);
        return;
    }
    // Moving onto another item closes the open submenu.
    if (CKVTToolbarButton* open = GetButton(Items().droppedDown);
        open && Items().droppedDown != index) {
        open->OnCancelMode();
        Items().droppedDown = -1;
    }
    m_submenuTimer.stop();
    m_waiting = nullptr;
    SetHotIndex(index);
    // Only the mouse resting on an item opens its submenu (or expands the
    // popup on the show-all item); the keyboard opens it by Right or Enter.
    if (!byMouse)
        return;
    CKVTToolbarButton* b = GetButton(index);
    if (IsSubmenuItem(b) && !(b->m_style & TBBS_DISABLED) && !b->IsDroppedDown())
        StartSubmenuTimer(static_cast<CKVTToolbarMenuButton*>(b));
    else if (IsShowAllButton(b) && CKVTToolbarShared::Options().showAllMenusAfterDelay)
        StartSubmenuTimer(static_cast<CKVTToolbarMenuButton*>(b));
}

void CKVTPopupMenuBar::StartSubmenuTimer(CKVTToolbarMenuButton* button)
{
    m_waiting = button;
    m_submenuTimer.start(KvtMenuDelay::Get());
}

void CKVTPopupMenuBar::FireSubmenuTimer()
{
    CKVTToolbarMenuButton* b = m_waiting;
    m_waiting = nullptr;
    const int index = Items().IndexOf(b);
    if (!b || index < 0 || index != GetHotButton())
        return;
    if (IsShowAllButton(b)) {
        if (CKVTPopupMenu* popup = GetPopup())
            popup->ShowAllCommands();
        return;
    }
    if (!b->IsDroppedDown() && b->OpenPopupMenu())
        Items().droppedDown = index;
    InvalidateButton(index);
}

void CKVTPopupMenuBar::MoveHot(int direction)
{
    const int n = Items().Count();
    if (n == 0)
        return;
    int i = GetHotButton();
    for (int k = 0; k < n; ++k) {
        i = i < 0 ? (direction > 0 ? 0 : n - 1) : (i + direction + n) % n;
        if (!GetButton(i)->IsSeparator())
            break;
    }
    SelectItem(i);
}

void CKVTPopupMenuBar::HotFirst()
{
    SelectItem(-1);
    MoveHot(1);
}

void CKVTPopupMenuBar::HotLast()
{
    SelectItem(-1);
    MoveHot(-1);
}

bool CKVTPopupMenuBar::RunHot(bool byKeyboard)
{
    const int index = GetHotButton();
    CKVTToolbarButton* b = GetButton(index);
    if (!b || b->IsSeparator() || (b->m_style & TBBS_DISABLED))
        return false;
    if (IsShowAllButton(b)) {
        if (CKVTPopupMenu* popup = GetPopup())
            popup->ShowAllCommands();
        return true;
    }
    if (IsSubmenuItem(b)) {
        auto* m = static_cast<CKVTToolbarMenuButton*>(b);
        if (!m->IsDroppedDown() && m->OpenPopupMenu())
            Items().droppedDown = index;
        if (byKeyboard)
            if (CKVTPopupMenu* child = m->GetPopupMenu())
                child->GetMenuBar()->HotFirst();
        return true;
    }
    if (b->m_id == 0 || Customizing())
        return false;
    if (CKVTPopupMenu* popup = GetPopup())
        popup->ChooseCommand(b->m_id);
    return true;
}

bool CKVTPopupMenuBar::OnMenuKey(int key)
{
    if (Customizing())
        return false;
    const QChar c = QChar(key).toUpper();
    bool several = false;
    if (CKVTToolbarButton* b = Items().FindMnemonic(c, GetButton(GetHotButton()), &several)) {
        SelectItem(Items().IndexOf(b));
        if (!several)
            RunHot(true);
        return true;
    }
    auto it = m_hiddenMnemonics.find(c);
    if (it != m_hiddenMnemonics.end()) {
        if (CKVTPopupMenu* popup = GetPopup())
            popup->ChooseCommand(it->second);
        return true;
    }
    return false;
}

void CKVTPopupMenuBar::mousePressEvent(QMouseEvent* e)
{
    if (Customizing() || e->button() != Qt::LeftButton) {
        CKVTToolBar::mousePressEvent(e);
        return;
    }
    const int index = HitTest(e->position().toPoint());
    CKVTToolbarButton* b = GetButton(index);
    if (!b || (b->m_style & TBBS_DISABLED))
        return;
    SetHotButton(index);
    if (IsShowAllButton(b)) {
        b->OnClick(this, false);
        return;
    }
    if (IsSubmenuItem(b)) {
        auto* m = static_cast<CKVTToolbarMenuButton*>(b);
        if (!m->IsDroppedDown()) {
            m_submenuTimer.stop();
            if (m->OpenPopupMenu())
                Items().droppedDown = index;
        }
    }
}

void CKVTPopupMenuBar::mouseReleaseEvent(QMouseEvent* e)
{
    if (Customizing() || e->button() != Qt::LeftButton) {
        CKVTToolBar::mouseReleaseEvent(e);
        return;
    }
    CKVTToolbarButton* b = GetButton(HitTest(e->position().toPoint()));
    if (!b || b->IsSeparator() || IsShowAllButton(b) || IsSubmenuItem(b) ||
        (b->m_style & TBBS_DISABLED) || b->m_id == 0)
        return;
    if (CKVTPopupMenu* popup = GetPopup())
        popup->ChooseCommand(b->m_id);
}

void CKVTPopupMenuBar::mouseMoveEvent(QMouseEvent* e)
{
    if (Customizing()) {
        CKVTToolBar::mouseMoveEvent(e);
        return;
    }
    SetHotButton(HitTest(e->position().toPoint()));
}

void CKVTPopupMenuBar::leaveEvent(QEvent* e)
{
    CKVTToolbarButton* open = GetButton(Items().droppedDown);
    if (!(open && open->IsDroppedDown()) && !Customizing())
        SetHotButton(-1);
    QWidget::leaveEvent(e);
}

bool CKVTPopupMenuBar::event(QEvent* e)
{
    return CKVTToolBar::event(e);
}

// --- the popup ---------------------------------------------------------------

CKVTPopupMenu::CKVTPopupMenu()
{
    Init();
}

CKVTPopupMenu::CKVTPopupMenu(QWidget* editPage, const QString& name)
    : m_editPage(editPage), m_name(name)
{
    Init();
}

bool CKVTPopupMenu::Customizing() const { return CKVTToolbarShared::IsCustomizeMode() && !m_handler; }

void CKVTPopupMenu::Init()
{
    setAttribute(Qt::WA_DeleteOnClose);
    setMouseTracking(true); // moves outside reach the popup without a button held
    m_bar = new CKVTPopupMenuBar(this);
    connect(qApp, &QGuiApplication::applicationStateChanged, this,
            [this](Qt::ApplicationState state) {
                if (state == Qt::ApplicationInactive && isVisible() && !m_editPage &&
                    !Customizing())
                    CloseChain();
            });
}

CKVTPopupMenu::~CKVTPopupMenu()
{
    OnClosed(true);
    auto& open = OpenPopups();
    open.erase(std::remove(open.begin(), open.end(), this), open.end());
}

CKVTPopupMenu* CKVTPopupMenu::ActivePopup()
{
    auto& open = OpenPopups();
    return open.empty() ? nullptr : open.back();
}

CKVTPopupMenu* CKVTPopupMenu::GetParentPopup() const
{
    if (!m_parentButton)
        return nullptr;
    auto* bar = qobject_cast<CKVTPopupMenuBar*>(m_parentButton->GetParentBar());
    return bar ? bar->GetPopup() : nullptr;
}

CKVTToolBar* CKVTPopupMenu::GetChainOrigin() const
{
    const CKVTPopupMenu* p = this;
    while (CKVTPopupMenu* parent = p->GetParentPopup())
        p = parent;
    return p->m_parentButton ? p->m_parentButton->GetParentBar() : nullptr;
}

CKVTPopupMenu* CKVTPopupMenu::GetChildPopup() const
{
    auto* b = dynamic_cast<CKVTToolbarMenuButton*>(m_bar->GetButton(m_bar->Items().droppedDown));
    return b ? b->GetPopupMenu() : nullptr;
}

bool CKVTPopupMenu::Create(QWidget* owner, int x, int y, ui::Menu* menu, bool locked)
{
    CKVTToolbarShared::PlaySystemSound("MenuPopup");
    m_owner = owner;
    m_menu = menu;
    if (m_destroyMenu)
        m_ownedMenu.reset(menu);
    if (!menu)
        return false;
    if (x == -1 && y == -1)
        m_pos = owner ? owner->mapToGlobal(QPoint(0, 0)) + QPoint(5, 5) : QPoint(0, 0);
    else
        m_pos = QPoint(x, y);

    const bool customize = Customizing();
    QWidget* parent = owner ? owner->window() : nullptr;
    if (m_editPage) {
        setParent(parent, Qt::Tool);
        setWindowTitle(m_name);
    } else if (customize) {
        setParent(parent, Qt::Tool | Qt::FramelessWindowHint);
    } else {
        setParent(parent, Qt::Popup | Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint);
        setAttribute(Qt::WA_NoMouseReplay);
    }
    setAttribute(Qt::WA_ShowWithoutActivating);
    setObjectName(QStringLiteral("KvtPopupMenu"));

    m_bar->CreateEx(this, 0x800, WS_CHILD | WS_VISIBLE | CBRS_ALIGN_LEFT, QMargins(0, 0, 0, 0),
                    0xE800);
    m_bar->SetOwner(owner ? owner->window() : nullptr);
    m_bar->m_locked = locked;
    BuildBar();
    if (m_bar->Items().Count() == 0 && !customize)
        return false; // an empty menu opens only to take buttons
    if (KvtFrameHooks* hooks = KvtFrameHooks::FromWidget(owner))
        if (!hooks->ShowPopupMenu(this))
            return false;
    Place();

    const uint32_t kind = CKVTToolbarShared::Options().menuAnimation;
    m_animStep = 0;
    m_animDone = kind == 0 || customize || m_editPage;
    if (!m_animDone) {
        const QRect r = KvtPopupAnimation::Step(
            kind, m_final, QSize(m_bar->Layout().ColumnWidth(), m_bar->Layout().RowHeight()), m_dropRight,
            m_dropDown, 0);
        setGeometry(r.adjusted(0, 0, m_shadow ? ShadowDepth : 0, m_shadow ? ShadowDepth : 0));
        m_animTimer = startTimer(KvtPopupAnimation::TickMs);
    }
    OpenPopups().push_back(this);
    show();
    m_bar->update();
    return true;
}

void CKVTPopupMenu::BuildBar()
{
    const bool customize = Customizing();
    CKVTMenuButtonCache& cache = CKVTMenuButtonCache::Instance();
    if (cache.Contains(m_menu->Serial()) && cache.LoadMenuButtons(m_menu, m_bar)) {
        if (!customize && !m_handler)
            m_bar->OnUpdateCmdUI();
    } else {
        if (!customize && !m_handler)
            ui::UpdateMenuItems(*m_menu);
        m_bar->CreateFromMenu(m_menu, m_parentButton == nullptr || customize);
    }
    if (!m_bar->AllItemsShown() && !customize)
        m_bar->InsertButton(std::make_unique<CKVTShowAllButton>());
}

void CKVTPopupMenu::Place()
{
    const QSize natural = m_bar->CalcPopupSize();
    const QSize size = natural + QSize(2 * FrameWidth, 2 * FrameWidth);
    KvtPopupPlacementInput in;
    in.origin = m_pos;
    in.size = size;
    if (m_parentButton)
        if (CKVTToolBar* pb = m_parentButton->GetParentBar()) {
            in.parentItem = QRect(pb->mapToGlobal(m_parentButton->m_rect.topLeft()),
                                  m_parentButton->m_rect.size());
            if (pb->IsPopupMenuBar())
                in.parentPopup = pb->window()->geometry();
            else if (pb->inherits("CKVTMenuBar")) {
                in.barSide = pb->IsHorizontal()                      ? KvtMenuBarSide::Top
                             : (pb->GetBarStyle() & CBRS_ALIGN_LEFT) ? KvtMenuBarSide::Left
                                                                     : KvtMenuBarSide::Right;
                in.menuBar = QRect(pb->mapToGlobal(QPoint(0, 0)), pb->size());
            }
        }
    QScreen* screen = QGuiApplication::screenAt(m_pos);
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    in.workArea = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    const KvtPopupPlacementResult r = KvtPopupPlacement::Compute(in);
    m_final = r.rect;
    m_dropRight = r.dropRight;
    m_dropDown = r.dropDown;
    m_scroll = r.scroll;
    m_shadow = CKVTToolbarShared::Options().menuShadows && !Customizing() && !m_editPage;
    const int extra = m_shadow ? ShadowDepth : 0;
    // The shadow is drawn in the shadow colour, never from a copy of the
    // screen: a copy taken as the popup opens may still hold the popup
    // that just closed there (switching menus) or this popup's own earlier
    // pixels (show all), and stays drawn while the popup is open.  The two
    // corners beside the shadow are left out of the window, so what lies
    // below shows there.
    if (m_shadow)
        setMask(ShadowedRegion(m_final.size()));
    else
        clearMask();
    setGeometry(m_final.adjusted(0, 0, extra, extra));
    RecalcLayout();
}

QRegion CKVTPopupMenu::ShadowedRegion(QSize frame)
{
    QRegion r(0, 0, frame.width(), frame.height());
    r += QRect(frame.width(), ShadowDepth, ShadowDepth, frame.height());
    r += QRect(ShadowDepth, frame.height(), frame.width() - ShadowDepth, ShadowDepth);
    return r;
}

void CKVTPopupMenu::RecalcLayout()
{
    const int top = FrameWidth + (m_scroll ? ScrollAreaHeight : 0);
    const int h = m_final.height() - 2 * FrameWidth - (m_scroll ? 2 * ScrollAreaHeight : 0);
    m_bar->m_clientHeight = h;
    m_bar->setGeometry(FrameWidth, top, m_final.width() - 2 * FrameWidth, h);
    m_upArea =
        m_scroll ? QRect(FrameWidth, FrameWidth, m_final.width() - 2 * FrameWidth, ScrollAreaHeight)
                 : QRect();
    m_downArea =
        m_scroll ? QRect(FrameWidth, top + h, m_final.width() - 2 * FrameWidth, ScrollAreaHeight)
                 : QRect();
    m_bar->RepositionButtons();
    update();
}

void CKVTPopupMenu::AnimationTick()
{
    ++m_animStep;
    const uint32_t kind = CKVTToolbarShared::Options().menuAnimation;
    const QRect r = KvtPopupAnimation::Step(kind, m_final,
                                            QSize(m_bar->Layout().ColumnWidth(), m_bar->Layout().RowHeight()),
                                            m_dropRight, m_dropDown, m_animStep);
    const int extra = m_shadow ? ShadowDepth : 0;
    setGeometry(r.adjusted(0, 0, extra, extra));
    if (r == m_final) {
        m_animDone = true;
        killTimer(m_animTimer);
        m_animTimer = 0;
        m_bar->SetFirstVisible(0);
    }
}

void CKVTPopupMenu::timerEvent(QTimerEvent* e)
{
    if (e->timerId() == m_animTimer) {
        AnimationTick();
        return;
    }
    if (e->timerId() == m_scrollTimer) {
        if (m_scrollDir < 0 && m_bar->CanScrollUp())
            m_bar->SetFirstVisible(m_bar->GetFirstVisible() - 1);
        else if (m_scrollDir > 0 && m_bar->CanScrollDown())
            m_bar->SetFirstVisible(m_bar->GetFirstVisible() + 1);
        else {
            killTimer(m_scrollTimer);
            m_scrollTimer = 0;
            m_scrollDir = 0;
        }
        update();
        return;
    }
    QWidget::timerEvent(e);
}

void CKVTPopupMenu::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const CKVTDrawingData& dd = CKVTDrawingData::Instance();
    const QRect frame(0, 0, m_final.width(), m_final.height());
    p.fillRect(frame, dd.Face());
    // The raised frame, 2 pixels.
    auto line = [&p](const QRect& r, const QColor& tl, const QColor& br) {
        p.fillRect(QRect(r.left(), r.top(), r.width() - 1, 1), tl);
        p.fillRect(QRect(r.left(), r.top(), 1, r.height() - 1), tl);
        p.fillRect(QRect(r.right(), r.top(), 1, r.height()), br);
        p.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), br);
    };
    line(frame, dd.Color(CKVTDrawingData::COLOR_3DLIGHT),
         dd.Color(CKVTDrawingData::COLOR_3DDKSHADOW));
    line(frame.adjusted(1, 1, -1, -1), dd.Highlight(), dd.Shadow());
    if (m_scroll) {
        const QSize g = CKVTMenuImages::GetImageSize();
        auto glyph = [&](const QRect& r, int index) {
            CKVTMenuImages::DrawMenuImage(p, index,
                                          QPoint(r.left() + (r.width() - g.width()) / 2,
                                                 r.top() + (r.height() - g.height()) / 2));
        };
        glyph(m_upArea,
              m_bar->CanScrollUp() ? CKVTMenuImages::IdArrowUp : CKVTMenuImages::IdArrowUpDisabled);
        glyph(m_downArea, m_bar->CanScrollDown() ? CKVTMenuImages::IdArrowDown
                                                 : CKVTMenuImages::IdArrowDownDisabled);
    }
    if (m_shadow) {
        const QRect right(frame.right() + 1, ShadowDepth, ShadowDepth, frame.height());
        const QRect bottom(ShadowDepth, frame.bottom() + 1, frame.width() - ShadowDepth,
                           ShadowDepth);
        p.fillRect(right, dd.Shadow());
        p.fillRect(bottom, dd.Shadow());
    }
    m_painted = true;
}

void CKVTPopupMenu::ShowAllCommands()
{
    if (!m_parentButton || m_bar->AllItemsShown())
        return;
    s_showAll = true;
    CKVTToolbarShared::PlaySystemSound("MenuPopup");
    m_painted = false;
    const int hot = m_bar->GetHotButton();
    const uint32_t hotId = m_bar->Items().ItemID(hot);
    BuildBar();
    Place();
    if (hot >= 0)
        m_bar->SelectItem(m_bar->Items().CommandToIndex(hotId));
    show();
    if (CKVTToolBar* pb = m_parentButton->GetParentBar())
        pb->InvalidateButton(pb->Items().IndexOf(m_parentButton));
}

void CKVTPopupMenu::ChooseCommand(uint32_t id)
{
    if (Customizing() || id == 0 || id == KVT_POPUP_ID)
        return;
    if (ui::MainFrameBase* frame = FrameOf(m_owner))
        frame->SetMessageText(0xE001);
    if (m_handler) {
        const std::function<void(uint32_t)> handler = m_handler; // the popup closes first
        CloseChain();
        handler(id);
        return;
    }
    CloseChain();
    CKVTCommandUsage::Instance().AddCommand(id);
    CKVTToolbarShared::PlaySystemSound("MenuCommand");
    if (ui::IsSystemCommand(id))
        RunSystemCommand(id);
    else
        ui::PostCommand(id);
}

void CKVTPopupMenu::CloseLevel()
{
    if (!m_closedDone)
        close();
}

void CKVTPopupMenu::CloseChain()
{
    m_closing = true;
    if (!m_closedDone)
        close();
}

void CKVTPopupMenu::closeEvent(QCloseEvent* e)
{
    OnClosed();
    QWidget::closeEvent(e);
}

void CKVTPopupMenu::OnClosed(bool destroying)
{
    if (m_closedDone)
        return;
    m_closedDone = true;
    auto& open = OpenPopups();
    open.erase(std::remove(open.begin(), open.end(), this), open.end());
    // The open submenu closes first.
    if (CKVTPopupMenu* child = GetChildPopup())
        child->CloseLevel();
    const bool customize = Customizing();
    // The show-all button never reaches a stored list.
    for (int i = m_bar->Items().Count() - 1; i >= 0; --i)
        if (IsShowAllButton(m_bar->GetButton(i)))
            m_bar->RemoveButton(i);
    if (customize && !m_bar->m_locked) {
        if (m_parentButton)
            m_parentButton->SetSubItemsFrom(m_bar);
        else if (m_menu)
            CKVTMenuButtonCache::Instance().SaveMenuButtons(m_menu, m_bar);
    }
    CKVTPopupMenu* parentPopup = GetParentPopup();
    CKVTToolBar* parentBar = m_parentButton ? m_parentButton->GetParentBar() : nullptr;
    if (m_parentButton) {
        m_parentButton->SetPopupMenu(nullptr);
        if (parentBar) {
            const int index = parentBar->Items().IndexOf(m_parentButton);
            if (parentBar->Items().droppedDown == index)
                parentBar->Items().droppedDown = -1;
            parentBar->InvalidateButton(index);
        }
    }
    if (!(parentBar && (parentBar->IsPopupMenuBar() || parentBar->inherits("CKVTMenuBar"))))
        s_showAll = false;
    if (parentPopup && m_closing && !customize)
        parentPopup->CloseChain();
    // The whole menu closed (a command chosen, a click outside, Alt): the
    // menu bar's keyboard mode ends before a chosen command runs, so the
    // keys and the command go to the window that had the focus.
    if (m_closing && !customize)
        if (auto* menuBar = qobject_cast<CKVTMenuBar*>(parentBar))
            menuBar->EndKeyboardMode();
    // Destroyed with its owner's window: the frame may be half gone.
    if (!destroying)
        if (KvtFrameHooks* hooks = KvtFrameHooks::FromWidget(m_owner))
            hooks->OnPopupMenuClosed(this);
    emit closed();
}

bool CKVTPopupMenu::ForwardMouse(QMouseEvent* e, bool press)
{
    const QPoint global = e->globalPosition().toPoint();
    // The parent popups, then the bar that opened the chain.
    for (CKVTPopupMenu* p = GetParentPopup(); p; p = p->GetParentPopup()) {
        if (!p->geometry().contains(global))
            continue;
        if (press) {
            // Close the popups above that one.
            for (CKVTPopupMenu* q = this; q && q != p; q = q->GetParentPopup())
                q->CloseLevel();
        }
        CKVTPopupMenuBar* bar = p->GetMenuBar();
        QMouseEvent mapped(e->type(), bar->mapFromGlobal(global), global, e->button(), e->buttons(),
                           e->modifiers());
        QApplication::sendEvent(bar, &mapped);
        return true;
    }
    if (!press)
        if (CKVTToolBar* origin = GetChainOrigin())
            if (QRect(origin->mapToGlobal(QPoint(0, 0)), origin->size()).contains(global)) {
                QMouseEvent mapped(e->type(), origin->mapFromGlobal(global), global, e->button(),
                                   e->buttons(), e->modifiers());
                QApplication::sendEvent(origin, &mapped);
                return true;
            }
    return false;
}

void CKVTPopupMenu::mousePressEvent(QMouseEvent* e)
{
    e->accept();
    const QPoint global = e->globalPosition().toPoint();
    if (rect().contains(e->position().toPoint()) && m_final.contains(global))
        return; // the frame or a scroll area
    if (m_editPage || (Customizing()))
        return;
    // A press on the item that opened this popup: the submenu stays.
    if (m_parentButton)
        if (CKVTToolBar* pb = m_parentButton->GetParentBar())
            if (QRect(pb->mapToGlobal(m_parentButton->m_rect.topLeft()),
                      m_parentButton->m_rect.size())
                    .contains(global)) {
                // The item of a bar that opened the chain: a second click closes this level.
                if (!pb->IsPopupMenuBar())
                    CloseLevel();
                return;
            }
    if (ForwardMouse(e, true))
        return;
    CloseChain();
}

void CKVTPopupMenu::mouseDoubleClickEvent(QMouseEvent* e)
{
    const QPoint global = e->globalPosition().toPoint();
    if (m_parentButton)
        if (CKVTToolBar* pb = m_parentButton->GetParentBar())
            if (pb->inherits("CKVTMenuBar") &&
                QRect(pb->mapToGlobal(m_parentButton->m_rect.topLeft()),
                      m_parentButton->m_rect.size())
                    .contains(global)) {
                ShowAllCommands();
                return;
            }
    mousePressEvent(e);
}

void CKVTPopupMenu::mouseReleaseEvent(QMouseEvent* e)
{
    e->accept();
}

void CKVTPopupMenu::mouseMoveEvent(QMouseEvent* e)
{
    const QPoint local = e->position().toPoint();
    if (m_scroll) {
        const int dir = m_upArea.contains(local) ? -1 : m_downArea.contains(local) ? 1 : 0;
        if (dir != m_scrollDir) {
            if (m_scrollTimer)
                killTimer(m_scrollTimer);
            m_scrollTimer = 0;
            m_scrollDir = 0;
            if ((dir < 0 && m_bar->CanScrollUp()) || (dir > 0 && m_bar->CanScrollDown())) {
                m_scrollDir = dir;
                m_scrollTimer = startTimer(80);
            }
        }
    }
    if (Customizing() || rect().contains(local))
        return;
    ForwardMouse(e, false);
}

void CKVTPopupMenu::keyPressEvent(QKeyEvent* e)
{
    const bool customize = Customizing();
    CKVTPopupMenuBar* bar = m_bar;
    auto followScroll = [bar] {
        const int hot = bar->GetHotButton();
        if (hot >= 0 && hot < bar->GetFirstVisible())
            bar->SetFirstVisible(hot);
        else
            while (hot >= 0 && bar->GetButton(hot)->m_hidden && bar->CanScrollDown())
                bar->SetFirstVisible(bar->GetFirstVisible() + 1);
    };
    // A submenu that the mouse opened shows no highlight: the popup below
    // shows it on the item that opened the submenu, and the keys act there.
    if (!customize && e->key() != Qt::Key_Escape && bar->GetHotButton() < 0)
        if (CKVTPopupMenu* parent = GetParentPopup(); parent && parent->GetMenuBar()->GetHotButton() >= 0) {
            parent->keyPressEvent(e);
            return;
        }
    switch (e->key()) {
    case Qt::Key_Escape:
        CloseLevel();
        return;
    case Qt::Key_Alt:
        CloseChain();
        return;
    case Qt::Key_Left:
        if (GetParentPopup()) {
            CloseLevel();
        } else if (CKVTToolBar* origin = GetChainOrigin();
                   origin && origin->inherits("CKVTMenuBar")) {
            origin->DropDownPrevMenu();
        }
        return;
    case Qt::Key_Right: {
        CKVTToolbarButton* hot = bar->GetButton(bar->GetHotButton());
        if (hot && IsSubmenuItem(hot) && !(hot->m_style & TBBS_DISABLED)) {
            bar->RunHot(true);
            return;
        }
        CKVTToolBar* origin = GetChainOrigin();
        if (origin && origin->inherits("CKVTMenuBar"))
            origin->DropDownNextMenu();
        return;
    }
    case Qt::Key_Down:
        if (e->modifiers() & Qt::ControlModifier) {
            if (!bar->AllItemsShown())
                ShowAllCommands();
            return;
        }
        bar->MoveHot(1);
        followScroll();
        return;
    case Qt::Key_Up:
        bar->MoveHot(-1);
        followScroll();
        return;
    case Qt::Key_Home:
        bar->HotFirst();
        followScroll();
        return;
    case Qt::Key_End:
        bar->HotLast();
        followScroll();
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        bar->RunHot(true);
        return;
    default:
        break;
    }
    if (!customize && !e->text().isEmpty() &&
        !(e->modifiers() & (Qt::ControlModifier | Qt::AltModifier)))
        if (bar->OnMenuKey(e->text().at(0).unicode()))
            return;
    if (ui::MainFrameBase* frame = FrameOf(m_owner))
        if (frame->FindAccelerator(*e)) {
            CloseLevel(); // as Escape; the key runs nothing
            return;
        }
}

// --- drops (customisation mode) ------------------------------------------------

int CKVTPopupMenuBar::OnDragOver(const QMimeData* data, int keyState, const QPoint& point)
{
    if (m_locked)
        return DROPEFFECT_NONE;
    return CKVTToolBar::OnDragOver(data, keyState, point);
}

int CKVTPopupMenuBar::FindDropIndex(const QPoint& point, QRect& marker)
{
    KvtDropRules rules;
    const KvtDropPlace place = Layout().FindDropPlace(point, rules, false);
    marker = place.marker;
    if (!marker.isEmpty() && place.index >= 0) {
        // Across the whole popup.
        const QRect cr = contentsRect();
        marker.setLeft(cr.left());
        marker.setRight(cr.right());
    }
    return place.index;
}

void CKVTPopupMenuBar::DrawDragMarker(QPainter& p)
{
    const QRect r = Customizer().DropMarker();
    if (r.isEmpty())
        return;
    const CKVTDrawingData& dd = CKVTDrawingData::Instance();
    p.save();
    p.setPen(Qt::NoPen);
    p.setBrush(dd.Text());
    const int y = r.top() + r.height() / 2 - 1;
    p.drawRect(QRect(r.left() + 1, y, r.width() - 2, 2));
    p.drawRect(QRect(r.left() + 1, y - 2, 2, 6));
    p.drawRect(QRect(r.right() - 2, y - 2, 2, 6));
    p.restore();
}

std::unique_ptr<CKVTToolbarButton> CKVTPopupMenuBar::CreateDroppedButton(const QMimeData* data)
{
    std::unique_ptr<CKVTToolbarButton> dropped = CKVTToolBar::CreateDroppedButton(data);
    if (!dropped)
        return nullptr;
    const int image = dropped->HasImage() ? dropped->GetImage() : -1;
    const bool user = dropped->m_userImage;
    std::unique_ptr<CKVTToolbarButton> item;
    const CKVTToolbarButton& droppedButton = *dropped;
    if (typeid(droppedButton) == typeid(CKVTToolbarMenuButton)) {
        item = std::move(dropped); // keeps its sub-items
    } else {
        auto menu = std::make_unique<CKVTToolbarMenuButton>();
        menu->CopyFrom(*dropped);
        menu->m_style &= ~TBBS_SEPARATOR;
        item = std::move(menu);
    }
    if (item->m_text.isEmpty())
        SetDefaultButtonText(item.get());
    item->m_showText = true;
    item->m_userImage = user;
    if (image >= 0)
        item->SetImage(image);
    return item;
}
