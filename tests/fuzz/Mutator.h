#pragma once
// The one mutation engine of the fuzz targets' mutation runs: a small,
// deterministic mutator that makes a run of cases from seed inputs.  The
// same seed number gives the same cases on every machine and library
// (splitmix64, no std distributions).
//
// Each case is a seed with one to four of these changes applied: a bit
// flipped, a byte changed (to a random or a boundary value, or to a
// character that structures text: line ends, "=", ",", quotes, brackets),
// a range inserted (random bytes or a copy from another seed), deleted or
// duplicated, a number changed (a little-endian length field of one, two
// or four bytes, or a decimal number in text, set to 0, -1, a boundary or
// the value off by one), the input cut short, or a splice with another
// seed (the head of one and the tail of the other).

#include <cstddef>
#include <cstdint>
#include <vector>

namespace fuzzmut {

using Bytes = std::vector<uint8_t>;

// splitmix64.
class Rng
{
public:
    explicit Rng(uint64_t seed) : m_state(seed) {}
    uint64_t Next();
    // 0 <= x < n; n must be above 0.
    uint64_t Below(uint64_t n);
    bool OneIn(uint64_t n) { return Below(n) == 0; }

private:
    uint64_t m_state;
};

class Mutator
{
public:
    // seeds must not be empty (an empty seed input is allowed).  Cases are
    // kept at most maxSize bytes long.
    Mutator(uint64_t seed, std::vector<Bytes> seeds, size_t maxSize = 1 << 20);

    // The next case.
    Bytes Next();

    // One change applied to `data` in place (exposed for the engine's own
    // checks).
    void MutateOnce(Bytes& data);

    const std::vector<Bytes>& Seeds() const { return m_seeds; }

private:
    void FlipBit(Bytes& d);
    void ChangeByte(Bytes& d);
    void InsertRange(Bytes& d);
    void DeleteRange(Bytes& d);
    void DuplicateRange(Bytes& d);
    void ChangeBinaryLength(Bytes& d);
    void ChangeTextNumber(Bytes& d);
    void Truncate(Bytes& d);
    void Splice(Bytes& d);
    const Bytes& OtherSeed();
    // A position inside d (d.size() when allowEnd), d not empty unless allowEnd.
    size_t Pos(const Bytes& d, bool allowEnd);
    // A range length: mostly short, sometimes long.
    size_t Len(size_t maxLen);

    Rng m_rng;
    std::vector<Bytes> m_seeds;
    size_t m_maxSize;
};

} // namespace fuzzmut
