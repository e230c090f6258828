// Property test: the engine against the simple reference matcher of the
// test support, on thousands of random small expressions and texts.

#include "editor/regexp/EdtRegExp.h"
#include "tests/support/editor/RegExpReference.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace {

std::string Narrow(std::u16string_view s)
{
    std::string out;
    for (char16_t c : s)
        out += c < 128 ? char(c) : '?';
    return out;
}

void Compare(std::u16string_view expression, std::u16string_view text, int start,
             uint32_t flags)
{
    bool refMatched = false;
    int ref[128];
    const bool refCompiled =
        testsupport::ReferenceSearch(expression, text, start, flags, &refMatched, ref);
    RegExp* re = RegExpCompile(expression);
    ASSERT_EQ(re != nullptr, refCompiled) << Narrow(expression);
    if (!re)
        return;
    int groups[REGEXP_GROUP_ENTRIES];
    const bool matched = RegExpSearch(re, text.data(), int(text.size()), start, groups, flags);
    RegExpFree(re);
    ASSERT_EQ(matched, refMatched) << Narrow(expression) << " on '" << Narrow(text)
                                   << "' from " << start << " flags " << flags;
    for (int i = 0; i < 128; ++i)
        ASSERT_EQ(groups[i], ref[i]) << "entry " << i << ": " << Narrow(expression) << " on '"
                                     << Narrow(text) << "' from " << start << " flags "
                                     << flags;
}

TEST(RegExpReference, RandomExpressions)
{
    static const char16_t* const tokens[] = {
        u"a", u"b", u"A", u".", u"[ab]", u"[^a]", u"[a-c]", u"\\d", u"\\w", u"\\s", u"\\U",
        u"(", u"(", u")", u"{", u"}", u"|", u"|", u"*", u"+", u"?", u"@", u"#", u"^", u"$",
        u"<", u">", u"\\C", u"\\c", u"1", u" ", u"\\x61",
    };
    static const char16_t alphabet[] = u"abAB1 .c";
    std::mt19937 rng(20240611);
    int compiled = 0;
    for (int n = 0; n < 6000; ++n) {
        std::u16string e;
        const int items = 1 + int(rng() % 12);
        for (int i = 0; i < items; ++i)
            e += tokens[rng() % (sizeof tokens / sizeof tokens[0])];
        for (int t = 0; t < 4; ++t) {
            std::u16string text;
            const int len = int(rng() % 17);
            for (int i = 0; i < len; ++i)
                text += alphabet[rng() % 8];
            const int start = (rng() % 4 == 0) ? int(rng() % (text.size() + 1)) : 0;
            Compare(e, text, start, rng() % 2);
            if (HasFatalFailure())
                return;
        }
        RegExp* re = RegExpCompile(e);
        compiled += re != nullptr;
        RegExpFree(re);
    }
    // The generator must produce enough valid expressions to be useful.
    EXPECT_GT(compiled, 1500) << compiled;
}

TEST(RegExpReference, Vectors)
{
    Compare(u"(a|b)*c", u"abac", 0, 0);
    Compare(u"(x?)*", u"y", 0, 0);
    Compare(u"(x?)+", u"y", 0, 0);
    Compare(u"{a}|{ab}c", u"abc", 0, 0);
    Compare(u"((a)|b)+", u"bab", 0, 0);
    Compare(u"(a*)+b", u"aab", 0, 0);
}

} // namespace
