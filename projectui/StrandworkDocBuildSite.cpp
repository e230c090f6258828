// The project document's side of its build (core::ProjectBuild): the
// project's paths, its settings flag and the host that answers questions.
#include "projectui/StrandworkDocBuildSite.h"

#include "projectui/DocCommon.h"

core::DocumentHost* CStrandworkDoc::BuildSite::Host() { return GetProjectHost(); }

std::u16string CStrandworkDoc::BuildSite::ProjectPath() { return m_doc.GetPathName().toStdU16String(); }

std::u16string CStrandworkDoc::BuildSite::ProjectFolder() { return m_doc.GetProjectDir().toStdU16String(); }

void CStrandworkDoc::BuildSite::SettingsModified() { m_doc.SetSettingsModified(); }

int CStrandworkDoc::BuildSite::Ask(std::u16string_view text, std::u16string_view caption, uint32_t style,
                                   core::AskOwner owner)
{
    if (ProjectHost* host = GetProjectHost())
        return host->Ask(text, caption, style, owner);
    return ProjectHost::AskWithPrompt(text, caption, style, owner);
}
