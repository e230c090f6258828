#pragma once
// The breakpoints the link wants the control system to hold, and what the
// control system last confirmed.  Pure: the link object keeps one under its
// lock and hands it the clock.  See docs/link-object.md, "Breakpoints".

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <set>

namespace linkobj {

class BreakpointSync
{
public:
    using Set = std::set<uint32_t>;
    using Clock = std::chrono::steady_clock;

    // After a reply that did not confirm the wanted set, the link sends it
    // again this much later, at most kAttempts times in a row; then it waits
    // for the next occasion (a change, the return of the link, a run).
    static constexpr auto kRetryDelay = std::chrono::milliseconds(500);
    static constexpr int kAttempts = 3;

    const Set& Wanted() const { return m_wanted; }
    // The user's choice replaces the wanted set.
    void Want(Set set);
    // The control system confirmed the wanted set (a reply with status 0 to
    // the newest request that carried a set, and that set is the wanted one).
    bool Confirmed() const { return m_confirmed && *m_confirmed == m_wanted; }

    // A request carrying set goes out; its number orders the outcomes.
    uint64_t Sent(const Set& set);
    // Its outcome: status 0 says the control system holds the set; any
    // other (the control system's own failure code, a negative status, no
    // answer, a reset, a close, a send that failed) leaves what it holds
    // unknown.  An outcome older than the latest one known changes nothing.
    void Ended(uint64_t number, int8_t status, Clock::time_point now);
    // The link was lost, or opened anew: what the control system holds is
    // unknown, the requests in flight are gone, the attempts start anew.
    void Lost();

    // A request carrying the wanted set is on its way.
    bool WantedOnItsWay() const;
    // The wanted set should go out now, the link being up and answering.
    bool Due(Clock::time_point now) const;
    // A run, a step or a wake is an occasion to send it: the attempts start
    // anew.
    void Occasion()
    {
        m_failures = 0;
        m_retryAt = {};
    }

    // A run went without confirmation after the user was told once; the
    // next confirmation ends that.
    bool Told() const { return m_told; }
    void Tell() { m_told = true; }

private:
    Set m_wanted;
    std::optional<Set> m_confirmed; // none: unknown
    uint64_t m_next = 0;            // number of the next request
    uint64_t m_latestEnded = 0;     // number of the latest outcome (0: none)
    std::map<uint64_t, Set> m_onItsWay;
    int m_failures = 0; // outcomes in a row that did not confirm the wanted set
    Clock::time_point m_retryAt{};
    bool m_told = false;
};

} // namespace linkobj
