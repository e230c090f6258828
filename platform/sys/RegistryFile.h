#pragma once
// The registry store's file (internal to platform/sys): the registry export
// format "Windows Registry Editor Version 5.00", written in UTF-16LE with a
// byte-order mark and CR LF line ends; read from UTF-16LE with a mark or
// UTF-8 (with or without a mark).  See docs/registry.md.

#include "platform/sys/RegistryTree.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace sys::reg {

// Deepest key path the store keeps (as Windows: 512 levels).
constexpr size_t kMaxKeyDepth = 512;
// Longest key name (one level) and value name, in UTF-16 units.
constexpr size_t kMaxKeyName = 255;
constexpr size_t kMaxValueName = 16383;

struct ParseError
{
    size_t line = 0; // 1-based; 0 when the whole file is at fault
    std::string message;
};

// Reads the file's bytes into root, which must be empty.  On failure root
// is left in an unspecified state and err says why.
[[nodiscard]] bool ParseFile(std::string_view bytes, Node& root, ParseError& err);

// The file's bytes for the tree under root, exactly as the export writes
// them.
std::string FormatFile(const Node& root);

enum class ReadStatus
{
    Ok,
    Missing,
    Failed
};
// Reads a whole file; errno tells why it failed.
ReadStatus ReadStoreFile(const std::string& path, std::string& bytes);

// Writes the bytes to path atomically (temporary file in the same folder,
// fsync, rename; the permission bits of a replaced file are kept), creating
// the folder when missing.  On failure errno tells why and the old file is
// untouched.
[[nodiscard]] bool WriteStoreFile(const std::string& path, std::string_view bytes);

// An exclusive lock of the store's file among processes: a lock (flock) on
// the file "<path>.lock" beside it, created when missing (with the folder)
// and never removed.  Whoever reads the file to write it again holds it.
class StoreFileLock
{
public:
    StoreFileLock() = default;
    ~StoreFileLock();
    StoreFileLock(const StoreFileLock&) = delete;
    StoreFileLock& operator=(const StoreFileLock&) = delete;
    // Waits for the lock at most waitMs (negative: without end); false
    // (errno set, failed names the lock file or the folder that could not
    // be made) when the lock file cannot be made or opened, or EWOULDBLOCK
    // when another process still holds the lock.
    [[nodiscard]] bool Acquire(const std::string& path, int waitMs, std::string& failed);

private:
    int m_fd = -1;
};

} // namespace sys::reg
