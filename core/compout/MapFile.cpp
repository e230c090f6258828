#include "core/compout/MapFile.h"

#include "core/compout/NameCompare.h"
#include "core/compout/Scan.h"
#include "platform/sys/CodePage.h"

#include <algorithm>
#include <iterator>
#include <new>
#include <stdexcept>

namespace compout {

namespace {

bool IndexLess(const MapEntry* a, const MapEntry* b)
{
    return NameLess(a->name, b->name);
}

std::vector<MapEntry*> SortedIndex(std::vector<MapEntry>& entries)
{
    std::vector<MapEntry*> index;
    index.reserve(entries.size());
    for (MapEntry& e : entries)
        index.push_back(&e);
    std::stable_sort(index.begin(), index.end(), IndexLess);
    return index;
}

// Merges two sorted indexes; on equal names the entries of `first` come first.
std::vector<MapEntry*> Merge(const std::vector<MapEntry*>& first, const std::vector<MapEntry*>& second)
{
    std::vector<MapEntry*> out;
    out.reserve(first.size() + second.size());
    std::merge(first.begin(), first.end(), second.begin(), second.end(), std::back_inserter(out),
               IndexLess);
    return out;
}

uint32_t TypeOfWord(std::string_view word)
{
    static constexpr std::string_view kWords[] = {"BYTE", "WORD", "DWORD", "QWORD", "REAL", "MECH"};
    for (uint32_t t = 0; t < 6; ++t) {
        const std::string_view w = kWords[t];
        if (word.size() != w.size())
            continue;
        bool same = true;
        for (size_t i = 0; i < w.size() && same; ++i) {
            char c = word[i];
            if (c >= 'a' && c <= 'z')
                c = static_cast<char>(c - 'a' + 'A');
            same = c == w[i];
        }
        if (same)
            return t;
    }
    return kTypeByte;
}

} // namespace

MapEntry* FindInIndex(const std::vector<MapEntry*>& index, std::u16string_view name)
{
    auto it = std::lower_bound(index.begin(), index.end(), name,
                               [](const MapEntry* e, std::u16string_view n) { return NameLess(e->name, n); });
    if (it == index.end() || CompareNames((*it)->name, name) != 0)
        return nullptr;
    return *it;
}

CMapFile::CMapFile() = default;

CMapFile::CMapFile(std::u16string path) : m_path(std::move(path)) {}

bool CMapFile::Clear()
{
    m_index = {};
    m_symbols = {};
    m_bits = {};
    m_offsets = {};
    m_constants = {};
    m_version = 0;
    return true;
}

bool CMapFile::Fail(uint32_t line, std::string reason)
{
    m_loadError.line = line;
    m_loadError.reason = std::move(reason);
    return false;
}

const MapEntry* CMapFile::FindName(std::u16string_view name) const
{
    return FindInIndex(m_index, name);
}

bool CMapFile::Load(const char16_t* path)
{
    Clear();
    m_loadError = {};
    if (path)
        m_path = path;
    bool ok = false;
    if (m_path.empty()) {
        Fail(0, "no path");
    } else {
        try {
            ok = LoadFile();
        } catch (const std::bad_alloc&) {
            ok = Fail(m_reader.LineNumber(), "out of memory");
        } catch (const std::length_error&) {
            ok = Fail(m_reader.LineNumber(), "out of memory");
        }
    }
    m_reader.Close();
    if (!ok)
        Clear();
    return ok;
}

void CMapFile::Reserve(Table& table)
{
    // Never trust the announced count alone: a record takes at least two
    // bytes ("a b" less its blanks at the end of the file is still 2), so
    // the rest of the file bounds what can follow.
    const uint64_t fit = m_reader.RemainingBytes() / 2 + 1;
    table.entries.reserve(static_cast<size_t>(std::min<uint64_t>(table.declared, fit)));
}

// Reads the header of a section.  With endAllowed, the end of the file in
// its place sets `ended` and succeeds.
bool CMapFile::ReadSectionHeader(std::string_view keyword, uint32_t& count, bool endAllowed,
                                 bool& ended)
{
    std::string line;
    ended = false;
    if (!m_reader.ReadMapLine(line))
        return Fail(m_reader.LineNumber(), m_reader.Error());
    if (m_reader.AtEnd()) {
        if (endAllowed) {
            ended = true;
            return true;
        }
        return Fail(m_reader.LineNumber(), "the file ends before [" + std::string(keyword) + "]");
    }
    Scan s(line);
    if (!s.Literal("[") || !s.Literal(keyword) || !s.Unsigned(count))
        return Fail(m_reader.LineNumber(), "expected the section header [" + std::string(keyword) + " n]");
    return true;
}

// Reads record `index` (0-based) of a section of `count` records.
bool CMapFile::ReadRecord(std::string& line, uint32_t index, uint32_t count)
{
    if (!m_reader.ReadMapLine(line))
        return Fail(m_reader.LineNumber(), m_reader.Error());
    if (m_reader.AtEnd() || line[0] == '[')
        return Fail(m_reader.LineNumber(), "fewer records than announced (" + std::to_string(index) +
                                               " of " + std::to_string(count) + ")");
    return true;
}

bool CMapFile::LoadFile()
{
    if (!m_reader.Open(m_path))
        return Fail(0, m_reader.Error());

    std::string line;
    // The header: "$MP2 nn".
    if (!m_reader.ReadMapLine(line))
        return Fail(m_reader.LineNumber(), m_reader.Error());
    {
        Scan s(line);
        int32_t version = 0;
        if (m_reader.AtEnd() || !s.Literal("$MP2") || !s.Int(version, 2))
            return Fail(m_reader.LineNumber(), "missing or bad header");
        if (version < 1)
            return Fail(m_reader.LineNumber(), "bad map version " + std::to_string(version));
        m_version = version > 2 ? 2 : version;
    }

    bool ended = false;
    std::string_view word, name;

    // Symbols: "%hxH %xH %s %s".
    if (!ReadSectionHeader("SYMBOL_TABLE", m_symbols.declared, false, ended))
        return false;
    Reserve(m_symbols);
    for (uint32_t i = 0; i < m_symbols.declared; ++i) {
        if (!ReadRecord(line, i, m_symbols.declared))
            return false;
        Scan s(line);
        uint32_t selector = 0, address = 0;
        if (!s.Hex(0xFFFF, selector) || !s.Literal("H") || !s.Hex(0xFFFFFFFF, address) ||
            !s.Literal("H") || !s.Word(word) || !s.Word(name))
            return Fail(m_reader.LineNumber(), "bad symbol record");
        MapEntry& e = m_symbols.entries.emplace_back();
        e.name = sys::AnsiToWide(name);
        e.type = TypeOfWord(word);
        e.selector = static_cast<uint16_t>(selector);
        e.address = address;
    }
    const std::vector<MapEntry*> symbolIndex = SortedIndex(m_symbols.entries);

    // Bit fields: "%s %s", the bit and the variable that holds it.  A bit
    // whose variable is not a symbol is skipped (it still counts).
    if (!ReadSectionHeader("BIT_FIELDS", m_bits.declared, false, ended))
        return false;
    Reserve(m_bits);
    for (uint32_t i = 0; i < m_bits.declared; ++i) {
        if (!ReadRecord(line, i, m_bits.declared))
            return false;
        Scan s(line);
        if (!s.Word(name) || !s.Word(word))
            return Fail(m_reader.LineNumber(), "bad bit field record");
        MapEntry* holder = FindInIndex(symbolIndex, sys::AnsiToWide(word));
        if (!holder)
            continue;
        MapEntry& e = m_bits.entries.emplace_back();
        e.name = sys::AnsiToWide(name);
        e.type = kTypeBit;
        e.parent = holder;
        e.selector = holder->selector;
        e.address = holder->address;
    }
    const std::vector<MapEntry*> bitSymbolIndex = Merge(SortedIndex(m_bits.entries), symbolIndex);

    // Structure offsets (version 2): "%s %xH".
    if (m_version >= 2) {
        if (!ReadSectionHeader("STRUCTURE_OFFSETS", m_offsets.declared, false, ended))
            return false;
        Reserve(m_offsets);
        for (uint32_t i = 0; i < m_offsets.declared; ++i) {
            if (!ReadRecord(line, i, m_offsets.declared))
                return false;
            Scan s(line);
            uint32_t value = 0;
            if (!s.Word(name) || !s.Hex(0xFFFFFFFF, value))
                return Fail(m_reader.LineNumber(), "bad structure offset record");
            MapEntry& e = m_offsets.entries.emplace_back();
            e.name = sys::AnsiToWide(name);
            e.type = kTypeOffset;
            e.address = value;
        }
    }

    // Bit weights: "%s %d", a bit or variable and its bit number.  A name
    // that is neither a bit nor a symbol is skipped (it still counts).
    uint32_t weights = 0;
    if (!ReadSectionHeader("BIT_WEIGHTS", weights, false, ended))
        return false;
    for (uint32_t i = 0; i < weights; ++i) {
        if (!ReadRecord(line, i, weights))
            return false;
        Scan s(line);
        int32_t bit = 0;
        if (!s.Word(name) || !s.Int(bit))
            return Fail(m_reader.LineNumber(), "bad bit weight record");
        if (bit < 0 || bit > 7)
            return Fail(m_reader.LineNumber(), "bit number outside 0 to 7");
        MapEntry* e = FindInIndex(bitSymbolIndex, sys::AnsiToWide(name));
        if (!e)
            continue;
        e->bitNumber = static_cast<uint8_t>(bit);
        if (e->parent)
            e->parent->bitSlots[static_cast<size_t>(bit)] = e;
        else if (e->type == kTypeByte)
            e->type = kTypeBit;
    }

    // Constants (version 2): "%s %xH".  A file that ends here has none.
    if (m_version >= 2) {
        if (!ReadSectionHeader("CONSTANTS", m_constants.declared, true, ended))
            return false;
        if (!ended) {
            Reserve(m_constants);
            for (uint32_t i = 0; i < m_constants.declared; ++i) {
                if (!ReadRecord(line, i, m_constants.declared))
                    return false;
                Scan s(line);
                uint32_t value = 0;
                if (!s.Word(name) || !s.Hex(0xFFFFFFFF, value))
                    return Fail(m_reader.LineNumber(), "bad constant record");
                MapEntry& e = m_constants.entries.emplace_back();
                e.name = sys::AnsiToWide(name);
                e.type = kTypeConstant;
                e.address = value;
            }
        }
    }

    // The index: constants, offsets, bits, symbols for equal names.
    m_index = Merge(Merge(SortedIndex(m_constants.entries), SortedIndex(m_offsets.entries)),
                    bitSymbolIndex);
    return true;
}

} // namespace compout
