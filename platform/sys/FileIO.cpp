#include "platform/sys/FileIO.h"

#include "platform/sys/AtomicFile.h"
#include "platform/sys/LastError.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

namespace sys {

bool AtomicWriteFile(const std::string& nativePath, std::string_view bytes)
{
    AtomicFile file;
    return file.Open(nativePath) && file.Write(bytes) && file.Commit();
}

bool AtomicReplaceFile(const std::string& nativePath, std::string_view bytes)
{
    AtomicFile file;
    return file.Open(nativePath, AtomicFile::kReplaceLink) && file.Write(bytes) && file.Commit();
}

int OpenForReading(const std::string& nativePath, uint64_t& size)
{
    // Opened without waiting (a FIFO without a writer would block the open,
    // a terminal would become the controlling one) and checked before the
    // first read.
    size = 0;
    int fd;
    do
        fd = ::open(nativePath.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        SetLastErrorFromErrno();
        return -1;
    }
    struct stat st;
    int err = 0;
    if (::fstat(fd, &st) != 0)
        err = errno;
    else if (S_ISDIR(st.st_mode))
        err = EISDIR;
    else if (!S_ISREG(st.st_mode))
        err = ENODEV;
    if (err) {
        ::close(fd);
        SetLastError(static_cast<uint32_t>(err));
        errno = err;
        return -1;
    }
    // A regular file never blocks; the flag goes all the same.
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0)
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    size = static_cast<uint64_t>(st.st_size);
    return fd;
}

std::optional<std::string> ReadWholeFile(const std::string& nativePath)
{
    uint32_t mode = 0;
    return ReadWholeFile(nativePath, mode);
}

std::optional<std::string> ReadWholeFile(const std::string& nativePath, uint32_t& mode)
{
    uint64_t size = 0;
    int fd = OpenForReading(nativePath, size);
    if (fd < 0)
        return std::nullopt;
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        SetLastErrorFromErrno();
        ::close(fd);
        return std::nullopt;
    }
    mode = uint32_t(st.st_mode & 07777);
    std::string out;
    if (size > 0)
        out.reserve(static_cast<size_t>(size));
    char buf[65536];
    for (;;) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            SetLastErrorFromErrno();
            ::close(fd);
            return std::nullopt;
        }
        if (n == 0)
            break;
        out.append(buf, static_cast<size_t>(n));
    }
    ::close(fd);
    return out;
}

bool FileExists(const std::string& nativePath)
{
    struct stat st;
    return ::lstat(nativePath.c_str(), &st) == 0;
}

bool IsRegularFile(const std::string& nativePath)
{
    struct stat st;
    return ::stat(nativePath.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool IsDirectory(const std::string& nativePath)
{
    struct stat st;
    return ::stat(nativePath.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::optional<FileTime> GetFileWriteTime(const std::string& nativePath)
{
    struct stat st;
    if (::stat(nativePath.c_str(), &st) != 0) {
        SetLastErrorFromErrno();
        return std::nullopt;
    }
    return FileTimeFromUnix(st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
}

std::string ProgramFolder()
{
    char buf[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0)
        return ".";
    std::string path(buf, static_cast<size_t>(n));
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::optional<std::string> FindProgram(const std::string& folder, std::string_view name)
{
    std::string base = folder;
    if (!base.empty() && base.back() != '/')
        base.push_back('/');
    std::string path = base + std::string(name);
    if (IsRegularFile(path))
        return path;
    if (name.size() > 4 && strncasecmp(name.data() + name.size() - 4, ".exe", 4) == 0) {
        path = base + std::string(name.substr(0, name.size() - 4));
        if (IsRegularFile(path))
            return path;
    }
    SetLastError(ENOENT);
    return std::nullopt;
}

bool AtomicCopyFile(const std::string& from, const std::string& to)
{
    uint64_t size = 0;
    const int in = OpenForReading(from, size);
    if (in < 0)
        return false;
    AtomicFile out;
    bool ok = out.Open(to);
    char buf[65536];
    while (ok) {
        const ssize_t n = ::read(in, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n < 0)
                SetLastErrorFromErrno();
            ok = n == 0;
            break;
        }
        ok = out.Write(buf, size_t(n));
    }
    ::close(in);
    return ok && out.Commit();
}

} // namespace sys
