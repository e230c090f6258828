#pragma once
// Stand-in for the workspace of the toolbar and menu library: it creates
// the context-menu and keyboard managers and shows the registered context
// menus.  The customisable toolbars, menus, keyboard and
// mouse managers with their saved layout under "KVTWorkspace" will replace
// this file.

#include "uilib/KVTContextMenuManager.h"

#include <QPoint>
#include <QString>

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

class QWidget;

// Stand-in of the keyboard manager: one per process.  It knows no keys yet.
class CKVTKeyboardManager
{
public:
    CKVTKeyboardManager();
    virtual ~CKVTKeyboardManager();
    static CKVTKeyboardManager* Instance();
    // The shortcut text of a command in the frame's tables; FALSE: none.
    virtual bool FindDefaultAccelerator(uint32_t command, QString& text, QWidget* frame);
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
    // The context-menu manager, created on demand.
    CKVTContextMenuManager* GetContextMenuManager();
    CKVTKeyboardManager* GetKeyboardManager() const { return m_keyboard.get(); }
    // Shows a registered context menu through the manager; FALSE without one.
    bool ShowPopupMenu(uint32_t menuId, const QPoint& screenPoint, QWidget* owner);
    // The workspace of the process (set by the constructor), or null.
    static CKVTWorkspace* Instance();

private:
    std::unique_ptr<CKVTContextMenuManager> m_contextMenus;
    std::unique_ptr<CKVTKeyboardManager> m_keyboard;
};
