#include "core/projfile/CompilerFolders.h"

namespace core {

namespace {

bool StartsWithNoCase(std::u16string_view s, std::u16string_view prefix)
{
    if (s.size() < prefix.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        char16_t a = s[i], b = prefix[i];
        if (a >= u'a' && a <= u'z')
            a = char16_t(a - 32);
        if (b >= u'a' && b <= u'z')
            b = char16_t(b - 32);
        if (a != b)
            return false;
    }
    return true;
}

// The value of s when it is between min and max decimal digits and nothing
// else.
std::optional<int> Digits(std::u16string_view s, size_t min, size_t max)
{
    if (s.size() < min || s.size() > max)
        return std::nullopt;
    int v = 0;
    for (char16_t c : s) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        v = v * 10 + (c - u'0');
    }
    return v;
}

} // namespace

std::optional<int> ReadPelmarFolderName(std::u16string_view name)
{
    if (!StartsWithNoCase(name, u"Pelmar"))
        return std::nullopt;
    return Digits(name.substr(6), 1, 9);
}

std::optional<std::pair<int, int>> ReadPlcFolderName(std::u16string_view name)
{
    if (!StartsWithNoCase(name, u"PLC") || name.size() < 4)
        return std::nullopt;
    const auto major = Digits(name.substr(3, 1), 1, 1);
    const auto minor = Digits(name.substr(4), 1, 3);
    if (!major || !minor)
        return std::nullopt;
    return std::make_pair(*major, *minor);
}

} // namespace core
