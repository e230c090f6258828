// The session: its thread, the dispatch by class, the reply queue, the link
// requests, the file-transfer client and the server's request handling.

#include "link/oxfr/oxfr_internal.h"

#include "platform/sys/CodePage.h"
#include "platform/sys/LastError.h"
#include "platform/sys/WinPath.h"

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#if __has_include("link/olnk/olnk_open.h")
#include "link/olnk/olnk_open.h"
#define OXFR_HAVE_OPEN 1
#endif

using namespace oxfr;

namespace {

constexpr size_t kQueueLimit = 256;
constexpr size_t kWorkLimit = 256;
constexpr int kWorkers = 4;

int Fail(uint32_t code)
{
    sys::SetLastError(code);
    return 0;
}

// ---- Sending ---------------------------------------------------------------------------

// Sends the head of the queue while slots are free (session thread).
void DrainQueue(OxfrSessionImpl* s)
{
    for (;;) {
        Bytes msg;
        {
            std::lock_guard<std::mutex> g(s->m);
            if (s->queue.empty() || s->sending)
                return;
            msg = std::move(s->queue.front());
            s->queue.pop_front();
            s->sending = true;
        }
        const int r = OlnkSend(s->ch, uint16_t(msg.size()), msg.data(), 1, 0);
        const uint32_t e = r < 0 ? sys::GetLastError() : 0;
        std::lock_guard<std::mutex> g(s->m);
        s->sending = false;
        if (r < 0) {
            if (e == OLNK_E_TIMEOUT) {
                s->queue.push_front(std::move(msg)); // no slot yet: try again later
                return;
            }
            ++s->dropped; // fails at once (a reset): drop it, go on
        }
    }
}

// ---- Callbacks ---------------------------------------------------------------------------

void Idle(OxfrSessionImpl* s)
{
    OxfrIdleCallback cb;
    {
        std::lock_guard<std::mutex> g(s->m);
        cb = s->scb.idle;
    }
    if (cb)
        cb(s->user);
}

// ---- Server -------------------------------------------------------------------------------

void WorkerLoop(OxfrSessionImpl* s)
{
    for (;;) {
        Bytes req;
        ShareList shares;
        {
            std::unique_lock<std::mutex> lk(s->m);
            s->workCv.wait(lk, [&] { return s->workStop || !s->work.empty(); });
            if (s->workStop)
                return;
            req = std::move(s->work.front());
            s->work.pop_front();
            shares = s->shares.List();
        }
        SendReply(s, ServeSimple(shares, req.data(), req.size()));
    }
}

void ServeJobRequest(OxfrSessionImpl* s, const uint8_t* m, size_t n)
{
    const uint8_t code = m[2];
    const uint32_t param = U32(m + 3);
    const auto path = n >= 12 ? TakeWirePath(m, n, 12) : std::nullopt;
    ShareList shares;
    {
        std::lock_guard<std::mutex> g(s->m);
        shares = s->shares.List();
    }
    if (!path)
        return SendReply(s, FileReply(code, param, OXFR_PATH_REFUSED));
    const uint8_t peer = m[7];
    // Listing and read name the requester's receive job, write its send job.
    if ((code == OXFR_CODE_PUT) != (peer < 128)) {
        CountError(s, s->malformed);
        return SendReply(s, FileReply(code, param, OXFR_NO_STREAM));
    }
    std::unique_ptr<JobIo> io;
    uint32_t err = 0;
    uint8_t failure = OXFR_STREAM_ERROR;
    if (code == OXFR_CODE_LIST) {
        Bytes file;
        const uint8_t st = BuildListing(shares, *path, file);
        if (st != 0)
            return SendReply(s, FileReply(code, param, st));
        std::string tmp = TempFolder() + "/KX2XXXXXX";
        const int fd = ::mkostemp(tmp.data(), O_CLOEXEC);
        bool ok = fd >= 0;
        if (ok) {
            ok = ::write(fd, file.data(), file.size()) == ssize_t(file.size());
            ::close(fd);
            if (ok)
                io = OpenFileSource(tmp, true, err);
            if (!io)
                ::unlink(tmp.c_str());
        }
        if (!io)
            return SendReply(s, FileReply(code, param, OXFR_TEMP_FAILED));
    } else {
        MappedPath mp;
        if (!MapPath(shares, *path, mp))
            return SendReply(s, FileReply(code, param, code == OXFR_CODE_PUT ? OXFR_DEST_REFUSED
                                                                             : OXFR_PATH_REFUSED));
        if (code == OXFR_CODE_GET) {
            io = OpenFileSource(mp.native, false, err);
            if (!io)
                return SendReply(s, FileReply(code, param, OXFR_NO_STREAM));
        } else {
            struct stat st;
            if (mp.shareRoot || !IsValidNewName(mp.lastName) ||
                (::stat(mp.native.c_str(), &st) == 0 && !S_ISREG(st.st_mode)))
                return SendReply(s, FileReply(code, param, OXFR_DEST_REFUSED));
            io = OpenFileSink(mp.native, err);
            if (!io)
                return SendReply(s, FileReply(code, param, OXFR_DEST_REFUSED));
            failure = OXFR_DEST_REFUSED;
        }
    }
    Job* job;
    {
        std::lock_guard<std::mutex> g(s->m);
        job = NewJobLocked(s, code != OXFR_CODE_PUT);
        if (job) {
            job->code = code;
            job->param = param;
            job->peer = peer;
            job->heard = true;
            job->ioFailure = failure;
            job->io = std::move(io);
        }
    }
    if (!job) {
        if (io)
            io->Discard();
        return SendReply(s, FileReply(code, param, OXFR_NO_STREAM));
    }
    StartJob(s, job);
}

void ServeRequest(OxfrSessionImpl* s, const uint8_t* m, size_t n)
{
    const uint8_t code = m[2];
    const uint32_t param = U32(m + 3);
    if (code > 8)
        return SendReply(s, FileReply(code, param, OXFR_UNKNOWN_COMMAND));
    if (code == OXFR_CODE_LIST || code == OXFR_CODE_GET || code == OXFR_CODE_PUT)
        return ServeJobRequest(s, m, n);
    {
        std::lock_guard<std::mutex> g(s->m);
        if (s->work.size() < kWorkLimit && !s->workStop) {
            if (s->workers.empty())
                for (int i = 0; i < kWorkers; ++i)
                    s->workers.emplace_back(WorkerLoop, s);
            s->work.emplace_back(m, m + n);
            s->workCv.notify_one();
            return;
        }
    }
    SendReply(s, FileReply(code, param, FailureStatus(code)));
}

// ---- Dispatch ------------------------------------------------------------------------------

// The peer's connect message, answered with the connect reply.  A reset of
// the peer ends every job and what was queued for its previous session.
// When its reset crossed this side's own (the two sent their connect frames
// before either took the other's), nothing this side sent since then is
// lost: the peer takes it after its reset, so nothing ends and the owner is
// not told of a reset.
void PeerReset(OxfrSessionImpl* s, const uint8_t* m, size_t n, bool crossed)
{
    OxfrPeerResetCallback cb;
    {
        std::lock_guard<std::mutex> g(s->m);
        if (n >= 11 && m[0] == 0 && m[1] == 0 && m[2] == 0 && U16(m + 7) >= 4)
            s->peerValue = U16(m + 9);
        cb = s->scb.peerReset;
    }
    const uint8_t status = !cb ? OXFR_NOT_IMPLEMENTED : crossed ? 0 : uint8_t(cb(s->user));
    if (!crossed) {
        std::lock_guard<std::mutex> g(s->m);
        EndAllJobsLocked(s, OXFR_RESET);
        s->queue.clear(); // replies meant for the peer's previous session
        // A connect message of this side that waited for its answer went
        // with the peer's previous connection: the peer's reset, answered,
        // begins the new one.
        s->established = true;
    }
    const Bytes reply = ConnectReply(n >= 7 ? U32(m + 3) : 0, status);
    OlnkConnect(s->ch, uint16_t(reply.size()), reply.data());
}

// This side's own reset (the channel reset itself, out of step, or the
// session restarted it): what the peer was sent is gone, so every job ends
// as on a peer reset, and the session is established again once the peer
// answers the connect message.
void OwnReset(OxfrSessionImpl* s)
{
    OxfrLinkResetCallback cb;
    {
        std::lock_guard<std::mutex> g(s->m);
        s->established = false;
        EndAllJobsLocked(s, OXFR_RESET);
        s->queue.clear();
        cb = s->scb.linkReset;
    }
    if (cb)
        cb(s->user);
}

// A message that came in a connect frame.  The peer's reset always travels
// so, and the channel, now reset by the peer, waits for this side's answer,
// or the link would stay reset for good.  The peer's connect message is
// answered with the connect reply.  Anything else that reset the channel
// (a late copy of the peer's connect reply, met in link state 0, or
// garbage) is met with this side's own reset, the connect frame with this
// side's connect message as a new channel sends it: the peer answers a
// connect message, but takes a reply in a connect frame for a reset by its
// peer that it never answers, and would drop every later frame.  Our own
// reset is answered by the connect reply.
void DispatchConnectFrame(OxfrSessionImpl* s, const uint8_t* m, size_t n, bool metOwnReset)
{
    const bool connect = n >= 7 && m[0] == 0 && m[1] == 0 && m[2] == 0;
    const bool reply = n >= 8 && m[0] == 0 && m[1] == 1 && m[2] == 0;
    if (!connect && !reply)
        CountError(s, s->malformed);
    if (OlnkGetLinkState(s->ch) == OLNK_STATE_RESET_BY_PEER) {
        if (connect)
            return PeerReset(s, m, n, false);
        if (OlnkRestart(s->ch))
            OwnReset(s);
        return;
    }
    if (connect)
        return PeerReset(s, m, n, metOwnReset);
    if (reply) {
        std::lock_guard<std::mutex> g(s->m);
        if (n >= 12 && U16(m + 8) >= 4)
            s->peerValue = U16(m + 10);
        s->established = true;
    }
}

void Dispatch(OxfrSessionImpl* s, const uint8_t* m, size_t n, bool connectFrame, bool metOwnReset)
{
    if (connectFrame)
        return DispatchConnectFrame(s, m, n, metOwnReset);
    if (n < 7) {
        CountError(s, s->malformed);
        return;
    }
    const uint8_t cls = m[0], type = m[1], code = m[2];
    const uint32_t param = U32(m + 3);
    switch (cls) {
    case 0:
        if (type == 0) {
            // A connect message outside a connect frame is no reset: taking
            // it for one would reset this side's channel, and the peer, which
            // never asked, would not answer.
            if (code == 0)
                CountError(s, s->malformed);
            else
                SendReply(s, ShortReply(0, code, param, OXFR_UNKNOWN_COMMAND));
        } else if (type == 1) {
            // Likewise a connect reply outside a connect frame.
            if (n < 8 || code == 0)
                CountError(s, s->malformed);
            else
                ++s->ignored;
        } else if (type == 3) {
            // Exactly `0, 3, code, u32 0`: windows end their transfers on it.
            if (n != 7 || param != 0) {
                CountError(s, s->malformed);
                return;
            }
            OxfrLinkEventCallback cb;
            {
                std::lock_guard<std::mutex> g(s->m);
                cb = s->scb.linkEvent;
            }
            if (cb)
                cb(s->user, code);
        } else if (type == 4 || type == 5) {
            DispatchJobMessage(s, m, n);
        }
        return;
    case 1:
        if (type == 0) {
            SendReply(s, ShortReply(1, code, param, OXFR_UNKNOWN_COMMAND));
        } else if (type == 1) {
            if (n < 8) {
                CountError(s, s->malformed);
                return;
            }
            const int8_t status = int8_t(m[7]);
            if (code == 2) {
                if (status < 0)
                    FailRequesterJob(s, true, 2, param, uint8_t(status));
                else
                    ++s->ignored;
                return;
            }
            OxfrReplyCallback cb;
            {
                std::lock_guard<std::mutex> g(s->m);
                cb = s->lcb.reply;
            }
            if (cb)
                cb(s->user, code, status, param, m + 8, n - 8);
        } else if (type == 2 || type == 3) {
            OxfrPushCallback cb;
            {
                std::lock_guard<std::mutex> g(s->m);
                cb = type == 2 ? s->lcb.pushed2 : s->lcb.pushed3;
            }
            if (cb)
                cb(s->user, code, param, m + 7, n - 7);
        }
        return;
    case 2:
        if (type == 0) {
            ServeRequest(s, m, n);
        } else if (type == 1) {
            if (n < 10) {
                CountError(s, s->malformed);
                return;
            }
            const int8_t status = int8_t(m[7]);
            if (code == OXFR_CODE_LIST || code == OXFR_CODE_GET || code == OXFR_CODE_PUT) {
                if (status < 0)
                    FailRequesterJob(s, false, code, param, uint8_t(status));
                else
                    ++s->ignored;
                return;
            }
            OxfrTransferCallback cb;
            {
                std::lock_guard<std::mutex> g(s->m);
                cb = s->tcb.result;
            }
            const size_t len = std::min<size_t>(U16(m + 8), n - 10);
            if (cb)
                cb(s->user, code, status, param, m + 10, len);
        }
        return;
    default:
        if (type == 0)
            SendReply(s, ShortReply(cls, code, param, OXFR_UNKNOWN_CLASS));
        else
            ++s->ignored;
        return;
    }
}

// One turn of the session thread: the channel's own reset, the idle call,
// the reply queue, then at most one received message, waiting at most
// waitMs for it.  1 when a message was handled, 0 when none came, -1 when
// the channel is closing.
int Turn(OxfrSessionImpl* s, std::vector<uint8_t>& buf, bool wait)
{
    if (OlnkTakeSelfReset(s->ch))
        OwnReset(s);
    else if (!s->established && OlnkRestartUnanswered(s->ch))
        OwnReset(s); // the answer passed as a repeat: asked for again
    Idle(s);
    DrainQueue(s);
    bool queued;
    {
        std::lock_guard<std::mutex> g(s->m);
        queued = !s->queue.empty();
    }
    uint16_t len = 0;
    bool connectFrame = false, metOwnReset = false;
    if (OlnkReceiveEx(s->ch, &len, uint16_t(buf.size()), buf.data(), !wait ? 0 : queued ? 10 : 100,
                      &connectFrame, &metOwnReset)) {
        // The channel may have reset itself while this thread waited,
        // and the message may be the peer's answer to that reset: the
        // reset is taken first, or it would end what the answer began
        // (the session read not established for good).
        if (OlnkTakeSelfReset(s->ch))
            OwnReset(s);
        Dispatch(s, buf.data(), std::min<size_t>(len, buf.size()), connectFrame, metOwnReset);
        ReapJobs(s, false);
        return 1;
    }
    const uint32_t e = sys::GetLastError();
    if (e == OLNK_E_HANDLE)
        return -1;
    if (wait && e != OLNK_E_TIMEOUT)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return 0;
}

void SessionThread(OxfrSessionImpl* s)
{
    std::vector<uint8_t> buf(kMaxMessage);
    while (!s->stop && Turn(s, buf, true) >= 0) {
    }
    Idle(s);
}

// ---- Client helpers ------------------------------------------------------------------------------

uint32_t SendNowErr(OxfrSessionImpl* s, const Bytes& msg)
{
    return SendNow(s, msg, s->timeoutMs);
}

int SendRequest(OxfrSession s, const Bytes& msg)
{
    if (!s)
        return Fail(OLNK_E_HANDLE);
    if (const uint32_t e = SendNowErr(s, msg))
        return Fail(e);
    return 1;
}

bool WireOk(std::string_view p) { return p.size() <= kMaxWirePath && p.find('\0') == p.npos; }

std::string ToWire(const char16_t* p) { return p ? sys::WideToAnsi(p) : std::string(); }

std::optional<std::string> ToLocal(const char16_t* p)
{
    if (!p)
        return std::nullopt;
    return sys::Utf16ToUtf8Lenient(p);
}

int Simple1(OxfrSession s, uint8_t code, uint32_t param, const char* path)
{
    if (!s)
        return Fail(OLNK_E_HANDLE);
    if (!path)
        return Fail(OLNK_E_INVALIDARG);
    if (!WireOk(path))
        return Fail(OLNK_E_BAD_PATH);
    return SendRequest(s, FileRequest(code, param, path));
}

int Simple2(OxfrSession s, uint8_t code, uint32_t param, const char* a, const char* b)
{
    if (!s)
        return Fail(OLNK_E_HANDLE);
    if (!a || !b)
        return Fail(OLNK_E_INVALIDARG);
    if (!WireOk(a) || !WireOk(b))
        return Fail(OLNK_E_BAD_PATH);
    return SendRequest(s, FileRequest2(code, param, a, b));
}

// Starts a requester job and sends its request.
int StartRequesterJob(OxfrSession s, bool send, uint8_t code, uint32_t param, Deliver deliver,
                      std::unique_ptr<JobIo> io, OxfrProgress progress, std::uintptr_t context,
                      uint32_t* handle, const std::function<Bytes(uint8_t)>& request)
{
    Job* job;
    {
        std::lock_guard<std::mutex> g(s->m);
        job = NewJobLocked(s, send);
        if (job) {
            job->requester = true;
            job->code = code;
            job->param = param;
            job->deliver = deliver;
            job->progress = progress;
            job->context = context;
            job->io = std::move(io);
        }
    }
    if (!job) {
        if (io)
            io->Discard();
        return Fail(s->closing ? OLNK_E_HANDLE : OLNK_E_OUTOFMEMORY);
    }
    if (const uint32_t e = SendNowErr(s, request(job->id))) {
        DropJob(s, job);
        return Fail(e);
    }
    if (handle)
        *handle = job->handle;
    StartJob(s, job);
    return 1;
}

// Starts a file job naming a remote path: checks the handle and the path,
// opens the job's local side, then sends the request.
int FileJobImpl(OxfrSession s, bool send, uint8_t code, uint32_t param, OxfrProgress progress,
                std::uintptr_t context, uint32_t* job, const std::string& remote,
                const std::function<std::unique_ptr<JobIo>(uint32_t&)>& open)
{
    if (!s)
        return Fail(OLNK_E_HANDLE);
    if (!WireOk(remote))
        return Fail(OLNK_E_BAD_PATH);
    uint32_t err = 0;
    auto io = open(err);
    if (!io)
        return Fail(err);
    return StartRequesterJob(s, send, code, param, Deliver::Transfer, std::move(io), progress, context, job,
                             [&](uint8_t id) { return FileJobRequest(code, param, id, remote); });
}

int ListImpl(OxfrSession s, uint32_t param, OxfrProgress progress, std::uintptr_t context,
             uint32_t* job, const std::string& remote)
{
    return FileJobImpl(s, false, OXFR_CODE_LIST, param, progress, context, job, remote,
                       [](uint32_t& err) { return OpenListingSink(err); });
}

int GetImpl(OxfrSession s, uint32_t param, OxfrProgress progress, std::uintptr_t context,
            uint32_t* job, const std::string& remote, const std::string& local)
{
    return FileJobImpl(s, false, OXFR_CODE_GET, param, progress, context, job, remote,
                       [&](uint32_t& err) { return OpenFileSink(local, err); });
}

int GetIntoImpl(OxfrSession s, uint32_t param, OxfrProgress progress, std::uintptr_t context,
                uint32_t* job, const std::string& remote, int folder, const std::string& name)
{
    return FileJobImpl(s, false, OXFR_CODE_GET, param, progress, context, job, remote,
                       [&](uint32_t& err) { return OpenFileSinkAt(folder, name, err); });
}

int PutImpl(OxfrSession s, uint32_t param, OxfrProgress progress, std::uintptr_t context,
            uint32_t* job, const std::string& local, const std::string& remote)
{
    return FileJobImpl(s, true, OXFR_CODE_PUT, param, progress, context, job, remote,
                       [&](uint32_t& err) { return OpenFileSource(local, false, err); });
}

int RequestNone(OxfrSession s, uint8_t code, uint32_t param)
{
    return SendRequest(s, Header(1, 0, code, param));
}

int RequestByte(OxfrSession s, uint8_t code, uint32_t param, uint8_t v)
{
    Bytes b = Header(1, 0, code, param);
    b.push_back(v);
    return SendRequest(s, b);
}

int RequestBlock(OxfrSession s, uint8_t code, uint32_t param, const void* block)
{
    if (!s)
        return Fail(OLNK_E_HANDLE);
    if (!block)
        return Fail(OLNK_E_INVALIDARG);
    const auto* p = static_cast<const uint8_t*>(block);
    const uint16_t len = U16(p);
    if (len < 2 || len > kMaxRequestBlock)
        return Fail(OLNK_E_INVALIDARG);
    Bytes b = Header(1, 0, code, param);
    b.insert(b.end(), p, p + len);
    return SendRequest(s, b);
}

int RequestRaw(OxfrSession s, uint8_t code, uint32_t param, const void* values, size_t n)
{
    if (!s)
        return Fail(OLNK_E_HANDLE);
    if (!values)
        return Fail(OLNK_E_INVALIDARG);
    Bytes b = Header(1, 0, code, param);
    const auto* p = static_cast<const uint8_t*>(values);
    b.insert(b.end(), p, p + n);
    return SendRequest(s, b);
}

OxfrSession NewSession(void* user, OlnkChannel ch, uint32_t timeoutMs)
{
    auto* s = new (std::nothrow) OxfrSessionImpl;
    if (!s) {
        OlnkCloseChannel(ch);
        sys::SetLastError(OLNK_E_OUTOFMEMORY);
        return nullptr;
    }
    s->user = user;
    s->ch = ch;
    s->timeoutMs = timeoutMs;
    return s;
}

} // namespace

// ---- Shared with the jobs ------------------------------------------------------------------------

namespace oxfr {

uint32_t SendNow(OxfrSessionImpl* s, const Bytes& msg, uint32_t timeoutMs)
{
    if (OlnkSend(s->ch, uint16_t(msg.size()), msg.data(), 1, timeoutMs) >= 0)
        return 0;
    return sys::GetLastError();
}

void SendReply(OxfrSessionImpl* s, Bytes msg)
{
    {
        std::lock_guard<std::mutex> g(s->m);
        if (!s->queue.empty() || s->sending) {
            if (s->queue.size() >= kQueueLimit)
                ++s->dropped;
            else
                s->queue.push_back(std::move(msg));
            return;
        }
        s->sending = true;
    }
    const int r = OlnkSend(s->ch, uint16_t(msg.size()), msg.data(), 1, 0);
    const uint32_t e = r < 0 ? sys::GetLastError() : 0;
    std::lock_guard<std::mutex> g(s->m);
    s->sending = false;
    if (r < 0) {
        if (e == OLNK_E_TIMEOUT)
            s->queue.push_front(std::move(msg));
        else
            ++s->dropped;
    }
}

} // namespace oxfr

// ---- Session ---------------------------------------------------------------------------------------

const uint8_t* OxfrConnectData(size_t* length)
{
    static const Bytes msg = ConnectMessage();
    if (length)
        *length = msg.size();
    return msg.data();
}

OxfrSession OxfrOpenSessionOnChannel(void* user, OlnkChannel channel, uint32_t timeoutMs)
{
    if (!channel) {
        sys::SetLastError(OLNK_E_HANDLE);
        return nullptr;
    }
    return NewSession(user, channel, timeoutMs);
}

OxfrSession OxfrOpenSessionA(void* user, const char* connectionString, uint32_t timeoutMs)
{
#ifdef OXFR_HAVE_OPEN
    if (!connectionString) {
        sys::SetLastError(OLNK_E_INVALIDARG);
        return nullptr;
    }
    size_t n = 0;
    const uint8_t* d = OxfrConnectData(&n);
    OlnkChannel ch = OlnkOpenChannelA(connectionString, std::span<const uint8_t>(d, n));
    if (!ch)
        return nullptr;
    return NewSession(user, ch, timeoutMs);
#else
    (void)user;
    (void)connectionString;
    (void)timeoutMs;
    sys::SetLastError(OLNK_E_INVALIDARG); // no transports in this build
    return nullptr;
#endif
}

OxfrSession OxfrOpenSessionW(void* user, const char16_t* connectionString, uint32_t timeoutMs)
{
    if (!connectionString) {
        sys::SetLastError(OLNK_E_INVALIDARG);
        return nullptr;
    }
    const std::string utf8 = sys::Utf16ToUtf8Lenient(connectionString);
    return OxfrOpenSessionA(user, utf8.c_str(), timeoutMs);
}

int OlnkResumeSession(OxfrSession s)
{
    if (!s)
        return Fail(OLNK_E_HANDLE);
    std::lock_guard<std::mutex> g(s->m);
    if (!s->resumed) {
        s->resumed = true;
        s->thread = std::thread(SessionThread, s);
    }
    return 1;
}

int OxfrSessionTurn(OxfrSession s)
{
    if (!s)
        return Fail(OLNK_E_HANDLE);
    {
        std::lock_guard<std::mutex> g(s->m);
        if (s->resumed)
            return Fail(OLNK_E_INVALIDARG);
    }
    static thread_local std::vector<uint8_t> buf(kMaxMessage);
    int handled = 0;
    while (Turn(s, buf, false) > 0)
        ++handled;
    return handled;
}

int OxfrCloseSession(OxfrSession s)
{
    if (!s)
        return Fail(OLNK_E_HANDLE);
    {
        std::lock_guard<std::mutex> g(s->m);
        s->closing = true;
        EndAllJobsLocked(s, OXFR_CLOSED);
    }
    ReapJobs(s, true); // jobs deliver their results and end
    {
        std::lock_guard<std::mutex> g(s->m);
        s->workStop = true;
        s->workCv.notify_all();
    }
    for (auto& w : s->workers)
        w.join();
    s->stop = true;
    if (s->thread.joinable())
        s->thread.join();
    // Jobs the session thread started while closing.
    {
        std::lock_guard<std::mutex> g(s->m);
        EndAllJobsLocked(s, OXFR_CLOSED);
    }
    for (;;) {
        ReapJobs(s, true);
        std::lock_guard<std::mutex> g(s->m);
        if (s->jobs.empty())
            break;
    }
    OlnkCloseChannel(s->ch);
    delete s;
    return 1;
}

// Sets one set of the session's callbacks (none when t is null).
template <class T>
static int SetCallbacks(OxfrSession s, T OxfrSessionImpl::*member, const T* t)
{
    if (!s)
        return Fail(OLNK_E_HANDLE);
    std::lock_guard<std::mutex> g(s->m);
    s->*member = t ? *t : T{};
    return 1;
}

int OxfrSetSessionCallbacks(OxfrSession s, const OxfrSessionCallbacks* t)
{
    return SetCallbacks(s, &OxfrSessionImpl::scb, t);
}

int OxfrSetLinkCallbacks(OxfrSession s, const OxfrLinkCallbacks* t)
{
    return SetCallbacks(s, &OxfrSessionImpl::lcb, t);
}

int OxfrSetTransferCallbacks(OxfrSession s, const OxfrTransferCallbacks* t)
{
    return SetCallbacks(s, &OxfrSessionImpl::tcb, t);
}

OlnkChannel OxfrGetChannel(OxfrSession s)
{
    if (!s) {
        sys::SetLastError(OLNK_E_HANDLE);
        return nullptr;
    }
    return s->ch;
}

bool OxfrIsEstablished(OxfrSession s) { return s && s->established; }

int OxfrGetCounters(OxfrSession s, OxfrCounters* out)
{
    if (!s)
        return Fail(OLNK_E_HANDLE);
    if (!out)
        return Fail(OLNK_E_INVALIDARG);
    out->malformed = s->malformed;
    out->unknownJob = s->unknownJob;
    out->ignoredReplies = s->ignored;
    out->droppedReplies = s->dropped;
    out->evictedJobs = s->evicted;
    return 1;
}

int OxfrReportBadMessage(OxfrSession s)
{
    if (!s)
        return Fail(OLNK_E_HANDLE);
    CountError(s, s->malformed);
    return 1;
}

int OxfrSetJobTimeout(OxfrSession s, uint32_t ms)
{
    if (!s)
        return Fail(OLNK_E_HANDLE);
    s->jobTimeoutMs = ms;
    return 1;
}

static int EndJobByHandle(OxfrSession s, uint32_t handle, uint8_t status)
{
    if (!s)
        return Fail(OLNK_E_HANDLE);
    std::unique_lock<std::mutex> lk(s->m);
    Job* j = s->slots[handle & 0xFF];
    if (!j || j->handle != handle || handle == 0)
        return 1;
    EndJobLocked(s, j, status);
    if (j->threadId != std::this_thread::get_id()) {
        ++j->waiters;
        j->cv.wait(lk, [&] { return !j->inProgress; });
        --j->waiters;
    }
    return 1;
}

int OxfrCancelJob(OxfrSession s, uint32_t job) { return EndJobByHandle(s, job, OXFR_CANCELLED); }

// ---- Link requests ------------------------------------------------------------------------------

#define NONE(name, code) \
    int OlnkRequest##name(OxfrSession s, uint32_t p) { return RequestNone(s, code, p); }
#define BYTE(name, code) \
    int OlnkRequest##name(OxfrSession s, uint32_t p, uint8_t v) { return RequestByte(s, code, p, v); }
#define BLOCK(name, code)                                             \
    int OlnkRequest##name(OxfrSession s, uint32_t p, const void* b) \
    {                                                                 \
        return RequestBlock(s, code, p, b);                           \
    }
NONE(GetStatus, 0)
NONE(GetPLCInfo, 1)
NONE(ClearPLC, 3)
NONE(SleepPLC, 4)
NONE(WakePLC, 5)
NONE(RunPLC, 6)
NONE(StopPLC, 7)
NONE(BreakPLC, 8)
NONE(StepPLC, 9)
BYTE(BackupPLCData, 10)
BLOCK(SetBrkAtLine, 11)
BLOCK(SetBrksAtLine, 12)
NONE(13, 13)
BLOCK(14, 14)
NONE(15, 15)
BLOCK(Watch, 16)
BLOCK(17, 17)
BLOCK(18, 18)
BLOCK(WatchRegsOnLine, 19)
BYTE(20, 20)
BLOCK(WatchMech, 21)
BLOCK(GetVar, 22)
BLOCK(SetVar, 23)
BLOCK(GetMech, 24)
BLOCK(SetMech, 25)
NONE(GetRegs, 26)
BLOCK(GetRegsOnLine, 29)
NONE(GetPLCInfoEx, 30)
#undef NONE
#undef BYTE
#undef BLOCK

int OlnkRequestSetRegs(OxfrSession s, uint32_t p, const void* v) { return RequestRaw(s, 27, p, v, 5); }
int OlnkRequestSetVarBits(OxfrSession s, uint32_t p, const void* v)
{
    return RequestRaw(s, 28, p, v, 8);
}

int OlnkRequestTransferPLC(OxfrSession s, uint32_t param, const void* image, uint32_t size,
                           OxfrProgress progress, std::uintptr_t context, uint32_t* job)
{
    if (!s)
        return Fail(OLNK_E_HANDLE);
    if (!image && size)
        return Fail(OLNK_E_INVALIDARG);
    auto io = OpenMemorySource(static_cast<const uint8_t*>(image), size);
    return StartRequesterJob(s, true, 2, param, Deliver::Reply, std::move(io), progress, context,
                             job, [&](uint8_t id) { return TransferPlcRequest(param, id, size); });
}

// ---- File-transfer client ------------------------------------------------------------------------

int OxfrCopyA(OxfrSession s, uint32_t p, const char* a, const char* b) { return Simple2(s, 0, p, a, b); }
int OxfrMoveA(OxfrSession s, uint32_t p, const char* a, const char* b) { return Simple2(s, 8, p, a, b); }
int OxfrCreateDirA(OxfrSession s, uint32_t p, const char* a) { return Simple1(s, 1, p, a); }
int OxfrDeleteA(OxfrSession s, uint32_t p, const char* a) { return Simple1(s, 2, p, a); }
int OxfrGetFileInfoA(OxfrSession s, uint32_t p, const char* a) { return Simple1(s, 5, p, a); }
int OxfrRemoveDirA(OxfrSession s, uint32_t p, const char* a) { return Simple1(s, 7, p, a); }

#define W1(name)                                                       \
    int Oxfr##name##W(OxfrSession s, uint32_t p, const char16_t* a)    \
    {                                                                  \
        if (!a)                                                        \
            return Fail(OLNK_E_INVALIDARG);                            \
        return Oxfr##name##A(s, p, ToWire(a).c_str());                 \
    }
#define W2(name)                                                                       \
    int Oxfr##name##W(OxfrSession s, uint32_t p, const char16_t* a, const char16_t* b) \
    {                                                                                  \
        if (!a || !b)                                                                  \
            return Fail(OLNK_E_INVALIDARG);                                            \
        return Oxfr##name##A(s, p, ToWire(a).c_str(), ToWire(b).c_str());              \
    }
W2(Copy)
W2(Move)
W1(CreateDir)
W1(Delete)
W1(GetFileInfo)
W1(RemoveDir)
#undef W1
#undef W2

int OxfrListA(OxfrSession s, uint32_t p, OxfrProgress pr, std::uintptr_t c, uint32_t* j, const char* r)
{
    if (!r)
        return Fail(OLNK_E_INVALIDARG);
    return ListImpl(s, p, pr, c, j, r);
}
int OxfrListW(OxfrSession s, uint32_t p, OxfrProgress pr, std::uintptr_t c, uint32_t* j,
              const char16_t* r)
{
    if (!r)
        return Fail(OLNK_E_INVALIDARG);
    return ListImpl(s, p, pr, c, j, ToWire(r));
}
int OxfrGetA(OxfrSession s, uint32_t p, OxfrProgress pr, std::uintptr_t c, uint32_t* j,
             const char* r, const char* l)
{
    if (!r || !l)
        return Fail(OLNK_E_INVALIDARG);
    return GetImpl(s, p, pr, c, j, r, l);
}
int OxfrGetW(OxfrSession s, uint32_t p, OxfrProgress pr, std::uintptr_t c, uint32_t* j,
             const char16_t* r, const char16_t* l)
{
    const auto local = ToLocal(l);
    if (!r || !local)
        return Fail(OLNK_E_INVALIDARG);
    return GetImpl(s, p, pr, c, j, ToWire(r), *local);
}
int OxfrGetIntoA(OxfrSession s, uint32_t p, OxfrProgress pr, std::uintptr_t c, uint32_t* j,
                 const char* r, int folder, const char* name)
{
    if (!r || !name || folder < 0)
        return Fail(OLNK_E_INVALIDARG);
    return GetIntoImpl(s, p, pr, c, j, r, folder, name);
}
int OxfrPutA(OxfrSession s, uint32_t p, OxfrProgress pr, std::uintptr_t c, uint32_t* j,
             const char* l, const char* r)
{
    if (!r || !l)
        return Fail(OLNK_E_INVALIDARG);
    return PutImpl(s, p, pr, c, j, l, r);
}
int OxfrPutW(OxfrSession s, uint32_t p, OxfrProgress pr, std::uintptr_t c, uint32_t* j,
             const char16_t* l, const char16_t* r)
{
    const auto local = ToLocal(l);
    if (!r || !local)
        return Fail(OLNK_E_INVALIDARG);
    return PutImpl(s, p, pr, c, j, *local, ToWire(r));
}

// ---- Shares ----------------------------------------------------------------------------------------

int OxfrAddShareA(OxfrSession s, const char* directory, const char* name, uint32_t access)
{
    if (!s)
        return Fail(OLNK_E_HANDLE);
    if (!directory || !name)
        return Fail(OLNK_E_INVALIDARG);
    std::lock_guard<std::mutex> g(s->m);
    if (const uint32_t e = s->shares.Add(directory, name, access))
        return Fail(e);
    return 1;
}

int OxfrAddShareW(OxfrSession s, const char16_t* directory, const char16_t* name, uint32_t access)
{
    const auto dir = ToLocal(directory);
    if (!dir || !name)
        return Fail(OLNK_E_INVALIDARG);
    bool lossy = false;
    const std::string wire = sys::WideToAnsi(name, &lossy);
    if (lossy)
        return Fail(OLNK_E_BAD_PATH);
    return OxfrAddShareA(s, dir->c_str(), wire.c_str(), access);
}

int OxfrRemoveShareA(OxfrSession s, const char* name)
{
    if (!s)
        return Fail(OLNK_E_HANDLE);
    if (!name)
        return Fail(OLNK_E_INVALIDARG);
    std::lock_guard<std::mutex> g(s->m);
    if (const uint32_t e = s->shares.Remove(name))
        return Fail(e);
    return 1;
}

int OxfrRemoveShareW(OxfrSession s, const char16_t* name)
{
    if (!name)
        return Fail(OLNK_E_INVALIDARG);
    return OxfrRemoveShareA(s, ToWire(name).c_str());
}

int OxfrGetShareCount(OxfrSession s)
{
    if (!s)
        return Fail(OLNK_E_HANDLE);
    std::lock_guard<std::mutex> g(s->m);
    return int(s->shares.Count());
}

template <class T, class Conv>
static int CopyShares(OxfrSession s, T* out, uint32_t capacity, Conv conv)
{
    if (!s)
        return Fail(OLNK_E_HANDLE);
    if (!out && capacity)
        return Fail(OLNK_E_INVALIDARG);
    ShareList list;
    {
        std::lock_guard<std::mutex> g(s->m);
        list = s->shares.List();
    }
    uint32_t n = 0;
    for (const Share& sh : list) {
        if (n == capacity)
            break;
        T& e = out[n++];
        std::memset(&e, 0, sizeof e);
        conv(sh, e);
        e.access = sh.access;
    }
    return int(n);
}

int OxfrGetSharesW(OxfrSession s, OxfrShareW* shares, uint32_t capacity)
{
    return CopyShares(s, shares, capacity, [](const Share& sh, OxfrShareW& e) {
        const std::u16string n = sys::AnsiToWide(sh.name);
        const std::u16string d = sys::Utf8ToUtf16Lenient(sh.dir);
        std::copy_n(n.begin(), std::min<size_t>(n.size(), 259), e.name);
        std::copy_n(d.begin(), std::min<size_t>(d.size(), 4095), e.directory);
    });
}
