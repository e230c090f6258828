#pragma once
// CListingFile: the reader of the compiler's listing file.  It maps between
// listing lines (the PLC positions that the control system reports and that
// breakpoints use) and lines of the PLC source files, and finds mechanisms
// by name.  See docs/compiler-output.md.

#include "core/compout/BufferedFileReader.h"
#include "core/compout/MapFile.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace compout {

struct ListingSourceFile
{
    std::u16string name;
    uint32_t firstLine = 0;  // listing line number of the file's first line
};

struct ListingMechanism
{
    std::u16string name;  // copied from the map entry
    uint16_t selector = 0;
    uint32_t address = 0;
    uint32_t firstLine = 0;  // the MECH_BEGIN line
    uint32_t lastLine = 0;   // the MECH_END line
    uint32_t state = 0;      // 0 when loaded; 1 watched
};

enum : uint32_t { kLineBlank = 0, kLineC = 1, kLineD = 2 };
enum : uint32_t { kBreakpointNone = 0, kBreakpointDisabled = 1, kBreakpointSet = 2 };

struct ListingLine
{
    uint32_t kind = kLineBlank;  // 0 blank, 1 "C"/"c", 2 "D"/"d" (a line with code)
    const ListingSourceFile* sourceFile = nullptr;
    ListingMechanism* mechanism = nullptr;  // null outside mechanisms
    uint32_t breakpointState = kBreakpointNone;
};

class CListingFile
{
public:
    CListingFile();
    explicit CListingFile(std::u16string path);
    CListingFile(const CListingFile&) = delete;
    CListingFile& operator=(const CListingFile&) = delete;

    // Loads the listing; mechanism names are resolved in `map`.  A given
    // path is stored first; without a stored path the load fails.  On
    // failure everything is freed and GetLoadError() tells the line and why.
    [[nodiscard]] bool Load(const CMapFile& map, const char16_t* path = nullptr);
    [[nodiscard]] bool Load(const CMapFile& map, const std::u16string& path) { return Load(map, path.c_str()); }
    bool Clear();

    const std::u16string& GetPath() const { return m_path; }
    const LoadError& GetLoadError() const { return m_loadError; }

    uint32_t GetLineCount() const { return static_cast<uint32_t>(m_lines.size()); }
    uint32_t GetMechanismCount() const { return static_cast<uint32_t>(m_mechanisms.size()); }
    uint32_t GetSourceFileCount() const { return static_cast<uint32_t>(m_files.size()); }

    // Line `number` (1-based) of the listing, or null.
    ListingLine* GetLine(uint32_t number);
    const ListingLine* GetLine(uint32_t number) const;
    // Line n (1-based) of a source file, or null when the file is unknown or
    // n lies outside the file's own lines.
    ListingLine* GetLineOfFile(uint32_t n, std::u16string_view fileName);
    ListingLine* GetLineOfFileIndex(uint32_t n, uint32_t fileIndex);

    const ListingSourceFile* FindSourceFile(std::u16string_view name) const;
    const ListingSourceFile* GetSourceFile(uint32_t index) const;
    // The first mechanism of the name (without regard to case), or null.
    ListingMechanism* FindMechanism(std::u16string_view name) const;
    // The mechanism at `index` in name order, or null.
    ListingMechanism* GetMechanism(uint32_t index) const;

private:
    bool LoadFile(const CMapFile& map);
    bool Fail(uint32_t line, std::string reason);
    bool ReadHeader(int& version);
    ListingLine* LineOfFile(uint32_t n, uint32_t fileIndex);

    std::u16string m_path;
    std::vector<ListingSourceFile> m_files;
    std::vector<ListingMechanism> m_mechanisms;  // in file order
    std::vector<ListingMechanism*> m_byName;      // in name order
    std::vector<ListingLine> m_lines;             // index = line number - 1
    LoadError m_loadError;
    CBufferedFileReader m_reader;
};

} // namespace compout
