#pragma once
// Result of a non-blocking read or write of the port and socket wrappers.

#include <cstdint>

namespace sys {

enum class IoStatus : uint8_t {
    Ok,
    WouldBlock, // nothing to read, or no room to write; try after poll()
    Failed,     // the errno code is in the thread's last error
};

} // namespace sys
