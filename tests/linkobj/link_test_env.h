#pragma once
// Helpers of the link object's integration tests: a QCoreApplication, plain
// QObjects registered with the message bridge that record what they get,
// and a raw peer over UDP on 127.0.0.1 made only of a passive channel.

#include "link/linkobj/olnk_link.h"
#include "link/olnk/olnk_open.h"
#include "link/oxfr/oxfr.h"
#include "link/ui/LinkMessages.h"
#include "tests/support/link/LinkTestText.h"
#include "tests/support/link/MessageQueue.h"
#include "tests/support/platform/PtyPair.h"

#include <QCoreApplication>
#include <QObject>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace linktest {

using Bytes = std::vector<uint8_t>;

inline QCoreApplication* App()
{
    static int argc = 1;
    static char name[] = "olnk_link";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* app = new QCoreApplication(argc, argv);
    return app;
}

// Pumps the user-interface thread's events until pred holds; the tick
// wakes the wait for the link threads' state.
inline bool Pump(const std::function<bool()>& pred, int ms = 10000)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    QTimer tick;
    tick.start(1);
    while (!pred()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return true;
}
inline void PumpFor(int ms)
{
    Pump([] { return false; }, ms);
}

struct Got
{
    uint32_t msg = 0;
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
    bool hasRecord = false;
    LinkResultRecord rec{};
    Bytes data;               // dataLength bytes
    Bytes padded;             // the padding behind, up to 100 bytes
    std::u16string listing;   // kind 3: the file name
    bool listingExisted = false;
};

// A plain object registered as a message target that records its messages.
class Target
{
public:
    Target()
    {
        handle = ui::RegisterMessageTarget(&obj, [this](uint32_t m, std::uintptr_t w, std::intptr_t l,
                                                        ui::MessageRecord* r) {
            Got g;
            g.msg = m;
            g.wParam = w;
            g.lParam = l;
            if ((m == WM_LINK_RESULT || m == WM_XFER_RESULT) && l) {
                g.hasRecord = r != nullptr;
                g.rec = *linkui::ResultOf(l);
                if (g.rec.data) {
                    const auto* p = static_cast<const uint8_t*>(g.rec.data);
                    g.data.assign(p, p + g.rec.dataLength);
                }
                if (m == WM_XFER_RESULT && g.rec.kind == 3 && g.rec.data) {
                    g.listing = static_cast<const char16_t*>(g.rec.data);
                    g.listingExisted = std::filesystem::exists(std::string(g.listing.begin(), g.listing.end()));
                }
            }
            if (onMessage)
                onMessage(g);
            got.push_back(std::move(g));
            return 0;
        });
    }
    std::vector<Got> Of(uint32_t m) const
    {
        std::vector<Got> out;
        for (const auto& g : got)
            if (g.msg == m)
                out.push_back(g);
        return out;
    }
    size_t Count(uint32_t m) const { return Of(m).size(); }
    QObject obj;
    ui::MessageHandle handle = 0;
    std::vector<Got> got;
    std::function<void(const Got&)> onMessage;
};

inline uint32_t U32(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
inline void Put32(Bytes& b, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b.push_back(uint8_t(v >> (8 * i)));
}

using testsupport::HexText;
using testsupport::UdpLoopbackConn;

inline std::u16string Wide(const std::string& s) { return std::u16string(s.begin(), s.end()); }

// A control system made of a passive channel: it answers connect messages
// with the connect reply and hands every other message to the test.
class RawPeer
{
public:
    RawPeer(uint16_t local, uint16_t remote)
    {
        size_t n = 0;
        const uint8_t* cd = OxfrConnectData(&n);
        m_connect.assign(cd, cd + n);
        OlnkOpenOptions o;
        o.passive = true;
        m_ch = OlnkOpenUdp(20, 0, {127, 0, 0, 1}, remote, local, m_connect, o);
        if (m_ch)
            m_thread = std::thread([this] { Loop(); });
    }
    ~RawPeer()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
        if (m_ch)
            OlnkCloseChannel(m_ch);
    }
    bool Ok() const { return m_ch != nullptr; }
    bool Send(const Bytes& m) { return OlnkSend(m_ch, uint16_t(m.size()), m.data(), 1, 2000) >= 0; }
    bool Receive(Bytes& out, int ms = 5000) { return m_in.Receive(out, ms); }
    size_t Pending() { return m_in.Pending(); }
    // Resets the link from this side: the other side sees a peer reset.
    // A channel still in link state 3 after its own connect takes a connect
    // frame as an ordinary one; it leaves state 3 on an in-order frame
    // numbered 0, so 128 messages (pushes of a kind nobody reads) go first.
    // delivered() tells when the other side has taken them.
    void ResetNow(const std::function<bool(uint64_t)>& delivered)
    {
        for (int i = 0; i < 130; ++i)
            Push(9, 0, {});
        Pump([&] { return delivered(130); });
        OlnkConnect(m_ch, uint16_t(m_connect.size()), m_connect.data());
    }
    void Reply(uint8_t code, uint32_t param, int8_t status, const Bytes& data = {})
    {
        Bytes m{1, 1, code};
        Put32(m, param);
        m.push_back(uint8_t(status));
        m.insert(m.end(), data.begin(), data.end());
        Send(m);
    }
    void Push(uint8_t kind, uint32_t param, const Bytes& data)
    {
        Bytes m{1, 2, kind};
        Put32(m, param);
        m.insert(m.end(), data.begin(), data.end());
        Send(m);
    }
    OlnkChannel Channel() const { return m_ch; }
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
            if (msg.size() >= 7 && msg[0] == 0 && msg[1] == 0 && msg[2] == 0) {
                ++connects;
                // connect reply: 0, 1, 0, parameter, status 0, u16 4, u16 1
                Bytes r{0, 1, 0};
                Put32(r, U32(msg.data() + 3));
                r.insert(r.end(), {0, 4, 0, 1, 0});
                OlnkConnect(m_ch, uint16_t(r.size()), r.data());
                continue;
            }
            if (msg.size() >= 3 && msg[0] == 0 && msg[1] == 1 && msg[2] == 0)
                continue; // a connect reply
            m_in.Add(std::move(msg));
        }
    }
    Bytes m_connect;
    OlnkChannel m_ch = nullptr;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    testsupport::MessageQueue m_in;
};

} // namespace linktest
