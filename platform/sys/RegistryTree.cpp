#include "platform/sys/RegistryTree.h"

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
