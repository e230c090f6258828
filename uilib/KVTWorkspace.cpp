#include "uilib/KVTWorkspace.h"

#include "platform/ui/Menu.h"

namespace {
CKVTWorkspace* g_workspace = nullptr;
CKVTKeyboardManager* g_keyboard = nullptr;
} // namespace

CKVTKeyboardManager::CKVTKeyboardManager() { g_keyboard = this; }

CKVTKeyboardManager::~CKVTKeyboardManager()
{
    if (g_keyboard == this)
        g_keyboard = nullptr;
}

CKVTKeyboardManager* CKVTKeyboardManager::Instance() { return g_keyboard; }

bool CKVTKeyboardManager::FindDefaultAccelerator(uint32_t, QString&, QWidget*) { return false; }

CKVTWorkspace::CKVTWorkspace() { g_workspace = this; }

CKVTWorkspace::~CKVTWorkspace()
{
    if (g_workspace == this)
        g_workspace = nullptr;
}

CKVTWorkspace* CKVTWorkspace::Instance() { return g_workspace; }

bool CKVTWorkspace::InitContextMenuManager()
{
    if (m_contextMenus)
        return false;
    m_contextMenus = std::make_unique<CKVTContextMenuManager>();
    return true;
}

CKVTContextMenuManager* CKVTWorkspace::GetContextMenuManager()
{
    if (!m_contextMenus)
        InitContextMenuManager();
    return m_contextMenus.get();
}

bool CKVTWorkspace::InitKeyboardManager()
{
    if (m_keyboard)
        return false;
    m_keyboard = std::make_unique<CKVTKeyboardManager>();
    return true;
}

bool CKVTWorkspace::ShowPopupMenu(uint32_t menuId, const QPoint& screenPoint, QWidget* owner)
{
    CKVTContextMenuManager* m = m_contextMenus.get();
    return m && m->ShowPopupMenu(menuId, screenPoint.x(), screenPoint.y(), owner);
}
