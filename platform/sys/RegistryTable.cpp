#include "platform/sys/RegistryTable.h"

#include <algorithm>
#include <map>
#include <set>
#include <utility>

namespace sys {

namespace {

// An entry's identity within its table: its key and how many entries of
// the same key come before it.
using Id = std::pair<std::vector<uint8_t>, int>;

std::vector<Id> Ids(const Table& t)
{
    std::map<std::vector<uint8_t>, int> seen;
    std::vector<Id> ids;
    ids.reserve(t.entries.size());
    for (const TableEntry& e : t.entries)
        ids.emplace_back(e.key, seen[e.key]++);
    return ids;
}

std::map<Id, size_t> IndexOf(const std::vector<Id>& ids)
{
    std::map<Id, size_t> index;
    for (size_t i = 0; i < ids.size(); ++i)
        index.emplace(ids[i], i);
    return index;
}

// The entries of both a and b that keep their order from a to b (a
// longest common subsequence); the others moved.  Tables too large for the
// comparison count as kept in order.
std::set<Id> KeptInOrder(const std::vector<Id>& a, const std::vector<Id>& b)
{
    std::set<Id> kept;
    constexpr size_t kMaxCells = size_t(1) << 22;
    if (a.size() * b.size() > kMaxCells) {
        kept.insert(a.begin(), a.end());
        return kept;
    }
    const size_t n = a.size(), m = b.size();
    std::vector<std::vector<uint16_t>> len(n + 1, std::vector<uint16_t>(m + 1, 0));
    for (size_t i = n; i-- > 0;)
        for (size_t j = m; j-- > 0;)
            len[i][j] = a[i] == b[j] ? uint16_t(len[i + 1][j + 1] + 1)
                                     : std::max(len[i + 1][j], len[i][j + 1]);
    for (size_t i = 0, j = 0; i < n && j < m;) {
        if (a[i] == b[j]) {
            kept.insert(a[i]);
            ++i, ++j;
        } else if (len[i + 1][j] >= len[i][j + 1]) {
            ++i;
        } else {
            ++j;
        }
    }
    return kept;
}

} // namespace

Table MergeTable(const Table& start, const Table& now, const Table& disk)
{
    const std::vector<Id> s = Ids(start), n = Ids(now), d = Ids(disk);
    const std::map<Id, size_t> inStart = IndexOf(s), inNow = IndexOf(n);

    std::vector<Id> commonS, commonN;
    for (const Id& id : s)
        if (inNow.count(id))
            commonS.push_back(id);
    for (const Id& id : n)
        if (inStart.count(id))
            commonN.push_back(id);
    const std::set<Id> inOrder = KeptInOrder(commonS, commonN);

    // The table on disk without what this instance removed or moved.
    std::vector<std::pair<Id, std::vector<uint8_t>>> result;
    for (size_t i = 0; i < d.size(); ++i) {
        const bool removed = inStart.count(d[i]) && !inNow.count(d[i]);
        const bool moved = inStart.count(d[i]) && inNow.count(d[i]) && !inOrder.count(d[i]);
        if (!removed && !moved)
            result.emplace_back(d[i], disk.entries[i].data);
    }
    const auto find = [&result](const Id& id) {
        return std::find_if(result.begin(), result.end(),
                            [&id](const auto& e) { return e.first == id; });
    };
    // What this instance added, changed or moved goes in, each after the
    // entry before it in `now`.
    const Id* before = nullptr;
    for (size_t i = 0; i < n.size(); ++i) {
        const Id& id = n[i];
        const std::vector<uint8_t>& data = now.entries[i].data;
        const auto was = inStart.find(id);
        const bool added = was == inStart.end();
        const bool changed = !added && start.entries[was->second].data != data;
        const bool moved = !added && !inOrder.count(id);
        auto at = find(id);
        if (at != result.end()) {
            if (added || changed)
                at->second = data;
        } else if (added || changed || moved) {
            auto after = before ? find(*before) : result.end();
            result.insert(after == result.end() ? result.begin() : after + 1, {id, data});
        } else {
            continue; // removed by the other instance, left alone here
        }
        before = &id;
    }

    Table merged;
    merged.head = now.head != start.head ? now.head : disk.head;
    for (auto& [id, data] : result)
        merged.entries.push_back({id.first, std::move(data)});
    return merged;
}

TableForm FixedRecordsForm(size_t recordSize, size_t keySize, bool withCount)
{
    const size_t first = withCount ? 4 : 0;
    TableForm form;
    form.split = [=](const std::vector<uint8_t>& data, Table& table) {
        if (data.size() < first || (data.size() - first) % recordSize != 0)
            return false;
        const size_t count = (data.size() - first) / recordSize;
        if (withCount && (data[0] | data[1] << 8 | data[2] << 16 | uint32_t(data[3]) << 24) != count)
            return false;
        table = {};
        for (size_t at = first; at < data.size(); at += recordSize) {
            const auto begin = data.begin() + std::ptrdiff_t(at);
            table.entries.push_back({{begin, begin + std::ptrdiff_t(keySize)}, {begin, begin + std::ptrdiff_t(recordSize)}});
        }
        return true;
    };
    form.join = [=](const Table& table, std::vector<uint8_t>& data) {
        data.clear();
        if (withCount) {
            const auto n = uint32_t(table.entries.size());
            data = {uint8_t(n), uint8_t(n >> 8), uint8_t(n >> 16), uint8_t(n >> 24)};
        }
        for (const TableEntry& e : table.entries)
            data.insert(data.end(), e.data.begin(), e.data.end());
        return true;
    };
    return form;
}

} // namespace sys
