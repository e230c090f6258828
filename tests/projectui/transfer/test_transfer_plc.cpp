// The PLC interface transfer: the version questions, the running PLC, the
// image, short replies, and one run over a pseudo-terminal pair.
#include "TransferTest.h"

#include "plcviews/PlcCommandDlg.h"

#include <QApplication>
#include <QTimer>

using namespace transfertest;

namespace {
const char k4319[] = "Nepodařilo se získat informace o PLC...\r\n";
const char k4325[] = "PLC interface nebyl přenesen do systému...\r\n";

Bytes Image(const testsupport::TempDir& dir)
{
    const std::string s = dir.Read("Output/PLC.BIN");
    return Bytes(s.begin(), s.end());
}
} // namespace

TEST_F(TransferTest, HaldorRevisionQuestion)
{
    StartSimulator();
    Open("ok");
    ASSERT_TRUE(doc->BuildPlc());
    cssim::PlcInfoEx ex = sim->plc().infoEx();
    ex.csRevision = 700;
    sim->plc().setInfoEx(ex);
    {
        // Yes: the project takes the revision and nothing is sent.
        ui::ScriptedPrompts prompts({ui::IDYES, ui::IDOK});
        doc->SetModifiedFlag(false);
        EXPECT_FALSE(doc->TransferPlcInterface(false));
        ASSERT_EQ(prompts.Asked().size(), 2u);
        EXPECT_EQ(prompts.Asked()[0].caption, QStringLiteral("Použít odpovídající překladač?"));
        EXPECT_TRUE(prompts.Asked()[1].text.startsWith(QStringLiteral("Aby se změna verze překladače Tarvane")));
        EXPECT_EQ(doc->Data().TarvaneVer, u"700");
        EXPECT_EQ(doc->Data().PelmarVer, 700);
        EXPECT_TRUE(doc->IsModified());
        EXPECT_TRUE(sim->plc().image().empty());
    }
    doc->Data().TarvaneVer = u"632";
    core::RecomputeCompilerVersion(doc->Data());
    {
        ui::ScriptedPrompts prompts({ui::IDCANCEL});
        host.sink.entries.clear();
        EXPECT_FALSE(doc->TransferPlcInterface(false));
        EXPECT_TRUE(Has("Překladač má jinou verzi než software kazety...\r\n"));
        EXPECT_TRUE(sim->plc().image().empty());
    }
    {
        ui::ScriptedPrompts prompts({ui::IDNO});
        EXPECT_TRUE(doc->TransferPlcInterface(false)) << Out();
        EXPECT_EQ(sim->plc().image(), Image(dir));
    }
}

TEST_F(TransferTest, RunningPlcIsStoppedOnlyWithYes)
{
    StartSimulator();
    Open("ok");
    ASSERT_TRUE(doc->BuildPlc());
    sim->plc().setFlags(cssim::FLAG_LOADED | cssim::FLAG_RUNNING);
    {
        ui::ScriptedPrompts prompts({ui::IDNO});
        host.sink.entries.clear();
        EXPECT_FALSE(doc->TransferPlcInterface(false));
        EXPECT_TRUE(Has(k4325));
        EXPECT_FALSE(Has("PLC interface byl přenesen do systému.\r\n"));
        EXPECT_TRUE(sim->plc().image().empty());
        EXPECT_TRUE(sim->plc().flags() & cssim::FLAG_RUNNING);
    }
    ui::ScriptedPrompts prompts({ui::IDYES});
    EXPECT_TRUE(doc->TransferPlcInterface(false)) << Out();
    EXPECT_FALSE(sim->plc().flags() & cssim::FLAG_RUNNING);
    EXPECT_EQ(sim->plc().image(), Image(dir));

    // Compared first: the image is current, so no status and no transfer.
    uint32_t length = 0;
    uint16_t sum = 0;
    EXPECT_TRUE(cssim::Plc::CheckImage(Image(dir), length, sum));
    EXPECT_EQ(sim->plc().plcLength(), length);
    host.sink.entries.clear();
    sim->recorder().clear();
    EXPECT_TRUE(doc->TransferPlcInterface(true));
    EXPECT_TRUE(Has("Na řídícím systému je aktuální verze PLC interfacu.\r\n"));
    EXPECT_FALSE(Has("PLC interface byl přenesen do systému.\r\n"));
    EXPECT_EQ(Received(1, 0), 0u);
    // Without comparing it is always sent.
    host.sink.entries.clear();
    EXPECT_TRUE(doc->TransferPlcInterface(false));
    EXPECT_TRUE(Has(
        "PLC interface se přenáší do systému...\r\nPLC interface byl přenesen do systému.\r\n"));
}

TEST_F(TransferTest, BadImagesAndShortReplies)
{
    StartSimulator();
    Open("ok");
    // A missing image, an empty one, a malformed one (verdict -2).
    EXPECT_FALSE(doc->TransferPlcInterface(false));
    EXPECT_TRUE(Has("se nepodařilo otevřít...\r\n" + std::string(k4325))) << Out();
    dir.Write("Output/PLC.BIN", "");
    host.sink.entries.clear();
    EXPECT_FALSE(doc->TransferPlcInterface(false));
    EXPECT_TRUE(Has("Chyba při čtení souboru ")) << Out();
    EXPECT_TRUE(Has(k4325));
    dir.Write("Output/PLC.BIN", "PLCIMAGE1");
    host.sink.entries.clear();
    EXPECT_FALSE(doc->TransferPlcInterface(false));
    EXPECT_EQ(Out().substr(Out().size() - std::string(k4325).size()), k4325);
    EXPECT_TRUE(sim->plc().image().empty());

    // Extended information whose own length claims more than was sent.
    cssim::RequestScript cut;
    cut.data = Bytes{100, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17};
    sim->scriptRequest(30, cut);
    host.sink.entries.clear();
    EXPECT_FALSE(doc->TransferPlcInterface(false));
    EXPECT_TRUE(Has(k4319)) << Out();
    // Only the basic form answers, cut below the fields read.
    sim->clearRequestScript(30);
    cssim::PlcInfoEx ex = sim->plc().infoEx();
    ex.answer = 129;
    sim->plc().setInfoEx(ex);
    cssim::RequestScript shortBasic;
    shortBasic.cut = 10;
    sim->scriptRequest(1, shortBasic);
    host.sink.entries.clear();
    EXPECT_FALSE(doc->TransferPlcInterface(false));
    EXPECT_TRUE(Has(k4319)) << Out();
    // A forced error status.
    cssim::RequestScript failing;
    failing.status = -1;
    sim->scriptRequest(1, failing);
    host.sink.entries.clear();
    EXPECT_FALSE(doc->TransferPlcInterface(false));
    EXPECT_TRUE(Has(k4319)) << Out();
}

TEST_F(TransferTest, DosCassetteVersion)
{
    StartSimulator();
    Open("dos");
    ASSERT_TRUE(doc->BuildPlc());
    // The extended reply holds no cassette version: 4660, no question.
    {
        ui::ScriptedPrompts prompts;
        host.sink.entries.clear();
        EXPECT_TRUE(doc->TransferPlcInterface(false)) << Out();
        EXPECT_TRUE(prompts.Asked().empty());
        EXPECT_TRUE(Has("kontrola verze se vynechává...\r\n"));
    }
    // The basic reply: 6.349 matches "6.349"; "6.0349" does not.
    cssim::PlcInfoEx ex = sim->plc().infoEx();
    ex.answer = 129;
    sim->plc().setInfoEx(ex);
    {
        ui::ScriptedPrompts prompts;
        EXPECT_TRUE(doc->TransferPlcInterface(false)) << Out();
        EXPECT_TRUE(prompts.Asked().empty());
    }
    doc->Data().TarvaneVer = u"6.0349";
    ui::ScriptedPrompts prompts({ui::IDCANCEL});
    host.sink.entries.clear();
    EXPECT_FALSE(doc->TransferPlcInterface(false));
    ASSERT_EQ(prompts.Asked().size(), 1u);
    EXPECT_EQ(prompts.Asked()[0].caption, QStringLiteral("Aktualizovat verzi?"));
    EXPECT_TRUE(Has("Překladač má jinou verzi než software kazety...\r\n"));
}

TEST_F(TransferTest, CancelDuringTheTransfer)
{
    StartSimulator();
    Open("ok");
    ASSERT_TRUE(doc->BuildPlc());
    cssim::JobScript slow;
    slow.verdictDelayMs = 5000;
    sim->scriptJobs(slow);
    bool cancelled = false;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* dlg = qobject_cast<CPlcCommandDlg*>(w); dlg && dlg->TransferRunning() && !cancelled) {
                cancelled = true;
                dlg->OnCancel();
            }
    });
    timer.start(50);
    host.sink.entries.clear();
    EXPECT_FALSE(doc->TransferPlcInterface(false));
    EXPECT_TRUE(cancelled);
    EXPECT_TRUE(Has(k4325)) << Out();
}

TEST_F(TransferTest, OverAPseudoTerminalPair)
{
    StartSimulator([](cssim::Config& cfg) {
        cfg.serialShim = true;
        cfg.udpLocalPort = cfg.peerPort = 0;
    });
    Open("ok");
    doc->Data().OlnkConnectionString =
        sys::Utf8ToUtf16Lenient("P = " + sim->serialPeerDevice() + "; B = 115200; W = 20;");
    ASSERT_TRUE(doc->BuildPlc());
    EXPECT_TRUE(doc->TransferPlcInterface(false)) << Out();
    EXPECT_EQ(sim->plc().image(), Image(dir));
}

TEST_F(TransferTest, TheStandInCompilersImagePassesTheCheck)
{
    Open("ok");
    dir.Write("Main.plc", dir.Read("Main.plc") + "#tarv-image-size 200000\r\n");
    ASSERT_TRUE(doc->BuildPlc()) << Out();
    const Bytes image = Image(dir);
    uint32_t length = 0, simLength = 0;
    uint16_t sum = 0, simSum = 0;
    ASSERT_TRUE(CStrandworkDoc::CheckPlcImage(image.data(), uint32_t(image.size()), length, sum));
    ASSERT_TRUE(cssim::Plc::CheckImage(image, simLength, simSum));
    EXPECT_EQ(length, simLength);
    EXPECT_EQ(sum, simSum);
    EXPECT_GE(length, 200000u); // spread over modules of at most 65,000 bytes
}
