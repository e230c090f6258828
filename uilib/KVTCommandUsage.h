#pragma once
// How often each command was run: a map from command id to its count and the
// total of all counted uses.  One process-wide object; stored as the
// "CommandsUsage" value of the toolbar options (the total, then the map).

#include "platform/sys/ObjectArchive.h"
#include "platform/sys/RegistryTable.h"

#include <cstdint>
#include <map>

class CKVTCommandUsage : public sys::ArchiveObject
{
public:
    static CKVTCommandUsage& Instance();
    static constexpr uint32_t SharePercent = 5;

    const char* ArchiveClassName() const override { return "CKVTCommandUsage"; }
    // The total (u32), then the map (count, then id and count pairs).
    void Serialize(sys::ObjectArchive& ar) override;
    // "CommandsUsage" as a table of the settings store: an entry per
    // command; the total is the sum of the counts.
    static sys::TableForm UsageTable();

    // Counts a use: not in customisation mode, not for 0 or all bits set,
    // not for basic or framework commands.
    void AddCommand(uint32_t id);
    // total != 0 and count × 100 / total > 5 percent (computed in 64 bits).
    bool IsFrequentlyUsed(uint32_t id) const;
    void Reset();

    uint32_t Total() const { return m_total; }
    const std::map<uint32_t, uint32_t>& Counts() const { return m_counts; }

private:
    uint32_t m_total = 0;
    std::map<uint32_t, uint32_t> m_counts;
};
