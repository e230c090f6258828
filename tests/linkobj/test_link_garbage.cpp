// The link object against a control system that sends garbage which looks
// like messages: 2,000 mutated copies of valid messages (job, request,
// reply, push, connect and link-event messages with bytes, lengths and ids
// changed, from fixed seeds) leave through the simulator's channel and its
// fault shim, over UDP on 127.0.0.1 and over a pseudo-terminal pair.  After
// the burst the same link object, with no reconnect, carries a request in
// each direction within 5 s, a request pending through the burst gets its
// own answer, and the dropped messages show in the statistics.
#include "link_test_env.h"

#include "tests/support/link/ShimmedLink.h"

#include <gtest/gtest.h>

#include <random>

using namespace linktest;

namespace {

Bytes Header(uint8_t cls, uint8_t type, uint8_t code, uint32_t param)
{
    Bytes b{cls, type, code};
    Put32(b, param);
    return b;
}

void Append(Bytes& b, std::initializer_list<uint8_t> bytes) { b.insert(b.end(), bytes); }
void AppendText(Bytes& b, const std::string& s)
{
    b.insert(b.end(), s.begin(), s.end());
    b.push_back(0);
}

// Valid messages of every kind the control system sends, with the ids and
// parameters a live link uses (jobs 0x80 and 5, slots from 256).
std::vector<Bytes> Templates()
{
    std::vector<Bytes> v;
    Bytes b;
    b = {0, 4, 1, 0x80, 0, 0, 0, 0, 0, 10, 0, 5, 0}; // size message, 2024 bytes
    Append(b, {0xE8, 0x07, 0, 0, 0xAF, 0x6D, 0x6F, 0x58});
    v.push_back(b);
    b = {0, 4, 0, 0x80, 0, 0, 0, 0, 0, 8, 0}; // data block 0
    b.insert(b.end(), 8, 'x');
    v.push_back(b);
    v.push_back({0, 4, 0, 0x80, 0, 4, 0, 0, 0, 0, 0});        // final message
    v.push_back({0, 5, 0, 0x05, 20, 0, 0, 0, 0, 0x80, 0});    // first acknowledgement
    v.push_back({0, 5, 0, 0x05, 0, 5, 0, 0, 0, 0x80, 0});     // final acknowledgement
    for (uint8_t code : {3, 4, 6}) {                          // listing, read, write
        b = Header(2, 0, code, 2);
        Append(b, {uint8_t(code == 6 ? 0x03 : 0x83), 0, 0, 0, 0});
        AppendText(b, code == 3 ? "\\DATA\\*.*" : "\\DATA\\a.txt");
        v.push_back(b);
    }
    b = Header(2, 0, 5, 3); // file information
    AppendText(b, "\\DATA\\a.txt");
    v.push_back(b);
    b = Header(1, 1, 0, 256); // GetStatus reply
    Append(b, {0, 10, 0, 0x0E, 0, 0x39, 0, 0, 0, 0, 0});
    v.push_back(b);
    b = Header(1, 1, 22, 257); // GetVar reply
    Append(b, {0, 4, 0, 0x34, 0x12});
    v.push_back(b);
    b = Header(1, 1, 2, 258); // refused PLC transfer
    b.push_back(0xFF);
    v.push_back(b);
    b = Header(2, 1, 5, 259); // file information reply
    Append(b, {0, 0x22, 0, 0x22, 0, 0, 0, 0, 0, 0xAF, 0x6D, 0x6F, 0x58, 0xE8, 0x07, 0, 0});
    AppendText(b, "A.TXT");
    b.insert(b.end(), 8, 0);
    AppendText(b, "A.TXT");
    v.push_back(b);
    b = Header(2, 1, 4, 260); // refused read
    Append(b, {0xF5, 0, 0});
    v.push_back(b);
    b = Header(1, 2, 0, 0); // status push
    Append(b, {10, 0, 0x0E, 0, 0x39, 0, 0, 0, 0, 0});
    v.push_back(b);
    b = Header(1, 2, 1, 0x105); // watch push
    Append(b, {1, 0, 0, 1, 2, 3, 4, 5, 6});
    v.push_back(b);
    v.push_back({0, 0, 0, 0, 0, 0, 0, 4, 0, 1, 0});     // connect message
    v.push_back({0, 1, 0, 0, 0, 0, 0, 0, 4, 0, 1, 0});  // connect reply
    v.push_back(Header(0, 3, 7, 0));                    // link event
    v.push_back(Header(1, 0, 7, 5));                    // StopPLC request
    return v;
}

// One to four changes: a random byte, the message cut or lengthened, an id
// or parameter byte, a length field.
Bytes Mutate(Bytes b, std::mt19937_64& rng)
{
    const int changes = 1 + int(rng() % 4);
    for (int i = 0; i < changes; ++i) {
        switch (rng() % 6) {
        case 0: b[rng() % b.size()] = uint8_t(rng()); break;
        case 1: b.resize(1 + rng() % b.size()); break;
        case 2:
            for (size_t k = rng() % 40; k > 0; --k)
                b.push_back(uint8_t(rng()));
            break;
        case 3: // job id, or the parameter's low byte
            if (b.size() > 3)
                b[3] = uint8_t(rng());
            break;
        case 4: // the length field of job messages and file replies
            if (b.size() > 10) {
                b[9] = uint8_t(rng());
                b[10] = uint8_t(rng() % 5);
            }
            break;
        case 5: // the other side's job id
            if (b.size() > 11)
                b[rng() % 2 ? 9 : 11] = uint8_t(rng());
            break;
        }
    }
    return b;
}

struct Case
{
    const char* name;
    bool serial;
    uint64_t seed;
    friend void PrintTo(const Case& c, std::ostream* os) { *os << c.name << ", seed " << c.seed; }
};

class GarbageBurst : public ::testing::TestWithParam<Case>, protected testsupport::ShimmedLink
{
protected:
    void SetUp() override
    {
        App();
        theirs.Write("a.txt", "theirs");
        ours.Write("a.txt", "ours");
        ours.Write("keep.bin", std::string(3000, 'k'));
        cssim::Config cfg;
        cfg.clientTimeoutMs = 5000; // the simulator's own requests give up after 5 s
        cfg.seed = GetParam().seed;
        ASSERT_NO_FATAL_FAILURE(OpenShimmedLink(cfg, GetParam().serial));
    }
    void TearDown() override
    {
        CloseShimmedLink();
        PumpFor(20);
    }

    Target target;
};

} // namespace

TEST_P(GarbageBurst, BothDirectionsWorkAgainWithinFiveSeconds)
{
    // A request whose answer the simulator holds back until after the burst.
    cssim::RequestScript late;
    late.delayMs = 1500;
    sim->scriptRequest(7, late);
    ASSERT_EQ(pl->StopPLC(target.handle, 77), 1);
    ASSERT_TRUE(sim->recorder().waitFor(
        [](const cssim::Record& r) { return r.direction == 0 && r.cls() == 1 && r.code() == 7; },
        std::chrono::seconds(5)));
    const uint64_t errorsBefore = Stats().ProgramErr;

    std::mt19937_64 rng(GetParam().seed);
    const std::vector<Bytes> templates = Templates();
    for (int i = 0; i < 2000; ++i)
        sim->sendRaw(Mutate(templates[rng() % templates.size()], rng));
    // A marker behind the burst: once the simulator has sent it, the burst
    // has left.
    const Bytes marker = Header(1, 3, 99, 0xEEEEEEEE);
    sim->sendRaw(marker);
    ASSERT_TRUE(sim->recorder().waitFor(
        [&](const cssim::Record& r) { return r.direction == 1 && r.bytes == marker; }, std::chrono::seconds(25)));
    ASSERT_TRUE(link->IsOpen());

    // The request that was pending through the burst has its own answer.
    ASSERT_TRUE(Pump([&] { return target.Count(WM_LINK_RESULT) >= 1; }, 10000));
    Got first = target.Of(WM_LINK_RESULT)[0];
    EXPECT_EQ(first.rec.kind, 7);
    EXPECT_EQ(first.rec.status, 0);
    EXPECT_EQ(first.rec.parameter, 77u);

    // From us to the simulator: a request answered within 5 s.
    const size_t n = target.Count(WM_LINK_RESULT);
    ASSERT_EQ(pl->GetStatus(target.handle, 78), 1);
    ASSERT_TRUE(Pump([&] { return target.Count(WM_LINK_RESULT) > n; }, 5000)) << "no answer to GetStatus";
    Got status = target.Of(WM_LINK_RESULT).back();
    EXPECT_EQ(status.rec.kind, 0);
    EXPECT_EQ(status.rec.status, 0);
    EXPECT_EQ(status.rec.parameter, 78u);

    // From the simulator to us: a read of our share (a job on our side),
    // within the simulator's 5-s request time-out.
    const cssim::ClientResult got = sim->client().get("\\DATA\\keep.bin");
    EXPECT_EQ(got.status, 0);
    EXPECT_EQ(std::string(got.data.begin(), got.data.end()), std::string(3000, 'k'));

    // The same link object, still established; the garbage was counted.
    EXPECT_TRUE(link->IsEstablished());
    EXPECT_GT(Stats().ProgramErr, errorsBefore);
}

INSTANTIATE_TEST_SUITE_P(Transports, GarbageBurst,
                         ::testing::Values(Case{"Udp", false, 1}, Case{"Serial", true, 2}),
                         [](const auto& info) { return std::string(info.param.name); });
