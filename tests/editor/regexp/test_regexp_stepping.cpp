// Stepping through every match of a long line, each search starting at the
// end of the match before (after an empty match one further): the matches
// are the simulation's, and the characters the automata and the simulation
// step over grow with the line, not with its square.

#include "editor/regexp/EdtRegExp.h"
#include "editor/regexp/EdtRegExpTesting.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

using Search = bool (*)(const RegExp*, const char16_t*, int, int, int*, uint32_t);

// Every match as (start, end, group 1 start, group 1 end), and the steps.
std::vector<std::vector<int>> AllMatches(const RegExp* re, std::u16string_view text, uint32_t flags,
                                         Search search, uint64_t& steps)
{
    std::vector<std::vector<int>> out;
    const uint64_t before = RegExpStats().steps;
    int groups[REGEXP_GROUP_ENTRIES];
    const int n = int(text.size());
    int at = 0;
    while (at <= n && search(re, text.data(), n, at, groups, flags)) {
        const int s = groups[0], e = groups[REGEXP_MAX_GROUPS];
        out.push_back({s, e, groups[1], groups[REGEXP_MAX_GROUPS + 1]});
        at = e > s ? e : e + 1;
    }
    steps = RegExpStats().steps - before;
    return out;
}

std::u16string Repeat(std::u16string_view unit, int times)
{
    std::u16string s;
    for (int i = 0; i < times; ++i)
        s += unit;
    return s;
}

struct Line
{
    const char16_t* expression;
    const char16_t* unit; // repeated to make the line
    uint32_t flags;
};

// Expressions with loops (the case that was quadratic), with and without
// a leading literal, with groups, lazy operators, word bounds, empty
// matches and a match at the line's end.
const Line kLines[] = {
    {u"Motor_\\d+:", u"  LD Motor_12: AND %I0.1 ", REGEXP_CASE_SENSITIVE},
    {u"[A-Z]\\w*_\\d+:", u" xx Valve_7: yy Axis_X := 1;", REGEXP_CASE_SENSITIVE},
    {u"a+b", u"aaab cd ", 0},
    {u"(\\d+)-(\\d+)", u"ab 12-345 c", 0},
    {u"\\w+", u"word, other; ", 0},
    {u"x*", u"axxb", 0},
    {u"<\\w#>", u"ab cd ", 0},
    {u"{Pump}|{Door}|{Lube}", u"a Door b Lube c", REGEXP_CASE_SENSITIVE},
    {u"coolant\\s*\\d", u"x Coolant 7 y", 0},
    {u"b.@c", u"a b c b x c ", 0},
};

TEST(RegExpStepping, AllMatchesAreTheSimulationsAndTakeLinearSteps)
{
    for (const Line& l : kLines) {
        const std::u16string_view e(l.expression);
        SCOPED_TRACE(std::string(e.begin(), e.end()));
        RegExp* re = RegExpCompile(l.expression);
        ASSERT_NE(re, nullptr);
        uint64_t steps[2] = {0, 0};
        size_t counts[2] = {0, 0};
        const int times[2] = {500, 2000};
        for (int k = 0; k < 2; ++k) {
            const std::u16string text = Repeat(l.unit, times[k]);
            uint64_t simSteps = 0;
            const auto fast = AllMatches(re, text, l.flags, RegExpSearch, steps[k]);
            const auto slow = AllMatches(re, text, l.flags, RegExpSearchSimulated, simSteps);
            ASSERT_EQ(fast, slow);
            counts[k] = fast.size();
        }
        ASSERT_GT(counts[0], 0u);
        EXPECT_NEAR(double(counts[1]), 4.0 * double(counts[0]), 3.0); // plus a match at the end
        // Four times the line, about four times the steps (quadratic
        // stepping would take sixteen times as many).
        EXPECT_GT(steps[0], 0u);
        EXPECT_LE(steps[1], 5 * steps[0]) << steps[0] << " then " << steps[1];
        // Each character is stepped over a few times at most.
        EXPECT_LE(steps[1], 8 * uint64_t(Repeat(l.unit, times[1]).size()));
        RegExpFree(re);
    }
}

TEST(RegExpStepping, ALongLineWithoutMatchesAfterTheLastOne)
{
    // One match at the start, then a long tail that the pattern's loop
    // could run into: the search after the match reads the tail once.
    RegExp* re = RegExpCompile(u"a\\w*b");
    ASSERT_NE(re, nullptr);
    const std::u16string text = u"aab " + std::u16string(100000, u'a');
    uint64_t steps = 0;
    const auto all = AllMatches(re, text, 0, RegExpSearch, steps);
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all[0][0], 0);
    EXPECT_EQ(all[0][1], 3);
    EXPECT_LE(steps, 3 * uint64_t(text.size()));
    RegExpFree(re);
}

// Find previous over a line of a million characters: stepping back costs
// steps that grow with the line, also where every start has a match.
TEST(RegExpStepping, FindPreviousOverAMillionCharacters)
{
    const int n = 1000000;
    const std::u16string as(size_t(n), u'a');
    int groups[REGEXP_GROUP_ENTRIES];
    struct Case
    {
        const char16_t* expression;
        int limit, start, end; // start -1: nothing found
    };
    const Case cases[] = {
        // The empty match at every position: the one at the limit.
        {u"x*", n, n, n},
        {u"x*", n / 2, n / 2, n / 2},
        {u"(x?)", 7, 7, 7},
        // Every start's match runs on to the end of the line, past the
        // limit: nothing before it (the runs all end in one state).
        {u"a*", n / 2, -1, -1},
        {u"(a)+", n - 1, -1, -1},
        // From the end: the last character.
        {u"\\w+", n, n - 1, n},
        {u"a+", n, n - 1, n},
    };
    for (const Case& c : cases) {
        for (bool sweep : {false, true}) {
            SCOPED_TRACE(std::string(c.expression, c.expression + std::char_traits<char16_t>::length(c.expression)) +
                         (sweep ? " (sweep)" : ""));
            RegExpSetLastBySweep(sweep);
            RegExp* re = RegExpCompile(c.expression);
            ASSERT_NE(re, nullptr);
            const uint64_t before = RegExpStats().steps;
            const bool found = RegExpSearchLast(re, as.data(), n, 0, c.limit, groups, 0);
            RegExpSetLastBySweep(false);
            EXPECT_EQ(found, c.start >= 0);
            if (found) {
                EXPECT_EQ(groups[0], c.start);
                EXPECT_EQ(groups[REGEXP_MAX_GROUPS], c.end);
            }
            EXPECT_LE(RegExpStats().steps - before, 8 * uint64_t(n));
            RegExpFree(re);
        }
    }
    // Stepping back through every empty match of a shorter line, each
    // search up to the one before: a step a match.
    RegExp* re = RegExpCompile(u"x*");
    const uint64_t before = RegExpStats().steps;
    int count = 0;
    for (int limit = 20000; RegExpSearchLast(re, as.data(), n, 0, limit, groups, 0); --limit) {
        ASSERT_EQ(groups[0], limit);
        ++count;
        if (limit == 0)
            break;
    }
    EXPECT_EQ(count, 20001);
    EXPECT_LE(RegExpStats().steps - before, 30u * 20001);
    RegExpFree(re);
}

} // namespace
