// Transfer jobs: one thread per job, credit-based flow control, the
// sources and sinks of files, listings and memory images.

#include "link/oxfr/oxfr_internal.h"

#include "platform/sys/AtomicFile.h"
#include "platform/sys/LastError.h"
#include "platform/sys/LocalFiles.h"
#include "platform/sys/Time.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace oxfr {

namespace {

// ---- Sources and sinks -------------------------------------------------------------

class FileSource : public JobIo
{
public:
    FileSource(int fd, std::string path, bool del) : m_fd(fd), m_path(std::move(path)), m_del(del) {}
    ~FileSource() override { Discard(); }
    void Describe(uint32_t& total, uint16_t& date, uint16_t& time) override
    {
        struct stat st;
        total = 0;
        date = time = 0;
        if (::fstat(m_fd, &st) == 0) {
            total = uint32_t(st.st_size);
            DosStamp(st.st_mtime, date, time);
        }
    }
    int Read(uint8_t* buf, size_t max) override
    {
        if (max > 512)
            max -= max % 512;
        size_t got = 0;
        while (got < max) {
            const ssize_t n = ::read(m_fd, buf + got, max - got);
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                return -1;
            }
            if (n == 0)
                break;
            got += size_t(n);
        }
        return int(got);
    }
    void Discard() override
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
        if (m_del && !m_path.empty())
            ::unlink(m_path.c_str());
        m_path.clear();
    }

private:
    int m_fd;
    std::string m_path;
    bool m_del;
};

class MemorySource : public JobIo
{
public:
    MemorySource(const uint8_t* d, uint32_t n) : m_data(d, d + n) {}
    void Describe(uint32_t& total, uint16_t& date, uint16_t& time) override
    {
        total = uint32_t(m_data.size());
        date = time = 0;
    }
    int Read(uint8_t* buf, size_t max) override
    {
        const size_t n = std::min(max, m_data.size() - m_pos);
        std::memcpy(buf, m_data.data() + m_pos, n);
        m_pos += n;
        return int(n);
    }

private:
    Bytes m_data;
    size_t m_pos = 0;
};

bool WriteAll(int fd, const uint8_t* p, size_t n)
{
    while (n) {
        const ssize_t k = ::write(fd, p, n);
        if (k < 0 && errno == EINTR)
            continue;
        if (k <= 0)
            return false;
        p += k;
        n -= size_t(k);
    }
    return true;
}

// A received file, put in place of its target only when complete.
class FileSink : public JobIo
{
public:
    sys::AtomicFile file;
    ~FileSink() override { Discard(); }
    bool Write(const uint8_t* p, size_t n) override { return file.IsOpen() && file.Write(p, n); }
    bool Commit(uint16_t date, uint16_t time) override
    {
        if (!file.IsOpen())
            return false;
        sys::FileTime ft;
        if (date != 0 && sys::DosDateTimeToFileTime(date, time, ft))
            file.SetWriteTime(sys::FileTimeToUnix(ft));
        return file.Commit();
    }
    void Discard() override { file.Discard(); }
};

class ListingSink : public JobIo
{
public:
    ListingSink(int fd, std::string path) : m_fd(fd), m_path(std::move(path)) {}
    ~ListingSink() override { Discard(); }
    bool Write(const uint8_t* p, size_t n) override { return m_fd >= 0 && WriteAll(m_fd, p, n); }
    bool Commit(uint16_t, uint16_t) override
    {
        const bool ok = m_fd >= 0 && ::close(m_fd) == 0;
        m_fd = -1;
        if (ok)
            m_kept = true;
        else
            Discard();
        return ok;
    }
    void Discard() override
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
        if (!m_kept && !m_path.empty())
            ::unlink(m_path.c_str());
        if (!m_kept)
            m_path.clear();
    }
    std::string ResultData() const override { return m_path; }

private:
    int m_fd;
    std::string m_path;
    bool m_kept = false;
};

} // namespace

std::unique_ptr<JobIo> OpenFileSource(const std::string& native, bool deleteAtEnd, uint32_t& err)
{
    // Only regular files are read: the open never waits (a FIFO without a
    // writer would block the caller's thread) and the type is checked
    // before the first read, so a device or a FIFO is never read.
    uint64_t size = 0;
    const int fd = sys::OpenRegularForReading(native, size);
    if (fd < 0) {
        err = sys::GetLastError();
        return nullptr;
    }
    if (size >= (1ULL << 32)) {
        err = EFBIG;
        ::close(fd);
        return nullptr;
    }
    return std::make_unique<FileSource>(fd, native, deleteAtEnd);
}

std::unique_ptr<JobIo> OpenMemorySource(const uint8_t* data, uint32_t size)
{
    return std::make_unique<MemorySource>(data, size);
}

std::unique_ptr<JobIo> OpenFileSink(const std::string& target, uint32_t& err)
{
    auto sink = std::make_unique<FileSink>();
    if (!sink->file.Open(target)) {
        err = sys::GetLastError();
        return nullptr;
    }
    return sink;
}

std::unique_ptr<JobIo> OpenFileSinkAt(int folder, const std::string& name, uint32_t& err)
{
    auto sink = std::make_unique<FileSink>();
    if (!sink->file.OpenAt(folder, name)) {
        err = sys::GetLastError();
        return nullptr;
    }
    return sink;
}

std::unique_ptr<JobIo> OpenListingSink(uint32_t& err)
{
    std::string path = TempFolder() + "/KX2XXXXXX";
    const int fd = ::mkostemp(path.data(), O_CLOEXEC);
    if (fd < 0) {
        err = uint32_t(errno);
        return nullptr;
    }
    return std::make_unique<ListingSink>(fd, path);
}

// ---- Job table ------------------------------------------------------------------------

// A job that the peer asked for and then never spoke to (garbage that looked
// like a request, or a peer that went away) holds its id only until the
// table is full: after a second it gives way to a new job.
constexpr auto kSilentJobGrace = std::chrono::seconds(1);

Job* NewJobLocked(OxfrSessionImpl* s, bool send)
{
    if (s->closing)
        return nullptr;
    const int base = send ? 0 : 128;
    uint8_t& last = send ? s->lastSend : s->lastRecv;
    int id = -1;
    for (int i = 1; i <= 128 && id < 0; ++i) {
        const int k = base + (last - base + i) % 128;
        if (!s->slots[k])
            id = k;
    }
    if (id < 0) {
        Job* oldest = nullptr;
        const auto now = std::chrono::steady_clock::now();
        for (int k = base; k < base + 128; ++k) {
            Job* j = s->slots[k];
            if (!j->requester && !j->peerSpoke && now - j->started >= kSilentJobGrace &&
                (!oldest || j->started < oldest->started))
                oldest = j;
        }
        if (!oldest)
            return nullptr;
        EndJobLocked(s, oldest, OXFR_CONNECTION_ERROR);
        s->slots[oldest->id] = nullptr; // its thread ends on its own
        ++s->evicted;
        id = oldest->id;
    }
    auto job = std::make_unique<Job>();
    job->send = send;
    job->id = uint8_t(id);
    const uint32_t gen = ++s->generation[id] & 0xFFFFFF;
    job->handle = (gen << 8) | uint32_t(id);
    last = uint8_t(id);
    s->slots[id] = job.get();
    s->jobs.push_back(std::move(job));
    return s->jobs.back().get();
}

void DropJob(OxfrSessionImpl* s, Job* job)
{
    std::unique_ptr<JobIo> io;
    {
        std::lock_guard<std::mutex> g(s->m);
        if (s->slots[job->id] == job)
            s->slots[job->id] = nullptr;
        io = std::move(job->io);
        job->over = true;
        job->finished = true;
    }
    if (io)
        io->Discard();
}

void EndJobLocked(OxfrSessionImpl*, Job* job, uint8_t status)
{
    if (job->over || job->ended || job->peerFinal)
        return;
    job->ended = status;
    job->cv.notify_all();
}

void EndAllJobsLocked(OxfrSessionImpl* s, uint8_t status)
{
    for (Job* j : s->slots)
        if (j)
            EndJobLocked(s, j, status);
}

void ReapJobs(OxfrSessionImpl* s, bool all)
{
    std::list<std::unique_ptr<Job>> done;
    {
        std::lock_guard<std::mutex> g(s->m);
        for (auto it = s->jobs.begin(); it != s->jobs.end();) {
            if (((*it)->finished || all) && (*it)->waiters == 0 && (*it)->over) {
                done.push_back(std::move(*it));
                it = s->jobs.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (auto& j : done)
        if (j->thread.joinable())
            j->thread.join();
}

// ---- Messages to jobs (session thread) --------------------------------------------------

// Every field is checked against the job it names before it is used; a
// message that fails is dropped and counted and leaves the job as it was.
// Only the protocol's own verdicts end a job from here: a final message or
// acknowledgement, and the next block beyond the credit granted.
void DispatchJobMessage(OxfrSessionImpl* s, const uint8_t* m, size_t n)
{
    if (n < 11) {
        CountError(s, s->malformed);
        return;
    }
    std::lock_guard<std::mutex> g(s->m);
    Job* job = s->slots[m[3]];
    const bool wantSend = m[1] == 5;
    if (!job || job->send != wantSend || job->over) {
        CountError(s, s->unknownJob);
        return;
    }
    auto reject = [&] { CountError(s, s->malformed); };
    if (m[1] == 5) { // acknowledgement: 0, 5, 0, sender, value, u32 number, receiver, 0
        const int8_t value = int8_t(m[4]);
        const uint8_t from = m[9];
        if (n != 11 || m[2] != 0 || from < 128 || (job->peer >= 0 && from != job->peer) ||
            U32(m + 5) != job->acksTaken || job->peerFinal)
            return reject();
        if (value > 0 && job->credits + value > int(kRingBlocks))
            return reject(); // more than the receiver's ring holds
        ++job->acksTaken;
        job->peerSpoke = true;
        if (!job->heard) {
            job->heard = true;
            job->peer = from;
        }
        if (value > 0)
            job->credits += value;
        else
            job->peerFinal = uint8_t(value);
        job->cv.notify_all();
        return;
    }
    const uint16_t len = U16(m + 9);
    if (size_t(len) + 11 != n)
        return reject(); // the length disagrees with what arrived
    if (m[2] == 1) { // size message: ..., u16 length, sender, 0, u32 total, time, date
        const uint8_t from = n > 11 ? m[11] : 0xFF;
        if (len < 6 || m[4] != 0 || U32(m + 5) != 0 || from >= 128 ||
            (job->peer >= 0 && from != job->peer) || job->sizeSeen || job->arrived || job->peerFinal)
            return reject();
        job->heard = true;
        job->peerSpoke = true;
        job->peer = from;
        job->sizeSeen = true;
        job->total = U32(m + 13);
        if (len >= 10) {
            job->dosTime = U16(m + 17);
            job->dosDate = U16(m + 19);
        }
        job->cv.notify_all();
        return;
    }
    if (m[2] != 0 || job->peerFinal || (job->requester && !job->sizeSeen))
        return reject();
    const uint32_t block = U32(m + 5);
    if (len == 0) { // final message: status, u32 blocks sent
        if (m[4] == 0 && block != job->arrived)
            return reject(); // a success that names blocks that never came
        job->peerFinal = m[4];
        job->peerFinalBlocks = block;
        job->peerSpoke = true;
        job->cv.notify_all();
        return;
    }
    if (m[4] != 0 || len > kMaxBlockData || block != job->arrived ||
        (job->sizeSeen && job->arrivedBytes + len > job->total))
        return reject();
    if (job->arrived >= job->granted) {
        EndJobLocked(s, job, OXFR_STREAM_ERROR); // beyond the credit granted
        return;
    }
    ++job->arrived;
    job->arrivedBytes += len;
    job->peerSpoke = true;
    job->ring.emplace_back(m, m + n);
    job->cv.notify_all();
}

void FailRequesterJob(OxfrSessionImpl* s, bool plc, uint8_t code, uint32_t param, uint8_t status)
{
    std::lock_guard<std::mutex> g(s->m);
    for (Job* j : s->slots) {
        if (!j || !j->requester || j->heard || j->over || j->ended || j->code != code ||
            j->param != param)
            continue;
        if (plc != (j->deliver == Deliver::Reply))
            continue;
        EndJobLocked(s, j, status);
        return;
    }
    ++s->ignored;
}

// ---- Job threads ----------------------------------------------------------------------------

namespace {

using Clock = std::chrono::steady_clock;

struct Runner
{
    OxfrSessionImpl* s;
    Job* j;

    // Waits (mutex held through lk) until pred, the job's end or the peer's
    // final word; false on the job time-out.
    template <class Pred> bool Wait(std::unique_lock<std::mutex>& lk, Pred pred)
    {
        const auto deadline = Clock::now() + std::chrono::milliseconds(s->jobTimeoutMs.load());
        return j->cv.wait_until(lk, deadline, [&] { return pred() || j->ended || j->peerFinal; });
    }

    uint32_t Send(const Bytes& msg)
    {
        const auto deadline = Clock::now() + std::chrono::milliseconds(s->jobTimeoutMs.load());
        for (;;) {
            if (OlnkSend(s->ch, uint16_t(msg.size()), msg.data(), 1, 100) >= 0)
                return 0;
            const uint32_t e = sys::GetLastError();
            if (e != OLNK_E_TIMEOUT)
                return e;
            {
                std::lock_guard<std::mutex> g(s->m);
                if (j->ended && *j->ended != OXFR_CLOSED)
                    return OLNK_E_TIMEOUT;
            }
            if (Clock::now() >= deadline || s->closing)
                return OLNK_E_TIMEOUT;
        }
    }

    static uint8_t SendFailure(uint32_t e)
    {
        if (e == OLNK_E_RESET)
            return OXFR_RESET;
        if (e == OLNK_E_HANDLE)
            return OXFR_CLOSED;
        return OXFR_CONNECTION_ERROR;
    }

    // True when the job may go on (the callback said 0 and nobody ended it).
    // For a receive job the sender's final message is no reason to stop.
    bool Stopped() const { return j->ended || (j->send && j->peerFinal); }
    bool Progress(uint32_t done, uint32_t total)
    {
        {
            std::unique_lock<std::mutex> lk(s->m);
            if (Stopped() || !j->progress)
                return !Stopped();
            j->inProgress = true;
        }
        const int r = j->progress(j->handle, j->context, done, total);
        std::lock_guard<std::mutex> g(s->m);
        j->inProgress = false;
        j->cv.notify_all();
        if (r != 0 && !Stopped())
            j->ended = OXFR_CANCELLED;
        return !Stopped();
    }

    int Peer()
    {
        std::lock_guard<std::mutex> g(s->m);
        return j->peer;
    }

    uint8_t RunSend()
    {
        uint32_t total;
        uint16_t date, time;
        j->io->Describe(total, date, time);
        std::unique_lock<std::mutex> lk(s->m);
        if (j->requester && !Wait(lk, [&] { return j->heard; }))
            j->ended = OXFR_CONNECTION_ERROR;
        if (j->peerFinal)
            return FromPeer();
        if (j->ended)
            return FailSend(lk, *j->ended);
        const uint8_t peer = uint8_t(j->peer);
        lk.unlock();
        if (const uint32_t e = Send(SizeMessage(peer, j->id, total, time, date)); e) {
            lk.lock();
            return FailSend(lk, j->ended.value_or(SendFailure(e)));
        }
        uint32_t block = 0, done = 0;
        Bytes msg(11 + kMaxBlockData);
        for (;;) {
            lk.lock();
            if (!Wait(lk, [&] { return j->credits > 0; }))
                j->ended = OXFR_CONNECTION_ERROR;
            if (j->peerFinal)
                return FromPeer();
            if (j->ended)
                return FailSend(lk, *j->ended);
            --j->credits;
            lk.unlock();
            const int n = j->io->Read(msg.data() + 11, kMaxBlockData);
            if (n < 0) {
                lk.lock();
                return FailSend(lk, OXFR_STREAM_ERROR);
            }
            if (n == 0)
                break;
            const Bytes data = DataMessage(peer, 0, block, msg.data() + 11, size_t(n));
            if (const uint32_t e = Send(data); e) {
                lk.lock();
                return FailSend(lk, j->ended.value_or(SendFailure(e)));
            }
            ++block;
            done += uint32_t(n);
            if (!Progress(done, total)) {
                lk.lock();
                if (j->peerFinal)
                    return FromPeer();
                return FailSend(lk, *j->ended);
            }
        }
        if (const uint32_t e = Send(DataMessage(peer, 0, block, nullptr, 0)); e) {
            lk.lock();
            return FailSend(lk, j->ended.value_or(SendFailure(e)));
        }
        lk.lock();
        if (!Wait(lk, [] { return false; }) && !j->ended)
            return OXFR_CONNECTION_ERROR;
        if (j->peerFinal)
            return *j->peerFinal;
        return *j->ended;
    }

    // The receiver ended the job (before the sender's final message).
    uint8_t FromPeer()
    {
        const uint8_t v = *j->peerFinal;
        return v == 0 ? OXFR_STREAM_ERROR : v;
    }

    // This side ends a send job: the final message with the status.
    uint8_t FailSend(std::unique_lock<std::mutex>& lk, uint8_t status)
    {
        const int peer = j->peer;
        lk.unlock();
        if (peer >= 0 && status != OXFR_RESET) {
            const Bytes fin = DataMessage(uint8_t(peer), status, 0, nullptr, 0);
            // The job fails with its status whether or not the peer hears
            // of it; a peer that does not ends its side by its time-out.
            (void)OlnkSend(s->ch, uint16_t(fin.size()), fin.data(), 1, status == OXFR_CLOSED ? 200 : 1000);
        }
        lk.lock();
        return status;
    }

    uint8_t RunReceive()
    {
        std::unique_lock<std::mutex> lk(s->m);
        uint32_t ackNo = 0;
        if (j->requester && !Wait(lk, [&] { return j->sizeSeen; }))
            j->ended = OXFR_CONNECTION_ERROR;
        if (j->ended)
            return FailReceive(lk, *j->ended, ackNo);
        if (j->peerFinal)
            return PeerEnded(lk, ackNo, 0);
        j->granted = kRingBlocks;
        uint8_t peer = uint8_t(j->peer);
        lk.unlock();
        if (const uint32_t e = SendAck(peer, int8_t(kRingBlocks), ackNo++); e) {
            lk.lock();
            return FailReceive(lk, j->ended.value_or(Runner::SendFailure(e)), ackNo);
        }
        uint32_t expected = 0, done = 0;
        for (;;) {
            lk.lock();
            if (!Wait(lk, [&] { return !j->ring.empty(); }))
                j->ended = OXFR_CONNECTION_ERROR;
            if (j->ended)
                return FailReceive(lk, *j->ended, ackNo);
            if (j->ring.empty())
                return PeerEnded(lk, ackNo, expected);
            Bytes msg = std::move(j->ring.front());
            j->ring.pop_front();
            peer = uint8_t(j->peer);
            const uint32_t total = j->total;
            lk.unlock();
            if (U32(msg.data() + 5) != expected) {
                lk.lock();
                return FailReceive(lk, OXFR_STREAM_ERROR, ackNo);
            }
            if (!j->io->Write(msg.data() + 11, msg.size() - 11)) {
                lk.lock();
                return FailReceive(lk, j->ioFailure, ackNo);
            }
            ++expected;
            done += uint32_t(msg.size() - 11);
            if (!Progress(done, total)) {
                lk.lock();
                return FailReceive(lk, *j->ended, ackNo);
            }
            lk.lock();
            ++j->granted;
            lk.unlock();
            if (const uint32_t e = SendAck(peer, 1, ackNo++); e) {
                lk.lock();
                return FailReceive(lk, j->ended.value_or(Runner::SendFailure(e)), ackNo);
            }
        }
    }

    uint32_t SendAck(uint8_t peer, int8_t value, uint32_t number)
    {
        return Send(AckMessage(peer, value, number, j->id));
    }

    // The sender's final message arrived and the ring is empty.
    uint8_t PeerEnded(std::unique_lock<std::mutex>& lk, uint32_t ackNo, uint32_t written)
    {
        const uint8_t st = *j->peerFinal;
        const uint32_t blocks = j->peerFinalBlocks;
        const uint16_t date = j->dosDate, time = j->dosTime;
        const int peer = j->peer;
        lk.unlock();
        uint8_t result = st;
        if (st == 0 && blocks != written)
            result = OXFR_STREAM_ERROR;
        if (result == 0) {
            if (!j->io->Commit(date, time))
                result = j->ioFailure;
        } else {
            j->io->Discard();
        }
        if (peer >= 0)
            SendAck(uint8_t(peer), int8_t(result), ackNo);
        lk.lock();
        return result;
    }

    uint8_t FailReceive(std::unique_lock<std::mutex>& lk, uint8_t status, uint32_t ackNo)
    {
        const int peer = j->peer;
        lk.unlock();
        j->io->Discard();
        if (peer >= 0 && status != OXFR_RESET) {
            const Bytes ack = AckMessage(uint8_t(peer), int8_t(status), ackNo, j->id);
            // As in FailSend: the status stands whether or not it arrives.
            (void)OlnkSend(s->ch, uint16_t(ack.size()), ack.data(), 1, status == OXFR_CLOSED ? 200 : 1000);
        }
        lk.lock();
        return status;
    }

    void Run()
    {
        uint8_t status = j->send ? RunSend() : RunReceive();
        // The end: free the slot, then deliver the result outside the lock.
        OxfrTransferCallback tr = nullptr;
        OxfrReplyCallback rep = nullptr;
        {
            std::unique_lock<std::mutex> lk(s->m);
            if (j->send || status != 0)
                lk.unlock(), j->io->Discard(), lk.lock();
            j->over = true;
            if (s->slots[j->id] == j)
                s->slots[j->id] = nullptr;
            tr = s->tcb.result;
            rep = s->lcb.reply;
            j->cv.notify_all();
        }
        std::string data;
        if (status == 0)
            data = j->io->ResultData();
        if (j->deliver == Deliver::Transfer && tr) {
            if (!data.empty())
                tr(s->user, j->code, int8_t(status), j->param,
                   reinterpret_cast<const uint8_t*>(data.c_str()), data.size() + 1);
            else
                tr(s->user, j->code, int8_t(status), j->param, nullptr, 0);
        } else if (j->deliver == Deliver::Reply && rep) {
            rep(s->user, 2, int8_t(status), j->param, nullptr, 0);
        }
        j->io.reset();
        j->finished = true;
    }
};

} // namespace

void StartJob(OxfrSessionImpl* s, Job* job)
{
    std::lock_guard<std::mutex> g(s->m);
    job->thread = std::thread([s, job] {
        {
            std::lock_guard<std::mutex> g2(s->m);
            job->threadId = std::this_thread::get_id();
        }
        Runner{s, job}.Run();
    });
}

} // namespace oxfr
