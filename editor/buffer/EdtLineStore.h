#pragma once
// The lines of a text buffer, kept in blocks of a few hundred to a few
// thousand lines with an index of the first line of every block, so that
// adding or removing lines in the middle of a million-line text moves only
// one block, and finding a line is a binary search over the blocks.
//
// The text of a line lies either in one of the store's arenas (lines made by
// a load: one large allocation holds the text of many lines) or in a heap
// buffer of the line's own, which it gets when it is first changed.  Arena
// space of changed or removed lines is given back when the store is cleared.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace edt {

class LineText
{
public:
    LineText() = default;
    explicit LineText(std::u16string_view text) { Assign(text); }
    LineText(const LineText&) = delete;
    LineText& operator=(const LineText&) = delete;
    LineText(LineText&& other) noexcept { Take(other); }
    LineText& operator=(LineText&& other) noexcept
    {
        if (this != &other) {
            Free();
            Take(other);
        }
        return *this;
    }
    ~LineText() { Free(); }

    // Text that lives elsewhere (an arena); not freed by the line.
    static LineText Borrowed(const char16_t* data, size_t size)
    {
        LineText t;
        t.m_data = const_cast<char16_t*>(data);
        t.m_size = static_cast<uint32_t>(size);
        return t;
    }

    const char16_t* data() const { return m_data ? m_data : u""; }
    size_t size() const { return m_size; }
    std::u16string_view view() const { return {data(), m_size}; }
    std::u16string str() const { return std::u16string(view()); }

    void Assign(std::u16string_view text);
    void Insert(size_t at, std::u16string_view text);
    void Erase(size_t at, size_t count);
    void Truncate(size_t size);  // size <= size()
    void Append(std::u16string_view text) { Insert(m_size, text); }

private:
    void Free()
    {
        if (m_capacity)
            delete[] m_data;
    }
    void Take(LineText& other)
    {
        m_data = other.m_data;
        m_size = other.m_size;
        m_capacity = other.m_capacity;
        other.m_data = nullptr;
        other.m_size = 0;
        other.m_capacity = 0;
    }
    // Makes the text owned with room for at least need units.
    void Reserve(size_t need);

    char16_t* m_data = nullptr;
    uint32_t m_size = 0;
    uint32_t m_capacity = 0;  // 0: not owned (empty or in an arena)
};

struct Line
{
    LineText text;
    uint32_t flags = 0;
};

// A store of line text for loading: units are written at its end and lines
// borrow ranges of it.
class Arena
{
public:
    // Room for n more units at End(); the units from keepFrom (a pointer
    // into the current chunk, or nullptr) to End() move along when a new
    // chunk is needed.  Gives the (possibly moved) keepFrom.
    char16_t* Reserve(size_t n, char16_t* keepFrom);
    char16_t* End() { return m_end; }
    void Advance(size_t n) { m_end += n; }

private:
    static constexpr size_t kChunk = size_t(1) << 21;  // units per chunk (4 MB)
    std::vector<std::unique_ptr<char16_t[]>> m_chunks;
    char16_t* m_end = nullptr;
    char16_t* m_limit = nullptr;
};

// Lines whose texts follow one another in one piece of memory, each at
// most two units (its line end) after the one before: a search scans them
// as one text.
struct TextRun
{
    const char16_t* begin = nullptr; // the text of the first line
    const char16_t* end = nullptr;   // the end of the last line's text
    int first = 0;                   // the first line
    int lines = 0;
    size_t firstSize = 0; // the length of the first line
};

class LineStore
{
public:
    LineStore();
    ~LineStore();
    LineStore(const LineStore&) = delete;
    LineStore& operator=(const LineStore&) = delete;

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

    // The arena whose text lines may borrow (kept until Clear).
    Arena& GetArena();

    // The run of lines from line `first` on, at most to line `last`,
    // ending once it holds maxUnits units (the first line always belongs
    // to it); RunTo: the run that ends with line `last`, reaching down to
    // line `first` at the lowest.  Lines loaded together follow one
    // another; a changed line has a piece of memory of its own.
    TextRun RunFrom(int first, int last, size_t maxUnits) const;
    TextRun RunTo(int last, int first, size_t maxUnits) const;
    // The line of a run whose text begins at or before p (the first one
    // when p lies before the run).
    int LineOfRun(const TextRun& run, const char16_t* p) const;

private:
    static constexpr size_t kBlock = 1024;  // lines per block after a split
    static constexpr size_t kMaxBlock = 2048;

    // Block and offset of a line.
    size_t Locate(int index, size_t& offset) const;
    void Reindex(size_t fromBlock);
    void SplitIfLarge(size_t block);

    std::vector<std::vector<Line>> m_blocks;
    std::vector<int> m_starts;  // first line of every block
    mutable size_t m_hint = 0;  // the block found last (checked before use)
    int m_size = 0;
    std::unique_ptr<Arena> m_arena;
};

} // namespace edt
