#pragma once
// Helpers of the session tests: channels joined over a stream socket pair
// by real I/O threads (optionally dropping whole frames, seeded), sessions
// on them, a raw peer made only of a channel, and waiting helpers.

#include "link/olnk/olnk_transport.h"
#include "link/oxfr/oxfr.h"
#include "link/oxfr/oxfr_messages.h"
#include "platform/sys/LastError.h"
#include "tests/support/link/LinkTestText.h"
#include "tests/support/link/MessageQueue.h"
#include "tests/support/platform/Wait.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <functional>
#include <mutex>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace oxfrtest {

using Bytes = std::vector<uint8_t>;
using testsupport::HexText;

struct LoopOptions
{
    bool passive = false;
    double drop = 0;    // probability of dropping a frame written by this side
    uint64_t seed = 1;
    uint8_t window = 20;
    std::vector<uint8_t> connectData; // empty: the session's connect message
    // Every frame written by this side (before drops).
    std::function<void(const Bytes&)> capture;
};

// A channel whose I/O thread reads and writes fd (one end of a stream pair).
inline OlnkChannel LoopChannel(int fd, LoopOptions opt)
{
    OlnkChannelOptions co;
    co.passive = opt.passive;
    if (opt.connectData.empty() && !opt.passive) {
        size_t n = 0;
        const uint8_t* d = OxfrConnectData(&n);
        opt.connectData.assign(d, d + n);
    }
    OlnkChannel ch = OlnkCreateChannel(opt.window, opt.connectData, co);
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    OlnkSetCloseHook(ch, [fd] { ::close(fd); });
    OlnkStartIoThread(ch, [ch, fd, opt] {
        uint64_t rng = opt.seed * 0x9E3779B97F4A7C15ULL + 7;
        auto chance = [&](double p) {
            rng += 0x9E3779B97F4A7C15ULL;
            uint64_t z = rng;
            z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
            z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
            z ^= z >> 31;
            return double(z >> 11) / double(1ULL << 53) < p;
        };
        std::string out;
        Bytes frame(OLNK_MAX_FRAME);
        uint8_t in[65536];
        auto lastSent = std::chrono::steady_clock::now();
        auto emit = [&](OlnkFrameMode mode) {
            uint16_t len = 0;
            OlnkNextFrame(ch, frame.data(), &len, mode);
            if (!len)
                return false;
            Bytes f(frame.begin(), frame.begin() + len);
            if (opt.capture)
                opt.capture(f);
            if (!(opt.drop > 0 && chance(opt.drop)))
                out.append(reinterpret_cast<const char*>(f.data()), f.size());
            lastSent = std::chrono::steady_clock::now();
            return true;
        };
        while (!OlnkStopRequested(ch)) {
            pollfd p[2] = {{fd, short(POLLIN | (out.empty() ? 0 : POLLOUT)), 0},
                           {OlnkGetSendEventFd(ch), POLLIN, 0}};
            ::poll(p, 2, 20);
            for (;;) {
                const ssize_t n = ::read(fd, in, sizeof in);
                if (n <= 0)
                    break;
                OlnkAddRecBytes(ch, uint64_t(n));
                OlnkReceiveBytes(ch, std::span<const uint8_t>(in, size_t(n)));
            }
            OlnkTakeSendEvent(ch);
            if (out.size() < 262144) {
                int k = 0;
                while (k++ < 64 && emit(OlnkFrameMode::None)) {
                }
                if (OlnkTakeAckNeeded(ch))
                    emit(OlnkFrameMode::Ack);
                if (std::chrono::steady_clock::now() - lastSent > std::chrono::milliseconds(30))
                    if (!emit(OlnkFrameMode::Idle))
                        lastSent = std::chrono::steady_clock::now();
            }
            while (!out.empty()) {
                const ssize_t n = ::send(fd, out.data(), out.size(), MSG_NOSIGNAL);
                if (n <= 0)
                    break;
                OlnkAddSendBytes(ch, uint64_t(n));
                out.erase(0, size_t(n));
            }
            OlnkCheckConnectTimeout(ch);
        }
        return 0u;
    });
    return ch;
}

inline void SocketPair(int fds[2])
{
    ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds);
}

// Collects what the callbacks deliver.
struct Recorder
{
    struct Result
    {
        uint8_t code;
        int8_t status;
        uint32_t param;
        Bytes data;
    };
    std::mutex m;
    std::condition_variable cv;
    std::vector<Result> transfers, replies, pushed2, pushed3;
    std::vector<uint8_t> events;
    int peerResets = 0;
    int linkResets = 0; // the channel reset itself
    int resetAnswer = 0;

    template <class Pred> bool WaitFor(Pred pred, int ms = 20000)
    {
        std::unique_lock<std::mutex> lk(m);
        return cv.wait_for(lk, std::chrono::milliseconds(ms), pred);
    }

    static Recorder* R(void* u) { return static_cast<Recorder*>(u); }
    static void Add(void* u, std::vector<Result> Recorder::*list, Result r)
    {
        auto* rec = R(u);
        std::lock_guard<std::mutex> g(rec->m);
        (rec->*list).push_back(std::move(r));
        rec->cv.notify_all();
    }
    static void Install(OxfrSession s)
    {
        OxfrSessionCallbacks sc;
        sc.peerReset = [](void* u) {
            auto* rec = R(u);
            std::lock_guard<std::mutex> g(rec->m);
            ++rec->peerResets;
            rec->cv.notify_all();
            return rec->resetAnswer;
        };
        sc.linkReset = [](void* u) {
            auto* rec = R(u);
            std::lock_guard<std::mutex> g(rec->m);
            ++rec->linkResets;
            rec->cv.notify_all();
        };
        sc.linkEvent = [](void* u, uint8_t code) {
            auto* rec = R(u);
            std::lock_guard<std::mutex> g(rec->m);
            rec->events.push_back(code);
            rec->cv.notify_all();
        };
        OxfrSetSessionCallbacks(s, &sc);
        OxfrLinkCallbacks lc;
        lc.reply = [](void* u, uint8_t c, int8_t st, uint32_t p, const uint8_t* d, size_t n) {
            Add(u, &Recorder::replies, {c, st, p, Bytes(d, d + n)});
        };
        lc.pushed2 = [](void* u, uint8_t c, uint32_t p, const uint8_t* d, size_t n) {
            Add(u, &Recorder::pushed2, {c, 0, p, Bytes(d, d + n)});
        };
        lc.pushed3 = [](void* u, uint8_t c, uint32_t p, const uint8_t* d, size_t n) {
            Add(u, &Recorder::pushed3, {c, 0, p, Bytes(d, d + n)});
        };
        OxfrSetLinkCallbacks(s, &lc);
        OxfrTransferCallbacks tc;
        tc.result = [](void* u, uint8_t c, int8_t st, uint32_t p, const uint8_t* d, size_t n) {
            Add(u, &Recorder::transfers, {c, st, p, Bytes(d, d + n)});
        };
        OxfrSetTransferCallbacks(s, &tc);
    }
    std::vector<Result> Transfers()
    {
        std::lock_guard<std::mutex> g(m);
        return transfers;
    }
};

using testsupport::WaitUntil;

// Two sessions joined by a socket pair, both started and established.
struct SessionPair
{
    Recorder recA, recB;
    OxfrSession a = nullptr, b = nullptr;
    explicit SessionPair(double drop = 0, uint64_t seed = 1)
    {
        int fds[2];
        SocketPair(fds);
        LoopOptions oa, ob;
        oa.drop = ob.drop = drop;
        oa.seed = seed;
        ob.seed = seed + 1000;
        a = OxfrOpenSessionOnChannel(&recA, LoopChannel(fds[0], oa), 1000);
        b = OxfrOpenSessionOnChannel(&recB, LoopChannel(fds[1], ob), 1000);
        Recorder::Install(a);
        Recorder::Install(b);
        OlnkResumeSession(a);
        OlnkResumeSession(b);
        established = WaitUntil([&] { return OxfrIsEstablished(a) && OxfrIsEstablished(b); }, 20000);
    }
    ~SessionPair()
    {
        if (a)
            OxfrCloseSession(a);
        if (b)
            OxfrCloseSession(b);
    }
    bool established = false;
};

// A peer made only of a channel: passive by default, it answers the
// session's connect message with the connect reply.
class RawPeer
{
public:
    explicit RawPeer(int fd, bool active = false, LoopOptions opt = {})
    {
        opt.passive = !active;
        m_ch = LoopChannel(fd, opt);
        m_thread = std::thread([this] { Loop(); });
    }
    ~RawPeer()
    {
        m_stop = true;
        m_thread.join();
        OlnkCloseChannel(m_ch);
    }
    OlnkChannel Channel() const { return m_ch; }
    bool Send(const Bytes& m) { return OlnkSend(m_ch, uint16_t(m.size()), m.data(), 1, 2000) >= 0; }
    // The next message (excluding connect messages, which are answered).
    bool Receive(Bytes& out, int ms = 5000) { return m_in.Receive(out, ms); }
    size_t Pending() { return m_in.Pending(); }
    bool answerConnect = true;
    std::atomic<int> connects{0};

private:
    void Loop()
    {
        Bytes buf(1023);
        while (!m_stop) {
            uint16_t len = 0;
            if (!OlnkReceive(m_ch, &len, 1023, buf.data(), 50))
                continue;
            Bytes msg(buf.begin(), buf.begin() + std::min<size_t>(len, 1023));
            if (msg.size() >= 7 && msg[0] == 0 && msg[1] == 0 && msg[2] == 0 && answerConnect) {
                ++connects;
                const Bytes r = oxfr::ConnectReply(oxfr::U32(msg.data() + 3), 0);
                OlnkConnect(m_ch, uint16_t(r.size()), r.data());
                continue;
            }
            m_in.Add(std::move(msg));
        }
    }
    OlnkChannel m_ch;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    testsupport::MessageQueue m_in;
};

// A session against a raw peer.
struct SessionAndPeer
{
    Recorder rec;
    OxfrSession s = nullptr;
    std::unique_ptr<RawPeer> peer;
    bool established = false;
    SessionAndPeer()
    {
        int fds[2];
        SocketPair(fds);
        s = OxfrOpenSessionOnChannel(&rec, LoopChannel(fds[0], {}), 1000);
        peer = std::make_unique<RawPeer>(fds[1]);
        Recorder::Install(s);
        OlnkResumeSession(s);
        established = WaitUntil([&] { return OxfrIsEstablished(s); }, 10000);
    }
    ~SessionAndPeer()
    {
        if (s)
            OxfrCloseSession(s);
    }
};

} // namespace oxfrtest

#include "tools/linkshim/LinkFrameDecoder.h"
#include "tools/linkshim/UdpFaultRelay.h"
#include "tests/support/platform/PtyPair.h"

namespace oxfrtest {

// Two sessions over UDP on 127.0.0.1 through a fault relay.
struct UdpSessionPair
{
    uint16_t portA = testsupport::PickFreeUdpPort();
    uint16_t portB = testsupport::PickFreeUdpPort();
    linkshim::UdpFaultRelay relay;
    Recorder recA, recB;
    OxfrSession a = nullptr, b = nullptr;
    bool established = false;

    explicit UdpSessionPair(double drop = 0, uint64_t seed = 1) : relay(portA, portB, seed)
    {
        linkshim::UdpFaultRelay::Faults f;
        f.drop = drop;
        relay.SetFaults(0, f);
        relay.SetFaults(1, f);
        a = OxfrOpenSessionA(&recA, testsupport::UdpLoopbackConn(portA, relay.PortFacingA()).c_str(), 1000);
        b = OxfrOpenSessionA(&recB, testsupport::UdpLoopbackConn(portB, relay.PortFacingB()).c_str(), 1000);
        if (!a || !b)
            return;
        Recorder::Install(a);
        Recorder::Install(b);
        OlnkResumeSession(a);
        OlnkResumeSession(b);
        established = WaitUntil([&] { return OxfrIsEstablished(a) && OxfrIsEstablished(b); }, 20000);
    }
    ~UdpSessionPair()
    {
        if (a)
            OxfrCloseSession(a);
        if (b)
            OxfrCloseSession(b);
        relay.Stop();
    }
    // Every message A sent, in order (from the relay's capture).
    // The messages one side sent, in order.  A frame that went out again
    // (the send window goes back after a lost or late acknowledgement, which
    // a loaded machine can cause) counts once: the same sequence number with
    // the same data is the same message.
    std::vector<Bytes> MessagesFrom(int direction)
    {
        std::vector<Bytes> out;
        std::vector<std::pair<uint8_t, Bytes>> seen;
        for (const auto& d : relay.Capture())
            if (d.direction == direction)
                for (const auto& f : linkshim::LinkFrameDecoder::DecodeDatagram(d.bytes)) {
                    if (f.data.empty())
                        continue;
                    std::pair<uint8_t, Bytes> key(f.seq, f.data);
                    if (std::find(seen.begin(), seen.end(), key) != seen.end())
                        continue;
                    seen.push_back(key);
                    out.push_back(f.data);
                }
        return out;
    }
};

} // namespace oxfrtest
