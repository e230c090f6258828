#include "platform/sys/FileIO.h"
#include "platform/sys/LastError.h"
#include "tests/support/platform/TempDir.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <set>

using namespace sys;

namespace {

std::set<std::string> Entries(const std::string& folder)
{
    std::set<std::string> out;
    if (DIR* d = opendir(folder.c_str())) {
        while (dirent* e = readdir(d)) {
            std::string n = e->d_name;
            if (n != "." && n != "..")
                out.insert(n);
        }
        closedir(d);
    }
    return out;
}

mode_t Mode(const std::string& path)
{
    struct stat st;
    EXPECT_EQ(stat(path.c_str(), &st), 0);
    return st.st_mode & 07777;
}

} // namespace

TEST(FileIO, AtomicWriteCreatesAndReplaces)
{
    testsupport::TempDir dir;
    const std::string path = dir / "Lis.kxp";
    const std::string bytes("line 1\r\n\0\xFF", 10);
    ASSERT_TRUE(AtomicWriteFile(path, bytes));
    EXPECT_EQ(ReadWholeFile(path), bytes);
    ASSERT_TRUE(AtomicWriteFile(path, "new"));
    EXPECT_EQ(ReadWholeFile(path), "new");
    ASSERT_TRUE(AtomicWriteFile(path, ""));
    EXPECT_EQ(ReadWholeFile(path), "");
    EXPECT_EQ(Entries(dir.Path()), std::set<std::string>{"Lis.kxp"});
}

TEST(FileIO, ReplacedFileKeepsItsPermissionBits)
{
    testsupport::TempDir dir;
    const std::string path = dir / "run.sh";
    dir.Write("run.sh", "old");
    ASSERT_EQ(chmod(path.c_str(), 0751), 0);
    ASSERT_TRUE(AtomicWriteFile(path, "new"));
    EXPECT_EQ(Mode(path), 0751u);
    ASSERT_EQ(chmod(path.c_str(), 0600), 0);
    ASSERT_TRUE(AtomicWriteFile(path, "newer"));
    EXPECT_EQ(Mode(path), 0600u);

    // A new file gets 0666 less the umask.
    const mode_t old = umask(027);
    ASSERT_TRUE(AtomicWriteFile(dir / "fresh", "x"));
    umask(old);
    EXPECT_EQ(Mode(dir / "fresh"), 0640u);
}

TEST(FileIO, WritingThroughALinkReplacesTheTarget)
{
    testsupport::TempDir dir;
    dir.Write("real.txt", "old");
    ASSERT_EQ(symlink("real.txt", (dir / "link.txt").c_str()), 0);
    ASSERT_TRUE(AtomicWriteFile(dir / "link.txt", "new"));
    struct stat st;
    ASSERT_EQ(lstat((dir / "link.txt").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(dir.Read("real.txt"), "new");
}

TEST(FileIO, FailuresReportAnErrorAndLeaveNothingBehind)
{
    testsupport::TempDir dir;
    SetLastError(0);
    EXPECT_FALSE(AtomicWriteFile(dir / "missing/x.txt", "data"));
    EXPECT_EQ(GetLastError(), static_cast<uint32_t>(ENOENT));
    EXPECT_TRUE(Entries(dir.Path()).empty());

    // A folder in the target's place is not replaced.
    dir.Write("sub/keep", "k");
    SetLastError(0);
    EXPECT_FALSE(AtomicWriteFile(dir / "sub", "data"));
    EXPECT_EQ(GetLastError(), static_cast<uint32_t>(EISDIR));
    EXPECT_EQ(dir.Read("sub/keep"), "k");

    if (geteuid() != 0) {
        // A read-only folder: the old file stays as it was.
        dir.Write("ro/file", "old");
        ASSERT_EQ(chmod((dir / "ro").c_str(), 0555), 0);
        SetLastError(0);
        EXPECT_FALSE(AtomicWriteFile(dir / "ro/file", "new"));
        EXPECT_EQ(GetLastError(), static_cast<uint32_t>(EACCES));
        chmod((dir / "ro").c_str(), 0755);
        EXPECT_EQ(dir.Read("ro/file"), "old");
        EXPECT_EQ(Entries(dir / "ro"), std::set<std::string>{"file"});
    }

    SetLastError(0);
    EXPECT_EQ(ReadWholeFile(dir / "nothing"), std::nullopt);
    EXPECT_EQ(GetLastError(), static_cast<uint32_t>(ENOENT));
    EXPECT_EQ(ReadWholeFile(dir / "sub"), std::nullopt);
    EXPECT_EQ(GetLastError(), static_cast<uint32_t>(EISDIR));
    // Nothing but a regular file is read, and the refusal comes at once: a
    // FIFO without a writer, an endless device.
    ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
    for (const std::string& path : {dir / "fifo", std::string("/dev/zero")}) {
        SetLastError(0);
        uint64_t size = 1;
        EXPECT_EQ(OpenForReading(path, size), -1) << path;
        EXPECT_EQ(GetLastError(), static_cast<uint32_t>(ENODEV)) << path;
        EXPECT_EQ(size, 0u);
        EXPECT_EQ(ReadWholeFile(path), std::nullopt) << path;
    }
}

TEST(FileIO, CopyIsWholeOrNothing)
{
    testsupport::TempDir dir;
    const std::string bytes(200000, '\xA5'); // more than one read
    dir.Write("src.bin", bytes);
    dir.Write("dst.bin", "old");
    ASSERT_TRUE(AtomicCopyFile(dir / "src.bin", dir / "dst.bin"));
    EXPECT_EQ(ReadWholeFile(dir / "dst.bin"), bytes);

    // A source that is missing or not a regular file leaves the target.
    ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
    for (const char* from : {"nothing", "fifo"}) {
        SetLastError(0);
        EXPECT_FALSE(AtomicCopyFile(dir / from, dir / "old.txt")) << from;
        EXPECT_NE(GetLastError(), 0u) << from;
    }
    EXPECT_FALSE(FileExists(dir / "old.txt"));
    // A folder in the target's place stays.
    dir.Write("sub/keep", "k");
    EXPECT_FALSE(AtomicCopyFile(dir / "src.bin", dir / "sub"));
    EXPECT_EQ(dir.Read("sub/keep"), "k");
    EXPECT_EQ(Entries(dir.Path()), (std::set<std::string>{"dst.bin", "fifo", "src.bin", "sub"}));
}

TEST(FileIO, FileQueries)
{
    testsupport::TempDir dir;
    dir.Write("a/f.txt", "x");
    EXPECT_TRUE(FileExists(dir / "a/f.txt"));
    EXPECT_TRUE(IsRegularFile(dir / "a/f.txt"));
    EXPECT_FALSE(IsDirectory(dir / "a/f.txt"));
    EXPECT_TRUE(IsDirectory(dir / "a"));
    EXPECT_FALSE(FileExists(dir / "b"));

    struct timespec times[2] = {{1700000000, 500}, {1700000000, 123456700}};
    ASSERT_EQ(utimensat(AT_FDCWD, (dir / "a/f.txt").c_str(), times, 0), 0);
    EXPECT_EQ(GetFileWriteTime(dir / "a/f.txt"), FileTimeFromUnix(1700000000, 123456700));
    EXPECT_EQ(GetFileWriteTime(dir / "b"), std::nullopt);
}

TEST(FileIO, ProgramFolderAndPrograms)
{
    const std::string folder = ProgramFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder[0], '/');
    EXPECT_TRUE(IsRegularFile(folder + "/platform_fileio"));

    testsupport::TempDir dir;
    dir.Write("Tarv", "#!/bin/sh\n");
    dir.Write("Pilvex.exe", "");
    EXPECT_EQ(FindProgram(dir.Path(), "Tarv.exe"), dir / "Tarv");
    EXPECT_EQ(FindProgram(dir.Path(), "Tarv.EXE"), dir / "Tarv");
    EXPECT_EQ(FindProgram(dir.Path() + "/", "Pilvex.exe"), dir / "Pilvex.exe");
    EXPECT_EQ(FindProgram(dir.Path(), "Tarv"), dir / "Tarv");
    EXPECT_EQ(FindProgram(dir.Path(), "Make.exe"), std::nullopt);
    dir.Write("Dir/x", "");
    EXPECT_EQ(FindProgram(dir.Path(), "Dir.exe"), std::nullopt);
}
