#include "mainwnd/SizingControlBar.h"

#include "platform/sys/Registry.h"
#include "platform/ui/App.h"
#include "uilib/KVTDocking.h"
#include "uilib/KVTFrameWnd.h"
#include "uilib/KVTMenuBar.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

// --- the row engine ------------------------------------------------------------------

namespace sizing {

RowAdjust AdjustRowSizes(std::vector<RowBar>& bars, int available)
{
    RowAdjust result;
    // 1, 2: the minimum lengths must fit.
    int total = 2;
    for (size_t i = 0; i < bars.size(); ++i) {
        total += bars[i].minLength - 2;
        if (total > available) {
            if (bars.size() == 1) {
                if (bars[0].sizing && bars[0].length != bars[0].minLength) {
                    bars[0].length = bars[0].minLength;
                    result.changed = true;
                }
                bars[0].justDocked = false;
                return result;
            }
            if (i > 0) {
                result.ok = false;
                result.breakBefore = int(i);
                return result;
            }
        }
    }
    // 3: the sizing bars' lengths, their thickness, the others' room.
    int sum = 0;
    int thickness = 0;
    int room = available;
    std::vector<size_t> sizingBars;
    for (size_t i = 0; i < bars.size(); ++i) {
        if (bars[i].sizing) {
            sum += bars[i].length - 2;
            thickness = std::max(thickness, bars[i].thickness);
            sizingBars.push_back(i);
        } else {
            room -= bars[i].length - 2;
        }
    }
    if (sizingBars.empty())
        return result;
    int diff = room - sum;
    // 4: one sizing bar takes the whole difference.
    if (sizingBars.size() == 1) {
        RowBar& b = bars[sizingBars.front()];
        if (diff != 0) {
            b.length += diff;
            result.changed = true;
        }
        b.justDocked = false;
        return result;
    }
    // 5: the common thickness, then the difference pixel by pixel.
    for (size_t i : sizingBars)
        if (bars[i].thickness != thickness) {
            bars[i].thickness = thickness;
            result.changed = true;
        }
    // A bar just docked beside bars already there takes at most an equal
    // share of the row (a newcomer that kept its length would squeeze the
    // others down to their captions).
    const int n = int(sizingBars.size());
    const int share = room / n + 2;
    const bool newcomers = std::any_of(sizingBars.begin(), sizingBars.end(), [&](size_t i) { return bars[i].justDocked; });
    const bool settled = std::any_of(sizingBars.begin(), sizingBars.end(), [&](size_t i) { return !bars[i].justDocked; });
    if (newcomers && settled)
        for (size_t i : sizingBars) {
            RowBar& b = bars[i];
            const int cap = std::max(b.minLength, share);
            if (b.justDocked && b.length > cap) {
                diff += b.length - cap;
                b.length = cap;
                result.changed = true;
            }
        }
    // What a bar keeps while others can give: its caption and a usable
    // body (a few lines), or an equal share of a row too short for that.
    const auto usable = [&](const RowBar& b) { return std::max(b.minLength, std::min(b.minLength + kUsableBody, share)); };
    // The difference pixel by pixel, down to the usable lengths first, then
    // to the minimums; at each level bars just docked keep their length
    // while the others can give or take, then they too, so that the row
    // ends at its length (a row longer than that would reach past the
    // frame).
    const int step = diff > 0 ? 1 : -1;
    for (int phase = 0; phase < 4 && diff != 0; ++phase) {
        const bool spareJustDocked = phase % 2 == 0;
        bool any = true;
        while (diff != 0 && any) {
            any = false;
            for (size_t i : sizingBars) {
                if (diff == 0)
                    break;
                RowBar& b = bars[i];
                const int floor = phase < 2 ? usable(b) : b.minLength;
                if ((spareJustDocked && b.justDocked) || (step < 0 && b.length + step < floor))
                    continue;
                b.length += step;
                diff -= step;
                any = true;
                result.changed = true;
            }
        }
    }
    for (size_t i : sizingBars)
        bars[i].justDocked = false;
    return result;
}

} // namespace sizing

// --- CSizingControlBar -----------------------------------------------------------------

namespace {

std::vector<CSizingControlBar*>& Instances()
{
    static std::vector<CSizingControlBar*> bars;
    return bars;
}

uint32_t EdgeBit(int hit)
{
    switch (hit) {
    case sizing::HitLeft:
        return CSizingControlBar::EdgeLeft;
    case sizing::HitRight:
        return CSizingControlBar::EdgeRight;
    case sizing::HitTop:
        return CSizingControlBar::EdgeTop;
    case sizing::HitBottom:
        return CSizingControlBar::EdgeBottom;
    default:
        return 0;
    }
}

constexpr uint32_t kEdgeBits = 0xF;

} // namespace

CSizingControlBar::CSizingControlBar(QWidget* parent) : ui::ControlBar(parent)
{
    setMouseTracking(true);
    setFocusPolicy(Qt::NoFocus);
    // The dock sites lay the bar out at its own rectangle, without the
    // 2-pixel inset of foreign bars: the row engine below accounts for the
    // overlap of neighbours itself.
    setProperty("kvtSizingBar", true);
    Instances().push_back(this);
}

CSizingControlBar::~CSizingControlBar()
{
    auto& all = Instances();
    all.erase(std::remove(all.begin(), all.end(), this), all.end());
}

const std::vector<CSizingControlBar*>& CSizingControlBar::AllBars() { return Instances(); }

bool CSizingControlBar::Create(const QString& caption, QWidget* parent, int cx, int cy, bool withCaption, uint32_t id,
                               uint32_t style)
{
    m_szHorz = m_szVert = m_szFloat = QSize(cx, cy);
    m_captionHeight = withCaption ? kCaption : 0;
    setWindowTitle(caption);
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    if (!ui::ControlBar::Create(parent, (style & 0x40FFFF) | (style & ui::WS_VISIBLE), id))
        return false;
    UpdateMargins();
    return true;
}

void CSizingControlBar::EnableDocking(uint32_t sides)
{
    if (!GetOwner())
        SetOwner(parentWidget());
    const bool had = HasDockContext();
    ui::ControlBar::EnableDocking(sides);
    if (!had && HasDockContext() && !dynamic_cast<CSizingBarDockContext*>(GetDockContext())) {
        std::unique_ptr<ui::DockContext> frameContext;
        if (auto* frame = dynamic_cast<ui::DockingFrame*>(GetDockingFrame()))
            frameContext = frame->CreateDockContext(this);
        SetDockContext(std::make_unique<CSizingBarDockContext>(this, std::move(frameContext)));
    }
}

bool CSizingControlBar::IsFloating() const { return !ui::IsDockSiteId(m_dockBarId); }

CKVTToolDockBar* CSizingControlBar::Site() const { return qobject_cast<CKVTToolDockBar*>(parentWidget()); }

std::vector<ui::ControlBar*> CSizingControlBar::RowBars() const
{
    std::vector<ui::ControlBar*> out;
    CKVTToolDockBar* site = Site();
    if (!site || IsFloating())
        return out;
    const int key = site->Key(this);
    const int row = site->Rows().RowOf(key);
    if (row < 0)
        return out;
    for (int k : site->Rows().Row(row))
        if (ui::ControlBar* b = site->BarAt(k); b && b->IsVisible())
            out.push_back(b);
    return out;
}

std::vector<CSizingControlBar*> CSizingControlBar::RowSizingBars() const
{
    std::vector<CSizingControlBar*> out;
    for (ui::ControlBar* b : RowBars())
        if (auto* s = qobject_cast<CSizingControlBar*>(b))
            out.push_back(s);
    return out;
}

void CSizingControlBar::OnDockSiteChanged(uint32_t siteId)
{
    const uint32_t before = m_dockBarId;
    m_dockBarId = ui::IsDockSiteId(siteId) ? siteId : 0;
    if (m_dockBarId && m_dockBarId != before)
        m_state |= JustDocked | RowNeedsLayout;
    UpdateEdges();
}

void CSizingControlBar::UpdateEdges()
{
    uint32_t edges = 0;
    if (!IsFloating()) {
        edges = m_dockBarId == ui::DOCKBAR_TOP    ? EdgeBottom
                : m_dockBarId == ui::DOCKBAR_LEFT  ? EdgeRight
                : m_dockBarId == ui::DOCKBAR_RIGHT ? EdgeLeft
                                                   : EdgeTop;
        const std::vector<CSizingControlBar*> row = RowSizingBars();
        const auto it = std::find(row.begin(), row.end(), this);
        if (it != row.end()) {
            if (it != row.begin())
                edges |= HorzRow() ? EdgeLeft : EdgeTop;
            if (it + 1 != row.end())
                edges |= HorzRow() ? EdgeRight : EdgeBottom;
        }
    }
    m_state = (m_state & ~kEdgeBits) | edges;
    UpdateMargins();
}

QMargins CSizingControlBar::Insets() const
{
    int l = 3, t = 5, r = 3, b = 3;
    if (!IsFloating()) {
        l += 2;
        r += 2;
        b += 2;
        if (HorzRow())
            l += m_captionHeight;
        else
            t += m_captionHeight;
        if (m_state & EdgesTakeRoom) {
            if (m_state & EdgeLeft)
                l += kEdgeWidth;
            if (m_state & EdgeRight)
                r += kEdgeWidth;
            if (m_state & EdgeTop)
                t += kEdgeWidth;
            if (m_state & EdgeBottom)
                b += kEdgeWidth;
        }
    }
    return QMargins(l, t, r, b);
}

void CSizingControlBar::UpdateMargins()
{
    const QMargins m = Insets();
    if (contentsMargins() != m)
        setContentsMargins(m);
    update();
}

void CSizingControlBar::RecalcFrameLayout()
{
    if (auto* frame = dynamic_cast<CKVTFrameBase*>(GetDockingFrame()))
        frame->RecalcLayout();
    else if (CKVTToolDockBar* site = Site())
        if (auto* client = qobject_cast<KvtFrameClient*>(site->parentWidget()))
            client->RecalcLayout();
}

QSize CSizingControlBar::CalcFixedLayout(bool stretch, bool horz)
{
    if (stretch)
        return horz ? QSize(32767, m_szHorz.height()) : QSize(m_szVert.width(), 32767);
    CKVTToolDockBar* site = Site();
    const std::vector<ui::ControlBar*> row = RowBars();
    const std::vector<CSizingControlBar*> sizingRow = RowSizingBars();
    if (site && !sizingRow.empty() && sizingRow.front() == this && (m_state & RowNeedsLayout)) {
        const bool h = HorzRow();
        std::vector<sizing::RowBar> recs;
        for (ui::ControlBar* b : row) {
            sizing::RowBar r;
            if (auto* s = qobject_cast<CSizingControlBar*>(b)) {
                const QSize d = h ? s->m_szHorz : s->m_szVert;
                r.minLength = h ? s->m_szMin.width() : s->m_szMin.height();
                r.length = h ? d.width() : d.height();
                r.thickness = h ? d.height() : d.width();
                r.justDocked = (s->m_state & JustDocked) != 0;
            } else {
                r.sizing = false;
                r.length = r.minLength = h ? b->width() : b->height();
            }
            recs.push_back(r);
        }
        // The row engine counts every bar 2 pixels shorter (neighbours
        // overlap by 2); the site lays them end to end, so the row's length
        // is handed over less 2 pixels a bar.
        const QRect lr = site->LayoutRect();
        const int available = (h ? lr.width() : lr.height()) - 2 * int(row.size());
        const sizing::RowAdjust a = available > 0 ? sizing::AdjustRowSizes(recs, available) : sizing::RowAdjust{};
        if (!a.ok && a.breakBefore > 0) {
            // The row is too long: the bar moves to a new row; the site's
            // layout notices the changed rows and runs again.
            site->Rows().InsertBreakBefore(site->Key(row[size_t(a.breakBefore)]));
            return h ? m_szHorz : m_szVert;
        }
        // The lengths only: each bar keeps its own thickness, and the row
        // shows the thickest (RowThickness), so that a bar that leaves the
        // row or hides gives its room back.
        for (size_t i = 0; i < row.size(); ++i)
            if (auto* s = qobject_cast<CSizingControlBar*>(row[i])) {
                QSize& d = h ? s->m_szHorz : s->m_szVert;
                if (h)
                    d.setWidth(recs[i].length);
                else
                    d.setHeight(recs[i].length);
                s->m_state &= ~(JustDocked | RowNeedsLayout);
            }
        LayoutRow(sizingRow);
    }
    if (site)
        UpdateEdges();   // the neighbours may have changed
    QSize d = horz ? m_szHorz : m_szVert;
    if (site && !IsFloating() && horz == HorzRow()) {
        if (horz)
            d.setHeight(RowThickness());
        else
            d.setWidth(RowThickness());
    }
    return d.expandedTo(m_szMin);
}

int CSizingControlBar::RowThickness() const
{
    const bool h = HorzRow();
    int thick = h ? m_szHorz.height() : m_szVert.width();
    const std::vector<CSizingControlBar*> row = RowSizingBars();
    if (std::find(row.begin(), row.end(), this) == row.end())
        return thick;
    thick = 0;
    for (CSizingControlBar* b : row)
        thick = std::max(thick, h ? b->m_szHorz.height() : b->m_szVert.width());
    return thick;
}

bool CSizingControlBar::LimitDockedThickness(int thickness, bool horz)
{
    QSize& d = horz ? m_szHorz : m_szVert;
    int& across = horz ? d.rheight() : d.rwidth();
    const int limit = std::max(thickness, LeastDockedThickness(horz));
    if (across <= limit)
        return false;
    across = limit;
    return true;
}

void CSizingControlBar::SetBarStyle(uint32_t style)
{
    ui::ControlBar::SetBarStyle(style);
    UpdateMargins();
}

void CSizingControlBar::LayoutRow(const std::vector<CSizingControlBar*>& row)
{
    // The bars lie end to end: the site places each after the previous one.
    for (CSizingControlBar* b : row)
        b->SetDockPos(0);
}

QSize CSizingControlBar::CalcDynamicLayout(int length, uint32_t mode)
{
    if (mode & (ui::LM_HORZDOCK | ui::LM_VERTDOCK)) {
        if (length == -1)
            m_state |= RowNeedsLayout;   // a layout pass of the site
        return CalcFixedLayout(false, (mode & ui::LM_HORZDOCK) != 0);
    }
    if (!(mode & (ui::LM_MRUWIDTH | ui::LM_COMMIT)) && length >= 0) {
        if (mode & ui::LM_LENGTHY)
            m_szFloat.setHeight(std::max(length, m_szMin.height()));
        else
            m_szFloat.setWidth(std::max(length, m_szMin.width()));
    }
    return m_szFloat;
}

void CSizingControlBar::OnUpdateCmdUI()
{
    // The close button follows the cursor.
    const QPoint p = mapFromGlobal(QCursor::pos());
    const bool over = CloseButtonRect().contains(p) && rect().contains(p);
    const bool down = QApplication::mouseButtons() & Qt::LeftButton;
    const int state = over ? (down ? 0x1 : 0x2) : (m_closeState & 0x1 && down ? 0x1 : 0);
    if (state != m_closeState) {
        m_closeState = state;
        update();
    }
}

// --- persistence ----------------------------------------------------------------------

namespace {
std::u16string StateSection(const QString& section, uint32_t id)
{
    return (section + QStringLiteral("-SCBar-%1").arg(id)).toStdU16String();
}
} // namespace

bool CSizingControlBar::LoadState(const QString& section)
{
    const std::u16string s = StateSection(section, GetDlgCtrlID());
    auto read = [&](const char16_t* cx, const char16_t* cy, QSize& size) {
        size = QSize(sys::Profile::GetInt(s, cx, size.width()), sys::Profile::GetInt(s, cy, size.height()))
                   .expandedTo(m_szMin);
    };
    read(u"sizeHorzCX", u"sizeHorzCY", m_szHorz);
    read(u"sizeVertCX", u"sizeVertCY", m_szVert);
    read(u"sizeFloatCX", u"sizeFloatCY", m_szFloat);
    return true;
}

bool CSizingControlBar::SaveState(const QString& section)
{
    if (ui::Application::RunsWithoutDisplay())
        return true; // no window layout of a run without a display
    const std::u16string s = StateSection(section, GetDlgCtrlID());
    using sys::Profile::WriteInt;
    return WriteInt(s, u"sizeHorzCX", m_szHorz.width()) && WriteInt(s, u"sizeHorzCY", m_szHorz.height()) &&
           WriteInt(s, u"sizeVertCX", m_szVert.width()) && WriteInt(s, u"sizeVertCY", m_szVert.height()) &&
           WriteInt(s, u"sizeFloatCX", m_szFloat.width()) && WriteInt(s, u"sizeFloatCY", m_szFloat.height());
}

// --- geometry ---------------------------------------------------------------------------

QRect CSizingControlBar::EdgeRect(int hit) const
{
    const uint32_t bit = EdgeBit(hit);
    if (!bit || !(m_state & bit) || IsFloating())
        return {};
    const QRect r = (m_state & EdgesTakeRoom) ? rect().adjusted(1, 1, -1, -1) : rect();
    switch (hit) {
    case sizing::HitLeft:
        return QRect(r.left(), r.top(), kEdgeWidth, r.height());
    case sizing::HitRight:
        return QRect(r.right() - kEdgeWidth + 1, r.top(), kEdgeWidth, r.height());
    case sizing::HitTop:
        return QRect(r.left(), r.top(), r.width(), kEdgeWidth);
    default:
        return QRect(r.left(), r.bottom() - kEdgeWidth + 1, r.width(), kEdgeWidth);
    }
}

QRect CSizingControlBar::CaptionRect() const
{
    if (!m_captionHeight || IsFloating())
        return {};
    const QRect c = contentsRect();
    if (HorzRow())
        return QRect(c.left() - m_captionHeight - 1, c.top(), m_captionHeight, c.height());
    return QRect(c.left(), c.top() - m_captionHeight - 1, c.width(), m_captionHeight);
}

QRect CSizingControlBar::CloseButtonRect() const
{
    const QRect cap = CaptionRect();
    if (cap.isEmpty())
        return {};
    if (HorzRow())
        return QRect(cap.left() + (cap.width() - kCloseSize) / 2, cap.top(), kCloseSize, kCloseSize);
    return QRect(cap.right() - kCloseSize + 1, cap.top() + (cap.height() - kCloseSize) / 2, kCloseSize, kCloseSize);
}

int CSizingControlBar::HitTest(QPoint p) const
{
    if (!rect().contains(p))
        return sizing::HitNowhere;
    if (!IsFloating())
        for (int hit : {sizing::HitLeft, sizing::HitTop, sizing::HitRight, sizing::HitBottom})
            if (EdgeRect(hit).contains(p))
                return hit;
    if (CloseButtonRect().contains(p))
        return sizing::HitClose;
    return sizing::HitClient;
}

// --- painting ---------------------------------------------------------------------------

void CSizingControlBar::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QPalette& pal = palette();
    p.fillRect(rect(), pal.color(QPalette::Button));
    if (IsFloating())
        return;
    for (int hit : {sizing::HitLeft, sizing::HitTop, sizing::HitRight, sizing::HitBottom}) {
        const QRect e = EdgeRect(hit);
        if (e.isEmpty())
            continue;
        const QRect r = e.adjusted(1, 1, -1, -1);
        p.setPen(pal.color(QPalette::Light));
        p.drawLine(r.topLeft(), r.topRight());
        p.drawLine(r.topLeft(), r.bottomLeft());
        p.setPen(pal.color(QPalette::Dark));
        p.drawLine(r.bottomLeft(), r.bottomRight());
        p.drawLine(r.topRight(), r.bottomRight());
    }
    const QRect cap = CaptionRect();
    if (!cap.isEmpty())
        DrawNcGripper(p, cap);
}

void CSizingControlBar::DrawNcGripper(QPainter& p, const QRect& band)
{
    // Two raised lines along the caption side.
    const QPalette& pal = palette();
    const bool horz = HorzRow();
    for (int i = 0; i < 2; ++i) {
        const QRect line = horz ? QRect(band.left() + 2 + i * 4, band.top() + 2, 3, band.height() - 4)
                                : QRect(band.left() + 2, band.top() + 2 + i * 4, band.width() - 4, 3);
        p.setPen(pal.color(QPalette::Light));
        p.drawLine(line.topLeft(), horz ? line.bottomLeft() : line.topRight());
        p.setPen(pal.color(QPalette::Dark));
        p.drawLine(horz ? line.topRight() : line.bottomLeft(), line.bottomRight());
    }
}

// --- mouse and sizing ----------------------------------------------------------------------

void CSizingControlBar::mousePressEvent(QMouseEvent* e)
{
    if (e->type() == QEvent::MouseButtonDblClick) {
        mouseDoubleClickEvent(e);
        return;
    }
    if (IsTracking()) {
        if (e->button() == Qt::RightButton)
            EndSizing();
        return;
    }
    if (e->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(e);
        return;
    }
    const int hit = HitTest(e->position().toPoint());
    if (hit == sizing::HitClose) {
        m_closeState = 0x3;
        update();
        return;
    }
    if (EdgeBit(hit)) {
        BeginSizing(hit, e->globalPosition().toPoint());
        return;
    }
    if (ui::DockContext* ctx = GetDockContext())
        ctx->StartDrag(e->globalPosition().toPoint());
}

void CSizingControlBar::mouseMoveEvent(QMouseEvent* e)
{
    if (IsTracking()) {
        TrackResize(e->globalPosition().toPoint());
        return;
    }
    const int hit = HitTest(e->position().toPoint());
    const int hot = hit == sizing::HitClose ? 0x2 : 0;
    if ((m_closeState & 0x2) != hot) {
        m_closeState = (m_closeState & 0x1) | hot;
        update();
    }
    if (hit == sizing::HitLeft || hit == sizing::HitRight)
        setCursor(Qt::SplitHCursor);
    else if (hit == sizing::HitTop || hit == sizing::HitBottom)
        setCursor(Qt::SplitVCursor);
    else
        unsetCursor();
}

void CSizingControlBar::mouseReleaseEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(e);
        return;
    }
    if (IsTracking()) {
        TrackResize(e->globalPosition().toPoint());
        EndSizing();
        return;
    }
    if (m_closeState & 0x1) {
        m_closeState = 0;
        update();
        if (HitTest(e->position().toPoint()) == sizing::HitClose) {
            if (auto* frame = dynamic_cast<CKVTFrameBase*>(GetDockingFrame()))
                frame->ShowControlBar(this, false, false);
            else
                hide();
        }
    }
}

void CSizingControlBar::mouseDoubleClickEvent(QMouseEvent* e)
{
    const int hit = HitTest(e->position().toPoint());
    if (e->button() == Qt::LeftButton && hit == sizing::HitClient) {
        if (ui::DockContext* ctx = GetDockContext())
            ctx->ToggleDocking();
        return;
    }
    QWidget::mouseDoubleClickEvent(e);
}

void CSizingControlBar::keyPressEvent(QKeyEvent* e)
{
    if (IsTracking() && e->key() == Qt::Key_Escape) {
        EndSizing();
        return;
    }
    ui::ControlBar::keyPressEvent(e);
}

void CSizingControlBar::leaveEvent(QEvent* e)
{
    if (m_closeState & 0x2) {
        m_closeState &= ~0x2;
        update();
    }
    ui::ControlBar::leaveEvent(e);
}

bool CSizingControlBar::event(QEvent* e)
{
    if (e->type() == QEvent::UngrabMouse && IsTracking())
        EndSizing();
    return ui::ControlBar::event(e);
}

void CSizingControlBar::BeginSizing(int hit, QPoint global)
{
    if (IsFloating())
        return;
    const bool h = HorzRow();
    const bool along = h ? (hit == sizing::HitLeft || hit == sizing::HitRight)
                         : (hit == sizing::HitTop || hit == sizing::HitBottom);
    m_trackEdge = hit;
    m_startPoint = global;
    m_startSize = DockedSize();
    if (!along) {   // the row shows its thickest bar
        if (h)
            m_startSize.setHeight(RowThickness());
        else
            m_startSize.setWidth(RowThickness());
    }
    m_neighbour = nullptr;
    const int own = along ? (h ? m_startSize.width() : m_startSize.height())
                          : (h ? m_startSize.height() : m_startSize.width());
    const int ownMin = along ? (h ? m_szMin.width() : m_szMin.height()) : (h ? m_szMin.height() : m_szMin.width());
    m_trackMin = ownMin;
    m_trackMax = own;
    if (along) {
        // The neighbour across the edge gives up or takes the length.
        const std::vector<CSizingControlBar*> row = RowSizingBars();
        const auto it = std::find(row.begin(), row.end(), this);
        if (it != row.end()) {
            const bool leading = hit == sizing::HitLeft || hit == sizing::HitTop;
            if (leading && it != row.begin())
                m_neighbour = *(it - 1);
            else if (!leading && it + 1 != row.end())
                m_neighbour = *(it + 1);
        }
        if (m_neighbour) {
            m_neighbourStart = h ? m_neighbour->m_szHorz : m_neighbour->m_szVert;
            const int nLen = h ? m_neighbourStart.width() : m_neighbourStart.height();
            const int nMin = h ? m_neighbour->m_szMin.width() : m_neighbour->m_szMin.height();
            m_trackMax = own + std::max(0, nLen - nMin);
        }
    } else {
        // The thickness: every bar of the row at least its minimum, at most
        // what the frame's client area leaves beyond its least centre.
        for (CSizingControlBar* b : RowSizingBars())
            m_trackMin = std::max(m_trackMin, h ? b->m_szMin.height() : b->m_szMin.width());
        int free = 0;
        if (CKVTToolDockBar* site = Site())
            if (auto* client = qobject_cast<KvtFrameClient*>(site->parentWidget()); client && client->Center()) {
                const QSize least = client->LeastCenterSize();
                free = h ? client->Center()->height() - least.height() : client->Center()->width() - least.width();
            }
        m_trackMax = own + std::max(0, free);
    }
    m_state |= Tracking;
    grabMouse();
    setFocus(Qt::MouseFocusReason);
}

void CSizingControlBar::TrackResize(QPoint global)
{
    if (!IsTracking())
        return;
    const bool h = HorzRow();
    const QPoint d = global - m_startPoint;
    const bool along = h ? (m_trackEdge == sizing::HitLeft || m_trackEdge == sizing::HitRight)
                         : (m_trackEdge == sizing::HitTop || m_trackEdge == sizing::HitBottom);
    const bool horizontalMove = m_trackEdge == sizing::HitLeft || m_trackEdge == sizing::HitRight;
    const int delta = horizontalMove ? d.x() : d.y();
    const bool subtract = m_trackEdge == sizing::HitLeft || m_trackEdge == sizing::HitTop;
    const int start = horizontalMove ? m_startSize.width() : m_startSize.height();
    const int wanted = std::clamp(start + (subtract ? -delta : delta), m_trackMin, std::max(m_trackMin, m_trackMax));
    QSize& mine = DockedSize();
    const int current = horizontalMove ? mine.width() : mine.height();
    if (wanted == current)
        return;
    if (horizontalMove)
        mine.setWidth(wanted);
    else
        mine.setHeight(wanted);
    if (along) {
        if (m_neighbour) {
            QSize& theirs = h ? m_neighbour->m_szHorz : m_neighbour->m_szVert;
            const int moved = wanted - start;
            if (horizontalMove)
                theirs.setWidth(m_neighbourStart.width() - moved);
            else
                theirs.setHeight(m_neighbourStart.height() - moved);
        }
    } else {
        // Every bar of the row keeps the common thickness.
        for (CSizingControlBar* b : RowSizingBars()) {
            QSize& s = h ? b->m_szHorz : b->m_szVert;
            if (h)
                s.setHeight(wanted);
            else
                s.setWidth(wanted);
        }
    }
    // Full-window dragging: the frame lays out at once.
    RecalcFrameLayout();
}

void CSizingControlBar::EndSizing()
{
    if (!IsTracking())
        return;
    m_state &= ~Tracking;
    releaseMouse();
    m_neighbour = nullptr;
    RecalcFrameLayout();
}

// --- CSizingControlBarCF --------------------------------------------------------------------

void CSizingControlBarCF::OnUpdateCmdUI()
{
    CSizingControlBar::OnUpdateCmdUI();
    QWidget* focus = QApplication::focusWidget();
    const bool inside = focus && (focus == this || isAncestorOf(focus));
    const uint32_t s = State();
    if (inside != ((s & FocusInside) != 0)) {
        SetStateWord(inside ? (s | FocusInside) : (s & ~FocusInside));
        update();
    }
}

void CSizingControlBarCF::DrawNcGripper(QPainter& p, const QRect& band)
{
    const QPalette& pal = palette();
    const bool active = (State() & FocusInside) != 0;
    const QColor fill = active ? pal.color(QPalette::Active, QPalette::Highlight) : pal.color(QPalette::Mid);
    p.fillRect(band, fill);
    const QRect close = CloseButtonRect();
    // The title in the application's font, along the caption.
    p.save();
    p.setFont(QApplication::font());
    p.setPen(active ? pal.color(QPalette::Active, QPalette::HighlightedText) : pal.color(QPalette::ButtonText));
    QFont f = p.font();
    f.setPixelSize(std::max(8, band.width() < band.height() ? band.width() - 2 : band.height() - 2));
    p.setFont(f);
    if (band.width() < band.height()) {
        // Docked top or bottom: the caption runs upwards on the left.
        p.translate(band.left(), band.bottom());
        p.rotate(-90);
        const QRect text(0, 0, band.height() - close.height() - 4, band.width());
        p.drawText(text.adjusted(2, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, windowTitle());
    } else {
        p.drawText(QRect(band.left() + 2, band.top(), band.width() - close.width() - 6, band.height()),
                   Qt::AlignLeft | Qt::AlignVCenter, windowTitle());
    }
    p.restore();
    // The close button: a cross, sunken while pressed, raised while hot.
    if (close.isEmpty())
        return;
    const bool pressed = (m_closeState & 0x3) == 0x3;
    const bool hot = (m_closeState & 0x2) != 0;
    p.fillRect(close, pal.color(QPalette::Button));
    if (pressed || hot) {
        p.setPen(pressed ? pal.color(QPalette::Dark) : pal.color(QPalette::Light));
        p.drawLine(close.topLeft(), close.topRight());
        p.drawLine(close.topLeft(), close.bottomLeft());
        p.setPen(pressed ? pal.color(QPalette::Light) : pal.color(QPalette::Dark));
        p.drawLine(close.bottomLeft(), close.bottomRight());
        p.drawLine(close.topRight(), close.bottomRight());
    }
    const QRect x = close.adjusted(3, 3, -3, -3).translated(pressed ? 1 : 0, pressed ? 1 : 0);
    p.setPen(QPen(pal.color(QPalette::ButtonText), 1.5));
    p.drawLine(x.topLeft(), x.bottomRight() + QPoint(1, 1));
    p.drawLine(x.topRight() + QPoint(1, 0), x.bottomLeft() + QPoint(0, 1));
}

bool CSizingControlBarCF::event(QEvent* e)
{
    if (e->type() == QEvent::WindowTitleChange)
        update();
    return CSizingControlBar::event(e);
}

// --- CSizingBarDockContext --------------------------------------------------------------------

CSizingBarDockContext::CSizingBarDockContext(CSizingControlBar* bar, std::unique_ptr<ui::DockContext> frameContext)
    : m_bar(bar), m_frame(std::move(frameContext))
{
}

namespace {
// Moves r by the least amount that brings p inside it.
QRect Reach(QRect r, QPoint p)
{
    if (p.x() < r.left())
        r.moveLeft(p.x());
    else if (p.x() > r.right())
        r.moveRight(p.x());
    if (p.y() < r.top())
        r.moveTop(p.y());
    else if (p.y() > r.bottom())
        r.moveBottom(p.y());
    return r;
}
} // namespace

void CSizingBarDockContext::StartDrag(const QPoint& globalPoint)
{
    const QPoint origin = m_bar->mapToGlobal(QPoint(0, 0));
    const QSize horz = m_bar->CalcDynamicLayout(0, ui::LM_HORZ | ui::LM_HORZDOCK);
    const QSize vert = m_bar->CalcDynamicLayout(0, ui::LM_VERTDOCK);
    const QSize flt = m_bar->CalcDynamicLayout(0, ui::LM_HORZ | ui::LM_MRUWIDTH);
    m_horz = Reach(QRect(origin, horz), globalPoint);
    m_vert = Reach(QRect(origin, vert), globalPoint);
    // The floating frame: a thick border around the bar, less 2 pixels.
    const QSize frame = CKVTMiniDockFrameWnd::FrameSizeFor(flt);
    m_float = Reach(QRect(origin, frame).adjusted(2, 2, -2, -2), globalPoint);
    if (m_frame)
        m_frame->StartDrag(globalPoint);
}

void CSizingBarDockContext::StartResize(int hitCode, const QPoint& globalPoint)
{
    if (m_frame)
        m_frame->StartResize(hitCode, globalPoint);
}

void CSizingBarDockContext::ToggleDocking()
{
    if (m_frame)
        m_frame->ToggleDocking();
}

bool CSizingBarDockContext::IsTracking() const { return m_frame && m_frame->IsTracking(); }

void CSizingBarDockContext::Cancel()
{
    if (m_frame)
        m_frame->Cancel();
}
