#include "core/projfile/Workspace.h"

#include "platform/sys/WinPath.h"

#include <algorithm>
#include <stdexcept>

namespace core {

namespace {

const char* const kCountKeys[WorkspaceDocuments::KindCount] = {
    "TXTDocumentsCount", "PLCDocumentsCount", "INCDocumentsCount", "BINDocumentsCount"};

constexpr const char* kPlacementPattern = "FramePlacement = %d, %d, %d, %d, %d, %d, %d, %d, %d";
constexpr const char* kSplitterPattern = "SplitterConfig = %d, %d, %d, %d";
constexpr const char* kCaretPattern = "CursorPos = %d, %d";

int64_t NonNegative(int64_t v)
{
    return v > 0 ? v : 0;
}

std::string Pattern(const char* key)
{
    return std::string(key) + " = %d";
}

} // namespace

std::u16string ResolveDocumentPath(std::u16string_view projectDir, std::u16string_view stored)
{
    if (sys::WinPath::IsRoot(stored))
        return std::u16string(stored);
    std::u16string path(projectDir);
    if (!sys::WinPath::Append(path, stored))
        return {};
    return path;
}

std::u16string StoredDocumentPath(std::u16string_view projectDir, std::u16string_view path)
{
    return ProjectRelativePath(projectDir, path);
}

void WriteDebugSection(KxpArchive& ar, const ProjectData& d, bool withLineRegs)
{
    WriteNumberLine(ar, "PlaquesCount", static_cast<int64_t>(d.WatchPlaques.size()));
    for (const WatchPlaque& p : d.WatchPlaques) {
        WriteStringLine(ar, "PlaqueName", p.Name);
        WriteNumberLine(ar, "WatchCount", static_cast<int64_t>(p.VarNames.size()));
        for (const std::u16string& v : p.VarNames)
            WriteStringLine(ar, "VarName", v);
    }
    WriteNumberLine(ar, "SelectedPlaque", d.SelectedPlaque);
    WriteNumberLine(ar, "WatchMechsCount", static_cast<int64_t>(d.WatchedMechanisms.size()));
    for (const std::u16string& m : d.WatchedMechanisms)
        WriteStringLine(ar, "MechName", m);
    WriteNumberLine(ar, "BrksCount", static_cast<int64_t>(d.Breakpoints.size()));
    for (uint32_t b : d.Breakpoints)
        WriteNumberLine(ar, "BrkLine", static_cast<int32_t>(b));
    WriteNumberLine(ar, "WatchInterval", d.WatchInterval);
    WriteNumberLine(ar, "WatchMechInterval", d.WatchMechInterval);
    if (withLineRegs)
        WriteNumberLine(ar, "WatchRegsOnLineInterval", d.WatchRegsOnLineInterval);
    WriteNumberLine(ar, "DisplayAsHex", d.DisplayAsHex);
    if (withLineRegs)
        WriteNumberLine(ar, "WatchPLCRegsInSrc", d.WatchPLCRegsInSrc);
    WriteStringLine(ar, "OlnkConnectionString", d.OlnkConnectionString);
}

void WriteDocumentsSection(KxpArchive& ar, const WorkspaceDocuments& docs,
                           std::u16string_view projectDir)
{
    for (int kind = 0; kind < WorkspaceDocuments::KindCount; ++kind) {
        // A document without a path (never saved) is not written, and only
        // the written documents are counted.
        const std::vector<WorkspaceDocument>& list = docs.lists[kind];
        auto hasPath = [](const WorkspaceDocument& doc) {
            return !doc.storedPath.empty() || !doc.path.empty();
        };
        WriteNumberLine(ar, kCountKeys[kind],
                        static_cast<int64_t>(std::count_if(list.begin(), list.end(), hasPath)));
        for (const WorkspaceDocument& doc : list) {
            if (!hasPath(doc))
                continue;
            WriteStringLine(ar, "DocumentPath",
                            doc.storedPath.empty() ? StoredDocumentPath(projectDir, doc.path)
                                                   : doc.storedPath);
            WriteNumberLine(ar, "FrameCount", static_cast<int64_t>(doc.frames.size()));
            for (const WorkspaceFrame& f : doc.frames) {
                WriteNumbersLine(ar, "FramePlacement",
                                 std::vector<int64_t>(f.placement.begin(), f.placement.end()));
                WriteNumbersLine(ar, "SplitterConfig",
                                 {f.columns, f.rows, f.column0Width, f.row0Height});
                const int64_t panes = NonNegative(f.rows) * NonNegative(f.columns);
                if (panes > kMaxPanes)
                    throw std::length_error("a frame with more panes than a window can have");
                for (int64_t i = 0; i < panes; ++i) {
                    std::pair<int32_t, int32_t> c{0, 0};
                    if (static_cast<uint64_t>(i) < f.carets.size())
                        c = f.carets[static_cast<size_t>(i)];
                    WriteNumbersLine(ar, "CursorPos", {c.first, c.second});
                }
            }
        }
    }
}

void WriteWorkspace(KxpArchive& ar, const ProjectData& d, const WorkspaceDocuments& docs,
                    int formatVersion, std::u16string_view projectDir)
{
    if (formatVersion >= 6)
        WriteStringLine(ar, "Config", d.Config);
    WriteDebugSection(ar, d, true);
    WriteDocumentsSection(ar, docs, projectDir);
}

void ReadDebugSection(KxpArchive& ar, ProjectData& d, bool withLineRegs)
{
    const int64_t pages = ReadNumber(ar, "PlaquesCount = %d");
    if (pages > 0)
        d.WatchPlaques.clear();
    for (int64_t i = 0; i < pages; ++i) {
        WatchPlaque page;
        page.Name = ReadStringLine(ar, "PlaqueName");
        const int64_t vars = ReadNumber(ar, "WatchCount = %d");
        for (int64_t v = 0; v < vars; ++v)
            page.VarNames.push_back(ReadStringLine(ar, "VarName"));
        d.WatchPlaques.push_back(std::move(page));
    }
    if (pages > 0) {
        // A selection outside the pages read selects the first page.
        const int64_t selected = ReadNumber(ar, "SelectedPlaque = %d");
        d.SelectedPlaque =
            (selected < -1 || selected >= static_cast<int64_t>(d.WatchPlaques.size()))
                ? 0
                : static_cast<int>(selected);
    } else {
        std::u16string ignored;
        ReadLine(ar, ignored);
    }

    const int64_t mechs = ReadNumber(ar, "WatchMechsCount = %d");
    for (int64_t i = 0; i < mechs; ++i)
        d.WatchedMechanisms.push_back(ReadStringLine(ar, "MechName"));
    const int64_t brks = ReadNumber(ar, "BrksCount = %d");
    for (int64_t i = 0; i < brks; ++i)
        d.Breakpoints.push_back(static_cast<uint32_t>(ReadNumber(ar, "BrkLine = %d")));

    d.WatchInterval = static_cast<uint16_t>(ReadNumber(ar, "WatchInterval = %hd"));
    d.WatchMechInterval = static_cast<uint16_t>(ReadNumber(ar, "WatchMechInterval = %hd"));
    if (withLineRegs)
        d.WatchRegsOnLineInterval =
            static_cast<uint16_t>(ReadNumber(ar, "WatchRegsOnLineInterval = %hd"));
    d.DisplayAsHex = static_cast<int32_t>(ReadNumber(ar, "DisplayAsHex = %d"));
    if (withLineRegs)
        d.WatchPLCRegsInSrc = static_cast<int32_t>(ReadNumber(ar, "WatchPLCRegsInSrc = %d"));
    d.OlnkConnectionString = ReadStringLine(ar, "OlnkConnectionString");
}

void ReadDocumentsSection(KxpArchive& ar, WorkspaceDocuments& docs, std::u16string_view projectDir)
{
    docs = WorkspaceDocuments{};
    for (int kind = 0; kind < WorkspaceDocuments::KindCount; ++kind) {
        std::vector<WorkspaceDocument>& list = docs.lists[kind];
        const int64_t count = ReadNumber(ar, Pattern(kCountKeys[kind]));
        for (int64_t i = 0; i < count; ++i) {
            WorkspaceDocument& doc = list.emplace_back();
            doc.storedPath = ReadStringLine(ar, "DocumentPath");
            doc.path = ResolveDocumentPath(projectDir, doc.storedPath);
            const int64_t frames = ReadNumber(ar, "FrameCount = %d");
            for (int64_t fi = 0; fi < frames; ++fi) {
                std::vector<int64_t> p = ReadNumberLine(ar, kPlacementPattern);
                WorkspaceFrame& f = doc.frames.emplace_back();
                for (size_t k = 0; k < f.placement.size(); ++k)
                    f.placement[k] = static_cast<int32_t>(p[k]);
                std::vector<int64_t> s = ReadNumberLine(ar, kSplitterPattern);
                f.splitterRead = true;
                f.columns = static_cast<int32_t>(s[0]);
                f.rows = static_cast<int32_t>(s[1]);
                f.column0Width = static_cast<int32_t>(s[2]);
                f.row0Height = static_cast<int32_t>(s[3]);
                const int64_t rows = NonNegative(f.rows), cols = NonNegative(f.columns);
                for (int64_t r = 0; r < rows; ++r) {
                    for (int64_t c = 0; c < cols; ++c) {
                        std::vector<int64_t> xy = ReadNumberLine(ar, kCaretPattern);
                        f.carets.emplace_back(static_cast<int32_t>(xy[0]),
                                              static_cast<int32_t>(xy[1]));
                    }
                }
            }
        }
    }
}

void ReadWorkspace(KxpArchive& ar, ProjectData& d, WorkspaceDocuments& docs, int formatVersion,
                   std::u16string_view projectDir)
{
    docs = WorkspaceDocuments{};
    if (formatVersion >= 6)
        d.Config = ReadStringLine(ar, "Config");
    ReadDebugSection(ar, d, true);
    ReadDocumentsSection(ar, docs, projectDir);
}

} // namespace core
