// The matcher of the regular-expression engine: the simulation of all
// paths at once, the reference of the fast path and its last step.

#include "editor/regexp/EdtRegExpInternal.h"

using namespace regexp_detail;

// ---------------------------------------------------------------------------
// Matcher: all paths at once, in priority order, one step per character.

namespace {

class Runner
{
public:
    Runner(const RegExp& re, const char16_t* text, int length, uint32_t flags,
           RunnerScratch& scratch)
        : m_re(re), m_t(Tables()), m_text(text), m_length(length),
          m_case(uint8_t(flags & REGEXP_CASE_SENSITIVE)),
          m_slots(1 + 2 * size_t(re.groupCount)), m_visited(scratch.visited),
          m_gen(scratch.gen), m_work(scratch.work), m_stack(scratch.stack),
          m_lists(scratch.lists)
    {
        // Marks of earlier searches are older generations; before the
        // counter could wrap, they are cleared.
        if (m_visited.size() != m_re.nodes.size() * 2 || m_gen > 0xF0000000u) {
            m_visited.assign(m_re.nodes.size() * 2, 0);
            m_gen = 0;
        }
        m_work.assign(m_slots, -1);
    }

    // The match of the simulation that starts paths at position q only.
    bool SearchAt(int q, int groups[REGEXP_GROUP_ENTRIES])
    {
        m_only = q;
        const bool matched = Search(q, groups);
        m_only = -1;
        return matched;
    }

    bool Search(int start, int groups[REGEXP_GROUP_ENTRIES])
    {
        uint64_t steps = 0;
        const bool matched = Run(start, groups, steps);
        t_stats.steps += steps;
        return matched;
    }

private:
    bool Run(int start, int groups[REGEXP_GROUP_ENTRIES], uint64_t& steps)
    {
        bool matched = false;
        int pos = start;
        int nextStart = start;
        List* cl = &m_lists[0];
        List* nl = &m_lists[1];
        cl->Clear();
        for (;;) {
            if (cl->threads.empty()) {
                if (matched)
                    break;
                const int q = FindStart(nextStart);
                if (q < 0)
                    break;
                pos = q;
                nextStart = q + 1;
                ++m_gen;
                AddStart(*cl, q);
                if (cl->threads.empty())
                    continue;
            }
            ++m_gen;
            ++steps;
            nl->Clear();
            for (size_t i = 0; i < cl->threads.size(); ++i) {
                const Thread t = cl->threads[i];
                const Node& n = m_re.nodes[size_t(t.node)];
                const int32_t* caps = cl->Caps(i, m_slots);
                if (n.op == OpMatch) {
                    Record(caps, pos, groups);
                    matched = true;
                    break; // lower-priority paths are cut
                }
                if (pos < m_length && Consumes(n, m_text[pos], t.caseSensitive))
                    AddClosure(*nl, n.x, t.caseSensitive, caps, pos + 1);
            }
            if (pos >= m_length)
                break; // no path can go on, no start is left
            if (!matched && CanStart(pos + 1))
                AddStart(*nl, pos + 1);
            nextStart = pos + 2;
            std::swap(cl, nl);
            ++pos;
        }
        return matched;
    }

    using List = RunnerScratch::List;
    using StackEntry = RunnerScratch::StackEntry;

    bool CanStart(int p) const
    {
        if (m_only >= 0)
            return false;
        switch (m_re.lead) {
        case Lead::Bol: return p == 0;
        case Lead::Literal: return p < m_length && IsLeadChar(m_text[p]) && PrefixAt(m_re, m_text, m_length, p, m_case);
        default: return p <= m_length;
        }
    }
    bool IsLeadChar(char16_t c) const
    {
        if (m_case)
            return c == m_re.leadChar;
        for (char16_t f : m_re.leadFolded)
            if (c == f)
                return true;
        return false;
    }
    int FindStart(int from) const
    {
        if (m_only >= 0)
            return from == m_only ? from : -1;
        if (from > m_length)
            return -1;
        switch (m_re.lead) {
        case Lead::Bol: return from == 0 ? 0 : -1;
        case Lead::Literal: return FindLeadStart(m_re, m_text, m_length, from, m_case);
        default: return from;
        }
    }

public:
    // Whether the literal prefix stands at p.
    static bool PrefixAt(const RegExp& re, const char16_t* text, int length, int p,
                         bool caseSensitive)
    {
        const size_t n = re.prefix.size();
        if (size_t(length - p) < n)
            return false;
        if (caseSensitive)
            return std::equal(re.prefix.begin(), re.prefix.end(), text + p);
        const CharTables& t = Tables();
        for (size_t i = 0; i < n; ++i)
            if (t.upper[text[size_t(p) + i]] != re.prefixUpper[i])
                return false;
        return true;
    }
    // The first position from on where a match can begin.
    static int FindLeadStart(const RegExp& re, const char16_t* text, int length, int from,
                             bool caseSensitive)
    {
        int p = FindLead(re, text, length, from, caseSensitive);
        while (p >= 0 && !PrefixAt(re, text, length, p, caseSensitive))
            p = FindLead(re, text, length, p + 1, caseSensitive);
        return p;
    }
    static int FindLead(const RegExp& re, const char16_t* text, int length, int from,
                        bool caseSensitive)
    {
        if (caseSensitive || re.leadFolded.size() == 1) {
            const char16_t c = re.leadChar;
            for (int p = from; p < length; ++p)
                if (text[p] == c)
                    return p;
            return -1;
        }
        if (re.leadFolded.size() == 2) {
            const char16_t a = re.leadFolded[0];
            const char16_t b = re.leadFolded[1];
            for (int p = from; p < length; ++p)
                if (text[p] == a || text[p] == b)
                    return p;
            return -1;
        }
        const CharTables& t = Tables();
        const char16_t up = t.upper[re.leadChar];
        for (int p = from; p < length; ++p)
            if (t.upper[text[p]] == up)
                return p;
        return -1;
    }

private:
    void AddStart(List& list, int p)
    {
        std::fill(m_work.begin(), m_work.end(), -1);
        m_work[0] = p;
        AddClosure(list, m_re.startNode, m_case, m_work.data(), p);
    }

    bool Consumes(const Node& n, char16_t c, uint8_t caseSensitive) const
    {
        switch (n.op) {
        case OpChar: return caseSensitive ? c == n.ch : m_t.upper[c] == n.chUpper;
        case OpAny: return true;
        case OpClass: return m_re.classes[size_t(n.arg)].Matches(c, m_t);
        case OpCategory: return InCategories(uint8_t(n.arg), c, m_t);
        default: return false;
        }
    }

    bool Assert(Op op, int pos) const
    {
        switch (op) {
        case OpBol: return pos == 0;
        case OpEol: return pos == m_length;
        case OpWordStart:
            if (pos == 0)
                return m_length > 0;
            return pos < m_length && IsAsciiAlnum(m_text[pos]) && !IsAsciiAlnum(m_text[pos - 1]);
        case OpWordEnd:
            if (pos == m_length)
                return pos > 0;
            return pos > 0 && IsAsciiAlnum(m_text[pos - 1]) && !IsAsciiAlnum(m_text[pos]);
        default: return true;
        }
    }

    // Follows every non-consuming node from node at pos, depth first in
    // priority order, and appends the consuming and match nodes reached.
    // A node already reached at this position with the same case mode ends
    // the path.  (Push stays out of line: inlined into the loop below it
    // slows the loop down.)
    [[gnu::noinline]] void Push(size_t& top, StackEntry e)
    {
        if (top == m_stack.size())
            m_stack.resize(top * 2 + 16);
        m_stack[top++] = e;
    }

    void AddClosure(List& list, int32_t node, uint8_t cs, const int32_t* caps, int pos)
    {
        if (caps != m_work.data())
            std::copy(caps, caps + m_slots, m_work.begin());
        size_t top = 0;
        Push(top, {node, cs});
        while (top > 0) {
            const StackEntry e = m_stack[--top];
            if (e.node < 0) {
                m_work[size_t(-e.node - 1)] = -1;
                continue;
            }
            int32_t id = e.node;
            uint8_t c = e.caseSensitive;
            for (;;) {
                uint32_t& mark = m_visited[size_t(id) * 2 + c];
                if (mark == m_gen)
                    break;
                mark = m_gen;
                const Node& n = m_re.nodes[size_t(id)];
                switch (n.op) {
                case OpSplit:
                    Push(top, {n.y, c});
                    id = n.x;
                    continue;
                case OpSave: {
                    const size_t slot = n.arg < REGEXP_MAX_GROUPS
                                            ? size_t(n.arg)
                                            : size_t(n.arg - REGEXP_MAX_GROUPS + m_re.groupCount);
                    if (m_work[slot] == -1) {
                        Push(top, {-int32_t(slot) - 1, c});
                        m_work[slot] = pos;
                    }
                    id = n.x;
                    continue;
                }
                case OpCaseOn:
                    c = 1;
                    id = n.x;
                    continue;
                case OpCaseOff:
                    c = 0;
                    id = n.x;
                    continue;
                case OpNop:
                    id = n.x;
                    continue;
                case OpBol:
                case OpEol:
                case OpWordStart:
                case OpWordEnd:
                    if (!Assert(n.op, pos))
                        break;
                    id = n.x;
                    continue;
                default:
                    list.threads.push_back({id, c});
                    for (size_t k = 0; k < m_slots; ++k)
                        list.caps.push_back(m_work[k]);
                    break;
                }
                break;
            }
        }
    }

    void Record(const int32_t* caps, int end, int groups[REGEXP_GROUP_ENTRIES]) const
    {
        ClearGroups(groups);
        groups[0] = caps[0];
        groups[REGEXP_MAX_GROUPS] = end;
        for (int g = 1; g <= m_re.groupCount; ++g) {
            const int32_t s = caps[g];
            const int32_t e = caps[m_re.groupCount + g];
            if (s >= 0 && e >= 0) {
                groups[g] = s;
                groups[REGEXP_MAX_GROUPS + g] = e;
            }
        }
    }

    const RegExp& m_re;
    const CharTables& m_t;
    const char16_t* m_text;
    int m_length;
    uint8_t m_case;
    size_t m_slots;
    std::vector<uint32_t>& m_visited;
    uint32_t& m_gen;
    std::vector<int32_t>& m_work;
    std::vector<StackEntry>& m_stack;
    List* m_lists;
    int m_only = -1; // >= 0: paths start at this position only
};

bool Simulate(const RegExp& re, const char16_t* text, int length, int start,
              int groups[REGEXP_GROUP_ENTRIES], uint32_t flags)
{
    RunnerScratch scratch;
    Runner runner(re, text, length, flags, scratch);
    return runner.Search(start, groups);
}

} // namespace

namespace regexp_detail {

// The match by the simulation: at the start q found by the automata, or
// (q < 0) from start on.
[[gnu::noinline]] bool Finish(const RegExp& re, const char16_t* text, int length, int start, int q,
                              int qEnd, int groups[REGEXP_GROUP_ENTRIES], uint32_t flags)
{
    try {
        RunnerScratch local;
        RunnerScratch& scratch = re.accel ? re.accel->scratch : local;
        Runner runner(re, text, length, flags, scratch);
        if (q >= 0) {
            if (runner.SearchAt(q, groups)) {
                ++t_stats.automaton;
                if (groups[REGEXP_MAX_GROUPS] != qEnd)
                    ++t_stats.mismatches; // cannot happen either
                return true;
            }
            ++t_stats.mismatches; // cannot happen; the simulation decides
        }
        ++t_stats.fallbacks;
        return runner.Search(start, groups);
    } catch (const std::bad_alloc&) {
        ClearGroups(groups);
        return false;
    }
}

} // namespace regexp_detail

bool RegExpSearchSimulated(const RegExp* compiled, const char16_t* text, int length, int start,
                           int groups[REGEXP_GROUP_ENTRIES], uint32_t flags)
{
    ClearGroups(groups);
    if (!compiled || length < 0 || start < 0 || start > length || (!text && length > 0))
        return false;
    // Cheap rejections before any working memory is set up.
    if (compiled->lead == Lead::Bol && start != 0)
        return false;
    if (compiled->lead == Lead::Literal) {
        if (Runner::FindLeadStart(*compiled, text, length, start, flags & REGEXP_CASE_SENSITIVE) < 0)
            return false;
    }
    try {
        return Simulate(*compiled, text, length, start, groups, flags);
    } catch (const std::bad_alloc&) {
        ClearGroups(groups);
        return false;
    }
}
