#pragma once
// The lines of a text buffer, kept in blocks of a few hundred to a few
// thousand lines with an index of the first line of every block, so that
// adding or removing lines in the middle of a million-line text moves only
// one block, and finding a line is a binary search over the blocks.

#include <cstdint>
#include <string>
#include <vector>

namespace edt {

struct Line
{
    std::u16string text;
    uint32_t flags = 0;
};

class LineStore
{
public:
    int Size() const { return m_size; }
    bool Empty() const { return m_size == 0; }

    // The index must lie in 0 .. Size()-1 (checked by the buffer).
    Line& At(int index);
    const Line& At(int index) const;

    void Clear();
    void PushBack(Line&& line);
    // Inserts the lines before index (index == Size() appends).
    void Insert(int index, std::vector<Line>&& lines);
    // Removes count lines from index on.
    void Erase(int index, int count);
    void Swap(LineStore& other) noexcept;

private:
    static constexpr size_t kBlock = 1024;  // lines per block after a split
    static constexpr size_t kMaxBlock = 2048;

    // Block and offset of a line.
    size_t Locate(int index, size_t& offset) const;
    void Reindex(size_t fromBlock);
    void SplitIfLarge(size_t block);

    std::vector<std::vector<Line>> m_blocks;
    std::vector<int> m_starts;  // first line of every block
    int m_size = 0;
};

} // namespace edt
