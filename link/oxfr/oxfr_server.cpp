#include "link/oxfr/oxfr_server.h"

#include "link/oxfr/oxfr.h"
#include "platform/sys/CodePage.h"
#include "platform/sys/FileIO.h"
#include "platform/sys/Time.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace oxfr {

namespace {

char16_t Fold(char16_t c)
{
    if (c >= u'A' && c <= u'Z')
        return char16_t(c + 32);
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7)
        return char16_t(c + 32);
    if (c >= 0x100 && c <= 0x17F) {
        // Latin Extended-A: pairs, mostly even upper / odd lower, shifted
        // by one in 0x139-0x148 and 0x179-0x17E.
        if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E))
            return (c & 1) ? char16_t(c + 1) : c;
        if (c == 0x178)
            return 0xFF;
        return (c & 1) ? c : char16_t(c + 1);
    }
    return c;
}

std::u16string FoldAll(std::string_view wire)
{
    std::u16string w = sys::AnsiToWide(wire);
    for (auto& c : w)
        c = Fold(c);
    return w;
}

std::u16string FoldUtf8(std::string_view native)
{
    std::u16string w = sys::Utf8ToUtf16Lenient(native);
    for (auto& c : w)
        c = Fold(c);
    return w;
}

bool Match(std::u16string_view p, std::u16string_view n)
{
    // Iterative wildcard match with one backtrack point.
    size_t pi = 0, ni = 0, star = std::u16string_view::npos, mark = 0;
    while (ni < n.size()) {
        if (pi < p.size() && (p[pi] == u'?' || p[pi] == n[ni])) {
            ++pi;
            ++ni;
        } else if (pi < p.size() && p[pi] == u'*') {
            star = pi++;
            mark = ni;
        } else if (star != std::u16string_view::npos) {
            pi = star + 1;
            ni = ++mark;
        } else {
            return false;
        }
    }
    while (pi < p.size() && p[pi] == u'*')
        ++pi;
    return pi == p.size();
}

bool IsSep(char c) { return c == '\\' || c == '/'; }

std::vector<std::string_view> Split(std::string_view path)
{
    std::vector<std::string_view> parts;
    size_t i = 0;
    while (i <= path.size()) {
        size_t j = i;
        while (j < path.size() && !IsSep(path[j]))
            ++j;
        std::string_view c = path.substr(i, j - i);
        if (!c.empty() && c != ".")
            parts.push_back(c);
        i = j + 1;
    }
    return parts;
}

std::optional<std::string> RealPath(const std::string& p)
{
    char buf[PATH_MAX];
    if (!::realpath(p.c_str(), buf))
        return std::nullopt;
    return std::string(buf);
}

bool Inside(const std::string& real, const std::string& root)
{
    if (real == root)
        return true;
    const std::string r = root == "/" ? root : root + "/";
    return real.compare(0, r.size(), r) == 0;
}

std::string Parent(const std::string& p)
{
    const size_t s = p.rfind('/');
    if (s == std::string::npos || s == 0)
        return "/";
    return p.substr(0, s);
}

// The nearest existing entry at or above p must lie inside root.
bool ContainedUnder(const std::string& p, const std::string& root)
{
    std::string cur = p;
    for (;;) {
        struct stat st;
        if (::lstat(cur.c_str(), &st) == 0) {
            auto real = RealPath(cur);
            if (!real)
                return S_ISLNK(st.st_mode) ? false : false; // dangling link
            return Inside(*real, root);
        }
        if (cur == "/")
            return false;
        cur = Parent(cur);
    }
}

struct Entry
{
    std::string wire;
    bool dir = false;
    uint32_t size = 0;
    uint16_t date = 0, time = 0;
};

// Entries of a native folder (links followed when they stay inside root).
std::vector<Entry> ReadFolder(const std::string& dir, const std::string& root)
{
    std::vector<Entry> out;
    DIR* d = ::opendir(dir.c_str());
    if (!d)
        return out;
    while (dirent* e = ::readdir(d)) {
        const std::string name = e->d_name;
        if (name == "." || name == "..")
            continue;
        const std::string full = dir + "/" + name;
        struct stat st;
        if (::lstat(full.c_str(), &st) != 0)
            continue;
        if (S_ISLNK(st.st_mode)) {
            auto real = RealPath(full);
            if (!real || !Inside(*real, root) || ::stat(full.c_str(), &st) != 0)
                continue;
        }
        if (!S_ISDIR(st.st_mode) && !S_ISREG(st.st_mode))
            continue;
        Entry en;
        en.wire = WireName(name);
        en.dir = S_ISDIR(st.st_mode);
        en.size = en.dir ? 0 : uint32_t(st.st_size);
        DosStamp(st.st_mtime, en.date, en.time);
        out.push_back(std::move(en));
    }
    ::closedir(d);
    auto key = [](const std::string& s) {
        std::string k = s;
        for (auto& c : k)
            if (c >= 'a' && c <= 'z')
                c = char(c - 32);
        return k;
    };
    std::sort(out.begin(), out.end(), [&](const Entry& a, const Entry& b) {
        const std::string ka = key(a.wire), kb = key(b.wire);
        if (ka != kb)
            return std::lexicographical_compare(ka.begin(), ka.end(), kb.begin(), kb.end(),
                                                [](char x, char y) { return uint8_t(x) < uint8_t(y); });
        return std::lexicographical_compare(a.wire.begin(), a.wire.end(), b.wire.begin(),
                                            b.wire.end(),
                                            [](char x, char y) { return uint8_t(x) < uint8_t(y); });
    });
    return out;
}

Bytes RecordOf(const Entry& e)
{
    return InfoRecord(e.dir ? 0x10 : 0, e.time, e.date, e.size, ShortName(e.wire), e.wire);
}

} // namespace

std::string WireName(std::string_view nativeName)
{
    return sys::WideToAnsi(sys::Utf8ToUtf16Lenient(nativeName));
}

std::string NativeName(std::string_view wireName)
{
    return sys::Utf16ToUtf8Lenient(sys::AnsiToWide(wireName));
}

std::string TempFolder()
{
    const char* t = std::getenv("TMPDIR");
    std::string d = t && *t ? t : "/tmp";
    while (d.size() > 1 && d.back() == '/')
        d.pop_back();
    return d;
}

void DosStamp(int64_t unixSeconds, uint16_t& date, uint16_t& time)
{
    if (!sys::FileTimeToDosDateTime(sys::FileTimeFromUnix(unixSeconds), date, time))
        date = time = 0;
}

std::u16string FoldedName(std::string_view wire) { return FoldAll(wire); }

bool SameNameNoCase(std::string_view a, std::string_view b) { return FoldAll(a) == FoldAll(b); }

bool MatchPattern(std::string_view pattern, std::string_view name)
{
    if (pattern.empty() || pattern == "*.*" || pattern == "*")
        return true;
    if (pattern == "*.")
        return name.find('.') == std::string_view::npos;
    return Match(FoldAll(pattern), FoldAll(name));
}

bool IsValidNewName(std::string_view name)
{
    if (name.empty() || name == "." || name == "..")
        return false;
    for (unsigned char c : name)
        if (c < 32 || std::strchr("<>:\"|?*", c))
            return false;
    return true;
}

// ---- Share table ----------------------------------------------------------------

uint32_t ShareTable::Add(const std::string& nativeDir, std::string_view name, uint32_t access)
{
    if (name.empty() || name.size() > kMaxWirePath || name.find_first_of("\\/") != name.npos ||
        name.find('\0') != name.npos)
        return OLNK_E_BAD_PATH;
    struct stat st;
    if (::stat(nativeDir.c_str(), &st) != 0)
        return uint32_t(errno);
    if (!S_ISDIR(st.st_mode))
        return OLNK_E_BAD_PATH;
    auto real = RealPath(nativeDir);
    if (!real)
        return uint32_t(errno);
    for (const auto& e : m_entries)
        if (e && SameNameNoCase(e->name, name))
            return OLNK_E_BAD_PATH;
    for (auto& e : m_entries)
        if (!e) {
            e = Share{std::string(name), nativeDir, *real, access};
            return 0;
        }
    return OLNK_E_BAD_PATH;
}

uint32_t ShareTable::Remove(std::string_view name)
{
    for (auto& e : m_entries)
        if (e && SameNameNoCase(e->name, name)) {
            e.reset();
            return 0;
        }
    return OLNK_E_BAD_PATH;
}

size_t ShareTable::Count() const
{
    return size_t(std::count_if(m_entries.begin(), m_entries.end(), [](auto& e) { return bool(e); }));
}

ShareList ShareTable::List() const
{
    ShareList l;
    for (const auto& e : m_entries)
        if (e)
            l.push_back(*e);
    return l;
}

// ---- Paths ------------------------------------------------------------------------

std::optional<std::string_view> TakeWirePath(const uint8_t* msg, size_t length, size_t at,
                                             size_t* next)
{
    if (at >= length)
        return std::nullopt;
    const void* z = std::memchr(msg + at, 0, length - at);
    if (!z)
        return std::nullopt;
    const size_t n = size_t(static_cast<const uint8_t*>(z) - (msg + at));
    if (n > kMaxWirePath)
        return std::nullopt;
    if (next)
        *next = at + n + 1;
    return std::string_view(reinterpret_cast<const char*>(msg + at), n);
}

bool MapPath(const ShareList& shares, std::string_view path, MappedPath& out)
{
    out = MappedPath{};
    if (path.empty() || path[0] != '\\' || path.find("\\..") != path.npos)
        return false;
    const auto parts = Split(path);
    if (parts.empty())
        return false;
    for (auto p : parts)
        if (p == "..")
            return false;
    int idx = -1;
    for (size_t i = 0; i < shares.size(); ++i)
        if (SameNameNoCase(shares[i].name, parts[0])) {
            idx = int(i);
            break;
        }
    if (idx < 0)
        return false;
    const Share& sh = shares[size_t(idx)];
    std::string cur = sh.realDir;
    bool missing = false;
    for (size_t i = 1; i < parts.size(); ++i) {
        const std::string comp = NativeName(parts[i]);
        std::string next = (cur == "/" ? "" : cur) + "/" + comp;
        if (!missing) {
            struct stat st;
            if (::lstat(next.c_str(), &st) != 0) {
                // Without regard to case.
                bool found = false;
                if (DIR* d = ::opendir(cur.c_str())) {
                    const std::u16string want = FoldAll(parts[i]);
                    while (dirent* e = ::readdir(d)) {
                        if (FoldUtf8(e->d_name) == want) {
                            next = (cur == "/" ? "" : cur) + "/" + e->d_name;
                            found = true;
                            break;
                        }
                    }
                    ::closedir(d);
                }
                if (!found)
                    missing = true;
            }
        }
        cur = next;
    }
    if (!ContainedUnder(cur, sh.realDir))
        return false;
    out.share = idx;
    out.shareRoot = parts.size() == 1;
    out.native = cur;
    out.lastName = std::string(parts.back());
    return true;
}

// ---- Listing ------------------------------------------------------------------------

uint8_t BuildListing(const ShareList& shares, std::string_view path, Bytes& file)
{
    file.assign(6, 0);
    uint16_t count = 0;
    auto finish = [&] {
        const uint32_t total = uint32_t(file.size());
        for (int i = 0; i < 4; ++i)
            file[size_t(i)] = uint8_t(total >> (8 * i));
        file[4] = uint8_t(count);
        file[5] = uint8_t(count >> 8);
        return uint8_t(0);
    };
    if (path.empty() || path[0] != '\\' || path.find("\\..") != path.npos)
        return OXFR_PATH_REFUSED;
    size_t cut = path.size();
    while (cut > 0 && !IsSep(path[cut - 1]))
        --cut;
    const std::string_view pattern = path.substr(cut);
    const std::string_view folder = path.substr(0, cut);
    for (auto p : Split(folder))
        if (p == "..")
            return OXFR_PATH_REFUSED;
    if (pattern == "..")
        return OXFR_PATH_REFUSED;
    if (Split(folder).empty()) {
        for (const Share& s : shares) {
            if (!MatchPattern(pattern, s.name))
                continue;
            const Bytes r = InfoRecord(1, 0, 0, 0, s.name.substr(0, 8), s.name);
            file.insert(file.end(), r.begin(), r.end());
            ++count;
        }
        return finish();
    }
    MappedPath m;
    if (!MapPath(shares, folder, m))
        return OXFR_PATH_REFUSED;
    struct stat st;
    if (::stat(m.native.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return finish(); // a missing folder lists nothing
    uint16_t date, time;
    DosStamp(st.st_mtime, date, time);
    for (const char* dot : {".", ".."}) {
        const Bytes r = InfoRecord(0x10, time, date, 0, dot, dot);
        file.insert(file.end(), r.begin(), r.end());
        ++count;
    }
    const auto entries = ReadFolder(m.native, shares[size_t(m.share)].realDir);
    for (int pass = 0; pass < 2; ++pass)
        for (const Entry& e : entries) {
            if (e.dir != (pass == 0) || (!e.dir && !MatchPattern(pattern, e.wire)))
                continue;
            if (count == 0xFFFF)
                break;
            const Bytes r = RecordOf(e);
            file.insert(file.end(), r.begin(), r.end());
            ++count;
        }
    return finish();
}

// ---- Simple operations ----------------------------------------------------------------

uint8_t FailureStatus(uint8_t code)
{
    switch (code) {
    case OXFR_CODE_COPY: return OXFR_COPY_FAILED;
    case OXFR_CODE_MKDIR: return OXFR_MKDIR_FAILED;
    case OXFR_CODE_DELETE: return OXFR_DELETE_FAILED;
    case OXFR_CODE_LIST: return OXFR_TEMP_FAILED;
    case OXFR_CODE_GET: return OXFR_NO_STREAM;
    case OXFR_CODE_INFO: return OXFR_INFO_FAILED;
    case OXFR_CODE_PUT: return OXFR_DEST_REFUSED;
    case OXFR_CODE_RMDIR: return OXFR_RMDIR_FAILED;
    case OXFR_CODE_MOVE: return OXFR_MOVE_FAILED;
    default: return OXFR_UNKNOWN_COMMAND;
    }
}

static Bytes InfoOf(const ShareList& shares, std::string_view path, uint8_t& status)
{
    status = OXFR_INFO_FAILED;
    while (path.size() > 1 && IsSep(path.back()))
        path.remove_suffix(1);
    MappedPath m;
    size_t cut = path.size();
    while (cut > 0 && !IsSep(path[cut - 1]))
        --cut;
    const std::string_view last = path.substr(cut);
    if (last.find_first_of("*?") != last.npos) {
        MappedPath folder;
        const std::string_view fpath = path.substr(0, cut);
        if (Split(fpath).empty() || !MapPath(shares, fpath, folder)) {
            if (!Split(fpath).empty())
                status = OXFR_PATH_REFUSED;
            return {};
        }
        const auto entries = ReadFolder(folder.native, shares[size_t(folder.share)].realDir);
        for (int pass = 0; pass < 2; ++pass)
            for (const Entry& e : entries)
                if (e.dir == (pass == 0) && MatchPattern(last, e.wire)) {
                    status = 0;
                    return RecordOf(e);
                }
        return {};
    }
    if (!MapPath(shares, path, m)) {
        status = Split(path).empty() ? OXFR_INFO_FAILED : OXFR_PATH_REFUSED;
        return {};
    }
    struct stat st;
    if (::stat(m.native.c_str(), &st) != 0)
        return {};
    Entry e;
    DosStamp(st.st_mtime, e.date, e.time);
    e.dir = S_ISDIR(st.st_mode);
    e.size = e.dir ? 0 : uint32_t(st.st_size);
    if (m.shareRoot) {
        e.wire = shares[size_t(m.share)].name;
        e.dir = true;
    } else {
        e.wire = WireName(m.native.substr(m.native.rfind('/') + 1));
    }
    status = 0;
    return RecordOf(e);
}

Bytes ServeSimple(const ShareList& shares, const uint8_t* msg, size_t length)
{
    const uint8_t code = msg[2];
    const uint32_t param = U32(msg + 3);
    const uint8_t fail = FailureStatus(code);
    size_t next = 0;
    const auto p1 = TakeWirePath(msg, length, 7, &next);
    if (code == OXFR_CODE_COPY || code == OXFR_CODE_MOVE) {
        const auto p2 = p1 ? TakeWirePath(msg, length, next) : std::nullopt;
        MappedPath src, dst;
        if (!p1 || !MapPath(shares, *p1, src))
            return FileReply(code, param, OXFR_SOURCE_REFUSED);
        if (!p2 || !MapPath(shares, *p2, dst))
            return FileReply(code, param, OXFR_DEST_REFUSED);
        if (src.shareRoot || dst.shareRoot || !IsValidNewName(dst.lastName))
            return FileReply(code, param, fail);
        struct stat ss, ds;
        if (::lstat(src.native.c_str(), &ss) != 0)
            return FileReply(code, param, fail);
        if (code == OXFR_CODE_COPY) {
            if (::stat(src.native.c_str(), &ss) != 0 || !S_ISREG(ss.st_mode))
                return FileReply(code, param, fail);
            if (::stat(dst.native.c_str(), &ds) == 0 &&
                (ds.st_dev == ss.st_dev && ds.st_ino == ss.st_ino))
                return FileReply(code, param, fail);
            return FileReply(code, param, sys::AtomicCopyFile(src.native, dst.native) ? 0 : fail);
        }
        if (::lstat(dst.native.c_str(), &ds) == 0)
            return FileReply(code, param, fail);
        if (::renameat2(AT_FDCWD, src.native.c_str(), AT_FDCWD, dst.native.c_str(),
                        RENAME_NOREPLACE) == 0)
            return FileReply(code, param, 0);
        if (errno == EXDEV && S_ISREG(ss.st_mode) && sys::AtomicCopyFile(src.native, dst.native)) {
            ::unlink(src.native.c_str());
            return FileReply(code, param, 0);
        }
        return FileReply(code, param, fail);
    }
    MappedPath m;
    if (code == OXFR_CODE_INFO) {
        if (!p1)
            return FileReply(code, param, OXFR_PATH_REFUSED);
        uint8_t status = 0;
        const Bytes rec = InfoOf(shares, *p1, status);
        return FileReply(code, param, status, rec.data(), rec.size());
    }
    if (!p1 || !MapPath(shares, *p1, m))
        return FileReply(code, param, OXFR_PATH_REFUSED);
    if (m.shareRoot)
        return FileReply(code, param, fail);
    struct stat st;
    switch (code) {
    case OXFR_CODE_MKDIR:
        if (!IsValidNewName(m.lastName) || ::mkdir(m.native.c_str(), 0777) != 0)
            return FileReply(code, param, fail);
        return FileReply(code, param, 0);
    case OXFR_CODE_DELETE:
        if (::lstat(m.native.c_str(), &st) != 0 || S_ISDIR(st.st_mode) ||
            ::unlink(m.native.c_str()) != 0)
            return FileReply(code, param, fail);
        return FileReply(code, param, 0);
    case OXFR_CODE_RMDIR:
        if (::rmdir(m.native.c_str()) != 0)
            return FileReply(code, param, fail);
        return FileReply(code, param, 0);
    default:
        return FileReply(code, param, OXFR_UNKNOWN_COMMAND);
    }
}

} // namespace oxfr
