#include "platform/sys/Beneath.h"

#include "platform/sys/AtomicFile.h"
#include "platform/sys/LastError.h"

#include <linux/openat2.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <vector>

namespace sys {

namespace {

std::atomic<bool> g_forceWithoutOpenat2{false};
// Cleared for good once the kernel answers that it has no openat2.
std::atomic<bool> g_haveOpenat2{true};

bool Fail(int err)
{
    errno = err;
    SetLastErrorFromErrno();
    return false;
}

int FailFd(int err)
{
    Fail(err);
    return -1;
}

bool FailErrno()
{
    SetLastErrorFromErrno();
    return false;
}

// Opens the entry name of folder for reading, without following a link and
// without waiting, and reads its status; an invalid descriptor with the
// error set when either fails.
OwnedFd OpenEntryAt(int folder, const std::string& name, struct stat& st)
{
    int fd;
    do
        fd = ::openat(folder, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        FailErrno();
        return OwnedFd();
    }
    if (::fstat(fd, &st) == 0)
        return OwnedFd(fd);
    const int err = errno;
    ::close(fd);
    Fail(err);
    return OwnedFd();
}

// The components of a relative path; false for an absolute path or an
// empty, "." or ".." component.
bool Components(std::string_view relative, std::vector<std::string>& out)
{
    out.clear();
    if (relative.empty())
        return true;
    size_t i = 0;
    while (i <= relative.size()) {
        size_t j = relative.find('/', i);
        if (j == std::string_view::npos)
            j = relative.size();
        const std::string_view c = relative.substr(i, j - i);
        if (c.empty() || c == "." || c == "..")
            return false;
        out.emplace_back(c);
        i = j + 1;
    }
    return true;
}

int Dup(int fd)
{
    const int d = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (d < 0)
        SetLastErrorFromErrno();
    return d;
}

// ENOTDIR for a component that is a link becomes ELOOP, so that callers
// tell a link from a file.
int LinkOrNotDir(int folder, const char* name)
{
    struct stat st;
    if (::fstatat(folder, name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode))
        return ELOOP;
    return ENOTDIR;
}

// One folder step without following a link.
int OpenStep(int folder, const char* name)
{
    int fd;
    do
        fd = ::openat(folder, name, O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    while (fd < 0 && errno == EINTR);
    if (fd < 0 && errno == ENOTDIR)
        errno = LinkOrNotDir(folder, name);
    return fd;
}

// The folder of the components [0, n) below root.
int OpenComponents(int root, const std::vector<std::string>& parts, size_t n)
{
    if (n == 0)
        return Dup(root);
    if (!g_forceWithoutOpenat2 && g_haveOpenat2) {
        std::string joined;
        for (size_t i = 0; i < n; ++i) {
            if (i)
                joined += '/';
            joined += parts[i];
        }
        struct open_how how;
        std::memset(&how, 0, sizeof how);
        how.flags = O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
        how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
        for (int attempt = 0; attempt < 8; ++attempt) {
            const long fd = ::syscall(SYS_openat2, root, joined.c_str(), &how, sizeof how);
            if (fd >= 0)
                return int(fd);
            if (errno == EINTR || errno == EAGAIN) // a rename raced the walk
                continue;
            if (errno == ENOSYS || errno == EPERM) {
                // No openat2 here (or a filter forbids it): the walk below.
                g_haveOpenat2 = false;
                break;
            }
            if (errno == ELOOP || errno == EXDEV)
                return FailFd(errno == EXDEV ? EINVAL : ELOOP);
            // ENOTDIR, ENOENT, EACCES ...: the walk below names the exact
            // cause (a link in the way reads ELOOP there too).
            break;
        }
    }
    int cur = Dup(root);
    for (size_t i = 0; i < n && cur >= 0; ++i) {
        const int next = OpenStep(cur, parts[i].c_str());
        const int err = errno;
        ::close(cur);
        if (next < 0)
            return FailFd(err);
        cur = next;
    }
    return cur;
}

} // namespace

void OwnedFd::Reset(int fd)
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = fd;
}

int OpenChosenFolder(const std::string& path)
{
    if (path.empty())
        return FailFd(ENOENT);
    int fd;
    do
        fd = ::open(path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    while (fd < 0 && errno == EINTR);
    if (fd < 0)
        SetLastErrorFromErrno();
    return fd;
}

bool RelativeBelow(std::string_view folder, std::string_view path, std::string& relative)
{
    relative.clear();
    if (!LocalPathInside(folder, path))
        return false;
    const std::string f = LexicalLocalPath(folder);
    const std::string p = LexicalLocalPath(path);
    if (f == ".")
        relative = p;
    else if (f == "/")
        relative = p.substr(1);
    else
        relative = p.substr(f.size() + 1);
    return !relative.empty();
}

int OpenFolderBeneath(int root, std::string_view relative)
{
    std::vector<std::string> parts;
    if (!Components(relative, parts))
        return FailFd(EINVAL);
    return OpenComponents(root, parts, parts.size());
}

int OpenParentBeneath(int root, std::string_view relative, std::string& name)
{
    std::vector<std::string> parts;
    if (!Components(relative, parts) || parts.empty())
        return FailFd(EINVAL);
    name = parts.back();
    return OpenComponents(root, parts, parts.size() - 1);
}

bool StatBeneath(int root, std::string_view relative, LocalEntry& out)
{
    std::string name;
    const OwnedFd parent(OpenParentBeneath(root, relative, name));
    if (!parent.Valid())
        return false;
    struct stat st;
    if (::fstatat(parent.Get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return FailErrno();
    out = LocalEntry{};
    FillLocalEntry(st, out);
    return true;
}

bool ListFolderBeneath(int root, std::string_view relative, std::vector<LocalEntry>& out)
{
    out.clear();
    const OwnedFd folder(OpenFolderBeneath(root, relative));
    if (!folder.Valid())
        return false;
    int fd;
    do
        fd = ::openat(folder.Get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return FailErrno();
    return ListOpenFolder(fd, out, false);
}

namespace {

// The mode of the entry `relative`, when it is a folder (folder) or a
// regular file (else), opened without following a link.
bool SetEntryModeBeneath(int root, std::string_view relative, uint32_t mode, bool folder)
{
    std::string name;
    const OwnedFd parent(OpenParentBeneath(root, relative, name));
    if (!parent.Valid())
        return false;
    struct stat st;
    const OwnedFd entry = OpenEntryAt(parent.Get(), name, st);
    if (!entry.Valid())
        return false;
    if (folder && !S_ISDIR(st.st_mode))
        return Fail(ENOTDIR);
    if (!folder && !S_ISREG(st.st_mode))
        return Fail(S_ISDIR(st.st_mode) ? EISDIR : ENODEV);
    return ::fchmod(entry.Get(), mode_t(mode & 07777)) == 0 || FailErrno();
}

} // namespace

bool SetModeBeneath(int root, std::string_view relative, uint32_t mode)
{
    return SetEntryModeBeneath(root, relative, mode, false);
}

bool SetFolderModeBeneath(int root, std::string_view relative, uint32_t mode)
{
    return SetEntryModeBeneath(root, relative, mode, true);
}

bool CanRunBeneath(int root, std::string_view relative)
{
    LocalEntry entry;
    if (!StatBeneath(root, relative, entry))
        return false;
    if (!entry.regular)
        return Fail(entry.folder ? EISDIR : EACCES);
    std::string name;
    const OwnedFd parent(OpenParentBeneath(root, relative, name));
    if (!parent.Valid())
        return false;
    return ::faccessat(parent.Get(), name.c_str(), X_OK, AT_EACCESS) == 0 || FailErrno();
}

bool CreateFolderBeneath(int root, std::string_view relative, uint32_t mode)
{
    std::string name;
    const OwnedFd parent(OpenParentBeneath(root, relative, name));
    if (!parent.Valid())
        return false;
    return ::mkdirat(parent.Get(), name.c_str(), mode_t(mode & 07777)) == 0 || FailErrno();
}

bool CreateUniqueFolderBeneath(int root, std::string_view prefix, std::string& relative)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = std::string(prefix) + RandomNameChars();
        if (CreateFolderBeneath(root, name)) {
            relative = std::move(name);
            return true;
        }
        if (errno != EEXIST)
            return false;
    }
    return Fail(EEXIST);
}

bool DeleteFileBeneath(int root, std::string_view relative)
{
    std::string name;
    const OwnedFd parent(OpenParentBeneath(root, relative, name));
    if (!parent.Valid())
        return false;
    return ::unlinkat(parent.Get(), name.c_str(), 0) == 0 || FailErrno();
}

bool RemoveFolderBeneath(int root, std::string_view relative)
{
    std::string name;
    const OwnedFd parent(OpenParentBeneath(root, relative, name));
    if (!parent.Valid())
        return false;
    return ::unlinkat(parent.Get(), name.c_str(), AT_REMOVEDIR) == 0 || FailErrno();
}

namespace {

// Empties the folder `name` of `parent` and removes it; links are entries.
bool RemoveTreeAt(int parent, const std::string& name, int depth)
{
    if (::unlinkat(parent, name.c_str(), 0) == 0 || errno == ENOENT)
        return true;
    if (errno != EISDIR && errno != EPERM)
        return FailErrno();
    if (depth > 256)
        return Fail(ELOOP);
    int fd;
    do
        fd = ::openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return FailErrno();
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        const int err = errno;
        ::close(fd);
        return Fail(err);
    }
    std::vector<std::string> names;
    while (struct dirent* e = ::readdir(dir))
        if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
            names.emplace_back(e->d_name);
    bool ok = true;
    int err = 0;
    for (const std::string& n : names)
        if (!RemoveTreeAt(fd, n, depth + 1) && ok) {
            ok = false;
            err = errno;
        }
    ::closedir(dir);
    if (!ok)
        return Fail(err);
    return ::unlinkat(parent, name.c_str(), AT_REMOVEDIR) == 0 || errno == ENOENT || FailErrno();
}

// A regular file copied into a new file `name` of `folder` (never through
// a link, never over an existing entry), with its time and mode.
bool CopyInto(int sourceFolder, const std::string& sourceName, int folder, const std::string& name)
{
    struct stat st;
    const OwnedFd source = OpenEntryAt(sourceFolder, sourceName, st);
    if (!source.Valid())
        return false;
    const int in = source.Get();
    if (!S_ISREG(st.st_mode))
        return Fail(EXDEV);
    AtomicFile out;
    if (!out.OpenAt(folder, name, AtomicFile::kNoReplace))
        return false;
    std::vector<char> buf(256 * 1024);
    for (;;) {
        const ssize_t k = ::read(in, buf.data(), buf.size());
        if (k < 0 && errno == EINTR)
            continue;
        if (k < 0)
            return FailErrno();
        if (k == 0)
            break;
        if (!out.Write(buf.data(), size_t(k)))
            return false;
    }
    out.SetMode(st.st_mode & 07777);
    out.SetWriteTime(int64_t(st.st_mtim.tv_sec), int64_t(st.st_mtim.tv_nsec));
    return out.Commit();
}

} // namespace

bool RemoveTreeBeneath(int root, std::string_view relative)
{
    std::string name;
    const OwnedFd parent(OpenParentBeneath(root, relative, name));
    if (!parent.Valid())
        return errno == ENOENT; // nothing there
    return RemoveTreeAt(parent.Get(), name, 0);
}

namespace {

// The folders that hold a source and a target entry, and their names.
struct Parents
{
    OwnedFd from, to;
    std::string sourceName, targetName;
    bool Open(int sourceRoot, std::string_view source, int targetRoot, std::string_view target)
    {
        from = OwnedFd(OpenParentBeneath(sourceRoot, source, sourceName));
        if (!from.Valid())
            return false;
        to = OwnedFd(OpenParentBeneath(targetRoot, target, targetName));
        return to.Valid();
    }
};

} // namespace

bool MoveBeneath(int sourceRoot, std::string_view source, int targetRoot, std::string_view target)
{
    Parents p;
    if (!p.Open(sourceRoot, source, targetRoot, target))
        return false;
    const OwnedFd &from = p.from, &to = p.to;
    const std::string &sourceName = p.sourceName, &targetName = p.targetName;
    if (::renameat2(from.Get(), sourceName.c_str(), to.Get(), targetName.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EXDEV)
        return FailErrno();
    if (!CopyInto(from.Get(), sourceName, to.Get(), targetName))
        return false;
    return ::unlinkat(from.Get(), sourceName.c_str(), 0) == 0 || FailErrno();
}

bool LinkBeneath(int sourceRoot, std::string_view source, int targetRoot, std::string_view target)
{
    Parents p;
    if (!p.Open(sourceRoot, source, targetRoot, target))
        return false;
    const OwnedFd &from = p.from, &to = p.to;
    const std::string &sourceName = p.sourceName, &targetName = p.targetName;
    if (::linkat(from.Get(), sourceName.c_str(), to.Get(), targetName.c_str(), 0) == 0)
        return true;
    const int refused = errno;
    if (refused != EPERM && refused != EXDEV && refused != EMLINK && refused != EOPNOTSUPP &&
        refused != EACCES)
        return Fail(refused);
    struct stat st;
    if (::fstatat(from.Get(), sourceName.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return FailErrno();
    if (S_ISREG(st.st_mode))
        return CopyInto(from.Get(), sourceName, to.Get(), targetName);
    if (!S_ISLNK(st.st_mode))
        return Fail(refused);
    std::vector<char> content(size_t(st.st_size) + 1 > 4096 ? size_t(st.st_size) + 1 : 4096);
    const ssize_t n = ::readlinkat(from.Get(), sourceName.c_str(), content.data(), content.size());
    if (n < 0)
        return FailErrno();
    if (size_t(n) >= content.size())
        return Fail(ENAMETOOLONG);
    content[size_t(n)] = '\0';
    return ::symlinkat(content.data(), to.Get(), targetName.c_str()) == 0 || FailErrno();
}

void ForceBeneathWithoutOpenat2(bool on) { g_forceWithoutOpenat2 = on; }

bool BeneathUsesOpenat2()
{
    if (g_forceWithoutOpenat2)
        return false;
    if (g_haveOpenat2) {
        // Asked once: a probe of the root folder itself.
        static const bool probed = [] {
            struct open_how how;
            std::memset(&how, 0, sizeof how);
            how.flags = O_PATH | O_DIRECTORY | O_CLOEXEC;
            how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS;
            const long fd = ::syscall(SYS_openat2, AT_FDCWD, ".", &how, sizeof how);
            if (fd >= 0) {
                ::close(int(fd));
                return true;
            }
            return errno != ENOSYS && errno != EPERM;
        }();
        if (!probed)
            g_haveOpenat2 = false;
    }
    return g_haveOpenat2;
}

} // namespace sys
