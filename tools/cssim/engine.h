#pragma once
// The simulator's engine, shared by its source files: the job record, the
// timers and Simulator::Impl, the state of the loop thread (connect
// handling and dispatch in loop.cpp, the job engine in jobs.cpp, the PLC
// requests in plc_requests.cpp, the file requests in file_requests.cpp and
// the client's side in client.cpp).
#include "tools/cssim/cssim_internal.h"
#include "tools/cssim/files.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <thread>

namespace cssim {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

struct Recorder::Impl
{
    mutable std::mutex m;
    std::condition_variable cv;
    std::vector<Record> records;
    uint64_t malformed = 0;
    bool enabled = true;
};

struct Job
{
    bool send = false;
    bool requester = false;
    uint8_t id = 0;
    int peer = -1;
    uint32_t param = 0;
    Bytes data;
    uint16_t time = 0, date = 0;
    uint32_t total = 0;
    // send
    uint32_t nextBlock = 0;
    size_t offset = 0;
    int64_t credits = 0;
    uint32_t exceedLeft = 0;
    bool sizeSent = false, finalSent = false;
    uint32_t blockDelayMs = 0;
    Clock::time_point nextBlockAt{};
    // receive
    uint32_t ackNo = 0;
    int granted = 0;
    uint32_t expected = 0;
    bool firstAck = false;
    // both
    uint32_t blocks = 0;
    JobScript script;
    Clock::time_point last = Clock::now();
    bool ended = false;
    std::function<void(uint8_t status, Job&)> done;
    // receive: the verdict on a complete job (0 or a failure)
    std::function<uint8_t(Job&)> commit;
};

struct Timer
{
    Clock::time_point due;
    std::function<void()> fn;
};

struct Simulator::Impl
{
    Simulator* sim;
    Config cfg;
    std::thread loop;
    std::atomic<bool> stopFlag{false};
    std::mutex m; // scripts, posted commands
    std::deque<std::function<void()>> posted;
    std::map<uint8_t, RequestScript> reqScripts;
    struct FS
    {
        uint8_t op;
        std::string pattern;
        FileScript s;
    };
    std::vector<FS> fileScripts;
    std::map<std::string, Bytes> listedFiles; // wire path -> content (scripted listings)
    std::optional<JobScript> jobScript;
    std::atomic<bool> silenced{false};
    std::vector<Timer> timers; // loop thread only
    std::map<uint8_t, std::unique_ptr<Job>> jobs;
    uint8_t nextSend = 0, nextRecv = 128;
    std::unique_ptr<files::Server> server;
    std::atomic<uint64_t> connects{0};
    Clock::time_point start = Clock::now();
    Clock::time_point nextPush[3];
    // client
    std::mutex cm;
    std::condition_variable ccv;
    uint32_t nextClientParam = 0x1000;
    std::map<uint32_t, std::optional<ClientResult>> clientWaits;
    std::vector<std::pair<Bytes, std::promise<Bytes>*>> rawWaits;

    Plc::State& P() { return *sim->m_plc.m_s; }

    void Post(std::function<void()> fn)
    {
        std::lock_guard<std::mutex> g(m);
        posted.push_back(std::move(fn));
    }
    void After(uint32_t ms, std::function<void()> fn)
    {
        timers.push_back({Clock::now() + milliseconds(ms), std::move(fn)});
    }

    void Send(const Bytes& msg)
    {
        if (silenced)
            return;
        sim->m_recorder.add(1, msg.data(), msg.size());
        // A message the channel does not take (closed, or no room within
        // 2 s) is lost as on a real line; the peer's time-outs deal with it.
        (void)OlnkSend(sim->m_channel, uint16_t(msg.size()), msg.data(), 1, 2000);
    }

    // ---- jobs (jobs.cpp) ----
    uint8_t NewId(bool send);
    Job& NewJob(bool send);
    void EndJob(Job& j, uint8_t status);
    void SendAck(Job& j, int8_t value);
    void SendSize(Job& j);
    void SendFinal(Job& j, uint8_t status);
    void BlockDone(Job& j);
    void PumpSendJob(Job& j);
    // A responder or requester send job gets an acknowledgement.
    void OnAck(const uint8_t* d, size_t n);
    void OnData(const uint8_t* d, size_t n);
    void FirstAck(Job& j);
    void EndAllJobs(uint8_t status);
    void JobTimers();

    // ---- connect (loop.cpp) ----
    void DoReset();
    // The channel, out of step with our side, reset itself and sent the
    // connect message it holds: what our side was sent is gone.  Taken
    // before every message received, which may be our side's answer to it.
    void TakeOwnReset();

    // ---- dispatch ----
    // Answers the peer's reset: every job ends with 133, the connect reply
    // goes out in the answering connect frame.
    void AnswerReset(uint32_t param);

    // connectFrame: the message came in a connect frame.  The peer's reset
    // travels only so; a connect message or reply in an ordinary frame is
    // malformed and changes nothing.  A connect frame that carries anything
    // else is a reset all the same, and the channel waits for its answer.
    void Dispatch(const uint8_t* d, size_t n, bool connectFrame);

    // ---- PLC (loop.cpp, plc_requests.cpp) ----
    void PushStatus();
    Bytes StatusRecord();
    void PlcRequest(uint8_t code, uint32_t param, const uint8_t* p, size_t n);

    // Run mode: executes the lines that are due at the set rate while the
    // PLC runs; before a line with a breakpoint it stops there.
    Clock::time_point runClock = Clock::now();
    void RunProgram();
    Bytes WatchPush(int kind, Plc::WatchList& w);
    void RunPushes();

    // ---- files (file_requests.cpp) ----
    void FileRequest(uint8_t code, uint32_t param, const uint8_t* p, size_t n);
    Bytes ScriptedListing(const std::string& path, const std::vector<ListedEntry>& entries);
    void Reply2(uint8_t code, uint32_t param, uint8_t status, const Bytes& data = {});

    // ---- client (client.cpp) ----
    bool ClientTakes(const uint8_t* d, size_t n);
    ClientResult ClientCall(const std::function<void(uint32_t)>& issue);
    void ClientDone(uint32_t param, uint8_t status, const Bytes& data);

    // The loop thread (loop.cpp).
    void Run();
};

} // namespace cssim
