#include "projectui/ProjectHost.h"

namespace {
ProjectHost* g_host = nullptr;
}

WorkspaceDocumentsPort::~WorkspaceDocumentsPort() = default;
ProjectHost::~ProjectHost() = default;
PlcCommandDialog::~PlcCommandDialog() = default;

void SetProjectHost(ProjectHost* host)
{
    g_host = host;
}

ProjectHost* GetProjectHost()
{
    return g_host;
}

bool ProjectHost::ShowPlcSourceLine(const QString&, int) { return false; }

QString ProjectHost::GetHelpPath(int) { return {}; }

std::unique_ptr<PlcCommandDialog> ProjectHost::CreatePlcCommandDialog() { return nullptr; }

void ProjectHost::ShowConnectionError(CStrandworkDoc*) {}
