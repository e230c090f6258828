// The project document's new-project flow (the import of a compiler
// configuration file lives in core::ProjectDocument).
#include "projectui/NewProjectDlg.h"
#include "projectui/DocCommon.h"
#include "projectui/QtText.h"
#include "projectui/StrandworkDoc.h"
#include "core/projfile/ProjectTemplates.h"
#include "platform/sys/NativeText.h"
#include "platform/sys/WinPath.h"
#include "platform/ui/App.h"
#include "platform/ui/FileDialogs.h"
#include "res/StringTable.h"

#include <QApplication>
#include <QDir>
#include "platform/ui/LocalPath.h"
#include <QFileDialog>

#include <dirent.h>

using namespace core;

namespace {

using projtext::Q;
using projtext::U16;

// Any entry besides "." and "..", hidden ones included.
bool HasEntries(const std::string& native)
{
    DIR* d = ::opendir(native.c_str());
    if (!d)
        return false;
    bool any = false;
    while (dirent* e = ::readdir(d)) {
        const std::string_view n = e->d_name;
        if (n != "." && n != "..") {
            any = true;
            break;
        }
    }
    ::closedir(d);
    return any;
}

} // namespace

int CStrandworkDoc::ImportKnf(const QString& knfPath, const QString& projectFolder)
{
    return m_logic->ImportKnf(U16(knfPath), U16(projectFolder));
}

bool CStrandworkDoc::OnNewDocument()
{
    if (!ui::Document::OnNewDocument())
        return false;
    SetProjectDefaults();
    m_logic->ClearWorkspaceSection();
    ProjectHost* host = GetProjectHost();
    if (!host)
        return false;

    CNewProjectDlg dlg(MainWindow());
    QApplication::setOverrideCursor(Qt::WaitCursor);
    for (const std::u16string& f : SplitTemplateFolders(host->GetAppSettings().PathTemplates))
        dlg.ScanTemplates(Q(f), true);
    QApplication::restoreOverrideCursor();
    if (dlg.DoModal() != QDialog::Accepted)
        return false;
    const ProjectTemplateInfo choice = dlg.GetSelected();
    const QString folder = dlg.GetProjectFolder();

    // Every question comes before anything is written: a refusal leaves the
    // disk as it was.
    const std::optional<std::string> native = sys::LocalNativePath(U16(folder));
    if (native && HasEntries(*native) &&
        projtext::Ask(FormatResString(IDS_PRJ_DIR_NOT_EMPTY, folder), LoadResString(IDS_PRJ_CONTINUE),
                   core::ASK_YESNO | core::ASK_ICONQUESTION) != core::ANSWER_YES)
        return false;
    QString knf;
    if (choice.Kind == 1) {
        ui::ExactFileDialog files(MainWindow(), QString(), folder,
                                  ui::ConvertFileFilter(LoadResString(IDS_PRJ_KNF_FILTER)));
        files.setFileMode(QFileDialog::ExistingFile);
        files.setAcceptMode(QFileDialog::AcceptOpen);
        if (files.exec() != QDialog::Accepted || files.ExactFiles().isEmpty())
            return false;
        knf = files.ExactFiles().first();
    }
    // For every kind, also a template, whose open below would otherwise
    // ask only after the folder was made.
    if (!QueryCloseProject())
        return false;
    // A template is read before the folder is made: one that cannot be
    // read leaves nothing behind either.  Its open asks nothing more: this
    // document is the open project now.
    if (choice.Kind == 2 && !OnOpenDocument(Q(choice.Path), true))
        return false;

    if (!m_logic->CreateProjectFolder(U16(folder)))
        return false;
    if (choice.Kind == 2) {
        if (!CopyOpenTemplateFiles(Q(choice.Path), folder))
            return false;
        // Every project made here is of the current format.
        Data().FormatVersion = 6;
        m_logic->ClearWorkspaceSection();
    } else if (choice.Kind == 1 && !ImportKnf(knf, folder)) {
        return false;
    }

    SetSettingsModified();
    std::u16string file = U16(folder);
    if (!sys::WinPath::Append(file, U16(dlg.GetProjectName() + QStringLiteral(".kxp"))))
        return false;
    const QString path = Q(file);
    SetPathName(path, false);
    if (!OnSaveDocument(path))
        return false;
    SetPathName(path, true); // now on the recent list
    m_opened = true;
    BroadcastUpdate(nullptr, HINT_ALL);
    ui::SetCurrentLocalFolder(GetProjectDir());
    EditProjectSettings(MainWindow());
    return true;
}
