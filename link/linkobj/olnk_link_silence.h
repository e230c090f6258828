#pragma once
// Whether the control system still answers.  An established link carries
// frames both ways all the time: each side sends at least two a second
// when idle (an empty frame, or the unacknowledged one again) and answers
// the other's frames with its acknowledgements, whatever the watch periods
// the user set.  A control system that was killed or stopped sends nothing
// more, yet no request needs to be pending for that, so nothing fails and
// no reset comes.  The link object feeds this rule the number of frames
// its channel has received on every sweep of the session's idle call; once
// none came for the limit, everything the link kept from the control system
// reads as not current (docs/link-object.md, "Silent control system").
// Pure: the clock is the caller's.  No Qt.

#include <chrono>
#include <cstdint>

namespace linkobj {

// How long an established link may receive no frame before the control
// system counts as silent.  Ten times the idle cadence of a peer: a busy
// machine that delays a few of its frames never comes near it.
constexpr std::chrono::milliseconds kSilenceLimit{5000};
// Two observations further apart than this mean that this side did not run
// (a loaded machine, a process stopped in a debugger): its receiving thread
// may not have read what arrived meanwhile, so the control system is not
// called silent before this side has watched this long again.
constexpr std::chrono::milliseconds kObservationGap{1000};

class SilenceWatch
{
public:
    using Clock = std::chrono::steady_clock;
    enum class Change
    {
        None,
        FellSilent,   // the limit passed without a frame
        AnswersAgain, // a frame came after the control system was silent
    };

    explicit SilenceWatch(Clock::duration limit = kSilenceLimit, Clock::duration gap = kObservationGap)
        : m_limit(limit), m_gap(gap)
    {
    }

    // One observation at `now`: `up` is the link established, `received`
    // the frames its channel has received so far.  A link that is not up is
    // not watched (a reset or a closed link has rules of its own) and is
    // not silent; its watch starts afresh once it is up.
    Change Observe(Clock::time_point now, bool up, uint64_t received);
    bool Silent() const { return m_silent; }
    // Forgets everything (the link opened or closed).
    void Forget() { *this = SilenceWatch(m_limit, m_gap); }

private:
    Clock::duration m_limit;
    Clock::duration m_gap;
    bool m_watching = false;
    bool m_silent = false;
    uint64_t m_received = 0;
    Clock::time_point m_since{}; // the last frame seen, or when counting began
    Clock::time_point m_last{};  // the previous observation
};

} // namespace linkobj
