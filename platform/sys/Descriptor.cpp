#include "platform/sys/Descriptor.h"

#include "platform/sys/LastError.h"

#include <cerrno>
#include <cstdint>
#include <unistd.h>

namespace sys {

IoStatus IoFailure(int err)
{
    if (err == EAGAIN || err == EWOULDBLOCK || err == EINTR)
        return IoStatus::WouldBlock;
    SetLastError(static_cast<uint32_t>(err));
    return IoStatus::Failed;
}

bool CloseFailedOpen(int fd, int err)
{
    ::close(fd);
    SetLastError(static_cast<uint32_t>(err));
    return false;
}

} // namespace sys
