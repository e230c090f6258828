#include "platform/sys/LastError.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace sys {

namespace {

thread_local uint32_t t_lastError = 0;

struct MessageEntry
{
    uint32_t code;
    const char* text;
};

// The program's message table.
constexpr MessageEntry kMessageTable[] = {
    {OLNK_E_PENDING, "Overlapped opperation is in progress."},
    {OLNK_E_UNEXPECTED, "Unexpected error."},
    {OLNK_E_INVALIDARG, "Invalid arguments."},
    {OLNK_E_OUTOFMEMORY, "Not enought memory."},
    {OLNK_E_HANDLE, "Invalid handle value."},
    {OLNK_E_TIMEOUT, "Time-out interval elapsed."},
    {OLNK_E_RESET, "Connection was reset."},
    {OLNK_E_SECOND_RESET, "Second reset before the first reset was completed."},
    {OLNK_E_BUSY,
     "Connection can't be closed, because functions which used them are in progress."},
    {OLNK_E_TOO_MANY_ASYNC, "Too many assynchronus operations are in progress."},
};

const char* FindMessage(uint32_t code)
{
    for (const auto& e : kMessageTable) {
        if (e.code == code)
            return e.text;
    }
    return nullptr;
}

} // namespace

uint32_t GetLastError() { return t_lastError; }

void SetLastError(uint32_t code) { t_lastError = code; }

uint32_t SetLastErrorFromErrno()
{
    t_lastError = static_cast<uint32_t>(errno);
    return t_lastError;
}

std::string ErrorText(uint32_t code)
{
    if (const char* text = FindMessage(code))
        return text;
    if (code > 0 && code < 4096) {
        char buf[256];
        // GNU strerror_r returns the text, which may or may not be buf.
        const char* text = strerror_r(static_cast<int>(code), buf, sizeof buf);
        if (text && *text && std::strncmp(text, "Unknown error", 13) != 0)
            return text;
    }
    char buf[32];
    std::snprintf(buf, sizeof buf, "Error 0x%08X.", code);
    return buf;
}

} // namespace sys
