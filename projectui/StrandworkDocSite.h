#pragma once
// How the project document's logic (core::ProjectDocument) reaches the
// framework document that owns it: the modified flag, the views, the
// framework's report of a failed load or save, the open documents of the
// workspace and the host that answers questions.

#include "projectui/StrandworkDoc.h"

class CStrandworkDoc::DocumentSite : public core::ProjectDocumentSite
{
public:
    explicit DocumentSite(CStrandworkDoc& doc) : m_doc(doc) {}

    std::u16string PathName() override;
    void SetModified(bool modified) override;
    void SettingsModified() override;
    void Changed(long hint) override;
    void ReportFileFault(std::u16string_view path, core::FileFault fault, bool saving,
                         unsigned textId, uint32_t cause, std::u16string_view keptAs) override;
    // The framework's text of a bad format and, on a line of its own, the
    // file and what is wrong with it (the line, or its end); below, where
    // the file will be kept (keptAs).
    void ReportFormatFault(std::u16string_view path, unsigned textId, int line,
                           std::u16string_view keptAs) override;
    bool CollectWorkspaceDocuments(std::u16string_view folder,
                                   core::WorkspaceDocuments& docs) override;
    int Ask(std::u16string_view text, std::u16string_view caption, uint32_t style,
            core::AskOwner owner) override;

private:
    CStrandworkDoc& m_doc;
};
