// The binary document's bytes on real files: random edits against a plain
// copy, what opening reads, the stream that saving writes, the data after a
// save, the bounded page cache, and a file truncated, rewritten, replaced
// or deleted outside after the open.

#include "plcviews/BinData.h"
#include "tests/support/platform/TempDir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <memory>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// Bytes that differ from page to page and within one.
QByteArray Pattern(qsizetype n, int seed = 0)
{
    QByteArray b(n, Qt::Uninitialized);
    for (qsizetype i = 0; i < n; ++i)
        b[i] = char((i * 31 + i / 4093 + seed) & 0xFF);
    return b;
}

std::unique_ptr<BinData> Opened(const std::string& path)
{
    auto d = std::make_unique<BinData>();
    int error = 0;
    EXPECT_TRUE(d->Open(path, 0x7FFFFFFF, error)) << error;
    return d;
}

// The file's last write an hour back, so that any write after the open
// changes it (the clock's resolution could hide a write right after it).
void Backdate(const std::string& path)
{
    const timespec old{std::time(nullptr) - 3600, 0};
    const timespec times[2] = {old, old};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

QByteArray Streamed(const BinData& d)
{
    QByteArray out;
    EXPECT_TRUE(d.WriteTo([&](const char* p, size_t n) {
        out.append(p, qsizetype(n));
        return true;
    }));
    return out;
}
} // namespace

TEST(BinData, RandomEditsOfALargeFileMatchAPlainCopy)
{
    testsupport::TempDir dir;
    const qsizetype size = BinData::kReadWhole + 3 * BinData::kPageSize + 123;
    QByteArray ref = Pattern(size);
    dir.Write("f.bin", ref.toStdString());
    const std::unique_ptr<BinData> dOwner = Opened(dir / "f.bin");
    BinData& d = *dOwner;
    ASSERT_TRUE(d.HasFile());
    EXPECT_EQ(d.PagesRead(), 1);  // only the first page at the open
    EXPECT_EQ(d.Size(), size);

    std::mt19937 rng(7);
    auto pick = [&](qsizetype n) { return qsizetype(rng() % uint32_t(n)); };
    for (int step = 0; step < 3000; ++step) {
        const int op = int(rng() % 10);
        if (op < 5 && !ref.isEmpty()) {
            // Typing over a run of bytes, as the hex view does byte by byte.
            qsizetype at = pick(ref.size());
            for (int k = 0; k < 1 + int(rng() % 40) && at < ref.size(); ++k, ++at) {
                ref[at] = char(step + k);
                d.Put(at, char(step + k));
            }
        } else if (op < 8) {
            const qsizetype at = pick(ref.size() + 1);
            const QByteArray bytes = Pattern(1 + pick(rng() % 4 ? 16 : 100000), step);
            ref.insert(at, bytes);
            d.Insert(at, bytes);
        } else if (!ref.isEmpty()) {
            const qsizetype at = pick(ref.size());
            const qsizetype n = 1 + pick(std::min<qsizetype>(ref.size() - at, rng() % 4 ? 64 : 100000));
            ref.remove(at, n);
            d.Remove(at, n);
        }
        ASSERT_EQ(d.Size(), ref.size()) << step;
        if (step % 50 == 0 && !ref.isEmpty()) {
            const qsizetype at = pick(ref.size());
            const qsizetype n = std::min<qsizetype>(ref.size() - at, 1 + pick(200000));
            ASSERT_EQ(d.Mid(at, n), ref.mid(at, n)) << step;
        }
    }
    EXPECT_EQ(d.ToByteArray(), ref);
    EXPECT_EQ(Streamed(d), ref);
    EXPECT_LT(d.PieceCount(), 3000);

    // Everything removed, then bytes again.
    d.Remove(0, d.Size());
    EXPECT_EQ(d.Size(), 0);
    EXPECT_EQ(d.PieceCount(), 0);
    d.Insert(0, "xyz");
    EXPECT_EQ(d.ToByteArray(), QByteArray("xyz"));
}

TEST(BinData, SmallFilesAreReadWholeLargeOnesCopyOnlyWhatIsEdited)
{
    testsupport::TempDir dir;
    dir.Write("small.bin", Pattern(BinData::kReadWhole).toStdString());
    const std::unique_ptr<BinData> smallOwner = Opened(dir / "small.bin");
    BinData& small = *smallOwner;
    EXPECT_FALSE(small.HasFile());
    EXPECT_EQ(small.ToByteArray(), Pattern(BinData::kReadWhole));

    // A sparse file of 256 MiB: the open reads one page, typing copies one
    // chunk, an insert adds one piece; the stream has everything.
    const qsizetype size = qsizetype(256) << 20;
    dir.Write("big.bin", "");
    ASSERT_EQ(::truncate((dir / "big.bin").c_str(), size), 0);
    const std::unique_ptr<BinData> bigOwner = Opened(dir / "big.bin");
    BinData& big = *bigOwner;
    EXPECT_EQ(big.PagesRead(), 1);
    big.Put(size - 1, 'z');
    big.Put(size - 2, 'y');
    EXPECT_EQ(big.PieceCount(), 2);
    EXPECT_EQ(big.PagesRead(), 2);
    big.Insert(size / 2, "ins");
    EXPECT_EQ(big.PieceCount(), 4);
    EXPECT_EQ(big.Size(), size + 3);
    EXPECT_EQ(big.Mid(size / 2 - 1, 5), QByteArray("\0ins\0", 5));
    EXPECT_EQ(big.Mid(size + 3 - 3, 3), QByteArray("\0yz", 3));
    qsizetype streamed = 0, nonZero = 0;
    static const char zeros[BinData::kPageSize] = {};
    EXPECT_TRUE(big.WriteTo([&](const char* p, size_t n) {
        EXPECT_LE(n, size_t(BinData::kPageSize));
        if (std::memcmp(p, zeros, n) != 0)
            for (size_t i = 0; i < n; ++i)
                nonZero += p[i] != 0;
        streamed += qsizetype(n);
        return true;
    }));
    EXPECT_EQ(streamed, size + 3);
    EXPECT_EQ(nonZero, 5);
    EXPECT_LE(big.PagesRead(), 4);  // the stream keeps no page

    // A sink that fails stops the stream.
    int calls = 0;
    EXPECT_FALSE(big.WriteTo([&](const char*, size_t) { return ++calls < 3; }));
    EXPECT_EQ(calls, 3);

    // Over the limit: EFBIG; a folder and a missing path fail as before.
    BinData refused;
    int error = 0;
    EXPECT_FALSE(refused.Open(dir / "big.bin", size - 1, error));
    EXPECT_EQ(error, EFBIG);
    EXPECT_FALSE(refused.Open(dir.Path(), size, error));
    EXPECT_EQ(error, EISDIR);
    EXPECT_FALSE(refused.Open(dir / "none.bin", size, error));
    EXPECT_EQ(error, ENOENT);
}

TEST(BinData, RebaseReadsTheSavedFileAndDropsTheEdits)
{
    testsupport::TempDir dir;
    const qsizetype size = BinData::kReadWhole + BinData::kPageSize;
    dir.Write("a.bin", Pattern(size).toStdString());
    const std::unique_ptr<BinData> dOwner = Opened(dir / "a.bin");
    BinData& d = *dOwner;
    d.Put(5, 'Q');
    d.Insert(size - 1, "tail");
    const QByteArray want = d.ToByteArray();
    dir.Write("b.bin", want.toStdString());
    d.Rebase(::open((dir / "b.bin").c_str(), O_RDONLY | O_CLOEXEC), dir / "b.bin");
    EXPECT_EQ(d.PieceCount(), 1);
    EXPECT_EQ(d.PagesRead(), 0);
    EXPECT_EQ(d.ToByteArray(), want);

    // Shrunk to the small size: held whole, the file closed.
    d.Remove(0, d.Size() - 10);
    const QByteArray rest = d.ToByteArray();
    dir.Write("c.bin", rest.toStdString());
    d.Rebase(::open((dir / "c.bin").c_str(), O_RDONLY | O_CLOEXEC), dir / "c.bin");
    EXPECT_FALSE(d.HasFile());
    EXPECT_EQ(d.ToByteArray(), rest);
}

TEST(BinData, TheCacheKeepsAtMostItsBoundLeastRecentlyUsedFirstOut)
{
    // A sparse file of more pages than the cache holds, each page starting
    // with its number.
    testsupport::TempDir dir;
    const qsizetype pages = BinData::kCachePages + 200;
    const qint64 size = qint64(pages) * BinData::kPageSize - 77;
    dir.Write("c.bin", "");
    const int fd = ::open((dir / "c.bin").c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, off_t(size)), 0);
    auto mark = [](qsizetype p) { return QByteArray::number(p).rightJustified(8, '#'); };
    for (qsizetype p = 0; p < pages; ++p)
        ASSERT_EQ(::pwrite(fd, mark(p).constData(), 8, off_t(p * BinData::kPageSize)), 8);
    ::close(fd);
    Backdate(dir / "c.bin");

    const std::unique_ptr<BinData> dOwner = Opened(dir / "c.bin");
    BinData& d = *dOwner;
    int notices = 0;
    d.SetChangeNotice([&](uint32_t) { ++notices; });
    for (qsizetype p = 0; p < pages; ++p)
        ASSERT_EQ(d.Mid(p * BinData::kPageSize, 8), mark(p)) << p;
    EXPECT_EQ(d.PagesRead(), pages);
    EXPECT_EQ(d.PagesKept(), BinData::kCachePages);

    // Page 0 went first; read again, it equals what it was.
    const qsizetype read = d.PagesRead();
    EXPECT_EQ(d.Mid(0, 8), mark(0));
    EXPECT_EQ(d.PagesRead(), read + 1);
    EXPECT_EQ(d.PagesKept(), BinData::kCachePages);
    // Page 200 went out for it; 201 is kept, and used now it stays while
    // 202 goes out for page 1.
    EXPECT_EQ(d.Mid(201 * BinData::kPageSize, 8), mark(201));
    EXPECT_EQ(d.PagesRead(), read + 1);
    EXPECT_EQ(d.Mid(1 * BinData::kPageSize, 8), mark(1));
    EXPECT_EQ(d.Mid(201 * BinData::kPageSize, 8), mark(201));
    EXPECT_EQ(d.PagesRead(), read + 2);
    EXPECT_EQ(d.Mid(202 * BinData::kPageSize, 8), mark(202));
    EXPECT_EQ(d.PagesRead(), read + 3);

    // Edits of evicted pages are kept; the stream has every byte right
    // (pages not kept read for it, and still not kept).
    d.Put(3 * BinData::kPageSize + 2, 'E');
    d.Insert(700 * BinData::kPageSize, "INS");
    d.Remove(900 * BinData::kPageSize, 4);
    for (qsizetype p = 0; p < pages; p += 100)
        d.Mid(p * BinData::kPageSize + 500, 10);  // evict some more
    auto expected = [&](qint64 at) -> char {
        // The edited data's byte at `at` from the file's layout.
        if (at >= 900 * BinData::kPageSize)
            at += 4;
        if (at >= 700 * BinData::kPageSize) {
            if (at < 700 * BinData::kPageSize + 3)
                return "INS"[at - 700 * BinData::kPageSize];
            at -= 3;
        }
        if (at == 3 * BinData::kPageSize + 2)
            return 'E';
        const qint64 in = at % BinData::kPageSize;
        return in < 8 ? mark(at / BinData::kPageSize)[int(in)] : '\0';
    };
    qint64 at = 0, wrong = -1;
    const qsizetype kept = d.PagesKept();
    EXPECT_TRUE(d.WriteTo([&](const char* p, size_t n) {
        for (size_t i = 0; i < n && wrong < 0; ++i, ++at)
            if (p[i] != expected(at))
                wrong = at;
        return true;
    }));
    EXPECT_EQ(wrong, -1);
    EXPECT_EQ(at, size - 1);
    EXPECT_EQ(d.PagesKept(), kept);
    EXPECT_EQ(notices, 0);
    EXPECT_EQ(d.Changes(), 0u);
}

TEST(BinData, AFileChangedOutsideKeepsThePagesKeptAndNeverMixes)
{
    // Pages kept never change; once the file has changed, a page not kept
    // is unavailable (zeros, flagged), is not edited, and fails the save:
    // never a byte of the new file beside the old ones.
    testsupport::TempDir dir;
    const qsizetype size = BinData::kReadWhole + 16 * BinData::kPageSize;
    const QByteArray original = Pattern(size, 3);
    const qsizetype last = size - 100, middle = 40 * BinData::kPageSize;
    auto open = [&](const std::string& name, std::vector<uint32_t>& notices) {
        dir.Write(name, original.toStdString());
        Backdate(dir / name);
        std::unique_ptr<BinData> d = Opened(dir / name);
        d->SetChangeNotice([&notices](uint32_t found) { notices.push_back(found); });
        EXPECT_EQ(d->Mid(last, 100), original.right(100));  // the last page kept
        return d;
    };
    auto unavailable = [&](BinData& d, qsizetype at, qsizetype n) {
        QByteArray out(n, 'x'), missing(n, 'x');
        EXPECT_FALSE(d.Read(at, n, out.data(), missing.data()));
        return out == QByteArray(n, '\0') && missing == QByteArray(n, '\1');
    };

    // Truncated.
    std::vector<uint32_t> notices;
    std::unique_ptr<BinData> d = open("t.bin", notices);
    ASSERT_EQ(::truncate((dir / "t.bin").c_str(), 10 * BinData::kPageSize + 5), 0);
    EXPECT_EQ(d->Mid(last, 100), original.right(100));
    EXPECT_EQ(d->Mid(0, 16), original.left(16));  // the first page, kept since the open
    EXPECT_TRUE(notices.empty());                  // nothing read from the file yet
    EXPECT_TRUE(unavailable(*d, middle, 8));
    EXPECT_EQ(notices, std::vector<uint32_t>{BinData::kContentChanged});
    EXPECT_TRUE(unavailable(*d, 20 * BinData::kPageSize, 4));
    EXPECT_EQ(notices.size(), 1u);  // told once
    EXPECT_EQ(d->Size(), size);
    // A read across a kept and an unavailable page flags only the latter.
    QByteArray out(8, 'x'), missing(8, 'x');
    EXPECT_FALSE(d->Read(BinData::kPageSize - 4, 8, out.data(), missing.data()));
    EXPECT_EQ(out, original.mid(BinData::kPageSize - 4, 4) + QByteArray(4, '\0'));
    EXPECT_EQ(missing, QByteArray(4, '\0') + QByteArray(4, '\1'));
    // Editing: the kept pages only.
    EXPECT_FALSE(d->Put(middle, 'Q'));
    EXPECT_TRUE(d->Missing(middle, 1));
    EXPECT_TRUE(d->Missing(0, size));
    EXPECT_FALSE(d->Missing(last, 100));
    EXPECT_TRUE(d->Put(last, 'Q'));
    EXPECT_EQ(d->Mid(last, 2), "Q" + original.mid(last + 1, 1));
    // The save fails and says why.
    bool lost = false;
    EXPECT_FALSE(d->WriteTo([](const char*, size_t) { return true; }, &lost));
    EXPECT_TRUE(lost);
    // Bytes of its own stream out still.
    d->Remove(BinData::kPageSize, size - 2 * BinData::kPageSize);
    QByteArray left;
    EXPECT_TRUE(d->WriteTo(
        [&](const char* p, size_t n) {
            left.append(p, qsizetype(n));
            return true;
        },
        &lost));
    EXPECT_FALSE(lost);
    EXPECT_EQ(left.left(16), original.left(16));

    // Rewritten in place at the same size.
    notices.clear();
    d = open("r.bin", notices);
    const int fd = ::open((dir / "r.bin").c_str(), O_WRONLY);
    ASSERT_EQ(::pwrite(fd, "LATE", 4, middle), 4);
    ::close(fd);
    EXPECT_TRUE(unavailable(*d, middle, 4));
    EXPECT_EQ(notices, std::vector<uint32_t>{BinData::kContentChanged});
    EXPECT_EQ(d->Mid(last, 100), original.right(100));

    // Replaced by another file, then deleted: the open file still reads
    // as it was, every page of it; each change is told once.
    notices.clear();
    d = open("p.bin", notices);
    dir.Write("new.bin", "other");
    ASSERT_EQ(std::rename((dir / "new.bin").c_str(), (dir / "p.bin").c_str()), 0);
    EXPECT_EQ(d->Mid(middle, 8), original.mid(middle, 8));
    EXPECT_EQ(notices, std::vector<uint32_t>{BinData::kPathReplaced});
    ASSERT_EQ(::unlink((dir / "p.bin").c_str()), 0);
    EXPECT_EQ(d->Mid(middle + 3 * BinData::kPageSize, 8), original.mid(middle + 3 * BinData::kPageSize, 8));
    EXPECT_EQ(notices, (std::vector<uint32_t>{BinData::kPathReplaced, BinData::kPathGone}));
    EXPECT_EQ(Streamed(*d), original);
}
