// The project document's debugging state: the link, the compiler's map and
// listing, the watched mechanisms, entering and stopping debugging and the
// jumps from a listing line to its source line.

#include "projectui/StrandworkDoc.h"

#include "core/projfile/ProjectData.h"
#include "link/linkobj/olnk_link.h"
#include "link/ui/LinkMessages.h"
#include "platform/sys/WinPath.h"
#include "platform/ui/Beep.h"

namespace {
// The last component of a path written with "\" or "/".
std::u16string_view LastComponent(std::u16string_view path)
{
    const size_t slash = path.find_last_of(u"\\/");
    return slash == std::u16string_view::npos ? path : path.substr(slash + 1);
}
} // namespace

std::unique_ptr<COlnkLink> MakeProjectLink() { return std::make_unique<COlnkLink>(linkui::WindowPoster()); }

bool CStrandworkDoc::GetPlcStatus(PlcStatusRecord& status)
{
    status = {};
    if (!m_link->GetLastStatus(&status))
        status = {};
    return status.length >= sizeof(PlcStatusRecord);
}

void CStrandworkDoc::EnterDebugging()
{
    m_link->SetWatchPeriod(0, 0, m_data.WatchInterval, 0);
    m_link->SetWatchMechPeriod(0, 0, m_data.WatchMechInterval, 0);
    m_link->SetWatchRegsOnLinePeriod(0, 0, m_data.WatchRegsOnLineInterval, 0);
    m_debugging = true;
    BroadcastUpdate(nullptr, HINT_DEBUG_STATE);
}

bool CStrandworkDoc::StopDebugging()
{
    m_debugging = false;
    BroadcastUpdate(nullptr, HINT_DEBUG_STATE);
    m_mapFile.Clear();
    return true;
}

QString CStrandworkDoc::FindPlcSourcePath(std::u16string_view name) const
{
    const std::u16string_view file = LastComponent(name);
    for (const core::ProjectFileEntry& e : m_data.SourceFiles) {
        if (!core::EqualsFileNameNoCase(e.FileName, file))
            continue;
        const std::u16string full = core::ProjectFullPath(GetProjectDir().toStdU16String(), e.FilePath);
        if (full.empty())
            return {};
        if (const std::optional<std::string> native = sys::WinPath::ToNative(full))
            return QString::fromStdString(*native);
        return QString::fromStdU16String(full);
    }
    return {};
}

void CStrandworkDoc::GoToListingLine(uint32_t index)
{
    const compout::ListingLine* line = m_listingFile.GetLine(index);
    if (!line || !line->sourceFile) {
        ui::MessageBeep(0);
        return;
    }
    const QString path = FindPlcSourcePath(line->sourceFile->name);
    if (path.isEmpty())
        return;
    if (ProjectHost* host = GetProjectHost())
        host->ShowPlcSourceLine(path, int(index - line->sourceFile->firstLine) + 1);
}

void CStrandworkDoc::GoToCurrentLine()
{
    PlcStatusRecord status{};
    if (GetPlcStatus(status) && (status.flags & 0x08))
        GoToListingLine(status.index);
}
