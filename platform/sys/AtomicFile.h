#pragma once
// The one way a file is written: into a temporary file in the target's
// folder, which is put in place only when it is complete and on disk, so a
// reader (and a save killed at any moment) sees the old or the new content
// whole, never a part.  See docs/paths-and-codepages.md.
//
// On Linux the temporary file has no name (O_TMPFILE) until just before it
// is renamed over the target, so a save killed while writing leaves
// nothing.  Where the file system has no unnamed files, the temporary file
// is named ".<target name>.swsave-XXXXXX"; a save that was killed then
// leaves it behind, and the next save of the same target removes such
// files older than a minute.
//
// Failures return false and leave an errno value in the thread's last error
// (platform/sys/LastError.h); the old file is then untouched and no
// temporary file is left.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

struct stat;

namespace sys {

class AtomicFile
{
public:
    enum Flags : unsigned {
        // Never replace: Commit fails with EEXIST when anything (also a
        // dangling link) is at the path, which then stays as it was.
        kNoReplace = 1,
        // Replace the entry at the path, never what a symbolic link there
        // names: a link (to a file, to a folder or to nothing) is replaced
        // by the new file, which then gets 0666 less the umask, and its
        // target keeps its bytes.  For the files the program makes itself
        // in a project's folders (the make file; the user's project and
        // workspace files are written through a link, without this flag).
        // Anything else is as without it.  Open only (OpenAt
        // never follows a link and refuses one).
        kReplaceLink = 2,
    };

    AtomicFile() = default;
    ~AtomicFile();  // discards an uncommitted file
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Starts the new content of nativePath.  A symbolic link is followed
    // and the file it names is replaced (the link stays; with kReplaceLink
    // the link itself is replaced); the file replaced
    // must be a regular file that this process may write: a folder fails
    // with EISDIR, a FIFO, device or socket with ENODEV, a link that names
    // nothing with ENOENT, a file without write permission with EACCES.  A
    // path where nothing is gives a new file, in a folder that must exist.
    [[nodiscard]] bool Open(const std::string& nativePath, unsigned flags = 0);
    // Starts the new content of the entry `name` (one path component) of
    // an open folder (any descriptor of it, also O_PATH; the object keeps
    // its own copy), the writer of every transfer below a chosen folder
    // (platform/sys/Beneath.h): nothing is followed at the name, so a
    // symbolic link there, dangling or not, fails with ELOOP and stays as
    // it was; otherwise as Open.  The file is put in place relative to the
    // folder's descriptor, whatever happens to the folder's path.
    [[nodiscard]] bool OpenAt(int folder, std::string_view name, unsigned flags = 0);

    // Appends bytes; a failure is kept and makes Commit fail too.
    [[nodiscard]] bool Write(const void* data, size_t size);
    [[nodiscard]] bool Write(std::string_view bytes) { return Write(bytes.data(), bytes.size()); }

    // The permission bits of the new file.  Without this call a replaced
    // file keeps its own, and a new one gets 0666 less the umask.
    void SetMode(uint32_t mode);
    // The last-write (and access) time the new file gets, as Unix time.
    void SetWriteTime(int64_t seconds, int64_t nanoseconds = 0);

    // Flushes the file to disk, puts it in place of the target and syncs
    // the folder.  True when the new content is in place; on failure the
    // target is untouched.  The object is closed afterwards either way.
    [[nodiscard]] bool Commit();
    // Drops the new content; the target is untouched.
    void Discard();

    // A new read-only descriptor (close-on-exec) of the file being written,
    // the one that Commit puts in place: for a caller that goes on reading
    // what it saved, and never the file that was replaced.  The descriptor
    // stays valid after Commit and Discard; -1 on failure (called when the
    // object is not open), with an errno value in the thread's last error.
    [[nodiscard]] int OpenReadBack() const;

    bool IsOpen() const { return m_fd >= 0; }
    // The path that Commit replaces (links resolved; the name alone after
    // OpenAt).
    const std::string& Target() const { return m_target; }
    // The named temporary file, or empty while the file has no name.
    const std::string& TempPath() const { return m_temp; }

private:
    // The common part of Open and OpenAt once the folder (m_dirFd) and the
    // name are known.
    bool TakeExisting(const struct ::stat& st, int folder, const char* path, int accessFlags);
    bool Start();
    void SetTempName(std::string name);

    int m_fd = -1;
    int m_dirFd = -1; // the target's folder
    std::string m_tempName; // the named temporary file in that folder
    unsigned m_flags = 0;
    int m_error = 0;
    std::string m_target, m_folder, m_name, m_temp;
    uint32_t m_mode = 0;
    bool m_replacing = false;
    uint32_t m_uid = 0, m_gid = 0;
    bool m_setTime = false;
    int64_t m_seconds = 0, m_nanoseconds = 0;
};

// For tests: while on, every AtomicFile opened afterwards uses a named
// temporary file, as on a file system without unnamed files.
void ForceNamedTempFiles(bool on);

// The name that the temporary files of a target name begin with (followed
// by six characters), and the age in seconds after which a later save of
// the same target removes them.
std::string TempFilePrefix(std::string_view targetName);
constexpr int64_t kLeftoverTempAgeSeconds = 60;

// Six random letters or digits, for a name that should be new.
std::string RandomNameChars();

} // namespace sys
