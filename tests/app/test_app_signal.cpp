// The program itself, ended by SIGTERM or SIGINT while documents of every
// kind are modified, loose or in a project, with and without a message box
// open: it ends with status 0, asks nothing, saves no document, keeps what
// was typed in copies in its state folder (each named on standard error,
// the folder named once by the next start), and writes the settings and
// the open project's workspace file as a normal close does.  Whether the close finished before the signal's fallback depends on
// the machine's load: the test reads what was written, not the clock.  It
// runs under a virtual X server (Xvfb); the keys reach it as key events of
// that server (XSendEvent), which the program handles as typed ones.

#include "app/StrandworkApp.h"
#include "platform/sys/LastError.h"
#include "platform/sys/Registry.h"
#include "tests/support/platform/TempDir.h"
#include "tests/support/platform/Wait.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include <signal.h>
#include <sys/types.h>

// Last: it brings Xlib, whose macros (None, Status, Bool, ...) would clash
// with the names of the headers above.
#include "tests/app/ProgramUnderX.h"

namespace fs = std::filesystem;

namespace {

using namespace programx;

struct Ending
{
    int status = -1;
    qint64 ms = -1;
    QString err;
};

class SignalEnd : public ::testing::Test, protected ProgramSession
{
protected:
    // A copy of the fixture project in dir/Lis.
    std::string CopyProject()
    {
        const char* fixtures = std::getenv("SW_FIXTURES");
        EXPECT_NE(fixtures, nullptr);
        const std::string folder = dir / "Lis";
        fs::copy(std::string(fixtures ? fixtures : "") + "/app/workspace", folder, fs::copy_options::recursive);
        return folder;
    }
    // Starts the program on file with fresh settings.
    void Start(const std::string& file)
    {
        const QString error = ProgramSession::Start(file);
        ASSERT_TRUE(error.isEmpty()) << error.toStdString();
        // The frame's title names the document ("Strandwork - notes.txt"); the
        // windows that show for a moment while it is built have none.
        ASSERT_TRUE(testsupport::WaitUntil(
            [&] { return (frame = x.Shown(program.processId(), "Strandwork - ", false)) != 0; },
            60000))
            << "the main window did not show";
        // The box of F1 (no help file here) comes and goes once the
        // start-up's own work is done.
        ASSERT_NO_FATAL_FAILURE(ShowBox());
        ASSERT_NO_FATAL_FAILURE(CloseBox());
    }
    // F1 shows a message box: every key before it was handled then.
    void ShowBox()
    {
        x.Keys(frame, {"F1"});
        ASSERT_TRUE(testsupport::WaitUntil([&] { return Box() != 0; }, 20000)) << "no message box";
    }
    void CloseBox()
    {
        x.Keys(Box(), {"Escape"});
        ASSERT_TRUE(testsupport::WaitUntil([&] { return Box() == 0; }, 20000))
            << "the message box stays";
    }
    Ending Signal(int sig)
    {
        Ending end;
        QElapsedTimer t;
        t.start();
        ::kill(static_cast<pid_t>(program.processId()), sig);
        // The fallback ends it 5 s after the signal at the latest; the rest
        // is a starved machine's.
        if (!program.waitForFinished(60000))
            return end;
        end.ms = t.elapsed();
        end.status = program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1;
        end.err = QString::fromLocal8Bit(program.readAllStandardError());
        return end;
    }
    // Ended with status 0 and no message but the reports expected, which
    // standard error shows with the answer they got (nothing waits for one
    // after a signal).  On a busy machine the fallback may end a close
    // still under way ("still busy after the signal"): the settings and the
    // workspace file were written when the signal came, and whatever the
    // close did until then shows in the files and on standard error.
    static void ExpectNormalEnd(const Ending& end, const QStringList& reports = {})
    {
        EXPECT_EQ(end.status, 0) << end.err.toStdString();
        EXPECT_GE(end.ms, 0) << "still running 60 s after the signal";
        // (A message may have more lines: the file and the cause.)
        static const QRegularExpression message(QStringLiteral("^Strandwork: [^\\[]*\\[\\d+\\]$"),
                                                QRegularExpression::MultilineOption);
        QStringList shown;
        for (auto it = message.globalMatch(end.err); it.hasNext();)
            shown << it.next().captured(0);
        EXPECT_EQ(shown, reports) << end.err.toStdString();
    }
    // The one folder where the last ending kept the unsaved changes, with
    // its files (empty when there is none or more than one).
    std::map<std::string, std::string> Kept(std::string* where = nullptr) const
    {
        const std::string unsaved = state / "ORNA/Strandwork/unsaved";
        std::vector<std::string> folders;
        if (fs::is_directory(unsaved))
            for (const auto& e : fs::directory_iterator(unsaved))
                if (e.is_directory())
                    folders.push_back(e.path().string());
        if (folders.size() != 1)
            return {};
        if (where)
            *where = folders[0];
        return Snapshot(folders[0]);
    }
    // The copy of original in folder, named on standard error.
    static void ExpectKept(const Ending& end, const std::string& folder, const std::string& copy,
                           const std::string& original)
    {
        EXPECT_TRUE(end.err.contains(QStringLiteral("strandwork: the unsaved changes of %1 are kept in %2/%3\n")
                                         .arg(Q(original), Q(folder), Q(copy))))
            << end.err.toStdString();
    }
    // The settings of the program's normal close: the placement and the
    // recent list.
    static void ExpectSettingsWritten(const std::u16string& recentName,
                                      const std::string& recentPath)
    {
        sys::RegistryStore::Reset();
        EXPECT_GE(sys::Profile::GetInt(u"AppWindow", u"ShowCmd", -1), 1);
        EXPECT_EQ(sys::Profile::GetString(u"Recent File List", recentName),
                  Q(recentPath).toStdU16String());
        sys::RegistryStore::Reset();
    }
};

} // namespace

TEST_F(SignalEnd, AModifiedLooseTextEndsAtOnceAndStaysOnDisk)
{
    dir.Write("notes.txt", "hello\n");
    ASSERT_NO_FATAL_FAILURE(Start(dir / "notes.txt"));
    x.Keys(frame, {"a", "b", "c"});
    ASSERT_NO_FATAL_FAILURE(ShowBox());
    ASSERT_NO_FATAL_FAILURE(CloseBox());
    const Ending end = Signal(SIGTERM);
    ExpectNormalEnd(end);
    EXPECT_EQ(dir.Read("notes.txt"), "hello\n");
    ExpectSettingsWritten(u"File1", dir / "notes.txt");
    // What was typed is kept in a copy, named on standard error.
    std::string folder;
    auto kept = Kept(&folder);
    EXPECT_EQ(kept["notes.txt"], "abchello\n");
    ExpectKept(end, folder, "notes.txt", dir / "notes.txt");
}

TEST_F(SignalEnd, ATextWithALongNameIsKeptUnderAShorterName)
{
    // 200 characters: with the state folder's path the copy's path would be
    // longer than the program's path limit.
    const std::string name = std::string(196, 'd') + ".txt";
    dir.Write(name, "hello\n");
    ASSERT_NO_FATAL_FAILURE(Start(dir / name));
    x.Keys(frame, {"a", "b", "c"});
    ASSERT_NO_FATAL_FAILURE(ShowBox());
    ASSERT_NO_FATAL_FAILURE(CloseBox());
    const Ending end = Signal(SIGTERM);
    ExpectNormalEnd(end);
    EXPECT_EQ(dir.Read(name), "hello\n");
    // The copy, named on standard error, holds the typed line; the list of
    // originals names the original.
    static const QRegularExpression line(QStringLiteral("^strandwork: the unsaved changes of (.*) are kept in (.*)$"),
                                         QRegularExpression::MultilineOption);
    const QRegularExpressionMatch m = line.match(end.err);
    ASSERT_TRUE(m.hasMatch()) << end.err.toStdString();
    EXPECT_EQ(m.captured(1), Q(dir / name));
    std::string folder;
    auto kept = Kept(&folder);
    const std::string copy = m.captured(2).toStdString();
    ASSERT_EQ(copy.rfind(folder + "/", 0), 0u) << copy;
    const std::string copyName = copy.substr(folder.size() + 1);
    EXPECT_EQ(kept[copyName], "abchello\n");
    EXPECT_EQ(kept["originals.txt"], copyName + "\t" + (dir / name) + "\n");
}

TEST_F(SignalEnd, AThousandFoldersToTellAboutGiveAMessageThatFits)
{
    // The folders of 1,000 endings nobody was told about.
    const std::string unsaved = state / "ORNA/Strandwork/unsaved";
    std::string list;
    for (int i = 0; i < 1000; ++i) {
        const std::string folder = unsaved + "/2026-12-08_10-00-00-" + std::to_string(i + 2);
        fs::create_directories(folder);
        list += folder + "\n";
    }
    dir.Write("untold", list);
    fs::copy_file(dir / "untold", unsaved + "/untold");
    dir.Write("notes.txt", "hello\n");
    const QString error = ProgramSession::Start(dir / "notes.txt");
    ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    Window box = 0;
    ASSERT_TRUE(testsupport::WaitUntil([&] { return (box = Box()) != 0; }, 60000)) << "the start said nothing";
    // The box and its button fit on the screen (800 pixels).
    const int height = x.Height(box);
    EXPECT_GT(height, 0);
    EXPECT_LT(height, 700);
    EXPECT_FALSE(fs::exists(unsaved + "/untold")) << "told once";
    x.Keys(box, {"Return"});
    ASSERT_TRUE(testsupport::WaitUntil([&] { return Box() == 0; }, 20000)) << "the message box stays";
    ExpectNormalEnd(Signal(SIGTERM));
}

TEST_F(SignalEnd, ALooseBinaryOrPlcSourceWithAMessageBoxOpen)
{
    // The box of F1, or the question Ctrl+F4 asks before it closes the
    // modified document's window: neither answers for the signal.
    const std::string bytes("\x01\x02\x03\x04\xfe\xff\x00\x10", 8);
    for (const auto& [name, content, box, sig] :
         {std::tuple{"data.bin", bytes, "F1", SIGTERM},
          std::tuple{"Main.plc", std::string("PROGRAM\r\n"), "ctrl+F4", SIGINT}}) {
        SCOPED_TRACE(name);
        dir.Write(name, content);
        ASSERT_NO_FATAL_FAILURE(Start(dir / name));
        x.Keys(frame, {"1", "2", "a", box});
        ASSERT_TRUE(testsupport::WaitUntil([&] { return Box() != 0; }, 20000)) << "no message box";
        const Ending end = Signal(sig);
        ExpectNormalEnd(end);
        EXPECT_EQ(dir.Read(name), content);
        ExpectSettingsWritten(u"File1", dir / name);
        std::string folder;
        auto kept = Kept(&folder);
        EXPECT_NE(kept[name], content) << "the change was not kept";
        ExpectKept(end, folder, name, dir / name);
        fs::remove_all(config.Path() + "/ORNA");
        fs::remove_all(state / "ORNA");
    }
}

TEST_F(SignalEnd, AProjectKeepsEveryFileAndWritesItsWorkspace)
{
    const std::string folder = CopyProject();
    const auto before = Snapshot(folder);
    // The workspace opens two text files (one in two windows), a PLC source
    // and a binary file: a digit goes into each window in turn.
    ASSERT_NO_FATAL_FAILURE(Start(folder + "/Lis.kxp"));
    for (int i = 0; i < 5; ++i)
        x.Keys(frame, {"1", "ctrl+Tab"});
    ASSERT_NO_FATAL_FAILURE(ShowBox());
    ASSERT_NO_FATAL_FAILURE(CloseBox());
    const Ending end = Signal(SIGINT);
    ExpectNormalEnd(end);
    auto after = Snapshot(folder);
    // The workspace file holds what is open now: the missing file that the
    // stored one named is gone, the PLC source is there.
    const std::string workspace = after["Lis.kxw"];
    EXPECT_TRUE(workspace != before.at("Lis.kxw")) << "the workspace file was not written";
    EXPECT_EQ(workspace.find("chybi.txt"), std::string::npos) << workspace;
    EXPECT_NE(workspace.find("Osy.plc"), std::string::npos) << workspace;
    EXPECT_NE(workspace.find("obraz.bin"), std::string::npos) << workspace;
    after["Lis.kxw"] = before.at("Lis.kxw");
    EXPECT_EQ(after, before); // every other file as it was, the project file too
    ExpectSettingsWritten(u"Project1", folder + "/Lis.kxp");
    // Each modified document is kept in a copy (the project is unchanged).
    std::string keptIn;
    auto kept = Kept(&keptIn);
    for (const auto& [copy, original] : {std::pair{"poznamky.txt", "poznamky.txt"}, std::pair{"texty.txt", "texty.txt"},
                                         std::pair{"Osy.plc", "src/Osy.plc"}, std::pair{"obraz.bin", "data/obraz.bin"}}) {
        SCOPED_TRACE(copy);
        ASSERT_TRUE(kept.count(copy));
        EXPECT_NE(kept[copy], before.at(original)) << "the change was not kept";
        ExpectKept(end, keptIn, copy, folder + "/" + original);
    }
    EXPECT_EQ(kept.count("Lis.kxp"), 0u);
}

TEST_F(SignalEnd, WhileTheCloseAsksAboutAChangeItIsKeptAndTheNextStartSaysWhereOnce)
{
    const std::string folder = CopyProject();
    const auto before = Snapshot(folder);
    ASSERT_NO_FATAL_FAILURE(Start(folder + "/Lis.kxp"));
    x.Keys(frame, {"1"});
    ASSERT_NO_FATAL_FAILURE(ShowBox());
    ASSERT_NO_FATAL_FAILURE(CloseBox());
    // The close asks whether to save the change; the signal comes then.
    x.Close(frame);
    ASSERT_TRUE(testsupport::WaitUntil([&] { return Box() != 0; }, 20000)) << "no question";
    const Ending end = Signal(SIGTERM);
    ExpectNormalEnd(end);
    auto after = Snapshot(folder);
    after["Lis.kxw"] = before.at("Lis.kxw");
    EXPECT_EQ(after, before);
    // One document got the key: its copy, and the list that names its
    // original.
    std::string keptIn;
    auto kept = Kept(&keptIn);
    ASSERT_EQ(kept.size(), 2u) << "the copy and the list of originals";
    const std::string list = kept["originals.txt"];
    const size_t tab = list.find('\t');
    ASSERT_NE(tab, std::string::npos) << list;
    const std::string copy = list.substr(0, tab), original = list.substr(tab + 1, list.size() - tab - 2);
    ASSERT_TRUE(kept.count(copy)) << list;
    EXPECT_NE(kept[copy], before.at(fs::relative(original, folder).string())) << "the change was not kept";
    ExpectKept(end, keptIn, copy, original);

    // The next start says where, before anything is typed; once.
    const QString error = ProgramSession::Start(folder + "/Lis.kxp");
    ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    ASSERT_TRUE(testsupport::WaitUntil([&] { return Box() != 0; }, 60000)) << "the start said nothing";
    EXPECT_FALSE(fs::exists(state / "ORNA/Strandwork/unsaved/untold"));
    EXPECT_EQ(Kept().size(), 2u); // the copies stay
    ExpectNormalEnd(Signal(SIGTERM));
    EXPECT_EQ(Kept().size(), 2u) << "nothing modified: no new folder";
}

TEST_F(SignalEnd, AWorkspaceFileThatCannotBeWrittenIsReportedAndTheEndGoesOn)
{
    const std::string folder = CopyProject();
    ASSERT_NO_FATAL_FAILURE(Start(folder + "/Lis.kxp"));
    // A folder now stands where the workspace file is written.
    fs::remove(folder + "/Lis.kxw");
    fs::create_directory(folder + "/Lis.kxw");
    const auto before = Snapshot(folder);
    x.Keys(frame, {"1"});
    ASSERT_NO_FATAL_FAILURE(ShowBox());
    // The report names the file and the cause.
    ExpectNormalEnd(Signal(SIGTERM),
                    {QStringLiteral("Strandwork: Chyba při ukládání pracovního prostoru projektu.\n%1/Lis.kxw: %2 [1]")
                         .arg(Q(folder), QString::fromLocal8Bit(sys::ErrorText(EISDIR)))});
    EXPECT_EQ(Snapshot(folder), before);
}
