// The file-change monitor with real files, a real worker thread and the Qt
// event loop that delivers its notifications.

#include "editor/files/FileChangeMonitor.h"

#include "platform/sys/FileWatch.h"
#include "tests/support/platform/TempDir.h"
#include "tests/support/platform/Wait.h"

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QString>
#include <QThread>
#include <QTimer>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>

namespace fs = std::filesystem;

namespace {

std::u16string U16(const std::string& s)
{
    return QString::fromStdString(s).toStdU16String();
}

// Runs the event loop until cond holds or ms have passed; the tick wakes
// it for the worker thread's state.
bool WaitFor(const std::function<bool()>& cond, int ms)
{
    QElapsedTimer t;
    t.start();
    QTimer tick;
    tick.start(5);
    while (!cond()) {
        if (t.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return true;
}

void Pump(int ms)
{
    WaitFor([] { return false; }, ms);
}

// Writes a file in chunks with pauses, as a slow program would save it.
void WriteSlowly(const std::string& path, int parts)
{
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    for (int i = 0; i < parts; ++i) {
        std::string chunk = "more text " + std::to_string(i) + "\n";
        ASSERT_EQ(::write(fd, chunk.data(), chunk.size()), static_cast<ssize_t>(chunk.size()));
        // Time is the subject: a slow writer's pauses between its parts.
        QThread::msleep(30);
    }
    ::close(fd);
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
    explicit TestMonitor(int* counter = nullptr) : m_counter(counter) {}
    ~TestMonitor() override { Stop(); }
    bool AllOnUiThread() const
    {
        return std::all_of(calls.begin(), calls.end(), [](const Call& c) { return c.onUiThread; });
    }
    std::vector<Call> calls;
    std::function<void(uint32_t, const std::u16string&)> during;
    int depth = 0;
    int maxDepth = 0;

protected:
    void OnFileChanged(uint32_t flags, const std::u16string& path) override
    {
        calls.push_back({flags, path, QThread::currentThread() == qApp->thread()});
        if (m_counter)
            ++*m_counter;
        ++depth;
        maxDepth = std::max(maxDepth, depth);
        if (during)
            during(flags, path);
        --depth;
    }

private:
    int* m_counter = nullptr;
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
            new QApplication(argc, argv);
    }
    testsupport::TempDir dir;
};

// Waits for the first notification, then lets later ones (that must not
// come) arrive.
bool WaitForCalls(TestMonitor& mon, size_t n, int ms = 5000)
{
    bool ok = WaitFor([&] { return mon.calls.size() >= n; }, ms);
    Pump(300);
    return ok;
}

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

TEST_F(FileChangeMonitorTest, TenChunkedWritesGiveOneNotification)
{
    dir.Write("a.txt", "start");
    dir.Write("other.txt", "o");
    TestMonitor mon;
    mon.AddFile(U16(dir / "a.txt"));
    mon.Start();
    mon.Start();  // already running: nothing happens
    EXPECT_TRUE(mon.IsRunning());
    WriteSlowly(dir / "a.txt", 10);
    ASSERT_TRUE(WaitForCalls(mon, 1));
    ASSERT_EQ(mon.calls.size(), 1u);
    EXPECT_EQ(mon.calls[0].flags, FCM_TIME | FCM_SIZE);
    EXPECT_EQ(mon.calls[0].path, U16(dir / "a.txt"));
    // A change of another file of the folder says nothing.
    dir.Write("other.txt", "changed");
    Pump(400);
    EXPECT_EQ(mon.calls.size(), 1u);
    EXPECT_TRUE(mon.AllOnUiThread());
    mon.Stop();
    mon.Stop();
    EXPECT_FALSE(mon.IsRunning());
}

TEST_F(FileChangeMonitorTest, TruncateOlderTimeAndReplacement)
{
    dir.Write("t.txt", "some text");
    std::string t = dir / "t.txt";
    TestMonitor mon;
    mon.AddFile(U16(t));
    mon.Start();
    // Truncated: size and time.
    ASSERT_EQ(::truncate(t.c_str(), 2), 0);
    ASSERT_TRUE(WaitForCalls(mon, 1));
    ASSERT_EQ(mon.calls.size(), 1u);
    EXPECT_EQ(mon.calls[0].flags & FCM_SIZE, FCM_SIZE);
    // Touched with an older time: the time differs, the size does not.
    timespec times[2] = {{1000000000, 0}, {1000000000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, t.c_str(), times, 0), 0);
    ASSERT_TRUE(WaitForCalls(mon, 2));
    ASSERT_EQ(mon.calls.size(), 2u);
    EXPECT_EQ(mon.calls[1].flags, FCM_TIME);
    // A new file renamed over the old one.
    dir.Write("t.new", "other contents");
    ASSERT_EQ(::rename((dir / "t.new").c_str(), t.c_str()), 0);
    ASSERT_TRUE(WaitForCalls(mon, 3));
    ASSERT_EQ(mon.calls.size(), 3u);
    EXPECT_EQ(mon.calls[2].flags, FCM_TIME | FCM_SIZE);
    EXPECT_TRUE(mon.AllOnUiThread());
}

TEST_F(FileChangeMonitorTest, DeletedFileIsReportedOnceAndDropped)
{
    dir.Write("d.txt", "x");
    TestMonitor mon;
    std::u16string d = U16(dir / "d.txt");
    mon.AddFile(d);
    bool watchedDuringCall = true;
    mon.during = [&](uint32_t, const std::u16string& path) { watchedDuringCall = mon.IsWatching(path); };
    mon.Start();
    fs::remove(dir / "d.txt");
    ASSERT_TRUE(WaitFor([&] { return !mon.calls.empty(); }, 6000));
    EXPECT_EQ(mon.calls[0].flags, FCM_GONE);
    EXPECT_FALSE(watchedDuringCall);  // unregistered before the call
    EXPECT_FALSE(mon.IsWatching(d));
    EXPECT_FALSE(mon.HasFolder(U16(dir.Path() + "/")));
    dir.Write("d.txt", "back");
    Pump(400);
    EXPECT_EQ(mon.calls.size(), 1u);
    EXPECT_TRUE(mon.AllOnUiThread());
}

TEST_F(FileChangeMonitorTest, FileReplacedByFolderIsReportedOnce)
{
    dir.Write("f.txt", "x");
    TestMonitor mon;
    mon.AddFile(U16(dir / "f.txt"));
    mon.Start();
    fs::remove(dir / "f.txt");
    fs::create_directory(dir / "f.txt");
    ASSERT_TRUE(WaitForCalls(mon, 1));
    ASSERT_EQ(mon.calls.size(), 1u);
    EXPECT_EQ(mon.calls[0].flags, FCM_FOLDER);
    // Further changes in the folder while it stays a folder: nothing more.
    dir.Write("other.txt", "o");
    Pump(400);
    EXPECT_EQ(mon.calls.size(), 1u);
    EXPECT_TRUE(mon.AllOnUiThread());
}

TEST_F(FileChangeMonitorTest, RegistrationsAndFolders)
{
    dir.Write("a.txt", "a");
    dir.Write("b.txt", "b");
    TestMonitor mon;
    std::u16string a = U16(dir / "a.txt");
    std::u16string b = U16(dir / "b.txt");
    std::u16string folder = U16(dir.Path() + "/");
    // The same path twice, removed once: unregistered.
    mon.AddFile(a);
    mon.AddFile(a);
    mon.RemoveFile(a);
    EXPECT_FALSE(mon.IsWatching(a));
    EXPECT_FALSE(mon.HasFolder(folder));
    mon.RemoveFile(a);  // unregistered: ignored
    // Two files of one folder: removing one keeps the other.
    mon.AddFile(a);
    mon.AddFile(b);
    mon.RemoveFile(a);
    EXPECT_TRUE(mon.HasFolder(folder));
    EXPECT_TRUE(mon.IsWatching(b));
    // A folder that cannot be watched: registered, not watched, no error.
    mon.AddFile(U16(dir / "missing/x.txt"));
    mon.Start();
    EXPECT_TRUE(mon.IsRunning());

    // A new folder while running: its watch is added, and a change made in
    // the old folder just before is not lost.
    fs::create_directory(dir / "sub");
    dir.Write("sub/c.txt", "c");
    dir.Write("b.txt", "bb");
    mon.AddFile(U16(dir / "sub/c.txt"));
    ASSERT_TRUE(WaitForCalls(mon, 1));
    WriteSlowly(dir / "a.txt", 2);  // not registered
    WriteSlowly(dir / "sub/c.txt", 2);
    ASSERT_TRUE(WaitForCalls(mon, 2));
    ASSERT_EQ(mon.calls.size(), 2u);
    EXPECT_EQ(mon.calls[0].path, b);
    EXPECT_EQ(mon.calls[1].path, U16(dir / "sub/c.txt"));
    EXPECT_TRUE(mon.AllOnUiThread());
}

TEST_F(FileChangeMonitorTest, OwnSaveIsNotReported)
{
    dir.Write("s.txt", "s");
    TestMonitor mon;
    std::u16string s = U16(dir / "s.txt");
    mon.AddFile(s);
    mon.Start();
    // The document's save: Stop, RemoveFile, save, AddFile, Start.
    mon.Stop();
    mon.RemoveFile(s);
    WriteSlowly(dir / "s.txt", 3);
    mon.AddFile(s);
    mon.Start();
    Pump(500);
    EXPECT_TRUE(mon.calls.empty());
    // A notification queued for the old registration is dropped too.
    const int records = ui::LiveMessageRecords();
    WriteSlowly(dir / "s.txt", 1);
    // Examined and posted, not yet delivered: no events run meanwhile.
    ASSERT_TRUE(testsupport::WaitUntil([&] { return ui::LiveMessageRecords() == records + 1; }, 5000));
    mon.RemoveFile(s);
    mon.AddFile(s);
    // Its delivery frees the record.
    ASSERT_TRUE(WaitFor([&] { return ui::LiveMessageRecords() == records; }, 5000));
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
        // The user ponders the question: the file changes twice more while
        // a nested event loop runs.
        WriteSlowly(dir / "q.txt", 2);
        Pump(400);
        WriteSlowly(dir / "q.txt", 4);
        Pump(400);
        EXPECT_EQ(mon.calls.size(), 1u);
    };
    mon.Start();
    WriteSlowly(dir / "q.txt", 1);
    ASSERT_TRUE(WaitFor([&] { return mon.calls.size() >= 2; }, 8000));
    Pump(400);
    EXPECT_EQ(mon.calls.size(), 2u);
    EXPECT_EQ(mon.maxDepth, 1);
    EXPECT_TRUE(mon.AllOnUiThread());
}

TEST_F(FileChangeMonitorTest, StopDuringTheRetryReturnsAtOnce)
{
    dir.Write("r.txt", "r");
    TestMonitor mon;
    mon.AddFile(U16(dir / "r.txt"));
    mon.Start();
    fs::remove(dir / "r.txt");
    // Time is the subject: the worker gives no sign when it starts its 2 s
    // pause before trying the file again; after 500 ms it is in the pause,
    // and the stop is measured against its length.
    QThread::msleep(500);
    QElapsedTimer t;
    t.start();
    mon.Stop();
    EXPECT_LT(t.elapsed(), 1500);  // well before the retry would have ended
    EXPECT_FALSE(mon.IsRunning());
    Pump(200);
    EXPECT_TRUE(mon.calls.empty());
    EXPECT_TRUE(mon.IsWatching(U16(dir / "r.txt")));
}

TEST_F(FileChangeMonitorTest, DestroyedWithANotificationQueued)
{
    dir.Write("z.txt", "z");
    int records = ui::LiveMessageRecords();
    int delivered = 0;
    {
        TestMonitor mon(&delivered);
        mon.AddFile(U16(dir / "z.txt"));
        mon.Start();
        WriteSlowly(dir / "z.txt", 1);
        // The worker posts; nobody delivers yet.
        EXPECT_TRUE(testsupport::WaitUntil([&] { return ui::LiveMessageRecords() == records + 1; }, 5000));
    }
    EXPECT_EQ(ui::LiveMessageRecords(), records);  // the record was freed
    Pump(100);
    EXPECT_EQ(delivered, 0);
}
