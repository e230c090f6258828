#pragma once
// A serial port for the link's serial transport: exclusive, raw,
// non-blocking, any baud rate.  Failures return false (or IoStatus::Failed)
// and leave the errno code in the thread's last error (sys::GetLastError).

#include "platform/sys/IoStatus.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace sys {

enum class Parity : uint8_t { None, Odd, Even };

struct SerialSettings
{
    uint32_t baud = 115200; // any positive rate
    uint8_t dataBits = 8;   // 5 to 8
    Parity parity = Parity::None;
    uint8_t stopBits = 1;   // 1 or 2
};

// The line settings as the driver reports them (for checks and tests).
struct SerialLineState
{
    uint32_t baud = 0;           // output rate
    bool arbitraryRate = false;  // set through the arbitrary-rate interface
    uint8_t dataBits = 0;
    Parity parity = Parity::None;
    uint8_t stopBits = 0;
    bool hardwareFlow = false;   // RTS/CTS
    bool softwareFlow = false;   // XON/XOFF in either direction
    bool raw = false;            // no canonical mode, echo, signals, output or input processing
    bool receiverOn = false;
    bool modemLinesIgnored = false;
    uint8_t vmin = 0, vtime = 0;
};

class SerialPort
{
public:
    SerialPort() = default;
    ~SerialPort();
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    // "COM<N>" (any case, N >= 1 decimal) -> "/dev/ttyS<N-1>"; every other
    // name is a device path exactly as given.
    static std::string DevicePath(std::string_view name);

    // Opens read/write, not as controlling terminal, non-blocking,
    // close-on-exec, exclusive (TIOCEXCL and a non-blocking flock; a port in
    // use fails with EBUSY), and flushes both queues.
    bool Open(std::string_view name);
    bool IsOpen() const { return m_fd >= 0; }
    // Raw mode with the given line settings, no flow control, receiver on,
    // modem lines ignored, reads return what is available.  A rate without
    // a standard constant goes through the arbitrary-rate interface.
    bool Configure(const SerialSettings& settings);
    bool SetDtr(bool on);
    bool SetRts(bool on);
    // Discards both queues.
    bool Flush();

    // Ok with got > 0, WouldBlock when nothing is available, Failed (for
    // example EIO after a hang-up).
    IoStatus Read(void* buffer, size_t capacity, size_t& got);
    // Ok with written >= 1 (maybe fewer than size), WouldBlock, Failed.
    IoStatus Write(const void* data, size_t size, size_t& written);

    // Bytes still in the driver's output queue, or -1 when it does not say.
    int OutputQueue() const;
    int Fd() const { return m_fd; }
    void Close();

    // Reads the line settings of any terminal descriptor.
    static bool QueryLineState(int fd, SerialLineState& out);

private:
    int m_fd = -1;
};

// Whether a serial port is there and free: opened read/write, not as
// controlling terminal, non-blocking, with a non-blocking flock, then
// closed at once; the line settings are never changed.  Free: opened,
// locked and a terminal.  Busy: EBUSY, EWOULDBLOCK, EACCES or EPERM.
// Absent: anything else (the errno value stays in the last error).
enum class PortProbe : uint8_t { Free, Busy, Absent };
PortProbe ProbeSerialPort(const std::string& nativePath);

// A port to offer: its name in connection strings ("Com3" or the device
// path) and the device path.
struct SerialCandidate
{
    std::string name;
    std::string path;
};
// "Com1" to "Com16" (/dev/ttyS0 to /dev/ttyS15), then every /dev/ttyUSB*
// and /dev/ttyACM* in name order.
std::vector<SerialCandidate> SerialPortCandidates();

} // namespace sys
