// The transfer, debugging and connection commands of the Project menu.
// See docs/application.md.
#include "app/AppTransferCommands.h"

#include "app/StrandworkApp.h"
#include "link/linkobj/olnk_link.h"
#include "platform/ui/Prompt.h"
#include "projectui/StrandworkDoc.h"
#include "res/CommandIds.h"
#include "res/StringTable.h"
#include "res/text/StringIds.h"

CAppTransferCommands::CAppTransferCommands(CStrandworkApp& app) : m_app(app) {}

void CAppTransferCommands::Map()
{
    // Their update rules are those of AppCommandRules.h (CAppMenuCommands::Map).
    m_app.MapCommand(ID_TRANSFER_PLC, [this] { OnTransferPlc(); });
    m_app.MapCommand(ID_TRANSFER_SUPPORT_FILES, [this] { OnTransferSupportFiles(); });
    m_app.MapCommand(ID_DEBUG_TOGGLE, [this] { OnDebugToggle(); });
    m_app.MapCommand(ID_DEBUG_START, [this] { OnDebugStart(); });
    m_app.MapCommand(ID_DEBUG_STOP, [this] { OnDebugStop(); });
    m_app.MapCommand(ID_CONNECT_TOGGLE, [this] { OnConnectToggle(); });
    m_app.MapCommand(ID_TRANSFER_CASSETTE_SOFTWARE, [this] { OnTransferCassetteSoftware(); });
    m_app.MapCommand(ID_TRANSFER_COMPILER_FILES, [this] { OnTransferCompilerFiles(); });
}

namespace {
// The command's last line in the output window.
void Report(CStrandworkApp& app, unsigned text)
{
    if (core::OutputSink* out = app.GetOutputCtrl())
        out->AppendText(LoadResString(text).toStdU16String());
}

// An information box owned by the main window.
void InfoBox(unsigned text, unsigned caption)
{
    ui::Application* app = ui::Application::Instance();
    ui::Prompt(LoadResString(text), LoadResString(caption), ui::MB_OK | ui::MB_ICONINFORMATION,
               app ? app->GetMainWnd() : nullptr);
}
} // namespace

void CAppTransferCommands::OnTransferPlc()
{
    if (!m_app.GetProjectDoc())
        return;
    if (!m_app.GetProjectDoc()->BuildIfNeeded()) {
        Report(m_app, IDS_XFER_PLC_BUILD_FAILED);
        InfoBox(IDS_XFER_PLC_BUILD_FAILED, IDS_XFER_NOTICE_CAPTION);
        return;
    }
    // A transfer that succeeds says so itself (or that the system's copy is
    // current).
    if (m_app.GetProjectDoc() && !m_app.GetProjectDoc()->TransferPlcInterface(false)) {
        Report(m_app, IDS_XFER_PLC_FAILED);
        InfoBox(IDS_XFER_PLC_FAILED, IDS_XFER_NOTICE_CAPTION);
    }
}

void CAppTransferCommands::OnTransferSupportFiles()
{
    if (m_app.GetProjectDoc())
        Report(m_app, m_app.GetProjectDoc()->TransferSupportFiles() ? IDS_XFER_SUPPORT_DONE
                                                                    : IDS_XFER_SUPPORT_FAILED);
}

void CAppTransferCommands::OnDebugToggle()
{
    if (!m_app.GetProjectDoc())
        return;
    if (m_app.GetProjectDoc()->IsDebugging()) {
        m_app.GetProjectDoc()->StopDebugging();
        return;
    }
    if (core::OutputSink* out = m_app.GetOutputCtrl())
        out->ClearAll();
    m_app.GetProjectDoc()->StartDebugging();
}

void CAppTransferCommands::OnDebugStart()
{
    if (!m_app.GetProjectDoc() || m_app.GetProjectDoc()->IsDebugging())
        return;
    if (core::OutputSink* out = m_app.GetOutputCtrl())
        out->ClearAll();
    m_app.GetProjectDoc()->StartDebugging();
}

void CAppTransferCommands::OnDebugStop()
{
    if (m_app.GetProjectDoc() && m_app.GetProjectDoc()->IsDebugging())
        m_app.GetProjectDoc()->StopDebugging();
}

void CAppTransferCommands::OnConnectToggle()
{
    if (!m_app.GetProjectDoc())
        return;
    if (m_app.GetProjectDoc()->Link().IsConnected())
        m_app.GetProjectDoc()->StopCommunication();
    else
        m_app.GetProjectDoc()->StartCommunication();
}

void CAppTransferCommands::OnTransferCassetteSoftware()
{
    if (!m_app.GetProjectDoc())
        return;
    if (!m_app.GetProjectDoc()->BuildIfNeeded()) {
        Report(m_app, IDS_XFER_CASSETTE_BUILD_FAILED);
        InfoBox(IDS_XFER_CASSETTE_BUILD_FAILED, IDS_XFER_NOTICE_CAPTION);
        return;
    }
    if (!m_app.GetProjectDoc())
        return;
    if (m_app.GetProjectDoc()->UpdateControlSystemSoftware()) {
        m_app.GetProjectDoc()->StopCommunication();
        Report(m_app, IDS_XFER_CASSETTE_DONE);
        InfoBox(IDS_XFER_CASSETTE_RESTART, IDS_XFER_NOTICE_CAPTION);
    } else {
        Report(m_app, IDS_XFER_CASSETTE_FAILED);
        InfoBox(IDS_XFER_CASSETTE_FAILED, IDS_XFER_NOTICE_CAPTION);
    }
}

void CAppTransferCommands::OnTransferCompilerFiles()
{
    bool noCompiler = false;
    if (m_app.GetProjectDoc() && !m_app.GetProjectDoc()->TransferCompilerFiles(&noCompiler))
        InfoBox(noCompiler ? IDS_XFER_COMPILER_NONE_BOX : IDS_XFER_COMPILER_FAILED_BOX, IDS_XFER_NOTICE_CAPTION);
}
