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

// The search accelerator of a compiled expression (character classes, the
// automata and the prefilter literals), built on its first search.
struct RegExpAccel;

struct RegExp
{
    RegExp();
    ~RegExp();
    RegExp(const RegExp&) = delete;
    RegExp& operator=(const RegExp&) = delete;

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
    // Strings one of which every match contains (empty: none known).
    std::vector<std::u16string> scanLiterals;
    // Built by the first search and kept until RegExpFree.
    mutable std::unique_ptr<RegExpAccel> accel;
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

struct Frag
{
    int32_t start = -1; // -1: empty
    Exits out;
    bool consumes = false;
    Literals lits;
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
        m_re.scanLiterals = f.lits.Must();
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
    // A consuming node other than a literal matches strings that are not
    // known; a node that consumes nothing matches the empty string.
    Frag Single(int32_t node, bool consumes)
    {
        return {node, List1(node, 0), consumes, consumes ? Literals::Unknown() : Literals()};
    }
    Frag Concat(const Frag& a, const Frag& b)
    {
        if (a.start < 0)
            return b;
        if (b.start < 0)
            return a;
        Patch(a.out, b.start);
        return {a.start, b.out, a.consumes || b.consumes, Literals::Concat(a.lits, b.lits)};
    }
    Frag Split(const Frag& preferred, const Frag& other)
    {
        const int32_t s = NewNode(OpSplit);
        m_re.nodes[size_t(s)].x = preferred.start;
        m_re.nodes[size_t(s)].y = other.start;
        return {s, Append(preferred.out, other.out), preferred.consumes || other.consumes,
                Literals::Alternative(preferred.lits, other.lits)};
    }
    Frag Apply(const Frag& a, char16_t op)
    {
        const int32_t s = NewNode(OpSplit);
        Node& n = m_re.nodes[size_t(s)];
        // One or more passes contain what one pass contains; zero or more
        // contain nothing; zero or one: the strings and the empty one.
        Literals once = Literals::Unknown();
        once.must = a.lits.Must();
        Literals optional = Literals::Unknown();
        if (a.lits.exactKnown && a.lits.exact.size() < Literals::kMaxStrings) {
            optional.exactKnown = true;
            optional.exact = a.lits.exact;
            optional.exact.emplace_back();
            Literals::Dedupe(optional.exact);
        }
        switch (op) {
        case u'*': // split: body or on; the body returns to the split
            n.x = a.start;
            Patch(a.out, s);
            return {s, List1(s, 1), a.consumes, Literals::Unknown()};
        case u'@':
            n.y = a.start;
            Patch(a.out, s);
            return {s, List1(s, 0), a.consumes, Literals::Unknown()};
        case u'+': // body, then split: back or on
            n.x = a.start;
            Patch(a.out, s);
            return {a.start, List1(s, 1), a.consumes, once};
        case u'#':
            n.y = a.start;
            Patch(a.out, s);
            return {a.start, List1(s, 0), a.consumes, once};
        default: // '?'
            n.x = a.start;
            return {s, Append(a.out, List1(s, 1)), a.consumes, optional};
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
        Frag f = Single(n, true);
        f.lits.exactKnown = true;
        f.lits.exact.assign(1, std::u16string(1, ch));
        return f;
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
        // A class of a few characters matches those strings.
        Literals lits = Literals::Unknown();
        if (!cls.negated && cls.cats == 0) {
            size_t members = 0;
            for (const auto& [first, second] : cls.ranges)
                members += size_t(second - first) + 1;
            if (members > 0 && members <= 4) {
                lits.exactKnown = true;
                for (const auto& [first, second] : cls.ranges)
                    for (uint32_t c = first; c <= second; ++c)
                        lits.exact.emplace_back(1, char16_t(c));
                Literals::Dedupe(lits.exact);
            }
        }
        m_re.classes.push_back(std::move(cls));
        const int32_t n = NewNode(OpClass);
        m_re.nodes[size_t(n)].arg = int32_t(m_re.classes.size() - 1);
        result = Single(n, true);
        result.lits = std::move(lits);
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

thread_local RegExpPathStats t_stats;

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
    // the path.
    void Push(size_t& top, StackEntry e)
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

} // namespace

// ---------------------------------------------------------------------------
// The fast path of the search.  A search is answered in three steps:
//  1. a forward automaton scans from the lowest possible start and answers
//     whether any match begins at or after it (false ends the search);
//  2. a backward automaton of the reversed graph, run from the end of the
//     text down to that start, gives the lowest position at which a match
//     begins;
//  3. the simulation above, starting paths at that position only, gives the
//     match and its groups exactly as a search from the start would.
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

UnitSet ExactSet(char16_t c)
{
    UnitSet s;
    s.u[0] = c;
    s.n = 1;
    s.upper = Tables().upper[c];
    return s;
}

UnitSet FoldSet(char16_t c)
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

bool NodeConsumes(const RegExp& re, const Node& n, char16_t c, uint8_t caseSensitive,
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

bool IsConsuming(Op op)
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

bool Holds(Op op, const Context& x)
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

} // namespace

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

    std::vector<PrefilterLiteral> required; // longest first
    std::unique_ptr<PrefilterLiteral> lead;
    std::unique_ptr<LiteralScanner> scan[2]; // [case-sensitive, insensitive]
    bool scanLines = false;                  // the scan also rejects single lines

    std::unique_ptr<Automaton> forward[2];  // per case mode of the flags
    std::unique_ptr<Automaton> backward[2];
    std::unique_ptr<Automaton> anchoredRun[2]; // of RegExpSearchLast
    std::unique_ptr<Automaton> anyEnd[2];      // of RegExpSearchLast

    RunnerScratch scratch; // of the simulation

    uint16_t ClassOf(char16_t c) const
    {
        return c < 256 ? low[c] : blocks[blockBase[c >> 8] + (c & 255u)];
    }
};

namespace {

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

bool Simulate(const RegExp& re, const char16_t* text, int length, int start,
              int groups[REGEXP_GROUP_ENTRIES], uint32_t flags)
{
    RunnerScratch scratch;
    Runner runner(re, text, length, flags, scratch);
    return runner.Search(start, groups);
}

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

} // namespace

RegExp::RegExp() = default;
RegExp::~RegExp() = default;

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

// ---------------------------------------------------------------------------
// Substitution.

namespace {

char16_t ToUpper16(char16_t c)
{
    return Tables().upper[c];
}

char16_t ToLower16(char16_t c)
{
    return sys::ToLowerUnit(c);
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
