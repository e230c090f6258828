// The variable window: the new-value table by type, the bit fields, set
// value and invert against the simulator's memory, a mechanism started and
// stopped, stale and late replies, the polling's spacing, and command
// ID_VIEW_VARIABLE of the PLC view.
#include "editor/dialogs/HistoryCombo.h"
#include "link/linkobj/olnk_link.h"
#include "platform/ui/Beep.h"
#include "platform/ui/Prompt.h"
#include "plcviews/InspectDlg.h"
#include "plcviews/InspectLogic.h"
#include "plcviews/PlcViewLogic.h"
#include "res/CommandIds.h"
#include "tests/plcviews/ModalSteps.h"
#include "tests/support/plcviews/PlcViewsTest.h"
#include "tests/support/ui/UiTest.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>

#include <gtest/gtest.h>

using namespace testsupport::ui;
using namespace testsupport::plcviews;

namespace {

bool Parses(uint32_t type, const char16_t* text, uint64_t* bits = nullptr)
{
    inspect::NewValue v;
    const bool ok = inspect::ParseNewValue(type, text, v);
    if (ok && bits)
        *bits = v.bits;
    return ok;
}

QString Text(CInspectDlg& d, int id) { return d.Item<QLabel>(id) ? d.Item<QLabel>(id)->text() : d.Item<QLineEdit>(id)->text(); }

// The GetVar requests the simulator received for an address.
int Reads(cssim::Simulator& sim, uint32_t address, std::vector<uint64_t>* times = nullptr)
{
    int n = 0;
    for (const cssim::Record& r : sim.recorder().all()) {
        if (r.direction != 0 || r.cls() != 1 || r.type() != 0 || r.code() != 22)
            continue;
        const cssim::Bytes p = r.payload();
        if (p.size() >= 6 && (uint32_t(p[2]) | uint32_t(p[3]) << 8 | uint32_t(p[4]) << 16 | uint32_t(p[5]) << 24) ==
                                 address) {
            ++n;
            if (times)
                times->push_back(r.ms);
        }
    }
    return n;
}

uint8_t Byte(cssim::Simulator& sim, uint16_t area, uint32_t address) { return sim.plc().readMemory(area, address, 1)[0]; }

} // namespace

TEST(Inspect, NewValuesAreCheckedByType)
{
    using namespace plcview;
    uint64_t b = 0;
    // Byte: both signed and unsigned ranges; "300" would write 44.
    EXPECT_TRUE(Parses(kByte, u"255", &b) && b == 255);
    EXPECT_TRUE(Parses(kByte, u"-128", &b) && uint8_t(b) == 0x80);
    EXPECT_TRUE(Parses(kByte, u"0xff", &b) && b == 255);
    for (const char16_t* bad : {u"300", u"-129", u"0x100", u"", u"1 ", u"x1", u"0x", u"+"})
        EXPECT_FALSE(Parses(kByte, bad)) << QString::fromUtf16(bad).toStdString();
    // Word: "12x" refused, "0x1F" is 31.
    EXPECT_FALSE(Parses(kWord, u"12x"));
    EXPECT_TRUE(Parses(kWord, u"0x1F", &b) && b == 31);
    EXPECT_TRUE(Parses(kWord, u" 65535", &b) && b == 65535);
    EXPECT_TRUE(Parses(kWord, u"-32768", &b) && uint16_t(b) == 0x8000);
    EXPECT_FALSE(Parses(kWord, u"65536"));
    EXPECT_FALSE(Parses(kWord, u"-32769"));
    // DWord.
    EXPECT_TRUE(Parses(kDWord, u"4294967295", &b) && b == 0xFFFFFFFFu);
    EXPECT_TRUE(Parses(kDWord, u"-2147483648", &b) && uint32_t(b) == 0x80000000u);
    EXPECT_FALSE(Parses(kDWord, u"4294967296"));
    EXPECT_FALSE(Parses(kDWord, u"0x100000000"));
    // QWord: the signed and the unsigned 64-bit range.
    EXPECT_TRUE(Parses(kQWord, u"18446744073709551615", &b) && b == ~0ull);
    EXPECT_TRUE(Parses(kQWord, u"-9223372036854775808", &b) && b == 1ull << 63);
    EXPECT_TRUE(Parses(kQWord, u"0xFFFFFFFFFFFFFFFF", &b) && b == ~0ull);
    EXPECT_FALSE(Parses(kQWord, u"18446744073709551616"));
    EXPECT_FALSE(Parses(kQWord, u"-9223372036854775809"));
    EXPECT_FALSE(Parses(kQWord, u"0x10000000000000000"));
    // Real: finite numbers only.
    EXPECT_TRUE(Parses(kReal, u"-1.5e3"));
    for (const char16_t* bad : {u"inf", u"nan", u"1e999", u"1.5x", u"", u"1,5"})
        EXPECT_FALSE(Parses(kReal, bad)) << QString::fromUtf16(bad).toStdString();
    // Bit: 0 or 1 only.
    for (const char16_t* good : {u"0", u"1", u"0x0", u"0x1"})
        EXPECT_TRUE(Parses(kBit, good));
    for (const char16_t* bad : {u"2", u"-1", u"0x2", u"1x"})
        EXPECT_FALSE(Parses(kBit, bad));
    // Mechanisms, offsets and constants take no value.
    EXPECT_FALSE(Parses(kMechanism, u"1"));
    EXPECT_EQ(inspect::InvalidValueMessage(kWord), 4009u);
    EXPECT_EQ(inspect::InvalidValueMessage(kQWord), 4446u);
    // Shown forms: decimal of the value as read (a Byte and a Word
    // unsigned, a DWord signed), hexadecimal of the bytes.
    EXPECT_EQ(inspect::DecimalText(kByte, 0xFF, 0), u"255");
    EXPECT_EQ(inspect::DecimalText(kByte, 200, 0), u"200");
    EXPECT_EQ(inspect::HexText(kByte, 0xFF, 0), u"0xff");
    EXPECT_EQ(inspect::DecimalText(kWord, 0x8000, 0), u"32768");
    EXPECT_EQ(inspect::DecimalText(kDWord, 0xFFFFFFFE, 0), u"-2");
    EXPECT_EQ(inspect::DecimalText(kQWord, -2, 0), u"-2");
    EXPECT_EQ(inspect::HexText(kQWord, -2, 0), u"0xfffffffffffffffe");
    EXPECT_EQ(inspect::DecimalText(kReal, 0, 2.5), u"2.500000");
}

TEST(Inspect, ByteBitsAndValuesReachTheSimulator)
{
    DebugSession s;
    ASSERT_TRUE(s.Start());
    s.Sim().plc().writeMemory(1, 0x10, {0x05});
    PromptScript prompts({::ui::IDOK});
    CInspectDlg d;
    ModalSteps steps;
    steps.Then([&] { return d.ValueValid(); }, [&] {
        EXPECT_EQ(Text(d, CInspectDlg::IDC_TYPE), QStringLiteral("Byte"));
        EXPECT_EQ(Text(d, CInspectDlg::IDC_AREA), QStringLiteral("1"));
        EXPECT_EQ(Text(d, CInspectDlg::IDC_ADDRESS), QStringLiteral("0x10"));
        EXPECT_EQ(Text(d, CInspectDlg::IDC_DECIMAL), QStringLiteral("5"));
        EXPECT_EQ(Text(d, CInspectDlg::IDC_HEX), QStringLiteral("0x5"));
        EXPECT_EQ(Text(d, CInspectDlg::IDC_BIT0 + 2), QStringLiteral("1"));
        EXPECT_EQ(Text(d, CInspectDlg::IDC_BIT0 + 3), QStringLiteral("0"));
        EXPECT_EQ(Text(d, CInspectDlg::IDC_BITLABEL0 + 3), QStringLiteral("BITX"));
        EXPECT_EQ(Text(d, CInspectDlg::IDC_BITLABEL0 + 0), QStringLiteral("VARB 0"));
        // "1" in the field of bit 3: mask 0x08, value 0x08.
        TypeText(d.Item<QLineEdit>(CInspectDlg::IDC_BIT0 + 3), QStringLiteral("1"));
        EXPECT_EQ(Text(d, CInspectDlg::IDC_BIT0 + 3), QStringLiteral("0"));  // nothing inserted
    }, "the first value");
    steps.Then([&] { return Byte(s.Sim(), 1, 0x10) == 0x0D; }, [] {}, "bit 3 set");
    // The space toggles it once the new value has been read.
    steps.Then([&] { return Text(d, CInspectDlg::IDC_BIT0 + 3) == QStringLiteral("1"); },
               [&] { TypeText(d.Item<QLineEdit>(CInspectDlg::IDC_BIT0 + 3), QStringLiteral(" ")); }, "bit 3 shown");
    steps.Then([&] { return Byte(s.Sim(), 1, 0x10) == 0x05; }, [&] {
        // "300" is refused with the Byte message and sends nothing.
        d.Item<QComboBox>(CInspectDlg::IDC_NEWVALUE)->setEditText(QStringLiteral("300"));
        d.Item<QPushButton>(CInspectDlg::IDC_SET)->click();
        EXPECT_EQ(prompts.Texts().size(), 1u);
        d.Item<QComboBox>(CInspectDlg::IDC_NEWVALUE)->setEditText(QStringLiteral("0x1F"));
        d.Item<QPushButton>(CInspectDlg::IDC_SET)->click();
    }, "bit 3 cleared");
    steps.Then([&] { return Byte(s.Sim(), 1, 0x10) == 0x1F; }, [&] { d.Item<QPushButton>(1)->click(); }, "0x1F set");
    steps.Start();
    EXPECT_EQ(d.Run(s.Project(), QStringLiteral("VARB")), CModalDialogBase::IDOK);
    ASSERT_EQ(prompts.Texts().size(), 1u);
    EXPECT_EQ(prompts.Texts()[0], QStringLiteral("Neplatný zápis nové hodnoty proměnné typu Byte."));
    // The histories keep what was typed.
    EXPECT_TRUE(CHistoryCombo::GetHistory(QStringLiteral("InspectNewValue")).contains(QStringLiteral("300")));
    EXPECT_TRUE(CHistoryCombo::GetHistory(QStringLiteral("Inspect")).contains(QStringLiteral("VARB")));
    // A reply after closing changes nothing and no read follows.
    const int reads = Reads(s.Sim(), 0x10);
    // Time is the subject: three poll periods without a read.
    PumpEvents(300);
    EXPECT_EQ(Reads(s.Sim(), 0x10), reads);
}

TEST(Inspect, BitInvertWordValueAndMechanism)
{
    DebugSession s;
    ASSERT_TRUE(s.Start());
    CInspectDlg d;
    ModalSteps steps;
    // A Bit (BITX: bit 3 of VARB): invert writes its negation.
    steps.Then([&] { return d.ValueValid(); }, [&] {
        EXPECT_EQ(Text(d, CInspectDlg::IDC_TYPE), QStringLiteral("Bit"));
        EXPECT_EQ(Text(d, CInspectDlg::IDC_BITNUMBER), QStringLiteral("b 3"));
        d.Item<QPushButton>(CInspectDlg::IDC_INVERT)->click();
    }, "BITX read");
    steps.Then([&] { return Byte(s.Sim(), 1, 0x10) == 0x08; }, [&] {
        // A Word by its new value, through the expression's refresh.
        d.Item<QComboBox>(CInspectDlg::IDC_EXPRESSION)->setEditText(QStringLiteral("VARW"));
        d.OnRefresh();
        d.Item<QComboBox>(CInspectDlg::IDC_NEWVALUE)->setEditText(QStringLiteral("-2"));
        d.Item<QPushButton>(CInspectDlg::IDC_SET)->click();
    }, "BITX inverted");
    // A Word shows unsigned, as read.
    steps.Then([&] { return Text(d, CInspectDlg::IDC_DECIMAL) == QStringLiteral("65534"); }, [&] {
        EXPECT_EQ(Text(d, CInspectDlg::IDC_HEX), QStringLiteral("0xfffe"));
        EXPECT_EQ(s.Sim().plc().readMemory(1, 0x12, 2), (cssim::Bytes{0xFE, 0xFF}));
        // A failed read shows its status in quotation marks; the polling goes on.
        cssim::RequestScript failed;
        failed.status = -5;
        s.Sim().scriptRequest(22, failed);
    }, "VARW written");
    steps.Then([&] { return Text(d, CInspectDlg::IDC_DECIMAL) == QStringLiteral("\"Chyba -5\""); }, [&] {
        EXPECT_FALSE(d.ValueValid());
        // A reply shorter than its value is a failed read too.
        cssim::RequestScript cut;
        cut.cut = 1;
        s.Sim().scriptRequest(22, cut);
    }, "the failed read");
    steps.Then([&] { return Text(d, CInspectDlg::IDC_DECIMAL) == QStringLiteral("\"Chyba -1\""); }, [&] {
        s.Sim().scriptRequest(22, {});
        // A mechanism: start and stop.
        d.Item<QComboBox>(CInspectDlg::IDC_EXPRESSION)->setEditText(QStringLiteral("MECHA"));
        d.OnRefresh();
    }, "the short reply");
    steps.Then([&] { return d.ValueValid(); }, [&] {
        EXPECT_EQ(Text(d, CInspectDlg::IDC_STATE), QStringLiteral("Neběží"));
        d.Item<QPushButton>(CInspectDlg::IDC_START)->click();
    }, "MECHA read");
    steps.Then([&] { return s.Sim().plc().mechanism(0x100, 3).running == 1; }, [&] {
        s.Sim().plc().setMechanism(0x100, 3, 1, MainIndex(17));
    }, "MECHA started");
    steps.Then([&] { return Text(d, CInspectDlg::IDC_STATE) == QStringLiteral("Běží - ř.17, MAIN.PLC"); },
               [&] { d.Item<QPushButton>(CInspectDlg::IDC_STOP)->click(); }, "MECHA's line");
    steps.Then([&] { return s.Sim().plc().mechanism(0x100, 3).running == 0; },
               [&] { d.Item<QPushButton>(2)->click(); }, "MECHA stopped");
    steps.Start();
    EXPECT_EQ(d.Run(s.Project(), QStringLiteral("BITX")), CModalDialogBase::IDCANCEL);
}

TEST(Inspect, StaleRepliesPollingSpacingAndTheViewsCommand)
{
    DebugSession s;
    ASSERT_TRUE(s.Start());
    // The reads of BITX and VARB are slow; a refresh to VARW meanwhile makes
    // their replies stale: they change nothing and are not answered with a read.
    cssim::RequestScript slow;
    slow.delayMs = 400;
    s.Sim().scriptRequest(22, slow);
    s.Sim().plc().writeMemory(1, 0x12, {0x34, 0x12});
    const int beeps = ::ui::BeepCount();
    {
        CInspectDlg d;
        ModalSteps steps;
        steps.Do([&] {
            EXPECT_EQ(d.Outstanding(), 1);
            // Invert of a Bit before its value is known: a beep, nothing sent.
            d.OnInvert();
            EXPECT_EQ(::ui::BeepCount(), beeps + 1);
            // A space in a Byte's bit field before its value: the same.
            d.Item<QComboBox>(CInspectDlg::IDC_EXPRESSION)->setEditText(QStringLiteral("VARB"));
            d.OnRefresh();
            TypeText(d.Item<QLineEdit>(CInspectDlg::IDC_BIT0 + 1), QStringLiteral(" "));
            EXPECT_EQ(::ui::BeepCount(), beeps + 2);
            s.Sim().scriptRequest(22, {});
            d.Item<QComboBox>(CInspectDlg::IDC_EXPRESSION)->setEditText(QStringLiteral("VARW"));
            d.OnRefresh();
        }, "the first read sent");
        steps.Then([&] { return d.ValueValid() && d.Outstanding() == 0; }, [&] {
            EXPECT_EQ(Text(d, CInspectDlg::IDC_DECIMAL), QStringLiteral("4660"));
        }, "VARW shown");
        // Let the stale reply arrive, then watch the polling for a while.
        QElapsedTimer clock;
        clock.start();
        steps.Then([&] { return clock.elapsed() > 1200; }, [&] { d.Item<QPushButton>(1)->click(); }, "polling");
        steps.Start();
        d.Run(s.Project(), QStringLiteral("BITX"));
        EXPECT_EQ(Text(d, CInspectDlg::IDC_TYPE), QStringLiteral("Word"));
    }
    EXPECT_EQ(Reads(s.Sim(), 0x10), 2);  // the stale replies sent no read
    std::vector<uint64_t> times;
    Reads(s.Sim(), 0x12, &times);
    ASSERT_GE(times.size(), 3u);
    // The simulator's clock in ms, at arrival: the transit of one read may be
    // late and the next on time, so single gaps can look short under load.
    // Over the whole run the reads keep their 100 ms spacing: one gap of
    // slack for the two ends.
    const uint64_t span = times.back() - times.front();
    EXPECT_LE((times.size() - 1) * 100u, span + 100u)
        << times.size() << " reads in " << span << " ms";

    // Command ID_VIEW_VARIABLE of the PLC view: the word at the caret, or the selection.
    CPLCView* v = s.Open("Main.plc");
    ASSERT_NE(v, nullptr);
    v->ClampTextPos(EdtPoint{21, 6});  // behind "-VARW"
    EXPECT_EQ(v->VariableExpression(), QStringLiteral("-VARW"));
    v->SetSelection(EdtPoint{16, 4}, EdtPoint{20, 4});
    EXPECT_EQ(v->VariableExpression(), QStringLiteral("VARD"));
    v->ClampTextPos(EdtPoint{16, 2});
    QString shown;
    OnNextModal<CInspectDlg>([&](CInspectDlg* d) {
        WaitFor([&] { return d->ValueValid(); }, 5000, "VARB read");
        shown = d->Item<QComboBox>(CInspectDlg::IDC_EXPRESSION)->currentText();
        d->OnOK();
    });
    ::ui::CmdUI cmd(ID_VIEW_VARIABLE);
    EXPECT_TRUE(v->UpdateCommand(cmd));
    EXPECT_TRUE(cmd.Enabled());
    v->ExecuteCommand(ID_VIEW_VARIABLE);
    EXPECT_EQ(shown, QStringLiteral("VARB"));
    s.Project()->StopDebugging();
    ::ui::CmdUI off(ID_VIEW_VARIABLE);
    EXPECT_TRUE(v->UpdateCommand(off));
    EXPECT_FALSE(off.Enabled());
}

// A Byte written with 200 reads back 200 (0xc8).  The control system ends:
// the value field shows the reset, and a write asked now is refused at once
// with the window's message.  A control system started again on the same
// ports receives no write.  (The write was held and reached it once the
// link connected again.)
TEST(Inspect, AWriteAskedWhileTheLinkIsDownIsRefusedAtOnceAndNeverSentLater)
{
    DebugSession s;
    ASSERT_TRUE(s.Start());
    PromptScript prompts({::ui::IDOK});
    CInspectDlg d;
    ModalSteps steps;
    steps.Then([&] { return d.ValueValid(); }, [&] {
        d.Item<QComboBox>(CInspectDlg::IDC_NEWVALUE)->setEditText(QStringLiteral("200"));
        d.Item<QPushButton>(CInspectDlg::IDC_SET)->click();
    }, "VARB read");
    steps.Then([&] { return Byte(s.Sim(), 1, 0x10) == 200 && Text(d, CInspectDlg::IDC_DECIMAL) == QStringLiteral("200"); },
               [&] {
        EXPECT_EQ(Text(d, CInspectDlg::IDC_HEX), QStringLiteral("0xc8"));
        EXPECT_EQ(Text(d, CInspectDlg::IDC_BIT0 + 7), QStringLiteral("1"));
        s.EndSimulator();
    }, "200 written and shown");
    steps.Then([&] { return Text(d, CInspectDlg::IDC_DECIMAL) == QStringLiteral("\"Chyba -123\""); }, [&] {
        EXPECT_TRUE(prompts.Texts().empty());
        d.Item<QPushButton>(CInspectDlg::IDC_SET)->click();
        // At once, before anything else happened.
        const std::vector<QString> shown = prompts.Texts();
        d.OnOK();
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0], QStringLiteral("Příkaz se nepodařilo přenést do systému!"));
    }, "the link reset", 30000);
    steps.Start();
    EXPECT_EQ(d.Run(s.Project(), QStringLiteral("VARB")), CModalDialogBase::IDOK);

    ASSERT_TRUE(s.StartSimulatorAgain());
    COlnkLink& link = s.Project()->Link();
    ASSERT_TRUE(WaitFor([&] { return link.IsEstablished(); }, 30000, "the link established again"));
    // The link reads the new control system's status; by then, and half a
    // second later, no write has come.
    ASSERT_TRUE(WaitFor([&] {
        for (const cssim::Record& r : s.Sim().recorder().all())
            if (r.direction == 0 && r.cls() == 1 && r.type() == 0 && r.code() == 0)
                return true;
        return false;
    }, 10000, "the status read again"));
    PumpEvents(500);
    for (const cssim::Record& r : s.Sim().recorder().all())
        EXPECT_FALSE(r.direction == 0 && r.cls() == 1 && r.type() == 0 && (r.code() == 23 || r.code() == 28))
            << "a write reached the new control system";
    EXPECT_EQ(Byte(s.Sim(), 1, 0x10), 0);
}

// A value set just as the control system stopped answering (its frames no
// longer reach us; it still receives ours and carries the write out): the
// channel resets itself for the unanswered requests, and the window says
// that the control system may have set the value, not that it failed.
// Once the link answers again, the window reads back and shows what the
// control system holds.  (It said "Hodnotu proměnné se nepodařilo
// nastavit! (Chyba -123.)" of a value the control system had set.)
TEST(Inspect, AWriteWhoseFateIsUnknownIsNotCalledFailedAndIsReadBack)
{
    DebugSession s;
    Options o;
    o.shim = true;
    ASSERT_TRUE(s.Start(o));
    COlnkLink& link = s.Project()->Link();
    PromptScript prompts({::ui::IDOK});
    CInspectDlg d;
    ModalSteps steps;
    steps.Then([&] { return d.ValueValid() && Text(d, CInspectDlg::IDC_DECIMAL) == QStringLiteral("0"); }, [&] {
        s.Sim().shim().silence(1, true);
        d.Item<QComboBox>(CInspectDlg::IDC_NEWVALUE)->setEditText(QStringLiteral("200"));
        d.Item<QPushButton>(CInspectDlg::IDC_SET)->click();
    }, "VARB read");
    steps.Then([&] { return Byte(s.Sim(), 1, 0x10) == 200; }, [] {}, "the write carried out");
    steps.Then([&] { return !prompts.Texts().empty(); }, [&] {
        EXPECT_FALSE(link.ControlSystemSilent()) << "the reset came after the silence was known";
        s.Sim().shim().silence(1, false);
    }, "the write's message", 15000);
    steps.Then([&] { return link.IsEstablished() && Text(d, CInspectDlg::IDC_DECIMAL) == QStringLiteral("200"); },
               [&] { d.OnOK(); }, "the value read back", 15000);
    steps.Start();
    EXPECT_EQ(d.Run(s.Project(), QStringLiteral("VARB")), CModalDialogBase::IDOK);
    ASSERT_EQ(prompts.Texts().size(), 1u);
    EXPECT_EQ(prompts.Texts()[0],
              QStringLiteral("Spojení se přerušilo dřív, než řídicí systém zápis potvrdil: hodnotu proměnné mohl "
                             "nastavit. Okno ukáže hodnotu, kterou řídicí systém má, jakmile bude spojení obnoveno."));
    EXPECT_EQ(Text(d, CInspectDlg::IDC_HEX), QStringLiteral("0xc8"));
}

// A write whose bytes would reach the next variable of the map is refused
// before it is sent: 2.5 written as a Real (8 bytes) at the place of the
// Word VARW ("REAL.VARW", two bytes before the DWord VARD) zeroed VARD.
TEST(Inspect, AWriteThatWouldReachTheNextVariableIsRefusedBeforeSending)
{
    DebugSession s;
    ASSERT_TRUE(s.Start());
    s.Sim().plc().writeMemory(1, 0x14, {1, 2, 3, 4});
    PromptScript prompts({::ui::IDOK});
    CInspectDlg d;
    ModalSteps steps;
    steps.Then([&] { return d.ValueValid(); }, [&] {
        d.Item<QComboBox>(CInspectDlg::IDC_NEWVALUE)->setEditText(QStringLiteral("2.5"));
        d.Item<QPushButton>(CInspectDlg::IDC_SET)->click();
        const std::vector<QString> shown = prompts.Texts();
        d.OnOK();
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_TRUE(shown[0].startsWith(QStringLiteral("Zápis 8 bajtů by přesáhl"))) << shown[0].toStdString();
    }, "REAL.VARW read");
    steps.Start();
    EXPECT_EQ(d.Run(s.Project(), QStringLiteral("REAL.VARW")), CModalDialogBase::IDOK);
    PumpEvents(300);
    for (const cssim::Record& r : s.Sim().recorder().all())
        EXPECT_FALSE(r.direction == 0 && r.cls() == 1 && r.type() == 0 && r.code() == 23) << "the write was sent";
    EXPECT_EQ(s.Sim().plc().readMemory(1, 0x14, 4), (cssim::Bytes{1, 2, 3, 4}));
}
