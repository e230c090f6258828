#pragma once
// The drag of a toolbar button in customisation mode, and its feedback (the
// drop source of the library): an event-driven state machine, never a
// nested loop, and no platform drag and drop.
//
//   Start (armed) --pointer leaves the start rectangle--> dragging
//   dragging --move / Ctrl--> the bar under the pointer gets enter, over, leave
//   dragging --release--> the bar's drop, then the completion
//   dragging --Escape, lost grab, source gone--> the completion, no effect
//   armed --release--> the completion of a plain click (never started)
//
// The bar under the pointer is found by geometry over the bars that have a
// drop target (visible popup bars, then floating bars, then docked bars),
// so that it works on every platform, offscreen included.  The toolbars and
// the command list of the customisation sheet start their drags here.

#include <QMimeData>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QRect>

#include <cstdint>
#include <functional>
#include <memory>

class CKVTToolBar;
class QMimeData;
class QWidget;

// The key state bit of Ctrl given to a bar's drag-enter and drag-over.
constexpr int MK_CONTROL = 0x0008;

class CKVTButtonDragController : public QObject
{
    Q_OBJECT
public:
    // What a drag came to, for the completion.
    struct Result
    {
        int effect = 0;          // the drop's effect (DROPEFFECT_*); none when nothing was dropped
        bool started = false;    // the pointer left the start rectangle
        bool escape = false;     // Escape, a lost grab or a vanished source ended it
        bool deleted = false;    // released outside every bar, or over one whose drag-over answered no effect
        bool dropFailed = false; // the drag-over accepted, the drop then failed
        QPoint releasePos;       // global
    };
    using Completion = std::function<void(const Result&)>;

    // The cursors: copy, move, and the one of a button that would go.
    static constexpr uint32_t IDC_COPY = 16004;
    static constexpr uint32_t IDC_MOVE = 16146;
    static constexpr uint32_t IDC_DELETE = 16133;

    static CKVTButtonDragController& Instance();

    // Arms a drag from source (it keeps the data).  startRect is global; the
    // drag starts when the pointer leaves it.  allowedEffects is a mask of
    // DROPEFFECT_COPY and DROPEFFECT_MOVE.  The flags are reset: outside set,
    // Escape and drag-started cleared.  FALSE while another drag is armed.
    bool Start(QWidget* source, std::unique_ptr<QMimeData> data, int allowedEffects, const QRect& startRect,
               Completion done);
    // A start rectangle around a press: the drag distance in each direction.
    static QRect StartRectAround(const QPoint& globalPoint);

    bool IsArmed() const { return m_state != Idle; }
    bool IsDragging() const { return m_state == Dragging; }
    // The drop source's flags.
    bool IsOutside() const { return m_outside; }
    void SetOutside(bool on) { m_outside = on; }
    bool EscapePressed() const { return m_escape; }
    bool DragStarted() const { return m_started; }
    QWidget* Source() const { return m_source; }
    CKVTToolBar* CurrentTarget() const { return m_target; }
    int CurrentEffect() const { return m_effect; }
    // The cursor shown for an effect (16133 while outside or for no effect).
    static uint32_t CursorFor(int effect, bool outside);
    uint32_t CurrentCursor() const { return m_cursor; }

    // Ends the drag as Escape does (the grab was lost).
    void Cancel();

    // The bar whose area holds a global point, in the search order.
    static CKVTToolBar* BarAt(const QPoint& globalPoint);

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    enum State { Idle, Armed, Dragging };
    CKVTButtonDragController() = default;
    void BeginDrag();
    void Track(const QPoint& global);
    void SetCursor(uint32_t id);
    void Release(const QPoint& global);
    // Ends the grab, the cursor and the filter; with complete, the completion runs.
    void Finish(Result result, bool complete = true);
    void Complete(const Result& result);
    bool SeenAlready(QEvent* e);

    State m_state = Idle;
    QPointer<QWidget> m_source;
    std::unique_ptr<QMimeData> m_data;
    int m_allowed = 0;
    QRect m_startRect;
    Completion m_done;
    QPointer<CKVTToolBar> m_target;
    int m_effect = 0;
    bool m_ctrl = false;
    QPoint m_last;
    bool m_outside = true;
    bool m_escape = false;
    bool m_started = false;
    uint32_t m_cursor = 0;
    bool m_cursorSet = false;
    // The last mouse event handled (its copies reach the filter again while
    // they travel up the parent chain).
    int m_lastType = 0;
    QPoint m_lastGlobal;
    unsigned long long m_lastStamp = 0;
    Qt::MouseButtons m_lastButtons;
};
