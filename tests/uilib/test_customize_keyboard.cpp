// The keyboard and mouse pages inside the customisation sheet: their
// categories and commands come from the sheet; a key assigned there runs
// its command once the sheet is closed and still does after a restart.

#include "CustomizeWorld.h"

#include "uilib/KVTKeyboardPage.h"
#include "res/CommandIds.h"
#include "uilib/KVTMouseManager.h"
#include "uilib/KVTMousePage.h"
#include "uilib/KVTShortcutEdit.h"

#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>

using namespace customizetest;

namespace {

class SheetKeyboard : public CustomizeWorld
{
protected:
    template <class T>
    T* Item(QWidget* page, int id)
    {
        return FindChild<T>(page, QStringLiteral("c%1").arg(id));
    }
    void Assign(CKVTToolbarCustomize* sheet, const QString& category, const QString& command, Qt::Key key,
                Qt::KeyboardModifiers mods)
    {
        QWidget* page = sheet->KeyboardPage();
        auto* cats = Item<QComboBox>(page, CKVTKeyboardPage::IDC_CATEGORY);
        cats->setCurrentIndex(cats->findText(category));
        auto* commands = Item<QListWidget>(page, CKVTKeyboardPage::IDC_COMMANDS);
        const QList<QListWidgetItem*> found = commands->findItems(command, Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1);
        commands->setCurrentItem(found[0]);
        auto* edit = Item<CKVTShortcutEdit>(page, CKVTKeyboardPage::IDC_SHORTCUT);
        edit->setFocus();
        QTest::keyClick(edit, key, mods);
        QTest::mouseClick(Item<QPushButton>(page, CKVTKeyboardPage::IDC_ASSIGN), Qt::LeftButton);
    }
};

} // namespace

TEST_F(SheetKeyboard, AKeyAssignedInTheSheetRunsAfterItClosesAndAfterARestart)
{
    CKVTToolbarCustomize* sheet = OpenSheet();
    ASSERT_NE(sheet->KeyboardPage(), nullptr);
    EXPECT_EQ(Tabs(sheet), (QStringList{"Příkazy", "Panely nástrojů", "Klávesnice", "Menu", "Možnosti"}));
    ShowPage<CKVTKeyboardPage>(sheet, QStringLiteral("Klávesnice"));
    // The categories are the sheet's, the all-commands one last.
    auto* cats = Item<QComboBox>(sheet->KeyboardPage(), CKVTKeyboardPage::IDC_CATEGORY);
    QStringList names;
    for (int i = 0; i < cats->count(); ++i)
        names << cats->itemText(i);
    QStringList expected = sheet->Catalogue().CategoryNames();
    expected << QStringLiteral("Všechny příkazy");
    EXPECT_EQ(names, expected);

    Assign(sheet, QStringLiteral("Soubor"), QStringLiteral("Zavřít"), Qt::Key_F5, Qt::ControlModifier);
    // While the sheet is open the frame runs no commands.
    sheet->close();
    QApplication::processEvents();
    QTest::keyClick(frame, Qt::Key_F5, Qt::ControlModifier);
    EXPECT_EQ(frame->ran, std::vector<uint32_t>{ID_FILE_CLOSE});

    Restart();
    QTest::keyClick(frame, Qt::Key_F5, Qt::ControlModifier);
    EXPECT_EQ(frame->ran, std::vector<uint32_t>{ID_FILE_CLOSE});
}

TEST_F(SheetKeyboard, NoKeyboardPageWithoutTheManagerOrWithoutAFrameTable)
{
    Stop();
    Start(true, true, false);
    if (frame->Accelerators())
        GTEST_SKIP() << "the frame has a table of its own";
    CKVTToolbarCustomize* sheet = OpenSheet();
    EXPECT_EQ(sheet->KeyboardPage(), nullptr);
    EXPECT_FALSE(Tabs(sheet).contains(QStringLiteral("Klávesnice")));
    sheet->close();
    QApplication::processEvents();
    Stop();
    Start(true, false, true);
    sheet = OpenSheet();
    EXPECT_EQ(sheet->KeyboardPage(), nullptr);
}

TEST_F(SheetKeyboard, TheMousePageShowsTheRegisteredViewsWithTheSheetsCommands)
{
    CKVTToolbarCustomize* sheet = OpenSheet();
    EXPECT_EQ(sheet->MousePage(), nullptr); // no mouse manager: no page
    sheet->close();
    QApplication::processEvents();

    workspace->InitMouseManager();
    CKVTMouseManager* mm = CKVTMouseManager::Instance();
    ASSERT_NE(mm, nullptr);
    // No views yet: the page selects nothing.
    sheet = OpenSheet();
    ASSERT_NE(sheet->MousePage(), nullptr);
    ShowPage<CKVTMousePage>(sheet, QStringLiteral("Myš"));
    EXPECT_EQ(static_cast<CKVTMousePage*>(sheet->MousePage())->CurrentViewId(), -1);
    sheet->close();
    QApplication::processEvents();
    mm->AddView(1, QStringLiteral("Text"));
    mm->AddView(2, QStringLiteral("Hexa"));
    sheet = OpenSheet();
    ASSERT_NE(sheet->MousePage(), nullptr);
    QStringList tabs = Tabs(sheet);
    EXPECT_EQ(tabs.indexOf(QStringLiteral("Myš")), tabs.indexOf(QStringLiteral("Menu")) + 1);
    ShowPage<CKVTMousePage>(sheet, QStringLiteral("Myš"));
    QWidget* page = sheet->MousePage();
    EXPECT_EQ(Item<QListWidget>(page, CKVTMousePage::IDC_VIEWS)->count(), 2);
    QListWidget all;
    sheet->FillAllCommandsList(&all);
    EXPECT_EQ(Item<QListWidget>(page, CKVTMousePage::IDC_COMMANDS)->count(), all.count());
}
