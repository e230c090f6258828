#include "editor/files/FileChangeMonitor.h"

#include "platform/sys/FileWatch.h"
#include "platform/sys/NativeText.h"

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

// Stat of a path: 0 a file, 1 a folder, -1 cannot be examined (time and
// size 0).
int Examine(const std::u16string& path, int64_t& writeTime, int64_t& size)
{
    writeTime = 0;
    size = 0;
    std::optional<std::string> native = sys::LocalNativePath(path);
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
    m_handle = ui::RegisterMessageTarget(
        m_target, [this](uint32_t msg, uintptr_t, intptr_t, ui::MessageRecord* record) -> intptr_t {
            auto* rec = dynamic_cast<FileChangedRecord*>(record);
            if (msg == WM_EDT_FILECHANGED && rec)
                Deliver(rec->path, rec->registration);
            return 0;
        });
}

CFileChangeMonitor::~CFileChangeMonitor()
{
    Stop();
    *m_alive = false;
    ui::UnregisterMessageTarget(m_handle);  // drops the notifications still queued
    delete m_target;
}

bool CFileChangeMonitor::IsWatching(std::u16string_view path) const
{
    std::lock_guard lock(m_mutex);
    return m_files.count(std::u16string(path)) != 0;
}

bool CFileChangeMonitor::HasFolder(std::u16string_view folder) const
{
    std::lock_guard lock(m_mutex);
    return std::any_of(m_folders.begin(), m_folders.end(),
                       [&](const FolderRec& f) { return f.folder == folder; });
}

void CFileChangeMonitor::AddFile(std::u16string_view pathView, bool watchSubtree, uint32_t filter)
{
    std::u16string path(pathView);
    FileRec rec;
    rec.folder = FolderOf(path);
    ::Examine(path, rec.writeTime, rec.size);
    uint32_t mask = 0;
    {
        std::lock_guard lock(m_mutex);
        if (m_files.count(path))
            return;
        rec.registration = ++m_nextRegistration;
        auto it = std::find_if(m_folders.begin(), m_folders.end(),
                               [&](const FolderRec& f) { return f.folder == rec.folder; });
        if (it != m_folders.end()) {
            ++it->refs;
            it->subtree = it->subtree || watchSubtree;
            if ((it->filter | filter) != it->filter)
                mask = sys::FileWatch::MaskForFilter(it->filter | filter);
            it->filter |= filter;
        } else {
            m_folders.push_back(FolderRec{rec.folder, 1, watchSubtree, filter});
            mask = sys::FileWatch::MaskForFilter(filter);
        }
        m_files.emplace(path, rec);
    }
    // A new folder (or a wider filter) while running: the running worker's
    // notification descriptor gets the watch, so nothing of the folders
    // already watched is lost.
    if (mask && m_watch) {
        std::optional<std::string> native = sys::LocalNativePath(rec.folder);
        int id = native ? m_watch->Add(*native, mask) : -1;
        if (id >= 0) {
            std::lock_guard lock(m_mutex);
            m_folderOfWatch[id] = rec.folder;
        }
    }
}

void CFileChangeMonitor::RemoveLocked(const std::u16string& path)
{
    auto it = m_files.find(path);
    if (it == m_files.end())
        return;
    auto f = std::find_if(m_folders.begin(), m_folders.end(),
                          [&](const FolderRec& r) { return r.folder == it->second.folder; });
    if (f != m_folders.end() && --f->refs <= 0) {
        for (auto w = m_folderOfWatch.begin(); w != m_folderOfWatch.end();) {
            if (w->second == f->folder) {
                if (m_watch)
                    m_watch->Remove(w->first);
                w = m_folderOfWatch.erase(w);
            } else {
                ++w;
            }
        }
        m_folders.erase(f);
    }
    m_files.erase(it);
}

void CFileChangeMonitor::RemoveFile(std::u16string_view pathView)
{
    std::u16string path(pathView);
    std::lock_guard lock(m_mutex);
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
    Arm(*watch);
    m_watch = std::move(watch);
    m_thread = std::thread(&CFileChangeMonitor::WorkerMain, this, m_watch.get());
}

void CFileChangeMonitor::Stop()
{
    if (!IsRunning())
        return;
    m_watch->Stop();
    m_thread.join();
    std::lock_guard lock(m_mutex);
    m_watch.reset();
    m_folderOfWatch.clear();
}

// ---------------------------------------------------------------- worker

void CFileChangeMonitor::Arm(sys::FileWatch& watch)
{
    std::vector<FolderRec> folders;
    {
        std::lock_guard lock(m_mutex);
        folders = m_folders;
    }
    std::vector<std::pair<int, std::u16string>> armed;
    for (const FolderRec& f : folders) {
        std::optional<std::string> native = sys::LocalNativePath(f.folder);
        if (!native)
            continue;  // a folder that cannot be watched is not watched
        int id = watch.Add(*native, sys::FileWatch::MaskForFilter(f.filter));
        if (id >= 0)
            armed.emplace_back(id, f.folder);
    }
    std::lock_guard lock(m_mutex);
    for (const auto& entry : armed) {
        const int id = entry.first;
        const auto& folder = entry.second;
        bool registered = std::any_of(m_folders.begin(), m_folders.end(),
                                      [&](const FolderRec& f) { return f.folder == folder; });
        if (registered)
            m_folderOfWatch[id] = folder;
        else
            watch.Remove(id);  // unregistered meanwhile
    }
}

void CFileChangeMonitor::WorkerMain(sys::FileWatch* watch)
{
    using sys::FileWatch;
    std::vector<int> fired;
    for (;;) {
        fired.clear();
        auto r = watch->Wait(-1, fired);
        if (r == FileWatch::Result::Stopped || r == FileWatch::Result::Error)
            return;
        if (r == FileWatch::Result::Timeout)
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
            if (r == FileWatch::Result::Stopped || r == FileWatch::Result::Error)
                return;
            if (r == FileWatch::Result::Timeout)
                break;
        }
        if (std::find(fired.begin(), fired.end(), FileWatch::kOverflow) != fired.end()) {
            // Events were lost: every registered file is examined.
            if (!Examine(*watch, nullptr))
                return;
        } else {
            std::set<std::u16string> folders;
            {
                std::lock_guard lock(m_mutex);
                for (int id : fired) {
                    auto it = m_folderOfWatch.find(id);
                    if (it != m_folderOfWatch.end())
                        folders.insert(it->second);
                }
            }
            for (const std::u16string& folder : folders)
                if (!Examine(*watch, &folder))
                    return;
        }
        Arm(*watch);  // a folder that was removed and made again gets a new watch
    }
}

bool CFileChangeMonitor::Examine(sys::FileWatch& watch, const std::u16string* folder)
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
            if ((!folder || rec.folder == *folder) && !rec.goneReported)
                items.push_back({path, rec});
    }
    for (const Item& item : items) {
        int64_t time = 0;
        int64_t size = 0;
        int state = ::Examine(item.path, time, size);
        if (state < 0) {
            if (!watch.SleepUnlessStopped(kRetryMs))
                return false;
            state = ::Examine(item.path, time, size);
        }
        uint32_t flags = 0;
        {
            std::lock_guard lock(m_mutex);
            auto it = m_files.find(item.path);
            if (it == m_files.end() || it->second.registration != item.rec.registration ||
                it->second.goneReported)
                continue;
            FileRec& rec = it->second;
            if (state < 0) {
                rec.goneReported = true;  // unregistered when it is delivered
                flags = FCM_GONE;
            } else if (state == 1) {
                if (!rec.folderReported)
                    flags = FCM_FOLDER;
                rec.folderReported = true;
            } else {
                rec.folderReported = false;
                if (time != rec.writeTime)
                    flags |= FCM_TIME;
                if (size != rec.size)
                    flags |= FCM_SIZE;
                rec.writeTime = time;
                rec.size = size;
            }
        }
        if (flags)
            Queue(item.path, item.rec.registration, flags);
    }
    return true;
}

void CFileChangeMonitor::Queue(const std::u16string& path, uint64_t registration, uint32_t flags)
{
    {
        std::lock_guard lock(m_mutex);
        auto it = m_pending.find(path);
        if (it != m_pending.end() && it->second.registration == registration) {
            it->second.flags |= flags;  // one notification per path stays queued
            return;
        }
        // A new notification (an older registration's flags do not carry over).
        m_pending[path] = Pending{flags, registration};
    }
    ui::PostMessageTo(m_handle, WM_EDT_FILECHANGED, 0, 0,
                      std::make_unique<FileChangedRecord>(path, registration));
}

// ---------------------------------------------------------------- UI thread

void CFileChangeMonitor::Deliver(const std::u16string& path, uint64_t registration)
{
    if (m_delivering.count(path))
        return;  // taken up when the running notification returns
    std::shared_ptr<bool> alive = m_alive;
    m_delivering.insert(path);
    for (bool firstRound = true;; firstRound = false) {
        uint32_t flags = 0;
        bool valid = false;
        {
            std::lock_guard lock(m_mutex);
            auto it = m_pending.find(path);
            if (it == m_pending.end())
                break;
            if (firstRound && it->second.registration != registration)
                break;  // a newer notification is on its way
            flags = it->second.flags;
            uint64_t current = it->second.registration;
            m_pending.erase(it);
            auto f = m_files.find(path);
            valid = f != m_files.end() && f->second.registration == current;
            if (valid && (flags & FCM_GONE))
                RemoveLocked(path);
        }
        if (valid && flags) {
            OnFileChanged(flags, path);
            if (!*alive)
                return;  // the monitor was destroyed by the notification
        }
    }
    m_delivering.erase(path);
}
