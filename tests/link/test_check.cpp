// The 16-bit check of the link protocol and its last-14-bits property.

#include "link/olnk/olnk.h"
#include "tests/support/link_pump/link_pump.h"
#include "link_test_util.h"

#include <gtest/gtest.h>

using namespace linktest;

TEST(LinkCheck, KnownValues)
{
    EXPECT_EQ(OlnkCrc(nullptr, 0), 0x0000);
    EXPECT_EQ(OlnkCrc("a", 1), 0x8184);
    EXPECT_EQ(OlnkCrc("abc", 3), 0x098C);
    EXPECT_EQ(OlnkCrcUpdate(OlnkCrcUpdate(OlnkCrcUpdate(0, 'a'), 'b'), 'c'), 0x098C);
}

TEST(LinkCheck, TableMatchesBitwiseDefinition)
{
    linkpump::Rng rng(7);
    for (int i = 0; i < 200; ++i) {
        const Bytes b = rng.RandomBytes(1 + rng.Below(1023));
        EXPECT_EQ(OlnkCrc(b.data(), b.size()), Check(b));
    }
    for (int reg = 0; reg < 65536; reg += 251)
        for (int byte = 0; byte < 256; ++byte) {
            uint16_t expect = static_cast<uint16_t>(reg);
            for (int bit = 7; bit >= 0; --bit)
                expect = static_cast<uint16_t>((expect << 1) ^ (((byte >> bit) & 1) ? 0x8004 : 0));
            ASSERT_EQ(OlnkCrcUpdate(static_cast<uint16_t>(reg), static_cast<uint8_t>(byte)), expect);
        }
}

// Bits 0 and 1 of the register are always clear, so the low check byte is
// never F9 or FE.
TEST(LinkCheck, LowByteHasItsTwoLowBitsClear)
{
    for (int reg = 0; reg < 65536; reg += 4)
        for (int byte = 0; byte < 256; ++byte)
            ASSERT_EQ(OlnkCrcUpdate(static_cast<uint16_t>(reg), static_cast<uint8_t>(byte)) & 3, 0);
}

// The register forgets every input bit 14 steps later: only the last byte
// and the low six bits of the one before it count.
TEST(LinkCheck, DependsOnlyOnTheLast14Bits)
{
    linkpump::Rng rng(11);
    for (int i = 0; i < 500; ++i) {
        Bytes b = rng.RandomBytes(2 + rng.Below(100));
        const uint8_t x = b[b.size() - 2];
        const uint8_t y = b.back();
        const uint8_t pair[2] = {x, y};
        const uint8_t masked[2] = {static_cast<uint8_t>(x & 0x3F), y};
        EXPECT_EQ(OlnkCrc(b.data(), b.size()), OlnkCrc(pair, 2));
        EXPECT_EQ(OlnkCrc(b.data(), b.size()), OlnkCrc(masked, 2));
        // Flipping either top bit of the second-to-last byte changes nothing.
        for (uint8_t bit : {0x40, 0x80}) {
            Bytes c = b;
            c[c.size() - 2] ^= bit;
            EXPECT_EQ(OlnkCrc(c.data(), c.size()), OlnkCrc(b.data(), b.size()));
        }
        // A flipped bit among the last 14 is always seen.
        Bytes d = b;
        d.back() ^= static_cast<uint8_t>(1u << rng.Below(8));
        EXPECT_NE(OlnkCrc(d.data(), d.size()), OlnkCrc(b.data(), b.size()));
    }
}
