#include "core/project/ProjectDebug.h"

#include "link/linkobj/olnk_link.h"
#include "platform/sys/Format.h"
#include "platform/sys/WinPath.h"

namespace core {

namespace {

// The last component of a path written with "\" or "/".
std::u16string_view LastComponent(std::u16string_view path)
{
    const size_t slash = path.find_last_of(u"\\/");
    return slash == std::u16string_view::npos ? path : path.substr(slash + 1);
}

void Out(OutputSink* out, std::u16string_view text)
{
    if (out)
        out->AppendText(text);
}

} // namespace

void ProjectDebug::PrepareRun(const std::u16string& projectFolder, COlnkLink& link, OutputSink* out)
{
    std::u16string temp = projectFolder;
    sys::WinPath::Append(temp, m_data.PathTemp);
    std::u16string map = temp;
    sys::WinPath::Append(map, m_data.FileMP2);
    if (!m_mapFile.Load(map)) {
        Out(out, sys::Format(u"Nepodařilo se načíst informace ze souboru mapy (%s)!\r\n", map));
        Out(out, u"Některé ladící funkce nebudou dostupné...\r\n");
    }
    std::u16string listing = temp;
    sys::WinPath::Append(listing, m_data.SourceFiles.front().FilePath);
    sys::WinPath::RenameExtension(listing, u".LS1");
    if (!m_listingFile.Load(m_mapFile, listing)) {
        Out(out, sys::Format(u"Nepodařilo se načíst informace ze souboru listingu (%s)!\r\n", listing));
        Out(out, u"Některé ladící funkce nebudou dostupné...\r\n");
    }
    auto& mechs = m_data.WatchedMechanisms;
    for (auto it = mechs.begin(); it != mechs.end();) {
        if (compout::ListingMechanism* m = m_listingFile.FindMechanism(*it)) {
            m->state = 1;
            ++it;
        } else {
            it = mechs.erase(it);
        }
    }
    // Breakpoints of an earlier run may name other lines after a rebuild:
    // the stored list, the link's set and the control system's are emptied.
    m_data.Breakpoints.clear();
    link.ClearBrks(0, 0);
}

void ProjectDebug::Stop(COlnkLink& link)
{
    m_debugging = false;
    // Not debugging, the user sees no breakpoint: the link's wanted set is
    // empty, and the link sends it until the control system confirms it
    // (also when this request is refused because the link is down).
    if (link.IsOpen())
        link.ClearBrks(0, 0);
}

void ProjectDebug::Enter(COlnkLink& link)
{
    link.SetWatchPeriod(0, 0, m_data.WatchInterval, 0);
    link.SetWatchMechPeriod(0, 0, m_data.WatchMechInterval, 0);
    link.SetWatchRegsOnLinePeriod(0, 0, m_data.WatchRegsOnLineInterval, 0);
    m_debugging = true;
}

bool ProjectDebug::GetPlcStatus(COlnkLink& link, PlcStatusRecord& status)
{
    status = {};
    if (!link.GetLastStatus(&status))
        status = {};
    return status.length >= sizeof(PlcStatusRecord);
}

PlcSourcePath ProjectDebug::FindPlcSource(std::u16string_view name, const std::u16string& projectFolder) const
{
    const std::u16string_view file = LastComponent(name);
    for (const ProjectFileEntry& e : m_data.SourceFiles) {
        if (!EqualsFileNameNoCase(e.FileName, file))
            continue;
        const std::u16string full = ProjectFullPath(projectFolder, e.FilePath);
        if (full.empty())
            return {};
        if (const std::optional<std::string> native =
                sys::WinPath::ToNativeBelow(projectFolder, e.FilePath))
            return {*native, {}};
        return {{}, full};
    }
    return {};
}

} // namespace core
