#pragma once
// The debugging set-up without the test framework, for the review program
// and the benchmark: the fixture project copied to a folder, the project
// file written, the simulator in process over UDP on 127.0.0.1, the
// project's link opened to it, map and listing loaded, debugging entered.

#include "core/app/StrandworkApp.h"
#include "core/project/StrandworkDoc.h"
#include "core/projfile/ProjectFormat.h"
#include "core/projfile/Workspace.h"
#include "link/linkobj/olnk_link.h"
#include "platform/ui/Modal.h"
#include "tests/support/link/LinkTestText.h"
#include "tests/support/platform/PtyPair.h"
#include "tools/cssim/cssim.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>

#include <filesystem>
#include <memory>
#include <string>

namespace plcviewsdemo {

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
    core::KxpArchive ar(true, u"");
    core::WriteProjectHeader(ar, 6);
    core::WriteProjectBodyV6(ar, d);
    core::KxpArchive ws(true, u"");
    core::WriteWorkspace(ws, d, {}, 6, QString::fromStdString(folder + "/").toStdU16String());
    for (auto [name, bytes] : {std::pair{"/Project.kxp", ar.Bytes()}, std::pair{"/Project.kxw", ws.Bytes()}}) {
        QFile f(QString::fromStdString(folder + name));
        if (!f.open(QIODevice::WriteOnly))
            return {};
        f.write(bytes.data(), qint64(bytes.size()));
    }
    return QString::fromStdString(folder + "/Project.kxp");
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

// Starts a simulator and opens the project's link to it.
inline std::unique_ptr<cssim::Simulator> Connect(CStrandworkDoc* doc)
{
    const uint16_t ours = testsupport::PickFreeUdpPort();
    cssim::Config cfg;
    cfg.udpLocalPort = testsupport::PickFreeUdpPort();
    cfg.peerPort = ours;
    cfg.recording = false;
    auto sim = std::make_unique<cssim::Simulator>(cfg);
    if (!sim->start())
        return nullptr;
    COlnkLink& link = doc->Link();
    const std::string conn = testsupport::UdpLoopbackConn(ours, sim->publicPort());
    if (link.Open(333, std::u16string(conn.begin(), conn.end()).c_str(), 1000) != 1)
        return nullptr;
    for (uint16_t id : {0, 1, 2, 258})
        link.InitInterface(id);
    link.Start();
    if (!Pump([&] { return link.IsEstablished(); }, 10000))
        return nullptr;
    return sim;
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
