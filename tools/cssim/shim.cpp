#include "tools/cssim/shim.h"

namespace cssim {

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
        // Injected bytes are line noise: those the line does not take are
        // lost as noise is.
        (void)m_impl->bridge->PairA().WriteMaster(bytes.data(), bytes.size());
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

} // namespace cssim
