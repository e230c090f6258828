#pragma once
// Frame-level peers of the link object's tests: the peer's end of the wire
// (a UDP socket on 127.0.0.1 or a pseudo-terminal pair, with a thread that
// reads the link object's frames), the wire trace that failure messages
// show, and a control system that keeps the link rules (link states 0 to
// 3, go-back-N, ACK and NAK) and answers as a control system's session
// does.

#include "link_test_env.h"

#include "tests/link/link_test_util.h"
#include "tests/support/platform/PtyPair.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <utility>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace linktest {

// The test peer's UDP socket, bound to 127.0.0.1:theirs (non-blocking), and
// in to the address of the link object's port ours; -1 when it failed.
inline int BindPeerSocket(uint16_t theirs, uint16_t ours, sockaddr_in& to)
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return -1;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(theirs);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(fd);
        return -1;
    }
    to = a;
    to.sin_port = htons(ours);
    return fd;
}

// A frame as read off the wire.
struct WireFrame
{
    uint8_t ack = 0;
    uint16_t control = 0;
    uint8_t seq = 0;
    Bytes data;
    bool connect() const { return control & 0x800; }
};

// Splits a byte stream into frames (the checks are not verified: the link
// object under test writes good frames).
class FrameReader
{
public:
    void Feed(const uint8_t* p, size_t n, std::vector<WireFrame>& out)
    {
        m_buf.insert(m_buf.end(), p, p + n);
        for (;;) {
            size_t start = 0;
            while (start + 1 < m_buf.size() && !(m_buf[start] == 0xF9 && m_buf[start + 1] == 0xFD))
                ++start;
            m_buf.erase(m_buf.begin(), m_buf.begin() + std::ptrdiff_t(start));
            if (m_buf.size() < 10)
                return;
            WireFrame f;
            f.ack = m_buf[4];
            f.control = uint16_t(m_buf[5] | m_buf[6] << 8);
            f.seq = m_buf[7];
            const size_t length = f.control & 0x3FF;
            size_t i = 10;
            while (f.data.size() < length && i < m_buf.size()) {
                if ((m_buf[i] == 0xF9 || m_buf[i] == 0xFE) && i + 1 < m_buf.size())
                    ++i; // the stuffed twin
                else if (m_buf[i] == 0xF9 || m_buf[i] == 0xFE)
                    return; // the twin has not arrived yet
                f.data.push_back(m_buf[i++]);
            }
            if (f.data.size() < length || i + 3 > m_buf.size())
                return;
            m_buf.erase(m_buf.begin(), m_buf.begin() + std::ptrdiff_t(i + 3));
            out.push_back(std::move(f));
        }
    }

private:
    Bytes m_buf;
};

// The test peer's end of the wire: a UDP socket on 127.0.0.1 or the master
// of a pseudo-terminal pair, and a thread that reads the link object's
// frames and gives the peer its idle turn (its go-back turn) every 200 ms on
// its own clock.
class PeerWire
{
public:
    ~PeerWire()
    {
        Stop();
        if (m_own)
            ::close(m_fd);
    }

    // Opens the peer's end; the link object's connection string to it (W as
    // given), empty when it failed.
    std::string Open(bool serial, int window = 20)
    {
        m_serial = serial;
        const std::string w = "W = " + std::to_string(window) + ";";
        if (serial) {
            if (!m_pty.Ok())
                return {};
            m_fd = m_pty.MasterFd();
            return "P = " + m_pty.SlavePath() + "; B = 115200; " + w;
        }
        const uint16_t ours = testsupport::PickFreeUdpPort();
        const uint16_t theirs = testsupport::PickFreeUdpPort();
        m_fd = BindPeerSocket(theirs, ours, m_to);
        m_own = m_fd >= 0;
        if (!m_own)
            return {};
        return "Type = UDP; RemoteIP = 127.0.0.1; RemotePort = " + std::to_string(theirs) +
               "; LocalPort = " + std::to_string(ours) + "; " + w;
    }

    void Write(const Bytes& frame)
    {
        if (m_serial)
            (void)m_pty.WriteMaster(frame.data(), frame.size());
        else
            ::sendto(m_fd, frame.data(), frame.size(), 0, reinterpret_cast<const sockaddr*>(&m_to), sizeof m_to);
    }

    // Starts the thread: take for every frame read, idle on the turn.
    void Start(std::function<void(const WireFrame&)> take, std::function<void()> idle = {})
    {
        m_thread = std::thread([this, take = std::move(take), idle = std::move(idle)] {
            FrameReader reader;
            uint8_t buf[4096];
            auto turn = std::chrono::steady_clock::now();
            while (!m_stop) {
                pollfd p{m_fd, POLLIN, 0};
                if (::poll(&p, 1, 20) > 0) {
                    const ssize_t n = ::read(m_fd, buf, sizeof buf);
                    std::vector<WireFrame> frames;
                    if (n > 0)
                        reader.Feed(buf, size_t(n), frames);
                    for (const WireFrame& f : frames)
                        take(f);
                }
                if (idle && std::chrono::steady_clock::now() - turn > std::chrono::milliseconds(200)) {
                    idle();
                    turn = std::chrono::steady_clock::now();
                }
            }
        });
    }
    void Stop()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
    }

private:
    testsupport::PtyPair m_pty;
    bool m_serial = false;
    int m_fd = -1;
    bool m_own = false;
    sockaddr_in m_to{};
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
};

// Opens link as the project does (333, 1000 ms; the interfaces 0, 1, 2 and
// 258; list0 in list 0; Start).
inline bool OpenAsTheProject(COlnkLink& link, const std::string& conn, ui::MessageHandle list0)
{
    const std::u16string cs = Wide(conn);
    if (link.Open(333, cs.c_str(), 1000) != 1)
        return false;
    for (uint16_t id : {0, 1, 2, 258})
        if (link.InitInterface(id) != 1)
            return false;
    return link.RegisterWindow(list0, 0) == 1 && link.Start() == 1;
}

// What passed on the wire, in order, for failure messages: one line a frame
// ("prog" the link object's, "peer" the test peer's) or note.
class WireTrace
{
public:
    void Frame(const char* who, uint8_t seq, uint8_t ack, bool connect, const Bytes& data,
               const std::string& note = {})
    {
        if (!m_enabled)
            return;
        char head[64];
        std::snprintf(head, sizeof head, "%s #%u ack %02X%s", who, seq, ack, connect ? " connect" : "");
        std::string line = head;
        if (!data.empty()) {
            line += " [";
            for (size_t i = 0; i < std::min<size_t>(data.size(), 12); ++i) {
                char b[4];
                std::snprintf(b, sizeof b, i ? " %02X" : "%02X", data[i]);
                line += b;
            }
            line += data.size() > 12 ? " ...]" : "]";
        }
        if (!note.empty())
            line += "  " + note;
        Note(line);
    }
    void Frame(const char* who, const WireFrame& f, const std::string& note = {})
    {
        Frame(who, f.seq, f.ack, f.connect(), f.data, note);
    }
    // Off: nothing is noted (a simulation that replays a schedule with its
    // own trace only when it failed).
    void Enable(bool on) { m_enabled = on; }
    void Note(const std::string& line)
    {
        if (!m_enabled)
            return;
        std::lock_guard<std::mutex> g(m_m);
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - m_start).count();
        m_lines.push_back(std::to_string(ms) + " ms  " + line);
        if (m_lines.size() > kKept)
            m_lines.pop_front();
    }
    std::string Text()
    {
        std::lock_guard<std::mutex> g(m_m);
        std::string t = "\nwire trace (latest " + std::to_string(kKept) + " lines):\n";
        for (const auto& l : m_lines)
            t += "  " + l + "\n";
        return t;
    }

private:
    using Clock = std::chrono::steady_clock;
    static constexpr size_t kKept = 160;
    std::mutex m_m;
    Clock::time_point m_start = Clock::now();
    std::deque<std::string> m_lines;
    std::atomic<bool> m_enabled{true};
};

// The connect reply to a connect message, status 0: 0, 1, 0, its parameter,
// 0, u16 4, u16 1.
inline Bytes ConnectReplyTo(const Bytes& connectMessage)
{
    Bytes reply{0, 1, 0};
    reply.insert(reply.end(), connectMessage.begin() + 3, connectMessage.begin() + 7);
    reply.insert(reply.end(), {0, 4, 0, 1, 0});
    return reply;
}

inline bool IsConnectMessage(const Bytes& m) { return m.size() >= 7 && m[0] == 0 && m[1] == 0 && m[2] == 0; }
inline bool IsConnectReply(const Bytes& m) { return m.size() >= 8 && m[0] == 0 && m[1] == 1 && m[2] == 0; }
inline bool IsGetStatus(const Bytes& m) { return m.size() >= 7 && m[0] == 1 && m[1] == 0 && m[2] == 0; }

// A passive control system that keeps the link rules, written from them
// alone.  Its channel starts running (state 0); a connect frame in state 0
// resets it (state 1: every frame dropped, nothing sent) and is then taken
// as any frame; its session answers a connect message in a connect frame
// with its connect reply in a connect frame, which ends state 1 (state 3,
// back to 0 after ten seconds or on its frame numbered 0 in order); a reply
// in a connect frame only has its session value stored.  ResetNow resets
// the link from its side (state 2: only a connect frame passes, the link
// object's answer, which leads to state 3).  Every frame it
// builds takes a number, empty ones included, and stays until acknowledged;
// a NAK or its idle turn sends them again.  It answers GetStatus with the
// status record and every other class-1 request with status 0.  Thread-safe;
// Take and Idle are called by the test's wire thread.
class RulesPeer
{
public:
    RulesPeer(uint8_t window, std::function<void(const Bytes&)> write, WireTrace& trace)
        : m_W(window), m_write(std::move(write)), m_trace(trace)
    {
    }

    void Take(const WireFrame& f)
    {
        std::lock_guard<std::mutex> g(m_m);
        std::string note;
        switch (m_state) {
        case 1:
            m_trace.Frame("prog", f, "dropped in state 1");
            return;
        case 2:
            // Its own reset: only a connect frame passes, the answer.
            if (!f.connect()) {
                m_trace.Frame("prog", f, "dropped in state 2");
                return;
            }
            Enter(3);
            break;
        case 0:
            if (f.connect()) {
                Reset();
                Enter(1);
                note = "reset by the program";
            }
            break;
        default: // 3
            break;
        }
        const uint8_t s = f.seq & 0x7F;
        if (uint8_t((m_R - s) & 0x7F) < m_W) {
            m_trace.Frame("prog", f, note.empty() ? "repeat" : note);
            m_resetPassed |= m_state == 3 && note.empty() && f.connect() && s == 1 && f.ack == 0x80;
        } else if (s != uint8_t((m_R + 1) & 0x7F)) {
            m_trace.Frame("prog", f, note.empty() ? "out of order" : note);
            m_nak = true;
            AckNow();
        } else {
            m_trace.Frame("prog", f, note);
            m_R = s;
            m_nak = false;
            if (s == 0 && m_state == 3)
                Enter(0);
            if (s == 0)
                m_wrapped = true;
            if (!Dispatch(f) && !f.data.empty())
                AckNow();
        }
        Acknowledged(f.ack);
    }

    // In its state 3 it passed a reset of the program (a connect frame
    // numbered 1 acknowledging nothing) as a repeat: the program's channel
    // restarted, say, because a frame it built before this peer's reset
    // acknowledged this peer's answer by its old numbers, so the answer
    // never reached it (no end can tell).  The link runs again when this
    // peer's ten seconds end.
    bool PassedAResetAsRepeat()
    {
        std::lock_guard<std::mutex> g(m_m);
        return std::exchange(m_resetPassed, false);
    }

    // The idle turn: state 3 ends after ten seconds; the unacknowledged
    // frames go again, or an empty frame carries the acknowledgement.
    void Idle()
    {
        std::lock_guard<std::mutex> g(m_m);
        if (m_state == 3 && Now() - m_stateAt > std::chrono::seconds(10))
            Enter(0);
        if (m_state == 1)
            return;
        if (m_window.empty())
            Build({}, false);
        else
            for (const auto& s : m_window)
                Send(s);
    }

    // Resets the link from its side (state 2, left on the link object's
    // answer in a connect frame): its connect frame, numbered 1 and
    // acknowledging nothing, carries message.  Returns that frame as it
    // went on the wire.
    FrameSpec ResetNow(const Bytes& message)
    {
        std::lock_guard<std::mutex> g(m_m);
        Reset();
        Enter(2);
        Build(message, true);
        FrameSpec sent = m_window.front().second;
        sent.ack = 0x80; // an ACK of 0: R is 0 after the reset
        return sent;
    }
    // Its resets so far (its own and the program's it took).  Without the
    // lock: also read while it writes a frame.
    uint32_t Resets() const { return m_resets.load(); }
    // Frames it built since its latest reset.
    int BuiltSinceReset()
    {
        std::lock_guard<std::mutex> g(m_m);
        return m_built;
    }

    // Writes a frame of the test's own, outside the peer's numbering.
    void Inject(const FrameSpec& s, const std::string& note)
    {
        std::lock_guard<std::mutex> g(m_m);
        m_trace.Frame("peer", s.seq, s.ack, s.connect, s.data, note);
        m_write(Encode(s));
    }

    // The frame of its latest connect reply, as it went first.
    FrameSpec LastConnectReply()
    {
        std::lock_guard<std::mutex> g(m_m);
        return m_lastReply;
    }
    int State()
    {
        std::lock_guard<std::mutex> g(m_m);
        return m_state;
    }
    // When it entered its present link state, by its clock.
    std::chrono::steady_clock::time_point StateSince()
    {
        std::lock_guard<std::mutex> g(m_m);
        return m_stateAt;
    }
    // Requests it took (and answered unless held) since the start.
    int Requests()
    {
        std::lock_guard<std::mutex> g(m_m);
        return m_requests;
    }
    // Since its latest reset, the link object's frame numbered 0 was taken
    // in order and its own frame numbered 0 was acknowledged: the link
    // object's channel is running (state 0) too.
    bool BothRunning()
    {
        std::lock_guard<std::mutex> g(m_m);
        return m_state == 0 && m_wrapped && m_ownZeroAcknowledged;
    }
    // Its clock for the ten seconds of state 3 (a simulation's own).
    void SetClock(std::function<std::chrono::steady_clock::time_point()> now)
    {
        std::lock_guard<std::mutex> g(m_m);
        m_now = std::move(now);
        m_stateAt = Now();
    }
    // As some control systems do: a reset by its peer is acknowledged by an
    // empty connect frame (numbered 1), the connect reply follows as 2.
    void AcknowledgeResetFirst(bool on)
    {
        std::lock_guard<std::mutex> g(m_m);
        m_ackFirst = on;
    }
    // The first connect frame with a connect message it took from the link
    // object, as it came.
    WireFrame FirstConnectFrame()
    {
        std::lock_guard<std::mutex> g(m_m);
        return m_firstConnect;
    }
    // While set, requests are taken but not answered.
    void HoldAnswers(bool hold)
    {
        std::lock_guard<std::mutex> g(m_m);
        m_hold = hold;
    }

private:
    using Sent = std::pair<uint8_t, FrameSpec>;

    std::chrono::steady_clock::time_point Now() const
    {
        return m_now ? m_now() : std::chrono::steady_clock::now();
    }

    void Enter(int state)
    {
        m_state = state;
        m_stateAt = Now();
        m_trace.Note("peer enters state " + std::to_string(state));
    }
    void Reset()
    {
        ++m_resets;
        m_R = 0;
        m_next = 1;
        m_nak = false;
        m_window.clear();
        m_backlog.clear();
        m_wrapped = false;
        m_ownZeroAcknowledged = false;
        m_built = 0;
    }

    // The session: true when it sent an answer (which carries the ACK).
    bool Dispatch(const WireFrame& f)
    {
        if (f.connect()) {
            if (IsConnectMessage(f.data)) {
                if (m_firstConnect.data.empty())
                    m_firstConnect = f;
                // The answer to a reset by its peer ends state 1.
                if (m_state == 1)
                    Enter(3);
                m_lastReply = FrameSpec{};
                if (m_ackFirst)
                    Build({}, true); // the reset acknowledged by an empty connect frame
                Build(ConnectReplyTo(f.data), true);
                return true;
            }
            if (IsConnectReply(f.data))
                m_trace.Note("peer session: a connect reply, its session value stored");
            return false;
        }
        if (f.data.size() < 7 || f.data[0] != 1 || f.data[1] != 0)
            return false;
        ++m_requests;
        if (m_hold)
            return false;
        Bytes reply{1, 1, f.data[2]};
        reply.insert(reply.end(), f.data.begin() + 3, f.data.begin() + 7);
        reply.push_back(0);
        if (IsGetStatus(f.data))
            reply.insert(reply.end(), {10, 0, 2, 0, 0, 0, 0, 0, 0, 0});
        Build(reply, false);
        return true;
    }

    void Build(const Bytes& data, bool connect)
    {
        Sent s{m_next, FrameSpec{}};
        s.second.seq = m_next;
        s.second.connect = connect;
        s.second.reliable = connect || !data.empty();
        s.second.data = data;
        m_next = uint8_t((m_next + 1) & 0x7F);
        ++m_built;
        if (m_window.size() >= m_W) {
            m_backlog.push_back(std::move(s));
            return;
        }
        m_window.push_back(s);
        Send(m_window.back());
    }

    void Send(const Sent& s)
    {
        FrameSpec f = s.second;
        f.ack = m_nak ? uint8_t((m_R + 1) & 0x7F) : uint8_t(m_R | 0x80);
        if (f.connect && IsConnectReply(f.data) && m_lastReply.data.empty())
            m_lastReply = f;
        m_trace.Frame("peer", f.seq, f.ack, f.connect, f.data);
        m_write(Encode(f));
    }

    // An acknowledgement is due and no answer carries it.
    void AckNow()
    {
        if (m_state == 1)
            return;
        if (m_window.empty())
            Build({}, false);
        else
            Send(m_window.front());
        m_nak = false;
    }

    void Acknowledged(uint8_t ack)
    {
        const uint8_t n = ack & 0x7F;
        const auto named = std::find_if(m_window.begin(), m_window.end(), [&](const Sent& s) { return s.first == n; });
        if (named == m_window.end())
            return;
        if (ack & 0x80) {
            for (auto i = m_window.begin(); i != std::next(named); ++i)
                m_ownZeroAcknowledged |= i->first == 0;
            m_window.erase(m_window.begin(), std::next(named));
        } else {
            m_window.erase(m_window.begin(), named);
            for (const auto& s : m_window)
                Send(s); // go back to the NAKed frame
        }
        while (!m_backlog.empty() && m_window.size() < m_W) {
            m_window.push_back(m_backlog.front());
            m_backlog.pop_front();
            Send(m_window.back());
        }
    }

    const uint8_t m_W;
    const std::function<void(const Bytes&)> m_write;
    WireTrace& m_trace;
    std::function<std::chrono::steady_clock::time_point()> m_now;
    std::mutex m_m;
    int m_state = 0;
    std::atomic<uint32_t> m_resets{0};
    std::chrono::steady_clock::time_point m_stateAt = std::chrono::steady_clock::now();
    uint8_t m_R = 0;
    uint8_t m_next = 1;
    bool m_nak = false;
    bool m_hold = false;
    bool m_ackFirst = false;
    WireFrame m_firstConnect;
    bool m_wrapped = false;
    bool m_ownZeroAcknowledged = false;
    bool m_resetPassed = false;
    int m_requests = 0;
    int m_built = 0;
    FrameSpec m_lastReply;
    std::deque<Sent> m_window, m_backlog;
};

} // namespace linktest
