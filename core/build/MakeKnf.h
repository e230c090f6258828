#pragma once
// The compiler's keyword file "Make.knf" and the compiler folder of a
// project.  See docs/build.md.

#include "core/common/AppSettings.h"
#include "core/common/OutputSink.h"
#include "core/projfile/ProjectData.h"

#include <optional>
#include <string>

namespace core {

// True for the target "Haldor" (ASCII letters compared without case).
bool IsHaldorTarget(const ProjectData& data);
// True when the make file names the linked program ("FileExe") and the
// dependency check wants it newer than the inputs: a target other than
// "Haldor" with a compiler version below 6.349.
bool UsesLinkedProgram(const ProjectData& data);

// The native path of `below` in the folder of the compiler installations:
// the project's PathTarvane, a stored path, by the stored rules
// (WinPath::ToNative), or else the option "PathTarvane" exactly as the user
// typed it, with only `below` read by those rules (WinPath::ToNativeBelow).
// nullopt when there is none.
std::optional<std::string> CompilersNative(const ProjectData& data, const AppSettings& app,
                                           std::u16string_view below);
// "Pelmar%04d" (Haldor) or "PLC%01d%03d": the folder of the project's
// compiler version.
std::u16string CompilerFolderName(const ProjectData& data);
// The project's PathTarvane (or the option "PathTarvane" when that is
// empty) with CompilerFolderName appended, as the disk spells it where
// CompilersNative finds it; without "System".
std::u16string CompilerFolder(const ProjectData& data, const AppSettings& app);

// Writes the make file (created anew, code page 1250, CR LF).  On failure
// the reason goes to the sink and false is returned: no source file (4461),
// a path value that code page 1250 cannot hold (4462), a file that cannot
// be created or written (4387).  projectFilePath is written as given;
// makeFilePath may be in Windows or native form.
[[nodiscard]] bool WriteMakeKnf(const ProjectData& data, const std::u16string& projectFilePath,
                                const AppSettings& app, const std::u16string& makeFilePath,
                                OutputSink* sink);

} // namespace core
