// The mouse manager (views, bindings, the stored form, double-clicks
// through the workspace) and the mouse page.

#include "platform/ui/App.h"
#include "platform/ui/Beep.h"
#include "platform/ui/Document.h"
#include "platform/ui/Menu.h"
#include "res/CommandIds.h"
#include "uilib/KVTFrameWnd.h"
#include "uilib/KVTMenuBar.h"
#include "uilib/KVTMenuCommandCategories.h"
#include "uilib/KVTMouseManager.h"
#include "uilib/KVTMousePage.h"
#include "uilib/KVTRegistryKey.h"
#include "uilib/KVTWorkspace.h"

#include "tests/support/ui/UiTest.h"

#include <QLabel>
#include <QListWidget>
#include <QRadioButton>
#include <QTest>

#include <gtest/gtest.h>

using namespace testsupport::ui;

namespace {

QString MousePath() { return GetRegPath(QStringLiteral("KVTMouseManager")); }

QString Hex(const std::vector<uint8_t>& bytes)
{
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(bytes.data()), int(bytes.size())).toHex(' '));
}

void WriteMouse(const std::vector<uint8_t>& bytes)
{
    CKVTRegistryKey key;
    ASSERT_TRUE(key.CreateKey(MousePath()));
    ASSERT_TRUE(key.Write(QStringLiteral("Mouse"), bytes));
}

} // namespace

TEST(MouseManager, ViewsRegisterOnceAndBindingsAreStoredAsCountAndPairs)
{
    CKVTMouseManager mm;
    EXPECT_EQ(CKVTMouseManager::Instance(), &mm);
    EXPECT_TRUE(mm.AddView(3, QStringLiteral("Zdrojový text"), 101));
    EXPECT_TRUE(mm.AddView(1, QStringLiteral("Hexa"), 0));
    EXPECT_FALSE(mm.AddView(7, QStringLiteral("Hexa"), 5));
    EXPECT_EQ(mm.GetViewIdByName(QStringLiteral("Hexa")), 1);
    EXPECT_EQ(mm.GetViewIdByName(QStringLiteral("Nic")), -1);
    EXPECT_EQ(mm.GetViewIconId(3), 101u);
    EXPECT_EQ(mm.GetViewIconId(1), 0u);
    EXPECT_EQ(mm.GetViewIconId(7), 0u);
    QStringList names{QStringLiteral("old")};
    mm.GetViewNames(names);
    EXPECT_EQ(names, (QStringList{QStringLiteral("Zdrojový text"), QStringLiteral("Hexa")}));

    mm.SetCommand(3, ID_PROJECT_BUILD);
    EXPECT_EQ(mm.GetViewDblClickCommand(3), ID_PROJECT_BUILD);
    ASSERT_TRUE(mm.SaveState(nullptr));
    CKVTRegistryKey key(false, true);
    ASSERT_TRUE(key.Open(MousePath()));
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(key.Read(QStringLiteral("Mouse"), bytes));
    EXPECT_EQ(Hex(bytes), QStringLiteral("01 00 00 00 03 00 00 00 36 84 00 00"));

    // Command 0 removes; a count of 0 loads empty.
    mm.SetCommand(3, 0);
    EXPECT_EQ(mm.Serialize().size(), 4u);
    ASSERT_TRUE(mm.LoadState(nullptr));
    EXPECT_EQ(mm.GetViewDblClickCommand(3), ID_PROJECT_BUILD);
    WriteMouse({0, 0, 0, 0});
    ASSERT_TRUE(mm.LoadState(nullptr));
    EXPECT_EQ(mm.GetViewDblClickCommand(3), 0u);
}

TEST(MouseManager, ACutOrOverlongValueLoadsNothingAndKeepsTheBindings)
{
    CKVTMouseManager mm;
    mm.SetCommand(4, ID_HEX_ADDRESS);
    for (const std::vector<uint8_t>& bad : std::vector<std::vector<uint8_t>>{
             {1, 0, 0},                                  // no whole count
             {2, 0, 0, 0, 3, 0, 0, 0, 0x36, 0x84, 0, 0}, // count passes the pairs
             {0xFF, 0xFF, 0xFF, 0xFF, 3, 0, 0, 0},       // a huge count
             {1, 0, 0, 0, 3, 0, 0, 0, 0x36}}) {          // a cut pair
        WriteMouse(bad);
        EXPECT_FALSE(mm.LoadState(nullptr)) << Hex(bad).toStdString();
        EXPECT_EQ(mm.GetViewDblClickCommand(4), ID_HEX_ADDRESS);
    }
    // No key at all: FALSE, nothing changes.
    CKVTRegistryKey().DeleteKey(MousePath());
    EXPECT_FALSE(mm.LoadState(nullptr));
    EXPECT_EQ(mm.GetViewDblClickCommand(4), ID_HEX_ADDRESS);
}

namespace {
class MouseFrame : public CKVTMDIFrameWnd
{
public:
    std::vector<uint32_t> ran;
    MouseFrame() { MapCommand(ID_PROJECT_BUILD, [this] { ran.push_back(ID_PROJECT_BUILD); }); }
};

class MouseWorld : public ::testing::Test
{
protected:
    std::unique_ptr<ui::Application> app = std::make_unique<ui::Application>();
    CKVTWorkspace workspace;
    std::unique_ptr<MouseFrame> frame;
    void TearDown() override
    {
        frame.reset();
        app.reset();
    }
};
} // namespace

TEST_F(MouseWorld, ADoubleClickRunsTheBoundCommandOnceOrBeeps)
{
    frame = std::make_unique<MouseFrame>();
    frame->LoadFrame(9450, 0);
    frame->show();
    auto* child = new ui::ChildFrame;
    auto* view = new ui::View;
    child->setWidget(view);
    frame->MdiArea()->addSubWindow(child);
    child->show();
    // No mouse manager: FALSE without a beep.
    int beeps = ui::BeepCount();
    EXPECT_FALSE(workspace.OnViewDoubleClick(view, 3));
    EXPECT_EQ(ui::BeepCount(), beeps);

    CKVTMouseManager* mm = workspace.GetMouseManager();
    ASSERT_NE(mm, nullptr);
    mm->AddView(3, QStringLiteral("Zdrojový text"));
    mm->AddView(4, QStringLiteral("Hexa"));
    mm->SetCommand(3, ID_PROJECT_BUILD);
    EXPECT_TRUE(workspace.OnViewDoubleClick(view, 3));
    EXPECT_EQ(frame->ran, std::vector<uint32_t>{ID_PROJECT_BUILD});
    EXPECT_EQ(ui::BeepCount(), beeps);
    EXPECT_FALSE(workspace.OnViewDoubleClick(view, 4));
    EXPECT_EQ(frame->ran.size(), 1u);
    EXPECT_EQ(ui::BeepCount(), beeps + 1);

    // The workspace stores and restores the bindings.
    workspace.SaveState(nullptr, nullptr);
    mm->SetCommand(3, 0);
    workspace.LoadState(nullptr, nullptr);
    EXPECT_EQ(mm->GetViewDblClickCommand(3), ID_PROJECT_BUILD);
}

namespace {
struct MousePageWorld
{
    std::unique_ptr<ui::Menu> menu = ui::Menu::Load(9450);
    CKVTMenuCommandCategories categories{*menu, QStringLiteral("Všechny příkazy")};
    ui::PropertySheet sheet{QStringLiteral("Vlastní nastavení")};
    CKVTMousePage* page = new CKVTMousePage(&categories);
    MousePageWorld()
    {
        sheet.AddPage(page);
        sheet.SetActivePage(0);
        sheet.show();
        QApplication::processEvents();
    }
    template <class T> T* Item(int id) { return FindChild<T>(page, QStringLiteral("c%1").arg(id)); }
};
} // namespace

TEST_F(MouseWorld, ThePageShowsSortedViewsAndBindsOnlyAChosenCommand)
{
    CKVTMouseManager* mm = workspace.GetMouseManager();
    mm->AddView(3, QStringLiteral("Zdrojový text"));
    mm->AddView(4, QStringLiteral("Hexa"));
    mm->AddView(5, QStringLiteral("hexa malá"));
    mm->SetCommand(4, ID_NEXT_ERROR);
    MousePageWorld w;
    auto* views = w.Item<QListWidget>(CKVTMousePage::IDC_VIEWS);
    ASSERT_EQ(views->count(), 3);
    // Plain UTF-16 order: capitals before small letters.
    EXPECT_EQ(views->item(0)->text(), QStringLiteral("Hexa"));
    EXPECT_EQ(views->item(1)->text(), QStringLiteral("Zdrojový text"));
    EXPECT_EQ(views->item(2)->text(), QStringLiteral("hexa malá"));
    // The first view's binding shows.
    auto* commands = w.Item<QListWidget>(CKVTMousePage::IDC_COMMANDS);
    EXPECT_EQ(w.page->CurrentViewId(), 4);
    EXPECT_TRUE(w.Item<QRadioButton>(CKVTMousePage::IDC_COMMAND)->isChecked());
    EXPECT_TRUE(commands->isEnabled());
    ASSERT_NE(commands->currentItem(), nullptr);
    EXPECT_EQ(commands->currentItem()->text(), QStringLiteral("Přeložit"));

    // Another view without a binding: the list is disabled.
    views->setCurrentRow(1);
    EXPECT_EQ(w.page->CurrentViewId(), 3);
    EXPECT_TRUE(w.Item<QRadioButton>(CKVTMousePage::IDC_NO_ACTION)->isChecked());
    EXPECT_FALSE(commands->isEnabled());
    EXPECT_EQ(commands->currentItem(), nullptr);

    // Radio 16512 and leaving without a command: still no binding.
    QTest::mouseClick(w.Item<QRadioButton>(CKVTMousePage::IDC_COMMAND), Qt::LeftButton);
    EXPECT_TRUE(commands->isEnabled());
    views->setCurrentRow(0);
    EXPECT_EQ(mm->GetViewDblClickCommand(3), 0u);
    // Radio 16512 on the bound view removes its binding until a command is chosen.
    QTest::mouseClick(w.Item<QRadioButton>(CKVTMousePage::IDC_COMMAND), Qt::LeftButton);
    EXPECT_EQ(mm->GetViewDblClickCommand(4), 0u);
    commands->setCurrentRow(0);
    EXPECT_EQ(mm->GetViewDblClickCommand(4), commands->item(0)->data(Qt::UserRole).toUInt());
    // Radio 16511 removes it again.
    QTest::mouseClick(w.Item<QRadioButton>(CKVTMousePage::IDC_NO_ACTION), Qt::LeftButton);
    EXPECT_EQ(mm->GetViewDblClickCommand(4), 0u);
    EXPECT_FALSE(commands->isEnabled());
}

TEST_F(MouseWorld, WithNoRegisteredViewNothingIsSelectedAndTheControlsStayDisabled)
{
    workspace.GetMouseManager();
    MousePageWorld w;
    EXPECT_EQ(w.Item<QListWidget>(CKVTMousePage::IDC_VIEWS)->count(), 0);
    EXPECT_EQ(w.page->CurrentViewId(), -1);
    EXPECT_FALSE(w.Item<QRadioButton>(CKVTMousePage::IDC_NO_ACTION)->isEnabled());
    EXPECT_FALSE(w.Item<QRadioButton>(CKVTMousePage::IDC_COMMAND)->isEnabled());
    EXPECT_FALSE(w.Item<QListWidget>(CKVTMousePage::IDC_COMMANDS)->isEnabled());
    EXPECT_FALSE(w.Item<QLabel>(CKVTMousePage::IDC_DESCRIPTION)->isEnabled());
    EXPECT_GT(w.Item<QListWidget>(CKVTMousePage::IDC_COMMANDS)->count(), 0);
}
