// The PLC view's debugging display against the simulator: breakpoints,
// mechanism watches, the register watch of the visible lines, the margin
// marks and the tips with their polling.
#include "editor/view/EdtViewRenderer.h"
#include "editor/view/EdtViewScroller.h"
#include "link/linkobj/olnk_link.h"
#include "mainwnd/MainFrame.h"
#include "mainwnd/OutputCtrl.h"
#include "platform/ui/Beep.h"
#include "tests/support/plcviews/PlcViewsTest.h"
#include "tests/support/ui/UiTest.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace testsupport::ui;
using namespace testsupport::plcviews;
using namespace std::chrono_literals;

namespace {

// The margin's right edge and the centre of a 0-based line on screen.
QPoint MarkPoint(CPLCView* v, int line, int fromRight)
{
    const int lh = v->Renderer().GetLineHeight();
    const int y = (v->GetSubLineIndex(line) - v->ScrollPos().topSubLine) * lh + lh / 2;
    const QRect client = v->Scroller().ClientRect();
    return QPoint(client.left() + v->GetMarginWidth() - fromRight, client.top() + y);
}

QColor Pixel(CPLCView* v, QPoint p) { return Render(v).pixelColor(p); }

std::vector<uint32_t> Indices(const cssim::Plc::WatchList& w)
{
    std::vector<uint32_t> out;
    for (size_t i = 0; i + 4 <= w.entries.size(); i += 4)
        out.push_back(uint32_t(w.entries[i]) | uint32_t(w.entries[i + 1]) << 8 | uint32_t(w.entries[i + 2]) << 16 |
                      uint32_t(w.entries[i + 3]) << 24);
    return out;
}

// A point over the text of a 0-based line at a character.
QPoint TextPoint(CPLCView* v, int line, int ch)
{
    const QPoint p = v->TextToClient(EdtPoint{ch, line});
    return p + QPoint(v->Renderer().GetCharWidth() / 2, v->Renderer().GetLineHeight() / 2);
}

void Caret(CPLCView* v, int line) { v->ClampTextPos(EdtPoint{0, line}); }

// The application as host, but without an output window; counts the hints
// to the PLC views and puts the application back when it goes.
class NoOutputHost : public ProjectHost
{
public:
    explicit NoOutputHost(ProjectHost* app) : m_app(app) { SetProjectHost(this); }
    ~NoOutputHost() override { SetProjectHost(m_app); }
    CStrandworkDoc* GetProjectDoc() override { return m_app->GetProjectDoc(); }
    bool SetProjectDoc(CStrandworkDoc* doc) override { return m_app->SetProjectDoc(doc); }
    bool ClearProjectDoc() override { return m_app->ClearProjectDoc(); }
    bool CloseProject(bool ending) override { return m_app->CloseProject(ending); }
    bool OnFileSaveAll() override { return m_app->OnFileSaveAll(); }
    void UpdatePlcViews(ui::View* sender, long hint, QObject* object) override
    {
        if (hint == 11)
            ++breakpointHints;
        m_app->UpdatePlcViews(sender, hint, object);
    }
    core::OutputSink* GetOutputCtrl() override { return nullptr; }
    const core::AppSettings& GetAppSettings() override { return m_app->GetAppSettings(); }
    bool PumpMessages() override { return m_app->PumpMessages(); }
    QString GetProgramFolder() override { return m_app->GetProgramFolder(); }
    WorkspaceDocumentsPort* GetWorkspaceDocumentsPort() override { return m_app->GetWorkspaceDocumentsPort(); }

    int breakpointHints = 0;

private:
    ProjectHost* m_app;
};

} // namespace

TEST(PlcView, BreakpointToggleFollowsTheSimulator)
{
    DebugSession s;
    ASSERT_TRUE(s.Start());
    CPLCView* v = s.Open("Main.plc");
    ASSERT_NE(v, nullptr);
    EXPECT_TRUE(v->GetMarginWidth() > 20);

    // A comment line beeps and sends nothing.
    const int beeps = ui::BeepCount();
    Caret(v, 0);
    v->ExecuteCommand(ID_DEBUG_TOGGLE_BREAKPOINT);
    EXPECT_EQ(ui::BeepCount(), beeps + 1);
    EXPECT_TRUE(s.Project()->Data().Breakpoints.empty());

    // A code line: the simulator holds the index; the reply is delayed, so
    // the circle shows the disabled fill first.
    cssim::RequestScript delay;
    delay.delayMs = 600;
    s.Sim().scriptRequest(12, delay);
    Caret(v, 2);
    v->ExecuteCommand(ID_DEBUG_TOGGLE_BREAKPOINT);
    EXPECT_EQ(s.Project()->Data().Breakpoints, std::vector<uint32_t>{MainIndex(3)});
    EXPECT_TRUE(s.Project()->IsModified());
    const QPoint mark = MarkPoint(v, 2, 17);
    PumpEvents(50);
    EXPECT_EQ(Pixel(v, mark), ui::ColorFromRef(v->PlcItemAt(CPLCView::DisabledBreakpoint).textColor));
    ASSERT_TRUE(WaitFor([&] { return s.Sim().plc().breakpoints() == std::vector<uint32_t>{3}; }, 5000, "the set"));
    ASSERT_TRUE(WaitFor([&] {
        return Pixel(v, mark) == ui::ColorFromRef(v->PlcItemAt(CPLCView::EnabledBreakpoint).textColor);
    }, 5000, "the enabled fill"));

    // Toggling again clears it; the list never holds an index twice.
    s.Sim().scriptRequest(12, {});
    v->ExecuteCommand(ID_DEBUG_TOGGLE_BREAKPOINT);
    EXPECT_TRUE(s.Project()->Data().Breakpoints.empty());
    ASSERT_TRUE(WaitFor([&] { return s.Sim().plc().breakpoints().empty(); }, 5000, "cleared"));
    v->ExecuteCommand(ID_DEBUG_TOGGLE_BREAKPOINT);
    EXPECT_EQ(s.Project()->Data().Breakpoints.size(), 1u);
}

TEST(PlcView, FailuresWithoutOutputWindowAreSkipped)
{
    DebugSession s;
    ASSERT_TRUE(s.Start());
    CPLCView* v = s.Open("Main.plc");
    ASSERT_NE(v, nullptr);
    COutputCtrl* out = s.App()->MainFrame()->GetOutputCtrl();
    ASSERT_NE(out, nullptr);

    // With the output window: the refused set writes its line.
    cssim::RequestScript refuse;
    refuse.status = -3;
    s.Sim().scriptRequest(12, refuse);
    Caret(v, 2);
    v->ExecuteCommand(ID_DEBUG_TOGGLE_BREAKPOINT);
    ASSERT_TRUE(WaitFor([&] { return out->Text().contains(QStringLiteral("Chyba příkazu Set Breakpoint -3")); },
                        5000, "the line in the output window"));
    const QString before = out->Text();

    {
        NoOutputHost host(s.App());
        // The refused clear: its result arrives and nothing is written.
        v->ExecuteCommand(ID_DEBUG_TOGGLE_BREAKPOINT);
        EXPECT_TRUE(s.Project()->Data().Breakpoints.empty());
        ASSERT_TRUE(WaitFor([&] { return host.breakpointHints >= 2; }, 5000, "the refused result"));
        // The view stays usable: a set that the simulator accepts.
        s.Sim().scriptRequest(12, {});
        Caret(v, 3);
        v->ExecuteCommand(ID_DEBUG_TOGGLE_BREAKPOINT);
        ASSERT_TRUE(WaitFor([&] { return s.Sim().plc().breakpoints() == std::vector<uint32_t>{4}; }, 5000, "the set"));
        // The link closed: the toggles fail at once; no line either.
        s.Project()->Link().Close();
        v->ExecuteCommand(ID_DEBUG_TOGGLE_BREAKPOINT);
        Caret(v, 15);  // inside MECHA
        v->ExecuteCommand(ID_DEBUG_TOGGLE_MECH_WATCH);
        EXPECT_EQ(s.Project()->Data().WatchedMechanisms, std::vector<std::u16string>{u"MECHA"});
        PumpEvents(50);
        EXPECT_TRUE(v->isVisible());
        EXPECT_EQ(out->Text(), before);
    }

    // The output window back: the failed toggle writes its line again.
    Caret(v, 2);
    v->ExecuteCommand(ID_DEBUG_TOGGLE_BREAKPOINT);
    EXPECT_FALSE(before.contains(QStringLiteral("SetBrkAtLine")));
    EXPECT_TRUE(out->Text().contains(QStringLiteral("SetBrkAtLine"))) << out->Text().toStdString();
}

TEST(PlcView, MechanismWatchToggle)
{
    DebugSession s;
    ASSERT_TRUE(s.Start());
    CPLCView* v = s.Open("Main.plc");
    ASSERT_NE(v, nullptr);
    Caret(v, 15);  // inside MECHA
    v->ExecuteCommand(ID_DEBUG_TOGGLE_MECH_WATCH);
    EXPECT_EQ(s.Project()->Data().WatchedMechanisms, std::vector<std::u16string>{u"MECHA"});
    ASSERT_EQ(s.Project()->MechanismWatchSet().size(), 1u);
    EXPECT_EQ(s.Project()->MechanismWatchSet()[0], (MechanismWatch{0x100, 3}));
    ASSERT_TRUE(WaitFor([&] { return s.Sim().plc().watchMech().count == 1; }, 5000, "the watch in force"));
    // A running mechanism: the bar in the MechRun colour.
    s.Sim().plc().setMechanism(0x100, 3, 1, MainIndex(17));
    const QPoint bar = MarkPoint(v, 14, 2);
    ASSERT_TRUE(WaitFor([&] { return Pixel(v, bar) == ui::ColorFromRef(v->PlcItemAt(CPLCView::MechRun).textColor); },
                        5000, "the running bar"));
    v->ExecuteCommand(ID_DEBUG_TOGGLE_MECH_WATCH);
    EXPECT_TRUE(s.Project()->Data().WatchedMechanisms.empty());
    EXPECT_TRUE(s.Project()->MechanismWatchSet().empty());
    ASSERT_TRUE(WaitFor([&] { return s.Sim().plc().watchMech().count == 0; }, 5000, "no watch"));
    // The second source sits in src/ and its listing header names the folder.
    CPLCView* second = s.Open("src/Second.plc");
    ASSERT_NE(second, nullptr);
    const compout::ListingLine* l = second->ListingLineOf(14);
    ASSERT_NE(l, nullptr);
    ASSERT_NE(l->mechanism, nullptr);
    EXPECT_EQ(l->mechanism->name, u"MECHB");
    // Outside any mechanism: a beep.
    const int beeps = ui::BeepCount();
    Caret(v, 2);
    v->ExecuteCommand(ID_DEBUG_TOGGLE_MECH_WATCH);
    EXPECT_EQ(ui::BeepCount(), beeps + 1);
}

TEST(PlcView, RegisterWatchFollowsScrolling)
{
    DebugSession s;
    ASSERT_TRUE(s.Start());
    CPLCView* v = s.Open("Main.plc");
    ASSERT_NE(v, nullptr);
    // About ten lines on screen, so that the range never meets the text's end.
    v->GetParentFrame()->showNormal();
    v->GetParentFrame()->resize(500, 12 * v->Renderer().GetLineHeight());
    ASSERT_TRUE(WaitFor([&] { return v->WatchedCount() > 0 && v->WatchedCount() < 16; }, 5000, "the range"));
    // The frame may still settle its size: the range counts once it stays.
    int settled = v->WatchedCount();
    ASSERT_TRUE(WaitFor([&] {
        // Time is the subject: a range that stays for 150 ms is settled.
        PumpEvents(150);
        const int now = v->WatchedCount();
        const bool same = now == settled;
        settled = now;
        return same;
    }, 5000, "a settled range"));
    const int count = v->WatchedCount();
    auto code = [&](int line) {
        const compout::ListingLine* l = v->ListingLineOf(line);
        return l && l->kind == compout::kLineD;
    };
    // A top line whose range has code lines at both ends, before and after.
    int top = -1;
    for (int t = 0; t + count + 1 < 40 && top < 0; ++t)
        if (code(t) && code(t + count))
            top = t;
    ASSERT_GE(top, 0);
    v->Scroller().ScrollToLine(top);
    ASSERT_TRUE(WaitFor([&] { return v->WatchedFirst() == top; }, 5000, "scrolled"));
    // The list in force is that of the whole range from top (an earlier,
    // shorter range may also begin with the same line).
    auto expected = [&](int first) {
        std::vector<uint32_t> out;
        for (int l = first; l < first + count; ++l)
            if (code(l))
                out.push_back(MainIndex(l + 1));
        std::sort(out.begin(), out.end());
        return out;
    };
    auto inForce = [&] {
        auto in = Indices(s.Sim().plc().watchLines());
        std::sort(in.begin(), in.end());
        return in;
    };
    ASSERT_TRUE(WaitFor([&] { return inForce() == expected(top); }, 5000, "the first list"));
    const auto before = Indices(s.Sim().plc().watchLines());
    s.Sim().recorder().clear();
    v->Scroller().ScrollToLine(top + 1);
    ASSERT_TRUE(WaitFor([&] { return v->WatchedFirst() == top + 1; }, 5000, "scrolled by one"));
    ASSERT_TRUE(WaitFor([&] { return Indices(s.Sim().plc().watchLines()) != before; }, 5000, "the new list"));
    auto requests = [&] {
        int n = 0;
        for (const cssim::Record& r : s.Sim().recorder().all())
            n += r.direction == 0 && r.cls() == 1 && r.code() == 19;
        return n;
    };
    const auto after = Indices(s.Sim().plc().watchLines());
    auto has = [](const std::vector<uint32_t>& list, uint32_t i) {
        return std::find(list.begin(), list.end(), i) != list.end();
    };
    EXPECT_TRUE(has(before, MainIndex(top + 1)));
    EXPECT_FALSE(has(after, MainIndex(top + 1)));
    EXPECT_FALSE(has(before, MainIndex(top + count + 1)));
    EXPECT_TRUE(has(after, MainIndex(top + count + 1))) << top << " " << count << " " << v->WatchedCount();
    EXPECT_EQ(after.size(), before.size());

    // Closing the view removes its lines from the list in force.  That
    // request comes after any the scroll sent: the scroll sent one.
    v->GetDocument()->OnCloseDocument();
    ASSERT_TRUE(WaitFor([&] { return s.Sim().plc().watchLines().count == 0; }, 5000, "the list emptied"));
    EXPECT_EQ(requests(), 2);
}

TEST(PlcView, RegistersAndCurrentLineInTheMargin)
{
    DebugSession s;
    ASSERT_TRUE(s.Start());
    CPLCView* v = s.Open("Main.plc");
    ASSERT_NE(v, nullptr);
    ASSERT_GT(v->RegisterColumnWidth(), 0);
    ASSERT_TRUE(WaitFor([&] { return s.Sim().plc().watchLines().count > 0; }, 5000, "the watch"));
    s.Sim().plc().executeLine(MainIndex(3), 1, 1234);
    const QImage none;
    const QRect client = v->Scroller().ClientRect();
    const QRect column(client.left(), client.top() + 2 * v->Renderer().GetLineHeight(), v->RegisterColumnWidth(),
                       v->Renderer().GetLineHeight());
    ASSERT_TRUE(WaitFor([&] {
        return RectHasColor(Render(v), column, ui::ColorFromRef(v->PlcItemAt(CPLCView::PLCRegsAct).backColor), 20, 0);
    }, 5000, "the register boxes"));
    // A line without code (the first, a comment) shows a clear column.
    const QRect comment(column.left(), client.top(), column.width(), v->Renderer().GetLineHeight());
    EXPECT_EQ(CountColor(Render(v), comment, v->GetColor(EDT_CLR_BACKGROUND)), comment.width() * comment.height());
    // The PLC stops at line 5: the arrow in the Current colours.
    s.Sim().plc().hitBreakpoint(MainIndex(5));
    const QPoint arrow = MarkPoint(v, 4, 15);
    ASSERT_TRUE(WaitFor([&] { return Pixel(v, arrow) == ui::ColorFromRef(v->PlcItemAt(CPLCView::Current).textColor); },
                        5000, "the arrow"));
    // The debug commands (menu "Ladění" and the context menu 1029) are
    // enabled while debugging only.
    for (uint32_t id : {ID_DEBUG_TOGGLE_BREAKPOINT, ID_DEBUG_TOGGLE_MECH_WATCH, ID_VIEW_VARIABLE}) {
        ui::CmdUI cmd(id);
        EXPECT_TRUE(v->UpdateCommand(cmd));
        EXPECT_TRUE(cmd.Enabled());
    }
    // Ending debugging removes every mark and the column.
    s.Project()->StopDebugging();
    for (uint32_t id : {ID_DEBUG_TOGGLE_BREAKPOINT, ID_DEBUG_TOGGLE_MECH_WATCH, ID_VIEW_VARIABLE}) {
        ui::CmdUI cmd(id);
        EXPECT_TRUE(v->UpdateCommand(cmd));
        EXPECT_FALSE(cmd.Enabled());
    }
    PumpEvents(50);
    EXPECT_NE(Pixel(v, MarkPoint(v, 4, 15)), ui::ColorFromRef(v->PlcItemAt(CPLCView::Current).textColor));
    EXPECT_EQ(v->GetMarginWidth(), 20);
}

TEST(PlcView, TipsPollAndDropStaleReplies)
{
    DebugSession s;
    ASSERT_TRUE(s.Start());
    CPLCView* v = s.Open("Main.plc");
    ASSERT_NE(v, nullptr);
    s.Sim().plc().writeMemory(1, 0x10, {0xFF});
    // "        LD      VARB" on line 3 (0-based 2): the word starts at 16.
    v->HandleMouseAt(TextPoint(v, 2, 17));
    EXPECT_EQ(v->GetTipState(), CPLCView::TipValue);
    ASSERT_TRUE(WaitFor([&] { return v->TipText() == QStringLiteral("VARB: Byte = -1"); }, 5000, "the byte"));
    // The tip polls while shown, a read at most every 100 ms.
    s.Sim().plc().writeMemory(1, 0x10, {0x05});
    ASSERT_TRUE(WaitFor([&] { return v->TipText() == QStringLiteral("VARB: Byte = 5"); }, 5000, "the new value"));
    s.Sim().recorder().clear();
    // Time is the subject: the reads counted within one second.
    PumpEvents(1000);
    int polls = 0;
    for (const cssim::Record& r : s.Sim().recorder().all())
        if (r.direction == 0 && r.cls() == 1 && r.code() == 22)
            ++polls;
    EXPECT_GE(polls, 3);
    EXPECT_LE(polls, 11);

    // A mechanism.
    s.Sim().plc().setMechanism(0x100, 3, 1, MainIndex(17));
    v->HandleMouseAt(TextPoint(v, 14, 12));
    ASSERT_TRUE(WaitFor([&] { return v->TipText() == QStringLiteral("MECHA: Mechanismus, Běží - ř.17, Main.plc"); },
                        5000, "the mechanism")) << v->TipText().toStdString();

    // The register column of a code line.
    s.Sim().plc().executeLine(MainIndex(4), 1, 77);
    const QRect client = v->Scroller().ClientRect();
    const QPoint reg(client.left() + 3, client.top() + 3 * v->Renderer().GetLineHeight() + 2);
    v->HandleMouseAt(reg);
    EXPECT_EQ(v->GetTipState(), CPLCView::TipRegisters);
    ASSERT_TRUE(WaitFor([&] { return v->TipText() == QStringLiteral("RLO: 1, DR: 77"); }, 5000, "the registers"));

    // Two quick moves: the first, delayed reply is dropped.
    cssim::RequestScript slow;
    slow.delayMs = 300;
    s.Sim().scriptRequest(22, slow);
    s.Sim().plc().writeMemory(1, 0x12, {0x34, 0x12});
    v->HandleMouseAt(TextPoint(v, 2, 17));               // VARB
    v->HandleMouseAt(TextPoint(v, 3, 17));               // VARW
    // Both replies are delayed alike and come in the order of the reads:
    // the word's shows after the byte's was dropped.
    ASSERT_TRUE(WaitFor([&] { return v->TipText() == QStringLiteral("VARW: Word = 4660"); }, 5000, "the word"));
    EXPECT_TRUE(v->TipText().startsWith(QStringLiteral("VARW")));

    // A reply cut short: the tip keeps its text and stops polling.
    cssim::RequestScript cut;
    cut.cut = 1;
    s.Sim().scriptRequest(22, cut);
    v->HandleMouseAt(TextPoint(v, 4, 17));  // VARD
    PumpEvents(400);
    EXPECT_EQ(v->TipText(), QStringLiteral("VARD: DWord"));
    s.Sim().recorder().clear();
    // Time is the subject: three poll periods without a read.
    PumpEvents(300);
    int reads = 0;
    for (const cssim::Record& r : s.Sim().recorder().all())
        if (r.direction == 0 && r.cls() == 1 && r.code() == 22)
            ++reads;
    EXPECT_EQ(reads, 0);
}

TEST(PlcView, TheRegisterBoxesHoldTheirWidestValuesInAnyFace)
{
    // A proportional face has digits of different widths, so "0x00000000"
    // can be wider than a sample value; each box holds its widest text with
    // its outline and room inside.
    for (const QFont& font : {QApplication::font(), FixedFont(), QFont(QStringLiteral("DejaVu Serif"), 14)}) {
        const QFontMetrics fm(font);
        for (bool hex : {true, false}) {
            const CPLCView::RegisterBoxes b = CPLCView::RegisterBoxWidths(font, hex);
            const QStringList values = hex ? QStringList{"0x00000000", "0xffffffff", "0x88888888", "0xdddddddd"}
                                           : QStringList{"-2147483648", "-2000000000", "4294967295"};
            for (const QString& v : values)
                EXPECT_GE(b.dr - 2, fm.horizontalAdvance(v) + 2) << v.toStdString() << " in " << font.family().toStdString();
            for (const QString& v : {QStringLiteral("0"), QStringLiteral("1")})
                EXPECT_GE(b.rlo - 2, fm.horizontalAdvance(v) + 2);
        }
    }
}
