// The reader of listing files.
#include "link/linkobj/olnk_link_logic.h"
#include "tests/support/platform/TempDir.h"

#include <gtest/gtest.h>

using linkobj::ListingResult;
using linkobj::ReadListingFile;

namespace {

using Bytes = std::vector<uint8_t>;

void Put16(Bytes& b, uint16_t v)
{
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}
void Put32(Bytes& b, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b.push_back(uint8_t(v >> (8 * i)));
}

Bytes Record(const std::string& name, uint32_t flag, uint32_t size)
{
    Bytes r;
    Put16(r, uint16_t(name.size() + 29));
    Put32(r, flag);
    Put16(r, 0x6DAF);
    Put16(r, 0x586F);
    Put32(r, size);
    std::string shortName = name.substr(0, 12);
    shortName.resize(14, '\0');
    r.insert(r.end(), shortName.begin(), shortName.end());
    r.insert(r.end(), name.begin(), name.end());
    r.push_back(0);
    return r;
}

std::string File(const std::vector<Bytes>& records, int count = -1, int64_t lengthDelta = 0)
{
    Bytes body;
    for (const Bytes& r : records)
        body.insert(body.end(), r.begin(), r.end());
    Bytes f;
    Put32(f, uint32_t(int64_t(body.size() + 6) + lengthDelta));
    Put16(f, uint16_t(count < 0 ? records.size() : size_t(count)));
    f.insert(f.end(), body.begin(), body.end());
    return std::string(f.begin(), f.end());
}

} // namespace

TEST(OlnkListing, ReadsRecordsAndRejectsBadFiles)
{
    testsupport::TempDir d;
    std::vector<FileListRecord> recs;
    EXPECT_EQ(ReadListingFile(d / "missing", recs), ListingResult::CannotOpen);

    d.Write("ok", File({Record("A.TXT", 0, 2024), Record("sub", 0x10, 0)}));
    ASSERT_EQ(ReadListingFile(d / "ok", recs), ListingResult::Ok);
    ASSERT_EQ(recs.size(), 2u);
    EXPECT_EQ(std::u16string(recs[0].name), u"A.TXT");
    EXPECT_EQ(uint32_t(recs[0].size), 2024u);
    EXPECT_EQ(uint16_t(recs[0].dosTime), 0x6DAF);
    EXPECT_EQ(uint32_t(recs[1].folder), 0x10u);

    // Header: a stored length unlike the file size, a short file, a count
    // the file cannot hold.
    recs.clear();
    d.Write("len", File({Record("A", 0, 1)}, -1, 1));
    EXPECT_EQ(ReadListingFile(d / "len", recs), ListingResult::BadHeader);
    d.Write("short", std::string("\x04\x00\x00\x00", 4));
    EXPECT_EQ(ReadListingFile(d / "short", recs), ListingResult::BadHeader);
    d.Write("count", File({Record("A", 0, 1)}, 5));
    EXPECT_EQ(ReadListingFile(d / "count", recs), ListingResult::BadHeader);
    EXPECT_TRUE(recs.empty());

    // Records: the first 20 bytes long; one reaching beyond the file; a
    // name without its zero.  The good records before stay.
    Bytes shortRec = Record("B", 0, 1);
    shortRec[0] = 20;
    std::string f = File({shortRec, Record("C", 0, 1)});
    d.Write("rec20", f);
    EXPECT_EQ(ReadListingFile(d / "rec20", recs), ListingResult::BadRecord);
    EXPECT_TRUE(recs.empty());

    Bytes longRec = Record("LONGER", 0, 1);
    longRec[0] = uint8_t(longRec.size() + 40);
    d.Write("beyond", File({Record("A", 0, 1), longRec, Record("B", 0, 1)}));
    EXPECT_EQ(ReadListingFile(d / "beyond", recs), ListingResult::BadRecord);
    EXPECT_EQ(recs.size(), 1u);

    recs.clear();
    Bytes noZero = Record("NAME", 0, 1);
    noZero.back() = 'Z';
    d.Write("nozero", File({Record("A", 0, 1), noZero}));
    EXPECT_EQ(ReadListingFile(d / "nozero", recs), ListingResult::BadRecord);
    EXPECT_EQ(recs.size(), 1u);
}
