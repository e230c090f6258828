#pragma once
// Small helpers shared by the project document's files: a string of the
// table as UTF-16, a line for the output window (when there is one), the
// native form of a path and the creation of folders.

#include "projectui/ProjectHost.h"
#include "platform/sys/FileIO.h"
#include "platform/sys/WinPath.h"
#include "res/StringTable.h"

#include <filesystem>

#include <string>
#include <string_view>

namespace projtext {

inline std::u16string Str(unsigned id) { return LoadResString(id).toStdU16String(); }

inline core::OutputSink* Sink()
{
    ProjectHost* host = GetProjectHost();
    return host ? host->GetOutputCtrl() : nullptr;
}

inline void Out(std::u16string_view text)
{
    if (core::OutputSink* sink = Sink())
        sink->AppendText(text);
}

// Creates a folder with its missing parents; true when it is a folder now
// (an existing file of that name is no folder).
inline bool MakeFolders(const std::string& native)
{
    if (native.empty())
        return false;
    std::error_code ec;
    std::filesystem::create_directories(native, ec);
    return sys::IsDirectory(native);
}

// A question or message of the project document: through the host, which
// answers it (ProjectHost::Ask), or the prompt service when there is none.
inline int Ask(const QString& text, const QString& caption, uint32_t style,
               core::AskOwner owner = core::AskOwner::MainWindow)
{
    const std::u16string t = text.toStdU16String();
    const std::u16string c = caption.toStdU16String();
    if (ProjectHost* host = GetProjectHost())
        return host->Ask(t, c, style, owner);
    return ProjectHost::AskWithPrompt(t, c, style, owner);
}

} // namespace projtext
