#include "core/projfile/ProjectSettingsRules.h"

#include "core/projfile/CompilerFolders.h"
#include "core/projfile/ProjectData.h"
#include "platform/sys/CodePage.h"
#include "platform/sys/NativeText.h"
#include "platform/sys/WinPath.h"

#include <dirent.h>

#include <algorithm>
#include <cstdio>

namespace core {

namespace {

bool IsBlank(char16_t c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); }

// Digits at pos, as the C library's unsigned conversion reads them; false
// when there are none.
bool ReadUnsigned(std::u16string_view text, size_t& pos, unsigned& value)
{
    while (pos < text.size() && IsBlank(text[pos]))
        ++pos;
    size_t start = pos;
    unsigned v = 0;
    while (pos < text.size() && text[pos] >= u'0' && text[pos] <= u'9')
        v = v * 10u + unsigned(text[pos++] - u'0');
    if (pos == start)
        return false;
    value = v;
    return true;
}

std::u16string Utf16(const std::string& s)
{
    return sys::Utf8ToUtf16Lenient(s);
}

} // namespace

VersionPair ReadVersionPair(std::u16string_view text)
{
    VersionPair v;
    size_t pos = 0;
    if (!ReadUnsigned(text, pos, v.major))
        return {};
    if (pos < text.size() && text[pos] == u'.') {
        ++pos;
        ReadUnsigned(text, pos, v.minor);
    }
    return v;
}

bool ExeNameEnabled(std::u16string_view target, std::u16string_view pendingVersion)
{
    if (EqualsNoCase(target, u"Haldor"))
        return false;
    return ReadVersionPair(pendingVersion) < VersionPair{6, 349};
}

bool UsesDriverKitTools(std::u16string_view pendingVersion)
{
    return ReadVersionPair(pendingVersion) >= VersionPair{6, 300};
}

bool InsertVersionSorted(std::vector<std::u16string>& list, std::u16string_view version)
{
    auto it = std::lower_bound(list.begin(), list.end(), version,
                               [](const std::u16string& a, std::u16string_view b) { return std::u16string_view(a) < b; });
    if (it != list.end() && *it == version)
        return false;
    list.insert(it, std::u16string(version));
    return true;
}

std::vector<std::u16string> ScanCompilerVersions(std::u16string_view folder, bool haldor,
                                                 bool given)
{
    std::vector<std::u16string> versions;
    if (folder.empty())
        return versions;
    const std::optional<std::string> native =
        given ? sys::LocalNativePath(folder) : sys::WinPath::ToNative(folder);
    if (!native)
        return versions;
    DIR* d = ::opendir(native->c_str());
    if (!d)
        return versions;
    while (const dirent* e = ::readdir(d)) {
        const std::u16string name = Utf16(e->d_name);
        char buf[32];
        if (haldor) {
            const auto v = ReadPelmarFolderName(name);
            if (!v || *v < 632)
                continue;
            std::snprintf(buf, sizeof buf, "%d", *v);
        } else {
            const auto v = ReadPlcFolderName(name);
            if (!v || *v < std::make_pair(6, 32))
                continue;
            std::snprintf(buf, sizeof buf, "%d.%d", v->first, v->second);
        }
        InsertVersionSorted(versions, Utf16(buf));
    }
    ::closedir(d);
    return versions;
}

std::u16string FolderSettingFromText(std::u16string_view text)
{
    return text == kAppFolderPlaceholder ? std::u16string() : std::u16string(text);
}

bool IsReservedKeyword(std::u16string_view keyword)
{
    size_t start = 0;
    while (start < keyword.size() && IsBlank(keyword[start]))
        ++start;
    keyword.remove_prefix(start);
    for (std::u16string_view reserved : {u"PathXPDDK", u"AsmFlags", u"LinkFlags", u"Debug", u"Config", u"Target"})
        if (EqualsNoCase(keyword, reserved))
            return true;
    return false;
}

} // namespace core
