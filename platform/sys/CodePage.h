#pragma once
// 8-bit code pages <-> UTF-16, by Windows code-page number, with our own
// 256-entry tables.  Every byte round-trips: a byte that a code page leaves
// undefined maps to the UTF-16 unit of the same value and back.  Encoding a
// character that the code page cannot hold writes its default character "?"
// and reports the loss.  Also UTF-8 <-> UTF-16, which native file names and
// the registry file use.

#include <cstdint>
#include <string>
#include <string_view>

namespace sys {

// The ANSI code page of stored files, the project, the tool output and the
// link's paths.
constexpr unsigned CP_ANSI = 1250;
constexpr unsigned CP_UTF8 = 65001;

bool IsValidCodePage(unsigned codePage);

// Decodes bytes; false (last error EINVAL) for an unknown code page.
// CP_UTF8 is accepted: invalid sequences become U+FFFD.
bool DecodeCodePage(unsigned codePage, std::string_view bytes, std::u16string& out);
// Encodes text; false (last error EINVAL) for an unknown code page.
// lossy (when given) tells whether a character had to be replaced by "?";
// a lone surrogate counts as unmappable.
bool EncodeCodePage(unsigned codePage, std::u16string_view text, std::string& out,
                    bool* lossy = nullptr);

// Shorthands for the ANSI code page.
std::u16string AnsiToWide(std::string_view bytes);
std::string WideToAnsi(std::u16string_view text, bool* lossy = nullptr);

// UTF-8 <-> UTF-16.  Utf16ToUtf8 fails on a lone surrogate and Utf8ToUtf16
// on an invalid sequence; the *Lenient forms replace them with U+FFFD.
bool Utf8ToUtf16(std::string_view utf8, std::u16string& out);
bool Utf16ToUtf8(std::u16string_view text, std::string& out);
std::u16string Utf8ToUtf16Lenient(std::string_view utf8);
std::string Utf16ToUtf8Lenient(std::u16string_view text);

} // namespace sys
