#include "editor/settings/EdtCodePageNames.h"

#include "editor/buffer/EdtCodePages.h"
#include "res/StringTable.h"

#include <QComboBox>

void FillCodePageCombo(QComboBox* combo, const QStringList& names)
{
    if (!combo)
        return;
    combo->clear();
    combo->addItems(names);
}

QStringList GetCodePageNames()
{
    static const char* const kNames[] = {
        "ASCII (bez diakritiky)",
        "MS-Windows CP 1250",
        "MS-Windows CP 1252",
        "PC Latin I (CP 850)",
        "PC Latin II (CP 852)",
        "IBM Latin II (IBM 852)",
        "ISO-8859-1",
        "ISO-8859-2",
        "Kód Kamenických",
        "KOI8-CS",
        "Apple Macintosh",
        "Apple Macintosh pro střední Evropu",
        "Corky",
        "Unicode",
    };
    QStringList names;
    for (const char* n : kNames)
        names << QString::fromUtf8(n);
    return names;
}

QStringList GetEncodingNames()
{
    QStringList names = GetCodePageNames();
    names << QStringLiteral("UTF-8");
    return names;
}

namespace {
constexpr unsigned IDS_EDT_UTF8_WITH_MARK = 4740;  // "UTF-8 s BOM"
}

QString GetEncodingStatusText(int encoding, bool utf8Mark)
{
    if (encoding == -1)
        return QString::fromLatin1(GetEdtCodePageRowName(1));
    if (encoding >= 0 && encoding < EDT_CODEPAGE_ROWS)
        return QString::fromLatin1(GetEdtCodePageRowName(encoding));
    if (encoding == EDT_CODEPAGE_UNICODE)
        return QStringLiteral("UTF-16");
    if (encoding == EDT_CODEPAGE_UTF8) {
        if (!utf8Mark)
            return QStringLiteral("UTF-8");
        const QString text = LoadResString(IDS_EDT_UTF8_WITH_MARK);
        return text.isEmpty() ? QStringLiteral("UTF-8 BOM") : text;
    }
    return {};
}

QString GetEncodingStatusSample()
{
    QString widest;
    for (int e = -1; e <= EDT_CODEPAGE_UTF8; ++e)
        for (bool mark : {false, true}) {
            const QString t = GetEncodingStatusText(e, mark);
            if (t.size() > widest.size())
                widest = t;
        }
    return widest;
}
