// Fuzz target of the editor's regular expressions.  The input is read as
// UTF-16LE units (an odd last byte is ignored): unit 0 holds the flags (bit
// 0 case-sensitive, bit 1 a tiny cache budget for the automata, bits 8-15
// pick the start position modulo length + 1), then come the expression up
// to the first U+0000 (at most 256 units), the text up to the next U+0000
// (at most 1024 units) and the replacement.  Every search is compared with
// the plain simulation (and, when small, with the reference matcher).

#include "editor/regexp/EdtRegExp.h"
#include "editor/regexp/EdtRegExpTesting.h"
#include "tests/support/editor/RegExpReference.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

void Fail(const char* what)
{
    std::fprintf(stderr, "regexp fuzz check failed: %s\n", what);
    std::abort();
}

void CheckGroups(const int* g, int length, int start)
{
    for (int i = 0; i < 64; ++i) {
        const int s = g[i];
        const int e = g[64 + i];
        if (s == -1 && e == -1)
            continue;
        if (s < 0 || e < s || e > length)
            Fail("group outside the text");
    }
    if (g[0] < start)
        Fail("match before the search start");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::u16string units(size / 2, u'\0');
    for (size_t i = 0; i < units.size(); ++i)
        units[i] = char16_t(data[2 * i] | (data[2 * i + 1] << 8));
    if (units.empty())
        return 0;
    const uint32_t flags = units[0] & 1;
    const unsigned pick = (units[0] >> 8) & 0xFF;
    std::u16string_view rest = std::u16string_view(units).substr(1);
    size_t cut = rest.find(u'\0');
    std::u16string_view expression = rest.substr(0, cut);
    rest = cut == std::u16string_view::npos ? std::u16string_view() : rest.substr(cut + 1);
    cut = rest.find(u'\0');
    std::u16string_view text = rest.substr(0, cut);
    const std::u16string_view replacement =
        cut == std::u16string_view::npos ? std::u16string_view() : rest.substr(cut + 1);
    expression = expression.substr(0, 256);
    text = text.substr(0, 1024);
    const int length = int(text.size());
    const int picked = int(pick % unsigned(length + 1));

    // A tiny budget makes the automata reset and give up.
    RegExpSetAutomatonBudget((units[0] & 2) ? 2048 : 0);
    RegExp* re = RegExpCompile(expression);
    const bool compare = expression.size() <= 32 && text.size() <= 64;
    for (const int start : {0, picked}) {
        int groups[REGEXP_GROUP_ENTRIES];
        const bool matched = RegExpSearch(re, text.data(), length, start, groups, flags);
        if (!re && matched)
            Fail("a null expression matched");
        int simulated[REGEXP_GROUP_ENTRIES];
        const bool simMatched =
            RegExpSearchSimulated(re, text.data(), length, start, simulated, flags);
        if (simMatched != matched)
            Fail("the fast path and the simulation disagree on the match");
        for (int i = 0; i < REGEXP_GROUP_ENTRIES; ++i)
            if (simulated[i] != groups[i])
                Fail("the fast path and the simulation disagree on the groups");
        if (matched) {
            CheckGroups(groups, length, start);
            std::u16string out;
            const int rc = RegExpSubstitute(replacement, text.data(), length, groups, out);
            if (rc != 0 && !out.empty())
                Fail("a failed substitution left a result");
        } else {
            for (int g : groups)
                if (g != -1)
                    Fail("no match but a group is set");
        }
        if (compare) {
            bool refMatched = false;
            int ref[128];
            const bool refCompiled = testsupport::ReferenceSearch(expression, text, start, flags,
                                                                  &refMatched, ref);
            if (refCompiled != (re != nullptr))
                Fail("compiles differently from the reference");
            if (re) {
                if (refMatched != matched)
                    Fail("matches differently from the reference");
                for (int i = 0; i < 128; ++i)
                    if (ref[i] != groups[i])
                        Fail("groups differ from the reference");
            }
        }
    }
    RegExpFree(re);
    RegExpSetAutomatonBudget(0);
    return 0;
}
