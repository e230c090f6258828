#include "tools/linkshim/PtyPair.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace linkshim {

namespace {

void MakeRaw(int fd)
{
    termios t{};
    if (tcgetattr(fd, &t) == 0) {
        cfmakeraw(&t);
        t.c_cc[VMIN] = 0;
        t.c_cc[VTIME] = 0;
        tcsetattr(fd, TCSANOW, &t);
    }
}

} // namespace

PtyPair::PtyPair()
{
    int m = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m < 0 || grantpt(m) != 0 || unlockpt(m) != 0) {
        m_error = std::string("no pseudo-terminal: ") + std::strerror(errno);
        if (m >= 0)
            ::close(m);
        return;
    }
    char name[128] = {};
    if (ptsname_r(m, name, sizeof name) != 0) {
        m_error = std::string("ptsname_r: ") + std::strerror(errno);
        ::close(m);
        return;
    }
    int s = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (s < 0) {
        m_error = std::string("open ") + name + ": " + std::strerror(errno);
        ::close(m);
        return;
    }
    MakeRaw(s);
    MakeRaw(m);
    ::fcntl(m, F_SETFL, ::fcntl(m, F_GETFL) | O_NONBLOCK);
    m_master = m;
    m_slave = s;
    m_slavePath = name;
}

PtyPair::~PtyPair()
{
    CloseMaster();
    if (m_slave >= 0)
        ::close(m_slave);
}

void PtyPair::CloseMaster()
{
    if (m_master >= 0) {
        ::close(m_master);
        m_master = -1;
    }
}

bool PtyPair::WriteMaster(const void* data, size_t size, int timeoutMs)
{
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    const auto* p = static_cast<const uint8_t*>(data);
    while (size > 0) {
        ssize_t n = ::write(m_master, p, size);
        if (n > 0) {
            p += n;
            size -= static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        if (std::chrono::steady_clock::now() > end)
            return false;
        pollfd pfd{m_master, POLLOUT, 0};
        ::poll(&pfd, 1, 10);
    }
    return true;
}

std::string PtyPair::ReadMaster(size_t max, int timeoutMs)
{
    std::string out;
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (out.size() < max) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            end - std::chrono::steady_clock::now()).count();
        if (left <= 0)
            break;
        pollfd pfd{m_master, POLLIN, 0};
        if (::poll(&pfd, 1, static_cast<int>(left)) <= 0)
            continue;
        char buf[4096];
        ssize_t n = ::read(m_master, buf, std::min(sizeof buf, max - out.size()));
        if (n > 0)
            out.append(buf, static_cast<size_t>(n));
        else if (n < 0 && errno != EAGAIN && errno != EINTR)
            break;
    }
    return out;
}

} // namespace linkshim
