// The file manager: its commands between a local folder and the
// simulator's share, the questions and reports, and the divider.
#include "linkui_env.h"

#include "link/ui/FileManagerDlg.h"
#include "link/ui/FilePanelDlg.h"
#include "platform/ui/Prompt.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QStyle>
#include <QToolButton>
#include <QTreeView>

using namespace linkuitest;
using namespace testsupport::ui;
using linkui::CFileManagerDlg;
using linkui::CFilePanelDlg;

namespace {

std::vector<std::string> Names(CFilePanelDlg* p)
{
    std::vector<std::string> out;
    for (const auto& r : p->Model()->Records())
        out.push_back(U(linkui::NameOf(r)));
    return out;
}

void Select(CFilePanelDlg* p, const std::vector<std::string>& names)
{
    p->ClearSelection();
    for (int row = 0; row < p->Model()->rowCount(); ++row)
        for (const auto& n : names)
            if (U(linkui::NameOf(p->Model()->Record(row))) == n)
                p->Details()->selectionModel()->select(p->Model()->index(row, 0),
                                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

class Manager : public SimFixture
{
protected:
    void Make()
    {
        fs::create_directories(share / "x");
        for (int i = 1; i <= 3; ++i)
            WriteFile(local / std::string("f").append(std::to_string(i)).append(".bin"),
                      Pattern(3000 * size_t(i), unsigned(i)));
        dlg = std::make_unique<CFileManagerDlg>();
        const std::u16string left = W(local.Path() + "/");
        ASSERT_TRUE(dlg->Create(fc, left.c_str(), u"\\DATA\\x\\", nullptr));
        dlg->resize(900, 500);
        ASSERT_TRUE(WaitFor([&] { return !dlg->Left()->IsBusy() && !dlg->Right()->IsBusy(); }, 20000, "the panes"));
    }
    void Idle()
    {
        ASSERT_TRUE(WaitFor([&] { return !dlg->Left()->IsBusy() && !dlg->Right()->IsBusy(); }, 20000, "the panes"));
    }
    void TearDown() override
    {
        dlg.reset();
        SimFixture::TearDown();
    }
    void Press(int id) { FindChild<QToolButton>(dlg.get(), QStringLiteral("c%1").arg(id))->click(); }
    std::unique_ptr<CFileManagerDlg> dlg;
};

} // namespace

TEST_F(Manager, CopyThreeFilesThenAFailedCopyKeepsTheSelection)
{
    Make();
    EXPECT_EQ(dlg->windowTitle(), QStringLiteral("Správce souborů"));
    EXPECT_TRUE(dlg->Left()->IsActive());
    EXPECT_FALSE(dlg->Right()->IsActive());
    Select(dlg->Left(), {"f1.bin", "f2.bin", "f3.bin"});
    {
        PromptScript prompts({ui::IDYES});
        Press(CFileManagerDlg::ID_COPY);
        ASSERT_EQ(prompts.Texts().size(), 1u);
        EXPECT_EQ(prompts.Texts()[0].toStdU16String(),
                  u"Zkopírovat označené soubory/adresáře z " + W(local.Path()) + u"/  do  \\DATA\\x\\?\r\n Pokud budou "
                  u"v cílovém umístění existovat soubory stejného jména, budou přepsány!");
    }
    Idle();
    for (int i = 1; i <= 3; ++i)
        EXPECT_EQ(ReadFile(share / ("x/f" + std::to_string(i) + ".bin")), Pattern(3000 * size_t(i), unsigned(i)));
    EXPECT_EQ(Names(dlg->Right()), (std::vector<std::string>{".", "..", "f1.bin", "f2.bin", "f3.bin"}));
    EXPECT_TRUE(dlg->Left()->SelectedRecords().empty());

    // The control system refuses the writes: the header and every line.
    cssim::FileScript refuse;
    refuse.status = 249;
    sim->scriptFile(6, "", refuse);
    Select(dlg->Left(), {"f1.bin", "f2.bin"});
    {
        PromptScript prompts({ui::IDYES, ui::IDOK});
        Press(CFileManagerDlg::ID_COPY);
        ASSERT_EQ(prompts.Texts().size(), 2u);
        const QString report = prompts.Texts()[1];
        EXPECT_TRUE(report.startsWith(QStringLiteral("Při kopírování soborů došlo k chybám:\r\n\r\n"))) << report.toStdString();
        EXPECT_TRUE(report.contains(QStringLiteral("f1.bin")));
        EXPECT_TRUE(report.contains(QStringLiteral("f2.bin")));
    }
    EXPECT_EQ(dlg->Left()->SelectedRecords().size(), 2u);
}

TEST_F(Manager, DeleteCreateFolderAndNoSelection)
{
    Make();
    {
        PromptScript none; // no selection: no question
        Press(CFileManagerDlg::ID_DELETE);
        Press(CFileManagerDlg::ID_COPY);
        EXPECT_TRUE(none.Texts().empty());
    }
    // Create folder "y" in the right pane, the prompt driven by its widgets.
    dlg->SetActivePane(1);
    OnNextModal<QDialog>([](QDialog* d) {
        auto* edit = FindChild<QLineEdit>(d, "c11177");
        ASSERT_NE(edit, nullptr);
        edit->setText(QStringLiteral("y"));
        FindChild<QAbstractButton>(d, "c1")->click();
    });
    Press(CFileManagerDlg::ID_CREATEDIR);
    Idle();
    EXPECT_TRUE(fs::is_directory(share / "x/y"));
    EXPECT_EQ(Names(dlg->Right()), (std::vector<std::string>{".", "..", "y"}));

    // Escape in the prompt is its Storno: nothing is made, the manager
    // stays open and usable, no window is left behind.
    OnNextModal<QDialog>([](QDialog* d) {
        FindChild<QLineEdit>(d, "c11177")->setText(QStringLiteral("z"));
        PressEscape(d);
        EXPECT_FALSE(d->isVisible());
    });
    Press(CFileManagerDlg::ID_CREATEDIR);
    Idle();
    EXPECT_FALSE(fs::exists(share / "x/z"));
    EXPECT_TRUE(dlg->isVisible());
    for (QWidget* w : VisibleTopLevels())
        EXPECT_EQ(w, dlg.get()) << detail::Describe(w).toStdString();

    // A name that would climb: refused before anything is sent.
    OnNextModal<QDialog>([](QDialog* d) {
        FindChild<QLineEdit>(d, "c11177")->setText(QStringLiteral("a..b\\..\\z"));
        FindChild<QAbstractButton>(d, "c1")->click();
    });
    {
        PromptScript prompts({ui::IDOK});
        Press(CFileManagerDlg::ID_CREATEDIR);
        ASSERT_EQ(prompts.Texts().size(), 1u);
        EXPECT_EQ(prompts.Texts()[0], QStringLiteral("Jméno adresáře \"a..b\\..\\z\" nelze použít: nesmí být prázdné, "
                                                     "\".\" ani \"..\" a nesmí obsahovat \"\\\", \"/\" ani řídicí znaky (na "
                                                     "řídícím systému ani \":\")."));
    }
    Idle();

    // Delete "y" after the question.
    Select(dlg->Right(), {"y"});
    {
        PromptScript prompts({ui::IDYES});
        Press(CFileManagerDlg::ID_DELETE);
        ASSERT_EQ(prompts.Texts().size(), 1u);
        EXPECT_EQ(prompts.Texts()[0],
                  QStringLiteral("Smazat označené soubory/adresáře z \\DATA\\x\\ včetně případných podadresářů?"
                                 "\r\n\r\nPoložky ke smazání (1):\r\ny"));
    }
    Idle();
    EXPECT_FALSE(fs::exists(share / "x/y"));
    EXPECT_EQ(Names(dlg->Right()), (std::vector<std::string>{".", ".."}));

    // Escape in a pane's list reaches the manager, which closes as with its
    // Cancel (the pane itself never closes).
    dlg->show();
    auto* list = FindChildOfClass<QTreeView>(dlg->Right());
    ASSERT_NE(list, nullptr);
    list->setFocus();
    PressEscape(list);
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(dlg->result(), int(QDialog::Rejected));
    EXPECT_FALSE(dlg->Right()->isHidden());
}

// At the dialog's default size both panes show every column whole, and
// the date column holds the longest date in the list's font.
TEST_F(Manager, TheDefaultSizeShowsWholeDates)
{
    fs::create_directories(share / "x");
    WriteFile(share / "x/remote.txt", "r");
    WriteFile(local / "local.txt", "l");
    dlg = std::make_unique<CFileManagerDlg>();
    const std::u16string left = W(local.Path() + "/");
    ASSERT_TRUE(dlg->Create(fc, left.c_str(), u"\\DATA\\x\\", nullptr));
    Idle();
    PumpEvents(0);
    // 23:58:58 on 28.12.2088: every field at its longest.
    const QString longest = QString::fromStdU16String(linkui::DateText(uint16_t(108 << 9 | 12 << 5 | 28),
                                                                       uint16_t(23 << 11 | 58 << 5 | 29)));
    ASSERT_EQ(longest.size(), 19);
    for (CFilePanelDlg* p : {dlg->Left(), dlg->Right()}) {
        QTreeView* v = p->Details();
        ASSERT_TRUE(WaitFor([&] { return v->isVisible() && v->viewport()->width() > 0; }, 5000, "the list"));
        const QFontMetrics fm(v->font());
        const int margin = v->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, v) + 1;
        std::vector<QString> dates{longest};
        for (int row = 0; row < v->model()->rowCount(); ++row)
            dates.push_back(v->model()->index(row, 3).data().toString());
        ASSERT_GE(dates.size(), 2u);
        for (const QString& d : dates)
            EXPECT_GE(v->columnWidth(3), fm.horizontalAdvance(d) + 2 * margin) << d.toStdString();
        // The last column ends inside the list.
        EXPECT_LE(v->header()->sectionViewportPosition(3) + v->columnWidth(3), v->viewport()->width())
            << "pane " << p->ControlId() << " of a dialog " << dlg->width() << " wide";
    }
}

TEST_F(Manager, FocusAndTheDivider)
{
    Make();
    dlg->show();
    QApplication::setActiveWindow(dlg.get());
    dlg->Right()->Details()->setFocus();
    PumpEvents();
    EXPECT_TRUE(dlg->Right()->IsActive());
    EXPECT_FALSE(dlg->Left()->IsActive());

    auto* split = dlg->Splitter();
    const int leftW = dlg->Left()->width(), rightW = dlg->Right()->width();
    ASSERT_GT(leftW, 100);
    const QPoint mid(split->width() / 2, 20);
    Drag(split, mid, mid - QPoint(leftW + 200, 0)); // far beyond the left pane
    EXPECT_EQ(dlg->Left()->width(), 0);
    EXPECT_EQ(dlg->Right()->width(), leftW + rightW);
    EXPECT_EQ(dlg->Ratio(), 0.0);
    dlg->resize(1000, 500);
    PumpEvents();
    EXPECT_EQ(dlg->Left()->width(), 0);
    Drag(split, mid, mid + QPoint(300, 0));
    EXPECT_EQ(dlg->Left()->width(), 300);
    const double ratio = dlg->Ratio();
    dlg->resize(700, 400);
    PumpEvents();
    EXPECT_EQ(dlg->Ratio(), ratio);
    EXPECT_NEAR(dlg->Left()->width(), int((dlg->Left()->width() + dlg->Right()->width()) * ratio), 1);
}

TEST(FileManagerLayout, MarginsRatioAndLimits)
{
    const auto l = linkui::ComputeManagerLayout(QRect(0, 0, 800, 500), QRect(7, 7, 100, 30), 6, 0.5);
    EXPECT_EQ(l.toolbar, QRect(7, 7, 786, 30));
    EXPECT_EQ(l.left, QRect(7, 44, 390, 449));
    EXPECT_EQ(l.right, QRect(403, 44, 390, 449));
    EXPECT_EQ(l.splitter, QRect(397, 102, 6, 391));
    const auto tiny = linkui::ComputeManagerLayout(QRect(0, 0, 10, 20), QRect(7, 7, 100, 30), 6, 0.3);
    EXPECT_GE(tiny.left.width(), 0);
    EXPECT_GE(tiny.right.width(), 0);
    EXPECT_EQ(linkui::RatioAfterMove(0, 0, 5, 0.25), 0.25);
    EXPECT_EQ(linkui::RatioAfterMove(100, 300, -100, 0.25), 0.0);
    EXPECT_EQ(linkui::ClampDrag(-500, 100, 50), -100);
    EXPECT_EQ(linkui::ClampDrag(500, 100, 50), 50);
}
