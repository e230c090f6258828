// The watch view against the simulator: the watch in force and the pushed
// values, the link's answers for values it cannot give, typed names,
// Delete, the registers, a break, a reset link, the breakpoints of hint 0,
// repeated hints, drop and paste, and the guards without a plaque.
#include "link/linkobj/olnk_link.h"
#include "link/ui/LinkMessages.h"
#include "mainwnd/MainFrame.h"
#include "mainwnd/OutputCtrl.h"
#include "platform/ui/Beep.h"
#include "platform/ui/Prompt.h"
#include "plcviews/WatchView.h"
#include "res/CommandIds.h"
#include "tests/support/plcviews/PlcViewsTest.h"
#include "tests/support/ui/UiTest.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QComboBox>
#include <QLineEdit>
#include <QMimeData>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>

using namespace testsupport::ui;
using namespace testsupport::plcviews;

namespace {

struct Entry
{
    uint32_t address;
    uint16_t area, length;
    bool operator==(const Entry&) const = default;
};

std::vector<Entry> Entries(const cssim::Plc::WatchList& w)
{
    std::vector<Entry> out;
    const auto& b = w.entries;
    for (size_t i = 0; i + 8 <= b.size(); i += 8)
        out.push_back({uint32_t(b[i] | b[i + 1] << 8 | b[i + 2] << 16 | uint32_t(b[i + 3]) << 24),
                       uint16_t(b[i + 4] | b[i + 5] << 8), uint16_t(b[i + 6] | b[i + 7] << 8)});
    return out;
}

// The session with the view as a window of its own on the project's plaque.
class Watch
{
public:
    bool Start(std::vector<std::u16string> names, bool debug = true, const Options& options = {})
    {
        if (!s.StartApp(options) || !s.Connect() || (debug && !s.EnterDebugging()))
            return false;
        core::ProjectData& d = s.Project()->Data();
        d.WatchPlaques = {core::WatchPlaque{u"Plaketa 0", std::move(names)}, core::WatchPlaque{u"Druhá", {}}};
        d.SelectedPlaque = 0;
        d.WatchInterval = 50;
        d.WatchMechInterval = 50;
        s.Project()->SetModifiedFlag(false);
        view = std::make_unique<CKXPWatchView>();
        s.Project()->AddView(view.get());
        view->OnInitialUpdate();
        view->ApplyFontsAndColors(s.App()->MainFrame()->GetFontColorPage(), QStringLiteral("WatchWindow"));
        view->resize(700, 300);
        view->show();
        return true;
    }
    ~Watch() { view.reset(); }
    // Debugging VARB with the simulator behind its fault shim, Main.plc
    // open; its view, null when anything did not start.
    CPLCView* StartBehindShim()
    {
        Options o;
        o.shim = true;
        return Start({u"VARB"}, true, o) ? s.Open("Main.plc") : nullptr;
    }
    QString Cell(int row, int column) { return view->CellText(row, column); }
    // The value without its markers.
    QString Value(int row)
    {
        QString t = Cell(row, 2);
        t.remove(QChar(1));
        t.remove(QChar(3));
        return t;
    }
    QString OutputText() { return s.App()->MainFrame()->GetOutputCtrl()->Text(); }
    CStrandworkDoc* Doc() { return s.Project(); }

    DebugSession s;
    std::unique_ptr<CKXPWatchView> view;
};

} // namespace

TEST(WatchView, PlaqueIsWatchedAndPushedValuesShow)
{
    Watch w;
    ASSERT_TRUE(w.Start({u"VARB", u"VARW", u"-VARW", u"VARD", u"VARQ", u"VARR", u"BITX", u"MECHA", u"KONST",
                         u"NEZNAMA"}));
    // Area 1: the Byte (and its bit), then 0x12..0x17 merged (Word twice, DWord);
    // area 2: the QWord and the Real.
    ASSERT_TRUE(WaitFor([&] {
        return Entries(w.s.Sim().plc().watch()) ==
               std::vector<Entry>{{0x10, 1, 1}, {0x12, 1, 6}, {0x20, 2, 8}, {0x30, 2, 8}};
    }, 5000, "the merged watch")) << [&] {
        std::string t;
        for (const Entry& e : Entries(w.s.Sim().plc().watch()))
            t += std::to_string(e.area) + ":" + std::to_string(e.address) + "+" + std::to_string(e.length) + " ";
        return t;
    }();
    EXPECT_EQ(w.s.Sim().plc().watch().interval, 50);
    w.s.Sim().plc().writeMemory(1, 0x10, {0xA5, 0, 0x34, 0x12, 0xFF, 0xFF, 0xFF, 0xFF});
    ASSERT_TRUE(WaitFor([&] { return w.Value(1) == QStringLiteral("4660"); }, 5000, "the word"));
    EXPECT_TRUE(w.Value(0).startsWith(QStringLiteral("-91 (VARB 7:1, VARB 6:0, BITY:1"))) << w.Value(0).toStdString();
    EXPECT_EQ(w.Cell(0, 2).left(5), QString(QChar(3)) + QStringLiteral("-91") + QChar(1));
    EXPECT_EQ(w.Value(2), QStringLiteral("-4660"));
    // Painted in the "Value" colour (0xFF0000 is blue), the name in the text colour.
    CWatchListCtrl* list = w.view->List();
    const QImage img = Render(list->viewport());
    EXPECT_GT(CountColor(img, list->visualRect(list->model()->index(1, 2)), QColor(0, 0, 255)), 5);
    EXPECT_EQ(CountColor(img, list->visualRect(list->model()->index(1, 0)), QColor(0, 0, 255)), 0);
    EXPECT_EQ(w.Value(3), QStringLiteral("-1"));
    EXPECT_EQ(w.Value(6), QStringLiteral("0"));  // bit 3 of 0xA5
    EXPECT_EQ(w.Value(8), QStringLiteral("42")); // not watched: its own value
    EXPECT_EQ(w.Cell(6, 1), QStringLiteral("Bit"));
    // A name that does not resolve keeps only its name.
    EXPECT_EQ(w.Cell(9, 0), QStringLiteral("NEZNAMA"));
    EXPECT_TRUE(w.Cell(9, 1).isEmpty());
    EXPECT_TRUE(w.Cell(9, 2).isEmpty());
    EXPECT_EQ(w.view->RowCount(), 11);

    // The mechanism's state; hexadecimal display on the project's switch.
    w.s.Sim().plc().setMechanism(0x100, 3, 1, 16);
    ASSERT_TRUE(WaitFor([&] { return w.Value(7) == QStringLiteral("Rozpracován: řádek 16, modul Main.plc"); }, 5000,
                        "the mechanism"));
    w.view->ExecuteCommand(ID_WATCH_HEX_DISPLAY);
    EXPECT_EQ(w.Doc()->Data().DisplayAsHex, 1);
    EXPECT_TRUE(w.Doc()->IsModified());
    // The rows are watched anew: the values come with the next push.
    ASSERT_TRUE(WaitFor([&] { return w.Value(1) == QStringLiteral("0x1234"); }, 5000, "hexadecimal"));
    EXPECT_EQ(w.Value(3), QStringLiteral("0xffffffff"));

    // The value column fits the widest value after the refresh.
    const QFontMetrics bold(w.view->List()->BoldFont());
    EXPECT_GE(w.view->List()->columnWidth(2), bold.horizontalAdvance(w.Cell(0, 2)));

    // Ten hints 12 leave the lists in force as they were.
    w.view->ExecuteCommand(ID_WATCH_HEX_DISPLAY);
    EXPECT_FALSE(w.view->ExecuteCommand(ID_PROJECT_SETTINGS)); // the project settings: left to the application

    // Ten hints 12 add the project's watched mechanism (MECHB) no more:
    // after one removal it is gone from the list in force.
    w.Doc()->Data().WatchedMechanisms = {u"MECHB"};
    w.Doc()->BroadcastUpdate(nullptr, 0);
    auto mechs = [&] { return w.s.Sim().plc().watchMech(); };
    ASSERT_TRUE(WaitFor([&] { return mechs().count == 2; }, 5000, "the mechanism watch"));
    EXPECT_EQ(w.Doc()->MechanismWatchSet(), (std::vector<MechanismWatch>{{0x200, 4}}));
    // The requests go out in order: had the hints added MECHB again, the
    // removal below would leave it watched.
    for (int i = 0; i < 10; ++i)
        w.Doc()->BroadcastUpdate(nullptr, 12);
    EXPECT_EQ(mechs().count, 2);
    EXPECT_EQ(Entries(w.s.Sim().plc().watch()).size(), 4u);
    COlnkLink& link = w.Doc()->Link();
    link.RemoveWatchMech(w.view->LinkHandle(), 0, 4, 0x200, 0);
    link.CommitWatchMech(w.view->LinkHandle(), 0);
    ASSERT_TRUE(WaitFor([&] { return mechs().count == 1; }, 5000, "MECHB unwatched"));
}

TEST(WatchView, AnswersTheLinkCannotGiveAValue)
{
    Watch w;
    // Beyond memory; then 127 separate bytes, the last beyond the 126 sent.
    ASSERT_TRUE(w.Start({u"VARB+10000H", u"VARB"}));
    ASSERT_TRUE(WaitFor([&] {
        return w.Value(0) == QStringLiteral("Proměnná leží mimo oblast, kterou je možno sledovat.");
    }, 5000, "outside memory"));
    EXPECT_TRUE(w.Value(1).startsWith(QStringLiteral("0 (")));

    // 127 separate bytes: the 127th is beyond the 126 entries sent.
    std::vector<std::u16string> names;
    for (int i = 0; i < 127; ++i)
        names.push_back(u"VARB+" + QString::number(2 * i).toStdU16String());
    w.Doc()->Data().WatchPlaques[0].VarNames = names;
    w.Doc()->BroadcastUpdate(nullptr, 12);
    ASSERT_TRUE(WaitFor([&] {
        return w.Value(126) == QStringLiteral("Je zadáno příliš mnoho proměnných pro sledování.");
    }, 5000, "the 127th"));
    ASSERT_TRUE(WaitFor([&] { return w.Value(125).startsWith(QStringLiteral("0 (")); }, 5000, "the 126th"));

    // A watch whose push is too large: 128 QWords in one run.
    names.clear();
    for (int i = 0; i < 128; ++i)
        names.push_back(u"VARQ+" + QString::number(8 * i).toStdU16String());
    w.Doc()->Data().WatchPlaques[0].VarNames = names;
    w.Doc()->BroadcastUpdate(nullptr, 12);
    ASSERT_TRUE(WaitFor([&] {
        return w.Value(0) == QStringLiteral("Souhrnná velikost sledovaných proměnných je příliš velká.");
    }, 5000, "the refused watch")) << w.Value(0).toStdString() << " / " << w.OutputText().toStdString();
    EXPECT_TRUE(WaitFor([&] { return w.OutputText().contains(QStringLiteral("Chyba příkazu Watch -4")); }, 5000,
                        "the output line"));
}

TEST(WatchView, TypedNamesDeleteAndTheGuardsWithoutAPlaque)
{
    Watch w;
    ASSERT_TRUE(w.Start({u"VARB"}));
    ASSERT_TRUE(WaitFor([&] { return w.s.Sim().plc().watch().count == 1; }, 5000, "the first watch"));
    PumpEvents(300);
    w.s.Sim().recorder().clear();
    // A name typed into the entry row: watched after one commit.
    w.view->OnEndlabeleditList(1, QStringLiteral("VARD"));
    EXPECT_TRUE(w.Doc()->IsModified());
    EXPECT_EQ(w.Doc()->Data().WatchPlaques[0].VarNames, (std::vector<std::u16string>{u"VARB", u"VARD"}));
    EXPECT_EQ(w.view->RowCount(), 3);
    ASSERT_TRUE(WaitFor([&] {
        return Entries(w.s.Sim().plc().watch()) == std::vector<Entry>{{0x10, 1, 1}, {0x14, 1, 4}};
    }, 5000, "the new watch"));
    auto watchRequests = [&] {
        int n = 0;
        for (const cssim::Record& r : w.s.Sim().recorder().all())
            n += r.direction == 0 && r.cls() == 1 && r.code() == 16;
        return n;
    };
    EXPECT_EQ(watchRequests(), 1);
    w.s.Sim().plc().writeMemory(1, 0x14, {7, 0, 0, 0});
    ASSERT_TRUE(WaitFor([&] { return w.Value(1) == QStringLiteral("7"); }, 5000, "its value"));

    // Typed through the list: a printable key opens the edit with itself.
    w.view->List()->setFocus();
    w.view->List()->setCurrentIndex(w.view->List()->model()->index(2, 0));
    TypeText(w.view->List(), QStringLiteral("V"));
    QLineEdit* editor = w.view->List()->viewport()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->text(), QStringLiteral("V"));
    TypeText(editor, QStringLiteral("ARW"));
    PressKey(editor, Qt::Key_Return);
    ASSERT_TRUE(WaitFor([&] { return w.view->RowCount() == 4; }, 5000, "the typed row"));
    EXPECT_EQ(w.Cell(2, 0), QStringLiteral("VARW"));

    // Delete on the last, empty row does nothing; on a row it removes it.
    w.Doc()->SetModifiedFlag(false);
    const int beeps = ui::BeepCount();
    w.view->List()->setCurrentIndex(w.view->List()->model()->index(3, 0));
    PressKey(w.view->List(), Qt::Key_Delete);
    EXPECT_EQ(w.view->RowCount(), 4);
    EXPECT_FALSE(w.Doc()->IsModified());
    EXPECT_EQ(ui::BeepCount(), beeps);
    w.view->List()->setCurrentIndex(w.view->List()->model()->index(0, 0));
    PressKey(w.view->List(), Qt::Key_Delete);
    EXPECT_EQ(w.view->RowCount(), 3);
    EXPECT_EQ(w.Cell(0, 0), QStringLiteral("VARD"));
    EXPECT_TRUE(w.Doc()->IsModified());

    // Renaming a plaque marks the project modified.
    w.Doc()->SetModifiedFlag(false);
    w.view->OnEditchangePlaque(QStringLiteral("Hlavní"));
    EXPECT_EQ(w.Doc()->Data().WatchPlaques[0].Name, u"Hlavní");
    EXPECT_TRUE(w.Doc()->IsModified());

    // A new plaque after two is "Plaketa 2"; deleting it selects the previous.
    w.view->OnNewPlaque();
    ASSERT_EQ(w.Doc()->Data().WatchPlaques.size(), 3u);
    EXPECT_EQ(w.Doc()->Data().WatchPlaques[2].Name, u"Plaketa 2");
    EXPECT_EQ(w.Doc()->Data().SelectedPlaque, 2);
    EXPECT_EQ(w.view->Combo()->currentText(), QStringLiteral("Plaketa 2"));
    EXPECT_EQ(w.view->RowCount(), 1);
    w.view->OnDeletePlaque();
    EXPECT_EQ(w.Doc()->Data().SelectedPlaque, 1);
    w.view->OnDeletePlaque();
    w.view->OnDeletePlaque();
    EXPECT_EQ(w.Doc()->Data().SelectedPlaque, -1);

    // No plaque: editing, Delete, paste and drop beep and change nothing.
    const int before = ui::BeepCount();
    w.view->List()->EditRow(0, QStringLiteral("VARB"));
    w.view->OnEditPaste();
    QMimeData mime;
    mime.setText(QStringLiteral("VARB"));
    EXPECT_FALSE(w.view->OnDragEnter(&mime));
    w.view->OnDrop(&mime);
    w.view->OnEndlabeleditList(0, QStringLiteral("VARB"));
    EXPECT_EQ(ui::BeepCount(), before + 4);
    EXPECT_TRUE(w.Doc()->Data().WatchPlaques.empty());
    EXPECT_EQ(w.view->RowCount(), 1);
}

TEST(WatchView, DropPasteCopyAndCut)
{
    Watch w;
    ASSERT_TRUE(w.Start({u"VARB"}));
    QMimeData mime;
    mime.setText(QStringLiteral("VARW\r\n\r\nVARD\n"));
    ASSERT_TRUE(w.view->OnDragEnter(&mime));
    // A real drop on the list's viewport.
    QWidget* port = w.view->List()->viewport();
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(port, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(port, &drop);
    EXPECT_EQ(w.Doc()->Data().WatchPlaques[0].VarNames, (std::vector<std::u16string>{u"VARB", u"VARW", u"VARD"}));
    EXPECT_EQ(w.view->RowCount(), 4);

    // Several lines pasted: each appended.
    QApplication::clipboard()->setText(QStringLiteral("VARQ\r\nVARR"));
    w.view->List()->ExecuteCommand(ID_EDIT_PASTE);
    EXPECT_EQ(w.view->RowCount(), 6);
    EXPECT_EQ(w.Cell(4, 0), QStringLiteral("VARR"));
    // One line: the entry row is edited with it.
    QApplication::clipboard()->setText(QStringLiteral("BITX"));
    w.view->List()->ExecuteCommand(ID_EDIT_PASTE);
    QLineEdit* edit = w.view->List()->viewport()->findChild<QLineEdit*>();
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->text(), QStringLiteral("BITX"));
    PressKey(edit, Qt::Key_Return);
    ASSERT_TRUE(WaitFor([&] { return w.view->RowCount() == 7; }, 5000, "the pasted row"));

    // Copy and cut of rows 1 and 2.
    w.view->List()->clearSelection();
    w.view->List()->selectRow(1);
    w.view->List()->selectionModel()->select(w.view->List()->model()->index(2, 0),
                                             QItemSelectionModel::Select | QItemSelectionModel::Rows);
    w.view->List()->ExecuteCommand(ID_EDIT_COPY);
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("VARW\r\nVARD"));
    w.Doc()->SetModifiedFlag(false);
    w.view->List()->ExecuteCommand(ID_EDIT_CUT);
    EXPECT_EQ(w.Doc()->Data().WatchPlaques[0].VarNames,
              (std::vector<std::u16string>{u"VARB", u"VARQ", u"VARR", u"BITX"}));
    EXPECT_TRUE(w.Doc()->IsModified());
    EXPECT_EQ(w.view->RowCount(), 5);
}

TEST(WatchView, RegistersBreakAndTheCurrentLine)
{
    Watch w;
    ASSERT_TRUE(w.Start({u"VARB"}));
    EXPECT_FALSE(w.view->DrEdit()->isEnabled());
    w.s.Sim().plc().setRegs(1, -2);
    w.s.Sim().plc().setFlags(cssim::FLAG_LOADED | cssim::FLAG_RUNNING);
    w.s.Sim().plc().hitBreakpoint(7);
    ASSERT_TRUE(WaitFor([&] { return w.view->DrEdit()->text() == QStringLiteral("0xfffffffe"); }, 5000,
                        "the registers"));
    EXPECT_EQ(w.view->RloEdit()->text(), QStringLiteral("1"));
    EXPECT_TRUE(w.view->WriteButton()->isEnabled());
    // The caret on line 7 of Main.plc.
    CPLCView* plc = nullptr;
    ASSERT_TRUE(WaitFor([&] {
        ui::Document* d = w.s.App()->OpenDocumentFile(w.s.Path("Main.plc"));
        plc = d ? qobject_cast<CPLCView*>(d->FirstView()) : nullptr;
        return plc && plc->GetCursorPos().line == 6;
    }, 5000, "the current line"));
    // The same status again never pulls the caret back.
    plc->ClampTextPos(EdtPoint{0, 1});
    w.view->OnLinkNotify(0);
    PumpEvents(50);
    EXPECT_EQ(plc->GetCursorPos().line, 1);
    EXPECT_TRUE(w.view->DrEdit()->isEnabled());

    // DR "0x1F" is written; "abc" shows its message and sends nothing.
    w.view->DrEdit()->setText(QStringLiteral("0x1F"));
    w.view->RloEdit()->setText(QStringLiteral("0"));
    w.view->OnWriteRegisters();
    ASSERT_TRUE(WaitFor([&] { return w.s.Sim().plc().dr() == 31; }, 5000, "DR written"));
    EXPECT_EQ(w.s.Sim().plc().rlo(), 0);
    ASSERT_TRUE(WaitFor([&] { return w.view->DrEdit()->text() == QStringLiteral("0x0000001f"); }, 5000, "read back"));
    w.s.Sim().recorder().clear();
    PromptScript prompts({ui::IDOK, ui::IDOK});
    w.view->DrEdit()->setText(QStringLiteral("abc"));
    w.view->OnWriteRegisters();
    w.view->DrEdit()->setText(QStringLiteral("1"));
    w.view->RloEdit()->setText(QStringLiteral("1x"));
    w.view->OnWriteRegisters();
    EXPECT_EQ(prompts.Texts(),
              (std::vector<QString>{QStringLiteral("Nesprávně zadaná hodnota DR!"),
                                    QStringLiteral("Nesprávně zadaná hodnota RLO!")}));
    EXPECT_EQ(w.s.Sim().plc().dr(), 31);
    // A good write after them goes out on the same link: once it has
    // arrived, a write of the refused ones would have come before it.
    w.view->DrEdit()->setText(QStringLiteral("0x20"));
    w.view->RloEdit()->setText(QStringLiteral("0"));
    w.view->OnWriteRegisters();
    ASSERT_TRUE(WaitFor([&] { return w.s.Sim().plc().dr() == 32; }, 5000, "the good write"));
    int writes = 0;
    for (const cssim::Record& r : w.s.Sim().recorder().all())
        writes += r.direction == 0 && r.cls() == 1 && r.code() == 27;
    EXPECT_EQ(writes, 1);

    // Running again: the edits are emptied and disabled.
    w.s.Sim().plc().setFlags(cssim::FLAG_LOADED | cssim::FLAG_RUNNING);
    ASSERT_TRUE(WaitFor([&] { return !w.view->DrEdit()->isEnabled(); }, 5000, "disabled"));
    EXPECT_TRUE(w.view->DrEdit()->text().isEmpty());
}

TEST(WatchView, HintZeroClearsBreakpointsAndAResetStopsDebugging)
{
    Watch w;
    ASSERT_TRUE(w.Start({u"VARB"}, false));
    w.s.Sim().plc().setBreakpoints({3, 5});
    w.Doc()->Data().Breakpoints = {3, 5};
    // Connected, not debugging: hint 0 clears the control system's breakpoints.
    w.Doc()->BroadcastUpdate(nullptr, 0);
    ASSERT_TRUE(WaitFor([&] { return w.s.Sim().plc().breakpoints().empty(); }, 5000, "cleared"));
    // Debugging: hint 10 sends the project's list.
    ASSERT_TRUE(w.s.EnterDebugging());
    ASSERT_TRUE(WaitFor([&] { return w.s.Sim().plc().breakpoints() == std::vector<uint32_t>{3, 5}; }, 5000,
                        "sent again"));

    // Out of the first connect's link state before the reset.
    COlnkLink& link = w.Doc()->Link();
    std::atomic<int> results{0};
    QObject holder;
    linkui::LinkWindow counter(&holder, [&](uint32_t msg, uintptr_t, intptr_t, ui::MessageRecord*) {
        results += msg == WM_LINK_RESULT;
        return intptr_t(0);
    });
    for (int i = 0; i < 130; ++i)
        w.s.Sim().push(9, 0, {});
    for (int i = 0; i < 130; ++i)
        ASSERT_EQ(link.GetStatus(counter.MessageTarget(), 0), 1);
    ASSERT_TRUE(WaitFor([&] { return results == 130; }, 10000, "the wrap"));
    w.s.Sim().resetNow();
    ASSERT_TRUE(WaitFor([&] { return !w.Doc()->IsDebugging(); }, 5000, "debugging stopped"));
    EXPECT_TRUE(w.OutputText().contains(QStringLiteral("Spojení bylo resetováno...")));
    // Not debugging: no values.
    EXPECT_TRUE(w.Cell(0, 2).isEmpty());
}

TEST(WatchView, AByteAndAWordAtOneAddressEachReadTheirOwn)
{
    Watch w;
    ASSERT_TRUE(w.Start({u"VARW", u"BYTE.VARW"}));
    EXPECT_EQ(w.Cell(0, 1), QStringLiteral("Word"));
    EXPECT_EQ(w.Cell(1, 1), QStringLiteral("Byte"));
    EXPECT_EQ(w.view->List()->model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Typ"));
    w.s.Sim().plc().writeMemory(1, 0x12, {0x34, 0x12});
    ASSERT_TRUE(WaitFor([&] { return w.Value(0) == QStringLiteral("4660"); }, 5000, "the word"));
    EXPECT_TRUE(w.Value(1).startsWith(QStringLiteral("52 ("))) << w.Value(1).toStdString();
}

// Soubor > Uzavřít projekt while values and a mechanism are watched, the
// watch bar gone first (its own end of debugging sends empty lists): the
// control system's watch lists are ended before the link closes, so that it
// pushes nothing more to a port nobody reads.  (The link closed with the
// lists still set.)
TEST(WatchView, ClosingTheProjectEndsTheWatchesAtTheControlSystem)
{
    Watch w;
    ASSERT_TRUE(w.Start({u"VARB", u"MECHA"}));
    w.Doc()->Data().WatchedMechanisms = {u"MECHA"};
    w.Doc()->BroadcastUpdate(nullptr, 6);
    ASSERT_TRUE(WaitFor([&] { return w.s.Sim().plc().watch().count > 0 && w.s.Sim().plc().watchMech().count > 0; },
                        5000, "the watches set"));
    w.Doc()->SetModifiedFlag(false);
    w.view.reset();
    ASSERT_TRUE(w.s.App()->CloseProject(false));
    EXPECT_EQ(w.s.Sim().plc().watch().count, 0);
    EXPECT_EQ(w.s.Sim().plc().watchMech().count, 0);
    EXPECT_EQ(w.s.Sim().plc().watchLines().count, 0);
}

// The control system ends while nothing waits for its reply: within 10 s
// the watched values read "Řídicí systém neodpovídá." instead of the last
// ones pushed, and debugging goes on with the plaque's watches.  (The
// values stayed as pushed for as long as nothing was asked.)
TEST(WatchView, ASilentControlSystemShowsNoValueAsLive)
{
    Watch w;
    ASSERT_TRUE(w.Start({u"VARW", u"MECHA"}));
    w.s.Sim().plc().writeMemory(1, 0x12, {0x34, 0x12});
    w.s.Sim().plc().setMechanism(0x100, 3, 1, 16);
    ASSERT_TRUE(WaitFor([&] {
        return w.Value(0) == QStringLiteral("4660") &&
               w.Value(1) == QStringLiteral("Rozpracován: řádek 16, modul Main.plc");
    }, 5000, "the pushed values"));
    QElapsedTimer t;
    t.start();
    w.s.EndSimulator();
    const QString silent = QStringLiteral("Řídicí systém neodpovídá.");
    ASSERT_TRUE(WaitFor([&] { return w.Value(0) == silent && w.Value(1) == silent; }, 10000, "silent"));
    EXPECT_LT(t.elapsed(), 10000);
    EXPECT_TRUE(w.Doc()->IsDebugging());
    EXPECT_FALSE(w.OutputText().contains(QStringLiteral("Spojení bylo resetováno...")));
    EXPECT_EQ(w.view->RowCount(), 3);
}

namespace {
// The PLC requests of a code the simulator received.
int Received(cssim::Simulator& sim, uint8_t code)
{
    int n = 0;
    for (const cssim::Record& r : sim.recorder().all())
        n += r.direction == 0 && r.cls() == 1 && r.type() == 0 && r.code() == code;
    return n;
}

// The breakpoint lists (code 12) the simulator received after the first
// `skip` of them that set any breakpoint.
int BreakpointsSetAfter(cssim::Simulator& sim, int skip)
{
    int n = 0, seen = 0;
    for (const cssim::Record& r : sim.recorder().all()) {
        if (r.direction != 0 || r.cls() != 1 || r.type() != 0 || r.code() != 12)
            continue;
        const cssim::Bytes p = r.payload();
        if (seen++ >= skip && p.size() >= 2 && (p[0] | p[1] << 8) > 4)
            ++n;
    }
    return n;
}
} // namespace

// A breakpoint set just as the control system stopped answering (it still
// receives our frames and sets it; its answers no longer come): the
// channel resets itself, which ends debugging, and no view shows the
// breakpoint any more.  The output does not call it failed; once the link
// answers again, the program clears the control system's breakpoints, as a
// debugging start does, so that the PLC never halts at one nobody sees.
// (The output said "Chyba příkazu Set Breakpoint -123", and the control
// system kept the breakpoint.)
TEST(WatchView, ABreakpointWhoseFateIsUnknownIsClearedOnceTheLinkIsBack)
{
    Watch w;
    CPLCView* v = w.StartBehindShim();
    ASSERT_NE(v, nullptr);
    COlnkLink& link = w.Doc()->Link();
    w.s.Sim().shim().silence(1, true);
    v->ClampTextPos(EdtPoint{0, 2});
    v->ExecuteCommand(ID_DEBUG_TOGGLE_BREAKPOINT);
    ASSERT_TRUE(WaitFor([&] { return w.s.Sim().plc().breakpoints() == std::vector<uint32_t>{3}; }, 5000,
                        "the breakpoint set"));
    ASSERT_TRUE(WaitFor([&] { return !w.Doc()->IsDebugging(); }, 15000, "debugging ended by the reset"));
    EXPECT_FALSE(link.ControlSystemSilent());
    ASSERT_TRUE(WaitFor([&] { return w.OutputText().contains(QStringLiteral("Set Breakpoint")); }, 5000,
                        "the breakpoint's result"));
    EXPECT_TRUE(w.OutputText().contains(
        QStringLiteral("Spojení se přerušilo dřív, než řídicí systém potvrdil příkaz Set Breakpoint: mohl ho provést.")))
        << w.OutputText().toStdString();
    EXPECT_FALSE(w.OutputText().contains(QStringLiteral("Chyba příkazu Set Breakpoint")));
    const int clears = Received(w.s.Sim(), 12) + Received(w.s.Sim(), 13);

    w.s.Sim().shim().silence(1, false);
    ASSERT_TRUE(WaitFor([&] { return w.s.Sim().plc().breakpoints().empty(); }, 20000, "the breakpoints cleared"));
    EXPECT_GT(Received(w.s.Sim(), 12) + Received(w.s.Sim(), 13), clears);
    EXPECT_TRUE(link.IsEstablished());
}

// Once the silence is known, a breakpoint toggled is refused at once with
// the silence's notice: nothing changes in the project, and the control
// system, answering again, receives no breakpoint request.  (It was sent,
// carried out when the control system went on, and halted the PLC.)
TEST(WatchView, ABreakpointAskedWhileSilentIsRefusedAndNeverSent)
{
    Watch w;
    CPLCView* v = w.StartBehindShim();
    ASSERT_NE(v, nullptr);
    COlnkLink& link = w.Doc()->Link();
    // The view's first paint asks for its lines' registers: answered first,
    // so that nothing waits for an answer when the answers stop.
    ASSERT_TRUE(WaitFor([&] { return Received(w.s.Sim(), 19) > 0; }, 5000, "the lines' registers"));
    PumpEvents(300);
    w.s.Sim().shim().silence(-1, true);
    ASSERT_TRUE(WaitFor([&] { return link.ControlSystemSilent(); }, 10000, "silent"));
    const int sets = Received(w.s.Sim(), 12);
    v->ClampTextPos(EdtPoint{0, 2});
    v->ExecuteCommand(ID_DEBUG_TOGGLE_BREAKPOINT);
    EXPECT_TRUE(w.OutputText().contains(QStringLiteral("Řídicí systém neodpovídá, příkaz nebyl odeslán.")))
        << w.OutputText().toStdString();
    EXPECT_TRUE(w.Doc()->Data().Breakpoints.empty());
    EXPECT_EQ(w.Doc()->ListingFile().GetLine(MainIndex(3))->breakpointState, compout::kBreakpointNone);

    // Answering again.  (The simulator behind the shim went on pushing
    // while its answers were stopped, and its channel may have reset itself
    // meanwhile: that is a loss on our side, which ends debugging and sends
    // the empty breakpoint list.)
    w.s.Sim().shim().silence(-1, false);
    ASSERT_TRUE(WaitFor([&] { return !link.ControlSystemSilent() && link.IsEstablished(); }, 20000,
                        "answering again"));
    PumpEvents(500);
    EXPECT_EQ(BreakpointsSetAfter(w.s.Sim(), sets), 0);
    EXPECT_TRUE(w.s.Sim().plc().breakpoints().empty());
}
