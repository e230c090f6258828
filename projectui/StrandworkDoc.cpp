#include "projectui/StrandworkDoc.h"

#include "projectui/DocCommon.h"
#include "projectui/StrandworkDocBuildSite.h"
#include "projectui/StrandworkDocSite.h"

#include "projectui/QtText.h"
#include "link/linkobj/olnk_link.h"
#include "link/ui/LinkMessages.h"
#include "platform/ui/App.h"
#include "platform/ui/Command.h"
#include "res/StringTable.h"

#include <QDir>
#include "platform/ui/LocalPath.h"
#include <QIODevice>

#include <algorithm>
#include <cerrno>

using namespace core;

namespace {

using projtext::Q;
using projtext::U16;

// The output line when the control system left requests without a reply.
constexpr unsigned IDS_LINK_NO_ANSWER = 4725;
// How long closing the link waits for the control system to confirm that
// the watch lists ended.
constexpr uint32_t kEndWatchesWaitMs = 1000;

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
    : m_logicSite(std::make_unique<DocumentSite>(*this)),
      m_logic(std::make_unique<core::ProjectDocument>(*m_logicSite)),
      m_buildSite(std::make_unique<BuildSite>(*this)),
      m_build(std::make_unique<core::ProjectBuild>(Data(), *m_buildSite)),
      m_link(MakeProjectLink()),
      m_debug(std::make_unique<core::ProjectDebug>(Data())),
      m_transfer(std::make_unique<CProjectTransfer>(*this))
{
    MapCommand(ID_FILE_SAVE, [this] { DoFileSave(); });
    MapUpdate(ID_FILE_SAVE, [this](ui::CmdUI& cmdUi) { OnUpdateFileSave(cmdUi); });
    m_linkNotices = std::make_unique<linkui::LinkWindow>(
        this, [this](uint32_t msg, uintptr_t, intptr_t lParam, ui::MessageRecord*) -> intptr_t {
            if (msg == WM_LINK_NOTIFY && lParam == OLNK_NOTIFY_NO_ANSWER)
                OnRequestsUnanswered();
            // The state of the link or of the PLC changed: the status bar
            // and the commands show it without waiting for the user's
            // next key or click.
            if (msg == WM_LINK_STATE || msg == WM_LINK_NOTIFY)
                ui::IdleUpdater::Instance().Invalidate();
            return 0;
        });
    m_link->RegisterWindow(m_linkNotices->MessageTarget(), OLNK_LIST_NOTIFY);
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
    // The control system would otherwise go on pushing watched values to a
    // port nobody reads.
    if (m_link->IsOpen())
        m_link->EndWatches(kEndWatchesWaitMs);
    return m_link->Close() != 0;
}

void CStrandworkDoc::ReportSaveLoadException(const QString& path, ui::FileError error, bool saving,
                                             uint32_t defaultId, uint32_t cause)
{
    projtext::Ask(SaveLoadExceptionText(path, error, saving, defaultId, cause), {},
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
    Data().SettingsModificationTime = Now();
}

void CStrandworkDoc::SetProjectDefaults()
{
    m_logic->SetProjectDefaults();
}

QString CStrandworkDoc::GetProjectDir() const
{
    return Q(m_logic->ProjectFolder());
}

bool CStrandworkDoc::QueryCloseProject()
{
    ProjectHost* host = GetProjectHost();
    if (!host)
        return false;
    CStrandworkDoc* open = host->GetProjectDoc();
    if (open == this)
        return true; // asked already (a new project from a template opens it after the question)
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
    m_opened = false;
    SetProjectDefaults();
    m_logic->ClearWorkspaceSection();
    // The framework adds the path to the recent list once the open
    // succeeded; a template opened for copying never reaches it.
    SetPathName(path, false);
    if (!QueryCloseProject())
        return false;
    if (!m_logic->Load(U16(GetPathName()), forCopying)) {
        ProjectHost* host = GetProjectHost();
        if (m_isOpenProject && host && host->GetProjectDoc() == this && host->ClearProjectDoc())
            m_isOpenProject = false;
        return false;
    }
    ui::SetCurrentLocalFolder(GetProjectDir());
    if (forCopying)
        return true;
    if (ProjectHost* host = GetProjectHost()) {
        if (WorkspaceDocumentsPort* port = host->GetWorkspaceDocumentsPort())
            port->Apply(m_logic->WorkspaceSection());
    }
    m_opened = true;
    return true;
}

bool CStrandworkDoc::OnSaveDocument(const QString& path)
{
    return m_logic->Save(U16(path));
}

bool CStrandworkDoc::WriteCopy(const QString& path, uint32_t& cause)
{
    const std::optional<std::string> bytes = m_logic->ProjectFileBytes(U16(GetPathName()));
    if (!bytes) {
        cause = EIO;
        return false;
    }
    return ui::WriteNewFile(path, *bytes, cause);
}

void CStrandworkDoc::SaveWorkspace()
{
    // While the project is read (its error may be on the screen) the data
    // are partly the defaults: written now, they would replace the
    // workspace file the user has, or make one beside a file that is no
    // project.
    if (m_opened)
        m_logic->SaveWorkspace(U16(GetPathName()));
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
    m_opened = false;
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
            m_logic->NoteLossy(kxp);
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
    try {
        m_logic->Serialize(ar);
    } catch (const ProjectWriteError& e) {
        throw ui::ArchiveException(ui::ArchiveException::generic, e.what());
    }
}

// The formats, the workspace file and the adding of files live in
// core::ProjectDocument.
void CStrandworkDoc::WriteProjectV6(KxpArchive& ar) { m_logic->WriteProjectV6(ar); }
void CStrandworkDoc::ReadProjectV6(KxpArchive& ar) { m_logic->ReadProjectV6(ar); }
void CStrandworkDoc::WriteProjectV5(KxpArchive& ar) { m_logic->WriteProjectV5(ar); }
void CStrandworkDoc::ReadProjectV5(KxpArchive& ar) { m_logic->ReadProjectV5(ar); }
void CStrandworkDoc::WriteProjectV4(KxpArchive& ar) { m_logic->WriteOldProject(ar, 4); }
void CStrandworkDoc::ReadProjectV4(KxpArchive& ar) { m_logic->ReadOldProject(ar, 4); }
void CStrandworkDoc::WriteProjectV3(KxpArchive& ar) { m_logic->WriteOldProject(ar, 3); }
void CStrandworkDoc::ReadProjectV3(KxpArchive& ar) { m_logic->ReadOldProject(ar, 3); }
void CStrandworkDoc::WriteProjectV2(KxpArchive& ar) { m_logic->WriteOldProject(ar, 2); }
void CStrandworkDoc::ReadProjectV2(KxpArchive& ar) { m_logic->ReadOldProject(ar, 2); }
void CStrandworkDoc::WriteProjectV1(KxpArchive& ar) { m_logic->WriteOldProject(ar, 1); }
void CStrandworkDoc::ReadProjectV1(KxpArchive& ar) { m_logic->ReadOldProject(ar, 1); }
void CStrandworkDoc::WriteWorkspaceV6(KxpArchive& ar) { m_logic->WriteWorkspaceFile(ar, 6); }
void CStrandworkDoc::WriteWorkspaceV5(KxpArchive& ar) { m_logic->WriteWorkspaceFile(ar, 5); }
void CStrandworkDoc::ReadWorkspaceV6(KxpArchive& ar) { m_logic->ReadWorkspaceFile(ar, 6); }
void CStrandworkDoc::ReadWorkspaceV5(KxpArchive& ar) { m_logic->ReadWorkspaceFile(ar, 5); }

bool CStrandworkDoc::AddExistingSourceFile(const QString& path)
{
    return m_logic->AddFile(U16(path), ProjectDocument::ListKind::Source, false);
}
void CStrandworkDoc::AddNewSourceFile(const QString& path)
{
    m_logic->AddFile(U16(path), ProjectDocument::ListKind::Source, true);
}
bool CStrandworkDoc::AddExistingHeaderFile(const QString& path)
{
    return m_logic->AddFile(U16(path), ProjectDocument::ListKind::Header, false);
}
void CStrandworkDoc::AddNewHeaderFile(const QString& path)
{
    m_logic->AddFile(U16(path), ProjectDocument::ListKind::Header, true);
}
bool CStrandworkDoc::AddExistingSupportFile(const QString& path)
{
    return m_logic->AddFile(U16(path), ProjectDocument::ListKind::Support, false);
}
void CStrandworkDoc::AddNewSupportFile(const QString& path)
{
    m_logic->AddFile(U16(path), ProjectDocument::ListKind::Support, true);
}

bool CStrandworkDoc::CopyProjectFiles(const QString& templatePath, const QString& destFolder)
{
    return OnOpenDocument(templatePath, true) && CopyOpenTemplateFiles(templatePath, destFolder);
}

bool CStrandworkDoc::CopyOpenTemplateFiles(const QString& templatePath, const QString& destFolder)
{
    if (!m_logic->CopyFilesTo(FolderOf(U16(templatePath)), U16(destFolder)))
        return false;
    ui::SetCurrentLocalFolder(destFolder);
    return true;
}
