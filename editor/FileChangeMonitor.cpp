#include "editor/FileChangeMonitor.h"

#include "platform/sys/FileWatch.h"
#include "platform/sys/WinPath.h"

#include <QMetaObject>
#include <QObject>

#include <sys/stat.h>

#include <algorithm>
#include <chrono>

namespace {

constexpr int kQuietMs = 200;     // no further event for this long ...
constexpr int kMaxDelayMs = 1000; // ... or this long after the first one
constexpr int kRetryMs = 2000;    // a file that cannot be examined is tried again after

std::u16string FolderOf(std::u16string_view path)
{
    size_t pos = path.find_last_of(u"/\\");
    return pos == std::u16string_view::npos ? std::u16string() : std::u16string(path.substr(0, pos + 1));
}

// Stat of a path: 0 ok, 1 folder, -1 cannot be examined.
int Examine(const std::u16string& path, int64_t& writeTime, int64_t& size)
{
    writeTime = 0;
    size = 0;
    std::optional<std::string> native = sys::WinPath::ToNative(path);
    struct stat st;
    if (!native || ::stat(native->c_str(), &st) != 0)
        return -1;
    if (S_ISDIR(st.st_mode))
        return 1;
    writeTime = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    size = static_cast<int64_t>(st.st_size);
    return 0;
}

} // namespace

CFileChangeMonitor::CFileChangeMonitor()
    : m_alive(std::make_shared<bool>(true)), m_target(new QObject)
{
    m_target->setObjectName(QStringLiteral("CFileChangeMonitor"));
}

CFileChangeMonitor::~CFileChangeMonitor()
{
    Stop();
    *m_alive = false;
    delete m_target;  // drops notifications still queued for it
}

bool CFileChangeMonitor::IsWatching(std::u16string_view path) const
{
    std::lock_guard lock(m_mutex);
    return m_files.count(std::u16string(path)) != 0;
}

void CFileChangeMonitor::AddFile(std::u16string_view pathView, bool watchSubtree, uint32_t filter)
{
    std::u16string path(pathView);
    FileRec rec;
    rec.folder = FolderOf(path);
    ::Examine(path, rec.writeTime, rec.size);
    bool newFolder = false;
    {
        std::lock_guard lock(m_mutex);
        if (m_files.count(path))
            return;
        rec.registration = ++m_nextRegistration;
        m_gone.erase(path);
        auto it = std::find_if(m_folders.begin(), m_folders.end(),
                               [&](const FolderRec& f) { return f.folder == rec.folder; });
        if (it != m_folders.end()) {
            ++it->refs;
            it->subtree = it->subtree || watchSubtree;
            it->filter |= filter;
        } else {
            m_folders.push_back(FolderRec{rec.folder, 1, watchSubtree, filter});
            newFolder = true;
        }
        m_files.emplace(path, std::move(rec));
    }
    if (newFolder && IsRunning()) {
        Stop();
        Start();
    }
}

void CFileChangeMonitor::RemoveLocked(const std::u16string& path)
{
    auto it = m_files.find(path);
    if (it == m_files.end())
        return;
    auto f = std::find_if(m_folders.begin(), m_folders.end(),
                          [&](const FolderRec& r) { return r.folder == it->second.folder; });
    if (f != m_folders.end() && --f->refs <= 0)
        m_folders.erase(f);
    m_files.erase(it);
}

void CFileChangeMonitor::RemoveFile(std::u16string_view pathView)
{
    std::u16string path(pathView);
    std::lock_guard lock(m_mutex);
    m_gone.erase(path);
    RemoveLocked(path);
}

void CFileChangeMonitor::Start()
{
    if (IsRunning())
        return;
    auto watch = std::make_unique<sys::FileWatch>();
    if (!watch->IsOpen())
        return;
    // Armed here, so that a change right after Start is seen.
    std::map<int, std::u16string> folderOfWatch;
    Arm(*watch, folderOfWatch);
    m_watch = std::move(watch);
    m_thread = std::thread(&CFileChangeMonitor::WorkerMain, this, m_watch.get(), std::move(folderOfWatch));
}

void CFileChangeMonitor::Stop()
{
    if (!IsRunning())
        return;
    m_watch->Stop();
    m_thread.join();
    m_watch.reset();
}

// ---------------------------------------------------------------- worker

void CFileChangeMonitor::Arm(sys::FileWatch& watch, std::map<int, std::u16string>& folderOfWatch)
{
    std::vector<FolderRec> folders;
    {
        std::lock_guard lock(m_mutex);
        folders = m_folders;
    }
    folderOfWatch.clear();
    for (const FolderRec& f : folders) {
        std::optional<std::string> native = sys::WinPath::ToNative(f.folder);
        if (!native)
            continue;  // a folder that cannot be watched is not watched
        int id = watch.Add(*native, sys::FileWatch::MaskForFilter(f.filter));
        if (id >= 0)
            folderOfWatch[id] = f.folder;
    }
}

void CFileChangeMonitor::WorkerMain(sys::FileWatch* watch, std::map<int, std::u16string> folderOfWatch)
{
    std::vector<int> fired;
    for (;;) {
        fired.clear();
        auto r = watch->Wait(-1, fired);
        if (r == sys::FileWatch::Result::Stopped || r == sys::FileWatch::Result::Error)
            return;
        if (r == sys::FileWatch::Result::Timeout)
            continue;
        // Let a burst of events (one save in several writes) settle.
        auto first = std::chrono::steady_clock::now();
        for (;;) {
            auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
                               std::chrono::steady_clock::now() - first)
                               .count();
            int wait = static_cast<int>(std::min<long long>(kQuietMs, kMaxDelayMs - elapsed));
            if (wait <= 0)
                break;
            r = watch->Wait(wait, fired);
            if (r == sys::FileWatch::Result::Stopped || r == sys::FileWatch::Result::Error)
                return;
            if (r == sys::FileWatch::Result::Timeout)
                break;
        }
        std::set<std::u16string> folders;
        for (int id : fired) {
            auto it = folderOfWatch.find(id);
            if (it != folderOfWatch.end())
                folders.insert(it->second);
        }
        for (const std::u16string& folder : folders) {
            Examine(*watch, folder);
            if (!watch->SleepUnlessStopped(0))
                return;
        }
        Arm(*watch, folderOfWatch);  // a folder that was removed and made again gets a new watch
    }
}

void CFileChangeMonitor::Examine(sys::FileWatch& watch, const std::u16string& folder)
{
    struct Item
    {
        std::u16string path;
        FileRec rec;
    };
    std::vector<Item> items;
    {
        std::lock_guard lock(m_mutex);
        for (const auto& [path, rec] : m_files)
            if (rec.folder == folder)
                items.push_back({path, rec});
    }
    for (const Item& item : items) {
        int64_t time = 0;
        int64_t size = 0;
        int state = ::Examine(item.path, time, size);
        if (state < 0) {
            if (!watch.SleepUnlessStopped(kRetryMs))
                return;
            state = ::Examine(item.path, time, size);
        }
        uint32_t flags = 0;
        if (state == 1) {
            flags = FCM_FOLDER;
        } else if (state < 0) {
            std::lock_guard lock(m_mutex);
            auto it = m_files.find(item.path);
            if (it == m_files.end() || it->second.registration != item.rec.registration)
                continue;
            RemoveLocked(item.path);
            m_gone[item.path] = item.rec.registration;
            flags = FCM_GONE;
        } else {
            if (time != item.rec.writeTime)
                flags |= FCM_TIME;
            if (size != item.rec.size)
                flags |= FCM_SIZE;
            if (flags) {
                std::lock_guard lock(m_mutex);
                auto it = m_files.find(item.path);
                if (it == m_files.end() || it->second.registration != item.rec.registration)
                    continue;
                it->second.writeTime = time;
                it->second.size = size;
            }
        }
        if (flags)
            Queue(item.path, item.rec.registration, flags);
    }
}

void CFileChangeMonitor::Queue(const std::u16string& path, uint64_t registration, uint32_t flags)
{
    bool post = false;
    {
        std::lock_guard lock(m_mutex);
        auto [it, inserted] = m_pending.try_emplace(path);
        if (!inserted && it->second.registration != registration)
            it->second.flags = 0;  // an older registration's flags do not carry over
        it->second.flags |= flags;
        it->second.registration = registration;
        post = inserted;
    }
    if (post)
        Post(path);
}

void CFileChangeMonitor::Post(const std::u16string& path)
{
    // Queued onto the target's (UI) thread; dropped when the target is gone.
    QMetaObject::invokeMethod(
        m_target, [this, path] { Deliver(path); }, Qt::QueuedConnection);
}

// ---------------------------------------------------------------- UI thread

void CFileChangeMonitor::Deliver(const std::u16string& path)
{
    if (m_delivering.count(path))
        return;  // taken up when the running notification returns
    std::shared_ptr<bool> alive = m_alive;
    m_delivering.insert(path);
    for (;;) {
        uint32_t flags = 0;
        bool valid = false;
        {
            std::lock_guard lock(m_mutex);
            auto it = m_pending.find(path);
            if (it == m_pending.end())
                break;
            flags = it->second.flags;
            uint64_t registration = it->second.registration;
            m_pending.erase(it);
            auto f = m_files.find(path);
            if (f != m_files.end() && f->second.registration == registration) {
                valid = true;
            } else if (flags & FCM_GONE) {
                auto g = m_gone.find(path);
                if (g != m_gone.end() && g->second == registration) {
                    valid = true;
                    m_gone.erase(g);
                }
            }
        }
        if (valid && flags) {
            OnFileChanged(flags, path);
            if (!*alive)
                return;
        }
    }
    m_delivering.erase(path);
}
