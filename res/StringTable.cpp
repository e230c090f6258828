#include "res/StringTable.h"

#include "res/Resources.h"

#include <QFile>
#include <QtEndian>

#include <cstdio>
#include <mutex>

namespace res {

namespace {

struct Tables
{
    std::mutex lock;
    bool loaded = false;
    QHash<unsigned, QString> builtin;
    QHash<unsigned, QString> language;
};

Tables& Get()
{
    static Tables t;
    return t;
}

uint32_t Read32(const QByteArray& b, qsizetype at)
{
    return qFromLittleEndian<uint32_t>(b.constData() + at);
}

void LoadTable(const QString& path, QHash<unsigned, QString>& table)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return;
    if (!ParseStringTable(f.readAll(), table))
        std::fprintf(stderr, "strandwork: the string table %s is damaged and is not used\n",
                     qPrintable(path));
}

} // namespace

bool ParseStringTable(const QByteArray& bytes, QHash<unsigned, QString>& table)
{
    table.clear();
    constexpr qsizetype kHeader = 12, kEntry = 12;
    if (bytes.size() < kHeader || !bytes.startsWith("SWST") || Read32(bytes, 4) != 1)
        return false;
    uint64_t count = Read32(bytes, 8);
    uint64_t textStart = kHeader + count * kEntry;
    if (textStart > uint64_t(bytes.size()) || (uint64_t(bytes.size()) - textStart) % 2 != 0)
        return false;
    uint64_t units = (uint64_t(bytes.size()) - textStart) / 2;
    QHash<unsigned, QString> result;
    result.reserve(qsizetype(count));
    for (uint64_t i = 0; i < count; ++i) {
        qsizetype at = qsizetype(kHeader + i * kEntry);
        uint32_t id = Read32(bytes, at);
        uint64_t offset = Read32(bytes, at + 4);
        uint64_t length = Read32(bytes, at + 8);
        if (offset + length > units || result.contains(id))
            return false;
        QString text(qsizetype(length), Qt::Uninitialized);
        const char* p = bytes.constData() + textStart + offset * 2;
        for (uint64_t k = 0; k < length; ++k)
            text[qsizetype(k)] = QChar(qFromLittleEndian<uint16_t>(p + k * 2));
        result.insert(id, text);
    }
    table = std::move(result);
    return true;
}

void ReloadStringTable()
{
    Tables& t = Get();
    std::lock_guard guard(t.lock);
    t.loaded = false;
    t.builtin.clear();
    t.language.clear();
}

} // namespace res

QString LoadResString(unsigned id)
{
    res::Tables& t = res::Get();
    std::lock_guard guard(t.lock);
    if (!t.loaded) {
        res::LoadTable(res::BuiltinPath(QStringLiteral("strings.tab")), t.builtin);
        // Without a language file there is nothing under ":/lang/"; asking
        // Qt rather than res::LanguageLoaded() keeps this thread-safe.
        res::LoadTable(res::LanguagePath(QStringLiteral("strings.tab")), t.language);
        t.loaded = true;
    }
    auto it = t.language.constFind(id);
    if (it != t.language.constEnd())
        return *it;
    return t.builtin.value(id);
}
