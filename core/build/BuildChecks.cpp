#include "core/build/BuildChecks.h"

#include "platform/sys/CodePage.h"

#include <dirent.h>
#include <sys/stat.h>

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

// Digits of s from pos to its end: their value, when there are between
// min and max of them and nothing else.
std::optional<int> Digits(std::u16string_view s, size_t pos, size_t min, size_t max)
{
    if (pos > s.size())
        return std::nullopt;
    const size_t n = s.size() - pos;
    if (n < min || n > max)
        return std::nullopt;
    int v = 0;
    for (size_t i = pos; i < s.size(); ++i) {
        if (s[i] < u'0' || s[i] > u'9')
            return std::nullopt;
        v = v * 10 + (s[i] - u'0');
    }
    return v;
}

} // namespace

std::vector<std::u16string> ListSubfolders(const std::string& nativeFolder)
{
    std::vector<std::u16string> out;
    DIR* d = ::opendir(nativeFolder.c_str());
    if (!d)
        return out;
    while (dirent* e = ::readdir(d)) {
        const std::string name = e->d_name;
        if (name == "." || name == "..")
            continue;
        struct stat st;
        if (::stat((nativeFolder + "/" + name).c_str(), &st) == 0 && S_ISDIR(st.st_mode))
            out.push_back(sys::Utf8ToUtf16Lenient(name));
    }
    ::closedir(d);
    return out;
}

std::optional<int> NewestPelmarVersion(const std::vector<std::u16string>& folders, int current)
{
    std::optional<int> best;
    for (const std::u16string& f : folders) {
        if (!StartsWithNoCase(f, u"Pelmar"))
            continue;
        const auto v = Digits(f, 6, 1, 4);
        if (v && *v > current && (!best || *v > *best))
            best = v;
    }
    return best;
}

std::optional<std::pair<int, int>> NewestPlcVersion(const std::vector<std::u16string>& folders,
                                                    int major, int minor)
{
    std::optional<std::pair<int, int>> best;
    for (const std::u16string& f : folders) {
        if (!StartsWithNoCase(f, u"PLC"))
            continue;
        const auto ma = Digits(f.substr(0, 4), 3, 1, 1);
        const auto mi = Digits(f, 4, 1, 3);
        if (!ma || !mi)
            continue;
        const std::pair<int, int> v{*ma, *mi};
        if (v > std::make_pair(major, minor) && (!best || v > *best))
            best = v;
    }
    return best;
}

sys::FileTime SettingsTimeInstant(int64_t seconds)
{
    return sys::FileTimeFromUnix(seconds + 1) - 1;
}

bool OutputIsCurrent(const std::optional<sys::FileTime>& output, sys::FileTime newestInput)
{
    return output && *output >= newestInput;
}

std::vector<std::u16string> ParsePlcBinNames(std::u16string_view text)
{
    std::vector<std::u16string> names;
    size_t i = 0;
    const size_t n = text.size();
    while (i < n) {
        while (i < n && text[i] <= 32)
            ++i;
        if (i >= n)
            break;
        size_t start, end;
        if (text[i] == u'"') {
            start = ++i;
            while (i < n && text[i] != u'"' && text[i] != u'\r' && text[i] != u'\n')
                ++i;
            end = i;
        } else {
            start = i;
            while (i < n && text[i] > 32)
                ++i;
            end = i;
        }
        if (end > start)
            names.emplace_back(text.substr(start, end - start));
        while (i < n && text[i] != u'\n' && text[i] != u'\r')
            ++i;
    }
    return names;
}

} // namespace core
