// A control system that lists names meant to climb out of the chosen
// folder, against the real file-operation engine over UDP on 127.0.0.1:
// the simulator lists a folder with such records and serves content for
// every one of them, as a hostile peer would.  Nothing is written for a
// refused name, nothing outside the target folder changes, the good
// entries of the same listing arrive, and every refusal is a line.
#include "linkui_env.h"

#include "link/ui/FileOpEngine.h"

#include <algorithm>

using namespace linkuitest;
using linkui::FileOpEngine;

namespace {

const std::string kBadLine = "Neplatné jméno souboru ze systému: ";

class Hostile : public SimFixture
{
protected:
    void SetUp() override
    {
        SimFixture::SetUp();
        // The folder as the share holds it: what a clean listing would give.
        WriteFile(share / "HOSTILE/sub/in.txt", "inner");
        cssim::FileScript fsc;
        std::vector<cssim::ListedEntry> entries;
        auto file = [&](std::string name, std::string content) {
            entries.push_back({std::move(name), false, cssim::Bytes(content.begin(), content.end())});
        };
        file("good.txt", "good content");
        file("../../x", "EVIL 1");
        file("/../../../home/user/.profile", "EVIL 2");
        file("a\\..\\..\\x", "EVIL 3");
        file("bell\a", "EVIL 4");
        file("nl\nname", "EVIL 5");
        file(std::string("\0../../x", 8), "EVIL 6"); // the name ends at its zero: empty
        file(std::string("z\0/../../x", 10), "zet");  // ... here "z", a plain name
        file("c:x", "EVIL 7");
        file(std::string(300, 'L'), "EVIL 8");        // cut by the record: never a path
        entries.push_back({"../../evil", true, {}});
        entries.push_back({"sub", true, {}});
        fsc.listing = entries;
        sim->scriptFile(3, "\\DATA\\HOSTILE\\*.*", fsc);

        // The chosen folder sits four levels down; files of the same name
        // wait where the climbing names lead.
        target = local / "l1/l2/l3/target";
        fs::create_directories(target);
        beside1 = local / "l1/l2/l3/x";
        beside2 = local / "l1/l2/home/user/.profile";
        WriteFile(beside1, "keep me 1");
        WriteFile(beside2, "keep me 2");
        before = Tree(local.Path());
    }

    bool Run(int op, std::vector<std::u16string> names, const std::u16string* targetNames = nullptr)
    {
        FileOpEngine e;
        if (op == FileOpEngine::OpMove)
            e.SetupMove(fc, u"\\DATA\\", W(target), names.data(), targetNames, int(names.size()), &lines,
                        &Lines::Callback);
        else
            e.SetupCopy(fc, u"\\DATA\\", W(target), names.data(), targetNames, int(names.size()), &lines,
                        &Lines::Callback);
        e.Start();
        EXPECT_TRUE(WaitFor([&] { return e.Ended(); }, 60000, "the operation"));
        return e.Succeeded();
    }

    // Everything outside the target folder is as it was, byte for byte.
    void ExpectOutsideUnchanged()
    {
        auto now = Tree(local.Path());
        auto was = before;
        const std::string t = fs::relative(target, local.Path()).string();
        for (auto* m : {&now, &was})
            for (auto it = m->begin(); it != m->end();)
                it = it->first.rfind(t + "/", 0) == 0 ? m->erase(it) : std::next(it);
        EXPECT_EQ(now, was);
        EXPECT_EQ(ReadFile(beside1), "keep me 1");
        EXPECT_EQ(ReadFile(beside2), "keep me 2");
        EXPECT_FALSE(fs::exists(local / "l1/l2/l3/evil"));
    }

    void ExpectRefusalLines()
    {
        for (const std::string& shown :
             {std::string("../../x"), std::string("/../../../home/user/.profile"), std::string("a\\..\\..\\x"),
              std::string("bell?"), std::string("nl?name"), std::string(), std::string("c:x"),
              std::string(254, 'L') + "?", std::string("../../evil")})
            EXPECT_TRUE(lines.Has(kBadLine + shown + "\r\n")) << shown << "\n" << lines.All();
        EXPECT_EQ(lines.lines.size(), 9u) << lines.All();
    }

    // Read requests the simulator received: only the good files were asked for.
    std::vector<std::string> ReadPaths()
    {
        std::vector<std::string> out;
        for (const auto& r : sim->recorder().all())
            if (r.direction == 0 && r.cls() == 2 && r.type() == 0 && r.code() == 4) {
                const cssim::Bytes p = r.payload();
                out.emplace_back(reinterpret_cast<const char*>(p.data() + 5));
            }
        std::sort(out.begin(), out.end());
        return out;
    }

    Lines lines;
    std::string target, beside1, beside2;
    std::map<std::string, std::string> before;
};

} // namespace

TEST_F(Hostile, ACopyRefusesClimbingNamesAndCopiesTheRest)
{
    EXPECT_FALSE(Run(FileOpEngine::OpCopy, {u"HOSTILE"}));
    ExpectRefusalLines();
    ExpectOutsideUnchanged();
    // Inside the target: the good entries and nothing for a refused one.
    EXPECT_EQ(Tree(target), (std::map<std::string, std::string>{{"HOSTILE", "<dir>"},
                                                                {"HOSTILE/good.txt", "good content"},
                                                                {"HOSTILE/z", "zet"},
                                                                {"HOSTILE/sub", "<dir>"},
                                                                {"HOSTILE/sub/in.txt", "inner"}}));
    EXPECT_EQ(ReadPaths(), (std::vector<std::string>{"\\DATA\\HOSTILE\\good.txt", "\\DATA\\HOSTILE\\sub\\in.txt",
                                                     "\\DATA\\HOSTILE\\z"}));
}

TEST_F(Hostile, AMoveRefusesClimbingNamesMovesTheRestAndDeletesNothingThere)
{
    EXPECT_FALSE(Run(FileOpEngine::OpMove, {u"HOSTILE"}));
    ExpectRefusalLines();
    ExpectOutsideUnchanged();
    EXPECT_EQ(ReadFile(target + "/HOSTILE/good.txt"), "good content");
    EXPECT_EQ(ReadFile(target + "/HOSTILE/sub/in.txt"), "inner");
    EXPECT_FALSE(fs::exists(target + "/HOSTILE/a\\..\\..\\x"));
    // The operation failed, so no source was removed, and no delete or
    // remove-folder request ever named a refused entry.
    EXPECT_EQ(ReadFile(share / "HOSTILE/sub/in.txt"), "inner");
    EXPECT_EQ(Received(2), 0u);
    EXPECT_EQ(Received(7), 0u);
}

TEST_F(Hostile, ClimbingNamesPickedFromARemoteListAreRefusedAtTheStart)
{
    // Names handed in for a folder of the control system came from its
    // listing: the same rule applies before anything is asked.
    WriteFile(share / "ok.txt", "ok");
    EXPECT_FALSE(Run(FileOpEngine::OpCopy, {u"../../x", u"ok.txt", u"a\\..\\..\\x", u".", u".."}));
    EXPECT_TRUE(lines.Has(kBadLine + "../../x\r\n")) << lines.All();
    EXPECT_TRUE(lines.Has(kBadLine + "a\\..\\..\\x\r\n")) << lines.All();
    EXPECT_EQ(lines.lines.size(), 2u) << lines.All();
    EXPECT_EQ(ReadFile(target + "/ok.txt"), "ok");
    EXPECT_EQ(Received(5), 1u); // information of ok.txt only
    ExpectOutsideUnchanged();
}

TEST_F(Hostile, ATargetNameThatLeavesTheFolderIsRefusedBeforeAnythingIsWritten)
{
    // Defence in depth: a target path is checked lexically before the file
    // is fetched, whoever made the name.
    WriteFile(share / "ok.txt", "ok");
    const std::vector<std::u16string> targets{u"../x", u"fine.txt"};
    EXPECT_FALSE(Run(FileOpEngine::OpCopy, {u"ok.txt", u"ok.txt"}, targets.data()));
    EXPECT_TRUE(lines.Has(kBadLine + target + "/../x\r\n")) << lines.All();
    EXPECT_EQ(lines.lines.size(), 1u) << lines.All();
    EXPECT_EQ(ReadFile(target + "/fine.txt"), "ok");
    EXPECT_EQ(Received(4), 1u);
    ExpectOutsideUnchanged();
}
