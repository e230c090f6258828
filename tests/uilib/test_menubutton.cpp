// Menu buttons: the stored record and its golden structure, the conversions
// to and from menus, clicks on the main and arrow parts, where popups open,
// the overflow button's popup and the buttons that are never stored.

#include "uilib/KVTToolbarMenuButton.h"

#include "platform/ui/App.h"
#include "platform/ui/Menu.h"
#include "res/CommandIds.h"
#include "res/StringTable.h"
#include "uilib/KVTMenuBar.h"
#include "uilib/KVTMenuImages.h"
#include "uilib/KVTPopupMenu.h"
#include "uilib/KVTToolBar.h"
#include "uilib/KVTPopupCore.h"

#include "tests/support/ui/UiTest.h"

#include <QApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPainter>
#include <gtest/gtest.h>

using namespace testsupport::ui;

namespace {

std::vector<uint8_t> StoreList(const std::vector<const sys::ArchiveObject*>& list)
{
    sys::ObjectArchive ar;
    ar.WriteObjectList(list);
    return ar.TakeBytes();
}

std::unique_ptr<ui::Menu> TwoLevelMenu()
{
    return ui::Menu::Parse("POPUP \"&Soubor\"\n"
                           "  MENUITEM 57601 \"&Otevřít...\\tCtrl+O\" DEFAULT\n"
                           "  SEPARATOR\n"
                           "  POPUP \"&Minulé\"\n"
                           "    MENUITEM 57616 \"Soubor 1\"\n"
                           "    MENUITEM 57617 \"Soubor 2\" MENUBREAK\n"
                           "  END\n"
                           "END\n");
}

void CloseAllPopups()
{
    while (CKVTPopupMenu* p = CKVTPopupMenu::ActivePopup())
        p->CloseChain();
    QApplication::processEvents();
}

class MenuButtonWindow : public ::testing::Test, public ui::CommandTarget
{
protected:
    void SetUp() override
    {
        KvtMenuDelay::Reset();
        ui::SetRouteProvider([this] { return std::vector<ui::CommandTarget*>{this}; });
        frame = new ui::MainFrameBase;
        bar = new CKVTToolBar(frame);
        bar->CreateEx(frame, 0x800, 0x50402834, QMargins(1, 1, 1, 1), 0xE800);
        frame->setCentralWidget(bar);
        frame->resize(500, 200);
        frame->move(0, 0);
        frame->show();
        MapCommand(ID_FILE_NEW, [this] { ++runs; });
    }
    void TearDown() override
    {
        CloseAllPopups();
        delete frame;
        ui::SetRouteProvider(nullptr);
        CKVTCommandImageMap::Instance().RemoveAll();
    }
    ui::MainFrameBase* frame = nullptr;
    CKVTToolBar* bar = nullptr;
    int runs = 0;
};

} // namespace

TEST(MenuButton, GoldenStructureOfAStoredList)
{
    CKVTCommandImageMap::Instance().RemoveAll();
    CKVTToolbarMenuButton file(0, nullptr, -1, QStringLiteral("&Soubor"));
    file.m_showText = true;
    file.m_showImage = false;
    auto open =
        std::make_unique<CKVTToolbarMenuButton>(ID_FILE_OPEN, nullptr, -1, QStringLiteral("&Otevřít..."));
    open->m_showText = true;
    open->m_showImage = false;
    file.SubItems().push_back(std::move(open));
    CKVTToolbarButton build(ID_PROJECT_BUILD, 0);
    CKVTToolbarButton stop(ID_PROJECT_STOP_BUILD, 2);

    const std::vector<uint8_t> bytes = StoreList({&file, &build, &stop});
    ASSERT_EQ(bytes.size(), 224u);
    const std::vector<uint8_t> head = {0x03, 0x00, 0xFF, 0xFF, 0x01, 0x00, 0x15, 0x00};
    EXPECT_TRUE(std::equal(head.begin(), head.end(), bytes.begin()));
    EXPECT_EQ(std::string(bytes.begin() + 8, bytes.begin() + 29), "CKVTToolbarMenuButton");
    // The first record (46 bytes) ends with the sub-item count.
    EXPECT_EQ(bytes[75], 0x01);
    EXPECT_EQ(bytes[76], 0x00);
    // The sub-item: class reference 1, its record, no sub-items.
    EXPECT_EQ(bytes[77], 0x01);
    EXPECT_EQ(bytes[78], 0x80);
    EXPECT_EQ(bytes[133], 0x00);
    EXPECT_EQ(bytes[134], 0x00);
    // Button ID_PROJECT_BUILD brings its class; ID_PROJECT_STOP_BUILD refers to it (index 4).
    EXPECT_EQ(bytes[135], 0xFF);
    EXPECT_EQ(bytes[136], 0xFF);
    EXPECT_EQ(std::string(bytes.begin() + 141, bytes.begin() + 158), "CKVTToolbarButton");
    EXPECT_EQ(bytes[190], 0x04);
    EXPECT_EQ(bytes[191], 0x80);

    // And it loads back, both levels.
    sys::ObjectArchive in(bytes);
    auto objects = in.ReadObjectList();
    ASSERT_EQ(objects.size(), 3u);
    auto* back = dynamic_cast<CKVTToolbarMenuButton*>(objects[0].get());
    ASSERT_NE(back, nullptr);
    ASSERT_EQ(back->SubItems().size(), 1u);
    EXPECT_EQ(back->SubItems()[0]->m_id, ID_FILE_OPEN);
    EXPECT_EQ(back->SubItems()[0]->m_text, QStringLiteral("&Otevřít..."));
    CKVTCommandImageMap::Instance().RemoveAll();
}

TEST(MenuButton, TwoLevelMenuRoundTripsThroughTheRecordAndTheMenu)
{
    auto menu = TwoLevelMenu();
    ASSERT_NE(menu, nullptr);
    CKVTToolbarMenuButton b(0, menu->SubMenu(0), -1, QStringLiteral("&Soubor"));
    ASSERT_EQ(b.SubItems().size(), 3u);
    EXPECT_TRUE(b.SubItems()[0]->m_default);
    EXPECT_EQ(b.SubItems()[2]->m_id, KVT_POPUP_ID);
    ASSERT_EQ(b.SubItems()[2]->SubItems().size(), 2u);
    EXPECT_TRUE(b.SubItems()[2]->SubItems()[1]->m_style & TBBS_BREAK);

    // Through the record.
    sys::ObjectArchive ar;
    ar.WriteObject(&b);
    const std::vector<uint8_t> bytes = ar.TakeBytes();
    sys::ObjectArchive in(bytes);
    auto copy = in.ReadObjectOf<CKVTToolbarMenuButton>();
    ASSERT_NE(copy, nullptr);
    // Through a menu again: the same items, states and order.
    std::unique_ptr<ui::Menu> again = copy->CreateMenu();
    ASSERT_NE(again, nullptr);
    ASSERT_EQ(again->ItemCount(), 3);
    EXPECT_EQ(again->ItemId(0), ID_FILE_OPEN);
    EXPECT_TRUE(b.CreateMenu()->Item(0)->flags & ui::MF_DEFAULT);
    EXPECT_EQ(again->Item(0)->text, QStringLiteral("&Otevřít...\tCtrl+O"));
    EXPECT_TRUE(again->Item(1)->flags & ui::MF_SEPARATOR);
    ASSERT_NE(again->SubMenu(2), nullptr);
    EXPECT_EQ(again->SubMenu(2)->ItemId(1), 57617u);
    EXPECT_TRUE(again->SubMenu(2)->Item(1)->flags & ui::MF_MENUBREAK);
    // A copy has the same sub-items; a long text is cut at 1024.
    CKVTToolbarMenuButton copied(*copy);
    EXPECT_EQ(copied.SubItems().size(), 3u);
    ui::Menu longMenu;
    longMenu.AppendItem(5, QString(2000, QLatin1Char('x')));
    CKVTToolbarMenuButton cut(0, &longMenu, -1);
    EXPECT_EQ(cut.SubItems()[0]->m_text.size(), 1024);
    // Without sub-items there is no menu.
    EXPECT_EQ(CKVTToolbarMenuButton(7, nullptr, -1).CreateMenu(), nullptr);
}

TEST_F(MenuButtonWindow, MainPartSendsTheCommandAndTheArrowOpensTheMenu)
{
    auto menu = TwoLevelMenu();
    bar->InsertButton(std::make_unique<CKVTToolbarMenuButton>(ID_FILE_NEW, menu->SubMenu(0), -1,
                                                              QStringLiteral("Nový")));
    auto* b = static_cast<CKVTToolbarMenuButton*>(bar->GetButton(0));
    b->m_showText = true;
    bar->AdjustLayout();
    ASSERT_TRUE(b->m_arrow);
    const QRect r = b->m_rect;
    EXPECT_GT(r.width(), 30);
    EXPECT_EQ(CKVTToolbarMenuButton::ArrowSize(), QSize(11, 9));

    Click(bar, QPoint(r.left() + 5, r.center().y()));
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(CKVTPopupMenu::ActivePopup(), nullptr);

    Click(bar, QPoint(r.right() - 3, r.center().y()));
    EXPECT_EQ(runs, 1);
    CKVTPopupMenu* popup = CKVTPopupMenu::ActivePopup();
    ASSERT_NE(popup, nullptr);
    EXPECT_TRUE(b->IsDroppedDown());
    EXPECT_EQ(bar->Items().droppedDown, 0);
    // It opens at the button's left - 1, below it.
    EXPECT_EQ(popup->pos(), bar->mapToGlobal(QPoint(r.left() - 1, r.bottom() + 1)));
    EXPECT_EQ(popup->GetMenuBar()->Items().Count(), 3);

    // Its submenu item opens right of the popup, at the item's top - 2.
    CKVTPopupMenuBar* pb = popup->GetMenuBar();
    Click(pb, pb->GetItemRect(2).center());
    auto* sub = static_cast<CKVTToolbarMenuButton*>(pb->GetButton(2));
    ASSERT_NE(sub->GetPopupMenu(), nullptr);
    EXPECT_EQ(sub->GetPopupMenu()->pos(),
              QPoint(popup->frameGeometry().right() + 1,
                     pb->mapToGlobal(pb->GetItemRect(2).topLeft()).y() - 2));
    CloseAllPopups();
    EXPECT_FALSE(b->IsDroppedDown());
}

TEST_F(MenuButtonWindow, OverflowPopupListsTheHiddenButtonsAndTheCustomiseCommand)
{
    const uint32_t ids[] = {ID_FILE_NEW, 0, 0, ID_FILE_OPEN, 0, ID_FILE_SAVE, ID_FILE_SAVE_AS};
    bar->SetButtons(ids, 7);
    for (int i = 0; i < bar->Items().Count(); ++i)
        if (!bar->GetButton(i)->IsSeparator())
            bar->GetButton(i)->m_text = QStringLiteral("B%1").arg(bar->Items().ItemID(i));
    bar->EnableCustomizeButton(true, 4242, QStringLiteral("&Přizpůsobit..."));
    CCustomizeButton* more = bar->Items().Customize();
    ASSERT_NE(more, nullptr);
    EXPECT_EQ(more->m_text, QStringLiteral("Další tlačítka"));
    // Inserting keeps the overflow button last; it cannot be removed.
    EXPECT_EQ(bar->InsertButton(std::make_unique<CKVTToolbarButton>(ID_FILE_PAGE_SETUP, -1, QString())), 7);
    EXPECT_EQ(bar->GetButton(bar->Items().Count() - 1), more);
    EXPECT_FALSE(bar->RemoveButton(bar->Items().Count() - 1));
    bar->RemoveButton(7);

    bar->Layout().SetFixedLength(23 + 13);
    bar->AdjustLayout();
    ASSERT_FALSE(more->HiddenButtons().empty());
    EXPECT_EQ(more->CalculateSize(QSize(23, 22), true), QSize(13, 22));
    std::unique_ptr<ui::Menu> m = more->CreateMenu();
    ASSERT_NE(m, nullptr);
    std::vector<uint32_t> items;
    for (int i = 0; i < m->ItemCount(); ++i)
        items.push_back(m->Item(i)->flags & ui::MF_SEPARATOR ? 0 : m->ItemId(i));
    // ID_FILE_NEW fits; the separators after it come first in the hidden list and are dropped there.
    EXPECT_EQ(items, (std::vector<uint32_t>{ID_FILE_OPEN, 0, ID_FILE_SAVE, ID_FILE_SAVE_AS, 0, 4242}));
    EXPECT_EQ(m->Item(0)->text, QStringLiteral("B57601"));
    EXPECT_EQ(m->Item(m->ItemCount() - 1)->text, QStringLiteral("&Přizpůsobit..."));

    // An item without text takes the command's short prompt.
    bar->GetButton(3)->m_text.clear();
    bar->AdjustLayout();
    m = more->CreateMenu();
    EXPECT_EQ(m->Item(0)->text, LoadResString(ID_FILE_OPEN).section(QLatin1Char('\n'), 1, 1));
    // The overflow button is never stored.
    CKVTToolBar copy;
    ASSERT_TRUE(copy.Store().LoadButtons(bar->Store().StoreButtons()));
    EXPECT_EQ(copy.Items().Count(), 7);
}

TEST_F(MenuButtonWindow, CaptionAndSystemButtonsAreNeverStoredAndACaptionButtonIsDrawn)
{
    QMdiArea* area = frame->MdiArea();
    auto* child = area->addSubWindow(new QWidget);
    child->show();
    bar->InsertButton(std::make_unique<CKVTToolbarSystemMenuButton>(child), 0);
    bar->InsertButton(std::make_unique<CKVTToolbarButton>(ID_FILE_NEW, -1, QStringLiteral("x")));
    bar->InsertButton(std::make_unique<CKVTToolbarMenuButtonsButton>(ui::SC_CLOSE));
    CKVTToolBar copy;
    ASSERT_TRUE(copy.Store().LoadButtons(bar->Store().StoreButtons()));
    ASSERT_EQ(copy.Items().Count(), 1);
    EXPECT_EQ(copy.Items().ItemID(0), ID_FILE_NEW);
    EXPECT_EQ(CKVTToolbarMenuButtonsButton(ui::SC_CLOSE).CalculateSize(QSize(23, 22), true),
              QSize(16, 22));
    EXPECT_EQ(CaptionGlyph(ui::SC_MINIMIZE, false), 10);
    EXPECT_EQ(CaptionGlyph(ui::SC_RESTORE, true), 13);
    EXPECT_EQ(CaptionGlyph(ui::SC_CLOSE, false), 20);
    EXPECT_EQ(CaptionGlyph(ui::SC_CLOSE, true), 15);

    // Raised with the glyph centred; sunken while pressed.
    QImage img(16, 14, QImage::Format_RGB32);
    img.fill(Qt::black);
    {
        QPainter p(&img);
        DrawCaptionButton(p, QRect(0, 0, 16, 14), ui::SC_CLOSE, false, false);
    }
    const QRgb light = img.pixel(0, 0);
    {
        QPainter p(&img);
        DrawCaptionButton(p, QRect(0, 0, 16, 14), ui::SC_CLOSE, true, false);
    }
    EXPECT_NE(img.pixel(0, 0), light);
}
