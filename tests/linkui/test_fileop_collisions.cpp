// Entries of one copy or move that the control system would hold as one
// (it compares names in its code page without regard to case, at every
// level of a tree): each is refused before anything is sent, named with
// the others, and the rest goes on.  The engine and the file manager
// against the simulator serving a real folder, real local folders; every
// file on both sides is hashed before and after.
#include "linkui_env.h"

#include "link/ui/FileManagerDlg.h"
#include "link/ui/FileOpEngine.h"
#include "link/ui/FilePanelDlg.h"
#include "platform/ui/Prompt.h"

#include <QToolButton>
#include <QTreeView>

#include <algorithm>
#include <set>

using namespace linkuitest;
using namespace testsupport::ui;
using linkui::CFileManagerDlg;
using linkui::CFilePanelDlg;
using linkui::FileOpEngine;

namespace {

// The line of an entry refused for colliding with the others (their names).
std::string Collides(const std::string& entry, const std::string& others)
{
    return entry + " se na řídící systém nepřenáší: splynul by tam s " + others +
           " (řídící systém nerozlišuje velká a malá písmena)\r\n";
}

// Every content (hash) of the files of both trees: each byte that was on
// either side must still be somewhere.
std::multiset<uint64_t> Contents(const Hashes& a, const Hashes& b)
{
    std::multiset<uint64_t> out;
    for (const Hashes* h : {&a, &b})
        for (const auto& [path, hash] : *h)
            out.insert(hash);
    return out;
}

bool Contains(const std::multiset<uint64_t>& all, const std::multiset<uint64_t>& wanted)
{
    return std::includes(all.begin(), all.end(), wanted.begin(), wanted.end());
}

class Collisions : public SimFixture
{
protected:
    bool Run(int op, const std::string& from, const std::string& to, std::vector<std::u16string> names)
    {
        FileOpEngine e;
        if (op == FileOpEngine::OpMove)
            e.SetupMove(fc, W(from), W(to), names.data(), nullptr, int(names.size()), &lines, &Lines::Callback);
        else
            e.SetupCopy(fc, W(from), W(to), names.data(), nullptr, int(names.size()), &lines, &Lines::Callback);
        e.Start();
        EXPECT_TRUE(WaitFor([&] { return e.Ended(); }, 60000, "the operation"));
        return e.Succeeded();
    }
    // Runs the operation and checks that no content of either side was lost.
    bool RunKeepingEveryContent(int op, const std::string& from, const std::string& to,
                                std::vector<std::u16string> names)
    {
        const Hashes localBefore = HashTree(local.Path()), shareBefore = HashTree(share.Path());
        const bool ok = Run(op, from, to, std::move(names));
        const auto before = Contents(localBefore, shareBefore);
        const auto after = Contents(HashTree(local.Path()), HashTree(share.Path()));
        EXPECT_TRUE(Contains(after, before)) << lines.All();
        return ok;
    }
    Lines lines;
};

} // namespace

TEST_F(Collisions, CaseVariantsMovedToTheControlSystemAreRefusedAndKept)
{
    // A.TXT and a.txt would become one file: both are refused, named with
    // each other; B.TXT goes.  A failed move deletes no source.
    const std::string src = local / "src";
    WriteFile(src + "/A.TXT", "upper A");
    WriteFile(src + "/a.txt", "lower a");
    WriteFile(src + "/B.TXT", "b");
    fs::create_directories(share / "t");
    EXPECT_FALSE(RunKeepingEveryContent(FileOpEngine::OpMove, src, "\\DATA\\t", {u"A.TXT", u"a.txt", u"B.TXT"}));
    EXPECT_TRUE(lines.Has(Collides(src + "/A.TXT", "a.txt"))) << lines.All();
    EXPECT_TRUE(lines.Has(Collides(src + "/a.txt", "A.TXT"))) << lines.All();
    EXPECT_EQ(lines.lines.size(), 2u) << lines.All();
    EXPECT_EQ(Tree(share / "t"), (std::map<std::string, std::string>{{"B.TXT", "b"}}));
    EXPECT_EQ(Tree(src), (std::map<std::string, std::string>{{"A.TXT", "upper A"}, {"a.txt", "lower a"}, {"B.TXT", "b"}}));

    // Three of a kind in a copy: each is named with both others, nothing
    // of them is sent; the copy fails.
    lines.lines.clear();
    WriteFile(src + "/Report.TXT", "1");
    WriteFile(src + "/report.txt", "22");
    WriteFile(src + "/REPORT.txt", "333");
    EXPECT_FALSE(RunKeepingEveryContent(FileOpEngine::OpCopy, src, "\\DATA\\t",
                                        {u"Report.TXT", u"report.txt", u"REPORT.txt"}));
    EXPECT_TRUE(lines.Has(Collides(src + "/Report.TXT", "report.txt, REPORT.txt"))) << lines.All();
    EXPECT_TRUE(lines.Has(Collides(src + "/report.txt", "Report.TXT, REPORT.txt"))) << lines.All();
    EXPECT_TRUE(lines.Has(Collides(src + "/REPORT.txt", "Report.TXT, report.txt"))) << lines.All();
    EXPECT_EQ(Tree(share / "t"), (std::map<std::string, std::string>{{"B.TXT", "b"}}));

    // Letters beyond ASCII are compared in the control system's code page:
    // "Šum" and "šUM" collide, "Sum" does not.
    lines.lines.clear();
    WriteFile(src + "/Šum.txt", "S caron");
    WriteFile(src + "/šUM.TXT", "s caron");
    WriteFile(src + "/Sum.txt", "plain");
    EXPECT_FALSE(RunKeepingEveryContent(FileOpEngine::OpCopy, src, "\\DATA\\t", {u"Šum.txt", u"šUM.TXT", u"Sum.txt"}));
    EXPECT_TRUE(lines.Has(Collides(src + "/Šum.txt", "šUM.TXT"))) << lines.All();
    EXPECT_EQ(lines.lines.size(), 2u) << lines.All();
    EXPECT_EQ(Tree(share / "t"), (std::map<std::string, std::string>{{"B.TXT", "b"}, {"Sum.txt", "plain"}}));
}

TEST_F(Collisions, TreesAreComparedAtEveryLevel)
{
    // A folder holding data.txt and DATA.TXT moved as a tree; beside them a
    // file "sub" of the folder and a folder "SUB" (a file and a folder that
    // collide, with everything below the folder), and a file that is fine.
    const std::string src = local / "src";
    WriteFile(src + "/tree/data.txt", "lower");
    WriteFile(src + "/tree/DATA.TXT", "upper");
    WriteFile(src + "/tree/sub", "a file");
    WriteFile(src + "/tree/SUB/inner.txt", "inside");
    WriteFile(src + "/tree/SUB/deeper/x.txt", "deep");
    WriteFile(src + "/tree/ok.txt", "ok");
    // A file already in the target that differs only in case is the same
    // file there: the question before the move said it is overwritten.
    WriteFile(share / "t/TREE/OK.TXT", "old ok");
    const Hashes before = HashTree(src);
    EXPECT_FALSE(Run(FileOpEngine::OpMove, src, "\\DATA\\t", {u"tree"}));
    const std::string t = src + "/tree";
    EXPECT_TRUE(lines.Has(Collides(t + "/data.txt", "DATA.TXT"))) << lines.All();
    EXPECT_TRUE(lines.Has(Collides(t + "/DATA.TXT", "data.txt"))) << lines.All();
    EXPECT_TRUE(lines.Has(Collides(t + "/sub", "SUB"))) << lines.All();
    EXPECT_TRUE(lines.Has(Collides(t + "/SUB", "sub"))) << lines.All();
    EXPECT_EQ(lines.lines.size(), 4u) << lines.All(); // nothing below SUB is named
    EXPECT_EQ(Tree(share / "t"), (std::map<std::string, std::string>{{"TREE", "<dir>"}, {"TREE/OK.TXT", "ok"}}));
    // A failed move deletes no source.
    EXPECT_EQ(HashTree(src), before);

    // Folders that differ only in case would merge: refused as well.
    lines.lines.clear();
    WriteFile(src + "/two/Logs/a.txt", "a");
    WriteFile(src + "/two/LOGS/b.txt", "b");
    EXPECT_FALSE(RunKeepingEveryContent(FileOpEngine::OpCopy, src, "\\DATA\\t", {u"two"}));
    EXPECT_TRUE(lines.Has(Collides(src + "/two/Logs", "LOGS"))) << lines.All();
    EXPECT_EQ(lines.lines.size(), 2u) << lines.All();
    EXPECT_EQ(Tree(share / "t/two"), (std::map<std::string, std::string>{}));
}

TEST_F(Collisions, AFolderOfTheControlSystemCopiedWithinIt)
{
    // The simulator's folder is a real one, which may hold A.TXT and a.txt:
    // copied to another folder of the control system they would be one.
    WriteFile(share / "s/A.TXT", "upper");
    WriteFile(share / "s/a.txt", "lower");
    WriteFile(share / "s/c.txt", "c");
    fs::create_directories(share / "d");
    EXPECT_FALSE(RunKeepingEveryContent(FileOpEngine::OpCopy, "\\DATA", "\\DATA\\d", {u"s"}));
    EXPECT_TRUE(lines.Has(Collides("\\DATA\\s\\A.TXT", "a.txt"))) << lines.All();
    EXPECT_TRUE(lines.Has(Collides("\\DATA\\s\\a.txt", "A.TXT"))) << lines.All();
    EXPECT_EQ(Tree(share / "d"), (std::map<std::string, std::string>{{"s", "<dir>"}, {"s/c.txt", "c"}}));

    // Fetched to a local folder, which tells them apart, both arrive.
    lines.lines.clear();
    EXPECT_TRUE(Run(FileOpEngine::OpCopy, "\\DATA\\s", local.Path(), {u"A.TXT", u"a.txt"})) << lines.All();
    EXPECT_EQ(ReadFile(local / "A.TXT"), "upper");
    EXPECT_EQ(ReadFile(local / "a.txt"), "lower");
}

namespace {

std::vector<std::string> NamesOf(CFilePanelDlg* p)
{
    std::vector<std::string> out;
    for (const auto& r : p->Model()->Records())
        out.push_back(U(linkui::NameOf(r)));
    return out;
}

class ManagerCollisions : public SimFixture
{
protected:
    void TearDown() override
    {
        dlg.reset();
        SimFixture::TearDown();
    }
    void Idle()
    {
        ASSERT_TRUE(WaitFor([&] { return !dlg->Left()->IsBusy() && !dlg->Right()->IsBusy(); }, 20000, "the panes"));
    }
    void SelectAllFiles()
    {
        CFilePanelDlg* p = dlg->Left();
        p->ClearSelection();
        for (int row = 0; row < p->Model()->rowCount(); ++row) {
            const std::string n = U(linkui::NameOf(p->Model()->Record(row)));
            if (n != "." && n != "..")
                p->Details()->selectionModel()->select(p->Model()->index(row, 0),
                                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
    }
    std::unique_ptr<CFileManagerDlg> dlg;
};

} // namespace

TEST_F(ManagerCollisions, ACopyReportsWhatItDidNotCopyAndKeepsTheSelection)
{
    const std::string src = local / "src";
    WriteFile(src + "/Report.TXT", "1");
    WriteFile(src + "/report.txt", "22");
    WriteFile(src + "/REPORT.txt", "333");
    WriteFile(src + "/other.txt", "other");
    fs::create_directories(share / "x");
    const Hashes localBefore = HashTree(src);
    dlg = std::make_unique<CFileManagerDlg>();
    const std::u16string left = W(src + "/");
    ASSERT_TRUE(dlg->Create(fc, left.c_str(), u"\\DATA\\x\\", nullptr));
    dlg->resize(900, 500);
    Idle();
    SelectAllFiles();
    ASSERT_EQ(dlg->Left()->SelectedRecords().size(), 4u);
    {
        PromptScript prompts({ui::IDYES, ui::IDOK});
        FindChild<QToolButton>(dlg.get(), QStringLiteral("c%1").arg(CFileManagerDlg::ID_COPY))->click();
        ASSERT_EQ(prompts.Texts().size(), 2u);
        const QString report = prompts.Texts()[1];
        EXPECT_TRUE(report.startsWith(QStringLiteral("Při kopírování soborů došlo k chybám:\r\n\r\n"))) << report.toStdString();
        // One line for each, naming the two others (in the order of the
        // selection).
        const std::vector<std::string> three = {"Report.TXT", "report.txt", "REPORT.txt"};
        for (const std::string& name : three) {
            const QStringList matching = report.split(QStringLiteral("\r\n")).filter(
                QString::fromStdString(src + "/" + name + " se na řídící systém"));
            ASSERT_EQ(matching.size(), 1) << name << ": " << report.toStdString();
            for (const std::string& other : three)
                EXPECT_EQ(matching[0].count(QString::fromStdString(other)), 1) << report.toStdString();
        }
        EXPECT_FALSE(report.contains(QStringLiteral("other.txt"))) << report.toStdString();
    }
    Idle();
    EXPECT_EQ(NamesOf(dlg->Right()), (std::vector<std::string>{".", "..", "other.txt"}));
    EXPECT_EQ(ReadFile(share / "x/other.txt"), "other");
    EXPECT_EQ(dlg->Left()->SelectedRecords().size(), 4u); // not cleared: something was refused
    EXPECT_EQ(HashTree(src), localBefore);
}
