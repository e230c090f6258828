// The library's MDI frame base: placement, user toolbars, the menu keys,
// customisation mode, the maximised child, clicks while a popup is open,
// presses on hosted controls and context help.

#include "DockWorld.h"

#include "platform/ui/Accel.h"
#include "platform/ui/Document.h"
#include "platform/ui/Prompt.h"
#include "res/CommandIds.h"
#include "uilib/KVTRegistryKey.h"
#include "uilib/KVTWorkspace.h"

#include <QDialog>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenuBar>
#include <QTimer>

#include "platform/ui/Menu.h"
#include "uilib/KVTPopupMenu.h"
#include "uilib/KVTToolbarButton.h"

using namespace docktest;

namespace {

class TestFrame : public CKVTMDIFrameWnd
{
public:
    std::vector<uint32_t> ran;
    std::vector<uint32_t> help; // the data of each WinHelp call
    bool WinHelp(uint32_t data, uint32_t command = 0x1) override
    {
        help.push_back(data);
        return CKVTMDIFrameWnd::WinHelp(data, command);
    }
    TestFrame()
    {
        for (uint32_t id : {ID_FILE_OPEN, ID_FILE_CLOSE})
            MapCommand(id, [this, id] { ran.push_back(id); });
        // The command of the hosting button below: with a handler the idle
        // update keeps its control enabled (a disabled one passes presses
        // on to the toolbar).
        MapCommand(9420, [] {});
        SetAccelerators(std::make_unique<ui::AccelTable>(
            std::vector<ui::Accel>{{ui::FVIRTKEY | ui::FCONTROL, 'O', ID_FILE_OPEN}}));
    }
};

class FrameTest : public DockWorld
{
protected:
    std::unique_ptr<ui::Application> app = std::make_unique<ui::Application>();
    CKVTWorkspace workspace;
    TestFrame* Frame() { return static_cast<TestFrame*>(frame.get()); }
    void TearDown() override
    {
        DockWorld::TearDown();
        app.reset();
    }
    static QString Path(const char* name) { return CKVTWorkspace::WorkspacePath() + QString::fromLatin1(name); }
};

// A click through the window system at a point of w.
void SysClick(QWidget* w, QPoint pos)
{
    QWidget* top = w->window();
    QTest::mouseClick(top->windowHandle(), Qt::LeftButton, {}, w->mapTo(top, pos));
}

void CloseAllPopups()
{
    while (CKVTPopupMenu* p = CKVTPopupMenu::ActivePopup())
        p->CloseChain();
    QApplication::processEvents();
}

// Counts the presses that reach a widget.
struct PressCounter : QObject
{
    int presses = 0;
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::MouseButtonPress)
            ++presses;
        return false;
    }
};

// A toolbar button hosting a line edit, as a combo box button does.
class HostingButton : public CKVTToolbarButton
{
public:
    explicit HostingButton(QWidget* control) : CKVTToolbarButton(9420, -1), m_control(control) {}
    QWidget* GetHwnd() const override { return m_control; }
    QSize CalculateSize(QSize def, bool) override { return QSize(120, def.height()); }
    void OnRectChanged() override
    {
        m_control->setGeometry(m_rect.adjusted(2, 2, -2, -2));
        m_control->show();
    }

private:
    QWidget* m_control;
};

} // namespace

TEST_F(FrameTest, PlacementIsStoredAndComesBackClippedOrMaximised)
{
    Build(new TestFrame);
    frame->setGeometry(10, 20, 800, 600);
    frame->close();
    CKVTRegistryKey key(false, true);
    ASSERT_TRUE(key.Open(Path("WindowPlacement")));
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(key.Read(QStringLiteral("MainWindowRect"), bytes));
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(bytes.data()), int(bytes.size())).toHex(' '),
              QByteArray("0a 00 00 00 14 00 00 00 2a 03 00 00 6c 02 00 00"));
    uint32_t show = 0;
    ASSERT_TRUE(key.Read(QStringLiteral("ShowCmd"), show));
    EXPECT_EQ(show, 1u);

    // ShowCmd 3 opens maximised.
    workspace.StoreWindowPlacement(QRect(10, 20, 400, 300), 0, 3);
    frame.reset(new TestFrame);
    ASSERT_TRUE(frame->LoadFrame(9200, 0));
    EXPECT_EQ(frame->geometry(), QRect(10, 20, 400, 300));
    frame->ActivateFrame();
    EXPECT_TRUE(frame->isMaximized());

    // Half outside the screens: clipped; wholly outside: not applied.
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    workspace.StoreWindowPlacement(QRect(screen.left() - 100, 10, 400, 300), 0, 1);
    frame.reset(new TestFrame);
    frame->setGeometry(50, 60, 300, 200);
    ASSERT_TRUE(frame->LoadFrame(9200, 0));
    EXPECT_EQ(frame->geometry(), QRect(screen.left(), 10, 300, 300));
    workspace.StoreWindowPlacement(QRect(screen.right() + 500, 10, 400, 300), 0, 1);
    frame.reset(new TestFrame);
    frame->setGeometry(50, 60, 300, 200);
    ASSERT_TRUE(frame->LoadFrame(9200, 0));
    EXPECT_EQ(frame->geometry(), QRect(50, 60, 300, 200));
}

TEST_F(FrameTest, TheEleventhUserToolbarIsRefusedAndDeletingOneRemovesItsKey)
{
    Build(new TestFrame);
    frame->InitUserToolbars(nullptr, 0xE828, 0xE831);
    std::vector<CKVTToolBar*> bars;
    for (int i = 0; i < 10; ++i)
        bars.push_back(frame->CreateUserToolbar(QStringLiteral("User %1").arg(i)));
    EXPECT_EQ(bars.back()->GetDlgCtrlID(), 0xE831u);
    EXPECT_TRUE(bars.back()->IsFloating());
    PromptScript prompts({ui::IDOK});
    EXPECT_EQ(frame->CreateUserToolbar(QStringLiteral("Too many")), nullptr);
    ASSERT_EQ(prompts.Texts().size(), 1u);
    EXPECT_EQ(prompts.Texts()[0], QStringLiteral("Nelze vytvořit více než 10 panelů nástrojů !"));
    EXPECT_EQ(frame->Helper().UserToolbars().size(), 10u);

    frame->Helper().SaveUserToolbars();
    const QString key = Path("KVTToolBar-59432");
    EXPECT_TRUE(CKVTRegistryKey(false, true).Open(key));
    EXPECT_TRUE(frame->DeleteUserToolbar(bars.front()));
    EXPECT_FALSE(CKVTRegistryKey(false, true).Open(key));
    EXPECT_FALSE(frame->DeleteUserToolbar(mainBar));
    // The freed id is the next one given.
    EXPECT_EQ(frame->CreateUserToolbar(QStringLiteral("Again"))->GetDlgCtrlID(), 0xE828u);
}

TEST_F(FrameTest, AltAloneTogglesTheMenuBarFocus)
{
    Build(new TestFrame);
    frame->activateWindow();
    QApplication::setActiveWindow(frame.get());
    frame->MdiArea()->setFocus();
    QTest::keyPress(frame->MdiArea(), Qt::Key_Alt, Qt::AltModifier);
    QTest::keyRelease(frame->MdiArea(), Qt::Key_Alt, Qt::NoModifier);
    WaitFor([&] { return menuBar->hasFocus(); }, 2000, "the menu bar has the focus");
    QTest::keyPress(menuBar, Qt::Key_Alt, Qt::AltModifier);
    QTest::keyRelease(menuBar, Qt::Key_Alt, Qt::NoModifier);
    WaitFor([&] { return !menuBar->hasFocus(); }, 2000, "the focus went back");
}

TEST_F(FrameTest, CustomisationModeRefusesAcceleratorsMenuAndPostedCommands)
{
    Build(new TestFrame);
    frame->activateWindow();
    QApplication::setActiveWindow(frame.get());
    CKVTToolbarShared::SetCustomizeMode(true);
    QTest::keyClick(frame->MdiArea(), Qt::Key_O, Qt::ControlModifier);
    EXPECT_FALSE(ui::SendCommand(ID_FILE_CLOSE));
    ui::PostCommand(ID_FILE_CLOSE);
    PumpEvents(20);
    EXPECT_TRUE(Frame()->ran.empty());
    CKVTToolbarShared::SetCustomizeMode(false);
    QTest::keyClick(frame->MdiArea(), Qt::Key_O, Qt::ControlModifier);
    EXPECT_TRUE(ui::SendCommand(ID_FILE_CLOSE));
    EXPECT_EQ(Frame()->ran, (std::vector<uint32_t>{ID_FILE_OPEN, ID_FILE_CLOSE}));
}

TEST_F(FrameTest, AMaximisedChildPutsItsButtonsIntoTheMenuBarAndLosesItsFrame)
{
    Build(new TestFrame);
    auto* child = new ui::ChildFrame;
    child->setWidget(new QWidget);
    frame->MdiArea()->addSubWindow(child);
    child->show();
    frame->MdiArea()->setActiveSubWindow(child);
    child->showMaximized();
    QApplication::processEvents();
    EXPECT_TRUE(menuBar->IsMaximizeMode());
    EXPECT_GT(menuBar->CaptionButtonCount(), 0);
    EXPECT_TRUE(child->windowFlags() & Qt::FramelessWindowHint);
    child->showNormal();
    QApplication::processEvents();
    EXPECT_FALSE(menuBar->IsMaximizeMode());
    EXPECT_FALSE(child->windowFlags() & Qt::FramelessWindowHint);
    // No QMenuBar was ever made.
    EXPECT_EQ(frame->findChild<QMenuBar*>(), nullptr);
}

TEST_F(FrameTest, TheWindowMenuListsTheChildrenWithTheCurrentOneChecked)
{
    Build(new TestFrame);
    for (const char* title : {"A.plc", "B.plc"}) {
        auto* child = new ui::ChildFrame;
        child->setWidget(new QWidget);
        child->setWindowTitle(QString::fromLatin1(title));
        frame->MdiArea()->addSubWindow(child);
        child->show();
        frame->MdiArea()->setActiveSubWindow(child);
    }
    ui::Menu menu;
    menu.AppendItem(ID_WINDOW_CASCADE, QStringLiteral("&Kaskáda"));
    auto* popup = new CKVTPopupMenu;
    popup->SetDestroyMenu(false);
    ASSERT_TRUE(popup->Create(frame->MdiArea(), 200, 200, &menu, false));
    CKVTPopupMenuBar* bar = popup->GetMenuBar();
    ASSERT_EQ(bar->Items().Count(), 4);
    EXPECT_EQ(bar->GetButton(2)->m_text, QStringLiteral("&1 A.plc"));
    EXPECT_EQ(bar->GetButton(3)->m_id, 65282u);
    EXPECT_FALSE(bar->GetButton(2)->m_style & TBBS_CHECKED);
    EXPECT_TRUE(bar->GetButton(3)->m_style & TBBS_CHECKED);
    popup->CloseChain();
    QApplication::processEvents();
    // 65281 activates the first child.
    EXPECT_TRUE(frame->ExecuteCommand(65281));
    EXPECT_EQ(frame->MdiArea()->currentSubWindow()->windowTitle(), QStringLiteral("A.plc"));
}

TEST_F(FrameTest, ContextHelpWithAMissingHelpFileShows4530Once)
{
    Build(new TestFrame);
    PromptScript prompts({ui::IDOK});
    QTimer::singleShot(0, [&] {
        EXPECT_TRUE(frame->IsInHelpMode());
        QTest::mouseClick(frame->MdiArea(), Qt::LeftButton, {}, QPoint(20, 20));
    });
    EXPECT_TRUE(frame->ExecuteCommand(ID_CONTEXT_HELP));
    EXPECT_FALSE(frame->IsInHelpMode());
    ASSERT_EQ(prompts.Texts().size(), 1u);
    EXPECT_TRUE(prompts.Texts()[0].contains(QStringLiteral("nebyl nalezen")));
    EXPECT_TRUE(prompts.Texts()[0].contains(QStringLiteral(".chm")));
}

TEST_F(FrameTest, AnAcceleratorWithAPopupOpenClosesThePopupAndRunsNothing)
{
    Build(new TestFrame);
    frame->activateWindow();
    QApplication::setActiveWindow(frame.get());
    ui::Menu menu;
    menu.AppendItem(ID_FILE_CLOSE, QStringLiteral("&Zavřít"));
    auto* popup = new CKVTPopupMenu;
    popup->SetDestroyMenu(false);
    ASSERT_TRUE(popup->Create(frame->MdiArea(), 200, 200, &menu, false));
    QPointer<CKVTPopupMenu> alive(popup);
    QTest::keyClick(popup, Qt::Key_O, Qt::ControlModifier);
    QApplication::processEvents();
    EXPECT_TRUE(Frame()->ran.empty());
    EXPECT_TRUE(!alive || !alive->isVisible());
    if (alive)
        alive->CloseChain();
    QApplication::processEvents();

    // Alt with a popup open closes the chain; the menu bar keeps no focus.
    auto* again = new CKVTPopupMenu;
    again->SetDestroyMenu(false);
    ASSERT_TRUE(again->Create(frame->MdiArea(), 200, 200, &menu, false));
    QPointer<CKVTPopupMenu> open(again);
    QTest::keyPress(again, Qt::Key_Alt, Qt::AltModifier);
    QTest::keyRelease(again, Qt::Key_Alt, Qt::NoModifier);
    QApplication::processEvents();
    EXPECT_TRUE(!open || !open->isVisible());
    EXPECT_FALSE(menuBar->hasFocus());
    if (open)
        open->CloseChain();
    QApplication::processEvents();
}

TEST_F(FrameTest, KeysOfAModelessDialogNeverReachTheFrame)
{
    Build(new TestFrame);
    QDialog dialog(frame.get());
    auto* edit = new QLineEdit(&dialog);
    dialog.show();
    dialog.activateWindow();
    QApplication::setActiveWindow(&dialog);
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_O, Qt::ControlModifier);
    QTest::keyClick(edit, Qt::Key_Tab, Qt::ControlModifier);
    QTest::keyPress(edit, Qt::Key_Alt, Qt::AltModifier);
    QTest::keyRelease(edit, Qt::Key_Alt, Qt::NoModifier);
    PumpEvents(20);
    EXPECT_TRUE(Frame()->ran.empty());
    EXPECT_FALSE(menuBar->hasFocus());
}

TEST_F(FrameTest, AClickOutsideAPopupOnlyClosesItAndTheSubmenuParentKeepsItsSubmenu)
{
    Build(new TestFrame);
    frame->activateWindow();
    QApplication::setActiveWindow(frame.get());
    auto* target = new QWidget(frame->MdiArea());
    target->setGeometry(300, 100, 50, 30);
    target->show();
    PressCounter counter;
    target->installEventFilter(&counter);

    SysClick(menuBar, menuBar->GetItemRect(0).center());
    CKVTPopupMenu* popup = CKVTPopupMenu::ActivePopup();
    ASSERT_NE(popup, nullptr);
    CKVTPopupMenuBar* pb = popup->GetMenuBar();
    pb->SetHotButton(3);
    QTest::keyClick(popup, Qt::Key_Right);
    CKVTPopupMenu* sub = CKVTPopupMenu::ActivePopup();
    ASSERT_NE(sub, popup);
    EXPECT_EQ(sub->GetParentPopup(), popup);
    // A click on the open submenu's parent item keeps the submenu.
    SysClick(pb, pb->GetItemRect(3).center());
    EXPECT_EQ(CKVTPopupMenu::ActivePopup(), sub);
    EXPECT_TRUE(sub->isVisible());

    // A click outside closes the whole chain and does nothing else.
    SysClick(target, QPoint(10, 10));
    PumpEvents(20);
    EXPECT_EQ(CKVTPopupMenu::ActivePopup(), nullptr);
    EXPECT_EQ(frame->Helper().OpenPopup(), nullptr);
    EXPECT_EQ(counter.presses, 0);
    EXPECT_EQ(menuBar->Items().droppedDown, -1);
    EXPECT_TRUE(Frame()->ran.empty());
}

TEST_F(FrameTest, APressOnAHostedControlGoesToTheToolbarInCustomisationModeOrWithAlt)
{
    Build(new TestFrame);
    auto* edit = new QLineEdit(mainBar);
    mainBar->InsertButton(std::make_unique<HostingButton>(edit));
    frame->RecalcLayout();
    QApplication::processEvents();
    const int index = mainBar->Items().Count() - 1;
    ASSERT_EQ(mainBar->GetButton(index)->GetHwnd(), edit);
    const QRect rect = mainBar->GetItemRect(index);
    ASSERT_TRUE(edit->geometry().intersects(rect));
    PressCounter counter;
    edit->installEventFilter(&counter);
    const QPoint inEdit(5, edit->height() / 2);
    const QPoint inBar = edit->mapTo(mainBar, inEdit);

    // A plain press reaches the control.
    QTest::mouseClick(edit, Qt::LeftButton, {}, inEdit);
    EXPECT_EQ(counter.presses, 1);
    EXPECT_NE(mainBar->LastPressPos(), inBar);

    // With Alt held the toolbar takes it, at its own point.
    QTest::mouseClick(edit, Qt::LeftButton, Qt::AltModifier, inEdit);
    EXPECT_EQ(counter.presses, 1);
    EXPECT_EQ(mainBar->LastPressPos(), inBar);

    // In customisation mode too.
    CKVTToolbarShared::SetCustomizeMode(true);
    const QPoint other = inEdit + QPoint(3, 0);
    QTest::mouseClick(edit, Qt::LeftButton, {}, other);
    EXPECT_EQ(counter.presses, 1);
    EXPECT_EQ(mainBar->LastPressPos(), edit->mapTo(mainBar, other));
    CKVTToolbarShared::SetCustomizeMode(false);
    EXPECT_TRUE(Frame()->ran.empty());
}

TEST_F(FrameTest, ContextHelpOnAMenuOpensItAndTheChosenItemGivesItsHelp)
{
    Build(new TestFrame);
    frame->activateWindow();
    QApplication::setActiveWindow(frame.get());
    PromptScript prompts({ui::IDOK});
    bool opened = false, submenu = false;
    QTimer::singleShot(0, [&] {
        // The menu opens and help mode goes on.
        SysClick(menuBar, menuBar->GetItemRect(0).center());
        QTimer::singleShot(0, [&] {
            CKVTPopupMenu* popup = CKVTPopupMenu::ActivePopup();
            opened = popup && frame->IsInHelpMode();
            if (!popup) {
                QTest::keyClick(frame.get(), Qt::Key_Escape);
                return;
            }
            // A submenu opens as well.
            CKVTPopupMenuBar* pb = popup->GetMenuBar();
            SysClick(pb, pb->GetItemRect(3).center());
            QTimer::singleShot(0, [&, pb] {
                CKVTPopupMenu* sub = CKVTPopupMenu::ActivePopup();
                submenu = sub && sub->GetParentPopup() && frame->IsInHelpMode();
                // "&Zavřít" gives its help instead of running.
                SysClick(pb, pb->GetItemRect(4).center());
            });
        });
    });
    EXPECT_TRUE(frame->ExecuteCommand(ID_CONTEXT_HELP));
    PumpEvents(20);
    EXPECT_TRUE(opened);
    EXPECT_TRUE(submenu);
    EXPECT_FALSE(frame->IsInHelpMode());
    EXPECT_EQ(Frame()->help, std::vector<uint32_t>{0x10000 + ID_FILE_CLOSE});
    EXPECT_TRUE(Frame()->ran.empty());
    EXPECT_EQ(CKVTPopupMenu::ActivePopup(), nullptr);
    EXPECT_EQ(prompts.Texts().size(), 1u);
    CloseAllPopups();

    // A toolbar button gives its command's help at once.
    QTimer::singleShot(0, [&] { SysClick(mainBar, mainBar->GetItemRect(0).center()); });
    prompts.Add(ui::IDOK);
    EXPECT_TRUE(frame->ExecuteCommand(ID_CONTEXT_HELP));
    ASSERT_EQ(Frame()->help.size(), 2u);
    EXPECT_EQ(Frame()->help[1], 0x10000 + mainBar->GetButton(0)->m_id);
}

TEST_F(FrameTest, HelpWithDataZeroInHelpModeReentersHelpModeOnceNeverRecursively)
{
    Build(new TestFrame);
    PromptScript prompts({ui::IDOK, ui::IDOK, ui::IDOK});
    bool inner = false, recursed = false, outerStill = false, waiting = false;
    QTimer::singleShot(0, [&] {
        QTimer::singleShot(0, [&] {
            inner = frame->IsInHelpMode();
            // Data 0 once more while re-entered: help is opened, no third level.
            waiting = true;
            QTimer::singleShot(0, [&] {
                if (waiting) {
                    recursed = true;
                    QTest::keyClick(frame->MdiArea(), Qt::Key_Escape);
                }
            });
            frame->WinHelp(0);
            waiting = false;
            QTest::mouseClick(frame->MdiArea(), Qt::LeftButton, {}, QPoint(20, 20));
        });
        EXPECT_TRUE(frame->WinHelp(0)); // help mode again
        outerStill = frame->IsInHelpMode();
        QTest::mouseClick(frame->MdiArea(), Qt::LeftButton, {}, QPoint(20, 20));
    });
    EXPECT_TRUE(frame->ExecuteCommand(ID_CONTEXT_HELP));
    // The check for a third level may still be queued: it runs while the
    // flags it reads exist.
    PumpEvents();
    EXPECT_TRUE(inner);
    EXPECT_FALSE(recursed);
    EXPECT_TRUE(outerStill);
    EXPECT_FALSE(frame->IsInHelpMode());
    const uint32_t frameHelp = 0x20000 + 9200;
    EXPECT_EQ(Frame()->help, (std::vector<uint32_t>{0, 0, frameHelp, frameHelp}));
    EXPECT_EQ(prompts.Texts().size(), 3u);
}
