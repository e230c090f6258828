#pragma once
// An IPv4 UDP socket for the link's UDP transport: bound to one local port
// on any local address without address reuse, non-blocking, close-on-exec.
// Failures return false (or IoStatus::Failed) and leave the errno code in
// the thread's last error (sys::GetLastError).

#include "platform/sys/IoStatus.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace sys {

// An IPv4 address as its four bytes in dotted order (127.0.0.1 is {127, 0, 0, 1}).
using Ipv4Address = std::array<uint8_t, 4>;

constexpr Ipv4Address kIpv4Any = {0, 0, 0, 0};
constexpr Ipv4Address kIpv4Loopback = {127, 0, 0, 1};

class UdpSocket
{
public:
    UdpSocket() = default;
    ~UdpSocket();
    UdpSocket(const UdpSocket&) = delete;
    UdpSocket& operator=(const UdpSocket&) = delete;

    // Binds to localPort (0: the system picks one) on bindAddress.  No reuse
    // option: a port already bound fails with EADDRINUSE.
    bool Open(uint16_t localPort, Ipv4Address bindAddress = kIpv4Any);
    bool IsOpen() const { return m_fd >= 0; }
    // Send and receive buffer sizes in bytes.
    bool SetBufferSizes(int sendBytes, int receiveBytes);
    // The bound port (useful after binding port 0); 0 when not open.
    uint16_t LocalPort() const;

    // One datagram.  Ok when it went, WouldBlock when the socket has no room.
    IoStatus SendTo(const void* data, size_t size, Ipv4Address address, uint16_t port);
    // One datagram into buffer (cut to capacity; got is its full length, at
    // most capacity; *truncated, when given, tells whether it was longer).
    // WouldBlock when none is waiting.
    IoStatus ReceiveFrom(void* buffer, size_t capacity, size_t& got, Ipv4Address& fromAddress,
                         uint16_t& fromPort, bool* truncated = nullptr);

    int Fd() const { return m_fd; }
    void Close();

private:
    int m_fd = -1;
};

} // namespace sys
