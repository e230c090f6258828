#include "platform/sys/AtomicFile.h"

#include "platform/sys/LastError.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace sys {

namespace {

std::atomic<bool> g_forceNamed{false};

constexpr std::string_view kTempInfix = ".swsave-";
constexpr size_t kRandomChars = 6;
constexpr size_t kMaxKeptName = 200;  // of the target's name in the temporary name

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

bool IsTempOf(std::string_view entry, std::string_view prefix)
{
    if (entry.size() != prefix.size() + kRandomChars || entry.substr(0, prefix.size()) != prefix)
        return false;
    for (char c : entry.substr(prefix.size()))
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')))
            return false;
    return true;
}

// Removes the named temporary files of earlier saves of `name` that were
// killed: regular files of this user not written for a minute.
void RemoveLeftovers(int folder, const std::string& name)
{
    const int dfd = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd < 0)
        return;
    DIR* dir = ::fdopendir(dfd);
    if (!dir) {
        ::close(dfd);
        return;
    }
    const std::string prefix = TempFilePrefix(name);
    const time_t now = std::time(nullptr);
    while (struct dirent* e = ::readdir(dir)) {
        if (!IsTempOf(e->d_name, prefix))
            continue;
        struct stat st;
        if (::fstatat(dfd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode) ||
            st.st_uid != ::geteuid())
            continue;
        if (int64_t(now) - int64_t(st.st_mtim.tv_sec) > kLeftoverTempAgeSeconds)
            ::unlinkat(dfd, e->d_name, 0);
    }
    ::closedir(dir);
}

bool ProcFdAvailable()
{
    static const bool available = ::access("/proc/self/fd", X_OK) == 0;
    return available;
}

bool WriteAll(int fd, const char* p, size_t n)
{
    while (n > 0) {
        const ssize_t k = ::write(fd, p, n);
        if (k < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (k == 0) {
            errno = EIO;
            return false;
        }
        p += k;
        n -= size_t(k);
    }
    return true;
}

void SyncFolder(int folder)
{
    const int fd = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        (void)::fsync(fd);
        ::close(fd);
    }
}

bool Fail(int err)
{
    SetLastError(static_cast<uint32_t>(err));
    errno = err;
    return false;
}

} // namespace

std::string RandomNameChars()
{
    static const char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    static std::atomic<uint64_t> counter{0};
    unsigned char raw[kRandomChars];
    if (::getrandom(raw, sizeof raw, GRND_NONBLOCK) != ssize_t(sizeof raw)) {
        uint64_t seed = uint64_t(::getpid()) * 0x9E3779B97F4A7C15ULL ^ uint64_t(std::time(nullptr)) ^
                        (counter.fetch_add(1) << 24) ^ uint64_t(reinterpret_cast<uintptr_t>(raw));
        for (unsigned char& c : raw) {
            seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
            c = static_cast<unsigned char>(seed >> 33);
        }
    }
    std::string out;
    for (unsigned char c : raw)
        out.push_back(kChars[c % (sizeof kChars - 1)]);
    return out;
}


void ForceNamedTempFiles(bool on) { g_forceNamed = on; }

std::string TempFilePrefix(std::string_view targetName)
{
    std::string name(targetName.substr(0, kMaxKeptName));
    return "." + name + std::string(kTempInfix);
}

AtomicFile::~AtomicFile() { Discard(); }

// The file to be replaced: a plain file the user may write; its mode and
// owner go to the new file.
bool AtomicFile::TakeExisting(const struct stat& st, int folder, const char* path, int accessFlags)
{
    if (S_ISDIR(st.st_mode))
        return Fail(EISDIR);
    if (!S_ISREG(st.st_mode))
        return Fail(ENODEV);
    if (::faccessat(folder, path, W_OK, accessFlags) != 0)
        return Fail(errno);
    m_replacing = true;
    m_mode = st.st_mode & 07777;
    m_uid = st.st_uid;
    m_gid = st.st_gid;
    return true;
}

bool AtomicFile::Open(const std::string& nativePath, unsigned flags)
{
    Discard();
    m_flags = flags;
    m_error = 0;
    m_setTime = false;
    m_replacing = false;
    if (nativePath.empty() || nativePath.back() == '/')
        return Fail(nativePath.empty() ? ENOENT : EISDIR);

    std::string target = nativePath;
    struct stat st;
    if (::lstat(target.c_str(), &st) == 0) {
        if (flags & kNoReplace)
            return Fail(EEXIST);
        if (S_ISLNK(st.st_mode) && (flags & kReplaceLink)) {
            // The link itself gives way to the new file.
            m_mode = 0666 & ~CurrentUmask();
        } else {
            if (S_ISLNK(st.st_mode)) {
                // The file the link names is replaced; a link that names
                // nothing is refused rather than turned into a file.
                if (::stat(target.c_str(), &st) != 0)
                    return Fail(errno);
                char resolved[PATH_MAX];
                if (!::realpath(target.c_str(), resolved))
                    return Fail(errno);
                target = resolved;
            }
            if (!TakeExisting(st, AT_FDCWD, target.c_str(), AT_EACCESS))
                return false;
        }
    } else if (errno == ENOENT) {
        m_mode = 0666 & ~CurrentUmask();
    } else {
        return Fail(errno);
    }

    const size_t slash = target.rfind('/');
    m_folder = slash == std::string::npos ? "." : slash == 0 ? "/" : target.substr(0, slash);
    m_name = slash == std::string::npos ? target : target.substr(slash + 1);
    m_target = target;
    do
        m_dirFd = ::open(m_folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    while (m_dirFd < 0 && errno == EINTR);
    if (m_dirFd < 0)
        return Fail(errno);
    return Start();
}

bool AtomicFile::OpenAt(int folder, std::string_view name, unsigned flags)
{
    Discard();
    m_flags = flags;
    m_error = 0;
    m_setTime = false;
    m_replacing = false;
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string_view::npos)
        return Fail(EINVAL);
    m_name = std::string(name);
    struct stat st;
    if (::fstatat(folder, m_name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
        if (flags & kNoReplace)
            return Fail(EEXIST);
        if (S_ISLNK(st.st_mode))
            return Fail(ELOOP);
        if (!TakeExisting(st, folder, m_name.c_str(), AT_EACCESS | AT_SYMLINK_NOFOLLOW))
            return false;
    } else if (errno == ENOENT) {
        m_mode = 0666 & ~CurrentUmask();
    } else {
        return Fail(errno);
    }
    m_folder.clear();
    m_target = m_name;
    m_dirFd = ::fcntl(folder, F_DUPFD_CLOEXEC, 0);
    if (m_dirFd < 0)
        return Fail(errno);
    return Start();
}

bool AtomicFile::Start()
{
    RemoveLeftovers(m_dirFd, m_name);
    if (!g_forceNamed && ProcFdAvailable()) {
        m_fd = ::openat(m_dirFd, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
        if (m_fd >= 0)
            return true;
        // Only a file system (or kernel) without unnamed files falls back.
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
            const int err = errno;
            Discard();
            return Fail(err);
        }
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string temp = TempFilePrefix(m_name) + RandomNameChars();
        m_fd = ::openat(m_dirFd, temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (m_fd >= 0) {
            SetTempName(std::move(temp));
            return true;
        }
        if (errno != EEXIST) {
            const int err = errno;
            Discard();
            return Fail(err);
        }
    }
    Discard();
    return Fail(EEXIST);
}

void AtomicFile::SetTempName(std::string name)
{
    m_tempName = std::move(name);
    m_temp = m_tempName.empty() || m_folder.empty() ? m_tempName
                                                    : (m_folder == "/" ? "" : m_folder) + "/" + m_tempName;
}

bool AtomicFile::Write(const void* data, size_t size)
{
    if (m_fd < 0)
        return Fail(EBADF);
    if (m_error)
        return Fail(m_error);
    if (!WriteAll(m_fd, static_cast<const char*>(data), size)) {
        m_error = errno;
        return Fail(m_error);
    }
    return true;
}

int AtomicFile::OpenReadBack() const
{
    if (m_fd < 0) {
        (void)Fail(EBADF);
        return -1;
    }
    // An unnamed file is reached through the descriptor's entry in /proc.
    int fd;
    do
        fd = m_tempName.empty() ? ::open(("/proc/self/fd/" + std::to_string(m_fd)).c_str(), O_RDONLY | O_CLOEXEC)
                                : ::openat(m_dirFd, m_tempName.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    while (fd < 0 && errno == EINTR);
    if (fd < 0)
        SetLastErrorFromErrno();
    return fd;
}

void AtomicFile::SetMode(uint32_t mode) { m_mode = mode & 07777; }

void AtomicFile::SetWriteTime(int64_t seconds, int64_t nanoseconds)
{
    m_setTime = true;
    m_seconds = seconds;
    m_nanoseconds = nanoseconds;
}

bool AtomicFile::Commit()
{
    if (m_fd < 0)
        return Fail(EBADF);
    int err = m_error;
    if (!err && m_replacing && (m_uid != ::geteuid() || m_gid != ::getegid()))
        (void)!::fchown(m_fd, m_uid, m_gid);  // the owner stays where this may set it
    if (!err && ::fchmod(m_fd, m_mode) != 0)
        err = errno;
    if (!err && m_setTime) {
        struct timespec ts[2];
        ts[0].tv_sec = ts[1].tv_sec = time_t(m_seconds);
        ts[0].tv_nsec = ts[1].tv_nsec = long(m_nanoseconds);
        if (::futimens(m_fd, ts) != 0)
            err = errno;
    }
    if (!err && ::fsync(m_fd) != 0)
        err = errno;

    const bool noReplace = (m_flags & kNoReplace) != 0;
    if (!err && m_tempName.empty()) {
        // Named just now, through the descriptor's entry in /proc (naming
        // it by the descriptor alone would need a privilege).
        const std::string self = "/proc/self/fd/" + std::to_string(m_fd);
        if (noReplace) {
            if (::linkat(AT_FDCWD, self.c_str(), m_dirFd, m_name.c_str(), AT_SYMLINK_FOLLOW) != 0)
                err = errno;
        } else {
            err = EEXIST;
            for (int attempt = 0; attempt < 100 && err == EEXIST; ++attempt) {
                std::string temp = TempFilePrefix(m_name) + RandomNameChars();
                if (::linkat(AT_FDCWD, self.c_str(), m_dirFd, temp.c_str(), AT_SYMLINK_FOLLOW) == 0) {
                    SetTempName(std::move(temp));
                    err = 0;
                } else {
                    err = errno;
                }
            }
        }
    }
    if (!err && !m_tempName.empty()) {
        // Relative to the folder's descriptor: the entry at the name is
        // replaced (a link there is replaced, never followed).
        const int r = noReplace ? ::renameat2(m_dirFd, m_tempName.c_str(), m_dirFd, m_name.c_str(), RENAME_NOREPLACE)
                                : ::renameat(m_dirFd, m_tempName.c_str(), m_dirFd, m_name.c_str());
        if (r != 0)
            err = errno;
        else
            SetTempName({});
    }
    ::close(m_fd);  // after fsync a close reports nothing new
    m_fd = -1;
    if (err) {
        Discard();
        return Fail(err);
    }
    SyncFolder(m_dirFd);
    ::close(m_dirFd);
    m_dirFd = -1;
    m_error = 0;
    return true;
}

void AtomicFile::Discard()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    if (!m_tempName.empty() && m_dirFd >= 0)
        ::unlinkat(m_dirFd, m_tempName.c_str(), 0);
    SetTempName({});
    if (m_dirFd >= 0)
        ::close(m_dirFd);
    m_dirFd = -1;
    m_error = 0;
}

} // namespace sys
