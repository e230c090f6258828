#pragma once
// The counters of the link object (replies ignored, requests unanswered),
// its job time-out and the statistics it reads from its session.
// COlnkLink owns one (through its state) and forwards to it.  No Qt.  See
// docs/link-object.md.

#include "link/linkobj/olnk_link.h"
#include "link/linkobj/olnk_link_access.h"

#include <atomic>
#include <cstdint>

namespace linkobj {

class LinkStatistics
{
public:
    explicit LinkStatistics(SessionAccess& access) : m_access(access) {}

    // The channel's statistics; false (last error set) without a session.
    bool GetStatistics(OlnkStatistics* record);
    // The session's handshake is complete, and the latest request that ended
    // did not end for want of an answer (OLNK_STATUS_NO_ANSWER): a link that
    // fails every request for longer than the job time-out is not shown
    // established, whatever its handshake said.
    bool IsEstablished();

    uint64_t IgnoredReplies() const { return m_ignored.load(); }
    uint64_t UnansweredRequests() const { return m_unanswered.load(); }
    uint32_t JobTimeout() const { return m_jobTimeoutMs.load(); }

    void CountIgnored() { ++m_ignored; }
    void CountUnanswered()
    {
        ++m_unanswered;
        m_silent = true;
    }
    // A transfer job ended because its peer fell silent.
    void CountSilentJob() { m_silent = true; }
    // A request was answered, or the link was (re)connected.
    void Answered() { m_silent = false; }
    // Stores the job time-out (the caller has made it at least 1 ms).
    void StoreJobTimeout(uint32_t ms) { m_jobTimeoutMs.store(ms); }

private:
    SessionAccess& m_access;
    std::atomic<uint64_t> m_ignored{0};
    std::atomic<uint32_t> m_jobTimeoutMs{OLNK_DEFAULT_JOB_TIMEOUT_MS};
    std::atomic<uint64_t> m_unanswered{0};
    std::atomic<bool> m_silent{false};
};

} // namespace linkobj
