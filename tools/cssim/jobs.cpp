// The simulator's job engine: send and receive jobs, their blocks,
// acknowledgements, credits and time-outs.
#include "tools/cssim/engine.h"

namespace cssim {

uint8_t Simulator::Impl::NewId(bool send)
{
    for (int i = 0; i < 128; ++i) {
        uint8_t id = send ? uint8_t(nextSend++ & 0x7F) : uint8_t(128 | (nextRecv++ & 0x7F));
        if (!jobs.count(id))
            return id;
    }
    return send ? 0 : 128;
}

Job& Simulator::Impl::NewJob(bool send)
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

void Simulator::Impl::EndJob(Job& j, uint8_t status)
{
    if (j.ended)
        return;
    j.ended = true;
    if (j.done)
        j.done(status, j);
}

void Simulator::Impl::SendAck(Job& j, int8_t value)
{
    Bytes a{0, 5, 0, uint8_t(j.peer), uint8_t(value)};
    Put32(a, j.ackNo++);
    a.push_back(j.id);
    a.push_back(0);
    Send(a);
}

void Simulator::Impl::SendSize(Job& j)
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

void Simulator::Impl::SendFinal(Job& j, uint8_t status)
{
    Bytes f{0, 4, 0, uint8_t(j.peer), status};
    Put32(f, j.blocks);
    Put16(f, 0);
    Send(f);
    j.finalSent = true;
}

void Simulator::Impl::BlockDone(Job& j)
{
    ++j.blocks;
    if (j.script.resetAfter >= 0 && j.blocks == uint32_t(j.script.resetAfter))
        DoReset();
}

void Simulator::Impl::PumpSendJob(Job& j)
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

void Simulator::Impl::OnAck(const uint8_t* d, size_t n)
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

void Simulator::Impl::OnData(const uint8_t* d, size_t n)
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

void Simulator::Impl::FirstAck(Job& j)
{
    j.firstAck = true;
    if (j.script.creditsStopAfter == 0)
        return;
    j.granted = 20;
    SendAck(j, 20);
}

void Simulator::Impl::EndAllJobs(uint8_t status)
{
    for (auto& [id, j] : jobs)
        EndJob(*j, status);
}

void Simulator::Impl::JobTimers()
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

} // namespace cssim
