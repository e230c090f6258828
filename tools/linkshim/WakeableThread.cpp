#include "tools/linkshim/WakeableThread.h"

#include <fcntl.h>
#include <unistd.h>

namespace linkshim {

WakeableThread::WakeableThread()
{
    if (::pipe2(m_wake, O_NONBLOCK | O_CLOEXEC) != 0)
        m_wake[0] = m_wake[1] = -1;
}

WakeableThread::~WakeableThread() { Stop(); }

void WakeableThread::Start(std::function<void()> run) { m_thread = std::thread(std::move(run)); }

void WakeableThread::Wake()
{
    char c = 1;
    [[maybe_unused]] auto n = ::write(m_wake[1], &c, 1);
}

void WakeableThread::Drain()
{
    char c[64];
    while (::read(m_wake[0], c, sizeof c) > 0) {
    }
}

void WakeableThread::Stop()
{
    if (m_thread.joinable()) {
        m_stop = true;
        Wake();
        m_thread.join();
    }
    for (int& fd : m_wake) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}

} // namespace linkshim
