// The link channel: send window, acknowledgements, link states, delivery,
// the receive ring and the request queues.  See docs/link-protocol.md.

#include "link/olnk/olnk_internal.h"

#include "platform/sys/LastError.h"
#include "platform/sys/Time.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <new>
#include <thread>

namespace {

using Lock = std::unique_lock<std::mutex>;

uint8_t Seq(uint32_t v) { return static_cast<uint8_t>(v & 0x7F); }

uint32_t Now(const OlnkChannelImpl* c) { return c->clock(); }

void SetState(OlnkChannelImpl* c, uint8_t state)
{
    c->linkState = state;
    c->stateTick = Now(c);
}

uint8_t SeqAt(const OlnkChannelImpl* c, uint8_t offset)
{
    return c->slots[(c->first + offset) % c->W].frame[7];
}

void CompleteSend(OlnkSendRequest* r, uint8_t result)
{
    r->result = result;
    if (r->event)
        r->event->Set();
}

void CompleteReceive(OlnkReceiveRequest* r, uint8_t status)
{
    r->status = status;
    if (r->event)
        r->event->Set();
}

void FailQueue(OlnkSendRequest*& head, OlnkSendRequest*& tail, uint8_t status)
{
    OlnkSendRequest* r = head;
    head = tail = nullptr;
    while (r) {
        OlnkSendRequest* next = r->next;
        r->next = nullptr;
        CompleteSend(r, status);
        r = next;
    }
}

void FailRequests(OlnkChannelImpl* c, uint8_t status)
{
    if (OlnkReceiveRequest* r = c->pendingReceive) {
        c->pendingReceive = nullptr;
        CompleteReceive(r, status);
    }
    FailQueue(c->urgentHead, c->urgentTail, status);
    FailQueue(c->normalHead, c->normalTail, status);
}

// The effects of a reset: sequence numbers back to 0, waiting requests end
// with status 252, the window is emptied.  The ring and the statistics stay.
void ResetLink(OlnkChannelImpl* c)
{
    ++c->resets;
    c->R = 0;
    c->nakRequest = 0;
    std::fill(std::begin(c->taken), std::end(c->taken), uint64_t{0});
    c->lastTransmitted = 0;
    c->lastBuilt = 0;
    FailRequests(c, OLNK_STATUS_RESET);
    c->count = 0;
    c->txOffset = 0;
    c->sentCount = 0;
    c->resendRounds = 0;
    c->progressTick = Now(c);
    c->unplaced = 0;
    c->peerAcknowledged = false;
    c->peerFirstPlain = false;
    c->crossingUnanswered = false;
    c->connectPending = false;
    c->copySuspect = false;
    c->nakAskedValid = false;
    c->naksForUnheld = 0;
    c->slotFreeCv.notify_all();
}

// A reset from this side: state 2 until the peer's connect frame arrives.
void OwnReset(OlnkChannelImpl* c)
{
    ResetLink(c);
    SetState(c, OLNK_STATE_RESET_BY_US);
    c->ownResetOpen = true;
    c->peerResetFingerprint = 0;
}

// This side's own reset with the connect data the channel was created
// with, as a new channel starts: state 2, the connect frame numbered 1 and
// acknowledging nothing.  The reset emptied the window, so a slot is free.
void Restart(OlnkChannelImpl* c)
{
    OwnReset(c);
    OlnkBuildFrame(c, static_cast<uint16_t>(c->connectData.size()), c->connectData.data(), true,
                   true);
    c->sendEvent.Set();
}

// This side's own reset that the session is told of (OlnkTakeSelfReset).
void SelfRestart(OlnkChannelImpl* c)
{
    Restart(c);
    c->selfResets.fetch_add(1);
    c->ringReadyCv.notify_all();
}

// A reset by the peer: state 1 until this side answers.
void PeerReset(OlnkChannelImpl* c)
{
    ResetLink(c);
    SetState(c, OLNK_STATE_RESET_BY_PEER);
    c->ownResetOpen = false;
    c->peerResetTaken = false;
}

// What a received frame holds, apart from its acknowledgement byte: its
// control word and a hash of its data.  Never 0.
uint64_t Fingerprint(uint16_t control, const uint8_t* data, uint16_t n)
{
    uint32_t h = 2166136261u;
    for (uint16_t i = 0; i < n; ++i)
        h = (h ^ data[i]) * 16777619u;
    return (uint64_t{1} << 63) | (uint64_t{control} << 32) | h;
}

// Whether the send window holds a frame with data: a peer need not answer
// empty frames at once.
bool HoldsMessage(const OlnkChannelImpl* c)
{
    for (uint8_t i = 0; i < c->count; ++i) {
        const uint8_t* f = c->slots[(c->first + i) % c->W].frame;
        if (((f[5] | (f[6] << 8)) & 0xBFF) != 0) // data length or connect
            return true;
    }
    return false;
}

// The first unacknowledged frame changed: the resend rounds start again.
void Progress(OlnkChannelImpl* c)
{
    c->resendRounds = 0;
    c->progressTick = Now(c);
    c->naksForUnheld = 0;
}

// One more round of transmissions from the first unacknowledged frame.
void ResendRound(OlnkChannelImpl* c)
{
    if (c->resendRounds < 255)
        ++c->resendRounds;
}

void FreeFirst(OlnkChannelImpl* c, uint8_t k)
{
    if (k == 0)
        return;
    c->first = static_cast<uint8_t>((c->first + k) % c->W);
    c->count = static_cast<uint8_t>(c->count - k);
    c->sentCount = static_cast<uint8_t>(c->sentCount - k);
    c->txOffset = c->txOffset > k ? static_cast<uint8_t>(c->txOffset - k) : 0;
    if (!c->peerAcknowledged)
        c->inStepTick = Now(c);
    c->peerAcknowledged = true;
    Progress(c);
    c->slotFreeCv.notify_all();
}

void Enqueue(OlnkSendRequest*& head, OlnkSendRequest*& tail, OlnkSendRequest* r)
{
    r->next = nullptr;
    if (tail)
        tail->next = r;
    else
        head = r;
    tail = r;
}

OlnkSendRequest* Dequeue(OlnkSendRequest*& head, OlnkSendRequest*& tail)
{
    OlnkSendRequest* r = head;
    head = r->next;
    if (!head)
        tail = nullptr;
    r->next = nullptr;
    return r;
}

void BuildRequest(OlnkChannelImpl* c, OlnkSendRequest* r)
{
    const uint8_t seq = OlnkBuildFrame(c, r->length, r->data, r->reliable != 0, false);
    CompleteSend(r, seq);
}

// The connect frame of an answer that waited for a free slot goes first.
void ServePendingConnect(OlnkChannelImpl* c)
{
    if (!c->connectPending || c->count >= c->W)
        return;
    c->connectPending = false;
    OlnkBuildFrame(c, c->pendingConnectLength, c->pendingConnect.get(), true, true);
    c->sendEvent.Set();
}

void ServeUrgent(OlnkChannelImpl* c)
{
    ServePendingConnect(c);
    while (!c->connectPending && c->urgentHead && c->count < c->W)
        BuildRequest(c, Dequeue(c->urgentHead, c->urgentTail));
}

void ServeNormal(OlnkChannelImpl* c)
{
    ServePendingConnect(c);
    while (!c->connectPending && c->normalHead && c->count < c->W && c->count <= c->W / 2)
        BuildRequest(c, Dequeue(c->normalHead, c->normalTail));
}

// Copies the first ring message out; the caller checked that there is one.
uint16_t TakeFromRing(OlnkChannelImpl* c, uint16_t* length, uint16_t capacity, uint8_t* buffer,
                      bool* connectFrame = nullptr, bool* metOwnReset = nullptr)
{
    OlnkRingSlot& s = c->ring[c->ringFirst];
    const uint16_t n = std::min(s.length, capacity);
    if (n)
        std::memcpy(buffer, s.data, n);
    *length = s.length;
    if (connectFrame)
        *connectFrame = (s.header[6] & 0x08) != 0; // bit 11 of the control word
    if (metOwnReset)
        *metOwnReset = s.metOwnReset;
    c->ringFirst = static_cast<uint8_t>((c->ringFirst + 1) % OLNK_RING_SIZE);
    --c->ringCount;
    c->stats.GetPackets += 1;
    c->stats.GetBytes += n;
    return n;
}

// The connection the channel carries (OlnkGetConnection); the caller holds
// the mutex.
uint32_t Connection(const OlnkChannelImpl* c)
{
    if (c->linkState == OLNK_STATE_RESET_BY_PEER || c->linkState == OLNK_STATE_RESET_BY_US)
        return 0;
    return c->resets % UINT32_MAX + 1;
}

// A send bound to a connection (OlnkSendBinding) that the channel does not
// carry (none while a reset is open); the caller holds the mutex.
bool OffConnection(const OlnkChannelImpl* c, const uint32_t* bound)
{
    if (!bound)
        return false;
    const uint32_t now = Connection(c);
    return now == 0 || *bound != now;
}

thread_local const OlnkSendBinding* tBinding = nullptr;

// Leaves code in the thread's last error and returns result, the failure
// value of the call (0, or -1 for OlnkSend).
int Fail(uint32_t code, int result = 0)
{
    sys::SetLastError(code);
    return result;
}

bool ValidChannel(OlnkChannel ch)
{
    if (!ch) {
        sys::SetLastError(OLNK_E_HANDLE);
        return false;
    }
    return true;
}

// Waits on cv until ready() or the deadline; false on time-out.
template <class Pred>
bool WaitUntil(Lock& lk, std::condition_variable& cv, uint32_t timeoutMs, Pred ready)
{
    if (ready())
        return true;
    if (timeoutMs == 0)
        return false;
    if (timeoutMs == sys::INFINITE) {
        cv.wait(lk, ready);
        return true;
    }
    return cv.wait_for(lk, std::chrono::milliseconds(timeoutMs), ready);
}

struct BlockingCall
{
    OlnkChannelImpl* c;
    explicit BlockingCall(OlnkChannelImpl* ch) : c(ch) { ++c->blockingCalls; }
    ~BlockingCall()
    {
        if (--c->blockingCalls == 0 && c->closing)
            c->callsCv.notify_all();
    }
};

int CloseOrDestroy(OlnkChannel c)
{
    {
        Lock lk(c->mutex);
        c->stop = true;
        c->closing = true;
    }
    c->sendEvent.Set();
    if (c->ioThread) {
        sys::WaitFor(*c->ioThread);
        c->ioThread.reset();
    }
    if (c->closeHook)
        c->closeHook();
    {
        Lock lk(c->mutex);
        FailRequests(c, OLNK_STATUS_CLOSED);
        c->slotFreeCv.notify_all();
        c->ringReadyCv.notify_all();
        c->callsCv.wait(lk, [c] { return c->blockingCalls == 0; });
    }
    delete c;
    return 1;
}

} // namespace

// ---- Building and sending ------------------------------------------------------

uint8_t OlnkBuildFrame(OlnkChannel c, uint16_t length, const void* data, bool reliable,
                       bool connect)
{
    const uint16_t n = std::min<uint16_t>(length, OLNK_MAX_DATA);
    // The stall count (OlnkCheckStall) is that of a message: a peer need not
    // acknowledge empty frames at once, so the rounds an empty frame went
    // before it (a silent peer's) do not count against the first message.
    if ((n > 0 || connect) && !HoldsMessage(c))
        Progress(c);
    const uint8_t seq = Seq(c->lastBuilt + 1u);
    c->lastBuilt = seq;
    OlnkSlot& slot = c->slots[(c->first + c->count) % c->W];
    uint8_t* f = slot.frame;
    const uint16_t control =
        static_cast<uint16_t>(n | (reliable ? 0x400 : 0) | (connect ? 0x800 : 0));
    f[0] = 0xF9;
    f[1] = 0xFD;
    f[2] = OLNK_HEADER_SIZE;
    f[3] = 0x01;
    f[4] = 0; // acknowledgement byte and header check: at transmission
    f[5] = static_cast<uint8_t>(control & 0xFF);
    f[6] = static_cast<uint8_t>(control >> 8);
    f[7] = seq;
    f[8] = f[9] = 0;
    size_t pos = OLNK_HEADER_SIZE;
    uint16_t crc = 0;
    const auto* p = static_cast<const uint8_t*>(data);
    for (uint16_t i = 0; i < n; ++i) {
        const uint8_t b = p[i];
        f[pos++] = b;
        if (b == 0xF9 || b == 0xFE)
            f[pos++] = b;
        crc = OlnkCrcUpdate(crc, b);
    }
    f[pos++] = 0xFE;
    f[pos++] = static_cast<uint8_t>(crc & 0xFF);
    f[pos++] = static_cast<uint8_t>(crc >> 8);
    slot.length = static_cast<uint16_t>(pos);
    ++c->count;
    c->stats.PutBytes += n;
    if (n > 0)
        c->stats.PutPackets += 1;
    if (connect)
        c->peerConnectSeen = false;
    return seq;
}

int OlnkSend(OlnkChannel c, uint16_t length, const void* data, uint32_t reliable,
             uint32_t timeoutMs)
{
    if (!ValidChannel(c))
        return -1;
    if (length > OLNK_MAX_DATA || (length > 0 && !data))
        return Fail(OLNK_E_INVALIDARG, -1);
    const uint32_t* bound = OlnkSendBinding::Find(c);
    Lock lk(c->mutex);
    bool ready;
    {
        BlockingCall call(c);
        ready = WaitUntil(lk, c->slotFreeCv, timeoutMs, [c, bound] {
            return c->closing || c->linkState == OLNK_STATE_RESET_BY_PEER ||
                   OffConnection(c, bound) || (c->count < c->W && !c->connectPending);
        });
    }
    if (c->closing)
        return Fail(OLNK_E_HANDLE, -1);
    if (c->linkState == OLNK_STATE_RESET_BY_PEER || OffConnection(c, bound))
        return Fail(OLNK_E_RESET, -1);
    if (!ready || c->connectPending)
        return Fail(OLNK_E_TIMEOUT, -1);
    const uint8_t seq = OlnkBuildFrame(c, length, data, reliable != 0, false);
    c->sendEvent.Set();
    return seq;
}

int OlnkSendAsync(OlnkChannel c, OlnkSendRequest* r, int8_t priority)
{
    if (!ValidChannel(c))
        return 0;
    if (!r || r->length > OLNK_MAX_DATA || (r->length > 0 && !r->data))
        return Fail(OLNK_E_INVALIDARG);
    const uint32_t* bound = OlnkSendBinding::Find(c);
    Lock lk(c->mutex);
    if (c->closing)
        return Fail(OLNK_E_HANDLE);
    if (c->linkState == OLNK_STATE_RESET_BY_PEER || OffConnection(c, bound))
        return Fail(OLNK_E_RESET);
    r->next = nullptr;
    // A request never overtakes one queued before it.
    if (priority >= 0) {
        if (!c->connectPending && !c->normalHead && c->count + 1 < c->W) {
            r->result = OlnkBuildFrame(c, r->length, r->data, r->reliable != 0, false);
            c->sendEvent.Set();
            return 1;
        }
        Enqueue(c->normalHead, c->normalTail, r);
    } else {
        if (!c->connectPending && !c->urgentHead && c->count < c->W) {
            r->result = OlnkBuildFrame(c, r->length, r->data, r->reliable != 0, false);
            c->sendEvent.Set();
            return 1;
        }
        Enqueue(c->urgentHead, c->urgentTail, r);
    }
    c->sendEvent.Set();
    sys::SetLastError(OLNK_E_PENDING);
    return 0;
}

// ---- Receiving --------------------------------------------------------------------

int OlnkReceive(OlnkChannel c, uint16_t* length, uint16_t capacity, void* buffer,
                uint32_t timeoutMs)
{
    return OlnkReceiveEx(c, length, capacity, buffer, timeoutMs, nullptr);
}

int OlnkReceiveEx(OlnkChannel c, uint16_t* length, uint16_t capacity, void* buffer,
                  uint32_t timeoutMs, bool* connectFrame, bool* metOwnReset)
{
    if (!ValidChannel(c))
        return 0;
    if (!length || (capacity > 0 && !buffer))
        return Fail(OLNK_E_INVALIDARG);
    Lock lk(c->mutex);
    bool ready;
    {
        BlockingCall call(c);
        ready = WaitUntil(lk, c->ringReadyCv, timeoutMs,
                          [c] { return c->closing || c->ringCount > 0; });
    }
    if (c->closing)
        return Fail(OLNK_E_HANDLE);
    if (!ready)
        return Fail(OLNK_E_TIMEOUT);
    TakeFromRing(c, length, capacity, static_cast<uint8_t*>(buffer), connectFrame, metOwnReset);
    return 1;
}

int OlnkReceiveAsync(OlnkChannel c, OlnkReceiveRequest* r)
{
    if (!ValidChannel(c))
        return 0;
    if (!r || (r->capacity > 0 && !r->buffer))
        return Fail(OLNK_E_INVALIDARG);
    Lock lk(c->mutex);
    if (c->closing)
        return Fail(OLNK_E_HANDLE);
    if (c->pendingReceive)
        return Fail(OLNK_E_TOO_MANY_ASYNC);
    r->next = nullptr;
    if (c->ringCount > 0) {
        TakeFromRing(c, &r->length, r->capacity, r->buffer);
        r->status = 0;
        return 1;
    }
    c->pendingReceive = r;
    sys::SetLastError(OLNK_E_PENDING);
    return 0;
}

int OlnkCancelAsync(OlnkChannel c)
{
    if (!ValidChannel(c))
        return 0;
    Lock lk(c->mutex);
    FailRequests(c, OLNK_STATUS_CANCELLED);
    return 1;
}

// ---- Link states --------------------------------------------------------------------

int OlnkConnect(OlnkChannel c, uint16_t length, const void* data)
{
    if (!ValidChannel(c))
        return 0;
    if (length > OLNK_MAX_DATA || (length > 0 && !data))
        return Fail(OLNK_E_INVALIDARG);
    Lock lk(c->mutex);
    if (c->closing)
        return Fail(OLNK_E_HANDLE);
    switch (c->linkState) {
    case OLNK_STATE_RESET_BY_US:
        return Fail(OLNK_E_SECOND_RESET);
    case OLNK_STATE_RESET_BY_PEER:
        // Answers the peer's reset; the window is empty since that reset.
        SetState(c, OLNK_STATE_RESET_DONE);
        break;
    case OLNK_STATE_RESET_DONE:
        if (c->peerConnectSeen)
            break; // answers the peer's connect frame: no reset
        [[fallthrough]];
    default:
        OwnReset(c);
        break;
    }
    if (c->count >= c->W) {
        // Only an answer without a reset finds the window full (W 1 and a
        // frame of ours not yet acknowledged): its connect frame follows as
        // soon as a slot frees, before anything sent later.  Waiting here
        // would hold the session's thread until then.
        // The answer is given: a further OlnkConnect is a reset of this
        // side, not a second answer in the place of this one.
        c->connectPending = true;
        c->peerConnectSeen = false;
        c->pendingConnectLength = length;
        if (length)
            std::memcpy(c->pendingConnect.get(), data, length);
        return 1;
    }
    OlnkBuildFrame(c, length, data, true, true);
    c->sendEvent.Set();
    return 1;
}

int OlnkCheckConnectTimeout(OlnkChannel c)
{
    if (!ValidChannel(c))
        return 0;
    Lock lk(c->mutex);
    if (c->linkState == OLNK_STATE_RESET_DONE &&
        static_cast<uint32_t>(Now(c) - c->stateTick) > OLNK_RESET_WINDOW_MS)
        SetState(c, OLNK_STATE_RUNNING);
    return 1;
}

int OlnkCheckStall(OlnkChannel c)
{
    if (!ValidChannel(c))
        return 0;
    Lock lk(c->mutex);
    const uint32_t now = Now(c);
    if (!c->closing && c->linkState == OLNK_STATE_RESET_BY_PEER && !c->peerResetTaken &&
        static_cast<uint32_t>(now - c->stateTick) >= OLNK_PEER_RESET_MS) {
        // Reset by the peer whose connect message never reached the session
        // (it met a full ring and did not come again): no state waits for
        // ever.
        SelfRestart(c);
        return 1;
    }
    if (c->closing ||
        (c->linkState != OLNK_STATE_RUNNING && c->linkState != OLNK_STATE_RESET_DONE))
        return 0;
    // A full window counts even when it holds only empty frames: with W 1
    // an empty frame the peer never acknowledges (it numbers on from
    // another reset) holds back every request.
    const bool unacknowledged = c->sentCount > 0 && (HoldsMessage(c) || c->count >= c->W) &&
                                c->resendRounds >= OLNK_STALL_ROUNDS &&
                                static_cast<uint32_t>(now - c->progressTick) >= OLNK_STALL_MS;
    // Within the ten seconds after a reset both ends number from 1, and a
    // peer in step sends the frame this side asked for again within a
    // resend round.  Frames it still cannot place after two rounds come
    // from numbers the reset did not start (a late copy of the peer's
    // connect reply, byte for byte its answer, taken as the answer to this
    // side's reset while the peer never saw that reset): the handshake
    // starts again sooner than the running link's stall.
    // A peer that asks once per round (or resends its only frame, W 1)
    // brings three such frames in two rounds.
    const bool fresh = c->linkState == OLNK_STATE_RESET_DONE;
    constexpr uint32_t kRoundsOutOfStep = 3; // frames over two resend rounds
    const uint32_t unplacedMs = fresh ? 2 * OLNK_RESEND_ROUND_MS : OLNK_STALL_MS;
    const uint32_t unplacedCount = fresh ? kRoundsOutOfStep : OLNK_STALL_UNPLACED;
    const bool unplaceable = c->unplaced >= unplacedCount &&
                             static_cast<uint32_t>(now - c->unplacedSince) >= unplacedMs;
    // The peer asks for a frame this side does not hold, round after round,
    // and takes none of ours meanwhile: it numbers from another reset (it
    // took a late copy of our connect frame for our reset, say), and would
    // wait for that frame until the stall above.
    const bool askedForUnheld = c->naksForUnheld >= kRoundsOutOfStep &&
                                static_cast<uint32_t>(now - c->naksForUnheldSince) >= 2 * OLNK_RESEND_ROUND_MS;
    if (!unacknowledged && !unplaceable && !askedForUnheld)
        return 0;
    // The connect handshake brings both ends back to the same numbers.
    SelfRestart(c);
    return 1;
}

int OlnkResumedAfterPause(OlnkChannel c)
{
    if (!ValidChannel(c))
        return 0;
    Lock lk(c->mutex);
    // The peer's silence while this side did not run is no stall: the
    // counts start again, so the peer gets a resend round first.  So does
    // the time this side has to answer the peer's reset.
    Progress(c);
    if (c->linkState == OLNK_STATE_RESET_BY_PEER)
        c->stateTick = Now(c);
    c->inStepTick = Now(c);
    c->unplaced = 0;
    c->nakAskedValid = false;
    return 1;
}

int OlnkRestart(OlnkChannel c)
{
    if (!ValidChannel(c))
        return 0;
    Lock lk(c->mutex);
    if (c->closing)
        return Fail(OLNK_E_HANDLE);
    if (c->linkState == OLNK_STATE_RESET_BY_US)
        return Fail(OLNK_E_SECOND_RESET);
    Restart(c);
    return 1;
}

int OlnkRestartUnanswered(OlnkChannel c)
{
    if (!ValidChannel(c))
        return 0;
    Lock lk(c->mutex);
    // Only while the ends are in step otherwise (the peer acknowledges frames
    // of ours, and its frames find their place): ends out of step have the
    // stall rules.  Only the side that opens the link: two ends restarting
    // each other would cross for ever.  The wait counts from the later of
    // the reset and the moment the peer's frames fell in step (its first
    // acknowledgement, or its frames finding their place again): frames held
    // up on the way arrive together, the answer just behind the first.  Not
    // while the session has messages to read: the answer may be among them.
    if (c->closing || c->passive ||
        (c->linkState != OLNK_STATE_RUNNING && c->linkState != OLNK_STATE_RESET_DONE) ||
        !c->peerAcknowledged || c->unplaced > 0 || c->ringCount > 0 ||
        static_cast<uint32_t>(Now(c) - c->stateTick) < OLNK_ANSWER_WAIT_MS ||
        static_cast<uint32_t>(Now(c) - c->inStepTick) < OLNK_ANSWER_WAIT_MS)
        return 0;
    Restart(c);
    return 1;
}

bool OlnkTakeSelfReset(OlnkChannel c)
{
    if (!c)
        return false;
    uint32_t n = c->selfResets.load();
    while (n > 0 && !c->selfResets.compare_exchange_weak(n, n - 1)) {
    }
    return n > 0;
}

int OlnkGetLinkState(OlnkChannel c)
{
    if (!ValidChannel(c))
        return -1;
    Lock lk(c->mutex);
    return c->linkState;
}

uint32_t OlnkGetConnection(OlnkChannel c)
{
    if (!ValidChannel(c))
        return 0;
    Lock lk(c->mutex);
    return Connection(c);
}

OlnkSendBinding::OlnkSendBinding(OlnkChannel ch, uint32_t connection)
    : m_ch(ch), m_connection(connection), m_outer(tBinding)
{
    tBinding = this;
}

OlnkSendBinding::~OlnkSendBinding() { tBinding = m_outer; }

const uint32_t* OlnkSendBinding::Find(OlnkChannel ch)
{
    for (const OlnkSendBinding* b = tBinding; b; b = b->m_outer)
        if (b->m_ch == ch)
            return &b->m_connection;
    return nullptr;
}

int OlnkGetStatistics(OlnkChannel c, OlnkStatistics* record)
{
    if (!ValidChannel(c))
        return 0;
    if (!record)
        return Fail(OLNK_E_INVALIDARG);
    OlnkStatistics s;
    {
        Lock lk(c->mutex);
        s = c->stats;
    }
    s.size = sizeof(OlnkStatistics);
    s.HeaderErr += c->rxHeaderErr.load(std::memory_order_relaxed);
    s.ProgramErr += c->rxProgramErr.load(std::memory_order_relaxed) +
                    c->programErr.load(std::memory_order_relaxed);
    s.SendBytes += c->sendBytes.load(std::memory_order_relaxed);
    s.RecBytes += c->recBytes.load(std::memory_order_relaxed);
    const uint64_t start =
        (static_cast<uint64_t>(s.start.dwHighDateTime) << 32) | s.start.dwLowDateTime;
    const uint64_t now = sys::GetSystemTimeAsFileTime();
    s.ConnectionTime = now > start ? now - start : 0;
    const size_t n = std::min<size_t>(record->size, sizeof(OlnkStatistics));
    std::memcpy(record, &s, n);
    return 1;
}

// ---- Acknowledgements and delivery ------------------------------------------------

void OlnkProcessAck(OlnkChannel c, uint8_t ack)
{
    if (ack & 0x80) {
        if (c->count == 0)
            return;
        // Counts only for a frame transmitted at least once (or the one just
        // before the window, which frees nothing).
        const uint8_t d = Seq(ack - SeqAt(c, 0));
        if (d < c->sentCount) {
            FreeFirst(c, static_cast<uint8_t>(d + 1));
            c->peerAckSinceCopy = true;
        } else if (d == 127 && c->sentCount > 0) {
            // The peer is in step and waits for the first frame.  No sign
            // against a reset of the peer, though: with the window starting
            // at frame 1, a resetting peer's ACK 0 reads the same.
            Progress(c);
        }
        return;
    }
    c->stats.NAKs += 1;
    if (c->count == 0)
        return;
    // Counts only for a transmitted frame or the one just after them.
    const uint8_t d = Seq(ack - SeqAt(c, 0));
    if (d > c->sentCount) {
        // A frame this side does not hold (freed long ago, or never built
        // under these numbers): a late copy, or a peer out of step that
        // asks for it again every round (OlnkCheckStall).
        if (c->sentCount > 0 && c->naksForUnheld++ == 0)
            c->naksForUnheldSince = Now(c);
        return;
    }
    // The peer names a frame of the window: it is in step (a full receive
    // ring asks for the same frame again and again).
    Progress(c);
    c->peerAckSinceCopy = true;
    FreeFirst(c, d);
    c->txOffset = 0;
    c->lastTransmitted = Seq(ack - 1u);
}

void OlnkDeliverFrame(OlnkChannel c, bool good)
{
    Lock lk(c->mutex);
    c->stats.RecPackets += 1;
    if (!good)
        c->stats.DataErr += 1;
    const uint8_t* h = c->rxHeader;
    const uint8_t ack = h[4];
    const uint16_t control = static_cast<uint16_t>(h[5] | (h[6] << 8));
    const uint8_t s = Seq(h[7]);
    const bool reliable = control & 0x400;
    const bool connect = control & 0x800;
    const uint16_t n = c->rxDataCount;
    const uint64_t print = good ? Fingerprint(control, c->rxData, n) : 0;

    // A late copy of the peer's connect frame that began this connection,
    // which this side answered and the peer has acknowledged frames since:
    // no new reset.  A peer that did reset again sends its identical connect
    // frame once more and acknowledges nothing meanwhile: the second copy
    // after a frame of ours went out unacknowledged is its reset.
    // The second copy is a reset in state 3 as well, where a connect frame
    // numbered 1 passes as a repeat otherwise.
    bool secondCopy = false;
    if (connect && s == 1 && ack == 0x80 && print != 0 && print == c->peerResetFingerprint &&
        c->peerAcknowledged &&
        (c->linkState == OLNK_STATE_RUNNING || c->linkState == OLNK_STATE_RESET_DONE)) {
        if (!c->copySuspect || c->peerAckSinceCopy || c->stats.SendPackets == c->sentAtCopy) {
            c->copySuspect = true;
            c->peerAckSinceCopy = false;
            c->sentAtCopy = c->stats.SendPackets;
            return;
        }
        secondCopy = true;
    }

    bool peerReset = false;
    switch (c->linkState) {
    case OLNK_STATE_RESET_BY_PEER:
        // Only the peer's in-order connect frame, so that a full ring cannot
        // keep the link here for ever.
        if (!connect || s != Seq(c->R + 1u))
            return;
        break;
    case OLNK_STATE_RESET_BY_US:
        if (!connect) {
            if (s == 1 && (ack & 0x80) && ack != 0x80)
                c->peerFirstPlain = true;
            return;
        }
        SetState(c, OLNK_STATE_RESET_DONE);
        c->peerConnectSeen = true;
        break;
    case OLNK_STATE_RUNNING:
        if (connect) {
            PeerReset(c);
            peerReset = true;
        }
        break;
    default:
        // State 3.  A reset numbers its connect frame 1 and, until the peer
        // takes a connect frame of ours, acknowledges nothing (ACK 0): only
        // such a frame can be the peer's new reset.  A connect reply
        // acknowledges our connect frame; resent late (its first copy's
        // acknowledgement was lost, by a peer with a larger window) or
        // duplicated by the network, it is a frame out of order like any.
        // A new reset is one
        // - out of order and no repeat (the peer reset again within the ten
        //   seconds of this state, a project closed and opened again), or
        // - in order after the peer has acknowledged frames of ours since
        //   our reset, when its frame numbered 1 was an ordinary one (its
        //   answer, behind an empty frame dropped in state 2, was NAKed and
        //   it reset before sending it again): those frames are lost with
        //   its reset.  Otherwise a connect frame in order is the peer's own
        //   reset that crossed ours, which loses nothing, also when it comes
        //   after the peer's answer (delayed, or its copy acknowledging our
        //   connect frame lost): taken for a new reset, it numbered our
        //   frames anew behind the peer's back.
        // It is met as in state 0.  A connect frame with another number is
        // the peer's answer to this side's reset, ahead of frames it built
        // before it (a peer may acknowledge our connect frame with an empty
        // frame first): NAKed, as any frame, and taken when the gap is
        // filled.
        // A connect frame numbered 1 that differs from the frame taken as 1
        // is no repeat either: the peer reset again with another message.
        if (connect && s == 1 && ack == 0x80) {
            const bool inOrder = s == Seq(c->R + 1u);
            const bool differs = print != 0 && c->taken[1] != 0 && c->taken[1] != print;
            if (secondCopy ||
                (inOrder ? c->peerAcknowledged && c->peerFirstPlain : Seq(c->R - s) >= c->W || differs)) {
                PeerReset(c);
                peerReset = true;
            }
        } else if (connect && s == 1 && c->crossingUnanswered && print != 0 && c->taken[1] != 0 &&
                   c->taken[1] != print) {
            // The peer's answer to our reset, numbered 1 and acknowledging
            // our connect frame, after a connect frame taken as its reset
            // crossing ours: that one was a late copy of an earlier reset of
            // the peer, which numbers its frames from this answer.  Dropped
            // as a repeat, the answer would never reach the session, which
            // would wait for it with frames passing both ways: the frames
            // are numbered again from this one.
            c->R = 0;
        }
        break;
    }

    // A frame numbered R that differs from the one taken under R: that one
    // was not the peer's (a forged frame of valid shape, or data the weak
    // check let through), and this is the peer's own, which it sends only
    // once because this side's acknowledgement of R frees it.  Dropped as a
    // repeat it would be lost for good, with both ends in step.
    bool tookMessage = false;  // a message for the session
    bool waitsForRoom = false; // one that comes again when the ring has room
    const bool room = c->pendingReceive || c->ringCount < OLNK_RING_SIZE;
    const bool replaces =
        print != 0 && n > 0 && s == c->R && c->taken[s] != 0 && c->taken[s] != print && room;
    if (c->ringCount == OLNK_RING_SIZE && !c->pendingReceive) {
        // This side's full ring holds the peer back; the peer is in step.
        c->unplaced = 0;
    } else if (!replaces && (Seq(c->R - s) < c->W || s != Seq(c->R + 1u))) {
        if (c->unplaced++ == 0)
            c->unplacedSince = Now(c);
    } else {
        if (c->unplaced > 0)
            c->inStepTick = Now(c); // in step again from here
        c->unplaced = 0;
    }
    if (Seq(c->R - s) < c->W && !replaces) {
        // A repeat: only its acknowledgement byte counts.
    } else if (!replaces && s != Seq(c->R + 1u)) {
        c->nakRequest = Seq(c->R + 1u);
        // With the ring full the frames after the refused one come out of
        // order by design.  An immediate NAK for each makes the peer send
        // its whole window again, which brings more NAKs: a storm that
        // buries the acknowledgements for seconds.  The next frame of this
        // side or its idle turn carries the NAK.
        // Asked for at once only once per resend round for the same missing
        // frame: two ends that each miss the other's frame would otherwise
        // answer every frame that asks again with one more (thousands a
        // second); the idle turn's go-back brings the frame meanwhile.
        const uint32_t now = Now(c);
        const bool askedLately = c->nakAskedValid && c->nakAsked == c->nakRequest &&
                                 static_cast<uint32_t>(now - c->nakAskedTick) < OLNK_RESEND_ROUND_MS;
        if ((c->ringCount < OLNK_RING_SIZE || c->pendingReceive) && !askedLately) {
            c->ackNeeded = true;
            c->nakAsked = c->nakRequest;
            c->nakAskedTick = now;
            c->nakAskedValid = true;
        }
        c->stats.HeaderErr += 1;
    } else {
        if (s == 0 && c->linkState == OLNK_STATE_RESET_DONE)
            SetState(c, OLNK_STATE_RUNNING);
        if (connect && c->linkState == OLNK_STATE_RESET_DONE)
            c->peerConnectSeen = true;
        // The peer's first connect frame after this side's own reset: its
        // answer, or its own reset that crossed ours.
        const bool metOwnReset = connect && c->ownResetOpen;
        // The peer's reset that began this connection: one this side
        // answered, or one that crossed this side's own (its connect frame
        // acknowledging nothing), whose late copy is no new reset either.
        if (connect && s == 1 && (c->linkState == OLNK_STATE_RESET_BY_PEER || (metOwnReset && ack == 0x80)))
            c->peerResetFingerprint = print;
        if (connect && c->linkState == OLNK_STATE_RESET_BY_PEER && good && n > 0 &&
            (c->pendingReceive || c->ringCount < OLNK_RING_SIZE))
            c->peerResetTaken = true;
        if (good && n > 0) {
            c->ackNeeded = true;
            if (OlnkReceiveRequest* r = c->pendingReceive) {
                c->pendingReceive = nullptr;
                const uint16_t copied = std::min(n, r->capacity);
                if (copied)
                    std::memcpy(r->buffer, c->rxData, copied);
                r->length = n;
                c->stats.GetPackets += 1;
                c->stats.GetBytes += copied;
                c->R = s;
                c->taken[s] = print;
                tookMessage = true;
                CompleteReceive(r, 0);
            } else if (c->ringCount < OLNK_RING_SIZE) {
                OlnkRingSlot& slot = c->ring[(c->ringFirst + c->ringCount) % OLNK_RING_SIZE];
                std::memcpy(slot.header, h, OLNK_HEADER_SIZE);
                slot.metOwnReset = metOwnReset;
                std::memcpy(slot.data, c->rxData, n);
                slot.length = n;
                ++c->ringCount;
                c->R = s;
                c->taken[s] = print;
                tookMessage = true;
                c->ringReadyCv.notify_one();
            } else {
                c->nakRequest = s; // the ring is full: asked for again
                waitsForRoom = true;
            }
        } else if (good) {
            c->R = s;
            c->taken[s] = print;
        } else {
            c->nakRequest = s;
            if (reliable) {
                c->ackNeeded = true;
            } else {
                c->R = s; // taken as received, its data dropped
                c->taken[s] = 0;
            }
        }
        if (connect && c->R == s) {
            c->crossingUnanswered = metOwnReset && s == 1 && ack == 0x80;
            c->ownResetOpen = false; // taken
        }
        // Taken: no NAK is due.  Left at its old value, the NAK request
        // named the next frame again once the numbers wrapped, and a frame
        // of this side asked for one that was not missing.
        if (c->R == s)
            c->nakRequest = s;
    }
    if (peerReset && c->linkState == OLNK_STATE_RESET_BY_PEER && !tookMessage && !waitsForRoom) {
        // The frame that reset the channel brings the session nothing to
        // answer (out of order, empty, a bad check: a late copy of the
        // peer's connect reply numbered 2, or its empty connect frame that
        // acknowledged a late copy of ours).  State 1 would wait for ever
        // for a connect frame the peer, already running, never sends: this
        // side resets on its own, as a new channel starts, and the peer
        // answers its connect message.
        SelfRestart(c);
        return;
    }
    OlnkProcessAck(c, ack);
    ServeUrgent(c);
}

// ---- Transport side -------------------------------------------------------------------

OlnkChannel OlnkCreateChannel(uint8_t window, std::span<const uint8_t> connectData,
                              const OlnkChannelOptions& options)
{
    if (window < 1 || window > OLNK_MAX_WINDOW || connectData.size() > OLNK_MAX_DATA) {
        sys::SetLastError(OLNK_E_INVALIDARG);
        return nullptr;
    }
    auto* c = new (std::nothrow) OlnkChannelImpl;
    if (!c) {
        sys::SetLastError(OLNK_E_OUTOFMEMORY);
        return nullptr;
    }
    c->slots.reset(new (std::nothrow) OlnkSlot[window]);
    c->ring.reset(new (std::nothrow) OlnkRingSlot[OLNK_RING_SIZE]);
    c->pendingConnect.reset(new (std::nothrow) uint8_t[OLNK_MAX_DATA]);
    if (!c->slots || !c->ring || !c->pendingConnect) {
        delete c;
        sys::SetLastError(OLNK_E_OUTOFMEMORY);
        return nullptr;
    }
    try {
        c->connectData.assign(connectData.begin(), connectData.end());
    } catch (const std::bad_alloc&) {
        delete c;
        sys::SetLastError(OLNK_E_OUTOFMEMORY);
        return nullptr;
    }
    c->W = window;
    c->transportKind = options.transportKind;
    c->udpMode = options.udpMode;
    c->clock = options.clock ? options.clock : [] { return sys::GetTickCount(); };
    c->stats.size = sizeof(OlnkStatistics);
    const uint64_t start = sys::GetSystemTimeAsFileTime();
    c->stats.start.dwLowDateTime = static_cast<uint32_t>(start);
    c->stats.start.dwHighDateTime = static_cast<uint32_t>(start >> 32);
    Lock lk(c->mutex);
    c->passive = options.passive;
    c->producerThreads = options.producerThreads;
    if (options.passive) {
        SetState(c, OLNK_STATE_RUNNING);
    } else {
        SetState(c, OLNK_STATE_RESET_BY_US);
        c->ownResetOpen = true;
        OlnkBuildFrame(c, static_cast<uint16_t>(connectData.size()), connectData.data(), true,
                       true);
        c->sendEvent.Set();
    }
    return c;
}

int OlnkDestroyChannel(OlnkChannel c)
{
    if (!ValidChannel(c))
        return 0;
    return CloseOrDestroy(c);
}

int OlnkCloseChannel(OlnkChannel c)
{
    if (!ValidChannel(c))
        return 0;
    return CloseOrDestroy(c);
}

int OlnkStartIoThread(OlnkChannel c, std::function<uint32_t()> body)
{
    if (!ValidChannel(c))
        return 0;
    if (!body || c->ioThread)
        return Fail(OLNK_E_INVALIDARG);
    c->ioThread = std::make_unique<sys::Thread>(std::move(body));
    return 1;
}

int OlnkSetCloseHook(OlnkChannel c, std::function<void()> hook)
{
    if (!ValidChannel(c))
        return 0;
    c->closeHook = std::move(hook);
    return 1;
}

int OlnkNextFrame(OlnkChannel c, uint8_t* buffer, uint16_t* length, OlnkFrameMode mode)
{
    if (!ValidChannel(c))
        return 0;
    if (!buffer || !length)
        return Fail(OLNK_E_INVALIDARG);
    *length = 0;
    Lock lk(c->mutex);
    ServeNormal(c);
    if (mode != OlnkFrameMode::None) {
        // Give a producer the chance to fill the window, without the lock.
        for (int i = 0; i < 4 && c->count == 0 && c->producerThreads; ++i) {
            lk.unlock();
            std::this_thread::yield();
            lk.lock();
            ServeNormal(c);
        }
        // An empty frame carries the acknowledgement.  Not while reset by the
        // peer: it would drop it, and the connect frame needs the slot.
        if (c->count == 0 && c->linkState != OLNK_STATE_RESET_BY_PEER)
            OlnkBuildFrame(c, 0, nullptr, false, false);
    }
    if (c->count == 0)
        return 1;
    bool carrier = false;
    if (c->txOffset >= c->count) {
        if (mode == OlnkFrameMode::None)
            return 1;
        if (mode == OlnkFrameMode::Idle) {
            c->txOffset = 0; // go back N
            ResendRound(c);
        } else
            carrier = true; // resend the first frame without going back
    }
    const uint8_t offset = carrier ? 0 : c->txOffset;
    OlnkSlot& slot = c->slots[(c->first + offset) % c->W];
    uint8_t* f = slot.frame;
    const uint8_t seq = f[7];
    if (mode == OlnkFrameMode::None && Seq(seq - c->lastTransmitted) > c->W)
        return 1;
    if (c->nakRequest == Seq(c->R + 1u)) {
        f[4] = c->nakRequest;
        c->nakRequest = c->R;
    } else {
        f[4] = static_cast<uint8_t>(c->R | 0x80);
    }
    const uint16_t crc = OlnkCrc(f, 8);
    f[8] = static_cast<uint8_t>(crc & 0xFF);
    f[9] = static_cast<uint8_t>(crc >> 8);
    if (!carrier) {
        if (c->sentCount == 0)
            Progress(c); // the first transmission of the first frame
        c->lastTransmitted = seq;
        ++c->txOffset;
        c->sentCount = std::max(c->sentCount, c->txOffset);
    }
    std::memcpy(buffer, f, slot.length);
    *length = slot.length;
    c->stats.SendPackets += 1;
    return 1;
}

bool OlnkTakeAckNeeded(OlnkChannel c) { return c && c->ackNeeded.exchange(false); }

int OlnkGetSendEventFd(OlnkChannel c) { return c ? c->sendEvent.Fd() : -1; }

bool OlnkTakeSendEvent(OlnkChannel c) { return c && c->sendEvent.TryTake(); }

bool OlnkStopRequested(OlnkChannel c) { return !c || c->stop.load(); }

void OlnkAddSendBytes(OlnkChannel c, uint64_t bytes)
{
    if (c)
        c->sendBytes.fetch_add(bytes, std::memory_order_relaxed);
}

void OlnkAddRecBytes(OlnkChannel c, uint64_t bytes)
{
    if (c)
        c->recBytes.fetch_add(bytes, std::memory_order_relaxed);
}

void OlnkAddProgramErr(OlnkChannel c)
{
    if (c)
        c->programErr.fetch_add(1, std::memory_order_relaxed);
}

uint8_t OlnkGetTransportKind(OlnkChannel c) { return c ? c->transportKind : 0; }
uint8_t OlnkGetUdpMode(OlnkChannel c) { return c ? c->udpMode : 0; }
uint8_t OlnkGetWindow(OlnkChannel c) { return c ? c->W : 0; }

// ---- Holder class ------------------------------------------------------------------

bool COlnkChannel::Attach(OlnkChannel ch)
{
    if (m_ch || !ch) {
        sys::SetLastError(OLNK_E_HANDLE);
        return false;
    }
    m_ch = ch;
    return true;
}

OlnkChannel COlnkChannel::Detach()
{
    OlnkChannel ch = m_ch;
    m_ch = nullptr;
    return ch;
}

int COlnkChannel::Close()
{
    if (!m_ch)
        return 1;
    OlnkChannel ch = Detach();
    return OlnkCloseChannel(ch);
}
