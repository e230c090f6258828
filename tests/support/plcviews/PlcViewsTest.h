#pragma once
// The PLC views with the project debugging: the application object started
// as main starts it on a temporary copy of tests/fixtures/plcviews/project
// (Project.kxp beside Main.plc, src/Second.plc in a subfolder, Main.map,
// Main.LS1), a fresh simulator in process over UDP on 127.0.0.1, the
// project's link opened as the project opens it, map and listing loaded
// and debugging entered.

#include "app/StrandworkApp.h"
#include "projectui/StrandworkDoc.h"
#include "plcviews/PLCDoc.h"
#include "tests/support/platform/TempDir.h"
#include "tools/cssim/cssim.h"

#include <QString>

#include <memory>
#include <string>

namespace testsupport::plcviews {

struct Options
{
    std::u16string target = u"Haldor";
    int32_t displayAsHex = 0;
    int32_t watchRegs = 1;
    std::u16string compilerVersion;  // TarvaneVer ("6.373"), with a target other than Haldor
    // The simulator behind its fault shim (Sim().shim()): a test can make it
    // fall silent in one direction or both.
    bool shim = false;
};

class DebugSession
{
public:
    DebugSession();
    ~DebugSession();

    // Copies the fixture and starts the application on the project; false
    // (with a test failure) when anything did not start.
    bool StartApp(const Options& options = {});
    // Starts the simulator and opens the project's link to it.
    bool Connect();
    // Loads map and listing and enters debugging.
    bool EnterDebugging();
    // All three.
    bool Start(const Options& options = {});
    // The control system ends (the link notices once a request finds no
    // peer), and a new one, without a program, starts on the same ports.
    void EndSimulator() { m_sim.reset(); }
    bool StartSimulatorAgain();

    // Opens a file of the copy (relative path) and returns its first view.
    CPLCView* Open(const std::string& relative);
    QString Path(const std::string& relative) const;

    CStrandworkDoc* Project() const;
    cssim::Simulator& Sim() { return *m_sim; }
    CStrandworkApp* App() { return m_app.get(); }

    testsupport::TempDir dir;

private:
    std::unique_ptr<CStrandworkApp> m_app;
    std::unique_ptr<cssim::Simulator> m_sim;
    cssim::Config m_simConfig;
    Options m_options;
};

// The listing index of a 1-based line of Main.plc (1..40) and of
// src/Second.plc (41..80).
constexpr uint32_t MainIndex(int line) { return uint32_t(line); }
constexpr uint32_t SecondIndex(int line) { return uint32_t(40 + line); }

} // namespace testsupport::plcviews
