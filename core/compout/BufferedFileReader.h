#pragma once
// A read-only file with a buffer and the two line readers of the compiler's
// map file and listing file.
//
// Lines are 8-bit text ended by CR LF.  A CR must be followed by LF; the
// last line may end with the end of the file instead.  A line holds at most
// 999 characters.  Every byte, 0xFF included, is data: only the real end of
// the file ends the reading, and the end is reported apart from the data
// (AtEnd) together with an empty line.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace compout {

class CBufferedFileReader
{
public:
    static constexpr size_t kBufferSize = 64 * 1024;
    static constexpr size_t kMaxLineLength = 999;

    CBufferedFileReader();
    ~CBufferedFileReader();
    CBufferedFileReader(const CBufferedFileReader&) = delete;
    CBufferedFileReader& operator=(const CBufferedFileReader&) = delete;

    // Opens an existing file for reading.  The path is in Windows form and
    // is mapped to a native path (with the case fallback per component).
    bool Open(std::u16string_view path);
    // Opens an existing file by its native path.
    bool OpenNative(const std::string& nativePath);
    void Close();
    bool IsOpen() const { return m_fd >= 0; }
    // Goes back to the start of the file.
    bool Rewind();

    // Map variant: leading spaces and tabs are skipped (the length limit
    // counts what follows them); lines whose first non-blank character is
    // ";" are comments and are skipped, as are empty lines.
    bool ReadMapLine(std::string& line);
    // Listing variant: empty lines are skipped; nothing else is.
    bool ReadListingLine(std::string& line);

    // True once a line reader has returned the empty line of the end.
    bool AtEnd() const { return m_atEnd; }
    // The 1-based line number in the file of the last line returned, or of
    // the line where the last error happened.
    uint32_t LineNumber() const { return m_lineNumber; }
    // A short reason for the last failure.
    const std::string& Error() const { return m_error; }
    // Bytes of the file not read yet (from the size when it was opened).
    uint64_t RemainingBytes() const;

private:
    static constexpr int kEnd = -1;
    static constexpr int kFail = -2;

    int GetChar()
    {
        if (m_pos < m_len)
            return static_cast<unsigned char>(m_buffer[m_pos++]);
        return Refill();
    }
    int Refill();
    // Back to the start of the file as it was opened.
    void StartOver();
    // ReadMapLine (mapLine) or ReadListingLine.
    bool ReadLine(std::string& line, bool mapLine);
    bool Fail(std::string reason);
    bool ReadFailed();
    bool ExpectLf();
    bool ReadRest(std::string& line, int c);

    int m_fd = -1;
    std::vector<char> m_buffer;
    size_t m_pos = 0;
    size_t m_len = 0;
    bool m_eof = false;
    bool m_atEnd = false;
    int m_readErrno = 0;
    uint64_t m_size = 0;
    uint64_t m_consumed = 0;  // bytes read into the buffer before the current fill
    uint32_t m_currentLine = 1;
    uint32_t m_lineNumber = 0;
    std::string m_error;
};

} // namespace compout
