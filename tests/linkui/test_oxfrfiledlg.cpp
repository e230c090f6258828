// The remote open and save dialog against the simulator's share.
#include "linkui_env.h"

#include "link/ui/OxfrFileDialog.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeView>

using namespace linkuitest;
using namespace testsupport::ui;
using linkui::COxfrFileDialog;

namespace {

QRect RowOf(COxfrFileDialog* d, const std::string& name)
{
    for (int row = 0; row < d->Model()->rowCount(); ++row)
        if (U(linkui::NameOf(d->Model()->Record(row))) == name)
            return d->Details()->visualRect(d->Model()->index(row, 0));
    return {};
}

class FileDlg : public SimFixture
{
protected:
    // Runs the dialog; act gets it once its first listing ended.
    int Run(COxfrFileDialog& dlg, std::function<void(COxfrFileDialog*)> act)
    {
        OnNextModal<COxfrFileDialog>([act](COxfrFileDialog* d) {
            if (WaitFor([d] { return !d->IsBusy(); }, 20000, "the listing"))
                act(d);
            if (d->isVisible())
                d->reject();
        }, 30000);
        return dlg.DoModal();
    }
};

} // namespace

TEST_F(FileDlg, PlainNameOpensAtTheRootAndADoubleClickedFileIsOk)
{
    WriteFile(share / "a.bin", "1");
    WriteFile(share / "b.txt", "2");
    COxfrFileDialog dlg(fc, true, nullptr, u"a.bin", 2054, u"Všechny soubory (*.*)|*.*||");
    const int result = Run(dlg, [](COxfrFileDialog* d) {
        EXPECT_EQ(d->Folder(), u"\\");
        EXPECT_EQ(d->windowTitle(), QStringLiteral("Otevřít..."));
        EXPECT_FALSE(FindChild<QWidget>(d, "c1040")->isVisible()); // OFN_HIDEREADONLY
        EXPECT_EQ(FindChild<QComboBox>(d, "c1137")->currentText(), QStringLiteral("\\*.*"));
        EXPECT_EQ(FindChild<QComboBox>(d, "c1136")->count(), 1);
        EXPECT_EQ(FindChild<QLineEdit>(d, "c1152")->text(), QStringLiteral("a.bin"));
        const QRect data = RowOf(d, "DATA");
        Click(d->Details()->viewport(), data.center());
        DoubleClick(d->Details()->viewport(), data.center());
        ASSERT_TRUE(WaitFor([d] { return !d->IsBusy() && d->Folder() == u"\\DATA\\"; }, 20000, "DATA"));
        const QRect b = RowOf(d, "b.txt");
        Click(d->Details()->viewport(), b.center());
        EXPECT_EQ(FindChild<QLineEdit>(d, "c1152")->text(), QStringLiteral("b.txt"));
        DoubleClick(d->Details()->viewport(), b.center());
    });
    EXPECT_EQ(result, int(QDialog::Accepted));
    EXPECT_EQ(dlg.GetPathName(), u"\\DATA\\b.txt");
    EXPECT_EQ(dlg.GetFileName(), u"b.txt");
    EXPECT_EQ(dlg.m_ofn.Flags & ui::OFN_READONLY, 0u);
}

TEST_F(FileDlg, NamesThatAreNoPlainNamesAreNeverPickedOrEntered)
{
    fs::create_directories(share / "HOSTILE/sub");
    ScriptHostileFolder(*sim, "\\DATA\\HOSTILE\\");
    COxfrFileDialog dlg(fc, true, nullptr, u"\\DATA\\HOSTILE\\start.txt", 2054, u"Všechny soubory (*.*)|*.*||");
    const int result = Run(dlg, [](COxfrFileDialog* d) {
        auto* name = FindChild<QLineEdit>(d, "c1152");
        ASSERT_NE(name, nullptr);
        ASSERT_FALSE(RowOf(d, "bell\a").isEmpty());
        EXPECT_EQ(d->Model()->data(d->Model()->index(5, 0), Qt::DisplayRole).toString(), QStringLiteral("bell?"));
        // Picked, double-clicked: the name never reaches the edit or the result.
        for (const char* bad : {"bell\a", "../../x"}) {
            Click(d->Details()->viewport(), RowOf(d, bad).center());
            EXPECT_EQ(name->text(), QStringLiteral("start.txt")) << bad;
            DoubleClick(d->Details()->viewport(), RowOf(d, bad).center());
            EXPECT_TRUE(d->isVisible()) << bad;
        }
        Click(d->Details()->viewport(), RowOf(d, "../../evil").center());
        DoubleClick(d->Details()->viewport(), RowOf(d, "../../evil").center());
        EXPECT_FALSE(d->IsBusy());
        EXPECT_EQ(d->Folder(), u"\\DATA\\HOSTILE\\");
        // OK with the climbing folder selected in the list takes the typed name.
        d->Details()->setFocus();
        Click(d->Details()->viewport(), RowOf(d, "../../evil").center());
        ClickButton(d, "c1");
    });
    EXPECT_EQ(result, int(QDialog::Accepted));
    EXPECT_EQ(dlg.GetPathName(), u"\\DATA\\HOSTILE\\start.txt");
}

TEST_F(FileDlg, ALongInitialPathTypedNamesAndPatterns)
{
    const std::string deep(80, 'f');
    fs::create_directories(share / deep);
    WriteFile(share / (deep + "/x.bin"), "x");
    WriteFile(share / (deep + "/y.txt"), "y");
    const std::u16string initial = u"\\DATA\\" + W(deep) + u"\\" + std::u16string(13, u'n');
    ASSERT_EQ(initial.size(), 100u);
    COxfrFileDialog dlg(fc, false, u"bin", initial.c_str(), 0, nullptr);
    const int result = Run(dlg, [&](COxfrFileDialog* d) {
        EXPECT_EQ(d->Folder(), initial.substr(0, 87));
        EXPECT_EQ(d->windowTitle(), QStringLiteral("Uložit jako..."));
        EXPECT_EQ(d->Model()->rowCount(), 4);
        auto* name = FindChild<QLineEdit>(d, "c1152");
        name->setText(QStringLiteral("*.bin"));
        FindChild<QPushButton>(d, "c1")->click();
        EXPECT_EQ(d->Mask(), u"*.bin");
        ASSERT_TRUE(WaitFor([d] { return !d->IsBusy(); }, 20000, "the filtered listing"));
        EXPECT_EQ(d->Model()->rowCount(), 3); // ".", "..", "x.bin"
        name->setText(QStringLiteral("\\PLCOUTPUT\\a.bin"));
        FindChild<QPushButton>(d, "c1")->click();
    });
    EXPECT_EQ(result, int(QDialog::Accepted));
    EXPECT_EQ(dlg.GetPathName(), u"\\PLCOUTPUT\\a.bin");
    EXPECT_EQ(dlg.GetFileName(), u"a.bin");
}

TEST_F(FileDlg, CancelDuringASlowListingCancelsTheJob)
{
    SpyLink spy(link.get());
    cssim::FileScript slow;
    slow.delayMs = 3000;
    sim->scriptFile(3, "", slow);
    COxfrFileDialog dlg(&spy, true, nullptr, u"\\DATA\\x", 0, nullptr);
    uint32_t job = 0;
    OnNextModal<COxfrFileDialog>([&](COxfrFileDialog* d) {
        EXPECT_TRUE(d->IsBusy());
        job = d->Job();
        FindChild<QPushButton>(d, "c2")->click();
    });
    EXPECT_EQ(dlg.DoModal(), int(QDialog::Rejected));
    EXPECT_NE(job, 0u);
    EXPECT_EQ(spy.cancelled, std::vector<uint32_t>{job});
    EXPECT_EQ(spy.registered, 1); // registered for the link's state while it exists
}
