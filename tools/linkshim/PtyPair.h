#pragma once
// A pseudo-terminal pair in raw mode: the far end of a serial line.

#include <cstddef>
#include <string>

namespace linkshim {

// The master side stands for the far end of a serial line; the slave's
// device path is what a serial port opens.  The pair keeps a descriptor of
// the slave open itself, so the master sees no hang-up while the port is
// closed and reopened, and so its line settings can be read.  The master is
// non-blocking.
class PtyPair
{
public:
    PtyPair(); // when no pair is available, Ok() is false and Error() says why
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool Ok() const { return m_master >= 0; }
    const std::string& Error() const { return m_error; }
    int MasterFd() const { return m_master; }
    int SlaveFd() const { return m_slave; }
    const std::string& SlavePath() const { return m_slavePath; }
    // Closes the master: the slave side hangs up (an unplugged line).
    void CloseMaster();

    // Writes all bytes to the master (waiting while it is full, at most
    // timeoutMs); false on failure.
    [[nodiscard]] bool WriteMaster(const void* data, size_t size, int timeoutMs = 5000);
    // Reads what arrives at the master within timeoutMs, up to max bytes.
    std::string ReadMaster(size_t max, int timeoutMs);

private:
    int m_master = -1;
    int m_slave = -1;
    std::string m_slavePath;
    std::string m_error;
};

} // namespace linkshim
