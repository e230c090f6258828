#include "platform/sys/ObjectArchive.h"

#include "platform/sys/CodePage.h"

#include <mutex>
#include <unordered_map>

namespace sys {

namespace {
constexpr uint16_t kNullTag = 0x0000;
constexpr uint16_t kNewClassTag = 0xFFFF;
constexpr uint16_t kClassTag = 0x8000;
constexpr uint16_t kBigObjectTag = 0x7FFF;

struct ClassEntry
{
    uint32_t schema;
    ArchiveClasses::Factory factory;
};

std::unordered_map<std::string, ClassEntry>& Classes()
{
    static std::unordered_map<std::string, ClassEntry> classes;
    return classes;
}
std::mutex& ClassesMutex()
{
    static std::mutex m;
    return m;
}
} // namespace

namespace ArchiveClasses {
void Register(const std::string& name, uint32_t schema, Factory factory)
{
    std::lock_guard<std::mutex> lock(ClassesMutex());
    Classes()[name] = ClassEntry{schema, std::move(factory)};
}
uint32_t Schema(const std::string& name)
{
    std::lock_guard<std::mutex> lock(ClassesMutex());
    auto it = Classes().find(name);
    return it == Classes().end() ? 0 : it->second.schema;
}
} // namespace ArchiveClasses

ObjectArchive::ObjectArchive() : m_storing(true) {}

ObjectArchive::ObjectArchive(const uint8_t* data, size_t size)
    : m_storing(false), m_data(data), m_size(data ? size : 0)
{
    m_loadIndex.emplace_back();
}

void ObjectArchive::Need(size_t n) const
{
    if (m_storing)
        throw ArchiveError("reading from a storing archive");
    if (n > m_size - m_pos)
        throw ArchiveError("archive data cut short");
}

void ObjectArchive::WriteU8(uint8_t v) { m_out.push_back(v); }
void ObjectArchive::WriteU16(uint16_t v)
{
    m_out.push_back(uint8_t(v));
    m_out.push_back(uint8_t(v >> 8));
}
void ObjectArchive::WriteU32(uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        m_out.push_back(uint8_t(v >> (8 * i)));
}

uint8_t ObjectArchive::ReadU8()
{
    Need(1);
    return m_data[m_pos++];
}
uint16_t ObjectArchive::ReadU16()
{
    Need(2);
    uint16_t v = uint16_t(m_data[m_pos] | (m_data[m_pos + 1] << 8));
    m_pos += 2;
    return v;
}
uint32_t ObjectArchive::ReadU32()
{
    Need(4);
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i)
        v |= uint32_t(m_data[m_pos + i]) << (8 * i);
    m_pos += 4;
    return v;
}

void ObjectArchive::WriteCount(uint32_t n)
{
    if (n < 0xFFFF) {
        WriteU16(uint16_t(n));
    } else {
        WriteU16(0xFFFF);
        WriteU32(n);
    }
}

uint32_t ObjectArchive::ReadCount(size_t minBytesEach)
{
    uint32_t n = ReadU16();
    if (n == 0xFFFF)
        n = ReadU32();
    if (minBytesEach && uint64_t(n) * minBytesEach > Remaining())
        throw ArchiveError("archive count larger than its data");
    return n;
}

void ObjectArchive::WriteLength(uint32_t n)
{
    if (n < 0xFF) {
        WriteU8(uint8_t(n));
    } else if (n < 0xFFFE) {
        WriteU8(0xFF);
        WriteU16(uint16_t(n));
    } else {
        WriteU8(0xFF);
        WriteU16(0xFFFF);
        WriteU32(n);
    }
}

void ObjectArchive::WriteString(std::u16string_view s)
{
    WriteU8(0xFF);
    WriteU16(0xFFFE);
    WriteLength(uint32_t(s.size()));
    for (char16_t c : s)
        WriteU16(uint16_t(c));
}

std::u16string ObjectArchive::ReadString()
{
    bool wide = false;
    uint32_t len = ReadU8();
    if (len == 0xFF) {
        uint32_t w = ReadU16();
        if (w == 0xFFFE) {
            wide = true;
            len = ReadU8();
            if (len == 0xFF)
                w = ReadU16();
        }
        if (len == 0xFF) {
            if (w == 0xFFFF) {
                len = ReadU32();
                if (len == 0xFFFFFFFF)
                    throw ArchiveError("string length out of range");
            } else if (w == 0xFFFE) {
                throw ArchiveError("repeated string marker");
            } else {
                len = w;
            }
        }
    }
    const uint64_t bytes = uint64_t(len) * (wide ? 2 : 1);
    if (bytes > Remaining())
        throw ArchiveError("string longer than its data");
    std::u16string out;
    if (wide) {
        out.resize(len);
        for (uint32_t i = 0; i < len; ++i)
            out[i] = char16_t(m_data[m_pos + 2 * i] | (m_data[m_pos + 2 * i + 1] << 8));
    } else {
        out = AnsiToWide(std::string_view(reinterpret_cast<const char*>(m_data + m_pos), len));
    }
    m_pos += size_t(bytes);
    return out;
}

void ObjectArchive::WriteObject(const ArchiveObject* obj)
{
    if (!obj) {
        WriteU16(kNullTag);
        return;
    }
    const std::string name = obj->ArchiveClassName();
    auto it = m_storeClasses.find(name);
    if (it != m_storeClasses.end()) {
        WriteU16(uint16_t(kClassTag | it->second));
    } else {
        if (name.size() > MaxClassName)
            throw ArchiveError("class name too long");
        WriteU16(kNewClassTag);
        WriteU16(uint16_t(ArchiveClasses::Schema(name) & 0xFFFF));
        WriteU16(uint16_t(name.size()));
        for (char c : name)
            WriteU8(uint8_t(c));
        m_storeClasses[name] = m_nextIndex++;
    }
    ++m_nextIndex; // the object's own index
    const_cast<ArchiveObject*>(obj)->Serialize(*this);
}

std::unique_ptr<ArchiveObject> ObjectArchive::ReadObject()
{
    const uint16_t tag = ReadU16();
    if (tag == kNullTag)
        return nullptr;
    std::string name;
    uint32_t storedSchema = 0;
    bool haveSchema = false;
    if (tag == kNewClassTag) {
        storedSchema = ReadU16();
        haveSchema = true;
        const uint16_t len = ReadU16();
        if (len > MaxClassName)
            throw ArchiveError("class name too long");
        Need(len);
        name.assign(reinterpret_cast<const char*>(m_data + m_pos), len);
        m_pos += len;
    } else if (tag == kBigObjectTag) {
        throw ArchiveError("big object index not supported");
    } else if (tag & kClassTag) {
        const uint32_t index = tag & 0x7FFF;
        if (index == 0 || index >= m_loadIndex.size() || m_loadIndex[index].empty())
            throw ArchiveError("bad class reference");
        name = m_loadIndex[index];
    } else {
        throw ArchiveError("reference to an object already read");
    }

    ClassEntry entry;
    {
        std::lock_guard<std::mutex> lock(ClassesMutex());
        auto it = Classes().find(name);
        if (it == Classes().end())
            throw ArchiveError("unknown class " + name);
        entry = it->second;
    }
    if (haveSchema) {
        if (!(entry.schema & VERSIONABLE_SCHEMA) && storedSchema != (entry.schema & 0xFFFF))
            throw ArchiveError("wrong schema of class " + name);
        m_loadIndex.push_back(name);
        // Remember the stored schema of the class for later objects.
        m_schemas[name] = storedSchema;
    } else {
        storedSchema = m_schemas[name];
    }
    m_loadIndex.emplace_back(); // the object's own index
    if (m_depth >= MaxDepth)
        throw ArchiveError("objects nested too deeply");
    std::unique_ptr<ArchiveObject> obj = entry.factory();
    if (!obj)
        throw ArchiveError("class " + name + " cannot be created");
    ++m_depth;
    const uint32_t outerSchema = m_loadSchema;
    m_loadSchema = storedSchema;
    try {
        obj->Serialize(*this);
    } catch (...) {
        --m_depth;
        m_loadSchema = outerSchema;
        throw;
    }
    --m_depth;
    m_loadSchema = outerSchema;
    return obj;
}

void ObjectArchive::WriteObjectList(const std::vector<const ArchiveObject*>& list)
{
    WriteCount(uint32_t(list.size()));
    for (const ArchiveObject* o : list)
        WriteObject(o);
}

std::vector<std::unique_ptr<ArchiveObject>> ObjectArchive::ReadObjectList()
{
    const uint32_t n = ReadCount(2);
    std::vector<std::unique_ptr<ArchiveObject>> out;
    out.reserve(n);
    for (uint32_t i = 0; i < n; ++i)
        out.push_back(ReadObject());
    return out;
}

void ObjectArchive::WriteStringList(const std::vector<std::u16string>& list)
{
    WriteCount(uint32_t(list.size()));
    for (const auto& s : list)
        WriteString(s);
}

std::vector<std::u16string> ObjectArchive::ReadStringList()
{
    const uint32_t n = ReadCount(1);
    std::vector<std::u16string> out;
    out.reserve(n);
    for (uint32_t i = 0; i < n; ++i)
        out.push_back(ReadString());
    return out;
}

void ObjectArchive::WriteDwordMap(const std::map<uint32_t, uint32_t>& map)
{
    WriteCount(uint32_t(map.size()));
    for (const auto& [k, v] : map) {
        WriteU32(k);
        WriteU32(v);
    }
}

std::map<uint32_t, uint32_t> ObjectArchive::ReadDwordMap()
{
    const uint32_t n = ReadCount(8);
    std::map<uint32_t, uint32_t> out;
    for (uint32_t i = 0; i < n; ++i) {
        const uint32_t k = ReadU32();
        out[k] = ReadU32();
    }
    return out;
}

void ObjectArchive::WriteDwordArray(const std::vector<uint32_t>& values)
{
    WriteCount(uint32_t(values.size()));
    for (uint32_t v : values)
        WriteU32(v);
}

std::vector<uint32_t> ObjectArchive::ReadDwordArray()
{
    const uint32_t n = ReadCount(4);
    std::vector<uint32_t> out(n);
    for (uint32_t i = 0; i < n; ++i)
        out[i] = ReadU32();
    return out;
}

void ObjectArchive::WriteRect(const Rect& r)
{
    WriteI32(r.left);
    WriteI32(r.top);
    WriteI32(r.right);
    WriteI32(r.bottom);
}

ObjectArchive::Rect ObjectArchive::ReadRect()
{
    Need(16);
    Rect r;
    r.left = ReadI32();
    r.top = ReadI32();
    r.right = ReadI32();
    r.bottom = ReadI32();
    return r;
}

} // namespace sys
