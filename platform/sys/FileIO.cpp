#include "platform/sys/FileIO.h"

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

namespace {

// The process's umask without changing it (umask() cannot be read alone
// without a race between threads).
mode_t CurrentUmask()
{
    mode_t mask = 022;
    if (FILE* f = std::fopen("/proc/self/status", "re")) {
        char line[256];
        while (std::fgets(line, sizeof line, f)) {
            unsigned value;
            if (std::sscanf(line, "Umask: %o", &value) == 1) {
                mask = static_cast<mode_t>(value);
                break;
            }
        }
        std::fclose(f);
    }
    return mask;
}

bool WriteAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

void SyncFolder(const std::string& folder)
{
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

bool AtomicWriteFile(const std::string& nativePath, std::string_view bytes)
{
    if (nativePath.empty()) {
        SetLastError(ENOENT);
        return false;
    }
    std::string target = nativePath;
    struct stat st;
    if (::lstat(target.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        char resolved[PATH_MAX];
        if (::realpath(target.c_str(), resolved))
            target = resolved;
    }
    mode_t mode = 0666 & ~CurrentUmask();
    if (::stat(target.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) {
            SetLastError(EISDIR);
            return false;
        }
        mode = st.st_mode & 07777;
    }
    const size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : target.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    std::string temp = (slash == std::string::npos ? std::string() : folder) + "." + name + ".XXXXXX";
    int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) {
        SetLastErrorFromErrno();
        return false;
    }
    bool ok = WriteAll(fd, bytes) && ::fchmod(fd, mode) == 0 && ::fsync(fd) == 0;
    int err = ok ? 0 : errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        err = errno;
    }
    if (ok && ::rename(temp.c_str(), target.c_str()) != 0) {
        ok = false;
        err = errno;
    }
    if (!ok) {
        ::unlink(temp.c_str());
        SetLastError(static_cast<uint32_t>(err));
        return false;
    }
    SyncFolder(folder);
    return true;
}

int OpenForReading(const std::string& nativePath, uint64_t& size)
{
    size = 0;
    int fd;
    do {
        fd = ::open(nativePath.c_str(), O_RDONLY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
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
    if (err) {
        ::close(fd);
        SetLastError(static_cast<uint32_t>(err));
        errno = err;
        return -1;
    }
    if (S_ISREG(st.st_mode))
        size = static_cast<uint64_t>(st.st_size);
    return fd;
}

std::optional<std::string> ReadWholeFile(const std::string& nativePath)
{
    uint64_t size = 0;
    int fd = OpenForReading(nativePath, size);
    if (fd < 0)
        return std::nullopt;
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

} // namespace sys
