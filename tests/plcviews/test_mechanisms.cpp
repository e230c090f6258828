// The mechanisms window against the simulator: rows in listing order,
// watch and unwatch as one request each with the project's lists, pushed
// states, the jump to the source, a refresh of 170 watched mechanisms in two
// blocks, and no state shown as current once the link is lost.
#include "link/linkobj/olnk_link.h"
#include "mainwnd/MainFrame.h"
#include "platform/ui/Prompt.h"
#include "platform/ui/StatusBar.h"
#include "plcviews/MechanismsDlg.h"
#include "res/CommandIds.h"
#include "tests/plcviews/ModalSteps.h"
#include "tests/support/plcviews/PlcViewsTest.h"
#include "tests/support/ui/UiTest.h"

#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

#include <gtest/gtest.h>

using namespace testsupport::ui;
using namespace testsupport::plcviews;

namespace {

std::vector<cssim::Record> Requests(cssim::Simulator& sim, uint8_t code)
{
    std::vector<cssim::Record> out;
    for (const cssim::Record& r : sim.recorder().all())
        if (r.direction == 0 && r.cls() == 1 && r.type() == 0 && r.code() == code)
            out.push_back(r);
    return out;
}

// The PLC runs, MECHA in it; the status read.
void RunMecha(DebugSession& s)
{
    s.Sim().plc().setFlags(cssim::FLAG_LOADED | cssim::FLAG_RUNNING);
    s.Sim().plc().setMechanism(0x100, 3, 1, MainIndex(17));
    s.Project()->Link().GetStatus(0, 0);
}

void Press(CMechanismsDlg& d, int id) { d.Item<QPushButton>(id)->click(); }

// MECHA watched, shown running with the status bar's "PLC: běží", then
// refreshed.
void WatchAndRefresh(ModalSteps& steps, CMechanismsDlg& d, ui::StatusBar* bar, int pane)
{
    steps.Do([&d] {
        d.SelectRows({0});
        Press(d, CMechanismsDlg::IDC_WATCH);
    }, "watch");
    steps.Then([&d, bar, pane] {
        return d.RowText(0, 1) == QStringLiteral("Běží") && bar->GetPaneText(pane) == QStringLiteral("PLC: běží");
    }, [&d] { Press(d, CMechanismsDlg::IDC_REFRESH); }, "running");
}

// A map and a listing with `n` mechanisms M000.. (number 7, address 0x1000 + i),
// each a block of three lines, written in reverse name order.
void WriteMany(testsupport::TempDir& dir, int n)
{
    std::string map = "$MP2 02\r\n[SYMBOL_TABLE " + std::to_string(n) + "]\r\n";
    char buf[96];
    for (int i = 0; i < n; ++i) {
        std::snprintf(buf, sizeof buf, "0007H %04XH MECH M%03d\r\n", 0x1000 + i, i);
        map += buf;
    }
    map += "[BIT_FIELDS 0]\r\n[STRUCTURE_OFFSETS 0]\r\n[BIT_WEIGHTS 0]\r\n[CONSTANTS 0]\r\n";
    dir.Write("Many.map", map);
    std::string ls = "$LS1 01\r\n[MAIN.PLC]\r\n";
    int line = 0;
    for (int i = n - 1; i >= 0; --i) {
        std::snprintf(buf, sizeof buf, "%8d D    MECH_BEGIN M%03d\r\n", ++line, i);
        ls += buf;
        std::snprintf(buf, sizeof buf, "%8d D            NOP     1\r\n", ++line);
        ls += buf;
        std::snprintf(buf, sizeof buf, "%8d D    MECH_END M%03d\r\n", ++line, i);
        ls += buf;
    }
    dir.Write("Many.LS1", ls);
}

} // namespace

TEST(Mechanisms, WatchUnwatchAndPushedStates)
{
    DebugSession s;
    ASSERT_TRUE(s.Start());
    CStrandworkDoc* doc = s.Project();
    doc->SetModifiedFlag(false);
    CMechanismsDlg d;
    size_t watches = 0;
    ModalSteps steps;
    steps.Do([&] {
        ASSERT_EQ(d.Rows().size(), 2u);
        EXPECT_EQ(d.RowText(0, 0), QStringLiteral("MECHA"));
        EXPECT_EQ(d.RowText(1, 0), QStringLiteral("MECHB"));
        EXPECT_EQ(d.List()->horizontalHeaderItem(1)->text(), QStringLiteral("Stav"));
        EXPECT_EQ(d.RefreshBlocks(), 0u);  // nothing watched, nothing read
        watches = Requests(s.Sim(), 21).size();
        d.SelectRows({0});
        Press(d, CMechanismsDlg::IDC_WATCH);
        EXPECT_EQ(doc->Data().WatchedMechanisms, std::vector<std::u16string>{u"MECHA"});
        EXPECT_EQ(doc->MechanismWatchSet(), (std::vector<MechanismWatch>{{0x100, 3}}));
        EXPECT_TRUE(doc->IsModified());
    }, "rows");
    steps.Then([&] { return s.Sim().plc().watchMech().count == 1; }, [&] {
        EXPECT_EQ(Requests(s.Sim(), 21).size(), watches + 1);
        // Watching both: only MECHB is new, one request again.
        d.SelectRows({0, 1});
        Press(d, CMechanismsDlg::IDC_WATCH);
        EXPECT_EQ(doc->MechanismWatchSet().size(), 2u);
    }, "MECHA watched");
    steps.Then([&] { return s.Sim().plc().watchMech().count == 2; }, [&] {
        EXPECT_EQ(Requests(s.Sim(), 21).size(), watches + 2);
        // A pushed state shows in the row.
        s.Sim().plc().setMechanism(0x200, 4, 1, SecondIndex(15));
    }, "both watched");
    // The row shows it (the link has it a moment before the dialog hears of it).
    steps.Then([&] { return d.List()->item(1, 1)->text() == QStringLiteral("Běží"); }, [&] {
        EXPECT_EQ(d.RowText(1, 1), QStringLiteral("Běží"));
        EXPECT_EQ(d.RowText(0, 1), QString());
        // Watching again sends nothing; unwatching both is one request.
        Press(d, CMechanismsDlg::IDC_WATCH);
        EXPECT_EQ(doc->MechanismWatchSet().size(), 2u);
        Press(d, CMechanismsDlg::IDC_UNWATCH);
        EXPECT_TRUE(doc->Data().WatchedMechanisms.empty());
        EXPECT_TRUE(doc->MechanismWatchSet().empty());
    }, "the pushed state");
    steps.Then([&] { return s.Sim().plc().watchMech().count == 0; }, [&] {
        EXPECT_EQ(Requests(s.Sim(), 21).size(), watches + 3);
        EXPECT_EQ(d.RowText(1, 1), QString());
        // Start and stop the selected mechanism.
        d.SelectRows({0});
        Press(d, CMechanismsDlg::IDC_START);
    }, "none watched");
    steps.Then([&] { return s.Sim().plc().mechanism(0x100, 3).running == 1; },
               [&] { Press(d, CMechanismsDlg::IDC_STOP); }, "MECHA started");
    steps.Then([&] { return s.Sim().plc().mechanism(0x100, 3).running == 0; }, [&] {
        // The period: stored, sent and committed.
        QLineEdit* period = d.Item<QLineEdit>(CMechanismsDlg::IDC_PERIOD);
        EXPECT_EQ(period->text(), QStringLiteral("1000"));
        EXPECT_FALSE(d.GetDlgItem(CMechanismsDlg::IDC_SETPERIOD)->isEnabled());
        period->selectAll();
        TypeText(period, QStringLiteral("250"));
        Press(d, CMechanismsDlg::IDC_SETPERIOD);
        EXPECT_EQ(doc->Data().WatchMechInterval, 250);
        Press(d, 1);
    }, "MECHA stopped");
    steps.Start();
    EXPECT_EQ(d.Run(doc), CModalDialogBase::IDOK);
    EXPECT_TRUE(WaitFor([&] {
        const auto reads = Requests(s.Sim(), 21);
        const cssim::Bytes p = reads.empty() ? cssim::Bytes{} : reads.back().payload();
        return reads.size() == watches + 4 && p.size() >= 4 && (p[2] | p[3] << 8) == 250;
    }, 5000, "the period sent"));
}

TEST(Mechanisms, JumpToTheSource)
{
    DebugSession s;
    ASSERT_TRUE(s.Start());
    CStrandworkDoc* doc = s.Project();
    CPLCView* v = s.Open("Main.plc");
    ASSERT_NE(v, nullptr);
    // MECHA (lines 15-18) watched and running on line 20, outside its block:
    // only its first line is shown.
    for (int round = 0; round < 2; ++round) {
        const uint32_t current = round == 0 ? MainIndex(20) : MainIndex(17);
        s.Sim().plc().setMechanism(0x100, 3, 1, current);
        v->ClampTextPos(EdtPoint{0, 0});
        CMechanismsDlg d;
        ModalSteps steps;
        steps.Do([&] {
            d.SelectRows({0});
            if (round == 0)
                Press(d, CMechanismsDlg::IDC_WATCH);
        }, "watch");
        steps.Then([&] { return d.RowText(0, 1) == QStringLiteral("Běží"); }, [&] {
            Press(d, CMechanismsDlg::IDC_GOTO);
        }, "running");
        steps.Start();
        EXPECT_EQ(d.Run(doc), CModalDialogBase::IDOK);
        EXPECT_EQ(v->GetCursorPos().line, round == 0 ? 14 : 16) << round;
    }
}

TEST(Mechanisms, RefreshOf170InTwoBlocks)
{
    DebugSession s;
    ASSERT_TRUE(s.Start());
    CStrandworkDoc* doc = s.Project();
    WriteMany(s.dir, 170);
    ASSERT_TRUE(doc->MapFile().Load(s.Path("Many.map").toStdU16String()));
    ASSERT_TRUE(doc->ListingFile().Load(doc->MapFile(), s.Path("Many.LS1").toStdU16String()));
    for (int i : {0, 167, 168, 169})
        s.Sim().plc().setMechanism(0x1000 + uint32_t(i), 7, 1, uint32_t(1000 + i));
    CMechanismsDlg d;
    ModalSteps steps;
    steps.Do([&] {
        ASSERT_EQ(d.Rows().size(), 170u);
        // The listing's order (M169 first), not the names'.
        EXPECT_EQ(d.RowText(0, 0), QStringLiteral("M169"));
        EXPECT_EQ(d.RowText(169, 0), QStringLiteral("M000"));
        d.List()->selectAll();
        Press(d, CMechanismsDlg::IDC_WATCH);
        EXPECT_EQ(doc->MechanismWatchSet().size(), 170u);
        s.Sim().recorder().clear();
        Press(d, CMechanismsDlg::IDC_REFRESH);
        EXPECT_EQ(d.RefreshBlocks(), 2u);
    }, "watch all");
    steps.Then([&] { return Requests(s.Sim(), 24).size() == 2 && d.Rows()[169].refreshed; }, [&] {
        const auto reads = Requests(s.Sim(), 24);
        for (size_t k = 0; k < 2; ++k) {
            const cssim::Bytes p = reads[k].payload();
            ASSERT_GE(p.size(), 6u);
            const size_t n = k == 0 ? 168 : 2;
            EXPECT_EQ(p[0] | p[1] << 8, int(6 + 6 * n));
            EXPECT_EQ(p[2] | p[3] << 8, 0);  // the u16 the control system ignores
            EXPECT_EQ(p[4] | p[5] << 8, int(n));
        }
        // Each block's reply filled its own rows (row r shows M(169 - r)).
        for (int r = 0; r < 170; ++r) {
            const auto& row = d.Rows()[size_t(r)];
            const int i = 169 - r;
            ASSERT_TRUE(row.refreshed) << i;
            const bool running = i == 0 || i == 167 || i == 168 || i == 169;
            EXPECT_EQ(row.running, running) << i;
            if (running) {
                EXPECT_EQ(row.index, uint32_t(1000 + i)) << i;
            }
        }
        // Rows beyond the 168 the link watches (M168, M169) show the
        // refreshed state.
        EXPECT_EQ(d.RowText(0, 1), QStringLiteral("Běží"));
        EXPECT_EQ(d.RowText(100, 1), QString());
        Press(d, 1);
    }, "both replies");
    steps.Start();
    d.Run(doc);
}

TEST(Mechanisms, ButtonsAreEnabledOnlyWithSomethingToActOn)
{
    DebugSession s;
    ASSERT_TRUE(s.Start());
    CStrandworkDoc* doc = s.Project();
    auto enabled = [](CMechanismsDlg& d) {
        QStringList on;
        for (int id : {CMechanismsDlg::IDC_WATCH, CMechanismsDlg::IDC_UNWATCH, CMechanismsDlg::IDC_REFRESH,
                       CMechanismsDlg::IDC_GOTO, CMechanismsDlg::IDC_START, CMechanismsDlg::IDC_STOP})
            if (d.GetDlgItem(id)->isEnabled())
                on << QString::number(id);
        return on.join(QLatin1Char(' '));
    };
    {
        // No mechanism at all: nothing to act on; the texts fit.
        WriteMany(s.dir, 0);
        s.dir.Write("Many.LS1", "$LS1 01\r\n[MAIN.PLC]\r\n       1 D            NOP     1\r\n");
        ASSERT_TRUE(doc->MapFile().Load(s.Path("Many.map").toStdU16String()));
        ASSERT_TRUE(doc->ListingFile().Load(doc->MapFile(), s.Path("Many.LS1").toStdU16String()));
        CMechanismsDlg d;
        ModalSteps steps;
        steps.Do([&] {
            EXPECT_TRUE(d.Rows().empty());
            EXPECT_EQ(enabled(d), QString());
            EXPECT_TRUE(d.GetDlgItem(1)->isEnabled());
            EXPECT_EQ(ClippedTexts(&d), QStringList());
            Press(d, 1);
        }, "the empty window");
        steps.Start();
        EXPECT_EQ(d.Run(doc), CModalDialogBase::IDOK);
    }
    WriteMany(s.dir, 3);
    ASSERT_TRUE(doc->MapFile().Load(s.Path("Many.map").toStdU16String()));
    ASSERT_TRUE(doc->ListingFile().Load(doc->MapFile(), s.Path("Many.LS1").toStdU16String()));
    CMechanismsDlg d;
    ModalSteps steps;
    steps.Do([&] {
        ASSERT_EQ(d.Rows().size(), 3u);
        EXPECT_EQ(enabled(d), QString()); // rows, but none selected or watched
        d.SelectRows({0});
        EXPECT_EQ(enabled(d), QStringLiteral("2001 2004 2006 2007"));
        Press(d, CMechanismsDlg::IDC_WATCH);
        // Watched: it can be unwatched and read, not watched again.
        EXPECT_EQ(enabled(d), QStringLiteral("2002 2003 2004 2006 2007"));
        d.SelectRows({0, 1});
        EXPECT_EQ(enabled(d), QStringLiteral("2001 2002 2003 2006 2007"));
        d.SelectRows({});
        EXPECT_EQ(enabled(d), QStringLiteral("2003"));
        Press(d, 1);
    }, "three rows");
    steps.Start();
    EXPECT_EQ(d.Run(doc), CModalDialogBase::IDOK);
}

// MECHA watched, running and refreshed; the control system ends.  Neither
// the row nor the status bar goes on showing what was read before the link
// was lost, and the failed refresh says so.  (The row kept "Běží" from the
// earlier refresh, and the status bar "PLC: běží".)
TEST(Mechanisms, ALostLinkLeavesNoStateLookingCurrent)
{
    DebugSession s;
    ASSERT_TRUE(s.Start());
    CStrandworkDoc* doc = s.Project();
    ui::StatusBar* bar = s.App()->MainFrame()->GetStatusBar();
    ASSERT_NE(bar, nullptr);
    const int pane = bar->CommandToIndex(CMainFrame::ID_INDICATOR_PLC);
    ASSERT_GE(pane, 0);
    RunMecha(s);
    PromptScript prompts({::ui::IDOK});
    CMechanismsDlg d;
    ModalSteps steps;
    WatchAndRefresh(steps, d, bar, pane);
    steps.Then([&] { return d.Rows()[0].refreshed; }, [&] {
        s.EndSimulator();
        Press(d, CMechanismsDlg::IDC_REFRESH);  // finds no peer: the link resets
    }, "refreshed");
    steps.Then([&] { return !prompts.Texts().empty(); }, [&] {
        EXPECT_EQ(prompts.Texts()[0], QStringLiteral("Chyba příkazu GetMech -123"));
        EXPECT_EQ(d.RowText(0, 1), QString());
        EXPECT_EQ(d.List()->item(0, 1)->text(), QString());
    }, "the failed refresh", 30000);
    steps.Then([&] { return bar->GetPaneText(pane) == QStringLiteral("PLC: ?"); }, [&] { Press(d, 1); },
               "the status bar");
    steps.Start();
    d.Run(doc);
}

// The control system ends without a word while nothing waits for its reply
// (the watch and the refresh were answered): within 10 s the row no longer
// shows "Běží" and the status bar no longer "PLC: běží", while debugging and
// the watch go on.  A control system started again is read anew.  (The row
// and the status bar went on showing the running PLC for as long as nothing
// was asked.)
TEST(Mechanisms, ASilentControlSystemLeavesNoStateLookingCurrent)
{
    DebugSession s;
    ASSERT_TRUE(s.Start());
    CStrandworkDoc* doc = s.Project();
    ui::StatusBar* bar = s.App()->MainFrame()->GetStatusBar();
    ASSERT_NE(bar, nullptr);
    const int pane = bar->CommandToIndex(CMainFrame::ID_INDICATOR_PLC);
    ASSERT_GE(pane, 0);
    RunMecha(s);
    CMechanismsDlg d;
    ModalSteps steps;
    QElapsedTimer silentFor;
    WatchAndRefresh(steps, d, bar, pane);
    steps.Then([&] { return d.Rows()[0].refreshed; }, [&] {
        s.EndSimulator();
        silentFor.start();
    }, "refreshed");
    steps.Then([&] { return d.RowText(0, 1).isEmpty() && bar->GetPaneText(pane) == QStringLiteral("PLC: ?"); }, [&] {
        EXPECT_LT(silentFor.elapsed(), 10000);
        EXPECT_TRUE(doc->Link().ControlSystemSilent());
        EXPECT_TRUE(doc->IsDebugging());
        EXPECT_EQ(d.Rows()[0].mech->state, 1);
        EXPECT_EQ(doc->Data().WatchedMechanisms, std::vector<std::u16string>{u"MECHA"});
        EXPECT_TRUE(s.StartSimulatorAgain());
    }, "silent", 15000);
    // The new control system's status (its PLC holds no program).
    steps.Then([&] { return bar->GetPaneText(pane) == QStringLiteral("PLC: neběží"); }, [&] { Press(d, 1); },
               "read anew", 30000);
    steps.Start();
    d.Run(doc);
}
