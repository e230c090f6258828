// The project document's debugging: entering and stopping it (the state
// lives in core::ProjectDebug, the document tells its views) and the jumps
// from a listing line to its source line.

#include "projectui/StrandworkDoc.h"

#include "link/linkobj/olnk_link.h"
#include "link/ui/LinkMessages.h"
#include "platform/ui/Beep.h"

std::unique_ptr<COlnkLink> MakeProjectLink() { return std::make_unique<COlnkLink>(linkui::WindowPoster()); }

void CStrandworkDoc::EnterDebugging()
{
    m_debug->Enter(*m_link);
    BroadcastUpdate(nullptr, HINT_DEBUG_STATE);
}

bool CStrandworkDoc::StopDebugging()
{
    m_debug->Stop(*m_link);
    BroadcastUpdate(nullptr, HINT_DEBUG_STATE);
    m_debug->MapFile().Clear();
    return true;
}

QString CStrandworkDoc::FindPlcSourcePath(std::u16string_view name) const
{
    const core::PlcSourcePath path = m_debug->FindPlcSource(name, GetProjectDir().toStdU16String());
    if (!path.native.empty())
        return QString::fromStdString(path.native);
    if (!path.full.empty())
        return QString::fromStdU16String(path.full);
    return {};
}

void CStrandworkDoc::GoToListingLine(uint32_t index)
{
    const compout::ListingLine* line = m_debug->ListingFile().GetLine(index);
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
