#include "link/linkobj/olnk_link_silence.h"

#include "link/linkobj/olnk_link_impl.h"

namespace linkobj {

SilenceWatch::Change SilenceWatch::Observe(Clock::time_point now, bool up, uint64_t received)
{
    if (!up) {
        m_watching = false;
        m_silent = false;
        return Change::None;
    }
    const bool fresh = !m_watching || received != m_received;
    const bool gap = m_watching && now - m_last > m_gap;
    m_last = now;
    if (fresh) {
        const bool answers = m_watching && m_silent;
        m_watching = true;
        m_silent = false;
        m_received = received;
        m_since = now;
        return answers ? Change::AnswersAgain : Change::None;
    }
    if (m_silent)
        return Change::None;
    // After a gap this side watches for at least the gap's length before it
    // concludes anything: its receiving thread may be behind.
    if (gap && now - m_since > m_limit - m_gap)
        m_since = now - (m_limit - m_gap);
    if (now - m_since < m_limit)
        return Change::None;
    m_silent = true;
    return Change::FellSilent;
}

// ---- The link object's side --------------------------------------------------------------

std::optional<uint64_t> Impl::ReceivedFrames(OxfrSession s)
{
    OlnkStatistics st{};
    st.size = sizeof st;
    if (!OlnkGetStatistics(OxfrGetChannel(s), &st))
        return std::nullopt;
    return st.RecPackets;
}

void Impl::ObserveSilence(std::vector<Post>& posts, bool up, std::optional<uint64_t> received)
{
    // A link that answers again needs nothing here: CheckEstablished reads
    // the status, and each list is current with its next push.
    if (silence.Observe(Clock::now(), up && received, received.value_or(0)) == SilenceWatch::Change::FellSilent)
        ControlSystemSilent(posts);
}

void Impl::ControlSystemSilent(std::vector<Post>& posts)
{
    NothingCurrent(posts, &PushState::Quiet, OLNK_STATUS_NO_ANSWER);
    ToList(posts, OLNK_LIST_NOTIFY, WM_LINK_NOTIFY, OLNK_NOTIFY_SILENT);
}

} // namespace linkobj

bool COlnkLink::ControlSystemSilent()
{
    std::lock_guard<std::mutex> g(d->m);
    return d->session && d->silence.Silent();
}

bool COlnkLink::BreakpointsConfirmed()
{
    std::lock_guard<std::mutex> g(d->m);
    return d->brk.Confirmed();
}
