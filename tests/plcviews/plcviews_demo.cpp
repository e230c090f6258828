// Review program: the PLC view while the project debugs.  The real
// application and main frame on a copy of the fixture project, the
// simulator in process, Main.plc open with breakpoints on two code lines
// (set through command ID_DEBUG_TOGGLE_BREAKPOINT), the PLC stopped at a third, line registers
// from executeLine and one running, watched mechanism.
//   xshot -s 6 plc-debug.png -- build/bin/plcviews_demo
// "--info", "--status", "--variable <name>" and "--mechanisms" open the debugging
// windows over it (plcviews_demo_windows.cpp); "--watch" shows the watch
// view instead (plcviews_demo_watch.cpp).
#include "mainwnd/MainFrame.h"
#include "mainwnd/OutputCtrl.h"
#include "plcviews/PLCDoc.h"
#include "res/CommandIds.h"
#include "tests/support/plcviews/DebugSetup.h"

#include <QApplication>
#include <QTemporaryDir>

#include <cstdio>
#include <cstring>

int RunWatchDemo(QApplication& qapp, CStrandworkApp& app, CStrandworkDoc* doc, cssim::Simulator& sim);

namespace plcviewsdemo {
bool ShowDebugWindow(const QStringList& args, CStrandworkApp& app, cssim::Simulator& sim);
}

int main(int argc, char** argv)
{
    QApplication qapp(argc, argv);
    QTemporaryDir temp;
    const std::string folder = temp.path().toStdString() + "/Lis";
    const QString project = plcviewsdemo::WriteProject(SW_DEMO_FIXTURE, folder);
    if (project.isEmpty()) {
        std::fprintf(stderr, "plcviews_demo: cannot copy the fixture\n");
        return 1;
    }
    CStrandworkApp app;
    app.SetArguments({project});
    if (!app.InitInstance() || !app.GetProjectDoc()) {
        std::fprintf(stderr, "plcviews_demo: the project did not open\n");
        return 1;
    }
    CStrandworkDoc* doc = app.GetProjectDoc();
    std::unique_ptr<cssim::Simulator> sim = plcviewsdemo::Connect(doc);
    if (!sim || !plcviewsdemo::EnterDebugging(doc, folder)) {
        std::fprintf(stderr, "plcviews_demo: debugging did not start\n");
        return 1;
    }
    if (argc > 1 && std::strcmp(argv[1], "--watch") == 0) {
        const int watchRc = RunWatchDemo(qapp, app, doc, *sim);
        doc->Link().Close();
        app.ExitInstance();
        return watchRc;
    }
    ui::Document* source = app.OpenDocumentFile(QString::fromStdString(folder + "/Main.plc"));
    auto* view = source ? qobject_cast<CPLCView*>(source->FirstView()) : nullptr;
    if (!view) {
        std::fprintf(stderr, "plcviews_demo: Main.plc did not open\n");
        return 1;
    }
    app.MainFrame()->showMaximized();
    view->GetParentFrame()->showMaximized();
    // Breakpoints on lines 4 and 11, the mechanism watched.
    for (int line : {3, 10}) {
        view->ClampTextPos(EdtPoint{0, line});
        view->ExecuteCommand(ID_DEBUG_TOGGLE_BREAKPOINT);
    }
    view->ClampTextPos(EdtPoint{0, 14});
    view->ExecuteCommand(ID_DEBUG_TOGGLE_MECH_WATCH);
    sim->plc().setMechanism(0x100, 3, 1, 16);
    // Registers of the lines run, and the PLC standing at line 7.
    int32_t dr = 5;
    for (uint32_t index : {3u, 4u, 5u, 7u, 8u, 10u, 12u, 13u, 16u, 17u}) {
        sim->plc().executeLine(index, index % 2, dr);
        dr = dr * 7 - 3;
    }
    sim->plc().hitBreakpoint(7);
    view->ClampTextPos(EdtPoint{0, 6});
    view->setFocus();
    plcviewsdemo::ShowDebugWindow(qapp.arguments(), app, *sim);
    const int rc = qapp.exec();
    doc->Link().Close();
    app.ExitInstance();
    return rc;
}
