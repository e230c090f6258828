#pragma once
// Helpers of the project document tests: a host that records calls, a
// workspace port that records what it is given, and the test fixture with
// a temporary folder.

#include "projectui/StrandworkDoc.h"
#include "platform/sys/FileIO.h"
#include "platform/ui/Prompt.h"
#include "tests/support/build/StubProjectHost.h"
#include "tests/support/platform/TempDir.h"

#include <QCoreApplication>
#include <QDir>

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

namespace doctest {

using namespace core;

class TestHost : public testsupport::StubProjectHost
{
public:
    TestHost() { programFolder = QStringLiteral("/usr/bin/"); }

    // Refuses a second project as the application does.
    bool SetProjectDoc(CStrandworkDoc* doc) override
    {
        if (open || !doc)
            return false;
        return StubProjectHost::SetProjectDoc(doc);
    }
    bool ClearProjectDoc() override
    {
        ++clears;
        return StubProjectHost::ClearProjectDoc();
    }
    bool CloseProject(bool) override
    {
        ++closeCalls;
        if (!allowClose)
            return false;
        if (open)
            open->OnCloseDocument();
        return true;
    }
    bool PumpMessages() override { return true; }
    bool ShowPlcSourceLine(const QString& path, int line) override
    {
        shown.emplace_back(path, line);
        return true;
    }

    std::vector<std::pair<QString, int>> shown;
    int clears = 0;
    int closeCalls = 0;
    bool allowClose = true;
};

class RecordingPort : public WorkspaceDocumentsPort
{
public:
    WorkspaceDocuments Collect(const QString&) override { return collected; }
    void Apply(const WorkspaceDocuments& docs) override
    {
        applied.push_back(docs);
        cwdAtApply = QDir::currentPath();
    }
    WorkspaceDocuments collected;
    std::vector<WorkspaceDocuments> applied;
    QString cwdAtApply;
};

inline QString Q(const std::string& s)
{
    return QString::fromStdString(s);
}

// The message of a project or workspace file that cannot be read: the
// framework's text, then the file and the line that is not what the reader
// expects (0: the file ends too early).
inline QString BadFormat(const std::string& path, int line)
{
    return QStringLiteral("Neočekávaný formát souboru.\n") + QString::fromStdString(path) + QStringLiteral(": ") +
           (line > 0 ? QStringLiteral("řádek %1 nemá očekávaný tvar").arg(line)
                     : QStringLiteral("soubor končí dříve, než má"));
}

// The same of a workspace file, which also says where it will be kept
// before it is written over.
inline QString BadWorkspace(const std::string& path, int line)
{
    return BadFormat(path, line) +
           QStringLiteral("\nNež bude soubor přepsán, jeho dosavadní obsah se uchová v souboru %1.unreadable.")
               .arg(QString::fromStdString(path));
}

inline std::vector<QString> Texts(const ui::ScriptedPrompts& p)
{
    std::vector<QString> t;
    for (const auto& q : p.Asked())
        t.push_back(q.text);
    return t;
}

// The hand-written fixtures of the project files.
inline std::string FixtureDir(const std::string& sub)
{
    const char* root = std::getenv("SW_FIXTURES");
    return std::string(root ? root : "tests/fixtures") + "/project/" + sub;
}
inline std::string ReadFixture(const std::string& sub, const std::string& name)
{
    return sys::ReadWholeFile(FixtureDir(sub) + "/" + name).value_or(std::string());
}
// Copies Lis.kxp and Lis.kxw of a fixture folder into dir.
inline void CopyFixture(const testsupport::TempDir& dir, const std::string& sub)
{
    dir.Write("Lis.kxp", ReadFixture(sub, "Lis.kxp"));
    dir.Write("Lis.kxw", ReadFixture(sub, "Lis.kxw"));
}

struct DocTest : ::testing::Test
{
    testsupport::TempDir dir;
    TestHost host;
    QString savedCwd = QDir::currentPath();
    DocTest()
    {
        // The fixtures' times are local times of this zone.
        ::setenv("TZ", "Europe/Prague", 1);
        ::tzset();
    }
    ~DocTest() override { QDir::setCurrent(savedCwd); }

    std::unique_ptr<CStrandworkDoc> NewDoc()
    {
        auto doc = std::make_unique<CStrandworkDoc>();
        doc->SetAutoDelete(false);
        return doc;
    }
};

} // namespace doctest
