#pragma once
// CMapFile: the reader of the compiler's map file, with the symbol lookup of
// the debugger (FindName) and the watch-expression resolver (FindSymbol).
// See docs/compiler-output.md for the file format and the expression
// language.

#include "core/compout/BufferedFileReader.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace compout {

// Entry types.
enum : uint32_t {
    kTypeByte = 0,
    kTypeWord = 1,
    kTypeDword = 2,
    kTypeQword = 3,
    kTypeReal = 4,
    kTypeMech = 5,
    kTypeBit = 6,
    kTypeOffset = 7,
    kTypeConstant = 8,
};

struct MapEntry
{
    std::u16string name;
    uint32_t type = 0;
    uint16_t selector = 0;
    uint32_t address = 0;  // also the value of an offset or a constant
    uint8_t bitNumber = 0;
    MapEntry* parent = nullptr;  // the variable that holds a bit
    std::array<MapEntry*, 8> bitSlots{};  // a byte variable's named bits
};

// The result of FindSymbol: the fields of MapEntry (the name stays empty)
// and the negation flag.
struct SymbolInfo
{
    std::u16string name;
    uint32_t type = 0;
    uint16_t selector = 0;
    uint32_t address = 0;
    uint8_t bitNumber = 0;
    MapEntry* parent = nullptr;
    std::array<MapEntry*, 8> bitSlots{};
    uint32_t negate = 0;
};

// Where and why the last Load failed.  Line 0: before any line was read.
struct LoadError
{
    uint32_t line = 0;
    std::string reason;
};

class CMapFile
{
public:
    // One of the four tables with its counts.
    struct Table
    {
        uint32_t declared = 0;  // announced by the section header
        std::vector<MapEntry> entries;  // the loaded entries, in file order
        uint32_t Loaded() const { return static_cast<uint32_t>(entries.size()); }
    };

    CMapFile();
    explicit CMapFile(std::u16string path);
    CMapFile(const CMapFile&) = delete;
    CMapFile& operator=(const CMapFile&) = delete;

    // Loads the map.  A given path is stored first; without a stored path
    // the load fails.  On failure everything is freed and GetLoadError()
    // tells the line and the reason.
    [[nodiscard]] bool Load(const char16_t* path = nullptr);
    [[nodiscard]] bool Load(const std::u16string& path) { return Load(path.c_str()); }
    bool Clear();

    const std::u16string& GetPath() const { return m_path; }
    int GetVersion() const { return m_version; }
    const LoadError& GetLoadError() const { return m_loadError; }

    const Table& GetSymbols() const { return m_symbols; }
    const Table& GetBitFields() const { return m_bits; }
    const Table& GetStructureOffsets() const { return m_offsets; }
    const Table& GetConstants() const { return m_constants; }
    // All loaded entries sorted by name; equal names: constants, offsets,
    // bits, symbols, and within a table in file order.
    const std::vector<MapEntry*>& GetIndex() const { return m_index; }

    // The first entry of the given name (without regard to case), or null.
    const MapEntry* FindName(std::u16string_view name) const;

    // Resolves a watch expression.  False for a null text or record, and for
    // any text that is not one whole expression; the record is zeroed first.
    // Pointers handed out stay valid until the next Load or Clear.
    bool FindSymbol(const char16_t* text, SymbolInfo* info) const;
    bool FindSymbol(std::u16string_view text, SymbolInfo* info) const;

    // A search key of the index: the name folded to lower case, with its
    // first four units packed for a quick first comparison.
    struct NameKey
    {
        uint64_t prefix;
        const char16_t* key;
        uint32_t length;
        MapEntry* entry;
    };

private:
    using Keys = std::vector<NameKey>;
    Keys MakeKeys(std::vector<MapEntry>& entries, std::unique_ptr<char16_t[]>& arena);
    static MapEntry* Search(const Keys& keys, std::u16string_view name);

    bool LoadFile();
    bool Fail(uint32_t line, std::string reason);
    bool ReadSectionHeader(std::string_view keyword, uint32_t& count, bool endAllowed,
                           bool& ended);
    bool ReadRecord(std::string& line, uint32_t index, uint32_t count);
    void Reserve(Table& table);

    std::u16string m_path;
    int m_version = 0;
    Table m_symbols;
    Table m_bits;
    Table m_offsets;
    Table m_constants;
    std::vector<MapEntry*> m_index;
    Keys m_keys;  // the index as search keys
    std::unique_ptr<char16_t[]> m_arenas[4];  // folded names of the four tables
    LoadError m_loadError;
    CBufferedFileReader m_reader;
};

} // namespace compout
