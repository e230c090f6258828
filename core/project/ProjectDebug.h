#pragma once
// The debugging state of the open project, owned by the project document:
// the compiler's map and listing of the run, the watched mechanisms, the
// debugging flag and the link's watch periods, and the way from a listing
// line to its source file.  No Qt; the document tells its views.  See
// docs/transfers.md and docs/plcviews.md.

#include "core/common/OutputSink.h"
#include "core/compout/ListingFile.h"
#include "core/compout/MapFile.h"
#include "core/projfile/ProjectData.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class COlnkLink;
struct PlcStatusRecord;

namespace core {

// A mechanism watched while debugging: its address and number.
struct MechanismWatch
{
    uint32_t address = 0;
    uint16_t number = 0;
    bool operator==(const MechanismWatch&) const = default;
};

// Where a PLC source of the project lies: its native path, or, when the
// path has no native form, the full path as the project names it.
struct PlcSourcePath
{
    std::string native;
    std::u16string full;
    bool Empty() const { return native.empty() && full.empty(); }
};

class ProjectDebug
{
public:
    explicit ProjectDebug(ProjectData& data) : m_data(data) {}
    ProjectDebug(const ProjectDebug&) = delete;
    ProjectDebug& operator=(const ProjectDebug&) = delete;

    compout::CMapFile& MapFile() { return m_mapFile; }
    compout::CListingFile& ListingFile() { return m_listingFile; }
    // The mechanisms watched in this run (stored in no file).
    std::vector<MechanismWatch>& MechanismWatchSet() { return m_mechWatchSet; }
    bool IsDebugging() const { return m_debugging; }

    // Loads the map and the listing of the last build of the project in
    // projectFolder (failures to out: some functions stay unavailable),
    // keeps the watched mechanisms the listing has (marked watched) and
    // drops the others, and empties the breakpoints of the project and of
    // the link.  The project has at least one PLC source.
    void PrepareRun(const std::u16string& projectFolder, COlnkLink& link, OutputSink* out);
    // The link's three watch periods from the project; the debugging flag.
    void Enter(COlnkLink& link);
    // Clears the flag and makes the link's wanted breakpoints none (the
    // link sends that until the control system confirms it, whatever the
    // link does meanwhile); the document frees the map (MapFile().Clear())
    // once its views heard of it.  The listing stays.
    void Stop(COlnkLink& link);

    // The link's latest PLC status; false (length 0) when unknown.
    static bool GetPlcStatus(COlnkLink& link, PlcStatusRecord& status);
    // The project's PLC source whose file name is the last component of
    // name (any case); empty when none.
    PlcSourcePath FindPlcSource(std::u16string_view name, const std::u16string& projectFolder) const;

private:
    ProjectData& m_data;
    bool m_debugging = false;
    compout::CMapFile m_mapFile;
    compout::CListingFile m_listingFile;
    std::vector<MechanismWatch> m_mechWatchSet;
};

} // namespace core
