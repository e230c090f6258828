// Differential tests of the regular-expression search: the fast path
// (prefilter literals, forward and backward automata, the simulation at
// one start) against the plain simulation, on the expressions of the other
// tests and of the fuzz corpus and on seeded random expressions and texts;
// match, start, end and every group must agree.  Also the cache budget:
// resets in the middle of a search and expressions that do not fit.

#include "editor/regexp/EdtRegExp.h"
#include "editor/regexp/EdtRegExpTesting.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace {

std::string Narrow(std::u16string_view s)
{
    std::string out;
    for (char16_t c : s) {
        if (c >= 32 && c < 127) {
            out += char(c);
        } else {
            char buf[12];
            std::snprintf(buf, sizeof buf, "\\u%04x", unsigned(c));
            out += buf;
        }
    }
    return out;
}

// Compares both paths on one compiled expression; counts the comparisons.
int g_comparisons = 0;

void Compare(const RegExp* re, std::u16string_view e, std::u16string_view text, int start,
             uint32_t flags)
{
    int fast[REGEXP_GROUP_ENTRIES];
    int slow[REGEXP_GROUP_ENTRIES];
    const int length = int(text.size());
    const bool a = RegExpSearch(re, text.data(), length, start, fast, flags);
    const bool b = RegExpSearchSimulated(re, text.data(), length, start, slow, flags);
    ++g_comparisons;
    ASSERT_EQ(a, b) << Narrow(e) << " on '" << Narrow(text) << "' from " << start << " flags "
                    << flags;
    for (int i = 0; i < REGEXP_GROUP_ENTRIES; ++i)
        ASSERT_EQ(fast[i], slow[i]) << "entry " << i << ": " << Narrow(e) << " on '"
                                    << Narrow(text) << "' from " << start << " flags " << flags;
}

// Find previous as it was: searches restarted one position after each
// match's start, the last match that ends by limit kept.
bool SearchLastByRestarts(const RegExp* re, std::u16string_view text, int from, int limit,
                          int groups[REGEXP_GROUP_ENTRIES], uint32_t flags)
{
    const int n = int(text.size());
    if (limit < 0 || limit > n)
        limit = n;
    int found[REGEXP_GROUP_ENTRIES];
    bool any = false;
    int at = from;
    while (at <= n && RegExpSearchSimulated(re, text.data(), n, at, found, flags)) {
        const int s = found[0], e = found[REGEXP_MAX_GROUPS];
        if (s > limit)
            break;
        if (e <= limit) {
            std::copy(found, found + REGEXP_GROUP_ENTRIES, groups);
            any = true;
        }
        at = s + 1;
    }
    return any;
}

int g_lastComparisons = 0;

void CompareLast(const RegExp* re, std::u16string_view e, std::u16string_view text, int from,
                 int limit, uint32_t flags)
{
    int fast[REGEXP_GROUP_ENTRIES];
    int slow[REGEXP_GROUP_ENTRIES];
    const bool b = SearchLastByRestarts(re, text, from, limit, slow, flags);
    // Both ways: the scan of the reversed graph with its checks, and the
    // sweep of the anchored runs alone.
    for (bool sweep : {false, true}) {
        RegExpSetLastBySweep(sweep);
        const bool a =
            RegExpSearchLast(re, text.data(), int(text.size()), from, limit, fast, flags);
        RegExpSetLastBySweep(false);
        ++g_lastComparisons;
        ASSERT_EQ(a, b) << "last (sweep " << sweep << "): " << Narrow(e) << " on '"
                        << Narrow(text) << "' from " << from << " limit " << limit << " flags "
                        << flags;
        if (!a)
            continue;
        for (int i = 0; i < REGEXP_GROUP_ENTRIES; ++i)
            ASSERT_EQ(fast[i], slow[i])
                << "last (sweep " << sweep << "), entry " << i << ": " << Narrow(e) << " on '"
                << Narrow(text) << "' from " << from << " limit " << limit << " flags " << flags;
    }
}

// Texts of every kind: ASCII, accented letters, units above 255, empty and
// long lines.
std::u16string RandomText(std::mt19937& rng, int maxLength)
{
    static const char16_t alphabet[] = u"abcAB_01 .-:xyzMotr\u00e1\u010d\u0160\u017f\u0130"
                                       u"\u0131\u212a\u4e00\u0663\t";
    const int n = int(sizeof alphabet / sizeof alphabet[0]) - 1;
    const int length = rng() % 8 == 0 ? 0 : int(rng() % unsigned(maxLength + 1));
    std::u16string t;
    for (int i = 0; i < length; ++i)
        t += alphabet[rng() % unsigned(rng() % 3 == 0 ? n : 12)];
    return t;
}

void CompareOnTexts(std::u16string_view e, std::mt19937& rng, int texts, int maxLength)
{
    RegExp* re = RegExpCompile(e);
    if (!re)
        return;
    for (int i = 0; i < texts; ++i) {
        const std::u16string text = RandomText(rng, i % 5 == 4 ? maxLength * 20 : maxLength);
        const int start = rng() % 3 == 0 ? int(rng() % (text.size() + 1)) : 0;
        Compare(re, e, text, start, rng() % 2);
        if (testing::Test::HasFatalFailure())
            break;
        // The same expression again: the automata are reused.
        Compare(re, e, text, 0, REGEXP_CASE_SENSITIVE);
        if (testing::Test::HasFatalFailure())
            break;
        // Find previous: from a start up to a limit (every limit of short
        // texts, stepping back from the end as the command does).
        const int n = int(text.size());
        const int from = rng() % 4 == 0 ? int(rng() % (text.size() + 1)) : 0;
        const uint32_t cs = rng() % 2;
        if (n <= 24) {
            for (int limit = 0; limit <= n; ++limit)
                CompareLast(re, e, text, from, limit, cs);
        } else {
            for (int k = 0; k < 6; ++k)
                CompareLast(re, e, text, from, int(rng() % (text.size() + 1)), cs);
        }
        CompareLast(re, e, text, from, n + 5, cs);
        if (testing::Test::HasFatalFailure())
            break;
    }
    RegExpFree(re);
}

const char16_t* const kTestExpressions[] = {
    u"a|bc", u"{a}|{bc}", u"{a}|{ab}c", u"a|b*", u"a*|b", u"a|b|c", u"ab|cd", u"x(a|b)*c",
    u"(a|b)*c", u"x@y", u"a*b", u"ab*", u"a+", u"a#", u"a@", u"a?b", u"a**", u"a*?", u"a+?",
    u"(x?)*", u"(x?)+", u"(a)+", u"(a*)*b", u"{{a}|{aa}}*c", u"^?a", u".*", u"a.@c",
    u"(\\d+)-(\\d+)", u"(a)(b)?c", u"{a}(b)", u"(a}b", u"(ab", u"a)b", u"a}b", u"()a", u"{}a",
    u"((a)(b))", u"Motor_\\d+:", u"abc|d", u"aab", u"ab*c", u"a+b", u"a\\Cb", u"sx", u"ab",
    u"^a", u"a$", u"$", u"<x", u"<b", u"<", u"x>", u">", u"a<b", u"\\Cab", u"\\cAB", u"abc",
    u"\\Ca|\\cb", u"\u010d", u"\u010c", u"[a-z]", u"\\U", u"\\L+", u"s", u"M",
    u"[\u010d\u0159]+", u"[\\w]+", u"[A-Z]+", u"\\x41\\N066\\o103", u"[\\]\\-\\\\]+", u"[-a]+",
    u"[^-a]", u"[a-c-e]+", u"[]", u"[^]", u"[^a]", u"[\\d]+", u"[\\s]", u"[\\S]",
    u"[\\x41-\\x43]+", u"\\s\\S", u"\\D\\d", u"\\W\\w", u"\\t\\n\\r", u"\\.", u"\\*", u"\\q",
    u"[\u0100-\u017f]", u"(a|a)*b", u"((a*)*)*$", u"<w\\w*", u"(\\w+)=(\\w+)",
    u"[A-Z]\\w*_\\d+:", u"<Lube \\d\\d\\d>", u"{{Pump}|{Door}|{Lube}|{DB}|{MW}}\\d",
    u"coolant", u"(a|b)*a(a|b)(a|b)(a|b)", u"\\cx\\Cy|z", u"<{a}|{b}>", u"a\\c<b",
    u"((a)|b)+", u"(a*)+b", u"{a.*c}|b",
};

TEST(RegExpDifferential, ExpressionsOfTheTests)
{
    std::mt19937 rng(4711);
    for (const char16_t* e : kTestExpressions) {
        SCOPED_TRACE(Narrow(e));
        CompareOnTexts(e, rng, 60, 24);
        if (HasFatalFailure())
            return;
    }
    EXPECT_EQ(RegExpStats().mismatches, 0u);
}

TEST(RegExpDifferential, ExpressionsAtTheLimits)
{
    std::vector<std::u16string> expressions;
    std::u16string groups;
    for (int i = 0; i < 63; ++i)
        groups += u"(a)";
    expressions.push_back(groups);
    expressions.push_back(std::u16string(256, u'{') + u"a" + std::u16string(256, u'}'));
    expressions.push_back(std::u16string(3000, u'a'));
    expressions.push_back(std::u16string(u"a").append(20000, u'?'));
    std::u16string alts = u"a";
    for (int i = 0; i < 10000; ++i)
        alts += u"|b";
    expressions.push_back(alts);
    const std::u16string texts[] = {u"", u"a", u"xb", std::u16string(63, u'a'),
                                    std::u16string(3000, u'a') + u"b"};
    for (const std::u16string& e : expressions) {
        RegExp* re = RegExpCompile(e);
        ASSERT_NE(re, nullptr);
        for (const std::u16string& t : texts)
            for (uint32_t flags : {0u, 1u})
                Compare(re, u"(long)", t, 0, flags);
        RegExpFree(re);
    }
}

TEST(RegExpDifferential, ExpressionsOfTheFuzzCorpus)
{
    const char* root = std::getenv("SW_SOURCE_DIR");
    ASSERT_NE(root, nullptr);
    const std::filesystem::path dir =
        std::filesystem::path(root) / "tests" / "fuzz" / "corpus" / "editor_regexp";
    std::mt19937 rng(815);
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        std::ifstream in(entry.path(), std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
        std::u16string units(bytes.size() / 2, u'\0');
        for (size_t i = 0; i < units.size(); ++i)
            units[i] = char16_t(uint8_t(bytes[2 * i]) | (uint8_t(bytes[2 * i + 1]) << 8));
        if (units.empty())
            continue;
        const std::u16string rest = units.substr(1);
        const std::u16string e = rest.substr(0, rest.find(u'\0'));
        const size_t cut = rest.find(u'\0');
        const std::u16string text =
            cut == std::u16string::npos ? std::u16string() : rest.substr(cut + 1, rest.find(u'\0', cut + 1) - cut - 1);
        SCOPED_TRACE(Narrow(e));
        if (RegExp* re = RegExpCompile(e)) {
            for (int start = 0; start <= int(text.size()); ++start)
                for (uint32_t flags : {0u, 1u})
                    Compare(re, e, text, start, flags);
            RegExpFree(re);
        }
        CompareOnTexts(e, rng, 40, 24);
        if (HasFatalFailure())
            return;
        ++files;
    }
    EXPECT_GT(files, 10);
}

// Random expressions of the whole dialect.
std::u16string RandomExpression(std::mt19937& rng)
{
    static const char16_t* const tokens[] = {
        u"a",       u"b",      u"A",       u"x",        u"_",      u".",       u"[ab]",
        u"[^a]",    u"[a-c]",  u"[\\w_]",  u"[\\d.]",   u"[^\\s]", u"[\u00e1-\u017f]",
        u"[\u4e00x]", u"\\d",  u"\\D",     u"\\w",      u"\\W",    u"\\s",     u"\\S",
        u"\\U",     u"\\L",    u"(",       u"(",        u")",      u"{",       u"}",
        u"|",       u"|",      u"*",       u"+",        u"?",      u"@",       u"#",
        u"^",       u"$",      u"<",       u">",        u"\\C",    u"\\c",     u"1",
        u" ",       u"\\x61",  u"\u010d",  u"\u0160",   u"\u017f", u"s",       u"k",
        u"\u4e00",  u"\\t",    u":",       u"\\.",      u"ab",     u"Motor",
    };
    const int items = 1 + int(rng() % 14);
    std::u16string e;
    for (int i = 0; i < items; ++i)
        e += tokens[rng() % (sizeof tokens / sizeof tokens[0])];
    return e;
}

// 2,000 expressions a seed: with 4,000 this case took two thirds of the
// program's processor time, and the program 159 s of its 300 s limit beside
// tools/busy.sh and other test runs.
TEST(RegExpDifferential, RandomExpressionsAndTexts)
{
    int compiled = 0;
    const RegExpPathStats before = RegExpStats();
    for (const unsigned seed : {20261207u, 77u, 31337u}) {
        std::mt19937 rng(seed);
        for (int n = 0; n < 2000; ++n) {
            const std::u16string e = RandomExpression(rng);
            RegExp* re = RegExpCompile(e);
            compiled += re != nullptr;
            RegExpFree(re);
            SCOPED_TRACE("seed " + std::to_string(seed) + ": " + Narrow(e));
            CompareOnTexts(e, rng, 6, 30);
            if (HasFatalFailure())
                return;
        }
    }
    EXPECT_GT(compiled, 2000);
    EXPECT_EQ(RegExpStats().mismatches, 0u);
    // Most searches went through the automata.
    EXPECT_GT(RegExpStats().automaton - before.automaton,
              10 * (RegExpStats().fallbacks - before.fallbacks));
    std::printf("%d comparisons so far\n", g_comparisons);
}

// Every match contains a place the scan finds, before the match's end.
void CheckScan(std::u16string_view e, std::mt19937& rng, int texts)
{
    RegExp* re = RegExpCompile(e);
    if (!re || !RegExpCanScan(re, 0)) {
        RegExpFree(re);
        return;
    }
    for (int i = 0; i < texts; ++i) {
        const std::u16string text = RandomText(rng, 30);
        const uint32_t flags = rng() % 2;
        int groups[REGEXP_GROUP_ENTRIES];
        if (!RegExpSearchSimulated(re, text.data(), int(text.size()), 0, groups, flags))
            continue;
        const char16_t* at = RegExpScan(re, text.data(), text.data() + text.size(), flags);
        ASSERT_NE(at, nullptr) << Narrow(e) << " on '" << Narrow(text) << "' flags " << flags;
        EXPECT_LT(at - text.data(), std::max(groups[REGEXP_MAX_GROUPS], 1))
            << Narrow(e) << " on '" << Narrow(text) << "'";
    }
    RegExpFree(re);
}

TEST(RegExpDifferential, TheScanMissesNoMatch)
{
    std::mt19937 rng(2026);
    for (const char16_t* e : kTestExpressions) {
        CheckScan(e, rng, 200);
        if (HasFatalFailure())
            return;
    }
    for (int n = 0; n < 6000; ++n) {
        CheckScan(RandomExpression(rng), rng, 20);
        if (HasFatalFailure())
            return;
    }
}

TEST(RegExpDifferential, ScanLiteralsOfTypicalExpressions)
{
    struct Case
    {
        const char16_t* expression;
        const char16_t* text; // the scan finds the first place at `at`
        int at;
    };
    const Case cases[] = {
        {u"Motor_\\d+:", u"Motor Motor_ x", 6},
        {u"{{Pump}|{Door}|{Lube}|{Home}}\\d", u"Pum Doo Lube", 8},
        {u"[Mm]otor\\d", u"Motto motor", 6},
        {u"(ab)+c", u"a b ab", 4},
        {u"x?abc", u"ab abc", 3},
        {u"\\cMOTOR", u"a motor", 2},     // \c: through upper case
        {u"[A-Z]\\w*_\\d+:", u"a:b_", 3}, // _ and : are single units: the first kept
    };
    for (const Case& c : cases) {
        RegExp* re = RegExpCompile(c.expression);
        ASSERT_NE(re, nullptr);
        EXPECT_TRUE(RegExpCanScan(re, REGEXP_CASE_SENSITIVE)) << Narrow(c.expression);
        const std::u16string_view t(c.text);
        const char16_t* at = RegExpScan(re, t.data(), t.data() + t.size(), REGEXP_CASE_SENSITIVE);
        EXPECT_EQ(at ? int(at - t.data()) : -1, c.at) << Narrow(c.expression);
        RegExpFree(re);
    }
    // Case-insensitive: every unit of the same upper case.
    RegExp* re = RegExpCompile(u"coolant 7");
    const std::u16string_view t(u"COOLANT 8 Coolant 7");
    const char16_t* at = RegExpScan(re, t.data(), t.data() + t.size(), 0);
    EXPECT_EQ(at ? int(at - t.data()) : -1, 10);
    EXPECT_EQ(RegExpScan(re, t.data(), t.data() + t.size(), REGEXP_CASE_SENSITIVE), nullptr);
    RegExpFree(re);
    // Nothing every match must contain.
    for (const char16_t* e : {u"[A-Z]\\w*", u"a*", u"a|b*", u"(ab)*", u".", u"{a}|{b}?"}) {
        RegExp* none = RegExpCompile(e);
        ASSERT_NE(none, nullptr);
        EXPECT_FALSE(RegExpCanScan(none, 0)) << Narrow(e);
        RegExpFree(none);
    }
}

TEST(RegExpDifferential, CacheResetsInTheMiddleOfASearch)
{
    // (a|b)*a followed by n more characters needs 2^n states: with a small
    // budget the cache is emptied again and again during one long search.
    RegExpSetAutomatonBudget(64 * 1024);
    const std::u16string e = u"(a|b)*a(a|b)(a|b)(a|b)(a|b)(a|b)(a|b)(a|b)(a|b)x";
    RegExp* re = RegExpCompile(e);
    ASSERT_NE(re, nullptr);
    std::mt19937 rng(99);
    std::u16string text;
    for (int i = 0; i < 20000; ++i)
        text += rng() % 2 ? u'a' : u'b';
    const RegExpPathStats before = RegExpStats();
    Compare(re, e, text, 0, 0);
    text += u'x';
    Compare(re, e, text, 0, 0);
    Compare(re, e, text, 5, 1);
    EXPECT_GT(RegExpStats().resets, before.resets);
    EXPECT_LE(RegExpAutomatonMemory(re), size_t(64 * 1024));
    RegExpFree(re);
    RegExpSetAutomatonBudget(0);
}

TEST(RegExpDifferential, FindPreviousAcrossCacheResets)
{
    // Many states with a small budget: the sweep of find previous meets
    // resets (it starts again, then searches as before); the answers stay.
    RegExpSetAutomatonBudget(16 * 1024);
    const std::u16string e = u"(a|b)*a(a|b)(a|b)(a|b)(a|b)(a|b)(a|b)x";
    RegExp* re = RegExpCompile(e);
    ASSERT_NE(re, nullptr);
    std::mt19937 rng(12);
    std::u16string text;
    for (int i = 0; i < 400; ++i)
        text += i % 97 == 96 ? u'x' : rng() % 2 ? u'a' : u'b';
    const RegExpPathStats before = RegExpStats();
    for (int limit : {400, 390, 300, 200, 100, 20})
        for (uint32_t flags : {0u, 1u})
            CompareLast(re, e, text, 0, limit, flags);
    EXPECT_GT(RegExpStats().resets, before.resets);
    RegExpFree(re);
    RegExpSetAutomatonBudget(0);
}

TEST(RegExpDifferential, ALongSearchGoesOnAfterResets)
{
    // Long runs of one letter visit few states; the cache, room for about
    // ten states, is emptied now and then, and the automata go on.
    RegExpSetAutomatonBudget(4 * 2100);
    const std::u16string e = u"(a|b)*a(a|b)(a|b)(a|b)(a|b)x";
    RegExp* re = RegExpCompile(e);
    ASSERT_NE(re, nullptr);
    std::u16string text;
    for (int run = 0; run < 40; ++run)
        text += std::u16string(1000, run % 2 ? u'b' : u'a');
    const RegExpPathStats before = RegExpStats();
    for (const char16_t* tail : {u"x", u"aaaaax", u"abbbbx"}) {
        Compare(re, e, text + tail, 0, 0);
        Compare(re, e, text + tail, 0, 1);
    }
    EXPECT_GT(RegExpStats().resets, before.resets);
    EXPECT_EQ(RegExpStats().fallbacks, before.fallbacks);
    RegExpFree(re);
    RegExpSetAutomatonBudget(0);
}

TEST(RegExpDifferential, ExpressionsBeyondTheBudgetFallBack)
{
    RegExpSetAutomatonBudget(256);
    std::mt19937 rng(5);
    const RegExpPathStats before = RegExpStats();
    for (const char16_t* e : {u"[A-Z]\\w*_\\d+:", u"(\\d+)-(\\d+)", u"<x", u"a|b*"})
        CompareOnTexts(e, rng, 20, 30);
    EXPECT_GT(RegExpStats().fallbacks, before.fallbacks);
    RegExpSetAutomatonBudget(0);
}

TEST(RegExpDifferential, DefaultCacheStaysWithinTwoMegabytes)
{
    const std::u16string e = u"(a|b)*a(a|b)(a|b)(a|b)(a|b)(a|b)(a|b)(a|b)(a|b)(a|b)(a|b)(a|b)x";
    RegExp* re = RegExpCompile(e);
    ASSERT_NE(re, nullptr);
    std::mt19937 rng(3);
    std::u16string text;
    for (int i = 0; i < 100000; ++i)
        text += rng() % 2 ? u'a' : u'b';
    text += u"x"; // the required literal is there: the automata run
    for (uint32_t flags : {0u, 1u})
        Compare(re, e, text, 0, flags);
    EXPECT_GT(RegExpAutomatonMemory(re), size_t(1u << 19));
    EXPECT_LE(RegExpAutomatonMemory(re), size_t(2u << 20));
    RegExpFree(re);
}

} // namespace
