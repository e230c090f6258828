// The simulator's file server.
#include "tools/cssim/files.h"

#include "platform/sys/AtomicFile.h"
#include "platform/sys/CodePage.h"
#include "platform/sys/FileIO.h"
#include "platform/sys/Time.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace cssim::files {

namespace {

char Fold(char c) { return (c >= 'a' && c <= 'z') ? char(c - 32) : c; }

std::string FoldStr(const std::string& s)
{
    std::string r = s;
    for (char& c : r)
        c = Fold(c);
    return r;
}

bool Special(unsigned char c)
{
    return c < 32 || std::strchr("<>:\"|?*\\/", c) != nullptr;
}

bool IsShortChar(unsigned char c) { return c != ' ' && c != '.' && !Special(c); }

bool AsciiWord(unsigned char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

bool MatchAt(const char* p, const char* n)
{
    for (;;) {
        if (!*p)
            return !*n;
        if (*p == '*') {
            while (*p == '*')
                ++p;
            if (!*p)
                return true;
            for (; *n; ++n)
                if (MatchAt(p, n))
                    return true;
            return MatchAt(p, n);
        }
        if (!*n)
            return false;
        if (*p != '?' && Fold(*p) != Fold(*n))
            return false;
        ++p;
        ++n;
    }
}

std::string RealPath(const std::string& p)
{
    char buf[PATH_MAX];
    if (!::realpath(p.c_str(), buf))
        return {};
    return buf;
}

struct Entry
{
    std::string local, wire;
    bool dir = false;
    struct stat st{};
};

void Stamp(const struct stat& st, uint16_t& time, uint16_t& date)
{
    time = date = 0;
    sys::FileTimeToDosDateTime(sys::FileTimeFromUnix(st.st_mtim.tv_sec, st.st_mtim.tv_nsec), date,
                               time);
}

bool WireLess(const std::string& a, const std::string& b)
{
    const std::string fa = FoldStr(a), fb = FoldStr(b);
    if (fa != fb)
        return std::lexicographical_compare(fa.begin(), fa.end(), fb.begin(), fb.end(),
                                            [](char x, char y) { return uint8_t(x) < uint8_t(y); });
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](char x, char y) { return uint8_t(x) < uint8_t(y); });
}

std::vector<std::string> Split(const std::string& wire)
{
    std::vector<std::string> out;
    std::string cur;
    for (char c : wire) {
        if (c == '\\' || c == '/') {
            if (!cur.empty() && cur != ".")
                out.push_back(cur);
            cur.clear();
        } else
            cur += c;
    }
    if (!cur.empty() && cur != ".")
        out.push_back(cur);
    return out;
}

} // namespace

std::string WireName(const std::string& local, bool* lossy)
{
    bool l = false;
    std::string w = sys::WideToAnsi(sys::Utf8ToUtf16Lenient(local), &l);
    if (lossy)
        *lossy = l;
    return w;
}

std::string LocalName(const std::string& wire)
{
    return sys::Utf16ToUtf8Lenient(sys::AnsiToWide(wire));
}

bool Match(const std::string& pattern, const std::string& name)
{
    if (pattern.empty() || pattern == "*.*" || pattern == "*")
        return true;
    if (pattern == "*.")
        return name.find('.') == std::string::npos;
    return MatchAt(pattern.c_str(), name.c_str());
}

std::string ShortName(const std::string& wire)
{
    if (wire == "." || wire == "..")
        return wire;
    const size_t dot = wire.find('.');
    auto allShort = [](const std::string& s) {
        return std::all_of(s.begin(), s.end(), [](char c) { return IsShortChar(uint8_t(c)); });
    };
    if (dot == std::string::npos) {
        if (!wire.empty() && wire.size() <= 8 && allShort(wire))
            return wire;
    } else {
        const std::string b = wire.substr(0, dot), e = wire.substr(dot + 1);
        if (!b.empty() && b.size() <= 8 && !e.empty() && e.size() <= 3 && allShort(b) &&
            allShort(e))
            return wire;
    }
    const size_t last = wire.rfind('.');
    std::string base = wire, ext;
    if (last != std::string::npos && last > 0) {
        base = wire.substr(0, last);
        ext = wire.substr(last + 1);
    }
    std::string sb, se;
    for (char c : base)
        if (AsciiWord(uint8_t(c)) && sb.size() < 6)
            sb += Fold(c);
    for (char c : ext)
        if (AsciiWord(uint8_t(c)) && se.size() < 3)
            se += Fold(c);
    if (sb.empty())
        sb.push_back('_');
    sb += "~1";
    if (!se.empty())
        sb += "." + se;
    return sb;
}

Bytes RecordFor(uint32_t flag, uint16_t time, uint16_t date, uint32_t size,
                const std::string& shortName, const std::string& longName)
{
    Bytes r;
    Put16(r, uint16_t(longName.size() + 29));
    Put32(r, flag);
    Put16(r, time);
    Put16(r, date);
    Put32(r, size);
    uint8_t sn[14] = {};
    std::memcpy(sn, shortName.data(), std::min<size_t>(shortName.size(), 13));
    r.insert(r.end(), sn, sn + 14);
    r.insert(r.end(), longName.begin(), longName.end());
    r.push_back(0);
    return r;
}

Server::Server(std::vector<Share> shares)
{
    for (auto& s : shares)
        m_shares.push_back({s.name, s.dir, RealPath(s.dir)});
}

bool Server::Inside(const ShareReal& s, const std::string& local) const
{
    std::string p = local;
    std::string real;
    for (;;) {
        real = RealPath(p);
        if (!real.empty())
            break;
        const size_t slash = p.rfind('/');
        if (slash == std::string::npos || slash == 0)
            return false;
        p = p.substr(0, slash);
    }
    return !s.real.empty() &&
           (real == s.real || (real.size() > s.real.size() && real.compare(0, s.real.size(), s.real) == 0 &&
                               real[s.real.size()] == '/'));
}

bool Server::ValidNewName(const std::string& wire)
{
    for (char c : wire)
        if (uint8_t(c) < 32 || std::strchr("<>:\"|?*", c))
            return false;
    return !wire.empty();
}

bool Server::Resolve(const std::string& wire, bool listing, Resolved& out) const
{
    out = Resolved{};
    if (wire.empty() || wire[0] != '\\')
        return false;
    if (wire.find("\\..") != std::string::npos || wire.find("/..") != std::string::npos)
        return false;
    std::vector<std::string> comps = Split(wire);
    for (auto& c : comps)
        if (c == "..")
            return false;
    const bool trailing = wire.back() == '\\' || wire.back() == '/';
    if (comps.empty() || (listing && comps.size() == 1 && !trailing)) {
        if (!listing)
            return false;
        out.root = true;
        out.pattern = comps.empty() ? "" : comps[0];
        return true;
    }
    int share = -1;
    for (size_t i = 0; i < m_shares.size(); ++i)
        if (FoldStr(m_shares[i].name) == FoldStr(comps[0])) {
            share = int(i);
            break;
        }
    if (share < 0)
        return false;
    out.share = share;
    size_t walk = comps.size();
    if (listing) {
        if (!trailing) {
            out.pattern = comps.back();
            --walk;
        }
    }
    std::string local = m_shares[size_t(share)].dir;
    for (size_t i = 1; i < walk; ++i) {
        const std::string& c = comps[i];
        std::string found;
        if (DIR* d = ::opendir(local.c_str())) {
            std::string folded;
            while (dirent* e = ::readdir(d)) {
                bool lossy = false;
                const std::string w = WireName(e->d_name, &lossy);
                if (lossy)
                    continue;
                if (w == c) {
                    found = e->d_name;
                    break;
                }
                if (folded.empty() && FoldStr(w) == FoldStr(c))
                    folded = e->d_name;
            }
            ::closedir(d);
            if (found.empty())
                found = folded;
        }
        if (found.empty())
            found = LocalName(c);
        local += "/" + found;
    }
    out.local = local;
    out.isShareDir = walk <= 1;
    out.lastWire = comps.size() > 1 ? comps.back() : m_shares[size_t(share)].name;
    return Inside(m_shares[size_t(share)], local);
}

namespace {

std::vector<Entry> ReadFolder(const std::string& folder, const std::string& shareReal)
{
    std::vector<Entry> out;
    DIR* d = ::opendir(folder.c_str());
    if (!d)
        return out;
    while (dirent* e = ::readdir(d)) {
        const std::string n = e->d_name;
        if (n == "." || n == "..")
            continue;
        Entry en;
        en.local = folder + "/" + n;
        struct stat lst{};
        if (::lstat(en.local.c_str(), &lst) != 0)
            continue;
        if (S_ISLNK(lst.st_mode)) {
            const std::string real = RealPath(en.local);
            if (real.empty() || !(real == shareReal || real.compare(0, shareReal.size() + 1, shareReal + "/") == 0))
                continue;
        }
        if (::stat(en.local.c_str(), &en.st) != 0)
            continue;
        en.dir = S_ISDIR(en.st.st_mode);
        if (!en.dir && !S_ISREG(en.st.st_mode))
            continue;
        en.wire = WireName(n, nullptr);
        out.push_back(std::move(en));
    }
    ::closedir(d);
    return out;
}

Bytes RecordOf(const Entry& e)
{
    uint16_t t, d;
    Stamp(e.st, t, d);
    return RecordFor(e.dir ? 0x10 : 0, t, d, e.dir ? 0 : uint32_t(uint64_t(e.st.st_size)),
                     ShortName(e.wire), e.wire);
}

// Folders first, then the files matching; each group in listing order.
std::vector<Entry> Ordered(const std::string& folder, const std::string& shareReal,
                           const std::string& pattern, bool patternOnFolders)
{
    std::vector<Entry> all = ReadFolder(folder, shareReal), dirs, fl;
    for (auto& e : all) {
        if (e.dir) {
            if (!patternOnFolders || Match(pattern, e.wire))
                dirs.push_back(e);
        } else if (Match(pattern, e.wire))
            fl.push_back(e);
    }
    auto less = [](const Entry& a, const Entry& b) { return WireLess(a.wire, b.wire); };
    std::sort(dirs.begin(), dirs.end(), less);
    std::sort(fl.begin(), fl.end(), less);
    dirs.insert(dirs.end(), fl.begin(), fl.end());
    return dirs;
}

} // namespace

std::optional<Bytes> Server::Listing(const std::string& wire) const
{
    Resolved r;
    if (!Resolve(wire, true, r))
        return std::nullopt;
    Bytes body;
    uint16_t count = 0;
    if (r.root) {
        for (const auto& s : m_shares)
            if (Match(r.pattern, s.name)) {
                const Bytes rec = RecordFor(1, 0, 0, 0, s.name.substr(0, 8), s.name);
                body.insert(body.end(), rec.begin(), rec.end());
                ++count;
            }
    } else {
        struct stat st{};
        if (::stat(r.local.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
            for (const char* dn : {".", ".."}) {
                Entry e;
                e.st = st;
                e.dir = true;
                e.wire = dn;
                const Bytes rec = RecordOf(e);
                body.insert(body.end(), rec.begin(), rec.end());
                ++count;
            }
            for (const auto& e : Ordered(r.local, m_shares[size_t(r.share)].real, r.pattern, false)) {
                const Bytes rec = RecordOf(e);
                body.insert(body.end(), rec.begin(), rec.end());
                ++count;
            }
        }
    }
    Bytes out;
    Put32(out, uint32_t(body.size() + 6));
    Put16(out, count);
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

uint8_t Server::Info(const std::string& wire, Bytes& record) const
{
    std::string w = wire;
    while (w.size() > 1 && (w.back() == '\\' || w.back() == '/'))
        w.pop_back();
    Resolved r;
    if (!Resolve(w, false, r))
        return 245;
    if (r.isShareDir) {
        struct stat st{};
        if (::stat(r.local.c_str(), &st) != 0)
            return 242;
        uint16_t t, d;
        Stamp(st, t, d);
        const std::string& n = m_shares[size_t(r.share)].name;
        record = RecordFor(0x10, t, d, 0, ShortName(n), n);
        return 0;
    }
    if (r.lastWire.find_first_of("*?") != std::string::npos) {
        const std::string folder = r.local.substr(0, r.local.rfind('/'));
        auto list = Ordered(folder, m_shares[size_t(r.share)].real, r.lastWire, true);
        if (list.empty())
            return 242;
        record = RecordOf(list.front());
        return 0;
    }
    Entry e;
    if (::stat(r.local.c_str(), &e.st) != 0)
        return 242;
    e.dir = S_ISDIR(e.st.st_mode);
    e.wire = WireName(r.local.substr(r.local.rfind('/') + 1), nullptr);
    record = RecordOf(e);
    return 0;
}

uint8_t Server::Copy(const std::string& from, const std::string& to) const
{
    Resolved a, b;
    if (!Resolve(from, false, a))
        return 252;
    if (!Resolve(to, false, b))
        return 249;
    if (b.isShareDir || !ValidNewName(b.lastWire))
        return 238;
    struct stat sa{}, sb{};
    if (::stat(a.local.c_str(), &sa) != 0 || !S_ISREG(sa.st_mode))
        return 238;
    if (::stat(b.local.c_str(), &sb) == 0 &&
        (!S_ISREG(sb.st_mode) || (sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino)))
        return 238;
    return sys::AtomicCopyFile(a.local, b.local) ? 0 : 238;
}

uint8_t Server::Move(const std::string& from, const std::string& to) const
{
    Resolved a, b;
    if (!Resolve(from, false, a))
        return 252;
    if (!Resolve(to, false, b))
        return 249;
    if (a.isShareDir || b.isShareDir || !ValidNewName(b.lastWire))
        return 240;
    struct stat sa{}, sb{};
    if (::lstat(a.local.c_str(), &sa) != 0 || ::lstat(b.local.c_str(), &sb) == 0)
        return 240;
    if (::renameat2(AT_FDCWD, a.local.c_str(), AT_FDCWD, b.local.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno == EXDEV && S_ISREG(sa.st_mode) && sys::AtomicCopyFile(a.local, b.local)) {
        ::unlink(a.local.c_str());
        return 0;
    }
    return 240;
}

uint8_t Server::Delete(const std::string& wire) const
{
    Resolved r;
    if (!Resolve(wire, false, r))
        return 245;
    struct stat st{};
    if (r.isShareDir || ::lstat(r.local.c_str(), &st) != 0 || S_ISDIR(st.st_mode))
        return 244;
    return ::unlink(r.local.c_str()) == 0 ? 0 : 244;
}

uint8_t Server::MakeDir(const std::string& wire) const
{
    Resolved r;
    if (!Resolve(wire, false, r))
        return 245;
    if (r.isShareDir || !ValidNewName(r.lastWire))
        return 246;
    return ::mkdir(r.local.c_str(), 0755) == 0 ? 0 : 246;
}

uint8_t Server::RemoveDir(const std::string& wire) const
{
    Resolved r;
    if (!Resolve(wire, false, r))
        return 245;
    if (r.isShareDir)
        return 241;
    return ::rmdir(r.local.c_str()) == 0 ? 0 : 241;
}

uint8_t Server::Read(const std::string& wire, Bytes& content, uint16_t& time, uint16_t& date) const
{
    Resolved r;
    if (!Resolve(wire, false, r))
        return 245;
    struct stat st{};
    if (::stat(r.local.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size >= (int64_t(1) << 32))
        return 135;
    const int fd = ::open(r.local.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return 135;
    content.resize(size_t(st.st_size));
    size_t got = 0;
    while (got < content.size()) {
        const ssize_t n = ::read(fd, content.data() + got, content.size() - got);
        if (n <= 0)
            break;
        got += size_t(n);
    }
    ::close(fd);
    content.resize(got);
    Stamp(st, time, date);
    return 0;
}

uint8_t Server::PrepareWrite(const std::string& wire, std::string& local) const
{
    Resolved r;
    if (!Resolve(wire, false, r))
        return 245;
    if (r.isShareDir || !ValidNewName(r.lastWire))
        return 249;
    struct stat st{};
    const std::string folder = r.local.substr(0, r.local.rfind('/'));
    if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return 249;
    if (::stat(r.local.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        return 249;
    local = r.local;
    return 0;
}

uint8_t Server::CommitWrite(const std::string& local, const Bytes& content, uint16_t time,
                            uint16_t date)
{
    sys::AtomicFile out;
    if (!out.Open(local) || !out.Write(content.data(), content.size()))
        return 249;
    sys::FileTime ft = 0;
    if (date != 0 && sys::DosDateTimeToFileTime(date, time, ft))
        out.SetWriteTime(sys::FileTimeToUnix(ft));
    return out.Commit() ? 0 : 249;
}

} // namespace cssim::files
