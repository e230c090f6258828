#pragma once
// Local file names and paths are bytes; the program carries them as UTF-16
// text.  This is the one mapping between the two, and it is lossless:
// valid UTF-8 is decoded as such, and every other byte (0x80-0xFF) becomes
// a character of its own, its escape U+DC00 + byte (Utf8Stream.h), which
// valid UTF-8 never gives.  On the way back each escape is its byte again,
// so a name listed and handed to a command names exactly that entry:
// "caf\xE9.txt" (7 bytes) and "caf\xEF\xBF\xBD.txt" (the UTF-8 of U+FFFD,
// 9 bytes) stay two names.  Every local listing that leads to a command
// (the file panel, the file operations' walk, the case-blind lookup of
// WinPath::ToNative) goes through it.  See docs/paths-and-codepages.md.

#include <optional>
#include <string>
#include <string_view>

namespace sys {

// The text of native bytes (a name or a path).
std::u16string NativeToText(std::string_view bytes);
// The native bytes of text made by NativeToText.  False (last error
// EILSEQ, out empty) for text that no bytes give: a NUL, a lone surrogate
// other than an escape, or escapes whose bytes would read as a character
// (text and bytes must map to each other one to one).
bool TextToNative(std::u16string_view text, std::string& out);
// The same, "" on failure.
std::string NativeOf(std::u16string_view text);
// The native path of a local path: a name the user gave on this computer
// (a file dialog, the command line, a drop, the recent list) or a stored
// path already resolved once.  Its bytes exactly: no lookup without regard
// to case, "\" an ordinary character.  nullopt for empty text and for text
// that no bytes give (last error EILSEQ).  A path read from a stored file
// goes through WinPath::ToNative instead (case-blind, both separators).
std::optional<std::string> LocalNativePath(std::u16string_view path);
// Whether text holds an escaped byte.
bool HasNativeByteEscape(std::u16string_view text);
// The text as it is shown: each escaped byte marked as "\xE9" (two
// upper-case hex digits); everything else as it is.
std::u16string ShownNativeText(std::u16string_view text);
// The text that a shown text stands for: each "\xHH" of a byte 80-FF (hex
// digits of either case) is that byte's escape again.  (Whether the text
// names what was meant is for the caller to check: "\xE9" may be typed.)
std::u16string UnmarkedNativeText(std::u16string_view shown);

} // namespace sys
