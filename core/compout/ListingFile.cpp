#include "core/compout/ListingFile.h"

#include "core/compout/LoadFrame.h"
#include "core/compout/NameCompare.h"
#include "core/compout/Scan.h"
#include "platform/sys/CodePage.h"

#include <algorithm>

namespace compout {

namespace {

constexpr size_t kKindColumn = 9;
constexpr size_t kTextColumn = 14;

enum class Mech { None, Begin, End };

bool StartsWithNoCase(std::string_view text, std::string_view upperWord)
{
    if (text.size() < upperWord.size())
        return false;
    for (size_t i = 0; i < upperWord.size(); ++i) {
        char c = text[i];
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
        if (c != upperWord[i])
            return false;
    }
    return true;
}

bool IsBlank(char c)
{
    return static_cast<unsigned char>(c) <= 32;
}

// A keyword counts only when followed by a blank (code 32 or below), ";" or
// the end of the text.
bool IsKeyword(std::string_view text, std::string_view upperWord)
{
    if (!StartsWithNoCase(text, upperWord))
        return false;
    return text.size() == upperWord.size() || IsBlank(text[upperWord.size()]) ||
           text[upperWord.size()] == ';';
}

// Tells whether a numbered line opens or closes a mechanism; `name` gets
// the first word after the keyword, cut at ";".
Mech MechanismKeyword(std::string_view line, std::string_view& name)
{
    if (line.size() <= kTextColumn)
        return Mech::None;
    std::string_view text = line.substr(kTextColumn);
    size_t i = 0;
    while (i < text.size() && IsBlank(text[i]))
        ++i;
    text.remove_prefix(i);
    Mech kind;
    if (IsKeyword(text, "MECH_BEGIN")) {
        kind = Mech::Begin;
        text.remove_prefix(10);
    } else if (IsKeyword(text, "MECH_END")) {
        kind = Mech::End;
        text.remove_prefix(8);
    } else {
        return Mech::None;
    }
    i = 0;
    while (i < text.size() && IsBlank(text[i]))
        ++i;
    size_t end = i;
    while (end < text.size() && !IsBlank(text[end]) && text[end] != ';')
        ++end;
    name = text.substr(i, end - i);
    return kind;
}

// The decimal number at the start of a numbered line (after blanks).
bool LineNumberOf(std::string_view line, uint32_t& number)
{
    size_t i = 0;
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
        ++i;
    uint64_t v = 0;
    const size_t start = i;
    for (; i < line.size() && line[i] >= '0' && line[i] <= '9'; ++i) {
        v = v * 10 + static_cast<uint64_t>(line[i] - '0');
        if (v > 0xFFFFFFFFu)
            return false;
    }
    if (i == start)
        return false;
    number = static_cast<uint32_t>(v);
    return true;
}

} // namespace

CListingFile::CListingFile() = default;

CListingFile::CListingFile(std::u16string path) : m_path(std::move(path)) {}

bool CListingFile::Clear()
{
    m_byName = {};
    m_lines = {};
    m_mechanisms = {};
    m_files = {};
    return true;
}

bool CListingFile::Fail(uint32_t line, std::string reason)
{
    return SetLoadError(m_loadError, line, std::move(reason));
}

bool CListingFile::Load(const CMapFile& map, const char16_t* path)
{
    Clear();
    const bool ok = RunLoad(m_path, path, m_loadError, m_reader, [&] { return LoadFile(map); });
    if (!ok)
        Clear();
    return ok;
}

bool CListingFile::ReadHeader(int& version)
{
    std::string line;
    if (!m_reader.ReadListingLine(line))
        return Fail(m_reader.LineNumber(), m_reader.Error());
    Scan s(line);
    int32_t v = 0;
    if (m_reader.AtEnd() || !s.Literal("$LS1") || !s.Int(v, 2))
        return Fail(m_reader.LineNumber(), "missing or bad header");
    if (v != 1)
        return Fail(m_reader.LineNumber(), "bad listing version " + std::to_string(v));
    version = v;
    return true;
}

bool CListingFile::LoadFile(const CMapFile& map)
{
    if (!m_reader.Open(m_path))
        return Fail(0, m_reader.Error());

    // First pass: count the source files, the mechanisms and the numbered
    // lines, and check that the numbers run 1 to n.
    int version = 0;
    if (!ReadHeader(version))
        return false;
    std::string line;
    std::string_view name;
    uint32_t fileCount = 0, mechCount = 0, lineCount = 0;
    for (;;) {
        if (!m_reader.ReadListingLine(line))
            return Fail(m_reader.LineNumber(), m_reader.Error());
        if (m_reader.AtEnd())
            break;
        if (line[0] == '[') {
            ++fileCount;
            continue;
        }
        uint32_t number = 0;
        if (!LineNumberOf(line, number))
            return Fail(m_reader.LineNumber(), "line without a valid line number");
        if (lineCount == 0xFFFFFFFFu || number != lineCount + 1)
            return Fail(m_reader.LineNumber(), "line number " + std::to_string(number) + " where " +
                                                   std::to_string(uint64_t{lineCount} + 1) +
                                                   " was expected");
        ++lineCount;
        if (MechanismKeyword(line, name) == Mech::Begin)
            ++mechCount;
    }
    if (lineCount == 0)
        return Fail(m_reader.LineNumber(), "no numbered lines");

    m_files.reserve(fileCount);
    m_mechanisms.reserve(mechCount);
    m_lines.resize(lineCount);

    // Second pass.
    if (!m_reader.Rewind())
        return Fail(0, m_reader.Error());
    int version2 = 0;
    if (!ReadHeader(version2))
        return false;
    if (version2 != version)
        return Fail(m_reader.LineNumber(), "the header changed while reading");
    uint32_t last = 0;
    ListingMechanism* open = nullptr;
    for (;;) {
        if (!m_reader.ReadListingLine(line))
            return Fail(m_reader.LineNumber(), m_reader.Error());
        if (m_reader.AtEnd())
            break;
        const uint32_t at = m_reader.LineNumber();
        if (last == lineCount)
            return Fail(at, "text after the last numbered line");
        if (line[0] == '[') {
            const size_t close = line.find(']');
            if (close == std::string::npos)
                return Fail(at, "source file header without \"]\"");
            if (m_files.size() >= fileCount)
                return Fail(at, "more source file headers than counted");
            ListingSourceFile& f = m_files.emplace_back();
            f.name = sys::AnsiToWide(std::string_view(line).substr(1, close - 1));
            f.firstLine = last + 1;
            continue;
        }
        uint32_t number = 0;
        if (!LineNumberOf(line, number))
            return Fail(at, "line without a valid line number");
        if (number != last + 1)
            return Fail(at, "line number " + std::to_string(number) + " where " +
                                std::to_string(uint64_t{last} + 1) + " was expected");
        if (m_files.empty())
            return Fail(at, "numbered line before the first source file header");
        ListingLine& entry = m_lines[number - 1];
        entry.sourceFile = &m_files.back();
        if (line.size() > kKindColumn) {
            switch (line[kKindColumn]) {
            case ' ': entry.kind = kLineBlank; break;
            case 'C': case 'c': entry.kind = kLineC; break;
            case 'D': case 'd': entry.kind = kLineD; break;
            default: return Fail(at, "bad kind character");
            }
        }
        switch (MechanismKeyword(line, name)) {
        case Mech::Begin: {
            if (open)
                return Fail(at, "MECH_BEGIN inside a mechanism");
            if (m_mechanisms.size() >= mechCount)
                return Fail(at, "more mechanisms than counted");
            const MapEntry* e = map.FindName(sys::AnsiToWide(name));
            if (!e)
                return Fail(at, "mechanism \"" + std::string(name) + "\" is not in the map file");
            ListingMechanism& m = m_mechanisms.emplace_back();
            m.name = e->name;
            m.selector = e->selector;
            m.address = e->address;
            m.firstLine = number;
            open = &m;
            entry.mechanism = open;
            break;
        }
        case Mech::End:
            if (!open)
                return Fail(at, "MECH_END outside a mechanism");
            if (!NamesEqual(sys::AnsiToWide(name), open->name))
                return Fail(at, "MECH_END names another mechanism");
            open->lastLine = number;
            entry.mechanism = open;
            open = nullptr;
            break;
        case Mech::None:
            entry.mechanism = open;
            break;
        }
        last = number;
    }
    if (open)
        return Fail(m_reader.LineNumber(), "MECH_BEGIN without MECH_END");
    if (last != lineCount)
        return Fail(m_reader.LineNumber(), "the file changed while reading");

    m_byName.reserve(m_mechanisms.size());
    for (ListingMechanism& m : m_mechanisms)
        m_byName.push_back(&m);
    std::stable_sort(m_byName.begin(), m_byName.end(),
                     [](const ListingMechanism* a, const ListingMechanism* b) { return NameLess(a->name, b->name); });
    return true;
}

ListingLine* CListingFile::GetLine(uint32_t number)
{
    if (number == 0 || number > m_lines.size())
        return nullptr;
    return &m_lines[number - 1];
}

const ListingLine* CListingFile::GetLine(uint32_t number) const
{
    return const_cast<CListingFile*>(this)->GetLine(number);
}

namespace {
// Header names are compared by their last path component ("\" or "/").
std::u16string_view LastPathComponent(std::u16string_view path)
{
    const size_t slash = path.find_last_of(u"\\/");
    return slash == std::u16string_view::npos ? path : path.substr(slash + 1);
}
} // namespace

ListingLine* CListingFile::LineOfFile(uint32_t n, uint32_t fileIndex)
{
    if (n == 0 || fileIndex >= m_files.size())
        return nullptr;
    const uint64_t first = m_files[fileIndex].firstLine;
    const uint64_t fileLast =
        fileIndex + 1 < m_files.size() ? uint64_t{m_files[fileIndex + 1].firstLine} - 1 : m_lines.size();
    const uint64_t number = first + n - 1;
    if (number > fileLast || number > m_lines.size())
        return nullptr;
    return &m_lines[static_cast<size_t>(number - 1)];
}

ListingLine* CListingFile::GetLineOfFile(uint32_t n, std::u16string_view fileName)
{
    const std::u16string_view file = LastPathComponent(fileName);
    for (size_t i = 0; i < m_files.size(); ++i)
        if (NamesEqual(LastPathComponent(m_files[i].name), file))
            return LineOfFile(n, static_cast<uint32_t>(i));
    return nullptr;
}

ListingLine* CListingFile::GetLineOfFileIndex(uint32_t n, uint32_t fileIndex)
{
    return LineOfFile(n, fileIndex);
}

const ListingSourceFile* CListingFile::FindSourceFile(std::u16string_view name) const
{
    const std::u16string_view file = LastPathComponent(name);
    for (const ListingSourceFile& f : m_files)
        if (NamesEqual(LastPathComponent(f.name), file))
            return &f;
    return nullptr;
}

const ListingSourceFile* CListingFile::GetSourceFile(uint32_t index) const
{
    return index < m_files.size() ? &m_files[index] : nullptr;
}

ListingMechanism* CListingFile::FindMechanism(std::u16string_view name) const
{
    auto it = std::lower_bound(m_byName.begin(), m_byName.end(), name,
                               [](const ListingMechanism* m, std::u16string_view n) { return NameLess(m->name, n); });
    if (it == m_byName.end() || !NamesEqual((*it)->name, name))
        return nullptr;
    return *it;
}

ListingMechanism* CListingFile::GetMechanism(uint32_t index) const
{
    return index < m_byName.size() ? m_byName[index] : nullptr;
}

} // namespace compout
