// The compiler configuration file: its lines, the key table and the
// compiler version of a folder name.
#include "ProjfileTest.h"
#include "core/projfile/CompilerFolders.h"
#include "core/projfile/KnfImport.h"

#include <gtest/gtest.h>

using namespace core;

namespace {

ProjectData Apply(const std::string& text, std::u16string* pathUser = nullptr)
{
    ProjectData d;
    SetProjectDefaults(d, 0);
    std::u16string p = ApplyKnf(d, ParseKnf(text));
    if (pathUser)
        *pathUser = p;
    return d;
}

} // namespace

TEST(ProjfileKnf, LinesAndValues)
{
    const std::string text = "; a comment line\r\n"
                             "\r\n"
                             "Comment = \"Lis; dva  kusy\" ; rest\r\n"
                             "Machine = Big Press\r\n"
                             "cpu=PENTIUM;comment\r\n"
                             "Comment\"abc\r\n"
                             "NoValue\r\n"
                             "MyKey = 5\r\n"
                             "  = orphan\r\n"
                             "PathTemp =\r\n"
                             "Axis = \t\r\n"
                             "Clock = 200";
    EXPECT_EQ(ParseKnf(text),
              (std::vector<KnfLine>{{u"Comment", u"Lis; dva  kusy"},
                                    {u"Machine", u"Big"},
                                    {u"cpu", u"PENTIUM"},
                                    {u"Comment", u"abc"},
                                    {u"MyKey", u"5"},
                                    {u"PathTemp", u""},
                                    {u"Axis", u""},
                                    {u"Clock", u"200"}}));
    // Empty values end at the line end, whatever the line end is.
    EXPECT_EQ(ParseKnf("Axis =\nClock = 7\rCPU =\r\n"),
              (std::vector<KnfLine>{{u"Axis", u""}, {u"Clock", u"7"}, {u"CPU", u""}}));
    EXPECT_EQ(ParseKnf("Comment = \"open to the end\r\nX = 1"),
              (std::vector<KnfLine>{{u"Comment", u"open to the end"}, {u"X", u"1"}}));
    // Code page 1250, and no length limit.
    const std::string longValue(5000, 'v');
    EXPECT_EQ(ParseKnf(projtest::Ansi(u"Comment = \"Řízení\"\r\nK = ") + longValue),
              (std::vector<KnfLine>{{u"Comment", u"Řízení"},
                                    {u"K", std::u16string(longValue.begin(), longValue.end())}}));
    EXPECT_TRUE(ParseKnf("").empty());
}

TEST(ProjfileKnf, KeyTable)
{
    std::u16string pathUser;
    ProjectData d = Apply("Comment = \"A; B\"\r\n"
                          "cpu = 486\r\n"
                          "FilePlcExt = IO.PLC\r\n"
                          "FilePlc = src\\MAIN.PLC\r\n"
                          "FilePlcExt = no\r\n"
                          "FILEPLCEXT = lib/Extra.plc\r\n"
                          "MyKey = 5\r\n"
                          "PathOutput = ignored\r\n"
                          "Tasm = /ZI\r\n"
                          "PathUser = C:\\User\r\n"
                          "PathUser = /home/u/src\r\n"
                          "Target = DOS\r\n"
                          "Target = Haldor\r\n"
                          "Debug = Off\r\n",
                          &pathUser);
    EXPECT_EQ(d.PLCComment, u"A; B");
    EXPECT_EQ(d.CPU, u"486");
    EXPECT_EQ(d.SourceFiles, (std::vector<ProjectFileEntry>{{u"MAIN.PLC", u"src\\MAIN.PLC"},
                                                            {u"IO.PLC", u"IO.PLC"},
                                                            {u"Extra.plc", u"lib/Extra.plc"}}));
    EXPECT_EQ(d.ExtraKeywords, (std::vector<KeywordPair>{{u"MyKey", u"5"}}));
    EXPECT_EQ(d.PathOutput, u"Output");
    EXPECT_EQ(d.TasmParams, u"/ZI");
    EXPECT_EQ(pathUser, u"/home/u/src");
    EXPECT_EQ(d.Target, u"Haldor");
    EXPECT_EQ(d.AllowDebug, u"Off");
}

// The imported project is saved at once: what the import gives must be
// what the saved project reads back as.  The keyword pairs "Target",
// "Debug", "AsmFlags", "LinkFlags" and "PathXPDDK" travel in double quotes,
// so a double quote inside reads back as a blank; a string line loses the
// white space at the start of its value (a vertical tab or form feed that
// the configuration's blank-and-tab trimming leaves).
TEST(ProjfileKnf, TheImportedProjectReadsBackAsImported)
{
    ProjectData d = Apply("Target = Hal\"dor\r\n"
                          "AsmFlags = \"/c \"\r\n"
                          "Cpu = \v486\r\n"
                          "\fMyKey = \v5\r\n"
                          "FilePlc = src\\\vMAIN.PLC\r\n"
                          "\v = orphan\r\n");
    EXPECT_EQ(d.Target, u"Hal dor");
    EXPECT_EQ(d.AsmFlags, u"/c");
    EXPECT_EQ(d.CPU, u"486");
    EXPECT_EQ(d.ExtraKeywords, (std::vector<KeywordPair>{{u"MyKey", u"5"}}));
    EXPECT_EQ(d.SourceFiles, (std::vector<ProjectFileEntry>{{u"MAIN.PLC", u"src\\\vMAIN.PLC"}}));

    d.FormatVersion = 6;
    RecomputeCompilerVersion(d);
    const auto [project, workspace] = projtest::SaveProject(d, {}, u"/p/");
    KxpArchive ar(false, u"/p/Lis.kxp", project);
    ProjectData back;
    SetProjectDefaults(back, 0);
    ASSERT_EQ(ReadProjectHeader(ar), 6);
    back.FormatVersion = 6;
    ReadProjectBodyV6(ar, back, 0);
    KxpArchive ws(false, u"/p/Lis.kxw", workspace);
    WorkspaceDocuments docs;
    ReadWorkspace(ws, back, docs, 6, u"/p/");
    EXPECT_EQ(back, d);
}

TEST(ProjfileKnf, CompilerVersionOfTheFolder)
{
    using V = KnfCompilerVersion;
    EXPECT_EQ(CompilerVersionFromFolder(u"PLC6300", u"DOS"), (V{6, 300, 0, u"6.300"}));
    EXPECT_EQ(CompilerVersionFromFolder(u"plc7000", u"DOS"), (V{7, 0, 0, u"7.0"}));
    EXPECT_EQ(CompilerVersionFromFolder(u"PLC632", u"DOS"), (V{6, 32, 0, u"6.32"}));
    EXPECT_FALSE(CompilerVersionFromFolder(u"PLC5100", u"DOS"));
    EXPECT_FALSE(CompilerVersionFromFolder(u"PLC6031", u"DOS"));
    EXPECT_FALSE(CompilerVersionFromFolder(u"PLC6300", u"Haldor")); // the PLC rule is not Haldor's
    EXPECT_FALSE(CompilerVersionFromFolder(u"Pelmar0632", u"DOS"));
    EXPECT_EQ(CompilerVersionFromFolder(u"Pelmar0632", u"HALDOR"), (V{0, 0, 632, u"632"}));
    EXPECT_EQ(CompilerVersionFromFolder(u"PELMAR12345", u"Haldor"), (V{0, 0, 12345, u"12345"}));
    EXPECT_FALSE(CompilerVersionFromFolder(u"Pelmar0631", u"Haldor"));
}

TEST(ProjfileKnf, FolderNames)
{
    EXPECT_EQ(ReadPelmarFolderName(u"pelmar7"), 7);
    EXPECT_EQ(ReadPelmarFolderName(u"Pelmar123456789"), 123456789);
    EXPECT_FALSE(ReadPelmarFolderName(u"Pelmar1234567890"));
    EXPECT_FALSE(ReadPelmarFolderName(u"Pelmar"));
    EXPECT_FALSE(ReadPelmarFolderName(u"Pelmar06a"));
    EXPECT_FALSE(ReadPelmarFolderName(u"XPelmar0632"));
    EXPECT_EQ(ReadPlcFolderName(u"Plc6349"), std::make_pair(6, 349));
    EXPECT_EQ(ReadPlcFolderName(u"PLC60"), std::make_pair(6, 0));
    EXPECT_FALSE(ReadPlcFolderName(u"PLC63490"));
    EXPECT_FALSE(ReadPlcFolderName(u"PLC6"));
    EXPECT_FALSE(ReadPlcFolderName(u"PLC"));
    EXPECT_FALSE(ReadPlcFolderName(u"PLC6x49"));
    EXPECT_FALSE(ReadPlcFolderName(u"PLCa349"));
}
