#include "platform/sys/FileWatch.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace sys {

FileWatch::FileWatch()
{
    m_inotify = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    m_stop = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
}

FileWatch::~FileWatch()
{
    if (m_inotify >= 0)
        ::close(m_inotify);
    if (m_stop >= 0)
        ::close(m_stop);
}

uint32_t FileWatch::MaskForFilter(uint32_t filter)
{
    constexpr uint32_t kNames = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO;
    uint32_t mask = IN_DELETE_SELF | IN_MOVE_SELF;
    if (filter & 0x1)
        mask |= kNames;
    if (filter & 0x2)
        mask |= kNames;  // folder names: the same name events
    if (filter & (0x8 | 0x10))
        mask |= IN_MODIFY | IN_CLOSE_WRITE | IN_ATTRIB;
    if (filter & (0x4 | 0x100))
        mask |= IN_ATTRIB;
    if (filter & 0x20)
        mask |= IN_ACCESS;
    if (filter & 0x40)
        mask |= IN_CREATE;
    return mask;
}

int FileWatch::Add(const std::string& nativeFolder, uint32_t mask)
{
    if (m_inotify < 0) {
        errno = EBADF;
        return -1;
    }
    return ::inotify_add_watch(m_inotify, nativeFolder.c_str(), mask);
}

void FileWatch::Remove(int watchId)
{
    if (m_inotify >= 0 && watchId >= 0)
        ::inotify_rm_watch(m_inotify, watchId);
}

FileWatch::Result FileWatch::Wait(int timeoutMs, std::vector<int>& fired)
{
    if (!IsOpen())
        return Result::Error;
    pollfd fds[2] = {{m_stop, POLLIN, 0}, {m_inotify, POLLIN, 0}};
    int n = 0;
    do {
        n = ::poll(fds, 2, timeoutMs);
    } while (n < 0 && errno == EINTR);
    if (n < 0)
        return Result::Error;
    if (fds[0].revents & POLLIN)
        return Result::Stopped;
    if (n == 0)
        return Result::Timeout;
    alignas(inotify_event) char buf[16384];
    bool any = false;
    for (;;) {
        ssize_t len = ::read(m_inotify, buf, sizeof buf);
        if (len < 0 && errno == EINTR)
            continue;
        if (len <= 0)
            break;
        for (ssize_t off = 0; off < len;) {
            const auto* ev = reinterpret_cast<const inotify_event*>(buf + off);
            int id = (ev->mask & IN_Q_OVERFLOW) ? kOverflow : ev->wd;
            if ((id >= 0 || id == kOverflow) &&
                std::find(fired.begin(), fired.end(), id) == fired.end())
                fired.push_back(id);
            any = true;
            off += static_cast<ssize_t>(sizeof(inotify_event) + ev->len);
        }
    }
    return any ? Result::Events : Result::Timeout;
}

void FileWatch::Stop()
{
    if (m_stop >= 0) {
        uint64_t one = 1;
        (void)!::write(m_stop, &one, sizeof one);
    }
}

bool FileWatch::SleepUnlessStopped(int ms)
{
    pollfd fd{m_stop, POLLIN, 0};
    int n = 0;
    do {
        n = ::poll(&fd, 1, ms);
    } while (n < 0 && errno == EINTR);
    return !(n > 0 && (fd.revents & POLLIN));
}

void FileWatch::ResetStop()
{
    if (m_stop >= 0) {
        uint64_t value = 0;
        (void)!::read(m_stop, &value, sizeof value);
    }
}

} // namespace sys
