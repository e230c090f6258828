// res/CommandIds.h names every command the resources use: each id of a menu
// item, an accelerator, a toolbar button or a button image has a name there
// (or lies in a named range), and no command has two names.
#include "res/CommandIds.h"
#include "res/Resources.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

struct Use {
    uint32_t id;
    std::string where;
};

// name -> value of every "inline constexpr uint32_t NAME = VALUE;" of the header.
std::map<std::string, uint32_t> HeaderNames()
{
    const char* src = std::getenv("SW_SOURCE_DIR");
    QFile f(QString::fromUtf8(src ? src : ".") + QStringLiteral("/res/CommandIds.h"));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << f.fileName().toStdString();
    std::map<std::string, uint32_t> names;
    static const QRegularExpression def(QStringLiteral(R"(^inline constexpr uint32_t (ID_\w+) = (\d+);)"),
                                        QRegularExpression::MultilineOption);
    const QString text = QString::fromUtf8(f.readAll());
    for (auto it = def.globalMatch(text); it.hasNext();) {
        const auto m = it.next();
        const bool fresh = names.emplace(m.captured(1).toStdString(), m.captured(2).toUInt()).second;
        EXPECT_TRUE(fresh) << "defined twice: " << m.captured(1).toStdString();
    }
    return names;
}

// Range bounds: NAME_FIRST .. NAME_LAST and NAME0 .. NAME9.
bool IsRangeBound(const std::string& name)
{
    auto ends = [&](const char* s) { return name.size() > std::strlen(s) && name.ends_with(s); };
    return ends("_FIRST") || ends("_LAST") || ends("0") || ends("9");
}

// The ranges that stand for commands without names of their own.
std::vector<std::pair<uint32_t, uint32_t>> Ranges(const std::map<std::string, uint32_t>& names)
{
    std::vector<std::pair<uint32_t, uint32_t>> ranges;
    for (const auto& [name, first] : names) {
        std::string last;
        if (name.ends_with("_FIRST"))
            last = name.substr(0, name.size() - 6) + "_LAST";
        else if (name.ends_with("0"))
            last = name.substr(0, name.size() - 1) + "9";
        auto it = names.find(last);
        if (last.empty() || it == names.end())
            continue;
        // A range whose commands have names of their own covers nothing more.
        bool named = false;
        for (const auto& [other, value] : names)
            named = named || (!IsRangeBound(other) && value >= first && value <= it->second);
        if (!named)
            ranges.emplace_back(first, it->second);
    }
    return ranges;
}

// Each id that the menus, accelerator tables and toolbars of res/ use.
std::vector<Use> ResourceUses()
{
    std::vector<Use> uses;
    struct Kind {
        const char* folder;
        const char* pattern;
        QRegularExpression line;
    };
    const Kind kinds[] = {
        {"menus", "*.menu", QRegularExpression(QStringLiteral(R"(^\s*MENUITEM\s+(\d+)\s)"))},
        {"accel", "*.accel", QRegularExpression(QStringLiteral(R"(^\s*0x[0-9A-Fa-f]+\s+\S+\s+(\d+)\s*$)"))},
        {"toolbars", "*.toolbar", QRegularExpression(QStringLiteral(R"(^\s*BUTTON\s+(\d+))"))},
    };
    for (const Kind& k : kinds) {
        QDirIterator it(res::BuiltinPath(QString::fromLatin1(k.folder)), {QString::fromLatin1(k.pattern)}, QDir::Files);
        int files = 0;
        while (it.hasNext()) {
            const QString path = it.next();
            QFile f(path);
            EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
            int n = 0;
            for (const QByteArray& raw : f.readAll().split('\n')) {
                ++n;
                const auto m = k.line.match(QString::fromUtf8(raw));
                if (m.hasMatch())
                    uses.push_back({m.captured(1).toUInt(), path.toStdString() + ":" + std::to_string(n)});
            }
            ++files;
        }
        EXPECT_GT(files, 0) << k.folder;
    }
    QDirIterator images(res::BuiltinPath(QStringLiteral("toolbars/images")), {QStringLiteral("*.svg")}, QDir::Files);
    while (images.hasNext()) {
        const QString path = images.next();
        uses.push_back({QFileInfo(path).completeBaseName().toUInt(), path.toStdString()});
    }
    return uses;
}

} // namespace

TEST(CommandIds, EveryCommandOfTheResourcesHasAName)
{
    const auto names = HeaderNames();
    ASSERT_GT(names.size(), 150u);
    std::set<uint32_t> named;
    for (const auto& [name, value] : names)
        named.insert(value);
    const auto ranges = Ranges(names);
    const auto uses = ResourceUses();
    ASSERT_GT(uses.size(), 300u);
    for (const Use& u : uses) {
        bool found = named.count(u.id) > 0;
        for (const auto& [first, last] : ranges)
            found = found || (u.id >= first && u.id <= last);
        EXPECT_TRUE(found) << u.where << ": command " << u.id << " has no name in res/CommandIds.h";
    }
}

TEST(CommandIds, NoCommandHasTwoNames)
{
    std::map<uint32_t, std::string> byValue;
    for (const auto& [name, value] : HeaderNames()) {
        if (IsRangeBound(name))
            continue;
        const auto [it, fresh] = byValue.emplace(value, name);
        EXPECT_TRUE(fresh) << value << " is both " << it->second << " and " << name;
    }
}

TEST(CommandIds, RangesAreOrdered)
{
    const auto names = HeaderNames();
    for (const auto& [name, first] : names) {
        if (name.ends_with("_FIRST")) {
            EXPECT_LT(first, names.at(name.substr(0, name.size() - 6) + "_LAST")) << name;
        }
    }
    // The header that code includes is the one the checks above read.
    EXPECT_EQ(names.at("ID_PROJECT_BUILD"), ID_PROJECT_BUILD);
    EXPECT_EQ(names.at("ID_FILE_SAVE"), ID_FILE_SAVE);
    EXPECT_EQ(names.at("ID_EDT_CARET_TEXT_END"), ID_EDT_CARET_TEXT_END);
}
