#pragma once
// The bytes of the binary document: a list of pieces, each either a range
// of the opened file or bytes of its own.  A small file is read whole when
// it is opened; a larger one stays open and its pages are read with pread
// when needed and kept in a cache of at most kCachePages pages (the least
// recently used one goes first), so memory stays bounded however much of
// the file is shown.  Every read from the file is checked against what the
// file was at the open (the descriptor's size and last write, the file the
// path names): once the file has changed, the pages kept stay as they were
// and the others are unavailable, never a mix of old and new bytes.  Only
// what is edited is copied: typing over a byte of the file copies its
// 4 KiB chunk, an insert adds a piece of its own, a removal drops ranges.
// Saving streams every piece out.

#include "plcviews/HexEditModel.h"

#include <QByteArray>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class BinData final : public HexBytes
{
public:
    // Files up to this size are read whole at open (and any data of at
    // most this size is held whole after a save).
    static constexpr qsizetype kReadWhole = 4 * 1024 * 1024;
    // The unit in which a larger file is read and kept.
    static constexpr qsizetype kPageSize = 64 * 1024;
    // The most pages of the file kept at once (64 MiB).
    static constexpr qsizetype kCachePages = 1024;
    // The unit of the file that typing over one of its bytes copies.
    static constexpr qsizetype kEditChunk = 4 * 1024;

    BinData();
    ~BinData() override;
    BinData(const BinData&) = delete;
    BinData& operator=(const BinData&) = delete;
    void swap(BinData& other) noexcept;

    // What a read found changed since the file was opened (the flags of the
    // change notice).
    enum Change : uint32_t {
        kContentChanged = 0x1,  // the file's size or last write: pages not kept are unavailable
        kPathReplaced = 0x2,    // the path names another file (the open one still reads as it was)
        kPathGone = 0x4,        // nothing is at the path any more
    };

    // Opens the regular file at nativePath (sys::OpenForReading: never
    // waits, refuses what is not a regular file).  False with an errno
    // value: EFBIG over maxSize (or grown while read), EIO when a small
    // file or the first page of a larger one cannot be read whole.
    bool Open(const std::string& nativePath, qsizetype maxSize, int& error);
    // Called with the Change flags each time a read finds something new
    // changed (at once, inside the read: a caller that asks the user posts
    // it).  Stays with this object across swap.
    void SetChangeNotice(std::function<void(uint32_t)> notice) { m_notice = std::move(notice); }
    // The Change flags found so far (0 without a file).
    uint32_t Changes() const;
    // The bytes as the only content; no file.
    void Assign(const QByteArray& bytes);
    void Clear() { Assign({}); }
    // Everything as one array (for small data).
    QByteArray ToByteArray() const { return Mid(0, Size()); }

    // Hands every byte in order to sink, in blocks of at most kPageSize for
    // the file's ranges; pages not kept are read for it (checked like every
    // read) and not kept.  False as soon as sink returns false or a byte of
    // the file cannot be had (then *unavailable, when given, is set).
    bool WriteTo(const std::function<bool(const char*, size_t)>& sink, bool* unavailable = nullptr) const;
    // After the data were written whole to the file open at fd (taken over
    // by this call), which nativePath now names: larger data read from it
    // from now on and drop their own pieces and pages; data of at most
    // kReadWhole bytes are held whole in memory and fd is closed.
    void Rebase(int fd, const std::string& nativePath);

    // The file's pages read from it so far (a page read again counts
    // again), the pages kept now, the pieces (for tests and benchmarks).
    qsizetype PagesRead() const;
    qsizetype PagesKept() const;
    qsizetype PieceCount() const { return qsizetype(m_pieces.size()); }
    // Whether a file is open behind the data.
    bool HasFile() const { return m_file != nullptr; }

    // HexBytes
    qsizetype Size() const override { return m_size; }
    bool Read(qsizetype at, qsizetype n, char* out, char* missing = nullptr) const override;
    bool Put(qsizetype at, char byte) override;
    bool Missing(qsizetype at, qsizetype n) const override;
    void Insert(qsizetype at, const QByteArray& bytes) override;
    void Remove(qsizetype at, qsizetype n) override;

private:
    struct File;
    struct Piece
    {
        qsizetype length = 0;
        qint64 fileOffset = -1;  // the file's range, or -1: own bytes
        QByteArray own;
        bool IsFile() const { return fileOffset >= 0; }
    };

    // The piece holding offset `at` (at < Size()).
    size_t Find(qsizetype at) const;
    // Splits so that a piece starts at `at`; its index (the count at the end).
    size_t SplitAt(qsizetype at);
    // Own neighbours around index i joined while small.
    void MergeAround(size_t i);
    // Starts and size computed again from piece i on.
    void Reindex(size_t from);
    // Hands what the file's reads found changed to the notice.
    void Report() const;

    std::unique_ptr<File> m_file;
    std::function<void(uint32_t)> m_notice;
    std::vector<Piece> m_pieces;
    std::vector<qsizetype> m_starts;  // the offset of each piece
    qsizetype m_size = 0;
};
