#include "editor/settings/EdtRegistry.h"

#include <cstring>

namespace {

constexpr uint32_t kRead = sys::KEY_QUERY_VALUE;      // 0x1
constexpr uint32_t kWrite = sys::KEY_SET_VALUE;       // 0x2
constexpr uint32_t kCreate = sys::KEY_CREATE_SUB_KEY; // 0x4

bool IsStringType(uint32_t type)
{
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_LINK || type == REG_MULTI_SZ;
}

// The UTF-16LE units of the data; an odd last byte is ignored.
std::u16string Units(const std::vector<uint8_t>& data)
{
    std::u16string units(data.size() / 2, u'\0');
    for (size_t i = 0; i < units.size(); ++i)
        units[i] = char16_t(data[2 * i] | (data[2 * i + 1] << 8));
    return units;
}

void AppendUnits(std::vector<uint8_t>& data, std::u16string_view text)
{
    for (char16_t c : text) {
        data.push_back(uint8_t(c & 0xFF));
        data.push_back(uint8_t(c >> 8));
    }
}

} // namespace

// ---------------------------------------------------------------------------
// Value records.

EdtRegValue MakeRegNumber(uint32_t number)
{
    EdtRegValue v;
    v.type = REG_DWORD;
    v.data = {uint8_t(number), uint8_t(number >> 8), uint8_t(number >> 16), uint8_t(number >> 24)};
    return v;
}

EdtRegValue MakeRegBinary(const void* data, uint32_t size)
{
    EdtRegValue v;
    v.type = REG_BINARY;
    if (data && size)
        v.data.assign(static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + size);
    return v;
}

EdtRegValue MakeRegString(std::u16string_view text)
{
    EdtRegValue v;
    v.type = REG_SZ;
    v.data.reserve(2 * (text.size() + 1));
    AppendUnits(v.data, text);
    AppendUnits(v.data, std::u16string_view(u"\0", 1));
    return v;
}

bool MakeRegStringList(const std::vector<std::u16string>& list, EdtRegValue& value)
{
    EdtRegValue v;
    v.type = REG_MULTI_SZ;
    for (const std::u16string& s : list) {
        if (s.empty())
            return false;
        AppendUnits(v.data, s);
        AppendUnits(v.data, std::u16string_view(u"\0", 1));
    }
    AppendUnits(v.data, std::u16string_view(u"\0", 1));
    value = std::move(v);
    return true;
}

bool GetRegNumber(const EdtRegValue& value, uint32_t& number)
{
    if (value.type != REG_DWORD || value.data.size() != 4)
        return false;
    number = uint32_t(value.data[0]) | uint32_t(value.data[1]) << 8 |
             uint32_t(value.data[2]) << 16 | uint32_t(value.data[3]) << 24;
    return true;
}

bool GetRegBinary(const EdtRegValue& value, void* buffer, uint32_t& size)
{
    if (value.type != REG_BINARY || value.data.size() > size || (!buffer && !value.data.empty()))
        return false;
    if (!value.data.empty())
        std::memcpy(buffer, value.data.data(), value.data.size());
    size = uint32_t(value.data.size());
    return true;
}

bool GetRegBinary(const EdtRegValue& value, std::vector<uint8_t>& data)
{
    if (value.type != REG_BINARY)
        return false;
    data = value.data;
    return true;
}

bool GetRegString(const EdtRegValue& value, std::u16string& text)
{
    if (!IsStringType(value.type))
        return false;
    std::u16string units = Units(value.data);
    const size_t nul = units.find(u'\0');
    if (nul != std::u16string::npos)
        units.resize(nul);
    text = std::move(units);
    return true;
}

bool GetRegStringList(const EdtRegValue& value, std::vector<std::u16string>& list)
{
    if (value.type != REG_MULTI_SZ)
        return false;
    const std::u16string units = Units(value.data);
    std::vector<std::u16string> out;
    size_t i = 0;
    while (i < units.size()) {
        size_t nul = units.find(u'\0', i);
        if (nul == std::u16string::npos)
            nul = units.size();
        if (nul == i)
            break; // the final NUL
        out.emplace_back(units, i, nul - i);
        i = nul + 1;
    }
    list = std::move(out);
    return true;
}

// ---------------------------------------------------------------------------
// CRegistryKey

CRegistryKey::~CRegistryKey()
{
    Close();
}

bool CRegistryKey::Open(HKEY root, std::u16string_view subkey, uint32_t access)
{
    Close();
    if (root != HKEY_CURRENT_USER)
        return false;
    HKEY key = nullptr;
    if (sys::RegOpenKeyEx(root, subkey, access, &key) != sys::ERROR_SUCCESS)
        return false;
    m_key = key;
    m_access = access;
    return true;
}

bool CRegistryKey::Create(HKEY root, std::u16string_view subkey)
{
    Close();
    if (root != HKEY_CURRENT_USER)
        return false;
    HKEY key = nullptr;
    bool created = false;
    if (sys::RegCreateKeyEx(root, subkey, KEY_WRITE, &key, &created) != sys::ERROR_SUCCESS)
        return false;
    m_key = key;
    m_access = KEY_WRITE;
    m_changed = created;
    return true;
}

void CRegistryKey::Close()
{
    if (!m_key)
        return;
    if (m_changed)
        sys::RegFlushKey(m_key);
    sys::RegCloseKey(m_key);
    m_key = nullptr;
    m_access = 0;
    m_enumIndex = 0;
    m_changed = false;
}

bool CRegistryKey::ReadValue(std::u16string_view name, EdtRegValue& value)
{
    if (!Can(kRead))
        return false;
    uint32_t type = 0;
    uint32_t size = 0;
    if (sys::RegQueryValueEx(m_key, name, &type, nullptr, &size) != sys::ERROR_SUCCESS)
        return false;
    EdtRegValue v;
    v.data.resize(size);
    uint32_t got = size;
    if (sys::RegQueryValueEx(m_key, name, &type, v.data.data(), &got) != sys::ERROR_SUCCESS ||
        got > size)
        return false;
    v.data.resize(got);
    v.type = type;
    value = std::move(v);
    return true;
}

bool CRegistryKey::WriteValue(std::u16string_view name, const EdtRegValue& value)
{
    if (!Can(kWrite))
        return false;
    if (sys::RegSetValueEx(m_key, name, value.type, value.data.data(),
                           uint32_t(value.data.size())) != sys::ERROR_SUCCESS)
        return false;
    m_changed = true;
    return true;
}

template <typename Fn> bool CRegistryKey::InSubkeyRead(std::u16string_view subkey, Fn fn)
{
    if (!Can(kRead))
        return false;
    HKEY sub = nullptr;
    if (sys::RegOpenKeyEx(m_key, subkey, KEY_READ, &sub) != sys::ERROR_SUCCESS)
        return false;
    CRegistryKey child;
    child.m_key = sub;
    child.m_access = KEY_READ;
    return fn(child);
}

template <typename Fn> bool CRegistryKey::InSubkeyWrite(std::u16string_view subkey, Fn fn)
{
    if (!Can(kCreate))
        return false;
    HKEY sub = nullptr;
    bool created = false;
    if (sys::RegCreateKeyEx(m_key, subkey, KEY_WRITE, &sub, &created) != sys::ERROR_SUCCESS)
        return false;
    CRegistryKey child;
    child.m_key = sub;
    child.m_access = KEY_WRITE;
    child.m_changed = created;
    const bool ok = fn(child);
    if (child.m_changed)
        m_changed = true;
    return ok;
}

bool CRegistryKey::LoadValue(std::u16string_view name, EdtRegValue& value)
{
    return ReadValue(name, value);
}

bool CRegistryKey::LoadNumber(std::u16string_view name, uint32_t& number)
{
    EdtRegValue v;
    return ReadValue(name, v) && GetRegNumber(v, number);
}

bool CRegistryKey::LoadBinary(std::u16string_view name, void* buffer, uint32_t& size)
{
    EdtRegValue v;
    return ReadValue(name, v) && GetRegBinary(v, buffer, size);
}

bool CRegistryKey::LoadBinary(std::u16string_view name, std::vector<uint8_t>& data)
{
    EdtRegValue v;
    return ReadValue(name, v) && GetRegBinary(v, data);
}

bool CRegistryKey::LoadString(std::u16string_view name, std::u16string& text)
{
    EdtRegValue v;
    return ReadValue(name, v) && GetRegString(v, text);
}

bool CRegistryKey::LoadStringList(std::u16string_view name, std::vector<std::u16string>& list)
{
    EdtRegValue v;
    return ReadValue(name, v) && GetRegStringList(v, list);
}

bool CRegistryKey::LoadValue(std::u16string_view subkey, std::u16string_view name,
                             EdtRegValue& value)
{
    return InSubkeyRead(subkey, [&](CRegistryKey& k) { return k.LoadValue(name, value); });
}

bool CRegistryKey::LoadNumber(std::u16string_view subkey, std::u16string_view name,
                              uint32_t& number)
{
    return InSubkeyRead(subkey, [&](CRegistryKey& k) { return k.LoadNumber(name, number); });
}

bool CRegistryKey::LoadBinary(std::u16string_view subkey, std::u16string_view name,
                              void* buffer, uint32_t& size)
{
    return InSubkeyRead(subkey,
                        [&](CRegistryKey& k) { return k.LoadBinary(name, buffer, size); });
}

bool CRegistryKey::LoadBinary(std::u16string_view subkey, std::u16string_view name,
                              std::vector<uint8_t>& data)
{
    return InSubkeyRead(subkey, [&](CRegistryKey& k) { return k.LoadBinary(name, data); });
}

bool CRegistryKey::LoadString(std::u16string_view subkey, std::u16string_view name,
                              std::u16string& text)
{
    return InSubkeyRead(subkey, [&](CRegistryKey& k) { return k.LoadString(name, text); });
}

bool CRegistryKey::LoadStringList(std::u16string_view subkey, std::u16string_view name,
                                  std::vector<std::u16string>& list)
{
    return InSubkeyRead(subkey, [&](CRegistryKey& k) { return k.LoadStringList(name, list); });
}

bool CRegistryKey::SaveValue(std::u16string_view name, const EdtRegValue& value)
{
    return WriteValue(name, value);
}

bool CRegistryKey::SaveNumber(std::u16string_view name, uint32_t number)
{
    return WriteValue(name, MakeRegNumber(number));
}

bool CRegistryKey::SaveBinary(std::u16string_view name, const void* data, uint32_t size)
{
    if (!data && size)
        return false;
    return WriteValue(name, MakeRegBinary(data, size));
}

bool CRegistryKey::SaveString(std::u16string_view name, std::u16string_view text)
{
    return WriteValue(name, MakeRegString(text));
}

bool CRegistryKey::SaveStringList(std::u16string_view name,
                                  const std::vector<std::u16string>& list)
{
    EdtRegValue v;
    return MakeRegStringList(list, v) && WriteValue(name, v);
}

bool CRegistryKey::SaveValue(std::u16string_view subkey, std::u16string_view name,
                             const EdtRegValue& value)
{
    return InSubkeyWrite(subkey, [&](CRegistryKey& k) { return k.SaveValue(name, value); });
}

bool CRegistryKey::SaveNumber(std::u16string_view subkey, std::u16string_view name,
                              uint32_t number)
{
    return InSubkeyWrite(subkey, [&](CRegistryKey& k) { return k.SaveNumber(name, number); });
}

bool CRegistryKey::SaveBinary(std::u16string_view subkey, std::u16string_view name,
                              const void* data, uint32_t size)
{
    return InSubkeyWrite(subkey,
                         [&](CRegistryKey& k) { return k.SaveBinary(name, data, size); });
}

bool CRegistryKey::SaveString(std::u16string_view subkey, std::u16string_view name,
                              std::u16string_view text)
{
    return InSubkeyWrite(subkey, [&](CRegistryKey& k) { return k.SaveString(name, text); });
}

bool CRegistryKey::SaveStringList(std::u16string_view subkey, std::u16string_view name,
                                  const std::vector<std::u16string>& list)
{
    // Checked before the subkey is created.
    for (const std::u16string& s : list)
        if (s.empty())
            return false;
    return InSubkeyWrite(subkey, [&](CRegistryKey& k) { return k.SaveStringList(name, list); });
}

bool CRegistryKey::QueryCounts(uint32_t& subkeys, uint32_t& values)
{
    if (!Can(kRead))
        return false;
    uint32_t s = 0, v = 0;
    if (sys::RegQueryInfoKey(m_key, &s, &v) != sys::ERROR_SUCCESS)
        return false;
    subkeys = s;
    values = v;
    return true;
}

bool CRegistryKey::EnumFirstValue(std::u16string& name, uint32_t* type, std::u16string* text)
{
    m_enumIndex = 0;
    return EnumNextValue(name, type, text);
}

bool CRegistryKey::EnumNextValue(std::u16string& name, uint32_t* type, std::u16string* text)
{
    if (!Can(kRead))
        return false;
    std::u16string n;
    EdtRegValue v;
    if (sys::RegEnumValue(m_key, m_enumIndex, n, &v.type, &v.data) != sys::ERROR_SUCCESS)
        return false;
    ++m_enumIndex;
    name = std::move(n);
    if (type)
        *type = v.type;
    if (text) {
        std::u16string t;
        GetRegString(v, t); // stays empty for the other types
        *text = std::move(t);
    }
    return true;
}

// ---------------------------------------------------------------------------
// One-shot functions.

namespace EdtReg {

namespace {

template <typename Fn> bool Reading(HKEY root, std::u16string_view subkey, Fn fn)
{
    CRegistryKey key;
    return key.Open(root, subkey, KEY_READ) && fn(key);
}

template <typename Fn> bool Writing(HKEY root, std::u16string_view subkey, Fn fn)
{
    CRegistryKey key;
    return key.Create(root, subkey) && fn(key); // Close flushes what changed
}

} // namespace

bool LoadValue(HKEY root, std::u16string_view subkey, std::u16string_view name,
               EdtRegValue& value)
{
    return Reading(root, subkey, [&](CRegistryKey& k) { return k.LoadValue(name, value); });
}

bool LoadNumber(HKEY root, std::u16string_view subkey, std::u16string_view name,
                uint32_t& number)
{
    return Reading(root, subkey, [&](CRegistryKey& k) { return k.LoadNumber(name, number); });
}

bool LoadBinary(HKEY root, std::u16string_view subkey, std::u16string_view name, void* buffer,
                uint32_t& size)
{
    return Reading(root, subkey,
                   [&](CRegistryKey& k) { return k.LoadBinary(name, buffer, size); });
}

bool LoadBinary(HKEY root, std::u16string_view subkey, std::u16string_view name,
                std::vector<uint8_t>& data)
{
    return Reading(root, subkey, [&](CRegistryKey& k) { return k.LoadBinary(name, data); });
}

bool LoadString(HKEY root, std::u16string_view subkey, std::u16string_view name,
                std::u16string& text)
{
    return Reading(root, subkey, [&](CRegistryKey& k) { return k.LoadString(name, text); });
}

bool LoadStringList(HKEY root, std::u16string_view subkey, std::u16string_view name,
                    std::vector<std::u16string>& list)
{
    return Reading(root, subkey, [&](CRegistryKey& k) { return k.LoadStringList(name, list); });
}

bool SaveValue(HKEY root, std::u16string_view subkey, std::u16string_view name,
               const EdtRegValue& value)
{
    return Writing(root, subkey, [&](CRegistryKey& k) { return k.SaveValue(name, value); });
}

bool SaveNumber(HKEY root, std::u16string_view subkey, std::u16string_view name,
                uint32_t number)
{
    return Writing(root, subkey, [&](CRegistryKey& k) { return k.SaveNumber(name, number); });
}

bool SaveBinary(HKEY root, std::u16string_view subkey, std::u16string_view name,
                const void* data, uint32_t size)
{
    if (!data && size)
        return false;
    return Writing(root, subkey, [&](CRegistryKey& k) { return k.SaveBinary(name, data, size); });
}

bool SaveString(HKEY root, std::u16string_view subkey, std::u16string_view name,
                std::u16string_view text)
{
    return Writing(root, subkey, [&](CRegistryKey& k) { return k.SaveString(name, text); });
}

bool SaveStringList(HKEY root, std::u16string_view subkey, std::u16string_view name,
                    const std::vector<std::u16string>& list)
{
    EdtRegValue v;
    if (!MakeRegStringList(list, v))
        return false; // refused before the key is created
    return Writing(root, subkey, [&](CRegistryKey& k) { return k.SaveValue(name, v); });
}

bool Delete(HKEY root, std::u16string_view subkey, std::u16string_view name)
{
    if (root != HKEY_CURRENT_USER)
        return false;
    HKEY key = nullptr;
    if (sys::RegOpenKeyEx(root, subkey, KEY_ALL_ACCESS, &key) != sys::ERROR_SUCCESS)
        return false;
    const bool ok = sys::RegDeleteValue(key, name) == sys::ERROR_SUCCESS;
    if (ok)
        sys::RegFlushKey(key);
    sys::RegCloseKey(key);
    return ok;
}

bool Delete(HKEY root, std::u16string_view subkey)
{
    // The root itself (an empty path, or one of backslashes only) is never
    // deleted as a whole.
    if (root != HKEY_CURRENT_USER || subkey.find_first_not_of(u'\\') == std::u16string_view::npos)
        return false;
    HKEY key = nullptr;
    if (sys::RegOpenKeyEx(root, subkey, KEY_ALL_ACCESS, &key) != sys::ERROR_SUCCESS)
        return false;
    sys::RegCloseKey(key);
    const bool ok = sys::RegDeleteTree(root, subkey) == sys::ERROR_SUCCESS;
    if (ok)
        sys::RegFlushKey(root);
    return ok;
}

bool QueryCounts(HKEY root, std::u16string_view subkey, uint32_t& subkeys, uint32_t& values)
{
    return Reading(root, subkey,
                   [&](CRegistryKey& k) { return k.QueryCounts(subkeys, values); });
}

} // namespace EdtReg
