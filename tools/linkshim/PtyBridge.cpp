#include "tools/linkshim/PtyBridge.h"

#include "tools/linkshim/Rng.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace linkshim {

using Clock = std::chrono::steady_clock;

PtyBridge::PtyBridge() : PtyBridge(Options{}) {}

PtyBridge::PtyBridge(Options options) : m_options(options)
{
    m_worker.Start([this] { Run(); });
}

PtyBridge::~PtyBridge() { Stop(); }

void PtyBridge::Stop() { m_worker.Stop(); }

void PtyBridge::SetFaults(int direction, const Faults& f)
{
    std::lock_guard<std::mutex> g(m_lock);
    m_options.faults[direction] = f;
}

void PtyBridge::CloseMaster(int side)
{
    m_closeRequest[side] = true;
    m_worker.Wake();
    // The bridge's thread closes the master on its next turn; nothing tells
    // this thread when, so it looks again after a short pause, 10 s at most.
    const auto end = Clock::now() + std::chrono::milliseconds(10000);
    while (!(m_closed[side] || !m_worker.Running()) && Clock::now() <= end)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
}

std::vector<PtyBridge::Chunk> PtyBridge::Capture() const
{
    std::lock_guard<std::mutex> g(m_lock);
    return m_capture;
}

void PtyBridge::Run()
{
    Rng rng(m_options.seed);
    PtyPair* pairs[2] = {&m_a, &m_b};
    std::vector<uint8_t> pending[2];
    size_t pendingOff[2] = {0, 0};
    Clock::time_point next[2] = {Clock::now(), Clock::now()};
    const uint32_t baud = m_options.pacedBaud;
    const double byteNs = baud ? 11.0 * 1e9 / baud : 0;
    constexpr size_t kMaxPending = 1 << 16;
    uint8_t buf[4096];

    while (!m_worker.StopRequested()) {
        for (int side = 0; side < 2; ++side) {
            if (m_closeRequest[side] && !m_closed[side]) {
                pairs[side]->CloseMaster();
                m_closed[side] = true;
            }
        }
        Clock::time_point now = Clock::now();
        int timeout = -1;
        pollfd fds[5];
        fds[0] = {m_worker.WakeFd(), POLLIN, 0};
        for (int d = 0; d < 2; ++d) {
            int src = pairs[d]->MasterFd(), dst = pairs[1 - d]->MasterFd();
            bool room = pending[d].size() - pendingOff[d] < kMaxPending;
            fds[1 + d] = {room ? src : -1, POLLIN, 0};
            bool have = pendingOff[d] < pending[d].size();
            bool due = !baud || now >= next[d];
            fds[3 + d] = {have && due ? dst : -1, POLLOUT, 0};
            if (have && !due) {
                auto ms = std::chrono::duration_cast<std::chrono::microseconds>(next[d] - now)
                              .count() / 1000 + 1;
                timeout = timeout < 0 ? int(ms) : std::min(timeout, int(ms));
            }
        }
        int r = ::poll(fds, 5, timeout);
        if (r < 0 && errno != EINTR)
            break;
        if (fds[0].revents & POLLIN)
            m_worker.Drain();
        for (int d = 0; d < 2; ++d) {
            if (fds[1 + d].fd >= 0 && (fds[1 + d].revents & (POLLIN | POLLHUP | POLLERR))) {
                ssize_t n = ::read(fds[1 + d].fd, buf, sizeof buf);
                if (n > 0) {
                    Faults f;
                    {
                        std::lock_guard<std::mutex> g(m_lock);
                        f = m_options.faults[d];
                    }
                    if (pendingOff[d] > 0
                        && (pendingOff[d] == pending[d].size() || pendingOff[d] > kMaxPending)) {
                        pending[d].erase(pending[d].begin(),
                                         pending[d].begin() + long(pendingOff[d]));
                        pendingOff[d] = 0;
                    }
                    for (ssize_t i = 0; i < n; ++i) {
                        uint8_t b = buf[i];
                        if (f.hold)
                            continue;
                        if (f.insertByte > 0 && rng.Chance(f.insertByte))
                            pending[d].push_back(static_cast<uint8_t>(rng.Below(256)));
                        if (f.dropByte > 0 && rng.Chance(f.dropByte))
                            continue;
                        if (f.flipBit > 0 && rng.Chance(f.flipBit))
                            b ^= static_cast<uint8_t>(1u << rng.Below(8));
                        pending[d].push_back(b);
                    }
                } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
                    // Not a wait for anything: a side whose reads fail (its
                    // slave end closed) is read again after a pause instead
                    // of in a busy loop.
                    std::this_thread::sleep_for(std::chrono::milliseconds(5));
                }
            }
            int dst = pairs[1 - d]->MasterFd();
            if (pendingOff[d] < pending[d].size() && dst < 0) {
                pending[d].clear(); // the far end is unplugged
                pendingOff[d] = 0;
                continue;
            }
            now = Clock::now();
            if (pendingOff[d] < pending[d].size() && (!baud || now >= next[d])) {
                size_t left = pending[d].size() - pendingOff[d];
                size_t allowed = left;
                if (baud) {
                    auto late = std::chrono::duration_cast<std::chrono::nanoseconds>(now - next[d])
                                    .count();
                    allowed = std::min(left, size_t(double(late) / byteNs) + 1);
                }
                ssize_t w = ::write(dst, pending[d].data() + pendingOff[d], allowed);
                if (w > 0) {
                    if (m_options.capture) {
                        std::lock_guard<std::mutex> g(m_lock);
                        m_capture.push_back(
                            {now, d,
                             std::vector<uint8_t>(pending[d].begin() + long(pendingOff[d]),
                                                  pending[d].begin() + long(pendingOff[d]) + w)});
                    }
                    pendingOff[d] += size_t(w);
                    m_crossed[d] += uint64_t(w);
                    if (baud)
                        next[d] = std::max(next[d], now - std::chrono::milliseconds(2))
                                  + std::chrono::nanoseconds(int64_t(byteNs * double(w)));
                }
            }
        }
    }
}

} // namespace linkshim
