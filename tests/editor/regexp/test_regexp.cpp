// Regular expressions: compile results, match positions, groups, case modes,
// classes, word bounds and substitution, as a table grouped by feature.

#include "editor/regexp/EdtRegExp.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int NO = -2; // "no match" in the tables
constexpr int BAD = -3; // "does not compile"

struct Case
{
    const char16_t* expression;
    const char16_t* text;
    int start;
    uint32_t flags;
    int from; // NO, BAD or the match start
    int to;
    // optional groups 1..2 (start, end); -1 = unset, -9 = not checked
    int g1s = -9, g1e = -9, g2s = -9, g2e = -9;
};

struct Result
{
    bool compiled = false;
    bool matched = false;
    int groups[REGEXP_GROUP_ENTRIES];
};

Result Run(std::u16string_view expression, std::u16string_view text, int start = 0,
           uint32_t flags = 0)
{
    Result r;
    RegExp* re = RegExpCompile(expression);
    r.compiled = re != nullptr;
    for (int& g : r.groups)
        g = 77;
    r.matched = RegExpSearch(re, text.data(), int(text.size()), start, r.groups, flags);
    RegExpFree(re);
    return r;
}

std::string Narrow(std::u16string_view s)
{
    std::string out;
    for (char16_t c : s)
        out += c < 128 ? char(c) : '?';
    return out;
}

void Check(const std::vector<Case>& cases)
{
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.expression) + " on '" + Narrow(c.text) + "'");
        Result r = Run(c.expression, c.text, c.start, c.flags);
        if (c.from == BAD) {
            EXPECT_FALSE(r.compiled);
            continue;
        }
        ASSERT_TRUE(r.compiled);
        if (c.from == NO) {
            EXPECT_FALSE(r.matched);
            for (int g : r.groups)
                EXPECT_EQ(g, -1);
            continue;
        }
        ASSERT_TRUE(r.matched);
        EXPECT_EQ(r.groups[0], c.from);
        EXPECT_EQ(r.groups[64], c.to);
        if (c.g1s != -9) {
            EXPECT_EQ(r.groups[1], c.g1s);
            EXPECT_EQ(r.groups[65], c.g1e);
        }
        if (c.g2s != -9) {
            EXPECT_EQ(r.groups[2], c.g2s);
            EXPECT_EQ(r.groups[66], c.g2e);
        }
    }
}

TEST(RegExp, Alternatives)
{
    Check({
        {u"a|bc", u"ac", 0, 0, 0, 2},
        {u"a|bc", u"bc", 0, 0, 0, 2},
        {u"a|bc", u"a", 0, 0, NO, 0},
        {u"{a}|{bc}", u"a", 0, 0, 0, 1},
        {u"{a}|{bc}", u"bc", 0, 0, 0, 2},
        {u"{a}|{ab}c", u"abc", 0, 0, 0, 3},
        {u"a|b*", u"bbb", 0, 0, 0, 3},
        {u"a*|b", u"aab", 0, 0, 0, 2},
        {u"a*|b", u"b", 0, 0, 0, 0},
        {u"a|b|c", u"c", 0, 0, 0, 1},
        {u"ab|cd", u"acd", 0, 0, 0, 3},
        {u"ab|cd", u"abd", 0, 0, 0, 3},
        {u"ab|cd", u"ab", 0, 0, NO, 0},
        {u"x(a|b)*c", u"xabac", 0, 0, 0, 5, 1, 2},
        {u"(a|b)*c", u"abac", 0, 0, 0, 4, 0, 1},
    });
}

TEST(RegExp, Repetition)
{
    Check({
        {u"x@y", u"xxy xy", 0, 0, 0, 3},
        {u"a*b", u"xab", 0, 0, 1, 3},
        {u"ab*", u"abbb", 0, 0, 0, 4},
        {u"a+", u"baaa", 0, 0, 1, 4},
        {u"a#", u"baaa", 0, 0, 1, 2},
        {u"a@", u"aaa", 0, 0, 0, 0},
        {u"a?b", u"b", 0, 0, 0, 1},
        {u"a**", u"aa", 0, 0, 0, 2},
        {u"a*?", u"aa", 0, 0, 0, 2},
        {u"a+?", u"x", 0, 0, 0, 0},
        {u"(x?)*", u"y", 0, 0, 0, 0, -1, -1},
        {u"(x?)+", u"y", 0, 0, 0, 0, 0, 0},
        {u"(a)+", u"aaa", 0, 0, 0, 3, 0, 1},
        {u"(a*)*b", u"aaab", 0, 0, 0, 4, 0, 3},
        {u"{{a}|{aa}}*c", u"aaac", 0, 0, 0, 4},
        {u"^?a", u"ba", 0, 0, 1, 2},
        {u".*", u"abc", 0, 0, 0, 3},
        {u"a.@c", u"abcbc", 0, 0, 0, 3},
    });
}

TEST(RegExp, GroupsAndBrackets)
{
    Check({
        {u"(\\d+)-(\\d+)", u"12-345", 0, 0, 0, 6, 0, 2, 3, 6},
        {u"(a)(b)?c", u"ac", 0, 0, 0, 2, 0, 1, -1, -1},
        {u"{a}(b)", u"ab", 0, 0, 0, 2, 1, 2},
        {u"(a}b", u"ab", 0, 0, 0, 2, 0, 1},    // either closing bracket closes
        {u"(ab", u"xab", 0, 0, 1, 3, 1, 3},    // closed by the end
        {u"a)b", u"ab", 0, 0, 0, 1},          // the rest is ignored
        {u"a}b", u"ab", 0, 0, 0, 1},
        {u"()a", u"a", 0, 0, 0, 1, 0, 0},
        {u"{}a", u"a", 0, 0, 0, 1},
        {u"((a)(b))", u"ab", 0, 0, 0, 2, 0, 2, 0, 1},
    });
}

TEST(RegExp, LiteralLedSearch)
{
    Check({
        {u"Motor_\\d+:", u"motor_ Motor_x Motor_12:", 0, 1, 15, 24},
        {u"Motor_\\d+:", u"MOTOR_7:", 0, 0, 0, 8},
        {u"Motor_\\d+:", u"MOTOR_7:", 0, 1, NO, 0},
        {u"abc|d", u"abd abc", 0, 0, 0, 3},
        {u"abc|d", u"abx", 0, 0, NO, 0},
        {u"aab", u"aaab", 0, 0, 1, 4},
        {u"ab*c", u"xac", 0, 0, 1, 3},
        {u"a+b", u"xaab", 0, 0, 1, 4},
        {u"a\\Cb", u"AB Ab", 0, 0, 3, 5},
        {u"sx", u"\u017fX", 0, 0, 0, 2},
        {u"ab", u"xxab", 3, 0, NO, 0},
        {u"ab", u"abab", 1, 0, 2, 4},
    });
}

TEST(RegExp, AnchorsAndWords)
{
    Check({
        {u"^a", u"aa", 1, 0, NO, 0},
        {u"^a", u"aa", 0, 0, 0, 1},
        {u"a$", u"aab", 0, 0, NO, 0},
        {u"a$", u"baa", 0, 0, 2, 3},
        {u"$", u"abc", 1, 0, 3, 3},
        {u"<x", u"axb", 0, 0, NO, 0},
        {u"<x", u"a xb", 0, 0, 2, 3},
        {u"<b", u"a.b", 0, 0, 2, 3},
        {u"<", u"", 0, 0, NO, 0},
        {u"<", u".", 0, 0, 0, 0},
        {u"x>", u"xa x", 0, 0, 3, 4},
        {u"x>", u"xa x.", 0, 0, 3, 4},
        {u">", u"", 0, 0, NO, 0},
        {u"a<b", u"ab", 0, 0, NO, 0},
    });
}

TEST(RegExp, CaseModes)
{
    Check({
        {u"\\Cab", u"AB ab", 0, 0, 3, 5},
        {u"\\cAB", u"ab", 0, 1, 0, 2},
        {u"abc", u"xABC", 0, 0, 1, 4},
        {u"abc", u"xABC", 0, 1, NO, 0},
        {u"a\\Cb", u"Ab AB aB", 0, 0, 0, 2},
        {u"\\Ca|\\cb", u"AB", 0, 0, 1, 2},
        {u"č", u"xČ", 0, 0, 1, 2},
        {u"Č", u"xč", 0, 1, NO, 0},
        {u"[a-z]", u"ABc", 0, 0, 2, 3},    // classes never fold
        {u"\\U", u"aB", 0, 0, 1, 2},
        {u"\\L+", u"ABcdE", 0, 0, 2, 4},
        {u"s", u"\u017f", 0, 0, 0, 1},       // long s upper-cases to S
        {u"M", u"xxm", 0, 0, 2, 3},
        {u"M", u"xxm", 0, 1, NO, 0},
    });
}

TEST(RegExp, ClassesAndEscapes)
{
    Check({
        {u"[čř]+", u"ařčx", 0, 0, 1, 3},
        {u"[\\w]+", u"čas!", 0, 0, 0, 3},
        {u"[A-Z]+", u"abc DEF", 0, 1, 4, 7},
        {u"[A-Z]+", u"abc DEF", 0, 0, 4, 7},
        {u"\\x41\\N066\\o103", u"ABC", 0, 1, 0, 3},
        {u"[\\]\\-\\\\]+", u"a]-\\b", 0, 0, 1, 4},
        {u"[-a]+", u"x-a", 0, 0, 1, 3},
        {u"[^-a]", u"-ab", 0, 0, 2, 3},
        {u"[a-c-e]+", u"x-eb", 0, 0, 1, 4},
        {u"[]", u"abc", 0, 0, NO, 0},
        {u"[^]", u"\u4e00", 0, 0, 0, 1},
        {u"[^a]", u"a\u4e00", 0, 0, 1, 2},
        {u"[\\d]+", u"x\u0663\u0664", 0, 0, 1, 3},   // Arabic-Indic digits
        {u"[\\s]", u"a\tb", 0, 0, 1, 2},
        {u"[\\S]", u" \tb", 0, 0, 2, 3},
        {u"[\\x41-\\x43]+", u"ABCD", 0, 1, 0, 3},
        {u"\\s\\S", u"a  b", 0, 0, 2, 4},
        {u"\\D\\d", u"12a3", 0, 0, 2, 4},
        {u"\\W\\w", u"ab!c", 0, 0, 2, 4},
        {u"\\t\\n\\r", u"a\t\n\r", 0, 0, 1, 4},
        {u"\\.", u"a.b", 0, 0, 1, 2},
        {u"\\*", u"a*", 0, 0, 1, 2},
        {u"\\q", u"q", 0, 0, 0, 1},
        {u"[\u0100-\u017f]", u"aā", 0, 0, 1, 2},
    });
}

TEST(RegExp, Malformed)
{
    for (const char16_t* e :
         {u"*a", u"[a-]", u"[a", u"a\\", u"\\x4", u"\\N12", u"\\o8", u"()*", u"(a)|", u"|a",
          u"a||b", u"(?a)", u"a|+b", u"\\C+", u"^*", u"[\\d-z]", u"[b-a]", u"(|a)", u"a|)",
          u"{a|}", u"[a-\\d]", u"", u")", u"}abc", u"[^", u"[\\"}) {
        SCOPED_TRACE(Narrow(e));
        RegExp* re = RegExpCompile(e);
        EXPECT_EQ(re, nullptr);
        RegExpFree(re);
    }
}

TEST(RegExp, Limits)
{
    std::u16string groups;
    for (int i = 0; i < 63; ++i)
        groups += u"(a)";
    RegExp* re = RegExpCompile(groups);
    ASSERT_NE(re, nullptr);
    std::u16string text(63, u'a');
    int g[REGEXP_GROUP_ENTRIES];
    ASSERT_TRUE(RegExpSearch(re, text.data(), int(text.size()), 0, g, 0));
    EXPECT_EQ(g[63], 62);
    EXPECT_EQ(g[127], 63);
    RegExpFree(re);
    EXPECT_EQ(RegExpCompile(groups + u"(a)"), nullptr);

    std::u16string deep = std::u16string(256, u'{') + u"a" + std::u16string(256, u'}');
    re = RegExpCompile(deep);
    EXPECT_NE(re, nullptr);
    RegExpFree(re);
    EXPECT_EQ(RegExpCompile(u"{" + deep + u"}"), nullptr);
    EXPECT_EQ(RegExpCompile(std::u16string(100000, u'(')), nullptr);

    std::u16string longest(65535, u'a');
    re = RegExpCompile(longest);
    EXPECT_NE(re, nullptr);
    RegExpFree(re);
    EXPECT_EQ(RegExpCompile(longest + u"a"), nullptr);

    // Long operator chains and alternative chains compile without recursion.
    std::u16string ops = u"a" + std::u16string(60000, u'?');
    re = RegExpCompile(ops);
    ASSERT_NE(re, nullptr);
    EXPECT_TRUE(RegExpSearch(re, u"a", 1, 0, g, 0));
    RegExpFree(re);
    std::u16string alts = u"a";
    for (int i = 0; i < 30000; ++i)
        alts += u"|b";
    re = RegExpCompile(alts);
    ASSERT_NE(re, nullptr);
    EXPECT_TRUE(RegExpSearch(re, u"xb", 2, 0, g, 0));
    EXPECT_EQ(g[0], 1);
    RegExpFree(re);
}

TEST(RegExp, SearchArguments)
{
    RegExp* re = RegExpCompile(u"a");
    ASSERT_NE(re, nullptr);
    int g[REGEXP_GROUP_ENTRIES];
    EXPECT_FALSE(RegExpSearch(re, u"aa", 2, 3, g, 0));
    EXPECT_EQ(g[0], -1);
    EXPECT_FALSE(RegExpSearch(re, u"aa", 2, -1, g, 0));
    EXPECT_FALSE(RegExpSearch(re, u"aa", -1, 0, g, 0));
    EXPECT_FALSE(RegExpSearch(nullptr, u"aa", 2, 0, g, 0));
    EXPECT_EQ(g[127], -1);
    EXPECT_TRUE(RegExpSearch(re, u"aa", 2, 1, g, 0));
    EXPECT_EQ(g[0], 1);
    EXPECT_FALSE(RegExpSearch(re, nullptr, 0, 0, g, 0));
    RegExpFree(re);
    re = RegExpCompile(u"x*");
    EXPECT_TRUE(RegExpSearch(re, nullptr, 0, 0, g, 0));
    EXPECT_EQ(g[64], 0);
    EXPECT_TRUE(RegExpSearch(re, u"ab", 2, 2, g, 0));
    EXPECT_EQ(g[0], 2);
    RegExpFree(re);
}

TEST(RegExp, Pathological)
{
    // Linear in the text: these would take exponential time or deep
    // recursion in a backtracking matcher.
    std::u16string text(20000, u'a');
    int g[REGEXP_GROUP_ENTRIES];
    for (const char16_t* e : {u"(a*)*b", u"{{a}|{aa}}*c", u"(x?)*y", u"(a|a)*b", u"((a*)*)*$"}) {
        SCOPED_TRACE(Narrow(e));
        RegExp* re = RegExpCompile(e);
        ASSERT_NE(re, nullptr);
        const bool m = RegExpSearch(re, text.data(), int(text.size()), 0, g, 0);
        EXPECT_EQ(m, std::u16string_view(e) == u"((a*)*)*$");
        RegExpFree(re);
    }
}

TEST(RegExp, ReentrantAcrossThreads)
{
    // Different compiled expressions on different threads, each checking
    // its own results: no shared working state.
    auto work = [](std::u16string expression, std::u16string text, int from, int to,
                   bool* ok) {
        *ok = true;
        for (int i = 0; i < 300; ++i) {
            RegExp* re = RegExpCompile(expression);
            int g[REGEXP_GROUP_ENTRIES];
            const bool m = re && RegExpSearch(re, text.data(), int(text.size()), 0, g, 0);
            if (!m || g[0] != from || g[64] != to)
                *ok = false;
            RegExpFree(re);
        }
    };
    bool ok1 = false, ok2 = false, ok3 = false;
    std::thread t1(work, u"(\\d+)-(\\d+)", u"xx12-345", 2, 8, &ok1);
    std::thread t2(work, u"<w\\w*", u"a word", 2, 6, &ok2);
    std::thread t3(work, u"[A-Z]+", u"abc DEF", 4, 7, &ok3);
    t1.join();
    t2.join();
    t3.join();
    EXPECT_TRUE(ok1);
    EXPECT_TRUE(ok2);
    EXPECT_TRUE(ok3);
}

// Substitution ---------------------------------------------------------------

int Subst(std::u16string_view replacement, std::u16string_view text,
          std::vector<std::pair<int, int>> groups, std::u16string& out)
{
    int g[REGEXP_GROUP_ENTRIES];
    for (int& x : g)
        x = -1;
    for (size_t i = 0; i < groups.size(); ++i) {
        g[i] = groups[i].first;
        g[64 + i] = groups[i].second;
    }
    out = u"junk";
    return RegExpSubstitute(replacement, text.data(), int(text.size()), g, out);
}

TEST(RegExpSubstitute, Replacements)
{
    struct S
    {
        const char16_t* replacement;
        const char16_t* text;
        const char16_t* expected; // nullptr: -1
    };
    const S cases[] = {
        {u"\\u\\1", u"abc", u"Abc"},
        {u"\\U\\1\\E-", u"abc", u"ABC-"},
        {u"\\L\\u\\1", u"ABC", u"Abc"},
        {u"\\U\\l\\1", u"abc", u"aBC"},
        {u"\\L\\1\\ex\\1", u"ABC", u"abcxABC"},
        {u"<\\0>", u"abc", u"<abc>"},
        {u"\\d065", u"abc", u"A"},
        {u"\\o101\\x42\\x4a", u"abc", u"ABJ"},
        {u"\\a\\b\\n\\r\\t", u"", u"\a\b\n\r\t"},
        {u"\\\\\\q", u"", u"\\q"},
        {u"\\U\\x61č", u"", u"AČ"},
        {u"plain", u"abc", u"plain"},
        {u"", u"abc", u""},
        {u"\\5", u"abc", nullptr},
        {u"\\d06x", u"abc", nullptr},
        {u"\\d06", u"abc", nullptr},
        {u"\\x4", u"abc", nullptr},
        {u"\\o8", u"abc", nullptr},
        {u"abc\\", u"abc", nullptr},
    };
    for (const S& c : cases) {
        SCOPED_TRACE(Narrow(c.replacement));
        std::u16string out;
        const int rc = Subst(c.replacement, c.text,
                             {{0, int(std::u16string_view(c.text).size())},
                              {0, int(std::u16string_view(c.text).size())}},
                             out);
        if (!c.expected) {
            EXPECT_EQ(rc, -1);
            EXPECT_TRUE(out.empty());
        } else {
            EXPECT_EQ(rc, 0);
            EXPECT_EQ(out, c.expected);
        }
    }
}

TEST(RegExpSubstitute, GroupsOutsideTheTextAreErrors)
{
    std::u16string out;
    EXPECT_EQ(Subst(u"\\1", u"abc", {{0, 3}, {1, 4}}, out), -1);
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(Subst(u"\\1", u"abc", {{0, 3}, {2, 1}}, out), -1);
    EXPECT_EQ(Subst(u"\\1", u"abc", {{0, 3}, {-1, 2}}, out), -1);
    EXPECT_EQ(Subst(u"\\1", u"abc", {{0, 3}, {2, -1}}, out), -1);
    EXPECT_EQ(Subst(u"x", u"abc", {{0, 3}, {2, 1}}, out), 0); // not used: no error
    EXPECT_EQ(Subst(u"[\\1]", u"abc", {{0, 3}, {3, 3}}, out), 0);
    EXPECT_EQ(out, u"[]");
}

TEST(RegExpSubstitute, AfterASearch)
{
    RegExp* re = RegExpCompile(u"(\\w+)=(\\w+)");
    ASSERT_NE(re, nullptr);
    const std::u16string text = u"set speed=fast;";
    int g[REGEXP_GROUP_ENTRIES];
    ASSERT_TRUE(RegExpSearch(re, text.data(), int(text.size()), 0, g, 0));
    std::u16string out;
    ASSERT_EQ(RegExpSubstitute(u"\\U\\2\\E:\\1", text.data(), int(text.size()), g, out), 0);
    EXPECT_EQ(out, u"FAST:speed");
    RegExpFree(re);
}

} // namespace
