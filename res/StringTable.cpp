#include "res/StringTable.h"

#include "res/Resources.h"
#include "res/text/TextTable.h"

#include <QFile>

#include <cstdio>

namespace res {

bool ParseStringTable(const QByteArray& bytes, QHash<unsigned, QString>& table)
{
    table.clear();
    TextTable parsed;
    if (!ParseTextTable(std::string_view(bytes.constData(), size_t(bytes.size())), parsed))
        return false;
    table.reserve(qsizetype(parsed.size()));
    for (const auto& [id, text] : parsed)
        table.insert(id, QString::fromStdU16String(text));
    return true;
}

void ReloadStringTable()
{
    // The built-in texts are compiled in; only the language file's table
    // changes with the language.
    TextTable language;
    QString path = LanguagePath(QStringLiteral("strings.tab"));
    QFile f(path);
    if (!path.isEmpty() && f.open(QIODevice::ReadOnly)) {
        QByteArray bytes = f.readAll();
        if (!ParseTextTable(std::string_view(bytes.constData(), size_t(bytes.size())), language))
            std::fprintf(stderr, "strandwork: the string table %s is damaged and is not used\n",
                         qPrintable(path));
    }
    SetLanguageTexts(std::move(language));
}

} // namespace res

QString LoadResString(unsigned id) { return QString::fromStdU16String(res::LoadText(id)); }
