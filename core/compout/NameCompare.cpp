#include "core/compout/NameCompare.h"

#include <algorithm>

namespace compout {

namespace {

// The upper-case letters of code page 1250 outside A-Z.  Each one's
// lower-case partner is the unit 0x20 above it (Latin-1 letters) or 1 above
// it (the Latin Extended-A letters).
constexpr char16_t kUpperLatin1[] = {0x00C1, 0x00C2, 0x00C4, 0x00C7, 0x00C9, 0x00CB, 0x00CD,
                                     0x00CE, 0x00D3, 0x00D4, 0x00D6, 0x00DA, 0x00DC, 0x00DD};
constexpr char16_t kUpperExtA[] = {0x0102, 0x0104, 0x0106, 0x010C, 0x010E, 0x0110, 0x0118,
                                   0x011A, 0x0139, 0x013D, 0x0141, 0x0143, 0x0147, 0x0150,
                                   0x0154, 0x0158, 0x015A, 0x015E, 0x0160, 0x0162, 0x0164,
                                   0x016E, 0x0170, 0x0179, 0x017B, 0x017D};

struct FoldTable
{
    char16_t map[0x180];
    constexpr FoldTable() : map()
    {
        for (unsigned i = 0; i < 0x180; ++i)
            map[i] = static_cast<char16_t>(i);
        for (unsigned i = 'A'; i <= 'Z'; ++i)
            map[i] = static_cast<char16_t>(i + 0x20);
        for (char16_t c : kUpperLatin1)
            map[c] = static_cast<char16_t>(c + 0x20);
        for (char16_t c : kUpperExtA)
            map[c] = static_cast<char16_t>(c + 1);
    }
};

constexpr FoldTable kFold;

} // namespace

char16_t FoldCase(char16_t c)
{
    return c < 0x180 ? kFold.map[c] : c;
}

int CompareNames(std::u16string_view a, std::u16string_view b)
{
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const char16_t x = FoldCase(a[i]);
        const char16_t y = FoldCase(b[i]);
        if (x != y)
            return x < y ? -1 : 1;
    }
    if (a.size() == b.size())
        return 0;
    return a.size() < b.size() ? -1 : 1;
}

} // namespace compout
