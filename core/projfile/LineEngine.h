#pragma once
// The line engine of the project file, its older formats and the workspace
// file: a whole file held in memory (KxpArchive), the 8-bit line input and
// output in code page 1250, and the matching of string lines and number
// lines.  See docs/project-files.md.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace core {

// A whole file in memory: its bytes, the read position, whether it is being
// stored (built for writing) or loaded, and the path of the file it stands
// for (reported with a format error).
class KxpArchive
{
public:
    KxpArchive(bool storing, std::u16string path, std::string bytes = {})
        : m_bytes(std::move(bytes)), m_storing(storing), m_path(std::move(path))
    {
    }

    bool IsStoring() const { return m_storing; }
    bool IsLoading() const { return !m_storing; }
    const std::u16string& GetPath() const { return m_path; }
    void SetPath(std::u16string path) { m_path = std::move(path); }

    const std::string& Bytes() const { return m_bytes; }
    std::string& Bytes() { return m_bytes; }
    size_t Position() const { return m_pos; }
    void SetPosition(size_t pos) { m_pos = pos < m_bytes.size() ? pos : m_bytes.size(); }
    bool AtEnd() const { return m_pos >= m_bytes.size(); }

    // Set by WriteLine when a character had no code page 1250 form and was
    // written as "?".  FirstLossyValue is the value of the first such line
    // (the text after " = ", or the whole line without its CR LF).
    bool HadLossyCharacter() const { return m_lossy; }
    const std::u16string& FirstLossyValue() const { return m_firstLossyValue; }

    // The number (from 1) of the line read last; 0 when the last read found
    // the end of the file, or nothing was read yet.
    int LastLineNumber() const;

private:
    friend bool ReadLine(KxpArchive&, std::u16string&);
    friend void WriteLine(KxpArchive&, std::u16string_view);

    std::string m_bytes;
    size_t m_pos = 0;
    size_t m_lastLineStart = 0;
    bool m_lastReadAtEnd = true;
    bool m_storing;
    std::u16string m_path;
    bool m_lossy = false;
    std::u16string m_firstLossyValue;
};

// A line that is not what the reader expects.  Carries the path of the
// file (the archive's path).
class ProjectFormatError : public std::runtime_error
{
public:
    explicit ProjectFormatError(std::u16string path, int line = 0)
        : std::runtime_error("unexpected file format"), m_path(std::move(path)), m_line(line)
    {
    }
    const std::u16string& Path() const { return m_path; }
    // The line that is not what the reader expects (from 1); 0 when the
    // file ended before a line the reader needs.
    int Line() const { return m_line; }

private:
    std::u16string m_path;
    int m_line;
};

// Reads the next line: the bytes up to LF, or up to CR (a LF right after
// the CR belongs to the same line end); the line end is dropped and the
// bytes are decoded with code page 1250.  At the end of the file the bytes
// collected so far form the last line.  False (with `line` empty) only when
// the end was reached with nothing collected.
bool ReadLine(KxpArchive& ar, std::u16string& line);
// Appends the text in code page 1250 and nothing else (callers end their
// texts in CR LF).  A character without a code page form is written as "?"
// and recorded in the archive.
void WriteLine(KxpArchive& ar, std::u16string_view text);

// --- Matching ---------------------------------------------------------------

// U+0020 and U+0009 to U+000D.
bool IsLineSpace(char16_t c);

// Splits a string line: the key token is the first run of non-white-space
// characters after leading white space; after white space, "=" and white
// space the value is the rest of the line (trailing white space kept).
// When no "=" follows the key token the value is empty.  False when the
// line has no key token.
bool SplitStringLine(std::u16string_view line, std::u16string_view& key,
                     std::u16string_view& value);

// Matches `line` against a pattern as the C library's scanf would, with
// only "%d" and "%hd" conversions: ordinary characters match exactly, a
// blank matches any run of white space (also none), a conversion skips
// white space and reads an optional sign and at least one decimal digit.
// "%hd" keeps the low 16 bits (-1 gives 65535).  Stops at the first
// mismatch; returns the number of values read into `out`.  A number outside
// the int32 range stops the match and is not counted.
size_t ScanNumbers(std::u16string_view line, std::string_view pattern, std::vector<int64_t>& out);

// --- Reading and writing lines of a body ------------------------------------

// Reads one line and returns the value of the string line with `key`
// (compared without regard to case of ASCII letters).  A missing line, a
// line without a key token or with another key throws ProjectFormatError.
std::u16string ReadStringLine(KxpArchive& ar, std::string_view key);
// Reads one line and matches the pattern; every conversion of the pattern
// must yield a number, else ProjectFormatError.  Returns the values.
std::vector<int64_t> ReadNumberLine(KxpArchive& ar, std::string_view pattern);
// A line with one "%d" (or "%hd") conversion.
int64_t ReadNumber(KxpArchive& ar, std::string_view pattern);
// Throws ProjectFormatError for the archive's path.
[[noreturn]] void ThrowFormatError(const KxpArchive& ar);

// Writes "key = value" and CR LF; a CR or LF inside the value is written as
// a blank so that the file stays readable.
void WriteStringLine(KxpArchive& ar, std::string_view key, std::u16string_view value);
// The value as a string line written with WriteStringLine reads back:
// CR and LF as blanks, white space at its start dropped.
std::u16string StringLineValue(std::u16string_view value);
// Writes "key = n" and CR LF.
void WriteNumberLine(KxpArchive& ar, std::string_view key, int64_t n);
// Writes "key = n1, n2, ..." and CR LF.
void WriteNumbersLine(KxpArchive& ar, std::string_view key, const std::vector<int64_t>& numbers);

// ASCII text as UTF-16.
std::u16string Widen(std::string_view ascii);
// A decimal number as UTF-16.
std::u16string NumberText(int64_t n);

} // namespace core
