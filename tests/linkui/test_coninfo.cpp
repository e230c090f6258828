// The connection monitor on a link to the simulator with traffic.
#include "link/ui/ConInfoDlg.h"
#include "tests/support/ui/LinkTraffic.h"
#include "tests/support/ui/UiTest.h"

#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <QTimer>

using namespace testsupport::ui;
using linkui::CConInfoDlg;

TEST(ConInfoDlg, CountersRatesGraphIntervalAndStop)
{
    LinkTraffic t;
    ASSERT_TRUE(t.sim);
    CConInfoDlg dlg;
    dlg.resize(600, 400);
    dlg.show();
    auto* tabs = FindChild<QTabWidget>(&dlg, "c11000");
    ASSERT_EQ(tabs->count(), 3);
    EXPECT_EQ(tabs->tabText(0), QStringLiteral("Tabulka"));
    EXPECT_EQ(tabs->tabText(2), QStringLiteral("Nastavení grafu"));

    auto* interval = FindChild<QLineEdit>(dlg.SetupPage(), "c11047");
    interval->setText(QStringLiteral("150"));
    ASSERT_TRUE(dlg.StartRefresh(&t.link));
    EXPECT_EQ(dlg.Interval(), 150);
    EXPECT_TRUE(dlg.Timer()->isActive());
    ASSERT_TRUE(WaitFor([&] { return dlg.Model().SampleCount() >= 3; }, 10000, "three samples"));
    EXPECT_GT(dlg.StatPage()->Value(1027).toLongLong(), 0);
    EXPECT_GT(dlg.StatPage()->Value(1038).toLongLong(), 0); // SendByteRate
    EXPECT_GT(FindChild<QLabel>(dlg.SetupPage(), "c11031")->text().toInt(), 0);

    tabs->setCurrentIndex(1);
    PumpEvents(50);
    const QImage before = Render(dlg.GraphPage());
    const int samples = dlg.Model().SampleCount();
    ASSERT_TRUE(WaitFor([&] { return dlg.Model().SampleCount() >= samples + 2; }, 10000, "more samples"));
    PumpEvents(50);
    EXPECT_NE(Render(dlg.GraphPage()), before);
    // The send series (red) is drawn.
    EXPECT_GT(CountColor(Render(dlg.GraphPage()), dlg.GraphPage()->rect(), QColor(255, 0, 0)), 0);

    // The interval applies at the next tab change; texts that are no
    // number keep it, and it is at least 100 ms.
    interval->setText(QStringLiteral("40"));
    EXPECT_EQ(dlg.Interval(), 150);
    tabs->setCurrentIndex(2);
    EXPECT_EQ(dlg.Interval(), 100);
    EXPECT_EQ(dlg.Timer()->interval(), 100);
    interval->setText(QStringLiteral("rychle"));
    tabs->setCurrentIndex(0);
    EXPECT_EQ(dlg.Interval(), 100);

    // Samples come from the timer only: stopped, it adds none.
    dlg.StopRefresh();
    EXPECT_FALSE(dlg.Timer()->isActive());
    const int kept = dlg.Model().SampleCount();
    PumpEvents(0);
    EXPECT_EQ(dlg.Model().SampleCount(), kept); // kept across stop and start
    ASSERT_TRUE(dlg.StartRefresh(&t.link));
    EXPECT_EQ(dlg.Model().SampleCount(), kept);
    dlg.StopRefresh();
}
