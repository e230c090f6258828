// The framework document's side of the project document's logic.
#include "projectui/StrandworkDocSite.h"

#include "projectui/DocCommon.h"
#include "projectui/QtText.h"

#include "platform/ui/LocalPath.h"

std::u16string CStrandworkDoc::DocumentSite::PathName()
{
    return projtext::U16(m_doc.GetPathName());
}

void CStrandworkDoc::DocumentSite::SetModified(bool modified)
{
    m_doc.SetModifiedFlag(modified);
}

void CStrandworkDoc::DocumentSite::SettingsModified()
{
    m_doc.SetSettingsModified();
}

void CStrandworkDoc::DocumentSite::Changed(long hint)
{
    m_doc.BroadcastUpdate(nullptr, hint);
}

namespace {
// Below the report of a file that could not be read whole: where it will be
// kept before it is first written over.
QString KeptNote(std::u16string_view keptAs)
{
    if (keptAs.empty())
        return {};
    return QLatin1Char('\n') +
           FormatResString(core::IDS_PRJ_WORKSPACE_KEPT, ui::ShownLocalPath(projtext::Q(keptAs)));
}
} // namespace

void CStrandworkDoc::DocumentSite::ReportFileFault(std::u16string_view path, core::FileFault fault,
                                                   bool saving, unsigned textId, uint32_t cause,
                                                   std::u16string_view keptAs)
{
    ui::FileError error = ui::FileError::generic;
    if (fault == core::FileFault::NotFound)
        error = ui::FileError::notFound;
    else if (fault == core::FileFault::BadFormat)
        error = ui::FileError::badFormat;
    if (textId == 0)
        textId = saving ? ui::IDS_FAILED_TO_SAVE : ui::IDS_FAILED_TO_OPEN;
    if (keptAs.empty()) {
        m_doc.ReportSaveLoadException(projtext::Q(path), error, saving, textId, cause);
        return;
    }
    projtext::Ask(ui::Document::SaveLoadExceptionText(projtext::Q(path), error, saving, textId, cause) +
                      KeptNote(keptAs),
                  {}, core::ASK_ICONEXCLAMATION, core::AskOwner::None);
}

void CStrandworkDoc::DocumentSite::ReportFormatFault(std::u16string_view path, unsigned textId, int line,
                                                     std::u16string_view keptAs)
{
    const QString file = projtext::Q(path);
    const QString wrong = line > 0 ? FormatResString(core::IDS_PRJ_BAD_LINE, line)
                                   : LoadResString(core::IDS_PRJ_CUT_SHORT);
    projtext::Ask(ui::Document::SaveLoadExceptionText(file, ui::FileError::badFormat, false, textId) +
                      QLatin1Char('\n') +
                      ui::FrameworkText(ui::IDS_FILE_CAUSE).arg(ui::ShownLocalPath(file), wrong) +
                      KeptNote(keptAs),
                  {}, core::ASK_ICONEXCLAMATION, core::AskOwner::None);
}

bool CStrandworkDoc::DocumentSite::CollectWorkspaceDocuments(std::u16string_view folder,
                                                             core::WorkspaceDocuments& docs)
{
    ProjectHost* host = GetProjectHost();
    WorkspaceDocumentsPort* port = host ? host->GetWorkspaceDocumentsPort() : nullptr;
    if (!port)
        return false;
    docs = port->Collect(projtext::Q(folder));
    return true;
}

int CStrandworkDoc::DocumentSite::Ask(std::u16string_view text, std::u16string_view caption,
                                      uint32_t style, core::AskOwner owner)
{
    if (ProjectHost* host = GetProjectHost())
        return host->Ask(text, caption, style, owner);
    return ProjectHost::AskWithPrompt(text, caption, style, owner);
}
