#pragma once
// Stand-in for the outside crash-reporting library: Install prepares a
// report folder ($XDG_STATE_HOME/ORNA/Strandwork/, default
// ~/.local/state/...) and handles SIGSEGV, SIGBUS, SIGILL, SIGFPE and
// SIGABRT on an alternate stack.  The handler writes
// "crash-<pid>-<seconds>.txt" with the title line, the signal, the pid, the
// time, the program path, the language value, the report address and a
// backtrace, then lets the signal end the process as it would have.
// The callback is kept and never called.  A real reporting library would
// replace this file.

#include <string>

namespace crashreport {

using Callback = int (*)();

struct Handle;

// Never null.  The same handle is returned by later calls.
Handle* Install(Callback callback, const std::u16string& address, const std::u16string& title,
                const std::u16string& language);

// The folder reports are written to, with a trailing "/" (after Install).
std::string ReportFolder();

} // namespace crashreport
