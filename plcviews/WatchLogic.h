#pragma once
// The widget-free rules of the watch view: sizes and names of the watched
// types, the value texts with their colour markers, the texts of values the
// link cannot give, the register input, the breakpoint record, plaque names
// and selection, the value column and the layout of the view's controls.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace watchview {

// Markers inside a value text: kValueMark switches to the value colour and
// the bold font, kTextMark back to the text colour and the normal font.
constexpr char16_t kTextMark = 1;
constexpr char16_t kValueMark = 3;

// The size in bytes a watch of the type asks for: Byte 1, Word 2, DWord 4,
// QWord 8, Real 8, Mechanism 5, Bit 1; 0 for offsets and constants (never
// watched) and anything else.
uint32_t WatchSize(uint32_t type);
// The type's name in the list (4407, 4432-4437, 4448, 4449); empty for an
// unknown type.
std::u16string TypeName(uint32_t type);

// What a value text is made from.
struct ValueInput
{
    uint32_t type = 0;
    std::array<uint8_t, 8> bytes{};  // the value as the link holds it (little-endian)
    uint32_t constant = 0;           // an offset's or constant's own value
    uint8_t bitNumber = 0;
    bool negate = false;
    bool hex = false;
    std::u16string name;                    // the variable's name, as typed
    std::array<std::u16string, 8> bitNames; // a Byte's named bits by bit number; empty: "name n"
};
// The value column's text, with markers.  Decimal display is signed for
// Byte, Word, DWord and QWord; a negated value is shown negated (in the
// type's width in hexadecimal).  A Byte lists its eight bits as stored,
// bit 7 first.
std::u16string ValueText(const ValueInput& in);
// The text of a link answer below 0: -1 4411, -2 4412, -3 4413, -4 4414,
// OLNK_STATUS_NO_ANSWER (the control system fell silent) 4890, anything
// else 4415.
std::u16string UnavailableText(int answer);
// A mechanism's text: running at a known line of a file (4408), running
// (4409), not running (4410).
std::u16string MechanismText(bool running, int line, std::u16string_view file);

// The register input.  RLO: a decimal number using the whole text; any
// value other than 0 gives 1.  DR: "0x" or "0X" and 1 to 8 hexadecimal
// digits, or a decimal number within a signed 32-bit value.  Leading and
// trailing blanks are allowed; everything else is refused.
bool ParseRlo(std::u16string_view text, uint8_t& rlo);
bool ParseDr(std::u16string_view text, int32_t& dr);

// {u16 4 + 4n, u16 n, n x u32 index} of the first 253 breakpoints; only
// the length and count (n = 0) when clear is set.
std::vector<uint8_t> BreakpointsRecord(const std::vector<uint32_t>& breakpoints, bool clear);

// "Plaketa n" for the plaque that follows count plaques.
std::u16string NewPlaqueName(size_t count);
// The plaque selected after index was deleted and remaining are left: the
// next (now at index), else the previous, else -1.
int SelectionAfterDelete(int index, int remaining);

// The value column: the list's client width minus columns 0 and 1, or 300
// when that is not positive.
int ValueColumnWidth(int listClientWidth, int column0, int column1);

// A text split into its marker runs (markers removed).
struct Run
{
    std::u16string text;
    bool value = false;
};
std::vector<Run> SplitRuns(std::u16string_view text);
// The lines of a text ("\r\n", "\n" or "\r"), blanks trimmed, empty ones left out.
std::vector<std::u16string> SplitNames(std::u16string_view text);

// The controls of the view, laid out by the view's client size.
struct Rect
{
    int x = 0, y = 0, w = 0, h = 0;
    int Right() const { return x + w; }
    bool operator==(const Rect&) const = default;
};
struct WatchLayout
{
    Rect list;       // 2060
    Rect combo;      // 2061
    Rect newButton;  // 2062
    Rect delButton;  // 2063
    Rect rloLabel;   // 2064
    Rect rloEdit;    // 2065
    Rect drLabel;    // 2066
    Rect drEdit;     // 2067
    Rect writeButton;// 2068
    bool operator==(const WatchLayout&) const = default;
};
// The list stretched to the right and bottom edges; the top row laid out
// from the right (the write button never left of 350); every control keeps
// its width, height and vertical position, the combo its left edge.
WatchLayout LayoutControls(int clientWidth, int clientHeight, const WatchLayout& current);

} // namespace watchview
