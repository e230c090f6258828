#include "PtyPair.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <mutex>
#include <random>
#include <cstdio>
#include <set>

namespace testsupport {

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

static uint16_t PickOnce();

PtyPair::PtyPair()
{
    int m = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m < 0 || grantpt(m) != 0 || unlockpt(m) != 0) {
        ADD_FAILURE() << "no pseudo-terminal: " << std::strerror(errno);
        if (m >= 0)
            ::close(m);
        return;
    }
    char name[128] = {};
    if (ptsname_r(m, name, sizeof name) != 0) {
        ADD_FAILURE() << "ptsname_r: " << std::strerror(errno);
        ::close(m);
        return;
    }
    int s = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (s < 0) {
        ADD_FAILURE() << "open " << name << ": " << std::strerror(errno);
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

uint16_t PickFreeUdpPort()
{
    // Never the same port twice in one process, so that several picks in
    // a row give distinct ports even after the probing socket is closed.
    static std::mutex lock;
    static std::set<uint16_t> given;
    for (int attempt = 0; attempt < 50; ++attempt) {
        uint16_t port = PickOnce();
        std::lock_guard<std::mutex> g(lock);
        if (port != 0 && given.insert(port).second)
            return port;
    }
    return 0;
}

// The kernel hands out ports from the ephemeral range to every socket bound
// to port 0 (other tests running in parallel, their relays and clients), so a
// port probed there can be taken again before the caller binds it.  Probe a
// random port below that range instead, where only explicit binds land.
static uint16_t PickOnce()
{
    unsigned lo = 32768;
    if (FILE* f = std::fopen("/proc/sys/net/ipv4/ip_local_port_range", "r")) {
        unsigned a = 0, b = 0;
        if (std::fscanf(f, "%u %u", &a, &b) == 2 && a > 12000)
            lo = a;
        std::fclose(f);
    }
    static std::mutex rngLock;
    static std::mt19937 rng(unsigned(::getpid()) * 2654435761u
                            ^ unsigned(std::chrono::steady_clock::now().time_since_epoch().count()));
    uint16_t candidate;
    {
        std::lock_guard<std::mutex> g(rngLock);
        candidate = uint16_t(10000 + rng() % (lo - 10000));
    }
    int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return 0;
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    sa.sin_port = htons(candidate);
    const bool ok = ::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0;
    ::close(fd);
    return ok ? candidate : 0;
}

} // namespace testsupport
