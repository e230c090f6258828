// The compiler of the regular-expression engine: the expression to the
// program of nodes.

#include "editor/regexp/EdtRegExpInternal.h"

using namespace regexp_detail;

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
