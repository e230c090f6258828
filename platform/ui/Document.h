#pragma once
// Documents, views, MDI child frames and multi-document templates over
// QMdiArea, and the document manager with its templates.

#include "platform/ui/Command.h"

#include <QMdiSubWindow>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string_view>
#include <vector>

class QIODevice;
class QPainter;
#include <QMdiArea>

namespace ui {

class ChildFrame;
class DocTemplate;
class Document;
class View;
struct PrintInfo;
class AccelTable;
class Menu;

// The framework's texts (also in res/strings/framework.strings).
constexpr uint32_t IDS_UNEXPECTED_FORMAT = 4500;  // "Unexpected file format."
constexpr uint32_t IDS_FILE_NOT_FOUND = 4501;     // "%1 was not found."
constexpr uint32_t IDS_FAILED_TO_OPEN = 4502;     // "Dokument se nepodařilo otevřít."
constexpr uint32_t IDS_FAILED_TO_SAVE = 4503;     // "Dokument se nepodařilo uložit."
constexpr uint32_t IDS_ASK_TO_SAVE = 4504;        // "Uložit změny do %1?"
constexpr uint32_t IDS_UNTITLED = 4505;           // "Bez názvu"
constexpr uint32_t IDS_FILE_CAUSE = 4820;         // "%1: %2" (the file, why)
// A framework text from the string table.
QString FrameworkText(uint32_t id);

// The line that says which file could not be read or written and why, as
// the system gives the cause (an errno value: full disk, permission
// denied, no such folder, name too long): "<file>: <cause>", the file with
// native separators.  Empty when there is no cause (0).
QString FileCauseLine(const QString& path, uint32_t cause);
// text, and below it, on a line of its own, the file and the cause (text
// alone without a cause).
QString WithFileCause(const QString& text, const QString& path, uint32_t cause);
// Writes bytes as a new file at path (never over anything that is there),
// complete or not at all; false with an errno value in cause.
bool WriteNewFile(const QString& path, std::string_view bytes, uint32_t& cause);

// Raised by Serialize for a bad file; reported as "Unexpected file format."
// (badFormat, endOfFile) or with the default message of the call (generic).
class ArchiveException : public std::runtime_error
{
public:
    enum Cause { generic, badFormat, endOfFile };
    explicit ArchiveException(Cause cause, const std::string& what = "archive error")
        : std::runtime_error(what), m_cause(cause)
    {
    }
    Cause CauseCode() const { return m_cause; }

private:
    Cause m_cause;
};

// The serialisation entry point: the file of a document open for reading
// or writing.
class Archive
{
public:
    Archive(QIODevice& device, bool storing, Document* doc) : m_device(device), m_storing(storing), m_doc(doc) {}
    bool IsStoring() const { return m_storing; }
    bool IsLoading() const { return !m_storing; }
    QIODevice& Device() { return m_device; }
    Document* GetDocument() const { return m_doc; }
    // 8-bit text lines: reads one line without its end (false at the end of
    // the file); writes one line with "\r\n".
    bool ReadString(QByteArray& line);
    void WriteString(const QByteArray& text);
    void Write(const void* data, qint64 size);
    // Reads exactly size bytes or raises endOfFile.
    void Read(void* data, qint64 size);

private:
    QIODevice& m_device;
    bool m_storing;
    Document* m_doc;
};

// What went wrong while a file was opened or saved.
enum class FileError { none, notFound, badFormat, generic };

class Document : public QObject, public CommandTarget
{
    Q_OBJECT
public:
    Document();
    ~Document() override;

    const QString& GetPathName() const { return m_path; }
    // Sets the path and the title (the file name); with addToRecent the
    // recent-file hook of the document manager is called.
    virtual void SetPathName(const QString& path, bool addToRecent = true);
    const QString& GetTitle() const { return m_title; }
    virtual void SetTitle(const QString& title);
    bool IsModified() const { return m_modified; }
    virtual void SetModifiedFlag(bool modified = true);
    DocTemplate* GetDocTemplate() const { return m_template; }
    // While its template opens or makes it (the content is not the user's
    // yet, whatever the modified flag says).
    bool Opening() const { return m_opening; }
    bool AutoDelete() const { return m_autoDelete; }
    void SetAutoDelete(bool on) { m_autoDelete = on; }

    const std::vector<View*>& Views() const { return m_views; }
    View* FirstView() const { return m_views.empty() ? nullptr : m_views.front(); }
    void AddView(View* view);
    void RemoveView(View* view);
    // Calls OnUpdate of every view but the sender.
    void UpdateAllViews(View* sender, long hint = 0, QObject* object = nullptr);
    // The frames that show this document's views.
    std::vector<ChildFrame*> Frames() const;

    virtual bool OnNewDocument();
    virtual bool OnOpenDocument(const QString& path);
    virtual bool OnSaveDocument(const QString& path);
    // Writes what the document holds to path, a new file, as a save writes
    // it (complete or not at all) and changes nothing of the document: its
    // path, its modified state and its own file stay.  False, with an errno
    // value in cause, when it could not be written (nothing is at path
    // then).  Nothing is asked.
    virtual bool WriteCopy(const QString& path, uint32_t& cause);
    // Closes the frames, empties the document, removes it from its template
    // and (with auto-delete) deletes it later.
    virtual void OnCloseDocument();
    virtual void DeleteContents() {}
    virtual void Serialize(Archive& ar);
    // Asks to save a modified document (Yes saves, No discards, Cancel
    // keeps it open); false to stay open.
    virtual bool SaveModified();
    // Whether the document may close now; close-all asks each document.
    virtual bool CanCloseDocument() { return SaveModified(); }
    // Whether frame may close (asks only when it is the document's last
    // frame and no view of the document lies outside the frames).
    virtual bool CanCloseFrame(ChildFrame* frame);
    // Saves under path, or asks for a name (save as) when path is empty;
    // replace makes the new name the document's.
    virtual bool DoSave(const QString& path, bool replace = true);
    // Saves under the document's path; asks for a name ("save as") when it
    // has none, when its file cannot be written (then the failed save is
    // reported first, with the file and the cause, so the "save as" does not
    // come unasked) and after any save that failed and said why.  Asked
    // again after each failed save; false when the user cancelled (the
    // document stays modified).
    bool DoFileSave();
    // The name for "save as"; empty when the user cancelled.
    virtual QString DoPromptFileName(const QString& suggested);
    // Reports a failed load or save with the framework's texts; defaultId is
    // the message for failures without a text of their own; cause, the
    // system's error (an errno value, 0 for none), adds the line that names
    // the file and the cause.
    virtual void ReportSaveLoadException(const QString& path, FileError error, bool saving, uint32_t defaultId,
                                         uint32_t cause = 0);
    // The text of that report (a document that shows it itself).
    static QString SaveLoadExceptionText(const QString& path, FileError error, bool saving, uint32_t defaultId,
                                         uint32_t cause = 0);
    virtual void OnChangedViewList();

protected:
    // Called by a save that failed for what the document holds, not for the
    // place (another place would fail the same): no "save as" follows.
    void SaveCannotGoElsewhere() { m_saveCannotGoElsewhere = true; }

private:
    friend class DocTemplate;
    bool SaveElsewhere();
    QString m_path;
    QString m_title;
    bool m_modified = false;
    bool m_autoDelete = true;
    bool m_closing = false;
    bool m_opening = false;
    bool m_saveCannotGoElsewhere = false;
    bool m_titlesPending = false;
    DocTemplate* m_template = nullptr;
    std::vector<View*> m_views;
};

class View : public QWidget, public CommandTarget
{
    Q_OBJECT
public:
    explicit View(QWidget* parent = nullptr);
    ~View() override;

    Document* GetDocument() const { return m_document; }
    // The child frame around the view; null when it lives elsewhere (in a
    // docking bar).
    ChildFrame* GetParentFrame() const;
    virtual void OnInitialUpdate() { OnUpdate(nullptr, 0, nullptr); }
    virtual void OnUpdate(View* sender, long hint, QObject* object);
    virtual void OnActivateView(bool /*activate*/) {}
    // The view's own accelerator table (translated before its frame's).
    virtual const AccelTable* Accelerators() const { return nullptr; }

    // ---- printing (Print.h): the job's steps, with the framework's defaults
    virtual bool OnPreparePrinting(PrintInfo&) { return true; }
    virtual void OnBeginPrinting(QPainter&, PrintInfo&) {}
    // While printing, continuePrinting is true when the maximum page is
    // known or the page is the first.
    virtual void OnPrepareDC(QPainter& painter, PrintInfo* info);
    virtual void OnPrint(QPainter&, PrintInfo&) {}
    virtual void OnEndPrinting(QPainter&, PrintInfo&) {}
    // The print dialog on the application printer, then the job.
    void OnFilePrint();
    // The print preview; two pages side by side with the profile's
    // "Settings"/"PreviewPages" 2.
    void OnFilePrintPreview();

private:
    friend class Document;
    Document* m_document = nullptr;
};

// The nine numbers of a window placement: show state, minimised position,
// maximised position and the normal rectangle.
struct WindowPlacement
{
    int showCmd = 1; // 1 normal, 2 minimised, 3 maximised
    int minX = -1, minY = -1;
    int maxX = -1, maxY = -1;
    int left = 0, top = 0, right = 0, bottom = 0;
};
constexpr int SW_SHOWNORMAL = 1;
constexpr int SW_SHOWMINIMIZED = 2;
constexpr int SW_SHOWMAXIMIZED = 3;

class SplitterWnd;
class Menu;

// The system commands of a window.
constexpr uint32_t SC_SIZE = 0xF000;
constexpr uint32_t SC_MOVE = 0xF010;
constexpr uint32_t SC_MINIMIZE = 0xF020;
constexpr uint32_t SC_MAXIMIZE = 0xF030;
constexpr uint32_t SC_NEXTWINDOW = 0xF040;
constexpr uint32_t SC_CLOSE = 0xF060;
constexpr uint32_t SC_RESTORE = 0xF120;
inline bool IsSystemCommand(uint32_t id) { return id >= 0xF000 && id <= 0xF1EF; }

class ChildFrame : public QMdiSubWindow, public CommandTarget
{
    Q_OBJECT
public:
    explicit ChildFrame(QWidget* parent = nullptr);
    ~ChildFrame() override;

    Document* GetActiveDocument() const;
    View* GetActiveView() const;
    void SetActiveView(View* view);
    // The client: one view (the template's view class), or a splitter when
    // the frame is split.  Derived frames override to build a splitter.
    virtual bool OnCreateClient(Document* doc, DocTemplate* tmpl);
    SplitterWnd* Splitter() const;

    WindowPlacement GetWindowPlacement() const;
    void SetWindowPlacement(const WindowPlacement& wp);
    // The frame's table: by default the table its template had when the
    // frame was made for one of the template's documents (null otherwise).
    virtual const AccelTable* Accelerators() const { return m_accel.get(); }
    std::shared_ptr<const AccelTable> GetAccelTable() const { return m_accel; }
    void SetAccelTable(std::shared_ptr<const AccelTable> table) { m_accel = std::move(table); }
    // Updates the caption from the document's title.
    virtual void OnUpdateFrameTitle();
    // The system menu of the document window (Restore, Move, Size,
    // Minimise, Maximise, Close as the default item, Next), its states
    // following the window's hints and state.  A new model each call.
    std::unique_ptr<Menu> GetSystemMenu() const;
    // Runs a system command: SC_RESTORE, SC_MINIMIZE, SC_MAXIMIZE, SC_CLOSE
    // (through the document's questions) and SC_NEXTWINDOW; others do nothing.
    void SysCommand(uint32_t id);
    // Without a frame of its own (a maximised window whose caption and
    // buttons the menu bar shows); off gives back the flags it had.
    void SetFrameless(bool on);
    // The window's caption-button hints, also while it is frameless.
    Qt::WindowFlags CaptionHints() const { return m_frameless ? m_flagsBefore : windowFlags(); }

protected:
    void closeEvent(QCloseEvent* e) override;
    void moveEvent(QMoveEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void RememberNormal();
    QPointer<View> m_activeView;
    QRect m_normal;
    QPoint m_minPos{-1, -1}, m_maxPos{-1, -1};
    bool m_frameless = false;
    Qt::WindowFlags m_flagsBefore;
    std::shared_ptr<const AccelTable> m_accel;
};

// A multi-document template: the document string, the factories of the
// document, frame and view classes, and the open documents.
class DocTemplate
{
public:
    using DocFactory = std::function<Document*()>;
    using FrameFactory = std::function<ChildFrame*()>;
    using ViewFactory = std::function<View*()>;

    enum DocStringIndex { windowTitle, docName, fileNewName, filterName, filterExt, regFileTypeId, regFileTypeName };
    enum Confidence {
        noAttempt,
        maybeAttemptForeign,
        maybeAttemptNative,
        yesAttemptForeign,
        yesAttemptNative,
        yesAlreadyOpen
    };

    // docString is the template's string-table text ("\nText\n...\n.txt\n\n");
    // without a frame factory the documents have no frame of their own.
    DocTemplate(uint32_t resourceId, const QString& docString, DocFactory doc, FrameFactory frame, ViewFactory view);
    virtual ~DocTemplate();

    uint32_t ResourceId() const { return m_resourceId; }
    // The menu the main frame shows while a frame of this template is
    // active: menus/<id>.menu, loaded when the template is made; null when
    // there is none.  Setting it tells the main frame.
    Menu* GetSharedMenu() const { return m_menu.get(); }
    void SetSharedMenu(std::unique_ptr<Menu> menu);
    // As SetSharedMenu, handing the old menu to the caller, who keeps it
    // alive while something still shows it.
    std::unique_ptr<Menu> ReplaceSharedMenu(std::unique_ptr<Menu> menu);
    // The template's accelerator table: accel/<id>.accel, loaded when the
    // template is made; null when there is none.  The frames made for its
    // documents take the table the template has at that moment.
    std::shared_ptr<const AccelTable> GetAccelTable() const { return m_accel; }
    void SetAccelTable(std::shared_ptr<const AccelTable> table) { m_accel = std::move(table); }
    // The resource the table is reloaded from when the user's keys are
    // reset: the template's own id unless another is set.
    uint32_t GetAccelResourceId() const { return m_accelResourceId; }
    void SetAccelResourceId(uint32_t id) { m_accelResourceId = id; }
    bool GetDocString(QString& out, DocStringIndex index) const;
    // "Textové soubory (*.txt)" with its pattern, for file dialogs.
    QString FileFilter() const;

    // already open > extension match > no match.
    virtual Confidence MatchDocType(const QString& path, Document*& match) const;
    // Opens path (empty: a new document).  The recent-file hook runs only
    // after a successful open and only with addToRecent.
    virtual Document* OpenDocumentFile(const QString& path, bool makeVisible = true, bool addToRecent = true);
    virtual Document* CreateNewDocument();
    // A new frame for doc (based on other when given); null without a frame
    // class or when the client cannot be made.
    virtual ChildFrame* CreateNewFrame(Document* doc, ChildFrame* other = nullptr);
    virtual void InitialUpdateFrame(ChildFrame* frame, Document* doc, bool makeVisible = true);

    virtual int GetDocumentCount() const { return int(m_docs.size()); }
    const std::vector<Document*>& Documents() const { return m_docs; }
    void AddDocument(Document* doc);
    void RemoveDocument(Document* doc);
    bool SaveAllModified();
    bool CloseAllDocuments();

    View* CreateView() const { return m_viewFactory ? m_viewFactory() : nullptr; }
    // The MDI area the frames go into (the main frame sets it).
    void SetMdiArea(QMdiArea* area) { m_area = area; }
    QMdiArea* MdiArea() const { return m_area; }

private:
    uint32_t m_resourceId;
    uint32_t m_accelResourceId;
    std::unique_ptr<Menu> m_menu;
    std::shared_ptr<const AccelTable> m_accel;
    QStringList m_strings;
    DocFactory m_docFactory;
    FrameFactory m_frameFactory;
    ViewFactory m_viewFactory;
    std::vector<Document*> m_docs;
    QPointer<QMdiArea> m_area;
};

// The templates of the application and what works across them.
class DocManager
{
public:
    DocManager();
    ~DocManager();
    DocManager(const DocManager&) = delete;
    DocManager& operator=(const DocManager&) = delete;

    void AddDocTemplate(std::unique_ptr<DocTemplate> tmpl); // owned
    int TemplateCount() const { return int(m_templates.size()); }
    DocTemplate* Template(int index) const;

    // Opens path with the best-matching template, or with templateIndex
    // (>= 0) when it is reached before a template that has the document
    // open; shows the failure message when no template takes it.
    Document* OpenDocumentFile(const QString& path, int templateIndex = -1, bool addToRecent = true);
    std::vector<Document*> Documents() const;
    // The new-document command: with one template a new document of it;
    // with several the choice of dialog 4680 (the templates that have a
    // file-new name, in template order), then a new document of the chosen
    // template.  Cancel does nothing.
    void OnFileNew(QWidget* parent);
    // Asks every modified document; false when one of them refuses.
    bool SaveAllModified();
    // Closes all documents; stops at the first that refuses to close.
    bool CloseAllDocuments();

    // Called with the path after a successful open or save under a new name.
    void SetRecentFileHook(std::function<void(const QString&)> hook) { m_recent = std::move(hook); }
    void AddToRecentFileList(const QString& path);

    static DocManager* Current();

private:
    std::vector<std::unique_ptr<DocTemplate>> m_templates;
    std::function<void(const QString&)> m_recent;
};

} // namespace ui
