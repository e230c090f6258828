#include "platform/sys/CodePage.h"

#include "platform/sys/CodePageTables.h"
#include "platform/sys/LastError.h"

#include <cerrno>
#include <cstring>
#include <memory>
#include <mutex>

namespace sys {

namespace {

constexpr char16_t kReplacement = 0xFFFD;

// A code page with its reverse table, built on first use: 65536 bytes, one
// per UTF-16 unit; 0 means "not in the code page" (U+0000 is byte 0 in
// every table).
struct CodePage
{
    const detail::CodePageTable* table = nullptr;
    std::once_flag once;
    std::unique_ptr<unsigned char[]> fromUnicode;

    const unsigned char* Reverse()
    {
        std::call_once(once, [this] {
            fromUnicode = std::make_unique<unsigned char[]>(65536);
            for (unsigned b = 255; b > 0; --b)
                fromUnicode[table->toUnicode[b]] = static_cast<unsigned char>(b);
        });
        return fromUnicode.get();
    }
};

struct Registry
{
    std::unique_ptr<CodePage[]> pages;
    Registry() : pages(std::make_unique<CodePage[]>(detail::kCodePageTableCount))
    {
        for (size_t i = 0; i < detail::kCodePageTableCount; ++i)
            pages[i].table = &detail::kCodePageTables[i];
    }
};

CodePage* Find(unsigned codePage)
{
    static Registry registry;
    for (size_t i = 0; i < detail::kCodePageTableCount; ++i) {
        if (registry.pages[i].table->codePage == codePage)
            return &registry.pages[i];
    }
    return nullptr;
}

bool IsHigh(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLow(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// One step of the UTF-8 decoder: reads a character at bytes[i]; on success
// stores the code point and its length; on an invalid sequence stores the
// length of the maximal invalid part (at least 1) and returns false.
bool DecodeUtf8(std::string_view s, size_t i, char32_t& cp, size_t& len)
{
    const auto b0 = static_cast<unsigned char>(s[i]);
    if (b0 < 0x80) {
        cp = b0;
        len = 1;
        return true;
    }
    size_t need;
    char32_t value;
    unsigned char lo = 0x80, hi = 0xBF;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        need = 1;
        value = b0 & 0x1F;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        need = 2;
        value = b0 & 0x0F;
        if (b0 == 0xE0)
            lo = 0xA0; // no overlong forms
        else if (b0 == 0xED)
            hi = 0x9F; // no surrogates
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        need = 3;
        value = b0 & 0x07;
        if (b0 == 0xF0)
            lo = 0x90;
        else if (b0 == 0xF4)
            hi = 0x8F; // not above U+10FFFF
    } else {
        len = 1;
        return false;
    }
    size_t k = 1;
    for (; k <= need; ++k) {
        if (i + k >= s.size()) {
            len = k;
            return false;
        }
        const auto b = static_cast<unsigned char>(s[i + k]);
        if (b < lo || b > hi) {
            len = k;
            return false;
        }
        lo = 0x80;
        hi = 0xBF;
        value = (value << 6) | (b & 0x3F);
    }
    cp = value;
    len = need + 1;
    return true;
}

void AppendUtf16(std::u16string& out, char32_t cp)
{
    if (cp < 0x10000) {
        out.push_back(static_cast<char16_t>(cp));
    } else {
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    }
}

void AppendUtf8(std::string& out, char32_t cp)
{
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

// UTF-8 -> UTF-16; invalid parts fail (strict) or become U+FFFD.
bool Utf8Decode(std::string_view utf8, std::u16string& out, bool strict)
{
    out.clear();
    out.reserve(utf8.size());
    size_t i = 0;
    while (i < utf8.size()) {
        char32_t cp;
        size_t len;
        if (DecodeUtf8(utf8, i, cp, len)) {
            AppendUtf16(out, cp);
        } else {
            if (strict) {
                out.clear();
                return false;
            }
            out.push_back(kReplacement);
        }
        i += len;
    }
    return true;
}

// UTF-16 -> UTF-8; a lone surrogate fails (strict) or becomes `bad`.
bool Utf16Encode(std::u16string_view text, std::string& out, bool strict, char32_t bad,
                 bool* lossy)
{
    out.clear();
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t cp = text[i];
        if (IsHigh(text[i]) && i + 1 < text.size() && IsLow(text[i + 1])) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (IsHigh(text[i]) || IsLow(text[i])) {
            if (strict) {
                out.clear();
                return false;
            }
            if (lossy)
                *lossy = true;
            cp = bad;
        }
        AppendUtf8(out, cp);
    }
    return true;
}

} // namespace

bool IsValidCodePage(unsigned codePage)
{
    return codePage == CP_UTF8 || Find(codePage) != nullptr;
}

bool DecodeCodePage(unsigned codePage, std::string_view bytes, std::u16string& out)
{
    if (codePage == CP_UTF8)
        return Utf8Decode(bytes, out, false);
    CodePage* cp = Find(codePage);
    if (!cp) {
        SetLastError(EINVAL);
        return false;
    }
    const char16_t* table = cp->table->toUnicode;
    out.resize(bytes.size());
    char16_t* dst = out.data();
    const auto* src = reinterpret_cast<const unsigned char*>(bytes.data());
    const size_t n = bytes.size();
    for (size_t i = 0; i < n; ++i)
        dst[i] = table[src[i]];
    return true;
}

bool EncodeCodePage(unsigned codePage, std::u16string_view text, std::string& out, bool* lossy)
{
    if (lossy)
        *lossy = false;
    if (codePage == CP_UTF8)
        return Utf16Encode(text, out, false, U'?', lossy);
    CodePage* cp = Find(codePage);
    if (!cp) {
        SetLastError(EINVAL);
        return false;
    }
    const unsigned char* reverse = cp->Reverse();
    out.resize(text.size());
    char* dst = out.data();
    const size_t n = text.size();
    const char16_t* const src = text.data();
    unsigned char* const udst = reinterpret_cast<unsigned char*>(dst);
    // Fast path, one byte per unit, block by block; from the first block
    // that holds an unmappable unit on, the careful loop takes over.
    constexpr size_t kBlock = 16384;
    size_t i = 0;
    for (; i < n; i += kBlock) {
        const size_t end = i + kBlock < n ? i + kBlock : n;
        for (size_t k = i; k < end; ++k)
            udst[k] = reverse[src[k]];
        // A 0 byte is either U+0000 or an unmappable unit.
        bool bad = false;
        for (const char* z = dst + i; (z = static_cast<const char*>(
                                           std::memchr(z, 0, static_cast<size_t>(dst + end - z))));
             ++z) {
            if (src[z - dst] != 0) {
                bad = true;
                break;
            }
        }
        if (bad)
            break;
    }
    if (i > n)
        i = n;
    size_t o = i;
    bool lost = false;
    for (; i < n; ++i) {
        const char16_t c = src[i];
        const unsigned char b = reverse[c];
        if (b != 0 || c == 0) {
            dst[o++] = static_cast<char>(b);
            continue;
        }
        lost = true;
        dst[o++] = '?';
        // A surrogate pair is one character: one "?".
        if (IsHigh(c) && i + 1 < n && IsLow(src[i + 1]))
            ++i;
    }
    out.resize(o);
    if (lossy)
        *lossy = lost;
    return true;
}

std::u16string AnsiToWide(std::string_view bytes)
{
    std::u16string out;
    DecodeCodePage(CP_ANSI, bytes, out);
    return out;
}

std::string WideToAnsi(std::u16string_view text, bool* lossy)
{
    std::string out;
    EncodeCodePage(CP_ANSI, text, out, lossy);
    return out;
}

bool Utf8ToUtf16(std::string_view utf8, std::u16string& out)
{
    if (Utf8Decode(utf8, out, true))
        return true;
    SetLastError(EINVAL);
    return false;
}

bool Utf16ToUtf8(std::u16string_view text, std::string& out)
{
    if (Utf16Encode(text, out, true, 0, nullptr))
        return true;
    SetLastError(EINVAL);
    return false;
}

std::u16string Utf8ToUtf16Lenient(std::string_view utf8)
{
    std::u16string out;
    Utf8Decode(utf8, out, false);
    return out;
}

std::string Utf16ToUtf8Lenient(std::u16string_view text)
{
    std::string out;
    Utf16Encode(text, out, false, kReplacement, nullptr);
    return out;
}

} // namespace sys
