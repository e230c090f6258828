#include "PtyPair.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <chrono>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <mutex>
#include <random>
#include <cstdio>
#include <set>

namespace testsupport {

static uint16_t PickOnce();

PtyPair::PtyPair()
{
    if (!Ok())
        ADD_FAILURE() << Error();
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
