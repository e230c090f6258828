#include "platform/sys/LocalFiles.h"

#include "platform/sys/FileIO.h"
#include "platform/sys/LastError.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sys {

namespace {

FileTime WriteTimeOf(const struct stat& st)
{
    return FileTimeFromUnix(int64_t(st.st_mtim.tv_sec), int64_t(st.st_mtim.tv_nsec));
}

bool Fail(int err)
{
    errno = err;
    SetLastErrorFromErrno();
    return false;
}

bool FailErrno()
{
    SetLastErrorFromErrno();
    return false;
}

} // namespace

void FillLocalEntry(const struct stat& st, LocalEntry& out)
{
    out.folder = S_ISDIR(st.st_mode);
    out.symlink = S_ISLNK(st.st_mode);
    out.regular = S_ISREG(st.st_mode);
    out.size = out.folder ? 0 : uint64_t(st.st_size);
    out.writeTime = WriteTimeOf(st);
    out.mode = uint32_t(st.st_mode & 07777);
}

bool StatLocalEntry(const std::string& path, LocalEntry& out)
{
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0)
        return FailErrno();
    out.name.clear();
    FillLocalEntry(st, out);
    return true;
}

bool ListLocalFolder(const std::string& folder, std::vector<LocalEntry>& out)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return FailErrno();
    return ListOpenFolder(fd, out, true);
}

bool ListOpenFolder(int fd, std::vector<LocalEntry>& out, bool keepVanished)
{
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        const int err = errno;
        ::close(fd);
        return Fail(err);
    }
    out.clear();
    errno = 0;
    while (struct dirent* e = ::readdir(dir)) {
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0)
            continue;
        struct stat st;
        LocalEntry entry;
        entry.name = e->d_name;
        if (::fstatat(fd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0)
            FillLocalEntry(st, entry);
        else if (!keepVanished)
            continue;
        out.push_back(std::move(entry));
        errno = 0;
    }
    const int err = errno;
    ::closedir(dir);
    if (err != 0)
        return Fail(err);
    return true;
}

int OpenRegularForReading(const std::string& path, uint64_t& size)
{
    return OpenForReading(path, size);
}

// ---------------------------------------------------------------- copy

LocalFileCopy::~LocalFileCopy() { Abort(); }

bool LocalFileCopy::Open(const std::string& source, const std::string& target, bool replace)
{
    Abort();
    m_in = OpenRegularForReading(source, m_size);
    if (m_in < 0)
        return false;
    struct stat ss, ts;
    if (::fstat(m_in, &ss) == 0 && ::stat(target.c_str(), &ts) == 0 && ss.st_dev == ts.st_dev &&
        ss.st_ino == ts.st_ino) {
        Abort();
        return Fail(EEXIST);
    }
    m_replace = replace;
    if (!m_out.Open(target, replace ? 0u : unsigned(AtomicFile::kNoReplace))) {
        const uint32_t err = GetLastError();
        Abort();
        SetLastError(err);
        return false;
    }
    m_done = 0;
    return true;
}

bool LocalFileCopy::OpenInto(const std::string& source, int targetFolder, std::string_view name, bool replace)
{
    Abort();
    m_in = OpenRegularForReading(source, m_size);
    if (m_in < 0)
        return false;
    const std::string target(name);
    struct stat ss, ts;
    if (::fstat(m_in, &ss) == 0 && ::fstatat(targetFolder, target.c_str(), &ts, AT_SYMLINK_NOFOLLOW) == 0 &&
        ss.st_dev == ts.st_dev && ss.st_ino == ts.st_ino) {
        Abort();
        return Fail(EEXIST);
    }
    m_replace = replace;
    if (!m_out.OpenAt(targetFolder, target, replace ? 0u : unsigned(AtomicFile::kNoReplace))) {
        const uint32_t err = GetLastError();
        Abort();
        SetLastError(err);
        errno = int(err);
        return false;
    }
    m_done = 0;
    return true;
}

int64_t LocalFileCopy::Step(size_t n)
{
    if (m_in < 0 || !m_out.IsOpen()) {
        Fail(EBADF);
        return -1;
    }
    static constexpr size_t kBuffer = 256 * 1024;
    std::vector<char> buf(std::min(n, kBuffer));
    int64_t copied = 0;
    while (size_t(copied) < n) {
        const size_t want = std::min(buf.size(), n - size_t(copied));
        ssize_t k = ::read(m_in, buf.data(), want);
        if (k < 0 && errno == EINTR)
            continue;
        if (k < 0) {
            SetLastErrorFromErrno();
            return -1;
        }
        if (k == 0)
            break;
        if (!m_out.Write(buf.data(), size_t(k)))
            return -1;
        copied += k;
    }
    m_done += uint64_t(copied);
    return copied;
}

bool LocalFileCopy::Commit(bool replace)
{
    if (m_in < 0 || !m_out.IsOpen())
        return Fail(EBADF);
    if (replace != m_replace) {
        Abort();
        return Fail(EINVAL);
    }
    struct stat ss;
    if (::fstat(m_in, &ss) != 0) {
        const int err = errno;
        Abort();
        return Fail(err);
    }
    m_out.SetMode(ss.st_mode & 07777);
    m_out.SetWriteTime(int64_t(ss.st_mtim.tv_sec), int64_t(ss.st_mtim.tv_nsec));
    const bool ok = m_out.Commit();
    const uint32_t err = GetLastError();
    Abort();
    if (!ok)
        SetLastError(err);
    return ok;
}

void LocalFileCopy::Abort()
{
    m_out.Discard();
    if (m_in >= 0)
        ::close(m_in);
    m_in = -1;
}

namespace {

// Copies the file in steps of 1 MiB and commits the copy (replace: over an
// existing target).  A failed step drops the copy and keeps its error.
bool CopyWhole(const std::string& source, const std::string& target, bool replace)
{
    LocalFileCopy c;
    if (!c.Open(source, target, replace))
        return false;
    for (;;) {
        const int64_t k = c.Step(1 << 20);
        if (k < 0) {
            const uint32_t err = GetLastError();
            c.Abort();
            SetLastError(err);
            return false;
        }
        if (k == 0)
            break;
    }
    return c.Commit(replace);
}

} // namespace

bool CopyLocalFile(const std::string& source, const std::string& target)
{
    return CopyWhole(source, target, true);
}

bool MoveLocalEntry(const std::string& source, const std::string& target)
{
    if (::renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EXDEV)
        return FailErrno();
    struct stat st;
    if (::lstat(source.c_str(), &st) != 0)
        return FailErrno();
    if (!S_ISREG(st.st_mode))
        return Fail(EXDEV);
    if (!CopyWhole(source, target, false))
        return false;
    if (::unlink(source.c_str()) != 0)
        return FailErrno();
    return true;
}

bool DeleteLocalFile(const std::string& path)
{
    return ::unlink(path.c_str()) == 0 || FailErrno();
}

bool RemoveLocalFolder(const std::string& path)
{
    return ::rmdir(path.c_str()) == 0 || FailErrno();
}

bool CreateLocalFolder(const std::string& path)
{
    return ::mkdir(path.c_str(), 0777) == 0 || FailErrno();
}

std::string LexicalLocalPath(std::string_view path)
{
    if (path.empty())
        return {};
    const bool absolute = path[0] == '/' || path[0] == '\\';
    std::vector<std::string_view> parts;
    size_t i = 0;
    while (i < path.size()) {
        size_t j = i;
        while (j < path.size() && path[j] != '/' && path[j] != '\\')
            ++j;
        const std::string_view c = path.substr(i, j - i);
        if (c.empty() || c == ".") {
            // nothing
        } else if (c == "..") {
            if (!parts.empty() && parts.back() != "..")
                parts.pop_back();
            else if (!absolute)
                parts.push_back(c);
        } else {
            parts.push_back(c);
        }
        i = j + 1;
    }
    if (parts.empty())
        return absolute ? std::string("/") : std::string(".");
    std::string out;
    for (const std::string_view part : parts) {
        if (absolute || !out.empty())
            out += '/';
        out.append(part);
    }
    return out;
}

bool LocalPathInside(std::string_view folder, std::string_view path)
{
    if (folder.empty() || path.empty())
        return false;
    const std::string f = LexicalLocalPath(folder);
    const std::string p = LexicalLocalPath(path);
    if ((f[0] == '/') != (p[0] == '/'))
        return false;
    if (f == "/")
        return p.size() > 1;
    if (f == ".") // the current folder: any relative path that does not climb
        return p != "." && p != ".." && p.rfind("../", 0) != 0;
    return p.size() > f.size() + 1 && p.compare(0, f.size(), f) == 0 && p[f.size()] == '/';
}

} // namespace sys
