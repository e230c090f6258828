#include "uilib/KVTWorkspace.h"

#include "platform/ui/App.h"
#include "platform/ui/Beep.h"
#include "platform/ui/Command.h"
#include "uilib/KVTArchiveClasses.h"
#include "uilib/KVTFrameHelper.h"
#include "uilib/KVTMenuBar.h"
#include "uilib/KVTRegistryKey.h"
#include "uilib/KVTSizingControlBar.h"
#include "uilib/KVTToolBar.h"
#include "uilib/KVTToolbarImageList.h"
#include "uilib/KVTRebar.h"

#include <QMainWindow>
#include <QWidget>

namespace {
CKVTWorkspace* g_workspace = nullptr;
} // namespace

CKVTWorkspace::CKVTWorkspace()
{
    g_workspace = this;
    RegisterKVTArchiveClasses();
}

CKVTWorkspace::~CKVTWorkspace()
{
    if (g_workspace == this)
        g_workspace = nullptr;
    delete m_ownKeyboard;
    delete m_ownContextMenus;
    delete m_ownMouse;
}

CKVTWorkspace* CKVTWorkspace::Instance() { return g_workspace; }

QString CKVTWorkspace::WorkspacePath()
{
    return GetRegPath(QStringLiteral("KVTWorkspace"), QString());
}

bool CKVTWorkspace::InitContextMenuManager()
{
    if (CKVTContextMenuManager::Instance())
        return false;
    m_ownContextMenus = new CKVTContextMenuManager;
    return true;
}

bool CKVTWorkspace::InitKeyboardManager()
{
    if (CKVTKeyboardManager::Instance())
        return false;
    m_ownKeyboard = new CKVTKeyboardManager;
    return true;
}

bool CKVTWorkspace::InitMouseManager()
{
    if (CKVTMouseManager::Instance())
        return false;
    m_ownMouse = new CKVTMouseManager;
    return true;
}

CKVTContextMenuManager* CKVTWorkspace::GetContextMenuManager()
{
    if (!CKVTContextMenuManager::Instance())
        InitContextMenuManager();
    return CKVTContextMenuManager::Instance();
}

CKVTMouseManager* CKVTWorkspace::GetMouseManager()
{
    if (!CKVTMouseManager::Instance())
        InitMouseManager();
    return CKVTMouseManager::Instance();
}

namespace {

// The bars that the workspace loads and saves itself: live, unlocked,
// not popup menu bars, not user toolbars, of the helper's frame.
std::vector<CKVTToolBar*> WorkspaceBars(CKVTFrameHelper* helper)
{
    std::vector<CKVTToolBar*> out;
    for (CKVTToolBar* bar : CKVTToolbarShared::AllBars()) {
        if (!bar->IsCreated() || bar->IsLocked() || bar->IsPopupMenuBar() || helper->IsUserToolbar(bar))
            continue;
        if (bar->GetOwner() != helper->Frame())
            continue;
        out.push_back(bar);
    }
    return out;
}

QString Nullable(const QString* s)
{
    return s ? *s : QString();
}

} // namespace

bool CKVTWorkspace::LoadState(const QString* section, CKVTFrameHelper* helper)
{
    if (section)
        m_section = *section;
    OnBeforeLoadState();
    CKVTToolbarStore::LoadParameters(Nullable(section));
    if (helper) {
        for (CKVTToolBar* bar : WorkspaceBars(helper))
            bar->LoadState(Nullable(section), -1, 0xFFFFFFFF);
        CKVTSizingControlBar::LoadAllStates(m_section + QStringLiteral("\\SizingBars"));
        helper->LoadUserToolbars();
        helper->LoadDockState(m_section + QStringLiteral("\\ControlBars"));
        LoadRebarsState(helper->Frame(), WorkspacePath());
    }
    if (CKVTMouseManager* m = CKVTMouseManager::Instance())
        m->LoadState(section);
    if (CKVTContextMenuManager* m = CKVTContextMenuManager::Instance())
        m->LoadState(Nullable(section));
    if (CKVTKeyboardManager* m = CKVTKeyboardManager::Instance())
        m->LoadState(section, helper ? qobject_cast<ui::MainFrameBase*>(helper->Frame()) : nullptr);
    OnAfterLoadState();
    return true;
}

bool CKVTWorkspace::SaveState(const QString* section, CKVTFrameHelper* helper)
{
    if (section)
        m_section = *section;
    OnBeforeSaveState();
    CKVTToolbarStore::SaveParameters(Nullable(section));
    if (helper) {
        helper->SaveDockState(m_section + QStringLiteral("\\ControlBars"));
        for (CKVTToolBar* bar : WorkspaceBars(helper))
            bar->SaveState(Nullable(section), -1, 0xFFFFFFFF);
        CKVTSizingControlBar::SaveAllStates(m_section + QStringLiteral("\\SizingBars"));
        helper->SaveUserToolbars();
        SaveRebarsState(helper->Frame(), WorkspacePath());
    }
    if (CKVTToolbarImageList* images = CKVTToolbarShared::GetUserImages(); images && images->IsModified())
        images->Save();
    if (CKVTMouseManager* m = CKVTMouseManager::Instance())
        m->SaveState(section);
    if (CKVTContextMenuManager* m = CKVTContextMenuManager::Instance())
        m->SaveState(Nullable(section));
    if (CKVTKeyboardManager* m = CKVTKeyboardManager::Instance())
        m->SaveState(section, helper ? qobject_cast<ui::MainFrameBase*>(helper->Frame()) : nullptr);
    OnAfterSaveState();
    return true;
}

bool CKVTWorkspace::CleanState(const QString* section)
{
    if (section)
        m_section = *section;
    CKVTRegistryKey key;
    return key.DeleteKey(WorkspacePath());
}

void CKVTWorkspace::OnClosingMainFrame(CKVTFrameHelper* helper)
{
    SaveState(nullptr, helper);
}

bool CKVTWorkspace::OnViewDoubleClick(QWidget* view, int viewId)
{
    CKVTMouseManager* mouse = CKVTMouseManager::Instance();
    if (!mouse)
        return false;
    const uint32_t command = mouse->GetViewDblClickCommand(viewId);
    if (command == 0 || command == 0xFFFFFFFF) {
        ui::MessageBeep(0xFFFFFFFF);
        return false;
    }
    std::vector<ui::CommandTarget*> route;
    if (view) {
        for (QWidget* w = view; w; w = w->parentWidget())
            if (auto* t = dynamic_cast<ui::CommandTarget*>(w))
                route.push_back(t);
        if (ui::Application* app = ui::Application::Instance())
            route.push_back(app);
    } else {
        route = ui::CurrentRoute();
    }
    ui::SendCommandTo(route, command);
    return true;
}

bool CKVTWorkspace::ShowPopupMenu(uint32_t menuId, const QPoint& screenPoint, QWidget* owner)
{
    CKVTContextMenuManager* m = CKVTContextMenuManager::Instance();
    return m && m->ShowPopupMenu(menuId, screenPoint.x(), screenPoint.y(), owner);
}

bool CKVTWorkspace::LoadWindowPlacement(QRect& rect, uint32_t& flags, uint32_t& showCmd)
{
    CKVTRegistryKey key(false, true);
    if (!key.Open(WorkspacePath() + QStringLiteral("WindowPlacement")))
        return false;
    QRect r;
    uint32_t f = 0, s = 0;
    if (!key.Read(QStringLiteral("MainWindowRect"), r) || !key.Read(QStringLiteral("Flags"), f) ||
        !key.Read(QStringLiteral("ShowCmd"), s))
        return false;
    rect = r;
    flags = f;
    showCmd = s;
    return true;
}

bool CKVTWorkspace::StoreWindowPlacement(const QRect& rect, uint32_t flags, uint32_t showCmd)
{
    if (ui::Application::RunsWithoutDisplay())
        return true; // no window layout of a run without a display
    CKVTRegistryKey key;
    if (!key.CreateKey(WorkspacePath() + QStringLiteral("WindowPlacement")))
        return false;
    return key.Write(QStringLiteral("MainWindowRect"), rect) && key.Write(QStringLiteral("Flags"), flags) &&
           key.Write(QStringLiteral("ShowCmd"), showCmd);
}
