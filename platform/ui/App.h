#pragma once
// The application base and the MDI main-frame base that the program's
// application object and main frame derive from.

#include "platform/ui/Command.h"
#include "platform/ui/Document.h"

#include <QMainWindow>
#include <QObject>
#include <QPointer>

#include <memory>

class QMdiArea;

namespace ui {

class AccelTable;
class MainFrameBase;
class Menu;
class StatusBar;

class Application : public QObject, public CommandTarget
{
    Q_OBJECT
public:
    // Create after the QApplication; there is one at a time.
    Application();
    ~Application() override;
    static Application* Instance();

    virtual bool InitInstance() { return true; }
    virtual int ExitInstance() { return 0; }
    // Idle processing; true asks for more idle calls.  The base runs the
    // idle updater once (count 0).
    virtual bool OnIdle(long count);
    // Pumps the waiting events (see ui::PumpMessages); false once per quit
    // request that arrived meanwhile.
    bool PumpMessages();
    // InitInstance, the event loop, ExitInstance; the exit code.
    int Run();

    // The main window's close was accepted: the program ends.  The event
    // loop ends at once (every nested loop too), whatever other top-level
    // windows (floating bars, a toolbar that cannot be closed) are still
    // shown; a close during InitInstance keeps the loop from starting.
    // Qt's own end at the last window refuses to quit while any window
    // stays shown, which left the program running without a main window.
    virtual void OnMainWindowClosed();
    bool MainWindowClosed() const { return m_mainWindowClosed; }
    // Ends the running event loops (nothing when none runs).
    static void EndEventLoop(int code = 0);

    DocManager& Documents() { return m_docs; }
    // Opens path through the document manager (the best template, or the
    // document open already); null when it cannot be opened.
    virtual Document* OpenDocumentFile(const QString& path);
    void AddDocTemplate(std::unique_ptr<DocTemplate> tmpl);
    MainFrameBase* GetMainWnd() const { return m_mainWnd; }
    void SetMainWnd(MainFrameBase* frame) { m_mainWnd = frame; }

    // The route of commands: the focused view (or the active frame's
    // view), its document, its frame, the main frame, the application.
    // When the focus lies in another command target (the output window,
    // for example) than a view or a frame, that target comes first.
    std::vector<CommandTarget*> CommandRoute() const;

    // The help file: the program folder plus the program file's stem and
    // ".chm".
    static QString HelpFilePath();

    // How the main frame is shown (1 normal, 3 maximised, 2, 6 or 7
    // minimised).
    int m_nCmdShow = 1;

    // The program runs without a display (the offscreen platform of an
    // unattended -Build or -Make): its windows' sizes and places are no
    // one's choice, so it writes no window layout (window placement, bar
    // sizes, docking, frame placements); what stands in the settings and
    // the workspace file stays.  Set before InitInstance.
    void SetNoDisplay(bool on) { m_noDisplay = on; }
    bool NoDisplay() const { return m_noDisplay; }
    // Whether the application that runs has no display (false without one).
    static bool RunsWithoutDisplay();

private:
    DocManager m_docs;
    QPointer<MainFrameBase> m_mainWnd;
    bool m_mainWindowClosed = false;
    bool m_noDisplay = false;
};

class MainFrameBase : public QMainWindow, public CommandTarget
{
    Q_OBJECT
public:
    explicit MainFrameBase(QWidget* parent = nullptr);
    ~MainFrameBase() override;

    // Loads the frame's menu (menus/<id>.menu), kept as the default menu,
    // and accelerators (accel/<id>.accel); missing ones leave the frame
    // without them.  The frame shows no menu of its own: a menu bar of the
    // toolbar library shows the active menu.
    virtual bool LoadFrame(uint32_t resourceId);
    uint32_t GetFrameResourceId() const { return m_resourceId; }
    Menu* GetDefaultMenu() const { return m_defaultMenu.get(); }
    // The active child's template's shared menu, else the default menu.
    Menu* GetActiveMenu() const;
    // Checks whether the active menu changed (another child became active,
    // the last child closed) and calls OnActiveMenuChanged when it did, or
    // always with force (a template's shared menu was replaced).
    void UpdateActiveMenu(bool force = false);
    // The command that TranslateAccelerator would send for the key; 0 when none.
    uint32_t FindAccelerator(const QKeyEvent& e) const;
    QMdiArea* MdiArea() const { return m_area; }
    ChildFrame* MDIGetActive() const;
    View* GetActiveView() const;
    Document* GetActiveDocument() const;
    // The frame's own table (shared: a frame or template that still uses
    // a replaced table keeps it alive).
    void SetAccelerators(std::shared_ptr<const AccelTable> table);
    const AccelTable* Accelerators() const { return m_accel.get(); }
    std::shared_ptr<const AccelTable> SharedAccelerators() const { return m_accel; }
    // Builds the status bar with the given pane ids (0 = the message pane).
    StatusBar* CreateStatusBar(const std::vector<uint32_t>& paneIds);
    StatusBar* GetStatusBar() const { return m_status; }
    // The message pane shows the idle text for 0xE001 (AFX_IDS_IDLEMESSAGE)
    // and the command prompt of any other id (nothing when it has none).
    void SetMessageText(uint32_t id);

    // Translates a key press through the focused view's table, its frame's
    // and the main frame's; sends the command and returns true when found.
    bool TranslateAccelerator(QKeyEvent* e);

    // Services of the main frame to the document windows; the program's
    // main frame overrides them.  SetEditorIndicators switches the status
    // bar between the editor's and the normal panes; FlashUntilFocus
    // draws the user's attention to the frame.
    virtual void SetEditorIndicators(bool /*editor*/) {}
    virtual void FlashUntilFocus() {}
    // Whether a menu is being shown (no command help then); by default
    // whether a popup is open.
    virtual bool IsInMenuLoop() const;

protected:
    // The active menu changed (see UpdateActiveMenu); library frames hand it
    // to their menu bar.
    virtual void OnActiveMenuChanged(Menu* menu) { (void)menu; }
    // The menu keys of the key filter: Alt pressed and released with nothing
    // in between, and Alt+letter that no accelerator takes.  FALSE: not handled.
    virtual bool OnMenuAltKey() { return false; }
    virtual bool OnMenuChar(QChar c)
    {
        (void)c;
        return false;
    }
    // Whether the menu shown has an item with the mnemonic c.
    virtual bool HasMenuMnemonic(QChar c) const
    {
        (void)c;
        return false;
    }
    bool eventFilter(QObject* watched, QEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

private:
    QPointer<QMdiArea> m_area; // a derived frame may replace the central widget
    std::unique_ptr<Menu> m_defaultMenu;
    Menu* m_activeMenu = nullptr;
    uint32_t m_resourceId = 0;
    bool m_altAlone = false;
    std::shared_ptr<const AccelTable> m_accel;
    StatusBar* m_status = nullptr;
};

// The view that has the keyboard focus, or the active frame's view.
View* FocusedView();
// The first command target from the focus widget up its parents when it is
// neither a view nor a frame; null otherwise.
CommandTarget* FocusedNonViewTarget();

} // namespace ui
