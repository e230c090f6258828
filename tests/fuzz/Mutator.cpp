#include "tests/fuzz/Mutator.h"

#include <algorithm>
#include <cstdlib>
#include <string>
#include <utility>

namespace fuzzmut {

uint64_t Rng::Next()
{
    uint64_t z = (m_state += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

uint64_t Rng::Below(uint64_t n)
{
    return Next() % n;
}

Mutator::Mutator(uint64_t seed, std::vector<Bytes> seeds, size_t maxSize)
    : m_rng(seed), m_seeds(std::move(seeds)), m_maxSize(maxSize)
{
    if (m_seeds.empty())
        m_seeds.emplace_back();
}

Bytes Mutator::Next()
{
    Bytes d = m_seeds[m_rng.Below(m_seeds.size())];
    // Mostly one or two changes: a case stays close to a valid input, so
    // the readers get past their first checks.
    const uint64_t r = m_rng.Below(16);
    const int changes = r < 8 ? 1 : r < 13 ? 2 : r < 15 ? 3 : 4;
    for (int i = 0; i < changes; ++i)
        MutateOnce(d);
    if (d.size() > m_maxSize)
        d.resize(m_maxSize);
    return d;
}

void Mutator::MutateOnce(Bytes& d)
{
    switch (m_rng.Below(d.empty() ? 2 : 12)) {
    case 0:
        return InsertRange(d);
    case 1:
        return Splice(d);
    case 2:
    case 3:
        return FlipBit(d);
    case 4:
    case 5:
        return ChangeByte(d);
    case 6:
        return DeleteRange(d);
    case 7:
        return DuplicateRange(d);
    case 8:
        return ChangeBinaryLength(d);
    case 9:
    case 10:
        return ChangeTextNumber(d);
    default:
        return Truncate(d);
    }
}

size_t Mutator::Pos(const Bytes& d, bool allowEnd)
{
    return size_t(m_rng.Below(d.size() + (allowEnd ? 1 : 0)));
}

size_t Mutator::Len(size_t maxLen)
{
    if (maxLen == 0)
        return 0;
    const size_t cap = m_rng.OneIn(8) ? maxLen : std::min<size_t>(maxLen, 16);
    return 1 + size_t(m_rng.Below(cap));
}

const Bytes& Mutator::OtherSeed()
{
    return m_seeds[m_rng.Below(m_seeds.size())];
}

void Mutator::FlipBit(Bytes& d)
{
    d[Pos(d, false)] ^= uint8_t(1u << m_rng.Below(8));
}

void Mutator::ChangeByte(Bytes& d)
{
    // Boundaries of signed and unsigned bytes, and the characters that
    // give text formats their structure.
    static const uint8_t kSpecial[] = {0x00, 0x01, 0x7F, 0x80, 0xFF, 0xFE, 0xF9, 0xFD,
                                       '\r', '\n', ' ', '\t', '=', ',', ';', '"',
                                       '\\', '[', ']', ':', '-', '.', '%', '0'};
    uint8_t& b = d[Pos(d, false)];
    switch (m_rng.Below(3)) {
    case 0:
        b = uint8_t(m_rng.Next());
        break;
    case 1:
        b = kSpecial[m_rng.Below(sizeof kSpecial)];
        break;
    default:
        b = uint8_t(b + 1 + m_rng.Below(2) * 254); // +1 or -1
        break;
    }
}

void Mutator::InsertRange(Bytes& d)
{
    const size_t at = Pos(d, true);
    Bytes piece;
    if (m_rng.OneIn(2)) {
        const size_t n = Len(64);
        for (size_t i = 0; i < n; ++i)
            piece.push_back(uint8_t(m_rng.Next()));
    } else {
        const Bytes& o = OtherSeed();
        if (o.empty())
            return;
        const size_t from = Pos(o, false);
        const size_t n = Len(o.size() - from);
        piece.assign(o.begin() + from, o.begin() + from + n);
    }
    d.insert(d.begin() + at, piece.begin(), piece.end());
}

void Mutator::DeleteRange(Bytes& d)
{
    const size_t at = Pos(d, false);
    const size_t n = Len(d.size() - at);
    d.erase(d.begin() + at, d.begin() + at + n);
}

void Mutator::DuplicateRange(Bytes& d)
{
    const size_t from = Pos(d, false);
    const size_t n = Len(d.size() - from);
    const Bytes piece(d.begin() + from, d.begin() + from + n);
    const size_t at = Pos(d, true);
    const size_t times = m_rng.OneIn(8) ? 1 + m_rng.Below(64) : 1;
    for (size_t i = 0; i < times; ++i)
        d.insert(d.begin() + at, piece.begin(), piece.end());
}

void Mutator::ChangeBinaryLength(Bytes& d)
{
    static const size_t kWidths[] = {1, 2, 4};
    const size_t w = std::min(kWidths[m_rng.Below(3)], d.size());
    const size_t at = size_t(m_rng.Below(d.size() - w + 1));
    uint64_t v = 0;
    for (size_t i = 0; i < w; ++i)
        v |= uint64_t(d[at + i]) << (8 * i);
    const uint64_t max = w >= 8 ? ~0ULL : (1ULL << (8 * w)) - 1;
    switch (m_rng.Below(8)) {
    case 0:
        v = 0;
        break;
    case 1:
        v = max;
        break;
    case 2:
        v = (max >> 1) + 1; // the sign bit alone
        break;
    case 3:
        v = v + 1;
        break;
    case 4:
        v = v - 1;
        break;
    case 5:
        v = d.size() - at; // what is left from here
        break;
    case 6:
        v = d.size() + 1 + m_rng.Below(64);
        break;
    default:
        v = v + m_rng.Below(64) - 32;
        break;
    }
    for (size_t i = 0; i < w; ++i)
        d[at + i] = uint8_t(v >> (8 * i));
}

void Mutator::ChangeTextNumber(Bytes& d)
{
    // The decimal numbers of the text: runs of digits with an optional
    // minus before them.
    std::vector<std::pair<size_t, size_t>> numbers;
    for (size_t i = 0; i < d.size();) {
        if (d[i] >= '0' && d[i] <= '9') {
            size_t b = i;
            if (b > 0 && d[b - 1] == '-')
                --b;
            size_t e = i;
            while (e < d.size() && d[e] >= '0' && d[e] <= '9')
                ++e;
            numbers.emplace_back(b, e);
            i = e;
        } else {
            ++i;
        }
    }
    static const char* const kValues[] = {"0",          "-1",         "1",
                                          "2147483647", "2147483648", "-2147483648",
                                          "-2147483649", "32767",     "65535",
                                          "65536",      "4294967295", "4294967296",
                                          "99999999999999999999", "",  "00000000000000000000001"};
    std::string text;
    size_t b = Pos(d, true), e = b;
    long long old = 0;
    if (!numbers.empty()) {
        const auto& n = numbers[m_rng.Below(numbers.size())];
        b = n.first;
        e = n.second;
        old = std::strtoll(std::string(d.begin() + b, d.begin() + e).c_str(), nullptr, 10);
        old = std::clamp(old, -1'000'000'000'000'000LL, 1'000'000'000'000'000LL);
    }
    switch (m_rng.Below(4)) {
    case 0:
        text = std::to_string(old + 1);
        break;
    case 1:
        text = std::to_string(old - 1);
        break;
    case 2:
        text = std::to_string(old * 2 + int64_t(m_rng.Below(1000)));
        break;
    default:
        text = kValues[m_rng.Below(sizeof kValues / sizeof kValues[0])];
        break;
    }
    d.erase(d.begin() + b, d.begin() + e);
    d.insert(d.begin() + b, text.begin(), text.end());
}

void Mutator::Truncate(Bytes& d)
{
    d.resize(Pos(d, false));
}

void Mutator::Splice(Bytes& d)
{
    const Bytes& o = OtherSeed();
    const size_t head = Pos(d, true);
    const size_t tail = o.empty() ? 0 : Pos(o, true);
    d.resize(head);
    d.insert(d.end(), o.begin() + tail, o.end());
}

} // namespace fuzzmut
