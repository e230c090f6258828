#include "projectui/StrandworkDoc.h"

#include "projectui/DocCommon.h"
#include "projectui/StrandworkDocBuildSite.h"

#include "projectui/QtText.h"
#include "core/projfile/ProjectFormat.h"
#include "link/linkobj/olnk_link.h"
#include "link/ui/LinkMessages.h"
#include "platform/sys/FileIO.h"
#include "platform/sys/WinPath.h"
#include "platform/ui/App.h"
#include "res/StringTable.h"

#include <QDir>
#include <QIODevice>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ctime>

using namespace core;

namespace {

using projtext::Q;
using projtext::U16;

int64_t Now()
{
    return static_cast<int64_t>(std::time(nullptr));
}

// The folder of a file path with its trailing separator ("" when none).
std::u16string FolderOf(std::u16string path)
{
    if (!sys::WinPath::RemoveFileSpec(path))
        return {};
    sys::WinPath::AddBackslash(path);
    return path;
}

std::optional<std::string> Native(std::u16string_view path)
{
    return sys::WinPath::ToNative(path);
}

// A template of the application's document manager by its extension.
ui::DocTemplate* TemplateOf(const QString& ext)
{
    ui::DocManager* mgr = ui::DocManager::Current();
    if (!mgr)
        return nullptr;
    for (int i = 0; i < mgr->TemplateCount(); ++i) {
        ui::DocTemplate* t = mgr->Template(i);
        QString e;
        if (t && t->GetDocString(e, ui::DocTemplate::filterExt) &&
            e.compare(ext, Qt::CaseInsensitive) == 0)
            return t;
    }
    return nullptr;
}

} // namespace

std::unique_ptr<COlnkLink> MakeProjectLink();

CStrandworkDoc::CStrandworkDoc()
    : m_buildSite(std::make_unique<BuildSite>(*this)),
      m_build(std::make_unique<core::ProjectBuild>(m_data, *m_buildSite)),
      m_link(MakeProjectLink()),
      m_debug(std::make_unique<core::ProjectDebug>(m_data)),
      m_transfer(std::make_unique<CProjectTransfer>(*this))
{
    MapUpdate(ID_FILE_SAVE, [this](ui::CmdUI& cmdUi) { OnUpdateFileSave(cmdUi); });
    m_linkNotices = std::make_unique<linkui::LinkWindow>(
        this, [this](uint32_t msg, uintptr_t, intptr_t lParam, ui::MessageRecord*) -> intptr_t {
            if (msg == WM_LINK_NOTIFY && lParam == OLNK_NOTIFY_NO_ANSWER)
                OnRequestsUnanswered();
            return 0;
        });
    m_link->RegisterWindow(m_linkNotices->MessageTarget(), 1);
}

CStrandworkDoc::~CStrandworkDoc()
{
    // The file manager window goes first, then the link it uses.
    delete m_fileManager.data();
    // Never leave the application pointing at a deleted project.
    if (ProjectHost* host = GetProjectHost(); host && host->GetProjectDoc() == this)
        host->ClearProjectDoc();
}

QWidget* CStrandworkDoc::MainWindow() const
{
    ui::Application* app = ui::Application::Instance();
    return app ? static_cast<QWidget*>(app->GetMainWnd()) : nullptr;
}

void CStrandworkDoc::OnRequestsUnanswered()
{
    const uint32_t seconds = (m_link->JobTimeout() + 999) / 1000;
    projtext::Out(FormatResString(IDS_LINK_NO_ANSWER, int(seconds)).toStdU16String());
    if (ProjectHost* host = GetProjectHost())
        host->ShowConnectionError(this);
}

bool CStrandworkDoc::StopCommunication()
{
    if (m_debug->IsDebugging())
        StopDebugging();
    return m_link->Close() != 0;
}

void CStrandworkDoc::ReportSaveLoadException(const QString& path, ui::FileError error, bool saving,
                                             uint32_t defaultId)
{
    projtext::Ask(SaveLoadExceptionText(path, error, saving, defaultId), {},
                  core::ASK_ICONEXCLAMATION, core::AskOwner::None);
}

void CStrandworkDoc::OnUpdateFileSave(ui::CmdUI& cmdUi)
{
    cmdUi.Enable(IsModified());
}

void CStrandworkDoc::BroadcastUpdate(ui::View* sender, long hint, QObject* object)
{
    UpdateAllViews(sender, hint, object);
    switch (hint) {
    case HINT_ALL:
    case HINT_DEBUG_DISPLAY:
    case HINT_DEBUG_STATE:
    case HINT_BREAKPOINT:
    case HINT_MECH_WATCH:
    case HINT_LINE_REGS_WATCH:
        if (ProjectHost* host = GetProjectHost())
            host->UpdatePlcViews(sender, hint, object);
        break;
    default:
        break;
    }
}

void CStrandworkDoc::SetSettingsModified()
{
    SetModifiedFlag(true);
    m_data.SettingsModificationTime = Now();
}

void CStrandworkDoc::SetProjectDefaults()
{
    core::SetProjectDefaults(m_data, Now());
}

QString CStrandworkDoc::GetProjectDir() const
{
    return Q(FolderOf(U16(GetPathName())));
}

bool CStrandworkDoc::QueryCloseProject()
{
    ProjectHost* host = GetProjectHost();
    if (!host)
        return false;
    CStrandworkDoc* open = host->GetProjectDoc();
    if (!open) {
        bool others = false;
        for (const char* ext : {".txt", ".plc"}) {
            if (ui::DocTemplate* t = TemplateOf(QString::fromLatin1(ext));
                t && t->GetDocumentCount() > 0)
                others = true;
        }
        if (others) {
            if (projtext::Ask(LoadResString(IDS_PRJ_CLOSE_DOCUMENTS),
                           LoadResString(IDS_PRJ_CLOSE_DOCUMENTS_CAPTION),
                           core::ASK_YESNO | core::ASK_ICONQUESTION) != core::ANSWER_YES)
                return false;
            ui::DocManager* mgr = ui::DocManager::Current();
            if (!mgr || !mgr->SaveAllModified())
                return false;
            // Every modified document was saved or discarded just now: close
            // them all without asking a second time.  The guard keeps this
            // document's own close from running.
            m_closingGuard = true;
            for (ui::Document* doc : mgr->Documents()) {
                const std::vector<ui::Document*> now = mgr->Documents();
                if (std::find(now.begin(), now.end(), doc) != now.end())
                    doc->OnCloseDocument();
            }
            m_closingGuard = false;
        }
    } else if (open != this) {
        if (projtext::Ask(FormatResString(IDS_PRJ_CLOSE_PROJECT, open->GetPathName()),
                       LoadResString(IDS_PRJ_CLOSE_PROJECT_CAPTION),
                       core::ASK_YESNO | core::ASK_ICONQUESTION) != core::ANSWER_YES)
            return false;
        m_closingGuard = true;
        const bool closed = host->CloseProject(false);
        m_closingGuard = false;
        if (!closed)
            return false;
    }
    if (OutputSink* out = host->GetOutputCtrl())
        out->ClearAll();
    if (!host->SetProjectDoc(this))
        return false;
    m_isOpenProject = true;
    return true;
}

bool CStrandworkDoc::OnOpenDocument(const QString& path)
{
    return OnOpenDocument(path, false);
}

bool CStrandworkDoc::OnOpenDocument(const QString& path, bool forCopying)
{
    SetProjectDefaults();
    m_workspaceDocs = {};
    // The framework adds the path to the recent list once the open
    // succeeded; a template opened for copying never reaches it.
    SetPathName(path, false);
    if (!QueryCloseProject())
        return false;
    m_forCopying = forCopying;
    const bool loaded = LoadProjectFile(GetPathName());
    m_forCopying = false;
    if (!loaded) {
        ProjectHost* host = GetProjectHost();
        if (m_isOpenProject && host && host->GetProjectDoc() == this && host->ClearProjectDoc())
            m_isOpenProject = false;
        return false;
    }
    QDir::setCurrent(GetProjectDir());
    if (forCopying) {
        // The template's documents are neither reopened nor kept.
        m_workspaceDocs = {};
        return true;
    }
    if (ProjectHost* host = GetProjectHost()) {
        if (WorkspaceDocumentsPort* port = host->GetWorkspaceDocumentsPort())
            port->Apply(m_workspaceDocs);
    }
    return true;
}

bool CStrandworkDoc::LoadProjectFile(const QString& path)
{
    const std::u16string p = U16(path);
    std::optional<std::string> native = Native(p);
    if (!native || !sys::FileExists(*native)) {
        ReportSaveLoadException(path, ui::FileError::notFound, false, ui::IDS_FAILED_TO_OPEN);
        return false;
    }
    std::optional<std::string> bytes = sys::ReadWholeFile(*native);
    if (!bytes) {
        ReportSaveLoadException(path, ui::FileError::generic, false, ui::IDS_FAILED_TO_OPEN);
        return false;
    }
    SetModifiedFlag(true); // dirty while it loads
    try {
        KxpArchive ar(false, p, std::move(*bytes));
        Serialize(ar);
    } catch (const ProjectFormatError&) {
        ReportSaveLoadException(path, ui::FileError::badFormat, false, ui::IDS_FAILED_TO_OPEN);
        return false;
    } catch (const ui::ArchiveException& e) {
        ReportSaveLoadException(path,
                                e.CauseCode() == ui::ArchiveException::generic
                                    ? ui::FileError::generic
                                    : ui::FileError::badFormat,
                                false, ui::IDS_FAILED_TO_OPEN);
        return false;
    }
    SetModifiedFlag(false);
    return true;
}

bool CStrandworkDoc::OnSaveDocument(const QString& path)
{
    m_lossyValue.reset();
    m_workspaceLossyValue.reset();
    const std::u16string target = U16(path);
    KxpArchive ar(true, target);
    try {
        Serialize(ar);
    } catch (const std::exception&) {
        ReportSaveLoadException(path, ui::FileError::generic, true, ui::IDS_FAILED_TO_SAVE);
        return false;
    }
    NoteLossy(ar);
    std::optional<std::string> native = Native(target);
    if (!native || !sys::AtomicWriteFile(*native, ar.Bytes())) {
        ReportSaveLoadException(path, ui::FileError::generic, true, ui::IDS_FAILED_TO_SAVE);
        return false;
    }
    SetModifiedFlag(false);
    BroadcastUpdate(nullptr, HINT_ALL);
    if (m_lossyValue)
        projtext::Ask(FormatResString(IDS_PRJ_CHARS_REPLACED, *m_lossyValue), {},
                   core::ASK_OK | core::ASK_ICONEXCLAMATION);
    m_lossyValue.reset();
    return true;
}

void CStrandworkDoc::NoteLossy(const KxpArchive& ar)
{
    // The project file's own value comes first, then the workspace file's.
    if (ar.HadLossyCharacter())
        m_lossyValue = ar.FirstLossyValue();
    else if (m_workspaceLossyValue)
        m_lossyValue = m_workspaceLossyValue;
    m_workspaceLossyValue.reset();
}

void CStrandworkDoc::OnCloseDocument()
{
    if (m_closingGuard)
        return;
    if (m_debug->IsDebugging())
        StopDebugging();
    if (m_link->IsOpen())
        StopCommunication();
    ProjectHost* host = GetProjectHost();
    if (host && host->GetProjectDoc() == this && host->ClearProjectDoc())
        m_isOpenProject = false;
    ui::Document::OnCloseDocument();
}

void CStrandworkDoc::Serialize(ui::Archive& ar)
{
    // The framework's own archive: the whole file passes through memory.
    QIODevice& dev = ar.Device();
    QString name;
    if (auto* file = qobject_cast<QFileDevice*>(&dev))
        name = file->fileName();
    if (name.isEmpty())
        name = GetPathName();
    try {
        if (ar.IsStoring()) {
            KxpArchive kxp(true, U16(name));
            Serialize(kxp);
            NoteLossy(kxp);
            ar.Write(kxp.Bytes().data(), qint64(kxp.Bytes().size()));
        } else {
            QByteArray all = dev.readAll();
            KxpArchive kxp(false, U16(name), std::string(all.constData(), size_t(all.size())));
            Serialize(kxp);
        }
    } catch (const ProjectFormatError& e) {
        throw ui::ArchiveException(ui::ArchiveException::badFormat, e.what());
    }
}

void CStrandworkDoc::Serialize(KxpArchive& ar)
{
    if (ar.IsStoring()) {
        if (m_data.FormatVersion < kCurrentProjectFormat) {
            // No is the default answer: an unattended run never converts.
            if (projtext::Ask(LoadResString(IDS_PRJ_CONVERT), LoadResString(IDS_PRJ_CONVERT_CAPTION),
                           core::ASK_YESNO | core::ASK_ICONQUESTION | core::ASK_DEFBUTTON2) == core::ANSWER_YES)
                m_data.FormatVersion = kCurrentProjectFormat;
        }
        WriteProjectHeader(ar, m_data.FormatVersion);
        switch (m_data.FormatVersion) {
        case 6:
            WriteProjectV6(ar);
            break;
        case 5:
            WriteProjectV5(ar);
            break;
        case 4:
            WriteProjectV4(ar);
            break;
        case 3:
            WriteProjectV3(ar);
            break;
        case 2:
            WriteProjectV2(ar);
            break;
        case 1:
            WriteProjectV1(ar);
            break;
        default:
            throw ui::ArchiveException(ui::ArchiveException::generic, "no writer of this format");
        }
        return;
    }

    const int version = ReadProjectHeader(ar);
    if (static_cast<unsigned>(version) > static_cast<unsigned>(kCurrentProjectFormat)) {
        projtext::Ask(LoadResString(IDS_PRJ_NEWER_VERSION), {}, core::ASK_OK | core::ASK_ICONEXCLAMATION);
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
        ReadProjectV4(ar);
        break;
    case 3:
        ReadProjectV3(ar);
        break;
    case 2:
        ReadProjectV2(ar);
        break;
    case 1:
        ReadProjectV1(ar);
        break;
    default:
        ThrowFormatError(ar);
    }
    BroadcastUpdate(nullptr, HINT_ALL);
}

void CStrandworkDoc::WriteProjectV6(KxpArchive& ar)
{
    WriteProjectBodyV6(ar, m_data);
    WorkspaceStep(ar, 6);
}

void CStrandworkDoc::WriteProjectV5(KxpArchive& ar)
{
    WriteProjectBodyV5(ar, m_data);
    WorkspaceStep(ar, 5);
}

void CStrandworkDoc::ReadProjectV6(KxpArchive& ar)
{
    ReadProjectBodyV6(ar, m_data, Now());
    WorkspaceStep(ar, 6);
}

void CStrandworkDoc::ReadProjectV5(KxpArchive& ar)
{
    ReadProjectBodyV5(ar, m_data, Now());
    WorkspaceStep(ar, 5);
}

void CStrandworkDoc::WriteProjectV4(KxpArchive& ar)
{
    WriteOldProject(ar, 4);
}
void CStrandworkDoc::ReadProjectV4(KxpArchive& ar)
{
    ReadOldProject(ar, 4);
}
void CStrandworkDoc::WriteProjectV3(KxpArchive& ar)
{
    WriteOldProject(ar, 3);
}
void CStrandworkDoc::ReadProjectV3(KxpArchive& ar)
{
    ReadOldProject(ar, 3);
}
void CStrandworkDoc::WriteProjectV2(KxpArchive& ar)
{
    WriteOldProject(ar, 2);
}
void CStrandworkDoc::ReadProjectV2(KxpArchive& ar)
{
    ReadOldProject(ar, 2);
}
void CStrandworkDoc::WriteProjectV1(KxpArchive& ar)
{
    WriteOldProject(ar, 1);
}
void CStrandworkDoc::ReadProjectV1(KxpArchive& ar)
{
    ReadOldProject(ar, 1);
}

void CStrandworkDoc::WriteOldProject(KxpArchive& ar, int version)
{
    // The documents section (formats 3 and 4) is written relative to the
    // folder of the file being written, as a workspace file's would be.
    const std::u16string dir = FolderOf(ar.GetPath());
    WorkspaceDocuments docs;
    if (version >= 3) {
        ProjectHost* host = GetProjectHost();
        WorkspaceDocumentsPort* port = host ? host->GetWorkspaceDocumentsPort() : nullptr;
        docs = port ? port->Collect(Q(dir)) : m_workspaceDocs;
    }
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

void CStrandworkDoc::ReadOldProject(KxpArchive& ar, int version)
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

void CStrandworkDoc::WorkspaceStep(KxpArchive& ar, int version)
{
    const bool saving = ar.IsStoring();
    const unsigned failId = saving ? IDS_PRJ_WORKSPACE_SAVE_FAILED : IDS_PRJ_WORKSPACE_LOAD_FAILED;
    std::optional<std::u16string> path = sys::WinPath::Canonicalize(ar.GetPath());
    if (!path || !sys::WinPath::RenameExtension(*path, u".kxw")) {
        ReportSaveLoadException(Q(ar.GetPath()), ui::FileError::generic, saving, failId);
        return;
    }
    const QString qpath = Q(*path);
    std::optional<std::string> native = Native(*path);
    if (saving) {
        KxpArchive ws(true, *path);
        try {
            if (version >= 6)
                WriteWorkspaceV6(ws);
            else
                WriteWorkspaceV5(ws);
        } catch (const std::exception&) {
            ReportSaveLoadException(qpath, ui::FileError::generic, true, failId);
            return;
        }
        if (!native || !sys::AtomicWriteFile(*native, ws.Bytes())) {
            ReportSaveLoadException(qpath, ui::FileError::generic, true, failId);
            return;
        }
        if (ws.HadLossyCharacter())
            m_workspaceLossyValue = ws.FirstLossyValue();
        return;
    }

    m_workspaceDocs = {};
    if (!native || !sys::FileExists(*native)) {
        // A template opened for copying may well have no workspace file.
        if (!m_forCopying)
            ReportSaveLoadException(qpath, ui::FileError::notFound, false, failId);
        return;
    }
    std::optional<std::string> bytes = sys::ReadWholeFile(*native);
    if (!bytes) {
        ReportSaveLoadException(qpath, ui::FileError::generic, false, failId);
        return;
    }
    KxpArchive ws(false, *path, std::move(*bytes));
    try {
        if (version >= 6)
            ReadWorkspaceV6(ws);
        else
            ReadWorkspaceV5(ws);
    } catch (const ProjectFormatError&) {
        ReportSaveLoadException(qpath, ui::FileError::badFormat, false, failId);
    }
}

namespace {

std::u16string WorkspaceDir(const KxpArchive& ar)
{
    // The folder of the workspace file is the project folder of the file
    // being written or read (also when saving under a new name).
    return FolderOf(ar.GetPath());
}

} // namespace

void CStrandworkDoc::WriteWorkspaceV6(KxpArchive& ar)
{
    const std::u16string dir = WorkspaceDir(ar);
    ProjectHost* host = GetProjectHost();
    WorkspaceDocumentsPort* port = host ? host->GetWorkspaceDocumentsPort() : nullptr;
    WriteWorkspace(ar, m_data, port ? port->Collect(Q(dir)) : m_workspaceDocs, 6, dir);
}

void CStrandworkDoc::WriteWorkspaceV5(KxpArchive& ar)
{
    const std::u16string dir = WorkspaceDir(ar);
    ProjectHost* host = GetProjectHost();
    WorkspaceDocumentsPort* port = host ? host->GetWorkspaceDocumentsPort() : nullptr;
    WriteWorkspace(ar, m_data, port ? port->Collect(Q(dir)) : m_workspaceDocs, 5, dir);
}

void CStrandworkDoc::ReadWorkspaceV6(KxpArchive& ar)
{
    ReadWorkspace(ar, m_data, m_workspaceDocs, 6, WorkspaceDir(ar));
}

void CStrandworkDoc::ReadWorkspaceV5(KxpArchive& ar)
{
    ReadWorkspace(ar, m_data, m_workspaceDocs, 5, WorkspaceDir(ar));
}

// ------------------------------------------------------------ Adding files

bool CStrandworkDoc::AddExistingSourceFile(const QString& path)
{
    return AddFile(path, ListKind::Source, false);
}
void CStrandworkDoc::AddNewSourceFile(const QString& path)
{
    AddFile(path, ListKind::Source, true);
}
bool CStrandworkDoc::AddExistingHeaderFile(const QString& path)
{
    return AddFile(path, ListKind::Header, false);
}
void CStrandworkDoc::AddNewHeaderFile(const QString& path)
{
    AddFile(path, ListKind::Header, true);
}
bool CStrandworkDoc::AddExistingSupportFile(const QString& path)
{
    return AddFile(path, ListKind::Support, false);
}
void CStrandworkDoc::AddNewSupportFile(const QString& path)
{
    AddFile(path, ListKind::Support, true);
}

bool CStrandworkDoc::AddFile(const QString& path, ListKind kind, bool createNew)
{
    std::optional<std::u16string> full = sys::WinPath::Canonicalize(U16(path));
    if (!full)
        return false;
    // Never a path from the shared root alone: ".." components, or the full
    // path when no relative path can be formed.
    const std::u16string rel = ProjectRelativePath(U16(GetProjectDir()), *full);
    const std::u16string name = rel.substr(sys::WinPath::FindFileName(rel));

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
        projtext::Ask(LoadResString(dupId), {}, core::ASK_OK | core::ASK_ICONERROR);
        return false;
    }

    if (createNew) {
        std::optional<std::string> native = Native(*full);
        if (native && sys::FileExists(*native) &&
            projtext::Ask(FormatResString(IDS_PRJ_OVERWRITE, *full),
                       LoadResString(IDS_PRJ_OVERWRITE_CAPTION), core::ASK_YESNO | core::ASK_ICONQUESTION) != core::ANSWER_YES)
            return false;
        int fd =
            native ? ::open(native->c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666) : -1;
        if (fd < 0) {
            projtext::Ask(FormatResString(IDS_PRJ_CREATE_FAILED, *full), {},
                       core::ASK_OK | core::ASK_ICONERROR);
            return false;
        }
        ::close(fd);
    }

    switch (kind) {
    case ListKind::Source:
        m_data.SourceFiles.push_back({name, rel});
        SetSettingsModified();
        BroadcastUpdate(nullptr, HINT_SOURCE_LIST);
        break;
    case ListKind::Header:
        m_data.HeaderFiles.push_back({name, rel});
        SetSettingsModified();
        BroadcastUpdate(nullptr, HINT_HEADER_LIST);
        break;
    case ListKind::Support:
        m_data.SupportFiles.push_back({name, rel, {}, 0, 0, 0});
        SetModifiedFlag(true); // the settings modification time stays
        BroadcastUpdate(nullptr, HINT_SUPPORT_LIST);
        break;
    }
    return true;
}

bool CStrandworkDoc::CopyProjectFiles(const QString& templatePath, const QString& destFolder)
{
    if (!OnOpenDocument(templatePath, true))
        return false;
    const std::u16string from = FolderOf(U16(templatePath));
    std::u16string to = U16(destFolder);
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
        projtext::Ask(FormatResString(IDS_PRJ_COPY_FAILED, c.src.empty() ? *c.filePath : c.src,
                                   c.dst.empty() ? *c.fileName : c.dst),
                   {}, core::ASK_OK | core::ASK_ICONERROR);
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
            std::optional<std::string> nsrc = Native(c.src), ndst = Native(c.dst);
            std::optional<std::string> bytes;
            if (nsrc && ndst && sys::IsRegularFile(*nsrc) && (bytes = sys::ReadWholeFile(*nsrc)))
                ok = sys::AtomicWriteFile(*ndst, *bytes);
        }
        if (!ok)
            return copyFailed(c);
        *c.filePath = *c.fileName; // the file now lies in the project folder
    }
    QDir::setCurrent(destFolder);
    return true;
}
