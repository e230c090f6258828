// The search of the regular-expression engine: the lazily built automata
// of the fast path and the public functions of EdtRegExp.h.

#include "editor/regexp/EdtRegExpInternal.h"

using namespace regexp_detail;

// ---------------------------------------------------------------------------
// The fast path of the search.  A search is answered in three steps:
//  1. a forward automaton scans from the lowest possible start and answers
//     whether any match begins at or after it (false ends the search);
//  2. a backward automaton of the reversed graph, run from the end of the
//     text down to that start, gives the lowest position at which a match
//     begins;
//  3. the simulation (EdtRegExpMatch.cpp), starting paths at that
//     position only, gives the match and its groups exactly as a search
//     from the start would.
// Prefilter literals (the leading run of plain literals, and literals that
// every match contains) are looked for first with a vector scan.
//
// The automata are deterministic and built lazily: a state is a set of
// (node, case mode) elements plus what the assertions need to know of the
// neighbouring characters; transitions are cached per equivalence class of
// UTF-16 units.  The cache has a fixed budget; when it is full it is
// emptied and the scan goes on; when that happens too often in one search
// the search falls back to the simulation alone.

namespace {

std::atomic<size_t> g_budget{0}; // 0: the default
std::atomic<bool> g_lastBySweep{false};

constexpr size_t kDefaultBudget = 2u << 20; // per compiled expression

} // namespace

namespace regexp_detail {

// The class lookup with the tables' addresses in registers.
struct ClassTable
{
    explicit ClassTable(const RegExpAccel& a)
        : low(a.low.data()), base(a.blockBase.data()), blocks(a.blocks.data())
    {
    }
    uint32_t operator()(char16_t c) const
    {
        return c < 256 ? low[c] : blocks[base[c >> 8] + (c & 255u)];
    }
    const uint16_t* low;
    const uint32_t* base;
    const uint16_t* blocks;
};

class Automaton
{
public:
    enum Answer { No, Yes, GiveUp };

    // variant, forward: paths start at the search's position only, as in
    // an expression that begins with ^ (for Last); backward: matches may
    // end at every position the scan passes, not only where it began (for
    // NextStart).
    Automaton(const RegExp& re, const RegExpAccel& a, bool backward, uint8_t caseSensitive,
              size_t budget, bool variant = false)
        : m_re(re), m_a(a), m_t(Tables()), m_backward(backward),
          m_anchored(!backward && (a.anchored || variant)), m_anyEnd(backward && variant),
          m_case(caseSensitive),
          m_width(a.classes + 1), m_budget(budget), m_mark(re.nodes.size() * 2, 0),
          m_mark2(re.nodes.size() * 2, 0)
    {
        m_initial.fill(kUnknown);
    }

    // The end of the match the simulation would find from `from` on (the
    // forward automaton keeps the paths in priority order, as the
    // simulation does): No when there is none.  The scan stops when no
    // path that could still win is left, so it never reads beyond what the
    // simulation itself needs.
    Answer Forward(const char16_t* text, int length, int from, int& end)
    {
        if (m_disabled)
            return GiveUp;
        BeginSearch(from);
        uint32_t s =
            Initial(ForwardFlags(from == 0, from > 0 && IsAsciiAlnum(text[from - 1]), false));
        if (s == kGiveUp)
            return GiveUp;
        int last = -1;
        const uint32_t* trans = m_trans.data();
        const ClassTable classes(m_a);
        int p = from;
        for (; p < length; ++p) {
            const uint32_t col = classes(text[p]);
            uint32_t e = trans[s + col];
            if (e & kFlag) {
                if (e == kUnknown) {
                    e = Compute(s, col, p);
                    trans = m_trans.data();
                    if (e == kGiveUp) {
                        t_stats.steps += uint64_t(p - from);
                        return GiveUp;
                    }
                }
                if (HasMatchFlag(e))
                    last = p;
                if (e == kDead || e == kDeadMatch)
                    break;
                e &= ~kFlag;
            }
            s = e;
        }
        t_stats.steps += uint64_t(p - from);
        if (p == length) {
            uint32_t e = trans[s + m_width - 1];
            if (e == kUnknown)
                e = Compute(s, m_width - 1, length);
            if (e == kGiveUp)
                return GiveUp;
            if (HasMatchFlag(e))
                last = length;
        }
        if (last < 0)
            return No;
        end = last;
        return Yes;
    }

    // The lowest position in lo..top at which a match that ends at top
    // begins (the backward automaton, anchored at top); -1 when there is
    // none, -2 when the automaton gave up.  The scan stops when no path is
    // left.
    int Backward(const char16_t* text, int length, int lo, int top)
    {
        if (m_disabled)
            return -2;
        BeginSearch(top);
        uint32_t s = Initial(BackwardFlags(top == length ? 2 : IsAsciiAlnum(text[top]) ? 1 : 0));
        if (s == kGiveUp)
            return -2;
        int best = -1;
        const uint32_t* trans = m_trans.data();
        const ClassTable classes(m_a);
        for (int p = top; p > lo; --p) {
            const uint32_t col = classes(text[p - 1]);
            uint32_t e = trans[s + col];
            if (e & kFlag) {
                if (e == kUnknown) {
                    e = Compute(s, col, p);
                    trans = m_trans.data();
                    if (e == kGiveUp) {
                        t_stats.steps += uint64_t(top - p);
                        return -2;
                    }
                }
                if (HasMatchFlag(e))
                    best = p;
                if (e == kDead || e == kDeadMatch) {
                    t_stats.steps += uint64_t(top - p + 1);
                    return best;
                }
                e &= ~kFlag;
            }
            s = e;
        }
        t_stats.steps += uint64_t(top - lo);
        const uint32_t col = lo == 0 ? m_width - 1 : m_a.ClassOf(text[lo - 1]);
        uint32_t e = trans[s + col];
        if (e == kUnknown)
            e = Compute(s, col, lo);
        if (e == kGiveUp)
            return -2;
        if (HasMatchFlag(e))
            best = lo;
        return best;
    }

    // Of an anchored-run automaton: the highest start p in lo..hi whose
    // match (the one the simulation finds from p on, starting paths at p)
    // ends at or before limit (hi <= limit); -1 when there is none.  Every
    // start's run is stepped at once; runs in the same state have the same
    // future (the state holds whether they have matched), so they are
    // merged and the highest start of each kept.  After hi no run starts:
    // the sweep ends where the last one dies.  A run still alive at limit
    // counts when no match ends after limit on its way on (EndsAfter, once
    // per state).  -2: the automaton gave up; -3: its cache was emptied in
    // the middle (the states of the runs are gone: the caller starts
    // again).
    int Last(const char16_t* text, int length, int lo, int hi, int limit)
    {
        if (m_disabled)
            return -2;
        BeginSearch(lo);
        const size_t resets = m_resetCount;
        int c = 0;     // m_runs[c]: the runs at position i
        size_t n = 0;  // their number
        int best = -1;
        uint64_t steps = 0;
        const ClassTable classes(m_a);
        const uint32_t boundary = m_width - 1;
        for (int i = lo; i <= limit; ++i) {
            const uint32_t col = i < length ? classes(text[i]) : boundary;
            if (i <= hi) {
                const int flags = ForwardFlags(i == 0, i > 0 && IsAsciiAlnum(text[i - 1]), false);
                uint32_t s0 = m_initial[size_t(flags)];
                if (s0 == kUnknown) {
                    s0 = Initial(flags);
                    if (s0 == kGiveUp)
                        return -2;
                    if (m_resetCount != resets)
                        return -3;
                }
                // Most positions: the run from here dies at once without a
                // match (and often no other run is alive).
                if (m_trans[s0 + col] != kDead) {
                    if (m_runs[c].size() < n + 1) {
                        m_runs[0].resize(2 * n + 16);
                        m_runs[1].resize(2 * n + 16);
                    }
                    m_runs[c][n++] = {s0, i, false};
                } else if (n == 0) {
                    continue;
                } else if (n == 1) {
                    // One run alive and none starting: stepped in place.
                    Run& r = m_runs[c][0];
                    ++steps;
                    uint32_t e = m_trans[r.row + col];
                    if (e == kUnknown) {
                        e = Compute(r.row, col, i);
                        if (e == kGiveUp)
                            return -2;
                        if (m_resetCount != resets)
                            return -3;
                    }
                    r.matched = r.matched || HasMatchFlag(e);
                    if (i == length || e == kDead || e == kDeadMatch) {
                        if (r.matched)
                            best = std::max(best, r.start);
                        n = 0;
                    } else {
                        r.row = e & ~kFlag;
                    }
                    continue;
                }
            } else if (n == 0) {
                break;
            }
            if (m_runs[1 - c].size() < n) {
                m_runs[0].resize(2 * n + 16);
                m_runs[1].resize(2 * n + 16);
            }
            const Run* cur = m_runs[c].data();
            Run* nxt = m_runs[1 - c].data();
            size_t m = 0;
            steps += n;
            bool stamped = false;
            for (size_t k = 0; k < n; ++k) {
                const Run r = cur[k];
                if (r.start <= best)
                    continue;
                uint32_t e = m_trans[r.row + col];
                if (e == kUnknown) {
                    e = Compute(r.row, col, i);
                    if (e == kGiveUp)
                        return -2;
                    if (m_resetCount != resets)
                        return -3;
                }
                const bool matched = r.matched || HasMatchFlag(e);
                if (i == length || e == kDead || e == kDeadMatch) {
                    if (matched)
                        best = std::max(best, r.start);
                    continue;
                }
                const uint32_t row = e & ~kFlag;
                // Few runs (the common case): found by looking; more
                // through the slots of the states.
                if (m < 8) {
                    size_t j = 0;
                    while (j < m && nxt[j].row != row)
                        ++j;
                    if (j < m)
                        nxt[j].start = std::max(nxt[j].start, r.start);
                    else
                        nxt[m++] = {row, r.start, matched};
                    continue;
                }
                if (!stamped) {
                    stamped = true;
                    if (++m_slotStamp == 0) {
                        std::fill(m_slotGen.begin(), m_slotGen.end(), 0);
                        m_slotStamp = 1;
                    }
                    for (size_t j = 0; j < m; ++j)
                        SetSlot(nxt[j].row, j);
                }
                const size_t s = row / m_width;
                if (s < m_slotGen.size() && m_slotGen[s] == m_slotStamp) {
                    Run& into = nxt[m_slot[s]];
                    into.start = std::max(into.start, r.start);
                } else {
                    SetSlot(row, m);
                    nxt[m++] = {row, r.start, matched};
                }
            }
            c = 1 - c;
            n = m;
        }
        t_stats.steps += steps;
        if (limit >= length)
            return best;
        for (size_t k = 0; k < n; ++k) {
            const Run r = m_runs[c][k];
            if (r.start <= best || !r.matched)
                continue;
            const int after = EndsAfter(text, length, r.row, limit + 1);
            if (after < 0)
                return m_resetCount != resets ? -3 : -2;
            if (m_resetCount != resets)
                return -3;
            if (after == 0)
                best = r.start;
        }
        return best;
    }

    // Of an automaton for ends anywhere (backward, variant): the scan down
    // from top for the positions where a match begins that ends at or
    // before top.  BeginStarts sets it up (false: the automaton gave up);
    // each NextStart gives the next such position below the one before, down
    // to lo: -1 none is left, -2 the automaton gave up.  A position it does
    // not give has no match that ends by top.
    struct StartScan
    {
        uint32_t state;
        int pos;  // the next position to look at
    };
    bool BeginStarts(const char16_t* text, int length, int top, StartScan& sc)
    {
        if (m_disabled)
            return false;
        BeginSearch(top);
        sc.state = Initial(BackwardFlags(top == length ? 2 : IsAsciiAlnum(text[top]) ? 1 : 0));
        sc.pos = top;
        return sc.state != kGiveUp;
    }
    int NextStart(const char16_t* text, int lo, StartScan& sc)
    {
        const uint32_t* trans = m_trans.data();
        const ClassTable classes(m_a);
        uint32_t s = sc.state;
        const int top = sc.pos;
        for (int p = top; p >= lo; --p) {
            const uint32_t col = p > 0 ? classes(text[p - 1]) : m_width - 1;
            uint32_t e = trans[s + col];
            if (e == kUnknown) {
                e = Compute(s, col, p);
                trans = m_trans.data();
                if (e == kGiveUp) {
                    t_stats.steps += uint64_t(top - p);
                    return -2;
                }
            }
            const bool last = p == 0 || e == kDead || e == kDeadMatch;
            if (HasMatchFlag(e)) {
                t_stats.steps += uint64_t(top - p + 1);
                sc.pos = last ? lo - 1 : p - 1;
                sc.state = e & ~kFlag;
                return p;
            }
            if (last) {
                t_stats.steps += uint64_t(top - p + 1);
                sc.pos = lo - 1;
                return -1;
            }
            s = e & ~kFlag;
        }
        t_stats.steps += uint64_t(top - lo + 1);
        sc.pos = lo - 1;
        sc.state = s;
        return -1;
    }

    // Forgets what EndsAfter found (for another text or limit).
    void BeginLast() { m_after.clear(); }

    // The way from limit down to the start the last Last found: the next
    // search starts with a window of about twice that.
    int lastWay = 128;

    size_t Memory() const { return m_used; }

private:
    using Key = std::vector<int32_t>; // flags, then the sorted elements

    struct KeyHash
    {
        size_t operator()(const Key& k) const
        {
            uint64_t h = 1469598103934665603ull;
            for (int32_t v : k)
                h = (h ^ uint32_t(v)) * 1099511628211ull;
            return size_t(h);
        }
    };

    // Forward: 1 at position 0, 2 the previous character is a word
    // character, 4 a match has been found (no new paths start).
    int ForwardFlags(bool atStart, bool prevWord, bool matched) const
    {
        return (m_a.usesStart && atStart ? 1 : 0) | (m_a.usesWords && prevWord ? 2 : 0) |
               (matched ? 4 : 0);
    }
    int BackwardFlags(uint8_t cur) const
    {
        if (cur == 2)
            return m_a.usesEnd ? 2 : 0;
        return m_a.usesWords ? cur : 0;
    }

    struct Run
    {
        uint32_t row;  // the state
        int start;     // the highest start of the runs in it
        bool matched;  // a match has ended on the way (part of the state)
    };

    void SetSlot(uint32_t row, size_t slot)
    {
        const size_t k = row / m_width;
        if (k >= m_slotGen.size()) {
            m_slotGen.resize(std::max(m_keys.size(), k + 1) + 16, 0);
            m_slot.resize(m_slotGen.size());
        }
        m_slotGen[k] = m_slotStamp;
        m_slot[k] = uint32_t(slot);
    }

    // Whether a match ends after the run in the state at row reaches pos
    // (1) or not (0); -1 the automaton gave up.  Remembered per state.
    int EndsAfter(const char16_t* text, int length, uint32_t row, int pos)
    {
        for (const auto& [known, yes] : m_after)
            if (known == row)
                return yes ? 1 : 0;
        const ClassTable classes(m_a);
        uint32_t s = row;
        int result = 0;
        int p = pos;
        for (;; ++p) {
            const uint32_t col = p < length ? classes(text[p]) : m_width - 1;
            uint32_t e = m_trans[s + col];
            if (e == kUnknown) {
                const size_t resets = m_resetCount;
                e = Compute(s, col, p);
                if (e == kGiveUp || m_resetCount != resets)
                    return -1;
            }
            if (HasMatchFlag(e)) {
                result = 1;
                break;
            }
            if (p >= length || e == kDead)
                break;
            s = e & ~kFlag;
        }
        t_stats.steps += uint64_t(p - pos);
        m_after.emplace_back(row, result == 1);
        return result;
    }

    void BeginSearch(int pos)
    {
        m_poorResets = 0;
        m_lastResetPos = pos;
    }

    uint32_t Initial(int flags)
    {
        uint32_t& slot = m_initial[size_t(flags)];
        if (slot != kUnknown)
            return slot;
        Key k{flags};
        if (m_anchored)
            k.push_back(m_re.startNode * 2 + m_case);
        if (m_backward) {
            // The match ends here, in either case mode.
            const int32_t matchNode = int32_t(m_re.nodes.size() - 1);
            k.push_back(matchNode * 2);
            k.push_back(matchNode * 2 + 1);
        }
        const uint32_t s = StateFor(std::move(k), 0);
        if (s != kGiveUp)
            m_initial[size_t(flags)] = s;
        return s;
    }

    // The row offset of the state with this key, added when new.
    uint32_t StateFor(Key&& key, int pos)
    {
        auto it = m_map.find(key);
        if (it != m_map.end())
            return it->second;
        const size_t cost = m_width * sizeof(uint32_t) + key.size() * sizeof(int32_t) * 2 + 96;
        if (cost > m_budget / 4) {
            m_disabled = true; // not even a few states fit
            return kGiveUp;
        }
        if (m_used + cost > m_budget) {
            ++t_stats.resets;
            // A cache that fills again after few characters per state
            // does not pay: the third time in one search, the search falls
            // back to the simulation.
            const int64_t scanned = std::abs(int64_t(pos) - m_lastResetPos);
            if (scanned < 8 * int64_t(m_keys.size()) && ++m_poorResets >= 3)
                return kGiveUp;
            m_lastResetPos = pos;
            ++m_resetCount;
            Clear();
        }
        const uint32_t row = uint32_t(m_trans.size());
        m_trans.resize(m_trans.size() + m_width, kUnknown);
        auto res = m_map.emplace(std::move(key), row);
        m_keys.push_back(&res.first->first);
        m_used += cost;
        return row;
    }

    void Clear()
    {
        m_map.clear();
        m_keys.clear();
        m_trans.clear();
        m_trans.shrink_to_fit();
        m_used = 0;
        m_initial.fill(kUnknown);
    }

    // Fills the transition of the state at row for column col (the last
    // column: the text boundary).
    uint32_t Compute(uint32_t row, uint32_t col, int pos)
    {
        const Key key = *m_keys[row / m_width]; // copied: a reset frees it
        const int flags = key[0];
        const bool boundary = col == m_width - 1;
        const char16_t ch = boundary ? 0 : m_a.representative[col];
        const uint8_t kind = uint8_t(IsAsciiAlnum(ch) ? 1 : 0);
        Context x{};
        if (!m_backward) {
            x.atStart = flags & 1;
            x.prevWord = flags & 2;
            x.cur = boundary ? 2 : kind;
        } else {
            x.atStart = boundary;
            x.prevWord = !boundary && kind;
            x.cur = uint8_t(flags);
        }
        bool flag = false;
        Key next;
        bool matched = false;
        if (!m_backward) {
            matched = (flags & 4) != 0;
            flag = ClosureForward(key, x, matched);
            if (!boundary)
                next = StepForward(ch, ForwardFlags(false, kind, matched || flag));
        } else {
            flag = ClosureBackward(key, x);
            if (!boundary)
                next = StepBackward(ch, BackwardFlags(kind));
        }
        uint32_t entry = flag ? kFlag : 0;
        if (!boundary) {
            // No path left: forward after a match or in an anchored
            // search, where no new path starts; backward unless a path
            // starts at every position.
            const bool noNewPaths = m_backward ? !m_anyEnd : (m_anchored || matched || flag);
            if (next.size() == 1 && noNewPaths) {
                entry = flag ? kDeadMatch : kDead;
            } else {
                const size_t resetsBefore = m_resetCount;
                const uint32_t target = StateFor(std::move(next), pos);
                if (target == kGiveUp)
                    return kGiveUp;
                entry = target | (flag ? kFlag : 0);
                // After a reset the state at row is gone: nothing is
                // stored, the scan goes on from the new state.
                if (m_resetCount != resetsBefore)
                    return entry;
            }
        }
        m_trans[row + col] = entry;
        return entry;
    }

    // Follows the non-consuming nodes from the kernel (and the start node
    // at every position of an unanchored search); collects the consuming
    // elements in m_out.  True when the end node is reached.
    void NextGen(uint32_t& gen, std::vector<uint32_t>& marks)
    {
        if (++gen == 0) {
            std::fill(marks.begin(), marks.end(), 0);
            gen = 1;
        }
    }

    // The paths of the kernel in priority order, then (before any match,
    // unanchored) a new path from the start node, the lowest in priority.
    // The consuming elements in that order go to m_out; the end node cuts
    // every path after it.  True when the end node is reached.
    bool ClosureForward(const Key& key, const Context& x, bool matched)
    {
        NextGen(m_gen, m_mark);
        m_out.clear();
        m_stack.clear();
        if (!m_anchored && !matched)
            m_stack.push_back(m_re.startNode * 2 + m_case);
        for (size_t i = key.size(); i-- > 1;)
            m_stack.push_back(key[i]);
        while (!m_stack.empty()) {
            const int32_t e = m_stack.back();
            m_stack.pop_back();
            if (m_mark[size_t(e)] == m_gen)
                continue;
            m_mark[size_t(e)] = m_gen;
            const Node& n = m_re.nodes[size_t(e >> 1)];
            const int32_t c = e & 1;
            switch (n.op) {
            case OpSplit:
                m_stack.push_back(n.y * 2 + c);
                m_stack.push_back(n.x * 2 + c);
                break;
            case OpSave:
            case OpNop: m_stack.push_back(n.x * 2 + c); break;
            case OpCaseOn: m_stack.push_back(n.x * 2 + 1); break;
            case OpCaseOff: m_stack.push_back(n.x * 2); break;
            case OpBol:
            case OpEol:
            case OpWordStart:
            case OpWordEnd:
                if (Holds(n.op, x))
                    m_stack.push_back(n.x * 2 + c);
                break;
            case OpMatch:
                return true; // the paths after it are cut
            default: m_out.push_back(e); break;
            }
        }
        return false;
    }

    // The next kernel: the successors of the consuming elements that take
    // ch, in their order, each once.
    Key StepForward(char16_t ch, int flags)
    {
        NextGen(m_gen2, m_mark2);
        Key next{flags};
        for (const int32_t e : m_out) {
            const Node& n = m_re.nodes[size_t(e >> 1)];
            if (!NodeConsumes(m_re, n, ch, uint8_t(e & 1), m_t))
                continue;
            const int32_t t = n.x * 2 + (e & 1);
            if (m_mark2[size_t(t)] != m_gen2) {
                m_mark2[size_t(t)] = m_gen2;
                next.push_back(t);
            }
        }
        return next;
    }

    // The elements from which the end can be reached at this position,
    // walking the edges backwards from the kernel (the initial kernel: the
    // end node, where the match ends); all
    // of them in m_out.  True when the start node with the case mode of
    // the flags is among them.
    bool ClosureBackward(const Key& key, const Context& x)
    {
        NextGen(m_gen, m_mark);
        m_out.clear();
        m_stack.clear();
        if (m_anyEnd) {
            // A match may end here too, in either case mode.
            const int32_t matchNode = int32_t(m_re.nodes.size() - 1);
            m_stack.push_back(matchNode * 2);
            m_stack.push_back(matchNode * 2 + 1);
        }
        for (size_t i = key.size(); i-- > 1;)
            m_stack.push_back(key[i]);
        while (!m_stack.empty()) {
            const int32_t e = m_stack.back();
            m_stack.pop_back();
            if (m_mark[size_t(e)] == m_gen)
                continue;
            m_mark[size_t(e)] = m_gen;
            m_out.push_back(e);
            const int32_t node = e >> 1;
            const int32_t c = e & 1;
            for (int32_t i = m_a.predStart[size_t(node)]; i < m_a.predStart[size_t(node) + 1];
                 ++i) {
                const int32_t pn = m_a.preds[size_t(i)];
                const Node& n = m_re.nodes[size_t(pn)];
                switch (n.op) {
                case OpSplit:
                case OpSave:
                case OpNop: m_stack.push_back(pn * 2 + c); break;
                case OpCaseOn:
                    if (c == 1) {
                        m_stack.push_back(pn * 2);
                        m_stack.push_back(pn * 2 + 1);
                    }
                    break;
                case OpCaseOff:
                    if (c == 0) {
                        m_stack.push_back(pn * 2);
                        m_stack.push_back(pn * 2 + 1);
                    }
                    break;
                case OpBol:
                case OpEol:
                case OpWordStart:
                case OpWordEnd:
                    if (Holds(n.op, x))
                        m_stack.push_back(pn * 2 + c);
                    break;
                default: break; // consuming: the step
                }
            }
        }
        return m_mark[size_t(m_re.startNode * 2 + m_case)] == m_gen;
    }

    Key StepBackward(char16_t ch, int flags)
    {
        NextGen(m_gen2, m_mark2);
        Key next{flags};
        for (const int32_t e : m_out) {
            const int32_t node = e >> 1;
            const uint8_t c = uint8_t(e & 1);
            for (int32_t i = m_a.predStart[size_t(node)]; i < m_a.predStart[size_t(node) + 1];
                 ++i) {
                const int32_t pn = m_a.preds[size_t(i)];
                const Node& n = m_re.nodes[size_t(pn)];
                if (!IsConsuming(n.op) || n.x != node || !NodeConsumes(m_re, n, ch, c, m_t))
                    continue;
                const int32_t t = pn * 2 + c;
                if (m_mark2[size_t(t)] != m_gen2) {
                    m_mark2[size_t(t)] = m_gen2;
                    next.push_back(t);
                }
            }
        }
        std::sort(next.begin() + 1, next.end());
        return next;
    }

    const RegExp& m_re;
    const RegExpAccel& m_a;
    const CharTables& m_t;
    bool m_backward;
    bool m_anchored; // forward: no new paths after the first position
    bool m_anyEnd;   // backward: a new path from the end at every position
    uint8_t m_case;
    uint32_t m_width;
    size_t m_budget;
    size_t m_used = 0;
    size_t m_resetCount = 0;
    bool m_disabled = false;
    int m_poorResets = 0;        // resets after few characters, this search
    int64_t m_lastResetPos = 0;
    std::vector<uint32_t> m_trans;
    std::unordered_map<Key, uint32_t, KeyHash> m_map;
    std::vector<const Key*> m_keys;
    std::array<uint32_t, 8> m_initial{};
    std::vector<uint32_t> m_mark;
    std::vector<uint32_t> m_mark2;
    uint32_t m_gen = 0;
    uint32_t m_gen2 = 0;
    std::vector<int32_t> m_stack;
    std::vector<int32_t> m_out;
    // Of Last: the runs of this position and the next, the slot of each
    // state among the next ones, and what EndsAfter found per state.
    std::vector<Run> m_runs[2];
    std::vector<uint32_t> m_slotGen, m_slot;
    uint32_t m_slotStamp = 0;
    std::vector<std::pair<uint32_t, bool>> m_after;
};

constinit thread_local RegExpPathStats t_stats;

} // namespace regexp_detail

namespace {

size_t Budget()
{
    // At most 1 GB: the transition entries hold row offsets below 2^31.
    const size_t b = g_budget.load(std::memory_order_relaxed);
    return b ? std::min(b, size_t(1) << 30) : kDefaultBudget;
}

RegExpAccel* GetAccel(const RegExp& re)
{
    if (re.accel)
        return re.accel.get();
    auto a = std::make_unique<RegExpAccel>();
    BuildClasses(re, *a);
    BuildPredecessors(re, *a);
    FindRequiredLiterals(re, *a);
    a->anchored = re.lead == Lead::Bol;
    if (re.lead == Lead::Literal)
        a->lead = std::make_unique<PrefilterLiteral>(
            re.prefix.empty() ? std::u16string(1, re.leadChar) : re.prefix);
    if (!re.scanLiterals.empty()) {
        // With \C or \c the literals compare through upper case in
        // either mode (as the required literals do).
        a->scan[0] = std::make_unique<LiteralScanner>(re.scanLiterals, a->hasCaseSwitch);
        a->scan[1] = std::make_unique<LiteralScanner>(re.scanLiterals, true);
        a->scanLines = re.scanLiterals.size() > 1 || (a->required.empty() && !a->lead);
    }
    re.accel = std::move(a);
    return re.accel.get();
}

Automaton& ForwardOf(const RegExp& re, RegExpAccel& a, uint8_t cs)
{
    if (!a.forward[cs])
        a.forward[cs] = std::make_unique<Automaton>(re, a, false, cs, Budget() / 4);
    return *a.forward[cs];
}

Automaton& AnchoredRunOf(const RegExp& re, RegExpAccel& a, uint8_t cs)
{
    if (!a.anchoredRun[cs])
        a.anchoredRun[cs] = std::make_unique<Automaton>(re, a, false, cs, Budget() / 4, true);
    return *a.anchoredRun[cs];
}

Automaton& AnyEndOf(const RegExp& re, RegExpAccel& a, uint8_t cs)
{
    if (!a.anyEnd[cs])
        a.anyEnd[cs] = std::make_unique<Automaton>(re, a, true, cs, Budget() / 4, true);
    return *a.anyEnd[cs];
}

Automaton& BackwardOf(const RegExp& re, RegExpAccel& a, uint8_t cs)
{
    if (!a.backward[cs])
        a.backward[cs] = std::make_unique<Automaton>(re, a, true, cs, Budget() / 4);
    return *a.backward[cs];
}

} // namespace

RegExp::RegExp() = default;
RegExp::~RegExp() = default;

bool RegExpSearch(const RegExp* compiled, const char16_t* text, int length, int start,
                  int groups[REGEXP_GROUP_ENTRIES], uint32_t flags)
{
    ClearGroups(groups);
    if (!compiled || length < 0 || start < 0 || start > length || (!text && length > 0))
        return false;
    if (compiled->lead == Lead::Bol && start != 0)
        return false;
    const uint8_t cs = uint8_t(flags & REGEXP_CASE_SENSITIVE);
    int q = -1; // the lowest start of a match, -1: unknown
    int qEnd = -1; // the end of that match
    try {
        RegExpAccel& a = *GetAccel(*compiled);
        int lo = start;
        if (a.lead) {
            lo = a.lead->Find(text, start, length, !cs);
            if (lo < 0) {
                ++t_stats.prefiltered;
                return false;
            }
        }
        const bool insensitive = !cs || a.hasCaseSwitch;
        for (size_t i = 0; i < a.required.size(); ++i) {
            if (a.required[i].Find(text, lo, length, insensitive) < 0) {
                // The literal that rejects moves ahead: the rarest one
                // ends up being looked for first.
                if (i > 0)
                    std::swap(a.required[i], a.required[i - 1]);
                ++t_stats.prefiltered;
                return false;
            }
        }
        if (a.scanLines && a.scan[!cs]->Find(text, lo, length) < 0) {
            ++t_stats.prefiltered;
            return false;
        }
        int end = length;
        switch (ForwardOf(*compiled, a, cs).Forward(text, length, lo, end)) {
        case Automaton::No: ++t_stats.automaton; return false;
        case Automaton::Yes:
            // The match ends at end; the backward automaton, anchored there,
            // finds its start: the lowest position from which the rest up
            // to end matches (no lower position has any match).
            q = a.anchored ? 0 : BackwardOf(*compiled, a, cs).Backward(text, length, lo, end);
            if (q >= 0 && compiled->groupCount == 0) {
                // Without groups the two ends are the whole answer.
                ++t_stats.automaton;
                groups[0] = q;
                groups[REGEXP_MAX_GROUPS] = end;
                return true;
            }
            qEnd = end;
            break;
        case Automaton::GiveUp: break;
        }
    } catch (const std::bad_alloc&) {
        // The automata may be half updated: they are built anew by the
        // next search.
        compiled->accel.reset();
        q = -1;
    }
    return Finish(*compiled, text, length, start, q, qEnd, groups, flags);
}

namespace {

// The last match by searches restarted one position after each match's
// start, as the definition says (for expressions the automaton cannot
// hold).
bool SearchLastBySearches(const RegExp* compiled, const char16_t* text, int length, int from,
                          int limit, int groups[REGEXP_GROUP_ENTRIES], uint32_t flags)
{
    int found[REGEXP_GROUP_ENTRIES];
    bool any = false;
    int at = from;
    while (at <= limit && RegExpSearch(compiled, text, length, at, found, flags)) {
        const int s = found[0], e = found[REGEXP_MAX_GROUPS];
        if (s > limit)
            break;
        if (e <= limit) {
            std::copy(found, found + REGEXP_GROUP_ENTRIES, groups);
            any = true;
        }
        at = s + 1;
    }
    if (!any)
        ClearGroups(groups);
    return any;
}

} // namespace

bool RegExpSearchLast(const RegExp* compiled, const char16_t* text, int length, int from,
                      int limit, int groups[REGEXP_GROUP_ENTRIES], uint32_t flags)
{
    ClearGroups(groups);
    if (!compiled || length < 0 || from < 0 || from > length || (!text && length > 0))
        return false;
    limit = std::min(limit, length);
    if (limit < from)
        return false;
    if (compiled->lead == Lead::Bol) {
        // The only start is 0.
        if (from == 0 && RegExpSearch(compiled, text, length, 0, groups, flags) &&
            groups[REGEXP_MAX_GROUPS] <= limit)
            return true;
        ClearGroups(groups);
        return false;
    }
    const int first = from;
    const uint8_t cs = uint8_t(flags & REGEXP_CASE_SENSITIVE);
    int p = -2;
    int pEnd = -1; // the end of p's match, when known
    try {
        RegExpAccel& a = *GetAccel(*compiled);
        Automaton& an = AnchoredRunOf(*compiled, a, cs);
        an.BeginLast();
        // The starts at or below hi by the sweep: windows of starts below
        // hi, each below the one before, until one holds the start (the
        // first as wide as the way the last sweep went, the next 16 starts,
        // then twice as many each time): the work grows with the way to
        // the match found, not with the column.
        auto sweep = [&](int hi) {
            int width = std::clamp(an.lastWay, 16, 1 << 20);
            const int top = hi;
            bool restarted = false;
            for (;;) {
                const int lo = int(std::max<int64_t>(first, int64_t(hi) - width));
                const int r = an.Last(text, length, lo, hi, limit);
                if (r == -3 && !restarted) {
                    restarted = true; // the cache was emptied: once more
                    an.BeginLast();
                    continue;
                }
                if (r < -1 || r >= 0 || lo == first) {
                    if (r >= 0)
                        an.lastWay = top - r;
                    return r;
                }
                width = hi == top ? 16 : int(std::min<int64_t>(int64_t(width) * 2, 1 << 30));
                hi = lo - 1;
            }
        };
        // First the places where a match that ends by limit begins, from
        // limit down (the automaton of the reversed graph, matches ending
        // anywhere), each checked by the anchored run from it; that reads
        // the text about once.  When the checks read much more than the way
        // down (starts whose match runs on past limit, as \w+ inside a
        // long word), the sweep takes the starts below.
        Automaton& back = AnyEndOf(*compiled, a, cs);
        Automaton::StartScan sc{};
        if (g_lastBySweep.load(std::memory_order_relaxed) ||
            !back.BeginStarts(text, length, limit, sc)) {
            p = sweep(limit);
        } else {
            uint64_t checked = 0;
            for (;;) {
                const int q = back.NextStart(text, first, sc);
                if (q == -1) {
                    p = -1;
                    break;
                }
                if (q == -2) {
                    p = sweep(sc.pos); // the starts above it are known
                    break;
                }
                const uint64_t before = t_stats.steps;
                int end = -1;
                const Automaton::Answer check = an.Forward(text, length, q, end);
                if (check == Automaton::Yes && end <= limit) {
                    p = q;
                    pEnd = end;
                    break;
                }
                if (check == Automaton::GiveUp) {
                    p = sweep(q);
                    break;
                }
                checked += t_stats.steps - before;
                if (checked > 4 * uint64_t(limit - q) + 256) {
                    p = q > first ? sweep(q - 1) : -1;
                    break;
                }
            }
        }
    } catch (const std::bad_alloc&) {
        compiled->accel.reset();
        p = -2;
    }
    if (p >= 0) {
        // Without groups the end is the anchored run's from p; otherwise the
        // search from that start (the simulation there) gives the groups.
        if (compiled->groupCount == 0 &&
            (pEnd >= 0 || compiled->accel->anchoredRun[cs]->Forward(text, length, p, pEnd) ==
                              Automaton::Yes) &&
            pEnd <= limit) {
            groups[0] = p;
            groups[REGEXP_MAX_GROUPS] = pEnd;
            return true;
        }
        if (RegExpSearch(compiled, text, length, p, groups, flags) && groups[0] == p &&
            groups[REGEXP_MAX_GROUPS] <= limit)
            return true;
        ++t_stats.mismatches; // cannot happen
    } else if (p == -1) {
        ClearGroups(groups);
        return false;
    }
    ++t_stats.fallbacks;
    return SearchLastBySearches(compiled, text, length, first, limit, groups, flags);
}

bool RegExpCanScan(const RegExp* compiled, uint32_t flags)
{
    (void)flags;
    return compiled && !compiled->scanLiterals.empty();
}

const char16_t* RegExpScan(const RegExp* compiled, const char16_t* begin, const char16_t* end,
                           uint32_t flags)
{
    if (!compiled || compiled->scanLiterals.empty() || !begin || end <= begin)
        return nullptr;
    try {
        const RegExpAccel& a = *GetAccel(*compiled);
        const bool insensitive = !(flags & REGEXP_CASE_SENSITIVE);
        const int64_t at = a.scan[insensitive]->Find(begin, 0, end - begin);
        return at < 0 ? nullptr : begin + at;
    } catch (const std::bad_alloc&) {
        return begin; // unknown: every line is a candidate
    }
}

void RegExpSetLastBySweep(bool on)
{
    g_lastBySweep.store(on, std::memory_order_relaxed);
}

void RegExpSetAutomatonBudget(size_t bytes)
{
    g_budget.store(bytes, std::memory_order_relaxed);
}

RegExpPathStats& RegExpStats()
{
    return t_stats;
}

size_t RegExpAutomatonMemory(const RegExp* compiled)
{
    size_t total = 0;
    if (compiled && compiled->accel) {
        for (const auto& f : compiled->accel->forward)
            total += f ? f->Memory() : 0;
        for (const auto& b : compiled->accel->backward)
            total += b ? b->Memory() : 0;
        for (const auto& r : compiled->accel->anchoredRun)
            total += r ? r->Memory() : 0;
        for (const auto& r : compiled->accel->anyEnd)
            total += r ? r->Memory() : 0;
    }
    return total;
}
