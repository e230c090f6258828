// The connection monitor on a link to the simulator with traffic, on each
// of its tabs.
#include "Shot.h"

#include "link/linkobj/olnk_link.h"
#include "link/ui/ConInfoDlg.h"
#include "link/ui/LinkMessages.h"
#include "platform/sys/CodePage.h"
#include "tests/support/ui/UiTest.h"

#include <QLineEdit>
#include <QTabWidget>
#include <QTimer>

using namespace testsupport::ui;
using linkui::CConInfoDlg;

namespace {

// The link open to the simulator, asked for the PLC status every 20 ms.
struct Traffic
{
    std::unique_ptr<Simulator> sim = Simulator::StartUdp();
    COlnkLink link{linkui::WindowPoster()};
    QObject target;
    ui::MessageHandle handle = 0;
    QTimer pulse;
    Traffic()
    {
        if (!sim)
            return;
        const std::u16string conn = sys::Utf8ToUtf16Lenient(sim->ConnectionString());
        EXPECT_EQ(link.Open(333, conn.c_str(), 1000), 1);
        for (uint16_t id : {0, 1, 2, 258})
            link.InitInterface(id);
        link.Start();
        WaitFor([&] { return link.IsEstablished(); }, 20000, "the link");
        handle = ui::RegisterMessageTarget(&target, [](uint32_t, uintptr_t, intptr_t, ui::MessageRecord*) {
            return intptr_t(0);
        });
        auto* pl = static_cast<IOlnkPL*>(link.Query(OLNK_IID_PL));
        QObject::connect(&pulse, &QTimer::timeout, &pulse, [this, pl] { pl->GetStatus(handle, 0); });
        pulse.start(20);
    }
    ~Traffic()
    {
        pulse.stop();
        link.Close();
        if (handle)
            ui::UnregisterMessageTarget(handle);
    }
};

} // namespace

// Forty samples at 100 ms give the graph some history.
TEST(Shots, ConnectionMonitor)
{
    Traffic t;
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
