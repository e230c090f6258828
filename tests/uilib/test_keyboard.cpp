// The keyboard manager (tables, stored form, templates and their frames)
// and the keyboard page on a real library frame.

#include "platform/ui/Accel.h"
#include "platform/ui/App.h"
#include "platform/ui/BarStyle.h"
#include "platform/ui/Document.h"
#include "platform/ui/Menu.h"
#include "platform/ui/Prompt.h"
#include "res/CommandIds.h"
#include "res/StringTable.h"
#include "uilib/KVTFrameWnd.h"
#include "uilib/KVTMenuBar.h"
#include "uilib/KVTKeyboardManager.h"
#include "uilib/KVTKeyboardPage.h"
#include "uilib/KVTMenuCommandCategories.h"
#include "uilib/KVTPopupMenu.h"
#include "uilib/KVTRegistryKey.h"
#include "uilib/KVTShortcutEdit.h"
#include "uilib/KVTToolBar.h"
#include "uilib/KVTToolbarButton.h"
#include "uilib/KVTWorkspace.h"

#include "tests/support/ui/UiTest.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

using namespace testsupport::ui;

namespace {

constexpr uint32_t kStep = 33900;

class TestFrame : public CKVTMDIFrameWnd
{
public:
    std::vector<uint32_t> ran;
    TestFrame()
    {
        for (uint32_t id : {ID_PROJECT_BUILD, ID_NEXT_ERROR, kStep})
            MapCommand(id, [this, id] { ran.push_back(id); });
    }
};

QString Hex(const std::vector<uint8_t>& bytes)
{
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(bytes.data()), int(bytes.size())).toHex(' '));
}

QString Keys(const ui::AccelTable* t)
{
    if (!t)
        return QStringLiteral("null");
    return Hex(CKVTKeyboardManager::Encode(t->Entries()));
}

QString KeyPath(int id)
{
    return GetRegPath(QStringLiteral("KVTKeyboardManager")) + QStringLiteral("KVTKeyboard-%1").arg(id);
}

void WriteStored(int id, const std::vector<uint8_t>& bytes)
{
    CKVTRegistryKey key;
    ASSERT_TRUE(key.CreateKey(KeyPath(id)));
    ASSERT_TRUE(key.Write(QStringLiteral("Accelerators"), bytes));
}

class KeyboardTest : public ::testing::Test
{
protected:
    std::unique_ptr<ui::Application> app = std::make_unique<ui::Application>();
    CKVTWorkspace workspace;
    std::unique_ptr<TestFrame> frame;
    CKVTKeyboardManager* km = nullptr;

    void SetUp() override
    {
        workspace.InitKeyboardManager();
        km = CKVTKeyboardManager::Instance();
    }
    void TearDown() override
    {
        frame.reset();
        CKVTToolbarShared::SetNonPermittedCommands({});
        app.reset();
    }
    TestFrame* Build(uint32_t resource = 9450)
    {
        frame.reset(); // the new frame becomes the main window
        frame = std::make_unique<TestFrame>();
        frame->setGeometry(100, 100, 800, 500);
        EXPECT_TRUE(frame->LoadFrame(resource, 0));
        frame->show();
        QApplication::processEvents();
        return frame.get();
    }
    // A template with the table 9451 whose documents open in the frame.
    ui::DocTemplate* AddTemplate(uint32_t id = 9451)
    {
        auto t = std::make_unique<ui::DocTemplate>(
            id, QStringLiteral("\nZkouška\nZkouška\n\n\n\n"), [] { return new ui::Document; },
            [] { return new ui::ChildFrame; }, [] { return new ui::View; });
        ui::DocTemplate* raw = t.get();
        if (frame)
            raw->SetMdiArea(frame->MdiArea());
        app->AddDocTemplate(std::move(t));
        return raw;
    }
};

} // namespace

TEST_F(KeyboardTest, TheFrameTableIsStoredAsSixByteRecordsAndLoadsBackWithNonPermittedCommandsInert)
{
    Build();
    ASSERT_TRUE(km->SaveState(nullptr, frame.get()));
    CKVTRegistryKey key(false, true);
    ASSERT_TRUE(key.Open(KeyPath(0)));
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(key.Read(QStringLiteral("Accelerators"), bytes));
    EXPECT_EQ(Hex(bytes), QStringLiteral("0d 00 74 00 36 84 01 00 73 00 53 84"));

    // A stored key of a non-permitted command can never reach it.
    CKVTToolbarShared::SetNonPermittedCommands({ID_NEXT_ERROR});
    std::shared_ptr<const ui::AccelTable> table;
    ASSERT_TRUE(km->LoadAccelTable(GetRegPath(QStringLiteral("KVTKeyboardManager")), 0, table));
    ASSERT_EQ(table->Entries().size(), 2u);
    EXPECT_EQ(table->Entries()[0].command, ID_PROJECT_BUILD);
    EXPECT_EQ(table->Entries()[1].command, 0);
    EXPECT_EQ(table->Entries()[1].key, 0x73);
}

TEST_F(KeyboardTest, BuildingFromAnArrayNeverDestroysATableInUseAndEmptyArraysGiveEmptyTables)
{
    Build();
    std::shared_ptr<const ui::AccelTable> old = frame->SharedAccelerators();
    const ui::AccelTable* raw = old.get();
    // Removing the last key works: an empty table, answered TRUE.
    EXPECT_TRUE(km->UpdateAcceleratorTableFromArray(nullptr, {}, frame.get()));
    ASSERT_NE(frame->Accelerators(), nullptr);
    EXPECT_TRUE(frame->Accelerators()->Entries().empty());
    EXPECT_TRUE(km->UpdateAcceleratorTableFromArray(nullptr, {}, frame.get()));
    // Whoever still holds the old table keeps it whole.
    EXPECT_EQ(old.get(), raw);
    EXPECT_EQ(Keys(old.get()), QStringLiteral("0d 00 74 00 36 84 01 00 73 00 53 84"));

    // UpdateAcceleratorTable answers whether there was an old table, and
    // installs the new one either way.
    TestFrame bare;
    EXPECT_FALSE(km->UpdateAcceleratorTable(nullptr, old, &bare));
    EXPECT_EQ(bare.Accelerators(), raw);
    EXPECT_TRUE(km->UpdateAcceleratorTable(nullptr, old, &bare));
}

TEST_F(KeyboardTest, StoredValuesLoadWholeRecordsOnlyAndAnEmptyValueKeepsTheResourceTable)
{
    // Two records and a cut third: the two load.
    WriteStored(0, {0x09, 0, 0x74, 0, 0x2C, 0x84, 0x01, 0, 0x70, 0, 0x2D, 0x84, 0x01, 0});
    Build();
    EXPECT_EQ(Keys(frame->Accelerators()), QStringLiteral("09 00 74 00 2c 84 01 00 70 00 2d 84"));

    // An empty value leaves the resource table in force.
    WriteStored(0, {});
    Build();
    EXPECT_EQ(Keys(frame->Accelerators()), QStringLiteral("0d 00 74 00 36 84 01 00 73 00 53 84"));

    // A frame without a table stores no id 0.
    CKVTRegistryKey().DeleteKey(KeyPath(0));
    TestFrame bare;
    ASSERT_TRUE(km->SaveState(nullptr, &bare));
    EXPECT_FALSE(CKVTRegistryKey(false, true).Open(KeyPath(0)));
}

TEST_F(KeyboardTest, ATemplateTableReachesExactlyTheFramesThatHeldTheOldOneAndResetRestoresResources)
{
    Build();
    ui::DocTemplate* tmpl = AddTemplate();
    ui::DocTemplate* other = AddTemplate(9452);
    ASSERT_NE(tmpl->GetAccelTable(), nullptr);
    EXPECT_EQ(other->GetAccelTable(), nullptr);
    ui::Document* a = tmpl->OpenDocumentFile({});
    ui::Document* b = tmpl->OpenDocumentFile({});
    ui::Document* c = other->OpenDocumentFile({});
    ASSERT_TRUE(a && b && c);
    const std::shared_ptr<const ui::AccelTable> old = tmpl->GetAccelTable();
    ui::ChildFrame* fa = a->Frames().at(0);
    ui::ChildFrame* fb = b->Frames().at(0);
    ui::ChildFrame* fc = c->Frames().at(0);
    EXPECT_EQ(fa->Accelerators(), old.get());
    // b's frame holds a table of its own, c's (another template) the old one.
    auto own = std::make_shared<const ui::AccelTable>(std::vector<ui::Accel>{{ui::FVIRTKEY, 0x75, ID_NEXT_ERROR}});
    fb->SetAccelTable(own);
    fc->SetAccelTable(old);

    EXPECT_TRUE(km->UpdateAcceleratorTableFromArray(tmpl, {{ui::FVIRTKEY, 0x76, kStep}}));
    EXPECT_EQ(Keys(tmpl->GetAccelTable().get()), QStringLiteral("01 00 76 00 6c 84"));
    EXPECT_EQ(fa->Accelerators(), tmpl->GetAccelTable().get());
    EXPECT_EQ(fb->Accelerators(), own.get());
    EXPECT_EQ(fc->Accelerators(), old.get());
    // A frame made now takes the template's table as it is.
    ui::Document* d = tmpl->OpenDocumentFile({});
    EXPECT_EQ(d->Frames().at(0)->Accelerators(), tmpl->GetAccelTable().get());

    // Saved per template id; reset reloads the resources; load brings the
    // user's tables back.
    km->UpdateAcceleratorTableFromArray(nullptr, {{ui::FVIRTKEY, 0x77, kStep}}, frame.get());
    ASSERT_TRUE(km->SaveState(nullptr, frame.get()));
    km->ResetAll();
    EXPECT_EQ(Keys(tmpl->GetAccelTable().get()), QStringLiteral("09 00 74 00 6c 84"));
    EXPECT_EQ(Keys(frame->Accelerators()), QStringLiteral("0d 00 74 00 36 84 01 00 73 00 53 84"));
    EXPECT_EQ(fa->Accelerators(), tmpl->GetAccelTable().get());
    ASSERT_TRUE(km->LoadState(nullptr, frame.get()));
    EXPECT_EQ(Keys(tmpl->GetAccelTable().get()), QStringLiteral("01 00 76 00 6c 84"));
    EXPECT_EQ(Keys(frame->Accelerators()), QStringLiteral("01 00 77 00 6c 84"));
    tmpl->CloseAllDocuments();
    other->CloseAllDocuments();
}

TEST_F(KeyboardTest, ShortcutTextsOfTooltipsAndPopupItemsComeFromTheFrameTable)
{
    Build();
    QString text;
    EXPECT_TRUE(km->FindDefaultAccelerator(ID_PROJECT_BUILD, text, frame.get()));
    EXPECT_EQ(text, QStringLiteral("Ctrl+Shift+F5"));
    EXPECT_FALSE(km->FindDefaultAccelerator(kStep, text, frame.get()));
    EXPECT_TRUE(text.isEmpty());

    // The popup item's "F7" of the menu gives way to the frame's key.
    std::unique_ptr<ui::Menu> menu = frame->GetDefaultMenu()->SubMenu(1)->Clone();
    auto* popup = new CKVTPopupMenu;
    popup->SetDestroyMenu(false);
    ASSERT_TRUE(popup->Create(frame->centralWidget(), 150, 150, menu.get()));
    EXPECT_EQ(popup->GetMenuBar()->GetButton(0)->m_text, QStringLiteral("&Sestavit\tCtrl+Shift+F5"));
    popup->CloseChain();
    QApplication::processEvents();

    auto* bar = new CKVTToolBar(frame.get());
    bar->CreateEx(frame.get(), 0x830, 0x50402834, QMargins(1, 1, 1, 1), 0xE800);
    auto button =
        std::make_unique<CKVTToolbarButton>(ID_PROJECT_BUILD, -1, QStringLiteral("Sestavit"));
    button->m_showText = true;
    bar->InsertButton(std::move(button));
    frame->EnableDocking(ui::CBRS_ALIGN_ANY);
    bar->EnableDocking(ui::CBRS_ALIGN_ANY);
    frame->DockControlBar(bar);
    frame->RecalcLayout();
    QApplication::processEvents();
    QRect r;
    ASSERT_TRUE(bar->OnToolHitTest(bar->GetItemRect(0).center(), text, r))
;
    EXPECT_TRUE(text.endsWith(QStringLiteral(" (Ctrl+Shift+F5)"))) << text.toStdString();
}

namespace {
// The keyboard page of a frame in a sheet, with the frame menu's categories.
struct PageWorld
{
    CKVTMenuCommandCategories categories;
    ui::PropertySheet sheet{QStringLiteral("Vlastní nastavení")};
    CKVTKeyboardPage* page;
    PageWorld(ui::MainFrameBase* frame, ui::Menu* menu)
        : categories(*menu, QStringLiteral("Všechny příkazy")),
          page(new CKVTKeyboardPage(frame, false, &categories))
    {
        sheet.AddPage(page);
        sheet.SetActivePage(0);
        sheet.show();
        QApplication::processEvents();
    }
    ~PageWorld() { sheet.hide(); }
    template <class T> T* Item(int id) { return FindChild<T>(page, QStringLiteral("c%1").arg(id)); }
    // Chooses the command of the Projekt category by its row.
    void ChooseCommand(int row)
    {
        Item<QComboBox>(CKVTKeyboardPage::IDC_CATEGORY)->setCurrentIndex(1);
        Item<QListWidget>(CKVTKeyboardPage::IDC_COMMANDS)->setCurrentRow(row);
    }
    CKVTShortcutEdit* Edit() { return Item<CKVTShortcutEdit>(CKVTKeyboardPage::IDC_SHORTCUT); }
    void Type(Qt::Key key, Qt::KeyboardModifiers mods)
    {
        Edit()->setFocus();
        QTest::keyClick(Edit(), key, mods);
    }
    QString AssignedTo() { return Item<QLabel>(CKVTKeyboardPage::IDC_ASSIGNED_TO)->text(); }
    bool AssignEnabled() { return Item<QPushButton>(CKVTKeyboardPage::IDC_ASSIGN)->isEnabled(); }
};
} // namespace

TEST_F(KeyboardTest, ATypedKeyShowsItsCommandOrIsFreeToAssign)
{
    Build();
    PageWorld w(frame.get(), frame->GetDefaultMenu());
    EXPECT_EQ(w.Item<QComboBox>(CKVTKeyboardPage::IDC_KEYS_FOR)->currentText(), LoadResString(16114));
    EXPECT_FALSE(w.Edit()->isEnabled());
    w.ChooseCommand(2); // Krok
    EXPECT_TRUE(w.Edit()->isEnabled());
    EXPECT_EQ(w.Item<QListWidget>(CKVTKeyboardPage::IDC_CURRENT_KEYS)->count(), 0);

    w.Type(Qt::Key_F5, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(w.Edit()->text(), QStringLiteral("Ctrl+Shift+F5"));
    EXPECT_EQ(w.AssignedTo(), QStringLiteral("Sestavit"));
    EXPECT_FALSE(w.AssignEnabled());
    EXPECT_TRUE(w.Item<QLabel>(CKVTKeyboardPage::IDC_ASSIGNED_LABEL)->isVisible());

    w.Type(Qt::Key_F5, Qt::ControlModifier);
    EXPECT_EQ(w.Edit()->text(), QStringLiteral("Ctrl+F5"));
    EXPECT_EQ(w.AssignedTo(), QStringLiteral("[Nepřiřazeno]"));
    EXPECT_TRUE(w.AssignEnabled());
    // On the Czech layout Ctrl with the ě/2 key is Ctrl+2, the key that runs.
    QTest::keyPress(w.Edit(), Qt::Key_Control, Qt::ControlModifier);
    for (QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease}) {
        QKeyEvent e = LayoutKeyEvent(CzechNumberRow(2), Qt::ControlModifier, type);
        QApplication::sendEvent(w.Edit(), &e);
    }
    QTest::keyRelease(w.Edit(), Qt::Key_Control);
    EXPECT_EQ(w.Edit()->text(), QStringLiteral("Ctrl+2"));
    // Nothing ran while keys were typed into the edit.
    EXPECT_TRUE(frame->ran.empty());
}

TEST_F(KeyboardTest, AssignAndRemoveChangeTheLiveTableAndTheAssignmentSurvivesARestart)
{
    Build();
    {
        PageWorld w(frame.get(), frame->GetDefaultMenu());
        w.ChooseCommand(2); // Krok
        w.Type(Qt::Key_F5, Qt::ControlModifier);
        QTest::mouseClick(w.Item<QPushButton>(CKVTKeyboardPage::IDC_ASSIGN), Qt::LeftButton);
        EXPECT_EQ(w.Item<QListWidget>(CKVTKeyboardPage::IDC_CURRENT_KEYS)->item(0)->text(), QStringLiteral("Ctrl+F5"));
        EXPECT_TRUE(w.Edit()->text().isEmpty());
        EXPECT_FALSE(w.AssignEnabled());

        QTest::keyClick(frame.get(), Qt::Key_F5, Qt::ControlModifier);
        EXPECT_EQ(frame->ran, std::vector<uint32_t>{kStep});
        // Typed again, the key names its command and cannot be assigned twice.
        w.Type(Qt::Key_F5, Qt::ControlModifier);
        EXPECT_EQ(w.AssignedTo(), QStringLiteral("Krok"));
        EXPECT_FALSE(w.AssignEnabled());

        w.Item<QListWidget>(CKVTKeyboardPage::IDC_CURRENT_KEYS)->setCurrentRow(0);
        QTest::mouseClick(w.Item<QPushButton>(CKVTKeyboardPage::IDC_REMOVE), Qt::LeftButton);
        EXPECT_EQ(w.Item<QListWidget>(CKVTKeyboardPage::IDC_CURRENT_KEYS)->count(), 0);
        QTest::keyClick(frame.get(), Qt::Key_F5, Qt::ControlModifier);
        EXPECT_EQ(frame->ran, std::vector<uint32_t>{kStep});

        w.Type(Qt::Key_F6, Qt::AltModifier);
        QTest::mouseClick(w.Item<QPushButton>(CKVTKeyboardPage::IDC_ASSIGN), Qt::LeftButton);
    }
    // The workspace's save at the frame's close and its load with the new frame.
    frame->close();
    frame.reset();
    Build();
    QTest::keyClick(frame.get(), Qt::Key_F6, Qt::AltModifier);
    EXPECT_EQ(frame->ran, std::vector<uint32_t>{kStep});
}

TEST_F(KeyboardTest, ResetAnsweredNoChangesNothingAndYesRestoresTheResource)
{
    Build();
    km->UpdateAcceleratorTableFromArray(nullptr, {{ui::FVIRTKEY, 0x77, kStep}}, frame.get());
    const ui::AccelTable* before = frame->Accelerators();
    PageWorld w(frame.get(), frame->GetDefaultMenu());
    {
        PromptScript prompts({ui::IDNO});
        QTest::mouseClick(w.Item<QPushButton>(CKVTKeyboardPage::IDC_RESET_ALL), Qt::LeftButton);
        ASSERT_EQ(prompts.Texts().size(), 1u);
        EXPECT_EQ(prompts.Texts()[0], LoadResString(16115));
    }
    EXPECT_EQ(frame->Accelerators(), before);
    EXPECT_EQ(w.page->WorkingArray().size(), 1u);
    {
        PromptScript prompts({ui::IDYES});
        QTest::mouseClick(w.Item<QPushButton>(CKVTKeyboardPage::IDC_RESET_ALL), Qt::LeftButton);
    }
    EXPECT_EQ(Keys(frame->Accelerators()), QStringLiteral("0d 00 74 00 36 84 01 00 73 00 53 84"));
    EXPECT_EQ(w.page->WorkingArray().size(), 2u);
}

TEST_F(KeyboardTest, WithoutATableThePageIsEmptyAndTheEditOnAFrameCapturesInsteadOfTranslating)
{
    Build(9200); // a frame whose resource has no accelerators
    ASSERT_EQ(frame->Accelerators(), nullptr);
    auto menu = ui::Menu::Load(9450);
    {
        PageWorld w(frame.get(), menu.get());
        w.ChooseCommand(0);
        EXPECT_EQ(w.Item<QComboBox>(CKVTKeyboardPage::IDC_KEYS_FOR)->count(), 0);
        EXPECT_EQ(w.Item<QListWidget>(CKVTKeyboardPage::IDC_CURRENT_KEYS)->count(), 0);
        EXPECT_FALSE(w.Edit()->isEnabled());
    }

    // On the frame with its table: the edit captures the frame's key.
    frame.reset();
    Build();
    auto* edit = new CKVTShortcutEdit(frame->centralWidget());
    auto* plain = new QLineEdit(frame->centralWidget());
    edit->show();
    plain->show();
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_F5, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(edit->text(), QStringLiteral("Ctrl+Shift+F5"));
    EXPECT_TRUE(frame->ran.empty());
    // Backtab is Tab with Shift held, and captured; Tab alone leaves the
    // edit the normal way.
    QTest::keyClick(edit, Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(edit->text(), QStringLiteral("Shift+Tab"));
    QTest::keyClick(edit, Qt::Key_Tab);
    EXPECT_FALSE(edit->IsKeyCaptured());
    // A press gives the edit the focus.
    plain->setFocus();
    QTest::mouseClick(edit, Qt::LeftButton);
    EXPECT_TRUE(edit->hasFocus());
    // A plain edit's key is translated.
    plain->setFocus();
    QTest::keyClick(plain, Qt::Key_F5, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(frame->ran, std::vector<uint32_t>{ID_PROJECT_BUILD});
}

TEST(MenuCommandCategories, PopupsAreCategoriesAndEveryCommandIsOnceInTheAllCommandsCategory)
{
    auto menu = ui::Menu::Load(9450);
    ASSERT_NE(menu, nullptr);
    CKVTMenuCommandCategories c(*menu, QStringLiteral("Všechny příkazy"));
    QComboBox combo;
    c.FillCategoriesComboBox(&combo);
    ASSERT_EQ(combo.count(), 3);
    EXPECT_EQ(combo.itemText(0), QStringLiteral("Soubor"));
    EXPECT_EQ(combo.itemData(1).toString(), QStringLiteral("Projekt"));
    EXPECT_EQ(combo.itemData(2).toString(), QStringLiteral("Všechny příkazy"));
    // The nested popup's commands belong to its top-level category.
    QStringList texts;
    for (const CKVTToolbarButton* b : c.GetCategoryButtons(QStringLiteral("Projekt")))
        texts << b->m_text;
    EXPECT_EQ(texts, (QStringList{"Sestavit", "Přeložit", "Krok", "Sestavit"}));
    EXPECT_TRUE(c.GetCategoryButtons(QStringLiteral("Nic")).empty());
    QListWidget all;
    all.addItem(QStringLiteral("stará"));
    c.FillAllCommandsList(&all);
    ASSERT_EQ(all.count(), 6);
    EXPECT_EQ(all.item(1)->text(), QStringLiteral("Otevřít..."));
    EXPECT_EQ(all.item(1)->data(Qt::UserRole).toUInt(), ID_FILE_OPEN);
    EXPECT_EQ(c.GetCommandName(kStep), QStringLiteral("Krok"));
    EXPECT_EQ(c.GetCommandName(1), QString());
}
