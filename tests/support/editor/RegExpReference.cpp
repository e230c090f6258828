#include "tests/support/editor/RegExpReference.h"

#include <QChar>

#include <memory>
#include <set>
#include <string>
#include <tuple>
#include <vector>

namespace testsupport {
namespace {

enum Kind { Lit, Any, Cls, Cat, Bol, Eol, WordStart, WordEnd, CaseOn, CaseOff, Grp, Seq, Alt, Rep };

struct Ast
{
    Kind kind = Seq;
    char16_t ch = 0;  // Lit: character; Cat: escape letter; Rep: operator
    bool negated = false;
    std::vector<std::pair<char16_t, char16_t>> ranges;
    std::u16string cats;
    int group = 0;
    std::vector<std::unique_ptr<Ast>> kids;
};
using P = std::unique_ptr<Ast>;

P Make(Kind k)
{
    auto a = std::make_unique<Ast>();
    a->kind = k;
    return a;
}

bool Consumes(const Ast& a)
{
    switch (a.kind) {
    case Lit:
    case Any:
    case Cls:
    case Cat: return true;
    case Grp:
    case Seq:
    case Alt:
    case Rep:
        for (const P& k : a.kids)
            if (Consumes(*k))
                return true;
        return false;
    default: return false;
    }
}

bool IsOp(char16_t c)
{
    return c == u'*' || c == u'@' || c == u'+' || c == u'#' || c == u'?';
}

bool IsCatLetter(char16_t c)
{
    return std::u16string_view(u"dDwWsSUL").find(c) != std::u16string_view::npos;
}

class Parser
{
public:
    explicit Parser(std::u16string_view e) : m_e(e) {}
    int groups = 0;

    P Top()
    {
        P s = Sequence();
        if (!s || s->kids.empty())
            return nullptr;
        return s;
    }

private:
    bool End() const { return m_i >= m_e.size(); }

    P Sequence()
    {
        P s = Make(Seq);
        while (!End()) {
            const char16_t c = m_e[m_i];
            if (c == u')' || c == u'}')
                break;
            if (c == u'|') {
                if (s->kids.empty())
                    return nullptr;
                ++m_i;
                P right = AltRight();
                if (!right)
                    return nullptr;
                P alt = Make(Alt);
                alt->kids.push_back(std::move(s->kids.back()));
                alt->kids.push_back(std::move(right));
                s->kids.back() = std::move(alt);
                continue;
            }
            P u = Unit();
            if (!u)
                return nullptr;
            s->kids.push_back(std::move(u));
        }
        return s;
    }

    P AltRight()
    {
        P u = Unit();
        if (!u)
            return nullptr;
        if (!End() && m_e[m_i] == u'|') {
            ++m_i;
            P r = AltRight();
            if (!r)
                return nullptr;
            P alt = Make(Alt);
            alt->kids.push_back(std::move(u));
            alt->kids.push_back(std::move(r));
            return alt;
        }
        return u;
    }

    P Unit()
    {
        P a = Atom();
        if (!a)
            return nullptr;
        while (!End() && IsOp(m_e[m_i])) {
            const char16_t op = m_e[m_i++];
            if (op != u'?' && !Consumes(*a))
                return nullptr;
            P r = Make(Rep);
            r->ch = op;
            r->kids.push_back(std::move(a));
            a = std::move(r);
        }
        return a;
    }

    bool CharEscape(char16_t& out)
    {
        const char16_t e = m_e[m_i++];
        const std::u16string_view simple = u"abefnrtv";
        const char16_t codes[] = {7, 8, 27, 12, 10, 13, 9, 11};
        const size_t k = simple.find(e);
        if (k != std::u16string_view::npos) {
            out = codes[k];
            return true;
        }
        int base = 0, digits = 0;
        if (e == u'N')
            base = 10, digits = 3;
        else if (e == u'o')
            base = 8, digits = 3;
        else if (e == u'x')
            base = 16, digits = 2;
        else {
            out = e;
            return true;
        }
        int v = 0;
        for (int d = 0; d < digits; ++d) {
            if (End())
                return false;
            const char16_t c = m_e[m_i++];
            int dv = -1;
            if (c >= u'0' && c <= u'9')
                dv = c - u'0';
            else if (c >= u'a' && c <= u'f')
                dv = c - u'a' + 10;
            else if (c >= u'A' && c <= u'F')
                dv = c - u'A' + 10;
            if (dv < 0 || dv >= base)
                return false;
            v = v * base + dv;
        }
        out = char16_t(v);
        return true;
    }

    P Class()
    {
        P a = Make(Cls);
        if (!End() && m_e[m_i] == u'^') {
            a->negated = true;
            ++m_i;
        }
        bool dashLiteral = true;
        for (;;) {
            if (End())
                return nullptr;
            const char16_t c = m_e[m_i];
            if (c == u']') {
                ++m_i;
                return a;
            }
            char16_t first = 0;
            if (c == u'-' && dashLiteral) {
                ++m_i;
                first = u'-';
            } else if (c == u'\\') {
                ++m_i;
                if (End())
                    return nullptr;
                if (IsCatLetter(m_e[m_i])) {
                    a->cats.push_back(m_e[m_i++]);
                    if (!End() && m_e[m_i] == u'-')
                        return nullptr;
                    dashLiteral = false;
                    continue;
                }
                if (!CharEscape(first))
                    return nullptr;
            } else {
                ++m_i;
                first = c;
            }
            if (!End() && m_e[m_i] == u'-') {
                ++m_i;
                if (End() || m_e[m_i] == u']')
                    return nullptr;
                char16_t second = m_e[m_i];
                if (second == u'\\') {
                    ++m_i;
                    if (End() || IsCatLetter(m_e[m_i]))
                        return nullptr;
                    if (!CharEscape(second))
                        return nullptr;
                } else {
                    ++m_i;
                }
                if (first > second)
                    return nullptr;
                a->ranges.emplace_back(first, second);
                dashLiteral = true;
                continue;
            }
            a->ranges.emplace_back(first, first);
            dashLiteral = false;
        }
    }

    P Atom()
    {
        if (End())
            return nullptr;
        const char16_t c = m_e[m_i];
        if (c == u')' || c == u'}' || c == u'|' || IsOp(c))
            return nullptr;
        ++m_i;
        switch (c) {
        case u'(':
        case u'{': {
            if (m_depth >= 256)
                return nullptr;
            P g = Make(Grp);
            if (c == u'(') {
                if (groups >= 63)
                    return nullptr;
                g->group = ++groups;
            }
            ++m_depth;
            P inner = Sequence();
            --m_depth;
            if (!inner)
                return nullptr;
            if (!End())
                ++m_i;
            g->kids.push_back(std::move(inner));
            return g;
        }
        case u'^': return Make(Bol);
        case u'$': return Make(Eol);
        case u'<': return Make(WordStart);
        case u'>': return Make(WordEnd);
        case u'.': return Make(Any);
        case u'[': return Class();
        case u'\\': {
            if (End())
                return nullptr;
            const char16_t e = m_e[m_i];
            if (e == u'C' || e == u'c') {
                ++m_i;
                return Make(e == u'C' ? CaseOn : CaseOff);
            }
            if (IsCatLetter(e)) {
                ++m_i;
                P a = Make(Cat);
                a->ch = e;
                return a;
            }
            P a = Make(Lit);
            if (!CharEscape(a->ch))
                return nullptr;
            return a;
        }
        default: {
            P a = Make(Lit);
            a->ch = c;
            return a;
        }
        }
    }

    std::u16string_view m_e;
    size_t m_i = 0;
    int m_depth = 0;
};

// The chain: every node continues at x; a split tries x, then y.
enum NodeKind { NMatch, NSplit, NSave, NNop, NAtom };

struct Node
{
    NodeKind kind = NNop;
    const Ast* atom = nullptr;
    int slot = 0;
    int x = -1;
    int y = -1;
};

class Graph
{
public:
    std::vector<Node> nodes;

    int Add(NodeKind k)
    {
        nodes.push_back(Node{k});
        return int(nodes.size() - 1);
    }

    int Build(const Ast& a, int next)
    {
        switch (a.kind) {
        case Seq: {
            int n = next;
            if (a.kids.empty()) {
                n = Add(NNop);
                nodes[size_t(n)].x = next;
                return n;
            }
            for (size_t i = a.kids.size(); i-- > 0;)
                n = Build(*a.kids[i], n);
            return n;
        }
        case Grp: {
            if (!a.group)
                return Build(*a.kids[0], next);
            const int close = Add(NSave);
            nodes[size_t(close)].slot = 64 + a.group;
            nodes[size_t(close)].x = next;
            const int inner = Build(*a.kids[0], close);
            const int open = Add(NSave);
            nodes[size_t(open)].slot = a.group;
            nodes[size_t(open)].x = inner;
            return open;
        }
        case Alt: {
            const int l = Build(*a.kids[0], next);
            const int r = Build(*a.kids[1], next);
            const int s = Add(NSplit);
            nodes[size_t(s)].x = l;
            nodes[size_t(s)].y = r;
            return s;
        }
        case Rep: {
            const int s = Add(NSplit);
            const Ast& body = *a.kids[0];
            switch (a.ch) {
            case u'*': {
                nodes[size_t(s)].y = next;
                const int b = Build(body, s);
                nodes[size_t(s)].x = b;
                return s;
            }
            case u'@': {
                nodes[size_t(s)].x = next;
                const int b = Build(body, s);
                nodes[size_t(s)].y = b;
                return s;
            }
            case u'+': {
                nodes[size_t(s)].y = next;
                const int b = Build(body, s);
                nodes[size_t(s)].x = b;
                return b;
            }
            case u'#': {
                nodes[size_t(s)].x = next;
                const int b = Build(body, s);
                nodes[size_t(s)].y = b;
                return b;
            }
            default: { // '?'
                const int b = Build(body, next);
                nodes[size_t(s)].x = b;
                nodes[size_t(s)].y = next;
                return s;
            }
            }
        }
        default: {
            const int n = Add(NAtom);
            nodes[size_t(n)].atom = &a;
            nodes[size_t(n)].x = next;
            return n;
        }
        }
    }
};

char16_t Upper(char16_t c)
{
    if (c >= 0xD800 && c <= 0xDFFF)
        return c;
    const char32_t u = QChar::toUpper(char32_t(c));
    return u > 0xFFFF ? c : char16_t(u);
}

bool CatMatch(char16_t cat, char16_t c)
{
    const bool sur = c >= 0xD800 && c <= 0xDFFF;
    const bool digit = !sur && QChar::isDigit(char32_t(c));
    const bool word = !sur && (digit || QChar::isLetter(char32_t(c)));
    const bool space = c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
    switch (cat) {
    case u'd': return digit;
    case u'D': return !digit;
    case u'w': return word;
    case u'W': return !word;
    case u's': return space;
    case u'S': return !space;
    case u'U': return !sur && QChar::isUpper(char32_t(c));
    case u'L': return !sur && QChar::isLower(char32_t(c));
    default: return false;
    }
}

bool Alnum(char16_t c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

class Matcher
{
public:
    Matcher(const Graph& g, std::u16string_view text) : caps(130, -1), m_g(g), m_t(text) {}

    std::vector<int> caps;
    int end = -1;

    bool Run(int n, int pos, int cs)
    {
        m_visited.clear();
        return Visit(n, pos, cs);
    }

private:
    bool Visit(int n, int pos, int cs)
    {
        if (!m_visited.insert({n, pos, cs}).second)
            return false;
        const Node& node = m_g.nodes[size_t(n)];
        const int len = int(m_t.size());
        switch (node.kind) {
        case NMatch: end = pos; return true;
        case NSplit: return Visit(node.x, pos, cs) || Visit(node.y, pos, cs);
        case NNop: return Visit(node.x, pos, cs);
        case NSave: {
            const int old = caps[size_t(node.slot)];
            if (old == -1)
                caps[size_t(node.slot)] = pos;
            if (Visit(node.x, pos, cs))
                return true;
            caps[size_t(node.slot)] = old;
            return false;
        }
        case NAtom: break;
        }
        const Ast& a = *node.atom;
        switch (a.kind) {
        case CaseOn: return Visit(node.x, pos, 1);
        case CaseOff: return Visit(node.x, pos, 0);
        case Bol: return pos == 0 && Visit(node.x, pos, cs);
        case Eol: return pos == len && Visit(node.x, pos, cs);
        case WordStart: {
            const bool ok = pos == 0 ? len > 0
                                     : pos < len && Alnum(m_t[size_t(pos)]) &&
                                           !Alnum(m_t[size_t(pos - 1)]);
            return ok && Visit(node.x, pos, cs);
        }
        case WordEnd: {
            const bool ok = pos == len ? pos > 0
                                       : pos > 0 && Alnum(m_t[size_t(pos - 1)]) &&
                                             !Alnum(m_t[size_t(pos)]);
            return ok && Visit(node.x, pos, cs);
        }
        default: break;
        }
        if (pos >= len)
            return false;
        const char16_t c = m_t[size_t(pos)];
        bool ok = false;
        switch (a.kind) {
        case Lit: ok = cs ? c == a.ch : Upper(c) == Upper(a.ch); break;
        case Any: ok = true; break;
        case Cat: ok = CatMatch(a.ch, c); break;
        case Cls: {
            bool in = false;
            for (auto& r : a.ranges)
                in = in || (c >= r.first && c <= r.second);
            for (char16_t k : a.cats)
                in = in || CatMatch(k, c);
            ok = in != a.negated;
            break;
        }
        default: break;
        }
        return ok && Visit(node.x, pos + 1, cs);
    }

    const Graph& m_g;
    std::u16string_view m_t;
    std::set<std::tuple<int, int, int>> m_visited;
};

} // namespace

bool ReferenceSearch(std::u16string_view expression, std::u16string_view text, int start,
                     unsigned flags, bool* matched, int groups[128])
{
    for (int i = 0; i < 128; ++i)
        groups[i] = -1;
    *matched = false;
    if (expression.empty() || expression.size() > 65535)
        return false;
    Parser parser(expression);
    P top = parser.Top();
    if (!top)
        return false;
    Graph g;
    const int match = g.Add(NMatch);
    const int entry = g.Build(*top, match);
    if (start < 0 || start > int(text.size()))
        return true;
    for (int s = start; s <= int(text.size()); ++s) {
        Matcher m(g, text);
        if (m.Run(entry, s, int(flags & 1))) {
            *matched = true;
            groups[0] = s;
            groups[64] = m.end;
            for (int k = 1; k < 64; ++k) {
                if (m.caps[size_t(k)] >= 0 && m.caps[size_t(64 + k)] >= 0) {
                    groups[k] = m.caps[size_t(k)];
                    groups[64 + k] = m.caps[size_t(64 + k)];
                }
            }
            return true;
        }
    }
    return true;
}

} // namespace testsupport
