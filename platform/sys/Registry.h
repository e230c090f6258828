#pragma once
// The user's registry: the HKEY_CURRENT_USER tree, kept in one text file in
// the registry export format ("Windows Registry Editor Version 5.00") at
// $XDG_CONFIG_HOME/ORNA/Strandwork.reg (default ~/.config).
//
// The calls follow the Windows registry functions: they return a LONG
// status (ERROR_SUCCESS or an error code), keys are opaque handles, names
// are UTF-16 and compared without regard to case, keeping the case they
// were created with.  Changes are written to the file at Flush points and
// at exit, atomically.

#include "platform/sys/RegistryTable.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sys {

using LONG = int32_t;
using HKEY = struct RegKeyHandle*;

// The only root.
extern const HKEY HKEY_CURRENT_USER;

constexpr LONG ERROR_SUCCESS = 0;
constexpr LONG ERROR_FILE_NOT_FOUND = 2;
constexpr LONG ERROR_ACCESS_DENIED = 5;
constexpr LONG ERROR_INVALID_HANDLE = 6;
constexpr LONG ERROR_INVALID_DATA = 13;
constexpr LONG ERROR_WRITE_FAULT = 29; // the store's file could not be written
constexpr LONG ERROR_INVALID_PARAMETER = 87;
constexpr LONG ERROR_MORE_DATA = 234;
constexpr LONG ERROR_NO_MORE_ITEMS = 259;
constexpr LONG ERROR_KEY_DELETED = 1018;

constexpr uint32_t REG_NONE = 0;
constexpr uint32_t REG_SZ = 1;
constexpr uint32_t REG_EXPAND_SZ = 2;
constexpr uint32_t REG_BINARY = 3;
constexpr uint32_t REG_DWORD = 4;
constexpr uint32_t REG_LINK = 6;
constexpr uint32_t REG_MULTI_SZ = 7;
constexpr uint32_t REG_QWORD = 11;

constexpr uint32_t KEY_QUERY_VALUE = 0x0001;
constexpr uint32_t KEY_SET_VALUE = 0x0002;
constexpr uint32_t KEY_CREATE_SUB_KEY = 0x0004;
constexpr uint32_t KEY_ENUMERATE_SUB_KEYS = 0x0008;
constexpr uint32_t KEY_READ = 0x20019;
constexpr uint32_t KEY_WRITE = 0x20006;
constexpr uint32_t KEY_ALL_ACCESS = 0x2001F;

// Keys.  A key opened without KEY_SET_VALUE / KEY_CREATE_SUB_KEY refuses
// writes with ERROR_ACCESS_DENIED.  Every opened key must be closed.
LONG RegOpenKeyEx(HKEY parent, std::u16string_view subKey, uint32_t access, HKEY* result);
// Opens or creates (with every missing key on the way); created is set
// when the last key was new.
LONG RegCreateKeyEx(HKEY parent, std::u16string_view subKey, uint32_t access, HKEY* result,
                    bool* created = nullptr);
LONG RegCloseKey(HKEY key);

// Values.  Data are the raw bytes as Windows stores them: strings as UTF-16LE
// with their terminating zero, REG_MULTI_SZ as zero-separated strings ended
// by an extra zero, REG_DWORD 4 and REG_QWORD 8 little-endian bytes.
// An empty name is the key's default value.
LONG RegQueryValueEx(HKEY key, std::u16string_view name, uint32_t* type, void* data,
                     uint32_t* size);
LONG RegSetValueEx(HKEY key, std::u16string_view name, uint32_t type, const void* data,
                   uint32_t size);
LONG RegDeleteValue(HKEY key, std::u16string_view name);
// Deletes a subkey with all its subkeys and values.
LONG RegDeleteTree(HKEY key, std::u16string_view subKey);

// Enumeration by index, in the order the names were created.
LONG RegEnumKeyEx(HKEY key, uint32_t index, std::u16string& name);
LONG RegEnumValue(HKEY key, uint32_t index, std::u16string& name, uint32_t* type = nullptr,
                  std::vector<uint8_t>* data = nullptr);
LONG RegQueryInfoKey(HKEY key, uint32_t* subKeys, uint32_t* values);

// Writes the store to its file now when it has changed.
LONG RegFlushKey(HKEY key);

// Convenience reads and writes of typed values over the calls above.
bool RegGetString(HKEY key, std::u16string_view name, std::u16string& value);
bool RegGetDword(HKEY key, std::u16string_view name, uint32_t& value);
bool RegGetBinary(HKEY key, std::u16string_view name, std::vector<uint8_t>& value);
LONG RegSetString(HKEY key, std::u16string_view name, std::u16string_view value);
LONG RegSetDword(HKEY key, std::u16string_view name, uint32_t value);
LONG RegSetBinary(HKEY key, std::u16string_view name, const void* data, uint32_t size);

// The application's profile: values of "Software\ORNA\Strandwork\<section>".
namespace Profile {
std::u16string AppKeyPath(); // "Software\ORNA\Strandwork"
std::u16string GetString(std::u16string_view section, std::u16string_view entry,
                         std::u16string_view defaultValue = {});
bool WriteString(std::u16string_view section, std::u16string_view entry,
                 std::u16string_view value);
int32_t GetInt(std::u16string_view section, std::u16string_view entry, int32_t defaultValue);
bool WriteInt(std::u16string_view section, std::u16string_view entry, int32_t value);
bool GetBinary(std::u16string_view section, std::u16string_view entry, std::vector<uint8_t>& data);
bool WriteBinary(std::u16string_view section, std::u16string_view entry, const void* data,
                 uint32_t size);
} // namespace Profile

// The store behind the calls.
namespace RegistryStore {
// The file: $XDG_CONFIG_HOME/ORNA/Strandwork.reg, or ~/.config/... .
std::string FilePath();
// Reloads the store from its file (or from path), dropping unsaved
// changes.  A file that cannot be parsed leaves the store empty, is kept
// beside itself under another name, and the reason goes to standard error;
// the result is false then.  LoadFrom makes path the store's file: later
// flushes write there.
[[nodiscard]] bool Load();
[[nodiscard]] bool LoadFrom(const std::string& path);
// Writes the store when it has changed (Flush) or always (Save).  Flush
// writes only what this process changed since it last read or wrote the
// file (values set or deleted, keys created or deleted) into the file as
// it is at that moment, under a lock among processes: what another process
// wrote in between stays.  SaveTo writes the whole tree.
[[nodiscard]] bool Flush();
[[nodiscard]] bool SaveTo(const std::string& path);
// Empties the store in memory and forgets the file (tests).
void Reset();

// While one lives, what this process writes where the file had nothing
// when the process read it is what the process starts with, not its
// change: the program writes its state once it stands (bars, menus, keys
// as they came up) inside one, and writing the same again later changes
// nothing on disk.  (A read through Profile that finds no value takes its
// default as the start in the same way.)
class StartValues
{
public:
    StartValues();
    ~StartValues();
    StartValues(const StartValues&) = delete;
    StartValues& operator=(const StartValues&) = delete;
};

// Values of this name (in any key) hold a table (see TableForm): where
// this process changed one and the file holds one too, a flush applies
// the change by entry (MergeTable), so that what another process changed in
// other entries stays.  A later call for the name replaces the form.
void KeepAsTable(std::u16string_view valueName, TableForm form);

// How long a flush waits for the lock that another process holds before
// it fails with EWOULDBLOCK (the changes stay for the next flush).
constexpr int kLockWaitMs = 5000;
void SetLockWait(int milliseconds); // tests
// The file a failed flush names: the store's file, its lock file or the
// folder that could not be made.
std::string FailedFile();

// Why the last load could not read the file.
struct LoadProblem
{
    std::string file;   // the store's file
    std::string keptAs; // where the damaged file was kept; empty when it was not
    std::string cause;  // "line 3: ..." or the system's text
    bool saving = true; // false: the store does not write the file this run
};
// The problem of the last load (loading first when the store was not
// read yet), once: later calls return nothing until a load has another.
std::optional<LoadProblem> TakeLoadProblem();
} // namespace RegistryStore

} // namespace sys
