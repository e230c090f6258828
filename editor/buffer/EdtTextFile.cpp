// Loading and saving the text buffer: UTF-16 or 8-bit files in a code page,
// with DOS, UNIX or MAC line ends.  See docs/editor-buffer.md.

#include "editor/buffer/EdtCodePages.h"
#include "editor/buffer/EdtTextBuffer.h"
#include "editor/buffer/EdtTextTypeHook.h"

#include "platform/sys/AtomicFile.h"
#include "platform/sys/FileIO.h"
#include "platform/sys/LastError.h"
#include "platform/sys/NativeText.h"
#include "platform/sys/Utf8Stream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <algorithm>
#include <climits>
#include <memory>
#include <new>

namespace {

constexpr size_t kBlock = 32768;  // bytes read at a time

// Reads until the block is full or the file ends (a short read is not the
// end); the number of bytes, or -1 on a read error.
ssize_t ReadBlock(int fd, unsigned char* buf, size_t size)
{
    size_t got = 0;
    while (got < size) {
        ssize_t n = ::read(fd, buf + got, size - got);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        if (n == 0)
            break;
        got += static_cast<size_t>(n);
    }
    return static_cast<ssize_t>(got);
}

// The line-end style from the first line end.  Of the units decoded so far
// (available), those before `from` hold no CR or LF; the first CR or LF
// decides, and a CR as the last unit decoded looks at the next unit when
// the file goes on.  -1 while more units are needed, with `from` moved on
// past the units looked at.
int DetectStyle(const char16_t* text, size_t& from, size_t available, bool atEnd)
{
    for (size_t i = from; i < available; ++i) {
        if (text[i] == u'\n')
            return 1;
        if (text[i] == u'\r') {
            if (i + 1 < available)
                return text[i + 1] == u'\n' ? 0 : 2;
            if (atEnd)
                return 2;
            from = i;
            return -1;
        }
    }
    from = available;
    return atEnd ? 0 : -1;
}

// When a file is read as UTF-8: never; when the type or the editor names
// UTF-8 (a valid file, even one of ASCII alone, or one with the mark); when
// nothing names an encoding (a valid file that holds a character of two or
// more bytes, or one with the mark); always (File > Open's "UTF-8").
enum class Utf8Rule { Never, Valid, Detect, Always };

edt::SaveTestHook g_saveTestHook = nullptr;

} // namespace

void edt::SetSaveTestHook(SaveTestHook hook)
{
    g_saveTestHook = hook;
}

bool CEdtTextBuffer::LoadFromFile(std::u16string_view path, int crlfMode)
{
    try {
        int codePage = m_codePage;
        bool utf16 = GetEdtForceUnicode();
        EdtTextTypeInfo info = LookupEdtTextType(path);
        int enc = info.defaultEncoding;
        const int editorWide = GetEdtDefaultEncoding();
        if (enc == -1 && editorWide == EDT_CODEPAGE_UNICODE)
            enc = EDT_CODEPAGE_UNICODE;
        if (enc == -1 && editorWide == EDT_CODEPAGE_UTF8 && !info.ansiOnly)
            enc = EDT_CODEPAGE_UTF8;
        Utf8Rule utf8Rule = Utf8Rule::Never;
        if (enc == EDT_CODEPAGE_UNICODE) {
            utf16 = true;
            codePage = -1;
        } else if (enc >= 0 && enc < EDT_CODEPAGE_ROWS) {
            codePage = enc;
        } else if (enc == EDT_CODEPAGE_UTF8) {
            utf8Rule = Utf8Rule::Valid;
            codePage = -1;
        } else if (!info.ansiOnly && codePage == -1) {
            utf8Rule = Utf8Rule::Detect;
        }
        if (GetEdtForceUtf8() && !utf16)
            utf8Rule = Utf8Rule::Always;
        if (utf16)
            utf8Rule = Utf8Rule::Never;

        std::optional<std::string> native = sys::LocalNativePath(path);
        if (!native)
            return false; // its last error says why
        // Only a regular file is read, and the open never waits (a FIFO).
        uint64_t size = 0;
        int fd = sys::OpenForReading(*native, size);
        if (fd < 0)
            return false;
        struct FdCloser
        {
            int fd;
            ~FdCloser() { ::close(fd); }
        } closer{fd};
        struct stat st;
        if (::fstat(fd, &st) != 0)
            return false;
        (void)::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
        // UTF-8 is chosen by the mark, or tried: the file is decoded as
        // UTF-8 and read again from its start at the first invalid byte.
        bool asUtf8 = false;
        bool tentative = false;
        if (utf8Rule != Utf8Rule::Never) {
            unsigned char head[3] = {};
            ssize_t h;
            do
                h = ::pread(fd, head, sizeof head, 0);
            while (h < 0 && errno == EINTR);
            if (h < 0)
                return false;
            const bool mark8 = h == 3 && head[0] == 0xEF && head[1] == 0xBB && head[2] == 0xBF;
            const bool mark16 = h >= 2 && head[0] == 0xFF && head[1] == 0xFE;
            asUtf8 = utf8Rule == Utf8Rule::Always || mark8 || !mark16;
            tentative = asUtf8 && utf8Rule != Utf8Rule::Always && !mark8;
        }

        // The lines are built aside: their text goes into the new store's
        // arena block by block, and each line borrows its range of it.
        std::unique_ptr<unsigned char[]> block(new unsigned char[kBlock]);
        int mode = -1;
        int oddByte = -1;  // the byte after the last whole UTF-16 unit
        bool utf8Mark = false;
        bool multiByte = false;
        enum class Read { Done, Failed, NotUtf8 };
        auto readText = [&](edt::LineStore& lines) {
            edt::Arena& arena = lines.GetArena();
            sys::Utf8StreamDecoder decoder;
            const edt::CodePageMap* map = nullptr;
            mode = crlfMode >= 0 && crlfMode <= 2 ? crlfMode : -1;
            size_t looked = 0;              // units of the first line without CR or LF
            char16_t* lineStart = nullptr;  // the line being read
            char16_t* scan = nullptr;       // its next unit to look at
            bool first = true;
            bool atEnd = false;
            auto addLine = [&lines](const char16_t* from, const char16_t* to) {
                size_t len = static_cast<size_t>(to - from);
                if (len > static_cast<size_t>(INT_MAX) || lines.Size() == INT_MAX)
                    return false;
                lines.PushBack(edt::Line{edt::LineText::Borrowed(from, len), 0});
                return true;
            };
            while (!atEnd) {
                ssize_t got = ReadBlock(fd, block.get(), kBlock);
                if (got < 0)
                    return Read::Failed;
                atEnd = static_cast<size_t>(got) < kBlock;
                const unsigned char* bytes = block.get();
                size_t n = static_cast<size_t>(got);
                if (first && asUtf8) {
                    // The mark is skipped (looked at again: the file may
                    // have changed since).
                    utf8Mark = n >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF;
                    if (utf8Mark) {
                        bytes += 3;
                        n -= 3;
                    }
                } else if (first) {
                    bool mark = n >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE;
                    utf16 = utf16 || mark;
                    if (utf16) {
                        if (mark) {  // skipped
                            bytes += 2;
                            n -= 2;
                        }
                    } else {
                        map = &edt::CodePageMap::Get(codePage);
                    }
                }
                // Only the last block can be of odd length (the others are
                // whole, and the mark has two bytes): its last byte is no unit.
                if (utf16 && n % 2) {
                    oddByte = bytes[n - 1];
                    --n;
                }
                size_t units = utf16 ? n / 2 : asUtf8 ? sys::Utf8StreamDecoder::Room(n) : n;
                size_t scanOffset = static_cast<size_t>(scan - lineStart);
                char16_t* moved = arena.Reserve(units, lineStart);
                lineStart = first ? arena.End() : moved;
                scan = lineStart + scanOffset;
                first = false;
                char16_t* out = arena.End();
                if (utf16) {
                    for (size_t i = 0; i + 1 < n; i += 2)
                        *out++ = static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8));
                } else if (asUtf8) {
                    units = decoder.Decode(bytes, n, atEnd, out);
                    if (tentative && decoder.Escaped())
                        return Read::NotUtf8;
                } else {
                    for (size_t i = 0; i < n; ++i)
                        out[i] = map->Load(bytes[i]);
                    out += n;
                }
                arena.Advance(units);
                char16_t* end = arena.End();

                if (mode < 0) {
                    // Still in the first line: it starts the text and is
                    // read on until its end decides the style.
                    mode = DetectStyle(lineStart, looked, static_cast<size_t>(end - lineStart), atEnd);
                    if (mode < 0)
                        continue;
                }
                char16_t* p = scan;
                if (mode == 0) {
                    // CR LF; a CR not followed by LF is a character, so a CR
                    // before CR LF is one too.
                    for (;;) {
                        while (p < end && *p != u'\r')
                            ++p;
                        if (p == end)
                            break;
                        if (p + 1 == end) {
                            if (!atEnd)
                                break;  // the next block decides
                            ++p;
                            continue;
                        }
                        if (p[1] == u'\n') {
                            if (!addLine(lineStart, p))
                                return Read::Failed;
                            p += 2;
                            lineStart = p;
                        } else {
                            ++p;
                        }
                    }
                } else {
                    const char16_t sep = mode == 1 ? u'\n' : u'\r';
                    for (; p < end; ++p)
                        if (*p == sep) {
                            if (!addLine(lineStart, p))
                                return Read::Failed;
                            lineStart = p + 1;
                        }
                }
                scan = p;
            }
            if (mode < 0)
                mode = 0;
            if (!addLine(lineStart, arena.End()))  // the last line (empty after a final line end)
                return Read::Failed;
            multiByte = decoder.HasMultiByte();
            return Read::Done;
        };
        edt::LineStore lines;
        Read read = readText(lines);
        if (read == Read::NotUtf8) {
            // Not UTF-8: read again from the start, 8-bit as before.
            if (::lseek(fd, 0, SEEK_SET) != 0)
                return false;
            asUtf8 = false;
            utf8Mark = false;
            lines.Clear();
            read = readText(lines);
        }
        if (read != Read::Done)
            return false;
        // ASCII alone is the same text in code page 1250 (which Detect
        // always has): UTF-8 only when a type names it.
        if (tentative && asUtf8 && utf8Rule == Utf8Rule::Detect && !multiByte)
            asUtf8 = false;

        // Swap the new text in.
        ++m_changeCount;
        m_lines.Swap(lines);
        m_crlfMode = mode;
        m_codePage = asUtf8 ? -1 : codePage;
        m_unicode = utf16;
        m_utf8 = asUtf8;
        m_utf8Mark = utf8Mark;
        m_oddTrailingByte = oddByte;
        m_initialized = true;
        m_readOnly = (st.st_mode & 0222) == 0 || ::access(native->c_str(), W_OK) != 0;
        m_loadedFromFile = true;
        ResetUndo();
        SetModified(false);
        m_lastChange = {-1, -1};
    } catch (const std::bad_alloc&) {
        return false;
    } catch (const std::length_error&) {
        return false;
    }
    SetTextTypeFromFileName(path);
    UpdateViews(nullptr, nullptr, EDT_UPD_RESET, -1);
    return true;
}

bool CEdtTextBuffer::SaveToFile(std::u16string_view path, int crlfMode, bool clearModified,
                                int* replacedChars)
{
    if (replacedChars)
        *replacedChars = 0;
    // A failure leaves its cause (an errno value) in the thread's last
    // error, for the message that names the file.
    std::optional<std::string> native = sys::LocalNativePath(path);
    if (!native)
        return false; // its last error says why
    // The rules of sys::AtomicFile, checked before anything is built: a
    // link is followed, only a regular file that may be written is
    // replaced, and a link that names nothing stays a link (it never
    // becomes the file it names).  A file without any write permission bit
    // is refused for every user, root too.
    const std::string& target = *native;
    struct stat st;
    if (::stat(target.c_str(), &st) == 0) {
        if (!S_ISREG(st.st_mode)) {
            sys::SetLastError(S_ISDIR(st.st_mode) ? EISDIR : ENODEV);
            return false;
        }
        if (::access(target.c_str(), W_OK) != 0) {
            sys::SetLastErrorFromErrno();
            return false;
        }
        if ((st.st_mode & 0222) == 0) {
            sys::SetLastError(EACCES);
            return false;
        }
    } else if (errno != ENOENT) {
        sys::SetLastErrorFromErrno();
        return false;
    } else if (::lstat(target.c_str(), &st) == 0) {
        sys::SetLastError(ENOENT); // a link that names nothing
        return false;
    }

    // The contents.
    int mode = crlfMode < 0 ? m_crlfMode : crlfMode;
    std::u16string_view lineEnd = mode == 1 ? u"\n" : mode == 2 ? u"\r" : u"\r\n";
    std::string out;
    int replaced = 0;
    try {
        if (m_unicode) {
            out += "\xFF\xFE";
            auto put = [&out](char16_t u) {
                out += static_cast<char>(u & 0xFF);
                out += static_cast<char>(u >> 8);
            };
            for (int l = 0; l < m_lines.Size(); ++l) {
                if (l > 0)
                    for (char16_t u : lineEnd)
                        put(u);
                for (char16_t u : m_lines.At(l).text.view())
                    put(u);
            }
            if (m_oddTrailingByte >= 0)
                out += static_cast<char>(m_oddTrailingByte);
        } else if (m_utf8) {
            if (m_utf8Mark)
                out += "\xEF\xBB\xBF";
            for (int l = 0; l < m_lines.Size(); ++l) {
                if (l > 0)
                    for (char16_t u : lineEnd)
                        out += static_cast<char>(u);
                sys::AppendUtf8Escaped(m_lines.At(l).text.view(), out, &replaced);
            }
        } else {
            const edt::CodePageMap& map = edt::CodePageMap::Get(m_codePage);
            for (int l = 0; l < m_lines.Size(); ++l) {
                if (l > 0)
                    for (char16_t u : lineEnd)
                        out += static_cast<char>(u);
                for (char16_t u : m_lines.At(l).text.view()) {
                    uint16_t s = map.Save(u);
                    out += static_cast<char>(s & 0xFF);
                    if (s & edt::CodePageMap::kReplaced)
                        ++replaced;
                }
            }
        }
    } catch (const std::bad_alloc&) {
        sys::SetLastError(ENOMEM);
        return false;
    }

    // The new content is put in place of the target only when complete.
    sys::AtomicFile file;
    if (!file.Open(target) || !file.Write(out))
        return false;
    if (g_saveTestHook)
        g_saveTestHook(file.TempPath(), file.Target());
    if (!file.Commit())
        return false;

    if (clearModified) {
        SetModified(false);
        m_savedPos = m_undoPos;
    }
    if (replacedChars)
        *replacedChars = replaced;
    return true;
}

int CEdtTextBuffer::CountUnmappableChars() const
{
    if (m_unicode)
        return 0;
    if (m_utf8) {
        int count = 0;
        std::string bytes;
        for (int l = 0; l < m_lines.Size(); ++l) {
            bytes.clear();
            sys::AppendUtf8Escaped(m_lines.At(l).text.view(), bytes, &count);
        }
        return count;
    }
    const edt::CodePageMap& map = edt::CodePageMap::Get(m_codePage);
    int count = 0;
    for (int l = 0; l < m_lines.Size(); ++l)
        for (char16_t u : m_lines.At(l).text.view())
            if (map.Save(u) & edt::CodePageMap::kReplaced)
                ++count;
    return count;
}

void CEdtTextBuffer::SetTextTypeFromFileName(std::u16string_view path)
{
    EdtTextTypeInfo info = LookupEdtTextType(path);
    std::vector<IEdtBufferListener*> views = m_views;
    for (IEdtBufferListener* v : views)
        v->SelectTextType(info.type);
}
