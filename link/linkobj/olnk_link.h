#pragma once
// The link object: the application-side face of the link to the control
// system.  It holds one file-transfer session, offers the PLC requests
// (IOlnkPL), the debug face (IDbgPLCC), the file-transfer client (IOxfrC),
// the local server shares (IOxfrS) and its own control (IOlnkControl), keeps
// the latest PLC status and pushed data, and turns every reply, push and
// link event into a window message.  Plain C++ without Qt: messages leave
// through an ILinkWindowPoster (link/ui implements it on the framework's
// message bridge).  See docs/link-object.md.

#include "link/oxfr/oxfr.h"

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

// ---- Window messages (the framework's ids; link/ui checks that they agree) -------
// wParam is always the link id given to Open.
constexpr uint32_t WM_LINK_STATE = 0x8000;  // lParam: 0 peer reset, OLNK_LINK_STATE_OWN_RESET, else the link-event code
constexpr uint32_t WM_LINK_RESULT = 0x800A; // lParam: const LinkResultRecord*
constexpr uint32_t WM_LINK_NOTIFY = 0x800B; // lParam: the kind of pushed data
constexpr uint32_t WM_XFER_RESULT = 0x801E; // lParam: const LinkResultRecord*

// The window lists of RegisterWindow: the windows of the first hear of the
// link's resets and events (WM_LINK_STATE), those of the second of the PLC
// status, pushed data and the link's notices (WM_LINK_NOTIFY).
constexpr uint32_t OLNK_LIST_LINK_STATE = 0;
constexpr uint32_t OLNK_LIST_NOTIFY = 1;

// The kind of WM_LINK_NOTIFY (list 1) that says requests got no answer
// within the job time-out: each was ended with OLNK_STATUS_NO_ANSWER.
constexpr std::intptr_t OLNK_NOTIFY_NO_ANSWER = 0x100;
// The kind of WM_LINK_NOTIFY (list 1) that says the control system fell
// silent: no frame came for a while though nothing failed.  What the link
// kept from it no longer reads as current (COlnkLink::ControlSystemSilent).
constexpr std::intptr_t OLNK_NOTIFY_SILENT = 0x101;
// The lParam of WM_LINK_STATE (list 0) when the link, out of step with the
// control system, reset itself and connects again: every request in flight
// has ended with -123, as on a peer reset.
constexpr std::intptr_t OLNK_LINK_STATE_OWN_RESET = 0x100;
// The status of a request that got no answer within the job time-out: the
// status a transfer job ends with when its peer falls silent (134 as i8).
constexpr int8_t OLNK_STATUS_NO_ANSWER = int8_t(OXFR_CONNECTION_ERROR);
// The statuses of requests the link itself ended without an answer: the
// link was reset (by the control system or by itself, -123) or closed (-124).
constexpr int8_t OLNK_STATUS_LINK_RESET = int8_t(OXFR_RESET);
constexpr int8_t OLNK_STATUS_LINK_CLOSED = int8_t(OXFR_CLOSED);
// The job time-out of a new link object.
constexpr uint32_t OLNK_DEFAULT_JOB_TIMEOUT_MS = 30000;

// Codes the link object leaves in the thread's last error.
constexpr uint32_t OLNK_LINK_E_ARG = OLNK_E_INVALIDARG;         // bad block, argument, list full
constexpr uint32_t OLNK_LINK_E_NO_SESSION = OLNK_E_HANDLE;      // no session held
constexpr uint32_t OLNK_LINK_E_NO_SLOT = OLNK_E_TOO_MANY_ASYNC; // all request slots in use
// A request that changes the control system, made after an established
// link was lost and before it is established again: refused at once, never
// held for a later connection.
constexpr uint32_t OLNK_LINK_E_NOT_ESTABLISHED = OLNK_E_RESET;
// A request that changes the control system, made while the control system
// is silent (COlnkLink::ControlSystemSilent): refused at once, so that
// nothing asked then reaches it once it answers again.
constexpr uint32_t OLNK_LINK_E_SILENT = OLNK_E_SILENT;
// A request that lets the PLC run (run, step, wake) while the control
// system has not confirmed the wanted breakpoints
// (COlnkLink::BreakpointsConfirmed): refused once, and the set sent again,
// so that the PLC never runs against breakpoints nobody sees or without
// those the user set; after that refusal the next run goes.  (When the
// link is down or silent the refusal says that.)
constexpr uint32_t OLNK_LINK_E_BRKS_NOT_CONFIRMED = OLNK_E_BRKS_NOT_CONFIRMED;

// Whether a request of this kind (link requests; transfer requests with
// transfer) changes the control system: every PLC request but the reads
// 0, 1, 22, 24, 26, 29 and 30, and the file requests but list, get and
// information.
bool OlnkChangesControlSystem(uint8_t kind, bool transfer = false);
// A request that changes the control system and that the link ended
// without its reply: reset (-123), closed (-124) or unanswered within the
// job time-out (OLNK_STATUS_NO_ANSWER).  It may have reached the control
// system, which may have carried it out: its fate is unknown, and a window
// must not call it failed.
bool OlnkFateUnknown(uint8_t kind, int8_t status, bool transfer = false);
// Whether a link request's result says it failed: a negative status, and
// for the breakpoint requests (kinds 11 to 13, whose success the link
// relies on) any status but 0, since the control system's own failure
// codes may be small positive numbers.
bool OlnkResultFailed(uint8_t kind, int8_t status);

// ---- Records ------------------------------------------------------------------------

// The result of one request, handed with WM_LINK_RESULT or WM_XFER_RESULT.
// It and its data belong to the message: freed after the handler returns.
struct LinkResultRecord
{
    uint32_t linkId = 0;
    uint8_t kind = 0;
    int8_t status = 0;             // 0 success, negative an error
    std::uintptr_t parameter = 0;  // the caller's own value
    const void* data = nullptr;    // a copy, followed by one zero byte
    uint32_t dataLength = 0;       // the received length (padding and zero not counted)
    void* extra = nullptr;         // always null
};

#pragma pack(push, 1)
struct PlcStatusRecord
{
    uint16_t length; // 10 when complete; below 10 the status is unknown
    uint16_t flags;  // 0x01 loading, 0x02 loaded, 0x04 running, 0x08 at a position, 0x10 asleep
    uint32_t index;  // 1-based listing index, valid with 0x08
    uint16_t reserved;
};
static_assert(sizeof(PlcStatusRecord) == 10);

struct FileListRecord
{
    uint16_t length; // 554
    uint32_t folder; // the wire flag: 0x10 folder, 0 file, 1 share
    uint16_t dosTime;
    uint16_t dosDate;
    uint32_t size;
    char16_t shortName[14];
    char16_t name[256];
};
#pragma pack(pop)
static_assert(sizeof(FileListRecord) == 554);
static_assert(offsetof(FileListRecord, length) == 0);
static_assert(offsetof(FileListRecord, folder) == 2);
static_assert(offsetof(FileListRecord, dosTime) == 6);
static_assert(offsetof(FileListRecord, dosDate) == 8);
static_assert(offsetof(FileListRecord, size) == 10);
static_assert(offsetof(FileListRecord, shortName) == 14);
static_assert(offsetof(FileListRecord, name) == 42);

// Job progress (one signature for every job): non-zero stops the job.  The
// context is the request's parameter.  Runs on the job's thread and must
// never wait for the user-interface thread.
using LinkProgress = int (*)(uint32_t job, std::uintptr_t context, uint32_t done, uint32_t total);

// ---- Posting --------------------------------------------------------------------------

// What travels with a message and is freed after its handler (or at once
// when the message is dropped).
class LinkMessageRecord
{
public:
    virtual ~LinkMessageRecord() = default;
};

// The owner of one LinkResultRecord and its data.  Its destructor deletes a
// listing file that still exists.
class LinkResultMessage : public LinkMessageRecord
{
public:
    LinkResultRecord record;
    std::unique_ptr<uint8_t[]> storage;
    std::string listingFile; // native path of a listing file to delete
    ~LinkResultMessage() override;
};

// Posts a message to a window target handle without blocking.  The record,
// when given, is owned by the message; false when the target is gone (the
// record is then freed at once).
class ILinkWindowPoster
{
public:
    virtual ~ILinkWindowPoster() = default;
    virtual bool Post(uint32_t target, uint32_t message, std::uintptr_t wParam, std::intptr_t lParam,
                      std::unique_ptr<LinkMessageRecord> record) = 0;
};

// A window object: gives its message-target handle.
class ILinkWindow
{
public:
    virtual ~ILinkWindow() = default;
    virtual uint32_t MessageTarget() const = 0;
};

// ---- Interfaces -------------------------------------------------------------------------

constexpr uint32_t OLNK_IID_PL = 0;
constexpr uint32_t OLNK_IID_DBGPLCC = 1;
constexpr uint32_t OLNK_IID_OXFRC = 2;
constexpr uint32_t OLNK_IID_OXFRS = 258;

class IOlnkControl
{
public:
    virtual ~IOlnkControl() = default;
    // The interface for ids 0, 1, 2 and 258 (cast to IOlnkPL*, IDbgPLCC*,
    // IOxfrC*, IOxfrS*), else null.
    virtual void* Query(uint32_t interfaceId) = 0;
    virtual int Open(uint32_t linkId, const char16_t* connectionString, uint32_t timeoutMs) = 0;
    virtual int InitInterface(uint16_t interfaceId) = 0;
    virtual int Start() = 0;
    virtual int Close() = 0;
    virtual int RegisterWindow(ILinkWindow* window, uint32_t list) = 0;
    virtual int RegisterWindow(uint32_t window, uint32_t list) = 0;
    virtual int UnregisterWindow(ILinkWindow* window, uint32_t list) = 0;
    virtual int UnregisterWindow(uint32_t window, uint32_t list) = 0;
    virtual int CancelJob(uint32_t job) = 0;
};

// Records the local reads fill.
#pragma pack(push, 1)
struct MechStateRecord
{
    uint8_t running;
    uint32_t index;
};
struct LineRegsRecord
{
    uint8_t activity;
    uint8_t rlo;
    int32_t dr;
};
#pragma pack(pop)
static_assert(sizeof(MechStateRecord) == 5 && sizeof(LineRegsRecord) == 6);

// Sending operations take (window, parameter, ...) and return 1 when the
// request was sent, 0 when refused (last error set).  Local operations
// return an i8, negative when nothing valid is held.
class IOlnkPL
{
public:
    virtual ~IOlnkPL() = default;
    virtual int GetStatus(uint32_t window, std::uintptr_t param) = 0;                  // 0
    virtual int GetPLCInfo(uint32_t window, std::uintptr_t param) = 0;                 // 1
    virtual int GetPLCInfoEx(uint32_t window, std::uintptr_t param) = 0;               // 2
    virtual int TransferPLC(uint32_t window, std::uintptr_t context, LinkProgress progress,
                            uint32_t* job, uint32_t length, const void* data) = 0;     // 3
    virtual int ClearPLC(uint32_t window, std::uintptr_t param) = 0;                   // 4
    virtual int SleepPLC(uint32_t window, std::uintptr_t param) = 0;                   // 5
    virtual int WakePLC(uint32_t window, std::uintptr_t param) = 0;                    // 6
    virtual int RunPLC(uint32_t window, std::uintptr_t param) = 0;                     // 7
    virtual int StopPLC(uint32_t window, std::uintptr_t param) = 0;                    // 8
    virtual int BreakPLC(uint32_t window, std::uintptr_t param) = 0;                   // 9
    virtual int StepPLC(uint32_t window, std::uintptr_t param) = 0;                    // 10
    virtual int BackupPLC(uint32_t window, std::uintptr_t param, uint32_t kind) = 0;   // 11
    // record {u16 10, u32 listing index, u32 1 set / 0 clear}
    virtual int SetBrkAtLine(uint32_t window, std::uintptr_t param, const void* record) = 0; // 12
    // block {u16 4 + 4n, u16 n, n x u32 listing index}
    virtual int SetBrksAtLine(uint32_t window, std::uintptr_t param, const void* block) = 0; // 13
    virtual int ClearBrks(uint32_t window, std::uintptr_t param) = 0;                   // 14
    virtual int8_t GetBrkState(uint32_t index) = 0;                                     // 15
    virtual int Reserved16() = 0;                                                       // 16
    virtual int Reserved17() = 0;                                                       // 17
    virtual int SetWatchPeriod(uint32_t window, std::uintptr_t param, uint32_t periodMs,
                               int sendNow) = 0;                                        // 18
    virtual int AddWatch(uint32_t window, std::uintptr_t param, uint16_t area, uint32_t address,
                         uint32_t size, int sendNow) = 0;                               // 19
    virtual int RemoveWatch(uint32_t window, std::uintptr_t param, uint16_t area, uint32_t address,
                            uint32_t size, int sendNow) = 0;                            // 20
    virtual int CommitWatch(uint32_t window, std::uintptr_t param) = 0;                 // 21
    virtual int8_t GetWatchValue(uint16_t area, uint32_t address, uint32_t count, void* out,
                                 uint32_t outSize) = 0;                                 // 22
    virtual int SetWatchMechPeriod(uint32_t window, std::uintptr_t param, uint32_t periodMs,
                                   int sendNow) = 0;                                    // 23
    virtual int AddWatchMech(uint32_t window, std::uintptr_t param, uint16_t number,
                             uint32_t address, int sendNow) = 0;                        // 24
    virtual int RemoveWatchMech(uint32_t window, std::uintptr_t param, uint16_t number,
                                uint32_t address, int sendNow) = 0;                     // 25
    virtual int CommitWatchMech(uint32_t window, std::uintptr_t param) = 0;             // 26
    virtual int8_t GetWatchMechState(uint16_t number, uint32_t address, MechStateRecord* out) = 0; // 27
    virtual int Reserved28() = 0;                                                       // 28
    virtual int Reserved29() = 0;                                                       // 29
    virtual int SetWatchRegsOnLinePeriod(uint32_t window, std::uintptr_t param, uint32_t periodMs,
                                         int sendNow) = 0;                              // 30
    virtual int AddWatchRegsOnLine(uint32_t window, std::uintptr_t param, uint32_t index,
                                   int sendNow) = 0;                                    // 31
    virtual int RemoveWatchRegsOnLine(uint32_t window, std::uintptr_t param, uint32_t index,
                                      int sendNow) = 0;                                 // 32
    virtual int CommitWatchRegsOnLine(uint32_t window, std::uintptr_t param) = 0;       // 33
    virtual int8_t GetWatchRegsOnLine(uint32_t index, LineRegsRecord* out) = 0;         // 34
    virtual int Reserved35() = 0;                                                       // 35
    virtual int Reserved36() = 0;                                                       // 36
    // {u16 10, u32 address, u16 area, u16 size}
    virtual int GetVar(uint32_t window, std::uintptr_t param, const void* record) = 0;  // 37
    // {u16 10 + size, u32 address, u16 area, u16 size, value}
    virtual int SetVar(uint32_t window, std::uintptr_t param, const void* record) = 0;  // 38
    // {u32 address, u16 area, u8 bit values, u8 mask}
    virtual int SetVarBits(uint32_t window, std::uintptr_t param, const void* record) = 0; // 39
    // {u16 6 + 6n, u16 unused, u16 n, n x {u32 address, u16 number}}
    virtual int GetMech(uint32_t window, std::uintptr_t param, const void* record) = 0; // 40
    // {u16 9, u32 address, u16 number, u8 run}
    virtual int SetMech(uint32_t window, std::uintptr_t param, const void* record) = 0; // 41
    virtual int GetRegs(uint32_t window, std::uintptr_t param) = 0;                     // 42
    // {u16 6 + 4n, u16 unused, u16 n, n x u32 listing index}
    virtual int GetRegsOnLine(uint32_t window, std::uintptr_t param, const void* record) = 0; // 43
    virtual int SetRegs(uint32_t window, std::uintptr_t param, uint8_t rlo, int32_t dr) = 0; // 44
    virtual int Reserved45() = 0;                                                       // 45

    // Local copies the PLC command dialog needs.
    virtual bool GetLastStatus(PlcStatusRecord* out) = 0;
    virtual bool GetLastPLCInfo(bool extended, void* buffer, uint32_t capacity, uint32_t* length) = 0;
};

class IDbgPLCC
{
public:
    virtual ~IDbgPLCC() = default;
};

// Remote paths travel in code page 1250 (more than 259 bytes fail with 555);
// local paths use the native path conversion.  Results: WM_XFER_RESULT.
class IOxfrC
{
public:
    virtual ~IOxfrC() = default;
    virtual int Copy(uint32_t window, std::uintptr_t param, const char16_t* source,
                     const char16_t* destination) = 0;
    virtual int CreateDir(uint32_t window, std::uintptr_t param, const char16_t* path) = 0;
    virtual int Delete(uint32_t window, std::uintptr_t param, const char16_t* path) = 0;
    virtual int List(uint32_t window, std::uintptr_t param, LinkProgress progress, uint32_t* job,
                     const char16_t* pattern) = 0;
    virtual int Get(uint32_t window, std::uintptr_t param, LinkProgress progress, uint32_t* job,
                    const char16_t* remotePath, const char16_t* localPath) = 0;
    virtual int GetFileInfo(uint32_t window, std::uintptr_t param, const char16_t* path) = 0;
    virtual int Put(uint32_t window, std::uintptr_t param, LinkProgress progress, uint32_t* job,
                    const char16_t* localPath, const char16_t* remotePath) = 0;
    virtual int RemoveDir(uint32_t window, std::uintptr_t param, const char16_t* path) = 0;
    virtual int Move(uint32_t window, std::uintptr_t param, const char16_t* source,
                     const char16_t* destination) = 0;
    // Get into the entry `localName` (one component, native conversion) of
    // the open folder `localFolder` (the caller keeps the descriptor):
    // nothing is followed at the name, a symbolic link there fails (0, ELOOP
    // in the last error).  The writer of transfers below a chosen folder.
    virtual int GetInto(uint32_t window, std::uintptr_t param, LinkProgress progress, uint32_t* job,
                        const char16_t* remotePath, int localFolder, const char16_t* localName) = 0;
};

class IOxfrS
{
public:
    virtual ~IOxfrS() = default;
    virtual int AddShare(const char16_t* directory, const char16_t* name, uint32_t access) = 0;
    virtual int RemoveShare(const char16_t* name) = 0;
    virtual int GetShareCount() = 0;
    virtual int GetShares(OxfrShareW* shares, uint32_t capacity) = 0;
};

// ---- The link object ----------------------------------------------------------------------

namespace linkobj {
struct Impl;
class XferClient;
class LinkStatistics;
}

class COlnkLink : public IOlnkControl,
                  public IOlnkPL,
                  public IDbgPLCC,
                  public IOxfrC,
                  public IOxfrS
{
public:
    explicit COlnkLink(ILinkWindowPoster* poster);
    ~COlnkLink() override;
    COlnkLink(const COlnkLink&) = delete;
    COlnkLink& operator=(const COlnkLink&) = delete;

    // IOlnkControl
    void* Query(uint32_t interfaceId) override;
    int Open(uint32_t linkId, const char16_t* connectionString, uint32_t timeoutMs) override;
    int InitInterface(uint16_t interfaceId) override;
    int Start() override;
    int Close() override;
    int RegisterWindow(ILinkWindow* window, uint32_t list) override;
    int RegisterWindow(uint32_t window, uint32_t list) override;
    int UnregisterWindow(ILinkWindow* window, uint32_t list) override;
    int UnregisterWindow(uint32_t window, uint32_t list) override;
    int CancelJob(uint32_t job) override;

    // Plain operations.
    bool GetStatistics(OlnkStatistics* record);
    bool IsOpen();
    bool IsConnected();
    bool IsEstablished();
    // The link was established since Open and is not now: lost, and not
    // established again yet (a request that changes the control system is
    // refused with OLNK_LINK_E_NOT_ESTABLISHED meanwhile).
    bool LinkDown();
    // The link is established but the control system has sent no frame for
    // linkobj::kSilenceLimit: killed or stopped without a word.  Until it
    // answers again the status is unknown and the pushed values read
    // OLNK_STATUS_NO_ANSWER (docs/link-object.md, "Silent control system").
    bool ControlSystemSilent();
    // The control system confirmed the wanted breakpoints (the set of the
    // latest SetBrkAtLine, SetBrksAtLine or ClearBrks): a reply with status
    // 0 to a request that carried them.  Until then the link sends the
    // wanted set at every return of the link and after a reply that did not
    // confirm it, and a run, a step or a wake waits for it
    // (docs/link-object.md, "Breakpoints").
    bool BreakpointsConfirmed();
    uint32_t GetLinkId();
    uint64_t IgnoredReplies() const;
    // The job time-out: the longest wait of a transfer job for its peer, and
    // of any other request for its reply (at least 1 ms; kept across Close
    // and Open).  A request without a reply by then ends with
    // OLNK_STATUS_NO_ANSWER.
    void SetJobTimeout(uint32_t ms);
    uint32_t JobTimeout() const;
    // Requests ended because no reply came within the job time-out.
    uint64_t UnansweredRequests() const;
    // Before the link is closed for good: when the link is established,
    // asks the control system to end the watch lists this link set (the
    // watches, the mechanism watches and the registers on lines; each an
    // empty list) and waits at most waitMs for their replies, so that it
    // pushes nothing more to a port nobody reads.  The link's own lists
    // stay; a later commit sends them again.  The wanted breakpoints that
    // the control system has not confirmed go too, and their replies are
    // waited for alike.  Returns the lists ended.
    int EndWatches(uint32_t waitMs);

    // IOlnkPL
    int GetStatus(uint32_t window, std::uintptr_t param) override;
    int GetPLCInfo(uint32_t window, std::uintptr_t param) override;
    int GetPLCInfoEx(uint32_t window, std::uintptr_t param) override;
    int TransferPLC(uint32_t window, std::uintptr_t context, LinkProgress progress, uint32_t* job,
                    uint32_t length, const void* data) override;
    int ClearPLC(uint32_t window, std::uintptr_t param) override;
    int SleepPLC(uint32_t window, std::uintptr_t param) override;
    int WakePLC(uint32_t window, std::uintptr_t param) override;
    int RunPLC(uint32_t window, std::uintptr_t param) override;
    int StopPLC(uint32_t window, std::uintptr_t param) override;
    int BreakPLC(uint32_t window, std::uintptr_t param) override;
    int StepPLC(uint32_t window, std::uintptr_t param) override;
    int BackupPLC(uint32_t window, std::uintptr_t param, uint32_t kind) override;
    int SetBrkAtLine(uint32_t window, std::uintptr_t param, const void* record) override;
    int SetBrksAtLine(uint32_t window, std::uintptr_t param, const void* block) override;
    int ClearBrks(uint32_t window, std::uintptr_t param) override;
    int8_t GetBrkState(uint32_t index) override;
    int Reserved16() override { return 1; }
    int Reserved17() override { return 1; }
    int SetWatchPeriod(uint32_t window, std::uintptr_t param, uint32_t periodMs, int sendNow) override;
    int AddWatch(uint32_t window, std::uintptr_t param, uint16_t area, uint32_t address,
                 uint32_t size, int sendNow) override;
    int RemoveWatch(uint32_t window, std::uintptr_t param, uint16_t area, uint32_t address,
                    uint32_t size, int sendNow) override;
    int CommitWatch(uint32_t window, std::uintptr_t param) override;
    int8_t GetWatchValue(uint16_t area, uint32_t address, uint32_t count, void* out,
                         uint32_t outSize) override;
    int SetWatchMechPeriod(uint32_t window, std::uintptr_t param, uint32_t periodMs, int sendNow) override;
    int AddWatchMech(uint32_t window, std::uintptr_t param, uint16_t number, uint32_t address,
                     int sendNow) override;
    int RemoveWatchMech(uint32_t window, std::uintptr_t param, uint16_t number, uint32_t address,
                        int sendNow) override;
    int CommitWatchMech(uint32_t window, std::uintptr_t param) override;
    int8_t GetWatchMechState(uint16_t number, uint32_t address, MechStateRecord* out) override;
    int Reserved28() override { return 0; }
    int Reserved29() override { return 0; }
    int SetWatchRegsOnLinePeriod(uint32_t window, std::uintptr_t param, uint32_t periodMs,
                                 int sendNow) override;
    int AddWatchRegsOnLine(uint32_t window, std::uintptr_t param, uint32_t index, int sendNow) override;
    int RemoveWatchRegsOnLine(uint32_t window, std::uintptr_t param, uint32_t index, int sendNow) override;
    int CommitWatchRegsOnLine(uint32_t window, std::uintptr_t param) override;
    int8_t GetWatchRegsOnLine(uint32_t index, LineRegsRecord* out) override;
    int Reserved35() override { return 0; }
    int Reserved36() override { return 0; }
    int GetVar(uint32_t window, std::uintptr_t param, const void* record) override;
    int SetVar(uint32_t window, std::uintptr_t param, const void* record) override;
    int SetVarBits(uint32_t window, std::uintptr_t param, const void* record) override;
    int GetMech(uint32_t window, std::uintptr_t param, const void* record) override;
    int SetMech(uint32_t window, std::uintptr_t param, const void* record) override;
    int GetRegs(uint32_t window, std::uintptr_t param) override;
    int GetRegsOnLine(uint32_t window, std::uintptr_t param, const void* record) override;
    int SetRegs(uint32_t window, std::uintptr_t param, uint8_t rlo, int32_t dr) override;
    int Reserved45() override { return 0; }
    bool GetLastStatus(PlcStatusRecord* out) override;
    bool GetLastPLCInfo(bool extended, void* buffer, uint32_t capacity, uint32_t* length) override;

    // IOxfrC
    int Copy(uint32_t window, std::uintptr_t param, const char16_t* source,
             const char16_t* destination) override;
    int CreateDir(uint32_t window, std::uintptr_t param, const char16_t* path) override;
    int Delete(uint32_t window, std::uintptr_t param, const char16_t* path) override;
    int List(uint32_t window, std::uintptr_t param, LinkProgress progress, uint32_t* job,
             const char16_t* pattern) override;
    int Get(uint32_t window, std::uintptr_t param, LinkProgress progress, uint32_t* job,
            const char16_t* remotePath, const char16_t* localPath) override;
    int GetInto(uint32_t window, std::uintptr_t param, LinkProgress progress, uint32_t* job,
                const char16_t* remotePath, int localFolder, const char16_t* localName) override;
    int GetFileInfo(uint32_t window, std::uintptr_t param, const char16_t* path) override;
    int Put(uint32_t window, std::uintptr_t param, LinkProgress progress, uint32_t* job,
            const char16_t* localPath, const char16_t* remotePath) override;
    int RemoveDir(uint32_t window, std::uintptr_t param, const char16_t* path) override;
    int Move(uint32_t window, std::uintptr_t param, const char16_t* source,
             const char16_t* destination) override;

    // IOxfrS
    int AddShare(const char16_t* directory, const char16_t* name, uint32_t access) override;
    int RemoveShare(const char16_t* name) override;
    int GetShareCount() override;
    int GetShares(OxfrShareW* shares, uint32_t capacity) override;

private:
    std::unique_ptr<linkobj::Impl> d;
    std::unique_ptr<linkobj::XferClient> m_xfer; // IOxfrC and IOxfrS (olnk_link_xfer.h)
    linkobj::LinkStatistics* m_stats;            // counters and time-out, held by d (olnk_link_stats.h)
};
