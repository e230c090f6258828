// Project file formats 5 and 6: header, bodies, keyword pairs, time line,
// compiler version and bad input.
#include "ProjfileTest.h"
#include "core/projfile/ProjectFormat.h"

#include <gtest/gtest.h>

#include <ctime>

using namespace core;
using projtest::RichProject;

namespace {

constexpr int64_t kLoadTime = 1'700'000'000;

std::string Save(const ProjectData& d, int version)
{
    KxpArchive ar(true, u"/p/Lis.kxp");
    WriteProjectHeader(ar, version);
    if (version == 6)
        WriteProjectBodyV6(ar, d);
    else
        WriteProjectBodyV5(ar, d);
    return ar.Bytes();
}

ProjectData Load(const std::string& bytes)
{
    KxpArchive ar(false, u"/p/Lis.kxp", bytes);
    ProjectData d;
    SetProjectDefaults(d, 0);
    d.FormatVersion = ReadProjectHeader(ar);
    if (d.FormatVersion == 6)
        ReadProjectBodyV6(ar, d, kLoadTime);
    else
        ReadProjectBodyV5(ar, d, kLoadTime);
    return d;
}

// The data part of the project file (what the workspace file does not hold).
void ClearWorkspacePart(ProjectData& d, bool keepConfig)
{
    ProjectData defaults;
    SetProjectDefaults(defaults, 0);
    d.WatchPlaques = defaults.WatchPlaques;
    d.SelectedPlaque = defaults.SelectedPlaque;
    d.WatchedMechanisms.clear();
    d.Breakpoints.clear();
    d.WatchInterval = d.WatchMechInterval = d.WatchRegsOnLineInterval = 1000;
    d.DisplayAsHex = d.WatchPLCRegsInSrc = 1;
    d.OlnkConnectionString = defaults.OlnkConnectionString;
    if (!keepConfig)
        d.Config = defaults.Config;
}

// A minimal format 6 file with the given lines in place of the body parts.
std::string
File6(const std::string& lists, const std::string& keywords,
      const std::string& time = "ProjectSettingsModificationTime = 1. 2. 2003, 4:5:6\r\n")
{
    std::string s = "Strandwork project\r\nProjectFormatVersion = 6\r\n" + time + lists;
    for (const char* k :
         {"PLCComment",  "PathOutput",    "PathTemp",      "FileExe",   "FileMap",
          "FileMP2",     "PLCOutputName", "CPU",           "Clock",     "Machine",
          "Axis",        "DifCount",      "IOType",        "Protocol",  "PathBorland",
          "TasmParams",  "TlinkParams",   "NameTasm",      "NameTlink", "PathLib",
          "PathTarvane", "TarvaneVer",    "NameCreateMap", "NameJoin",  "AllowDebug"})
        s += std::string(k) + " = v" + k + "\r\n";
    return s + keywords;
}

const std::string kNoLists =
    "PLCSourceFilesCount = 0\r\nPLCHeaderFilesCount = 0\r\nSupportFilesCount = 0\r\n";

} // namespace

TEST(ProjfileFormat, DefaultsOfANewProject)
{
    ProjectData d;
    SetProjectDefaults(d, 123);
    EXPECT_EQ(d.FormatVersion, 6);
    EXPECT_EQ(d.SettingsModificationTime, 123);
    EXPECT_EQ(d.PLCComment, u"Strandwork - nový PLC");
    EXPECT_EQ(d.Target, u"Haldor");
    EXPECT_EQ(d.TarvaneVer, u"632");
    EXPECT_EQ(d.PelmarVer, 632);
    ASSERT_EQ(d.WatchPlaques.size(), 1u);
    EXPECT_EQ(d.WatchPlaques[0].Name, u"Plaketa 0");
    EXPECT_EQ(d.SelectedPlaque, 0);
    EXPECT_EQ(d.LinkFlags, u"/nologo /MAP /NOD /NOE /SEGMENTS:200");
    EXPECT_EQ(d.OlnkConnectionString, u"P = Com1; B = 115200; W = 20;");
    EXPECT_EQ(d.WatchInterval, 1000);
    EXPECT_EQ(d.DisplayAsHex, 1);
}

TEST(ProjfileFormat, RoundTripsBothVersions)
{
    for (int version : {5, 6}) {
        ProjectData d = RichProject();
        d.FormatVersion = version;
        ProjectData back = Load(Save(d, version));
        ClearWorkspacePart(d, version == 5);
        EXPECT_EQ(back, d) << "format " << version;
    }
}

TEST(ProjfileFormat, WrittenLines)
{
    ProjectData d = RichProject();
    std::string s = Save(d, 6);
    EXPECT_EQ(s.rfind("Strandwork project\r\nProjectFormatVersion = 6\r\n"
                      "ProjectSettingsModificationTime = ",
                      0),
              0u);
    EXPECT_NE(
        s.find("\r\nPLCSourceFilesCount = 2\r\nFileName = Main.plc\r\nFilePath = Main.plc\r\n"),
        std::string::npos);
    EXPECT_NE(s.find("FileType = -1\r\nTransferType = 0\r\nNeedReload = 2147483647\r\n"),
              std::string::npos);
    EXPECT_NE(s.find("AddKeyWordsCount = 7\r\nKeyWord = Opt\r\nValue = \"x\"\r\n"),
              std::string::npos);
    EXPECT_TRUE(s.ends_with("KeyWord = Debug\r\nValue = \"Off\"\r\n"
                            "KeyWord = Target\r\nValue = \"Haldor\"\r\n"));
    EXPECT_EQ(s.find("Config"), std::string::npos);
    EXPECT_NE(s.find(projtest::Ansi(u"PLCComment = Řízení lisu č. 5\r\n")), std::string::npos);

    std::string s5 = Save(d, 5);
    EXPECT_NE(s5.find("AddKeyWordsCount = 8\r\n"), std::string::npos);
    EXPECT_TRUE(s5.ends_with("KeyWord = Debug\r\nValue = \"Off\"\r\nKeyWord = Config\r\n"
                             "Value = \"Lis\"\r\nKeyWord = Target\r\nValue = \"Haldor\"\r\n"));
}

TEST(ProjfileFormat, TimeLine)
{
    // Local time without leading zeros.
    std::tm tm{};
    tm.tm_mday = 5;
    tm.tm_mon = 2;
    tm.tm_year = 104;
    tm.tm_hour = 7;
    tm.tm_min = 8;
    tm.tm_sec = 9;
    tm.tm_isdst = -1;
    int64_t t = std::mktime(&tm);
    EXPECT_EQ(ModificationTimeFields(t), (std::vector<int64_t>{5, 3, 2004, 7, 8, 9}));
    EXPECT_EQ(ModificationTimeFromFields({5, 3, 2004, 7, 8, 9}), t);
    // Normalised as mktime does: 32 March is 1 April.
    EXPECT_EQ(ModificationTimeFromFields({32, 3, 2004, 7, 8, 9}),
              ModificationTimeFromFields({1, 4, 2004, 7, 8, 9}));
    // Before 1970 or not computable: no time.
    EXPECT_FALSE(ModificationTimeFromFields({0, 0, 0, -1, -1, -1}));
    EXPECT_FALSE(ModificationTimeFromFields({1, 1, 1969, 0, 0, 0}));
    EXPECT_FALSE(ModificationTimeFromFields({1, 1, -2147483648LL, 0, 0, 0}));
    EXPECT_FALSE(ModificationTimeFromFields(
        {2147483647, 2147483647, 2147483647, 2147483647, 2147483647, 2147483647}));

    // A file carrying the writer's own fallback line still opens, with the
    // time of loading.
    ProjectData d = Load(File6(kNoLists, "AddKeyWordsCount = 0\r\n",
                               "ProjectSettingsModificationTime = 0. 0. 0, -1:-1:-1\r\n"));
    EXPECT_EQ(d.SettingsModificationTime, kLoadTime);
    d = Load(File6(kNoLists, "AddKeyWordsCount = 0\r\n",
                   "ProjectSettingsModificationTime = 5. 3. 2004, 7:8:9\r\n"));
    EXPECT_EQ(d.SettingsModificationTime, t);
    EXPECT_THROW(Load(File6(kNoLists, "AddKeyWordsCount = 0\r\n",
                            "ProjectSettingsModificationTime = 5. 3. 2004\r\n")),
                 ProjectFormatError);
}

TEST(ProjfileFormat, Header)
{
    auto version = [](const std::string& bytes) {
        KxpArchive ar(false, u"/p/Lis.kxp", bytes);
        return ReadProjectHeader(ar);
    };
    EXPECT_EQ(version("STRANDWORK PROJECT\r\nProjectFormatVersion = 6\r\n"), 6);
    EXPECT_EQ(version("Strandwork project\nProjectFormatVersion=-1"), -1);
    EXPECT_THROW(version(" Strandwork project\r\nProjectFormatVersion = 6\r\n"),
                 ProjectFormatError);
    EXPECT_THROW(version("\xEF\xBB\xBFStrandwork project\r\nProjectFormatVersion = 6\r\n"),
                 ProjectFormatError);
    EXPECT_THROW(version("Strandwork project\r\nProjectFormatVersion = \r\n"), ProjectFormatError);
    EXPECT_THROW(version("Strandwork project\r\nprojectformatversion = 6\r\n"), ProjectFormatError);
    EXPECT_THROW(version("Strandwork project\r\n"), ProjectFormatError);
}

TEST(ProjfileFormat, KeywordPairs)
{
    std::string kw = "AddKeyWordsCount = 6\r\n"
                     "KeyWord = asmflags\r\nValue =  \"/c \"q\" /Zm\"  \r\n"
                     "KeyWord = Extra\r\nValue = \"/c \"q\"\"\r\n"
                     "KeyWord = CONFIG\r\nValue = \"Cfg\"\r\n"
                     "KeyWord = Target\r\nValue = \"Other\"\r\n"
                     "KeyWord = TarGet\r\nValue = \"Haldor\"\r\n"
                     "KeyWord = Debug\r\nValue = Off\r\n";
    ProjectData d = Load(File6(kNoLists, kw));
    EXPECT_EQ(d.AsmFlags, u"/c  q  /Zm");
    ASSERT_EQ(d.ExtraKeywords.size(), 1u);
    EXPECT_EQ(d.ExtraKeywords[0].KeyWord, u"Extra");
    EXPECT_EQ(d.ExtraKeywords[0].Value, u"\"/c \"q\"\"");
    EXPECT_EQ(d.Config, u"Default"); // format 6 drops a Config pair
    EXPECT_EQ(d.Target, u"Haldor");  // the later value wins
    EXPECT_EQ(d.AllowDebug, u"Off");

    std::string v5 = File6(kNoLists, kw);
    v5.replace(v5.find("Version = 6"), 11, "Version = 5");
    d = Load(v5);
    EXPECT_EQ(d.Config, u"Cfg");
    EXPECT_EQ(d.ExtraKeywords.size(), 1u);

    // Counts of 0 or below read no pair; the file may end there.
    d = Load(File6(kNoLists, "AddKeyWordsCount = -3\r\n"));
    EXPECT_TRUE(d.ExtraKeywords.empty());
    EXPECT_THROW(Load(File6(kNoLists, "AddKeyWordsCount = 2\r\nKeyWord = A\r\nValue = 1\r\n")),
                 ProjectFormatError);
}

// "AllowDebug" travels twice, as its line and as the quoted pair "Debug".
// Without the pair, the line's value is kept in the pair's form (quotes as
// blanks, white space around dropped), the form it has after a save.
TEST(ProjfileFormat, AllowDebugWithoutItsPairReadsBackAsItRead)
{
    std::string file = File6(kNoLists, "AddKeyWordsCount = 0\r\n");
    const std::string line = "AllowDebug = vAllowDebug\r\n";
    file.replace(file.find(line), line.size(), "AllowDebug = \"On\"\f\r\n");
    const ProjectData d = Load(file);
    EXPECT_EQ(d.AllowDebug, u"On");
    EXPECT_EQ(Load(Save(d, 6)), d);
}

TEST(ProjfileFormat, SettingsAndLists)
{
    std::string lists = "PLCSourceFilesCount = -5\r\nPLCHeaderFilesCount = 1\r\n"
                        "filename = a.inc\r\nFILEPATH = inc\\a.inc\r\n"
                        "SupportFilesCount = 1\r\nFileName = s\r\nFilePath = s\r\n"
                        "DestPath\r\nFileType = 3 apples\r\nTransferType=4\r\nNeedReload =  -1\r\n";
    std::string file = File6(lists, "AddKeyWordsCount = 0\r\n");
    file.replace(file.find("PathTemp = vPathTemp"), 20, "PathTemp");
    file.replace(file.find("FileExe = vFileExe"), 18, "FileExe =   x  ");
    ProjectData d = Load(file);
    EXPECT_TRUE(d.SourceFiles.empty());
    ASSERT_EQ(d.HeaderFiles.size(), 1u);
    EXPECT_EQ(d.HeaderFiles[0].FilePath, u"inc\\a.inc");
    ASSERT_EQ(d.SupportFiles.size(), 1u);
    EXPECT_EQ(d.SupportFiles[0], (SupportFileEntry{u"s", u"s", u"", 3, 4, -1}));
    EXPECT_EQ(d.PathTemp, u"");
    EXPECT_EQ(d.FileExe, u"x  ");
    EXPECT_EQ(d.PLCComment, u"vPLCComment");
    // Lines after the last expected one are ignored.
    EXPECT_NO_THROW(Load(file + "anything\r\n"));
}

TEST(ProjfileFormat, BadFiles)
{
    // Cut inside a list, an empty line for a count, a number key in small
    // letters, a key glued to "=", a huge count with nothing behind it, a
    // number out of range.
    EXPECT_THROW(Load(File6("PLCSourceFilesCount = 2\r\nFileName = a\r\nFilePath = a\r\n", "")),
                 ProjectFormatError);
    EXPECT_THROW(Load(File6("\r\nPLCHeaderFilesCount = 0\r\nSupportFilesCount = 0\r\n",
                            "AddKeyWordsCount = 0\r\n")),
                 ProjectFormatError);
    EXPECT_THROW(Load(File6("plcsourcefilescount = 0\r\nPLCHeaderFilesCount = 0\r\n"
                            "SupportFilesCount = 0\r\n",
                            "AddKeyWordsCount = 0\r\n")),
                 ProjectFormatError);
    std::string glued = File6(kNoLists, "AddKeyWordsCount = 0\r\n");
    glued.replace(glued.find("PathTemp = "), 11, "PathTemp= ");
    EXPECT_THROW(Load(glued), ProjectFormatError);
    EXPECT_THROW(Load(File6("PLCSourceFilesCount = 2147483647\r\n", "")), ProjectFormatError);
    EXPECT_THROW(Load(File6("PLCSourceFilesCount = 2147483648\r\n", "")), ProjectFormatError);
    EXPECT_THROW(Load(File6(kNoLists, "")), ProjectFormatError); // ends before the keywords
}

TEST(ProjfileFormat, CompilerVersion)
{
    ProjectData d;
    SetProjectDefaults(d, 0);
    d.Target = u"HALDOR";
    d.TarvaneVer = u"640";
    RecomputeCompilerVersion(d);
    EXPECT_EQ(d.PelmarVer, 640);
    EXPECT_EQ(d.TarvaneVerMajor, 0);
    EXPECT_EQ(d.TarvaneVerMinor, 0);
    d.Target = u"Other";
    d.TarvaneVer = u"6.37";
    RecomputeCompilerVersion(d);
    EXPECT_EQ(d.PelmarVer, 0);
    EXPECT_EQ(d.TarvaneVerMajor, 6);
    EXPECT_EQ(d.TarvaneVerMinor, 37);
    d.TarvaneVer = u"7";
    RecomputeCompilerVersion(d);
    EXPECT_EQ(d.TarvaneVerMajor, 7);
    EXPECT_EQ(d.TarvaneVerMinor, 0);
    d.TarvaneVer = u"x";
    RecomputeCompilerVersion(d);
    EXPECT_EQ(d.TarvaneVerMajor, 0);

    // The reader recomputes.
    std::string file =
        File6(kNoLists, "AddKeyWordsCount = 1\r\nKeyWord = Target\r\nValue = \"CNC\"\r\n");
    file.replace(file.find("TarvaneVer = vTarvaneVer"), 24, "TarvaneVer = 6.40");
    d = Load(file);
    EXPECT_EQ(d.TarvaneVerMajor, 6);
    EXPECT_EQ(d.TarvaneVerMinor, 40);
    EXPECT_EQ(d.PelmarVer, 0);
}

TEST(ProjfileFormat, WrittenVectors)
{
    projtest::UseFixtureTimeZone();
    // 2024-03-05 09:05:07 local time, without leading zeros.
    std::tm tm{};
    tm.tm_mday = 5;
    tm.tm_mon = 2;
    tm.tm_year = 124;
    tm.tm_hour = 9;
    tm.tm_min = 5;
    tm.tm_sec = 7;
    tm.tm_isdst = -1;
    ProjectData d;
    SetProjectDefaults(d, std::mktime(&tm));
    const std::string s = Save(d, 6);
    EXPECT_NE(s.find("\r\nProjectSettingsModificationTime = 5. 3. 2024, 9:5:7\r\n"),
              std::string::npos);
    // The same instant in UTC is 8:05:07 (winter time in the fixtures' zone).
    EXPECT_EQ(d.SettingsModificationTime, 1709625907);
    EXPECT_EQ(Load(s).SettingsModificationTime, 1709625907);

    // "AddKeyWordsCount" is the extra pairs plus 5 (format 6) or 6 (format 5).
    d.ExtraKeywords = {{u"A", u"1"}, {u"B", u"2"}, {u"C", u"3"}};
    EXPECT_NE(Save(d, 6).find("\r\nAddKeyWordsCount = 8\r\n"), std::string::npos);
    EXPECT_NE(Save(d, 5).find("\r\nAddKeyWordsCount = 9\r\n"), std::string::npos);

    // A fixed keyword loses its quotes, an extra one keeps them.
    ProjectData r = Load(File6(kNoLists, "AddKeyWordsCount = 2\r\n"
                                         "KeyWord = AsmFlags\r\nValue = \"/c /D\"X\" /Zm\"\r\n"
                                         "KeyWord = MyFlags\r\nValue = \"/c /D\"X\" /Zm\"\r\n"));
    EXPECT_EQ(r.AsmFlags, u"/c /D X  /Zm");
    EXPECT_EQ(r.ExtraKeywords, (std::vector<KeywordPair>{{u"MyFlags", u"\"/c /D\"X\" /Zm\""}}));
}
