// Review program, --watch: the watch view as a window of its own with a
// plaque of the fixture's variables of every type, values that the
// simulator changes every 200 ms, and the PLC standing at a break with RLO
// and DR read.
#include "mainwnd/MainFrame.h"
#include "mainwnd/OutputCtrl.h"
#include "plcviews/WatchView.h"
#include "tests/support/plcviews/DebugSetup.h"

#include <QApplication>
#include "res/StringTable.h"

#include <QTimer>

#include <cstdio>
#include <cstring>

int RunWatchDemo(QApplication& qapp, CStrandworkApp& app, CStrandworkDoc* doc, cssim::Simulator& sim)
{
    core::WatchPlaque plaque;
    plaque.Name = u"Plaketa 0";
    plaque.VarNames = {u"VARB", u"VARW", u"-VARW", u"VARD", u"VARQ", u"VARR", u"BITX",
                       u"VARB.BITY", u"MECHA", u"MECHB", u"OFFS", u"KONST", u"NEZNAMA"};
    doc->Data().WatchPlaques = {plaque, core::WatchPlaque{u"Plaketa 1", {u"VARD"}}};
    doc->Data().SelectedPlaque = 0;
    doc->Data().WatchInterval = 100;
    doc->Data().WatchMechInterval = 100;
    sim.plc().setMechanism(0x100, 3, 1, 16);
    sim.plc().setFlags(cssim::FLAG_LOADED | cssim::FLAG_RUNNING);
    sim.plc().setRegs(1, 0x1F);

    CKXPWatchView view;
    doc->AddView(&view);
    view.OnInitialUpdate();
    view.ApplyFontsAndColors(GetFontColorPage(), QStringLiteral("WatchWindow"));
    view.setWindowTitle(LoadResString(4038));
    view.resize(760, 360);
    view.show();
    view.List()->selectRow(1);

    // Memory changes every 200 ms; the PLC breaks at line 7 after a second.
    uint32_t tick = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        ++tick;
        sim.plc().writeMemory(1, 0x10, {uint8_t(0xA5 ^ tick)});
        sim.plc().writeMemory(1, 0x12, {uint8_t(tick * 7), uint8_t(tick)});
        const uint32_t d = 100000 + tick * 1234;
        sim.plc().writeMemory(1, 0x14, {uint8_t(d), uint8_t(d >> 8), uint8_t(d >> 16), uint8_t(d >> 24)});
        double r = 3.25 * tick;
        cssim::Bytes real(8);
        std::memcpy(real.data(), &r, 8);
        sim.plc().writeMemory(2, 0x30, real);
        sim.plc().writeMemory(2, 0x20, {uint8_t(tick), 0, 0, 0, 0, 0, 0, 0x80});
    });
    timer.start(200);
    QTimer::singleShot(1000, [&] { sim.plc().hitBreakpoint(7); });
    const int rc = qapp.exec();
    (void)app;
    return rc;
}
