// The simulator's client against our session's server: two independent
// implementations of one document.
#include "cssim_test_util.h"

#include "tests/support/platform/TempDir.h"

#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

using namespace cssimtest;

namespace {

std::string ReadFile(const std::string& p)
{
    std::ifstream f(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
}

struct Interop : ::testing::Test
{
    testsupport::TempDir dir;
    std::unique_ptr<SimAndSession> p;
    void SetUp() override
    {
        dir.Write("A.TXT", std::string(2024, 'a'));
        dir.Write("long file name.text", "x");
        dir.Write("b.c", "bc");
        dir.Write("Zeta.txt", "z");
        dir.Write(".hidden", "h");
        dir.Write("sub dir/inner.bin", std::string(700, 'i'));
        ::mkdir((dir.Path() + "/Alpha").c_str(), 0755);
        ::symlink("/etc", (dir.Path() + "/outside").c_str());
        ::symlink("A.TXT", (dir.Path() + "/inside.lnk").c_str());
        cssim::Config cfg;
        cfg.shares = {{"DATA", dir.Path()}};
        p = std::make_unique<SimAndSession>(cfg);
        ASSERT_TRUE(p->established);
        ASSERT_EQ(OxfrAddShareA(p->s, dir.Path().c_str(), "DATA", 0), 1);
    }
    std::string OurSessionLists(const std::string& path, uint32_t prm)
    {
        EXPECT_EQ(OxfrListA(p->s, prm, nullptr, 0, nullptr, path.c_str()), 1);
        auto r = p->res.Transfer(prm);
        EXPECT_TRUE(r && r->status == 0);
        if (!r || r->data.empty())
            return {};
        const std::string name(reinterpret_cast<const char*>(r->data.data()));
        const std::string bytes = ReadFile(name);
        ::unlink(name.c_str());
        return bytes;
    }
};

TEST_F(Interop, IdenticalListingFiles)
{
    uint32_t prm = 1;
    for (const char* path : {"\\DATA\\*.*", "\\DATA\\", "\\DATA\\*.txt", "\\DATA\\*.", "\\DATA\\?.c",
                             "\\", "\\D*", "\\DATA\\sub dir\\*.*", "\\DATA\\missing\\*.*"}) {
        // Our server's listing, fetched by the simulator's client ...
        const cssim::ClientResult ours = p->sim->client().list(path);
        ASSERT_EQ(ours.status, 0) << path;
        // ... and the simulator's own listing writer, fetched by our session.
        const std::string theirs = OurSessionLists(path, ++prm);
        EXPECT_EQ(HexText(ours.data), HexText(Bytes(theirs.begin(), theirs.end()))) << path;
    }
}

TEST_F(Interop, GetPutAndRefusedPaths)
{
    auto g = p->sim->client().get("\\DATA\\A.TXT");
    EXPECT_EQ(g.status, 0);
    EXPECT_EQ(g.data, Bytes(2024, 'a'));
    auto big = Bytes(100000, 0);
    for (size_t i = 0; i < big.size(); ++i)
        big[i] = uint8_t(i * 7);
    // 15 March 2024 13:45:30
    EXPECT_EQ(p->sim->client().put("\\DATA\\up.bin", big, 0x6DAF, 0x586F).status, 0);
    EXPECT_EQ(ReadFile(dir / "up.bin"), std::string(big.begin(), big.end()));
    auto back = p->sim->client().get("\\DATA\\UP.BIN");
    EXPECT_EQ(back.data, big);
    auto info = p->sim->client().info("\\DATA\\up.bin");
    ASSERT_EQ(info.status, 0);
    ASSERT_GE(info.data.size(), 10u);
    EXPECT_EQ(info.data[6] | info.data[7] << 8, 0x6DAF);
    EXPECT_EQ(info.data[8] | info.data[9] << 8, 0x586F);
    EXPECT_EQ(p->sim->client().get("\\DATA\\..\\etc\\passwd").status, 245);
    EXPECT_EQ(p->sim->client().get("\\DATA\\outside\\passwd").status, 245);
    EXPECT_EQ(p->sim->client().copy("\\NONE\\A", "\\DATA\\B").status, 252);
    EXPECT_EQ(p->sim->client().copy("\\DATA\\A.TXT", "\\NONE\\B").status, 249);
    EXPECT_EQ(p->sim->client().mkdir("\\DATA\\made").status, 0);
    EXPECT_EQ(p->sim->client().rmdir("\\DATA\\made").status, 0);
    EXPECT_EQ(p->sim->client().del("\\DATA\\up.bin").status, 0);
    EXPECT_EQ(p->sim->client().move("\\DATA\\b.c", "\\DATA\\d.c").status, 0);
    // Our side answers class-1 requests with 129 and unknown classes with 130.
    auto r1 = p->sim->client().request(Hex("01 00 07 05 00 00 00"));
    ASSERT_TRUE(r1);
    EXPECT_EQ(HexText(*r1), "01 01 07 05 00 00 00 81");
    auto r3 = p->sim->client().request(Hex("03 00 09 07 00 00 00"));
    ASSERT_TRUE(r3);
    EXPECT_EQ(HexText(*r3), "03 01 09 07 00 00 00 82");
    // A link event reaches our callback.
    p->sim->client().linkEvent(5);
    EXPECT_TRUE(p->res.WaitFor([&] { return !p->res.events.empty(); }, 5000));
    EXPECT_EQ(p->res.events.at(0), 5);
}

} // namespace
