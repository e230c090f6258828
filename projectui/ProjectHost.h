#pragma once
// What the project document needs from the application, and the port
// through which the document views reopen and collect the documents of the
// workspace file.  The application object implements ProjectHost; tests
// install their own.  The part without Qt, which the document's logic in
// core/project uses, is core::DocumentHost; ProjectHost answers its
// questions with the prompt service.

#include "core/common/AppSettings.h"
#include "core/common/OutputSink.h"
#include "core/project/DocumentHost.h"
#include "core/projfile/Workspace.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

class IOlnkPL;
struct PlcStatusRecord;
class QObject;
namespace ui {
class View;
}

class CStrandworkDoc;

// Reopens and collects the open text, PLC source, PLC header and binary
// documents for the workspace file.
class WorkspaceDocumentsPort
{
public:
    virtual ~WorkspaceDocumentsPort();

    // The open documents of the four templates:
    // - documents in each template's document order, each with its full
    //   path and an empty storedPath;
    // - a document without a path (never saved) is left out;
    // - frames are the distinct parent frames of the document's views, in
    //   view order, each with its nine placement numbers, its splitter
    //   numbers and one caret per pane (rows outer, columns inner).
    virtual core::WorkspaceDocuments Collect(const QString& projectDir) = 0;

    // Reopens and arranges the documents read from the workspace file:
    // - works per kind, in file order;
    // - a path that is empty or names a folder gives no document, and
    //   neither does a file that does not exist (silently);
    // - a document that is already open is not opened a second time: it is
    //   activated and its frames are left as they are;
    // - otherwise the document is opened through its template, visible;
    // - frame 1 is the frame that the opening created; further frames are
    //   created by the template;
    // - placements are set as read but clamped into the visible area of the
    //   MDI area;
    // - with more than one column the splitter is split into two columns
    //   with the read width of column 0, then with more than one row into
    //   two rows with the read height of row 0; each pane that exists takes
    //   its caret (text panes clamp it into the text; binary panes set the
    //   byte position, then the caret area).
    virtual void Apply(const core::WorkspaceDocuments& docs) = 0;
};

// The wait dialog through which the project document runs its PLC
// requests (information, status, stop, transfer); each request runs in a
// modal loop of its own until the reply arrives.  Every routine returns
// nonzero on success and 0 on failure or refusal (the dialog shows a
// failure itself).  One object may serve several requests in turn.
class PlcCommandDialog
{
public:
    virtual ~PlcCommandDialog();
    // The PLC information: kind 1 when the extended request answered, 0
    // when only the basic one did.  replyData holds the received bytes
    // only (never padding), beginning with the reply's own u16 length.
    // Nonzero only when kind and replyData were filled.
    virtual int GetPLCInfo(IOlnkPL* link, uint32_t& kind, std::vector<uint8_t>& replyData) = 0;
    // The PLC status; nonzero only when the record was filled.
    virtual int GetStatus(IOlnkPL* link, PlcStatusRecord& status) = 0;
    virtual int StopPLC(IOlnkPL* link) = 0;
    // Transfers a PLC image; the link keeps its own copy of the data.
    virtual int TransferPLC(IOlnkPL* link, uint32_t size, const void* data, int cancelThroughJob) = 0;
};

class ProjectHost : public core::DocumentHost
{
public:
    ~ProjectHost() override;

    // The open project (null when none); making a document the open
    // project; forgetting it.  ClearProjectDoc must forget the document
    // whenever it is the open project.
    virtual CStrandworkDoc* GetProjectDoc() = 0;
    virtual bool SetProjectDoc(CStrandworkDoc* doc) = 0;
    virtual bool ClearProjectDoc() = 0;
    // Closes the open project with its documents (refused while a build
    // runs); `ending` is true when the program ends.
    virtual bool CloseProject(bool ending) = 0;
    // Passes a hint to every view of every open PLC source document.
    virtual void UpdatePlcViews(ui::View* sender, long hint, QObject* object) = 0;
    // The output window, the options, the event pump and saving every
    // modified document: see core::DocumentHost.
    // The folder of the running program with a trailing separator.
    virtual QString GetProgramFolder() = 0;
    std::u16string ProgramFolder() override;
    // The document's questions and messages: the prompt service's message
    // box, over the main window or (AskOwner::None) over none.
    int Ask(std::u16string_view text, std::u16string_view caption, uint32_t style,
            core::AskOwner owner) override;
    // The same answer without a host (a document used on its own).
    static int AskWithPrompt(std::u16string_view text, std::u16string_view caption,
                             uint32_t style, core::AskOwner owner);
    // May be null: the document then keeps the documents section as read.
    virtual WorkspaceDocumentsPort* GetWorkspaceDocumentsPort() = 0;
    // Shows a 1-based line of a PLC source (native path): the open document
    // of the PLC source template with that path, else the path opened; the
    // view activated last, else the first, gets the caret on the line and
    // becomes active.  False (after the message) when it cannot be opened.
    virtual bool ShowPlcSourceLine(const QString& path, int line);
    // The application's help files: 0 the PLC help, 1 the system
    // configuration, 2 the machine constants.
    virtual QString GetHelpPath(int index);
    // A new PLC command dialog; null by default, and every PLC request of
    // the document then fails.
    virtual std::unique_ptr<PlcCommandDialog> CreatePlcCommandDialog();
    // The link of the project gave up waiting for the control system: the
    // connection-error dialog, whose "&Odpojit" stops the document's
    // communication, comes to the front as soon as no waiting box or other
    // modal window is open.  Nothing by default.
    virtual void ShowConnectionError(CStrandworkDoc* doc);
};

// The one process-wide host (null until set).
void SetProjectHost(ProjectHost* host);
ProjectHost* GetProjectHost();
