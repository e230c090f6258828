#include "link/linkobj/olnk_link_stats.h"

#include <algorithm>
#include <cstring>

namespace linkobj {

bool LinkStatistics::GetStatistics(OlnkStatistics* record)
{
    if (!record)
        return Fail(OLNK_LINK_E_ARG);
    OxfrSession s = m_access.AcquireSession();
    if (!s)
        return false;
    const uint32_t size = std::min<uint32_t>(record->size, sizeof(OlnkStatistics));
    OlnkStatistics copy{};
    copy.size = sizeof(OlnkStatistics);
    const int r = OlnkGetStatistics(OxfrGetChannel(s), &copy);
    m_access.ReleaseSession();
    if (!r)
        return false;
    std::memcpy(record, &copy, size);
    return true;
}

bool LinkStatistics::IsEstablished()
{
    OxfrSession s = m_access.AcquireSession();
    if (!s)
        return false;
    const bool r = OxfrIsEstablished(s) && !m_silent.load();
    m_access.ReleaseSession();
    return r;
}

} // namespace linkobj
