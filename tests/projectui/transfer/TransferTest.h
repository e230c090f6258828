#pragma once
// The project document against the simulator: a test host with a capture
// sink and the real PLC command dialog port, a copy of a fixture project,
// and the simulator in process over UDP on 127.0.0.1 with the shares
// PLCOUTPUT (holding "LOD_KAP.EXE"), Install (holding a "Tarvane" tree)
// and DATA on temporary folders.

#include "app/PlcCommandDialog.h"
#include "projectui/StrandworkDoc.h"
#include "link/linkobj/olnk_link.h"
#include "platform/sys/CodePage.h"
#include "platform/sys/FileIO.h"
#include "platform/ui/Prompt.h"
#include "plcviews/PlcCommandDlg.h"
#include "tests/support/build/CaptureSink.h"
#include "tests/support/build/StubProjectHost.h"
#include "tests/support/link/LinkTestText.h"
#include "tests/support/platform/PtyPair.h"
#include "tests/support/platform/TempDir.h"
#include "tools/cssim/cssim.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <sstream>

namespace transfertest {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

inline std::string ReadAll(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

inline bool Pump(const std::function<bool()>& cond, int ms = 10000)
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

// Presses OK on every PLC command dialog that shows a result text (a
// failed transfer or stop keeps its dialog open until then) and keeps the
// texts.
class ResultCloser
{
public:
    ResultCloser()
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                auto* dlg = qobject_cast<CPlcCommandDlg*>(w);
                if (!dlg || !dlg->isVisible() || !dlg->ShowsResult())
                    continue;
                if (auto* ok = dlg->Item<QPushButton>(1); ok && ok->isVisible()) {
                    texts.push_back(dlg->ResultText());
                    ok->click();
                }
            }
        });
        m_timer.start(20);
    }
    std::vector<QString> texts;

private:
    QTimer m_timer;
};

class TransferHost : public testsupport::StubProjectHost
{
public:
    TransferHost()
    {
        settings.PathTarvane = sys::Utf8ToUtf16Lenient(std::string(std::getenv("SW_TARVANE")) + "/");
        programFolder = QString::fromUtf8(std::getenv("SW_BIN_DIR")) + "/";
        output = &sink;
    }
    void UpdatePlcViews(ui::View* sender, long hint, QObject* object) override
    {
        StubProjectHost::UpdatePlcViews(sender, hint, object);
        if (onHint)
            onHint(hint);
    }
    std::unique_ptr<PlcCommandDialog> CreatePlcCommandDialog() override
    {
        ++dialogs;
        return std::make_unique<CPlcCommandDialogPort>();
    }

    testsupport::CaptureSink sink;
    std::function<void(long)> onHint;
    int dialogs = 0;
};

struct TransferTest : ::testing::Test
{
    testsupport::ScopedConfigHome config;
    testsupport::TempDir dir;    // the project
    testsupport::TempDir remote; // the simulator's shares
    TransferHost host;
    ResultCloser closer;
    std::unique_ptr<cssim::Simulator> sim;
    std::unique_ptr<CStrandworkDoc> doc;
    uint16_t ours = 0;
    QString savedCwd = QDir::currentPath();

    ~TransferTest() override
    {
        if (doc)
            doc->Link().Close();
        doc.reset();
        sim.reset();
        QDir::setCurrent(savedCwd);
    }

    // Starts the simulator with its shares; cfg may be changed first.
    void StartSimulator(const std::function<void(cssim::Config&)>& change = {})
    {
        remote.Write("PLCOUTPUT/LOD_KAP.EXE", "old runtime");
        remote.Write("Install/Tarvane/System/Tarv", "compiler");
        remote.Write("Install/Tarvane/Include/plc.inc", "header");
        remote.Write("DATA/.keep", "");
        ours = testsupport::PickFreeUdpPort();
        cssim::Config cfg;
        cfg.udpLocalPort = testsupport::PickFreeUdpPort();
        cfg.peerPort = ours;
        cfg.shares = {{"PLCOUTPUT", remote / "PLCOUTPUT"},
                      {"Install", remote / "Install"},
                      {"DATA", remote / "DATA"}};
        if (change)
            change(cfg);
        sim = std::make_unique<cssim::Simulator>(cfg);
        ASSERT_TRUE(sim->start());
    }

    std::u16string Conn() const
    {
        const std::string c = testsupport::UdpLoopbackConn(ours, sim->publicPort());
        return std::u16string(c.begin(), c.end());
    }

    // Copies a fixture project, opens it and points it at the simulator.
    void Open(const std::string& fixture)
    {
        fs::copy(std::string(std::getenv("SW_FIXTURES")) + "/build/" + fixture, dir.Path(),
                 fs::copy_options::recursive);
        doc = std::make_unique<CStrandworkDoc>();
        doc->SetAutoDelete(false);
        ASSERT_TRUE(doc->OnOpenDocument(QString::fromStdString(dir / "Lis.kxp")));
        if (sim)
            doc->Data().OlnkConnectionString = Conn();
        host.sink.entries.clear();
    }

    std::string Out() const { return host.sink.All(); }
    bool Has(const std::string& text) const { return Out().find(text) != std::string::npos; }

    // The simulator takes the class-1 requests of these codes and answers
    // none of them.
    void DropRequests(std::initializer_list<uint8_t> codes)
    {
        cssim::RequestScript drop;
        drop.drop = true;
        for (uint8_t code : codes)
            sim->scriptRequest(code, drop);
    }

    // The class-1 requests of a code the simulator received.
    size_t Received(uint8_t cls, uint8_t code) const
    {
        size_t n = 0;
        for (const cssim::Record& r : sim->recorder().all())
            n += r.direction == 0 && r.cls() == cls && r.type() == 0 && r.code() == code;
        return n;
    }
};

} // namespace transfertest
