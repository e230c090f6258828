#pragma once
// Small pieces the link, session and simulator tests share: the connection
// string of a UDP endpoint on 127.0.0.1, bytes as hexadecimal text, and the
// bytes of a PLC image module header.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

// "Type = UDP; RemoteIP = 127.0.0.1; ..." with window 20.
std::string UdpLoopbackConn(uint16_t localPort, uint16_t remotePort);

// The bytes from `from` on as "0A 1B ..." (upper case, one space between).
std::string HexText(const std::vector<uint8_t>& bytes, size_t from = 0);

// A PLC image module of `size` bytes (filled with 0x11) whose header names
// its type, code length and checksum; the simulator's chain walk accepts it.
std::vector<uint8_t> PlcImageModule(uint16_t type, uint16_t len, uint16_t sum, uint16_t size);

// A variable of a program module: area, address, size.
struct ProgramModuleVar
{
    uint16_t area = 0;
    uint32_t address = 0;
    uint16_t size = 0;
};
// A program module (type 0xA500, tag "TARVPRG1") listing `lines` and
// `vars`, as the simulator's run mode reads it; `lineCount` overrides the
// count written (a bad module).
std::vector<uint8_t> PlcProgramModule(const std::vector<uint32_t>& lines,
                                      const std::vector<ProgramModuleVar>& vars,
                                      long lineCount = -1);
// A PLC image holding `program` after a first module, with its end module.
std::vector<uint8_t> PlcProgramImage(const std::vector<uint8_t>& program);

} // namespace testsupport
