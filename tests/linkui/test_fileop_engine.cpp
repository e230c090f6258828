// The file-operation engine against the simulator and real local folders,
// without a window.
#include "linkui_env.h"

#include "link/ui/FileOpEngine.h"

#include <algorithm>

#include <sys/stat.h>
#include <unistd.h>

using namespace linkuitest;
using linkui::FileOpEngine;

namespace {

class Engine : public SimFixture
{
protected:
    bool Run(FileOpEngine& e, int ms = 60000)
    {
        e.Start();
        EXPECT_TRUE(WaitFor([&] { return e.Ended(); }, ms, "the operation"));
        return e.Succeeded();
    }
    bool Copy(const std::string& from, const std::string& to, std::vector<std::u16string> names)
    {
        FileOpEngine e;
        e.SetupCopy(fc, W(from), W(to), names.data(), nullptr, int(names.size()), &lines, &Lines::Callback);
        return Run(e);
    }
    bool Move(const std::string& from, const std::string& to, std::vector<std::u16string> names)
    {
        FileOpEngine e;
        e.SetupMove(fc, W(from), W(to), names.data(), nullptr, int(names.size()), &lines, &Lines::Callback);
        return Run(e);
    }
    bool Delete(const std::string& folder, std::vector<std::u16string> names)
    {
        FileOpEngine e;
        e.SetupDelete(fc, W(folder), names.data(), int(names.size()), &lines, &Lines::Callback);
        return Run(e);
    }
    // A local tree: nested folders, an empty folder, 0-byte, 100 KiB and
    // 3 MiB files and a dot-file.
    void MakeTree(const std::string& root)
    {
        WriteFile(root + "/a/b/c.bin", Pattern(100 << 10, 1));
        WriteFile(root + "/a/zero.txt", "");
        fs::create_directories(root + "/a/empty");
        WriteFile(root + "/big.bin", Pattern(3 << 20, 2));
        WriteFile(root + "/.dot", "hidden");
        WriteFile(root + "/a/.cfg", "x");
    }
    std::vector<std::u16string> TopNames() { return {u"a", u"big.bin", u".dot", u".", u".."}; }

    // An operation run while the simulator answers one kind of file request
    // (op) with status, and the line it must report.
    struct Forced
    {
        uint8_t op, status;
        std::function<bool()> run;
        std::string line;
    };
    // The shared part of the forced-status tests: a file on each side and
    // an empty remote folder t; l is the local folder.
    void MakeForcedFiles(std::string& l)
    {
        WriteFile(share / "s/f.txt", "remote");
        WriteFile(local / "l/f.txt", "local");
        fs::create_directories(share / "t");
        l = local / "l";
    }
    // Runs c; it fails and reports its line.
    void RunForced(const Forced& c)
    {
        lines.lines.clear();
        sim->clearFileScripts();
        cssim::FileScript fsc;
        fsc.status = c.status;
        sim->scriptFile(c.op, "", fsc);
        EXPECT_FALSE(c.run()) << int(c.op);
        EXPECT_TRUE(lines.Has(c.line)) << int(c.op) << ": " << lines.All();
    }

    Lines lines;
};

} // namespace

TEST_F(Engine, ThreeCopiesOfOneTreeAreIdentical)
{
    const std::string src = local / "src";
    MakeTree(src);
    fs::create_directories(share / "x");
    ASSERT_TRUE(Copy(src, "\\DATA\\x\\", TopNames())) << lines.All();
    EXPECT_EQ(Tree(src), Tree(share / "x"));

    const std::string back = local / "back";
    fs::create_directories(back);
    ASSERT_TRUE(Copy("\\DATA\\x", back, TopNames())) << lines.All();
    EXPECT_EQ(Tree(src), Tree(back));

    fs::create_directories(share / "y");
    ASSERT_TRUE(Copy("\\DATA\\x\\", "\\DATA\\y\\", TopNames())) << lines.All();
    EXPECT_EQ(Tree(src), Tree(share / "y"));
    EXPECT_TRUE(lines.lines.empty()) << lines.All();
}

TEST_F(Engine, MovesRemoveTheSourcesWithTheirFolders)
{
    const std::string src = local / "src";
    MakeTree(src);
    const auto want = Tree(src);
    fs::create_directories(share / "m");
    ASSERT_TRUE(Move(src, "\\DATA\\m", TopNames())) << lines.All();
    EXPECT_EQ(Tree(share / "m"), want);
    EXPECT_TRUE(fs::is_empty(src));

    const std::string back = local / "back";
    fs::create_directories(back);
    ASSERT_TRUE(Move("\\DATA\\m", back, TopNames())) << lines.All();
    EXPECT_EQ(Tree(back), want);
    EXPECT_TRUE(fs::is_empty(share / "m"));

    // Inside one side: the emptied source folders go too.
    const std::string other = local / "other";
    fs::create_directories(other);
    ASSERT_TRUE(Move(back, other, TopNames())) << lines.All();
    EXPECT_EQ(Tree(other), want);
    EXPECT_TRUE(fs::is_empty(back));
    fs::create_directories(share / "n");
    fs::create_directories(share / "o");
    WriteFile(share / "n/d/e/f.txt", "f");
    ASSERT_TRUE(Move("\\DATA\\n", "\\DATA\\o", {u"d"})) << lines.All();
    EXPECT_EQ(ReadFile(share / "o/d/e/f.txt"), "f");
    EXPECT_TRUE(fs::is_empty(share / "n"));
}

TEST_F(Engine, RemoteDeleteRemovesChildrenBeforeTheirFolder)
{
    WriteFile(share / "t/d/s/1.txt", "1");
    WriteFile(share / "t/d/2.txt", "2");
    fs::create_directories(share / "t/d/empty");
    sim->recorder().clear();
    ASSERT_TRUE(Delete("\\DATA\\t", {u"d"})) << lines.All();
    EXPECT_FALSE(fs::exists(share / "t/d"));
    std::vector<std::string> order;
    for (const auto& r : sim->recorder().all())
        if (r.direction == 0 && r.cls() == 2 && r.type() == 0 && (r.code() == 2 || r.code() == 7)) {
            const auto p = r.payload();
            order.emplace_back(reinterpret_cast<const char*>(p.data()));
        }
    ASSERT_FALSE(order.empty());
    EXPECT_EQ(order.back(), "\\DATA\\t\\d");
    for (size_t i = 0; i < order.size(); ++i)
        for (size_t j = i + 1; j < order.size(); ++j)
            EXPECT_NE(order[j].rfind(order[i] + "\\", 0), 0u) << order[i] << " before its child " << order[j];
}

TEST_F(Engine, CreateFolderNewAndExisting)
{
    FileOpEngine e;
    e.SetupCreateDir(fc, u"\\DATA\\nova", &lines, &Lines::Callback);
    EXPECT_TRUE(Run(e));
    EXPECT_TRUE(fs::is_directory(share / "nova"));
    FileOpEngine again;
    again.SetupCreateDir(fc, u"\\DATA\\nova", &lines, &Lines::Callback);
    EXPECT_FALSE(Run(again));
    EXPECT_EQ(lines.All(), "Nepodařilo se vytvořit adresář \\DATA\\nova\r\n");
}

TEST_F(Engine, MalformedListingsAreReportedAndNothingBeyondIsRead)
{
    WriteFile(share / "bad/1.txt", "1");
    WriteFile(share / "bad/2.txt", "2");
    const std::string dst = local / "dst";
    fs::create_directories(dst);
    struct Case
    {
        cssim::Malformed m;
        std::string line;
    };
    for (const Case& c : {Case{cssim::Malformed::HeaderSize, "Chyba při práci se souborem výpisu adresáře \\DATA\\bad\r\n"},
                          Case{cssim::Malformed::ShortRecord, "Chyba formátu výpisu adresáře \\DATA\\bad\r\n"},
                          Case{cssim::Malformed::NameWithoutZero, "Chyba formátu výpisu adresáře \\DATA\\bad\r\n"}}) {
        lines.lines.clear();
        sim->clearFileScripts();
        cssim::FileScript fsc;
        fsc.malformed = c.m;
        sim->scriptFile(3, "", fsc);
        EXPECT_FALSE(Copy("\\DATA\\", dst, {u"bad"}));
        EXPECT_TRUE(lines.Has(c.line)) << lines.All();
        EXPECT_EQ(lines.lines.size(), 1u) << lines.All();
    }
    // The records before the bad last one were taken.
    EXPECT_TRUE(fs::exists(dst + "/bad/1.txt"));
    EXPECT_EQ(ReadFile(share / "bad/1.txt"), "1");
}

TEST_F(Engine, ForcedServerStatusesGiveTheirLines)
{
    std::string l;
    MakeForcedFiles(l);
    const std::vector<Forced> cases = {
        {5, 242, [&] { return Copy("\\DATA\\s", l, {u"f.txt"}); }, "Chyba přístupu k \\DATA\\s\\f.txt\r\n"},
        {6, 249, [&] { return Copy(l, "\\DATA\\t", {u"f.txt"}); }, "Nepodařilo se přenést soubor " + l + "/f.txt\r\n"},
        {0, 238, [&] { return Copy("\\DATA\\s", "\\DATA\\t", {u"f.txt"}); }, "Chyba při kopírování souboru \\DATA\\s\\f.txt\r\n"},
        {8, 240, [&] { return Move("\\DATA\\s", "\\DATA\\t", {u"f.txt"}); }, "Chyba při kopírování souboru \\DATA\\s\\f.txt\r\n"},
        {2, 244, [&] { return Delete("\\DATA\\s", {u"f.txt"}); }, "Nepodařilo se smazat soubor \\DATA\\s\\f.txt\r\n"},
        {7, 241, [&] { return Delete("\\DATA", {u"t"}); }, "Nepodařilo se odstranit adresář \\DATA\\t\r\n"},
        {1, 246, [&] { return Copy(local.Path(), "\\DATA\\t", {u"l"}); }, "Nepodařilo se vytvořit adresář \\DATA\\t\\l\r\n"},
    };
    for (const Forced& c : cases)
        RunForced(c);
    sim->clearFileScripts();
    EXPECT_EQ(ReadFile(share / "s/f.txt"), "remote");
    EXPECT_EQ(ReadFile(local / "l/f.txt"), "local");
}

// A request the link ended because it could not carry it (closed, reset,
// no answer) reads as a communication error naming the
// file, on every request of either side; nothing is changed.
TEST_F(Engine, LinkFailuresGiveCommunicationLines)
{
    std::string l;
    MakeForcedFiles(l);
    const std::vector<Forced> cases = {
        {5, 134, [&] { return Delete("\\DATA\\s", {u"f.txt"}); }, "Chyba komunikace (soubor/adresář \\DATA\\s\\f.txt)\r\n"},
        {3, 133, [&] { return Copy("\\DATA", l, {u"s"}); }, "Chyba komunikace (přenos výpisu adresáře \\DATA\\s)\r\n"},
        {4, 132, [&] { return Copy("\\DATA\\s", l, {u"f.txt"}); }, "Chyba komunikace (přenos souboru \\DATA\\s\\f.txt)\r\n"},
        {6, 133, [&] { return Copy(l, "\\DATA\\t", {u"f.txt"}); }, "Chyba komunikace (přenos souboru " + l + "/f.txt)\r\n"},
        {0, 132, [&] { return Copy("\\DATA\\s", "\\DATA\\t", {u"f.txt"}); }, "Chyba komunikace (kopírování souboru \\DATA\\s\\f.txt)\r\n"},
        {8, 134, [&] { return Move("\\DATA\\s", "\\DATA\\t", {u"f.txt"}); }, "Chyba komunikace (přesun souboru \\DATA\\s\\f.txt)\r\n"},
        {2, 133, [&] { return Delete("\\DATA\\s", {u"f.txt"}); }, "Chyba komunikace (mazání souboru \\DATA\\s\\f.txt)\r\n"},
        {7, 134, [&] { return Delete("\\DATA", {u"t"}); }, "Chyba komunikace (mazání adresáře \\DATA\\t)\r\n"},
        {1, 134, [&] { return Copy(local.Path(), "\\DATA\\t", {u"l"}); }, "Chyba komunikace (vytváření adresáře \\DATA\\t\\l)\r\n"},
    };
    // The files (a folder the copy makes before the listing fails may stay).
    auto files = [](const std::string& root) {
        auto t = Tree(root);
        std::erase_if(t, [](const auto& e) { return e.second == "<dir>"; });
        return t;
    };
    const auto localBefore = files(local.Path());
    const auto shareBefore = files(share.Path());
    for (const Forced& c : cases) {
        RunForced(c);
        EXPECT_EQ(lines.All().find("Chyba přístupu"), std::string::npos) << lines.All();
        EXPECT_EQ(files(local.Path()), localBefore) << int(c.op);
        EXPECT_EQ(files(share.Path()), shareBefore) << int(c.op);
    }
    sim->clearFileScripts();
}

TEST_F(Engine, AFailedPutDuringAMoveDeletesNoSource)
{
    WriteFile(local / "src/ok.txt", "ok");
    WriteFile(local / "src/bad.txt", "bad");
    fs::create_directories(share / "t");
    cssim::FileScript fsc;
    fsc.status = 249;
    sim->scriptFile(6, "*BAD.TXT", fsc);
    EXPECT_FALSE(Move(local / "src", "\\DATA\\t", {u"ok.txt", u"bad.txt"}));
    EXPECT_TRUE(lines.Has("Nepodařilo se přenést soubor " + (local / "src/bad.txt") + "\r\n")) << lines.All();
    EXPECT_EQ(ReadFile(local / "src/ok.txt"), "ok");
    EXPECT_EQ(ReadFile(local / "src/bad.txt"), "bad");
}

TEST_F(Engine, StornoDuringASlowGetKeepsTheOldLocalFile)
{
    WriteFile(share / "slow.bin", Pattern(64 << 10, 3));
    WriteFile(local / "slow.bin", "old content");
    cssim::FileScript fsc;
    fsc.blockDelayMs = 20;
    sim->scriptFile(4, "", fsc);
    FileOpEngine e;
    SpyLink spy(link.get());
    std::vector<std::u16string> names{u"slow.bin"};
    e.SetupCopy(&spy, u"\\DATA\\", W(local.Path()), names.data(), nullptr, 1, &lines, &Lines::Callback);
    e.Start();
    ASSERT_TRUE(WaitFor([&] { return !e.Items().empty() && e.Items()[0].job != 0 && e.Items()[0].done > 0; }, 20000, "the condition"));
    const uint32_t job = e.Items()[0].job;
    e.Cancel();
    EXPECT_TRUE(e.Ended());
    EXPECT_FALSE(e.Succeeded());
    EXPECT_EQ(lines.All(), "Operace byla stornována uživatelem...\r\n");
    EXPECT_EQ(spy.cancelled, std::vector<uint32_t>{job});
    // Blocks still on their way come before the reply asked for after the
    // cancel, and are not written.
    ASSERT_TRUE(RoundTrip());
    EXPECT_EQ(ReadFile(local / "slow.bin"), "old content");
    EXPECT_EQ(lines.lines.size(), 1u);
    for (const auto& entry : fs::directory_iterator(local.Path()))
        EXPECT_EQ(entry.path().filename(), "slow.bin");
}

TEST_F(Engine, AResetDuringCreateFolder)
{
    Wrap();
    cssim::FileScript fsc;
    fsc.delayMs = 2000;
    sim->scriptFile(1, "", fsc);
    FileOpEngine e;
    e.SetupCreateDir(fc, u"\\DATA\\later", &lines, &Lines::Callback);
    e.Start();
    ASSERT_TRUE(WaitFor([&] { return Received(1) == 1; }, 20000, "the condition"));
    sim->resetNow();
    ASSERT_TRUE(WaitFor([&] { return e.Ended(); }, 20000, "the condition"));
    EXPECT_FALSE(e.Succeeded());
    EXPECT_TRUE(lines.Has("Spojení bylo resetováno...\r\n")) << lines.All();
}

TEST_F(Engine, SpecialFilesAreNeverReadAndLinksNeverFollowedAsFolders)
{
    const std::string src = local / "src";
    WriteFile(src + "/ok.txt", "ok");
    ASSERT_EQ(::mkfifo((src + "/fifo").c_str(), 0600), 0);
    fs::create_symlink("/dev/zero", src + "/zero");
    fs::create_directories(src + "/sub");
    fs::create_directory_symlink(src, src + "/sub/loop"); // a link to an ancestor
    fs::create_directories(share / "x");
    EXPECT_FALSE(Copy(src + "/", "\\DATA\\x\\", {u"ok.txt", u"fifo", u"zero", u"sub"}));
    EXPECT_TRUE(lines.Has("Chyba přístupu k " + src + "/fifo\r\n")) << lines.All();
    EXPECT_TRUE(lines.Has("Chyba přístupu k " + src + "/zero\r\n")) << lines.All();
    EXPECT_EQ(ReadFile(share / "x/ok.txt"), "ok");
    EXPECT_FALSE(fs::exists(share / "x/fifo"));
    EXPECT_FALSE(fs::exists(share / "x/zero"));

    // Deleting removes the entries themselves, never what a link leads to.
    lines.lines.clear();
    EXPECT_TRUE(Delete(src, {u"fifo", u"zero", u"sub"})) << lines.All();
    EXPECT_FALSE(fs::exists(fs::symlink_status(src + "/fifo")));
    EXPECT_FALSE(fs::exists(fs::symlink_status(src + "/zero")));
    EXPECT_FALSE(fs::exists(src + "/sub"));
    EXPECT_EQ(ReadFile(src + "/ok.txt"), "ok");
}

TEST_F(Engine, LocalCopiesAndMovesNeverDestroyData)
{
    const std::string d = local / "d";
    WriteFile(d + "/f.txt", "keep");
    WriteFile(d + "/o/f.txt", "other");
    // A copy onto itself.
    EXPECT_FALSE(Copy(d, d, {u"f.txt"}));
    EXPECT_EQ(lines.All(), "Chyba při kopírování souboru " + d + "/f.txt\r\n");
    EXPECT_EQ(ReadFile(d + "/f.txt"), "keep");
    // A move never replaces.
    lines.lines.clear();
    EXPECT_FALSE(Move(d, d + "/o", {u"f.txt"}));
    EXPECT_EQ(lines.All(), "Chyba při přesouvání souboru " + d + "/f.txt\r\n");
    EXPECT_EQ(ReadFile(d + "/f.txt"), "keep");
    EXPECT_EQ(ReadFile(d + "/o/f.txt"), "other");
    // A source that vanished.
    lines.lines.clear();
    EXPECT_FALSE(Copy(d, d + "/o", {u"gone.txt"}));
    EXPECT_EQ(lines.All(), "Chyba přístupu k " + d + "/gone.txt\r\n");
    // A target name with a backslash is a path on the local side.
    lines.lines.clear();
    std::vector<std::u16string> names{u"f.txt"}, targets{u"o\\g.txt"};
    FileOpEngine e;
    e.SetupCopy(fc, W(d), W(d), names.data(), targets.data(), 1, &lines, &Lines::Callback);
    EXPECT_TRUE(Run(e)) << lines.All();
    EXPECT_EQ(ReadFile(d + "/o/g.txt"), "keep");
}

TEST_F(Engine, APeerResetDuringAnOperationFailsItsItems)
{
    Wrap();
    WriteFile(share / "r/1.bin", Pattern(256 << 10, 5));
    WriteFile(local / "1.bin", "old");
    cssim::FileScript fsc;
    fsc.blockDelayMs = 5;
    sim->scriptFile(4, "", fsc);
    FileOpEngine e;
    std::vector<std::u16string> names{u"1.bin"};
    e.SetupCopy(fc, u"\\DATA\\r", W(local.Path()), names.data(), nullptr, 1, &lines, &Lines::Callback);
    e.Start();
    ASSERT_TRUE(WaitFor([&] { return !e.Items().empty() && e.Items()[0].done > 0; }, 20000, "the condition"));
    sim->resetNow();
    ASSERT_TRUE(WaitFor([&] { return e.Ended(); }, 20000, "the condition"));
    EXPECT_FALSE(e.Succeeded());
    EXPECT_TRUE(lines.Has("Chyba komunikace (přenos souboru \\DATA\\r\\1.bin)\r\n")) << lines.All();
    EXPECT_EQ(ReadFile(local / "1.bin"), "old");
}

TEST_F(Engine, AbortedJobsLeaveExistingTargetsAsTheyWere)
{
    WriteFile(share / "g/f.bin", Pattern(20000, 7));
    WriteFile(local / "f.bin", "old local");
    WriteFile(local / "src/f.bin", Pattern(20000, 8));
    WriteFile(share / "p/f.bin", "old remote");
    cssim::JobScript js;
    js.abortAfter = 3;
    sim->scriptJobs(js);
    EXPECT_FALSE(Copy("\\DATA\\g", local.Path(), {u"f.bin"}));
    EXPECT_TRUE(lines.Has("Nepodařilo se přenést soubor \\DATA\\g\\f.bin\r\n")) << lines.All();
    EXPECT_EQ(ReadFile(local / "f.bin"), "old local");
    lines.lines.clear();
    sim->scriptJobs(js);
    EXPECT_FALSE(Copy(local / "src", "\\DATA\\p", {u"f.bin"}));
    EXPECT_TRUE(lines.Has("Nepodařilo se přenést soubor " + (local / "src/f.bin") + "\r\n")) << lines.All();
    EXPECT_EQ(ReadFile(share / "p/f.bin"), "old remote");
}

TEST_F(Engine, PathsBeyondTheControlSystemsLimitAreNamedAndTheRestIsCopied)
{
    // Legal names deep enough in the tree that their paths pass the 259
    // bytes a path on the wire may have: four folders of 60 characters
    // below "\DATA\deep" (the deepest one's listing pattern still fits, a
    // file in it does not), and a file and a folder named with 255 bytes.
    std::string chain = "deep";
    for (char c : {'a', 'b', 'c', 'd'})
        chain += "/" + std::string(59, 'd') + c;
    const std::string longFile(255, 'n'), longFolder(255, 'f');
    WriteFile(share / "deep/ok.txt", "ok");
    WriteFile(share / ("deep/" + longFile), "long");
    WriteFile(share / ("deep/" + longFolder + "/in.txt"), "in");
    WriteFile(share / (chain + "/f.txt"), "deep");
    auto remote = [](std::string rel) {
        std::replace(rel.begin(), rel.end(), '/', '\\');
        return "\\DATA\\" + rel;
    };
    ASSERT_EQ(remote(chain).size() + 4, 258u);
    const std::string tooLong = "Cesta na řídícím systému je delší než 259 bajtů: ";

    const std::string dst = local / "dst";
    fs::create_directories(dst);
    sim->recorder().clear();
    EXPECT_FALSE(Copy("\\DATA\\", dst, {u"deep"}));
    EXPECT_EQ(lines.lines, (std::vector<std::string>{tooLong + remote("deep/" + longFolder) + "\\*.*\r\n",
                                                     tooLong + remote("deep/" + longFile) + "\r\n",
                                                     tooLong + remote(chain + "/f.txt") + "\r\n"}))
        << lines.All();
    EXPECT_EQ(ReadFile(dst + "/deep/ok.txt"), "ok");
    EXPECT_TRUE(fs::is_directory(dst + "/" + chain));
    EXPECT_FALSE(fs::exists(dst + "/deep/" + longFile));
    EXPECT_EQ(Received(4), 1u); // nothing was asked for a refused path

    // The other way: a name that the remote folder cannot take beside one
    // that it can.
    lines.lines.clear();
    const std::string third = chain.substr(0, chain.rfind('/'));
    const std::string name(70, 'p');
    WriteFile(local / ("src/" + name), "p");
    WriteFile(local / "src/ok.txt", "ok");
    EXPECT_FALSE(Copy(local / "src", remote(third), {W(name), u"ok.txt"}));
    EXPECT_EQ(lines.All(), tooLong + remote(third + "/" + name) + "\r\n");
    EXPECT_EQ(ReadFile(share / (third + "/ok.txt")), "ok");
}
