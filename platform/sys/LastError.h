#pragma once
// The thread's last error and the texts of error codes.
//
// The Qt-free libraries report failures the way the link library's callers
// expect: a function returns 0 (or -1) and leaves a code in the calling
// thread's last error.  System failures carry errno values; the link
// library's own codes are listed below.

#include <cstdint>
#include <string>

namespace sys {

// The link library's own codes.
constexpr uint32_t OLNK_E_PENDING = 0x2002000B;         // "Overlapped opperation is in progress."
constexpr uint32_t OLNK_E_UNEXPECTED = 0xE0020002;      // "Unexpected error."
constexpr uint32_t OLNK_E_INVALIDARG = 0xE0020003;      // "Invalid arguments."
constexpr uint32_t OLNK_E_OUTOFMEMORY = 0xE0020004;     // "Not enought memory."
constexpr uint32_t OLNK_E_HANDLE = 0xE0020005;          // "Invalid handle value."
constexpr uint32_t OLNK_E_TIMEOUT = 0xE0020006;         // "Time-out interval elapsed."
constexpr uint32_t OLNK_E_RESET = 0xE0020007;           // "Connection was reset."
constexpr uint32_t OLNK_E_SECOND_RESET = 0xE0020008;    // "Second reset before ..."
constexpr uint32_t OLNK_E_BUSY = 0xE0020009;            // "Connection can't be closed, ..."
constexpr uint32_t OLNK_E_TOO_MANY_ASYNC = 0xE002000A;  // "Too many assynchronus ..."

uint32_t GetLastError();
void SetLastError(uint32_t code);

// Sets the last error from errno and returns it.
uint32_t SetLastErrorFromErrno();

// The text of a code: the message table for the link library's codes,
// strerror for system codes, "Error 0x%08X." for anything unknown.  No line
// end is appended.
std::string ErrorText(uint32_t code);

} // namespace sys
