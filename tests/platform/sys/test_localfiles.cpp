// The local file operations of the file-operation engine.
#include "platform/sys/LastError.h"
#include "platform/sys/LocalFiles.h"
#include "tests/support/platform/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;
using testsupport::TempDir;

namespace {

std::vector<std::string> Names(const std::string& folder)
{
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(folder))
        out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
}

} // namespace

TEST(LocalFiles, ListsWithLstatAndWithoutDotEntries)
{
    TempDir d;
    d.Write("f.txt", "abc");
    d.Write(".hidden", "");
    fs::create_directory(d / "sub");
    fs::create_directory_symlink(d / "sub", d / "link");
    std::vector<sys::LocalEntry> entries;
    ASSERT_TRUE(sys::ListLocalFolder(d.Path(), entries));
    std::sort(entries.begin(), entries.end(), [](auto& a, auto& b) { return a.name < b.name; });
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[0].name, ".hidden");
    EXPECT_EQ(entries[1].name, "f.txt");
    EXPECT_TRUE(entries[1].regular);
    EXPECT_EQ(entries[1].size, 3u);
    EXPECT_NE(entries[1].writeTime, 0u);
    EXPECT_EQ(entries[2].name, "link");
    EXPECT_TRUE(entries[2].symlink);
    EXPECT_FALSE(entries[2].folder);
    EXPECT_TRUE(entries[3].folder);
    EXPECT_FALSE(sys::ListLocalFolder(d / "f.txt", entries));
    EXPECT_EQ(sys::GetLastError(), uint32_t(ENOTDIR));
}

TEST(LocalFiles, ChunkedCopyKeepsTimeAndModeAndNeverHurtsTheTarget)
{
    TempDir d;
    const std::string data(3 << 20, 'q');
    d.Write("src", data);
    ::chmod((d / "src").c_str(), 0640);
    struct timespec ts[2] = {{1000000000, 0}, {1000000000, 0}};
    ::utimensat(AT_FDCWD, (d / "src").c_str(), ts, 0);
    d.Write("dst", "old");

    sys::LocalFileCopy c;
    ASSERT_TRUE(c.Open(d / "src", d / "dst"));
    EXPECT_EQ(c.Size(), data.size());
    EXPECT_EQ(c.Step(1 << 20), 1 << 20);
    // Aborted half-way: the target is as it was and no temporary file stays.
    c.Abort();
    EXPECT_EQ(d.Read("dst"), "old");
    EXPECT_EQ(Names(d.Path()), (std::vector<std::string>{"dst", "src"}));

    ASSERT_TRUE(c.Open(d / "src", d / "dst"));
    while (c.Step(1 << 20) > 0) {
    }
    ASSERT_TRUE(c.Commit());
    EXPECT_EQ(d.Read("dst"), data);
    struct stat st;
    ASSERT_EQ(::stat((d / "dst").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(st.st_mtim.tv_sec, 1000000000);
    EXPECT_EQ(Names(d.Path()), (std::vector<std::string>{"dst", "src"}));

    // The same file, also through a link: refused, nothing created.
    fs::create_symlink(d / "src", d / "alias");
    EXPECT_FALSE(sys::CopyLocalFile(d / "src", d / "alias"));
    EXPECT_EQ(sys::GetLastError(), uint32_t(EEXIST));
    EXPECT_EQ(d.Read("src"), data);
}

TEST(LocalFiles, OnlyRegularFilesAreRead)
{
    TempDir d;
    ASSERT_EQ(::mkfifo((d / "fifo").c_str(), 0600), 0);
    fs::create_symlink("/dev/zero", d / "zero");
    uint64_t size = 0;
    EXPECT_EQ(sys::OpenRegularForReading(d / "fifo", size), -1); // returns at once
    EXPECT_EQ(sys::GetLastError(), uint32_t(ENODEV));
    EXPECT_EQ(sys::OpenRegularForReading(d / "zero", size), -1);
    EXPECT_EQ(sys::GetLastError(), uint32_t(ENODEV));
    EXPECT_EQ(sys::OpenRegularForReading(d.Path(), size), -1);
    EXPECT_EQ(sys::GetLastError(), uint32_t(EISDIR));
    EXPECT_FALSE(sys::CopyLocalFile(d / "fifo", d / "copy"));
    EXPECT_FALSE(fs::exists(d / "copy"));
}

TEST(LocalFiles, MoveNeverReplacesAndFolderOperations)
{
    TempDir d;
    d.Write("a", "A");
    d.Write("b", "B");
    EXPECT_FALSE(sys::MoveLocalEntry(d / "a", d / "b"));
    EXPECT_EQ(sys::GetLastError(), uint32_t(EEXIST));
    EXPECT_EQ(d.Read("a"), "A");
    EXPECT_EQ(d.Read("b"), "B");
    EXPECT_TRUE(sys::MoveLocalEntry(d / "a", d / "c"));
    EXPECT_EQ(d.Read("c"), "A");

    EXPECT_TRUE(sys::CreateLocalFolder(d / "f"));
    EXPECT_FALSE(sys::CreateLocalFolder(d / "f"));
    EXPECT_FALSE(sys::CreateLocalFolder(d / "c"));
    d.Write("f/x", "x");
    EXPECT_FALSE(sys::RemoveLocalFolder(d / "f"));
    EXPECT_TRUE(sys::DeleteLocalFile(d / "f/x"));
    EXPECT_TRUE(sys::RemoveLocalFolder(d / "f"));
    EXPECT_FALSE(sys::DeleteLocalFile(d / "f"));
}

TEST(LocalFiles, MoveAcrossFileSystems)
{
    struct stat a, b;
    TempDir d;
    if (::stat("/dev/shm", &a) != 0 || ::stat(d.Path().c_str(), &b) != 0 || a.st_dev == b.st_dev)
        GTEST_SKIP() << "/dev/shm and the temporary folder share a file system";
    char tmpl[] = "/dev/shm/swmoveXXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    const std::string shm = tmpl;
    d.Write("file", "content");
    d.Write("exists", "keep");
    fs::create_directory(d / "folder");
    EXPECT_TRUE(sys::MoveLocalEntry(d / "file", shm + "/file"));
    EXPECT_FALSE(fs::exists(d / "file"));
    EXPECT_TRUE(sys::MoveLocalEntry(shm + "/file", d / "back"));
    EXPECT_EQ(d.Read("back"), "content");
    // Never replacing, also across file systems.
    EXPECT_TRUE(sys::MoveLocalEntry(d / "back", shm + "/file"));
    EXPECT_FALSE(sys::MoveLocalEntry(shm + "/file", d / "exists"));
    EXPECT_EQ(d.Read("exists"), "keep");
    EXPECT_TRUE(fs::exists(shm + "/file"));
    EXPECT_FALSE(sys::MoveLocalEntry(d / "folder", shm + "/folder"));
    EXPECT_EQ(sys::GetLastError(), uint32_t(EXDEV));
    EXPECT_EQ(Names(d.Path()), (std::vector<std::string>{"exists", "folder"}));
    fs::remove_all(shm);
}

TEST(LocalPaths, LexicalFormAndInside)
{
    using sys::LexicalLocalPath;
    using sys::LocalPathInside;
    EXPECT_EQ(LexicalLocalPath("/a//b/./c/"), "/a/b/c");
    EXPECT_EQ(LexicalLocalPath("/a/b/../../../x"), "/x"); // never above "/"
    EXPECT_EQ(LexicalLocalPath("/a/b\\..\\..\\x"), "/x"); // "\" separates too
    EXPECT_EQ(LexicalLocalPath("a/../../x"), "../x");
    EXPECT_EQ(LexicalLocalPath("a/.."), ".");
    EXPECT_EQ(LexicalLocalPath("/"), "/");
    EXPECT_EQ(LexicalLocalPath(""), "");

    const std::string t = "/home/u/target";
    for (const char* in : {"/home/u/target/x", "/home/u/target//a/b/../c", "/home/u/target/./x",
                           "/home/u/target/.profile", "/home/u/target/...", "/home/u/target/a/../b"})
        EXPECT_TRUE(LocalPathInside(t, in)) << in;
    for (const char* out : {"/home/u/target", "/home/u/target/", "/home/u/target/.", "/home/u/target/a/..",
                            "/home/u/target/../x", "/home/u/target/../../x", "/home/u/targetx",
                            "/home/u/target/a/../../x", "/home/u/target//../../../home/user/.profile",
                            "/home/u/target/a\\..\\..\\x", "/etc/passwd", "x", "", "target/x"})
        EXPECT_FALSE(LocalPathInside(t, out)) << out;
    // The folder's own form does not matter.
    EXPECT_TRUE(LocalPathInside("/home/u/target/", "/home/u/target/x"));
    EXPECT_TRUE(LocalPathInside("/home/u/./target/sub/..", "/home/u/target/x"));
    EXPECT_TRUE(LocalPathInside("/", "/x"));
    EXPECT_FALSE(LocalPathInside("/", "/"));
    EXPECT_FALSE(LocalPathInside("", "/x"));
    // Relative folders compare lexically as well.
    EXPECT_TRUE(LocalPathInside("out", "out/a"));
    EXPECT_FALSE(LocalPathInside("out", "out/../a"));
    EXPECT_TRUE(LocalPathInside(".", "a"));
    EXPECT_FALSE(LocalPathInside(".", "../a"));
}
