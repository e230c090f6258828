#include "mainwnd/MainFrame.h"

#include "projectui/ProjectHost.h"
#include "projectui/StrandworkDoc.h"
#include "link/ui/ConnectionErrorDlg.h"
#include "mainwnd/AppBar.h"
#include "mainwnd/MainFrameHost.h"
#include "mainwnd/OptionsSheet.h"
#include "mainwnd/OutputCtrl.h"
#include "editor/buffer/EdtCodePages.h"
#include "editor/settings/EdtCodePageNames.h"
#include "fontcolor/FontColorPage.h"
#include "platform/sys/FileIO.h"
#include "platform/sys/Registry.h"
#include "platform/ui/App.h"
#include "platform/ui/Help.h"
#include "platform/ui/LockKeys.h"
#include "platform/ui/Menu.h"
#include "platform/ui/Prompt.h"
#include "platform/ui/StatusBar.h"
#include "plcviews/HexEditView.h"
#include "plcviews/PLCDoc.h"
#include "plcviews/WatchView.h"
#include "res/CommandIds.h"
#include "res/Resources.h"
#include "res/StringTable.h"
#include "uilib/KVTDocking.h"
#include "uilib/KVTMenuBar.h"
#include "uilib/KVTPopupMenu.h"
#include "uilib/KVTToolBar.h"
#include "uilib/KVTToolbarCustomize.h"
#include "uilib/KVTWorkspace.h"
#include "uilib/KVTToolbarImageList.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include "platform/ui/LocalPath.h"
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMetaObject>
#include <QMimeData>
#include <QScreen>
#include <QShowEvent>
#include <QTimer>
#include <QThread>
#include <QUrl>

#include <algorithm>

namespace {
const char16_t kOptions[] = u"Options";
const char16_t kAppWindow[] = u"AppWindow";
const QString kFormats = QStringLiteral("Formats");
const QString kOutputCategory = QStringLiteral("OutputWindow");
const QString kWatchCategory = QStringLiteral("WatchWindow");
constexpr unsigned IDS_CUSTOMIZE = 4027;        // "Vlastní..."
constexpr unsigned IDS_MAIN_TOOLBAR = 4028;     // "Hlavní"
constexpr unsigned IDS_DEBUG_TOOLBAR = 4029;    // "Ladění"
constexpr unsigned IDS_OUTPUT_WINDOW = 4037;    // "Okno výstupu"
constexpr unsigned IDS_WATCH_WINDOW = 4038;     // "Okno sledování proměnných"
constexpr unsigned IDS_BINARY_WINDOW = 4040;    // "Binární souobry"
constexpr unsigned IDS_WARNING = 4041;          // "Upozornění"
constexpr unsigned IDS_LANGUAGE_QUESTION = 4042;
constexpr unsigned IDS_LANGUAGE_NEXT_START = 4043;
constexpr uint32_t kBarStyleWord = 0x10034;
constexpr uint32_t kTooltipsFlybyDynamic = 0x34;

core::DefaultFolders ProgramDefaults() { return core::FindDefaultFolders(sys::ProgramFolder()); }

QIcon Icon(int id) { return QIcon(res::Path(QStringLiteral("icons/%1.svg").arg(id))); }

// The part of r that lies on the screen showing most of it; empty when r
// lies on none.
QRect ClipToScreens(const QRect& r)
{
    QRect best;
    for (QScreen* s : QGuiApplication::screens()) {
        const QRect part = r.intersected(s->availableGeometry());
        if (part.width() * part.height() > best.width() * best.height())
            best = part;
    }
    return best;
}

// The texts of the view menu's bar commands, for the toolbar context menu.
QString ViewMenuText(uint32_t id)
{
    switch (id) {
    case ID_VIEW_EXPLORER:
        return QStringLiteral("&Projekt");
    case ID_VIEW_OUTPUT:
        return QStringLiteral("Okno &výstupu");
    case ID_VIEW_WATCH:
        return QStringLiteral("Okno Sl&edování");
    case ID_VIEW_CONINFO:
        return QStringLiteral("&Sledování sp&ojení");
    default:
        return {};
    }
}
} // namespace

const std::vector<uint32_t> CMainFrame::kNormalIndicators = {0, ID_INDICATOR_CAPS, ID_INDICATOR_NUM, ID_INDICATOR_SCRL,
                                                             ID_INDICATOR_PLC, ID_INDICATOR_LINK};
const std::vector<uint32_t> CMainFrame::kEditorIndicators = {
    0, ID_INDICATOR_POS, ID_INDICATOR_OVR, ID_INDICATOR_READONLY, ID_EDT_INDICATOR_CRLF, ID_EDT_INDICATOR_ENCODING,
    ID_INDICATOR_CAPS, ID_INDICATOR_NUM, ID_INDICATOR_SCRL, ID_INDICATOR_PLC, ID_INDICATOR_LINK};

CMainFrame::CMainFrame()
    : m_fontColors(new CFontColorPage), m_connError(std::make_unique<linkui::CConnectionErrorDlg>()),
      m_userImages(std::make_unique<CKVTToolbarImageList>())
{
    setObjectName(QStringLiteral("MainFrame"));
    SetFontColorPage(m_fontColors);
    m_settings.SetDefaults(ProgramDefaults());
    setAcceptDrops(true);
    setWindowIcon(Icon(128));
    m_timer.setInterval(1000);
    connect(&m_timer, &QTimer::timeout, this, [this] { OnTimerTick(); });
    m_connErrorRetry.setSingleShot(true);
    m_connErrorRetry.setInterval(50);
    connect(&m_connErrorRetry, &QTimer::timeout, this, [this] { ShowPendingConnectionError(); });
    MapFrameCommands();
    connect(MdiArea(), &QMdiArea::subWindowActivated, this, [this] { UpdateFrameTitle(); });
    UpdateFrameTitle();
    // Without a stored placement: 80 % of the primary screen, centred.
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect avail = screen->availableGeometry();
        const QSize size(avail.width() * 8 / 10, avail.height() * 8 / 10);
        setGeometry(QRect(avail.topLeft() + QPoint((avail.width() - size.width()) / 2,
                                                   (avail.height() - size.height()) / 2),
                          size));
    } else {
        resize(1024, 700);
    }
}

CMainFrame::~CMainFrame()
{
    m_timer.stop();
    m_connErrorRetry.stop();
    if (m_fullScreenBar)
        delete m_fullScreenBar.data();
    // The windows that listen to the registry go first, then the registry.
    const auto frames = MdiArea()->subWindowList();
    for (QMdiSubWindow* f : frames)
        delete f;
    for (CAppBar* bar : AppBars())
        delete bar;
    m_connError.reset();
    if (CKVTToolbarShared::GetUserImages() == m_userImages.get())
        CKVTToolbarShared::SetUserImages(nullptr);
    if (::GetFontColorPage() == m_fontColors)
        SetFontColorPage(nullptr);
    delete m_fontColors;
}

std::vector<CAppBar*> CMainFrame::AppBars() const
{
    std::vector<CAppBar*> out;
    for (CAppBar* b : std::initializer_list<CAppBar*>{m_explorerBar, m_debugBarWnd, m_outputBar, m_conInfoBar})
        if (b)
            out.push_back(b);
    return out;
}

COutputCtrl* CMainFrame::GetOutputCtrl() const { return m_outputBar ? m_outputBar->Output() : nullptr; }

void CMainFrame::RegisterFontCategories()
{
    COutputCtrl::RegisterFonts(kOutputCategory, LoadResString(IDS_OUTPUT_WINDOW), m_fontColors);
    CKXPWatchView::RegisterFontItems(kWatchCategory, LoadResString(IDS_WATCH_WINDOW), m_fontColors);
    CPLCView::RegisterFontItems(CStructuredTextView::kCategory, LoadResString(IDS_SOURCE_WINDOW), m_fontColors);
    CBinView::RegisterFontItems(CBinView::kCategory, LoadResString(IDS_BINARY_WINDOW), m_fontColors);
}


void CMainFrame::LoadSettings()
{
    m_settings.SetDefaults(ProgramDefaults());
    m_settings.Load(kOptions);
}

// --- creation ------------------------------------------------------------------------

bool CMainFrame::LoadFrame(uint32_t resourceId, uint32_t style)
{
    if (!ui::Menu::Load(resourceId))
        return false;
    if (!CKVTMDIFrameWnd::LoadFrame(resourceId, style))
        return false;
    const int cmd = m_appWindowShowCmd >= 0 ? m_appWindowShowCmd : Helper().ShowCmdDecided();
    if (cmd == 3)
        setWindowState(windowState() | Qt::WindowMaximized);
    UpdateFrameTitle();
    return true;
}

bool CMainFrame::PreCreateWindow(CreateStruct& cs)
{
    if (!CKVTMDIFrameWnd::PreCreateWindow(cs))
        return false;
    // "AppWindow" wins over the library's placement when all five are set.
    const int show = sys::Profile::GetInt(kAppWindow, u"ShowCmd", -1);
    const int left = sys::Profile::GetInt(kAppWindow, u"Left", -1);
    const int top = sys::Profile::GetInt(kAppWindow, u"Top", -1);
    const int right = sys::Profile::GetInt(kAppWindow, u"Right", -1);
    const int bottom = sys::Profile::GetInt(kAppWindow, u"Bottom", -1);
    if (show == -1 || left == -1 || top == -1 || right == -1 || bottom == -1)
        return true;
    const QRect clipped = ClipToScreens(QRect(left, top, right - left, bottom - top));
    if (clipped.width() >= 100 && clipped.height() >= 100) {
        cs.x = clipped.x();
        cs.y = clipped.y();
        cs.cx = clipped.width();
        cs.cy = clipped.height();
    }
    // A minimised window opens shown.
    m_appWindowShowCmd = show == 3 ? 3 : 1;
    if (ui::Application* app = ui::Application::Instance())
        app->m_nCmdShow = m_appWindowShowCmd;
    return true;
}

// The stored placement is clipped to the screen before the window has a
// frame, so a placement saved on a larger screen fills the screen with the
// window's inside and its caption and borders run off it.  Once shown (and
// again when the window manager has put its frame on), the whole window is
// moved and shrunk onto the screen; the bars' rows wrap or give way.
void CMainFrame::showEvent(QShowEvent* e)
{
    CKVTMDIFrameWnd::showEvent(e);
    if (m_fittedOnce || e->spontaneous())
        return;
    m_fittedOnce = true;
    FitFrameToScreen();
    // The frame's borders may come later; a window resized meanwhile (by
    // the user or the program) is left as it is.
    const QSize fitted = size();
    const auto again = [this, fitted] {
        if (size() == fitted)
            FitFrameToScreen();
    };
    QTimer::singleShot(0, this, again);
    QTimer::singleShot(500, this, again);
}

void CMainFrame::FitFrameToScreen()
{
    if (!isVisible() || (windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen | Qt::WindowMinimized)))
        return;
    QScreen* s = screen();
    if (!s)
        return;
    const QRect avail = s->availableGeometry();
    const QRect outer = frameGeometry();
    if (avail.isEmpty() || avail.contains(outer))
        return;
    const QRect inner = geometry();
    const QMargins frame(std::max(0, inner.left() - outer.left()), std::max(0, inner.top() - outer.top()),
                         std::max(0, outer.right() - inner.right()), std::max(0, outer.bottom() - inner.bottom()));
    // Along one axis: the start kept (on the screen), the length cut at the
    // screen's end; a window left shorter than it can be moves back instead.
    const auto fit = [](int start, int length, int lo, int span, int least) {
        start = std::max(start, lo);
        length = std::min(length, lo + span - start);
        if (length < least) {
            length = std::min(least, span);
            start = lo + span - length;
        }
        return std::pair{start, length};
    };
    const QSize least = minimumSizeHint().expandedTo(minimumSize()).expandedTo(QSize(100, 100)).grownBy(frame);
    const auto [x, w] = fit(outer.x(), outer.width(), avail.left(), avail.width(), least.width());
    const auto [y, h] = fit(outer.y(), outer.height(), avail.top(), avail.height(), least.height());
    setGeometry(QRect(x, y, w, h).marginsRemoved(frame));
}

int CMainFrame::OnCreate()
{
    // 1. The base frame.
    if (CKVTMDIFrameWnd::OnCreate() == -1)
        return -1;
    // 2. Fonts and colours, the options.
    RegisterFontCategories();
    m_fontColors->LoadSettings(kFormats);
    m_settings.Load(kOptions);
    // 3. The status bar.
    ui::StatusBar* status = CreateStatusBar(kNormalIndicators);
    if (!status)
        return -1;
    status->setObjectName(QStringLiteral("StatusBar"));
    m_editorIndicators = false;
    // 4. Docking on all four sides.
    EnableDocking(0xF000);
    // The global toolbar options.
    CKVTToolbarStore::LoadParameters(QString());
    // 5. The menu bar.
    auto* menuBar = new CKVTMenuBar(this);
    menuBar->setObjectName(QStringLiteral("MenuBar"));
    if (!menuBar->Create(this, 0x50402808, ID_MENU_BAR)) {
        delete menuBar;
        return -1;
    }
    menuBar->SetBarStyle(menuBar->GetBarStyle() | kTooltipsFlybyDynamic);
    menuBar->EnableDocking(ui::CBRS_ALIGN_TOP);
    // 6. and 7. The toolbars.
    auto makeToolBar = [this](uint32_t id, uint32_t resource, const QMargins& borders, unsigned title,
                              const char* name) -> CKVTToolBar* {
        auto* bar = new CKVTToolBar(this);
        bar->setObjectName(QString::fromLatin1(name));
        if (!bar->CreateEx(this, 0x830, 0x50402834, borders, id) || !bar->LoadToolBar(resource)) {
            delete bar;
            return nullptr;
        }
        bar->EnableDocking(ui::CBRS_ALIGN_ANY);
        bar->EnableCustomizeButton(true, ID_VIEW_CUSTOMIZE, LoadResString(IDS_CUSTOMIZE));
        bar->setWindowTitle(LoadResString(title));
        return bar;
    };
    m_mainBar = makeToolBar(ID_MAIN_TOOLBAR, 1, QMargins(1, 1, 1, 1), IDS_MAIN_TOOLBAR, "MainToolBar");
    if (!m_mainBar)
        return -1;
    m_debugBar = makeToolBar(ID_DEBUG_TOOLBAR, 1017, QMargins(0, 0, 0, 0), IDS_DEBUG_TOOLBAR, "DebugToolBar");
    if (!m_debugBar)
        return -1;
    SetCustomizeCommand(ID_VIEW_CUSTOMIZE, LoadResString(IDS_CUSTOMIZE));
    // 8. The docking bars.
    auto explorer = new CProjectExplorerBar;
    explorer->setObjectName(QStringLiteral("ExplorerBar"));
    if (!explorer->CreateBar(this, kBarStyleWord, 0x80000000, ID_EXPLORER_BAR)) {
        delete explorer;
        return -1;
    }
    m_explorerBar = explorer;
    auto debug = new CDebugBar;
    debug->setObjectName(QStringLiteral("DebugBar"));
    if (!debug->CreateBar(this, kBarStyleWord, 0x80000000, ID_DEBUG_BAR, m_fontColors, kWatchCategory)) {
        delete debug;
        return -1;
    }
    m_debugBarWnd = debug;
    auto output = new COutputBar;
    output->setObjectName(QStringLiteral("OutputBar"));
    if (!output->CreateBar(this, kBarStyleWord, 0x8000E81E, ID_OUTPUT_BAR, m_fontColors, kOutputCategory)) {
        delete output;
        return -1;
    }
    m_outputBar = output;
    auto conInfo = new CConInfoBar;
    conInfo->setObjectName(QStringLiteral("ConInfoBar"));
    if (!conInfo->CreateBar(this, kBarStyleWord, 0, ID_CONINFO_BAR)) {
        delete conInfo;
        return -1;
    }
    m_conInfoBar = conInfo;
    for (CAppBar* bar : AppBars())
        bar->SetDockable(true);
    // 9. The default layout when the workspace keeps none; else the menu
    // bar and the toolbars stand at the top until the workspace restores
    // the stored layout.
    if (sys::Profile::GetInt(u"KVTWorkspace\\ControlBars-Summary", u"Bars", 0) == 0) {
        DefaultLayout();
    } else {
        DockControlBar(menuBar, ui::DOCKBAR_TOP);
        DockControlBar(m_mainBar, ui::DOCKBAR_TOP);
        DockControlBarLeftOf(m_debugBar, m_mainBar);
    }
    // 10. The images of the menu commands reach the shared images through
    // a toolbar that lives only for that.
    {
        auto* temp = new CKVTToolBar(this);
        if (temp->Create(this, 0x50402808, ID_TEMP_TOOLBAR))
            temp->LoadToolBar(1019);
        delete temp;
    }
    // 11. User toolbars.
    InitUserToolbars(nullptr, ID_FIRST_USER_TOOLBAR, ID_LAST_USER_TOOLBAR);
    // 12. The user images.
    if (m_userImages->LoadUserImages(QStringLiteral("UsrImgs.bmp")))
        CKVTToolbarShared::SetUserImages(m_userImages.get());
    return 0;
}

void CMainFrame::DefaultLayout()
{
    if (m_explorerBar) {
        m_explorerBar->SetHorzSize(QSize(200, 200));
        m_explorerBar->SetVertSize(QSize(200, 500));
        m_explorerBar->SetFloatSize(QSize(200, 500));
    }
    for (CSizingControlBar* bar : std::initializer_list<CSizingControlBar*>{m_outputBar, m_debugBarWnd}) {
        if (!bar)
            continue;
        bar->SetHorzSize(QSize(500, 200));
        bar->SetVertSize(QSize(200, 200));
        bar->SetFloatSize(QSize(500, 200));
    }
    // The bars that go beside a neighbour leave their rows first, so that
    // a second run finds the same rows as the first.
    for (ui::ControlBar* bar : std::initializer_list<ui::ControlBar*>{m_debugBar, m_debugBarWnd})
        if (CKVTToolDockBar* site = bar ? Helper().SiteOf(bar) : nullptr)
            site->RemoveBar(bar);
    if (CKVTMenuBar* menuBar = GetMenuBar())
        DockControlBar(menuBar, ui::DOCKBAR_TOP);
    if (m_mainBar)
        DockControlBar(m_mainBar, ui::DOCKBAR_TOP);
    if (m_explorerBar)
        DockControlBar(m_explorerBar, ui::DOCKBAR_LEFT);
    if (m_outputBar)
        DockControlBar(m_outputBar, ui::DOCKBAR_BOTTOM);
    RecalcLayout();
    // Each lands beside its neighbour, in the same row.
    if (m_debugBar && m_mainBar)
        DockControlBarLeftOf(m_debugBar, m_mainBar);
    if (m_debugBarWnd && m_outputBar)
        DockControlBarLeftOf(m_debugBarWnd, m_outputBar);
    RecalcLayout();
}

// --- commands ------------------------------------------------------------------------

void CMainFrame::ToggleBar(ui::ControlBar* bar)
{
    if (bar)
        ShowControlBar(bar, !bar->IsVisible(), false);
}

void CMainFrame::MapBarToggle(uint32_t id, std::function<ui::ControlBar*()> bar)
{
    MapCommand(id, [this, bar] { ToggleBar(bar()); });
    MapUpdate(id, [bar](ui::CmdUI& cmd) {
        ui::ControlBar* b = bar();
        cmd.Enable(b != nullptr);
        cmd.SetCheck(b && b->IsVisible() ? 1 : 0);
    });
}

void CMainFrame::MapFrameCommands()
{
    MapBarToggle(ID_VIEW_EXPLORER, [this] { return m_explorerBar.data(); });
    MapBarToggle(ID_VIEW_DEBUG_TOOLBAR, [this] { return m_debugBar.data(); });
    MapBarToggle(ID_VIEW_OUTPUT, [this] { return m_outputBar.data(); });
    MapBarToggle(ID_VIEW_WATCH, [this] { return m_debugBarWnd.data(); });
    MapBarToggle(ID_VIEW_CONINFO, [this] { return m_conInfoBar.data(); });

    MapCommand(ID_NEXT_ERROR, [this] {
        if (COutputCtrl* out = GetOutputCtrl())
            ShowTagMessage(out->NextTag());
    });
    MapCommand(ID_PREV_ERROR, [this] {
        if (COutputCtrl* out = GetOutputCtrl())
            ShowTagMessage(out->PrevTag());
    });
    auto hasTags = [this](ui::CmdUI& cmd) {
        COutputCtrl* out = GetOutputCtrl();
        cmd.Enable(out && out->HasTags());
    };
    MapUpdate(ID_NEXT_ERROR, hasTags);
    MapUpdate(ID_PREV_ERROR, hasTags);
    MapCommand(ID_CLEAR_OUTPUT, [this] {
        if (COutputCtrl* out = GetOutputCtrl())
            out->ClearAll();
    });
    MapUpdate(ID_CLEAR_OUTPUT, [this](ui::CmdUI& cmd) { cmd.Enable(GetOutputCtrl() != nullptr); });

    MapCommand(ID_VIEW_FULLSCREEN, [this] { ToggleFullScreen(); });
    MapUpdate(ID_VIEW_FULLSCREEN, [this](ui::CmdUI& cmd) { cmd.SetCheck(m_fullScreen ? 1 : 0); });
    MapCommand(ID_VIEW_DEFAULT_LAYOUT, [this] { DefaultLayout(); });
    MapUpdate(ID_VIEW_DEFAULT_LAYOUT, [](ui::CmdUI& cmd) { cmd.Enable(true); });
    MapCommand(ID_VIEW_CUSTOMIZE, [this] { CKVTToolbarCustomize::OpenForFrame(this); });
    MapCommand(ID_TOOLS_OPTIONS, [this] { OnOptions(); });

    auto language = [this] { return QString::fromStdU16String(m_settings.Language); };
    MapCommand(ID_LANGUAGE_DEFAULT, [this, language] {
        const QString l = language();
        if (l.compare(QLatin1String("CSY"), Qt::CaseInsensitive) == 0 ||
            l.compare(QLatin1String("ENU"), Qt::CaseInsensitive) == 0)
            SetLanguage(QStringLiteral("Default"));
    });
    MapUpdate(ID_LANGUAGE_DEFAULT, [language](ui::CmdUI& cmd) {
        const QString l = language();
        cmd.SetCheck(l.compare(QLatin1String("CSY"), Qt::CaseInsensitive) != 0 &&
                             l.compare(QLatin1String("ENU"), Qt::CaseInsensitive) != 0
                         ? 1
                         : 0);
    });
    // A language is offered only when its language file is there: without
    // it the change would cost the customisations and show the same texts.
    auto available = [](const QString& code) {
        const MainFrameHost* host = MainFrameHost::Instance();
        return host && host->HasLanguageFile(code);
    };
    for (const auto& [id, code] : {std::pair<uint32_t, const char*>{ID_LANGUAGE_CSY, "CSY"}, {ID_LANGUAGE_ENU, "ENU"}}) {
        const QString c = QString::fromLatin1(code);
        MapCommand(id, [this, language, available, c] {
            if (language().compare(c, Qt::CaseInsensitive) != 0 && available(c))
                SetLanguage(c);
        });
        MapUpdate(id, [language, available, c](ui::CmdUI& cmd) {
            cmd.Enable(available(c));
            cmd.SetCheck(language().compare(c, Qt::CaseInsensitive) == 0 ? 1 : 0);
        });
    }

    MapCommand(ID_NEXT_WINDOW, [this] { MdiArea()->activateNextSubWindow(); });
    MapCommand(ID_PREV_WINDOW, [this] { MdiArea()->activatePreviousSubWindow(); });
    MapUpdate(ID_NEXT_WINDOW, [](ui::CmdUI& cmd) { cmd.Enable(true); });
    MapUpdate(ID_PREV_WINDOW, [](ui::CmdUI& cmd) { cmd.Enable(true); });

    // The application's help paths: 0 the PLC help, 1 the machine
    // constants, 2 the system configuration.
    MapCommand(ID_HELP_PLC, [this] { OpenHelp(0); });
    MapCommand(ID_HELP_SYSCONFIG, [this] { OpenHelp(2); });
    MapCommand(ID_HELP_MACHINE, [this] { OpenHelp(1); });
    for (uint32_t id : {uint32_t(ID_HELP_INDEX), uint32_t(ID_HELP), uint32_t(ID_DEFAULT_HELP)})
        MapCommand(id, [this] { OpenHelp(0); });

    // The lock keys.
    const std::pair<uint32_t, ui::LockKey> locks[] = {
        {ID_INDICATOR_CAPS, ui::LockKey::Caps}, {ID_INDICATOR_NUM, ui::LockKey::Num}, {ID_INDICATOR_SCRL, ui::LockKey::Scroll}};
    for (const auto& [id, key] : locks) {
        const ui::LockKey k = key;
        MapUpdate(id, [k](ui::CmdUI& cmd) {
            const bool on = ui::IsLockKeyOn(k);
            cmd.Enable(on);
            cmd.SetText(on ? LoadResString(cmd.Id()) : QString());
        });
    }
    // The text views' line ends and encoding: empty while no text view is
    // active (an active one answers first).
    for (uint32_t id : {ID_EDT_INDICATOR_CRLF, ID_EDT_INDICATOR_ENCODING})
        MapUpdate(id, [](ui::CmdUI& cmd) { cmd.Enable(false); });
    // The PLC state.
    MapUpdate(ID_INDICATOR_PLC, [this](ui::CmdUI& cmd) {
        if (!m_project || !m_project->Link().IsConnected()) {
            cmd.SetText(QString());
            return;
        }
        PlcStatusRecord status{};
        m_project->GetPlcStatus(status);
        cmd.SetText(mainwnd::PlcStateText(true, &status));
    });
}

void CMainFrame::OpenHelp(int index)
{
    ProjectHost* host = GetProjectHost();
    const QString path = host ? host->GetHelpPath(index) : QString();
    ui::WinHelp(path, ui::HELP_CONTENTS);
}

void CMainFrame::ShowTagMessage(const std::optional<QString>& message)
{
    if (!message)
        return;
    if (ui::StatusBar* bar = GetStatusBar())
        bar->SetPaneText(0, *message);
}

void CMainFrame::OnOptions() { RunOptionsSheet(this, m_settings, m_fontColors); }

void CMainFrame::SetLanguage(const QString& code)
{
    if (ui::Prompt(LoadResString(IDS_LANGUAGE_QUESTION), LoadResString(IDS_WARNING),
                   ui::MB_YESNO | ui::MB_ICONEXCLAMATION, this) != ui::IDYES)
        return;
    ui::Prompt(LoadResString(IDS_LANGUAGE_NEXT_START), QString(), ui::MB_OK | ui::MB_ICONINFORMATION, this);
    m_settings.Language = code.toStdU16String();
    sys::Profile::WriteString(kOptions, u"Language", m_settings.Language);
    WriteSettingsNow(this);
    if (MainFrameHost* host = MainFrameHost::Instance())
        host->SetResetWorkspace(true);
}

// --- the toolbar context menu and the menu loop ----------------------------------------

std::vector<CMainFrame::ToolbarMenuItem> CMainFrame::ToolbarMenuItems() const
{
    std::vector<ToolbarMenuItem> items;
    for (CKVTToolBar* bar : {m_mainBar.data(), m_debugBar.data()})
        if (bar)
            items.push_back({bar->GetDlgCtrlID(), bar->windowTitle(), bar->IsVisible()});
    for (CKVTToolBar* bar : const_cast<CMainFrame*>(this)->Helper().UserToolbars())
        items.push_back({bar->GetDlgCtrlID(), bar->windowTitle(), bar->IsVisible()});
    const std::pair<uint32_t, ui::ControlBar*> bars[] = {{ID_VIEW_EXPLORER, m_explorerBar},
                                                         {ID_VIEW_OUTPUT, m_outputBar},
                                                         {ID_VIEW_WATCH, m_debugBarWnd},
                                                         {ID_VIEW_CONINFO, m_conInfoBar}};
    for (const auto& [id, bar] : bars)
        items.push_back({id, ViewMenuText(id), bar && bar->IsVisible()});
    return items;
}

void CMainFrame::OnToolbarPopupMenu(QWidget* source, const QPoint& globalPoint)
{
    if (CKVTToolbarShared::IsCustomizeMode())
        return;
    ui::Menu menu;
    for (const ToolbarMenuItem& item : ToolbarMenuItems())
        menu.AppendItem(item.id, item.text, item.checked ? uint32_t(ui::MF_CHECKED) : 0u);
    menu.AppendSeparator();
    menu.AppendItem(ID_VIEW_CUSTOMIZE, QStringLiteral("&Vlastní..."));
    const uint32_t id = ui::TrackPopupMenu(menu, globalPoint, source ? source : this);
    if (id)
        ui::SendCommand(id);
}

bool CMainFrame::OnShowPopupMenu(CKVTPopupMenu* popup)
{
    (void)popup;
    m_inMenuLoop = true;
    return true;
}

void CMainFrame::OnPopupMenuClosed(CKVTPopupMenu* popup)
{
    CKVTMDIFrameWnd::OnPopupMenuClosed(popup);
    // Still in the loop while another popup of the chain stays open.
    bool open = false;
    for (CKVTPopupMenu* p = CKVTPopupMenu::ActivePopup(); p && !open; p = p->GetParentPopup())
        open = p != popup;
    m_inMenuLoop = open;
}

// --- the status bar ---------------------------------------------------------------------

void CMainFrame::SetEditorIndicators(bool editor)
{
    ui::StatusBar* status = GetStatusBar();
    if (!status)
        return;
    if (editor != m_editorIndicators) {
        status->SetIndicators(editor ? kEditorIndicators : kNormalIndicators);
        m_editorIndicators = editor;
        if (editor) {
            // Panes whose ids have no string-table text.
            status->SetPaneWidthText(status->CommandToIndex(ID_EDT_INDICATOR_CRLF),
                                     QString::fromUtf16(GetCRLFModeName(1)));
            status->SetPaneWidthText(status->CommandToIndex(ID_EDT_INDICATOR_ENCODING), GetEncodingStatusSample());
        }
    }
    for (int i = 0; i < status->PaneCount(); ++i)
        status->SetPaneIcon(i, QIcon());
}

void CMainFrame::SetLinkIcon(const QIcon& icon)
{
    if (ui::StatusBar* status = GetStatusBar())
        status->SetPaneIcon(status->CommandToIndex(ID_INDICATOR_LINK), icon);
}

void CMainFrame::FlashUntilFocus()
{
    // Called from the file watch's thread too: the UI thread does the work.
    if (QThread::currentThread() != thread()) {
        QMetaObject::invokeMethod(this, [this] { FlashUntilFocus(); }, Qt::QueuedConnection);
        return;
    }
    if (!isActiveWindow())
        QApplication::alert(this);
}

// --- the project and the connection watch ------------------------------------------------

bool CMainFrame::AttachProject(CStrandworkDoc* doc)
{
    if (!doc)
        return false;
    // The explorer, debug and connection bars in this order; a bar that
    // refuses gives the project back from those before it.
    std::vector<CAppBar*> attached;
    for (CAppBar* bar : std::initializer_list<CAppBar*>{m_explorerBar, m_debugBarWnd, m_conInfoBar}) {
        if (!bar)
            continue;
        if (!bar->AttachProject(doc)) {
            for (auto it = attached.rbegin(); it != attached.rend(); ++it)
                (*it)->DetachProject();
            return false;
        }
        attached.push_back(bar);
    }
    m_project = doc;
    m_steadyIcon = Icon(mainwnd::ConnectionWatch::kSteadyIcon);
    for (size_t i = 0; i < m_trafficIcons.size(); ++i)
        m_trafficIcons[i] = Icon(mainwnd::ConnectionWatch::kTrafficIcons[i]);
    for (size_t i = 0; i < m_stallIcons.size(); ++i)
        m_stallIcons[i] = Icon(mainwnd::ConnectionWatch::kStallIcons[i]);
    m_watch.Reset();
    m_timer.start();
    UpdateFrameTitle();
    return true;
}

bool CMainFrame::DetachProject()
{
    bool ok = true;
    for (CAppBar* bar : std::initializer_list<CAppBar*>{m_explorerBar, m_debugBarWnd, m_conInfoBar})
        if (bar && !bar->DetachProject())
            ok = false;
    m_timer.stop();
    m_steadyIcon = QIcon();
    m_trafficIcons.fill(QIcon());
    m_stallIcons.fill(QIcon());
    SetLinkIcon(QIcon());
    DropConnectionError();
    m_watch.Reset();
    m_project = nullptr;
    UpdateFrameTitle();
    return ok;
}

void CMainFrame::OnTimerTick()
{
    if (!m_project)
        return;
    COlnkLink& link = m_project->Link();
    const bool open = link.IsOpen();
    OlnkStatistics fresh{};
    fresh.size = sizeof(OlnkStatistics);
    const bool readOk = open && link.GetStatistics(&fresh);
    const mainwnd::ConnectionWatch::Result r = m_watch.Tick(open, readOk, fresh, open && link.IsEstablished());
    switch (r.icon) {
    case mainwnd::ConnectionWatch::Icon::Unchanged:
        break;
    case mainwnd::ConnectionWatch::Icon::None:
        SetLinkIcon(QIcon());
        break;
    case mainwnd::ConnectionWatch::Icon::Steady:
        SetLinkIcon(m_steadyIcon);
        break;
    case mainwnd::ConnectionWatch::Icon::Traffic:
        SetLinkIcon(m_trafficIcons[size_t(r.frame)]);
        break;
    case mainwnd::ConnectionWatch::Icon::Stall:
        SetLinkIcon(m_stallIcons[size_t(r.frame)]);
        break;
    }
    if (r.dialog == mainwnd::ConnectionWatch::Dialog::Show)
        ShowConnectionError(false);
    else if (r.dialog == mainwnd::ConnectionWatch::Dialog::Hide) {
        // Traffic flows again, or the link closed.  The dialog that requests
        // without a reply brought stays while the link is open: the
        // control system answers something, but not them.
        const ui::Dialog* w = m_connError->Window();
        const bool shown = m_connErrorPending || (w && w->isVisible());
        if (!(m_connErrorNoAnswer && shown && open))
            DropConnectionError();
    }
}

void CMainFrame::ShowConnectionError(bool noAnswer)
{
    if (!m_project || !m_connError)
        return;
    m_connErrorPending = true;
    m_connErrorToFront = m_connErrorToFront || noAnswer;
    m_connErrorNoAnswer = m_connErrorNoAnswer || noAnswer;
    ShowPendingConnectionError();
}

void CMainFrame::ShowPendingConnectionError()
{
    if (!m_connErrorPending)
        return;
    if (!m_project || !m_connError) {
        DropConnectionError();
        return;
    }
    // A waiting box (or any modal window) blocks the dialog's buttons: it
    // comes when the box has gone, never over it.
    if (QApplication::activeModalWidget()) {
        m_connErrorRetry.start();
        return;
    }
    const bool toFront = m_connErrorToFront;
    m_connErrorPending = false;
    m_connErrorToFront = false;
    ui::Dialog* before = m_connError->Window();
    const bool wasShown = before && before->isVisible();
    m_connError->Show(m_project, this);
    ui::Dialog* w = m_connError->Window();
    if (w && w->isVisible() && (!wasShown || toFront)) {
        w->raise();
        w->activateWindow();
    }
}

void CMainFrame::DropConnectionError()
{
    m_connErrorPending = false;
    m_connErrorToFront = false;
    m_connErrorNoAnswer = false;
    m_connErrorRetry.stop();
    if (m_connError)
        m_connError->Hide();
}

// --- full screen --------------------------------------------------------------------------

void CMainFrame::ToggleFullScreen()
{
    if (m_fullScreen)
        LeaveFullScreen();
    else
        EnterFullScreen();
}

void CMainFrame::EnterFullScreen()
{
    QMdiSubWindow* child = MdiArea()->activeSubWindow();
    if (!child)
        child = MdiArea()->currentSubWindow();
    if (m_fullScreen || !child)
        return;
    ui::StatusBar* status = GetStatusBar();
    m_statusBarWasVisible = status && status->isVisible();
    if (status)
        status->hide();
    // The full-screen toolbar: locked, under its own id, never docked.
    auto* bar = new CKVTToolBar(this);
    bar->setObjectName(QStringLiteral("FullScreenToolBar"));
    if (bar->CreateEx(this, 0x800, 0x50402808 | kTooltipsFlybyDynamic, QMargins(1, 1, 1, 1), ID_FULLSCREEN_TOOLBAR) &&
        bar->LoadToolBar(556, 0, 0, 0, true)) {
        bar->SetLocked(true);
        bar->EnableDocking(0);
        QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
        const QRect g = s ? s->geometry() : QRect(0, 0, 1024, 768);
        FloatControlBar(bar, QPoint(g.x() + g.width() - 100, g.y() + 5), ui::CBRS_ALIGN_TOP);
        m_fullScreenBar = bar;
    } else {
        delete bar;
    }
    m_frameWasMaximised = isMaximized();
    showFullScreen();
    m_childWasMaximised = child->isMaximized();
    child->showMaximized();
    RecalcLayout();
    m_fullScreen = true;
}

void CMainFrame::LeaveFullScreen()
{
    if (!m_fullScreen)
        return;
    if (m_fullScreenBar) {
        CKVTToolBar* bar = m_fullScreenBar;
        if (QWidget* mini = bar->parentWidget(); mini && mini != this && mini->isWindow())
            mini->hide();
        delete bar;
    }
    if (m_statusBarWasVisible)
        if (ui::StatusBar* status = GetStatusBar())
            status->show();
    if (m_frameWasMaximised)
        showMaximized();
    else
        showNormal();
    if (QMdiSubWindow* child = MdiArea()->currentSubWindow()) {
        if (m_childWasMaximised)
            child->showMaximized();
        else
            child->showNormal();
    }
    RecalcLayout();
    m_fullScreen = false;
}

// --- closing --------------------------------------------------------------------------------

void CMainFrame::WritePlacement()
{
    if (ui::Application::RunsWithoutDisplay())
        return; // no window layout of a run without a display
    const QRect r = normalGeometry().isValid() ? normalGeometry() : geometry();
    const int show = isMaximized() ? 3 : isMinimized() ? 2 : 1;
    sys::Profile::WriteInt(kAppWindow, u"ShowCmd", show);
    sys::Profile::WriteInt(kAppWindow, u"Left", r.left());
    sys::Profile::WriteInt(kAppWindow, u"Top", r.top());
    sys::Profile::WriteInt(kAppWindow, u"Right", r.left() + r.width());
    sys::Profile::WriteInt(kAppWindow, u"Bottom", r.top() + r.height());
}

void CMainFrame::SaveWindowState()
{
    LeaveFullScreen();
    WritePlacement();
    CKVTMDIFrameWnd::OnClose(); // the customisation sheet, the workspace
    for (CAppBar* bar : AppBars())
        bar->SaveState();
}

void CMainFrame::WriteStartState()
{
    // The placement is left out: the window of the instance that ends last
    // is the one the next start takes.
    const sys::RegistryStore::StartValues start;
    if (CKVTWorkspace* ws = CKVTWorkspace::Instance())
        ws->SaveState(nullptr, &Helper()); // toolbars, dock layout, menus, keys
    for (CAppBar* bar : AppBars())
        bar->SaveState();
}

void CMainFrame::closeEvent(QCloseEvent* e)
{
    // 1. The project.
    ProjectHost* host = GetProjectHost();
    if (host && !host->CloseProject(true)) {
        e->ignore();
        return;
    }
    // 2. Full screen ends, so that the normal rectangle is saved; an open
    // customisation sheet closes, so that its last changes are kept.
    LeaveFullScreen();
    if (QWidget* sheet = CKVTFrameHelper::CustomizeSheet())
        sheet->close();
    // 3. The placement.
    WritePlacement();
    // 4. The library frame: workspace and its placement; the framework
    // ends the event loop once the close is accepted.
    CKVTMDIFrameWnd::closeEvent(e);
    // 5. The docking bars' own state.
    for (CAppBar* bar : AppBars())
        bar->SaveState();
    // 6. The frame's own windows (floating bars and toolbars) go with it.
    if (e->isAccepted())
        for (QWidget* w : findChildren<QWidget*>())
            if (w->isWindow() && w->isVisible())
                w->hide();
}

bool CMainFrame::event(QEvent* e)
{
    if (e->type() == QEvent::ApplicationPaletteChange)
        RegisterFontCategories(); // only the defaults change
    return CKVTMDIFrameWnd::event(e);
}

// --- title and dropped files -------------------------------------------------------------

void CMainFrame::UpdateFrameTitle()
{
    QString title = QStringLiteral("Strandwork");
    if (ui::Document* doc = GetActiveDocument())
        title += QStringLiteral(" - ") + doc->GetTitle();
    setWindowTitle(title);
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* e)
{
    if (e->mimeData()->hasUrls())
        e->acceptProposedAction();
}

void CMainFrame::dropEvent(QDropEvent* e)
{
    QStringList paths;
    for (const QUrl& url : e->mimeData()->urls())
        if (url.isLocalFile())
            paths << ui::LocalPathOfUrl(url);
    e->acceptProposedAction();
    OpenDroppedFiles(paths);
}

void CMainFrame::OpenDroppedFiles(const QStringList& paths)
{
    ui::Application* app = ui::Application::Instance();
    if (!app)
        return;
    activateWindow();
    for (const QString& p : paths)
        app->Documents().OpenDocumentFile(p);
}
