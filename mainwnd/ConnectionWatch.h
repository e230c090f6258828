#pragma once
// The connection watch of the main frame, without the frame: once a second
// the frame hands it whether the project's link is open, whether the
// statistics could be read and the record read; it answers the icon of the
// connection pane and what becomes of the connection-error dialog.
//
// The link counts as alive when the packet counters of both directions rose
// since the previous record and the link object calls it established, as
// busy when besides the data counters moved.  A link whose frames still go
// both ways but that fails every request (not established) stalls.
// A read that fails counts as a stalled tick and keeps the previous record;
// while the link is closed the sample is dropped, so that a new session
// starts with a fresh one.  PlcStateText is the text of the PLC state pane.

#include "link/linkobj/olnk_link.h"
#include "link/olnk/olnk.h"

#include <QString>

#include <array>
#include <cstdint>

namespace mainwnd {

class ConnectionWatch
{
public:
    // Icon resources: the steady link, the traffic and the stall animations.
    static constexpr int kSteadyIcon = 556;
    static constexpr std::array<int, 15> kTrafficIcons = {535, 536, 537, 538, 539, 535, 536, 537,
                                                          538, 539, 535, 539, 538, 537, 536};
    static constexpr std::array<int, 7> kStallIcons = {555, 554, 553, 552, 551, 552, 551};
    // More stalled ticks than this show the dialog.
    static constexpr int kStallLimit = 3;

    enum class Icon { Unchanged, None, Steady, Traffic, Stall };
    enum class Dialog { Leave, Show, Hide };

    struct Result
    {
        Icon icon = Icon::Unchanged;
        int frame = 0;    // index into the traffic or stall frames
        int iconId = 0;   // the icon resource to show; 0 none (or unchanged)
        Dialog dialog = Dialog::Leave;
    };

    // A project was attached: both frames back to 0, no sample yet.
    void Reset()
    {
        m_trafficIndex = 0;
        m_stallIndex = 0;
        m_sampled = false;
        m_stalls = 0;
    }

    Result Tick(bool linkOpen, bool readOk, const OlnkStatistics& fresh, bool established = true)
    {
        Result r;
        if (!linkOpen) {
            r.icon = Icon::None;
            r.dialog = Dialog::Hide;
            m_stalls = 0;
            m_sampled = false;
            return r;
        }
        if (!m_sampled) {
            if (readOk)
                m_previous = fresh;
            m_sampled = readOk;
            return r;
        }
        const bool alive = readOk && established && fresh.SendPackets > m_previous.SendPackets &&
                           fresh.RecPackets > m_previous.RecPackets;
        const bool busy = alive && (fresh.PutPackets > m_previous.PutPackets ||
                                    fresh.GetPackets > m_previous.GetPackets);
        if (alive) {
            r.dialog = Dialog::Hide;
            m_stalls = 0;
            if (busy) {
                m_trafficIndex = (m_trafficIndex + 1) % int(kTrafficIcons.size());
                r.icon = Icon::Traffic;
                r.frame = m_trafficIndex;
                r.iconId = kTrafficIcons[size_t(m_trafficIndex)];
            } else {
                r.icon = Icon::Steady;
                r.iconId = kSteadyIcon;
            }
        } else {
            ++m_stalls;
            if (m_stalls > kStallLimit)
                r.dialog = Dialog::Show;
            m_stallIndex = (m_stallIndex + 1) % int(kStallIcons.size());
            r.icon = Icon::Stall;
            r.frame = m_stallIndex;
            r.iconId = kStallIcons[size_t(m_stallIndex)];
        }
        if (readOk)
            m_previous = fresh;
        return r;
    }

    bool Sampled() const { return m_sampled; }
    int StallCount() const { return m_stalls; }
    const OlnkStatistics& Previous() const { return m_previous; }

private:
    OlnkStatistics m_previous{};
    bool m_sampled = false;
    int m_trafficIndex = 0;
    int m_stallIndex = 0;
    int m_stalls = 0;
};

// The text of the PLC state pane: empty without a connection, "PLC: ?"
// while the status is unknown, else the state with the sleep suffix.
QString PlcStateText(bool connected, const PlcStatusRecord* status);

} // namespace mainwnd
