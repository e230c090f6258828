// The pure checks of the conditional build and the version update.
#include "core/build/BuildChecks.h"
#include "tests/support/platform/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace core;

TEST(BuildChecks, PlcVersionScan)
{
    const std::vector<std::u16string> folders{u"PLC5120", u"PLC6349",  u"plc6400", u"PLC7",
                                              u"PLC6x00", u"PLC61234", u"XPLC9999"};
    const auto v = NewestPlcVersion(folders, 6, 349);
    ASSERT_TRUE(v);
    EXPECT_EQ(*v, std::make_pair(6, 400));
    EXPECT_FALSE(NewestPlcVersion(folders, 6, 400));
    EXPECT_EQ(NewestPlcVersion({u"PLC632"}, 0, 0),
              std::make_pair(6, 32)); // one to three minor digits
}

TEST(BuildChecks, PelmarVersionScan)
{
    EXPECT_EQ(NewestPelmarVersion({u"Pelmar0632", u"PELMAR0700", u"Pelmar", u"Pelmarx1",
                                   u"Pelmar1234567890"},
                                  632),
              700);
    // A revision of 10000 or more lies in a folder with five digits.
    EXPECT_EQ(NewestPelmarVersion({u"Pelmar0700", u"Pelmar12345"}, 632), 12345);
    EXPECT_FALSE(NewestPelmarVersion({u"Pelmar0632"}, 632));
    EXPECT_EQ(NewestPelmarVersion({u"Pelmar7"}, 0), 7);
}

TEST(BuildChecks, OnlyFoldersAreListed)
{
    testsupport::TempDir dir;
    dir.Write("Pelmar0800", "a file");
    dir.Write("Pelmar0700/System/Tarv", "x");
    const auto folders = ListSubfolders(dir.Path());
    EXPECT_EQ(folders, std::vector<std::u16string>{u"Pelmar0700"});
    EXPECT_EQ(NewestPelmarVersion(folders, 632), 700);
    EXPECT_TRUE(ListSubfolders(dir / "missing").empty());
}

TEST(BuildChecks, SettingsTimeStandsForTheEndOfItsSecond)
{
    const sys::FileTime settings = SettingsTimeInstant(1'700'000'000);
    EXPECT_FALSE(OutputIsCurrent(sys::FileTimeFromUnix(1'700'000'000, 500'000'000), settings));
    EXPECT_TRUE(OutputIsCurrent(sys::FileTimeFromUnix(1'700'000'001), settings));
    EXPECT_FALSE(OutputIsCurrent(std::nullopt, 0));
    EXPECT_TRUE(OutputIsCurrent(sys::FileTime(5), 5)); // the same instant is not older
}

TEST(BuildChecks, PlcBinTokenizer)
{
    EXPECT_EQ(
        ParsePlcBinNames(
            u"PLC.BIN\r\n  \"Lod kap.exe\" comment\r\n\t a.bin b.bin\n\n\"\"\r\n\"open\r\nlast"),
        (std::vector<std::u16string>{u"PLC.BIN", u"Lod kap.exe", u"a.bin", u"open", u"last"}));
    EXPECT_TRUE(ParsePlcBinNames(u" \r\n\t").empty());
}
