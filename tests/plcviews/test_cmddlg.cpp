// The PLC command dialog against the simulator: results that close the
// dialog, results shown as text, the fall-back to the basic information,
// records filled, refusals, cancelled waits, transfers with their progress
// and both ways of cancelling, and one object running several routines.
#include "link/linkobj/olnk_link.h"
#include "plcviews/PlcCommandDlg.h"
#include "tests/support/link/LinkTestText.h"
#include "tests/support/plcviews/PlcViewsTest.h"
#include "tests/support/ui/UiTest.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QFontMetrics>
#include <gtest/gtest.h>

#include <cstring>

using namespace testsupport::ui;
using namespace testsupport::plcviews;

namespace {

// Runs act once cond holds, polled from the event loop (so inside a modal
// run); on time-out the test fails and the open dialogs are rejected.
void When(std::function<bool()> cond, std::function<void()> act, int timeoutMs = 5000)
{
    auto* t = new QTimer;
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    QObject::connect(t, &QTimer::timeout, [t, clock, cond, act, timeoutMs] {
        if (cond()) {
            t->stop();
            t->deleteLater();
            act();
        } else if (clock->elapsed() > timeoutMs) {
            t->stop();
            t->deleteLater();
            ADD_FAILURE() << "the dialog did not reach the expected state";
            RejectOpenModals();
        }
    });
    t->start(10);
}

void PressOk(CPlcCommandDlg& d)
{
    auto* ok = d.Item<QPushButton>(1);
    ASSERT_NE(ok, nullptr);
    ASSERT_TRUE(ok->isVisible());
    ok->click();
}

QString Shown(CPlcCommandDlg& d) { return d.Item<QPlainTextEdit>(CPlcCommandDlg::IDC_RESULT)->toPlainText(); }

std::vector<uint8_t> Image(size_t opaque = 0)
{
    std::vector<uint8_t> img = testsupport::PlcImageModule(0xA520, 1000, 0xFFFF, 2000);
    std::vector<uint8_t> b = testsupport::PlcImageModule(0xA500, 234, 0x0002, 3000);
    img.insert(img.end(), b.begin(), b.end());
    img.insert(img.end(), opaque, 0);
    img.insert(img.end(), {0xFA, 0xFE, 0xFF, 0xF9, 0x00, 0xA5, 0x07, 0xF8});
    return img;
}

class NoTemplateDlg : public CPlcCommandDlg
{
public:
    NoTemplateDlg() : CPlcCommandDlg(4242, nullptr) {}
};

} // namespace

TEST(PlcCommandDlg, ResultsCloseOrShowTheirText)
{
    DebugSession s;
    ASSERT_TRUE(s.Start());
    IOlnkPL* pl = &s.Project()->Link();
    CPlcCommandDlg d;

    // A successful command closes by itself; the image is gone.
    s.Sim().plc().setImage(Image());
    EXPECT_EQ(d.ClearPLC(pl), 1);
    EXPECT_FALSE(d.ShowsResult());
    EXPECT_EQ(s.Sim().plc().plcLength(), 0u);

    // RunPLC forced to -3: the text until OK, then 0.  The same object.
    cssim::RequestScript forced;
    forced.status = -3;
    s.Sim().scriptRequest(6, forced);
    QString shown;
    When([&] { return d.ShowsResult(); }, [&] {
        shown = Shown(d);
        EXPECT_FALSE(d.Item<QLabel>(CPlcCommandDlg::IDC_WAIT)->isVisible());
        EXPECT_FALSE(d.Item<QPushButton>(2)->isVisible());
        PressOk(d);
    });
    EXPECT_EQ(d.RunPLC(pl), 0);
    EXPECT_EQ(shown, QStringLiteral("Při provádění příkazu RunPLC došlo k chybě:\n\t"
                                    "PLC program se nepodařilo spustit, nesoulad verzí.\n"));
    EXPECT_FALSE(shown.contains(QLatin1Char('\r')));

    // The status with its line: the text shows CR LF as line breaks and keeps the tabs.
    s.Sim().plc().setFlags(cssim::FLAG_LOADED | cssim::FLAG_RUNNING | cssim::FLAG_AT_POSITION);
    s.Sim().plc().setPosition(SecondIndex(17));
    When([&] { return d.ShowsResult(); }, [&] {
        shown = Shown(d);
        PressOk(d);
    });
    PlcStatusRecord status{};
    EXPECT_EQ(d.GetStatus(pl, &status, 1), 1);
    EXPECT_EQ(status.length, 10);
    EXPECT_EQ(status.flags, 0x0E);
    EXPECT_EQ(status.index, SecondIndex(17));
    EXPECT_TRUE(shown.contains(QStringLiteral("\tŘádek: 17, modul: SRC\\SECOND.PLC\n"))) << shown.toStdString();
    EXPECT_FALSE(shown.contains(QLatin1Char('\r')));

    // Without showing: the record is filled and nothing waits for the user.
    std::memset(&status, 0, sizeof status);
    EXPECT_EQ(d.GetStatus(pl, &status, 0), 1);
    EXPECT_EQ(status.flags, 0x0E);
}

TEST(PlcCommandDlg, TheInformationsColumnsLineUp)
{
    DebugSession s;
    ASSERT_TRUE(s.Start());
    IOlnkPL* pl = &s.Project()->Link();
    CPlcCommandDlg d;
    // The values of the tabbed lines start at one x, whatever the labels'
    // widths and the number of tabs behind them.
    std::vector<int> starts;
    QString shown;
    When([&] { return d.ShowsResult(); }, [&] {
        auto* edit = d.Item<QPlainTextEdit>(CPlcCommandDlg::IDC_RESULT);
        shown = edit->toPlainText();
        for (QTextBlock b = edit->document()->begin(); b.isValid(); b = b.next()) {
            const int tab = int(b.text().lastIndexOf(QLatin1Char('\t')));
            if (tab <= 0 || b.text().count(QLatin1Char('\t')) < 2)
                continue; // lines with a label between two tabs only
            QTextCursor c(b);
            c.setPosition(b.position() + tab + 1);
            starts.push_back(edit->cursorRect(c).left());
            // The label before the value lies whole left of it.
            const QString label = b.text().mid(1, tab - 1);
            c.setPosition(b.position() + 1);
            EXPECT_LE(edit->cursorRect(c).left() + edit->fontMetrics().horizontalAdvance(label), starts.back())
                << label.toStdString();
        }
        EXPECT_EQ(ClippedTexts(&d), QStringList());
        // The dialog grew to show the whole text.
        PumpEvents();
        EXPECT_EQ(VisibleScrollBars(&d), QStringList());
        PressOk(d);
    });
    EXPECT_EQ(d.GetPLCInfo(pl, nullptr, 0, 1), 1);
    EXPECT_TRUE(shown.contains(QStringLiteral("\tJméno:\t"))) << shown.toStdString();
    ASSERT_GE(starts.size(), 7u) << shown.toStdString();
    for (int x : starts)
        EXPECT_EQ(x, starts.front());

    // The stops: one per column, behind its widest cell.
    const QFontMetrics fm(QApplication::font());
    const std::vector<double> stops = CPlcCommandDlg::ColumnStops(QStringLiteral("\ta:\tb\n\tlonger:\tc\nplain"), fm);
    ASSERT_EQ(stops.size(), 2u);
    EXPECT_GT(stops[0], 0);
    EXPECT_GE(stops[1], stops[0] + fm.horizontalAdvance(QStringLiteral("longer:")));
    EXPECT_EQ(CPlcCommandDlg::DisplayText(QStringLiteral("\tx:\t\t1\r\n")), QStringLiteral("\tx:\t1\n"));
}

TEST(PlcCommandDlg, InformationFallsBackToTheBasicForm)
{
    DebugSession s;
    ASSERT_TRUE(s.Start());
    IOlnkPL* pl = &s.Project()->Link();
    CPlcCommandDlg d;

    // The extended form known: u32 1 and the extended record.
    std::vector<uint8_t> record(1024, 0xCC);
    EXPECT_EQ(d.GetPLCInfo(pl, record.data(), 1024, 0), 1);
    uint32_t form = 0;
    std::memcpy(&form, record.data(), 4);
    EXPECT_EQ(form, 1u);
    const uint16_t exLength = uint16_t(record[4] | record[5] << 8);
    EXPECT_GT(exLength, 92);
    EXPECT_EQ(record[4 + 8], 6);  // control-system version

    // An older control system answers 129: the basic form's text is shown.
    cssim::PlcInfoEx ex;
    ex.answer = 129;
    s.Sim().plc().setInfoEx(ex);
    QString shown;
    When([&] { return d.ShowsResult(); }, [&] {
        shown = Shown(d);
        PressOk(d);
    });
    EXPECT_EQ(d.GetPLCInfo(pl, nullptr, 0, 1), 1);
    EXPECT_TRUE(shown.startsWith(QStringLiteral("Verze panelu: 00.01\n"))) << shown.toStdString();
    EXPECT_TRUE(shown.contains(QStringLiteral("Komentář PLC: cssim\n")));

    // With a record and no text: u32 0 and the basic record, bounded by the room.
    std::fill(record.begin(), record.end(), 0xCC);
    EXPECT_EQ(d.GetPLCInfo(pl, record.data(), 1024, 0), 1);
    std::memcpy(&form, record.data(), 4);
    EXPECT_EQ(form, 0u);
    EXPECT_EQ(record[4], 50);
    EXPECT_EQ(record[4 + 50], 0xCC);  // nothing beyond the record
    std::fill(record.begin(), record.end(), 0xCC);
    EXPECT_EQ(d.GetPLCInfo(pl, record.data(), 20, 0), 1);
    EXPECT_EQ(record[4], 50);
    EXPECT_EQ(record[20], 0xCC);  // the caller's room is the limit

    // A basic form that fails too: its text, and 0.
    cssim::RequestScript forced;
    forced.status = -1;
    s.Sim().scriptRequest(1, forced);
    When([&] { return d.ShowsResult(); }, [&] {
        shown = Shown(d);
        PressOk(d);
    });
    EXPECT_EQ(d.GetPLCInfo(pl, nullptr, 0, 1), 0);
    EXPECT_TRUE(shown.contains(QStringLiteral("Informace o PLC se nepodařilo získat.")));
}

TEST(PlcCommandDlg, RefusalsCancelledWaitsAndLateReplies)
{
    DebugSession s;
    ASSERT_TRUE(s.Start());
    IOlnkPL* pl = &s.Project()->Link();

    // A missing template: 0 and no request.
    {
        NoTemplateDlg none;
        EXPECT_EQ(none.ClearPLC(pl), 0);
        EXPECT_EQ(none.RunningParameter(), 0u);
    }

    CPlcCommandDlg d;
    // The user cancels a GetStatus wait that the simulator delays: no record, 0.
    cssim::RequestScript slow;
    slow.delayMs = 700;
    s.Sim().scriptRequest(0, slow);
    When([&] { return d.isVisible(); }, [&] { d.Item<QPushButton>(2)->click(); });
    PlcStatusRecord status{};
    status.length = 0xABCD;
    EXPECT_EQ(d.GetStatus(pl, &status, 0), 0);
    EXPECT_EQ(status.length, 0xABCD);

    // ClearPLC on the same object waits longer; the late status reply
    // arriving meanwhile does not end that wait.
    cssim::RequestScript slower;
    slower.delayMs = 1500;
    s.Sim().scriptRequest(3, slower);
    QElapsedTimer t;
    t.start();
    EXPECT_EQ(d.ClearPLC(pl), 1);
    EXPECT_GE(t.elapsed(), 1400);

    // Without a record the cancelled wait gives 1.
    auto statusReplies = [&] {
        int n = 0;
        for (const cssim::Record& r : s.Sim().recorder().all())
            n += r.direction == 1 && r.cls() == 1 && r.type() == 1 && r.code() == 0;
        return n;
    };
    const int replies = statusReplies();
    s.Sim().scriptRequest(0, slow);
    When([&] { return d.isVisible(); }, [&] { d.Item<QPushButton>(2)->click(); });
    EXPECT_EQ(d.GetStatus(pl, nullptr, 1), 1);
    // Its late reply finds no run: once the simulator has sent it, the
    // reply to the next command comes after it on the link, and that
    // command still gets its own answer.
    ASSERT_TRUE(WaitFor([&] { return statusReplies() > replies; }, 5000, "the late reply"));
    EXPECT_EQ(d.StopPLC(pl), 1);

    // A closed link refuses at once: 0 without a loop.
    s.Project()->Link().Close();
    t.restart();
    EXPECT_EQ(d.StopPLC(pl), 0);
    EXPECT_EQ(d.GetPLCInfo(pl, nullptr, 0, 1), 0);
    EXPECT_TRUE(d.Error());
    EXPECT_LT(t.elapsed(), 1000);
    EXPECT_FALSE(d.isVisible());
}

// A control system that stays silent: after the link's job time-out the
// box closes by itself without a result text, the routine fails, and the
// information request does not fall back to the basic form (it would wait
// as long again).  The same object then serves an answered request.
TEST(PlcCommandDlg, NoReplyWithinTheJobTimeoutClosesTheBox)
{
    DebugSession s;
    ASSERT_TRUE(s.Start());
    IOlnkPL* pl = &s.Project()->Link();
    s.Project()->Link().SetJobTimeout(600);
    cssim::RequestScript drop;
    drop.drop = true;
    s.Sim().scriptRequest(0, drop);
    s.Sim().scriptRequest(30, drop);
    auto received = [&](uint8_t code) {
        size_t n = 0;
        for (const cssim::Record& r : s.Sim().recorder().all())
            n += r.direction == 0 && r.cls() == 1 && r.type() == 0 && r.code() == code;
        return n;
    };

    CPlcCommandDlg d;
    bool sawBox = false;
    When([&] { return d.isVisible(); }, [&] { sawBox = true; });
    QElapsedTimer t;
    t.start();
    EXPECT_EQ(d.GetStatus(pl, nullptr, 1), 0);
    EXPECT_GE(t.elapsed(), 600);
    EXPECT_TRUE(sawBox);
    EXPECT_TRUE(d.NoAnswer());
    EXPECT_TRUE(d.Error());
    EXPECT_FALSE(d.ShowsResult());
    EXPECT_FALSE(d.isVisible());

    std::vector<uint8_t> record(1024, 0xCC);
    EXPECT_EQ(d.GetPLCInfo(pl, record.data(), 1024, 0), 0);
    EXPECT_TRUE(d.NoAnswer());
    EXPECT_EQ(received(30), 1u);
    EXPECT_EQ(received(1), 0u);
    EXPECT_EQ(record[0], 0xCC);
    EXPECT_EQ(d.GetPLCInfo(pl, nullptr, 0, 1), 0);
    EXPECT_FALSE(d.ShowsResult());
    EXPECT_EQ(received(1), 0u);

    s.Sim().clearRequestScript(0);
    PlcStatusRecord status{};
    EXPECT_EQ(d.GetStatus(pl, &status, 0), 1);
    EXPECT_FALSE(d.NoAnswer());
    EXPECT_EQ(status.length, 10);
}

TEST(PlcCommandDlg, TransferProgressAndBothCancels)
{
    DebugSession s;
    ASSERT_TRUE(s.Start());
    IOlnkPL* pl = &s.Project()->Link();
    CPlcCommandDlg d;
    auto* bar = d.Item<QProgressBar>(CPlcCommandDlg::IDC_PROGRESS);
    ASSERT_NE(bar, nullptr);
    std::vector<int> values;
    QObject::connect(bar, &QProgressBar::valueChanged, [&](int v) { values.push_back(v); });

    // A transfer that succeeds: the bar rises to the length; the dialog closes.
    const std::vector<uint8_t> image = Image();
    EXPECT_EQ(d.TransferPLC(pl, uint32_t(image.size()), image.data(), 0), 1);
    EXPECT_TRUE(s.Sim().plc().image() == image);
    ASSERT_FALSE(values.empty());
    EXPECT_TRUE(std::is_sorted(values.begin(), values.end()));
    EXPECT_EQ(values.back(), int(image.size()));
    EXPECT_EQ(bar->maximum(), int(image.size()));

    // A longer one: the bar moves at most every 20 ms, and still ends at
    // the length (a move per block woke the UI thread thousands of times a
    // second).
    std::vector<uint8_t> longer;
    for (int i = 0; i < 1000; ++i) {
        const std::vector<uint8_t> m = testsupport::PlcImageModule(0xA520, 1000, 0xFFFF, 2000);
        longer.insert(longer.end(), m.begin(), m.end());
    }
    longer.insert(longer.end(), {0xFA, 0xFE, 0xFF, 0xF9, 0x00, 0xA5, 0x07, 0xF8});
    values.clear();
    QElapsedTimer took;
    took.start();
    EXPECT_EQ(d.TransferPLC(pl, uint32_t(longer.size()), longer.data(), 0), 1);
    const qint64 ms = took.elapsed();
    ASSERT_FALSE(values.empty());
    EXPECT_EQ(values.back(), int(longer.size()));
    // The reset to 0, the first count, one each period, the last.
    EXPECT_LE(qint64(values.size()), ms / CPlcCommandDlg::kProgressPeriodMs + 3) << ms << " ms";

    // Cancel with cancel-through-job 0: the dialog stays; the job stops at
    // its next progress call and ends with the link's cancel status.
    const std::vector<uint8_t> big = Image(12'000'000);
    values.clear();
    bool stayed = false;
    When([&] { return !values.empty() && values.back() > 0; }, [&] {
        d.Item<QPushButton>(2)->click();
        stayed = d.isVisible();
    });
    QString shown;
    When([&] { return d.ShowsResult(); }, [&] {
        shown = Shown(d);
        PressOk(d);
    }, 20000);
    EXPECT_EQ(d.TransferPLC(pl, uint32_t(big.size()), big.data(), 0), 0);
    EXPECT_TRUE(stayed);
    EXPECT_EQ(shown, QStringLiteral("Při přenosu PLC interfacu došlo k chybě:\n\tOperace byla stornována uživatelem."));
    EXPECT_LT(values.back(), int(big.size()));

    // Cancel through the job: the dialog closes at once, and the late
    // result is dropped.
    cssim::JobScript stall;
    stall.creditsStopAfter = 2;
    s.Sim().scriptJobs(stall);
    values.clear();
    When([&] { return !values.empty() && values.back() > 0; }, [&] { d.Item<QPushButton>(2)->click(); });
    QElapsedTimer t;
    t.start();
    EXPECT_EQ(d.TransferPLC(pl, uint32_t(big.size()), big.data(), 1), 0);
    EXPECT_LT(t.elapsed(), 3000);
    EXPECT_FALSE(d.ShowsResult());
    s.Sim().clearJobScript();
    // The object is still good for another command; the late result of the
    // cancelled job comes before its reply on the link and is dropped.
    EXPECT_EQ(d.StopPLC(pl), 1);
}
