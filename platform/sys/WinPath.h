#pragma once
// The Windows path rules that stored files and the control system use,
// on strings in Windows form, and the one conversion from such a path to a
// native file-system path.
//
// Both "\" and "/" are separators.  A local path on this system is held in
// native form beginning with "/" ("/home/u/p/Lis.kxp"); drive-letter and UNC
// paths behave as on Windows but never name a local file; a control-system
// path (first character "\", second not) is never mapped to a local one.
// Paths longer than kMaxPath - 1 characters make the functions fail.
//
// Each function exists for UTF-16 strings and for 8-bit (ANSI) strings.

#include <optional>
#include <string>
#include <string_view>

namespace sys::WinPath {

constexpr size_t kMaxPath = 260;

// The native path for a path in Windows form (relative paths are taken as
// they are, relative to the current folder).  Each component that does not
// exist under its exact name is looked up without regard to case
// ("MAIN.PLC" finds "main.plc").  Missing components are kept as given, so
// a file to be created maps too.  Fails (nullopt) for drive-letter, UNC and
// control-system paths and for invalid text.
std::optional<std::string> ToNative(std::u16string_view path);
std::optional<std::string> ToNative(std::string_view ansiPath);

// A native path (UTF-8) as a path in UTF-16 form (it still begins with "/").
std::u16string FromNative(std::string_view nativePath);

} // namespace sys::WinPath
