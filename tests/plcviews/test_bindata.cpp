// The binary document's bytes on real files: random edits against a plain
// copy, what opening reads, the stream that saving writes, the data after a
// save, and a file truncated or rewritten outside after the open.

#include "plcviews/BinData.h"
#include "tests/support/platform/TempDir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fcntl.h>
#include <memory>
#include <random>
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
    d.Rebase(::open((dir / "b.bin").c_str(), O_RDONLY | O_CLOEXEC));
    EXPECT_EQ(d.PieceCount(), 1);
    EXPECT_EQ(d.PagesRead(), 0);
    EXPECT_EQ(d.ToByteArray(), want);

    // Shrunk to the small size: held whole, the file closed.
    d.Remove(0, d.Size() - 10);
    const QByteArray rest = d.ToByteArray();
    dir.Write("c.bin", rest.toStdString());
    d.Rebase(::open((dir / "c.bin").c_str(), O_RDONLY | O_CLOEXEC));
    EXPECT_FALSE(d.HasFile());
    EXPECT_EQ(d.ToByteArray(), rest);
}

TEST(BinData, AFileTruncatedOrRewrittenOutsideKeepsThePagesRead)
{
    // Pages once read never change; a page read after the file was cut
    // short has zeros past the new end (no signal, no error); one read
    // after an outside rewrite in place has the new bytes.
    testsupport::TempDir dir;
    const qsizetype size = BinData::kReadWhole + 16 * BinData::kPageSize;
    const QByteArray original = Pattern(size, 3);
    dir.Write("t.bin", original.toStdString());
    const std::unique_ptr<BinData> dOwner = Opened(dir / "t.bin");
    BinData& d = *dOwner;
    const QByteArray end = d.Mid(size - 100, 100);  // reads the last page
    EXPECT_EQ(end, original.right(100));

    ASSERT_EQ(::truncate((dir / "t.bin").c_str(), 10 * BinData::kPageSize + 5), 0);
    EXPECT_EQ(d.Size(), size);
    EXPECT_EQ(d.Mid(size - 100, 100), end);
    EXPECT_EQ(d.Mid(0, 16), original.left(16));
    EXPECT_EQ(d.Mid(10 * BinData::kPageSize, 8), original.mid(10 * BinData::kPageSize, 5) + QByteArray(3, '\0'));
    EXPECT_EQ(d.Mid(20 * BinData::kPageSize, 4), QByteArray(4, '\0'));

    // Rewritten in place: the pages read stay, one not read yet has the
    // new bytes.
    const int fd = ::open((dir / "t.bin").c_str(), O_WRONLY);
    ASSERT_EQ(::pwrite(fd, "NEWNEWNEW", 9, 0), 9);
    ASSERT_EQ(::pwrite(fd, "LATE", 4, 40 * BinData::kPageSize), 4);
    ::close(fd);
    EXPECT_EQ(d.Mid(0, 16), original.left(16));
    EXPECT_EQ(d.Mid(40 * BinData::kPageSize, 4), QByteArray("LATE"));

    // Saving streams what is shown.
    const QByteArray shown = d.ToByteArray();
    EXPECT_EQ(Streamed(d), shown);
    EXPECT_EQ(shown.right(100), end);
}
