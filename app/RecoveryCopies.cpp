#include "app/RecoveryCopies.h"

#include "platform/sys/FileIO.h"
#include "platform/sys/LastError.h"
#include "platform/sys/NativeText.h"
#include "platform/ui/Document.h"
#include "platform/ui/LocalPath.h"

#include <QDateTime>
#include <QDir>

#include <cerrno>
#include <set>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

namespace recovery {

namespace {

QString Unsaved(const QString& stateFolder) { return stateFolder + QStringLiteral("/unsaved"); }
QString UntoldFile(const QString& stateFolder) { return Unsaved(stateFolder) + QStringLiteral("/untold"); }

QString CauseText(uint32_t cause) { return QString::fromLocal8Bit(sys::ErrorText(cause)); }

// Makes the folder and its missing parents; 0 or the errno value.
int MakeFolders(const QString& folder)
{
    const std::string native = sys::NativeOf(folder.toStdU16String());
    if (native.empty())
        return EILSEQ;
    std::string path;
    for (size_t at = 0; at <= native.size();) {
        size_t end = native.find('/', at);
        if (end == std::string::npos)
            end = native.size();
        path += native.substr(at, end - at);
        if (end > at && ::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST)
            return errno;
        path += '/';
        at = end + 1;
    }
    struct stat st;
    if (::stat(native.c_str(), &st) != 0)
        return errno;
    return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
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

// The copy's name: the file's own (or the document's title), one path
// component, not one that an earlier copy of this ending took.
QString CopyName(const ui::Document& doc, std::set<QString>& taken)
{
    QString name = doc.GetPathName().isEmpty() ? doc.GetTitle() : ui::LocalFileName(doc.GetPathName());
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        name = QStringLiteral("document");
    if (name == QLatin1String("originals.txt"))
        name.prepend(QLatin1Char('_'));
    QString candidate = name;
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    const QString stem = dot > 0 ? name.left(dot) : name;
    const QString ext = dot > 0 ? name.mid(dot) : QString();
    for (int n = 2; taken.count(candidate); ++n)
        candidate = QStringLiteral("%1 (%2)%3").arg(stem).arg(n).arg(ext);
    taken.insert(candidate);
    return candidate;
}

// The original's path (exact: a byte that is no UTF-8 stays its escape).
QString Original(const ui::Document& doc) { return doc.GetPathName().isEmpty() ? doc.GetTitle() : doc.GetPathName(); }
// The original as the lines show it ("\xE9" for such a byte).
QString ShownOriginal(const ui::Document& doc) { return ui::ShownLocalPath(Original(doc)); }

// Writes text as UTF-8 with names' bytes as they are (sys::TextToNative):
// a path in the file names exactly its file, never a look-alike.
bool WriteUtf8(const QString& path, const QString& text, bool replace)
{
    std::string bytes;
    if (!sys::TextToNative(text.toStdU16String(), bytes))
        bytes = text.toUtf8().toStdString();
    if (replace) {
        const std::optional<std::string> native = ui::NativeOfLocalPath(path);
        return native && sys::AtomicWriteFile(*native, bytes);
    }
    uint32_t cause = 0;
    return ui::WriteNewFile(path, bytes, cause);
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
    std::set<QString> taken{QStringLiteral("originals.txt")};
    QString index;
    for (ui::Document* doc : docs) {
        const QString name = CopyName(*doc, taken);
        const QString copy = kept.folder + QLatin1Char('/') + name;
        uint32_t cause = 0;
        if (doc->WriteCopy(copy, cause)) {
            ++kept.written;
            index += name + QStringLiteral("\t") + Original(*doc) + QLatin1Char('\n');
            kept.lines << QStringLiteral("strandwork: the unsaved changes of %1 are kept in %2")
                              .arg(ShownOriginal(*doc), ui::ShownLocalPath(copy));
        } else {
            kept.lines << QStringLiteral("strandwork: the unsaved changes of %1 could not be kept in %2: %3")
                              .arg(ShownOriginal(*doc), ui::ShownLocalPath(copy), CauseText(cause));
        }
    }
    if (kept.written == 0) {
        if (const std::optional<std::string> native = ui::NativeOfLocalPath(kept.folder))
            ::rmdir(native->c_str());
        kept.folder.clear();
        return kept;
    }
    (void)WriteUtf8(kept.folder + QStringLiteral("/originals.txt"), index, false);
    const QStringList before = Untold(stateFolder);
    (void)WriteUtf8(UntoldFile(stateFolder), (before + QStringList{kept.folder}).join(QLatin1Char('\n')) + '\n',
                    true);
    return kept;
}

QStringList Untold(const QString& stateFolder)
{
    const std::optional<std::string> native = ui::NativeOfLocalPath(UntoldFile(stateFolder));
    const std::optional<std::string> bytes = native ? sys::ReadWholeFile(*native) : std::nullopt;
    if (!bytes)
        return {};
    QStringList folders;
    for (const QString& line : ui::LocalPathOfNative(*bytes).split(QLatin1Char('\n')))
        if (!line.isEmpty() && ui::IsLocalFolder(line))
            folders << line;
    return folders;
}

void ForgetUntold(const QString& stateFolder)
{
    if (const std::optional<std::string> native = ui::NativeOfLocalPath(UntoldFile(stateFolder)))
        ::unlink(native->c_str());
}

} // namespace recovery
