#pragma once
// Watches the disk files of a document and tells it, on the UI thread, when
// one was changed, resized, deleted or replaced by a folder outside the
// editor.  A worker thread waits for the folders' change notifications;
// see docs/editor-buffer.md.

#include "platform/ui/Messages.h"

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

class QObject;
namespace sys { class FileWatch; }

// Flags passed to OnFileChanged.
constexpr uint32_t FCM_SIZE = 0x02;    // the size differs from the recorded one
constexpr uint32_t FCM_TIME = 0x04;    // the last write time differs
constexpr uint32_t FCM_GONE = 0x08;    // cannot be examined (twice, 2 s apart); unregistered
constexpr uint32_t FCM_FOLDER = 0x10;  // the path now names a folder

// The message that carries a notification to the monitor's target on the
// UI thread, with a FileChangedRecord.
constexpr uint32_t WM_EDT_FILECHANGED = ui::WM_APP + 40;

// The record of WM_EDT_FILECHANGED: the path and the registration number it
// was examined under.
struct FileChangedRecord : ui::MessageRecord
{
    FileChangedRecord(std::u16string p, uint64_t r) : path(std::move(p)), registration(r) {}
    std::u16string path;
    uint64_t registration = 0;
};

class CFileChangeMonitor
{
public:
    CFileChangeMonitor();  // on the UI thread
    virtual ~CFileChangeMonitor();
    CFileChangeMonitor(const CFileChangeMonitor&) = delete;
    CFileChangeMonitor& operator=(const CFileChangeMonitor&) = delete;

    void AddFile(std::u16string_view path, bool watchSubtree = false, uint32_t filter = 0x19);
    void RemoveFile(std::u16string_view path);
    void Start();
    void Stop();

    bool IsRunning() const { return m_thread.joinable(); }
    bool IsWatching(std::u16string_view path) const;        // path registered
    bool HasFolder(std::u16string_view folder) const;       // a folder record exists

protected:
    // Always on the UI thread; never re-entered for the same path.
    virtual void OnFileChanged(uint32_t flags, const std::u16string& path) = 0;

private:
    struct FileRec
    {
        std::u16string folder;
        uint64_t registration = 0;
        int64_t writeTime = 0;  // ns
        int64_t size = 0;
        bool folderReported = false;  // 0x10 sent while the path stays a folder
        bool goneReported = false;    // 0x08 sent; unregistered on delivery
    };
    struct FolderRec
    {
        std::u16string folder;
        int refs = 0;
        bool subtree = false;
        uint32_t filter = 0;
    };
    struct Pending
    {
        uint32_t flags = 0;
        uint64_t registration = 0;
    };

    // Watches every folder of the records (again: a folder made anew gets
    // a new watch); watches of folders no longer registered are removed.
    void Arm(sys::FileWatch& watch);
    void WorkerMain(sys::FileWatch* watch);
    // False when the stop signal came.
    bool Examine(sys::FileWatch& watch, const std::u16string* folder);
    void Queue(const std::u16string& path, uint64_t registration, uint32_t flags);
    void RemoveLocked(const std::u16string& path);
    void Deliver(const std::u16string& path, uint64_t registration);  // UI thread

    mutable std::mutex m_mutex;  // guards the collections below
    std::map<std::u16string, FileRec> m_files;
    std::vector<FolderRec> m_folders;
    std::map<std::u16string, Pending> m_pending;
    std::map<int, std::u16string> m_folderOfWatch;  // watch id -> folder
    uint64_t m_nextRegistration = 0;

    std::set<std::u16string> m_delivering;  // UI thread only
    std::shared_ptr<bool> m_alive;
    QObject* m_target = nullptr;  // message target on the UI thread
    ui::MessageHandle m_handle = 0;
    std::unique_ptr<sys::FileWatch> m_watch;  // while running
    std::thread m_thread;
};
