#pragma once
// Pseudo-terminals and free ports for the tests of the serial and UDP
// wrappers and the link transports.

#include "tools/linkshim/PtyPair.h"

#include <cstdint>
#include <string>

namespace testsupport {

// A pseudo-terminal pair in raw mode (tools/linkshim/PtyPair.h) that fails
// the current test (ADD_FAILURE) when no pair is available.
class PtyPair : public linkshim::PtyPair
{
public:
    PtyPair();
};

// A UDP port of 127.0.0.1 that was free a moment ago (chosen by the system,
// so tests running side by side do not collide).
uint16_t PickFreeUdpPort();

} // namespace testsupport
