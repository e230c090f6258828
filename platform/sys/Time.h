#pragma once
// Clocks and the time formats of stored files and of the link: a monotonic
// tick count in milliseconds, 100 ns file times counted from 1601-01-01 UTC,
// and the DOS date and time words.

#include <cstdint>
#include <ctime>

namespace sys {

// Milliseconds of a monotonic clock; wraps after 49.7 days like the
// 32-bit tick count of the link's time-outs.
uint32_t GetTickCount();
uint64_t GetTickCount64();

// A file time: 100 ns units since 1601-01-01 00:00:00 UTC.
using FileTime = uint64_t;
constexpr FileTime kFileTimeUnixEpoch = 116444736000000000ULL;

FileTime GetSystemTimeAsFileTime();
FileTime FileTimeFromUnix(int64_t seconds, int64_t nanoseconds = 0);
// Seconds since 1970 (rounded down) of a file time.
int64_t FileTimeToUnix(FileTime ft);

// Broken-down time, as the Windows SYSTEMTIME.
struct SystemTime
{
    uint16_t year = 1980;
    uint16_t month = 1; // 1..12
    uint16_t dayOfWeek = 0; // 0 = Sunday
    uint16_t day = 1; // 1..31
    uint16_t hour = 0;
    uint16_t minute = 0;
    uint16_t second = 0;
    uint16_t milliseconds = 0;
};

// File time <-> broken-down local time (the machine's time zone).
bool FileTimeToLocalSystemTime(FileTime ft, SystemTime& out);
bool LocalSystemTimeToFileTime(const SystemTime& st, FileTime& out);

// DOS date word: bits 15-9 year - 1980, 8-5 month, 4-0 day.
// DOS time word: bits 15-11 hour, 10-5 minute, 4-0 second / 2.
// Both in local time.  A date or time out of range fails.
bool DosDateTimeToLocal(uint16_t dosDate, uint16_t dosTime, SystemTime& out);
bool LocalToDosDateTime(const SystemTime& st, uint16_t& dosDate, uint16_t& dosTime);
bool DosDateTimeToFileTime(uint16_t dosDate, uint16_t dosTime, FileTime& out);
bool FileTimeToDosDateTime(FileTime ft, uint16_t& dosDate, uint16_t& dosTime);

} // namespace sys
