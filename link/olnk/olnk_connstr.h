#pragma once
// The connection string of a link: items "Key = value;" with the keys Type,
// P, B, W, Mode, RemoteIP, RemotePort and LocalPort, for example
// "P = Com1; B = 115200; W = 20;".  The grammar, defaults and checks are in
// "Connection string" of docs/link-protocol.md.  Parsing opens nothing.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

enum class OlnkLinkType : uint8_t { Serial = 0, Udp = 1 };

// UDP modes; stored in the channel, not acted on.
constexpr uint8_t OLNK_MODE_SERVER = 0;
constexpr uint8_t OLNK_MODE_CLIENT = 1;
constexpr uint8_t OLNK_MODE_BOTH = 2;

struct OlnkConnectionParams
{
    OlnkLinkType type = OlnkLinkType::Serial;
    // The port name as 8-bit text in the ANSI code page, passed to the port
    // open unchanged ("COM<N>" names /dev/ttyS<N-1>).
    std::string port = "Com1";
    // The wide form sets this when the port name holds a character the ANSI
    // code page lacks; opening such a port fails as "not found".
    bool portUnrepresentable = false;
    int32_t baud = 115200;
    uint8_t window = 20;
    uint8_t mode = OLNK_MODE_CLIENT;
    std::array<uint8_t, 4> remoteAddress = {0, 0, 0, 0}; // dotted order
    uint16_t remotePort = 61234;
    uint16_t localPort = 61234;
};

// Parses a connection string.  On failure returns false and, when reason is
// given, a short English text naming the offending item (the first one).
// The narrow form reads 8-bit text in the ANSI code page.
bool OlnkParseConnectionStringA(std::string_view text, OlnkConnectionParams& out,
                                std::string* reason = nullptr);
bool OlnkParseConnectionStringW(std::u16string_view text, OlnkConnectionParams& out,
                                std::string* reason = nullptr);
