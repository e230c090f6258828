#pragma once
// A deterministic pump for two link channels A and B: no threads, no
// sleeps, one shared manual clock, seeded faults.  Each turn moves one frame
// in each direction.  A seed reproduces the same run everywhere.

#include "link/olnk/olnk_transport.h"
#include "tools/linkshim/DetectableSpots.h"
#include "tools/linkshim/Rng.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <vector>

namespace linkpump {

using Bytes = std::vector<uint8_t>;

// The seeded generator of the shims: a seed reproduces a run everywhere.
using Rng = linkshim::Rng;

enum class Side { A = 0, B = 1 };
inline Side Other(Side s) { return s == Side::A ? Side::B : Side::A; }

enum class Policy {
    Serial, // Idle on every turn
    Udp,    // Ack when ack-needed, Idle every udpIdleEvery-th turn, else None
};

enum class CorruptMode {
    Anywhere,
    Header,
    Data,
    Detectable, // start, stuffing and end bytes, both checks, last 14 checked bits
};

// Faults of one direction, each a probability per frame.
struct Faults
{
    double drop = 0;
    double corrupt = 0;
    CorruptMode corruptMode = CorruptMode::Detectable;
    double duplicate = 0;
    double reorder = 0;
    double inject = 0; // raw random bytes before the frame
    bool hold = false; // the direction is silent (no frame is taken)
};

struct Config
{
    uint8_t window = 20;
    Policy policy = Policy::Serial;
    uint32_t udpIdleEvery = 8;
    uint64_t seed = 1;
    uint32_t msPerTurn = 1;
    uint32_t maxChunk = 97;
    bool passiveB = false;
    bool passiveA = false;
    // Acts as the upper layer: OlnkConnect when a side is reset by its peer.
    bool autoConnect = true;
    Bytes connectA, connectB;
};

class Pump
{
public:
    explicit Pump(Config config = {});
    ~Pump();
    Pump(const Pump&) = delete;
    Pump& operator=(const Pump&) = delete;

    OlnkChannel channel(Side s) const { return m_ch[int(s)]; }
    OlnkChannel a() const { return m_ch[0]; }
    OlnkChannel b() const { return m_ch[1]; }
    Faults& faults(Side from) { return m_faults[int(from)]; }
    Config& config() { return m_config; }

    // Queues a message; handed to OlnkSend (time-out 0) as slots come free.
    void send(Side s, Bytes message);
    size_t queued(Side s) const { return m_out[int(s)].size(); }
    // Drains the side's ring with OlnkReceive (time-out 0).
    std::vector<Bytes> received(Side s);

    void turn();
    // One direction only: takes a frame from `from` with the given mode
    // (applying the faults) and feeds it to the other side.  Returns the
    // frame as taken, before faults.
    Bytes transfer(Side from, OlnkFrameMode mode);
    // Turns until pred() holds; false when maxTurns ran out.
    bool runUntil(const std::function<bool()>& pred, int maxTurns);
    bool connected(); // both sides in link state 0 or 3

    uint32_t now() const { return m_now; }
    void advance(uint32_t ms) { m_now += ms; }
    int linkState(Side s) const { return OlnkGetLinkState(channel(s)); }
    OlnkStatistics stats(Side s) const;
    uint64_t turns() const { return m_turns; }
    Rng& rng() { return m_rng; }

    // Feeds raw bytes to a side in seeded chunks (counted as received bytes).
    void feed(Side to, const Bytes& bytes);

    // Called with every frame taken, before the faults.
    std::function<void(Side from, const Bytes& frame)> onFrame;

private:
    void submit(Side s);
    void corrupt(Bytes& frame, CorruptMode mode);
    OlnkFrameMode modeFor(Side s);

    Config m_config;
    Rng m_rng;
    OlnkChannel m_ch[2] = {nullptr, nullptr};
    Faults m_faults[2];
    std::deque<Bytes> m_out[2];
    std::vector<Bytes> m_held[2]; // reordered frames waiting for the next one
    uint32_t m_now = 1000;
    uint64_t m_turns = 0;
};

// Wire positions and bit masks whose flip the frame structure or a check
// detects (tools/linkshim/DetectableSpots.h).
using linkshim::BitSpot;
using linkshim::DataEnd;
using linkshim::DetectableSpots;

} // namespace linkpump
