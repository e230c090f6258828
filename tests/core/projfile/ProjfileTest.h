#pragma once
// Helpers of the project file tests: a project with every field set,
// text <-> bytes of a file, the fixtures, and a project's files read and
// written in any format version.

#include "core/projfile/ProjectData.h"
#include "core/projfile/ProjectFormat.h"
#include "core/projfile/Workspace.h"
#include "platform/sys/CodePage.h"
#include "platform/sys/FileIO.h"

#include <cstdlib>
#include <ctime>
#include <string>
#include <string_view>
#include <utility>

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

// The project body of format 1 to 6 (dir: the project's folder, for the
// documents of formats 1 to 4); any other version is a format error.
inline void ReadProjectBody(core::KxpArchive& ar, int version, core::ProjectData& data,
                            core::WorkspaceDocuments& docs, std::u16string_view dir,
                            int64_t loadTime)
{
    switch (version) {
    case 6:
        return core::ReadProjectBodyV6(ar, data, loadTime);
    case 5:
        return core::ReadProjectBodyV5(ar, data, loadTime);
    case 4:
        return core::ReadProjectBodyV4(ar, data, docs, dir, loadTime);
    case 3:
        return core::ReadProjectBodyV3(ar, data, docs, dir, loadTime);
    case 2:
        return core::ReadProjectBodyV2(ar, data, docs, dir, loadTime);
    case 1:
        return core::ReadProjectBodyV1(ar, data, docs, dir, loadTime);
    default:
        core::ThrowFormatError(ar);
    }
}

// The project file "Lis.kxp" in the folder dir (with its trailing "/") as
// the document writes it in the project's format version, and for formats 5
// and 6 the workspace file "Lis.kxw" (empty for the older formats).
inline std::pair<std::string, std::string> SaveProject(const core::ProjectData& data,
                                                       const core::WorkspaceDocuments& docs,
                                                       const std::u16string& dir)
{
    core::KxpArchive ar(true, dir + u"Lis.kxp");
    const int v = data.FormatVersion;
    core::WriteProjectHeader(ar, v);
    switch (v) {
    case 1:
        core::WriteProjectBodyV1(ar, data, docs, dir);
        break;
    case 2:
        core::WriteProjectBodyV2(ar, data, docs, dir);
        break;
    case 3:
        core::WriteProjectBodyV3(ar, data, docs, dir);
        break;
    case 4:
        core::WriteProjectBodyV4(ar, data, docs, dir);
        break;
    default:
        v == 5 ? core::WriteProjectBodyV5(ar, data) : core::WriteProjectBodyV6(ar, data);
        core::KxpArchive ws(true, dir + u"Lis.kxw");
        core::WriteWorkspace(ws, data, docs, v, dir);
        return {ar.Bytes(), ws.Bytes()};
    }
    return {ar.Bytes(), {}};
}

} // namespace projtest
