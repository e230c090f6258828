#pragma once
// The file-operation engine: copy, move, delete or create a folder, each
// side being the local file system or the control system's (reached
// through a link object's IOxfrC).  It walks the folder trees, creates the
// target folders, transfers or deletes each file and hands every failure
// as one text line to the caller's callback.  Remote requests answer with
// WM_XFER_RESULT to the engine's own bridge target; local work runs in
// slices of about 50 ms on the user-interface thread.  It needs no window:
// CFileOpDlg shows what it reports.  See docs/link-windows.md.

#include "link/linkobj/olnk_link.h"
#include "platform/sys/Beneath.h"
#include "platform/sys/LocalFiles.h"
#include "platform/ui/Messages.h"

#include <QElapsedTimer>
#include <QObject>

class QTimer;

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace linkui {

using FileOpErrorCallback = void (*)(std::u16string_view line, void* argument);

struct FileOpItem
{
    std::u16string source; // full path on the source side
    std::u16string target; // full path on the target side (empty for delete)
    int kind = 0;          // 0 not known (or unusable), 1 folder, 2 file
    uint64_t total = 0;
    uint64_t done = 0;
    bool finished = false;
    bool inProgress = false;
    uint32_t job = 0;
    // A file whose own bytes reached its target, and no later file of the
    // operation wrote to the same target: only such a source may a move
    // delete.
    bool delivered = false;
};

// What the engine reports.
class FileOpObserver
{
public:
    virtual ~FileOpObserver() = default;
    virtual void OnCaption(const std::u16string&) {}
    virtual void OnHeadline(const std::u16string&) {}
    virtual void OnCurrentItem(const std::u16string&) {}
    virtual void OnProgress(uint64_t /*total*/, uint64_t /*done*/) {}
    virtual void OnEnd(bool /*ok*/) {}
};

class FileOpEngine
{
public:
    enum Operation
    {
        OpNone = 0,
        OpCopy = 1,
        OpCreateDir = 2,
        OpDelete = 3,
        OpMove = 4,
    };
    // What the operation does now (GetPhase).
    enum Phase
    {
        PhaseNone = 0,
        PhaseScan = 1,          // the sources listed (remote) or read (local)
        PhaseFolders = 2,       // the target's folders made
        PhaseLocalToLocal = 3,  // files copied or moved on this computer
        PhasePut = 4,           // files sent to the control system
        PhaseGet = 5,           // files fetched from the control system
        PhaseRemoteToRemote = 6 // files copied or moved on the control system (requests, no jobs)
    };

    explicit FileOpEngine(FileOpObserver* observer = nullptr);
    ~FileOpEngine();
    FileOpEngine(const FileOpEngine&) = delete;
    FileOpEngine& operator=(const FileOpEngine&) = delete;

    // Set-up (resets the engine).  targetNames may be null.
    void SetupCopy(IOxfrC* link, std::u16string_view sourceFolder, std::u16string_view targetFolder,
                   const std::u16string* names, const std::u16string* targetNames, int count,
                   void* argument, FileOpErrorCallback callback);
    void SetupMove(IOxfrC* link, std::u16string_view sourceFolder, std::u16string_view targetFolder,
                   const std::u16string* names, const std::u16string* targetNames, int count,
                   void* argument, FileOpErrorCallback callback);
    void SetupDelete(IOxfrC* link, std::u16string_view folder, const std::u16string* names, int count,
                     void* argument, FileOpErrorCallback callback);
    void SetupCreateDir(IOxfrC* link, std::u16string_view path, void* argument, FileOpErrorCallback callback);

    // Starts the work; the end is reported to the observer.
    void Start();
    // Storno: the line "Operace byla stornována uživatelem...", running
    // jobs cancelled, the end with Cancel.
    void Cancel();

    bool Running() const { return m_started && !m_ended; }
    bool Ended() const { return m_ended; }
    bool Succeeded() const { return m_ended && m_endOk; }

    // Read access (the dialog, tests).
    ui::MessageHandle Target() const { return m_target; }
    int GetOperation() const { return m_operation; }
    int GetPhase() const { return m_phase; }
    const std::vector<FileOpItem>& Items() const { return m_items; }
    const std::u16string& Caption() const { return m_caption; }
    const std::u16string& Headline() const { return m_headline; }
    const std::u16string& CurrentItem() const { return m_current; }
    uint64_t TotalSum() const;

    // The length of a slice of local work (about 50 ms; tests shorten it
    // to see the work between slices).
    void SetSliceMilliseconds(int ms) { m_sliceMs = ms; }
    uint64_t DoneSum() const;

private:
    enum class Stage
    {
        Idle,
        Scan,
        Folders,
        Transfer,
        Delete,
    };
    enum class LocalTask
    {
        None,
        Scan,
        Folders,
        Transfer,
        Delete,
    };

    void Reset();
    void SetupTwoSided(int op, IOxfrC* link, std::u16string_view sourceFolder, std::u16string_view targetFolder,
                       const std::u16string* names, const std::u16string* targetNames, int count,
                       void* argument, FileOpErrorCallback callback);
    intptr_t OnMessage(uint32_t msg, uintptr_t wParam, intptr_t lParam);
    void OnResult(const LinkResultRecord& r);
    void OnLinkState();

    void Error(std::u16string_view format, std::u16string_view arg = {}, std::u16string_view arg2 = {});
    // A name from the control system that is no plain name (or a local
    // path outside the operation's folder): the line, and the operation
    // fails.
    void RefuseName(std::u16string_view nameOrPath);
    // The item's local target (or source) lies inside the operation's local
    // target (or source) folder, and its path relative to that folder
    // (native); otherwise it is refused and finished.
    bool LocalRelative(FileOpItem& item, bool target, std::string& relative);
    // The chosen folders opened as the roots of the local work below them
    // (on first use; -1 when they cannot be opened, and every step below
    // then fails).  No step below a root follows a symbolic link.
    int TargetRoot();
    int SourceRoot();
    // A target entry that is a symbolic link: its own line, the item
    // finished; a folder's path is remembered so that nothing below it is
    // tried (the folder's line covers them).
    void RefuseLink(FileOpItem& item);
    bool BelowRefusedFolder(const FileOpItem& item) const;
    // The line of a local write that failed with errno `err`: the link
    // line, the bad-name line for a name the file system cannot take, or
    // `otherwise`.
    void LocalWriteFailed(FileOpItem& item, int err, std::u16string_view otherwise, std::u16string_view arg);
    // A remote request that could not be started, with the link's last
    // error `err`: a path beyond the control system's length limit gets
    // the line that says so (the first of `path` and `second` that is too
    // long), any other refusal `otherwise` with `arg`.  The operation fails.
    void RequestRefused(uint32_t err, std::u16string_view otherwise, std::u16string_view arg,
                        std::u16string_view path, std::u16string_view second = {});
    // A transfer that failed on the local side before anything was sent
    // (the link could not open or create the local file `path`): "Nepodařilo
    // se přenést soubor" with the local path and a line with the cause.
    void LocalSideFailed(FileOpItem& item, std::u16string_view path, uint32_t err);
    // Why a local name (plain: a name of its own, without "\") cannot go to
    // the control system: the string id of the line, or 0 when it can.
    static unsigned NotForControlSystem(std::u16string_view name, bool plain);
    // The last error of a link call that failed (0 without a link).
    uint32_t LastLinkError() const;
    void SetHeadline(std::u16string text);
    void SetCurrent(std::u16string text);
    void NoteProgress();
    void EmitProgress();
    void End(bool ok);

    std::uintptr_t Param(size_t index) const;
    char16_t SourceSep() const { return m_sourceRemote ? u'\\' : u'/'; }
    char16_t TargetSep() const { return m_targetRemote ? u'\\' : u'/'; }
    void AppendChild(const FileOpItem& parent, std::u16string_view name, bool folder, uint64_t size,
                     bool checkLocalFile);
    bool ClassifyLocalFile(FileOpItem& item, const sys::LocalEntry& entry);

    // Local work in slices.
    void ScheduleLocal(LocalTask task);
    void RunLocalSlice();
    bool LocalScanUnit();
    bool LocalFolderUnit();
    bool LocalTransferUnit();
    bool LocalDeleteUnit();

    // Remote steps and the stages.
    bool RemoteScanStep();
    void ScanComplete();
    void StartFolders();
    void RemoteFolderStep();
    void StartTransfer();
    void TransferStep();
    void StartDelete();
    void RemoteDeleteStep();
    bool DeleteEligible(const FileOpItem& item) const;

    // Two entries of one operation that the control system would hold as
    // one (its names compared in its code page, without regard to case):
    // each is refused before anything is sent, named with the others, and
    // nothing below a refused folder goes.
    void RefuseCollisions();
    // The target as the target side tells entries apart.
    std::u16string TargetKey(const FileOpItem& item) const;
    // A file's bytes reached its target; an earlier file of the operation
    // that went to the same target is no longer delivered.
    void Landed(size_t index);

    // The link object holds the control system silent, or the link was
    // established since it was opened (or a request of this operation ended
    // because the link failed) and is not established now.  Only a link
    // object can tell; another face never is.
    bool LinkGone();
    // Every item still waiting in the current stage ends at once, named as
    // not copied (or not deleted).
    void EndWaiting();
    // The notice of a silent control system: what runs and what waits ends.
    void OnSilent();

    void ReadListing(size_t index, const char16_t* file);

    FileOpObserver* m_observer;
    QObject m_ctx;
    ui::MessageHandle m_target = 0;

    IOxfrC* m_link = nullptr;
    IOlnkControl* m_control = nullptr;
    COlnkLink* m_object = nullptr; // the link object behind m_link, if it is one
    bool m_registered = false;
    bool m_registeredForPushes = false; // on the link's list of pushed data and notices (OLNK_LIST_NOTIFY)
    bool m_linkFailed = false; // a request of this operation ended because the link failed
    std::map<std::u16string, size_t> m_landed; // target key -> the file whose bytes are there
    int m_operation = OpNone;
    Phase m_phase = PhaseNone;
    std::u16string m_folderPath, m_sourceFolder, m_targetFolder;
    bool m_sourceRemote = false, m_targetRemote = false;
    void* m_argument = nullptr;
    FileOpErrorCallback m_callback = nullptr;
    std::vector<FileOpItem> m_items;
    std::vector<std::u16string> m_rejected; // set-up names refused at the start
    std::vector<std::pair<unsigned, std::u16string>> m_refusedTargets; // (why, source) of local names
    bool m_success = true;
    bool m_cancelled = false;
    int m_requests = 0;
    int m_jobs = 0;
    bool m_started = false, m_ended = false, m_endOk = false;
    Stage m_stage = Stage::Idle;
    bool m_foldersOnly = false; // the delete stage removes emptied folders only

    std::u16string m_caption, m_headline, m_current;

    LocalTask m_task = LocalTask::None;
    QTimer* m_sliceTimer = nullptr; // owned by m_ctx
    int m_sliceMs = 50;
    size_t m_cursor = 0;
    sys::LocalFileCopy m_copy;
    sys::OwnedFd m_targetRoot, m_sourceRoot;
    bool m_targetRootTried = false, m_sourceRootTried = false;
    std::vector<std::string> m_refusedFolders; // native target paths of refused folders
    bool m_copying = false;

    QElapsedTimer m_progressClock;
    bool m_progressPending = false;
};

// "%s" in `format` replaced by the arguments in order.
std::u16string FormatLine(std::u16string_view format, std::u16string_view a = {}, std::u16string_view b = {});

} // namespace linkui
