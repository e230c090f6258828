#include "core/build/BuildChecks.h"

#include "core/projfile/CompilerFolders.h"
#include "platform/sys/CodePage.h"

#include <dirent.h>
#include <sys/stat.h>

namespace core {

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
        const auto v = ReadPelmarFolderName(f);
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
        const auto v = ReadPlcFolderName(f);
        if (v && *v > std::make_pair(major, minor) && (!best || *v > *best))
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

std::vector<PlcBinPair> ParsePlcBinPairs(std::u16string_view text)
{
    std::vector<PlcBinPair> pairs;
    size_t i = 0;
    const size_t n = text.size();
    auto lineEnd = [&](size_t at) { return text[at] == u'\r' || text[at] == u'\n'; };
    auto readName = [&](bool destination) {
        std::u16string name;
        if (text[i] == u'"') {
            ++i;
            if (destination && i < n && text[i] == u'\\')
                ++i;
            const size_t start = i;
            while (i < n && text[i] != u'"' && !lineEnd(i))
                ++i;
            name.assign(text.substr(start, i - start));
            if (i < n && text[i] == u'"')
                ++i;
        } else {
            const size_t start = i;
            while (i < n && text[i] > 32)
                ++i;
            name.assign(text.substr(start, i - start));
            if (destination && !name.empty() && name[0] == u'\\')
                name.erase(0, 1);
        }
        return name;
    };
    while (i < n) {
        while (i < n && text[i] <= 32)
            ++i;
        if (i >= n)
            break;
        PlcBinPair pair;
        pair.source = readName(false);
        while (i < n && text[i] <= 32 && !lineEnd(i))
            ++i;
        if (i < n && !lineEnd(i))
            pair.destination = readName(true);
        if (!pair.source.empty())
            pairs.push_back(std::move(pair));
    }
    return pairs;
}

} // namespace core
