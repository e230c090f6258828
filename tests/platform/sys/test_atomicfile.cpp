// The one save routine: saves killed with SIGKILL in the middle (with
// unnamed temporary files and with the named fallback), failed writes,
// what it refuses to replace, links, modes and the never-replacing form.

#include "platform/sys/AtomicFile.h"
#include "platform/sys/FileIO.h"
#include "platform/sys/LastError.h"
#include "tests/support/platform/TempDir.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <set>
#include <string>

using sys::AtomicFile;

namespace {

std::set<std::string> Entries(const std::string& folder)
{
    std::set<std::string> out;
    if (DIR* d = ::opendir(folder.c_str())) {
        while (dirent* e = ::readdir(d)) {
            const std::string n = e->d_name;
            if (n != "." && n != "..")
                out.insert(n);
        }
        ::closedir(d);
    }
    return out;
}

mode_t Mode(const std::string& path)
{
    struct stat st{};
    EXPECT_EQ(::stat(path.c_str(), &st), 0);
    return st.st_mode & 07777;
}

// Content that tells its own kind and is whole only when complete.
std::string Content(char kind, size_t size)
{
    std::string s(size, '\0');
    for (size_t i = 0; i < size; ++i)
        s[i] = char(kind + (i * 7 + i / 4096) % 23);
    return s;
}

// Forces the named temporary files for one scope.
struct NamedTempFiles
{
    NamedTempFiles() { sys::ForceNamedTempFiles(true); }
    ~NamedTempFiles() { sys::ForceNamedTempFiles(false); }
};

// Sets the last-write time of every temporary file of `name` back by two
// minutes; the number of files.
int AgeLeftovers(const std::string& folder, const std::string& name)
{
    const std::string prefix = sys::TempFilePrefix(name);
    int n = 0;
    for (const std::string& e : Entries(folder))
        if (e.starts_with(prefix)) {
            struct timespec ts[2];
            ts[0].tv_sec = ts[1].tv_sec = ::time(nullptr) - 2 * sys::kLeftoverTempAgeSeconds;
            ts[0].tv_nsec = ts[1].tv_nsec = 0;
            EXPECT_EQ(::utimensat(AT_FDCWD, (folder + "/" + e).c_str(), ts, 0), 0);
            ++n;
        }
    return n;
}

constexpr size_t kSize = 2 << 20;   // each save writes 2 MiB ...
constexpr size_t kChunk = 64 << 10; // ... in chunks of 64 KiB

// The child's saves: A, B, A, ... to `path`, one progress byte to
// `progress` after every chunk.  With pauseAt >= 0 the child stops after
// that many chunks in all (and waits there to be killed).
[[noreturn]] void SaveForEver(const std::string& path, int progress, long pauseAt)
{
    const std::string a = Content('A', kSize), b = Content('a', kSize);
    long chunks = 0;
    for (int round = 0;; ++round) {
        const std::string& c = round % 2 ? b : a;
        AtomicFile f;
        if (!f.Open(path))
            ::_exit(3);
        for (size_t at = 0; at < c.size(); at += kChunk) {
            if (!f.Write(c.data() + at, kChunk))
                ::_exit(4);
            const char one = 1;
            (void)!::write(progress, &one, 1);
            if (++chunks == pauseAt)
                for (;;)
                    ::pause();
        }
        if (!f.Commit())
            ::_exit(5);
    }
}

// Runs `rounds` children that save to dir/big.bin and kills each after the
// number of progress bytes that `killAfter` gives for the round; checks
// that the target is always whole (the old content or a new one).
template <typename KillAfter>
void KillSavesRepeatedly(const testsupport::TempDir& dir, int rounds, bool pause, KillAfter killAfter)
{
    const std::string path = dir / "big.bin";
    const std::string old = Content('0', kSize / 2), a = Content('A', kSize), b = Content('a', kSize);
    dir.Write("big.bin", old);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    for (int round = 0; round < rounds; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "the kills take too long";
        int fds[2];
        ASSERT_EQ(::pipe2(fds, O_CLOEXEC), 0);
        const long after = killAfter(round);
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            ::close(fds[0]);
            SaveForEver(path, fds[1], pause ? after : -1);
        }
        ::close(fds[1]);
        long seen = 0;
        while (seen < after) {
            pollfd p{fds[0], POLLIN, 0};
            ASSERT_EQ(::poll(&p, 1, 20000), 1) << "the child made no progress";
            char buf[256];
            const ssize_t n = ::read(fds[0], buf, size_t(std::min<long>(after - seen, long(sizeof buf))));
            ASSERT_GT(n, 0) << "the child ended early";
            seen += n;
        }
        ASSERT_EQ(::kill(pid, SIGKILL), 0);
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        ::close(fds[0]);
        ASSERT_TRUE(WIFSIGNALED(status)) << "child status " << status;
        const std::string now = dir.Read("big.bin");
        EXPECT_TRUE(now == old || now == a || now == b) << "a torn file of " << now.size() << " bytes";
    }
}

} // namespace

TEST(AtomicFile, SavesKilledWhileWritingLeaveNothingBehind)
{
    testsupport::TempDir dir;
    // Each child is killed while it writes: in its first save (at the first
    // chunk, in the middle, after the last one) or in a later one.
    const long perSave = long(kSize / kChunk);
    KillSavesRepeatedly(dir, 24, true, [&](int round) {
        const long inSave = (round % 3 == 0) ? 1 : (round % 3 == 1) ? perSave / 2 : perSave;
        return long(round % 4) * perSave + inSave;
    });
    EXPECT_EQ(Entries(dir.Path()), std::set<std::string>{"big.bin"});
}

TEST(AtomicFile, SavesKilledAnywhereWithNamedFilesAreCleanedByTheNextSave)
{
    testsupport::TempDir dir;
    NamedTempFiles named;
    // Free-running children killed after a varying number of chunks: in a
    // write, between saves, in the commit.
    KillSavesRepeatedly(dir, 24, false, [](int round) { return long(round * 13 % 90 + 1); });
    std::set<std::string> left = Entries(dir.Path());
    ASSERT_EQ(left.erase("big.bin"), 1u);
    ASSERT_FALSE(left.empty()) << "no save was killed while writing";
    for (const std::string& e : left)
        EXPECT_TRUE(e.starts_with(sys::TempFilePrefix("big.bin"))) << e;

    // Young leftovers may belong to a save that still runs: kept.
    ASSERT_TRUE(sys::AtomicWriteFile(dir / "big.bin", "next"));
    std::set<std::string> after = Entries(dir.Path());
    after.erase("big.bin");
    EXPECT_EQ(after, left);
    // Another target's save leaves them too, however old.
    EXPECT_EQ(AgeLeftovers(dir.Path(), "big.bin"), int(left.size()));
    ASSERT_TRUE(sys::AtomicWriteFile(dir / "big", "other"));
    EXPECT_EQ(Entries(dir.Path()).size(), left.size() + 2);
    // Older than a minute: the next save of the same target removes them.
    ASSERT_TRUE(sys::AtomicWriteFile(dir / "big.bin", "last"));
    EXPECT_EQ(Entries(dir.Path()), (std::set<std::string>{"big", "big.bin"}));
    EXPECT_EQ(dir.Read("big.bin"), "last");
}

TEST(AtomicFile, AFailedWriteLeavesTheOldFileAndNoTemporaryFile)
{
    for (bool named : {false, true}) {
        SCOPED_TRACE(named ? "named" : "unnamed");
        testsupport::TempDir dir;
        sys::ForceNamedTempFiles(named);
        dir.Write("f.bin", "old");
        // A file-size limit makes the write fail half-way (EFBIG).
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            ::signal(SIGXFSZ, SIG_IGN);
            rlimit lim{4096, 4096};
            ::setrlimit(RLIMIT_FSIZE, &lim);
            AtomicFile f;
            const bool opened = f.Open(dir / "f.bin");
            const bool wrote = f.Write(std::string(100000, 'x'));
            const uint32_t writeError = sys::GetLastError();
            const bool committed = f.Commit();
            ::_exit(opened && !wrote && writeError == EFBIG && !committed &&
                            sys::GetLastError() == EFBIG
                        ? 0
                        : 1);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
        sys::ForceNamedTempFiles(false);
        EXPECT_EQ(dir.Read("f.bin"), "old");
        EXPECT_EQ(Entries(dir.Path()), std::set<std::string>{"f.bin"});

        // Dropped without a commit: nothing changes either.
        {
            sys::ForceNamedTempFiles(named);
            AtomicFile f;
            ASSERT_TRUE(f.Open(dir / "f.bin"));
            EXPECT_EQ(f.TempPath().empty(), !named);
            ASSERT_TRUE(f.Write("new"));
            sys::ForceNamedTempFiles(false);
        }
        EXPECT_EQ(dir.Read("f.bin"), "old");
        EXPECT_EQ(Entries(dir.Path()), std::set<std::string>{"f.bin"});
    }
}

TEST(AtomicFile, OnlyRegularFilesAreReplaced)
{
    testsupport::TempDir dir;
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    ASSERT_EQ(::symlink("/dev/null", (dir / "null").c_str()), 0);
    ASSERT_EQ(::symlink("gone.txt", (dir / "dangling").c_str()), 0);
    ASSERT_EQ(::symlink("loop", (dir / "loop").c_str()), 0);
    dir.Write("sub/keep", "k");
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(sock, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    const std::string sockPath = dir / "sock";
    ASSERT_LT(sockPath.size(), sizeof addr.sun_path);
    std::strcpy(addr.sun_path, sockPath.c_str());
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);

    const std::set<std::string> before = Entries(dir.Path());
    struct Case
    {
        std::string name;
        uint32_t error;
    };
    for (const Case& c : {Case{"fifo", ENODEV}, Case{"null", ENODEV}, Case{"sock", ENODEV},
                          Case{"sub", EISDIR}, Case{"sub/", EISDIR}, Case{"dangling", ENOENT},
                          Case{"loop", ELOOP}, Case{"nofolder/x", ENOENT}}) {
        SCOPED_TRACE(c.name);
        sys::SetLastError(0);
        EXPECT_FALSE(sys::AtomicWriteFile(dir / c.name, "data"));
        EXPECT_EQ(sys::GetLastError(), c.error);
    }
    ::close(sock);
    EXPECT_EQ(Entries(dir.Path()), before);
    struct stat st{};
    ASSERT_EQ(::lstat((dir / "dangling").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));  // never turned into a file
    ASSERT_EQ(::lstat((dir / "fifo").c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    EXPECT_EQ(dir.Read("sub/keep"), "k");
}

TEST(AtomicFile, LinksAndTheNeverReplacingForm)
{
    testsupport::TempDir dir;
    dir.Write("real/r.sh", "old");
    ASSERT_EQ(::chmod((dir / "real/r.sh").c_str(), 0750), 0);
    ASSERT_EQ(::symlink("real/r.sh", (dir / "link").c_str()), 0);
    ASSERT_TRUE(sys::AtomicWriteFile(dir / "link", "new"));
    struct stat st{};
    ASSERT_EQ(::lstat((dir / "link").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(dir.Read("real/r.sh"), "new");
    EXPECT_EQ(Mode(dir / "real/r.sh"), 0750u);
    EXPECT_EQ(Entries(dir / "real"), std::set<std::string>{"r.sh"});

    // Never replacing: refused at once when something is there, and at
    // the commit when something came meanwhile; the new one is whole.
    for (bool named : {false, true}) {
        SCOPED_TRACE(named ? "named" : "unnamed");
        sys::ForceNamedTempFiles(named);
        AtomicFile f;
        EXPECT_FALSE(f.Open(dir / "link", AtomicFile::kNoReplace));
        EXPECT_EQ(sys::GetLastError(), uint32_t(EEXIST));
        ASSERT_TRUE(f.Open(dir / "n.bin", AtomicFile::kNoReplace));
        ASSERT_TRUE(f.Write("late"));
        dir.Write("n.bin", "first");
        EXPECT_FALSE(f.Commit());
        EXPECT_EQ(sys::GetLastError(), uint32_t(EEXIST));
        EXPECT_EQ(dir.Read("n.bin"), "first");
        ASSERT_EQ(::unlink((dir / "n.bin").c_str()), 0);
        ASSERT_TRUE(f.Open(dir / "n.bin", AtomicFile::kNoReplace));
        ASSERT_TRUE(f.Write("fresh"));
        ASSERT_TRUE(f.Commit());
        EXPECT_EQ(dir.Read("n.bin"), "fresh");
        ASSERT_EQ(::unlink((dir / "n.bin").c_str()), 0);
        sys::ForceNamedTempFiles(false);
    }
    EXPECT_EQ(Entries(dir.Path()), (std::set<std::string>{"link", "real"}));
}

TEST(AtomicFile, TheReplacingFormReplacesTheLinkAndNeverWritesItsTarget)
{
    // A link to a file, to a folder, to nothing, a loop, and a hard link:
    // each name gets a new regular file, and what was linked keeps its
    // bytes.  Folders and FIFOs are still refused.
    testsupport::TempDir dir, outside;
    outside.Write("notes.txt", "the user's notes");
    ASSERT_EQ(::chmod((outside / "notes.txt").c_str(), 0640), 0);
    outside.Write("folder/keep", "k");
    ASSERT_EQ(::symlink((outside / "notes.txt").c_str(), (dir / "file").c_str()), 0);
    ASSERT_EQ(::symlink((outside / "folder").c_str(), (dir / "folder").c_str()), 0);
    ASSERT_EQ(::symlink((outside / "gone.txt").c_str(), (dir / "dangling").c_str()), 0);
    ASSERT_EQ(::symlink("loop", (dir / "loop").c_str()), 0);
    outside.Write("hard.txt", "hard");
    ASSERT_EQ(::link((outside / "hard.txt").c_str(), (dir / "hard").c_str()), 0);
    const mode_t mask = ::umask(022);
    ::umask(mask);
    for (bool named : {false, true}) {
        SCOPED_TRACE(named ? "named" : "unnamed");
        sys::ForceNamedTempFiles(named);
        for (const char* name : {"file", "folder", "dangling", "loop", "hard"}) {
            SCOPED_TRACE(name);
            ASSERT_TRUE(sys::AtomicReplaceFile(dir / name, std::string("new ") + name)) << sys::GetLastError();
            struct stat st{};
            ASSERT_EQ(::lstat((dir / name).c_str(), &st), 0);
            EXPECT_TRUE(S_ISREG(st.st_mode));
            EXPECT_EQ(st.st_nlink, 1u);
            EXPECT_EQ(dir.Read(name), std::string("new ") + name);
            EXPECT_EQ(Mode(dir / name), 0666u & ~mask);
        }
        // Once a file, it is replaced as any file, keeping its mode.
        ASSERT_EQ(::chmod((dir / "file").c_str(), 0600), 0);
        ASSERT_TRUE(sys::AtomicReplaceFile(dir / "file", "again"));
        EXPECT_EQ(Mode(dir / "file"), 0600u);
        for (const char* name : {"file", "folder", "dangling", "loop", "hard"})
            ASSERT_EQ(::unlink((dir / name).c_str()), 0);
        ASSERT_EQ(::symlink((outside / "notes.txt").c_str(), (dir / "file").c_str()), 0);
        ASSERT_EQ(::symlink((outside / "folder").c_str(), (dir / "folder").c_str()), 0);
        ASSERT_EQ(::symlink((outside / "gone.txt").c_str(), (dir / "dangling").c_str()), 0);
        ASSERT_EQ(::symlink("loop", (dir / "loop").c_str()), 0);
        ASSERT_EQ(::link((outside / "hard.txt").c_str(), (dir / "hard").c_str()), 0);
        sys::ForceNamedTempFiles(false);
    }
    EXPECT_EQ(outside.Read("notes.txt"), "the user's notes");
    EXPECT_EQ(Mode(outside / "notes.txt"), 0640u);
    EXPECT_EQ(outside.Read("hard.txt"), "hard");
    EXPECT_EQ(Entries(outside / "folder"), std::set<std::string>{"keep"});
    EXPECT_EQ(Entries(outside.Path()), (std::set<std::string>{"folder", "hard.txt", "notes.txt"}));

    dir.Write("sub/keep", "k");
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    EXPECT_FALSE(sys::AtomicReplaceFile(dir / "sub", "x"));
    EXPECT_EQ(sys::GetLastError(), uint32_t(EISDIR));
    EXPECT_FALSE(sys::AtomicReplaceFile(dir / "fifo", "x"));
    EXPECT_EQ(sys::GetLastError(), uint32_t(ENODEV));
    EXPECT_EQ(dir.Read("sub/keep"), "k");
}

TEST(AtomicFile, AFileWithoutWritePermissionIsNotReplaced)
{
    // Checked as an ordinary user: as root, a child that drops to nobody.
    testsupport::TempDir dir;
    dir.Write("ro.txt", "keep");
    ASSERT_EQ(::chmod((dir / "ro.txt").c_str(), 0444), 0);
    ASSERT_EQ(::chmod(dir.Path().c_str(), 0777), 0);  // the folder itself stays writable
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(2);
        const bool refused = !sys::AtomicWriteFile(dir / "ro.txt", "new") && sys::GetLastError() == EACCES;
        const bool created = sys::AtomicWriteFile(dir / "new.txt", "n");
        ::_exit(refused && created ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 2)
        GTEST_SKIP() << "cannot drop to the user nobody here";
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(dir.Read("ro.txt"), "keep");
    EXPECT_EQ(Mode(dir / "ro.txt"), 0444u);
    EXPECT_EQ(Entries(dir.Path()), (std::set<std::string>{"new.txt", "ro.txt"}));
}

TEST(AtomicFile, TheReadBackDescriptorReadsWhatWasSavedNotTheFileReplaced)
{
    testsupport::TempDir dir;
    for (bool named : {false, true}) {
        SCOPED_TRACE(named ? "named" : "unnamed");
        NamedTempFiles* force = named ? new NamedTempFiles : nullptr;
        dir.Write("f.bin", "old content");
        const int old = ::open((dir / "f.bin").c_str(), O_RDONLY | O_CLOEXEC);
        AtomicFile f;
        EXPECT_EQ(f.OpenReadBack(), -1);
        EXPECT_EQ(sys::GetLastError(), uint32_t(EBADF));
        ASSERT_TRUE(f.Open(dir / "f.bin"));
        ASSERT_TRUE(f.Write("new"));
        const int back = f.OpenReadBack();
        ASSERT_GE(back, 0);
        ASSERT_TRUE(f.Commit());
        char buf[16] = {};
        EXPECT_EQ(::pread(back, buf, sizeof buf, 0), 3);
        EXPECT_EQ(std::string(buf, 3), "new");
        EXPECT_EQ(::pread(old, buf, sizeof buf, 0), 11);
        EXPECT_EQ(std::string(buf, 11), "old content");
        EXPECT_EQ(::write(back, "x", 1), -1);  // read-only
        struct stat a{}, b{};
        ASSERT_EQ(::fstat(back, &a), 0);
        ASSERT_EQ(::stat((dir / "f.bin").c_str(), &b), 0);
        EXPECT_EQ(a.st_ino, b.st_ino);
        ::close(back);
        ::close(old);
        delete force;
    }
    EXPECT_EQ(Entries(dir.Path()), std::set<std::string>{"f.bin"});
}
