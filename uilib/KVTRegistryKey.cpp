#include "uilib/KVTRegistryKey.h"

namespace {
std::u16string U16(const QString& s) { return s.toStdU16String(); }

QString DropTrailingBackslash(QString path)
{
    if (path.endsWith(QLatin1Char('\\')))
        path.chop(1);
    return path;
}
} // namespace

QString GetRegPath(const QString& section, const QString& base)
{
    if (!base.isEmpty())
        return base;
    return QStringLiteral("SOFTWARE\\") + QString::fromUtf16(kKvtRegistryKeyName) + QLatin1Char('\\') +
           QString::fromUtf16(kKvtProfileName) + QLatin1Char('\\') + section + QLatin1Char('\\');
}

CKVTRegistryKey::CKVTRegistryKey(bool machine, bool readOnly)
    : m_key(sys::HKEY_CURRENT_USER), m_machine(machine), m_readOnly(readOnly)
{
}

CKVTRegistryKey::~CKVTRegistryKey() { CloseKey(); }

void CKVTRegistryKey::CloseKey()
{
    if (m_key && m_key != sys::HKEY_CURRENT_USER)
        sys::RegCloseKey(m_key);
    m_key = sys::HKEY_CURRENT_USER;
}

bool CKVTRegistryKey::Replace(sys::LONG result, sys::HKEY newKey)
{
    m_lastError = result;
    m_lastType = 0;
    m_lastSize = 0;
    if (result != sys::ERROR_SUCCESS)
        return false;
    CloseKey();
    m_key = newKey;
    return true;
}

bool CKVTRegistryKey::CreateKey(const QString& path)
{
    if (m_readOnly)
        return false;
    if (m_machine)
        return Replace(sys::ERROR_FILE_NOT_FOUND, nullptr);
    sys::HKEY key = nullptr;
    const sys::LONG r =
        sys::RegCreateKeyEx(m_key, U16(DropTrailingBackslash(path)), sys::KEY_ALL_ACCESS, &key);
    return Replace(r, key);
}

bool CKVTRegistryKey::Open(const QString& path)
{
    m_path = path;
    if (m_machine)
        return Replace(sys::ERROR_FILE_NOT_FOUND, nullptr);
    sys::HKEY key = nullptr;
    const sys::LONG r = sys::RegOpenKeyEx(m_key, U16(DropTrailingBackslash(path)),
                                          m_readOnly ? sys::KEY_READ : sys::KEY_ALL_ACCESS, &key);
    return Replace(r, key);
}

bool CKVTRegistryKey::DeleteKey(const QString& path, bool machine)
{
    if (m_readOnly)
        return false;
    if (machine) {
        m_lastError = sys::ERROR_FILE_NOT_FOUND;
        return false;
    }
    const std::u16string p = U16(DropTrailingBackslash(path));
    sys::HKEY key = nullptr;
    m_lastError = sys::RegOpenKeyEx(sys::HKEY_CURRENT_USER, p, sys::KEY_ALL_ACCESS, &key);
    if (m_lastError != sys::ERROR_SUCCESS)
        return false;
    sys::RegCloseKey(key);
    m_lastError = sys::RegDeleteTree(sys::HKEY_CURRENT_USER, p);
    return m_lastError == sys::ERROR_SUCCESS;
}

bool CKVTRegistryKey::QueryRaw(const QString& name, std::vector<uint8_t>& bytes)
{
    uint32_t type = 0, size = 0;
    m_lastError = sys::RegQueryValueEx(m_key, U16(name), &type, nullptr, &size);
    m_lastType = type;
    m_lastSize = size;
    if (m_lastError != sys::ERROR_SUCCESS)
        return false;
    bytes.resize(size);
    m_lastError = sys::RegQueryValueEx(m_key, U16(name), &type, bytes.data(), &size);
    bytes.resize(size);
    m_lastType = type;
    m_lastSize = size;
    return m_lastError == sys::ERROR_SUCCESS;
}

bool CKVTRegistryKey::Read(const QString& name, uint32_t& value)
{
    std::vector<uint8_t> b;
    if (!QueryRaw(name, b))
        return false;
    if (m_lastType != sys::REG_DWORD || b.size() != 4) {
        m_lastError = sys::ERROR_INVALID_DATA;
        return false;
    }
    value = uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
    return true;
}

bool CKVTRegistryKey::Read(const QString& name, int32_t& value)
{
    uint32_t v = 0;
    if (!Read(name, v))
        return false;
    value = int32_t(v);
    return true;
}

bool CKVTRegistryKey::Read(const QString& name, QString& value)
{
    std::vector<uint8_t> b;
    if (!QueryRaw(name, b))
        return false;
    if (m_lastType != sys::REG_SZ) {
        m_lastError = sys::ERROR_INVALID_DATA;
        return false;
    }
    if (b.size() > 200) {
        m_lastError = sys::ERROR_MORE_DATA;
        return false;
    }
    QString s;
    for (size_t i = 0; i + 1 < b.size(); i += 2) {
        const char16_t c = char16_t(b[i] | (b[i + 1] << 8));
        if (c == 0)
            break;
        s.append(QChar(c));
    }
    value = s;
    return true;
}

bool CKVTRegistryKey::Read(const QString& name, std::vector<uint8_t>& bytes)
{
    std::vector<uint8_t> b;
    if (!QueryRaw(name, b))
        return false;
    bytes = std::move(b);
    return true;
}

bool CKVTRegistryKey::LoadArchive(const QString& name, bool collection, const Loader& load)
{
    std::vector<uint8_t> b;
    if (!QueryRaw(name, b))
        return false;
    if (collection && (m_lastType != sys::REG_BINARY || b.size() > MaxCollectionBytes)) {
        m_lastError = sys::ERROR_INVALID_DATA;
        return false;
    }
    try {
        sys::ObjectArchive ar(b);
        load(ar);
    } catch (const sys::ArchiveError&) {
        m_lastError = sys::ERROR_INVALID_DATA;
        return false;
    }
    return true;
}

bool CKVTRegistryKey::Read(const QString& name, std::vector<std::unique_ptr<sys::ArchiveObject>>& list)
{
    std::vector<std::unique_ptr<sys::ArchiveObject>> fresh;
    if (!LoadArchive(name, false, [&](sys::ObjectArchive& ar) { fresh = ar.ReadObjectList(); }))
        return false;
    list = std::move(fresh);
    return true;
}

bool CKVTRegistryKey::Read(const QString& name, std::vector<std::u16string>& strings)
{
    std::vector<std::u16string> fresh;
    if (!LoadArchive(name, true, [&](sys::ObjectArchive& ar) { fresh = ar.ReadStringList(); }))
        return false;
    strings = std::move(fresh);
    return true;
}

bool CKVTRegistryKey::Read(const QString& name, std::map<uint32_t, uint32_t>& map)
{
    std::map<uint32_t, uint32_t> fresh;
    if (!LoadArchive(name, true, [&](sys::ObjectArchive& ar) { fresh = ar.ReadDwordMap(); }))
        return false;
    map = std::move(fresh);
    return true;
}

bool CKVTRegistryKey::Read(const QString& name, std::vector<uint32_t>& values)
{
    std::vector<uint32_t> fresh;
    if (!LoadArchive(name, true, [&](sys::ObjectArchive& ar) { fresh = ar.ReadDwordArray(); }))
        return false;
    values = std::move(fresh);
    return true;
}

bool CKVTRegistryKey::Read(const QString& name, std::vector<uint16_t>& values)
{
    std::vector<uint16_t> fresh;
    if (!LoadArchive(name, false, [&](sys::ObjectArchive& ar) {
            const uint32_t n = ar.ReadU32();
            if (uint64_t(n) * 2 > ar.Remaining())
                throw sys::ArchiveError("count larger than its data");
            fresh.resize(n);
            for (uint32_t i = 0; i < n; ++i)
                fresh[i] = ar.ReadU16();
        }))
        return false;
    values = std::move(fresh);
    return true;
}

bool CKVTRegistryKey::Read(const QString& name, QRect& rect)
{
    sys::ObjectArchive::Rect r;
    if (!LoadArchive(name, false, [&](sys::ObjectArchive& ar) { r = ar.ReadRect(); }))
        return false;
    rect = QRect(QPoint(r.left, r.top), QPoint(r.right - 1, r.bottom - 1));
    return true;
}

bool CKVTRegistryKey::Read(const QString& name, QPoint& point)
{
    std::vector<uint32_t> v;
    if (!LoadArchive(name, false, [&](sys::ObjectArchive& ar) { v = ar.ReadDwordArray(); }))
        return false;
    if (v.size() != 2) {
        m_lastError = sys::ERROR_INVALID_DATA;
        return false;
    }
    point = QPoint(int32_t(v[0]), int32_t(v[1]));
    return true;
}

bool CKVTRegistryKey::SetValue(const QString& name, uint32_t type, const void* data, uint32_t size)
{
    if (m_readOnly)
        return false;
    m_lastError = sys::RegSetValueEx(m_key, U16(name), type, data, size);
    m_lastType = type;
    m_lastSize = size;
    return m_lastError == sys::ERROR_SUCCESS;
}

bool CKVTRegistryKey::Write(const QString& name, uint32_t value)
{
    const uint8_t b[4] = {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16), uint8_t(value >> 24)};
    return SetValue(name, sys::REG_DWORD, b, 4);
}

bool CKVTRegistryKey::Write(const QString& name, const QString& value)
{
    std::vector<uint8_t> b;
    for (QChar c : value) {
        b.push_back(uint8_t(c.unicode()));
        b.push_back(uint8_t(c.unicode() >> 8));
    }
    b.push_back(0);
    b.push_back(0);
    return SetValue(name, sys::REG_SZ, b.data(), uint32_t(b.size()));
}

bool CKVTRegistryKey::Write(const QString& name, const uint8_t* data, uint32_t size)
{
    return SetValue(name, sys::REG_BINARY, data, size);
}

namespace {
template <class F>
std::vector<uint8_t> Store(F f)
{
    sys::ObjectArchive ar;
    f(ar);
    return ar.TakeBytes();
}
} // namespace

bool CKVTRegistryKey::WriteObject(const QString& name, const sys::ArchiveObject& obj)
{
    if (m_readOnly)
        return false;
    return Write(name, Store([&](sys::ObjectArchive& ar) { const_cast<sys::ArchiveObject&>(obj).Serialize(ar); }));
}

bool CKVTRegistryKey::Write(const QString& name, const std::vector<const sys::ArchiveObject*>& list)
{
    return Write(name, Store([&](sys::ObjectArchive& ar) { ar.WriteObjectList(list); }));
}
bool CKVTRegistryKey::Write(const QString& name, const std::vector<std::u16string>& strings)
{
    return Write(name, Store([&](sys::ObjectArchive& ar) { ar.WriteStringList(strings); }));
}
bool CKVTRegistryKey::Write(const QString& name, const std::map<uint32_t, uint32_t>& map)
{
    return Write(name, Store([&](sys::ObjectArchive& ar) { ar.WriteDwordMap(map); }));
}
bool CKVTRegistryKey::Write(const QString& name, const std::vector<uint32_t>& values)
{
    return Write(name, Store([&](sys::ObjectArchive& ar) { ar.WriteDwordArray(values); }));
}
bool CKVTRegistryKey::Write(const QString& name, const std::vector<uint16_t>& values)
{
    return Write(name, Store([&](sys::ObjectArchive& ar) {
                     ar.WriteU32(uint32_t(values.size()));
                     for (uint16_t v : values)
                         ar.WriteU16(v);
                 }));
}
bool CKVTRegistryKey::Write(const QString& name, const QRect& rect)
{
    return Write(name, Store([&](sys::ObjectArchive& ar) {
                     ar.WriteRect({rect.left(), rect.top(), rect.right() + 1, rect.bottom() + 1});
                 }));
}
bool CKVTRegistryKey::Write(const QString& name, const QPoint& point)
{
    return Write(name, Store([&](sys::ObjectArchive& ar) {
                     ar.WriteDwordArray({uint32_t(point.x()), uint32_t(point.y())});
                 }));
}

bool CKVTRegistryKey::ValueExists(const QString& name)
{
    uint32_t type = 0, size = 0;
    m_lastError = sys::RegQueryValueEx(m_key, U16(name), &type, nullptr, &size);
    m_lastType = 0;
    m_lastSize = 0;
    return m_lastError == sys::ERROR_SUCCESS;
}

bool CKVTRegistryKey::DeleteValue(const QString& name)
{
    m_lastError = sys::RegDeleteValue(m_key, U16(name));
    m_lastType = 0;
    m_lastSize = 0;
    return m_lastError == sys::ERROR_SUCCESS;
}

bool CKVTRegistryKey::ReadSubKeys(QStringList& names)
{
    std::u16string n;
    uint32_t i = 0;
    while (sys::RegEnumKeyEx(m_key, i, n) == sys::ERROR_SUCCESS) {
        names << QString::fromStdU16String(n);
        ++i;
    }
    return i > 0;
}

bool CKVTRegistryKey::ReadKeyValues(QStringList& names)
{
    std::u16string n;
    uint32_t i = 0;
    while (sys::RegEnumValue(m_key, i, n) == sys::ERROR_SUCCESS) {
        names << QString::fromStdU16String(n);
        ++i;
    }
    return i > 0;
}
