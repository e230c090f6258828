#include "link/linkobj/olnk_link.h"

#include "link/linkobj/olnk_link_logic.h"
#include "link/linkobj/olnk_link_stats.h"
#include "link/linkobj/olnk_link_xfer.h"
#include "platform/sys/CodePage.h"
#include "platform/sys/LastError.h"
#include "platform/sys/WinPath.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <functional>
#include <optional>
#include <unistd.h>

LinkResultMessage::~LinkResultMessage()
{
    if (!listingFile.empty())
        ::unlink(listingFile.c_str());
}

namespace linkobj {

namespace {

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

uint16_t U16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }

} // namespace

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
    std::optional<Bytes> info1, info30;

    std::set<uint32_t> brks;
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
    void Flush(std::vector<Post>& posts)
    {
        for (Post& p : posts)
            if (poster)
                poster->Post(p.target, p.message, p.wParam, p.lParam, std::move(p.record));
        posts.clear(); // records of unposted messages go here
    }
    void ToList(std::vector<Post>& posts, int list, uint32_t message, std::intptr_t lParam)
    {
        for (uint32_t t : lists[list])
            posts.push_back({t, message, linkId, lParam, nullptr});
    }
    // WM_LINK_NOTIFY of pushed data to list 1: one notice of a kind waits
    // for each window at most (NoticeGate).
    void NoticeToList(std::vector<Post>& posts, std::intptr_t kind)
    {
        std::lock_guard<std::mutex> g(notices->m);
        notices->poster = poster;
        notices->linkId = linkId;
        for (uint32_t t : lists[1]) {
            if (const auto it = notices->Find(t, kind); it != notices->waiting.end()) {
                it->again = true;
                continue;
            }
            notices->waiting.push_back({t, kind, false});
            posts.push_back({t, WM_LINK_NOTIFY, linkId, kind, std::make_unique<NoticeRecord>(notices, t, kind)});
        }
    }
    std::unique_ptr<LinkResultMessage> Result(uint8_t kind, int8_t st, std::uintptr_t param)
    {
        auto r = std::make_unique<LinkResultMessage>();
        r->record.linkId = linkId;
        r->record.kind = kind;
        r->record.status = st;
        r->record.parameter = param;
        return r;
    }
    static void SetData(LinkResultMessage& r, const void* data, size_t length, size_t pad)
    {
        const size_t n = std::max(length, pad);
        r.storage.reset(new uint8_t[n + 1]());
        if (length)
            std::memcpy(r.storage.get(), data, length);
        r.record.data = r.storage.get();
        r.record.dataLength = uint32_t(length);
    }
    void Deliver(std::vector<Post>& posts, const Slot& s, uint32_t message,
                 std::unique_ptr<LinkResultMessage> r)
    {
        if (!s.window)
            return; // nobody is told; the record goes at once
        const auto lParam = reinterpret_cast<std::intptr_t>(&r->record);
        posts.push_back({s.window, message, linkId, lParam, std::move(r)});
    }
    void FreeSlot(Slot& s)
    {
        cv.notify_all(); // EndWatches waits for its slots
        s.state = SlotState::Free;
        s.block.clear();
        s.indices.clear();
        s.window = 0;
        s.param = 0;
    }
    // Completes every slot in use (only those not carried by a job unless all).
    void CompleteSlots(std::vector<Post>& posts, int8_t st, bool all)
    {
        for (Slot& s : slots) {
            if (s.state == SlotState::Free || (s.byJob && !all))
                continue;
            Deliver(posts, s, s.family == Family::Link ? WM_LINK_RESULT : WM_XFER_RESULT,
                    Result(s.code, st, s.param));
            FreeSlot(s);
        }
    }
    Slot* Match(Family f, uint8_t code, uint32_t wire)
    {
        Slot& s = slots[wire % kSlots];
        if (s.state == SlotState::Free || s.wire != wire || s.family != f || s.code != code)
            return nullptr;
        return &s;
    }

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

    int Run(const Req& r)
    {
        // A request that changes the control system goes out only on the
        // connection its check found up (none before the first handshake).
        uint32_t connection = 0;
        if (ChangesControlSystem(r.family == Family::Xfer, r.code))
            if (const uint32_t e = RefusalWhileDown(&connection))
                return Fail(e);
        OxfrSession s;
        size_t idx = 0;
        uint32_t wire = 0;
        {
            std::lock_guard<std::mutex> g(m);
            if (!session)
                return Fail(OLNK_LINK_E_NO_SESSION);
            size_t i = 0;
            for (; i < kSlots; ++i) {
                idx = (nextSlot + i) % kSlots;
                if (slots[idx].state == SlotState::Free)
                    break;
            }
            if (i == kSlots)
                return Fail(OLNK_LINK_E_NO_SLOT);
            nextSlot = (idx + 1) % kSlots;
            Slot& sl = slots[idx];
            sl.taken = (sl.taken + 1) & 0xFFFFFF;
            sl.wire = uint32_t(idx) + uint32_t(kSlots) * sl.taken;
            sl.state = SlotState::Sending;
            sl.family = r.family;
            sl.code = r.code;
            sl.byJob = r.byJob;
            sl.window = r.window;
            sl.param = r.param;
            sl.deadline = Clock::now() + std::chrono::milliseconds(stats.JobTimeout());
            wire = sl.wire;
            if (r.prepare && !r.prepare(wire, sl)) {
                const uint32_t e = sys::GetLastError();
                FreeSlot(sl);
                return Fail(e);
            }
            s = session;
            ++users;
        }
        int ok;
        {
            // The channel refuses the request when it reset since the check,
            // under its own lock at the moment the frame is built: a check
            // and a send apart would hand it to whichever control system
            // answers the reset's handshake.
            std::optional<OlnkSendBinding> bound;
            if (connection)
                bound.emplace(OxfrGetChannel(s), connection);
            ok = r.send(s, wire);
        }
        const uint32_t err = ok ? 0 : sys::GetLastError();
        {
            std::lock_guard<std::mutex> g(m);
            --users;
            cv.notify_all();
            Slot& sl = slots[idx];
            const bool mine = sl.state != SlotState::Free && sl.wire == wire;
            if (!ok) {
                if (mine)
                    FreeSlot(sl);
                if (r.undo)
                    r.undo(wire);
            } else if (mine && sl.state == SlotState::Sending) {
                sl.state = SlotState::Waiting;
            }
        }
        if (!ok)
            return Fail(err ? err : OLNK_E_UNEXPECTED);
        return 1;
    }

    int Simple(uint8_t code, uint32_t window, std::uintptr_t param,
               std::function<int(OxfrSession, uint32_t)> send)
    {
        Req r;
        r.code = code;
        r.window = window;
        r.param = param;
        r.send = std::move(send);
        return Run(r);
    }

    int Block(uint8_t code, uint32_t window, std::uintptr_t param, Bytes block,
              int (*fn)(OxfrSession, uint32_t, const void*))
    {
        return Simple(code, window, param,
                      [block = std::move(block), fn](OxfrSession s, uint32_t w) { return fn(s, w, block.data()); });
    }

    // Sends a copy of a caller's request block once its check has passed.
    int CheckedBlock(bool valid, uint8_t code, uint32_t window, std::uintptr_t param, const void* r,
                     int (*fn)(OxfrSession, uint32_t, const void*))
    {
        if (!valid)
            return Fail(OLNK_LINK_E_ARG);
        const auto* b = static_cast<const uint8_t*>(r);
        return Block(code, window, param, Bytes(b, b + BlockLength(r)), fn);
    }

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

    int Xfer(uint8_t code, uint32_t window, std::uintptr_t param, bool byJob,
             std::function<int(OxfrSession, uint32_t)> send)
    {
        Req r;
        r.family = Family::Xfer;
        r.code = code;
        r.window = window;
        r.param = param;
        r.byJob = byJob;
        r.send = std::move(send);
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
    static uint32_t UpConnection(OxfrSession s)
    {
        const uint32_t connection = OlnkGetConnection(OxfrGetChannel(s));
        return OxfrIsEstablished(s) ? connection : 0;
    }
    static bool LinkUp(OxfrSession s) { return UpConnection(s) != 0; }
    // 0 when a request that changes the control system may go out now, else
    // the error of its refusal; *connection: the connection the request is
    // bound to (0: none).  Called without the lock.  Refused once an
    // established link is not up, until it is established again (the reset
    // may not have been reported yet): the channel would hold the request
    // for whichever control system answers next.  Before the first
    // handshake since Open there is no earlier connection, and the request
    // waits for it as a read does.
    uint32_t RefusalWhileDown(uint32_t* connection)
    {
        *connection = 0;
        OxfrSession s = Acquire();
        if (!s)
            return OLNK_LINK_E_NO_SESSION;
        const uint32_t up = UpConnection(s);
        bool refused;
        {
            std::lock_guard<std::mutex> g(m);
            if (up)
                NoteUp();
            refused = !up && upSeen;
        }
        Release();
        if (refused)
            return OLNK_LINK_E_NOT_ESTABLISHED;
        *connection = up;
        return 0;
    }
    uint32_t RefusalWhileDown()
    {
        uint32_t connection;
        return RefusalWhileDown(&connection);
    }
    // The link is established (under the lock).
    void NoteUp() { upSeen = true; }

    // Holds the session for a call outside the lock; null (last error set)
    // without one.
    OxfrSession Acquire()
    {
        std::lock_guard<std::mutex> g(m);
        if (!session) {
            sys::SetLastError(OLNK_LINK_E_NO_SESSION);
            return nullptr;
        }
        ++users;
        return session;
    }
    void Release()
    {
        std::lock_guard<std::mutex> g(m);
        --users;
        cv.notify_all();
    }

    // ---- callbacks (session thread, job threads) ------------------------------------
    static Impl* I(void* u) { return static_cast<Impl*>(u); }

    // Ends the requests that waited longer than the job time-out for their
    // reply: each with OLNK_STATUS_NO_ANSWER to its window, then one notice
    // to list 1.  A reply arriving later finds no slot and is ignored.
    static void OnIdle(void* u)
    {
        Impl* d = I(u);
        const Clock::time_point now = Clock::now();
        const int64_t ticks = now.time_since_epoch().count();
        if (ticks - d->lastSweep.load() < Clock::duration(kSweepPeriod).count())
            return;
        d->lastSweep.store(ticks);
        std::vector<Post> posts;
        {
            std::lock_guard<std::mutex> g(d->m);
            bool any = false;
            for (Slot& s : d->slots) {
                if (s.state != SlotState::Waiting || s.byJob || now < s.deadline)
                    continue;
                if (s.family == Family::Link)
                    d->Absorb(posts, s, s.code, OLNK_STATUS_NO_ANSWER, s.wire, nullptr, 0);
                d->Deliver(posts, s, s.family == Family::Link ? WM_LINK_RESULT : WM_XFER_RESULT,
                           d->Result(s.code, OLNK_STATUS_NO_ANSWER, s.param));
                d->FreeSlot(s);
                d->stats.CountUnanswered();
                any = true;
            }
            if (any)
                d->ToList(posts, 1, WM_LINK_NOTIFY, OLNK_NOTIFY_NO_ANSWER);
        }
        d->Flush(posts);
        d->CheckEstablished();
    }

    // Notes an established link; after a reset, once the link is
    // established again, reads the status of the control system now
    // connected (no window is told of the result; a status that differs
    // from the unknown one notifies list 1).
    void CheckEstablished()
    {
        OxfrSession s;
        {
            std::lock_guard<std::mutex> g(m);
            if (!session)
                return;
            s = session;
            ++users;
        }
        const bool up = LinkUp(s);
        bool reread;
        {
            std::lock_guard<std::mutex> g(m);
            --users;
            cv.notify_all();
            if (up)
                NoteUp();
            reread = up && statusReread;
            statusReread = statusReread && !up;
        }
        if (!reread)
            return;
        if (!Simple(0, 0, 0, OlnkRequestGetStatus)) {
            std::lock_guard<std::mutex> g(m);
            statusReread = true; // offered again at the next sweep
        }
    }

    // The link was reset (under the lock, after WM_LINK_STATE went to list
    // 0): nothing the link kept from the control system is current any
    // more.  The status becomes unknown, the pushed lists read the reset's
    // status, the breakpoint states are dropped, and list 1 is told so that
    // no window shows a value of the lost connection as live.  The status
    // is read again once the link is established (CheckEstablished).
    void LinkLost(std::vector<Post>& posts)
    {
        const bool statusKnown = status.length != 0;
        status = PlcStatusRecord{};
        statusReread = true;
        brkReplyHeld = false;
        watchPush.Lost(kStatusReset);
        mechPush.Lost(kStatusReset);
        linePush.Lost(kStatusReset);
        if (statusKnown)
            ToList(posts, 1, WM_LINK_NOTIFY, 0);
        for (std::intptr_t kind : {1, 4, 5})
            NoticeToList(posts, kind);
    }

    static int OnPeerReset(void* u)
    {
        Impl* d = I(u);
        std::vector<Post> posts;
        {
            std::lock_guard<std::mutex> g(d->m);
            d->ToList(posts, 0, WM_LINK_STATE, 0);
            d->CompleteSlots(posts, kStatusReset, false);
            d->LinkLost(posts);
        }
        d->stats.Answered();
        d->Flush(posts);
        return 0;
    }

    static void OnLinkReset(void* u)
    {
        Impl* d = I(u);
        std::vector<Post> posts;
        {
            std::lock_guard<std::mutex> g(d->m);
            d->ToList(posts, 0, WM_LINK_STATE, OLNK_LINK_STATE_OWN_RESET);
            d->CompleteSlots(posts, kStatusReset, false);
            d->LinkLost(posts);
        }
        d->stats.Answered();
        d->Flush(posts);
    }

    static void OnLinkEvent(void* u, uint8_t code)
    {
        Impl* d = I(u);
        std::vector<Post> posts;
        {
            std::lock_guard<std::mutex> g(d->m);
            d->ToList(posts, 0, WM_LINK_STATE, code);
        }
        d->Flush(posts);
    }

    static bool IsStatusRecord(const uint8_t* data, size_t len)
    {
        return data && len == sizeof(PlcStatusRecord) && U16(data) == sizeof(PlcStatusRecord);
    }

    // Counts a dropped message in the session's error counter.  Called from
    // the session's own callbacks, so the session outlives the call.
    void ReportBad(OxfrSession s)
    {
        if (s)
            OxfrReportBadMessage(s);
    }

    static void OnReply(void* u, uint8_t code, int8_t st, uint32_t param, const uint8_t* data, size_t len)
    {
        Impl* d = I(u);
        if (!data)
            len = 0;
        std::vector<Post> posts;
        OxfrSession bad = nullptr;
        {
            std::lock_guard<std::mutex> g(d->m);
            if (Slot* s = d->Match(Family::Link, code, param)) {
                // A status record that is not one (10 bytes, its own length
                // 10) answers the request as malformed and changes nothing.
                if (code == 0 && st >= 0 && !IsStatusRecord(data, len)) {
                    st = kStatusMalformed;
                    bad = d->session;
                }
                d->Absorb(posts, *s, code, st, param, data, len);
                auto r = d->Result(code, st, s->param);
                if (st >= 0) {
                    switch (code) {
                    case 0: SetData(*r, data, len, 10); break;
                    case 1: SetData(*r, data, len, 50); break;
                    case 26: SetData(*r, data, len, 5); break;
                    case 30: SetData(*r, data, len, 92); break;
                    case 22:
                    case 24:
                    case 29:
                        if (len)
                            SetData(*r, data, len, 0);
                        break;
                    default: break;
                    }
                }
                d->Deliver(posts, *s, WM_LINK_RESULT, std::move(r));
                d->FreeSlot(*s);
                d->stats.Answered();
            } else {
                d->stats.CountIgnored(); // no request of this code waits for it
                bad = d->session;
            }
        }
        d->ReportBad(bad);
        d->Flush(posts);
    }

    // What a reply changes in the link's own state (under the lock).
    void Absorb(std::vector<Post>& posts, const Slot& s, uint8_t code, int8_t st, uint32_t param,
                const uint8_t* data, size_t len)
    {
        switch (code) {
        case 0:
            if (st >= 0) {
                PlcStatusRecord n{};
                std::memcpy(&n, data ? data : reinterpret_cast<const uint8_t*>(""), std::min<size_t>(len, 10));
                const bool changed = n.length != status.length || n.flags != status.flags || n.index != status.index;
                status = n;
                if (changed)
                    ToList(posts, 1, WM_LINK_NOTIFY, 0);
            }
            break;
        case 1:
            if (st >= 0)
                info1 = Bytes(data, data + std::min<size_t>(len, 1023));
            break;
        case 30:
            if (st >= 0)
                info30 = Bytes(data, data + std::min<size_t>(len, 1023));
            break;
        case 12:
            // {u16 n, n x i8 state in request order}; kept with the set it answers.
            if (brkLatest && *brkLatest == param && len >= 2 && U16(data) == s.indices.size() &&
                len >= 2 + s.indices.size()) {
                brkReplySet = s.indices;
                brkReplyStates.assign(reinterpret_cast<const int8_t*>(data) + 2,
                                      reinterpret_cast<const int8_t*>(data) + 2 + s.indices.size());
                brkReplyHeld = true;
            }
            break;
        case 16: watchPush.Reply(param, st); break;
        case 19: linePush.Reply(param, st); break;
        case 21: mechPush.Reply(param, st); break;
        default: break;
        }
    }

    static void OnPush(void* u, uint8_t kind, uint32_t param, const uint8_t* data, size_t len)
    {
        Impl* d = I(u);
        if (!data)
            len = 0;
        std::vector<Post> posts;
        OxfrSession bad = nullptr;
        {
            std::lock_guard<std::mutex> g(d->m);
            bool notify = true;
            switch (kind) {
            case 0: {
                if (!IsStatusRecord(data, len)) {
                    notify = false;
                    bad = d->session;
                    break;
                }
                PlcStatusRecord n{};
                std::memcpy(&n, data, sizeof n);
                d->status = n;
                break;
            }
            case 1: notify = d->watchPush.Push(param, data, len); break;
            case 4: notify = d->linePush.Push(param, data, len); break;
            case 5: notify = d->mechPush.Push(param, data, len); break;
            case 2:
            case 3: break;
            default: notify = false; break;
            }
            if (notify && (kind == 1 || kind == 4 || kind == 5))
                d->NoticeToList(posts, kind);
            else if (notify)
                d->ToList(posts, 1, WM_LINK_NOTIFY, kind);
            else
                d->stats.CountIgnored();
        }
        d->ReportBad(bad);
        d->Flush(posts);
    }

    static void OnPush3(void*, uint8_t, uint32_t, const uint8_t*, size_t) {}

    static void OnTransfer(void* u, uint8_t code, int8_t st, uint32_t param, const uint8_t* data, size_t len)
    {
        Impl* d = I(u);
        if (!data)
            len = 0;
        std::string listing;
        if (code == OXFR_CODE_LIST && st >= 0 && len)
            listing.assign(reinterpret_cast<const char*>(data), strnlen(reinterpret_cast<const char*>(data), len));
        std::vector<Post> posts;
        OxfrSession bad = nullptr;
        {
            std::lock_guard<std::mutex> g(d->m);
            if (Slot* s = d->Match(Family::Xfer, code, param)) {
                auto r = d->Result(code, st, s->param);
                if (!listing.empty()) {
                    const std::u16string w = sys::WinPath::FromNative(listing);
                    SetData(*r, w.c_str(), (w.size() + 1) * sizeof(char16_t), 0);
                    r->listingFile = listing;
                } else if (code == OXFR_CODE_INFO && st >= 0) {
                    FileListRecord rec;
                    if (ConvertFileInfo(data, len, rec))
                        SetData(*r, &rec, sizeof rec, 0);
                    else
                        r->record.status = kStatusMalformed;
                }
                d->Deliver(posts, *s, WM_XFER_RESULT, std::move(r));
                d->FreeSlot(*s);
                if (st == OLNK_STATUS_NO_ANSWER)
                    d->stats.CountSilentJob();
                else
                    d->stats.Answered();
            } else {
                d->stats.CountIgnored();
                if (!listing.empty())
                    ::unlink(listing.c_str());
                bad = d->session;
            }
        }
        d->ReportBad(bad);
        d->Flush(posts);
    }
};

} // namespace linkobj

using linkobj::Impl;

COlnkLink::COlnkLink(ILinkWindowPoster* poster)
    : d(std::make_unique<Impl>(this, poster)), m_xfer(std::make_unique<linkobj::XferClient>(*d)),
      m_stats(&d->stats)
{
}

COlnkLink::~COlnkLink()
{
    if (IsOpen())
        Close();
}

// ---- IOlnkControl -------------------------------------------------------------------------

void* COlnkLink::Query(uint32_t id)
{
    switch (id) {
    case OLNK_IID_PL: return static_cast<IOlnkPL*>(this);
    case OLNK_IID_DBGPLCC: return static_cast<IDbgPLCC*>(this);
    case OLNK_IID_OXFRC: return static_cast<IOxfrC*>(this);
    case OLNK_IID_OXFRS: return static_cast<IOxfrS*>(this);
    default: return nullptr;
    }
}

int COlnkLink::Open(uint32_t linkId, const char16_t* connectionString, uint32_t timeoutMs)
{
    {
        std::lock_guard<std::mutex> g(d->m);
        if (d->session || d->opening)
            return linkobj::Fail(OLNK_LINK_E_ARG);
        d->opening = true;
    }
    OxfrSession s = connectionString ? OxfrOpenSessionW(d.get(), connectionString, timeoutMs) : nullptr;
    if (!connectionString)
        sys::SetLastError(OLNK_E_INVALIDARG);
    if (!s) {
        const uint32_t e = sys::GetLastError();
        std::lock_guard<std::mutex> g(d->m);
        d->opening = false;
        return linkobj::Fail(e);
    }
    OxfrSessionCallbacks sc;
    sc.idle = &Impl::OnIdle;
    sc.peerReset = &Impl::OnPeerReset;
    sc.linkEvent = &Impl::OnLinkEvent;
    sc.linkReset = &Impl::OnLinkReset;
    OxfrLinkCallbacks lc;
    lc.reply = &Impl::OnReply;
    lc.pushed2 = &Impl::OnPush;
    lc.pushed3 = &Impl::OnPush3;
    OxfrTransferCallbacks tc;
    tc.result = &Impl::OnTransfer;
    OxfrSetSessionCallbacks(s, &sc);
    OxfrSetLinkCallbacks(s, &lc);
    OxfrSetTransferCallbacks(s, &tc);
    OxfrSetJobTimeout(s, d->stats.JobTimeout());
    std::lock_guard<std::mutex> g(d->m);
    d->opening = false;
    d->session = s;
    d->stats.Answered();
    d->linkId = linkId;
    d->connected = false;
    d->status = PlcStatusRecord{};
    d->statusReread = false;
    d->upSeen = false;
    d->info1.reset();
    d->info30.reset();
    d->brkLatest.reset();
    d->brkReplyHeld = false;
    d->watchPush = {};
    d->mechPush = {};
    d->linePush = {};
    d->watchSent.clear();
    d->mechSent.clear();
    d->lineSent.clear();
    return 1;
}

int COlnkLink::InitInterface(uint16_t id)
{
    std::lock_guard<std::mutex> g(d->m);
    if (id == OLNK_IID_DBGPLCC)
        d->buffersReady = true;
    return 1;
}

int COlnkLink::Start()
{
    OxfrSession s = d->Acquire();
    if (!s)
        return 0;
    const int r = OlnkResumeSession(s);
    const uint32_t e = r ? 0 : sys::GetLastError();
    {
        std::lock_guard<std::mutex> g(d->m);
        if (r && d->session == s)
            d->connected = true;
    }
    d->Release();
    if (!r)
        return linkobj::Fail(e);
    return 1;
}

int COlnkLink::Close()
{
    OxfrSession s;
    {
        std::unique_lock<std::mutex> lk(d->m);
        if (!d->session)
            return linkobj::Fail(OLNK_LINK_E_NO_SESSION);
        s = d->session;
        d->session = nullptr;
        d->connected = false;
        // Calls into the session end within their time-outs; none of them
        // waits for this thread.
        d->cv.wait(lk, [&] { return d->users == 0; });
    }
    OxfrCloseSession(s); // callbacks arriving meanwhile still run
    std::vector<linkobj::Post> posts;
    {
        std::lock_guard<std::mutex> g(d->m);
        d->connected = false;
        d->CompleteSlots(posts, linkobj::kStatusClosed, true);
    }
    d->Flush(posts);
    return 1;
}

int COlnkLink::RegisterWindow(ILinkWindow* w, uint32_t list)
{
    if (!w)
        return linkobj::Fail(OLNK_LINK_E_ARG);
    return RegisterWindow(w->MessageTarget(), list);
}

int COlnkLink::RegisterWindow(uint32_t w, uint32_t list)
{
    if (list > 1 || w == 0)
        return linkobj::Fail(OLNK_LINK_E_ARG);
    std::lock_guard<std::mutex> g(d->m);
    auto& l = d->lists[list];
    if (std::find(l.begin(), l.end(), w) == l.end())
        l.push_back(w);
    return 1;
}

int COlnkLink::UnregisterWindow(ILinkWindow* w, uint32_t list)
{
    if (!w)
        return linkobj::Fail(OLNK_LINK_E_ARG);
    return UnregisterWindow(w->MessageTarget(), list);
}

int COlnkLink::UnregisterWindow(uint32_t w, uint32_t list)
{
    if (list > 1)
        return linkobj::Fail(OLNK_LINK_E_ARG);
    std::lock_guard<std::mutex> g(d->m);
    auto& l = d->lists[list];
    auto it = std::find(l.begin(), l.end(), w);
    if (it == l.end())
        return linkobj::Fail(OLNK_LINK_E_ARG);
    l.erase(it);
    return 1;
}

int COlnkLink::CancelJob(uint32_t job)
{
    if (job == 0)
        return 1;
    OxfrSession s = d->Acquire();
    if (!s)
        return 0;
    OxfrCancelJob(s, job);
    d->Release();
    return 1;
}

// ---- Plain operations ------------------------------------------------------------------------

bool COlnkLink::GetStatistics(OlnkStatistics* record) { return m_stats->GetStatistics(record); }

bool COlnkLink::IsOpen()
{
    std::lock_guard<std::mutex> g(d->m);
    return d->session != nullptr;
}

bool COlnkLink::IsConnected()
{
    std::lock_guard<std::mutex> g(d->m);
    return d->session && d->connected;
}

bool COlnkLink::IsEstablished() { return m_stats->IsEstablished(); }

uint32_t COlnkLink::GetLinkId()
{
    std::lock_guard<std::mutex> g(d->m);
    return d->linkId;
}

uint64_t COlnkLink::IgnoredReplies() const { return m_stats->IgnoredReplies(); }

void COlnkLink::SetJobTimeout(uint32_t ms)
{
    ms = std::max<uint32_t>(ms, 1);
    d->stats.StoreJobTimeout(ms);
    OxfrSession s;
    {
        std::lock_guard<std::mutex> g(d->m);
        s = d->session;
        if (!s)
            return; // the next Open takes it
        ++d->users;
    }
    OxfrSetJobTimeout(s, ms);
    d->Release();
}

uint32_t COlnkLink::JobTimeout() const { return m_stats->JobTimeout(); }

uint64_t COlnkLink::UnansweredRequests() const { return m_stats->UnansweredRequests(); }

int COlnkLink::EndWatches(uint32_t waitMs)
{
    // Only over an established link: otherwise the channel would hold the
    // lists until it closes, or hand them to a later control system.
    OxfrSession s = d->Acquire();
    if (!s)
        return 0;
    const bool up = Impl::LinkUp(s);
    d->Release();
    if (!up)
        return 0;
    // A list whose latest request asked for something is ended by an empty
    // one; the arrangement sent becomes empty, the link's own list stays.
    int ended = 0;
    auto endList = [&](auto& push, auto& sent, uint8_t code, auto makeBlock, auto fn) {
        {
            std::lock_guard<std::mutex> g(d->m);
            if (!push.sent || sent.empty())
                return;
        }
        using Sent = std::remove_reference_t<decltype(sent)>;
        if (d->SendList(code, 0, 0, push, sent, [] { return Sent{}; }, makeBlock, fn))
            ++ended;
    };
    endList(d->watchPush, d->watchSent, 16,
        [this](const auto& m) { return linkobj::WatchBlock(m, d->watchPeriod); }, OlnkRequestWatch);
    endList(d->mechPush, d->mechSent, 21,
        [this](const auto& m) { return linkobj::MechBlock(m, d->mechPeriod); }, OlnkRequestWatchMech);
    endList(d->linePush, d->lineSent, 19,
        [this](const auto& m) { return linkobj::LineBlock(m, d->linePeriod); }, OlnkRequestWatchRegsOnLine);
    // Their replies, and those of watch lists a window sent just before
    // (or the link's end of them), within waitMs: a request still in the
    // channel when it closes never reaches the control system.
    std::unique_lock<std::mutex> lk(d->m);
    d->cv.wait_for(lk, std::chrono::milliseconds(waitMs), [&] {
        for (const linkobj::Slot& sl : d->slots)
            if (sl.state != linkobj::SlotState::Free && sl.family == linkobj::Family::Link &&
                (sl.code == 16 || sl.code == 19 || sl.code == 21))
                return false;
        return true;
    });
    return ended;
}

// ---- IOlnkPL ---------------------------------------------------------------------------------

int COlnkLink::GetStatus(uint32_t w, std::uintptr_t p) { return d->Simple(0, w, p, OlnkRequestGetStatus); }
int COlnkLink::GetPLCInfo(uint32_t w, std::uintptr_t p) { return d->Simple(1, w, p, OlnkRequestGetPLCInfo); }
int COlnkLink::GetPLCInfoEx(uint32_t w, std::uintptr_t p) { return d->Simple(30, w, p, OlnkRequestGetPLCInfoEx); }

int COlnkLink::TransferPLC(uint32_t w, std::uintptr_t context, LinkProgress progress, uint32_t* job,
                           uint32_t length, const void* data)
{
    if (!data && length)
        return linkobj::Fail(OLNK_LINK_E_ARG);
    Impl::Req r;
    r.code = 2;
    r.window = w;
    r.param = context;
    r.byJob = true;
    r.send = [&](OxfrSession s, uint32_t wire) {
        return OlnkRequestTransferPLC(s, wire, data, length, progress, context, job);
    };
    return d->Run(r);
}

int COlnkLink::ClearPLC(uint32_t w, std::uintptr_t p) { return d->Simple(3, w, p, OlnkRequestClearPLC); }
int COlnkLink::SleepPLC(uint32_t w, std::uintptr_t p) { return d->Simple(4, w, p, OlnkRequestSleepPLC); }
int COlnkLink::WakePLC(uint32_t w, std::uintptr_t p) { return d->Simple(5, w, p, OlnkRequestWakePLC); }
int COlnkLink::RunPLC(uint32_t w, std::uintptr_t p) { return d->Simple(6, w, p, OlnkRequestRunPLC); }
int COlnkLink::StopPLC(uint32_t w, std::uintptr_t p) { return d->Simple(7, w, p, OlnkRequestStopPLC); }
int COlnkLink::BreakPLC(uint32_t w, std::uintptr_t p) { return d->Simple(8, w, p, OlnkRequestBreakPLC); }
int COlnkLink::StepPLC(uint32_t w, std::uintptr_t p) { return d->Simple(9, w, p, OlnkRequestStepPLC); }

int COlnkLink::BackupPLC(uint32_t w, std::uintptr_t p, uint32_t kind)
{
    if (kind > 255)
        return linkobj::Fail(OLNK_LINK_E_ARG);
    return d->Simple(10, w, p, [kind](OxfrSession s, uint32_t wire) {
        return OlnkRequestBackupPLCData(s, wire, uint8_t(kind));
    });
}

namespace {
// Sends the breakpoint set (code 12) as the latest breakpoint request; the
// caller has checked the session.  restore: the set before the change.
int SendBreakpoints(Impl& d, uint32_t w, std::uintptr_t p, std::vector<uint32_t> order, linkobj::Bytes block,
                    std::optional<std::set<uint32_t>> restore)
{
    auto savedLatest = std::make_shared<std::optional<uint32_t>>();
    auto savedSet = std::make_shared<std::vector<uint32_t>>();
    Impl::Req r;
    r.code = 12;
    r.window = w;
    r.param = p;
    r.prepare = [&, savedLatest, savedSet](uint32_t wire, linkobj::Slot& sl) {
        sl.block = block;
        sl.indices = order;
        *savedLatest = d.brkLatest;
        *savedSet = d.brkLatestSet;
        d.brkLatest = wire;
        d.brkLatestSet = order;
        return true;
    };
    r.undo = [&, savedLatest, savedSet](uint32_t wire) {
        if (d.brkLatest && *d.brkLatest == wire) {
            d.brkLatest = *savedLatest;
            d.brkLatestSet = *savedSet;
            if (restore)
                d.brks = *restore;
        }
    };
    r.send = [&](OxfrSession s, uint32_t wire) { return OlnkRequestSetBrksAtLine(s, wire, block.data()); };
    return d.Run(r);
}
} // namespace

int COlnkLink::SetBrkAtLine(uint32_t w, std::uintptr_t p, const void* record)
{
    if (!record || linkobj::BlockLength(record) != 10)
        return linkobj::Fail(OLNK_LINK_E_ARG);
    const auto* b = static_cast<const uint8_t*>(record);
    uint32_t index, set;
    std::memcpy(&index, b + 2, 4);
    std::memcpy(&set, b + 6, 4);
    {
        std::lock_guard<std::mutex> g(d->m);
        if (!d->session)
            return linkobj::Fail(OLNK_LINK_E_NO_SESSION);
        if ((d->brks.count(index) != 0) == (set != 0))
            return 1;
    }
    // A refused change leaves the set as it was.
    if (const uint32_t e = d->RefusalWhileDown())
        return linkobj::Fail(e);
    std::set<uint32_t> before, after;
    {
        std::lock_guard<std::mutex> g(d->m);
        if (!d->session)
            return linkobj::Fail(OLNK_LINK_E_NO_SESSION);
        const bool has = d->brks.count(index) != 0;
        if (has == (set != 0))
            return 1;
        if (set && d->brks.size() >= linkobj::kMaxBreakpoints)
            return linkobj::Fail(OLNK_LINK_E_ARG);
        before = d->brks;
        if (set)
            d->brks.insert(index);
        else
            d->brks.erase(index);
        after = d->brks;
    }
    return SendBreakpoints(*d, w, p, std::vector<uint32_t>(after.begin(), after.end()),
                           linkobj::BreakpointBlock(after), before);
}

int COlnkLink::SetBrksAtLine(uint32_t w, std::uintptr_t p, const void* block)
{
    std::vector<uint32_t> indices;
    if (!linkobj::ParseBreakpointBlock(block, indices))
        return linkobj::Fail(OLNK_LINK_E_ARG);
    if (const uint32_t e = d->RefusalWhileDown())
        return linkobj::Fail(e);
    std::set<uint32_t> before;
    {
        std::lock_guard<std::mutex> g(d->m);
        if (!d->session)
            return linkobj::Fail(OLNK_LINK_E_NO_SESSION);
        before = d->brks;
        d->brks = std::set<uint32_t>(indices.begin(), indices.end());
    }
    const auto* b = static_cast<const uint8_t*>(block);
    return SendBreakpoints(*d, w, p, indices, linkobj::Bytes(b, b + linkobj::BlockLength(block)), before);
}

int COlnkLink::ClearBrks(uint32_t w, std::uintptr_t p)
{
    if (const uint32_t e = d->RefusalWhileDown())
        return linkobj::Fail(e);
    std::set<uint32_t> before;
    {
        std::lock_guard<std::mutex> g(d->m);
        before = d->brks;
        d->brks.clear();
        d->brkLatest.reset();
        d->brkLatestSet.clear();
        d->brkReplyHeld = false;
    }
    if (d->Simple(13, w, p, OlnkRequest13))
        return 1;
    // Refused (the link lost since the check, say): the set stays as it was.
    const uint32_t e = sys::GetLastError();
    {
        std::lock_guard<std::mutex> g(d->m);
        if (d->brks.empty() && !d->brkLatest)
            d->brks = std::move(before);
    }
    return linkobj::Fail(e);
}

int8_t COlnkLink::GetBrkState(uint32_t index)
{
    std::lock_guard<std::mutex> g(d->m);
    if (!d->brkReplyHeld)
        return -1;
    const auto& latest = d->brkLatestSet;
    if (std::find(latest.begin(), latest.end(), index) == latest.end())
        return -1;
    const auto& set = d->brkReplySet;
    auto it = std::find(set.begin(), set.end(), index);
    if (it == set.end())
        return -1;
    return d->brkReplyStates[size_t(it - set.begin())];
}

// Watch family.
int COlnkLink::SetWatchPeriod(uint32_t w, std::uintptr_t p, uint32_t ms, int sendNow)
{
    {
        std::lock_guard<std::mutex> g(d->m);
        d->watchPeriod = ms;
    }
    return sendNow ? CommitWatch(w, p) : 1;
}

int COlnkLink::AddWatch(uint32_t w, std::uintptr_t p, uint16_t area, uint32_t address, uint32_t size,
                        int sendNow)
{
    if (size == 0 || size > linkobj::kMaxMergedLength)
        return linkobj::Fail(OLNK_LINK_E_ARG);
    return d->ChangeList([&] { return linkobj::InsertWatch(d->watch, {area, address, size}); }, sendNow,
                         [&] { return CommitWatch(w, p); });
}

int COlnkLink::RemoveWatch(uint32_t w, std::uintptr_t p, uint16_t area, uint32_t address, uint32_t size,
                           int sendNow)
{
    return d->ChangeList([&] { return linkobj::RemoveWatch(d->watch, {area, address, size}); }, sendNow,
                         [&] { return CommitWatch(w, p); });
}

int COlnkLink::CommitWatch(uint32_t w, std::uintptr_t p)
{
    return d->SendList(
        16, w, p, d->watchPush, d->watchSent, [this] { return linkobj::MergeWatch(d->watch); },
        [this](const auto& m) { return linkobj::WatchBlock(m, d->watchPeriod); }, OlnkRequestWatch);
}

int8_t COlnkLink::GetWatchValue(uint16_t area, uint32_t address, uint32_t count, void* out, uint32_t outSize)
{
    std::lock_guard<std::mutex> g(d->m);
    return linkobj::ReadWatchValue(d->watch, d->watchSent, d->watchPush, area, address, count, out, outSize);
}

// Mechanism family.
int COlnkLink::SetWatchMechPeriod(uint32_t w, std::uintptr_t p, uint32_t ms, int sendNow)
{
    {
        std::lock_guard<std::mutex> g(d->m);
        d->mechPeriod = ms;
    }
    return sendNow ? CommitWatchMech(w, p) : 1;
}

int COlnkLink::AddWatchMech(uint32_t w, std::uintptr_t p, uint16_t number, uint32_t address, int sendNow)
{
    return d->ChangeList([&] { return linkobj::InsertMech(d->mech, {address, number}); }, sendNow,
                         [&] { return CommitWatchMech(w, p); });
}

int COlnkLink::RemoveWatchMech(uint32_t w, std::uintptr_t p, uint16_t number, uint32_t address, int sendNow)
{
    return d->ChangeList([&] { return linkobj::RemoveMech(d->mech, {address, number}); }, sendNow,
                         [&] { return CommitWatchMech(w, p); });
}

int COlnkLink::CommitWatchMech(uint32_t w, std::uintptr_t p)
{
    return d->SendList(
        21, w, p, d->mechPush, d->mechSent, [this] { return linkobj::DistinctMech(d->mech); },
        [this](const auto& m) { return linkobj::MechBlock(m, d->mechPeriod); }, OlnkRequestWatchMech);
}

int8_t COlnkLink::GetWatchMechState(uint16_t number, uint32_t address, MechStateRecord* out)
{
    std::lock_guard<std::mutex> g(d->m);
    return linkobj::ReadMechState(d->mech, d->mechSent, d->mechPush, number, address, out);
}

// Registers-on-line family.
int COlnkLink::SetWatchRegsOnLinePeriod(uint32_t w, std::uintptr_t p, uint32_t ms, int sendNow)
{
    {
        std::lock_guard<std::mutex> g(d->m);
        d->linePeriod = ms;
    }
    return sendNow ? CommitWatchRegsOnLine(w, p) : 1;
}

int COlnkLink::AddWatchRegsOnLine(uint32_t w, std::uintptr_t p, uint32_t index, int sendNow)
{
    return d->ChangeList([&] { return linkobj::InsertLine(d->lines, index); }, sendNow,
                         [&] { return CommitWatchRegsOnLine(w, p); });
}

int COlnkLink::RemoveWatchRegsOnLine(uint32_t w, std::uintptr_t p, uint32_t index, int sendNow)
{
    return d->ChangeList([&] { return linkobj::RemoveLine(d->lines, index); }, sendNow,
                         [&] { return CommitWatchRegsOnLine(w, p); });
}

int COlnkLink::CommitWatchRegsOnLine(uint32_t w, std::uintptr_t p)
{
    return d->SendList(
        19, w, p, d->linePush, d->lineSent, [this] { return linkobj::DistinctLines(d->lines); },
        [this](const auto& m) { return linkobj::LineBlock(m, d->linePeriod); }, OlnkRequestWatchRegsOnLine);
}

int8_t COlnkLink::GetWatchRegsOnLine(uint32_t index, LineRegsRecord* out)
{
    std::lock_guard<std::mutex> g(d->m);
    return linkobj::ReadLineRegs(d->lines, d->lineSent, d->linePush, index, out);
}

// Inspect and register commands.

int COlnkLink::GetVar(uint32_t w, std::uintptr_t p, const void* r)
{
    return d->CheckedBlock(linkobj::ValidGetVar(r), 22, w, p, r, OlnkRequestGetVar);
}

int COlnkLink::SetVar(uint32_t w, std::uintptr_t p, const void* r)
{
    return d->CheckedBlock(linkobj::ValidSetVar(r), 23, w, p, r, OlnkRequestSetVar);
}

int COlnkLink::SetVarBits(uint32_t w, std::uintptr_t p, const void* r)
{
    if (!r)
        return linkobj::Fail(OLNK_LINK_E_ARG);
    const auto* b = static_cast<const uint8_t*>(r);
    return d->Block(28, w, p, linkobj::Bytes(b, b + 8), OlnkRequestSetVarBits);
}

int COlnkLink::GetMech(uint32_t w, std::uintptr_t p, const void* r)
{
    return d->CheckedBlock(linkobj::ValidGetMech(r), 24, w, p, r, OlnkRequestGetMech);
}

int COlnkLink::SetMech(uint32_t w, std::uintptr_t p, const void* r)
{
    return d->CheckedBlock(linkobj::ValidSetMech(r), 25, w, p, r, OlnkRequestSetMech);
}

int COlnkLink::GetRegs(uint32_t w, std::uintptr_t p) { return d->Simple(26, w, p, OlnkRequestGetRegs); }

int COlnkLink::GetRegsOnLine(uint32_t w, std::uintptr_t p, const void* r)
{
    return d->CheckedBlock(linkobj::ValidGetRegsOnLine(r), 29, w, p, r, OlnkRequestGetRegsOnLine);
}

int COlnkLink::SetRegs(uint32_t w, std::uintptr_t p, uint8_t rlo, int32_t dr)
{
    // The word-and-byte form: u32 DR, then u8 RLO.
    const auto u = uint32_t(dr);
    linkobj::Bytes v{uint8_t(u), uint8_t(u >> 8), uint8_t(u >> 16), uint8_t(u >> 24), rlo};
    return d->Block(27, w, p, std::move(v), OlnkRequestSetRegs);
}

bool COlnkLink::GetLastStatus(PlcStatusRecord* out)
{
    if (!out)
        return false;
    std::lock_guard<std::mutex> g(d->m);
    *out = d->status;
    return true;
}

bool COlnkLink::GetLastPLCInfo(bool extended, void* buffer, uint32_t capacity, uint32_t* length)
{
    std::lock_guard<std::mutex> g(d->m);
    const auto& info = extended ? d->info30 : d->info1;
    if (!info)
        return false;
    if (buffer && capacity && !info->empty())
        std::memcpy(buffer, info->data(), std::min<size_t>(capacity, info->size()));
    if (length)
        *length = uint32_t(info->size());
    return true;
}


// ---- IOxfrC, IOxfrS: the file-transfer client ----------------------------------------------

int COlnkLink::Copy(uint32_t w, std::uintptr_t p, const char16_t* src, const char16_t* dst)
{
    return m_xfer->Copy(w, p, src, dst);
}
int COlnkLink::CreateDir(uint32_t w, std::uintptr_t p, const char16_t* path)
{
    return m_xfer->CreateDir(w, p, path);
}
int COlnkLink::Delete(uint32_t w, std::uintptr_t p, const char16_t* path) { return m_xfer->Delete(w, p, path); }
int COlnkLink::List(uint32_t w, std::uintptr_t p, LinkProgress progress, uint32_t* job, const char16_t* pattern)
{
    return m_xfer->List(w, p, progress, job, pattern);
}
int COlnkLink::Get(uint32_t w, std::uintptr_t p, LinkProgress progress, uint32_t* job,
                   const char16_t* remotePath, const char16_t* localPath)
{
    return m_xfer->Get(w, p, progress, job, remotePath, localPath);
}
int COlnkLink::GetInto(uint32_t w, std::uintptr_t p, LinkProgress progress, uint32_t* job,
                       const char16_t* remotePath, int localFolder, const char16_t* localName)
{
    return m_xfer->GetInto(w, p, progress, job, remotePath, localFolder, localName);
}
int COlnkLink::GetFileInfo(uint32_t w, std::uintptr_t p, const char16_t* path)
{
    return m_xfer->GetFileInfo(w, p, path);
}
int COlnkLink::Put(uint32_t w, std::uintptr_t p, LinkProgress progress, uint32_t* job,
                   const char16_t* localPath, const char16_t* remotePath)
{
    return m_xfer->Put(w, p, progress, job, localPath, remotePath);
}
int COlnkLink::RemoveDir(uint32_t w, std::uintptr_t p, const char16_t* path)
{
    return m_xfer->RemoveDir(w, p, path);
}
int COlnkLink::Move(uint32_t w, std::uintptr_t p, const char16_t* src, const char16_t* dst)
{
    return m_xfer->Move(w, p, src, dst);
}
int COlnkLink::AddShare(const char16_t* directory, const char16_t* name, uint32_t access)
{
    return m_xfer->AddShare(directory, name, access);
}
int COlnkLink::RemoveShare(const char16_t* name) { return m_xfer->RemoveShare(name); }
int COlnkLink::GetShareCount() { return m_xfer->GetShareCount(); }
int COlnkLink::GetShares(OxfrShareW* shares, uint32_t capacity) { return m_xfer->GetShares(shares, capacity); }
