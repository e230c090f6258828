// The project's link and debugging: start and stop of the communication,
// the debug start, the breakpoints, the file manager and the close.
#include "TransferTest.h"

#include "core/compout/ListingFile.h"

using namespace transfertest;

TEST_F(TransferTest, StartAndStopCommunication)
{
    StartSimulator();
    Open("ok");
    EXPECT_TRUE(doc->StartCommunication());
    EXPECT_TRUE(doc->Link().IsConnected());
    EXPECT_TRUE(Pump([&] { return doc->Link().IsEstablished(); }));
    EXPECT_EQ(Out(), "");
    EXPECT_TRUE(doc->StopCommunication());
    EXPECT_FALSE(doc->Link().IsOpen());

    // A string the link refuses: the fixed text, and nothing to close.
    doc->Data().OlnkConnectionString = u"Type = Pigeon;";
    EXPECT_FALSE(doc->StartCommunication());
    EXPECT_EQ(Out(), "Nepodařilo se vytvořit spojení\r\n");
    EXPECT_FALSE(doc->Link().IsOpen());
}

TEST_F(TransferTest, DebugStartStopAndClose)
{
    StartSimulator();
    Open("ok");
    doc->Data().WatchedMechanisms = {u"Osa", u"Zmizela"};
    doc->Data().Breakpoints = {3, 5};
    ASSERT_TRUE(doc->BuildPlc());
    host.sink.entries.clear();

    // Outputs up to date: no build, the transfers, map and listing.
    ASSERT_TRUE(doc->StartDebugging()) << Out();
    EXPECT_TRUE(doc->IsDebugging());
    EXPECT_EQ(Out().find("Tvorba PLC:"), std::string::npos) << Out();
    EXPECT_TRUE(Has("Kontrola závislostí...\r\nOK\r\n"));
    EXPECT_TRUE(Has("Vytváří se spojení s řídícím systémem...\r\n"));
    EXPECT_TRUE(Has("PLC interface se přenáší do systému...\r\n"));
    const std::string image = dir.Read("Output/PLC.BIN");
    EXPECT_EQ(sim->plc().image(), Bytes(image.begin(), image.end()));
    EXPECT_GT(doc->ListingFile().GetLineCount(), 0u);
    // The mechanism the listing lacks is gone; the stored breakpoints too.
    EXPECT_EQ(doc->Data().WatchedMechanisms, std::vector<std::u16string>{u"Osa"});
    ASSERT_NE(doc->ListingFile().FindMechanism(u"Osa"), nullptr);
    EXPECT_EQ(doc->ListingFile().FindMechanism(u"Osa")->state, 1u);
    EXPECT_TRUE(doc->Data().Breakpoints.empty());

    // Two breakpoints through the link; a new debug start empties the
    // simulator's and the link's sets, so the next one goes alone.
    for (uint32_t index : {2u, 4u}) {
        const uint8_t rec[10] = {10, 0, uint8_t(index), 0, 0, 0, 1, 0, 0, 0};
        ASSERT_TRUE(doc->Link().SetBrkAtLine(0, 0, rec));
    }
    ASSERT_TRUE(Pump([&] { return sim->plc().breakpoints().size() == 2; }));
    EXPECT_TRUE(doc->StopDebugging());
    host.sink.entries.clear();
    ASSERT_TRUE(doc->StartDebugging()) << Out();
    EXPECT_TRUE(Has("Na řídícím systému je aktuální verze PLC interfacu.\r\n"));
    ASSERT_TRUE(Pump([&] { return sim->plc().breakpoints().empty(); }));
    const uint8_t rec[10] = {10, 0, 3, 0, 0, 0, 1, 0, 0, 0};
    ASSERT_TRUE(doc->Link().SetBrkAtLine(0, 0, rec));
    ASSERT_TRUE(Pump([&] { return !sim->plc().breakpoints().empty(); }));
    EXPECT_EQ(sim->plc().breakpoints(), std::vector<uint32_t>{3});

    // Stopping the communication ends debugging first (hint 10 while the
    // link is still open), then closes the link.
    bool openAtHint = false;
    host.onHint = [&](long hint) {
        if (hint == HINT_DEBUG_STATE)
            openAtHint = doc->Link().IsOpen();
    };
    EXPECT_TRUE(doc->StopCommunication());
    EXPECT_TRUE(openAtHint);
    EXPECT_FALSE(doc->IsDebugging());
    EXPECT_FALSE(doc->Link().IsOpen());
    host.onHint = nullptr;

    // Closing while debugging and connected closes the link.
    ASSERT_TRUE(doc->StartCommunication());
    doc->EnterDebugging();
    doc->OnCloseDocument();
    EXPECT_FALSE(doc->IsDebugging());
    EXPECT_FALSE(doc->Link().IsOpen());
}

TEST_F(TransferTest, UnreadableMapStillStartsDebugging)
{
    StartSimulator();
    Open("ok");
    ASSERT_TRUE(doc->BuildPlc());
    dir.Write("Temp/LOD_KAP.MP2", "no map at all");
    host.sink.entries.clear();
    ASSERT_TRUE(doc->StartDebugging()) << Out();
    EXPECT_TRUE(Has("Nepodařilo se načíst informace ze souboru mapy ("));
    EXPECT_TRUE(Has(")!\r\nNěkteré ladící funkce nebudou dostupné...\r\n"));
    EXPECT_TRUE(doc->IsDebugging());
}

TEST_F(TransferTest, NoSourceStartsNothing)
{
    StartSimulator();
    Open("ok");
    doc->Data().SourceFiles.clear();
    EXPECT_FALSE(doc->StartDebugging());
    EXPECT_EQ(Out(), "");
    EXPECT_FALSE(doc->Link().IsOpen());
}

TEST_F(TransferTest, FileManagerIsCreatedOnceAndRefreshedAfterwards)
{
    StartSimulator();
    Open("ok");
    doc->ShowFileManager();
    linkui::CFileManagerDlg* first = doc->FileManager();
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(first->isVisible());
    EXPECT_TRUE(doc->Link().IsConnected());
    first->hide();
    doc->ShowFileManager();
    EXPECT_EQ(doc->FileManager(), first);
    EXPECT_TRUE(first->isVisible());
}

namespace {

// The PLC command dialog waiting now (shown, no result), or null.
CPlcCommandDlg* WaitingBox()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* dlg = qobject_cast<CPlcCommandDlg*>(w); dlg && dlg->isVisible() && !dlg->ShowsResult())
            return dlg;
    return nullptr;
}

const char kNoAnswer1s[] = "Řídící systém neodpověděl do 1 s, čekání na odpověď bylo ukončeno...\r\n";
const char kNoInfo[] = "Nepodařilo se získat informace o PLC...\r\n";

} // namespace

// A control system that does not answer, or none at all: the debug start
// waits for the PLC information no longer than the link's job time-out,
// then says so in the output, has the connection-error dialog shown and
// transfers nothing.  A watch set-up that gets no answer does the same.
TEST_F(TransferTest, DebugStartWithoutAnAnswerEndsAfterTheJobTimeout)
{
    StartSimulator();
    Open("ok");
    ASSERT_TRUE(doc->BuildPlc());
    DropRequests({30, 1});
    doc->Link().SetJobTimeout(1000);
    host.sink.entries.clear();
    bool sawBox = false;
    QTimer look;
    QObject::connect(&look, &QTimer::timeout, [&] { sawBox = sawBox || WaitingBox(); });
    look.start(20);
    QElapsedTimer t;
    t.start();
    EXPECT_FALSE(doc->StartDebugging());
    EXPECT_GE(t.elapsed(), 1000);
    EXPECT_LT(t.elapsed(), 20000); // a hang guard, not a speed figure
    EXPECT_TRUE(sawBox);
    EXPECT_FALSE(doc->IsDebugging());
    ASSERT_TRUE(Pump([&] { return host.connectionErrors.size() == 1; }, 5000)) << Out();
    EXPECT_EQ(host.connectionErrors[0], doc.get());
    EXPECT_TRUE(Has(kNoAnswer1s)) << Out();
    EXPECT_TRUE(Has(kNoInfo)) << Out();
    EXPECT_EQ(Received(1, 30), 1u);
    EXPECT_EQ(Received(1, 1), 0u); // no second wait for the basic form
    EXPECT_EQ(Received(1, 2), 0u);
    EXPECT_TRUE(sim->plc().image().empty());
    EXPECT_TRUE(doc->Link().IsOpen()); // "Odpojit" is the user's to choose
    EXPECT_EQ(WaitingBox(), nullptr);

    // A watch set-up without an answer: the same line and dialog.
    DropRequests({16});
    host.sink.entries.clear();
    ASSERT_EQ(doc->Link().AddWatch(0, 0, 1, 100, 4, 0), 1);
    ASSERT_EQ(doc->Link().CommitWatch(0, 0), 1);
    EXPECT_TRUE(Pump([&] { return host.connectionErrors.size() == 2; }, 10000));
    EXPECT_EQ(Out(), kNoAnswer1s);
}

TEST_F(TransferTest, DebugStartWithNoControlSystemEndsAfterTheJobTimeout)
{
    Open("ok");
    const std::string nobody =
        testsupport::UdpLoopbackConn(testsupport::PickFreeUdpPort(), testsupport::PickFreeUdpPort());
    doc->Data().OlnkConnectionString = std::u16string(nobody.begin(), nobody.end());
    ASSERT_TRUE(doc->BuildPlc());
    doc->Link().SetJobTimeout(1000);
    host.sink.entries.clear();
    QElapsedTimer t;
    t.start();
    EXPECT_FALSE(doc->StartDebugging());
    EXPECT_GE(t.elapsed(), 1000);
    EXPECT_LT(t.elapsed(), 20000);
    EXPECT_TRUE(Pump([&] { return host.connectionErrors.size() == 1; }, 5000)) << Out();
    EXPECT_TRUE(Has("Vytváří se spojení s řídícím systémem...\r\n")) << Out();
    EXPECT_TRUE(Has(kNoAnswer1s)) << Out();
    EXPECT_TRUE(Has(kNoInfo)) << Out();
    EXPECT_FALSE(doc->IsDebugging());
}

// The user's Cancel ends the wait at once, long before the job time-out:
// no line about a missing answer, no connection-error dialog.
TEST_F(TransferTest, CancelEndsTheDebugStartsWaitEarlier)
{
    StartSimulator();
    Open("ok");
    ASSERT_TRUE(doc->BuildPlc());
    DropRequests({30});
    EXPECT_EQ(doc->Link().JobTimeout(), OLNK_DEFAULT_JOB_TIMEOUT_MS);
    host.sink.entries.clear();
    QTimer cancel;
    QObject::connect(&cancel, &QTimer::timeout, [&] {
        if (CPlcCommandDlg* box = WaitingBox()) {
            cancel.stop();
            box->Item<QPushButton>(2)->click();
        }
    });
    cancel.start(20);
    QElapsedTimer t;
    t.start();
    EXPECT_FALSE(doc->StartDebugging());
    EXPECT_LT(t.elapsed(), 20000);
    EXPECT_TRUE(Has(kNoInfo)) << Out();
    EXPECT_FALSE(Has("neodpověděl")) << Out();
    EXPECT_EQ(Received(1, 1), 0u);
    QCoreApplication::processEvents();
    EXPECT_TRUE(host.connectionErrors.empty());
    EXPECT_EQ(doc->Link().UnansweredRequests(), 0u);
}
