// Waits for the control system through the application's own commands,
// with the real main frame: a request that gets no answer ends after the
// link's job time-out, the waiting box closes and the connection-error
// dialog comes to the front; the dialog never stands over a waiting box or
// a message, and a Cancel never stacks a second box over it.
#include "app/StrandworkApp.h"
#include "link/linkobj/olnk_link.h"
#include "link/ui/ConnectionErrorDlg.h"
#include "mainwnd/MainFrame.h"
#include "mainwnd/OutputCtrl.h"
#include "plcviews/PlcCommandDlg.h"
#include "projectui/StrandworkDoc.h"
#include "res/CommandIds.h"
#include "res/StringTable.h"
#include "tests/support/link/LinkTestText.h"
#include "tests/support/platform/PtyPair.h"
#include "tests/support/plcviews/PlcViewsTest.h"
#include "tests/support/ui/UiTest.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

using namespace testsupport::ui;
using namespace testsupport::plcviews;

namespace {


bool Shown(const QWidget* w) { return w && w->isVisible(); }

bool WaitingBoxShown()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (qobject_cast<CPlcCommandDlg*>(w) && w->isVisible())
            return true;
    return false;
}

// Watches, every 10 ms while it lives, whether the connection-error dialog
// was ever shown together with a waiting box or a message.
class OverlapWatch
{
public:
    explicit OverlapWatch(linkui::CConnectionErrorDlg* lost)
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this, lost] {
            const bool other = WaitingBoxShown() || qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            overlapped = overlapped || (Shown(lost->Window()) && other);
        });
        m_timer.start(10);
    }
    bool overlapped = false;

private:
    QTimer m_timer;
};

QString OutputText(CStrandworkApp& app)
{
    COutputCtrl* out = app.OutputControl();
    return out ? out->Text() : QString();
}

} // namespace

// "Informace o PLC" to a control system that stays silent: after the job
// time-out the box closes by itself, the output says why, and the
// connection-error dialog is the active window.
TEST(AppWaits, NoAnswerClosesTheBoxAndBringsTheConnectionErrorToTheFront)
{
    DebugSession s;
    ASSERT_TRUE(s.StartApp());
    ASSERT_TRUE(s.Connect());
    CStrandworkApp& app = *s.App();
    CStrandworkDoc* doc = s.Project();
    cssim::RequestScript drop;
    drop.drop = true;
    s.Sim().scriptRequest(30, drop);
    doc->Link().SetJobTimeout(800);
    linkui::CConnectionErrorDlg* lost = app.MainFrame()->ConnectionErrorDlg();
    OverlapWatch watch(lost);
    bool sawBox = false;
    QTimer look;
    QObject::connect(&look, &QTimer::timeout, [&] { sawBox = sawBox || WaitingBoxShown(); });
    look.start(10);

    QElapsedTimer t;
    t.start();
    ASSERT_TRUE(app.ExecuteCommand(ID_PLC_INFO));
    EXPECT_GE(t.elapsed(), 800);
    EXPECT_TRUE(sawBox);
    ASSERT_TRUE(WaitFor([&] { return Shown(lost->Window()); }, 5000, "the connection-error dialog"));
    EXPECT_FALSE(WaitingBoxShown());
    EXPECT_TRUE(WaitFor([&] { return QApplication::activeWindow() == lost->Window(); }, 5000, "the dialog active"));
    EXPECT_FALSE(watch.overlapped);
    const QString out = OutputText(app);
    EXPECT_TRUE(out.contains(QStringLiteral("Řídící systém neodpověděl do 1 s, čekání na odpověď bylo ukončeno...")))
        << out.toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral("Informace o PLC interfacu se nepodařilo získat..."))) << out.toStdString();

    // Traffic that flows again does not hide it: the control system
    // answers other requests, but it left that one without a reply.
    for (int i = 0; i < 2; ++i) {
        CPlcCommandDlg status;
        EXPECT_EQ(status.GetStatus(&doc->Link(), nullptr, 0), 1);
        app.MainFrame()->OnTimerTick();
    }
    EXPECT_TRUE(Shown(lost->Window()));

    // "Odpojit" ends the communication of the project.
    Click(lost->Window()->Item<QPushButton>(ui::IDOK_BUTTON));
    EXPECT_FALSE(doc->Link().IsOpen());
    EXPECT_FALSE(Shown(lost->Window()));
}

// "Získat překladač Tarvane" with the control system gone: the link, its
// frames unacknowledged, resets itself about 2 s later and ends the
// request, so the box ends by itself, well before the job time-out and
// without a second box for the basic form of the information.  The
// failure's message comes alone; the connection watch's stall waits while
// it stands, and the connection-error dialog comes only after it.
TEST(AppWaits, LinkThatResetsItselfEndsTheBoxAndTheErrorDialogComesLast)
{
    DebugSession s;
    ASSERT_TRUE(s.StartApp());
    ASSERT_TRUE(s.Connect());
    CStrandworkApp& app = *s.App();
    CMainFrame* frame = app.MainFrame();
    linkui::CConnectionErrorDlg* lost = frame->ConnectionErrorDlg();
    s.Sim().stop();
    OverlapWatch watch(lost);
    QElapsedTimer t;
    t.start();

    OnNextModal<CPlcCommandDlg>([](CPlcCommandDlg*) {}, 20000); // left alone
    OnNextModal<QMessageBox>(
        [&](QMessageBox* box) {
            EXPECT_LT(t.elapsed(), 15000); // the link's reset, not the 30-s job time-out
            EXPECT_FALSE(WaitingBoxShown());
            EXPECT_FALSE(Shown(lost->Window()));
            // More than three silent ticks of the watch: its dialog is due.
            EXPECT_TRUE(WaitFor([&] { return frame->ConnectionErrorPending(); }, 15000, "the stall"));
            EXPECT_FALSE(Shown(lost->Window()));
            box->accept();
        },
        20000);
    ASSERT_TRUE(app.ExecuteCommand(ID_TRANSFER_COMPILER_FILES));
    ASSERT_TRUE(WaitFor([&] { return Shown(lost->Window()); }, 5000, "the connection-error dialog"));
    EXPECT_FALSE(watch.overlapped);
    const QString out = OutputText(app);
    EXPECT_TRUE(out.contains(LoadResString(IDS_XFER_REVISION_FAILED).trimmed())) << out.toStdString();
    EXPECT_FALSE(out.contains(QStringLiteral("neodpověděl"))) << out.toStdString();
}

// "Získat překladač Tarvane" with no control system at all (nothing listens
// where the project's link points): the waiting box ends by itself after
// the job time-out, the failure's message comes alone and the
// connection-error dialog only after it.  Then the same with Cancel: the
// box closes at once and no box ever stands over another.
TEST(AppWaits, WithNoControlSystemTheBoxEndsAndTheErrorDialogComesLast)
{
    DebugSession s;
    ASSERT_TRUE(s.StartApp());
    CStrandworkApp& app = *s.App();
    CMainFrame* frame = app.MainFrame();
    CStrandworkDoc* doc = s.Project();
    const std::string nobody = testsupport::UdpLoopbackConn(testsupport::PickFreeUdpPort(),
                                                            testsupport::PickFreeUdpPort());
    doc->Data().OlnkConnectionString = std::u16string(nobody.begin(), nobody.end());
    doc->Link().SetJobTimeout(1500);
    linkui::CConnectionErrorDlg* lost = frame->ConnectionErrorDlg();
    OverlapWatch watch(lost);
    bool sawBox = false;
    QTimer look;
    QObject::connect(&look, &QTimer::timeout, [&] { sawBox = sawBox || WaitingBoxShown(); });
    look.start(10);
    int messages = 0;
    auto expectMessage = [&] {
        OnNextModal<QMessageBox>(
            [&](QMessageBox* box) {
                ++messages;
                EXPECT_FALSE(WaitingBoxShown());
                EXPECT_FALSE(Shown(lost->Window()));
                box->accept();
            },
            30000);
    };

    // The box is left alone: it ends by itself.
    OnNextModal<CPlcCommandDlg>([](CPlcCommandDlg*) {}, 20000);
    expectMessage();
    QElapsedTimer t;
    t.start();
    ASSERT_TRUE(app.ExecuteCommand(ID_TRANSFER_COMPILER_FILES));
    EXPECT_GE(t.elapsed(), 1500);
    EXPECT_LT(t.elapsed(), 20000);
    EXPECT_TRUE(sawBox);
    EXPECT_EQ(messages, 1);
    ASSERT_TRUE(
        WaitFor([&] { return Shown(lost->Window()); }, 10000, "the connection-error dialog"));
    EXPECT_FALSE(WaitingBoxShown());
    EXPECT_TRUE(OutputText(app).contains(QStringLiteral("Řídící systém neodpověděl do ")))
        << OutputText(app).toStdString();

    // "Odpojit", then again with Cancel.
    Click(lost->Window()->Item<QPushButton>(ui::IDOK_BUTTON));
    ASSERT_FALSE(doc->Link().IsOpen());
    OnNextModal<CPlcCommandDlg>(
        [&](CPlcCommandDlg* box) { Click(box->Item<QPushButton>(ui::IDCANCEL_BUTTON)); }, 20000);
    expectMessage();
    t.restart();
    ASSERT_TRUE(app.ExecuteCommand(ID_TRANSFER_COMPILER_FILES));
    EXPECT_LT(t.elapsed(), 1500);
    EXPECT_EQ(messages, 2);
    EXPECT_FALSE(watch.overlapped);
}
