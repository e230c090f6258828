#pragma once
// The program's main frame: an MDI frame of the toolbar library with the
// status bar and its connection and PLC panes, the menu bar, the main and
// debug toolbars, the four docking bars (project explorer, watch, output,
// connection monitor), the font and colour registry, the options record and
// the connection watch of the open project.

#include "core/common/AppSettings.h"
#include "link/olnk/olnk.h"
#include "mainwnd/AppBar.h"
#include "mainwnd/ConnectionWatch.h"
#include "res/CommandIds.h"
#include "uilib/KVTFrameWnd.h"
#include "uilib/KVTMenuBar.h"
#include "uilib/KVTToolBar.h"

#include <QIcon>
#include <QPointer>
#include <QRect>
#include <QTimer>

#include <array>
#include <functional>
#include <memory>
#include <optional>

class CFontColorPage;
class CStrandworkDoc;
class COutputCtrl;
class CKVTToolBar;
class CKVTToolbarImageList;
class CProjectExplorerBar;
class CDebugBar;
class COutputBar;
class CConInfoBar;
class CAppBar;
namespace linkui {
class CConnectionErrorDlg;
}
namespace ui {
class StatusBar;
}

class CMainFrame : public CKVTMDIFrameWnd
{
    Q_OBJECT
public:
    // Control ids of the frame's bars.
    enum : uint32_t {
        ID_STATUS_BAR = 0xE801,
        ID_MENU_BAR = 0xE806,
        ID_MAIN_TOOLBAR = 0xE800,
        ID_DEBUG_TOOLBAR = 0xE824,
        ID_FULLSCREEN_TOOLBAR = 0xE825,
        ID_TEMP_TOOLBAR = 0xE826,
        ID_EXPLORER_BAR = 0xE820,
        ID_DEBUG_BAR = 0xE821,
        ID_OUTPUT_BAR = 0xE822,
        ID_CONINFO_BAR = 0xE823,
        ID_FIRST_USER_TOOLBAR = 0xE828,
        ID_LAST_USER_TOOLBAR = 0xE831,
    };
    // Panes of the status bar.
    enum : uint32_t {
        ID_INDICATOR_CAPS = 0xE701,
        ID_INDICATOR_NUM = 0xE702,
        ID_INDICATOR_SCRL = 0xE703,
        ID_INDICATOR_OVR = 0xE704,
        ID_INDICATOR_LINK = 0xE707,
        ID_INDICATOR_PLC = 0xE708,
        ID_INDICATOR_POS = 0x940F,
        ID_INDICATOR_READONLY = 0x940D,
    };
    static const std::vector<uint32_t> kNormalIndicators;
    static const std::vector<uint32_t> kEditorIndicators;

    CMainFrame();
    ~CMainFrame() override;

    // Loads the frame (menu resource resourceId): false when the menu is
    // missing or a creation step that must not fail failed.
    bool LoadFrame(uint32_t resourceId, uint32_t style) override;
    bool LoadFrame(uint32_t resourceId) override { return LoadFrame(resourceId, 0x00CF8000); }
    bool PreCreateWindow(CreateStruct& cs) override;
    int OnCreate() override;

    // Hands the project to the explorer, debug and connection bars and
    // starts the connection watch; on a failure nothing keeps the project.
    virtual bool AttachProject(CStrandworkDoc* doc);
    virtual bool DetachProject();
    CStrandworkDoc* AttachedProject() const { return m_project; }

    // The output control; null before the frame is loaded.
    COutputCtrl* GetOutputCtrl() const;
    // The font and colour registry (the process-wide one while the frame
    // lives).
    CFontColorPage* GetFontColorPage() const { return m_fontColors; }
    void RegisterFontCategories();
    core::AppSettings& Settings() { return m_settings; }
    void LoadSettings();

    // --- services to the document windows ---
    void SetEditorIndicators(bool editor) override;
    bool EditorIndicators() const { return m_editorIndicators; }
    void FlashUntilFocus() override;
    bool IsInMenuLoop() const override { return m_inMenuLoop; }

    // --- commands ---
    void OnOptions();
    void SetLanguage(const QString& code);
    void DefaultLayout();
    void ToggleFullScreen();
    bool IsFullScreenMode() const { return m_fullScreen; }
    // One tick of the connection watch (timer 1).
    void OnTimerTick();
    // Shows the connection-error dialog for the attached project.  While a
    // modal window is open (a waiting box, a message) it waits until none
    // is, so that the two never stand over each other; then the dialog is
    // shown and, when it was hidden or noAnswer is given, raised and made
    // the active window.  The watch's stalls show it without noAnswer, and
    // traffic that flows again hides it; with noAnswer (requests ended
    // without a reply) it stays until the user answers it or the link
    // closes.
    void ShowConnectionError(bool noAnswer);
    // A show of the dialog waits for a modal window to close.
    bool ConnectionErrorPending() const { return m_connErrorPending; }
    bool IsWatchRunning() const { return m_timer.isActive(); }

    // --- the bars ---
    CKVTToolBar* GetMainToolBar() const { return m_mainBar; }
    CKVTToolBar* GetDebugToolBar() const { return m_debugBar; }
    CKVTToolBar* GetFullScreenToolBar() const { return m_fullScreenBar; }
    CProjectExplorerBar* ExplorerBar() const { return m_explorerBar; }
    CDebugBar* DebugBar() const { return m_debugBarWnd; }
    COutputBar* OutputBar() const { return m_outputBar; }
    CConInfoBar* ConInfoBar() const { return m_conInfoBar; }
    linkui::CConnectionErrorDlg* ConnectionErrorDlg() const { return m_connError.get(); }

    // The toolbar context menu: its items (id, text, checked), and the menu
    // itself shown with ui::TrackPopupMenu.
    struct ToolbarMenuItem
    {
        uint32_t id;
        QString text;
        bool checked;
    };
    std::vector<ToolbarMenuItem> ToolbarMenuItems() const;
    void OnToolbarPopupMenu(QWidget* source, const QPoint& globalPoint) override;
    bool OnShowPopupMenu(CKVTPopupMenu* popup) override;
    void OnPopupMenuClosed(CKVTPopupMenu* popup) override;

    // Writes what a close keeps, without closing: the placement, the
    // workspace (toolbars, dock layout, the library's placement) and each
    // docking bar's state.  A signal that ends the program calls it first,
    // so the settings are kept whatever runs at that moment.
    void SaveWindowState();
    // Writes the state the program stands with once its window is up
    // (workspace, bars) as this instance's start: the same written at the
    // end is no change of its own.
    void WriteStartState();

    // Opens the files dropped on the window.
    void OpenDroppedFiles(const QStringList& paths);
    void UpdateFrameTitle();

protected:
    bool event(QEvent* e) override;
    void showEvent(QShowEvent* e) override;
    // Moves and shrinks the normal window so that it lies wholly, frame
    // included, on the available part of its screen.
    void FitFrameToScreen();
    void closeEvent(QCloseEvent* e) override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dropEvent(QDropEvent* e) override;

private:
    void MapFrameCommands();
    void ShowTagMessage(const std::optional<QString>& message);
    void ToggleBar(ui::ControlBar* bar);
    void MapBarToggle(uint32_t id, std::function<ui::ControlBar*()> bar);
    void SetLinkIcon(const QIcon& icon);
    void ShowPendingConnectionError();
    void DropConnectionError();
    void OpenHelp(int index);
    void EnterFullScreen();
    void LeaveFullScreen();
    void WritePlacement();
    std::vector<CAppBar*> AppBars() const;

    CFontColorPage* m_fontColors; // owned; deleted after the windows that listen
    core::AppSettings m_settings;
    CStrandworkDoc* m_project = nullptr;
    std::unique_ptr<linkui::CConnectionErrorDlg> m_connError;
    bool m_connErrorPending = false;
    bool m_connErrorToFront = false;
    bool m_connErrorNoAnswer = false; // shown (or waiting) for requests without a reply
    QTimer m_connErrorRetry; // looks again whether the modal windows have gone

    // The connection watch.
    QTimer m_timer;
    mainwnd::ConnectionWatch m_watch;
    QIcon m_steadyIcon;
    std::array<QIcon, 15> m_trafficIcons;
    std::array<QIcon, 7> m_stallIcons;

    bool m_inMenuLoop = false;
    bool m_fittedOnce = false;
    bool m_editorIndicators = false;

    // Full screen.
    bool m_fullScreen = false;
    bool m_statusBarWasVisible = false;
    bool m_frameWasMaximised = false;
    bool m_childWasMaximised = false;
    QPointer<CKVTToolBar> m_fullScreenBar;

    // "AppWindow": the show command read before the first show (-1 none).
    int m_appWindowShowCmd = -1;

    QPointer<CKVTToolBar> m_mainBar;
    QPointer<CKVTToolBar> m_debugBar;
    QPointer<CProjectExplorerBar> m_explorerBar;
    QPointer<CDebugBar> m_debugBarWnd;
    QPointer<COutputBar> m_outputBar;
    QPointer<CConInfoBar> m_conInfoBar;
    std::unique_ptr<CKVTToolbarImageList> m_userImages;
};
