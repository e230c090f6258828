// Wildcard patterns: validity, matching and the quick answer on patterns
// that would take exponential time with naive backtracking.

#include "editor/regexp/EdtWildcard.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(Wildcard, Validity)
{
    for (const char16_t* p : {u"", u"*.txt", u"``", u"`!", u"[]", u"[!]", u"[-a]", u"[a-c]x",
                              u"[!a-c]*", u"a`]", u"[a`]]", u"[a-`]]", u"!*.bak", u"\x1a.c"}) {
        EXPECT_TRUE(IsWildcardPatternValid(p)) << std::u16string_view(p).size();
    }
    for (const char16_t* p : {u"a!", u"!", u"[a", u"[a-]", u"`", u"ab`", u"[a`]", u"[", u"[!",
                              u"[a-", u"[a`"}) {
        EXPECT_FALSE(IsWildcardPatternValid(p)) << std::u16string_view(p).size();
    }
}

TEST(Wildcard, Matching)
{
    EXPECT_TRUE(MatchWildcard(u"*.txt", u"A.TXT"));
    EXPECT_FALSE(MatchWildcard(u"[!a-c]*", u"b1"));
    EXPECT_TRUE(MatchWildcard(u"[!a-c]*", u"d1"));
    EXPECT_TRUE(MatchWildcard(u"`*", u"*"));
    EXPECT_FALSE(MatchWildcard(u"`*", u"a"));
    EXPECT_TRUE(MatchWildcard(u"*", u""));
    EXPECT_FALSE(WildcardMatch(u"*", u""));
    EXPECT_TRUE(WildcardMatch(u"", u""));
    EXPECT_FALSE(WildcardMatch(u"", u"a"));
    EXPECT_FALSE(MatchWildcard(u"", u"a"));
    EXPECT_TRUE(MatchWildcard(u"!*.bak", u"x.txt"));
    EXPECT_FALSE(MatchWildcard(u"!*.bak", u"x.bak"));
    EXPECT_TRUE(MatchWildcard(u"[!]", u"x"));
    EXPECT_FALSE(MatchWildcard(u"[]", u"x"));
    EXPECT_TRUE(MatchWildcard(u"a?c", u"abc"));
    EXPECT_FALSE(MatchWildcard(u"a?c", u"ac"));
    EXPECT_TRUE(MatchWildcard(u"\x1a.c", u"ab.c"));
    EXPECT_FALSE(MatchWildcard(u"\x1a.c", u"a.b.c"));
    EXPECT_TRUE(MatchWildcard(u"[A-C]x", u"bX"));
    EXPECT_TRUE(MatchWildcard(u"[-a]", u"-"));
    EXPECT_TRUE(MatchWildcard(u"[0-`]]", u"]"));
    EXPECT_FALSE(MatchWildcard(u"[a-`]]", u"]")); // reversed: a is above ]
    EXPECT_FALSE(MatchWildcard(u"[c-a]", u"b")); // a reversed range matches nothing
    EXPECT_TRUE(MatchWildcard(u"plc", u"PLC"));
    EXPECT_FALSE(MatchWildcard(u"č", u"Č")); // only A-Z are folded
    EXPECT_TRUE(WildcardMatch(u"*.txt", u"a.TXT"));
    EXPECT_FALSE(WildcardMatch(u"a!", u"a"));
    EXPECT_FALSE(MatchWildcard(u"a!", u"a")); // invalid: matches nothing
    EXPECT_TRUE(MatchWildcard(u"a!b", u"ac"));
    EXPECT_FALSE(MatchWildcard(u"a!b", u"ab"));
    EXPECT_TRUE(MatchWildcard(u"!!x", u"x"));
}

TEST(Wildcard, NoExponentialTime)
{
    const std::u16string thirty(30, u'a');
    EXPECT_FALSE(MatchWildcard(u"*a*a*a*a*b", thirty));
    EXPECT_TRUE(MatchWildcard(u"*a*a*a*a*", thirty));
    const std::u16string many(3000, u'a');
    std::u16string p;
    for (int i = 0; i < 200; ++i)
        p += u"!*\x1a";
    p += u"b";
    // Finishes quickly; the result follows from the negations.
    (void)MatchWildcard(p, many);
    EXPECT_FALSE(MatchWildcard(std::u16string(500, u'*') + u"b", many));
}

} // namespace
