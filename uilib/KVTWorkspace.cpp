#include "uilib/KVTWorkspace.h"

#include "platform/ui/Menu.h"

bool CKVTContextMenuManager::AddMenu(const QString& name, uint32_t menuId)
{
    if (!ui::Menu::Load(menuId))
        return false;
    m_menus.emplace_back(name, menuId);
    return true;
}

CKVTWorkspace::CKVTWorkspace() = default;
CKVTWorkspace::~CKVTWorkspace() = default;

bool CKVTWorkspace::InitContextMenuManager()
{
    if (m_contextMenus)
        return false;
    m_contextMenus = std::make_unique<CKVTContextMenuManager>();
    return true;
}

bool CKVTWorkspace::InitKeyboardManager()
{
    if (m_keyboard)
        return false;
    m_keyboard = std::make_unique<CKVTKeyboardManager>();
    return true;
}

bool CKVTWorkspace::ShowPopupMenu(uint32_t, const QPoint&, QWidget*) { return false; }
