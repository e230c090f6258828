#pragma once
// The parts of the regular-expression engine that its files share:
// the character tables, the compiled program, the working memory of
// the simulation, the prefilter literals and the search accelerator.
// Included only by the files of editor/regexp/ (see
// docs/editor-regexp.md for which file holds what).

#include "editor/regexp/EdtRegExp.h"
#include "editor/regexp/EdtRegExpTesting.h"
#include "platform/sys/UnicodeCase.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace regexp_detail {

// ---------------------------------------------------------------------------
// Character tables, built once and never changed afterwards.

enum CharBits : uint8_t {
    kUpper = 0x1,
    kLower = 0x2,
    kDigit = 0x4,
    kLetter = 0x8,
};

struct CharTables
{
    std::array<char16_t, 65536> upper;
    std::array<uint8_t, 65536> bits;
};

// Built on the first call (EdtRegExpAccel.cpp).
const CharTables& Tables();

inline bool IsSpace(char16_t c)
{
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

inline bool IsAsciiAlnum(char16_t c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}

// Categories usable inside and outside classes.
enum Category : uint8_t {
    CatDigit = 0x01,
    CatNotDigit = 0x02,
    CatWord = 0x04,
    CatNotWord = 0x08,
    CatSpace = 0x10,
    CatNotSpace = 0x20,
    CatUpper = 0x40,
    CatLower = 0x80,
};

inline bool InCategories(uint8_t cats, char16_t c, const CharTables& t)
{
    const uint8_t b = t.bits[c];
    if ((cats & CatDigit) && (b & kDigit))
        return true;
    if ((cats & CatNotDigit) && !(b & kDigit))
        return true;
    const bool word = b & (kDigit | kLetter);
    if ((cats & CatWord) && word)
        return true;
    if ((cats & CatNotWord) && !word)
        return true;
    if ((cats & CatSpace) && IsSpace(c))
        return true;
    if ((cats & CatNotSpace) && !IsSpace(c))
        return true;
    if ((cats & CatUpper) && (b & kUpper))
        return true;
    if ((cats & CatLower) && (b & kLower))
        return true;
    return false;
}

// ---------------------------------------------------------------------------
// The compiled program: a graph of nodes.  Consuming nodes and the
// assertions continue at x; a split prefers x and then tries y.

enum Op : uint8_t {
    // consuming
    OpChar,
    OpAny,
    OpClass,
    OpCategory, // one of the escapes \s \S \d \D \w \W \U \L, arg = category bit
    // not consuming
    OpBol,
    OpEol,
    OpWordStart,
    OpWordEnd,
    OpCaseOn,
    OpCaseOff,
    OpSave,
    OpSplit,
    OpNop,
    OpMatch,
};

struct Node
{
    Op op = OpNop;
    char16_t ch = 0;      // OpChar: the character
    char16_t chUpper = 0; // OpChar: its upper case
    int32_t arg = 0;      // OpClass: class index; OpCategory: bits; OpSave: slot
    int32_t x = -1;
    int32_t y = -1;
};

struct CharClass
{
    std::array<uint64_t, 4> low{}; // final answer for codes 0-255
    std::vector<std::pair<char16_t, char16_t>> ranges;
    uint8_t cats = 0;
    bool negated = false;

    bool Matches(char16_t c, const CharTables& t) const
    {
        if (c < 256)
            return (low[c >> 6] >> (c & 63)) & 1;
        bool in = InCategories(cats, c, t);
        for (size_t i = 0; !in && i < ranges.size(); ++i)
            in = c >= ranges[i].first && c <= ranges[i].second;
        return in != negated;
    }
    void Finish(const CharTables& t)
    {
        for (uint32_t c = 0; c < 256; ++c) {
            bool in = InCategories(cats, char16_t(c), t);
            for (size_t i = 0; !in && i < ranges.size(); ++i)
                in = c >= ranges[i].first && c <= ranges[i].second;
            if (in != negated)
                low[c >> 6] |= uint64_t(1) << (c & 63);
        }
    }
};

enum class Lead : uint8_t { None, Literal, Bol };

} // namespace regexp_detail

// The search accelerator of a compiled expression (character classes, the
// automata and the prefilter literals), built on its first search.
struct RegExpAccel;

struct RegExp
{
    RegExp();
    ~RegExp();
    RegExp(const RegExp&) = delete;
    RegExp& operator=(const RegExp&) = delete;

    std::vector<regexp_detail::Node> nodes;
    std::vector<regexp_detail::CharClass> classes;
    int32_t startNode = 0;
    int groupCount = 0; // capturing groups, without group 0
    regexp_detail::Lead lead = regexp_detail::Lead::None;
    char16_t leadChar = 0;
    std::vector<char16_t> leadFolded; // every unit whose upper case is leadChar's
    // The literal characters every match begins with (leadChar first), and
    // their upper case.
    std::u16string prefix;
    std::u16string prefixUpper;
    // Strings one of which every match contains (empty: none known).
    std::vector<std::u16string> scanLiterals;
    // Built by the first search and kept until RegExpFree.
    mutable std::unique_ptr<RegExpAccel> accel;
};

namespace regexp_detail {

// What the literals of a fragment say about its matches, for the scan of
// large texts: the strings it matches when they are few and all literal,
// and strings one of which every match contains.
struct Literals
{
    static constexpr size_t kMaxStrings = 16;
    static constexpr size_t kMaxLength = 64;

    bool exactKnown = true;
    std::vector<std::u16string> exact{std::u16string()}; // known: exactly these
    std::vector<std::u16string> must;                    // empty: nothing known

    // The strings one of which every match contains (none: empty).
    std::vector<std::u16string> Must() const
    {
        if (exactKnown && !exact.empty()) {
            bool nonEmpty = true;
            for (const std::u16string& e : exact)
                nonEmpty = nonEmpty && !e.empty();
            if (nonEmpty && Better(exact, must))
                return exact;
        }
        return must;
    }
    // Whether a is the more selective set: longer shortest string, then
    // fewer strings.
    static bool Better(const std::vector<std::u16string>& a, const std::vector<std::u16string>& b)
    {
        if (a.empty())
            return false;
        if (b.empty())
            return true;
        const size_t la = Shortest(a), lb = Shortest(b);
        return la != lb ? la > lb : a.size() < b.size();
    }
    static size_t Shortest(const std::vector<std::u16string>& v)
    {
        size_t n = SIZE_MAX;
        for (const std::u16string& s : v)
            n = std::min(n, s.size());
        return n;
    }
    static Literals Unknown()
    {
        Literals l;
        l.exactKnown = false;
        l.exact.clear();
        return l;
    }
    static Literals Concat(const Literals& a, const Literals& b)
    {
        Literals r = Unknown();
        if (a.exactKnown && b.exactKnown && a.exact.size() * b.exact.size() <= kMaxStrings) {
            r.exactKnown = true;
            for (const std::u16string& x : a.exact)
                for (const std::u16string& y : b.exact) {
                    if (x.size() + y.size() > kMaxLength) {
                        r.exactKnown = false;
                        r.exact.clear();
                        break;
                    }
                    r.exact.push_back(x + y);
                }
        }
        const std::vector<std::u16string> ma = a.Must(), mb = b.Must();
        r.must = Better(mb, ma) ? mb : ma;
        if (r.exactKnown)
            Dedupe(r.exact);
        return r;
    }
    static Literals Alternative(const Literals& a, const Literals& b)
    {
        Literals r = Unknown();
        if (a.exactKnown && b.exactKnown && a.exact.size() + b.exact.size() <= kMaxStrings) {
            r.exactKnown = true;
            r.exact = a.exact;
            r.exact.insert(r.exact.end(), b.exact.begin(), b.exact.end());
            Dedupe(r.exact);
        }
        const std::vector<std::u16string> ma = a.Must(), mb = b.Must();
        if (!ma.empty() && !mb.empty() && ma.size() + mb.size() <= kMaxStrings) {
            r.must = ma;
            r.must.insert(r.must.end(), mb.begin(), mb.end());
            Dedupe(r.must);
        }
        return r;
    }
    static void Dedupe(std::vector<std::u16string>& v)
    {
        std::sort(v.begin(), v.end());
        v.erase(std::unique(v.begin(), v.end()), v.end());
    }
};


// All entries -1, with straight vector stores (a loop would become a
// string store, which starts slowly; a search per line does this for every
// line).
#if defined(__SSE2__)
template <size_t... I>
inline void StoreAll(int* groups, __m128i v, std::index_sequence<I...>)
{
    (_mm_storeu_si128(reinterpret_cast<__m128i*>(groups + 4 * I), v), ...);
}
#endif

inline void ClearGroups(int groups[REGEXP_GROUP_ENTRIES])
{
#if defined(__SSE2__)
    StoreAll(groups, _mm_set1_epi32(-1), std::make_index_sequence<REGEXP_GROUP_ENTRIES / 4>());
#else
    std::fill(groups, groups + REGEXP_GROUP_ENTRIES, -1);
#endif
}

// Counters of the calling thread's searches (RegExpStats).
extern constinit thread_local RegExpPathStats t_stats;

struct Thread
{
    int32_t node;
    uint8_t caseSensitive;
};

// The working memory of the simulation; kept by a compiled expression
// between its searches.
struct RunnerScratch
{
    struct List
    {
        std::vector<Thread> threads;
        std::vector<int32_t> caps;
        void Clear()
        {
            threads.clear();
            caps.clear();
        }
        const int32_t* Caps(size_t i, size_t width) const { return caps.data() + i * width; }
    };

    struct StackEntry
    {
        int32_t node; // >= 0: explore; < 0: restore slot -node-1 to -1
        uint8_t caseSensitive;
    };

    std::vector<uint32_t> visited;
    uint32_t gen = 0;
    std::vector<int32_t> work;
    std::vector<StackEntry> stack;
    List lists[2];
};

// The match by the simulation: at the start q found by the automata, or
// (q < 0) from start on (EdtRegExpMatch.cpp).
bool Finish(const RegExp& re, const char16_t* text, int length, int start, int q, int qEnd,
            int groups[REGEXP_GROUP_ENTRIES], uint32_t flags);

// Transition entries of the automata.
constexpr uint32_t kFlag = 0x80000000u;
constexpr uint32_t kUnknown = 0xFFFFFFFFu;
constexpr uint32_t kDead = 0xFFFFFFFEu;
constexpr uint32_t kGiveUp = 0xFFFFFFFDu;
constexpr uint32_t kDeadMatch = 0xFFFFFFFCu; // a match here, then no path is left

// Whether a transition entry says that a match ends (forward) or begins
// (backward) at the position: the flag on a row, or the end after a match.
inline bool HasMatchFlag(uint32_t e)
{
    return (e & kFlag) && e <= kDeadMatch;
}

// Every unit, grouped by its upper case (for case-insensitive literals).
struct FoldIndex
{
    std::vector<uint32_t> start; // 65,537 entries, indexed by the upper case
    std::vector<char16_t> units;
};

// Built on the first call (EdtRegExpAccel.cpp).
const FoldIndex& Folds();

// The units one literal position accepts: one unit, or all that fold to
// the same upper case (n = 0: more than fit, compare through upper case).
struct UnitSet
{
    std::array<char16_t, 4> u{};
    int n = 0;
    char16_t upper = 0;

    bool Has(char16_t c, const CharTables& t) const
    {
        if (n == 0)
            return t.upper[c] == upper;
        for (int i = 0; i < n; ++i)
            if (u[size_t(i)] == c)
                return true;
        return false;
    }
};

inline UnitSet ExactSet(char16_t c)
{
    UnitSet s;
    s.u[0] = c;
    s.n = 1;
    s.upper = Tables().upper[c];
    return s;
}

inline UnitSet FoldSet(char16_t c)
{
    const FoldIndex& f = Folds();
    UnitSet s;
    s.upper = Tables().upper[c];
    const uint32_t b = f.start[s.upper];
    const uint32_t e = f.start[size_t(s.upper) + 1];
    if (e - b <= 4) {
        s.n = int(e - b);
        for (uint32_t i = b; i < e; ++i)
            s.u[i - b] = f.units[i];
    }
    return s;
}

struct PrefilterLiteral
{
    std::u16string text;
    std::u16string upper;
    UnitSet first[2]; // [exact, folded]
    UnitSet last[2];

    explicit PrefilterLiteral(std::u16string s) : text(std::move(s))
    {
        const CharTables& t = Tables();
        for (char16_t c : text)
            upper.push_back(t.upper[c]);
        first[0] = ExactSet(text.front());
        first[1] = FoldSet(text.front());
        last[0] = ExactSet(text.back());
        last[1] = FoldSet(text.back());
    }

    bool At(const char16_t* p, bool insensitive) const
    {
        if (!insensitive)
            return std::equal(text.begin(), text.end(), p);
        const CharTables& t = Tables();
        for (size_t i = 0; i < upper.size(); ++i)
            if (t.upper[p[i]] != upper[i])
                return false;
        return true;
    }

    // The first position from `from` on where the literal stands, or -1.
    int Find(const char16_t* text16, int from, int length, bool insensitive) const
    {
        const int n = int(text.size());
        if (length - from < n)
            return -1;
        const int lastStart = length - n;
        const UnitSet& a = first[insensitive];
        const UnitSet& b = last[insensitive];
#if defined(__x86_64__)
        if (a.n > 0 && b.n > 0) {
            static const bool avx2 = __builtin_cpu_supports("avx2");
            const int r = avx2 ? FindAvx2(text16, from, lastStart, a, b, insensitive)
                               : FindSse2(text16, from, lastStart, a, b, insensitive);
            if (r != -2)
                return r;
        }
#endif
        const CharTables& t = Tables();
        const int d = n - 1;
        for (int i = from; i <= lastStart; ++i)
            if (a.Has(text16[i], t) && b.Has(text16[i + d], t) && At(text16 + i, insensitive))
                return i;
        return -1;
    }

private:
#if defined(__x86_64__)
    // Blocks of W positions where the first and the last unit fit, the
    // last block overlapping the one before; -2 when the text is shorter
    // than one block.  mask(i) has two bits per unit.
    template <int W, typename Mask>
    int Scan(const char16_t* text16, int from, int lastStart, bool insensitive,
             Mask&& mask) const
    {
        const int end = lastStart + 1;
        if (end - from < W)
            return -2;
        for (int i = from;; i += W) {
            if (i > end - W)
                i = end - W;
            uint32_t m = mask(i);
            while (m) {
                const int k = __builtin_ctz(m) >> 1;
                if (At(text16 + i + k, insensitive))
                    return i + k;
                m &= m - 1;
                m &= m - 1;
            }
            if (i == end - W)
                return -1;
        }
    }

    int FindSse2(const char16_t* t, int from, int lastStart, const UnitSet& a, const UnitSet& b,
                 bool insensitive) const
    {
        const int d = int(text.size()) - 1;
        __m128i va[4], vb[4];
        for (int k = 0; k < a.n; ++k)
            va[k] = _mm_set1_epi16(short(a.u[size_t(k)]));
        for (int k = 0; k < b.n; ++k)
            vb[k] = _mm_set1_epi16(short(b.u[size_t(k)]));
        return Scan<8>(t, from, lastStart, insensitive, [&](int i) {
            const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(t + i));
            const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(t + i + d));
            __m128i ma = _mm_cmpeq_epi16(x, va[0]);
            for (int k = 1; k < a.n; ++k)
                ma = _mm_or_si128(ma, _mm_cmpeq_epi16(x, va[k]));
            __m128i mb = _mm_cmpeq_epi16(y, vb[0]);
            for (int k = 1; k < b.n; ++k)
                mb = _mm_or_si128(mb, _mm_cmpeq_epi16(y, vb[k]));
            return uint32_t(_mm_movemask_epi8(_mm_and_si128(ma, mb)));
        });
    }

    int FindAvx2(const char16_t* t, int from, int lastStart, const UnitSet& a, const UnitSet& b,
                 bool insensitive) const
    {
        if (a.n == 1 && b.n == 1)
            return ScanAvx2<1, 1>(t, from, lastStart, a, b, insensitive);
        if (a.n == 2 && b.n == 2)
            return ScanAvx2<2, 2>(t, from, lastStart, a, b, insensitive);
        if (a.n == 2 && b.n == 1)
            return ScanAvx2<2, 1>(t, from, lastStart, a, b, insensitive);
        if (a.n == 1 && b.n == 2)
            return ScanAvx2<1, 2>(t, from, lastStart, a, b, insensitive);
        return ScanAvx2<0, 0>(t, from, lastStart, a, b, insensitive);
    }

    // NA, NB: the sizes of the unit sets when known (0: as the sets say).
    template <int NA, int NB>
    __attribute__((target("avx2"))) int ScanAvx2(const char16_t* t, int from, int lastStart,
                                                 const UnitSet& a, const UnitSet& b,
                                                 bool insensitive) const
    {
        const int na = NA ? NA : a.n;
        const int nb = NB ? NB : b.n;
        const int d = int(text.size()) - 1;
        const int end = lastStart + 1;
        if (end - from < 16)
            return FindSse2(t, from, lastStart, a, b, insensitive);
        __m256i va[4], vb[4];
        for (int k = 0; k < na; ++k)
            va[k] = _mm256_set1_epi16(short(a.u[size_t(k)]));
        for (int k = 0; k < nb; ++k)
            vb[k] = _mm256_set1_epi16(short(b.u[size_t(k)]));
        // Two bits per position where the first and the last unit fit.
        auto mask = [&](int i) __attribute__((target("avx2"))) {
            const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(t + i));
            const __m256i y = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(t + i + d));
            __m256i ma = _mm256_cmpeq_epi16(x, va[0]);
            for (int k = 1; k < na; ++k)
                ma = _mm256_or_si256(ma, _mm256_cmpeq_epi16(x, va[k]));
            __m256i mb = _mm256_cmpeq_epi16(y, vb[0]);
            for (int k = 1; k < nb; ++k)
                mb = _mm256_or_si256(mb, _mm256_cmpeq_epi16(y, vb[k]));
            return uint32_t(_mm256_movemask_epi8(_mm256_and_si256(ma, mb)));
        };
        auto verify = [&](int i, uint32_t m) {
            while (m) {
                const int k = __builtin_ctz(m) >> 1;
                if (At(t + i + k, insensitive))
                    return i + k;
                m &= m - 1;
                m &= m - 1;
            }
            return -1;
        };
        int i = from;
        // 32 positions a turn while they fit, one test for both halves.
        for (; i + 32 <= end; i += 32) {
            const uint32_t m0 = mask(i);
            const uint32_t m1 = mask(i + 16);
            if ((m0 | m1) == 0)
                continue;
            int r = verify(i, m0);
            if (r < 0)
                r = verify(i + 16, m1);
            if (r >= 0)
                return r;
        }
        for (;; i += 16) {
            if (i > end - 16)
                i = end - 16;
            const int r = verify(i, mask(i));
            if (r >= 0)
                return r;
            if (i == end - 16)
                return -1;
        }
    }
#endif
};

// The scan for a few literals at once (one of which every match
// contains): positions where a unit of the first literal units stands and,
// the shortest literal's length minus one further, a unit of the units
// there, 8 positions at a time (SSE2), each such position compared in
// full.  A single literal goes to PrefilterLiteral.
class LiteralScanner
{
public:
    LiteralScanner(const std::vector<std::u16string>& literals, bool insensitive)
        : m_insensitive(insensitive)
    {
        const CharTables& t = Tables();
        for (const std::u16string& l : literals) {
            std::u16string u = l;
            if (insensitive)
                for (char16_t& c : u)
                    c = t.upper[c];
            m_literals.push_back(std::move(u));
        }
        Literals::Dedupe(m_literals);
        m_min = Literals::Shortest(m_literals);
        if (m_literals.size() == 1) {
            m_single = std::make_unique<PrefilterLiteral>(literals.front());
            return;
        }
        m_offset = m_min - 1;
        m_bitsA.assign(1024, 0);
        m_bitsB.assign(1024, 0);
        auto add = [&](std::vector<char16_t>& units, std::vector<uint64_t>& bits, char16_t c) {
            const UnitSet set = insensitive ? FoldSet(c) : ExactSet(c);
            if (set.n == 0) {
                m_vector = false; // too many units of the same upper case
                const FoldIndex& f = Folds();
                for (uint32_t i = f.start[set.upper]; i < f.start[size_t(set.upper) + 1]; ++i)
                    bits[f.units[i] >> 6] |= uint64_t(1) << (f.units[i] & 63);
                return;
            }
            for (int k = 0; k < set.n; ++k) {
                const char16_t u = set.u[size_t(k)];
                bits[u >> 6] |= uint64_t(1) << (u & 63);
                if (std::find(units.begin(), units.end(), u) == units.end())
                    units.push_back(u);
            }
        };
        for (const std::u16string& l : literals) {
            add(m_unitsA, m_bitsA, l.front());
            add(m_unitsB, m_bitsB, l[m_offset]);
        }
        if (m_unitsA.size() > 8 || m_unitsB.size() > 8)
            m_vector = false;
    }

    // The first position in text[from..length) where one of the literals
    // begins (and ends before length), or -1.
    int64_t Find(const char16_t* text, int64_t from, int64_t length) const
    {
        if (m_single) {
            // The single-literal scan works on int positions: long texts go
            // in pieces that overlap by the literal's length.
            const int64_t n = int64_t(m_min);
            const int64_t piece = int64_t(1) << 30;
            for (int64_t base = from; base < length; base += piece) {
                const int64_t end = std::min(length, base + piece + n - 1);
                const int r = m_single->Find(text + base, 0, int(end - base), m_insensitive);
                if (r >= 0)
                    return base + r;
                if (end == length)
                    break;
            }
            return -1;
        }
        const int64_t last = length - int64_t(m_min); // the last possible start
        int64_t i = from;
#if defined(__SSE2__)
        if (m_vector && last - i + 1 >= 8) {
            __m128i va[8], vb[8];
            const size_t na = m_unitsA.size(), nb = m_unitsB.size();
            for (size_t k = 0; k < na; ++k)
                va[k] = _mm_set1_epi16(short(m_unitsA[k]));
            for (size_t k = 0; k < nb; ++k)
                vb[k] = _mm_set1_epi16(short(m_unitsB[k]));
            const int64_t d = int64_t(m_offset);
            for (;; i += 8) {
                if (i > last - 7)
                    i = last - 7;
                const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i));
                const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i + d));
                __m128i ma = _mm_cmpeq_epi16(x, va[0]);
                for (size_t k = 1; k < na; ++k)
                    ma = _mm_or_si128(ma, _mm_cmpeq_epi16(x, va[k]));
                __m128i mb = _mm_cmpeq_epi16(y, vb[0]);
                for (size_t k = 1; k < nb; ++k)
                    mb = _mm_or_si128(mb, _mm_cmpeq_epi16(y, vb[k]));
                uint32_t m = uint32_t(_mm_movemask_epi8(_mm_and_si128(ma, mb)));
                while (m) {
                    const int64_t at = i + (__builtin_ctz(m) >> 1);
                    if (At(text + at, length - at))
                        return at;
                    m &= m - 1;
                    m &= m - 1;
                }
                if (i == last - 7)
                    return -1;
            }
        }
#endif
        for (; i <= last; ++i)
            if (In(m_bitsA, text[i]) && In(m_bitsB, text[i + int64_t(m_offset)]) &&
                At(text + i, length - i))
                return i;
        return -1;
    }

private:
    static bool In(const std::vector<uint64_t>& bits, char16_t c)
    {
        return (bits[c >> 6] >> (c & 63)) & 1;
    }
    // Whether one of the literals begins at p (rest units left).
    bool At(const char16_t* p, int64_t rest) const
    {
        const CharTables& t = Tables();
        for (const std::u16string& l : m_literals) {
            if (int64_t(l.size()) > rest)
                continue;
            size_t k = 0;
            if (m_insensitive)
                while (k < l.size() && t.upper[p[k]] == l[k])
                    ++k;
            else
                while (k < l.size() && p[k] == l[k])
                    ++k;
            if (k == l.size())
                return true;
        }
        return false;
    }

    bool m_insensitive;
    std::vector<std::u16string> m_literals; // upper case when insensitive
    size_t m_min = 0;
    size_t m_offset = 0;
    std::unique_ptr<PrefilterLiteral> m_single;
    std::vector<char16_t> m_unitsA, m_unitsB;
    std::vector<uint64_t> m_bitsA, m_bitsB;
    bool m_vector = true;
};

inline bool NodeConsumes(const RegExp& re, const Node& n, char16_t c, uint8_t caseSensitive,
                  const CharTables& t)
{
    switch (n.op) {
    case OpChar: return caseSensitive ? c == n.ch : t.upper[c] == n.chUpper;
    case OpAny: return true;
    case OpClass: return re.classes[size_t(n.arg)].Matches(c, t);
    case OpCategory: return InCategories(uint8_t(n.arg), c, t);
    default: return false;
    }
}

inline bool IsConsuming(Op op)
{
    return op == OpChar || op == OpAny || op == OpClass || op == OpCategory;
}

// What the assertions see at a position.
struct Context
{
    bool atStart;   // position 0
    bool prevWord;  // the character before is an ASCII letter or digit
    uint8_t cur;    // the character at the position: 0 other, 1 word, 2 the end
};

inline bool Holds(Op op, const Context& x)
{
    switch (op) {
    case OpBol: return x.atStart;
    case OpEol: return x.cur == 2;
    case OpWordStart: return x.atStart ? x.cur != 2 : (x.cur == 1 && !x.prevWord);
    case OpWordEnd:
        if (x.cur == 2)
            return !x.atStart;
        return !x.atStart && x.prevWord && x.cur == 0;
    default: return true;
    }
}

class Automaton;

} // namespace regexp_detail

struct RegExpAccel
{
    // Equivalence classes of UTF-16 units: units of one class are treated
    // alike by every consuming node and every assertion.
    std::array<uint16_t, 256> low{};
    std::array<uint32_t, 256> blockBase{}; // offset of each high byte's block
    std::vector<uint16_t> blocks;
    uint32_t classes = 0;
    std::vector<char16_t> representative;

    bool usesStart = false; // ^ < >
    bool usesEnd = false;   // $ < >
    bool usesWords = false; // < >
    bool hasCaseSwitch = false;
    bool anchored = false;  // the expression begins with ^

    // Edges into each node (CSR).
    std::vector<int32_t> predStart;
    std::vector<int32_t> preds;

    std::vector<regexp_detail::PrefilterLiteral> required; // longest first
    std::unique_ptr<regexp_detail::PrefilterLiteral> lead;
    std::unique_ptr<regexp_detail::LiteralScanner> scan[2]; // [case-sensitive, insensitive]
    bool scanLines = false;                  // the scan also rejects single lines

    std::unique_ptr<regexp_detail::Automaton> forward[2]; // per case mode of the flags
    std::unique_ptr<regexp_detail::Automaton> backward[2];
    std::unique_ptr<regexp_detail::Automaton> anchoredRun[2]; // of RegExpSearchLast
    std::unique_ptr<regexp_detail::Automaton> anyEnd[2];      // of RegExpSearchLast

    regexp_detail::RunnerScratch scratch; // of the simulation

    uint16_t ClassOf(char16_t c) const
    {
        return c < 256 ? low[c] : blocks[blockBase[c >> 8] + (c & 255u)];
    }
};

namespace regexp_detail {

// The parts of the accelerator built from the compiled program on the
// first search (EdtRegExpAccel.cpp).
void BuildClasses(const RegExp& re, RegExpAccel& a);
void BuildPredecessors(const RegExp& re, RegExpAccel& a);
void FindRequiredLiterals(const RegExp& re, RegExpAccel& a);

} // namespace regexp_detail
