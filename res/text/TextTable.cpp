#include "res/text/TextTable.h"

#include <cstdio>
#include <mutex>

namespace res {

extern const unsigned char kBuiltinStringTable[];
extern const std::size_t kBuiltinStringTableSize;

namespace {

struct Tables
{
    std::mutex lock;
    bool builtinLoaded = false;
    TextTable builtin;
    TextTable language;
};

Tables& Get()
{
    static Tables t;
    return t;
}

uint32_t Read32(std::string_view b, size_t at)
{
    const auto* p = reinterpret_cast<const unsigned char*>(b.data() + at);
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

} // namespace

bool ParseTextTable(std::string_view bytes, TextTable& table)
{
    table.clear();
    constexpr uint64_t kHeader = 12, kEntry = 12;
    if (bytes.size() < kHeader || bytes.substr(0, 4) != "SWST" || Read32(bytes, 4) != 1)
        return false;
    uint64_t count = Read32(bytes, 8);
    uint64_t textStart = kHeader + count * kEntry;
    if (textStart > bytes.size() || (bytes.size() - textStart) % 2 != 0)
        return false;
    uint64_t units = (bytes.size() - textStart) / 2;
    TextTable result;
    for (uint64_t i = 0; i < count; ++i) {
        size_t at = size_t(kHeader + i * kEntry);
        uint32_t id = Read32(bytes, at);
        uint64_t offset = Read32(bytes, at + 4);
        uint64_t length = Read32(bytes, at + 8);
        if (offset + length > units || result.count(id))
            return false;
        std::u16string text(size_t(length), u'\0');
        const auto* p = reinterpret_cast<const unsigned char*>(bytes.data() + textStart + offset * 2);
        for (uint64_t k = 0; k < length; ++k)
            text[size_t(k)] = char16_t(p[k * 2] | p[k * 2 + 1] << 8);
        result.emplace(id, std::move(text));
    }
    table = std::move(result);
    return true;
}

std::u16string LoadText(unsigned id)
{
    Tables& t = Get();
    std::lock_guard guard(t.lock);
    if (!t.builtinLoaded) {
        t.builtinLoaded = true;
        std::string_view bytes(reinterpret_cast<const char*>(kBuiltinStringTable),
                               kBuiltinStringTableSize);
        if (!ParseTextTable(bytes, t.builtin))
            std::fprintf(stderr, "strandwork: the built-in string table is damaged\n");
    }
    if (auto it = t.language.find(id); it != t.language.end())
        return it->second;
    if (auto it = t.builtin.find(id); it != t.builtin.end())
        return it->second;
    return {};
}

void SetLanguageTexts(TextTable table)
{
    Tables& t = Get();
    std::lock_guard guard(t.lock);
    t.language = std::move(table);
}

} // namespace res
