#pragma once
// A UDP relay on 127.0.0.1 between two endpoints A and B with seeded faults.
// It binds one port facing A and one facing B; endpoint A uses the port
// facing it (PortFacingA) as its remote port, B likewise, so each endpoint
// receives only from its remote address and port.  A thread forwards the
// datagrams; every datagram is captured with time, direction and bytes.

#include "platform/sys/UdpSocket.h"
#include "tools/linkshim/Rng.h"
#include "tools/linkshim/WakeableThread.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace linkshim {

class UdpFaultRelay
{
public:
    // Probabilities per datagram.
    struct Faults
    {
        double drop = 0;
        double duplicate = 0;
        double reorder = 0; // held back and delivered after the next one
        double corrupt = 0; // one seeded bit flipped
        // Flip only bits that the frame structure or a check detects (see
        // DetectableSpots.h); anywhere otherwise.  The acknowledgement
        // byte is covered by no check: a flip there can free a frame that
        // never arrived, which the wire protocol cannot recover.
        bool corruptDetectable = false;
        uint32_t delayMs = 0;
        bool hold = false;  // nothing passes (silence)
    };

    struct Datagram
    {
        std::chrono::steady_clock::time_point time;
        int direction; // 0 A -> B, 1 B -> A
        std::vector<uint8_t> bytes; // as received from the sender, before faults
    };

    // portA and portB are the endpoints' local ports on 127.0.0.1.
    UdpFaultRelay(uint16_t portA, uint16_t portB, uint64_t seed = 1);
    ~UdpFaultRelay();
    UdpFaultRelay(const UdpFaultRelay&) = delete;
    UdpFaultRelay& operator=(const UdpFaultRelay&) = delete;

    bool Ok() const { return m_ok; }
    uint16_t PortFacingA() const { return m_portFacing[0]; }
    uint16_t PortFacingB() const { return m_portFacing[1]; }

    void SetFaults(int direction, const Faults& f);
    std::vector<Datagram> Capture() const;
    uint64_t Forwarded(int direction) const { return m_forwarded[direction].load(); }

    // Sends a datagram to 127.0.0.1:port from a port that is neither
    // endpoint's remote port; returns that foreign port.
    uint16_t SendForeign(uint16_t port, const std::vector<uint8_t>& bytes);
    void Stop();

    // A hook that sees every datagram (after the capture, before the random
    // faults) and may change its bytes.  Returns what to do with it.
    enum class Verdict { Pass, Drop, Duplicate, Delay, Hold };
    using Filter = std::function<Verdict(int direction, std::vector<uint8_t>& bytes,
                                         uint32_t& delayMs)>;
    void SetFilter(Filter f);
    // Sends a datagram to the endpoint that direction leads to (0: to B,
    // 1: to A) from the relay's port facing it, as if it had been forwarded.
    void Inject(int direction, const std::vector<uint8_t>& bytes);

private:
    struct Queued
    {
        std::chrono::steady_clock::time_point due;
        int direction;
        std::vector<uint8_t> bytes;
    };
    void Run();
    void Forward(int direction, std::vector<uint8_t> bytes);

    bool m_ok = false;
    uint16_t m_endpoint[2];
    uint16_t m_portFacing[2] = {0, 0};
    sys::UdpSocket m_sock[2];   // [0] faces A, [1] faces B
    sys::UdpSocket m_foreign;
    mutable std::mutex m_lock;
    Faults m_faults[2];
    Filter m_filter;
    std::vector<Datagram> m_capture;
    std::deque<Queued> m_queue; // delayed datagrams (thread only)
    std::vector<uint8_t> m_held[2];
    bool m_hasHeld[2] = {false, false};
    std::chrono::steady_clock::time_point m_heldSince[2];
    std::atomic<uint64_t> m_forwarded[2] = {0, 0};
    Rng m_rng; // a seed reproduces a run
    WakeableThread m_worker;
};

} // namespace linkshim
