// The connection monitor's core: rates, the ring, the settings, the setup
// rows and the polylines.
#include "link/ui/ConInfoModel.h"

#include <gtest/gtest.h>

using namespace linkui;

namespace {
OlnkStatistics Reading(uint64_t time, uint64_t sendBytes, uint32_t start = 7)
{
    OlnkStatistics s{};
    s.size = 120;
    s.start.dwLowDateTime = start;
    s.ConnectionTime = time;
    s.SendBytes = sendBytes;
    return s;
}
} // namespace

TEST(ConInfoModel, RatesFirstTickZeroDivisorAndNewChannels)
{
    ConInfoModel m;
    EXPECT_FALSE(m.Reading(Reading(10000000, 500))); // the first tick only samples
    EXPECT_EQ(m.SampleCount(), 0);
    auto r = m.Reading(Reading(15000000, 1500)); // +1000 bytes in 0.5 s
    ASSERT_TRUE(r);
    EXPECT_EQ(r->SendBytes(), 2000);
    EXPECT_EQ(r->RecBytes(), 0);
    EXPECT_EQ(m.SampleCount(), 1);
    EXPECT_EQ(m.Sample(6, m.Newest()), 2000);

    r = m.Reading(Reading(15000000, 2500)); // the same time: no division by 0
    ASSERT_TRUE(r);
    EXPECT_EQ(r->SendBytes(), 0);

    // A reopened channel: a new start and smaller counters.
    EXPECT_FALSE(m.Reading(Reading(20000000, 10, 8)));
    EXPECT_EQ(m.SampleCount(), 2);
    EXPECT_FALSE(m.Reading(Reading(30000000, 5, 8))); // a counter went down
    r = m.Reading(Reading(40000000, 1005, 8));
    ASSERT_TRUE(r);
    EXPECT_EQ(r->SendBytes(), 1000);
    EXPECT_EQ(Rate(0, uint64_t(1) << 40, 0, 1), INT32_MAX);
}

TEST(ConInfoModel, TheRingKeeps999AndThePolylineFitsThePage)
{
    ConInfoModel m;
    Rates r;
    for (int i = 1; i <= 1500; ++i) {
        r.bySlot[6] = i;
        m.AddSample(r);
    }
    EXPECT_EQ(m.SampleCount(), 999);
    EXPECT_EQ(m.Sample(6, m.Newest()), 1500);
    const int oldestKept = (m.Oldest() + 1) % kRingSize;
    EXPECT_EQ(m.Sample(6, oldestKept), 502);

    m.settings.series[6].range = 3000;
    const auto pts = m.Polyline(6, 403, 306); // scale 0.1 pixel per unit
    ASSERT_EQ(pts.size(), 200u);              // 100 samples at 4 pixels from x = 400 down to 4
    EXPECT_EQ(pts[0], (ConInfoModel::Point{401, 303 - 150}));
    EXPECT_EQ(pts[1], (ConInfoModel::Point{400, 153}));
    EXPECT_EQ(pts[2].x, 397);
    EXPECT_EQ(pts.back().x, 4);
    EXPECT_TRUE(m.Polyline(7, 403, 306).empty()); // hidden

    m.settings.series[6].range = 0; // drawn as 1: far above the top
    EXPECT_LT(m.Polyline(6, 403, 306)[0].y, 0);
}

TEST(ConInfoModel, DefaultsRowsAndTexts)
{
    const GraphSettings g = GraphSettings::Defaults();
    EXPECT_EQ(g.intervalMs, 1000u);
    EXPECT_EQ(g.series[0], (SeriesSettings{1, 20000, 0xFFFF00}));
    EXPECT_EQ(g.series[1], (SeriesSettings{0, 1000, 0x4080FF}));
    EXPECT_EQ(g.series[5], (SeriesSettings{0, 1000, 0xFF0080}));
    EXPECT_EQ(g.series[6], (SeriesSettings{1, 20000, 0x0000FF}));
    EXPECT_EQ(g.series[7], (SeriesSettings{0, 1000, 0xFF0000}));
    const int expectedSlots[] = {6, 4, 2, 0, 7, 5, 3, 1};
    const int rates[] = {11031, 11032, 11041, 11042, 11043, 11044, 11045, 11046};
    for (int i = 0; i < kSeries; ++i) {
        EXPECT_EQ(kSetupRows[i].slot, expectedSlots[i]);
        EXPECT_EQ(kSetupRows[i].checkId, 11015 + i);
        EXPECT_EQ(kSetupRows[i].rangeId, 11023 + i);
        EXPECT_EQ(kSetupRows[i].swatchId, 11033 + i);
        EXPECT_EQ(kSetupRows[i].rateId, rates[i]);
    }
    EXPECT_EQ(std::u16string(kSetupRows[0].label), u"Vysláno bytů");
    EXPECT_EQ(CounterText(uint64_t(1) << 33), u"8589934592");
    int64_t v = 5;
    EXPECT_FALSE(ReadSettingNumber(u"abc", v));
    EXPECT_FALSE(ReadSettingNumber(u"12x", v));
    EXPECT_EQ(v, 5);
    EXPECT_TRUE(ReadSettingNumber(u" 250 ", v));
    EXPECT_EQ(v, 250);
}
