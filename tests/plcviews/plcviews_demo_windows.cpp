// The review program's debugging windows: "--info" and "--status" the PLC
// command dialog's result view of GetPLCInfo and GetStatus, "--variable <name>" the variable
// window polling while the simulator's memory changes every 200 ms,
// "--mechanisms" the mechanisms window with the watched, running MECHA.
#include "plcviews/InspectDlg.h"
#include "plcviews/MechanismsDlg.h"
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
    if (args.contains(QStringLiteral("--info"))) {
        QTimer::singleShot(300, [doc, owner] {
            CPlcCommandDlg dlg(owner);
            dlg.GetPLCInfo(&doc->Link(), nullptr, 0, 1);
            QApplication::quit();
        });
        return true;
    }
    const qsizetype var = args.indexOf(QStringLiteral("--variable"));
    if (var >= 0 && var + 1 < args.size()) {
        const QString name = args[var + 1];
        // VARB, VARW and VARD count up, each at its own pace.
        auto* tick = new QTimer(qApp);
        auto* count = new uint32_t(0);
        QObject::connect(tick, &QTimer::timeout, [&sim, count] {
            const uint32_t n = ++*count;
            sim.plc().writeMemory(1, 0x10, {uint8_t(n * 37)});
            sim.plc().writeMemory(1, 0x12, {uint8_t(n * 3), uint8_t(n >> 5)});
            sim.plc().writeMemory(1, 0x14, {uint8_t(n), uint8_t(n * 7), 0, 0x80});
        });
        tick->start(200);
        QTimer::singleShot(300, [doc, owner, name] {
            CInspectDlg dlg(owner);
            dlg.Run(doc, name);
            QApplication::quit();
        });
        return true;
    }
    if (args.contains(QStringLiteral("--mechanisms"))) {
        QTimer::singleShot(300, [doc, owner] {
            CMechanismsDlg dlg(owner);
            dlg.Run(doc);
            QApplication::quit();
        });
        return true;
    }
    return false;
}

} // namespace plcviewsdemo
