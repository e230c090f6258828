#pragma once
// Name comparison "without regard to case" of map and listing names.
//
// Each UTF-16 unit is mapped to lower case on its own: A-Z to a-z and every
// upper-case letter of code page 1250 to its lower-case partner; every other
// unit stays as it is.  Units then compare as unsigned values, and a name
// that is a prefix of another sorts first.  No locale is involved, so the
// order is the same everywhere and a binary search finds what a sort put in
// place.

#include <cstdint>
#include <string_view>

namespace compout {

char16_t FoldCase(char16_t c);

// <0, 0 or >0.
int CompareNames(std::u16string_view a, std::u16string_view b);

inline bool NamesEqual(std::u16string_view a, std::u16string_view b)
{
    return a.size() == b.size() && CompareNames(a, b) == 0;
}

inline bool NameLess(std::u16string_view a, std::u16string_view b)
{
    return CompareNames(a, b) < 0;
}

} // namespace compout
