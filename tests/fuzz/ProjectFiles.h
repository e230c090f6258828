#pragma once
// The project file as the document reads and writes it, for the fuzz
// targets of the project formats: the header, the version check and the
// body of each format 1 to 6.

#include "core/projfile/LineEngine.h"
#include "core/projfile/ProjectData.h"
#include "core/projfile/ProjectFormat.h"
#include "core/projfile/Workspace.h"

#include <cstdlib>
#include <ctime>
#include <string>

namespace fuzzproj {

// The folder the files stand in (documents resolve against it).
inline const std::u16string kProjectDir = u"/projekty/Lis/";
// The time of loading (used where a stored time cannot be computed).
constexpr int64_t kLoadTime = 1'700'000'000;

// The fixtures' local time, so that a run gives the same results
// everywhere.
inline void UseFixedTimeZone()
{
    static const bool done = [] {
        ::setenv("TZ", "Europe/Prague", 1);
        ::tzset();
        return true;
    }();
    (void)done;
}

// Reads a project file: the header, then the body of its version (1 to 6;
// others are a format error).  Throws core::ProjectFormatError.
inline void ReadProject(const std::string& bytes, core::ProjectData& data,
                        core::WorkspaceDocuments& docs)
{
    core::KxpArchive ar(false, kProjectDir + u"Lis.kxp", bytes);
    core::SetProjectDefaults(data, kLoadTime);
    docs = {};
    const int version = core::ReadProjectHeader(ar);
    data.FormatVersion = version;
    switch (version) {
    case 6:
        return core::ReadProjectBodyV6(ar, data, kLoadTime);
    case 5:
        return core::ReadProjectBodyV5(ar, data, kLoadTime);
    case 4:
        return core::ReadProjectBodyV4(ar, data, docs, kProjectDir, kLoadTime);
    case 3:
        return core::ReadProjectBodyV3(ar, data, docs, kProjectDir, kLoadTime);
    case 2:
        return core::ReadProjectBodyV2(ar, data, docs, kProjectDir, kLoadTime);
    case 1:
        return core::ReadProjectBodyV1(ar, data, docs, kProjectDir, kLoadTime);
    default:
        core::ThrowFormatError(ar);
    }
}

// The project file in the data's own format version (1 to 6).  May throw
// std::length_error (a frame with more panes than a window can have).
inline std::string WriteProject(const core::ProjectData& data, const core::WorkspaceDocuments& docs)
{
    core::KxpArchive ar(true, kProjectDir + u"Lis.kxp");
    core::WriteProjectHeader(ar, data.FormatVersion);
    switch (data.FormatVersion) {
    case 6:
        core::WriteProjectBodyV6(ar, data);
        break;
    case 5:
        core::WriteProjectBodyV5(ar, data);
        break;
    case 4:
        core::WriteProjectBodyV4(ar, data, docs, kProjectDir);
        break;
    case 3:
        core::WriteProjectBodyV3(ar, data, docs, kProjectDir);
        break;
    case 2:
        core::WriteProjectBodyV2(ar, data, docs, kProjectDir);
        break;
    default:
        core::WriteProjectBodyV1(ar, data, docs, kProjectDir);
        break;
    }
    return ar.Bytes();
}

// A full path without the separator that may end a folder's path.
inline std::u16string_view WithoutEndSeparator(std::u16string_view p)
{
    while (p.size() > 1 && (p.back() == u'/' || p.back() == u'\\'))
        p.remove_suffix(1);
    return p;
}

// The documents as the program applies them: each list's documents by
// their full path and frames.  The stored form of a path may change on the
// first writing ("DocumentPath = " stands for the project folder, which
// is written as "."); the writings after it are checked byte for byte.
inline bool SameDocuments(const core::WorkspaceDocuments& a, const core::WorkspaceDocuments& b)
{
    for (size_t k = 0; k < a.lists.size(); ++k) {
        if (a.lists[k].size() != b.lists[k].size())
            return false;
        for (size_t i = 0; i < a.lists[k].size(); ++i)
            if (WithoutEndSeparator(a.lists[k][i].path) != WithoutEndSeparator(b.lists[k][i].path) ||
                a.lists[k][i].frames != b.lists[k][i].frames)
                return false;
    }
    return true;
}

} // namespace fuzzproj
