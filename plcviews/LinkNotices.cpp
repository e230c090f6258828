#include "plcviews/LinkNotices.h"

#include "projectui/ProjectHost.h"
#include "core/common/OutputSink.h"
#include "link/linkobj/olnk_link.h"
#include "res/StringTable.h"
#include "res/text/StringIds.h"

namespace plcviews {

namespace {
constexpr unsigned IDS_SILENT_REFUSED = 4920; // "Řídicí systém neodpovídá, příkaz nebyl odeslán."
constexpr unsigned IDS_BRKS_NOT_CONFIRMED = 5020; // "Řídicí systém nepotvrdil breakpointy, ..."

// The refusals the link gives its own text; 0 for the others.
unsigned OwnRefusalId(uint32_t error)
{
    return error == OLNK_LINK_E_SILENT               ? IDS_SILENT_REFUSED
           : error == OLNK_LINK_E_BRKS_NOT_CONFIRMED ? IDS_BRKS_NOT_CONFIRMED
                                                     : 0;
}
} // namespace

QString RefusalText(unsigned ownId, uint32_t error)
{
    const unsigned id = OwnRefusalId(error);
    return LoadResString(id ? id : ownId);
}

QString RefusalLine(unsigned ownLineId, uint32_t error)
{
    if (const unsigned id = OwnRefusalId(error))
        return LoadResString(id) + QStringLiteral("\r\n");
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
    if (!OlnkResultFailed(r.kind, r.status))
        return;
    if (FateUnknown(r))
        OutputText(FateUnknownLine(QString::fromLatin1(command)));
    else
        OutputText(FormatResString(failedId, int(r.status)));
}

} // namespace plcviews
