// The PLC image check: the chain of module records and its two sums.
#include "projectui/StrandworkDoc.h"
#include "tools/cssim/cssim.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

const Bytes kEnd = {0xFA, 0xFE, 0xFF, 0xF9, 0x00, 0xA5, 0x07, 0xF8};

void Put16(Bytes& b, size_t at, uint16_t v)
{
    b[at] = uint8_t(v);
    b[at + 1] = uint8_t(v >> 8);
}

// A module of `size` bytes (head included) with its fields.
Bytes Module(uint16_t type, uint16_t len, uint16_t sum, uint16_t size, uint8_t mark7 = 0xF9)
{
    Bytes m(size, 0x11);
    const uint8_t head[8] = {0xFA, 0xFE, 0xFF, 0xF9, uint8_t(type), uint8_t(type >> 8), 6, mark7};
    std::copy(head, head + 8, m.begin());
    Put16(m, 12, size);
    Put16(m, 24, len);
    Put16(m, 26, sum);
    return m;
}

Bytes Cat(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const Bytes& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

struct Result
{
    bool ok;
    uint32_t length;
    uint16_t checksum;
};

Result Check(const Bytes& image)
{
    uint32_t l = 99;
    uint16_t c = 99;
    const bool ok = CStrandworkDoc::CheckPlcImage(image.data(), uint32_t(image.size()), l, c);
    return {ok, l, c};
}

} // namespace

TEST(PlcImage, ChainWalk)
{
    // Only an end record.
    Result r = Check(kEnd);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.length, 0u);
    EXPECT_EQ(r.checksum, 0u);
    // One module of type 0xA520, then the end record.
    r = Check(Cat({Module(0xA520, 1234, 0x4321, 40), kEnd}));
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.length, 1234u);
    EXPECT_EQ(r.checksum, 0x4321u);
    // A module marker of 0xF8 at offset 7.
    EXPECT_FALSE(Check(Cat({Module(0xA520, 1, 1, 40, 0xF8), kEnd})).ok);
    // An end record of type 0xA520.
    Bytes badEnd = kEnd;
    badEnd[4] = 0x20;
    EXPECT_FALSE(Check(Cat({Module(0xA500, 1, 1, 40), badEnd})).ok);
    // Checksums wrap at 16 bits; lengths add up in 32.
    r = Check(Cat({Module(0xA520, 0xFFFF, 0xFFFF, 40), Module(0xA500, 0xFFFF, 0x0002, 36), kEnd}));
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.checksum, 0x0001u);
    EXPECT_EQ(r.length, 0x1FFFEu);
}

TEST(PlcImage, BadDistancesAndShortImagesNeverReadBeyond)
{
    // A distance that carries the walk past the end.
    Bytes far = Cat({Module(0xA520, 5, 6, 40), kEnd});
    Put16(far, 12, 400);
    Result r = Check(far);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.length, 5u); // the walked module still counts
    // Distance 0 and 31 would never leave the head: false, no loop.
    for (uint16_t d : {0, 31}) {
        Bytes stuck = Cat({Module(0xA520, 5, 6, 40), kEnd});
        Put16(stuck, 12, d);
        EXPECT_FALSE(Check(stuck).ok) << d;
    }
    // Shorter than an end record, and nothing at all.
    EXPECT_FALSE(Check(Bytes(kEnd.begin(), kEnd.begin() + 7)).ok);
    EXPECT_FALSE(Check({}).ok);
    uint32_t l = 1;
    uint16_t c = 1;
    EXPECT_FALSE(CStrandworkDoc::CheckPlcImage(nullptr, 0, l, c));
    EXPECT_EQ(l, 0u);
}

TEST(PlcImage, AgreesWithTheSimulatorsWalk)
{
    const Bytes images[] = {
        kEnd,
        Cat({Module(0xA520, 7, 8, 33), Module(0xA500, 9, 10, 64), kEnd}),
        Cat({Module(0xA520, 7, 8, 33), Bytes{0, 1, 2}}),
    };
    for (const Bytes& image : images) {
        uint32_t simLength = 0;
        uint16_t simChecksum = 0;
        const bool simOk = cssim::Plc::CheckImage(image, simLength, simChecksum);
        const Result r = Check(image);
        EXPECT_EQ(r.ok, simOk);
        EXPECT_EQ(r.length, simLength);
        EXPECT_EQ(r.checksum, simChecksum);
    }
}
