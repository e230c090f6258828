// The link object against a peer that floods and lies about sequence
// numbers: from the simulator's side of its fault shim, at full speed,
// frames of valid shape whose sequence and acknowledgement numbers are
// random, mixed with garbage and oversized datagrams; and separately
// oversized datagrams that each begin with a valid frame.  After the burst
// the same link object, with no reconnect by the user, carries a request in
// each direction within 5 s, over UDP and over a pseudo-terminal pair, and
// the dropped frames show in the statistics.
//
// SW_LINK_FLOOD_MS sets the length of the mixed burst (default 1500 ms) for
// a run by hand, for example 30000.
#include "link_test_env.h"

#include "tests/support/link/ShimmedLink.h"
#include "tools/linkshim/Rng.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace linktest;

namespace {

uint16_t FrameCheck(const uint8_t* p, size_t n)
{
    uint16_t reg = 0;
    for (size_t i = 0; i < n; ++i)
        for (int bit = 7; bit >= 0; --bit)
            reg = uint16_t((reg << 1) ^ (((p[i] >> bit) & 1) ? 0x8004 : 0));
    return reg;
}

// A frame of valid shape: good checks, stuffing, header length 10.
Bytes Frame(uint8_t ack, uint8_t seq, bool reliable, const Bytes& data)
{
    const uint16_t control = uint16_t(data.size() | (reliable ? 0x400 : 0));
    Bytes f{0xF9, 0xFD, 10, 1, ack, uint8_t(control & 0xFF), uint8_t(control >> 8), seq};
    const uint16_t hc = FrameCheck(f.data(), f.size());
    f.push_back(uint8_t(hc & 0xFF));
    f.push_back(uint8_t(hc >> 8));
    for (uint8_t b : data) {
        f.push_back(b);
        if (b == 0xF9 || b == 0xFE)
            f.push_back(b);
    }
    const uint16_t dc = FrameCheck(data.data(), data.size());
    f.push_back(0xFE);
    f.push_back(uint8_t(dc & 0xFF));
    f.push_back(uint8_t(dc >> 8));
    return f;
}

Bytes RandomFrame(linkshim::Rng& rng)
{
    Bytes data = rng.RandomBytes(rng.Below(40));
    return Frame(uint8_t(rng.Next()), uint8_t(rng.Below(128)), rng.Chance(0.7), data);
}

// An oversized datagram: a frame of valid shape followed by garbage, more
// than the longest frame in all.
Bytes Oversized(linkshim::Rng& rng)
{
    Bytes d = RandomFrame(rng);
    const Bytes tail = rng.RandomBytes(OLNK_MAX_FRAME + 200 + rng.Below(3000));
    d.insert(d.end(), tail.begin(), tail.end());
    return d;
}

int MixedBurstMs()
{
    const char* v = std::getenv("SW_LINK_FLOOD_MS");
    const int ms = v ? std::atoi(v) : 0;
    return ms > 0 ? ms : 1500;
}

enum class Burst { Mixed, Oversized };

struct Case
{
    const char* name;
    bool serial;
    Burst burst;
    uint64_t seed;
    friend void PrintTo(const Case& c, std::ostream* os) { *os << c.name << ", seed " << c.seed; }
};

class FloodBurst : public ::testing::TestWithParam<Case>, protected testsupport::ShimmedLink
{
protected:
    void SetUp() override
    {
        App();
        ours.Write("keep.bin", std::string(3000, 'k'));
        cssim::Config cfg;
        cfg.clientTimeoutMs = 4000;
        cfg.seed = GetParam().seed;
        ASSERT_NO_FATAL_FAILURE(OpenShimmedLink(cfg, GetParam().serial));
    }
    void TearDown() override
    {
        CloseShimmedLink();
        PumpFor(20);
    }
    // Keeps the user-interface thread's events going while the burst runs.
    template <class F>
    void WhilePumping(F&& f)
    {
        std::atomic<bool> done{false};
        std::thread t([&] {
            f();
            done = true;
        });
        Pump([&] { return done.load(); }, 120000);
        t.join();
    }

    Target target;
};

} // namespace

TEST_P(FloodBurst, BothDirectionsWorkAgainWithinFiveSeconds)
{
    // Traffic first, so that both windows hold frames when the burst comes.
    ASSERT_EQ(pl->GetStatus(target.handle, 1), 1);
    ASSERT_TRUE(Pump([&] { return target.Count(WM_LINK_RESULT) == 1; }, 5000));
    const OlnkStatistics before = Stats();

    linkshim::Rng rng(GetParam().seed);
    uint64_t datagrams = 0;
    WhilePumping([&] {
        if (GetParam().burst == Burst::Oversized) {
            for (int i = 0; i < 3000; ++i, ++datagrams)
                sim->shim().inject(Oversized(rng));
            return;
        }
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(MixedBurstMs());
        while (std::chrono::steady_clock::now() < end) {
            for (int i = 0; i < 64; ++i, ++datagrams) {
                const uint32_t pick = rng.Below(10);
                if (pick < 7 || GetParam().serial)
                    sim->shim().inject(RandomFrame(rng));
                else if (pick < 9)
                    sim->shim().inject(rng.RandomBytes(1 + rng.Below(60)));
                else
                    sim->shim().inject(Oversized(rng));
            }
            // Some requests of ours meet the burst: frames in our window.
            if (datagrams % 4096 == 0)
                pl->GetStatus(target.handle, 2);
        }
    });
    const auto burstEnd = std::chrono::steady_clock::now();
    auto sinceBurst = [&] {
        return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                     burstEnd)
            .count();
    };
    RecordProperty("datagrams", std::to_string(datagrams));

    // From us to the simulator: a GetStatus answered.  One sent into a link
    // that is resetting ends with the reset's status; the next one goes
    // through.  That status comes as the session meets the simulator's
    // reset, just before it answers it: until then the channel refuses the
    // request, which is sent again until it is taken.
    auto left = [&] { return int(std::max<int64_t>(1, 5000 - sinceBurst())); };
    bool answered = false;
    while (!answered && sinceBurst() < 5000) {
        const size_t n = target.Count(WM_LINK_RESULT);
        ASSERT_TRUE(Pump([&] { return pl->GetStatus(target.handle, 78) == 1; }, left()))
            << "GetStatus refused until 5 s after the burst";
        if (!Pump([&] {
                for (const Got& g : target.Of(WM_LINK_RESULT))
                    if (g.rec.parameter == 78u && g.rec.status == 0)
                        return true;
                return target.Count(WM_LINK_RESULT) > n && target.Of(WM_LINK_RESULT).back().rec.parameter == 78u;
            }, left()))
            break;
        const Got last = target.Of(WM_LINK_RESULT).back();
        answered = last.rec.parameter == 78u && last.rec.status == 0;
    }
    EXPECT_TRUE(answered) << "no answer to GetStatus within 5 s of the burst";
    const int64_t toUs = sinceBurst();

    // From the simulator to us: a read of our share.
    cssim::ClientResult got;
    WhilePumping([&] {
        do {
            got = sim->client().get("\\DATA\\keep.bin");
        } while (got.status != 0 && sinceBurst() < 5000);
    });
    EXPECT_EQ(got.status, 0);
    EXPECT_TRUE(std::string(got.data.begin(), got.data.end()) == std::string(3000, 'k'));
    EXPECT_LE(sinceBurst(), 5000);
    std::printf("burst of %llu datagrams; GetStatus answered %lld ms after it, the read %lld ms\n",
                (unsigned long long)datagrams, (long long)toUs, (long long)sinceBurst());

    // The handshake of a reset may still be finishing: established within
    // the same 5 s.
    EXPECT_TRUE(Pump([&] { return link->IsEstablished(); }, int(std::max<int64_t>(1, 5000 - sinceBurst()))));
    const OlnkStatistics after = Stats();
    EXPECT_GT(after.HeaderErr + after.DataErr + after.ProgramErr,
              before.HeaderErr + before.DataErr + before.ProgramErr);
}

INSTANTIATE_TEST_SUITE_P(
    Transports, FloodBurst,
    ::testing::Values(Case{"UdpMixed", false, Burst::Mixed, 11}, Case{"UdpMixed2", false, Burst::Mixed, 12},
                      Case{"UdpOversized", false, Burst::Oversized, 13},
                      Case{"SerialMixed", true, Burst::Mixed, 14}),
    [](const auto& info) { return std::string(info.param.name); });
