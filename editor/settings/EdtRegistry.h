#pragma once
// Registry helpers of the editor and its option pages over the platform
// registry (platform/sys/Registry.h): a value record of any type, one-shot
// functions that open a key, do one step and close it again, and
// CRegistryKey, which holds one open key.  Every call answers true or
// false, shows nothing, and leaves the caller's output unchanged on
// failure.  Only the HKEY_CURRENT_USER root exists; any other root answers
// false.  See docs/editor-registry.md.

#include "platform/sys/Registry.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

using sys::HKEY;
using sys::HKEY_CURRENT_USER;
using sys::KEY_ALL_ACCESS;
using sys::KEY_READ;
using sys::KEY_WRITE;
using sys::REG_BINARY;
using sys::REG_DWORD;
using sys::REG_EXPAND_SZ;
using sys::REG_LINK;
using sys::REG_MULTI_SZ;
using sys::REG_NONE;
using sys::REG_SZ;

// A value as the registry keeps it: REG_DWORD 4 bytes little-endian, REG_SZ
// the UTF-16LE characters and a terminating NUL, REG_MULTI_SZ each string
// with its NUL and a final NUL.
struct EdtRegValue
{
    uint32_t type = REG_NONE;
    std::vector<uint8_t> data;
};

EdtRegValue MakeRegNumber(uint32_t number);
EdtRegValue MakeRegBinary(const void* data, uint32_t size);
EdtRegValue MakeRegString(std::u16string_view text);
// False when an entry is empty: a REG_MULTI_SZ cannot carry one.
bool MakeRegStringList(const std::vector<std::u16string>& list, EdtRegValue& value);

// REG_DWORD only.
bool GetRegNumber(const EdtRegValue& value, uint32_t& number);
// REG_BINARY only.  Into a buffer of size bytes only when the data fit; size
// then reports the data's size.
bool GetRegBinary(const EdtRegValue& value, void* buffer, uint32_t& size);
bool GetRegBinary(const EdtRegValue& value, std::vector<uint8_t>& data);
// REG_SZ, REG_EXPAND_SZ, REG_LINK, REG_MULTI_SZ: the text up to the first
// NUL or the end of the data.
bool GetRegString(const EdtRegValue& value, std::u16string& text);
// REG_MULTI_SZ only.
bool GetRegStringList(const EdtRegValue& value, std::vector<std::u16string>& list);

namespace EdtReg {

bool LoadValue(HKEY root, std::u16string_view subkey, std::u16string_view name,
               EdtRegValue& value);
bool LoadNumber(HKEY root, std::u16string_view subkey, std::u16string_view name,
                uint32_t& number);
bool LoadBinary(HKEY root, std::u16string_view subkey, std::u16string_view name, void* buffer,
                uint32_t& size);
bool LoadBinary(HKEY root, std::u16string_view subkey, std::u16string_view name,
                std::vector<uint8_t>& data);
bool LoadString(HKEY root, std::u16string_view subkey, std::u16string_view name,
                std::u16string& text);
bool LoadStringList(HKEY root, std::u16string_view subkey, std::u16string_view name,
                    std::vector<std::u16string>& list);

// Saves create the key when it is missing and flush the store.
bool SaveValue(HKEY root, std::u16string_view subkey, std::u16string_view name,
               const EdtRegValue& value);
bool SaveNumber(HKEY root, std::u16string_view subkey, std::u16string_view name,
                uint32_t number);
bool SaveBinary(HKEY root, std::u16string_view subkey, std::u16string_view name,
                const void* data, uint32_t size);
bool SaveString(HKEY root, std::u16string_view subkey, std::u16string_view name,
                std::u16string_view text);
bool SaveStringList(HKEY root, std::u16string_view subkey, std::u16string_view name,
                    const std::vector<std::u16string>& list);

// Deletes the value name of the subkey (an empty subkey: of the root).
bool Delete(HKEY root, std::u16string_view subkey, std::u16string_view name);
// Deletes the subkey with everything below it.  An empty subkey (the root
// itself) is refused.
bool Delete(HKEY root, std::u16string_view subkey);

bool QueryCounts(HKEY root, std::u16string_view subkey, uint32_t& subkeys, uint32_t& values);

} // namespace EdtReg

// One open key.  Reading values, counting and enumerating need the access
// bit 0x1, writing values 0x2, creating subkeys 0x4; a refused step
// answers false.  Closing a key that changed something flushes the store.
class CRegistryKey
{
public:
    CRegistryKey() = default;
    ~CRegistryKey();
    CRegistryKey(const CRegistryKey&) = delete;
    CRegistryKey& operator=(const CRegistryKey&) = delete;

    bool Open(HKEY root, std::u16string_view subkey, uint32_t access = KEY_READ);
    // Opens with KEY_WRITE, creating missing keys.
    bool Create(HKEY root, std::u16string_view subkey);
    void Close();
    bool IsOpen() const { return m_key != nullptr; }
    HKEY Handle() const { return m_key; }

    bool LoadValue(std::u16string_view name, EdtRegValue& value);
    bool LoadNumber(std::u16string_view name, uint32_t& number);
    bool LoadBinary(std::u16string_view name, void* buffer, uint32_t& size);
    bool LoadBinary(std::u16string_view name, std::vector<uint8_t>& data);
    bool LoadString(std::u16string_view name, std::u16string& text);
    bool LoadStringList(std::u16string_view name, std::vector<std::u16string>& list);

    bool LoadValue(std::u16string_view subkey, std::u16string_view name, EdtRegValue& value);
    bool LoadNumber(std::u16string_view subkey, std::u16string_view name, uint32_t& number);
    bool LoadBinary(std::u16string_view subkey, std::u16string_view name, void* buffer,
                    uint32_t& size);
    bool LoadBinary(std::u16string_view subkey, std::u16string_view name,
                    std::vector<uint8_t>& data);
    bool LoadString(std::u16string_view subkey, std::u16string_view name, std::u16string& text);
    bool LoadStringList(std::u16string_view subkey, std::u16string_view name,
                        std::vector<std::u16string>& list);

    bool SaveValue(std::u16string_view name, const EdtRegValue& value);
    bool SaveNumber(std::u16string_view name, uint32_t number);
    bool SaveBinary(std::u16string_view name, const void* data, uint32_t size);
    bool SaveString(std::u16string_view name, std::u16string_view text);
    bool SaveStringList(std::u16string_view name, const std::vector<std::u16string>& list);

    // Create the subkey of the held key when it is missing.
    bool SaveValue(std::u16string_view subkey, std::u16string_view name, const EdtRegValue& value);
    bool SaveNumber(std::u16string_view subkey, std::u16string_view name, uint32_t number);
    bool SaveBinary(std::u16string_view subkey, std::u16string_view name, const void* data,
                    uint32_t size);
    bool SaveString(std::u16string_view subkey, std::u16string_view name,
                    std::u16string_view text);
    bool SaveStringList(std::u16string_view subkey, std::u16string_view name,
                        const std::vector<std::u16string>& list);

    bool QueryCounts(uint32_t& subkeys, uint32_t& values);

    // Value enumeration; the position is kept in the object.  text is filled
    // for the string types and emptied for the others.
    bool EnumFirstValue(std::u16string& name, uint32_t* type = nullptr,
                        std::u16string* text = nullptr);
    bool EnumNextValue(std::u16string& name, uint32_t* type = nullptr,
                       std::u16string* text = nullptr);

private:
    bool Can(uint32_t bit) const { return m_key && (m_access & bit); }
    bool ReadValue(std::u16string_view name, EdtRegValue& value);
    bool WriteValue(std::u16string_view name, const EdtRegValue& value);
    template <typename Fn> bool InSubkeyRead(std::u16string_view subkey, Fn fn);
    template <typename Fn> bool InSubkeyWrite(std::u16string_view subkey, Fn fn);

    HKEY m_key = nullptr;
    uint32_t m_access = 0;
    uint32_t m_enumIndex = 0;
    bool m_changed = false;
};
