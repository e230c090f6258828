#pragma once
// The library's frame bases: CKVTMDIFrameWnd (the MDI main frame),
// CKVTFrameWnd (one view) and CKVTOleIPFrameWnd.  Each holds a frame helper
// (CKVTFrameHelper) that does the shared work: the dock sites around the
// centre, the bars and their docking, the menu bar, user toolbars, the
// workspace and the window placement.  No QMenuBar, QToolBar or
// QDockWidget is ever shown.

#include "platform/ui/App.h"
#include "platform/ui/ControlBar.h"
#include "uilib/KVTFrameHelper.h"
#include "uilib/KVTFrameHooks.h"

#include <QPointer>

class CKVTMenuBar;
class QKeyEvent;
class QMdiSubWindow;
class QMouseEvent;

// The common part of the three frames: everything goes to the helper.
class CKVTFrameBase : public ui::MainFrameBase, public KvtFrameHooks, public ui::DockingFrame
{
    Q_OBJECT
public:
    explicit CKVTFrameBase(QWidget* parent = nullptr);
    ~CKVTFrameBase() override;

    // Stores the id, runs PreCreateWindow and applies it, loads the menu
    // and accelerators, OnCreateClient, OnCreate, then the workspace.
    virtual bool LoadFrame(uint32_t resourceId, uint32_t style);
    bool LoadFrame(uint32_t resourceId) override { return LoadFrame(resourceId, 0); }
    uint32_t GetDefaultResId() const { return m_resId; }
    virtual bool PreCreateWindow(CreateStruct& cs);
    virtual bool OnCreateClient() { return true; }
    // The creation step, where a frame makes its bars; -1 fails the loading.
    virtual int OnCreate() { return 0; }
    // 3 maximised; 2, 6 or 7 minimised; -1 the decided show command; else normal.
    void ActivateFrame(int cmd = -1);

    CKVTFrameHelper& Helper() { return m_helper; }
    // --- docking (the helper's) ---
    void EnableDocking(uint32_t alignment) { m_helper.EnableDocking(alignment); }
    void DockControlBar(ui::ControlBar* bar, uint32_t siteId = ui::DOCKBAR_TOP,
                        const std::optional<QRect>& globalRect = {})
    {
        m_helper.DockControlBar(bar, siteId, globalRect);
    }
    void DockControlBarLeftOf(ui::ControlBar* bar, ui::ControlBar* leftOf) { m_helper.DockControlBarLeftOf(bar, leftOf); }
    void FloatControlBar(ui::ControlBar* bar, const QPoint& p, uint32_t align = ui::CBRS_ALIGN_TOP)
    {
        m_helper.FloatControlBar(bar, p, align);
    }
    void ShowControlBar(ui::ControlBar* bar, bool show, bool delay) { m_helper.ShowControlBar(bar, show, delay); }
    ui::ControlBar* GetControlBar(uint32_t id) const { return m_helper.GetControlBar(id); }
    void RecalcLayout() { m_helper.RecalcLayout(); }
    void DelayRecalcLayout() { m_helper.DelayRecalcLayout(); }
    dock::DockState GetDockState() const { return m_helper.GetDockState(); }
    bool SetDockState(const dock::DockState& s) { return m_helper.SetDockState(s); }
    void InitUserToolbars(const QString* section, uint32_t first, uint32_t last)
    {
        m_helper.InitUserToolbars(section, first, last);
    }
    void SetCustomizeCommand(uint32_t id, const QString& text) { m_helper.SetCustomizeCommand(id, text); }
    CKVTMenuBar* GetMenuBar() const { return m_helper.GetMenuBar(); }

    // --- the library's frame virtuals ---
    virtual bool OnShowPopupMenu(CKVTPopupMenu* popup)
    {
        (void)popup;
        return true;
    }
    bool ShowPopupMenu(CKVTPopupMenu* popup) override;
    void OnPopupMenuClosed(CKVTPopupMenu* popup) override { m_helper.OnPopupMenuClosed(popup); }
    void OnToolbarPopupMenu(QWidget* source, const QPoint& globalPoint) override
    {
        m_helper.OnToolbarPopupMenu(source, globalPoint);
    }
    CKVTToolBar* CreateUserToolbar(const QString& name) override { return m_helper.CreateUserToolbar(name); }
    bool DeleteUserToolbar(CKVTToolBar* bar) override { return m_helper.DeleteUserToolbar(bar); }
    virtual void OnClose();
    // Context help (ID_CONTEXT_HELP): the next click names what help is asked for.
    virtual void OnContextHelp();
    bool IsInHelpMode() const { return m_helpMode; }
    // The help of a context; data 0 in help mode enters help mode again (once).
    virtual bool WinHelp(uint32_t data, uint32_t command = 0x1);
    // The framework's own command ranges.
    static bool IsFrameworkCommand(uint32_t id);

    // --- ui::DockingFrame ---
    void AddControlBar(ui::ControlBar* bar) override;
    std::unique_ptr<ui::DockContext> CreateDockContext(ui::ControlBar* bar) override
    {
        return m_helper.CreateDockContext(bar);
    }

protected:
    void OnActiveMenuChanged(ui::Menu* menu) override;
    bool OnMenuAltKey() override;
    bool OnMenuChar(QChar c) override;
    bool HasMenuMnemonic(QChar c) const override;
    void closeEvent(QCloseEvent* e) override;
    void showEvent(QShowEvent* e) override;
    // With a popup of this frame open, an accelerator closes the innermost
    // popup (Escape) and runs nothing.
    bool eventFilter(QObject* watched, QEvent* e) override;
    // A left press on a toolbar button's hosted control, in customisation
    // mode or with Alt held, goes to the toolbar instead of the control.
    bool RouteHostedControlPress(QWidget* receiver, QMouseEvent* e);
    // Shift+F10 that no accelerator takes asks the focus widget w for its
    // context menu, as the context-menu key does; TRUE when a menu opened
    // (the key is then spent).
    bool RequestContextMenu(QWidget* w, const QKeyEvent* e);

    // The pre-show step of a popup whose menu holds a Window command:
    // appends the child windows (MDI frames).
    virtual void AppendWindowList(CKVTPopupMenu* popup) { (void)popup; }
    // The help of a click in help mode; goOn when help mode continues (a
    // menu button opened its popup, or a click closed an open menu).
    uint32_t HelpForClick(QWidget* target, QPoint global, bool& goOn);

    CKVTFrameHelper m_helper;
    uint32_t m_resId = 0;
    bool m_closing = false;
    bool m_helpMode = false;
    bool m_helpAgain = false;
    bool m_shownOnce = false;
};

class CKVTMDIFrameWnd;

// Watches the MDI area: when the current child changes the menu bar gets
// the child's template's shared menu, with no child the default menu.  It
// follows QMdiArea::currentSubWindow(), which stays set while another
// program is active, so losing activation never swaps the menu.
class CKVTMDIClientWnd
{
public:
    explicit CKVTMDIClientWnd(CKVTMDIFrameWnd* frame) : m_frame(frame) {}
    ui::Menu* CurrentMenu() const;
    void Update();

private:
    CKVTMDIFrameWnd* m_frame;
    ui::Menu* m_shown = nullptr;
};

class CKVTMDIFrameWnd : public CKVTFrameBase
{
    Q_OBJECT
public:
    explicit CKVTMDIFrameWnd(QWidget* parent = nullptr);
    // The children in creation order (the Window menu's list).
    QList<QMdiSubWindow*> Children() const;

protected:
    void AppendWindowList(CKVTPopupMenu* popup) override;
    void OnActiveMenuChanged(ui::Menu* menu) override;

private:
    CKVTMDIClientWnd m_clientWnd{this};
    void UpdateMaximizeMode();
    bool m_inMaximizeUpdate = false;
};

// A frame with one view in its centre.
class CKVTFrameWnd : public CKVTFrameBase
{
    Q_OBJECT
public:
    explicit CKVTFrameWnd(QWidget* parent = nullptr);
    void SetView(QWidget* view);
    QWidget* GetView() const { return m_view; }

private:
    QPointer<QWidget> m_view;
};

// There is no in-place activation here: the same frame under its own name.
class CKVTOleIPFrameWnd : public CKVTFrameWnd
{
    Q_OBJECT
public:
    using CKVTFrameWnd::CKVTFrameWnd;
};
