#pragma once
// The file server of the session as plain functions: the share table, the
// path check and mapping, the listing writer and the simple operations.
// See "File server" in docs/link-protocol.md.

#include "link/oxfr/oxfr_messages.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace oxfr {

struct Share
{
    std::string name;    // code page 1250
    std::string dir;     // native, as given
    std::string realDir; // its real path
    uint32_t access = 0;
};

using ShareList = std::vector<Share>; // the entries in use, in table order

class ShareTable
{
public:
    // 0, or the error: 555 or a system code.
    uint32_t Add(const std::string& nativeDir, std::string_view name, uint32_t access);
    uint32_t Remove(std::string_view name);
    size_t Count() const;
    ShareList List() const;

private:
    std::array<std::optional<Share>, 30> m_entries;
};

// Case-insensitive comparison of wire names (code page 1250).
bool SameNameNoCase(std::string_view a, std::string_view b);
// The form in which the server compares wire names (or paths): decoded from
// code page 1250 and folded to lower case; two names that give the same
// form name one entry.
std::u16string FoldedName(std::string_view wire);
// "*" any run, "?" one character, without regard to case; "*.*" every name,
// "*." names without a dot, "" every name.
bool MatchPattern(std::string_view pattern, std::string_view name);
// A last component that the control system accepts for a new name.
bool IsValidNewName(std::string_view name);

// The path at offset `at` of a message: it must end with its zero inside the
// message and hold at most 259 bytes.  `next` receives the offset after the
// zero.
std::optional<std::string_view> TakeWirePath(const uint8_t* msg, size_t length, size_t at,
                                             size_t* next = nullptr);

struct MappedPath
{
    int share = -1;          // index into the list
    bool shareRoot = false;  // names the share's directory itself
    std::string native;      // local path (UTF-8)
    std::string lastName;    // last component as given (wire bytes)
};
// Checks and maps a wire path under its share; false when refused.
bool MapPath(const ShareList& shares, std::string_view wirePath, MappedPath& out);

// The listing file of a wire path (header and records) with status 0, or
// the status on failure (245 for a refused path).
uint8_t BuildListing(const ShareList& shares, std::string_view wirePath, Bytes& file);
// The reply message to a simple request (codes 0, 1, 2, 5, 7, 8).
Bytes ServeSimple(const ShareList& shares, const uint8_t* msg, size_t length);
// The failure status of a simple request code.
uint8_t FailureStatus(uint8_t code);

// The DOS stamp of a native entry's last write (local time); 0, 0 on failure.
void DosStamp(int64_t unixSeconds, uint16_t& date, uint16_t& time);
// A wire name (1250) of a native name (UTF-8); lost characters become "?".
std::string WireName(std::string_view nativeName);
// The native name (UTF-8) of a wire name.
std::string NativeName(std::string_view wireName);
// The system's temporary folder.
std::string TempFolder();

} // namespace oxfr
