// The context-menu manager: registration, showing at the keyboard's point,
// the customised lists in the cache and the registry, broken menus.

#include "MenuWorld.h"

#include "uilib/KVTContextMenuManager.h"
#include "uilib/KVTRegistryKey.h"
#include "uilib/KVTWorkspace.h"

using namespace menutest;

TEST_F(MenuWorld, ContextMenusAreRegisteredShownAndCustomised)
{
    CKVTWorkspace workspace;
    EXPECT_EQ(CKVTWorkspace::Instance(), &workspace);
    EXPECT_FALSE(workspace.ShowPopupMenu(9203, QPoint(-1, -1), pane)); // no manager yet
    CKVTContextMenuManager* m = workspace.GetContextMenuManager();
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(CKVTContextMenuManager::Instance(), m);
    EXPECT_TRUE(m->AddMenu(QStringLiteral("Kontext"), 9203));
    EXPECT_FALSE(m->AddMenu(QStringLiteral("Znovu"), 9203)); // the first stays
    EXPECT_FALSE(m->AddMenu(QStringLiteral("Chybí"), 9999));
    EXPECT_TRUE(m->AddMenu(QStringLiteral("Hlavní"), 9200));
    // One name twice: the name leads to the second menu, both ids stay.
    EXPECT_TRUE(m->AddMenu(QStringLiteral("Kontext"), 0x10000 | 9203));
    QStringList names;
    m->GetMenuNames(names);
    EXPECT_EQ(names, (QStringList{"Kontext", "Hlavní"}));
    EXPECT_EQ(m->GetMenuByName(QStringLiteral("Kontext")), m->GetMenuById(0x10000 | 9203));
    EXPECT_NE(m->GetMenuById(9203), nullptr);
    EXPECT_FALSE(workspace.ShowPopupMenu(4711, QPoint(10, 10), pane));

    // The keyboard's point: the owner's top-left + (5, 5).
    ASSERT_TRUE(workspace.ShowPopupMenu(9203, QPoint(-1, -1), pane));
    CKVTPopupMenu* popup = CKVTPopupMenu::ActivePopup();
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(popup->pos(), pane->mapToGlobal(QPoint(5, 5)));
    EXPECT_EQ(popup->GetOwner(), frame);
    EXPECT_EQ(Texts(popup->GetMenuBar()), (QStringList{"&Kopírovat", "V&ložit"}));
    CloseAllPopups();

    // Customised in customisation mode: the list goes to the cache.
    CKVTToolbarShared::SetCustomizeMode(true);
    ASSERT_TRUE(m->ShowPopupMenu(9203, 10, 10, pane));
    popup = CKVTPopupMenu::ActivePopup();
    popup->GetMenuBar()->RemoveButton(0);
    popup->CloseLevel();
    QApplication::processEvents();
    CKVTToolbarShared::SetCustomizeMode(false);
    ui::Menu* sub = m->GetMenuById(9203)->SubMenu(0);
    EXPECT_TRUE(CKVTMenuButtonCache::Instance().Contains(sub->Serial()));

    // Shown again: the customised list, with a fresh update pass.
    ASSERT_TRUE(m->ShowPopupMenu(9203, 10, 10, pane));
    popup = CKVTPopupMenu::ActivePopup();
    EXPECT_EQ(Texts(popup->GetMenuBar()), QStringList{"V&ložit"});
    EXPECT_TRUE(popup->GetMenuBar()->Items().Style(0) & TBBS_DISABLED); // nobody handles paste
    CloseAllPopups();

    // Only the customised menu gets a key.
    ASSERT_TRUE(m->SaveState());
    const QString path = CKVTContextMenuManager::StatePath(QString());
    EXPECT_TRUE(CKVTRegistryKey(false, true).Open(path + QStringLiteral("KVTToolBar-023f3")));
    EXPECT_FALSE(CKVTRegistryKey(false, true).Open(path + QStringLiteral("KVTToolBar-023f0")));

    // Loaded by a new manager into the cache.
    CKVTMenuButtonCache::Instance().RemoveAll();
    CKVTContextMenuManager second;
    ASSERT_TRUE(second.AddMenu(QStringLiteral("Kontext"), 9203));
    ASSERT_TRUE(second.AddMenu(QStringLiteral("Hlavní"), 9200));
    EXPECT_TRUE(second.LoadState());
    EXPECT_TRUE(
        CKVTMenuButtonCache::Instance().Contains(second.GetMenuById(9203)->SubMenu(0)->Serial()));
    EXPECT_FALSE(
        CKVTMenuButtonCache::Instance().Contains(second.GetMenuById(9200)->SubMenu(0)->Serial()));
}

TEST_F(MenuWorld, ABrokenMenuOrStoredListDoesNotStopTheOthers)
{
    CKVTContextMenuManager m;
    ASSERT_TRUE(m.AddMenu(QStringLiteral("Bez podnabídky"), 9202));
    ASSERT_TRUE(m.AddMenu(QStringLiteral("Kontext"), 9203));
    EXPECT_FALSE(m.ShowPopupMenu(9202, 10, 10, pane)); // no submenu to show
    // A stored list of the second menu, and a corrupt one of another id.
    {
        CKVTPopupMenuBar tmp;
        tmp.CreateFromMenu(m.GetMenuById(9203)->SubMenu(0));
        tmp.RemoveButton(1);
        ASSERT_TRUE(tmp.SaveState(CKVTContextMenuManager::StatePath(QString()), 0, 9203));
    }
    EXPECT_FALSE(m.LoadState()); // 9202 fails, 9203 still loads
    ui::Menu* sub = m.GetMenuById(9203)->SubMenu(0);
    ASSERT_TRUE(CKVTMenuButtonCache::Instance().Contains(sub->Serial()));
    ASSERT_TRUE(m.ShowPopupMenu(9203, 10, 10, pane));
    EXPECT_EQ(Texts(CKVTPopupMenu::ActivePopup()->GetMenuBar()), QStringList{"&Kopírovat"});
    CloseAllPopups();

    // A corrupt stored list is ignored: the menu shows as its resource gives it.
    CKVTMenuButtonCache::Instance().RemoveAll();
    {
        CKVTRegistryKey reg;
        ASSERT_TRUE(reg.CreateKey(CKVTContextMenuManager::StatePath(QString()) +
                                  QStringLiteral("KVTToolBar-023f3")));
        ASSERT_TRUE(reg.Write(QStringLiteral("Buttons"), std::vector<uint8_t>{0x02, 0x00, 0x07}));
    }
    m.LoadState();
    EXPECT_FALSE(CKVTMenuButtonCache::Instance().Contains(sub->Serial()));
    ASSERT_TRUE(m.ShowPopupMenu(9203, 10, 10, pane));
    EXPECT_EQ(Texts(CKVTPopupMenu::ActivePopup()->GetMenuBar()),
              (QStringList{"&Kopírovat", "V&ložit"}));
}
