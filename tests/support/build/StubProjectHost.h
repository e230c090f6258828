#pragma once
// The project's host for tests and benchmarks that run a project document
// without the application object: it registers itself for its lifetime,
// holds the one open project, the settings, the program folder and the
// output, and records the hints sent to the PLC views.  Derived hosts
// override what they watch.  Header-only: include it only where the
// project library is linked.

#include "projectui/ProjectHost.h"
#include "projectui/StrandworkDoc.h"

#include <QCoreApplication>
#include <QString>

#include <vector>

namespace testsupport {

class StubProjectHost : public ProjectHost
{
public:
    StubProjectHost() { SetProjectHost(this); }
    ~StubProjectHost() override { SetProjectHost(nullptr); }

    CStrandworkDoc* GetProjectDoc() override { return open; }
    bool SetProjectDoc(CStrandworkDoc* doc) override
    {
        open = doc;
        return true;
    }
    bool ClearProjectDoc() override
    {
        open = nullptr;
        return true;
    }
    bool CloseProject(bool) override { return true; }
    bool OnFileSaveAll() override { return true; }
    void UpdatePlcViews(ui::View*, long hint, QObject*) override { hints.push_back(hint); }
    core::OutputSink* GetOutputCtrl() override { return output; }
    const core::AppSettings& GetAppSettings() override { return settings; }
    bool PumpMessages() override
    {
        QCoreApplication::processEvents();
        return true;
    }
    QString GetProgramFolder() override { return programFolder; }
    WorkspaceDocumentsPort* GetWorkspaceDocumentsPort() override { return port; }
    void ShowConnectionError(CStrandworkDoc* doc) override { connectionErrors.push_back(doc); }

    CStrandworkDoc* open = nullptr;
    core::AppSettings settings;
    QString programFolder;
    core::OutputSink* output = nullptr;
    WorkspaceDocumentsPort* port = nullptr;
    std::vector<long> hints;
    std::vector<CStrandworkDoc*> connectionErrors; // the documents of each ShowConnectionError
};

} // namespace testsupport
