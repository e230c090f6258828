#include "platform/ui/LocalPath.h"

#include "platform/sys/FileIO.h"
#include "platform/sys/LastError.h"
#include "platform/sys/LocalFiles.h"
#include "platform/sys/NativeText.h"
#include "platform/ui/Prompt.h"
#include "res/StringTable.h"

#include <QDir>
#include <QFile>
#include <QUrl>
#include <QWidget>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <unistd.h>

#include <sys/stat.h>

namespace ui {

QString LocalPathOfNative(std::string_view bytes) { return QString::fromStdU16String(sys::NativeToText(bytes)); }

std::optional<std::string> NativeOfLocalPath(const QString& path)
{
    return sys::LocalNativePath(path.toStdU16String());
}

QString LocalPathOfUrl(const QUrl& url)
{
    // QUrl keeps what is no UTF-8 percent-encoded.
    return LocalPathOfNative(QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()).toStdString());
}

QStringList LocalArguments(int argc, char** argv)
{
    QStringList out;
    for (int i = 1; i < argc; ++i)
        if (argv[i])
            out << LocalPathOfNative(argv[i]);
    return out;
}

QString CurrentLocalFolder()
{
    std::string buf(PATH_MAX, '\0');
    for (;;) {
        if (::getcwd(buf.data(), buf.size()))
            return LocalPathOfNative(buf.c_str());
        if (errno != ERANGE || buf.size() > (1u << 20))
            return QStringLiteral("/");
        buf.resize(buf.size() * 2);
    }
}

QString AbsoluteLocalPath(const QString& path)
{
    if (path.isEmpty())
        return path;
    // QDir::cleanPath works on the text alone.
    if (path.startsWith(QLatin1Char('/')))
        return QDir::cleanPath(path);
    return QDir::cleanPath(CurrentLocalFolder() + QLatin1Char('/') + path);
}

QString LocalFileName(const QString& path) { return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1); }

QString ShownLocalPath(const QString& path)
{
    return QString::fromStdU16String(sys::ShownNativeText(QDir::toNativeSeparators(path).toStdU16String()));
}

namespace {
bool StatOf(const QString& path, struct stat& st)
{
    const std::optional<std::string> native = NativeOfLocalPath(path);
    return native && ::stat(native->c_str(), &st) == 0;
}
} // namespace

bool LocalPathExists(const QString& path)
{
    struct stat st{};
    return StatOf(path, st);
}

bool IsLocalFile(const QString& path)
{
    struct stat st{};
    return StatOf(path, st) && S_ISREG(st.st_mode);
}

bool IsLocalFolder(const QString& path)
{
    struct stat st{};
    return StatOf(path, st) && S_ISDIR(st.st_mode);
}

bool SetCurrentLocalFolder(const QString& folder)
{
    const std::optional<std::string> native = NativeOfLocalPath(folder);
    return native && ::chdir(native->c_str()) == 0;
}

namespace {
// The native path that a path chosen in a Qt dialog stands for (true), or
// the full native paths of the entries it may stand for (false).
bool ResolveChosen(const QString& chosen, std::string& exact, std::vector<std::string>& several)
{
    const QString full = AbsoluteLocalPath(chosen);
    const QStringList parts = full.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    std::string native;
    bool listing = true; // the folder so far exists: its entries are looked at
    for (const QString& part : parts) {
        const std::string folder = native.empty() ? "/" : native;
        native += '/';
        // Qt gives U+FFFD for what it could not decode; a name without it
        // is its own UTF-8 (a typed name, or an entry that is valid UTF-8).
        if (!listing || !part.contains(QChar(0xFFFD))) {
            native += part.toStdString();
            continue;
        }
        std::vector<sys::LocalEntry> entries;
        std::vector<std::string> found;
        if (sys::ListLocalFolder(folder, entries))
            for (const sys::LocalEntry& e : entries)
                if (QFile::decodeName(QByteArray::fromStdString(e.name)) == part)
                    found.push_back(e.name);
        if (found.size() > 1) {
            std::sort(found.begin(), found.end());
            for (const std::string& f : found)
                several.push_back(native + f);
            return false;
        }
        if (found.empty()) {
            // Not there: the name as typed (a file to be made).
            listing = false;
            native += part.toStdString();
        } else {
            native += found.front();
        }
    }
    exact = native.empty() ? "/" : native;
    return true;
}
} // namespace

bool ExactChosenPath(const QString& chosen, QString& exact, QString* refusal)
{
    std::string native;
    std::vector<std::string> several;
    if (ResolveChosen(chosen, native, several)) {
        exact = LocalPathOfNative(native);
        return true;
    }
    if (refusal) {
        QStringList names;
        for (const std::string& f : several)
            names << ShownLocalPath(LocalPathOfNative(f));
        *refusal = FormatResString(IDS_AMBIGUOUS_NAME, ShownLocalPath(AbsoluteLocalPath(chosen)),
                                   names.join(QStringLiteral(", ")));
    }
    sys::SetLastError(EEXIST);
    return false;
}

QStringList ChosenPathCandidates(const QString& chosen)
{
    std::string native;
    std::vector<std::string> several;
    QStringList names;
    if (!ResolveChosen(chosen, native, several))
        for (const std::string& f : several)
            names << ShownLocalPath(LocalFileName(LocalPathOfNative(f)));
    return names;
}

bool TakeExactChosenPath(QString& path, QWidget* owner)
{
    QStringList paths{path};
    if (!ExactChosenPaths(paths, owner))
        return false;
    path = paths.first();
    return true;
}

bool ExactChosenPaths(QStringList& paths, QWidget* owner)
{
    for (QString& p : paths) {
        QString exact, refusal;
        if (!ExactChosenPath(p, exact, &refusal)) {
            Prompt(refusal, {}, MB_OK | MB_ICONERROR, owner);
            return false;
        }
        p = exact;
    }
    return true;
}

} // namespace ui
