// The review program's debugging windows: "--status" the PLC command
// dialog's result view of GetStatus.
#include "plcviews/PlcCommandDlg.h"
#include "tests/support/plcviews/DebugSetup.h"

#include <QApplication>
#include <QStringList>
#include <QTimer>

namespace plcviewsdemo {

// Opens the window that the arguments ask for, once the main loop runs;
// false when they ask for none of these.
bool ShowDebugWindow(const QStringList& args, CStrandworkApp& app, cssim::Simulator& sim)
{
    CStrandworkDoc* doc = app.GetProjectDoc();
    QWidget* owner = QApplication::activeWindow();
    if (args.contains(QStringLiteral("--status"))) {
        sim.plc().setFlags(cssim::FLAG_LOADED | cssim::FLAG_RUNNING | cssim::FLAG_AT_POSITION);
        sim.plc().setPosition(57);
        QTimer::singleShot(300, [doc, owner] {
            CPlcCommandDlg dlg(owner);
            dlg.GetStatus(&doc->Link(), nullptr, 1);
            QApplication::quit();
        });
        return true;
    }
    return false;
}

} // namespace plcviewsdemo
