#include "uilib/KVTFrameWnd.h"

#include "platform/ui/Document.h"
#include "platform/ui/Help.h"
#include "platform/ui/Menu.h"
#include "platform/ui/Modal.h"
#include "res/CommandIds.h"
#include "uilib/KVTCommandUsage.h"
#include "uilib/KVTDocking.h"
#include "uilib/KVTMenuBar.h"
#include "uilib/KVTPopupMenu.h"
#include "uilib/KVTToolBar.h"
#include "uilib/KVTToolbarMenuButton.h"

#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QApplication>
#include <QEventLoop>
#include <QMouseEvent>
#include <QTimer>

CKVTFrameBase::CKVTFrameBase(QWidget* parent) : ui::MainFrameBase(parent), m_helper(this)
{
    // The MDI area moves into the frame client (setCentralWidget would
    // delete it).
    QWidget* area = takeCentralWidget();
    m_helper.InstallClient(area);
    // Customisation mode refuses every command.
    ui::SetCommandGate([](uint32_t) { return !CKVTToolbarShared::IsCustomizeMode(); });
    // Show or hide the bar with this id.
    MapCommandRange(0xE800, 0xE8FF, [this](uint32_t id) {
        if (ui::ControlBar* bar = GetControlBar(id))
            ShowControlBar(bar, !bar->IsVisible(), false);
    });
    MapUpdateRange(0xE800, 0xE8FF, [this](ui::CmdUI& cmd) {
        ui::ControlBar* bar = GetControlBar(cmd.Id());
        cmd.Enable(bar != nullptr);
        cmd.SetCheck(bar && bar->IsVisible() ? 1 : 0);
    });
    MapCommand(ID_CONTEXT_HELP, [this] { OnContextHelp(); });
}

CKVTFrameBase::~CKVTFrameBase()
{
    ui::SetCommandGate({});
}

bool CKVTFrameBase::PreCreateWindow(CreateStruct& cs)
{
    return m_helper.OnPreCreateFrame(cs);
}

bool CKVTFrameBase::LoadFrame(uint32_t resourceId, uint32_t style)
{
    m_resId = resourceId;
    CreateStruct cs;
    const QRect g = geometry();
    cs.x = g.x();
    cs.y = g.y();
    cs.cx = g.width();
    cs.cy = g.height();
    cs.style = style;
    if (!PreCreateWindow(cs))
        return false;
    setGeometry(cs.x, cs.y, cs.cx, cs.cy);
    ui::MainFrameBase::LoadFrame(resourceId);
    if (!OnCreateClient() || OnCreate() == -1)
        return false;
    m_helper.OnLoadFrame();
    return true;
}

void CKVTFrameBase::ActivateFrame(int cmd)
{
    if (cmd == -1)
        cmd = m_helper.ShowCmdDecided() >= 0 ? m_helper.ShowCmdDecided()
              : ui::Application::Instance()  ? ui::Application::Instance()->m_nCmdShow
                                             : 1;
    if (cmd == 3)
        showMaximized();
    else if (cmd == 2 || cmd == 6 || cmd == 7)
        showMinimized();
    else
        showNormal();
}

void CKVTFrameBase::showEvent(QShowEvent* e)
{
    ui::MainFrameBase::showEvent(e);
    if (m_shownOnce || e->spontaneous())
        return;
    m_shownOnce = true;
    // Floating frames restored with the layout were shown before the frame
    // had a window of its own, so the window manager does not know them as
    // the frame's and stacks the frame over them: shown again now, they
    // stay above it, where their captions can be grabbed.
    // Once the frame's own window is up (after this event), not before.
    QTimer::singleShot(0, this, [this] {
        for (ui::ControlBar* bar : m_helper.ControlBars())
            if (CKVTMiniDockFrameWnd* mini = m_helper.MiniFrameOf(bar); mini && mini->isVisible()) {
                mini->hide();
                mini->show();
            }
    });
}

bool CKVTFrameBase::ShowPopupMenu(CKVTPopupMenu* popup)
{
    m_helper.OnShowPopupMenu(popup);
    ui::Menu* menu = popup ? popup->GetMenu() : nullptr;
    if (CKVTToolbarShared::IsCustomizeMode() || !menu)
        return OnShowPopupMenu(popup);
    for (uint32_t id = ID_WINDOW_FIRST; id <= ID_WINDOW_LAST; ++id)
        if (menu->IndexOf(id) >= 0) {
            AppendWindowList(popup);
            break;
        }
    return OnShowPopupMenu(popup);
}

namespace {

// Waits for the click of context help; the widget under it, or null for
// Escape, a right click or losing the application.
class HelpClickWatch : public QObject
{
public:
    QEventLoop loop;
    QPointer<QWidget> target;
    QPoint global;
    bool given = false;

protected:
    bool eventFilter(QObject* watched, QEvent* e) override
    {
        if (!watched->isWidgetType())
            return false; // a window passes the click on to its widget
        switch (e->type()) {
        case QEvent::MouseButtonPress: {
            auto* me = static_cast<QMouseEvent*>(e);
            if (me->button() == Qt::LeftButton) {
                given = true;
                target = qobject_cast<QWidget*>(watched);
                global = me->globalPosition().toPoint();
            }
            loop.quit();
            return true;
        }
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
            return true;
        case QEvent::KeyPress:
            if (static_cast<QKeyEvent*>(e)->key() == Qt::Key_Escape) {
                loop.quit();
                return true;
            }
            return false;
        case QEvent::ApplicationDeactivate:
            loop.quit();
            return false;
        default:
            return false;
        }
    }
};

} // namespace

namespace {

// The bar of an open popup of the chain that holds a global point.
CKVTPopupMenuBar* PopupBarAt(QPoint global)
{
    for (CKVTPopupMenu* p = CKVTPopupMenu::ActivePopup(); p; p = p->GetParentPopup())
        if (CKVTPopupMenuBar* b = p->GetMenuBar();
            b && QRect(b->mapToGlobal(QPoint(0, 0)), b->size()).contains(global))
            return b;
    return nullptr;
}

} // namespace

uint32_t CKVTFrameBase::HelpForClick(QWidget* target, QPoint global, bool& goOn)
{
    goOn = false;
    CKVTToolBar* bar = qobject_cast<CKVTToolBar*>(target);
    if (CKVTPopupMenu* open = CKVTPopupMenu::ActivePopup()) {
        // A popup is open (a menu button opened it in help mode): its items
        // give their help; a click outside the chain closes it.
        bar = PopupBarAt(global);
        if (!bar) {
            open->CloseChain();
            goOn = true;
            return 0;
        }
    }
    if (!bar)
        return 0x20000 + m_resId;
    const int index = bar->HitTest(bar->mapFromGlobal(global));
    CKVTToolbarButton* b = bar->GetButton(index);
    if (bar->IsPopupMenuBar()) {
        auto* item = dynamic_cast<CKVTToolbarMenuButton*>(b);
        if (item && !item->SubItems().empty() && !(item->m_style & TBBS_DISABLED)) {
            // A submenu opens; help mode goes on.
            item->OnContextHelp(bar);
            goOn = true;
            return 0;
        }
        if (!b || b->IsSeparator() || b->m_id == 0 || b->m_id == KVT_POPUP_ID) {
            goOn = true;
            return 0;
        }
        // The chosen item gives its help instead of running.
        const uint32_t help = 0x10000 + b->m_id;
        if (CKVTPopupMenu* open = CKVTPopupMenu::ActivePopup())
            open->CloseChain();
        return help;
    }
    if (b && b->OnContextHelp(bar)) {
        // A menu button opened its popup; help mode goes on.
        goOn = true;
        return 0;
    }
    if (b && b->m_id)
        return 0x10000 + b->m_id;
    return 0x20000 + m_resId;
}

void CKVTFrameBase::OnContextHelp()
{
    if (m_helpMode)
        return;
    m_helpMode = true;
    CKVTToolbarShared::SetMouseHook(true);
    QApplication::setOverrideCursor(Qt::WhatsThisCursor);
    uint32_t help = 0;
    {
        HelpClickWatch watch;
        qApp->installEventFilter(&watch);
        ui::NestedLoopScope scope;
        for (bool goOn = true; goOn;) {
            watch.given = false;
            watch.target = nullptr;
            watch.loop.exec();
            goOn = false;
            if (watch.given)
                help = HelpForClick(watch.target.data(), watch.global, goOn);
        }
        qApp->removeEventFilter(&watch);
    }
    // Escape or a right click with a menu open: the menu closes too.
    if (CKVTPopupMenu* open = CKVTPopupMenu::ActivePopup())
        if (KvtFrameHooks::FromWidget(open->GetOwner()) == static_cast<KvtFrameHooks*>(this))
            open->CloseChain();
    QApplication::restoreOverrideCursor();
    CKVTToolbarShared::SetMouseHook(false);
    m_helpMode = false;
    if (help)
        WinHelp(help, ui::HELP_CONTEXT);
}

bool CKVTFrameBase::WinHelp(uint32_t data, uint32_t command)
{
    if (data == 0 && m_helpMode && !m_helpAgain) {
        // Help mode once more, never recursively.
        m_helpAgain = true;
        m_helpMode = false;
        OnContextHelp();
        m_helpMode = true;
        m_helpAgain = false;
        return true;
    }
    return ui::WinHelp(ui::Application::HelpFilePath(), command, QVariant(data));
}

void CKVTFrameBase::AddControlBar(ui::ControlBar* bar)
{
    m_helper.AddControlBar(bar);
    if (auto* menuBar = qobject_cast<CKVTMenuBar*>(bar); menuBar && !m_helper.GetMenuBar()) {
        m_helper.SetMenuBar(menuBar);
        menuBar->SetMenuResourceId(m_resId ? m_resId : GetFrameResourceId());
        if (GetDefaultMenu())
            menuBar->CreateFromMenu(GetDefaultMenu(), true);
        if (GetActiveMenu() && GetActiveMenu() != GetDefaultMenu())
            menuBar->CreateFromMenu(GetActiveMenu(), false);
    }
}

void CKVTFrameBase::OnActiveMenuChanged(ui::Menu* menu)
{
    if (CKVTMenuBar* bar = m_helper.GetMenuBar())
        bar->CreateFromMenu(menu ? menu : GetDefaultMenu(), menu == GetDefaultMenu());
}

bool CKVTFrameBase::OnMenuAltKey()
{
    CKVTMenuBar* bar = m_helper.GetMenuBar();
    if (!bar)
        return false;
    if (m_helper.OpenPopup())
        return true;   // swallowed while a popup is open
    if (bar->hasFocus()) {
        QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QCoreApplication::sendEvent(bar, &esc);
    } else {
        bar->EnterKeyboardMode();
    }
    return true;
}

bool CKVTFrameBase::OnMenuChar(QChar c)
{
    CKVTMenuBar* bar = m_helper.GetMenuBar();
    return bar && bar->OnMenuChar(c);
}

bool CKVTFrameBase::HasMenuMnemonic(QChar c) const
{
    const CKVTMenuBar* bar = m_helper.GetMenuBar();
    return bar && bar->isVisible() && bar->Items().FindMnemonic(c);
}

void CKVTFrameBase::OnClose()
{
    // An open customisation sheet closes first, so that what it stores on
    // closing is saved too.
    if (QWidget* sheet = CKVTFrameHelper::CustomizeSheet())
        sheet->close();
    m_helper.OnClosingMainFrame();
}

void CKVTFrameBase::closeEvent(QCloseEvent* e)
{
    if (!m_closing) {
        m_closing = true;
        OnClose();
        m_closing = false;
    }
    ui::MainFrameBase::closeEvent(e);
}

namespace {

// The keys an open popup uses itself.
bool PopupUsesKey(const QKeyEvent* e)
{
    switch (e->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return true;
    default:
        break;
    }
    const Qt::KeyboardModifiers mods = e->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier);
    return mods == Qt::NoModifier && !e->text().isEmpty() && e->text().at(0).isPrint();
}

} // namespace

bool CKVTFrameBase::RouteHostedControlPress(QWidget* receiver, QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton ||
        !(CKVTToolbarShared::IsCustomizeMode() || (e->modifiers() & Qt::AltModifier)))
        return false;
    QWidget* top = receiver->window();
    if (top != this && !(qobject_cast<CKVTMiniDockFrameWnd*>(top) &&
                         KvtFrameHooks::FromWidget(receiver) == static_cast<KvtFrameHooks*>(this)))
        return false;
    // The first toolbar with a button at the point: when that button hosts
    // the pressed control, the toolbar takes the press (it may start a drag
    // of the button).
    const QPoint global = e->globalPosition().toPoint();
    for (CKVTToolBar* bar : CKVTToolbarShared::AllBars()) {
        if (!bar->IsCreated())
            continue;
        const QPoint local = bar->mapFromGlobal(global);
        CKVTToolbarButton* b = bar->GetButton(bar->HitTest(local));
        if (!b)
            continue;
        QWidget* control = b->GetHwnd();
        if (!control || !(control == receiver || control->isAncestorOf(receiver)) ||
            !b->m_rect.contains(local))
            return false;
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(local), e->globalPosition(),
                          e->button(), e->buttons(), e->modifiers());
        QApplication::sendEvent(bar, &press);
        return true;
    }
    return false;
}

bool CKVTFrameBase::eventFilter(QObject* watched, QEvent* e)
{
    if (e->type() == QEvent::MouseButtonPress && watched->isWidgetType() &&
        !QApplication::activeModalWidget() &&
        RouteHostedControlPress(static_cast<QWidget*>(watched), static_cast<QMouseEvent*>(e))) {
        ui::MainFrameBase::eventFilter(watched, e); // a click ends "Alt alone"
        return true;
    }
    if ((e->type() == QEvent::KeyPress || e->type() == QEvent::ShortcutOverride) && watched->isWidgetType() &&
        !QApplication::activeModalWidget()) {
        CKVTPopupMenu* popup = CKVTPopupMenu::ActivePopup();
        auto* w = static_cast<QWidget*>(watched);
        auto* ke = static_cast<QKeyEvent*>(e);
        // The menu bar's keyboard mode takes its keys before the
        // accelerators of the active window (a text view's arrows).
        if (CKVTMenuBar* bar = m_helper.GetMenuBar(); bar && w == bar && bar->TakesKey(*ke)) {
            if (e->type() == QEvent::ShortcutOverride) {
                e->accept();
                return true;
            }
            return false; // to the bar, past the translation of the accelerators
        }
        if (popup && w->window() == popup->window() && KvtFrameHooks::FromWidget(popup->GetOwner()) == this) {
            // Alt with a popup open closes the chain.
            if (ke->key() == Qt::Key_Alt) {
                if (e->type() == QEvent::KeyPress)
                    popup->CloseChain();
                return true;
            }
            if (!PopupUsesKey(ke))
                if (const uint32_t cmd = FindAccelerator(*ke)) {
                    if (e->type() == QEvent::ShortcutOverride) {
                        e->accept();
                        return true;
                    }
                    CKVTCommandUsage::Instance().AddCommand(cmd);
                    QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
                    QApplication::sendEvent(popup, &esc);
                    return true;
                }
        } else if (w->window() == this || qobject_cast<CKVTMiniDockFrameWnd*>(w->window())) {
            // The frame's accelerators come before Qt's shortcuts (the MDI
            // area's own Ctrl+Tab included); each one run is counted.
            if (const uint32_t cmd = FindAccelerator(*ke)) {
                if (e->type() == QEvent::ShortcutOverride) {
                    e->accept();
                    return false;
                }
                CKVTCommandUsage::Instance().AddCommand(cmd);
            } else if (e->type() == QEvent::KeyPress && !popup && RequestContextMenu(w, ke)) {
                return true;
            }
        }
    }
    return ui::MainFrameBase::eventFilter(watched, e);
}

bool CKVTFrameBase::RequestContextMenu(QWidget* w, const QKeyEvent* e)
{
    if (e->key() != Qt::Key_F10 || (e->modifiers() & ~Qt::KeypadModifier) != Qt::ShiftModifier)
        return false;
    // As the context-menu key does: the request goes to the focus widget
    // and on up its parents; the key goes on unless a menu opened.
    const QPoint at(5, 5);
    QContextMenuEvent request(QContextMenuEvent::Keyboard, at, w->mapToGlobal(at), e->modifiers());
    QApplication::sendEvent(w, &request);
    return QApplication::activePopupWidget() != nullptr;
}

bool CKVTFrameBase::IsFrameworkCommand(uint32_t id)
{
    return (id >= ID_FILE_MRU_FIRST && id <= ID_FILE_MRU_LAST) ||
           (id >= ID_SYSTEM_FIRST && id <= ID_SYSTEM_LAST) || id >= ID_TRANSIENT_FIRST ||
           (id >= ID_VERB_FIRST && id <= ID_VERB_LAST);
}

// --- CKVTMDIFrameWnd ----------------------------------------------------------------

CKVTMDIFrameWnd::CKVTMDIFrameWnd(QWidget* parent) : CKVTFrameBase(parent)
{
    // The Window commands, while a child exists.
    MapCommandRange(ID_MDI_CHILD_FIRST, ID_MDI_CHILD_LAST, [this](uint32_t id) {
        const QList<QMdiSubWindow*> children = Children();
        const int n = int(id - ID_MDI_CHILD_FIRST);
        if (n < children.size())
            MdiArea()->setActiveSubWindow(children[n]);
    });
    MapUpdateRange(ID_MDI_CHILD_FIRST, ID_MDI_CHILD_LAST, [this](ui::CmdUI& cmd) {
        cmd.Enable(int(cmd.Id() - ID_MDI_CHILD_FIRST) < Children().size());
    });
    MapCommand(ID_WINDOW_CASCADE, [this] { MdiArea()->cascadeSubWindows(); });
    for (uint32_t id : {ID_WINDOW_ARRANGE, ID_WINDOW_TILE_HORZ, ID_WINDOW_TILE_VERT})
        MapCommand(id, [this] { MdiArea()->tileSubWindows(); });
    MapCommand(ID_WINDOW_NEW, [this] {
        ui::ChildFrame* active = MDIGetActive();
        ui::Document* doc = active ? active->GetActiveDocument() : nullptr;
        if (doc && doc->GetDocTemplate())
            if (ui::ChildFrame* f = doc->GetDocTemplate()->CreateNewFrame(doc, active))
                doc->GetDocTemplate()->InitialUpdateFrame(f, doc);
    });
    for (uint32_t id :
         {ID_WINDOW_NEW, ID_WINDOW_ARRANGE, ID_WINDOW_CASCADE, ID_WINDOW_TILE_HORZ, ID_WINDOW_TILE_VERT})
        MapUpdate(id, [this](ui::CmdUI& cmd) { cmd.Enable(!Children().isEmpty()); });
    connect(MdiArea(), &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow* child) {
        if (child && !child->property("kvt_state_watched").toBool()) {
            child->setProperty("kvt_state_watched", true);
            connect(child, &QMdiSubWindow::windowStateChanged, this, [this] { UpdateMaximizeMode(); });
        }
        UpdateMaximizeMode();
    });
}

ui::Menu* CKVTMDIClientWnd::CurrentMenu() const
{
    if (auto* child = qobject_cast<ui::ChildFrame*>(m_frame->MdiArea()->currentSubWindow()))
        if (ui::Document* doc = child->GetActiveDocument())
            if (ui::DocTemplate* t = doc->GetDocTemplate())
                if (ui::Menu* m = t->GetSharedMenu())
                    return m;
    return m_frame->GetDefaultMenu();
}

void CKVTMDIClientWnd::Update()
{
    CKVTMenuBar* bar = m_frame->GetMenuBar();
    ui::Menu* menu = CurrentMenu();
    if (!bar || !menu || menu == m_shown)
        return;
    m_shown = menu;
    bar->CreateFromMenu(menu, menu == m_frame->GetDefaultMenu());
}

void CKVTMDIFrameWnd::OnActiveMenuChanged(ui::Menu*)
{
    m_clientWnd.Update();
}

QList<QMdiSubWindow*> CKVTMDIFrameWnd::Children() const
{
    return MdiArea()->subWindowList(QMdiArea::CreationOrder);
}

void CKVTMDIFrameWnd::AppendWindowList(CKVTPopupMenu* popup)
{
    CKVTPopupMenuBar* bar = popup->GetMenuBar();
    const QList<QMdiSubWindow*> children = Children();
    if (!bar || children.isEmpty())
        return;
    bar->InsertSeparator();
    QMdiSubWindow* current = MdiArea()->currentSubWindow();
    for (int i = 0; i < children.size(); ++i) {
        const int n = i + 1;
        const QString text = (n < 10 ? QStringLiteral("&%1 ").arg(n) : QStringLiteral("%1 ").arg(n)) +
                             children[i]->windowTitle();
        auto button =
            std::make_unique<CKVTToolbarButton>(ID_MDI_CHILD_FIRST + uint32_t(i), -1, text);
        if (children[i] == current)
            button->m_style |= TBBS_CHECKED;
        bar->InsertButton(std::move(button));
    }
}

void CKVTMDIFrameWnd::UpdateMaximizeMode()
{
    CKVTMenuBar* bar = m_helper.GetMenuBar();
    if (m_inMaximizeUpdate || !bar)
        return;
    m_inMaximizeUpdate = true;
    QMdiSubWindow* active = MdiArea()->currentSubWindow();
    for (QMdiSubWindow* child : MdiArea()->subWindowList())
        if (auto* frame = qobject_cast<ui::ChildFrame*>(child))
            frame->SetFrameless(child->isMaximized());
    bar->SetMaximizeMode(active && active->isMaximized(), active);
    m_inMaximizeUpdate = false;
}

// --- CKVTFrameWnd ------------------------------------------------------------------

CKVTFrameWnd::CKVTFrameWnd(QWidget* parent) : CKVTFrameBase(parent)
{
    // The MDI area stays unused and hidden.
    if (QWidget* area = m_helper.Client()->Center()) {
        area->hide();
        area->setParent(this);
        area->hide();
    }
    m_helper.Client()->SetCenter(nullptr);
}

void CKVTFrameWnd::SetView(QWidget* view)
{
    m_view = view;
    m_helper.Client()->SetCenter(view);
}
