// The menu bar over real MDI windows: the templates' menus, customised
// lists kept per menu and stored, the maximised child's buttons, keyboard
// mode and mnemonics, the expansion of shortened popups.

#include "MenuWorld.h"

#include "platform/ui/Document.h"
#include "res/CommandIds.h"
#include "uilib/KVTRegistryKey.h"

#include <QMdiArea>
#include <QMdiSubWindow>

using namespace menutest;

namespace {

class MdiMenuBar : public MenuWorld
{
protected:
    void SetUp() override
    {
        MenuWorld::SetUp();
        for (uint32_t id : {9201u, 9203u})
            app->AddDocTemplate(std::make_unique<ui::DocTemplate>(
                id, QStringLiteral("\nDok\nDok\nDok (*.dok)\n.dok\n\n"),
                [] { return new ui::Document; }, [] { return new ui::ChildFrame; },
                [] { return new ui::View; }));
        a = app->Documents().Template(0);
        b = app->Documents().Template(1);
    }
    ui::ChildFrame* Open(ui::DocTemplate* t)
    {
        ui::Document* doc = t->OpenDocumentFile(QString());
        EXPECT_NE(doc, nullptr);
        ui::ChildFrame* child = frame->MDIGetActive();
        if (!child)
            child = qobject_cast<ui::ChildFrame*>(frame->MdiArea()->subWindowList().back());
        return child;
    }
    QStringList Items() const
    {
        QStringList out;
        for (int i = bar->FirstItem(); i < bar->ItemEnd(); ++i)
            out << bar->GetButton(i)->m_text;
        return out;
    }
    ui::DocTemplate* a = nullptr;
    ui::DocTemplate* b = nullptr;
};

} // namespace

TEST_F(MdiMenuBar, ChildrenOfEachTypeSwapTheButtonsAndKeepTheirCustomisation)
{
    EXPECT_EQ(Items(), (QStringList{"&Soubor", "&Projekt"}));
    EXPECT_EQ(bar->windowTitle(), QStringLiteral("Menu"));
    ui::ChildFrame* ca = Open(a);
    EXPECT_EQ(frame->GetActiveMenu(), a->GetSharedMenu());
    EXPECT_EQ(Items(), (QStringList{"&Soubor", "&Editace", "&Okno"}));
    ui::ChildFrame* cb = Open(b);
    EXPECT_EQ(Items(), QStringList{"Kontext"});

    // A change to type A's buttons comes back when A is active again.
    frame->MdiArea()->setActiveSubWindow(ca);
    EXPECT_EQ(Items(), (QStringList{"&Soubor", "&Editace", "&Okno"}));
    bar->RemoveButton(1);
    frame->MdiArea()->setActiveSubWindow(cb);
    EXPECT_EQ(Items(), QStringList{"Kontext"});
    frame->MdiArea()->setActiveSubWindow(ca);
    EXPECT_EQ(Items(), (QStringList{"&Soubor", "&Okno"}));

    // Stored under the bar's id and the template's resource id.
    ASSERT_TRUE(bar->SaveState(QString()));
    const QString path = GetRegPath(QStringLiteral("KVTMenuBar"));
    EXPECT_TRUE(CKVTRegistryKey(false, true).Open(path + QStringLiteral("KVTToolBar-593980")));
    EXPECT_TRUE(CKVTRegistryKey(false, true).Open(path + QStringLiteral("KVTToolBar-5939823f1")));
    EXPECT_EQ(Items(), (QStringList{"&Soubor", "&Okno"}));

    // A new bar loads it.
    CKVTMenuButtonCache::Instance().RemoveAll();
    CKVTMenuBar bar2(frame);
    bar2.Create(frame, 0x50402808, 0xE806);
    bar2.CreateFromMenu(frame->GetDefaultMenu(), true);
    EXPECT_TRUE(bar2.LoadState(QString()));
    bar2.CreateFromMenu(a->GetSharedMenu(), false);
    EXPECT_EQ(Texts(&bar2), (QStringList{"&Soubor", "&Okno"}));
    // The last child closes: the default menu.
    ca->close();
    cb->close();
    QApplication::processEvents();
    EXPECT_EQ(frame->GetActiveMenu(), frame->GetDefaultMenu());
    EXPECT_EQ(Items(), (QStringList{"&Soubor", "&Projekt"}));
}

TEST_F(MdiMenuBar, ACorruptStoredListIsIgnoredAndResetRestoresTheResource)
{
    {
        CKVTRegistryKey reg;
        ASSERT_TRUE(reg.CreateKey(GetRegPath(QStringLiteral("KVTMenuBar")) +
                                  QStringLiteral("KVTToolBar-593980")));
        ASSERT_TRUE(reg.Write(QStringLiteral("Buttons"),
                              std::vector<uint8_t>{0x05, 0x00, 0xFF, 0xFF, 0x01}));
    }
    EXPECT_FALSE(bar->LoadState(QString()));
    EXPECT_EQ(Items(), (QStringList{"&Soubor", "&Projekt"}));
    EXPECT_FALSE(bar->CanBeClosed());
    EXPECT_TRUE(bar->CanBeRestored());
    EXPECT_FALSE(bar->AllowChangeTextLabels());
    bar->RemoveButton(0);
    EXPECT_EQ(Items(), QStringList{"&Projekt"});
    ASSERT_TRUE(bar->RestoreOriginalState());
    EXPECT_EQ(Items(), (QStringList{"&Soubor", "&Projekt"}));
}

TEST_F(MdiMenuBar, AMaximisedChildShowsItsButtonsInTheBar)
{
    ui::ChildFrame* ca = Open(a);
    ca->showMaximized();
    bar->SetMaximizeMode(true, ca);
    ASSERT_EQ(bar->Items().Count(), 1 + 3 + 3);
    EXPECT_NE(dynamic_cast<CKVTToolbarSystemMenuButton*>(bar->GetButton(0)), nullptr);
    EXPECT_EQ(bar->CaptionButtonCount(), 3);
    EXPECT_EQ(bar->Items().ItemID(4), ui::SC_MINIMIZE);
    EXPECT_EQ(bar->Items().ItemID(5), ui::SC_RESTORE);
    EXPECT_EQ(bar->Items().ItemID(6), ui::SC_CLOSE);
    EXPECT_FALSE(bar->Items().Style(6) & TBBS_DISABLED);
    // The caption buttons stand at the right end.
    EXPECT_GT(bar->GetItemRect(6).left(), bar->width() - 30);
    // Never stored.
    CKVTToolBar copy;
    ASSERT_TRUE(copy.Store().LoadButtons(bar->Store().StoreButtons()));
    EXPECT_EQ(copy.Items().Count(), 3);

    // The system-menu button opens the child's system menu; its commands go to the child.
    Click(bar, bar->GetItemRect(0).center());
    CKVTPopupMenu* sys = CKVTPopupMenu::ActivePopup();
    ASSERT_NE(sys, nullptr);
    CKVTPopupMenuBar* sb = sys->GetMenuBar();
    ASSERT_EQ(sb->Items().ItemID(0), ui::SC_RESTORE);
    EXPECT_FALSE(sb->Items().Style(0) & TBBS_DISABLED);
    EXPECT_TRUE(sb->Items().Style(1) & TBBS_DISABLED); // Move
    PressKey(sys, Qt::Key_Home);
    PressKey(sys, Qt::Key_Return);
    WaitFor([ca] { return !ca->isMaximized(); }, 2000, "the child is restored");
    ca->showMaximized();
    bar->SetMaximizeMode(true, ca);

    // Left on the first item wraps to the last item, not a caption button.
    bar->EnterKeyboardMode();
    EXPECT_EQ(bar->GetHotButton(), 1);
    PressKey(bar, Qt::Key_Left);
    EXPECT_EQ(bar->GetHotButton(), 3);
    PressKey(bar, Qt::Key_Right);
    EXPECT_EQ(bar->GetHotButton(), 1);
    PressKey(bar, Qt::Key_Escape);

    // Another maximised child is a change: its buttons.
    ui::ChildFrame* cb = Open(b);
    cb->setWindowFlag(Qt::WindowCloseButtonHint, false);
    cb->showMaximized();
    bar->SetMaximizeMode(true, cb); // the same child again: nothing changes
    bar->SetMaximizeMode(false);
    bar->SetMaximizeMode(true, cb);
    EXPECT_EQ(static_cast<CKVTToolbarSystemMenuButton*>(bar->GetButton(0))->Child(), cb);
    EXPECT_TRUE(bar->Items().Style(bar->Items().Count() - 1) & TBBS_DISABLED);

    // Customisation mode takes them off and puts them back, once.
    CKVTToolbarShared::SetCustomizeMode(true);
    EXPECT_EQ(bar->CaptionButtonCount(), 0);
    EXPECT_EQ(bar->FirstItem(), 0);
    CKVTToolbarShared::SetCustomizeMode(false);
    EXPECT_EQ(bar->CaptionButtonCount(), 3);
    EXPECT_EQ(bar->FirstItem(), 1);
    EXPECT_EQ(bar->Items().Count(), 1 + 1 + 3);

    // The close button closes the child, through the active child.
    cb->setWindowFlag(Qt::WindowCloseButtonHint, true);
    cb->showMaximized();
    bar->SetMaximizeMode(false);
    bar->SetMaximizeMode(true, cb);
    Click(bar, bar->GetItemRect(bar->Items().Count() - 1).center());
    WaitFor([this] { return b->GetDocumentCount() == 0; }, 2000, "the child closes");

    // Restoring removes them.
    bar->SetMaximizeMode(false);
    EXPECT_EQ(bar->CaptionButtonCount(), 0);
    EXPECT_EQ(bar->FirstItem(), 0);
}

TEST_F(MenuWorld, AltMnemonicsAndTheExpansionOfTheOpenItem)
{
    // Alt alone moves the focus to the bar and back.
    PressKey(pane, Qt::Key_Alt);
    EXPECT_EQ(QApplication::focusWidget(), bar);
    EXPECT_EQ(bar->GetHotButton(), 0);
    PressKey(bar, Qt::Key_Alt);
    EXPECT_EQ(QApplication::focusWidget(), pane);
    EXPECT_EQ(bar->GetHotButton(), -1);

    // Alt, Right, Down walks to the second menu; Escape twice gives the focus back.
    PressKey(pane, Qt::Key_Alt);
    PressKey(bar, Qt::Key_Right);
    EXPECT_EQ(bar->GetHotButton(), 1);
    PressKey(bar, Qt::Key_Down);
    CKVTPopupMenu* walked = CKVTPopupMenu::ActivePopup();
    ASSERT_NE(walked, nullptr);
    EXPECT_EQ(walked->GetParentButton(), bar->GetButton(1));
    EXPECT_EQ(walked->GetMenuBar()->GetHotButton(), 0);
    PressKey(walked, Qt::Key_Escape);
    EXPECT_EQ(CKVTPopupMenu::ActivePopup(), nullptr);
    EXPECT_EQ(QApplication::focusWidget(), bar);
    PressKey(bar, Qt::Key_Escape);
    EXPECT_EQ(QApplication::focusWidget(), pane);

    // Alt+letter opens that item with its first item selected.
    CKVTToolbarShared::SetBasicCommands({ID_PROJECT_BUILD});
    for (int i = 0; i < 20; ++i)
        CKVTCommandUsage::Instance().AddCommand(ID_FILE_OPEN);
    PressKey(pane, Qt::Key_P, Qt::AltModifier);
    CKVTPopupMenu* popup = CKVTPopupMenu::ActivePopup();
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(popup->GetParentButton(), bar->GetButton(1));
    EXPECT_EQ(popup->GetMenuBar()->GetHotButton(), 0);
    EXPECT_FALSE(popup->GetMenuBar()->AllItemsShown());
    // The rest on the open item (timer 1 of the bar) expands it.
    EXPECT_TRUE(bar->ExpandTimer().isActive());
    EXPECT_EQ(bar->ExpandTimer().interval(), 5000);
    bar->OnExpandTimer();
    EXPECT_TRUE(popup->GetMenuBar()->AllItemsShown());
    EXPECT_EQ(popup->GetMenuBar()->Items().Count(), 2);
}
