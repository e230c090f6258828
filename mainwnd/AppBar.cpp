#include "mainwnd/AppBar.h"

#include "projectui/StrandworkDoc.h"
#include "link/ui/ConInfoDlg.h"
#include "mainwnd/OutputCtrl.h"
#include "mainwnd/SplashWnd.h"
#include "fontcolor/FontColorPage.h"
#include "platform/sys/Registry.h"
#include "platform/ui/App.h"
#include "platform/ui/Document.h"
#include "platform/ui/Menu.h"
#include "plcviews/WatchView.h"
#include "res/StringTable.h"
#include "uilib/KVTFrameWnd.h"
#include "uilib/KVTMenuBar.h"

#include <QApplication>
#include <QCheckBox>
#include <QIcon>
#include <QMouseEvent>

#include <algorithm>

namespace {
constexpr unsigned IDS_PROPERTIES_ITEM = 4011;   // "&Vlastnosti"
constexpr unsigned IDS_PROPERTIES_CAPTION = 4012; // "Vlastnosti"
constexpr uint32_t kLayoutFill = 0xF0;
constexpr uint32_t kWindowStyle = 0x50002800;

std::function<uint32_t(const ui::Menu&)>& MenuHook()
{
    static std::function<uint32_t(const ui::Menu&)> hook;
    return hook;
}

std::function<ui::View*()>& ExplorerFactory()
{
    static std::function<ui::View*()> factory;
    return factory;
}

CKVTFrameBase* FrameOf(const ui::ControlBar* bar) { return dynamic_cast<CKVTFrameBase*>(bar->GetDockingFrame()); }
} // namespace

// --- CControlLayout --------------------------------------------------------------------

void CControlLayout::AddControl(QWidget* w, uint32_t flags, QRect rect, QWidget* reference)
{
    if (!w)
        return;
    RemoveControl(w);
    const QRect client = m_owner->contentsRect();
    Entry e;
    e.window = w;
    e.flags = flags;
    e.rect = rect.isNull() ? w->geometry().translated(-client.topLeft()) : rect;
    e.client = client.size();
    e.reference = reference;
    m_entries.push_back(e);
    Layout(client.width(), client.height());
}

void CControlLayout::RemoveControl(QWidget* w)
{
    m_entries.erase(std::remove_if(m_entries.begin(), m_entries.end(),
                                   [w](const Entry& e) { return e.window == w || !e.window; }),
                    m_entries.end());
}

bool CControlLayout::Contains(QWidget* w) const
{
    return std::any_of(m_entries.begin(), m_entries.end(), [w](const Entry& e) { return e.window == w; });
}

void CControlLayout::Layout(int cx, int cy)
{
    const QPoint origin = m_owner->contentsRect().topLeft();
    for (const Entry& e : m_entries) {
        if (!e.window)
            continue;
        QRect r = e.rect;
        const int dx = cx - e.client.width(), dy = cy - e.client.height();
        if (e.flags & 0x10)
            r.moveLeft(0);
        if (e.flags & 0x20)
            r.moveTop(0);
        if (e.flags & 0x40)
            r.setWidth(cx);
        if (e.flags & 0x80)
            r.setHeight(cy);
        if (e.flags & 0x1)
            r.translate(dx, 0);
        if (e.flags & 0x2)
            r.translate(0, dy);
        if (e.flags & 0x4)
            r.setRight(r.right() + dx);
        if (e.flags & 0x8)
            r.setBottom(r.bottom() + dy);
        r.translate(origin);
        if (e.window->geometry() != r)
            e.window->setGeometry(r);
    }
}

// --- CPropertySheetPlus ------------------------------------------------------------------

bool CPropertySheetPlus::AddPage(ui::PropertyPage* page)
{
    if (!page)
        return false;
    for (int i = 0; i < GetPageCount(); ++i)
        if (GetPage(i) == page)
            return false;
    ui::PropertySheet::AddPage(page);
    return true;
}

bool CPropertySheetPlus::RemovePage(ui::PropertyPage* page)
{
    for (int i = 0; i < GetPageCount(); ++i)
        if (GetPage(i) == page)
            return ui::PropertySheet::RemovePage(i);
    return false;
}

// --- CAppBar ------------------------------------------------------------------------------

CAppBar::CAppBar()
{
    setFont(QApplication::font());
    MapCommand(ID_DOCKABLE, [this] { OnDockable(); });
    MapUpdate(ID_DOCKABLE, [this](ui::CmdUI& cmd) { cmd.SetCheck(IsDockable() ? 1 : 0); });
    MapCommand(ID_HIDE, [this] { OnHide(); });
    MapUpdate(ID_HIDE, [](ui::CmdUI& cmd) { cmd.Enable(true); });
    MapCommand(ID_PROPERTIES, [this] { ShowProperties(); });
    MapUpdate(ID_PROPERTIES, [](ui::CmdUI& cmd) { cmd.Enable(true); });
}

CAppBar::~CAppBar() = default;

void CAppBar::SetMenuHook(std::function<uint32_t(const ui::Menu&)> hook) { MenuHook() = std::move(hook); }

void CAppBar::SetContent(QWidget* w)
{
    m_content = w;
    if (w)
        m_layout.AddControl(w, kLayoutFill);
}

ui::View* CAppBar::CreateView(const std::function<ui::View*()>& factory, QSize size, ui::Document* document,
                              uint32_t id)
{
    if (!factory)
        return nullptr;
    ui::View* view = factory();
    if (!view)
        return nullptr;
    view->setParent(this);
    view->setObjectName(QStringLiteral("c%1").arg(id));
    view->setGeometry(QRect(contentsRect().topLeft(), size));
    if (document)
        document->AddView(view);
    view->show();
    view->OnInitialUpdate();
    return view;
}

void CAppBar::DestroyProjectView(QPointer<ui::View>& view)
{
    if (!view)
        return;
    ui::Document* doc = view->GetDocument();
    const bool autoDelete = doc && doc->AutoDelete();
    if (doc)
        doc->SetAutoDelete(false);
    delete view.data();
    if (doc)
        doc->SetAutoDelete(autoDelete);
}

bool CAppBar::CreateBar(const QString& caption, QRect rect, uint32_t styleWord, uint32_t status, uint32_t id,
                        QWidget* parent)
{
    // 1. The state word, then the saved state over status and rectangle.
    SetStateWord(styleWord);
    setObjectName(GetProfileName());
    const uint32_t given = status;
    m_status = status;
    // Create gives the control id that LoadState needs; so the sizes of the
    // saved state are applied after it.
    if (!Create(caption, parent, rect.width(), rect.height(), true, id, kWindowStyle | 0x34))
        return false;
    SetStateWord(State() | (styleWord & ~0xFu));
    if (LoadState()) {
        status = m_status;
        if (m_floatPos.x() != -1)
            rect.moveTopLeft(m_floatPos);
        const uint32_t site = status & StatusSiteMask;
        rect.setSize(!ui::IsDockSiteId(site)  ? FloatSize()
                     : ui::IsHorizontalSite(site) ? HorzSize()
                                                  : VertSize());
    } else {
        m_status = given;
        status = given;
    }
    // 3. Docking on all sides when the status has a site or is dockable.
    const uint32_t site = status & StatusSiteMask;
    CKVTFrameBase* frame = FrameOf(this);
    if (ui::IsDockSiteId(site) || (status & StatusDockable)) {
        EnableDocking(ui::CBRS_ALIGN_ANY);
        m_status |= StatusDockable;
    } else {
        ui::ControlBar::EnableDocking(0);
    }
    // 4. Docked at its site, or floating at the rectangle's corner.
    if (frame) {
        if (ui::IsDockSiteId(site))
            frame->DockControlBar(this, site);
        else   // a stored place may lie off today's screens
            frame->FloatControlBar(this, frame->Helper().ReachableFloatPoint(this, rect.topLeft()),
                                   ui::CBRS_ALIGN_TOP);
    }
    // 5. Hidden without the visible bit.
    if (!(status & StatusVisible)) {
        if (frame)
            frame->ShowControlBar(this, false, false);
        else
            hide();
    }
    return true;
}

namespace {
std::u16string Section(const QString& profile) { return (QStringLiteral("EdtLib\\IDE\\") + profile).toStdU16String(); }
} // namespace

bool CAppBar::LoadState()
{
    const std::u16string s = Section(GetProfileName());
    constexpr int32_t kMissing = INT32_MIN;
    int32_t v[9];
    static const char16_t* const kNames[9] = {u"status",     u"horzWidth",   u"horzHeight", u"vertWidth", u"vertHeight",
                                              u"floatWidth", u"floatHeight", u"floatLeft",  u"floatTop"};
    for (int i = 0; i < 9; ++i) {
        v[i] = sys::Profile::GetInt(s, kNames[i], kMissing);
        if (v[i] == kMissing)
            return false;
    }
    const QSize min = MinSize();
    m_status = uint32_t(v[0]);
    SetHorzSize(QSize(v[1], v[2]).expandedTo(min));
    SetVertSize(QSize(v[3], v[4]).expandedTo(min));
    SetFloatSize(QSize(v[5], v[6]).expandedTo(min));
    m_floatPos = QPoint(v[7], v[8]);
    return true;
}

uint32_t CAppBar::CurrentStatus() const
{
    uint32_t status = m_status & StatusDockable;
    if (!CSizingControlBar::IsFloating())
        status |= DockBarId();
    if (IsVisible())
        status |= StatusVisible;
    return status;
}

bool CAppBar::SaveState()
{
    if (ui::Application::RunsWithoutDisplay())
        return true; // no window layout of a run without a display
    const std::u16string s = Section(GetProfileName());
    using sys::Profile::WriteInt;
    QPoint pos(-1, -1);
    if (CSizingControlBar::IsFloating())
        pos = window() != this && window()->isWindow() && window() != GetDockingFrame() ? window()->pos()
                                                                                         : Memory().floatPos;
    return WriteInt(s, u"status", int32_t(CurrentStatus())) && WriteInt(s, u"horzWidth", HorzSize().width()) &&
           WriteInt(s, u"horzHeight", HorzSize().height()) && WriteInt(s, u"vertWidth", VertSize().width()) &&
           WriteInt(s, u"vertHeight", VertSize().height()) && WriteInt(s, u"floatWidth", FloatSize().width()) &&
           WriteInt(s, u"floatHeight", FloatSize().height()) && WriteInt(s, u"floatLeft", pos.x()) &&
           WriteInt(s, u"floatTop", pos.y());
}

void CAppBar::resizeEvent(QResizeEvent* e)
{
    CSizingControlBarCF::resizeEvent(e);
    const QRect c = contentsRect();
    if (c.width() >= 0 && c.width() <= 65519 && c.height() >= 0 && c.height() <= 65519)
        m_layout.Layout(c.width(), c.height());
}

void CAppBar::OnUpdateCmdUI()
{
    CSizingControlBarCF::OnUpdateCmdUI();
    if (auto* client = dynamic_cast<ui::UpdateClient*>(m_content.data()))
        client->UpdateCmdUI();
}

void CAppBar::RecalcFrame()
{
    if (CKVTFrameBase* frame = FrameOf(this))
        frame->RecalcLayout();
}

void CAppBar::SetDockable(bool on)
{
    if (on) {
        EnableDocking(ui::CBRS_ALIGN_ANY);
        m_status |= StatusDockable;
    } else {
        ui::ControlBar::EnableDocking(0);
        m_status &= ~StatusDockable;
    }
}

void CAppBar::ToggleDocking()
{
    CKVTFrameBase* frame = FrameOf(this);
    if (!frame)
        return;
    if (!CSizingControlBar::IsFloating()) {
        const QPoint at = Memory().hasFloat ? frame->Helper().ReachableFloatPoint(this, Memory().floatPos)
                                            : mapToGlobal(QPoint(0, 0));
        frame->FloatControlBar(this, at, ui::CBRS_ALIGN_TOP);
    } else {
        const uint32_t site = ui::IsDockSiteId(Memory().dockId) ? Memory().dockId : ui::DOCKBAR_BOTTOM;
        frame->DockControlBar(this, site);
    }
}

void CAppBar::OnDockable()
{
    if (!IsDockable()) {
        SetDockable(true);
        return;
    }
    if (!CSizingControlBar::IsFloating()) {
        ToggleDocking();
        RecalcFrame();
    }
    SetDockable(false);
}

void CAppBar::OnHide()
{
    if (CKVTFrameBase* frame = FrameOf(this))
        frame->ShowControlBar(this, false, false);
    else
        hide();
}

// --- the chain protocol ------------------------------------------------------------------

uint32_t CAppBar::AddContextItems(uint32_t, ui::Menu& menu)
{
    std::unique_ptr<ui::Menu> resource = ui::Menu::Load(IDR_BAR_MENU);
    ui::Menu* items = resource ? resource->SubMenu(0) : nullptr;
    if (!items)
        return 0;
    bool lastSeparator = false;
    for (int i = 0; i < items->ItemCount(); ++i) {
        const ui::MenuItem* it = items->Item(i);
        if (it->flags & ui::MF_SEPARATOR) {
            menu.AppendSeparator();
            lastSeparator = true;
            continue;
        }
        uint32_t flags = it->flags;
        if (it->id == ID_DOCKABLE && IsDockable())
            flags |= ui::MF_CHECKED;
        menu.AppendItem(it->id, it->text, flags);
        lastSeparator = false;
    }
    return 0x19u | (lastSeparator ? uint32_t(EndsWithSeparator) : 0u);
}

uint32_t CAppBar::RunContextCommand(uint32_t id)
{
    if (id != ID_DOCKABLE && id != ID_HIDE)
        return 0;
    ExecuteCommand(id);
    return Added | Stop;
}

uint32_t CAppBar::AddPropertyPages(uint32_t, CPropertySheetPlus& sheet)
{
    sheet.AddPage(new CAppBarPropPage(this));
    return Added;
}

namespace {
// The bar, then each parent that takes part.
std::vector<IContextChainHandler*> Chain(QWidget* from)
{
    std::vector<IContextChainHandler*> out;
    for (QWidget* w = from; w; w = w->parentWidget())
        if (auto* h = dynamic_cast<IContextChainHandler*>(w))
            out.push_back(h);
    return out;
}
} // namespace

uint32_t CAppBar::RunContextMenu(const QPoint& global)
{
    auto menu = std::make_unique<ui::Menu>();
    uint32_t previous = 0;
    bool any = false, properties = false;
    for (IContextChainHandler* h : Chain(this)) {
        const uint32_t r = h->AddContextItems(previous, *menu);
        if (r & Added) {
            any = true;
            properties = properties || (r & WantsProperties);
            previous = r;
        }
        if ((r & Added) && (r & Stop))
            break;
    }
    if (!any)
        return 0;
    if (properties) {
        if (!(previous & EndsWithSeparator))
            menu->AppendSeparator();
        menu->AppendItem(ID_PROPERTIES, LoadResString(IDS_PROPERTIES_ITEM));
    }
    m_lastMenu = menu->Clone();
    QPointer<CAppBar> self(this);
    for (;;) {
        uint32_t chosen = 0;
        {
            ui::ScopedRouteFront front(this);
            chosen = MenuHook() ? MenuHook()(*menu) : ui::TrackPopupMenu(*menu, global, this);
        }
        if (!self || chosen == 0)
            return chosen;
        if (chosen == ID_PROPERTIES) {
            ShowProperties();
            return chosen;
        }
        bool again = false;
        for (IContextChainHandler* h : Chain(this)) {
            const uint32_t r = h->RunContextCommand(chosen);
            again = again || ((r & Added) && (r & EndsWithSeparator));
            if ((r & Added) && (r & Stop))
                break;
        }
        if (!again || !self)
            return chosen;
    }
}

int CAppBar::ShowProperties()
{
    CPropertySheetPlus sheet(LoadResString(IDS_PROPERTIES_CAPTION), this);
    uint32_t previous = 0;
    bool any = false;
    for (IContextChainHandler* h : Chain(this)) {
        const uint32_t r = h->AddPropertyPages(previous, sheet);
        if (r & Added) {
            any = true;
            previous = r;
        }
        if ((r & Added) && (r & Stop))
            break;
    }
    if (!any)
        return 0;
    sheet.setWindowIcon(QIcon(QPixmap(LoadPicture(QStringLiteral("128"), QSize(32, 32)))));
    return sheet.DoModal();
}

void CAppBar::mouseReleaseEvent(QMouseEvent* e)
{
    if (e->button() == Qt::RightButton && !IsTracking()) {
        RunContextMenu(e->globalPosition().toPoint());
        return;
    }
    CSizingControlBarCF::mouseReleaseEvent(e);
}

// --- the four bars -------------------------------------------------------------------------

void CProjectExplorerBar::SetViewClass(std::function<ui::View*()> factory) { ExplorerFactory() = std::move(factory); }

bool CProjectExplorerBar::CreateBar(QWidget* parent, uint32_t styleWord, uint32_t status, uint32_t id)
{
    return CAppBar::CreateBar(LoadResString(IDS_CAPTION), QRect(0, 0, 200, 350), styleWord, status, id, parent);
}

bool CProjectExplorerBar::AttachProject(CStrandworkDoc* project)
{
    if (!project)
        return false;
    // Without a registered view class there is no explorer: a failure.
    ui::View* view = CreateView(ExplorerFactory(), contentsRect().size(), project, 0xE900);
    if (!view)
        return false;
    m_view = view;
    SetContent(view);
    return true;
}

bool CProjectExplorerBar::DetachProject()
{
    // The view leaves the document at once, but is deleted only from the
    // event loop: the detach may run inside a handler of the view itself
    // (a project opened from the explorer closes this one).
    if (ui::View* view = m_view) {
        m_layout.RemoveControl(view);
        if (ui::Document* doc = view->GetDocument()) {
            const bool autoDelete = doc->AutoDelete();
            doc->SetAutoDelete(false);
            doc->RemoveView(view);
            doc->SetAutoDelete(autoDelete);
        }
        view->hide();
        view->deleteLater();
    }
    m_view = nullptr;
    m_content = nullptr;
    return true;
}

bool CDebugBar::CreateBar(QWidget* parent, uint32_t styleWord, uint32_t status, uint32_t id,
                          CFontColorPage* registry, const QString& category)
{
    m_registry = registry;
    m_category = category;
    return CAppBar::CreateBar(LoadResString(IDS_CAPTION), QRect(0, 0, 440, 160), styleWord, status, id, parent);
}

bool CDebugBar::AttachProject(CStrandworkDoc* project)
{
    if (!project)
        return false;
    ui::View* view = CreateView([] { return new CKXPWatchView; }, contentsRect().size(), project, 0xE900);
    if (!view)
        return false;
    m_view = view;
    if (auto* watch = qobject_cast<CKXPWatchView*>(view); watch && m_registry)
        watch->ApplyFontsAndColors(m_registry, m_category);
    SetContent(view);
    return true;
}

bool CDebugBar::DetachProject()
{
    if (m_view)
        m_layout.RemoveControl(m_view);
    DestroyProjectView(m_view);
    m_content = nullptr;
    return true;
}

bool COutputBar::CreateBar(QWidget* parent, uint32_t styleWord, uint32_t status, uint32_t id,
                           CFontColorPage* registry, const QString& category)
{
    if (!CAppBar::CreateBar(LoadResString(IDS_CAPTION), QRect(0, 0, 440, 160), styleWord, status, id, parent))
        return false;
    auto* output = new COutputCtrl;
    if (!output->Create(0, QRect(contentsRect().topLeft(), contentsRect().size()), this, id, registry, category)) {
        delete output;
        return false;
    }
    output->show();
    SetContent(output);
    return true;
}

COutputCtrl* COutputBar::Output() const { return qobject_cast<COutputCtrl*>(m_content.data()); }

bool CConInfoBar::CreateBar(QWidget* parent, uint32_t styleWord, uint32_t status, uint32_t id)
{
    // The default size shows the whole monitor (the table and the settings
    // at the application's font), docked or floating.
    QSize size(345, 225);
    {
        const linkui::CConInfoDlg probe;
        size = size.expandedTo(probe.sizeHint() + LargestInsets());
    }
    return CAppBar::CreateBar(LoadResString(IDS_CAPTION), QRect(QPoint(300, 250), size), styleWord, status, id,
                              parent);
}

bool CConInfoBar::AttachProject(CStrandworkDoc* project)
{
    if (!project)
        return false;
    auto* monitor = new linkui::CConInfoDlg(this);
    monitor->setObjectName(QStringLiteral("c%1").arg(GetDlgCtrlID()));
    monitor->setGeometry(contentsRect());
    monitor->show();
    m_monitor = monitor;
    SetContent(monitor);
    monitor->StartRefresh(&project->Link());
    return true;
}

bool CConInfoBar::DetachProject()
{
    if (m_monitor) {
        m_monitor->StopRefresh();
        m_layout.RemoveControl(m_monitor);
        delete m_monitor.data();
    }
    m_content = nullptr;
    return true;
}

linkui::CConInfoDlg* CConInfoBar::Monitor() const { return m_monitor; }

// --- CAppBarPropPage --------------------------------------------------------------------------

CAppBarPropPage::CAppBarPropPage(CAppBar* bar) : ui::PropertyPage(IDD), m_bar(bar)
{
    for (int id : {int(IDC_DOCKABLE), int(IDC_DOCKED)})
        if (auto* box = Item<QCheckBox>(id))
            connect(box, &QCheckBox::clicked, this, [this] {
                UpdateData(true);
                UpdateEnabled();
                SetModified(true);
            });
}

bool CAppBarPropPage::OnSetActive()
{
    if (!m_filled && m_bar) {
        m_dockable = m_bar->IsDockable() ? 1 : 0;
        m_docked = m_bar->CSizingControlBar::IsFloating() ? 0 : 1;
        UpdateData(false);
        UpdateEnabled();
        m_filled = true;
    }
    return ui::PropertyPage::OnSetActive();
}

void CAppBarPropPage::UpdateEnabled()
{
    if (QWidget* docked = GetDlgItem(IDC_DOCKED))
        docked->setEnabled(m_dockable != 0);
}

void CAppBarPropPage::DoDataExchange(ui::DataExchange& dx)
{
    dx.Check(IDC_DOCKABLE, m_dockable);
    dx.Check(IDC_DOCKED, m_docked);
}

void CAppBarPropPage::OnOK()
{
    if (m_filled && m_bar) {
        UpdateData(true);
        const bool barDocked = !m_bar->CSizingControlBar::IsFloating();
        // 1. Unchecked docked or dockable while docked: the bar floats.
        if ((!m_docked || !m_dockable) && barDocked) {
            m_bar->ToggleDocking();
            m_bar->RecalcFrame();
        }
        if (!m_dockable) {
            if (m_bar->IsDockable())
                m_bar->SetDockable(false);
        } else {
            if (!m_bar->IsDockable())
                m_bar->SetDockable(true);
            if (m_docked && m_bar->CSizingControlBar::IsFloating()) {
                m_bar->ToggleDocking();
                m_bar->RecalcFrame();
            }
        }
    }
    ui::PropertyPage::OnOK();
}
