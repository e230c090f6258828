#include "link/linkobj/olnk_link.h"

#include "link/linkobj/olnk_link_impl.h"

#include "platform/sys/LastError.h"

#include <algorithm>
#include <chrono>
#include <unistd.h>

LinkResultMessage::~LinkResultMessage()
{
    if (!listingFile.empty())
        ::unlink(listingFile.c_str());
}

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
    // What the control system holds is unknown: the wanted breakpoints go
    // out once it answers.
    d->brk.Lost();
    d->silence.Forget();
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
    if (list > OLNK_LIST_NOTIFY || w == 0)
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
    if (list > OLNK_LIST_NOTIFY)
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

bool COlnkLink::LinkDown() { return d->RefusalWhileDown() == OLNK_LINK_E_NOT_ESTABLISHED; }

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
    // The wanted breakpoints (none once debugging ended), unless the
    // control system confirmed them or they are on their way.
    d->SendWantedBreakpoints();
    // Their replies, and those of watch lists and breakpoints a window sent
    // just before (or the link's end of them), within waitMs: a request
    // still in the channel when it closes never reaches the control system.
    std::unique_lock<std::mutex> lk(d->m);
    d->cv.wait_for(lk, std::chrono::milliseconds(waitMs), [&] {
        for (const linkobj::Slot& sl : d->slots)
            if (sl.state != linkobj::SlotState::Free && sl.family == linkobj::Family::Link &&
                (sl.code == 16 || sl.code == 19 || sl.code == 21 || sl.code == 12 || sl.code == 13))
                return false;
        return true;
    });
    return ended;
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
