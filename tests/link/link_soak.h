#pragma once
// The soak shared by the test_channel_soak_* programs: 10 000 messages each way (3 000 with W = 127, where every loss
// sends the whole window again) through lossy, corrupting, duplicating and reordering directions arrive in order and
// exactly once.  SW_LINK_SOAK_MESSAGES sets the number for a longer run by hand (10 000 with W = 127, say).

#include "link_test_util.h"
#include "tests/support/link_pump/link_pump.h"

#include <gtest/gtest.h>

#include <cstdlib>

using linkpump::Bytes;
using linkpump::Pump;
using linkpump::Side;

namespace linksoak {

struct SoakCase
{
    uint8_t window;
    linkpump::Policy policy;
    uint64_t seed;
    int messages = 10000;
};

// The messages each way: the case's own, or SW_LINK_SOAK_MESSAGES.
inline int Messages(const SoakCase& c)
{
    const char* v = std::getenv("SW_LINK_SOAK_MESSAGES");
    const int n = v ? std::atoi(v) : 0;
    return n > 0 ? n : c.messages;
}

inline std::string Name(const testing::TestParamInfo<SoakCase>& info)
{
    return std::string("W")
        .append(std::to_string(info.param.window))
        .append(info.param.policy == linkpump::Policy::Serial ? "_Serial_" : "_Udp_")
        .append("seed")
        .append(std::to_string(info.param.seed));
}

class LinkSoak : public testing::TestWithParam<SoakCase>
{
};

} // namespace linksoak

using linksoak::LinkSoak;
using linksoak::SoakCase;

TEST_P(LinkSoak, EveryMessageOnceAndInOrder)
{
    const SoakCase c = GetParam();
    const int messages = linksoak::Messages(c);
    linkpump::Config cfg;
    cfg.window = c.window;
    cfg.policy = c.policy;
    cfg.seed = c.seed;
    cfg.udpIdleEvery = 4;
    Pump p(cfg);
    for (Side s : {Side::A, Side::B}) {
        linkpump::Faults& f = p.faults(s);
        f.drop = f.corrupt = f.duplicate = f.reorder = 0.05;
        f.corruptMode = linkpump::CorruptMode::Detectable;
    }
    ASSERT_TRUE(p.runUntil([&] { return p.connected(); }, 2000));
    p.received(Side::A);
    p.received(Side::B);

    // Messages are made as they are queued, from a generator per side.
    linkpump::Rng gen[2] = {linkpump::Rng(c.seed * 31 + 1), linkpump::Rng(c.seed * 31 + 2)};
    linkpump::Rng check[2] = {gen[0], gen[1]};
    int queued[2] = {0, 0}, got[2] = {0, 0};
    bool ok = true;
    auto make = [](linkpump::Rng& r) { return r.RandomBytes(1 + r.Below(1023)); };
    const bool done = p.runUntil(
        [&] {
            for (int s = 0; s < 2; ++s) {
                while (queued[s] < messages && p.queued(Side(s)) < 4) {
                    p.send(Side(s), make(gen[s]));
                    ++queued[s];
                }
                for (const Bytes& m : p.received(linkpump::Other(Side(s)))) {
                    if (m != make(check[s])) {
                        ADD_FAILURE() << "message " << got[s] << " from side " << s << " differs";
                        ok = false;
                    }
                    ++got[s];
                }
            }
            return !ok || (got[0] == messages && got[1] == messages);
        },
        4000000);
    ASSERT_TRUE(ok);
    ASSERT_TRUE(done) << got[0] << " " << got[1];
    const OlnkStatistics a = linktest::Stats(p.a());
    const OlnkStatistics b = linktest::Stats(p.b());
    EXPECT_EQ(b.GetPackets, static_cast<uint64_t>(messages));
    EXPECT_EQ(a.GetPackets, static_cast<uint64_t>(messages));
    EXPECT_GT(a.HeaderErr + a.DataErr, 0u);
}



