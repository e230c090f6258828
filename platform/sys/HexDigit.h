#pragma once
// The value of one hexadecimal digit, for the parsers of the registry file,
// the compiler's output files and the like.

namespace sys {

// 0 to 15 for 0-9, a-f and A-F; -1 for any other character.  Takes char,
// char16_t and char32_t alike (a negative char is no digit).
constexpr int HexDigitValue(char32_t c)
{
    if (c >= U'0' && c <= U'9')
        return static_cast<int>(c - U'0');
    if (c >= U'a' && c <= U'f')
        return static_cast<int>(c - U'a') + 10;
    if (c >= U'A' && c <= U'F')
        return static_cast<int>(c - U'A') + 10;
    return -1;
}

} // namespace sys
