// The project document's logic: the project and workspace files, adding
// files, copying a template's files and importing a compiler configuration.
#include "core/project/ProjectDocument.h"

#include "core/projfile/KnfImport.h"
#include "core/projfile/ProjectFormat.h"
#include "platform/sys/AtomicFile.h"
#include "platform/sys/FileIO.h"
#include "platform/sys/LastError.h"
#include "platform/sys/NativeText.h"
#include "platform/sys/ReplaceLock.h"
#include "platform/sys/WinPath.h"
#include "res/text/StringIds.h"
#include "res/text/TextTable.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <new>
#include <vector>

namespace core {

int64_t Now()
{
    return static_cast<int64_t>(std::time(nullptr));
}

std::u16string FolderOf(std::u16string path)
{
    if (!sys::WinPath::RemoveFileSpec(path))
        return {};
    sys::WinPath::AddBackslash(path);
    return path;
}

namespace {

// Creates a native folder component by component.
bool MakeFolders(const std::string& native)
{
    struct stat st;
    for (size_t pos = 1; pos <= native.size(); ++pos) {
        if (pos < native.size() && native[pos] != '/')
            continue;
        const std::string part = native.substr(0, pos);
        if (::stat(part.c_str(), &st) == 0) {
            if (!S_ISDIR(st.st_mode))
                return false;
            continue;
        }
        if (::mkdir(part.c_str(), 0777) != 0 && errno != EEXIST)
            return false;
    }
    return ::stat(native.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

enum class CopyResult
{
    Copied,
    NotFound
};

// Copies a source onto the destination unless both are the same file; a
// source that is no regular file counts as not found.
CopyResult CopySource(const std::u16string& src, const std::u16string& dst)
{
    const std::optional<std::string> nsrc = sys::WinPath::ToNative(src);
    const std::optional<std::string> ndst = sys::WinPath::ToNative(dst);
    struct stat ss, ds;
    if (!nsrc || !ndst || ::stat(nsrc->c_str(), &ss) != 0 || !S_ISREG(ss.st_mode))
        return CopyResult::NotFound;
    if (::stat(ndst->c_str(), &ds) == 0 && ds.st_dev == ss.st_dev && ds.st_ino == ss.st_ino)
        return CopyResult::Copied; // already in place
    const std::optional<std::string> bytes = sys::ReadWholeFile(*nsrc);
    if (!bytes || !sys::AtomicReplaceFile(*ndst, *bytes))
        return CopyResult::NotFound;
    return CopyResult::Copied;
}

} // namespace

ProjectDocumentSite::~ProjectDocumentSite() = default;

ProjectDocument::ProjectDocument(ProjectDocumentSite& site) : m_site(site) {}

int ProjectDocument::Ask(std::u16string_view text, std::u16string_view caption, uint32_t style,
                         AskOwner owner)
{
    return m_site.Ask(text, caption, style, owner);
}

void ProjectDocument::SetProjectDefaults()
{
    core::SetProjectDefaults(m_data, Now());
}

std::u16string ProjectDocument::ProjectFolder()
{
    return FolderOf(m_site.PathName());
}

// ------------------------------------------------------ Loading and saving

bool ProjectDocument::Load(const std::u16string& path, bool forCopying)
{
    m_forCopying = forCopying;
    m_unreadWorkspace.reset();
    m_projectOnDisk = {};
    m_workspaceOnDisk = {};
    const bool loaded = LoadProjectFile(path);
    m_forCopying = false;
    if (loaded && forCopying)
        m_workspaceDocs = {}; // the template's documents are neither reopened nor kept
    return loaded;
}

bool ProjectDocument::LoadProjectFile(const std::u16string& path)
{
    // The project file the user named, exactly.
    std::optional<std::string> native = sys::LocalNativePath(path);
    if (!native || !sys::FileExists(*native)) {
        m_site.ReportFileFault(path, FileFault::NotFound, false, 0, 0);
        return false;
    }
    std::optional<std::string> bytes = sys::ReadWholeFile(*native);
    if (!bytes) {
        m_site.ReportFileFault(path, FileFault::Generic, false, 0, sys::GetLastError());
        return false;
    }
    if (!m_forCopying)
        m_projectOnDisk = Recorded(sys::WinPath::Canonicalize(path).value_or(path), bytes);
    m_site.SetModified(true); // dirty while it loads
    try {
        KxpArchive ar(false, path, std::move(*bytes));
        Serialize(ar);
    } catch (const ProjectFormatError& e) {
        m_site.ReportFormatFault(path, 0, e.Line());
        return false;
    }
    m_site.SetModified(false);
    return true;
}

bool ProjectDocument::Save(const std::u16string& path)
{
    m_lossyValue.reset();
    m_workspaceLossyValue.reset();
    // The user's own file: written where a symbolic link at its name leads.
    // Started first, so that a project file that cannot be written (a link
    // that names nothing, a folder) leaves the workspace file alone too.
    const std::optional<std::string> native = sys::LocalNativePath(path);
    sys::AtomicFile file;
    if (!native || !file.Open(*native)) {
        m_site.ReportFileFault(path, FileFault::Generic, true, 0, native ? sys::GetLastError() : ENAMETOOLONG);
        return false;
    }
    KxpArchive ar(true, path);
    try {
        Serialize(ar);
    } catch (const std::exception&) {
        m_site.ReportFileFault(path, FileFault::Generic, true, 0, 0);
        return false;
    }
    NoteLossy(ar);
    const std::u16string canonical = sys::WinPath::Canonicalize(path).value_or(path);
    // The check that the file is still what was read and the write are
    // one step against every other instance of the program.
    Messages later;
    bool written = false;
    {
        sys::ReplaceLock lock;
        bool changed = false;
        if (LockForWrite(lock, file.Target(), path, 0, later) &&
            KeepChangedFile(m_projectOnDisk, canonical, 0, changed, later)) {
            written = file.Write(ar.Bytes()) && file.Commit();
            if (!written)
                LaterWriteFault(later, path, 0, sys::GetLastError());
        }
    }
    Tell(later);
    if (!written)
        return false;
    m_projectOnDisk = Recorded(canonical, ar.Bytes());
    m_site.SetModified(false);
    m_site.Changed(HINT_ALL);
    if (m_lossyValue)
        Ask(res::FormatText(IDS_PRJ_CHARS_REPLACED, *m_lossyValue), {},
            ASK_OK | ASK_ICONEXCLAMATION);
    m_lossyValue.reset();
    return true;
}

void ProjectDocument::SaveWorkspace(const std::u16string& path)
{
    if (path.empty() || m_data.FormatVersion < 5)
        return;
    KxpArchive ar(true, path);
    WorkspaceStep(ar, m_data.FormatVersion);
    m_workspaceLossyValue.reset();
}

std::optional<std::string> ProjectDocument::ProjectFileBytes(const std::u16string& path)
{
    // Written for the place of the project file, so that the paths of the
    // older formats stay relative to its folder.
    KxpArchive ar(true, path);
    try {
        WriteProjectFile(ar, false);
    } catch (const std::exception&) {
        return std::nullopt;
    }
    return ar.Bytes();
}

void ProjectDocument::WriteProjectFile(KxpArchive& ar, bool withWorkspace)
{
    WriteProjectHeader(ar, m_data.FormatVersion);
    switch (m_data.FormatVersion) {
    case 6:
        if (withWorkspace)
            WriteProjectV6(ar);
        else
            WriteProjectBodyV6(ar, m_data);
        break;
    case 5:
        if (withWorkspace)
            WriteProjectV5(ar);
        else
            WriteProjectBodyV5(ar, m_data);
        break;
    case 4:
    case 3:
    case 2:
    case 1:
        WriteOldProject(ar, m_data.FormatVersion);
        break;
    default:
        throw ProjectWriteError("no writer of this format");
    }
}

void ProjectDocument::NoteLossy(const KxpArchive& ar)
{
    // The project file's own value comes first, then the workspace file's.
    if (ar.HadLossyCharacter())
        m_lossyValue = ar.FirstLossyValue();
    else if (m_workspaceLossyValue)
        m_lossyValue = m_workspaceLossyValue;
    m_workspaceLossyValue.reset();
}

void ProjectDocument::Serialize(KxpArchive& ar)
{
    if (ar.IsStoring()) {
        if (m_data.FormatVersion < kCurrentProjectFormat) {
            // No is the default answer: an unattended run never converts.
            if (Ask(res::LoadText(IDS_PRJ_CONVERT), res::LoadText(IDS_PRJ_CONVERT_CAPTION),
                    ASK_YESNO | ASK_ICONQUESTION | ASK_DEFBUTTON2) == ANSWER_YES)
                m_data.FormatVersion = kCurrentProjectFormat;
        }
        WriteProjectFile(ar, true);
        return;
    }

    const int version = ReadProjectHeader(ar);
    if (static_cast<unsigned>(version) > static_cast<unsigned>(kCurrentProjectFormat)) {
        Ask(res::LoadText(IDS_PRJ_NEWER_VERSION), {}, ASK_OK | ASK_ICONEXCLAMATION);
        ThrowFormatError(ar);
    }
    if (version == 0)
        ThrowFormatError(ar);
    m_data.FormatVersion = version;
    switch (version) {
    case 6:
        ReadProjectV6(ar);
        break;
    case 5:
        ReadProjectV5(ar);
        break;
    case 4:
    case 3:
    case 2:
    case 1:
        ReadOldProject(ar, version);
        break;
    default:
        ThrowFormatError(ar);
    }
    m_site.Changed(HINT_ALL);
}

void ProjectDocument::WriteProjectV6(KxpArchive& ar)
{
    WriteProjectBodyV6(ar, m_data);
    WorkspaceStep(ar, 6);
}

void ProjectDocument::WriteProjectV5(KxpArchive& ar)
{
    WriteProjectBodyV5(ar, m_data);
    WorkspaceStep(ar, 5);
}

void ProjectDocument::ReadProjectV6(KxpArchive& ar)
{
    ReadProjectBodyV6(ar, m_data, Now());
    WorkspaceStep(ar, 6);
}

void ProjectDocument::ReadProjectV5(KxpArchive& ar)
{
    ReadProjectBodyV5(ar, m_data, Now());
    WorkspaceStep(ar, 5);
}

WorkspaceDocuments ProjectDocument::DocumentsToWrite(const std::u16string& folder)
{
    WorkspaceDocuments docs;
    if (m_site.CollectWorkspaceDocuments(folder, docs))
        return docs;
    return m_workspaceDocs;
}

void ProjectDocument::WriteOldProject(KxpArchive& ar, int version)
{
    // The documents section (formats 3 and 4) is written relative to the
    // folder of the file being written, as a workspace file's would be.
    const std::u16string dir = FolderOf(ar.GetPath());
    WorkspaceDocuments docs;
    if (version >= 3)
        docs = DocumentsToWrite(dir);
    switch (version) {
    case 4:
        return WriteProjectBodyV4(ar, m_data, docs, dir);
    case 3:
        return WriteProjectBodyV3(ar, m_data, docs, dir);
    case 2:
        return WriteProjectBodyV2(ar, m_data, docs, dir);
    default:
        return WriteProjectBodyV1(ar, m_data, docs, dir);
    }
}

void ProjectDocument::ReadOldProject(KxpArchive& ar, int version)
{
    // The documents go where a workspace file's would, so the open reopens
    // them and a later save (also after converting) writes them again.
    const std::u16string dir = FolderOf(ar.GetPath());
    m_workspaceDocs = {};
    switch (version) {
    case 4:
        return ReadProjectBodyV4(ar, m_data, m_workspaceDocs, dir, Now());
    case 3:
        return ReadProjectBodyV3(ar, m_data, m_workspaceDocs, dir, Now());
    case 2:
        return ReadProjectBodyV2(ar, m_data, m_workspaceDocs, dir, Now());
    default:
        return ReadProjectBodyV1(ar, m_data, m_workspaceDocs, dir, Now());
    }
}

void ProjectDocument::WorkspaceStep(KxpArchive& ar, int version)
{
    const bool saving = ar.IsStoring();
    const unsigned failId = saving ? IDS_PRJ_WORKSPACE_SAVE_FAILED : IDS_PRJ_WORKSPACE_LOAD_FAILED;
    std::optional<std::u16string> path = sys::WinPath::Canonicalize(ar.GetPath());
    if (!path || !sys::WinPath::RenameExtension(*path, u".kxw")) {
        m_site.ReportFileFault(ar.GetPath(), FileFault::Generic, saving, failId, 0);
        return;
    }
    // Beside the project file, exactly (never a workspace of another case).
    std::optional<std::string> native = sys::LocalNativePath(*path);
    if (saving) {
        KxpArchive ws(true, *path);
        try {
            WriteWorkspaceFile(ws, version);
        } catch (const std::exception&) {
            m_site.ReportFileFault(*path, FileFault::Generic, true, failId, 0);
            return;
        }
        if (!native) {
            m_site.ReportFileFault(*path, FileFault::Generic, true, failId, ENAMETOOLONG);
            return;
        }
        // From the check to the write, one step against every other
        // instance of the program.
        Messages later;
        bool written = false;
        {
            sys::ReplaceLock lock;
            bool changed = false;
            // What changed on disk since it was read is kept beside it first.
            if (LockForWrite(lock, *native, *path, failId, later) &&
                KeepChangedFile(m_workspaceOnDisk, *path, failId, changed, later)) {
                // A workspace file that could not be read whole is kept
                // beside it before it is first written over; when it cannot
                // be kept, it stays as it is.  One that could not be read at
                // all and changed since is no longer there to keep (what is
                // there was kept above).
                bool kept = true;
                if (m_unreadWorkspace && m_unreadWorkspace->path == *path) {
                    if (changed && !m_unreadWorkspace->bytes)
                        m_unreadWorkspace.reset();
                    else
                        kept = KeepUnreadWorkspace(failId, later);
                }
                // The user's own file, written where a link at its name leads.
                written = kept && sys::AtomicWriteFile(*native, ws.Bytes());
                if (kept && !written)
                    LaterWriteFault(later, *path, failId, sys::GetLastError());
            }
        }
        Tell(later);
        if (!written)
            return;
        m_workspaceOnDisk = Recorded(*path, ws.Bytes());
        if (ws.HadLossyCharacter())
            m_workspaceLossyValue = ws.FirstLossyValue();
        return;
    }

    m_workspaceDocs = {};
    if (!native || !sys::FileExists(*native)) {
        // A template opened for copying may well have no workspace file.
        if (!m_forCopying) {
            m_workspaceOnDisk = Recorded(*path, std::nullopt);
            m_site.ReportFileFault(*path, FileFault::NotFound, false, failId, 0);
        }
        return;
    }
    uint32_t mode = 0;
    std::optional<std::string> bytes = sys::ReadWholeFile(*native, mode);
    if (!m_forCopying)
        m_workspaceOnDisk = Recorded(*path, bytes);
    if (!bytes) {
        const uint32_t cause = sys::GetLastError();
        m_site.ReportFileFault(*path, FileFault::Generic, false, failId, cause,
                               NoteUnreadWorkspace(*path, std::nullopt, mode));
        return;
    }
    KxpArchive ws(false, *path, std::string(*bytes));
    try {
        ReadWorkspaceFile(ws, version);
    } catch (const ProjectFormatError& e) {
        m_site.ReportFormatFault(*path, failId, e.Line(),
                                 NoteUnreadWorkspace(*path, std::move(bytes), mode));
    }
}

std::u16string ProjectDocument::NoteUnreadWorkspace(const std::u16string& path,
                                                    std::optional<std::string> bytes, uint32_t mode)
{
    // A template opened for copying is only read.
    if (m_forCopying)
        return {};
    std::u16string keptAs = FreeKeptName(path);
    m_unreadWorkspace = UnreadWorkspace{path, std::move(bytes), keptAs, mode};
    return keptAs;
}

void ProjectDocument::LaterWriteFault(Messages& later, std::u16string path, unsigned failId, uint32_t cause)
{
    later.push_back([this, path = std::move(path), failId, cause] {
        m_site.ReportFileFault(path, FileFault::Generic, true, failId, cause);
    });
}

void ProjectDocument::Tell(Messages& messages)
{
    for (const std::function<void()>& message : messages)
        message();
    messages.clear();
}

bool ProjectDocument::LockForWrite(sys::ReplaceLock& lock, const std::string& native,
                                   const std::u16string& path, unsigned failId, Messages& later)
{
    if (lock.Acquire(native))
        return true;
    // The file is named (a folder that cannot be written fails its write
    // too), the lock file where a link stands at its name.
    const uint32_t cause = sys::GetLastError();
    LaterWriteFault(later, cause == ELOOP ? sys::WinPath::FromNative(lock.Path()) : path, failId, cause);
    return false;
}

bool ProjectDocument::KeepUnreadWorkspace(unsigned failId, Messages& later)
{
    UnreadWorkspace& unread = *m_unreadWorkspace;
    const uint32_t cause =
        KeepFileAs(unread.path, unread.bytes, unread.keptAs, u".unreadable", unread.mode);
    if (cause == 0) {
        m_unreadWorkspace.reset();
        return true;
    }
    LaterWriteFault(later, unread.keptAs.empty() ? unread.path : unread.keptAs, failId, cause);
    return false;
}

ProjectDocument::FileOnDisk ProjectDocument::Recorded(const std::u16string& path,
                                                      const std::optional<std::string>& bytes)
{
    FileOnDisk file;
    file.path = path;
    file.bytes = bytes;
    const std::optional<std::string> native = sys::LocalNativePath(path);
    struct stat st;
    file.present = bytes.has_value() || (native && ::stat(native->c_str(), &st) == 0);
    if (!bytes && file.present) {
        file.device = uint64_t(st.st_dev);
        file.inode = uint64_t(st.st_ino);
        file.size = int64_t(st.st_size);
        file.writeSeconds = int64_t(st.st_mtim.tv_sec);
        file.writeNanoseconds = int64_t(st.st_mtim.tv_nsec);
    }
    return file;
}

bool ProjectDocument::KeepChangedFile(const FileOnDisk& known, const std::u16string& path,
                                      unsigned failId, bool& changed, Messages& later)
{
    changed = false;
    if (known.path.empty() || known.path != path)
        return true; // a file the document never read or wrote
    const std::optional<std::string> native = sys::LocalNativePath(path);
    struct stat st;
    if (!native || ::stat(native->c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return true; // nothing there to keep (the write says what else is wrong)
    uint32_t mode = 0;
    const std::optional<std::string> now = sys::ReadWholeFile(*native, mode);
    if (known.bytes)
        changed = !now || *now != *known.bytes;
    else if (known.present)
        changed = uint64_t(st.st_dev) != known.device || uint64_t(st.st_ino) != known.inode ||
                  int64_t(st.st_size) != known.size || int64_t(st.st_mtim.tv_sec) != known.writeSeconds ||
                  int64_t(st.st_mtim.tv_nsec) != known.writeNanoseconds;
    else
        changed = true; // none was there
    if (!changed)
        return true;
    std::u16string keptAs;
    const uint32_t cause = KeepFileAs(path, now, keptAs, u".changed", mode);
    if (cause != 0) {
        LaterWriteFault(later, keptAs.empty() ? path : keptAs, failId, cause);
        return false;
    }
    if (!keptAs.empty())
        later.push_back([this, path, keptAs] {
            Ask(res::FormatText(IDS_PRJ_CHANGED_KEPT, sys::ShownNativeText(path),
                                sys::ShownNativeText(keptAs)),
                {}, ASK_OK | ASK_ICONEXCLAMATION, AskOwner::None);
        });
    return true;
}

uint32_t KeepFileAs(const std::u16string& path, const std::optional<std::string>& bytes,
                    std::u16string& keptAs, std::u16string_view suffix, uint32_t mode)
{
    const std::optional<std::string> original = sys::LocalNativePath(path);
    if (keptAs.empty())
        keptAs = FreeKeptName(path, suffix);
    uint32_t cause = ENAMETOOLONG;
    // Never over an earlier kept copy: a name taken meanwhile moves on to
    // the next free one.
    for (int attempt = 0; attempt < 100 && !keptAs.empty(); ++attempt) {
        const std::optional<std::string> kept = sys::LocalNativePath(keptAs);
        if (!kept || !original)
            break;
        bool done = false;
        if (bytes) {
            sys::AtomicFile file;
            done = file.Open(*kept, sys::AtomicFile::kNoReplace);
            file.SetMode(mode & 0777); // the kept file's own, never the umask's
            done = done && file.Write(*bytes) && file.Commit();
            cause = done ? 0 : sys::GetLastError();
        } else {
            // It could not be read: the file itself gets the second name
            // (a link's target, which the write replaces).
            // Something that is no file (a folder) fails the write itself.
            struct stat st;
            char* real = nullptr;
            if (::stat(original->c_str(), &st) != 0 || !S_ISREG(st.st_mode) ||
                !(real = ::realpath(original->c_str(), nullptr))) {
                keptAs.clear(); // nothing there any more
                return 0;
            }
            done = ::link(real, kept->c_str()) == 0;
            cause = done ? 0 : uint32_t(errno);
            std::free(real);
        }
        if (done)
            return 0;
        if (cause != EEXIST)
            break;
        keptAs = FreeKeptName(path, suffix);
    }
    return cause;
}

std::u16string FreeKeptName(const std::u16string& path, std::u16string_view suffix)
{
    for (int n = 1; n < 1000; ++n) {
        std::u16string name = path;
        name += suffix;
        if (n > 1) {
            name += u'-';
            const std::string number = std::to_string(n);
            name.append(number.begin(), number.end());
        }
        // A name no longer than any path the program handles.
        const std::optional<std::string> native =
            name.size() < sys::WinPath::kMaxPath ? sys::LocalNativePath(name) : std::nullopt;
        if (!native)
            return {};
        struct stat st;
        if (::lstat(native->c_str(), &st) != 0 && errno == ENOENT)
            return name;
    }
    return {};
}

void ProjectDocument::WriteWorkspaceFile(KxpArchive& ar, int version)
{
    // The folder of the workspace file is the project folder of the file
    // being written (also when saving under a new name).
    const std::u16string dir = FolderOf(ar.GetPath());
    WriteWorkspace(ar, m_data, DocumentsToWrite(dir), version >= 6 ? 6 : 5, dir);
}

void ProjectDocument::ReadWorkspaceFile(KxpArchive& ar, int version)
{
    ReadWorkspace(ar, m_data, m_workspaceDocs, version >= 6 ? 6 : 5, FolderOf(ar.GetPath()));
}

// ------------------------------------------------------------ Adding files

bool ProjectDocument::AddFile(const std::u16string& path, ListKind kind, bool createNew)
{
    std::optional<std::u16string> full = sys::WinPath::Canonicalize(path);
    if (!full)
        return false;
    // Never a path from the shared root alone: ".." components, or the full
    // path when no relative path can be formed.
    const std::u16string rel = ProjectRelativePath(ProjectFolder(), *full);
    const std::u16string name = rel.substr(sys::WinPath::FindFileName(rel));
    // The project file would read another name back.
    if (!sys::WinPath::IsStorable(path, rel)) {
        Ask(res::FormatText(IDS_PRJ_NAME_NOT_STORABLE, sys::ShownNativeText(path)), {},
            ASK_OK | ASK_ICONERROR);
        return false;
    }

    auto duplicate = [&](const auto& list) {
        for (const auto& e : list)
            if (EqualsFileNameNoCase(e.FileName, name))
                return true;
        return false;
    };
    unsigned dupId = 0;
    switch (kind) {
    case ListKind::Source:
        dupId = duplicate(m_data.SourceFiles) ? IDS_PRJ_SOURCE_DUPLICATE : 0;
        break;
    case ListKind::Header:
        dupId = duplicate(m_data.HeaderFiles) ? IDS_PRJ_HEADER_DUPLICATE : 0;
        break;
    case ListKind::Support:
        dupId = duplicate(m_data.SupportFiles) ? IDS_PRJ_SUPPORT_DUPLICATE : 0;
        break;
    }
    if (dupId) {
        Ask(res::LoadText(dupId), {}, ASK_OK | ASK_ICONERROR);
        return false;
    }

    if (createNew) {
        // The file the user named, exactly.
        std::optional<std::string> native = sys::LocalNativePath(*full);
        if (native && sys::FileExists(*native) &&
            Ask(res::FormatText(IDS_PRJ_OVERWRITE, *full), res::LoadText(IDS_PRJ_OVERWRITE_CAPTION),
                ASK_YESNO | ASK_ICONQUESTION) != ANSWER_YES)
            return false;
        // An empty file in place of whatever stands at the name (a link
        // is replaced, what it names keeps its bytes).
        if (!native || !sys::AtomicReplaceFile(*native, {})) {
            Ask(res::FormatText(IDS_PRJ_CREATE_FAILED, *full), {}, ASK_OK | ASK_ICONERROR);
            return false;
        }
    }

    switch (kind) {
    case ListKind::Source:
        m_data.SourceFiles.push_back({name, rel});
        m_site.SettingsModified();
        m_site.Changed(HINT_SOURCE_LIST);
        break;
    case ListKind::Header:
        m_data.HeaderFiles.push_back({name, rel});
        m_site.SettingsModified();
        m_site.Changed(HINT_HEADER_LIST);
        break;
    case ListKind::Support:
        m_data.SupportFiles.push_back({name, rel, {}, 0, 0, 0});
        m_site.SetModified(true); // the settings modification time stays
        m_site.Changed(HINT_SUPPORT_LIST);
        break;
    }
    return true;
}

// ---------------------------------------------------------- New projects

bool ProjectDocument::CopyFilesTo(const std::u16string& templateFolder,
                                  const std::u16string& destFolder)
{
    const std::u16string& from = templateFolder;
    std::u16string to = destFolder;
    sys::WinPath::AddBackslash(to);

    struct Copy
    {
        std::u16string* filePath;
        const std::u16string* fileName;
        std::u16string src, dst;
    };
    std::vector<Copy> copies;
    auto collect = [&](auto& list) {
        for (auto& e : list) {
            Copy c{&e.FilePath, &e.FileName, ProjectFullPath(from, e.FilePath),
                   sys::WinPath::Combine(to, e.FileName).value_or(std::u16string())};
            copies.push_back(std::move(c));
        }
    };
    collect(m_data.SourceFiles);
    collect(m_data.HeaderFiles);
    collect(m_data.SupportFiles);
    auto copyFailed = [&](const Copy& c) {
        Ask(res::FormatText(IDS_PRJ_COPY_FAILED, c.src.empty() ? *c.filePath : c.src,
                            c.dst.empty() ? *c.fileName : c.dst),
            {}, ASK_OK | ASK_ICONERROR);
        return false;
    };

    // Two entries with one destination name would overwrite each other:
    // refuse before anything is copied.
    for (size_t j = 0; j < copies.size(); ++j) {
        for (size_t i = 0; i < j; ++i) {
            if (EqualsFileNameNoCase(*copies[i].fileName, *copies[j].fileName))
                return copyFailed(copies[j]);
        }
    }

    for (Copy& c : copies) {
        bool ok = false;
        if (!c.src.empty() && !c.dst.empty()) {
            std::optional<std::string> nsrc = sys::WinPath::ToNative(c.src),
                                       ndst = sys::WinPath::ToNative(c.dst);
            std::optional<std::string> bytes;
            if (nsrc && ndst && sys::IsRegularFile(*nsrc) && (bytes = sys::ReadWholeFile(*nsrc)))
                ok = sys::AtomicReplaceFile(*ndst, *bytes);
        }
        if (!ok)
            return copyFailed(c);
        *c.filePath = *c.fileName; // the file now lies in the project folder
    }
    return true;
}

int ProjectDocument::ImportKnf(const std::u16string& knf, const std::u16string& folder)
{
    auto showError = [this](const std::u16string& text) {
        Ask(text, {}, ASK_OK | ASK_ICONERROR);
        return 0;
    };
    // The configuration the user chose, exactly.
    const std::optional<std::string> native = sys::LocalNativePath(knf);
    uint64_t size = 0;
    const int fd = native ? sys::OpenForReading(*native, size) : -1;
    if (fd < 0)
        return showError(res::FormatText(IDS_PRJ_KNF_OPEN_FAILED, knf));
    std::string bytes;
    try {
        bytes.resize(static_cast<size_t>(size));
    } catch (const std::bad_alloc&) {
        ::close(fd);
        return showError(res::LoadText(IDS_NO_MEMORY));
    } catch (const std::length_error&) {
        ::close(fd);
        return showError(res::LoadText(IDS_NO_MEMORY));
    }
    size_t got = 0;
    bool readError = false;
    while (got < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            readError = true;
            break;
        }
        got += static_cast<size_t>(n);
    }
    ::close(fd);
    if (readError)
        return showError(res::FormatText(IDS_PRJ_KNF_READ_FAILED, knf));

    const std::u16string pathUser = ApplyKnf(m_data, ParseKnf(bytes));

    // The configuration folder and the folder above it.
    const std::u16string configDir = FolderOf(knf);
    std::u16string above = configDir;
    if (!sys::WinPath::Append(above, u".."))
        above.clear();
    else if (std::optional<std::u16string> c = sys::WinPath::Canonicalize(above))
        above = *c;
    std::u16string aboveName = above;
    sys::WinPath::RemoveBackslash(aboveName);
    aboveName = aboveName.substr(sys::WinPath::FindFileName(aboveName));

    struct Record
    {
        std::u16string destName, dest;
        std::vector<std::u16string> candidates;
    };
    std::vector<Record> records;
    for (const ProjectFileEntry& e : m_data.SourceFiles) {
        Record r;
        r.destName = e.FileName;
        sys::WinPath::RenameExtension(r.destName, u".plc");
        r.dest = sys::WinPath::Combine(folder, r.destName).value_or(r.destName);
        const std::u16string* bases[] = {&pathUser, &above, &configDir};
        for (const std::u16string* base : bases) {
            if (base->empty())
                continue;
            std::u16string p = *base;
            if (sys::WinPath::Append(p, e.FilePath))
                r.candidates.push_back(std::move(p));
        }
        if (r.candidates.empty())
            r.candidates.push_back(e.FilePath);
        records.push_back(std::move(r));
    }
    auto sourceFailed = [&](const Record& r) {
        return showError(res::FormatText(IDS_PRJ_KNF_SOURCE_FAILED, r.candidates.back(), r.dest));
    };
    // Two records with one destination would overwrite each other: stop
    // before anything is copied.
    for (size_t j = 0; j < records.size(); ++j) {
        for (size_t i = 0; i < j; ++i) {
            if (EqualsFileNameNoCase(records[i].destName, records[j].destName))
                return sourceFailed(records[j]);
        }
    }
    for (size_t i = 0; i < records.size(); ++i) {
        bool copied = false;
        for (const std::u16string& src : records[i].candidates) {
            if (CopySource(src, records[i].dest) == CopyResult::Copied) {
                copied = true;
                break;
            }
        }
        if (!copied)
            return sourceFailed(records[i]);
        m_data.SourceFiles[i].FileName = records[i].destName;
        m_data.SourceFiles[i].FilePath = records[i].destName;
    }

    if (std::optional<KnfCompilerVersion> v = CompilerVersionFromFolder(aboveName, m_data.Target))
        m_data.TarvaneVer = v->TarvaneVer;
    RecomputeCompilerVersion(m_data);
    return 1;
}

bool ProjectDocument::CreateProjectFolder(const std::u16string& folder)
{
    // The folder the user named, exactly.
    const std::optional<std::string> native = sys::LocalNativePath(folder);
    if (native && MakeFolders(*native))
        return true;
    Ask(res::FormatText(IDS_PRJ_DIR_CREATE_FAILED, folder), {}, ASK_OK | ASK_ICONERROR);
    return false;
}

} // namespace core
