#pragma once
// The logic that every library frame shares: the frame client with its dock
// sites, the frame's control bars and their docking, the toolbar context
// menu, the menu bar and the open popup, user toolbars and the window
// placement.  Held by CKVTMDIFrameWnd, CKVTFrameWnd and CKVTOleIPFrameWnd.

#include "platform/ui/ControlBar.h"
#include "uilib/dock/DockPlace.h"
#include "uilib/dock/DockState.h"

#include <QPointer>
#include <QRect>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

class CKVTMenuBar;
class CKVTMiniDockFrameWnd;
class CKVTPopupMenu;
class CKVTToolBar;
class CKVTToolDockBar;
class KvtFrameClient;
class QMainWindow;

// What PreCreateWindow may change before the frame is shown.
struct CreateStruct
{
    int x = 0;
    int y = 0;
    int cx = 0;
    int cy = 0;
    uint32_t style = 0;
};

class CKVTFrameHelper
{
public:
    explicit CKVTFrameHelper(QMainWindow* frame);
    virtual ~CKVTFrameHelper();
    CKVTFrameHelper(const CKVTFrameHelper&) = delete;
    CKVTFrameHelper& operator=(const CKVTFrameHelper&) = delete;

    QMainWindow* Frame() const { return m_frame; }
    // Makes the frame client around center the frame's central widget.
    void InstallClient(QWidget* center);
    KvtFrameClient* Client() const { return m_client; }

    // --- control bars ---
    void AddControlBar(ui::ControlBar* bar);
    // The frame's live bars in creation order.
    std::vector<ui::ControlBar*> ControlBars() const;
    ui::ControlBar* GetControlBar(uint32_t id) const;
    std::unique_ptr<ui::DockContext> CreateDockContext(ui::ControlBar* bar);

    // --- docking ---
    void EnableDocking(uint32_t alignment);
    CKVTToolDockBar* Site(uint32_t id) const;
    // Docks bar at a site: at a global rectangle, or (none) in a new last row.
    void DockControlBar(ui::ControlBar* bar, uint32_t siteId, const std::optional<QRect>& globalRect = {});
    void DockControlBarLeftOf(ui::ControlBar* bar, ui::ControlBar* leftOf);
    // Floats bar with its floating frame's top-left at a global point;
    // CBRS_ALIGN_TOP floats it horizontally, CBRS_ALIGN_LEFT upright.
    void FloatControlBar(ui::ControlBar* bar, const QPoint& globalPoint, uint32_t alignment);
    // Where a floating frame of bar put at globalPoint must go instead so
    // that its whole caption lies on a screen (the point itself when it
    // does): for places that come from the store or from an earlier run.
    QPoint ReachableFloatPoint(ui::ControlBar* bar, const QPoint& globalPoint) const;
    void ShowControlBar(ui::ControlBar* bar, bool show, bool delay);
    void ToggleDocking(ui::ControlBar* bar);
    // Moves a floating frame whose bar may dock nowhere.
    void MoveFloatingFrame(CKVTMiniDockFrameWnd* mini, const QPoint& globalPress);
    CKVTMiniDockFrameWnd* MiniFrameOf(const ui::ControlBar* bar) const;
    CKVTToolDockBar* SiteOf(const ui::ControlBar* bar) const;
    std::vector<dock::SiteZone> SiteZones() const;
    void RecalcLayout();
    void DelayRecalcLayout();

    // --- the dock layout ---
    dock::DockState GetDockState() const;
    bool IsDockStateValid(const dock::DockState& state) const;
    // Applies a valid record; false (and nothing changes) for an invalid one.
    bool SetDockState(const dock::DockState& state);
    // Under the profile section base ("KVTWorkspace\ControlBars").
    void SaveDockState(const QString& base) const;
    bool LoadDockState(const QString& base);

    // --- the toolbar context menu ---
    void SetCustomizeCommand(uint32_t id, const QString& text);
    void OnToolbarPopupMenu(QWidget* source, const QPoint& globalPoint);
    // The checked items of the menu, for tests: (bar, checked, enabled).
    struct BarItem
    {
        ui::ControlBar* bar;
        bool checked;
        bool enabled;
    };
    std::vector<BarItem> ToolbarMenuItems() const;

    // --- menu bar and popups ---
    void SetMenuBar(CKVTMenuBar* bar);
    CKVTMenuBar* GetMenuBar() const { return m_menuBar; }
    bool OnShowPopupMenu(CKVTPopupMenu* popup);
    CKVTPopupMenu* OnPopupMenuClosed(CKVTPopupMenu* popup);
    CKVTPopupMenu* OpenPopup() const { return m_openPopup; }

    // --- user toolbars ---
    void InitUserToolbars(const QString* section, uint32_t first, uint32_t last);
    void LoadUserToolbars();
    void SaveUserToolbars();
    CKVTToolBar* CreateUserToolbar(const QString& name);
    bool DeleteUserToolbar(CKVTToolBar* bar);
    bool IsUserToolbar(const ui::ControlBar* bar) const;
    const std::vector<CKVTToolBar*>& UserToolbars() const { return m_userBars; }

    // --- placement and the workspace ---
    bool OnPreCreateFrame(CreateStruct& cs);
    void OnLoadFrame();
    void OnClosingMainFrame();
    int ShowCmdDecided() const { return m_showCmd; }

    // The open customisation sheet of the process (set by the sheet).
    static void SetCustomizeSheet(QWidget* sheet);
    static QWidget* CustomizeSheet();

private:
    void Detach(ui::ControlBar* bar);
    void SetFloatingStyle(ui::ControlBar* bar, uint32_t alignment);

    QMainWindow* m_frame;
    KvtFrameClient* m_client = nullptr;
    std::vector<QPointer<ui::ControlBar>> m_bars;
    uint32_t m_firstUser = 0xFFFFFFFF;
    uint32_t m_lastUser = 0xFFFFFFFF;
    std::vector<CKVTToolBar*> m_userBars;
    QString m_userPath;
    QPointer<CKVTMenuBar> m_menuBar;
    CKVTPopupMenu* m_openPopup = nullptr;
    uint32_t m_customizeId = 0;
    QString m_customizeText;
    int m_showCmd = -1;
};
