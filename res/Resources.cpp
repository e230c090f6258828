#include "res/Resources.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QResource>

// The built-in resources live in this static library; make sure their
// registration is linked in and run.
static void EnsureBuiltinResources()
{
    static const bool once = [] {
        Q_INIT_RESOURCE(strandwork_res);
        return true;
    }();
    (void)once;
}

namespace res {

namespace {
QString g_languageFile;
}

QString Path(const QString& relative)
{
    EnsureBuiltinResources();
    if (!g_languageFile.isEmpty()) {
        QString p = QStringLiteral(":/lang/") + relative;
        if (QFileInfo::exists(p))
            return p;
    }
    QString p = QStringLiteral(":/res/") + relative;
    if (QFileInfo::exists(p))
        return p;
    return {};
}

QByteArray Data(const QString& relative, bool* ok)
{
    QString p = Path(relative);
    QFile f(p);
    if (p.isEmpty() || !f.open(QIODevice::ReadOnly)) {
        if (ok)
            *ok = false;
        return {};
    }
    if (ok)
        *ok = true;
    return f.readAll();
}

bool LoadLanguage(const QString& programFolder, const QString& programStem, const QString& code)
{
    EnsureBuiltinResources();
    QString file = QDir(programFolder).filePath(programStem + code + QStringLiteral(".rcc"));
    if (!QFileInfo::exists(file))
        return false;
    UnloadLanguage();
    if (!QResource::registerResource(file, QStringLiteral("/lang")))
        return false;
    g_languageFile = file;
    return true;
}

void UnloadLanguage()
{
    if (!g_languageFile.isEmpty()) {
        QResource::unregisterResource(g_languageFile, QStringLiteral("/lang"));
        g_languageFile.clear();
    }
}

bool LanguageLoaded() { return !g_languageFile.isEmpty(); }

} // namespace res
