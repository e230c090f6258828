#pragma once
// The binary archive in which the toolbar library keeps its records: a
// storing or a loading archive over a byte buffer.  Little-endian integers,
// counts (u16, or 0xFFFF and a u32), strings with the Unicode marker, objects
// with class headers (a new class: 0xFFFF, schema, name; a known class:
// 0x8000 | index; null: 0), and the collections built from them.
//
// Loading never trusts the data: a count or length that the bytes left
// cannot hold, an unknown class, a wrong schema, a back reference, the
// big-index tag or objects nested deeper than 32 levels throw ArchiveError
// before anything is allocated.  Users load into a fresh object and swap it
// in only on success.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace sys {

class ArchiveError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

class ObjectArchive;

// A stored object: its class name (registered with ArchiveClasses) and its
// record.
class ArchiveObject
{
public:
    virtual ~ArchiveObject() = default;
    virtual const char* ArchiveClassName() const = 0;
    virtual void Serialize(ObjectArchive& ar) = 0;
};

// Schema bit of a versionable class: any stored schema loads.
constexpr uint32_t VERSIONABLE_SCHEMA = 0x80000000u;

// The class registry: class name -> factory and schema.
namespace ArchiveClasses {
using Factory = std::function<std::unique_ptr<ArchiveObject>()>;
void Register(const std::string& name, uint32_t schema, Factory factory);
uint32_t Schema(const std::string& name); // 0 when unknown
} // namespace ArchiveClasses

class ObjectArchive
{
public:
    // A storing archive.
    ObjectArchive();
    // A loading archive over a copy-free view of the bytes (they must outlive it).
    ObjectArchive(const uint8_t* data, size_t size);
    explicit ObjectArchive(const std::vector<uint8_t>& data) : ObjectArchive(data.data(), data.size()) {}
    ObjectArchive(std::vector<uint8_t>&&) = delete; // the bytes must outlive the archive

    bool IsStoring() const { return m_storing; }
    bool IsLoading() const { return !m_storing; }

    // The bytes written so far (storing).
    const std::vector<uint8_t>& Bytes() const { return m_out; }
    std::vector<uint8_t> TakeBytes() { return std::move(m_out); }
    // Bytes not read yet (loading).
    size_t Remaining() const { return m_size - m_pos; }

    void WriteU8(uint8_t v);
    void WriteU16(uint16_t v);
    void WriteU32(uint32_t v);
    void WriteI32(int32_t v) { WriteU32(static_cast<uint32_t>(v)); }
    uint8_t ReadU8();
    uint16_t ReadU16();
    uint32_t ReadU32();
    int32_t ReadI32() { return static_cast<int32_t>(ReadU32()); }

    void WriteCount(uint32_t n);
    // Reads a count and checks that minBytesEach × count fits in what is left.
    uint32_t ReadCount(size_t minBytesEach = 1);

    void WriteString(std::u16string_view s);
    std::u16string ReadString();

    void WriteObject(const ArchiveObject* obj);
    std::unique_ptr<ArchiveObject> ReadObject();
    // ReadObject, then a check of the class; a different class is an error.
    template <class T>
    std::unique_ptr<T> ReadObjectOf()
    {
        std::unique_ptr<ArchiveObject> o = ReadObject();
        if (!o)
            return nullptr;
        T* t = dynamic_cast<T*>(o.get());
        if (!t)
            throw ArchiveError("object of an unexpected class");
        o.release();
        return std::unique_ptr<T>(t);
    }
    // While an object of a versionable class loads: the schema it was stored with.
    uint32_t GetObjectSchema() const { return m_loadSchema; }

    // Collections.
    void WriteObjectList(const std::vector<const ArchiveObject*>& list);
    std::vector<std::unique_ptr<ArchiveObject>> ReadObjectList();
    void WriteStringList(const std::vector<std::u16string>& list);
    std::vector<std::u16string> ReadStringList();
    void WriteDwordMap(const std::map<uint32_t, uint32_t>& map);
    std::map<uint32_t, uint32_t> ReadDwordMap();
    void WriteDwordArray(const std::vector<uint32_t>& values);
    std::vector<uint32_t> ReadDwordArray();
    struct Rect
    {
        int32_t left = 0, top = 0, right = 0, bottom = 0;
        bool operator==(const Rect&) const = default;
    };
    void WriteRect(const Rect& r);
    Rect ReadRect();

    static constexpr int MaxDepth = 32;
    static constexpr size_t MaxClassName = 64;

private:
    void Need(size_t n) const;
    void WriteLength(uint32_t n);

    bool m_storing;
    std::vector<uint8_t> m_out;
    const uint8_t* m_data = nullptr;
    size_t m_size = 0;
    size_t m_pos = 0;
    // Storing: class name / object -> index.  Loading: index -> class name
    // (empty for an object).
    std::map<std::string, uint32_t> m_storeClasses;
    uint32_t m_nextIndex = 1;
    std::vector<std::string> m_loadIndex; // [0] unused
    std::map<std::string, uint32_t> m_schemas; // loading: stored schema by class
    int m_depth = 0;
    uint32_t m_loadSchema = 0;
};

} // namespace sys
