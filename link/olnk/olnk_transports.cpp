// The serial and UDP transports of a link channel and the opens by
// connection string.  See "Transports" in docs/link-protocol.md.
#include "link/olnk/olnk_open.h"

#include "link/olnk/olnk_internal.h"
#include "link/olnk/olnk_transport.h"
#include "platform/sys/LastError.h"
#include "platform/sys/SerialPort.h"
#include "platform/sys/Sync.h"
#include "platform/sys/UdpSocket.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <memory>
#include <new>
#include <poll.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;
using std::chrono::nanoseconds;

constexpr size_t kSerialReadChunk = 4096;
constexpr size_t kUdpBufferSize = 2176;
constexpr int kUdpSocketBuffers = 1 << 20;
constexpr auto kUdpIdle = milliseconds(500);
constexpr auto kErrorPause = milliseconds(100);
constexpr int kMaxDatagramsPerWake = 256;

// Milliseconds from now until t, rounded up, at least 0.
int MsUntil(Clock::time_point t, Clock::time_point now)
{
    if (t <= now)
        return 0;
    auto ns = std::chrono::duration_cast<nanoseconds>(t - now).count();
    return static_cast<int>(std::min<int64_t>((ns + 999999) / 1000000, 60000));
}

// One turn of a transport's loop ended: a gap of more than OLNK_PAUSE_MS
// since the previous one (the thread's waits are far shorter) means this
// side did not run, a stopped process or a suspended machine.
void NoteTurn(OlnkChannel ch, Clock::time_point& lastTurn)
{
    const Clock::time_point now = Clock::now();
    if (now - lastTurn > milliseconds(OLNK_PAUSE_MS))
        OlnkResumedAfterPause(ch);
    lastTurn = now;
}

// What the opener and the I/O thread share.
struct IoBase
{
    OlnkChannel ch = nullptr;
    sys::Event started{false, false};
    uint32_t startError = 0;

    // A failed wait: the thread's error, the stop flag, the end.
    uint32_t FailWait(int err)
    {
        ch->stop = true;
        return static_cast<uint32_t>(err);
    }

    // Sizes the I/O thread's receive and frame buffers.  When memory runs
    // out it tells the opener (OLNK_E_OUTOFMEMORY in startError) and returns
    // false: the thread then ends with startError.
    bool AllocateBuffers(std::vector<uint8_t>& rx, size_t rxSize, std::vector<uint8_t>& frame)
    {
        try {
            rx.resize(rxSize);
            frame.resize(OLNK_MAX_FRAME);
        } catch (const std::bad_alloc&) {
            startError = OLNK_E_OUTOFMEMORY;
            started.Set();
            return false;
        }
        return true;
    }
};

struct SerialIo : IoBase
{
    sys::SerialPort port;
    uint32_t baud = 0;
};

struct UdpIo : IoBase
{
    sys::UdpSocket socket;
    sys::Ipv4Address remote{};
    uint16_t remotePort = 0;
};

// ---- Serial -------------------------------------------------------------------

uint32_t OlnkSerialThread(SerialIo& io)
{
    OlnkChannel ch = io.ch;
    std::vector<uint8_t> readBuf, frame;
    if (!io.AllocateBuffers(readBuf, kSerialReadChunk, frame))
        return io.startError;
    io.started.Set();

    // Line time of one byte: start bit, 8 data bits, 2 stop bits.
    const double byteNs = 11.0 * 1e9 / static_cast<double>(io.baud);
    Clock::time_point due = Clock::now();   // the line is free from here on
    Clock::time_point pauseUntil{};         // back-off after a port failure
    size_t pendingLen = 0, pendingOff = 0;  // the frame being written
    size_t lastFrameLen = 0;
    const int portFd = io.port.Fd();
    const int eventFd = OlnkGetSendEventFd(ch);

    auto portFailed = [&] {
        OlnkAddProgramErr(ch);
        pauseUntil = Clock::now() + kErrorPause;
    };

    Clock::time_point lastTurn = Clock::now();
    while (!OlnkStopRequested(ch)) {
        Clock::time_point now = Clock::now();
        const bool paused = now < pauseUntil;
        int timeout = -1;

        if (!paused) {
            // Write what is due; take the next frame once the line has sent
            // the earlier output.
            for (;;) {
                if (pendingLen == 0) {
                    if (now < due) {
                        timeout = MsUntil(due, now);
                        break;
                    }
                    int queued = io.port.OutputQueue();
                    if (queued > 0 && static_cast<size_t>(queued) > lastFrameLen) {
                        timeout = 2;
                        break;
                    }
                    uint16_t len = 0;
                    OlnkNextFrame(ch, frame.data(), &len, OlnkFrameMode::Idle);
                    if (len == 0) {
                        timeout = 10;
                        break;
                    }
                    pendingLen = len;
                    pendingOff = 0;
                }
                size_t written = 0;
                sys::IoStatus s = io.port.Write(frame.data() + pendingOff, pendingLen - pendingOff,
                                                written);
                if (s == sys::IoStatus::WouldBlock)
                    break; // poll for POLLOUT
                if (s == sys::IoStatus::Failed) {
                    pendingLen = 0; // go on with the next frame after the pause
                    portFailed();
                    break;
                }
                OlnkAddSendBytes(ch, written);
                now = Clock::now();
                due = std::max(due, now)
                      + nanoseconds(static_cast<int64_t>(byteNs * static_cast<double>(written)));
                pendingOff += written;
                if (pendingOff == pendingLen) {
                    lastFrameLen = pendingLen;
                    pendingLen = 0;
                }
            }
        }

        now = Clock::now();
        const bool portPaused = now < pauseUntil;
        if (portPaused)
            timeout = MsUntil(pauseUntil, now);
        pollfd fds[2] = {{eventFd, POLLIN, 0}, {portPaused ? -1 : portFd, 0, 0}};
        if (!portPaused)
            fds[1].events = static_cast<short>(POLLIN | (pendingLen ? POLLOUT : 0));
        int r = ::poll(fds, 2, timeout);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            return io.FailWait(errno);
        }
        if (fds[0].revents & POLLIN)
            OlnkTakeSendEvent(ch);
        if (!portPaused && (fds[1].revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL))) {
            for (;;) {
                size_t got = 0;
                sys::IoStatus s = io.port.Read(readBuf.data(), readBuf.size(), got);
                if (s == sys::IoStatus::Ok) {
                    OlnkReceiveBytes(ch, {readBuf.data(), got});
                    OlnkAddRecBytes(ch, got);
                    if (got < readBuf.size())
                        break;
                    continue;
                }
                if (s == sys::IoStatus::Failed)
                    portFailed();
                break;
            }
        }
        NoteTurn(ch, lastTurn);
        OlnkCheckConnectTimeout(ch);
        OlnkCheckStall(ch);
    }
    return 0;
}

// ---- UDP ------------------------------------------------------------------------

uint32_t OlnkUdpThread(UdpIo& io)
{
    OlnkChannel ch = io.ch;
    std::vector<uint8_t> rxBuf, frame;
    if (!io.AllocateBuffers(rxBuf, kUdpBufferSize, frame))
        return io.startError;
    // One step below normal priority where the system allows.
    errno = 0;
    int nice = ::getpriority(PRIO_PROCESS, static_cast<id_t>(::syscall(SYS_gettid)));
    if (errno == 0)
        ::setpriority(PRIO_PROCESS, static_cast<id_t>(::syscall(SYS_gettid)), nice + 1);
    io.started.Set();

    const int sockFd = io.socket.Fd();
    const int eventFd = OlnkGetSendEventFd(ch);
    Clock::time_point lastTx = Clock::now();
    Clock::time_point lastTurn = lastTx;
    uint16_t pendingLen = 0; // a frame the socket had no room for

    // Sends frame[0, len): true when it went (or failed for good).
    auto sendFrame = [&](uint16_t len) {
        sys::IoStatus s = io.socket.SendTo(frame.data(), len, io.remote, io.remotePort);
        if (s == sys::IoStatus::WouldBlock) {
            pendingLen = len;
            return false;
        }
        pendingLen = 0;
        // A failed datagram counts as this side's transmission for the idle
        // cadence: a send that keeps failing is retried on the idle turns,
        // not in a busy loop.
        lastTx = Clock::now();
        if (s == sys::IoStatus::Failed)
            OlnkAddProgramErr(ch); // go-back-N sends it again later
        else
            OlnkAddSendBytes(ch, len);
        return true;
    };

    while (!OlnkStopRequested(ch)) {
        Clock::time_point now = Clock::now();
        pollfd fds[2] = {{eventFd, POLLIN, 0},
                         {sockFd, static_cast<short>(POLLIN | (pendingLen ? POLLOUT : 0)), 0}};
        int r = ::poll(fds, 2, MsUntil(lastTx + kUdpIdle, now));
        if (r < 0) {
            if (errno == EINTR)
                continue;
            return io.FailWait(errno);
        }
        if (fds[0].revents & POLLIN)
            OlnkTakeSendEvent(ch);
        if (OlnkStopRequested(ch))
            break;

        if (fds[1].revents & (POLLIN | POLLERR)) {
            for (int i = 0; i < kMaxDatagramsPerWake; ++i) {
                size_t got = 0;
                sys::Ipv4Address from{};
                uint16_t fromPort = 0;
                bool truncated = false;
                sys::IoStatus s = io.socket.ReceiveFrom(rxBuf.data(), rxBuf.size(), got, from,
                                                        fromPort, &truncated);
                if (s == sys::IoStatus::WouldBlock)
                    break;
                if (s == sys::IoStatus::Failed) {
                    OlnkAddProgramErr(ch);
                    break;
                }
                if (from != io.remote || fromPort != io.remotePort)
                    continue; // not from our peer: ignored, not counted
                OlnkReceiveDatagram(ch, {rxBuf.data(), got}, truncated);
                OlnkAddRecBytes(ch, got);
            }
        }

        if (pendingLen == 0 || sendFrame(pendingLen)) {
            // The idle turn is due 500 ms after this side's last datagram.
            bool idleDue = Clock::now() >= lastTx + kUdpIdle;
            for (;;) {
                OlnkFrameMode mode = OlnkFrameMode::None;
                if (OlnkTakeAckNeeded(ch))
                    mode = OlnkFrameMode::Ack;
                else if (idleDue)
                    mode = OlnkFrameMode::Idle;
                uint16_t len = 0;
                OlnkNextFrame(ch, frame.data(), &len, mode);
                if (len == 0 || !sendFrame(len))
                    break;
                idleDue = false;
            }
        }
        NoteTurn(ch, lastTurn);
        OlnkCheckConnectTimeout(ch);
        OlnkCheckStall(ch);
    }
    return 0;
}

// ---- Opening, common part ----------------------------------------------------------

OlnkChannelOptions ChannelOptions(const OlnkOpenOptions& o, uint8_t kind, uint8_t mode)
{
    OlnkChannelOptions c;
    c.passive = o.passive;
    c.clock = o.clock;
    c.transportKind = kind;
    c.udpMode = mode;
    return c;
}

// Creates the channel, hands the transport state to it (freed by its close
// hook after the thread ended), starts the thread and waits for its start.
template <typename Io>
OlnkChannel StartChannel(std::unique_ptr<Io> io, uint8_t window,
                         std::span<const uint8_t> connectData, const OlnkChannelOptions& options,
                         uint32_t (*body)(Io&))
{
    OlnkChannel ch = OlnkCreateChannel(window, connectData, options);
    if (!ch)
        return nullptr; // the port or socket closes with io
    io->ch = ch;
    Io* raw = io.release();
    OlnkSetCloseHook(ch, [raw] { delete raw; });
    if (!OlnkStartIoThread(ch, [raw, body] { return body(*raw); })) {
        uint32_t err = sys::GetLastError();
        OlnkCloseChannel(ch);
        sys::SetLastError(err);
        return nullptr;
    }
    sys::WaitFor(raw->started);
    if (uint32_t err = raw->startError) {
        OlnkCloseChannel(ch); // joins the ended thread, frees io, the channel
        sys::SetLastError(err);
        return nullptr;
    }
    return ch;
}

} // namespace

OlnkChannel OlnkOpenSerial(uint8_t window, const char* portName, uint32_t baud,
                           std::span<const uint8_t> connectData, const OlnkOpenOptions& options)
{
    if (!portName || baud == 0 || window < 1 || window > OLNK_MAX_WINDOW
        || connectData.size() > OLNK_MAX_DATA) {
        sys::SetLastError(OLNK_E_INVALIDARG);
        return nullptr;
    }
    std::unique_ptr<SerialIo> io(new (std::nothrow) SerialIo);
    if (!io) {
        sys::SetLastError(OLNK_E_OUTOFMEMORY);
        return nullptr;
    }
    io->baud = baud;
    if (!io->port.Open(portName) || !io->port.Configure({baud, 8, sys::Parity::None, 2}))
        return nullptr; // errno code left by the port
    // DTR on, RTS off; pseudo-terminals refuse both, which does no harm.
    io->port.SetDtr(true);
    io->port.SetRts(false);
    return StartChannel(std::move(io), window, connectData, ChannelOptions(options, 0, 0),
                        &OlnkSerialThread);
}

OlnkChannel OlnkOpenUdp(uint8_t window, uint8_t mode, const std::array<uint8_t, 4>& remoteAddress,
                        uint16_t remotePort, uint16_t localPort,
                        std::span<const uint8_t> connectData, const OlnkOpenOptions& options)
{
    if (window < 1 || window > OLNK_MAX_WINDOW || connectData.size() > OLNK_MAX_DATA
        || mode > OLNK_MODE_BOTH) {
        sys::SetLastError(OLNK_E_INVALIDARG);
        return nullptr;
    }
    std::unique_ptr<UdpIo> io(new (std::nothrow) UdpIo);
    if (!io) {
        sys::SetLastError(OLNK_E_OUTOFMEMORY);
        return nullptr;
    }
    if (!io->socket.Open(localPort))
        return nullptr; // errno code left by the socket
    io->socket.SetBufferSizes(kUdpSocketBuffers, kUdpSocketBuffers); // best effort
    io->remote = remoteAddress;
    io->remotePort = remotePort;
    return StartChannel(std::move(io), window, connectData, ChannelOptions(options, 1, mode),
                        &OlnkUdpThread);
}

OlnkChannel OlnkOpenChannel(const OlnkConnectionParams& p, std::span<const uint8_t> connectData,
                            const OlnkOpenOptions& options)
{
    if (p.type == OlnkLinkType::Serial) {
        if (p.portUnrepresentable) {
            sys::SetLastError(ENOENT); // no device can have that name
            return nullptr;
        }
        if (p.baud <= 0) {
            sys::SetLastError(OLNK_E_INVALIDARG);
            return nullptr;
        }
        return OlnkOpenSerial(p.window, p.port.c_str(), static_cast<uint32_t>(p.baud),
                              connectData, options);
    }
    return OlnkOpenUdp(p.window, p.mode, p.remoteAddress, p.remotePort, p.localPort, connectData,
                       options);
}

OlnkChannel OlnkOpenChannelA(const char* connectionString, std::span<const uint8_t> connectData,
                             const OlnkOpenOptions& options)
{
    OlnkConnectionParams p;
    std::string reason;
    if (!OlnkParseConnectionStringA(connectionString ? connectionString : "", p, &reason)) {
        OlnkDebugPrint("olnk: bad connection string: %s\n", reason.c_str());
        sys::SetLastError(OLNK_E_INVALIDARG);
        return nullptr;
    }
    return OlnkOpenChannel(p, connectData, options);
}

OlnkChannel OlnkOpenChannelW(const char16_t* connectionString,
                             std::span<const uint8_t> connectData, const OlnkOpenOptions& options)
{
    OlnkConnectionParams p;
    std::string reason;
    if (!OlnkParseConnectionStringW(connectionString ? connectionString : u"", p, &reason)) {
        OlnkDebugPrint("olnk: bad connection string: %s\n", reason.c_str());
        sys::SetLastError(OLNK_E_INVALIDARG);
        return nullptr;
    }
    return OlnkOpenChannel(p, connectData, options);
}

bool COlnkChannel::Open(const char16_t* connectionString, std::span<const uint8_t> connectData)
{
    if (m_ch) {
        sys::SetLastError(OLNK_E_HANDLE);
        return false;
    }
    m_ch = OlnkOpenChannelW(connectionString, connectData);
    return m_ch != nullptr;
}
