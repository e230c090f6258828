#pragma once
// A test with its own registry file, state folder and temporary folder, and
// helpers to start the application object as main() does.

#include "app/StrandworkApp.h"
#include "core/common/StartupTrace.h"
#include "core/projfile/LineEngine.h"
#include "core/projfile/ProjectFormat.h"
#include "platform/sys/Registry.h"
#include "platform/ui/Prompt.h"
#include "res/Resources.h"
#include "tests/support/platform/TempDir.h"

#include <QString>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

inline QString Q(const std::string& s) { return QString::fromStdString(s); }

class AppTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ::setenv("XDG_STATE_HOME", (dir / "state").c_str(), 1);
        core::ClearStartupTrace();
        res::UnloadLanguage();
    }
    void TearDown() override
    {
        app.reset();
        ui::SetUnattended(false);
        res::UnloadLanguage();
        sys::RegistryStore::Reset();
        ::unsetenv("XDG_STATE_HOME");
    }

    // Creates the application object and runs its start-up with params.
    bool Start(const QStringList& params)
    {
        app = std::make_unique<CStrandworkApp>();
        app->SetArguments(params);
        return app->InitInstance();
    }

    // A format 6 project with one PLC source.
    std::string WriteProject(const std::string& name = "Lis")
    {
        core::ProjectData d;
        core::SetProjectDefaults(d, 1'100'000'000);
        d.SourceFiles = {{u"Main.plc", u"Main.plc"}};
        core::KxpArchive ar(true, u"");
        core::WriteProjectHeader(ar, 6);
        core::WriteProjectBodyV6(ar, d);
        dir.Write(name + ".kxp", ar.Bytes());
        dir.Write("Main.plc", "PROGRAM\r\n");
        return dir / (name + ".kxp");
    }

    testsupport::ScopedConfigHome config;
    testsupport::ScopedDataHome data;
    testsupport::TempDir dir;
    std::unique_ptr<CStrandworkApp> app;
};
