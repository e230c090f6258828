#pragma once
// Failure handling shared by the descriptor wrappers (SerialPort, UdpSocket).

#include "platform/sys/IoStatus.h"

namespace sys {

// The status of a failed non-blocking read or write with errno value err:
// WouldBlock for EAGAIN, EWOULDBLOCK and EINTR; otherwise Failed, with err
// in the thread's last error.
IoStatus IoFailure(int err);

// Closes a descriptor given up while opening, leaves err in the thread's
// last error and returns false.
bool CloseFailedOpen(int fd, int err);

} // namespace sys
