#pragma once
// The project file (".kxp"): its two header lines and the bodies of
// formats 5 and 6.  The workspace file beside it is Workspace.h; the
// project document runs both (see docs/project-files.md).

#include "core/projfile/LineEngine.h"
#include "core/projfile/ProjectData.h"

#include <optional>

namespace core {

constexpr int kCurrentProjectFormat = 6;

// "Strandwork project" and "ProjectFormatVersion = n".
void WriteProjectHeader(KxpArchive& ar, int version);
// Reads both header lines and returns the version as written (any int32).
// A header line other than "Strandwork project" (any case) or a version
// line without a number throws ProjectFormatError.
int ReadProjectHeader(KxpArchive& ar);

// The bodies after the header lines, without the workspace file.
void WriteProjectBodyV6(KxpArchive& ar, const ProjectData& data);
void WriteProjectBodyV5(KxpArchive& ar, const ProjectData& data);
// Readers append to the lists and overwrite the settings; they start from
// the defaults in the document.  `loadTime` (seconds since 1970) becomes
// the settings modification time when the stored time cannot be computed
// or lies before 1970.  The compiler version numbers are recomputed.
// A bad line throws ProjectFormatError; what was read before it stays.
void ReadProjectBodyV6(KxpArchive& ar, ProjectData& data, int64_t loadTime);
void ReadProjectBodyV5(KxpArchive& ar, ProjectData& data, int64_t loadTime);

// The time line's six numbers for a time (local time, no leading zeros);
// 0, 0, 0, -1, -1, -1 when it cannot be converted.
std::vector<int64_t> ModificationTimeFields(int64_t time);
// The time of six numbers read from the file (day, month, year, hour,
// minute, second as local time, normalised as mktime does); nullopt when
// it cannot be computed or lies before 1970-01-01 00:00:00 UTC.
std::optional<int64_t> ModificationTimeFromFields(const std::vector<int64_t>& fields);

} // namespace core
