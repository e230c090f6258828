#pragma once
// The docking engine of the library's frames: the dock sites along the
// frame edges (CKVTToolDockBar), the frame client that holds them around the
// centre, the floating frame of a bar (CKVTMiniDockFrameWnd) and the drag
// contexts (KvtDockContext, CKVTToolbarDockContext).  Plain widgets, laid
// out by the docking core of uilib/dock.

#include "platform/ui/ControlBar.h"
#include "uilib/dock/DockRoom.h"
#include "uilib/dock/DockRows.h"

#include <QPointer>
#include <QWidget>

#include <map>
#include <optional>
#include <vector>

class CKVTFrameHelper;
class QRubberBand;

// A dock site: the rows of bars along one edge of the frame client.
class CKVTToolDockBar : public QWidget
{
    Q_OBJECT
public:
    CKVTToolDockBar(uint32_t id, QWidget* parent);
    ~CKVTToolDockBar() override;
    uint32_t GetDlgCtrlID() const { return m_id; }
    bool IsHorizontal() const { return ui::IsHorizontalSite(m_id); }

    bool Contains(const ui::ControlBar* bar) const;
    // The bars in entry order.
    std::vector<ui::ControlBar*> Bars() const;
    // Inserts bar at a rectangle in site coordinates, or (none) as a new
    // last row.
    void AddBar(ui::ControlBar* bar, const std::optional<QRect>& siteRect);
    // Inserts bar into row r at the end, remembering pos.
    void AddBarAt(ui::ControlBar* bar, int row, int pos);
    void RemoveBar(ui::ControlBar* bar);
    // The row and the position of a bar (row -1 when absent).
    std::pair<int, int> RowAndPos(const ui::ControlBar* bar) const;
    bool HasVisibleBars() const;
    // The row length of the current layout pass.
    int RowLength() const;
    // Where the layout puts bar now (site coordinates).
    std::optional<QRect> PlacedRect(const ui::ControlBar* bar);

    // Lays the rows out at the row length; moves the bars when applying.
    // The site's thickness.
    int Layout(int rowLength, bool apply);
    // The fixed layout: (row length or 32767 when stretching, thickness).
    QSize CalcFixedLayout(bool stretch, bool horz);
    // The rectangle of the frame's current layout pass (site coordinates
    // of the client); sizing bars and the menu bar take their length here.
    QRect LayoutRect() const { return m_layoutRect; }
    void SetLayoutRect(const QRect& r) { m_layoutRect = r; }
    const dock::SiteLayout& LastLayout() const { return m_layout; }
    // The rows of the last layout pass: what each takes across and the
    // least it could take.
    std::vector<dock::RowRoom> RowRooms() const;
    // Limits the bars that can give way in every row thicker than cap to
    // cap (not below their least); true when one changed.
    bool LimitRowThickness(int cap);
    // Where the band of a bar dragged to siteRect (site coordinates) is
    // shown: for a toolbar the row it will join or the edge where its new
    // row will lie, else siteRect itself.
    QRect DropRect(const ui::ControlBar* bar, const QRect& siteRect) const;
    // The row model and its keys, for the sizing bars of a row.
    dock::RowModel& Rows() { return m_rows; }
    int Key(const ui::ControlBar* bar) const { return KeyOf(bar); }
    ui::ControlBar* BarAt(int key) const;

    // Large icons make bars wrap into new rows; switched off again, the
    // sites give back the rows and positions they had before, unless
    // something besides the wrapping changed them meanwhile (a bar moved,
    // added or taken away).  Remember before the switch to large icons,
    // restore after the switch back (the frames lay out again).
    static void RememberRowsOfAllSites();
    static void RestoreRowsOfAllSites();

protected:
    void paintEvent(QPaintEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    bool OuterIsFirst() const { return m_id == ui::DOCKBAR_TOP || m_id == ui::DOCKBAR_LEFT; }
    dock::RowUse RowUseOf(int row) const;
    int KeyOf(const ui::ControlBar* bar) const;
    int AddKey(ui::ControlBar* bar);
    void Prune();
    dock::SiteLayoutInput Input(int rowLength);

    uint32_t m_id;
    dock::RowModel m_rows;
    std::map<int, QPointer<ui::ControlBar>> m_keys;
    int m_nextKey = 0;
    dock::SiteLayout m_layout;
    QRect m_layoutRect;
    struct RememberedRows
    {
        dock::RowModel rows;
        std::map<int, int> pos;   // key -> remembered position along the row
    };
    std::optional<RememberedRows> m_remembered;
};

// The central widget of a library frame: the four sites around the centre.
// Top and bottom span the full width; left and right lie between them.
class KvtFrameClient : public QWidget
{
    Q_OBJECT
public:
    KvtFrameClient(QWidget* center, QWidget* parent);
    QWidget* Center() const { return m_center; }
    void SetCenter(QWidget* center);
    CKVTToolDockBar* Site(uint32_t id) const;
    CKVTToolDockBar* CreateSite(uint32_t id);
    std::vector<CKVTToolDockBar*> Sites() const;
    // Lays the sites out around the centre.  The sites take no more than
    // leaves the centre its least size (LeastCenterSize): rows of sizing
    // bars too thick for that give way, the thickest first.  When even
    // that is not enough, the centre gets less and the top site, then the
    // bottom one, keeps its bars.
    void RecalcLayout();
    void DelayRecalcLayout();
    // A quarter of the client's width and height, at least 100 pixels each.
    QSize LeastCenterSize() const;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* e) override;
    void showEvent(QShowEvent* e) override;

private:
    QPointer<QWidget> m_center;
    std::map<uint32_t, CKVTToolDockBar*> m_sites;
    bool m_delayed = false;
    bool m_inLayout = false;
    bool m_shownOnce = false;
    // The frame opens maximised but still has its normal size: the rows
    // wait for the maximised size (or a short time-out).
    bool m_awaitMaximize = false;
};

// The floating frame of one bar: a small caption with the bar's text and a
// close button, resize borders on all sides and corners.
class CKVTMiniDockFrameWnd : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kBorder = 3;
    static constexpr int kCaption = 14;
    enum Hit { HitClient = 1, HitCaption = 2, HitLeft = 10, HitRight = 11, HitTop = 12,
               HitTopLeft = 13, HitTopRight = 14, HitBottom = 15, HitBottomLeft = 16,
               HitBottomRight = 17, HitClose = 20 };

    CKVTMiniDockFrameWnd(CKVTFrameHelper* helper, QWidget* frame);
    void SetBar(ui::ControlBar* bar);
    ui::ControlBar* Bar() const { return m_bar; }
    // The bar's floating size.
    static QSize FloatingBarSize(ui::ControlBar* bar);
    // The frame size around a bar size.
    static QSize FrameSizeFor(QSize barSize);
    // Sizes the frame to its bar (or to the given bar size).
    void RecalcLayout(std::optional<QSize> barSize = std::nullopt);
    int HitTest(QPoint local) const;
    QRect CloseButtonRect() const;
    bool CloseButtonShown() const;

protected:
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

private:
    CKVTFrameHelper* m_helper;
    QPointer<ui::ControlBar> m_bar;
    bool m_closePressed = false;
};

// The base dock context: an event-driven drag of a bar between the sites
// and floating.
class KvtDockContext : public QObject, public ui::DockContext
{
    Q_OBJECT
public:
    KvtDockContext(ui::ControlBar* bar, CKVTFrameHelper* helper);
    ~KvtDockContext() override;
    void StartDrag(const QPoint& globalPoint) override;
    // A floating dynamic-size bar resizes from its frame's borders.
    void StartResize(int hitCode, const QPoint& globalPoint) override;
    void ToggleDocking() override;
    bool IsTracking() const override { return m_state != State::Idle; }
    void Cancel() override;
    // The target of the running drag (site id, 0 floating) and its rectangle.
    uint32_t TargetSite() const { return m_target; }
    QRect TargetRect() const { return m_targetRect; }

protected:
    enum class State { Idle, Armed, Dragging, Resizing };
    bool eventFilter(QObject* watched, QEvent* e) override;
    virtual void OnResizeMove(const QPoint& global);
    void Begin(State s);
    void End();
    void Move(const QPoint& global);
    void Drop();

    ui::ControlBar* m_bar;
    CKVTFrameHelper* m_helper;
    State m_state = State::Idle;
    QPoint m_press;
    QPoint m_offset;
    QPoint m_last;
    bool m_ctrl = false;
    uint32_t m_target = 0;
    QRect m_targetRect;
    QRubberBand* m_band = nullptr;
    QRect m_startFrame;
    int m_hit = 0;
};

// The context of library toolbars and the menu bar: a floating toolbar
// resizes in whole wrapped layouts and never leaves the desktop.
class CKVTToolbarDockContext : public KvtDockContext
{
    Q_OBJECT
public:
    using KvtDockContext::KvtDockContext;

protected:
    void OnResizeMove(const QPoint& global) override;
};
