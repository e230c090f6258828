// The workspace: a restart keeps the frame's layout; bad or stale stored
// layouts give the frame's own; the managers and the view double-click.

#include "DockWorld.h"

#include <QCloseEvent>

#include "platform/sys/Registry.h"
#include "platform/ui/Beep.h"
#include "platform/ui/Menu.h"
#include "res/CommandIds.h"
#include "uilib/KVTPopupMenu.h"
#include "uilib/KVTRegistryKey.h"
#include "uilib/KVTSizingControlBar.h"
#include "uilib/KVTWorkspace.h"

using namespace docktest;

namespace {

// A frame that makes its bars in OnCreate, as a program's main frame does.
class WsFrame : public CKVTMDIFrameWnd
{
public:
    bool extraBar = false;
    CKVTMenuBar* menuBar = nullptr;
    CKVTToolBar* mainBar = nullptr;
    CKVTToolBar* debugBar = nullptr;
    CKVTSizingControlBar* sizing = nullptr;

protected:
    int OnCreate() override
    {
        EnableDocking(ui::CBRS_ALIGN_ANY);
        menuBar = new CKVTMenuBar(this);
        menuBar->Create(this, 0x50402808 | 0x34, 0xE81A);
        menuBar->EnableDocking(ui::CBRS_ALIGN_ANY);
        DockControlBar(menuBar, ui::DOCKBAR_TOP);
        mainBar = Make(0xE800, 1);
        debugBar = Make(0xE824, 1017);
        if (extraBar)
            Make(0xE825, 1017);
        sizing = new CKVTSizingControlBar(this);
        sizing->Create(QStringLiteral("Seznam"), this, QSize(200, 120), true, 9410);
        sizing->EnableDocking(ui::CBRS_ALIGN_ANY);
        DockControlBar(sizing, ui::DOCKBAR_BOTTOM);
        InitUserToolbars(nullptr, 0xE828, 0xE831);
        return 0;
    }

private:
    CKVTToolBar* Make(uint32_t id, uint32_t resource)
    {
        auto* bar = new CKVTToolBar(this);
        bar->CreateEx(this, 0x830, 0x50402834 | ui::CBRS_SIZE_DYNAMIC, QMargins(1, 1, 1, 1), id);
        bar->LoadToolBar(resource);
        bar->setWindowTitle(QStringLiteral("Bar %1").arg(id));
        bar->EnableDocking(ui::CBRS_ALIGN_ANY);
        DockControlBar(bar, ui::DOCKBAR_TOP);
        return bar;
    }
};

class Workspace : public ::testing::Test
{
protected:
    std::unique_ptr<ui::Application> app = std::make_unique<ui::Application>();
    std::unique_ptr<CKVTWorkspace> ws = std::make_unique<CKVTWorkspace>();
    std::unique_ptr<WsFrame> frame;

    void Start(bool extra = false)
    {
        frame = std::make_unique<WsFrame>();
        frame->extraBar = extra;
        frame->setGeometry(50, 50, 1100, 600);
        ASSERT_TRUE(frame->LoadFrame(9200, 0));
        frame->show();
        frame->RecalcLayout();
    }
    // Closes the frame (saving) and starts again from the store's file.
    void Restart(bool extra = false)
    {
        frame->close();
        frame.reset();
        ws.reset();
        ASSERT_TRUE(sys::RegistryStore::Flush());
        ASSERT_TRUE(sys::RegistryStore::Load());
        ws = std::make_unique<CKVTWorkspace>();
        Start(extra);
    }
    CKVTToolDockBar* Site(uint32_t id) { return frame->Helper().Site(id); }
    void TearDown() override
    {
        frame.reset();
        ws.reset();
        app.reset();
    }
};

} // namespace

TEST_F(Workspace, ARestartKeepsTheLayout)
{
    Start();
    frame->DockControlBar(frame->mainBar, ui::DOCKBAR_LEFT);
    frame->ShowControlBar(frame->debugBar, false, false);
    CKVTToolBar* user = frame->CreateUserToolbar(QStringLiteral("Moje"));
    ASSERT_NE(user, nullptr);
    user->InsertButton(
        std::make_unique<CKVTToolbarButton>(ID_FILE_OPEN, 0, QStringLiteral("Otevřít")));
    frame->FloatControlBar(user, QPoint(300, 250), ui::CBRS_ALIGN_TOP);
    const int buttons = frame->mainBar->Items().Count();
    frame->mainBar->RemoveButton(0);
    frame->sizing->Record().horz.cy = 180;
    Restart();
    EXPECT_EQ(frame->sizing->Record().horz.cy, 180);
    EXPECT_EQ(frame->sizing->height(), 180);
    EXPECT_EQ(frame->mainBar->parentWidget(), Site(ui::DOCKBAR_LEFT));
    EXPECT_FALSE(frame->mainBar->IsHorizontal());
    EXPECT_EQ(frame->mainBar->Items().Count(), buttons - 1);
    EXPECT_FALSE(frame->debugBar->IsVisible());
    ASSERT_EQ(frame->Helper().UserToolbars().size(), 1u);
    CKVTToolBar* back = frame->Helper().UserToolbars()[0];
    EXPECT_EQ(back->windowTitle(), QStringLiteral("Moje"));
    EXPECT_TRUE(back->IsFloating());
    ASSERT_NE(frame->Helper().MiniFrameOf(back), nullptr);
    EXPECT_EQ(frame->Helper().MiniFrameOf(back)->pos(), QPoint(300, 250));

    // After "KVTWorkspace" is deleted (at exit, once the frame closed) the
    // frame's own layout returns; the customised buttons stay.
    frame->close();
    frame.reset();
    CKVTRegistryKey().DeleteKey(CKVTWorkspace::WorkspacePath());
    Start();
    EXPECT_EQ(frame->mainBar->parentWidget(), Site(ui::DOCKBAR_TOP));
    EXPECT_TRUE(frame->debugBar->IsVisible());
    EXPECT_EQ(frame->mainBar->Items().Count(), buttons - 1);
    EXPECT_TRUE(frame->Helper().UserToolbars().empty());
}

TEST_F(Workspace, ALayoutNamingAVanishedBarOrCorruptIsIgnored)
{
    Start(true);
    frame->DockControlBar(frame->mainBar, ui::DOCKBAR_LEFT);
    const int buttons = frame->mainBar->Items().Count();
    frame->mainBar->RemoveButton(0);
    Restart(false);   // bar 0xE825 is gone
    EXPECT_EQ(frame->mainBar->parentWidget(), Site(ui::DOCKBAR_TOP));
    EXPECT_EQ(frame->mainBar->Items().Count(), buttons - 1);

    frame->DockControlBar(frame->mainBar, ui::DOCKBAR_LEFT);
    frame->close();
    // One value missing: the record is corrupt and dropped whole.
    {
        CKVTRegistryKey key;
        ASSERT_TRUE(key.Open(CKVTWorkspace::WorkspacePath() + QStringLiteral("ControlBars-Bar1")));
        ASSERT_TRUE(key.DeleteValue(QStringLiteral("MRUFloatY")));
    }
    frame.reset();
    Start();
    EXPECT_EQ(frame->mainBar->parentWidget(), Site(ui::DOCKBAR_TOP));
    // The summary is what later callers read.
    EXPECT_GT(sys::Profile::GetInt(u"KVTWorkspace\\ControlBars-Summary", u"Bars", 0), 2);
}

TEST_F(Workspace, APopupMenuBarIsNeverSavedAsABar)
{
    Start();
    const int buttons = frame->mainBar->Items().Count();
    // The popup's bar has the main toolbar's id: saving it would overwrite
    // the main toolbar's state.
    ui::Menu menu;
    menu.AppendItem(ID_FILE_OPEN, QStringLiteral("&Otevřít"));
    auto* popup = new CKVTPopupMenu;
    popup->SetDestroyMenu(false);
    ASSERT_TRUE(popup->Create(frame->MdiArea(), 100, 100, &menu, false));
    ASSERT_EQ(popup->GetMenuBar()->GetDlgCtrlID(), frame->mainBar->GetDlgCtrlID());
    for (const auto& item : frame->Helper().ToolbarMenuItems())
        EXPECT_NE(item.bar, popup->GetMenuBar());
    ws->SaveState(nullptr, &frame->Helper());
    popup->CloseChain();   // closing, not yet deleted
    ws->SaveState(nullptr, &frame->Helper());
    CKVTToolBar probe;
    probe.CreateEx(nullptr, 0x830, 0x50402834, QMargins(1, 1, 1, 1), frame->mainBar->GetDlgCtrlID());
    ASSERT_TRUE(probe.LoadState(QString(), -1, 0xFFFFFFFF));
    EXPECT_EQ(probe.Items().Count(), buttons);
    QApplication::processEvents();
}

TEST_F(Workspace, ClosingTheFrameClosesTheCustomisationSheetFirst)
{
    Start();
    class Sheet : public QWidget
    {
    protected:
        void closeEvent(QCloseEvent* e) override
        {
            sys::Profile::WriteInt(u"SheetTest", u"Closed", 1);
            CKVTToolbarShared::Options().look2000 = true;   // what the sheet stores
            QWidget::closeEvent(e);
        }
    } sheet;
    sheet.show();
    CKVTFrameHelper::SetCustomizeSheet(&sheet);
    frame->close();
    CKVTFrameHelper::SetCustomizeSheet(nullptr);
    EXPECT_FALSE(sheet.isVisible());
    CKVTRegistryKey key(false, true);
    ASSERT_TRUE(key.Open(GetRegPath(QStringLiteral("KVTToolBars")) + QStringLiteral("KVTToolbarParameters")));
    uint32_t look = 0;
    EXPECT_TRUE(key.Read(QStringLiteral("Look2000"), look));
    EXPECT_EQ(look, 1u);
    CKVTToolbarShared::Options() = KvtToolbarOptions();
}

TEST_F(Workspace, SectionNameSticks)
{
    const QString other = QStringLiteral("Other");
    ws->LoadState(&other, nullptr);
    EXPECT_EQ(ws->SectionName(), other);
    ws->SaveState(nullptr, nullptr);
    EXPECT_EQ(ws->SectionName(), other);
}

TEST(WorkspaceManagers, InitAnswersFalseForAnExistingManagerAndOnlyOwnOnesAreDeleted)
{
    CKVTMouseManager own;
    {
        CKVTWorkspace w;
        EXPECT_FALSE(w.InitMouseManager());
        EXPECT_TRUE(w.InitKeyboardManager());
        EXPECT_FALSE(w.InitKeyboardManager());
        EXPECT_NE(w.GetContextMenuManager(), nullptr);   // on demand
    }
    EXPECT_EQ(CKVTMouseManager::Instance(), &own);
    EXPECT_EQ(CKVTKeyboardManager::Instance(), nullptr);
    EXPECT_EQ(CKVTContextMenuManager::Instance(), nullptr);
}

TEST(WorkspaceManagers, ViewDoubleClickWithoutABinding)
{
    CKVTWorkspace w;
    const int beeps = ui::BeepCount();
    EXPECT_FALSE(w.OnViewDoubleClick(nullptr, 1));
    EXPECT_EQ(ui::BeepCount(), beeps);
    w.InitMouseManager();
    EXPECT_FALSE(w.OnViewDoubleClick(nullptr, 1));
    EXPECT_EQ(ui::BeepCount(), beeps + 1);
}
