#pragma once
// Opening a link channel over a serial port or UDP, directly or from a
// connection string.  See "Transports" and "Connection string" in
// docs/link-protocol.md.
//
// Every open returns the channel, or null with the thread's last error:
// OLNK_E_INVALIDARG for a bad argument or connection string, the system
// (errno) code of a failed port or socket call (ENOENT for a missing device,
// EBUSY for a port in use, EADDRINUSE for a bound UDP port), or
// OLNK_E_OUTOFMEMORY.  A failed open leaves nothing behind: no thread, no
// port, no socket.

#include "link/olnk/olnk.h"
#include "link/olnk/olnk_connstr.h"

#include <array>
#include <cstdint>
#include <functional>
#include <span>

struct OlnkOpenOptions
{
    // Start in link state 0 and send no connect frame (a peer that is
    // already running; the simulator uses it).
    bool passive = false;
    // Millisecond ticks for the link-state timing; empty: the steady clock.
    std::function<uint32_t()> clock;
};

// A serial channel on portName ("COM<N>" names /dev/ttyS<N-1>; any other
// name is a device path), raw, 8 data bits, no parity, two stop bits, no
// flow control, at any positive baud rate.
OlnkChannel OlnkOpenSerial(uint8_t window, const char* portName, uint32_t baud,
                           std::span<const uint8_t> connectData,
                           const OlnkOpenOptions& options = {});

// A UDP channel bound to localPort on any local address, exchanging
// datagrams with remoteAddress (dotted order) : remotePort only.  The mode
// (OLNK_MODE_*) is stored, not acted on.
OlnkChannel OlnkOpenUdp(uint8_t window, uint8_t mode, const std::array<uint8_t, 4>& remoteAddress,
                        uint16_t remotePort, uint16_t localPort,
                        std::span<const uint8_t> connectData,
                        const OlnkOpenOptions& options = {});

// Parses a connection string and opens the channel it names.  Any error of
// the string: null with OLNK_E_INVALIDARG, its reason written with
// OlnkDebugPrint, and nothing opened.
OlnkChannel OlnkOpenChannelA(const char* connectionString, std::span<const uint8_t> connectData,
                             const OlnkOpenOptions& options = {});
OlnkChannel OlnkOpenChannelW(const char16_t* connectionString,
                             std::span<const uint8_t> connectData,
                             const OlnkOpenOptions& options = {});
// Opens from parsed parameters (used by the two forms above).
OlnkChannel OlnkOpenChannel(const OlnkConnectionParams& params,
                            std::span<const uint8_t> connectData,
                            const OlnkOpenOptions& options = {});
