#pragma once
// What a control bar needs of the docking engine, without knowing it: the
// bar's dock context (drags, resizes, toggling between docked and floating)
// and the frame that docks bars.

#include <QPoint>

#include <cstdint>
#include <memory>

namespace ui {

class ControlBar;

class DockContext
{
public:
    virtual ~DockContext() = default;
    // A left press on the bar's own area at a global point: the drag starts
    // once the pointer has moved the drag distance.
    virtual void StartDrag(const QPoint& globalPoint) = 0;
    // A press on a resize border of the bar's floating frame (hit code).
    virtual void StartResize(int hitCode, const QPoint& globalPoint)
    {
        (void)hitCode;
        (void)globalPoint;
    }
    // A floating bar docks where it last was docked; a docked one floats
    // where it last floated.
    virtual void ToggleDocking() = 0;
    // A drag or resize is running.
    virtual bool IsTracking() const = 0;
    // Ends a drag or resize and leaves the bar where it was.
    virtual void Cancel() = 0;
};

// A frame that docks control bars.
class DockingFrame
{
public:
    virtual ~DockingFrame() = default;
    // Each bar registers on creation (the frame's bars in creation order).
    virtual void AddControlBar(ControlBar* bar) = 0;
    // The dock context for a bar that enables docking.
    virtual std::unique_ptr<DockContext> CreateDockContext(ControlBar* bar) = 0;
};

} // namespace ui
