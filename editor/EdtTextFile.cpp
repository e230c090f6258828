// Loading and saving the text buffer: UTF-16 or 8-bit files in a code page,
// with DOS, UNIX or MAC line ends.  See docs/editor-buffer.md.

#include "editor/EdtCodePages.h"
#include "editor/EdtTextBuffer.h"
#include "editor/EdtTextTypeHook.h"

#include "platform/sys/WinPath.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <new>
#include <random>

namespace {

constexpr size_t kFirstBlock = 32768;  // bytes that decide the line-end style

bool ReadAll(int fd, std::string& data, off_t sizeHint)
{
    if (sizeHint > 0)
        data.reserve(static_cast<size_t>(sizeHint));
    char chunk[65536];
    for (;;) {
        ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (n == 0)
            return true;
        data.append(chunk, static_cast<size_t>(n));
    }
}

bool WriteAll(int fd, const std::string& data)
{
    size_t done = 0;
    while (done < data.size()) {
        ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (n == 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// The line-end style of the text: the first CR or LF among the units of the
// first block decides; a CR at the block's end looks at the next unit.
int DetectStyle(const std::u16string& units, size_t blockUnits)
{
    size_t end = std::min(units.size(), blockUnits);
    for (size_t i = 0; i < end; ++i) {
        if (units[i] == u'\n')
            return 1;
        if (units[i] == u'\r') {
            if (i + 1 < units.size())
                return units[i + 1] == u'\n' ? 0 : 2;
            return 2;
        }
    }
    return 0;
}

// The file the path names, through symbolic links; empty on failure.
std::string ResolveLinks(std::string path)
{
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st;
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return path;
        std::string target(PATH_MAX, '\0');
        ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
        if (n <= 0 || static_cast<size_t>(n) >= target.size())
            return {};
        target.resize(static_cast<size_t>(n));
        if (target[0] != '/') {
            size_t slash = path.rfind('/');
            target = (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) + target;
        }
        path = target;
    }
    return {};
}

std::string TempName(const std::string& folder)
{
    static const char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937 gen{std::random_device{}()};
    std::uniform_int_distribution<int> pick(0, static_cast<int>(sizeof kChars) - 2);
    std::string name = folder + "CRE";
    for (int i = 0; i < 6; ++i)
        name += kChars[pick(gen)];
    return name + ".tmp";
}

} // namespace

bool CEdtTextBuffer::LoadFromFile(std::u16string_view path, int crlfMode)
{
    try {
        int codePage = m_codePage;
        bool utf16 = GetEdtForceUnicode();
        EdtTextTypeInfo info = LookupEdtTextType(path);
        int enc = info.defaultEncoding;
        if (enc == -1 && GetEdtDefaultEncoding() == EDT_CODEPAGE_UNICODE)
            enc = EDT_CODEPAGE_UNICODE;
        if (enc == EDT_CODEPAGE_UNICODE) {
            utf16 = true;
            codePage = -1;
        } else if (enc >= 0 && enc < EDT_CODEPAGE_ROWS) {
            codePage = enc;
        }

        std::optional<std::string> native = sys::WinPath::ToNative(path);
        if (!native)
            return false;
        struct stat st;
        if (::stat(native->c_str(), &st) != 0 || !S_ISREG(st.st_mode))
            return false;
        int fd = ::open(native->c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0)
            return false;
        std::string data;
        bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ReadAll(fd, data, st.st_size);
        ::close(fd);
        if (!ok)
            return false;

        // Units of the text.
        std::u16string units;
        size_t blockUnits = kFirstBlock;
        size_t first = 0;
        if (!utf16 && data.size() >= 2 && static_cast<unsigned char>(data[0]) == 0xFF &&
            static_cast<unsigned char>(data[1]) == 0xFE)
            utf16 = true;
        if (utf16) {
            units.resize((data.size() + 1) / 2);
            for (size_t i = 0; i + 1 < data.size(); i += 2)
                units[i / 2] = static_cast<char16_t>(static_cast<unsigned char>(data[i]) |
                                                     (static_cast<unsigned char>(data[i + 1]) << 8));
            if (data.size() % 2)
                units.back() = static_cast<unsigned char>(data.back());
            blockUnits = kFirstBlock / 2;
            if (!units.empty() && units[0] == 0xFEFF)
                first = 1;
        } else {
            const edt::CodePageMap& map = edt::CodePageMap::Get(codePage);
            units.resize(data.size());
            for (size_t i = 0; i < data.size(); ++i)
                units[i] = map.Load(static_cast<unsigned char>(data[i]));
        }
        std::string().swap(data);

        int mode = crlfMode;
        if (mode < 0 || mode > 2)
            mode = DetectStyle(units, blockUnits);

        // The lines, built aside.
        edt::LineStore lines;
        size_t start = first;
        auto addLine = [&](size_t from, size_t to) {
            if (to - from > static_cast<size_t>(INT_MAX) || lines.Size() == INT_MAX)
                return false;
            lines.PushBack(edt::Line{units.substr(from, to - from), 0});
            return true;
        };
        for (size_t i = first; i < units.size(); ++i) {
            char16_t u = units[i];
            if (mode == 0) {
                if (u != u'\r' || i + 1 >= units.size() || units[i + 1] != u'\n')
                    continue;
                if (!addLine(start, i))
                    return false;
                start = ++i + 1;
            } else if (u == (mode == 1 ? u'\n' : u'\r')) {
                if (!addLine(start, i))
                    return false;
                start = i + 1;
            }
        }
        if (!addLine(start, units.size()))
            return false;

        // Swap the new text in.
        m_lines.Swap(lines);
        m_crlfMode = mode;
        m_codePage = codePage;
        m_unicode = utf16;
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
    std::optional<std::string> native = sys::WinPath::ToNative(path);
    if (!native || native->empty())
        return false;
    std::string target = ResolveLinks(*native);
    if (target.empty())
        return false;

    struct stat st;
    bool exists = ::stat(target.c_str(), &st) == 0;
    if (exists) {
        if (!S_ISREG(st.st_mode) || (st.st_mode & 0222) == 0 || ::access(target.c_str(), W_OK) != 0)
            return false;
    } else if (errno != ENOENT) {
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
                for (char16_t u : m_lines.At(l).text)
                    put(u);
            }
        } else {
            const edt::CodePageMap& map = edt::CodePageMap::Get(m_codePage);
            for (int l = 0; l < m_lines.Size(); ++l) {
                if (l > 0)
                    for (char16_t u : lineEnd)
                        out += static_cast<char>(u);
                for (char16_t u : m_lines.At(l).text) {
                    uint16_t s = map.Save(u);
                    out += static_cast<char>(s & 0xFF);
                    if (s & edt::CodePageMap::kReplaced)
                        ++replaced;
                }
            }
        }
    } catch (const std::bad_alloc&) {
        return false;
    }

    // A temporary file beside the target, renamed over it when complete.
    size_t slash = target.rfind('/');
    std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    std::string temp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temp = TempName(folder);
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            return false;
    }
    if (fd < 0)
        return false;
    bool ok = true;
    if (exists) {
        (void)!::fchown(fd, st.st_uid, st.st_gid);
        ok = ::fchmod(fd, st.st_mode & 07777) == 0;
    }
    ok = ok && WriteAll(fd, out) && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    ok = ok && ::rename(temp.c_str(), target.c_str()) == 0;
    if (!ok) {
        ::unlink(temp.c_str());
        return false;
    }
    int dir = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        (void)::fsync(dir);
        ::close(dir);
    }

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
    const edt::CodePageMap& map = edt::CodePageMap::Get(m_codePage);
    int count = 0;
    for (int l = 0; l < m_lines.Size(); ++l)
        for (char16_t u : m_lines.At(l).text)
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
