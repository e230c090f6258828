#pragma once
// The pure core of the connection monitor: rates from two statistics
// readings, the ring of 1000 samples of the eight series, the graph
// settings with their defaults, the setup rows and the polylines of the
// graph.  No widgets.

#include "link/olnk/olnk.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace linkui {

// Series slots: 0 GetBytes, 1 GetPackets, 2 PutBytes, 3 PutPackets,
// 4 RecBytes, 5 RecPackets, 6 SendBytes, 7 SendPackets.
constexpr int kSeries = 8;
constexpr int kRingSize = 1000;

struct SeriesSettings
{
    uint32_t shown = 0;  // BOOL
    uint32_t range = 0;  // the value at the top of the graph
    uint32_t colour = 0; // 0x00BBGGRR
    bool operator==(const SeriesSettings&) const = default;
};

struct GraphSettings
{
    uint32_t intervalMs = 1000;
    std::array<SeriesSettings, kSeries> series{};
    bool operator==(const GraphSettings&) const = default;
    static GraphSettings Defaults();
};

// The eight rates per second of one tick, by slot, and the named ones of
// the statistics page.
struct Rates
{
    std::array<int32_t, kSeries> bySlot{};
    int32_t SendBytes() const { return bySlot[6]; }
    int32_t RecBytes() const { return bySlot[4]; }
    int32_t PutBytes() const { return bySlot[2]; }
    int32_t GetBytes() const { return bySlot[0]; }
    int32_t SendPackets() const { return bySlot[7]; }
    int32_t RecPackets() const { return bySlot[5]; }
    int32_t PutPackets() const { return bySlot[3]; }
    int32_t GetPackets() const { return bySlot[1]; }
};

// One row of the setup page, in row order ("Vysláno bytů" first).
struct SetupRow
{
    const char16_t* label;
    int slot;
    int checkId, rangeId, swatchId, rateId;
};
extern const SetupRow kSetupRows[kSeries];

// The counter of a slot in a reading.
uint64_t CounterOfSlot(const OlnkStatistics& s, int slot);
// (now - before) * 10 000 000 / (time now - time before), truncated to 32
// bits; 0 for a zero or negative divisor.
int32_t Rate(uint64_t before, uint64_t now, uint64_t timeBefore, uint64_t timeNow);
// Whether a reading comes from the same channel as the previous one (the
// same start, no counter went down, the time did not go back).
bool SameChannel(const OlnkStatistics& before, const OlnkStatistics& now);

class ConInfoModel
{
public:
    ConInfoModel();

    // The refresh's reading.  Returns the rates when a sample was added
    // (the previous reading valid and from the same channel); the reading
    // becomes the previous one in every case.
    std::optional<Rates> Reading(const OlnkStatistics& now);
    void Invalidate() { m_valid = false; }
    bool HasPrevious() const { return m_valid; }
    const OlnkStatistics& Previous() const { return m_previous; }
    const Rates& LastRates() const { return m_rates; }

    // The ring: the newest and oldest indices shared by all series.
    void AddSample(const Rates& r);
    int Newest() const { return m_newest; }
    int Oldest() const { return m_oldest; }
    int SampleCount() const { return (m_newest - m_oldest + kRingSize) % kRingSize; }
    int32_t Sample(int slot, int index) const { return m_ring[size_t(slot)][size_t(index)]; }

    GraphSettings settings = GraphSettings::Defaults();

    // The points of a series' polyline on a page of the given size, in
    // drawing order (newest first, at x = width - 3, one sample per 4
    // pixels, each sample as (x + 1, y) then (x, y)); empty when the series
    // is hidden.  A range of 0 or below is drawn as 1.
    struct Point
    {
        int x, y;
        bool operator==(const Point&) const = default;
    };
    std::vector<Point> Polyline(int slot, int width, int height) const;
    // The order in which the shown series are drawn.
    static constexpr std::array<int, kSeries> kDrawOrder{6, 4, 2, 0, 7, 5, 3, 1};

private:
    OlnkStatistics m_previous{};
    bool m_valid = false;
    Rates m_rates{};
    std::array<std::array<int32_t, kRingSize>, kSeries> m_ring{};
    int m_newest = 0;
    int m_oldest = 0;
};

// Number texts: counters in full 64 bits, rates as signed 32-bit values.
std::u16string CounterText(uint64_t v);
// A range or interval text read as a number; false when it is none.
bool ReadSettingNumber(const std::u16string& text, int64_t& value);

} // namespace linkui
