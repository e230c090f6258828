// The file panel on the simulator's shares and on local folders.
#include "linkui_env.h"

#include "link/ui/FilePanelDlg.h"
#include "platform/ui/Prompt.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QTreeView>

using namespace linkuitest;
using namespace testsupport::ui;
using linkui::CFilePanelDlg;

namespace {

std::vector<std::string> Names(CFilePanelDlg& p)
{
    std::vector<std::string> out;
    for (const auto& r : p.Model()->Records())
        out.push_back(U(linkui::NameOf(r)));
    return out;
}

QRect RowRect(CFilePanelDlg& p, const std::string& name)
{
    for (int row = 0; row < p.Model()->rowCount(); ++row)
        if (U(linkui::NameOf(p.Model()->Record(row))) == name)
            return p.Details()->visualRect(p.Model()->index(row, 0));
    return {};
}

class Panel : public SimFixture
{
protected:
    void Make(std::u16string_view path)
    {
        hostOwner->resize(600, 400);
        hostOwner->show();
        ASSERT_TRUE(panel->Create(fc, path, u"*.*", hostOwner.get()));
        panel->resize(600, 400);
        ASSERT_TRUE(WaitFor([&] { return !panel->IsBusy(); }, 20000, "the listing"));
    }
    void TearDown() override
    {
        hostOwner.reset(); // the panes go before the link
        SimFixture::TearDown();
    }
    std::unique_ptr<QWidget> hostOwner = std::make_unique<QWidget>();
    CFilePanelDlg* panel = new CFilePanelDlg;
};

} // namespace

TEST_F(Panel, SharesDataSortingAndBack)
{
    WriteFile(share / "small.txt", "abc");
    WriteFile(share / "big.bin", std::string(5000, 'x'));
    WriteFile(share / "mid.dat", std::string(700, 'y'));
    fs::create_directories(share / "sub");
    Make(u"\\");
    EXPECT_EQ(Names(*panel), (std::vector<std::string>{"DATA"}));
    EXPECT_EQ(panel->Locations()->currentIndex(), 0);
    EXPECT_EQ(panel->Locations()->currentText(), QStringLiteral("Systém (\\)"));
    EXPECT_EQ(panel->PathEdit()->text(), QStringLiteral("\\*.*"));
    EXPECT_EQ(panel->Details()->model()->headerData(3, Qt::Horizontal).toString(), QStringLiteral("změněno"));

    const QRect dataRow = RowRect(*panel, "DATA");
    ASSERT_FALSE(dataRow.isEmpty());
    Click(panel->Details()->viewport(), dataRow.center()); // the press before the double click
    DoubleClick(panel->Details()->viewport(), dataRow.center());
    ASSERT_TRUE(WaitFor([&] { return !panel->IsBusy() && panel->GetPath() == u"\\DATA\\"; }, 20000, "DATA"));
    const auto names = Names(*panel);
    ASSERT_EQ(names.size(), 6u);
    EXPECT_EQ(names[0], ".");
    EXPECT_EQ(names[1], "..");
    EXPECT_EQ(names[2], "sub");
    EXPECT_EQ(names[3], "big.bin");

    panel->Details()->header()->setSortIndicatorShown(false);
    Click(panel->Details()->header()->viewport(),
          QPoint(panel->Details()->header()->sectionViewportPosition(1) + 10, 5));
    auto files = Names(*panel);
    EXPECT_EQ(std::vector<std::string>(files.begin() + 3, files.end()),
              (std::vector<std::string>{"big.bin", "mid.dat", "small.txt"}));
    Click(panel->Details()->header()->viewport(),
          QPoint(panel->Details()->header()->sectionViewportPosition(1) + 10, 5));
    files = Names(*panel);
    EXPECT_EQ(std::vector<std::string>(files.begin() + 3, files.end()),
              (std::vector<std::string>{"small.txt", "mid.dat", "big.bin"}));

    // The summary of a selection, then ".." back to the root.
    panel->Details()->selectionModel()->select(panel->Model()->index(3, 0),
                                               QItemSelectionModel::Select | QItemSelectionModel::Rows);
    EXPECT_EQ(panel->Info()->text(), QStringLiteral("small.txt (3 bytů)"));
    panel->Details()->setFocus();
    PressKey(panel->Details(), Qt::Key_Backspace);
    ASSERT_TRUE(WaitFor([&] { return !panel->IsBusy() && panel->GetPath() == u"\\"; }, 20000, "the root"));
    EXPECT_EQ(Names(*panel), (std::vector<std::string>{"DATA"}));
}

TEST_F(Panel, SlowListingShowsTheBarAndAResetListsAgain)
{
    for (int i = 0; i < 40; ++i)
        WriteFile(share / std::string("f").append(std::to_string(i)).append(".txt"), "x");
    Make(u"\\");
    cssim::FileScript slow;
    slow.delayMs = 600;
    sim->scriptFile(3, "\\DATA\\*", slow);
    const size_t before = Received(3);
    panel->Enter(u"DATA");
    EXPECT_TRUE(panel->IsBusy());
    EXPECT_TRUE(panel->Bar()->isVisible());
    EXPECT_FALSE(panel->PathEdit()->isVisible());
    EXPECT_EQ(panel->PathEdit()->text(), QStringLiteral("\\DATA\\*.*"));
    panel->Refresh(); // remembered, as WM_LINK_STATE asks
    ASSERT_TRUE(WaitFor([&] { return Received(3) >= before + 2 && !panel->IsBusy(); }, 20000, "two listings"));
    EXPECT_TRUE(panel->PathEdit()->isVisible());
    EXPECT_FALSE(panel->Bar()->isVisible());
    EXPECT_EQ(panel->Model()->rowCount(), 42);

    // A reset of the control system during a listing: the pane lists again.
    const size_t mid = Received(3);
    panel->Refresh();
    ASSERT_TRUE(WaitFor([&] { return Received(3) > mid; }, 20000, "the listing request"));
    sim->resetNow();
    ASSERT_TRUE(WaitFor([&] { return !panel->IsBusy() && panel->Model()->rowCount() == 42; }, 30000,
                        "the list after the reset"));
}

TEST_F(Panel, NamesThatAreNoPlainNamesAreShownButNeverOffered)
{
    fs::create_directories(share / "HOSTILE/sub");
    ScriptHostileFolder(*sim, "\\DATA\\HOSTILE\\");
    Make(u"\\DATA\\HOSTILE\\");
    std::vector<std::string> shown;
    for (int row = 0; row < panel->Model()->rowCount(); ++row)
        shown.push_back(panel->Model()->data(panel->Model()->index(row, 0), Qt::DisplayRole).toString().toStdString());
    EXPECT_EQ(shown, (std::vector<std::string>{".", "..", "../../evil", "sub", "../../x", "bell?", "good.txt"}));

    // Everything selected: only the usable names are handed on.
    panel->Details()->selectAll();
    std::vector<std::string> offered;
    for (const auto& r : panel->SelectedRecords())
        offered.push_back(U(linkui::NameOf(r)));
    EXPECT_EQ(offered, (std::vector<std::string>{".", "..", "sub", "good.txt"}));
    panel->ClearSelection();
    panel->Details()->selectionModel()->select(panel->Model()->index(5, 0),
                                               QItemSelectionModel::Select | QItemSelectionModel::Rows);
    EXPECT_EQ(panel->Info()->text(), QStringLiteral("bell? (1 bytů)"));
    EXPECT_TRUE(panel->SelectedRecords().empty());

    // A double click on the climbing folder enters nothing; on "sub" it does.
    const QRect evil = RowRect(*panel, "../../evil");
    ASSERT_FALSE(evil.isEmpty());
    Click(panel->Details()->viewport(), evil.center()); // the press before the double click
    DoubleClick(panel->Details()->viewport(), evil.center());
    EXPECT_FALSE(panel->IsBusy());
    EXPECT_EQ(panel->GetPath(), u"\\DATA\\HOSTILE\\");
    Click(panel->Details()->viewport(), RowRect(*panel, "sub").center());
    DoubleClick(panel->Details()->viewport(), RowRect(*panel, "sub").center());
    ASSERT_TRUE(WaitFor([&] { return !panel->IsBusy() && panel->GetPath() == u"\\DATA\\HOSTILE\\sub\\"; }, 20000,
                        "sub"));
}

TEST_F(Panel, ListingThatCannotStartShowsTheLinksError)
{
    Make(u"\\");
    link->Close();
    PromptScript prompts({ui::IDOK});
    panel->Refresh();
    ASSERT_EQ(prompts.Texts().size(), 1u);
    EXPECT_FALSE(prompts.Texts()[0].isEmpty());
    EXPECT_FALSE(panel->IsBusy());
}

TEST_F(Panel, LocalDotFoldersAndLongPaths)
{
    fs::create_directories(local / ".config/inner");
    WriteFile(local / "a.txt", "hello");
    std::string deep = local.Path();
    while (deep.size() < 400)
        deep += "/" + std::string(60, 'd');
    fs::create_directories(deep);
    WriteFile(deep + "/leaf.txt", "leaf");
    Make(W(local.Path() + "/"));
    auto names = Names(*panel);
    ASSERT_GE(names.size(), 5u);
    EXPECT_EQ(names[0], ".");
    EXPECT_EQ(names[1], "..");
    EXPECT_EQ(names[2], ".config");
    EXPECT_EQ(names.back(), "a.txt");
    panel->Details()->setFocus();
    panel->Details()->selectionModel()->select(panel->Model()->index(2, 0),
                                               QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    PressKey(panel->Details(), Qt::Key_Return);
    EXPECT_EQ(U(panel->GetPath()), local.Path() + "/.config/");
    EXPECT_EQ(Names(*panel), (std::vector<std::string>{".", "..", "inner"}));

    panel->SetPath(W(deep + "/"));
    EXPECT_EQ(U(panel->GetPath()), deep + "/");
    EXPECT_EQ(panel->PathEdit()->text().toStdString(), deep + "/*.*");
    EXPECT_EQ(Names(*panel), (std::vector<std::string>{".", "..", "leaf.txt"}));
    panel->Enter(u"..");
    EXPECT_EQ(U(panel->GetPath()), deep.substr(0, deep.rfind('/') + 1));

    panel->SetMask(u"*.");
    panel->SetPath(W(local.Path() + "/"));
    EXPECT_EQ(Names(*panel), (std::vector<std::string>{".", "..", deep.substr(local.Path().size() + 1, 60)}));
}

class SerialPanel : public Panel
{
protected:
    void SetUp() override { Open(true); }
};

TEST_F(SerialPanel, OneListingOverThePseudoTerminal)
{
    WriteFile(share / "one.txt", "1");
    Make(u"\\DATA\\");
    EXPECT_EQ(Names(*panel), (std::vector<std::string>{".", "..", "one.txt"}));
}
