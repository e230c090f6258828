#pragma once
// The rules of the project settings sheet that need no window: reading an
// edited compiler version, which controls the version enables, the list of
// installed compiler versions, the placeholder of the folder settings and
// the keywords that the project file keeps for its own settings.

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace core {

// The list entry of the folder combo boxes that stands for "use the
// application's folder" (an empty project setting).
inline constexpr std::u16string_view kAppFolderPlaceholder = u"<Nastavení Strandworku>";

// An edited version read like "%u.%u": leading blanks, digits, ".", digits.
// A part that is missing or unreadable counts as 0 ("632" gives (632, 0),
// "" gives (0, 0)).
struct VersionPair
{
    unsigned major = 0;
    unsigned minor = 0;
    bool operator==(const VersionPair&) const = default;
    auto operator<=>(const VersionPair&) const = default;
};
VersionPair ReadVersionPair(std::u16string_view text);

// The name of the linked program can be chosen for targets other than
// "Haldor" (any case) with versions below 6.349.
bool ExeNameEnabled(std::u16string_view target, std::u16string_view pendingVersion);

// From version 6.300 on the build assembles and links with the driver kit
// instead of the Borland tools.
bool UsesDriverKitTools(std::u16string_view pendingVersion);

// The compiler versions installed in a folder (a stored path with or
// without its trailing separator): for the Haldor target the "Pelmar"
// entries of at least 632 as "%d", otherwise the "PLC" entries of at least
// (6, 32) as "%d.%d".  Files and folders alike; names in any case.  Sorted
// by plain text order, without repeats.  A folder that cannot be listed
// gives nothing.  A folder the user typed in the options (`given`) is the
// folder of exactly that name, as the build takes it.
std::vector<std::u16string> ScanCompilerVersions(std::u16string_view folder, bool haldor,
                                                 bool given = false);

// Inserts a version text into a list kept in plain text order; false when
// the list holds it already.
bool InsertVersionSorted(std::vector<std::u16string>& list, std::u16string_view version);

// The stored value of a folder combo box's text: empty for the placeholder
// (compared exactly), else the text.
std::u16string FolderSettingFromText(std::u16string_view text);

// The keywords that the project file keeps as fixed pairs of its own:
// "PathXPDDK", "AsmFlags", "LinkFlags", "Debug", "Config", "Target".
// Compared without regard to ASCII case and leading blanks.
bool IsReservedKeyword(std::u16string_view keyword);

} // namespace core
