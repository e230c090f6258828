#pragma once
// One process at a time between reading what a file holds and replacing
// it: the project document checks that its project or workspace file is
// still what it read and then writes it over, and another instance of the
// program on the same project must not do the same in between (both
// checks would pass and the second write would drop the first one's bytes
// unseen).  The lock is a hidden empty file beside the file,
// ".<name>.swlock", locked with flock (platform/sys/LockedFile.h); the
// holder removes it before it lets go, so none stays in the user's folder.

#include <string>

namespace sys {

class ReplaceLock
{
public:
    // How long Acquire waits for another process by default.
    static constexpr int kDefaultWaitMs = 10000;

    ReplaceLock() = default;
    ~ReplaceLock() { Release(); }
    ReplaceLock(const ReplaceLock&) = delete;
    ReplaceLock& operator=(const ReplaceLock&) = delete;

    // Takes the lock of the file at nativePath: a symbolic link at the name
    // is resolved first, so every process that writes the same file takes
    // the same lock.  Waits at most waitMs (negative: as long as it takes).
    // False with an errno value in the thread's last error (EWOULDBLOCK
    // when another process still held it); a link at the lock's name is
    // never followed (ELOOP).
    [[nodiscard]] bool Acquire(const std::string& nativePath, int waitMs = kDefaultWaitMs);
    // Removes the lock file (when it is still the empty file locked) and
    // lets go.  Nothing when not held.
    void Release();

    bool Held() const { return m_fd >= 0; }
    const std::string& Path() const { return m_path; }

private:
    int m_fd = -1;
    std::string m_path;
};

// The lock file's name for the file at nativePath (no link resolved).
std::string ReplaceLockPath(const std::string& nativePath);

} // namespace sys
