// The command catalogue of the customisation sheet, without windows: the
// texts, the position rule, one copy per category and one per command in
// "Všechny příkazy", the menu walk and its order, the framework's commands
// never offered, renaming, removing and replacing, and the Czech order.

#include "platform/ui/App.h"
#include "platform/ui/Document.h"
#include "platform/ui/Menu.h"
#include "res/CommandIds.h"
#include "uilib/KVTCustomizeCatalogue.h"
#include "uilib/KVTFrameWnd.h"
#include "uilib/KVTPopupMenu.h"
#include "uilib/KVTMenuBar.h"
#include "uilib/KVTToolBar.h"
#include "uilib/KVTToolbarButton.h"
#include "uilib/KVTToolbarMenuButton.h"

#include "tests/support/ui/UiTest.h"

#include <gtest/gtest.h>

namespace {

QStringList Texts(const CKVTCustomizeCatalogue& cat, const QString& category)
{
    QStringList out;
    if (const auto* list = cat.Buttons(category))
        for (const auto& b : *list)
            out << b->m_text;
    return out;
}

std::vector<uint32_t> Ids(const CKVTCustomizeCatalogue& cat, const QString& category)
{
    std::vector<uint32_t> out;
    if (const auto* list = cat.Buttons(category))
        for (const auto& b : *list)
            out.push_back(b->m_id);
    return out;
}

// The counting button of a combo box with live items: every copy the
// catalogue makes is told.
struct LiveButton : CKVTToolbarButton
{
    using CKVTToolbarButton::CKVTToolbarButton;
    static inline int added = 0;
    const char* ArchiveClassName() const override { return "TestLiveButton"; }
    void OnAddToCustomizePage() override { ++added; }
    static void Register()
    {
        sys::ArchiveClasses::Register("TestLiveButton", Schema, [] { return std::make_unique<LiveButton>(); });
    }
};

class Catalogue : public ::testing::Test
{
protected:
    void AddTemplates()
    {
        for (uint32_t id : {9404u, 9405u})
            app->AddDocTemplate(std::make_unique<ui::DocTemplate>(
                id, QStringLiteral("\nDok\nDok\nDok (*.dok)\n.dok\n\n"), [] { return new ui::Document; },
                [] { return new ui::ChildFrame; }, [] { return new ui::View; }));
    }
    std::unique_ptr<ui::Application> app = std::make_unique<ui::Application>();
    CKVTCustomizeCatalogue cat;
};

} // namespace

TEST_F(Catalogue, TextsLoseMarkersAndShortcutsAndButtonsWithoutTextTakeTheTooltip)
{
    EXPECT_EQ(CKVTCustomizeCatalogue::CleanText(QStringLiteral("&Uložit\tCtrl+S")), QStringLiteral("Uložit"));
    EXPECT_EQ(CKVTCustomizeCatalogue::CleanText(QStringLiteral("Tisk && ná&hled")), QStringLiteral("Tisk & náhled"));
    EXPECT_EQ(CKVTCustomizeCatalogue::CleanText(QStringLiteral("&&&A\t&B")), QStringLiteral("&A"));
    cat.AddButton(QStringLiteral("Soubor"), CKVTToolbarButton(ID_FILE_SAVE, -1));
    cat.AddButton(QStringLiteral("Soubor"), CKVTToolbarButton(ID_FILE_CLOSE, -1, QStringLiteral("&Zavřít\tCtrl+F4")));
    EXPECT_EQ(Texts(cat, QStringLiteral("Soubor")), (QStringList{"Uložit", "Zavřít"}));
    EXPECT_EQ(cat.GetCommandName(ID_FILE_SAVE), QStringLiteral("Uložit"));
    EXPECT_EQ(cat.GetCommandName(4711), QString());
    EXPECT_EQ(cat.AllCommandsName(), QStringLiteral("Všechny příkazy"));
}

TEST_F(Catalogue, PositionsInsertAfterTheGivenIndexAndEachCopyIsAnnounced)
{
    LiveButton::Register();
    LiveButton::added = 0;
    const QString c = QStringLiteral("C");
    EXPECT_EQ(cat.AddButton(c, LiveButton(1, -1, QStringLiteral("a"))), 0);
    EXPECT_EQ(cat.AddButton(c, LiveButton(2, -1, QStringLiteral("b"))), 1);
    EXPECT_EQ(cat.AddButton(c, LiveButton(3, -1, QStringLiteral("c")), 0), 1);
    EXPECT_EQ(cat.AddButton(c, LiveButton(4, -1, QStringLiteral("d")), 2), 3); // at the end: appends
    EXPECT_EQ(cat.AddButton(c, LiveButton(5, -1, QStringLiteral("e")), 99), 4);
    EXPECT_EQ(cat.AddButton(c, LiveButton(6, -1, QStringLiteral("f")), -1), 5);
    EXPECT_EQ(Texts(cat, c), (QStringList{"a", "c", "b", "d", "e", "f"}));
    // One copy for the category and one for "Všechny příkazy", each told.
    EXPECT_EQ(LiveButton::added, 12);
}

TEST_F(Catalogue, NoSecondCopyInACategoryAndOneCopyPerCommandInAllCommands)
{
    const QString a = QStringLiteral("A"), b = QStringLiteral("B");
    EXPECT_GE(cat.AddButton(a, CKVTToolbarButton(ID_FILE_SAVE, -1, QStringLiteral("Uložit"))), 0);
    EXPECT_EQ(cat.AddButton(a, CKVTToolbarButton(ID_FILE_SAVE, -1, QStringLiteral("Jinak"))), -1);
    EXPECT_GE(cat.AddButton(b, CKVTToolbarButton(ID_FILE_SAVE, -1, QStringLiteral("Uložit"))), 0);
    // Buttons without a command: refused by text within a category, never in all commands.
    EXPECT_GE(cat.AddButton(a, CKVTToolbarMenuButton(0, nullptr, -1, QStringLiteral("Nové"))), 0);
    EXPECT_EQ(cat.AddButton(a, CKVTToolbarMenuButton(0, nullptr, -1, QStringLiteral("Nové"))), -1);
    EXPECT_GE(cat.AddButton(a, CKVTToolbarMenuButton(KVT_POPUP_ID, nullptr, -1, QStringLiteral("Jiné"))), 0);
    EXPECT_EQ(Texts(cat, a), (QStringList{"Uložit", "Nové", "Jiné"}));
    EXPECT_EQ(Ids(cat, cat.AllCommandsName()), std::vector<uint32_t>{ID_FILE_SAVE});
    EXPECT_EQ(cat.CategoryNames(), (QStringList{"A", "B"}));
    // The framework's ranges are never offered.
    for (uint32_t id : {0xE110u, 0xE11Fu, 0xF000u, 0xF1EFu, 0xFF00u, 0xFFFEu})
        EXPECT_EQ(cat.AddButton(a, CKVTToolbarButton(id, -1, QStringLiteral("x"))), -1) << id;
    EXPECT_GE(cat.AddButton(a, CKVTToolbarButton(0xE120, -1, QStringLiteral("y"))), 0);
}

TEST_F(Catalogue, MenusAreWalkedTemplatesFirstThenTheDefaultMenu)
{
    AddTemplates();
    ui::MainFrameBase frame;
    frame.LoadFrame(9401);
    cat.SetupFromMenus(&frame);
    EXPECT_EQ(cat.CategoryNames(),
              (QStringList{"Soubor", "Editace", "Číst", "Nástroje", "Překlad", "Vnořené"}));
    // Five file commands would come in from three menus: each is there once.
    EXPECT_EQ(Texts(cat, QStringLiteral("Soubor")),
              (QStringList{"Otevřít...", "Uložit", "Zavřít", "Minulé soubory", "Tisk & náhled"}));
    EXPECT_EQ(Texts(cat, QStringLiteral("Nástroje")), (QStringList{"Překlad", "Vlastní..."}));
    EXPECT_EQ(Texts(cat, QStringLiteral("Překlad")), (QStringList{"Sestavit", "Vnořené"}));
    EXPECT_NE(dynamic_cast<const CKVTToolbarMenuButton*>(cat.Buttons(QStringLiteral("Překlad"))->back().get()),
              nullptr);
    std::vector<uint32_t> all = Ids(cat, cat.AllCommandsName());
    std::sort(all.begin(), all.end());
    EXPECT_EQ(all, (std::vector<uint32_t>{ID_PROJECT_BUILD, ID_PROJECT_BUILD_IF_CHANGED, ID_VIEW_CUSTOMIZE, ID_FILE_OPEN, ID_FILE_CLOSE, ID_FILE_SAVE, ID_FILE_PRINT_PREVIEW, ID_EDIT_COPY, ID_EDIT_PASTE, ID_WINDOW_NEW}));
    EXPECT_EQ(cat.Buttons(QStringLiteral("Minulé soubory")), nullptr); // only a hidden command
}

TEST_F(Catalogue, WithoutADefaultMenuTheMenuBarsMenuIsWalked)
{
    CKVTMDIFrameWnd frame;
    ASSERT_TRUE(frame.LoadFrame(9499, 0)); // no menu of that id
    ASSERT_EQ(frame.GetDefaultMenu(), nullptr);
    std::unique_ptr<ui::Menu> menu = ui::Menu::Load(9406);
    auto* bar = new CKVTMenuBar(&frame);
    bar->Create(&frame, 0x50402808 | 0x34, 0xE81A);
    bar->CreateFromMenu(menu.get(), true);
    frame.Helper().SetMenuBar(bar);
    cat.SetupFromMenus(&frame);
    EXPECT_EQ(cat.CategoryNames(), QStringList{"Text"});
    EXPECT_EQ(Texts(cat, QStringLiteral("Text")), (QStringList{"Kopírovat", "Vložit"}));
}

TEST_F(Catalogue, WithoutAutoFromMenusThereAreNoMenuCategories)
{
    CKVTCustomizeCatalogue plain(false);
    EXPECT_TRUE(plain.AddMenuFromResource(9401));
    EXPECT_FALSE(plain.AddMenuFromResource(9498));
    EXPECT_TRUE(plain.CategoryNames().isEmpty());
    EXPECT_EQ(plain.GetCommandName(ID_PROJECT_BUILD_IF_CHANGED), QStringLiteral("Zastavit"));
    EXPECT_TRUE(plain.AddToolBar(QStringLiteral("Panel"), 1));
    EXPECT_FALSE(plain.AddToolBar(QStringLiteral("Panel"), 9497));
    EXPECT_FALSE(Ids(plain, QStringLiteral("Panel")).empty());
}

TEST_F(Catalogue, RenameRemoveAndReplace)
{
    const QString a = QStringLiteral("A"), b = QStringLiteral("B");
    cat.AddButton(a, CKVTToolbarButton(10, -1, QStringLiteral("deset")));
    cat.AddButton(a, CKVTToolbarButton(11, -1, QStringLiteral("jedenáct")));
    cat.AddButton(b, CKVTToolbarButton(11, -1, QStringLiteral("jedenáct")));
    EXPECT_FALSE(cat.RenameCategory(a, b));
    EXPECT_FALSE(cat.RenameCategory(QStringLiteral("Z"), QStringLiteral("Y")));
    EXPECT_TRUE(cat.RenameCategory(a, QStringLiteral("Nová")));
    EXPECT_EQ(cat.CategoryNames(), (QStringList{"Nová", "B"}));
    EXPECT_EQ(Texts(cat, QStringLiteral("Nová")), (QStringList{"deset", "jedenáct"}));

    CKVTToolbarButton replacement(11, 7);
    replacement.m_showText = true;
    cat.ReplaceButton(11, replacement);
    for (const QString& c : {QStringLiteral("Nová"), b, cat.AllCommandsName()})
        for (const auto& btn : *cat.Buttons(c))
            if (btn->m_id == 11) {
                EXPECT_EQ(btn->m_text, QStringLiteral("jedenáct")) << c.toStdString();
                EXPECT_EQ(btn->m_imageIndex, 7);
                EXPECT_TRUE(btn->m_showText);
            }
    EXPECT_EQ(cat.RemoveButton(QStringLiteral("Nová"), 11), 1);
    EXPECT_EQ(cat.RemoveButton(QStringLiteral("Nová"), 11), -1);
    EXPECT_EQ(cat.RemoveButton(QStringLiteral("X"), 10), -1);
    EXPECT_EQ(Texts(cat, QStringLiteral("Nová")), QStringList{"deset"});
}

TEST_F(Catalogue, AllCommandsSortInCzechOrder)
{
    for (const char* t : {"Dům", "Čára", "Cesta", "Zámek", "Řada", "Rok", "ahoj"})
        cat.AddButton(QStringLiteral("A"), CKVTToolbarButton(uint32_t(100 + std::strlen(t) * 7 + uint8_t(t[0])), -1,
                                                             QString::fromUtf8(t)));
    QStringList sorted;
    for (const CKVTToolbarButton* b : cat.SortedAllCommands())
        sorted << b->m_text;
    EXPECT_EQ(sorted, (QStringList{"ahoj", "Cesta", "Čára", "Dům", "Rok", "Řada", "Zámek"}));
}
