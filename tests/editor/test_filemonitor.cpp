// The file-change monitor with real files, a real worker thread and the Qt
// event loop that delivers its notifications.

#include "editor/FileChangeMonitor.h"

#include "platform/sys/FileWatch.h"
#include "tests/support/platform/TempDir.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QString>
#include <QThread>
#include <gtest/gtest.h>

#include <sys/inotify.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>

namespace fs = std::filesystem;

namespace {

std::u16string U16(const std::string& s)
{
    return QString::fromStdString(s).toStdU16String();
}

// Runs the event loop until cond holds or ms have passed.
bool WaitFor(const std::function<bool()>& cond, int ms)
{
    QElapsedTimer t;
    t.start();
    while (!cond()) {
        if (t.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return true;
}

void Pump(int ms)
{
    WaitFor([] { return false; }, ms);
}

void WriteSlowly(const std::string& path, int parts)
{
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    for (int i = 0; i < parts; ++i) {
        f << "more text " << i << "\n";
        f.flush();
        QThread::msleep(30);
    }
}

struct Call
{
    uint32_t flags;
    std::u16string path;
    bool onUiThread;
};

class TestMonitor : public CFileChangeMonitor
{
public:
    ~TestMonitor() override { Stop(); }
    std::vector<Call> calls;
    std::function<void(uint32_t, const std::u16string&)> during;
    int depth = 0;
    int maxDepth = 0;

protected:
    void OnFileChanged(uint32_t flags, const std::u16string& path) override
    {
        calls.push_back({flags, path, QThread::currentThread() == qApp->thread()});
        ++depth;
        maxDepth = std::max(maxDepth, depth);
        if (during)
            during(flags, path);
        --depth;
    }
};

class FileChangeMonitorTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        static int argc = 1;
        static char arg0[] = "test";
        static char* argv[] = {arg0, nullptr};
        if (!QCoreApplication::instance())
            new QCoreApplication(argc, argv);
    }
    testsupport::TempDir dir;
};

} // namespace

TEST(FileWatch, MasksAndStopSignal)
{
    using sys::FileWatch;
    EXPECT_EQ(FileWatch::MaskForFilter(0), uint32_t(IN_DELETE_SELF | IN_MOVE_SELF));
    uint32_t m = FileWatch::MaskForFilter(0x19);
    EXPECT_TRUE(m & IN_CREATE && m & IN_MOVED_TO && m & IN_MODIFY && m & IN_CLOSE_WRITE);
    EXPECT_FALSE(m & IN_ACCESS);
    EXPECT_TRUE(FileWatch::MaskForFilter(0x20) & IN_ACCESS);

    FileWatch w;
    ASSERT_TRUE(w.IsOpen());
    testsupport::TempDir d;
    int id = w.Add(d.Path(), m);
    ASSERT_GE(id, 0);
    EXPECT_EQ(w.Add(d / "missing", m), -1);
    std::vector<int> fired;
    EXPECT_EQ(w.Wait(0, fired), FileWatch::Result::Timeout);
    d.Write("x", "1");
    EXPECT_EQ(w.Wait(1000, fired), FileWatch::Result::Events);
    EXPECT_EQ(fired, std::vector<int>{id});
    w.Stop();
    EXPECT_EQ(w.Wait(-1, fired), FileWatch::Result::Stopped);
    EXPECT_FALSE(w.SleepUnlessStopped(1000));
    w.ResetStop();
    EXPECT_TRUE(w.SleepUnlessStopped(1));
}

TEST_F(FileChangeMonitorTest, OutsideSaveGivesOneNotificationOnTheUiThread)
{
    dir.Write("a.txt", "start");
    dir.Write("other.txt", "o");
    TestMonitor mon;
    mon.AddFile(U16(dir / "a.txt"));
    mon.Start();
    mon.Start();  // already running: nothing happens
    EXPECT_TRUE(mon.IsRunning());
    WriteSlowly(dir / "a.txt", 5);
    ASSERT_TRUE(WaitFor([&] { return !mon.calls.empty(); }, 5000));
    Pump(600);
    ASSERT_EQ(mon.calls.size(), 1u);
    EXPECT_EQ(mon.calls[0].flags, FCM_TIME | FCM_SIZE);
    EXPECT_EQ(mon.calls[0].path, U16(dir / "a.txt"));
    EXPECT_TRUE(mon.calls[0].onUiThread);
    // A change of another file of the folder says nothing.
    dir.Write("other.txt", "changed");
    Pump(600);
    EXPECT_EQ(mon.calls.size(), 1u);
    mon.Stop();
    mon.Stop();
    EXPECT_FALSE(mon.IsRunning());
}

TEST_F(FileChangeMonitorTest, DeletedFileIsReportedOnceAndDropped)
{
    dir.Write("d.txt", "x");
    TestMonitor mon;
    mon.AddFile(U16(dir / "d.txt"));
    mon.Start();
    fs::remove(dir / "d.txt");
    ASSERT_TRUE(WaitFor([&] { return !mon.calls.empty(); }, 6000));
    EXPECT_EQ(mon.calls[0].flags, FCM_GONE);
    EXPECT_FALSE(mon.IsWatching(U16(dir / "d.txt")));
    dir.Write("d.txt", "back");
    Pump(600);
    EXPECT_EQ(mon.calls.size(), 1u);
}

TEST_F(FileChangeMonitorTest, FileReplacedByFolder)
{
    dir.Write("f.txt", "x");
    TestMonitor mon;
    mon.AddFile(U16(dir / "f.txt"));
    mon.Start();
    fs::remove(dir / "f.txt");
    fs::create_directory(dir / "f.txt");
    ASSERT_TRUE(WaitFor([&] { return !mon.calls.empty(); }, 6000));
    EXPECT_EQ(mon.calls.back().flags, FCM_FOLDER);
}

TEST_F(FileChangeMonitorTest, RegistrationsAndOwnSave)
{
    dir.Write("a.txt", "a");
    dir.Write("b.txt", "b");
    TestMonitor mon;
    std::u16string a = U16(dir / "a.txt");
    std::u16string b = U16(dir / "b.txt");
    mon.AddFile(a);
    mon.AddFile(a);
    mon.RemoveFile(a);
    EXPECT_FALSE(mon.IsWatching(a));
    mon.RemoveFile(a);  // unregistered: ignored
    mon.AddFile(a);
    mon.AddFile(b);
    mon.RemoveFile(a);
    mon.Start();
    // Adding a file of a new folder while running restarts the worker.
    fs::create_directory(dir / "sub");
    dir.Write("sub/c.txt", "c");
    mon.AddFile(U16(dir / "sub/c.txt"));
    EXPECT_TRUE(mon.IsRunning());

    WriteSlowly(dir / "a.txt", 2);
    WriteSlowly(dir / "b.txt", 2);
    WriteSlowly(dir / "sub/c.txt", 2);
    ASSERT_TRUE(WaitFor([&] { return mon.calls.size() >= 2; }, 5000));
    Pump(400);
    ASSERT_EQ(mon.calls.size(), 2u);
    std::set<std::u16string> paths{mon.calls[0].path, mon.calls[1].path};
    EXPECT_EQ(paths, (std::set<std::u16string>{b, U16(dir / "sub/c.txt")}));

    // The document's own save is never reported.
    mon.calls.clear();
    mon.Stop();
    mon.RemoveFile(b);
    WriteSlowly(dir / "b.txt", 3);
    mon.AddFile(b);
    mon.Start();
    Pump(700);
    EXPECT_TRUE(mon.calls.empty());
}

TEST_F(FileChangeMonitorTest, NotReenteredWhileTheQuestionIsOpen)
{
    dir.Write("q.txt", "q");
    TestMonitor mon;
    std::u16string q = U16(dir / "q.txt");
    mon.AddFile(q);
    bool changedAgain = false;
    mon.during = [&](uint32_t, const std::u16string&) {
        if (changedAgain)
            return;
        changedAgain = true;
        // The user ponders the question: the file changes twice more and
        // the event loop runs.
        WriteSlowly(dir / "q.txt", 2);
        Pump(500);
        WriteSlowly(dir / "q.txt", 4);
        Pump(500);
    };
    mon.Start();
    WriteSlowly(dir / "q.txt", 1);
    ASSERT_TRUE(WaitFor([&] { return mon.calls.size() >= 2; }, 8000));
    Pump(500);
    EXPECT_EQ(mon.calls.size(), 2u);
    EXPECT_EQ(mon.maxDepth, 1);
}

TEST_F(FileChangeMonitorTest, DestroyedWithNotificationsQueued)
{
    dir.Write("z.txt", "z");
    {
        TestMonitor mon;
        mon.AddFile(U16(dir / "z.txt"));
        mon.Start();
        WriteSlowly(dir / "z.txt", 1);
        QThread::msleep(500);  // the worker posts; nobody delivers yet
    }
    Pump(100);  // the queued notification is dropped with the target
    SUCCEED();
}
