// Popup menus on real widgets: opening from the menu bar, the keyboard, the
// mouse rules while a popup is open, expansion, accelerators, customisation
// mode and the recent-file placeholder, shortcut texts, scrolling.

#include "MenuWorld.h"

#include "uilib/KVTContextMenuManager.h"
#include "uilib/KVTDrawingData.h"
#include "res/CommandIds.h"
#include "uilib/KVTWorkspace.h"

#include <QTest>

using namespace menutest;

TEST_F(MenuWorld, KeysWalkThePopupAndTheCommandReachesTheFocusedPane)
{
    CKVTPopupMenu* popup = OpenItem(0);
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(popup->GetParentButton(), bar->GetButton(0));
    EXPECT_TRUE(popup->windowFlags() & Qt::Popup);
    CKVTPopupMenuBar* pb = popup->GetMenuBar();
    EXPECT_EQ(Texts(pb), (QStringList{"&Nový", "&Otevřít...\tCtrl+O", "-", "Minulé &soubory",
                                      "&Zavřít", "Z&pět\tCtrl+Z"}));
    // No handler: the first item is disabled; the pane handles the second.
    EXPECT_TRUE(pb->Items().Style(0) & TBBS_DISABLED);
    EXPECT_FALSE(pb->Items().Style(1) & TBBS_DISABLED);

    // Enter on a disabled item does nothing.
    PressKey(popup, Qt::Key_Down);
    EXPECT_EQ(pb->GetHotButton(), 0);
    PressKey(popup, Qt::Key_Return);
    EXPECT_EQ(CKVTPopupMenu::ActivePopup(), popup);
    // Up from the first wraps to the last; Down wraps back, skipping separators.
    PressKey(popup, Qt::Key_Up);
    EXPECT_EQ(pb->GetHotButton(), 5);
    PressKey(popup, Qt::Key_Down);
    PressKey(popup, Qt::Key_Down);
    EXPECT_EQ(pb->GetHotButton(), 1);
    PressKey(popup, Qt::Key_Return);
    EXPECT_EQ(CKVTPopupMenu::ActivePopup(), nullptr);
    EXPECT_TRUE(pane->ran.empty()); // posted: it runs after the chain closed
    WaitFor([this] { return !pane->ran.empty(); }, 2000, "the command runs");
    EXPECT_EQ(pane->ran, std::vector<uint32_t>{ID_FILE_OPEN});
    EXPECT_EQ(QApplication::focusWidget(), pane);
}

TEST_F(MenuWorld, AClickOutsideClosesTheChainAndDoesNothingElse)
{
    auto* button = new QWidget(pane);
    button->setGeometry(300, 100, 50, 30);
    button->show();
    int presses = 0;
    struct Counter : QObject
    {
        int* n;
        explicit Counter(int* c) : n(c) {}
        bool eventFilter(QObject*, QEvent* e) override
        {
            if (e->type() == QEvent::MouseButtonPress)
                ++*n;
            return false;
        }
    } counter(&presses);
    button->installEventFilter(&counter);
    ASSERT_NE(OpenItem(0), nullptr);
    SysClick(button, QPoint(10, 10));
    EXPECT_EQ(CKVTPopupMenu::ActivePopup(), nullptr);
    EXPECT_EQ(presses, 0);
    EXPECT_EQ(bar->Items().droppedDown, -1);
}

TEST_F(MenuWorld, MovingOntoAnotherMenuBarItemSwitchesMenus)
{
    CKVTPopupMenu* first = OpenItem(0);
    ASSERT_NE(first, nullptr);
    SysMove(bar, Item(1));
    WaitFor(
        [this] {
            return CKVTPopupMenu::ActivePopup() &&
                   CKVTPopupMenu::ActivePopup()->GetParentButton() == bar->GetButton(1);
        },
        2000, "the second menu opens");
    EXPECT_EQ(bar->Items().droppedDown, 1);
    // Clicking the open item again closes its popup only.
    SysClick(bar, Item(1));
    EXPECT_EQ(CKVTPopupMenu::ActivePopup(), nullptr);
}

TEST_F(MenuWorld, SubmenusByKeyboardAndEscapeClosesOneLevel)
{
    CKVTPopupMenu* popup = OpenItem(0);
    CKVTPopupMenuBar* pb = popup->GetMenuBar();
    pb->SetHotButton(3);
    PressKey(popup, Qt::Key_Right);
    CKVTPopupMenu* sub = CKVTPopupMenu::ActivePopup();
    ASSERT_NE(sub, popup);
    EXPECT_EQ(sub->GetParentPopup(), popup);
    EXPECT_EQ(sub->GetMenuBar()->GetHotButton(), 0);
    // A press on the parent item keeps the submenu.
    SysClick(pb, pb->GetItemRect(3).center());
    EXPECT_EQ(CKVTPopupMenu::ActivePopup(), sub);
    PressKey(sub, Qt::Key_Escape);
    EXPECT_EQ(CKVTPopupMenu::ActivePopup(), popup);
    // Left in a top-level popup opens the previous menu (wrapping to the last).
    PressKey(popup, Qt::Key_Left);
    CKVTPopupMenu* prev = CKVTPopupMenu::ActivePopup();
    ASSERT_NE(prev, nullptr);
    EXPECT_EQ(prev->GetParentButton(), bar->GetButton(1));
    EXPECT_EQ(prev->GetMenuBar()->GetHotButton(), 0);
    PressKey(prev, Qt::Key_Right);
    EXPECT_EQ(CKVTPopupMenu::ActivePopup()->GetParentButton(), bar->GetButton(0));
    PressKey(CKVTPopupMenu::ActivePopup(), Qt::Key_Escape);
    EXPECT_EQ(CKVTPopupMenu::ActivePopup(), nullptr);
}

TEST_F(MenuWorld, TheKeysOfASubmenuTheMouseOpenedActWhereTheHighlightIs)
{
    CKVTPopupMenu* popup = OpenItem(0);
    CKVTPopupMenuBar* pb = popup->GetMenuBar();
    SysMove(pb, pb->GetItemRect(3).center());
    ASSERT_TRUE(WaitFor([popup] { return CKVTPopupMenu::ActivePopup() != popup; }, 2000, "the submenu opens"));
    EXPECT_EQ(CKVTPopupMenu::ActivePopup()->GetMenuBar()->GetHotButton(), -1);
    // The highlight is on the submenu's item below: its popup's "&Zavřít".
    PostKey(Qt::Key_Z);
    WaitFor([this] { return !pane->ran.empty(); }, 2000, "the command of the highlighted popup");
    EXPECT_EQ(pane->ran, std::vector<uint32_t>{ID_FILE_CLOSE});
    EXPECT_EQ(CKVTPopupMenu::ActivePopup(), nullptr);
}

TEST_F(MenuWorld, APressInAParentPopupClosesTheSubmenuAndGoesToThatPopup)
{
    CKVTPopupMenu* popup = OpenItem(0);
    CKVTPopupMenuBar* pb = popup->GetMenuBar();
    pb->SetHotButton(3);
    PressKey(popup, Qt::Key_Right);
    CKVTPopupMenu* sub = CKVTPopupMenu::ActivePopup();
    ASSERT_NE(sub, popup);
    // Press and release on "&Zavřít" of the parent popup.
    SysClick(pb, pb->GetItemRect(4).center());
    WaitFor([this] { return !pane->ran.empty(); }, 2000, "the parent popup's command");
    EXPECT_EQ(pane->ran, std::vector<uint32_t>{ID_FILE_CLOSE});
    EXPECT_EQ(CKVTPopupMenu::ActivePopup(), nullptr);
}

TEST_F(MenuWorld, DropDownButtonsOfAToolbarWalkLikeTheMenuBar)
{
    auto menu = ui::Menu::Load(9200);
    CKVTToolBar tb(frame);
    tb.CreateEx(frame, 0x800, 0x50402834, QMargins(1, 1, 1, 1), 0xE810);
    tb.InsertButton(
        std::make_unique<CKVTToolbarMenuButton>(0, menu->SubMenu(0), -1, QStringLiteral("A")));
    tb.InsertSeparator();
    tb.InsertButton(
        std::make_unique<CKVTToolbarMenuButton>(0, menu->SubMenu(1), -1, QStringLiteral("B")));
    for (int i : {0, 2})
        tb.GetButton(i)->m_showText = true;
    tb.setGeometry(0, 300, 300, 30);
    tb.show();
    tb.AdjustLayout();
    EXPECT_FALSE(tb.DropDownNextMenu()); // nothing open
    Click(&tb, tb.GetItemRect(0).center());
    ASSERT_EQ(tb.Items().droppedDown, 0);
    EXPECT_TRUE(tb.DropDownNextMenu());
    EXPECT_EQ(tb.Items().droppedDown, 2);
    ASSERT_NE(CKVTPopupMenu::ActivePopup(), nullptr);
    EXPECT_EQ(CKVTPopupMenu::ActivePopup()->GetMenuBar()->GetHotButton(), 0);
    EXPECT_TRUE(tb.DropDownNextMenu()); // wraps to the first
    EXPECT_EQ(tb.Items().droppedDown, 0);
    EXPECT_TRUE(tb.DropDownPrevMenu());
    EXPECT_EQ(tb.Items().droppedDown, 2);
    CloseAllPopups();
}

TEST_F(MenuWorld, AnAcceleratorClosesThePopupAndRunsNothing)
{
    frame->SetAccelerators(std::make_unique<ui::AccelTable>(
        std::vector<ui::Accel>{{ui::FVIRTKEY | ui::FCONTROL, 'O', ID_FILE_OPEN}}));
    CKVTPopupMenu* popup = OpenItem(0);
    PressKey(popup, Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(CKVTPopupMenu::ActivePopup(), nullptr);
    QApplication::processEvents();
    EXPECT_TRUE(pane->ran.empty());
    // A mnemonic chooses its item.
    popup = OpenItem(0);
    PressKey(popup, Qt::Key_Z, Qt::NoModifier);
    WaitFor([this] { return !pane->ran.empty(); }, 2000, "the mnemonic's command");
    EXPECT_EQ(pane->ran, std::vector<uint32_t>{ID_FILE_CLOSE});
}

TEST_F(MenuWorld, ShortenedPopupsExpandByCtrlDownAndTheShowAllItem)
{
    CKVTToolbarShared::SetBasicCommands({ID_PROJECT_BUILD});
    for (int i = 0; i < 20; ++i)
        CKVTCommandUsage::Instance().AddCommand(ID_FILE_OPEN);
    CKVTPopupMenu* popup = OpenItem(1);
    CKVTPopupMenuBar* pb = popup->GetMenuBar();
    ASSERT_EQ(pb->Items().Count(), 2); // Sestavit and the show-all item
    EXPECT_NE(dynamic_cast<CKVTShowAllButton*>(pb->GetButton(1)), nullptr);
    EXPECT_FALSE(pb->AllItemsShown());
    PressKey(popup, Qt::Key_Down, Qt::ControlModifier);
    EXPECT_EQ(Texts(pb), (QStringList{"&Sestavit\tF7", "Za&stavit"}));
    EXPECT_TRUE(CKVTPopupMenu::IsShowAll());
    CloseAllPopups();
    bar->SetHotButton(-1); // leaving the menu bar clears the show-all flag
    EXPECT_FALSE(CKVTPopupMenu::IsShowAll());

    // The show-all item: a click expands at once.
    popup = OpenItem(1);
    pb = popup->GetMenuBar();
    ASSERT_EQ(pb->Items().Count(), 2);
    Click(pb, pb->GetItemRect(1).center());
    WaitFor([pb] { return pb->Items().Count() == 2 && pb->AllItemsShown(); }, 2000,
            "the popup expands");
    CloseAllPopups();
    bar->SetHotButton(-1);

    // Resting on it expands after the delay only with "ShowAllMenusAfterDelay".
    CKVTToolbarShared::Options().showAllMenusAfterDelay = false;
    popup = OpenItem(1);
    pb = popup->GetMenuBar();
    pb->SetHotButton(1);
    PumpEvents(50);
    EXPECT_FALSE(pb->AllItemsShown());
    CloseAllPopups();
    bar->SetHotButton(-1);
    CKVTToolbarShared::Options().showAllMenusAfterDelay = true;
    popup = OpenItem(1);
    pb = popup->GetMenuBar();
    pb->SetHotButton(1);
    WaitFor([pb] { return pb->AllItemsShown(); }, 2000, "the rest expands");
}

TEST_F(MenuWorld, InCustomisationModeAPopupIsAToolWindowAndRunsNothing)
{
    CKVTToolbarShared::SetCustomizeMode(true);
    CKVTPopupMenu* popup = OpenItem(0);
    ASSERT_NE(popup, nullptr);
    EXPECT_TRUE((popup->windowFlags() & Qt::WindowType_Mask) == Qt::Tool);
    CKVTPopupMenuBar* pb = popup->GetMenuBar();
    Click(pb, pb->GetItemRect(1).center());
    PumpEvents(20);
    EXPECT_TRUE(pane->ran.empty());
    popup->CloseLevel();
    QApplication::processEvents();
}

TEST_F(MenuWorld, TheRecentFilePlaceholderStaysOneItemInCustomisationMode)
{
    // The application's handler expands the placeholder into the list.
    app->MapUpdate(ID_FILE_MRU_FIRST, [](ui::CmdUI& cmd) {
        ui::Menu* m = cmd.GetMenu();
        const int at = cmd.Index();
        m->RemoveItem(at);
        for (int i = 0; i < 3; ++i)
            m->InsertItem(at + i, ID_FILE_MRU_FIRST + uint32_t(i),
                          QStringLiteral("&%1 soubor%1.txt").arg(i + 1));
        cmd.SetIndex(at + 2);
    });
    CKVTPopupMenu* popup = OpenItem(0);
    CKVTPopupMenuBar* pb = popup->GetMenuBar();
    pb->SetHotButton(3);
    PressKey(popup, Qt::Key_Right);
    CKVTPopupMenu* sub = CKVTPopupMenu::ActivePopup();
    ASSERT_NE(sub, popup);
    EXPECT_EQ(Texts(sub->GetMenuBar()),
              (QStringList{"&1 soubor1.txt", "&2 soubor2.txt", "&3 soubor3.txt"}));
    CloseAllPopups();

    CKVTToolbarShared::SetCustomizeMode(true);
    popup = OpenItem(0);
    pb = popup->GetMenuBar();
    auto* recent = static_cast<CKVTToolbarMenuButton*>(pb->GetButton(3));
    ASSERT_TRUE(recent->OpenPopupMenu());
    sub = recent->GetPopupMenu();
    ASSERT_NE(sub, nullptr);
    EXPECT_EQ(Texts(sub->GetMenuBar()), QStringList{"Minulý soubor"});
    sub->CloseLevel();
    popup->CloseLevel();
    QApplication::processEvents();
    // Written back into the menu bar's button: the placeholder only.
    auto* file = static_cast<CKVTToolbarMenuButton*>(bar->GetButton(0));
    ASSERT_EQ(file->SubItems().size(), 6u);
    ASSERT_EQ(file->SubItems()[3]->SubItems().size(), 1u);
    EXPECT_EQ(file->SubItems()[3]->SubItems()[0]->m_text, QStringLiteral("Minulý soubor"));
}

namespace {
// A keyboard manager that knows the frame key of ID_FILE_CLOSE.
class Keys : public CKVTKeyboardManager
{
public:
    bool FindDefaultAccelerator(uint32_t command, QString& text, QWidget*) override
    {
        if (command != ID_FILE_CLOSE)
            return false;
        text = QStringLiteral("Ctrl+W");
        return true;
    }
};
} // namespace

TEST_F(MenuWorld, ShortcutTextsComeFromTheKeyboardManagerOrStayAsTheMenuGivesThem)
{
    Keys keys;
    CKVTPopupMenu* popup = OpenItem(0);
    QStringList texts = Texts(popup->GetMenuBar());
    EXPECT_EQ(texts[4], QStringLiteral("&Zavřít\tCtrl+W"));
    EXPECT_EQ(texts[5], QStringLiteral("Z&pět\tCtrl+Z"));
}

TEST_F(MenuWorld, ContextMenusScrollWhenTallAndEmptyMenusDoNotOpen)
{
    CKVTContextMenuManager manager;
    ui::Menu tall;
    for (int i = 0; i < 200; ++i)
        tall.AppendItem(40000 + uint32_t(i), QStringLiteral("Položka %1").arg(i));
    ASSERT_TRUE(manager.TrackPopupMenu(&tall, 10, 10, pane));
    CKVTPopupMenu* popup = CKVTPopupMenu::ActivePopup();
    ASSERT_NE(popup, nullptr);
    EXPECT_FALSE(popup->GetDestroyMenu());
    EXPECT_FALSE(popup->DownScrollArea().isEmpty());
    CKVTPopupMenuBar* pb = popup->GetMenuBar();
    EXPECT_TRUE(pb->CanScrollDown());
    EXPECT_FALSE(pb->CanScrollUp());
    // End brings the last item into view.
    PressKey(popup, Qt::Key_End);
    EXPECT_EQ(pb->GetHotButton(), 199);
    EXPECT_TRUE(pb->CanScrollUp());
    EXPECT_FALSE(pb->GetButton(199)->m_hidden);
    CloseAllPopups();

    ui::Menu empty;
    EXPECT_FALSE(manager.TrackPopupMenu(&empty, 10, 10, pane));
    QApplication::processEvents();
    EXPECT_EQ(CKVTPopupMenu::ActivePopup(), nullptr);
}

// The shadow is drawn in the shadow colour, never from a copy of the
// screen (which, as menus switch, still held the popup just closed): the
// window covers the frame and the two shadow bands only, and what lies
// below shows in the corners beside them.
TEST_F(MenuWorld, AShadowedPopupCoversItsFrameAndShadowOnly)
{
    CKVTToolbarShared::Options().menuShadows = true;
    CKVTPopupMenu* first = OpenItem(1);
    ASSERT_NE(first, nullptr);
    PressKey(first, Qt::Key_Left);
    CKVTPopupMenu* popup = CKVTPopupMenu::ActivePopup();
    ASSERT_NE(popup, nullptr);
    ASSERT_NE(popup, first);
    const int d = CKVTPopupMenu::ShadowDepth;
    const QSize frame = popup->size() - QSize(d, d);
    EXPECT_EQ(popup->mask(), CKVTPopupMenu::ShadowedRegion(frame));
    EXPECT_FALSE(popup->mask().contains(QPoint(frame.width() + 1, 1)));
    EXPECT_FALSE(popup->mask().contains(QPoint(1, frame.height() + 1)));
    const QImage shot = popup->grab().toImage();
    const QRgb shadow = CKVTDrawingData::Instance().Shadow().rgb();
    EXPECT_EQ(shot.pixel(frame.width() + 1, frame.height() / 2), shadow);
    EXPECT_EQ(shot.pixel(frame.width() / 2, frame.height() + 1), shadow);
    PressKey(popup, Qt::Key_Escape);
}
