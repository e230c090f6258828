// Room for the documents in the started program: each docking bar and the
// main toolbar dragged (through the drag code) to every edge and to the
// middle, the reported bottom-row case, and stored sizes that do not fit.
// After each drop, and at the next start, the menu bar and every shown bar
// lie whole in the frame, none over another, and the document area keeps
// its least size.
#include "app/StrandworkApp.h"
#include "mainwnd/AppBar.h"
#include "mainwnd/MainFrame.h"
#include "platform/sys/Registry.h"
#include "platform/ui/Command.h"
#include "res/CommandIds.h"
#include "tests/mainwnd/mainwnd_env.h"
#include "tests/support/ui/UiTest.h"
#include "uilib/KVTDocking.h"
#include "uilib/KVTFrameHelper.h"
#include "uilib/KVTMenuBar.h"
#include "uilib/KVTToolBar.h"

#include <QApplication>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>

using namespace mainwndtest;
using namespace testsupport::ui;

namespace {

class DockRoom : public RegistryTest
{
protected:
    std::unique_ptr<CStrandworkApp> app;

    void SetUp() override { ::setenv("XDG_STATE_HOME", (dir / "state").c_str(), 1); }
    void TearDown() override
    {
        app.reset();
        ::unsetenv("XDG_STATE_HOME");
        RegistryTest::TearDown();
    }
    // The program on a text file, its frame as large as on the reported
    // 1280 x 800 desktop.
    void Start()
    {
        dir.Write("a.txt", "one\r\n");
        app = std::make_unique<CStrandworkApp>();
        app->SetArguments({QString::fromStdString(dir / "a.txt")});
        ASSERT_TRUE(app->InitInstance());
        f()->setGeometry(128, 62, 1024, 660);
        f()->show();
        QApplication::processEvents();
    }
    void Restart()
    {
        ASSERT_TRUE(f()->close());
        app.reset();
        Start();
    }
    CMainFrame* f() const { return app->MainFrame(); }
    // The rectangle the drag shows (global).
    static QRect Band()
    {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->objectName() == QLatin1String("DockDragBand") && w->isVisible())
                return w->geometry();
        return {};
    }
    static QRect Global(const QWidget* w) { return QRect(w->mapToGlobal(QPoint(0, 0)), w->size()); }
    KvtFrameClient* Client() const { return f()->Helper().Client(); }
    void Show(ui::ControlBar* bar, uint32_t command)
    {
        if (!bar->IsVisible())
            ui::SendCommand(command);
        ASSERT_TRUE(bar->IsVisible());
    }

    // A left-button drag of bar by its caption or gripper (or its floating
    // frame's caption) to a point of the frame client.
    void Drop(ui::ControlBar* bar, QPoint to, const std::function<void()>& beforeRelease = {})
    {
        QWidget* w = bar;
        QPoint local(3, bar->height() / 2);   // a toolbar's gripper
        if (CKVTMiniDockFrameWnd* mini = f()->Helper().MiniFrameOf(bar)) {
            w = mini;
            local = QPoint(20, CKVTMiniDockFrameWnd::kBorder + 4);
        } else if (auto* sizing = qobject_cast<CSizingControlBar*>(bar)) {
            const QRect caption = sizing->CaptionRect();
            local = ui::IsHorizontalSite(bar->GetDockSiteId()) ? QPoint(caption.center().x(), caption.bottom() - 20)
                                                               : QPoint(caption.left() + 20, caption.center().y());
        }
        const QPoint from = w->mapToGlobal(local);
        const QPoint global = Client()->mapToGlobal(to);
        QTest::mousePress(w, Qt::LeftButton, {}, local);
        for (int i = 1; i <= 4; ++i) {
            const QPoint g = from + (global - from) * i / 4;
            QMouseEvent move(QEvent::MouseMove, w->mapFromGlobal(g), g, Qt::NoButton, Qt::LeftButton, {});
            QApplication::sendEvent(QWidget::mouseGrabber() ? QWidget::mouseGrabber() : w, &move);
        }
        if (beforeRelease)
            beforeRelease();
        QWidget* target = QWidget::mouseGrabber() ? QWidget::mouseGrabber() : w;
        QMouseEvent up(QEvent::MouseButtonRelease, target->mapFromGlobal(global), global, Qt::LeftButton,
                       Qt::NoButton, {});
        QApplication::sendEvent(target, &up);
        QApplication::processEvents();
    }

    // The menu bar and every shown docked bar whole in its site and in the
    // client, none over another or over the documents; the documents at
    // least their least size.
    void ExpectRoom(const std::string& what)
    {
        SCOPED_TRACE(what);
        KvtFrameClient* client = Client();
        const QRect area = client->rect();
        const QRect center = client->Center()->geometry();
        const QSize least = client->LeastCenterSize();
        EXPECT_GE(least.width(), std::max(100, area.width() / 4));
        EXPECT_GE(least.height(), std::max(100, area.height() / 4));
        EXPECT_GE(center.width(), least.width());
        EXPECT_GE(center.height(), least.height());
        ASSERT_TRUE(f()->GetMenuBar()->IsVisible());
        EXPECT_EQ(f()->GetMenuBar()->GetDockSiteId(), uint32_t(ui::DOCKBAR_TOP));
        std::vector<std::pair<QString, QRect>> docked;
        for (ui::ControlBar* bar : f()->Helper().ControlBars()) {
            CKVTToolDockBar* site = f()->Helper().SiteOf(bar);
            if (!bar->IsVisible() || !site)
                continue;
            const QRect r(bar->mapTo(client, QPoint(0, 0)), bar->size());
            const QString name = bar->objectName();
            EXPECT_FALSE(r.isEmpty()) << name.toStdString();
            EXPECT_TRUE(site->rect().contains(bar->geometry())) << name.toStdString();
            EXPECT_TRUE(area.contains(r)) << name.toStdString();
            EXPECT_FALSE(r.intersects(center)) << name.toStdString();
            for (const auto& [other, o] : docked)
                EXPECT_FALSE(r.intersects(o)) << name.toStdString() << " over " << other.toStdString();
            docked.emplace_back(name, r);
        }
    }
};

} // namespace

// Every docking bar and the main toolbar dropped at each edge docks at that
// edge (a mid-height drop at the left or right edge included, where the
// bottom row lies within the bar's reach too), and dropped in the middle
// of the documents or in a corner leaves them their room; so does the next
// start.
TEST_F(DockRoom, EachBarDroppedAtEachEdgeAndInTheMiddleLeavesTheRoom)
{
    Start();
    // Points of the client at the edges of the documents' area, as it lies
    // when the bar is grabbed.
    struct Target
    {
        const char* name;
        std::function<QPoint(QRect client, QRect center)> at;
        uint32_t site;   // 0: whatever the drop gives
    };
    const Target targets[] = {
        {"left", [](QRect, QRect c) { return QPoint(4, c.center().y()); }, ui::DOCKBAR_LEFT},
        {"left high", [](QRect, QRect c) { return QPoint(4, c.top() + 10); }, ui::DOCKBAR_LEFT},
        {"right", [](QRect a, QRect c) { return QPoint(a.right() - 4, c.center().y()); }, ui::DOCKBAR_RIGHT},
        {"top", [](QRect a, QRect) { return QPoint(a.center().x(), 4); }, ui::DOCKBAR_TOP},
        {"bottom", [](QRect a, QRect) { return QPoint(a.center().x(), a.bottom() - 4); }, ui::DOCKBAR_BOTTOM},
        {"middle", [](QRect, QRect c) { return c.center(); }, 0},
        {"top left corner", [](QRect, QRect) { return QPoint(3, 3); }, 0},
        {"bottom right corner", [](QRect a, QRect) { return a.bottomRight() - QPoint(3, 3); }, 0},
    };
    struct Bar
    {
        const char* name;
        ui::ControlBar* bar;
        uint32_t command;
    };
    const Bar bars[] = {{"explorer", f()->ExplorerBar(), ID_VIEW_EXPLORER},
                        {"watch", f()->DebugBar(), ID_VIEW_WATCH},
                        {"output", f()->OutputBar(), ID_VIEW_OUTPUT},
                        {"connection", f()->ConInfoBar(), ID_VIEW_CONINFO},
                        {"main toolbar", f()->GetMainToolBar(), 0}};
    for (const Bar& b : bars) {
        for (const Target& t : targets) {
            ui::SendCommand(ID_VIEW_DEFAULT_LAYOUT);
            for (const Bar& other : bars)
                if (other.command)
                    Show(other.bar, other.command);
            QApplication::processEvents();
            Drop(b.bar, t.at(Client()->rect(), Client()->Center()->geometry()));
            const std::string what = std::string(b.name) + " dropped " + t.name;
            if (t.site) {
                EXPECT_EQ(b.bar->GetDockSiteId(), t.site) << what;
            }
            ExpectRoom(what);
        }
    }
    // The last: the main toolbar left in the middle.
    Restart();
    ExpectRoom("the next start");
}

// The reported case: the connection bar docked in the bottom row grows the
// row; hidden again it gives the room back.  The main toolbar floated and
// dropped on that row, then sizes stored larger than the frame: the room
// stays, at once and at the next start, and the stored floating sizes stay.
TEST_F(DockRoom, TheBottomRowGivesBackAHiddenBarsRoomAndAStoredLayoutIsMadeToFit)
{
    Start();
    ui::SendCommand(ID_VIEW_DEFAULT_LAYOUT);
    QApplication::processEvents();
    COutputBar* output = f()->OutputBar();
    CConInfoBar* monitor = f()->ConInfoBar();
    CKVTToolDockBar* bottom = f()->Helper().Site(ui::DOCKBAR_BOTTOM);
    const int rowBefore = bottom->height();
    const QSize outputBefore = output->size();
    Show(monitor, ID_VIEW_CONINFO);
    ASSERT_NE(f()->Helper().MiniFrameOf(monitor), nullptr);
    const QSize monitorFloat = monitor->FloatSize();
    Drop(monitor, output->mapTo(Client(), output->rect().center()));
    ASSERT_EQ(f()->Helper().SiteOf(monitor), bottom);
    EXPECT_EQ(bottom->RowAndPos(monitor).first, bottom->RowAndPos(output).first);
    EXPECT_GT(bottom->height(), rowBefore);
    ExpectRoom("the connection bar in the bottom row");

    ui::SendCommand(ID_VIEW_CONINFO);
    QApplication::processEvents();
    EXPECT_FALSE(monitor->IsVisible());
    EXPECT_EQ(bottom->height(), rowBefore);
    EXPECT_EQ(output->height(), outputBefore.height());

    CKVTToolBar* toolbar = f()->GetMainToolBar();
    QTest::mouseDClick(toolbar, Qt::LeftButton, {}, QPoint(3, toolbar->height() / 2));
    QApplication::processEvents();
    ASSERT_NE(f()->Helper().MiniFrameOf(toolbar), nullptr);
    Drop(toolbar, output->mapTo(Client(), output->rect().center()));
    EXPECT_EQ(f()->Helper().SiteOf(toolbar), bottom);
    ExpectRoom("the main toolbar dropped on the bottom row");
    Restart();
    ExpectRoom("the next start");
    EXPECT_FALSE(f()->ConInfoBar()->IsVisible());

    // Sizes stored for a far larger screen.
    ASSERT_TRUE(f()->close());
    app.reset();
    const QSize outputFloat(sys::Profile::GetInt(u"EdtLib\\IDE\\OutputBar", u"floatWidth", 0),
                            sys::Profile::GetInt(u"EdtLib\\IDE\\OutputBar", u"floatHeight", 0));
    for (const char16_t* bar : {u"EdtLib\\IDE\\OutputBar", u"EdtLib\\IDE\\DebugBar", u"EdtLib\\IDE\\ProjectExplorerBar"})
        for (const char16_t* value : {u"horzHeight", u"vertWidth", u"vertHeight"})
            sys::Profile::WriteInt(bar, value, 5000);
    Start();
    ExpectRoom("sizes stored too large");
    EXPECT_EQ(f()->OutputBar()->FloatSize(), outputFloat);
    EXPECT_EQ(f()->ConInfoBar()->FloatSize(), monitorFloat);
}

// Whether a drop docks follows the pointer, not the size of the bar: a
// tall bar's rectangle reaches the bottom site from nearly anywhere in the
// documents, yet with the pointer well inside them every bar floats.
TEST_F(DockRoom, ADropWellInsideTheDocumentsFloatsEveryBar)
{
    Start();
    struct Bar
    {
        const char* name;
        ui::ControlBar* bar;
    };
    const Bar bars[] = {{"explorer", f()->ExplorerBar()},           {"watch", f()->DebugBar()},
                        {"output", f()->OutputBar()},               {"connection", f()->ConInfoBar()},
                        {"main toolbar", f()->GetMainToolBar()},    {"debug toolbar", f()->GetDebugToolBar()}};
    for (const Bar& b : bars) {
        for (int corner = 0; corner < 4; ++corner) {
            ui::SendCommand(ID_VIEW_DEFAULT_LAYOUT);
            Show(f()->ConInfoBar(), ID_VIEW_CONINFO);
            QApplication::processEvents();
            const QRect c = Client()->Center()->geometry();
            const QPoint points[] = {c.center(), {c.left() + 40, c.bottom() - 40}, {c.right() - 40, c.bottom() - 40},
                                     {c.center().x(), c.top() + 40}};
            Drop(b.bar, points[corner]);
            const std::string what = std::string(b.name) + " dropped at point " + std::to_string(corner);
            EXPECT_TRUE(b.bar->IsFloating()) << what;
            EXPECT_NE(f()->Helper().MiniFrameOf(b.bar), nullptr) << what;
            ExpectRoom(what);
        }
    }
}

// A toolbar dropped at an edge docks in the outermost row of that edge, or
// beside the toolbars already there, never in a row of sizing bars: it
// costs the documents at most its own thickness.
TEST_F(DockRoom, AToolbarDroppedAtAnEdgeDocksInTheOuterRowCostingItsThickness)
{
    Start();
    CKVTToolDockBar* bottom = f()->Helper().Site(ui::DOCKBAR_BOTTOM);
    CKVTToolDockBar* left = f()->Helper().Site(ui::DOCKBAR_LEFT);
    for (CKVTToolBar* toolbar : {f()->GetMainToolBar(), f()->GetDebugToolBar()}) {
        SCOPED_TRACE(toolbar->objectName().toStdString());
        ui::SendCommand(ID_VIEW_DEFAULT_LAYOUT);
        Show(f()->DebugBar(), ID_VIEW_WATCH);
        QApplication::processEvents();
        const int outputRow = bottom->RowAndPos(f()->OutputBar()).first;
        ASSERT_EQ(bottom->RowAndPos(f()->DebugBar()).first, outputRow);
        const int height = Client()->Center()->height();
        // The band shows the new row at the frame's edge, a toolbar thick.
        QRect band;
        Drop(toolbar, QPoint(Client()->width() / 2, Client()->height() - 3), [&] { band = Band(); });
        EXPECT_EQ(band.bottom(), Global(bottom).bottom());
        EXPECT_EQ(band.height(), toolbar->CalcFixedLayout(false, true).height());
        ASSERT_EQ(f()->Helper().SiteOf(toolbar), bottom);
        EXPECT_EQ(bottom->RowAndPos(toolbar).first, bottom->Rows().RowCount() - 1);
        EXPECT_EQ(bottom->RowAndPos(f()->OutputBar()).first, outputRow);
        EXPECT_EQ(bottom->RowAndPos(f()->DebugBar()).first, outputRow);
        EXPECT_GE(Client()->Center()->height(), height - toolbar->height());
        ExpectRoom("at the bottom edge");

        // The other toolbar joins it there, before it.
        CKVTToolBar* other = toolbar == f()->GetMainToolBar() ? f()->GetDebugToolBar() : f()->GetMainToolBar();
        Drop(other, QPoint(20, Client()->height() - 3));
        EXPECT_EQ(f()->Helper().SiteOf(other), bottom);
        EXPECT_EQ(bottom->RowAndPos(other).first, bottom->RowAndPos(toolbar).first);
        EXPECT_EQ(bottom->RowAndPos(f()->OutputBar()).first, outputRow);
        ExpectRoom("the second toolbar at the bottom edge");

        // At the very left edge, beside the explorer: the outer column.
        ui::SendCommand(ID_VIEW_DEFAULT_LAYOUT);
        QApplication::processEvents();
        ASSERT_EQ(f()->Helper().SiteOf(f()->ExplorerBar()), left);
        const int width = Client()->Center()->width();
        Drop(toolbar, QPoint(4, Client()->Center()->geometry().center().y()), [&] { band = Band(); });
        EXPECT_EQ(band.left(), Global(left).left());
        ASSERT_EQ(f()->Helper().SiteOf(toolbar), left);
        EXPECT_EQ(left->RowAndPos(toolbar).first, 0);
        EXPECT_EQ(left->RowAndPos(f()->ExplorerBar()).first, 1);
        EXPECT_EQ(toolbar->x(), 0);
        EXPECT_GE(Client()->Center()->width(), width - toolbar->width());
        ExpectRoom("at the left edge");
    }
}

// Bars stacked on one side share its length: each keeps its caption and a
// usable body, and the one docked last takes no more than an equal share.
TEST_F(DockRoom, BarsStackedOnOneSideShareIt)
{
    Start();
    ui::SendCommand(ID_VIEW_DEFAULT_LAYOUT);
    Show(f()->DebugBar(), ID_VIEW_WATCH);
    QApplication::processEvents();
    CKVTToolDockBar* right = f()->Helper().Site(ui::DOCKBAR_RIGHT);
    const QRect c = Client()->Center()->geometry();
    Drop(f()->OutputBar(), QPoint(Client()->width() - 4, c.center().y()));
    ASSERT_EQ(f()->Helper().SiteOf(f()->OutputBar()), right);
    // Onto the column, the pointer near its left edge, so that the bar's
    // rectangle starts in the column too.
    auto intoColumn = [&](ui::ControlBar* bar, int y) {
        Drop(bar, QPoint(right->mapTo(Client(), QPoint(0, 0)).x() + 32, y));
    };
    intoColumn(f()->DebugBar(), c.top() + 60);
    intoColumn(f()->ExplorerBar(), c.center().y());
    std::vector<ui::ControlBar*> column = {f()->OutputBar(), f()->DebugBar(), f()->ExplorerBar()};
    const int row = right->RowAndPos(f()->OutputBar()).first;
    int total = 0;
    for (ui::ControlBar* bar : column) {
        ASSERT_EQ(f()->Helper().SiteOf(bar), right) << bar->objectName().toStdString();
        EXPECT_EQ(right->RowAndPos(bar).first, row) << bar->objectName().toStdString();
        total += bar->height();
    }
    for (ui::ControlBar* bar : column) {
        auto* sizing = qobject_cast<CSizingControlBar*>(bar);
        ASSERT_NE(sizing, nullptr);
        EXPECT_GE(bar->height(), sizing->MinSize().height() + sizing::kUsableBody) << bar->objectName().toStdString();
    }
    EXPECT_LE(f()->ExplorerBar()->height(), total / 3 + 4);
    ExpectRoom("three bars at the right");
}
