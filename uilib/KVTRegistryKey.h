#pragma once
// The toolbar library's registry access: one key object, opened or created
// on the stack, read or written and closed by its destructor.  Structured
// values are binary values written through sys::ObjectArchive.  A failed
// load (cut or corrupt data) gives FALSE with last error 13 and leaves the
// target as it was.
//
// GetRegPath builds the library's key paths below the application's branch.

#include "platform/sys/ObjectArchive.h"
#include "platform/sys/Registry.h"

#include <QPoint>
#include <QRect>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

// The application's registry key and profile name.
inline constexpr char16_t kKvtRegistryKeyName[] = u"ORNA";
inline constexpr char16_t kKvtProfileName[] = u"Strandwork";

// "SOFTWARE\ORNA\Strandwork\<section>\", or base unchanged when it is not empty.
QString GetRegPath(const QString& section, const QString& base = {});

class CKVTRegistryKey
{
public:
    explicit CKVTRegistryKey(bool machine = false, bool readOnly = false);
    ~CKVTRegistryKey();
    CKVTRegistryKey(const CKVTRegistryKey&) = delete;
    CKVTRegistryKey& operator=(const CKVTRegistryKey&) = delete;

    bool CreateKey(const QString& path);
    bool Open(const QString& path);
    bool DeleteKey(const QString& path, bool machine = false);

    bool Read(const QString& name, int32_t& value);
    bool Read(const QString& name, uint32_t& value);
    bool Read(const QString& name, QString& value);
    bool Read(const QString& name, std::vector<uint8_t>& bytes); // any binary value
    // An archived object: loaded into a fresh T, moved into obj on success.
    template <class T>
    bool ReadObject(const QString& name, T& obj)
    {
        return LoadArchive(name, false, [&](sys::ObjectArchive& ar) {
            T fresh;
            fresh.Serialize(ar);
            obj = std::move(fresh);
        });
    }
    bool Read(const QString& name, std::vector<std::unique_ptr<sys::ArchiveObject>>& list);
    bool Read(const QString& name, std::vector<std::u16string>& strings);
    bool Read(const QString& name, std::map<uint32_t, uint32_t>& map);
    bool Read(const QString& name, std::vector<uint32_t>& values);
    bool Read(const QString& name, std::vector<uint16_t>& values);
    bool Read(const QString& name, QRect& rect);
    bool Read(const QString& name, QPoint& point);

    bool Write(const QString& name, uint32_t value);
    bool Write(const QString& name, int32_t value) { return Write(name, uint32_t(value)); }
    bool Write(const QString& name, const QString& value);
    bool Write(const QString& name, const char16_t* value) { return Write(name, QString::fromUtf16(value)); }
    bool Write(const QString& name, const uint8_t* data, uint32_t size);
    bool Write(const QString& name, const std::vector<uint8_t>& bytes)
    {
        return Write(name, bytes.data(), uint32_t(bytes.size()));
    }
    bool WriteObject(const QString& name, const sys::ArchiveObject& obj);
    bool Write(const QString& name, const std::vector<const sys::ArchiveObject*>& list);
    bool Write(const QString& name, const std::vector<std::u16string>& strings);
    bool Write(const QString& name, const std::map<uint32_t, uint32_t>& map);
    bool Write(const QString& name, const std::vector<uint32_t>& values);
    bool Write(const QString& name, const std::vector<uint16_t>& values);
    bool Write(const QString& name, const QRect& rect);
    bool Write(const QString& name, const QPoint& point);

    bool ValueExists(const QString& name);
    bool DeleteValue(const QString& name);
    bool ReadSubKeys(QStringList& names);
    bool ReadKeyValues(QStringList& names);

    sys::LONG LastError() const { return m_lastError; }
    uint32_t LastType() const { return m_lastType; }
    uint32_t LastSize() const { return m_lastSize; }
    bool IsReadOnly() const { return m_readOnly; }
    const QString& Path() const { return m_path; }

    static constexpr uint32_t MaxCollectionBytes = 4096;

private:
    using Loader = std::function<void(sys::ObjectArchive&)>;
    bool QueryRaw(const QString& name, std::vector<uint8_t>& bytes);
    bool LoadArchive(const QString& name, bool collection, const Loader& load);
    bool SetValue(const QString& name, uint32_t type, const void* data, uint32_t size);
    bool Replace(sys::LONG result, sys::HKEY newKey);
    void CloseKey();

    sys::LONG m_lastError = 0;
    uint32_t m_lastType = 0;
    uint32_t m_lastSize = 0;
    sys::HKEY m_key;
    QString m_path;
    bool m_machine;
    bool m_readOnly;
};
