#include "editor/EdtLineStore.h"

#include <algorithm>
#include <iterator>

namespace edt {

size_t LineStore::Locate(int index, size_t& offset) const
{
    auto it = std::upper_bound(m_starts.begin(), m_starts.end(), index);
    size_t block = static_cast<size_t>(std::distance(m_starts.begin(), it)) - 1;
    offset = static_cast<size_t>(index - m_starts[block]);
    return block;
}

Line& LineStore::At(int index)
{
    size_t offset = 0;
    size_t block = Locate(index, offset);
    return m_blocks[block][offset];
}

const Line& LineStore::At(int index) const
{
    size_t offset = 0;
    size_t block = Locate(index, offset);
    return m_blocks[block][offset];
}

void LineStore::Clear()
{
    m_blocks.clear();
    m_starts.clear();
    m_size = 0;
}

void LineStore::Swap(LineStore& other) noexcept
{
    m_blocks.swap(other.m_blocks);
    m_starts.swap(other.m_starts);
    std::swap(m_size, other.m_size);
}

void LineStore::PushBack(Line&& line)
{
    if (m_blocks.empty() || m_blocks.back().size() >= kBlock) {
        m_blocks.emplace_back();
        m_blocks.back().reserve(kBlock);
        m_starts.push_back(m_size);
    }
    m_blocks.back().push_back(std::move(line));
    ++m_size;
}

void LineStore::Reindex(size_t fromBlock)
{
    // Drop empty blocks, then recompute the first line of every block.
    for (size_t b = fromBlock; b < m_blocks.size();) {
        if (m_blocks[b].empty()) {
            m_blocks.erase(m_blocks.begin() + static_cast<std::ptrdiff_t>(b));
            m_starts.erase(m_starts.begin() + static_cast<std::ptrdiff_t>(b));
        } else {
            ++b;
        }
    }
    int start = 0;
    if (fromBlock > 0 && fromBlock <= m_blocks.size())
        start = m_starts[fromBlock - 1] + static_cast<int>(m_blocks[fromBlock - 1].size());
    else if (fromBlock > m_blocks.size() && !m_blocks.empty())
        start = m_starts.back() + static_cast<int>(m_blocks.back().size());
    for (size_t b = fromBlock; b < m_blocks.size(); ++b) {
        m_starts[b] = start;
        start += static_cast<int>(m_blocks[b].size());
    }
    m_size = start;
}

void LineStore::SplitIfLarge(size_t block)
{
    if (m_blocks[block].size() <= kMaxBlock)
        return;
    std::vector<Line> whole = std::move(m_blocks[block]);
    std::vector<std::vector<Line>> parts;
    for (size_t i = 0; i < whole.size(); i += kBlock) {
        size_t end = std::min(whole.size(), i + kBlock);
        parts.emplace_back(std::make_move_iterator(whole.begin() + static_cast<std::ptrdiff_t>(i)),
                           std::make_move_iterator(whole.begin() + static_cast<std::ptrdiff_t>(end)));
    }
    m_blocks[block] = std::move(parts[0]);
    auto at = static_cast<std::ptrdiff_t>(block) + 1;
    m_blocks.insert(m_blocks.begin() + at, std::make_move_iterator(parts.begin() + 1),
                    std::make_move_iterator(parts.end()));
    m_starts.insert(m_starts.begin() + at, parts.size() - 1, 0);
}

void LineStore::Insert(int index, std::vector<Line>&& lines)
{
    if (lines.empty())
        return;
    if (m_blocks.empty()) {
        m_blocks.emplace_back();
        m_starts.push_back(0);
    }
    size_t block = 0;
    size_t offset = 0;
    if (index >= m_size) {
        block = m_blocks.size() - 1;
        offset = m_blocks[block].size();
    } else {
        block = Locate(index, offset);
    }
    auto& b = m_blocks[block];
    b.insert(b.begin() + static_cast<std::ptrdiff_t>(offset), std::make_move_iterator(lines.begin()),
             std::make_move_iterator(lines.end()));
    SplitIfLarge(block);
    Reindex(block);
}

void LineStore::Erase(int index, int count)
{
    if (count <= 0)
        return;
    size_t offset = 0;
    size_t first = Locate(index, offset);
    size_t block = first;
    int left = count;
    while (left > 0 && block < m_blocks.size()) {
        auto& b = m_blocks[block];
        size_t n = std::min(b.size() - offset, static_cast<size_t>(left));
        b.erase(b.begin() + static_cast<std::ptrdiff_t>(offset),
                b.begin() + static_cast<std::ptrdiff_t>(offset + n));
        left -= static_cast<int>(n);
        offset = 0;
        ++block;
    }
    Reindex(first);
}

} // namespace edt
