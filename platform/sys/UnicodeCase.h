#pragma once
// The character classes and the simple one-to-one case mappings of the
// UTF-16 units of the BMP, without Qt: what the editor's regular-expression
// engine matches with.  A surrogate unit has no class and maps to itself,
// and so does a unit whose other case lies outside the BMP.

#include <cstdint>

namespace sys {

enum CharClass : uint8_t {
    kCharUpper = 0x1,   // an upper-case letter
    kCharLower = 0x2,   // a lower-case letter
    kCharDigit = 0x4,   // a decimal digit
    kCharLetter = 0x8,  // any letter
};

// The CharClass bits of a unit.
uint8_t CharClasses(char16_t c);
char16_t ToUpperUnit(char16_t c);
char16_t ToLowerUnit(char16_t c);

} // namespace sys
