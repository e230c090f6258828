#include "platform/sys/LockedFile.h"

#include <cerrno>
#include <algorithm>
#include <chrono>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace sys {

int MakeFolders(const std::string& folder, mode_t mode)
{
    if (folder.empty())
        return ENOENT;
    std::string path;
    for (size_t at = 0; at <= folder.size();) {
        size_t end = folder.find('/', at);
        if (end == std::string::npos)
            end = folder.size();
        path += folder.substr(at, end - at);
        if (end > at && ::mkdir(path.c_str(), mode) != 0 && errno != EEXIST)
            return errno;
        path += '/';
        at = end + 1;
    }
    struct stat st;
    if (::stat(folder.c_str(), &st) != 0)
        return errno;
    return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
}

int MakeParentFolders(const std::string& path, mode_t mode)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return 0; // the current folder
    return MakeFolders(slash == 0 ? std::string("/") : path.substr(0, slash), mode);
}

namespace {

// Locks fd, waiting at most waitMs (negative: without end); 0 or errno.
int Lock(int fd, bool exclusive, int waitMs)
{
    const int how = exclusive ? LOCK_EX : LOCK_SH;
    if (waitMs < 0) {
        while (::flock(fd, how) != 0)
            if (errno != EINTR)
                return errno;
        return 0;
    }
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    auto pause = std::chrono::milliseconds(1);
    for (;;) {
        if (::flock(fd, how | LOCK_NB) == 0)
            return 0;
        if (errno != EWOULDBLOCK && errno != EINTR)
            return errno;
        const auto now = std::chrono::steady_clock::now();
        if (now >= until)
            return EWOULDBLOCK;
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(pause, until - now));
        pause = std::min(pause * 2, std::chrono::milliseconds(50));
    }
}

} // namespace

int OpenLocked(const std::string& path, int flags, bool exclusive, int waitMs, mode_t mode)
{
    for (;;) {
        int fd;
        do
            fd = ::open(path.c_str(), flags | O_CLOEXEC, mode);
        while (fd < 0 && errno == EINTR);
        if (fd < 0)
            return -1;
        struct stat opened, now;
        int error = Lock(fd, exclusive, waitMs);
        if (!error && ::fstat(fd, &opened) != 0)
            error = errno;
        if (error) {
            ::close(fd);
            errno = error;
            return -1;
        }
        // Still the file of that name: whoever removes or replaces it does
        // so under the lock.
        if (::stat(path.c_str(), &now) == 0 && now.st_dev == opened.st_dev && now.st_ino == opened.st_ino)
            return fd;
        ::close(fd);
        if (!(flags & O_CREAT)) {
            errno = ENOENT;
            return -1;
        }
    }
}

} // namespace sys
