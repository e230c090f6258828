#pragma once
// The pure pieces of the file panel and the remote file dialog: the sort
// comparison and the header-click rotation, entering an entry (remote and
// local path rules), the summary and date texts, the mask, and the
// remote dialog's filter, initial text and typed names.  No widgets.

#include "link/linkobj/olnk_link.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace linkui {

enum SortKey : int { kKeyNone = 0, kKeyName = 1, kKeySize = 2, kKeyDate = 3, kKeyType = 4 };

struct SortOrder
{
    std::array<int, 4> keys{kKeyName, kKeyNone, kKeyNone, kKeyNone};
    std::array<bool, 4> flags{true, false, false, false};
    // Column 0 name, 1 size, 2 type, 3 date: the key becomes the first
    // (flag 1), or its flag toggles when it is the first already.
    void HeaderClick(int column);
};

// The type name of a record, asked only when the type key decides.
using TypeNameOf = std::function<const std::u16string&(const FileListRecord&)>;

// Folders first; dot-names first among folders; then the keys in order.
// Negative, 0 or positive.
int CompareRecords(const FileListRecord& a, const FileListRecord& b, const SortOrder& order,
                   const TypeNameOf& typeName = {});

// The record's name as a string (up to its zero).
std::u16string NameOf(const FileListRecord& r);
// The name as the lists and the summary show it: characters below 0x20
// made visible as "?" (a name from the control system may hold any), a
// byte of a local name that is no UTF-8 as "\xE9" (sys::ShownNativeText).
std::u16string ShownName(const FileListRecord& r);
// Whether a name listed by the control system may become a path: "." and
// ".." (navigation) or a plain name (linkobj::IsPlainRemoteName).  Other
// names are shown but never entered, picked or handed to an operation.
bool UsableRemoteName(std::u16string_view name);
// A shown name cut to at most `max` characters: its start, "...", its
// end (a character of two units is never split).
std::u16string ShortenedName(std::u16string_view shown, size_t max);
// Why a typed name cannot become a new folder in a folder of the control
// system (remote) or a local one: 0 when it can, else the string id of the
// message (4872: empty, "." or "..", or a "\", "/" or control character,
// remotely ":" too; 4873: characters the control system's code page lacks).
unsigned NewFolderNameProblem(std::u16string_view name, bool remote);
bool IsFolder(const FileListRecord& r);
// A record for a name.
FileListRecord MakeRecord(std::u16string_view name, bool folder, uint32_t size, uint16_t dosDate, uint16_t dosTime);

// Entering an entry: a remote folder path ("\DATA\") or a local one
// ("/home/x/").  "." changes nothing, ".." goes up ("\" and "/" stay),
// every other name (dot-names too) is appended with the separator.  True
// when the path changed.
bool EnterEntry(std::u16string& path, std::u16string_view name);
// A path on the control system ("\" not followed by another "\").
bool IsRemotePath(std::u16string_view path);

// "%s (%u bytů)" for one entry, "Vybráno %d (%llu bytů)" for several,
// empty for none.
std::u16string SummaryText(const std::vector<const FileListRecord*>& selected);
// "%d:%d:%d %d.%d.%d" (hour, minute, second, day, month, year) of a DOS
// stamp; empty when it holds no valid date and time.
std::u16string DateText(uint16_t dosDate, uint16_t dosTime);
// The size column: "%u" for a file, empty for a folder.
std::u16string SizeText(const FileListRecord& r);
// A local last-write time as a DOS stamp in local time; 0 and 0 when a DOS
// date cannot hold it (before 1980, after 2107).
void LocalDosStamp(uint64_t fileTime, uint16_t& dosDate, uint16_t& dosTime);

// The control system's wildcard rules without regard to case: "*" any
// run, "?" one character, "*.*" every name, "*." names without a dot.
bool MatchMask(std::u16string_view mask, std::u16string_view name);

// ---- The remote file dialog -------------------------------------------------

struct FilterEntry
{
    std::u16string description, pattern;
};
// "A|*.*|B|*.txt||": pairs up to an empty description.
std::vector<FilterEntry> SplitFilter(std::u16string_view filter);
// The initial text (at most 259 characters) split at its last backslash;
// a folder that does not begin with a backslash becomes "\".
void SplitInitial(std::u16string_view text, std::u16string& folder, std::u16string& name);
// A typed name resolved against the current folder: a plain name stays; a
// name beginning with "\" is a full remote path; any other name with "\"
// is relative.  Names are kept up to 255 characters.
void ResolveTyped(std::u16string_view typed, std::u16string& folder, std::u16string& name);
bool HasWildcard(std::u16string_view name);

} // namespace linkui
