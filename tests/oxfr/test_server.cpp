// The file server as plain functions: path checks, the share table, the
// listing writer, the record format and the failure statuses.

#include "link/oxfr/oxfr.h"
#include "link/oxfr/oxfr_server.h"
#include "tests/support/platform/TempDir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace oxfr;

namespace {

struct Server
{
    testsupport::TempDir dir, outside;
    ShareTable table;
    Server()
    {
        dir.Write("Sub/File.txt", "hello");
        dir.Write("README", "r");
        dir.Write("a.txt", "a");
        outside.Write("secret", "s");
        ::symlink(outside.Path().c_str(), (dir / "out").c_str());
        ::symlink((dir / "a.txt").c_str(), (dir / "in.txt").c_str());
        ::symlink((dir / "gone").c_str(), (dir / "dangling").c_str());
        EXPECT_EQ(table.Add(dir.Path(), "DATA", 3), 0u);
    }
    uint8_t Status(const Bytes& req)
    {
        const Bytes r = ServeSimple(table.List(), req.data(), req.size());
        return r[7];
    }
    std::vector<std::string> Names(const std::string& path, uint8_t* status = nullptr)
    {
        Bytes f;
        const uint8_t st = BuildListing(table.List(), path, f);
        if (status)
            *status = st;
        std::vector<std::string> names;
        size_t at = 6;
        for (uint16_t i = 0; i < U16(f.data() + 4); ++i) {
            const uint16_t len = U16(f.data() + at);
            names.emplace_back(reinterpret_cast<const char*>(f.data() + at + 28));
            at += len;
        }
        if (st == 0) {
            EXPECT_EQ(at, f.size());
            EXPECT_EQ(U32(f.data()), f.size());
        }
        return names;
    }
};

} // namespace

TEST(OxfrServer, PathChecks)
{
    Server s;
    MappedPath m;
    const ShareList l = s.table.List();
    for (const char* bad : {"\\DATA\\..\\x", "\\DATA\\a/../../x", "\\DATA\\out\\secret",
                            "\\DATA\\...x", "DATA\\a.txt", "\\NOPE\\a.txt", "\\"})
        EXPECT_FALSE(MapPath(l, bad, m)) << bad;
    ASSERT_TRUE(MapPath(l, "\\data\\\\SUB//file.TXT", m));
    EXPECT_EQ(m.native, s.dir.Path() + "/Sub/File.txt");
    ASSERT_TRUE(MapPath(l, "\\DATA", m));
    EXPECT_TRUE(m.shareRoot);
    ASSERT_TRUE(MapPath(l, "\\DATA\\new.txt", m)); // a new name maps too
    // A path without its zero byte is refused.
    const uint8_t raw[] = {2, 0, 2, 0, 0, 0, 0, '\\', 'D', 'A', 'T', 'A', '\\', 'a'};
    EXPECT_FALSE(TakeWirePath(raw, sizeof raw, 7).has_value());
    EXPECT_EQ(ServeSimple(l, raw, sizeof raw)[7], OXFR_PATH_REFUSED);
}

TEST(OxfrServer, ShareTable)
{
    testsupport::TempDir d;
    d.Write("file", "x");
    ShareTable t;
    for (int i = 0; i < 30; ++i)
        ASSERT_EQ(t.Add(d.Path(), std::string("S").append(std::to_string(i)), 0), 0u);
    EXPECT_EQ(t.Add(d.Path(), "S31", 0), OLNK_E_BAD_PATH);
    EXPECT_EQ(t.Remove("s3"), 0u);
    EXPECT_EQ(t.Add(d.Path(), "s0", 0), OLNK_E_BAD_PATH); // differs only in case
    EXPECT_EQ(t.Add(d / "file", "F", 0), OLNK_E_BAD_PATH);
    EXPECT_EQ(t.Add(d / "missing", "M", 0), uint32_t(ENOENT));
    EXPECT_EQ(t.Add(d.Path(), "a\\b", 0), OLNK_E_BAD_PATH);
    EXPECT_EQ(t.Add(d.Path(), "", 0), OLNK_E_BAD_PATH);
    EXPECT_EQ(t.Add(d.Path(), "NEW", 0), 0u);
    EXPECT_EQ(t.Remove("nothing"), OLNK_E_BAD_PATH);
    EXPECT_EQ(t.Count(), 30u);
}

TEST(OxfrServer, Listings)
{
    Server s;
    ASSERT_EQ(s.table.Add(s.outside.Path(), "DOCS", 0), 0u);
    EXPECT_EQ(s.Names("\\"), (std::vector<std::string>{"DATA", "DOCS"}));
    EXPECT_EQ(s.Names("\\*.*"), (std::vector<std::string>{"DATA", "DOCS"}));
    EXPECT_EQ(s.Names("\\D*"), (std::vector<std::string>{"DATA", "DOCS"}));
    EXPECT_EQ(s.Names("\\DATA"), (std::vector<std::string>{"DATA"}));
    // ".", "..", folders (whatever the pattern), files; links inside only.
    EXPECT_EQ(s.Names("\\DATA\\*.*"),
              (std::vector<std::string>{".", "..", "Sub", "a.txt", "in.txt", "README"}));
    EXPECT_EQ(s.Names("\\DATA\\"),
              (std::vector<std::string>{".", "..", "Sub", "a.txt", "in.txt", "README"}));
    EXPECT_EQ(s.Names("\\DATA\\*."), (std::vector<std::string>{".", "..", "Sub", "README"}));
    EXPECT_EQ(s.Names("\\DATA\\?.TXT"), (std::vector<std::string>{".", "..", "Sub", "a.txt"}));
    EXPECT_TRUE(s.Names("\\DATA\\nothere\\*.*").empty());
    uint8_t st = 0;
    s.Names("\\DATA\\..\\*.*", &st);
    EXPECT_EQ(st, OXFR_PATH_REFUSED);
    // A 300-entry folder.
    for (int i = 0; i < 300; ++i)
        s.dir.Write("many/n" + std::to_string(1000 + i), "");
    const auto names = s.Names("\\DATA\\many\\*");
    ASSERT_EQ(names.size(), 302u);
    EXPECT_EQ(names[2], "n1000");
    EXPECT_EQ(names[301], "n1299");
}

TEST(OxfrServer, RecordsAndShortNames)
{
    EXPECT_EQ(InfoRecord(0, 1, 2, 3, "A.TXT", "A.TXT").size(), 34u);
    EXPECT_EQ(ShortName("A.TXT"), "A.TXT");
    EXPECT_EQ(ShortName("readme"), "readme");
    EXPECT_EQ(ShortName("Long file name.text"), "LONGFI~1.TEX");
    EXPECT_EQ(ShortName(".profile"), "PROFIL~1");
    EXPECT_EQ(ShortName("a b"), "AB~1");
    EXPECT_EQ(ShortName("###.c"), "###.c");
    EXPECT_EQ(ShortName("+ +.c"), "_~1.C");
    EXPECT_EQ(ShortName(".."), "..");
}

TEST(OxfrServer, OperationsAndTheirFailures)
{
    Server s;
    EXPECT_EQ(s.Status(FileRequest(1, 1, "\\DATA\\newdir")), 0);
    EXPECT_EQ(s.Status(FileRequest(1, 1, "\\DATA\\newdir")), OXFR_MKDIR_FAILED);
    EXPECT_EQ(s.Status(FileRequest(1, 1, "\\DATA\\bad|name")), OXFR_MKDIR_FAILED);
    EXPECT_EQ(s.Status(FileRequest(1, 1, "\\DATA\\..\\x")), OXFR_PATH_REFUSED);
    EXPECT_EQ(s.Status(FileRequest2(0, 1, "\\DATA\\a.txt", "\\DATA\\b.txt")), 0);
    EXPECT_EQ(s.dir.Read("b.txt"), "a");
    EXPECT_EQ(s.Status(FileRequest2(0, 1, "\\DATA\\a.txt", "\\DATA\\A.TXT")), OXFR_COPY_FAILED);
    EXPECT_EQ(s.dir.Read("a.txt"), "a"); // never truncated
    EXPECT_EQ(s.Status(FileRequest2(0, 1, "\\DATA\\..\\a", "\\DATA\\b.txt")), OXFR_SOURCE_REFUSED);
    EXPECT_EQ(s.Status(FileRequest2(0, 1, "\\DATA\\a.txt", "\\X\\b.txt")), OXFR_DEST_REFUSED);
    EXPECT_EQ(s.Status(FileRequest2(0, 1, "\\DATA\\Sub", "\\DATA\\c")), OXFR_COPY_FAILED);
    EXPECT_EQ(s.Status(FileRequest2(8, 1, "\\DATA\\b.txt", "\\DATA\\a.txt")), OXFR_MOVE_FAILED);
    EXPECT_EQ(s.Status(FileRequest2(8, 1, "\\DATA\\b.txt", "\\DATA\\c.txt")), 0);
    EXPECT_EQ(s.Status(FileRequest2(8, 1, "\\DATA", "\\DATA\\x")), OXFR_MOVE_FAILED);
    EXPECT_EQ(s.Status(FileRequest(2, 1, "\\DATA\\c.txt")), 0);
    EXPECT_EQ(s.Status(FileRequest(2, 1, "\\DATA\\c.txt")), OXFR_DELETE_FAILED);
    EXPECT_EQ(s.Status(FileRequest(2, 1, "\\DATA\\Sub")), OXFR_DELETE_FAILED);
    EXPECT_EQ(s.Status(FileRequest(7, 1, "\\DATA\\Sub")), OXFR_RMDIR_FAILED); // not empty
    EXPECT_EQ(s.Status(FileRequest(7, 1, "\\DATA")), OXFR_RMDIR_FAILED);
    EXPECT_EQ(s.Status(FileRequest(7, 1, "\\DATA\\newdir")), 0);
    EXPECT_EQ(s.Status(FileRequest(5, 1, "\\DATA\\nothing")), OXFR_INFO_FAILED);
    // Information: trailing separators, wildcards, the share itself.
    const Bytes info = FileRequest(5, 1, "\\DATA\\sub\\");
    Bytes r = ServeSimple(s.table.List(), info.data(), info.size());
    ASSERT_EQ(r[7], 0);
    EXPECT_STREQ(reinterpret_cast<const char*>(r.data() + 10 + 28), "Sub");
    EXPECT_EQ(U32(r.data() + 12), 0x10u);
    const Bytes wild = FileRequest(5, 1, "\\DATA\\*.txt");
    r = ServeSimple(s.table.List(), wild.data(), wild.size());
    EXPECT_STREQ(reinterpret_cast<const char*>(r.data() + 10 + 28), "a.txt");
    const Bytes share = FileRequest(5, 1, "\\data");
    r = ServeSimple(s.table.List(), share.data(), share.size());
    EXPECT_STREQ(reinterpret_cast<const char*>(r.data() + 10 + 28), "DATA");
}

TEST(OxfrServer, NamesMeantToClimbNeverLeaveTheShare)
{
    // The names a hostile peer would send, as requests to our file server:
    // every one is refused or stays inside the share, and the file beside
    // the share keeps its bytes.
    Server s;
    const ShareList l = s.table.List();
    MappedPath m;
    for (const char* bad : {"\\DATA\\../../x", "\\DATA\\/../../../home/user/.profile", "\\DATA\\a\\..\\..\\x",
                            "\\DATA\\Sub\\..\\..\\secret", "\\DATA\\..", "\\DATA\\Sub/../..\\x"})
        EXPECT_FALSE(MapPath(l, bad, m)) << bad;
    for (const char* bad : {"\\DATA\\../../x", "\\DATA\\/../../../home/user/.profile", "\\DATA\\a\\..\\..\\x"}) {
        EXPECT_EQ(s.Status(FileRequest(1, 1, bad)), OXFR_PATH_REFUSED) << bad;
        EXPECT_EQ(s.Status(FileRequest(2, 1, bad)), OXFR_PATH_REFUSED) << bad;
        EXPECT_EQ(s.Status(FileRequest2(0, 1, "\\DATA\\a.txt", bad)), OXFR_DEST_REFUSED) << bad;
        EXPECT_EQ(s.Status(FileRequest2(8, 1, "\\DATA\\a.txt", bad)), OXFR_DEST_REFUSED) << bad;
        Bytes f;
        EXPECT_EQ(BuildListing(l, std::string(bad) + "\\*.*", f), OXFR_PATH_REFUSED) << bad;
    }
    // New names with a control character are refused by the operation.
    EXPECT_EQ(s.Status(FileRequest(1, 1, "\\DATA\\bell\a")), OXFR_MKDIR_FAILED);
    EXPECT_EQ(s.Status(FileRequest(1, 1, "\\DATA\\nl\nname")), OXFR_MKDIR_FAILED);
    EXPECT_EQ(s.Status(FileRequest2(0, 1, "\\DATA\\a.txt", "\\DATA\\c:x")), OXFR_COPY_FAILED);
    // A name ends at its zero: what follows the zero is never read as path.
    const Bytes nul = FileRequest(1, 1, std::string_view("\\DATA\\z\0\\..\\..\\x", 17));
    EXPECT_EQ(s.Status(nul), 0);
    struct stat st;
    EXPECT_EQ(::stat((s.dir / "z").c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(s.outside.Read("secret"), "s");
}
