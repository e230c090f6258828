#pragma once
// The program's windows as the window tests meet them: the application
// object started on a PLC source, which opens the main frame stand-in with
// the source in a document window.

#include "core/app/StrandworkApp.h"
#include "mainwnd/MainFrame.h"
#include "mainwnd/OutputCtrl.h"
#include "plcviews/PLCDoc.h"
#include "tests/support/platform/TempDir.h"

#include <gtest/gtest.h>

#include <memory>

struct StandInApp
{
    testsupport::TempDir dir;
    std::unique_ptr<CStrandworkApp> app;
    CPLCDoc* doc = nullptr;

    // Starts the application on Main.plc with text; false when it did not.
    bool Start(const std::string& text = "PROGRAM\r\n  LD I0.0\r\n  ST Q0.0\r\nEND_PROGRAM\r\n")
    {
        dir.Write("Main.plc", text);
        app = std::make_unique<CStrandworkApp>();
        app->SetArguments({QString::fromStdString(dir / "Main.plc")});
        if (!app->InitInstance())
            return false;
        const auto& docs = app->Template(3)->Documents();
        doc = docs.size() == 1 ? qobject_cast<CPLCDoc*>(docs.front()) : nullptr;
        return doc != nullptr;
    }
    CMainFrame* Frame() const { return app->MainFrame(); }
    CPLCView* View() const { return qobject_cast<CPLCView*>(doc->FirstView()); }
};
