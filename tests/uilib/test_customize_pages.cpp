// The toolbars, options and menu pages of the customisation sheet on a live
// frame, with their effects surviving a workspace save and load.

#include "CustomizeWorld.h"

#include "platform/ui/Beep.h"
#include "res/CommandIds.h"
#include "res/StringTable.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPushButton>

using namespace customizetest;

namespace {

class PagesTest : public CustomizeWorld
{
protected:
    CKVTToolbarsPage* Toolbars(CKVTToolbarCustomize* sheet)
    {
        return ShowPage<CKVTToolbarsPage>(sheet, QStringLiteral("Panely nástrojů"));
    }
    QStringList Listed(CKVTToolbarsPage* page)
    {
        QStringList out;
        for (int i = 0; i < page->List()->count(); ++i)
            out << page->List()->item(i)->text();
        return out;
    }
    template <class T>
    T* Item(QWidget* page, int id)
    {
        return FindChild<T>(page, QStringLiteral("c%1").arg(id));
    }
    // Answers the next name dialog with a name.
    void NameDialog(const QString& name)
    {
        OnNextModal<CKVTToolbarNameDlg>([name](CKVTToolbarNameDlg* dlg) {
            auto* edit = FindChild<QLineEdit>(dlg, QStringLiteral("c16516"));
            edit->clear();
            EXPECT_FALSE(dlg->GetDlgItem(1)->isEnabled()); // empty: no OK
            edit->insert(name); // typed text, as the edit sees it
            EXPECT_TRUE(dlg->GetDlgItem(1)->isEnabled());
            dlg->accept();
        });
    }
    QStringList BarItems() const
    {
        QStringList out;
        for (int i = 0; i < menuBar->Items().Count(); ++i)
            out << StripMnemonic(menuBar->GetButton(i)->m_text);
        return out;
    }
};

} // namespace

TEST_F(PagesTest, TheCustomiseCommandOpensTheSheetAsTheProgramDoes)
{
    ASSERT_TRUE(ui::SendCommand(ID_VIEW_CUSTOMIZE));
    auto* sheet = qobject_cast<CKVTToolbarCustomize*>(CKVTFrameHelper::CustomizeSheet());
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(sheet->Flags(), 0xFFFFu);
    EXPECT_TRUE(sheet->AutoFromMenus());
    EXPECT_TRUE(CKVTToolbarShared::IsCustomizeMode());
    CKVTToolbarsPage* page = Toolbars(sheet);
    EXPECT_TRUE(Item<QPushButton>(page, 16517)->isVisible()); // user toolbars on
    // A second command brings the same sheet.
    ui::SendCommand(ID_VIEW_CUSTOMIZE);
    EXPECT_EQ(CKVTFrameHelper::CustomizeSheet(), sheet);
}

TEST_F(PagesTest, ToolbarsAreListedWithTheirChecksAndAVetoBeeps)
{
    // A bar kept out of the list, and a bar of another frame.
    CKVTToolBar* hidden = MakeBar(0xE826, 1, QStringLiteral("Skrytý"));
    hidden->Customizer().SetHideInCustomizeList(true);
    frame->DockControlBar(hidden, ui::DOCKBAR_TOP);
    CKVTMDIFrameWnd other;
    auto* foreign = new CKVTToolBar(&other);
    foreign->CreateEx(&other, 0x830, 0x50402834, QMargins(1, 1, 1, 1), 0xE800);
    foreign->setWindowTitle(QStringLiteral("Cizí"));
    CKVTToolbarCustomize* sheet = OpenSheet();
    CKVTToolbarsPage* page = Toolbars(sheet);
    EXPECT_EQ(Listed(page), (QStringList{"Menu", "Standard", "Debug"}));
    CKVTToolbarCheckList* list = page->List();
    const int debug = page->IndexOf(debugBar);
    const int standard = page->IndexOf(mainBar);
    EXPECT_FALSE(list->IsCheckAllowed(debug));
    EXPECT_FALSE(list->IsCheckAllowed(page->IndexOf(menuBar)));
    EXPECT_TRUE(list->IsCheckAllowed(standard));

    // A bar that may not be closed keeps its check, with a beep, however asked.
    const int beeps = ui::BeepCount();
    list->item(debug)->setCheckState(Qt::Unchecked);
    EXPECT_TRUE(list->GetCheck(debug));
    list->setCurrentRow(debug);
    PressKey(list, Qt::Key_Space);
    DoubleClick(list->viewport(), list->visualItemRect(list->item(debug)).center());
    EXPECT_TRUE(list->GetCheck(debug));
    EXPECT_TRUE(debugBar->isVisible());
    EXPECT_EQ(ui::BeepCount(), beeps + 3);

    // A closable one follows its check.
    list->item(standard)->setCheckState(Qt::Unchecked);
    EXPECT_FALSE(mainBar->isVisible());
    list->item(standard)->setCheckState(Qt::Checked);
    EXPECT_TRUE(mainBar->isVisible());

    // Selection: the menu bar can be restored but takes no labels and is no user bar.
    list->setCurrentRow(page->IndexOf(menuBar));
    EXPECT_TRUE(Item<QPushButton>(page, 16504)->isEnabled());
    EXPECT_FALSE(Item<QPushButton>(page, 16518)->isEnabled());
    EXPECT_FALSE(Item<QCheckBox>(page, 16541)->isEnabled());
    list->setCurrentRow(standard);
    EXPECT_TRUE(Item<QCheckBox>(page, 16541)->isEnabled());
    Click(Item<QCheckBox>(page, 16541));
    EXPECT_TRUE(mainBar->GetTextLabels());
}

TEST_F(PagesTest, UserToolbarsAreMadeRenamedWhileFloatingAndDeleted)
{
    PromptScript prompts;
    CKVTToolbarCustomize* sheet = OpenSheet();
    CKVTToolbarsPage* page = Toolbars(sheet);
    NameDialog(QStringLiteral("Můj panel"));
    Click(Item<QPushButton>(page, 16517));
    ASSERT_EQ(frame->Helper().UserToolbars().size(), 1u);
    CKVTToolBar* mine = frame->Helper().UserToolbars()[0];
    EXPECT_EQ(Listed(page).last(), QStringLiteral("Můj panel"));
    EXPECT_EQ(page->SelectedBar(), mine);
    EXPECT_TRUE(page->List()->GetCheck(page->IndexOf(mine)));
    EXPECT_TRUE(Item<QPushButton>(page, 16519)->isEnabled());
    EXPECT_TRUE(Item<QPushButton>(page, 16518)->isEnabled());

    // Rename while floating: the mini-frame's caption follows.
    frame->FloatControlBar(mine, frame->mapToGlobal(QPoint(400, 300)));
    QApplication::processEvents();
    CKVTMiniDockFrameWnd* mini = frame->Helper().MiniFrameOf(mine);
    ASSERT_NE(mini, nullptr);
    NameDialog(QStringLiteral("Přejmenovaný"));
    Click(Item<QPushButton>(page, 16519));
    EXPECT_EQ(mine->windowTitle(), QStringLiteral("Přejmenovaný"));
    EXPECT_EQ(mini->windowTitle(), QStringLiteral("Přejmenovaný"));
    EXPECT_EQ(page->List()->currentItem()->text(), QStringLiteral("Přejmenovaný"));

    // Delete asks; No keeps it, Yes removes it and selects the first item.
    prompts.Add(ui::IDNO);
    Click(Item<QPushButton>(page, 16518));
    EXPECT_EQ(frame->Helper().UserToolbars().size(), 1u);
    prompts.Add(ui::IDYES);
    Click(Item<QPushButton>(page, 16518));
    EXPECT_TRUE(frame->Helper().UserToolbars().empty());
    EXPECT_EQ(page->List()->currentRow(), 0);
    ASSERT_EQ(prompts.Texts().size(), 2u);
    EXPECT_EQ(prompts.Texts()[0], QStringLiteral("Opravdu chcete odstranit panel nástrojů 'Přejmenovaný'?"));
}

TEST_F(PagesTest, TheEleventhUserToolbarIsRefusedAndEmptyingTheListLeavesNoSelection)
{
    PromptScript prompts;
    prompts.AllowUnexpected(true);
    for (int i = 0; i < 10; ++i)
        ASSERT_NE(frame->Helper().CreateUserToolbar(QStringLiteral("U%1").arg(i)), nullptr);
    for (CKVTToolBar* b : {static_cast<CKVTToolBar*>(menuBar), mainBar, debugBar})
        b->Customizer().SetHideInCustomizeList(true);
    CKVTToolbarCustomize* sheet = OpenSheet();
    CKVTToolbarsPage* page = Toolbars(sheet);
    EXPECT_EQ(page->List()->count(), 10);
    const int beeps = ui::BeepCount();
    NameDialog(QStringLiteral("Jedenáctý"));
    Click(Item<QPushButton>(page, 16517));
    ASSERT_FALSE(prompts.Texts().empty());
    EXPECT_TRUE(prompts.Texts().back().contains(QStringLiteral("10")));
    EXPECT_EQ(ui::BeepCount(), beeps + 1);
    EXPECT_EQ(page->List()->count(), 10);

    for (int i = 0; i < 10; ++i) {
        page->List()->setCurrentRow(0);
        prompts.Add(ui::IDYES);
        page->OnDelete();
    }
    EXPECT_EQ(page->List()->count(), 0);
    EXPECT_EQ(page->List()->currentRow(), -1);
    for (int id : {16504, 16519, 16518, 16541})
        EXPECT_FALSE(Item<QWidget>(page, id)->isEnabled()) << id;
}

TEST_F(PagesTest, ResetRestoresABarAndResetAllForgetsOnlyTheUserImageAssignments)
{
    PromptScript prompts;
    const int count = mainBar->Items().Count();
    mainBar->RemoveButton(0);
    CKVTCommandImageMap::Instance().SetImage(4711, 2, true);
    const int defaults = int(CKVTCommandImageMap::Instance().Map(false).size());
    CKVTToolbarCustomize* sheet = OpenSheet();
    CKVTToolbarsPage* page = Toolbars(sheet);
    page->List()->setCurrentRow(page->IndexOf(mainBar));
    prompts.Add(ui::IDNO);
    Click(Item<QPushButton>(page, 16504));
    EXPECT_EQ(mainBar->Items().Count(), count - 1);
    prompts.Add(ui::IDYES);
    Click(Item<QPushButton>(page, 16504));
    EXPECT_EQ(mainBar->Items().Count(), count);
    EXPECT_EQ(prompts.Texts()[0],
              QStringLiteral("Všechny vaše změny budou ztraceny ! Opravdu chcete obnovit panel nástrojů 'Standard'?"));

    // Reset all gives every bar its buttons back, not only the selected one.
    const int debugCount = debugBar->Items().Count();
    debugBar->RemoveButton(0);
    ASSERT_EQ(debugBar->Items().Count(), debugCount - 1);
    prompts.Add(ui::IDYES);
    Click(Item<QPushButton>(page, 16503));
    EXPECT_TRUE(CKVTCommandImageMap::Instance().Map(true).empty());
    EXPECT_EQ(int(CKVTCommandImageMap::Instance().Map(false).size()), defaults);
    EXPECT_EQ(debugBar->Items().Count(), debugCount);
    CKVTToolBar fresh;
    fresh.LoadToolBar(1017);
    EXPECT_EQ(debugBar->Items().Count(), fresh.Items().Count());
}

TEST_F(PagesTest, OptionsWriteThroughAndTheirDependentBoxes)
{
    PromptScript prompts;
    CKVTToolbarCustomize* sheet = OpenSheet();
    auto* page = ShowPage<CKVTOptionsPage>(sheet, QStringLiteral("Možnosti"));
    ASSERT_NE(page, nullptr);
    auto* tips = Item<QCheckBox>(page, 16502);
    auto* keys = Item<QCheckBox>(page, 16505);
    EXPECT_TRUE(tips->isChecked());
    EXPECT_TRUE(keys->isEnabled());
    (tips)->click();
    EXPECT_FALSE(CKVTToolbarShared::Options().tooltips);
    EXPECT_FALSE(keys->isEnabled());
    (tips)->click();
    EXPECT_TRUE(keys->isEnabled());
    EXPECT_TRUE(keys->isChecked());
    (Item<QCheckBox>(page, 16503))->click();
    EXPECT_TRUE(CKVTToolbarShared::Options().largeIcons);
    EXPECT_TRUE(Item<QCheckBox>(page, 16540)->isVisible()); // flag 4
    // No basic commands: the recently-used controls are hidden, and so is
    // their group "Přizpůsobená menu" (no empty frame above "Ostatní").
    for (int id : {16535, 16537, 16538, 16539, 16536})
        EXPECT_FALSE(Item<QWidget>(page, id)->isVisible()) << id;
    EXPECT_FALSE(FindChild<QGroupBox>(page, "group16530")->isVisible());
    EXPECT_TRUE(FindChild<QGroupBox>(page, "group16531")->isVisible());
    sheet->close();
    QApplication::processEvents();
    Restart();
    EXPECT_TRUE(CKVTToolbarShared::Options().largeIcons);
    CKVTToolbarShared::SetLargeIcons(false);

    CKVTToolbarShared::SetBasicCommands({ID_FILE_OPEN});
    sheet = OpenSheet(0xFFFB);
    page = ShowPage<CKVTOptionsPage>(sheet, QStringLiteral("Možnosti"));
    for (int id : {16535, 16537, 16538, 16539, 16536})
        EXPECT_TRUE(Item<QWidget>(page, id)->isVisible()) << id;
    EXPECT_TRUE(FindChild<QGroupBox>(page, "group16530")->isVisible());
    EXPECT_FALSE(Item<QCheckBox>(page, 16540)->isVisible());
    auto* recent = Item<QCheckBox>(page, 16535);
    (recent)->click();
    EXPECT_FALSE(CKVTToolbarShared::Options().recentlyUsedMenus);
    EXPECT_FALSE(Item<QCheckBox>(page, 16536)->isEnabled());
    CKVTCommandUsage::Instance().AddCommand(ID_FILE_OPEN);
    prompts.Add(ui::IDYES);
    (Item<QPushButton>(page, 16537))->click();
    EXPECT_EQ(CKVTCommandUsage::Instance().Total(), 0u);
    CKVTToolbarShared::SetBasicCommands({});
}

TEST_F(PagesTest, TemplateMenusAreEditedInPlaceAndSurviveASwitchAndARestart)
{
    CKVTToolbarCustomize* sheet = OpenSheet();
    auto* page = ShowPage<CKVTMenuPage>(sheet, QStringLiteral("Menu"));
    ASSERT_NE(page, nullptr);
    QComboBox* menuFor = page->MenuForCombo();
    ASSERT_EQ(menuFor->count(), 3);
    EXPECT_EQ(menuFor->itemText(0), QStringLiteral("Dok9404"));
    EXPECT_EQ(menuFor->itemText(2), QStringLiteral("Výchozí menu"));
    EXPECT_EQ(menuFor->currentIndex(), 2);
    EXPECT_EQ(Item<QLabel>(page, 16506)->text(), LoadResString(16107));
    menuFor->setCurrentIndex(0);
    EXPECT_EQ(Item<QLabel>(page, 16506)->text(), QStringLiteral("Dokument 9404"));
    EXPECT_EQ(BarItems(), (QStringList{"Soubor", "Editace"}));
    menuBar->RemoveButton(1);
    menuFor->setCurrentIndex(2);
    EXPECT_EQ(BarItems(), (QStringList{"Soubor", "Nástroje"}));
    menuFor->setCurrentIndex(0);
    EXPECT_EQ(BarItems(), QStringList{"Soubor"});
    // Leaving shows again the menu shown at the start.
    sheet->close();
    QApplication::processEvents();
    EXPECT_EQ(BarItems(), (QStringList{"Soubor", "Nástroje"}));

    Restart();
    sheet = OpenSheet();
    page = ShowPage<CKVTMenuPage>(sheet, QStringLiteral("Menu"));
    page->MenuForCombo()->setCurrentIndex(0);
    EXPECT_EQ(BarItems(), QStringList{"Soubor"});
}

TEST_F(PagesTest, ResettingATemplateMenuSwitchesItsOpenChildren)
{
    PromptScript prompts;
    ui::Document* doc = tmplA->OpenDocumentFile(QString());
    ASSERT_NE(doc, nullptr);
    QApplication::processEvents();
    ui::Menu* old = tmplA->GetSharedMenu();
    EXPECT_EQ(menuBar->GetCurrentMenu(), old);
    CKVTToolbarCustomize* sheet = OpenSheet();
    auto* page = ShowPage<CKVTMenuPage>(sheet, QStringLiteral("Menu"));
    EXPECT_EQ(page->MenuForCombo()->currentIndex(), 0);
    menuBar->RemoveButton(1);
    const uint64_t oldSerial = old->Serial();
    prompts.Add(ui::IDYES);
    Click(Item<QPushButton>(page, 16510));
    EXPECT_EQ(prompts.Texts()[0],
              QStringLiteral("Všechny vaše změny budou ztraceny ! Opravdu chcete obnovit menu 'Dok9404'?"));
    ui::Menu* now = tmplA->GetSharedMenu();
    EXPECT_NE(now, old);
    EXPECT_EQ(menuBar->GetCurrentMenu(), now);
    EXPECT_EQ(BarItems(), (QStringList{"Soubor", "Editace"}));
    EXPECT_FALSE(CKVTMenuButtonCache::Instance().Contains(oldSerial));
    EXPECT_EQ(frame->GetActiveMenu(), now);
    sheet->close();
    QApplication::processEvents();
    EXPECT_EQ(menuBar->GetCurrentMenu(), now);
    EXPECT_EQ(BarItems(), (QStringList{"Soubor", "Editace"}));
}

TEST_F(PagesTest, AContextMenuEditIsStoredAtCloseAndShownAfterARestart)
{
    CKVTToolbarCustomize* sheet = OpenSheet();
    auto* page = ShowPage<CKVTMenuPage>(sheet, QStringLiteral("Menu"));
    QComboBox* ctx = page->ContextCombo();
    ASSERT_EQ(ctx->count(), 3);
    EXPECT_EQ(ctx->itemText(0), QStringLiteral("----------------"));
    EXPECT_EQ(ctx->itemText(1), QStringLiteral("Text"));
    EXPECT_EQ(ctx->itemText(2), QStringLiteral("Výstup"));
    EXPECT_FALSE(Item<QPushButton>(page, 16509)->isEnabled());
    ctx->setCurrentIndex(1);
    CKVTPopupMenu* popup = page->ContextPopup();
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(popup->windowTitle(), QStringLiteral("Text"));
    EXPECT_FALSE(popup->GetDestroyMenu());
    // At the owner's client origin + (5, 5), give or take the popup's frame.
    EXPECT_LE((popup->pos() - frame->mapToGlobal(QPoint(5, 5))).manhattanLength(), 2 * CKVTPopupMenu::FrameWidth);
    EXPECT_TRUE(Item<QPushButton>(page, 16509)->isEnabled());
    EXPECT_EQ(popup->GetMenuBar()->Items().Count(), 2);
    popup->GetMenuBar()->RemoveButton(0);
    popup->move(popup->pos() + QPoint(30, 20));
    const QPoint moved = popup->pos();
    sheet->close();
    QApplication::processEvents();
    EXPECT_EQ(CKVTMenuPage::LastContextMenuPos(), moved);

    Restart();
    sheet = OpenSheet();
    page = ShowPage<CKVTMenuPage>(sheet, QStringLiteral("Menu"));
    page->ContextCombo()->setCurrentIndex(1);
    ASSERT_NE(page->ContextPopup(), nullptr);
    EXPECT_EQ(page->ContextPopup()->GetMenuBar()->Items().Count(), 1);

    // The popup closed by itself: the combo goes back to the dashes line.
    page->ContextPopup()->close();
    QApplication::processEvents();
    EXPECT_EQ(page->ContextPopup(), nullptr);
    EXPECT_EQ(page->ContextCombo()->currentIndex(), 0);
    EXPECT_FALSE(Item<QPushButton>(page, 16509)->isEnabled());

    // A name the manager does not know beeps.
    const int beeps = ui::BeepCount();
    page->ContextCombo()->addItem(QStringLiteral("Neznámé"));
    page->ContextCombo()->setCurrentIndex(page->ContextCombo()->count() - 1);
    EXPECT_EQ(ui::BeepCount(), beeps + 1);
    EXPECT_EQ(page->ContextPopup(), nullptr);
}

TEST_F(PagesTest, WithoutAMenuBarTheMenuPageEditsNothing)
{
    frame->Helper().SetMenuBar(nullptr);
    delete menuBar;
    menuBar = nullptr;
    CKVTToolbarCustomize* sheet = OpenSheet();
    auto* page = ShowPage<CKVTMenuPage>(sheet, QStringLiteral("Menu")); // the context-menu manager keeps it
    ASSERT_NE(page, nullptr);
    EXPECT_FALSE(page->MenuForCombo()->isEnabled());
    EXPECT_EQ(Item<QLabel>(page, 16506)->text(), QStringLiteral("Nelze upravovat menu !"));
}

TEST_F(PagesTest, AnimationIndexFollowsTheStoredValue)
{
    CKVTToolbarShared::Options().menuAnimation = 7;
    CKVTToolbarCustomize* sheet = OpenSheet();
    auto* page = ShowPage<CKVTMenuPage>(sheet, QStringLiteral("Menu"));
    QComboBox* anim = page->AnimationCombo();
    ASSERT_EQ(anim->count(), 3);
    EXPECT_EQ(anim->itemText(1), QStringLiteral("Rozbalení"));
    EXPECT_EQ(anim->currentIndex(), 2);
    anim->setCurrentIndex(1);
    Click(Item<QCheckBox>(page, 16542));
    const bool shadows = Item<QCheckBox>(page, 16542)->isChecked();
    sheet->close();
    QApplication::processEvents();
    EXPECT_EQ(CKVTToolbarShared::Options().menuAnimation, 1u);
    EXPECT_EQ(CKVTToolbarShared::Options().menuShadows, shadows);
}
