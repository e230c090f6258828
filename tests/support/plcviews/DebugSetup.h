#pragma once
// The debugging set-up without the test framework, for the review program,
// the benchmarks and the main road test: the fixture project copied to a
// folder, the project files written, the simulator in process over UDP on
// 127.0.0.1 or a 115200-baud pseudo-terminal pair, the project's link opened
// to it, map and listing loaded, debugging entered.

#include "app/StrandworkApp.h"
#include "projectui/StrandworkDoc.h"
#include "core/projfile/ProjectFormat.h"
#include "core/projfile/Workspace.h"
#include "link/linkobj/olnk_link.h"
#include "link/ui/LinkMessages.h"
#include "platform/ui/Messages.h"
#include "platform/ui/Modal.h"
#include "tests/support/link/LinkTestText.h"
#include "tests/support/link/SimulatorStart.h"
#include "tests/support/platform/PtyPair.h"
#include "tools/cssim/cssim.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>

#include <chrono>

#include <filesystem>
#include <memory>
#include <string>

namespace plcviewsdemo {

// Writes <stem>.kxp and <stem>.kxw of d into an existing folder (format 6);
// returns the project file's path, empty when a file cannot be written.
inline QString WriteProjectFiles(const std::string& folder, const std::string& stem, const core::ProjectData& d)
{
    core::KxpArchive ar(true, u"");
    core::WriteProjectHeader(ar, 6);
    core::WriteProjectBodyV6(ar, d);
    core::KxpArchive ws(true, u"");
    core::WriteWorkspace(ws, d, {}, 6, QString::fromStdString(folder + "/").toStdU16String());
    for (auto [ext, bytes] : {std::pair{".kxp", ar.Bytes()}, std::pair{".kxw", ws.Bytes()}}) {
        QFile f(QString::fromStdString(folder + "/" + stem + ext));
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes.data(), qint64(bytes.size())) != qint64(bytes.size()))
            return {};
    }
    return QString::fromStdString(folder + "/" + stem + ".kxp");
}

// Copies the fixture into folder and writes Project.kxp and Project.kxw;
// returns the project file's path.
inline QString WriteProject(const std::string& fixture, const std::string& folder)
{
    std::filesystem::copy(fixture, folder, std::filesystem::copy_options::recursive);
    core::ProjectData d;
    core::SetProjectDefaults(d, 1'100'000'000);
    d.SourceFiles = {{u"Main.plc", u"Main.plc"}, {u"Second.plc", u"src\\Second.plc"}};
    d.Target = u"Haldor";
    d.DisplayAsHex = 0;
    d.WatchPLCRegsInSrc = 1;
    return WriteProjectFiles(folder, "Project", d);
}

inline bool Pump(const std::function<bool()>& cond, int ms)
{
    QElapsedTimer t;
    t.start();
    while (!cond()) {
        if (t.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

using testsupport::StartSimulator;

// Starts a simulator (not recording) and opens the project's link to it.
inline std::unique_ptr<cssim::Simulator> Connect(CStrandworkDoc* doc, bool serial = false)
{
    cssim::Config cfg;
    cfg.recording = false;
    std::string conn;
    auto sim = StartSimulator(cfg, serial, conn);
    if (!sim)
        return nullptr;
    COlnkLink& link = doc->Link();
    if (link.Open(333, std::u16string(conn.begin(), conn.end()).c_str(), 1000) != 1)
        return nullptr;
    for (uint16_t id : {0, 1, 2, 258})
        link.InitInterface(id);
    link.Start();
    if (!Pump([&] { return link.IsEstablished(); }, 10000))
        return nullptr;
    return sim;
}

// A PLC image sent through the link object alone, without the document's
// layer (no information, status or wait dialog): TransferPLC to its handled
// result.  The milliseconds taken, or -1 when it failed or took longer than
// timeoutMs.  The raw figure the document's transfer is compared with.
inline double RawTransferPlc(COlnkLink& link, const std::vector<uint8_t>& image, int timeoutMs)
{
    bool done = false;
    int8_t status = -1;
    QObject obj;
    const ui::MessageHandle target = ui::RegisterMessageTarget(
        &obj, [&](uint32_t msg, std::uintptr_t, std::intptr_t lParam, ui::MessageRecord*) {
            if (msg == WM_LINK_RESULT) {
                status = linkui::ResultOf(lParam)->status;
                done = true;
            }
            return intptr_t(0);
        });
    uint32_t job = 0;
    const auto t0 = std::chrono::steady_clock::now();
    link.TransferPLC(target, 0, nullptr, &job, uint32_t(image.size()), image.data());
    const bool ended = Pump([&] { return done; }, timeoutMs);
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    ui::UnregisterMessageTarget(target);
    return ended && status == 0 ? ms : -1;
}

inline bool EnterDebugging(CStrandworkDoc* doc, const std::string& folder)
{
    if (!doc->MapFile().Load(QString::fromStdString(folder + "/Main.map").toStdU16String()) ||
        !doc->ListingFile().Load(doc->MapFile(), QString::fromStdString(folder + "/Main.LS1").toStdU16String()))
        return false;
    doc->EnterDebugging();
    return true;
}

} // namespace plcviewsdemo
