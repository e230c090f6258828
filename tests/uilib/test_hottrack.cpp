// The button context menu of customisation mode and hot tracking: the
// rules of PrepareCustomizeMenu, the commands ID_BUTTON_RESET-ID_BUTTON_BEGIN_GROUP, the context menu
// outside customisation mode, tooltips and the mouse watch.

#include "uilib/KVTToolBar.h"

#include "platform/ui/Accel.h"
#include "platform/ui/App.h"
#include "platform/ui/Beep.h"
#include "platform/ui/Menu.h"
#include "platform/ui/StatusBar.h"
#include "res/CommandIds.h"
#include "res/StringTable.h"
#include "uilib/KVTMenuBar.h"
#include "uilib/KVTPopupMenu.h"
#include "uilib/KVTToolbarMenuButton.h"
#include "uilib/KVTWorkspace.h"
#include "uilib/KVTFrameHooks.h"

#include "tests/support/ui/UiTest.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDialog>
#include <QMenu>
#include <QMouseEvent>
#include <QTimer>
#include <gtest/gtest.h>

using namespace testsupport::ui;

namespace {

class HookFrame : public ui::MainFrameBase, public KvtFrameHooks
{
public:
    std::vector<QPoint> menus;
    void OnToolbarPopupMenu(QWidget*, const QPoint& pt) override { menus.push_back(pt); }
};

class HotTrack : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ui::SetCommandPromptSource(
            [](uint32_t id) { return QStringLiteral("Prompt %1\nShort").arg(id); });
        frame = new HookFrame;
        frame->CreateStatusBar({0});
        bar = new CKVTToolBar(frame);
        bar->CreateEx(frame, 0x830, 0x50402834, QMargins(1, 1, 1, 1), 0xE800);
        frame->setCentralWidget(bar);
        ASSERT_TRUE(bar->LoadToolBar(9100));
        frame->resize(600, 200);
        frame->show();
        bar->AdjustLayout();
    }
    void TearDown() override
    {
        CKVTToolbarShared::SetCustomizeMode(false);
        CKVTToolbarShared::SetMouseHook(false);
        delete frame;
        ui::SetCommandPromptSource(nullptr);
        CKVTToolbarShared::CleanUp();
    }
    std::unique_ptr<ui::Menu> CustomizeMenu(int index)
    {
        auto res = ui::Menu::Load(16102);
        EXPECT_NE(res, nullptr);
        std::unique_ptr<ui::Menu> sub = res->SubMenu(0)->Clone();
        bar->Customizer().PrepareCustomizeMenu(bar->GetButton(index), *sub);
        return sub;
    }
    static bool Grayed(const ui::Menu& m, uint32_t id)
    {
        return m.Item(m.IndexOf(id))->flags & ui::MF_GRAYED;
    }
    static bool Checked(const ui::Menu& m, uint32_t id)
    {
        return m.Item(m.IndexOf(id))->flags & ui::MF_CHECKED;
    }
    HookFrame* frame = nullptr;
    CKVTToolBar* bar = nullptr;
};

} // namespace

TEST_F(HotTrack, PrepareCustomizeMenuFollowsTheButton)
{
    // The first button: image only.
    auto m = CustomizeMenu(0);
    EXPECT_FALSE(Grayed(*m, ID_BUTTON_COPY_IMAGE));
    EXPECT_FALSE(Grayed(*m, ID_BUTTON_RESET));
    EXPECT_TRUE(Checked(*m, ID_BUTTON_IMAGE));
    EXPECT_FALSE(Checked(*m, ID_BUTTON_TEXT) || Checked(*m, ID_BUTTON_IMAGE_TEXT));
    EXPECT_TRUE(Grayed(*m, ID_BUTTON_BEGIN_GROUP)); // the first button
    EXPECT_FALSE(Grayed(*m, ID_BUTTON_APPEARANCE)); // the appearance dialog
    // The button after the separator: text only, no image shown.
    CKVTToolbarButton* b = bar->GetButton(5);
    b->m_showText = true;
    b->m_showImage = false;
    b->m_text = QStringLiteral("Vyjmout");
    m = CustomizeMenu(5);
    EXPECT_TRUE(Checked(*m, ID_BUTTON_TEXT));
    EXPECT_TRUE(Grayed(*m, ID_BUTTON_COPY_IMAGE));
    EXPECT_TRUE(Checked(*m, ID_BUTTON_BEGIN_GROUP));
    EXPECT_FALSE(Grayed(*m, ID_BUTTON_BEGIN_GROUP));
    // Image and text; text labels gray "image only".
    b->m_showImage = true;
    bar->SetTextLabels(true);
    m = CustomizeMenu(5);
    EXPECT_TRUE(Checked(*m, ID_BUTTON_IMAGE_TEXT));
    EXPECT_TRUE(Grayed(*m, ID_BUTTON_IMAGE));
}

TEST_F(HotTrack, CustomizeCommandsChangeTheSelectedButton)
{
    const int count = bar->Items().Count();
    bar->Items().selected = 2;
    bar->Customizer().OnCustomizeCommand(ID_BUTTON_BEGIN_GROUP); // a group starts before it
    EXPECT_EQ(bar->Items().Count(), count + 1);
    EXPECT_TRUE(bar->GetButton(2)->IsSeparator());
    EXPECT_EQ(bar->Items().selected, 3);
    bar->Customizer().OnCustomizeCommand(ID_BUTTON_BEGIN_GROUP); // and goes again
    EXPECT_EQ(bar->Items().Count(), count);
    EXPECT_EQ(bar->Items().ItemID(2), ID_FILE_SAVE);
    EXPECT_EQ(bar->Items().selected, 2);

    // "&Text" on a command without a prompt beeps and keeps the image.
    bar->InsertButton(std::make_unique<CKVTToolbarButton>(40000, 0));
    bar->Items().selected = bar->Items().Count() - 1;
    CKVTToolbarButton* b = bar->GetButton(bar->Items().Count() - 1);
    b->m_text.clear();
    ui::SetCommandPromptSource(nullptr);
    const int beeps = ui::BeepCount();
    bar->Customizer().OnCustomizeCommand(ID_BUTTON_TEXT);
    EXPECT_EQ(ui::BeepCount(), beeps + 1);
    EXPECT_TRUE(b->m_showImage);
    EXPECT_FALSE(b->m_showText);
    // "Ikona" on a button without an image asks for one first; cancelled, nothing changes.
    b->m_imageIndex = -1;
    OnNextModal<QDialog>([](QDialog* d) { d->reject(); });
    bar->Customizer().OnCustomizeCommand(ID_BUTTON_IMAGE);
    EXPECT_EQ(ui::BeepCount(), beeps + 1);
    EXPECT_TRUE(b->m_showImage);
    EXPECT_FALSE(b->m_showText);
    // "&Odstranit".
    bar->Customizer().OnCustomizeCommand(ID_BUTTON_DELETE);
    EXPECT_EQ(bar->Items().Count(), count);
    EXPECT_EQ(bar->Items().selected, -1);
}

TEST_F(HotTrack, TheContextMenuInAndOutsideCustomisationMode)
{
    // Outside: the frame's toolbar menu at the point.
    QContextMenuEvent mouse(QContextMenuEvent::Mouse, QPoint(5, 5), bar->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(bar, &mouse);
    ASSERT_EQ(frame->menus.size(), 1u);
    EXPECT_EQ(frame->menus[0], bar->mapToGlobal(QPoint(5, 5)));

    CKVTToolbarShared::SetCustomizeMode(true);
    // A separator: nothing is selected and no menu shows.
    const QPoint sep = bar->GetItemRect(4).center();
    QContextMenuEvent onSep(QContextMenuEvent::Mouse, sep, bar->mapToGlobal(sep));
    QApplication::sendEvent(bar, &onSep);
    EXPECT_EQ(bar->Items().selected, -1);
    EXPECT_EQ(frame->menus.size(), 1u);

    // A button: selected, and the menu (a library popup that works as a
    // menu in customisation mode) removes it with "&Odstranit".
    const int count = bar->Items().Count();
    const QPoint on = bar->GetItemRect(1).center();
    QContextMenuEvent onButton(QContextMenuEvent::Mouse, on, bar->mapToGlobal(on));
    QApplication::sendEvent(bar, &onButton);
    EXPECT_EQ(bar->Items().selected, 1);
    CKVTPopupMenu* popup = CKVTPopupMenu::ActivePopup();
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(popup->windowFlags() & Qt::WindowType_Mask, Qt::Popup);
    CKVTPopupMenuBar* pb = popup->GetMenuBar();
    QStringList seen;
    for (int i = 0; i < pb->Items().Count(); ++i)
        if (!pb->GetButton(i)->IsSeparator())
            seen << pb->GetButton(i)->m_text;
    EXPECT_EQ(seen.size(), 8);
    EXPECT_EQ(seen.value(0), QStringLiteral("&Původní"));
    EXPECT_FALSE(pb->Items().Style(pb->Items().CommandToIndex(ID_BUTTON_DELETE)) & TBBS_DISABLED);
    EXPECT_TRUE(pb->Items().Style(pb->Items().CommandToIndex(ID_BUTTON_IMAGE)) & TBBS_CHECKED);
    ui::IdleUpdater::Instance().RunPass(); // no update handler touches its items
    EXPECT_FALSE(pb->Items().Style(pb->Items().CommandToIndex(ID_BUTTON_DELETE)) & TBBS_DISABLED);
    Click(pb, pb->GetItemRect(pb->Items().CommandToIndex(ID_BUTTON_DELETE)).center());
    PumpEvents(20);
    EXPECT_EQ(CKVTPopupMenu::ActivePopup(), nullptr);
    EXPECT_EQ(bar->Items().Count(), count - 1);
    EXPECT_EQ(bar->Items().ItemID(1), ID_FILE_SAVE);

    // A locked bar only beeps.
    bar->SetLocked(true);
    const int beeps = ui::BeepCount();
    QApplication::sendEvent(bar, &onButton);
    EXPECT_EQ(ui::BeepCount(), beeps + 1);
    bar->SetLocked(false);
}

namespace {
class Keys : public CKVTKeyboardManager
{
public:
    bool FindDefaultAccelerator(uint32_t command, QString& text, QWidget*) override
    {
        if (command != ID_FILE_OPEN)
            return false;
        text = QStringLiteral("Ctrl+O");
        return true;
    }
};
} // namespace

TEST_F(HotTrack, TooltipTexts)
{
    QString text;
    QRect r;
    ASSERT_TRUE(bar->OnToolHitTest(bar->GetItemRect(0).center(), text, r));
    // The tooltip part of the command's string.
    EXPECT_EQ(text, LoadResString(ID_FILE_NEW).section(QLatin1Char('\n'), 1, 1));
    EXPECT_FALSE(text.isEmpty());
    EXPECT_EQ(r, bar->GetItemRect(0));
    {
        Keys keys;
        ASSERT_TRUE(bar->OnToolHitTest(bar->GetItemRect(1).center(), text, r));
        EXPECT_EQ(text, LoadResString(ID_FILE_OPEN).section(QLatin1Char('\n'), 1, 1) +
                            QStringLiteral(" (Ctrl+O)"));
    }
    bar->InsertButton(std::make_unique<CKVTToolbarButton>(0, -1, QStringLiteral("&Vlastní")), 0);
    bar->GetButton(0)->m_showText = true;
    bar->AdjustLayout();
    ASSERT_TRUE(bar->OnToolHitTest(bar->GetItemRect(0).center(), text, r));
    EXPECT_EQ(text, QStringLiteral("Vlastní"));
    CKVTToolbarShared::Options().tooltips = false;
    EXPECT_FALSE(bar->OnToolHitTest(bar->GetItemRect(1).center(), text, r));
    CKVTToolbarShared::Options().tooltips = true;
    bar->SetBarStyle(bar->GetBarStyle() & ~ui::CBRS_TOOLTIPS);
    EXPECT_FALSE(bar->OnToolHitTest(bar->GetItemRect(1).center(), text, r));
    // The show-all item's text.
    CKVTShowAllButton all;
    ASSERT_TRUE(all.GetCustomToolTipText(nullptr, text));
    EXPECT_EQ(text, QStringLiteral("Rozbalit (Ctrl+") + ui::VirtualKeyName(40) + QLatin1Char(')'));
}

TEST_F(HotTrack, TheMouseWatchFollowsMovesAndSilencesThePrompt)
{
    const QPoint over = bar->GetItemRect(2).center();
    QMouseEvent move(QEvent::MouseMove, QPointF(over), QPointF(bar->mapToGlobal(over)),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(bar, &move);
    EXPECT_EQ(bar->GetHotButton(), 2);
    EXPECT_EQ(frame->GetStatusBar()->MessageText(), QStringLiteral("Prompt 57603"));
    // Leaving clears it.
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(bar, &leave);
    EXPECT_EQ(bar->GetHotButton(), -1);

    CKVTToolbarShared::SetMouseHook(true);
    EXPECT_TRUE(CKVTToolbarShared::IsMouseHook());
    frame->SetMessageText(0xE001);
    // A move anywhere (here: delivered to the frame) is followed by the bar under it.
    QMouseEvent elsewhere(QEvent::MouseMove, QPointF(1, 1),
                          QPointF(bar->mapToGlobal(bar->GetItemRect(3).center())), Qt::NoButton,
                          Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(frame, &elsewhere);
    EXPECT_EQ(bar->GetHotButton(), 3);
    EXPECT_EQ(frame->GetStatusBar()->MessageText(), frame->GetStatusBar()->IdleText());
    QApplication::sendEvent(bar, &leave); // ignored while the watch is on
    EXPECT_EQ(bar->GetHotButton(), 3);
    CKVTToolbarShared::SetMouseHook(false);
    EXPECT_EQ(bar->GetHotButton(), -1);
}
