#pragma once
// The stored dock layout of a frame: one record per control bar, read and
// written through plain value callbacks, its validity and the plan that
// applies it.

#include "uilib/dock/DockGeom.h"

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace dock {

struct BarState
{
    uint32_t barId = 0;
    bool visible = true;
    bool floating = false;
    uint32_t dockId = 0;   // site id, 0 floating
    int row = 0;
    int pos = 0;
    int xPos = 0;          // the floating frame's global top-left
    int yPos = 0;
    int mruWidth = -1;
    bool horz = true;      // floats (or last floated) horizontally
    uint32_t mruDockId = 0;
    int mruDockRow = 0;
    int mruDockPos = 0;
    int mruFloatX = 0;
    int mruFloatY = 0;
    friend bool operator==(const BarState&, const BarState&) = default;
};

struct DockState
{
    std::vector<BarState> bars;
};

// The section names under a base section ("KVTWorkspace\ControlBars").
std::string SummarySection(const std::string& base);
std::string BarSection(const std::string& base, int index);

// Reads an integer of a section; none when it is missing.
using IntReader = std::function<std::optional<int>(const std::string& section, const char* key)>;
using IntWriter = std::function<void(const std::string& section, const char* key, int value)>;

// The stored record; none when nothing is stored ("Bars" missing or 0) or
// the record is corrupt (a missing value, a count without its sections, a
// duplicate id).
std::optional<DockState> ReadDockState(const std::string& base, const IntReader& read,
                                       bool* corrupt = nullptr);
// Writes "Summary" and the bar sections (the caller deletes the old ones).
void WriteDockState(const std::string& base, const DockState& state, const IntWriter& write);

// Every docked entry names an existing bar and an existing site.
bool IsDockStateValid(const DockState& state, const std::function<bool(uint32_t barId)>& barExists,
                      const std::function<bool(uint32_t siteId)>& siteExists);

// What applying a valid record does.
struct DockPlan
{
    // Site id → rows of bar ids (ordered by Row, then Pos) and the position
    // each bar remembers.
    struct Placed
    {
        uint32_t barId = 0;
        int pos = 0;
    };
    std::map<uint32_t, std::vector<std::vector<Placed>>> rows;
    std::vector<BarState> floating;   // of existing bars, in record order
    std::vector<BarState> all;        // every applied record (visibility, MRU)
};

DockPlan MakeDockPlan(const DockState& state, const std::function<bool(uint32_t barId)>& barExists);

} // namespace dock
