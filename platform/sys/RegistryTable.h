#pragma once
// A registry value that holds a table kept as one value (a key table, a
// bar's buttons, a menu): what an instance changed in it is applied to the
// table in the file entry by entry, so that what another instance changed
// in other entries stays.  See docs/registry.md ("Tables").

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace sys {

struct TableEntry
{
    // What tells the entry apart from the others of its table (a key
    // combination, a button's command); equal keys are told apart by
    // their order.
    std::vector<uint8_t> key;
    // The whole entry as stored.
    std::vector<uint8_t> data;
    bool operator==(const TableEntry&) const = default;
};

struct Table
{
    // What the value holds besides its entries (a bar's caption).
    std::vector<uint8_t> head;
    std::vector<TableEntry> entries;
    bool operator==(const Table&) const = default;
};

// How the values of one name are split into a table and joined again.
// Either returns false for what it cannot read or write (the value is then
// written whole, as any other value).
struct TableForm
{
    std::function<bool(const std::vector<uint8_t>& data, Table& table)> split;
    std::function<bool(const Table& table, std::vector<uint8_t>& data)> join;
};

// A table of records of recordSize bytes, each told apart by its first
// keySize bytes; withCount: the records follow a little-endian u32 count.
TableForm FixedRecordsForm(size_t recordSize, size_t keySize, bool withCount);

// Applies to `disk` what changed from `start` to `now`: entries removed,
// added, changed or moved, and the head when it changed.  Entries that
// `now` left as they were in `start` keep what `disk` holds (also where
// another instance removed them); an entry changed in both takes `now`'s
// (the later write).  An added or moved entry goes after the entry that
// precedes it in `now`, where `disk` has that one.
Table MergeTable(const Table& start, const Table& now, const Table& disk);

} // namespace sys
