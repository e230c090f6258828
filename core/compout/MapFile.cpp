#include "core/compout/MapFile.h"

#include "core/compout/LoadFrame.h"
#include "core/compout/NameCompare.h"
#include "core/compout/Scan.h"
#include "platform/sys/CodePage.h"

#include <algorithm>
#include <iterator>

namespace compout {

namespace {

using NameKey = CMapFile::NameKey;

uint64_t PrefixOf(const char16_t* folded, size_t length)
{
    uint64_t p = 0;
    for (size_t i = 0; i < 4; ++i)
        p = (p << 16) | (i < length ? folded[i] : 0u);
    return p;
}

bool KeyLess(const NameKey& a, const NameKey& b)
{
    if (a.prefix != b.prefix)
        return a.prefix < b.prefix;
    return std::u16string_view(a.key, a.length) < std::u16string_view(b.key, b.length);
}

// Merges two sorted key lists; on equal names the keys of `first` come first.
std::vector<NameKey> Merge(const std::vector<NameKey>& first, const std::vector<NameKey>& second)
{
    std::vector<NameKey> out;
    out.reserve(first.size() + second.size());
    std::merge(first.begin(), first.end(), second.begin(), second.end(), std::back_inserter(out), KeyLess);
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

// The search keys of a table's entries, sorted by name (stable: equal
// names keep their file order).  The folded names go into `arena`.
CMapFile::Keys CMapFile::MakeKeys(std::vector<MapEntry>& entries, std::unique_ptr<char16_t[]>& arena)
{
    size_t total = 0;
    for (const MapEntry& e : entries)
        total += e.name.size();
    arena = std::make_unique<char16_t[]>(total + 1);
    Keys keys;
    keys.reserve(entries.size());
    char16_t* out = arena.get();
    for (MapEntry& e : entries) {
        for (size_t i = 0; i < e.name.size(); ++i)
            out[i] = FoldCase(e.name[i]);
        keys.push_back({PrefixOf(out, e.name.size()), out, static_cast<uint32_t>(e.name.size()), &e});
        out += e.name.size();
    }
    std::stable_sort(keys.begin(), keys.end(), KeyLess);
    return keys;
}

MapEntry* CMapFile::Search(const Keys& keys, std::u16string_view name)
{
    char16_t local[64];
    std::u16string heap;
    char16_t* folded = local;
    if (name.size() > std::size(local)) {
        heap.resize(name.size());
        folded = heap.data();
    }
    for (size_t i = 0; i < name.size(); ++i)
        folded[i] = FoldCase(name[i]);
    const NameKey probe{PrefixOf(folded, name.size()), folded, static_cast<uint32_t>(name.size()), nullptr};
    auto it = std::lower_bound(keys.begin(), keys.end(), probe, KeyLess);
    if (it == keys.end() || KeyLess(probe, *it))
        return nullptr;
    return it->entry;
}

CMapFile::CMapFile() = default;

CMapFile::CMapFile(std::u16string path) : m_path(std::move(path)) {}

bool CMapFile::Clear()
{
    m_index = {};
    m_keys = {};
    for (auto& arena : m_arenas)
        arena.reset();
    m_symbols = {};
    m_bits = {};
    m_offsets = {};
    m_constants = {};
    m_version = 0;
    return true;
}

bool CMapFile::Fail(uint32_t line, std::string reason)
{
    return SetLoadError(m_loadError, line, std::move(reason));
}

const MapEntry* CMapFile::FindName(std::u16string_view name) const
{
    return Search(m_keys, name);
}

bool CMapFile::Load(const char16_t* path)
{
    Clear();
    const bool ok = RunLoad(m_path, path, m_loadError, m_reader, [&] { return LoadFile(); });
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
    const Keys symbolKeys = MakeKeys(m_symbols.entries, m_arenas[0]);

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
        MapEntry* holder = Search(symbolKeys, sys::AnsiToWide(word));
        if (!holder)
            continue;
        MapEntry& e = m_bits.entries.emplace_back();
        e.name = sys::AnsiToWide(name);
        e.type = kTypeBit;
        e.parent = holder;
        e.selector = holder->selector;
        e.address = holder->address;
    }
    const Keys bitSymbolKeys = Merge(MakeKeys(m_bits.entries, m_arenas[1]), symbolKeys);

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
        MapEntry* e = Search(bitSymbolKeys, sys::AnsiToWide(name));
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
    m_keys = Merge(Merge(MakeKeys(m_constants.entries, m_arenas[3]), MakeKeys(m_offsets.entries, m_arenas[2])),
                   bitSymbolKeys);
    m_index.reserve(m_keys.size());
    for (const NameKey& k : m_keys)
        m_index.push_back(k.entry);
    return true;
}

} // namespace compout
