// The hand-written fixtures of tests/fixtures/project: what they read as,
// byte-identical re-saves of formats 6 and 5, the conversion of format 5 to
// 6, every bad project file and a workspace file cut short.
#include "ProjfileTest.h"
#include "core/projfile/ProjectFormat.h"
#include "core/projfile/Workspace.h"

#include <gtest/gtest.h>

#include <dirent.h>

#include <algorithm>

using namespace core;
using projtest::FixtureDir;
using projtest::ReadFixture;

namespace {

constexpr int64_t kLoadTime = 1'700'000'000;

struct Project
{
    ProjectData data;
    WorkspaceDocuments docs;
    bool newer = false; // the newer-version message would be shown
};

std::u16string U16(const std::string& s)
{
    return sys::AnsiToWide(s);
}

// The project file as the document reads it: header, version check, the
// body of the version (bad/version-3.kxp holds a format 6 body under
// version 3, which the format 3 reader refuses).
void ReadProject(const std::string& path, const std::string& bytes, Project& p)
{
    KxpArchive ar(false, U16(path), bytes);
    SetProjectDefaults(p.data, kLoadTime);
    const int version = ReadProjectHeader(ar);
    if (static_cast<unsigned>(version) > 6u) {
        p.newer = true;
        ThrowFormatError(ar);
    }
    p.data.FormatVersion = version;
    const std::u16string dir = U16(path.substr(0, path.rfind('/') + 1));
    projtest::ReadProjectBody(ar, version, p.data, p.docs, dir, kLoadTime);
}

Project Load(const std::string& sub)
{
    Project p;
    const std::string dir = FixtureDir(sub);
    ReadProject(dir + "/Lis.kxp", ReadFixture(sub, "Lis.kxp"), p);
    KxpArchive ws(false, U16(dir + "/Lis.kxw"), ReadFixture(sub, "Lis.kxw"));
    ReadWorkspace(ws, p.data, p.docs, p.data.FormatVersion, U16(dir + "/"));
    return p;
}

// Both files as the document writes them in the project's format version.
std::pair<std::string, std::string> Save(const Project& p)
{
    return projtest::SaveProject(p.data, p.docs, u"/elsewhere/");
}

std::vector<std::string> BadFixtures()
{
    std::vector<std::string> names;
    if (DIR* d = ::opendir(FixtureDir("bad").c_str())) {
        while (dirent* e = ::readdir(d)) {
            std::string n = e->d_name;
            if (n.size() > 4 && n.ends_with(".kxp"))
                names.push_back(n);
        }
        ::closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

TEST(ProjfileFixtures, Format6ReadsAsWritten)
{
    projtest::UseFixtureTimeZone();
    Project p = Load("v6");
    const ProjectData& d = p.data;
    EXPECT_EQ(d.FormatVersion, 6);
    EXPECT_EQ(ModificationTimeFields(d.SettingsModificationTime),
              (std::vector<int64_t>{14, 11, 2023, 10, 30, 15}));
    EXPECT_EQ(d.SourceFiles, (std::vector<ProjectFileEntry>{{u"Main.plc", u"Main.plc"},
                                                            {u"Osy.plc", u"src\\Osy.plc"}}));
    EXPECT_EQ(d.HeaderFiles, (std::vector<ProjectFileEntry>{{u"Defs.inc", u"Defs.inc"}}));
    EXPECT_EQ(d.SupportFiles,
              (std::vector<SupportFileEntry>{
                  {u"obraz.bin", u"data\\obraz.bin", u"\\PLC\\obraz.bin", 2, 1, 1},
                  {u"texty.txt", u"texty.txt", u"\\PLC\\TEXT\\texty.txt", 3, 2, 0}}));
    EXPECT_EQ(d.PLCComment, u"Řízení ohýbacího lisu č. 2 – žluťoučký kůň");
    EXPECT_EQ(d.PathBorland, u"");
    EXPECT_EQ(d.ExtraKeywords,
              (std::vector<KeywordPair>{{u"Optimize", u"2"}, {u"Define", u"\"LIS_2\" /DX"}}));
    EXPECT_EQ(d.AsmFlags, u"/c /Zm /Gd /nologo");
    EXPECT_EQ(d.Target, u"Haldor");
    EXPECT_EQ(d.PelmarVer, 632);
    EXPECT_EQ(d.Config, u"Lis2");
    ASSERT_EQ(d.WatchPlaques.size(), 2u);
    EXPECT_EQ(d.WatchPlaques[1].Name, u"Vstupy a výstupy");
    EXPECT_EQ(d.SelectedPlaque, 1);
    EXPECT_EQ(d.WatchedMechanisms, (std::vector<std::u16string>{u"LIS", u"PODAVAC"}));
    EXPECT_EQ(d.Breakpoints, (std::vector<uint32_t>{12, 250, 1024}));
    EXPECT_EQ(d.WatchInterval, 40000);
    EXPECT_EQ(d.WatchMechInterval, 500);
    EXPECT_EQ(d.WatchRegsOnLineInterval, 250);
    EXPECT_EQ(d.DisplayAsHex, 1);
    EXPECT_EQ(d.WatchPLCRegsInSrc, 0);
    EXPECT_EQ(d.OlnkConnectionString, u"P = Com2; B = 57600; W = 20;");

    const auto& text = p.docs.lists[WorkspaceDocuments::Text];
    ASSERT_EQ(text.size(), 1u);
    EXPECT_EQ(text[0].storedPath, u"poznamky.txt");
    EXPECT_EQ(text[0].path, U16(FixtureDir("v6") + "/poznamky.txt"));
    ASSERT_EQ(text[0].frames.size(), 2u);
    EXPECT_EQ(text[0].frames[0].columns, 2);
    EXPECT_EQ(text[0].frames[0].rows, 2);
    EXPECT_EQ(text[0].frames[0].carets,
              (std::vector<std::pair<int32_t, int32_t>>{{0, 0}, {5, 10}, {0, 40}, {12, 41}}));
    EXPECT_EQ(text[0].frames[1].placement,
              (std::array<int32_t, 9>{1, -1, -1, -1, -1, 30, 30, 670, 510}));
    EXPECT_EQ(p.docs.lists[WorkspaceDocuments::PlcSource].size(), 1u);
    EXPECT_TRUE(p.docs.lists[WorkspaceDocuments::PlcHeader].empty());
    const auto& bin = p.docs.lists[WorkspaceDocuments::Binary];
    ASSERT_EQ(bin.size(), 1u);
    ASSERT_EQ(bin[0].frames.size(), 1u);
    EXPECT_EQ(bin[0].frames[0].columns, 2);
    EXPECT_EQ(bin[0].frames[0].rows, 1);
    EXPECT_EQ(bin[0].frames[0].carets,
              (std::vector<std::pair<int32_t, int32_t>>{{16, 0}, {128, 1}}));
}

TEST(ProjfileFixtures, ResavedByteIdentical)
{
    projtest::UseFixtureTimeZone();
    for (const char* sub : {"v6", "v5"}) {
        Project p = Load(sub);
        auto [kxp, kxw] = Save(p); // format 5: the conversion answered No
        EXPECT_EQ(kxp, ReadFixture(sub, "Lis.kxp")) << sub;
        EXPECT_EQ(kxw, ReadFixture(sub, "Lis.kxw")) << sub;
    }
    // The same project in format 5, with its Config in the project file.
    Project v5 = Load("v5");
    Project v6 = Load("v6");
    v5.data.FormatVersion = 6;
    EXPECT_EQ(v5.data, v6.data);
}

TEST(ProjfileFixtures, Format5ConvertedEqualsHandWrittenResult)
{
    projtest::UseFixtureTimeZone();
    Project p = Load("v5");
    EXPECT_EQ(p.data.FormatVersion, 5);
    EXPECT_EQ(p.data.Config, u"Lis2");
    p.data.FormatVersion = 6; // the conversion answered Yes
    auto [kxp, kxw] = Save(p);
    EXPECT_EQ(kxp, ReadFixture("v5-yes", "Lis.kxp"));
    EXPECT_EQ(kxw, ReadFixture("v5-yes", "Lis.kxw"));
}

TEST(ProjfileFixtures, EveryBadProjectFileFails)
{
    const std::vector<std::string> names = BadFixtures();
    ASSERT_GE(names.size(), 15u);
    for (const std::string& name : names) {
        Project p;
        const std::string path = FixtureDir("bad") + "/" + name;
        try {
            ReadProject(path, ReadFixture("bad", name), p);
            ADD_FAILURE() << name << " was read";
        } catch (const ProjectFormatError& e) {
            EXPECT_EQ(e.Path(), U16(path));
        }
        const bool newer = name == "version-7.kxp" || name == "version-negative.kxp";
        EXPECT_EQ(p.newer, newer) << name;
    }
}

TEST(ProjfileFixtures, WorkspaceCutAfterBreakpoints)
{
    const std::string full = ReadFixture("v6", "Lis.kxw");
    Project p;
    SetProjectDefaults(p.data, kLoadTime);
    KxpArchive ws(false, u"/p/Lis.kxw", full.substr(0, full.find("WatchInterval")));
    EXPECT_THROW(ReadWorkspace(ws, p.data, p.docs, 6, u"/p/"), ProjectFormatError);
    EXPECT_EQ(p.data.Config, u"Lis2");
    ASSERT_EQ(p.data.WatchPlaques.size(), 2u);
    EXPECT_EQ(p.data.WatchPlaques[0].VarNames, (std::vector<std::u16string>{u"X_POS", u"Y_POS"}));
    EXPECT_EQ(p.data.SelectedPlaque, 1);
    EXPECT_EQ(p.data.Breakpoints, (std::vector<uint32_t>{12, 250, 1024}));
    EXPECT_EQ(p.data.WatchInterval, 1000);
    EXPECT_EQ(p.docs, WorkspaceDocuments{});

    // Cut inside the second frame of the text document: the documents read
    // so far are recorded up to the cut.
    const size_t at = full.find("CursorPos = 3, 7");
    KxpArchive ws2(false, u"/p/Lis.kxw", full.substr(0, at));
    EXPECT_THROW(ReadWorkspace(ws2, p.data, p.docs, 6, u"/p/"), ProjectFormatError);
    ASSERT_EQ(p.docs.lists[WorkspaceDocuments::Text].size(), 1u);
    const auto& frames = p.docs.lists[WorkspaceDocuments::Text][0].frames;
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0].carets.size(), 4u);
    EXPECT_TRUE(frames[1].splitterRead);
    EXPECT_TRUE(frames[1].carets.empty());
    EXPECT_EQ(p.data.WatchInterval, 40000);
}
