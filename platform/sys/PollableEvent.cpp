#include "platform/sys/PollableEvent.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

namespace sys {

PollableEvent::PollableEvent(bool initialState)
{
    m_fd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (initialState) {
        m_state = true;
        SignalFd();
    }
}

PollableEvent::~PollableEvent()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

// Both called with the shared lock held, so the descriptor's counter is
// nonzero exactly while m_state is true.
void PollableEvent::SignalFd()
{
    if (m_fd < 0)
        return;
    uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(m_fd, &one, sizeof one);
}

void PollableEvent::DrainFd()
{
    if (m_fd < 0)
        return;
    uint64_t value = 0;
    [[maybe_unused]] ssize_t n = ::read(m_fd, &value, sizeof value);
}

void PollableEvent::Set()
{
    std::lock_guard<std::mutex> g(Lock());
    if (!m_state) {
        m_state = true;
        SignalFd();
    }
    WakeWaiters();
}

void PollableEvent::Reset()
{
    std::lock_guard<std::mutex> g(Lock());
    if (m_state) {
        m_state = false;
        DrainFd();
    }
}

bool PollableEvent::IsSet() const
{
    std::lock_guard<std::mutex> g(Lock());
    return m_state;
}

bool PollableEvent::TryTake()
{
    std::lock_guard<std::mutex> g(Lock());
    if (!m_state)
        return false;
    Take();
    return true;
}

bool PollableEvent::IsSignalled() const { return m_state; }

void PollableEvent::Take()
{
    m_state = false;
    DrainFd();
}

} // namespace sys
