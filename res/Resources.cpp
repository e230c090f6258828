#include "res/Resources.h"

#include "res/StringTable.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QResource>
#include <QtEndian>

#include <vector>

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
// The loaded language file's bytes; Qt reads the resources from them.
QByteArray g_languageData;

// Checks that every offset of a Qt binary resource file lies inside it, so
// that a damaged or cut file is refused before Qt reads from it.
bool IsWellFormedRcc(const QByteArray& b)
{
    const uint64_t size = uint64_t(b.size());
    auto u16 = [&](uint64_t at) { return qFromBigEndian<quint16>(b.constData() + at); };
    auto u32 = [&](uint64_t at) { return qFromBigEndian<quint32>(b.constData() + at); };
    if (size < 20 || !b.startsWith("qres"))
        return false;
    const uint32_t version = u32(4);
    if (version < 1 || version > 3 || (version >= 3 && size < 24))
        return false;
    const uint64_t tree = u32(8), data = u32(12), names = u32(16);
    if (tree >= size || data > size || names >= size)
        return false;
    const uint64_t nodeSize = version >= 2 ? 22 : 14;
    auto nameOk = [&](uint64_t offset) {
        uint64_t at = names + offset;
        return at + 6 <= size && at + 6 + uint64_t(u16(at)) * 2 <= size;
    };
    // Directories list their children after themselves, so walking only
    // forward ends.
    std::vector<uint64_t> pending{0};
    uint64_t visited = 0;
    while (!pending.empty()) {
        uint64_t index = pending.back();
        pending.pop_back();
        uint64_t at = tree + index * nodeSize;
        if (at + nodeSize > size || ++visited > size / nodeSize)
            return false;
        if (index != 0 && !nameOk(u32(at)))
            return false;
        const uint16_t flags = u16(at + 4);
        if (flags & 0x02) { // directory
            uint64_t count = u32(at + 6), first = u32(at + 10);
            if (count > size / nodeSize || (count > 0 && first <= index))
                return false;
            for (uint64_t c = 0; c < count; ++c)
                pending.push_back(first + c);
        } else {
            uint64_t d = data + u32(at + 10);
            if (d + 4 > size || d + 4 + u32(d) > size)
                return false;
        }
    }
    return true;
}

} // namespace

QString BuiltinPath(const QString& relative)
{
    EnsureBuiltinResources();
    return QStringLiteral(":/res/") + relative;
}

QString LanguagePath(const QString& relative) { return QStringLiteral(":/lang/") + relative; }

QString Path(const QString& relative)
{
    if (!g_languageFile.isEmpty()) {
        QString p = LanguagePath(relative);
        if (QFileInfo::exists(p))
            return p;
    }
    QString p = BuiltinPath(relative);
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
    QFile f(file);
    if (!QFileInfo(file).isFile() || !f.open(QIODevice::ReadOnly))
        return false;
    QByteArray bytes = f.readAll();
    if (f.error() != QFileDevice::NoError || !IsWellFormedRcc(bytes))
        return false;
    // Try the data under a root of its own first, so that a file that Qt
    // refuses leaves the language in use untouched.
    const auto* raw = reinterpret_cast<const uchar*>(bytes.constData());
    const QString probe = QStringLiteral("/lang-probe");
    if (!QResource::registerResource(raw, probe))
        return false;
    QResource::unregisterResource(raw, probe);
    UnloadLanguage();
    if (!QResource::registerResource(raw, QStringLiteral("/lang")))
        return false;
    g_languageData = bytes;
    g_languageFile = file;
    ReloadStringTable();
    return true;
}

void UnloadLanguage()
{
    if (!g_languageFile.isEmpty()) {
        QResource::unregisterResource(reinterpret_cast<const uchar*>(g_languageData.constData()),
                                      QStringLiteral("/lang"));
        g_languageData.clear();
        g_languageFile.clear();
        ReloadStringTable();
    }
}

bool LanguageLoaded() { return !g_languageFile.isEmpty(); }

QString LanguageFile() { return g_languageFile; }

} // namespace res
