#pragma once
// Whole-file operations on native paths (UTF-8, as WinPath::ToNative gives
// them) and the program's own folder.  Failures leave an errno value in the
// thread's last error (platform/sys/LastError.h).

#include "platform/sys/Time.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace sys {

// Writes the whole file through sys::AtomicFile (platform/sys/AtomicFile.h):
// readers see the old or the new content and never a part.  A replaced
// file keeps its permission bits; a new file gets 0666 less the umask.
// When the target is a symbolic link, the file it points to is replaced; a
// folder, a FIFO, a device, a link that names nothing and a file this
// process may not write are refused.  On failure nothing is left behind
// and the old file is untouched.
[[nodiscard]] bool AtomicWriteFile(const std::string& nativePath, std::string_view bytes);

// The same, but what stands at the name is replaced and never written
// through: a symbolic link there (to a file, to a folder or to nothing) is
// replaced by the new file and what it names keeps its bytes; a hard link
// is replaced too (the other names keep the old content).  The writer of
// the files the program makes itself in a project's folders: the make
// file, files copied into a new project (the user's project and workspace
// files are written through a link).  A folder, a FIFO, a device
// and a file this process may not write are refused as above.
[[nodiscard]] bool AtomicReplaceFile(const std::string& nativePath, std::string_view bytes);

// Copies the file `from` to `to` through an AtomicFile (its Open, so a link
// at `to` is followed as there): `to` gets the whole copy or stays as it
// was.  `from` is opened with OpenForReading.  False when `from` cannot be
// opened or read or the copy cannot be put in place, with an errno value in
// the thread's last error.
[[nodiscard]] bool AtomicCopyFile(const std::string& from, const std::string& to);

// Opens an existing regular file for reading and gives its size.  The open
// never waits (non-blocking, close-on-exec, retried on EINTR) and the type
// is checked before anything is read, so a FIFO, a device or a socket, also
// behind a symbolic link, fails at once.  The descriptor (blocking again),
// or -1 with the errno value (EISDIR for a folder, ENODEV for anything else
// that is not a regular file) in errno and in the thread's last error.
[[nodiscard]] int OpenForReading(const std::string& nativePath, uint64_t& size);

// The whole content of a file; nullopt on failure.
[[nodiscard]] std::optional<std::string> ReadWholeFile(const std::string& nativePath);
// The same, with the permission bits (07777) of the very file read.
[[nodiscard]] std::optional<std::string> ReadWholeFile(const std::string& nativePath,
                                                       uint32_t& mode);

bool FileExists(const std::string& nativePath);       // any kind of entry
bool IsRegularFile(const std::string& nativePath);    // follows links
bool IsDirectory(const std::string& nativePath);      // follows links

// The last-write time of a file; nullopt on failure.
std::optional<FileTime> GetFileWriteTime(const std::string& nativePath);

// The folder of the running program (no trailing "/").
std::string ProgramFolder();

// A program that is named "X.exe" in stored settings: "X.exe" in the folder,
// else "X" (the ".exe" dropped, without regard to case).  The native path of
// the regular file found, or nullopt.  `folder` is a native path.
std::optional<std::string> FindProgram(const std::string& folder, std::string_view name);

} // namespace sys
