// Review program: the debug start with its transfers.  The real application
// object runs as main runs it, on a copy of the "ok" fixture project with
// two support files of type 5, a settings folder of its own whose option
// "PathTarvane" names the stand-in compilers, and the simulator in process
// over UDP on 127.0.0.1 with the shares PLCOUTPUT, Install and DATA.  Once
// the main window shows, the project is built and command ID_DEBUG_START (Projekt >
// "Ladit") is posted; the simulator holds back the verdict of the support
// files' transfers, so that their progress dialog stays open.
//   xshot -s 10 debug.png -- build/bin/transfer_show
#include "app/StrandworkApp.h"
#include "projectui/StrandworkDoc.h"
#include "link/linkobj/olnk_link.h"
#include "mainwnd/MainFrame.h"
#include "mainwnd/OutputCtrl.h"
#include "platform/sys/CodePage.h"
#include "platform/sys/Registry.h"
#include "platform/ui/Command.h"
#include "res/CommandIds.h"
#include "tests/support/link/LinkTestText.h"
#include "tests/support/platform/PtyPair.h"
#include "tools/cssim/cssim.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <string>

namespace fs = std::filesystem;

namespace {
bool WriteFile(const std::string& path, const std::string& bytes)
{
    fs::create_directories(fs::path(path).parent_path());
    QFile f(QString::fromStdString(path));
    return f.open(QIODevice::WriteOnly) && f.write(bytes.data(), qint64(bytes.size())) == qint64(bytes.size());
}
std::string ReadFile(const std::string& path)
{
    QFile f(QString::fromStdString(path));
    return f.open(QIODevice::ReadOnly) ? f.readAll().toStdString() : std::string();
}
} // namespace

int main(int argc, char** argv)
{
    QTemporaryDir temp;
    const std::string root = temp.path().toStdString();
    ::setenv("XDG_CONFIG_HOME", (root + "/config").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (root + "/data").c_str(), 1);
    QApplication qapp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Strandwork"));
    QApplication::setOrganizationName(QStringLiteral("ORNA"));

    // The control system.
    const std::string remote = root + "/remote";
    WriteFile(remote + "/PLCOUTPUT/LOD_KAP.EXE", "runtime");
    WriteFile(remote + "/Install/Tarvane/System/Tarv", "compiler");
    WriteFile(remote + "/DATA/.keep", "");
    const uint16_t ours = testsupport::PickFreeUdpPort();
    cssim::Config cfg;
    cfg.udpLocalPort = testsupport::PickFreeUdpPort();
    cfg.peerPort = ours;
    cfg.recording = false;
    cfg.shares = {{"PLCOUTPUT", remote + "/PLCOUTPUT"}, {"Install", remote + "/Install"}, {"DATA", remote + "/DATA"}};
    cssim::Simulator sim(cfg);
    if (!sim.start()) {
        std::fprintf(stderr, "transfer_show: the simulator does not start\n");
        return 1;
    }

    // The project, pointed at the simulator.
    const std::string project = root + "/Lis";
    fs::copy(SW_SHOW_FIXTURE, project, fs::copy_options::recursive);
    std::string kxw = ReadFile(project + "/Lis.kxw");
    kxw = std::regex_replace(kxw, std::regex("OlnkConnectionString = [^\r\n]*"),
                             "OlnkConnectionString = " + testsupport::UdpLoopbackConn(ours, sim.publicPort()));
    WriteFile(project + "/Lis.kxw", kxw);
    WriteFile(project + "/Vstupy.txt", "vstupy\r\n");
    WriteFile(project + "/Vystupy.txt", "vystupy\r\n");
    sys::Profile::WriteString(u"Options", u"PathTarvane", sys::Utf8ToUtf16Lenient(SW_SHOW_TARVANE "/"));

    CStrandworkApp app;
    app.SetArguments({QString::fromStdString(project + "/Lis.kxp")});
    if (!app.InitInstance() || !app.GetProjectDoc()) {
        std::fprintf(stderr, "transfer_show: the project did not open\n");
        return 1;
    }
    CStrandworkDoc* doc = app.GetProjectDoc();
    doc->Data().SupportFiles = {{u"Vstupy.txt", u"Vstupy.txt", u"\\DATA\\Vstupy.txt", 0, 5, 0},
                                {u"Vystupy.txt", u"Vystupy.txt", u"\\DATA\\Vystupy.txt", 0, 5, 0}};
    app.MainFrame()->showMaximized();

    // Hold back the support files' verdicts once the PLC image has arrived.
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (sim.plc().image().empty())
            return;
        cssim::JobScript slow;
        slow.verdictDelayMs = 600000;
        sim.scriptJobs(slow);
        watch.stop();
    });
    watch.start(2);
    QTimer::singleShot(200, [doc] {
        doc->BuildPlc();
        ui::PostCommand(ID_DEBUG_START);
    });
    const int rc = qapp.exec();
    doc->Link().Close();
    app.ExitInstance();
    return rc;
}
