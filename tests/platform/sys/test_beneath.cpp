// Work below a chosen folder through its descriptor: no step follows a
// symbolic link, with openat2 and with the walk that replaces it.
#include "platform/sys/AtomicFile.h"
#include "platform/sys/Beneath.h"
#include "tests/support/platform/Mounts.h"
#include "tests/support/platform/TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string Read(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
}

class Beneath : public ::testing::TestWithParam<bool>
{
protected:
    void SetUp() override
    {
        sys::ForceBeneathWithoutOpenat2(GetParam());
        dir.Write("root/sub/a.txt", "a");
        dir.Write("outside/file.txt", "keep");
        fs::create_directories(dir / "outside/folder");
        fs::create_symlink(dir / "outside/folder", dir / "root/flink");
        fs::create_symlink(dir / "outside/file.txt", dir / "root/sub/lnk.txt");
        fs::create_symlink(dir / "outside/none", dir / "root/dang");
        root.Reset(sys::OpenChosenFolder(dir / "root"));
        ASSERT_TRUE(root.Valid());
    }
    void TearDown() override { sys::ForceBeneathWithoutOpenat2(false); }

    testsupport::TempDir dir;
    sys::OwnedFd root;
};

} // namespace

TEST_P(Beneath, NoStepFollowsALink)
{
    EXPECT_EQ(sys::BeneathUsesOpenat2(), !GetParam());
    sys::OwnedFd sub(sys::OpenFolderBeneath(root.Get(), "sub"));
    EXPECT_TRUE(sub.Valid());
    for (const char* through : {"flink", "flink/x", "dang", "sub/lnk.txt"}) {
        errno = 0;
        EXPECT_EQ(sys::OpenFolderBeneath(root.Get(), through), -1) << through;
        EXPECT_EQ(errno, ELOOP) << through;
    }
    EXPECT_EQ(sys::OpenFolderBeneath(root.Get(), "sub/a.txt"), -1);
    EXPECT_EQ(errno, ENOTDIR);
    for (const char* climbing : {"..", "sub/../..", "/etc", "sub//a.txt", "./sub"}) {
        EXPECT_EQ(sys::OpenFolderBeneath(root.Get(), climbing), -1) << climbing;
        EXPECT_EQ(errno, EINVAL) << climbing;
    }

    // Writes: a link at the name or on the way is never written through.
    EXPECT_FALSE(sys::CreateFolderBeneath(root.Get(), "dang"));
    EXPECT_EQ(errno, EEXIST);
    EXPECT_FALSE(sys::CreateFolderBeneath(root.Get(), "flink/new"));
    EXPECT_EQ(errno, ELOOP);
    std::string name;
    sys::OwnedFd parent(sys::OpenParentBeneath(root.Get(), "sub/lnk.txt", name));
    ASSERT_TRUE(parent.Valid());
    EXPECT_EQ(name, "lnk.txt");
    sys::AtomicFile f;
    EXPECT_FALSE(f.OpenAt(parent.Get(), "lnk.txt"));
    EXPECT_EQ(errno, ELOOP);
    sys::OwnedFd top(sys::OpenParentBeneath(root.Get(), "dang", name));
    EXPECT_FALSE(f.OpenAt(top.Get(), "dang"));
    EXPECT_EQ(errno, ELOOP);
    EXPECT_FALSE(sys::MoveBeneath(root.Get(), "sub/a.txt", root.Get(), "dang"));
    EXPECT_EQ(errno, EEXIST);
    EXPECT_FALSE(sys::DeleteFileBeneath(root.Get(), "flink/x"));
    EXPECT_EQ(errno, ELOOP);
    // A tree goes with its links, never with what they name.
    EXPECT_TRUE(sys::RemoveTreeBeneath(root.Get(), "sub"));
    EXPECT_FALSE(fs::exists(dir / "root/sub"));
    EXPECT_TRUE(sys::DeleteFileBeneath(root.Get(), "flink")); // the link itself
    EXPECT_TRUE(sys::RemoveTreeBeneath(root.Get(), "gone"));

    EXPECT_EQ(Read(dir / "outside/file.txt"), "keep");
    EXPECT_TRUE(fs::is_directory(dir / "outside/folder"));
    EXPECT_TRUE(fs::is_empty(dir / "outside/folder"));
    EXPECT_FALSE(fs::exists(dir / "outside/none"));
}

TEST_P(Beneath, AFileIsPutInPlaceInTheFolderItsDescriptorNames)
{
    std::string name;
    sys::OwnedFd parent(sys::OpenParentBeneath(root.Get(), "sub/a.txt", name));
    ASSERT_TRUE(parent.Valid());
    sys::AtomicFile f;
    ASSERT_TRUE(f.OpenAt(parent.Get(), name));
    ASSERT_TRUE(f.Write("new"));
    // The folder moves meanwhile, and a link takes its old name.
    fs::rename(dir / "root/sub", dir / "root/moved");
    fs::create_symlink(dir / "outside/folder", dir / "root/sub");
    ASSERT_TRUE(f.Commit());
    EXPECT_EQ(Read(dir / "root/moved/a.txt"), "new");
    EXPECT_TRUE(fs::is_empty(dir / "outside/folder"));

    sys::LocalEntry e;
    ASSERT_TRUE(sys::StatBeneath(root.Get(), "moved/a.txt", e));
    EXPECT_TRUE(e.regular);
    EXPECT_EQ(e.size, 3u);
    EXPECT_FALSE(sys::StatBeneath(root.Get(), "sub/a.txt", e));
    EXPECT_EQ(errno, ELOOP);

    // A new file, and the named temporary file of a file system without
    // unnamed files.
    sys::ForceNamedTempFiles(true);
    sys::AtomicFile g;
    ASSERT_TRUE(g.OpenAt(root.Get(), "new.txt", sys::AtomicFile::kNoReplace));
    EXPECT_FALSE(g.TempPath().empty());
    ASSERT_TRUE(g.Write("n"));
    ASSERT_TRUE(g.Commit());
    sys::ForceNamedTempFiles(false);
    EXPECT_EQ(Read(dir / "root/new.txt"), "n");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "root"), fs::directory_iterator()), 5);

    // Moves never replace; a regular file lands by its new name.
    EXPECT_TRUE(sys::MoveBeneath(root.Get(), "new.txt", root.Get(), "moved/n.txt"));
    EXPECT_EQ(Read(dir / "root/moved/n.txt"), "n");
    std::string rel;
    EXPECT_TRUE(sys::RelativeBelow(dir / "root", dir / "root/moved//./n.txt", rel));
    EXPECT_EQ(rel, "moved/n.txt");
    EXPECT_FALSE(sys::RelativeBelow(dir / "root", dir / "root", rel));
    EXPECT_FALSE(sys::RelativeBelow(dir / "root", dir / "root/../outside", rel));
}

TEST_P(Beneath, AUniqueFolderIsNewEveryTime)
{
    // Made below the root, each with a name of its own; a link on the way
    // is refused.
    std::set<std::string> made;
    for (int i = 0; i < 20; ++i) {
        std::string rel;
        ASSERT_TRUE(sys::CreateUniqueFolderBeneath(root.Get(), "sub/work-", rel));
        EXPECT_EQ(rel.size(), std::string("sub/work-").size() + 6) << rel;
        EXPECT_EQ(rel.rfind("sub/work-", 0), 0u) << rel;
        EXPECT_TRUE(fs::is_directory(fs::symlink_status(dir / ("root/" + rel)))) << rel;
        EXPECT_TRUE(fs::is_empty(dir / ("root/" + rel))) << rel;
        made.insert(rel);
    }
    EXPECT_EQ(made.size(), 20u);
    EXPECT_EQ(Read(dir / "root/sub/a.txt"), "a");
    std::string rel;
    EXPECT_FALSE(sys::CreateUniqueFolderBeneath(root.Get(), "flink/work-", rel));
    EXPECT_EQ(errno, ELOOP);
    EXPECT_TRUE(fs::is_empty(dir / "outside/folder"));
}

// A second name of a file or of a link itself, never over anything; on
// another file system (no hard link there) a copy of the file with its
// mode and a new link with the same content, and anything else refused.
TEST_P(Beneath, ALinkedEntryKeepsItsBytesAndModeAlsoOnAnotherFileSystem)
{
    fs::create_directories(dir / "root/disk");
    const testsupport::TestMount disk = testsupport::TestMount::Tmpfs(dir / "root/disk", 65536);
    root.Reset(sys::OpenChosenFolder(dir / "root")); // in the mount namespace of the mount
    ::chmod((dir / "root/sub/a.txt").c_str(), 0640);
    ASSERT_EQ(::mkfifo((dir / "root/sub/fifo").c_str(), 0600), 0);
    const struct
    {
        const char* target;
        bool otherDisk;
    } cases[] = {{"", false}, {"disk/", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.target);
        if (c.otherDisk && !disk.Up())
            GTEST_SKIP() << "another file system is not tried: " << disk.Why();
        const std::string to = std::string(c.target);
        ASSERT_TRUE(sys::LinkBeneath(root.Get(), "sub/a.txt", root.Get(), to + "a2.txt"));
        ASSERT_TRUE(sys::LinkBeneath(root.Get(), "sub/lnk.txt", root.Get(), to + "lnk2.txt"));
        EXPECT_EQ(Read(dir / ("root/" + to + "a2.txt")), "a");
        EXPECT_EQ(fs::status(dir / ("root/" + to + "a2.txt")).permissions(), fs::perms(0640));
        EXPECT_EQ(fs::read_symlink(dir / ("root/" + to + "lnk2.txt")), dir / "outside/file.txt");
        EXPECT_EQ(sys::LinkBeneath(root.Get(), "sub/fifo", root.Get(), to + "fifo2"), !c.otherDisk);
        EXPECT_FALSE(sys::LinkBeneath(root.Get(), "sub/a.txt", root.Get(), to + "lnk2.txt"));
        EXPECT_EQ(errno, EEXIST);
    }
    EXPECT_EQ(Read(dir / "root/sub/a.txt"), "a");
    EXPECT_EQ(Read(dir / "outside/file.txt"), "keep");
}

INSTANTIATE_TEST_SUITE_P(Resolution, Beneath, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? std::string("Walk") : std::string("Openat2"); });
