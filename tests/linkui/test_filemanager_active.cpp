// The file manager's active pane as a user makes it: clicks on both panes'
// lists and buttons in every order, keys, the window left and activated
// again; every command acts on the pane clicked or typed in last.  The
// simulator runs as a child process serving a folder, the left pane shows
// a real local folder, and every file on both sides is hashed around each
// step.
#include "linkui_env.h"

#include "link/ui/FileManagerDlg.h"
#include "link/ui/FilePanelDlg.h"
#include "platform/ui/Prompt.h"

#include <QLabel>
#include <QListView>
#include <QToolButton>
#include <QTreeView>

using namespace linkuitest;
using namespace testsupport::ui;
using linkui::CFileManagerDlg;
using linkui::CFilePanelDlg;

namespace {

class ActivePane : public ::testing::Test
{
protected:
    void SetUp() override
    {
        sim = Simulator::StartUdp({QStringLiteral("--share"), QStringLiteral("DATA=") + QString::fromStdString(share.Path())});
        ASSERT_NE(sim, nullptr);
        OpenLink(link, sim->ConnectionString());
    }
    void TearDown() override
    {
        dlg.reset();
        link.reset();
        sim.reset();
        PumpEvents(20);
    }

    // Fresh files on both sides and a manager on local/sub/ and \DATA\.
    void Make()
    {
        dlg.reset();
        fs::remove_all(local.Path() + "/sub");
        for (const auto& e : fs::directory_iterator(share.Path()))
            fs::remove_all(e.path());
        WriteFile(local / "sub/beta.txt", "beta, local");
        WriteFile(local / "sub/gamma.txt", "gamma, local");
        WriteFile(share / "alpha.txt", "alpha, remote"); // 13 bytes
        WriteFile(share / "beta.txt", "beta, remote");
        dlg = std::make_unique<CFileManagerDlg>(fc());
        const std::u16string left = W(local.Path() + "/sub/");
        ASSERT_TRUE(dlg->Create(fc(), left.c_str(), u"\\DATA\\", nullptr));
        dlg->resize(900, 500);
        dlg->show();
        QApplication::setActiveWindow(dlg.get());
        Idle();
        localBefore = HashTree(local.Path());
        remoteBefore = HashTree(share.Path());
    }
    IOxfrC* fc() { return static_cast<IOxfrC*>(link->Query(OLNK_IID_OXFRC)); }
    void Idle()
    {
        ASSERT_TRUE(WaitFor([&] { return !dlg->Left()->IsBusy() && !dlg->Right()->IsBusy(); }, 20000, "the panes"));
        PumpEvents();
    }
    // A click on the entry name in the pane's list as it is shown.
    void ClickName(CFilePanelDlg* p, const std::string& name)
    {
        QAbstractItemView* v = p->Details()->isVisible() ? static_cast<QAbstractItemView*>(p->Details())
                                                          : static_cast<QAbstractItemView*>(p->ListView());
        for (int row = 0; row < p->Model()->rowCount(); ++row)
            if (U(linkui::NameOf(p->Model()->Record(row))) == name) {
                const QModelIndex i = p->Model()->index(row, 0);
                v->scrollTo(i);
                Click(v->viewport(), v->visualRect(i).center());
                PumpEvents();
                return;
            }
        ADD_FAILURE() << name << " is not listed";
    }
    void ClickButton(QWidget* root, int id)
    {
        Click(FindChild<QToolButton>(root, QStringLiteral("c%1").arg(id)));
        PumpEvents();
    }
    // The files changed as expected and in no other way.
    void ExpectFiles(Hashes local0, Hashes remote0)
    {
        EXPECT_EQ(HashTree(local.Path()), local0);
        EXPECT_EQ(HashTree(share.Path()), remote0);
    }

    testsupport::TempDir share, local;
    std::unique_ptr<Simulator> sim;
    std::unique_ptr<COlnkLink> link;
    std::unique_ptr<CFileManagerDlg> dlg;
    Hashes localBefore, remoteBefore;
};

enum : int { kUp = 1093, kDetails = 1094, kRefresh = 1095, kList = 1096 };

} // namespace

// beta.txt clicked on the left, alpha.txt on the right, a button of the
// left pane, alpha.txt on the right again: the right pane is active and
// the command takes the remote alpha.txt, whichever button it was.
TEST_F(ActivePane, TheListClickedAfterAPaneButtonIsTheSource)
{
    struct Case
    {
        int button, command;
    };
    const Case cases[] = {{kDetails, CFileManagerDlg::ID_DELETE},
                          {kRefresh, CFileManagerDlg::ID_COPY},
                          {kUp, CFileManagerDlg::ID_DELETE},
                          {kList, CFileManagerDlg::ID_MOVE}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.button);
        Make();
        ClickName(dlg->Left(), "beta.txt");
        EXPECT_TRUE(dlg->Left()->IsActive());
        ClickName(dlg->Right(), "alpha.txt");
        EXPECT_TRUE(dlg->Right()->IsActive());
        ClickButton(dlg->Left(), c.button);
        Idle();
        EXPECT_TRUE(dlg->Left()->IsActive());
        EXPECT_FALSE(dlg->Right()->IsActive());
        ClickName(dlg->Right(), "alpha.txt");
        EXPECT_TRUE(dlg->Right()->IsActive());
        EXPECT_FALSE(dlg->Left()->IsActive());
        EXPECT_EQ(dlg->Right()->Info()->text(), QStringLiteral("alpha.txt (13 bytů)"));

        Hashes local1 = localBefore, remote1 = remoteBefore;
        PromptScript prompts({ui::IDYES});
        ClickButton(dlg.get(), c.command);
        Idle();
        ASSERT_EQ(prompts.Texts().size(), 1u);
        const QString question = prompts.Texts()[0];
        EXPECT_TRUE(question.contains(QStringLiteral(" z \\DATA\\ "))) << question.toStdString();
        if (c.command == CFileManagerDlg::ID_DELETE) {
            EXPECT_TRUE(question.endsWith(QStringLiteral("\r\n\r\nPoložky ke smazání (1):\r\nalpha.txt")))
                << question.toStdString();
            remote1.erase("alpha.txt");
        } else {
            local1["sub/alpha.txt"] = remoteBefore["alpha.txt"];
            if (c.command == CFileManagerDlg::ID_MOVE)
                remote1.erase("alpha.txt");
        }
        ExpectFiles(local1, remote1);
    }
}

// Every ordered pair of clicks over the controls of both panes (an entry
// of the list, the details and refresh buttons, the path, the summary):
// the pane of the second click is the active one, and nothing changes on
// either side.
TEST_F(ActivePane, EveryPairOfClicksLeavesThePaneClickedLast)
{
    Make();
    struct Control
    {
        int pane;
        std::function<void()> click;
    };
    std::vector<Control> controls;
    for (int pane : {0, 1}) {
        CFilePanelDlg* p = pane == 0 ? dlg->Left() : dlg->Right();
        const std::string entry = pane == 0 ? "beta.txt" : "alpha.txt";
        controls.push_back({pane, [this, p, entry] { ClickName(p, entry); }});
        controls.push_back({pane, [this, p] { ClickButton(p, kDetails); }});
        controls.push_back({pane, [this, p] { ClickButton(p, kRefresh); }});
        controls.push_back({pane, [p] { Click(p->PathEdit()); }});
        controls.push_back({pane, [p] { Click(p->Info()); }});
    }
    for (size_t a = 0; a < controls.size(); ++a)
        for (size_t b = 0; b < controls.size(); ++b) {
            controls[a].click();
            Idle();
            controls[b].click();
            Idle();
            EXPECT_EQ(dlg->Left()->IsActive(), controls[b].pane == 0) << a << " then " << b;
            EXPECT_EQ(dlg->Right()->IsActive(), controls[b].pane == 1) << a << " then " << b;
            EXPECT_EQ(dlg->ActiveLeft(), controls[b].pane == 0) << a << " then " << b;
        }
    ExpectFiles(localBefore, remoteBefore);
}

// A key in a pane's list makes that pane active; the window left and
// activated again (the focus coming back to the other pane's list) does
// not.  Every question names the folder and the files of the active pane.
TEST_F(ActivePane, KeysAndTheWindowComingBack)
{
    Make();
    ClickName(dlg->Left(), "beta.txt");
    ClickName(dlg->Right(), "alpha.txt");
    ClickButton(dlg->Left(), kDetails);
    ASSERT_TRUE(dlg->Right()->Details()->hasFocus());

    QWidget other;
    other.show();
    QApplication::setActiveWindow(&other);
    PumpEvents();
    QApplication::setActiveWindow(dlg.get());
    PumpEvents();
    ASSERT_TRUE(dlg->Right()->Details()->hasFocus());
    EXPECT_TRUE(dlg->Left()->IsActive());
    EXPECT_FALSE(dlg->Right()->IsActive());
    {
        PromptScript prompts({ui::IDNO});
        ClickButton(dlg.get(), CFileManagerDlg::ID_DELETE);
        ASSERT_EQ(prompts.Texts().size(), 1u);
        EXPECT_EQ(prompts.Texts()[0].toStdU16String(),
                  u"Smazat označené soubory/adresáře z " + W(local.Path()) +
                      u"/sub/ včetně případných podadresářů?\r\n\r\nPoložky ke smazání (1):\r\nbeta.txt");
    }

    // Down in the right list: beta.txt there, the right pane active.
    PressKey(dlg->Right()->Details(), Qt::Key_Down);
    PumpEvents();
    EXPECT_TRUE(dlg->Right()->IsActive());
    EXPECT_FALSE(dlg->Left()->IsActive());
    {
        PromptScript prompts({ui::IDNO});
        ClickButton(dlg.get(), CFileManagerDlg::ID_DELETE);
        ASSERT_EQ(prompts.Texts().size(), 1u);
        EXPECT_EQ(prompts.Texts()[0], QStringLiteral("Smazat označené soubory/adresáře z \\DATA\\ včetně případných "
                                                     "podadresářů?\r\n\r\nPoložky ke smazání (1):\r\nbeta.txt"));
    }
    Idle();
    ExpectFiles(localBefore, remoteBefore);
}

// Many entries: the question counts them and lists the first ten.
TEST_F(ActivePane, TheDeleteQuestionCountsManyEntries)
{
    Make();
    for (int i = 0; i < 12; ++i)
        WriteFile(share / ("m" + std::to_string(10 + i) + ".txt"), std::to_string(i));
    dlg->Right()->Refresh();
    Idle();
    remoteBefore = HashTree(share.Path());
    dlg->SetActivePane(1);
    QTreeView* v = dlg->Right()->Details();
    for (int row = 0; row < v->model()->rowCount(); ++row)
        if (linkui::NameOf(dlg->Right()->Model()->Record(row))[0] == u'm')
            v->selectionModel()->select(v->model()->index(row, 0),
                                        QItemSelectionModel::Select | QItemSelectionModel::Rows);
    PromptScript prompts({ui::IDNO});
    ClickButton(dlg.get(), CFileManagerDlg::ID_DELETE);
    ASSERT_EQ(prompts.Texts().size(), 1u);
    QString expected = QStringLiteral("\r\n\r\nPoložky ke smazání (12):");
    for (int i = 0; i < 10; ++i)
        expected += QStringLiteral("\r\nm%1.txt").arg(10 + i);
    expected += QStringLiteral("\r\n... a další (2)");
    EXPECT_TRUE(prompts.Texts()[0].endsWith(expected)) << prompts.Texts()[0].toStdString();
    ExpectFiles(localBefore, remoteBefore);
}

// The link lost before a delete: the report names the file with a
// communication error, not an access error, and nothing is deleted.
TEST_F(ActivePane, ALinkLostBeforeADeleteIsACommunicationError)
{
    Make();
    link->SetJobTimeout(1000);
    ClickName(dlg->Right(), "alpha.txt");
    ASSERT_TRUE(dlg->Right()->IsActive());
    sim->Stop();
    PromptScript prompts({ui::IDYES, ui::IDOK});
    prompts.AllowUnexpected(true); // the pane's listing afterwards fails too
    ClickButton(dlg.get(), CFileManagerDlg::ID_DELETE);
    ASSERT_GE(prompts.Texts().size(), 2u);
    const QString report = prompts.Texts()[1];
    EXPECT_EQ(report, QStringLiteral("Při mazání soborů došlo k chybám:\r\n\r\n"
                                     "Chyba komunikace (soubor/adresář \\DATA\\alpha.txt)\r\n"));
    ExpectFiles(localBefore, remoteBefore);
}
