#include "platform/sys/ReplaceLock.h"

#include "platform/sys/LastError.h"
#include "platform/sys/LockedFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace sys {

std::string ReplaceLockPath(const std::string& nativePath)
{
    const size_t slash = nativePath.rfind('/');
    const std::string folder =
        slash == std::string::npos ? std::string() : nativePath.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? nativePath : nativePath.substr(slash + 1);
    // A long name is cut as in the temporary files' names (a lock shared by
    // two such names only makes their writes wait for each other).
    return folder + "." + name.substr(0, 200) + ".swlock";
}

bool ReplaceLock::Acquire(const std::string& nativePath, int waitMs)
{
    Release();
    std::string target = nativePath;
    if (char* real = ::realpath(nativePath.c_str(), nullptr)) {
        target = real;
        std::free(real);
    }
    m_path = ReplaceLockPath(target);
    m_fd = OpenLocked(m_path, O_RDWR | O_CREAT | O_NOFOLLOW, true, waitMs, 0666);
    if (m_fd < 0) {
        SetLastErrorFromErrno();
        return false;
    }
    return true;
}

void ReplaceLock::Release()
{
    if (m_fd < 0)
        return;
    // Removed while still held: a process waiting for it finds the name
    // gone and makes a new one (OpenLocked).  A file of the user that
    // happens to have the name (it holds something) stays.
    struct stat held, named;
    if (::fstat(m_fd, &held) == 0 && held.st_size == 0 && ::lstat(m_path.c_str(), &named) == 0 &&
        named.st_dev == held.st_dev && named.st_ino == held.st_ino)
        ::unlink(m_path.c_str());
    ::close(m_fd);
    m_fd = -1;
}

} // namespace sys
