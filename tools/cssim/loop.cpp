// The simulator's loop: connect handling, class dispatch, the fake PLC's
// pushes and run mode, and the loop thread itself.
#include "tools/cssim/engine.h"

namespace cssim {

Bytes ConnectMessage() { return {0, 0, 0, 0, 0, 0, 0, 4, 0, 1, 0}; }
Bytes ConnectReply(uint32_t parameter, uint8_t status)
{
    Bytes b = Header(0, 1, 0, parameter);
    b.push_back(status);
    Put16(b, 4);
    Put16(b, 1);
    return b;
}

void Simulator::Impl::DoReset()
{
    EndAllJobs(133);
    const Bytes c = ConnectMessage();
    sim->m_recorder.add(1, c.data(), c.size());
    OlnkConnect(sim->m_channel, uint16_t(c.size()), c.data());
}

void Simulator::Impl::TakeOwnReset()
{
    if (!OlnkTakeSelfReset(sim->m_channel))
        return;
    EndAllJobs(133);
    const Bytes c = ConnectMessage();
    sim->m_recorder.add(1, c.data(), c.size());
}

void Simulator::Impl::AnswerReset(uint32_t param)
{
    EndAllJobs(133);
    const Bytes r = ConnectReply(param, 0);
    sim->m_recorder.add(1, r.data(), r.size());
    OlnkConnect(sim->m_channel, uint16_t(r.size()), r.data());
}

void Simulator::Impl::Dispatch(const uint8_t* d, size_t n, bool connectFrame)
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
        if (!isReply)
            malformed();
        // A connect frame that reset the channel but carries no connect
        // message (a late copy of the program's connect reply): met with
        // this side's own reset, its connect message in frame 1, as the
        // program does.  Answered with a reply, a peer that keeps the rules
        // stayed reset by its peer for good.
        if (OlnkGetLinkState(sim->m_channel) == OLNK_STATE_RESET_BY_PEER &&
            OlnkRestart(sim->m_channel)) {
            EndAllJobs(133);
            const Bytes c = ConnectMessage();
            sim->m_recorder.add(1, c.data(), c.size());
        }
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

void Simulator::Impl::PushStatus()
{
    Bytes b = Header(1, 2, 0, 0);
    auto rec = StatusRecord();
    b.insert(b.end(), rec.begin(), rec.end());
    Send(b);
}

Bytes Simulator::Impl::StatusRecord()
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

void Simulator::Impl::RunProgram()
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

void Simulator::Impl::RunPushes()
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
        TakeOwnReset();
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
            TakeOwnReset();
            Dispatch(buf.data(), std::min<size_t>(len, 1023), connectFrame);
            // Drain what is already there before the timers.
            for (int k = 0; k < 16 && OlnkReceiveEx(sim->m_channel, &len, 1023, buf.data(), 0, &connectFrame); ++k) {
                TakeOwnReset();
                Dispatch(buf.data(), std::min<size_t>(len, 1023), connectFrame);
            }
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

} // namespace cssim
