// The support files: only transfer types 2 to 6 take part.
#include "TransferTest.h"

#include <map>

using namespace transfertest;

TEST_F(TransferTest, SupportFiles)
{
    StartSimulator();
    Open("ok");
    auto& list = doc->Data().SupportFiles;
    list = {{u"a.txt", u"a.txt", u"\\DATA\\a.txt", 0, 0, 0}, {u"b.txt", u"b.txt", u"\\DATA\\b.txt", 0, 1, 0}};
    // Only "Nikdy" and "Ručně": nothing to do, no connection.
    EXPECT_TRUE(doc->TransferSupportFiles());
    EXPECT_FALSE(doc->Link().IsOpen());
    EXPECT_EQ(Out(), "");

    // One of type 5 (a bare name under the project folder) and one of type 0.
    dir.Write("a.txt", "send me");
    dir.Write("b.txt", "keep me");
    list[0].TransferType = 5;
    EXPECT_TRUE(doc->TransferSupportFiles()) << Out();
    EXPECT_EQ(ReadAll(remote / "DATA/a.txt"), "send me");
    EXPECT_FALSE(sys::FileExists(remote / "DATA/b.txt"));
}

TEST_F(TransferTest, SupportFilesTakeTheirLocalPathsFromTheProjectOnly)
{
    // The control system names every entry "../../x" in its information
    // answers and lists climbing names in every folder: the fetch still
    // writes only the project's own path, and no listing is ever asked.
    StartSimulator();
    Open("ok");
    cssim::FileScript info;
    info.infoName = "../../x";
    sim->scriptFile(5, "", info);
    cssim::FileScript listing;
    listing.listing = std::vector<cssim::ListedEntry>{{"../../x", false, {'E'}}};
    sim->scriptFile(3, "", listing);
    remote.Write("DATA/c.txt", "fetched");
    const std::string outside = dir / "../x";
    auto& list = doc->Data().SupportFiles;
    list = {{u"c.txt", u"sub\\c.txt", u"\\DATA\\c.txt", 0, 4, 0}}; // fetched when missing here
    dir.Write("sub/.keep", "");
    const std::map<std::string, std::string> before = [&] {
        std::map<std::string, std::string> m;
        for (const auto& e : fs::recursive_directory_iterator(dir.Path()))
            if (e.is_regular_file())
                m[e.path().string()] = ReadAll(e.path().string());
        return m;
    }();
    EXPECT_TRUE(doc->TransferSupportFiles()) << Out();
    EXPECT_EQ(ReadAll(dir / "sub/c.txt"), "fetched") << Out();
    EXPECT_EQ(Received(2, 3), 0u);
    for (const auto& [path, content] : before)
        EXPECT_EQ(ReadAll(path), content) << path;
    size_t files = 0;
    for (const auto& e : fs::recursive_directory_iterator(dir.Path()))
        files += e.is_regular_file();
    EXPECT_EQ(files, before.size() + 1);
    EXPECT_FALSE(fs::exists(outside));
}

TEST_F(TransferTest, SupportFilesNeverFetchThroughALinkBelowTheProject)
{
    // Links below the project folder: one at a file's name, one on a
    // file's way, one that names nothing.  Each fetch is refused with its
    // own line, the good one arrives, what the links name stays as it was.
    StartSimulator();
    Open("ok");
    testsupport::TempDir outside;
    outside.Write("file.txt", "keep file");
    outside.Write("folder/keep.txt", "keep inner");
    for (const char* name : {"a.txt", "b.txt", "c.txt", "d.txt"})
        remote.Write(std::string("DATA/") + name, std::string("peer ") + name);
    fs::create_symlink(outside / "file.txt", dir / "a.txt");
    fs::create_symlink(outside / "folder", dir / "sub");
    fs::create_symlink(outside / "new.txt", dir / "c.txt");
    auto& list = doc->Data().SupportFiles;
    list = {{u"a.txt", u"a.txt", u"\\DATA\\a.txt", 0, 6, 0},
            {u"b.txt", u"sub\\b.txt", u"\\DATA\\b.txt", 0, 6, 0},
            {u"c.txt", u"c.txt", u"\\DATA\\c.txt", 0, 6, 0},
            {u"d.txt", u"d.txt", u"\\DATA\\d.txt", 0, 6, 0}};
    EXPECT_FALSE(doc->TransferSupportFiles());
    for (const std::string name : {"a.txt", "sub/b.txt", "c.txt"})
        EXPECT_TRUE(Has("Cíl je symbolický odkaz: " + (dir / name) + "\r\n")) << name << Out();
    EXPECT_EQ(ReadAll(dir / "d.txt"), "peer d.txt");
    EXPECT_EQ(ReadAll(outside / "file.txt"), "keep file");
    EXPECT_EQ(ReadAll(outside / "folder/keep.txt"), "keep inner");
    EXPECT_FALSE(fs::exists(outside / "folder/b.txt"));
    EXPECT_FALSE(fs::exists(outside / "new.txt"));
    EXPECT_TRUE(fs::is_symlink(dir / "a.txt"));
}
