#include "core/projfile/ProjectTemplates.h"

#include "core/projfile/LineEngine.h"
#include "core/projfile/ProjectData.h"
#include "platform/sys/FileIO.h"
#include "platform/sys/NativeText.h"
#include "platform/sys/WinPath.h"
#include "res/text/TextTable.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace core {

namespace {

constexpr size_t kTemplateReadLimit = size_t(1) << 20;

// The first bytes of a regular file, at most `limit`.
std::optional<std::string> ReadFileStart(const std::string& native, size_t limit)
{
    uint64_t size = 0;
    const int fd = sys::OpenForReading(native, size);
    if (fd < 0)
        return std::nullopt;
    std::string bytes;
    bytes.resize(static_cast<size_t>(std::min<uint64_t>(size, limit)));
    size_t got = 0;
    while (got < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += static_cast<size_t>(n);
    }
    ::close(fd);
    bytes.resize(got);
    return bytes;
}

// "PLCComment = " and at least one character: the comment.
std::optional<std::u16string> CommentOf(std::u16string_view line)
{
    constexpr std::u16string_view kKey = u"PLCComment";
    if (!line.starts_with(kKey))
        return std::nullopt;
    line.remove_prefix(kKey.size());
    while (!line.empty() && IsLineSpace(line.front()))
        line.remove_prefix(1);
    if (line.empty() || line.front() != u'=')
        return std::nullopt;
    line.remove_prefix(1);
    while (!line.empty() && IsLineSpace(line.front()))
        line.remove_prefix(1);
    if (line.empty())
        return std::nullopt;
    return std::u16string(line);
}

bool NameLess(const std::u16string& a, const std::u16string& b)
{
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const char16_t x = FileNameLower(a[i]), y = FileNameLower(b[i]);
        if (x != y)
            return x < y;
    }
    if (a.size() != b.size())
        return a.size() < b.size();
    return a < b;
}

bool HasKxpExtension(std::u16string_view name)
{
    return name.size() > 4 && EqualsNoCase(name.substr(name.size() - 4), u".kxp");
}

} // namespace

ProjectTemplateList FixedTemplateEntries()
{
    return {{0, res::LoadText(4045), {}}, {1, res::LoadText(4046), {}}};
}

std::optional<ProjectTemplateInfo> ReadTemplateInfo(std::u16string_view path)
{
    const std::optional<std::string> native = sys::LocalNativePath(path);
    if (!native)
        return std::nullopt;
    std::optional<std::string> bytes = ReadFileStart(*native, kTemplateReadLimit);
    if (!bytes)
        return std::nullopt;
    KxpArchive ar(false, std::u16string(path), std::move(*bytes));
    std::u16string line;
    if (!ReadLine(ar, line) || !EqualsNoCase(line, u"Strandwork project"))
        return std::nullopt;
    std::vector<int64_t> version;
    if (!ReadLine(ar, line) || ScanNumbers(line, "ProjectFormatVersion = %d", version) != 1 ||
        version[0] < 1 || version[0] > 6)
        return std::nullopt;
    while (ReadLine(ar, line)) {
        if (std::optional<std::u16string> comment = CommentOf(line))
            return ProjectTemplateInfo{2, std::move(*comment), std::u16string(path)};
    }
    return std::nullopt;
}

void ScanTemplates(ProjectTemplateList& list, std::u16string_view folder, bool append,
                   std::set<std::pair<dev_t, ino_t>>& visited)
{
    if (!append)
        list = FixedTemplateEntries();
    // A folder the user gave (the options, the browse button): exactly.
    const std::optional<std::string> native = sys::LocalNativePath(folder);
    if (!native)
        return;
    struct stat st;
    if (::stat(native->c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return;
    if (!visited.insert({st.st_dev, st.st_ino}).second)
        return;

    std::vector<std::u16string> folders, files;
    if (DIR* d = ::opendir(native->c_str())) {
        while (dirent* e = ::readdir(d)) {
            const std::string name = e->d_name;
            if (name == "." || name == "..")
                continue;
            struct stat es;
            if (::stat((*native + "/" + name).c_str(), &es) != 0)
                continue;
            std::u16string wide = sys::WinPath::FromNative(name);
            if (S_ISDIR(es.st_mode))
                folders.push_back(std::move(wide));
            else if (HasKxpExtension(wide))
                files.push_back(std::move(wide));
        }
        ::closedir(d);
    }
    std::sort(folders.begin(), folders.end(), NameLess);
    std::sort(files.begin(), files.end(), NameLess);
    // The entries below the folder as they are named ("\" is a character
    // of a name here).
    std::u16string prefix(folder);
    if (prefix.back() != u'/')
        prefix += u'/';
    for (const std::u16string& sub : folders)
        ScanTemplates(list, prefix + sub, true, visited);
    for (const std::u16string& file : files)
        if (std::optional<ProjectTemplateInfo> info = ReadTemplateInfo(prefix + file))
            list.push_back(std::move(*info));
}

std::vector<std::u16string> SplitTemplateFolders(std::u16string_view pathTemplates)
{
    std::vector<std::u16string> out;
    size_t start = 0;
    while (start <= pathTemplates.size()) {
        size_t end = pathTemplates.find(u';', start);
        if (end == std::u16string_view::npos)
            end = pathTemplates.size();
        std::u16string_view piece = pathTemplates.substr(start, end - start);
        while (!piece.empty() && (piece.front() == u' ' || piece.front() == u'\t'))
            piece.remove_prefix(1);
        while (!piece.empty() && (piece.back() == u' ' || piece.back() == u'\t'))
            piece.remove_suffix(1);
        if (piece.size() > 1)
            out.emplace_back(piece);
        start = end + 1;
    }
    return out;
}

} // namespace core
