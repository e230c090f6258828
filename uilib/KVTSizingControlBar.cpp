#include "uilib/KVTSizingControlBar.h"

#include "platform/sys/Registry.h"
#include "platform/ui/App.h"
#include "platform/ui/Dialog.h"
#include "res/StringTable.h"
#include "uilib/KVTDocking.h"
#include "uilib/KVTDrawingData.h"
#include "uilib/KVTFrameHooks.h"
#include "uilib/KVTFrameWnd.h"
#include "uilib/KVTMenuBar.h"
#include "uilib/KVTMenuImages.h"
#include "uilib/KVTToolBar.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QRadioButton>
#include <QRubberBand>
#include <QToolTip>

#include <algorithm>
#include <map>

namespace {

std::vector<CKVTSizingControlBar*>& Registry()
{
    static std::vector<CKVTSizingControlBar*> bars;
    return bars;
}

std::u16string U16(const QString& s)
{
    return s.toStdU16String();
}

} // namespace

CKVTSizingControlBar::CKVTSizingControlBar(QWidget* parent) : ui::ControlBar(parent)
{
    setProperty("kvtSizingBar", true);
    setMouseTracking(true);
    Registry().push_back(this);
}

CKVTSizingControlBar::~CKVTSizingControlBar()
{
    auto& r = Registry();
    r.erase(std::remove(r.begin(), r.end(), this), r.end());
    delete m_band;
}

const std::vector<CKVTSizingControlBar*>& CKVTSizingControlBar::AllBars()
{
    return Registry();
}

bool CKVTSizingControlBar::Create(const QString& title, QWidget* parent, QSize defaultSize, bool gripper,
                                  uint32_t id, uint32_t style)
{
    m_rec.horz = m_rec.vert = m_rec.floating = {defaultSize.width(), defaultSize.height()};
    m_gripper = gripper ? kGripper : 0;
    setWindowTitle(title);
    if (!ui::ControlBar::Create(parent, (style & 0x0040FFFF) | ui::CBRS_SIZE_DYNAMIC | (style & ui::WS_VISIBLE),
                                id))
        return false;
    UpdateMargins();
    return true;
}

void CKVTSizingControlBar::SetContent(QWidget* content)
{
    delete m_content;
    m_content = content;
    if (content) {
        content->setParent(this);
        content->setGeometry(contentsRect());
        content->show();
    }
}

CKVTToolDockBar* CKVTSizingControlBar::Site() const
{
    return qobject_cast<CKVTToolDockBar*>(parentWidget());
}

bool CKVTSizingControlBar::HorzRow() const
{
    return ui::IsHorizontalSite(GetDockSiteId());
}

dock::SizingLookup CKVTSizingControlBar::Lookup(std::map<int, dock::SizingRecord>& others) const
{
    CKVTToolDockBar* site = Site();
    const bool horz = HorzRow();
    return [site, &others, horz](int key) -> dock::SizingRecord* {
        ui::ControlBar* bar = site ? site->BarAt(key) : nullptr;
        if (!bar)
            return nullptr;
        if (auto* s = qobject_cast<CKVTSizingControlBar*>(bar)) {
            s->m_rec.visible = s->IsVisible();
            return &s->m_rec;
        }
        dock::SizingRecord& r = others[key];
        r.sizing = false;
        r.visible = bar->IsVisible();
        r.extent = horz ? bar->width() : bar->height();
        return &r;
    };
}

void CKVTSizingControlBar::OnDockSiteChanged(uint32_t)
{
    UpdateEdges();
}

void CKVTSizingControlBar::UpdateEdges()
{
    m_edges = 16;
    const uint32_t id = GetDockSiteId();
    if (!ui::IsDockSiteId(id)) {
        UpdateMargins();
        return;
    }
    m_edges |= id == ui::DOCKBAR_TOP ? 8 : id == ui::DOCKBAR_LEFT ? 2 : id == ui::DOCKBAR_RIGHT ? 1 : 4;
    if (CKVTToolDockBar* site = Site()) {
        std::map<int, dock::SizingRecord> others;
        const int key = site->Key(this);
        const std::vector<int> bars = dock::RowSizingBars(site->Rows(), Lookup(others), key);
        const auto it = std::find(bars.begin(), bars.end(), key);
        if (it != bars.end()) {
            if (it != bars.begin())
                m_edges |= HorzRow() ? 1 : 4;
            if (it + 1 != bars.end())
                m_edges |= HorzRow() ? 2 : 8;
        }
        m_rec.cannotExpand = bars.size() < 2;
    }
    UpdateMargins();
}

void CKVTSizingControlBar::UpdateMargins()
{
    const QMargins before = contentsMargins();
    int l = kBorder, t = kBorder, r = kBorder, b = kBorder;
    if (ui::IsDockSiteId(GetDockSiteId())) {
        if (m_edges & 1)
            l += kEdge;
        if (m_edges & 2)
            r += kEdge;
        if (m_edges & 4)
            t += kEdge;
        if (m_edges & 8)
            b += kEdge;
        if (HorzRow())
            l += m_gripper;
        else
            t += m_gripper;
    }
    if (before == QMargins(l, t, r, b))
        return;
    setContentsMargins(l, t, r, b);
    if (m_content)
        m_content->setGeometry(contentsRect());
}

QSize CKVTSizingControlBar::CalcFixedLayout(bool stretch, bool horz)
{
    if (stretch)
        return horz ? QSize(32767, m_rec.horz.cy) : QSize(m_rec.vert.cx, 32767);
    CKVTToolDockBar* site = Site();
    if (site && ui::IsDockSiteId(GetDockSiteId())) {
        std::map<int, dock::SizingRecord> others;
        const dock::SizingLookup lookup = Lookup(others);
        const int key = site->Key(this);
        const bool row = HorzRow();
        const std::vector<int> bars = dock::RowSizingBars(site->Rows(), lookup, key);
        m_rec.cannotExpand = bars.size() < 2;
        const QRect lr = site->LayoutRect();
        const int length = dock::SizingRowLength(lr.width(), lr.height(), row);
        // A stored expansion is applied at the first layout in a row.
        if (m_pendingExpand && !m_rec.cannotExpand) {
            m_pendingExpand = false;
            m_rec.expanded = false;
            dock::ToggleExpanded(site->Rows(), lookup, key, row, length, false);
        }
        if (IsVisible() && m_layoutPass && !bars.empty() && bars.front() == key && length > 0) {
            if (dock::FitRowLength(site->Rows(), lookup, key, length, row))
                for (const auto& [k, pos] : dock::RepositionRow(site->Rows(), lookup, key, row))
                    if (ui::ControlBar* b = site->BarAt(k))
                        b->SetDockPos(pos);
        }
    }
    m_layoutPass = false;
    if (site)
        UpdateEdges();   // the neighbours may have changed
    const dock::Size d = horz ? m_rec.horz : m_rec.vert;
    return QSize(std::max(d.cx, m_rec.minSize.cx), std::max(d.cy, m_rec.minSize.cy));
}

bool CKVTSizingControlBar::LimitDockedThickness(int thickness, bool horz)
{
    dock::Size& d = dock::DockedSize(m_rec, horz);
    int& across = horz ? d.cy : d.cx;
    const int limit = std::max(thickness, LeastDockedThickness(horz));
    if (across <= limit)
        return false;
    across = limit;
    return true;
}

QSize CKVTSizingControlBar::CalcDynamicLayout(int length, uint32_t mode)
{
    if (mode & (ui::LM_HORZDOCK | ui::LM_VERTDOCK)) {
        if (length == -1)
            m_layoutPass = true;
        return CalcFixedLayout(false, (mode & ui::LM_HORZDOCK) != 0);
    }
    if (!(mode & (ui::LM_MRUWIDTH | ui::LM_COMMIT)) && length >= 0) {
        if (mode & ui::LM_LENGTHY)
            m_rec.floating.cy = std::max(length, m_rec.minSize.cy);
        else
            m_rec.floating.cx = std::max(length, m_rec.minSize.cx);
    }
    return QSize(m_rec.floating.cx, m_rec.floating.cy);
}

void CKVTSizingControlBar::ToggleExpanded()
{
    CKVTToolDockBar* site = Site();
    if (!site)
        return;
    std::map<int, dock::SizingRecord> others;
    const QRect lr = site->LayoutRect();
    const bool row = HorzRow();
    if (dock::ToggleExpanded(site->Rows(), Lookup(others), site->Key(this), row,
                             dock::SizingRowLength(lr.width(), lr.height(), row), IsFloating()))
        RecalcSite(false);
    update();
}

void CKVTSizingControlBar::RecalcSite(bool now)
{
    if (KvtFrameClient* client = Site() ? qobject_cast<KvtFrameClient*>(Site()->parentWidget()) : nullptr) {
        if (now)
            client->RecalcLayout();
        else
            client->DelayRecalcLayout();
    }
}

// --- persistence ----------------------------------------------------------------------

namespace {

QString Section(const QString& profile, uint32_t id)
{
    return (profile.isEmpty() ? QStringLiteral("KVTSizingControlBar") : profile) +
           QStringLiteral("-SCBar-%1").arg(id);
}

} // namespace

bool CKVTSizingControlBar::LoadState(const QString& profile)
{
    const std::u16string s = U16(Section(profile, GetDlgCtrlID()));
    auto read = [&](const char16_t* cx, const char16_t* cy, dock::Size& size) {
        dock::Size v{sys::Profile::GetInt(s, cx, size.cx), sys::Profile::GetInt(s, cy, size.cy)};
        size = dock::ClampStoredSize(v, m_rec.minSize);
    };
    read(u"sizeHorzCX", u"sizeHorzCY", m_rec.horz);
    read(u"sizeVertCX", u"sizeVertCY", m_rec.vert);
    read(u"sizeFloatCX", u"sizeFloatCY", m_rec.floating);
    if (sys::Profile::GetInt(s, u"Expanded", 0) != 0 && !m_rec.expanded)
        m_pendingExpand = true;
    return true;
}

bool CKVTSizingControlBar::SaveState(const QString& profile)
{
    if (ui::Application::RunsWithoutDisplay())
        return true; // no window layout of a run without a display
    const std::u16string s = U16(Section(profile, GetDlgCtrlID()));
    const bool current = HorzRow();
    const bool floating = !ui::IsDockSiteId(GetDockSiteId());
    const dock::Size h = dock::SizeToSave(m_rec, true, current, floating);
    const dock::Size v = dock::SizeToSave(m_rec, false, current, floating);
    return sys::Profile::WriteInt(s, u"sizeHorzCX", h.cx) && sys::Profile::WriteInt(s, u"sizeHorzCY", h.cy) &&
           sys::Profile::WriteInt(s, u"sizeVertCX", v.cx) && sys::Profile::WriteInt(s, u"sizeVertCY", v.cy) &&
           sys::Profile::WriteInt(s, u"sizeFloatCX", m_rec.floating.cx) &&
           sys::Profile::WriteInt(s, u"sizeFloatCY", m_rec.floating.cy) &&
           sys::Profile::WriteInt(s, u"Expanded", m_rec.expanded ? 1 : 0);
}

void CKVTSizingControlBar::LoadAllStates(const QString& profile)
{
    const std::vector<CKVTSizingControlBar*> bars = Registry();
    for (CKVTSizingControlBar* b : bars)
        if (b->IsCreated())
            b->LoadState(profile);
}

void CKVTSizingControlBar::SaveAllStates(const QString& profile)
{
    const std::vector<CKVTSizingControlBar*> bars = Registry();
    for (CKVTSizingControlBar* b : bars)
        if (b->IsCreated())
            b->SaveState(profile);
}

void CKVTSizingControlBar::OnCustomizeMode(bool on)
{
    for (QWidget* w : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        w->setEnabled(!on);
}

// --- geometry and hit testing -------------------------------------------------------------

QRect CKVTSizingControlBar::EdgeRect(int hit) const
{
    const QRect r = rect().adjusted(1, 1, -1, -1);
    switch (hit) {
    case dock::HitLeft:
        return QRect(r.left(), r.top(), kEdge, r.height());
    case dock::HitRight:
        return QRect(r.right() - kEdge + 1, r.top(), kEdge, r.height());
    case dock::HitTop:
        return QRect(r.left(), r.top(), r.width(), kEdge);
    case dock::HitBottom:
        return QRect(r.left(), r.bottom() - kEdge + 1, r.width(), kEdge);
    default:
        return {};
    }
}

QRect CKVTSizingControlBar::ButtonRect(int index) const
{
    if (!m_gripper)
        return {};
    const QRect c = contentsRect();
    if (HorzRow()) {
        const int x = c.left() - m_gripper - 0;
        return QRect(x, c.top() + index * (kButton + 2), kButton, kButton);
    }
    const int y = c.top() - m_gripper - 1;
    return QRect(c.right() - kButton + 1 - index * (kButton + 2), y, kButton, kButton);
}

int CKVTSizingControlBar::HitTest(QPoint p) const
{
    if (!ui::IsDockSiteId(GetDockSiteId()))
        return dock::HitClient;
    const std::pair<int, uint32_t> edges[] = {
        {dock::HitLeft, 1}, {dock::HitTop, 4}, {dock::HitRight, 2}, {dock::HitBottom, 8}};
    for (const auto& [hit, bit] : edges)
        if ((m_edges & bit) && EdgeRect(hit).contains(p))
            return hit;
    if (ButtonRect(0).contains(p))
        return dock::HitClose;
    if (ButtonRect(1).contains(p))
        return dock::HitMaxButton;
    if (contentsRect().contains(p))
        return dock::HitClient;
    return dock::HitCaption;
}

// --- painting -------------------------------------------------------------------------------

void CKVTSizingControlBar::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const CKVTDrawingData& dd = CKVTDrawingData::Instance();
    p.fillRect(rect(), dd.Face());
    if (!ui::IsDockSiteId(GetDockSiteId()))
        return;
    for (int hit : {dock::HitBottom, dock::HitRight, dock::HitTop, dock::HitLeft}) {
        const uint32_t bit = hit == dock::HitLeft ? 1 : hit == dock::HitRight ? 2 : hit == dock::HitTop ? 4 : 8;
        if (!(m_edges & bit))
            continue;
        const QRect e = EdgeRect(hit).adjusted(1, 1, -1, -1);
        p.setPen(dd.Highlight());
        p.drawLine(e.topLeft(), e.topRight());
        p.drawLine(e.topLeft(), e.bottomLeft());
        p.setPen(dd.Shadow());
        p.drawLine(e.bottomLeft(), e.bottomRight());
        p.drawLine(e.topRight(), e.bottomRight());
    }
    if (!m_gripper)
        return;
    const QRect c = contentsRect();
    const bool horz = HorzRow();
    // The gripper beside the buttons: two raised lines.
    QRect band = horz ? QRect(c.left() - m_gripper, ButtonRect(1).bottom() + 3, m_gripper - 2,
                              c.bottom() - ButtonRect(1).bottom() - 3)
                      : QRect(c.left(), c.top() - m_gripper, ButtonRect(1).left() - 3 - c.left(), m_gripper - 2);
    for (int i = 0; i < 2; ++i) {
        const QRect line = horz ? QRect(band.left() + 2 + i * 4, band.top() + 2, 3, band.height() - 4)
                                : QRect(band.left() + 2, band.top() + 2 + i * 4, band.width() - 4, 3);
        p.setPen(dd.Highlight());
        p.drawLine(line.topLeft(), horz ? line.bottomLeft() : line.topRight());
        p.setPen(dd.Shadow());
        p.drawLine(horz ? line.topRight() : line.bottomLeft(), line.bottomRight());
    }
    for (int i = 0; i < 2; ++i) {
        const QRect b = ButtonRect(i);
        const bool pressed = m_pressedButton == i && m_hotButton == i;
        int glyph = CKVTMenuImages::IdClose;
        if (i == 1)
            glyph = horz ? (m_rec.expanded ? 2 : m_rec.cannotExpand ? 3 : 19)
                         : (m_rec.expanded ? 0 : m_rec.cannotExpand ? 17 : 16);
        p.fillRect(b, dd.Face());
        CKVTMenuImages::DrawMenuImage(p, glyph, b.topLeft() + QPoint(pressed ? 3 : 2, pressed ? 3 : 2));
        if (m_hotButton == i || pressed) {
            p.setPen(pressed ? dd.Shadow() : dd.Highlight());
            p.drawLine(b.topLeft(), b.topRight());
            p.drawLine(b.topLeft(), b.bottomLeft());
            p.setPen(pressed ? dd.Highlight() : dd.Shadow());
            p.drawLine(b.bottomLeft(), b.bottomRight());
            p.drawLine(b.topRight(), b.bottomRight());
        }
    }
}

// --- mouse -------------------------------------------------------------------------------

void CKVTSizingControlBar::mousePressEvent(QMouseEvent* e)
{
    if (e->type() == QEvent::MouseButtonDblClick) {
        mouseDoubleClickEvent(e);
        return;
    }
    const QPoint global = e->globalPosition().toPoint();
    if (m_tracking) {
        if (e->button() == Qt::RightButton)
            StopTracking(false);
        return;
    }
    if (e->button() == Qt::RightButton) {
        if (!CKVTToolbarShared::IsCustomizeMode())
            if (KvtFrameHooks* hooks = KvtFrameHooks::FromWidget(this))
                hooks->OnToolbarPopupMenu(this, global);
        return;
    }
    if (e->button() != Qt::LeftButton)
        return;
    const int hit = HitTest(e->position().toPoint());
    if (hit == dock::HitClose || hit == dock::HitMaxButton) {
        if (hit == dock::HitMaxButton && m_rec.cannotExpand)
            return;
        m_pressedButton = m_hotButton = hit == dock::HitClose ? 0 : 1;
        update();
        return;
    }
    if (hit >= dock::HitLeft && hit <= dock::HitBottom) {
        StartTracking(hit, global);
        return;
    }
    if (ui::DockContext* ctx = GetDockContext())
        ctx->StartDrag(global);
}

void CKVTSizingControlBar::mouseMoveEvent(QMouseEvent* e)
{
    const QPoint p = e->position().toPoint();
    if (m_tracking) {
        CKVTToolDockBar* site = Site();
        if (!site)
            return;
        std::map<int, dock::SizingRecord> others;
        const QPoint d = e->globalPosition().toPoint() - m_press;
        dock::OnTrackUpdateSize(site->Rows(), Lookup(others), site->Key(this), m_trackHit, HorzRow(),
                                {d.x(), d.y()});
        if (m_band) {
            const QRect edge = EdgeRect(m_trackHit);
            m_band->setGeometry(QRect(mapToGlobal(edge.topLeft()) + d, edge.size()));
        }
        return;
    }
    const int hit = HitTest(p);
    const int hot = hit == dock::HitClose ? 0 : hit == dock::HitMaxButton ? 1 : -1;
    if (hot != m_hotButton && (m_pressedButton < 0 || m_pressedButton == hot || m_hotButton == m_pressedButton)) {
        m_hotButton = hot;
        update();
    }
    if (hit == dock::HitLeft || hit == dock::HitRight)
        setCursor(Qt::SplitHCursor);
    else if (hit == dock::HitTop || hit == dock::HitBottom)
        setCursor(Qt::SplitVCursor);
    else
        unsetCursor();
}

void CKVTSizingControlBar::mouseReleaseEvent(QMouseEvent* e)
{
    if (e->button() == Qt::RightButton) {
        if (!CKVTToolbarShared::IsCustomizeMode() && !m_tracking)
            if (KvtFrameHooks* hooks = KvtFrameHooks::FromWidget(this))
                hooks->OnToolbarPopupMenu(this, e->globalPosition().toPoint());
        return;
    }
    if (e->button() != Qt::LeftButton)
        return;
    if (m_tracking) {
        StopTracking(true);
        return;
    }
    if (m_pressedButton >= 0) {
        const int pressed = m_pressedButton;
        const int hit = HitTest(e->position().toPoint());
        m_pressedButton = -1;
        m_hotButton = -1;
        update();
        if (pressed == 0 && hit == dock::HitClose) {
            if (auto* frame = dynamic_cast<CKVTFrameBase*>(GetDockingFrame()))
                frame->ShowControlBar(this, false, false);
            else
                hide();
        } else if (pressed == 1 && hit == dock::HitMaxButton) {
            ToggleExpanded();
        }
    }
}

void CKVTSizingControlBar::mouseDoubleClickEvent(QMouseEvent* e)
{
    const int hit = HitTest(e->position().toPoint());
    if (e->button() == Qt::LeftButton && (hit == dock::HitCaption || hit == dock::HitClient)) {
        if (ui::DockContext* ctx = GetDockContext())
            ctx->ToggleDocking();
        return;
    }
    mousePressEvent(e);
}

void CKVTSizingControlBar::leaveEvent(QEvent* e)
{
    if (m_hotButton >= 0 && m_pressedButton < 0) {
        m_hotButton = -1;
        update();
    }
    ui::ControlBar::leaveEvent(e);
}

void CKVTSizingControlBar::resizeEvent(QResizeEvent* e)
{
    ui::ControlBar::resizeEvent(e);
    if (m_content)
        m_content->setGeometry(contentsRect());
}

bool CKVTSizingControlBar::event(QEvent* e)
{
    if (e->type() == QEvent::ToolTip) {
        auto* he = static_cast<QHelpEvent*>(e);
        const int hit = HitTest(he->pos());
        if (hit == dock::HitClose || hit == dock::HitMaxButton) {
            const unsigned id = hit == dock::HitClose ? 16011 : m_rec.expanded ? 16013 : 16012;
            QToolTip::showText(he->globalPos(), LoadResString(id), this);
        } else {
            QToolTip::hideText();
        }
        return true;
    }
    return ui::ControlBar::event(e);
}

void CKVTSizingControlBar::StartTracking(int hit, QPoint global)
{
    CKVTToolDockBar* site = Site();
    if (!site)
        return;
    QSize free(0, 0);
    if (auto* client = qobject_cast<KvtFrameClient*>(site->parentWidget()))
        if (client->Center())   // the least centre stays
            free = (client->Center()->size() - client->LeastCenterSize()).expandedTo(QSize(0, 0));
    std::map<int, dock::SizingRecord> others;
    dock::StartTracking(site->Rows(), Lookup(others), site->Key(this), hit, HorzRow(), {free.width(), free.height()});
    m_tracking = true;
    m_trackHit = hit;
    m_press = global;
    m_band = new QRubberBand(QRubberBand::Line);
    const QRect edge = EdgeRect(hit);
    m_band->setGeometry(QRect(mapToGlobal(edge.topLeft()), edge.size()));
    m_band->show();
    grabMouse();
}

void CKVTSizingControlBar::StopTracking(bool byRelease)
{
    if (!m_tracking)
        return;
    m_tracking = false;
    delete m_band;
    m_band = nullptr;
    releaseMouse();
    if (byRelease)
        if (CKVTToolDockBar* site = Site()) {
            std::map<int, dock::SizingRecord> others;
            dock::EndTracking(site->Rows(), Lookup(others), site->Key(this), HorzRow());
        }
    RecalcSite(true);
}

// --- CKVTDialogBar ------------------------------------------------------------------------

bool CKVTDialogBar::Create(const QString& title, QWidget* parent, bool gripper, uint32_t templateId,
                           uint32_t style, uint32_t id)
{
    m_sizing = (style & ui::CBRS_SIZE_DYNAMIC) != 0;
    QWidget* form = ui::LoadForm(templateId, nullptr);
    if (!form)
        return false;
    m_template = form->sizeHint().expandedTo(form->minimumSize());
    if (!CKVTSizingControlBar::Create(title, parent, m_template, gripper, id, style)) {
        delete form;
        return false;
    }
    SetContent(form);
    return true;
}

void CKVTDialogBar::OnUpdateCmdUI()
{
    if (!m_content)
        return;
    const std::vector<ui::CommandTarget*> route = ui::CurrentRoute();
    for (QAbstractButton* b : m_content->findChildren<QAbstractButton*>()) {
        const QString name = b->objectName();
        if (!name.startsWith(u'c'))
            continue;
        bool ok = false;
        const uint32_t cmd = name.mid(1).toUInt(&ok);
        if (!ok || cmd == 0)
            continue;
        struct ButtonCmdUI : ui::CmdUI
        {
            QAbstractButton* button;
            ButtonCmdUI(uint32_t id, QAbstractButton* b) : ui::CmdUI(id), button(b) {}
            void Enable(bool on) override { button->setEnabled(on); }
            void SetCheck(int check) override
            {
                if (qobject_cast<QCheckBox*>(button) || qobject_cast<QRadioButton*>(button))
                    button->setChecked(check != 0);
            }
        } cmdUi(cmd, b);
        ui::UpdateCommandUITo(route, cmdUi, true);
    }
}

QSize CKVTDialogBar::CalcFixedLayout(bool stretch, bool horz)
{
    if (m_sizing)
        return CKVTSizingControlBar::CalcFixedLayout(stretch, horz);
    const QMargins m = contentsMargins();
    QSize s = m_template + QSize(m.left() + m.right(), m.top() + m.bottom());
    if (stretch && horz)
        s.setWidth(32767);
    if (stretch && !horz)
        s.setHeight(32767);
    return s;
}

QSize CKVTDialogBar::CalcDynamicLayout(int length, uint32_t mode)
{
    if (m_sizing)
        return CKVTSizingControlBar::CalcDynamicLayout(length, mode);
    return CalcFixedLayout((mode & ui::LM_STRETCH) != 0, (mode & ui::LM_HORZ) || (mode & ui::LM_HORZDOCK));
}
