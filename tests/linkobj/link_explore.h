#pragma once
// A simulated wire between two ends of a link on one thread and one clock,
// no sleeps: our channel and session (the program's end, active) against our
// channel and session started passive, as the simulator runs them, or
// against the control system that keeps the link rules (wire_peer.h).  Every
// frame either end sends waits on the wire until the schedule delivers it,
// a copy of it, drops it, or delivers a copy of any connect frame sent
// before (a late datagram); then the wire turns quiet (every frame passes at
// once) and the checks run: within 2 s the link runs and a request is
// answered, every request has exactly one result, no end sends more than a
// bounded number of frames per resend round, and nothing waits in a reset.
// Where a frame crossed a reset of either end (sent before it, taken after
// it), the bound is kCrossedRecoverMs instead (below).
#include "wire_peer.h"

#include "link/olnk/olnk_transport.h"
#include "link/oxfr/oxfr.h"
#include "platform/sys/LastError.h"

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace linktest::explore {

constexpr uint32_t kIdleMs = 500;      // the UDP idle turn
constexpr uint32_t kRecoverMsDefault = 2000;
constexpr uint32_t kPeerIdleMs = 200;  // the rule-keeping peer's idle turn
inline uint32_t kRecoverMs = kRecoverMsDefault;     // the link runs again within this after the wire turns quiet
// The bound where a frame crossed a reset of either end: no frame names its
// connection, so an end may take a frame sent before a reset for one of
// the connection after it (a connect frame sent again, an acknowledgement
// by the old numbers that frees a frame the peer never received) and the
// ends fall out of step.  No rule can tell such a frame from a current
// one; a stall rule ends it: the window's first frame unchanged (or only
// unplaceable frames received) for OLNK_STALL_MS, seen at a resend round,
// then the reset's own handshake and answer within kRecoverMs.
constexpr uint32_t kCrossedRecoverMs = kRecoverMsDefault + OLNK_STALL_MS + 2 * OLNK_RESEND_ROUND_MS;
constexpr uint32_t kQuietMs = 4000;    // the quiet wire lasts this long
constexpr uint32_t kQuietStepMs = 100; // at most between turns while quiet
// A request unanswered this long while the wire is quiet counts as lost:
// a late copy of the peer's connect reply, byte for byte its answer to a
// reset of ours, can put the ends in step on the old numbers, and the
// peer's acknowledgement of its old frame then frees our request's frame.
// No end can tell; the link object ends such a request by its time-out
// (one result), and the next one is answered.
constexpr uint32_t kLostMs = 1000;

enum class Peer : uint8_t
{
    Ours,
    Rules,
    RulesAckFirst
};
enum class Start : uint8_t
{
    Handshake,
    Running
};
enum class Pre : uint8_t
{
    None,
    ResetA,
    ResetB
};

struct Scenario
{
    Peer peer = Peer::Ours;
    uint8_t W = 20;
    Start start = Start::Running;
    Pre pre = Pre::None;
};

inline std::string Describe(const Scenario& s)
{
    std::string t = s.peer == Peer::Ours    ? "ours/ours"
                    : s.peer == Peer::Rules ? "ours/rules"
                                            : "ours/rules-ack-first";
    t += " W " + std::to_string(s.W);
    t += s.start == Start::Running ? " running" : " handshake";
    t += s.pre == Pre::ResetA ? " +resetA" : s.pre == Pre::ResetB ? " +resetB" : "";
    return t;
}

struct Action
{
    enum Kind : uint8_t
    {
        Tick,
        Deliver,
        Dup,
        Drop,
        Late,
        ResetA,
        ResetB
    } kind = Tick;
    uint16_t index = 0;
    uint32_t ms = 250; // Tick
};

struct OnWire
{
    int from = 0; // 0 A (the program), 1 B (the peer)
    Bytes bytes;
    uint32_t epoch = 0; // A's own resets before it was sent (0: a late copy)
    uint32_t generation = 0; // resets of both ends before it was sent (Sim::Generation)
};

class Sim;

// One end of the link.
class End
{
public:
    virtual ~End() = default;
    virtual void Take(const Bytes& frame) = 0;
    virtual void Turn() = 0;
    // Link state 0 or 3.
    virtual bool Runs() = 0;
    virtual std::string State() = 0;
    // Milliseconds until its next idle turn (its transport wakes then, or
    // for a frame).
    virtual uint32_t NextTurnIn(uint32_t now) const = 0;
    // A peer keeping the rules in its state 3: when it ends (else 0).
    virtual uint32_t StateThreeEnds() { return 0; }
    // Its resets so far: its own, the peer's it took, and (the program)
    // its closings and openings.
    virtual uint32_t Resets() = 0;
};

// What a request of the program got.
struct Request
{
    uint32_t issuedAt = 0;
    int results = 0;
    bool answered = false; // by the peer (not ended here)
    int status = 0;
    uint32_t opening = 0;  // the program's opening of the link that sent it
    uint32_t resultIn = 0; // the connection (Sim::connection) of its result
};

class Sim
{
public:
    Sim(const Scenario& sc, bool tracing);
    ~Sim();

    uint32_t now = 1000;
    bool tracing = false;
    std::vector<std::string> trace;
    std::string failure;

    void Log(const std::string& line)
    {
        if (!tracing)
            return;
        char head[24];
        std::snprintf(head, sizeof head, "%7u ms  ", now);
        trace.push_back(head + line);
    }
    void Fail(const std::string& why)
    {
        if (failure.empty())
            failure = "at " + std::to_string(now) + " ms: " + why;
    }

    // A frame an end sent: onto the wire (delivered at once while quiet).
    void Emit(int from, const Bytes& bytes);
    // The adversary's choices at this step.
    std::vector<Action> Options(bool exhaustive);
    void Apply(const Action& a);
    // Both ends take their turn after dt ms.
    void Tick(uint32_t dt);
    // Delivers what is on the wire at once, in order, until nothing is.
    void Pump();
    // Until the link runs (handshake; past the ten seconds of state 3).
    void Warmup(Start start);
    // Both ends take their turn after dt ms, the wire quiet.
    void Step(uint32_t dt);
    // Until the next turn an end has due by its clock.
    uint32_t NextTurnIn() const;
    // The quiet wire and the checks; false when a check failed.
    bool Quiet();
    // When the 2 s for the link to run again begin: the wire turning
    // quiet, or the end of the ten seconds in which a peer keeping the rules
    // passed the program's reset as a repeat.
    uint32_t RecoverFrom() const { return std::max(quietStart, resetIgnoredUntil); }
    // Resets of both ends so far: a frame sent at a lower count and taken
    // now crossed a reset.
    uint32_t Generation() const { return (a ? a->Resets() : 0) + (b ? b->Resets() : 0); }
    // An end takes w: notes whether it crossed a reset.
    void NoteTaken(const OnWire& w)
    {
        if (w.generation >= Generation() || crossed)
            return;
        crossed = true;
        Log("a frame sent before a reset is taken after it: the bound is " +
            std::to_string(kCrossedRecoverMs) + " ms");
    }
    // The link runs again within this after RecoverFrom.
    uint32_t Bound() const { return crossed ? std::max(kRecoverMs, kCrossedRecoverMs) : kRecoverMs; }
    // The peer passes the program's reset as a repeat until then.
    void ResetPassedUntil(uint32_t until)
    {
        if (until <= resetIgnoredUntil)
            return;
        resetIgnoredUntil = until;
        Log("the peer in its state 3 passes the program's reset as a repeat until " +
            std::to_string(until) + " ms");
    }
    // The program reset its end (its own reset, or closed and opened
    // again): a peer keeping the rules in its state 3 takes none of its
    // connect frames for a reset, whichever arrives.
    void OwnResetOfA()
    {
        ++aEpoch;
        if (b)
            ResetPassedUntil(b->StateThreeEnds());
    }

    // The program's requests.
    void IssueRequest(bool quiet);
    void Result(uint32_t param, int status, bool fromPeer);
    void EndPending(int status);

    std::unique_ptr<End> a, b;
    Scenario sc;
    std::vector<OnWire> wire;     // sent, not delivered yet
    std::vector<OnWire> connects; // every distinct connect frame sent
    std::map<uint32_t, Request> requests;
    uint32_t nextParam = 1;
    uint32_t opening = 0;       // how often the program closed and opened again
    uint32_t connection = 0;    // resets the program's session was told of
    uint32_t secondReplies = 0; // replies to a request answered before
    uint32_t recoveredMs = 0;   // the link ran again this long after the quiet began
    bool crossed = false;       // a frame was taken across a reset (Bound)
    bool quiet = false;
    bool refusedLate = false;
    uint32_t quietStart = 0;
    // A reset of the program that a peer keeping the rules passes as a
    // repeat in its state 3 until then (0: none).
    uint32_t resetIgnoredUntil = 0;
    uint32_t aEpoch = 1;        // A's own resets and openings, counted
    bool takingCurrent = false; // the frame being taken is A's, sent since its last own reset
    uint32_t sentInRound[2] = {};
    uint32_t round[2] = {};
    uint32_t maxPerRound = 0;
    WireTrace peerTrace;
};

std::string FrameText(const Bytes& f);

// ---- our end: the real channel and session ------------------------------------------

class OurEnd : public End
{
public:
    OurEnd(Sim& sim, int who, uint8_t W, bool passive)
        : m_sim(sim), m_who(who), m_W(W), m_passive(passive)
    {
        Open();
    }
    ~OurEnd() override { Close(); }

    void Open()
    {
        size_t n = 0;
        const uint8_t* d = OxfrConnectData(&n);
        OlnkChannelOptions o;
        o.passive = m_passive;
        o.transportKind = 1;
        o.clock = [this] { return m_sim.now; };
        o.producerThreads = false;
        m_ch = OlnkCreateChannel(m_W, std::span<const uint8_t>(d, n), o);
        m_s = OxfrOpenSessionOnChannel(this, m_ch, 0);
        OxfrSessionCallbacks sc;
        sc.peerReset = [](void* u) {
            auto* e = static_cast<OurEnd*>(u);
            if (e->m_sim.tracing)
                e->m_sim.Log(std::string(e->Name()) +
                             " session: peer reset, requests end with -123");
            if (e->m_who == 0) {
                ++e->m_sim.connection;
                e->m_sim.EndPending(-123);
            }
            return 0;
        };
        sc.linkReset = [](void* u) {
            auto* e = static_cast<OurEnd*>(u);
            if (e->m_sim.tracing)
                e->m_sim.Log(std::string(e->Name()) +
                             " session: own reset, requests end with -123");
            if (e->m_who == 0) {
                ++e->m_sim.connection;
                e->m_sim.OwnResetOfA();
                e->m_sim.EndPending(-123);
            }
        };
        OxfrSetSessionCallbacks(m_s, &sc);
        OxfrLinkCallbacks lc;
        lc.reply = [](void* u, uint8_t, int8_t status, uint32_t param, const uint8_t*, size_t) {
            auto* e = static_cast<OurEnd*>(u);
            if (e->m_who == 0)
                e->m_sim.Result(param, status, true);
        };
        OxfrSetLinkCallbacks(m_s, &lc);
        m_lastTx = m_sim.now - kIdleMs; // the connect frame goes at the first turn
    }
    // The connection number counts the channel's resets; while a reset is
    // open it reads 0, and the reset counts already.
    uint32_t Resets() override
    {
        if (!m_ch)
            return m_resetsBefore;
        if (const uint32_t c = OlnkGetConnection(m_ch))
            m_connectionResets = c - 1;
        else if (!m_inReset)
            ++m_connectionResets;
        m_inReset = OlnkGetConnection(m_ch) == 0;
        return m_resetsBefore + m_connectionResets;
    }
    void Close()
    {
        if (m_ch)
            m_resetsBefore = Resets() + 1;
        m_connectionResets = 0;
        m_inReset = false;
        if (m_s)
            OxfrCloseSession(m_s);
        m_s = nullptr;
        m_ch = nullptr;
    }
    // The program closed and opened again (a new channel, its connect frame
    // numbered 1).
    void Reopen()
    {
        Close();
        m_sim.EndPending(-124);
        ++m_sim.opening;
        m_sim.OwnResetOfA();
        Open();
    }
    // The simulator's own reset.
    void ResetAsSimulator()
    {
        size_t n = 0;
        const uint8_t* d = OxfrConnectData(&n);
        OlnkConnect(m_ch, uint16_t(n), d);
    }

    const char* Name() const { return m_who == 0 ? "A" : "B"; }
    uint32_t NextTurnIn(uint32_t now) const override
    {
        return now - m_lastTx >= kIdleMs ? 1 : kIdleMs - (now - m_lastTx);
    }
    OxfrSession Session() const { return m_s; }
    OlnkChannel Channel() const { return m_ch; }

    void Take(const Bytes& frame) override
    {
        OlnkReceiveDatagram(m_ch, frame, false);
        Turn();
    }

    // As the UDP thread and the session thread take turns.
    void Turn() override
    {
        OxfrSessionTurn(m_s);
        Send();
        OlnkCheckConnectTimeout(m_ch);
        if (OlnkCheckStall(m_ch))
            if (m_sim.tracing)
                m_sim.Log(std::string(Name()) + " channel resets itself (stall)");
        OxfrSessionTurn(m_s);
        Send();
    }

    bool Runs() override
    {
        const int st = OlnkGetLinkState(m_ch);
        return st == OLNK_STATE_RUNNING || st == OLNK_STATE_RESET_DONE;
    }
    std::string State() override
    {
        return std::string(Name()) + " state " + std::to_string(OlnkGetLinkState(m_ch)) +
               (OxfrIsEstablished(m_s) ? " established" : " not established");
    }

private:
    void Send()
    {
        bool idleDue = m_sim.now - m_lastTx >= kIdleMs;
        uint8_t buf[OLNK_MAX_FRAME];
        for (int k = 0; k < 1000; ++k) {
            OlnkFrameMode mode = OlnkFrameMode::None;
            if (OlnkTakeAckNeeded(m_ch))
                mode = OlnkFrameMode::Ack;
            else if (idleDue)
                mode = OlnkFrameMode::Idle;
            uint16_t len = 0;
            OlnkNextFrame(m_ch, buf, &len, mode);
            if (len == 0)
                break;
            m_lastTx = m_sim.now;
            idleDue = false;
            m_sim.Emit(m_who, Bytes(buf, buf + len));
        }
    }

    Sim& m_sim;
    const int m_who;
    const uint8_t m_W;
    const bool m_passive;
    OlnkChannel m_ch = nullptr;
    uint32_t m_resetsBefore = 0;     // of the channels closed before this one
    uint32_t m_connectionResets = 0; // of this channel, as its connection number tells
    bool m_inReset = false;
    OxfrSession m_s = nullptr;
    uint32_t m_lastTx = 0;
};

// ---- the control system that keeps the link rules ---------------------------------------

class RulesEnd : public End
{
public:
    RulesEnd(Sim& sim, uint8_t W, bool ackFirst)
        : m_sim(sim), m_peer(
                          W, [this](const Bytes& f) { m_sim.Emit(1, f); }, sim.peerTrace)
    {
        m_peer.AcknowledgeResetFirst(ackFirst);
        m_peer.SetClock([this] {
            return std::chrono::steady_clock::time_point{} + std::chrono::milliseconds(m_sim.now);
        });
        m_lastIdle = sim.now;
    }
    void Take(const Bytes& frame) override
    {
        std::vector<WireFrame> frames;
        FrameReader reader;
        reader.Feed(frame.data(), frame.size(), frames);
        for (const WireFrame& f : frames) {
            if (f.connect() && m_peer.State() == 3 &&
                (OlnkGetLinkState(static_cast<OurEnd&>(*m_sim.a).Channel()) ==
                     OLNK_STATE_RESET_BY_US ||
                 (m_sim.takingCurrent && (f.seq & 0x7F) == 1))) {
                // The program's reset meets the ten seconds of this peer's
                // state 3, where every frame passes and a connect frame
                // numbered 1 is a repeat: it is answered only after them.
                // Also when the program's channel left its state 2 on a
                // frame of this peer's that was on its way (its connect
                // frame sent again, acknowledging that frame).
                m_sim.ResetPassedUntil(StateThreeEnds());
            }
            m_peer.Take(f);
        }
    }
    // When this peer's ten seconds of state 3 end (0: not in state 3).
    uint32_t StateThreeEnds() override
    {
        if (m_peer.State() != 3)
            return 0;
        const auto since =
            std::chrono::duration_cast<std::chrono::milliseconds>(m_peer.StateSince().time_since_epoch())
                .count();
        return uint32_t(since) + OLNK_RESET_WINDOW_MS + kPeerIdleMs + kIdleMs;
    }
    void Turn() override
    {
        if (m_sim.now - m_lastIdle >= kPeerIdleMs) {
            m_lastIdle = m_sim.now;
            m_peer.Idle();
        }
    }
    bool Runs() override
    {
        const int st = m_peer.State();
        return st == 0 || st == 3;
    }
    std::string State() override { return "B (rules) state " + std::to_string(m_peer.State()); }
    uint32_t Resets() override { return m_peer.Resets(); }
    uint32_t NextTurnIn(uint32_t now) const override
    {
        return now - m_lastIdle >= kPeerIdleMs ? 1 : kPeerIdleMs - (now - m_lastIdle);
    }

private:
    Sim& m_sim;
    RulesPeer m_peer;
    uint32_t m_lastIdle = 0;
};

// ---- the simulation ----------------------------------------------------------------------

inline std::string FrameText(const Bytes& f)
{
    if (f.size() < 10)
        return "(short)";
    char head[64];
    const uint16_t control = uint16_t(f[5] | f[6] << 8);
    std::snprintf(head, sizeof head, "#%u ack %02X%s%s", f[7], f[4],
                  control & 0x800 ? " connect" : "", (control & 0x3FF) == 0 ? " empty" : "");
    std::string t = head;
    const size_t n = control & 0x3FF;
    if (n) {
        t += " [";
        for (size_t i = 10, k = 0; i < f.size() && k < std::min<size_t>(n, 8); ++i, ++k) {
            char b[4];
            std::snprintf(b, sizeof b, k ? " %02X" : "%02X", f[i]);
            t += b;
            if ((f[i] == 0xF9 || f[i] == 0xFE) && i + 1 < f.size())
                ++i;
        }
        t += n > 8 ? " ...]" : "]";
    }
    return t;
}

inline Sim::Sim(const Scenario& s, bool tr) : tracing(tr), sc(s)
{
    peerTrace.Enable(false);
    a = std::make_unique<OurEnd>(*this, 0, s.W, false);
    if (s.peer == Peer::Ours)
        b = std::make_unique<OurEnd>(*this, 1, s.W, true);
    else
        b = std::make_unique<RulesEnd>(*this, s.W, s.peer == Peer::RulesAckFirst);
}

inline Sim::~Sim()
{
    a.reset();
    b.reset();
}

inline void Sim::Emit(int from, const Bytes& bytes)
{
    if (tracing)
        Log(std::string(from == 0 ? "A->B " : "B->A ") + FrameText(bytes) +
            (quiet ? "" : "  (on the wire)"));
    const uint32_t generation = Generation();
    if (bytes.size() >= 7 && (bytes[6] & 0x08)) {
        bool known = false;
        for (OnWire& w : connects)
            if (w.from == from && w.bytes == bytes) {
                known = true;
                w.generation = generation; // a copy now is one of the latest sending
            }
        if (!known)
            connects.push_back({from, bytes, 0, generation});
    }
    wire.push_back({from, bytes, from == 0 ? aEpoch : 0, generation});
    if (quiet) {
        const uint32_t r = now / kIdleMs;
        if (r != round[from]) {
            round[from] = r;
            sentInRound[from] = 0;
        }
        maxPerRound = std::max(maxPerRound, ++sentInRound[from]);
    }
}

inline std::vector<Action> Sim::Options(bool exhaustive)
{
    std::vector<Action> o;
    o.push_back({Action::Tick, 0, 250});
    const size_t onWire = std::min<size_t>(wire.size(), exhaustive ? 4 : wire.size());
    for (size_t i = 0; i < onWire; ++i)
        o.push_back({Action::Deliver, uint16_t(i)});
    if (!wire.empty()) {
        o.push_back({Action::Dup, 0});
        o.push_back({Action::Drop, 0});
    }
    const size_t late = std::min<size_t>(connects.size(), 3);
    for (size_t j = 0; j < late; ++j)
        o.push_back({Action::Late, uint16_t(connects.size() - 1 - j)});
    return o;
}

inline void Sim::Tick(uint32_t dt)
{
    now += dt;
    IssueRequest(false);
    a->Turn();
    b->Turn();
    if (quiet)
        Pump();
}

inline void Sim::Apply(const Action& x)
{
    switch (x.kind) {
    case Action::Tick:
        if (tracing)
            Log("tick " + std::to_string(x.ms) + " ms");
        Tick(x.ms);
        break;
    case Action::Deliver:
    case Action::Dup: {
        const OnWire w = wire[x.index];
        if (x.kind == Action::Deliver)
            wire.erase(wire.begin() + x.index);
        if (tracing)
            Log(std::string(x.kind == Action::Dup ? "copy of " : "deliver ") +
                (w.from == 0 ? "A->B " : "B->A ") + FrameText(w.bytes));
        takingCurrent = w.from == 0 && w.epoch == aEpoch;
        NoteTaken(w);
        (w.from == 0 ? b : a)->Take(w.bytes);
        takingCurrent = false;
        break;
    }
    case Action::Drop:
        if (tracing)
            Log(std::string("lost ") + (wire[x.index].from == 0 ? "A->B " : "B->A ") +
                FrameText(wire[x.index].bytes));
        wire.erase(wire.begin() + x.index);
        break;
    case Action::Late: {
        const OnWire w = connects[x.index];
        if (tracing)
            Log(std::string("late copy ") + (w.from == 0 ? "A->B " : "B->A ") + FrameText(w.bytes));
        NoteTaken(w);
        (w.from == 0 ? b : a)->Take(w.bytes);
        break;
    }
    case Action::ResetA:
        if (tracing)
            Log("A closed and opened again");
        static_cast<OurEnd&>(*a).Reopen();
        a->Turn();
        break;
    case Action::ResetB:
        if (sc.peer == Peer::Ours) {
            if (tracing)
                Log("B resets");
            static_cast<OurEnd&>(*b).ResetAsSimulator();
            b->Turn();
        }
        break;
    }
}

inline void Sim::Pump()
{
    for (int n = 0; !wire.empty(); ++n) {
        if (n > 20000) {
            Fail("more than 20000 frames passed at one instant (a storm)");
            wire.clear();
            return;
        }
        const OnWire w = wire.front();
        wire.erase(wire.begin());
        if (tracing)
            Log(std::string("deliver ") + (w.from == 0 ? "A->B " : "B->A ") + FrameText(w.bytes));
        takingCurrent = w.from == 0 && w.epoch == aEpoch;
        NoteTaken(w);
        (w.from == 0 ? b : a)->Take(w.bytes);
        takingCurrent = false;
    }
}

inline void Sim::Warmup(Start start)
{
    quiet = true;
    for (int i = 0; i < 4; ++i)
        Step(50);
    if (start == Start::Running) {
        Step(OLNK_RESET_WINDOW_MS + 500); // past the ten seconds of state 3
        Step(50);
    }
    IssueRequest(false);
    Pump();
    quiet = false;
    maxPerRound = 0;
    crossed = false; // the wire so far was quiet: every frame in order
}

inline void Sim::Step(uint32_t dt)
{
    now += dt;
    a->Turn();
    b->Turn();
    Pump();
}

inline uint32_t Sim::NextTurnIn() const
{
    return std::max<uint32_t>(1, std::min(a->NextTurnIn(now), b->NextTurnIn(now)));
}

inline void Sim::IssueRequest(bool inQuiet)
{
    auto* e = static_cast<OurEnd*>(a.get());
    if (inQuiet) {
        for (const auto& [p, r] : requests)
            if (r.results == 0 && r.issuedAt >= quietStart && now - r.issuedAt < kLostMs)
                return; // one at a time
    }
    const uint32_t param = nextParam;
    if (OlnkRequestGetStatus(e->Session(), param)) {
        ++nextParam;
        requests[param] = Request{now};
        requests[param].opening = opening;
        if (tracing)
            Log("A requests GetStatus, parameter " + std::to_string(param));
    } else if (inQuiet && now > RecoverFrom() + Bound() &&
               sys::GetLastError() != OLNK_E_TIMEOUT) {
        // A full window (W 1) makes a request wait for its slot; any other
        // refusal after the link ran again is one too many.
        Fail("request refused " + std::to_string(now - quietStart) +
             " ms after the wire turned quiet");
    }
}

inline void Sim::Result(uint32_t param, int status, bool fromPeer)
{
    const auto it = requests.find(param);
    if (it == requests.end()) {
        Fail("a reply for a request never sent, parameter " + std::to_string(param));
        return;
    }
    Request& r = it->second;
    if (fromPeer && r.opening != opening) {
        // A reply to a request of the link closed since, that a late copy
        // of the peer's connect reply let through in step: the reopened
        // link object has no such request and ignores it.
        if (tracing)
            Log("reply for parameter " + std::to_string(param) + " of the closed link ignored");
        return;
    }
    if (r.results > 0 && fromPeer && r.answered) {
        // A second reply from the peer: its frames of an earlier connection
        // let through in step by a late copy (no frame names its
        // connection), or the request, sent again across the peer's reset,
        // ran twice there.  The link object matches replies to the requests
        // that wait and ignores it; the count is printed.
        if (tracing)
            Log("second reply for parameter " + std::to_string(param) +
                (r.resultIn != connection ? " (an earlier connection)" : "") + " ignored");
        ++secondReplies;
        return;
    }
    if (r.results > 0 && fromPeer && !r.answered) {
        if (tracing)
            Log("late reply for parameter " + std::to_string(param) + " ignored (ended before)");
        return;
    }
    if (++r.results > 1) {
        Fail("request " + std::to_string(param) + " got a second result " + std::to_string(status));
        return;
    }
    r.answered = fromPeer;
    r.status = status;
    r.resultIn = connection;
    if (tracing)
        Log("A result for parameter " + std::to_string(param) + ": " + std::to_string(status));
}

inline void Sim::EndPending(int status)
{
    for (auto& [p, r] : requests)
        if (r.results == 0)
            Result(p, status, false);
}

inline bool Sim::Quiet()
{
    if (tracing)
        Log("---- the wire turns quiet (frames still on it are lost)");
    wire.clear();
    quiet = true;
    quietStart = now;
    maxPerRound = 0;
    round[0] = round[1] = now / kIdleMs;
    sentInRound[0] = sentInRound[1] = 0;
    bool up = false;
    const uint32_t bound = 3u * sc.W + 20;
    while (now < RecoverFrom() + std::max(kQuietMs, Bound() + kIdleMs) && failure.empty()) {
        IssueRequest(true);
        a->Turn();
        b->Turn();
        Pump();
        // A request waiting for the window's slot goes as soon as the slot
        // frees, as the link object's does.
        const uint32_t before = nextParam;
        IssueRequest(true);
        if (nextParam != before) {
            a->Turn();
            b->Turn();
            Pump();
        }
        if (!up) {
            bool answered = false;
            for (const auto& [p, r] : requests)
                answered |= r.answered && r.issuedAt >= quietStart;
            up = answered && a->Runs() && b->Runs() &&
                 OxfrIsEstablished(static_cast<OurEnd&>(*a).Session());
            if (up)
                recoveredMs = now > RecoverFrom() ? now - RecoverFrom() : 0;
            if (up && recoveredMs > Bound())
                Fail("the link ran again with a request answered only " + std::to_string(recoveredMs) +
                     " ms after the wire turned quiet");
            if (up)
                if (tracing)
                    Log("link runs and a request was answered, " +
                        std::to_string(now - quietStart) + " ms after quiet");
        }
        if (!up && now >= RecoverFrom() + Bound())
            Fail("link not running with a request answered " + std::to_string(Bound()) +
                 " ms after the wire turned quiet: " + a->State() + ", " + b->State());
        if (maxPerRound > bound)
            Fail("an end sent " + std::to_string(maxPerRound) +
                 " frames in one resend round (bound " + std::to_string(bound) + ")");
        now += std::min(NextTurnIn(), kQuietStepMs);
    }
    if (failure.empty()) {
        if (!up)
            Fail("link not running with a request answered when the quiet wire ended");
        if (!a->Runs() || !b->Runs())
            Fail("an end rests in a reset: " + a->State() + ", " + b->State());
        for (auto& [p, r] : requests)
            if (r.results == 0 && r.issuedAt + kLostMs < now) {
                if (tracing)
                    Log("request " + std::to_string(p) +
                        " lost, ends by the link object's time-out");
                Result(p, -122, false);
            }
    }
    return failure.empty();
}

// ---- schedules --------------------------------------------------------------------------

// The choices of one schedule: from a list of digits (exhaustive search) or
// a seeded generator.
struct Chooser
{
    std::vector<uint8_t> digits; // exhaustive
    std::mt19937* rng = nullptr;
    int invalidAt = -1;
    std::vector<uint16_t> taken; // the choices made, for the report
};

struct Outcome
{
    bool valid = true; // the digits named options that existed
    bool ok = true;
    int invalidAt = -1;
    uint32_t secondReplies = 0;
    uint32_t recoveredMs = 0; // after the wire turned quiet
    bool crossed = false;     // a frame was taken across a reset: the bound kCrossedRecoverMs
    std::string failure;
    std::vector<std::string> trace;
};

// Random actions: ticks of several lengths, any frame on the wire, copies,
// losses, late copies of any connect frame, and resets of either end.
inline Action RandomAction(Sim& sim, std::mt19937& rng)
{
    static const uint32_t ticks[] = {1, 20, 250, 600, 2100};
    for (;;) {
        switch (rng() % 10) {
        case 0:
        case 1:
            return {Action::Tick, 0, ticks[rng() % 5]};
        case 2:
        case 3:
        case 4:
            if (!sim.wire.empty())
                return {Action::Deliver, uint16_t(rng() % sim.wire.size())};
            break;
        case 5:
            if (!sim.wire.empty())
                return {Action::Dup, uint16_t(rng() % sim.wire.size())};
            break;
        case 6:
            if (!sim.wire.empty())
                return {Action::Drop, uint16_t(rng() % sim.wire.size())};
            break;
        case 7:
        case 8:
            if (!sim.connects.empty())
                return {Action::Late, uint16_t(rng() % sim.connects.size())};
            break;
        default:
            if (rng() % 8 == 0)
                return {rng() % 2 ? Action::ResetA : Action::ResetB, 0};
            break;
        }
    }
}

// Runs one schedule: the scenario's start, depth steps, the quiet wire.
inline Outcome RunSchedule(const Scenario& sc, const std::vector<uint8_t>& digits,
                           std::mt19937* rng, int depth, bool tracing)
{
    Outcome out;
    Sim sim(sc, tracing);
    sim.Warmup(sc.start);
    if (sc.pre == Pre::ResetA)
        sim.Apply({Action::ResetA});
    else if (sc.pre == Pre::ResetB)
        sim.Apply({Action::ResetB});
    for (int k = 0; k < depth; ++k) {
        if (rng) {
            sim.Apply(RandomAction(sim, *rng));
            continue;
        }
        const std::vector<Action> options = sim.Options(true);
        if (digits[size_t(k)] >= options.size()) {
            out.valid = false;
            out.invalidAt = k;
            return out;
        }
        sim.Apply(options[digits[size_t(k)]]);
    }
    out.ok = sim.Quiet();
    out.failure = sim.failure;
    out.secondReplies = sim.secondReplies;
    out.recoveredMs = sim.recoveredMs;
    out.crossed = sim.crossed;
    out.trace = std::move(sim.trace);
    return out;
}

inline std::string Digits(const std::vector<uint8_t>& d)
{
    std::string t = "{";
    for (size_t i = 0; i < d.size(); ++i)
        t += (i ? ", " : "") + std::to_string(d[i]);
    return t + "}";
}

inline std::string TraceText(const std::vector<std::string>& trace, size_t last = 400)
{
    std::string t = "\nwire trace:\n";
    if (std::getenv("SW_LINK_EXPLORE_TRACE_ALL"))
        last = trace.size();
    const size_t from = trace.size() > last ? trace.size() - last : 0;
    for (size_t i = from; i < trace.size(); ++i)
        t += "  " + trace[i] + "\n";
    return t;
}

} // namespace linktest::explore
