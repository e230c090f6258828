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

// Whether the value v is this process's to write: it differs from what the
// process started with, the file's value (base) or where the file had none
// the one it took instead (starts); or it is one it took where the disk
// (when given) still has nothing, which fills the gap and undoes nothing.
bool Writes(const Node* base, const Node* starts, const Node* disk, const Value& v)
{
    if (const Value* found = base ? base->FindValue(v.name) : nullptr)
        return !SameValue(found, v);
    const Value* start = starts ? starts->FindValue(v.name) : nullptr;
    return !SameValue(start, v) || (disk != nullptr && !disk->FindValue(v.name));
}

// Whether anything below now is this process's to write (see Writes; a
// key is when it was created here, not found nor taken at the start, or
// taken at the start and missing on disk).  bySerial: a key of base is
// the same key of now only when it kept its serial (else it was deleted and
// made again, and only its content counts, as below it).  disk: the key on
// disk, or none when not asked.
bool Differs(const Node* base, const Node& now, const Node* starts, bool bySerial, const Node* disk,
             bool askDisk)
{
    if (bySerial && now.listed && !(base && base->listed) && (!starts || (askDisk && !disk)))
        return true;
    // A key missing on disk: every value taken at the start fills it.
    static const Node kEmpty;
    const Node* onDisk = askDisk ? (disk ? disk : &kEmpty) : nullptr;
    for (const Value& v : now.values)
        if (Writes(base, starts, onDisk, v))
            return true;
    if (base) {
        for (const Value& v : base->values)
            if (!now.FindValue(v.name))
                return true;
        for (const auto& was : base->children)
            if (!now.FindChild(was->name))
                return true;
    }
    for (const auto& child : now.children) {
        const Node* was = ChildOf(base, child->name);
        const bool same = bySerial && (!was || was->serial == child->serial);
        if (Differs(was, *child, ChildOf(starts, child->name), same, ChildOf(disk, child->name), askDisk))
            return true;
    }
    return false;
}

// MergeChanges with base missing where this process's key is new.
void Merge(const Node* base, const Node& now, Node& onDisk, const Node* starts)
{
    if (now.listed)
        onDisk.listed = true;
    for (const Value& v : now.values)
        if (Writes(base, starts, &onDisk, v))
            onDisk.SetValue(v.name, v.type, v.data);
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
        if (was && was->serial != child->serial) {
            // Deleted and made again: the new content replaces the old
            // whole, unless it is what this process started with.
            if (Differs(was, *child, start, false, nullptr, false)) {
                onDisk.RemoveChild(child->name);
                CopyInto(*child, *onDisk.ChildOrNew(child->name), false);
            }
        } else if (Differs(was, *child, start, true, onDisk.FindChild(child->name), true)) {
            // New here: what differs from the start joins whatever the
            // disk holds there.
            Merge(was, *child, *onDisk.ChildOrNew(child->name), start);
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
    return !Differs(&a, b, nullptr, false, nullptr, false);
}

void MergeChanges(const Node& base, const Node& now, Node& onDisk, const Node* starts)
{
    Merge(&base, now, onDisk, starts);
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
