#include "plcviews/BinData.h"

#include "platform/sys/FileIO.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// Own pieces are joined while they stay this small; one of at most
// kInPlace bytes takes an insert into itself.
constexpr qsizetype kJoin = 64 * 1024;
constexpr qsizetype kInPlace = 1024 * 1024;

// Reads [offset, offset + n) of fd; true when all came.  What did not come
// (the file shrank outside, or a read error) is left as zeros, and the
// caller treats the whole range as unavailable.
bool ReadAt(int fd, qint64 offset, qsizetype n, char* out)
{
    qsizetype done = 0;
    while (done < n) {
        const ssize_t got = ::pread(fd, out + done, size_t(n - done), off_t(offset + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            if (got == 0)
                errno = EIO;
            std::memset(out + done, 0, size_t(n - done));
            return false;
        }
        done += got;
    }
    return true;
}
} // namespace

// The file behind the data: what it was at the open, and the cache of the
// pages read: slots ordered by use in a list (most recent first).
struct BinData::File
{
    int fd = -1;
    qint64 size = 0;
    std::string path;  // what the path names is checked on every read
    timespec mtime{};
    dev_t dev = 0;
    ino_t ino = 0;
    mutable uint32_t changes = 0;     // Change flags found so far
    mutable uint32_t unreported = 0;  // of them, not yet handed to the notice
    mutable int readError = 0;        // errno of the last failed read

    struct Slot
    {
        std::unique_ptr<char[]> bytes;  // kPageSize, reused for the next page
        size_t page = 0;
        int prev = -1, next = -1;
    };
    mutable std::vector<Slot> cache;
    mutable std::vector<int> slotOf;  // per page: its slot, or -1
    mutable std::vector<int> spare;   // slots without a page
    mutable int head = -1, tail = -1;
    mutable qsizetype pagesRead = 0;

    File(int descriptor, qint64 bytes, std::string nativePath)
        : fd(descriptor), size(bytes), path(std::move(nativePath)),
          slotOf(size_t((bytes + kPageSize - 1) / kPageSize), -1)
    {
        struct stat st{};
        if (::fstat(fd, &st) == 0) {
            mtime = st.st_mtim;
            dev = st.st_dev;
            ino = st.st_ino;
        }
    }
    ~File()
    {
        if (fd >= 0)
            ::close(fd);
    }
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    qsizetype PageLength(size_t p) const { return qsizetype(std::min<qint64>(kPageSize, size - qint64(p) * kPageSize)); }
    qsizetype Kept() const { return qsizetype(cache.size() - spare.size()); }
    bool Changed() const { return (changes & kContentChanged) != 0; }

    void Found(uint32_t change) const
    {
        if (!(changes & change)) {
            changes |= change;
            unreported |= change;
        }
    }

    // Compares the file with what it was at the open (after each read, so
    // that bytes read while it changed are never used); true while what the
    // descriptor reads is still the file of the open.
    bool Same() const
    {
        struct stat st{};
        if (::fstat(fd, &st) != 0 || st.st_size != size || st.st_mtim.tv_sec != mtime.tv_sec ||
            st.st_mtim.tv_nsec != mtime.tv_nsec)
            Found(kContentChanged);
        if (!path.empty()) {
            struct stat at{};
            if (::stat(path.c_str(), &at) != 0)
                Found(kPathGone);
            else if (at.st_dev != dev || at.st_ino != ino)
                Found(kPathReplaced);
        }
        return !Changed();
    }

    void Unlink(int i) const
    {
        Slot& s = cache[size_t(i)];
        (s.prev >= 0 ? cache[size_t(s.prev)].next : head) = s.next;
        (s.next >= 0 ? cache[size_t(s.next)].prev : tail) = s.prev;
        s.prev = s.next = -1;
    }
    void PushFront(int i) const
    {
        Slot& s = cache[size_t(i)];
        s.prev = -1;
        s.next = head;
        if (head >= 0)
            cache[size_t(head)].prev = i;
        head = i;
        if (tail < 0)
            tail = i;
    }

    // A slot for a new page: a free one, a new one while fewer than
    // kCachePages exist, else the least recently used page's.
    int TakeSlot() const
    {
        if (!spare.empty()) {
            const int i = spare.back();
            spare.pop_back();
            return i;
        }
        if (qsizetype(cache.size()) < kCachePages) {
            cache.push_back(Slot{std::make_unique<char[]>(size_t(kPageSize)), 0, -1, -1});
            return int(cache.size() - 1);
        }
        const int i = tail;
        Unlink(i);
        slotOf[cache[size_t(i)].page] = -1;
        return i;
    }

    // The page, kept or read now; null when it cannot be had: the file
    // changed since the open (the bytes would be of another file) or the
    // read failed.
    const char* Page(size_t p) const
    {
        if (const int i = slotOf[p]; i >= 0) {
            if (head != i) {
                Unlink(i);
                PushFront(i);
            }
            return cache[size_t(i)].bytes.get();
        }
        if (Changed())
            return nullptr;
        const int i = TakeSlot();
        char* bytes = cache[size_t(i)].bytes.get();
        const bool all = ReadAt(fd, qint64(p) * kPageSize, PageLength(p), bytes);
        if (!all)
            readError = errno;
        ++pagesRead;
        if (!Same() || !all) {
            spare.push_back(i);
            return nullptr;
        }
        cache[size_t(i)].page = p;
        slotOf[p] = i;
        PushFront(i);
        return bytes;
    }

    // [offset, offset + n) of the file to out; what cannot be had is zeros
    // and flagged in missing.  True when everything was had.
    bool Read(qint64 offset, qsizetype n, char* out, char* missing) const
    {
        bool all = true;
        while (n > 0) {
            const size_t p = size_t(offset / kPageSize);
            const qsizetype in = qsizetype(offset - qint64(p) * kPageSize);
            const qsizetype k = std::min(n, PageLength(p) - in);
            const char* page = Page(p);
            if (page)
                std::memcpy(out, page + in, size_t(k));
            else
                std::memset(out, 0, size_t(k));
            all = all && page;
            if (missing) {
                std::memset(missing, page ? 0 : 1, size_t(k));
                missing += k;
            }
            offset += k;
            out += k;
            n -= k;
        }
        return all;
    }

    // Whether a page of [offset, offset + n) cannot be had (reads nothing).
    bool Missing(qint64 offset, qsizetype n) const
    {
        if (!Changed() || n <= 0)
            return false;
        for (size_t p = size_t(offset / kPageSize), last = size_t((offset + n - 1) / kPageSize); p <= last; ++p)
            if (slotOf[p] < 0)
                return true;
        return false;
    }

    // As Read, to sink; pages not kept are read for it (and checked) but
    // not kept.  False when sink refuses or a byte cannot be had (lost).
    bool Stream(qint64 offset, qsizetype n, const std::function<bool(const char*, size_t)>& sink,
                std::unique_ptr<char[]>& buffer, bool& lost) const
    {
        while (n > 0) {
            const size_t p = size_t(offset / kPageSize);
            const qsizetype in = qsizetype(offset - qint64(p) * kPageSize);
            const qsizetype k = std::min(n, PageLength(p) - in);
            const char* from = nullptr;
            if (const int i = slotOf[p]; i >= 0) {
                from = cache[size_t(i)].bytes.get() + in;
            } else {
                if (Changed()) {
                    lost = true;
                    return false;
                }
                if (!buffer)
                    buffer = std::make_unique<char[]>(size_t(kPageSize));
                const bool all = ReadAt(fd, offset, k, buffer.get());
                if (!Same() || !all) {
                    lost = true;
                    return false;
                }
                from = buffer.get();
            }
            if (!sink(from, size_t(k)))
                return false;
            offset += k;
            n -= k;
        }
        return true;
    }
};

BinData::BinData() = default;
BinData::~BinData() = default;

void BinData::swap(BinData& other) noexcept
{
    std::swap(m_file, other.m_file);
    std::swap(m_pieces, other.m_pieces);
    std::swap(m_starts, other.m_starts);
    std::swap(m_size, other.m_size);
}

bool BinData::Open(const std::string& nativePath, qsizetype maxSize, int& error)
{
    error = 0;
    uint64_t size = 0;
    const int fd = sys::OpenForReading(nativePath, size);
    if (fd < 0) {
        error = errno;
        return false;
    }
    if (size > uint64_t(maxSize)) {
        ::close(fd);
        error = EFBIG;
        return false;
    }
    if (qsizetype(size) <= kReadWhole) {
        QByteArray bytes(qsizetype(size), Qt::Uninitialized);
        qsizetype done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::read(fd, bytes.data() + done, size_t(bytes.size() - done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                error = n < 0 ? errno : EIO;  // shorter than its size: changed while read
                ::close(fd);
                return false;
            }
            done += n;
        }
        // Grown meanwhile: refuse rather than keep a part of it.
        char extra = 0;
        ssize_t more;
        do
            more = ::read(fd, &extra, 1);
        while (more < 0 && errno == EINTR);
        ::close(fd);
        if (more != 0) {
            error = more > 0 ? EFBIG : errno;
            return false;
        }
        Assign(bytes);
        return true;
    }
    // A larger file stays open; its first page is read now, so a file that
    // cannot be read fails here.
    auto file = std::make_unique<File>(fd, qint64(size), nativePath);
    if (!file->Page(0)) {
        error = file->readError ? file->readError : EIO;
        return false;
    }
    m_file = std::move(file);
    m_pieces.assign(1, Piece{qsizetype(size), 0, {}});
    Reindex(0);
    return true;
}

void BinData::Assign(const QByteArray& bytes)
{
    m_file.reset();
    m_pieces.clear();
    if (!bytes.isEmpty())
        m_pieces.push_back(Piece{bytes.size(), -1, bytes});
    Reindex(0);
}

bool BinData::WriteTo(const std::function<bool(const char*, size_t)>& sink, bool* unavailable) const
{
    std::unique_ptr<char[]> buffer;
    bool ok = true, lost = false;
    for (const Piece& p : m_pieces) {
        if (p.IsFile() ? !m_file->Stream(p.fileOffset, p.length, sink, buffer, lost)
                       : !sink(p.own.constData(), size_t(p.length))) {
            ok = false;
            break;
        }
    }
    if (unavailable)
        *unavailable = lost;
    Report();
    return ok;
}

void BinData::Rebase(int fd, const std::string& nativePath)
{
    m_file = std::make_unique<File>(fd, qint64(m_size), nativePath);
    m_pieces.assign(m_size > 0 ? 1 : 0, Piece{m_size, 0, {}});
    Reindex(0);
    if (m_size <= kReadWhole) {
        // Small data are held whole; the file is closed.
        QByteArray all(m_size, Qt::Uninitialized);
        if (m_size == 0 || m_file->Read(0, m_size, all.data(), nullptr))
            Assign(all);
    }
}

uint32_t BinData::Changes() const { return m_file ? m_file->changes : 0; }
qsizetype BinData::PagesRead() const { return m_file ? m_file->pagesRead : 0; }
qsizetype BinData::PagesKept() const { return m_file ? m_file->Kept() : 0; }

void BinData::Report() const
{
    if (!m_file || !m_file->unreported)
        return;
    const uint32_t found = m_file->unreported;
    m_file->unreported = 0;
    if (m_notice)
        m_notice(found);
}

// ---------------------------------------------------------------- pieces

size_t BinData::Find(qsizetype at) const
{
    return size_t(std::upper_bound(m_starts.begin(), m_starts.end(), at) - m_starts.begin()) - 1;
}

void BinData::Reindex(size_t from)
{
    m_starts.resize(m_pieces.size());
    qsizetype start = from > 0 ? m_starts[from - 1] + m_pieces[from - 1].length : 0;
    for (size_t i = from; i < m_pieces.size(); ++i) {
        m_starts[i] = start;
        start += m_pieces[i].length;
    }
    m_size = start;
}

size_t BinData::SplitAt(qsizetype at)
{
    if (at >= m_size)
        return m_pieces.size();
    const size_t i = Find(at);
    const qsizetype o = at - m_starts[i];
    if (o == 0)
        return i;
    Piece right;
    Piece& left = m_pieces[i];
    right.length = left.length - o;
    if (left.IsFile()) {
        right.fileOffset = left.fileOffset + o;
    } else {
        right.own = left.own.mid(o);
        left.own.truncate(o);
    }
    left.length = o;
    m_pieces.insert(m_pieces.begin() + std::ptrdiff_t(i) + 1, std::move(right));
    Reindex(i);
    return i + 1;
}

void BinData::MergeAround(size_t i)
{
    auto joinable = [this](size_t a) {
        return a + 1 < m_pieces.size() && !m_pieces[a].IsFile() && !m_pieces[a + 1].IsFile() &&
               m_pieces[a].length + m_pieces[a + 1].length <= kJoin;
    };
    auto join = [this](size_t a) {
        m_pieces[a].own.append(m_pieces[a + 1].own);
        m_pieces[a].length += m_pieces[a + 1].length;
        m_pieces.erase(m_pieces.begin() + std::ptrdiff_t(a) + 1);
    };
    if (i >= m_pieces.size())
        return;
    if (joinable(i))
        join(i);
    if (i > 0 && joinable(i - 1)) {
        join(i - 1);
        --i;
    }
    Reindex(i);
}

// ---------------------------------------------------------------- HexBytes

bool BinData::Read(qsizetype at, qsizetype n, char* out, char* missing) const
{
    if (n <= 0)
        return true;
    bool all = true;
    for (size_t i = Find(at); n > 0; ++i) {
        const Piece& p = m_pieces[i];
        const qsizetype o = at - m_starts[i];
        const qsizetype k = std::min(n, p.length - o);
        if (p.IsFile()) {
            all = m_file->Read(p.fileOffset + o, k, out, missing) && all;
        } else {
            std::memcpy(out, p.own.constData() + o, size_t(k));
            if (missing)
                std::memset(missing, 0, size_t(k));
        }
        if (missing)
            missing += k;
        at += k;
        out += k;
        n -= k;
    }
    Report();
    return all;
}

bool BinData::Missing(qsizetype at, qsizetype n) const
{
    if (n <= 0 || !m_file || !(m_file->changes & kContentChanged))
        return false;
    for (size_t i = Find(at); n > 0; ++i) {
        const Piece& p = m_pieces[i];
        const qsizetype o = at - m_starts[i];
        const qsizetype k = std::min(n, p.length - o);
        if (p.IsFile() && m_file->Missing(p.fileOffset + o, k))
            return true;
        at += k;
        n -= k;
    }
    return false;
}

bool BinData::Put(qsizetype at, char byte)
{
    const size_t i = Find(at);
    Piece& p = m_pieces[i];
    const qsizetype o = at - m_starts[i];
    if (!p.IsFile()) {
        p.own[o] = byte;
        return true;
    }
    // The file's chunk around the byte becomes a piece of its own.
    const qint64 end = p.fileOffset + p.length;
    const qint64 offset = p.fileOffset + o;
    const qint64 c0 = std::max<qint64>(p.fileOffset, offset - offset % kEditChunk);
    const qint64 c1 = std::min<qint64>(end, offset - offset % kEditChunk + kEditChunk);
    Piece chunk;
    chunk.length = qsizetype(c1 - c0);
    chunk.own = QByteArray(chunk.length, Qt::Uninitialized);
    // The chunk lies in one page: all of it is there, or none.
    const bool had = m_file->Read(c0, chunk.length, chunk.own.data(), nullptr);
    Report();
    if (!had)
        return false;
    chunk.own[qsizetype(offset - c0)] = byte;
    std::vector<Piece> parts;
    if (c0 > p.fileOffset)
        parts.push_back(Piece{qsizetype(c0 - p.fileOffset), p.fileOffset, {}});
    const size_t chunkAt = i + parts.size();
    parts.push_back(std::move(chunk));
    if (c1 < end)
        parts.push_back(Piece{qsizetype(end - c1), c1, {}});
    m_pieces.erase(m_pieces.begin() + std::ptrdiff_t(i));
    m_pieces.insert(m_pieces.begin() + std::ptrdiff_t(i), std::make_move_iterator(parts.begin()),
                    std::make_move_iterator(parts.end()));
    Reindex(i);
    MergeAround(chunkAt);
    return true;
}

void BinData::Insert(qsizetype at, const QByteArray& bytes)
{
    if (bytes.isEmpty())
        return;
    if (!m_pieces.empty()) {
        // Into a small piece of own bytes that holds the offset or ends there.
        const size_t i = at < m_size ? Find(at) : m_pieces.size() - 1;
        const qsizetype o = at - m_starts[i];
        auto small = [&](size_t k) {
            return !m_pieces[k].IsFile() && m_pieces[k].length + bytes.size() <= kInPlace;
        };
        size_t into = m_pieces.size();
        qsizetype pos = 0;
        if (o > 0 && small(i)) {
            into = i;
            pos = o;
        } else if (o == 0 && i > 0 && small(i - 1)) {
            into = i - 1;
            pos = m_pieces[i - 1].length;
        } else if (o == 0 && small(i)) {
            into = i;
        }
        if (into < m_pieces.size()) {
            m_pieces[into].own.insert(pos, bytes);
            m_pieces[into].length += bytes.size();
            Reindex(into);
            return;
        }
    }
    const size_t j = SplitAt(at);
    m_pieces.insert(m_pieces.begin() + std::ptrdiff_t(j), Piece{bytes.size(), -1, bytes});
    Reindex(j);
    MergeAround(j);
}

void BinData::Remove(qsizetype at, qsizetype n)
{
    if (n <= 0)
        return;
    const size_t i = Find(at);
    const qsizetype o = at - m_starts[i];
    if (!m_pieces[i].IsFile() && o + n <= m_pieces[i].length && n < m_pieces[i].length) {
        m_pieces[i].own.remove(o, n);
        m_pieces[i].length -= n;
        Reindex(i);
        return;
    }
    const size_t a = SplitAt(at);
    const size_t b = SplitAt(at + n);
    m_pieces.erase(m_pieces.begin() + std::ptrdiff_t(a), m_pieces.begin() + std::ptrdiff_t(b));
    Reindex(a);
    if (a > 0)
        MergeAround(a - 1);
}
