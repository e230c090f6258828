// The workspace file: data part, documents section, partial reads and the
// paths of documents.
#include "ProjfileTest.h"
#include "core/projfile/Workspace.h"

#include <gtest/gtest.h>

using namespace core;
using projtest::RichProject;

namespace {

const std::u16string kDir = u"/home/u/proj/";

std::string Save(const ProjectData& d, const WorkspaceDocuments& docs, int version)
{
    KxpArchive ar(true, u"/home/u/proj/Lis.kxw");
    WriteWorkspace(ar, d, docs, version, kDir);
    return ar.Bytes();
}

void Load(const std::string& bytes, ProjectData& d, WorkspaceDocuments& docs, int version)
{
    KxpArchive ar(false, u"/home/u/proj/Lis.kxw", bytes);
    ReadWorkspace(ar, d, docs, version, kDir);
}

WorkspaceFrame Frame(int cols, int rows, std::vector<std::pair<int32_t, int32_t>> carets)
{
    WorkspaceFrame f;
    f.placement = {1, -1, -1, -8, -30, 10, 20, 610, 420};
    f.columns = cols;
    f.rows = rows;
    f.column0Width = 200;
    f.row0Height = 100;
    f.carets = std::move(carets);
    return f;
}

WorkspaceDocuments SampleDocs()
{
    WorkspaceDocuments docs;
    docs.lists[WorkspaceDocuments::PlcSource] = {
        {{},
         u"/home/u/proj/Main.plc",
         {Frame(2, 2, {{1, 2}, {3, 4}, {5, 6}, {7, 8}}), Frame(1, 1, {{0, 9}})}},
        {{}, u"/home/u/proj/src/Osy.plc", {Frame(1, 1, {{4, 4}})}}};
    docs.lists[WorkspaceDocuments::PlcHeader] = {{{}, u"/home/u/shared/Defs.inc", {}}};
    docs.lists[WorkspaceDocuments::Binary] = {
        {{}, u"/opt/data/x.bin", {Frame(2, 1, {{16, 1}, {32, 0}})}}};
    return docs;
}

// What a read gives back for documents written from open windows.
WorkspaceDocuments AsRead(WorkspaceDocuments docs)
{
    for (auto& list : docs.lists) {
        for (WorkspaceDocument& d : list) {
            d.storedPath = StoredDocumentPath(kDir, d.path);
            for (WorkspaceFrame& f : d.frames)
                f.splitterRead = true;
        }
    }
    return docs;
}

} // namespace

TEST(ProjfileWorkspace, RoundTrip)
{
    ProjectData d = RichProject();
    WorkspaceDocuments docs = SampleDocs();
    for (int version : {5, 6}) {
        std::string bytes = Save(d, docs, version);
        EXPECT_EQ(bytes.rfind(version == 6 ? "Config = Lis\r\nPlaquesCount = 2\r\n"
                                           : "PlaquesCount = 2\r\n",
                              0),
                  0u);
        ProjectData back;
        SetProjectDefaults(back, d.SettingsModificationTime);
        back.Config = version == 6 ? u"x" : d.Config;
        WorkspaceDocuments backDocs;
        Load(bytes, back, backDocs, version);
        ProjectData expected;
        SetProjectDefaults(expected, d.SettingsModificationTime);
        expected.Config = d.Config;
        expected.WatchPlaques = d.WatchPlaques;
        expected.SelectedPlaque = d.SelectedPlaque;
        expected.WatchedMechanisms = d.WatchedMechanisms;
        expected.Breakpoints = d.Breakpoints;
        expected.WatchInterval = d.WatchInterval;
        expected.WatchMechInterval = d.WatchMechInterval;
        expected.WatchRegsOnLineInterval = d.WatchRegsOnLineInterval;
        expected.DisplayAsHex = d.DisplayAsHex;
        expected.WatchPLCRegsInSrc = d.WatchPLCRegsInSrc;
        expected.OlnkConnectionString = d.OlnkConnectionString;
        EXPECT_EQ(back, expected);
        EXPECT_EQ(backDocs, AsRead(docs));
        // Writing what was read gives the same file (the pass-through).
        EXPECT_EQ(Save(back, backDocs, version), bytes);
    }
}

TEST(ProjfileWorkspace, WrittenLines)
{
    ProjectData d = RichProject();
    std::string s = Save(d, SampleDocs(), 6);
    EXPECT_NE(
        s.find("BrkLine = -294967296\r\nWatchInterval = 40000\r\nWatchMechInterval = 250\r\n"
               "WatchRegsOnLineInterval = 65535\r\nDisplayAsHex = 0\r\nWatchPLCRegsInSrc = 7\r\n"),
        std::string::npos);
    EXPECT_NE(
        s.find("TXTDocumentsCount = 0\r\nPLCDocumentsCount = 2\r\n"
               "DocumentPath = .\\Main.plc\r\nFrameCount = 2\r\n"
               "FramePlacement = 1, -1, -1, -8, -30, 10, 20, 610, 420\r\n"
               "SplitterConfig = 2, 2, 200, 100\r\n"
               "CursorPos = 1, 2\r\nCursorPos = 3, 4\r\nCursorPos = 5, 6\r\nCursorPos = 7, 8\r\n"),
        std::string::npos);
    EXPECT_NE(s.find("DocumentPath = .\\src\\Osy.plc\r\n"), std::string::npos);
    EXPECT_NE(
        s.find("INCDocumentsCount = 1\r\nDocumentPath = ..\\shared\\Defs.inc\r\nFrameCount = 0\r\n"),
        std::string::npos);
    EXPECT_TRUE(s.ends_with(
        "BINDocumentsCount = 1\r\nDocumentPath = ..\\..\\..\\opt\\data\\x.bin\r\n"
        "FrameCount = 1\r\nFramePlacement = 1, -1, -1, -8, -30, 10, 20, 610, 420\r\n"
        "SplitterConfig = 2, 1, 200, 100\r\nCursorPos = 16, 1\r\nCursorPos = 32, 0\r\n"));
}

TEST(ProjfileWorkspace, CaretsArePaddedAndCut)
{
    WorkspaceDocuments docs;
    docs.lists[0] = {
        {{},
         u"/home/u/proj/a.txt",
         {Frame(2, 1, {{5, 5}}), Frame(1, 1, {{1, 1}, {2, 2}}), Frame(0, 3, {{1, 1}})}}};
    ProjectData d;
    SetProjectDefaults(d, 0);
    std::string s = Save(d, docs, 6);
    EXPECT_NE(s.find("SplitterConfig = 2, 1, 200, 100\r\nCursorPos = 5, 5\r\nCursorPos = 0, 0\r\n"
                     "FramePlacement"),
              std::string::npos);
    EXPECT_NE(s.find("SplitterConfig = 1, 1, 200, 100\r\nCursorPos = 1, 1\r\nFramePlacement"),
              std::string::npos);
    EXPECT_TRUE(s.ends_with(
        "SplitterConfig = 0, 3, 200, 100\r\nPLCDocumentsCount = 0\r\nINCDocumentsCount = 0\r\n"
        "BINDocumentsCount = 0\r\n"));
    WorkspaceDocuments back;
    Load(s, d, back, 6);
    EXPECT_EQ(back.lists[0][0].frames[0].carets.size(), 2u);

    docs.lists[0][0].frames[0].columns = 100000;
    docs.lists[0][0].frames[0].rows = 100000;
    EXPECT_THROW(Save(d, docs, 6), std::length_error);
}

TEST(ProjfileWorkspace, PagesAndSelection)
{
    ProjectData d;
    SetProjectDefaults(d, 0);
    WorkspaceDocuments docs;
    std::string tail =
        "WatchMechsCount = 0\r\nBrksCount = 0\r\nWatchInterval = -1\r\n"
        "WatchMechInterval = 1\r\nWatchRegsOnLineInterval = 2\r\nDisplayAsHex = 0\r\n"
        "WatchPLCRegsInSrc = 0\r\nOlnkConnectionString =\r\nTXTDocumentsCount = 0\r\n"
        "PLCDocumentsCount = 0\r\nINCDocumentsCount = 0\r\nBINDocumentsCount = 0\r\n";
    // A page count of 0 keeps the default page; the selection line is
    // consumed whatever it holds.
    Load("PlaquesCount = 0\r\nwhatever\r\n" + tail, d, docs, 5);
    ASSERT_EQ(d.WatchPlaques.size(), 1u);
    EXPECT_EQ(d.WatchPlaques[0].Name, u"Plaketa 0");
    EXPECT_EQ(d.SelectedPlaque, 0);
    EXPECT_EQ(d.WatchInterval, 65535);
    EXPECT_EQ(d.OlnkConnectionString, u"");
    Load("PlaquesCount = 1\r\nPlaqueName = P\r\nWatchCount = -2\r\nSelectedPlaque = -1\r\n" + tail,
         d, docs, 5);
    ASSERT_EQ(d.WatchPlaques.size(), 1u);
    EXPECT_EQ(d.WatchPlaques[0].Name, u"P");
    EXPECT_EQ(d.SelectedPlaque, -1);
    EXPECT_THROW(Load("PlaquesCount = 1\r\nPlaqueName = P\r\nWatchCount = 0\r\nwhatever\r\n" + tail,
                      d, docs, 5),
                 ProjectFormatError);
}

TEST(ProjfileWorkspace, FormatErrorKeepsWhatWasRead)
{
    ProjectData src = RichProject();
    std::string full = Save(src, SampleDocs(), 6);

    // Cut after the breakpoints.
    std::string cut = full.substr(0, full.find("WatchInterval"));
    ProjectData d;
    SetProjectDefaults(d, 0);
    WorkspaceDocuments docs;
    EXPECT_THROW(Load(cut, d, docs, 6), ProjectFormatError);
    EXPECT_EQ(d.WatchPlaques, src.WatchPlaques);
    EXPECT_EQ(d.Breakpoints, src.Breakpoints);
    EXPECT_EQ(d.WatchInterval, 1000);

    // Cut after the second caret of the first frame of Main.plc.
    size_t at = full.find("CursorPos = 3, 4\r\n") + 18;
    cut = full.substr(0, at) + "CursorPos = 5\r\n";
    SetProjectDefaults(d, 0);
    EXPECT_THROW(Load(cut, d, docs, 6), ProjectFormatError);
    EXPECT_EQ(d.OlnkConnectionString, src.OlnkConnectionString);
    ASSERT_EQ(docs.lists[WorkspaceDocuments::PlcSource].size(), 1u);
    const WorkspaceDocument& doc = docs.lists[WorkspaceDocuments::PlcSource][0];
    EXPECT_EQ(doc.path, u"/home/u/proj/Main.plc");
    ASSERT_EQ(doc.frames.size(), 1u);
    EXPECT_TRUE(doc.frames[0].splitterRead);
    EXPECT_EQ(doc.frames[0].carets, (std::vector<std::pair<int32_t, int32_t>>{{1, 2}, {3, 4}}));

    // Cut right after a placement: the frame is there, its splitter not read.
    at = full.find("SplitterConfig = 2, 2");
    EXPECT_THROW(Load(full.substr(0, at), d, docs, 6), ProjectFormatError);
    ASSERT_EQ(docs.lists[WorkspaceDocuments::PlcSource][0].frames.size(), 1u);
    EXPECT_FALSE(docs.lists[WorkspaceDocuments::PlcSource][0].frames[0].splitterRead);

    // Cut right after a document path.
    at = full.find("FrameCount = 1\r\nFramePlacement = 1, -1, -1, -8, -30, 10, 20, 610, 420\r\n"
                   "SplitterConfig = 2, 1");
    EXPECT_THROW(Load(full.substr(0, at), d, docs, 6), ProjectFormatError);
    ASSERT_EQ(docs.lists[WorkspaceDocuments::Binary].size(), 1u);
    EXPECT_TRUE(docs.lists[WorkspaceDocuments::Binary][0].frames.empty());
    EXPECT_EQ(docs.lists[WorkspaceDocuments::Binary][0].path, u"/opt/data/x.bin");
}

TEST(ProjfileWorkspace, DocumentPaths)
{
    EXPECT_EQ(ResolveDocumentPath(kDir, u"src/a.plc"), u"/home/u/proj/src/a.plc");
    EXPECT_EQ(ResolveDocumentPath(kDir, u"src\\a.plc"), u"/home/u/proj/src/a.plc");
    EXPECT_EQ(ResolveDocumentPath(kDir, u"../x/a.plc"), u"/home/u/x/a.plc");
    EXPECT_EQ(ResolveDocumentPath(kDir, u"/etc/a.txt"), u"/etc/a.txt");
    EXPECT_EQ(ResolveDocumentPath(kDir, u"C:\\"), u"C:\\");
    EXPECT_EQ(ResolveDocumentPath(u"C:\\Proj\\", u"D:\\x.plc"), u"D:\\x.plc");
    EXPECT_EQ(ResolveDocumentPath(u"C:\\Proj\\", u"sub\\x.plc"), u"C:\\Proj\\sub\\x.plc");
    // An empty value is the project folder itself, which names no document.
    std::u16string empty = ResolveDocumentPath(kDir, u"");
    EXPECT_TRUE(empty == u"/home/u/proj/" || empty == u"/home/u/proj")
        << std::string(empty.begin(), empty.end());

    EXPECT_EQ(StoredDocumentPath(u"C:\\Proj\\", u"C:\\Proj\\sub\\x.plc"), u".\\sub\\x.plc");
    EXPECT_EQ(StoredDocumentPath(u"C:\\Proj\\", u"C:\\Other\\x.plc"), u"..\\Other\\x.plc");
    EXPECT_EQ(StoredDocumentPath(u"C:\\Proj\\", u"D:\\x.plc"), u"D:\\x.plc");
    // From a root the path is never stored beginning with a separator.
    EXPECT_EQ(StoredDocumentPath(u"C:\\", u"C:\\x.plc"), u".\\x.plc");
    EXPECT_EQ(StoredDocumentPath(u"C:\\Proj\\A\\", u"C:\\Other\\x.plc"), u"..\\..\\Other\\x.plc");
    EXPECT_EQ(StoredDocumentPath(u"\\\\srv\\share\\p\\", u"\\\\srv\\share\\x.plc"), u"..\\x.plc");
    EXPECT_EQ(StoredDocumentPath(u"\\\\srv\\share\\", u"\\\\srv\\share\\x.plc"), u".\\x.plc");
    // The project moved: a relative stored path follows it.
    EXPECT_EQ(
        ResolveDocumentPath(u"/mnt/new/proj/", StoredDocumentPath(kDir, u"/home/u/proj/s/a.plc")),
        u"/mnt/new/proj/s/a.plc");
}

TEST(ProjfileWorkspace, SelectionOutsideThePagesSelectsTheFirst)
{
    const std::string tail =
        "WatchMechsCount = 0\r\nBrksCount = 0\r\nWatchInterval = 40000\r\n"
        "WatchMechInterval = 1\r\nWatchRegsOnLineInterval = 2\r\nDisplayAsHex = 5\r\n"
        "WatchPLCRegsInSrc = -2\r\nOlnkConnectionString = x\r\nTXTDocumentsCount = 0\r\n"
        "PLCDocumentsCount = 0\r\nINCDocumentsCount = 0\r\nBINDocumentsCount = 0\r\n";
    const std::string pages = "PlaquesCount = 2\r\nPlaqueName = A\r\nWatchCount = 0\r\n"
                              "PlaqueName = B\r\nWatchCount = 0\r\n";
    for (auto [selected, expected] : std::vector<std::pair<int, int>>{
             {-2, 0}, {-1, -1}, {0, 0}, {1, 1}, {2, 0}, {2147483647, 0}}) {
        ProjectData d;
        SetProjectDefaults(d, 0);
        WorkspaceDocuments docs;
        Load(pages + "SelectedPlaque = " + std::to_string(selected) + "\r\n" + tail, d, docs, 5);
        EXPECT_EQ(d.SelectedPlaque, expected) << selected;
        EXPECT_EQ(d.WatchInterval, 40000);
        // Display flags keep any stored number.
        EXPECT_EQ(d.DisplayAsHex, 5);
        EXPECT_EQ(d.WatchPLCRegsInSrc, -2);
    }
}

TEST(ProjfileWorkspace, DocumentsWithoutAPathAreNotWritten)
{
    WorkspaceDocuments docs;
    docs.lists[WorkspaceDocuments::Text] = {
        {{}, u"", {Frame(1, 1, {{1, 1}})}}, {{}, u"/home/u/proj/a.txt", {}}, {{}, u"", {}}};
    ProjectData d;
    SetProjectDefaults(d, 0);
    const std::string s = Save(d, docs, 6);
    EXPECT_NE(s.find("TXTDocumentsCount = 1\r\nDocumentPath = .\\a.txt\r\nFrameCount = 0\r\n"
                     "PLCDocumentsCount = 0\r\n"),
              std::string::npos);
    WorkspaceDocuments back;
    Load(s, d, back, 6);
    EXPECT_EQ(back.lists[WorkspaceDocuments::Text].size(), 1u);
}
