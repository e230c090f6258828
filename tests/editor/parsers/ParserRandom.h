#pragma once
// Random lines for the line parsers' property tests, and a parser run over
// a line in a buffer of exactly its size.

#include "editor/parsers/EdtParser.h"

#include <algorithm>
#include <memory>
#include <random>
#include <string>
#include <string_view>
#include <utility>

namespace parserrandom {

// A line of the given length.  Each character draws a kind from 0 to 9:
// below `interesting` a character of `alphabet`, then a lone surrogate,
// then U+0000 or U+FFFF, else any UTF-16 unit.
inline std::u16string RandomLine(std::mt19937& gen, size_t length, std::u16string_view alphabet,
                                 int interesting)
{
    std::uniform_int_distribution<int> kind(0, 9);
    std::uniform_int_distribution<int> pick(0, static_cast<int>(alphabet.size()) - 1);
    std::uniform_int_distribution<int> any(0, 0xFFFF);
    std::u16string s(length, u' ');
    for (char16_t& c : s) {
        int k = kind(gen);
        if (k < interesting)
            c = alphabet[static_cast<size_t>(pick(gen))];
        else if (k == interesting)
            c = static_cast<char16_t>(0xD800 + any(gen) % 0x800);  // lone surrogates
        else if (k == interesting + 1)
            c = (any(gen) & 1) ? char16_t(0) : char16_t(0xFFFF);
        else
            c = static_cast<char16_t>(any(gen));
    }
    return s;
}

// Runs the parser over a copy of the line in a buffer of exactly its size,
// so the sanitizer sees any read past it: first with the list reset to the
// caller's first block (0, 2), then without a list.  Returns both cookies.
inline std::pair<uint32_t, uint32_t> ParseExact(EdtParseLineFn parser, const std::u16string& line,
                                                uint32_t cookie, TextBlockList& list)
{
    std::unique_ptr<char16_t[]> exact(new char16_t[line.size() ? line.size() : 1]);
    std::copy(line.begin(), line.end(), exact.get());
    std::u16string_view text(exact.get(), line.size());
    list.Reset();
    list.Append(0, 2);
    const uint32_t withList = parser(text, cookie, &list);
    const uint32_t without = parser(text, cookie, nullptr);
    return {withList, without};
}

} // namespace parserrandom
