#include "link/ui/ConInfoModel.h"

#include <cmath>

namespace linkui {

const SetupRow kSetupRows[kSeries] = {
    {u"Vysláno bytů", 6, 11015, 11023, 11033, 11031},   {u"Přijato bytů", 4, 11016, 11024, 11034, 11032},
    {u"Zařazeno bytů", 2, 11017, 11025, 11035, 11041},  {u"Vyřazeno bytů", 0, 11018, 11026, 11036, 11042},
    {u"Vysláno paketů", 7, 11019, 11027, 11037, 11043}, {u"Přijato paketů", 5, 11020, 11028, 11038, 11044},
    {u"Zařazeno paketů", 3, 11021, 11029, 11039, 11045}, {u"Vyřazeno paketů", 1, 11022, 11030, 11040, 11046},
};

GraphSettings GraphSettings::Defaults()
{
    GraphSettings g;
    g.intervalMs = 1000;
    const uint32_t colours[kSeries] = {0xFFFF00, 0x4080FF, 0x00FF00, 0xFF00FF, 0x00FFFF, 0xFF0080, 0x0000FF, 0xFF0000};
    for (int i = 0; i < kSeries; ++i)
        g.series[size_t(i)] = {i % 2 == 0 ? 1u : 0u, i % 2 == 0 ? 20000u : 1000u, colours[i]};
    return g;
}

uint64_t CounterOfSlot(const OlnkStatistics& s, int slot)
{
    switch (slot) {
    case 0: return s.GetBytes;
    case 1: return s.GetPackets;
    case 2: return s.PutBytes;
    case 3: return s.PutPackets;
    case 4: return s.RecBytes;
    case 5: return s.RecPackets;
    case 6: return s.SendBytes;
    default: return s.SendPackets;
    }
}

int32_t Rate(uint64_t before, uint64_t now, uint64_t timeBefore, uint64_t timeNow)
{
    const int64_t dt = int64_t(timeNow - timeBefore);
    if (dt <= 0)
        return 0;
    const double r = double(int64_t(now - before)) * 10000000.0 / double(dt);
    if (!(r > -2147483648.0 && r < 2147483648.0))
        return r > 0 ? INT32_MAX : INT32_MIN;
    return int32_t(r);
}

bool SameChannel(const OlnkStatistics& b, const OlnkStatistics& n)
{
    if (b.start.dwLowDateTime != n.start.dwLowDateTime || b.start.dwHighDateTime != n.start.dwHighDateTime)
        return false;
    if (n.ConnectionTime < b.ConnectionTime)
        return false;
    for (int slot = 0; slot < kSeries; ++slot)
        if (CounterOfSlot(n, slot) < CounterOfSlot(b, slot))
            return false;
    return n.HeaderErr >= b.HeaderErr && n.DataErr >= b.DataErr && n.NAKs >= b.NAKs && n.ProgramErr >= b.ProgramErr;
}

ConInfoModel::ConInfoModel() = default;

std::optional<Rates> ConInfoModel::Reading(const OlnkStatistics& now)
{
    std::optional<Rates> out;
    if (m_valid && SameChannel(m_previous, now)) {
        Rates r;
        for (int slot = 0; slot < kSeries; ++slot)
            r.bySlot[size_t(slot)] = Rate(CounterOfSlot(m_previous, slot), CounterOfSlot(now, slot),
                                          m_previous.ConnectionTime, now.ConnectionTime);
        m_rates = r;
        AddSample(r);
        out = r;
    }
    m_previous = now;
    m_valid = true;
    return out;
}

void ConInfoModel::AddSample(const Rates& r)
{
    m_newest = (m_newest + 1) % kRingSize;
    if (m_newest == m_oldest)
        m_oldest = (m_oldest + 1) % kRingSize;
    for (int slot = 0; slot < kSeries; ++slot)
        m_ring[size_t(slot)][size_t(m_newest)] = r.bySlot[size_t(slot)];
}

std::vector<ConInfoModel::Point> ConInfoModel::Polyline(int slot, int width, int height) const
{
    std::vector<Point> pts;
    const SeriesSettings& s = settings.series[size_t(slot)];
    if (!s.shown)
        return pts;
    const double range = int32_t(s.range) <= 0 ? 1.0 : double(s.range);
    const double scale = double(height - 6) / range;
    const int bottom = height;
    int x = width - 3;
    int i = m_newest;
    while (i != m_oldest && x > 3) {
        const int y = int((bottom - 3) - double(m_ring[size_t(slot)][size_t(i)]) * scale);
        pts.push_back({x + 1, y});
        pts.push_back({x, y});
        x -= 4;
        i = i == 0 ? kRingSize - 1 : i - 1;
    }
    return pts;
}

std::u16string CounterText(uint64_t v)
{
    const std::string s = std::to_string(v);
    return std::u16string(s.begin(), s.end());
}

bool ReadSettingNumber(const std::u16string& text, int64_t& value)
{
    size_t i = 0;
    while (i < text.size() && text[i] == u' ')
        ++i;
    bool neg = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+'))
        neg = text[i++] == u'-';
    const size_t first = i;
    int64_t v = 0;
    while (i < text.size() && text[i] >= u'0' && text[i] <= u'9') {
        v = v * 10 + (text[i] - u'0');
        if (v > int64_t(UINT32_MAX))
            return false;
        ++i;
    }
    while (i < text.size() && text[i] == u' ')
        ++i;
    if (i == first || i != text.size())
        return false;
    value = neg ? -v : v;
    return true;
}

} // namespace linkui
