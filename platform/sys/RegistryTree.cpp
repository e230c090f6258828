#include "platform/sys/RegistryTree.h"

#include <atomic>

namespace sys::reg {

char16_t FoldChar(char16_t c)
{
    if (c < 0x80)
        return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 0x20) : c;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7)
        return static_cast<char16_t>(c + 0x20);
    if (c >= 0x100 && c <= 0x17F) {
        if (c == 0x178)
            return 0xFF;
        if ((c <= 0x12F || (c >= 0x132 && c <= 0x137) || (c >= 0x14A && c <= 0x177)) &&
            (c % 2) == 0)
            return static_cast<char16_t>(c + 1);
        if (((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) && (c % 2) == 1)
            return static_cast<char16_t>(c + 1);
        return c;
    }
    if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2)
        return static_cast<char16_t>(c + 0x20);
    if (c >= 0x410 && c <= 0x42F)
        return static_cast<char16_t>(c + 0x20);
    if (c >= 0x400 && c <= 0x40F)
        return static_cast<char16_t>(c + 0x50);
    return c;
}

std::u16string Fold(std::u16string_view name)
{
    std::u16string out(name);
    for (char16_t& c : out)
        c = FoldChar(c);
    return out;
}

int Node::ChildIndex(std::u16string_view name) const
{
    auto it = m_childIndex.find(Fold(name));
    return it == m_childIndex.end() ? -1 : static_cast<int>(it->second);
}

int Node::ValueIndex(std::u16string_view name) const
{
    auto it = m_valueIndex.find(Fold(name));
    return it == m_valueIndex.end() ? -1 : static_cast<int>(it->second);
}

void Node::ReindexChildren()
{
    m_childIndex.clear();
    for (size_t i = 0; i < children.size(); ++i)
        m_childIndex.emplace(Fold(children[i]->name), static_cast<uint32_t>(i));
}

void Node::ReindexValues()
{
    m_valueIndex.clear();
    for (size_t i = 0; i < values.size(); ++i)
        m_valueIndex.emplace(Fold(values[i].name), static_cast<uint32_t>(i));
}

Node* Node::FindChild(std::u16string_view name) const
{
    int i = ChildIndex(name);
    return i < 0 ? nullptr : children[static_cast<size_t>(i)].get();
}

Node* Node::ChildOrNew(std::u16string_view name, bool* created)
{
    std::u16string folded = Fold(name);
    auto it = m_childIndex.find(folded);
    if (created)
        *created = it == m_childIndex.end();
    if (it != m_childIndex.end())
        return children[it->second].get();
    auto child = std::make_shared<Node>();
    child->name = std::u16string(name);
    child->depth = depth + 1;
    child->parent = this;
    m_childIndex.emplace(std::move(folded), static_cast<uint32_t>(children.size()));
    children.push_back(std::move(child));
    return children.back().get();
}

bool Node::RemoveChild(std::u16string_view name)
{
    int i = ChildIndex(name);
    if (i < 0)
        return false;
    children[static_cast<size_t>(i)]->MarkDeleted();
    children[static_cast<size_t>(i)]->parent = nullptr;
    children.erase(children.begin() + i);
    ReindexChildren();
    return true;
}

const Value* Node::FindValue(std::u16string_view name) const
{
    int i = ValueIndex(name);
    return i < 0 ? nullptr : &values[static_cast<size_t>(i)];
}

bool Node::SetValue(std::u16string_view name, uint32_t type, std::vector<uint8_t> data)
{
    std::u16string folded = Fold(name);
    auto it = m_valueIndex.find(folded);
    if (it != m_valueIndex.end()) {
        Value& v = values[it->second];
        if (v.type == type && v.data == data)
            return false;
        v.type = type;
        v.data = std::move(data);
        return true;
    }
    m_valueIndex.emplace(std::move(folded), static_cast<uint32_t>(values.size()));
    values.push_back(Value{std::u16string(name), type, std::move(data)});
    return true;
}

bool Node::RemoveValue(std::u16string_view name)
{
    int i = ValueIndex(name);
    if (i < 0)
        return false;
    values.erase(values.begin() + i);
    ReindexValues();
    return true;
}

bool Node::Clear()
{
    bool changed = !children.empty() || !values.empty();
    for (auto& child : children) {
        child->MarkDeleted();
        child->parent = nullptr;
    }
    children.clear();
    values.clear();
    m_childIndex.clear();
    m_valueIndex.clear();
    return changed;
}

void Node::MarkDeleted()
{
    // Iterative, so that a very deep tree cannot exhaust the stack.
    std::vector<Node*> todo{this};
    while (!todo.empty()) {
        Node* n = todo.back();
        todo.pop_back();
        n->deleted = true;
        for (auto& child : n->children)
            todo.push_back(child.get());
    }
}

} // namespace sys::reg

namespace sys::reg {

uint64_t NewSerial()
{
    static std::atomic<uint64_t> next{1};
    return next.fetch_add(1, std::memory_order_relaxed);
}

namespace {

bool SameValue(const Value* a, const Value& b)
{
    return a && a->type == b.type && a->data == b.data;
}

// Copies names, values and listed marks of src below dst (and serials when
// asked).
void CopyInto(const Node& src, Node& dst, bool keepSerials)
{
    dst.listed = dst.listed || src.listed;
    if (keepSerials)
        dst.serial = src.serial;
    for (const Value& v : src.values)
        dst.SetValue(v.name, v.type, v.data);
    for (const auto& child : src.children)
        CopyInto(*child, *dst.ChildOrNew(child->name), keepSerials);
}

const Node* ChildOf(const Node* node, std::u16string_view name)
{
    return node ? node->FindChild(name) : nullptr;
}

// The value this process started with: the file's (base), or where the
// file had none the one it took instead (starts); none when neither has it.
const Value* StartValue(const Node* base, const Node* starts, std::u16string_view name)
{
    if (const Value* found = base ? base->FindValue(name) : nullptr)
        return found;
    return starts ? starts->FindValue(name) : nullptr;
}

// Whether the value v is this process's to write into the key disk: it
// differs from what the process started with, or it is one it took where
// the file had nothing and the disk still has nothing either (which fills
// the gap and undoes nothing).
bool Writes(const Node* base, const Node* starts, const Node& disk, const Value& v)
{
    if (const Value* found = base ? base->FindValue(v.name) : nullptr)
        return !SameValue(found, v);
    return !SameValue(StartValue(nullptr, starts, v.name), v) || !disk.FindValue(v.name);
}

// Whether the process deleted a value or a subkey of base from now.
bool DeletesFrom(const Node* base, const Node& now)
{
    if (!base)
        return false;
    for (const Value& v : base->values)
        if (!now.FindValue(v.name))
            return true;
    for (const auto& was : base->children)
        if (!now.FindChild(was->name))
            return true;
    return false;
}

// Whether the key now (and what lies below it) holds anything other than
// what this process started with.
bool DiffersFromStart(const Node* base, const Node& now, const Node* starts)
{
    for (const Value& v : now.values)
        if (!SameValue(StartValue(base, starts, v.name), v))
            return true;
    if (DeletesFrom(base, now))
        return true;
    for (const auto& child : now.children)
        if (DiffersFromStart(ChildOf(base, child->name), *child, ChildOf(starts, child->name)))
            return true;
    return false;
}

// Whether the key now (with what lies below it) was deleted and made again:
// base's key of that name is another one.
bool MadeAgain(const Node* was, const Node& now)
{
    return was && was->serial != now.serial;
}

// Whether anything below the key now is this process's to write into the
// key disk (none: the key is missing on disk): a value it writes, a value
// or key it deleted, a key it created (not found in the file nor taken at
// the start, or taken at the start and missing on disk), a key deleted and
// made again with other content.
bool HasWrites(const Node* base, const Node& now, const Node* starts, const Node* disk)
{
    if (now.listed && !(base && base->listed) && (!starts || !disk))
        return true;
    static const Node kMissing;
    for (const Value& v : now.values)
        if (Writes(base, starts, disk ? *disk : kMissing, v))
            return true;
    if (DeletesFrom(base, now))
        return true;
    for (const auto& child : now.children) {
        const Node* was = ChildOf(base, child->name);
        const Node* start = ChildOf(starts, child->name);
        if (MadeAgain(was, *child) ? DiffersFromStart(was, *child, start)
                                   : HasWrites(was, *child, start, ChildOf(disk, child->name)))
            return true;
    }
    return false;
}

// Writes v into the key disk.  A table (see TableForm) that the disk holds
// too takes what changed from the process's start by entry; a value that
// cannot be read as a table is written whole.
void WriteValue(Node& disk, const Value& v, const Value* start, const TableForms& tables)
{
    const Value* there = disk.FindValue(v.name);
    const auto form = tables.find(Fold(v.name));
    if (start && there && form != tables.end() && start->type == v.type && there->type == v.type) {
        const TableForm& f = form->second;
        Table before, after, onDisk;
        std::vector<uint8_t> merged;
        if (f.split(start->data, before) && f.split(v.data, after) &&
            f.split(there->data, onDisk) && f.join(MergeTable(before, after, onDisk), merged)) {
            disk.SetValue(v.name, v.type, std::move(merged));
            return;
        }
    }
    disk.SetValue(v.name, v.type, v.data);
}

// MergeChanges below one key; base is missing where this process's key is
// new.
void Merge(const Node* base, const Node& now, Node& onDisk, const Node* starts,
           const TableForms& tables)
{
    if (now.listed)
        onDisk.listed = true;
    for (const Value& v : now.values)
        if (Writes(base, starts, onDisk, v))
            WriteValue(onDisk, v, StartValue(base, starts, v.name), tables);
    if (base) {
        for (const Value& v : base->values)
            if (!now.FindValue(v.name))
                onDisk.RemoveValue(v.name);
        for (const auto& was : base->children)
            if (!now.FindChild(was->name))
                onDisk.RemoveChild(was->name);
    }
    for (const auto& child : now.children) {
        const Node* was = ChildOf(base, child->name);
        const Node* start = ChildOf(starts, child->name);
        if (MadeAgain(was, *child)) {
            // The new content replaces the old whole, unless it is what
            // this process started with.
            if (DiffersFromStart(was, *child, start)) {
                onDisk.RemoveChild(child->name);
                CopyInto(*child, *onDisk.ChildOrNew(child->name), false);
            }
        } else if (HasWrites(was, *child, start, onDisk.FindChild(child->name))) {
            // What differs from the start joins whatever the disk holds
            // there.
            Merge(was, *child, *onDisk.ChildOrNew(child->name), start, tables);
        }
    }
}

} // namespace

std::shared_ptr<Node> CloneTree(const Node& node)
{
    auto copy = std::make_shared<Node>();
    copy->name = node.name;
    copy->depth = node.depth;
    CopyInto(node, *copy, true);
    return copy;
}

bool SameContent(const Node& a, const Node& b)
{
    if (a.values.size() != b.values.size() || a.children.size() != b.children.size())
        return false;
    for (const Value& v : b.values)
        if (!SameValue(a.FindValue(v.name), v))
            return false;
    for (const auto& child : b.children) {
        const Node* other = a.FindChild(child->name);
        if (!other || !SameContent(*other, *child))
            return false;
    }
    return true;
}

void MergeChanges(const Node& base, const Node& now, Node& onDisk, const Node& starts,
                  const TableForms& tables)
{
    Merge(&base, now, onDisk, &starts, tables);
}

void NoteStartValue(const Node& base, Node& starts, const std::vector<std::u16string_view>& path,
                    const Value* value, bool replace)
{
    const Node* b = &base;
    Node* st = &starts;
    for (std::u16string_view part : path) {
        b = ChildOf(b, part);
        st = st->ChildOrNew(part);
        st->listed = true;
    }
    if (!value || (b && b->FindValue(value->name)))
        return;
    if (replace || !st->FindValue(value->name))
        st->SetValue(value->name, value->type, value->data);
}

} // namespace sys::reg
