#include "link/linkobj/olnk_link_impl.h"

#include "platform/sys/WinPath.h"

#include <cstring>
#include <string>
#include <unistd.h>

namespace linkobj {

namespace {
uint16_t U16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
} // namespace

// ---- callbacks (session thread, job threads) ----------------------------------------------

void Impl::OnIdle(void* u)
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
            d->ToList(posts, OLNK_LIST_NOTIFY, WM_LINK_NOTIFY, OLNK_NOTIFY_NO_ANSWER);
    }
    d->Flush(posts);
    d->CheckEstablished();
}

void Impl::CheckEstablished()
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
    const std::optional<uint64_t> received = ReceivedFrames(s);
    bool reread, brks;
    std::vector<Post> posts;
    {
        std::lock_guard<std::mutex> g(m);
        --users;
        cv.notify_all();
        if (up)
            NoteUp();
        ObserveSilence(posts, up, received);
        // Never into a silent channel: the request would wait there, and
        // the channel would reset itself for it.
        reread = up && statusReread && !silence.Silent();
        statusReread = statusReread && !reread;
        // The wanted breakpoints, at every return of the link and after a
        // reply that did not confirm them, until the control system does.
        brks = up && !silence.Silent() && brk.Due(Clock::now());
    }
    Flush(posts);
    if (brks)
        SendWantedBreakpoints(); // refused: due again at the next sweep
    if (!reread)
        return;
    if (!Simple(0, 0, 0, OlnkRequestGetStatus)) {
        std::lock_guard<std::mutex> g(m);
        statusReread = true; // offered again at the next sweep
    }
}

void Impl::NothingCurrent(std::vector<Post>& posts, void (PushState::*mark)(int8_t), int8_t value)
{
    const bool statusKnown = status.length != 0;
    status = PlcStatusRecord{};
    statusReread = true;
    for (PushState* list : {&watchPush, &mechPush, &linePush})
        (list->*mark)(value);
    if (statusKnown)
        ToList(posts, OLNK_LIST_NOTIFY, WM_LINK_NOTIFY, 0);
    for (std::intptr_t kind : {1, 4, 5})
        NoticeToList(posts, kind);
}

void Impl::LinkLost(std::vector<Post>& posts)
{
    brkReplyHeld = false;
    brk.Lost();
    NothingCurrent(posts, &PushState::Lost, kStatusReset);
}

int Impl::OnPeerReset(void* u)
{
    Impl* d = I(u);
    std::vector<Post> posts;
    {
        std::lock_guard<std::mutex> g(d->m);
        d->ToList(posts, OLNK_LIST_LINK_STATE, WM_LINK_STATE, 0);
        d->CompleteSlots(posts, kStatusReset, false);
        d->LinkLost(posts);
    }
    d->stats.Answered();
    d->Flush(posts);
    return 0;
}

void Impl::OnLinkReset(void* u)
{
    Impl* d = I(u);
    std::vector<Post> posts;
    {
        std::lock_guard<std::mutex> g(d->m);
        d->ToList(posts, OLNK_LIST_LINK_STATE, WM_LINK_STATE, OLNK_LINK_STATE_OWN_RESET);
        d->CompleteSlots(posts, kStatusReset, false);
        d->LinkLost(posts);
    }
    d->stats.Answered();
    d->Flush(posts);
}

void Impl::OnLinkEvent(void* u, uint8_t code)
{
    Impl* d = I(u);
    std::vector<Post> posts;
    {
        std::lock_guard<std::mutex> g(d->m);
        d->ToList(posts, OLNK_LIST_LINK_STATE, WM_LINK_STATE, code);
    }
    d->Flush(posts);
}

bool Impl::IsStatusRecord(const uint8_t* data, size_t len)
{
    return data && len == sizeof(PlcStatusRecord) && U16(data) == sizeof(PlcStatusRecord);
}

void Impl::ReportBad(OxfrSession s)
{
    if (s)
        OxfrReportBadMessage(s);
}

void Impl::OnReply(void* u, uint8_t code, int8_t st, uint32_t param, const uint8_t* data, size_t len)
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

void Impl::Absorb(std::vector<Post>& posts, const Slot& s, uint8_t code, int8_t st, uint32_t param,
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
                ToList(posts, OLNK_LIST_NOTIFY, WM_LINK_NOTIFY, 0);
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
    case 13:
    case 12:
        // Only status 0 says the control system holds the set it carried.
        brk.Ended(s.brkNumber, st, Clock::now());
        if (code == 13)
            break;
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

void Impl::OnPush(void* u, uint8_t kind, uint32_t param, const uint8_t* data, size_t len)
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
            d->ToList(posts, OLNK_LIST_NOTIFY, WM_LINK_NOTIFY, kind);
        else
            d->stats.CountIgnored();
    }
    d->ReportBad(bad);
    d->Flush(posts);
}

void Impl::OnTransfer(void* u, uint8_t code, int8_t st, uint32_t param, const uint8_t* data, size_t len)
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

} // namespace linkobj
