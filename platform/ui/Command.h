#pragma once
// Commands: numeric command ids, handlers and update handlers registered
// per object (the message-map analogue), the routing of a command through
// the focused view, its document, its frame, the main frame and the
// application, and the idle updater that runs the update handlers of
// everything visible.

#include <QObject>
#include <QPointer>
#include <QString>

#include <cstdint>
#include <functional>
#include <unordered_map>
#include <vector>

class QAction;
class QTimer;

namespace ui {

class Menu;

// What an update handler works on: a menu item, a toolbar action, a status
// bar pane or a plain recorder.  Enable, SetCheck and SetText reach the
// element; Menu() and Index() are set for menu items.
class CmdUI
{
public:
    explicit CmdUI(uint32_t id) : m_id(id) {}
    virtual ~CmdUI() = default;

    uint32_t Id() const { return m_id; }
    virtual void Enable(bool on = true);
    // 0 unchecked, 1 checked, 2 indeterminate.
    virtual void SetCheck(int check = 1);
    virtual void SetRadio(bool on = true) { SetCheck(on ? 1 : 0); }
    virtual void SetText(const QString& text);

    // For menu items: the menu that holds the item and its index.  An update
    // handler may rebuild the menu; it then sets the index of the last item it
    // handled so that the caller continues after it.
    Menu* GetMenu() const { return m_menu; }
    int Index() const { return m_index; }
    void SetMenuItem(Menu* menu, int index)
    {
        m_menu = menu;
        m_index = index;
    }
    void SetIndex(int index) { m_index = index; }

    // The recorded state (also kept by the derived kinds).
    bool Enabled() const { return m_enabled; }
    int Checked() const { return m_check; }
    const QString& Text() const { return m_text; }
    bool TextSet() const { return m_textSet; }
    bool EnableChanged() const { return m_enableChanged; }

private:
    uint32_t m_id;
    Menu* m_menu = nullptr;
    int m_index = -1;
    bool m_enabled = true;
    bool m_enableChanged = false;
    int m_check = 0;
    QString m_text;
    bool m_textSet = false;
};

// A CmdUI that drives one QAction (toolbar buttons, plain menus).
class ActionCmdUI : public CmdUI
{
public:
    ActionCmdUI(uint32_t id, QAction* action) : CmdUI(id), m_action(action) {}
    void Enable(bool on = true) override;
    void SetCheck(int check = 1) override;
    void SetText(const QString& text) override;

private:
    QAction* m_action;
};

// An object that handles commands.  Derived classes register their handlers
// in their constructor:
//     MapCommand(ID_FILE_SAVE, [this] { OnFileSave(); });
//     MapUpdate(ID_FILE_SAVE, [this](CmdUI& ui) { ui.Enable(IsModified()); });
class CommandTarget
{
public:
    using Handler = std::function<void()>;
    using RangeHandler = std::function<void(uint32_t id)>;
    using UpdateHandler = std::function<void(CmdUI&)>;

    CommandTarget() = default;
    CommandTarget(const CommandTarget&) = delete;
    CommandTarget& operator=(const CommandTarget&) = delete;
    virtual ~CommandTarget();

    void MapCommand(uint32_t id, Handler handler);
    void MapCommandRange(uint32_t first, uint32_t last, RangeHandler handler);
    void MapUpdate(uint32_t id, UpdateHandler handler);
    void MapUpdateRange(uint32_t first, uint32_t last, UpdateHandler handler);

    // Runs this object's own handler of id; false when it has none.
    virtual bool ExecuteCommand(uint32_t id);
    // Runs this object's own update handler of id; false when it has none.
    virtual bool UpdateCommand(CmdUI& ui);
    // Whether this object has a command handler of id.
    virtual bool HasCommand(uint32_t id) const;

private:
    struct Range
    {
        uint32_t first, last;
        RangeHandler command;
        UpdateHandler update;
    };
    std::unordered_map<uint32_t, Handler> m_commands;
    std::unordered_map<uint32_t, UpdateHandler> m_updates;
    std::vector<Range> m_commandRanges;
    std::vector<Range> m_updateRanges;
};

// The route of commands.  The route is computed by a route provider (the
// application installs one: focused view, its document, its frame, the main
// frame, the application); a target appears at most once.
using RouteProvider = std::function<std::vector<CommandTarget*>()>;
void SetRouteProvider(RouteProvider provider);
std::vector<CommandTarget*> CurrentRoute();
// Puts a target first on the route while the object lives: a window that
// is not on the route shows a menu of its own commands.
class ScopedRouteFront
{
public:
    explicit ScopedRouteFront(CommandTarget* target);
    ~ScopedRouteFront();
    ScopedRouteFront(const ScopedRouteFront&) = delete;
    ScopedRouteFront& operator=(const ScopedRouteFront&) = delete;

private:
    CommandTarget* m_target;
};

// Runs the command through the route synchronously; the first target that
// handles it wins.  False when nobody handled it.
bool SendCommand(uint32_t id);
// A gate that every sent command passes first (and a posted one when it
// comes to run); false refuses the command.  An empty gate lets all pass.
using CommandGate = std::function<bool(uint32_t id)>;
void SetCommandGate(CommandGate gate);
// Queues the command: it runs from the event loop after the current handler
// has returned.
void PostCommand(uint32_t id);
// Runs the update handlers of id along the route: the first update handler
// wins; without one the command is enabled when some target has a handler
// and disabled otherwise.  True when an update handler ran.
bool UpdateCommandUI(CmdUI& ui);
// Same over an explicit route.
bool SendCommandTo(const std::vector<CommandTarget*>& route, uint32_t id);
// Status bar panes pass disableIfNoHandler false: a pane without handlers
// keeps its state.
bool UpdateCommandUITo(const std::vector<CommandTarget*>& route, CmdUI& ui, bool disableIfNoHandler = true);

// Something whose elements are kept current by update handlers (toolbars,
// status bars): the idle updater calls UpdateCmdUI on each visible client.
class UpdateClient
{
public:
    virtual ~UpdateClient();
    virtual void UpdateCmdUI() = 0;
};

// Runs the update handlers of its clients when the event queue becomes
// idle, at most every 50 ms and only while something changed (user input,
// a command, a focus change or an explicit Invalidate).
class IdleUpdater : public QObject
{
    Q_OBJECT
public:
    static IdleUpdater& Instance();

    void AddClient(UpdateClient* client);
    void RemoveClient(UpdateClient* client);
    // A plain action (of a QToolBar, for instance) kept current by the
    // update handlers of id while one of its widgets is visible.
    void AddAction(QAction* action, uint32_t id);
    void RemoveAction(QAction* action);

    // Something changed: schedule an update pass.
    void Invalidate();
    // Runs one update pass now.
    void RunPass();
    int PassCount() const { return m_passes; }

    static constexpr int MinimumIntervalMs = 50;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    IdleUpdater();
    std::vector<UpdateClient*> m_clients;
    std::vector<std::pair<QPointer<QAction>, uint32_t>> m_actions;
    QTimer* m_timer;
    qint64 m_lastPass = 0;
    int m_passes = 0;
};

} // namespace ui
