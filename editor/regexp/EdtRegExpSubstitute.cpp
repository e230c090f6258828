// The substitution of the regular-expression engine: the replacement
// text with its group references and case changes.

#include "editor/regexp/EdtRegExpInternal.h"

using namespace regexp_detail;

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
