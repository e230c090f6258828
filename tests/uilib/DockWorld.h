#pragma once
// A library MDI frame with the menu bar over test menu 9200 and the two
// program toolbars (resources 1 and 1017), docked at the top.

#include "platform/ui/BarStyle.h"
#include "uilib/KVTDocking.h"
#include "uilib/KVTFrameWnd.h"
#include "uilib/KVTMenuBar.h"
#include "uilib/KVTToolBar.h"

#include "tests/support/ui/UiTest.h"

#include <QApplication>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace docktest {

using namespace testsupport::ui;

class DockWorld : public ::testing::Test
{
protected:
    std::unique_ptr<CKVTMDIFrameWnd> frame;
    CKVTMenuBar* menuBar = nullptr;
    CKVTToolBar* mainBar = nullptr;
    CKVTToolBar* debugBar = nullptr;

    void Build(CKVTMDIFrameWnd* f = nullptr)
    {
        frame.reset(f ? f : new CKVTMDIFrameWnd);
        frame->setGeometry(100, 100, 1100, 600);
        ASSERT_TRUE(frame->LoadFrame(9200, 0));
        frame->EnableDocking(ui::CBRS_ALIGN_ANY);
        menuBar = new CKVTMenuBar(frame.get());
        menuBar->Create(frame.get(), 0x50402808 | 0x34, 0xE81A);
        menuBar->setWindowTitle(QStringLiteral("Menu"));
        menuBar->EnableDocking(ui::CBRS_ALIGN_ANY);
        frame->DockControlBar(menuBar, ui::DOCKBAR_TOP);
        mainBar = MakeBar(0xE800, 1, QStringLiteral("Standard"));
        debugBar = MakeBar(0xE824, 1017, QStringLiteral("Debug"));
        frame->DockControlBar(mainBar, ui::DOCKBAR_TOP);
        frame->DockControlBarLeftOf(debugBar, mainBar);
        frame->show();
        frame->RecalcLayout();
        QApplication::processEvents();
    }

    CKVTToolBar* MakeBar(uint32_t id, uint32_t resource, const QString& title)
    {
        auto* bar = new CKVTToolBar(frame.get());
        bar->CreateEx(frame.get(), 0x830, 0x50402834 | ui::CBRS_SIZE_DYNAMIC, QMargins(1, 1, 1, 1), id);
        EXPECT_TRUE(bar->LoadToolBar(resource));
        bar->setWindowTitle(title);
        bar->EnableDocking(ui::CBRS_ALIGN_ANY);
        return bar;
    }

    CKVTToolDockBar* Site(uint32_t id) { return frame->Helper().Site(id); }

    static QPoint Global(QWidget* w, QPoint local) { return w->mapToGlobal(local); }

    // A drag with the left button from a point of w to a global point.
    void DragTo(QWidget* w, QPoint local, QPoint global, Qt::KeyboardModifiers mods = {}, bool release = true)
    {
        QTest::mousePress(w, Qt::LeftButton, mods, local);
        for (int i = 1; i <= 4; ++i) {
            const QPoint g = Global(w, local) + (global - Global(w, local)) * i / 4;
            QMouseEvent move(QEvent::MouseMove, w->mapFromGlobal(g), g, Qt::NoButton, Qt::LeftButton, mods);
            QApplication::sendEvent(w, &move);
        }
        if (release) {
            QMouseEvent up(QEvent::MouseButtonRelease, w->mapFromGlobal(global), global, Qt::LeftButton,
                           Qt::NoButton, mods);
            QApplication::sendEvent(QWidget::mouseGrabber() ? QWidget::mouseGrabber() : w, &up);
        }
    }

    void TearDown() override
    {
        frame.reset();
        CKVTToolbarShared::SetCustomizeMode(false);
        CKVTToolbarShared::SetLargeIcons(false);
    }
};

} // namespace docktest
