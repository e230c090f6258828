// The tables of the regular-expression engine, each built once: the
// character tables, and the search accelerator's parts built from the
// compiled program on its first search (the equivalence classes of UTF-16
// units, the edges into each node, the literals every match contains).

#include "editor/regexp/EdtRegExpInternal.h"

using namespace regexp_detail;

namespace regexp_detail {

// The character tables, built once and never changed afterwards.
const CharTables& Tables()
{
    static const CharTables* tables = [] {
        auto* t = new CharTables;
        for (uint32_t u = 0; u < 65536; ++u) {
            const char16_t c = char16_t(u);
            t->upper[u] = sys::ToUpperUnit(c);
            const uint8_t classes = sys::CharClasses(c);
            uint8_t b = 0;
            if (classes & sys::kCharUpper)
                b |= kUpper;
            if (classes & sys::kCharLower)
                b |= kLower;
            if (classes & sys::kCharDigit)
                b |= kDigit;
            if (classes & sys::kCharLetter)
                b |= kLetter;
            t->bits[u] = b;
        }
        return t;
    }();
    return *tables;
}

// Every unit, grouped by its upper case (for case-insensitive literals).
const FoldIndex& Folds()
{
    static const FoldIndex* folds = [] {
        auto* f = new FoldIndex;
        const CharTables& t = Tables();
        f->start.assign(65537, 0);
        for (uint32_t u = 0; u < 65536; ++u)
            ++f->start[size_t(t.upper[u]) + 1];
        for (size_t i = 1; i < f->start.size(); ++i)
            f->start[i] += f->start[i - 1];
        f->units.resize(65536);
        std::vector<uint32_t> fill(f->start.begin(), f->start.end() - 1);
        for (uint32_t u = 0; u < 65536; ++u)
            f->units[fill[t.upper[u]]++] = char16_t(u);
        return f;
    }();
    return *folds;
}

} // namespace regexp_detail

namespace {

// Per unit: 1 digit, 2 letter or digit, 4 space, 8 upper case, 16 lower
// case, 32 ASCII letter or digit.
const std::array<uint8_t, 65536>& Properties()
{
    static const std::array<uint8_t, 65536>* props = [] {
        auto* p = new std::array<uint8_t, 65536>;
        const CharTables& t = Tables();
        for (uint32_t u = 0; u < 65536; ++u) {
            const uint8_t bits = t.bits[u];
            uint8_t v = 0;
            if (bits & kDigit)
                v |= 1;
            if (bits & (kDigit | kLetter))
                v |= 2;
            if (IsSpace(char16_t(u)))
                v |= 4;
            if (bits & kUpper)
                v |= 8;
            if (bits & kLower)
                v |= 16;
            if (IsAsciiAlnum(char16_t(u)))
                v |= 32;
            (*p)[u] = v;
        }
        return p;
    }();
    return *props;
}

// For one selection of properties: the blocks of 256 units (by high byte)
// that look alike, numbered; and for each number the first such block.
struct MaskBlocks
{
    std::array<uint16_t, 256> pattern{};
    std::vector<uint16_t> first;
};

const MaskBlocks& BlocksFor(uint8_t mask)
{
    static std::mutex lock;
    static std::array<std::unique_ptr<MaskBlocks>, 64> cache;
    std::lock_guard<std::mutex> guard(lock);
    std::unique_ptr<MaskBlocks>& slot = cache[mask & 63u];
    if (!slot) {
        auto m = std::make_unique<MaskBlocks>();
        const std::array<uint8_t, 65536>& props = Properties();
        std::unordered_map<std::string, uint16_t> seen;
        std::string block(256, '\0');
        for (uint32_t h = 0; h < 256; ++h) {
            for (uint32_t i = 0; i < 256; ++i)
                block[i] = char(props[h * 256 + i] & mask);
            auto it = seen.emplace(block, uint16_t(m->first.size()));
            if (it.second)
                m->first.push_back(uint16_t(h));
            m->pattern[h] = it.first->second;
        }
        slot = std::move(m);
    }
    return *slot;
}

} // namespace

namespace regexp_detail {

void BuildClasses(const RegExp& re, RegExpAccel& a)
{
    uint8_t cats = 0;
    std::vector<uint32_t> bounds;
    for (const Node& n : re.nodes) {
        switch (n.op) {
        case OpCategory: cats |= uint8_t(n.arg); break;
        case OpBol: a.usesStart = true; break;
        case OpEol: a.usesEnd = true; break;
        case OpWordStart:
        case OpWordEnd: a.usesWords = a.usesStart = a.usesEnd = true; break;
        case OpCaseOn:
        case OpCaseOff: a.hasCaseSwitch = true; break;
        default: break;
        }
    }
    for (const CharClass& c : re.classes) {
        cats |= c.cats;
        for (const auto& [first, second] : c.ranges) {
            bounds.push_back(first);
            bounds.push_back(uint32_t(second) + 1);
        }
    }
    std::sort(bounds.begin(), bounds.end());
    bounds.erase(std::unique(bounds.begin(), bounds.end()), bounds.end());
    uint8_t mask = 0;
    if (cats & (CatDigit | CatNotDigit))
        mask |= 1;
    if (cats & (CatWord | CatNotWord))
        mask |= 2;
    if (cats & (CatSpace | CatNotSpace))
        mask |= 4;
    if (cats & CatUpper)
        mask |= 8;
    if (cats & CatLower)
        mask |= 16;
    if (a.usesWords)
        mask |= 32;
    const std::array<uint8_t, 65536>& props = Properties();

    // The sets that split classes: the classes' own answers for codes
    // 0-255, and each literal with the units of the same upper case.
    std::vector<std::u16string> sets;
    for (const CharClass& c : re.classes) {
        std::u16string s;
        for (uint32_t u = 0; u < 256; ++u)
            if ((c.low[u >> 6] >> (u & 63)) & 1)
                s.push_back(char16_t(u));
        sets.push_back(std::move(s));
    }
    std::unordered_set<char16_t> seenChar, seenUpper;
    const FoldIndex& folds = Folds();
    for (const Node& n : re.nodes) {
        if (n.op != OpChar)
            continue;
        if (seenChar.insert(n.ch).second)
            sets.emplace_back(1, n.ch);
        if (seenUpper.insert(n.chUpper).second) {
            const uint32_t from = folds.start[n.chUpper];
            const uint32_t to = folds.start[size_t(n.chUpper) + 1];
            sets.emplace_back(folds.units.data() + from, to - from);
        }
    }
    // Blocks that need a look at every unit: block 0, blocks holding a
    // unit of a set and blocks a range begins or ends inside.
    std::array<int32_t, 256> dirty;
    dirty.fill(-1);
    int32_t dirtyCount = 0;
    auto markDirty = [&](uint32_t h) {
        if (dirty[h] < 0)
            dirty[h] = dirtyCount++;
    };
    markDirty(0);
    for (const std::u16string& s : sets)
        for (char16_t u : s)
            markDirty(uint32_t(u) >> 8);
    for (uint32_t bound : bounds)
        if (bound < 65536 && (bound & 255u))
            markDirty(bound >> 8);

    // Class numbers: first by (range segment, properties) ...
    std::unordered_map<uint32_t, uint32_t> baseIds;
    uint32_t next = 0;
    auto baseId = [&](uint32_t segment, uint8_t p) {
        auto it = baseIds.emplace((segment << 6) | p, next);
        if (it.second)
            ++next;
        return it.first->second;
    };
    std::vector<uint32_t> id(size_t(dirtyCount) * 256);
    std::array<uint32_t, 256> blockSegment{};
    {
        size_t b = 0;
        uint32_t segment = 0;
        for (uint32_t h = 0; h < 256; ++h) {
            while (b < bounds.size() && bounds[b] <= h * 256) {
                ++b;
                ++segment;
            }
            blockSegment[h] = segment;
            if (dirty[h] < 0)
                continue;
            size_t bb = b;
            uint32_t seg = segment;
            for (uint32_t i = 0; i < 256; ++i) {
                const uint32_t u = h * 256 + i;
                while (bb < bounds.size() && bounds[bb] <= u) {
                    ++bb;
                    ++seg;
                }
                id[size_t(dirty[h]) * 256 + i] = baseId(seg, props[u] & mask);
            }
        }
    }
    // ... then split by the sets.
    std::vector<uint32_t> epochOf(next, 0), remap(next, 0);
    uint32_t epoch = 0;
    for (const std::u16string& s : sets) {
        ++epoch;
        for (const char16_t u : s) {
            uint32_t& cur = id[size_t(dirty[u >> 8]) * 256 + (u & 255u)];
            const uint32_t old = cur;
            if (old >= epochOf.size()) {
                epochOf.resize(old + 1, 0);
                remap.resize(old + 1, 0);
            }
            if (epochOf[old] != epoch) {
                epochOf[old] = epoch;
                remap[old] = next++;
            }
            cur = remap[old];
        }
    }

    // Dense numbers, the representative unit of each, and the blocks.
    const MaskBlocks& mb = BlocksFor(mask);
    std::vector<int32_t> dense;
    std::array<uint32_t, 64> baseOfProps{};
    uint32_t baseSegment = UINT32_MAX;
    std::unordered_map<std::u16string, uint32_t> seenBlocks;
    std::unordered_map<uint64_t, uint32_t> cleanBlocks; // (segment, pattern) -> offset
    std::u16string block(256, u'\0');
    for (uint32_t h = 0; h < 256; ++h) {
        uint64_t cleanKey = 0;
        if (dirty[h] < 0) {
            cleanKey = (uint64_t(blockSegment[h]) << 16) | mb.pattern[h];
            const auto it = cleanBlocks.find(cleanKey);
            if (it != cleanBlocks.end()) {
                a.blockBase[h] = it->second;
                continue;
            }
        }
        if (dirty[h] < 0 && baseSegment != blockSegment[h]) {
            baseSegment = blockSegment[h];
            for (uint32_t p = 0; p < 64; ++p)
                baseOfProps[p] = (p & mask) == p ? baseId(baseSegment, uint8_t(p)) : 0;
        }
        const uint32_t* ids = dirty[h] >= 0 ? id.data() + size_t(dirty[h]) * 256 : nullptr;
        for (uint32_t i = 0; i < 256; ++i) {
            const uint32_t u = h * 256 + i;
            const uint32_t c = ids ? ids[i] : baseOfProps[props[u] & mask];
            if (c >= dense.size())
                dense.resize(size_t(c) + 1, -1);
            if (dense[c] < 0) {
                dense[c] = int32_t(a.representative.size());
                a.representative.push_back(char16_t(u));
            }
            block[i] = char16_t(dense[c]);
        }
        auto it = seenBlocks.emplace(block, uint32_t(a.blocks.size()));
        if (it.second)
            a.blocks.insert(a.blocks.end(), block.begin(), block.end());
        a.blockBase[h] = it.first->second;
        if (dirty[h] < 0)
            cleanBlocks.emplace(cleanKey, it.first->second);
        if (h == 0)
            std::copy(block.begin(), block.end(), a.low.begin());
    }
    a.classes = uint32_t(a.representative.size());
}

void BuildPredecessors(const RegExp& re, RegExpAccel& a)
{
    const size_t n = re.nodes.size();
    a.predStart.assign(n + 1, 0);
    auto each = [&](auto&& f) {
        for (size_t i = 0; i < n; ++i) {
            const Node& node = re.nodes[i];
            if (node.op == OpMatch)
                continue;
            if (node.x >= 0)
                f(node.x, int32_t(i));
            if (node.op == OpSplit && node.y >= 0)
                f(node.y, int32_t(i));
        }
    };
    each([&](int32_t to, int32_t) { ++a.predStart[size_t(to) + 1]; });
    for (size_t i = 1; i <= n; ++i)
        a.predStart[i] += a.predStart[i - 1];
    a.preds.resize(size_t(a.predStart[n]));
    std::vector<int32_t> fill(a.predStart.begin(), a.predStart.end() - 1);
    each([&](int32_t to, int32_t from) { a.preds[size_t(fill[size_t(to)]++)] = from; });
}

// Runs of literal characters that every match contains: literal nodes
// that every path from the start to the end passes, following each other
// with nothing consumed in between.
void FindRequiredLiterals(const RegExp& re, RegExpAccel& a)
{
    constexpr size_t kMaxNodes = 4096;
    constexpr int kMaxCandidates = 256;
    const size_t n = re.nodes.size();
    if (n > kMaxNodes)
        return;
    const int32_t matchNode = int32_t(n - 1);
    std::vector<uint32_t> seen(n, 0);
    std::vector<int32_t> stack;
    uint32_t gen = 0;
    auto reachesAvoiding = [&](int32_t avoid) {
        ++gen;
        stack.assign(1, re.startNode);
        while (!stack.empty()) {
            const int32_t i = stack.back();
            stack.pop_back();
            if (i < 0 || i == avoid || seen[size_t(i)] == gen)
                continue;
            seen[size_t(i)] = gen;
            if (i == matchNode)
                return true;
            const Node& node = re.nodes[size_t(i)];
            stack.push_back(node.x);
            if (node.op == OpSplit)
                stack.push_back(node.y);
        }
        return false;
    };
    std::vector<bool> required(n, false);
    int candidates = 0;
    for (size_t i = 0; i < n && candidates < kMaxCandidates; ++i) {
        if (re.nodes[i].op != OpChar)
            continue;
        ++candidates;
        required[i] = !reachesAvoiding(int32_t(i));
    }
    // The next literal after each required one, when nothing else lies
    // between them.
    std::vector<int32_t> succ(n, -1);
    std::vector<bool> hasPred(n, false);
    for (size_t i = 0; i < n; ++i) {
        if (!required[i])
            continue;
        int32_t j = re.nodes[i].x;
        for (int steps = 0; j >= 0 && steps < 64; ++steps) {
            const Op op = re.nodes[size_t(j)].op;
            if (op == OpChar || op == OpSplit || op == OpMatch || IsConsuming(op))
                break;
            j = re.nodes[size_t(j)].x;
        }
        if (j >= 0 && re.nodes[size_t(j)].op == OpChar && required[size_t(j)] &&
            !hasPred[size_t(j)] && size_t(j) != i) {
            succ[i] = j;
            hasPred[size_t(j)] = true;
        }
    }
    std::vector<std::u16string> runs;
    for (size_t i = 0; i < n; ++i) {
        if (!required[i] || hasPred[i])
            continue;
        std::u16string run;
        for (int32_t j = int32_t(i); j >= 0 && run.size() < 256; j = succ[size_t(j)])
            run.push_back(re.nodes[size_t(j)].ch);
        runs.push_back(std::move(run));
    }
    std::stable_sort(runs.begin(), runs.end(),
                     [](const auto& x, const auto& y) { return x.size() > y.size(); });
    for (size_t i = 0; i < runs.size() && i < 3; ++i)
        a.required.emplace_back(std::move(runs[i]));
}

} // namespace regexp_detail
