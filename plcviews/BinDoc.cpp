#include "plcviews/BinDoc.h"

#include "plcviews/WatchedFile.h"

#include "editor/settings/EdtSettings.h"
#include "platform/sys/AtomicFile.h"
#include "platform/sys/FileIO.h"
#include "platform/sys/LastError.h"
#include "platform/sys/NativeText.h"
#include "platform/ui/App.h"
#include "platform/ui/Beep.h"
#include "platform/ui/Prompt.h"
#include "res/CommandIds.h"
#include "res/StringTable.h"
#include "res/text/StringIds.h"

#include <QDir>
#include "platform/ui/LocalPath.h"
#include <QMdiArea>
#include <QPointer>
#include <QShowEvent>
#include <QTimer>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr unsigned IDS_BIN_TOO_LARGE = 4630;  // "Soubor %s je příliš velký pro binární editor..."
constexpr unsigned IDS_BIN_RELOAD_FAILED = 4631;
constexpr unsigned IDS_BIN_BYTES_UNAVAILABLE = 4799;  // "...část jeho původních dat ... už nelze přečíst..."
constexpr uint32_t kWatchFiles = 0x200;        // general flags: watch files for outside changes
constexpr uint32_t kMaximiseFrames = 0x10;
constexpr uint32_t kChanged = 0x01 | FCM_SIZE | FCM_TIME;
constexpr uint32_t kGone = FCM_GONE | FCM_FOLDER;

using watched::MainWnd;
using watched::Watching;

// A file that exists but may not be written: without any write permission
// bit (also for root), or refused to this user.  Links are followed.
// Why a file that exists cannot be written (an errno value: permission
// denied, a read-only file system), 0 when it can or is not there.
int ReadOnlyCause(const QString& path)
{
    const std::optional<std::string> native = sys::LocalNativePath(path.toStdU16String());
    struct stat st{};
    if (!native || ::stat(native->c_str(), &st) != 0)
        return 0;
    if (::access(native->c_str(), W_OK) != 0)
        return errno;
    return (st.st_mode & 0222) == 0 ? EACCES : 0;
}

bool ExistsReadOnly(const QString& path) { return ReadOnlyCause(path) != 0; }

// Nothing that is not a regular file is read: the open never waits and
// the type is checked before the first read.
bool NotAFile(int error) { return error == ENODEV || error == EISDIR; }
} // namespace

CBinDoc::CBinDoc()
{
    MapCommand(ID_EDT_READ_ONLY, [this] { SetReadOnly(!m_readOnly); });
    MapUpdate(ID_EDT_READ_ONLY, [this](ui::CmdUI& cmd) { cmd.SetCheck(m_readOnly ? 1 : 0); });
    MapCommand(ID_FILE_SAVE, [this] { DoFileSave(); });
    MapUpdate(ID_FILE_SAVE, [this](ui::CmdUI& cmd) { cmd.Enable(IsModified()); });
    m_data.SetChangeNotice([this](uint32_t found) { OnDataChanged(found); });
}

CBinDoc::~CBinDoc() { Stop(); }

bool CBinDoc::SetReadOnly(bool readOnly)
{
    const bool old = m_readOnly;
    m_readOnly = readOnly;
    UpdateAllViews(nullptr);
    return old;
}

void CBinDoc::SetModifiedFlag(bool modified)
{
    const bool changed = modified != IsModified();
    ui::Document::SetModifiedFlag(modified);
    if (changed)
        for (ui::ChildFrame* f : Frames())
            f->OnUpdateFrameTitle();
}

void CBinDoc::DeleteContents() { m_data.Clear(); }

bool CBinDoc::OnNewDocument()
{
    DeleteContents();
    SetModifiedFlag(false);
    return true;
}

bool CBinDoc::ReadFile(const QString& path, BinData& out, int& error) const
{
    const std::optional<std::string> native = sys::LocalNativePath(path.toStdU16String());
    if (!native) {
        error = ENOENT;
        return false;
    }
    return out.Open(*native, kMaxSize, error);
}

bool CBinDoc::OnOpenDocument(const QString& path)
{
    BinData bytes;
    int error = 0;
    if (!ReadFile(path, bytes, error)) {
        if (error == ENOENT) {
            // A file that does not exist yet: an empty document under its name.
            OnNewDocument();
        } else {
            if (error == EFBIG)
                ui::Prompt(FormatResString(IDS_BIN_TOO_LARGE, ui::ShownLocalPath(path)), {},
                           ui::MB_ICONEXCLAMATION);
            else
                ReportSaveLoadException(path, ui::FileError::generic, false, ui::IDS_FAILED_TO_OPEN,
                                        uint32_t(error));
            return false;
        }
    } else {
        m_data.swap(bytes);
        FreshData();
        SetModifiedFlag(false);
        // A file this user cannot write opens read-only, as in the text
        // documents.
        if (ExistsReadOnly(path))
            SetReadOnly(true);
    }
    if (Watching()) {
        watched::Watch(*this, path);
        Start();
    }
    return true;
}

bool CBinDoc::OnSaveDocument(const QString& path)
{
    // Every refused or failed save says so as the text documents do.
    // Every refused or failed save names the file and the cause on a line
    // of its own.
    const auto failed = [&path](uint32_t cause) {
        ui::Prompt(ui::WithFileCause(FormatResString(IDS_FILE_SAVE_FAILED, ui::ShownLocalPath(path)), path,
                                     cause),
                   {}, ui::MB_ICONEXCLAMATION);
        return false;
    };
    if (const int cause = ReadOnlyCause(path))
        return failed(uint32_t(cause));
    // Streamed out of the pages and the edits, never copied whole; the
    // document then reads from the file it wrote (the old one, replaced,
    // may be gone).  Bytes of the file that can no longer be had (it
    // changed outside since the open) fail the save: nothing is written.
    int readBack = -1;
    bool unavailable = false;
    std::string written;
    uint32_t cause = 0;
    const bool ok = watched::WithoutWatch(*this, GetPathName(), path, [&] {
        const std::optional<std::string> native = sys::LocalNativePath(path.toStdU16String());
        sys::AtomicFile file;
        const auto fail = [&cause] {
            cause = sys::GetLastError();
            return false;
        };
        if (!native) {
            cause = sys::GetLastError();
            return false;
        }
        if (!file.Open(*native) ||
            !m_data.WriteTo([&file](const char* bytes, size_t n) { return file.Write(bytes, n); }, &unavailable))
            return fail();
        written = *native;
        readBack = file.OpenReadBack();
        if (file.Commit())
            return true;
        fail();
        if (readBack >= 0)
            ::close(readBack);
        readBack = -1;
        return false;
    });
    if (!ok) {
        if (!unavailable)
            return failed(cause);
        SaveCannotGoElsewhere();
        ui::Prompt(FormatResString(IDS_BIN_BYTES_UNAVAILABLE, ui::ShownLocalPath(GetPathName())), {},
                   ui::MB_ICONEXCLAMATION);
        return false;
    }
    if (readBack >= 0) {
        m_data.Rebase(readBack, written);
        FreshData();
    }
    SetModifiedFlag(false);
    return true;
}

bool CBinDoc::WriteCopy(const QString& path, uint32_t& cause)
{
    const std::optional<std::string> native = sys::LocalNativePath(path.toStdU16String());
    if (!native) {
        cause = sys::GetLastError();
        return false;
    }
    sys::AtomicFile file;
    bool unavailable = false;
    if (file.Open(*native, sys::AtomicFile::kNoReplace) &&
        m_data.WriteTo([&file](const char* bytes, size_t n) { return file.Write(bytes, n); }, &unavailable) &&
        file.Commit())
        return true;
    cause = unavailable ? EIO : sys::GetLastError();
    return false;
}

void CBinDoc::OnCloseDocument()
{
    if (m_closed)
        return;
    m_closed = true;
    watched::EndWatch(*this, *this);
    ui::Document::OnCloseDocument();
}

bool CBinDoc::Reload()
{
    const QString path = GetPathName();
    BinData bytes;
    int error = 0;
    if (!ReadFile(path, bytes, error)) {
        if (NotAFile(error))
            ReportSaveLoadException(path, ui::FileError::generic, false, ui::IDS_FAILED_TO_OPEN,
                                    uint32_t(error));
        else
            ui::Prompt(FormatResString(error == EFBIG ? IDS_BIN_TOO_LARGE : IDS_BIN_RELOAD_FAILED,
                                       ui::ShownLocalPath(path)),
                       {}, ui::MB_ICONEXCLAMATION);
        return false;
    }
    m_data.swap(bytes);
    FreshData();
    SetModifiedFlag(false);
    UpdateAllViews(nullptr, kHintReloaded);
    return true;
}

bool CBinDoc::ReloadFile()
{
    if (!watched::AskBeforeReload(ui::ShownLocalPath(GetPathName()), IsModified()))
        return false;
    return watched::WithoutWatch(*this, GetPathName(), GetPathName(), [this] { return Reload(); });
}

void CBinDoc::OnFileChanged(uint32_t flags, const std::u16string& path)
{
    if (!(GetEdtGeneralFlags() & kWatchFiles))
        return;
    OutsideChange(flags, QString::fromStdU16String(path));
}

void CBinDoc::FreshData()
{
    m_found = 0;
    m_told = 0;
}

void CBinDoc::OnDataChanged(uint32_t found)
{
    // Inside a read (a paint, a save): the question waits for the event's end.
    m_found |= found;
    if (m_tellPosted)
        return;
    m_tellPosted = true;
    QTimer::singleShot(0, this, [this] {
        m_tellPosted = false;
        TellDataChange();
    });
}

void CBinDoc::TellDataChange()
{
    const uint32_t found = m_found & ~m_told;
    if (!found || m_asking || m_closed)
        return;
    m_found = 0;
    // In the monitor's terms: a changed or replaced file is a change (the
    // question of the reload), a path where nothing is a deletion.
    uint32_t flags = 0;
    if (found & (BinData::kContentChanged | BinData::kPathReplaced))
        flags |= FCM_SIZE | FCM_TIME;
    if (found & BinData::kPathGone)
        flags |= FCM_GONE;
    OutsideChange(flags, GetPathName());
}

void CBinDoc::OutsideChange(uint32_t flags, const QString& path)
{
    ui::MessageBeep(ui::MB_ICONEXCLAMATION);
    ui::MainFrameBase* main = MainWnd();
    if (main && !main->isVisible())
        main->FlashUntilFocus();
    if (ui::View* v = FirstView())
        if (ui::ChildFrame* f = v->GetParentFrame())
            if (QMdiArea* area = f->mdiArea())
                area->setActiveSubWindow(f);
    if (main)
        main->FlashUntilFocus();
    const QString shown = ui::ShownLocalPath(path);
    // The user is told once about each kind of change of the data read.
    if (flags & kChanged)
        m_told |= BinData::kContentChanged | BinData::kPathReplaced;
    if (flags & kGone)
        m_told |= BinData::kPathGone;
    m_asking = true;
    const bool reload = watched::AskAfterOutsideChange(flags, kChanged, kGone, shown, IsModified());
    m_asking = false;
    if (reload)
        Reload();
}

// ------------------------------------------------------------- CBinChildFrame

bool CBinChildFrame::OnCreateClient(ui::Document* doc, ui::DocTemplate* tmpl)
{
    if (!ui::SplitterChildFrame::OnCreateClient(doc, tmpl))
        return false;
    if (ui::SplitterWnd* s = Splitter()) {
        s->ShowColumnScrollBars(false);  // the hex view scrolls only vertically
        PreparePanes(s, 10);
    }
    return true;
}

void CBinChildFrame::OnUpdateFrameTitle()
{
    ui::Document* doc = GetActiveDocument();
    if (!doc)
        return;
    QString title = doc->GetTitle();
    const std::vector<ui::ChildFrame*> frames = doc->Frames();
    if (frames.size() > 1)
        for (size_t i = 0; i < frames.size(); ++i)
            if (frames[i] == this)
                title += QStringLiteral(":%1").arg(i + 1);
    if (doc->IsModified())
        title += QStringLiteral(" *");
    setWindowTitle(title);
}

void CBinChildFrame::showEvent(QShowEvent* e)
{
    ui::SplitterChildFrame::showEvent(e);
    if (!m_shown) {
        m_shown = true;
        if (GetEdtGeneralFlags() & kMaximiseFrames)
            showMaximized();
    }
}
