#include "tests/support/plcviews/PlcViewsTest.h"

#include "core/projfile/ProjectFormat.h"
#include "core/projfile/Workspace.h"
#include "link/linkobj/olnk_link.h"
#include "mainwnd/MainFrame.h"
#include "mainwnd/OutputCtrl.h"
#include "tests/support/link/LinkTestText.h"
#include "tests/support/platform/PtyPair.h"
#include "tests/support/ui/UiTest.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace testsupport::plcviews {
namespace {
std::string FixtureDir()
{
    const char* root = std::getenv("SW_FIXTURES");
    return std::string(root ? root : "tests/fixtures") + "/plcviews/project";
}
} // namespace

DebugSession::DebugSession() = default;

DebugSession::~DebugSession()
{
    if (CStrandworkDoc* doc = Project())
        doc->Link().Close();
    m_app.reset();
    m_sim.reset();
    testsupport::ui::PumpEvents(10);
}

QString DebugSession::Path(const std::string& relative) const { return QString::fromStdString(dir / relative); }

CStrandworkDoc* DebugSession::Project() const { return m_app ? m_app->GetProjectDoc() : nullptr; }

bool DebugSession::StartApp(const Options& o)
{
    m_options = o;
    std::filesystem::copy(FixtureDir(), dir.Path(), std::filesystem::copy_options::recursive);
    core::ProjectData d;
    core::SetProjectDefaults(d, 1'100'000'000);
    d.SourceFiles = {{u"Main.plc", u"Main.plc"}, {u"Second.plc", u"src\\Second.plc"}};
    d.Target = o.target;
    if (!o.compilerVersion.empty())
        d.TarvaneVer = o.compilerVersion;
    core::RecomputeCompilerVersion(d);
    d.DisplayAsHex = o.displayAsHex;
    d.WatchPLCRegsInSrc = o.watchRegs;
    core::KxpArchive ar(true, u"");
    core::WriteProjectHeader(ar, 6);
    core::WriteProjectBodyV6(ar, d);
    dir.Write("Project.kxp", ar.Bytes());
    core::KxpArchive ws(true, u"");
    core::WriteWorkspace(ws, d, {}, 6, Path("").toStdU16String());
    dir.Write("Project.kxw", ws.Bytes());
    m_app = std::make_unique<CStrandworkApp>();
    m_app->SetArguments({Path("Project.kxp")});
    if (!m_app->InitInstance()) {
        ADD_FAILURE() << "the application did not start";
        return false;
    }
    if (!Project()) {
        ADD_FAILURE() << "the project did not open";
        return false;
    }
    return true;
}

bool DebugSession::Connect()
{
    const uint16_t ours = testsupport::PickFreeUdpPort();
    cssim::Config cfg;
    cfg.udpLocalPort = testsupport::PickFreeUdpPort();
    cfg.peerPort = ours;
    cfg.recording = true;
    cfg.shim = m_options.shim;
    m_simConfig = cfg;
    m_sim = std::make_unique<cssim::Simulator>(cfg);
    if (!m_sim->start()) {
        ADD_FAILURE() << "the simulator did not start";
        return false;
    }
    COlnkLink& link = Project()->Link();
    const std::string conn = UdpLoopbackConn(ours, m_sim->publicPort());
    if (link.Open(333, std::u16string(conn.begin(), conn.end()).c_str(), 1000) != 1) {
        ADD_FAILURE() << "the link did not open";
        return false;
    }
    for (uint16_t id : {0, 1, 2, 258})
        link.InitInterface(id);
    link.Start();
    return testsupport::ui::WaitFor([&] { return link.IsEstablished(); }, 10000, "the link");
}

bool DebugSession::StartSimulatorAgain()
{
    m_sim = std::make_unique<cssim::Simulator>(m_simConfig);
    if (!m_sim->start()) {
        ADD_FAILURE() << "the simulator did not start again";
        return false;
    }
    return true;
}

bool DebugSession::EnterDebugging()
{
    CStrandworkDoc* doc = Project();
    if (!doc->MapFile().Load(QString::fromStdString(dir / "Main.map").toStdU16String()) ||
        !doc->ListingFile().Load(doc->MapFile(), QString::fromStdString(dir / "Main.LS1").toStdU16String())) {
        ADD_FAILURE() << "map or listing did not load";
        return false;
    }
    doc->EnterDebugging();
    return true;
}

bool DebugSession::Start(const Options& options) { return StartApp(options) && Connect() && EnterDebugging(); }

CPLCView* DebugSession::Open(const std::string& relative)
{
    ::ui::Document* doc = m_app->OpenDocumentFile(Path(relative));
    if (!doc)
        return nullptr;
    auto* view = qobject_cast<CPLCView*>(doc->FirstView());
    if (view) {
        if (::ui::ChildFrame* f = view->GetParentFrame())
            f->show();
        m_app->MainFrame()->show();
        testsupport::ui::WaitFor([view] { return view->isVisible(); }, 5000, "the PLC view");
    }
    return view;
}

} // namespace testsupport::plcviews
