#pragma once
// An auto-reset event that an I/O thread can wait for together with a port
// or a socket: it is a sys::Waitable like the other events, and its state
// is mirrored in an eventfd that poll() reports readable while the event
// is set.

#include "platform/sys/Sync.h"

namespace sys {

class PollableEvent : public Waitable
{
public:
    // The descriptor is created at once; Fd() is -1 (and the event still
    // works for WaitFor) when the system refused it.
    explicit PollableEvent(bool initialState = false);
    ~PollableEvent() override;

    void Set();
    void Reset();
    bool IsSet() const;
    // Takes the event when it is set (resets it and drains the descriptor);
    // true when it was set.  A poll() loop calls this once the descriptor is
    // readable.
    bool TryTake();
    // Readable while the event is set.  Owned by the event.
    int Fd() const { return m_fd; }

protected:
    bool IsSignalled() const override;
    void Take() override;

private:
    void SignalFd();
    void DrainFd();

    int m_fd = -1;
    bool m_state = false;
};

} // namespace sys
