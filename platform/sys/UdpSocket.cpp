#include "platform/sys/UdpSocket.h"

#include "platform/sys/Descriptor.h"
#include "platform/sys/LastError.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace sys {

namespace {

sockaddr_in MakeAddress(Ipv4Address address, uint16_t port)
{
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    std::memcpy(&sa.sin_addr.s_addr, address.data(), 4); // network order = dotted order
    return sa;
}

} // namespace

UdpSocket::~UdpSocket() { Close(); }

bool UdpSocket::Open(uint16_t localPort, Ipv4Address bindAddress)
{
    Close();
    int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_UDP);
    if (fd < 0) {
        SetLastErrorFromErrno();
        return false;
    }
    sockaddr_in sa = MakeAddress(bindAddress, localPort);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0)
        return CloseFailedOpen(fd, errno);
    m_fd = fd;
    return true;
}

bool UdpSocket::SetBufferSizes(int sendBytes, int receiveBytes)
{
    bool ok = ::setsockopt(m_fd, SOL_SOCKET, SO_SNDBUF, &sendBytes, sizeof sendBytes) == 0;
    ok = ::setsockopt(m_fd, SOL_SOCKET, SO_RCVBUF, &receiveBytes, sizeof receiveBytes) == 0 && ok;
    if (!ok)
        SetLastErrorFromErrno();
    return ok;
}

uint16_t UdpSocket::LocalPort() const
{
    sockaddr_in sa{};
    socklen_t len = sizeof sa;
    if (m_fd < 0 || ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&sa), &len) != 0)
        return 0;
    return ntohs(sa.sin_port);
}

IoStatus UdpSocket::SendTo(const void* data, size_t size, Ipv4Address address, uint16_t port)
{
    sockaddr_in sa = MakeAddress(address, port);
    ssize_t n = ::sendto(m_fd, data, size, MSG_NOSIGNAL, reinterpret_cast<sockaddr*>(&sa),
                         sizeof sa);
    if (n < 0)
        return IoFailure(errno);
    return IoStatus::Ok;
}

IoStatus UdpSocket::ReceiveFrom(void* buffer, size_t capacity, size_t& got,
                                Ipv4Address& fromAddress, uint16_t& fromPort, bool* truncated)
{
    got = 0;
    if (truncated)
        *truncated = false;
    sockaddr_in sa{};
    socklen_t len = sizeof sa;
    // MSG_TRUNC: the result is the datagram's real length.
    ssize_t n = ::recvfrom(m_fd, buffer, capacity, MSG_TRUNC, reinterpret_cast<sockaddr*>(&sa), &len);
    if (n < 0)
        return IoFailure(errno);
    got = std::min(static_cast<size_t>(n), capacity);
    if (truncated)
        *truncated = static_cast<size_t>(n) > capacity;
    std::memcpy(fromAddress.data(), &sa.sin_addr.s_addr, 4);
    fromPort = ntohs(sa.sin_port);
    return IoStatus::Ok;
}

void UdpSocket::Close()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

} // namespace sys
