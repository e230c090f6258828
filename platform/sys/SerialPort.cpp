#include "platform/sys/SerialPort.h"

#include "platform/sys/Descriptor.h"
#include "platform/sys/LastError.h"

// The kernel's termios2 (arbitrary rates); <termios.h> would clash with it,
// so every terminal call here goes through ioctl.
#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <cctype>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <unistd.h>
#include <dirent.h>

#include <algorithm>

namespace sys {

namespace {

struct RateCode
{
    uint32_t rate;
    tcflag_t code;
};

constexpr RateCode kRates[] = {
    {50, B50},         {75, B75},         {110, B110},       {134, B134},
    {150, B150},       {200, B200},       {300, B300},       {600, B600},
    {1200, B1200},     {1800, B1800},     {2400, B2400},     {4800, B4800},
    {9600, B9600},     {19200, B19200},   {38400, B38400},   {57600, B57600},
    {115200, B115200}, {230400, B230400}, {460800, B460800}, {500000, B500000},
    {576000, B576000}, {921600, B921600}, {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000},
};

bool Fail()
{
    SetLastErrorFromErrno();
    return false;
}

} // namespace

SerialPort::~SerialPort() { Close(); }

std::string SerialPort::DevicePath(std::string_view name)
{
    if (name.size() > 3 && (name[0] == 'c' || name[0] == 'C') && (name[1] == 'o' || name[1] == 'O')
        && (name[2] == 'm' || name[2] == 'M')) {
        std::string_view digits = name.substr(3);
        bool allDigits = digits.size() <= 9;
        for (char c : digits)
            allDigits = allDigits && c >= '0' && c <= '9';
        if (allDigits) {
            unsigned long n = 0;
            for (char c : digits)
                n = n * 10 + static_cast<unsigned long>(c - '0');
            if (n >= 1)
                return "/dev/ttyS" + std::to_string(n - 1);
        }
    }
    return std::string(name);
}

bool SerialPort::Open(std::string_view name)
{
    Close();
    const std::string path = DevicePath(name);
    if (path.empty()) {
        SetLastError(ENOENT);
        return false;
    }
    int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return Fail();
    auto undo = [fd](int err) { return CloseFailedOpen(fd, err); };
    // A device that is not a terminal is no serial port.
    struct termios2 t {};
    if (::ioctl(fd, TCGETS2, &t) != 0)
        return undo(errno);
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
        return undo(errno == EWOULDBLOCK ? EBUSY : errno);
    if (::ioctl(fd, TIOCEXCL) != 0)
        return undo(errno);
    if (::ioctl(fd, TCFLSH, TCIOFLUSH) != 0)
        return undo(errno);
    m_fd = fd;
    return true;
}

bool SerialPort::Configure(const SerialSettings& s)
{
    if (m_fd < 0) {
        SetLastError(EBADF);
        return false;
    }
    if (s.baud == 0 || s.dataBits < 5 || s.dataBits > 8 || s.stopBits < 1 || s.stopBits > 2) {
        SetLastError(EINVAL);
        return false;
    }
    struct termios2 t {};
    if (::ioctl(m_fd, TCGETS2, &t) != 0)
        return Fail();
    t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL
                                        | IXON | IXOFF | IXANY | INPCK | IUCLC | IMAXBEL);
    t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS | CBAUD
                                        | (CBAUD << IBSHIFT));
    static constexpr tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
    t.c_cflag |= kSizes[s.dataBits - 5] | CREAD | CLOCAL;
    if (s.parity != Parity::None)
        t.c_cflag |= PARENB | (s.parity == Parity::Odd ? PARODD : 0);
    if (s.stopBits == 2)
        t.c_cflag |= CSTOPB;
    tcflag_t code = BOTHER;
    for (const auto& r : kRates) {
        if (r.rate == s.baud)
            code = r.code;
    }
    t.c_cflag |= code; // the input rate follows the output rate
    t.c_ispeed = s.baud;
    t.c_ospeed = s.baud;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    if (::ioctl(m_fd, TCSETS2, &t) != 0)
        return Fail();
    // The driver may round or refuse a rate without telling; read it back.
    struct termios2 back {};
    if (::ioctl(m_fd, TCGETS2, &back) != 0)
        return Fail();
    if (back.c_ospeed != 0 && code == BOTHER) {
        uint32_t got = back.c_ospeed;
        uint32_t diff = got > s.baud ? got - s.baud : s.baud - got;
        if (diff * 50 > s.baud) { // more than 2 % off
            SetLastError(EINVAL);
            return false;
        }
    }
    return true;
}

bool SerialPort::SetDtr(bool on)
{
    int bits = TIOCM_DTR;
    if (::ioctl(m_fd, on ? TIOCMBIS : TIOCMBIC, &bits) != 0)
        return Fail();
    return true;
}

bool SerialPort::SetRts(bool on)
{
    int bits = TIOCM_RTS;
    if (::ioctl(m_fd, on ? TIOCMBIS : TIOCMBIC, &bits) != 0)
        return Fail();
    return true;
}

bool SerialPort::Flush()
{
    if (::ioctl(m_fd, TCFLSH, TCIOFLUSH) != 0)
        return Fail();
    return true;
}

IoStatus SerialPort::Read(void* buffer, size_t capacity, size_t& got)
{
    got = 0;
    ssize_t n = ::read(m_fd, buffer, capacity);
    if (n < 0)
        return IoFailure(errno);
    if (n == 0) {
        // Raw mode with VMIN 0 reads 0 both when nothing is there and after
        // a hang-up (an unplugged adapter, a closed pseudo-terminal master).
        pollfd pfd{m_fd, POLLIN, 0};
        if (::poll(&pfd, 1, 0) == 1 && (pfd.revents & (POLLHUP | POLLERR | POLLNVAL))) {
            SetLastError(EIO);
            return IoStatus::Failed;
        }
        return IoStatus::WouldBlock;
    }
    got = static_cast<size_t>(n);
    return IoStatus::Ok;
}

IoStatus SerialPort::Write(const void* data, size_t size, size_t& written)
{
    written = 0;
    ssize_t n = ::write(m_fd, data, size);
    if (n < 0)
        return IoFailure(errno);
    if (n == 0 && size > 0)
        return IoStatus::WouldBlock;
    written = static_cast<size_t>(n);
    return IoStatus::Ok;
}

int SerialPort::OutputQueue() const
{
    int queued = 0;
    if (m_fd < 0 || ::ioctl(m_fd, TIOCOUTQ, &queued) != 0)
        return -1;
    return queued;
}

void SerialPort::Close()
{
    if (m_fd >= 0) {
        ::ioctl(m_fd, TIOCNXCL);
        ::close(m_fd); // also drops the flock
        m_fd = -1;
    }
}

bool SerialPort::QueryLineState(int fd, SerialLineState& out)
{
    struct termios2 t {};
    if (::ioctl(fd, TCGETS2, &t) != 0)
        return Fail();
    out = {};
    out.arbitraryRate = (t.c_cflag & CBAUD) == BOTHER;
    out.baud = t.c_ospeed;
    if (!out.arbitraryRate) {
        for (const auto& r : kRates) {
            if ((t.c_cflag & CBAUD) == r.code)
                out.baud = r.rate;
        }
    }
    switch (t.c_cflag & CSIZE) {
    case CS5: out.dataBits = 5; break;
    case CS6: out.dataBits = 6; break;
    case CS7: out.dataBits = 7; break;
    default: out.dataBits = 8; break;
    }
    out.parity = !(t.c_cflag & PARENB) ? Parity::None
                                       : (t.c_cflag & PARODD) ? Parity::Odd : Parity::Even;
    out.stopBits = (t.c_cflag & CSTOPB) ? 2 : 1;
    out.hardwareFlow = (t.c_cflag & CRTSCTS) != 0;
    out.softwareFlow = (t.c_iflag & (IXON | IXOFF)) != 0;
    out.raw = !(t.c_lflag & (ICANON | ECHO | ECHONL | ISIG | IEXTEN)) && !(t.c_oflag & OPOST)
              && !(t.c_iflag & (ICRNL | INLCR | IGNCR | ISTRIP | BRKINT | PARMRK));
    out.receiverOn = (t.c_cflag & CREAD) != 0;
    out.modemLinesIgnored = (t.c_cflag & CLOCAL) != 0;
    out.vmin = t.c_cc[VMIN];
    out.vtime = t.c_cc[VTIME];
    return true;
}

} // namespace sys

namespace sys {

PortProbe ProbeSerialPort(const std::string& nativePath)
{
    const int fd = ::open(nativePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    auto busyOrAbsent = [](int err) {
        SetLastError(uint32_t(err));
        return err == EBUSY || err == EWOULDBLOCK || err == EACCES || err == EPERM ? PortProbe::Busy
                                                                                    : PortProbe::Absent;
    };
    if (fd < 0)
        return busyOrAbsent(errno);
    PortProbe result = PortProbe::Free;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        result = busyOrAbsent(errno);
    } else {
        struct termios2 t {};
        if (::ioctl(fd, TCGETS2, &t) != 0)
            result = busyOrAbsent(errno);
    }
    ::close(fd); // also drops the flock
    return result;
}

std::vector<SerialCandidate> SerialPortCandidates()
{
    std::vector<SerialCandidate> out;
    for (int n = 1; n <= 16; ++n)
        out.push_back({"Com" + std::to_string(n), "/dev/ttyS" + std::to_string(n - 1)});
    std::vector<std::string> more;
    if (DIR* d = ::opendir("/dev")) {
        while (const dirent* e = ::readdir(d)) {
            const std::string name = e->d_name;
            if (name.rfind("ttyUSB", 0) == 0 || name.rfind("ttyACM", 0) == 0)
                more.push_back("/dev/" + name);
        }
        ::closedir(d);
    }
    std::sort(more.begin(), more.end());
    for (auto& p : more)
        out.push_back({p, p});
    return out;
}

} // namespace sys
