#pragma once
// The pure core of the link settings page: a connection string split into
// the port, the baud rate, the window size and the other items, built
// back, and the decisions of the page's refresh.  No widgets.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace linkui {

struct OlnkItem
{
    std::u16string key;   // whole, as written (spaces dropped)
    std::u16string value; // spaces dropped
    bool operator==(const OlnkItem&) const = default;
};

struct BaudEntry
{
    const char16_t* text;
    int32_t rate;
};
// The fifteen entries of the baud list, in order.
extern const BaudEntry kBaudEntries[15];

// A port entry of the page's list: the shown text and the port text that
// goes into the string ("Com3" or a device path).
struct PortEntry
{
    std::u16string text;
    std::u16string port;
};

class OlnkPageModel
{
public:
    static constexpr int32_t kMinWindow = 1;
    static constexpr int32_t kMaxWindow = 127;

    std::u16string port = u"Com1";
    int32_t baud = 115200;
    int32_t window = 20;
    std::vector<OlnkItem> others; // items other than P, B and W, in string order

    // Reads a string into the fields.  Every space is dropped; an item
    // needs "=" and ends at ";" or the end.  The whole keys "P", "B" and
    // "W" (any case) set the port, the rate and the window size (a value
    // that is no decimal number, or a window size outside 1 to 127, leaves
    // the field as it was); every other item is kept whole in order.
    void Parse(std::u16string_view text);
    // "P = <port>; B = <rate>; W = <size>;" then " <key> = <value>;" per
    // other item.
    std::u16string Build() const;

    // The number N when the port reads "Com<N>" with exactly these
    // letters and nothing after the digits; -1 otherwise.
    static int ComNumber(std::u16string_view port);
    // The entry that carries the port: by number for "Com<N>", else the
    // entry whose port text equals it; -1 when none does (the text then
    // goes into the combo's edit).
    static int FindPortEntry(std::u16string_view port, const std::vector<PortEntry>& entries);
    // The baud entry that carries the rate, or -1 (the rate then goes into
    // the combo's edit in decimal).
    static int FindBaudEntry(int32_t rate);
    // A decimal number as the page reads it (leading spaces, a sign, then
    // digits; anything after them is ignored); false when there is none or
    // it does not fit 32 bits.
    static bool ReadDecimal(std::u16string_view text, int32_t& value);
};

} // namespace linkui
