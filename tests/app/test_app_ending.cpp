// The program itself, ended in the ways a user ends it and with files it
// cannot read or folders it cannot write: a signal while the error of a
// project that could not be read is shown writes no workspace file, a
// hang-up ends as a terminate does (unless the program was started with
// it ignored), and an unmodified project on a
// read-only folder closes without asking for another name.  It runs under
// a virtual X server (tests/app/ProgramUnderX.h).

#include "app/StrandworkApp.h"
#include "platform/sys/LastError.h"
#include "platform/sys/Registry.h"
#include "tests/support/platform/Mounts.h"
#include "tests/support/platform/TempDir.h"
#include "tests/support/platform/Wait.h"

#include <QElapsedTimer>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "tests/app/ProgramUnderX.h"

namespace fs = std::filesystem;
using namespace programx;

namespace {

struct Ending
{
    int status = -1; // -1: ended by a signal, or still running
    QString err;
};

class ProgramEnding : public ::testing::Test, protected ProgramSession
{
protected:
    // A copy of the fixture project in dir/Lis.
    std::string CopyProject()
    {
        const char* fixtures = std::getenv("SW_FIXTURES");
        EXPECT_NE(fixtures, nullptr);
        const std::string folder = dir / "Lis";
        fs::remove_all(folder);
        fs::copy(std::string(fixtures ? fixtures : "") + "/app/workspace", folder, fs::copy_options::recursive);
        return folder;
    }
    // Starts the program on file with fresh settings.
    void Start(const std::string& file)
    {
        fs::remove_all(config.Path() + "/ORNA");
        const QString error = ProgramSession::Start(file);
        ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    }
    // Starts the program and waits until its main window shows and the
    // start-up's own work is done.
    void StartShown(const std::string& file)
    {
        ASSERT_NO_FATAL_FAILURE(Start(file));
        ASSERT_TRUE(testsupport::WaitUntil(
            [&] { return (frame = x.Shown(program.processId(), "Strandwork - ", false)) != 0; }, 60000))
            << "the main window did not show";
        ASSERT_NO_FATAL_FAILURE(Handled());
    }
    // Every key sent before was handled: the box of F1 came and went.
    void Handled()
    {
        x.Keys(frame, {"F1"});
        Window box = 0;
        ASSERT_TRUE(testsupport::WaitUntil([&] { return (box = Box()) != 0; }, 20000)) << "no message box";
        x.Keys(box, {"Escape"});
        ASSERT_TRUE(testsupport::WaitUntil([&] { return Box() == 0; }, 20000)) << "the message box stays";
    }
    Ending Finish(int ms = 20000)
    {
        Ending end;
        if (program.state() != QProcess::NotRunning && !program.waitForFinished(ms))
            return end;
        end.status = program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1;
        end.err = QString::fromLocal8Bit(program.readAllStandardError());
        return end;
    }
    Ending Signal(int sig)
    {
        ::kill(static_cast<pid_t>(program.processId()), sig);
        return Finish();
    }
    void Stop()
    {
        if (program.state() != QProcess::NotRunning) {
            program.kill();
            program.waitForFinished(10000);
        }
    }
};

} // namespace

TEST_F(ProgramEnding, ASignalWhileAProjectCouldNotBeReadWritesNoWorkspaceFile)
{
    // A project file cut in half with its workspace file, and without one;
    // a whole project file whose workspace file is cut short.  Each error
    // shows in a box; the signal comes while it is shown.
    struct Case
    {
        const char* name;
        bool cutProject, keepWorkspace, cutWorkspace;
    };
    for (const Case c : {Case{"project cut, workspace kept", true, true, false},
                         Case{"project cut, no workspace", true, false, false},
                         Case{"workspace cut", false, true, true}}) {
        SCOPED_TRACE(c.name);
        const std::string folder = CopyProject();
        const auto cut = [&](const std::string& name) {
            const std::string bytes = dir.Read("Lis/" + name);
            dir.Write("Lis/" + name, bytes.substr(0, bytes.size() / 2));
        };
        if (c.cutProject)
            cut("Lis.kxp");
        if (c.cutWorkspace)
            cut("Lis.kxw");
        if (!c.keepWorkspace)
            fs::remove(folder + "/Lis.kxw");
        const auto before = Snapshot(folder);
        ASSERT_NO_FATAL_FAILURE(Start(folder + "/Lis.kxp"));
        ASSERT_TRUE(testsupport::WaitUntil([&] { return Box() != 0; }, 60000)) << "the error did not show";
        const Ending end = Signal(SIGTERM);
        if (c.cutProject)
            EXPECT_EQ(end.status, kExitInitFailed) << end.err.toStdString();
        else
            EXPECT_GE(end.status, 0) << end.err.toStdString();
        EXPECT_FALSE(end.err.contains(QStringLiteral("still busy after the signal"))) << end.err.toStdString();
        // Every file of the folder byte for byte, and no new one.
        EXPECT_EQ(Snapshot(folder), before);
        Stop();
    }
}

TEST_F(ProgramEnding, AHangUpEndsLikeATerminate)
{
    const std::string folder = CopyProject();
    const auto before = Snapshot(folder);
    ASSERT_NO_FATAL_FAILURE(StartShown(folder + "/Lis.kxp"));
    // A modified document stays as it is on disk: the key is handled before
    // the signal comes, and its copy below shows that it was modified.
    x.Keys(frame, {"1"});
    ASSERT_NO_FATAL_FAILURE(Handled());
    const Ending end = Signal(SIGHUP);
    EXPECT_EQ(end.status, 0) << end.err.toStdString();
    EXPECT_FALSE(end.err.contains(QStringLiteral("still busy after the signal"))) << end.err.toStdString();
    auto after = Snapshot(folder);
    // The workspace file is written (the missing file it named is gone from
    // it), every other file is as it was.
    EXPECT_NE(after["Lis.kxw"], before.at("Lis.kxw")) << "the workspace file was not written";
    EXPECT_EQ(after["Lis.kxw"].find("chybi.txt"), std::string::npos);
    after["Lis.kxw"] = before.at("Lis.kxw");
    EXPECT_EQ(after, before);
    EXPECT_TRUE(end.err.contains(QStringLiteral("strandwork: the unsaved changes of ")))
        << "no document was modified when the signal came\n"
        << end.err.toStdString();
    // The settings of the session: the placement and the recent list.
    sys::RegistryStore::Reset();
    EXPECT_GE(sys::Profile::GetInt(u"AppWindow", u"ShowCmd", -1), 1);
    EXPECT_EQ(sys::Profile::GetString(u"Recent File List", u"Project1"), Q(folder + "/Lis.kxp").toStdU16String());
    sys::RegistryStore::Reset();
}

TEST_F(ProgramEnding, AHangUpInheritedAsIgnoredStaysIgnored)
{
    // As `nohup strandwork Lis.kxp &` starts it.
    const std::string folder = CopyProject();
    hangUpIgnored = true;
    ASSERT_NO_FATAL_FAILURE(StartShown(folder + "/Lis.kxp"));
    ::kill(static_cast<pid_t>(program.processId()), SIGHUP);
    // The program goes on: a message box after the hang-up shows and waits
    // for its answer; a terminate still ends it.
    ASSERT_NO_FATAL_FAILURE(Handled());
    EXPECT_EQ(program.state(), QProcess::Running);
    const Ending end = Signal(SIGTERM);
    EXPECT_EQ(end.status, 0) << end.err.toStdString();
}

TEST_F(ProgramEnding, AnUnmodifiedProjectOnAReadOnlyFolderClosesWithoutAQuestion)
{
    const std::string folder = CopyProject();
    const auto before = Snapshot(folder);
    const testsupport::TestMount readOnly = testsupport::TestMount::ReadOnly(folder);
    if (!readOnly.Up())
        GTEST_SKIP() << readOnly.Why();
    ASSERT_NO_FATAL_FAILURE(StartShown(folder + "/Lis.kxp"));
    x.Close(frame);
    // The workspace file that cannot be written is reported once, in a
    // message box (no "save as"), and the close goes on.
    int boxes = 0;
    QElapsedTimer t;
    t.start();
    while (program.state() != QProcess::NotRunning && t.elapsed() < 30000) {
        if (const Window box = Box()) {
            ++boxes;
            x.Keys(box, {"Return"});
            testsupport::WaitUntil([&] { return Box() != box || program.state() == QProcess::NotRunning; },
                                   20000);
        }
        program.waitForFinished(50);
    }
    const Ending end = Finish(1000);
    EXPECT_EQ(end.status, 0) << "the program did not end: another window (save as) holds the close\n"
                             << end.err.toStdString();
    EXPECT_EQ(boxes, 1);
    EXPECT_EQ(Snapshot(folder), before);
    Stop();
}

TEST_F(ProgramEnding, AModifiedDocumentIsAskedAboutAndNoClosesWithoutSaving)
{
    // The project on a read-only folder opens its documents read-only; its
    // workspace also names a text file elsewhere, which is changed.
    const std::string folder = CopyProject();
    dir.Write("notes.txt", "hello\r\n");
    std::string workspace = dir.Read("Lis/Lis.kxw");
    const std::string entry = "DocumentPath = texty.txt\r\n";
    ASSERT_NE(workspace.find(entry), std::string::npos);
    workspace.replace(workspace.find(entry), entry.size(), "DocumentPath = " + (dir / "notes.txt") + "\r\n");
    dir.Write("Lis/Lis.kxw", workspace);
    const auto before = Snapshot(dir.Path());
    const testsupport::TestMount readOnly = testsupport::TestMount::ReadOnly(folder);
    if (!readOnly.Up())
        GTEST_SKIP() << readOnly.Why();
    ASSERT_NO_FATAL_FAILURE(StartShown(folder + "/Lis.kxp"));
    for (int i = 0; i < 5; ++i)
        x.Keys(frame, {"1", "ctrl+Tab"});
    x.Close(frame);
    // The workspace file's report, then the question about the text file:
    // its No closes the program without saving.
    // Each condition looks the box up once: the report may close between
    // two lookups.
    const auto ended = [&] { return program.state() == QProcess::NotRunning || program.waitForFinished(1); };
    Window report = 0;
    ASSERT_TRUE(testsupport::WaitUntil([&] { return (report = Box()) != 0 || ended(); }, 20000)) << "no report";
    ASSERT_NE(report, 0u) << "the program ended without the report";
    x.Keys(report, {"Return"});
    Window question = 0;
    ASSERT_TRUE(testsupport::WaitUntil(
        [&] {
            const Window box = Box();
            if (box != 0 && box != report)
                question = box;
            return question != 0 || ended();
        },
        20000));
    ASSERT_NE(question, 0u) << "the program ended without the question";
    x.Keys(question, {"alt+n"});
    const Ending end = Finish();
    EXPECT_EQ(end.status, 0) << "the program did not end\n" << end.err.toStdString();
    EXPECT_EQ(Snapshot(dir.Path()), before);
    Stop();
}

namespace {
// The workspace file of the fixture with line 4 ("WatchCount = 1") made bad.
std::string WithBadLine4(const std::string& workspace)
{
    const std::string good = "\r\nWatchCount = 1\r\n";
    const size_t at = workspace.find(good);
    if (at == std::string::npos)
        return workspace;
    std::string bad = workspace;
    bad.replace(at, good.size(), "\r\nWatchCount = x\r\n");
    return bad;
}
} // namespace

TEST_F(ProgramEnding, AWorkspaceFileWithABadLineIsKeptBesideItBeforeASignalWritesItOver)
{
    const std::string folder = CopyProject();
    const std::string good = dir.Read("Lis/Lis.kxw");
    const std::string bad = WithBadLine4(good);
    ASSERT_NE(bad, good);
    dir.Write("Lis/Lis.kxw", bad);
    // An earlier kept copy is never written over.
    dir.Write("Lis/Lis.kxw.unreadable", "kept by an earlier session");
    const auto before = Snapshot(folder);
    ASSERT_NO_FATAL_FAILURE(Start(folder + "/Lis.kxp"));
    Window box = 0;
    ASSERT_TRUE(testsupport::WaitUntil([&] { return (box = Box()) != 0; }, 60000)) << "the error did not show";
    // OK (sent again until the box takes it: it may not have the focus yet).
    QElapsedTimer sent;
    ASSERT_TRUE(testsupport::WaitUntil(
        [&] {
            const Window shown = Box();
            if (shown == box && (!sent.isValid() || sent.elapsed() > 500)) {
                x.Keys(box, {"Return"});
                sent.start();
            }
            return shown != box;
        },
        60000))
        << "the error stays";
    // The main window, without a document its title is the program's name.
    ASSERT_TRUE(testsupport::WaitUntil([&] { return (frame = Box()) != 0 && frame != box; }, 60000))
        << "the main window did not show";
    // Told so, the user repairs the file on disk before the end.
    const std::string repaired = good + "\r\n";
    dir.Write("Lis/Lis.kxw", repaired);
    const Ending end = Signal(SIGTERM);
    EXPECT_EQ(end.status, 0) << end.err.toStdString();
    auto after = Snapshot(folder);
    // The session went on with what was read and wrote its workspace file;
    // the bytes it read and the repair are beside it.
    EXPECT_NE(after["Lis.kxw"], repaired) << "the workspace file was not written";
    EXPECT_EQ(after["Lis.kxw.unreadable-2"], bad);
    EXPECT_EQ(after["Lis.kxw.changed"], repaired);
    EXPECT_TRUE(end.err.contains(QStringLiteral("Lis.kxw.changed"))) << end.err.toStdString();
    after.erase("Lis.kxw.unreadable-2");
    after.erase("Lis.kxw.changed");
    after["Lis.kxw"] = before.at("Lis.kxw");
    EXPECT_EQ(after, before); // the earlier copy and every other file as they were
    Stop();
}

// Unattended, the error goes to standard error: it names the file, the line
// and where the file will be kept; the end keeps it there.
TEST_F(ProgramEnding, TheErrorOfAWorkspaceFileNotReadWholeSaysWhereItWillBeKept)
{
    const char* binDir = std::getenv("SW_BIN_DIR");
    ASSERT_NE(binDir, nullptr);
    const std::string folder = CopyProject();
    const std::string bad = WithBadLine4(dir.Read("Lis/Lis.kxw"));
    dir.Write("Lis/Lis.kxw", bad);
    QProcess run;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_STATE_HOME"), Q(state.Path()));
    run.setProcessEnvironment(env);
    EndsWithTheTest(run);
    run.start(QString::fromLocal8Bit(binDir) + QStringLiteral("/strandwork"),
              {QStringLiteral("-Build"), Q(folder + "/Lis.kxp")});
    ASSERT_TRUE(run.waitForFinished(120000));
    const QString err = QString::fromLocal8Bit(run.readAllStandardError());
    EXPECT_TRUE(err.contains(Q(folder + "/Lis.kxw: řádek 4 nemá očekávaný tvar"))) << err.toStdString();
    EXPECT_TRUE(err.contains(QStringLiteral("Než bude soubor přepsán, jeho dosavadní obsah se uchová v souboru %1.")
                                 .arg(Q(folder + "/Lis.kxw.unreadable"))))
        << err.toStdString();
    EXPECT_EQ(dir.Read("Lis/Lis.kxw.unreadable"), bad);
}
