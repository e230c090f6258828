#include "link/ui/FileOpEngine.h"

#include "link/linkobj/olnk_link_logic.h"
#include "link/oxfr/oxfr.h"
#include "link/oxfr/oxfr_messages.h"
#include "link/oxfr/oxfr_server.h"
#include "link/ui/LinkMessages.h"
#include "platform/sys/CodePage.h"
#include "platform/sys/LastError.h"
#include "platform/sys/NativeText.h"
#include "platform/sys/WinPath.h"
#include "platform/ui/Document.h"
#include "res/StringTable.h"
#include "res/text/StringIds.h"

#include <QTimer>

#include <cerrno>
#include <cstring>
#include <set>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace linkui {

namespace {

constexpr int kSliceMs = 50;
constexpr size_t kChunk = 1 << 20;

// Error lines.
constexpr std::u16string_view kErrAccess = u"Chyba přístupu k %s\r\n";
constexpr std::u16string_view kErrFolderAccess = u"Chyba přístupu k souborům v adresáři %s\r\n";
constexpr std::u16string_view kErrCommInfo = u"Chyba komunikace (soubor/adresář %s)\r\n";
constexpr std::u16string_view kErrCommList = u"Chyba komunikace (přenos výpisu adresáře %s)\r\n";
constexpr std::u16string_view kErrListFormat = u"Chyba formátu výpisu adresáře %s\r\n";
constexpr std::u16string_view kErrListFile = u"Chyba při práci se souborem výpisu adresáře %s\r\n";
constexpr std::u16string_view kErrMkdir = u"Nepodařilo se vytvořit adresář %s\r\n";
constexpr std::u16string_view kErrCommMkdir = u"Chyba komunikace (vytváření adresáře %s)\r\n";
constexpr std::u16string_view kErrCommXfer = u"Chyba komunikace (přenos souboru %s)\r\n";
constexpr std::u16string_view kErrXfer = u"Nepodařilo se přenést soubor %s\r\n";
constexpr std::u16string_view kErrCommCopy = u"Chyba komunikace (kopírování souboru %s)\r\n";
constexpr std::u16string_view kErrCommMove = u"Chyba komunikace (přesun souboru %s)\r\n";
constexpr std::u16string_view kErrCopy = u"Chyba při kopírování souboru %s\r\n";
constexpr std::u16string_view kErrMove = u"Chyba při přesouvání souboru %s\r\n";
constexpr std::u16string_view kErrCommDelete = u"Chyba komunikace (mazání souboru %s)\r\n";
constexpr std::u16string_view kErrCommRmdir = u"Chyba komunikace (mazání adresáře %s)\r\n";
constexpr std::u16string_view kErrRemoteDelete = u"Nepodařilo se smazat soubor %s\r\n";
constexpr std::u16string_view kErrRemoteRmdir = u"Nepodařilo se odstranit adresář %s\r\n";
constexpr std::u16string_view kErrLocalDelete = u"Chyba při mazání souboru %s\r\n";
constexpr std::u16string_view kErrLocalRmdir = u"Chyba při mazání adresáře %s\r\n";
constexpr std::u16string_view kErrReset = u"Spojení bylo resetováno...\r\n";
constexpr std::u16string_view kErrStorno = u"Operace byla stornována uživatelem...\r\n";
// A name from the control system that is no plain name, or a local path
// that would leave the folder of the operation.
constexpr std::u16string_view kErrBadName = u"Neplatné jméno souboru ze systému: %s\r\n";

// A path of the control system longer than its protocol carries (a legal
// name deep enough in its tree): refused by the link before anything is sent.
constexpr unsigned IDS_REMOTE_PATH_TOO_LONG = 4800; // "Cesta na řídícím systému je delší než 259 bajtů: %s\r\n"
// A local name that the control system cannot hold: characters its code
// page lacks, or a separator, ":" or a control character.  Refused before
// anything is sent for it (the item names its local path).
constexpr unsigned IDS_NAME_OUTSIDE_CODE_PAGE = 4870;
constexpr unsigned IDS_NAME_NOT_PLAIN = 4871;
// A local name with "\", which the local work below a chosen folder takes
// as a separator: refused, never acted on as another entry.
constexpr unsigned IDS_NAME_WITH_BACKSLASH = 4874;

// Texts of the window.
constexpr std::u16string_view kReadingFolder = u"Čtení adresáře:   %s...";
constexpr std::u16string_view kCreatingFolder = u"Vytvářím adresář   %s";
constexpr std::u16string_view kCopying = u"Kopírují  %s  na  %s";
constexpr std::u16string_view kMoving = u"Přesouvám   %s   na   %s";
constexpr std::u16string_view kRemoving = u"Odstraňuji  %s";

// The bytes of a local path (the lossless mapping of every local listing).
std::string Native(std::u16string_view path) { return sys::NativeOf(path); }

// Whether text converts into the control system's code page exactly.
bool ExactInCodePage(std::u16string_view text)
{
    bool lossy = false;
    sys::WideToAnsi(text, &lossy);
    return !lossy;
}

// A last error of a request that failed on the local side (a file the link
// could not open or create: an errno value), not in the link.
bool LocalCause(uint32_t err) { return err > 0 && err < 4096 && err != OLNK_E_BAD_PATH; }

// A name that the local file system cannot take.
bool NameRefused(int err) { return err == ENAMETOOLONG || err == EILSEQ || err == EINVAL; }

// What stands at `name` of an open folder before it is written: ELOOP for
// a symbolic link (dangling or not), the error of a name the file system
// cannot take, else 0.
int LinkOrBadName(int folder, const std::string& name)
{
    struct stat st;
    if (::fstatat(folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0)
        return S_ISLNK(st.st_mode) ? ELOOP : 0;
    return NameRefused(errno) ? errno : 0;
}

bool IsDotName(std::u16string_view name) { return name == u"." || name == u".."; }

std::u16string WithSeparator(std::u16string_view folder, char16_t sep)
{
    std::u16string f(folder);
    if (f.empty() || f.back() != sep)
        f += sep;
    return f;
}

std::u16string Join(std::u16string_view folder, std::u16string_view name, char16_t sep)
{
    std::u16string out(folder);
    out += sep;
    out += name;
    return out;
}

bool BeyondWireLimit(std::u16string_view remotePath)
{
    return sys::WideToAnsi(remotePath).size() > oxfr::kMaxWirePath;
}

// The status of a file-information request for a missing entry.
bool MeansMissing(int status) { return status == -5 || status == -11 || status == -14; }

// A status the link itself ended a request with because it could not carry
// it (the link closed or reset, no answer within the job time-out): a
// failure of the communication, not an answer of the control system about
// the file (a job the control system could not read or write for, 135 and
// 136, stays that).
bool LinkFailed(int status)
{
    switch (uint8_t(int8_t(status))) {
    case OXFR_CLOSED:
    case OXFR_RESET:
    case OXFR_CONNECTION_ERROR:
        return true;
    default:
        return false;
    }
}

// The line of a failed result: the communication line when the link
// failed, else the control system's own.
std::u16string_view Either(int status, std::u16string_view comm, std::u16string_view answer)
{
    return LinkFailed(status) ? comm : answer;
}

} // namespace

std::u16string FormatLine(std::u16string_view format, std::u16string_view a, std::u16string_view b)
{
    std::u16string out;
    int arg = 0;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] == u'%' && i + 1 < format.size() && format[i + 1] == u's') {
            out += sys::ShownNativeText(arg == 0 ? a : b);
            ++arg;
            ++i;
        } else {
            out += format[i];
        }
    }
    return out;
}

FileOpEngine::FileOpEngine(FileOpObserver* observer) : m_observer(observer) {}

FileOpEngine::~FileOpEngine()
{
    if (Running()) {
        m_observer = nullptr;
        End(false);
    }
    if (m_target)
        ui::UnregisterMessageTarget(m_target);
}

void FileOpEngine::Reset()
{
    if (Running()) {
        FileOpObserver* o = m_observer;
        m_observer = nullptr;
        End(false);
        m_observer = o;
    }
    m_items.clear();
    m_rejected.clear();
    m_refusedTargets.clear();
    m_success = true;
    m_cancelled = false;
    m_requests = m_jobs = 0;
    m_registered = false;
    m_registeredForPushes = false;
    m_linkFailed = false;
    m_landed.clear();
    m_operation = OpNone;
    m_phase = PhaseNone;
    m_started = m_ended = m_endOk = false;
    m_stage = Stage::Idle;
    m_foldersOnly = false;
    m_task = LocalTask::None;
    m_cursor = 0;
    m_copy.Abort();
    m_copying = false;
    m_targetRoot.Reset();
    m_sourceRoot.Reset();
    m_targetRootTried = m_sourceRootTried = false;
    m_refusedFolders.clear();
    m_caption.clear();
    m_headline.clear();
    m_current.clear();
}

void FileOpEngine::SetupTwoSided(int op, IOxfrC* link, std::u16string_view sourceFolder,
                                 std::u16string_view targetFolder, const std::u16string* names,
                                 const std::u16string* targetNames, int count, void* argument,
                                 FileOpErrorCallback callback)
{
    Reset();
    m_operation = op;
    m_link = link;
    m_control = ControlOf(link);
    m_object = dynamic_cast<COlnkLink*>(link);
    m_sourceRemote = sys::WinPath::IsControlSystemPath(sourceFolder);
    m_targetRemote = op != OpDelete && sys::WinPath::IsControlSystemPath(targetFolder);
    m_sourceFolder = WithSeparator(sourceFolder, SourceSep());
    if (op != OpDelete)
        m_targetFolder = WithSeparator(targetFolder, TargetSep());
    m_argument = argument;
    m_callback = callback;
    for (int i = 0; i < count && names; ++i) {
        if (IsDotName(names[i]))
            continue;
        // Names in a folder of the control system come from its listings.
        if (m_sourceRemote && !linkobj::IsPlainRemoteName(names[i])) {
            m_rejected.push_back(names[i]);
            continue;
        }
        FileOpItem it;
        it.source = m_sourceFolder + names[i];
        // A local name that the control system cannot hold goes nowhere (a
        // caller's target name may hold "\" for a relative path).
        if (const unsigned why = m_targetRemote && !m_sourceRemote
                                     ? NotForControlSystem(targetNames ? targetNames[i] : names[i], !targetNames)
                                     : 0) {
            m_refusedTargets.emplace_back(why, it.source);
            continue;
        }
        if (op != OpDelete) {
            std::u16string name = targetNames ? targetNames[i] : names[i];
            // A caller's target name may be a relative path; a listed
            // name keeps its "\" (a character of a local name).
            if (!m_targetRemote && targetNames)
                for (char16_t& c : name)
                    if (c == u'\\')
                        c = u'/';
            it.target = m_targetFolder + name;
        }
        m_items.push_back(std::move(it));
    }
}

void FileOpEngine::SetupCopy(IOxfrC* link, std::u16string_view sourceFolder, std::u16string_view targetFolder,
                             const std::u16string* names, const std::u16string* targetNames, int count,
                             void* argument, FileOpErrorCallback callback)
{
    SetupTwoSided(OpCopy, link, sourceFolder, targetFolder, names, targetNames, count, argument, callback);
}

void FileOpEngine::SetupMove(IOxfrC* link, std::u16string_view sourceFolder, std::u16string_view targetFolder,
                             const std::u16string* names, const std::u16string* targetNames, int count,
                             void* argument, FileOpErrorCallback callback)
{
    SetupTwoSided(OpMove, link, sourceFolder, targetFolder, names, targetNames, count, argument, callback);
}

void FileOpEngine::SetupDelete(IOxfrC* link, std::u16string_view folder, const std::u16string* names, int count,
                               void* argument, FileOpErrorCallback callback)
{
    SetupTwoSided(OpDelete, link, folder, {}, names, nullptr, count, argument, callback);
}

void FileOpEngine::SetupCreateDir(IOxfrC* link, std::u16string_view path, void* argument,
                                  FileOpErrorCallback callback)
{
    Reset();
    m_operation = OpCreateDir;
    m_link = link;
    m_control = ControlOf(link);
    m_object = dynamic_cast<COlnkLink*>(link);
    m_folderPath = path;
    m_argument = argument;
    m_callback = callback;
}

std::uintptr_t FileOpEngine::Param(size_t index) const { return ProgressParam(m_target, uint32_t(index)); }

void FileOpEngine::Start()
{
    if (m_started)
        return;
    m_started = true;
    if (!m_target)
        m_target = ui::RegisterMessageTarget(&m_ctx, [this](uint32_t msg, uintptr_t w, intptr_t l, ui::MessageRecord*) {
            return OnMessage(msg, w, l);
        });
    m_progressClock.invalidate();
    switch (m_operation) {
    case OpCopy:
        m_caption = u"Kopírování...";
        m_headline = FormatLine(u"Připravuje se kopírování souborů z %s do %s...", m_sourceFolder, m_targetFolder);
        break;
    case OpCreateDir:
        m_caption = u"Vytváření adresáře...";
        m_headline = u"Vytváří se adresář...";
        break;
    case OpDelete:
        m_caption = u"Mazání...";
        m_headline = u"Připravuje se mazání souborů...";
        break;
    case OpMove:
        m_caption = u"Přesun...";
        m_headline = u"Připravuje se  přesun souborů...";
        break;
    default:
        End(false);
        return;
    }
    if (m_observer) {
        m_observer->OnCaption(m_caption);
        m_observer->OnHeadline(m_headline);
    }
    EmitProgress();

    if (m_operation == OpCreateDir) {
        if (m_control && m_control->RegisterWindow(m_target, OLNK_LIST_LINK_STATE))
            m_registered = true;
        if (!m_link || !m_link->CreateDir(m_target, Param(0), m_folderPath.c_str())) {
            RequestRefused(LastLinkError(), kErrCommMkdir, m_folderPath, m_folderPath);
            End(false);
            return;
        }
        ++m_requests;
        return;
    }
    m_phase = PhaseScan;
    m_stage = Stage::Scan;
    // A control system that falls silent ends what runs and what waits.
    if (m_object && (m_sourceRemote || m_targetRemote) && m_control &&
        m_control->RegisterWindow(m_target, OLNK_LIST_NOTIFY))
        m_registeredForPushes = true;
    for (const std::u16string& name : m_rejected)
        RefuseName(name);
    for (const auto& [why, source] : m_refusedTargets) {
        m_success = false;
        Error(LoadResString(why).toStdU16String(), source);
    }
    if (m_sourceRemote) {
        if (!m_link) {
            for (FileOpItem& it : m_items) {
                it.finished = true;
                Error(kErrCommInfo, it.source);
            }
            m_success = false;
            End(false);
            return;
        }
        if (RemoteScanStep())
            ScanComplete();
    } else {
        ScheduleLocal(LocalTask::Scan);
    }
}

void FileOpEngine::Cancel()
{
    if (!m_started || m_ended)
        return;
    m_cancelled = true;
    Error(kErrStorno);
    End(false);
}

uint64_t FileOpEngine::TotalSum() const
{
    uint64_t s = 0;
    for (const FileOpItem& it : m_items)
        s += it.total;
    return s;
}

uint64_t FileOpEngine::DoneSum() const
{
    uint64_t s = 0;
    for (const FileOpItem& it : m_items)
        s += it.done;
    return s;
}

// ------------------------------------------------------------ reporting

void FileOpEngine::Error(std::u16string_view format, std::u16string_view arg, std::u16string_view arg2)
{
    if (m_callback)
        m_callback(FormatLine(format, arg, arg2), m_argument);
}

void FileOpEngine::RefuseName(std::u16string_view nameOrPath)
{
    m_success = false;
    Error(kErrBadName, linkobj::VisibleRemoteName(nameOrPath));
}

uint32_t FileOpEngine::LastLinkError() const { return m_link ? sys::GetLastError() : 0; }

void FileOpEngine::RequestRefused(uint32_t err, std::u16string_view otherwise, std::u16string_view arg,
                                  std::u16string_view path, std::u16string_view second)
{
    m_success = false;
    if (err != OLNK_E_BAD_PATH) {
        Error(otherwise, arg);
        return;
    }
    // The link refuses a path that does not convert exactly, too.
    for (const std::u16string_view p : {path, second})
        if (!ExactInCodePage(p)) {
            Error(LoadResString(IDS_NAME_OUTSIDE_CODE_PAGE).toStdU16String(), p);
            return;
        }
    const std::u16string_view shown = second.empty() || BeyondWireLimit(path) ? path : second;
    if (m_callback)
        m_callback(FormatLine(LoadResString(IDS_REMOTE_PATH_TOO_LONG).toStdU16String(), shown), m_argument);
}

bool FileOpEngine::LocalRelative(FileOpItem& item, bool target, std::string& relative)
{
    const std::u16string& folder = target ? m_targetFolder : m_sourceFolder;
    const std::u16string& path = target ? item.target : item.source;
    // Below the chosen folder "\" counts as a separator (a name of the
    // control system never climbs); a local name holding one would stand
    // for another entry, so it is refused rather than acted on.
    if (path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
        path.find(u'\\', folder.size()) != path.npos) {
        item.finished = true;
        m_success = false;
        Error(LoadResString(IDS_NAME_WITH_BACKSLASH).toStdU16String(), item.source); // the entry chosen
        return false;
    }
    const std::string nativeFolder = Native(folder), nativePath = Native(path);
    if (!nativeFolder.empty() && sys::RelativeBelow(nativeFolder, nativePath, relative))
        return true;
    item.finished = true;
    RefuseName(path);
    return false;
}

int FileOpEngine::TargetRoot()
{
    if (!m_targetRootTried) {
        m_targetRootTried = true;
        m_targetRoot.Reset(sys::OpenChosenFolder(Native(m_targetFolder)));
    }
    return m_targetRoot.Get();
}

int FileOpEngine::SourceRoot()
{
    if (!m_sourceRootTried) {
        m_sourceRootTried = true;
        m_sourceRoot.Reset(sys::OpenChosenFolder(Native(m_sourceFolder)));
    }
    return m_sourceRoot.Get();
}

void FileOpEngine::RefuseLink(FileOpItem& item)
{
    item.finished = true;
    m_success = false;
    if (item.kind == 1)
        m_refusedFolders.push_back(sys::LexicalLocalPath(Native(item.target)));
    if (m_callback)
        m_callback(FormatLine(LoadResString(IDS_TARGET_IS_LINK).toStdU16String(), item.target), m_argument);
}

bool FileOpEngine::BelowRefusedFolder(const FileOpItem& item) const
{
    if (m_refusedFolders.empty())
        return false;
    const std::string path = Native(item.target);
    for (const std::string& folder : m_refusedFolders)
        if (sys::LocalPathInside(folder, path))
            return true;
    return false;
}

void FileOpEngine::LocalWriteFailed(FileOpItem& item, int err, std::u16string_view otherwise,
                                    std::u16string_view arg)
{
    item.finished = true;
    if (err == ELOOP) {
        RefuseLink(item);
    } else if (NameRefused(err)) {
        RefuseName(item.target);
    } else {
        m_success = false;
        Error(otherwise, arg);
    }
}

void FileOpEngine::LocalSideFailed(FileOpItem& item, std::u16string_view path, uint32_t err)
{
    item.finished = true;
    m_success = false;
    if (!m_callback)
        return;
    std::u16string line = FormatLine(kErrXfer, path);
    const QString cause = ui::FileCauseLine(QString::fromStdU16String(sys::ShownNativeText(path)), err);
    if (!cause.isEmpty())
        line += cause.toStdU16String() + u"\r\n";
    m_callback(line, m_argument);
}

unsigned FileOpEngine::NotForControlSystem(std::u16string_view name, bool plain)
{
    if (plain && !linkobj::IsPlainRemoteName(name))
        return IDS_NAME_NOT_PLAIN;
    return ExactInCodePage(name) ? 0 : IDS_NAME_OUTSIDE_CODE_PAGE;
}

void FileOpEngine::SetHeadline(std::u16string text)
{
    m_headline = std::move(text);
    if (m_observer)
        m_observer->OnHeadline(m_headline);
}

void FileOpEngine::SetCurrent(std::u16string text)
{
    m_current = std::move(text);
    if (m_observer)
        m_observer->OnCurrentItem(m_current);
}

void FileOpEngine::NoteProgress()
{
    if (!m_progressClock.isValid() || m_progressClock.elapsed() >= kSliceMs) {
        EmitProgress();
        return;
    }
    if (m_progressPending)
        return;
    m_progressPending = true;
    QTimer::singleShot(int(kSliceMs - m_progressClock.elapsed()), &m_ctx, [this] {
        m_progressPending = false;
        EmitProgress();
    });
}

void FileOpEngine::EmitProgress()
{
    m_progressClock.start();
    if (m_observer)
        m_observer->OnProgress(TotalSum(), DoneSum());
}

void FileOpEngine::End(bool ok)
{
    if (m_ended)
        return;
    m_ended = true;
    m_endOk = ok;
    m_task = LocalTask::None;
    if (m_sliceTimer)
        m_sliceTimer->stop();
    m_copy.Abort();
    m_copying = false;
    if (m_registered && m_control)
        m_control->UnregisterWindow(m_target, 0);
    m_registered = false;
    if (m_registeredForPushes && m_control)
        m_control->UnregisterWindow(m_target, 1);
    m_registeredForPushes = false;
    for (FileOpItem& it : m_items) {
        if (it.job && m_control)
            m_control->CancelJob(it.job);
        it.job = 0;
    }
    // Results that still arrive are dropped by the bridge.
    if (m_target)
        ui::UnregisterMessageTarget(m_target);
    m_target = 0;
    if (m_observer) {
        m_observer->OnProgress(TotalSum(), DoneSum());
        m_observer->OnEnd(ok);
    }
}

// ------------------------------------------------------------ messages

intptr_t FileOpEngine::OnMessage(uint32_t msg, uintptr_t wParam, intptr_t lParam)
{
    if (m_ended || m_cancelled)
        return 0;
    if (msg == WM_XFER_RESULT && lParam) {
        OnResult(*ResultOf(lParam));
    } else if (msg == WM_XFER_PROGRESS) {
        const size_t i = size_t(wParam);
        if (i < m_items.size() && m_items[i].inProgress) {
            m_items[i].done = uint64_t(uint32_t(uint64_t(lParam)));
            m_items[i].total = uint64_t(lParam) >> 32;
            NoteProgress();
        }
    } else if (msg == WM_LINK_STATE && m_registered) {
        OnLinkState();
    } else if (msg == WM_LINK_NOTIFY && m_registeredForPushes && lParam == OLNK_NOTIFY_SILENT) {
        OnSilent();
    }
    return 0;
}

void FileOpEngine::OnLinkState()
{
    m_success = false;
    Error(kErrReset);
    End(false);
}

void FileOpEngine::OnResult(const LinkResultRecord& r)
{
    const size_t i = ValueOfParam(r.parameter);
    if (m_operation == OpCreateDir) {
        if (r.kind != 1)
            return;
        --m_requests;
        if (r.status < 0) {
            m_success = false;
            Error(Either(r.status, kErrCommMkdir, kErrMkdir), m_folderPath);
        }
        End(r.status >= 0);
        return;
    }
    if (i >= m_items.size())
        return;
    if (LinkFailed(r.status))
        m_linkFailed = true;
    FileOpItem& it = m_items[i];
    switch (r.kind) {
    case 5: // file information
        if (!it.inProgress)
            return;
        if (m_stage == Stage::Scan) {
            it.inProgress = false;
            --m_requests;
            FileListRecord info{};
            if (r.status < 0 || !r.data || r.dataLength < sizeof(FileListRecord)) {
                it.finished = true;
                m_success = false;
                Error(Either(r.status, kErrCommInfo, kErrAccess), it.source);
            } else {
                std::memcpy(&info, r.data, sizeof info);
                if (info.folder == 0) {
                    it.kind = 2;
                    it.total = info.size;
                    it.done = 0;
                    it.finished = true;
                    NoteProgress();
                } else {
                    it.kind = 1;
                }
            }
            if (RemoteScanStep())
                ScanComplete();
        } else if (m_stage == Stage::Folders) {
            if (MeansMissing(r.status)) {
                if (!m_link || !m_link->CreateDir(m_target, Param(i), it.target.c_str())) {
                    it.finished = true;
                    it.inProgress = false;
                    --m_requests;
                    RequestRefused(LastLinkError(), kErrCommMkdir, it.target, it.target);
                }
            } else {
                it.finished = true;
                it.inProgress = false;
                --m_requests;
                // Without the link nothing is known of the folder: no
                // file goes into it unreported.
                if (LinkFailed(r.status)) {
                    m_success = false;
                    Error(kErrCommMkdir, it.target);
                }
            }
            RemoteFolderStep();
        }
        return;
    case 3: // listing
        if (!it.inProgress || m_stage != Stage::Scan)
            return;
        if (r.status >= 0) {
            ReadListing(i, static_cast<const char16_t*>(r.data));
        } else {
            m_success = false;
            Error(Either(r.status, kErrCommList, kErrFolderAccess), m_items[i].source);
        }
        {
            FileOpItem& item = m_items[i]; // the list may have grown
            item.finished = true;
            item.inProgress = false;
            item.job = 0;
        }
        --m_jobs;
        if (RemoteScanStep())
            ScanComplete();
        return;
    case 1: // create folder (folder stage)
        if (!it.inProgress || m_stage != Stage::Folders)
            return;
        it.finished = true;
        it.inProgress = false;
        --m_requests;
        if (r.status < 0) {
            m_success = false;
            Error(Either(r.status, kErrCommMkdir, kErrMkdir), it.target);
        }
        RemoteFolderStep();
        return;
    case 4: // get
    case 6: // put
        if (!it.inProgress || m_stage != Stage::Transfer)
            return;
        it.finished = true;
        it.inProgress = false;
        it.job = 0;
        it.done = it.total;
        --m_jobs;
        if (r.status < 0) {
            m_success = false;
            Error(Either(r.status, kErrCommXfer, kErrXfer), it.source);
        } else {
            Landed(i);
        }
        NoteProgress();
        TransferStep();
        return;
    case 0: // remote copy
    case 8: // remote move
        if (!it.inProgress || m_stage != Stage::Transfer)
            return;
        it.finished = true;
        it.inProgress = false;
        it.done = it.total;
        --m_requests;
        if (r.status < 0) {
            m_success = false;
            if (r.kind == 0)
                Error(Either(r.status, kErrCommCopy, kErrCopy), it.source);
            else
                Error(Either(r.status, kErrCommMove, kErrCopy), it.source);
        } else {
            Landed(i);
        }
        NoteProgress();
        TransferStep();
        return;
    case 2: // delete
    case 7: // remove folder
        if (!it.inProgress || m_stage != Stage::Delete)
            return;
        it.finished = true;
        it.inProgress = false;
        it.done = it.total;
        --m_requests;
        if (r.status < 0) {
            m_success = false;
            if (r.kind == 2)
                Error(Either(r.status, kErrCommDelete, kErrRemoteDelete), it.source);
            else
                Error(Either(r.status, kErrCommRmdir, kErrRemoteRmdir), it.source);
        }
        NoteProgress();
        RemoteDeleteStep();
        return;
    default:
        return;
    }
}

void FileOpEngine::ReadListing(size_t index, const char16_t* file)
{
    const std::u16string folder = m_items[index].source;
    std::string native;
    if (file)
        native = Native(file);
    std::vector<FileListRecord> records;
    const auto res = native.empty() ? linkobj::ListingResult::CannotOpen : linkobj::ReadListingFile(native, records);
    if (!native.empty())
        ::unlink(native.c_str());
    if (res == linkobj::ListingResult::CannotOpen || res == linkobj::ListingResult::BadHeader) {
        m_success = false;
        Error(kErrListFile, folder);
        return;
    }
    const FileOpItem parent = m_items[index];
    for (const FileListRecord& rec : records) {
        size_t n = 0;
        while (n < 256 && rec.name[n])
            ++n;
        const std::u16string_view name(rec.name, n);
        if (IsDotName(name))
            continue;
        if (!linkobj::IsPlainRemoteName(name)) {
            RefuseName(name); // nothing is asked or written for it
            continue;
        }
        AppendChild(parent, name, rec.folder != 0, rec.size, false);
    }
    if (res == linkobj::ListingResult::BadRecord) {
        m_success = false;
        Error(kErrListFormat, folder);
    }
}

void FileOpEngine::AppendChild(const FileOpItem& parent, std::u16string_view name, bool folder, uint64_t size,
                               bool checkLocalFile)
{
    FileOpItem it;
    it.source = Join(parent.source, name, SourceSep());
    if (m_operation != OpDelete)
        it.target = Join(parent.target, name, TargetSep());
    it.kind = folder ? 1 : 2;
    it.finished = !folder;
    it.total = folder ? 0 : size;
    if (!folder && checkLocalFile) {
        sys::LocalEntry e;
        if (!sys::StatLocalEntry(Native(it.source), e) || !ClassifyLocalFile(it, e)) {
            m_items.push_back(std::move(it));
            return;
        }
    }
    m_items.push_back(std::move(it));
}

// A local entry that is not a folder: for copy and move it must lead to a
// regular file (or be a link, which then fails as a file would); a FIFO, a
// socket or a device is reported and left out.  Delete takes every entry.
bool FileOpEngine::ClassifyLocalFile(FileOpItem& item, const sys::LocalEntry& entry)
{
    item.kind = 2;
    item.finished = true;
    item.total = entry.size;
    if (m_operation == OpDelete)
        return true;
    if (entry.regular)
        return true;
    if (entry.symlink) {
        struct stat st;
        if (::stat(Native(item.source).c_str(), &st) != 0 || S_ISDIR(st.st_mode)) {
            item.total = 0; // fails as a file would
            return true;
        }
        if (S_ISREG(st.st_mode)) {
            item.total = uint64_t(st.st_size);
            return true;
        }
    }
    item.kind = 0;
    item.total = 0;
    m_success = false;
    Error(kErrAccess, item.source);
    return false;
}

// ------------------------------------------------------------ local slices

void FileOpEngine::ScheduleLocal(LocalTask task)
{
    m_task = task;
    // A zero timer (not a posted call) runs after the waiting input, paint
    // and timer events, so the window stays responsive between slices.
    if (!m_sliceTimer) {
        m_sliceTimer = new QTimer(&m_ctx);
        m_sliceTimer->setSingleShot(true);
        m_sliceTimer->setInterval(0);
        QObject::connect(m_sliceTimer, &QTimer::timeout, &m_ctx, [this] { RunLocalSlice(); });
    }
    if (!m_sliceTimer->isActive())
        m_sliceTimer->start();
}

void FileOpEngine::RunLocalSlice()
{
    if (m_ended || m_task == LocalTask::None)
        return;
    QElapsedTimer clock;
    clock.start();
    const LocalTask task = m_task;
    bool complete = false;
    while (!complete && clock.elapsed() < m_sliceMs) {
        switch (task) {
        case LocalTask::Scan: complete = LocalScanUnit(); break;
        case LocalTask::Folders: complete = LocalFolderUnit(); break;
        case LocalTask::Transfer: complete = LocalTransferUnit(); break;
        case LocalTask::Delete: complete = LocalDeleteUnit(); break;
        case LocalTask::None: return;
        }
        if (m_ended)
            return;
    }
    NoteProgress();
    if (!complete) {
        ScheduleLocal(task);
        return;
    }
    m_task = LocalTask::None;
    switch (task) {
    case LocalTask::Scan: ScanComplete(); break;
    case LocalTask::Folders: StartTransfer(); break;
    case LocalTask::Transfer: StartDelete(); break;
    case LocalTask::Delete: End(m_success); break;
    case LocalTask::None: break;
    }
}

bool FileOpEngine::LocalScanUnit()
{
    if (m_cursor >= m_items.size())
        return true;
    const size_t i = m_cursor++;
    if (m_items[i].finished)
        return false;
    if (m_items[i].kind == 0) {
        sys::LocalEntry e;
        if (!sys::StatLocalEntry(Native(m_items[i].source), e)) {
            m_items[i].finished = true;
            m_success = false;
            Error(kErrAccess, m_items[i].source);
            return false;
        }
        if (!e.folder) {
            ClassifyLocalFile(m_items[i], e);
            return false;
        }
        m_items[i].kind = 1;
    }
    if (m_items[i].kind == 1) {
        const std::u16string source = m_items[i].source;
        SetCurrent(FormatLine(kReadingFolder, source));
        std::vector<sys::LocalEntry> entries;
        if (!sys::ListLocalFolder(Native(source), entries)) {
            m_success = false;
            Error(kErrFolderAccess, source);
        } else {
            const FileOpItem parent = m_items[i];
            for (const sys::LocalEntry& e : entries) {
                const std::u16string name = sys::NativeToText(e.name);
                if (const unsigned why = m_targetRemote ? NotForControlSystem(name, true) : 0) {
                    // Nothing of it (nor below it) goes to the control system.
                    m_success = false;
                    Error(LoadResString(why).toStdU16String(), Join(parent.source, name, SourceSep()));
                    continue;
                }
                if (e.folder) {
                    AppendChild(parent, name, true, 0, false);
                } else {
                    FileOpItem it;
                    it.source = Join(parent.source, name, SourceSep());
                    if (m_operation != OpDelete)
                        it.target = Join(parent.target, name, TargetSep());
                    ClassifyLocalFile(it, e);
                    m_items.push_back(std::move(it));
                }
            }
        }
    }
    m_items[i].finished = true;
    return false;
}

bool FileOpEngine::LocalFolderUnit()
{
    while (m_cursor < m_items.size() && m_items[m_cursor].kind != 1)
        ++m_cursor;
    if (m_cursor >= m_items.size())
        return true;
    FileOpItem& it = m_items[m_cursor++];
    it.finished = true;
    std::string rel;
    if (!LocalRelative(it, true, rel) || BelowRefusedFolder(it))
        return false;
    const int root = TargetRoot();
    sys::LocalEntry e;
    if (sys::StatBeneath(root, rel, e)) {
        if (e.symlink) {
            RefuseLink(it); // also a link to a folder, or one that names nothing
        } else if (!e.folder) {
            m_refusedFolders.push_back(sys::LexicalLocalPath(Native(it.target)));
            m_success = false;
            Error(kErrMkdir, it.target);
        }
        return false;
    }
    SetCurrent(FormatLine(kCreatingFolder, it.target));
    if (!sys::CreateFolderBeneath(root, rel)) {
        const int err = errno;
        LocalWriteFailed(it, err, kErrMkdir, it.target);
        if (err != ELOOP)
            m_refusedFolders.push_back(sys::LexicalLocalPath(Native(it.target)));
    }
    return false;
}

bool FileOpEngine::LocalTransferUnit()
{
    if (!m_copying) {
        while (m_cursor < m_items.size() && (m_items[m_cursor].kind != 2 || m_items[m_cursor].finished))
            ++m_cursor;
        if (m_cursor >= m_items.size())
            return true;
    }
    FileOpItem& it = m_items[m_cursor];
    const bool move = m_operation == OpMove;
    std::string rel, sourceRel;
    if (!m_copying && (!LocalRelative(it, true, rel) || (move && !LocalRelative(it, false, sourceRel)))) {
        it.done = it.total;
        ++m_cursor;
        return false;
    }
    if (!m_copying && BelowRefusedFolder(it)) {
        it.done = it.total;
        it.finished = true;
        m_success = false;
        ++m_cursor;
        return false;
    }
    // The target's folder, reached below the chosen folder without
    // following a link, and nothing followed at the name either.
    sys::OwnedFd parent;
    std::string name;
    if (!m_copying) {
        parent.Reset(sys::OpenParentBeneath(TargetRoot(), rel, name));
        const int err = parent.Valid() ? LinkOrBadName(parent.Get(), name) : errno;
        if (err) {
            LocalWriteFailed(it, err, move ? kErrMove : kErrCopy, it.source);
            it.done = it.total;
            ++m_cursor;
            return false;
        }
    }
    if (move) {
        SetCurrent(FormatLine(kMoving, it.source, it.target));
        if (!sys::MoveBeneath(SourceRoot(), sourceRel, TargetRoot(), rel)) {
            // A link on the source's way (the target's was checked) gives
            // the move's own line.
            const int err = errno;
            LocalWriteFailed(it, err == ELOOP ? EIO : err, kErrMove, it.source);
        }
        it.done = it.total;
        it.finished = true;
        ++m_cursor;
        return false;
    }
    if (!m_copying) {
        SetCurrent(FormatLine(kCopying, it.source, it.target));
        if (!m_copy.OpenInto(Native(it.source), parent.Get(), name)) {
            LocalWriteFailed(it, errno, kErrCopy, it.source);
            it.done = it.total;
            it.finished = true;
            ++m_cursor;
            return false;
        }
        m_copying = true;
        it.total = m_copy.Size();
        it.done = 0;
    }
    const int64_t k = m_copy.Step(kChunk);
    if (k > 0) {
        it.done = m_copy.Done();
        return false;
    }
    bool ok = k == 0 && m_copy.Commit(true);
    if (!ok) {
        m_copy.Abort();
        m_success = false;
        Error(kErrCopy, it.source);
    }
    m_copying = false;
    it.done = it.total;
    it.finished = true;
    ++m_cursor;
    return false;
}

void FileOpEngine::OnSilent()
{
    // Local work (the scan before a put, the folders before a fetch, the
    // sources a move removes after its puts) goes on; the next request
    // asks the link again.
    const bool remoteStage = (m_stage == Stage::Scan && m_sourceRemote) ||
                             (m_stage == Stage::Folders && m_targetRemote) ||
                             (m_stage == Stage::Transfer && m_phase != PhaseLocalToLocal) ||
                             (m_stage == Stage::Delete && m_sourceRemote);
    if (!remoteStage)
        return;
    // What runs gets the line of its request failing for the link (its
    // outcome on the control system is not known); what waits is named as
    // not done.
    for (FileOpItem& it : m_items) {
        if (!it.inProgress)
            continue;
        std::u16string_view line = kErrCommXfer;
        std::u16string_view arg = it.source;
        switch (m_stage) {
        case Stage::Scan: line = it.kind == 1 ? kErrCommList : kErrCommInfo; break;
        case Stage::Folders:
            line = kErrCommMkdir;
            arg = it.target;
            break;
        case Stage::Transfer:
            if (m_phase == PhaseRemoteToRemote)
                line = m_operation == OpMove ? kErrCommMove : kErrCommCopy;
            break;
        case Stage::Delete: line = it.kind == 1 ? kErrCommRmdir : kErrCommDelete; break;
        case Stage::Idle: break;
        }
        it.inProgress = false;
        it.finished = true;
        m_success = false;
        Error(line, arg);
    }
    EndWaiting();
    End(false);
}

bool FileOpEngine::LocalDeleteUnit()
{
    while (m_cursor > 0 && !DeleteEligible(m_items[m_cursor - 1])) {
        m_items[m_cursor - 1].finished = true;
        --m_cursor;
    }
    if (m_cursor == 0)
        return true;
    FileOpItem& it = m_items[--m_cursor];
    std::string rel;
    if (!LocalRelative(it, false, rel)) {
        it.done = it.total;
        return false;
    }
    SetCurrent(FormatLine(kRemoving, it.source));
    // Relative to the chosen folder: a link planted on the way fails.
    if (it.kind == 1) {
        if (!sys::RemoveFolderBeneath(SourceRoot(), rel)) {
            m_success = false;
            Error(kErrLocalRmdir, it.source);
        }
    } else if (!sys::DeleteFileBeneath(SourceRoot(), rel)) {
        m_success = false;
        Error(kErrLocalDelete, it.source);
    }
    it.done = it.total;
    it.finished = true;
    return false;
}

// ------------------------------------------------------------ stages

bool FileOpEngine::RemoteScanStep()
{
    if (LinkGone())
        EndWaiting();
    for (size_t i = 0; i < m_items.size(); ++i) {
        FileOpItem& it = m_items[i];
        if (it.finished || it.inProgress)
            continue;
        if (it.kind == 2) {
            it.finished = true;
            continue;
        }
        if (it.kind == 0) {
            if (m_requests > 0)
                return false;
            it.inProgress = true;
            ++m_requests;
            if (!m_link || !m_link->GetFileInfo(m_target, Param(i), it.source.c_str())) {
                it.inProgress = false;
                it.finished = true;
                --m_requests;
                RequestRefused(LastLinkError(), kErrCommInfo, it.source, it.source);
            }
            continue;
        }
        // A folder.
        if (m_jobs > 0)
            return false;
        it.inProgress = true;
        ++m_jobs;
        const std::u16string pattern = it.source + u"\\*.*";
        if (!m_link || !m_link->List(m_target, Param(i), nullptr, &it.job, pattern.c_str())) {
            it.inProgress = false;
            it.finished = true;
            it.job = 0;
            --m_jobs;
            RequestRefused(LastLinkError(), kErrCommList, it.source, pattern);
        } else {
            SetCurrent(FormatLine(kReadingFolder, it.source));
        }
    }
    for (const FileOpItem& it : m_items)
        if (!it.finished || it.inProgress)
            return false;
    return true;
}

void FileOpEngine::ScanComplete()
{
    if (m_ended)
        return;
    if (m_targetRemote && (m_operation == OpCopy || m_operation == OpMove))
        RefuseCollisions();
    NoteProgress();
    if (m_operation == OpDelete)
        StartDelete();
    else
        StartFolders();
}

void FileOpEngine::StartFolders()
{
    m_phase = PhaseFolders;
    m_stage = Stage::Folders;
    for (FileOpItem& it : m_items)
        if (it.kind == 1) {
            it.finished = false;
            it.inProgress = false;
        }
    if (!m_targetRemote) {
        m_cursor = 0;
        ScheduleLocal(LocalTask::Folders);
    } else {
        RemoteFolderStep();
    }
}

void FileOpEngine::RemoteFolderStep()
{
    if (m_ended || m_requests > 0)
        return;
    // Without the control system no folder is made; the files that would
    // go into them are named by the transfer.
    const bool gone = LinkGone();
    for (size_t i = 0; i < m_items.size(); ++i) {
        FileOpItem& it = m_items[i];
        if (it.kind != 1 || it.finished)
            continue;
        if (gone) {
            it.finished = true;
            continue;
        }
        if (!m_link || !m_link->GetFileInfo(m_target, Param(i), it.target.c_str())) {
            it.finished = true;
            RequestRefused(LastLinkError(), kErrCommMkdir, it.target, it.target);
            continue;
        }
        SetCurrent(FormatLine(kCreatingFolder, it.target));
        it.inProgress = true;
        ++m_requests;
        return;
    }
    StartTransfer();
}

void FileOpEngine::StartTransfer()
{
    if (m_ended)
        return;
    m_stage = Stage::Transfer;
    SetHeadline(FormatLine(kCopying, m_sourceFolder, m_targetFolder));
    for (FileOpItem& it : m_items)
        if (it.kind == 2) {
            it.finished = false;
            it.inProgress = false;
            it.done = 0;
        }
    if (m_sourceRemote)
        m_phase = m_targetRemote ? PhaseRemoteToRemote : PhaseGet;
    else
        m_phase = m_targetRemote ? PhasePut : PhaseLocalToLocal;
    EmitProgress();
    if (m_phase == PhaseLocalToLocal) {
        m_cursor = 0;
        ScheduleLocal(LocalTask::Transfer);
    } else {
        TransferStep();
    }
}

void FileOpEngine::TransferStep()
{
    if (m_ended)
        return;
    int& counter = m_phase == PhaseRemoteToRemote ? m_requests : m_jobs;
    if (counter > 0)
        return;
    if (LinkGone())
        EndWaiting();
    for (size_t i = 0; i < m_items.size(); ++i) {
        FileOpItem& it = m_items[i];
        if (it.kind != 2 || it.finished || it.inProgress)
            continue;
        int ok = 0;
        std::u16string_view err = kErrCommXfer;
        // The paths on the control system, for a refusal of their length.
        std::u16string_view remote = it.source, remote2;
        if (!m_link) {
            // Nothing can be started without a link.
        } else if (m_phase == PhaseRemoteToRemote && m_operation == OpMove) {
            SetCurrent(FormatLine(kMoving, it.source, it.target));
            ok = m_link->Move(m_target, Param(i), it.source.c_str(), it.target.c_str());
            err = kErrCommMove;
            remote2 = it.target;
        } else if (m_phase == PhaseRemoteToRemote) {
            SetCurrent(FormatLine(kCopying, it.source, it.target));
            ok = m_link->Copy(m_target, Param(i), it.source.c_str(), it.target.c_str());
            err = kErrCommCopy;
            remote2 = it.target;
        } else if (m_phase == PhaseGet) {
            std::string rel;
            if (!LocalRelative(it, true, rel)) {
                it.done = it.total;
                continue;
            }
            if (BelowRefusedFolder(it)) {
                it.finished = true;
                it.done = it.total;
                m_success = false;
                continue;
            }
            // Received into the target's folder, reached below the chosen
            // folder without following a link; a link at the name is
            // refused (the link object writes through that descriptor).
            std::string name;
            const sys::OwnedFd parent(sys::OpenParentBeneath(TargetRoot(), rel, name));
            const int local = parent.Valid() ? LinkOrBadName(parent.Get(), name) : errno;
            if (local) {
                LocalWriteFailed(it, local, kErrXfer, it.source);
                it.done = it.total;
                continue;
            }
            SetCurrent(FormatLine(kCopying, it.source, it.target));
            ok = m_link->GetInto(m_target, Param(i), &PostProgress, &it.job, it.source.c_str(), parent.Get(),
                                 sys::NativeToText(name).c_str());
            if (!ok) {
                // The local file could not be made (a folder or a file
                // that may not be written at its name): the local file and
                // why, no communication failure.
                const uint32_t e = LastLinkError();
                if (LocalCause(e)) {
                    it.job = 0;
                    if (e == ELOOP || NameRefused(int(e)))
                        LocalWriteFailed(it, int(e), kErrXfer, it.target);
                    else
                        LocalSideFailed(it, it.target, e);
                    it.done = it.total;
                    continue;
                }
            }
            err = kErrCommXfer;
        } else {
            SetCurrent(FormatLine(kCopying, it.source, it.target));
            ok = m_link->Put(m_target, Param(i), &PostProgress, &it.job, it.source.c_str(), it.target.c_str());
            err = kErrCommXfer;
            remote = it.target;
            if (!ok && LocalCause(LastLinkError())) {
                // The local source could not be read.
                const uint32_t e = LastLinkError();
                it.job = 0;
                LocalSideFailed(it, it.source, e);
                it.done = it.total;
                continue;
            }
        }
        if (ok) {
            it.inProgress = true;
            ++counter;
            return;
        }
        const uint32_t refusal = LastLinkError();
        it.job = 0;
        it.finished = true;
        RequestRefused(refusal, err, it.source, remote, remote2);
    }
    // Nothing left to start and nothing running.
    StartDelete();
}

void FileOpEngine::StartDelete()
{
    if (m_ended)
        return;
    const Phase transferPhase = m_phase;
    m_stage = Stage::Delete;
    SetHeadline(FormatLine(kRemoving, m_sourceFolder));
    for (FileOpItem& it : m_items) {
        it.finished = false;
        it.inProgress = false;
        it.total = 1;
        it.done = 0;
    }
    EmitProgress();
    bool local = !m_sourceRemote;
    switch (m_operation) {
    case OpCopy:
        End(m_success);
        return;
    case OpDelete:
        break;
    case OpMove:
        if (!m_success) {
            End(false);
            return;
        }
        // Inside one side every file is moved already: only the emptied
        // folders are left to remove, deepest first.
        m_foldersOnly = transferPhase == PhaseLocalToLocal || transferPhase == PhaseRemoteToRemote;
        break;
    default:
        End(false);
        return;
    }
    if (local) {
        m_cursor = m_items.size();
        ScheduleLocal(LocalTask::Delete);
    } else {
        RemoteDeleteStep();
    }
}

void FileOpEngine::RemoteDeleteStep()
{
    if (m_ended || m_requests > 0)
        return;
    if (LinkGone())
        EndWaiting();
    for (size_t n = m_items.size(); n > 0; --n) {
        const size_t i = n - 1;
        FileOpItem& it = m_items[i];
        if (it.finished || it.inProgress)
            continue;
        if (!DeleteEligible(it)) {
            it.finished = true;
            continue;
        }
        SetCurrent(FormatLine(kRemoving, it.source));
        const bool folder = it.kind == 1;
        const int ok = !m_link ? 0
                       : folder ? m_link->RemoveDir(m_target, Param(i), it.source.c_str())
                                : m_link->Delete(m_target, Param(i), it.source.c_str());
        if (ok) {
            it.inProgress = true;
            ++m_requests;
            return;
        }
        RequestRefused(LastLinkError(), folder ? kErrCommRmdir : kErrCommDelete, it.source, it.source);
        it.finished = true;
    }
    End(m_success);
}

} // namespace linkui
