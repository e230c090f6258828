#pragma once
// The seeded generator of the link's fault shims and of the link tests:
// splitmix64, the same numbers on every platform and library, so a seed
// reproduces a run everywhere.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace linkshim {

class Rng
{
public:
    explicit Rng(uint64_t seed) : m_state(seed) {}
    uint64_t Next();
    uint32_t Below(uint32_t n); // 0 <= x < n (n > 0)
    bool Chance(double p);      // true with probability p
    std::vector<uint8_t> RandomBytes(size_t n);

private:
    uint64_t m_state;
};

} // namespace linkshim
