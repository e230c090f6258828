#include "platform/ui/Messages.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>

#include <atomic>
#include <deque>
#include <mutex>
#include <shared_mutex>
#include <unordered_map>

namespace ui {

namespace {
std::atomic<int> g_liveRecords{0};

struct Message
{
    uint32_t msg;
    uintptr_t wParam;
    intptr_t lParam;
    std::unique_ptr<MessageRecord> record;
};

class Port;

// The queue of one target, shared by the posting threads and the port.
struct Queue
{
    std::mutex lock;
    std::deque<Message> messages;
    Port* port = nullptr; // null once the target is gone
    bool wakePending = false;
};

const QEvent::Type kWakeEvent = QEvent::Type(QEvent::registerEventType());

std::shared_mutex g_tableLock;
std::unordered_map<MessageHandle, std::shared_ptr<Queue>> g_table;
MessageHandle g_nextHandle = 1;

// Lives as a child of the target on the user-interface thread and delivers
// the queued messages.
class Port : public QObject
{
public:
    Port(QObject* target, MessageHandle handle, MessageHandler handler, std::shared_ptr<Queue> queue)
        : QObject(target), m_handle(handle), m_handler(std::move(handler)), m_queue(std::move(queue))
    {
    }

    ~Port() override { Close(); }

    void Close()
    {
        {
            std::unique_lock table(g_tableLock);
            g_table.erase(m_handle);
        }
        std::deque<Message> dropped;
        {
            std::lock_guard l(m_queue->lock);
            m_queue->port = nullptr;
            dropped.swap(m_queue->messages);
        }
        // The records of dropped messages go here, outside the locks.
    }

    MessageHandle Handle() const { return m_handle; }

protected:
    bool event(QEvent* e) override
    {
        if (e->type() != kWakeEvent)
            return QObject::event(e);
        // Both stay valid even when a handler destroys the target.
        std::shared_ptr<Queue> queue = m_queue;
        MessageHandler handler = m_handler;
        {
            std::lock_guard l(queue->lock);
            queue->wakePending = false;
        }
        // Deliver a bounded batch so the rest of the user interface keeps
        // running; what is left gets another wake-up.
        for (int n = 0; n < 4096; ++n) {
            Message m;
            {
                std::lock_guard l(queue->lock);
                if (queue->messages.empty() || queue->port != this)
                    return true;
                m = std::move(queue->messages.front());
                queue->messages.pop_front();
                // A handler that runs a nested loop still gets the later
                // messages there.
                if (!queue->messages.empty() && !queue->wakePending) {
                    queue->wakePending = true;
                    QCoreApplication::postEvent(this, new QEvent(kWakeEvent));
                }
            }
            handler(m.msg, m.wParam, m.lParam, m.record.get());
        }
        std::lock_guard l(queue->lock);
        if (!queue->messages.empty() && !queue->wakePending && queue->port == this) {
            queue->wakePending = true;
            QCoreApplication::postEvent(this, new QEvent(kWakeEvent));
        }
        return true;
    }

private:
    MessageHandle m_handle;
    MessageHandler m_handler;
    std::shared_ptr<Queue> m_queue;
};
} // namespace

MessageRecord::MessageRecord() { g_liveRecords.fetch_add(1); }
MessageRecord::MessageRecord(const MessageRecord&) { g_liveRecords.fetch_add(1); }
MessageRecord::~MessageRecord() { g_liveRecords.fetch_sub(1); }

int LiveMessageRecords() { return g_liveRecords.load(); }

MessageHandle RegisterMessageTarget(QObject* target, MessageHandler handler)
{
    if (!target || !handler)
        return 0;
    auto queue = std::make_shared<Queue>();
    MessageHandle handle;
    {
        std::unique_lock table(g_tableLock);
        handle = g_nextHandle++;
        if (g_nextHandle == 0)
            g_nextHandle = 1;
        g_table.emplace(handle, queue);
    }
    auto* port = new Port(target, handle, std::move(handler), queue);
    port->setObjectName(QStringLiteral("sw_message_port"));
    std::lock_guard l(queue->lock);
    queue->port = port;
    return handle;
}

void UnregisterMessageTarget(MessageHandle handle)
{
    std::shared_ptr<Queue> queue;
    {
        std::shared_lock table(g_tableLock);
        auto it = g_table.find(handle);
        if (it == g_table.end())
            return;
        queue = it->second;
    }
    Port* port;
    {
        std::lock_guard l(queue->lock);
        port = queue->port;
    }
    delete port; // on the user-interface thread: drops what is queued
}

bool IsMessageTarget(MessageHandle handle)
{
    std::shared_lock table(g_tableLock);
    return g_table.count(handle) != 0;
}

bool PostMessageTo(MessageHandle handle, uint32_t msg, uintptr_t wParam, intptr_t lParam,
                   std::unique_ptr<MessageRecord> record)
{
    std::shared_ptr<Queue> queue;
    if (handle != 0) {
        std::shared_lock table(g_tableLock);
        auto it = g_table.find(handle);
        if (it != g_table.end())
            queue = it->second;
    }
    if (!queue)
        return false; // the record goes at once
    std::unique_lock l(queue->lock);
    if (!queue->port) {
        l.unlock();
        return false;
    }
    queue->messages.push_back({msg, wParam, lParam, std::move(record)});
    if (!queue->wakePending) {
        queue->wakePending = true;
        // The port cannot go while the queue lock is held.
        QCoreApplication::postEvent(queue->port, new QEvent(kWakeEvent));
    }
    return true;
}

} // namespace ui
