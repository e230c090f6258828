// The frame with one view: the resource id, customisation mode, Alt.

#include "DockWorld.h"

#include "uilib/KVTMenuBar.h"
#include "res/CommandIds.h"

#include <QLineEdit>

using namespace docktest;

TEST(SdiFrame, DefaultResIdViewCustomisationAndAlt)
{
    auto app = std::make_unique<ui::Application>();
    {
        CKVTFrameWnd frame;
        std::vector<uint32_t> ran;
        frame.MapCommand(ID_FILE_OPEN, [&] { ran.push_back(ID_FILE_OPEN); });
        ASSERT_TRUE(frame.LoadFrame(128, 0));
        EXPECT_EQ(frame.GetDefaultResId(), 128u);
        frame.EnableDocking(ui::CBRS_ALIGN_ANY);
        auto* view = new QLineEdit;
        frame.SetView(view);
        auto* bar = new CKVTMenuBar(&frame);
        bar->Create(&frame, 0x50402808 | 0x34, 0xE81A);
        frame.DockControlBar(bar, ui::DOCKBAR_TOP);
        frame.resize(500, 300);
        frame.show();
        EXPECT_EQ(view->parentWidget(), frame.Helper().Client());
        EXPECT_GT(view->geometry().top(), 0);

        CKVTToolbarShared::SetCustomizeMode(true);
        EXPECT_FALSE(ui::SendCommand(ID_FILE_OPEN));
        CKVTToolbarShared::SetCustomizeMode(false);
        EXPECT_TRUE(ui::SendCommand(ID_FILE_OPEN));
        EXPECT_EQ(ran.size(), 1u);

        frame.activateWindow();
        QApplication::setActiveWindow(&frame);
        view->setFocus();
        QTest::keyPress(view, Qt::Key_Alt, Qt::AltModifier);
        QTest::keyRelease(view, Qt::Key_Alt, Qt::NoModifier);
        WaitFor([&] { return bar->hasFocus(); }, 2000, "the menu bar has the focus");
        CKVTOleIPFrameWnd ip;
        ASSERT_TRUE(ip.LoadFrame(129, 0));
        EXPECT_EQ(ip.GetDefaultResId(), 129u);
    }
    app.reset();
}
