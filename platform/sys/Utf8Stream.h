#pragma once
// UTF-8 read and written in pieces, for text files that are loaded block by
// block: a check whether a byte stream is valid UTF-8, a decoder that keeps
// every byte of an invalid part as a character of its own, and the encoder
// that writes such characters back as their bytes, so that any file read and
// written again keeps all its bytes.  Validity follows Utf8ToUtf16
// (CodePage.h): no overlong forms, no surrogates, nothing above U+10FFFF.

#include <cstddef>
#include <string>
#include <string_view>

namespace sys {

// The character that stands for the byte b (0x80-0xFF) of an invalid part:
// U+DC00 + b, a lone low surrogate, which valid UTF-8 never gives.
constexpr char16_t kUtf8ByteEscape = 0xDC00;
constexpr bool IsUtf8ByteEscape(char16_t c)
{
    return c >= 0xDC80 && c <= 0xDCFF;
}
// Whether the unit at i of text is a byte's escape: such a unit that is
// not the second half of a surrogate pair (U+1F480 is D83D DC80).
constexpr bool IsUtf8ByteEscapeAt(std::u16string_view text, size_t i)
{
    return IsUtf8ByteEscape(text[i]) && !(i > 0 && text[i - 1] >= 0xD800 && text[i - 1] <= 0xDBFF);
}

// Whether the bytes fed so far are valid UTF-8.
class Utf8Check
{
public:
    // Looks at the next bytes; false from the first invalid byte on (the
    // rest is not looked at).
    bool Feed(const unsigned char* bytes, size_t n);
    // Everything fed is valid and ends with a whole character.
    bool Valid() const { return !m_bad && m_need == 0; }
    bool Failed() const { return m_bad; }
    // A character of two or more bytes was seen.
    bool HasMultiByte() const { return m_multiByte; }

private:
    int m_need = 0; // continuation bytes still to come
    unsigned char m_lo = 0x80, m_hi = 0xBF;
    bool m_bad = false;
    bool m_multiByte = false;
};

// Decodes a stream given in pieces.  Each byte of an invalid part becomes
// its escape character; a character cut by the end of a piece is finished
// with the next one.
class Utf8StreamDecoder
{
public:
    // Room that Decode needs in out for n bytes.
    static constexpr size_t Room(size_t n) { return n + 3; }
    // Decodes the next n bytes into out (Room(n) units); the units written.
    // With last, a character left unfinished is written as escapes.
    size_t Decode(const unsigned char* bytes, size_t n, bool last, char16_t* out);
    // Some byte was written as an escape.
    bool Escaped() const { return m_escaped; }
    // A character of two or more bytes was decoded.
    bool HasMultiByte() const { return m_multiByte; }

private:
    unsigned char m_pending[4] = {};
    size_t m_count = 0;
    bool m_escaped = false;
    bool m_multiByte = false;
};

// Appends the UTF-8 of text: a surrogate pair as its character, an escape
// character as its byte, any other lone surrogate as U+FFFD (counted in
// replaced when given).
void AppendUtf8Escaped(std::u16string_view text, std::string& out, int* replaced = nullptr);

} // namespace sys
