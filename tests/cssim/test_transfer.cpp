// The PLC interface transfer of our session against the simulator.
#include "cssim_test_util.h"

using namespace cssimtest;

namespace {

using testsupport::PlcImageModule;
const Bytes kEnd{0xFA, 0xFE, 0xFF, 0xF9, 0x00, 0xA5, 0x07, 0xF8};

Bytes Image()
{
    Bytes img = PlcImageModule(0xA520, 1000, 0xFFFF, 2000);
    Bytes b = PlcImageModule(0xA500, 234, 0x0002, 3000);
    img.insert(img.end(), b.begin(), b.end());
    img.insert(img.end(), kEnd.begin(), kEnd.end());
    return img;
}

struct TransferFixture : ::testing::Test
{
    std::unique_ptr<SimAndSession> p;
    void SetUp() override
    {
        p = std::make_unique<SimAndSession>();
        ASSERT_TRUE(p->established);
    }
    int8_t Transfer(uint32_t prm, const Bytes& img, OxfrProgress progress = nullptr)
    {
        uint32_t job = 0;
        EXPECT_EQ(OlnkRequestTransferPLC(p->s, prm, img.data(), uint32_t(img.size()), progress, 0, &job), 1);
        auto r = p->res.Reply(2, prm);
        EXPECT_TRUE(r);
        return r ? r->status : 0;
    }
};

TEST(CssimImage, ChainWalk)
{
    uint32_t l;
    uint16_t c;
    EXPECT_TRUE(cssim::Plc::CheckImage(kEnd, l, c));
    EXPECT_EQ(l, 0u);
    EXPECT_TRUE(cssim::Plc::CheckImage(Image(), l, c));
    EXPECT_EQ(l, 1234u);
    EXPECT_EQ(c, 1);
    Bytes bad = Image();
    bad[7] = 0xF8;
    EXPECT_FALSE(cssim::Plc::CheckImage(bad, l, c));
    Bytes endType = kEnd;
    endType[4] = 0x20;
    EXPECT_FALSE(cssim::Plc::CheckImage(endType, l, c));
    Bytes far = Image();
    far[12] = 0xFF;
    far[13] = 0xFF;
    EXPECT_FALSE(cssim::Plc::CheckImage(far, l, c));
    Bytes zero = PlcImageModule(0xA520, 1, 1, 40);
    zero[12] = zero[13] = 0;
    zero.insert(zero.end(), kEnd.begin(), kEnd.end());
    EXPECT_FALSE(cssim::Plc::CheckImage(zero, l, c)); // no endless walk
}

TEST_F(TransferFixture, ValidImageIsStoredAndReported)
{
    EXPECT_EQ(Transfer(5, Image()), 0);
    EXPECT_EQ(p->sim->plc().image(), Image());
    EXPECT_EQ(p->sim->plc().plcLength(), 1234u);
    EXPECT_EQ(p->sim->plc().plcChecksum(), 1);
    EXPECT_EQ(p->sim->plc().flags(), cssim::FLAG_LOADED);
    ASSERT_EQ(OlnkRequestGetPLCInfo(p->s, 6), 1);
    auto info = p->res.Reply(1, 6);
    ASSERT_TRUE(info);
    ASSERT_EQ(info->data.size(), 50u);
    EXPECT_EQ(info->data[42] | info->data[43] << 8, 1);
    EXPECT_EQ(info->data[44] | info->data[45] << 8, 1234);
}

TEST_F(TransferFixture, Verdicts)
{
    Bytes bad = Image();
    bad[2000 + 7] = 0xF8;
    EXPECT_EQ(Transfer(1, bad), -2);
    EXPECT_TRUE(p->sim->plc().image().empty());
    cssim::JobScript js;
    js.verdict = -3;
    p->sim->scriptJobs(js);
    EXPECT_EQ(Transfer(2, Image()), -3);
    p->sim->clearJobScript();
    p->sim->plc().setFlags(cssim::FLAG_LOADED | cssim::FLAG_RUNNING);
    EXPECT_EQ(Transfer(3, Image()), -1);
}

TEST_F(TransferFixture, Cancel)
{
    Bytes big = Image();
    big.insert(big.end() - 8, 60000, 0); // opaque bytes after the last module are fine for the cancel
    auto cancel = [](uint32_t, std::uintptr_t, uint32_t done, uint32_t) { return done >= 2000 ? 1 : 0; };
    EXPECT_EQ(Transfer(4, big, cancel), -125);
}

} // namespace
