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

} // namespace testsupport
