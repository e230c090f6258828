#include "uilib/KVTDocking.h"

#include "uilib/KVTDrawingData.h"
#include "uilib/KVTFrameHelper.h"
#include "uilib/KVTMenuBar.h"
#include "uilib/KVTToolBar.h"
#include "uilib/KVTFrameHooks.h"
#include "uilib/dock/DockPlace.h"
#include "uilib/dock/DockSites.h"

#include "platform/ui/BarStyle.h"

#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QRubberBand>
#include <QScreen>
#include <QTimer>

#include <algorithm>

// The dock core keeps its own copy of the bar style's site ids, alignment
// bits and layout modes; they must stay the framework's values.
static_assert(dock::SITE_TOP == ui::DOCKBAR_TOP && dock::SITE_LEFT == ui::DOCKBAR_LEFT &&
              dock::SITE_RIGHT == ui::DOCKBAR_RIGHT && dock::SITE_BOTTOM == ui::DOCKBAR_BOTTOM);
static_assert(dock::ALIGN_LEFT == ui::CBRS_ALIGN_LEFT && dock::ALIGN_TOP == ui::CBRS_ALIGN_TOP &&
              dock::ALIGN_RIGHT == ui::CBRS_ALIGN_RIGHT && dock::ALIGN_BOTTOM == ui::CBRS_ALIGN_BOTTOM);
static_assert(dock::LM_HORZ == ui::LM_HORZ && dock::LM_HORZDOCK == ui::LM_HORZDOCK &&
              dock::LM_VERTDOCK == ui::LM_VERTDOCK);

namespace {

dock::Rect ToDock(const QRect& r)
{
    return {r.x(), r.y(), r.width(), r.height()};
}

QRect ToQt(const dock::Rect& r)
{
    return QRect(r.x, r.y, r.w, r.h);
}

dock::BarKind KindOf(const ui::ControlBar* bar)
{
    if (qobject_cast<const CKVTMenuBar*>(bar))
        return dock::BarKind::MenuBar;
    if (qobject_cast<const CKVTToolBar*>(bar))
        return dock::BarKind::Toolbar;
    if (bar->property("kvtSizingBar").toBool())
        return dock::BarKind::LibrarySizingBar;
    return dock::BarKind::Other;
}

// A bar that keeps its size in a row (a toolbar), unlike the menu bar that
// takes a whole row and the sizing bars that give way.
bool KeepsSize(const ui::ControlBar* bar)
{
    const dock::BarKind kind = KindOf(bar);
    return kind == dock::BarKind::Toolbar ||
           (kind == dock::BarKind::Other && bar->LeastDockedThickness(ui::IsHorizontalSite(bar->GetDockSiteId())) == 0);
}

std::vector<dock::Rect> ScreenRects()
{
    std::vector<dock::Rect> out;
    for (QScreen* s : QGuiApplication::screens())
        out.push_back(ToDock(s->availableGeometry()));
    return out;
}

} // namespace

// --- CKVTToolDockBar ---------------------------------------------------------------

namespace {
// The live sites of every frame, for the large-icons switch.
std::vector<CKVTToolDockBar*>& AllSites()
{
    static std::vector<CKVTToolDockBar*> sites;
    return sites;
}
} // namespace

CKVTToolDockBar::CKVTToolDockBar(uint32_t id, QWidget* parent) : QWidget(parent), m_id(id)
{
    setObjectName(QStringLiteral("DockSite%1").arg(id));
    setAutoFillBackground(false);
    AllSites().push_back(this);
}

CKVTToolDockBar::~CKVTToolDockBar()
{
    auto& sites = AllSites();
    sites.erase(std::remove(sites.begin(), sites.end(), this), sites.end());
}

void CKVTToolDockBar::RememberRowsOfAllSites()
{
    for (CKVTToolDockBar* site : AllSites()) {
        site->Prune();
        RememberedRows r;
        r.rows = site->m_rows;
        for (const auto& [key, bar] : site->m_keys)
            if (bar)
                r.pos[key] = bar->DockPos();
        site->m_remembered = std::move(r);
    }
}

void CKVTToolDockBar::RestoreRowsOfAllSites()
{
    std::vector<KvtFrameClient*> clients;
    for (CKVTToolDockBar* site : AllSites()) {
        if (!site->m_remembered)
            continue;
        RememberedRows r = std::move(*site->m_remembered);
        site->m_remembered.reset();
        site->Prune();
        if (!dock::RowsOnlyWrapped(r.rows, site->m_rows))
            continue;
        site->m_rows = r.rows;
        for (const auto& [key, pos] : r.pos)
            if (ui::ControlBar* bar = site->BarAt(key))
                bar->SetDockPos(pos);
        if (auto* client = qobject_cast<KvtFrameClient*>(site->parentWidget());
            client && std::find(clients.begin(), clients.end(), client) == clients.end())
            clients.push_back(client);
    }
    for (KvtFrameClient* client : clients)
        client->RecalcLayout();
}

int CKVTToolDockBar::KeyOf(const ui::ControlBar* bar) const
{
    for (const auto& [key, p] : m_keys)
        if (p == bar)
            return key;
    return -1;
}

int CKVTToolDockBar::AddKey(ui::ControlBar* bar)
{
    int key = KeyOf(bar);
    if (key < 0) {
        key = m_nextKey++;
        m_keys[key] = bar;
    }
    return key;
}

void CKVTToolDockBar::Prune()
{
    for (auto it = m_keys.begin(); it != m_keys.end();) {
        if (!it->second || it->second->parentWidget() != this) {
            m_rows.Remove(it->first);
            it = m_keys.erase(it);
        } else {
            ++it;
        }
    }
}

ui::ControlBar* CKVTToolDockBar::BarAt(int key) const
{
    const auto it = m_keys.find(key);
    return it == m_keys.end() ? nullptr : it->second.data();
}

bool CKVTToolDockBar::Contains(const ui::ControlBar* bar) const
{
    const int key = KeyOf(bar);
    return key >= 0 && m_rows.Contains(key);
}

std::vector<ui::ControlBar*> CKVTToolDockBar::Bars() const
{
    std::vector<ui::ControlBar*> out;
    for (int e : m_rows.Entries()) {
        if (e == dock::kRowBreak)
            continue;
        const auto it = m_keys.find(e);
        if (it != m_keys.end() && it->second)
            out.push_back(it->second);
    }
    return out;
}

void CKVTToolDockBar::AddBar(ui::ControlBar* bar, const std::optional<QRect>& siteRect)
{
    Prune();
    const int key = AddKey(bar);
    if (!siteRect) {
        m_rows.InsertRow(key, m_rows.RowCount() + 1);
        bar->SetDockPos(0);
        return;
    }
    // The current rows, measured without moving anything.
    m_layout = dock::LayoutSite(m_rows, Input(RowLength()));
    if (!KeepsSize(bar)) {
        bar->SetDockPos(dock::InsertAtRect(m_rows, m_layout, IsHorizontal(), key, ToDock(*siteRect)));
        return;
    }
    // A toolbar goes to the frame's edge or beside other toolbars, never
    // into a row of sizing bars (it would take the row's whole thickness).
    bar->SetDockPos(dock::InsertToolbarAtRect(m_rows, m_layout, IsHorizontal(), OuterIsFirst(), key,
                                              ToDock(*siteRect), [this](int row) { return RowUseOf(row); }));
}

dock::RowUse CKVTToolDockBar::RowUseOf(int row) const
{
    bool shown = false;
    for (int k : m_rows.Row(row)) {
        ui::ControlBar* b = BarAt(k);
        if (!b || !b->IsVisible())
            continue;
        if (KindOf(b) == dock::BarKind::MenuBar)
            return dock::RowUse::Menu;
        if (!KeepsSize(b))
            return dock::RowUse::Other;
        shown = true;
    }
    return shown ? dock::RowUse::Toolbars : dock::RowUse::Other;
}

QRect CKVTToolDockBar::DropRect(const ui::ControlBar* bar, const QRect& siteRect) const
{
    if (!KeepsSize(bar) || int(m_layout.rows.size()) != m_rows.RowCount())
        return siteRect;
    return ToQt(dock::ToolbarDropRect(m_layout, IsHorizontal(), OuterIsFirst(), ToDock(siteRect),
                                      [this](int row) { return RowUseOf(row); }));
}

int CKVTToolDockBar::RowLength() const
{
    return IsHorizontal() ? m_layoutRect.width() : m_layoutRect.height();
}

std::optional<QRect> CKVTToolDockBar::PlacedRect(const ui::ControlBar* bar)
{
    Layout(RowLength(), false);
    if (const dock::PlacedBar* p = m_layout.Find(KeyOf(bar)))
        return ToQt(p->rect);
    return std::nullopt;
}

void CKVTToolDockBar::AddBarAt(ui::ControlBar* bar, int row, int pos)
{
    const int key = AddKey(bar);
    m_rows.Insert(key, row, 1 << 20);
    bar->SetDockPos(pos);
}

void CKVTToolDockBar::RemoveBar(ui::ControlBar* bar)
{
    const int key = KeyOf(bar);
    if (key < 0)
        return;
    m_rows.Remove(key);
    m_keys.erase(key);
}

std::pair<int, int> CKVTToolDockBar::RowAndPos(const ui::ControlBar* bar) const
{
    const int key = KeyOf(bar);
    if (key < 0)
        return {-1, 0};
    return {m_rows.RowOf(key), bar->DockPos()};
}

bool CKVTToolDockBar::HasVisibleBars() const
{
    for (ui::ControlBar* b : Bars())
        if (b->IsVisible())
            return true;
    return false;
}

dock::SiteLayoutInput CKVTToolDockBar::Input(int rowLength)
{
    dock::SiteLayoutInput in;
    in.horizontal = IsHorizontal();
    in.rowLength = rowLength;
    in.bar = [this](int key) {
        dock::LayoutBar b;
        ui::ControlBar* bar = m_keys[key];
        if (!bar) {
            b.visible = false;
            return b;
        }
        b.kind = KindOf(bar);
        b.visible = bar->IsVisible();
        b.pos = bar->DockPos();
        return b;
    };
    in.measure = [this](int key, uint32_t mode, int length, bool* changed) {
        ui::ControlBar* bar = m_keys[key];
        const size_t before = m_rows.Entries().size();
        const QSize s = bar->CalcDynamicLayout(length, mode);
        *changed = m_rows.Entries().size() != before;
        return dock::Size{s.width(), s.height()};
    };
    return in;
}

int CKVTToolDockBar::Layout(int rowLength, bool apply)
{
    Prune();
    m_layout = dock::LayoutSite(m_rows, Input(rowLength));
    if (apply) {
        for (const dock::PlacedBar& p : m_layout.bars) {
            ui::ControlBar* bar = m_keys[p.bar];
            if (!bar)
                continue;
            bar->setGeometry(ToQt(p.rect));
            bar->SetDockPos(p.pos);
            ui::ControlBar::DockMemory& m = bar->Memory();
            m.dockId = m_id;
            m.row = m_rows.RowOf(p.bar);
            m.pos = p.pos;
        }
    }
    return m_layout.thickness;
}

std::vector<dock::RowRoom> CKVTToolDockBar::RowRooms() const
{
    std::vector<dock::RowRoom> out;
    const std::vector<int>& entries = m_rows.Entries();
    for (const dock::PlacedRow& row : m_layout.rows) {
        dock::RowRoom room;
        room.thickness = row.thickness;
        for (int i = row.firstEntry; i < int(entries.size()) && entries[size_t(i)] != dock::kRowBreak; ++i) {
            const dock::PlacedBar* placed = m_layout.Find(entries[size_t(i)]);
            ui::ControlBar* bar = BarAt(entries[size_t(i)]);
            if (!placed || !bar)
                continue;
            // A bar that cannot give way keeps what it takes.
            const int least = bar->LeastDockedThickness(IsHorizontal());
            const int inset = KindOf(bar) == dock::BarKind::Other ? 2 : 0;
            const int takes = (IsHorizontal() ? placed->rect.h : placed->rect.w) - inset;
            room.least = std::max(room.least, least > 0 ? least : takes);
        }
        room.least = std::min(room.least, room.thickness);
        out.push_back(room);
    }
    return out;
}

bool CKVTToolDockBar::LimitRowThickness(int cap)
{
    bool changed = false;
    const std::vector<int>& entries = m_rows.Entries();
    for (const dock::PlacedRow& row : m_layout.rows) {
        if (row.thickness <= cap)
            continue;
        for (int i = row.firstEntry; i < int(entries.size()) && entries[size_t(i)] != dock::kRowBreak; ++i) {
            ui::ControlBar* bar = BarAt(entries[size_t(i)]);
            if (!bar || !bar->IsVisible())
                continue;
            if (bar->LimitDockedThickness(cap, IsHorizontal()))
                changed = true;
        }
    }
    return changed;
}

QSize CKVTToolDockBar::CalcFixedLayout(bool stretch, bool horz)
{
    const int length = horz ? m_layoutRect.width() : m_layoutRect.height();
    const int thick = Layout(length, false);
    if (horz)
        return QSize(stretch ? 32767 : length, thick);
    return QSize(thick, stretch ? 32767 : length);
}

void CKVTToolDockBar::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), CKVTDrawingData::Instance().Face());
}

void CKVTToolDockBar::mouseReleaseEvent(QMouseEvent* e)
{
    if (e->button() == Qt::RightButton && !CKVTToolbarShared::IsCustomizeMode()) {
        if (KvtFrameHooks* hooks = KvtFrameHooks::FromWidget(this))
            hooks->OnToolbarPopupMenu(this, e->globalPosition().toPoint());
        return;
    }
    QWidget::mouseReleaseEvent(e);
}

// --- KvtFrameClient ----------------------------------------------------------------

KvtFrameClient::KvtFrameClient(QWidget* center, QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("FrameClient"));
    SetCenter(center);
}

void KvtFrameClient::SetCenter(QWidget* center)
{
    m_center = center;
    if (center) {
        center->setParent(this);
        center->show();
    }
    RecalcLayout();
}

CKVTToolDockBar* KvtFrameClient::Site(uint32_t id) const
{
    const auto it = m_sites.find(id);
    return it == m_sites.end() ? nullptr : it->second;
}

CKVTToolDockBar* KvtFrameClient::CreateSite(uint32_t id)
{
    if (CKVTToolDockBar* s = Site(id))
        return s;
    auto* site = new CKVTToolDockBar(id, this);
    m_sites[id] = site;
    site->show();
    RecalcLayout();
    return site;
}

std::vector<CKVTToolDockBar*> KvtFrameClient::Sites() const
{
    std::vector<CKVTToolDockBar*> out;
    for (uint32_t id : {ui::DOCKBAR_TOP, ui::DOCKBAR_LEFT, ui::DOCKBAR_RIGHT, ui::DOCKBAR_BOTTOM})
        if (CKVTToolDockBar* s = Site(id))
            out.push_back(s);
    return out;
}

QSize KvtFrameClient::LeastCenterSize() const
{
    const dock::Size least = dock::LeastCenterSize({width(), height()});
    return QSize(least.cx, least.cy);
}

namespace {

// Takes excess pixels off the rows of two opposite sites, the thickest rows
// first; true when a bar gave way (the sites are then laid out again).
bool FitOppositeSites(CKVTToolDockBar* a, CKVTToolDockBar* b, int excess)
{
    if (excess <= 0)
        return false;
    std::vector<dock::RowRoom> rooms;
    for (CKVTToolDockBar* s : {a, b})
        if (s) {
            const std::vector<dock::RowRoom> r = s->RowRooms();
            rooms.insert(rooms.end(), r.begin(), r.end());
        }
    const int cap = dock::ThicknessCap(rooms, excess);
    bool changed = false;
    for (CKVTToolDockBar* s : {a, b})
        if (s && s->LimitRowThickness(cap))
            changed = true;
    return changed;
}

} // namespace

void KvtFrameClient::RecalcLayout()
{
    // Nothing is laid out before the frame shows: the rows would wrap at a
    // size the frame never has.
    if (m_inLayout || !isVisible() || m_awaitMaximize)
        return;
    m_inLayout = true;
    const int w = width(), h = height();
    const QSize least = LeastCenterSize();
    CKVTToolDockBar* topSite = Site(ui::DOCKBAR_TOP);
    CKVTToolDockBar* bottomSite = Site(ui::DOCKBAR_BOTTOM);
    CKVTToolDockBar* leftSite = Site(ui::DOCKBAR_LEFT);
    CKVTToolDockBar* rightSite = Site(ui::DOCKBAR_RIGHT);
    int top = 0, bottom = 0, left = 0, right = 0;
    // Two opposite sites across `length`: the first in `room`, the second in
    // what the first leaves of it (its rows or its columns).
    const auto layPair = [](CKVTToolDockBar* first, CKVTToolDockBar* second, const QRect& room, bool rows,
                            int length, int& a, int& b) {
        if (first) {
            first->SetLayoutRect(room);
            a = first->Layout(length, true);
        }
        if (second) {
            second->SetLayoutRect(rows ? room.adjusted(0, 0, 0, -a) : room.adjusted(0, 0, -a, 0));
            b = second->Layout(length, true);
        }
    };
    layPair(topSite, bottomSite, QRect(0, 0, w, h), true, w, top, bottom);
    if (FitOppositeSites(topSite, bottomSite, top + bottom - (h - least.height())))
        layPair(topSite, bottomSite, QRect(0, 0, w, h), true, w, top, bottom);
    // Past that the top site keeps its bars, then the bottom one.
    top = std::min(top, h);
    bottom = std::min(bottom, h - top);
    if (topSite)
        topSite->setGeometry(0, 0, w, top);
    if (bottomSite)
        bottomSite->setGeometry(0, h - bottom, w, bottom);
    const int middle = std::max(0, h - top - bottom);
    layPair(leftSite, rightSite, QRect(0, top, w, middle), false, middle, left, right);
    if (FitOppositeSites(leftSite, rightSite, left + right - (w - least.width())))
        layPair(leftSite, rightSite, QRect(0, top, w, middle), false, middle, left, right);
    left = std::min(left, w);
    right = std::min(right, w - left);
    if (leftSite)
        leftSite->setGeometry(0, top, left, middle);
    if (rightSite)
        rightSite->setGeometry(w - right, top, right, middle);
    if (m_center)
        m_center->setGeometry(left, top, std::max(0, w - left - right), middle);
    m_inLayout = false;
}

void KvtFrameClient::DelayRecalcLayout()
{
    if (m_delayed)
        return;
    m_delayed = true;
    QTimer::singleShot(0, this, [this] {
        m_delayed = false;
        RecalcLayout();
    });
}

QSize KvtFrameClient::sizeHint() const
{
    return m_center ? m_center->sizeHint() : QSize(400, 300);
}

QSize KvtFrameClient::minimumSizeHint() const
{
    return QSize(0, 0);
}

void KvtFrameClient::showEvent(QShowEvent* e)
{
    QWidget::showEvent(e);
    // A frame that opens maximised shows at its normal size first; rows laid
    // out at that size would wrap for good (the wraps go into the model)
    // where the maximised frame has room, so the restored layout would not
    // be the one left at exit.  The first layout waits for the maximised
    // size, at most half a second.
    QWidget* top = window();
    if (!m_shownOnce && top != this && (top->windowState() & Qt::WindowMaximized) &&
        top->geometry().size() == top->normalGeometry().size()) {
        m_awaitMaximize = true;
        QTimer::singleShot(500, this, [this] {
            if (m_awaitMaximize) {
                m_awaitMaximize = false;
                RecalcLayout();
            }
        });
    }
    m_shownOnce = true;
    RecalcLayout();
}

void KvtFrameClient::resizeEvent(QResizeEvent* e)
{
    QWidget::resizeEvent(e);
    if (m_awaitMaximize && window()->geometry().size() != window()->normalGeometry().size())
        m_awaitMaximize = false;
    RecalcLayout();
}

// --- CKVTMiniDockFrameWnd ----------------------------------------------------------

CKVTMiniDockFrameWnd::CKVTMiniDockFrameWnd(CKVTFrameHelper* helper, QWidget* frame)
    : QWidget(frame, Qt::Tool | Qt::FramelessWindowHint), m_helper(helper)
{
    setObjectName(QStringLiteral("MiniDockFrame"));
    setMouseTracking(true);
}

void CKVTMiniDockFrameWnd::SetBar(ui::ControlBar* bar)
{
    if (m_bar)
        disconnect(m_bar, nullptr, this, nullptr);
    m_bar = bar;
    if (bar) {
        bar->setParent(this);
        connect(bar, &QWidget::windowTitleChanged, this, [this] { update(); });
    }
    RecalcLayout();
}

QSize CKVTMiniDockFrameWnd::FloatingBarSize(ui::ControlBar* bar)
{
    if (bar->GetBarStyle() & ui::CBRS_SIZE_DYNAMIC)
        return bar->CalcDynamicLayout(-1, ui::LM_HORZ | ui::LM_MRUWIDTH);
    return bar->CalcFixedLayout(false, bar->IsHorizontal());
}

QSize CKVTMiniDockFrameWnd::FrameSizeFor(QSize barSize)
{
    return QSize(barSize.width() + 2 * kBorder, barSize.height() + 2 * kBorder + kCaption);
}

void CKVTMiniDockFrameWnd::RecalcLayout(std::optional<QSize> barSize)
{
    if (!m_bar)
        return;
    const QSize s = barSize ? *barSize : FloatingBarSize(m_bar);
    resize(FrameSizeFor(s));
    m_bar->setGeometry(kBorder, kBorder + kCaption, s.width(), s.height());
    update();
}

QRect CKVTMiniDockFrameWnd::CloseButtonRect() const
{
    return QRect(width() - kBorder - kCaption + 1, kBorder + 1, kCaption - 2, kCaption - 2);
}

bool CKVTMiniDockFrameWnd::CloseButtonShown() const
{
    auto* tb = qobject_cast<CKVTToolBar*>(m_bar.data());
    return !tb || tb->CanBeClosed();
}

int CKVTMiniDockFrameWnd::HitTest(QPoint p) const
{
    const int w = width(), h = height();
    const bool l = p.x() < kBorder, r = p.x() >= w - kBorder;
    const bool t = p.y() < kBorder, b = p.y() >= h - kBorder;
    if (t && l)
        return HitTopLeft;
    if (t && r)
        return HitTopRight;
    if (b && l)
        return HitBottomLeft;
    if (b && r)
        return HitBottomRight;
    if (l)
        return HitLeft;
    if (r)
        return HitRight;
    if (t)
        return HitTop;
    if (b)
        return HitBottom;
    if (CloseButtonShown() && CloseButtonRect().contains(p))
        return HitClose;
    if (p.y() < kBorder + kCaption)
        return HitCaption;
    return HitClient;
}

void CKVTMiniDockFrameWnd::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const CKVTDrawingData& dd = CKVTDrawingData::Instance();
    p.fillRect(rect(), dd.Face());
    p.setPen(dd.Shadow());
    p.drawRect(rect().adjusted(0, 0, -1, -1));
    const QRect caption(kBorder, kBorder, width() - 2 * kBorder, kCaption);
    p.fillRect(caption, palette().color(QPalette::Highlight));
    p.setPen(palette().color(QPalette::HighlightedText));
    QFont f = font();
    f.setPixelSize(kCaption - 3);
    f.setBold(true);
    p.setFont(f);
    const QString text = m_bar ? m_bar->windowTitle() : QString();
    p.drawText(caption.adjusted(2, 0, -kCaption - 2, 0), Qt::AlignVCenter | Qt::AlignLeft, text);
    if (CloseButtonShown()) {
        const QRect c = CloseButtonRect();
        p.fillRect(c, dd.Face());
        p.setPen(dd.Text());
        p.drawLine(c.topLeft() + QPoint(3, 3), c.bottomRight() - QPoint(3, 3));
        p.drawLine(c.topRight() + QPoint(-3, 3), c.bottomLeft() + QPoint(3, -3));
    }
}

void CKVTMiniDockFrameWnd::mousePressEvent(QMouseEvent* e)
{
    const int hit = HitTest(e->position().toPoint());
    const QPoint global = e->globalPosition().toPoint();
    if (e->button() == Qt::RightButton && hit == HitCaption) {
        if (!CKVTToolbarShared::IsCustomizeMode())
            if (KvtFrameHooks* hooks = KvtFrameHooks::FromWidget(this))
                hooks->OnToolbarPopupMenu(this, global);
        return;
    }
    if (e->button() != Qt::LeftButton || !m_bar)
        return;
    if (hit == HitClose) {
        m_closePressed = true;
        return;
    }
    ui::DockContext* ctx = m_bar->GetDockContext();
    if (hit == HitCaption) {
        if (ctx)
            ctx->StartDrag(global);
        else if (m_helper)
            m_helper->MoveFloatingFrame(this, global);
        return;
    }
    if (hit >= HitLeft && hit <= HitBottomRight && ctx)
        ctx->StartResize(hit, global);
}

void CKVTMiniDockFrameWnd::mouseReleaseEvent(QMouseEvent* e)
{
    if (m_closePressed && e->button() == Qt::LeftButton) {
        m_closePressed = false;
        if (HitTest(e->position().toPoint()) == HitClose && m_bar && m_helper)
            m_helper->ShowControlBar(m_bar, false, false);
    }
}

void CKVTMiniDockFrameWnd::mouseDoubleClickEvent(QMouseEvent* e)
{
    if (e->button() == Qt::LeftButton && HitTest(e->position().toPoint()) == HitCaption && m_bar) {
        if (ui::DockContext* ctx = m_bar->GetDockContext())
            ctx->ToggleDocking();
        return;
    }
    mousePressEvent(e);
}

void CKVTMiniDockFrameWnd::mouseMoveEvent(QMouseEvent* e)
{
    switch (HitTest(e->position().toPoint())) {
    case HitLeft:
    case HitRight:
        setCursor(Qt::SizeHorCursor);
        break;
    case HitTop:
    case HitBottom:
        setCursor(Qt::SizeVerCursor);
        break;
    case HitTopLeft:
    case HitBottomRight:
        setCursor(Qt::SizeFDiagCursor);
        break;
    case HitTopRight:
    case HitBottomLeft:
        setCursor(Qt::SizeBDiagCursor);
        break;
    default:
        unsetCursor();
    }
}

void CKVTMiniDockFrameWnd::closeEvent(QCloseEvent* e)
{
    // The window manager's close hides the bar.
    e->ignore();
    if (m_bar && m_helper && CloseButtonShown())
        m_helper->ShowControlBar(m_bar, false, false);
}

// --- KvtDockContext -----------------------------------------------------------------

KvtDockContext::KvtDockContext(ui::ControlBar* bar, CKVTFrameHelper* helper) : m_bar(bar), m_helper(helper) {}

KvtDockContext::~KvtDockContext()
{
    if (m_state != State::Idle)
        End();
}

void KvtDockContext::StartDrag(const QPoint& globalPoint)
{
    if (m_state != State::Idle)
        return;
    m_press = m_last = globalPoint;
    m_offset = globalPoint - m_bar->mapToGlobal(QPoint(0, 0));
    if (m_bar->IsFloating())
        if (QWidget* mini = m_bar->parentWidget())
            m_offset = globalPoint - mini->geometry().topLeft();
    m_ctrl = QGuiApplication::queryKeyboardModifiers() & Qt::ControlModifier;
    Begin(State::Armed);
}

void KvtDockContext::Begin(State s)
{
    if (m_state == State::Idle)
        qApp->installEventFilter(this);
    m_state = s;
    if (s == State::Dragging) {
        m_band = new QRubberBand(QRubberBand::Rectangle);
        m_band->setObjectName(QStringLiteral("DockDragBand"));
        m_bar->grabMouse();
        m_bar->grabKeyboard();
        Move(m_last);
    }
}

void KvtDockContext::End()
{
    qApp->removeEventFilter(this);
    if (m_state == State::Dragging || m_state == State::Resizing) {
        if (QWidget::mouseGrabber())
            QWidget::mouseGrabber()->releaseMouse();
        if (QWidget::keyboardGrabber())
            QWidget::keyboardGrabber()->releaseKeyboard();
    }
    delete m_band;
    m_band = nullptr;
    m_state = State::Idle;
}

void KvtDockContext::Cancel()
{
    const bool moved = m_state == State::Dragging;
    End();
    if (moved && m_helper)
        m_helper->RecalcLayout();   // the measuring changed the bar's wraps
}

void KvtDockContext::Move(const QPoint& global)
{
    m_last = global;
    dock::DragInput in;
    in.pointer = {global.x(), global.y()};
    const QPoint origin = global - m_offset;
    const QSize horz = m_bar->CalcFixedLayout(false, true);
    const QSize vert = m_bar->CalcFixedLayout(false, false);
    const QSize fl = CKVTMiniDockFrameWnd::FrameSizeFor(CKVTMiniDockFrameWnd::FloatingBarSize(m_bar));
    in.horz = ToDock(QRect(origin, horz));
    in.vert = ToDock(QRect(origin, vert));
    in.floating = ToDock(QRect(origin, fl));
    in.allowed = m_bar->GetEnabledAlignment();
    in.ctrl = m_ctrl;
    if (m_helper)
        in.sites = m_helper->SiteZones();
    const dock::DragTarget t = dock::FindDragTarget(in);
    m_target = t.siteId;
    m_targetRect = ToQt(t.rect);
    // A toolbar: the band shows the row it will join or the edge where its
    // new row will lie.
    if (CKVTToolDockBar* site = m_target && m_helper ? m_helper->Site(m_target) : nullptr) {
        const QRect r = site->DropRect(m_bar, QRect(site->mapFromGlobal(m_targetRect.topLeft()), m_targetRect.size()));
        m_targetRect = QRect(site->mapToGlobal(r.topLeft()), r.size());
    }
    if (m_band) {
        m_band->setGeometry(m_targetRect);
        m_band->show();
    }
}

void KvtDockContext::Drop()
{
    const uint32_t target = m_target;
    const QRect rect = m_targetRect;
    End();
    if (!m_helper)
        return;
    if (target)
        m_helper->DockControlBar(m_bar, target, rect);
    else
        m_helper->FloatControlBar(m_bar, rect.topLeft(), ui::CBRS_ALIGN_TOP);
}

void KvtDockContext::ToggleDocking()
{
    if (m_state != State::Idle)
        End();
    if (m_helper)
        m_helper->ToggleDocking(m_bar);
}

bool KvtDockContext::eventFilter(QObject* watched, QEvent* e)
{
    (void)watched;
    switch (e->type()) {
    case QEvent::MouseMove: {
        auto* me = static_cast<QMouseEvent*>(e);
        const QPoint g = me->globalPosition().toPoint();
        if (m_state == State::Armed) {
            if ((g - m_press).manhattanLength() >= QApplication::startDragDistance()) {
                m_last = g;
                Begin(State::Dragging);
            }
            return false;
        }
        if (m_state == State::Dragging) {
            m_ctrl = me->modifiers() & Qt::ControlModifier;
            Move(g);
            return true;
        }
        if (m_state == State::Resizing) {
            OnResizeMove(g);
            return true;
        }
        return false;
    }
    case QEvent::MouseButtonRelease: {
        auto* me = static_cast<QMouseEvent*>(e);
        if (me->button() != Qt::LeftButton)
            return m_state == State::Dragging;
        if (m_state == State::Armed) {
            End();   // a plain click
            return false;
        }
        if (m_state == State::Dragging) {
            Move(me->globalPosition().toPoint());
            Drop();
            return true;
        }
        if (m_state == State::Resizing) {
            End();
            return true;
        }
        return false;
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        if (static_cast<QMouseEvent*>(e)->button() == Qt::RightButton && m_state != State::Armed) {
            Cancel();
            return true;
        }
        return m_state == State::Dragging || m_state == State::Resizing;
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
        if (m_state == State::Armed)
            return false;
        auto* ke = static_cast<QKeyEvent*>(e);
        if (e->type() == QEvent::KeyPress && ke->key() == Qt::Key_Escape) {
            Cancel();
            return true;
        }
        if (ke->key() == Qt::Key_Control && m_state == State::Dragging) {
            m_ctrl = e->type() == QEvent::KeyPress;
            Move(m_last);
        }
        return true;
    }
    case QEvent::ApplicationDeactivate:
        if (m_state != State::Idle)
            Cancel();
        return false;
    default:
        return false;
    }
}

// --- CKVTToolbarDockContext --------------------------------------------------------

void KvtDockContext::StartResize(int hitCode, const QPoint& globalPoint)
{
    if (m_state != State::Idle || !m_bar->IsFloating() || !(m_bar->GetBarStyle() & ui::CBRS_SIZE_DYNAMIC))
        return;
    QWidget* mini = m_bar->parentWidget();
    if (!mini)
        return;
    m_hit = hitCode;
    m_press = m_last = globalPoint;
    m_startFrame = mini->geometry();
    Begin(State::Resizing);
    mini->grabMouse();
}

void KvtDockContext::OnResizeMove(const QPoint& global)
{
    // A floating sizing bar: the border follows the pointer, corners
    // change both dimensions.
    auto* mini = qobject_cast<CKVTMiniDockFrameWnd*>(m_bar->parentWidget());
    if (!mini)
        return;
    using H = CKVTMiniDockFrameWnd;
    const QPoint d = global - m_press;
    const QSize chrome = H::FrameSizeFor(QSize(0, 0));
    const bool left = m_hit == H::HitLeft || m_hit == H::HitTopLeft || m_hit == H::HitBottomLeft;
    const bool right = m_hit == H::HitRight || m_hit == H::HitTopRight || m_hit == H::HitBottomRight;
    const bool top = m_hit == H::HitTop || m_hit == H::HitTopLeft || m_hit == H::HitTopRight;
    const bool bottom = m_hit == H::HitBottom || m_hit == H::HitBottomLeft || m_hit == H::HitBottomRight;
    QSize s = m_startFrame.size() - chrome;
    if (left || right)
        m_bar->CalcDynamicLayout(std::max(1, s.width() + (left ? -d.x() : d.x())), ui::LM_HORZ);
    if (top || bottom)
        m_bar->CalcDynamicLayout(std::max(1, s.height() + (top ? -d.y() : d.y())), ui::LM_HORZ | ui::LM_LENGTHY);
    s = m_bar->CalcDynamicLayout(-1, ui::LM_HORZ | ui::LM_MRUWIDTH);
    QRect r(m_startFrame.topLeft(), H::FrameSizeFor(s));
    if (left)
        r.moveRight(m_startFrame.right());
    if (top)
        r.moveBottom(m_startFrame.bottom());
    mini->setGeometry(r);
    mini->RecalcLayout(s);
    mini->move(r.topLeft());
}

void CKVTToolbarDockContext::OnResizeMove(const QPoint& global)
{
    auto* mini = qobject_cast<CKVTMiniDockFrameWnd*>(m_bar->parentWidget());
    if (!mini)
        return;
    using H = CKVTMiniDockFrameWnd;
    const QPoint d = global - m_press;
    const QSize chrome = H::FrameSizeFor(QSize(0, 0));
    const bool left = m_hit == H::HitLeft || m_hit == H::HitTopLeft || m_hit == H::HitBottomLeft;
    const bool right = m_hit == H::HitRight || m_hit == H::HitTopRight || m_hit == H::HitBottomRight;
    const bool top = m_hit == H::HitTop || m_hit == H::HitTopLeft || m_hit == H::HitTopRight;
    QSize s;
    if (left || right) {
        const int width = m_startFrame.width() - chrome.width() + (left ? -d.x() : d.x());
        s = m_bar->CalcDynamicLayout(std::max(1, width), ui::LM_HORZ | ui::LM_COMMIT);
    } else {
        const int height = m_startFrame.height() - chrome.height() + (top ? -d.y() : d.y());
        s = m_bar->CalcDynamicLayout(std::max(1, height), ui::LM_HORZ | ui::LM_LENGTHY | ui::LM_COMMIT);
    }
    const QSize frame = H::FrameSizeFor(s);
    QRect r(m_startFrame.topLeft(), frame);
    if (left)
        r.moveRight(m_startFrame.right());
    if (top)
        r.moveBottom(m_startFrame.bottom());
    if (!dock::StretchApplies(ToDock(r), ScreenRects()))
        return;
    m_bar->SetLastFloatingWidth(s.width());
    mini->setGeometry(r);
    mini->RecalcLayout(s);
    mini->move(r.topLeft());
}
