#include "tools/linkshim/UdpFaultRelay.h"

#include "tools/linkshim/DetectableSpots.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace linkshim {

using Clock = std::chrono::steady_clock;

UdpFaultRelay::UdpFaultRelay(uint16_t portA, uint16_t portB, uint64_t seed)
    : m_endpoint{portA, portB}, m_rng(seed)
{
    m_ok = m_sock[0].Open(0, sys::kIpv4Loopback) && m_sock[1].Open(0, sys::kIpv4Loopback)
           && m_foreign.Open(0, sys::kIpv4Loopback) && m_worker.PipeOk();
    if (!m_ok)
        return;
    for (int i = 0; i < 2; ++i) {
        m_sock[i].SetBufferSizes(1 << 20, 1 << 20);
        m_portFacing[i] = m_sock[i].LocalPort();
    }
    m_worker.Start([this] { Run(); });
}

UdpFaultRelay::~UdpFaultRelay() { Stop(); }

void UdpFaultRelay::Stop() { m_worker.Stop(); }

void UdpFaultRelay::SetFaults(int direction, const Faults& f)
{
    std::lock_guard<std::mutex> g(m_lock);
    m_faults[direction] = f;
}

std::vector<UdpFaultRelay::Datagram> UdpFaultRelay::Capture() const
{
    std::lock_guard<std::mutex> g(m_lock);
    return m_capture;
}

uint16_t UdpFaultRelay::SendForeign(uint16_t port, const std::vector<uint8_t>& bytes)
{
    m_foreign.SendTo(bytes.data(), bytes.size(), sys::kIpv4Loopback, port);
    return m_foreign.LocalPort();
}

void UdpFaultRelay::Forward(int direction, std::vector<uint8_t> bytes)
{
    // Out through the socket that faces the destination.
    const int out = 1 - direction;
    if (m_sock[out].SendTo(bytes.data(), bytes.size(), sys::kIpv4Loopback, m_endpoint[out])
        == sys::IoStatus::Ok)
        ++m_forwarded[direction];
}

void UdpFaultRelay::SetFilter(Filter f)
{
    std::lock_guard<std::mutex> g(m_lock);
    m_filter = std::move(f);
}

void UdpFaultRelay::Inject(int direction, const std::vector<uint8_t>& bytes)
{
    Forward(direction, bytes);
}

void UdpFaultRelay::Run()
{
    std::vector<uint8_t> buf(65536);
    while (!m_worker.StopRequested()) {
        Clock::time_point now = Clock::now();
        int timeout = -1;
        auto until = [&](Clock::time_point t) {
            int ms = t <= now ? 0
                              : int(std::chrono::duration_cast<std::chrono::microseconds>(t - now)
                                        .count() / 1000 + 1);
            timeout = timeout < 0 ? ms : std::min(timeout, ms);
        };
        for (const auto& q : m_queue)
            until(q.due);
        for (int d = 0; d < 2; ++d) {
            if (m_hasHeld[d])
                until(m_heldSince[d] + std::chrono::milliseconds(20));
        }
        pollfd fds[3] = {{m_worker.WakeFd(), POLLIN, 0}, {m_sock[0].Fd(), POLLIN, 0},
                         {m_sock[1].Fd(), POLLIN, 0}};
        if (::poll(fds, 3, timeout) < 0 && errno != EINTR)
            break;
        if (fds[0].revents & POLLIN)
            m_worker.Drain();
        now = Clock::now();
        for (int d = 0; d < 2; ++d) {
            if (!(fds[1 + d].revents & POLLIN))
                continue;
            for (;;) {
                size_t got = 0;
                sys::Ipv4Address from{};
                uint16_t fromPort = 0;
                if (m_sock[d].ReceiveFrom(buf.data(), buf.size(), got, from, fromPort)
                    != sys::IoStatus::Ok)
                    break;
                if (from != sys::kIpv4Loopback || fromPort != m_endpoint[d])
                    continue; // not from the endpoint this socket faces
                std::vector<uint8_t> bytes(buf.begin(), buf.begin() + long(got));
                Faults f;
                {
                    std::lock_guard<std::mutex> g(m_lock);
                    f = m_faults[d];
                    m_capture.push_back({now, d, bytes});
                }
                if (f.hold)
                    continue;
                Filter filter;
                {
                    std::lock_guard<std::mutex> g(m_lock);
                    filter = m_filter;
                }
                uint32_t extraDelay = 0;
                int extraCopies = 0;
                if (filter) {
                    const Verdict v = filter(d, bytes, extraDelay);
                    if (v == Verdict::Drop)
                        continue;
                    if (v == Verdict::Duplicate)
                        extraCopies = 1;
                    if (v == Verdict::Hold && !m_hasHeld[d]) {
                        m_held[d] = bytes;
                        m_hasHeld[d] = true;
                        m_heldSince[d] = now;
                        continue;
                    }
                    if (v != Verdict::Delay)
                        extraDelay = 0;
                }
                if (f.drop > 0 && m_rng.Chance(f.drop))
                    continue;
                if (f.corrupt > 0 && !bytes.empty() && m_rng.Chance(f.corrupt)) {
                    auto spots = f.corruptDetectable ? DetectableSpots(bytes)
                                                     : std::vector<BitSpot>{};
                    if (!spots.empty()) {
                        const auto& spot = spots[m_rng.Below(uint32_t(spots.size()))];
                        uint8_t mask = spot.mask, bit = 0;
                        int pick = int(m_rng.Below(uint32_t(__builtin_popcount(mask))));
                        for (int i = 0; i < 8; ++i)
                            if ((mask >> i) & 1 && pick-- == 0)
                                bit = uint8_t(1u << i);
                        bytes[spot.index] ^= bit;
                    } else if (!f.corruptDetectable) {
                        bytes[m_rng.Below(uint32_t(bytes.size()))] ^=
                            static_cast<uint8_t>(1u << m_rng.Below(8));
                    }
                }
                int copies = ((f.duplicate > 0 && m_rng.Chance(f.duplicate)) ? 2 : 1) + extraCopies;
                std::vector<std::vector<uint8_t>> out;
                if (!m_hasHeld[d] && f.reorder > 0 && m_rng.Chance(f.reorder)) {
                    m_held[d] = bytes;
                    m_hasHeld[d] = true;
                    m_heldSince[d] = now;
                    continue;
                }
                for (int i = 0; i < copies; ++i)
                    out.push_back(bytes);
                if (m_hasHeld[d]) {
                    out.push_back(std::move(m_held[d]));
                    m_hasHeld[d] = false;
                }
                for (auto& o : out) {
                    if (f.delayMs || extraDelay) {
                        Queued q{now + std::chrono::milliseconds(f.delayMs + extraDelay), d,
                                 std::move(o)};
                        auto at = std::upper_bound(
                            m_queue.begin(), m_queue.end(), q,
                            [](const Queued& a, const Queued& b) { return a.due < b.due; });
                        m_queue.insert(at, std::move(q));
                    }
                    else
                        Forward(d, std::move(o));
                }
            }
        }
        for (int d = 0; d < 2; ++d) {
            if (m_hasHeld[d] && now >= m_heldSince[d] + std::chrono::milliseconds(20)) {
                Forward(d, std::move(m_held[d]));
                m_hasHeld[d] = false;
            }
        }
        while (!m_queue.empty() && m_queue.front().due <= now) {
            Forward(m_queue.front().direction, std::move(m_queue.front().bytes));
            m_queue.pop_front();
        }
    }
}

} // namespace linkshim
