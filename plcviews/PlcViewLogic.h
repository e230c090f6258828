#pragma once
// The widget-free rules of the PLC source view's debugging display: when
// the register column shows, the change of the watched line range, the
// blended register colours, the tip texts, the word under the mouse, and
// the request records sent to the link and the replies read back.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace plcview {

using Colorref = uint32_t;  // 0x00BBGGRR

// Map types of the symbols (CMapFile::FindSymbol).
enum SymbolType : uint32_t {
    kByte = 0,
    kWord = 1,
    kDWord = 2,
    kQWord = 3,
    kReal = 4,
    kMechanism = 5,
    kBit = 6,
    kOffset = 7,
    kConstant = 8
};

// The register column is in use: project open, debugging, the register
// watch option on, and the target "Haldor" (any case) or a compiler of at
// least version 6.373 (compared as a pair).
bool RegisterColumnShown(bool projectOpen, bool debugging, int watchRegsOption, std::u16string_view target,
                         int versionMajor, int versionMinor);

// The lines (0-based) of the old range that the new one lacks, and those
// of the new range that the old one lacks, each ascending.
void RangeDifference(int oldFirst, int oldCount, int newFirst, int newCount, std::vector<int>& removed,
                     std::vector<int>& added);

// act + (inact - act) * activity / 255 per channel.
Colorref BlendColor(Colorref act, Colorref inact, uint8_t activity);

// What the value tip shows.
struct ValueTip
{
    std::u16string name;
    uint32_t type = kByte;
    bool valid = false;
    int64_t value = 0;        // integers, bits, offsets and constants
    double real = 0;          // Real
    bool hex = false;         // the project shows hexadecimal
    // Mechanisms.
    bool running = false;
    int currentLine = 0;      // 1-based line in its file; 0 unknown
    std::u16string currentFile;
};
// The type's name (4247-4255).
std::u16string TypeName(uint32_t type);
std::u16string ValueTipText(const ValueTip& tip);
std::u16string RegisterTipText(uint8_t rlo, int32_t dr, bool hex);

// The word under the mouse: the run of identifier characters and "."
// around pos, without leading or trailing dots; a "-" directly before it
// sets negate.  Empty when pos is on no such character.
std::u16string WordAt(std::u16string_view line, int pos, bool& negate);

// The size in bytes that a read of a type asks for (0 for none).
uint16_t TypeSize(uint32_t type);

// Request records (little-endian; the first u16 is the record's length).
std::array<uint8_t, 10> BreakpointRecord(uint32_t index, bool set);
std::array<uint8_t, 10> ReadVariableRecord(uint32_t address, uint16_t area, uint16_t size);
std::array<uint8_t, 12> ReadMechanismRecord(uint32_t address, uint16_t number);
std::array<uint8_t, 10> ReadLineRegistersRecord(uint32_t index);

// Replies, read only within their length; false for a short one.
// {u16 2 + size, value}
bool ReadVariableReply(const void* data, uint32_t length, uint32_t type, uint8_t bitNumber, bool negate,
                       int64_t& value, double& real);
// {u16 2 + 5n, n x {u8 running, u32 listing index}}
bool ReadMechanismReply(const void* data, uint32_t length, bool& running, uint32_t& index);
// {u16 2 + 5n, n x {u8 RLO, i32 DR}}
bool ReadRegistersReply(const void* data, uint32_t length, uint8_t& rlo, int32_t& dr);

} // namespace plcview
