#pragma once
// The project document's own logic without a window: it owns the project
// data and the documents section of the workspace, loads and saves the
// project file (".kxp") with the workspace file (".kxw") beside it, adds
// files to the lists, copies a template's files and imports a compiler
// configuration file.  The framework document (projectui/StrandworkDoc.h)
// owns one and implements its site; questions and messages go through the
// site to the host (DocumentHost::Ask).  See docs/project-files.md.

#include "core/project/DocumentHost.h"
#include "core/projfile/LineEngine.h"
#include "core/projfile/ProjectData.h"
#include "core/projfile/Workspace.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace sys {
class ReplaceLock;
}

namespace core {

// Update hints of the project document's views.
enum ProjectHint : long
{
    HINT_ALL = 0,             // everything changed
    HINT_GENERAL = 1,         // general settings
    HINT_ASM_LINK = 2,        // assembler and linker settings
    HINT_HARDWARE = 3,        // hardware settings
    HINT_COMPILER = 4,        // compiler settings
    HINT_LINK = 5,            // link settings
    HINT_DEBUG_DISPLAY = 6,   // debug display settings
    HINT_SOURCE_LIST = 7,     // PLC source file list
    HINT_HEADER_LIST = 8,     // PLC header file list
    HINT_SUPPORT_LIST = 9,    // support file list
    HINT_DEBUG_STATE = 10,    // debugging started or stopped
    HINT_BREAKPOINT = 11,     // a breakpoint set or cleared
    HINT_WATCH_PAGES = 12,    // watch pages changed
    HINT_MECH_WATCH = 13,     // mechanism watch changed
    HINT_LINE_REGS_WATCH = 14 // register watch of lines changed
};

// String-table ids of the project document (res/strings/project.strings).
constexpr unsigned IDS_PRJ_DIR_NOT_EMPTY = 4284;
constexpr unsigned IDS_PRJ_CONTINUE = 4285;
constexpr unsigned IDS_PRJ_DIR_CREATE_FAILED = 4286;
constexpr unsigned IDS_PRJ_KNF_FILTER = 4287;
constexpr unsigned IDS_PRJ_CLOSE_PROJECT = 4288;
constexpr unsigned IDS_PRJ_CLOSE_PROJECT_CAPTION = 4289;
constexpr unsigned IDS_PRJ_CLOSE_DOCUMENTS = 4290;
constexpr unsigned IDS_PRJ_CLOSE_DOCUMENTS_CAPTION = 4291;
constexpr unsigned IDS_PRJ_DEFAULT_COMMENT = 4292;
constexpr unsigned IDS_PRJ_PAGE_NAME = 4293;
constexpr unsigned IDS_PRJ_CONVERT = 4294;
constexpr unsigned IDS_PRJ_CONVERT_CAPTION = 4295;
constexpr unsigned IDS_PRJ_NEWER_VERSION = 4296;
constexpr unsigned IDS_PRJ_SOURCE_DUPLICATE = 4297;
constexpr unsigned IDS_PRJ_OVERWRITE = 4298;
constexpr unsigned IDS_PRJ_OVERWRITE_CAPTION = 4299;
constexpr unsigned IDS_PRJ_CREATE_FAILED = 4300;
constexpr unsigned IDS_PRJ_HEADER_DUPLICATE = 4301;
constexpr unsigned IDS_PRJ_SUPPORT_DUPLICATE = 4302;
constexpr unsigned IDS_PRJ_COPY_FAILED = 4392;
constexpr unsigned IDS_PRJ_KNF_OPEN_FAILED = 4393;
constexpr unsigned IDS_PRJ_KNF_READ_FAILED = 4394;
constexpr unsigned IDS_PRJ_KNF_SOURCE_FAILED = 4395;
constexpr unsigned IDS_PRJ_WORKSPACE_SAVE_FAILED = 4444;
constexpr unsigned IDS_PRJ_WORKSPACE_LOAD_FAILED = 4445;
constexpr unsigned IDS_PRJ_CHARS_REPLACED = 4460;
constexpr unsigned IDS_PRJ_NAME_NOT_STORABLE = 4941;
constexpr unsigned IDS_PRJ_BAD_LINE = 4861;  // "řádek %d nemá očekávaný tvar"
constexpr unsigned IDS_PRJ_CUT_SHORT = 4862; // "soubor končí dříve, než má"
// Below the error of a workspace file that could not be read whole: where
// its bytes go before the file is first written over.
constexpr unsigned IDS_PRJ_WORKSPACE_KEPT = 4950;
// A project or workspace file that changed on disk since the document read
// (or wrote) it: where its bytes were kept before it was written over.
constexpr unsigned IDS_PRJ_CHANGED_KEPT = 5000;

// What went wrong with a file the document loads or saves.
enum class FileFault
{
    NotFound,  // the file does not exist
    BadFormat, // its contents are not of the format
    Generic    // it could not be read or written
};

// Thrown while saving in a format that has no writer.
class ProjectWriteError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// What the document's logic needs from the framework document that owns it.
class ProjectDocumentSite
{
public:
    virtual ~ProjectDocumentSite();
    // The full path of the project file (empty before the first save).
    virtual std::u16string PathName() = 0;
    // Sets or clears the modified flag.
    virtual void SetModified(bool modified) = 0;
    // The project's settings changed (modified flag and modification time).
    virtual void SettingsModified() = 0;
    // Updates the views of the project with a hint (a ProjectHint).
    virtual void Changed(long hint) = 0;
    // Reports a file that failed to load or save in the framework's words;
    // textId 0 is the framework's own "could not open / save" text; cause
    // is the system's error (an errno value, 0 for none), shown with the
    // file on a line of its own.
    // keptAs (a failed read): the file where the bytes of the file that
    // could not be read whole will be kept before it is first written over,
    // said below the report; empty when there is nothing to keep.
    virtual void ReportFileFault(std::u16string_view path, FileFault fault, bool saving,
                                 unsigned textId, uint32_t cause, std::u16string_view keptAs = {}) = 0;
    // A file read whose content is not what the reader expects: line is the
    // line at fault (from 1), 0 when the file ended too early.  Reported as
    // a bad format unless the site names the file and the line.
    virtual void ReportFormatFault(std::u16string_view path, unsigned textId, int /*line*/,
                                   std::u16string_view keptAs = {})
    {
        ReportFileFault(path, FileFault::BadFormat, false, textId, 0, keptAs);
    }
    // The documents of the workspace open now, their paths relative to
    // folder; false when no windows are there to collect them (the section
    // last read is written back then).
    virtual bool CollectWorkspaceDocuments(std::u16string_view folder,
                                           WorkspaceDocuments& docs) = 0;
    // A question or message, answered by the host (DocumentHost::Ask).
    virtual int Ask(std::u16string_view text, std::u16string_view caption, uint32_t style,
                    AskOwner owner) = 0;
};

class ProjectDocument
{
public:
    enum class ListKind
    {
        Source,
        Header,
        Support
    };

    explicit ProjectDocument(ProjectDocumentSite& site);
    ProjectDocument(const ProjectDocument&) = delete;
    ProjectDocument& operator=(const ProjectDocument&) = delete;

    ProjectData& Data() { return m_data; }
    const ProjectData& Data() const { return m_data; }
    // The documents section as last read (kept and written back unchanged
    // while no document views can reopen it).
    const WorkspaceDocuments& WorkspaceSection() const { return m_workspaceDocs; }
    void ClearWorkspaceSection() { m_workspaceDocs = {}; }

    // The defaults of a new project, with the current time.
    void SetProjectDefaults();
    // The folder of the project file with its trailing separator.
    std::u16string ProjectFolder();

    // --- Loading and saving ---------------------------------------------
    // Reads the project file and its workspace file.  forCopying: a template
    // opened for copying, whose missing workspace file is not reported and
    // whose documents are not kept.  False after a reported failure.
    bool Load(const std::u16string& path, bool forCopying);
    // Writes the project file (atomically) and its workspace file; after a
    // character that code page 1250 lacks, says which value changed.
    bool Save(const std::u16string& path);
    // Writes the workspace file of the project file at path alone, as Save
    // writes it, and leaves the project file as it is (formats 1 to 4 have
    // no workspace file: nothing is written).  A failure is reported.
    void SaveWorkspace(const std::u16string& path);
    // The bytes the project file at path would get from a save in its own
    // format, without the conversion question and without writing anything
    // (the workspace file neither); nullopt when they cannot be made.
    std::optional<std::string> ProjectFileBytes(const std::u16string& path);
    // The whole project file; a bad file throws ProjectFormatError, a format
    // without a writer ProjectWriteError.
    void Serialize(KxpArchive& ar);
    // Keeps the first value of a save that lost characters: the project
    // file's own, else the workspace file's.
    void NoteLossy(const KxpArchive& ar);

    // The header and the body of the project file's format, with the
    // workspace file (written beside it) or without it; a format without a
    // writer throws ProjectWriteError.
    void WriteProjectFile(KxpArchive& ar, bool withWorkspace);
    void WriteProjectV6(KxpArchive& ar);
    void ReadProjectV6(KxpArchive& ar);
    void WriteProjectV5(KxpArchive& ar);
    void ReadProjectV5(KxpArchive& ar);
    // Formats 1 to 4 hold everything in the project file and never touch a
    // workspace file; formats 3 and 4 carry the documents section.
    void WriteOldProject(KxpArchive& ar, int version);
    void ReadOldProject(KxpArchive& ar, int version);
    // The contents of the workspace file (formats 5 and 6).
    void WriteWorkspaceFile(KxpArchive& ar, int version);
    void ReadWorkspaceFile(KxpArchive& ar, int version);

    // --- Adding files ---------------------------------------------------
    // Takes the full path.  FilePath becomes the path relative to the
    // project folder (".." components where needed, the full path when no
    // relative path can be formed); FileName its last component.  A
    // FileName already in the same list (ASCII and code page 1250 letters
    // in any case) is refused with the list's message.  createNew makes an
    // empty file, asking before it replaces one.
    bool AddFile(const std::u16string& path, ListKind kind, bool createNew);

    // --- New projects -----------------------------------------------------
    // Copies the files of the loaded template (whose project file lay in
    // templateFolder) into destFolder under their file names; true when all
    // were copied.  Two entries with the same file name (any case) are
    // refused before anything is copied.
    bool CopyFilesTo(const std::u16string& templateFolder, const std::u16string& destFolder);
    // Fills this freshly defaulted project from a compiler configuration
    // file and copies its sources into projectFolder; 1 when complete, 0
    // after a failure that was reported.
    int ImportKnf(const std::u16string& knfPath, const std::u16string& projectFolder);
    // Creates a folder with its missing parents; false, reported, when it
    // cannot be made.
    bool CreateProjectFolder(const std::u16string& folder);

private:
    bool LoadProjectFile(const std::u16string& path);
    void WorkspaceStep(KxpArchive& ar, int version);
    // A workspace file that could not be read whole: its bytes are kept
    // beside it before anything is written over it.
    std::u16string NoteUnreadWorkspace(const std::u16string& path, std::optional<std::string> bytes,
                                       uint32_t mode);
    // The messages of a write over the project or workspace file, given
    // once the file's lock (sys::ReplaceLock) is let go: a box on the
    // screen never holds up another instance's write.
    using Messages = std::vector<std::function<void()>>;
    static void Tell(Messages& messages);
    // A write's fault at path, told with the messages.
    void LaterWriteFault(Messages& later, std::u16string path, unsigned failId, uint32_t cause);
    bool KeepUnreadWorkspace(unsigned failId, Messages& later);
    // The file the document last read or wrote at path, as it was then.
    struct FileOnDisk
    {
        std::u16string path;              // empty: none known
        std::optional<std::string> bytes; // none: nothing there, or it could not be read
        bool present = false;             // something was there
        uint64_t device = 0, inode = 0;   // what could not be read: its identity
        int64_t size = 0, writeSeconds = 0, writeNanoseconds = 0;
    };
    static FileOnDisk Recorded(const std::u16string& path, const std::optional<std::string>& bytes);
    // Before the document writes over a file it read or wrote: when that
    // changed on disk meanwhile, its bytes are kept beside it first (and
    // the user told where); false, reported, when they cannot be kept.
    // changed: whether it had changed.
    // Called with the file's lock held, from the check to the write.
    bool KeepChangedFile(const FileOnDisk& known, const std::u16string& path, unsigned failId,
                         bool& changed, Messages& later);
    // Takes the lock of the file at native (path as shown); false when it
    // cannot be had, with the report in later.
    bool LockForWrite(sys::ReplaceLock& lock, const std::string& native, const std::u16string& path,
                      unsigned failId, Messages& later);
    WorkspaceDocuments DocumentsToWrite(const std::u16string& folder);
    int Ask(std::u16string_view text, std::u16string_view caption, uint32_t style,
            AskOwner owner = AskOwner::MainWindow);

    ProjectDocumentSite& m_site;
    ProjectData m_data;
    WorkspaceDocuments m_workspaceDocs;
    std::optional<std::u16string> m_lossyValue;          // first replaced value of this save
    std::optional<std::u16string> m_workspaceLossyValue; // the same in the workspace file
    bool m_forCopying = false;                           // a template is being opened for copying
    // The workspace file last read, when it could not be read whole: its
    // path (as written), the bytes read (none when the read itself failed:
    // the file is linked to its kept name then), the name it is to be
    // kept under and the file's permission bits (the copy's).  Cleared
    // once it was kept.
    struct UnreadWorkspace
    {
        std::u16string path;
        std::optional<std::string> bytes;
        std::u16string keptAs;
        uint32_t mode = 0600;
    };
    std::optional<UnreadWorkspace> m_unreadWorkspace;
    FileOnDisk m_projectOnDisk;   // the project file as read or last written
    FileOnDisk m_workspaceOnDisk; // the workspace file the same way
};

// The first name "<path>.unreadable", "<path>.unreadable-2", ... (or with
// another suffix) at which nothing is (not even a dangling link); empty
// when none of them can be formed.
std::u16string FreeKeptName(const std::u16string& path, std::u16string_view suffix = u".unreadable");

// Keeps the bytes of the file at path (as given; none: the file itself,
// which could not be read, gets the kept name as a second link) as a new
// file at keptAs with the file's permission bits `mode` (never the
// umask's: a private file stays private), moving on to the next free name
// of FreeKeptName(path, suffix) while one is taken meanwhile.  0, or the
// errno value of the failure.
uint32_t KeepFileAs(const std::u16string& path, const std::optional<std::string>& bytes,
                    std::u16string& keptAs, std::u16string_view suffix, uint32_t mode);

// The time stamps the document records: seconds since 1970.
int64_t Now();
// The folder of a file path with its trailing separator ("" when none).
std::u16string FolderOf(std::u16string path);

} // namespace core
