#pragma once
// Local file operations of the file-operation engine, on native paths
// (UTF-8).  Failures return false (or -1) and leave an errno value in the
// thread's last error (platform/sys/LastError.h).
//
// Only regular files are ever read: a source is opened without blocking
// and checked before its first read, so a FIFO, a socket or a device
// (also behind a symbolic link) fails with ENODEV instead of freezing or
// never ending.  A copy is written through sys::AtomicFile and put in
// place of its target only when complete.

#include "platform/sys/AtomicFile.h"
#include "platform/sys/Time.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace sys {

// One entry as lstat sees it.
struct LocalEntry
{
    std::string name;
    bool folder = false;   // a folder itself (never a link to one)
    bool symlink = false;
    bool regular = false;  // a regular file itself
    uint64_t size = 0;
    FileTime writeTime = 0;
    uint32_t mode = 0;     // the permission bits (07777)
};

// The entry's fields from an lstat (the name is left as it is).
void FillLocalEntry(const struct ::stat& st, LocalEntry& out);

// lstat of one path (the name is left empty).
bool StatLocalEntry(const std::string& path, LocalEntry& out);
// The entries of a folder, without "." and "..".
bool ListLocalFolder(const std::string& folder, std::vector<LocalEntry>& out);
// The same of the folder open at fd, which it takes over and closes; an
// entry that vanished meanwhile is kept as a file (its own step fails) or
// left out.
bool ListOpenFolder(int fd, std::vector<LocalEntry>& out, bool keepVanished);

// Opens a regular file for reading: sys::OpenForReading (non-blocking open,
// close-on-exec, then checked with fstat): the descriptor, or -1 (ENODEV for
// anything that is not a regular file, EISDIR for a folder).
int OpenRegularForReading(const std::string& path, uint64_t& size);

// A file copy in steps.
class LocalFileCopy
{
public:
    LocalFileCopy() = default;
    ~LocalFileCopy();
    LocalFileCopy(const LocalFileCopy&) = delete;
    LocalFileCopy& operator=(const LocalFileCopy&) = delete;

    // Opens the source (a regular file) and the new content of the target
    // (sys::AtomicFile; replace false: an existing target fails with
    // EEXIST).  The same file as source and target (device and inode) fails
    // with EEXIST and nothing is created.
    bool Open(const std::string& source, const std::string& target, bool replace = true);
    // The same with the target the entry `name` of an open folder, written
    // through AtomicFile::OpenAt: a symbolic link at the name fails with
    // ELOOP and is never followed.
    bool OpenInto(const std::string& source, int targetFolder, std::string_view name, bool replace = true);
    // Copies up to n bytes: the bytes copied, 0 at the end, -1 on failure.
    int64_t Step(size_t n);
    // Gives the copy the source's last-write time and permission bits and
    // puts it in place of the target (replace false: fails with EEXIST when
    // the target exists, which then stays); `replace` must be the one given
    // to Open.  The temporary file is gone after.
    bool Commit(bool replace = true);
    // Drops the copy.
    void Abort();

    uint64_t Size() const { return m_size; }
    uint64_t Done() const { return m_done; }
    bool IsOpen() const { return m_in >= 0; }

private:
    int m_in = -1;
    AtomicFile m_out;
    bool m_replace = true;
    uint64_t m_size = 0, m_done = 0;
};

// The whole copy (an existing target is replaced only on success).
bool CopyLocalFile(const std::string& source, const std::string& target);
// Renames without ever replacing.  Across file systems a regular file is
// copied, committed without replacing, and its source deleted; anything
// else fails with EXDEV.
bool MoveLocalEntry(const std::string& source, const std::string& target);
// Deletes a file (or a link, FIFO, ... : the entry itself).
bool DeleteLocalFile(const std::string& path);
// Removes an empty folder.
bool RemoveLocalFolder(const std::string& path);
// Creates one folder (an existing entry fails with EEXIST).
bool CreateLocalFolder(const std::string& path);

// The lexical form of a native path, without asking the file system:
// empty and "." components dropped, ".." takes the component before it
// away (at "/" it stays at "/"; a relative path keeps its leading ".."),
// one "/" between components, no trailing "/".  "\" counts as a separator
// too, so that a name written for the control system ("a\..\x") cannot
// climb here either.  "" for an empty path.
std::string LexicalLocalPath(std::string_view path);
// True when `path`, lexically normalised, lies strictly inside `folder`
// (also normalised): below it, never the folder itself, never beside it
// ("/a/bc" is not inside "/a/b").  The guard of every local entry that a
// transfer creates, writes, renames or deletes.  Links are not followed.
bool LocalPathInside(std::string_view folder, std::string_view path);

} // namespace sys
