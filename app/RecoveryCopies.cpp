#include "app/RecoveryCopies.h"

#include "platform/sys/FileIO.h"
#include "platform/sys/LastError.h"
#include "platform/ui/Document.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <set>
#include <string>

#include <sys/stat.h>

namespace recovery {

namespace {

QString Unsaved(const QString& stateFolder) { return stateFolder + QStringLiteral("/unsaved"); }
QString UntoldFile(const QString& stateFolder) { return Unsaved(stateFolder) + QStringLiteral("/untold"); }

QString CauseText(uint32_t cause) { return QString::fromLocal8Bit(sys::ErrorText(cause)); }

// Makes the folder and its missing parents; 0 or the errno value.
int MakeFolders(const QString& folder)
{
    const QByteArray native = QFile::encodeName(folder);
    std::string path;
    for (const QByteArray& part : native.split('/')) {
        path += part.toStdString();
        if (!part.isEmpty() && ::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST)
            return errno;
        path += '/';
    }
    struct stat st;
    if (::stat(native.constData(), &st) != 0)
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
        if (::mkdir(QFile::encodeName(folder).constData(), 0700) == 0)
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
    QString name = doc.GetPathName().isEmpty() ? doc.GetTitle() : QFileInfo(doc.GetPathName()).fileName();
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

QString Original(const ui::Document& doc)
{
    return doc.GetPathName().isEmpty() ? doc.GetTitle() : QDir::toNativeSeparators(doc.GetPathName());
}

bool WriteUtf8(const QString& path, const QString& text, bool replace)
{
    const QByteArray bytes = text.toUtf8();
    if (replace) {
        const QByteArray native = QFile::encodeName(path);
        return sys::AtomicWriteFile(native.toStdString(), std::string_view(bytes.constData(), size_t(bytes.size())));
    }
    uint32_t cause = 0;
    return ui::WriteNewFile(path, std::string_view(bytes.constData(), size_t(bytes.size())), cause);
}

} // namespace

QString StateFolder()
{
    QString base = qEnvironmentVariable("XDG_STATE_HOME");
    if (!QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.local/state");
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
                              .arg(Original(*doc), QDir::toNativeSeparators(Unsaved(stateFolder)),
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
                              .arg(Original(*doc), QDir::toNativeSeparators(copy));
        } else {
            kept.lines << QStringLiteral("strandwork: the unsaved changes of %1 could not be kept in %2: %3")
                              .arg(Original(*doc), QDir::toNativeSeparators(copy), CauseText(cause));
        }
    }
    if (kept.written == 0) {
        QDir().rmdir(kept.folder);
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
    QFile file(UntoldFile(stateFolder));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList folders;
    for (const QByteArray& line : file.readAll().split('\n'))
        if (!line.isEmpty() && QFileInfo(QString::fromUtf8(line)).isDir())
            folders << QString::fromUtf8(line);
    return folders;
}

void ForgetUntold(const QString& stateFolder) { QFile::remove(UntoldFile(stateFolder)); }

} // namespace recovery
