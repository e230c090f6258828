#pragma once
// Change notifications for folders (inotify), with a stop signal that
// another thread can raise, for the editor's file-change monitor.  One
// object belongs to one waiting thread; Stop() may be called from any
// thread.

#include <cstdint>
#include <string>
#include <vector>

namespace sys {

class FileWatch
{
public:
    FileWatch();
    ~FileWatch();
    FileWatch(const FileWatch&) = delete;
    FileWatch& operator=(const FileWatch&) = delete;

    // False when the notification or the stop descriptor could not be made.
    bool IsOpen() const { return m_inotify >= 0 && m_stop >= 0; }

    // The inotify mask for a filter word of the monitor: 0x1 file names,
    // 0x2 folder names, 0x4 and 0x100 attributes, 0x8 size, 0x10 last
    // write, 0x20 last access, 0x40 creation; deletion and moving of the
    // folder itself are always watched.
    static uint32_t MaskForFilter(uint32_t filter);

    // Watches a folder (native path); the watch id, or -1 (errno set).
    int Add(const std::string& nativeFolder, uint32_t mask);
    void Remove(int watchId);

    // Put into fired by Wait when the kernel's event queue overflowed and
    // events were lost.
    static constexpr int kOverflow = -1;

    enum class Result { Events, Stopped, Timeout, Error };
    // Waits up to timeoutMs (-1 = no limit) for events or the stop signal;
    // the ids of the watches that had events are added to fired (a watch
    // whose folder went away reports its id too).  The stop signal stays
    // raised until ResetStop().
    Result Wait(int timeoutMs, std::vector<int>& fired);
    void Stop();       // any thread
    // Sleeps ms unless the stop signal is (or gets) raised; false then.
    bool SleepUnlessStopped(int ms);
    void ResetStop();

private:
    int m_inotify = -1;
    int m_stop = -1;  // eventfd
};

} // namespace sys
