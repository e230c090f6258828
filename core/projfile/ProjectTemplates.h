#pragma once
// The choice list of the new-project dialog: the two fixed entries (an
// empty project and the import of a compiler configuration file) and the
// project templates found under the template folders.  A template is a
// project file listed under the text of its "PLCComment".  No Qt.

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace core {

struct ProjectTemplateInfo
{
    int32_t Kind; // 0 empty project, 1 import of a ".knf" file, 2 template
    std::u16string Name;
    std::u16string Path; // the template's project file (empty for 0 and 1)
    bool operator==(const ProjectTemplateInfo&) const = default;
};
using ProjectTemplateList = std::vector<ProjectTemplateInfo>;

// The two fixed entries: string 4045 (kind 0) and 4046 (kind 1).
ProjectTemplateList FixedTemplateEntries();

// The entry of a template file: its first line is "Strandwork project"
// (any case), its second "ProjectFormatVersion = n" with n from 1 to 6,
// and a later line "PLCComment = " followed by at least one character (the
// key keeps its case; white space around "=" may be missing or longer).
// The name is the comment (code page 1250), the path the given path.
// Only the first 1 MiB is read; a file that cannot be read or fails any
// step gives nothing.
std::optional<ProjectTemplateInfo> ReadTemplateInfo(std::u16string_view path);

// Adds the templates of a folder (in the program's path form) and its
// subfolders: every subfolder first, recursively, then the folder's own
// "*.kxp" files (extension in any case), each group in ascending name
// order without regard to case, ties broken by the exact name.  Without
// `append` the list is first reset to the fixed entries.  `visited` holds
// the (device, inode) of every folder scanned in this run; a folder met a
// second time (a symbolic link looping back) is skipped.
void ScanTemplates(ProjectTemplateList& list, std::u16string_view folder, bool append,
                   std::set<std::pair<dev_t, ino_t>>& visited);

// The "PathTemplates" value split at ";", each piece trimmed of blanks;
// pieces of one character or less are left out.
std::vector<std::u16string> SplitTemplateFolders(std::u16string_view pathTemplates);

} // namespace core
