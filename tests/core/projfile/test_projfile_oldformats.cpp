// Project file formats 1 to 4: the hand-written fixtures, re-saves,
// conversion, the lines each format leaves out and bad input.
#include "ProjfileTest.h"
#include "core/projfile/ProjectFormat.h"
#include "core/projfile/Workspace.h"

#include <gtest/gtest.h>

using namespace core;
using projtest::FixtureDir;
using projtest::ReadFixture;

namespace {

constexpr int64_t kLoadTime = 1'700'000'000;
constexpr std::u16string_view kDir = u"/p/";

struct Project
{
    ProjectData data;
    WorkspaceDocuments docs;
};

Project Parse(const std::string& bytes)
{
    Project p;
    SetProjectDefaults(p.data, kLoadTime);
    KxpArchive ar(false, u"/p/Lis.kxp", bytes);
    p.data.FormatVersion = ReadProjectHeader(ar);
    projtest::ReadProjectBody(ar, p.data.FormatVersion, p.data, p.docs, kDir, kLoadTime);
    return p;
}

Project Load(const std::string& sub)
{
    Project p = Parse(ReadFixture(sub, "Lis.kxp"));
    if (p.data.FormatVersion >= 5) {
        KxpArchive ws(false, u"/p/Lis.kxw", ReadFixture(sub, "Lis.kxw"));
        ReadWorkspace(ws, p.data, p.docs, p.data.FormatVersion, kDir);
    }
    return p;
}

// The project file (and for formats 5 and 6 the workspace file).
std::pair<std::string, std::string> Save(const Project& p)
{
    return projtest::SaveProject(p.data, p.docs, std::u16string(kDir));
}

// Replaces the first occurrence of `from` (which must exist).
std::string Replace(std::string s, const std::string& from, const std::string& to)
{
    const size_t at = s.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos)
        s.replace(at, from.size(), to);
    return s;
}

std::vector<std::string> Lines(const std::string& s)
{
    std::vector<std::string> out;
    size_t i = 0;
    while (i < s.size()) {
        size_t e = s.find("\r\n", i);
        out.push_back(s.substr(i, e - i));
        i = e + 2;
    }
    return out;
}

} // namespace

TEST(ProjfileOldFormats, FixturesReadAsTheFormat5Project)
{
    projtest::UseFixtureTimeZone();
    Project v5 = Load("v5");
    for (int version : {4, 3, 2, 1}) {
        Project p = Load("v" + std::to_string(version));
        EXPECT_EQ(p.data.FormatVersion, version);
        ProjectData expected = v5.data;
        expected.FormatVersion = version;
        if (version <= 3) {
            expected.WatchRegsOnLineInterval = 1000;
            expected.WatchPLCRegsInSrc = 1;
        }
        if (version == 1)
            expected.HeaderFiles.clear();
        EXPECT_EQ(p.data, expected) << "format " << version;
        EXPECT_EQ(p.docs, version >= 3 ? v5.docs : WorkspaceDocuments{}) << "format " << version;
    }
    // The documents are resolved against the folder given.
    Project v3 = Load("v3");
    EXPECT_EQ(v3.docs.lists[WorkspaceDocuments::PlcSource].at(0).path, u"/p/src/Osy.plc");
}

TEST(ProjfileOldFormats, FixturesResaveByteIdenticalAndConvert)
{
    projtest::UseFixtureTimeZone();
    for (const char* sub : {"v1", "v2", "v3", "v4"}) {
        Project p = Load(sub);
        auto [kxp, kxw] = Save(p); // the conversion answered No
        EXPECT_EQ(kxp, ReadFixture(sub, "Lis.kxp")) << sub;
        EXPECT_TRUE(kxw.empty());
    }
    Project p = Load("v4");
    p.data.FormatVersion = 6; // answered Yes
    auto [kxp, kxw] = Save(p);
    EXPECT_EQ(kxp, ReadFixture("v6", "Lis.kxp"));
    EXPECT_EQ(kxw, ReadFixture("v6", "Lis.kxw"));
}

TEST(ProjfileOldFormats, WhatEachFormatKeeps)
{
    ProjectData rich = projtest::RichProject();
    // Format 2 keeps the headers and drops the register-watch interval and
    // flag, which read back as their defaults.
    rich.FormatVersion = 2;
    Project p2 = Parse(Save(Project{rich, {}}).first);
    EXPECT_EQ(p2.data.HeaderFiles, rich.HeaderFiles);
    EXPECT_EQ(p2.data.WatchRegsOnLineInterval, 1000);
    EXPECT_EQ(p2.data.WatchPLCRegsInSrc, 1);
    EXPECT_EQ(p2.data.AllowDebug, u"Off"); // carried by the "Debug" keyword
    EXPECT_EQ(p2.data.Breakpoints, rich.Breakpoints);
    // Format 1 loses the headers.
    rich.FormatVersion = 1;
    Project p1 = Parse(Save(Project{rich, {}}).first);
    EXPECT_TRUE(p1.data.HeaderFiles.empty());
    EXPECT_EQ(p1.data.SourceFiles, rich.SourceFiles);
    // Format 4 keeps everything.
    rich.FormatVersion = 4;
    Project p4 = Parse(Save(Project{rich, {}}).first);
    EXPECT_EQ(p4.data, rich);
}

TEST(ProjfileOldFormats, EdgeCasesOfTheLines)
{
    projtest::UseFixtureTimeZone();
    const std::string v1 = ReadFixture("v1", "Lis.kxp");
    const std::string v2 = ReadFixture("v2", "Lis.kxp");

    // No pages: the default page stays selected, whatever the next line is.
    const size_t from = v1.find("PlaquesCount = 2");
    const size_t to = v1.find("WatchMechsCount");
    Project p = Parse(v1.substr(0, from) + "PlaquesCount = 0\r\n}} garbage {{\r\n" + v1.substr(to));
    ASSERT_EQ(p.data.WatchPlaques.size(), 1u);
    EXPECT_EQ(p.data.WatchPlaques[0].Name, u"Plaketa 0");
    EXPECT_EQ(p.data.SelectedPlaque, 0);

    // No "Config" pair: the default configuration.
    p = Parse(Replace(Replace(v1, "KeyWord = Config\r\nValue = \"Lis2\"\r\n", ""),
                      "AddKeyWordsCount = 8", "AddKeyWordsCount = 7"));
    EXPECT_EQ(p.data.Config, u"Default");

    // String keys ignore case, number keys do not.
    p = Parse(Replace(v1, "PathOutput = Output", "pathoutput = Out"));
    EXPECT_EQ(p.data.PathOutput, u"Out");
    EXPECT_THROW(Parse(Replace(v1, "PLCSourceFilesCount", "plcsourcefilescount")),
                 ProjectFormatError);

    // An empty value, with and without "=".
    EXPECT_EQ(Parse(Replace(v1, "PathBorland = ", "PathBorland =")).data.PathBorland, u"");
    EXPECT_EQ(Parse(Replace(v1, "PathBorland = ", "PathBorland")).data.PathBorland, u"");

    // Quotes: a fixed keyword loses them, an extra one keeps them.
    p = Parse(Replace(v1, "Value = \"/c /Zm /Gd /nologo\"", "Value = \"/c \"q\" /Zm\""));
    EXPECT_EQ(p.data.AsmFlags, u"/c  q  /Zm");
    EXPECT_EQ(p.data.ExtraKeywords.at(1).Value, u"\"LIS_2\" /DX");

    // "NameCreateMap=" is a second try of format 1 only.
    p = Parse(Replace(v1, "NameCreateMap = Ferrox.exe", "NameCreateMap= Ferrox.exe  "));
    EXPECT_EQ(p.data.NameCreateMap, u"Ferrox.exe  ");
    p = Parse(Replace(v1, "NameCreateMap = Ferrox.exe", "NameCreateMap\t=Map.exe"));
    EXPECT_EQ(p.data.NameCreateMap, u"Map.exe");
    for (const char* bad : {"NameCreateMap=", "NameCreateMap=   ", " NameCreateMap=x",
                            "namecreatemap=x", "NameCreateMapX= x"})
        EXPECT_THROW(Parse(Replace(v1, "NameCreateMap = Ferrox.exe", bad)), ProjectFormatError)
            << bad;
    EXPECT_THROW(Parse(Replace(v2, "NameCreateMap = Ferrox.exe", "NameCreateMap= Ferrox.exe")),
                 ProjectFormatError);

    // The compiler version numbers.
    auto version = [&](const char* target, const char* ver) {
        ProjectData d = Parse(Replace(Replace(v1, "Value = \"Haldor\"",
                                              std::string("Value = \"") + target + "\""),
                                      "TarvaneVer = 632", std::string("TarvaneVer = ") + ver))
                            .data;
        return std::vector<int>{d.TarvaneVerMajor, d.TarvaneVerMinor, d.PelmarVer};
    };
    EXPECT_EQ(version("DOS", "2.5"), (std::vector<int>{2, 5, 0}));
    EXPECT_EQ(version("Haldor", "632"), (std::vector<int>{0, 0, 632}));
    EXPECT_EQ(version("DOS", "2"), (std::vector<int>{2, 0, 0}));
}

TEST(ProjfileOldFormats, EveryBadOrMissingLineFails)
{
    projtest::UseFixtureTimeZone();
    for (const char* sub : {"v1", "v2", "v3", "v4"}) {
        const std::string good = ReadFixture(sub, "Lis.kxp");
        const std::vector<std::string> lines = Lines(good);
        ASSERT_GT(lines.size(), 80u);
        // From the first body line on: any line replaced by a foreign one,
        // and the file cut before it.
        for (size_t k = 2; k < lines.size(); ++k) {
            std::string replaced, cut;
            for (size_t i = 0; i < lines.size(); ++i) {
                replaced += (i == k ? std::string("Foreign = 1") : lines[i]) + "\r\n";
                if (i < k)
                    cut += lines[i] + "\r\n";
            }
            EXPECT_THROW(Parse(replaced), ProjectFormatError) << sub << " line " << k + 1;
            EXPECT_THROW(Parse(cut), ProjectFormatError) << sub << " cut at " << k + 1;
        }
        // Lines after the last expected one are ignored.
        EXPECT_NO_THROW(Parse(good + "Anything\r\n"));
    }
}
