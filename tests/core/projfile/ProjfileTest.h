#pragma once
// Helpers of the project file tests: a project with every field set, and
// text <-> bytes of a file.

#include "core/projfile/ProjectData.h"
#include "platform/sys/CodePage.h"
#include "platform/sys/FileIO.h"

#include <cstdlib>
#include <ctime>
#include <string>

namespace projtest {

// Every field differs from its default.
inline core::ProjectData RichProject()
{
    core::ProjectData d;
    core::SetProjectDefaults(d, 1'000'000'000);
    d.SourceFiles = {{u"Main.plc", u"Main.plc"}, {u"Osy.plc", u"src\\Osy.plc"}};
    d.HeaderFiles = {{u"Defs.inc", u"..\\shared\\Defs.inc"}};
    d.SupportFiles = {{u"a.bin", u"data\\a.bin", u"\\PLC\\a.bin", 1, 2, 3},
                      {u"b.txt", u"b.txt", u"", -1, 0, 2147483647}};
    d.PLCComment = u"Řízení lisu č. 5";
    d.Config = u"Lis";
    d.Target = u"Haldor";
    d.TarvaneVer = u"640";
    d.AsmFlags = u"/c /Zm";
    d.PathXPDDK = u"C:\\WINDDK\\";
    d.LinkFlags = u"/nologo";
    d.AllowDebug = u"Off";
    d.ExtraKeywords = {{u"Opt", u"\"x\""}, {u"Speed", u"3"}};
    d.WatchPlaques = {{u"Osy", {u"X", u"Y.Z"}}, {u"Empty", {}}};
    d.SelectedPlaque = 1;
    d.WatchedMechanisms = {u"MECH1", u"MECH2"};
    d.Breakpoints = {1, 42, 4000000000u};
    d.WatchInterval = 40000;
    d.WatchMechInterval = 250;
    d.WatchRegsOnLineInterval = 65535;
    d.DisplayAsHex = 0;
    d.WatchPLCRegsInSrc = 7;
    d.OlnkConnectionString = u"Type = UDP; RemoteIP = 127.0.0.1;";
    core::RecomputeCompilerVersion(d);
    return d;
}

inline std::string Ansi(std::u16string_view text)
{
    return sys::WideToAnsi(text);
}

// The time zone of the fixtures (their times lie outside the repeated
// daylight-saving hour).
inline void UseFixtureTimeZone()
{
    ::setenv("TZ", "Europe/Prague", 1);
    ::tzset();
}

// The folder of the hand-written project fixtures (no trailing "/").
inline std::string FixtureDir(const std::string& sub)
{
    const char* root = std::getenv("SW_FIXTURES");
    return std::string(root ? root : "tests/fixtures") + "/project/" + sub;
}

inline std::string ReadFixture(const std::string& sub, const std::string& name)
{
    return sys::ReadWholeFile(FixtureDir(sub) + "/" + name).value_or(std::string());
}

} // namespace projtest
