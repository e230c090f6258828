#pragma once
// Messages from worker threads to windows of the user-interface thread.
// A window registers as a message target and gets an integer handle; any
// thread posts (handle, message, wParam, lParam, record) without ever
// blocking on the user-interface thread; the message is delivered on the
// user-interface thread through Qt's queued events, in the order of posting.

#include <cstdint>
#include <functional>
#include <memory>

class QObject;

namespace ui {

constexpr uint32_t WM_APP = 0x8000;
// A change of the link or session state (to every registered window).
constexpr uint32_t WM_LINK_STATE = WM_APP;
// The reply to a request (to the requesting window).
constexpr uint32_t WM_LINK_RESULT = WM_APP + 10;
// Status or watch data pushed by the control system.
constexpr uint32_t WM_LINK_NOTIFY = WM_APP + 11;
// One step of a file transfer (to the requesting window).
constexpr uint32_t WM_XFER_RESULT = WM_APP + 30;

// The base of the records that travel with a message.  The bridge destroys
// the record after the handler returns, or at once when it drops the
// message, so a record can clean up after itself in its destructor.
class MessageRecord
{
public:
    MessageRecord();
    MessageRecord(const MessageRecord&);
    MessageRecord& operator=(const MessageRecord&) = default;
    virtual ~MessageRecord();
};

using MessageHandle = uint32_t; // 0: none
// The handler gets the message and may use the record until it returns.
using MessageHandler = std::function<intptr_t(uint32_t msg, uintptr_t wParam, intptr_t lParam, MessageRecord* record)>;

// Registers target (a QObject of the user-interface thread) as a message
// target; call on the user-interface thread.  The registration ends when
// the target is destroyed or UnregisterMessageTarget is called; messages
// still queued for it are then dropped.  Handles are never reused.
MessageHandle RegisterMessageTarget(QObject* target, MessageHandler handler);
void UnregisterMessageTarget(MessageHandle handle);
bool IsMessageTarget(MessageHandle handle);

// Posts from any thread; never waits for the user-interface thread.  False
// (and the record destroyed at once) for handle 0, an unknown handle or a
// target that has gone.
bool PostMessageTo(MessageHandle handle, uint32_t msg, uintptr_t wParam = 0, intptr_t lParam = 0,
                   std::unique_ptr<MessageRecord> record = nullptr);

// The number of records alive (for tests and leak checks).
int LiveMessageRecords();

} // namespace ui
