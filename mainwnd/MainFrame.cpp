#include "mainwnd/MainFrame.h"

#include "core/project/ProjectHost.h"
#include "mainwnd/OptionsSheet.h"
#include "mainwnd/OutputCtrl.h"
#include "mainwnd/fontcolor/FontColorPage.h"
#include "platform/sys/Registry.h"
#include "platform/ui/Dialog.h"
#include "platform/ui/Menu.h"
#include "platform/ui/StatusBar.h"
#include "plcviews/HexEditView.h"
#include "plcviews/PLCDoc.h"
#include "plcviews/WatchView.h"
#include "res/StringTable.h"
#include "uilib/KVTMenuBar.h"
#include "uilib/KVTToolBar.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QDockWidget>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMimeData>
#include <QUrl>
#include <QVBoxLayout>

namespace {
const char16_t kOptions[] = u"Options";
const QString kFormats = QStringLiteral("Formats");
const QString kOutputCategory = QStringLiteral("OutputWindow");
constexpr unsigned IDS_OUTPUT_WINDOW = 4037;    // "Okno výstupu"
constexpr unsigned IDS_WATCH_WINDOW = 4038;     // "Okno sledování proměnných"
constexpr unsigned IDS_BINARY_WINDOW = 4040;    // "Binární souobry"
constexpr uint32_t ID_NEXT_ERROR = 33875;
constexpr uint32_t ID_PREV_ERROR = 33876;
constexpr uint32_t ID_OPTIONS = 33911;
constexpr uint32_t ID_CLEAR_OUTPUT = 34023;
constexpr uint32_t kOutputCtrlId = 0xE81E;

// The plain row of toolbars above the MDI area: the bars stand side by side
// at their own size and wrap to a new line when the window is too narrow.
class ToolBarRow : public QWidget
{
public:
    explicit ToolBarRow(QWidget* parent) : QWidget(parent)
    {
        setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    }
    void Add(QWidget* bar)
    {
        m_bars.push_back(bar);
        Arrange();
    }
    QSize sizeHint() const override { return QSize(Place(QWIDGETSIZE_MAX, false).width(), Place(width(), false).height()); }
    QSize minimumSizeHint() const override { return QSize(0, Place(width(), false).height()); }

protected:
    void resizeEvent(QResizeEvent*) override { Arrange(); }
    bool event(QEvent* e) override
    {
        if (e->type() == QEvent::LayoutRequest) {
            Arrange();
            updateGeometry();
        }
        return QWidget::event(e);
    }

private:
    void Arrange()
    {
        const int h = Place(width(), true).height();
        if (h != height())
            updateGeometry();
    }
    // Lays the bars out in lines of the given width; the size taken.
    QSize Place(int available, bool apply) const
    {
        int x = 0, y = 0, line = 0, widest = 0;
        for (QWidget* bar : m_bars) {
            if (bar->isHidden())
                continue;
            const QSize s = bar->sizeHint();
            if (x > 0 && x + s.width() > available) {
                x = 0;
                y += line;
                line = 0;
            }
            if (apply)
                const_cast<QWidget*>(bar)->setGeometry(x, y, s.width(), s.height());
            x += s.width();
            widest = std::max(widest, x);
            line = std::max(line, s.height());
        }
        return QSize(widest, y + line);
    }
    std::vector<QWidget*> m_bars;
};

std::u16string ProgramParent()
{
    QDir dir(QCoreApplication::applicationDirPath());
    dir.cdUp();
    QString p = dir.absolutePath();
    if (!p.endsWith(QLatin1Char('/')))
        p += QLatin1Char('/');
    return p.toStdU16String();
}
} // namespace

CMainFrame::CMainFrame() : m_fontColors(new CFontColorPage)
{
    SetFontColorPage(m_fontColors);
    RegisterFontCategories();
    m_fontColors->LoadSettings(kFormats);
    setAcceptDrops(true);
    LoadSettings();
    MapCommand(ID_NEXT_ERROR, [this] {
        if (m_output)
            ShowTagMessage(m_output->NextTag());
    });
    MapCommand(ID_PREV_ERROR, [this] {
        if (m_output)
            ShowTagMessage(m_output->PrevTag());
    });
    auto hasTags = [this](ui::CmdUI& cmd) { cmd.Enable(m_output && m_output->HasTags()); };
    MapUpdate(ID_NEXT_ERROR, hasTags);
    MapUpdate(ID_PREV_ERROR, hasTags);
    MapCommand(ID_CLEAR_OUTPUT, [this] {
        if (m_output)
            m_output->ClearAll();
    });
    MapUpdate(ID_CLEAR_OUTPUT, [this](ui::CmdUI& cmd) { cmd.Enable(m_output != nullptr); });
    MapCommand(ID_OPTIONS, [this] { OnOptions(); });
    connect(MdiArea(), &QMdiArea::subWindowActivated, this, [this] { UpdateFrameTitle(); });
    UpdateFrameTitle();
    resize(1024, 700);
}

CMainFrame::~CMainFrame()
{
    // The windows that listen to the registry go first, then the registry.
    const auto frames = MdiArea()->subWindowList();
    for (QMdiSubWindow* f : frames)
        delete f;
    delete m_output.data();
    delete m_outputBar;
    if (::GetFontColorPage() == m_fontColors)
        SetFontColorPage(nullptr);
    delete m_fontColors;
}

void CMainFrame::RegisterFontCategories()
{
    COutputCtrl::RegisterFonts(kOutputCategory, LoadResString(IDS_OUTPUT_WINDOW), m_fontColors);
    CKXPWatchView::RegisterFontItems(QStringLiteral("WatchWindow"), LoadResString(IDS_WATCH_WINDOW), m_fontColors);
    CPLCView::RegisterFontItems(CStructuredTextView::kCategory, LoadResString(IDS_SOURCE_WINDOW), m_fontColors);
    CBinView::RegisterFontItems(CBinView::kCategory, LoadResString(IDS_BINARY_WINDOW), m_fontColors);
}

void CMainFrame::FlashUntilFocus()
{
    if (!isActiveWindow())
        QApplication::alert(this);
}

bool CMainFrame::event(QEvent* e)
{
    if (e->type() == QEvent::ApplicationPaletteChange)
        RegisterFontCategories(); // only the defaults change
    return ui::MainFrameBase::event(e);
}

void CMainFrame::ShowTagMessage(const std::optional<QString>& message)
{
    if (!message)
        return;
    if (ui::StatusBar* bar = GetStatusBar())
        bar->SetPaneText(0, *message);
}

void CMainFrame::OnOptions() { RunOptionsSheet(this, m_settings, m_fontColors); }

std::u16string CMainFrame::DefaultPathTarvane() { return ProgramParent() + u"Tarvane\\"; }
std::u16string CMainFrame::DefaultPathTemplates() { return ProgramParent() + u"Templates\\"; }

void CMainFrame::LoadSettings()
{
    m_settings.SetDefaults(ProgramParent());
    m_settings.Load(kOptions);
}

bool CMainFrame::LoadFrame(uint32_t resourceId, uint32_t style)
{
    if (!ui::Menu::Load(resourceId))
        return false;
    m_style = style;
    ui::MainFrameBase::LoadFrame(resourceId);
    // The message pane and the editor's caret and line-end panes.
    if (!GetStatusBar())
        CreateStatusBar({0, 37903, 59140, 37901, 37902});
    if (!m_mainBar)
        CreateToolBars();
    if (!m_output) {
        m_outputBar = new QDockWidget(LoadResString(IDS_OUTPUT_WINDOW), this);
        m_outputBar->setObjectName(QStringLiteral("OutputBar"));
        m_outputBar->setFeatures(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
        auto* output = new COutputCtrl;
        if (output->Create(0, QRect(0, 0, 500, 200), m_outputBar, kOutputCtrlId, m_fontColors, kOutputCategory)) {
            m_output = output;
            m_outputBar->setWidget(m_output);
        } else {
            delete output;
        }
        addDockWidget(Qt::BottomDockWidgetArea, m_outputBar);
    }
    UpdateFrameTitle();
    return true;
}

void CMainFrame::CreateToolBars()
{
    // The global toolbar options are read once; nothing is saved yet.
    CKVTToolBar::LoadParameters(QString());

    // The bars stand in one plain row above the MDI area.
    QWidget* area = takeCentralWidget();
    auto* central = new QWidget(this);
    setCentralWidget(central);
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    // The menu bar above the toolbars.
    m_menuBar = new CKVTMenuBar(central);
    m_menuBar->setObjectName(QStringLiteral("MenuBar"));
    m_menuBar->Create(central, 0x50402808 | 0x34, 0xE806);
    m_menuBar->SetMenuResourceId(GetFrameResourceId());
    m_menuBar->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    column->addWidget(m_menuBar);
    m_menuBar->CreateFromMenu(GetDefaultMenu(), true);
    if (GetActiveMenu() != GetDefaultMenu())
        m_menuBar->CreateFromMenu(GetActiveMenu(), false);
    connect(MdiArea(), &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow* child) {
        if (child && !child->property("sw_state_watched").toBool()) {
            child->setProperty("sw_state_watched", true);
            connect(child, &QMdiSubWindow::windowStateChanged, this, [this] { UpdateMaximizeMode(); });
        }
        UpdateMaximizeMode();
    });
    auto* row = new ToolBarRow(central);
    row->setObjectName(QStringLiteral("ToolBarRow"));
    column->addWidget(row);
    column->addWidget(area, 1);

    m_mainBar = new CKVTToolBar(row);
    m_mainBar->setObjectName(QStringLiteral("MainToolBar"));
    m_mainBar->CreateEx(row, 0x830, 0x50402834, QMargins(1, 1, 1, 1), 0xE800);
    m_mainBar->LoadToolBar(1);
    m_mainBar->EnableCustomizeButton(true, 0, QString());
    m_debugBar = new CKVTToolBar(row);
    m_debugBar->setObjectName(QStringLiteral("DebugToolBar"));
    m_debugBar->CreateEx(row, 0x830, 0x50402834, QMargins(0, 0, 0, 0), 0xE824);
    m_debugBar->LoadToolBar(1017);
    // The images of the menu commands reach the shared strips.
    CKVTToolBar::LoadSharedImages(1019);
    row->Add(m_mainBar);
    row->Add(m_debugBar);
}

void CMainFrame::OnActiveMenuChanged(ui::Menu* menu)
{
    if (m_menuBar)
        m_menuBar->CreateFromMenu(menu, false);
}

bool CMainFrame::OnMenuAltKey()
{
    if (!m_menuBar)
        return false;
    if (m_menuBar->hasFocus()) {
        QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QCoreApplication::sendEvent(m_menuBar, &esc);
    } else {
        m_menuBar->EnterKeyboardMode();
    }
    return true;
}

bool CMainFrame::OnMenuChar(QChar c) { return m_menuBar && m_menuBar->OnMenuChar(c); }

void CMainFrame::UpdateMaximizeMode()
{
    if (m_inMaximizeUpdate || !m_menuBar)
        return;
    m_inMaximizeUpdate = true;
    QMdiSubWindow* active = MdiArea()->currentSubWindow();
    const auto children = MdiArea()->subWindowList();
    for (QMdiSubWindow* child : children)
        if (auto* frame = qobject_cast<ui::ChildFrame*>(child))
            frame->SetFrameless(child->isMaximized());
    m_menuBar->SetMaximizeMode(active && active->isMaximized(), active);
    m_inMaximizeUpdate = false;
}

bool CMainFrame::AttachProject(CStrandworkDoc* doc)
{
    m_project = doc;
    UpdateFrameTitle();
    return true;
}

bool CMainFrame::DetachProject()
{
    m_project = nullptr;
    UpdateFrameTitle();
    return true;
}

void CMainFrame::UpdateFrameTitle()
{
    QString title = QStringLiteral("Strandwork");
    if (ui::Document* doc = GetActiveDocument())
        title += QStringLiteral(" - ") + doc->GetTitle();
    setWindowTitle(title);
}

void CMainFrame::closeEvent(QCloseEvent* e)
{
    ProjectHost* host = GetProjectHost();
    if (host && !host->CloseProject(true)) {
        e->ignore();
        return;
    }
    ui::MainFrameBase::closeEvent(e);
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
            paths << url.toLocalFile();
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
