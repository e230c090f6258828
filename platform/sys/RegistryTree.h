#pragma once
// The registry store's tree in memory (internal to platform/sys).
//
// Keys and values keep the order in which they were created (or read from
// the file) and the case of their names; lookups go through the names'
// case fold.

#include "platform/sys/RegistryTable.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace sys::reg {

// The case fold used for key and value names: ASCII, Latin-1, Latin
// Extended-A, Greek and Cyrillic letters compare equal to their other case.
char16_t FoldChar(char16_t c);
std::u16string Fold(std::u16string_view name);

struct Value
{
    std::u16string name;
    uint32_t type = 0;
    std::vector<uint8_t> data;
};

// A number that tells the nodes of one process apart: a key that is
// deleted and created again under the same name gets another one, a copy
// (CloneTree) keeps it.
uint64_t NewSerial();

struct Node : std::enable_shared_from_this<Node>
{
    std::u16string name;
    uint64_t serial = NewSerial();
    // Levels below HKEY_CURRENT_USER (which is 0).
    uint32_t depth = 0;
    // The key that holds this one; none for the root and a removed key.
    Node* parent = nullptr;
    // Written as a section of its own even without values (a key that the
    // file listed or that was created through the calls).
    bool listed = false;
    // Removed from the tree; handles still holding it see ERROR_KEY_DELETED.
    bool deleted = false;

    std::vector<std::shared_ptr<Node>> children;
    std::vector<Value> values;

    Node* FindChild(std::u16string_view name) const;
    // Returns the child, creating it (unlisted) when missing.
    Node* ChildOrNew(std::u16string_view name, bool* created = nullptr);
    // Detaches the child and marks its whole subtree deleted; false when
    // there is no such child.
    bool RemoveChild(std::u16string_view name);

    const Value* FindValue(std::u16string_view name) const;
    // Sets (or adds at the end) a value; false when the value already held
    // exactly this type and data.
    bool SetValue(std::u16string_view name, uint32_t type, std::vector<uint8_t> data);
    bool RemoveValue(std::u16string_view name);
    // Removes every value and subkey.
    bool Clear();

    // Marks this node and everything below it deleted.
    void MarkDeleted();

private:
    int ChildIndex(std::u16string_view name) const;
    int ValueIndex(std::u16string_view name) const;
    void ReindexChildren();
    void ReindexValues();

    std::unordered_map<std::u16string, uint32_t> m_childIndex;
    std::unordered_map<std::u16string, uint32_t> m_valueIndex;
};

// A copy of the tree under node (names, values, listed marks, serials).
std::shared_ptr<Node> CloneTree(const Node& node);

// Whether two trees hold the same keys and values (names compared by their
// case fold, types and data exactly, order and listed marks aside).
bool SameContent(const Node& a, const Node& b);

// The values kept as tables, by the case fold of their names.
using TableForms = std::map<std::u16string, TableForm>;

// Applies to `onDisk` what changed from `base` (the tree as this process
// last read or wrote it) to `now` (the tree as it is in memory), and
// nothing else: values set or changed, values deleted, keys created, keys
// deleted with their subtrees, and a key deleted and made again with other
// content replacing the one on disk whole.  Whatever else `onDisk` holds
// stays.  `starts` holds, where the file had nothing when this process
// read it, what the process started with instead (its defaults): a value
// equal to it, and a key it holds, are no change.  A value named in
// `tables` that the disk holds too takes the change by entry (MergeTable).
void MergeChanges(const Node& base, const Node& now, Node& onDisk, const Node& starts,
                  const TableForms& tables);

// Notes in `starts` that this process started with the key at path (below
// the root) and, when given, the value in it: only where `base` (the file
// as read) has no such value; an earlier note stays unless replace.
void NoteStartValue(const Node& base, Node& starts, const std::vector<std::u16string_view>& path,
                    const Value* value, bool replace);

} // namespace sys::reg
