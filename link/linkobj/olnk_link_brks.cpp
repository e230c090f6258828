#include "link/linkobj/olnk_link_brks.h"

#include <algorithm>

namespace linkobj {

void BreakpointSync::Want(Set set)
{
    if (set == m_wanted)
        return;
    m_wanted = std::move(set);
    m_failures = 0;
    m_retryAt = {};
}

uint64_t BreakpointSync::Sent(const Set& set)
{
    const uint64_t number = ++m_next;
    m_onItsWay[number] = set;
    return number;
}

void BreakpointSync::Ended(uint64_t number, int8_t status, Clock::time_point now)
{
    const auto it = m_onItsWay.find(number);
    if (it == m_onItsWay.end())
        return;
    const Set set = std::move(it->second);
    m_onItsWay.erase(it);
    // The control system carries out the requests in their order: an older
    // outcome arriving after a newer one says nothing of what it holds now.
    if (number < m_latestEnded)
        return;
    m_latestEnded = number;
    if (status == 0) {
        m_confirmed = set;
        if (Confirmed()) {
            m_failures = 0;
            m_told = false;
        }
        return;
    }
    m_confirmed.reset();
    if (set == m_wanted) {
        ++m_failures;
        m_retryAt = now + kRetryDelay;
    }
}

void BreakpointSync::Lost()
{
    m_confirmed.reset();
    m_onItsWay.clear();
    m_latestEnded = m_next;
    m_failures = 0;
    m_retryAt = {};
}

bool BreakpointSync::WantedOnItsWay() const
{
    return std::any_of(m_onItsWay.begin(), m_onItsWay.end(),
                       [&](const auto& e) { return e.second == m_wanted; });
}

bool BreakpointSync::Due(Clock::time_point now) const
{
    return !Confirmed() && !WantedOnItsWay() && m_failures < kAttempts && now >= m_retryAt;
}

} // namespace linkobj
