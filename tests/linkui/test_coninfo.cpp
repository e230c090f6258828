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

namespace {

// The pages shown one after the other: what is cut on any of them.
QStringList ClippedOnEveryPage(CConInfoDlg& dlg)
{
    QStringList out;
    for (int i = 0; i < dlg.Tabs()->count(); ++i) {
        dlg.Tabs()->setCurrentIndex(i);
        PumpEvents(0);
        out << ClippedTexts(&dlg);
    }
    dlg.Tabs()->setCurrentIndex(0);
    return out;
}

} // namespace

TEST(ConInfoDlg, EveryPageShowsWholeAtTheSizeHintAndGrowsWithTheWindow)
{
    CConInfoDlg dlg;
    dlg.resize(dlg.sizeHint());
    dlg.show();
    PumpEvents(0);
    EXPECT_EQ(ClippedOnEveryPage(dlg), QStringList());
    for (int i = 0; i < dlg.Tabs()->count(); ++i) {
        dlg.Tabs()->setCurrentIndex(i);
        PumpEvents(0);
        EXPECT_EQ(VisibleScrollBars(&dlg), QStringList()) << "page " << i;
    }
    // All three tabs show without scroll arrows.
    EXPECT_LE(dlg.Tabs()->tabBar()->sizeHint().width(), dlg.Tabs()->tabBar()->width());

    // A larger window: the tab widget, the pages and the graph take it all.
    dlg.resize(1000, 700);
    PumpEvents(0);
    EXPECT_GE(dlg.Tabs()->width(), 1000 - 30);
    EXPECT_GE(dlg.Tabs()->height(), 700 - 30);
    for (QWidget* page : {static_cast<QWidget*>(dlg.StatPage()), static_cast<QWidget*>(dlg.SetupPage())}) {
        dlg.Tabs()->setCurrentWidget(page);
        PumpEvents(0);
        auto* form = FindChild<QWidget>(page, page == dlg.StatPage() ? "D11001" : "D11004");
        ASSERT_NE(form, nullptr);
        EXPECT_EQ(form->width(), page->width());
        EXPECT_EQ(form->height(), page->height());
    }
    dlg.Tabs()->setCurrentIndex(1);
    PumpEvents(0);
    EXPECT_EQ(dlg.GraphPage()->size(), dlg.Tabs()->currentWidget()->size());
    EXPECT_GE(dlg.GraphPage()->width(), 1000 - 40);
    EXPECT_EQ(ClippedOnEveryPage(dlg), QStringList());
}

TEST(ConInfoDlg, AVerySmallMonitorScrollsItsPagesAndNeverOutgrowsItsPlace)
{
    QWidget bar;
    bar.resize(160, 110);
    auto* dlg = new CConInfoDlg(&bar);
    dlg->setGeometry(bar.rect());
    bar.show();
    PumpEvents(0);
    // It keeps the place it was given (a larger monitor would be cut by its
    // bar) and the pages scroll to what lies outside.
    EXPECT_EQ(dlg->size(), bar.size());
    EXPECT_TRUE(bar.rect().contains(dlg->Tabs()->geometry()));
    EXPECT_FALSE(VisibleScrollBars(dlg).isEmpty());
    EXPECT_EQ(ClippedTexts(&bar), QStringList());
    dlg->Tabs()->setCurrentIndex(2);
    PumpEvents(0);
    EXPECT_FALSE(VisibleScrollBars(dlg).isEmpty());
    dlg->Tabs()->setCurrentIndex(1);
    bar.resize(1, 1);
    dlg->setGeometry(bar.rect());
    PumpEvents(0);
    (void)Render(&bar); // draws at any size
    EXPECT_EQ(dlg->size(), QSize(1, 1));
}

TEST(ConInfoDlg, TheTraceOfARateLiesAtItsShareOfTheRange)
{
    // The default range of the byte series is 20,000: 10,000 B/s lies at
    // mid-height, 26 B/s on the bottom line (which is why a slow link's
    // graph looks empty).
    CConInfoDlg dlg;
    dlg.resize(dlg.sizeHint());
    dlg.show();
    dlg.Tabs()->setCurrentIndex(1);
    PumpEvents(0);
    OlnkStatistics s{};
    s.size = 120;
    s.start.dwLowDateTime = 7;
    dlg.Model().Reading(s);
    for (int i = 1; i <= 20; ++i) {
        s.ConnectionTime += 10000000; // one second
        s.SendBytes += 10000;
        s.RecBytes += 26;
        ASSERT_TRUE(dlg.Model().Reading(s).has_value());
    }
    dlg.GraphPage()->update();
    PumpEvents(0);
    const QImage img = Render(dlg.GraphPage());
    const int h = img.height(), w = img.width();
    ASSERT_GT(h, 100);
    const int mid = int((h - 3) - 10000.0 * (h - 6) / 20000.0);
    const QColor red(255, 0, 0), yellow(255, 255, 0);
    // The send series (red) runs at mid-height over the newest samples.
    EXPECT_TRUE(RectHasColor(img, QRect(w - 60, mid - 1, 50, 3), red, 20));
    EXPECT_FALSE(RectHasColor(img, QRect(w - 60, 10, 50, mid - 20), red));
    EXPECT_FALSE(RectHasColor(img, QRect(w - 60, mid + 10, 50, h - mid - 20), red));
    // The receive series (yellow) on the bottom line, drawn over the grid.
    EXPECT_TRUE(RectHasColor(img, QRect(w - 60, h - 6, 50, 4), yellow, 20));
    // The graph is whole: its frame's bottom line lies inside the page.
    EXPECT_TRUE(dlg.Tabs()->currentWidget()->rect().contains(dlg.GraphPage()->geometry()));
}
