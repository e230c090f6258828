#pragma once
// Joins two pseudo-terminal pairs so that two serial channels, each on the
// slave of one pair, can talk: a thread copies between the two masters,
// optionally at line rate (baud / 11 bytes per second per direction) and
// with seeded byte faults.  Every byte that crosses is captured.

#include "tools/linkshim/PtyPair.h"
#include "tools/linkshim/WakeableThread.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace linkshim {

class PtyBridge
{
public:
    struct Faults
    {
        double dropByte = 0;   // per byte
        double flipBit = 0;    // per byte: one seeded bit
        double insertByte = 0; // per byte: a random byte before it
        bool hold = false;     // nothing crosses (silence)
    };

    struct Options
    {
        uint32_t pacedBaud = 0; // 0: unpaced
        uint64_t seed = 1;
        Faults faults[2];       // [0] a -> b, [1] b -> a
        bool capture = false;
    };

    struct Chunk
    {
        std::chrono::steady_clock::time_point time;
        int direction; // 0 a -> b, 1 b -> a
        std::vector<uint8_t> bytes; // as delivered
    };

    PtyBridge();
    explicit PtyBridge(Options options);
    ~PtyBridge();
    PtyBridge(const PtyBridge&) = delete;
    PtyBridge& operator=(const PtyBridge&) = delete;

    // The device paths the two serial channels open.
    const std::string& PathA() const { return m_a.SlavePath(); }
    const std::string& PathB() const { return m_b.SlavePath(); }
    PtyPair& PairA() { return m_a; }
    PtyPair& PairB() { return m_b; }

    // Faults may be changed while running.
    void SetFaults(int direction, const Faults& f);
    // Closes one master (side 0: a, 1: b): its serial channel sees a hang-up.
    void CloseMaster(int side);
    // Bytes that crossed per direction (after faults).
    uint64_t Crossed(int direction) const { return m_crossed[direction].load(); }
    std::vector<Chunk> Capture() const;
    void Stop();

private:
    void Run();

    Options m_options;
    PtyPair m_a, m_b;
    mutable std::mutex m_lock; // faults, capture, master closing
    std::vector<Chunk> m_capture;
    std::atomic<uint64_t> m_crossed[2] = {0, 0};
    std::atomic<bool> m_closeRequest[2] = {false, false};
    std::atomic<bool> m_closed[2] = {false, false};
    WakeableThread m_worker;
};

} // namespace linkshim
