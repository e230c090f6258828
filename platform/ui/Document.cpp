#include "platform/ui/Document.h"
#include "platform/ui/Accel.h"
#include "platform/ui/App.h"
#include "platform/ui/FileDialogs.h"
#include "platform/ui/LocalPath.h"
#include "platform/ui/Menu.h"

#include "platform/ui/Menu.h"

#include "platform/ui/Prompt.h"
#include "platform/ui/Splitter.h"

#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMdiArea>
#include <QBuffer>

#include "res/Resources.h"
#include "res/StringTable.h"

#include "platform/sys/AtomicFile.h"
#include "platform/sys/FileIO.h"
#include "platform/sys/LastError.h"
#include "platform/sys/NativeText.h"
#include <QVBoxLayout>

#include <algorithm>
#include <cerrno>
#include <unistd.h>

#include <sys/stat.h>

namespace ui {

namespace {
DocManager* g_current = nullptr;

// A name the user gave, made full: nothing is cut from it (blanks and
// dots at its ends belong to the name).
QString CleanPath(const QString& path)
{
    QString p = path;
    if (p.size() >= 2 && p.startsWith(QLatin1Char('"')) && p.endsWith(QLatin1Char('"')))
        p = p.mid(1, p.size() - 2);
    return AbsoluteLocalPath(p);
}

// Two full paths name the same file when they are equal, or when both exist
// and are one file (a link or another spelling of it).
bool SameFile(const QString& a, const QString& b)
{
    if (a == b)
        return true;
    struct stat sa{}, sb{};
    const std::optional<std::string> na = NativeOfLocalPath(a), nb = NativeOfLocalPath(b);
    return na && nb && ::stat(na->c_str(), &sa) == 0 && ::stat(nb->c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}
} // namespace

QString FrameworkText(uint32_t id) { return LoadResString(id); }

QString FileCauseLine(const QString& path, uint32_t cause)
{
    if (cause == 0)
        return {};
    return FrameworkText(IDS_FILE_CAUSE)
        .arg(ShownLocalPath(path), QString::fromLocal8Bit(sys::ErrorText(cause)));
}

QString WithFileCause(const QString& text, const QString& path, uint32_t cause)
{
    const QString line = FileCauseLine(path, cause);
    return line.isEmpty() ? text : text + QLatin1Char('\n') + line;
}

// ---------------------------------------------------------------- Archive

bool Archive::ReadString(QByteArray& line)
{
    if (m_device.atEnd())
        return false;
    line = m_device.readLine();
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    return true;
}

void Archive::WriteString(const QByteArray& text)
{
    Write(text.constData(), text.size());
    Write("\r\n", 2);
}

void Archive::Write(const void* data, qint64 size)
{
    if (m_device.write(static_cast<const char*>(data), size) != size)
        throw ArchiveException(ArchiveException::generic, "write failed");
}

void Archive::Read(void* data, qint64 size)
{
    if (m_device.read(static_cast<char*>(data), size) != size)
        throw ArchiveException(ArchiveException::endOfFile, "end of file");
}

// --------------------------------------------------------------- Document

Document::Document() = default;

Document::~Document()
{
    for (View* v : m_views)
        v->m_document = nullptr;
    if (m_template)
        m_template->RemoveDocument(this);
}

void Document::SetPathName(const QString& path, bool addToRecent)
{
    m_path = CleanPath(path);
    // A byte that is no UTF-8 shows as "\xE9", as in the file manager.
    SetTitle(ShownLocalPath(LocalFileName(m_path)));
    if (addToRecent && DocManager::Current())
        DocManager::Current()->AddToRecentFileList(m_path);
}

void Document::SetTitle(const QString& title)
{
    m_title = title;
    for (ChildFrame* f : Frames())
        f->OnUpdateFrameTitle();
}

void Document::SetModifiedFlag(bool modified) { m_modified = modified; }

void Document::AddView(View* view)
{
    if (!view || std::find(m_views.begin(), m_views.end(), view) != m_views.end())
        return;
    if (view->m_document)
        view->m_document->RemoveView(view);
    m_views.push_back(view);
    view->m_document = this;
    OnChangedViewList();
}

void Document::RemoveView(View* view)
{
    auto it = std::find(m_views.begin(), m_views.end(), view);
    if (it == m_views.end())
        return;
    m_views.erase(it);
    view->m_document = nullptr;
    OnChangedViewList();
}

void Document::OnChangedViewList()
{
    // The last view has gone (its frame was destroyed): the document goes too.
    if (m_views.empty() && m_autoDelete && !m_closing)
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (m_views.empty() && !m_closing)
                    OnCloseDocument();
            },
            Qt::QueuedConnection);
    // A window joined or left: the windows' titles tell them apart (":1",
    // ":2") while there are several.  Queued, since a view leaves while
    // its frame is being destroyed.
    if (!m_views.empty() && !m_titlesPending) {
        m_titlesPending = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_titlesPending = false;
                for (ChildFrame* f : Frames())
                    f->OnUpdateFrameTitle();
            },
            Qt::QueuedConnection);
    }
}

void Document::UpdateAllViews(View* sender, long hint, QObject* object)
{
    const std::vector<View*> views = m_views; // a view may close while it updates
    for (View* v : views)
        if (v != sender && std::find(m_views.begin(), m_views.end(), v) != m_views.end())
            v->OnUpdate(sender, hint, object);
}

std::vector<ChildFrame*> Document::Frames() const
{
    std::vector<ChildFrame*> frames;
    for (View* v : m_views)
        if (ChildFrame* f = v->GetParentFrame())
            if (std::find(frames.begin(), frames.end(), f) == frames.end())
                frames.push_back(f);
    return frames;
}

bool Document::OnNewDocument()
{
    DeleteContents();
    m_path.clear();
    SetModifiedFlag(false);
    return true;
}

bool Document::OnOpenDocument(const QString& path)
{
    QFile file;
    if (!LocalPathExists(path)) {
        ReportSaveLoadException(path, FileError::notFound, false, IDS_FAILED_TO_OPEN);
        return false;
    }
    // Only a regular file is read, and the open never waits (a FIFO).
    std::optional<std::string> native = sys::LocalNativePath(path.toStdU16String());
    uint64_t size = 0;
    const int fd = native ? sys::OpenForReading(*native, size) : -1;
    const uint32_t cause = !native ? EILSEQ : fd < 0 ? sys::GetLastError() : 0;
    if (fd < 0 || !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        if (fd >= 0)
            ::close(fd);
        ReportSaveLoadException(path, FileError::generic, false, IDS_FAILED_TO_OPEN, cause);
        return false;
    }
    DeleteContents();
    SetModifiedFlag(true); // dirty while it loads
    try {
        Archive ar(file, false, this);
        Serialize(ar);
    } catch (const ArchiveException& e) {
        DeleteContents();
        ReportSaveLoadException(path, e.CauseCode() == ArchiveException::generic ? FileError::generic
                                                                                 : FileError::badFormat,
                                false, IDS_FAILED_TO_OPEN);
        return false;
    }
    SetModifiedFlag(false);
    return true;
}

bool Document::OnSaveDocument(const QString& path)
{
    // Serialised into memory first and written with the atomic file write:
    // a failure keeps the old file.
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    try {
        Archive ar(buffer, true, this);
        Serialize(ar);
    } catch (const ArchiveException& e) {
        ReportSaveLoadException(path, e.CauseCode() == ArchiveException::generic ? FileError::generic
                                                                                 : FileError::badFormat,
                                true, IDS_FAILED_TO_SAVE);
        return false;
    }
    std::optional<std::string> native = sys::LocalNativePath(path.toStdU16String());
    const QByteArray& bytes = buffer.data();
    if (!native || !sys::AtomicWriteFile(*native, std::string_view(bytes.constData(), size_t(bytes.size())))) {
        ReportSaveLoadException(path, FileError::generic, true, IDS_FAILED_TO_SAVE,
                                native ? sys::GetLastError() : EILSEQ);
        return false;
    }
    SetModifiedFlag(false);
    return true;
}

bool Document::WriteCopy(const QString& path, uint32_t& cause)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    try {
        Archive ar(buffer, true, this);
        Serialize(ar);
    } catch (const ArchiveException&) {
        cause = EIO;
        return false;
    }
    return WriteNewFile(path, std::string_view(buffer.data().constData(), size_t(buffer.data().size())), cause);
}

bool WriteNewFile(const QString& path, std::string_view bytes, uint32_t& cause)
{
    const std::optional<std::string> native = sys::LocalNativePath(path.toStdU16String());
    if (!native) {
        cause = EILSEQ;
        return false;
    }
    sys::AtomicFile file;
    if (!file.Open(*native, sys::AtomicFile::kNoReplace) || !file.Write(bytes) || !file.Commit()) {
        cause = sys::GetLastError();
        return false;
    }
    return true;
}

void Document::Serialize(Archive&) {}

void Document::OnCloseDocument()
{
    if (m_closing)
        return;
    m_closing = true;
    for (ChildFrame* f : Frames()) {
        f->hide();
        f->deleteLater();
    }
    DeleteContents();
    if (m_template)
        m_template->RemoveDocument(this);
    if (m_autoDelete)
        deleteLater();
    else
        m_closing = false;
}

bool Document::SaveModified()
{
    if (!IsModified())
        return true;
    QString name = m_title.isEmpty() ? FrameworkText(IDS_UNTITLED) : m_title;
    switch (Prompt(FrameworkText(IDS_ASK_TO_SAVE).arg(name), {}, MB_YESNOCANCEL | MB_ICONEXCLAMATION)) {
    case IDYES: return DoFileSave();
    case IDNO: return true;
    default: return false;
    }
}

bool Document::CanCloseFrame(ChildFrame* frame)
{
    for (ChildFrame* f : Frames())
        if (f != frame && f->isVisible())
            return true; // another frame stays
    for (View* v : m_views)
        if (!v->GetParentFrame())
            return true; // a view outside the frames keeps the document open
    return SaveModified();
}

bool Document::DoFileSave()
{
    m_saveCannotGoElsewhere = false;
    if (m_path.isEmpty())
        return SaveElsewhere();
    if (const std::optional<std::string> native = sys::LocalNativePath(m_path.toStdU16String());
        native && sys::FileExists(*native) && ::access(native->c_str(), W_OK) != 0) {
        // Why the save cannot go where the file is (a read-only file or
        // file system), before the question for another name.
        const int cause = errno;
        ReportSaveLoadException(m_path, FileError::generic, true, IDS_FAILED_TO_SAVE, uint32_t(cause));
        return SaveElsewhere();
    }
    if (DoSave(m_path))
        return true;
    // The failed save said why (a folder that vanished, a full disk, no
    // permission, a name too long): the edits can still go to another place.
    return !m_saveCannotGoElsewhere && SaveElsewhere();
}

bool Document::SaveElsewhere()
{
    // Asked again after each failed save (which says why); cancelling keeps
    // the document open and modified.
    for (;;) {
        const QString target = DoPromptFileName(m_path.isEmpty() ? m_title : m_path);
        if (target.isEmpty())
            return false;
        m_saveCannotGoElsewhere = false;
        if (DoSave(target))
            return true;
        if (m_saveCannotGoElsewhere)
            return false;
    }
}

bool Document::DoSave(const QString& path, bool replace)
{
    QString target = path;
    if (target.isEmpty()) {
        target = DoPromptFileName(m_path.isEmpty() ? m_title : m_path);
        if (target.isEmpty())
            return false;
    }
    target = CleanPath(target);
    if (!OnSaveDocument(target))
        return false;
    if (replace && target != m_path)
        SetPathName(target, true); // the recent list learns the new name
    return true;
}

QString Document::DoPromptFileName(const QString& suggested)
{
    if (Unattended())
        return {};
    QString filter = m_template ? m_template->FileFilter() : QString();
    ExactFileDialog dialog(nullptr, {}, suggested, filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    ShowInInterfaceLocale(dialog);
    // The entry the chosen name stands for (the list shows names as Qt
    // decodes them).
    if (dialog.exec() != QDialog::Accepted || dialog.ExactFiles().isEmpty())
        return {};
    return dialog.ExactFiles().first();
}

void Document::ReportSaveLoadException(const QString& path, FileError error, bool saving, uint32_t defaultId,
                                       uint32_t cause)
{
    Prompt(SaveLoadExceptionText(path, error, saving, defaultId, cause), {}, MB_ICONEXCLAMATION);
}

QString Document::SaveLoadExceptionText(const QString& path, FileError error, bool saving, uint32_t defaultId,
                                        uint32_t cause)
{
    QString text;
    switch (error) {
    case FileError::notFound: text = FrameworkText(IDS_FILE_NOT_FOUND).arg(ShownLocalPath(path)); break;
    case FileError::badFormat: text = FrameworkText(IDS_UNEXPECTED_FORMAT); break;
    default:
        text = FrameworkText(defaultId ? defaultId : (saving ? IDS_FAILED_TO_SAVE : IDS_FAILED_TO_OPEN));
        break;
    }
    return WithFileCause(text, path, cause);
}

// ------------------------------------------------------------------- View

View::View(QWidget* parent) : QWidget(parent) { setFocusPolicy(Qt::StrongFocus); }

View::~View()
{
    if (m_document)
        m_document->RemoveView(this);
}

ChildFrame* View::GetParentFrame() const
{
    for (QWidget* w = parentWidget(); w; w = w->parentWidget())
        if (auto* f = qobject_cast<ChildFrame*>(w))
            return f;
    return nullptr;
}

void View::OnUpdate(View*, long, QObject*) { update(); }

// ------------------------------------------------------------- ChildFrame

ChildFrame::ChildFrame(QWidget* parent) : QMdiSubWindow(parent)
{
    setAttribute(Qt::WA_DeleteOnClose, false);
    // The system menu and its keys are the frame's (GetSystemMenu, SysCommand).
    setSystemMenu(nullptr);
}

std::unique_ptr<Menu> ChildFrame::GetSystemMenu() const
{
    auto m = std::make_unique<Menu>();
    const Qt::WindowFlags f = CaptionHints();
    const bool minimised = isMinimized(), maximised = isMaximized();
    auto grayed = [](bool g) { return g ? uint32_t(MF_GRAYED) : 0u; };
    m->AppendItem(SC_RESTORE, LoadResString(4580), grayed(!minimised && !maximised));
    m->AppendItem(SC_MOVE, LoadResString(4581), MF_GRAYED);
    m->AppendItem(SC_SIZE, LoadResString(4582), MF_GRAYED);
    m->AppendItem(SC_MINIMIZE, LoadResString(4583), grayed(!(f & Qt::WindowMinimizeButtonHint) || minimised));
    m->AppendItem(SC_MAXIMIZE, LoadResString(4584), grayed(!(f & Qt::WindowMaximizeButtonHint) || maximised));
    m->AppendSeparator();
    m->AppendItem(SC_CLOSE, LoadResString(4585), MF_DEFAULT | grayed(!(f & Qt::WindowCloseButtonHint)));
    m->AppendSeparator();
    m->AppendItem(SC_NEXTWINDOW, LoadResString(4586));
    return m;
}

void ChildFrame::SetFrameless(bool on)
{
    if (on == m_frameless)
        return;
    const bool maximised = isMaximized();
    if (on) {
        m_flagsBefore = windowFlags();
        m_frameless = true;
        setWindowFlags(m_flagsBefore | Qt::FramelessWindowHint);
    } else {
        m_frameless = false;
        setWindowFlags(m_flagsBefore);
    }
    // Changing the flags hides the window and can lose its state.
    if (maximised)
        showMaximized();
    else
        show();
}

void ChildFrame::SysCommand(uint32_t id)
{
    switch (id) {
    case SC_RESTORE:
        showNormal();
        break;
    case SC_MINIMIZE:
        showMinimized();
        break;
    case SC_MAXIMIZE:
        showMaximized();
        break;
    case SC_CLOSE:
        close();
        break;
    case SC_NEXTWINDOW:
        if (QMdiArea* area = mdiArea())
            area->activateNextSubWindow();
        break;
    default:
        break;
    }
}

ChildFrame::~ChildFrame() = default;

View* ChildFrame::GetActiveView() const
{
    if (m_activeView)
        return m_activeView;
    return findChild<View*>();
}

void ChildFrame::SetActiveView(View* view)
{
    if (view == m_activeView)
        return;
    if (m_activeView)
        m_activeView->OnActivateView(false);
    m_activeView = view;
    if (view) {
        view->OnActivateView(true);
        if (!view->hasFocus() && isVisible())
            view->setFocus();
    }
}

Document* ChildFrame::GetActiveDocument() const
{
    View* v = GetActiveView();
    return v ? v->GetDocument() : nullptr;
}

bool ChildFrame::OnCreateClient(Document* doc, DocTemplate* tmpl)
{
    View* view = tmpl->CreateView();
    if (!view)
        return false;
    doc->AddView(view);
    setWidget(view);
    view->installEventFilter(this);
    m_activeView = view;
    return true;
}

SplitterWnd* ChildFrame::Splitter() const { return qobject_cast<SplitterWnd*>(widget()); }

bool ChildFrame::eventFilter(QObject* watched, QEvent* e)
{
    if (e->type() == QEvent::FocusIn)
        if (auto* v = qobject_cast<View*>(watched))
            SetActiveView(v);
    return QMdiSubWindow::eventFilter(watched, e);
}

void ChildFrame::OnUpdateFrameTitle()
{
    Document* doc = GetActiveDocument();
    if (doc)
        setWindowTitle(doc->GetTitle());
}

void ChildFrame::RememberNormal()
{
    if (!isMinimized() && !isMaximized())
        m_normal = geometry();
}

void ChildFrame::moveEvent(QMoveEvent* e)
{
    QMdiSubWindow::moveEvent(e);
    RememberNormal();
    if (isMinimized())
        m_minPos = pos();
}

void ChildFrame::resizeEvent(QResizeEvent* e)
{
    QMdiSubWindow::resizeEvent(e);
    RememberNormal();
}

WindowPlacement ChildFrame::GetWindowPlacement() const
{
    WindowPlacement wp;
    wp.showCmd = isMaximized() ? SW_SHOWMAXIMIZED : isMinimized() ? SW_SHOWMINIMIZED : SW_SHOWNORMAL;
    wp.minX = m_minPos.x();
    wp.minY = m_minPos.y();
    wp.maxX = m_maxPos.x();
    wp.maxY = m_maxPos.y();
    QRect r = m_normal.isValid() ? m_normal : geometry();
    wp.left = r.left();
    wp.top = r.top();
    wp.right = r.left() + r.width();
    wp.bottom = r.top() + r.height();
    return wp;
}

void ChildFrame::SetWindowPlacement(const WindowPlacement& wp)
{
    m_minPos = QPoint(wp.minX, wp.minY);
    m_maxPos = QPoint(wp.maxX, wp.maxY);
    QRect r(wp.left, wp.top, std::max(0, wp.right - wp.left), std::max(0, wp.bottom - wp.top));
    if (isMaximized() || isMinimized())
        showNormal();
    setGeometry(r);
    m_normal = r;
    if (wp.showCmd == SW_SHOWMAXIMIZED)
        showMaximized();
    else if (wp.showCmd == SW_SHOWMINIMIZED)
        showMinimized();
}

void ChildFrame::closeEvent(QCloseEvent* e)
{
    Document* doc = GetActiveDocument();
    if (doc) {
        if (!doc->CanCloseFrame(this)) {
            e->ignore();
            return;
        }
        // The document closes with its last frame, and only when no view of
        // it lies outside this frame (a view in a docking bar keeps it open).
        bool last = doc->Frames().size() <= 1;
        for (View* v : doc->Views())
            if (v->GetParentFrame() != this)
                last = false;
        e->accept();
        QMdiSubWindow::closeEvent(e);
        if (last) {
            doc->OnCloseDocument(); // deletes the frames later
            return;
        }
    } else {
        QMdiSubWindow::closeEvent(e);
    }
    deleteLater();
}

// ------------------------------------------------------------ DocTemplate

DocTemplate::DocTemplate(uint32_t resourceId, const QString& docString, DocFactory doc, FrameFactory frame,
                         ViewFactory view)
    : m_resourceId(resourceId), m_accelResourceId(resourceId), m_strings(docString.split(QLatin1Char('\n'))),
      m_docFactory(std::move(doc)), m_frameFactory(std::move(frame)), m_viewFactory(std::move(view))
{
    m_menu = Menu::Load(resourceId);
    m_accel = AccelTable::Load(resourceId);
}

void DocTemplate::SetSharedMenu(std::unique_ptr<Menu> menu)
{
    m_menu = std::move(menu);
    if (Application* app = Application::Instance())
        if (MainFrameBase* frame = app->GetMainWnd())
            frame->UpdateActiveMenu(true);
}

std::unique_ptr<Menu> DocTemplate::ReplaceSharedMenu(std::unique_ptr<Menu> menu)
{
    std::unique_ptr<Menu> old = std::move(m_menu);
    SetSharedMenu(std::move(menu));
    return old;
}

DocTemplate::~DocTemplate()
{
    const std::vector<Document*> docs = m_docs;
    for (Document* d : docs) {
        d->m_template = nullptr;
        delete d;
    }
}

bool DocTemplate::GetDocString(QString& out, DocStringIndex index) const
{
    out.clear();
    if (int(index) >= m_strings.size())
        return false;
    out = m_strings[int(index)];
    return !out.isEmpty();
}

QString DocTemplate::FileFilter() const
{
    QString name, ext;
    GetDocString(name, filterName);
    if (!GetDocString(ext, filterExt))
        return {};
    if (name.isEmpty())
        name = ext;
    // The pattern goes in the brackets Qt reads, whatever the text says.
    QString shown = name.section(QLatin1Char('('), 0, 0).trimmed();
    return QStringLiteral("%1 (*%2)").arg(shown, ext);
}

DocTemplate::Confidence DocTemplate::MatchDocType(const QString& path, Document*& match) const
{
    match = nullptr;
    QString clean = CleanPath(path);
    for (Document* d : m_docs) {
        if (!d->GetPathName().isEmpty() && SameFile(d->GetPathName(), clean)) {
            match = d;
            return yesAlreadyOpen;
        }
    }
    QString ext;
    if (GetDocString(ext, filterExt) && clean.endsWith(ext, Qt::CaseInsensitive))
        return yesAttemptNative;
    return yesAttemptForeign;
}

Document* DocTemplate::CreateNewDocument()
{
    Document* doc = m_docFactory ? m_docFactory() : nullptr;
    if (doc)
        AddDocument(doc);
    return doc;
}

ChildFrame* DocTemplate::CreateNewFrame(Document* doc, ChildFrame* other)
{
    if (!m_frameFactory || !doc)
        return nullptr;
    ChildFrame* frame = m_frameFactory();
    if (!frame)
        return nullptr;
    frame->SetAccelTable(m_accel);
    if (!frame->OnCreateClient(doc, this)) {
        delete frame;
        return nullptr;
    }
    // The frame shows its document type's icon, else the main window's.
    const QString icon = res::Path(QStringLiteral("icons/%1.svg").arg(m_resourceId));
    if (!icon.isEmpty())
        frame->setWindowIcon(QIcon(icon));
    else if (m_area)
        frame->setWindowIcon(m_area->window()->windowIcon());
    if (m_area)
        m_area->addSubWindow(frame);
    if (other)
        frame->resize(other->size());
    return frame;
}

void DocTemplate::InitialUpdateFrame(ChildFrame* frame, Document* doc, bool makeVisible)
{
    if (!frame)
        return;
    const auto views = frame->findChildren<View*>();
    for (View* v : views)
        if (v->GetDocument() == doc)
            v->OnInitialUpdate();
    // Every window of the document: the others learn of the new one.
    if (doc)
        for (ChildFrame* f : doc->Frames())
            if (f != frame)
                f->OnUpdateFrameTitle();
    frame->OnUpdateFrameTitle();
    if (makeVisible) {
        frame->show();
        if (m_area)
            m_area->setActiveSubWindow(frame);
        if (View* v = frame->GetActiveView())
            v->setFocus();
    }
}

Document* DocTemplate::OpenDocumentFile(const QString& path, bool makeVisible, bool addToRecent)
{
    Document* doc = CreateNewDocument();
    if (!doc)
        return nullptr;
    ChildFrame* frame = CreateNewFrame(doc);
    if (m_frameFactory && !frame) {
        RemoveDocument(doc);
        delete doc;
        return nullptr;
    }
    bool ok;
    doc->m_opening = true;
    if (path.isEmpty()) {
        // The default title first, so that a title that OnNewDocument sets
        // (through a path) stays.
        QString name;
        GetDocString(name, docName);
        doc->SetTitle(name.isEmpty() ? FrameworkText(IDS_UNTITLED) : name);
        ok = doc->OnNewDocument();
    } else {
        ok = doc->OnOpenDocument(CleanPath(path));
        if (ok)
            doc->SetPathName(path, addToRecent); // only after a successful open
    }
    doc->m_opening = false;
    if (!ok) {
        doc->SetAutoDelete(false);
        delete frame;
        RemoveDocument(doc);
        delete doc;
        return nullptr;
    }
    InitialUpdateFrame(frame, doc, makeVisible);
    return doc;
}

void DocTemplate::AddDocument(Document* doc)
{
    if (std::find(m_docs.begin(), m_docs.end(), doc) == m_docs.end())
        m_docs.push_back(doc);
    doc->m_template = this;
}

void DocTemplate::RemoveDocument(Document* doc)
{
    m_docs.erase(std::remove(m_docs.begin(), m_docs.end(), doc), m_docs.end());
    if (doc->m_template == this)
        doc->m_template = nullptr;
}

bool DocTemplate::SaveAllModified()
{
    const std::vector<Document*> docs = m_docs;
    for (Document* d : docs)
        if (!d->SaveModified())
            return false;
    return true;
}

bool DocTemplate::CloseAllDocuments()
{
    const std::vector<Document*> docs = m_docs;
    for (Document* d : docs) {
        if (std::find(m_docs.begin(), m_docs.end(), d) == m_docs.end())
            continue; // closed by another document meanwhile
        if (!d->CanCloseDocument())
            return false;
        d->OnCloseDocument();
    }
    return true;
}

// ------------------------------------------------------------- DocManager

DocManager::DocManager() { g_current = this; }

DocManager::~DocManager()
{
    if (g_current == this)
        g_current = nullptr;
}

DocManager* DocManager::Current() { return g_current; }

void DocManager::AddDocTemplate(std::unique_ptr<DocTemplate> tmpl) { m_templates.push_back(std::move(tmpl)); }

DocTemplate* DocManager::Template(int index) const
{
    return index >= 0 && index < TemplateCount() ? m_templates[size_t(index)].get() : nullptr;
}

Document* DocManager::OpenDocumentFile(const QString& path, int templateIndex, bool addToRecent)
{
    QString clean = CleanPath(path);
    DocTemplate* best = nullptr;
    auto bestConf = DocTemplate::noAttempt;
    for (int i = 0; i < TemplateCount(); ++i) {
        Document* open = nullptr;
        auto conf = m_templates[size_t(i)]->MatchDocType(clean, open);
        if (conf == DocTemplate::yesAlreadyOpen) {
            for (ChildFrame* f : open->Frames()) {
                if (QMdiArea* area = f->mdiArea())
                    area->setActiveSubWindow(f);
                break;
            }
            return open;
        }
        if (i == templateIndex) {
            best = m_templates[size_t(i)].get();
            break;
        }
        if (conf > bestConf) {
            bestConf = conf;
            best = m_templates[size_t(i)].get();
        }
    }
    if (!best) {
        Prompt(FrameworkText(IDS_FAILED_TO_OPEN), {}, MB_ICONEXCLAMATION);
        return nullptr;
    }
    return best->OpenDocumentFile(clean, true, addToRecent);
}

std::vector<Document*> DocManager::Documents() const
{
    std::vector<Document*> docs;
    for (const auto& t : m_templates)
        docs.insert(docs.end(), t->Documents().begin(), t->Documents().end());
    return docs;
}

bool DocManager::SaveAllModified()
{
    for (const auto& t : m_templates)
        if (!t->SaveAllModified())
            return false;
    return true;
}

bool DocManager::CloseAllDocuments()
{
    for (const auto& t : m_templates)
        if (!t->CloseAllDocuments())
            return false;
    return true;
}

void DocManager::AddToRecentFileList(const QString& path)
{
    if (m_recent && !path.isEmpty())
        m_recent(path);
}

} // namespace ui
