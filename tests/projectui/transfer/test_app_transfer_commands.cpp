// The transfer, debug and connection commands of the application, with the
// real application object on copies of the fixture projects, the real
// Pilvex and Tarv and the simulator.
#include "TransferTest.h"

#include "app/StrandworkApp.h"
#include "mainwnd/OutputCtrl.h"
#include "platform/sys/Registry.h"
#include "platform/ui/Command.h"
#include "res/CommandIds.h"
#include "res/Resources.h"

#include <regex>

using namespace transfertest;

namespace {

struct Rule
{
    bool enabled;
    int checked;
};

Rule State(uint32_t id)
{
    ui::CmdUI cmd(id);
    ui::UpdateCommandUI(cmd);
    return {cmd.Enabled(), cmd.Checked()};
}

struct AppCommands : ::testing::Test
{
    testsupport::ScopedConfigHome config;
    testsupport::TempDir dir;
    testsupport::TempDir remote;
    std::unique_ptr<cssim::Simulator> sim;
    std::unique_ptr<CStrandworkApp> app;
    QString savedCwd = QDir::currentPath();

    ~AppCommands() override
    {
        app.reset();
        sim.reset();
        sys::RegistryStore::Reset();
        QDir::setCurrent(savedCwd);
    }

    // The simulator, the application started as main starts it, and a copy
    // of the fixture whose workspace points at the simulator.
    // compilers: the option "PathTarvane" (the stand-in compiler's folder
    // when empty).
    CStrandworkDoc* Start(const std::string& fixture, const std::string& compilers = {})
    {
        remote.Write("PLCOUTPUT/LOD_KAP.EXE", "old runtime");
        remote.Write("DATA/.keep", "");
        fs::create_directories(remote / "Install/Tarvane");
        const uint16_t ours = testsupport::PickFreeUdpPort();
        cssim::Config cfg;
        cfg.udpLocalPort = testsupport::PickFreeUdpPort();
        cfg.peerPort = ours;
        cfg.shares = {{"PLCOUTPUT", remote / "PLCOUTPUT"}, {"DATA", remote / "DATA"}, {"Install", remote / "Install"}};
        sim = std::make_unique<cssim::Simulator>(cfg);
        if (!sim->start())
            return nullptr;
        fs::copy(std::string(std::getenv("SW_FIXTURES")) + "/build/" + fixture, dir.Path(),
                 fs::copy_options::recursive);
        std::string kxw = dir.Read("Lis.kxw");
        kxw = std::regex_replace(kxw, std::regex("OlnkConnectionString = [^\r\n]*"),
                                 "OlnkConnectionString = " +
                                     testsupport::UdpLoopbackConn(ours, sim->publicPort()));
        dir.Write("Lis.kxw", kxw);
        sys::Profile::WriteString(
            u"Options", u"PathTarvane",
            sys::Utf8ToUtf16Lenient((compilers.empty() ? std::string(std::getenv("SW_TARVANE")) : compilers) + "/"));
        app = std::make_unique<CStrandworkApp>();
        app->SetArguments({QString::fromStdString(dir / "Lis.kxp")});
        if (!app->InitInstance())
            return nullptr;
        return app->GetProjectDoc();
    }
    std::string Out() const { return app->OutputControl()->Text().toStdString(); }
};

} // namespace

TEST_F(AppCommands, EnableRulesAndTheConnection)
{
    // Without a project only the file manager is enabled.
    app = std::make_unique<CStrandworkApp>();
    app->SetArguments({});
    {
        ui::ScriptedPrompts prompts;
        ASSERT_TRUE(app->InitInstance());
    }
    for (uint32_t id : {ID_TRANSFER_PLC, ID_TRANSFER_SUPPORT_FILES, ID_DEBUG_TOGGLE, ID_DEBUG_START, ID_DEBUG_STOP, ID_CONNECT_TOGGLE, ID_TRANSFER_CASSETTE_SOFTWARE, ID_TRANSFER_COMPILER_FILES})
        EXPECT_FALSE(State(id).enabled) << id;
    EXPECT_TRUE(State(ID_TOOLS_FILEMANAGER).enabled);
    app.reset();

    CStrandworkDoc* doc = Start("ok");
    ASSERT_NE(doc, nullptr);
    // Haldor, one source, no support files, idle.
    EXPECT_TRUE(State(ID_TRANSFER_PLC).enabled);
    EXPECT_FALSE(State(ID_TRANSFER_SUPPORT_FILES).enabled);
    EXPECT_TRUE(State(ID_DEBUG_TOGGLE).enabled);
    EXPECT_EQ(State(ID_DEBUG_TOGGLE).checked, 0);
    EXPECT_TRUE(State(ID_DEBUG_START).enabled);
    EXPECT_FALSE(State(ID_DEBUG_STOP).enabled);
    EXPECT_TRUE(State(ID_CONNECT_TOGGLE).enabled);
    EXPECT_FALSE(State(ID_TRANSFER_CASSETTE_SOFTWARE).enabled);
    EXPECT_TRUE(State(ID_TRANSFER_COMPILER_FILES).enabled);
    doc->Data().Target = u"dos";
    EXPECT_TRUE(State(ID_TRANSFER_CASSETTE_SOFTWARE).enabled);
    EXPECT_FALSE(State(ID_TRANSFER_COMPILER_FILES).enabled);
    doc->Data().Target = u"Haldor";
    doc->Data().SupportFiles = {{u"a.txt", u"a.txt", u"\\DATA\\a.txt", 0, 5, 0}};
    EXPECT_TRUE(State(ID_TRANSFER_SUPPORT_FILES).enabled);

    // "Spojení" toggles the link and is checked while connected.
    ASSERT_TRUE(ui::SendCommand(ID_CONNECT_TOGGLE));
    EXPECT_TRUE(doc->Link().IsConnected());
    EXPECT_EQ(State(ID_CONNECT_TOGGLE).checked, 1);
    // While debugging: stop enabled, toggle checked, transfers disabled.
    doc->EnterDebugging();
    EXPECT_TRUE(State(ID_DEBUG_STOP).enabled);
    EXPECT_EQ(State(ID_DEBUG_TOGGLE).checked, 1);
    EXPECT_FALSE(State(ID_TRANSFER_PLC).enabled);
    EXPECT_FALSE(State(ID_TRANSFER_SUPPORT_FILES).enabled);
    EXPECT_FALSE(State(ID_DEBUG_START).enabled);
    EXPECT_TRUE(State(ID_TRANSFER_COMPILER_FILES).enabled);
    doc->SetBuilding(true);
    EXPECT_FALSE(State(ID_DEBUG_TOGGLE).enabled);
    EXPECT_FALSE(State(ID_TRANSFER_COMPILER_FILES).enabled);
    doc->SetBuilding(false);
    ASSERT_TRUE(ui::SendCommand(ID_CONNECT_TOGGLE));
    EXPECT_FALSE(doc->Link().IsOpen());
    EXPECT_FALSE(doc->IsDebugging());
    EXPECT_EQ(State(ID_CONNECT_TOGGLE).checked, 0);
}

TEST_F(AppCommands, TransferPlcBuildsAndTransfersThenDebugs)
{
    CStrandworkDoc* doc = Start("ok");
    ASSERT_NE(doc, nullptr);
    ui::ScriptedPrompts prompts;
    ASSERT_TRUE(ui::SendCommand(ID_TRANSFER_PLC));
    EXPECT_TRUE(prompts.Asked().empty()) << Out();
    const std::string image = dir.Read("Output/PLC.BIN");
    EXPECT_EQ(sim->plc().image(), Bytes(image.begin(), image.end()));
    // The output ends with the transfer's result.
    const std::string done = "PLC interface byl přenesen do systému.\n";
    EXPECT_EQ(Out().substr(Out().size() - std::min(Out().size(), done.size())), done) << Out();
    // Support files: the fixture has none to transfer, which is done at once.
    ASSERT_TRUE(ui::SendCommand(ID_TRANSFER_SUPPORT_FILES));
    EXPECT_NE(Out().find("Podpůrné soubory byly přeneseny.\n"), std::string::npos) << Out();

    ASSERT_TRUE(ui::SendCommand(ID_DEBUG_START));
    EXPECT_TRUE(doc->IsDebugging()) << Out();
    EXPECT_NE(Out().find("Na řídícím systému je aktuální verze PLC interfacu."), std::string::npos) << Out();
    EXPECT_GT(doc->ListingFile().GetLineCount(), 0u);
    ASSERT_TRUE(ui::SendCommand(ID_DEBUG_STOP));
    EXPECT_FALSE(doc->IsDebugging());
}

TEST_F(AppCommands, TransferPlcWithABuildErrorTransfersNothing)
{
    CStrandworkDoc* doc = Start("fail");
    ASSERT_NE(doc, nullptr);
    ui::ScriptedPrompts prompts;
    ASSERT_TRUE(ui::SendCommand(ID_TRANSFER_PLC));
    ASSERT_EQ(prompts.Asked().size(), 1u);
    EXPECT_EQ(prompts.Asked()[0].text, QStringLiteral("Při překladu došlo k chybám. PLC není možné přenést.\r\n"));
    EXPECT_EQ(prompts.Asked()[0].caption, QStringLiteral("Upozornění..."));
    EXPECT_FALSE(doc->Link().IsOpen());
    EXPECT_TRUE(sim->plc().image().empty());
    EXPECT_NE(Out().find("Při překladu došlo k chybám. PLC není možné přenést.\n"),
              std::string::npos)
        << Out();
}

TEST_F(AppCommands, CassetteSoftwareOfTheDosFixture)
{
    CStrandworkDoc* doc = Start("dos");
    ASSERT_NE(doc, nullptr);
    ui::ScriptedPrompts prompts;
    ASSERT_TRUE(ui::SendCommand(ID_TRANSFER_CASSETTE_SOFTWARE));
    ASSERT_EQ(prompts.Asked().size(), 1u) << Out();
    EXPECT_EQ(prompts.Asked()[0].text,
              QStringLiteral("Aby se projevila změna verze softwaru kazety, je třeba řídící systém restartovat!"));
    EXPECT_EQ(ReadAll(remote / "PLCOUTPUT/PLC.BIN"), dir.Read("Output/PLC.BIN"));
    EXPECT_EQ(ReadAll(remote / "PLCOUTPUT/LOD_KAP.EXE"), "MZ");
    EXPECT_FALSE(doc->Link().IsOpen());
    EXPECT_NE(Out().find("Software kazety byl přenesen do řídícího systému.\n"), std::string::npos)
        << Out();
}

TEST_F(AppCommands, FetchingAnEmptyCompilerSetKeepsTheWorkingCompiler)
{
    // A working compiler tree; the control system's \Install\Tarvane is
    // empty.
    testsupport::TempDir compilers;
    fs::copy(std::string(std::getenv("SW_TARVANE")) + "/Pelmar0632", compilers / "Pelmar0632",
             fs::copy_options::recursive);
    const std::string program = ReadAll(compilers / "Pelmar0632/System/Tarv");
    ASSERT_FALSE(program.empty());
    CStrandworkDoc* doc = Start("ok", compilers.Path());
    ASSERT_NE(doc, nullptr);
    ui::ScriptedPrompts prompts;
    ASSERT_TRUE(ui::SendCommand(ID_TRANSFER_COMPILER_FILES));
    ASSERT_EQ(prompts.Asked().size(), 1u) << Out();
    EXPECT_EQ(prompts.Asked()[0].text, QStringLiteral("Z řídícího systému nebyl přenesen žádný překladač Tarvane. "
                                                      "Dosavadní soubory překladače zůstaly beze změny.\r\n"));
    EXPECT_NE(Out().find("Složka \\Install\\Tarvane řídícího systému je prázdná: žádný překladač nebyl přenesen"),
              std::string::npos)
        << Out();
    EXPECT_EQ(Out().find("byly přeneseny"), std::string::npos) << Out();
    // The compiler is still there and builds.
    EXPECT_EQ(ReadAll(compilers / "Pelmar0632/System/Tarv"), program);
    EXPECT_TRUE(doc->BuildPlc()) << Out();

    // A complete set, its files without execute permission as a control
    // system serves them, replaces it, and the next build runs it.
    fs::copy(compilers / "Pelmar0632", remote / "Install/Tarvane", fs::copy_options::recursive);
    fs::permissions(remote / "Install/Tarvane/System/Tarv", fs::perms(0644));
    // An include file of the user's own in the installed folder stays.
    compilers.Write("Pelmar0632/Include/mine.inc", "mine");
    ASSERT_TRUE(ui::SendCommand(ID_TRANSFER_COMPILER_FILES));
    EXPECT_NE(Out().find("byly přeneseny"), std::string::npos) << Out();
    EXPECT_EQ(ReadAll(compilers / "Pelmar0632/Include/mine.inc"), "mine");
    EXPECT_TRUE(doc->BuildPlc()) << Out();
}
