#include "uilib/KVTCommandUsage.h"

#include "uilib/KVTToolBar.h"

CKVTCommandUsage& CKVTCommandUsage::Instance()
{
    static CKVTCommandUsage usage;
    return usage;
}

void CKVTCommandUsage::Serialize(sys::ObjectArchive& ar)
{
    if (ar.IsStoring()) {
        ar.WriteU32(m_total);
        ar.WriteDwordMap(m_counts);
    } else {
        const uint32_t total = ar.ReadU32();
        std::map<uint32_t, uint32_t> counts = ar.ReadDwordMap();
        m_total = total;
        m_counts = std::move(counts);
    }
}

void CKVTCommandUsage::AddCommand(uint32_t id)
{
    if (CKVTToolbarShared::IsCustomizeMode() || id == 0 || id == 0xFFFFFFFF || CKVTToolbarShared::IsBasicCommand(id) ||
        IsFrameworkCommand(id))
        return;
    ++m_counts[id];
    ++m_total;
}

bool CKVTCommandUsage::IsFrequentlyUsed(uint32_t id) const
{
    if (m_total == 0)
        return false;
    auto it = m_counts.find(id);
    const uint64_t count = it == m_counts.end() ? 0 : it->second;
    return count * 100 / m_total > SharePercent;
}

void CKVTCommandUsage::Reset()
{
    m_counts.clear();
    m_total = 0;
}
