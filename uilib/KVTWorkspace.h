#pragma once
// Stand-in for the workspace of the toolbar and menu library: it only
// creates the context-menu and keyboard managers once each and records the
// registered context menus.  The customisable toolbars, menus, keyboard and
// mouse managers with their saved layout under "KVTWorkspace" will replace
// this file.

#include <QPoint>
#include <QString>

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

class QWidget;

class CKVTContextMenuManager
{
public:
    // Checks that the menu resource exists and records (name, id).
    bool AddMenu(const QString& name, uint32_t menuId);
    const std::vector<std::pair<QString, uint32_t>>& Menus() const { return m_menus; }

private:
    std::vector<std::pair<QString, uint32_t>> m_menus;
};

class CKVTKeyboardManager
{
};

class CKVTWorkspace
{
public:
    CKVTWorkspace();
    virtual ~CKVTWorkspace();
    CKVTWorkspace(const CKVTWorkspace&) = delete;
    CKVTWorkspace& operator=(const CKVTWorkspace&) = delete;

    // Each creates its manager once; FALSE when it exists already.
    bool InitContextMenuManager();
    bool InitKeyboardManager();
    CKVTContextMenuManager* GetContextMenuManager() const { return m_contextMenus.get(); }
    CKVTKeyboardManager* GetKeyboardManager() const { return m_keyboard.get(); }
    // Shows a registered context menu; the stand-in shows nothing.
    bool ShowPopupMenu(uint32_t menuId, const QPoint& screenPoint, QWidget* owner);

private:
    std::unique_ptr<CKVTContextMenuManager> m_contextMenus;
    std::unique_ptr<CKVTKeyboardManager> m_keyboard;
};
