#pragma once
// The state behind COlnkLink: its request slots and their posting, the
// request table with the refusal of changes while the link is down
// (olnk_link_requests.cpp), and the callbacks of its session
// (olnk_link_callbacks.cpp).  Shared by the files of the link object
// only.  No Qt.  See docs/link-object.md.

#include "link/linkobj/olnk_link.h"
#include "link/linkobj/olnk_link_brks.h"
#include "link/linkobj/olnk_link_logic.h"
#include "link/linkobj/olnk_link_silence.h"
#include "link/linkobj/olnk_link_stats.h"
#include "link/linkobj/olnk_link_xfer.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <vector>

namespace linkobj {

constexpr size_t kSlots = 256;
constexpr int8_t kStatusMalformed = int8_t(OXFR_STREAM_ERROR); // -120
constexpr int8_t kStatusReset = int8_t(OXFR_RESET);            // -123
constexpr int8_t kStatusClosed = int8_t(OXFR_CLOSED);          // -124
// How often the session's idle call looks for requests past their time-out.
constexpr auto kSweepPeriod = std::chrono::milliseconds(50);

using Clock = std::chrono::steady_clock;

enum class Family : uint8_t
{
    Link,
    Xfer
};
enum class SlotState : uint8_t
{
    Free,
    Sending,
    Waiting
};

struct Slot
{
    SlotState state = SlotState::Free;
    Family family = Family::Link;
    uint8_t code = 0;
    bool byJob = false;
    uint32_t window = 0;
    std::uintptr_t param = 0;
    uint32_t taken = 0; // times the slot was taken
    uint32_t wire = 0;  // index + 256 x taken
    Clock::time_point deadline; // a request not carried by a job ends without reply then
    Bytes block;        // the list block a list request sent
    std::vector<uint32_t> indices; // the breakpoint set a code-12 request sent
    uint64_t brkNumber = 0;        // a breakpoint request's number (BreakpointSync::Sent); 0 none
};

struct Post
{
    uint32_t target;
    uint32_t message;
    std::uintptr_t wParam;
    std::intptr_t lParam;
    std::unique_ptr<LinkMessageRecord> record;
};

// Notices of pushed data (watch values, line registers, mechanisms) that a
// window has not handled yet.  The window reads the latest data the link
// keeps, so one notice of a kind waiting for a window is enough: while it
// waits, pushes of that kind post nothing more, and the notice's record,
// freed after the handler, sends one more when pushes came meanwhile.
// Otherwise a window slower than the pushes (a busy machine, a long watch
// list) falls further behind with every push, and its thread handles
// nothing else.  Outlives the link: records may be freed after it.
struct NoticeGate
{
    std::mutex m;
    ILinkWindowPoster* poster = nullptr; // null once the link is gone
    std::uintptr_t linkId = 0;
    struct Waiting
    {
        uint32_t target;
        std::intptr_t kind;
        bool again; // a push came while the notice waited
    };
    std::vector<Waiting> waiting;
    // The notice of kind waiting for target; the caller holds m.
    std::vector<Waiting>::iterator Find(uint32_t target, std::intptr_t kind)
    {
        return std::find_if(waiting.begin(), waiting.end(),
                            [&](const Waiting& w) { return w.target == target && w.kind == kind; });
    }
};

class NoticeRecord final : public LinkMessageRecord
{
public:
    NoticeRecord(std::shared_ptr<NoticeGate> gate, uint32_t target, std::intptr_t kind)
        : m_gate(std::move(gate)), m_target(target), m_kind(kind)
    {
    }
    ~NoticeRecord() override
    {
        ILinkWindowPoster* poster = nullptr;
        std::uintptr_t linkId = 0;
        {
            std::lock_guard<std::mutex> g(m_gate->m);
            const auto it = m_gate->Find(m_target, m_kind);
            if (it == m_gate->waiting.end())
                return;
            if (!it->again || !m_gate->poster) {
                m_gate->waiting.erase(it);
                return;
            }
            it->again = false;
            poster = m_gate->poster;
            linkId = m_gate->linkId;
        }
        // Outside the lock: a poster that drops the message frees the new
        // record at once, and its destructor ends the wait.
        poster->Post(m_target, WM_LINK_NOTIFY, linkId, m_kind, std::make_unique<NoticeRecord>(m_gate, m_target, m_kind));
    }

private:
    std::shared_ptr<NoticeGate> m_gate;
    uint32_t m_target;
    std::intptr_t m_kind;
};

struct Impl final : XferHost
{
    COlnkLink* self;
    ILinkWindowPoster* poster;

    std::mutex m;
    std::condition_variable cv;
    OxfrSession session = nullptr;
    bool opening = false;
    int users = 0; // calls into the session in progress
    bool connected = false;
    uint32_t linkId = 0;
    bool buffersReady = false;
    std::vector<uint32_t> lists[2];
    std::array<Slot, kSlots> slots;
    size_t nextSlot = 0;
    LinkStatistics stats{*this}; // the counters and the job time-out
    std::atomic<int64_t> lastSweep{0}; // steady clock ticks of the latest sweep

    PlcStatusRecord status{};
    bool statusReread = false; // the link was reset: read the status once it is up again
    bool upSeen = false;       // the link was established since Open
    SilenceWatch silence;      // whether the control system still sends frames
    std::optional<Bytes> info1, info30;

    // The breakpoints wanted (the user's set) and what the control system
    // confirmed; the link sends the wanted set until it is confirmed.
    BreakpointSync brk;
    std::optional<uint32_t> brkLatest;     // wire number of the latest code-12 request
    std::vector<uint32_t> brkLatestSet;    // the set it sent
    std::vector<uint32_t> brkReplySet;     // the set the stored reply answered
    std::vector<int8_t> brkReplyStates;
    bool brkReplyHeld = false;

    std::vector<WatchEntry> watch;
    uint32_t watchPeriod = 0;
    std::vector<WatchEntry> watchSent; // merged, all of them
    PushState watchPush;

    std::vector<MechEntry> mech;
    uint32_t mechPeriod = 0;
    std::vector<MechEntry> mechSent;
    PushState mechPush;

    std::vector<uint32_t> lines;
    uint32_t linePeriod = 0;
    std::vector<uint32_t> lineSent;
    PushState linePush;

    Impl(COlnkLink* s, ILinkWindowPoster* p) : self(s), poster(p) {}
    ~Impl()
    {
        std::lock_guard<std::mutex> g(notices->m);
        notices->poster = nullptr;
    }
    std::shared_ptr<NoticeGate> notices = std::make_shared<NoticeGate>();

    // ---- posting -----------------------------------------------------------------
    void Flush(std::vector<Post>& posts);
    void ToList(std::vector<Post>& posts, int list, uint32_t message, std::intptr_t lParam);
    // WM_LINK_NOTIFY of pushed data to list 1: one notice of a kind waits
    // for each window at most (NoticeGate).
    void NoticeToList(std::vector<Post>& posts, std::intptr_t kind);
    std::unique_ptr<LinkResultMessage> Result(uint8_t kind, int8_t st, std::uintptr_t param);
    static void SetData(LinkResultMessage& r, const void* data, size_t length, size_t pad);
    void Deliver(std::vector<Post>& posts, const Slot& s, uint32_t message,
                 std::unique_ptr<LinkResultMessage> r);
    void FreeSlot(Slot& s);
    // Completes every slot in use (only those not carried by a job unless all).
    void CompleteSlots(std::vector<Post>& posts, int8_t st, bool all);
    Slot* Match(Family f, uint8_t code, uint32_t wire);

    // ---- requests -----------------------------------------------------------------
    struct Req
    {
        Family family = Family::Link;
        uint8_t code = 0;
        uint32_t window = 0;
        std::uintptr_t param = 0;
        bool byJob = false;
        // Under the lock once the slot is taken; false refuses (last error set).
        std::function<bool(uint32_t wire, Slot&)> prepare;
        // Under the lock when the send failed.
        std::function<void(uint32_t wire)> undo;
        std::function<int(OxfrSession, uint32_t wire)> send;
    };

    int Run(const Req& r);
    int Simple(uint8_t code, uint32_t window, std::uintptr_t param,
               std::function<int(OxfrSession, uint32_t)> send);
    int Block(uint8_t code, uint32_t window, std::uintptr_t param, Bytes block,
              int (*fn)(OxfrSession, uint32_t, const void*));
    // Sends a copy of a caller's request block once its check has passed.
    int CheckedBlock(bool valid, uint8_t code, uint32_t window, std::uintptr_t param, const void* r,
                     int (*fn)(OxfrSession, uint32_t, const void*));
    int Xfer(uint8_t code, uint32_t window, std::uintptr_t param, bool byJob,
             std::function<int(OxfrSession, uint32_t)> send);

    // Changes a watch list under the lock, then sends the
    // list when asked to; a change that is refused fails with E_ARG.
    template <class Change, class Commit> int ChangeList(Change change, int sendNow, Commit commit)
    {
        {
            std::lock_guard<std::mutex> g(m);
            if (!change())
                return Fail(OLNK_LINK_E_ARG);
        }
        return sendNow ? commit() : 1;
    }

    // Sends a list block built under the lock from the list's arrangement;
    // the push state and the arrangement follow the latest request (both
    // restored when the send fails).
    template <class Sent, class Arrange, class MakeBlock>
    int SendList(uint8_t code, uint32_t window, std::uintptr_t param, PushState& ps, Sent& sent,
                 Arrange arrange, MakeBlock makeBlock, int (*fn)(OxfrSession, uint32_t, const void*))
    {
        auto block = std::make_shared<Bytes>();
        auto savedPush = std::make_shared<PushState>();
        auto savedSent = std::make_shared<Sent>();
        Req r;
        r.code = code;
        r.window = window;
        r.param = param;
        r.prepare = [&, block, savedPush, savedSent](uint32_t wire, Slot& sl) {
            *savedPush = ps;
            *savedSent = sent;
            sent = arrange();
            *block = makeBlock(sent);
            sl.block = *block;
            ps.Sent(wire);
            return true;
        };
        r.undo = [&, savedPush, savedSent](uint32_t wire) {
            if (ps.sent && ps.param == wire) {
                ps = *savedPush;
                sent = *savedSent;
            }
        };
        r.send = [block, fn](OxfrSession s, uint32_t w) { return fn(s, w, block->data()); };
        return Run(r);
    }

    // XferHost
    int SendXfer(uint8_t code, uint32_t window, std::uintptr_t param, bool byJob,
                 std::function<int(OxfrSession, uint32_t)> send) override
    {
        return Xfer(code, window, param, byJob, std::move(send));
    }
    OxfrSession AcquireSession() override { return Acquire(); }
    void ReleaseSession() override { Release(); }

    // The link carries requests to the control system it is connected to
    // now: the handshake is complete and the channel is not in a reset.
    // Otherwise the channel would hold what is sent and hand it to
    // whichever control system answers the next handshake.  Returns the
    // channel's connection (OlnkGetConnection), 0 when the link is not up.
    static uint32_t UpConnection(OxfrSession s);
    static bool LinkUp(OxfrSession s) { return UpConnection(s) != 0; }
    // 0 when a request that changes the control system may go out now, else
    // the error of its refusal; *connection: the connection the request is
    // bound to (0: none).  Called without the lock.  Refused once an
    // established link is not up, until it is established again (the reset
    // may not have been reported yet): the channel would hold the request
    // for whichever control system answers next.  Before the first
    // handshake since Open there is no earlier connection, and the request
    // waits for it as a read does.  Refused as well, with
    // OLNK_LINK_E_SILENT, while the control system is silent.
    uint32_t RefusalWhileDown(uint32_t* connection);
    uint32_t RefusalWhileDown();
    // Makes set the wanted breakpoints and sends it (code 12); refused at
    // once (the link down, the control system silent), the wanted set stays.
    int WantAndSend(uint32_t w, std::uintptr_t p, const std::set<uint32_t>& set,
                    std::vector<uint32_t> order = {}, Bytes block = {});
    // Sends the wanted breakpoint set (code 12, window 0) when the control
    // system has not confirmed it and none carrying it is on its way.
    // False (last error set) when it could not go out.
    bool SendWantedBreakpoints();
    // Ahead of a request that lets the PLC run (run, step, wake): 0 when it
    // may go, else the error that refuses it.  It goes when the control
    // system confirmed the wanted breakpoints, or after the user was told
    // once that it did not (the wanted set then goes ahead of it on the
    // same channel); else the wanted set is sent and the run refused with
    // OLNK_LINK_E_BRKS_NOT_CONFIRMED.
    uint32_t BreakpointsBeforeRun();
    // The link is established (under the lock).
    void NoteUp() { upSeen = true; }
    // Holds the session for a call outside the lock; null (last error set)
    // without one.
    OxfrSession Acquire();
    void Release();

    // ---- callbacks (session thread, job threads) ------------------------------------
    static Impl* I(void* u) { return static_cast<Impl*>(u); }

    // Ends the requests that waited longer than the job time-out for their
    // reply: each with OLNK_STATUS_NO_ANSWER to its window, then one notice
    // to list 1.  A reply arriving later finds no slot and is ignored.
    static void OnIdle(void* u);
    // Notes an established link and whether the control system fell silent
    // (ObserveSilence); after a reset or a silence, once the link is
    // established and the control system answers, reads the status of the
    // control system now connected (no window is told of the result; a
    // status that differs from the unknown one notifies list 1).
    void CheckEstablished();
    // The frames the session's channel has received; none without them.
    // (olnk_link_silence.cpp)
    static std::optional<uint64_t> ReceivedFrames(OxfrSession s);
    // Hands the received-frame count to the silence watch (under the lock);
    // once the control system fell silent, ControlSystemSilent (below).  The
    // first frame after it ends the silence.
    void ObserveSilence(std::vector<Post>& posts, bool up, std::optional<uint64_t> received);
    // The control system fell silent (under the lock): the status becomes
    // unknown, the pushed lists read OLNK_STATUS_NO_ANSWER until their next
    // push, and list 1 is told.  No request ends, nothing is sent.
    void ControlSystemSilent(std::vector<Post>& posts);
    // The link was reset (under the lock, after WM_LINK_STATE went to list
    // 0): nothing the link kept from the control system is current any
    // more.  The status becomes unknown, the pushed lists read the reset's
    // status, the breakpoint states are dropped, and list 1 is told so that
    // no window shows a value of the lost connection as live.  The status
    // is read again once the link is established (CheckEstablished).
    void LinkLost(std::vector<Post>& posts);
    // What LinkLost and ControlSystemSilent share (under the lock): the
    // status becomes unknown and is read again later, every pushed list is
    // marked with (list.*mark)(value), and list 1 is told.
    void NothingCurrent(std::vector<Post>& posts, void (PushState::*mark)(int8_t), int8_t value);
    static int OnPeerReset(void* u);
    static void OnLinkReset(void* u);
    static void OnLinkEvent(void* u, uint8_t code);
    static bool IsStatusRecord(const uint8_t* data, size_t len);
    // Counts a dropped message in the session's error counter.  Called from
    // the session's own callbacks, so the session outlives the call.
    void ReportBad(OxfrSession s);
    static void OnReply(void* u, uint8_t code, int8_t st, uint32_t param, const uint8_t* data, size_t len);
    // What a reply changes in the link's own state (under the lock).
    void Absorb(std::vector<Post>& posts, const Slot& s, uint8_t code, int8_t st, uint32_t param,
                const uint8_t* data, size_t len);
    static void OnPush(void* u, uint8_t kind, uint32_t param, const uint8_t* data, size_t len);
    static void OnTransfer(void* u, uint8_t code, int8_t st, uint32_t param, const uint8_t* data, size_t len);
    static void OnPush3(void*, uint8_t, uint32_t, const uint8_t*, size_t) {}
};

} // namespace linkobj
