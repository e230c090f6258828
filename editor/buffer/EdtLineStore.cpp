#include "editor/buffer/EdtLineStore.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <limits>
#include <stdexcept>

namespace edt {

// ---------------------------------------------------------------- LineText

void LineText::Reserve(size_t need)
{
    if (m_capacity && need <= m_capacity)
        return;
    if (need > std::numeric_limits<uint32_t>::max())
        throw std::length_error("line too long");
    size_t cap = std::max<size_t>(need, m_capacity ? m_capacity + m_capacity / 2 : need);
    cap = std::min<size_t>(std::max<size_t>(cap, 8), std::numeric_limits<uint32_t>::max());
    auto* fresh = new char16_t[cap];
    if (m_size)
        std::memcpy(fresh, m_data, m_size * sizeof(char16_t));
    Free();
    m_data = fresh;
    m_capacity = static_cast<uint32_t>(cap);
}

void LineText::Assign(std::u16string_view text)
{
    if (text.empty()) {
        Free();
        m_data = nullptr;
        m_size = 0;
        m_capacity = 0;
        return;
    }
    if (!m_capacity || text.size() > m_capacity) {
        Free();
        m_data = nullptr;
        m_size = 0;
        m_capacity = 0;
        Reserve(text.size());
    }
    std::memmove(m_data, text.data(), text.size() * sizeof(char16_t));
    m_size = static_cast<uint32_t>(text.size());
}

void LineText::Insert(size_t at, std::u16string_view text)
{
    if (text.empty())
        return;
    // The text may point into this line: keep a copy while moving.
    std::u16string copy;
    if (m_data && text.data() >= m_data && text.data() < m_data + m_size) {
        copy.assign(text);
        text = copy;
    }
    Reserve(m_size + text.size());
    std::memmove(m_data + at + text.size(), m_data + at, (m_size - at) * sizeof(char16_t));
    std::memcpy(m_data + at, text.data(), text.size() * sizeof(char16_t));
    m_size += static_cast<uint32_t>(text.size());
}

void LineText::Erase(size_t at, size_t count)
{
    if (count == 0)
        return;
    if (!m_capacity) {
        if (at + count == m_size) {  // a borrowed text can simply get shorter
            m_size = static_cast<uint32_t>(at);
            return;
        }
        Reserve(m_size);
    }
    std::memmove(m_data + at, m_data + at + count, (m_size - at - count) * sizeof(char16_t));
    m_size -= static_cast<uint32_t>(count);
}

void LineText::Truncate(size_t size)
{
    if (size < m_size)
        Erase(size, m_size - size);
}

// ---------------------------------------------------------------- Arena

char16_t* Arena::Reserve(size_t n, char16_t* keepFrom)
{
    if (m_end && static_cast<size_t>(m_limit - m_end) >= n)
        return keepFrom;
    size_t keep = keepFrom ? static_cast<size_t>(m_end - keepFrom) : 0;
    size_t size = std::max(kChunk, 2 * (keep + n));
    std::unique_ptr<char16_t[]> chunk(new char16_t[size]);  // not zeroed: pages stay untouched
    char16_t* base = chunk.get();
    if (keep)
        std::memcpy(base, keepFrom, keep * sizeof(char16_t));
    m_chunks.push_back(std::move(chunk));
    m_end = base + keep;
    m_limit = base + size;
    return keepFrom ? base : nullptr;
}

// ---------------------------------------------------------------- LineStore

LineStore::LineStore() = default;
LineStore::~LineStore() = default;

Arena& LineStore::GetArena()
{
    if (!m_arena)
        m_arena = std::make_unique<Arena>();
    return *m_arena;
}

size_t LineStore::Locate(int index, size_t& offset) const
{
    // Searches and the views read neighbouring lines: the block found last
    // first.
    const size_t h = m_hint;
    if (h < m_starts.size() && h < m_blocks.size() && index >= m_starts[h] &&
        index < m_starts[h] + static_cast<int>(m_blocks[h].size())) {
        offset = static_cast<size_t>(index - m_starts[h]);
        return h;
    }
    auto it = std::upper_bound(m_starts.begin(), m_starts.end(), index);
    size_t block = static_cast<size_t>(std::distance(m_starts.begin(), it)) - 1;
    offset = static_cast<size_t>(index - m_starts[block]);
    m_hint = block;
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
    m_arena.reset();
}

void LineStore::Swap(LineStore& other) noexcept
{
    m_blocks.swap(other.m_blocks);
    m_starts.swap(other.m_starts);
    std::swap(m_size, other.m_size);
    m_arena.swap(other.m_arena);
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

namespace {

// Whether b's text begins right after a's, at most two units (a line end)
// later: then both lie in one arena, and so do the units between them.
inline bool Follows(uintptr_t end, const LineText& b)
{
    const auto next = reinterpret_cast<uintptr_t>(b.data());
    return next >= end && next - end <= 2 * sizeof(char16_t);
}

inline uintptr_t EndOf(const LineText& t)
{
    return reinterpret_cast<uintptr_t>(t.data() + t.size());
}

} // namespace

TextRun LineStore::RunFrom(int first, int last, size_t maxUnits) const
{
    size_t offset = 0;
    size_t block = Locate(first, offset);
    const LineText& head = m_blocks[block][offset].text;
    TextRun run{head.data(), head.data() + head.size(), first, 1, head.size()};
    const auto base = reinterpret_cast<uintptr_t>(head.data());
    const uintptr_t room = (UINTPTR_MAX - base) / sizeof(char16_t);
    const uintptr_t limit = maxUnits < room ? base + maxUnits * sizeof(char16_t) : UINTPTR_MAX;
    uintptr_t end = EndOf(head);
    int left = last - first; // lines that may still join
    ++offset;
    while (left > 0 && end < limit && block < m_blocks.size()) {
        const std::vector<Line>& lines = m_blocks[block];
        const size_t stop = std::min(lines.size(), offset + static_cast<size_t>(left));
        size_t i = offset;
        for (; i < stop && end < limit; ++i) {
            const LineText& text = lines[i].text;
            if (!Follows(end, text))
                break;
            end = EndOf(text);
        }
        const size_t joined = i - offset;
        run.lines += static_cast<int>(joined);
        left -= static_cast<int>(joined);
        if (i < stop && end < limit)
            break; // a line elsewhere in memory
        if (i < lines.size())
            break; // the limits
        ++block;
        offset = 0;
    }
    run.end = reinterpret_cast<const char16_t*>(end);
    return run;
}

TextRun LineStore::RunTo(int last, int first, size_t maxUnits) const
{
    size_t offset = 0;
    size_t block = Locate(last, offset);
    const LineText* next = &m_blocks[block][offset].text;
    TextRun run{next->data(), next->data() + next->size(), last, 1, next->size()};
    size_t units = next->size();
    for (int line = last - 1; line >= first && units < maxUnits; --line) {
        if (offset == 0) {
            if (block == 0)
                break;
            offset = m_blocks[--block].size();
        }
        const LineText& text = m_blocks[block][--offset].text;
        if (!Follows(EndOf(text), *next))
            break;
        run.begin = text.data();
        run.first = line;
        units = static_cast<size_t>(run.end - run.begin);
        ++run.lines;
        next = &text;
    }
    run.firstSize = next->size();
    return run;
}

int LineStore::LineOfRun(const TextRun& run, const char16_t* p) const
{
    const auto at = reinterpret_cast<uintptr_t>(p);
    int lo = run.first, hi = run.first + run.lines - 1;
    while (lo < hi) {
        const int mid = lo + (hi - lo + 1) / 2;
        if (reinterpret_cast<uintptr_t>(At(mid).text.data()) <= at)
            lo = mid;
        else
            hi = mid - 1;
    }
    return lo;
}

} // namespace edt
