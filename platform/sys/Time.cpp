#include "platform/sys/Time.h"

#include <chrono>

namespace sys {

uint64_t GetTickCount64()
{
    using namespace std::chrono;
    return static_cast<uint64_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

uint32_t GetTickCount() { return static_cast<uint32_t>(GetTickCount64()); }

FileTime FileTimeFromUnix(int64_t seconds, int64_t nanoseconds)
{
    return static_cast<FileTime>(seconds * 10000000LL + nanoseconds / 100) + kFileTimeUnixEpoch;
}

int64_t FileTimeToUnix(FileTime ft)
{
    int64_t t = static_cast<int64_t>(ft) - static_cast<int64_t>(kFileTimeUnixEpoch);
    // Floor division so that times before 1970 round down too.
    int64_t s = t / 10000000LL;
    if (t % 10000000LL < 0)
        --s;
    return s;
}

FileTime GetSystemTimeAsFileTime()
{
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return FileTimeFromUnix(ts.tv_sec, ts.tv_nsec);
}

bool FileTimeToLocalSystemTime(FileTime ft, SystemTime& out)
{
    int64_t secs = FileTimeToUnix(ft);
    int64_t rest = static_cast<int64_t>(ft) - static_cast<int64_t>(FileTimeFromUnix(secs));
    time_t t = static_cast<time_t>(secs);
    tm lt{};
    if (!localtime_r(&t, &lt))
        return false;
    out.year = static_cast<uint16_t>(lt.tm_year + 1900);
    out.month = static_cast<uint16_t>(lt.tm_mon + 1);
    out.dayOfWeek = static_cast<uint16_t>(lt.tm_wday);
    out.day = static_cast<uint16_t>(lt.tm_mday);
    out.hour = static_cast<uint16_t>(lt.tm_hour);
    out.minute = static_cast<uint16_t>(lt.tm_min);
    out.second = static_cast<uint16_t>(lt.tm_sec);
    out.milliseconds = static_cast<uint16_t>(rest / 10000);
    return true;
}

namespace {

bool ValidSystemTime(const SystemTime& st)
{
    static const int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (st.month < 1 || st.month > 12 || st.day < 1 || st.hour > 23 || st.minute > 59 ||
        st.second > 59 || st.milliseconds > 999 || st.year < 1601 || st.year > 30827)
        return false;
    if (st.day > kDays[st.month - 1])
        return false;
    if (st.month == 2 && st.day == 29) {
        bool leap = (st.year % 4 == 0 && st.year % 100 != 0) || st.year % 400 == 0;
        if (!leap)
            return false;
    }
    return true;
}

} // namespace

bool LocalSystemTimeToFileTime(const SystemTime& st, FileTime& out)
{
    if (!ValidSystemTime(st))
        return false;
    tm lt{};
    lt.tm_year = st.year - 1900;
    lt.tm_mon = st.month - 1;
    lt.tm_mday = st.day;
    lt.tm_hour = st.hour;
    lt.tm_min = st.minute;
    lt.tm_sec = st.second;
    lt.tm_isdst = -1;
    time_t t = mktime(&lt);
    if (t == static_cast<time_t>(-1) && !(lt.tm_year == 69 && lt.tm_mon == 11 && lt.tm_mday == 31))
        return false;
    out = FileTimeFromUnix(t, static_cast<int64_t>(st.milliseconds) * 1000000);
    return true;
}

bool DosDateTimeToLocal(uint16_t dosDate, uint16_t dosTime, SystemTime& out)
{
    SystemTime st;
    st.year = static_cast<uint16_t>(1980 + (dosDate >> 9));
    st.month = static_cast<uint16_t>((dosDate >> 5) & 0x0F);
    st.day = static_cast<uint16_t>(dosDate & 0x1F);
    st.hour = static_cast<uint16_t>(dosTime >> 11);
    st.minute = static_cast<uint16_t>((dosTime >> 5) & 0x3F);
    st.second = static_cast<uint16_t>((dosTime & 0x1F) * 2);
    if (!ValidSystemTime(st))
        return false;
    // The day of the week, from the calendar.
    tm lt{};
    lt.tm_year = st.year - 1900;
    lt.tm_mon = st.month - 1;
    lt.tm_mday = st.day;
    lt.tm_hour = 12;
    lt.tm_isdst = -1;
    if (mktime(&lt) != static_cast<time_t>(-1))
        st.dayOfWeek = static_cast<uint16_t>(lt.tm_wday);
    out = st;
    return true;
}

bool LocalToDosDateTime(const SystemTime& st, uint16_t& dosDate, uint16_t& dosTime)
{
    if (!ValidSystemTime(st) || st.year < 1980 || st.year > 2107)
        return false;
    dosDate = static_cast<uint16_t>(((st.year - 1980) << 9) | (st.month << 5) | st.day);
    dosTime = static_cast<uint16_t>((st.hour << 11) | (st.minute << 5) | (st.second / 2));
    return true;
}

bool DosDateTimeToFileTime(uint16_t dosDate, uint16_t dosTime, FileTime& out)
{
    SystemTime st;
    return DosDateTimeToLocal(dosDate, dosTime, st) && LocalSystemTimeToFileTime(st, out);
}

bool FileTimeToDosDateTime(FileTime ft, uint16_t& dosDate, uint16_t& dosTime)
{
    SystemTime st;
    return FileTimeToLocalSystemTime(ft, st) && LocalToDosDateTime(st, dosDate, dosTime);
}

} // namespace sys
