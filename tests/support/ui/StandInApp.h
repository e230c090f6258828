#pragma once
// The program's windows as the window tests meet them: the application
// object started on a PLC source, which opens the main frame stand-in with
// the source in a document window; and the program with a project open.

#include "app/StrandworkApp.h"
#include "projectui/StrandworkDoc.h"
#include "mainwnd/MainFrame.h"
#include "mainwnd/OutputCtrl.h"
#include "plcviews/PLCDoc.h"
#include "tests/support/platform/TempDir.h"

#include <QString>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
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

// The program's main frame with a copy of the build fixture's project "ok"
// open, the header Defs.inc and the support files texty.txt and
// poznamky.txt added, and the project marked unmodified.  A fixture
// derived from it calls OpenProject in its SetUp and closes the project in
// its TearDown.
class ProjectAppTest : public ::testing::Test
{
protected:
    testsupport::TempDir dir;
    std::unique_ptr<CStrandworkApp> app;
    CMainFrame* frame = nullptr;
    CProjectExplorerBar* bar = nullptr;
    CStrandworkDoc* doc = nullptr;

    QString Path(const char* name) const { return QString::fromStdString(dir / name); }

    void OpenProject()
    {
        namespace fs = std::filesystem;
        fs::copy(fs::path(std::getenv("SW_FIXTURES")) / "build" / "ok", dir.Path(), fs::copy_options::recursive);
        dir.Write("Defs.inc", "#define A 1\r\n");
        dir.Write("texty.txt", "texty\r\n");
        dir.Write("poznamky.txt", "poznamky\r\n");
        app = std::make_unique<CStrandworkApp>();
        app->SetArguments({});
        ASSERT_TRUE(app->InitInstance());
        // The main frame's explorer bar takes the project when it opens.
        frame = app->MainFrame();
        ASSERT_NE(frame, nullptr);
        bar = frame->ExplorerBar();
        ASSERT_NE(bar, nullptr);
        ASSERT_NE(app->OpenDocumentFile(Path("Lis.kxp")), nullptr);
        doc = app->GetProjectDoc();
        ASSERT_NE(doc, nullptr);
        ASSERT_TRUE(doc->AddExistingHeaderFile(Path("Defs.inc")));
        ASSERT_TRUE(doc->AddExistingSupportFile(Path("texty.txt")));
        ASSERT_TRUE(doc->AddExistingSupportFile(Path("poznamky.txt")));
        doc->SetModifiedFlag(false);
    }
};
