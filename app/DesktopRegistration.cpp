#include "app/DesktopRegistration.h"

#include "app/DesktopFiles.h"
#include "platform/sys/FileIO.h"
#include "platform/sys/LastError.h"
#include "res/Resources.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <filesystem>
#include <system_error>

namespace desktop {

namespace {

std::string Native(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

bool SameContent(const QString& path, const QByteArray& bytes)
{
    const std::optional<std::string> have = sys::ReadWholeFile(Native(path));
    return have && have->size() == size_t(bytes.size()) &&
           std::equal(have->begin(), have->end(), bytes.begin());
}

// Runs tool with its argument where the tool exists; a tool that does not
// end within timeoutMs is killed.
bool RunTool(const char* tool, const QString& argument, int timeoutMs)
{
    const QString path = QStandardPaths::findExecutable(QString::fromLatin1(tool));
    if (path.isEmpty())
        return false;
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.setStandardOutputFile(QProcess::nullDevice());
    p.setStandardInputFile(QProcess::nullDevice());
    p.start(path, {argument});
    if (!p.waitForStarted(timeoutMs))
        return false;
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished(1000);
    }
    return true;
}

QStringList AbsoluteDirs(const QByteArray& list)
{
    QStringList out;
    for (const QString& d : QFile::decodeName(list).split(QLatin1Char(':'), Qt::SkipEmptyParts))
        if (QDir::isAbsolutePath(d))
            out << QDir::cleanPath(d);
    return out;
}

} // namespace

QString ExecArgument(const QString& program)
{
    static const QString kReserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    bool quote = false;
    for (QChar c : program)
        quote = quote || kReserved.contains(c);
    QString arg;
    if (quote) {
        arg += QLatin1Char('"');
        for (QChar c : program) {
            if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') ||
                c == QLatin1Char('\\'))
                arg += QLatin1Char('\\');
            arg += c;
        }
        arg += QLatin1Char('"');
    } else {
        arg = program;
    }
    // The field codes' "%", then the escapes of a string value.
    QString out;
    for (QChar c : arg) {
        if (c == QLatin1Char('%'))
            out += QStringLiteral("%%");
        else if (c == QLatin1Char('\\'))
            out += QStringLiteral("\\\\");
        else if (c == QLatin1Char('\n'))
            out += QStringLiteral("\\n");
        else if (c == QLatin1Char('\t'))
            out += QStringLiteral("\\t");
        else if (c == QLatin1Char('\r'))
            out += QStringLiteral("\\r");
        else
            out += c;
    }
    return out;
}

QByteArray DesktopEntry(const QString& program)
{
    QByteArray entry(kDesktopEntryTemplate);
    entry.replace("@SW_EXEC@", ExecArgument(program).toUtf8());
    return entry;
}

QByteArray MimeDescription()
{
    return QByteArray(kMimeDescription);
}

QByteArray IconSvg()
{
    return res::Data(QStringLiteral("icons/128.svg"));
}

QString UserDataHome()
{
    const QString xdg = qEnvironmentVariable("XDG_DATA_HOME");
    if (QDir::isAbsolutePath(xdg))
        return QDir::cleanPath(xdg);
    return QDir::cleanPath(qEnvironmentVariable("HOME") + QStringLiteral("/.local/share"));
}

QStringList SystemDataDirs()
{
    QStringList dirs = AbsoluteDirs(qgetenv("XDG_DATA_DIRS"));
    if (dirs.isEmpty())
        dirs = {QStringLiteral("/usr/local/share"), QStringLiteral("/usr/share")};
    return dirs;
}

Outcome Register(const QString& program, const QString& dataHome, const QStringList& systemDirs,
                 int toolTimeoutMs)
{
    const QByteArray entry = DesktopEntry(program);
    const QByteArray mime = MimeDescription();
    Outcome out;
    for (const QString& dir : systemDirs) {
        if (SameContent(dir + QLatin1Char('/') + QLatin1String(kEntryFile), entry) &&
            SameContent(dir + QLatin1Char('/') + QLatin1String(kMimeFile), mime)) {
            out.kind = Outcome::SystemWide;
            return out;
        }
    }
    const struct
    {
        const char* name;
        QByteArray bytes;
    } files[] = {{kIconFile, IconSvg()}, {kMimeFile, mime}, {kEntryFile, entry}};
    bool mimeWritten = false, entryWritten = false;
    for (const auto& f : files) {
        const QString path = dataHome + QLatin1Char('/') + QLatin1String(f.name);
        if (SameContent(path, f.bytes))
            continue;
        const QString folder = QFileInfo(path).path();
        std::error_code ec;
        std::filesystem::create_directories(Native(folder), ec);
        if (ec) {
            out.kind = Outcome::Failed;
            out.path = folder;
            out.error = QString::fromStdString(sys::ErrorText(uint32_t(ec.value())));
            return out;
        }
        if (!sys::AtomicWriteFile(Native(path),
                                  std::string_view(f.bytes.constData(), size_t(f.bytes.size())))) {
            out.kind = Outcome::Failed;
            out.path = path;
            out.error = QString::fromStdString(sys::ErrorText(sys::GetLastError()));
            return out;
        }
        out.kind = Outcome::Written;
        mimeWritten = mimeWritten || f.name == kMimeFile;
        entryWritten = entryWritten || f.name == kEntryFile;
    }
    // The databases: the MIME cache first, so that the desktop's cache of
    // entries by type sees the types.
    // A cache that is missing (the tool came after the files) is made too.
    mimeWritten = mimeWritten || !QFileInfo::exists(dataHome + QStringLiteral("/mime/mime.cache"));
    entryWritten = entryWritten ||
                   !QFileInfo::exists(dataHome + QStringLiteral("/applications/mimeinfo.cache"));
    if (mimeWritten &&
        RunTool("update-mime-database", dataHome + QStringLiteral("/mime"), toolTimeoutMs))
        out.toolsRun << QStringLiteral("update-mime-database");
    if (entryWritten && RunTool("update-desktop-database",
                                dataHome + QStringLiteral("/applications"), toolTimeoutMs))
        out.toolsRun << QStringLiteral("update-desktop-database");
    return out;
}

} // namespace desktop
