#pragma once
// The program's context menus under names: shown as library popup menus,
// customisable, their customised lists kept in the menu-button cache and
// stored under "KVTContextMenuManager".

#include <QString>
#include <QStringList>

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

class QWidget;
namespace ui {
class Menu;
}

class CKVTContextMenuManager
{
public:
    CKVTContextMenuManager();
    virtual ~CKVTContextMenuManager();
    CKVTContextMenuManager(const CKVTContextMenuManager&) = delete;
    CKVTContextMenuManager& operator=(const CKVTContextMenuManager&) = delete;
    // The manager of the process (set by the constructor), or null.
    static CKVTContextMenuManager* Instance();

    // Loads menu resource (id & 0xFFFF) and registers it under name; FALSE
    // when it cannot be loaded or the id is registered already.
    bool AddMenu(const QString& name, uint32_t menuId);
    bool AddMenu(uint32_t nameStringId, uint32_t menuId);
    // Shows the first submenu of a registered menu at (x, y) ((-1, -1) with
    // an owner: the owner's client top-left + (5, 5)).
    bool ShowPopupMenu(uint32_t menuId, int x, int y, QWidget* owner);
    // Shows menu (kept by the caller) as a library popup owned by owner's window.
    bool TrackPopupMenu(ui::Menu* menu, int x, int y, QWidget* owner);
    // The names in registration order.
    void GetMenuNames(QStringList& names) const;
    ui::Menu* GetMenuByName(const QString& name) const;
    ui::Menu* GetMenuById(uint32_t menuId) const;

    // The customised lists: loaded into the cache, saved from it; a menu
    // that fails is skipped and the result is FALSE.
    bool LoadState(const QString& section = {});
    bool SaveState(const QString& section = {});
    // The key prefix: GetRegPath("KVTContextMenuManager", section).
    static QString StatePath(const QString& section);

private:
    std::map<uint32_t, std::unique_ptr<ui::Menu>> m_byId;
    std::vector<uint32_t> m_order;
    std::map<QString, ui::Menu*> m_byName;
    QStringList m_names;
};
