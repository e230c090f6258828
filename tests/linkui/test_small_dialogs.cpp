// The connection-error dialog and the prompt dialog.
#include "linkui_env.h"

#include "link/ui/ConnectionErrorDlg.h"
#include "platform/ui/Prompt.h"

#include <QLabel>
#include <QLineEdit>

using namespace linkuitest;
using linkui::CConnectionErrorDlg;

namespace {

struct Owner : linkui::IConnectionOwner
{
    int stops = 0;
    bool StopCommunication() override
    {
        ++stops;
        return true;
    }
};

} // namespace

TEST(ConnectionErrorDlg, IgnoreHoldsUntilHideAndDisconnectCallsTheLastOwnerOnce)
{
    CConnectionErrorDlg dlg;
    Owner a, b;
    dlg.Show(&a, nullptr);
    ASSERT_NE(dlg.Window(), nullptr);
    EXPECT_TRUE(dlg.Window()->isVisible());
    EXPECT_EQ(dlg.Window()->windowTitle(), QStringLiteral("Chyba spojení..."));
    ClickButton(dlg.Window(), "c2"); // "&Ignorovat"
    EXPECT_FALSE(dlg.Window()->isVisible());
    dlg.Show(&a, nullptr);
    EXPECT_FALSE(dlg.Window()->isVisible());
    dlg.Hide();
    dlg.Show(&a, nullptr);
    dlg.Show(&b, nullptr);
    EXPECT_TRUE(dlg.Window()->isVisible());
    ClickButton(dlg.Window(), "c1"); // "&Odpojit"
    EXPECT_EQ(a.stops, 0);
    EXPECT_EQ(b.stops, 1);
    EXPECT_FALSE(dlg.Window()->isVisible());
    // Hide forgets the owner: "&Odpojit" then only hides.
    dlg.Show(&b, nullptr);
    dlg.Hide();
    dlg.OnOK();
    EXPECT_EQ(b.stops, 1);
    // Escape is "&Ignorovat"; help without a handler does nothing.
    dlg.Show(&a, nullptr);
    ClickButton(dlg.Window(), "c9");
    testsupport::ui::PressKey(dlg.Window(), Qt::Key_Escape);
    EXPECT_TRUE(dlg.Ignored());
    EXPECT_FALSE(dlg.Window()->isVisible());
}

TEST(PromptDlg, CancelOkAndAnEmptiedEdit)
{
    QString value = QStringLiteral("nový");
    testsupport::ui::OnNextModal<QDialog>([](QDialog* w) {
        auto* edit = w->findChild<QLineEdit*>(QStringLiteral("c11177"));
        ASSERT_NE(edit, nullptr);
        EXPECT_EQ(edit->selectedText(), QStringLiteral("nový"));
        EXPECT_TRUE(edit->hasFocus() || QApplication::focusWidget() == edit);
        EXPECT_EQ(w->windowTitle(), QStringLiteral("Nový adresář"));
        EXPECT_EQ(w->findChild<QLabel*>(QStringLiteral("c11078"))->text(), QStringLiteral("Název:"));
        edit->setText(QStringLiteral("jiný"));
        ClickButton(w, "c2");
    });
    EXPECT_EQ(linkui::PromptForText(value, QStringLiteral("Název:"), QStringLiteral("Nový adresář")), ui::IDCANCEL);
    EXPECT_EQ(value, QStringLiteral("nový"));

    testsupport::ui::OnNextModal<QDialog>([](QDialog* w) {
        w->findChild<QLineEdit*>(QStringLiteral("c11177"))->setText(QStringLiteral("jiný"));
        ClickButton(w, "c1");
    });
    EXPECT_EQ(linkui::PromptForText(value, QStringLiteral("Název:"), QStringLiteral("Nový adresář")), ui::IDOK);
    EXPECT_EQ(value, QStringLiteral("jiný"));

    testsupport::ui::OnNextModal<QDialog>([](QDialog* w) {
        w->findChild<QLineEdit*>(QStringLiteral("c11177"))->clear();
        ClickButton(w, "c1");
    });
    EXPECT_EQ(linkui::PromptForText(value, QStringLiteral("Název:"), QStringLiteral("Nový adresář")), ui::IDOK);
    EXPECT_TRUE(value.isEmpty());
}

TEST(PromptDlg, EscapeCancelsAndLeavesNoWindowOpen)
{
    // Escape from the edit, twice over: the first closes the dialog as
    // Storno does (it never turns blank), the value stays.
    QString value = QStringLiteral("nový");
    const QList<QWidget*> before = testsupport::ui::VisibleTopLevels();
    bool formShown = false;
    testsupport::ui::OnNextModal<QDialog>([&](QDialog* w) {
        auto* edit = w->findChild<QLineEdit*>(QStringLiteral("c11177"));
        ASSERT_NE(edit, nullptr);
        edit->setText(QStringLiteral("jiný"));
        formShown = edit->isVisible();
        testsupport::ui::PressEscape(w);
        EXPECT_FALSE(w->isVisible());
    });
    EXPECT_EQ(linkui::PromptForText(value, QStringLiteral("Název:"), QStringLiteral("Vytvořit adresář")),
              ui::IDCANCEL);
    EXPECT_TRUE(formShown);
    EXPECT_EQ(value, QStringLiteral("nový"));
    EXPECT_EQ(testsupport::ui::VisibleTopLevels(before), QList<QWidget*>());
}
