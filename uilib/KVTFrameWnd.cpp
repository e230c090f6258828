#include "uilib/KVTFrameWnd.h"

#include "platform/ui/Document.h"
#include "uilib/KVTDocking.h"
#include "uilib/KVTMenuBar.h"
#include "uilib/KVTToolBar.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QMdiArea>
#include <QMdiSubWindow>

CKVTFrameBase::CKVTFrameBase(QWidget* parent) : ui::MainFrameBase(parent), m_helper(this)
{
    // The MDI area moves into the frame client (setCentralWidget would
    // delete it).
    QWidget* area = takeCentralWidget();
    m_helper.InstallClient(area);
    // Customisation mode refuses every command.
    ui::SetCommandGate([](uint32_t) { return !CKVTToolBar::IsCustomizeMode(); });
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

bool CKVTFrameBase::ShowPopupMenu(CKVTPopupMenu* popup)
{
    m_helper.OnShowPopupMenu(popup);
    return OnShowPopupMenu(popup);
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

bool CKVTFrameBase::IsFrameworkCommand(uint32_t id)
{
    return (id >= 57616 && id <= 57631) || (id >= 61440 && id <= 61935) || id >= 65280 ||
           (id >= 57872 && id <= 57887);
}

// --- CKVTMDIFrameWnd ----------------------------------------------------------------

CKVTMDIFrameWnd::CKVTMDIFrameWnd(QWidget* parent) : CKVTFrameBase(parent)
{
    connect(MdiArea(), &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow* child) {
        if (child && !child->property("kvt_state_watched").toBool()) {
            child->setProperty("kvt_state_watched", true);
            connect(child, &QMdiSubWindow::windowStateChanged, this, [this] { UpdateMaximizeMode(); });
        }
        UpdateMaximizeMode();
    });
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
