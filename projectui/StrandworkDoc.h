#pragma once
// The project document: the one open project of the application.  A
// framework document around the Qt-free core::ProjectDocument, which holds
// the project data, loads and saves the project file (".kxp") and the
// workspace file (".kxw") beside it and adds files to the project; this
// class adds the framework's side: opening and closing as the open
// project, the views and their hints, the settings sheet, the link and the
// transfers.  See docs/project-files.md.

#include "core/compout/ListingFile.h"
#include "core/compout/MapFile.h"
#include "core/project/ProjectBuild.h"
#include "core/project/PlcImage.h"
#include "core/project/ProjectDocument.h"
#include "core/project/ProjectDebug.h"
#include "projectui/ProjectHost.h"
#include "core/projfile/LineEngine.h"
#include "core/projfile/ProjectData.h"
#include "core/projfile/Workspace.h"
#include "link/ui/ConnectionErrorDlg.h"
#include "link/ui/FileManagerDlg.h"
#include "projectui/ProjectTransfer.h"
#include "platform/ui/Document.h"
#include "res/CommandIds.h"
#include "res/text/StringIds.h"

#include <QPointer>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

class COlnkLink;
struct PlcStatusRecord;
namespace linkui {
class LinkWindow;
}
namespace ui {
class PropertySheet;
}

// A mechanism watched while debugging (core/project/ProjectDebug.h).
using MechanismWatch = core::MechanismWatch;

// Update hints of the project document's views (core/project/ProjectDocument.h).
using core::ProjectHint;
using core::HINT_ALL;
using core::HINT_GENERAL;
using core::HINT_ASM_LINK;
using core::HINT_HARDWARE;
using core::HINT_COMPILER;
using core::HINT_LINK;
using core::HINT_DEBUG_DISPLAY;
using core::HINT_SOURCE_LIST;
using core::HINT_HEADER_LIST;
using core::HINT_SUPPORT_LIST;
using core::HINT_DEBUG_STATE;
using core::HINT_BREAKPOINT;
using core::HINT_WATCH_PAGES;
using core::HINT_MECH_WATCH;
using core::HINT_LINE_REGS_WATCH;

// The project document's own ids (IDS_PRJ_...) are core's
// (core/project/ProjectDocument.h).

class CStrandworkDoc : public ui::Document, public linkui::IConnectionOwner
{
    Q_OBJECT
public:
    CStrandworkDoc();
    ~CStrandworkDoc() override;

    core::ProjectData& Data() { return m_logic->Data(); }
    const core::ProjectData& Data() const { return m_logic->Data(); }

    // --- Flags -----------------------------------------------------------
    bool IsOpenProject() const { return m_isOpenProject; }
    // True once the project file was read whole and its documents reopened,
    // or a new project was written: from then on the workspace file is this
    // project's to write (one that could not be read whole is kept beside
    // it first, core::ProjectDocument).  A project that is still being
    // read, or whose read failed, writes no workspace file.
    bool IsOpened() const { return m_opened; }
    // The stop-build command sets the cancel flag; the tool runner reads
    // and clears it.
    void RequestBuildStop() { m_build->RequestStop(); }
    bool IsBuildStopRequested() const { return m_build->IsStopRequested(); }
    void ClearBuildStop() { m_build->ClearStop(); }
    bool IsBuilding() const { return m_build->IsBuilding(); }
    void SetBuilding(bool on) { m_build->SetBuilding(on); }
    bool IsDebugging() const { return m_debug->IsDebugging(); }

    // --- Debugging (docs/plcviews.md) -----------------------------------
    // The link to the control system; its PLC request face is the object
    // itself.  Made with the document, opened by the debug start.
    COlnkLink& Link() { return *m_link; }
    // The run's map, listing and watched mechanisms live in the document's
    // core::ProjectDebug.
    compout::CMapFile& MapFile() { return m_debug->MapFile(); }
    compout::CListingFile& ListingFile() { return m_debug->ListingFile(); }
    // The mechanisms watched in this run (stored in no file).
    std::vector<MechanismWatch>& MechanismWatchSet() { return m_debug->MechanismWatchSet(); }
    // The link's latest PLC status; false (length 0) when unknown.
    bool GetPlcStatus(PlcStatusRecord& status) { return core::ProjectDebug::GetPlcStatus(*m_link, status); }
    // The last step of the debug start: the link's three watch periods from
    // the project, the debugging flag, hint 10.
    void EnterDebugging();
    // Clears the flag, sends hint 10 and frees the map; the listing stays.
    // The link's wanted breakpoints become none: it sends that until the
    // control system confirms it, also over a link that is down now
    // (core::ProjectDebug::Stop).
    bool StopDebugging();
    // Shows the source line of a 1-based listing index in the PLC view of
    // its file (opened when needed); beeps when the listing has no such line.
    void GoToListingLine(uint32_t index);
    // Shows the line the PLC stands at, when the status says it stands.
    void GoToCurrentLine();
    // The full native path of the project's PLC source whose file name is
    // the last component of name (any case); empty when none.
    QString FindPlcSourcePath(std::u16string_view name) const;

    // --- Communication, debugging and transfers (docs/transfers.md) -------
    // Opens the link with the project's connection string, initialises its
    // four interfaces and starts it; true when it runs.  Failures go to the
    // output window; a failure after the open closes the link.
    bool StartCommunication() { return m_transfer->StartCommunication(); }
    // Stops debugging when it runs, then closes the link.
    bool StopCommunication() override;
    // The link ended requests that got no reply within its job time-out:
    // a line in the output window, and the host shows the connection-error
    // dialog (in front, once no waiting box is open).
    void OnRequestsUnanswered();
    // Builds when needed, transfers the PLC interface (compared first) and
    // the support files, loads map and listing and enters debugging.
    bool StartDebugging() { return m_transfer->StartDebugging(); }
    // The project's file manager, connected first when needed: created on
    // first use, refreshed afterwards, shown.
    void ShowFileManager() { m_transfer->ShowFileManager(); }
    linkui::CFileManagerDlg* FileManager() const { return m_fileManager.data(); }
    // Walks the chain of module records of a PLC image; true when it ends
    // in a well-formed end record.  Both sums hold the walked modules.
    static bool CheckPlcImage(const uint8_t* image, uint32_t size, uint32_t& lengthSum,
                              uint16_t& checksumSum)
    {
        return core::CheckPlcImage(image, size, lengthSum, checksumSum);
    }
    // Puts the built PLC image onto the control system after the version
    // checks; with compare, an image the control system already holds is
    // not sent again.  False also after a cassette software install.
    bool TransferPlcInterface(bool compare) { return m_transfer->TransferPlcInterface(compare); }
    // Installs the cassette software (targets other than Haldor).
    bool UpdateControlSystemSoftware() { return m_transfer->UpdateControlSystemSoftware(); }
    // Fetches the compiler files of the control system's revision.
    // noCompiler: set when the fetch brought no compiler (an empty or
    // partial set) and the installed one was left as it was.
    bool TransferCompilerFiles(bool* noCompiler = nullptr) { return m_transfer->TransferCompilerFiles(noCompiler); }
    // Brings the support files into the state their transfer types ask.
    bool TransferSupportFiles() { return m_transfer->TransferSupportFiles(); }

    // --- Operations ------------------------------------------------------
    // Updates the views of the project and, for hints 0, 6, 10, 11, 13 and
    // 14, every view of the open PLC source documents.
    void BroadcastUpdate(ui::View* sender, long hint, QObject* object = nullptr);
    // Marks the document modified and stores the current time as the
    // settings modification time.
    virtual void SetSettingsModified();
    void SetProjectDefaults();
    // The folder of the project file with its trailing separator.
    QString GetProjectDir() const;
    // Makes room for this document as the open project; true when it became
    // the open project, or already was (then nothing is asked again).
    bool QueryCloseProject();

    bool OnNewDocument() override;
    bool OnOpenDocument(const QString& path) override;
    // forCopying: a template opened by CopyProjectFiles.  The workspace's
    // data part is read, but its documents are neither reopened nor kept,
    // and a missing workspace file is not reported.
    bool OnOpenDocument(const QString& path, bool forCopying);
    bool OnSaveDocument(const QString& path) override;
    // The project file alone, in its own format, without the conversion
    // question.
    bool WriteCopy(const QString& path, uint32_t& cause) override;
    // Writes the workspace file alone (the open documents, the watch pages,
    // breakpoints and connection); the project file stays as it is on disk.
    // Nothing is written before the project was opened (IsOpened).
    void SaveWorkspace();
    void OnCloseDocument() override;
    void Serialize(ui::Archive& ar) override;
    // The framework's report of a failed load or save, through the host.
    void ReportSaveLoadException(const QString& path, ui::FileError error, bool saving,
                                 uint32_t defaultId, uint32_t cause = 0) override;

    // --- The project and workspace files -----------------------------------
    // The whole project file; a bad file throws core::ProjectFormatError.
    void Serialize(core::KxpArchive& ar);
    static bool ReadLine(core::KxpArchive& ar, std::u16string& line)
    {
        return core::ReadLine(ar, line);
    }
    static void WriteLine(core::KxpArchive& ar, std::u16string_view text)
    {
        core::WriteLine(ar, text);
    }
    void WriteProjectV6(core::KxpArchive& ar);
    void ReadProjectV6(core::KxpArchive& ar);
    void WriteProjectV5(core::KxpArchive& ar);
    void ReadProjectV5(core::KxpArchive& ar);
    // Formats 1 to 4 hold everything in the project file and never touch
    // a workspace file; formats 3 and 4 carry the documents section.
    void WriteProjectV4(core::KxpArchive& ar);
    void ReadProjectV4(core::KxpArchive& ar);
    void WriteProjectV3(core::KxpArchive& ar);
    void ReadProjectV3(core::KxpArchive& ar);
    void WriteProjectV2(core::KxpArchive& ar);
    void ReadProjectV2(core::KxpArchive& ar);
    void WriteProjectV1(core::KxpArchive& ar);
    void ReadProjectV1(core::KxpArchive& ar);
    void WriteWorkspaceV6(core::KxpArchive& ar);
    void WriteWorkspaceV5(core::KxpArchive& ar);
    void ReadWorkspaceV6(core::KxpArchive& ar);
    void ReadWorkspaceV5(core::KxpArchive& ar);
    // The documents section as last read (kept and written back unchanged
    // while no document views can reopen it).
    const core::WorkspaceDocuments& WorkspaceSection() const { return m_logic->WorkspaceSection(); }

    // --- Adding files -----------------------------------------------------
    // Each takes the full path.  FilePath becomes the path relative to the
    // project folder (".." components where needed, the full path when no
    // relative path can be formed); FileName its last component.  A
    // FileName already in the same list (ASCII and code page 1250 letters
    // in any case) is refused with the list's message.
    bool AddExistingSourceFile(const QString& path);
    void AddNewSourceFile(const QString& path);
    bool AddExistingHeaderFile(const QString& path);
    void AddNewHeaderFile(const QString& path);
    bool AddExistingSupportFile(const QString& path);
    void AddNewSupportFile(const QString& path);
    // Opens the template project into this document (for copying) and
    // copies its files into destFolder under their file names; true when
    // all were copied.  Two entries with the same file name (any case) are
    // refused before anything is copied.  Afterwards destFolder is the
    // current directory.
    bool CopyProjectFiles(const QString& templatePath, const QString& destFolder);
    // The copying part of CopyProjectFiles, on the template already opened
    // into this document.
    bool CopyOpenTemplateFiles(const QString& templatePath, const QString& destFolder);
    // Fills this freshly defaulted project from a compiler configuration
    // file and copies its sources into projectFolder; 1 when complete, 0
    // after a failure that was reported (see docs/project-files.md).
    int ImportKnf(const QString& knfPath, const QString& projectFolder);
    // Opens the project settings sheet on the page that was in front when
    // it last closed, runs it modally and remembers the page in front.
    void EditProjectSettings(QWidget* parent);
    // The two halves of EditProjectSettings: the sheet with its ten pages
    // (PendingTarvaneVer set from TarvaneVer), and its modal run.
    std::unique_ptr<ui::PropertySheet> CreateProjectSettingsSheet(QWidget* parent);
    void RunProjectSettingsSheet(ui::PropertySheet& sheet);
    // The compiler version while the settings sheet edits it.
    const std::u16string& PendingTarvaneVer() const { return m_pendingTarvaneVer; }
    void SetPendingTarvaneVer(std::u16string version) { m_pendingTarvaneVer = std::move(version); }
    // The page of the settings sheet that was in front when it last closed.
    int SettingsPageIndex() const { return m_settingsPage; }

    void OnUpdateFileSave(ui::CmdUI& cmdUi);

    // --- The build (docs/build.md) ------------------------------------------
    // The document's core::ProjectBuild does the work; see there.
    bool BuildPlc() { return m_build->Build(); }
    bool BuildIfNeeded() { return m_build->BuildIfNeeded(); }
    bool CheckDependencies() { return m_build->CheckDependencies(); }
    void CleanBuildOutput() { m_build->Clean(); }
    void UpdateToNewestCompilerVersion() { m_build->UpdateToNewestCompilerVersion(); }
    bool WriteMakeKnf(const QString& path) { return m_build->WriteMakeKnf(path.toStdU16String()); }

private:
    QWidget* MainWindow() const;

    // The document's logic (project data, files, workspace) and its link
    // back to this document; made first, since the collaborators below
    // hold its data.
    class DocumentSite;
    std::unique_ptr<DocumentSite> m_logicSite;
    std::unique_ptr<core::ProjectDocument> m_logic;
    bool m_closingGuard = false;
    bool m_isOpenProject = false;
    bool m_opened = false;
    // The build's link to this document, and the build.
    class BuildSite;
    std::unique_ptr<BuildSite> m_buildSite;
    std::unique_ptr<core::ProjectBuild> m_build;
    std::unique_ptr<COlnkLink> m_link;
    // Hears from the link (list 1) that requests got no reply in time.
    std::unique_ptr<linkui::LinkWindow> m_linkNotices;
    // Declared after the link: the window goes before the link it uses.
    // Created on first use; a QPointer, since its parent window may be
    // destroyed first.
    QPointer<linkui::CFileManagerDlg> m_fileManager;
    // The debugging state: map, listing, watched mechanisms, the flag.
    std::unique_ptr<core::ProjectDebug> m_debug;
    // The communication and the transfers (reach the members above).
    friend class CProjectTransfer;
    std::unique_ptr<CProjectTransfer> m_transfer;
    std::u16string m_pendingTarvaneVer;
    int m_settingsPage = 0;
};
