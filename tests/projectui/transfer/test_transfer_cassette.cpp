// The cassette software install: the "PLCBIN.txt" pairs, the runtime image
// way of older compilers and the list way, against the simulator.
#include "TransferTest.h"

#include "core/build/BuildChecks.h"
#include "link/ui/FileOpDlg.h"

using namespace transfertest;
using core::PlcBinPair;

TEST(PlcBinPairs, Tokenizer)
{
    using V = std::vector<PlcBinPair>;
    // Quoted names: a leading "\" of the destination goes, also inside quotes.
    EXPECT_EQ(core::ParsePlcBinPairs(u"\"a b.bin\" \"\\PLC\\a b.bin\"\r\n"), (V{{u"a b.bin", u"PLC\\a b.bin"}}));
    EXPECT_EQ(core::ParsePlcBinPairs(u"PLC.BIN \\PLCOUTPUT\\PLC.BIN\nX.EXE \\PLCOUTPUT\\X.EXE"),
              (V{{u"PLC.BIN", u"PLCOUTPUT\\PLC.BIN"}, {u"X.EXE", u"PLCOUTPUT\\X.EXE"}}));
    // A missing closing quote ends at the line end; one name gives no destination.
    EXPECT_EQ(core::ParsePlcBinPairs(u"\"a.bin \\x\r\nb.bin\r\n  \r\n"), (V{{u"a.bin \\x", u""}, {u"b.bin", u""}}));
    EXPECT_EQ(core::ParsePlcBinPairs(u"a.bin \"\\open dest\nc d\n"), (V{{u"a.bin", u"open dest"}, {u"c", u"d"}}));
    // Two pairs on one line, tabs as blanks; an empty source gives nothing.
    EXPECT_EQ(core::ParsePlcBinPairs(u"a\tb c d\r\n\"\" x\r\n"), (V{{u"a", u"b"}, {u"c", u"d"}}));
    EXPECT_TRUE(core::ParsePlcBinPairs(u"").empty());
    EXPECT_TRUE(core::ParsePlcBinPairs(u" \r\n\t\n").empty());
}

namespace {
// Counts the copy runs: each one shows a file-operation dialog.
struct CopyRuns : QObject
{
    int shown = 0;
    CopyRuns() { QCoreApplication::instance()->installEventFilter(this); }
    ~CopyRuns() override { QCoreApplication::instance()->removeEventFilter(this); }
    bool eventFilter(QObject* o, QEvent* e) override
    {
        if (e->type() == QEvent::Show && qobject_cast<linkui::CFileOpDlg*>(o))
            ++shown;
        return false;
    }
};

void SetVersion(CStrandworkDoc& doc, const char16_t* version)
{
    doc.Data().TarvaneVer = version;
    core::RecomputeCompilerVersion(doc.Data());
}
} // namespace

TEST_F(TransferTest, CassetteListWayWithTheBuiltProject)
{
    StartSimulator();
    Open("dos");
    ASSERT_TRUE(doc->BuildPlc());
    host.sink.entries.clear();
    EXPECT_TRUE(doc->UpdateControlSystemSoftware()) << Out();
    EXPECT_EQ(ReadAll(remote / "PLCOUTPUT/PLC.BIN"), dir.Read("Output/PLC.BIN"));
    // The existing "LOD_KAP.EXE" takes the name in any case.
    EXPECT_EQ(ReadAll(remote / "PLCOUTPUT/LOD_KAP.EXE"), "MZ");

    // An empty list: true, nothing copied.
    CopyRuns runs;
    dir.Write("Output/PLCBIN.txt", "");
    EXPECT_TRUE(doc->UpdateControlSystemSoftware());
    EXPECT_EQ(runs.shown, 0);
    // A missing list is named.
    std::filesystem::remove(dir / "Output/PLCBIN.txt");
    host.sink.entries.clear();
    EXPECT_FALSE(doc->UpdateControlSystemSoftware());
    EXPECT_TRUE(Has("PLCBIN.txt se nepodařilo otevřít...\r\n")) << Out();
}

TEST_F(TransferTest, CassetteBatchesAndPairsWithoutDestination)
{
    StartSimulator();
    Open("dos");
    SetVersion(*doc, u"7.0");
    std::string list;
    for (int i = 0; i < 250; ++i) {
        const std::string name = std::string("f").append(std::to_string(i)).append(".bin");
        dir.Write("Output/" + name, name);
        list += name + " \\PLCOUTPUT\\" + name + "\r\n";
    }
    list += "lonely.bin\r\n";
    dir.Write("Output/PLCBIN.txt", list);
    CopyRuns runs;
    EXPECT_FALSE(doc->UpdateControlSystemSoftware());
    EXPECT_EQ(runs.shown, 3);
    EXPECT_EQ(ReadAll(remote / "PLCOUTPUT/f0.bin"), "f0.bin");
    EXPECT_EQ(ReadAll(remote / "PLCOUTPUT/f249.bin"), "f249.bin");
    EXPECT_TRUE(Has("Soubor lonely.bin nemá v seznamu PLCBIN.txt cílové umístění a nebyl přenesen...\r\n"));
}

TEST_F(TransferTest, CassetteRuntimeImageWay)
{
    StartSimulator();
    Open("dos");
    SetVersion(*doc, u"6.348");
    dir.Write("Output/LOD_KAP.exe", "new runtime");
    EXPECT_TRUE(doc->UpdateControlSystemSoftware()) << Out();
    EXPECT_EQ(ReadAll(remote / "PLCOUTPUT/LOD_KAP.EX~"), "old runtime");
    EXPECT_EQ(ReadAll(remote / "PLCOUTPUT/LOD_KAP.EXE"), "new runtime");

    // A failed copy of the new image puts the backup back.
    remote.Write("PLCOUTPUT/LOD_KAP.EXE", "old runtime");
    cssim::FileScript refuse;
    refuse.status = 249;
    sim->scriptFile(6, "*", refuse);
    host.sink.entries.clear();
    EXPECT_FALSE(doc->UpdateControlSystemSoftware());
    EXPECT_TRUE(Has("Při aktualizaci verze došlo k chybě...\r\n")) << Out();
    // The engine names the failing file in the output window.
    EXPECT_TRUE(Has("Nepodařilo se přenést soubor " + dir / "Output/LOD_KAP.exe")) << Out();
    EXPECT_TRUE(Has("Původní verze softwaru kazety byla obnovena ze zálohy LOD_KAP.EX~...\r\n")) << Out();
    EXPECT_EQ(ReadAll(remote / "PLCOUTPUT/LOD_KAP.EXE"), "old runtime");
}

TEST_F(TransferTest, CassetteTakesItsLocalNamesFromTheProjectOnly)
{
    // Every information answer names its entry "../../x" and every listing
    // holds climbing names: the install sends what the project's list
    // names, never lists or reads a folder of the control system, and so
    // no name of the control system ever becomes a local path.
    StartSimulator();
    Open("dos");
    SetVersion(*doc, u"7.0");
    cssim::FileScript info;
    info.infoName = "../../x";
    sim->scriptFile(5, "", info);
    cssim::FileScript listing;
    listing.listing = std::vector<cssim::ListedEntry>{{"../../x", false, {'E'}}, {"sub", true, {}}};
    sim->scriptFile(3, "", listing);
    dir.Write("Output/a.bin", "A");
    dir.Write("Output/d/b.bin", "B");
    dir.Write("Output/PLCBIN.txt", "a.bin \\PLCOUTPUT\\a.bin\r\nd\\b.bin \\PLCOUTPUT\\b.bin\r\n");
    const std::string listText = dir.Read("Output/PLCBIN.txt");
    EXPECT_TRUE(doc->UpdateControlSystemSoftware()) << Out();
    EXPECT_EQ(ReadAll(remote / "PLCOUTPUT/a.bin"), "A");
    EXPECT_EQ(ReadAll(remote / "PLCOUTPUT/b.bin"), "B");
    EXPECT_EQ(Received(2, 3), 0u); // no listing
    EXPECT_EQ(Received(2, 4), 0u); // no read
    EXPECT_EQ(dir.Read("Output/a.bin"), "A");
    EXPECT_EQ(dir.Read("Output/d/b.bin"), "B");
    EXPECT_EQ(dir.Read("Output/PLCBIN.txt"), listText);
    EXPECT_FALSE(std::filesystem::exists(dir / "../x"));
    EXPECT_FALSE(std::filesystem::exists(dir / "Output/x"));
}

TEST_F(TransferTest, CassetteNeverForHaldor)
{
    StartSimulator();
    Open("ok");
    EXPECT_FALSE(doc->UpdateControlSystemSoftware());
    EXPECT_EQ(Out(), "");
    EXPECT_FALSE(doc->Link().IsOpen());
}
