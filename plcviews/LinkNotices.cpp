#include "plcviews/LinkNotices.h"

#include "projectui/ProjectHost.h"
#include "core/common/OutputSink.h"
#include "link/linkobj/olnk_link.h"
#include "res/StringTable.h"
#include "res/text/StringIds.h"

namespace plcviews {

namespace {
constexpr unsigned IDS_SILENT_REFUSED = 4920; // "Řídicí systém neodpovídá, příkaz nebyl odeslán."
} // namespace

QString RefusalText(unsigned ownId, uint32_t error)
{
    return LoadResString(error == OLNK_LINK_E_SILENT ? IDS_SILENT_REFUSED : ownId);
}

QString RefusalLine(unsigned ownLineId, uint32_t error)
{
    if (error == OLNK_LINK_E_SILENT)
        return LoadResString(IDS_SILENT_REFUSED) + QStringLiteral("\r\n");
    return LoadResString(ownLineId);
}

bool FateUnknown(const LinkResultRecord& r) { return OlnkFateUnknown(r.kind, r.status); }

QString FateUnknownLine(const QString& command) { return FormatResString(IDS_FATE_UNKNOWN, command); }

void OutputText(const QString& text)
{
    ProjectHost* host = GetProjectHost();
    if (core::OutputSink* out = host ? host->GetOutputCtrl() : nullptr)
        out->AppendText(text.toStdU16String());
}

void OutputResult(const LinkResultRecord& r, unsigned failedId, const char* command)
{
    if (r.status >= 0)
        return;
    if (FateUnknown(r))
        OutputText(FateUnknownLine(QString::fromLatin1(command)));
    else
        OutputText(FormatResString(failedId, int(r.status)));
}

} // namespace plcviews
