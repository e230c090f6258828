// The project document's new-project flow and the import of a compiler
// configuration file.
#include "projectui/NewProjectDlg.h"
#include "projectui/DocCommon.h"
#include "projectui/QtText.h"
#include "projectui/StrandworkDoc.h"
#include "core/projfile/KnfImport.h"
#include "core/projfile/ProjectTemplates.h"
#include "platform/sys/FileIO.h"
#include "platform/sys/WinPath.h"
#include "platform/ui/App.h"
#include "platform/ui/FileDialogs.h"
#include "res/StringTable.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <new>

using namespace core;

namespace {

using projtext::Q;
using projtext::U16;

void ShowError(const QString& text)
{
    projtext::Ask(text, {}, core::ASK_OK | core::ASK_ICONERROR);
}

// The folder of a path with its trailing separator.
std::u16string FolderOf(std::u16string path)
{
    if (!sys::WinPath::RemoveFileSpec(path))
        return {};
    sys::WinPath::AddBackslash(path);
    return path;
}

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
    if (!bytes || !sys::AtomicWriteFile(*ndst, *bytes))
        return CopyResult::NotFound;
    return CopyResult::Copied;
}

} // namespace

int CStrandworkDoc::ImportKnf(const QString& knfPath, const QString& projectFolder)
{
    const std::u16string knf = U16(knfPath);
    const std::optional<std::string> native = sys::WinPath::ToNative(knf);
    uint64_t size = 0;
    const int fd = native ? sys::OpenForReading(*native, size) : -1;
    if (fd < 0) {
        ShowError(FormatResString(IDS_PRJ_KNF_OPEN_FAILED, knfPath));
        return 0;
    }
    std::string bytes;
    try {
        bytes.resize(static_cast<size_t>(size));
    } catch (const std::bad_alloc&) {
        ::close(fd);
        ShowError(LoadResString(IDS_NO_MEMORY));
        return 0;
    } catch (const std::length_error&) {
        ::close(fd);
        ShowError(LoadResString(IDS_NO_MEMORY));
        return 0;
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
    if (readError) {
        ShowError(FormatResString(IDS_PRJ_KNF_READ_FAILED, knfPath));
        return 0;
    }

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

    const std::u16string folder = U16(projectFolder);
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
        ShowError(FormatResString(IDS_PRJ_KNF_SOURCE_FAILED, r.candidates.back(), r.dest));
        return 0;
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

bool CStrandworkDoc::CreateProjectFolder(const QString& folder)
{
    const std::optional<std::string> native = sys::WinPath::ToNative(U16(folder));
    if (native && MakeFolders(*native))
        return true;
    ShowError(FormatResString(IDS_PRJ_DIR_CREATE_FAILED, folder));
    return false;
}

bool CStrandworkDoc::OnNewDocument()
{
    if (!ui::Document::OnNewDocument())
        return false;
    SetProjectDefaults();
    m_workspaceDocs = {};
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

    if (!CreateProjectFolder(folder))
        return false;
    const std::optional<std::string> native = sys::WinPath::ToNative(U16(folder));
    if (native && HasEntries(*native) &&
        projtext::Ask(FormatResString(IDS_PRJ_DIR_NOT_EMPTY, folder), LoadResString(IDS_PRJ_CONTINUE),
                   core::ASK_YESNO | core::ASK_ICONQUESTION) != core::ANSWER_YES)
        return false;

    if (choice.Kind == 2) {
        if (!CopyProjectFiles(Q(choice.Path), folder))
            return false;
        // Every project made here is of the current format.
        m_data.FormatVersion = 6;
        m_workspaceDocs = {};
    } else {
        if (choice.Kind == 1) {
            QFileDialog files(MainWindow(), QString(), folder,
                              ui::ConvertFileFilter(LoadResString(IDS_PRJ_KNF_FILTER)));
            files.setOption(QFileDialog::DontUseNativeDialog);
            files.setFileMode(QFileDialog::ExistingFile);
            files.setAcceptMode(QFileDialog::AcceptOpen);
            if (files.exec() != QDialog::Accepted || files.selectedFiles().isEmpty())
                return false;
            if (!ImportKnf(files.selectedFiles().first(), folder))
                return false;
        }
        if (!QueryCloseProject())
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
    BroadcastUpdate(nullptr, HINT_ALL);
    QDir::setCurrent(GetProjectDir());
    EditProjectSettings(MainWindow());
    return true;
}
