#pragma once
// The project file (".kxp"): its two header lines and the bodies of
// formats 1 to 6.  The workspace file beside it is Workspace.h; the
// project document runs both (see docs/project-files.md).

#include "core/projfile/LineEngine.h"
#include "core/projfile/ProjectData.h"
#include "core/projfile/Workspace.h"

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

// Formats 1 to 4 hold everything in the project file: the body (format 1
// without the header list, formats 1 to 3 without "AllowDebug"), the
// debugging sequence (the register-watch interval and flag from format 4
// on) and, in formats 3 and 4, the documents section, whose paths are
// written relative to and resolved against projectDir (the folder of the
// project file).  Format 4 is the format 5 body followed by the format 5
// workspace body.  Format 2 and 1 ignore `docs` when writing and leave it
// empty when reading.  Format 1 also takes a "NameCreateMap" line that
// begins with exactly that key followed by "=" without white space.  The
// readers end with RecomputeCompilerVersion.
void WriteProjectBodyV4(KxpArchive& ar, const ProjectData& data, const WorkspaceDocuments& docs,
                        std::u16string_view projectDir);
void WriteProjectBodyV3(KxpArchive& ar, const ProjectData& data, const WorkspaceDocuments& docs,
                        std::u16string_view projectDir);
void WriteProjectBodyV2(KxpArchive& ar, const ProjectData& data, const WorkspaceDocuments& docs,
                        std::u16string_view projectDir);
void WriteProjectBodyV1(KxpArchive& ar, const ProjectData& data, const WorkspaceDocuments& docs,
                        std::u16string_view projectDir);
void ReadProjectBodyV4(KxpArchive& ar, ProjectData& data, WorkspaceDocuments& docs,
                       std::u16string_view projectDir, int64_t loadTime);
void ReadProjectBodyV3(KxpArchive& ar, ProjectData& data, WorkspaceDocuments& docs,
                       std::u16string_view projectDir, int64_t loadTime);
void ReadProjectBodyV2(KxpArchive& ar, ProjectData& data, WorkspaceDocuments& docs,
                       std::u16string_view projectDir, int64_t loadTime);
void ReadProjectBodyV1(KxpArchive& ar, ProjectData& data, WorkspaceDocuments& docs,
                       std::u16string_view projectDir, int64_t loadTime);

// The value of a fixed keyword pair ("PathXPDDK", "AsmFlags", "LinkFlags",
// "Debug", "Config" before format 6, "Target") as the project file gives
// it back: written in double quotes, read with every double quote as a
// blank and white space around it dropped.
std::u16string FixedPairValue(std::u16string_view value);

// The time line's six numbers for a time (local time, no leading zeros);
// 0, 0, 0, -1, -1, -1 when it cannot be converted.
std::vector<int64_t> ModificationTimeFields(int64_t time);
// The time of six numbers read from the file (day, month, year, hour,
// minute, second as local time, normalised as mktime does); nullopt when
// it cannot be computed or lies before 1970-01-01 00:00:00 UTC.
std::optional<int64_t> ModificationTimeFromFields(const std::vector<int64_t>& fields);

} // namespace core
