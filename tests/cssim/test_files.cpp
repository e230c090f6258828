// Our session as the client against the simulator's file server and jobs.
#include "cssim_test_util.h"

#include "tests/support/platform/TempDir.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>
#include <sys/stat.h>
#include <unistd.h>

using namespace cssimtest;

namespace {

std::string ReadFile(const std::string& p)
{
    std::ifstream f(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
}

struct FilesFixture : ::testing::Test
{
    testsupport::TempDir share, local;
    std::unique_ptr<SimAndSession> p;
    uint32_t param = 100;

    void Start(uint32_t jobTimeoutMs = 0)
    {
        cssim::Config cfg;
        cfg.shares = {{"DATA", share.Path()}};
        p = std::make_unique<SimAndSession>(cfg, jobTimeoutMs);
        ASSERT_TRUE(p->established);
    }
    void SetUp() override
    {
        share.Write("A.TXT", std::string(2024, 'a'));
        share.Write("sub/B.BIN", std::string(10, 'b'));
        ::mkdir((share.Path() + "/Folder").c_str(), 0755);
    }
    Results::R Wait(uint32_t prm)
    {
        auto r = p->res.Transfer(prm);
        EXPECT_TRUE(r) << "no result for " << prm;
        return r ? *r : Results::R{0xFF, 0, 0, {}};
    }
    Results::R Get(const std::string& remote, const std::string& to)
    {
        const uint32_t prm = ++param;
        EXPECT_EQ(OxfrGetA(p->s, prm, nullptr, 0, nullptr, remote.c_str(), to.c_str()), 1);
        return Wait(prm);
    }
    Results::R Put(const std::string& from, const std::string& remote)
    {
        const uint32_t prm = ++param;
        EXPECT_EQ(OxfrPutA(p->s, prm, nullptr, 0, nullptr, from.c_str(), remote.c_str()), 1);
        return Wait(prm);
    }
    // The listing file's bytes, or the status when it failed.
    std::pair<int, std::string> List(const std::string& remote)
    {
        const uint32_t prm = ++param;
        EXPECT_EQ(OxfrListA(p->s, prm, nullptr, 0, nullptr, remote.c_str()), 1);
        auto r = Wait(prm);
        if (r.status != 0 || r.data.empty())
            return {r.status, {}};
        const std::string name(reinterpret_cast<const char*>(r.data.data()));
        std::string bytes = ReadFile(name);
        ::unlink(name.c_str());
        return {0, bytes};
    }
    int8_t Simple(const std::function<int(uint32_t)>& call, Bytes* data = nullptr)
    {
        const uint32_t prm = ++param;
        EXPECT_EQ(call(prm), 1);
        auto r = Wait(prm);
        if (data)
            *data = r.data;
        return r.status;
    }
};

std::vector<std::string> Names(const std::string& listing)
{
    std::vector<std::string> out;
    size_t at = 6;
    while (at + 29 <= listing.size()) {
        const uint16_t len = uint16_t(uint8_t(listing[at]) | uint8_t(listing[at + 1]) << 8);
        out.push_back(std::string(listing.c_str() + at + 28));
        at += len;
    }
    return out;
}

TEST_F(FilesFixture, OperationsOnTheShares)
{
    Start();
    auto g = Get("\\DATA\\a.txt", local / "a.txt");
    EXPECT_EQ(g.status, 0);
    EXPECT_EQ(ReadFile(local / "a.txt"), std::string(2024, 'a'));

    local.Write("up.bin", std::string(5000, 'u'));
    EXPECT_EQ(Put(local / "up.bin", "\\DATA\\Folder\\UP.BIN").status, 0);
    EXPECT_EQ(ReadFile(share / "Folder/UP.BIN"), std::string(5000, 'u'));

    auto [st, l] = List("\\DATA\\*.*");
    EXPECT_EQ(st, 0);
    EXPECT_EQ(Names(l), (std::vector<std::string>{".", "..", "Folder", "sub", "A.TXT"}));
    auto [st2, root] = List("\\");
    EXPECT_EQ(st2, 0);
    EXPECT_EQ(Names(root), std::vector<std::string>{"DATA"});

    Bytes rec;
    EXPECT_EQ(Simple([&](uint32_t q) { return OxfrGetFileInfoA(p->s, q, "\\DATA\\A.TXT"); }, &rec), 0);
    ASSERT_GE(rec.size(), 34u);
    EXPECT_EQ(rec[10] | rec[11] << 8, 2024);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(rec.data() + 28)), "A.TXT");

    EXPECT_EQ(Simple([&](uint32_t q) { return OxfrCopyA(p->s, q, "\\DATA\\A.TXT", "\\DATA\\C.TXT"); }), 0);
    EXPECT_EQ(ReadFile(share / "C.TXT"), std::string(2024, 'a'));
    EXPECT_EQ(Simple([&](uint32_t q) { return OxfrMoveA(p->s, q, "\\DATA\\C.TXT", "\\DATA\\Folder\\D.TXT"); }), 0);
    EXPECT_TRUE(ReadFile(share / "C.TXT").empty());
    EXPECT_EQ(Simple([&](uint32_t q) { return OxfrDeleteA(p->s, q, "\\DATA\\Folder\\D.TXT"); }), 0);
    EXPECT_EQ(Simple([&](uint32_t q) { return OxfrCreateDirA(p->s, q, "\\DATA\\New"); }), 0);
    struct stat sb{};
    EXPECT_EQ(::stat((share / "New").c_str(), &sb), 0);
    EXPECT_EQ(Simple([&](uint32_t q) { return OxfrRemoveDirA(p->s, q, "\\DATA\\New"); }), 0);
    EXPECT_NE(::stat((share / "New").c_str(), &sb), 0);
}

TEST_F(FilesFixture, FailureStatuses)
{
    Start();
    EXPECT_EQ(uint8_t(Get("\\DATA\\..\\x", local / "x").status), 245);
    EXPECT_EQ(uint8_t(Get("\\NOPE\\A.TXT", local / "x").status), 245);
    EXPECT_EQ(uint8_t(Get("\\DATA\\missing", local / "x").status), 135);
    EXPECT_EQ(uint8_t(Get("\\DATA\\Folder", local / "x").status), 135);
    local.Write("up.bin", "x");
    EXPECT_EQ(uint8_t(Put(local / "up.bin", "\\DATA\\nofolder\\X").status), 249);
    EXPECT_EQ(uint8_t(Simple([&](uint32_t q) { return OxfrCopyA(p->s, q, "\\X\\A", "\\DATA\\B"); })), 252);
    EXPECT_EQ(uint8_t(Simple([&](uint32_t q) { return OxfrCopyA(p->s, q, "\\DATA\\A.TXT", "\\X\\B"); })), 249);
    EXPECT_EQ(uint8_t(Simple([&](uint32_t q) { return OxfrCopyA(p->s, q, "\\DATA\\A.TXT", "\\DATA\\A.TXT"); })), 238);
    EXPECT_EQ(uint8_t(Simple([&](uint32_t q) { return OxfrMoveA(p->s, q, "\\DATA\\A.TXT", "\\DATA\\sub\\B.BIN"); })), 240);
    EXPECT_EQ(uint8_t(Simple([&](uint32_t q) { return OxfrDeleteA(p->s, q, "\\DATA\\Folder"); })), 244);
    EXPECT_EQ(uint8_t(Simple([&](uint32_t q) { return OxfrCreateDirA(p->s, q, "\\DATA\\Folder"); })), 246);
    EXPECT_EQ(uint8_t(Simple([&](uint32_t q) { return OxfrCreateDirA(p->s, q, "\\DATA\\a?b"); })), 246);
    EXPECT_EQ(uint8_t(Simple([&](uint32_t q) { return OxfrRemoveDirA(p->s, q, "\\DATA\\sub"); })), 241);
    EXPECT_EQ(uint8_t(Simple([&](uint32_t q) { return OxfrRemoveDirA(p->s, q, "\\DATA"); })), 241);
    EXPECT_EQ(uint8_t(Simple([&](uint32_t q) { return OxfrGetFileInfoA(p->s, q, "\\DATA\\none"); })), 242);
    // Scripted statuses.
    cssim::FileScript fs;
    fs.status = 243;
    p->sim->scriptFile(3, "", fs);
    EXPECT_EQ(uint8_t(List("\\DATA\\").first), 243);
    p->sim->clearFileScripts();
    fs.status = 242;
    p->sim->scriptFile(5, "\\DATA\\A*", fs);
    EXPECT_EQ(uint8_t(Simple([&](uint32_t q) { return OxfrGetFileInfoA(p->s, q, "\\DATA\\A.TXT"); })), 242);
}

TEST_F(FilesFixture, MalformedListingsDeliveredByteForByte)
{
    Start();
    const std::string good = List("\\DATA\\*.TXT").second;
    ASSERT_FALSE(good.empty());
    for (auto m : {cssim::Malformed::HeaderSize, cssim::Malformed::ShortRecord,
                   cssim::Malformed::NameWithoutZero, cssim::Malformed::DotNames}) {
        p->sim->clearFileScripts();
        cssim::FileScript fs;
        fs.malformed = m;
        p->sim->scriptFile(3, "", fs);
        auto [st, bad] = List("\\DATA\\*.TXT");
        EXPECT_EQ(st, 0);
        EXPECT_NE(bad, good) << int(m);
        ASSERT_GE(bad.size(), good.size());
        if (m == cssim::Malformed::HeaderSize) {
            EXPECT_EQ(uint8_t(bad[0]), uint8_t(good[0] + 1));
        }
        if (m == cssim::Malformed::DotNames) {
            EXPECT_EQ(Names(bad).back(), ".hidden");
        }
    }
}

TEST_F(FilesFixture, JobFaults)
{
    share.Write("BIG.BIN", std::string(30000, 'z'));
    Start(1500);
    cssim::JobScript js;
    // No credits: our send job waits for a first acknowledgement.
    js.creditsStopAfter = 0;
    p->sim->scriptJobs(js);
    local.Write("up.bin", std::string(3000, 'u'));
    EXPECT_EQ(uint8_t(Put(local / "up.bin", "\\DATA\\U.BIN").status), 134);
    // Wrong block number: dropped and counted, never written; the job ends
    // by its time-out.
    js = {};
    js.wrongBlockAfter = 3;
    p->sim->scriptJobs(js);
    OxfrCounters before{}, after{};
    OxfrGetCounters(p->s, &before);
    EXPECT_EQ(uint8_t(Get("\\DATA\\BIG.BIN", local / "big").status), 134);
    OxfrGetCounters(p->s, &after);
    EXPECT_GT(after.malformed, before.malformed);
    EXPECT_FALSE(std::filesystem::exists(local / "big"));
    // Abort with a status.
    js = {};
    js.abortAfter = 2;
    js.abortStatus = 0xF0;
    p->sim->scriptJobs(js);
    EXPECT_EQ(uint8_t(Get("\\DATA\\BIG.BIN", local / "big").status), 0xF0);
    // Fail to start.
    js = {};
    js.failStart = 135;
    p->sim->scriptJobs(js);
    EXPECT_EQ(uint8_t(Get("\\DATA\\BIG.BIN", local / "big").status), 135);
    // A reset in the middle: 133.  The link leaves state 3 of its first
    // reset with the in-order frame numbered 0, so traffic comes first.
    p->sim->clearJobScript();
    share.Write("HUGE.BIN", std::string(100000, 'h'));
    EXPECT_EQ(Get("\\DATA\\HUGE.BIN", local / "huge").status, 0);
    EXPECT_EQ(p->sim->linkState(), 0);
    js = {};
    js.resetAfter = 4;
    p->sim->scriptJobs(js);
    EXPECT_EQ(uint8_t(Get("\\DATA\\BIG.BIN", local / "reset").status), 133);
    EXPECT_TRUE(ReadFile(local / "reset").empty());
}

// A send job that sends more blocks than granted: our receive job ends with
// 136 and keeps nothing.  A job that writes quickly grants a block for each
// one written, so the excess might fit in time; its first progress call
// therefore holds it (granting nothing more) until our session has taken the
// excess block and the one after it, whose check has then run.
struct HoldFirstBlock
{
    OlnkChannel ch;
    uint64_t until;
    bool held = false;
};

uint64_t HandedOver(OlnkChannel ch)
{
    OlnkStatistics st{};
    st.size = sizeof st;
    OlnkGetStatistics(ch, &st);
    return st.GetPackets;
}

int HoldProgress(uint32_t, std::uintptr_t context, uint32_t, uint32_t)
{
    auto* h = reinterpret_cast<HoldFirstBlock*>(context);
    if (h->held)
        return 0;
    h->held = true;
    testsupport::WaitUntil([h] { return HandedOver(h->ch) >= h->until; }, 20000);
    return 0;
}

TEST_F(FilesFixture, MoreBlocksThanGrantedGive136)
{
    share.Write("BIG.BIN", std::string(30000, 'z')); // 59 blocks
    local.Write("kept", "old");
    Start();
    cssim::JobScript js;
    js.exceedCredits = 10;
    p->sim->scriptJobs(js);
    HoldFirstBlock hold{OxfrGetChannel(p->s), 0};
    // The size message, the 20 granted blocks, the excess block and one more.
    hold.until = HandedOver(hold.ch) + 1 + 20 + 2;
    const uint32_t prm = ++param;
    ASSERT_EQ(OxfrGetA(p->s, prm, &HoldProgress, reinterpret_cast<std::uintptr_t>(&hold), nullptr,
                       "\\DATA\\BIG.BIN", (local / "kept").c_str()),
              1);
    EXPECT_EQ(uint8_t(Wait(prm).status), 136);
    EXPECT_EQ(ReadFile(local / "kept"), "old");
    // The simulator's job got our final acknowledgement of 136.
    EXPECT_TRUE(p->sim->recorder().waitFor(
        [](const cssim::Record& r) {
            return r.direction == 0 && r.bytes.size() >= 11 && r.bytes[0] == 0 && r.bytes[1] == 5
                   && r.bytes[4] == 136;
        },
        std::chrono::seconds(5)));
}

} // namespace
