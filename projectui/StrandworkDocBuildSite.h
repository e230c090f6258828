#pragma once
// How the project document's build reaches the document and, through it,
// the application's host.

#include "projectui/StrandworkDoc.h"

class CStrandworkDoc::BuildSite : public core::ProjectBuildSite
{
public:
    explicit BuildSite(CStrandworkDoc& doc) : m_doc(doc) {}

    core::DocumentHost* Host() override;
    std::u16string ProjectPath() override;
    std::u16string ProjectFolder() override;
    void SettingsModified() override;
    int Ask(std::u16string_view text, std::u16string_view caption, uint32_t style,
            core::AskOwner owner) override;

private:
    CStrandworkDoc& m_doc;
};
