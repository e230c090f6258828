#include "uilib/KVTContextMenuManager.h"

#include "platform/ui/Menu.h"
#include "res/StringTable.h"
#include "uilib/KVTMenuButtonCache.h"
#include "uilib/KVTPopupMenu.h"
#include "uilib/KVTRegistryKey.h"

#include <QWidget>

namespace {
CKVTContextMenuManager* g_manager = nullptr;
}

CKVTContextMenuManager::CKVTContextMenuManager()
{
    g_manager = this;
}

CKVTContextMenuManager::~CKVTContextMenuManager()
{
    if (g_manager == this)
        g_manager = nullptr;
}

CKVTContextMenuManager* CKVTContextMenuManager::Instance()
{
    return g_manager;
}

bool CKVTContextMenuManager::AddMenu(const QString& name, uint32_t menuId)
{
    std::unique_ptr<ui::Menu> menu = ui::Menu::Load(menuId & 0xFFFF);
    if (!menu || m_byId.count(menuId))
        return false;
    ui::Menu* raw = menu.get();
    m_byId[menuId] = std::move(menu);
    m_order.push_back(menuId);
    m_byName[name] = raw;
    if (!m_names.contains(name))
        m_names.append(name);
    return true;
}

bool CKVTContextMenuManager::AddMenu(uint32_t nameStringId, uint32_t menuId)
{
    return AddMenu(LoadResString(nameStringId), menuId);
}

ui::Menu* CKVTContextMenuManager::GetMenuById(uint32_t menuId) const
{
    auto it = m_byId.find(menuId);
    return it == m_byId.end() ? nullptr : it->second.get();
}

ui::Menu* CKVTContextMenuManager::GetMenuByName(const QString& name) const
{
    auto it = m_byName.find(name);
    return it == m_byName.end() ? nullptr : it->second;
}

void CKVTContextMenuManager::GetMenuNames(QStringList& names) const
{
    names = m_names;
}

bool CKVTContextMenuManager::ShowPopupMenu(uint32_t menuId, int x, int y, QWidget* owner)
{
    ui::Menu* menu = GetMenuById(menuId);
    if (!menu)
        return false;
    if (x == -1 && y == -1 && owner) {
        const QPoint p = owner->mapToGlobal(QPoint(0, 0)) + QPoint(5, 5);
        x = p.x();
        y = p.y();
    }
    ui::Menu* sub = menu->SubMenu(0);
    if (!sub)
        return false;
    return TrackPopupMenu(sub, x, y, owner);
}

bool CKVTContextMenuManager::TrackPopupMenu(ui::Menu* menu, int x, int y, QWidget* owner)
{
    if (!menu)
        return false;
    QWidget* frame = owner ? owner->window() : nullptr;
    auto* popup = new CKVTPopupMenu;
    // The menu stays the manager's.
    popup->SetDestroyMenu(false);
    if (!popup->Create(frame, x, y, menu)) {
        popup->deleteLater();
        return false;
    }
    return true;
}

QString CKVTContextMenuManager::StatePath(const QString& section)
{
    return GetRegPath(QStringLiteral("KVTContextMenuManager"), section);
}

bool CKVTContextMenuManager::LoadState(const QString& section)
{
    const QString path = StatePath(section);
    bool ok = true;
    for (uint32_t id : m_order) {
        ui::Menu* sub = m_byId[id]->SubMenu(0);
        CKVTPopupMenuBar bar;
        if (!sub || !bar.CreateFromMenu(sub)) {
            ok = false;
            continue;
        }
        if (bar.LoadState(path, 0, id))
            CKVTMenuButtonCache::Instance().SaveMenuButtons(sub, &bar);
    }
    return ok;
}

bool CKVTContextMenuManager::SaveState(const QString& section)
{
    const QString path = StatePath(section);
    for (uint32_t id : m_order) {
        ui::Menu* sub = m_byId[id]->SubMenu(0);
        if (!sub || !CKVTMenuButtonCache::Instance().Contains(sub->Serial()))
            continue;
        CKVTPopupMenuBar bar;
        if (!CKVTMenuButtonCache::Instance().LoadMenuButtons(sub, &bar))
            continue;
        if (!bar.SaveState(path, 0, id))
            return false;
    }
    return true;
}
