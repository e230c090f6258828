// The button appearance dialog and the steps of the button context menu
// that use it (ID_BUTTON_APPEARANCE, ID_BUTTON_IMAGE, ID_BUTTON_IMAGE_TEXT, ID_BUTTON_NEW_MENU).

#include "uilib/KVTButtonAppearanceDlg.h"

#include "platform/ui/App.h"
#include "platform/ui/Prompt.h"
#include "res/CommandIds.h"
#include "uilib/KVTPopupMenu.h"
#include "uilib/KVTToolBar.h"
#include "uilib/KVTToolbarButton.h"
#include "uilib/KVTToolbarMenuButton.h"

#include "tests/support/ui/UiTest.h"

#include "uilib/KVTButtonImageList.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <gtest/gtest.h>

using namespace testsupport::ui;

namespace {

class Appearance : public ::testing::Test
{
protected:
    void SetUp() override
    {
        frame = new ui::MainFrameBase;
        bar = new CKVTToolBar(frame);
        bar->CreateEx(frame, 0x830, 0x50402834, QMargins(1, 1, 1, 1), 0xE800);
        frame->setCentralWidget(bar);
        ASSERT_TRUE(bar->LoadToolBar(9100));
        frame->resize(600, 200);
        frame->show();
        bar->AdjustLayout();
        CKVTToolbarShared::SetCustomizeMode(true);
    }
    void TearDown() override
    {
        CKVTToolbarShared::SetCustomizeMode(false);
        delete frame;
        CKVTToolbarShared::CleanUp();
    }
    static QRadioButton* Radio(QWidget* d, int id) { return FindChild<QRadioButton>(d, QStringLiteral("c%1").arg(id)); }
    static QLineEdit* Name(QWidget* d) { return FindChild<QLineEdit>(d, QStringLiteral("c16500")); }
    ui::MainFrameBase* frame = nullptr;
    CKVTToolBar* bar = nullptr;
};

TEST_F(Appearance, OkRefusesAnEmptyTextAndAMissingImageAndKeepsTheShortcut)
{
    CKVTToolbarButton button(40020, -1, QStringLiteral("&Uložit\tCtrl+S"));
    button.m_showText = true;
    button.m_showImage = false;
    PromptScript prompts({ui::IDOK, ui::IDOK});
    bool stayed = false, stayedAgain = false;
    OnNextModal<CKVTButtonAppearanceDlg>([&](CKVTButtonAppearanceDlg* d) {
        EXPECT_EQ(d->windowTitle(), QStringLiteral("Vzhled tlačítka"));
        EXPECT_TRUE(Radio(d, 16506)->isChecked()); // text only: no image shown
        EXPECT_EQ(Name(d)->text(), QStringLiteral("&Uložit"));
        EXPECT_FALSE(FindChild<CKVTButtonImageList>(d, QStringLiteral("c16508"))->isEnabled()); // no user images
        // "Nový..." makes the first user image; "Upravit..." needs one.
        EXPECT_TRUE(FindChild<QPushButton>(d, QStringLiteral("c16509"))->isEnabled());
        EXPECT_FALSE(FindChild<QPushButton>(d, QStringLiteral("c16510"))->isEnabled());
        EXPECT_FALSE(Radio(d, 16530)->isEnabled()); // no image at all
        // "&Pouze text" with an empty name.
        Name(d)->clear();
        d->accept();
        stayed = d->isVisible();
        // Image only without an image.
        Radio(d, 16505)->setChecked(true);
        Name(d)->setText(QStringLiteral("Zapsat"));
        d->accept();
        stayedAgain = d->isVisible();
        // Text only with a name: taken, with the shortcut part kept.
        Radio(d, 16506)->setChecked(true);
        d->accept();
    });
    CKVTButtonAppearanceDlg dlg(&button, nullptr, bar);
    EXPECT_EQ(dlg.DoModal(), int(QDialog::Accepted));
    EXPECT_TRUE(stayed);
    EXPECT_TRUE(stayedAgain);
    ASSERT_EQ(prompts.Texts().size(), 2u);
    EXPECT_EQ(prompts.Texts()[0], QStringLiteral("Musíte zadat text !"));
    EXPECT_EQ(prompts.Texts()[1], QStringLiteral("Musíte zvolit ikonu !"));
    EXPECT_EQ(button.m_text, QStringLiteral("Zapsat\tCtrl+S"));
    EXPECT_TRUE(button.m_showText);
    EXPECT_FALSE(button.m_showImage);
}

TEST_F(Appearance, ADefaultOrAUserImage)
{
    CKVTToolbarImageList user;
    user.SetImageSize(QSize(16, 15));
    QImage img(16, 15, QImage::Format_ARGB32);
    img.fill(Qt::black);
    user.AddImage(img);
    user.AddImage(img);
    CKVTToolbarButton* b = bar->GetButton(0); // ID_FILE_NEW, a default image
    ASSERT_TRUE(b->HasImage());
    OnNextModal<CKVTButtonAppearanceDlg>([](CKVTButtonAppearanceDlg* d) {
        EXPECT_TRUE(Radio(d, 16505)->isChecked());
        EXPECT_TRUE(Radio(d, 16530)->isChecked());
        auto* grid = FindChild<CKVTButtonImageList>(d, QStringLiteral("c16508"));
        ASSERT_EQ(grid->GetCount(), 2);
        grid->SelectButton(1);
        EXPECT_TRUE(Radio(d, 16529)->isChecked());
        Radio(d, 16507)->setChecked(true);
        Name(d)->setText(QStringLiteral("Nový"));
        d->accept();
    });
    CKVTButtonAppearanceDlg dlg(b, &user, bar);
    EXPECT_EQ(dlg.DoModal(), int(QDialog::Accepted));
    EXPECT_TRUE(b->m_userImage);
    EXPECT_EQ(b->GetImage(), 1);
    EXPECT_TRUE(b->m_showImage && b->m_showText);
    EXPECT_EQ(b->m_text, QStringLiteral("Nový"));
}

TEST_F(Appearance, TheContextMenuStepsThatUseTheDialog)
{
    // ID_BUTTON_APPEARANCE renames the selected button.
    bar->Items().selected = 1;
    OnNextModal<CKVTButtonAppearanceDlg>([](CKVTButtonAppearanceDlg* d) {
        Radio(d, 16507)->setChecked(true);
        Name(d)->setText(QStringLiteral("Otevřít"));
        d->accept();
    });
    bar->Customizer().OnCustomizeCommand(ID_BUTTON_APPEARANCE);
    EXPECT_EQ(bar->GetButton(1)->m_text, QStringLiteral("Otevřít"));
    EXPECT_TRUE(bar->GetButton(1)->m_showText);

    // ID_BUTTON_IMAGE on a text-only button without an image, cancelled: still text only.
    auto plain = std::make_unique<CKVTToolbarButton>(40030, -1, QStringLiteral("Bez ikony"));
    plain->m_showText = true;
    plain->m_showImage = false;
    CKVTToolbarButton* p = plain.get();
    const int at = bar->InsertButton(std::move(plain), 2);
    bar->Items().selected = at;
    OnNextModal<CKVTButtonAppearanceDlg>([](CKVTButtonAppearanceDlg* d) { d->reject(); });
    bar->Customizer().OnCustomizeCommand(ID_BUTTON_IMAGE);
    EXPECT_TRUE(p->m_showText);
    EXPECT_FALSE(p->m_showImage);
    // ID_BUTTON_IMAGE_TEXT likewise.
    OnNextModal<CKVTButtonAppearanceDlg>([](CKVTButtonAppearanceDlg* d) { d->reject(); });
    bar->Customizer().OnCustomizeCommand(ID_BUTTON_IMAGE_TEXT);
    EXPECT_TRUE(p->m_showText);
    EXPECT_FALSE(p->m_showImage);

    // ID_BUTTON_NEW_MENU with OK: an empty menu button at the selection, selected and open.
    const int count = bar->Items().Count();
    bar->Items().selected = 3;
    OnNextModal<CKVTButtonAppearanceDlg>([](CKVTButtonAppearanceDlg* d) {
        EXPECT_TRUE(Radio(d, 16506)->isChecked());
        Name(d)->setText(QStringLiteral("Moje menu"));
        d->accept();
    });
    bar->Customizer().OnCustomizeCommand(ID_BUTTON_NEW_MENU);
    ASSERT_EQ(bar->Items().Count(), count + 1);
    auto* menu = dynamic_cast<CKVTToolbarMenuButton*>(bar->GetButton(3));
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->m_text, QStringLiteral("Moje menu"));
    EXPECT_TRUE(menu->SubItems().empty());
    EXPECT_EQ(bar->Items().selected, 3);
    EXPECT_NE(menu->GetPopupMenu(), nullptr);
    if (CKVTPopupMenu* popup = menu->GetPopupMenu())
        popup->CloseLevel();
    // Cancelled: nothing is inserted.
    OnNextModal<CKVTButtonAppearanceDlg>([](CKVTButtonAppearanceDlg* d) { d->reject(); });
    bar->Customizer().OnCustomizeCommand(ID_BUTTON_NEW_MENU);
    EXPECT_EQ(bar->Items().Count(), count + 1);
    QApplication::processEvents();
}

} // namespace
