#include "link_pump.h"

#include <algorithm>

namespace linkpump {

Pump::Pump(Config config) : m_config(std::move(config)), m_rng(m_config.seed)
{
    for (int s = 0; s < 2; ++s) {
        OlnkChannelOptions o;
        o.passive = s == 0 ? m_config.passiveA : m_config.passiveB;
        o.clock = [this] { return m_now; };
        const Bytes& cd = s == 0 ? m_config.connectA : m_config.connectB;
        m_ch[s] = OlnkCreateChannel(m_config.window, cd, o);
    }
}

Pump::~Pump()
{
    for (auto* c : m_ch) {
        if (c)
            OlnkDestroyChannel(c);
    }
}

void Pump::send(Side s, Bytes message) { m_out[int(s)].push_back(std::move(message)); }

std::vector<Bytes> Pump::received(Side s)
{
    std::vector<Bytes> out;
    Bytes buf(OLNK_MAX_DATA);
    uint16_t len = 0;
    while (OlnkReceive(channel(s), &len, OLNK_MAX_DATA, buf.data(), 0))
        out.emplace_back(buf.begin(), buf.begin() + std::min<size_t>(len, OLNK_MAX_DATA));
    return out;
}

OlnkStatistics Pump::stats(Side s) const
{
    OlnkStatistics st{};
    st.size = sizeof st;
    OlnkGetStatistics(channel(s), &st);
    return st;
}

void Pump::submit(Side s)
{
    auto& q = m_out[int(s)];
    while (!q.empty()) {
        const Bytes& m = q.front();
        if (OlnkSend(channel(s), static_cast<uint16_t>(m.size()), m.data(), 1, 0) < 0)
            break;
        q.pop_front();
    }
}

void Pump::feed(Side to, const Bytes& bytes)
{
    OlnkAddRecBytes(channel(to), bytes.size());
    size_t i = 0;
    while (i < bytes.size()) {
        const size_t n = std::min<size_t>(bytes.size() - i, 1 + m_rng.Below(m_config.maxChunk));
        OlnkReceiveBytes(channel(to), std::span<const uint8_t>(bytes.data() + i, n));
        i += n;
    }
}

void Pump::corrupt(Bytes& f, CorruptMode mode)
{
    if (f.size() < 13)
        return;
    const size_t end = DataEnd(f);
    size_t index = 0;
    uint8_t mask = 0xFF;
    switch (mode) {
    case CorruptMode::Anywhere:
        index = m_rng.Below(static_cast<uint32_t>(f.size()));
        break;
    case CorruptMode::Header:
        index = m_rng.Below(OLNK_HEADER_SIZE);
        break;
    case CorruptMode::Data:
        if (end <= OLNK_HEADER_SIZE)
            return;
        index = OLNK_HEADER_SIZE + m_rng.Below(static_cast<uint32_t>(end - OLNK_HEADER_SIZE));
        break;
    case CorruptMode::Detectable: {
        const auto spots = DetectableSpots(f);
        const BitSpot& s = spots[m_rng.Below(static_cast<uint32_t>(spots.size()))];
        index = s.index;
        mask = s.mask;
        break;
    }
    }
    int bits[8];
    int nbits = 0;
    for (int b = 0; b < 8; ++b) {
        if (mask & (1 << b))
            bits[nbits++] = b;
    }
    f[index] ^= static_cast<uint8_t>(1u << bits[m_rng.Below(static_cast<uint32_t>(nbits))]);
}

OlnkFrameMode Pump::modeFor(Side s)
{
    if (m_config.policy == Policy::Serial)
        return OlnkFrameMode::Idle;
    if (OlnkTakeAckNeeded(channel(s)))
        return OlnkFrameMode::Ack;
    if (m_config.udpIdleEvery && m_turns % m_config.udpIdleEvery == 0)
        return OlnkFrameMode::Idle;
    return OlnkFrameMode::None;
}

Bytes Pump::transfer(Side from, OlnkFrameMode mode)
{
    const Side to = Other(from);
    submit(from);
    Bytes frame(OLNK_MAX_FRAME);
    uint16_t len = 0;
    OlnkNextFrame(channel(from), frame.data(), &len, mode);
    frame.resize(len);
    submit(from);
    if (len == 0)
        return frame;
    OlnkAddSendBytes(channel(from), len);
    if (onFrame)
        onFrame(from, frame);
    Faults& f = m_faults[int(from)];
    std::vector<Bytes> deliver;
    if (!m_rng.Chance(f.drop)) {
        Bytes copy = frame;
        if (m_rng.Chance(f.corrupt))
            corrupt(copy, f.corruptMode);
        if (m_rng.Chance(f.reorder)) {
            m_held[int(from)].push_back(std::move(copy));
        } else {
            deliver.push_back(copy);
            if (m_rng.Chance(f.duplicate))
                deliver.push_back(copy);
            for (auto& h : m_held[int(from)])
                deliver.push_back(std::move(h));
            m_held[int(from)].clear();
        }
    }
    for (const Bytes& d : deliver) {
        if (m_rng.Chance(f.inject)) {
            const Bytes junk = m_rng.RandomBytes(1 + m_rng.Below(40));
            feed(to, junk);
        }
        feed(to, d);
    }
    return frame;
}

void Pump::turn()
{
    for (Side s : {Side::A, Side::B}) {
        if (m_config.autoConnect && linkState(s) == OLNK_STATE_RESET_BY_PEER) {
            const Bytes& cd = s == Side::A ? m_config.connectA : m_config.connectB;
            OlnkConnect(channel(s), static_cast<uint16_t>(cd.size()), cd.data());
        }
        if (m_faults[int(s)].hold)
            continue;
        transfer(s, modeFor(s));
    }
    m_now += m_config.msPerTurn;
    ++m_turns;
    OlnkCheckConnectTimeout(a());
    OlnkCheckConnectTimeout(b());
}

bool Pump::runUntil(const std::function<bool()>& pred, int maxTurns)
{
    for (int i = 0; i < maxTurns; ++i) {
        if (pred())
            return true;
        turn();
    }
    return pred();
}

bool Pump::connected()
{
    auto ok = [](int s) { return s == OLNK_STATE_RUNNING || s == OLNK_STATE_RESET_DONE; };
    return ok(linkState(Side::A)) && ok(linkState(Side::B));
}

} // namespace linkpump
