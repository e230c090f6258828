#pragma once
// The session and job records, shared by the session and the job code.

#include "link/olnk/olnk_transport.h"
#include "link/oxfr/oxfr.h"
#include "link/oxfr/oxfr_messages.h"
#include "link/oxfr/oxfr_server.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace oxfr {

// The source or sink of a job.  Open is called before the request goes out.
class JobIo
{
public:
    virtual ~JobIo() = default;
    // Source: total size and the stamp of the last write (0, 0 when none).
    virtual void Describe(uint32_t& total, uint16_t& dosDate, uint16_t& dosTime)
    {
        total = 0;
        dosDate = dosTime = 0;
    }
    // Source: up to max bytes (files round max down to a multiple of 512);
    // 0 at the end, -1 on failure.
    virtual int Read(uint8_t*, size_t) { return -1; }
    // Sink.
    virtual bool Write(const uint8_t*, size_t) { return false; }
    // Sink: make the output final (stamp when dosDate != 0).
    virtual bool Commit(uint16_t, uint16_t) { return true; }
    // Sink: throw the output away.  Also called for a source at the end.
    virtual void Discard() {}
    // Result data of a successful client job (the listing file's name).
    virtual std::string ResultData() const { return {}; }
};

std::unique_ptr<JobIo> OpenFileSource(const std::string& native, bool deleteAtEnd, uint32_t& err);
std::unique_ptr<JobIo> OpenMemorySource(const uint8_t* data, uint32_t size);
std::unique_ptr<JobIo> OpenFileSink(const std::string& target, uint32_t& err);
std::unique_ptr<JobIo> OpenFileSinkAt(int folder, const std::string& name, uint32_t& err);
std::unique_ptr<JobIo> OpenListingSink(uint32_t& err);

enum class Deliver { None, Transfer, Reply };

struct Job
{
    bool send = false;
    bool requester = false;
    uint8_t id = 0;
    uint32_t handle = 0;
    uint8_t code = 0;
    uint32_t param = 0;
    Deliver deliver = Deliver::None;
    uint8_t ioFailure = OXFR_STREAM_ERROR;
    std::unique_ptr<JobIo> io;
    OxfrProgress progress = nullptr;
    std::uintptr_t context = 0;

    // Guarded by the session mutex.
    std::condition_variable cv;
    int peer = -1;
    bool heard = false;            // anything from the peer job
    int credits = 0;               // send job
    std::optional<uint8_t> peerFinal; // final ack value (send) / final status (receive)
    uint32_t peerFinalBlocks = 0;
    std::optional<uint8_t> ended;  // ended here (cancel, close, reset, protocol error)
    bool sizeSeen = false;
    uint32_t total = 0;
    uint16_t dosDate = 0, dosTime = 0;
    std::deque<Bytes> ring; // data messages (whole)
    uint32_t granted = 0, arrived = 0;
    uint64_t arrivedBytes = 0;     // receive job: data bytes taken so far
    uint32_t acksTaken = 0;        // send job: the next acknowledgement number
    bool inProgress = false;
    int waiters = 0;
    bool over = false; // the result was delivered; the slot is free
    std::thread::id threadId;
    std::chrono::steady_clock::time_point started = std::chrono::steady_clock::now();
    bool peerSpoke = false; // a message from the peer job passed its checks

    std::thread thread;
    std::atomic<bool> finished{false};
};

} // namespace oxfr

struct OxfrSessionImpl
{
    void* user = nullptr;
    uint32_t timeoutMs = 1000;
    OlnkChannel ch = nullptr;

    std::mutex m;
    OxfrSessionCallbacks scb;
    OxfrLinkCallbacks lcb;
    OxfrTransferCallbacks tcb;

    std::atomic<bool> stop{false};
    std::atomic<bool> closing{false};
    std::thread thread;
    bool resumed = false;
    std::atomic<bool> established{false};
    uint16_t peerValue = 0;
    std::atomic<uint32_t> jobTimeoutMs{30000};

    std::atomic<uint64_t> malformed{0}, unknownJob{0}, ignored{0}, dropped{0}, evicted{0};

    // Reply queue.
    std::deque<oxfr::Bytes> queue;
    bool sending = false;

    // Jobs: slots by wire id, generations, every job object until joined.
    oxfr::Job* slots[256] = {};
    uint32_t generation[256] = {};
    uint8_t lastSend = 127, lastRecv = 255;
    std::list<std::unique_ptr<oxfr::Job>> jobs;

    oxfr::ShareTable shares;

    // Server workers.
    std::deque<oxfr::Bytes> work;
    std::condition_variable workCv;
    std::vector<std::thread> workers;
    bool workStop = false;
};

namespace oxfr {

// A received message that failed its checks and was dropped: counted in
// one of the session's counters and in the channel's ProgramErr, the
// session's error counter that the connection monitor shows.
inline void CountError(OxfrSessionImpl* s, std::atomic<uint64_t>& counter)
{
    ++counter;
    OlnkAddProgramErr(s->ch);
}

// Sends a message reliably from a job or client call (no session lock held).
// 0 or the error code.
uint32_t SendNow(OxfrSessionImpl* s, const Bytes& msg, uint32_t timeoutMs);
// The reply path of the session (queued when it cannot leave at once).
void SendReply(OxfrSessionImpl* s, Bytes msg);

// Creates a job in a free slot (session mutex held); null when none is free.
Job* NewJobLocked(OxfrSessionImpl* s, bool send);
// Starts the job's thread.
void StartJob(OxfrSessionImpl* s, Job* job);
// Frees a job that never started (request could not be sent).
void DropJob(OxfrSessionImpl* s, Job* job);
// Ends a job with a status from outside (session mutex held).
void EndJobLocked(OxfrSessionImpl* s, Job* job, uint8_t status);
// Ends every running job (session mutex held).
void EndAllJobsLocked(OxfrSessionImpl* s, uint8_t status);
// Joins and frees finished job threads; all when `all`.
void ReapJobs(OxfrSessionImpl* s, bool all);
// Class 0, types 4 and 5 (session thread).
void DispatchJobMessage(OxfrSessionImpl* s, const uint8_t* msg, size_t length);
// A negative reply to a job request (codes 3, 4, 6 of class 2; 2 of class 1).
void FailRequesterJob(OxfrSessionImpl* s, bool plc, uint8_t code, uint32_t param, uint8_t status);

} // namespace oxfr
