#pragma once
// What the debugging windows tell the user about a change of the control
// system that the link refused or whose reply never came: one text for
// each, so that every window says the same (docs/plcviews.md, "A silent
// control system").

#include "platform/sys/LastError.h"

#include <QString>

#include <cstdint>

struct LinkResultRecord;

namespace plcviews {

// The text of a change the link refused with error (by default the
// thread's last error, so call it right after the refused call): the
// silence's notice when the control system was silent, else the window's
// own text.
QString RefusalText(unsigned ownId, uint32_t error = sys::GetLastError());
// The same as a line of the output window: the window's own line (it ends
// in CR LF), or the silence's notice with CR LF.
QString RefusalLine(unsigned ownLineId, uint32_t error = sys::GetLastError());

// A change the link ended without its reply (reset, closed, unanswered):
// the control system may have carried it out (OlnkFateUnknown).
bool FateUnknown(const LinkResultRecord& r);
// The output line for such a change; command is the request's name.
QString FateUnknownLine(const QString& command);

// Appends a text to the output window, when there is one.
void OutputText(const QString& text);
// The output line of a failed result of a debugging window: its own text
// failedId formatted with the status, or, for a change whose fate is
// unknown, FateUnknownLine(command).  Nothing for a success.
void OutputResult(const LinkResultRecord& r, unsigned failedId, const char* command);

} // namespace plcviews
