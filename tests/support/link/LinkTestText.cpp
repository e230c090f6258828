#include "tests/support/link/LinkTestText.h"

#include <cstdio>

namespace testsupport {

std::string UdpLoopbackConn(uint16_t localPort, uint16_t remotePort)
{
    return "Type = UDP; RemoteIP = 127.0.0.1; RemotePort = " + std::to_string(remotePort) +
           "; LocalPort = " + std::to_string(localPort) + "; W = 20;";
}

std::string HexText(const std::vector<uint8_t>& bytes, size_t from)
{
    std::string s;
    char t[4];
    for (size_t i = from; i < bytes.size(); ++i) {
        std::snprintf(t, sizeof t, "%02X", bytes[i]);
        if (i > from)
            s += ' ';
        s += t;
    }
    return s;
}

std::vector<uint8_t> PlcImageModule(uint16_t type, uint16_t len, uint16_t sum, uint16_t size)
{
    std::vector<uint8_t> m(size, 0x11);
    m[0] = 0xFA; m[1] = 0xFE; m[2] = 0xFF; m[3] = 0xF9;
    m[4] = uint8_t(type); m[5] = uint8_t(type >> 8); m[6] = 6; m[7] = 0xF9;
    m[12] = uint8_t(size); m[13] = uint8_t(size >> 8);
    m[24] = uint8_t(len); m[25] = uint8_t(len >> 8);
    m[26] = uint8_t(sum); m[27] = uint8_t(sum >> 8);
    return m;
}

namespace {
void P16(std::vector<uint8_t>& b, uint32_t v)
{
    b.insert(b.end(), {uint8_t(v), uint8_t(v >> 8)});
}
void P32(std::vector<uint8_t>& b, uint32_t v)
{
    P16(b, v & 0xFFFF);
    P16(b, v >> 16);
}
} // namespace

std::vector<uint8_t> PlcProgramModule(const std::vector<uint32_t>& lines,
                                      const std::vector<ProgramModuleVar>& vars, long lineCount)
{
    std::vector<uint8_t> pay{'T', 'A', 'R', 'V', 'P', 'R', 'G', '1'};
    P32(pay, lineCount >= 0 ? uint32_t(lineCount) : uint32_t(lines.size()));
    for (uint32_t l : lines)
        P32(pay, l);
    P32(pay, uint32_t(vars.size()));
    for (const auto& v : vars) {
        P16(pay, v.area);
        P32(pay, v.address);
        P16(pay, v.size);
    }
    const uint8_t head[] = {0xFA, 0xFE, 0xFF, 0xF9, 0x00, 0xA5, 0x06, 0xF9};
    std::vector<uint8_t> m(32 + pay.size(), 0);
    std::copy(std::begin(head), std::end(head), m.begin());
    std::copy(pay.begin(), pay.end(), m.begin() + 32);
    m[12] = uint8_t(32 + pay.size());
    m[13] = uint8_t((32 + pay.size()) >> 8);
    m[24] = uint8_t(pay.size());
    m[25] = uint8_t(pay.size() >> 8);
    uint16_t sum = 0;
    for (uint8_t c : pay)
        sum = uint16_t(sum + c);
    m[26] = uint8_t(sum);
    m[27] = uint8_t(sum >> 8);
    return m;
}

std::vector<uint8_t> PlcProgramImage(const std::vector<uint8_t>& program)
{
    std::vector<uint8_t> img = PlcImageModule(0xA520, 10, 0, 42);
    img.insert(img.end(), program.begin(), program.end());
    img.insert(img.end(), {0xFA, 0xFE, 0xFF, 0xF9, 0x00, 0xA5, 0x07, 0xF8});
    return img;
}

} // namespace testsupport
