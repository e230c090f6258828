#include "platform/sys/Registry.h"

#include "platform/sys/RegistryFile.h"
#include "platform/sys/RegistryTree.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <optional>
#include <pwd.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>

namespace sys {

// The root's handle is the address of an object, so that it is constant
// initialised and usable from other files' static initialisers.  Other
// handles are numbers from the handle table and never dereferenced.
struct RegKeyHandle
{
};
namespace {
RegKeyHandle g_currentUser;
}
const HKEY HKEY_CURRENT_USER = &g_currentUser;

namespace {

using reg::Node;

struct Handle
{
    std::shared_ptr<Node> node;
    uint32_t access = 0;
};

// The whole store; every call holds its mutex.
struct Store
{
    std::mutex mutex;
    std::shared_ptr<Node> root = std::make_shared<Node>();
    // The tree as this process last read or wrote the file: what differs
    // from it in root is what this process changed, and all it writes.
    std::shared_ptr<Node> base = std::make_shared<Node>();
    // Where the file had nothing when this process read it: what the
    // process started with instead (the defaults its reads gave, the state
    // it wrote as its start).  Writing that back is no change.
    std::shared_ptr<Node> starts = std::make_shared<Node>();
    // Writes take their values as the start (RegistryStore::StartValues).
    int startDepth = 0;
    // The values kept as tables (RegistryStore::KeepAsTable).
    reg::TableForms tables;
    // How long a flush waits for another process's lock.
    int lockWaitMs = RegistryStore::kLockWaitMs;
    // The file that the last failed flush could not read, lock or write.
    std::string failedFile;
    bool loaded = false;
    bool dirty = false;
    // The file could not be read or put aside: never write over it
    // (blockedCause says why, an errno value).
    bool saveBlocked = false;
    int blockedCause = 0;
    std::string path;
    // What went wrong at the last load, until it is taken.
    std::optional<RegistryStore::LoadProblem> problem;
    std::unordered_map<uintptr_t, Handle> handles;
    uintptr_t nextHandle = 0x1000;

    void EnsureLoaded()
    {
        if (!loaded)
            LoadLocked(RegistryStore::FilePath());
    }

    void ReplaceRoot(std::shared_ptr<Node> fresh)
    {
        root->MarkDeleted();
        root = std::move(fresh);
    }

    bool LoadLocked(const std::string& file);
    bool FlushLocked();
    // Reads the file as it is now into fresh (empty when there is none); a
    // file that cannot be parsed is put aside.  False (errno set) when it
    // cannot be read or put aside.
    bool ReadCurrent(Node& fresh, std::string& bytes);
};

void FlushAtExit();

Store& TheStore()
{
    static Store* store = [] {
        // Never destroyed: registry calls from other objects' destructors
        // at exit still find it.
        auto* s = new Store;
        std::atexit(FlushAtExit);
        return s;
    }();
    return *store;
}

void FlushAtExit()
{
    Store& s = TheStore();
    std::lock_guard lock(s.mutex);
    if (s.loaded)
        s.FlushLocked();
}

std::string Timestamp()
{
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y%m%d-%H%M%S", &tm);
    return buf;
}

// Renames a file that cannot be parsed to "<name>.bad-YYYYMMDD-HHMMSS"
// (or "...-2", "-3", ... when that exists) without replacing anything.
bool PutAside(const std::string& file, std::string& aside)
{
    std::string base = file + ".bad-" + Timestamp();
    for (int n = 1; n < 1000; ++n) {
        aside = n == 1 ? base : base + "-" + std::to_string(n);
        if (::renameat2(AT_FDCWD, file.c_str(), AT_FDCWD, aside.c_str(), RENAME_NOREPLACE) == 0)
            return true;
        if (errno == EEXIST)
            continue;
        if (errno != EINVAL && errno != ENOSYS)
            return false;
        // The file system cannot refuse to replace: check first.
        struct stat st;
        if (::lstat(aside.c_str(), &st) == 0)
            continue;
        return ::rename(file.c_str(), aside.c_str()) == 0;
    }
    errno = EEXIST;
    return false;
}

// "line 3: <the fault>", or the fault alone when it is the whole file's.
std::string ParseFault(const reg::ParseError& err)
{
    return err.line ? "line " + std::to_string(err.line) + ": " + err.message : err.message;
}

bool Store::LoadLocked(const std::string& file)
{
    ReplaceRoot(std::make_shared<Node>());
    path = file;
    starts = std::make_shared<Node>();
    loaded = true;
    dirty = false;
    saveBlocked = false;
    blockedCause = 0;
    problem.reset();

    std::string bytes;
    switch (reg::ReadStoreFile(file, bytes)) {
    case reg::ReadStatus::Missing:
        base = reg::CloneTree(*root);
        return true;
    case reg::ReadStatus::Failed:
        saveBlocked = true;
        blockedCause = errno;
        problem = RegistryStore::LoadProblem{file, {}, std::strerror(errno), false};
        std::fprintf(stderr,
                     "Strandwork: the registry file \"%s\" cannot be read (%s); the settings "
                     "start from their defaults and will not be saved to it.\n",
                     file.c_str(), std::strerror(errno));
        base = reg::CloneTree(*root);
        return false;
    case reg::ReadStatus::Ok:
        break;
    }

    auto fresh = std::make_shared<Node>();
    reg::ParseError err;
    const bool parsed = reg::ParseFile(bytes, *fresh, err);
    if (parsed)
        ReplaceRoot(std::move(fresh));
    else
        fresh->MarkDeleted();
    base = reg::CloneTree(*root);
    if (parsed)
        return true;
    const std::string fault = ParseFault(err);
    std::string aside;
    if (PutAside(file, aside)) {
        problem = RegistryStore::LoadProblem{file, aside, fault, true};
        std::fprintf(stderr,
                     "Strandwork: the registry file \"%s\" cannot be parsed (%s); it was kept "
                     "as \"%s\" and the settings start from their defaults.\n",
                     file.c_str(), fault.c_str(), aside.c_str());
    } else {
        saveBlocked = true;
        blockedCause = errno;
        problem = RegistryStore::LoadProblem{file, {}, fault, false};
        std::fprintf(stderr,
                     "Strandwork: the registry file \"%s\" cannot be parsed (%s) and cannot be "
                     "renamed (%s); the settings start from their defaults and will not be saved "
                     "to it.\n",
                     file.c_str(), fault.c_str(), std::strerror(errno));
    }
    return false;
}

bool Store::ReadCurrent(Node& fresh, std::string& bytes)
{
    switch (reg::ReadStoreFile(path, bytes)) {
    case reg::ReadStatus::Missing:
        bytes.clear();
        return true;
    case reg::ReadStatus::Failed:
        return false;
    case reg::ReadStatus::Ok:
        break;
    }
    reg::ParseError err;
    if (reg::ParseFile(bytes, fresh, err))
        return true;
    // Damaged since it was read (by another program): kept aside as at a
    // start, and written anew.
    fresh.Clear();
    bytes.clear();
    std::string aside;
    if (!PutAside(path, aside))
        return false;
    std::fprintf(stderr,
                 "Strandwork: the registry file \"%s\" cannot be parsed (%s); it was kept as "
                 "\"%s\" and is written anew.\n",
                 path.c_str(), ParseFault(err).c_str(), aside.c_str());
    return true;
}

bool Store::FlushLocked()
{
    if (!dirty)
        return true;
    if (saveBlocked) {
        failedFile = path;
        errno = blockedCause ? blockedCause : EACCES;
        return false;
    }
    // What another process wrote since this one read the file stays: the
    // file is read again under the lock, this process's changes go into
    // it, and it is written whole.
    reg::StoreFileLock lock;
    auto current = std::make_shared<Node>();
    std::string before;
    bool ok = lock.Acquire(path, lockWaitMs, failedFile);
    if (ok) {
        failedFile = path;
        ok = ReadCurrent(*current, before);
    }
    if (ok) {
        reg::MergeChanges(*base, *root, *current, *starts, tables);
        const std::string after = reg::FormatFile(*current);
        ok = after == before || reg::WriteStoreFile(path, after);
    }
    current->MarkDeleted();
    if (!ok) {
        int saved = errno;
        if (saved == EWOULDBLOCK)
            std::fprintf(stderr,
                         "Strandwork: the registry file \"%s\" is locked by another process "
                         "(\"%s\"); the changes are kept for the next write.\n",
                         path.c_str(), failedFile.c_str());
        else
            std::fprintf(stderr, "Strandwork: \"%s\" cannot be opened or written (%s); the changes of "
                                 "the registry file \"%s\" are kept for the next write.\n",
                         failedFile.c_str(), std::strerror(saved), path.c_str());
        errno = saved;
        return false;
    }
    failedFile.clear();
    base = reg::CloneTree(*root);
    dirty = false;
    return true;
}

LONG WriteError()
{
    return (errno == EACCES || errno == EPERM || errno == EROFS) ? ERROR_ACCESS_DENIED
                                                                 : ERROR_WRITE_FAULT;
}

// Finds the key behind a handle; node is valid while the mutex is held.
LONG Resolve(Store& s, HKEY key, Node*& node, uint32_t& access)
{
    if (key == HKEY_CURRENT_USER) {
        node = s.root.get();
        access = KEY_ALL_ACCESS;
        return ERROR_SUCCESS;
    }
    auto it = s.handles.find(reinterpret_cast<uintptr_t>(key));
    if (it == s.handles.end())
        return ERROR_INVALID_HANDLE;
    if (it->second.node->deleted)
        return ERROR_KEY_DELETED;
    node = it->second.node.get();
    access = it->second.access;
    return ERROR_SUCCESS;
}

// Runs f(store, node, access) with the store locked and loaded, on the key
// behind the handle and the access it grants.  Every Reg* call on a key
// goes through here.
template <class F>
LONG WithResolvedKey(HKEY key, F&& f)
{
    Store& s = TheStore();
    std::lock_guard lock(s.mutex);
    s.EnsureLoaded();
    Node* node;
    uint32_t access;
    if (LONG rc = Resolve(s, key, node, access))
        return rc;
    return f(s, node, access);
}

// The same, as f(store, node), when the handle grants the access bits
// needed (0: any open key).
template <class F>
LONG WithKey(HKEY key, uint32_t needed, F&& f)
{
    return WithResolvedKey(key, [&](Store& s, Node* node, uint32_t access) -> LONG {
        if ((access & needed) != needed)
            return ERROR_ACCESS_DENIED;
        return f(s, node);
    });
}

HKEY NewHandle(Store& s, Node* node, uint32_t access)
{
    uintptr_t id = s.nextHandle++;
    if (id == reinterpret_cast<uintptr_t>(HKEY_CURRENT_USER))
        id = s.nextHandle++;
    s.handles.emplace(id, Handle{node->shared_from_this(), access});
    return reinterpret_cast<HKEY>(id);
}

bool ValidName(std::u16string_view name, size_t maxLength)
{
    if (name.size() > maxLength)
        return false;
    for (char16_t c : name)
        if (c == 0 || c == u'\r' || c == u'\n')
            return false;
    return true;
}

// Splits a key path at backslashes, skipping empty parts.
bool SplitKeyPath(std::u16string_view path, std::vector<std::u16string_view>& parts)
{
    parts.clear();
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find(u'\\', start);
        if (end == std::u16string_view::npos)
            end = path.size();
        if (end > start) {
            std::u16string_view part = path.substr(start, end - start);
            if (!ValidName(part, reg::kMaxKeyName))
                return false;
            parts.push_back(part);
        }
        start = end + 1;
    }
    return true;
}

// The names of the keys from the root down to node.
std::vector<std::u16string_view> PathOf(const Node* node)
{
    std::vector<std::u16string_view> parts;
    for (; node && node->parent; node = node->parent)
        parts.push_back(node->name);
    std::reverse(parts.begin(), parts.end());
    return parts;
}

std::vector<uint8_t> StringBytes(std::u16string_view value)
{
    std::vector<uint8_t> data((value.size() + 1) * 2, 0);
    for (size_t i = 0; i < value.size(); ++i) {
        data[2 * i] = static_cast<uint8_t>(value[i] & 0xFF);
        data[2 * i + 1] = static_cast<uint8_t>(value[i] >> 8);
    }
    return data;
}

std::vector<uint8_t> DwordBytes(uint32_t value)
{
    return {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
            static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
}

std::u16string BytesToString(const std::vector<uint8_t>& data)
{
    std::u16string s;
    s.reserve(data.size() / 2);
    for (size_t i = 0; i + 1 < data.size(); i += 2) {
        char16_t c = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
        if (c == 0)
            break;
        s.push_back(c);
    }
    return s;
}

} // namespace

LONG RegOpenKeyEx(HKEY parent, std::u16string_view subKey, uint32_t access, HKEY* result)
{
    if (!result)
        return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    return WithKey(parent, 0, [&](Store& s, Node* node) {
        std::vector<std::u16string_view> parts;
        if (!SplitKeyPath(subKey, parts))
            return ERROR_INVALID_PARAMETER;
        for (auto part : parts) {
            node = node->FindChild(part);
            if (!node)
                return ERROR_FILE_NOT_FOUND;
        }
        *result = NewHandle(s, node, access);
        return ERROR_SUCCESS;
    });
}

LONG RegCreateKeyEx(HKEY parent, std::u16string_view subKey, uint32_t access, HKEY* result,
                    bool* created)
{
    if (!result)
        return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    if (created)
        *created = false;
    return WithResolvedKey(parent, [&](Store& s, Node* node, uint32_t parentAccess) {
        std::vector<std::u16string_view> parts;
        if (!SplitKeyPath(subKey, parts) || node->depth + parts.size() > reg::kMaxKeyDepth)
            return ERROR_INVALID_PARAMETER;
        size_t existing = 0;
        for (Node* n = node; existing < parts.size(); ++existing) {
            n = n->FindChild(parts[existing]);
            if (!n)
                break;
        }
        if (existing < parts.size() && !(parentAccess & KEY_CREATE_SUB_KEY))
            return ERROR_ACCESS_DENIED;
        bool isNew = false;
        for (auto part : parts) {
            node = node->ChildOrNew(part, &isNew);
            if (isNew) {
                node->listed = true;
                s.dirty = true;
            }
        }
        if (s.startDepth)
            reg::NoteStartValue(*s.base, *s.starts, PathOf(node), nullptr, true);
        if (created)
            *created = isNew;
        *result = NewHandle(s, node, access);
        return ERROR_SUCCESS;
    });
}

LONG RegCloseKey(HKEY key)
{
    if (key == HKEY_CURRENT_USER)
        return ERROR_SUCCESS;
    Store& s = TheStore();
    std::lock_guard lock(s.mutex);
    return s.handles.erase(reinterpret_cast<uintptr_t>(key)) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

LONG RegQueryValueEx(HKEY key, std::u16string_view name, uint32_t* type, void* data, uint32_t* size)
{
    if (data && !size)
        return ERROR_INVALID_PARAMETER;
    return WithKey(key, KEY_QUERY_VALUE, [&](Store&, Node* node) {
        const reg::Value* v = node->FindValue(name);
        if (!v)
            return ERROR_FILE_NOT_FOUND;
        if (type)
            *type = v->type;
        if (!size)
            return ERROR_SUCCESS;
        auto needed = static_cast<uint32_t>(v->data.size());
        if (data && *size < needed) {
            *size = needed;
            return ERROR_MORE_DATA;
        }
        if (data && needed)
            std::memcpy(data, v->data.data(), needed);
        *size = needed;
        return ERROR_SUCCESS;
    });
}

LONG RegSetValueEx(HKEY key, std::u16string_view name, uint32_t type, const void* data,
                   uint32_t size)
{
    if (!data && size)
        return ERROR_INVALID_PARAMETER;
    if (!ValidName(name, reg::kMaxValueName))
        return ERROR_INVALID_PARAMETER;
    return WithKey(key, KEY_SET_VALUE, [&](Store& s, Node* node) {
        const auto* p = static_cast<const uint8_t*>(data);
        if (node->SetValue(name, type, std::vector<uint8_t>(p, p + size)))
            s.dirty = true;
        if (s.startDepth)
            reg::NoteStartValue(*s.base, *s.starts, PathOf(node), node->FindValue(name), true);
        return ERROR_SUCCESS;
    });
}

LONG RegDeleteValue(HKEY key, std::u16string_view name)
{
    return WithKey(key, KEY_SET_VALUE, [&](Store& s, Node* node) {
        if (!node->RemoveValue(name))
            return ERROR_FILE_NOT_FOUND;
        s.dirty = true;
        return ERROR_SUCCESS;
    });
}

LONG RegDeleteTree(HKEY key, std::u16string_view subKey)
{
    return WithKey(key, KEY_SET_VALUE, [&](Store& s, Node* node) {
        std::vector<std::u16string_view> parts;
        if (!SplitKeyPath(subKey, parts))
            return ERROR_INVALID_PARAMETER;
        if (parts.empty()) {
            if (node->Clear())
                s.dirty = true;
            return ERROR_SUCCESS;
        }
        for (size_t i = 0; i + 1 < parts.size(); ++i) {
            node = node->FindChild(parts[i]);
            if (!node)
                return ERROR_FILE_NOT_FOUND;
        }
        if (!node->RemoveChild(parts.back()))
            return ERROR_FILE_NOT_FOUND;
        s.dirty = true;
        return ERROR_SUCCESS;
    });
}

LONG RegEnumKeyEx(HKEY key, uint32_t index, std::u16string& name)
{
    return WithKey(key, KEY_ENUMERATE_SUB_KEYS, [&](Store&, Node* node) {
        if (index >= node->children.size())
            return ERROR_NO_MORE_ITEMS;
        name = node->children[index]->name;
        return ERROR_SUCCESS;
    });
}

LONG RegEnumValue(HKEY key, uint32_t index, std::u16string& name, uint32_t* type,
                  std::vector<uint8_t>* data)
{
    return WithKey(key, KEY_QUERY_VALUE, [&](Store&, Node* node) {
        if (index >= node->values.size())
            return ERROR_NO_MORE_ITEMS;
        const reg::Value& v = node->values[index];
        name = v.name;
        if (type)
            *type = v.type;
        if (data)
            *data = v.data;
        return ERROR_SUCCESS;
    });
}

LONG RegQueryInfoKey(HKEY key, uint32_t* subKeys, uint32_t* values)
{
    return WithKey(key, KEY_QUERY_VALUE, [&](Store&, Node* node) {
        if (subKeys)
            *subKeys = static_cast<uint32_t>(node->children.size());
        if (values)
            *values = static_cast<uint32_t>(node->values.size());
        return ERROR_SUCCESS;
    });
}

LONG RegFlushKey(HKEY key)
{
    return WithKey(key, 0, [](Store& s, Node*) {
        return s.FlushLocked() ? ERROR_SUCCESS : WriteError();
    });
}

bool RegGetString(HKEY key, std::u16string_view name, std::u16string& value)
{
    uint32_t type = 0;
    std::vector<uint8_t> data;
    uint32_t size = 0;
    for (;;) {
        LONG rc = RegQueryValueEx(key, name, &type, data.data(), &size);
        if (rc == ERROR_SUCCESS && (data.size() >= size || size == 0))
            break;
        if (rc != ERROR_SUCCESS && rc != ERROR_MORE_DATA)
            return false;
        data.resize(size); // the value may grow between the calls
    }
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        return false;
    data.resize(size);
    value = BytesToString(data);
    return true;
}

bool RegGetDword(HKEY key, std::u16string_view name, uint32_t& value)
{
    uint32_t type = 0;
    uint8_t buf[8];
    uint32_t size = sizeof buf;
    if (RegQueryValueEx(key, name, &type, buf, &size) != ERROR_SUCCESS || type != REG_DWORD ||
        size != 4)
        return false;
    value = static_cast<uint32_t>(buf[0]) | (static_cast<uint32_t>(buf[1]) << 8) |
            (static_cast<uint32_t>(buf[2]) << 16) | (static_cast<uint32_t>(buf[3]) << 24);
    return true;
}

bool RegGetBinary(HKEY key, std::u16string_view name, std::vector<uint8_t>& value)
{
    uint32_t size = 0;
    std::vector<uint8_t> data;
    for (;;) {
        LONG rc = RegQueryValueEx(key, name, nullptr, data.data(), &size);
        if (rc == ERROR_SUCCESS && (data.size() >= size || size == 0))
            break;
        if (rc != ERROR_SUCCESS && rc != ERROR_MORE_DATA)
            return false;
        data.resize(size);
    }
    data.resize(size);
    value = std::move(data);
    return true;
}

LONG RegSetString(HKEY key, std::u16string_view name, std::u16string_view value)
{
    const std::vector<uint8_t> data = StringBytes(value);
    return RegSetValueEx(key, name, REG_SZ, data.data(), static_cast<uint32_t>(data.size()));
}

LONG RegSetDword(HKEY key, std::u16string_view name, uint32_t value)
{
    const std::vector<uint8_t> data = DwordBytes(value);
    return RegSetValueEx(key, name, REG_DWORD, data.data(), 4);
}

LONG RegSetBinary(HKEY key, std::u16string_view name, const void* data, uint32_t size)
{
    return RegSetValueEx(key, name, REG_BINARY, data, size);
}

namespace Profile {

namespace {

std::u16string SectionPath(std::u16string_view section)
{
    std::u16string path = AppKeyPath();
    if (!section.empty()) {
        path += u'\\';
        path += section;
    }
    return path;
}

// A key of the section, opened for reading or created for writing.
class SectionKey
{
public:
    SectionKey(std::u16string_view section, bool write)
    {
        std::u16string path = SectionPath(section);
        LONG rc = write ? RegCreateKeyEx(HKEY_CURRENT_USER, path, KEY_READ | KEY_WRITE, &m_key)
                        : RegOpenKeyEx(HKEY_CURRENT_USER, path, KEY_READ, &m_key);
        if (rc != ERROR_SUCCESS)
            m_key = nullptr;
    }
    ~SectionKey()
    {
        if (m_key)
            RegCloseKey(m_key);
    }
    SectionKey(const SectionKey&) = delete;
    SectionKey& operator=(const SectionKey&) = delete;
    HKEY get() const { return m_key; }

private:
    HKEY m_key = nullptr;
};

// A value that the file lacked and a read gave its default for: the
// default is what this process starts with (unless it set or deleted the
// value meanwhile, or an earlier read noted another).
void NoteDefault(std::u16string_view section, std::u16string_view entry, uint32_t type,
                 std::vector<uint8_t> data)
{
    Store& s = TheStore();
    std::lock_guard lock(s.mutex);
    s.EnsureLoaded();
    const std::u16string path = SectionPath(section);
    std::vector<std::u16string_view> parts;
    if (!SplitKeyPath(path, parts) || !ValidName(entry, reg::kMaxValueName))
        return;
    const Node* node = s.root.get();
    for (auto part : parts)
        node = node ? node->FindChild(part) : nullptr;
    if (node && node->FindValue(entry))
        return;
    const reg::Value value{std::u16string(entry), type, std::move(data)};
    reg::NoteStartValue(*s.base, *s.starts, parts, &value, false);
}

} // namespace

std::u16string AppKeyPath()
{
    return u"Software\\ORNA\\Strandwork";
}

std::u16string GetString(std::u16string_view section, std::u16string_view entry,
                         std::u16string_view defaultValue)
{
    SectionKey key(section, false);
    std::u16string value;
    if (key.get() && RegGetString(key.get(), entry, value))
        return value;
    NoteDefault(section, entry, REG_SZ, StringBytes(defaultValue));
    return std::u16string(defaultValue);
}

bool WriteString(std::u16string_view section, std::u16string_view entry, std::u16string_view value)
{
    SectionKey key(section, true);
    return key.get() && RegSetString(key.get(), entry, value) == ERROR_SUCCESS;
}

int32_t GetInt(std::u16string_view section, std::u16string_view entry, int32_t defaultValue)
{
    SectionKey key(section, false);
    uint32_t value;
    if (key.get() && RegGetDword(key.get(), entry, value))
        return static_cast<int32_t>(value);
    NoteDefault(section, entry, REG_DWORD, DwordBytes(static_cast<uint32_t>(defaultValue)));
    return defaultValue;
}

bool WriteInt(std::u16string_view section, std::u16string_view entry, int32_t value)
{
    SectionKey key(section, true);
    return key.get() &&
           RegSetDword(key.get(), entry, static_cast<uint32_t>(value)) == ERROR_SUCCESS;
}

bool GetBinary(std::u16string_view section, std::u16string_view entry, std::vector<uint8_t>& data)
{
    SectionKey key(section, false);
    return key.get() && RegGetBinary(key.get(), entry, data);
}

bool WriteBinary(std::u16string_view section, std::u16string_view entry, const void* data,
                 uint32_t size)
{
    SectionKey key(section, true);
    return key.get() && RegSetBinary(key.get(), entry, data, size) == ERROR_SUCCESS;
}

} // namespace Profile

namespace RegistryStore {

std::string FilePath()
{
    std::string base;
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && xdg[0] == '/') {
        base = xdg;
    } else {
        const char* home = std::getenv("HOME");
        if (!home || !*home) {
            const passwd* pw = ::getpwuid(::getuid());
            home = pw ? pw->pw_dir : "/tmp";
        }
        base = std::string(home) + "/.config";
    }
    return base + "/ORNA/Strandwork.reg";
}

bool Load()
{
    Store& s = TheStore();
    std::lock_guard lock(s.mutex);
    return s.LoadLocked(FilePath());
}

bool LoadFrom(const std::string& path)
{
    Store& s = TheStore();
    std::lock_guard lock(s.mutex);
    return s.LoadLocked(path);
}

bool Flush()
{
    Store& s = TheStore();
    std::lock_guard lock(s.mutex);
    return !s.loaded || s.FlushLocked();
}

bool SaveTo(const std::string& path)
{
    Store& s = TheStore();
    std::lock_guard lock(s.mutex);
    s.EnsureLoaded();
    if (s.saveBlocked && path == s.path) {
        errno = EACCES;
        return false;
    }
    if (!reg::WriteStoreFile(path, reg::FormatFile(*s.root)))
        return false;
    if (path == s.path) {
        s.base = reg::CloneTree(*s.root);
        s.dirty = false;
    }
    return true;
}

void Reset()
{
    Store& s = TheStore();
    std::lock_guard lock(s.mutex);
    s.ReplaceRoot(std::make_shared<Node>());
    s.base = std::make_shared<Node>();
    s.starts = std::make_shared<Node>();
    s.failedFile.clear();
    s.loaded = false;
    s.dirty = false;
    s.saveBlocked = false;
    s.blockedCause = 0;
    s.path.clear();
    s.problem.reset();
}

StartValues::StartValues()
{
    Store& s = TheStore();
    std::lock_guard lock(s.mutex);
    ++s.startDepth;
}

StartValues::~StartValues()
{
    Store& s = TheStore();
    std::lock_guard lock(s.mutex);
    --s.startDepth;
}

void KeepAsTable(std::u16string_view valueName, TableForm form)
{
    Store& s = TheStore();
    std::lock_guard lock(s.mutex);
    s.tables[reg::Fold(valueName)] = std::move(form);
}

std::string FailedFile()
{
    Store& s = TheStore();
    std::lock_guard lock(s.mutex);
    return s.failedFile.empty() ? s.path : s.failedFile;
}

void SetLockWait(int milliseconds)
{
    Store& s = TheStore();
    std::lock_guard lock(s.mutex);
    s.lockWaitMs = milliseconds;
}

std::optional<LoadProblem> TakeLoadProblem()
{
    Store& s = TheStore();
    std::lock_guard lock(s.mutex);
    s.EnsureLoaded();
    std::optional<LoadProblem> taken;
    taken.swap(s.problem);
    return taken;
}

} // namespace RegistryStore

} // namespace sys
