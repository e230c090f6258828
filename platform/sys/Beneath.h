#pragma once
// Work below a folder the user chose, relative to that folder's descriptor:
// no step below it ever follows a symbolic link.  A transfer creates,
// writes, renames and deletes only through these routines, so a link that
// someone planted below the chosen folder (on a shared or world-writable
// folder another user can) never redirects a write to somewhere else.
// The chosen folder itself is opened as given and may be a link: the user
// chose it.
//
// `relative` is a path below the root: components separated by "/", no
// empty, "." or ".." component (those fail with EINVAL), "" for the root
// itself where a folder is meant.  A symbolic link in any component,
// also the last one where an entry is opened as a folder or written,
// fails with ELOOP; a component that is no folder with ENOTDIR.
// Resolution uses openat2 with RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS where
// the kernel has it, else one openat with O_NOFOLLOW per component.
//
// Failures return false (or -1) and leave an errno value in the thread's
// last error (platform/sys/LastError.h) and in errno.

#include "platform/sys/LocalFiles.h"

#include <string>
#include <string_view>
#include <vector>

namespace sys {

// A descriptor that closes itself.
class OwnedFd
{
public:
    OwnedFd() = default;
    explicit OwnedFd(int fd) : m_fd(fd) {}
    ~OwnedFd() { Reset(); }
    OwnedFd(OwnedFd&& o) noexcept : m_fd(o.Release()) {}
    OwnedFd& operator=(OwnedFd&& o) noexcept
    {
        if (this != &o)
            Reset(o.Release());
        return *this;
    }
    OwnedFd(const OwnedFd&) = delete;
    OwnedFd& operator=(const OwnedFd&) = delete;

    int Get() const { return m_fd; }
    bool Valid() const { return m_fd >= 0; }
    int Release()
    {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }
    void Reset(int fd = -1);

private:
    int m_fd = -1;
};

// The folder the user chose, opened (O_PATH, close-on-exec) as the root of
// the work below it; links on its way are followed.  -1 on failure.
int OpenChosenFolder(const std::string& path);

// The relative form of `path` below `folder`, both lexically normalised
// (sys::LexicalLocalPath): false when the path does not lie strictly
// inside the folder.
bool RelativeBelow(std::string_view folder, std::string_view path, std::string& relative);

// The folder `relative` below root (the root again for ""), opened O_PATH.
int OpenFolderBeneath(int root, std::string_view relative);
// The folder that holds the last component of `relative` (not empty),
// opened O_PATH, and that component in `name`.
int OpenParentBeneath(int root, std::string_view relative, std::string& name);

// lstat of the entry `relative` below root (name left empty).
bool StatBeneath(int root, std::string_view relative, LocalEntry& out);
// The entries of the folder `relative` (lstat, without "." and "..").
bool ListFolderBeneath(int root, std::string_view relative, std::vector<LocalEntry>& out);
// Gives the regular file `relative` the permission bits `mode` (anything
// else fails: a link with ELOOP, a folder with EISDIR, others ENODEV).
bool SetModeBeneath(int root, std::string_view relative, uint32_t mode);
// True when the entry `relative` is a regular file that this process may
// run (its execute permission, on a file system that runs programs).
bool CanRunBeneath(int root, std::string_view relative);
// Creates one folder (with `mode` less the umask); anything already at the
// name (also a link, dangling or not) fails with EEXIST.
bool CreateFolderBeneath(int root, std::string_view relative, uint32_t mode = 0777);
// Gives the folder `relative` the permission bits `mode` (anything else
// fails: a link with ELOOP, others ENOTDIR).
bool SetFolderModeBeneath(int root, std::string_view relative, uint32_t mode);
// Creates a new folder named `prefix` followed by six random letters or
// digits (a name taken by anything is never used: it fails with EEXIST
// and another is tried) and gives its relative path: a folder that this
// process made itself and may remove again.
bool CreateUniqueFolderBeneath(int root, std::string_view prefix, std::string& relative);
// Deletes the entry itself (a file, a link, a FIFO, ...); never a folder.
bool DeleteFileBeneath(int root, std::string_view relative);
// Removes an empty folder (a link there fails with ENOTDIR).
bool RemoveFolderBeneath(int root, std::string_view relative);
// Removes a folder tree without following any link in it (links are
// removed as entries).  A missing entry counts as removed.
bool RemoveTreeBeneath(int root, std::string_view relative);
// Renames the entry itself, never replacing what is at the new name (also
// not a link: EEXIST).  Across file systems a regular file is copied into
// a new file (never through a link) and its source deleted; anything else
// fails with EXDEV.
bool MoveBeneath(int sourceRoot, std::string_view source, int targetRoot, std::string_view target);

// Gives the entry `source` (a file, a symbolic link itself, ...; never a
// folder) the new name `target`, never over anything there: a second link
// of the same file, so its bytes, mode and time stay as they are.  Where
// the file system refuses that (no hard links, another file system, a file
// of another owner under protected hard links), a regular file is copied
// into a new file with its time and mode, and a symbolic link is made anew
// with the same content; anything else fails with the refusal's cause.
bool LinkBeneath(int sourceRoot, std::string_view source, int targetRoot, std::string_view target);

// For tests: while on, resolution never uses openat2, as on a kernel
// without it.
void ForceBeneathWithoutOpenat2(bool on);
// True when the next resolution uses openat2 (the kernel has it and it is
// not forced off).
bool BeneathUsesOpenat2();

} // namespace sys
