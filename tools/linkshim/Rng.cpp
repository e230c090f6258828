#include "tools/linkshim/Rng.h"

namespace linkshim {

uint64_t Rng::Next()
{
    uint64_t z = (m_state += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

uint32_t Rng::Below(uint32_t n) { return static_cast<uint32_t>(Next() % n); }

bool Rng::Chance(double p)
{
    if (p <= 0)
        return false;
    // 53 random bits as a fraction in [0, 1).
    const double x = static_cast<double>(Next() >> 11) * (1.0 / 9007199254740992.0);
    return x < p;
}

std::vector<uint8_t> Rng::RandomBytes(size_t n)
{
    std::vector<uint8_t> b(n);
    for (auto& x : b)
        x = static_cast<uint8_t>(Next() >> 56);
    return b;
}

} // namespace linkshim
