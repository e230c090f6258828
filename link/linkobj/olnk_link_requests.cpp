#include "link/linkobj/olnk_link_impl.h"

#include "platform/sys/LastError.h"

#include <cstring>

namespace linkobj {

// ---- posting -----------------------------------------------------------------------------

void Impl::Flush(std::vector<Post>& posts)
{
    for (Post& p : posts)
        if (poster)
            poster->Post(p.target, p.message, p.wParam, p.lParam, std::move(p.record));
    posts.clear(); // records of unposted messages go here
}

void Impl::ToList(std::vector<Post>& posts, int list, uint32_t message, std::intptr_t lParam)
{
    for (uint32_t t : lists[list])
        posts.push_back({t, message, linkId, lParam, nullptr});
}

void Impl::NoticeToList(std::vector<Post>& posts, std::intptr_t kind)
{
    std::lock_guard<std::mutex> g(notices->m);
    notices->poster = poster;
    notices->linkId = linkId;
    for (uint32_t t : lists[OLNK_LIST_NOTIFY]) {
        if (const auto it = notices->Find(t, kind); it != notices->waiting.end()) {
            it->again = true;
            continue;
        }
        notices->waiting.push_back({t, kind, false});
        posts.push_back({t, WM_LINK_NOTIFY, linkId, kind, std::make_unique<NoticeRecord>(notices, t, kind)});
    }
}

std::unique_ptr<LinkResultMessage> Impl::Result(uint8_t kind, int8_t st, std::uintptr_t param)
{
    auto r = std::make_unique<LinkResultMessage>();
    r->record.linkId = linkId;
    r->record.kind = kind;
    r->record.status = st;
    r->record.parameter = param;
    return r;
}

void Impl::SetData(LinkResultMessage& r, const void* data, size_t length, size_t pad)
{
    const size_t n = std::max(length, pad);
    r.storage.reset(new uint8_t[n + 1]());
    if (length)
        std::memcpy(r.storage.get(), data, length);
    r.record.data = r.storage.get();
    r.record.dataLength = uint32_t(length);
}

void Impl::Deliver(std::vector<Post>& posts, const Slot& s, uint32_t message,
                   std::unique_ptr<LinkResultMessage> r)
{
    if (!s.window)
        return; // nobody is told; the record goes at once
    const auto lParam = reinterpret_cast<std::intptr_t>(&r->record);
    posts.push_back({s.window, message, linkId, lParam, std::move(r)});
}

void Impl::FreeSlot(Slot& s)
{
    cv.notify_all(); // EndWatches waits for its slots
    // A breakpoint request ended without a reply (reset, close, time-out,
    // a send that failed): what the control system holds is unknown.
    if (s.brkNumber)
        brk.Ended(s.brkNumber, kStatusReset, Clock::now());
    s.brkNumber = 0;
    s.state = SlotState::Free;
    s.block.clear();
    s.indices.clear();
    s.window = 0;
    s.param = 0;
}

void Impl::CompleteSlots(std::vector<Post>& posts, int8_t st, bool all)
{
    for (Slot& s : slots) {
        if (s.state == SlotState::Free || (s.byJob && !all))
            continue;
        Deliver(posts, s, s.family == Family::Link ? WM_LINK_RESULT : WM_XFER_RESULT,
                Result(s.code, st, s.param));
        FreeSlot(s);
    }
}

Slot* Impl::Match(Family f, uint8_t code, uint32_t wire)
{
    Slot& s = slots[wire % kSlots];
    if (s.state == SlotState::Free || s.wire != wire || s.family != f || s.code != code)
        return nullptr;
    return &s;
}

// ---- requests ----------------------------------------------------------------------------

int Impl::Run(const Req& r)
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
    bool ended;
    {
        std::lock_guard<std::mutex> g(m);
        --users;
        cv.notify_all();
        Slot& sl = slots[idx];
        const bool mine = sl.state != SlotState::Free && sl.wire == wire;
        // A reset of the link (ours or the peer's) that came while the call
        // waited for the channel's window ended the request with its result
        // already: that is its one outcome, not a refusal besides.
        ended = !mine;
        if (!ok) {
            if (mine)
                FreeSlot(sl);
            if (r.undo)
                r.undo(wire);
        } else if (mine && sl.state == SlotState::Sending) {
            sl.state = SlotState::Waiting;
        }
    }
    if (!ok && !ended)
        return Fail(err ? err : OLNK_E_UNEXPECTED);
    return 1;
}

int Impl::Simple(uint8_t code, uint32_t window, std::uintptr_t param,
                 std::function<int(OxfrSession, uint32_t)> send)
{
    Req r;
    r.code = code;
    r.window = window;
    r.param = param;
    r.send = std::move(send);
    return Run(r);
}

int Impl::Block(uint8_t code, uint32_t window, std::uintptr_t param, Bytes block,
                int (*fn)(OxfrSession, uint32_t, const void*))
{
    return Simple(code, window, param,
                  [block = std::move(block), fn](OxfrSession s, uint32_t w) { return fn(s, w, block.data()); });
}

int Impl::CheckedBlock(bool valid, uint8_t code, uint32_t window, std::uintptr_t param, const void* r,
                       int (*fn)(OxfrSession, uint32_t, const void*))
{
    if (!valid)
        return Fail(OLNK_LINK_E_ARG);
    const auto* b = static_cast<const uint8_t*>(r);
    return Block(code, window, param, Bytes(b, b + BlockLength(r)), fn);
}

int Impl::Xfer(uint8_t code, uint32_t window, std::uintptr_t param, bool byJob,
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

// ---- the session, and the refusal while the link is down or silent ----------------------

uint32_t Impl::UpConnection(OxfrSession s)
{
    const uint32_t connection = OlnkGetConnection(OxfrGetChannel(s));
    return OxfrIsEstablished(s) ? connection : 0;
}

uint32_t Impl::RefusalWhileDown(uint32_t* connection)
{
    *connection = 0;
    OxfrSession s = Acquire();
    if (!s)
        return OLNK_LINK_E_NO_SESSION;
    const uint32_t up = UpConnection(s);
    uint32_t refusal = 0;
    {
        std::lock_guard<std::mutex> g(m);
        if (up)
            NoteUp();
        if (!up && upSeen)
            refusal = OLNK_LINK_E_NOT_ESTABLISHED;
        else if (up && silence.Silent())
            // The request would wait in the control system's input and be
            // carried out whenever it runs again, long after the window
            // that asked was told of the silence (or of the channel's
            // reset the request itself brings about).
            refusal = OLNK_LINK_E_SILENT;
    }
    Release();
    if (refusal)
        return refusal;
    *connection = up;
    return 0;
}

uint32_t Impl::RefusalWhileDown()
{
    uint32_t connection;
    return RefusalWhileDown(&connection);
}

OxfrSession Impl::Acquire()
{
    std::lock_guard<std::mutex> g(m);
    if (!session) {
        sys::SetLastError(OLNK_LINK_E_NO_SESSION);
        return nullptr;
    }
    ++users;
    return session;
}

void Impl::Release()
{
    std::lock_guard<std::mutex> g(m);
    --users;
    cv.notify_all();
}

} // namespace linkobj
