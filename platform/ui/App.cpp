#include "platform/ui/App.h"

#include "platform/ui/Accel.h"
#include "platform/ui/Menu.h"
#include "platform/ui/Modal.h"
#include "platform/ui/StatusBar.h"
#include "platform/ui/Document.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QThread>
#include <QFileInfo>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMdiArea>
#include <QMdiSubWindow>

namespace ui {

namespace {
Application* g_app = nullptr;

// Whether a label or a button of the view that holds the focus (a form in a
// docking bar, say) has the mnemonic c: Alt+c is then the form's.
bool FocusedFormHasMnemonic(QChar c)
{
    QWidget* form = QApplication::focusWidget();
    while (form && !qobject_cast<View*>(form))
        form = form->parentWidget();
    if (!form)
        return false;
    auto has = [c](const QString& text) {
        for (qsizetype i = text.indexOf(QLatin1Char('&')); i >= 0 && i + 1 < text.size();
             i = text.indexOf(QLatin1Char('&'), i + 2)) {
            if (text[i + 1] != QLatin1Char('&'))
                return text[i + 1].toUpper() == c.toUpper();
        }
        return false;
    };
    for (const QLabel* l : form->findChildren<QLabel*>())
        if (l->isVisible() && l->buddy() && has(l->text()))
            return true;
    for (const QAbstractButton* b : form->findChildren<QAbstractButton*>())
        if (b->isVisible() && has(b->text()))
            return true;
    return false;
}
} // namespace

Application::Application()
{
    g_app = this;
    SetRouteProvider([] { return g_app ? g_app->CommandRoute() : std::vector<CommandTarget*>{}; });
}

Application::~Application()
{
    if (g_app == this) {
        g_app = nullptr;
        SetRouteProvider({});
    }
}

Application* Application::Instance() { return g_app; }

bool Application::RunsWithoutDisplay()
{
    const Application* app = Instance();
    return app && app->NoDisplay();
}

bool Application::OnIdle(long count)
{
    if (count == 0)
        IdleUpdater::Instance().RunPass();
    return false;
}

bool Application::PumpMessages()
{
    return ui::PumpMessages([this](long count) { return OnIdle(count); });
}

int Application::Run()
{
    if (!InitInstance()) {
        ExitInstance();
        return 1;
    }
    if (!m_mainWindowClosed)
        QApplication::exec();
    return ExitInstance();
}

void Application::OnMainWindowClosed()
{
    m_mainWindowClosed = true;
    EndEventLoop(0);
}

void Application::EndEventLoop(int code)
{
    // exit(), not quit(): a quit request is refused while a window stays
    // shown, exit() is not.  Without a running loop exit() would make every
    // later nested loop return at once.
    if (QThread::currentThread()->loopLevel() > 0)
        QCoreApplication::exit(code);
}

void Application::AddDocTemplate(std::unique_ptr<DocTemplate> tmpl)
{
    if (m_mainWnd)
        tmpl->SetMdiArea(m_mainWnd->MdiArea());
    m_docs.AddDocTemplate(std::move(tmpl));
}

View* FocusedView()
{
    for (QWidget* w = QApplication::focusWidget(); w; w = w->parentWidget())
        if (auto* v = qobject_cast<View*>(w))
            return v;
    if (Application* app = Application::Instance())
        if (MainFrameBase* frame = app->GetMainWnd())
            return frame->GetActiveView();
    return nullptr;
}

Document* Application::OpenDocumentFile(const QString& path) { return m_docs.OpenDocumentFile(path); }

CommandTarget* FocusedNonViewTarget()
{
    for (QWidget* w = QApplication::focusWidget(); w; w = w->parentWidget()) {
        auto* target = dynamic_cast<CommandTarget*>(w);
        if (!target)
            continue;
        if (qobject_cast<View*>(w) || qobject_cast<ChildFrame*>(w) || qobject_cast<MainFrameBase*>(w))
            return nullptr;
        return target;
    }
    return nullptr;
}

std::vector<CommandTarget*> Application::CommandRoute() const
{
    std::vector<CommandTarget*> route;
    if (CommandTarget* first = FocusedNonViewTarget())
        route.push_back(first);
    if (View* v = FocusedView()) {
        route.push_back(v);
        if (Document* d = v->GetDocument())
            route.push_back(d);
        if (ChildFrame* f = v->GetParentFrame())
            route.push_back(f);
    } else if (m_mainWnd) {
        if (ChildFrame* f = m_mainWnd->MDIGetActive())
            route.push_back(f);
    }
    if (m_mainWnd)
        route.push_back(m_mainWnd);
    route.push_back(const_cast<Application*>(this));
    return route;
}

// ----------------------------------------------------------- MainFrameBase

MainFrameBase::MainFrameBase(QWidget* parent) : QMainWindow(parent), m_area(new QMdiArea(this))
{
    setCentralWidget(m_area);
    if (Application* app = Application::Instance()) {
        if (!app->GetMainWnd())
            app->SetMainWnd(this);
        for (int i = 0; i < app->Documents().TemplateCount(); ++i)
            app->Documents().Template(i)->SetMdiArea(m_area);
    }
    QApplication::instance()->installEventFilter(this);
    connect(m_area, &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow*) { UpdateActiveMenu(); });
}

MainFrameBase::~MainFrameBase()
{
    // The MDI area activates other windows while it is taken down.
    if (m_area)
        disconnect(m_area, nullptr, this, nullptr);
}

QString Application::HelpFilePath()
{
    const QFileInfo exe(QCoreApplication::applicationFilePath());
    return QCoreApplication::applicationDirPath() + u'/' + exe.completeBaseName() + QStringLiteral(".chm");
}

bool MainFrameBase::LoadFrame(uint32_t resourceId)
{
    m_resourceId = resourceId;
    if (auto menu = Menu::Load(resourceId)) {
        m_defaultMenu = std::move(menu);
        m_activeMenu = nullptr;
        UpdateActiveMenu();
    }
    if (auto accel = AccelTable::Load(resourceId))
        m_accel = std::move(accel);
    return true;
}

// The area is gone when a derived frame replaced the central widget.
ChildFrame* MainFrameBase::MDIGetActive() const
{
    return m_area ? qobject_cast<ChildFrame*>(m_area->activeSubWindow()) : nullptr;
}

View* MainFrameBase::GetActiveView() const
{
    ChildFrame* f = MDIGetActive();
    return f ? f->GetActiveView() : nullptr;
}

Document* MainFrameBase::GetActiveDocument() const
{
    View* v = GetActiveView();
    return v ? v->GetDocument() : nullptr;
}

void MainFrameBase::SetAccelerators(std::shared_ptr<const AccelTable> table) { m_accel = std::move(table); }

StatusBar* MainFrameBase::CreateStatusBar(const std::vector<uint32_t>& paneIds)
{
    if (!m_status) {
        m_status = new StatusBar(this);
        setStatusBar(m_status);
        m_status->show();
    }
    m_status->SetIndicators(paneIds);
    return m_status;
}

Menu* MainFrameBase::GetActiveMenu() const
{
    if (ChildFrame* f = MDIGetActive())
        if (Document* d = f->GetActiveDocument())
            if (DocTemplate* t = d->GetDocTemplate())
                if (Menu* m = t->GetSharedMenu())
                    return m;
    return m_defaultMenu.get();
}

void MainFrameBase::UpdateActiveMenu(bool force)
{
    Menu* menu = GetActiveMenu();
    if (menu == m_activeMenu && !force)
        return;
    m_activeMenu = menu;
    OnActiveMenuChanged(menu);
}

uint32_t MainFrameBase::FindAccelerator(const QKeyEvent& e) const
{
    std::vector<const AccelTable*> tables;
    // A view's own keys (the editor's caret keys) belong to it only while
    // the focus is in it or its document window: with the focus in a bar
    // (the output window) the active document window's table still applies.
    QWidget* focus = QApplication::focusWidget();
    ChildFrame* active = MDIGetActive();
    auto holdsFocus = [focus](const QWidget* w) {
        return !focus || (w && (w == focus || w->isAncestorOf(focus)));
    };
    if (View* v = FocusedView(); v && (holdsFocus(v) || holdsFocus(active))) {
        tables.push_back(v->Accelerators());
        if (ChildFrame* f = v->GetParentFrame())
            tables.push_back(f->Accelerators());
    } else if (active) {
        tables.push_back(active->Accelerators());
    }
    tables.push_back(m_accel.get());
    return ui::TranslateAccelerator(e, tables);
}

bool MainFrameBase::TranslateAccelerator(QKeyEvent* e)
{
    const uint32_t cmd = FindAccelerator(*e);
    if (!cmd)
        return false;
    // A disabled command is not run.
    CmdUI probe(cmd);
    UpdateCommandUI(probe);
    if (probe.Enabled())
        SendCommand(cmd);
    return true;
}

bool MainFrameBase::eventFilter(QObject* watched, QEvent* e)
{
    // A widget that captures keys (the shortcut edit) gets them untranslated.
    if ((e->type() == QEvent::KeyPress || e->type() == QEvent::KeyRelease) && CapturesKeys(watched)) {
        m_altAlone = false;
        return false;
    }
    if (e->type() == QEvent::MouseButtonPress)
        m_altAlone = false;
    if (e->type() == QEvent::KeyRelease && watched->isWidgetType()) {
        auto* ke = static_cast<QKeyEvent*>(e);
        auto* w = static_cast<QWidget*>(watched);
        if (ke->key() == Qt::Key_Alt && !ke->isAutoRepeat() && m_altAlone && w->window() == this) {
            m_altAlone = false;
            if (OnMenuAltKey())
                return true;
        }
    }
    // Alt+letter belongs to the menu bar before the mnemonics of labels and
    // buttons in the frame's bars, unless the focus is in that form.
    if (e->type() == QEvent::ShortcutOverride && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->window() == this && !QApplication::activeModalWidget()) {
        auto* ke = static_cast<QKeyEvent*>(e);
        const int key = ke->key();
        // A key that a shortcut takes is pressed with Alt all the same.
        if (key != Qt::Key_Alt && !ke->isAutoRepeat())
            m_altAlone = false;
        if ((ke->modifiers() & ~Qt::KeypadModifier) == Qt::AltModifier &&
            ((key >= Qt::Key_A && key <= Qt::Key_Z) || (key >= Qt::Key_0 && key <= Qt::Key_9)) &&
            HasMenuMnemonic(QChar(key)) && !FocusedFormHasMnemonic(QChar(key))) {
            e->accept();
            return true;
        }
    }
    if (e->type() == QEvent::KeyPress && watched->isWidgetType()) {
        auto* w = static_cast<QWidget*>(watched);
        // Keys of this frame's windows only, and not while a modal dialog runs.
        if (w->window() == this && !QApplication::activeModalWidget()) {
            auto* ke = static_cast<QKeyEvent*>(e);
            if (!ke->isAutoRepeat())
                m_altAlone = ke->key() == Qt::Key_Alt;
            if (TranslateAccelerator(ke))
                return true;
            // Alt+letter opens the menu bar's item of that mnemonic.
            const int key = ke->key();
            if ((ke->modifiers() & ~Qt::KeypadModifier) == Qt::AltModifier &&
                ((key >= Qt::Key_A && key <= Qt::Key_Z) || (key >= Qt::Key_0 && key <= Qt::Key_9)))
                if (OnMenuChar(QChar(key)))
                    return true;
            // The system keys of document windows.
            const bool ctrlOnly = (ke->modifiers() & ~Qt::KeypadModifier) == Qt::ControlModifier;
            if (ctrlOnly && (ke->key() == Qt::Key_F4 || ke->key() == Qt::Key_F6))
                if (ChildFrame* child = MDIGetActive()) {
                    child->SysCommand(ke->key() == Qt::Key_F4 ? SC_CLOSE : SC_NEXTWINDOW);
                    return true;
                }
        }
    }
    return QMainWindow::eventFilter(watched, e);
}

void MainFrameBase::closeEvent(QCloseEvent* e)
{
    Application* app = Application::Instance();
    if (app && !app->Documents().CloseAllDocuments()) {
        e->ignore();
        return;
    }
    QMainWindow::closeEvent(e);
    if (app && e->isAccepted() && app->GetMainWnd() == this)
        app->OnMainWindowClosed();
}

void MainFrameBase::SetMessageText(uint32_t id)
{
    if (!m_status)
        return;
    if (id == 0xE001)
        m_status->showMessage(m_status->IdleText());
    else
        m_status->showMessage(CommandPrompt(id));
}

} // namespace ui

bool ui::MainFrameBase::IsInMenuLoop() const { return QApplication::activePopupWidget() != nullptr; }
