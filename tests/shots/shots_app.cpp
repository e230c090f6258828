// The program's own windows: the main frame with a PLC source, a binary
// file in the hex view, the project explorer with its context menu, and
// the project settings on each page.
#include "Shot.h"

#include "app/StrandworkApp.h"
#include "projectui/KXPExplorerView.h"
#include "projectui/StrandworkDoc.h"
#include "mainwnd/AppBar.h"
#include "mainwnd/MainFrame.h"
#include "mainwnd/OutputCtrl.h"
#include "platform/sys/Registry.h"
#include "tests/support/ui/StandInApp.h"
#include "tests/support/ui/UiTest.h"
#include "uilib/KVTPopupMenu.h"

#include <QTreeWidget>

using namespace testsupport::ui;

namespace {

QString Fixture(const char* name) { return QString::fromLocal8Bit(qgetenv("SW_FIXTURES")) + QLatin1Char('/') + QLatin1String(name); }

} // namespace

// The main frame stand-in with a PLC source and a line in the output pane.
TEST(Shots, MainFrame)
{
    StandInApp s;
    ASSERT_TRUE(s.Start());
    s.Frame()->GetOutputCtrl()->AppendText(u"Překlad: 0 chyb, 0 varování\r\n");
    shots::Take(s.Frame(), QStringLiteral("main-frame"));
}

TEST(Shots, HexView)
{
    StandInApp s;
    ASSERT_TRUE(s.Start());
    ASSERT_NE(s.app->OpenDocumentFile(Fixture("plcviews/sample.bin")), nullptr);
    shots::Take(s.Frame(), QStringLiteral("hex-view"));
}

namespace {

// The program on the build fixture's project with a header and two
// support files, the explorer docked on the left and a header selected.
class Explorer : public ProjectAppTest
{
protected:
    CKXPExplorerView* view = nullptr;

    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(OpenProject());
        view = qobject_cast<CKXPExplorerView*>(bar->View());
        ASSERT_NE(view, nullptr);
        frame->DockControlBar(bar, ui::DOCKBAR_LEFT);
        frame->RecalcLayout();
        QWidget* top = view->Tree()->window();
        top->activateWindow();
        QApplication::setActiveWindow(top);
        view->Tree()->setFocus();
        view->Tree()->setCurrentItem(view->GroupItem(8)->child(0));
    }
    void TearDown() override
    {
        while (CKVTPopupMenu* p = CKVTPopupMenu::ActivePopup())
            p->CloseChain();
        app->CloseProject(true);
        PumpEvents(0);
        app.reset();
        sys::RegistryStore::Reset();
    }
};

} // namespace

TEST_F(Explorer, Tree)
{
    shots::Take(frame, QStringLiteral("explorer"));
}

TEST_F(Explorer, ContextMenu)
{
    view->ContextMenuForSelection();
    ASSERT_TRUE(WaitFor([] { return CKVTPopupMenu::ActivePopup() && CKVTPopupMenu::ActivePopup()->isVisible(); },
                        5000, "the context menu"));
    shots::Take(frame, QStringLiteral("explorer-menu"));
}
