#pragma once
// The docking bars' fixture: a library frame (1000 by 600 at 100, 100,
// docking on every side, shown) with the output bar, its fonts registered
// under "OutputWindow", and the connection bar.

#include "link/ui/ConInfoDlg.h"
#include "mainwnd/AppBar.h"
#include "mainwnd/OutputCtrl.h"
#include "fontcolor/FontColorPage.h"
#include "platform/ui/App.h"
#include "tests/mainwnd/mainwnd_env.h"
#include "uilib/KVTFrameWnd.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <memory>

namespace mainwndtest {

class AppBars : public RegistryTest
{
protected:
    std::unique_ptr<ui::Application> app;
    std::unique_ptr<CKVTMDIFrameWnd> frame;
    CFontColorPage registry;
    COutputBar* output = nullptr;
    CConInfoBar* connection = nullptr;

    // withApp: with an application object of its own.
    void Build(bool withApp = true)
    {
        if (withApp)
            app = std::make_unique<ui::Application>();
        COutputCtrl::RegisterFonts(QStringLiteral("OutputWindow"), QStringLiteral("Okno výstupu"),
                                   &registry);
        frame = std::make_unique<CKVTMDIFrameWnd>();
        frame->setGeometry(100, 100, 1000, 600);
        ASSERT_TRUE(frame->LoadFrame(1, 0));
        frame->EnableDocking(ui::CBRS_ALIGN_ANY);
        frame->show();
        output = new COutputBar;
        ASSERT_TRUE(output->CreateBar(frame.get(), 0x10034, 0x8000E81E, 0xE822, &registry,
                                      QStringLiteral("OutputWindow")));
        output->EnableDocking(ui::CBRS_ALIGN_ANY);
        connection = new CConInfoBar;
        ASSERT_TRUE(connection->CreateBar(frame.get(), 0x10034, 0, 0xE823));
        frame->RecalcLayout();
        QApplication::processEvents();
    }
    void TearDown() override
    {
        CAppBar::SetMenuHook(nullptr);
        frame.reset();
        app.reset();
        RegistryTest::TearDown();
    }
};

} // namespace mainwndtest
