// The connection monitor on a link to the simulator with traffic, on each
// of its tabs.
#include "Shot.h"

#include "link/ui/ConInfoDlg.h"
#include "tests/support/ui/LinkTraffic.h"
#include "tests/support/ui/UiTest.h"

#include <QLineEdit>
#include <QTabWidget>

using namespace testsupport::ui;
using linkui::CConInfoDlg;

// Forty samples at 100 ms give the graph some history.
TEST(Shots, ConnectionMonitor)
{
    LinkTraffic t;
    ASSERT_TRUE(t.sim);
    CConInfoDlg dlg;
    dlg.resize(640, 360);
    dlg.show();
    FindChild<QLineEdit>(dlg.SetupPage(), "c11047")->setText(QStringLiteral("100"));
    ASSERT_TRUE(dlg.StartRefresh(&t.link));
    ASSERT_TRUE(WaitFor([&] { return dlg.Model().SampleCount() >= 40; }, 20000, "forty samples"));
    dlg.StopRefresh();
    const char* names[] = {"connection-table", "connection-graph", "connection-graph-setup"};
    for (int tab = 0; tab < 3; ++tab) {
        dlg.Tabs()->setCurrentIndex(tab);
        shots::Take(&dlg, QString::fromLatin1(names[tab]));
    }
}
