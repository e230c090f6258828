#pragma once
// The widget-free rules of the variable and mechanisms windows: the new
// value typed for a variable (parsed and range-checked by its type), the
// value shown in both number forms, and the request records.

#include "core/compout/MapFile.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace inspect {

// A new value for a variable of a map type (plcview::SymbolType).  The
// whole text must be used: "0x" and hexadecimal digits, or a decimal
// number (leading blanks and a sign allowed), or for Real any finite
// number.  Ranges: Byte -128..255, Word -32768..65535, DWord
// -2147483648..4294967295, QWord the signed and the unsigned 64-bit range,
// Bit 0 or 1.  False: the text is refused and nothing may be sent.
struct NewValue
{
    uint64_t bits = 0;  // the value's bytes, little-endian (Real: the double's)
    double real = 0;
};
bool ParseNewValue(uint32_t type, std::u16string_view text, NewValue& out);
// The message id of a refused value of the type (4008-4013, 4446, 4447); 0 none.
unsigned InvalidValueMessage(uint32_t type);

// The shown forms of a read value (value as plcview::ReadVariableReply gives
// it): decimal ("%d" of the value as read: a Byte and a Word unsigned, a
// DWord as a signed 32-bit number; "%I64d", "%lf") and hexadecimal of its
// bytes ("0x%x", "0x%I64x").
std::u16string DecimalText(uint32_t type, int64_t value, double real);
std::u16string HexText(uint32_t type, int64_t value, double real);
// The "%d" of a bit of a byte value.
std::u16string BitText(int64_t value, int bit);

// Records (little-endian; the first u16 is the record's length where it has one).
// {u16 10 + size, u32 address, u16 area, u16 size, value}
std::vector<uint8_t> WriteVariableRecord(uint32_t address, uint16_t area, uint16_t size, uint64_t bits);
// Whether a write of `size` bytes at (selector, address) stays within the
// room the map gives the variable there: no other variable of the map in
// that selector begins inside the bytes written.  The map gives each
// variable its place only, so the next one's address ends the room; the
// last variable of a selector has no end.  False: the write would change a
// variable besides its own (a map whose compiler gives a type fewer bytes
// than the program writes) and is not sent.
bool WriteStaysInVariable(const compout::CMapFile& map, uint16_t selector, uint32_t address, uint32_t size);
// {u32 address, u16 area, u8 bit values, u8 mask}
std::array<uint8_t, 8> WriteBitsRecord(uint32_t address, uint16_t area, uint8_t values, uint8_t mask);
// {u16 9, u32 address, u16 number, u8 1 run / 0 stop}
std::array<uint8_t, 9> SetMechanismRecord(uint32_t address, uint16_t number, bool run);

// The mechanisms window's read of watched rows: blocks of at most 168
// {u16 6 + 6n, u16 0, u16 n, n x {u32 address, u16 number}}.
struct MechKey
{
    uint32_t address = 0;
    uint16_t number = 0;
};
constexpr size_t kMechBlock = 168;
std::vector<std::vector<uint8_t>> ReadMechanismBlocks(const std::vector<MechKey>& rows);
// The states of a reply {u16 2 + 5n, n x {u8 running, u32 index}}: at most
// `expected` entries, only as many as the reply's length holds and its own
// count says.
struct MechState
{
    bool running = false;
    uint32_t index = 0;
};
std::vector<MechState> ReadMechanismStates(const void* data, uint32_t length, size_t expected);

} // namespace inspect
