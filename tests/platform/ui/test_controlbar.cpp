// The control-bar base, the toolbar description parser and the frame's
// message text.

#include "platform/ui/App.h"
#include "platform/ui/ControlBar.h"
#include "platform/ui/Menu.h"
#include "platform/ui/StatusBar.h"
#include "platform/ui/ToolbarResource.h"
#include "res/CommandIds.h"

#include <gtest/gtest.h>

namespace {

TEST(ControlBar, StyleOwnerAndInsets)
{
    ui::MainFrameBase frame;
    QWidget holder(&frame);
    QWidget other;
    auto* barp = new ui::ControlBar;
    ui::ControlBar& bar = *barp;
    ASSERT_TRUE(bar.Create(&holder, 0x50402834 | ui::CBRS_BORDER_LEFT, 0xE800));
    EXPECT_EQ(bar.GetBarStyle(), 0x00402934u);
    EXPECT_EQ(bar.GetDlgCtrlID(), 0xE800u);
    EXPECT_EQ(bar.GetOwner(), &frame);
    EXPECT_FALSE(bar.isHidden());
    bar.setParent(&other);
    EXPECT_EQ(bar.GetOwner(), &frame);

    bar.SetBorders(1, 2, 3, 4);
    // Horizontal: border bits (left 2, bottom 2), sizes, gripper 7 at the left.
    EXPECT_EQ(bar.CalcInsideRect(QRect(0, 0, 100, 50), true), QRect(QPoint(2 + 1 + 7, 2), QPoint(99 - 3, 49 - 2 - 4)));
    EXPECT_EQ(bar.contentsMargins(), QMargins(10, 2, 3, 6));
    // Vertical: the left and right sizes go to the top and bottom; gripper at the top.
    EXPECT_EQ(bar.CalcInsideRect(QRect(0, 0, 100, 50), false), QRect(QPoint(2 + 2, 1 + 7), QPoint(99 - 4, 49 - 2 - 3)));
    bar.SetBarStyle(bar.GetBarStyle() | ui::CBRS_FLOATING);
    EXPECT_EQ(bar.CalcInsideRect(QRect(0, 0, 100, 50), true).left(), 3);

    EXPECT_EQ(bar.CalcFixedLayout(true, true), QSize(32767, 0));
    EXPECT_EQ(bar.CalcFixedLayout(true, false), QSize(0, 32767));
    EXPECT_EQ(bar.CalcFixedLayout(false, true), QSize(0, 0));
    EXPECT_EQ(bar.CalcDynamicLayout(-1, ui::LM_STRETCH | ui::LM_HORZ), QSize(32767, 0));

    ui::ControlBar hidden;
    hidden.Create(&holder, ui::CBRS_ALIGN_TOP, 1);
    EXPECT_TRUE(hidden.isHidden());
}

TEST(ToolbarResource, ParsesAndRefuses)
{
    QString error;
    auto tb = ui::ToolbarResource::Parse("# c\nTOOLBAR 16 15\n  BUTTON 57600\n  SEPARATOR\n  BUTTON 1\nEND\n", &error);
    ASSERT_NE(tb, nullptr) << qPrintable(error);
    EXPECT_EQ(tb->version, 1);
    EXPECT_EQ(tb->width, 16);
    EXPECT_EQ(tb->height, 15);
    EXPECT_EQ(tb->ids, (std::vector<uint32_t>{ID_FILE_NEW, 0, 1}));
    for (const char* bad : {"TOOLBAR 16 15\nBUTTON 1\n", "TOOLBAR 0 15\nEND\n", "TOOLBAR 16 15\nBUTTON x\nEND\n",
                            "TOOLBAR 16 15\nICON 1\nEND\n", "BUTTON 1\nEND\n", "TOOLBAR 16 15\nEND\nBUTTON 1\n"}) {
        error.clear();
        EXPECT_EQ(ui::ToolbarResource::Parse(bad, &error), nullptr) << bad;
        EXPECT_FALSE(error.isEmpty());
    }
    EXPECT_EQ(ui::ToolbarResource::Load(424242, &error), nullptr);
    EXPECT_TRUE(error.contains(QStringLiteral("424242")));
}

TEST(MainFrame, SetMessageText)
{
    ui::SetCommandPromptSource([](uint32_t id) { return id == 100 ? QStringLiteral("Otevře\nOtevřít") : QString(); });
    ui::MainFrameBase frame;
    frame.SetMessageText(100); // without a status bar nothing happens
    ui::StatusBar* sb = frame.CreateStatusBar({0});
    frame.SetMessageText(100);
    EXPECT_EQ(sb->MessageText(), QStringLiteral("Otevře"));
    frame.SetMessageText(0xE001);
    EXPECT_EQ(sb->MessageText(), sb->IdleText());
    frame.SetMessageText(100);
    frame.SetMessageText(101); // no prompt: the pane shows nothing of the old one
    EXPECT_NE(sb->MessageText(), QStringLiteral("Otevře"));
    ui::SetCommandPromptSource(nullptr);
}

} // namespace
