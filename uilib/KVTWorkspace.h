#pragma once
// The workspace of the toolbar and menu library, the application object's
// second base: it names the registry section of the library's state, owns
// the keyboard, context-menu and mouse managers it created, and loads and
// saves the whole user-interface state of the main frame in one order.

#include "uilib/KVTContextMenuManager.h"
#include "uilib/KVTKeyboardManager.h"
#include "uilib/KVTMouseManager.h"

#include <QPoint>
#include <QRect>
#include <QString>

#include <cstdint>

class CKVTFrameHelper;
class QWidget;

class CKVTWorkspace
{
public:
    CKVTWorkspace();
    virtual ~CKVTWorkspace();
    CKVTWorkspace(const CKVTWorkspace&) = delete;
    CKVTWorkspace& operator=(const CKVTWorkspace&) = delete;

    // The workspace of the process (set by the constructor), or null.
    static CKVTWorkspace* Instance();
    // "SOFTWARE\ORNA\Strandwork\KVTWorkspace\"
    static QString WorkspacePath();

    // Each creates its manager when none exists; FALSE (nothing changes)
    // when one exists already.
    bool InitContextMenuManager();
    bool InitKeyboardManager();
    bool InitMouseManager();
    // The managers, created on demand.
    CKVTContextMenuManager* GetContextMenuManager();
    CKVTMouseManager* GetMouseManager();

    const QString& SectionName() const { return m_section; }

    virtual bool LoadState(const QString* section, CKVTFrameHelper* helper);
    virtual bool CleanState(const QString* section);
    virtual bool SaveState(const QString* section, CKVTFrameHelper* helper);
    // Runs the command bound to a view id's double-click along the route of
    // the view's frame; FALSE (with a beep) without one, FALSE without a
    // beep when there is no mouse manager.
    virtual bool OnViewDoubleClick(QWidget* view, int viewId);
    // Shows a registered context menu through the manager; FALSE without one.
    virtual bool ShowPopupMenu(uint32_t menuId, const QPoint& screenPoint, QWidget* owner);
    virtual void OnClosingMainFrame(CKVTFrameHelper* helper);
    virtual void OnBeforeLoadState() {}
    virtual void OnAfterLoadState() {}
    virtual void OnBeforeSaveState() {}
    virtual void OnAfterSaveState() {}

    // "WindowPlacement": "MainWindowRect", "Flags", "ShowCmd".
    bool LoadWindowPlacement(QRect& rect, uint32_t& flags, uint32_t& showCmd);
    bool StoreWindowPlacement(const QRect& rect, uint32_t flags, uint32_t showCmd);

private:
    QString m_section = QStringLiteral("KVTWorkspace");
    // The managers this object created (and deletes).
    CKVTKeyboardManager* m_ownKeyboard = nullptr;
    CKVTContextMenuManager* m_ownContextMenus = nullptr;
    CKVTMouseManager* m_ownMouse = nullptr;
};
