// The build of a project: the full build, the conditional build with its
// dependency check, the clean and the compiler version update.  See
// docs/build.md.
#include "core/project/ProjectBuild.h"

#include "core/build/BuildChecks.h"
#include "core/build/BuildRunner.h"
#include "core/build/BuildStrings.h"
#include "core/build/MakeKnf.h"
#include "platform/sys/CodePage.h"
#include "platform/sys/FileIO.h"
#include "platform/sys/Format.h"
#include "platform/sys/WinPath.h"
#include "res/text/TextTable.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <system_error>

namespace core {

namespace {

std::u16string Str(unsigned id) { return res::LoadText(id); }

// Creates a folder with its missing parents; true when it is a folder now.
bool MakeFolders(const std::string& native)
{
    if (native.empty())
        return false;
    std::error_code ec;
    std::filesystem::create_directories(native, ec);
    return sys::IsDirectory(native);
}

std::optional<sys::FileTime> WriteTimeOf(const std::string& native)
{
    if (native.empty() || !sys::IsRegularFile(native))
        return std::nullopt;
    return sys::GetFileWriteTime(native);
}

std::optional<sys::FileTime> WriteTime(const std::u16string& path)
{
    return WriteTimeOf(sys::WinPath::StoredNativePath(path));
}

// The canonical native form of a folder: resolved links when it exists.
std::string RealFolder(const std::string& native)
{
    char buf[PATH_MAX];
    if (::realpath(native.c_str(), buf))
        return buf;
    auto c = sys::WinPath::Canonicalize(native);
    std::string s = c ? *c : native;
    while (s.size() > 1 && s.back() == '/')
        s.pop_back();
    return s;
}

// True when `folder` is `inner` or one of its ancestors, or a root.
bool IsProjectFolderOrAbove(const std::string& folder, const std::string& inner)
{
    if (folder.empty() || folder == "/")
        return true;
    return inner == folder ||
           (inner.size() > folder.size() && inner.compare(0, folder.size(), folder) == 0 &&
            inner[folder.size()] == '/');
}

} // namespace

ProjectBuildSite::~ProjectBuildSite() = default;

ProjectBuild::ProjectBuild(ProjectData& data, ProjectBuildSite& site) : m_data(data), m_site(site) {}

OutputSink* ProjectBuild::Sink()
{
    DocumentHost* host = m_site.Host();
    return host ? host->GetOutputCtrl() : nullptr;
}

void ProjectBuild::Out(std::u16string_view text)
{
    if (OutputSink* sink = Sink())
        sink->AppendText(text);
}

const AppSettings& ProjectBuild::Settings()
{
    static const AppSettings none;
    DocumentHost* host = m_site.Host();
    return host ? host->GetAppSettings() : none;
}

bool ProjectBuild::SaveAll()
{
    DocumentHost* host = m_site.Host();
    return !host || host->OnFileSaveAll();
}

bool ProjectBuild::WriteMakeKnf(const std::u16string& path)
{
    return core::WriteMakeKnf(m_data, m_site.ProjectPath(), Settings(), path, Sink());
}

bool ProjectBuild::Build()
{
    if (m_building)
        return false;
    DocumentHost* host = m_site.Host();
    OutputSink* sink = Sink();
    const std::u16string projectPath = m_site.ProjectPath();
    Out(sys::Format(Str(IDS_BUILD_BANNER), projectPath));

    auto fail = [&] {
        Out(Str(IDS_BUILD_FAILED));
        m_building = false;
        return false;
    };
    if (!SaveAll()) {
        Out(Str(IDS_BUILD_SAVE_FAILED));
        return fail();
    }
    m_building = true;

    const std::u16string projectFolder = m_site.ProjectFolder();
    const auto output = sys::WinPath::Combine(projectFolder, m_data.PathOutput);
    if (!output) {
        Out(sys::Format(Str(IDS_BUILD_OUTPUT_DIR_INVALID), m_data.PathOutput));
        return fail();
    }
    if (!MakeFolders(sys::WinPath::StoredNativePath(*output))) {
        Out(sys::Format(Str(IDS_BUILD_OUTPUT_DIR_FAILED), *output));
        return fail();
    }
    const auto temp = sys::WinPath::Combine(projectFolder, m_data.PathTemp);
    if (!temp) {
        Out(sys::Format(Str(IDS_BUILD_TEMP_DIR_INVALID), m_data.PathTemp));
        return fail();
    }
    if (!MakeFolders(sys::WinPath::StoredNativePath(*temp))) {
        Out(sys::Format(Str(IDS_BUILD_TEMP_DIR_FAILED), *temp));
        return fail();
    }
    std::u16string shortTemp = sys::WinPath::GetShortPathName(*temp);
    sys::WinPath::AddBackslash(shortTemp);

    const std::u16string makeFile =
        sys::WinPath::Combine(shortTemp, u"Make.knf").value_or(shortTemp);
    Out(u"Make.knf\r\n");
    if (!core::WriteMakeKnf(m_data, projectPath, Settings(), makeFile, sink))
        return fail();

    std::u16string compiler = CompilerFolder(m_data, Settings());
    sys::WinPath::Append(compiler, u"System");
    // The folder the options name is taken exactly, never another spelling.
    const std::optional<std::string> compilerNative =
        CompilersNative(m_data, Settings(), CompilerFolderName(m_data) + u"\\System");
    if (!compilerNative || !sys::IsDirectory(*compilerNative)) {
        Out(sys::Format(Str(IDS_BUILD_COMPILER_DIR_MISSING), compiler));
        return fail();
    }

    BuildPipes pipes;
    if (!pipes.Create()) {
        Out(Str(IDS_BUILD_PIPE_FAILED));
        return fail();
    }
    const std::u16string programFolder = host ? host->ProgramFolder() : std::u16string();
    const std::u16string batch = sys::WinPath::Combine(shortTemp, u"Make.bat").value_or(shortTemp);
    auto pump = [host] { return !host || host->PumpMessages(); };
    auto refuseQuit = [this] {
        m_site.Ask(Str(IDS_BUILD_NO_QUIT), {}, ASK_OK | ASK_ICONEXCLAMATION, AskOwner::None);
    };

    // The compiler writes the batch file anew: whatever stands at its name
    // (a symbolic link, to a file outside the project, to a folder or to
    // nothing; the file of an earlier build, also one with a second hard
    // link) is removed first, so the compiler never writes through it and
    // a batch file it did not write this time is never run.
    const std::string nativeBatch = sys::WinPath::StoredNativePath(batch);
    struct stat st;
    if (::lstat(nativeBatch.c_str(), &st) == 0 && !S_ISDIR(st.st_mode) && ::unlink(nativeBatch.c_str()) != 0 &&
        errno != ENOENT) {
        Out(sys::Format(Str(IDS_CLEAN_DELETE_FAILED), batch));
        return fail();
    }

    Out(Str(IDS_BUILD_RUN_COMPILER));
    m_cancel = false;
    {
        sys::Process process;
        const std::vector<std::u16string> argv{
            sys::WinPath::Combine(compiler, u"Tarv.exe").value_or(compiler), makeFile, batch};
        if (!StartBuildProcess(argv, compiler, pipes, programFolder, sink, process))
            return fail();
        if (RunBuildProcess(pipes, process, m_cancel, pump, refuseQuit, sink) != 0)
            return fail();
    }
    // Only a plain file is run: a link at the name now is none the
    // compiler wrote, and what it names is not run.
    if (::lstat(nativeBatch.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        Out(sys::Format(Str(IDS_BUILD_BATCH_NOT_FILE), batch));
        return fail();
    }
    Out(Str(IDS_BUILD_RUN_BATCH));
    {
        sys::Process process;
        if (!StartBuildProcess({batch}, shortTemp, pipes, programFolder, sink, process))
            return fail();
        if (RunBuildProcess(pipes, process, m_cancel, pump, refuseQuit, sink) != 0)
            return fail();
    }
    Out(Str(IDS_BUILD_SUCCEEDED));
    m_building = false;
    return true;
}

bool ProjectBuild::BuildIfNeeded()
{
    if (m_building)
        return false;
    if (!SaveAll()) {
        Out(Str(IDS_BUILD_SAVE_FAILED));
        return false;
    }
    Out(Str(IDS_BUILD_CHECKING));
    if (CheckDependencies()) {
        Out(Str(IDS_BUILD_UP_TO_DATE));
        return true;
    }
    return Build();
}

bool ProjectBuild::CheckDependencies()
{
    const std::u16string projectFolder = m_site.ProjectFolder();
    auto in = [&](const std::u16string& rel) {
        return sys::WinPath::Combine(projectFolder, rel).value_or(std::u16string());
    };
    sys::FileTime newest = SettingsTimeInstant(m_data.SettingsModificationTime);
    auto consider = [&](const std::u16string& rel) {
        const auto t = WriteTimeOf(sys::WinPath::ToNativeBelow(projectFolder, rel).value_or(""));
        if (!t)
            return false;
        newest = std::max(newest, *t);
        return true;
    };
    for (const ProjectFileEntry& e : m_data.SourceFiles)
        if (!consider(e.FilePath))
            return false;
    for (const ProjectFileEntry& e : m_data.HeaderFiles)
        if (!consider(e.FilePath))
            return false;
    for (const SupportFileEntry& e : m_data.SupportFiles)
        if (!consider(e.FilePath))
            return false;

    const std::u16string output = in(m_data.PathOutput);
    const std::u16string temp = in(m_data.PathTemp);
    auto at = [](const std::u16string& folder, const std::u16string& name) {
        return sys::WinPath::Combine(folder, name).value_or(std::u16string());
    };
    const auto linked = WriteTime(at(output, m_data.FileExe));
    if (UsesLinkedProgram(m_data) ? !OutputIsCurrent(linked, newest) : !linked)
        return false;
    if (!OutputIsCurrent(WriteTime(at(output, m_data.PLCOutputName)), newest))
        return false;
    if (m_data.SourceFiles.empty())
        return false;
    std::u16string listing = at(temp, m_data.SourceFiles[0].FilePath);
    sys::WinPath::RenameExtension(listing, u".LS1");
    if (!OutputIsCurrent(WriteTime(listing), newest))
        return false;
    if (!OutputIsCurrent(WriteTime(at(temp, m_data.FileMP2)), newest))
        return false;
    if (IsHaldorTarget(m_data) || m_data.TarvaneVerMajor < 6 ||
        (m_data.TarvaneVerMajor == 6 && m_data.TarvaneVerMinor < 349))
        return true;

    const std::u16string listPath = at(output, u"PLCBIN.txt");
    const std::string native = sys::WinPath::StoredNativePath(listPath);
    const int fd = native.empty() ? -1 : ::open(native.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    std::string content;
    bool readFailed = false;
    try {
        struct stat st;
        if (::fstat(fd, &st) == 0 && st.st_size > 0)
            content.reserve(size_t(st.st_size));
        char buf[65536];
        for (;;) {
            const ssize_t n = ::read(fd, buf, sizeof buf);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                readFailed = true;
                break;
            }
            if (n == 0)
                break;
            content.append(buf, size_t(n));
        }
    } catch (const std::bad_alloc&) {
        ::close(fd);
        Out(Str(IDS_NO_MEMORY));
        return false;
    }
    ::close(fd);
    if (readFailed) {
        Out(sys::Format(Str(IDS_FILE_READ_FAILED), listPath));
        return false;
    }
    if (content.empty())
        return true;
    for (const std::u16string& name : ParsePlcBinNames(sys::AnsiToWide(content))) {
        const std::string file = sys::WinPath::StoredNativePath(at(output, name));
        if (file.empty() || !sys::FileExists(file))
            return false;
    }
    return true;
}

void ProjectBuild::Clean()
{
    if (m_building)
        return;
    const std::u16string projectFolder = m_site.ProjectFolder();
    const std::string projectNative = RealFolder(sys::WinPath::StoredNativePath(projectFolder));
    const auto temp = sys::WinPath::Combine(projectFolder, m_data.PathTemp);
    if (!temp || sys::WinPath::StoredNativePath(*temp).empty() ||
        IsProjectFolderOrAbove(RealFolder(sys::WinPath::StoredNativePath(*temp)), projectNative)) {
        Out(sys::Format(Str(IDS_CLEAN_TEMP_INVALID), m_data.PathTemp));
        return;
    }
    const auto output = sys::WinPath::Combine(projectFolder, m_data.PathOutput);
    if (!output || sys::WinPath::StoredNativePath(*output).empty() ||
        IsProjectFolderOrAbove(RealFolder(sys::WinPath::StoredNativePath(*output)),
                               projectNative)) {
        Out(sys::Format(Str(IDS_CLEAN_OUTPUT_INVALID), m_data.PathOutput));
        return;
    }
    if (m_site.Ask(sys::Format(Str(IDS_CLEAN_ASK), *temp, *output), {}, ASK_YESNO | ASK_ICONQUESTION,
                   AskOwner::None) != ANSWER_YES)
        return;
    for (const std::u16string& folder : {*temp, *output}) {
        const std::string native = sys::WinPath::StoredNativePath(folder);
        DIR* d = ::opendir(native.c_str());
        if (!d)
            continue;
        std::vector<std::string> names;
        while (dirent* e = ::readdir(d))
            if (e->d_name[0] != '.')
                names.push_back(e->d_name);
        ::closedir(d);
        std::sort(names.begin(), names.end());
        for (const std::string& name : names) {
            const std::string path = native + "/" + name;
            if (::unlink(path.c_str()) < 0)
                Out(sys::Format(Str(IDS_CLEAN_DELETE_FAILED), sys::WinPath::FromNative(path)));
        }
    }
}

void ProjectBuild::UpdateToNewestCompilerVersion()
{
    const AppSettings& app = Settings();
    const std::u16string& base = m_data.PathTarvane.empty() ? app.PathTarvane : m_data.PathTarvane;
    const std::vector<std::u16string> folders = ListSubfolders(
        base.empty() ? std::string() : CompilersNative(m_data, app, {}).value_or(""));
    if (IsHaldorTarget(m_data)) {
        const auto v = NewestPelmarVersion(folders, m_data.PelmarVer);
        if (!v)
            return;
        m_data.TarvaneVer = sys::Format(u"%d", *v);
    } else {
        const auto v = NewestPlcVersion(folders, m_data.TarvaneVerMajor, m_data.TarvaneVerMinor);
        if (!v)
            return;
        m_data.TarvaneVer = sys::Format(u"%d.%d", v->first, v->second);
    }
    RecomputeCompilerVersion(m_data);
    m_site.SettingsModified();
}

} // namespace core
