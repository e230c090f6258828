#pragma once
// The deadline wait of the tests without an event loop: for the state of
// another thread or process that gives no notification of its own.

#include <chrono>
#include <functional>
#include <thread>

namespace testsupport {

// Checks pred until it holds (true) or timeoutMs have passed (false).
inline bool WaitUntil(const std::function<bool()>& pred, int timeoutMs = 10000)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!pred()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        // The poll step of the deadline: nothing wakes this thread when
        // pred turns true, so it looks again after a short pause.
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

} // namespace testsupport
