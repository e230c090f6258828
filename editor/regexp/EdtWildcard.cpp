#include "editor/regexp/EdtWildcard.h"

#include <utility>
#include <vector>

namespace {

constexpr char16_t kEscape = u'`';
constexpr char16_t kNoDot = 26;

char16_t Lower(char16_t c)
{
    return (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c;
}

enum class Kind { Literal, One, Star, NoDotRun, Set, Not };

struct Token
{
    Kind kind = Kind::Literal;
    char16_t ch = 0;
    bool negated = false;
    std::vector<std::pair<char16_t, char16_t>> ranges; // lowered ends
};

// Reads a set after its '['; false when it is not closed properly.
bool ParseSet(std::u16string_view p, size_t& i, Token& t)
{
    t.kind = Kind::Set;
    if (i < p.size() && p[i] == u'!') {
        t.negated = true;
        ++i;
    }
    bool literalDash = true; // at the start, after '!', after a range
    for (;;) {
        if (i >= p.size())
            return false;
        char16_t c = p[i++];
        if (c == u']')
            return true;
        if (c == kEscape) {
            if (i >= p.size())
                return false;
            c = p[i++];
        } else if (c == u'-' && !literalDash) {
            return false; // cannot happen after a single member; kept for safety
        }
        if (i < p.size() && p[i] == u'-') {
            ++i;
            if (i >= p.size() || p[i] == u']')
                return false; // the set ends inside a range
            char16_t d = p[i++];
            if (d == kEscape) {
                if (i >= p.size())
                    return false;
                d = p[i++];
            }
            t.ranges.emplace_back(Lower(c), Lower(d));
            literalDash = true;
            continue;
        }
        t.ranges.emplace_back(Lower(c), Lower(c));
        literalDash = false;
    }
}

bool Tokenize(std::u16string_view p, std::vector<Token>& tokens)
{
    size_t i = 0;
    while (i < p.size()) {
        Token t;
        const char16_t c = p[i++];
        switch (c) {
        case u'*': t.kind = Kind::Star; break;
        case u'?': t.kind = Kind::One; break;
        case kNoDot: t.kind = Kind::NoDotRun; break;
        case u'!':
            if (i >= p.size())
                return false;
            t.kind = Kind::Not;
            break;
        case u'[':
            if (!ParseSet(p, i, t))
                return false;
            break;
        case kEscape:
            if (i >= p.size())
                return false;
            t.ch = Lower(p[i++]);
            break;
        default: t.ch = Lower(c); break;
        }
        tokens.push_back(std::move(t));
    }
    return true;
}

bool InSet(const Token& t, char16_t c)
{
    bool in = false;
    for (const auto& r : t.ranges)
        in = in || (c >= r.first && c <= r.second);
    return in != t.negated;
}

} // namespace

bool IsWildcardPatternValid(std::u16string_view pattern)
{
    std::vector<Token> tokens;
    return Tokenize(pattern, tokens);
}

bool MatchWildcard(std::u16string_view pattern, std::u16string_view string)
{
    std::vector<Token> tokens;
    if (!Tokenize(pattern, tokens))
        return false;
    // next[j]: the pattern from token k+1 on matches string[j..]; computed
    // from the last token backwards, each row from the string's end.
    const size_t n = string.size();
    std::vector<char> next(n + 1, 0), cur(n + 1, 0);
    next[n] = 1; // the empty rest matches only the empty rest
    for (size_t k = tokens.size(); k-- > 0;) {
        const Token& t = tokens[k];
        for (size_t j = n + 1; j-- > 0;) {
            const bool more = j < n;
            const char16_t c = more ? Lower(string[j]) : 0;
            bool m = false;
            switch (t.kind) {
            case Kind::Literal: m = more && c == t.ch && next[j + 1]; break;
            case Kind::One: m = more && next[j + 1]; break;
            case Kind::Set: m = more && InSet(t, c) && next[j + 1]; break;
            case Kind::Star: m = next[j] || (more && cur[j + 1]); break;
            case Kind::NoDotRun: m = next[j] || (more && c != u'.' && cur[j + 1]); break;
            case Kind::Not: m = !next[j]; break;
            }
            cur[j] = m;
        }
        std::swap(cur, next);
    }
    return next[0];
}

bool WildcardMatch(std::u16string_view pattern, std::u16string_view string)
{
    if (!IsWildcardPatternValid(pattern))
        return false;
    if (string.empty())
        return pattern.empty();
    return MatchWildcard(pattern, string);
}
