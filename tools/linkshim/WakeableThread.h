#pragma once
// The worker thread of a relay or bridge that sleeps in poll(): a
// non-blocking pipe whose read end the thread polls wakes it, for a stop
// request or for any other request the owner makes.

#include <atomic>
#include <functional>
#include <thread>

namespace linkshim {

class WakeableThread
{
public:
    WakeableThread(); // opens the wake pipe
    ~WakeableThread();
    WakeableThread(const WakeableThread&) = delete;
    WakeableThread& operator=(const WakeableThread&) = delete;

    bool PipeOk() const { return m_wake[0] >= 0; }
    void Start(std::function<void()> run);
    bool Running() const { return m_thread.joinable(); }
    bool StopRequested() const { return m_stop; }
    // The read end, for the thread's poll().
    int WakeFd() const { return m_wake[0]; }
    void Wake();
    // Takes every wake byte (the thread, once WakeFd is readable).
    void Drain();
    // Asks the thread to stop, wakes it, joins it and closes the pipe.
    void Stop();

private:
    std::atomic<bool> m_stop{false};
    int m_wake[2] = {-1, -1};
    std::thread m_thread;
};

} // namespace linkshim
