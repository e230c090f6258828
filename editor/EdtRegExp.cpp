#include "editor/EdtRegExp.h"

#include <QChar>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace {

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

const CharTables& Tables()
{
    static const CharTables* tables = [] {
        auto* t = new CharTables;
        for (uint32_t u = 0; u < 65536; ++u) {
            const bool surrogate = u >= 0xD800 && u <= 0xDFFF;
            char32_t up = surrogate ? u : QChar::toUpper(char32_t(u));
            t->upper[u] = up > 0xFFFF ? char16_t(u) : char16_t(up);
            uint8_t b = 0;
            if (!surrogate) {
                if (QChar::isUpper(char32_t(u)))
                    b |= kUpper;
                if (QChar::isLower(char32_t(u)))
                    b |= kLower;
                if (QChar::isDigit(char32_t(u)))
                    b |= kDigit;
                if (QChar::isLetter(char32_t(u)))
                    b |= kLetter;
            }
            t->bits[u] = b;
        }
        return t;
    }();
    return *tables;
}

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

bool InCategories(uint8_t cats, char16_t c, const CharTables& t)
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

} // namespace

struct RegExp
{
    std::vector<Node> nodes;
    std::vector<CharClass> classes;
    int32_t startNode = 0;
    int groupCount = 0; // capturing groups, without group 0
    Lead lead = Lead::None;
    char16_t leadChar = 0;
    std::vector<char16_t> leadFolded; // every unit whose upper case is leadChar's
    // The literal characters every match begins with (leadChar first), and
    // their upper case.
    std::u16string prefix;
    std::u16string prefixUpper;
};

namespace {

constexpr size_t kMaxExpression = 65535;
constexpr int kMaxDepth = 256;
constexpr int kMaxGroups = REGEXP_MAX_GROUPS - 1;

// ---------------------------------------------------------------------------
// Compiler: Thompson-style fragments with their dangling exits kept as a
// list threaded through the unset x/y fields (entry = node * 2 + field).

struct Exits
{
    int32_t head = -1;
    int32_t tail = -1;
};

struct Frag
{
    int32_t start = -1; // -1: empty
    Exits out;
    bool consumes = false;
};

struct UnitInfo
{
    bool literal = false;  // a literal character ...
    char16_t ch = 0;       // ... this one ...
    bool optional = false; // ... that carries *, @ or ?
    bool anyOperator = false;
    bool bol = false;      // a ^ without operators
};

class Compiler
{
public:
    Compiler(std::u16string_view e, RegExp& re) : m_e(e), m_re(re), m_t(Tables()) {}

    bool Run()
    {
        UnitInfo first;
        bool firstIsAlternative = false;
        Frag f;
        if (!ParseSeq(f, &first, &firstIsAlternative))
            return false;
        if (f.start < 0)
            return false; // nothing before the end or a top-level closing bracket
        const int32_t match = NewNode(OpMatch);
        Patch(f.out, match);
        m_re.startNode = f.start;
        m_re.groupCount = m_groups;
        if (!firstIsAlternative) {
            if (first.literal && !first.optional) {
                m_re.lead = Lead::Literal;
                m_re.leadChar = first.ch;
                m_re.prefix = m_prefix;
                for (char16_t c : m_prefix)
                    m_re.prefixUpper.push_back(m_t.upper[c]);
                const char16_t up = m_t.upper[first.ch];
                for (uint32_t u = 0; u < 65536; ++u)
                    if (m_t.upper[u] == up)
                        m_re.leadFolded.push_back(char16_t(u));
            } else if (first.bol) {
                m_re.lead = Lead::Bol;
            }
        }
        for (CharClass& c : m_re.classes)
            c.Finish(m_t);
        return true;
    }

private:
    int32_t NewNode(Op op)
    {
        Node n;
        n.op = op;
        m_re.nodes.push_back(n);
        return int32_t(m_re.nodes.size() - 1);
    }
    int32_t& Field(int32_t entry)
    {
        Node& n = m_re.nodes[size_t(entry >> 1)];
        return (entry & 1) ? n.y : n.x;
    }
    Exits List1(int32_t node, int field)
    {
        const int32_t entry = node * 2 + field;
        Field(entry) = -1;
        return {entry, entry};
    }
    Exits Append(Exits a, Exits b)
    {
        if (a.head < 0)
            return b;
        if (b.head < 0)
            return a;
        Field(a.tail) = b.head;
        return {a.head, b.tail};
    }
    void Patch(Exits l, int32_t target)
    {
        int32_t e = l.head;
        while (e >= 0) {
            int32_t& f = Field(e);
            const int32_t next = f;
            f = target;
            e = next;
        }
    }
    Frag Single(int32_t node, bool consumes) { return {node, List1(node, 0), consumes}; }
    Frag Concat(const Frag& a, const Frag& b)
    {
        if (a.start < 0)
            return b;
        if (b.start < 0)
            return a;
        Patch(a.out, b.start);
        return {a.start, b.out, a.consumes || b.consumes};
    }
    Frag Split(const Frag& preferred, const Frag& other)
    {
        const int32_t s = NewNode(OpSplit);
        m_re.nodes[size_t(s)].x = preferred.start;
        m_re.nodes[size_t(s)].y = other.start;
        return {s, Append(preferred.out, other.out), preferred.consumes || other.consumes};
    }
    Frag Apply(const Frag& a, char16_t op)
    {
        const int32_t s = NewNode(OpSplit);
        Node& n = m_re.nodes[size_t(s)];
        switch (op) {
        case u'*': // split: body or on; the body returns to the split
            n.x = a.start;
            Patch(a.out, s);
            return {s, List1(s, 1), a.consumes};
        case u'@':
            n.y = a.start;
            Patch(a.out, s);
            return {s, List1(s, 0), a.consumes};
        case u'+': // body, then split: back or on
            n.x = a.start;
            Patch(a.out, s);
            return {a.start, List1(s, 1), a.consumes};
        case u'#':
            n.y = a.start;
            Patch(a.out, s);
            return {a.start, List1(s, 0), a.consumes};
        default: // '?'
            n.x = a.start;
            return {s, Append(a.out, List1(s, 1)), a.consumes};
        }
    }

    static bool IsOperator(char16_t c)
    {
        return c == u'*' || c == u'@' || c == u'+' || c == u'#' || c == u'?';
    }
    bool AtEnd() const { return m_pos >= m_e.size(); }

    bool ParseSeq(Frag& result, UnitInfo* first, bool* firstIsAlternative)
    {
        Frag seq;
        Frag last;
        bool haveLast = false;
        int units = 0;
        while (!AtEnd()) {
            const char16_t c = m_e[m_pos];
            if (c == u')' || c == u'}')
                break;
            if (c == u'|') {
                if (!haveLast)
                    return false;
                if (units == 1 && firstIsAlternative)
                    *firstIsAlternative = true;
                if (first) {
                    // The last item is the first of an alternative.
                    if (m_prefixOpen && int(m_prefix.size()) == units)
                        m_prefix.pop_back();
                    m_prefixOpen = false;
                }
                std::vector<Frag> chain{last};
                do {
                    ++m_pos;
                    Frag u;
                    if (!ParseUnit(u, nullptr))
                        return false;
                    chain.push_back(u);
                } while (!AtEnd() && m_e[m_pos] == u'|');
                Frag r = chain.back();
                for (size_t i = chain.size() - 1; i-- > 0;)
                    r = Split(chain[i], r);
                last = r;
                continue;
            }
            Frag u;
            UnitInfo info;
            if (!ParseUnit(u, first ? &info : nullptr))
                return false;
            if (first) {
                if (units == 0)
                    *first = info;
                if (m_prefixOpen && info.literal && !info.anyOperator)
                    m_prefix.push_back(info.ch);
                else
                    m_prefixOpen = false;
            }
            if (haveLast)
                seq = Concat(seq, last);
            last = u;
            haveLast = true;
            ++units;
        }
        if (haveLast)
            seq = Concat(seq, last);
        result = seq;
        return true;
    }

    // One item with its operators.
    bool ParseUnit(Frag& result, UnitInfo* info)
    {
        Frag a;
        bool literal = false;
        if (!ParseAtom(a, literal))
            return false;
        const char16_t ch = literal ? m_re.nodes[size_t(a.start)].ch : 0;
        bool optional = false;
        bool anyOperator = false;
        while (!AtEnd() && IsOperator(m_e[m_pos])) {
            const char16_t op = m_e[m_pos++];
            if (op != u'?' && !a.consumes)
                return false;
            if (op == u'*' || op == u'@' || op == u'?')
                optional = true;
            anyOperator = true;
            a = Apply(a, op);
        }
        if (info) {
            info->literal = literal;
            info->ch = ch;
            info->optional = optional;
            info->anyOperator = anyOperator;
            info->bol = !anyOperator && m_re.nodes[size_t(a.start)].op == OpBol;
        }
        result = a;
        return true;
    }

    bool ParseAtom(Frag& result, bool& literal)
    {
        if (AtEnd())
            return false;
        const char16_t c = m_e[m_pos];
        switch (c) {
        case u')':
        case u'}':
        case u'|':
        case u'*':
        case u'@':
        case u'+':
        case u'#':
        case u'?':
            return false;
        case u'(':
        case u'{': {
            if (m_depth >= kMaxDepth)
                return false;
            ++m_pos;
            int group = 0;
            if (c == u'(') {
                if (m_groups >= kMaxGroups)
                    return false;
                group = ++m_groups;
            }
            ++m_depth;
            Frag inner;
            if (!ParseSeq(inner, nullptr, nullptr))
                return false;
            --m_depth;
            if (!AtEnd())
                ++m_pos; // ')' or '}' closes either kind
            if (group) {
                const int32_t open = NewNode(OpSave);
                m_re.nodes[size_t(open)].arg = group;
                const int32_t close = NewNode(OpSave);
                m_re.nodes[size_t(close)].arg = REGEXP_MAX_GROUPS + group;
                Frag f = Concat(Single(open, false), inner);
                result = Concat(f, Single(close, false));
            } else if (inner.start < 0) {
                result = Single(NewNode(OpNop), false);
            } else {
                result = inner;
            }
            return true;
        }
        case u'^':
            ++m_pos;
            result = Single(NewNode(OpBol), false);
            return true;
        case u'$':
            ++m_pos;
            result = Single(NewNode(OpEol), false);
            return true;
        case u'<':
            ++m_pos;
            result = Single(NewNode(OpWordStart), false);
            return true;
        case u'>':
            ++m_pos;
            result = Single(NewNode(OpWordEnd), false);
            return true;
        case u'.':
            ++m_pos;
            result = Single(NewNode(OpAny), true);
            return true;
        case u'[':
            ++m_pos;
            return ParseClass(result);
        case u'\\': {
            ++m_pos;
            if (AtEnd())
                return false;
            const char16_t e = m_e[m_pos];
            if (e == u'C' || e == u'c') {
                ++m_pos;
                result = Single(NewNode(e == u'C' ? OpCaseOn : OpCaseOff), false);
                return true;
            }
            uint8_t cat = 0;
            if (EscapeCategory(e, cat)) {
                ++m_pos;
                const int32_t n = NewNode(OpCategory);
                m_re.nodes[size_t(n)].arg = cat;
                result = Single(n, true);
                return true;
            }
            char16_t ch = 0;
            if (!ParseCharEscape(ch))
                return false;
            result = Literal(ch);
            literal = true;
            return true;
        }
        default:
            ++m_pos;
            result = Literal(c);
            literal = true;
            return true;
        }
    }

    Frag Literal(char16_t ch)
    {
        const int32_t n = NewNode(OpChar);
        m_re.nodes[size_t(n)].ch = ch;
        m_re.nodes[size_t(n)].chUpper = m_t.upper[ch];
        return Single(n, true);
    }

    static bool EscapeCategory(char16_t e, uint8_t& cat)
    {
        switch (e) {
        case u'd': cat = CatDigit; return true;
        case u'D': cat = CatNotDigit; return true;
        case u'w': cat = CatWord; return true;
        case u'W': cat = CatNotWord; return true;
        case u's': cat = CatSpace; return true;
        case u'S': cat = CatNotSpace; return true;
        case u'U': cat = CatUpper; return true;
        case u'L': cat = CatLower; return true;
        default: return false;
        }
    }

    static int DigitValue(char16_t c, int base)
    {
        int v = -1;
        if (c >= u'0' && c <= u'9')
            v = c - u'0';
        else if (c >= u'a' && c <= u'f')
            v = c - u'a' + 10;
        else if (c >= u'A' && c <= u'F')
            v = c - u'A' + 10;
        return v < base ? v : -1;
    }

    // m_pos at the character after the backslash (not a category, \C or \c).
    bool ParseCharEscape(char16_t& ch)
    {
        const char16_t e = m_e[m_pos++];
        int base = 0;
        int digits = 0;
        switch (e) {
        case u'a': ch = 7; return true;
        case u'b': ch = 8; return true;
        case u'e': ch = 27; return true;
        case u'f': ch = 12; return true;
        case u'n': ch = 10; return true;
        case u'r': ch = 13; return true;
        case u't': ch = 9; return true;
        case u'v': ch = 11; return true;
        case u'N': base = 10; digits = 3; break;
        case u'o': base = 8; digits = 3; break;
        case u'x': base = 16; digits = 2; break;
        default: ch = e; return true;
        }
        int value = 0;
        for (int i = 0; i < digits; ++i) {
            if (AtEnd())
                return false;
            const int d = DigitValue(m_e[m_pos++], base);
            if (d < 0)
                return false;
            value = value * base + d;
        }
        ch = char16_t(value);
        return true;
    }

    // One member of a class: a single character (isChar) or a category.
    bool ParseClassMember(char16_t& ch, uint8_t& cat, bool& isChar)
    {
        if (AtEnd())
            return false;
        const char16_t c = m_e[m_pos++];
        if (c != u'\\') {
            ch = c;
            isChar = true;
            return true;
        }
        if (AtEnd())
            return false;
        if (EscapeCategory(m_e[m_pos], cat)) {
            ++m_pos;
            isChar = false;
            return true;
        }
        isChar = true;
        return ParseCharEscape(ch);
    }

    bool ParseClass(Frag& result)
    {
        CharClass cls;
        if (!AtEnd() && m_e[m_pos] == u'^') {
            cls.negated = true;
            ++m_pos;
        }
        bool literalDash = true; // at the start, after ^, after a range
        for (;;) {
            if (AtEnd())
                return false;
            const char16_t c = m_e[m_pos];
            if (c == u']') {
                ++m_pos;
                break;
            }
            char16_t first = 0;
            uint8_t cat = 0;
            bool isChar = false;
            if (c == u'-' && literalDash) {
                ++m_pos;
                first = u'-';
                isChar = true;
            } else if (!ParseClassMember(first, cat, isChar)) {
                return false;
            }
            if (!isChar) {
                cls.cats |= cat;
                literalDash = false;
                if (!AtEnd() && m_e[m_pos] == u'-')
                    return false; // a category cannot end a range
                continue;
            }
            if (!AtEnd() && m_e[m_pos] == u'-') {
                ++m_pos;
                if (AtEnd() || m_e[m_pos] == u']')
                    return false; // dangling '-'
                char16_t second = 0;
                if (!ParseClassMember(second, cat, isChar) || !isChar || first > second)
                    return false;
                cls.ranges.emplace_back(first, second);
                literalDash = true;
                continue;
            }
            cls.ranges.emplace_back(first, first);
            literalDash = false;
        }
        m_re.classes.push_back(std::move(cls));
        const int32_t n = NewNode(OpClass);
        m_re.nodes[size_t(n)].arg = int32_t(m_re.classes.size() - 1);
        result = Single(n, true);
        return true;
    }

    std::u16string_view m_e;
    RegExp& m_re;
    const CharTables& m_t;
    size_t m_pos = 0;
    int m_depth = 0;
    int m_groups = 0;
    std::u16string m_prefix;
    bool m_prefixOpen = true;
};

// ---------------------------------------------------------------------------
// Matcher: all paths at once, in priority order, one step per character.

struct Thread
{
    int32_t node;
    uint8_t caseSensitive;
};

class Runner
{
public:
    Runner(const RegExp& re, const char16_t* text, int length, uint32_t flags)
        : m_re(re), m_t(Tables()), m_text(text), m_length(length),
          m_case(uint8_t(flags & REGEXP_CASE_SENSITIVE)),
          m_slots(1 + 2 * size_t(re.groupCount)), m_visited(re.nodes.size() * 2, 0),
          m_work(m_slots, -1)
    {
    }

    bool Search(int start, int groups[REGEXP_GROUP_ENTRIES])
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

private:
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

    bool CanStart(int p) const
    {
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
    // the path.
    void AddClosure(List& list, int32_t node, uint8_t cs, const int32_t* caps, int pos)
    {
        if (caps != m_work.data())
            std::copy(caps, caps + m_slots, m_work.begin());
        m_stack.clear();
        m_stack.push_back({node, cs});
        while (!m_stack.empty()) {
            StackEntry e = m_stack.back();
            m_stack.pop_back();
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
                    m_stack.push_back({n.y, c});
                    id = n.x;
                    continue;
                case OpSave: {
                    const size_t slot = n.arg < REGEXP_MAX_GROUPS
                                            ? size_t(n.arg)
                                            : size_t(n.arg - REGEXP_MAX_GROUPS + m_re.groupCount);
                    if (m_work[slot] == -1) {
                        m_stack.push_back({-int32_t(slot) - 1, c});
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
                    list.caps.insert(list.caps.end(), m_work.begin(), m_work.end());
                    break;
                }
                break;
            }
        }
    }

    void Record(const int32_t* caps, int end, int groups[REGEXP_GROUP_ENTRIES]) const
    {
        std::fill(groups, groups + REGEXP_GROUP_ENTRIES, -1);
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
    std::vector<uint32_t> m_visited;
    uint32_t m_gen = 0;
    std::vector<int32_t> m_work;
    std::vector<StackEntry> m_stack;
    List m_lists[2];
};

} // namespace

RegExp* RegExpCompile(std::u16string_view expression)
{
    if (expression.empty() || expression.size() > kMaxExpression)
        return nullptr;
    try {
        auto re = std::make_unique<RegExp>();
        re->nodes.reserve(expression.size() * 2 + 2);
        Compiler compiler(expression, *re);
        if (!compiler.Run())
            return nullptr;
        return re.release();
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

void RegExpFree(RegExp* compiled)
{
    delete compiled;
}

bool RegExpSearch(const RegExp* compiled, const char16_t* text, int length, int start,
                  int groups[REGEXP_GROUP_ENTRIES], uint32_t flags)
{
    std::fill(groups, groups + REGEXP_GROUP_ENTRIES, -1);
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
        Runner runner(*compiled, text, length, flags);
        return runner.Search(start, groups);
    } catch (const std::bad_alloc&) {
        std::fill(groups, groups + REGEXP_GROUP_ENTRIES, -1);
        return false;
    }
}

// ---------------------------------------------------------------------------
// Substitution.

namespace {

char16_t ToUpper16(char16_t c)
{
    return Tables().upper[c];
}

char16_t ToLower16(char16_t c)
{
    if (c >= 0xD800 && c <= 0xDFFF)
        return c;
    const char32_t l = QChar::toLower(char32_t(c));
    return l > 0xFFFF ? c : char16_t(l);
}

} // namespace

int RegExpSubstitute(std::u16string_view replacement, const char16_t* text, int length,
                     const int groups[REGEXP_GROUP_ENTRIES], std::u16string& result)
{
    result.clear();
    enum class Mode { None, Upper, Lower };
    Mode mode = Mode::None;
    Mode once = Mode::None;
    std::u16string out;
    auto put = [&](char16_t c) {
        const Mode m = once != Mode::None ? once : mode;
        once = Mode::None;
        if (m == Mode::Upper)
            c = ToUpper16(c);
        else if (m == Mode::Lower)
            c = ToLower16(c);
        out.push_back(c);
    };
    auto number = [&](size_t& i, int base, int digits, char16_t& c) {
        int value = 0;
        for (int k = 0; k < digits; ++k) {
            if (i >= replacement.size())
                return false;
            const char16_t d = replacement[i++];
            int v = -1;
            if (d >= u'0' && d <= u'9')
                v = d - u'0';
            else if (d >= u'a' && d <= u'f')
                v = d - u'a' + 10;
            else if (d >= u'A' && d <= u'F')
                v = d - u'A' + 10;
            if (v < 0 || v >= base)
                return false;
            value = value * base + v;
        }
        c = char16_t(value);
        return true;
    };
    if (!groups || length < 0)
        return -1;
    try {
        size_t i = 0;
        while (i < replacement.size()) {
            const char16_t c = replacement[i++];
            if (c != u'\\') {
                put(c);
                continue;
            }
            if (i >= replacement.size())
                return -1;
            const char16_t e = replacement[i++];
            char16_t ch = 0;
            if (e >= u'0' && e <= u'9') {
                const int g = e - u'0';
                const int s = groups[g];
                const int en = groups[REGEXP_MAX_GROUPS + g];
                if (s < 0 || en < 0 || s > en || en > length || (!text && en > 0))
                    return -1;
                for (int k = s; k < en; ++k)
                    put(text[k]);
                continue;
            }
            switch (e) {
            case u'U': mode = Mode::Upper; break;
            case u'L': mode = Mode::Lower; break;
            case u'E':
            case u'e': mode = Mode::None; break;
            case u'u': once = Mode::Upper; break;
            case u'l': once = Mode::Lower; break;
            case u'a': put(7); break;
            case u'b': put(8); break;
            case u'n': put(10); break;
            case u'r': put(13); break;
            case u't': put(9); break;
            case u'd':
                if (!number(i, 10, 3, ch))
                    return -1;
                put(ch);
                break;
            case u'o':
                if (!number(i, 8, 3, ch))
                    return -1;
                put(ch);
                break;
            case u'x':
                if (!number(i, 16, 2, ch))
                    return -1;
                put(ch);
                break;
            default: put(e); break;
            }
        }
        result = std::move(out);
        return 0;
    } catch (const std::bad_alloc&) {
        result.clear();
        return -1;
    }
}
