// The project's communication with the control system, for the project
// document that owns it: opening the link, starting debugging, the file
// manager, and the transfers of the PLC interface, the cassette software, the compiler files
// and the support files.  See docs/transfers.md.
#include "core/build/BuildChecks.h"
#include "core/build/MakeKnf.h"
#include "core/project/PlcImage.h"
#include "projectui/DocCommon.h"
#include "projectui/QtText.h"
#include "projectui/ProjectTransfer.h"
#include "projectui/StrandworkDoc.h"
#include "link/linkobj/olnk_link.h"
#include "link/ui/FileManagerDlg.h"
#include "link/ui/FileOpDlg.h"
#include "link/ui/TransferProgressDlg.h"
#include "platform/sys/Beneath.h"
#include "platform/sys/CodePage.h"
#include "platform/sys/FileIO.h"
#include "platform/sys/Format.h"
#include "platform/sys/LastError.h"
#include "platform/sys/LocalFiles.h"
#include "platform/sys/WinPath.h"
#include "platform/ui/App.h"
#include "res/StringTable.h"
#include "res/text/StringIds.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>
#include <vector>

using namespace core;

namespace {

using projtext::Q;
using projtext::U16;

using projtext::MakeFolders;
using projtext::Out;
using projtext::Sink;
using projtext::Str;

// The engine's error lines go to the output window, so that every failing
// file is named.
void OutCallback(std::u16string_view line, void*)
{
    Out(line);
}

QWidget* MainWindow()
{
    ui::Application* app = ui::Application::Instance();
    return app ? static_cast<QWidget*>(app->GetMainWnd()) : nullptr;
}

int Ask(unsigned text, unsigned caption, uint32_t style)
{
    return projtext::Ask(LoadResString(text), LoadResString(caption), style);
}

void Notice(unsigned text, unsigned caption)
{
    projtext::Ask(LoadResString(text), LoadResString(caption), core::ASK_OK | core::ASK_ICONINFORMATION);
}

std::unique_ptr<PlcCommandDialog> NewCommandDialog()
{
    ProjectHost* host = GetProjectHost();
    return host ? host->CreatePlcCommandDialog() : nullptr;
}

// The fetched files take the execute permission of the installed files
// they replace (the same path below the installed folder, never through a
// link), so that programs that ran still run.  False when a mode cannot be
// set.
bool CarryExecutePermission(int root, const std::string& fetched, const std::string& installed, int depth = 0)
{
    std::vector<sys::LocalEntry> entries;
    if (depth > 64 || !sys::ListFolderBeneath(root, fetched, entries))
        return false;
    for (const sys::LocalEntry& e : entries) {
        const std::string now = fetched + "/" + e.name;
        const std::string was = installed + "/" + e.name;
        if (e.folder && !CarryExecutePermission(root, now, was, depth + 1))
            return false;
        sys::LocalEntry old;
        if (!e.regular || !sys::StatBeneath(root, was, old) || !old.regular)
            continue;
        const uint32_t mode = (e.mode & ~0111u) | (old.mode & 0111u);
        if (mode != e.mode && !sys::SetModeBeneath(root, now, mode))
            return false;
    }
    return true;
}

// The programs of the compiler that the build runs ("System/Tarv.exe",
// found also as "System/Tarv") may be run by whoever may read them.
bool MakeProgramsRunnable(int root, const std::string& fetched)
{
    for (const char* program : {"/System/Tarv.exe", "/System/Tarv"}) {
        const std::string path = fetched + program;
        sys::LocalEntry e;
        if (!sys::StatBeneath(root, path, e) || !e.regular)
            continue;
        const uint32_t mode = e.mode | 0100u | ((e.mode & 0044u) >> 2);
        if ((mode != e.mode && !sys::SetModeBeneath(root, path, mode)) || !sys::CanRunBeneath(root, path))
            return false;
    }
    return true;
}

// A fetch copies the folder over the installed one: the fetched entries
// replace their namesakes, and every entry of the installed folder that
// the fetch does not bring (a file of the user's own, such as an include
// file) stays.  Each gets its name in the fetched folder as a second link
// of the same file (bytes, mode and time as they were; a copy where the
// file system links nothing), a folder is made there and filled the same
// way, then given its mode.  Nothing below the installed folder changes,
// so a fetch that fails after this leaves it as it was.  False when an
// entry cannot be kept, with its path below root in `failed`.
bool KeepInstalledEntries(int root, const std::string& installed, const std::string& fetched,
                          std::string& failed, int depth = 0)
{
    std::vector<sys::LocalEntry> entries;
    if (depth > 64 || !sys::ListFolderBeneath(root, installed, entries)) {
        failed = installed;
        return false;
    }
    for (const sys::LocalEntry& e : entries) {
        const std::string was = installed + "/" + e.name, now = fetched + "/" + e.name;
        sys::LocalEntry brought;
        if (sys::StatBeneath(root, now, brought)) {
            // A folder of both: the files of the user in it stay too.
            if (e.folder && brought.folder &&
                !KeepInstalledEntries(root, was, now, failed, depth + 1))
                return false;
            continue;
        }
        bool kept = errno == ENOENT;
        if (kept && e.folder)
            kept = sys::CreateFolderBeneath(root, now, 0700) &&
                   KeepInstalledEntries(root, was, now, failed, depth + 1) &&
                   sys::SetFolderModeBeneath(root, now, e.mode);
        else if (kept)
            kept = sys::LinkBeneath(root, was, root, now);
        if (!kept) {
            if (failed.empty())
                failed = was;
            return false;
        }
    }
    return true;
}

const AppSettings& Settings()
{
    static const AppSettings none;
    ProjectHost* host = GetProjectHost();
    return host ? host->GetAppSettings() : none;
}

// The length of PLC information that counts: the smaller of the reply's own
// u16 length and the bytes received.
size_t InfoLength(const std::vector<uint8_t>& reply)
{
    if (reply.size() < 2)
        return 0;
    return std::min<size_t>(LeU16(reply.data(), 0), reply.size());
}

// The bytes a reply of a kind needs for the fields read here.
size_t InfoNeeded(uint32_t kind)
{
    return kind == 1 ? 20 : 48;
}

// A native path as text for the output window.
std::u16string Shown(const std::string& native)
{
    return sys::Utf8ToUtf16Lenient(native);
}

// A whole file read into memory.
enum class ReadResult
{
    Ok,
    OpenFailed,
    BadSize,
    NoMemory,
    ReadFailed
};

struct FileBytes
{
    std::unique_ptr<uint8_t[]> data;
    uint32_t size = 0;
};

// Opens read-only, takes the size and reads it in one go.  allowEmpty: a
// file of 0 bytes is read as empty; otherwise 0 bytes and 4 GiB or more
// are BadSize.
ReadResult ReadFileBytes(const std::string& native, bool allowEmpty, FileBytes& out)
{
    out = {};
    const int fd = native.empty() ? -1 : ::open(native.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return ReadResult::OpenFailed;
    struct stat st{};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return ReadResult::ReadFailed;
    }
    const uint64_t size = uint64_t(st.st_size);
    if (size >= (uint64_t(1) << 32) || (size == 0 && !allowEmpty)) {
        ::close(fd);
        return ReadResult::BadSize;
    }
    out.size = uint32_t(size);
    out.data.reset(new (std::nothrow) uint8_t[size + 1]);
    if (!out.data) {
        ::close(fd);
        out.size = 0;
        return ReadResult::NoMemory;
    }
    uint64_t done = 0;
    while (done < size) {
        const ssize_t n = ::read(fd, out.data.get() + done, size_t(size - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += uint64_t(n);
    }
    ::close(fd);
    if (done != size) {
        out = {};
        return ReadResult::ReadFailed;
    }
    out.data[size] = 0;
    return ReadResult::Ok;
}

constexpr char16_t kPlcOutput[] = u"\\PLCOUTPUT\\";
constexpr char16_t kRuntimeImage[] = u"LOD_KAP.EXE";
constexpr char16_t kRuntimeBackup[] = u"LOD_KAP.EX~";
constexpr size_t kPairsPerCopy = 100;

bool CopyFiles(IOxfrC* link, std::u16string_view from, std::u16string_view to,
               const std::vector<std::u16string>& names, const std::vector<std::u16string>& targets)
{
    linkui::CFileOpDlg dlg(MainWindow());
    return dlg.Copy(link, from, to, names.data(), targets.data(), int(names.size()), nullptr,
                    &OutCallback);
}

} // namespace

// ------------------------------------------------------------ communication

bool CProjectTransfer::StartCommunication()
{
    if (!m_doc.m_link->Open(333, m_doc.Data().OlnkConnectionString.c_str(), 1000)) {
        Out(u"Nepodařilo se vytvořit spojení\r\n");
        return false;
    }
    static constexpr struct
    {
        uint16_t id;
        const char16_t* failure;
    } kInterfaces[] = {
        {OLNK_IID_PL, u"Nepodařilo se inicializovat rozhraní IOlnkPL\r\n"},
        {OLNK_IID_DBGPLCC, u"Nepodařilo se inicializovat rozhraní IDbgPLCC\r\n"},
        {OLNK_IID_OXFRC, u"Nepodařilo se inicializovat rozhraní IOxfrC\r\n"},
        {OLNK_IID_OXFRS, u"Nepodařilo se inicializovat rozhraní IOxfrS\r\n"},
    };
    for (const auto& i : kInterfaces) {
        if (!m_doc.m_link->InitInterface(i.id)) {
            Out(i.failure);
            m_doc.m_link->Close();
            return false;
        }
    }
    if (!m_doc.m_link->Start()) {
        Out(u"Nepodařilo se spustit komunikaci");
        m_doc.m_link->Close();
        return false;
    }
    return true;
}

// --------------------------------------------------------------- debugging

bool CProjectTransfer::StartDebugging()
{
    // The listing is named after the first source: nothing to debug without one.
    if (m_doc.Data().SourceFiles.empty())
        return false;
    if (!m_doc.BuildIfNeeded() || !TransferPlcInterface(true) || !TransferSupportFiles())
        return false;

    m_doc.m_debug->PrepareRun(U16(m_doc.GetProjectDir()), *m_doc.m_link, Sink());
    m_doc.EnterDebugging();
    return true;
}

void CProjectTransfer::ShowFileManager()
{
    if (!m_doc.m_link->IsConnected() && !StartCommunication())
        return;
    IOxfrC* xfr = m_doc.m_link.get();
    if (!m_doc.m_fileManager) {
        auto* dlg = new linkui::CFileManagerDlg();
        const std::u16string local = U16(m_doc.GetProjectDir());
        if (!dlg->Create(xfr, local.c_str(), u"\\", MainWindow())) {
            delete dlg;
            return;
        }
        m_doc.m_fileManager = dlg;
    } else {
        m_doc.m_fileManager->RefreshPanels();
    }
    m_doc.m_fileManager->show();
    m_doc.m_fileManager->raise();
    m_doc.m_fileManager->activateWindow();
}

// --------------------------------------------------------- PLC interface

bool CProjectTransfer::TransferPlcInterface(bool compare)
{
    if (!m_doc.m_link->IsConnected()) {
        Out(Str(IDS_XFER_CONNECTING));
        if (!StartCommunication()) {
            Out(Str(IDS_XFER_CONNECT_FAILED));
            return false;
        }
    }
    IOlnkPL* pl = m_doc.m_link.get();
    Out(Str(IDS_XFER_CHECKING_VERSION));
    std::unique_ptr<PlcCommandDialog> dlg = NewCommandDialog();
    uint32_t kind = 0;
    std::vector<uint8_t> info;
    if (!dlg || !dlg->GetPLCInfo(pl, kind, info) || InfoLength(info) < InfoNeeded(kind)) {
        Out(Str(IDS_XFER_INFO_FAILED));
        return false;
    }
    const uint8_t* reply = info.data();

    bool installed = false;
    if (IsHaldorTarget(m_doc.Data())) {
        const uint32_t revision = LeU32(reply, 16);
        if (kind == 1 && int64_t(revision) != int64_t(m_doc.Data().PelmarVer)) {
            const int answer = Ask(IDS_XFER_HALDOR_VERSION_ASK, IDS_XFER_HALDOR_VERSION_CAPTION,
                                   core::ASK_YESNOCANCEL | core::ASK_ICONQUESTION);
            if (answer == core::ANSWER_YES) {
                m_doc.Data().TarvaneVer = sys::Format(u"%u", revision);
                RecomputeCompilerVersion(m_doc.Data());
                m_doc.SetSettingsModified();
                m_doc.BroadcastUpdate(nullptr, HINT_COMPILER);
                Notice(IDS_XFER_REBUILD_NOTICE, IDS_XFER_RESTART_CAPTION);
                return false;
            }
            if (answer != core::ANSWER_NO) {
                Out(Str(IDS_XFER_VERSION_CANCELLED));
                return false;
            }
        }
    } else if (kind == 1) {
        // The extended layout carries no cassette version.
        Out(Str(IDS_XFER_NO_CASSETTE_VERSION));
    } else {
        const uint16_t word = LeU16(reply, 6);
        const std::u16string cassette = sys::Format(u"%x.%x", word >> 12, word & 0xFFF);
        if (cassette != m_doc.Data().TarvaneVer) {
            const int answer = Ask(IDS_XFER_CASSETTE_VERSION_ASK, IDS_XFER_CASSETTE_VERSION_CAPTION,
                                   core::ASK_YESNOCANCEL | core::ASK_ICONQUESTION);
            if (answer == core::ANSWER_YES) {
                if (!UpdateControlSystemSoftware()) {
                    Out(Str(IDS_XFER_CASSETTE_UPDATE_FAILED));
                    return false;
                }
                compare = false;
                installed = true;
            } else if (answer != core::ANSWER_NO) {
                Out(Str(IDS_XFER_VERSION_CANCELLED));
                return false;
            }
        }
    }

    std::u16string path = U16(m_doc.GetProjectDir());
    sys::WinPath::Append(path, m_doc.Data().PathOutput);
    sys::WinPath::Append(path, m_doc.Data().PLCOutputName);
    const std::string native = sys::WinPath::StoredNativePath(path);
    const std::u16string shown = native.empty() ? path : Shown(native);
    FileBytes image;
    switch (ReadFileBytes(native, false, image)) {
    case ReadResult::Ok:
        break;
    case ReadResult::OpenFailed:
        Out(sys::Format(Str(IDS_FILE_OPEN_FAILED), shown));
        Out(Str(IDS_XFER_NOT_TRANSFERRED));
        return false;
    case ReadResult::NoMemory:
        Out(Str(IDS_NO_MEMORY));
        Out(Str(IDS_XFER_NOT_TRANSFERRED));
        return false;
    case ReadResult::BadSize:
    case ReadResult::ReadFailed:
        Out(sys::Format(Str(IDS_FILE_READ_FAILED), shown));
        Out(Str(IDS_XFER_NOT_TRANSFERRED));
        return false;
    }

    bool current = false;
    uint32_t lengthSum = 0;
    uint16_t checksumSum = 0;
    if (compare && core::CheckPlcImage(image.data.get(), image.size, lengthSum, checksumSum)) {
        const uint16_t checksum = kind == 1 ? LeU16(reply, 2) : LeU16(reply, 42);
        const uint32_t length = kind == 1 ? LeU32(reply, 4) : LeU32(reply, 44);
        current = checksum == checksumSum && length == lengthSum;
    }
    if (current) {
        Out(Str(IDS_XFER_CURRENT));
    } else {
        Out(Str(IDS_XFER_TRANSFERRING));
        PlcStatusRecord status{};
        if (!dlg->GetStatus(pl, status) || status.length < 10) {
            Out(Str(IDS_XFER_STATUS_FAILED));
            return false;
        }
        if (status.flags & 0x04) {
            if (Ask(IDS_XFER_STOP_ASK, IDS_XFER_STOP_CAPTION, core::ASK_YESNO | core::ASK_ICONQUESTION) !=
                    core::ANSWER_YES ||
                !dlg->StopPLC(pl)) {
                Out(Str(IDS_XFER_NOT_TRANSFERRED));
                return false;
            }
        }
        const int sent = dlg->TransferPLC(pl, image.size, image.data.get(), 1);
        image = {}; // the link keeps its own copy
        if (!sent) {
            Out(Str(IDS_XFER_NOT_TRANSFERRED));
            if (!installed)
                return false;
        } else {
            Out(Str(IDS_XFER_PLC_DONE));
        }
    }
    image = {};
    if (installed) {
        m_doc.StopCommunication();
        Notice(IDS_XFER_RESTART_NOTICE, IDS_XFER_RESTART_CAPTION);
        return false;
    }
    return true;
}

// --------------------------------------------------------- cassette software

bool CProjectTransfer::UpdateControlSystemSoftware()
{
    if (IsHaldorTarget(m_doc.Data()))
        return false;
    if (!m_doc.m_link->IsConnected()) {
        Out(Str(IDS_XFER_CONNECTING));
        if (!StartCommunication()) {
            Out(Str(IDS_XFER_CONNECT_FAILED));
            return false;
        }
    }
    IOxfrC* xfr = m_doc.m_link.get();
    std::u16string output = U16(m_doc.GetProjectDir());
    sys::WinPath::Append(output, m_doc.Data().PathOutput);
    const std::string outputNative = sys::WinPath::StoredNativePath(output);
    const std::u16string local = Shown(outputNative) + u"/";

    if (m_doc.Data().TarvaneVerMajor < 6 || (m_doc.Data().TarvaneVerMajor == 6 && m_doc.Data().TarvaneVerMinor < 349)) {
        if (!CopyFiles(xfr, kPlcOutput, kPlcOutput, {kRuntimeImage}, {kRuntimeBackup})) {
            Out(u"Nepodařilo se zálohovat stávající verzi softwaru kazety...\r\n");
            return false;
        }
        if (!CopyFiles(xfr, local, kPlcOutput, {m_doc.Data().FileExe}, {kRuntimeImage})) {
            Out(u"Při aktualizaci verze došlo k chybě...\r\n");
            // Never leave the control system without a usable runtime image.
            Out(Str(CopyFiles(xfr, kPlcOutput, kPlcOutput, {kRuntimeBackup}, {kRuntimeImage})
                        ? IDS_XFER_BACKUP_RESTORED
                        : IDS_XFER_BACKUP_NOT_RESTORED));
            return false;
        }
        return true;
    }

    const std::string listNative = outputNative.empty() ? std::string() : outputNative + "/PLCBIN.txt";
    const std::u16string listShown = Shown(listNative);
    FileBytes list;
    switch (ReadFileBytes(listNative, true, list)) {
    case ReadResult::Ok:
        break;
    case ReadResult::OpenFailed:
        Out(sys::Format(Str(IDS_FILE_OPEN_FAILED), listShown));
        return false;
    case ReadResult::NoMemory:
        Out(u"Není dost paměti...\r\n");
        return false;
    case ReadResult::BadSize:
    case ReadResult::ReadFailed:
        Out(sys::Format(u"Chyba při čtení ze souboru %s...", listShown));
        return false;
    }
    if (list.size == 0)
        return true;
    const std::vector<PlcBinPair> pairs = ParsePlcBinPairs(
        sys::AnsiToWide(std::string_view(reinterpret_cast<const char*>(list.data.get()), list.size)));
    list = {};

    bool result = true;
    std::vector<std::u16string> names, targets;
    for (const PlcBinPair& p : pairs) {
        if (p.destination.empty()) {
            // The target would be the root folder itself.
            Out(sys::Format(Str(IDS_XFER_NO_DESTINATION), p.source));
            result = false;
            continue;
        }
        std::u16string source = p.source;
        for (char16_t& c : source)
            if (c == u'\\')
                c = u'/';
        names.push_back(std::move(source));
        targets.push_back(p.destination);
    }
    for (size_t at = 0; at < names.size(); at += kPairsPerCopy) {
        const size_t count = std::min(kPairsPerCopy, names.size() - at);
        const std::vector<std::u16string> batchNames(names.begin() + at, names.begin() + at + count);
        const std::vector<std::u16string> batchTargets(targets.begin() + at,
                                                       targets.begin() + at + count);
        if (!CopyFiles(xfr, local, u"\\", batchNames, batchTargets)) {
            Out(u"Při aktualizaci verze došlo k chybě...\r\n");
            return false;
        }
    }
    return result;
}

// ------------------------------------------------------------ compiler files

bool CProjectTransfer::TransferCompilerFiles(bool* noCompiler)
{
    if (noCompiler)
        *noCompiler = false;
    if (!m_doc.m_link->IsConnected()) {
        Out(Str(IDS_XFER_CONNECTING));
        if (!StartCommunication()) {
            Out(Str(IDS_XFER_CONNECT_FAILED));
            return false;
        }
    }
    std::unique_ptr<PlcCommandDialog> dlg = NewCommandDialog();
    uint32_t kind = 0;
    std::vector<uint8_t> info;
    if (!dlg || !dlg->GetPLCInfo(m_doc.m_link.get(), kind, info)) {
        Out(Str(IDS_XFER_REVISION_FAILED));
        return false;
    }
    if (kind != 1) {
        Out(Str(IDS_XFER_NO_COMPILER_FILES));
        return false;
    }
    if (InfoLength(info) < InfoNeeded(1)) {
        Out(Str(IDS_XFER_REVISION_FAILED));
        return false;
    }
    const uint32_t revision = LeU32(info.data(), 16);
    dlg.reset();

    const std::u16string& folder =
        m_doc.Data().PathTarvane.empty() ? Settings().PathTarvane : m_doc.Data().PathTarvane;
    // The option typed in the options is the folder named exactly.
    const std::string base =
        folder.empty() ? std::string() : CompilersNative(m_doc.Data(), Settings(), {}).value_or("");
    if (base.empty() || !MakeFolders(base)) {
        // Without a compiler folder the copy would land in the current folder.
        Out(Str(IDS_XFER_COMPILER_COPY_FAILED));
        return false;
    }
    const std::u16string name = sys::Format(u"Pelmar%04u", revision);
    const std::string finalName = sys::Utf16ToUtf8Lenient(name);
    // Every folder this transfer creates, renames or removes is reached
    // through the compiler folder's descriptor: a link planted there is
    // renamed or removed itself, never followed.  The names come from the
    // revision, never from the control system's listings, which the copy
    // checks itself.
    const sys::OwnedFd root(sys::OpenChosenFolder(base));
    if (!root.Valid()) {
        Out(Str(IDS_XFER_COMPILER_COPY_FAILED));
        return false;
    }
    // The copy lands in a folder of a new name that this fetch makes
    // itself ("Pelmar0632.fetch-" and six letters or digits): a folder of
    // the user of any name is never reused, emptied or removed.  It is
    // removed, with what it holds, whatever the outcome.
    std::string stage;
    if (!sys::CreateUniqueFolderBeneath(root.Get(), finalName + ".fetch-", stage)) {
        Out(Str(IDS_XFER_COMPILER_COPY_FAILED));
        return false;
    }
    struct StageRemover
    {
        int root;
        const std::string& stage;
        bool keep = false;
        ~StageRemover()
        {
            if (!keep)
                sys::RemoveTreeBeneath(root, stage);
        }
    } remover{root.Get(), stage};
    const std::string baseSlash = base.back() == '/' ? base : base + "/";
    const std::string fetched = stage + "/" + finalName;
    const std::string aside = stage + "/old";

    if (!CopyFiles(m_doc.m_link.get(), u"\\Install\\", Shown(baseSlash + stage + "/"), {u"Tarvane"}, {name})) {
        Out(Str(IDS_XFER_COMPILER_COPY_FAILED));
        return false;
    }
    // Only a complete compiler replaces the installed one: the copy must
    // hold the program the build runs (System\Tarv.exe, found as
    // "Tarv.exe" or "Tarv" as every tool is).
    sys::LocalEntry program;
    if (!(sys::StatBeneath(root.Get(), fetched + "/System/Tarv.exe", program) && program.regular) &&
        !(sys::StatBeneath(root.Get(), fetched + "/System/Tarv", program) && program.regular)) {
        // An empty folder (or none) is removed at once; one that holds
        // something is a partial set.
        const bool empty = sys::RemoveFolderBeneath(root.Get(), fetched) || errno == ENOENT;
        Out(Str(empty ? IDS_XFER_COMPILER_EMPTY : IDS_XFER_COMPILER_INCOMPLETE));
        if (noCompiler)
            *noCompiler = true;
        return false;
    }
    // The files are new, made as the umask says: an installed program
    // that ran must run after the fetch, and so must the compiler the
    // build runs; a set that cannot be made so replaces nothing.
    if (!CarryExecutePermission(root.Get(), fetched, finalName) || !MakeProgramsRunnable(root.Get(), fetched)) {
        const std::u16string cause = sys::Utf8ToUtf16Lenient(sys::ErrorText(sys::GetLastError()));
        Out(sys::Format(Str(IDS_XFER_COMPILER_NOT_RUNNABLE), cause));
        if (noCompiler)
            *noCompiler = true;
        return false;
    }
    // The files of the installed folder that the fetch does not bring
    // stay; when one cannot be kept, nothing is replaced.
    sys::LocalEntry old;
    const bool hadOld = sys::StatBeneath(root.Get(), finalName, old);
    std::string failed;
    if (hadOld && old.folder && !KeepInstalledEntries(root.Get(), finalName, fetched, failed)) {
        const std::u16string cause = sys::Utf8ToUtf16Lenient(sys::ErrorText(sys::GetLastError()));
        Out(sys::Format(Str(IDS_XFER_COMPILER_USER_FILE), Shown(baseSlash + failed), cause));
        if (noCompiler)
            *noCompiler = true;
        return false;
    }
    // The installed folder is kept aside in the fetch's own folder until
    // the new one is in place, and put back when that fails.
    if (hadOld && !sys::MoveBeneath(root.Get(), finalName, root.Get(), aside)) {
        Out(Str(IDS_XFER_COMPILER_COPY_FAILED));
        return false;
    }
    if (!sys::MoveBeneath(root.Get(), fetched, root.Get(), finalName)) {
        // The installed folder goes back; should that fail too, it stays
        // where it was kept aside rather than being removed.
        if (hadOld && !sys::MoveBeneath(root.Get(), aside, root.Get(), finalName))
            remover.keep = true;
        Out(Str(IDS_XFER_COMPILER_COPY_FAILED));
        return false;
    }
    Out(Str(IDS_XFER_COMPILER_DONE));
    return true;
}

// ------------------------------------------------------------- support files

bool CProjectTransfer::TransferSupportFiles()
{
    int count = 0;
    for (const SupportFileEntry& e : m_doc.Data().SupportFiles)
        count += e.TransferType >= 2 && e.TransferType <= 6;
    if (count == 0)
        return true;
    if (!m_doc.m_link->IsConnected()) {
        Out(Str(IDS_XFER_CONNECTING));
        if (!StartCommunication()) {
            Out(Str(IDS_XFER_CONNECT_FAILED));
            return false;
        }
    }
    const std::u16string project = U16(m_doc.GetProjectDir());
    std::vector<linkui::XferFileItem> items;
    items.reserve(size_t(count));
    for (const SupportFileEntry& e : m_doc.Data().SupportFiles) {
        if (e.TransferType < 2 || e.TransferType > 6)
            continue;
        linkui::XferFileItem item;
        const std::u16string full = ProjectFullPath(project, e.FilePath);
        const std::string native = sys::WinPath::ToNativeBelow(project, e.FilePath).value_or("");
        // The file found, its bytes kept: the link maps it back to itself.
        item.localPath = native.empty() ? full : sys::WinPath::FromNative(native);
        item.localBase = project;
        item.remotePath = e.DestPath;
        item.type = e.TransferType;
        items.push_back(std::move(item));
    }
    linkui::CTransferProgressDlg dlg(nullptr, Sink());
    return dlg.Setup(m_doc.m_link.get(), items.data(), int(items.size()));
}
