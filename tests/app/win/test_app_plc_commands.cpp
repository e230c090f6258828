// The PLC-interface and debugging commands of the application against the
// simulator: each request reaches the control system, a failure writes its
// output line, clearing the breakpoints, the debugging windows and the
// jump to the current line.
#include "app/StrandworkApp.h"
#include "projectui/StrandworkDoc.h"
#include "link/linkobj/olnk_link.h"
#include "mainwnd/OutputCtrl.h"
#include "plcviews/InspectDlg.h"
#include "plcviews/MechanismsDlg.h"
#include "plcviews/PlcCommandDlg.h"
#include "res/CommandIds.h"
#include "tests/support/plcviews/PlcViewsTest.h"
#include "tests/support/ui/UiTest.h"

#include <QApplication>
#include <QPushButton>
#include <QTimer>

#include <chrono>

using namespace testsupport::ui;
using namespace testsupport::plcviews;

namespace {

QString OutputText(CStrandworkApp& app)
{
    COutputCtrl* out = app.OutputControl();
    return out ? out->Text() : QString();
}

// Presses OK on every PLC command dialog that shows a result, for as long
// as the object lives.
class ResultCloser
{
public:
    ResultCloser()
    {
        QObject::connect(&m_timer, &QTimer::timeout, [] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* d = qobject_cast<CPlcCommandDlg*>(w); d && d->isVisible() && d->ShowsResult())
                    if (auto* ok = d->Item<QPushButton>(1))
                        ok->click();
        });
        m_timer.start(10);
    }

private:
    QTimer m_timer;
};

// The link's status refreshed from the simulator's flags.
void SetStatus(DebugSession& s, uint16_t flags)
{
    s.Sim().plc().setFlags(flags);
    CPlcCommandDlg d;
    PlcStatusRecord status{};
    EXPECT_EQ(d.GetStatus(&s.Project()->Link(), &status, 0), 1);
}

bool Received(DebugSession& s, uint8_t code)
{
    return s.Sim()
        .recorder()
        .waitFor([code](const cssim::Record& r) { return r.direction == 0 && r.cls() == 1 && r.code() == code; },
                 std::chrono::milliseconds(2000))
        .has_value();
}

} // namespace

TEST(AppPlcCommands, EachRequestReachesTheControlSystemAndAFailureWritesItsLine)
{
    DebugSession s;
    ASSERT_TRUE(s.Start());
    CStrandworkApp& app = *s.App();
    ResultCloser closer;
    struct Case
    {
        uint32_t id;
        uint8_t code;
        uint16_t flags; // the PLC state that enables the command
        const char16_t* line;
    };
    const uint16_t loaded = cssim::FLAG_LOADED, running = cssim::FLAG_LOADED | cssim::FLAG_RUNNING;
    const Case cases[] = {
        {ID_PLC_STATUS, 0, loaded, u"Status PLC interfacu se nepodařilo získat...\r\n"},
        {ID_PLC_INFO, 30, loaded, u"Informace o PLC interfacu se nepodařilo získat...\r\n"},
        {ID_PLC_RESET, 3, loaded, u"Nulování PLC interfacu nebylo provedeno...\r\n"},
        {ID_PLC_SLEEP, 4, loaded, u"Kazetu se nepodařilo převést do režimu spánku...\r\n"},
        {ID_PLC_WAKE, 5, loaded, u"Kazetu se nepodařilo převést zpět ze spánkového režimu...\r\n"},
        {ID_PLC_RUN, 6, loaded, u"PLC interface se nepodařilo spustit...\r\n"},
        {ID_PLC_STOP, 7, running, u"PLC interface se nepodařilo vypnout...\r\n"},
        {ID_PLC_BREAK, 8, running, u"Příkaz na přerušení PLC se nepodařilo provést...\r\n"},
        {ID_PLC_STEP, 9, loaded, u"Příkaz Step PLC se nepodařilo provést...\r\n"},
        {ID_PLC_BACKUP_DATA, 10, loaded, u"Záloha dat PLC nebyla provedena...\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        SetStatus(s, c.flags);
        ASSERT_TRUE(app.CommandEnabled(c.id));
        cssim::RequestScript fail;
        fail.status = -3;
        s.Sim().scriptRequest(c.code, fail);
        s.Sim().recorder().clear();
        if (COutputCtrl* out = app.OutputControl())
            out->ClearAll();
        EXPECT_TRUE(app.ExecuteCommand(c.id));
        EXPECT_TRUE(Received(s, c.code));
        EXPECT_EQ(OutputText(app), QString::fromStdU16String(c.line).remove(QLatin1Char('\r')));
        s.Sim().clearRequestScript(c.code);
    }

    // Success says so in one line, named after the command.
    if (COutputCtrl* out = app.OutputControl())
        out->ClearAll();
    SetStatus(s, loaded);
    EXPECT_TRUE(app.ExecuteCommand(ID_PLC_RESET));
    EXPECT_TRUE(app.ExecuteCommand(ID_PLC_BACKUP_DATA));
    EXPECT_EQ(OutputText(app), QStringLiteral("Příkaz „Nulování interfacu“ byl proveden.\n"
                                              "Příkaz „Zálohovat data PLC“ byl proveden.\n"));
    if (COutputCtrl* out = app.OutputControl())
        out->ClearAll();

    // A command delivered while its rule disables it does nothing: Break
    // while the PLC is not running.  The Clear after it sends its request
    // on the same link, so a Break request would have come first.
    s.Sim().recorder().clear();
    ASSERT_FALSE(app.CommandEnabled(ID_PLC_BREAK));
    EXPECT_TRUE(app.ExecuteCommand(ID_PLC_BREAK));
    EXPECT_TRUE(app.ExecuteCommand(ID_PLC_RESET));
    EXPECT_TRUE(Received(s, 3));
    for (const cssim::Record& r : s.Sim().recorder().all())
        EXPECT_FALSE(r.direction == 0 && r.cls() == 1 && r.code() == 8);
    if (COutputCtrl* out = app.OutputControl())
        out->ClearAll();
    // A build delivered while debugging would rewrite the map and listing
    // in use: it does nothing.
    ASSERT_FALSE(app.CommandEnabled(ID_PROJECT_BUILD));
    EXPECT_TRUE(app.ExecuteCommand(ID_PROJECT_BUILD));
    EXPECT_TRUE(OutputText(app).isEmpty());
    EXPECT_TRUE(s.Project()->IsDebugging());
}

TEST(AppPlcCommands, ClearAllBreakpointsEmptiesEverything)
{
    DebugSession s;
    ASSERT_TRUE(s.Start());
    CStrandworkApp& app = *s.App();
    CStrandworkDoc* doc = s.Project();
    ResultCloser closer;

    const uint32_t beyond = doc->ListingFile().GetLineCount() + 5;
    doc->Data().Breakpoints = {MainIndex(3), SecondIndex(7), beyond};
    doc->ListingFile().GetLine(MainIndex(3))->breakpointState = compout::kBreakpointSet;
    doc->ListingFile().GetLine(SecondIndex(7))->breakpointState = compout::kBreakpointDisabled;
    s.Sim().plc().setBreakpoints({MainIndex(3), SecondIndex(7)});
    doc->SetModifiedFlag(false);

    ASSERT_TRUE(app.CommandEnabled(ID_DEBUG_CLEAR_ALL_BREAKPOINTS));
    EXPECT_TRUE(app.ExecuteCommand(ID_DEBUG_CLEAR_ALL_BREAKPOINTS));
    EXPECT_TRUE(doc->Data().Breakpoints.empty());
    EXPECT_EQ(doc->ListingFile().GetLine(MainIndex(3))->breakpointState, compout::kBreakpointNone);
    EXPECT_EQ(doc->ListingFile().GetLine(SecondIndex(7))->breakpointState, compout::kBreakpointNone);
    EXPECT_TRUE(doc->IsModified());
    EXPECT_TRUE(WaitFor([&] { return s.Sim().plc().breakpoints().empty(); }, 5000, "the PLC's breakpoints"));
    EXPECT_FALSE(app.CommandEnabled(ID_DEBUG_CLEAR_ALL_BREAKPOINTS)); // nothing left to clear

    // A failed request writes 4176.
    doc->Data().Breakpoints = {MainIndex(4)};
    cssim::RequestScript fail;
    fail.status = -3;
    s.Sim().scriptRequest(12, fail);
    if (COutputCtrl* out = app.OutputControl())
        out->ClearAll();
    EXPECT_TRUE(app.ExecuteCommand(ID_DEBUG_CLEAR_ALL_BREAKPOINTS));
    EXPECT_TRUE(doc->Data().Breakpoints.empty());
    EXPECT_TRUE(OutputText(app).contains(QStringLiteral("Při provádění příkazu SetBrksAtLine došlo k chybě...")));
}

TEST(AppPlcCommands, DebuggingWindowsAndTheCurrentLine)
{
    DebugSession s;
    ASSERT_TRUE(s.Start());
    CStrandworkApp& app = *s.App();

    bool mechanisms = false, variable = false;
    OnNextModal<CMechanismsDlg>([&](CMechanismsDlg* d) {
        mechanisms = true;
        EXPECT_EQ(d->parentWidget(), nullptr);
        d->reject();
    });
    EXPECT_TRUE(app.ExecuteCommand(ID_VIEW_MECHANISMS));
    OnNextModal<CInspectDlg>([&](CInspectDlg* d) {
        variable = true;
        d->reject();
    });
    EXPECT_TRUE(app.ExecuteCommand(ID_VIEW_VARIABLE));
    EXPECT_TRUE(mechanisms);
    EXPECT_TRUE(variable);

    // Stopped at line 17 of src/Second.plc: the jump shows it.
    s.Sim().plc().setPosition(SecondIndex(17));
    SetStatus(s, cssim::FLAG_LOADED | cssim::FLAG_RUNNING | cssim::FLAG_AT_POSITION);
    ASSERT_TRUE(app.CommandEnabled(ID_DEBUG_GO_TO_CURRENT_LINE));
    EXPECT_TRUE(app.ExecuteCommand(ID_DEBUG_GO_TO_CURRENT_LINE));
    ui::Document* second = nullptr;
    for (ui::Document* d : app.Template(3)->Documents())
        if (d->GetPathName().endsWith(QStringLiteral("Second.plc")))
            second = d;
    ASSERT_NE(second, nullptr);
    auto* view = qobject_cast<CPLCView*>(second->FirstView());
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->GetCursorPos().line, 16);
}
