#pragma once
// The message level of the link: the file-transfer session over one link
// channel, the link requests to the control system's PLC, the file-transfer
// client and server, and the transfer jobs.  See docs/link-protocol.md,
// section "Session, requests, transfer jobs and file server".
//
// Plain functions over an opaque handle.  A failing function returns 0 (or
// null) and leaves a code in the thread's last error (sys::GetLastError):
// the link library's codes, 555 for a bad path or share, or a system code.

#include "link/olnk/olnk.h"

#include <cstddef>
#include <cstdint>

struct OxfrSessionImpl;
using OxfrSession = OxfrSessionImpl*;

// ---- Statuses of replies and jobs (the status byte; negative as i8) ------------

constexpr uint8_t OXFR_OK = 0;
constexpr uint8_t OXFR_NOT_IMPLEMENTED = 128;
constexpr uint8_t OXFR_UNKNOWN_COMMAND = 129;
constexpr uint8_t OXFR_UNKNOWN_CLASS = 130;
constexpr uint8_t OXFR_CANCELLED = 131;
constexpr uint8_t OXFR_CLOSED = 132;
constexpr uint8_t OXFR_RESET = 133;
constexpr uint8_t OXFR_CONNECTION_ERROR = 134;
constexpr uint8_t OXFR_NO_STREAM = 135;
constexpr uint8_t OXFR_STREAM_ERROR = 136;
constexpr uint8_t OXFR_COPY_FAILED = 238;
constexpr uint8_t OXFR_MOVE_FAILED = 240;
constexpr uint8_t OXFR_RMDIR_FAILED = 241;
constexpr uint8_t OXFR_INFO_FAILED = 242;
constexpr uint8_t OXFR_TEMP_FAILED = 243;
constexpr uint8_t OXFR_DELETE_FAILED = 244;
constexpr uint8_t OXFR_PATH_REFUSED = 245;
constexpr uint8_t OXFR_MKDIR_FAILED = 246;
constexpr uint8_t OXFR_DEST_REFUSED = 249;
constexpr uint8_t OXFR_SOURCE_REFUSED = 252;

// File-transfer request codes.
constexpr uint8_t OXFR_CODE_COPY = 0;
constexpr uint8_t OXFR_CODE_MKDIR = 1;
constexpr uint8_t OXFR_CODE_DELETE = 2;
constexpr uint8_t OXFR_CODE_LIST = 3;
constexpr uint8_t OXFR_CODE_GET = 4;
constexpr uint8_t OXFR_CODE_INFO = 5;
constexpr uint8_t OXFR_CODE_PUT = 6;
constexpr uint8_t OXFR_CODE_RMDIR = 7;
constexpr uint8_t OXFR_CODE_MOVE = 8;

// ---- Callbacks -------------------------------------------------------------------
// Every callback gets the session's user value first and, where data comes
// with it, the data's length (bounded by the message).  They run on the
// session thread (results of jobs on the job's thread) and never under the
// session mutex.

using OxfrIdleCallback = void (*)(void* user);
using OxfrPeerResetCallback = int (*)(void* user); // status of the connect reply
using OxfrLinkEventCallback = void (*)(void* user, uint8_t code);
// The channel, out of step with its peer, reset itself (OlnkCheckStall):
// every job has ended with OXFR_RESET and the connect handshake runs again.
using OxfrLinkResetCallback = void (*)(void* user);
using OxfrReplyCallback = void (*)(void* user, uint8_t code, int8_t status, uint32_t param,
                                   const uint8_t* data, size_t length);
using OxfrPushCallback = void (*)(void* user, uint8_t code, uint32_t param, const uint8_t* data,
                                  size_t length);
using OxfrTransferCallback = void (*)(void* user, uint8_t code, int8_t status, uint32_t param,
                                      const uint8_t* data, size_t length);

struct OxfrSessionCallbacks
{
    OxfrIdleCallback idle = nullptr;
    OxfrPeerResetCallback peerReset = nullptr;
    OxfrLinkEventCallback linkEvent = nullptr;
    OxfrLinkResetCallback linkReset = nullptr;
};
struct OxfrLinkCallbacks
{
    OxfrReplyCallback reply = nullptr;
    OxfrPushCallback pushed2 = nullptr;
    OxfrPushCallback pushed3 = nullptr;
};
struct OxfrTransferCallbacks
{
    OxfrTransferCallback result = nullptr;
};

// Progress of a job, on the job's thread after each block; a non-zero answer
// stops the job with 131.  It must never wait for another thread.
using OxfrProgress = int (*)(uint32_t job, std::uintptr_t context, uint32_t done, uint32_t total);

struct OxfrCounters
{
    uint64_t malformed = 0;      // dropped malformed messages
    uint64_t unknownJob = 0;     // job messages for no running job
    uint64_t ignoredReplies = 0; // replies and answers nobody waits for
    uint64_t droppedReplies = 0; // replies dropped from the reply queue
    uint64_t evictedJobs = 0;    // jobs the peer asked for and never spoke to, ended for a new one
};

// ---- Session ---------------------------------------------------------------------

OxfrSession OxfrOpenSessionA(void* user, const char* connectionString, uint32_t timeoutMs);
OxfrSession OxfrOpenSessionW(void* user, const char16_t* connectionString, uint32_t timeoutMs);
// Starts the session thread; a second call returns 1 and does nothing.
int OlnkResumeSession(OxfrSession s);
// For a session whose thread was never started (a simulation that drives
// both ends of a link on one thread and its own clock): the turns of the
// session thread without waiting, as long as received messages are there.
// Returns the number of messages handled; fails with OLNK_E_INVALIDARG once
// the thread runs.
int OxfrSessionTurn(OxfrSession s);
// Ends every job with 132, stops the threads and closes the channel.
int OxfrCloseSession(OxfrSession s);

int OxfrSetSessionCallbacks(OxfrSession s, const OxfrSessionCallbacks* table);
int OxfrSetLinkCallbacks(OxfrSession s, const OxfrLinkCallbacks* table);
int OxfrSetTransferCallbacks(OxfrSession s, const OxfrTransferCallbacks* table);

OlnkChannel OxfrGetChannel(OxfrSession s);
bool OxfrIsEstablished(OxfrSession s);
int OxfrGetCounters(OxfrSession s, OxfrCounters* out);
// A received message that the session's user (the link object) dropped
// after its own checks: counted as malformed, and in the channel's
// ProgramErr like the session's own drops.  Safe from the callbacks.
int OxfrReportBadMessage(OxfrSession s);
int OxfrSetJobTimeout(OxfrSession s, uint32_t ms);

// Job handles: (generation << 8) | job id; 0 is no job.  A stale handle does
// nothing.  After the call returns the job calls its progress no more.
int OxfrCancelJob(OxfrSession s, uint32_t job);

// ---- Link requests (class 1) ----------------------------------------------------------
// Each returns 1 when the message was handed to the channel.

#define OXFR_REQ_NONE(name) int OlnkRequest##name(OxfrSession s, uint32_t param);
#define OXFR_REQ_BYTE(name) int OlnkRequest##name(OxfrSession s, uint32_t param, uint8_t value);
// The block starts with its own u16 total length (2 to 1016).
#define OXFR_REQ_BLOCK(name) int OlnkRequest##name(OxfrSession s, uint32_t param, const void* block);
OXFR_REQ_NONE(GetStatus)
OXFR_REQ_NONE(GetPLCInfo)
OXFR_REQ_NONE(ClearPLC)
OXFR_REQ_NONE(SleepPLC)
OXFR_REQ_NONE(WakePLC)
OXFR_REQ_NONE(RunPLC)
OXFR_REQ_NONE(StopPLC)
OXFR_REQ_NONE(BreakPLC)
OXFR_REQ_NONE(StepPLC)
OXFR_REQ_BYTE(BackupPLCData)
OXFR_REQ_BLOCK(SetBrkAtLine)
OXFR_REQ_BLOCK(SetBrksAtLine)
OXFR_REQ_NONE(13)
OXFR_REQ_BLOCK(14)
OXFR_REQ_NONE(15)
OXFR_REQ_BLOCK(Watch)
OXFR_REQ_BLOCK(17)
OXFR_REQ_BLOCK(18)
OXFR_REQ_BLOCK(WatchRegsOnLine)
OXFR_REQ_BYTE(20)
OXFR_REQ_BLOCK(WatchMech)
OXFR_REQ_BLOCK(GetVar)
OXFR_REQ_BLOCK(SetVar)
OXFR_REQ_BLOCK(GetMech)
OXFR_REQ_BLOCK(SetMech)
OXFR_REQ_NONE(GetRegs)
OXFR_REQ_NONE(GetPLCInfoEx)
OXFR_REQ_BLOCK(GetRegsOnLine)
#undef OXFR_REQ_NONE
#undef OXFR_REQ_BYTE
#undef OXFR_REQ_BLOCK
// Word and byte: 5 bytes at `values` (u32 little-endian, then the byte).
int OlnkRequestSetRegs(OxfrSession s, uint32_t param, const void* values);
// Two words: 8 bytes at `values` (two u32 little-endian).
int OlnkRequestSetVarBits(OxfrSession s, uint32_t param, const void* values);
// Starts the send job of the image (copied) and sends the request.  The
// result arrives through the reply callback as a reply of code 2.
int OlnkRequestTransferPLC(OxfrSession s, uint32_t param, const void* image, uint32_t size,
                           OxfrProgress progress, std::uintptr_t context, uint32_t* job);

// ---- File-transfer client (class 2) -------------------------------------------------------
// Remote paths of the A forms are code-page-1250 bytes, local paths UTF-8
// native paths.  Results come through the transfer-result callback.

int OxfrCopyA(OxfrSession s, uint32_t param, const char* source, const char* destination);
int OxfrMoveA(OxfrSession s, uint32_t param, const char* source, const char* destination);
int OxfrMoveW(OxfrSession s, uint32_t param, const char16_t* source, const char16_t* destination);
int OxfrCreateDirA(OxfrSession s, uint32_t param, const char* path);
int OxfrCreateDirW(OxfrSession s, uint32_t param, const char16_t* path);
int OxfrDeleteA(OxfrSession s, uint32_t param, const char* path);
int OxfrGetFileInfoA(OxfrSession s, uint32_t param, const char* path);
int OxfrGetFileInfoW(OxfrSession s, uint32_t param, const char16_t* path);
int OxfrRemoveDirA(OxfrSession s, uint32_t param, const char* path);
int OxfrRemoveDirW(OxfrSession s, uint32_t param, const char16_t* path);

int OxfrListA(OxfrSession s, uint32_t param, OxfrProgress progress, std::uintptr_t context,
              uint32_t* job, const char* remotePattern);
int OxfrListW(OxfrSession s, uint32_t param, OxfrProgress progress, std::uintptr_t context,
              uint32_t* job, const char16_t* remotePattern);
int OxfrGetA(OxfrSession s, uint32_t param, OxfrProgress progress, std::uintptr_t context,
             uint32_t* job, const char* remotePath, const char* localPath);
int OxfrGetW(OxfrSession s, uint32_t param, OxfrProgress progress, std::uintptr_t context,
             uint32_t* job, const char16_t* remotePath, const char16_t* localPath);
// The file received into the entry `localName` (one path component) of the
// open folder `localFolder` (the caller keeps its descriptor): nothing is
// followed at the name, a symbolic link there fails with ELOOP before the
// request is sent (sys::AtomicFile::OpenAt).
int OxfrGetIntoA(OxfrSession s, uint32_t param, OxfrProgress progress, std::uintptr_t context,
                 uint32_t* job, const char* remotePath, int localFolder, const char* localName);
int OxfrPutA(OxfrSession s, uint32_t param, OxfrProgress progress, std::uintptr_t context,
             uint32_t* job, const char* localPath, const char* remotePath);
int OxfrPutW(OxfrSession s, uint32_t param, OxfrProgress progress, std::uintptr_t context,
             uint32_t* job, const char16_t* localPath, const char16_t* remotePath);

// ---- Server shares ---------------------------------------------------------------------

constexpr uint32_t OXFR_MAX_SHARES = 30;

struct OxfrShareW
{
    char16_t name[260];
    char16_t directory[4096];
    uint32_t access;
};

int OxfrAddShareA(OxfrSession s, const char* directory, const char* name, uint32_t access);
int OxfrAddShareW(OxfrSession s, const char16_t* directory, const char16_t* name, uint32_t access);
int OxfrRemoveShareA(OxfrSession s, const char* name);
int OxfrRemoveShareW(OxfrSession s, const char16_t* name);
int OxfrGetShareCount(OxfrSession s);
// Copies up to capacity entries in use; returns the number copied.
int OxfrGetSharesW(OxfrSession s, OxfrShareW* shares, uint32_t capacity);

// ---- Sessions over a channel of one's own ----------------------------------------------
// Opens a session over a channel that was created with OxfrConnectData() as
// its connect data and whose transport runs; the session owns the channel
// from then on (also when this fails).  For transports of one's own and
// tests.
OxfrSession OxfrOpenSessionOnChannel(void* user, OlnkChannel channel, uint32_t timeoutMs);
// The 11-byte connect message.
const uint8_t* OxfrConnectData(size_t* length);
