// Transfer jobs between real sessions over UDP on 127.0.0.1.

#include "oxfr_test_util.h"

#include "platform/sys/Sync.h"

#include "link/oxfr/oxfr_server.h"
#include "platform/sys/Time.h"
#include "tests/support/platform/TempDir.h"

#include <dirent.h>
#include <fstream>
#include <gtest/gtest.h>
#include <random>
#include <sys/stat.h>

using namespace oxfrtest;

namespace {

std::string RandomBytes(size_t n, uint32_t seed)
{
    std::mt19937 g(seed);
    std::string s(n, '\0');
    for (auto& c : s)
        c = char(g());
    return s;
}

std::string ReadFile(const std::string& p)
{
    std::ifstream f(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
}

int Entries(const std::string& dir)
{
    int n = 0;
    DIR* d = ::opendir(dir.c_str());
    while (dirent* e = ::readdir(d))
        if (std::string(e->d_name) != "." && std::string(e->d_name) != "..")
            ++n;
    ::closedir(d);
    return n;
}

struct ProgressLog
{
    std::mutex m;
    std::vector<uint32_t> done;
    int stopAt = -1; // answer non-zero at this call
    static int Cb(uint32_t, std::uintptr_t ctx, uint32_t done, uint32_t)
    {
        auto* p = reinterpret_cast<ProgressLog*>(ctx);
        std::lock_guard<std::mutex> g(p->m);
        p->done.push_back(done);
        return int(p->done.size()) == p->stopAt ? 1 : 0;
    }
};

Recorder::Result WaitResult(Recorder& r, size_t count = 1)
{
    EXPECT_TRUE(r.WaitFor([&] { return r.transfers.size() >= count; }, 60000));
    std::lock_guard<std::mutex> g(r.m);
    return r.transfers.empty() ? Recorder::Result{} : r.transfers.back();
}

} // namespace

class OxfrJobsLoss : public ::testing::TestWithParam<uint64_t>
{
};

TEST_P(OxfrJobsLoss, GetPutAndListAreByteIdenticalUnderLoss)
{
    testsupport::TempDir server, local;
    const std::string content = RandomBytes(1 << 20, uint32_t(GetParam()));
    server.Write("big.bin", content);
    for (int i = 0; i < 300; ++i)
        server.Write("many/f" + std::to_string(i) + (i % 3 ? ".txt" : ".dat"), "x");
    for (int i = 0; i < 5; ++i)
        ::mkdir((server / ("many/dir" + std::to_string(i))).c_str(), 0777);

    UdpSessionPair p(0.02, GetParam());
    ASSERT_TRUE(p.established);
    ASSERT_EQ(OxfrAddShareA(p.b, server.Path().c_str(), "DATA", 0), 1);

    uint32_t job = 0;
    ASSERT_EQ(OxfrGetA(p.a, 11, nullptr, 0, &job, "\\data\\BIG.BIN", (local / "got.bin").c_str()), 1);
    EXPECT_NE(job, 0u);
    auto r = WaitResult(p.recA, 1);
    EXPECT_EQ(r.code, OXFR_CODE_GET);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.param, 11u);
    EXPECT_TRUE(ReadFile(local / "got.bin") == content);

    ASSERT_EQ(OxfrPutA(p.a, 12, nullptr, 0, &job, (local / "got.bin").c_str(), "\\DATA\\put.bin"), 1);
    r = WaitResult(p.recA, 2);
    EXPECT_EQ(r.code, OXFR_CODE_PUT);
    EXPECT_EQ(r.status, 0);
    // The file is complete when the result arrives.
    EXPECT_TRUE(ReadFile(server / "put.bin") == content);

    ASSERT_EQ(OxfrListA(p.a, 13, nullptr, 0, &job, "\\DATA\\many\\*.*"), 1);
    r = WaitResult(p.recA, 3);
    EXPECT_EQ(r.code, OXFR_CODE_LIST);
    ASSERT_EQ(r.status, 0);
    ASSERT_FALSE(r.data.empty());
    EXPECT_EQ(r.data.back(), 0);
    const std::string listing(reinterpret_cast<const char*>(r.data.data()));
    oxfr::Bytes expected;
    oxfr::ShareTable t;
    t.Add(server.Path(), "DATA", 0);
    ASSERT_EQ(oxfr::BuildListing(t.List(), "\\DATA\\many\\*.*", expected), 0);
    const std::string got = ReadFile(listing);
    EXPECT_EQ(got.size(), expected.size());
    EXPECT_TRUE(got == std::string(expected.begin(), expected.end()));
    EXPECT_EQ(oxfr::U16(expected.data() + 4), 2 + 5 + 300);
    ::unlink(listing.c_str());
    // No temporary files are left on either side.
    EXPECT_EQ(Entries(local.Path()), 1);
    EXPECT_EQ(Entries(server.Path()), 3);
}

INSTANTIATE_TEST_SUITE_P(Seeds, OxfrJobsLoss, ::testing::Values(1u, 2u, 3u));

TEST(OxfrJobs, A2024ByteFileTravelsInFourBlocks)
{
    testsupport::TempDir server, local;
    server.Write("A.TXT", std::string(2024, 'q'));
    UdpSessionPair p;
    ASSERT_TRUE(p.established);
    ASSERT_EQ(OxfrAddShareA(p.b, server.Path().c_str(), "DATA", 0), 1);
    ProgressLog log;
    uint32_t job = 0;
    ASSERT_EQ(OxfrGetA(p.a, 1, ProgressLog::Cb, std::uintptr_t(&log), &job, "\\DATA\\A.TXT",
                       (local / "a.txt").c_str()),
              1);
    EXPECT_EQ(job & 0xFF, 0x80u); // the first receive id of the session
    EXPECT_EQ(job >> 8, 1u);
    auto r = WaitResult(p.recA);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(log.done, (std::vector<uint32_t>{512, 1024, 1536, 2024}));
    // On the wire from the server: the size message, four blocks, the final message.
    // The result can arrive before the last messages have passed the relay;
    // give them a moment.
    auto collect = [&](int direction, uint8_t kind) {
        std::vector<Bytes> out;
        for (int i = 0; i < 200; ++i) {
            out.clear();
            for (auto& m : p.MessagesFrom(direction))
                if (m[0] == 0 && m[1] == kind)
                    out.push_back(m);
            if (out.size() >= 6)
                break;
            sys::Sleep(10);
        }
        return out;
    };
    std::vector<Bytes> fromServer = collect(1, 4);
    ASSERT_EQ(fromServer.size(), 6u);
    EXPECT_EQ(HexText(Bytes(fromServer[0].begin(), fromServer[0].begin() + 17)),
              "00 04 01 80 00 00 00 00 00 0A 00 00 00 E8 07 00 00");
    EXPECT_EQ(HexText(Bytes(fromServer[1].begin(), fromServer[1].begin() + 11)),
              "00 04 00 80 00 00 00 00 00 00 02");
    EXPECT_EQ(HexText(Bytes(fromServer[4].begin(), fromServer[4].begin() + 11)),
              "00 04 00 80 00 03 00 00 00 E8 01");
    EXPECT_EQ(HexText(fromServer[5]), "00 04 00 80 00 04 00 00 00 00 00");
    std::vector<Bytes> acks = collect(0, 5);
    ASSERT_EQ(acks.size(), 6u);
    EXPECT_EQ(HexText(acks[0]), "00 05 00 00 14 00 00 00 00 80 00");
    EXPECT_EQ(HexText(acks[5]), "00 05 00 00 00 05 00 00 00 80 00");
}

TEST(OxfrJobs, CancelMissingFileRefusedWriteAndTimeStamp)
{
    testsupport::TempDir server, local;
    server.Write("big.bin", RandomBytes(100000, 5));
    sys::FileTime ft;
    ASSERT_TRUE(sys::DosDateTimeToFileTime(0x586F, 0x6DAF, ft));
    struct timespec ts[2];
    ts[0].tv_sec = ts[1].tv_sec = time_t(sys::FileTimeToUnix(ft));
    ts[0].tv_nsec = ts[1].tv_nsec = 0;
    ::utimensat(AT_FDCWD, (server / "big.bin").c_str(), ts, 0);
    ::mkdir((server / "ro").c_str(), 0555);
    local.Write("old.bin", "old content");
    UdpSessionPair p;
    ASSERT_TRUE(p.established);
    ASSERT_EQ(OxfrAddShareA(p.b, server.Path().c_str(), "DATA", 0), 1);

    // A non-zero progress answer: 131, the old local file intact.
    ProgressLog log;
    log.stopAt = 3;
    ASSERT_EQ(OxfrGetA(p.a, 1, ProgressLog::Cb, std::uintptr_t(&log), nullptr, "\\DATA\\big.bin",
                       (local / "old.bin").c_str()),
              1);
    auto r = WaitResult(p.recA, 1);
    EXPECT_EQ(uint8_t(r.status), OXFR_CANCELLED);
    EXPECT_EQ(log.done.size(), 3u);
    EXPECT_EQ(ReadFile(local / "old.bin"), "old content");

    // A Put cancelled: no file on the server.
    log.done.clear();
    ASSERT_EQ(OxfrPutA(p.a, 2, ProgressLog::Cb, std::uintptr_t(&log), nullptr,
                       (server / "big.bin").c_str(), "\\DATA\\new.bin"),
              1);
    r = WaitResult(p.recA, 2);
    EXPECT_EQ(uint8_t(r.status), OXFR_CANCELLED);

    // A missing remote file: 135, the local file kept.
    ASSERT_EQ(OxfrGetA(p.a, 3, nullptr, 0, nullptr, "\\DATA\\missing.bin", (local / "old.bin").c_str()), 1);
    r = WaitResult(p.recA, 3);
    EXPECT_EQ(uint8_t(r.status), OXFR_NO_STREAM);
    EXPECT_EQ(r.param, 3u);
    EXPECT_EQ(ReadFile(local / "old.bin"), "old content");

    // A read-only folder: 249, nothing left behind.
    if (::geteuid() != 0) {
        ASSERT_EQ(OxfrPutA(p.a, 4, nullptr, 0, nullptr, (local / "old.bin").c_str(), "\\DATA\\ro\\x.bin"), 1);
        r = WaitResult(p.recA, 4);
        EXPECT_EQ(uint8_t(r.status), OXFR_DEST_REFUSED);
        EXPECT_EQ(Entries(server / "ro"), 0);
    }
    // Get sets the local last-write time from the size message.
    ASSERT_EQ(OxfrGetA(p.a, 5, nullptr, 0, nullptr, "\\DATA\\big.bin", (local / "stamped.bin").c_str()), 1);
    EXPECT_TRUE(p.recA.WaitFor([&] { return p.recA.transfers.back().param == 5; }, 30000));
    EXPECT_EQ(p.recA.Transfers().back().status, 0);
    struct stat st;
    ASSERT_EQ(::stat((local / "stamped.bin").c_str(), &st), 0);
    EXPECT_LE(std::llabs(int64_t(st.st_mtime) - sys::FileTimeToUnix(ft)), 2);
    ::chmod((server / "ro").c_str(), 0755);
    EXPECT_EQ(Entries(server.Path()), 2); // big.bin and ro: nothing else
    EXPECT_EQ(Entries(local.Path()), 2);  // old.bin and stamped.bin
}

TEST(OxfrJobs, PlcTransferToOurOwnSessionEndsWith129)
{
    UdpSessionPair p;
    ASSERT_TRUE(p.established);
    auto* image = new uint8_t[5000];
    std::memset(image, 0x5A, 5000);
    uint32_t job = 0;
    ASSERT_EQ(OlnkRequestTransferPLC(p.a, 7, image, 5000, nullptr, 0, &job), 1);
    delete[] image; // the job keeps its own copy
    EXPECT_EQ(job & 0xFF, 0u);
    ASSERT_TRUE(p.recA.WaitFor([&] { return !p.recA.replies.empty(); }, 10000));
    std::lock_guard<std::mutex> g(p.recA.m);
    EXPECT_EQ(p.recA.replies[0].code, 2);
    EXPECT_EQ(p.recA.replies[0].status, -127);
    EXPECT_EQ(p.recA.replies[0].param, 7u);
}

TEST(OxfrJobs, APeerThatStopsGrantingGives134)
{
    testsupport::TempDir local;
    local.Write("f.bin", RandomBytes(30 * 512, 9));
    SessionAndPeer sp;
    ASSERT_TRUE(sp.established);
    OxfrSetJobTimeout(sp.s, 500);
    ASSERT_EQ(OxfrPutA(sp.s, 1, nullptr, 0, nullptr, (local / "f.bin").c_str(), "\\DATA\\f.bin"), 1);
    Bytes m;
    ASSERT_TRUE(sp.peer->Receive(m));
    ASSERT_EQ(m[2], OXFR_CODE_PUT);
    const uint8_t sender = m[7];
    ASSERT_TRUE(sp.peer->Send(oxfr::AckMessage(sender, 2, 0, 0x90))); // two blocks only
    auto r = WaitResult(sp.rec);
    EXPECT_EQ(uint8_t(r.status), OXFR_CONNECTION_ERROR);
    // The size message, two blocks and the final message with 134.
    std::vector<Bytes> got;
    while (sp.peer->Receive(m, 500))
        got.push_back(m);
    ASSERT_EQ(got.size(), 4u);
    EXPECT_EQ(got[0][2], 1);
    EXPECT_EQ(HexText(got[3]), "00 04 00 90 86 00 00 00 00 00 00");
}
