#pragma once
// The parser of the build tools' output: 8-bit lines in code page 1250.
// See docs/build.md for the protocol.

#include "core/common/OutputSink.h"

#include <cstddef>
#include <string>

namespace core {

// Takes one chunk of tool output (bytes, length; a null pointer is the
// final call after the tool ended) and the caller's pending bytes (the
// start of a line whose line end has not arrived yet).  Every complete
// line goes to the sink: result lines ("$ReturnVal %d$") are not shown,
// diagnostics that name an existing file become tagged lines, the rest is
// plain text.  Returns the last nonzero result value of the call, 0 when
// there is none.  A null sink shows nothing.
int ParseBuildOutputLine(const char* bytes, size_t length, std::string& pending, OutputSink* sink);

} // namespace core
