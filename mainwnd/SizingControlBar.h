#pragma once
// The application's resizable docking bars: a control bar that docks on any
// side of the frame or floats, and that the user resizes by dragging its
// inner edges.  Several sizing bars in one dock row share the row: they lie
// side by side with one common thickness, and the edge between two of them
// moves length from one to the other.  CSizingControlBarCF adds a caption
// with a close button; CSizingBarDockContext is their dock context.
//
// The non-client area is the widget's contents margins: 3 pixels left, right
// and bottom and 5 at the top, 2 more left, right and bottom while docked,
// the caption band (on the left of a bar docked top or bottom, across the
// top of one docked left or right; a floating bar shows its floating
// frame's caption instead) and, with state bit 0x10, the sizing edges.

#include "platform/ui/ControlBar.h"
#include "platform/ui/DockContext.h"

#include <QPointer>

#include <vector>

class CKVTToolDockBar;

namespace sizing {

// Hit codes of the bar.
enum Hit : int {
    HitNowhere = 0,
    HitClient = 1,
    HitLeft = 10,
    HitRight = 11,
    HitTop = 12,
    HitBottom = 15,
    HitClose = 20,
};

// One visible bar of a dock row for AdjustRowSizes: lengths along the row,
// thickness across it.  Other bars count with their window length as both
// minimum and length.
struct RowBar
{
    int minLength = 0;
    int length = 0;
    int thickness = 0;
    bool sizing = true;
    bool justDocked = false;
};

struct RowAdjust
{
    // False when a row break must be inserted before bar breakBefore (the
    // row is too long); the frame lays out again.
    bool ok = true;
    int breakBefore = -1;
    // Some length or thickness changed.
    bool changed = false;
};

// What a sizing bar keeps beyond its minimum (its caption) while the bars
// beside it can give: a body of a few lines.
constexpr int kUsableBody = 96;

// Fits the bars of one row to the available length (neighbours overlap by
// 2 pixels): the sizing bars share the difference one pixel at a time in
// row order, bars just docked left out while the others can give or take;
// none goes below its minimum plus kUsableBody (or an equal share of the
// row, when less) while another can give, nor ever below its minimum; a
// bar just docked beside others takes at most an equal share; with several
// sizing bars, all take the largest thickness; a lone bar that does not
// fit gets its minimum.  Clears justDocked.
RowAdjust AdjustRowSizes(std::vector<RowBar>& bars, int available);

} // namespace sizing

class CSizingControlBar : public ui::ControlBar
{
    Q_OBJECT
public:
    // State bits.
    enum : uint32_t {
        EdgeLeft = 0x1,
        EdgeRight = 0x2,
        EdgeTop = 0x4,
        EdgeBottom = 0x8,
        EdgesTakeRoom = 0x10,
        SizeContents = 0x10000,
        FullDrag = 0x20000,
        JustDocked = 0x40000,
        RowNeedsLayout = 0x80000,
        Tracking = 0x100000,
        FocusInside = 0x200000,
    };
    static constexpr int kEdgeWidth = 5;
    static constexpr int kCaption = 12;
    static constexpr int kCloseSize = 11;
    static constexpr QSize kMinSize{33, 32};

    explicit CSizingControlBar(QWidget* parent = nullptr);
    ~CSizingControlBar() override;

    // Sets all three sizes to cx x cy, the bar style to style & 0x40FFFF and
    // the caption height (12 with a caption, else 0), and creates the bar.
    // The plain bar's Create stays callable beside this one.
    using ui::ControlBar::Create;
    virtual bool Create(const QString& caption, QWidget* parent, int cx, int cy, bool withCaption, uint32_t id,
                        uint32_t style);
    // Allowed sides, a CSizingBarDockContext, the parent as owner.
    void EnableDocking(uint32_t sides);
    // Docked neither horizontally nor vertically.
    bool IsFloating() const;

    // "<section>-SCBar-<id>": "sizeHorzCX" ... "sizeFloatCY".
    virtual bool LoadState(const QString& section);
    virtual bool SaveState(const QString& section);

    QSize CalcFixedLayout(bool stretch, bool horz) override;
    QSize CalcDynamicLayout(int length, uint32_t mode) override;
    void OnUpdateCmdUI() override;
    void SetBarStyle(uint32_t style) override;
    void OnDockSiteChanged(uint32_t siteId) override;
    void OnShownInSite() override { m_state |= JustDocked | RowNeedsLayout; }
    int LeastDockedThickness(bool horz) const override { return horz ? m_szMin.height() : m_szMin.width(); }
    bool LimitDockedThickness(int thickness, bool horz) override;
    // What the bar's row takes across: the thickest of its visible sizing
    // bars (a hidden bar takes no room); the bar's own when it is in no row.
    int RowThickness() const;

    // The stored sizes.
    QSize HorzSize() const { return m_szHorz; }
    QSize VertSize() const { return m_szVert; }
    QSize FloatSize() const { return m_szFloat; }
    void SetHorzSize(QSize s) { m_szHorz = s; }
    void SetVertSize(QSize s) { m_szVert = s; }
    void SetFloatSize(QSize s) { m_szFloat = s; }
    QSize MinSize() const { return m_szMin; }
    uint32_t State() const { return m_state; }
    void SetStateWord(uint32_t s) { m_state = s; }
    // The dock site id (59419-59422), 0 floating.
    uint32_t DockBarId() const { return m_dockBarId; }
    int CaptionHeight() const { return m_captionHeight; }
    bool IsTracking() const { return (m_state & Tracking) != 0; }

    // Geometry of the non-client parts (widget coordinates).
    QRect EdgeRect(int hit) const;
    QRect CloseButtonRect() const;
    QRect CaptionRect() const;
    int HitTest(QPoint p) const;
    // The margins the non-client area takes.
    QMargins Insets() const;
    // The largest room the bar takes around its contents: docked, with the
    // caption and sizing edges on every side.  A content's size plus this
    // is a bar size at which nothing of it is cut in any place.
    static QSize LargestInsets()
    {
        return QSize(3 + 2 + kCaption + kEdgeWidth + 3 + 2 + kEdgeWidth, 5 + kCaption + kEdgeWidth + 3 + 2 + kEdgeWidth);
    }

    // The live sizing bars, in creation order.
    static const std::vector<CSizingControlBar*>& AllBars();

protected:
    // The sizing steps.
    virtual void BeginSizing(int hit, QPoint global);
    virtual void EndSizing();
    virtual void TrackResize(QPoint global);
    virtual void DrawNcGripper(QPainter& p, const QRect& band);
    // Moves the row's bars end to end (their positions along the row).
    virtual void LayoutRow(const std::vector<CSizingControlBar*>& row);

    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void leaveEvent(QEvent* e) override;
    bool event(QEvent* e) override;

    int m_closeState = 0;   // 0x1 pressed, 0x2 hot

private:
    CKVTToolDockBar* Site() const;
    bool HorzRow() const { return ui::IsHorizontalSite(m_dockBarId); }
    // The visible bars of this bar's row in order (all kinds).
    std::vector<ui::ControlBar*> RowBars() const;
    std::vector<CSizingControlBar*> RowSizingBars() const;
    void UpdateEdges();
    void UpdateMargins();
    void RecalcFrameLayout();
    QSize& DockedSize() { return HorzRow() ? m_szHorz : m_szVert; }

    QSize m_szHorz{200, 200};
    QSize m_szVert{200, 200};
    QSize m_szFloat{200, 200};
    QSize m_szMin = kMinSize;
    uint32_t m_state = 0;
    int m_trackEdge = 0;
    int m_trackMin = 0;
    int m_trackMax = 0;
    QSize m_startSize;
    QPoint m_startPoint;
    QPointer<CSizingControlBar> m_neighbour;
    QSize m_neighbourStart;
    uint32_t m_dockBarId = 0;
    int m_captionHeight = 0;
};

class CSizingControlBarCF : public CSizingControlBar
{
    Q_OBJECT
public:
    using CSizingControlBar::CSizingControlBar;
    // Follows the focus (bit 0x200000) and repaints the caption when it
    // changes.
    void OnUpdateCmdUI() override;

protected:
    void DrawNcGripper(QPainter& p, const QRect& band) override;
    bool event(QEvent* e) override;
};

// The dock context of sizing bars: the drag starts with the rectangles the
// bar answers for horizontal and vertical docking and for floating, each
// moved by the least amount that brings the press point inside it; the
// frame's drag follows.
class CSizingBarDockContext : public ui::DockContext
{
public:
    CSizingBarDockContext(CSizingControlBar* bar, std::unique_ptr<ui::DockContext> frameContext);
    void StartDrag(const QPoint& globalPoint) override;
    void StartResize(int hitCode, const QPoint& globalPoint) override;
    void ToggleDocking() override;
    bool IsTracking() const override;
    void Cancel() override;
    // The three rectangles of the last drag start (global).
    QRect HorzRect() const { return m_horz; }
    QRect VertRect() const { return m_vert; }
    QRect FloatRect() const { return m_float; }

private:
    CSizingControlBar* m_bar;
    std::unique_ptr<ui::DockContext> m_frame;
    QRect m_horz, m_vert, m_float;
};
