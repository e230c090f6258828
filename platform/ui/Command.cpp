#include "platform/ui/Command.h"

#include <QAction>
#include <QCoreApplication>
#include <QDateTime>
#include <QEvent>
#include <QTimer>
#include <QWidget>

#include <algorithm>

namespace ui {

void CmdUI::Enable(bool on)
{
    m_enabled = on;
    m_enableChanged = true;
}

void CmdUI::SetCheck(int check) { m_check = check; }

void CmdUI::SetText(const QString& text)
{
    m_text = text;
    m_textSet = true;
}

void ActionCmdUI::Enable(bool on)
{
    CmdUI::Enable(on);
    if (m_action && m_action->isEnabled() != on)
        m_action->setEnabled(on);
}

void ActionCmdUI::SetCheck(int check)
{
    CmdUI::SetCheck(check);
    if (!m_action)
        return;
    if (check && !m_action->isCheckable())
        m_action->setCheckable(true);
    if (m_action->isChecked() != (check != 0))
        m_action->setChecked(check != 0);
}

void ActionCmdUI::SetText(const QString& text)
{
    CmdUI::SetText(text);
    if (m_action && m_action->text() != text)
        m_action->setText(text);
}

CommandTarget::~CommandTarget() = default;

void CommandTarget::MapCommand(uint32_t id, Handler handler) { m_commands[id] = std::move(handler); }

void CommandTarget::MapCommandRange(uint32_t first, uint32_t last, RangeHandler handler)
{
    m_commandRanges.push_back({first, last, std::move(handler), {}});
}

void CommandTarget::MapUpdate(uint32_t id, UpdateHandler handler) { m_updates[id] = std::move(handler); }

void CommandTarget::MapUpdateRange(uint32_t first, uint32_t last, UpdateHandler handler)
{
    m_updateRanges.push_back({first, last, {}, std::move(handler)});
}

bool CommandTarget::ExecuteCommand(uint32_t id)
{
    auto it = m_commands.find(id);
    if (it != m_commands.end()) {
        Handler h = it->second; // the handler may remap itself
        h();
        return true;
    }
    for (const Range& r : m_commandRanges) {
        if (id >= r.first && id <= r.last) {
            RangeHandler h = r.command;
            h(id);
            return true;
        }
    }
    return false;
}

bool CommandTarget::UpdateCommand(CmdUI& ui)
{
    auto it = m_updates.find(ui.Id());
    if (it != m_updates.end()) {
        it->second(ui);
        return true;
    }
    for (const Range& r : m_updateRanges) {
        if (ui.Id() >= r.first && ui.Id() <= r.last) {
            UpdateHandler h = r.update;
            h(ui);
            return true;
        }
    }
    return false;
}

bool CommandTarget::HasCommand(uint32_t id) const
{
    if (m_commands.count(id))
        return true;
    return std::any_of(m_commandRanges.begin(), m_commandRanges.end(),
                       [id](const Range& r) { return id >= r.first && id <= r.last; });
}

namespace {
RouteProvider& Provider()
{
    static RouteProvider provider;
    return provider;
}
} // namespace

static std::vector<CommandTarget*>& RouteFront()
{
    static std::vector<CommandTarget*> front;
    return front;
}

void SetRouteProvider(RouteProvider provider) { Provider() = std::move(provider); }

ScopedRouteFront::ScopedRouteFront(CommandTarget* target) : m_target(target)
{
    RouteFront().insert(RouteFront().begin(), target);
}

ScopedRouteFront::~ScopedRouteFront()
{
    auto& front = RouteFront();
    const auto it = std::find(front.begin(), front.end(), m_target);
    if (it != front.end())
        front.erase(it);
}

std::vector<CommandTarget*> CurrentRoute()
{
    std::vector<CommandTarget*> route = RouteFront();
    if (Provider()) {
        const std::vector<CommandTarget*> rest = Provider()();
        route.insert(route.end(), rest.begin(), rest.end());
    }
    // A target appears once, at its first place.
    std::vector<CommandTarget*> unique;
    unique.reserve(route.size());
    for (CommandTarget* t : route)
        if (t && std::find(unique.begin(), unique.end(), t) == unique.end())
            unique.push_back(t);
    return unique;
}

bool SendCommandTo(const std::vector<CommandTarget*>& route, uint32_t id)
{
    for (CommandTarget* t : route)
        if (t->ExecuteCommand(id))
            return true;
    return false;
}

bool UpdateCommandUITo(const std::vector<CommandTarget*>& route, CmdUI& ui, bool disableIfNoHandler)
{
    for (CommandTarget* t : route)
        if (t->UpdateCommand(ui))
            return true;
    if (!disableIfNoHandler)
        return false;
    bool handled = std::any_of(route.begin(), route.end(),
                               [&](CommandTarget* t) { return t->HasCommand(ui.Id()); });
    ui.Enable(handled);
    return false;
}

namespace {
CommandGate& Gate()
{
    static CommandGate gate;
    return gate;
}
} // namespace

void SetCommandGate(CommandGate gate)
{
    Gate() = std::move(gate);
}

bool SendCommand(uint32_t id)
{
    if (Gate() && !Gate()(id))
        return false;
    bool handled = SendCommandTo(CurrentRoute(), id);
    if (QCoreApplication::instance())
        IdleUpdater::Instance().Invalidate();
    return handled;
}

void PostCommand(uint32_t id)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return;
    QMetaObject::invokeMethod(app, [id] { SendCommand(id); }, Qt::QueuedConnection);
}

bool UpdateCommandUI(CmdUI& ui) { return UpdateCommandUITo(CurrentRoute(), ui); }

UpdateClient::~UpdateClient()
{
    if (QCoreApplication::instance())
        IdleUpdater::Instance().RemoveClient(this);
}

IdleUpdater& IdleUpdater::Instance()
{
    // Owned by the application object: it goes with it.
    static QPointer<IdleUpdater> instance;
    if (!instance)
        instance = new IdleUpdater;
    return *instance;
}

IdleUpdater::IdleUpdater() : QObject(QCoreApplication::instance()), m_timer(new QTimer(this))
{
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, &IdleUpdater::RunPass);
    QCoreApplication::instance()->installEventFilter(this);
}

void IdleUpdater::AddClient(UpdateClient* client)
{
    if (std::find(m_clients.begin(), m_clients.end(), client) == m_clients.end())
        m_clients.push_back(client);
    Invalidate();
}

void IdleUpdater::RemoveClient(UpdateClient* client)
{
    m_clients.erase(std::remove(m_clients.begin(), m_clients.end(), client), m_clients.end());
}

void IdleUpdater::AddAction(QAction* action, uint32_t id)
{
    m_actions.emplace_back(action, id);
    Invalidate();
}

void IdleUpdater::RemoveAction(QAction* action)
{
    m_actions.erase(std::remove_if(m_actions.begin(), m_actions.end(),
                                   [action](const auto& a) { return a.first == action; }),
                    m_actions.end());
}

void IdleUpdater::Invalidate()
{
    if (m_timer->isActive())
        return;
    qint64 since = QDateTime::currentMSecsSinceEpoch() - m_lastPass;
    // A zero timer fires once the queue has no other work.
    m_timer->start(since >= MinimumIntervalMs ? 0 : int(MinimumIntervalMs - since));
}

void IdleUpdater::RunPass()
{
    m_timer->stop();
    m_lastPass = QDateTime::currentMSecsSinceEpoch();
    ++m_passes;
    std::vector<CommandTarget*> route = CurrentRoute();
    for (size_t i = 0; i < m_actions.size();) {
        QAction* a = m_actions[i].first;
        if (!a) {
            m_actions.erase(m_actions.begin() + ptrdiff_t(i));
            continue;
        }
        const auto widgets = a->associatedObjects();
        bool visible = widgets.isEmpty();
        for (QObject* o : widgets) {
            auto* w = qobject_cast<QWidget*>(o);
            if (w && w->isVisible())
                visible = true;
        }
        if (visible) {
            ActionCmdUI cmd(m_actions[i].second, a);
            UpdateCommandUITo(route, cmd);
        }
        ++i;
    }
    // A client may remove itself or others while it updates.
    std::vector<UpdateClient*> clients = m_clients;
    for (UpdateClient* c : clients)
        if (std::find(m_clients.begin(), m_clients.end(), c) != m_clients.end())
            c->UpdateCmdUI();
}

bool IdleUpdater::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::FocusIn:
    case QEvent::WindowActivate:
    case QEvent::Show:
        if (watched->isWidgetType())
            Invalidate();
        break;
    default:
        break;
    }
    return false;
}

} // namespace ui
