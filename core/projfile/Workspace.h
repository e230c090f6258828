#pragma once
// The workspace file (".kxw") beside a project of format 5 or 6: the
// configuration name (format 6), the watch pages, watched mechanisms,
// breakpoints, watch intervals, display flags, the connection string and
// the open documents with their frames.  The data part goes straight into
// ProjectData; the documents section is a plain structure that the
// document views apply and collect (see WorkspaceDocumentsPort).

#include "core/projfile/LineEngine.h"
#include "core/projfile/ProjectData.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace core {

struct WorkspaceFrame
{
    // Show state, minimised x and y, maximised x and y, normal rectangle
    // left, top, right, bottom: the "FramePlacement" numbers in file order.
    std::array<int32_t, 9> placement{};
    bool splitterRead = false; // the "SplitterConfig" line was read
    int32_t columns = 1;
    int32_t rows = 1;
    int32_t column0Width = 0;
    int32_t row0Height = 0;
    // One caret per pane, rows outer, columns inner: for text documents
    // (character, line), for binary documents (byte position, caret area).
    std::vector<std::pair<int32_t, int32_t>> carets;
    bool operator==(const WorkspaceFrame&) const = default;
};

struct WorkspaceDocument
{
    // The "DocumentPath" value as read; empty for a document collected from
    // an open window, whose path is then written relative to the project.
    std::u16string storedPath;
    // The full path (read: the stored value resolved against the project
    // folder; a drive or share root stands for itself).
    std::u16string path;
    std::vector<WorkspaceFrame> frames;
    bool operator==(const WorkspaceDocument&) const = default;
};

struct WorkspaceDocuments
{
    enum Kind
    {
        Text = 0,
        PlcSource = 1,
        PlcHeader = 2,
        Binary = 3,
        KindCount = 4
    };
    // In file order: text, PLC source, PLC header, binary.
    std::array<std::vector<WorkspaceDocument>, KindCount> lists;
    bool operator==(const WorkspaceDocuments&) const = default;
};

// Writes the workspace file of format 5 or 6 (6 begins with "Config").
// `projectDir` is the project folder with its trailing separator.  A
// document with neither a stored nor a full path is left out (and not
// counted); each frame gets exactly rows x columns caret lines, missing
// carets written as "0, 0" and extra ones dropped.
// Throws std::length_error for a frame that claims more panes than a
// window can have (more than kMaxPanes), so nothing absurd is written.
constexpr int64_t kMaxPanes = 65536;
void WriteWorkspace(KxpArchive& ar, const ProjectData& data, const WorkspaceDocuments& docs,
                    int formatVersion, std::u16string_view projectDir);

// Reads the workspace file of format 5 or 6.  Every item is stored as soon
// as its line has been read, so after a ProjectFormatError `data` and
// `docs` hold exactly what the file gave before the bad line.  `docs` is
// emptied first.  Once pages were read, a "SelectedPlaque" below -1 or at
// or above the page count selects page 0.
void ReadWorkspace(KxpArchive& ar, ProjectData& data, WorkspaceDocuments& docs, int formatVersion,
                   std::u16string_view projectDir);

// The pieces shared with the older project formats, which hold the same
// lines in the project file itself.
// The debugging sequence from "PlaquesCount" to "OlnkConnectionString".
// withLineRegs: the "WatchRegsOnLineInterval" and "WatchPLCRegsInSrc" lines
// (format 4 on).  Reading: a page count of 0 or less keeps the default
// page and skips the next line; the selection is clamped as above.
void WriteDebugSection(KxpArchive& ar, const ProjectData& data, bool withLineRegs);
void ReadDebugSection(KxpArchive& ar, ProjectData& data, bool withLineRegs);
// The documents section from "TXTDocumentsCount" on; paths are written
// relative to and resolved against projectDir.  Reading empties `docs`
// first and records every item as soon as its line was read.
void WriteDocumentsSection(KxpArchive& ar, const WorkspaceDocuments& docs,
                           std::u16string_view projectDir);
void ReadDocumentsSection(KxpArchive& ar, WorkspaceDocuments& docs, std::u16string_view projectDir);

// The full path of a stored "DocumentPath" value: a drive or share root
// unchanged, anything else appended to the project folder (a relative
// value is resolved against it, an absolute one stands for itself).  Empty
// when the result is not a valid path.
std::u16string ResolveDocumentPath(std::u16string_view projectDir, std::u16string_view stored);
// The "DocumentPath" value of a full path: relative to the project folder
// when a relative path can be formed, else the full path.
std::u16string StoredDocumentPath(std::u16string_view projectDir, std::u16string_view path);

} // namespace core
