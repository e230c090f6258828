#include "core/compout/BufferedFileReader.h"

#include "platform/sys/FileIO.h"
#include "platform/sys/WinPath.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace compout {

CBufferedFileReader::CBufferedFileReader() = default;

CBufferedFileReader::~CBufferedFileReader()
{
    Close();
}

bool CBufferedFileReader::Open(std::u16string_view path)
{
    Close();
    auto native = sys::WinPath::ToNative(path);
    if (!native) {
        m_error = "invalid path";
        return false;
    }
    return OpenNative(*native);
}

bool CBufferedFileReader::OpenNative(const std::string& nativePath)
{
    Close();
    m_error.clear();
    uint64_t size = 0;
    const int fd = sys::OpenForReading(nativePath, size);
    if (fd < 0) {
        m_error = errno == EISDIR ? std::string("cannot open the file: it is a folder")
                                  : std::string("cannot open the file: ") + std::strerror(errno);
        return false;
    }
    m_fd = fd;
    m_size = size;
    if (m_buffer.size() != kBufferSize)
        m_buffer.resize(kBufferSize);
    m_readErrno = 0;
    StartOver();
    return true;
}

void CBufferedFileReader::Close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_pos = m_len = 0;
    m_eof = m_atEnd = false;
}

bool CBufferedFileReader::Rewind()
{
    if (m_fd < 0)
        return Fail("the file is not open");
    if (::lseek(m_fd, 0, SEEK_SET) != 0)
        return Fail(std::string("cannot rewind the file: ") + std::strerror(errno));
    StartOver();
    return true;
}

void CBufferedFileReader::StartOver()
{
    m_pos = m_len = 0;
    m_eof = m_atEnd = false;
    m_consumed = 0;
    m_currentLine = 1;
    m_lineNumber = 0;
}

uint64_t CBufferedFileReader::RemainingBytes() const
{
    const uint64_t read = m_consumed + m_pos;
    return read < m_size ? m_size - read : 0;
}

int CBufferedFileReader::Refill()
{
    if (m_eof || m_fd < 0)
        return kEnd;
    m_consumed += m_len;
    m_pos = m_len = 0;
    ssize_t n;
    do {
        n = ::read(m_fd, m_buffer.data(), m_buffer.size());
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
        m_readErrno = errno;
        return kFail;
    }
    if (n == 0) {
        m_eof = true;
        return kEnd;
    }
    m_len = static_cast<size_t>(n);
    return static_cast<unsigned char>(m_buffer[m_pos++]);
}

bool CBufferedFileReader::Fail(std::string reason)
{
    m_error = std::move(reason);
    return false;
}

bool CBufferedFileReader::ReadFailed()
{
    return Fail(std::string("read error: ") + std::strerror(m_readErrno));
}

bool CBufferedFileReader::ExpectLf()
{
    const int c = GetChar();
    if (c == '\n') {
        ++m_currentLine;
        return true;
    }
    if (c == kFail)
        return ReadFailed();
    return Fail("CR not followed by LF");
}

bool CBufferedFileReader::ReadRest(std::string& line, int c)
{
    for (;;) {
        // Fast path: copy the run up to the next CR straight from the buffer.
        if (c >= 0 && c != '\r') {
            if (line.size() >= kMaxLineLength)
                return Fail("line longer than 999 characters");
            line.push_back(static_cast<char>(c));
            const char* start = m_buffer.data() + m_pos;
            const size_t avail = m_len - m_pos;
            const void* cr = std::memchr(start, '\r', avail);
            const size_t run = cr ? static_cast<size_t>(static_cast<const char*>(cr) - start) : avail;
            if (line.size() + run > kMaxLineLength)
                return Fail("line longer than 999 characters");
            line.append(start, run);
            m_pos += run;
            c = GetChar();
            continue;
        }
        if (c == '\r')
            return ExpectLf();
        if (c == kEnd)
            return true;  // the last line, ended by the end of the file
        return ReadFailed();
    }
}

bool CBufferedFileReader::ReadMapLine(std::string& line)
{
    return ReadLine(line, true);
}

bool CBufferedFileReader::ReadListingLine(std::string& line)
{
    return ReadLine(line, false);
}

bool CBufferedFileReader::ReadLine(std::string& line, bool mapLine)
{
    line.clear();
    if (m_atEnd)
        return true;
    for (;;) {
        int c = GetChar();
        while (mapLine && (c == ' ' || c == '\t'))
            c = GetChar();
        m_lineNumber = m_currentLine;
        if (c == kFail)
            return ReadFailed();
        if (c == kEnd) {
            m_atEnd = true;
            return true;
        }
        if (c == '\r') {
            if (!ExpectLf())
                return false;
            continue;
        }
        if (mapLine && c == ';') {
            do
                c = GetChar();
            while (c >= 0 && c != '\r');
            if (c == '\r' && !ExpectLf())
                return false;
            if (c == kFail)
                return ReadFailed();
            continue;
        }
        return ReadRest(line, c);
    }
}

} // namespace compout
