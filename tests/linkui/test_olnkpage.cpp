// The link settings page in a property sheet: first activation, a baud
// choice, OK, Cancel, the window size's range check and the ports of
// pseudo-terminals.
#include "link/ui/OlnkPropPage.h"
#include "platform/sys/Registry.h"
#include "platform/sys/SerialPort.h"
#include "platform/ui/Prompt.h"
#include "tests/support/platform/PtyPair.h"
#include "tests/support/ui/UiTest.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

using namespace testsupport::ui;
using linkui::COlnkPropPage;

namespace {

struct PagePorts
{
    testsupport::PtyPair freePty, busyPty;
    sys::SerialPort holder;
    PagePorts()
    {
        holder.Open(busyPty.SlavePath());
        COlnkPropPage::SetPortCandidates(std::vector<sys::SerialCandidate>{
            {"Com1", freePty.SlavePath()}, {"Com2", "/dev/no-such-port"}, {"Com3", busyPty.SlavePath()},
            {busyPty.SlavePath(), busyPty.SlavePath()}});
    }
    ~PagePorts() { COlnkPropPage::SetPortCandidates(std::nullopt); }
};

} // namespace

TEST(OlnkPropPage, ActivationBaudChoiceOkAndCancel)
{
    PagePorts ports;
    std::u16string bound = u"P = Com3; B = 115200; W = 5; Type = Serial;";
    ui::PropertySheet sheet(QStringLiteral("Možnosti"));
    auto* page = new COlnkPropPage;
    page->ConstructBound(&bound);
    sheet.AddPage(page);
    sheet.show();
    QApplication::setActiveWindow(&sheet);
    ASSERT_TRUE(WaitFor([&] { return sheet.isActiveWindow(); }, 5000, "the sheet active"));
    ASSERT_TRUE(sheet.SetActivePage(0));

    auto* port = FindChild<QComboBox>(page, "c11064");
    auto* baud = FindChild<QComboBox>(page, "c11065");
    auto* edit = FindChild<QLineEdit>(page, "c11066");
    auto* window = FindChild<QLineEdit>(page, "c11058");
    ASSERT_TRUE(port && baud && edit && window);
    EXPECT_FALSE(FindChild<QCheckBox>(page, "c11082")->isVisible());
    ASSERT_EQ(port->count(), 3);
    EXPECT_EQ(port->itemText(0), QStringLiteral("Com1 (Volný)"));
    EXPECT_EQ(port->itemText(1), QStringLiteral("Com3 (Obsazen)"));
    EXPECT_EQ(port->itemText(2), QString::fromStdString(ports.busyPty.SlavePath()) + QStringLiteral(" (Obsazen)"));
    EXPECT_EQ(port->currentIndex(), 1);
    EXPECT_EQ(baud->count(), 15);
    EXPECT_EQ(baud->currentText(), QStringLiteral("115 200 Bd"));
    EXPECT_EQ(window->text(), QStringLiteral("5"));
    EXPECT_EQ(edit->text(), QStringLiteral("P = Com3; B = 115200; W = 5; Type = Serial;"));
    EXPECT_FALSE(page->IsModified());

    // Choosing "9 600 Bd" rebuilds the string and marks the page.
    baud->setFocus();
    baud->showPopup();
    baud->setCurrentIndex(6);
    emit baud->activated(6);
    baud->hidePopup();
    EXPECT_EQ(edit->text(), QStringLiteral("P = Com3; B = 9600; W = 5; Type = Serial;"));
    EXPECT_TRUE(page->IsModified());

    // A window size of 128 is refused with the range message; the page stays.
    {
        PromptScript prompts({ui::IDOK});
        window->setFocus();
        window->selectAll();
        TypeText(window, QStringLiteral("128"));
        edit->setFocus();
        PumpEvents();
        ASSERT_EQ(prompts.Texts().size(), 1u);
        EXPECT_EQ(prompts.Texts()[0], QStringLiteral("Zadejte prosím celé číslo v rozsahu od 1 do 127."));
        EXPECT_EQ(edit->text(), QStringLiteral("P = Com3; B = 9600; W = 5; Type = Serial;"));
        prompts.Add(ui::IDOK);
        window->setText(QStringLiteral("0"));
        EXPECT_FALSE(page->OnKillActive());
        EXPECT_EQ(prompts.Texts().size(), 2u);
        window->setText(QStringLiteral("7"));
        PumpEvents();
    }

    // A typed string updates the combos when the edit is left.
    QApplication::setActiveWindow(&sheet);
    edit->setFocus();
    PumpEvents();
    ASSERT_TRUE(edit->hasFocus());
    edit->setText(QStringLiteral("P = /dev/elsewhere; B = 300; W = 7;"));
    window->setFocus();
    PumpEvents();
    EXPECT_EQ(port->currentText(), QStringLiteral("/dev/elsewhere"));
    EXPECT_EQ(baud->currentText(), QStringLiteral("300 Bd"));

    // Cancel reloads the bound string.
    page->OnCancel();
    EXPECT_EQ(edit->text(), QStringLiteral("P = Com3; B = 115200; W = 5; Type = Serial;"));
    EXPECT_FALSE(page->IsModified());

    // OK stores into the bound string.
    baud->setCurrentIndex(6);
    emit baud->activated(6);
    sheet.accept();
    EXPECT_EQ(bound, u"P = Com3; B = 9600; W = 5; Type = Serial;");
    EXPECT_FALSE(page->IsModified());
}

TEST(OlnkPropPage, ProfileSectionAndTheCheckBox)
{
    PagePorts ports;
    sys::Profile::WriteString(u"Options", u"OlnkConnectionString", u"P = Com1; B = 4800; W = 9;");
    ui::PropertySheet sheet(QStringLiteral("Možnosti"));
    auto* page = new COlnkPropPage;
    page->Construct(COlnkPropPage::kLoadProfile | COlnkPropPage::kSaveProfile, u"Options", nullptr, true,
                    QStringLiteral("Výchozí"));
    sheet.AddPage(page);
    sheet.show();
    ASSERT_TRUE(sheet.SetActivePage(0));
    auto* check = FindChild<QCheckBox>(page, "c11082");
    EXPECT_TRUE(check->isVisible());
    EXPECT_EQ(check->text(), QStringLiteral("Výchozí"));
    EXPECT_EQ(FindChild<QComboBox>(page, "c11065")->currentText(), QStringLiteral("4 800 Bd"));
    page->SetConnectionString(u"P = Com1; B = 600; W = 9;");
    EXPECT_FALSE(page->IsModified());
    EXPECT_EQ(page->GetConnectionString(), u"P = Com1; B = 600; W = 9;");
    page->SetModified(true);
    sheet.accept();
    EXPECT_EQ(sys::Profile::GetString(u"Options", u"OlnkConnectionString"), u"P = Com1; B = 600; W = 9;");
}
