#include "platform/sys/LastError.h"
#include "platform/sys/Time.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace sys;

TEST(Time, FileTimesCountFrom1601In100ns)
{
    EXPECT_EQ(FileTimeFromUnix(0), kFileTimeUnixEpoch);
    EXPECT_EQ(FileTimeToUnix(FileTimeFromUnix(1700000000, 999999999)), 1700000000);
    EXPECT_EQ(FileTimeToUnix(kFileTimeUnixEpoch - 1), -1);
    FileTime now = GetSystemTimeAsFileTime();
    EXPECT_GT(now, FileTimeFromUnix(1700000000));
}

TEST(Time, DosDateAndTimeRoundTripInLocalTime)
{
    setenv("TZ", "Europe/Prague", 1);
    tzset();
    // 2024-07-15 13:45:30
    uint16_t date = static_cast<uint16_t>(((2024 - 1980) << 9) | (7 << 5) | 15);
    uint16_t time = static_cast<uint16_t>((13 << 11) | (45 << 5) | 15);
    SystemTime st;
    ASSERT_TRUE(DosDateTimeToLocal(date, time, st));
    EXPECT_EQ(st.year, 2024);
    EXPECT_EQ(st.month, 7);
    EXPECT_EQ(st.day, 15);
    EXPECT_EQ(st.dayOfWeek, 1); // a Monday
    EXPECT_EQ(st.hour, 13);
    EXPECT_EQ(st.minute, 45);
    EXPECT_EQ(st.second, 30);

    FileTime ft;
    ASSERT_TRUE(DosDateTimeToFileTime(date, time, ft));
    EXPECT_EQ(FileTimeToUnix(ft), 1721043930); // 11:45:30 UTC in summer time
    uint16_t d2, t2;
    ASSERT_TRUE(FileTimeToDosDateTime(ft, d2, t2));
    EXPECT_EQ(d2, date);
    EXPECT_EQ(t2, time);
}

TEST(Time, InvalidDosDatesAreRefused)
{
    SystemTime st;
    EXPECT_FALSE(DosDateTimeToLocal(0, 0, st)); // month 0, day 0
    uint16_t feb30 = static_cast<uint16_t>((44 << 9) | (2 << 5) | 30);
    EXPECT_FALSE(DosDateTimeToLocal(feb30, 0, st));
    uint16_t badTime = static_cast<uint16_t>(24 << 11);
    uint16_t okDate = static_cast<uint16_t>((44 << 9) | (1 << 5) | 1);
    EXPECT_FALSE(DosDateTimeToLocal(okDate, badTime, st));
    SystemTime before1980;
    before1980.year = 1979;
    uint16_t d, t;
    EXPECT_FALSE(LocalToDosDateTime(before1980, d, t));
}

TEST(Time, TickCountIsMonotonic)
{
    uint64_t a = GetTickCount64();
    uint64_t b = GetTickCount64();
    EXPECT_LE(a, b);
}

TEST(LastError, IsPerThreadAndHasTheLinkTexts)
{
    SetLastError(OLNK_E_TIMEOUT);
    EXPECT_EQ(GetLastError(), OLNK_E_TIMEOUT);
    EXPECT_EQ(ErrorText(0xE0020006), "Time-out interval elapsed.");
    EXPECT_EQ(ErrorText(0xE0020004), "Not enought memory.");
    EXPECT_EQ(ErrorText(0x2002000B), "Overlapped opperation is in progress.");
    EXPECT_EQ(ErrorText(0xE002000A), "Too many assynchronus operations are in progress.");
    EXPECT_EQ(ErrorText(2), "No such file or directory");
    EXPECT_EQ(ErrorText(0xE00200FF), "Error 0xE00200FF.");
}
