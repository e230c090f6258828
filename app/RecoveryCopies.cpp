#include "app/RecoveryCopies.h"

#include "platform/sys/FileIO.h"
#include "platform/sys/LastError.h"
#include "platform/sys/LockedFile.h"
#include "platform/sys/NativeText.h"
#include "platform/sys/WinPath.h"
#include "platform/ui/Document.h"
#include "platform/ui/LocalPath.h"
#include "res/StringTable.h"

#include <QDateTime>
#include <QDir>
#include <QRegularExpression>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <set>
#include <string>
#include <utility>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace recovery {

namespace {

QString Unsaved(const QString& stateFolder) { return stateFolder + QStringLiteral("/unsaved"); }
QString UntoldFile(const QString& stateFolder) { return Unsaved(stateFolder) + QStringLiteral("/untold"); }
QString ToldFile(const QString& stateFolder)
{
    return Unsaved(stateFolder) + QStringLiteral("/told");
}

// The longest extension a shortened copy name keeps (".plc", ".kxp",
// ".txt" and their like, with room to spare).
constexpr int kLongestKeptExtension = 16;

QString CauseText(uint32_t cause) { return QString::fromLocal8Bit(sys::ErrorText(cause)); }

// Makes the folder and its missing parents; 0 or the errno value.
int MakeFolders(const QString& folder)
{
    const std::string native = sys::NativeOf(folder.toStdU16String());
    return native.empty() ? EILSEQ : sys::MakeFolders(native, 0700);
}

// A folder of its own for this ending: never one that is there already.
QString NewEndingFolder(const QString& base, int& error)
{
    error = MakeFolders(base);
    if (error)
        return {};
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss"));
    for (int n = 1; n < 1000; ++n) {
        const QString folder = base + QLatin1Char('/') + stamp + (n > 1 ? QStringLiteral("-%1").arg(n) : QString());
        if (::mkdir(sys::NativeOf(folder.toStdU16String()).c_str(), 0700) == 0)
            return folder;
        if (errno != EEXIST) {
            error = errno;
            return {};
        }
    }
    error = EEXIST;
    return {};
}

// stem + tail in at most room UTF-16 units: the stem is cut (never
// between the halves of a surrogate pair) and marked with "~"; empty when
// not even one unit of it fits.
QString Fitted(const QString& stem, const QString& tail, int room)
{
    if (stem.size() + tail.size() <= room)
        return stem + tail;
    int keep = room - int(tail.size()) - 1;
    if (keep < 1)
        return {};
    if (stem.at(keep - 1).isHighSurrogate())
        --keep;
    return keep < 1 ? QString() : stem.left(keep) + QLatin1Char('~') + tail;
}

// The copy's name: the file's own (or the document's title), one path
// component, not one that an earlier copy of this ending took, cut so that
// the copy's path stays within the program's path limit (originals.txt
// names the original).
QString CopyName(const ui::Document& doc, std::set<QString>& taken, int room)
{
    QString name = doc.GetPathName().isEmpty() ? doc.GetTitle() : ui::LocalFileName(doc.GetPathName());
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        name = QStringLiteral("document");
    if (name == QLatin1String("originals.txt"))
        name.prepend(QLatin1Char('_'));
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    // An extension longer than a usual one is cut with the stem.
    const bool keepExt = dot > 0 && name.size() - dot <= kLongestKeptExtension;
    const QString stem = keepExt ? name.left(dot) : name;
    const QString ext = keepExt ? name.mid(dot) : QString();
    for (int n = 1;; ++n) {
        const QString tail = (n > 1 ? QStringLiteral(" (%1)").arg(n) : QString()) + ext;
        QString candidate = Fitted(stem, tail, room);
        if (candidate.isEmpty())
            candidate = Fitted(QString::number(n), ext, room);
        if (candidate.isEmpty())
            candidate = QString::number(n);
        if (taken.insert(candidate).second)
            return candidate;
    }
}

// The original's path (exact: a byte that is no UTF-8 stays its escape).
QString Original(const ui::Document& doc) { return doc.GetPathName().isEmpty() ? doc.GetTitle() : doc.GetPathName(); }
// The original as the lines show it ("\xE9" for such a byte).
QString ShownOriginal(const ui::Document& doc) { return ui::ShownLocalPath(Original(doc)); }

// Writes text as UTF-8 with names' bytes as they are (sys::TextToNative):
// a path in the file names exactly its file, never a look-alike.
bool WriteUtf8(const QString& path, const QString& text, bool replace, uint32_t& cause)
{
    std::string bytes;
    if (!sys::TextToNative(text.toStdU16String(), bytes))
        bytes = text.toUtf8().toStdString();
    if (replace) {
        const std::optional<std::string> native = ui::NativeOfLocalPath(path);
        if (native && sys::AtomicWriteFile(*native, bytes))
            return true;
        cause = native ? sys::GetLastError() : uint32_t(ENAMETOOLONG);
        return false;
    }
    return ui::WriteNewFile(path, bytes, cause);
}

enum class ListUse
{
    Read,   // read, shared with other readers
    Take,   // read and removed (it needs no write access of its own)
    Append, // made when missing, a line added
};

// The list of folders to tell about, open and locked: every change is made
// under the lock, in place (an append) or by removing the file, never by
// writing a new one over it, so that two programs ended by one signal both
// find their folder on it.  A file that was removed while this one waited
// for the lock is opened anew.  -1 with errno when it cannot be opened.
int OpenLockedList(const QString& stateFolder, ListUse use)
{
    const std::optional<std::string> listFile = ui::NativeOfLocalPath(UntoldFile(stateFolder));
    if (!listFile) {
        errno = ENAMETOOLONG;
        return -1;
    }
    const int flags = use == ListUse::Append ? O_RDWR | O_CREAT : O_RDONLY;
    return sys::OpenLocked(*listFile, flags, use != ListUse::Read, -1, 0600);
}

// The folders on the open list that are still there, each once.
QStringList ReadList(int fd)
{
    QByteArray all;
    char buffer[4096];
    for (off_t at = 0;;) {
        const ssize_t n = ::pread(fd, buffer, sizeof buffer, at);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        all.append(buffer, n);
        at += n;
    }
    QStringList folders;
    for (const QString& folder : ui::LocalPathOfNative(std::string_view(all.constData(), size_t(all.size())))
                                     .split(QLatin1Char('\n')))
        if (!folder.isEmpty() && !folders.contains(folder) && ui::IsLocalFolder(folder))
            folders << folder;
    return folders;
}

// Appends the folder to the list; 0 or the errno value.  A line that
// cannot be written whole is taken back, so the next one starts a line.
int NoteUntold(const QString& stateFolder, const QString& folder)
{
    const int fd = OpenLockedList(stateFolder, ListUse::Append);
    if (fd < 0)
        return errno;
    const off_t end = ::lseek(fd, 0, SEEK_END);
    std::string bytes;
    if (!sys::TextToNative(folder.toStdU16String(), bytes))
        bytes = folder.toUtf8().toStdString();
    QByteArray line = QByteArray::fromStdString(bytes) + '\n';
    char last = '\n';
    if (end > 0 && ::pread(fd, &last, 1, end - 1) == 1 && last != '\n')
        line.prepend('\n');
    int error = end < 0 ? errno : 0;
    for (qsizetype done = 0; !error && done < line.size();) {
        const ssize_t n = ::pwrite(fd, line.constData() + done, size_t(line.size() - done), end + done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            error = n < 0 ? errno : ENOSPC;
        else
            done += n;
    }
    if (error && end >= 0)
        (void)::ftruncate(fd, end);
    ::close(fd);
    return error;
}

// The time in the name of an ending's folder and its number ("-2", ...):
// the order of the endings.  A name of another form sorts first.
std::pair<QString, int> EndingKey(const QString& folder)
{
    static const QRegularExpression kEnding(
        QStringLiteral("/(\\d{4}-\\d\\d-\\d\\d_\\d\\d-\\d\\d-\\d\\d)(?:-(\\d{1,4}))?$"));
    const QRegularExpressionMatch m = kEnding.match(folder);
    if (!m.hasMatch())
        return {};
    return {m.captured(1), m.captured(2).isEmpty() ? 1 : m.captured(2).toInt()};
}

// The folders of endings that the recovery folder itself holds, each with
// a copy in it: also one that the list lacks (it could not be written when
// that program ended).
QStringList FoldersFound(const QString& stateFolder)
{
    const std::optional<std::string> base = ui::NativeOfLocalPath(Unsaved(stateFolder));
    DIR* dir = base ? ::opendir(base->c_str()) : nullptr;
    if (!dir)
        return {};
    QStringList folders;
    while (const dirent* e = ::readdir(dir)) {
        const QString folder =
            Unsaved(stateFolder) + QLatin1Char('/') + ui::LocalPathOfNative(e->d_name);
        if (EndingKey(folder).first.isEmpty())
            continue;
        DIR* inside = ::opendir((*base + '/' + e->d_name).c_str());
        if (!inside)
            continue;
        bool copy = false;
        while (const dirent* c = ::readdir(inside))
            copy = copy || (std::strcmp(c->d_name, ".") != 0 && std::strcmp(c->d_name, "..") != 0 &&
                            std::strcmp(c->d_name, "originals.txt") != 0);
        ::closedir(inside);
        if (copy)
            folders << folder;
    }
    ::closedir(dir);
    return folders;
}

// The folders of earlier endings the user was not told about, in the
// order of the endings: those on the open list (list; -1 when there is
// none) and those found in the recovery folder itself, none that the open
// record of told folders (told; -1 when there is none) holds.
QStringList NotTold(const QString& stateFolder, int list, int told)
{
    QStringList folders = list >= 0 ? ReadList(list) : QStringList();
    for (const QString& folder : FoldersFound(stateFolder))
        if (!folders.contains(folder))
            folders << folder;
    if (told >= 0)
        for (const QString& folder : ReadList(told))
            folders.removeAll(folder);
    std::stable_sort(folders.begin(), folders.end(), [](const QString& a, const QString& b) {
        return EndingKey(a) < EndingKey(b);
    });
    return folders;
}

// The record of told folders, open and locked (after the list, when that
// is locked too); -1 when it cannot be opened.
int OpenLockedTold(const QString& stateFolder, bool write)
{
    const std::optional<std::string> file = ui::NativeOfLocalPath(ToldFile(stateFolder));
    return file ? sys::OpenLocked(*file, write ? O_RDWR | O_CREAT : O_RDONLY, write, -1, 0600) : -1;
}

} // namespace

QString StateFolder()
{
    QString base = ui::LocalPathOfNative(qgetenv("XDG_STATE_HOME").toStdString());
    if (!base.startsWith(QLatin1Char('/')))
    {
        const QByteArray home = qgetenv("HOME");
        base = (home.isEmpty() ? QDir::homePath() : ui::LocalPathOfNative(home.toStdString())) +
               QStringLiteral("/.local/state");
    }
    return base + QStringLiteral("/ORNA/Strandwork");
}

Kept KeepUnsaved(const QString& stateFolder, const std::vector<ui::Document*>& docs)
{
    Kept kept;
    if (docs.empty())
        return kept;
    int error = 0;
    kept.folder = NewEndingFolder(Unsaved(stateFolder), error);
    if (kept.folder.isEmpty()) {
        for (const ui::Document* doc : docs)
            kept.lines << QStringLiteral("strandwork: the unsaved changes of %1 could not be kept in %2: %3")
                              .arg(ShownOriginal(*doc), ui::ShownLocalPath(Unsaved(stateFolder)),
                                   CauseText(uint32_t(error)));
        return kept;
    }
    // The next start is to name this folder whatever becomes of the copies
    // (a state folder that fills up while they are written): it goes on
    // the list first, and so does the list of originals.
    if (const int noted = NoteUntold(stateFolder, kept.folder))
        kept.lines << QStringLiteral("strandwork: the folder %1 could not be noted in %2 for the next start: %3")
                          .arg(ui::ShownLocalPath(kept.folder),
                               ui::ShownLocalPath(UntoldFile(stateFolder)), CauseText(uint32_t(noted)));
    // Every copy's path stays within the program's path limit.
    const int room = int(sys::WinPath::kMaxPath) - 1 - int(kept.folder.size()) - 1;
    std::set<QString> taken{QStringLiteral("originals.txt")};
    std::vector<std::pair<ui::Document*, QString>> planned;
    QString index;
    for (ui::Document* doc : docs) {
        planned.emplace_back(doc, CopyName(*doc, taken, room));
        index += planned.back().second + QStringLiteral("\t") + Original(*doc) + QLatin1Char('\n');
    }
    const QString originals = kept.folder + QStringLiteral("/originals.txt");
    uint32_t cause = 0;
    const bool listed = WriteUtf8(originals, index, false, cause);
    if (!listed)
        kept.lines << QStringLiteral("strandwork: the list of originals could not be written in %1: %2")
                          .arg(ui::ShownLocalPath(originals), CauseText(cause));
    QString written;
    for (const auto& [doc, name] : planned) {
        const QString copy = kept.folder + QLatin1Char('/') + name;
        cause = 0;
        if (doc->WriteCopy(copy, cause)) {
            ++kept.written;
            written += name + QStringLiteral("\t") + Original(*doc) + QLatin1Char('\n');
            kept.lines << QStringLiteral("strandwork: the unsaved changes of %1 are kept in %2")
                              .arg(ShownOriginal(*doc), ui::ShownLocalPath(copy));
        } else {
            kept.lines << QStringLiteral("strandwork: the unsaved changes of %1 could not be kept in %2: %3")
                              .arg(ShownOriginal(*doc), ui::ShownLocalPath(copy), CauseText(cause));
        }
    }
    if (kept.written == 0) {
        if (const std::optional<std::string> native = ui::NativeOfLocalPath(originals))
            ::unlink(native->c_str());
        if (const std::optional<std::string> native = ui::NativeOfLocalPath(kept.folder))
            ::rmdir(native->c_str());
        kept.folder.clear();
        return kept;
    }
    // The list names only the copies that are there (as far as it can be
    // written again).
    if (listed && written != index)
        (void)WriteUtf8(originals, written, true, cause);
    return kept;
}

QStringList Untold(const QString& stateFolder)
{
    const int list = OpenLockedList(stateFolder, ListUse::Read);
    const int told = OpenLockedTold(stateFolder, false);
    const QStringList folders = NotTold(stateFolder, list, told);
    for (int fd : {told, list})
        if (fd >= 0)
            ::close(fd);
    return folders;
}

QStringList TakeUntold(const QString& stateFolder)
{
    const int list = OpenLockedList(stateFolder, ListUse::Take);
    // Where the record cannot be written the folders are told again at the
    // next start, which loses nothing.
    int told = OpenLockedTold(stateFolder, true);
    if (told < 0)
        told = OpenLockedTold(stateFolder, false);
    const QStringList folders = NotTold(stateFolder, list, told);
    if (told >= 0 && !folders.isEmpty()) {
        // The record keeps the told folders that are still there.
        std::string bytes;
        const QStringList found = FoldersFound(stateFolder);
        for (const QString& folder : ReadList(told) + folders) {
            if (!found.contains(folder) && !folders.contains(folder))
                continue; // gone since: the record does not grow for ever
            std::string native;
            if (!sys::TextToNative(folder.toStdU16String(), native))
                native = folder.toUtf8().toStdString();
            bytes += native + '\n';
        }
        if (::ftruncate(told, 0) == 0)
            (void)::pwrite(told, bytes.data(), bytes.size(), 0);
    }
    // Removed while locked: a program that opened it meanwhile opens the
    // new one once it has the lock.
    if (list >= 0)
        if (const std::optional<std::string> native =
                ui::NativeOfLocalPath(UntoldFile(stateFolder)))
            ::unlink(native->c_str());
    for (int fd : {told, list})
        if (fd >= 0)
            ::close(fd);
    return folders;
}

void ForgetUntold(const QString& stateFolder) { (void)TakeUntold(stateFolder); }

QString TellText(const QStringList& folders, bool whole, const QString& stateFolder)
{
    QStringList shown;
    const qsizetype first = whole ? 0 : std::max<qsizetype>(0, folders.size() - kShownFolders);
    for (qsizetype i = first; i < folders.size(); ++i)
        shown << ui::ShownLocalPath(folders[i]);
    QString list = shown.join(QLatin1Char('\n'));
    if (first > 0)
        list += QLatin1Char('\n') + FormatResString(IDS_UNSAVED_KEPT_MORE, int(folders.size()), kShownFolders,
                                                     ui::ShownLocalPath(Unsaved(stateFolder)));
    return FormatResString(IDS_UNSAVED_KEPT, list);
}

} // namespace recovery
