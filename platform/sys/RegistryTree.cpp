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
    for (auto& child : children)
        child->MarkDeleted();
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

// Whether anything below now differs from base (see MergeChanges).
bool Changed(const Node& base, const Node& now)
{
    if (now.listed && !base.listed)
        return true;
    if (now.values.size() != base.values.size())
        return true;
    for (const Value& v : now.values)
        if (!SameValue(base.FindValue(v.name), v))
            return true;
    if (now.children.size() != base.children.size())
        return true;
    for (const auto& child : now.children) {
        const Node* was = base.FindChild(child->name);
        if (!was)
            return true;
        if (was->serial == child->serial ? Changed(*was, *child) : !SameContent(*was, *child))
            return true;
    }
    return false;
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
    for (const Value& v : a.values)
        if (!SameValue(b.FindValue(v.name), v))
            return false;
    for (const auto& child : a.children) {
        const Node* other = b.FindChild(child->name);
        if (!other || !SameContent(*child, *other))
            return false;
    }
    return true;
}

void MergeChanges(const Node& base, const Node& now, Node& onDisk)
{
    if (now.listed)
        onDisk.listed = true;
    for (const Value& v : now.values)
        if (!SameValue(base.FindValue(v.name), v))
            onDisk.SetValue(v.name, v.type, v.data);
    for (const Value& v : base.values)
        if (!now.FindValue(v.name))
            onDisk.RemoveValue(v.name);
    for (const auto& was : base.children)
        if (!now.FindChild(was->name))
            onDisk.RemoveChild(was->name);
    for (const auto& child : now.children) {
        const Node* was = base.FindChild(child->name);
        if (!was) {
            // New here: its values join whatever the disk holds there.
            CopyInto(*child, *onDisk.ChildOrNew(child->name), false);
        } else if (was->serial != child->serial) {
            // Deleted and made again: the new content replaces the old
            // whole, unless it is the same as before.
            if (!SameContent(*was, *child)) {
                onDisk.RemoveChild(child->name);
                CopyInto(*child, *onDisk.ChildOrNew(child->name), false);
            }
        } else if (Changed(*was, *child)) {
            MergeChanges(*was, *child, *onDisk.ChildOrNew(child->name));
        }
    }
}

} // namespace sys::reg
