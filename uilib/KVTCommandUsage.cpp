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

sys::TableForm CKVTCommandUsage::UsageTable()
{
    sys::TableForm form;
    form.split = [](const std::vector<uint8_t>& data, sys::Table& table) {
        try {
            sys::ObjectArchive ar(data);
            ar.ReadU32(); // the total: the sum of the counts, made again by join
            const std::map<uint32_t, uint32_t> counts = ar.ReadDwordMap();
            if (ar.Remaining() != 0)
                return false;
            table = {};
            for (const auto& [id, count] : counts) {
                sys::ObjectArchive entry;
                entry.WriteU32(id);
                std::vector<uint8_t> key = entry.Bytes();
                entry.WriteU32(count);
                table.entries.push_back({std::move(key), entry.TakeBytes()});
            }
        } catch (const sys::ArchiveError&) {
            return false;
        }
        return true;
    };
    form.join = [](const sys::Table& table, std::vector<uint8_t>& data) {
        std::map<uint32_t, uint32_t> counts;
        uint32_t total = 0;
        for (const sys::TableEntry& e : table.entries) {
            sys::ObjectArchive entry(e.data);
            const uint32_t id = entry.ReadU32();
            total += counts[id] = entry.ReadU32();
        }
        sys::ObjectArchive ar;
        ar.WriteU32(total);
        ar.WriteDwordMap(counts);
        data = ar.TakeBytes();
        return true;
    };
    return form;
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
