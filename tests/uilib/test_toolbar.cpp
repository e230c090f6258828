// The toolbar widget: commands through the route, update handlers, hover and
// the message pane, painting, sizes, and the button-list rules.

#include "uilib/KVTToolBar.h"

#include "platform/ui/App.h"
#include "platform/ui/Menu.h"
#include "platform/ui/StatusBar.h"
#include "res/CommandIds.h"
#include "uilib/KVTCommandUsage.h"
#include "uilib/KVTDrawingData.h"

#include "tests/support/ui/UiTest.h"

#include <QApplication>
#include <QMouseEvent>
#include <gtest/gtest.h>

namespace {

void Send(QWidget* w, QEvent::Type type, QPoint pos, Qt::MouseButtons buttons)
{
    QMouseEvent e(type, QPointF(pos), w->mapToGlobal(QPointF(pos)),
                  type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

using testsupport::ui::Click;

struct Frame : ui::MainFrameBase
{
};

class Toolbar : public ::testing::Test, public ui::CommandTarget
{
protected:
    void SetUp() override
    {
        ui::SetRouteProvider([this] { return std::vector<ui::CommandTarget*>{this}; });
        ui::SetCommandPromptSource([](uint32_t id) { return QStringLiteral("Prompt %1\nShort").arg(id); });
        frame = new Frame;
        frame->CreateStatusBar({0});
        bar = new CKVTToolBar(frame);
        bar->CreateEx(frame, 0x830, 0x50402834, QMargins(1, 1, 1, 1), 0xE800);
        frame->setCentralWidget(bar);
        ASSERT_TRUE(bar->LoadToolBar(9100));
        frame->resize(600, 200);
        frame->show();
        bar->AdjustLayout();
        MapCommand(ID_FILE_NEW, [this] { ++runs; });
        MapCommand(ID_FILE_OPEN, [this] { ++runs; });
        MapUpdate(ID_FILE_OPEN, [this](ui::CmdUI& cmd) { cmd.Enable(enableOpen); });
    }
    void TearDown() override
    {
        delete frame;
        ui::SetRouteProvider(nullptr);
        ui::SetCommandPromptSource(nullptr);
        CKVTToolbarShared::SetNonPermittedCommands({});
        CKVTToolbarShared::SetLargeIcons(false);
        CKVTToolbarShared::SetLook2000(false);
        CKVTCommandUsage::Instance().Reset();
    }
    QPoint Centre(uint32_t id)
    {
        return bar->GetItemRect(bar->Items().CommandToIndex(id)).center();
    }

    Frame* frame = nullptr;
    CKVTToolBar* bar = nullptr;
    int runs = 0;
    bool enableOpen = true;
};

TEST_F(Toolbar, ClicksRunCommandsThroughTheRoute)
{
    EXPECT_EQ(bar->focusPolicy(), Qt::NoFocus);
    ui::IdleUpdater::Instance().RunPass();
    EXPECT_FALSE(bar->Items().Style(bar->Items().CommandToIndex(ID_FILE_NEW)) & TBBS_DISABLED);
    EXPECT_TRUE(bar->Items().Style(bar->Items().CommandToIndex(ID_FILE_SAVE)) &
                TBBS_DISABLED); // no handler

    Click(bar, Centre(ID_FILE_NEW));
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(CKVTCommandUsage::Instance().Counts().at(ID_FILE_NEW), 1u); // the use is counted
    Click(bar, Centre(ID_FILE_OPEN));
    EXPECT_EQ(runs, 2);
    EXPECT_EQ(CKVTCommandUsage::Instance().Total(), 2u);

    enableOpen = false;
    ui::IdleUpdater::Instance().RunPass();
    Click(bar, Centre(ID_FILE_OPEN));
    EXPECT_EQ(runs, 2);

    // A check-box button toggles.
    const int i = bar->Items().CommandToIndex(ID_FILE_NEW);
    bar->SetButtonStyle(i, TBBS_CHECKBOX);
    Click(bar, Centre(ID_FILE_NEW));
    EXPECT_TRUE(bar->Items().Style(i) & TBBS_CHECKED);
    Click(bar, Centre(ID_FILE_NEW));
    EXPECT_FALSE(bar->Items().Style(i) & TBBS_CHECKED);
}

TEST_F(Toolbar, HoverShowsThePromptAndLeavingTheIdleText)
{
    ui::IdleUpdater::Instance().RunPass();
    Send(bar, QEvent::MouseMove, Centre(ID_FILE_OPEN), Qt::NoButton);
    EXPECT_EQ(bar->GetHotButton(), bar->Items().CommandToIndex(ID_FILE_OPEN));
    EXPECT_EQ(frame->GetStatusBar()->MessageText(), QStringLiteral("Prompt 57601"));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(bar, &leave);
    EXPECT_EQ(bar->GetHotButton(), -1);
    EXPECT_EQ(frame->GetStatusBar()->MessageText(), frame->GetStatusBar()->IdleText());

    EXPECT_EQ(CKVTToolbarShared::MapMessageId(0xFFFFFFFF), 0xE001u);
    EXPECT_EQ(CKVTToolbarShared::MapMessageId(0xF060), 0xEF06u);
    EXPECT_EQ(CKVTToolbarShared::MapMessageId(0xFF05), 0xEF1Fu);
    EXPECT_EQ(CKVTToolbarShared::MapMessageId(ID_FILE_NEW), ID_FILE_NEW);
}

TEST_F(Toolbar, AHandlerThatDestroysTheBar)
{
    MapCommand(ID_FILE_SAVE, [this] {
        delete bar;
        bar = nullptr;
        CKVTToolbarShared::SetCustomizeMode(true);
        CKVTToolbarShared::SetCustomizeMode(false);
    });
    ui::IdleUpdater::Instance().RunPass();
    CKVTToolBar* b = bar;
    Click(b, Centre(ID_FILE_SAVE));
    EXPECT_EQ(bar, nullptr);
    for (CKVTToolBar* x : CKVTToolbarShared::AllBars())
        EXPECT_NE(x, b);
}

TEST_F(Toolbar, PaintsTheEtchedLookAndTheGripper)
{
    ui::IdleUpdater::Instance().RunPass();
    const CKVTDrawingData& dd = CKVTDrawingData::Instance();
    const QImage img = testsupport::ui::Render(bar).convertToFormat(QImage::Format_RGB32);
    const QRect disabled = bar->GetItemRect(bar->Items().CommandToIndex(ID_FILE_SAVE));
    int hi = 0, shadow = 0, text = 0;
    for (int y = disabled.top(); y <= disabled.bottom(); ++y)
        for (int x = disabled.left(); x <= disabled.right(); ++x) {
            const QRgb px = img.pixel(x, y) & 0xFFFFFF;
            hi += px == (dd.Highlight().rgb() & 0xFFFFFF);
            shadow += px == (dd.Shadow().rgb() & 0xFFFFFF);
            text += px == (dd.Text().rgb() & 0xFFFFFF);
        }
    EXPECT_GT(hi, 10);
    EXPECT_GT(shadow, 10);
    EXPECT_EQ(text, 0);

    // The gripper: two grip lines in the classic look, one in the look 2000.
    auto gripLines = [&](const QImage& im) {
        int lines = 0;
        const int y = im.height() / 2;
        for (int x = 0; x < bar->contentsRect().left(); ++x)
            lines += (im.pixel(x, y) & 0xFFFFFF) == (dd.Highlight().rgb() & 0xFFFFFF) &&
                     (im.pixel(x + 2, y) & 0xFFFFFF) == (dd.Shadow().rgb() & 0xFFFFFF);
        return lines;
    };
    EXPECT_EQ(gripLines(img), 2);
    CKVTToolbarShared::SetLook2000(true);
    EXPECT_EQ(gripLines(testsupport::ui::Render(bar).convertToFormat(QImage::Format_RGB32)), 1);
}

TEST_F(Toolbar, SizesFollowLargeIconsAndLabels)
{
    EXPECT_EQ(bar->GetItemRect(0).size(), QSize(22, 21));
    CKVTToolbarShared::SetLargeIcons(true);
    ASSERT_TRUE(bar->LoadToolBar(9100));
    EXPECT_EQ(CKVTToolbarShared::GetCurrentButtonSize(), QSize(44, 42));
    EXPECT_EQ(bar->GetItemRect(0).size(), QSize(44, 42));

    CKVTToolBar locked;
    locked.SetLocked(true);
    locked.Layout().SetOwnSizes(QSize(20, 20), QSize(14, 14));
    EXPECT_EQ(locked.Layout().ButtonSize(), QSize(40, 40));
    CKVTToolbarShared::SetLargeIcons(false);
    EXPECT_EQ(bar->GetItemRect(0).size(), QSize(22, 21));

    bar->SetTextLabels(true);
    EXPECT_TRUE(bar->GetButton(0)->m_textBelow);
    EXPECT_EQ(bar->GetButton(0)->m_text, QStringLiteral("Nový soubor")); // the default button text
    EXPECT_TRUE(bar->Layout().LabelsTaller());
    EXPECT_EQ(bar->GetItemRect(0).height(), bar->Layout().LabelHeight());
    EXPECT_GT(bar->GetItemRect(0).left(), bar->contentsRect().left()); // a centred row
}

TEST_F(Toolbar, ButtonListRules)
{
    const int n = bar->Items().Count();
    CKVTToolbarShared::SetNonPermittedCommands({777});
    EXPECT_EQ(bar->InsertButton(std::make_unique<CKVTToolbarButton>(777, 0)), -1);
    EXPECT_EQ(bar->InsertButton(std::make_unique<CKVTToolbarButton>(778, 0), -2), -1);
    EXPECT_EQ(bar->InsertButton(std::make_unique<CKVTToolbarButton>(778, 0), n + 1), -1);
    EXPECT_EQ(bar->InsertButton(std::make_unique<CKVTToolbarButton>(778, 0), n), n);
    EXPECT_FALSE(CKVTToolbarShared::IsCommandPermitted(777));

    bar->Items().selected = 5;
    bar->SetHotButton(2);
    EXPECT_TRUE(bar->RemoveButton(2));
    EXPECT_EQ(bar->GetHotButton(), -1);
    EXPECT_EQ(bar->Items().selected, 4);
    bar->SetHotButton(6);
    EXPECT_TRUE(bar->RemoveButton(0));
    EXPECT_EQ(bar->GetHotButton(), 5);
    EXPECT_FALSE(bar->RemoveButton(100));

    EXPECT_TRUE(bar->RestoreOriginalState());
    EXPECT_EQ(bar->Items().Count(), n);

    // A missing or malformed resource: FALSE, and the bar keeps its buttons.
    EXPECT_FALSE(bar->LoadToolBar(9101));
    EXPECT_FALSE(bar->LoadToolBar(4242));
    EXPECT_EQ(bar->Items().Count(), n);
    EXPECT_EQ(bar->GetResourceId(), 9100u);
}

TEST_F(Toolbar, MenuSizesAndLockedBars)
{
    bar->SetMenuMode(true);
    CKVTToolbarShared::SetMenuSizes(QSize(-1, -1), QSize(-1, -1));
    EXPECT_EQ(bar->Layout().ColumnWidth(), CKVTToolbarShared::GetDefaultButtonSize().width());
    EXPECT_EQ(bar->Layout().RowHeight(), CKVTToolbarShared::GetDefaultButtonSize().height());
    CKVTToolbarShared::SetMenuSizes(QSize(30, 25), QSize(-1, -1));
    EXPECT_EQ(bar->Layout().ColumnWidth(), 30);
    EXPECT_EQ(bar->Layout().RowHeight(), 25);
    CKVTToolbarShared::SetMenuSizes(QSize(-1, -1), QSize(-1, -1));
    bar->SetMenuMode(false);

    // A locked bar draws from its own lists and never shows a selection.
    const int shared = CKVTToolbarShared::GetSharedImages(CKVTToolBar::IMAGES_NORMAL)->GetImageCount();
    auto* locked = new CKVTToolBar(frame);
    locked->CreateEx(frame, 0x830, 0x50002834, QMargins(1, 1, 1, 1), 0xE830);
    ASSERT_TRUE(locked->LoadToolBar(1017, 0, 0, 0, true));
    EXPECT_EQ(locked->OwnImages(CKVTToolBar::IMAGES_NORMAL).GetImageCount(), 11);
    EXPECT_EQ(CKVTToolbarShared::GetSharedImages(CKVTToolBar::IMAGES_NORMAL)->GetImageCount(), shared);
    locked->resize(400, 30);
    locked->AdjustLayout();
    const QImage before = testsupport::ui::Render(locked);
    CKVTToolbarShared::SetCustomizeMode(true);
    locked->Items().selected = 0;
    const QImage during = testsupport::ui::Render(locked);
    CKVTToolbarShared::SetCustomizeMode(false);
    EXPECT_EQ(before, during);
}

TEST(ToolbarStatics, RarelyUsedAndFrameworkCommands)
{
    EXPECT_TRUE(IsFrameworkCommand(ID_FILE_MRU_FIRST));
    EXPECT_TRUE(IsFrameworkCommand(61935));
    EXPECT_TRUE(IsFrameworkCommand(ID_VERB_LAST));
    EXPECT_TRUE(IsFrameworkCommand(65280));
    EXPECT_FALSE(IsFrameworkCommand(ID_FILE_NEW));
    auto& usage = CKVTCommandUsage::Instance();
    usage.Reset();
    EXPECT_FALSE(CKVTToolbarShared::IsCommandRarelyUsed(ID_PROJECT_BUILD)); // no basic commands: nothing is rarely used
    CKVTToolbarShared::SetBasicCommands({1});
    for (int i = 0; i < 94; ++i)
        usage.AddCommand(33000);
    for (int i = 0; i < 6; ++i)
        usage.AddCommand(ID_PROJECT_BUILD);
    usage.AddCommand(ID_FILE_MRU_FIRST); // a framework command is not counted
    EXPECT_EQ(usage.Total(), 100u);
    EXPECT_TRUE(usage.IsFrequentlyUsed(ID_PROJECT_BUILD)); // 6 percent
    EXPECT_FALSE(CKVTToolbarShared::IsCommandRarelyUsed(ID_PROJECT_BUILD));
    usage.AddCommand(33000);
    usage.AddCommand(33000);
    usage.AddCommand(33000);
    usage.AddCommand(33000);
    usage.AddCommand(33000); // 6 of 105: 5 percent
    EXPECT_TRUE(CKVTToolbarShared::IsCommandRarelyUsed(ID_PROJECT_BUILD));
    CKVTToolbarShared::SetBasicCommands({});
    usage.Reset();
}

} // namespace
