// The simulator's public face: start and stop, scripts, global actions and
// the figures of its channel (the engine is in engine.h).
#include "tools/cssim/engine.h"
#include "tools/cssim/shim.h"

#include "link/olnk/olnk_open.h"
#include "platform/sys/LastError.h"

namespace cssim {

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
    // A passive channel sends nothing at start; it keeps the connect message
    // for a reset of its own (when it falls out of step with our side).
    const std::span<const uint8_t> cd(connect.data(), connect.size());
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

} // namespace cssim
