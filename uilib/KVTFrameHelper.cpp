#include "uilib/KVTFrameHelper.h"

#include "uilib/KVTToolbarCustomize.h"

#include "platform/sys/Registry.h"
#include "platform/ui/App.h"
#include "platform/ui/Menu.h"
#include "platform/ui/Prompt.h"
#include "res/StringTable.h"
#include "uilib/KVTArchiveClasses.h"
#include "uilib/KVTDocking.h"
#include "uilib/KVTMenuBar.h"
#include "uilib/KVTPopupMenu.h"
#include "uilib/KVTRegistryKey.h"
#include "uilib/KVTToolBar.h"
#include "uilib/KVTWorkspace.h"

#include <QGuiApplication>
#include <QMainWindow>
#include <QScreen>
#include <QWindow>

#include <climits>
#include <map>

namespace {

QPointer<QWidget> g_customizeSheet;

dock::Rect ToDock(const QRect& r)
{
    return {r.x(), r.y(), r.width(), r.height()};
}

std::vector<dock::Rect> AvailableScreens()
{
    std::vector<dock::Rect> out;
    for (QScreen* s : QGuiApplication::screens())
        out.push_back(ToDock(s->availableGeometry()));
    return out;
}

std::u16string U16(const QString& s)
{
    return s.toStdU16String();
}

} // namespace

CKVTFrameHelper::CKVTFrameHelper(QMainWindow* frame) : m_frame(frame)
{
    RegisterKVTArchiveClasses();
}

CKVTFrameHelper::~CKVTFrameHelper()
{
    for (CKVTToolBar* bar : m_userBars)
        delete bar;
    m_userBars.clear();
}

void CKVTFrameHelper::InstallClient(QWidget* center)
{
    m_client = new KvtFrameClient(center, m_frame);
    m_frame->setCentralWidget(m_client);
}

// --- control bars --------------------------------------------------------------------

void CKVTFrameHelper::AddControlBar(ui::ControlBar* bar)
{
    for (const auto& p : m_bars)
        if (p == bar)
            return;
    m_bars.emplace_back(bar);
}

std::vector<ui::ControlBar*> CKVTFrameHelper::ControlBars() const
{
    std::vector<ui::ControlBar*> out;
    for (const auto& p : m_bars)
        if (p)
            out.push_back(p);
    return out;
}

ui::ControlBar* CKVTFrameHelper::GetControlBar(uint32_t id) const
{
    for (ui::ControlBar* b : ControlBars())
        if (b->GetDlgCtrlID() == id)
            return b;
    return nullptr;
}

std::unique_ptr<ui::DockContext> CKVTFrameHelper::CreateDockContext(ui::ControlBar* bar)
{
    if (qobject_cast<CKVTToolBar*>(bar))
        return std::make_unique<CKVTToolbarDockContext>(bar, this);
    return std::make_unique<KvtDockContext>(bar, this);
}

// --- docking --------------------------------------------------------------------------

void CKVTFrameHelper::EnableDocking(uint32_t alignment)
{
    if (!m_client)
        return;
    for (uint32_t id : {ui::DOCKBAR_TOP, ui::DOCKBAR_LEFT, ui::DOCKBAR_RIGHT, ui::DOCKBAR_BOTTOM})
        if (alignment & ui::DockSiteAlignment(id))
            m_client->CreateSite(id);
}

CKVTToolDockBar* CKVTFrameHelper::Site(uint32_t id) const
{
    return m_client ? m_client->Site(id) : nullptr;
}

CKVTMiniDockFrameWnd* CKVTFrameHelper::MiniFrameOf(const ui::ControlBar* bar) const
{
    return bar ? qobject_cast<CKVTMiniDockFrameWnd*>(bar->parentWidget()) : nullptr;
}

CKVTToolDockBar* CKVTFrameHelper::SiteOf(const ui::ControlBar* bar) const
{
    return bar ? qobject_cast<CKVTToolDockBar*>(bar->parentWidget()) : nullptr;
}

void CKVTFrameHelper::Detach(ui::ControlBar* bar)
{
    if (CKVTToolDockBar* site = SiteOf(bar))
        site->RemoveBar(bar);
    if (CKVTMiniDockFrameWnd* mini = MiniFrameOf(bar)) {
        bar->setParent(m_frame);
        mini->hide();
        mini->deleteLater();
        mini->SetBar(nullptr);
    }
}

void CKVTFrameHelper::DockControlBar(ui::ControlBar* bar, uint32_t siteId, const std::optional<QRect>& globalRect)
{
    CKVTToolDockBar* site = Site(siteId);
    if (!bar || !site)
        return;
    const bool visible = bar->IsVisible();
    const uint32_t align = ui::DockSiteAlignment(siteId);
    const uint32_t style = (bar->GetBarStyle() & ~(ui::CBRS_ALIGN_ANY | ui::CBRS_FLOATING)) | align;
    Detach(bar);
    bar->setParent(site);
    bar->SetBarStyle(style);
    std::optional<QRect> siteRect;
    if (globalRect)
        siteRect = QRect(site->mapFromGlobal(globalRect->topLeft()), globalRect->size());
    site->AddBar(bar, siteRect);
    bar->SetDockSiteId(siteId);
    bar->Memory().dockId = siteId;
    bar->setVisible(visible);
    if (visible)
        bar->OnShownInSite();
    RecalcLayout();
}

void CKVTFrameHelper::DockControlBarLeftOf(ui::ControlBar* bar, ui::ControlBar* leftOf)
{
    CKVTToolDockBar* site = SiteOf(leftOf);
    if (!bar || !site)
        return;
    RecalcLayout();
    const std::optional<QRect> placed = site->PlacedRect(leftOf);
    if (!placed)
        return;
    QRect r = placed->translated(1, 1);
    r.moveTopLeft(site->mapToGlobal(r.topLeft()));
    const uint32_t style = leftOf->GetBarStyle();
    const uint32_t id = (style & ui::CBRS_ALIGN_TOP)      ? ui::DOCKBAR_TOP
                        : (style & ui::CBRS_ALIGN_BOTTOM) ? ui::DOCKBAR_BOTTOM
                        : (style & ui::CBRS_ALIGN_LEFT)   ? ui::DOCKBAR_LEFT
                                                          : ui::DOCKBAR_RIGHT;
    DockControlBar(bar, id, r);
}

void CKVTFrameHelper::SetFloatingStyle(ui::ControlBar* bar, uint32_t alignment)
{
    const uint32_t align = (alignment & ui::CBRS_ORIENT_VERT) && !(alignment & ui::CBRS_ORIENT_HORZ)
                               ? ui::CBRS_ALIGN_LEFT
                               : ui::CBRS_ALIGN_TOP;
    bar->SetBarStyle((bar->GetBarStyle() & ~ui::CBRS_ALIGN_ANY) | ui::CBRS_FLOATING | align);
    bar->Memory().horz = align == ui::CBRS_ALIGN_TOP;
}

void CKVTFrameHelper::FloatControlBar(ui::ControlBar* bar, const QPoint& globalPoint, uint32_t alignment)
{
    if (!bar)
        return;
    const bool visible = bar->IsVisible();
    CKVTMiniDockFrameWnd* mini = MiniFrameOf(bar);
    if (!mini) {
        if (CKVTToolDockBar* site = SiteOf(bar)) {
            ui::ControlBar::DockMemory& m = bar->Memory();
            const auto [row, pos] = site->RowAndPos(bar);
            m.dockId = site->GetDlgCtrlID();
            m.row = row;
            m.pos = pos;
        }
        Detach(bar);
        mini = new CKVTMiniDockFrameWnd(this, m_frame);
        SetFloatingStyle(bar, alignment);
        mini->SetBar(bar);
    } else {
        SetFloatingStyle(bar, alignment);
        mini->RecalcLayout();
    }
    bar->SetDockSiteId(ui::DOCKBAR_FLOAT);
    bar->setVisible(visible);
    mini->move(globalPoint);
    mini->RecalcLayout();
    bar->Memory().hasFloat = true;
    bar->Memory().floatPos = globalPoint;
    mini->setVisible(visible);
    RecalcLayout();
}

QPoint CKVTFrameHelper::ReachableFloatPoint(ui::ControlBar* bar, const QPoint& globalPoint) const
{
    if (!bar)
        return globalPoint;
    const QSize size = CKVTMiniDockFrameWnd::FrameSizeFor(CKVTMiniDockFrameWnd::FloatingBarSize(bar));
    const dock::Rect r = dock::MoveOntoScreens({globalPoint.x(), globalPoint.y(), size.width(), size.height()},
                                               CKVTMiniDockFrameWnd::kBorder + CKVTMiniDockFrameWnd::kCaption,
                                               AvailableScreens());
    return QPoint(r.x, r.y);
}

void CKVTFrameHelper::ShowControlBar(ui::ControlBar* bar, bool show, bool delay)
{
    if (!bar)
        return;
    bar->setVisible(show);
    if (CKVTMiniDockFrameWnd* mini = MiniFrameOf(bar))
        mini->setVisible(show);
    else if (show)
        bar->OnShownInSite();
    if (delay)
        DelayRecalcLayout();
    else
        RecalcLayout();
    // An open customisation sheet keeps its toolbar list in step.
    if (auto* sheet = qobject_cast<CKVTToolbarCustomize*>(CustomizeSheet()))
        if (auto* toolbar = qobject_cast<CKVTToolBar*>(bar))
            sheet->CheckToolBarItem(toolbar, show);
}

void CKVTFrameHelper::ToggleDocking(ui::ControlBar* bar)
{
    if (!bar)
        return;
    const ui::ControlBar::DockMemory m = bar->Memory();
    if (bar->IsFloating()) {
        const uint32_t id = m.dockId && Site(m.dockId) ? m.dockId : ui::DOCKBAR_TOP;
        CKVTToolDockBar* site = Site(id);
        if (!site || !(bar->GetEnabledAlignment() & ui::DockSiteAlignment(id)))
            return;
        DockControlBar(bar, id, std::nullopt);
        if (m.row >= 0 && m.dockId == id) {
            site->RemoveBar(bar);
            site->AddBarAt(bar, m.row, m.pos);
            RecalcLayout();
        }
        return;
    }
    const QPoint at = m.hasFloat ? ReachableFloatPoint(bar, m.floatPos) : bar->mapToGlobal(QPoint(0, 0));
    FloatControlBar(bar, at, m.horz ? ui::CBRS_ALIGN_TOP : ui::CBRS_ALIGN_LEFT);
}

void CKVTFrameHelper::MoveFloatingFrame(CKVTMiniDockFrameWnd* mini, const QPoint& globalPress)
{
    // A bar that may dock nowhere: the frame moves with a plain system move.
    if (QWindow* w = mini->windowHandle())
        if (w->startSystemMove())
            return;
    (void)globalPress;
}

std::vector<dock::SiteZone> CKVTFrameHelper::SiteZones() const
{
    std::vector<dock::SiteZone> out;
    if (!m_client)
        return out;
    for (CKVTToolDockBar* s : m_client->Sites()) {
        dock::SiteZone z;
        z.id = s->GetDlgCtrlID();
        z.empty = !s->HasVisibleBars();
        QRect r(s->mapToGlobal(QPoint(0, 0)), s->size());
        z.rect = ToDock(r);
        if (z.empty) {
            // The client edge the site lies on, a line of the centre's length.
            const QRect c = m_client->Center() ? QRect(m_client->Center()->mapToGlobal(QPoint(0, 0)),
                                                       m_client->Center()->size())
                                               : QRect(m_client->mapToGlobal(QPoint(0, 0)), m_client->size());
            switch (z.id) {
            case ui::DOCKBAR_TOP:
                z.rect = {c.x(), c.y(), c.width(), 0};
                break;
            case ui::DOCKBAR_BOTTOM:
                z.rect = {c.x(), c.y() + c.height(), c.width(), 0};
                break;
            case ui::DOCKBAR_LEFT:
                z.rect = {c.x(), c.y(), 0, c.height()};
                break;
            default:
                z.rect = {c.x() + c.width(), c.y(), 0, c.height()};
            }
        }
        out.push_back(z);
    }
    return out;
}

void CKVTFrameHelper::RecalcLayout()
{
    if (m_client)
        m_client->RecalcLayout();
    for (ui::ControlBar* b : ControlBars())
        if (CKVTMiniDockFrameWnd* mini = MiniFrameOf(b))
            mini->RecalcLayout();
}

void CKVTFrameHelper::DelayRecalcLayout()
{
    if (m_client)
        m_client->DelayRecalcLayout();
}

// --- the dock layout ---------------------------------------------------------------------

dock::DockState CKVTFrameHelper::GetDockState() const
{
    dock::DockState state;
    auto record = [](ui::ControlBar* b) {
        dock::BarState s;
        const ui::ControlBar::DockMemory& m = b->Memory();
        s.barId = b->GetDlgCtrlID();
        s.visible = b->IsVisible();
        s.mruWidth = b->LastFloatingWidth() == 32767 ? -1 : b->LastFloatingWidth();
        s.horz = m.horz;
        s.mruDockId = m.dockId;
        s.mruDockRow = m.row;
        s.mruDockPos = m.pos;
        s.mruFloatX = m.floatPos.x();
        s.mruFloatY = m.floatPos.y();
        return s;
    };
    if (m_client) {
        for (CKVTToolDockBar* site : m_client->Sites()) {
            for (ui::ControlBar* b : site->Bars()) {
                if (b->GetDlgCtrlID() == 0 || !b->RegistersWithFrame())
                    continue;
                dock::BarState s = record(b);
                s.dockId = site->GetDlgCtrlID();
                const auto [row, pos] = site->RowAndPos(b);
                s.row = row;
                s.pos = pos;
                state.bars.push_back(s);
            }
        }
    }
    for (ui::ControlBar* b : ControlBars()) {
        CKVTMiniDockFrameWnd* mini = MiniFrameOf(b);
        if (!mini || b->GetDlgCtrlID() == 0)
            continue;
        dock::BarState s = record(b);
        s.floating = true;
        s.xPos = mini->x();
        s.yPos = mini->y();
        state.bars.push_back(s);
    }
    return state;
}

bool CKVTFrameHelper::IsDockStateValid(const dock::DockState& state) const
{
    return dock::IsDockStateValid(
        state, [this](uint32_t id) { return GetControlBar(id) != nullptr; },
        [this](uint32_t id) { return Site(id) != nullptr; });
}

bool CKVTFrameHelper::SetDockState(const dock::DockState& state)
{
    if (!IsDockStateValid(state))
        return false;
    const dock::DockPlan plan = dock::MakeDockPlan(state, [this](uint32_t id) { return GetControlBar(id) != nullptr; });
    for (const auto& [siteId, rows] : plan.rows) {
        CKVTToolDockBar* site = Site(siteId);
        for (const auto& row : rows)
            for (const auto& placed : row)
                if (ui::ControlBar* bar = GetControlBar(placed.barId); bar && site)
                    Detach(bar);
        for (const auto& row : rows) {
            // Each stored row becomes a new row after the ones placed so far.
            bool first = true;
            for (const auto& placed : row) {
                ui::ControlBar* bar = GetControlBar(placed.barId);
                if (!bar)
                    continue;
                bar->setParent(site);
                bar->SetBarStyle((bar->GetBarStyle() & ~(ui::CBRS_ALIGN_ANY | ui::CBRS_FLOATING)) |
                                 ui::DockSiteAlignment(siteId));
                if (first)
                    site->AddBar(bar, std::nullopt);
                else
                    site->AddBarAt(bar, site->RowAndPos(GetControlBar(row.front().barId)).first, placed.pos);
                bar->SetDockPos(placed.pos);
                bar->SetDockSiteId(siteId);
                first = false;
            }
        }
        // Rows of bars the record does not name stay before the restored
        // ones; a restored row keeps its order.
    }
    for (const dock::BarState& s : plan.floating) {
        ui::ControlBar* bar = GetControlBar(s.barId);
        FloatControlBar(bar, ReachableFloatPoint(bar, QPoint(s.xPos, s.yPos)),
                        s.horz ? ui::CBRS_ALIGN_TOP : ui::CBRS_ALIGN_LEFT);
    }
    for (const dock::BarState& s : plan.all) {
        ui::ControlBar* bar = GetControlBar(s.barId);
        ui::ControlBar::DockMemory& m = bar->Memory();
        m.horz = s.horz;
        if (s.floating) {
            m.dockId = s.mruDockId;
            m.row = s.mruDockRow;
            m.pos = s.mruDockPos;
        } else {
            m.hasFloat = s.mruFloatX != 0 || s.mruFloatY != 0;
            m.floatPos = QPoint(s.mruFloatX, s.mruFloatY);
        }
        if (s.mruWidth > 0)
            bar->SetLastFloatingWidth(s.mruWidth);
        bar->setVisible(s.visible);
        if (CKVTMiniDockFrameWnd* mini = MiniFrameOf(bar))
            mini->setVisible(s.visible);
    }
    RecalcLayout();
    return true;
}

void CKVTFrameHelper::SaveDockState(const QString& base) const
{
    if (ui::Application::RunsWithoutDisplay())
        return; // no window layout of a run without a display
    const std::string b = base.toStdString();
    // Every earlier section goes first.
    const QString root = QString::fromStdU16String(sys::Profile::AppKeyPath()) + u'\\';
    {
        CKVTRegistryKey key;
        key.DeleteKey(root + QString::fromStdString(dock::SummarySection(b)));
        for (int i = 0;; ++i) {
            CKVTRegistryKey probe(false, true);
            const QString path = root + QString::fromStdString(dock::BarSection(b, i));
            if (!probe.Open(path))
                break;
            CKVTRegistryKey del;
            del.DeleteKey(path);
        }
    }
    dock::WriteDockState(b, GetDockState(), [](const std::string& section, const char* key, int value) {
        sys::Profile::WriteInt(U16(QString::fromStdString(section)), U16(QString::fromLatin1(key)), value);
    });
}

bool CKVTFrameHelper::LoadDockState(const QString& base)
{
    const auto state = dock::ReadDockState(
        base.toStdString(), [](const std::string& section, const char* key) -> std::optional<int> {
            const std::u16string s = U16(QString::fromStdString(section));
            const std::u16string k = U16(QString::fromLatin1(key));
            const int a = sys::Profile::GetInt(s, k, INT_MIN);
            if (a != INT_MIN)
                return a;
            if (sys::Profile::GetInt(s, k, INT_MAX) == INT_MIN)
                return a;
            return std::nullopt;
        });
    return state && SetDockState(*state);
}

// --- the toolbar context menu ------------------------------------------------------------

void CKVTFrameHelper::SetCustomizeCommand(uint32_t id, const QString& text)
{
    m_customizeId = id;
    m_customizeText = text;
}

std::vector<CKVTFrameHelper::BarItem> CKVTFrameHelper::ToolbarMenuItems() const
{
    std::vector<BarItem> out;
    for (ui::ControlBar* b : ControlBars()) {
        if (b->windowTitle().isEmpty())
            continue;
        auto* tb = qobject_cast<CKVTToolBar*>(b);
        out.push_back({b, b->IsVisible(), !tb || tb->CanBeClosed()});
    }
    return out;
}

void CKVTFrameHelper::OnToolbarPopupMenu(QWidget* source, const QPoint& globalPoint)
{
    if (CKVTToolbarShared::IsCustomizeMode())
        return;
    // A library popup: one checked item per bar, then the customise command.
    constexpr uint32_t kFirstBarItem = 0xFD00;
    auto menu = std::make_unique<ui::Menu>();
    std::map<uint32_t, QPointer<ui::ControlBar>> bars;
    uint32_t next = kFirstBarItem;
    for (const BarItem& item : ToolbarMenuItems()) {
        if (next == m_customizeId)
            ++next;
        uint32_t flags = item.checked ? uint32_t(ui::MF_CHECKED) : 0u;
        if (!item.enabled)
            flags |= ui::MF_GRAYED;
        menu->AppendItem(next, item.bar->windowTitle(), flags);
        bars[next++] = item.bar;
    }
    const uint32_t customizeId = m_customizeId;
    if (customizeId) {
        menu->AppendSeparator();
        menu->AppendItem(customizeId, m_customizeText);
    }
    auto* popup = new CKVTPopupMenu;
    popup->SetCommandHandler([this, bars, customizeId](uint32_t id) {
        auto it = bars.find(id);
        if (it != bars.end()) {
            if (ui::ControlBar* bar = it->second)
                ShowControlBar(bar, !bar->IsVisible(), false);
        } else if (id == customizeId) {
            ui::SendCommand(id);
        }
    });
    if (!popup->Create(source ? source : m_frame, globalPoint.x(), globalPoint.y(), menu.release()))
        popup->deleteLater();
}

// --- menu bar and popups --------------------------------------------------------------

void CKVTFrameHelper::SetMenuBar(CKVTMenuBar* bar)
{
    m_menuBar = bar;
}

bool CKVTFrameHelper::OnShowPopupMenu(CKVTPopupMenu* popup)
{
    m_openPopup = popup;
    return true;
}

CKVTPopupMenu* CKVTFrameHelper::OnPopupMenuClosed(CKVTPopupMenu* popup)
{
    CKVTPopupMenu* previous = m_openPopup;
    if (m_openPopup == popup)
        m_openPopup = nullptr;
    return previous;
}

// --- user toolbars ----------------------------------------------------------------------

void CKVTFrameHelper::InitUserToolbars(const QString* section, uint32_t first, uint32_t last)
{
    if (first == 0xFFFFFFFF)
        return;
    m_firstUser = first;
    m_lastUser = last;
    if (section)
        m_userPath = *section;
    else if (CKVTWorkspace::Instance())
        m_userPath = CKVTWorkspace::WorkspacePath();
    else
        m_userPath.clear();
}

bool CKVTFrameHelper::IsUserToolbar(const ui::ControlBar* bar) const
{
    return bar && m_firstUser != 0xFFFFFFFF && bar->GetDlgCtrlID() >= m_firstUser &&
           bar->GetDlgCtrlID() <= m_lastUser;
}

void CKVTFrameHelper::LoadUserToolbars()
{
    if (m_firstUser == 0xFFFFFFFF)
        return;
    for (uint32_t id = m_firstUser; id <= m_lastUser; ++id) {
        bool listed = false;
        for (CKVTToolBar* b : m_userBars)
            listed = listed || b->GetDlgCtrlID() == id;
        if (listed)
            continue;
        auto* bar = new CKVTToolBar(m_frame);
        if (!bar->Create(m_frame, 0x50402808, id) || !bar->LoadState(m_userPath, -1, 0xFFFFFFFF)) {
            delete bar;
            continue;
        }
        bar->SetBarStyle(bar->GetBarStyle() | 0x34);
        bar->EnableDocking(ui::CBRS_ALIGN_ANY);
        DockControlBar(bar, ui::DOCKBAR_TOP);
        m_userBars.push_back(bar);
    }
}

void CKVTFrameHelper::SaveUserToolbars()
{
    for (CKVTToolBar* b : m_userBars)
        b->SaveState(m_userPath, -1, 0xFFFFFFFF);
}

CKVTToolBar* CKVTFrameHelper::CreateUserToolbar(const QString& name)
{
    if (m_firstUser == 0xFFFFFFFF)
        return nullptr;
    const int count = int(m_lastUser - m_firstUser + 1);
    if (int(m_userBars.size()) >= count) {
        ui::Prompt(FormatResString(16243, count), QString(), ui::MB_OK | ui::MB_ICONEXCLAMATION, m_frame);
        return nullptr;
    }
    uint32_t id = m_firstUser;
    for (;; ++id) {
        bool used = false;
        for (CKVTToolBar* b : m_userBars)
            used = used || b->GetDlgCtrlID() == id;
        if (!used)
            break;
    }
    auto* bar = new CKVTToolBar(m_frame);
    if (!bar->Create(m_frame, 0x50402808, id)) {
        delete bar;
        return nullptr;
    }
    bar->setWindowTitle(name);
    bar->SetBarStyle(bar->GetBarStyle() | 0x34);
    bar->EnableDocking(ui::CBRS_ALIGN_ANY);
    QScreen* screen = m_frame->screen() ? m_frame->screen() : QGuiApplication::primaryScreen();
    const QRect avail = screen ? screen->availableGeometry() : QRect(0, 0, 800, 600);
    FloatControlBar(bar, avail.topLeft() + QPoint(avail.width() / 2, avail.height() / 2), ui::CBRS_ALIGN_TOP);
    RecalcLayout();
    m_userBars.push_back(bar);
    return bar;
}

bool CKVTFrameHelper::DeleteUserToolbar(CKVTToolBar* bar)
{
    const auto it = std::find(m_userBars.begin(), m_userBars.end(), bar);
    if (it == m_userBars.end())
        return false;
    m_userBars.erase(it);
    bar->Store().RemoveState(m_userPath, -1, 0xFFFFFFFF);
    Detach(bar);
    delete bar;
    RecalcLayout();
    return true;
}

// --- placement and the workspace ---------------------------------------------------------

bool CKVTFrameHelper::OnPreCreateFrame(CreateStruct& cs)
{
    CKVTWorkspace* ws = CKVTWorkspace::Instance();
    if (!ws)
        return true;
    dock::PlacementInput in;
    in.current = {cs.x, cs.y, cs.cx, cs.cy};
    in.screens = AvailableScreens();
    in.appShowCmd = ui::Application::Instance() ? ui::Application::Instance()->m_nCmdShow : 1;
    QRect stored;
    uint32_t flags = 0, show = 1;
    if (ws->LoadWindowPlacement(stored, flags, show)) {
        in.storedRect = ToDock(stored);
        in.storedShowCmd = int(show);
    }
    const dock::Placement p = dock::PlaceFrame(in);
    cs.x = p.rect.x;
    cs.y = p.rect.y;
    cs.cx = p.rect.w;
    cs.cy = p.rect.h;
    m_showCmd = p.appShowCmd;
    if (ui::Application::Instance())
        ui::Application::Instance()->m_nCmdShow = p.appShowCmd;
    return true;
}

void CKVTFrameHelper::OnLoadFrame()
{
    if (CKVTWorkspace* ws = CKVTWorkspace::Instance())
        ws->LoadState(nullptr, this);
}

void CKVTFrameHelper::OnClosingMainFrame()
{
    CKVTWorkspace* ws = CKVTWorkspace::Instance();
    if (!ws)
        return;
    ws->OnClosingMainFrame(this);
    const QRect r = m_frame->normalGeometry().isValid() ? m_frame->normalGeometry() : m_frame->geometry();
    ws->StoreWindowPlacement(r, 0, m_frame->isMaximized() ? 3 : 1);
}

void CKVTFrameHelper::SetCustomizeSheet(QWidget* sheet)
{
    g_customizeSheet = sheet;
}

QWidget* CKVTFrameHelper::CustomizeSheet()
{
    return g_customizeSheet;
}
