#pragma once
// Helpers of the simulator tests: a raw peer made only of a channel, and a
// session of our own against a simulator over UDP on 127.0.0.1.
#include "link/olnk/olnk_open.h"
#include "link/oxfr/oxfr.h"
#include "tests/support/link/LinkTestText.h"
#include "tests/support/link/MessageQueue.h"
#include "tests/support/platform/PtyPair.h"
#include "tests/support/platform/Wait.h"
#include "tools/cssim/cssim.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

namespace cssimtest {

using Bytes = std::vector<uint8_t>;
using namespace std::chrono_literals;

inline Bytes Hex(const std::string& s)
{
    Bytes b;
    std::string digits;
    for (char c : s)
        if (c != ' ')
            digits += c;
    for (size_t i = 0; i + 1 < digits.size(); i += 2)
        b.push_back(uint8_t(std::stoul(digits.substr(i, 2), nullptr, 16)));
    return b;
}

using testsupport::HexText;
using testsupport::UdpLoopbackConn;

// A raw peer: one channel (active: it sends the connect message at start)
// and a thread that queues every message it receives.
class RawLinkPeer
{
public:
    RawLinkPeer(const std::string& conn)
    {
        const Bytes cm{0, 0, 0, 0, 0, 0, 0, 4, 0, 1, 0};
        m_ch = OlnkOpenChannelA(conn.c_str(), cm);
        if (!m_ch)
            return;
        m_thread = std::thread([this] {
            Bytes buf(1023);
            while (!m_stop) {
                uint16_t len = 0;
                if (!OlnkReceive(m_ch, &len, 1023, buf.data(), 20))
                    continue;
                m_in.Add(Bytes(buf.begin(), buf.begin() + std::min<size_t>(len, 1023)));
            }
        });
    }
    ~RawLinkPeer()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
        if (m_ch)
            OlnkCloseChannel(m_ch);
    }
    bool Ok() const { return m_ch != nullptr; }
    bool Send(const Bytes& m) { return OlnkSend(m_ch, uint16_t(m.size()), m.data(), 1, 2000) >= 0; }
    // The next message that matches (others stay queued).
    std::optional<Bytes> Next(const std::function<bool(const Bytes&)>& pred, int ms = 5000)
    {
        return m_in.Next(pred, ms);
    }
    std::optional<Bytes> Reply(uint8_t code, int ms = 5000)
    {
        return Next([code](const Bytes& b) { return b.size() >= 8 && b[0] == 1 && b[1] == 1 && b[2] == code; }, ms);
    }
    std::optional<Bytes> Push(uint8_t kind, int ms = 5000)
    {
        return Next([kind](const Bytes& b) { return b.size() >= 7 && b[0] == 1 && b[1] == 2 && b[2] == kind; }, ms);
    }
    void Clear() { m_in.Clear(); }
    OlnkChannel Channel() const { return m_ch; }

private:
    OlnkChannel m_ch = nullptr;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    testsupport::MessageQueue m_in;
};

// Collects what our session's callbacks deliver.
struct Results
{
    struct R
    {
        uint8_t code;
        int8_t status;
        uint32_t param;
        Bytes data;
    };
    std::mutex m;
    std::condition_variable cv;
    std::vector<R> replies, transfers, pushes;
    std::vector<uint8_t> events;
    int peerResets = 0;

    template <class P> bool WaitFor(P pred, int ms = 20000)
    {
        std::unique_lock<std::mutex> lk(m);
        return cv.wait_for(lk, std::chrono::milliseconds(ms), pred);
    }
    std::optional<R> Transfer(uint32_t param, int ms = 20000)
    {
        std::optional<R> out;
        WaitFor([&] {
            for (auto& r : transfers)
                if (r.param == param) {
                    out = r;
                    return true;
                }
            return false;
        }, ms);
        return out;
    }
    std::optional<R> Reply(uint8_t code, uint32_t param, int ms = 20000)
    {
        std::optional<R> out;
        WaitFor([&] {
            for (auto& r : replies)
                if (r.code == code && r.param == param) {
                    out = r;
                    return true;
                }
            return false;
        }, ms);
        return out;
    }
    static Results* Of(void* u) { return static_cast<Results*>(u); }
    static void Add(void* u, std::vector<R> Results::*list, R r)
    {
        auto* x = Of(u);
        std::lock_guard<std::mutex> g(x->m);
        (x->*list).push_back(std::move(r));
        x->cv.notify_all();
    }
    void Install(OxfrSession s)
    {
        OxfrSessionCallbacks sc;
        sc.peerReset = [](void* u) {
            auto* x = Of(u);
            std::lock_guard<std::mutex> g(x->m);
            ++x->peerResets;
            x->cv.notify_all();
            return 0;
        };
        sc.linkEvent = [](void* u, uint8_t c) {
            auto* x = Of(u);
            std::lock_guard<std::mutex> g(x->m);
            x->events.push_back(c);
            x->cv.notify_all();
        };
        OxfrSetSessionCallbacks(s, &sc);
        OxfrLinkCallbacks lc;
        lc.reply = [](void* u, uint8_t c, int8_t st, uint32_t p, const uint8_t* d, size_t n) {
            Add(u, &Results::replies, {c, st, p, Bytes(d, d + n)});
        };
        lc.pushed2 = [](void* u, uint8_t c, uint32_t p, const uint8_t* d, size_t n) {
            Add(u, &Results::pushes, {c, 0, p, Bytes(d, d + n)});
        };
        OxfrSetLinkCallbacks(s, &lc);
        OxfrTransferCallbacks tc;
        tc.result = [](void* u, uint8_t c, int8_t st, uint32_t p, const uint8_t* d, size_t n) {
            Add(u, &Results::transfers, {c, st, p, Bytes(d, d + n)});
        };
        OxfrSetTransferCallbacks(s, &tc);
    }
};

// A simulator on UDP and our session against it.
struct SimAndSession
{
    uint16_t ourPort = testsupport::PickFreeUdpPort();
    std::unique_ptr<cssim::Simulator> sim;
    Results res;
    OxfrSession s = nullptr;
    bool established = false;

    explicit SimAndSession(cssim::Config cfg = {}, uint32_t jobTimeoutMs = 0)
    {
        cfg.udpLocalPort = testsupport::PickFreeUdpPort();
        cfg.peerPort = ourPort;
        sim = std::make_unique<cssim::Simulator>(cfg);
        if (!sim->start())
            return;
        s = OxfrOpenSessionA(&res, UdpLoopbackConn(ourPort, sim->publicPort()).c_str(), 1000);
        if (!s)
            return;
        res.Install(s);
        if (jobTimeoutMs)
            OxfrSetJobTimeout(s, jobTimeoutMs);
        OlnkResumeSession(s);
        established = testsupport::WaitUntil([this] { return OxfrIsEstablished(s) != 0; }, 10000);
    }
    ~SimAndSession()
    {
        if (s)
            OxfrCloseSession(s);
        sim.reset();
    }
    OlnkStatistics Stats()
    {
        OlnkStatistics st{};
        st.size = sizeof st;
        OlnkGetStatistics(OxfrGetChannel(s), &st);
        return st;
    }
};

} // namespace cssimtest
