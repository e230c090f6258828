#pragma once
// A library MDI frame for the customisation sheet: the menu bar over test
// menu 9401 (with "&Uložit\tCtrl+S" and the recent-file item), an
// accelerator table, the status bar, a closable toolbar and one that may not
// be closed, two templates with shared menus (9404, 9405), a context-menu
// manager with two menus, the keyboard manager and the workspace.

#include "platform/sys/Registry.h"
#include "platform/ui/Accel.h"
#include "platform/ui/BarStyle.h"
#include "platform/ui/Document.h"
#include "platform/ui/Prompt.h"
#include "platform/ui/StatusBar.h"
#include "res/CommandIds.h"
#include "uilib/KVTCommandUsage.h"
#include "uilib/KVTContextMenuManager.h"
#include "uilib/KVTDocking.h"
#include "uilib/KVTFrameWnd.h"
#include "uilib/KVTMenuBar.h"
#include "uilib/KVTMenuButtonCache.h"
#include "uilib/KVTOptionsPage.h"
#include "uilib/KVTPopupMenu.h"
#include "uilib/KVTToolBar.h"
#include "uilib/KVTToolbarCustomize.h"
#include "uilib/KVTToolbarsPage.h"
#include "uilib/KVTWorkspace.h"

#include "tests/support/ui/UiTest.h"

#include <QApplication>
#include <QMdiArea>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace customizetest {

using namespace testsupport::ui;

class TestFrame : public CKVTMDIFrameWnd
{
public:
    std::vector<bool> modes;                       // OnToolbarCustomize
    std::vector<std::pair<int, QWidget*>> helps;   // OnToolbarCustomizeHelp
    std::vector<uint32_t> ran;
    TestFrame()
    {
        for (uint32_t id : {ID_FILE_OPEN, ID_FILE_SAVE, ID_FILE_CLOSE, ID_PROJECT_BUILD})
            MapCommand(id, [this, id] { ran.push_back(id); });
        MapCommand(ID_VIEW_CUSTOMIZE, [this] { CKVTToolbarCustomize::OpenForFrame(this); });
    }
    void OnToolbarCustomize(bool mode) override { modes.push_back(mode); }
    void OnToolbarCustomizeHelp(int page, QWidget* sheet) override { helps.emplace_back(page, sheet); }
};

class CustomizeWorld : public ::testing::Test
{
protected:
    std::unique_ptr<ui::Application> app;
    std::unique_ptr<CKVTWorkspace> workspace;
    TestFrame* frame = nullptr;
    CKVTMenuBar* menuBar = nullptr;
    CKVTToolBar* mainBar = nullptr;
    CKVTToolBar* debugBar = nullptr;
    ui::DocTemplate* tmplA = nullptr;
    ui::DocTemplate* tmplB = nullptr;

    void SetUp() override
    {
        CKVTToolbarShared::Options() = KvtToolbarOptions();
        CKVTToolbarShared::Options().menuShadows = false;
        CKVTToolbarShared::Options().menuAnimation = 0;
        Start();
    }

    // The program's start: managers, templates, the frame and its bars, the stored state.
    void Start(bool contextMenus = true, bool keyboard = true, bool accelerators = true)
    {
        app = std::make_unique<ui::Application>();
        workspace = std::make_unique<CKVTWorkspace>();
        if (contextMenus) {
            workspace->InitContextMenuManager();
            CKVTContextMenuManager::Instance()->AddMenu(QStringLiteral("Text"), 9406);
            CKVTContextMenuManager::Instance()->AddMenu(QStringLiteral("Výstup"), 9407);
        }
        if (keyboard)
            workspace->InitKeyboardManager();
        for (uint32_t id : {9404u, 9405u})
            app->AddDocTemplate(std::make_unique<ui::DocTemplate>(
                id, QStringLiteral("\nDok%1\nDok\nDok (*.dok)\n.dok\nDok.Document\nDokument %1\n").arg(id),
                [] { return new ui::Document; }, [] { return new ui::ChildFrame; }, [] { return new ui::View; }));
        tmplA = app->Documents().Template(0);
        tmplB = app->Documents().Template(1);
        frame = new TestFrame;
        app->SetMainWnd(frame);
        frame->setGeometry(100, 100, 1000, 600);
        if (accelerators)
            frame->SetAccelerators(std::make_unique<ui::AccelTable>(
                std::vector<ui::Accel>{{ui::FVIRTKEY | ui::FCONTROL, 'S', ID_FILE_SAVE}}));
        frame->CreateStatusBar({0});
        ASSERT_TRUE(frame->LoadFrame(9401, 0));
        for (ui::DocTemplate* t : {tmplA, tmplB})
            t->SetMdiArea(frame->MdiArea());
        frame->EnableDocking(ui::CBRS_ALIGN_ANY);
        menuBar = new CKVTMenuBar(frame);
        menuBar->Create(frame, 0x50402808 | 0x34, 0xE81A);
        menuBar->SetMenuResourceId(9401);
        menuBar->setWindowTitle(QStringLiteral("Menu"));
        menuBar->EnableDocking(ui::CBRS_ALIGN_ANY);
        frame->Helper().SetMenuBar(menuBar);
        menuBar->CreateFromMenu(frame->GetDefaultMenu(), true);
        frame->DockControlBar(menuBar, ui::DOCKBAR_TOP);
        mainBar = MakeBar(0xE800, 1, QStringLiteral("Standard"));
        debugBar = MakeBar(0xE824, 1017, QStringLiteral("Debug"));
        debugBar->SetNoClose(true);
        frame->DockControlBar(mainBar, ui::DOCKBAR_TOP);
        frame->DockControlBarLeftOf(debugBar, mainBar);
        frame->InitUserToolbars(nullptr, 0xE830, 0xE839);
        workspace->LoadState(nullptr, &frame->Helper());
        frame->show();
        frame->RecalcLayout();
        QApplication::processEvents();
    }

    // Closing the frame saves the workspace (the program's end).
    void Stop()
    {
        if (frame) {
            frame->close();
            delete frame;
            frame = nullptr;
        }
        workspace.reset();
        app.reset();
        CKVTToolbarShared::SetCustomizeMode(false);
        CKVTMenuButtonCache::Instance().RemoveAll();
        CKVTCommandImageMap::Instance().RemoveAll();
        CKVTToolbarStore::ClearStateKeyRecord();
    }
    void Restart()
    {
        Stop();
        CKVTToolbarShared::Options() = KvtToolbarOptions();
        Start();
    }

    CKVTToolBar* MakeBar(uint32_t id, uint32_t resource, const QString& title)
    {
        auto* bar = new CKVTToolBar(frame);
        bar->CreateEx(frame, 0x830, 0x50402834 | ui::CBRS_SIZE_DYNAMIC, QMargins(1, 1, 1, 1), id);
        EXPECT_TRUE(bar->LoadToolBar(resource));
        bar->setWindowTitle(title);
        bar->EnableDocking(ui::CBRS_ALIGN_ANY);
        return bar;
    }

    // The program's customise command.
    CKVTToolbarCustomize* OpenSheet(uint32_t flags = 0xFFFF,
                                    const std::vector<CKVTToolbarCustomize::PageFactory>& pages = {})
    {
        auto* sheet = new CKVTToolbarCustomize(frame, true, flags, pages);
        sheet->EnableUserDefinedToolbars(true);
        EXPECT_TRUE(sheet->Create());
        QApplication::processEvents();
        return sheet;
    }
    static QStringList Tabs(CKVTToolbarCustomize* sheet)
    {
        QStringList out;
        for (int i = 0; i < sheet->GetPageCount(); ++i)
            out << sheet->GetPage(i)->windowTitle();
        return out;
    }
    // Activates a page of the sheet by its title.
    template <class P>
    P* ShowPage(CKVTToolbarCustomize* sheet, const QString& title)
    {
        for (int i = 0; i < sheet->GetPageCount(); ++i)
            if (sheet->GetPage(i)->windowTitle() == title) {
                sheet->SetActivePage(i);
                return dynamic_cast<P*>(sheet->GetPage(i));
            }
        ADD_FAILURE() << "no page " << title.toStdString();
        return nullptr;
    }

    void TearDown() override
    {
        while (CKVTPopupMenu* p = CKVTPopupMenu::ActivePopup())
            p->CloseChain();
        if (QWidget* sheet = CKVTFrameHelper::CustomizeSheet())
            sheet->close();
        QApplication::processEvents();
        Stop();
        CKVTCommandUsage::Instance().Reset();
        CKVTMenuPage::LastContextMenuPos() = QPoint(-1, -1);
    }
};

} // namespace customizetest
