// The simulator's loop: connect handling, class dispatch, the job engine,
// the fake PLC's requests and pushes, the file server and the client.
#include "tools/cssim/cssim_internal.h"
#include "tools/cssim/files.h"

#include "link/olnk/olnk_open.h"
#include "platform/sys/LastError.h"
#include "tools/linkshim/LinkFrameDecoder.h"
#include "tools/linkshim/PtyBridge.h"
#include "tools/linkshim/UdpFaultRelay.h"

#include <cctype>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <future>
#include <thread>

namespace cssim {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

Bytes ConnectMessage() { return {0, 0, 0, 0, 0, 0, 0, 4, 0, 1, 0}; }
Bytes ConnectReply(uint32_t parameter, uint8_t status)
{
    Bytes b = Header(0, 1, 0, parameter);
    b.push_back(status);
    Put16(b, 4);
    Put16(b, 1);
    return b;
}

// ---- Recorder ---------------------------------------------------------------------------

struct Recorder::Impl
{
    mutable std::mutex m;
    std::condition_variable cv;
    std::vector<Record> records;
    uint64_t malformed = 0;
    bool enabled = true;
};

Recorder::Recorder() : m_impl(std::make_shared<Impl>()) {}

uint32_t Record::parameter() const { return bytes.size() >= 7 ? U32(bytes.data() + 3) : 0; }
Bytes Record::payload() const
{
    return bytes.size() > 7 ? Bytes(bytes.begin() + 7, bytes.end()) : Bytes{};
}

std::vector<Record> Recorder::all() const
{
    std::lock_guard<std::mutex> g(m_impl->m);
    return m_impl->records;
}
std::optional<Record> Recorder::waitFor(const std::function<bool(const Record&)>& pred,
                                        milliseconds timeout)
{
    std::unique_lock<std::mutex> lk(m_impl->m);
    std::optional<Record> found;
    m_impl->cv.wait_for(lk, timeout, [&] {
        for (const auto& r : m_impl->records)
            if (pred(r)) {
                found = r;
                return true;
            }
        return false;
    });
    return found;
}
void Recorder::clear()
{
    std::lock_guard<std::mutex> g(m_impl->m);
    m_impl->records.clear();
}
void Recorder::add(int direction, const uint8_t* data, size_t n)
{
    std::lock_guard<std::mutex> g(m_impl->m);
    if (!m_impl->enabled)
        return;
    m_impl->records.push_back(
        {uint64_t(std::chrono::duration_cast<milliseconds>(Clock::now() - m_start).count()),
         direction, Bytes(data, data + n)});
    m_impl->cv.notify_all();
}
uint64_t Recorder::malformed() const
{
    std::lock_guard<std::mutex> g(m_impl->m);
    return m_impl->malformed;
}

// ---- Shim -------------------------------------------------------------------------------

struct Shim::Impl
{
    std::unique_ptr<linkshim::UdpFaultRelay> relay;
    std::unique_ptr<linkshim::PtyBridge> bridge;
    std::mutex m;
    std::vector<TargetedFault> targeted;
    std::atomic<uint64_t> matched{0};
    linkshim::UdpFaultRelay::Faults faults[2];
    uint16_t ourPort = 0;

    bool Matches(const FrameMatch& fm, int dir, const linkshim::DecodedFrame& f)
    {
        if (fm.direction != dir)
            return false;
        if (f.data.empty())
            return !fm.dataOnly && fm.cls < 0 && fm.type < 0 && fm.code < 0 && fm.job < 0;
        auto at = [&](size_t i) { return f.data.size() > i ? int(f.data[i]) : -2; };
        return (fm.cls < 0 || at(0) == fm.cls) && (fm.type < 0 || at(1) == fm.type) &&
               (fm.code < 0 || at(2) == fm.code) && (fm.job < 0 || at(3) == fm.job);
    }

    linkshim::UdpFaultRelay::Verdict Filter(int dir, Bytes& bytes, uint32_t& delay)
    {
        using V = linkshim::UdpFaultRelay::Verdict;
        const auto frames = linkshim::LinkFrameDecoder::DecodeDatagram(bytes);
        if (frames.size() != 1)
            return V::Pass;
        std::lock_guard<std::mutex> g(m);
        for (auto it = targeted.begin(); it != targeted.end(); ++it) {
            if (!Matches(it->match, dir, frames[0]))
                continue;
            TargetedFault f = *it;
            if (--it->count == 0)
                targeted.erase(it);
            ++matched;
            switch (f.action) {
            case FrameAction::Drop: return V::Drop;
            case FrameAction::Duplicate: return V::Duplicate;
            case FrameAction::Delay: delay = f.delayMs; return V::Delay;
            case FrameAction::Hold: return V::Hold;
            case FrameAction::Xor: {
                // Position of the data bytes in the datagram (after stuffing).
                std::vector<size_t> dataPos;
                size_t i = 10;
                while (i < bytes.size() && dataPos.size() < frames[0].data.size()) {
                    dataPos.push_back(i);
                    i += (bytes[i] == 0xF9 || bytes[i] == 0xFE) ? 2 : 1;
                }
                size_t pos = 0;
                if (f.dataOffset >= 0) {
                    if (size_t(f.dataOffset) >= dataPos.size())
                        return V::Pass;
                    pos = dataPos[size_t(f.dataOffset)];
                } else if (f.offset == -1) {
                    if (dataPos.empty())
                        return V::Pass;
                    pos = dataPos.back();
                } else if (f.offset == -2 || f.offset == -3) {
                    pos = bytes.size() - (f.offset == -2 ? 2 : 1);
                } else
                    pos = size_t(f.offset);
                if (pos < bytes.size())
                    bytes[pos] ^= f.mask;
                return V::Pass;
            }
            }
        }
        return V::Pass;
    }
};

bool Shim::ok() const { return m_impl && (m_impl->relay || m_impl->bridge); }
void Shim::setRandom(int direction, double loss, double duplicate, double reorder, double corrupt)
{
    if (!m_impl)
        return;
    std::lock_guard<std::mutex> g(m_impl->m);
    auto& f = m_impl->faults[direction];
    f.drop = loss;
    f.duplicate = duplicate;
    f.reorder = reorder;
    f.corrupt = corrupt;
    f.corruptDetectable = true;
    if (m_impl->relay)
        m_impl->relay->SetFaults(direction, f);
    if (m_impl->bridge) {
        linkshim::PtyBridge::Faults bf;
        bf.dropByte = loss / 100;
        bf.flipBit = corrupt / 100;
        bf.hold = f.hold;
        m_impl->bridge->SetFaults(direction, bf);
    }
}
void Shim::addTargeted(const TargetedFault& f)
{
    if (!m_impl)
        return;
    std::lock_guard<std::mutex> g(m_impl->m);
    m_impl->targeted.push_back(f);
}
void Shim::clearTargeted()
{
    if (!m_impl)
        return;
    std::lock_guard<std::mutex> g(m_impl->m);
    m_impl->targeted.clear();
}
void Shim::silence(int direction, bool on)
{
    if (!m_impl)
        return;
    std::lock_guard<std::mutex> g(m_impl->m);
    for (int d = 0; d < 2; ++d) {
        if (direction >= 0 && d != direction)
            continue;
        m_impl->faults[d].hold = on;
        if (m_impl->relay)
            m_impl->relay->SetFaults(d, m_impl->faults[d]);
        if (m_impl->bridge) {
            linkshim::PtyBridge::Faults bf;
            bf.hold = on;
            m_impl->bridge->SetFaults(d, bf);
        }
    }
}
void Shim::inject(const Bytes& bytes)
{
    if (m_impl && m_impl->relay)
        m_impl->relay->Inject(1, bytes);
    else if (m_impl && m_impl->bridge)
        m_impl->bridge->PairA().WriteMaster(bytes.data(), bytes.size());
}
void Shim::sendForeign(const Bytes& bytes)
{
    if (m_impl && m_impl->relay)
        m_impl->relay->SendForeign(m_impl->ourPort, bytes);
}
uint64_t Shim::matched() const { return m_impl ? m_impl->matched.load() : 0; }

namespace {
Bytes Frame(const Bytes& data, uint8_t headerLength, uint8_t byte3, uint8_t seq)
{
    Bytes h{0xF9, 0xFD, headerLength, byte3, 0x80, uint8_t(data.size()),
            uint8_t(0x04 | (data.size() >> 8)), seq};
    const uint16_t hc = linkshim::LinkFrameDecoder::Check(h);
    h.push_back(uint8_t(hc));
    h.push_back(uint8_t(hc >> 8));
    if (headerLength > 10)
        h.insert(h.begin() + 8, size_t(headerLength - 10), 0);
    else if (headerLength < 10)
        h.resize(headerLength);
    for (uint8_t b : data) {
        h.push_back(b);
        if (b == 0xF9 || b == 0xFE)
            h.push_back(b);
    }
    h.push_back(0xFE);
    const uint16_t dc = linkshim::LinkFrameDecoder::Check(data);
    h.push_back(uint8_t(dc));
    h.push_back(uint8_t(dc >> 8));
    return h;
}
} // namespace

Bytes Shim::BadFrame(const Bytes& data, uint8_t headerLength, uint8_t byte3, uint8_t seq)
{
    return Frame(data, headerLength, byte3, seq);
}
Bytes Shim::FrameWithStartInData(uint8_t seq)
{
    Bytes f = Frame(Bytes{0x41, 0x42, 0x43, 0x44}, 10, 1, seq);
    f.insert(f.begin() + 12, {0xF9, 0xFD});
    return f;
}

// ---- The engine -----------------------------------------------------------------------------

bool IsJobCode(uint8_t c) { return c == 3 || c == 4 || c == 6; }
void Malform(Bytes& l, Malformed m);
bool SameNoCase(const std::string& x, const std::string& y);

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
    std::atomic<uint64_t> connects{0}, connectReplies{0};
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
        OlnkSend(sim->m_channel, uint16_t(msg.size()), msg.data(), 1, 2000);
    }

    // ---- jobs ----
    uint8_t NewId(bool send)
    {
        for (int i = 0; i < 128; ++i) {
            uint8_t id = send ? uint8_t(nextSend++ & 0x7F) : uint8_t(128 | (nextRecv++ & 0x7F));
            if (!jobs.count(id))
                return id;
        }
        return send ? 0 : 128;
    }
    Job& NewJob(bool send)
    {
        auto j = std::make_unique<Job>();
        j->send = send;
        j->id = NewId(send);
        {
            std::lock_guard<std::mutex> g(m);
            if (jobScript)
                j->script = *jobScript;
        }
        j->exceedLeft = j->script.exceedCredits;
        Job& r = *j;
        jobs[r.id] = std::move(j);
        return r;
    }
    void EndJob(Job& j, uint8_t status)
    {
        if (j.ended)
            return;
        j.ended = true;
        if (j.done)
            j.done(status, j);
    }
    void SendAck(Job& j, int8_t value)
    {
        Bytes a{0, 5, 0, uint8_t(j.peer), uint8_t(value)};
        Put32(a, j.ackNo++);
        a.push_back(j.id);
        a.push_back(0);
        Send(a);
    }
    void SendSize(Job& j)
    {
        Bytes s{0, 4, 1, uint8_t(j.peer), 0};
        Put32(s, 0);
        Put16(s, 10);
        s.push_back(j.id);
        s.push_back(0);
        Put32(s, j.total);
        Put16(s, j.time);
        Put16(s, j.date);
        Send(s);
        j.sizeSent = true;
    }
    void SendFinal(Job& j, uint8_t status)
    {
        Bytes f{0, 4, 0, uint8_t(j.peer), status};
        Put32(f, j.blocks);
        Put16(f, 0);
        Send(f);
        j.finalSent = true;
    }
    void BlockDone(Job& j)
    {
        ++j.blocks;
        if (j.script.resetAfter >= 0 && j.blocks == uint32_t(j.script.resetAfter))
            DoReset();
    }

    void PumpSendJob(Job& j)
    {
        if (j.ended || j.peer < 0 || !j.sizeSent || j.finalSent)
            return;
        for (int k = 0; k < 32 && !j.ended && !j.finalSent; ++k) {
            if (j.script.abortAfter >= 0 && j.blocks == uint32_t(j.script.abortAfter)) {
                SendFinal(j, j.script.abortStatus);
                EndJob(j, j.script.abortStatus);
                return;
            }
            if (j.offset >= j.data.size()) {
                SendFinal(j, 0);
                j.last = Clock::now();
                return;
            }
            if (j.credits <= 0) {
                if (j.exceedLeft == 0)
                    return;
                --j.exceedLeft;
            } else
                --j.credits;
            if (j.blockDelayMs) {
                if (Clock::now() < j.nextBlockAt) {
                    ++j.credits;
                    return;
                }
                j.nextBlockAt = Clock::now() + milliseconds(j.blockDelayMs);
            }
            const size_t n = std::min<size_t>(cfg.fileBlock, j.data.size() - j.offset);
            uint32_t number = j.nextBlock++;
            if (j.script.wrongBlockAfter >= 0 && j.blocks == uint32_t(j.script.wrongBlockAfter))
                number = j.nextBlock++;
            Bytes b{0, 4, 0, uint8_t(j.peer), 0};
            Put32(b, number);
            Put16(b, uint16_t(n));
            b.insert(b.end(), j.data.begin() + long(j.offset), j.data.begin() + long(j.offset + n));
            j.offset += n;
            Send(b);
            j.last = Clock::now();
            BlockDone(j);
            if (j.blockDelayMs)
                return;
        }
    }

    // A responder or requester send job gets an acknowledgement.
    void OnAck(const uint8_t* d, size_t n)
    {
        auto it = jobs.find(d[3]);
        if (it == jobs.end() || !it->second->send || it->second->ended)
            return;
        Job& j = *it->second;
        j.last = Clock::now();
        const int8_t value = int8_t(d[4]);
        if (j.peer < 0 && n > 9) {
            j.peer = d[9];
            SendSize(j);
        }
        if (value > 0) {
            j.credits += value;
            PumpSendJob(j);
            return;
        }
        EndJob(j, (value == 0 && !j.finalSent) ? 136 : uint8_t(value));
    }

    void OnData(const uint8_t* d, size_t n)
    {
        auto it = jobs.find(d[3]);
        if (it == jobs.end() || it->second->send || it->second->ended)
            return;
        Job& j = *it->second;
        j.last = Clock::now();
        if (d[2] == 1) { // size message
            if (j.peer < 0 && n > 11)
                j.peer = d[11];
            if (n >= 17)
                j.total = U32(d + 13);
            if (n >= 21) {
                j.time = U16(d + 17);
                j.date = U16(d + 19);
            }
            if (j.requester && !j.firstAck)
                FirstAck(j);
            return;
        }
        if (d[2] != 0 || j.peer < 0)
            return;
        const uint8_t status = d[4];
        const uint32_t block = U32(d + 5);
        const uint16_t len = U16(d + 9);
        if (status != 0) {
            EndJob(j, status);
            return;
        }
        if (len == 0) { // the final message
            if (block != j.expected) {
                SendAck(j, int8_t(136));
                EndJob(j, 136);
                return;
            }
            uint8_t verdict = j.commit ? j.commit(j) : 0;
            if (j.script.verdict)
                verdict = uint8_t(*j.script.verdict);
            auto finish = [this, id = j.id, verdict] {
                auto f = jobs.find(id);
                if (f == jobs.end() || f->second->ended)
                    return;
                SendAck(*f->second, int8_t(verdict));
                EndJob(*f->second, verdict);
            };
            if (j.script.verdictDelayMs)
                After(j.script.verdictDelayMs, finish);
            else
                finish();
            return;
        }
        if (block != j.expected || j.granted <= 0 || size_t(len) + 11 > n) {
            SendAck(j, int8_t(136));
            EndJob(j, 136);
            return;
        }
        --j.granted;
        ++j.expected;
        j.data.insert(j.data.end(), d + 11, d + 11 + len);
        BlockDone(j);
        if (j.script.abortAfter >= 0 && j.blocks == uint32_t(j.script.abortAfter)) {
            SendAck(j, int8_t(j.script.abortStatus));
            EndJob(j, j.script.abortStatus);
            return;
        }
        if (j.script.creditsStopAfter >= 0 && j.blocks >= uint32_t(j.script.creditsStopAfter))
            return;
        ++j.granted;
        SendAck(j, 1);
    }

    void FirstAck(Job& j)
    {
        j.firstAck = true;
        if (j.script.creditsStopAfter == 0)
            return;
        j.granted = 20;
        SendAck(j, 20);
    }

    void EndAllJobs(uint8_t status)
    {
        for (auto& [id, j] : jobs)
            EndJob(*j, status);
    }

    void JobTimers()
    {
        const auto now = Clock::now();
        for (auto it = jobs.begin(); it != jobs.end();) {
            Job& j = *it->second;
            if (!j.ended && now - j.last > milliseconds(cfg.jobTimeoutMs)) {
                if (!j.send && j.peer >= 0)
                    SendAck(j, int8_t(134));
                EndJob(j, 134);
            }
            if (j.ended)
                it = jobs.erase(it);
            else {
                if (j.send)
                    PumpSendJob(j);
                ++it;
            }
        }
    }

    // ---- connect ----
    void DoReset()
    {
        EndAllJobs(133);
        const Bytes c = ConnectMessage();
        sim->m_recorder.add(1, c.data(), c.size());
        OlnkConnect(sim->m_channel, uint16_t(c.size()), c.data());
    }

    // ---- dispatch ----
    // Answers the peer's reset: every job ends with 133, the connect reply
    // goes out in the answering connect frame.
    void AnswerReset(uint32_t param)
    {
        EndAllJobs(133);
        const Bytes r = ConnectReply(param, 0);
        sim->m_recorder.add(1, r.data(), r.size());
        OlnkConnect(sim->m_channel, uint16_t(r.size()), r.data());
    }

    // connectFrame: the message came in a connect frame.  The peer's reset
    // travels only so; a connect message or reply in an ordinary frame is
    // malformed and changes nothing.  A connect frame that carries anything
    // else is a reset all the same, and the channel waits for its answer.
    void Dispatch(const uint8_t* d, size_t n, bool connectFrame)
    {
        sim->m_recorder.add(0, d, n);
        auto malformed = [&] {
            std::lock_guard<std::mutex> g(sim->m_recorder.m_impl->m);
            ++sim->m_recorder.m_impl->malformed;
        };
        const bool isConnect = n >= 7 && d[0] == 0 && d[1] == 0 && d[2] == 0;
        const bool isReply = n >= 7 && d[0] == 0 && d[1] == 1 && d[2] == 0;
        if (connectFrame) {
            if (isConnect) {
                ++connects;
                return AnswerReset(U32(d + 3));
            }
            if (isReply)
                ++connectReplies;
            else
                malformed();
            if (OlnkGetLinkState(sim->m_channel) == OLNK_STATE_RESET_BY_PEER)
                AnswerReset(n >= 7 ? U32(d + 3) : 0);
            return;
        }
        if (isConnect || isReply || n < 7)
            return malformed();
        const uint8_t cls = d[0], type = d[1], code = d[2];
        const uint32_t param = U32(d + 3);
        if (ClientTakes(d, n))
            return;
        if (cls == 0) {
            if (type == 0) {
                Bytes r = Header(0, 1, code, param);
                r.push_back(129);
                return Send(r);
            }
            if (type == 1)
                return;
            if (type == 4 || type == 5) {
                if (n < 11)
                    return malformed();
                return type == 4 ? OnData(d, n) : OnAck(d, n);
            }
            return;
        }
        if (cls == 1) {
            if (type == 0)
                return PlcRequest(code, param, d + 7, n - 7);
            return;
        }
        if (cls == 2) {
            if (type == 0)
                return FileRequest(code, param, d + 7, n - 7);
            return;
        }
        if (type == 0) {
            Bytes r = Header(cls, 1, code, param);
            r.push_back(130);
            Send(r);
        }
    }

    // ---- PLC ----
    void PushStatus()
    {
        Bytes b = Header(1, 2, 0, 0);
        auto rec = StatusRecord();
        b.insert(b.end(), rec.begin(), rec.end());
        Send(b);
    }
    Bytes StatusRecord()
    {
        auto& s = P();
        std::lock_guard<std::mutex> g(s.m);
        Bytes r;
        Put16(r, 10);
        Put16(r, s.flags);
        Put32(r, (s.flags & FLAG_AT_POSITION) ? s.position : 0);
        Put16(r, 0);
        return r;
    }
    void PlcRequest(uint8_t code, uint32_t param, const uint8_t* p, size_t n);

    // Run mode: executes the lines that are due at the set rate while the
    // PLC runs; before a line with a breakpoint it stops there.
    Clock::time_point runClock = Clock::now();
    void RunProgram()
    {
        if (!cfg.runRate)
            return;
        auto& s = P();
        std::lock_guard<std::mutex> g(s.m);
        const auto now = Clock::now();
        if (!s.hasProgram || s.program.lines.empty() || !(s.flags & FLAG_RUNNING) ||
            (s.flags & FLAG_AT_POSITION)) {
            runClock = now;
            return;
        }
        const uint64_t us =
            uint64_t(std::chrono::duration_cast<std::chrono::microseconds>(now - runClock).count());
        uint64_t due = us * cfg.runRate / 1000000;
        if (due == 0)
            return;
        if (due > 100000) { // far behind (a stalled loop): no catching up
            due = 100000;
            runClock = now;
        } else {
            runClock += std::chrono::microseconds(due * 1000000 / cfg.runRate);
        }
        for (uint64_t i = 0; i < due; ++i) {
            const uint32_t index = s.program.lines[s.next];
            if (!s.resume && s.breakpoints.count(index)) {
                s.flags |= FLAG_AT_POSITION;
                s.position = index;
                s.statusDirty = true;
                return;
            }
            s.resume = false;
            s.ExecuteListed(s.next);
            s.next = (s.next + 1) % s.program.lines.size();
        }
    }
    Bytes WatchPush(int kind, Plc::WatchList& w);
    void RunPushes()
    {
        auto& s = P();
        if (s.statusDirty.exchange(false))
            PushStatus();
        if (s.mechDirty.exchange(false))
            nextPush[2] = Clock::now();
        const auto now = Clock::now();
        const int kinds[3] = {1, 4, 5};
        for (int i = 0; i < 3; ++i) {
            Plc::WatchList w;
            {
                std::lock_guard<std::mutex> g(s.m);
                w = i == 0 ? s.watch : i == 1 ? s.watchLines : s.watchMech;
            }
            if (!w.interval || !w.count)
                continue;
            if (now < nextPush[i])
                continue;
            nextPush[i] = std::max(nextPush[i] + milliseconds(w.interval), now);
            Bytes b = Header(1, 2, uint8_t(kinds[i]), w.parameter);
            const Bytes data = WatchPush(kinds[i], w);
            b.insert(b.end(), data.begin(), data.end());
            Send(b);
        }
    }

    // ---- files ----
    void FileRequest(uint8_t code, uint32_t param, const uint8_t* p, size_t n);
    Bytes ScriptedListing(const std::string& path, const std::vector<ListedEntry>& entries);
    void Reply2(uint8_t code, uint32_t param, uint8_t status, const Bytes& data = {})
    {
        Bytes r = Header(2, 1, code, param);
        r.push_back(status);
        Put16(r, uint16_t(data.size()));
        r.insert(r.end(), data.begin(), data.end());
        Send(r);
    }

    // ---- client ----
    bool ClientTakes(const uint8_t* d, size_t n)
    {
        std::lock_guard<std::mutex> g(cm);
        for (auto it = rawWaits.begin(); it != rawWaits.end(); ++it) {
            const Bytes& q = it->first;
            if (d[1] == 1 && d[0] == q[0] && d[2] == q[2] && (q.size() < 7 || U32(d + 3) == U32(q.data() + 3))) {
                it->second->set_value(Bytes(d, d + n));
                rawWaits.erase(it);
                return true;
            }
        }
        if (d[0] == 2 && d[1] == 1 && n >= 8) {
            auto it = clientWaits.find(U32(d + 3));
            if (it != clientWaits.end()) {
                const uint8_t status = d[7];
                // A job request's reply matters only on failure.
                ClientResult r;
                r.status = status;
                if (n >= 10)
                    r.data.assign(d + 10, d + std::min<size_t>(n, 10 + U16(d + 8)));
                bool jobCode = d[2] == 3 || d[2] == 4 || d[2] == 6;
                if (!jobCode || status != 0) {
                    if (jobCode)
                        for (auto& [id, j] : jobs)
                            if (j->requester && j->param == U32(d + 3) && !j->ended) {
                                j->ended = true; // the job never started on the other side
                            }
                    it->second = r;
                    ccv.notify_all();
                }
                return true;
            }
        }
        return false;
    }
    ClientResult ClientCall(const std::function<void(uint32_t)>& issue)
    {
        uint32_t param;
        {
            std::lock_guard<std::mutex> g(cm);
            param = nextClientParam++;
            clientWaits[param];
        }
        Post([issue, param] { issue(param); });
        std::unique_lock<std::mutex> lk(cm);
        ClientResult r;
        if (ccv.wait_for(lk, milliseconds(cfg.clientTimeoutMs), [&] { return clientWaits[param].has_value(); }))
            r = *clientWaits[param];
        clientWaits.erase(param);
        return r;
    }
    void ClientDone(uint32_t param, uint8_t status, const Bytes& data)
    {
        std::lock_guard<std::mutex> g(cm);
        auto it = clientWaits.find(param);
        if (it != clientWaits.end() && !it->second) {
            it->second = ClientResult{status, data};
            ccv.notify_all();
        }
    }

    void Run();
};

// ---- PLC requests ----------------------------------------------------------------------------

Bytes Simulator::Impl::WatchPush(int kind, Plc::WatchList& w)
{
    auto& s = P();
    std::lock_guard<std::mutex> g(s.m);
    Bytes out;
    Put16(out, w.count);
    const uint8_t* e = w.entries.data();
    for (uint16_t i = 0; i < w.count; ++i) {
        if (kind == 1) {
            const uint32_t addr = U32(e + 8 * i);
            const uint16_t area = U16(e + 8 * i + 4), len = U16(e + 8 * i + 6);
            if (area >= 16 || uint64_t(addr) + len > 65536) {
                out.push_back(0xFE);
                out.insert(out.end(), len, 0);
            } else {
                out.push_back(0);
                out.insert(out.end(), s.memory[area].begin() + addr,
                           s.memory[area].begin() + addr + len);
            }
        } else if (kind == 4) {
            const uint32_t idx = U32(e + 4 * i);
            Plc::LineRegs lr;
            auto it = s.lines.find(idx);
            if (it != s.lines.end())
                lr = it->second;
            out.push_back(lr.activity);
            out.push_back(lr.rlo);
            Put32(out, uint32_t(lr.dr));
        } else {
            const uint32_t addr = U32(e + 6 * i);
            const uint16_t num = U16(e + 6 * i + 4);
            Plc::Mech mc;
            auto it = s.mechs.find({addr, num});
            if (it != s.mechs.end())
                mc = it->second;
            out.push_back(mc.running);
            Put32(out, mc.index);
        }
    }
    if (kind == 4)
        for (uint16_t i = 0; i < w.count; ++i) {
            auto it = s.lines.find(U32(e + 4 * i));
            if (it != s.lines.end())
                it->second.activity = uint8_t(std::min(255, it->second.activity + 16));
        }
    return out;
}

void Simulator::Impl::PlcRequest(uint8_t code, uint32_t param, const uint8_t* p, size_t n)
{
    RequestScript rs;
    bool scripted = false;
    {
        std::lock_guard<std::mutex> g(m);
        auto it = reqScripts.find(code);
        if (it != reqScripts.end()) {
            rs = it->second;
            scripted = true;
        }
    }
    auto& s = P();
    int8_t status = 0;
    Bytes data;
    // A block whose own length disagrees with the message.
    auto blockOk = [&](size_t fixed, size_t per, size_t countAt, size_t maxCount, bool& tooMany) {
        tooMany = false;
        if (n < 2 || U16(p) != n || n < fixed)
            return false;
        if (per == 0)
            return n == fixed;
        const uint16_t count = U16(p + countAt);
        if (n != fixed + per * count)
            return false;
        tooMany = maxCount && count > maxCount;
        return true;
    };
    if (code == 2) { // PLC transfer
        if (n < 11)
            return;
        int8_t refuse = 0;
        if (scripted && rs.status)
            refuse = *rs.status;
        {
            std::lock_guard<std::mutex> g(m);
            if (jobScript && jobScript->failStart)
                refuse = int8_t(*jobScript->failStart);
        }
        if (!refuse && (sim->m_plc.flags() & FLAG_RUNNING))
            refuse = -1;
        if (refuse) {
            Bytes r = Header(1, 1, 2, param);
            r.push_back(uint8_t(refuse));
            return Send(r);
        }
        Job& j = NewJob(false);
        j.peer = p[0];
        j.param = param;
        j.total = U32(p + 7);
        j.commit = [this](Job& job) -> uint8_t {
            uint32_t l;
            uint16_t c;
            if (!Plc::CheckImage(job.data, l, c))
                return uint8_t(-2);
            auto& st = P();
            std::lock_guard<std::mutex> g(st.m);
            st.image = job.data;
            st.length = l;
            st.checksum = c;
            if (st.flags != FLAG_LOADED || st.position != 0)
                st.statusDirty = true;
            st.flags = FLAG_LOADED;
            st.LoadProgram();
            return 0;
        };
        FirstAck(j);
        return;
    }
    auto setFlags = [&](uint16_t f, std::optional<uint32_t> pos = std::nullopt) {
        if (f != s.flags || (pos && *pos != s.position))
            s.statusDirty = true;
        s.flags = f;
        if (pos)
            s.position = *pos;
    };
    bool tooMany = false;
    {
        std::lock_guard<std::mutex> g(s.m);
        // The run mode with a program of at least one line.
        const bool running = cfg.runRate && s.hasProgram && !s.program.lines.empty();
        switch (code) {
        case 0:
            break;
        case 1:
        case 30:
            break;
        case 3:
            s.image.clear();
            s.length = 0;
            s.checksum = 0;
            s.LoadProgram();
            setFlags(0, 0);
            break;
        case 4: setFlags(s.flags | FLAG_ASLEEP); break;
        case 5: setFlags(s.flags & ~FLAG_ASLEEP); break;
        case 6:
            if (!(s.flags & FLAG_LOADED))
                status = -1;
            else if (!(scripted && rs.status)) {
                if (running && (s.flags & FLAG_AT_POSITION)) {
                    // Continues from the line it stands at.
                    const long k = s.ListedAt(s.position);
                    if (k >= 0)
                        s.next = size_t(k);
                    s.resume = true;
                }
                setFlags(uint16_t((s.flags | FLAG_RUNNING) & ~FLAG_AT_POSITION));
            }
            break;
        case 7:
            if (!(scripted && rs.status))
                setFlags(s.flags & ~(FLAG_RUNNING | FLAG_AT_POSITION));
            break;
        case 8:
            if (!(s.flags & FLAG_RUNNING))
                status = -2;
            else if (!(scripted && rs.status) && running)
                setFlags(s.flags | FLAG_AT_POSITION, s.program.lines[s.next]);
            else if (!(scripted && rs.status))
                setFlags(s.flags | FLAG_AT_POSITION,
                         s.breakpoints.empty() ? 1u : *s.breakpoints.begin());
            break;
        case 9:
            if ((s.flags & FLAG_RUNNING) && !(s.flags & FLAG_AT_POSITION))
                status = -1;
            else if (!(s.flags & FLAG_LOADED))
                status = -2;
            else if (!(scripted && rs.status) && running) {
                // Executes the line at the position, stops at the next listed
                // one; from elsewhere it stops at the next listed line.
                const uint32_t at = (s.flags & FLAG_AT_POSITION) ? s.position : 0;
                const long k = s.ListedAt(at);
                if (k >= 0) {
                    s.ExecuteListed(size_t(k));
                    s.next = (size_t(k) + 1) % s.program.lines.size();
                } else {
                    auto it = std::upper_bound(s.program.lines.begin(), s.program.lines.end(), at);
                    s.next = it == s.program.lines.end() ? 0 : size_t(it - s.program.lines.begin());
                }
                s.resume = false;
                setFlags(s.flags | FLAG_RUNNING | FLAG_AT_POSITION, s.program.lines[s.next]);
            } else if (!(scripted && rs.status))
                setFlags(s.flags | FLAG_RUNNING | FLAG_AT_POSITION, s.position + 1);
            break;
        case 10:
            status = (n == 1 && p[0] <= 1) ? 0 : -2;
            break;
        case 11:
            if (!blockOk(10, 0, 0, 0, tooMany))
                status = -1;
            else if (U32(p + 6))
                s.breakpoints.insert(U32(p + 2));
            else
                s.breakpoints.erase(U32(p + 2));
            break;
        case 12:
            if (!blockOk(4, 4, 2, 253, tooMany) || tooMany)
                status = -1;
            else {
                const uint16_t cnt = U16(p + 2);
                s.breakpoints.clear();
                Put16(data, cnt);
                for (uint16_t i = 0; i < cnt; ++i) {
                    const uint32_t idx = U32(p + 4 + 4 * i);
                    const bool ok = idx >= 1 && idx <= 1000000;
                    if (ok)
                        s.breakpoints.insert(idx);
                    else
                        status = -2;
                    data.push_back(ok ? 0 : 0xFF);
                }
            }
            break;
        case 13: s.breakpoints.clear(); break;
        case 14: case 15: case 17: case 18: case 20:
            status = int8_t(128);
            break;
        case 16:
        case 19:
        case 21: {
            const size_t per = code == 16 ? 8 : code == 19 ? 4 : 6;
            const size_t maxC = code == 16 ? 126 : 168;
            Plc::WatchList& w = code == 16 ? s.watch : code == 19 ? s.watchLines : s.watchMech;
            w = Plc::WatchList{};
            if (!blockOk(6, per, 4, maxC, tooMany))
                status = -1;
            else if (tooMany)
                status = -3;
            else {
                const uint16_t cnt = U16(p + 4);
                if (code == 16) {
                    size_t sz = 2;
                    for (uint16_t i = 0; i < cnt; ++i)
                        sz += 1 + U16(p + 6 + 8 * i + 6);
                    if (sz > 1015)
                        status = -4;
                }
                if (status == 0) {
                    w.interval = U16(p + 2);
                    w.count = cnt;
                    w.parameter = param;
                    w.entries.assign(p + 6, p + n);
                    const int slot = code == 16 ? 0 : code == 19 ? 1 : 2;
                    nextPush[slot] = Clock::now() + milliseconds(w.interval);
                }
            }
            break;
        }
        case 22:
        case 23: {
            if (n < 10 || U16(p) != n || (code == 22 && n != 10) ||
                (code == 23 && n != size_t(10 + U16(p + 8))) || U16(p + 8) < 1 || U16(p + 8) > 8) {
                status = -1;
                break;
            }
            const uint32_t addr = U32(p + 2);
            const uint16_t area = U16(p + 6), size = U16(p + 8);
            if (area >= 16 || uint64_t(addr) + size > 65536) {
                status = -1;
                break;
            }
            if (code == 22) {
                Put16(data, uint16_t(2 + size));
                data.insert(data.end(), s.memory[area].begin() + addr,
                            s.memory[area].begin() + addr + size);
            } else
                std::copy(p + 10, p + 10 + size, s.memory[area].begin() + addr);
            break;
        }
        case 24:
        case 29: {
            const size_t per = code == 24 ? 6 : 4;
            if (!blockOk(6, per, 4, code == 24 ? 168 : 0, tooMany) || tooMany) {
                status = -1;
                break;
            }
            const uint16_t cnt = U16(p + 4);
            Put16(data, uint16_t(2 + 5 * cnt));
            for (uint16_t i = 0; i < cnt; ++i) {
                if (code == 24) {
                    auto it = s.mechs.find({U32(p + 6 + 6 * i), U16(p + 6 + 6 * i + 4)});
                    Plc::Mech mc = it == s.mechs.end() ? Plc::Mech{} : it->second;
                    data.push_back(mc.running);
                    Put32(data, mc.index);
                } else {
                    auto it = s.lines.find(U32(p + 6 + 4 * i));
                    Plc::LineRegs lr = it == s.lines.end() ? Plc::LineRegs{} : it->second;
                    data.push_back(lr.rlo);
                    Put32(data, uint32_t(lr.dr));
                }
            }
            break;
        }
        case 25:
            if (n != 9 || U16(p) != 9)
                status = -1;
            else {
                auto& mc = s.mechs[{U32(p + 2), U16(p + 6)}];
                mc.running = p[8] ? 1 : 0;
                s.mechDirty = true;
            }
            break;
        case 26:
            data.push_back(s.rlo);
            Put32(data, uint32_t(s.dr));
            break;
        case 27:
            if (n != 5)
                status = -1;
            else {
                s.dr = int32_t(U32(p));
                s.rlo = p[4];
            }
            break;
        case 28: {
            if (n != 8) {
                status = -1;
                break;
            }
            const uint32_t addr = U32(p);
            const uint16_t area = U16(p + 4);
            if (area >= 16 || addr >= 65536) {
                status = -1;
                break;
            }
            uint8_t& b = s.memory[area][addr];
            b = uint8_t((b & ~p[7]) | (p[6] & p[7]));
            break;
        }
        default:
            status = int8_t(129);
        }
    }
    if (code == 0)
        data = StatusRecord();
    if (code == 1) {
        const PlcInfo i = sim->m_plc.info();
        data.assign(50, 0);
        data[0] = 50;
        std::copy(i.panel, i.panel + 4, data.begin() + 2);
        data[6] = uint8_t(i.cassetteVersion);
        data[7] = uint8_t(i.cassetteVersion >> 8);
        data[8] = uint8_t(i.cassetteType);
        data[9] = uint8_t(i.cassetteType >> 8);
        std::copy_n(i.comment.begin(), std::min<size_t>(i.comment.size(), 31), data.begin() + 10);
        const uint16_t c = sim->m_plc.plcChecksum();
        const uint32_t l = sim->m_plc.plcLength();
        data[42] = uint8_t(c);
        data[43] = uint8_t(c >> 8);
        for (int k = 0; k < 4; ++k)
            data[size_t(44 + k)] = uint8_t(l >> (8 * k));
        data[48] = uint8_t(i.compilerVersion);
        data[49] = uint8_t(i.compilerVersion >> 8);
    }
    if (code == 30) {
        const PlcInfoEx x = sim->m_plc.infoEx();
        if (x.answer)
            status = int8_t(x.answer);
        else {
            data.assign(92, 0);
            auto put32 = [&](size_t at, uint32_t v) {
                for (int k = 0; k < 4; ++k)
                    data[at + size_t(k)] = uint8_t(v >> (8 * k));
            };
            const uint16_t c = sim->m_plc.plcChecksum();
            data[2] = uint8_t(c);
            data[3] = uint8_t(c >> 8);
            put32(4, sim->m_plc.plcLength());
            put32(8, x.csVersion);
            put32(12, x.csMinor);
            put32(16, x.csRevision);
            put32(32, x.compVersion);
            put32(36, x.compMinor);
            put32(40, x.compRevision);
            put32(44, x.modified);
            put32(48, x.mixed);
            put32(56, x.plcRevision);
            put32(60, x.plcModified);
            put32(64, x.plcMixed);
            const std::pair<size_t, const std::string*> texts[] = {
                {52, &x.text}, {68, &x.plcText}, {72, &x.name}, {76, &x.comment},
                {80, &x.publisher}, {84, &x.web}, {88, &x.telephone}};
            for (const auto& [at, str] : texts) {
                put32(at, uint32_t(data.size()));
                data.insert(data.end(), str->begin(), str->end());
                data.push_back(0);
            }
            data[0] = uint8_t(data.size());
            data[1] = uint8_t(data.size() >> 8);
        }
    }
    if (scripted) {
        if (rs.status)
            status = *rs.status;
        if (rs.data)
            data = *rs.data;
        if (rs.cut)
            data.resize(data.size() > rs.cut ? data.size() - rs.cut : 0);
        data.insert(data.end(), rs.extra.begin(), rs.extra.end());
        if (rs.drop)
            return;
    }
    Bytes r = Header(1, 1, code, rs.wrongParameter ? param + 1 : param);
    r.push_back(uint8_t(status));
    r.insert(r.end(), data.begin(), data.end());
    auto send = [this, r, twice = rs.twice] {
        Send(r);
        if (twice)
            Send(r);
    };
    if (rs.delayMs)
        After(rs.delayMs, send);
    else
        send();
    (void)tooMany;
}

// ---- file requests ---------------------------------------------------------------------------

void Simulator::Impl::FileRequest(uint8_t code, uint32_t param, const uint8_t* p, size_t n)
{
    if (code > 8)
        return Reply2(code, param, 129);
    const bool jobCode = code == 3 || code == 4 || code == 6;
    size_t at = jobCode ? 5 : 0;
    if (jobCode && n < 6)
        return Reply2(code, param, 245);
    auto readStr = [&](std::string& out) {
        const uint8_t* z = static_cast<const uint8_t*>(std::memchr(p + at, 0, n > at ? n - at : 0));
        if (!z || n <= at)
            return false;
        out.assign(reinterpret_cast<const char*>(p + at), size_t(z - (p + at)));
        at = size_t(z - p) + 1;
        return true;
    };
    std::string a, b;
    const bool two = code == 0 || code == 8;
    const bool okA = readStr(a);
    const bool okB = two ? readStr(b) : true;
    if (!okA)
        return Reply2(code, param, two ? 252 : code == 6 ? 249 : 245);
    if (!okB)
        return Reply2(code, param, 249);
    FileScript fs;
    bool scripted = false;
    std::string scriptPattern;
    {
        std::lock_guard<std::mutex> g(m);
        for (const auto& f : fileScripts)
            if (f.op == code && (f.pattern.empty() || files::Match(f.pattern, a))) {
                fs = f.s;
                scripted = true;
                scriptPattern = f.pattern;
            }
    }
    auto work = [this, code, param, a, b, fs, scripted, scriptPattern, peer = jobCode ? p[0] : 0] {
        if (scripted && fs.status)
            return Reply2(code, param, *fs.status);
        std::optional<JobScript> js;
        {
            std::lock_guard<std::mutex> g(m);
            js = jobScript;
        }
        if (IsJobCode(code) && js && js->failStart)
            return Reply2(code, param, *js->failStart);
        switch (code) {
        case 0: return Reply2(code, param, server->Copy(a, b));
        case 1: return Reply2(code, param, server->MakeDir(a));
        case 2: return Reply2(code, param, server->Delete(a));
        case 5: {
            Bytes rec;
            const uint8_t st = server->Info(a, rec);
            if (st == 0 && scripted && fs.infoName && rec.size() >= 14)
                rec = files::RecordFor(U32(rec.data() + 2), U16(rec.data() + 6), U16(rec.data() + 8),
                                       U32(rec.data() + 10), fs.infoName->substr(0, 12), *fs.infoName);
            return Reply2(code, param, st, st == 0 ? rec : Bytes{});
        }
        case 7: return Reply2(code, param, server->RemoveDir(a));
        case 8: return Reply2(code, param, server->Move(a, b));
        case 3:
        case 4: {
            Bytes content;
            uint16_t t = 0, dt = 0;
            if (code == 3 && scripted && fs.listing && SameNoCase(a, scriptPattern)) {
                content = ScriptedListing(a, *fs.listing);
                Malform(content, fs.malformed);
            } else if (code == 3) {
                auto l = server->Listing(a);
                if (!l)
                    return Reply2(code, param, 245);
                content = std::move(*l);
                Malform(content, fs.malformed);
            } else {
                bool listed = false;
                {
                    std::lock_guard<std::mutex> g(m);
                    if (auto it = listedFiles.find(a); it != listedFiles.end()) {
                        content = it->second;
                        listed = true;
                    }
                }
                const uint8_t st = listed ? 0 : server->Read(a, content, t, dt);
                if (st)
                    return Reply2(code, param, st);
            }
            Job& j = NewJob(true);
            j.peer = peer;
            j.param = param;
            j.data = std::move(content);
            j.total = uint32_t(j.data.size());
            j.time = t;
            j.date = dt;
            j.blockDelayMs = fs.blockDelayMs;
            SendSize(j);
            return;
        }
        case 6: {
            std::string local;
            const uint8_t st = server->PrepareWrite(a, local);
            if (st)
                return Reply2(code, param, st);
            Job& j = NewJob(false);
            j.peer = peer;
            j.param = param;
            j.commit = [local](Job& job) {
                return files::Server::CommitWrite(local, job.data, job.time, job.date);
            };
            FirstAck(j);
            return;
        }
        }
    };
    if (fs.delayMs)
        After(fs.delayMs, work);
    else
        work();
}

bool SameNoCase(const std::string& x, const std::string& y)
{
    if (x.size() != y.size())
        return false;
    for (size_t i = 0; i < x.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(x[i])) != std::tolower(static_cast<unsigned char>(y[i])))
            return false;
    return true;
}

// The listing file of a scripted listing; remembers what reads of its
// entries get.
Bytes Simulator::Impl::ScriptedListing(const std::string& path, const std::vector<ListedEntry>& entries)
{
    const size_t cut = path.find_last_of('\\');
    const std::string folder = cut == std::string::npos ? std::string() : path.substr(0, cut);
    Bytes l(6, 0);
    auto add = [&](const Bytes& rec) { l.insert(l.end(), rec.begin(), rec.end()); };
    add(files::RecordFor(0x10, 0, 0, 0, ".", "."));
    add(files::RecordFor(0x10, 0, 0, 0, "..", ".."));
    std::lock_guard<std::mutex> g(m);
    for (const ListedEntry& e : entries) {
        add(files::RecordFor(e.folder ? 0x10 : 0, 0, 0, e.folder ? 0 : uint32_t(e.content.size()),
                             e.name.substr(0, 12), e.name));
        if (!e.folder)
            listedFiles[folder + "\\" + e.name.substr(0, e.name.find('\0'))] = e.content;
    }
    const uint32_t total = uint32_t(l.size());
    const uint16_t count = uint16_t(entries.size() + 2);
    for (int k = 0; k < 4; ++k)
        l[size_t(k)] = uint8_t(total >> (8 * k));
    l[4] = uint8_t(count);
    l[5] = uint8_t(count >> 8);
    return l;
}

void Malform(Bytes& l, Malformed m)
{
    switch (m) {
    case Malformed::None: break;
    case Malformed::HeaderSize: l[0] = uint8_t(l[0] + 1); break;
    case Malformed::ShortRecord:
        if (l.size() > 8) {
            l[6] = 20;
            l[7] = 0;
        }
        break;
    case Malformed::NameWithoutZero:
        if (l.size() > 6 && l.back() == 0) {
            l.back() = 'X';
        }
        break;
    case Malformed::DotNames: {
        const Bytes rec = files::RecordFor(0, 0, 0, 0, ".hidden", ".hidden");
        l.insert(l.end(), rec.begin(), rec.end());
        const uint32_t total = uint32_t(l.size());
        const uint16_t cnt = uint16_t(U16(l.data() + 4) + 1);
        for (int k = 0; k < 4; ++k)
            l[size_t(k)] = uint8_t(total >> (8 * k));
        l[4] = uint8_t(cnt);
        l[5] = uint8_t(cnt >> 8);
        break;
    }
    }
}

// ---- the loop ---------------------------------------------------------------------------------

void Simulator::Impl::Run()
{
    Bytes buf(1024);
    for (auto& t : nextPush)
        t = Clock::now();
    while (!stopFlag) {
        // Posted commands first, then one receive up to the next timer.
        std::deque<std::function<void()>> cmds;
        {
            std::lock_guard<std::mutex> g(m);
            cmds.swap(posted);
        }
        for (auto& c : cmds)
            c();
        uint32_t wait = 10;
        const auto now = Clock::now();
        for (const auto& t : timers)
            wait = std::min<uint32_t>(wait, t.due <= now ? 0 : uint32_t(std::chrono::duration_cast<milliseconds>(t.due - now).count()));
        for (auto& [id, j] : jobs)
            if (j->send && j->credits > 0 && j->sizeSent && !j->finalSent && !j->blockDelayMs)
                wait = 0;
        uint16_t len = 0;
        bool connectFrame = false;
        if (OlnkReceiveEx(sim->m_channel, &len, 1023, buf.data(), wait, &connectFrame)) {
            Dispatch(buf.data(), std::min<size_t>(len, 1023), connectFrame);
            // Drain what is already there before the timers.
            for (int k = 0; k < 16 && OlnkReceiveEx(sim->m_channel, &len, 1023, buf.data(), 0, &connectFrame); ++k)
                Dispatch(buf.data(), std::min<size_t>(len, 1023), connectFrame);
        }
        const auto t2 = Clock::now();
        std::vector<Timer> due;
        for (auto it = timers.begin(); it != timers.end();) {
            if (it->due <= t2) {
                due.push_back(std::move(*it));
                it = timers.erase(it);
            } else
                ++it;
        }
        for (auto& t : due)
            t.fn();
        RunProgram();
        RunPushes();
        JobTimers();
    }
}

// ---- Simulator ---------------------------------------------------------------------------------

Simulator::Simulator(Config config) : m_config(std::move(config))
{
    m_impl = std::make_unique<Impl>();
    m_impl->sim = this;
    m_impl->cfg = m_config;
    m_impl->server = std::make_unique<files::Server>(m_config.shares);
    m_client.m_sim = this;
    m_shim.m_impl = std::make_shared<Shim::Impl>();
    m_recorder.m_impl->enabled = m_config.recording;
}

Simulator::~Simulator() { stop(); }

bool Simulator::start()
{
    if (m_channel)
        return true;
    const Bytes connect = ConnectMessage();
    OlnkOpenOptions opt;
    opt.passive = !m_config.active;
    const std::span<const uint8_t> cd(connect.data(), m_config.active ? connect.size() : 0);
    std::string conn;
    if (m_config.udpLocalPort) {
        uint16_t peerPort = m_config.peerPort;
        if (m_config.shim) {
            auto& si = *m_shim.m_impl;
            si.relay = std::make_unique<linkshim::UdpFaultRelay>(m_config.peerPort,
                                                                    m_config.udpLocalPort,
                                                                    m_config.seed);
            if (!si.relay->Ok()) {
                m_error = OLNK_E_UNEXPECTED;
                return false;
            }
            si.ourPort = m_config.peerPort;
            Shim::Impl* raw = &si;
            si.relay->SetFilter([raw](int d, std::vector<uint8_t>& b, uint32_t& delay) {
                return raw->Filter(d, b, delay);
            });
            peerPort = si.relay->PortFacingB();
        }
        conn = "Type = UDP; RemoteIP = " + m_config.peerAddress +
               "; RemotePort = " + std::to_string(peerPort) +
               "; LocalPort = " + std::to_string(m_config.udpLocalPort) +
               "; W = " + std::to_string(m_config.window) + ";";
    } else {
        std::string dev = m_config.serialDevice;
        if (m_config.serialShim) {
            linkshim::PtyBridge::Options bo;
            bo.seed = m_config.seed;
            m_shim.m_impl->bridge = std::make_unique<linkshim::PtyBridge>(bo);
            dev = m_shim.m_impl->bridge->PathB();
        }
        conn = "P = " + dev + "; B = " + std::to_string(m_config.baud) +
               "; W = " + std::to_string(m_config.window) + ";";
    }
    m_channel = OlnkOpenChannelA(conn.c_str(), cd, opt);
    if (!m_channel) {
        m_error = sys::GetLastError();
        return false;
    }
    if (m_config.active)
        m_recorder.add(1, connect.data(), connect.size());
    m_impl->start = Clock::now();
    m_recorder.setStart(m_impl->start);
    m_impl->loop = std::thread([this] { m_impl->Run(); });
    return true;
}

void Simulator::stop()
{
    if (!m_channel)
        return;
    m_impl->stopFlag = true;
    if (m_impl->loop.joinable())
        m_impl->loop.join();
    OlnkCloseChannel(m_channel);
    m_channel = nullptr;
    if (m_shim.m_impl->relay)
        m_shim.m_impl->relay->Stop();
    if (m_shim.m_impl->bridge)
        m_shim.m_impl->bridge->Stop();
}

uint16_t Simulator::publicPort() const
{
    if (m_shim.m_impl->relay)
        return m_shim.m_impl->relay->PortFacingA();
    return m_config.udpLocalPort;
}

std::string Simulator::serialPeerDevice() const
{
    return m_shim.m_impl->bridge ? m_shim.m_impl->bridge->PathA() : std::string();
}

void Simulator::scriptRequest(uint8_t code, const RequestScript& s)
{
    std::lock_guard<std::mutex> g(m_impl->m);
    m_impl->reqScripts[code] = s;
}
void Simulator::clearRequestScript(uint8_t code)
{
    std::lock_guard<std::mutex> g(m_impl->m);
    m_impl->reqScripts.erase(code);
}
void Simulator::scriptFile(uint8_t op, const std::string& pathPattern, const FileScript& s)
{
    std::lock_guard<std::mutex> g(m_impl->m);
    m_impl->fileScripts.push_back({op, pathPattern, s});
}
void Simulator::clearFileScripts()
{
    std::lock_guard<std::mutex> g(m_impl->m);
    m_impl->fileScripts.clear();
    m_impl->listedFiles.clear();
}
void Simulator::scriptJobs(const JobScript& s)
{
    std::lock_guard<std::mutex> g(m_impl->m);
    m_impl->jobScript = s;
}
void Simulator::clearJobScript()
{
    std::lock_guard<std::mutex> g(m_impl->m);
    m_impl->jobScript.reset();
}
void Simulator::resetNow()
{
    m_impl->Post([this] { m_impl->DoReset(); });
}
void Simulator::linkEvent(uint8_t code)
{
    m_impl->Post([this, code] { m_impl->Send(Header(0, 3, code, 0)); });
}
void Simulator::push(uint8_t kind, uint32_t parameter, const Bytes& data)
{
    m_impl->Post([this, kind, parameter, data] {
        Bytes b = Header(1, 2, kind, parameter);
        b.insert(b.end(), data.begin(), data.end());
        m_impl->Send(b);
    });
}
void Simulator::pushType3(uint8_t code, uint32_t parameter, const Bytes& data)
{
    m_impl->Post([this, code, parameter, data] {
        Bytes b = Header(1, 3, code, parameter);
        b.insert(b.end(), data.begin(), data.end());
        m_impl->Send(b);
    });
}
void Simulator::sendRaw(const Bytes& message)
{
    m_impl->Post([this, message] { m_impl->Send(message); });
}
void Simulator::silence(bool on) { m_impl->silenced = on; }
OlnkStatistics Simulator::statistics() const
{
    OlnkStatistics s{};
    s.size = sizeof s;
    OlnkGetStatistics(m_channel, &s);
    return s;
}
int Simulator::linkState() const { return OlnkGetLinkState(m_channel); }
uint64_t Simulator::connectsReceived() const { return m_impl->connects; }
uint64_t Simulator::connectRepliesReceived() const { return m_impl->connectReplies; }

// ---- Client ------------------------------------------------------------------------------------

namespace {
Bytes PathRequest(uint8_t code, uint32_t param, const std::string& a, const std::string* b = nullptr,
                  int job = -1)
{
    Bytes r = Header(2, 0, code, param);
    if (job >= 0) {
        r.push_back(uint8_t(job));
        Put32(r, 0);
    }
    r.insert(r.end(), a.begin(), a.end());
    r.push_back(0);
    if (b) {
        r.insert(r.end(), b->begin(), b->end());
        r.push_back(0);
    }
    return r;
}
} // namespace

#define SIMPLE(fn, code)                                                                       \
    ClientResult Client::fn(const std::string& path)                                           \
    {                                                                                          \
        auto* I = m_sim->m_impl.get();                                                         \
        return I->ClientCall([I, path](uint32_t p) { I->Send(PathRequest(code, p, path)); }); \
    }
SIMPLE(info, 5)
SIMPLE(del, 2)
SIMPLE(mkdir, 1)
SIMPLE(rmdir, 7)
#undef SIMPLE

ClientResult Client::copy(const std::string& from, const std::string& to)
{
    auto* I = m_sim->m_impl.get();
    return I->ClientCall([I, from, to](uint32_t p) { I->Send(PathRequest(0, p, from, &to)); });
}
ClientResult Client::move(const std::string& from, const std::string& to)
{
    auto* I = m_sim->m_impl.get();
    return I->ClientCall([I, from, to](uint32_t p) { I->Send(PathRequest(8, p, from, &to)); });
}

static ClientResult ReceiveJob(Simulator::Impl* I, uint8_t code, const std::string& path)
{
    return I->ClientCall([I, code, path](uint32_t p) {
        Job& j = I->NewJob(false);
        j.requester = true;
        j.param = p;
        j.done = [I](uint8_t st, Job& job) { I->ClientDone(job.param, st, job.data); };
        I->Send(PathRequest(code, p, path, nullptr, j.id));
    });
}
ClientResult Client::list(const std::string& path) { return ReceiveJob(m_sim->m_impl.get(), 3, path); }
ClientResult Client::get(const std::string& path) { return ReceiveJob(m_sim->m_impl.get(), 4, path); }
ClientResult Client::put(const std::string& path, const Bytes& content, uint16_t dosTime,
                         uint16_t dosDate)
{
    auto* I = m_sim->m_impl.get();
    return I->ClientCall([I, path, content, dosTime, dosDate](uint32_t p) {
        Job& j = I->NewJob(true);
        j.requester = true;
        j.param = p;
        j.data = content;
        j.total = uint32_t(content.size());
        j.time = dosTime;
        j.date = dosDate;
        j.done = [I](uint8_t st, Job& job) { I->ClientDone(job.param, st, {}); };
        I->Send(PathRequest(6, p, path, nullptr, j.id));
    });
}
std::optional<Bytes> Client::request(const Bytes& message)
{
    auto* I = m_sim->m_impl.get();
    std::promise<Bytes> pr;
    auto fut = pr.get_future();
    {
        std::lock_guard<std::mutex> g(I->cm);
        I->rawWaits.push_back({message, &pr});
    }
    I->Post([I, message] { I->Send(message); });
    if (fut.wait_for(milliseconds(I->cfg.clientTimeoutMs)) == std::future_status::ready)
        return fut.get();
    std::lock_guard<std::mutex> g(I->cm);
    for (auto it = I->rawWaits.begin(); it != I->rawWaits.end(); ++it)
        if (it->second == &pr) {
            I->rawWaits.erase(it);
            break;
        }
    return std::nullopt;
}
void Client::linkEvent(uint8_t code) { m_sim->linkEvent(code); }

} // namespace cssim
