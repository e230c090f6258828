#pragma once
// The link protocol library: frames with sequence numbers, a go-back-N send
// window, acknowledgements, link states and statistics over one channel.
// See docs/link-protocol.md.
//
// Plain functions over an opaque handle.  A failing function returns 0 (the
// synchronous send -1) and leaves a code in the thread's last error
// (sys::GetLastError): the library's codes below or a system (errno) code.

#include <cstddef>
#include <cstdint>
#include <span>

namespace sys {
class Event;
}

struct OlnkChannelImpl;
using OlnkChannel = OlnkChannelImpl*;

// ---- Error codes -----------------------------------------------------------

constexpr uint32_t OLNK_E_PENDING = 0x2002000B;        // a request was queued
constexpr uint32_t OLNK_E_UNEXPECTED = 0xE0020002;     // unexpected wait result
constexpr uint32_t OLNK_E_INVALIDARG = 0xE0020003;     // invalid arguments
constexpr uint32_t OLNK_E_OUTOFMEMORY = 0xE0020004;    // out of memory
constexpr uint32_t OLNK_E_HANDLE = 0xE0020005;         // null (or closing) channel
constexpr uint32_t OLNK_E_TIMEOUT = 0xE0020006;        // synchronous time-out
constexpr uint32_t OLNK_E_RESET = 0xE0020007;          // link reset by the peer
constexpr uint32_t OLNK_E_SECOND_RESET = 0xE0020008;   // connect during this side's reset
constexpr uint32_t OLNK_E_BUSY = 0xE0020009;           // (never reported)
constexpr uint32_t OLNK_E_TOO_MANY_ASYNC = 0xE002000A; // second pending receive
constexpr uint32_t OLNK_E_SILENT = 0xE002000C;         // the peer sends nothing (link object)
constexpr uint32_t OLNK_E_BRKS_NOT_CONFIRMED =
    0xE002000D; // a run before the control system confirmed the breakpoints (link object)
// Used by the file-transfer session for a path outside every share.
constexpr uint32_t OLNK_E_BAD_PATH = 555;

// ---- Limits and statuses ----------------------------------------------------

constexpr uint16_t OLNK_MAX_DATA = 1023;
constexpr uint16_t OLNK_HEADER_SIZE = 10;
// 10 header bytes, every data byte stuffed, end byte and data check.
constexpr uint16_t OLNK_MAX_FRAME = OLNK_HEADER_SIZE + 2 * OLNK_MAX_DATA + 3;
constexpr uint8_t OLNK_MAX_WINDOW = 127;
constexpr uint8_t OLNK_RING_SIZE = 10;
constexpr uint32_t OLNK_RESET_WINDOW_MS = 10000;
// A channel out of step resets itself (OlnkCheckStall): its first sent frame
// went round this many times without an acknowledgement, or it received this
// many frames in a row that it could not place, and in both cases for at
// least OLNK_STALL_MS.
constexpr uint8_t OLNK_STALL_ROUNDS = 4;
constexpr uint32_t OLNK_STALL_UNPLACED = 8;
constexpr uint32_t OLNK_STALL_MS = 2000;
// A frame out of order is asked for again at once (a NAK of its own) at most
// once per this time for the same missing frame (the UDP idle turn).
constexpr uint32_t OLNK_RESEND_ROUND_MS = 500;
// Reset by the peer (state 1) and not answered within this time: the
// channel resets on its own.
constexpr uint32_t OLNK_PEER_RESET_MS = 1000;
// The session's own reset without the peer's answer this long in link state
// 3 or 0: the channel resets on its own again (OlnkRestartUnanswered).
constexpr uint32_t OLNK_ANSWER_WAIT_MS = 1000;
// A gap of more than this between two turns of a transport means this side
// did not run (a stopped process, a suspended machine).
constexpr uint32_t OLNK_PAUSE_MS = 1000;

// Status bytes of requests that did not complete.
constexpr uint8_t OLNK_STATUS_RESET = 252;
constexpr uint8_t OLNK_STATUS_CANCELLED = 253;
constexpr uint8_t OLNK_STATUS_CLOSED = 254;

// Link states.
constexpr uint8_t OLNK_STATE_RUNNING = 0;
constexpr uint8_t OLNK_STATE_RESET_BY_PEER = 1;
constexpr uint8_t OLNK_STATE_RESET_BY_US = 2;
constexpr uint8_t OLNK_STATE_RESET_DONE = 3;

// Error-text languages.
constexpr uint32_t OLNK_LANG_ENGLISH = 1033;
constexpr uint32_t OLNK_LANG_CZECH = 2;

// ---- The check ----------------------------------------------------------------

// One byte into the 16-bit check register: for each bit, most significant
// first, register = ((register * 2) XOR (bit ? 0x8004 : 0)) mod 65536.
uint16_t OlnkCrcUpdate(uint16_t reg, uint8_t byte);
// The check of a buffer, starting from 0.
uint16_t OlnkCrc(const void* data, size_t length);
// Continues a check over a buffer.
uint16_t OlnkCrcUpdateBuffer(uint16_t reg, const void* data, size_t length);

// ---- Records ----------------------------------------------------------------

struct OlnkFileTime
{
    uint32_t dwLowDateTime;
    uint32_t dwHighDateTime;
};

struct OlnkStatistics
{
    uint32_t size;          // set by the caller; the library's copy reads 120
    OlnkFileTime start;     // UTC, 100 ns since 1601, when the channel opened
    uint64_t ConnectionTime; // now - start in 100 ns, at each copy
    uint64_t SendBytes;
    uint64_t RecBytes;
    uint64_t PutBytes;
    uint64_t GetBytes;
    uint64_t SendPackets;
    uint64_t RecPackets;
    uint64_t PutPackets;
    uint64_t GetPackets;
    uint64_t HeaderErr;
    uint64_t DataErr;
    uint64_t NAKs;
    uint64_t ProgramErr;
};

static_assert(sizeof(OlnkStatistics) == 120);
static_assert(offsetof(OlnkStatistics, start) == 4);
static_assert(offsetof(OlnkStatistics, ConnectionTime) == 16);
static_assert(offsetof(OlnkStatistics, SendBytes) == 24);
static_assert(offsetof(OlnkStatistics, RecBytes) == 32);
static_assert(offsetof(OlnkStatistics, PutBytes) == 40);
static_assert(offsetof(OlnkStatistics, GetBytes) == 48);
static_assert(offsetof(OlnkStatistics, SendPackets) == 56);
static_assert(offsetof(OlnkStatistics, RecPackets) == 64);
static_assert(offsetof(OlnkStatistics, PutPackets) == 72);
static_assert(offsetof(OlnkStatistics, GetPackets) == 80);
static_assert(offsetof(OlnkStatistics, HeaderErr) == 88);
static_assert(offsetof(OlnkStatistics, DataErr) == 96);
static_assert(offsetof(OlnkStatistics, NAKs) == 104);
static_assert(offsetof(OlnkStatistics, ProgramErr) == 112);

// An asynchronous send; the caller owns it and keeps it until its event is
// signalled (or OlnkSendAsync returned 1).
struct OlnkSendRequest
{
    uint16_t length = 0;
    const uint8_t* data = nullptr;
    uint32_t reliable = 1;
    sys::Event* event = nullptr; // signalled when built or failed; may be null
    uint8_t result = 0;          // sequence number, or OLNK_STATUS_*
    OlnkSendRequest* next = nullptr;
};

// An asynchronous receive; the caller owns it and keeps it until its event
// is signalled (or OlnkReceiveAsync returned 1).
struct OlnkReceiveRequest
{
    uint16_t length = 0;   // full message length, even when cut to capacity
    uint16_t capacity = 0;
    uint8_t* buffer = nullptr;
    sys::Event* event = nullptr; // signalled when completed; may be null
    uint8_t status = 0;          // 0, or OLNK_STATUS_*
    OlnkReceiveRequest* next = nullptr;
};

// ---- Operations ---------------------------------------------------------------

// Builds a frame of length bytes (at most 1023; more fails with
// OLNK_E_INVALIDARG) once a window slot is free, waiting at most timeoutMs;
// returns its sequence number or -1.
[[nodiscard]] int OlnkSend(OlnkChannel ch, uint16_t length, const void* data, uint32_t reliable,
                           uint32_t timeoutMs);
// 1: built at once (request->result holds the sequence number).
// 0 with OLNK_E_PENDING: queued (urgent queue for a negative priority); its
// event is signalled when it is built or fails with a status.
int OlnkSendAsync(OlnkChannel ch, OlnkSendRequest* request, int8_t priority);
// Copies the first received message (cut to capacity) and reports its full
// length; waits at most timeoutMs.
int OlnkReceive(OlnkChannel ch, uint16_t* length, uint16_t capacity, void* buffer,
                uint32_t timeoutMs);
// OlnkReceive that also tells how the message travelled: *connectFrame is
// true when it came in a connect frame (the peer's reset or its answer to
// ours), false for an ordinary frame.  *metOwnReset is true for a connect
// frame that was the peer's first connect frame after this side's own reset
// (OlnkConnect, the channel's start, OlnkCheckStall): its answer, or its own
// reset crossing ours, after which the peer takes every frame this side sent
// since its reset.
int OlnkReceiveEx(OlnkChannel ch, uint16_t* length, uint16_t capacity, void* buffer,
                  uint32_t timeoutMs, bool* connectFrame, bool* metOwnReset = nullptr);
// 1: a message was copied at once.  0 with OLNK_E_PENDING: the request waits
// for the next message.  0 with OLNK_E_TOO_MANY_ASYNC: one already waits.
int OlnkReceiveAsync(OlnkChannel ch, OlnkReceiveRequest* request);
// Completes the waiting receive and every queued send with status 253.
int OlnkCancelAsync(OlnkChannel ch);
// Starts (or answers) a reset; the data travels in the connect frame.
int OlnkConnect(OlnkChannel ch, uint16_t length, const void* data);
// Copies min(record->size, 120) bytes of the statistics.
int OlnkGetStatistics(OlnkChannel ch, OlnkStatistics* record);
// Link state 3 older than 10 000 ms becomes 0.
int OlnkCheckConnectTimeout(OlnkChannel ch);
// In link state 0 or 3: a channel whose first unacknowledged frame was sent
// OLNK_STALL_ROUNDS times more without an acknowledgement, or that received
// only frames it could not place (repeats, out of order), for OLNK_STALL_MS,
// resets itself as OlnkConnect does, with the connect data it was created
// with.  Returns 1 when it reset, else 0.
int OlnkCheckStall(OlnkChannel ch);
// This side's own reset, with the connect data the channel was created with,
// as a new channel starts (link state 2, the connect frame numbered 1 and
// acknowledging nothing), from any state but 2 (OLNK_E_SECOND_RESET).  The
// session meets with it a connect frame that reset the channel (state 1)
// but carried no connect message of the peer: a peer keeping the rules
// answers a connect message, never a reply.
int OlnkRestart(OlnkChannel ch);
// The session's own reset is still unanswered: in link state 3 or 0 since
// OLNK_ANSWER_WAIT_MS or longer, the channel restarts as OlnkRestart does and
// returns 1, else 0.  Frames pass both ways, but the connect frame the
// channel took as the peer's first can be a late copy of an earlier reset of
// the peer while the peer numbers its frames from its answer, which then
// passes as a repeat: the session would wait for it for ever.
int OlnkRestartUnanswered(OlnkChannel ch);
// True once for each reset OlnkCheckStall made (the session's cue to end its
// jobs and report the reset).
bool OlnkTakeSelfReset(OlnkChannel ch);
// Link state 0 to 3, or -1 (OLNK_E_HANDLE) for a null channel.
int OlnkGetLinkState(OlnkChannel ch);
// The connection the channel carries now: a number, never 0, that changes
// with every reset (its own or the peer's), and 0 while a reset is open
// (link states 1 and 2) or for a null channel.
uint32_t OlnkGetConnection(OlnkChannel ch);
// Stops the I/O thread, fails every waiting request with status 254 and
// frees the channel.  Returns 1.
int OlnkCloseChannel(OlnkChannel ch);

// The text of an error code, cut to size - 1 characters and zero-terminated;
// returns the number of characters copied.  The narrow form writes UTF-8.
uint32_t OlnkGetErrorTextA(uint32_t code, uint32_t language, char* buffer, uint32_t size);
uint32_t OlnkGetErrorTextW(uint32_t code, uint32_t language, char16_t* buffer, uint32_t size);

// Formats up to 512 characters and writes them to standard error.
void OlnkDebugPrint(const char* format, ...) __attribute__((format(printf, 1, 2)));

// ---- Sends bound to one connection ---------------------------------------------

// While a binding lives, every message its thread hands to its channel
// (OlnkSend, OlnkSendAsync, and so every request of the message level made
// on that thread) is built or queued only on the connection named, a value
// of OlnkGetConnection: on any other, and while a reset is open, the call
// fails with OLNK_E_RESET.  Checked under the channel's lock at the moment
// the frame is built or the request queued (a queued request ends with 252
// at the next reset).  A message that must reach only the peer a caller
// checked, a request that changes the peer, is so never held for whichever
// peer answers a reset that came between the check and the send.
// Bindings nest (the innermost one for a channel counts).
class OlnkSendBinding
{
public:
    OlnkSendBinding(OlnkChannel ch, uint32_t connection);
    ~OlnkSendBinding();
    OlnkSendBinding(const OlnkSendBinding&) = delete;
    OlnkSendBinding& operator=(const OlnkSendBinding&) = delete;

    // The connection this thread's sends on ch are bound to, or null.
    static const uint32_t* Find(OlnkChannel ch);

private:
    OlnkChannel m_ch;
    uint32_t m_connection;
    const OlnkSendBinding* m_outer;
};

// ---- Holder class ---------------------------------------------------------------

class COlnkChannel
{
public:
    COlnkChannel() = default;
    explicit COlnkChannel(OlnkChannel ch) : m_ch(ch) {}
    COlnkChannel(const COlnkChannel&) = delete;
    COlnkChannel& operator=(const COlnkChannel&) = delete;
    ~COlnkChannel() { Close(); }

    // Opens the channel a wide connection string names (OlnkOpenChannelW,
    // declared in link/olnk/olnk_open.h).  Fails when a handle is already held.
    bool Open(const char16_t* connectionString, std::span<const uint8_t> connectData = {});
    // Fails when a handle is already held or ch is null.
    bool Attach(OlnkChannel ch);
    OlnkChannel Detach();
    OlnkChannel Handle() const { return m_ch; }

    int Connect(uint16_t length, const void* data) { return OlnkConnect(m_ch, length, data); }
    int Close();
    int GetStatistics(OlnkStatistics* record) { return OlnkGetStatistics(m_ch, record); }
    int Send(uint16_t length, const void* data, uint32_t reliable, uint32_t timeoutMs)
    {
        return OlnkSend(m_ch, length, data, reliable, timeoutMs);
    }
    int SendAsync(OlnkSendRequest* request, int8_t priority)
    {
        return OlnkSendAsync(m_ch, request, priority);
    }
    int Receive(uint16_t* length, uint16_t capacity, void* buffer, uint32_t timeoutMs)
    {
        return OlnkReceive(m_ch, length, capacity, buffer, timeoutMs);
    }
    int ReceiveAsync(OlnkReceiveRequest* request) { return OlnkReceiveAsync(m_ch, request); }
    int CancelAsync() { return OlnkCancelAsync(m_ch); }

private:
    OlnkChannel m_ch = nullptr;
};
